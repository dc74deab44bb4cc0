// The whole program with an interface: start-up loads the font and the
// interface file once, --form shows windows, input scripts click controls by
// name, and the state dump lists what is shown. Also with the game's own data
// when the content build has made it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/FileFolder.h"
#include "base/OrvStream.h"
#include "render/PictureCodec.h"

namespace {

std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>";
}

// A title with a button that opens a second window, a hidden label, and a
// font of solid 8 x 12 cells for the printable ASCII characters.
std::string SmallInterface(const std::string& buttonScript = "ShowModal Form=\"WSecond\";") {
    return "<OrvInterface>" + Obj("TOrvDefaults", {{"DefLine", "TOrvLabel;FontName;OrvUnicode"}}) +
           Obj("TOrvForm", {{"Name", "WTitle"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
           Obj("TOrvLabel", {{"Name", "WTitle_BGo"},
                             {"ParentName", "WTitle"},
                             {"Left", "100"},
                             {"Top", "100"},
                             {"Width", "200"},
                             {"Height", "40"},
                             {"Caption", "Go on"},
                             {"OnMouseUp", buttonScript}}) +
           Obj("TOrvLabel", {{"Name", "WTitle_LHidden"},
                             {"ParentName", "WTitle"},
                             {"Width", "20"},
                             {"Height", "20"},
                             {"Visible", "false"}}) +
           Obj("TOrvForm", {{"Name", "WSecond"},
                            {"ParentName", "Screen"},
                            {"Left", "300"},
                            {"Top", "200"},
                            {"Width", "200"},
                            {"Height", "100"}}) +
           Obj("TOrvLabel", {{"Name", "WSecond_LText"},
                             {"ParentName", "WSecond"},
                             {"Width", "200"},
                             {"Height", "20"},
                             {"Caption", "Second window"}}) +
           "</OrvInterface>";
}

class InterfaceRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("moswick-ui-") + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void MakeArchive(const std::string& interfaceText) {
        TFileFolder folder = TFileFolder::CreateNew((dir_ / "game.zxc").string());
        TMemoryStream list(std::string_view{""});
        folder.AddFile("surfaces.dat", 0, list);
        for (const char* name :
             {"BonusAmulet.xml", "BonusBombPauk.xml", "FallDownEffect.xml", "SparkleEffect.xml",
              "SparkleHintEffect.xml", "SparkleFishesEffect.xml", "Contour.xml", "GiveScoreEffect.xml"}) {
            TMemoryStream effect(std::string("<ParticleEffect Name=\"") + name +
                                 "\"><Functions/><Morphs/><Particles/><ParticleSystems/></ParticleEffect>");
            folder.AddFile(name, 0, effect);
        }
        std::string metrics;
        for (int c = 32; c < 127; ++c)
            metrics +=
                (metrics.empty() ? "" : ",") + std::to_string(c) + ":" + std::to_string((c - 32) * 8) + ":0:0:8:1";
        TMemoryStream font(
            "<Font><Name>OrvUnicode</Name><Height>12</Height><Picture>OrvUnicode.png</Picture>"
            "<Metrics>" +
            metrics + "</Metrics></Font>");
        folder.AddFile("OrvUnicode.xml", 0, font);
        TPicture glyphs = TPicture::Create(95 * 8, 12, 4, 255);
        TMemoryStream png(EncodePNG(glyphs));
        folder.AddFile("OrvUnicode.png", 0, png);
        if (!interfaceText.empty()) {
            TMemoryStream li(interfaceText);
            folder.AddFile("Moswick.li", 0, li);
        }
        folder.SaveToFile();
    }
    int Run(const std::string& args, const std::string& script = "") {
        std::string input;
        if (!script.empty()) {
            std::ofstream(dir_ / "input.txt") << script;
            input = " --input \"" + (dir_ / "input.txt").string() + "\"";
        }
        // The per-user key store (the chosen language) goes into the
        // test's folder, not the home of whoever runs the tests.
        const std::string cmd = "XDG_CONFIG_HOME=\"" + dir_.string() +
                                "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                                "/moswick\" --no-window --fixed-step 16 --data-dir \"" +
                                dir_.string() + "\" --dump-state \"" + (dir_ / "state.xml").string() + "\" " + args +
                                input + " >\"" + (dir_ / "out.txt").string() + "\" 2>&1";
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::string Read(const std::string& name) {
        std::string text;
        ReadWholeFile((dir_ / name).string(), text);
        return text;
    }
    // The log's texts without their stamps.
    std::vector<std::string> LogTexts() {
        std::vector<std::string> lines;
        std::istringstream in(Read("Moswick.log"));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t brace = line.find("} ");
            lines.push_back(brace == std::string::npos ? line : line.substr(brace + 2));
        }
        return lines;
    }
    size_t Count(const std::vector<std::string>& lines, const std::string& text) {
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
    }

    std::filesystem::path dir_;
};

TEST_F(InterfaceRunTest, StartUpLoadsFontAndInterfaceOnceAndButtonsWork) {
    MakeArchive(SmallInterface());
    // The display mode changes in between: the windows and the stack stay.
    ASSERT_EQ(Run("--frames 12", "frame 4 click WTitle_BGo\nframe 6 key enter alt\n"), 0) << Read("out.txt");
    const auto log = LogTexts();
    EXPECT_EQ(Count(log, "Orv Font Loaded Ok..."), 1u);
    EXPECT_EQ(Count(log, "Orv Interface Loaded Ok..."), 1u);
    const auto at = [&](const std::string& t) { return std::find(log.begin(), log.end(), t) - log.begin(); };
    EXPECT_LT(at("File Folders morfed Ok..."), at("Orv Font Loaded Ok..."));
    EXPECT_LT(at("Orv Font Loaded Ok..."), at("Orv Interface Loaded Ok..."));
    EXPECT_LT(at("Orv Interface Loaded Ok..."), at("Prepare for Game run..."));
    const std::string state = Read("state.xml");
    EXPECT_NE(state.find("<Form Name=\"WTitle\" />\r\n\t\t\t<Form Name=\"WSecond\" />"), std::string::npos) << state;
    EXPECT_NE(state.find(">Second window</Control>"), std::string::npos) << state;
    EXPECT_EQ(state.find("WTitle_LHidden"), std::string::npos);
}

TEST_F(InterfaceRunTest, FormOptionShowsWindowsOverTheTitle) {
    MakeArchive(SmallInterface());
    ASSERT_EQ(Run("--frames 3 --form WSecond --screenshot \"" + (dir_ / "shot.png").string() + "\""), 0);
    EXPECT_NE(Read("state.xml").find("TopWindow=\"WSecond\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "shot.png"));
    EXPECT_EQ(Run("--frames 3 --form WNowhere"), 2);
    EXPECT_NE(Read("out.txt").find("no form named \"WNowhere\""), std::string::npos);
}

TEST_F(InterfaceRunTest, ScriptsNamingHiddenOrUnknownControlsAreErrors) {
    MakeArchive(SmallInterface());
    EXPECT_EQ(Run("--frames 10", "frame 2 click WTitle_LHidden\n"), 2);
    EXPECT_NE(Read("out.txt").find("no control named \"WTitle_LHidden\""), std::string::npos) << Read("out.txt");
    EXPECT_EQ(Run("--frames 10", "frame 2 click WSecond_LText\n"), 2);
    EXPECT_EQ(Run("--frames 10", "frame 2 click WNoSuchControl\n"), 2);
}

TEST_F(InterfaceRunTest, UnknownHandlerInTheInterfaceFailsStartUp) {
    MakeArchive(SmallInterface("ExecMethod Method=\"WTitle_BNoSuchThing_MouseUp\";"));
    EXPECT_EQ(Run("--frames 5"), 1);
    bool named = false;
    for (const std::string& l : LogTexts())
        named = named || l.find("unknown method \"WTitle_BNoSuchThing_MouseUp\"") != std::string::npos;
    EXPECT_TRUE(named) << Read("Moswick.log");
}

TEST_F(InterfaceRunTest, WithoutFontOrInterfaceTheGameStillRuns) {
    MakeArchive("");
    ASSERT_EQ(Run("--frames 5"), 0);
    const auto log = LogTexts();
    EXPECT_EQ(Count(log, "Orv Interface not found: Moswick.li"), 1u);
    EXPECT_EQ(Count(log, "Game Started..."), 1u);
}

// The game's own interface: every window of the screens loads and shows at
// once over the title, and the title's buttons answer.
TEST_F(InterfaceRunTest, EveryFormOfTheGamesOwnInterface) {
    const std::filesystem::path built(MOSWICK_BUILD_DIR);
    if (!std::filesystem::exists(built / "game.zxc")) GTEST_SKIP() << "no game.zxc built beside the program";
    {
        TFileFolder folder((built / "game.zxc").string());
        if (folder.IndexOf("Moswick.li") < 0) GTEST_SKIP() << "the built archive has no interface file";
    }
    std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
    const std::vector<std::string> forms = {
        "WGame",         "WGameMenu",        "WHelp",     "WQuit",         "WExitToMainMenu", "WAbortLevel",
        "WBetweenLevel", "WLevelComplete",   "WGameOver", "WGameFinished", "WStartGame",      "WUpgrade",
        "WSkills",       "WSaveGame",        "WLoadGame", "WReplace",      "WDelete",         "WOptions",
        "WHighScores",   "WClearHighScores", "WLanguage", "WGameLoading",  "WLoadLevel",      "WResource"};
    std::string args = "--frames 4";
    for (const std::string& f : forms) args += " --form " + f;
    ASSERT_EQ(Run(args), 0) << Read("out.txt");
    const std::string state = Read("state.xml");
    EXPECT_NE(state.find("<Form Name=\"WTitle\" />"), std::string::npos);
    for (const std::string& f : forms) EXPECT_NE(state.find("<Form Name=\"" + f + "\" />"), std::string::npos) << f;
    const auto log = LogTexts();
    EXPECT_EQ(Count(log, "Orv Font Loaded Ok..."), 1u);
    EXPECT_EQ(Count(log, "Orv Interface Loaded Ok..."), 1u);
    // The title's Options button opens the options window.
    ASSERT_EQ(Run("--frames 8", "frame 3 click WTitle_BOptions\n"), 0) << Read("out.txt");
    EXPECT_NE(Read("state.xml").find("TopWindow=\"WOptions\""), std::string::npos);
}

}  // namespace
