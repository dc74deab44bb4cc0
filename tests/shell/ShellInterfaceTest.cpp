// The shell's interface hooks on a game engine that is not started: the
// handler table, the handlers it binds, the game menu, hint balloons, typed
// text, controls found by name and the state dump.
#include "shell/ShellInterface.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "platform/Display.h"
#include "render/SurfEngine.h"
#include "ui/OrvEdit.h"
#include "ui/OrvLabel.h"
#include "ui/OrvRichLabel.h"

namespace {

std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>";
}

class ShellInterfaceTest : public ::testing::Test {
protected:
    ShellInterfaceTest() {
        game.SurfEngine = std::make_unique<TSurfEngine>(TPixelFormat::Xrgb8888(), 800, 600);
        auto shell = std::make_unique<TShellInterface>(game);
        ui = shell.get();
        game.Interface = std::move(shell);
        ui->UI().LoadInterfaceFromString(
            "<OrvInterface>" +
            Obj("TOrvForm", {{"Name", "WTitle"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
            Obj("TOrvLabel", {{"Name", "WTitle_BQuit"},
                              {"ParentName", "WTitle"},
                              {"Left", "10"},
                              {"Top", "20"},
                              {"Width", "100"},
                              {"Height", "40"},
                              {"Caption", "Quit"},
                              {"OnMouseUp", "ExecMethod Method=\"WTitle_BQuit_MouseUp\";"}}) +
            Obj("TOrvLabel", {{"Name", "WTitle_LHidden"}, {"ParentName", "WTitle"}, {"Visible", "false"}}) +
            Obj("TOrvEdit", {{"Name", "WTitle_EName"},
                             {"ParentName", "WTitle"},
                             {"Top", "100"},
                             {"Width", "300"},
                             {"Height", "20"},
                             {"Focused", "true"}}) +
            Obj("TOrvForm", {{"Name", "WGameMenu"},
                             {"ParentName", "Screen"},
                             {"Left", "200"},
                             {"Width", "300"},
                             {"Height", "300"}}) +
            Obj("TOrvForm", {{"Name", "WGame"},
                             {"ParentName", "Screen"},
                             {"Left", "50"},
                             {"Top", "30"},
                             {"Width", "750"},
                             {"Height", "570"}}) +
            Obj("TOrvHint", {{"Name", "WGame_HintArtefact"},
                             {"ParentName", "WGame"},
                             {"Width", "150"},
                             {"Height", "40"},
                             {"Caption", "An artefact"}}) +
            "</OrvInterface>");
        ui->UI().ShowModal("WTitle");
    }

    TOrvGameEngine game;
    TShellInterface* ui = nullptr;
};

TEST_F(ShellInterfaceTest, ADamagedFontOrInterfaceFileIsNamedInTheError) {
    // What reaches the terminal when start-up fails must say which of the
    // archive's files is at fault, be it damaged or far too large.
    auto errorOf = [&](const std::string& entry, const std::string& text) {
        TFileFolder folder = TFileFolder::CreateNew("unsaved.zxc");
        TMemoryStream bytes(text);
        folder.AddFile(entry, 0, bytes);
        try {
            ui->LoadResources(folder);
        } catch (const OrvException& e) {
            return e.Message();
        }
        return std::string("loaded");
    };
    const std::string cut = "<OrvInterface><!-- cut short";
    EXPECT_EQ(errorOf(TShellInterface::kInterfaceFile, cut),
              std::string(TShellInterface::kInterfaceFile) +
                  ": [TOrvXMLTag.MakeTypifiedLines] Comments started, but never ended!");
    EXPECT_EQ(errorOf(TShellInterface::kFontFile, cut),
              std::string(TShellInterface::kFontFile) +
                  ": [TOrvXMLTag.MakeTypifiedLines] Comments started, but never ended!");
    EXPECT_EQ(errorOf(TShellInterface::kInterfaceFile, std::string(TOrvParser::MaxDocumentSize + 1, ' ')),
              std::string(TShellInterface::kInterfaceFile) + ": [TOrvParser.LoadFromString] Document larger than " +
                  std::to_string(TOrvParser::MaxDocumentSize) + " bytes!");
}

TEST_F(ShellInterfaceTest, TheHandlerTableNamesEveryHandlerOnce) {
    const auto& names = TShellHandlers::Names();
    const std::set<std::string_view> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    EXPECT_EQ(ui->Handlers().Table().Count(), names.size());
    for (const char* name : {"WTitle_BNewGame_MouseUp", "WOptions_SMusicVolume_Change", "WLoadGame_GFiles_MouseDown",
                             "AddLogoMouseUp", "WUpgrade_BSkills_MouseUp", "YesMouseUp", "WLanguage_BOk_MouseUp"})
        EXPECT_TRUE(ui->Handlers().Table().Has(name)) << name;
    for (const char* name :
         {"WTitle_BQuit_MouseUp", "WGame_BMize_MouseUp", "WGameMenu_BResume_MouseUp", "WHelp_BClose_MouseUp",
          "WQuit_BCancel_MouseUp", "WTitle_BNewGame_MouseUp", "WBetweenLevel_BNextLevel_MouseUp",
          "WBetweenLevel_BOK_MouseUp", "WGameOver_BOk_MouseUp", "WUpgrade_BOk_MouseUp", "WSkills_BClose_MouseUp",
          "WTitle_BHighScores_MouseUp", "WClearHighScores_BOk_MouseUp", "AddLogoMouseUp",
          "WTitle_LQuorvaneLink_MouseUp", "WExitToMainMenu_BOk_MouseUp"})
        EXPECT_TRUE(ui->Handlers().Table().IsBound(name)) << name;
}

TEST_F(ShellInterfaceTest, QuitButtonEndsTheProgram) {
    int32_t x = 0;
    int32_t y = 0;
    ASSERT_TRUE(ui->ControlCentre("WTitle_BQuit", x, y));
    EXPECT_EQ(x, 60);
    EXPECT_EQ(y, 40);
    EXPECT_FALSE(ui->ControlCentre("WTitle_LHidden", x, y));
    EXPECT_FALSE(ui->ControlCentre("WGame_HintArtefact", x, y));
    EXPECT_FALSE(ui->ControlCentre("Nobody", x, y));
    ui->MouseDown(mbLeft, ssLeft, 60, 40);
    ui->MouseUp(mbLeft, 0, 60, 40);
    EXPECT_TRUE(game.Terminated());
}

TEST_F(ShellInterfaceTest, GameMenuFreezesAndResumes) {
    game.GameState = gsPlaying;
    ui->OpenGameMenu();
    EXPECT_EQ(game.GameState, gsGameWindow);
    EXPECT_TRUE(game.Paused);
    EXPECT_EQ(ui->TopWindowName(), "WGameMenu");
    game.ScrollTargetX = 40;
    ui->ResumeFromMenu();
    EXPECT_EQ(game.GameState, gsScrollToLayer);
    EXPECT_EQ(ui->TopWindowName(), "WTitle");
}

TEST_F(ShellInterfaceTest, HintBalloonsFollowTheQuarterOfTheScreen) {
    auto& ui2 = ui->UI();
    ui2.ShowModal("WGame");
    auto& hint = *ui2.FindObjectAs<TOrvHint>("WGame_HintArtefact");
    ui->ShowHintBalloon("WGame_HintArtefact", 349, 299);
    EXPECT_FALSE(hint.Visible);  // no balloon pictures yet
    for (const char* p :
         {"HintWindowRight.png", "HintWindowLeft.png", "HintWindowRightTop.png", "HintWindowLeftTop.png"})
        ASSERT_TRUE(game.SurfEngine->CreateEmptySurface(p, 200, 140));
    ui->ShowHintBalloon("WGame_HintArtefact", 349, 299);
    EXPECT_TRUE(hint.Visible);
    EXPECT_EQ(hint.Picture, "HintWindowLeftTop.png");
    EXPECT_EQ(hint.Left, 349 - 88 - 50);
    EXPECT_EQ(hint.Top, 299 - 4 - 30);
    EXPECT_EQ(hint.TextShiftTop, 64);
    ui->ShowHintBalloon("WGame_HintArtefact", 350, 300);
    EXPECT_EQ(hint.Picture, "HintWindowRight.png");
    EXPECT_EQ(hint.Left, 350 - 174 - 50);
    EXPECT_EQ(hint.TextShiftTop, 20);
    ui->ShowHintBalloon("WGame_NoSuchHint", 10, 10);
}

TEST_F(ShellInterfaceTest, TypedTextReachesTheFocusedEdit) {
    ui->KeyPress("Ан\xC3\xA9");
    ui->KeyPress("\r");
    ui->KeyDown('V', ssCtrl);
    EXPECT_EQ(ui->UI().FindObjectAs<TOrvEdit>("WTitle_EName")->GetCaption(), "Ан\xC3\xA9");
}

TEST_F(ShellInterfaceTest, StateDumpListsTheStackAndTheShownControls) {
    ui->UI().ShowModal("WGameMenu");
    auto doc = game.DumpState();
    const std::string text = doc->SaveToString();
    EXPECT_NE(text.find("TopWindow=\"WGameMenu\""), std::string::npos) << text;
    EXPECT_NE(text.find("<Form Name=\"WTitle\" />"), std::string::npos) << text;
    EXPECT_NE(text.find("Name=\"WTitle_BQuit\" Class=\"TOrvLabel\" Left=\"10\" Top=\"20\""), std::string::npos);
    EXPECT_NE(text.find(">Quit</Control>"), std::string::npos);
    EXPECT_EQ(text.find("WTitle_LHidden"), std::string::npos);
    EXPECT_EQ(text.find("WGame_HintArtefact"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Extra logo links

class LogoLinksTest : public ShellInterfaceTest {
protected:
    LogoLinksTest() {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-logos-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        game.ExeDir = dir_.string() + "/";
        ui->Logos().Opener = [this](const std::string& target) {
            opened.push_back(target);
            return true;
        };
    }
    ~LogoLinksTest() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::filesystem::path dir_;
    std::vector<std::string> opened;
};

TEST_F(LogoLinksTest, EveryChildCountsAndOnlyLogosWithPlaceAndParentMakeLabels) {
    Write("readme.txt", "hello");
    Write("AddLogo.xml",
          "<AddLogo>"
          "<Info><URL Source=\"web\">https://example.org/info</URL></Info>"
          "<Logo><URL Source=\"web\">https://example.org/one</URL><Position x=\"5\" y=\"6\"/>"
          "<Parent>WTitle</Parent><Caption>One</Caption></Logo>"
          "<Logo><URL>readme.txt</URL><Position x=\"50\" y=\"60\"/><Parent>WTitle</Parent>"
          "<Caption>Two</Caption></Logo>"
          "<Logo><URL Source=\"web\">https://example.org/x</URL><Position x=\"1\" y=\"1\"/>"
          "<Parent>WNoSuchForm</Parent></Logo>"
          "</AddLogo>");
    ui->Logos().Load();
    ASSERT_EQ(ui->Logos().Targets.size(), 4u);
    EXPECT_EQ(ui->UI().FindInterfaceObject("AddLogo0"), nullptr);
    ASSERT_NE(ui->UI().FindInterfaceObject("AddLogo1"), nullptr);
    ASSERT_NE(ui->UI().FindInterfaceObject("AddLogo2"), nullptr);
    EXPECT_EQ(ui->UI().FindInterfaceObject("AddLogo3"), nullptr);
    EXPECT_EQ(ui->UI().GetProp("AddLogo2", "Left").ToString(), "50");
    // Clicking the second label opens the third target: the file beside
    // the game.
    // Without fonts a caption has no size: give the label one to click.
    ui->UI().SetProp("AddLogo2", "AutoSize", "asNone");
    ui->UI().SetProp("AddLogo2", "Width", "80");
    ui->UI().SetProp("AddLogo2", "Height", "20");
    int32_t x = 0;
    int32_t y = 0;
    ASSERT_TRUE(ui->ControlCentre("AddLogo2", x, y));
    ui->MouseDown(mbLeft, ssLeft, x, y);
    ui->MouseUp(mbLeft, 0, x, y);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], game.ExeDir + "readme.txt");
}

TEST_F(LogoLinksTest, OnlyWebAddressesAndFilesBesideTheGameAreOpened) {
    Write("page.html", "<p/>");
    TLogoLinks& links = ui->Logos();
    EXPECT_TRUE(links.Allowed("https://example.org/a?b=c"));
    EXPECT_TRUE(links.Allowed("HTTP://example.org"));
    EXPECT_TRUE(links.Allowed(game.ExeDir + "page.html"));
    EXPECT_FALSE(links.Allowed("https://"));
    EXPECT_FALSE(links.Allowed("https://example.org/a b"));
    EXPECT_FALSE(links.Allowed("file:///etc/passwd"));
    EXPECT_FALSE(links.Allowed("/bin/sh"));
    EXPECT_FALSE(links.Allowed("javascript:alert(1)"));
    EXPECT_FALSE(links.Allowed(game.ExeDir + "../page.html"));
    EXPECT_FALSE(links.Allowed(game.ExeDir + "missing.html"));
    EXPECT_FALSE(links.Allowed(game.ExeDir));
    links.Targets = {"/usr/bin/xterm", ""};
    EXPECT_FALSE(links.Open(0));
    EXPECT_FALSE(links.Open(1));
    EXPECT_FALSE(links.Open(7));
    EXPECT_TRUE(opened.empty());
    // The title's link comes from a plain text file.
    EXPECT_FALSE(links.OpenTitleLink());
    Write("Quorvane.link", "  https://example.org/home \r\nsecond line");
    EXPECT_TRUE(links.OpenTitleLink());
    Write("Quorvane.link", "/usr/bin/xterm\n");
    EXPECT_FALSE(links.OpenTitleLink());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "https://example.org/home");
}

TEST_F(LogoLinksTest, AMalformedFileIsSkippedAndTheGameGoesOn) {
    for (const char* text : {"<AddLogo><Logo>", "", "not xml at all \x01\x02", "<AddLogo></Oops>"}) {
        Write("AddLogo.xml", text);
        EXPECT_NO_THROW(ui->Logos().Load()) << text;
        for (const std::string& target : ui->Logos().Targets) EXPECT_EQ(target, "") << text;
        EXPECT_EQ(ui->UI().FindInterfaceObject("AddLogo0"), nullptr) << text;
    }
    // A logo whose picture is missing makes no label, the next one still
    // does.
    Write("AddLogo.xml",
          "<AddLogo><Logo><Position x=\"1\" y=\"1\"/><Parent>WTitle</Parent><Picture>gone.png</Picture></Logo>"
          "<Logo><Position x=\"1\" y=\"1\"/><Parent>WTitle</Parent><Picture>../../etc/x.png</Picture></Logo>"
          "<Logo><Position x=\"1\" y=\"1\"/><Parent>WTitle</Parent><Caption>ok</Caption></Logo></AddLogo>");
    ui->Logos().Load();
    EXPECT_EQ(ui->UI().FindInterfaceObject("AddLogo0"), nullptr);
    EXPECT_EQ(ui->UI().FindInterfaceObject("AddLogo1"), nullptr);
    EXPECT_NE(ui->UI().FindInterfaceObject("AddLogo2"), nullptr);
}

}  // namespace
