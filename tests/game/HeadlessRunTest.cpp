// Runs the built program without a display or sound card, in a folder of its
// own with a small archive, and reads what it leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/FileFolder.h"
#include "base/OrvStream.h"
#include "render/PictureCodec.h"

namespace {

class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("moswick-run-") + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A small archive with what start-up insists on: the picture list and
    // the eight effect templates (empty effects); skipEffect leaves one out.
    // withCursor adds a cursor strip of 30 solid red frames.
    void MakeArchive(const std::string& skipEffect = "", bool withCursor = false) {
        TFileFolder folder = TFileFolder::CreateNew((dir_ / "game.zxc").string());
        TMemoryStream readme(std::string_view{"a small archive for a headless run"});
        folder.AddFile("readme.txt", 0, readme);
        TMemoryStream list(std::string_view{withCursor ? "cursor_line.png\r\n" : ""});
        folder.AddFile("surfaces.dat", 0, list);
        if (withCursor) {
            TPicture cursor = TPicture::Create(41 * 30, 24, 4, 0);
            for (size_t i = 0; i < cursor.Pixels.size(); i += 4) {
                cursor.Pixels[i] = 255;
                cursor.Pixels[i + 3] = 255;
            }
            TMemoryStream png(EncodePNG(cursor));
            folder.AddFile("cursor_line.png", 0, png);
        }
        for (const char* name :
             {"BonusAmulet.xml", "BonusBombPauk.xml", "FallDownEffect.xml", "SparkleEffect.xml",
              "SparkleHintEffect.xml", "SparkleFishesEffect.xml", "Contour.xml", "GiveScoreEffect.xml"}) {
            if (skipEffect == name) continue;
            TMemoryStream effect(std::string("<ParticleEffect Name=\"") + name +
                                 "\"><Functions/><Morphs/><Particles/><ParticleSystems/></ParticleEffect>");
            folder.AddFile(name, 0, effect);
        }
        folder.SaveToFile();
    }
    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    // Runs the program with the arguments; returns its exit code.
    int Run(const std::string& args) {
        // The per-user key store (the chosen language) goes into the
        // test's folder, not the home of whoever runs the tests.
        const std::string cmd = "XDG_CONFIG_HOME=\"" + dir_.string() +
                                "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                                "/moswick\" --data-dir \"" +
                                dir_.string() + "\" " + args + " >\"" + (dir_ / "out.txt").string() + "\" 2>&1";
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::vector<std::string> LogLines() {
        std::string text;
        ReadWholeFile((dir_ / "Moswick.log").string(), text);
        std::vector<std::string> lines;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    std::string Option(const std::string& key) {
        std::string text;
        ReadWholeFile((dir_ / "options.cfg").string(), text);
        std::smatch m;
        if (std::regex_search(text, m, std::regex(key + "=([^\\r\\n]*)"))) return m[1];
        return {};
    }

    std::filesystem::path dir_;
};

// The texts of the lines, without their stamps, that must appear in this
// order (other lines may lie between them).
void ExpectInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    size_t at = 0;
    for (const std::string& line : lines) {
        if (at < wanted.size() && line.size() > wanted[at].size() &&
            line.compare(line.size() - wanted[at].size(), wanted[at].size(), wanted[at]) == 0)
            ++at;
    }
    EXPECT_EQ(at, wanted.size()) << "missing or out of order: " << (at < wanted.size() ? wanted[at] : "");
}

TEST_F(HeadlessRunTest, StartsRunsFramesAndShutsDownWithStampedLog) {
    MakeArchive();
    ASSERT_EQ(Run("--frames 200 --fixed-step 16 --screenshot \"" + (dir_ / "shot.png").string() + "\""), 0);
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 12u);
    const std::regex stamped(R"(\{\d+:\d+:\d+\} .*)");
    for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, stamped)) << l;
    EXPECT_EQ(lines[0], "{0:0:0} Moswick Version: 1.22");
    EXPECT_EQ(lines[1], "{0:0:0} System Information");
    EXPECT_EQ(lines[2].rfind("{0:0:0}    OS Version: ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("{0:0:0}    Processor: ", 0), 0u);
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(\{0:0:0\}    Total Memory: \d+ Mb)"))) << lines[4];
    EXPECT_EQ(lines[5], "{0:0:0} Form Create Method runed.");
    ExpectInOrder(lines, {"Form Create Method runed.", "Bass init Ok...", "File Folders morfed Ok...",
                          "Prepare for Game run...", "Init Direct Draw Ok...", "Pictures from Folder Load Ok...",
                          "resource List Reinit Surfaces Ok...", "Game Started..."});
    // 200 frames of 16 ms on the virtual clock: 3.2 s; 63 frames per sample.
    EXPECT_EQ(lines.back(), "{0:3:200} Average FPS: 63.7");
    // Start-up wrote the prepared archive, the saves folder and the options.
    EXPECT_TRUE(std::filesystem::exists(dir_ / "temp" / "game.zxc"));
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "saves"));
    EXPECT_EQ(Option("VSync"), "1");
    EXPECT_EQ(Option("Build"), "122");
    TPicture shot = LoadPictureFile((dir_ / "shot.png").string());
    EXPECT_EQ(shot.Width, 800);
    EXPECT_EQ(shot.Height, 600);
}

TEST_F(HeadlessRunTest, MissingArchiveEndsStartUpCleanly) {
    EXPECT_EQ(Run("--frames 20 --fixed-step 16"), 1);
    const auto lines = LogLines();
    ASSERT_FALSE(lines.empty());
    bool named = false;
    for (const auto& l : lines)
        if (l.find("Can not find file " + (dir_ / "game.zxc").string() + "!") != std::string::npos) named = true;
    EXPECT_TRUE(named);
    for (const auto& l : lines) EXPECT_EQ(l.find("Game Started..."), std::string::npos);
}

TEST_F(HeadlessRunTest, FailureInTheSecondStageIsLoggedAndEndsTheRun) {
    MakeArchive("Contour.xml");
    EXPECT_EQ(Run("--frames 50 --fixed-step 16"), 1);
    const auto lines = LogLines();
    ExpectInOrder(lines, {"Game Started...", "Can not find Contour.xmlin file folder",
                          "Exception error in TOrvGameEngine.RunGame", "Exception error in TOrvGameEngine.RunGame",
                          "Average FPS: 0"});
    // The fatal text closes the window in the first frame.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "{0:0:0} Average FPS: 0");
}

TEST_F(HeadlessRunTest, InputScriptReachesTheRouting) {
    MakeArchive();
    // Alt+Enter switches to full screen and stores it; the script then quits
    // at frame 10, long before the frame limit.
    WriteFile("input.txt",
              "frame 2 mousemove 400 300\n"
              "frame 3 click left 400 300\n"
              "frame 4 key enter alt\n"
              "frame 10 quit\n");
    ASSERT_EQ(Run("--frames 500 --fixed-step 16 --input \"" + (dir_ / "input.txt").string() + "\""), 0);
    EXPECT_EQ(Option("FullScreenMode"), "1");
    const auto lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("{0:0:160} Average FPS: ", 0), 0u) << lines.back();

    // The stored mode is used at the next start; --window overrides it.
    WriteFile("input.txt", "frame 1 key enter alt\n");
    ASSERT_EQ(Run("--frames 5 --fixed-step 16 --window --input \"" + (dir_ / "input.txt").string() + "\""), 0);
    EXPECT_EQ(Option("FullScreenMode"), "1");
}

TEST_F(HeadlessRunTest, ScriptedMouseMovesTheCursor) {
    MakeArchive("", true);
    WriteFile("input.txt", "frame 3 mousemove 200 150\nframe 6 mousemove 400 300\n");
    const std::string shot = (dir_ / "shot.png").string();
    ASSERT_EQ(Run("--frames 12 --fixed-step 16 --input \"" + (dir_ / "input.txt").string() + "\" --screenshot \"" +
                  shot + "\""),
              0);
    TPicture picture = LoadPictureFile(shot);
    ASSERT_EQ(picture.Width, 800);
    auto red = [&](int x, int y) {
        const uint8_t* p = picture.Row(y) + static_cast<size_t>(x) * static_cast<size_t>(picture.Channels);
        return p[0] > 200 && p[1] < 50 && p[2] < 50;
    };
    EXPECT_TRUE(red(400, 300));
    EXPECT_TRUE(red(440, 321));
    EXPECT_FALSE(red(441, 300));  // 41 pixels wide
    EXPECT_FALSE(red(400, 323));  // drawn two rows short of the picture
    EXPECT_FALSE(red(399, 300));
    EXPECT_FALSE(red(200, 150));  // the old place was restored
}

// With the game's own data from the content build (when it has been built
// beside the program): the whole start-up runs and the cursor is drawn.
TEST_F(HeadlessRunTest, StartsWithTheGamesOwnData) {
    const std::filesystem::path built(MOSWICK_BUILD_DIR);
    if (!std::filesystem::exists(built / "game.zxc")) GTEST_SKIP() << "no game.zxc built beside the program";
    std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
    if (std::filesystem::exists(built / "GameParams.xml"))
        std::filesystem::copy_file(built / "GameParams.xml", dir_ / "GameParams.xml");
    WriteFile("input.txt", "frame 2 mousemove 300 200\n");
    const std::string shot = (dir_ / "shot.png").string();
    ASSERT_EQ(Run("--frames 40 --fixed-step 16 --input \"" + (dir_ / "input.txt").string() + "\" --screenshot \"" +
                  shot + "\""),
              0);
    const auto lines = LogLines();
    ExpectInOrder(lines, {"Form Create Method runed.", "Bass init Ok...", "File Folders morfed Ok...",
                          "Prepare for Game run...", "Init Direct Draw Ok...", "Pictures from Folder Load Ok...",
                          "resource List Reinit Surfaces Ok...", "Game Started..."});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("{0:0:640} Average FPS: ", 0), 0u) << lines.back();
    TPicture picture = LoadPictureFile(shot);
    int lit = 0;
    for (int y = 200; y < 230; ++y)
        for (int x = 300; x < 341; ++x) {
            const uint8_t* p = picture.Row(y) + static_cast<size_t>(x) * static_cast<size_t>(picture.Channels);
            if (p[0] + p[1] + p[2] > 60) ++lit;
        }
    EXPECT_GT(lit, 20);
}

// The state dump is written at the end of the run, also into a folder that
// does not yet hold it, and a dump that cannot be written fails the run.
TEST_F(HeadlessRunTest, StateDumpIsWrittenAtTheEnd) {
    MakeArchive();
    const std::string dump = (dir_ / "state.xml").string();
    ASSERT_EQ(Run("--frames 6 --fixed-step 16 --dump-state \"" + dump + "\""), 0);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(dump, text));
    EXPECT_EQ(text.rfind("<MoswickState GameState=\"5\" NowTime=\"", 0), 0u) << text;
    EXPECT_EQ(Run("--frames 2 --dump-state \"" + (dir_ / "no" / "such" / "state.xml").string() + "\""), 1);
}

TEST_F(HeadlessRunTest, BadCommandLineAndScriptAreRefused) {
    MakeArchive();
    WriteFile("input.txt", "frame 1 key nosuchkey\n");
    EXPECT_EQ(Run("--frames 5 --input \"" + (dir_ / "input.txt").string() + "\""), 2);
    std::string out;
    ReadWholeFile((dir_ / "out.txt").string(), out);
    EXPECT_NE(out.find("Input script line 1: unknown key \"nosuchkey\""), std::string::npos) << out;
    EXPECT_EQ(Run("--frames"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Moswick.log"));
    // An unknown option names itself and the help's first line.
    EXPECT_EQ(Run("--bogus"), 2);
    ReadWholeFile((dir_ / "out.txt").string(), out);
    EXPECT_NE(out.find("unknown option --bogus\nusage: moswick"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Moswick.log"));
}

TEST_F(HeadlessRunTest, HelpAndVersionPrintAndStartNothing) {
    EXPECT_EQ(Run("--help"), 0);
    std::string out;
    ReadWholeFile((dir_ / "out.txt").string(), out);
    EXPECT_EQ(out.rfind("usage: moswick", 0), 0u) << out;
    EXPECT_NE(out.find("  --frames N"), std::string::npos) << out;
    EXPECT_EQ(Run("--version"), 0);
    ReadWholeFile((dir_ / "out.txt").string(), out);
    EXPECT_EQ(out, "Moswick 1.22\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Moswick.log"));
}

std::string ReadOut(const std::filesystem::path& dir) {
    std::string out;
    ReadWholeFile((dir / "out.txt").string(), out);
    return out;
}

TEST_F(HeadlessRunTest, AScreenshotThatCannotBeWrittenFailsTheRun) {
    MakeArchive();
    EXPECT_EQ(Run("--frames 3 --fixed-step 16 --screenshot \"" + (dir_ / "no" / "such" / "shot.png").string() + "\""),
              1);
    EXPECT_NE(ReadOut(dir_).find("cannot write the screenshot " + (dir_ / "no" / "such" / "shot.png").string()),
              std::string::npos)
        << ReadOut(dir_);
}

TEST_F(HeadlessRunTest, AStartUpFailurePrintsItsCauseNotOnlyThatStartUpFailed) {
    MakeArchive("Contour.xml");
    EXPECT_EQ(Run("--frames 50 --fixed-step 16"), 1);
    const std::string out = ReadOut(dir_);
    EXPECT_NE(out.find("Exception error in TOrvGameEngine.RunGame"), std::string::npos) << out;
    EXPECT_NE(out.find("Can not find Contour.xmlin file folder"), std::string::npos) << out;
}

TEST_F(HeadlessRunTest, ControlBytesOfArchiveNamesAreEscapedOnTheTerminal) {
    // A packed alpha without its colour partner stops the preparation with
    // an error that carries the entry's name.
    TFileFolder folder = TFileFolder::CreateNew((dir_ / "game.zxc").string());
    TMemoryStream alpha(std::string_view("not a picture"));
    folder.AddFile("x\x1b[2Jy._PNG", 2, alpha);
    folder.SaveToFile();
    EXPECT_EQ(Run("--frames 5 --fixed-step 16"), 1);
    const std::string out = ReadOut(dir_);
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_NE(out.find("File x\\x1B[2Jy._JPG does not exist!"), std::string::npos) << out;
}

TEST_F(HeadlessRunTest, EmptyPathsAndFolderScriptsAreRefusedByName) {
    MakeArchive();
    for (const char* option : {"--write-dir", "--data-dir", "--input", "--screenshot", "--dump-state"}) {
        EXPECT_EQ(Run(std::string("--frames 2 ") + option + " \"\""), 2) << option;
        EXPECT_NE(ReadOut(dir_).find(std::string("empty value after ") + option), std::string::npos) << ReadOut(dir_);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Moswick.log"));
    EXPECT_EQ(Run("--frames 2 --input \"" + dir_.string() + "\""), 2);
    EXPECT_NE(ReadOut(dir_).find("Cannot read file " + dir_.string() + " (it is a folder)"), std::string::npos)
        << ReadOut(dir_);
}

TEST_F(HeadlessRunTest, ADamagedOrStalePreparedArchiveIsPreparedAgain) {
    MakeArchive();
    ASSERT_EQ(Run("--frames 2 --fixed-step 16"), 0);
    const std::filesystem::path prepared = dir_ / "temp" / "game.zxc";
    ASSERT_TRUE(std::filesystem::exists(prepared));

    // Cut short (a full disk, a killed write): every later start used to fail.
    std::filesystem::resize_file(prepared, std::filesystem::file_size(prepared) / 2);
    ASSERT_EQ(Run("--frames 2 --fixed-step 16"), 0) << ReadOut(dir_);
    ExpectInOrder(LogLines(),
                  {"Preparing " + prepared.string() + " again: it was cut short or changed after it was made",
                   "File Folders morfed Ok..."});

    // The shipped archive replaced: the copy made from the old one is not used.
    MakeArchive("", true);
    ASSERT_EQ(Run("--frames 2 --fixed-step 16"), 0) << ReadOut(dir_);
    ExpectInOrder(LogLines(), {"Preparing " + prepared.string() + " again: the shipped archive " +
                                   (dir_ / "game.zxc").string() + " is not the one it was made from",
                               "File Folders morfed Ok..."});
    EXPECT_GE(TFileFolder(prepared.string()).IndexOf("cursor_line.png"), 0);

    // A current copy is kept without a word.
    ASSERT_EQ(Run("--frames 2 --fixed-step 16"), 0);
    for (const std::string& line : LogLines()) EXPECT_EQ(line.find("again:"), std::string::npos) << line;
}

TEST_F(HeadlessRunTest, TemporaryFilesOfInterruptedWritesAreRemovedAtTheNextStart) {
    MakeArchive();
    std::filesystem::create_directories(dir_ / "saves");
    std::filesystem::create_directories(dir_ / "temp");
    const std::vector<std::filesystem::path> leftovers{dir_ / "options.cfg.tmp4194305",
                                                       dir_ / "temp" / "game.zxc.tmp4194305",
                                                       dir_ / "saves" / "AutoSave.sav.tmp4194305"};
    for (const auto& path : leftovers) WriteFile(std::filesystem::relative(path, dir_).string(), "half");
    ASSERT_EQ(Run("--frames 2 --fixed-step 16"), 0);
    for (const auto& path : leftovers) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    ExpectInOrder(LogLines(), {"Removed a temporary file left by an interrupted write: " + leftovers[0].string()});
}

TEST_F(HeadlessRunTest, FoldersAndPipesInPlaceOfTheGamesFilesNeitherStopNorBlockIt) {
    MakeArchive();
    // A pipe as options.cfg used to block start-up for ever, a folder as the
    // log to abort the program.
    ASSERT_EQ(::mkfifo((dir_ / "options.cfg").c_str(), 0600), 0);
    std::filesystem::create_directories(dir_ / "Moswick.log");
    EXPECT_EQ(Run("--frames 3 --fixed-step 16"), 0) << ReadOut(dir_);
    EXPECT_EQ(std::filesystem::status(dir_ / "options.cfg").type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Moswick.log"));

    // A folder as options.cfg: the run goes on with the defaults and the log
    // names the file.
    std::filesystem::remove(dir_ / "options.cfg");
    std::filesystem::remove(dir_ / "Moswick.log");
    std::filesystem::create_directories(dir_ / "options.cfg");
    EXPECT_EQ(Run("--frames 3 --fixed-step 16"), 0) << ReadOut(dir_);
    ExpectInOrder(LogLines(), {"Cannot read file " + (dir_ / "options.cfg").string() + " (it is a folder)"});
}

}  // namespace
