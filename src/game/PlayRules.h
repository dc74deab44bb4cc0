// The rules of play plugged into the engine: TPlayRules implements the
// engine's TGameRules hooks on top of the plain rules of TPlayLevel. It
// loads the shape tables and scenes with their pictures, keeps the play
// clock (signed 64-bit milliseconds that stand still while the game is
// frozen), routes the engine's input to the rules, runs the one-shot effects,
// writes the event trace and the state dump, drives a direct start
// (--start-scene) and, with --autoplay, the bot.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "game/Main.h"
#include "game/PlayLevel.h"
#include "game/SavedGame.h"
#include "game/ShapeTables.h"

class TOrvParticleEffect;
class TAutoPlayer;
class TPlayFieldPainter;

// A running one-shot effect: a thrown-off piece, a sparkle or a score text.
struct TOneShotEffect {
    std::string Name;
    std::string Picture;  // drawn by the particles; empty: the effect's own
    std::unique_ptr<TOrvParticleEffect> Effect;
    TRect Clip{5, 5, 655, 595};
    TPoint Origin;     // screen point the effect's coordinates start from
    std::string Text;  // a score text drawn at the particle instead
};

class TPlayRules : public TGameRules, public IPlayEvents {
public:
    TPlayRules();
    ~TPlayRules() override;

    // The rules and tables (for tests, the bot and the painter).
    TPlayLevel& Level() { return *level_; }
    const TPlayLevel& Level() const { return *level_; }
    const TShapeTables& Tables() const { return tables_; }
    std::vector<TOneShotEffect>& Effects() { return effects_; }
    TGameTime Clock() const { return clock_; }
    const TPlayFieldPainter& Painter() const { return *painter_; }

    // Loads a scene file of the archive with its pictures and hands it to
    // the rules. Throws OrvException (the archive's message for a missing
    // entry, the loader's for a bad document); the previous scene then
    // stays.
    void LoadScene(const std::string& fileName);
    // New game in a mode, scene number scene, starting at layer: what a
    // direct start does, and what the shell will do for its new game.
    void StartGame(int32_t mode, int32_t scene, int32_t layer);
    // A lost level again: the score and skills of its start, the scene
    // loaded afresh, the layers before it restored, its start animation.
    // Throws as LoadScene does.
    void RestartLostLevel();
    // The play button of the between-levels window: the next layer when the
    // current one is complete (the view scrolls to it), else the current
    // layer again, from its start animation. False, with nothing changed,
    // when the complete layer is the scene's last.
    bool StartCurrentLevel();
    // Back to the title: the scene, its effects and the held piece go.
    void LeavePlay();
    // Reads a scene file of the archive without taking it. Throws as
    // LoadScene does.
    TScene ReadScene(const std::string& fileName);

    // ---- Saved games ----
    // The game as it stands, to be written (the held piece back on its belt).
    TSavedGame CaptureGame() const { return CaptureSavedGame(*level_); }
    // Plays a saved game: the scene it names is read and the save checked
    // against it before anything changes, then the scene is taken (with its
    // pictures) and the save restored. Throws OrvException naming fileName
    // when the scene is missing or the save does not fit it; the running
    // game is then untouched. restarting: a lost level starts again without
    // the saved pieces.
    void RestoreGame(const TSavedGame& game, const std::string& fileName, bool restarting);
    // Where the automatic save at a layer's completion goes.
    static constexpr const char* kAutoSaveFile = "saves/AutoSave.sav";
    // Where the start of the level in play is kept for restarting it when it
    // is lost. Not a ".sav", so the load window does not list it.
    static constexpr const char* kRestartFile = "saves/autosave.dat";
    // Writes the start of the current level (its score and skills, no
    // pieces) to kRestartFile in the write folder, atomically; midLevel: the
    // game stands inside the level, whose start is its snapshot. A failure
    // is logged; the in-memory restart then stands in.
    void SaveRestartPoint(bool midLevel = false);
    // The lost level again from kRestartFile: the scene loaded afresh and the
    // level restored without pieces. False, with the game untouched and the
    // reason logged, when the file is missing, unreadable, does not fit the
    // scene, or belongs to another scene or level than the one lost.
    bool RestartLostLevelFromFile();

    // ---- TGameRules ----
    void LoadTables() override;
    void FinishTables() override;
    void SurfacesRemade() override;
    void GameStarted() override;
    void ShiftFrozenTime(uint32_t frozenMs, uint32_t nowTime) override;
    void AfterThaw() override;
    void UpdatePlay() override;
    void UpdateState(int32_t state) override;
    void AdvanceEffects() override;
    void DrawPlayField(int32_t state) override;
    void DrawHeldPiece() override;
    TPoint HeldPiecePosition() const override;
    void MoveHeldPiece(int32_t x, int32_t y) override;
    bool HeldIsExtraFish() const override;
    void RotateNext() override;
    void RotatePrevious() override;
    void RemoveHeldPiece() override;
    void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    int32_t BeltClears() const override;
    void ClearFirstBelt() override;
    int32_t DropResets() const override;
    void FreeDropSection() override;
    void CompleteLayerNow() override;
    void OpenArtefactWindowNow() override;
    void FreeScene() override;
    void DumpState(TOrvXMLTag& root) const override;

    // ---- IPlayEvents ----
    void Sound(const std::string& name) override;
    void DelayedSound(const std::string& name, TGameTime at) override;
    void MusicFadeOut(int32_t ms) override;
    void Redraw(const TRect& rect) override;
    void RedrawAll() override;
    void ShowHint(const std::string& name, int32_t x, int32_t y) override;
    void HideHint(const std::string& name) override;
    void ThrowOffEffect(const TFishka& piece, const std::string& picture, int32_t frames, double dirX,
                        double dirY) override;
    void Sparkle(const std::string& effect, int32_t x, int32_t y, int32_t delayMs) override;
    void ContourSparkle(const std::vector<TPoint>& outline) override;
    void ScoreText(int32_t score, int32_t x, int32_t y) override;
    void BonusSpawned(TFishka& piece) override;
    void PaintIntoScene(const std::string& image, int32_t x, int32_t y) override;
    void FragmentsChanged() override;
    TPoint PictureSize(const std::string& name) const override;
    void Trace(const std::string& event) override;
    // Writes what the trace holds so far to its file: the bots' lines are
    // flushed at once, so a run that dies still shows what was done last.
    void FlushTrace();
    void LayerCompleteEnded() override;
    void GameOverEnded() override;
    void ArtefactWindowDue() override;
    void ScoreChanged(uint32_t score) override;
    void LevelChanged(int32_t scene, int32_t layer) override;
    void ChargesChanged(int32_t clears, int32_t resets) override;
    // Writes the game to kAutoSaveFile in the write folder; a failure is
    // logged and play goes on.
    void AutoSave() override;

private:
    void PlayScene(int32_t layer);
    // The next scene (from layer) or, again, the lost level of an endless
    // direct start; a scene that does not load ends the program with exit
    // code 1.
    void PlayEndless(int32_t layer, bool again);
    void TakeLoadedScene(TScene&& scene);
    void SyncFromEngine();
    void SyncToEngine();
    void LoadScenePictures(const std::vector<std::string>& previous);
    void MakeShadows();
    // Draws the upright frames and starts turning them on other threads.
    void MakeRotationFrames();
    std::unique_ptr<TOrvParticleEffect> NewEffect(const std::string& templateName, TGameTime start);

    struct TRotationJob;
    TShapeTables tables_;
    std::unique_ptr<TRotationJob> rotation_;
    std::unique_ptr<TPlayLevel> level_;
    std::unique_ptr<TPlayFieldPainter> painter_;
    std::unique_ptr<TAutoPlayer> bot_;
    std::vector<TOneShotEffect> effects_;
    TGameTime clock_ = 0;
    uint32_t lastTick_ = 0;
    bool clockStarted_ = false;
    bool directPlay_ = false;
    std::FILE* trace_ = nullptr;
    std::string delayedSound_;
    TGameTime delayedSoundAt_ = -1;
};
