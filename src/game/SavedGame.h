// A saved game as data: what a save file holds (the scene's file name, the
// score, the mode, the progress through the layers, the pieces off and on
// the belts, the nine skill levels) and the document form it is written in.
// Reading is strict: every number is checked for its form and range, and a
// file is checked against the scene it names before anything of the running
// game is touched, so a truncated, garbled or hand-edited save is refused
// whole and the player stays where they were.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvTypes.h"
#include "game/Skills.h"

class TOrvParser;
class TOrvXMLTag;
class TScene;
class TPlayLevel;

// The key that scrambles save files.
inline constexpr const char* kSaveGameKey = "wqpme83]";

// One piece as stored: times are relative to the moment of saving.
struct TSavedFishka {
    int32_t FType = 0;
    int32_t OnLayer = -1;
    int64_t Age = 0;  // ms since its birth
    int32_t Acceleration = 0;
    int32_t BonusType = -1;
    int32_t ExtraFishType = -1;
    int32_t X = 0;
    int32_t Y = 0;
    int64_t DrawLeft = 0;  // ms of its timed drawing still to run
    int32_t Trans = 255;
    bool NeedDelAfterDis = false;

    bool operator==(const TSavedFishka&) const = default;
};

struct TSavedGame {
    std::string Scene;
    uint32_t TotalScore = 0;
    uint32_t PrevScore = 0;
    int32_t Mode = 2;
    int32_t SceneInd = 1;
    std::vector<bool> Arts;  // layers before the current one
    bool HasLayer = false;
    int32_t Current = 0;
    bool Complete = false;
    TIntegers FragsLevel;
    TIntegers FragsBusy;
    TIntegers ExtraFishWeights;
    int32_t FishesBeforeExtra = -1;
    std::vector<TSavedFishka> Fishkas;
    std::vector<std::vector<TSavedFishka>> Belts;
    bool HasSkills = false;
    std::array<int32_t, TSkills::kCount> Skills{};

    bool operator==(const TSavedGame&) const = default;
};

// The most pieces a save may hold off the belts and on one belt: far above
// any real game, low enough that a hostile file cannot make the loader
// allocate without bound.
inline constexpr size_t kMaxSavedPieces = 4096;
// The highest skill level a save may hold.
inline constexpr int32_t kMaxSkillLevel = 10;

// The game as it stands, to be saved. A piece in the player's hand goes
// back onto the belt it was taken from (its place in the chain follows from
// its age), and the fragment links are renumbered around the gap it leaves,
// so loading neither loses nor doubles it.
TSavedGame CaptureSavedGame(const TPlayLevel& level);

// The document of a save, root "SaveGame". The caller owns the result.
std::unique_ptr<TOrvParser> SavedGameDocument(const TSavedGame& game);

// Reads a parsed save document (its first element is the root). Throws OrvException: fileName + "XML file does not
// has tags!" when the document is empty, "Wrong Save File format!" for
// another root, and fileName + ": " + what for a missing attribute or child,
// a malformed number, a number out of range or a list that is too long.
TSavedGame ReadSavedGame(const TOrvXMLTag& document, const std::string& fileName);

// Checks that every index of the save exists in the scene it names (the
// layer, the fragment lists' lengths, the pieces on the fragments, the
// belts, the shapes, the extra fishes). Throws OrvException fileName + ": "
// + what otherwise.
void CheckSavedGameFits(const TSavedGame& game, const TScene& scene, int32_t shapeCount, const std::string& fileName);

// Reads a save file (plain or scrambled) without touching anything else.
// Throws OrvException for a file that cannot be read or is not a save.
TSavedGame ReadSavedGameFile(const std::string& path);

// Writes the save scrambled, through a temporary file renamed over path.
// Throws OrvException "Cannot write file " + path (the old file stays whole).
void WriteSavedGameFile(const TSavedGame& game, const std::string& path);
