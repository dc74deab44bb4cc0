// The rules of play stepped without a window: fitting, spawning, timers,
// losing, bonuses, the Chameleon and the skill tables.
#include <gtest/gtest.h>

#include <cmath>

#include "PlayTestWorld.h"

using namespace playtest;

namespace {

class PlayLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadTables(tables);
        params.AccelerationMax = 40;
        params.AccelerationStep = 4;
        params.SparkleTime = 300;
        params.SparkleMax = 100;
        params.FishkaScore = {10, 20, 20, 6, 40};
        params.FishkaSize = {0, 0, 0, 0, 1};
        params.BombRMax = params.BigBombRMax = 10;
        params.BombPMax = params.BigBombPMax = 100;
        params.BombRollTime = params.BigBombRollTime = 1000;
    }
    // Loads the scene and plays its layer: past the start animation, the
    // belt's fast start switched off so tests set ages by hand.
    void Start(const TSceneRecipe& recipe, int mode = 2) {
        level = std::make_unique<TPlayLevel>(tables, params, random, events);
        level->NewGame(mode);
        level->SceneInd = 2;  // no first-scene lessons
        TScene scene;
        LoadScene(scene, SceneText(recipe), tables, random);
        level->TakeScene(std::move(scene));
        level->StartLevel(0);
        level->Step(3000);
        ASSERT_EQ(level->State, 1);
        for (TLenta& b : level->Scene.Belts) {
            b.RushTime = 0;
            b.NextBornTime = 1'000'000'000;  // no spawning unless a test asks
        }
    }
    // Puts a piece of shape in the hand with its top-left at a scene point,
    // the mouse where the hand would be.
    TFishka& Hold(int shape, int x, int y) {
        TFishka f;
        f.FType = shape;
        level->Scene.Fishkas.push_back(f);
        level->FishkaUnderCursor = int(level->Scene.Fishkas.size()) - 1;
        const TPoint c = tables.Shape(shape).Center;
        const TPoint s = level->ToScreen(x + c.X, y + c.Y);
        level->MouseMove(s.X, s.Y);
        return *level->Held();
    }
    // A piece on belt 0 of the given age.
    TFishka& Ride(int shape, TGameTime age, int bonus = -1) {
        TFishka f;
        f.FType = shape;
        f.BonusType = bonus;
        if (bonus > 0) {
            f.BonusPicture = bonus == btReverse ? "amulet.png" : "pauk_20.png";
            f.BonusFrames = bonus == btReverse ? 40 : 20;
        }
        f.BornTime = level->Now - age;
        f.HalfLength = 200;
        auto& list = level->Scene.Belts[0].BeltFishkas;
        list.push_back(f);
        return list.back();
    }
    TLenta& Belt() { return level->Scene.Belts[0]; }
    void Advance(TGameTime ms) { level->Step(level->Now + ms); }

    TShapeTables tables;
    TGameParams params;
    TOrvRandom random{5};
    TRecorder events;
    std::unique_ptr<TPlayLevel> level;
};

TSceneRecipe Squares(std::vector<int> frags, std::vector<int> levels = {}) {
    TSceneRecipe s;
    s.Frags = std::move(frags);
    s.Levels = std::move(levels);
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// The fit test

TEST_F(PlayLevelTest, SquareSnapsFromTwentyPixelsButNotFromThirty) {
    Start(Squares({Square(0, 0)}));
    const TFitResult near = level->TestFit(Hold(0, 40 + 20, 40));
    ASSERT_TRUE(near.Fits);
    EXPECT_EQ(near.Position, (TPoint{40, 40}));
    EXPECT_EQ(near.Cells, (TIntegers{0}));
    level->RemoveHeld();
    EXPECT_FALSE(level->TestFit(Hold(0, 40 + 30, 40)).Fits);
}

TEST_F(PlayLevelTest, FitRefusesWrongKindBusyFragmentsAndMixedLevels) {
    Start(Squares({Square(0, 0), Square(1, 0)}, {1, 2}));
    EXPECT_FALSE(level->TestFit(Hold(3, 40, 40)).Fits) << "a half square never fits a square";
    level->RemoveHeld();
    EXPECT_FALSE(level->TestFit(Hold(1, 40, 40)).Fits) << "levels 1 and 2 under one piece";
    level->RemoveHeld();
    EXPECT_TRUE(level->TestFit(Hold(0, 40, 40)).Fits);
    level->Layer()->FragsBusy[0] = 7;
    EXPECT_FALSE(level->TestFit(*level->Held()).Fits) << "a fragment that carries a piece";
}

TEST_F(PlayLevelTest, TwoCellsNeverShareOneFragment) {
    // A pair held half a cell right of a lone square: each of its cells lies
    // within reach of that square's corners, but one square cannot take two
    // cells.
    Start(Squares({Square(1, 0)}));
    EXPECT_FALSE(level->TestFit(Hold(1, 40 + 20, 40)).Fits);
    level->RemoveHeld();

    // With the neighbours present it snaps onto two distinct squares, and
    // placing it lowers each level once and scores the piece once.
    Start(Squares({Square(1, 0), Square(0, 0), Square(2, 0)}));
    Hold(1, 40 + 20, 40);
    const TFitResult fit = level->TestFit(*level->Held());
    ASSERT_TRUE(fit.Fits);
    ASSERT_EQ(fit.Cells.size(), 2u);
    EXPECT_NE(fit.Cells[0], fit.Cells[1]);
    EXPECT_EQ((fit.Position.X - 40) % 40, 0);
    level->LeftClick(level->MouseX, level->MouseY);
    EXPECT_EQ(level->FishkaUnderCursor, -1);
    EXPECT_EQ(level->TotalScore, 20u);
    int placed = 0;
    for (int v : level->Layer()->FragsLevel) {
        EXPECT_GE(v, 0);
        placed += v == 0;
    }
    EXPECT_EQ(placed, 2);
}

TEST_F(PlayLevelTest, StackedFragmentSoundsInTurnAndOnlyTheLastPieceCompletes) {
    Start(Squares({Square(0, 0), Square(3, 3)}, {3, 1}));
    const char* expected[3] = {"4_put_on3.ogg", "3_put_on2.ogg", "2_put_on_main.ogg"};
    for (int i = 0; i < 3; ++i) {
        events.Sounds.clear();
        Hold(0, 40, 40);
        level->LeftClick(level->MouseX, level->MouseY);
        EXPECT_TRUE(events.Heard(expected[i])) << i;
        EXPECT_FALSE(level->Layer()->Complete);
        Advance(1600);  // the lower piece fades and leaves its fragment
    }
    Hold(0, 40 + 120, 40 + 120);
    level->LeftClick(level->MouseX, level->MouseY);
    EXPECT_TRUE(level->Layer()->Complete);
}

TEST_F(PlayLevelTest, PlacedPieceFadesAwayAndLeavesThePictureWhole) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Hold(0, 40, 40);
    level->LeftClick(level->MouseX, level->MouseY);
    ASSERT_EQ(level->Scene.Fishkas.size(), 1u);
    Advance(16);
    EXPECT_EQ(level->Scene.Fishkas[0].Trans, 255);
    Advance(1000);
    EXPECT_GT(level->Scene.Fishkas[0].Trans, 0);
    EXPECT_LT(level->Scene.Fishkas[0].Trans, 255);
    Advance(600);
    EXPECT_EQ(level->Scene.Fishkas[0].Trans, 0) << "the fragment shows the picture in full";
}

TEST_F(PlayLevelTest, NoLoseModeNeverScores) {
    Start(Squares({Square(0, 0), Square(1, 0)}), 1);
    Hold(0, 40, 40);
    level->LeftClick(level->MouseX, level->MouseY);
    EXPECT_EQ(level->PlacedPieces, 1);
    EXPECT_EQ(level->TotalScore, 0u);
}

TEST_F(PlayLevelTest, ClickingAPlacedPieceDoesNothing) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Hold(0, 40, 40);
    level->LeftClick(level->MouseX, level->MouseY);
    const size_t before = level->Scene.Fishkas.size();
    const TPoint s = level->ToScreen(60, 60);
    level->LeftClick(s.X, s.Y);
    EXPECT_EQ(level->FishkaUnderCursor, -1);
    EXPECT_EQ(level->Scene.Fishkas.size(), before);
}

// ---------------------------------------------------------------------------
// Spawning

TEST_F(PlayLevelTest, SpawnsFollowTheWeights) {
    TSceneRecipe recipe = Squares({Square(0, 0), Square(1, 0), Square(0, 1), Square(1, 1), Square(4, 4), Square(6, 6),
                                   Square(6, 4), Square(4, 6)});
    recipe.Weights =
        "<Shape Name=\"Dot\" Weight=\"3\"/><Shape Name=\"Pair_1\" Weight=\"1\"/><Shape Name=\"Block\" "
        "Weight=\"0\"/>";
    Start(recipe);
    int counts[5] = {};
    for (int i = 0; i < 4000; ++i) {
        Belt().BeltFishkas.clear();
        level->SpawnFishka(0);
        ASSERT_EQ(Belt().BeltFishkas.size(), 1u);
        ++counts[Belt().BeltFishkas[0].FType];
    }
    EXPECT_EQ(counts[4], 0);
    EXPECT_EQ(counts[2] + counts[3], 0);
    EXPECT_NEAR(counts[0] / 4000.0, 0.75, 0.03);
}

TEST_F(PlayLevelTest, LastFewFragmentsGetOnlyShapesThatFit) {
    TSceneRecipe recipe = Squares({Square(0, 0), Square(1, 0), Square(5, 5)});
    recipe.Weights = "<Shape Name=\"Block\" Weight=\"5\"/><Shape Name=\"Pair_1\" Weight=\"1\"/>";
    Start(recipe);
    level->Layer()->FragsBusy[2] = 0;
    for (int i = 0; i < 50; ++i) {
        Belt().BeltFishkas.clear();
        level->SpawnFishka(0);
        ASSERT_EQ(Belt().BeltFishkas.size(), 1u);
        EXPECT_EQ(Belt().BeltFishkas[0].FType, 1);
    }
}

TEST_F(PlayLevelTest, BonusNeverFollowsABonusAndNewPiecesQueueBehindTheChain) {
    TSceneRecipe recipe = Squares({Square(0, 0), Square(1, 0), Square(4, 4)});
    recipe.BonusFishka = "1";
    Start(recipe);
    for (int i = 0; i < 40; ++i) {
        level->Now += 100000;
        level->SpawnFishka(0);
    }
    const auto& list = Belt().BeltFishkas;
    ASSERT_EQ(list.size(), 40u);
    for (size_t i = 1; i < list.size(); ++i) {
        EXPECT_FALSE(list[i].IsBonus() && list[i - 1].IsBonus()) << i;
        EXPECT_GT(list[i].BornTime, list[i - 1].BornTime);
    }
}

TEST_F(PlayLevelTest, PieceFadesInOverItsFirstSecond) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 401);
    level->PrevFrameTime = level->Now;
    level->Step(level->Now);
    EXPECT_EQ(Belt().BeltFishkas[0].Trans, 102);
}

TEST_F(PlayLevelTest, LoneHalfSquareGetsAPieceThatFitsIt) {
    // Only squares are ever sent; the free half square would hold the layer
    // open for good without a rescue.
    Start(Squares({Square(0, 0), Half(2, 2), Square(4, 4)}));
    level->Layer()->FragsBusy[0] = 0;
    level->Layer()->FragsBusy[2] = 0;
    level->Now += 100000;
    level->SpawnFishka(0);
    ASSERT_EQ(Belt().BeltFishkas.size(), 1u);
    EXPECT_EQ(Belt().BeltFishkas[0].FType, 3);
    // One rescue piece at a time.
    level->Now += 100000;
    level->SpawnFishka(0);
    EXPECT_NE(Belt().BeltFishkas.back().FType, 3);
}

TEST_F(PlayLevelTest, ExtraFishComesBackAfterFallingOffTheEnd) {
    TSceneRecipe recipe = Squares({Square(0, 0), Square(1, 0)});
    recipe.Extra = "<Fish PosX=\"100\" PosY=\"100\" Image=\"F.png\"/>";
    recipe.ExtraMin = recipe.ExtraMax = 1;
    Start(recipe, 1);
    level->Layer()->FishesBeforeExtra = 1;
    level->Now += 100000;
    level->SpawnFishka(0);
    ASSERT_TRUE(Belt().BeltFishkas.back().IsExtraFish());
    EXPECT_EQ(level->Layer()->FishesBeforeExtra, -1) << "the only fish has come";
    Belt().BeltFishkas.back().BornTime = level->Now - Belt().PathTime - 10;
    Advance(16);
    EXPECT_TRUE(Belt().BeltFishkas.empty());
    EXPECT_EQ(level->Layer()->ExtraFishWeights[0], 1);
    EXPECT_GE(level->Layer()->FishesBeforeExtra, 1);
}

// ---------------------------------------------------------------------------
// Losing

TEST_F(PlayLevelTest, PieceAtThePathsEndLosesInNormalModeOnly) {
    Start(Squares({Square(0, 0), Square(1, 0)}), 2);
    Ride(0, Belt().PathTime + 5);
    Ride(0, 3000);
    Advance(16);
    EXPECT_EQ(level->State, 10);
    EXPECT_TRUE(level->Lost);
    EXPECT_TRUE(events.Heard("15_gameover_v1.ogg"));
    EXPECT_TRUE(Belt().BeltFishkas.empty()) << "every piece is thrown off";
    Advance(3100);
    EXPECT_EQ(level->State, 4);

    Start(Squares({Square(0, 0), Square(1, 0)}), 1);
    Ride(0, Belt().PathTime + 5);
    Advance(16);
    EXPECT_EQ(level->State, 1);
    EXPECT_FALSE(level->Lost);
    EXPECT_TRUE(Belt().BeltFishkas.empty());

    // A piece still closing a gap on that belt spares the level.
    Start(Squares({Square(0, 0), Square(1, 0)}), 2);
    Ride(0, Belt().PathTime + 5);
    Ride(0, 1000).Acceleration = 8;
    Advance(16);
    EXPECT_FALSE(level->Lost);
}

TEST_F(PlayLevelTest, ThrowOffAtThePathsEndHasADirection) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, Belt().PathTime);
    level->ThrowOff(0, 0);
    ASSERT_EQ(events.ThrowOffs, 1);
    EXPECT_TRUE(std::isfinite(events.LastDirX) && std::isfinite(events.LastDirY));
    EXPECT_NEAR(std::hypot(events.LastDirX, events.LastDirY), 1.0, 1e-6);
}

// ---------------------------------------------------------------------------
// Bonuses

TEST_F(PlayLevelTest, SmallSpiderEatsWithinTwoHundredPixelsBothWays) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    // 0.1 pixel per ms: ages 1000 ms apart are 100 pixels apart.
    for (int age = 9000; age >= 1000; age -= 1000)
        if (age == 5000)
            Ride(0, age, btBomb);
        else
            Ride(0, age);
    level->FireBonus(0, 4);
    std::vector<TGameTime> left;
    for (const TFishka& f : Belt().BeltFishkas) left.push_back(level->Now - f.BornTime);
    EXPECT_EQ(left, (std::vector<TGameTime>{9000, 8000, 7000, 3000, 2000, 1000}));
    EXPECT_TRUE(events.Heard("7_small_spider.ogg"));
}

TEST_F(PlayLevelTest, BonusIsHitWhereItIsDrawn) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 5000, btBomb);
    level->PrevFrameTime = level->Now;
    level->Step(level->Now);
    const TFishka& f = Belt().BeltFishkas[0];
    // One 40-pixel frame centred on the belt's point.
    const TPoint on = Belt().PointAt(5000);
    EXPECT_EQ((TPoint{f.CenterX, f.CenterY}), on);
    EXPECT_EQ(level->BeltFishkaAtPoint({on.X - 19, on.Y + 19}).first, 0);
    EXPECT_EQ(level->BeltFishkaAtPoint({on.X + 25, on.Y}).first, -1);
    EXPECT_EQ(level->BeltFishkaAtPoint({on.X, on.Y - 25}).first, -1);
}

TEST_F(PlayLevelTest, SandGlassAndAmuletReplaceEachOther) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 3000, btStop);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().StopUntil - level->Now, 7000);
    Ride(0, 3000, btReverse);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().StopUntil, -1) << "an amulet ends the stop";
    EXPECT_EQ(Belt().ReverseUntil - level->Now, 1300);
    Ride(0, 3000, btStop);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().ReverseUntil, -1) << "a sand glass ends the reverse";
}

TEST_F(PlayLevelTest, StopHoldsTheChainWhileItRuns) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 3000, btStop);
    Ride(0, 2000);
    level->FireBonus(0, 0);
    const TGameTime age = level->Now - Belt().BeltFishkas[0].BornTime;
    for (int i = 0; i < 50; ++i) Advance(16);
    EXPECT_EQ(level->Now - Belt().BeltFishkas[0].BornTime, age);
}

TEST_F(PlayLevelTest, TrackRunsWithTheChainAndWrapsAroundThePath) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    const TGameTime t0 = Belt().TrackTime;
    for (int i = 0; i < 655; ++i) Advance(16);  // 10480 ms on a 10000 ms path
    EXPECT_EQ(Belt().TrackTime, (t0 + 10480) % 10000);
    Belt().StopUntil = level->Now + 1000;
    const TGameTime held = Belt().TrackTime;
    for (int i = 0; i < 10; ++i) Advance(16);
    EXPECT_EQ(Belt().TrackTime, held) << "a stop holds the track";
    Belt().StopUntil = -1;
    Belt().ReverseUntil = level->Now + 1000;
    Advance(16);
    EXPECT_EQ(Belt().TrackTime, (held - 48 + 10000) % 10000) << "a reverse runs it back three times as fast";
}

// ---------------------------------------------------------------------------
// Skills and timers

TEST_F(PlayLevelTest, DurationSkillsFollowTheirTablesAndClamp) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    level->Skills[skClockPause] = 10;
    Ride(0, 3000, btStop);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().StopUntil - level->Now, 14000);
    level->Skills[skClockPause] = 99;
    Ride(0, 3000, btStop);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().StopUntil - level->Now, 14000);

    level->Skills[skRevercer] = 9;
    Ride(0, 3000, btReverse);
    level->FireBonus(0, 0);
    EXPECT_EQ(Belt().ReverseUntil - level->Now, 1950);

    level->Skills[skDropSectionRenewal] = 9;
    Hold(0, 300, 300);
    level->DropPiece();
    EXPECT_EQ(level->DropTime, 7500);
    EXPECT_EQ(events.Delayed, "renewal.ogg");
    EXPECT_EQ(events.DelayedAt, level->DropStart + 7500 - 1000);
}

TEST_F(PlayLevelTest, ProbabilitySkillsCapAtNineAndEconomyPaysItsShare) {
    TSceneRecipe recipe = Squares({Square(0, 0)});
    recipe.BonusWeights = "<BombBonusWeight>10</BombBonusWeight><StopBonusWeight>10</StopBonusWeight>";
    recipe.BonusFishka = "0.1";
    Start(recipe);
    level->Skills[skClockProbability] = 9;
    level->ComputeBonusWeights();
    const auto at9 = level->Scene.BonusWeights;
    level->Skills[skClockProbability] = 12;
    level->ComputeBonusWeights();
    EXPECT_EQ(level->Scene.BonusWeights, at9);
    EXPECT_EQ(at9[2], 150);
    EXPECT_NEAR(level->Scene.BonusProbability, 0.1 * 250 / 200, 1e-9);

    EXPECT_EQ(SkillTableValue(skEconomy, 10), 25);
    EXPECT_EQ(SkillTableValue(skChameleonPower, 7), 4);
    EXPECT_EQ(SkillTableValue(skChameleonRenewal, -3), 0);

    level->Skills[skEconomy] = 10;
    level->PrevScore = 1000;
    level->TotalScore = 1390;
    Hold(0, 40, 40);  // worth 10: 400 earned on the layer
    level->LeftClick(level->MouseX, level->MouseY);
    ASSERT_TRUE(level->Layer()->Complete);
    EXPECT_EQ(level->LayerBonus, 100);
    EXPECT_EQ(level->TotalScore, 1500u);
}

TEST_F(PlayLevelTest, DropSectionFreesAtAnyClockAndForgetsItsSound) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Hold(0, 300, 300);
    level->DropPiece();
    ASSERT_TRUE(level->DropBusy);
    level->DropStart = 0;  // a section filled when the clock stood at 0
    level->FreeDropSection();
    EXPECT_FALSE(level->DropBusy);
    EXPECT_EQ(level->DropResets, 4);
    EXPECT_LT(events.DelayedAt, 0);
    level->FreeDropSection();
    EXPECT_EQ(level->DropResets, 4) << "nothing to free";
}

TEST_F(PlayLevelTest, BeltClearsRunOutAndALayerWithoutBeltsIgnoresThem) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    for (int i = 0; i < 7; ++i) {
        Ride(0, 2000);
        level->ClearFirstBelt();
    }
    EXPECT_EQ(level->BeltClears, 0);
    EXPECT_EQ(Belt().BeltFishkas.size(), 2u);

    level->Layer()->BeltIds.clear();
    level->BeltClears = 3;
    level->ClearFirstBelt();
    EXPECT_EQ(level->BeltClears, 3);
}

// ---------------------------------------------------------------------------
// The Chameleon

TEST_F(PlayLevelTest, ChameleonShotSkipsSmallPiecesAndBonusesAndTurnsTheFirstBigOne) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 9000, btBomb);
    Ride(0, 8000);
    Ride(1, 7000);
    Ride(1, 1000);
    Belt().ChameleonShots = 1;
    Belt().ChameleonRenewTime = level->Now - 1;
    level->Skills[skChameleonRenewal] = 4;
    const TPoint c = level->ToScreen(Belt().ChameleonX + 64, Belt().ChameleonY + 64);
    level->LeftClick(c.X, c.Y);
    ASSERT_GE(Belt().ShotStart, 0);
    EXPECT_EQ(Belt().ChameleonShots, 0);
    EXPECT_EQ(Belt().ChameleonRenewTime - level->Now, 10500);
    for (int i = 0; i < 20 && Belt().ShotStart >= 0; ++i) level->UpdateShots(), level->Now += 16;
    const auto& list = Belt().BeltFishkas;
    EXPECT_EQ(list[0].FType, 0);
    EXPECT_TRUE(list[0].IsBonus());
    EXPECT_EQ(list[1].FType, 0);
    EXPECT_EQ(list[2].FType, 0) << "the first big piece from the end";
    EXPECT_EQ(list[3].FType, 1);
}

TEST_F(PlayLevelTest, ChameleonRenewsUpToItsPowerEveryFourteenSeconds) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    level->Skills[skChameleonPower] = 9;  // four icons at most
    Belt().ChameleonRenewTime = level->Now - 1;
    Advance(16);
    EXPECT_EQ(Belt().ChameleonShots, 1);
    EXPECT_EQ(Belt().ChameleonRenewTime - level->Now, 14000);
    for (int i = 0; i < 8; ++i) {
        Belt().ChameleonRenewTime = level->Now - 1;
        Advance(16);
    }
    EXPECT_EQ(Belt().ChameleonShots, 4);
}

TEST_F(PlayLevelTest, AlarmNeverSoundsInNoLoseMode) {
    Start(Squares({Square(0, 0), Square(1, 0)}), 1);
    Ride(0, Belt().PathTime - 1000);
    level->UpdateAlarm();
    EXPECT_FALSE(level->AlarmOn);
    EXPECT_FALSE(events.Heard("19_alarm.ogg"));
    Start(Squares({Square(0, 0), Square(1, 0)}), 2);
    Ride(0, Belt().PathTime - 3000);
    level->UpdateAlarm();
    EXPECT_TRUE(level->AlarmOn);
    EXPECT_TRUE(events.Heard("19_alarm.ogg"));
}

// ---------------------------------------------------------------------------
// Putting back

TEST_F(PlayLevelTest, PieceSetDownAheadOfTheChainSlidesBackToIt) {
    Start(Squares({Square(0, 0), Square(1, 0)}));
    Ride(0, 1000);
    Hold(0, 300, 300);
    // 200 pixels ahead of the head, on the path.
    const TPoint p = Belt().PointAt(3000);
    const TPoint s = level->ToScreen(p.X, p.Y);
    ASSERT_TRUE(level->PutOnChain(level->ToScene(s.X, s.Y)));
    ASSERT_EQ(Belt().BeltFishkas.size(), 2u);
    EXPECT_EQ(Belt().BeltFishkas[0].Acceleration, 100);
    Belt().NextBornTime = level->Now;  // the belt goes on sending pieces
    for (int i = 0; i < 100; ++i) Advance(16);
    ASSERT_GE(Belt().BeltFishkas.size(), 2u);
    const TFishka& a = Belt().BeltFishkas[0];
    const TFishka& b = Belt().BeltFishkas[1];
    EXPECT_EQ(a.Acceleration, 0);
    EXPECT_EQ(b.BornTime - a.BornTime, a.HalfLength + b.HalfLength + Belt().Gap);
}
