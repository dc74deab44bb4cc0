// The real program with the game's own data: the language is chosen on the
// language window (from the title and from the options), every caption shown
// changes, and the choice is still there at the next start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/OrvStream.h"

namespace {

class LanguageRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path built(MOSWICK_BUILD_DIR);
        if (!std::filesystem::exists(built / "game.zxc") || !std::filesystem::exists(built / "lng" / "deu_2.lng"))
            GTEST_SKIP() << "no game.zxc and lng/ built beside the program";
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-langrun-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
        std::filesystem::copy(built / "lng", dir_ / "lng");
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    int Run(const std::string& frames, const std::string& script = "") {
        std::string input;
        if (!script.empty()) {
            std::ofstream(dir_ / "input.txt") << script;
            input = " --input \"" + (dir_ / "input.txt").string() + "\"";
        }
        const std::string cmd = "XDG_CONFIG_HOME=\"" + dir_.string() +
                                "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                                "/moswick\" --no-window --fixed-step 16 --data-dir \"" +
                                dir_.string() + "\" --dump-state \"" + (dir_ / "state.xml").string() + "\" --frames " +
                                frames + input + " >\"" + (dir_ / "out.txt").string() + "\" 2>&1";
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::string State() {
        std::string text;
        ReadWholeFile((dir_ / "state.xml").string(), text);
        return text;
    }
    // The opening tag of a control in the dump, empty when it is not shown.
    static std::string ControlTag(const std::string& state, const std::string& name) {
        const size_t at = state.find("<Control Name=\"" + name + "\"");
        return at == std::string::npos ? std::string() : state.substr(at, state.find('>', at) - at);
    }
    // Whether the named control is shown with exactly this caption.
    static bool Shows(const std::string& state, const std::string& name, const std::string& caption) {
        const size_t at = state.find("<Control Name=\"" + name + "\"");
        if (at == std::string::npos) return false;
        const size_t open = state.find('>', at) + 1;
        return state.compare(open, caption.size() + 10, caption + "</Control>") == 0;
    }

    std::filesystem::path dir_;
};

TEST_F(LanguageRunTest, GermanChosenOnTheTitleStaysAcrossStarts) {
    // A choice cancelled is forgotten: the window opens again on the
    // language shown.
    ASSERT_EQ(Run("14",
                  "frame 2 click WTitle_BLanguage\nframe 4 click WLanguage_RBRUS\n"
                  "frame 6 click WLanguage_BCancel\nframe 9 click WTitle_BLanguage\n"),
              0);
    std::string state = State();
    EXPECT_NE(state.find("Language=\"ENU\""), std::string::npos);
    EXPECT_NE(state.find("TopWindow=\"WLanguage\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WTitle_BNewGame", "New game")) << state;
    EXPECT_NE(ControlTag(state, "WLanguage_RBENU").find("Checked=\"true\""), std::string::npos) << state;
    EXPECT_NE(ControlTag(state, "WLanguage_RBRUS").find("Checked=\"false\""), std::string::npos);

    // Chosen on the title, German stays when the options are cancelled.
    ASSERT_EQ(Run("18",
                  "frame 3 click WTitle_BLanguage\nframe 6 click WLanguage_RBDEU\n"
                  "frame 9 click WLanguage_BOk\nframe 11 click WTitle_BOptions\nframe 13 click WOptions_BCancel\n"),
              0);
    state = State();
    EXPECT_NE(state.find("Language=\"DEU\""), std::string::npos) << state;
    EXPECT_NE(state.find("TopWindow=\"WTitle\""), std::string::npos);
    for (const char* german : {"Neues Spiel", "Spiel laden", "Optionen", "Bestenliste", "Sprache", "Beenden"})
        EXPECT_NE(state.find(std::string(">") + german + "</Control>"), std::string::npos) << german;
    EXPECT_EQ(state.find(">New game</Control>"), std::string::npos);

    // The next start speaks German at once, in every window.
    ASSERT_EQ(Run("6", "frame 2 click WTitle_BOptions\n"), 0);
    state = State();
    EXPECT_NE(state.find("Language=\"DEU\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WOptions_CBFullScreen", "Vollbild")) << state;
    EXPECT_TRUE(Shows(state, "WOptions_BLanguage", "Sprache"));
}

TEST_F(LanguageRunTest, RussianFromTheOptionsWindowKeptByOkUndoneByCancel) {
    ASSERT_EQ(Run("20",
                  "frame 3 click WTitle_BOptions\nframe 6 click WOptions_BLanguage\n"
                  "frame 9 click WLanguage_RBRUS\nframe 12 click WLanguage_BOk\n"),
              0);
    std::string state = State();
    EXPECT_NE(state.find("Language=\"RUS\""), std::string::npos);
    EXPECT_NE(state.find("TopWindow=\"WOptions\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WOptions_LTitle", "Настройки")) << state;
    EXPECT_TRUE(Shows(state, "WTitle_BNewGame", "Новая игра"));

    // A language chosen from the options is undone by their Cancel.
    ASSERT_EQ(Run("20",
                  "frame 3 click WTitle_BOptions\nframe 6 click WOptions_BLanguage\n"
                  "frame 9 click WLanguage_RBENU\nframe 12 click WLanguage_BOk\nframe 15 click WOptions_BCancel\n"),
              0);
    state = State();
    EXPECT_NE(state.find("Language=\"RUS\""), std::string::npos);
    EXPECT_NE(state.find("TopWindow=\"WTitle\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WTitle_BNewGame", "Новая игра"));

    ASSERT_EQ(Run("14",
                  "frame 3 click WTitle_BLanguage\nframe 6 click WLanguage_RBENU\n"
                  "frame 9 click WLanguage_BOk\n"),
              0);
    state = State();
    EXPECT_NE(state.find("Language=\"ENU\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WTitle_BNewGame", "New game"));
}

TEST_F(LanguageRunTest, TheBetweenLevelsCaptionIsComposedAgainInTheNewLanguage) {
    // The language files carry a plain "Level 1.1" for the caption; the
    // window composes it from the play panel's word for level instead.
    const std::string toLanguage =
        "frame 20 click WTitle_BNewGame\nframe 40 click WBetweenLevel_BOptions\n"
        "frame 50 click WOptions_BLanguage\nframe 60 click WLanguage_RB";
    ASSERT_EQ(Run("100", toLanguage + "DEU\nframe 70 click WLanguage_BOk\nframe 80 click WOptions_BOk\n"), 0);
    std::string state = State();
    EXPECT_NE(state.find("Language=\"DEU\""), std::string::npos);
    EXPECT_NE(state.find("TopWindow=\"WBetweenLevel\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WBetweenLevel_LCaption", "LEVEL 1.1")) << ControlTag(state, "WBetweenLevel_LCaption");
    EXPECT_TRUE(Shows(state, "WBetweenLevel_BNextLevel", "Spielen"));

    ASSERT_EQ(Run("100", toLanguage + "RUS\nframe 70 click WLanguage_BOk\nframe 80 click WOptions_BOk\n"), 0);
    state = State();
    EXPECT_NE(state.find("Language=\"RUS\""), std::string::npos);
    EXPECT_TRUE(Shows(state, "WBetweenLevel_LCaption", "УРОВЕНЬ 1.1"));
}

}  // namespace
