// The built program saving and loading headless: a quick save in play, the
// program ended and started again with --load, and the same game goes on;
// names and files the load window would refuse are refused the same way.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "HeadlessRun.h"
#include "base/OrvParser.h"
#include "game/SavedGame.h"

namespace {

// The sanitizer build runs the program ten times slower: there only the
// round trip and the refusals run, the rest in the normal build.
using moswick_test::kSlowBuild;

class SaveHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    SaveHeadlessTest() : HeadlessProgramTest("save") {}
    int Run(const std::string& args) { return RunProgram("--fixed-step 16 --seed 3 " + args); }
};

TEST_F(SaveHeadlessTest, QuickSaveQuitStartLoadAndTheSameGameGoesOn) {
    ASSERT_EQ(Run("--start-scene 1 --frames 3 --dump-state " + Path("first.xml")), 0);
    int x = 0, y = 0;
    ASSERT_TRUE(Centre(Read("first.xml"), "WGame_BQuickSave", x, y)) << Read("first.xml");
    const std::string click = "frame 399 click left " + std::to_string(x) + " " + std::to_string(y) + "\n";
    Write("save.txt", click);
    ASSERT_EQ(Run("--start-scene 1 --frames 401 --input " + Path("save.txt") + " --dump-state " + Path("saved.xml")),
              0);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "saves" / "QuickSave.sav")) << Read("Moswick.log");
    const TSavedGame before = ReadSavedGameFile((dir_ / "saves" / "QuickSave.sav").string());
    size_t riding = 0;
    for (const auto& belt : before.Belts) riding += belt.size();
    EXPECT_GT(riding, 0u) << "the save was made in play, with pieces on the belts";

    // A new start loads it and saves again at once: the same game, every
    // time moved on by the same few frames.
    std::filesystem::rename(dir_ / "saves" / "QuickSave.sav", dir_ / "saves" / "First.sav");
    Write("again.txt", "frame 2 click left " + std::to_string(x) + " " + std::to_string(y) + "\n");
    ASSERT_EQ(Run("--load First --frames 4 --input " + Path("again.txt") + " --dump-state " + Path("loaded.xml")), 0);
    const std::string loaded = Read("loaded.xml");
    EXPECT_EQ(Attr(loaded, "GameState"), "1") << Read("Moswick.log");
    EXPECT_EQ(Attr(loaded, "TotalScore"), std::to_string(before.TotalScore));
    EXPECT_EQ(Attr(loaded, "CurrentLayer"), std::to_string(before.Current));
    ASSERT_TRUE(std::filesystem::exists(dir_ / "saves" / "QuickSave.sav"));
    TSavedGame after = ReadSavedGameFile((dir_ / "saves" / "QuickSave.sav").string());
    ASSERT_EQ(after.Belts.size(), before.Belts.size());
    ASSERT_FALSE(before.Belts[0].empty());
    const int64_t delta = after.Belts[0][0].Age - before.Belts[0][0].Age;
    EXPECT_GE(delta, -100);
    EXPECT_LE(delta, 100);
    auto shift = [delta](std::vector<TSavedFishka>& list) {
        for (TSavedFishka& f : list) {
            f.Age -= delta;
            f.DrawLeft += delta;
        }
    };
    shift(after.Fishkas);
    for (auto& belt : after.Belts) shift(belt);
    // Pieces ride on between the two saves; compare what does not move.
    for (size_t b = 0; b < after.Belts.size(); ++b) {
        ASSERT_EQ(after.Belts[b].size(), before.Belts[b].size()) << "belt " << b;
        for (size_t i = 0; i < after.Belts[b].size(); ++i) {
            after.Belts[b][i].X = before.Belts[b][i].X;
            after.Belts[b][i].Y = before.Belts[b][i].Y;
            after.Belts[b][i].Trans = before.Belts[b][i].Trans;
            after.Belts[b][i].Acceleration = before.Belts[b][i].Acceleration;
            // Riding pieces have no timed drawing; the chain may have stood
            // for a frame or two, so only the order and ages are compared.
            after.Belts[b][i].DrawLeft = before.Belts[b][i].DrawLeft;
        }
    }
    EXPECT_EQ(SavedGameDocument(after)->SaveToString(), SavedGameDocument(before)->SaveToString());
}

// A completed layer saves the game by itself, already complete, so loading
// that save leads between the levels rather than back into play.
TEST_F(SaveHeadlessTest, AutoSaveAfterALayerLoadsBetweenLevels) {
    if (kSlowBuild) GTEST_SKIP() << "too slow under the sanitizers";
    Write("options.cfg", "[Options]\nDebugMode=429\n");
    Write("complete.txt", "frame 250 key space\n");
    ASSERT_EQ(Run("--start-scene 1 --frames 260 --input " + Path("complete.txt")), 0);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "saves" / "AutoSave.sav")) << Read("Moswick.log");
    const TSavedGame saved = ReadSavedGameFile((dir_ / "saves" / "AutoSave.sav").string());
    EXPECT_TRUE(saved.Complete);
    EXPECT_EQ(saved.Current, 0);
    ASSERT_EQ(Run("--load AutoSave --frames 3 --dump-state " + Path("dump.xml")), 0);
    const std::string dump = Read("dump.xml");
    EXPECT_EQ(Attr(dump, "GameState"), "3") << Read("Moswick.log");
    EXPECT_EQ(Attr(dump, "TopWindow"), "WBetweenLevel");
    EXPECT_EQ(Attr(dump, "LayerComplete"), "true");
}

// Full screen from the options window, back with the play screen's button;
// a volume moved and cancelled is not stored.
TEST_F(SaveHeadlessTest, DisplayModeFromTheOptionsWindowAndThePlayScreen) {
    if (kSlowBuild) GTEST_SKIP() << "too slow under the sanitizers";
    ASSERT_EQ(Run("--frames 3 --dump-state " + Path("title.xml")), 0);
    int ox = 0, oy = 0;
    ASSERT_TRUE(Centre(Read("title.xml"), "WTitle_BOptions", ox, oy));
    Write("full.txt", "frame 5 click left " + std::to_string(ox) + " " + std::to_string(oy) +
                          "\nframe 10 click left 202 154\nframe 15 click left 295 483\n");
    ASSERT_EQ(Run("--frames 20 --input " + Path("full.txt") + " --dump-state " + Path("dump.xml")), 0);
    EXPECT_NE(Read("options.cfg").find("FullScreenMode=1"), std::string::npos) << Read("options.cfg");
    EXPECT_EQ(Attr(Read("dump.xml"), "TopWindow"), "WTitle");

    ASSERT_EQ(Run("--start-scene 1 --frames 3 --dump-state " + Path("play.xml")), 0);
    int mx = 0, my = 0;
    ASSERT_TRUE(Centre(Read("play.xml"), "WGame_BMize", mx, my));
    EXPECT_NE(Read("options.cfg").find("FullScreenMode=1"), std::string::npos);
    Write("back.txt", "frame 200 click left " + std::to_string(mx) + " " + std::to_string(my) + "\n");
    ASSERT_EQ(Run("--start-scene 1 --frames 210 --input " + Path("back.txt")), 0);
    EXPECT_NE(Read("options.cfg").find("FullScreenMode=0"), std::string::npos) << Read("options.cfg");

    // The music slider's left arrow, then Cancel: the stored volume stays.
    Write("cancel.txt",
          "frame 5 click left " + std::to_string(ox) + " " + std::to_string(oy) +
              "\nframe 10 click left 361 280\nframe 12 click left 361 280\nframe 15 click left 504 483\n");
    ASSERT_EQ(Run("--frames 20 --input " + Path("cancel.txt") + " --dump-state " + Path("cancel.xml")), 0);
    EXPECT_NE(Read("options.cfg").find("MusicVolume=100"), std::string::npos) << Read("options.cfg");
}

TEST_F(SaveHeadlessTest, LoadRefusesWhatTheListWouldNotShowAndMangledFiles) {
    std::filesystem::create_directories(dir_ / "saves");
    Write("saves/Broken.sav", "<SaveGame Scene=\"Scene1.xml\"><Layer Current=\"99\" Complete=\"false\"/></SaveGame>");
    Write("saves/Other.SAV", "x");
    for (const char* name : {"Missing", "../game", "Other", "Broken"}) {
        ASSERT_EQ(Run(std::string("--load \"") + name + "\" --frames 2 --dump-state " + Path("dump.xml")), 0) << name;
        const std::string dump = Read("dump.xml");
        EXPECT_EQ(Attr(dump, "TopWindow"), "WMessage") << name;
        EXPECT_EQ(Attr(dump, "GameState"), "5") << name;
    }
    EXPECT_NE(Read("Moswick.log").find("Saved game refused"), std::string::npos);
    // Nothing already saved was touched by the refusals.
    EXPECT_TRUE(std::filesystem::exists(dir_ / "saves" / "Broken.sav"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "game.zxc"));
}

}  // namespace
