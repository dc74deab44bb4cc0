// The game engine: the logic of the main window. It brings the game up in two
// stages (window creation, then the first activation), runs one frame after
// another while the game is in the foreground, freezes game time while it is
// not, routes mouse and keyboard events (first to the interface, then to the
// rules of play), keeps the game-wide state every part of play and the shell
// reads, writes "Moswick.log", and shuts everything down in order.
//
// The rules of play and the interface engine with the shell screens plug in
// through TGameRules and TGameInterface: the engine calls them at the points
// where a frame or an event reaches them; the base classes do nothing.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvGraphic.h"
#include "base/OrvRandom.h"
#include "base/OrvTypes.h"
#include "game/GameOptions.h"
#include "game/GameParams.h"
#include "media/Music.h"
#include "platform/Window.h"

class TDisplay;
class TSurfEngine;
class TFileFolder;
class TMemoryStream;
class TInputScript;
class TResourceList;
class TOrvParticleEffect;
struct TGlyphItem;
class TOrvGameEngine;
class TOrvXMLTag;
class TOrvParser;

// What a frame updates and draws (32-bit signed; values outside this list
// draw nothing and only count the frame).
enum TGameState : int32_t {
    gsPlaying = 1,
    gsBetweenLevels = 3,
    gsGameWindow = 4,
    gsMenuScreen = 5,
    gsScrollToLayer = 9,
    gsGameOverPause = 10,
    gsLayerStart = 11,
    gsLayerComplete = 12,
};

// The rules of play: belts, pieces, placing, bonuses and the drawing of the
// play field. The engine owns one and calls it from the frame and the input
// routing; this base does nothing, so the shell runs without a scene.
class TGameRules {
public:
    virtual ~TGameRules() = default;
    // Start-up, after the pictures are loaded and before the game parameters
    // are read: the shape tables (which the parameters name shapes from).
    // Throws OrvException when they cannot be read.
    virtual void LoadTables() {}
    // Waits for the pictures LoadTables left being made on other threads and
    // adds them to the surfaces. Called before the surfaces change format or
    // go away; cheap once done.
    virtual void FinishTables() {}
    // The display's depth changed and the pictures were made again from
    // their files; those made without a file (shadows, turning frames, the
    // play field's own) are blank and are made anew.
    virtual void SurfacesRemade() {}
    // Start-up is over and the title is shown: a direct start (--start-scene)
    // begins its level here.
    virtual void GameStarted() {}
    // Thawing after a freeze of frozenMs: shift the birth times of the pieces
    // on the current layer's belts and their Chameleon renew times (never
    // beyond nowTime + 14000).
    virtual void ShiftFrozenTime(uint32_t frozenMs, uint32_t nowTime) { (void)frozenMs, (void)nowTime; }
    // After a thaw in gsPlaying: reset the opacity of finished placed pieces
    // and rebuild the current layer's reveal mask.
    virtual void AfterThaw() {}
    // gsPlaying, steps b to f of the frame: belts, pieces, bonuses, hazards,
    // end of game, step clock, timers, animated pictures, delayed sound.
    virtual void UpdatePlay() {}
    // gsGameWindow: hold the drop section's clock back by the frame time.
    virtual void HoldDropClock(uint32_t frameTime) { (void)frameTime; }
    // gsScrollToLayer, gsGameOverPause, gsLayerStart, gsLayerComplete.
    virtual void UpdateState(int32_t state) { (void)state; }
    // Advances the particle effects of belt pieces and one-shot effects.
    virtual void AdvanceEffects() {}
    // The play-field layers of the current state into "MemoryBufer".
    virtual void DrawPlayField(int32_t state) { (void)state; }
    // gsPlaying, after the interface's windows: the piece in the hand (with
    // its shadow) into "MemoryBufer", over everything but the cursor.
    virtual void DrawHeldPiece() {}
    // The held piece (FishkaUnderCursor) and its movement with the mouse.
    virtual TPoint HeldPiecePosition() const { return {}; }
    virtual void MoveHeldPiece(int32_t x, int32_t y) { (void)x, (void)y; }
    virtual bool HeldIsExtraFish() const { return false; }
    virtual void RotateNext() {}
    virtual void RotatePrevious() {}
    virtual void RemoveHeldPiece() {}
    // A press in gsPlaying after the interface had it.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual int32_t BeltClears() const { return 0; }
    virtual void ClearFirstBelt() {}
    virtual int32_t DropResets() const { return 0; }
    virtual void FreeDropSection() {}
    // Debug aids: complete the current layer at once; open the artefact's
    // upgrade window in the next frame.
    virtual void CompleteLayerNow() {}
    virtual void OpenArtefactWindowNow() {}
    // Frees the current scene (shutdown, return to the title).
    virtual void FreeScene() {}
    // Adds the state of play to the root of the state dump (--dump-state):
    // attributes such as Mode, SceneInd, TotalScore and children for belts,
    // the held piece, skills and timers.
    virtual void DumpState(TOrvXMLTag& root) const { (void)root; }
};

// The interface engine and the shell screens: windows and controls, their
// scripts and the handlers they call. This base does nothing.
class TGameInterface {
public:
    virtual ~TGameInterface() = default;
    virtual void MouseMove(TShiftState shift, int32_t x, int32_t y) { (void)shift, (void)x, (void)y; }
    virtual void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void MouseWheel(TShiftState shift, int32_t delta, int32_t x, int32_t y) {
        (void)shift, (void)delta, (void)x, (void)y;
    }
    virtual void KeyDown(int32_t key, TShiftState shift) { (void)key, (void)shift; }
    virtual void KeyPress(const std::string& text) { (void)text; }
    // Per-frame animation of the interface.
    virtual void Update() {}
    // Name of the topmost visible window, empty when none.
    virtual std::string TopWindowName() const { return {}; }
    // As the game's menu button: open the game menu and show "WGameMenu".
    virtual void OpenGameMenu() {}
    // As the game menu's Resume button, then close the top window.
    virtual void ResumeFromMenu() {}
    // As the Save button of "WSaveGame" and the Load button of "WLoadGame".
    virtual void ConfirmSaveGame() {}
    virtual void ConfirmLoadGame() {}
    // Debug aids: two new skill offers; the hint "WGame_HintArtefact".
    virtual void OfferNewSkills() {}
    virtual void ShowHint(const std::string& name, int32_t x, int32_t y) { (void)name, (void)x, (void)y; }
    virtual void HideHint(const std::string& name) { (void)name; }
    // Shows a window of play by name ("WLevelComplete", "WGameOver",
    // "WUpgrade") when the rules reach it.
    virtual void ShowWindow(const std::string& name) { (void)name; }
    // The score label of the play screen ("WGame_LScoreCount").
    virtual void SetScore(uint32_t score) { (void)score; }
    // The level label of the play screen ("WGame_LLevelCount"): the scene
    // number, a point and the layer's number from 1 ("3.2").
    virtual void SetLevel(int32_t scene, int32_t layer) { (void)scene, (void)layer; }
    // The helpers' charges left: belt clears (Ctrl+Space, "WGame_LShiftCount")
    // and drop section resets (Shift+Space, "WGame_LShuffleCount").
    virtual void SetCharges(int32_t clears, int32_t resets) { (void)clears, (void)resets; }
    // A text of a particle effect (the floating score of a placement) into
    // "MemoryBufer", centred on (x, y), with the particle's opacity and
    // colour (0x00BBGGRR); nothing is drawn outside clip (inclusive).
    virtual void DrawEffectText(const std::string& text, int32_t x, int32_t y, uint8_t alpha, uint32_t colour,
                                const TRect& clip) {
        (void)text, (void)x, (void)y, (void)alpha, (void)colour, (void)clip;
    }
    // Restores the caption of "WGame_BQuickSave".
    virtual void RestoreQuickSaveCaption() {}
    // After the interface drew the window formName: what the game paints over
    // it (the upgrade window's skill icons).
    virtual void PostFormDraw(const std::string& formName) { (void)formName; }
    // The display mode or the options changed outside the options window
    // (Alt+Enter, the play screen's button): its controls follow.
    virtual void OptionsChanged() {}
    // The options could not be written: tell the player (the engine calls
    // this once a run).
    virtual void SettingsNotSaved() {}
    // Appends the rectangles of changed controls; draws all visible windows.
    virtual void CollectChangedRects(TRects& dirty) { (void)dirty; }
    virtual void DrawForms() {}
    // Start-up, once the archive is open: the fonts and the interface file.
    virtual void LoadResources(TFileFolder& folder) { (void)folder; }
    // Start-up, before the pictures load: the loading window.
    virtual void ShowLoading() {}
    // Start-up: show the title window.
    virtual void ShowTitle() {}
    // Start-up: the loading window's progress bar (0..100).
    virtual void LoadingProgress(int32_t percent) { (void)percent; }
    // Adds the interface's state to the root of the state dump (--dump-state):
    // the modal stack, the visible controls with their captions.
    virtual void DumpState(TOrvXMLTag& root) const { (void)root; }
    // The screen point at the centre of a control that is shown now (input
    // scripts click controls by name); false for an unknown or hidden one.
    virtual bool ControlCentre(const std::string& name, int32_t& x, int32_t& y) const {
        (void)name, (void)x, (void)y;
        return false;
    }
};

// Settings of one run from the command line. The options themselves, with
// their help lines, are one table in RunOptions.cpp.
struct TRunOptions {
    std::string DataDir;       // folder of the game's data; empty = searched (program folder, share/moswick)
    std::string WriteDir;      // folder for written files; empty = chosen at start
    uint32_t Frames = 0;       // quit after this many frames (0 = run until closed)
    uint32_t FixedStepMs = 0;  // virtual clock advancing this much per frame (0 = real clock)
    bool HasSeed = false;
    uint64_t Seed = 0;
    std::string InputFile;       // scripted input
    std::string ScreenshotFile;  // "MemorySurface" written here at the end
    int32_t FullScreen = -1;     // -1 as the options say, 0 window, 1 full screen
    bool NoWindow = false;       // run without any window (screen kept in memory only)
    std::string DumpStateFile;   // the game's state written here as XML at the end
    int32_t StartScene = 0;      // play this scene at once (0 = start at the title)
    int32_t StartLayer = 0;      // ... from this layer (0-based)
    int32_t StartMode = 2;       // ... in this mode (1 no-lose, 2 normal, 3 hard)
    int32_t NewGameScene = 0;    // the title's new game begins at this scene (0 = the first), at StartLayer
    std::string TraceFile;       // one line per rule event written here
    bool Autoplay = false;       // a bot plays through the mouse
    uint32_t AutoplayGames = 1;  // whole games the bot plays from the title (0 = until ended)
    uint32_t MischiefGapMs = 0;  // the bot also saves, loads, changes options ... about this often (0 = never)
    bool Endless = false;        // with StartScene: scene after scene, a lost level again
    bool FullRedraw = false;     // compose the whole frame every frame (checks the partial redraws)
    std::string EffectFile;      // effect viewer: the effect file to play
    std::string PictureDir;      // effect viewer: where its pictures are looked for first
    std::string BackdropFile;    // effect viewer: a picture drawn under the effect
    bool ShowHelp = false;
    bool ShowVersion = false;
    std::vector<std::string> Forms;  // windows shown over the title at start (--form)
    std::string LoadName;            // saved game loaded at start (--load), as named in the load window

    // Parses the command line by the option table. Returns false with a
    // message in error for an unknown option or a bad or missing value.
    bool Parse(int argc, const char* const* argv, std::string& error);
    // The help's first line (printed after a bad command line).
    static std::string UsageLine();
    // The whole help: the usage line, then every option with one line each.
    static std::string HelpText();
    // "Moswick " + the version, one line.
    static std::string VersionText();
};

class TOrvGameEngine : public IOrvGraphic {
public:
    static constexpr int32_t kScreenWidth = 800;
    static constexpr int32_t kScreenHeight = 600;
    static constexpr const char* kVersion = "1.22";
    static constexpr const char* kLogName = "Moswick.log";
    static constexpr uint32_t kCursorFrameTime = 30;
    static constexpr int32_t kCursorWidth = 41;
    static constexpr int32_t kCursorFrames = 30;
    // The particle effects loaded at start-up and kept for the whole run.
    static constexpr std::array<const char*, 8> kEffectFiles{
        "BonusAmulet.xml",       "BonusBombPauk.xml",       "FallDownEffect.xml", "SparkleEffect.xml",
        "SparkleHintEffect.xml", "SparkleFishesEffect.xml", "Contour.xml",        "GiveScoreEffect.xml"};
    // The light picture of the drawing.
    static constexpr const char* kLightPicture = "LightPoint1.png";

    // Registers itself as the game-wide engine (GameEngine). Only one engine
    // may exist at a time.
    explicit TOrvGameEngine(TRunOptions run = {});
    ~TOrvGameEngine() override;
    TOrvGameEngine(const TOrvGameEngine&) = delete;
    TOrvGameEngine& operator=(const TOrvGameEngine&) = delete;

    // ---- Game-wide state ----
    int32_t GameState = gsMenuScreen;
    std::string ExeDir;    // the game's data, trailing '/'
    std::string WriteDir;  // the files the game writes (log, options, saves), trailing '/'
    uint32_t StartTick = 0;
    uint32_t NowTime = 0;
    uint32_t PrevFrameTime = 0;
    int32_t MouseX = 0;
    int32_t MouseY = 0;
    int32_t PrevMouseX = 0;
    int32_t PrevMouseY = 0;
    uint32_t LastMouseMoveTime = 0;
    int32_t FishkaUnderCursor = -1;
    int32_t PrevHeldX = 0;
    int32_t PrevHeldY = 0;
    TRects DirtyRects;
    TRects RedrawRects;
    TRects ExtraRects;
    int32_t ScrollX = 0;
    int32_t ScrollY = 0;
    int32_t ScrollTargetX = 0;
    int32_t ScrollTargetY = 0;
    uint32_t ScrollStepInterval = 20;
    bool SoundEnabled = false;
    bool Paused = false;
    uint32_t PauseStart = 0;
    uint32_t FrameCount = 0;
    uint8_t FpsValue = 0;
    double FpsAverage = 0;
    int32_t FpsSamples = 0;
    uint32_t FpsSampleTime = 0;
    std::string FatalText;
    int32_t CursorFrame = 0;
    uint32_t NextCursorFrameTime = 0;
    uint32_t CursorFrameTime = kCursorFrameTime;
    int32_t CursorHeight = 0;
    int32_t QuickSaveCaptionTime = -1;
    std::array<int32_t, 9> SkillOfferWeights{100, 80, 60, 60, 40, 60, 60, 60, 60};

    TGameOptions Options;
    TGameParams Params;
    // Music and sounds, with the delayed music and delayed sound.
    TGameAudio Audio;
    TOrvRandom Random;
    // The pitch variation of the sounds (seeded with Random, kept apart).
    TOrvRandom SoundRandom;

    // ---- Owned subsystems (null until start-up made them) ----
    std::unique_ptr<TDisplay> Display;
    std::unique_ptr<TSurfEngine> SurfEngine;
    std::unique_ptr<TFileFolder> FileFolder;
    std::unique_ptr<TResourceList> ResourceList;
    // The effect templates of kEffectFiles, in that order.
    std::vector<std::unique_ptr<TOrvParticleEffect>> EffectTemplates;
    std::unique_ptr<TGameRules> Rules;
    std::unique_ptr<TGameInterface> Interface;
    // The shape table, once the scene loader provides one (not owned).
    const IShapeTable* Shapes = nullptr;
    TWindow Window;

    // ---- Clock and log ----
    // The tick count: the platform's clock, or with a fixed step the virtual
    // clock (the same value for every read within a frame).
    uint32_t GetTickCount() const;
    // Appends one stamped line to WriteDir + fileName (always "Moswick.log").
    void WriteLog(const std::string& fileName, const std::string& text);
    void Log(const std::string& text) { WriteLog(kLogName, text); }

    // ---- Start-up, frames, shutdown ----
    // Window creation: log, options, audio, archive, window. Throws
    // OrvException when a step fails; the caller ends the program.
    void FormCreate();
    // The first activation runs RunGame; later ones do nothing.
    void FormActivate();
    // Second start-up stage: display, surfaces, music, pictures, parameters,
    // effects. A display that cannot be set up logs "Error in init DirectX
    // mode FullScreen=" + 0/1 and asks the program to end (Terminated()).
    // Any other failure sets FatalText to "Exception error in
    // TOrvGameEngine.RunGame" and throws OrvException with it.
    void RunGame();
    // One frame. Sets done to false (the loop calls again at once).
    void AppIdle(bool& done);
    void FreezeGameTime();
    void ThawGameTime();
    // Shutdown: logs the average frame rate, writes the options, frees all.
    void FormDestroy();
    // Composes one frame into "MemorySurface" and counts it.
    void DrawMemorySurface();
    // The window's paint handler: compose a frame and present all of it.
    void FormPaint();
    // Full screen <-> window (Alt+Enter and the options window).
    void ChangewindowMode();
    // Sets the display up again for the current mode and depth (a changed
    // colour depth in full screen), keeping every picture. An exception is
    // logged and the game goes on.
    void RebuildDisplay();
    // Writes the options to WriteDir + "options.cfg". False when they cannot
    // be written: that is logged, and the first time in a run (unless quiet)
    // the player is told once that settings cannot be saved.
    bool StoreOptions(bool quiet = false);

    // ---- Input routing (window events) ----
    void FormMouseMove(TShiftState shift, int32_t x, int32_t y);
    void FormMouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void FormMouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void FormMouseWheel(TShiftState shift, int32_t wheelDelta, int32_t x, int32_t y);
    void FormKeyDown(int32_t key, TShiftState shift);
    void FormKeyUp(int32_t key, TShiftState shift);
    void FormKeyPress(const std::string& text);
    // Deactivation of the application: unhook the frames, open the game menu
    // during play (else freeze), pause audio, show the system cursor.
    void Deactivate();
    // Activation: posts the restore message.
    void Activate();
    // The restore message: hide the cursor, restore the screen (posting the
    // message again on failure), hook the frames, redraw all, resume audio.
    void RestoreMessage();
    // The application's exception handler: message box, then go on.
    void HandleException(const std::exception& e);
    // Dispatches one window event (from the window or the input script).
    void DispatchEvent(const TWindowEvent& ev);
    // The window moved (window mode): remember its position for the options.
    void WindowMoved(int32_t left, int32_t top);
    // Window mode: keeps the window's position and size in the options, to
    // be written with them (shutdown, switching to full screen).
    void RememberWindowPlacement();
    // The installed data folder, share/moswick beside the program's bin
    // folder, with a trailing '/'.
    static std::string InstalledDataDir();

    // ---- Drawing services (IOrvGraphic) ----
    void Draw(const std::string& picture, const std::string& bumpPicture, TBlendingMode mode, int32_t x, int32_t y,
              uint8_t alpha, const TRect* sourceRect) override;
    void DrawBumpMap(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y) override;
    void DrawRect(const std::string& name, const TRect& rect, uint32_t colour, uint8_t alpha, int32_t mode) override;
    void ExtDraw(const std::string& picture, int32_t count) override;
    void DrawColoredAlpha(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y,
                          uint32_t colour, uint8_t alpha) override;
    void DrawColored(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y, uint32_t colour);
    void GetPictureSize(int32_t& width, int32_t& height, const std::string& picture) override;
    void GetScreenSize(int32_t& width, int32_t& height) override;
    // Plays a sample of the sound list by file name at the sound volume.
    void PlaySound(const std::string& fileName) override;
    // Called by the interface engine after drawing a window.
    void PostFormDraw(const std::string& formName) override;
    void LowExtDraw(const std::string& picture, int32_t x, int32_t y, uint32_t colour, uint8_t alpha,
                    const TRect* sourceRect) override;
    // The font engine's batch of glyph records that ExtDraw draws from (not
    // owned; capacity records). ExtDraw never reads past capacity.
    void SetGlyphSource(const TGlyphItem* records, size_t capacity) {
        glyphs_ = records;
        glyphCapacity_ = capacity;
    }

    // ---- Services ----
    // The archive entry as a stream at position 0 (owned by the archive).
    // Throws OrvException "Can not find " + name + "in file folder".
    static TMemoryStream* LoadEffectFile(TFileFolder& folder, const std::string& name);
    // The effect template loaded from that file name, or nullptr.
    TOrvParticleEffect* FindEffectTemplate(const std::string& fileName) const;
    // Reads ExeDir + "GameParams.xml" (start-up and the debug key F4).
    void LoadGameParams();
    // Adds the whole screen (0,0..799,599) to DirtyRects.
    void RedrawAll();

    // ---- The program ----
    // Runs the whole program: create, activate, frames until closed (or the
    // frame limit), destroy. Returns the process exit code (0 = normal end).
    int Run();
    // The program should end (window closed, start-up failed).
    bool Terminated() const { return terminated_; }
    void Terminate(int exitCode);
    bool IdleHooked() const { return idleHooked_; }
    bool RestorePending() const { return restorePending_; }
    // Frames run since the start (the loop's count, for --frames and scripts).
    uint32_t LoopFrame() const { return loopFrame_; }
    // Writes "MemorySurface" as a picture (PNG). False when there is none.
    bool SaveScreenshot(const std::string& path);
    // The game's state as an XML document with the root "MoswickState": the
    // engine's own attributes (GameState, NowTime), then what the rules and
    // the interface add. The caller owns the result.
    std::unique_ptr<TOrvParser> DumpState() const;
    // Writes DumpState() to path atomically. False (and a log line) when the
    // file cannot be written.
    bool SaveStateDump(const std::string& path);
    const TRunOptions& RunOptions() const { return run_; }
    // Moves the virtual clock on (runs with a fixed step; tests). Does
    // nothing on the real clock.
    void AdvanceClock(uint32_t ms) {
        if (virtualClock_) virtualNow_ += ms;
    }
    // (Re)creates "MemorySurface", "MemoryBufer" (alpha 255) and "Background"
    // in the surface engine. Throws OrvException when one cannot be made.
    void CreateScreenSurfaces();

private:
    void ChooseFolders();
    void LogSystemInformation();
    void StartAudio();
    void PrepareArchive();
    // Removes a prepared archive that is no longer current (see
    // PreparedArchive.h) and logs why, so that it is prepared again.
    void DiscardStalePreparedArchive(const std::string& source, const std::string& dest);
    // Removes temporary files of interrupted writes from the write folders.
    void RemoveLeftoverFiles();
    void LoadPictures();
    void LoadEffectTemplates();
    bool InitDisplay(bool fullScreen, std::string& error);
    void SampleFrameRate();
    void Present();
    void AdvanceCursor();
    void CopyRedrawRects();
    void DrawCursor();
    void CollectInterface(bool mergeWhenRedrawNotEmpty);
    void AddCursorMoveRect(int32_t oldX, int32_t oldY, int32_t newX, int32_t newY);
    void PumpEvents();
    // Logs and prints a failed first start-up stage, shuts down what was
    // made; returns the exit code 1.
    int StartUpFailed(const std::string& cause);
    // Whether a frame that presented nothing waits out a refresh period
    // (on the real clock without an input script; headless runs too, so
    // they keep the game's pace).
    bool PacesIdleFrames() const;
    void WaitForNextFrame(uint32_t frameStart);
    bool FullScreen() const { return Options.FullScreenMode == 1; }
    // Applies the display for the current options (ChangewindowMode's steps
    // after the toggle). Throws what the display throws.
    void ApplyDisplayMode();

    TRunOptions run_;
    std::unique_ptr<TInputScript> script_;
    bool created_ = false;
    bool gameRun_ = false;
    bool idleHooked_ = false;
    bool restorePending_ = false;
    bool terminated_ = false;
    bool destroyed_ = false;
    int exitCode_ = 0;
    uint32_t loopFrame_ = 0;
    uint32_t virtualNow_ = 0;
    bool virtualClock_ = false;
    const TGlyphItem* glyphs_ = nullptr;
    size_t glyphCapacity_ = 0;
    bool settingsWarned_ = false;
};

// The one game engine of the process (null when none exists): the game-wide
// state every part of play and the shell reads.
extern TOrvGameEngine* GameEngine;
