// The built program's tunes and loading window: the main tune on the title
// and between the levels (at one of its parts), each scene's own tune in
// play, the main tune again after a completed level; and the loading
// window's bar moving as a scene's pictures come in.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HeadlessRun.h"

namespace {

class MusicAndLoadingHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    MusicAndLoadingHeadlessTest() : HeadlessProgramTest("music") {}
    // Runs the program (frames frames, the script when given); the dump in
    // dump_.
    int Run(const std::string& args, const std::string& script = "") {
        std::string all = "--fixed-step 16 --seed 3 --dump-state " + Path("dump.xml") + " " + args;
        if (!script.empty()) {
            Write("input.txt", script);
            all += " --input " + Path("input.txt");
        }
        const int code = RunProgram(all);
        dump_ = Read("dump.xml");
        return code;
    }
    // The music element's attribute.
    std::string Music(const std::string& name) const {
        const size_t at = dump_.find("<Music ");
        if (at == std::string::npos) return "(none)";
        return Attr(dump_.substr(at, dump_.find('>', at) - at), name);
    }
    // The main tune at one of the seven parts the flow starts it at.
    void ExpectMainTuneAtAPart() const {
        EXPECT_EQ(Music("Name"), "vibe-hah.mo3");
        const int order = std::stoi(Music("Order"));
        EXPECT_TRUE(order >= 5 && order <= 17 && order % 2 == 1) << order;
        EXPECT_EQ(Music("Playing"), "true");
    }
    std::vector<int> LoadingSteps() const {
        std::vector<int> steps;
        const size_t at = dump_.find("<LastLoading ");
        if (at == std::string::npos) return steps;
        std::stringstream list(Attr(dump_.substr(at, dump_.find('>', at) - at), "Positions"));
        for (std::string one; std::getline(list, one, ',');) steps.push_back(std::stoi(one));
        return steps;
    }

    std::string dump_;
};

const std::string kNewGame = "frame 20 click WTitle_BNewGame\n";
const std::string kFirstLevel = kNewGame + "frame 130 click WBetweenLevel_BNextLevel\n";

TEST_F(MusicAndLoadingHeadlessTest, TheTuneFollowsTheScreensAndTheScenes) {
    ASSERT_EQ(Run("--frames 40"), 0) << Read("out.txt");
    EXPECT_EQ(Music("Name"), "vibe-hah.mo3");
    EXPECT_EQ(Music("Order"), "0");
    EXPECT_EQ(Music("Playing"), "true");

    // Between the levels: the old tune fades for a second, then the main
    // tune starts at one of its parts.
    ASSERT_EQ(Run("--frames 120", kNewGame), 0);
    ExpectMainTuneAtAPart();

    // The level: the scene's own tune from its start, once the fade is over.
    ASSERT_EQ(Run("--frames 140", kFirstLevel), 0);
    EXPECT_EQ(Music("Name"), "vibe-hah.mo3") << "the switch waits for the fade-out";
    ASSERT_EQ(Run("--frames 250", kFirstLevel), 0);
    EXPECT_EQ(Music("Name"), "scene_dawn.xm");
    EXPECT_EQ(Music("Order"), "0");
    EXPECT_EQ(Music("Playing"), "true");

    // Another scene, another tune.
    ASSERT_EQ(Run("--start-scene 2 --frames 150"), 0);
    EXPECT_EQ(Music("Name"), "scene_bay.xm");
    EXPECT_EQ(Music("Playing"), "true");
}

TEST_F(MusicAndLoadingHeadlessTest, ACompletedLevelBringsTheMainTuneBackLater) {
    Write("options.cfg", "[Options]\r\nDebugMode=429\r\n");
    // Space completes the layer at frame 300; the level-complete window
    // comes about 3 s later and the main tune 3 s after that.
    const std::string complete = kFirstLevel + "frame 300 key space\n";
    ASSERT_EQ(Run("--frames 560", complete), 0) << Read("out.txt");
    EXPECT_EQ(Attr(dump_, "TopWindow"), "WLevelComplete");
    EXPECT_EQ(Music("Name"), "scene_dawn.xm");
    ASSERT_EQ(Run("--frames 720", complete), 0);
    ExpectMainTuneAtAPart();
}

TEST_F(MusicAndLoadingHeadlessTest, TheLoadingBarMovesWhileTheScenesPicturesLoad) {
    // A new game's scene, the first or a later one: each load draws the bar
    // from 0 through several steps to 100.
    for (const std::string& args : {std::string("--frames 40"), std::string("--new-game-scene 3 --frames 40")}) {
        ASSERT_EQ(Run(args, kNewGame), 0) << Read("out.txt");
        const std::vector<int> steps = LoadingSteps();
        ASSERT_GE(steps.size(), 4u) << args << ": the bar only jumped: " << dump_.substr(0, 400);
        EXPECT_EQ(steps.front(), 0);
        EXPECT_EQ(steps.back(), 100);
        for (size_t i = 1; i < steps.size(); ++i) EXPECT_LT(steps[i - 1], steps[i]) << args << " step " << i;
        EXPECT_EQ(Attr(dump_, "TopWindow"), "WBetweenLevel");
    }
}

}  // namespace
