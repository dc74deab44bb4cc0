// The bot's judgement: where a piece goes so that the layer stays easy to
// finish, and how long a chain has before its front reaches the end.
#include <gtest/gtest.h>

#include <algorithm>

#include "PlayTestWorld.h"
#include "game/AutoPlayer.h"
#include "game/BotPlanner.h"

using namespace playtest;

namespace {

class BotPlannerTest : public ::testing::Test {
protected:
    void SetUp() override { LoadTables(tables); }
    void Start(std::vector<int> frags, const std::string& weights) {
        TSceneRecipe recipe;
        recipe.Frags = std::move(frags);
        recipe.Weights = weights;
        level = std::make_unique<TPlayLevel>(tables, params, random, events);
        level->NewGame(2);
        level->SceneInd = 2;
        TScene scene;
        LoadScene(scene, SceneText(recipe), tables, random);
        level->TakeScene(std::move(scene));
        level->StartLevel(0);
        level->Step(3000);
        planner = std::make_unique<TBotPlanner>(tables);
        planner->Update(*level);
    }
    // Covers the fragments (indexes in Frags) as a placed piece would.
    void Fill(std::initializer_list<int> cells) {
        for (int k : cells) {
            level->Layer()->FragsBusy[size_t(k)] = 0;
            level->Layer()->FragsLevel[size_t(k)] = 0;
        }
        planner->Update(*level);
    }
    static TIntegers Sorted(TIntegers v) {
        std::sort(v.begin(), v.end());
        return v;
    }

    TShapeTables tables;
    TGameParams params;
    TOrvRandom random{3};
    TRecorder events;
    std::unique_ptr<TPlayLevel> level;
    std::unique_ptr<TBotPlanner> planner;
};

const std::string kPairsOnly = "<Shape Name=\"Pair_1\" Weight=\"1\"/>";

}  // namespace

TEST_F(BotPlannerTest, PairGoesToAnEndOfARowNeverItsMiddle) {
    // Two pairs fill a row of four; a pair in the middle would leave two
    // single squares that only the rare single piece can fill.
    Start({Square(0, 0), Square(1, 0), Square(2, 0), Square(3, 0)}, kPairsOnly);
    const auto best = planner->Best(1);
    ASSERT_TRUE(best.has_value());
    const TIntegers cells = Sorted(best->Cells);
    EXPECT_TRUE(cells == (TIntegers{0, 1}) || cells == (TIntegers{2, 3})) << cells[0] << "," << cells[1];
    // Either turn of the pair asks the same question.
    EXPECT_EQ(Sorted(planner->Best(2)->Cells), cells);
}

TEST_F(BotPlannerTest, PlacementKeepsTheRestCoverable) {
    // An L of four squares: the pair across its corner would cut off both
    // arms; the planner puts it where the rest still takes a pair.
    Start({Square(0, 0), Square(1, 0), Square(2, 0), Square(2, 1)}, kPairsOnly);
    const auto best = planner->Best(1);
    ASSERT_TRUE(best.has_value());
    EXPECT_NE(Sorted(best->Cells), (TIntegers{1, 2}));
    for (int k : best->Cells) Fill({k});
    for (int k = 0; k < 4; ++k) {
        if (std::find(best->Cells.begin(), best->Cells.end(), k) != best->Cells.end()) continue;
        EXPECT_GT(planner->Cover(k), 0.5) << k;
    }
    EXPECT_EQ(planner->OpenFragments(), 2);
}

TEST_F(BotPlannerTest, SnugPlacementBeatsAnOpenOne) {
    // A three by three field with its left column filled: the next pair goes
    // into a corner against the filled column and the field's edge, never
    // across the open middle square. Fragment index = 3 * column + row.
    std::vector<int> frags;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) frags.push_back(Square(c, r));
    Start(frags, kPairsOnly);
    Fill({0, 1, 2});
    const auto best = planner->Best(1);
    ASSERT_TRUE(best.has_value());
    const TIntegers cells = Sorted(best->Cells);
    EXPECT_TRUE(cells == (TIntegers{3, 6}) || cells == (TIntegers{5, 8})) << cells[0] << "," << cells[1];
}

TEST_F(BotPlannerTest, FragmentNoPieceCoversIsCountedAsStranded) {
    // A lone half square with no half square piece among the weights can
    // only wait for the game's rescue piece.
    Start({Square(0, 0), Half(2, 0)}, kPairsOnly + "<Shape Name=\"Dot\" Weight=\"1\"/>");
    EXPECT_EQ(planner->Stranded(), 1);
    EXPECT_FALSE(planner->Fits(1)) << "a pair has no two squares side by side";
    EXPECT_TRUE(planner->Fits(0));
    EXPECT_TRUE(planner->Fits(3)) << "the wedge itself fits, though the belts never send it";
    Start({Square(0, 0), Half(2, 0)}, "<Shape Name=\"Wedge\" Weight=\"1\"/>");
    EXPECT_EQ(planner->Stranded(), 0);
    EXPECT_GT(planner->Cover(1), 0.9);
}

TEST_F(BotPlannerTest, TurnsTakeTheShorterWayRound) {
    Start({Square(0, 0)}, kPairsOnly);
    EXPECT_EQ(planner->TurnsBetween(1, 2), 1);
    EXPECT_EQ(planner->TurnsBetween(2, 2), 0);
    EXPECT_EQ(planner->TurnsBetween(1, 4), 0) << "a pair never turns into a block";
    EXPECT_EQ(planner->CycleOf(1), planner->CycleOf(2));
}

TEST_F(BotPlannerTest, TimeLeftCountsTheGapsTheChainIsClosing) {
    Start({Square(0, 0)}, kPairsOnly);
    TLenta& b = level->Scene.Belts[0];
    const TGameTime now = level->Now;
    b.RushUntil = b.StopUntil = b.ReverseUntil = -1;
    EXPECT_EQ(TAutoPlayer::TimeLeft(*level, b), b.PathTime) << "an empty belt";
    TFishka front;
    front.HalfLength = 100;
    front.BornTime = now - 6000;
    TFishka back = front;
    back.BornTime = now - 1000;
    b.BeltFishkas = {front, back};
    // Once the gap is closed the front stands one touch ahead of the back
    // piece: 1000 + 50 + 100 + 100 ms along.
    EXPECT_EQ(TAutoPlayer::TimeLeft(*level, b), b.PathTime - 1250);
    // Touching pieces keep their place.
    b.BeltFishkas[0].BornTime = now - 1250;
    EXPECT_EQ(TAutoPlayer::TimeLeft(*level, b), b.PathTime - 1250);
    // A running stop gives its remaining time, a reverse four times its own.
    b.StopUntil = now + 2000;
    EXPECT_EQ(TAutoPlayer::TimeLeft(*level, b), b.PathTime - 1250 + 2000);
    b.StopUntil = -1;
    b.ReverseUntil = now + 500;
    EXPECT_EQ(TAutoPlayer::TimeLeft(*level, b), b.PathTime - 1250 + 2000);
}
