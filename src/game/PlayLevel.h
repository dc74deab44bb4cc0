// The rules of play as plain code: a loaded scene, the game's progress and
// skills, and the level's states from the start animation through play to
// completion, loss or the scroll to the next layer. Nothing here draws or
// touches the engine: what the rules want from the outside (sounds, redraws,
// effects, hints, the trace) goes through IPlayEvents, and the clock is
// handed in, so a unit test can step a level and inspect it.
//
// Coordinates: pieces, layers and paths are in scene pixels. The play field
// shows the scene point (ScrollX, ScrollY) at screen point (5, 5); ToScene
// and ToScreen are the one mapping between the two, used by hit tests, the
// fit test and drawing alike.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/OrvRandom.h"
#include "base/OrvTypes.h"
#include "game/GameParams.h"
#include "game/SavedGame.h"
#include "game/Scene.h"
#include "game/ShapeTables.h"
#include "game/Skills.h"

// What the rules ask of the world around them. Every method has a do-nothing
// default, so tests override only what they watch.
class IPlayEvents {
public:
    virtual ~IPlayEvents() = default;
    virtual void Sound(const std::string& name) { (void)name; }
    // The one delayed sound (the drop section's renewal); at < 0 cancels it.
    virtual void DelayedSound(const std::string& name, TGameTime at) { (void)name, (void)at; }
    virtual void MusicFadeOut(int32_t ms) { (void)ms; }
    // A screen rectangle (inclusive) that changed.
    virtual void Redraw(const TRect& rect) { (void)rect; }
    virtual void RedrawAll() {}
    // Hints of the interface at a screen point; empty name hides name.
    virtual void ShowHint(const std::string& name, int32_t x, int32_t y) { (void)name, (void)x, (void)y; }
    virtual void HideHint(const std::string& name) { (void)name; }
    // A piece leaves its belt falling: its picture (frames for a bonus), its
    // scene position and the direction of the belt there (unit vector).
    virtual void ThrowOffEffect(const TFishka& piece, const std::string& picture, int32_t frames, double dirX,
                                double dirY) {
        (void)piece, (void)picture, (void)frames, (void)dirX, (void)dirY;
    }
    // Sparkles and score texts at scene points.
    virtual void Sparkle(const std::string& effect, int32_t x, int32_t y, int32_t delayMs) {
        (void)effect, (void)x, (void)y, (void)delayMs;
    }
    virtual void ContourSparkle(const std::vector<TPoint>& outline) { (void)outline; }
    virtual void ScoreText(int32_t score, int32_t x, int32_t y) { (void)score, (void)x, (void)y; }
    // A bonus piece was made: start its riding effect.
    virtual void BonusSpawned(TFishka& piece) { (void)piece; }
    // A delivered extra fish is painted into the scene picture for good.
    virtual void PaintIntoScene(const std::string& image, int32_t x, int32_t y) { (void)image, (void)x, (void)y; }
    // The fragments of the current layer changed (halo to rebuild).
    virtual void FragmentsChanged() {}
    // Size of a picture, 0 x 0 when it is not loaded.
    virtual TPoint PictureSize(const std::string& name) const {
        (void)name;
        return {0, 0};
    }
    // One line of the event trace, without its time.
    virtual void Trace(const std::string& event) { (void)event; }
    // The level's animations ended: the layer-complete window is due, the
    // game-over window is due, the artefact's upgrade window is due.
    virtual void LayerCompleteEnded() {}
    virtual void GameOverEnded() {}
    virtual void ArtefactWindowDue() {}
    virtual void ScoreChanged(uint32_t score) { (void)score; }
    // A layer starts: the player sees its number (scene, layer from 0).
    virtual void LevelChanged(int32_t scene, int32_t layer) { (void)scene, (void)layer; }
    // The belt clears or drop section resets left changed.
    virtual void ChargesChanged(int32_t clears, int32_t resets) { (void)clears, (void)resets; }
    // The game was saved automatically at a layer's completion (the save
    // itself belongs to the shell).
    virtual void AutoSave() {}
};

// The result of a fit test: the scene position the piece snaps to and, per
// cell, the index (in the layer's Frags) of the fragment it covers.
struct TFitResult {
    bool Fits = false;
    TPoint Position;
    TIntegers Cells;
};

class TPlayLevel {
public:
    static constexpr int32_t kViewLeft = 5;
    static constexpr int32_t kViewTop = 5;
    static constexpr TGameTime kDropTime = 15000;
    static constexpr TRect kDropRect{672, 458, 783, 586};  // screen, edges included
    static constexpr int32_t kSnapDistance = 25;
    static constexpr TGameTime kAnimationStep = 20;
    // Open fragments at or below which the belts send only fitting shapes.
    static constexpr int32_t kEndgameFragments = 6;

    TPlayLevel(const TShapeTables& tables, const TGameParams& params, TOrvRandom& random, IPlayEvents& events);

    // ---- Game progress ----
    uint32_t TotalScore = 0;
    uint32_t PrevScore = 0;
    int32_t Mode = 2;
    int32_t SceneInd = 1;
    int32_t BeltClears = 5;
    int32_t DropResets = 5;
    TSkills Skills;
    uint32_t SnapshotScore = 0;
    TSkills SnapshotSkills;
    int32_t LayerBonus = 0;
    int32_t PlacedPieces = 0;  // pieces placed since the program started
    bool Lost = false;

    // ---- The level ----
    TScene Scene;
    int32_t CurrentLayer = 0;
    int32_t State = 5;  // the engine's GameState values
    TGameTime Now = 0;
    TGameTime PrevFrameTime = 0;
    int32_t ScrollX = 0;
    int32_t ScrollY = 0;
    int32_t ScrollTargetX = 0;
    int32_t ScrollTargetY = 0;
    int32_t FishkaUnderCursor = -1;
    int32_t MouseX = 0;  // screen
    int32_t MouseY = 0;
    bool FitPreview = false;
    bool FitPreviewLost = false;
    TFitResult FitPreviewResult;
    bool DropBusy = false;
    TGameTime DropStart = 0;
    TGameTime DropTime = 0;
    std::string DropPicture;
    int32_t DropX = 0;
    int32_t DropY = 0;
    TGameTime StepTime = 0;
    TGameTime GameOverTime = -1;
    TGameTime LayerCompleteTime = -1;
    TGameTime ArtefactWindowTime = -1;
    TGameTime AnimationT1 = 0;
    TGameTime AnimationT2 = 0;
    TGameTime AnimationStart = 0;  // when the current layer's start animation began
    TGameTime NextAnimationStep = 0;
    bool AlarmOn = false;
    TGameTime NextAlarmTime = 0;
    bool ChameleonHintShown = false;
    bool ChameleonClickHintShown = false;
    bool ArtefactHintShown = false;

    // ---- Coordinates ----
    TPoint ToScene(int32_t screenX, int32_t screenY) const {
        return {screenX - kViewLeft + ScrollX, screenY - kViewTop + ScrollY};
    }
    TPoint ToScreen(int32_t sceneX, int32_t sceneY) const {
        return {sceneX - ScrollX + kViewLeft, sceneY - ScrollY + kViewTop};
    }

    // ---- Game and level flow (driven by the shell, or by a direct start) ----
    // New game in a mode (1 no-lose, 2 normal, 3 hard): score 0, skills reset
    // (hard starts with economy level 2).
    void NewGame(int32_t mode);
    // Takes a freshly loaded scene: pieces and held piece gone, five belt
    // clears and drop resets, the view on layer 0, bonus weights computed.
    void TakeScene(TScene&& scene);
    // Starts the current layer: layer-start animation, rush times, snapshot.
    // Does nothing past the last layer.
    void StartLevel(int32_t layer);
    // After a completed layer: its pieces go, the next layer is current and
    // the view scrolls to it (then its start animation runs). False when the
    // completed layer was the scene's last.
    bool AdvanceToNextLayer();
    // Restores the score and skills of the lost level's start.
    void RestoreSnapshot();
    void TakeSnapshot();
    // Takes a saved game whose scene was just taken (TakeScene) and which
    // was checked against it (CheckSavedGameFits): the progress, the layers
    // before the current one (finished, their pictures and delivered extra
    // fishes painted), the current layer's lists, the pieces (none when a
    // lost level is restarted: the fragments they covered are free again),
    // the skills. Times resume where they stood when saved. Leaves the
    // current layer playing, or, when it is complete, the state between
    // levels (3).
    void RestoreSaved(const TSavedGame& game, bool restarting);

    // ---- The frame ----
    // Moves the clock to now and runs what the current state does.
    void Step(TGameTime now);

    // ---- Input (screen coordinates) ----
    void LeftClick(int32_t x, int32_t y);
    void RightClick(int32_t x, int32_t y, bool shift);
    void MouseMove(int32_t x, int32_t y);
    void RotateHeld(bool previous);
    // Ctrl+Space and Shift+Space. Each does nothing when it cannot act.
    void ClearFirstBelt();
    void FreeDropSection();
    // Debug: fill every free fragment of the current layer at once.
    void CompleteLayerNow();
    void RemoveHeld();

    // ---- Rules, public for the tests and the bot ----
    TLayer* Layer();
    const TLayer* Layer() const;
    TFitResult TestFit(const TFishka& piece) const;
    // Every placement (scene position) of the shape on free fragments of the
    // current layer that the fit test accepts, first found first.
    std::vector<TFitResult> Placements(int32_t shape, size_t maxCount = 64) const;
    void ComputeBonusWeights();
    void ComputeRushTimes();
    void SpawnFishka(int32_t belt);
    // The centre, and the half length on belt b in path time, of a piece.
    void SizeBeltPiece(TFishka& piece, const TLenta& b) const;
    void UpdateBelts();
    void UpdateShots();
    void UpdateAlarm();
    void FireBonus(int32_t belt, int32_t index);
    void ThrowOffBonus(int32_t belt, int32_t index);
    void ThrowOff(int32_t belt, int32_t index);
    void LoseGame();
    void ChameleonClick(TPoint scene);
    bool PutOnChain(TPoint scene);
    void DropPiece();
    void CheckLayerComplete();
    bool CheckArtefactComplete() const;
    // Belt piece under a scene point: (belt, index), or belt -1.
    std::pair<int32_t, int32_t> BeltFishkaAtPoint(TPoint scene) const;
    int32_t FishkaAtPoint(TPoint scene) const;
    bool PieceContains(const TFishka& piece, TPoint scene) const;
    // The part of the piece's picture and its size.
    std::string PiecePicture(const TFishka& piece) const;
    TPoint PieceSize(const TFishka& piece) const;
    // Where the piece's position lies relative to its reference point.
    TPoint PieceOrigin(const TFishka& piece) const;
    // The front piece's distance from its path's end, in path time.
    bool BeltInDanger(const TLenta& belt) const;
    bool HasHeld() const { return FishkaUnderCursor >= 0 && FishkaUnderCursor < int32_t(Scene.Fishkas.size()); }
    TFishka* Held() { return HasHeld() ? &Scene.Fishkas[size_t(FishkaUnderCursor)] : nullptr; }
    const TFishka* Held() const { return HasHeld() ? &Scene.Fishkas[size_t(FishkaUnderCursor)] : nullptr; }
    // A shape to send now because some free fragment can be covered by no
    // shape the scene's weights send; -1 when none is needed (or one such
    // piece already rides or is held).
    int32_t RescueShape() const;

private:
    void UpdatePlay();
    void UpdateBelt(int32_t beltId);
    void StepAnimationFrames(int32_t delta);
    void UpdateScroll();
    void UpdateDecorations();
    void RemovePassedPieces();
    void FadePlacedPieces();
    void SetupChameleons();
    void BuildFragmentIndex();
    void PlaceHeld(const TFitResult& fit);
    void DeliverExtraFish();
    void TakeFromBelt(int32_t belt, int32_t index);
    void FollowMouse();
    void RefreshFitPreview();
    void RemoveBeltFishka(int32_t belt, int32_t index);
    void RemoveFishka(int32_t index);
    void ExtraFishGone(const TFishka& piece);
    void AddScore(int32_t shape);
    int32_t FishkaScore(int32_t shape) const;
    int32_t FishkaSize(int32_t shape) const;
    TFitResult FitAt(int32_t shape, TPoint position, bool needFree) const;
    bool ShapeSpawnable(int32_t shape) const;
    int32_t NeededShape() const;
    TIntegers EndgameWeights() const;
    void Trace(const std::string& text);
    void DirtyPiece(const TFishka& piece, TPoint oldPos);

    const TShapeTables& tables_;
    const TGameParams& params_;
    TOrvRandom& random_;
    IPlayEvents& events_;
    // The current layer's fragments by anchor and kind: key -> indexes in
    // the layer's Frags.
    std::unordered_map<uint64_t, TIntegers> fragIndex_;
    int32_t indexedLayer_ = -1;
    int32_t scrollVelX_ = 0;
    int32_t scrollVelY_ = 0;
    int32_t scrollTurnX_ = 0;
    int32_t scrollTurnY_ = 0;
    uint64_t fragVersion_ = 1;
    mutable uint64_t rescueVersion_ = 0;
    mutable int32_t rescueShape_ = -1;
};
