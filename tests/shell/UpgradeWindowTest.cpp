// The upgrade window's arithmetic: offers drawn by weight from the levels of
// the game, the texts of the levels and the icon frames, and levels raised
// to their end still loading from a saved game.
#include "shell/UpgradeWindow.h"

#include <gtest/gtest.h>

#include <set>

#include "base/OrvParser.h"
#include "base/OrvRandom.h"
#include "game/SavedGame.h"
#include "game/Skills.h"

namespace {

TEST(UpgradeWindowTest, OffersFollowTheCurrentLevels) {
    std::array<int32_t, 9> levels{};
    levels[7] = 1;
    auto w = TUpgradeWindow::OfferWeights(levels);
    EXPECT_EQ(w[0], 100);
    EXPECT_EQ(w[4], 40);
    // At the maximum a skill is no longer offered; a new game that lowers
    // the level offers it again.
    levels[1] = 10;
    levels[7] = 4;
    w = TUpgradeWindow::OfferWeights(levels);
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[7], 0);
    levels[1] = 9;
    EXPECT_EQ(TUpgradeWindow::OfferWeights(levels)[1], 80);

    TOrvRandom random(5);
    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) {
        const auto [a, b] = TUpgradeWindow::DrawOffers(levels, random);
        ASSERT_GE(a, 0);
        ASSERT_GE(b, 0);
        EXPECT_NE(a, b);
        EXPECT_NE(a, 7);
        EXPECT_NE(b, 7);
        seen.insert(a);
    }
    EXPECT_GE(seen.size(), 6u);
}

TEST(UpgradeWindowTest, OneSkillLeftIsOfferedAloneAndNoneLeftOffersNothing) {
    std::array<int32_t, 9> levels{9, 10, 9, 9, 9, 9, 9, 4, 10};
    TOrvRandom random(1);
    EXPECT_EQ(TUpgradeWindow::DrawOffers(levels, random), std::make_pair(-1, -1));
    levels[4] = 3;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(TUpgradeWindow::DrawOffers(levels, random), std::make_pair(4, -1));
}

// Taking offers until none is left brings every skill to the end of its
// table, and a game saved there loads again (a save refusing a level the
// window can reach would lose the player's game).
TEST(UpgradeWindowTest, EverySkillRaisedToItsEndIsSavedAndLoaded) {
    std::array<int32_t, 9> levels{};
    levels[skChameleonPower] = 1;
    TOrvRandom random(11);
    for (int taken = 0; taken < 200; ++taken) {
        const int32_t offer = TUpgradeWindow::DrawOffers(levels, random).first;
        if (offer < 0) break;
        int32_t& lvl = levels[size_t(offer)];
        lvl = std::min(lvl + 1, TUpgradeWindow::Skills()[size_t(offer)].MaxLevel);
    }
    for (int32_t i = 0; i < TSkills::kCount; ++i) {
        const TSkill skill = TSkill(i);
        EXPECT_EQ(levels[size_t(i)], SkillMaxLevel(skill)) << TSkills::kNames[size_t(i)];
        // The last level still changes play, and one past it does not.
        EXPECT_NE(SkillTableValue(skill, SkillMaxLevel(skill)), SkillTableValue(skill, SkillMaxLevel(skill) - 1));
        EXPECT_EQ(SkillTableValue(skill, SkillMaxLevel(skill) + 1), SkillTableValue(skill, SkillMaxLevel(skill)));
    }
    TSavedGame saved;
    saved.Scene = "Scene1.xml";
    saved.HasSkills = true;
    saved.Skills = levels;
    TOrvParser doc;
    doc.LoadFromString(SavedGameDocument(saved)->SaveToString());
    EXPECT_EQ(ReadSavedGame(doc, "max.sav").Skills, levels);
}

TEST(UpgradeWindowTest, LevelTexts) {
    EXPECT_EQ(TUpgradeWindow::NextText(0, 0, "Level"), "+10% (Level 2)");
    EXPECT_EQ(TUpgradeWindow::CurrentText(0, 0, "Level"), "+0% (Level 1)");
    EXPECT_EQ(TUpgradeWindow::NextText(8, 2, "Level"), "+9% (Level 4)");
    // The Chameleon's power counts shots, not per cent.
    EXPECT_EQ(TUpgradeWindow::NextText(7, 1, "Stufe"), "+1 (Stufe 2)");
    EXPECT_EQ(TUpgradeWindow::CurrentText(7, 1, "Level"), "+0 (Level 1)");
}

TEST(UpgradeWindowTest, IconFramesStayInsideTheirFrame) {
    // 20 frames of 40 pixels: one frame every 70 ms, the last column of the
    // last frame is the picture's last.
    EXPECT_EQ(TUpgradeWindow::IconFrame(800, 30, 20, 0).Left, 0);
    EXPECT_EQ(TUpgradeWindow::IconFrame(800, 30, 20, 69).Left, 0);
    EXPECT_EQ(TUpgradeWindow::IconFrame(800, 30, 20, 70).Left, 40);
    const TRect last = TUpgradeWindow::IconFrame(800, 30, 20, 19 * 70);
    EXPECT_EQ(last.Left, 760);
    EXPECT_EQ(last.Right, 799);
    EXPECT_EQ(last.Bottom, 29);
    EXPECT_EQ(TUpgradeWindow::IconFrame(800, 30, 20, 20 * 70).Left, 0);
    const TRect single = TUpgradeWindow::IconFrame(64, 48, 1, 12345);
    EXPECT_EQ(single.Right, 63);
    EXPECT_EQ(single.Bottom, 47);
}

}  // namespace
