// The effect viewer: its command line, a headless run of a game effect that
// draws and loops, and a clear failure for a broken file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/OrvStream.h"
#include "fx/OrvFXParticles.h"
#include "game/EffectViewer.h"
#include "render/PictureCodec.h"

namespace {

std::string EffectPath(const std::string& name) {
    return std::string(MOSWICK_SOURCE_DIR) + "/data/effects/" + name;
}

}  // namespace

TEST(EffectViewer, CommandLine) {
    const char* ok[] = {"moswick", "--effect", "a.xml", "--frames", "10", "--fixed-step", "16", "--no-window"};
    TEffectViewerOptions o;
    std::string error;
    EXPECT_TRUE(IsEffectViewerCommand(8, ok));
    ASSERT_TRUE(o.Parse(8, ok, error)) << error;
    EXPECT_EQ(o.EffectFile, "a.xml");
    EXPECT_EQ(o.Frames, 10u);
    EXPECT_EQ(o.FixedStepMs, 16u);
    EXPECT_TRUE(o.NoWindow);
    const char* bad[] = {"moswick", "--effect", "a.xml", "--frames", "-3"};
    EXPECT_FALSE(TEffectViewerOptions().Parse(5, bad, error));
    const char* missing[] = {"moswick", "--effect"};
    EXPECT_FALSE(TEffectViewerOptions().Parse(2, missing, error));
    const char* game[] = {"moswick", "--frames", "3"};
    EXPECT_FALSE(IsEffectViewerCommand(3, game));
}

TEST(EffectViewer, PlaysAndLoopsAnEffectHeadless) {
    const std::string shot = std::string(MOSWICK_BUILD_DIR) + "/effect-viewer-test.png";
    TEffectViewerOptions o;
    o.EffectFile = EffectPath("SparkleEffect.xml");
    o.Frames = 120;  // 2.4 s at 20 ms: the 1.5 s effect ends and starts again
    o.NoWindow = true;
    o.ScreenshotFile = shot;
    TEffectViewerResult r;
    ASSERT_EQ(RunEffectViewer(o, &r), 0);
    EXPECT_EQ(r.Frames, 120u);
    EXPECT_EQ(r.Finishes, 1u);
    EXPECT_GT(r.PeakParticles, 10);
    EXPECT_GT(r.LitPixels, 100u);
    std::string png;
    ASSERT_TRUE(ReadWholeFile(shot, png));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    std::filesystem::remove(shot);
}

// Every effect file of the game plays in the viewer: it draws within its
// first half second, the one-shot effects end (and start again) within four
// seconds, and the ones the game removes itself keep running.
TEST(EffectViewer, ShowsEveryGameEffect) {
    const std::vector<std::string> running = {"BonusAmulet.xml", "BonusBombPauk.xml", "ClickHereEffect.xml"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(MOSWICK_SOURCE_DIR) + "/data/effects")) {
        if (entry.path().extension() != ".xml") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        TEffectViewerOptions o;
        o.EffectFile = entry.path().string();
        o.NoWindow = true;
        o.Frames = 25;
        TEffectViewerResult r;
        ASSERT_EQ(RunEffectViewer(o, &r), 0);
        EXPECT_GT(r.LitPixels, 50u);
        o.Frames = 200;
        ASSERT_EQ(RunEffectViewer(o, &r), 0);
        EXPECT_GT(r.PeakParticles, 0);
        const bool keepsRunning = std::find(running.begin(), running.end(), name) != running.end();
        if (keepsRunning)
            EXPECT_EQ(r.Finishes, 0u);
        else
            EXPECT_GE(r.Finishes, 1u);
    }
    EXPECT_EQ(files, 10);
}

TEST(EffectViewer, BrokenFileFailsCleanly) {
    const std::string path = std::string(MOSWICK_BUILD_DIR) + "/effect-viewer-broken.xml";
    const std::string text = "<ParticleEffect Name=\"B\"><Functions><Function Dim=\"2\" Type=\"spiral\"/></Functions>";
    ASSERT_TRUE(WriteFileAtomically(path, text.data(), text.size()));
    TEffectViewerOptions o;
    o.EffectFile = path;
    o.Frames = 5;
    o.NoWindow = true;
    EXPECT_EQ(RunEffectViewer(o), 1);
    o.EffectFile = path + ".missing";
    EXPECT_EQ(RunEffectViewer(o), 1);
    std::filesystem::remove(path);
    // A folder used to abort the program.
    o.EffectFile = MOSWICK_BUILD_DIR;
    EXPECT_EQ(RunEffectViewer(o), 1);
    // A good effect padded past the size limit is refused before it is read.
    std::string padded;
    ASSERT_TRUE(ReadWholeFile(EffectPath("SparkleEffect.xml"), padded));
    padded += std::string(kMaxEffectFileSize, ' ');
    ASSERT_TRUE(WriteFileAtomically(path, padded.data(), padded.size()));
    o.EffectFile = path;
    EXPECT_EQ(RunEffectViewer(o), 1);
    std::filesystem::remove(path);
}

// An effect can be tried over a real picture: the backdrop is drawn under it
// from the top left, and a backdrop that cannot be read stops the viewer.
TEST(EffectViewer, PlaysOverABackdropPicture) {
    const std::string dir = std::string(MOSWICK_BUILD_DIR);
    const std::string back = dir + "/effect-viewer-backdrop.png";
    const std::string shot = dir + "/effect-viewer-backdrop-shot.png";
    TPicture white = TPicture::Create(900, 500, 3);
    std::fill(white.Pixels.begin(), white.Pixels.end(), uint8_t(250));
    SavePNGFile(back, white);

    TEffectViewerOptions o;
    o.EffectFile = EffectPath("Contour.xml");
    o.Frames = 10;
    o.NoWindow = true;
    o.BackdropFile = back;
    o.ScreenshotFile = shot;
    ASSERT_EQ(RunEffectViewer(o), 0);
    const TPicture frame = ConvertChannels(LoadPictureFile(shot), 3);
    ASSERT_EQ(frame.Width, 800);
    EXPECT_EQ(frame.Row(10)[30], 250);      // the picture where it reaches
    EXPECT_LT(frame.Row(560)[3 * 30], 80);  // the dim ground below it

    const char* args[] = {"moswick", "--effect", "a.xml", "--backdrop", "b.png"};
    std::string error;
    ASSERT_TRUE(o.Parse(5, args, error)) << error;
    EXPECT_EQ(o.BackdropFile, "b.png");
    o.EffectFile = EffectPath("Contour.xml");
    o.BackdropFile = dir + "/no-such-backdrop.png";
    EXPECT_EQ(RunEffectViewer(o), 1);
    std::filesystem::remove(back);
    std::filesystem::remove(shot);
}
