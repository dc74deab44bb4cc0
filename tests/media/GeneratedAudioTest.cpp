#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <fstream>
#include <set>
#include <sstream>

#include "../platform/AudioTestData.h"
#include "base/FileFolder.h"
#include "base/OrvStream.h"
#include "media/Music.h"
#include "platform/Bass.h"

using namespace audiotest;

namespace {

const std::filesystem::path OutputDir() {
    return std::filesystem::path(MOSWICK_BUILD_DIR) / "content" / "audio";
}

// RMS of the loudest 50 ms window: short interface sounds are judged by
// their body, not diluted by the silence after them.
double LoudestWindow(const std::vector<float>& out) {
    const size_t window = 2205;
    double best = 0;
    for (size_t start = 0; start + window <= out.size() / 2; start += window / 2)
        best = std::max(best, Rms(out, start, window));
    return best;
}

float PeakOf(const std::vector<float>& out) {
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    return peak;
}

// The names of a list file of the build, one a line.
std::vector<std::string> ListOf(const std::string& list) {
    std::string text;
    ReadWholeFile((OutputDir() / list).string(), text);
    std::vector<std::string> names;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

// The first channel of an Ogg Vorbis file as written, before any mixing.
std::vector<float> DecodeFirstChannel(const std::filesystem::path& path) {
    std::vector<float> pcm;
    OggVorbis_File vf;
    if (ov_fopen(path.string().c_str(), &vf) != 0) return pcm;
    float** data = nullptr;
    int section = 0;
    long got = 0;
    while ((got = ov_read_float(&vf, &data, 4096, &section)) > 0) pcm.insert(pcm.end(), data[0], data[0] + got);
    ov_clear(&vf);
    return pcm;
}

// Renders frames of the music started at order pos at full volume.
std::vector<float> RenderMusic(HMUSIC music, uint32_t pos, size_t frames) {
    std::vector<float> out(frames * 2);
    BASS_ChannelSetAttributes(music, -1, 100, -101);
    if (!BASS_MusicPlayEx(music, pos, -1, true)) return {};
    BASS_Render(out.data(), frames);
    return out;
}

// Correlation of the left channels of two renders (1: the same sound).
double Correlation(const std::vector<float>& a, const std::vector<float>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); i += 2) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 1.0;
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
    for (const char* name : {"1_get.ogg",
                             "2_put_on_main.ogg",
                             "3_put_on2.ogg",
                             "4_put_on3.ogg",
                             "5_rotate.ogg",
                             "6_put_on_chain.ogg",
                             "7_small_spider.ogg",
                             "8_bigl_spider.ogg",
                             "9_chainback.ogg",
                             "10_clock.ogg",
                             "11_chain_stop.ogg",
                             "13_artefact.ogg",
                             "14_artefact_complete.ogg",
                             "15_gameover_v1.ogg",
                             "16_win.ogg",
                             "17_chameleon.ogg",
                             "19_alarm.ogg",
                             "diamond1.ogg",
                             "diamond2.ogg",
                             "diamond3.ogg",
                             "diamond4.ogg",
                             "diamond5.ogg",
                             "PutBig.ogg",
                             "PutVeryBig.ogg",
                             "drop.ogg",
                             "renewal.ogg",
                             "error.ogg",
                             "click.ogg",
                             "over.ogg"})
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
    const std::string command =
        "\"" + tool.string() + "\" \"" + again.string() + "\" \"" MOSWICK_SOURCE_DIR "/data/music\"";
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

// Judged as written: each sound starts and ends without a click, carries no
// offset, and events of play sit at one loudness, interface sounds below.
TEST(GeneratedAudio, SoundsAreCleanAndEvenlyLoud) {
    const std::vector<std::string> sounds = ListOf("sounds.dat");
    ASSERT_GE(sounds.size(), 29u);
    const std::set<std::string> interfaceSounds = {"click.ogg", "over.ogg"};
    for (const std::string& name : sounds) {
        std::vector<float> pcm = DecodeFirstChannel(OutputDir() / name);
        ASSERT_GT(pcm.size(), size_t(Rate) / 50) << name;
        EXPECT_LT(std::fabs(pcm.front()), 0.03f) << name << " starts with a click";
        EXPECT_LT(std::fabs(pcm.back()), 0.01f) << name << " ends with a click";
        double sum = 0;
        float peak = 0;
        for (float v : pcm) {
            sum += v;
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_LT(std::fabs(sum / double(pcm.size())), 0.002) << name << " has a DC offset";
        EXPECT_LE(peak, 0.9f) << name;
        // Loudest 50 ms (or the whole of a shorter sound).
        const size_t window = std::min<size_t>(2205, pcm.size());
        double loudest = 0;
        for (size_t at = 0; at + window <= pcm.size(); at += window / 4) {
            double q = 0;
            for (size_t i = at; i < at + window; ++i) q += double(pcm[i]) * pcm[i];
            loudest = std::max(loudest, std::sqrt(q / double(window)));
        }
        if (interfaceSounds.count(name)) {
            EXPECT_GT(loudest, 0.02) << name;
            EXPECT_LT(loudest, 0.1) << name << " is louder than the events of play";
        } else {
            EXPECT_GT(loudest, 0.1) << name << " is quieter than -20 dB";
            EXPECT_LT(loudest, 0.224) << name << " is louder than -13 dB";
        }
    }
}

// The level flow starts the main music at 0 and at 5, 7, .. 17: each start
// must be a section of its own, and the song's wrap back to the title music
// must be seamless. Every music a scene names must be in "musics.dat".
TEST(GeneratedAudio, MusicStartsDistinctSectionsAndEveryScenesMusicIsListed) {
    const std::vector<std::string> musics = ListOf("musics.dat");
    ASSERT_FALSE(musics.empty());
    EXPECT_EQ(musics.front(), "vibe-hah.mo3");
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(MOSWICK_SOURCE_DIR) / "data" / "scenes")) {
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string key, music;
            if (words >> key >> music && key == "music") {
                EXPECT_NE(std::find(musics.begin(), musics.end(), music), musics.end())
                    << entry.path().filename() << " names " << music;
            }
        }
    }

    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile((OutputDir() / "vibe-hah.mo3").string(), bytes));
    HMUSIC music = BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), BASS_MUSIC_RAMP | BASS_MUSIC_LOOP);
    ASSERT_NE(music, 0u);

    std::vector<std::vector<float>> starts;
    for (uint32_t pos : {0u, 5u, 7u, 9u, 11u, 13u, 15u, 17u}) {
        starts.push_back(RenderMusic(music, pos, size_t(Rate) * 3));
        ASSERT_FALSE(starts.back().empty()) << pos;
        double sum = 0;
        for (float v : starts.back()) sum += v;
        EXPECT_LT(std::fabs(sum / double(starts.back().size())), 0.005) << "offset at order " << pos;
    }
    for (size_t i = 0; i < starts.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_LT(Correlation(starts[i], starts[j]), 0.8) << "starts " << i << " and " << j;

    // The wrap from the last order back to the first comes about 10.4 s
    // after the last order starts: around it no click, that is no jump
    // between frames far beyond the music's own, and no gap.
    std::vector<float> wrap = RenderMusic(music, 18, size_t(Rate) * 12);
    ASSERT_FALSE(wrap.empty());
    double ownStep = 0;
    float worstStep = 0;
    size_t counted = 0;
    for (size_t f = size_t(Rate) * 9; f + 1 < size_t(Rate) * 12; ++f) {
        float step = std::fabs(wrap[2 * f + 2] - wrap[2 * f]);
        ownStep += step;
        ++counted;
        worstStep = std::max(worstStep, step);
    }
    ownStep /= double(counted);
    EXPECT_LT(worstStep, ownStep * 40) << "a click around the wrap (mean step " << ownStep << ")";
    for (size_t second = 9; second < 12; ++second) EXPECT_GT(Rms(wrap, second * Rate, Rate), 0.02) << second;
    BASS_ChannelStop(music);
    BASS_MusicFree(music);
    BASS_Free();
}
