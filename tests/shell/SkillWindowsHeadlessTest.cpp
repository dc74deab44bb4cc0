// The upgrade and skills windows in the built program: a skill's hint comes
// up beside it once the mouse rests on it and goes when the mouse leaves,
// and the windows speak the language chosen before they opened.
#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <string>

#include "HeadlessRun.h"

namespace {

const std::array<const char*, 9> kEnglishSkills = {"Quick drop",       "Long pause",        "More sand glasses",
                                                   "More spiders",     "More big spiders",  "More amulets",
                                                   "Chameleon's rest", "Chameleon's power", "Economy"};

// A new game, its first level begun, its artefact completed at once (F5 in
// debug mode) at frame 300.
const std::string kToUpgrade =
    "frame 20 click WTitle_BNewGame\nframe 30 click WBetweenLevel_BNextLevel\nframe 300 key f5\n";

class SkillWindowsHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    SkillWindowsHeadlessTest() : HeadlessProgramTest("skills") {}
    void SetUp() override {
        HeadlessProgramTest::SetUp();
        if (!IsSkipped()) Options("");
    }
    // The options file: debug mode (for F5) and the extra lines.
    void Options(const std::string& extra) { Write("options.cfg", "[Options]\r\nDebugMode=429\r\n" + extra); }
    // Runs frames frames of the script; the state dump in dump_.
    int Run(int frames, const std::string& script) {
        Write("input.txt", script);
        const int code = RunProgram("--fixed-step 16 --seed 3 --frames " + std::to_string(frames) + " --input " +
                                    Path("input.txt") + " --dump-state " + Path("dump.xml"));
        dump_ = Read("dump.xml");
        return code;
    }
    std::string Shown(const std::string& control) const { return HeadlessProgramTest::Shown(dump_, control); }
    // The names of the shown controls whose names begin with prefix.
    std::vector<std::string> ShownNamed(const std::string& prefix) const {
        std::vector<std::string> names;
        const std::regex re("<Control Name=\"(" + prefix + "[^\"]*)\"");
        for (auto it = std::sregex_iterator(dump_.begin(), dump_.end(), re); it != std::sregex_iterator(); ++it)
            names.push_back((*it)[1]);
        return names;
    }
    TBox BoxOf(const std::string& control) const {
        TBox box;
        EXPECT_TRUE(Box(dump_, control, box)) << control << " is not shown";
        return box;
    }

    std::string dump_;
};

TEST_F(SkillWindowsHeadlessTest, AnOffersHintComesAfterTheMouseRestsAndGoesWhenItLeaves) {
    const std::string rest = kToUpgrade + "frame 310 mousemove WUpgrade_RBCursorSkill2\n";
    // 400 ms of rest: not yet.
    ASSERT_EQ(Run(335, rest), 0) << Read("out.txt");
    ASSERT_EQ(Attr(dump_, "TopWindow"), "WUpgrade");
    EXPECT_TRUE(ShownNamed("WUpgrade_HSkill").empty());

    // 800 ms: the hint of the skill under the mouse, its bottom right corner
    // at the offer's top right corner.
    ASSERT_EQ(Run(360, rest), 0);
    const std::vector<std::string> hints = ShownNamed("WUpgrade_HSkill");
    ASSERT_EQ(hints.size(), 1u) << dump_;
    const int skill = std::stoi(hints[0].substr(std::string("WUpgrade_HSkill").size()));
    ASSERT_GE(skill, 1);
    ASSERT_LE(skill, 9);
    EXPECT_EQ(Shown("WUpgrade_LSkill2").rfind(std::string(kEnglishSkills[size_t(skill - 1)]) + " +", 0), 0u)
        << "the hint of another skill than the offer's: " << hints[0] << " over " << Shown("WUpgrade_LSkill2");
    EXPECT_FALSE(Shown(hints[0]).empty());
    const TBox hint = BoxOf(hints[0]), button = BoxOf("WUpgrade_RBCursorSkill2");
    EXPECT_EQ(hint.Left + hint.Width, button.Left + button.Width);
    EXPECT_EQ(hint.Top + hint.Height, button.Top);

    // Away from the offer: gone.
    ASSERT_EQ(Run(380, rest + "frame 362 mousemove 5 5\n"), 0);
    EXPECT_TRUE(ShownNamed("WUpgrade_HSkill").empty());

    // Hints turned off in the options: none comes.
    Options("TurnOffHint=1\r\n");
    ASSERT_EQ(Run(360, rest), 0);
    EXPECT_TRUE(ShownNamed("WUpgrade_HSkill").empty());
}

TEST_F(SkillWindowsHeadlessTest, TheSkillsWindowExplainsTheSkillUnderTheMouse) {
    const std::string onFive = kToUpgrade + "frame 310 click WUpgrade_BSkills\nframe 320 mousemove WSkills_MSkill5\n";
    ASSERT_EQ(Run(370, onFive), 0) << Read("out.txt");
    ASSERT_EQ(Attr(dump_, "TopWindow"), "WSkills");
    EXPECT_EQ(ShownNamed("WSkills_HSkill"), std::vector<std::string>{"WSkills_HSkill5"});
    EXPECT_EQ(Shown("WSkills_HSkill5"), "More big spiders come along the belts.");
    // Above its picture, left edges in line.
    const TBox hint = BoxOf("WSkills_HSkill5"), area = BoxOf("WSkills_MSkill5");
    EXPECT_EQ(hint.Left, area.Left);
    EXPECT_EQ(hint.Top + hint.Height, area.Top);

    // On to the first skill: its hint replaces the fifth's once the mouse
    // rests again.
    ASSERT_EQ(Run(420, onFive + "frame 372 mousemove WSkills_MSkill1\n"), 0);
    EXPECT_EQ(ShownNamed("WSkills_HSkill"), std::vector<std::string>{"WSkills_HSkill1"});
    EXPECT_EQ(Shown("WSkills_HSkill1"), "The drop section empties sooner.");

    // A skill of the right-hand column: its hint, background included,
    // stays inside the window instead of running over the play panel.
    ASSERT_EQ(Run(420, onFive + "frame 372 mousemove WSkills_MSkill3\n"), 0);
    ASSERT_EQ(ShownNamed("WSkills_HSkill"), std::vector<std::string>{"WSkills_HSkill3"});
    const TBox right = BoxOf("WSkills_HSkill3"), window = BoxOf("WSkills");
    EXPECT_LE(right.Left + right.Width + 16, window.Left + window.Width);
    EXPECT_GE(right.Left - 16, window.Left);
    EXPECT_EQ(right.Top + right.Height, BoxOf("WSkills_MSkill3").Top);
}

TEST_F(SkillWindowsHeadlessTest, TheWindowsSpeakTheLanguageChosenBetweenLevels) {
    if (!CopyLanguages()) GTEST_SKIP() << "no lng/ built beside the program";
    const std::string german =
        "frame 20 click WTitle_BNewGame\nframe 40 click WBetweenLevel_BOptions\nframe 50 click WOptions_BLanguage\n"
        "frame 60 click WLanguage_RBDEU\nframe 70 click WLanguage_BOk\nframe 80 click WOptions_BOk\n"
        "frame 90 click WBetweenLevel_BNextLevel\nframe 360 key f5\n";
    ASSERT_EQ(Run(420, german + "frame 370 mousemove WUpgrade_RBCursorSkill1\n"), 0) << Read("out.txt");
    ASSERT_EQ(Attr(dump_, "Language"), "DEU");
    ASSERT_EQ(Attr(dump_, "TopWindow"), "WUpgrade");
    // The artefact's name and the offers are composed from German parts.
    EXPECT_EQ(Shown("WUpgrade_LArtefaktName"), "Sonnenscheibe");
    const std::regex offer(
        "(Schnelle Ablage|Lange Pause|Mehr Sanduhren|Mehr Spinnen|Mehr große Spinnen|Mehr Amulette|"
        "Chamäleon-Ruhe|Chamäleon-Kraft|Sparsamkeit) \\+\\d+%? \\(Stufe 2\\)");
    EXPECT_TRUE(std::regex_match(Shown("WUpgrade_LSkill1"), offer)) << Shown("WUpgrade_LSkill1");
    EXPECT_TRUE(std::regex_match(Shown("WUpgrade_LSkill2"), offer)) << Shown("WUpgrade_LSkill2");
    const std::vector<std::string> hints = ShownNamed("WUpgrade_HSkill");
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_EQ(Shown(hints[0]).find("come along the belts"), std::string::npos) << Shown(hints[0]);

    // The skills window's levels too.
    ASSERT_EQ(Run(400, german + "frame 370 click WUpgrade_BSkills\n"), 0);
    EXPECT_EQ(Shown("WSkills_LSkill1_Label"), "+0% (Stufe 1)");
    EXPECT_EQ(Shown("WSkills_LSkill8_Label"), "+0 (Stufe 1)");
}

}  // namespace
