#include "game/Main.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "platform/Display.h"
#include "render/SurfEngine.h"

namespace {

// Records what the engine asks of the rules of play, in one shared journal
// with the interface so that the order of the two can be checked.
struct TJournal {
    std::vector<std::string> Calls;
    bool Has(const std::string& c) const { return std::find(Calls.begin(), Calls.end(), c) != Calls.end(); }
    size_t Count(const std::string& c) const { return static_cast<size_t>(std::count(Calls.begin(), Calls.end(), c)); }
};

class TRecordingRules : public TGameRules {
public:
    explicit TRecordingRules(TJournal& j) : j_(j) {}
    void ShiftFrozenTime(uint32_t frozenMs, uint32_t) override { Frozen.push_back(frozenMs); }
    void AfterThaw() override { j_.Calls.push_back("AfterThaw"); }
    void UpdatePlay() override { j_.Calls.push_back("UpdatePlay"); }
    void HoldDropClock(uint32_t t) override { Held += t; }
    void MoveHeldPiece(int32_t, int32_t) override { j_.Calls.push_back("MoveHeldPiece"); }
    bool HeldIsExtraFish() const override { return ExtraFish; }
    void RotateNext() override { j_.Calls.push_back("RotateNext"); }
    void RotatePrevious() override { j_.Calls.push_back("RotatePrevious"); }
    void RemoveHeldPiece() override { j_.Calls.push_back("RemoveHeldPiece"); }
    void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override { j_.Calls.push_back("Rules.MouseDown"); }
    int32_t BeltClears() const override { return Clears; }
    void ClearFirstBelt() override { j_.Calls.push_back("ClearFirstBelt"); }
    int32_t DropResets() const override { return Resets; }
    void FreeDropSection() override { j_.Calls.push_back("FreeDropSection"); }
    void CompleteLayerNow() override { j_.Calls.push_back("CompleteLayerNow"); }
    void OpenArtefactWindowNow() override { j_.Calls.push_back("OpenArtefactWindowNow"); }

    std::vector<uint32_t> Frozen;
    uint32_t Held = 0;
    bool ExtraFish = false;
    int32_t Clears = 0;
    int32_t Resets = 0;

private:
    TJournal& j_;
};

class TRecordingInterface : public TGameInterface {
public:
    explicit TRecordingInterface(TJournal& j) : j_(j) {}
    void MouseMove(TShiftState, int32_t, int32_t) override { j_.Calls.push_back("UI.MouseMove"); }
    void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override { j_.Calls.push_back("UI.MouseDown"); }
    void MouseUp(TMouseButton, TShiftState, int32_t, int32_t) override { j_.Calls.push_back("UI.MouseUp"); }
    void MouseWheel(TShiftState, int32_t, int32_t, int32_t) override { j_.Calls.push_back("UI.MouseWheel"); }
    void KeyDown(int32_t key, TShiftState) override { Keys.push_back(key); }
    void KeyPress(const std::string& t) override { Typed += t; }
    std::string TopWindowName() const override { return Top; }
    // Like the real menu button: the game menu becomes the top window of a
    // game window over the frozen scene.
    void OpenGameMenu() override {
        j_.Calls.push_back("OpenGameMenu");
        if (GameEngine) GameEngine->GameState = gsGameWindow;
        Top = "WGameMenu";
    }
    void ResumeFromMenu() override { j_.Calls.push_back("ResumeFromMenu"); }
    void ConfirmSaveGame() override { j_.Calls.push_back("ConfirmSaveGame"); }
    void ConfirmLoadGame() override { j_.Calls.push_back("ConfirmLoadGame"); }
    void OfferNewSkills() override { j_.Calls.push_back("OfferNewSkills"); }
    void ShowHint(const std::string& name, int32_t x, int32_t y) override {
        j_.Calls.push_back("ShowHint " + name + " " + std::to_string(x) + "," + std::to_string(y));
    }

    std::string Top;
    std::vector<int32_t> Keys;
    std::string Typed;

private:
    TJournal& j_;
};

TRunOptions HeadlessRun() {
    TRunOptions run;
    run.NoWindow = true;
    run.FixedStepMs = 16;
    run.HasSeed = true;
    run.Seed = 7;
    return run;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("moswick-engine-") + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        e_ = std::make_unique<TOrvGameEngine>(HeadlessRun());
        e_->ExeDir = e_->WriteDir = dir_.string() + "/";
        auto rules = std::make_unique<TRecordingRules>(journal_);
        auto ui = std::make_unique<TRecordingInterface>(journal_);
        rules_ = rules.get();
        ui_ = ui.get();
        e_->Rules = std::move(rules);
        e_->Interface = std::move(ui);
        e_->Display = std::make_unique<TDisplay>();
        std::string error;
        ASSERT_TRUE(e_->Display->Init(nullptr, 800, 600, 32, false, error)) << error;
        e_->SurfEngine = std::make_unique<TSurfEngine>(e_->Display.get(), 800, 600);
        e_->CreateScreenSurfaces();
    }
    void TearDown() override {
        e_.reset();
        std::filesystem::remove_all(dir_);
    }
    void Frame() {
        bool done = true;
        e_->AppIdle(done);
        EXPECT_FALSE(done);
    }
    void Key(int32_t key, TShiftState shift = 0) { e_->FormKeyDown(key, shift); }
    bool FullScreenDirty() const {
        for (const TRect& r : e_->DirtyRects)
            if (r == TRect{0, 0, 799, 599}) return true;
        return false;
    }

    std::filesystem::path dir_;
    std::unique_ptr<TOrvGameEngine> e_;
    TJournal journal_;
    TRecordingRules* rules_ = nullptr;
    TRecordingInterface* ui_ = nullptr;
};

TEST_F(EngineTest, FrameRateSamplesKeepLowBitsButAverageTheWholeCount) {
    e_->FpsSampleTime = 0;
    e_->AdvanceClock(1000);
    e_->FrameCount = 299;
    Frame();  // exactly 1000 ms: not yet a sample
    EXPECT_EQ(e_->FrameCount, 300u);
    EXPECT_EQ(e_->FpsSamples, 0);

    e_->AdvanceClock(1);
    e_->FrameCount = 299;
    Frame();  // 300 frames: the sample keeps the low 8 bits, the logged average all of them
    EXPECT_EQ(e_->FpsValue, 44);
    EXPECT_DOUBLE_EQ(e_->FpsAverage, 300.0);  // the first sample is the average
    EXPECT_EQ(e_->FpsSamples, 1);
    EXPECT_EQ(e_->FrameCount, 0u);
    EXPECT_EQ(e_->FpsSampleTime, 1001u);

    e_->AdvanceClock(1001);
    e_->FrameCount = 99;
    Frame();
    EXPECT_EQ(e_->FpsValue, 100);
    EXPECT_DOUBLE_EQ(e_->FpsAverage, 200.0);
    e_->AdvanceClock(1001);
    e_->FrameCount = 59;
    Frame();
    EXPECT_DOUBLE_EQ(e_->FpsAverage, 460.0 / 3);  // (300 + 100 + 60) / 3
    EXPECT_EQ(e_->FpsSamples, 3);
}

TEST_F(EngineTest, FreezeAndThawShiftGameTimeOnceInPlay) {
    e_->AdvanceClock(1000);
    e_->FreezeGameTime();
    e_->AdvanceClock(500);
    e_->FreezeGameTime();  // a second freeze keeps the first start
    EXPECT_TRUE(e_->Paused);
    EXPECT_EQ(e_->PauseStart, 1000u);

    e_->GameState = gsMenuScreen;
    Frame();  // shell screens never thaw
    EXPECT_TRUE(e_->Paused);
    EXPECT_TRUE(rules_->Frozen.empty());

    e_->GameState = gsPlaying;
    e_->AdvanceClock(1500);
    Frame();
    ASSERT_EQ(rules_->Frozen.size(), 1u);
    EXPECT_EQ(rules_->Frozen[0], 2000u);
    EXPECT_FALSE(e_->Paused);
    EXPECT_EQ(journal_.Count("AfterThaw"), 1u);
    Frame();
    EXPECT_EQ(rules_->Frozen.size(), 1u);
    EXPECT_EQ(journal_.Count("UpdatePlay"), 2u);

    // A game window holds the drop clock back by the frame time.
    e_->GameState = gsGameWindow;
    e_->AdvanceClock(40);
    Frame();
    EXPECT_EQ(rules_->Held, 40u);
}

TEST_F(EngineTest, EscapeAndEnterRows) {
    e_->GameState = gsPlaying;
    Key(VK::Escape);
    EXPECT_TRUE(e_->Paused);
    EXPECT_TRUE(journal_.Has("OpenGameMenu"));
    EXPECT_FALSE(journal_.Has("ResumeFromMenu"));  // the same press does not resume
    EXPECT_EQ(e_->GameState, gsGameWindow);
    EXPECT_EQ(ui_->Keys, std::vector<int32_t>{VK::Escape});

    journal_.Calls.clear();
    e_->GameState = gsGameWindow;
    ui_->Top = "WHelp";
    Key(VK::Escape);  // another window: only the interface hears it
    EXPECT_TRUE(journal_.Calls.empty());
    ui_->Top = "WGameMenu";
    Key(VK::Escape);
    EXPECT_TRUE(journal_.Has("ResumeFromMenu"));
    EXPECT_EQ(ui_->Keys.size(), 3u);

    ui_->Top = "WSaveGame";
    Key(VK::Return);
    EXPECT_TRUE(journal_.Has("ConfirmSaveGame"));
    ui_->Top = "WLoadGame";
    Key(VK::Return);
    EXPECT_TRUE(journal_.Has("ConfirmLoadGame"));
    EXPECT_EQ(ui_->Keys.size(), 5u);
}

TEST_F(EngineTest, AltEnterSwitchesModeAndStops) {
    e_->GameState = gsPlaying;
    e_->Options.FullScreenMode = 0;
    Key(VK::Return, ssAlt);
    EXPECT_EQ(e_->Options.FullScreenMode, 1);
    EXPECT_TRUE(e_->Paused);
    EXPECT_TRUE(e_->Display->IsFullScreen());
    EXPECT_TRUE(ui_->Keys.empty());
    Key(VK::Return, ssAlt);
    EXPECT_EQ(e_->Options.FullScreenMode, 0);
    EXPECT_FALSE(e_->Display->IsFullScreen());
    // The mode is stored at once.
    TGameOptions stored;
    stored.LoadOptions(e_->WriteDir + "options.cfg");
    EXPECT_EQ(stored.FullScreenMode, 0);
}

TEST_F(EngineTest, SpaceChordsNeedChargesAndStop) {
    e_->GameState = gsPlaying;
    Key(VK::Space, ssCtrl);  // no belt clear left: the interface gets it
    EXPECT_FALSE(journal_.Has("ClearFirstBelt"));
    EXPECT_EQ(ui_->Keys.size(), 1u);
    rules_->Clears = 1;
    rules_->Resets = 1;
    Key(VK::Space, ssCtrl);
    EXPECT_TRUE(journal_.Has("ClearFirstBelt"));
    Key(VK::Space, ssShift);
    EXPECT_TRUE(journal_.Has("FreeDropSection"));
    EXPECT_EQ(ui_->Keys.size(), 1u);
    Key(VK::Space, ssShift | ssCtrl);  // both: neither chord
    EXPECT_EQ(journal_.Count("ClearFirstBelt") + journal_.Count("FreeDropSection"), 2u);
    EXPECT_EQ(ui_->Keys.size(), 2u);
    e_->GameState = gsMenuScreen;
    Key(VK::Space, ssCtrl);
    EXPECT_EQ(journal_.Count("ClearFirstBelt"), 1u);
}

TEST_F(EngineTest, DebugKeysOnlyWithDebugMode) {
    e_->GameState = gsPlaying;
    e_->FishkaUnderCursor = 3;
    const int32_t keys[] = {VK::Up, VK::Down, VK::Left, VK::Right, VK::Delete, VK::F3, VK::F4, VK::F5, VK::F6};
    for (int32_t k : keys) Key(k);
    EXPECT_EQ(e_->ScrollX, 0);
    EXPECT_EQ(e_->ScrollY, 0);
    EXPECT_TRUE(e_->DirtyRects.empty());
    EXPECT_TRUE(journal_.Calls.empty());
    EXPECT_EQ(ui_->Keys.size(), 9u);

    e_->Options.DebugMode = 429;
    Key(VK::Up);
    Key(VK::Up);
    Key(VK::Right);
    EXPECT_EQ(e_->ScrollY, -20);
    EXPECT_EQ(e_->ScrollX, 10);
    EXPECT_TRUE(FullScreenDirty());
    Key(VK::Delete);
    Key(VK::F3);
    Key(VK::F5);
    e_->MouseX = 120;
    e_->MouseY = 45;
    Key(VK::F6);
    Key(VK::Space);
    EXPECT_TRUE(journal_.Has("RemoveHeldPiece"));
    EXPECT_TRUE(journal_.Has("OfferNewSkills"));
    EXPECT_TRUE(journal_.Has("OpenArtefactWindowNow"));
    EXPECT_TRUE(journal_.Has("ShowHint WGame_HintArtefact 120,45"));
    EXPECT_TRUE(journal_.Has("CompleteLayerNow"));
    EXPECT_EQ(ui_->Keys.size(), 17u);  // debug keys still reach the interface
}

TEST_F(EngineTest, F4ReloadsGameParamsDuringPlay) {
    const std::string path = e_->ExeDir + "GameParams.xml";
    std::ofstream(path) << "<GamePlayParams><ScrollSpeed MaxVelX=\"3\" MaxVelY=\"4\" MinVelX=\"1\" MinVelY=\"1\"/>"
                           "</GamePlayParams>";
    e_->LoadGameParams();
    EXPECT_EQ(e_->Params.ScrollMaxVelX, 3);
    std::ofstream(path) << "<GamePlayParams><ScrollSpeed MaxVelX=\"30\" MaxVelY=\"4\" MinVelX=\"1\" MinVelY=\"1\"/>"
                           "</GamePlayParams>";
    e_->GameState = gsPlaying;
    e_->Options.DebugMode = 429;
    Key(VK::F4);
    EXPECT_EQ(e_->Params.ScrollMaxVelX, 30);
    // A broken file reaches the exception handler; the game goes on.
    std::ofstream(path) << "<GamePlayParams><btBomb RMax=\"x\"/></GamePlayParams>";
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::KeyDown;
    ev.Key = VK::F4;
    e_->DispatchEvent(ev);
    EXPECT_EQ(e_->Params.ScrollMaxVelX, 30);
    EXPECT_FALSE(e_->Terminated());
}

TEST_F(EngineTest, MouseRouting) {
    e_->CursorHeight = 30;
    e_->GameState = gsMenuScreen;
    e_->MouseX = 100;
    e_->MouseY = 100;
    e_->AdvanceClock(77);
    e_->FormMouseMove(0, 120, 90);
    EXPECT_EQ(e_->LastMouseMoveTime, 77u);
    ASSERT_EQ(e_->DirtyRects.size(), 1u);
    EXPECT_EQ(e_->DirtyRects[0], (TRect{100, 90, 161, 129}));

    // Play with a held piece: the piece follows, no cursor rectangle.
    e_->DirtyRects.clear();
    e_->GameState = gsPlaying;
    e_->FishkaUnderCursor = 2;
    e_->FormMouseMove(0, 130, 95);
    EXPECT_TRUE(e_->DirtyRects.empty());
    EXPECT_EQ(journal_.Calls, (std::vector<std::string>{"UI.MouseMove", "UI.MouseMove", "MoveHeldPiece"}));

    // A press goes to the interface first, then to play.
    journal_.Calls.clear();
    e_->FormMouseDown(mbLeft, ssLeft, 130, 95);
    e_->FormMouseUp(mbLeft, 0, 130, 95);
    EXPECT_EQ(journal_.Calls, (std::vector<std::string>{"UI.MouseDown", "Rules.MouseDown", "UI.MouseUp"}));

    // The wheel turns the held piece (down = next) and redraws everything.
    journal_.Calls.clear();
    e_->FormMouseWheel(0, -120, 0, 0);
    e_->FormMouseWheel(0, 120, 0, 0);
    EXPECT_EQ(journal_.Calls, (std::vector<std::string>{"RotateNext", "RotatePrevious"}));
    EXPECT_TRUE(FullScreenDirty());
    rules_->ExtraFish = true;  // an extra fish does not turn
    e_->FormMouseWheel(0, -120, 0, 0);
    EXPECT_EQ(journal_.Calls.size(), 2u);
    e_->GameState = gsMenuScreen;
    e_->FormMouseWheel(0, -120, 0, 0);
    EXPECT_EQ(journal_.Calls.back(), "UI.MouseWheel");
    e_->FormMouseDown(mbLeft, ssLeft, 1, 1);
    EXPECT_EQ(journal_.Calls.back(), "UI.MouseDown");  // no play outside gsPlaying
}

TEST_F(EngineTest, CursorCatchesUpAfterAStallWithOneRectangle) {
    e_->CursorHeight = 30;
    e_->CursorFrame = 28;
    e_->NextCursorFrameTime = 0;
    e_->MouseX = 10;
    e_->MouseY = 20;
    e_->AdvanceClock(95);
    e_->GameState = 7;  // draws nothing, keeps the rectangles visible here
    e_->DirtyRects.clear();
    bool done = true;
    // Only the update part: run a frame and look at the state it left.
    e_->AppIdle(done);
    EXPECT_EQ(e_->CursorFrame, 2);             // 4 steps: 28, 29, 0, 1, 2
    EXPECT_EQ(e_->NextCursorFrameTime, 120u);  // first step time after 95
    e_->AdvanceClock(3600u * 1000u);           // an hour later
    e_->AppIdle(done);
    EXPECT_EQ(e_->NextCursorFrameTime, 3600095u + 25u);
    EXPECT_GE(e_->CursorFrame, 0);
    EXPECT_LT(e_->CursorFrame, 30);
}

TEST_F(EngineTest, UnknownStatesOnlyCountTheFrame) {
    e_->SurfEngine->ClearSurface("MemorySurface", 0);
    e_->SurfEngine->ClearSurface("MemoryBufer", 0xFF);
    e_->RedrawRects.assign(1, TRect{0, 0, 800, 600});
    for (int32_t state : {2, 6, 7, 8}) {
        e_->GameState = state;
        const uint32_t before = e_->FrameCount;
        e_->DrawMemorySurface();
        EXPECT_EQ(e_->FrameCount, before + 1);
    }
    uint8_t r = 1, g = 1, b = 1;
    e_->SurfEngine->GetPixelRGB(*e_->SurfEngine->GetSurface("MemorySurface"), 400, 300, r, g, b);
    EXPECT_EQ(r + g + b, 0);
    // The menu screen copies the redraw rectangles from the scene buffer.
    e_->GameState = gsMenuScreen;
    e_->DrawMemorySurface();
    e_->SurfEngine->GetPixelRGB(*e_->SurfEngine->GetSurface("MemorySurface"), 400, 300, r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
}

TEST_F(EngineTest, DeactivationDuringPlayOpensMenuAndActivationRedraws) {
    bool done = true;
    e_->RestoreMessage();
    EXPECT_TRUE(e_->IdleHooked());
    e_->GameState = gsPlaying;
    e_->Deactivate();
    EXPECT_FALSE(e_->IdleHooked());
    EXPECT_TRUE(journal_.Has("OpenGameMenu"));
    EXPECT_TRUE(e_->Paused);
    // Back in the foreground the game stays in the menu.
    e_->Activate();
    EXPECT_TRUE(e_->RestorePending());
    const uint32_t frames = e_->FrameCount;
    e_->Display->ForceLostForTest(true);
    e_->Display->FailRestoresForTest(1);
    e_->RestoreMessage();  // the screen does not come back: try again later
    EXPECT_TRUE(e_->RestorePending());
    EXPECT_FALSE(e_->IdleHooked());
    e_->RestoreMessage();
    EXPECT_FALSE(e_->RestorePending());
    EXPECT_TRUE(e_->IdleHooked());
    EXPECT_EQ(e_->FrameCount, frames + 1);  // one full frame drawn at once
    e_->AppIdle(done);
    EXPECT_EQ(e_->GameState, gsGameWindow);
    EXPECT_TRUE(e_->Paused);
}

TEST_F(EngineTest, LogStampsAndEffectFiles) {
    e_->StartTick = 0;
    e_->AdvanceClock(125007);
    e_->Log("two minutes");
    std::string log;
    ASSERT_TRUE(ReadWholeFile(e_->WriteDir + "Moswick.log", log));
    EXPECT_EQ(log, "{2:5:7} two minutes\r\n");

    TFileFolder folder = TFileFolder::CreateNew(e_->WriteDir + "fx.zxc");
    TMemoryStream content(std::string_view{"<Effect/>"});
    folder.AddFile("SparkleEffect.xml", 0, content);
    TMemoryStream* s = TOrvGameEngine::LoadEffectFile(folder, "sparkleeffect.XML");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Position(), 0u);
    EXPECT_EQ(s->AsString(), "<Effect/>");
    try {
        TOrvGameEngine::LoadEffectFile(folder, "Contour.xml");
        FAIL() << "no error";
    } catch (const OrvException& e) {
        EXPECT_STREQ(e.what(), "Can not find Contour.xmlin file folder");
    }
}

TEST_F(EngineTest, DrawingServicesPaintTheirOwnSurfaces) {
    TSurfEngine& se = *e_->SurfEngine;
    ASSERT_TRUE(se.CreateEmptySurface("Dot", 4, 4));
    se.ClearSurface("Dot", 0xFF);
    se.ClearSurface("MemoryBufer", 0);
    se.ClearSurface("MemorySurface", 0);
    auto lit = [&](const char* surface, int x, int y) {
        uint8_t r = 0, g = 0, b = 0;
        se.GetPixelRGB(*se.GetSurface(surface), x, y, r, g, b);
        return r + g + b > 0;
    };
    IOrvGraphic& graphic = *e_;
    graphic.Draw("Dot", "", bmAddBlend, 10, 10, 255, nullptr);
    EXPECT_TRUE(lit("MemoryBufer", 11, 11));
    EXPECT_FALSE(lit("MemorySurface", 11, 11));
    graphic.DrawColoredAlpha("Dot", "", 50, 50, 0x0000FF, 255);
    EXPECT_TRUE(lit("MemorySurface", 51, 51));
    EXPECT_FALSE(lit("MemoryBufer", 51, 51));
    graphic.DrawRect("", TRect{100, 100, 110, 110}, 0xFFFFFF, 255, 1);
    EXPECT_TRUE(lit("MemoryBufer", 105, 105));

    int32_t w = -1, h = -1;
    graphic.GetPictureSize(w, h, "Nothing.png");
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    graphic.GetPictureSize(w, h, "Dot");
    EXPECT_EQ(w, 4);
    graphic.GetScreenSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);

    // A glyph count beyond the font's batch is cut to the batch.
    TGlyphItem glyphs[2];
    glyphs[0].Source = TRect{0, 0, 1, 1};
    glyphs[0].X = 200;
    glyphs[0].Y = 200;
    glyphs[0].Colour = 0xFFFFFF;
    glyphs[1] = glyphs[0];
    glyphs[1].X = 300;
    e_->SetGlyphSource(glyphs, 2);
    graphic.ExtDraw("Dot", 3000);
    EXPECT_TRUE(lit("MemoryBufer", 200, 200));
    EXPECT_TRUE(lit("MemoryBufer", 300, 200));
    graphic.DrawBumpMap("Dot", "", 0, 0);  // the screen's bump map exists
    EXPECT_GE(se.FindBumpMap("Bump"), 0);
}

TEST_F(EngineTest, ModeChangeReadsTheEditedPositionAndSurvivesAFailedWrite) {
    const std::string cfg = e_->WriteDir + "options.cfg";
    std::ofstream(cfg) << "[Options]\r\nFullScreenMode=1\r\nWindowModeX=40\r\nWindowModeY=30\r\n";
    e_->Options.LoadOptions(cfg);
    e_->Display->SetFullScreen(true);
    // The player moves the stored position by hand while the game runs.
    std::ofstream(cfg) << "[Options]\r\nFullScreenMode=1\r\nWindowModeX=120\r\nWindowModeY=90\r\n";
    Key(VK::Return, ssAlt);
    EXPECT_EQ(e_->Options.FullScreenMode, 0);
    EXPECT_EQ(e_->Options.WindowModeX, 120);
    EXPECT_EQ(e_->Options.WindowModeY, 90);
    EXPECT_FALSE(e_->Display->IsFullScreen());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(cfg, text));
    EXPECT_NE(text.find("WindowModeX=120"), std::string::npos);  // read, never written

    // The options cannot be written: the mode still switches and nothing
    // read before is lost to the defaults of a missing file.
    e_->WriteDir = (dir_ / "gone" / "").string();
    Key(VK::Return, ssAlt);
    EXPECT_EQ(e_->Options.FullScreenMode, 1);
    EXPECT_TRUE(e_->Display->IsFullScreen());
    EXPECT_EQ(e_->Options.WindowModeX, 120);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));
}

// A small archive with what start-up needs: an empty picture list and the
// eight effect templates (empty effects).
void WriteSmallArchive(const std::string& path) {
    TFileFolder folder = TFileFolder::CreateNew(path);
    TMemoryStream list(std::string_view{""});
    folder.AddFile("surfaces.dat", 0, list);
    for (const char* name : TOrvGameEngine::kEffectFiles) {
        TMemoryStream effect(std::string("<ParticleEffect Name=\"") + name +
                             "\"><Functions/><Morphs/><Particles/><ParticleSystems/></ParticleEffect>");
        folder.AddFile(name, 0, effect);
    }
    folder.SaveToFile();
}

// The clock has long been running when the game starts (as the system tick
// count has): the loading time must not enter the frame rate as a first
// sample of a second with almost no frames.
TEST(EngineStartTest, FrameRateSamplingStartsWithTheGame) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("moswick-engine-start-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    WriteSmallArchive((dir / "game.zxc").string());
    {
        TRunOptions run = HeadlessRun();
        run.DataDir = dir.string();
        TOrvGameEngine e(run);
        e.AdvanceClock(5000);
        e.FormCreate();
        e.FormActivate();
        ASSERT_FALSE(e.Terminated());
        EXPECT_EQ(e.GameState, gsMenuScreen);
        EXPECT_EQ(e.StartTick, 5000u);
        EXPECT_EQ(e.FpsSampleTime, 5000u);
        ASSERT_TRUE(e.RestorePending());
        e.RestoreMessage();  // draws the first frame
        bool done = true;
        for (int i = 0; i < 62; ++i) {
            e.AdvanceClock(16);
            e.AppIdle(done);
        }
        EXPECT_EQ(e.FpsSamples, 0);  // 992 ms into the game
        e.AdvanceClock(16);
        e.AppIdle(done);
        EXPECT_EQ(e.FpsSamples, 1);
        EXPECT_EQ(e.FpsValue, 64);
        EXPECT_DOUBLE_EQ(e.FpsAverage, 64.0);
    }
    std::filesystem::remove_all(dir);
}

TEST(RunOptionsTest, ParsesTheCommandLine) {
    const char* good[] = {"moswick", "--frames", "200",          "--fixed-step", "16",       "--seed",     "42",
                          "--input", "in.txt",   "--screenshot", "out.png",      "--window", "--data-dir", "/d"};
    TRunOptions run;
    std::string error;
    ASSERT_TRUE(run.Parse(static_cast<int>(std::size(good)), good, error)) << error;
    EXPECT_EQ(run.Frames, 200u);
    EXPECT_EQ(run.FixedStepMs, 16u);
    EXPECT_TRUE(run.HasSeed);
    EXPECT_EQ(run.Seed, 42u);
    EXPECT_EQ(run.InputFile, "in.txt");
    EXPECT_EQ(run.ScreenshotFile, "out.png");
    EXPECT_EQ(run.FullScreen, 0);
    EXPECT_EQ(run.DataDir, "/d");

    const std::vector<std::vector<const char*>> bad = {{"moswick", "--frames"},
                                                       {"moswick", "--frames", "-1"},
                                                       {"moswick", "--frames", "99999999999"},
                                                       {"moswick", "--fixed-step", "1e3"},
                                                       {"moswick", "--bogus"}};
    for (const auto& args : bad) {
        TRunOptions r;
        EXPECT_FALSE(r.Parse(static_cast<int>(args.size()), args.data(), error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST(RunOptionsTest, HelpListsEveryOptionOnceAndEachParses) {
    const std::string help = TRunOptions::HelpText();
    EXPECT_EQ(help.substr(0, help.find('\n')), TRunOptions::UsageLine());
    std::istringstream in(help);
    std::string line;
    std::set<std::string> names;
    while (std::getline(in, line)) {
        if (line.rfind("  --", 0) != 0) continue;
        std::istringstream words(line);
        std::string name, arg;
        words >> name >> arg;
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
        // Arguments are written in capitals; a help word is not one.
        const bool takesValue =
            !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) { return std::isupper(c); });
        std::vector<const char*> args{"moswick", name.c_str()};
        if (takesValue) args.push_back("1");  // a value every option accepts (a mode is 1 to 3)
        TRunOptions r;
        std::string error;
        EXPECT_TRUE(r.Parse(static_cast<int>(args.size()), args.data(), error)) << name << ": " << error;
    }
    for (const char* must : {"--help", "--version", "--frames", "--data-dir", "--write-dir", "--no-window", "--effect"})
        EXPECT_EQ(names.count(must), 1u) << must;

    const char* flags[] = {"moswick", "--version", "--help"};
    TRunOptions r;
    std::string error;
    ASSERT_TRUE(r.Parse(3, flags, error));
    EXPECT_TRUE(r.ShowHelp && r.ShowVersion);
    EXPECT_EQ(TRunOptions::VersionText(), "Moswick 1.22\n");
}

TEST(EngineLifeTest, OnlyOneEngineAtATime) {
    {
        TOrvGameEngine first(HeadlessRun());
        EXPECT_EQ(GameEngine, &first);
        EXPECT_THROW(TOrvGameEngine second(HeadlessRun()), OrvException);
        EXPECT_EQ(GameEngine, &first);
    }
    EXPECT_EQ(GameEngine, nullptr);
}

}  // namespace
