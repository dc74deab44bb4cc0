// The whole-game bot as a restless player (--autoplay-mischief), run as the
// built program headless: every kind of mischief happens through the real
// controls, none is given up half way, the game is still sane afterwards and
// the same seed replays the same run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "base/OrvStream.h"
#include "game/Main.h"

namespace {

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

const char* const kKinds[] = {"save", "quicksave", "load", "options", "language", "fullscreen"};
const char* const kDumpNames[] = {"Save", "QuickSave", "Load", "Options", "Language", "FullScreen"};

class MischiefRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path built(MOSWICK_BUILD_DIR);
        if (!std::filesystem::exists(built / "game.zxc")) GTEST_SKIP() << "no game.zxc built beside the program";
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("moswick-mischief-") + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
        if (std::filesystem::exists(built / "GameParams.xml"))
            std::filesystem::copy_file(built / "GameParams.xml", dir_ / "GameParams.xml");
        if (std::filesystem::exists(built / "lng"))
            std::filesystem::copy(built / "lng", dir_ / "lng", std::filesystem::copy_options::recursive);
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    // Runs the program in a window of the dummy video driver (so the display
    // switches go through the window), in write folder `write`; exit code.
    int Run(const std::string& write, const std::string& args) {
        std::filesystem::create_directories(dir_ / write);
        const std::string cmd = "XDG_CONFIG_HOME=\"" + (dir_ / write).string() +
                                "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                                "/moswick\" --window --fixed-step 48 --data-dir \"" +
                                dir_.string() + "\" --write-dir \"" + (dir_ / write).string() + "\" --dump-state \"" +
                                (dir_ / write / "dump.xml").string() + "\" --trace \"" +
                                (dir_ / write / "trace.txt").string() + "\" " + args + " >\"" +
                                (dir_ / write / "out.txt").string() + "\" 2>&1";
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::string Read(const std::filesystem::path& path) const {
        std::string text;
        ReadWholeFile((dir_ / path).string(), text);
        return text;
    }
    static std::string Attr(const std::string& text, const std::string& name) {
        std::smatch m;
        if (std::regex_search(text, m, std::regex(" " + name + "=\"([^\"]*)\""))) return m[1];
        return {};
    }
    // The trace's lines of the bot ("mischief ..." and the like), without
    // the play clock in front.
    static std::vector<std::string> BotLines(const std::string& trace) {
        std::vector<std::string> lines;
        std::istringstream in(trace);
        std::string line;
        while (std::getline(in, line)) {
            const size_t space = line.find(' ');
            if (space == std::string::npos) continue;
            const std::string event = line.substr(space + 1);
            if (event.rfind("mischief", 0) == 0 || event.rfind("autoplay", 0) == 0) lines.push_back(event);
        }
        return lines;
    }

    std::filesystem::path dir_;
};

TEST_F(MischiefRunTest, EveryKindHappensThroughTheControlsAndTheGameStaysSane) {
    // A short mean gap so a bounded run sees every kind (the first save
    // waits for the first between-levels window, near frame 3000); the
    // sanitizer build runs some ten times slower and gets fewer frames.
    const std::string frames = kSlowBuild ? "3300" : "4500";
    const std::string args = "--autoplay-mischief 1500 --seed 11 --frames " + frames;
    ASSERT_EQ(Run("a", args), 0) << Read("a/out.txt");
    const std::string dump = Read("a/dump.xml");
    const std::vector<std::string> lines = BotLines(Read("a/trace.txt"));

    std::smatch m;
    ASSERT_TRUE(std::regex_search(dump, m, std::regex("<Mischief [^>]*>"))) << dump.substr(0, 2000);
    const std::string counts = m[0];
    std::map<std::string, int> traced;
    for (const std::string& line : lines) {
        ASSERT_EQ(line.find("mischief-abandoned"), std::string::npos) << line;
        if (std::regex_search(line, m, std::regex("^mischief kind=([a-z]+) "))) ++traced[m[1]];
    }
    for (size_t k = 0; k < std::size(kKinds); ++k) {
        SCOPED_TRACE(kKinds[k]);
        // One trace line per mischief, and every kind at least once.
        EXPECT_GE(traced[kKinds[k]], 1);
        EXPECT_EQ(Attr(counts, kDumpNames[k]), std::to_string(traced[kKinds[k]]));
    }
    EXPECT_EQ(Attr(counts, "Abandoned"), "0");
    EXPECT_EQ(Attr(dump, "Restarts"), "0") << "a saved game the bot wrote was refused";

    // Still a game in progress on a screen of the flow, in a language the
    // game has, with the options file and the saves whole.
    const std::string top = Attr(dump, "TopWindow");
    EXPECT_TRUE(top == "WGame" || top == "WBetweenLevel" || top == "WGameMenu" || top == "WLevelComplete" ||
                top == "WUpgrade" || top == "WOptions" || top == "WLanguage" || top == "WSaveGame" ||
                top == "WLoadGame" || top == "WGameOver")
        << top;
    const std::string shownLanguage = Attr(dump.substr(dump.find("<Interface ")), "Language");
    EXPECT_TRUE(std::regex_match(shownLanguage, std::regex("ENU|DEU|RUS"))) << shownLanguage;
    EXPECT_GE(std::stoi(Attr(dump, "SceneInd")), 1);
    EXPECT_NE(Read("a/options.cfg").find("FullScreenMode="), std::string::npos);
    int slots = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "a" / "saves"))
        if (std::regex_match(entry.path().filename().string(), std::regex("Slot [1-4]\\.sav"))) ++slots;
    EXPECT_GE(slots, 1);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "a" / "saves" / "QuickSave.sav"));
    EXPECT_EQ(Read("a/out.txt").find("rror"), std::string::npos) << Read("a/out.txt");

    // The same seed in a fresh folder replays the same mischiefs at the same
    // moments, so a failing soak run can be looked at again (one run is
    // enough for the slow build).
    if (kSlowBuild) return;
    ASSERT_EQ(Run("b", args), 0) << Read("b/out.txt");
    EXPECT_EQ(BotLines(Read("b/trace.txt")), lines);
}

TEST_F(MischiefRunTest, AMischiefDueAtOnceStillLeavesTheFlowItsTurns) {
    // A gap of 1 ms makes a mischief due the moment the last one ends; the
    // bot must still leave the title and the between-levels window.
    ASSERT_EQ(Run("a", "--autoplay-mischief 1 --seed 2 --frames 1500"), 0) << Read("a/out.txt");
    const std::string trace = Read("a/trace.txt");
    EXPECT_NE(trace.find(" layer-start "), std::string::npos) << "play never began";
    EXPECT_GE(BotLines(trace).size(), 10u);
    EXPECT_EQ(trace.find("mischief-abandoned"), std::string::npos);
}

TEST(MischiefOptionsTest, TheGapIsANumberOfAtLeastOneAndTurnsTheBotOn) {
    const auto parse = [](std::vector<const char*> args, TRunOptions& o, std::string& error) {
        args.insert(args.begin(), "moswick");
        return o.Parse(static_cast<int>(args.size()), args.data(), error);
    };
    TRunOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--autoplay-mischief", "2500", "--games", "0"}, o, error)) << error;
    EXPECT_TRUE(o.Autoplay);
    EXPECT_EQ(o.MischiefGapMs, 2500u);
    EXPECT_EQ(o.AutoplayGames, 0u);
    EXPECT_EQ(TRunOptions().AutoplayGames, 1u);
    for (const char* bad : {"0", "-5", "1x", "3600001"}) {
        TRunOptions p;
        EXPECT_FALSE(parse({"--autoplay-mischief", bad}, p, error)) << bad;
        EXPECT_FALSE(p.Autoplay) << bad;
    }
}

}  // namespace
