// The built program saving and loading headless: a quick save in play, the
// program ended and started again with --load, and the same game goes on;
// names and files the load window would refuse are refused the same way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "game/SavedGame.h"

namespace {

// The sanitizer build runs the program ten times slower: there only the
// round trip and the refusals run, the rest in the normal build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr bool kSlowBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif
#else
constexpr bool kSlowBuild = false;
#endif

class SaveHeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path built(MOSWICK_BUILD_DIR);
        if (!std::filesystem::exists(built / "game.zxc")) GTEST_SKIP() << "no game.zxc built beside the program";
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("moswick-save-") + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
        if (std::filesystem::exists(built / "GameParams.xml"))
            std::filesystem::copy_file(built / "GameParams.xml", dir_ / "GameParams.xml");
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    int Run(const std::string& args) {
        const std::string cmd = "XDG_CONFIG_HOME=\"" + dir_.string() +
                                "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                                "/moswick\" --no-window --fixed-step 16 --seed 3 --data-dir \"" +
                                dir_.string() + "\" " + args + " >\"" + (dir_ / "out.txt").string() + "\" 2>&1";
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::string Read(const std::string& name) {
        std::string text;
        ReadWholeFile((dir_ / name).string(), text);
        return text;
    }
    std::string Path(const std::string& name) { return "\"" + (dir_ / name).string() + "\""; }
    static std::string Attr(const std::string& text, const std::string& name) {
        std::smatch m;
        if (std::regex_search(text, m, std::regex(" " + name + "=\"([^\"]*)\""))) return m[1];
        return {};
    }
    // The centre of a shown control in a state dump.
    static bool Centre(const std::string& dump, const std::string& control, int& x, int& y) {
        std::smatch m;
        const std::regex re("<Control[^>]*Name=\"" + control +
                            "\"[^>]*Left=\"(-?\\d+)\" Top=\"(-?\\d+)\" Width=\"(\\d+)\" Height=\"(\\d+)\"");
        if (!std::regex_search(dump, m, re)) return false;
        x = std::stoi(m[1]) + std::stoi(m[3]) / 2;
        y = std::stoi(m[2]) + std::stoi(m[4]) / 2;
        return true;
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

    std::filesystem::path dir_;
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
