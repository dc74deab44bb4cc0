// Saved games as data: the document round trip (scrambled and plain), the
// held piece put back on its chain, restoring a level, refusing files that
// are mangled or do not fit their scene, and a save killed half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <sys/wait.h>

#include <filesystem>

#include "PlayTestWorld.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "game/SavedGame.h"

using namespace playtest;

namespace {

class SavedGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadTables(tables);
        params.FishkaScore = {10, 20, 20, 6, 40};
        params.FishkaSize = {0, 0, 0, 0, 1};
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-saves-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    TSceneRecipe Recipe() const {
        TSceneRecipe recipe;
        recipe.Frags = {Square(0, 0), Square(1, 0), Square(2, 0), Square(3, 0)};
        recipe.Extra = "<Fish Image=\"E.png\" PosX=\"10\" PosY=\"10\"/><Fish Image=\"F.png\" PosX=\"20\" PosY=\"20\"/>";
        return recipe;
    }
    TScene MakeScene() {
        TScene scene;
        LoadScene(scene, SceneText(Recipe()), tables, random);
        return scene;
    }
    // A level in play at clock 5000 with two pieces on the belt, one placed.
    std::unique_ptr<TPlayLevel> Playing() {
        auto level = std::make_unique<TPlayLevel>(tables, params, random, events);
        level->NewGame(3);
        level->SceneInd = 2;
        level->TakeScene(MakeScene());
        level->StartLevel(0);
        level->Step(5000);
        TLenta& belt = level->Scene.Belts[0];
        belt.NextBornTime = 1'000'000'000;
        belt.BeltFishkas.clear();
        for (TGameTime age : {3000, 1500}) {
            TFishka f;
            f.FType = 1;
            f.BornTime = level->Now - age;
            belt.BeltFishkas.push_back(f);
        }
        TFishka placed;
        placed.FType = 0;
        placed.DrawUntilTime = level->Now + 700;
        level->Scene.Fishkas.push_back(placed);
        level->Scene.Layers[0].FragsBusy[1] = 0;
        level->Scene.Layers[0].FragsLevel[1] = 0;
        level->TotalScore = 120;
        level->PrevScore = 40;
        level->Skills[skChameleonPower] = 3;
        return level;
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    TShapeTables tables;
    TGameParams params;
    TOrvRandom random{3};
    TRecorder events;
    std::filesystem::path dir_;
};

TEST_F(SavedGameTest, ScrambledAndPlainFilesReadBackTheSameGame) {
    auto level = Playing();
    const TSavedGame saved = CaptureSavedGame(*level);
    EXPECT_EQ(saved.Scene, "Test.xml");
    EXPECT_EQ(saved.Mode, 3);
    ASSERT_EQ(saved.Belts.size(), 1u);
    ASSERT_EQ(saved.Belts[0].size(), 2u);
    EXPECT_EQ(saved.Belts[0][0].Age, 3000);
    EXPECT_EQ(saved.Fishkas[0].DrawLeft, 700);

    WriteSavedGameFile(saved, Path("a.sav"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Path("a.sav"), bytes));
    EXPECT_EQ(bytes.find("SaveGame"), std::string::npos) << "the file is scrambled";
    EXPECT_EQ(ReadSavedGameFile(Path("a.sav")), saved);

    // A plain file, as a player or an older tool may leave it, reads alike.
    const std::string plain = SavedGameDocument(saved)->SaveToString();
    ASSERT_TRUE(WriteFileAtomically(Path("b.sav"), plain.data(), plain.size()));
    EXPECT_EQ(ReadSavedGameFile(Path("b.sav")), saved);
}

TEST_F(SavedGameTest, RestoringResumesTimersWhereTheyStoodAndKeepsTheLevelStart) {
    auto level = Playing();
    const TSavedGame saved = CaptureSavedGame(*level);

    auto other = std::make_unique<TPlayLevel>(tables, params, random, events);
    other->Step(90000);  // a later clock: times are relative to it
    other->TakeScene(MakeScene());
    CheckSavedGameFits(saved, other->Scene, tables.ShapeCount(), "a.sav");
    other->RestoreSaved(saved, false);
    EXPECT_EQ(other->State, 1);
    EXPECT_EQ(other->TotalScore, 120u);
    EXPECT_EQ(other->PrevScore, 40u);
    EXPECT_EQ(other->SnapshotScore, 40u) << "a lost level goes back to its start";
    EXPECT_EQ(other->Mode, 3);
    EXPECT_EQ(other->Skills[skChameleonPower], 3);
    ASSERT_EQ(other->Scene.Belts[0].BeltFishkas.size(), 2u);
    EXPECT_EQ(other->Now - other->Scene.Belts[0].BeltFishkas[0].BornTime, 3000);
    EXPECT_GT(other->Scene.Belts[0].BeltFishkas[0].HalfLength, 0);
    EXPECT_EQ(other->Scene.Fishkas[0].DrawUntilTime - other->Now, 700);
    EXPECT_EQ(other->Scene.Layers[0].FragsBusy[1], 0);
    EXPECT_EQ(other->FishkaUnderCursor, -1);
    EXPECT_EQ(CaptureSavedGame(*other), saved);

    // Restarting a lost level leaves out the pieces, and with them every
    // fragment link, so nothing points past the empty list.
    auto restart = std::make_unique<TPlayLevel>(tables, params, random, events);
    restart->TakeScene(MakeScene());
    restart->RestoreSaved(saved, true);
    EXPECT_TRUE(restart->Scene.Fishkas.empty());
    EXPECT_TRUE(restart->Scene.Belts[0].BeltFishkas.empty());
    for (int32_t busy : restart->Scene.Layers[0].FragsBusy) EXPECT_EQ(busy, -1);
}

TEST_F(SavedGameTest, AHeldPieceGoesBackOnItsChainOnce) {
    auto level = Playing();
    // A second placed piece after the held one: its link must follow the
    // held piece leaving the list.
    TFishka held = level->Scene.Belts[0].BeltFishkas[1];
    held.OriginBelt = 0;
    held.X = 333;
    level->Scene.Belts[0].BeltFishkas.erase(level->Scene.Belts[0].BeltFishkas.begin() + 1);
    level->Scene.Fishkas.insert(level->Scene.Fishkas.begin(), held);
    level->Scene.Layers[0].FragsBusy[1] = 1;
    level->FishkaUnderCursor = 0;

    const TSavedGame saved = CaptureSavedGame(*level);
    ASSERT_EQ(saved.Fishkas.size(), 1u) << "the held piece is not left among the placed ones";
    EXPECT_EQ(saved.FragsBusy[1], 0) << "the placed piece's link moves down with the list";
    ASSERT_EQ(saved.Belts[0].size(), 2u);
    EXPECT_EQ(saved.Belts[0][0].Age, 3000);
    EXPECT_EQ(saved.Belts[0][1].Age, 1500) << "back at its place in the chain";
    EXPECT_EQ(saved.Belts[0][1].X, 333);
    EXPECT_NO_THROW(CheckSavedGameFits(saved, MakeScene(), tables.ShapeCount(), "h.sav"));
}

TEST_F(SavedGameTest, MangledDocumentsAreRefusedWithAReason) {
    const std::string good = SavedGameDocument(CaptureSavedGame(*Playing()))->SaveToString();
    auto refuse = [](const std::string& text) {
        TOrvParser doc;
        try {
            doc.LoadFromString(text);
            ReadSavedGame(doc, "x.sav");
        } catch (const OrvException& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    EXPECT_EQ(refuse(""), "x.savXML file does not has tags!");
    EXPECT_EQ(refuse("<Other/>"), "Wrong Save File format!");
    EXPECT_NE(refuse(replaced("Mode=\"3\"", "Mode=\"7\"")).find("Mode"), std::string::npos);
    EXPECT_NE(refuse(replaced("Current=\"0\"", "Current=\"-1\"")).find("Current"), std::string::npos);
    EXPECT_NE(refuse(replaced("Current=\"0\"", "")).find("lacks Current"), std::string::npos);
    EXPECT_NE(refuse(replaced("TotalScore=\"120\"", "TotalScore=\"99999999999999999999\"")).find("TotalScore"),
              std::string::npos);
    EXPECT_NE(refuse(replaced("BonusType=\"-1\"", "BonusType=\"0\"")).find("BonusType"), std::string::npos);
    EXPECT_NE(refuse(replaced("BonusType=\"-1\"", "BonusType=\"1x\"")).find("not a whole number"), std::string::npos);
    EXPECT_NE(refuse(replaced("<ClockPauseLevel>0", "<ClockPauseLevel>11")).find("ClockPauseLevel"), std::string::npos);
    EXPECT_NE(refuse(replaced("<EconomyLevel>", "<EconomyLevelX>")).find("EconomyLevel"), std::string::npos);
    std::string many;
    for (int i = 0; i < 300; ++i) many += " 1";
    EXPECT_NE(refuse(replaced("<FragsLevel>", "<FragsLevel>" + many)).find("255"), std::string::npos);
    EXPECT_EQ(refuse(good), "");
}

TEST_F(SavedGameTest, ASaveThatIsNotXMLIsRefusedNamingTheFile) {
    // A save cut short in the middle of its markup fails in the parser, which
    // knows no file names: the message still says which save it was.
    const std::string path = Path("cut.sav");
    TMemoryStream("<SaveGame><!-- cut short").SaveToFile(path);
    try {
        ReadSavedGameFile(path);
        ADD_FAILURE() << "a cut save was read";
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), path + ": [TOrvXMLTag.MakeTypifiedLines] Comments started, but never ended!");
    }
}

TEST_F(SavedGameTest, AFileThatDoesNotFitItsSceneIsRefused) {
    const TSavedGame good = CaptureSavedGame(*Playing());
    const TScene scene = MakeScene();
    auto refused = [&](const TSavedGame& g) {
        try {
            CheckSavedGameFits(g, scene, tables.ShapeCount(), "x.sav");
        } catch (const OrvException&) {
            return true;
        }
        return false;
    };
    EXPECT_FALSE(refused(good));
    TSavedGame g = good;
    g.Current = 1;  // the scene has one layer
    EXPECT_TRUE(refused(g));
    g = good;
    g.FragsLevel.pop_back();
    EXPECT_TRUE(refused(g));
    g = good;
    g.FragsBusy[0] = 1;  // only one placed piece
    EXPECT_TRUE(refused(g));
    g = good;
    g.Belts.emplace_back();  // one belt in the scene
    EXPECT_TRUE(refused(g));
    g = good;
    g.Belts[0][0].FType = tables.ShapeCount();
    EXPECT_TRUE(refused(g));
    g = good;
    g.Belts[0][0].ExtraFishType = 2;  // two extra fishes
    EXPECT_TRUE(refused(g));
    g = good;
    g.Fishkas[0].OnLayer = 1;
    EXPECT_TRUE(refused(g));
    g = good;
    g.ExtraFishWeights.push_back(1);
    EXPECT_TRUE(refused(g));
}

// Every truncation and many flipped bytes of a real save: a clean refusal
// or, where the damage left a whole document, one that fits its scene.
TEST_F(SavedGameTest, CorpusOfDamagedFilesNeverGetsPastTheChecks) {
    const TSavedGame good = CaptureSavedGame(*Playing());
    WriteSavedGameFile(good, Path("good.sav"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Path("good.sav"), bytes));
    const TScene scene = MakeScene();
    int refused = 0;
    auto attempt = [&](const std::string& data) {
        ASSERT_TRUE(WriteFileAtomically(Path("bad.sav"), data.data(), data.size()));
        try {
            const TSavedGame g = ReadSavedGameFile(Path("bad.sav"));
            CheckSavedGameFits(g, scene, tables.ShapeCount(), "bad.sav");
        } catch (const OrvException&) {
            ++refused;
        }
    };
    for (size_t n = 0; n < bytes.size(); n += 7) attempt(bytes.substr(0, n));
    for (size_t i = 0; i < bytes.size(); i += 5) {
        std::string flipped = bytes;
        flipped[i] = char(flipped[i] ^ 0x5A);
        attempt(flipped);
    }
    EXPECT_GT(refused, int(bytes.size() / 7));
    // A file far larger than any save is not read at all.
    attempt(std::string(5u << 20, 'a'));
}

// A save killed at any moment leaves the old file or the new one whole.
TEST_F(SavedGameTest, KillingASaveNeverLeavesHalfAFile) {
    auto level = Playing();
    TSavedGame a = CaptureSavedGame(*level);
    TSavedGame b = a;
    b.TotalScore = 999;
    for (int i = 0; i < 200; ++i) b.Fishkas.push_back(b.Fishkas[0]);
    const std::string path = Path("kill.sav");
    WriteSavedGameFile(a, path);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) WriteSavedGameFile(i % 2 ? a : b, path);
        }
        usleep(useconds_t(500 + round * 397 % 9000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const TSavedGame read = ReadSavedGameFile(path);
        EXPECT_TRUE(read == a || read == b) << "round " << round;
    }
}

}  // namespace
