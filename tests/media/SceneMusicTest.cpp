// The scenes' music as a player hears it: stereo with the band spread out,
// real high content (hats, shakers, bells, plucked strings), and every tune
// at the loudness of the others. Run directly, it prints each tune's level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/AudioTestData.h"
#include "base/OrvStream.h"
#include "platform/Bass.h"

using namespace audiotest;

namespace {

std::filesystem::path AudioDir() {
    return std::filesystem::path(MOSWICK_BUILD_DIR) / "content" / "audio";
}

struct TLevels {
    double Rms = 0;   // both channels
    double Side = 0;  // RMS of (L - R) / 2 over RMS of (L + R) / 2
    double High = 0;  // share of the signal above a few kHz
};

// Levels of seconds of the music from its start.
TLevels Measure(const std::string& name, int seconds) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile((AudioDir() / name).string(), bytes)) << name;
    HMUSIC music = BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), BASS_MUSIC_RAMP | BASS_MUSIC_LOOP);
    EXPECT_NE(music, 0u) << name;
    TLevels l;
    if (!music) return l;
    BASS_ChannelSetAttributes(music, -1, 100, -101);
    BASS_MusicPlayEx(music, 0, -1, true);
    std::vector<float> out(size_t(Rate) * 2);
    double all = 0, mid = 0, side = 0, high = 0;
    float prevL = 0, prev2L = 0;
    size_t n = 0;
    for (int s = 0; s < seconds; ++s) {
        BASS_Render(out.data(), size_t(Rate));
        for (size_t i = 0; i + 1 < out.size(); i += 2) {
            float a = out[i], b = out[i + 1];
            all += 0.5 * (double(a) * a + double(b) * b);
            mid += 0.25 * double(a + b) * (a + b);
            side += 0.25 * double(a - b) * (a - b);
            // A second difference passes little below 4 kHz.
            float d2 = a - 2 * prevL + prev2L;
            high += double(d2) * d2 / 16.0;
            prev2L = prevL;
            prevL = a;
            ++n;
        }
    }
    BASS_ChannelStop(music);
    BASS_MusicFree(music);
    l.Rms = std::sqrt(all / double(n));
    l.Side = mid > 0 ? std::sqrt(side / mid) : 0;
    l.High = all > 0 ? std::sqrt(high / all) : 0;
    return l;
}

std::vector<std::string> SceneMusics() {
    std::string text;
    ReadWholeFile((AudioDir() / "musics.dat").string(), text);
    std::vector<std::string> names;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line != "vibe-hah.mo3") names.push_back(line);
    }
    return names;
}

}  // namespace

TEST(SceneMusic, EveryTuneIsStereoBrightAndAsLoudAsTheOthers) {
    std::vector<std::string> names = SceneMusics();
    ASSERT_GE(names.size(), 10u);
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    BASS_SetGlobalVolumes(100, 100, 0);
    std::vector<double> levels;
    for (const std::string& name : names) {
        TLevels l = Measure(name, 20);
        std::printf("%-18s level %5.1f dBFS  side/mid %4.2f  high %5.3f\n", name.c_str(), 20 * std::log10(l.Rms),
                    l.Side, l.High);
        // Instruments panned apart and echoes on the other side.
        EXPECT_GT(l.Side, 0.15) << name << " sounds mono";
        EXPECT_GT(l.High, 0.02) << name << " has a dull top";
        levels.push_back(20 * std::log10(l.Rms));
    }
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NEAR(levels[i], median, 3.0) << names[i] << " stands out from the other tunes";
    BASS_Free();
}
