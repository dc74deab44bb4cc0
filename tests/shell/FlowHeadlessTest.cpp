// The built program from the title through the level flow, headless with a
// fixed clock: a new game, the between-levels window, the in-game menu, a
// completed layer with its upgrade, a lost level restarted, the end of the
// game with its high-score entry, and the bot playing a whole game.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "HeadlessRun.h"
#include "base/SFunctions.h"

namespace {

using moswick_test::kSlowBuild;

class FlowHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    FlowHeadlessTest() : HeadlessProgramTest("flow") {}
    // Runs the program with an input script (empty: none), its state dumped
    // to dump.xml and kept in dump_; its exit code.
    int Run(const std::string& args, const std::string& script = "") {
        std::string all = "--fixed-step 16 --seed 3 --dump-state " + Path("dump.xml") + " " + args;
        if (!script.empty()) {
            Write("input.txt", script);
            all += " --input " + Path("input.txt");
        }
        const int code = RunProgram(all);
        dump_ = Read("dump.xml");
        return code;
    }
    std::string Attr(const std::string& name) const { return HeadlessProgramTest::Attr(dump_, name); }
    // The text of a shown control, or "(hidden)".
    std::string Shown(const std::string& control) const { return HeadlessProgramTest::Shown(dump_, control); }
    std::string Top() const { return Attr("TopWindow"); }
    int Skill(const std::string& name) const {
        std::smatch m;
        if (std::regex_search(dump_, m, std::regex("<" + name + ">([0-9]+)</" + name + ">"))) return std::stoi(m[1]);
        return -1;
    }
    void DebugMode() { Write("options.cfg", "[Options]\r\nDebugMode=429\r\n"); }

    std::string dump_;
};

TEST_F(FlowHeadlessTest, NewGameLeadsThroughTheBetweenLevelsWindowIntoLevelOne) {
    ASSERT_EQ(Run("--frames 40", "frame 20 click WTitle_BNewGame\n"), 0) << Read("out.txt");
    EXPECT_EQ(Top(), "WBetweenLevel");
    EXPECT_EQ(Attr("GameState"), "3");
    EXPECT_NE(Shown("WBetweenLevel_TNewGame_RNormal"), "(hidden)");
    EXPECT_NE(Shown("WBetweenLevel_BNextLevel"), "(hidden)");
    EXPECT_NE(Shown("WBetweenLevel_TChapter1.1_LText"), "(hidden)");
    EXPECT_EQ(Shown("WBetweenLevel_LPercent"), "(hidden)");
    EXPECT_EQ(Attr("Mode"), "2");

    ASSERT_EQ(Run("--frames 300", "frame 20 click WTitle_BNewGame\nframe 40 click WBetweenLevel_BNextLevel\n"), 0);
    EXPECT_EQ(Top(), "WGame");
    EXPECT_EQ(Attr("GameState"), "1");
    EXPECT_EQ(Shown("WGame_LLevelCount"), "1.1");
    EXPECT_EQ(Attr("CurrentLayer"), "0");
}

TEST_F(FlowHeadlessTest, TheNewGameButtonGlintsUntilAGameWasStartedOnce) {
    ASSERT_EQ(Run("--frames 20"), 0) << Read("out.txt");
    EXPECT_EQ(Attr("ClickHere"), "true");
    // Pressing it ends the glints, and later starts remember the game begun.
    ASSERT_EQ(Run("--frames 40", "frame 20 click WTitle_BNewGame\n"), 0);
    EXPECT_EQ(Attr("ClickHere"), "false");
    ASSERT_EQ(Run("--frames 20"), 0);
    EXPECT_EQ(Top(), "WTitle");
    EXPECT_EQ(Attr("ClickHere"), "false");
}

TEST_F(FlowHeadlessTest, HardModeShowsTheEconomyAtOnce) {
    ASSERT_EQ(Run("--frames 40", "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_TNewGame_RHard\n"), 0);
    EXPECT_EQ(Attr("Mode"), "3");
    EXPECT_EQ(Skill("EconomyLevel"), 2);
    EXPECT_NE(Shown("WBetweenLevel_LPercent").find("(7%)"), std::string::npos) << Shown("WBetweenLevel_LPercent");
    EXPECT_EQ(Shown("WBetweenLevel_LEconomyLevel"), "Level 3");
    // Back to normal hides them again.
    ASSERT_EQ(Run("--frames 50",
                  "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_TNewGame_RHard\n"
                  "frame 40 click WBetweenLevel_TNewGame_RNormal\n"),
              0);
    EXPECT_EQ(Attr("Mode"), "2");
    EXPECT_EQ(Shown("WBetweenLevel_LPercent"), "(hidden)");
}

TEST_F(FlowHeadlessTest, EscapeOpensAndClosesTheMenuAndFreezesGameTime) {
    const std::string start = "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\n";
    ASSERT_EQ(Run("--frames 400", start + "frame 300 key escape\n"), 0);
    EXPECT_EQ(Top(), "WGameMenu");
    EXPECT_EQ(Attr("GameState"), "4");
    const std::string frozen = Attr("GameTime");
    ASSERT_EQ(Run("--frames 600", start + "frame 300 key escape\n"), 0);
    EXPECT_EQ(Attr("GameTime"), frozen);
    ASSERT_EQ(Run("--frames 600", start + "frame 300 key escape\nframe 500 key escape\n"), 0);
    EXPECT_EQ(Top(), "WGame");
    EXPECT_EQ(Attr("GameState"), "1");
    EXPECT_NE(Attr("GameTime"), frozen);
    // The menu's way back to the title stops the game.
    ASSERT_EQ(Run("--frames 400", start + "frame 300 key escape\nframe 320 click WGameMenu_BMainMenu\n"
                                          "frame 340 click WExitToMainMenu_BOk\n"),
              0);
    EXPECT_EQ(Top(), "WTitle");
    EXPECT_EQ(Attr("GameState"), "5");
    EXPECT_EQ(Attr("Layers"), "0");
}

TEST_F(FlowHeadlessTest, ACompletedLayerPaysTheQuestBonusAndRaisesTheChosenSkill) {
    DebugMode();
    // F5 opens the artefact's window, space completes the layer at once.
    const std::string start =
        "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\nframe 300 key f5\n";
    ASSERT_EQ(Run("--frames 330", start), 0) << Read("out.txt");
    EXPECT_EQ(Top(), "WUpgrade");
    EXPECT_EQ(Attr("GameState"), "4");
    EXPECT_EQ(Shown("WUpgrade_LQuestScore"), "+" + std::to_string(100 * 3)) << "three extra fishes on layer 1.1?";
    const std::string skill1 = Shown("WUpgrade_LSkill1");
    EXPECT_NE(skill1, "(hidden)");
    EXPECT_NE(skill1, Shown("WUpgrade_LSkill2"));

    ASSERT_EQ(Run("--frames 700", start + "frame 320 click WUpgrade_RBCursorSkill2\nframe 330 click WUpgrade_BOk\n"
                                          "frame 400 key space\n"),
              0);
    EXPECT_EQ(Top(), "WLevelComplete");
    int raised = 0;
    for (const char* s :
         {"DropSectionRenewalLevel", "ClockPauseLevel", "ClockProbabilityLevel", "SpiderProbabilityLevel",
          "BigSpiderProbabilityLevel", "RevercerLevel", "ChameleonRenewalLevel", "EconomyLevel"})
        raised += Skill(s);
    raised += Skill("ChameleonPowerLevel") - 1;
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(Attr("LayerComplete"), "true");

    ASSERT_EQ(
        Run("--frames 1000", start + "frame 320 click WUpgrade_BOk\nframe 400 key space\n"
                                     "frame 700 click WLevelComplete_BOk\nframe 720 click WBetweenLevel_BNextLevel\n"),
        0);
    // The view scrolls to the second layer, which then starts.
    EXPECT_EQ(Attr("CurrentLayer"), "1");
    EXPECT_EQ(Shown("WGame_LLevelCount"), "1.2");
}

TEST_F(FlowHeadlessTest, NoLoseModePaysNoQuestBonus) {
    DebugMode();
    ASSERT_EQ(Run("--frames 330",
                  "frame 20 click WTitle_BNewGame\nframe 25 click WBetweenLevel_TNewGame_RNoLose\n"
                  "frame 30 click WBetweenLevel_BNextLevel\nframe 300 key f5\n"),
              0);
    EXPECT_EQ(Top(), "WUpgrade");
    EXPECT_EQ(Shown("WUpgrade_LQuestScore"), "+0");
    EXPECT_EQ(Attr("TotalScore"), "0");
}

TEST_F(FlowHeadlessTest, AGivenUpLevelRestartsWithTheScoreAndSkillsOfItsStart) {
    DebugMode();
    // Layer 1.1 won with an upgrade, then layer 1.2 begun, upgraded and
    // given up: it starts again with what the player had at its start.
    const std::string script =
        "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\nframe 300 key f5\n"
        "frame 320 click WUpgrade_BOk\nframe 400 key space\nframe 700 click WLevelComplete_BOk\n"
        "frame 720 click WBetweenLevel_BNextLevel\n";
    ASSERT_EQ(Run("--frames 1200", script), 0);
    ASSERT_EQ(Attr("CurrentLayer"), "1");
    const std::string score = Attr("TotalScore");
    const std::string skills = dump_.substr(dump_.find("<Skills>"), dump_.find("</Skills>") - dump_.find("<Skills>"));
    ASSERT_EQ(Run("--frames 1400", script + "frame 1100 key f5\nframe 1120 click WUpgrade_BOk\n"
                                            "frame 1200 key escape\nframe 1220 click WGameMenu_BRestart\n"
                                            "frame 1240 click WAbortLevel_BOk\n"),
              0);
    EXPECT_EQ(Top(), "WBetweenLevel");
    EXPECT_EQ(Attr("GameState"), "3");
    EXPECT_EQ(Attr("CurrentLayer"), "1");
    EXPECT_EQ(Attr("TotalScore"), score);
    EXPECT_EQ(dump_.substr(dump_.find("<Skills>"), dump_.find("</Skills>") - dump_.find("<Skills>")), skills);
    EXPECT_EQ(Attr("LayerComplete"), "false");
    // It came back from the file its start was saved to, with empty belts.
    EXPECT_TRUE(std::filesystem::exists(dir_ / "saves" / "autosave.dat"));
    EXPECT_EQ(Read("Moswick.log").find("restarts from memory"), std::string::npos) << Read("Moswick.log");
    EXPECT_EQ(dump_.find("<Fishka "), std::string::npos);
    // The first layer of a scene restarts the same way.
    ASSERT_EQ(Run("--frames 400",
                  "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\n"
                  "frame 300 key escape\nframe 320 click WGameMenu_BRestart\n"
                  "frame 340 click WAbortLevel_BOk\nframe 360 click WBetweenLevel_BNextLevel\n"),
              0);
    EXPECT_EQ(Attr("CurrentLayer"), "0");
    EXPECT_EQ(Attr("TotalScore"), "0");
    EXPECT_EQ(Top(), "WGame");
}

TEST_F(FlowHeadlessTest, AnUnwritableRestartFileFallsBackToTheLevelsStartInMemory) {
    // A folder where the file belongs: it can be neither written nor read.
    std::filesystem::create_directories(dir_ / "saves" / "autosave.dat");
    ASSERT_EQ(Run("--frames 400",
                  "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\n"
                  "frame 300 key escape\nframe 320 click WGameMenu_BRestart\n"
                  "frame 340 click WAbortLevel_BOk\n"),
              0);
    const std::string log = Read("Moswick.log");
    EXPECT_NE(log.find("The start of the level could not be saved"), std::string::npos) << log;
    EXPECT_NE(log.find("The lost level restarts from memory"), std::string::npos) << log;
    EXPECT_EQ(Top(), "WBetweenLevel");
    EXPECT_EQ(Attr("CurrentLayer"), "0");
    EXPECT_EQ(Attr("TotalScore"), "0");
    EXPECT_EQ(dump_.find("<Fishka "), std::string::npos);
}

TEST_F(FlowHeadlessTest, TheLastLayerLeadsToTheHighScoresNotOutOfTheGame) {
    DebugMode();
    // A game begun on the last scene's last layer: completing it shows the
    // end of the game, whose name goes into the table.
    const std::string script =
        "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\nframe 300 key space\n"
        "frame 600 click WLevelComplete_BOk\n";
    ASSERT_EQ(Run("--new-game-scene 10 --layer 6 --frames 620", script), 0) << Read("out.txt");
    EXPECT_EQ(Top(), "WBetweenLevel");
    EXPECT_NE(Shown("WBetweenLevel_BOK"), "(hidden)");
    EXPECT_NE(Shown("WBetweenLevel_TChapter10.8_LYourScoreCount"), "(hidden)");
    EXPECT_EQ(Shown("WBetweenLevel_TChapter10.8_LYourScoreCount"), Attr("TotalScore"));
    ASSERT_EQ(
        Run("--new-game-scene 10 --layer 6 --frames 700",
            script + "frame 620 click WBetweenLevel_EName\nframe 621 key a ctrl\nframe 622 text \"  Zoe <the> b \"\n"
                     "frame 630 click WBetweenLevel_BOK\n"),
        0);
    EXPECT_EQ(Top(), "WHighScores");
    EXPECT_EQ(Attr("GameState"), "5");
    EXPECT_NE(dump_.find("<Row>1 | Zoe the b | "), std::string::npos) << dump_;
    EXPECT_NE(RotateTextDown(Read("HighScores.dat")).find("<High name=\"Zoe the b\""), std::string::npos);
}

TEST_F(FlowHeadlessTest, TheBotPlaysAWholeGameAndQuitsFromTheTitle) {
    // The sanitizer build plays only the last scene's last layer; a frame
    // limit far beyond a won game stops a bot that could not win.
    const std::string from = kSlowBuild ? "--new-game-scene 10 --layer 6 " : "";
    ASSERT_EQ(Run("--autoplay --seed 1 --frames 3000000 " + from), 0) << Read("out.txt");
    EXPECT_EQ(Attr("GameState"), "5");
    EXPECT_NE(RotateTextDown(Read("HighScores.dat")).find("<High name=\"Autoplay\""), std::string::npos);
}

}  // namespace
