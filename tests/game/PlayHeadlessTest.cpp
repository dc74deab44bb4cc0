// The built program playing the built scenes headless: the bot finishes a
// scene through the mouse, and the same seed, input and step give the same
// trace and dump byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "HeadlessRun.h"
#include "base/OrvStream.h"
#include "render/PictureCodec.h"

namespace {

using moswick_test::kSlowBuild;

class PlayHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    PlayHeadlessTest() : HeadlessProgramTest("play") {}
    int Run(const std::string& args) { return RunProgram(args); }
};

// The sanitizer build runs ten times slower: there the bot plays the scene's
// last layer only, at a coarser step; the normal build plays it all.
TEST_F(PlayHeadlessTest, BotFinishesTheFirstSceneInNormalMode) {
    const std::string first = kSlowBuild ? "--layer 2 --fixed-step 48" : "--fixed-step 16";
    ASSERT_EQ(Run("--start-scene 1 --autoplay " + first + " --seed 7 --frames 200000 --trace " + Path("trace.txt") +
                  " --dump-state " + Path("dump.xml")),
              0)
        << Read("out.txt");
    const std::string dump = Read("dump.xml");
    EXPECT_EQ(Attr(dump, "Lost"), "false");
    EXPECT_EQ(Attr(dump, "LayerComplete"), "true");
    EXPECT_EQ(Attr(dump, "Mode"), "2");
    const int layers = std::atoi(Attr(dump, "Layers").c_str());
    ASSERT_GT(layers, 0);
    EXPECT_EQ(std::atoi(Attr(dump, "CurrentLayer").c_str()), layers - 1);
    EXPECT_GT(std::atoi(Attr(dump, "TotalScore").c_str()), 0);
    const std::string trace = Read("trace.txt");
    for (int l = kSlowBuild ? layers - 1 : 0; l < layers; ++l)
        EXPECT_NE(trace.find("layer-complete layer=" + std::to_string(l)), std::string::npos) << l;
    EXPECT_NE(trace.find(" scene-complete scene=1"), std::string::npos);
    EXPECT_EQ(trace.find(" lost "), std::string::npos);
    // Every line: game time, event, key=value pairs.
    const std::regex line(R"(\d+ [a-z-]+( [A-Za-z]+=[-0-9,]+)*)");
    size_t start = 0;
    int lines = 0;
    while (start < trace.size()) {
        const size_t end = trace.find('\n', start);
        const std::string one = trace.substr(start, end - start);
        EXPECT_TRUE(std::regex_match(one, line)) << one;
        start = end == std::string::npos ? trace.size() : end + 1;
        ++lines;
    }
    EXPECT_GT(lines, 50);
}

TEST_F(PlayHeadlessTest, PanelShowsTheScoreAndTheLevelBeingPlayed) {
    // The bot scores on the second layer of scene 3; the panel's labels
    // (score, level, the helpers' charges) follow the rules, not what the
    // language file or the last level wrote.
    ASSERT_EQ(Run("--start-scene 3 --layer 1 --autoplay --fixed-step 16 --seed 5 --frames 2500 --dump-state " +
                  Path("dump.xml")),
              0)
        << Read("out.txt");
    const std::string dump = Read("dump.xml");
    const std::string score = Attr(dump, "TotalScore");
    ASSERT_GT(std::atoi(score.c_str()), 0) << "the bot placed nothing in 40 s";
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dump, m, std::regex("Name=\"WGame_LScoreCount\"[^>]*>([^<]*)<"))) << dump;
    EXPECT_EQ(m[1].str(), score);
    ASSERT_TRUE(std::regex_search(dump, m, std::regex("Name=\"WGame_LLevelCount\"[^>]*>([^<]*)<")));
    EXPECT_EQ(m[1].str(), "3.2");
    ASSERT_TRUE(std::regex_search(dump, m, std::regex("Name=\"WGame_LShiftCount\"[^>]*>([^<]*)<")));
    EXPECT_EQ(m[1].str(), Attr(dump, "BeltClears"));
    ASSERT_TRUE(std::regex_search(dump, m, std::regex("Name=\"WGame_LShuffleCount\"[^>]*>([^<]*)<")));
    EXPECT_EQ(m[1].str(), Attr(dump, "DropResets"));
}

TEST_F(PlayHeadlessTest, SameSeedInputAndStepGiveTheSameTraceAndDump) {
    const std::string args = "--start-scene 2 --autoplay --fixed-step 16 --seed 11 --frames 2500";
    ASSERT_EQ(Run(args + " --trace " + Path("a.txt") + " --dump-state " + Path("a.xml")), 0);
    ASSERT_EQ(Run(args + " --trace " + Path("b.txt") + " --dump-state " + Path("b.xml")), 0);
    EXPECT_FALSE(Read("a.txt").empty());
    EXPECT_EQ(Read("a.txt"), Read("b.txt"));
    EXPECT_EQ(Read("a.xml"), Read("b.xml"));
    ASSERT_EQ(Run("--start-scene 2 --autoplay --fixed-step 16 --seed 12 --frames 2500 --trace " + Path("c.txt")), 0);
    EXPECT_NE(Read("a.txt"), Read("c.txt"));
}

TEST_F(PlayHeadlessTest, DirectStartShowsTheLevelAndRefusesWhatIsNotThere) {
    ASSERT_EQ(Run("--start-scene 1 --layer 1 --mode 3 --fixed-step 16 --seed 1 --frames 400 --screenshot " +
                  Path("shot.png") + " --dump-state " + Path("dump.xml")),
              0);
    const std::string dump = Read("dump.xml");
    EXPECT_EQ(Attr(dump, "GameState"), "1");
    EXPECT_EQ(Attr(dump, "CurrentLayer"), "1");
    EXPECT_EQ(Attr(dump, "Mode"), "3");
    // The play field shows a picture, not an empty buffer.
    TPicture shot = LoadPictureFile((dir_ / "shot.png").string());
    int lit = 0;
    for (int y = 20; y < 580; y += 10)
        for (int x = 20; x < 640; x += 10) {
            const uint8_t* p = shot.Row(y) + size_t(x) * size_t(shot.Channels);
            lit += p[0] + p[1] + p[2] > 90;
        }
    EXPECT_GT(lit, 2000);

    EXPECT_EQ(Run("--start-scene 0"), 2);
    EXPECT_EQ(Run("--start-scene 1 --mode 4"), 2);
    EXPECT_EQ(Run("--start-scene 999 --frames 50"), 1);
    EXPECT_NE(Read("out.txt").find("Scene999.xml"), std::string::npos) << Read("out.txt");
    EXPECT_EQ(Run("--start-scene 1 --layer 99 --frames 50"), 1);
}

TEST_F(PlayHeadlessTest, AChangeOfColourDepthInPlayMakesTheFieldsOwnPicturesAgain) {
    // Full screen at 16 bits from a 32-bit window: every picture is made
    // again in the new format; those made without a file (the layer's, the
    // shadows, the turning frames) must not stay blank.
    Write("options.cfg", "[Options]\nBitsPerPixel=16\nFullScreenMode=0\n");
    Write("depth.txt", "frame 150 key enter alt\nframe 260 mousemove 300 300\n");
    ASSERT_EQ(Run("--window --start-scene 1 --fixed-step 16 --seed 2 --frames 300 --input " + Path("depth.txt") +
                  " --screenshot " + Path("depth.png")),
              0)
        << Read("out.txt");
    EXPECT_NE(Read("options.cfg").find("FullScreenMode=1"), std::string::npos);
    TPicture shot = LoadPictureFile((dir_ / "depth.png").string());
    int black = 0, all = 0;
    for (int y = 90; y < 400; y += 10)
        for (int x = 120; x < 540; x += 10, ++all) {
            const uint8_t* p = shot.Row(y) + size_t(x) * size_t(shot.Channels);
            black += p[0] + p[1] + p[2] < 24;
        }
    EXPECT_LT(black, all / 20) << black << " of " << all << " points of the field are black";
}

TEST_F(PlayHeadlessTest, LosingTheForegroundOpensTheMenuAndHaltsSound) {
    // Away during play: the menu opens, the sound halts, no frame runs.
    std::string script = "frame 200 deactivate\n";
    ASSERT_TRUE(WriteFileAtomically((dir_ / "away.txt").string(), script.data(), script.size()));
    ASSERT_EQ(Run("--start-scene 1 --fixed-step 16 --seed 3 --frames 260 --input " + Path("away.txt") +
                  " --dump-state " + Path("away.xml")),
              0)
        << Read("out.txt");
    const std::string away = Read("away.xml");
    EXPECT_EQ(Attr(away, "GameState"), "4");
    EXPECT_EQ(Attr(away, "TopWindow"), "WGameMenu");
    EXPECT_EQ(Attr(away, "AudioPaused"), "true");
    EXPECT_LT(std::atoi(Attr(away, "NowTime").c_str()), 200 * 16);

    // Back again: the sound plays, play waits in the menu with its clock held.
    script += "frame 210 activate\n";
    ASSERT_TRUE(WriteFileAtomically((dir_ / "back.txt").string(), script.data(), script.size()));
    ASSERT_EQ(Run("--start-scene 1 --fixed-step 16 --seed 3 --frames 260 --input " + Path("back.txt") +
                  " --dump-state " + Path("back.xml")),
              0)
        << Read("out.txt");
    const std::string back = Read("back.xml");
    EXPECT_EQ(Attr(back, "GameState"), "4");
    EXPECT_EQ(Attr(back, "TopWindow"), "WGameMenu");
    EXPECT_EQ(Attr(back, "AudioPaused"), "false");
    EXPECT_GT(std::atoi(Attr(back, "NowTime").c_str()), 240 * 16);
    EXPECT_EQ(Attr(back, "GameTime"), Attr(away, "GameTime"));

    // Away from the title: no menu to open, but the sound halts all the same.
    const std::string title = "frame 20 deactivate\n";
    ASSERT_TRUE(WriteFileAtomically((dir_ / "title.txt").string(), title.data(), title.size()));
    ASSERT_EQ(
        Run("--fixed-step 16 --seed 3 --frames 40 --input " + Path("title.txt") + " --dump-state " + Path("title.xml")),
        0)
        << Read("out.txt");
    const std::string titleDump = Read("title.xml");
    EXPECT_EQ(Attr(titleDump, "GameState"), "5");
    EXPECT_EQ(Attr(titleDump, "TopWindow"), "WTitle");
    EXPECT_EQ(Attr(titleDump, "AudioPaused"), "true");
}

}  // namespace
