// The scene being played: its layers, belts ("Lenta"), the pieces
// ("Fishka") on the belts and off them, the animated decorations and the
// spawn weights, as read from a scene document. Field names equal the keys
// of saved games where such a key exists, so a save can write every belt,
// piece and timer by name.
//
// Every time here is game time: signed 64-bit milliseconds of the play
// clock, -1 (or any time in the past) meaning "none".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvRandom.h"
#include "base/OrvTypes.h"
#include "fx/OrvFXBase.h"

class TOrvParticleEffect;
class TOrvXMLTag;
class TShapeTables;

using TGameTime = int64_t;

enum TBonusType : int32_t { btNone = -1, btBomb = 1, btReverse = 2, btStop = 3, btBigBomb = 4 };

struct TFishka {
    int32_t X = 0;  // top-left, scene coordinates (also while held)
    int32_t Y = 0;
    int32_t FType = 0;
    int32_t OnLayer = -1;
    TGameTime BornTime = 0;
    int32_t Acceleration = 0;
    int32_t BonusType = btNone;
    int32_t BonusFrame = 0;
    std::string BonusPicture;
    std::shared_ptr<TOrvParticleEffect> BonusEffect;
    int32_t BonusFrames = 1;
    int32_t CenterX = 0;  // centre, scene coordinates
    int32_t CenterY = 0;
    int32_t ExtraFishType = -1;
    // The belt a held piece was taken from (-1: none), so that a save puts
    // it back on its own chain.
    int32_t OriginBelt = -1;
    TGameTime DrawUntilTime = 0;
    uint8_t Trans = 255;
    bool NeedDelAfterDis = false;
    TGameTime HalfLength = 0;
    TGameTime PulseStart = 0;
    TGameTime PulseEnd = 0;
    int32_t PulseKind = 0;
    int32_t PulseMax = 0;

    bool IsBonus() const { return BonusType > 0; }
    bool IsExtraFish() const { return ExtraFishType >= 0; }
    bool IsOrdinary() const { return !IsBonus() && !IsExtraFish(); }
};

struct TExtraFish {
    std::string Image;
    int32_t PosX = 0;  // scene coordinates of the spot
    int32_t PosY = 0;
};

struct TLayer {
    std::string Name;
    int32_t X = 0;
    int32_t Y = 0;
    bool Complete = false;
    TIntegers Frags;
    TIntegers FragsLevel;
    TIntegers FragsBusy;
    std::string Picture;
    int32_t PictureX = 0;
    int32_t PictureY = 0;
    TIntegers BeltIds;
    int32_t ShX = 0;
    int32_t ShY = 0;
    std::vector<TExtraFish> ExtraFishes;
    int32_t FishesBeforeExtra = -1;
    int32_t MinFishBefore = 0;
    int32_t MaxFishBefore = 0;
    TIntegers ExtraFishWeights;
    std::string QuestName;
    bool Art = false;

    int32_t FreeFragments() const;
};

struct TLenta {
    std::unique_ptr<TOrvMorph> Path;  // null for a belt without a usable path
    std::vector<TFishka> BeltFishkas;
    int32_t Speed = 0;
    int32_t PathLength = 0;
    TGameTime PathTime = 0;
    TGameTime NextBornTime = 0;
    TGameTime Gap = 50;
    int32_t PointSpacing = 0;
    std::string PartImage;
    int32_t PartWidth = 0;
    int32_t PartHeight = 0;
    std::string PathText;
    int32_t PointsBetween = 0;
    TGameTime ReverseUntil = -1;
    TGameTime ReverseStart = -1;
    TGameTime StopUntil = -1;
    TGameTime StopStart = -1;
    TGameTime RushUntil = -1;
    TGameTime RushTime = 0;
    TGameTime BombEnd = -1;
    TGameTime BombAge = 0;
    int32_t BombRMax = 0;
    int32_t BombPMax = 0;
    int32_t BombRollTime = 0;
    double BombKP = 0;
    int32_t ChameleonShots = 0;
    TGameTime ChameleonRenewTime = 0;
    int32_t ChameleonX = 0;  // top-left of the 128 x 128 Chameleon square, scene
    int32_t ChameleonY = 0;
    TGameTime ShotStart = -1;
    std::array<TPoint, 4> ShotIcons{};
    int32_t StartMarkerX = 0;  // top-left of the 150 x 150 start marker, scene
    int32_t StartMarkerY = 0;
    // Where the track copies stand: the path time each copy is offset by,
    // moved with the chain (forward, held in a stop, backward in a reverse).
    TGameTime TrackTime = 0;
    // The two rotation frame numbers of the layer animations (0..35).
    int32_t StartFrame = 0;
    int32_t EndFrame = 0;

    bool HasPath() const { return Path != nullptr && PathTime > 0 && PathLength > 0; }
    // The path's point at time t (scene coordinates); t is clamped to the path.
    TPoint PointAt(TGameTime t) const;
    // The path's direction at time t; a sane unit vector even where the path
    // stands still (its end): the chord of the last stretch, else (1, 0).
    void DirectionAt(TGameTime t, double& dx, double& dy) const;
};

struct TScenePicture {
    std::string Name;
    int32_t X = 0;
    int32_t Y = 0;
    std::vector<std::string> Frames;
    TIntegers FrameTimes;
    TGameTime NextFrameTime = 0;
    int32_t Frame = 0;
    int32_t DrawOnlyLayer = -1;
};

class TScene {
public:
    static constexpr int32_t kViewWidth = 650;
    static constexpr int32_t kViewHeight = 590;
    static constexpr size_t kMaxListLength = 255;

    std::string SceneFileName;
    std::string ScenePicture;
    int32_t SceneWidth = 0;
    int32_t SceneHeight = 0;
    std::string SceneMusic;
    std::vector<TLayer> Layers;
    std::vector<TLenta> Belts;
    std::vector<TScenePicture> ScenePictures;
    TIntegers FishkaWeights;
    double BonusFishka = 0;
    std::array<int32_t, 4> BonusBaseWeights{};
    std::array<int32_t, 4> BonusWeights{};
    double BonusProbability = 0;
    std::vector<TFishka> Fishkas;
    std::vector<std::string> PictureNames;

    // Builds the scene from a parsed scene document. fileName names the
    // document in messages. Throws OrvException "<file>: <element>: <what>"
    // for a missing required attribute, a malformed number or list, a list
    // longer than 255, a fragment, belt or shape index that does not exist,
    // a FragsLevel list of the wrong length, or a layer's belt without a
    // usable path; the scene is then left empty. random draws the first
    // FishesBeforeExtra of each layer.
    void LoadFromDocument(const TOrvXMLTag& document, const std::string& fileName, const TShapeTables& tables,
                          TOrvRandom& random);
    // Frees everything (pieces, belts, layers, pictures' names).
    void Clear();
    bool Empty() const { return Layers.empty(); }
};

// Reads a list of at most 255 integers separated by blanks, tabs or line
// breaks. Throws OrvException "<where>: ..." for a word that is not a whole
// integer or a list that is too long.
TIntegers ReadIntegerList(const std::string& text, const std::string& where);
