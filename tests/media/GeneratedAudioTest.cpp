#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "../platform/AudioTestData.h"
#include "base/FileFolder.h"
#include "base/OrvStream.h"
#include "media/Music.h"
#include "platform/Bass.h"

using namespace audiotest;

namespace {

const std::filesystem::path OutputDir() { return std::filesystem::path(MOSWICK_BUILD_DIR) / "content" / "audio"; }

// RMS of the loudest 50 ms window: short interface sounds are judged by
// their body, not diluted by the silence after them.
double LoudestWindow(const std::vector<float>& out) {
    const size_t window = 2205;
    double best = 0;
    for (size_t start = 0; start + window <= out.size() / 2; start += window / 2) best = std::max(best, Rms(out, start, window));
    return best;
}

float PeakOf(const std::vector<float>& out) {
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    return peak;
}

}  // namespace

// The game's own generated sounds and music, as the build wrote them.
TEST(GeneratedAudio, EverySoundAndMusicDecodesAndIsAudible) {
    const std::filesystem::path dir = OutputDir();
    ASSERT_TRUE(std::filesystem::exists(dir / "sounds.dat")) << dir;
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    BASS_SetGlobalVolumes(100, 100, 0);

    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        TMemoryStream s;
        s.LoadFromFile(entry.path().string());
        archive.AddFile(entry.path().filename().string(), 0, s);
        names.push_back(entry.path().filename().string());
    }
    TGameAudio audio;
    audio.LoadSounds(archive);
    audio.LoadMusics(archive);

    // Every sound the game plays is listed.
    for (const char* name :
         {"1_get.ogg", "2_put_on_main.ogg", "3_put_on2.ogg", "4_put_on3.ogg", "5_rotate.ogg", "6_put_on_chain.ogg",
          "7_small_spider.ogg", "8_bigl_spider.ogg", "9_chainback.ogg", "10_clock.ogg", "11_chain_stop.ogg",
          "13_artefact.ogg", "14_artefact_complete.ogg", "15_gameover_v1.ogg", "16_win.ogg", "17_chameleon.ogg",
          "19_alarm.ogg", "diamond1.ogg", "diamond2.ogg", "diamond3.ogg", "diamond4.ogg", "diamond5.ogg",
          "PutBig.ogg", "PutVeryBig.ogg", "drop.ogg", "renewal.ogg", "error.ogg", "click.ogg", "over.ogg"})
        EXPECT_GE(FindAudio(name, audio.Table), 0) << name;
    EXPECT_GE(FindAudio("vibe-hah.mo3", audio.Table), 0);

    for (const TAudioItem& item : audio.Table) {
        ASSERT_NE(item.Handle, 0u) << item.Name;
        if (item.Kind == akSample) {
            HCHANNEL ch = BASS_SamplePlayEx(item.Handle, 0, -1, 100, -101, false);
            ASSERT_NE(ch, 0u) << item.Name;
            // Listen until the playback ends (at most four seconds).
            std::vector<float> out;
            std::vector<float> chunk(4410 * 2);
            while (BASS_ChannelIsActive(ch) && out.size() < size_t(Rate) * 4 * 2) {
                BASS_Render(chunk.data(), 4410);
                out.insert(out.end(), chunk.begin(), chunk.end());
            }
            EXPECT_GT(LoudestWindow(out), 0.02) << item.Name;
            EXPECT_LE(PeakOf(out), 0.95f) << item.Name;  // normalised below clipping
            // Sounds are events: each is over within three seconds.
            size_t last = out.size() / 2;
            while (last > 0 && std::fabs(out[2 * last - 2]) < 0.001f) --last;
            EXPECT_LT(last, size_t(Rate) * 3) << item.Name;
            BASS_SampleStop(item.Handle);
            BASS_Render(chunk.data(), 1000);
        } else {
            // The main music has 19 orders at least; the level flow starts it
            // at 0 and at 5, 7, .. 17.
            uint32_t orders = item.Name == "vibe-hah.mo3" ? 19 : 1;
            std::vector<double> levels;
            for (uint32_t pos = 0; pos < orders; ++pos) {
                if (item.Name == "vibe-hah.mo3" && pos != 0 && (pos < 5 || pos % 2 == 0)) continue;
                ASSERT_TRUE(BASS_MusicPlayEx(item.Handle, pos, -1, true)) << item.Name << " " << pos;
                std::vector<float> out(size_t(Rate) * 2);
                BASS_Render(out.data(), size_t(Rate));
                levels.push_back(Rms(out, 0, size_t(Rate)));
                EXPECT_GT(levels.back(), 0.02) << item.Name << " at " << pos;
                EXPECT_LT(PeakOf(out), 0.99f) << item.Name << " clips at " << pos;
                BASS_ChannelStop(item.Handle);
                BASS_Render(out.data(), 1000);
            }
            if (item.Name == "vibe-hah.mo3") {
                // From the last section on, the song runs past its end and
                // loops back into the title music without a gap.
                ASSERT_TRUE(BASS_MusicPlayEx(item.Handle, 17, -1, true));
                std::vector<float> out(size_t(Rate) * 2);
                for (int second = 0; second < 24; ++second) {
                    BASS_Render(out.data(), size_t(Rate));
                    EXPECT_GT(Rms(out, 0, size_t(Rate)), 0.01) << "silent in second " << second;
                }
                EXPECT_TRUE(BASS_ChannelIsActive(item.Handle));
                BASS_ChannelStop(item.Handle);
                BASS_Render(out.data(), 1000);
            }
        }
    }
    audio.Shutdown();
    BASS_Free();
}

TEST(GeneratedAudio, TheToolMakesTheSameBytesEveryRun) {
    const std::filesystem::path tool = std::filesystem::path(MOSWICK_BUILD_DIR) / "tools" / "audiogen" / "audiogen";
    ASSERT_TRUE(std::filesystem::exists(tool));
    // One folder per test process: several build trees may test at once.
    const std::filesystem::path again =
        std::filesystem::temp_directory_path() / ("moswick_audiogen_" + std::to_string(getpid()));
    std::filesystem::remove_all(again);
    const std::string command = "\"" + tool.string() + "\" \"" + again.string() + "\" \"" MOSWICK_SOURCE_DIR "/data/music\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OutputDir())) {
        std::string a, b;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), a));
        ASSERT_TRUE(ReadWholeFile((again / entry.path().filename()).string(), b)) << entry.path().filename();
        EXPECT_TRUE(a == b) << entry.path().filename() << " differs between two runs";
        ++files;
    }
    EXPECT_GE(files, 35u);
    std::filesystem::remove_all(again);
}
