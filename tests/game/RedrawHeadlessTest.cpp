// The frame composed from the changed rectangles only must look exactly like
// the frame composed whole: the bot plays a scene, and at chosen moments the
// last frame of a normal run is compared pixel by pixel with the last frame
// of the same run with --full-redraw. A rectangle copied one pixel short, a
// track or a fading piece that moved without being marked, a cursor drawn
// over itself: each leaves pixels that differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "HeadlessRun.h"
#include "render/PictureCodec.h"

namespace {

using moswick_test::kSlowBuild;

class RedrawHeadlessTest : public moswick_test::HeadlessProgramTest {
protected:
    RedrawHeadlessTest() : HeadlessProgramTest("redraw") {}
    // Where the two frames differ, as "n pixels in left,top..right,bottom";
    // empty when they are the same.
    std::string Differences(const std::string& a, const std::string& b) {
        const TPicture pa = LoadPictureFile((dir_ / a).string());
        const TPicture pb = LoadPictureFile((dir_ / b).string());
        if (pa.Width != pb.Width || pa.Height != pb.Height) return "sizes differ";
        int n = 0, l = pa.Width, t = pa.Height, r = -1, bottom = -1;
        for (int y = 0; y < pa.Height; ++y)
            for (int x = 0; x < pa.Width; ++x) {
                const uint8_t* p = pa.Row(y) + size_t(x) * size_t(pa.Channels);
                const uint8_t* q = pb.Row(y) + size_t(x) * size_t(pb.Channels);
                if (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) continue;
                ++n;
                l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), bottom = std::max(bottom, y);
            }
        if (n == 0) return {};
        return std::to_string(n) + " pixels in " + std::to_string(l) + "," + std::to_string(t) + ".." +
               std::to_string(r) + "," + std::to_string(bottom);
    }
};

TEST_F(RedrawHeadlessTest, ThePartlyRedrawnFrameEqualsTheWholeOne) {
    // Scene 8 with this seed: a belt stud moving across a tile's last row
    // (800), a track pulsing in danger (2100), a placed piece's last fade
    // and the resting cursor (2500).
    const std::string play = "--start-scene 8 --autoplay --fixed-step 16 --seed 3 --frames ";
    for (const int frames : {800, 2100, 2500}) {
        if (kSlowBuild && frames > 800) break;
        const std::string n = std::to_string(frames);
        ASSERT_EQ(RunProgram(play + n + " --screenshot " + Path("part" + n + ".png")), 0) << Read("out.txt");
        ASSERT_EQ(RunProgram(play + n + " --full-redraw --screenshot " + Path("whole" + n + ".png")), 0);
        EXPECT_EQ(Differences("part" + n + ".png", "whole" + n + ".png"), "") << "after " << n << " frames";
    }
}

}  // namespace
