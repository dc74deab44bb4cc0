#include "game/Main.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "fx/OrvFXParticles.h"
#include "game/PreparedArchive.h"
#include "media/PNGMorf.h"
#include "platform/Bass.h"
#include "platform/CPUInfo.h"
#include "platform/Display.h"
#include "platform/InputScript.h"
#include "platform/Platform.h"
#include "platform/WinVer.h"
#include "render/PictureCodec.h"
#include "render/ResourceList.h"
#include "render/SurfEngine.h"

// Where the installed data lies seen from the program's folder (set by the
// build from the install layout).
#ifndef MOSWICK_DATA_FROM_BIN
#define MOSWICK_DATA_FROM_BIN "../share/moswick"
#endif

TOrvGameEngine* GameEngine = nullptr;

namespace {

constexpr TRect kWholeScreen{0, 0, TOrvGameEngine::kScreenWidth - 1, TOrvGameEngine::kScreenHeight - 1};

// Wrap-safe "a is later than b" for 32-bit tick counts.
bool Later(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) > 0;
}

// A number in the general format with three significant digits ("59.5",
// "255", "0", "1.23E3").
std::string FormatGeneral3(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3G", v);
    std::string s(buf);
    const size_t e = s.find('E');
    if (e == std::string::npos) return s;
    // "1.23E+03" -> "1.23E3", "1.23E-05" -> "1.23E-5".
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    const bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.erase(0, 1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    return mantissa + "E" + (negative ? "-" : "") + exponent;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction, clock, log

TOrvGameEngine::TOrvGameEngine(TRunOptions run)
    : Rules(std::make_unique<TGameRules>()), Interface(std::make_unique<TGameInterface>()), run_(std::move(run)) {
    if (GameEngine) throw OrvException("Exception Error in TOrvGameEngine: a game engine exists already", false);
    GameEngine = this;
    virtualClock_ = run_.FixedStepMs > 0;
    const uint64_t seed =
        run_.HasSeed ? run_.Seed : static_cast<uint64_t>(Platform::GetTickCount()) * 0x9E3779B97F4A7C15ull + 1;
    Random.Seed(seed);
    // The sounds' pitch has a source of its own: how many sounds played
    // (the sound volume, a muted device) must not change the play.
    SoundRandom.Seed(seed ^ 0x50D5F1A7C3B2E941ull);
    Audio.SetPitchRandom(&SoundRandom);
    // Scripted or frame-limited runs must never stop on a modal box.
    if (run_.Frames > 0 || run_.NoWindow || !run_.InputFile.empty()) Platform::SetMessageBoxesEnabled(false);
    if (const char* v = std::getenv("SDL_VIDEODRIVER"); v && std::string(v) == "dummy")
        Platform::SetMessageBoxesEnabled(false);
}

TOrvGameEngine::~TOrvGameEngine() {
    if (created_ && !destroyed_) FormDestroy();
    if (TOrvLog::Instance().IsOpen() && TOrvLog::Instance().Path() == WriteDir + kLogName) {
        TOrvLog::Instance().SetClock(nullptr);
        TOrvLog::Instance().Close();
    }
    if (GameEngine == this) GameEngine = nullptr;
}

uint32_t TOrvGameEngine::GetTickCount() const {
    return virtualClock_ ? virtualNow_ : Platform::GetTickCount();
}

void TOrvGameEngine::WriteLog(const std::string& fileName, const std::string& text) {
    TOrvLog::WriteLine(WriteDir + fileName, GetTickCount() - StartTick, text);
}

std::string TOrvGameEngine::InstalledDataDir() {
    const std::filesystem::path dir = std::filesystem::path(Platform::ProgramDir()) / MOSWICK_DATA_FROM_BIN;
    return Platform::WithTrailingSlash(dir.lexically_normal().string());
}

void TOrvGameEngine::ChooseFolders() {
    // The data: --data-dir when given, else the program's own folder (a build
    // or a portable copy), else the installed share/moswick beside bin.
    bool installed = false;
    if (!run_.DataDir.empty()) {
        ExeDir = Platform::WithTrailingSlash(run_.DataDir);
    } else {
        ExeDir = Platform::ProgramDir();
        std::error_code ec;
        if (!std::filesystem::exists(ExeDir + "game.zxc", ec) &&
            std::filesystem::exists(InstalledDataDir() + "game.zxc", ec)) {
            ExeDir = InstalledDataDir();
            installed = true;
        }
    }
    // An installed game never writes into its prefix, even a writable one:
    // the player's files go to the XDG folder.
    if (!run_.WriteDir.empty()) {
        WriteDir = Platform::WithTrailingSlash(run_.WriteDir);
        Platform::ForceDirectories(WriteDir);
    } else if (!installed && Platform::IsFolderWritable(ExeDir)) {
        WriteDir = ExeDir;
    } else {
        WriteDir = Platform::UserDataDir();
        Platform::ForceDirectories(WriteDir);
    }
}

void TOrvGameEngine::LogSystemInformation() {
    Log(std::string("Moswick Version: ") + kVersion);
    Log("System Information");
    Log("   OS Version: " + TWinVer::OsName());
    Log("   Processor: " + TCPUInfo::ProcessorName());
    Log("   Total Memory: " + std::to_string(TWinVer::WholeMegabytes(TWinVer::TotalMemoryBytes())) + " Mb");
    Log("Form Create Method runed.");
    if (WriteDir != ExeDir) Log("   Files are written to: " + WriteDir);
}

// ---------------------------------------------------------------------------
// Start-up, first stage

void TOrvGameEngine::FormCreate() {
    created_ = true;
    ChooseFolders();
    StartTick = GetTickCount();
    TOrvLog::Instance().Open(WriteDir + kLogName, StartTick);
    TOrvLog::Instance().SetClock([this] { return GetTickCount(); });
    LogSystemInformation();
    RemoveLeftoverFiles();

    // The surface engine itself needs the display, which the first
    // activation sets up; the picture list is bound to where it will be.
    ResourceList = std::make_unique<TResourceList>(ExeDir, SurfEngine);

    Options.LoadOptions(WriteDir + "options.cfg");
    if (run_.FullScreen >= 0) Options.FullScreenMode = run_.FullScreen;

    StartAudio();
    PrepareArchive();
    Audio.LoadSounds(*FileFolder);
    Interface->LoadResources(*FileFolder);

    Options.LoadOptions(WriteDir + "options.cfg");
    if (run_.FullScreen >= 0) Options.FullScreenMode = run_.FullScreen;

    // The window itself: a bordered 800x600 window at the stored position,
    // or full screen at the desktop's resolution; the game draws its own
    // cursor.
    if (!run_.NoWindow) {
        std::string error;
        if (!Window.Create("Moswick", kScreenWidth, kScreenHeight, FullScreen(), Options.SavedPlacement(), error))
            throw OrvException("Exception Error in TOrvGameEngine.FormCreate. Cannot create the window: " + error);
        Window.SetCoordinateMapper([this](int32_t& x, int32_t& y) {
            if (!Display) return;
            const TPoint p = Display->WindowToFrame(x, y);
            x = p.X;
            y = p.Y;
        });
        Platform::ShowSystemCursor(false);
    }
}

void TOrvGameEngine::StartAudio() {
    SoundEnabled = true;
    if (BASS_GetVersion() != ((8u << 16) | 1u)) SoundEnabled = false;
    if (SoundEnabled && !BASS_Init(-1, 44100, 0, Window.Handle())) SoundEnabled = false;
    if (SoundEnabled) BASS_Start();
    Audio.MusicVolume = Options.MusicVolume;
    Audio.SoundVolume = Options.SoundVolume;
    BASS_SetGlobalVolumes(Options.MusicVolume, Options.SoundVolume, 0);
    Log("Bass init Ok...");
}

void TOrvGameEngine::PrepareArchive() {
    const std::string source = ExeDir + "game.zxc";
    const std::string tempDir = WriteDir + "temp/";
    const std::string dest = tempDir + "game.zxc";
    Platform::ForceDirectories(tempDir);
    DiscardStalePreparedArchive(source, dest);
    std::error_code ec;
    const bool fresh = !std::filesystem::exists(std::filesystem::symlink_status(dest, ec));
    TPNGMorf morf(90);
    morf.AddCommand("Source=\"" + source + "\" Dest=\"" + dest + "\"");
    // The pictures it joins are decoded once: the picture list takes them
    // as they are instead of decoding the PNGs just written.
    morf.KeepDecoded = true;
    morf.Run();
    if (fresh && !RecordPreparation(source, dest))
        Log("Cannot record what " + dest + " was made from; it will be prepared again at the next start");
    FileFolder = std::make_unique<TFileFolder>(dest);
    if (!morf.Decoded.empty()) ResourceList->KeepDecoded(*FileFolder, "surfaces.dat", std::move(morf.Decoded));
    Log("File Folders morfed Ok...");
}

void TOrvGameEngine::DiscardStalePreparedArchive(const std::string& source, const std::string& dest) {
    const std::string why = WhyPrepareAgain(source, dest);
    if (why.empty()) return;
    Log("Preparing " + dest + " again: " + why);
    if (!DiscardPrepared(dest)) Log("Cannot remove " + dest);
}

void TOrvGameEngine::RemoveLeftoverFiles() {
    // Writes killed half-way leave their temporary files beside the targets.
    for (const std::string& folder : {WriteDir, WriteDir + "temp/", WriteDir + "saves/"})
        for (const std::string& path : RemoveStaleTemporaryFiles(folder))
            Log("Removed a temporary file left by an interrupted write: " + path);
}

// ---------------------------------------------------------------------------
// Start-up, second stage

void TOrvGameEngine::FormActivate() {
    if (gameRun_) return;
    gameRun_ = true;
    RunGame();
    // The activation that ran the game also posts the restore message, which
    // hooks the frames.
    Activate();
}

bool TOrvGameEngine::InitDisplay(bool fullScreen, std::string& error) {
    if (!Display) Display = std::make_unique<TDisplay>();
    Display->SetVSync(Options.VSync);
    Display->SetSmoothScaling(Options.SmoothScaling);
    // Window mode shows the frame in the desktop's format; only full screen
    // takes the depth of the options.
    const int bpp = fullScreen ? Options.BitsPerPixel : 32;
    if (Display->Init(Window.Handle(), kScreenWidth, kScreenHeight, bpp, fullScreen, error)) return true;
    Log(error);
    if (Display->Init(Window.Handle(), kScreenWidth, kScreenHeight, 16, fullScreen, error)) return true;
    Log(error);
    return false;
}

void TOrvGameEngine::CreateScreenSurfaces() {
    for (const char* name : {"MemorySurface", "MemoryBufer", "Background"}) {
        SurfEngine->DeleteSurface(name);
        if (!SurfEngine->CreateEmptySurface(name, kScreenWidth, kScreenHeight))
            throw OrvException(std::string("Exception Error in TOrvGameEngine.RunGame. Cannot create ") + name);
    }
    SurfEngine->CreateAlphaChannel("MemoryBufer", 255);
    // The screen's bump map, which the interface's bump pass writes into.
    if (SurfEngine->FindBumpMap("Bump") < 0) SurfEngine->CreateBumpMap("Bump", kScreenWidth, kScreenHeight);
}

void TOrvGameEngine::RunGame() {
    try {
        Log("Prepare for Game run...");
        Platform::ForceDirectories(WriteDir + "saves");

        std::string error;
        bool ok = false;
        try {
            ok = InitDisplay(FullScreen(), error);
        } catch (const std::exception&) {
            FatalText = "Error in init DirectX";
            throw OrvException(FatalText);
        }
        if (!ok) {
            if (Display) Display->Shutdown();
            Log(std::string("Error in init DirectX mode FullScreen=") + (FullScreen() ? "1" : "0"));
            Terminate(1);
            return;
        }
        Log("Init Direct Draw Ok...");
        SurfEngine = std::make_unique<TSurfEngine>(Display.get(), kScreenWidth, kScreenHeight);
        CreateScreenSurfaces();
        ScrollX = ScrollY = ScrollTargetX = ScrollTargetY = 0;

        // The title's music plays while the pictures load; the others are
        // read on a thread of their own once the frames run, so that they do
        // not take the processor from the pictures.
        Audio.BeginLoadMusics(*FileFolder, "vibe-hah.mo3");
        Audio.PlayMusic("vibe-hah.mo3", 1000, 0);

        Interface->ShowLoading();
        LoadPictures();
        Rules->LoadTables();

        GameState = gsMenuScreen;
        NowTime = PrevFrameTime = GetTickCount();
        // The first frame-rate sample counts from here, not from whenever the
        // clock started, or the loading time would enter the average as a
        // second of almost no frames.
        FpsSampleTime = NowTime;
        ScrollStepInterval = 20;
        CursorFrameTime = kCursorFrameTime;
        NextCursorFrameTime = NowTime;

        LoadGameParams();
        Log("Game Started...");

        Interface->ShowTitle();
        FishkaUnderCursor = -1;
        SkillOfferWeights = {100, 80, 60, 60, 40, 60, 60, 60, 60};
        RedrawRects.assign(1, TRect{0, 0, kScreenWidth, kScreenHeight});
        LoadEffectTemplates();
        QuickSaveCaptionTime = -1;
        Rules->GameStarted();
    } catch (const std::exception& e) {
        if (terminated_) return;
        if (FatalText.empty()) FatalText = "Exception error in TOrvGameEngine.RunGame";
        // The log gets the fatal text as ever (the cause was logged when it
        // was raised); whoever shows the error also sees the cause.
        Log(FatalText);
        const std::string cause = e.what();
        throw OrvException(cause == FatalText ? FatalText : FatalText + ": " + cause, false);
    }
}

void TOrvGameEngine::LoadPictures() {
    SurfEngine->ProgressCallback = [this](int32_t percent) { Interface->LoadingProgress(percent); };
    ResourceList->LoadSurfacesList(*FileFolder, "surfaces.dat");
    SurfEngine->ProgressCallback = nullptr;
    Log("Pictures from Folder Load Ok...");
    Log("resource List Reinit Surfaces Ok...");
    if (SurfEngine->FindSurface("cursor_line.png") < 0)
        ResourceList->LoadPNGFromArchive(*FileFolder, "cursor_line.png", "cursor_line.png");
    int32_t w = 0;
    int32_t h = 0;
    SurfEngine->GetPictureSize("cursor_line.png", w, h);
    CursorHeight = h;
}

void TOrvGameEngine::LoadEffectTemplates() {
    EffectTemplates.clear();
    for (const char* name : kEffectFiles) {
        TMemoryStream* stream = LoadEffectFile(*FileFolder, name);
        auto effect = std::make_unique<TOrvParticleEffect>();
        effect->SetName(name);
        effect->SetRandom(&Random);
        effect->LoadFromStream(*stream);
        EffectTemplates.push_back(std::move(effect));
    }
}

TOrvParticleEffect* TOrvGameEngine::FindEffectTemplate(const std::string& fileName) const {
    for (size_t i = 0; i < EffectTemplates.size() && i < kEffectFiles.size(); ++i)
        if (fileName == kEffectFiles[i]) return EffectTemplates[i].get();
    return nullptr;
}

void TOrvGameEngine::LoadGameParams() {
    Params.LoadGameParams(ExeDir + "GameParams.xml", Shapes);
}

TMemoryStream* TOrvGameEngine::LoadEffectFile(TFileFolder& folder, const std::string& name) {
    TMemoryStream* stream = folder.IndexOf(name) >= 0 ? folder.Stream(name) : nullptr;
    if (!stream) throw OrvException("Can not find " + name + "in file folder");
    stream->Seek(0);
    return stream;
}

// ---------------------------------------------------------------------------
// The frame

void TOrvGameEngine::AdvanceCursor() {
    if (!Later(NowTime, NextCursorFrameTime)) return;
    // Every cursor step adds the same rectangle; after a long stall the steps
    // are counted at once instead of one loop pass (and one rectangle) each.
    const uint32_t behind = NowTime - NextCursorFrameTime;
    const uint32_t steps = behind / CursorFrameTime + (behind % CursorFrameTime ? 1u : 0u);
    CursorFrame = static_cast<int32_t>((static_cast<uint32_t>(CursorFrame) + steps) % kCursorFrames);
    NextCursorFrameTime += steps * CursorFrameTime;
    DirtyRects.push_back({MouseX, MouseY, MouseX + kCursorWidth, MouseY + CursorHeight - 1});
}

void TOrvGameEngine::AppIdle(bool& done) {
    if (!FatalText.empty()) {
        Log(FatalText);
        FatalText.clear();
        Terminate(1);
        return;
    }
    done = false;
    NowTime = GetTickCount();
    if (!Display) {
        idleHooked_ = false;
        return;
    }

    AdvanceCursor();
    Rules->AdvanceEffects();
    Audio.PollMusicLoad();
    Audio.UpdateDelayedMusic(NowTime);
    Interface->Update();
    if (QuickSaveCaptionTime != -1 && Later(NowTime, static_cast<uint32_t>(QuickSaveCaptionTime))) {
        QuickSaveCaptionTime = -1;
        Interface->RestoreQuickSaveCaption();
    }
    switch (GameState) {
        case gsPlaying:
            ThawGameTime();
            Rules->UpdatePlay();
            Audio.UpdateDelayedSound(NowTime);
            break;
        case gsGameWindow:
            Rules->HoldDropClock(NowTime - PrevFrameTime);
            break;
        case gsScrollToLayer:
        case gsGameOverPause:
        case gsLayerStart:
        case gsLayerComplete:
            Rules->UpdateState(GameState);
            break;
        default:
            break;
    }
    if (!SurfEngine) return;

    // A frame composed whole must look like one composed from the changed
    // rectangles: tests compare the two.
    if (run_.FullRedraw) RedrawAll();
    DrawMemorySurface();
    Present();

    PrevMouseX = MouseX;
    PrevMouseY = MouseY;
    if (FishkaUnderCursor != -1) {
        const TPoint held = Rules->HeldPiecePosition();
        PrevHeldX = held.X;
        PrevHeldY = held.Y;
    }
    RedrawRects.clear();
    DirtyRects.clear();
    ExtraRects.clear();

    SampleFrameRate();
    PrevFrameTime = NowTime;
}

void TOrvGameEngine::SampleFrameRate() {
    const uint32_t now = GetTickCount();
    if (now - FpsSampleTime <= 1000) return;
    FpsSampleTime = now;
    FpsValue = static_cast<uint8_t>(FrameCount & 0xFF);
    // The caption and the average take the whole count: a fast machine draws
    // more than 255 frames a second, and the low byte alone would report a
    // few frames instead.
    if (Options.Debug()) Window.SetCaption("FPS:" + FormatGeneral3(FrameCount));
    FpsAverage = (FpsAverage * FpsSamples + FrameCount) / (FpsSamples + 1);
    ++FpsSamples;
    FrameCount = 0;
}

void TOrvGameEngine::Present() {
    if (GameState == gsPlaying || GameState == gsLayerStart || GameState == gsLayerComplete)
        RedrawRects.insert(RedrawRects.end(), ExtraRects.begin(), ExtraRects.end());
    bool ok = false;
    try {
        ok = SurfEngine->Present("MemorySurface", RedrawRects);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok && Display && Display->IsLost()) {
        // A lost screen is brought back by the restore message, not here.
        restorePending_ = true;
        return;
    }
    if (!ok) {
        FatalText = FullScreen() ? "Exception error in OrvGameEngine.AppIdle! Fullscreen mode on."
                                 : "Exception error in OrvGameEngine.AppIdle! Fullscreen mode off.";
        throw OrvException(FatalText);
    }
}

void TOrvGameEngine::FreezeGameTime() {
    if (Paused) return;
    PauseStart = GetTickCount();
    Paused = true;
}

void TOrvGameEngine::ThawGameTime() {
    if (!Paused) return;
    const uint32_t frozen = GetTickCount() - PauseStart;
    Rules->ShiftFrozenTime(frozen, NowTime);
    Paused = false;
    if (GameState == gsPlaying) Rules->AfterThaw();
}

void TOrvGameEngine::RedrawAll() {
    DirtyRects.push_back(kWholeScreen);
}

// ---------------------------------------------------------------------------
// Frame composition: the engine's part (interface, copy, cursor); the play
// field comes from the rules of play.

void TOrvGameEngine::CollectInterface(bool mergeWhenRedrawNotEmpty) {
    Interface->CollectChangedRects(DirtyRects);
    if (!DirtyRects.empty() && (RedrawRects.empty() || mergeWhenRedrawNotEmpty)) {
        TRects cells;
        RectsToCells(cells, DirtyRects);
        RedrawRects.insert(RedrawRects.end(), cells.begin(), cells.end());
    }
    Interface->DrawForms();
}

void TOrvGameEngine::CopyRedrawRects() {
    // The lists' rectangles include their right column and bottom row (as
    // Present shows them); the copy's source rectangle excludes them, so it
    // reaches one further. Copied one short, a changed last row or column
    // stayed on screen as a thin streak until the next full redraw.
    auto copy = [this](const TRects& rects) {
        for (const TRect& r : rects) {
            const TRect c{std::max(r.Left, 0), std::max(r.Top, 0),
                          static_cast<int32_t>(std::min<int64_t>(int64_t(r.Right) + 1, kScreenWidth)),
                          static_cast<int32_t>(std::min<int64_t>(int64_t(r.Bottom) + 1, kScreenHeight))};
            if (c.Right <= c.Left || c.Bottom <= c.Top) continue;
            SurfEngine->DrawSurface("MemoryBufer", "MemorySurface", c.Left, c.Top, &c, DDBLTFAST_WAIT);
        }
    };
    copy(RedrawRects);
    copy(ExtraRects);
}

void TOrvGameEngine::DrawCursor() {
    const SurfaceRecord* cursor = SurfEngine->GetSurface("cursor_line.png");
    if (!cursor) return;
    const int32_t h = cursor->Height;
    const bool shortCut = GameState == gsGameOverPause || GameState == gsLayerStart || GameState == gsLayerComplete;
    TRect src{CursorFrame * kCursorWidth, 0, (CursorFrame + 1) * kCursorWidth - 1, shortCut ? h - 1 : h - 2};
    if (MouseX + kCursorWidth > kScreenWidth) src.Right -= MouseX - (kScreenWidth - kCursorWidth);
    if (MouseY + h > kScreenHeight) src.Bottom -= MouseY + h - kScreenHeight;
    if (src.Right < src.Left || src.Bottom < src.Top) return;
    // What lies under the cursor first: a frame that copied nothing there
    // would otherwise blend the cursor over itself and darken its shadow.
    const TRect under{std::max(MouseX, 0), std::max(MouseY, 0),
                      std::min(MouseX + src.Right - src.Left + 1, kScreenWidth),
                      std::min(MouseY + src.Bottom - src.Top + 1, kScreenHeight)};
    if (under.Right > under.Left && under.Bottom > under.Top)
        SurfEngine->DrawSurface("MemoryBufer", "MemorySurface", under.Left, under.Top, &under, DDBLTFAST_WAIT);
    SurfEngine->DrawWithAlphaChannel("cursor_line.png", "MemorySurface", MouseX, MouseY, 255, &src, 0, 0);
}

void TOrvGameEngine::DrawMemorySurface() {
    if (!SurfEngine) return;
    try {
        switch (GameState) {
            case gsPlaying:
            case gsGameOverPause:
            case gsLayerStart:
            case gsLayerComplete:
                Rules->DrawPlayField(GameState);
                CollectInterface(false);
                // The piece in the hand rides over the windows too.
                if (GameState == gsPlaying) Rules->DrawHeldPiece();
                CopyRedrawRects();
                DrawCursor();
                break;
            case gsScrollToLayer:
                Rules->DrawPlayField(GameState);
                RedrawRects.assign(1, TRect{0, 0, kScreenWidth, kScreenHeight});
                Interface->DrawForms();
                CopyRedrawRects();
                DrawCursor();
                break;
            case gsGameWindow:
                Rules->DrawPlayField(GameState);
                CollectInterface(true);
                CopyRedrawRects();
                ExtraRects.clear();
                DrawCursor();
                break;
            case gsBetweenLevels:
            case gsMenuScreen:
                CollectInterface(true);
                CopyRedrawRects();
                DrawCursor();
                break;
            default:
                break;
        }
    } catch (const std::exception&) {
        Log("Exception Error in TOrvGameEngine.DrawMemorySurface.");
    }
    ++FrameCount;
}

void TOrvGameEngine::FormPaint() {
    if (!SurfEngine || !Display) return;
    DrawMemorySurface();
    SurfEngine->PresentAll("MemorySurface");
}

void TOrvGameEngine::PostFormDraw(const std::string& formName) {
    if (Interface) Interface->PostFormDraw(formName);
}

// ---------------------------------------------------------------------------
// Drawing services for the interface and the fonts: thin calls into the
// surface engine, each on the surface the frame layout expects.

void TOrvGameEngine::Draw(const std::string& picture, const std::string& bumpPicture, TBlendingMode mode, int32_t x,
                          int32_t y, uint8_t alpha, const TRect* sourceRect) {
    (void)bumpPicture, (void)mode;
    if (SurfEngine) SurfEngine->DrawWithAlphaChannel(picture, "MemoryBufer", x, y, alpha, sourceRect, 0, 0);
}

void TOrvGameEngine::DrawBumpMap(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y) {
    if (!SurfEngine) return;
    if (!bumpPicture.empty()) {
        SurfEngine->DrawBumpMap(bumpPicture, "Bump", nullptr, x, y);
        return;
    }
    const SurfaceRecord* p = SurfEngine->GetSurface(picture);
    if (!p) return;
    const TRect under{x, y, x + p->Width - 1, y + p->Height - 1};
    if (p->HasAlpha())
        SurfEngine->ClearBumpUnderPicture("Bump", picture, under);
    else
        SurfEngine->FillBumpMap("Bump", TBumpPair{0, 0}, &under);
}

void TOrvGameEngine::DrawRect(const std::string& name, const TRect& rect, uint32_t colour, uint8_t alpha,
                              int32_t mode) {
    (void)name, (void)mode;
    if (SurfEngine) SurfEngine->DrawRect("MemoryBufer", rect, colour, alpha);
}

void TOrvGameEngine::ExtDraw(const std::string& picture, int32_t count) {
    if (!SurfEngine || !glyphs_ || count <= 0) return;
    const size_t n = std::min(static_cast<size_t>(count), glyphCapacity_);
    SurfEngine->DrawGlyphs(picture, "MemoryBufer", n, glyphs_);
}

void TOrvGameEngine::DrawColoredAlpha(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y,
                                      uint32_t colour, uint8_t alpha) {
    (void)bumpPicture;
    if (SurfEngine) SurfEngine->DrawWithAlphaChannel(picture, "MemorySurface", x, y, alpha, nullptr, colour, 1);
}

void TOrvGameEngine::DrawColored(const std::string& picture, const std::string& bumpPicture, int32_t x, int32_t y,
                                 uint32_t colour) {
    DrawColoredAlpha(picture, bumpPicture, x, y, colour, 255);
}

void TOrvGameEngine::LowExtDraw(const std::string& picture, int32_t x, int32_t y, uint32_t colour, uint8_t alpha,
                                const TRect* sourceRect) {
    if (SurfEngine) SurfEngine->DrawWithAlphaChannel(picture, "MemorySurface", x, y, alpha, sourceRect, colour, 1);
}

void TOrvGameEngine::GetPictureSize(int32_t& width, int32_t& height, const std::string& picture) {
    width = height = 0;
    if (SurfEngine) SurfEngine->GetPictureSize(picture, width, height);
}

void TOrvGameEngine::GetScreenSize(int32_t& width, int32_t& height) {
    width = SurfEngine ? SurfEngine->Width() : kScreenWidth;
    height = SurfEngine ? SurfEngine->Height() : kScreenHeight;
}

void TOrvGameEngine::PlaySound(const std::string& fileName) {
    Audio.PlaySound(fileName);
}

// ---------------------------------------------------------------------------
// Display mode

void TOrvGameEngine::ChangewindowMode() {
    try {
        FreezeGameTime();
        RememberWindowPlacement();
        Options.FullScreenMode = 1 - Options.FullScreenMode;
        // The window part of start-up reads the options again, so a window
        // position edited in the file applies at a mode change. After a
        // failed write the file holds stale values and is not read; the
        // switch itself must still happen, or the stored mode and the screen
        // would disagree.
        if (StoreOptions()) Options.LoadOptions(WriteDir + "options.cfg");
        ApplyDisplayMode();
    } catch (const std::exception&) {
        Log("Exception Error in TOrvGameEngine.ChangewindowMode.");
    }
    Interface->OptionsChanged();
}

void TOrvGameEngine::RebuildDisplay() {
    try {
        FreezeGameTime();
        ApplyDisplayMode();
    } catch (const std::exception&) {
        Log("Exception Error in TOrvGameEngine.ChangewindowMode.");
    }
    Interface->OptionsChanged();
}

void TOrvGameEngine::ApplyDisplayMode() {
    const bool full = FullScreen();
    Window.ApplyMode(full, Options.SavedPlacement());
    if (!Display || !SurfEngine) return;
    const int wantBpp = full ? Options.BitsPerPixel : 32;
    if (Display->PixelFormat().BitsPerPixel == wantBpp) {
        // Same pixel format: every picture stays valid; only the way the
        // frame reaches the screen changes.
        Display->SetFullScreen(full);
    } else {
        Rules->FinishTables();
        SurfEngine->ReleaseSurfaces();
        std::string error;
        if (!InitDisplay(full, error)) {
            Log(std::string("Error in init DirectX mode FullScreen=") + (full ? "1" : "0"));
            Terminate(1);
            return;
        }
        SurfEngine->Reinit(Display.get());
        ResourceList->ReinitSurfaces(*FileFolder, ExeDir, "");
        CreateScreenSurfaces();
        Rules->SurfacesRemade();
    }
    RedrawAll();
    DrawMemorySurface();
}

bool TOrvGameEngine::StoreOptions(bool quiet) {
    try {
        Options.SaveOptions(WriteDir + "options.cfg");
        return true;
    } catch (const std::exception&) {
        // The exception logged why. The game goes on with the settings in
        // memory; the player hears about it once, not at every change.
        if (!quiet && !settingsWarned_) {
            settingsWarned_ = true;
            Interface->SettingsNotSaved();
        }
        return false;
    }
}

void TOrvGameEngine::RememberWindowPlacement() {
    // A window of the dummy driver has no real place on a desktop.
    if (FullScreen() || !Window.Handle() || Platform::IsHeadlessVideo()) return;
    Options.RememberPlacement(Window.Placement());
}

void TOrvGameEngine::WindowMoved(int32_t left, int32_t top) {
    if (FullScreen()) return;
    Options.WindowModeX = left;
    Options.WindowModeY = top;
    if (Display) Display->UpdateLayout();
}

// ---------------------------------------------------------------------------
// Input routing

void TOrvGameEngine::AddCursorMoveRect(int32_t oldX, int32_t oldY, int32_t newX, int32_t newY) {
    DirtyRects.push_back({std::min(oldX, newX), std::min(oldY, newY), std::max(oldX, newX) + kCursorWidth,
                          std::max(oldY, newY) + CursorHeight - 1});
}

void TOrvGameEngine::FormMouseMove(TShiftState shift, int32_t x, int32_t y) {
    const int32_t oldX = MouseX;
    const int32_t oldY = MouseY;
    MouseX = x;
    MouseY = y;
    LastMouseMoveTime = GetTickCount();
    Interface->MouseMove(shift, x, y);
    if (GameState == gsPlaying && FishkaUnderCursor != -1) {
        Rules->MoveHeldPiece(x, y);
        return;
    }
    AddCursorMoveRect(oldX, oldY, x, y);
}

void TOrvGameEngine::FormMouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    Interface->MouseDown(button, shift, x, y);
    if (GameState == gsPlaying) Rules->MouseDown(button, shift, x, y);
}

void TOrvGameEngine::FormMouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    Interface->MouseUp(button, shift, x, y);
}

void TOrvGameEngine::FormMouseWheel(TShiftState shift, int32_t wheelDelta, int32_t x, int32_t y) {
    if (GameState != gsPlaying) {
        Interface->MouseWheel(shift, wheelDelta, x, y);
        return;
    }
    if (FishkaUnderCursor == -1 || Rules->HeldIsExtraFish()) return;
    if (wheelDelta < 1)
        Rules->RotateNext();
    else
        Rules->RotatePrevious();
    DirtyRects.push_back(kWholeScreen);
}

void TOrvGameEngine::FormKeyDown(int32_t key, TShiftState shift) {
    const bool alt = shift & ssAlt;
    const bool ctrl = shift & ssCtrl;
    const bool shiftKey = shift & ssShift;
    if (key == VK::Return && alt) {
        if (GameState == gsPlaying) FreezeGameTime();
        ChangewindowMode();
        return;
    }
    const std::string top = Interface->TopWindowName();
    if (key == VK::Return) {
        if (top == "WSaveGame")
            Interface->ConfirmSaveGame();
        else if (top == "WLoadGame")
            Interface->ConfirmLoadGame();
    }
    // The two Escape rows exclude each other: the menu that Escape opens
    // during play must not be resumed by the same key press.
    if (key == VK::Escape) {
        if (GameState == gsPlaying) {
            FreezeGameTime();
            Interface->OpenGameMenu();
        } else if (GameState == gsGameWindow && top == "WGameMenu") {
            Interface->ResumeFromMenu();
        }
    }
    if (key == VK::Space && GameState == gsPlaying) {
        if (ctrl && !shiftKey && Rules->BeltClears() > 0) {
            Rules->ClearFirstBelt();
            return;
        }
        if (shiftKey && !ctrl && Rules->DropResets() > 0) {
            Rules->FreeDropSection();
            return;
        }
    }
    if (Options.Debug()) {
        switch (key) {
            case VK::Up:
                ScrollY -= 10;
                RedrawAll();
                break;
            case VK::Down:
                ScrollY += 10;
                RedrawAll();
                break;
            case VK::Left:
                ScrollX -= 10;
                RedrawAll();
                break;
            case VK::Right:
                ScrollX += 10;
                RedrawAll();
                break;
            case VK::Delete:
                if (FishkaUnderCursor != -1) Rules->RemoveHeldPiece();
                RedrawAll();
                break;
            case VK::Space:
                if (GameState == gsPlaying && !ctrl && !shiftKey) Rules->CompleteLayerNow();
                break;
            case VK::F3:
                Interface->OfferNewSkills();
                break;
            case VK::F4:
                LoadGameParams();
                break;
            case VK::F5:
                if (GameState == gsPlaying) Rules->OpenArtefactWindowNow();
                break;
            case VK::F6:
                Interface->ShowHint("WGame_HintArtefact", MouseX, MouseY);
                break;
            default:
                break;
        }
    }
    Interface->KeyDown(key, shift);
}

void TOrvGameEngine::FormKeyUp(int32_t key, TShiftState shift) {
    (void)key, (void)shift;
}

void TOrvGameEngine::FormKeyPress(const std::string& text) {
    Interface->KeyPress(text);
}

// ---------------------------------------------------------------------------
// Activation

void TOrvGameEngine::Deactivate() {
    idleHooked_ = false;
    if (GameState == gsPlaying) {
        FreezeGameTime();
        Interface->OpenGameMenu();
    } else {
        FreezeGameTime();
    }
    if (SoundEnabled) BASS_Pause();
    Platform::ShowSystemCursor(true);
}

void TOrvGameEngine::Activate() {
    restorePending_ = true;
}

void TOrvGameEngine::RestoreMessage() {
    restorePending_ = false;
    if (!run_.NoWindow) Platform::ShowSystemCursor(false);
    if (Display && Display->IsLost()) {
        std::string error;
        if (!Display->Restore(error)) {
            Log(error);
            restorePending_ = true;
            return;
        }
    }
    idleHooked_ = true;
    if (!SurfEngine) return;
    DirtyRects.push_back(TRect{0, 0, kScreenWidth, kScreenHeight});
    DrawMemorySurface();
    try {
        Present();
    } catch (const std::exception& e) {
        HandleException(e);
    }
    if (SoundEnabled) BASS_Start();
}

void TOrvGameEngine::HandleException(const std::exception& e) {
    const bool wasHooked = idleHooked_;
    idleHooked_ = false;
    Platform::ShowErrorBox(Window.Handle(), "Moswick", e.what());
    idleHooked_ = wasHooked || gameRun_;
}

void TOrvGameEngine::DispatchEvent(const TWindowEvent& ev) {
    try {
        switch (ev.Kind) {
            case TWindowEventKind::MouseMove:
                FormMouseMove(ev.Shift, ev.X, ev.Y);
                break;
            case TWindowEventKind::MouseDown:
                FormMouseDown(ev.Button, ev.Shift, ev.X, ev.Y);
                break;
            case TWindowEventKind::MouseUp:
                FormMouseUp(ev.Button, ev.Shift, ev.X, ev.Y);
                break;
            case TWindowEventKind::MouseWheel:
                FormMouseWheel(ev.Shift, ev.WheelDelta, ev.X, ev.Y);
                break;
            case TWindowEventKind::KeyDown: {
                FormKeyDown(ev.Key, ev.Shift);
                // Keys that type a control character (Enter, Backspace, Ctrl+V
                // ...) deliver it as a key press too, as the system does for
                // edit controls; text input never carries them.
                const std::string c = ControlCharForChord(ev.Key, ev.Shift);
                if (!c.empty()) FormKeyPress(c);
                break;
            }
            case TWindowEventKind::KeyUp:
                FormKeyUp(ev.Key, ev.Shift);
                break;
            case TWindowEventKind::KeyPress:
                FormKeyPress(ev.Text);
                break;
            case TWindowEventKind::Activate:
                Activate();
                break;
            case TWindowEventKind::Deactivate:
                Deactivate();
                break;
            case TWindowEventKind::Moved:
                WindowMoved(ev.X, ev.Y);
                break;
            case TWindowEventKind::Paint:
                if (Display) Display->UpdateLayout();
                FormPaint();
                break;
            case TWindowEventKind::Quit:
                Terminate(exitCode_);
                break;
            case TWindowEventKind::None:
                break;
        }
    } catch (const std::exception& e) {
        HandleException(e);
    }
}

// ---------------------------------------------------------------------------
// Shutdown

void TOrvGameEngine::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    Log("Average FPS: " + FormatGeneral3(FpsAverage));
    RememberWindowPlacement();
    StoreOptions(true);
    idleHooked_ = false;
    Rules->FreeScene();
    EffectTemplates.clear();
    Rules->FinishTables();
    SurfEngine.reset();
    if (Display) Display->Shutdown();
    Display.reset();
    FileFolder.reset();
    ResourceList.reset();
    Audio.Shutdown();
    BASS_Free();
    Window.Destroy();
}

void TOrvGameEngine::Terminate(int exitCode) {
    terminated_ = true;
    if (exitCode != 0) exitCode_ = exitCode;
}

// ---------------------------------------------------------------------------
// The program

void TOrvGameEngine::PumpEvents() {
    TWindowEvent ev;
    while (!terminated_ && Window.PollEvent(ev)) DispatchEvent(ev);
    if (!script_) return;
    std::vector<TWindowEvent> scripted;
    script_->EventsForFrame(loopFrame_, scripted);
    for (TWindowEvent& e : scripted) {
        if (terminated_) break;
        // A control named by the script is looked up now, where it stands
        // in this frame.
        if (!e.Target.empty() && !Interface->ControlCentre(e.Target, e.X, e.Y)) {
            std::fprintf(stderr, "moswick: input script, frame %u: no control named \"%s\" is shown\n", loopFrame_,
                         e.Target.c_str());
            Terminate(2);
            break;
        }
        DispatchEvent(e);
    }
}

bool TOrvGameEngine::SaveScreenshot(const std::string& path) {
    if (!SurfEngine) return false;
    const SurfaceRecord* frame = SurfEngine->GetSurface("MemorySurface");
    if (!frame || !frame->Bits) return false;
    TPicture picture = TPicture::Create(frame->Width, frame->Height, 3);
    for (int32_t y = 0; y < frame->Height; ++y) {
        uint8_t* row = picture.Row(y);
        for (int32_t x = 0; x < frame->Width; ++x)
            SurfEngine->GetPixelRGB(*frame, x, y, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    }
    try {
        SavePNGFile(path, picture);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::unique_ptr<TOrvParser> TOrvGameEngine::DumpState() const {
    auto doc = std::make_unique<TOrvParser>();
    TOrvXMLTag* root = doc->AddTag("MoswickState");
    root->AddAttribute("GameState", std::to_string(GameState));
    root->AddAttribute("NowTime", std::to_string(NowTime));
    // Whether sound plays now: losing the foreground must halt it.
    if (SoundEnabled) root->AddAttribute("AudioPaused", BASS_IsPaused() ? "true" : "false");
    // Which tune the game has chosen, where it began, and whether the mixer
    // really plays it (a music at volume 0 is chosen but not started).
    TOrvXMLTag* music = root->AddTag("Music");
    music->AddAttribute("Name", Audio.CurrentMusic);
    music->AddAttribute("Order", std::to_string(Audio.CurrentMusicOrder));
    const uint32_t channel = AudioHandle(Audio.CurrentMusic, Audio.Table);
    music->AddAttribute("Playing", channel != 0 && BASS_ChannelIsActive(channel) ? "true" : "false");
    Rules->DumpState(*root);
    Interface->DumpState(*root);
    return doc;
}

bool TOrvGameEngine::SaveStateDump(const std::string& path) {
    try {
        DumpState()->SaveToFile(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "moswick: cannot write the state dump %s: %s\n", PrintableText(path).c_str(),
                     PrintableText(e.what()).c_str());
        return false;
    }
    return true;
}

int TOrvGameEngine::StartUpFailed(const std::string& cause) {
    // Every start-up failure is on record with its cause (an OrvException
    // also logged itself when it was raised) and on the terminal.
    Log("Start-up failed: " + cause);
    std::fprintf(stderr, "moswick: start-up failed: %s\n", PrintableText(cause).c_str());
    try {
        FormDestroy();
    } catch (...) {
        // Shutting down what half started must not hide the first failure.
    }
    return 1;
}

bool TOrvGameEngine::PacesIdleFrames() const {
    return !virtualClock_ && !script_ && Display;
}

void TOrvGameEngine::WaitForNextFrame(uint32_t frameStart) {
    // The loop waits out the rest of one refresh period here; input ends the
    // wait early.
    const uint32_t period = std::max(1, 1000 / std::max(1, Display->RefreshRate()));
    const uint32_t spent = Platform::GetTickCount() - frameStart;
    if (spent < period) Platform::WaitForEvent(period - spent);
}

int TOrvGameEngine::Run() {
    if (!run_.InputFile.empty()) {
        script_ = std::make_unique<TInputScript>();
        try {
            script_->LoadFromFile(run_.InputFile);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "moswick: %s\n", PrintableText(e.what()).c_str());
            return 2;
        }
    }
    try {
        FormCreate();
    } catch (const std::exception& e) {
        return StartUpFailed(e.what());
    } catch (...) {
        return StartUpFailed("an error of unknown kind");
    }
    try {
        FormActivate();
    } catch (const std::exception& e) {
        HandleException(e);
        restorePending_ = true;
    }
    while (!terminated_) {
        PumpEvents();
        if (terminated_) break;
        if (restorePending_) RestoreMessage();
        if (idleHooked_) {
            bool done = true;
            const uint32_t frameStart = Platform::GetTickCount();
            const uint64_t shownBefore = Display ? Display->ShownFrames() : 0;
            try {
                AppIdle(done);
            } catch (const std::exception& e) {
                HandleException(e);
            }
            if (terminated_) break;
            // A frame that showed nothing did not wait for the refresh; nor
            // does one shown where presenting cannot wait, though VSync asks
            // for the refresh's pace.
            const bool waited = Display && Display->ShownFrames() != shownBefore && Display->WaitsForRefresh();
            const bool paced = Display && (Display->ShownFrames() == shownBefore || Options.VSync);
            if (PacesIdleFrames() && paced && !waited) WaitForNextFrame(frameStart);
        } else if (!virtualClock_ && !script_) {
            // Not in the foreground: nothing runs; wait for the next event
            // instead of spinning.
            if (Window.Handle())
                Platform::WaitForEvent(50);
            else
                Platform::Delay(10);
        }
        ++loopFrame_;
        if (virtualClock_) virtualNow_ += run_.FixedStepMs;
        if (run_.Frames > 0 && loopFrame_ >= run_.Frames) break;
    }
    if (!run_.ScreenshotFile.empty() && !SaveScreenshot(run_.ScreenshotFile)) {
        std::fprintf(stderr, "moswick: cannot write the screenshot %s\n", PrintableText(run_.ScreenshotFile).c_str());
        if (exitCode_ == 0) exitCode_ = 1;
    }
    // Written before shutdown frees the scene, so it shows the state the run
    // ended in.
    if (!run_.DumpStateFile.empty() && !SaveStateDump(run_.DumpStateFile) && exitCode_ == 0) exitCode_ = 1;
    FormDestroy();
    return exitCode_;
}
