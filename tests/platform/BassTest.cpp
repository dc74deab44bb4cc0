#include "platform/Bass.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AudioTestData.h"
#include "base/OrvStream.h"
#include "platform/AudioMixer.h"

using namespace audiotest;

namespace {

// Every case opens the library without a sound card and closes it again, so
// the cases do not see each other's handles.
class BassTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
        ASSERT_TRUE(BASS_Start());
    }
    void TearDown() override { BASS_Free(); }

    static std::vector<float> Render(size_t frames) {
        std::vector<float> out(frames * 2);
        EXPECT_TRUE(BASS_Render(out.data(), frames));
        return out;
    }
};

}  // namespace

TEST(BassLibrary, VersionAndCallsWithoutInitFail) {
    EXPECT_EQ(BASS_GetVersion(), 0x00080001u);
    EXPECT_EQ(BASS_GetVersion() & 0xFFFF, 1u);
    EXPECT_EQ(BASS_GetVersion() >> 16, 8u);
    std::vector<uint8_t> ogg = SineOgg(1000);
    EXPECT_EQ(BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, 0x20000), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Start());
    EXPECT_FALSE(BASS_Pause());
    EXPECT_FALSE(BASS_Stop());
    EXPECT_FALSE(BASS_IsPaused());
    EXPECT_FALSE(BASS_SetGlobalVolumes(50, 50, 0));
    EXPECT_EQ(BASS_SamplePlayEx(1, 0, -1, 100, -101, false), 0u);
    EXPECT_FALSE(BASS_ChannelStop(1));
    float out[4];
    EXPECT_FALSE(BASS_Render(out, 2));
}

TEST(BassLibrary, DefaultDeviceOpensOrFailsWithoutBlocking) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    bool opened = BASS_Init(BASS_DEVICE_DEFAULT, 44100, 0, nullptr);
    if (opened) {
        EXPECT_FALSE(BASS_Init(BASS_DEVICE_DEFAULT, 44100, 0, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
        EXPECT_TRUE(BASS_Start());
        // A real device mixes on its own thread; offline rendering is refused.
        float out[4];
        EXPECT_FALSE(BASS_Render(out, 2));
        EXPECT_TRUE(BASS_Pause());
        EXPECT_TRUE(BASS_Stop());
    }
    BASS_Free();
    // Another rate than the mixer's, or a device that is not there, fails.
    EXPECT_FALSE(BASS_Init(BASS_DEVICE_NOSOUND, 22050, 0, nullptr));
    EXPECT_FALSE(BASS_Init(1000, 44100, 0, nullptr));
    BASS_Free();
}

TEST_F(BassTest, SamplePlaysAtVolumeAndSixthReplacesOldest) {
    std::vector<uint8_t> ogg = SineOgg(Rate);
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(s, 0u);
    HCHANNEL first = BASS_SamplePlayEx(s, 0, -1, 50, -101, false);
    ASSERT_NE(first, 0u);
    std::vector<float> out = Render(4410);
    EXPECT_NEAR(Rms(out, 441, 3969), 0.25 / std::sqrt(2.0), 0.02);

    for (int i = 0; i < 4; ++i) ASSERT_NE(BASS_SamplePlayEx(s, 0, -1, 50, -101, false), 0u);
    EXPECT_TRUE(BASS_ChannelIsActive(first));
    HCHANNEL sixth = BASS_SamplePlayEx(s, 0, -1, 50, -101, false);
    ASSERT_NE(sixth, 0u);
    EXPECT_FALSE(BASS_ChannelIsActive(first));
    EXPECT_TRUE(BASS_ChannelIsActive(sixth));

    ASSERT_TRUE(BASS_SampleStop(s));
    Render(1000);
    EXPECT_LT(Rms(Render(1000), 0, 1000), 1e-9);
    ASSERT_TRUE(BASS_SampleFree(s));
    EXPECT_FALSE(BASS_SampleFree(s));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(BASS_SamplePlayEx(s, 0, -1, 50, -101, false), 0u);
}

TEST_F(BassTest, LoadsRefuseBadInput) {
    std::vector<uint8_t> ogg = SineOgg(2000);
    // From memory the length must be given.
    EXPECT_EQ(BASS_SampleLoad(true, ogg.data(), 0, 0, 5, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_MusicLoad(true, ogg.data(), 0, 0, 5), 0u);
    EXPECT_EQ(BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 0, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size() / 2), 5, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    // An Ogg file is not a module, nor a module an Ogg file.
    EXPECT_EQ(BASS_MusicLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5), 0u);
    std::vector<uint8_t> mod = TestModule(2);
    EXPECT_EQ(BASS_SampleLoad(true, mod.data(), 0, uint32_t(mod.size()), 5, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(false, "/nonexistent/file.xm", 0, 0, 5), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    // Without the take-over flag a sixth playback is refused.
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 1, 0);
    ASSERT_NE(s, 0u);
    EXPECT_NE(BASS_SamplePlayEx(s, 0, -1, 100, -101, false), 0u);
    EXPECT_EQ(BASS_SamplePlayEx(s, 0, -1, 100, -101, false), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOCHAN);
}

TEST_F(BassTest, MusicFadeInAtPositionAndSlideOut) {
    std::vector<uint8_t> mod = TestModule(4);
    HMUSIC m = BASS_MusicLoad(true, mod.data(), 0, uint32_t(mod.size()), BASS_MUSIC_RAMP | BASS_MUSIC_LOOP);
    ASSERT_NE(m, 0u);
    ASSERT_TRUE(BASS_ChannelSetAttributes(m, -1, 0, -101));
    ASSERT_TRUE(BASS_ChannelSlideAttributes(m, -1, 100, -101, 500));
    ASSERT_TRUE(BASS_MusicPlayEx(m, 2, -1, true));
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    std::vector<float> in = Render(Rate);
    EXPECT_LT(Rms(in, 0, 2205), Rms(in, Rate / 2 + 2205, 2205) * 0.3);

    ASSERT_TRUE(BASS_ChannelSlideAttributes(m, -1, 0, -101, 300));
    std::vector<float> out = Render(Rate / 2);
    EXPECT_LT(Rms(out, Rate * 3 / 10 + 100, 2205), 1e-6);
    // A fade to 0 keeps the music playing (silently) until it is stopped.
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    ASSERT_TRUE(BASS_ChannelStop(m));
    EXPECT_FALSE(BASS_ChannelIsActive(m));
    EXPECT_FALSE(BASS_MusicPlayEx(m, 4, -1, true));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_TRUE(BASS_MusicFree(m));
    EXPECT_FALSE(BASS_MusicPlayEx(m, 0, -1, true));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(BassTest, PauseStartStopAndGlobalVolumes) {
    std::vector<uint8_t> ogg = SineOgg(Rate * 2);
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, 0x20000);
    HCHANNEL ch = BASS_SamplePlayEx(s, 0, -1, 100, -101, false);
    ASSERT_NE(ch, 0u);
    double full = Rms(Render(4410), 441, 3969);
    EXPECT_GT(full, 0.3);

    EXPECT_FALSE(BASS_IsPaused());
    ASSERT_TRUE(BASS_Pause());
    EXPECT_TRUE(BASS_IsPaused());
    Render(TAudioMixer::DeclickFrames);  // the pause's fade
    EXPECT_EQ(Rms(Render(4410), 0, 4410), 0.0);
    EXPECT_TRUE(BASS_ChannelIsActive(ch));
    ASSERT_TRUE(BASS_Start());
    EXPECT_FALSE(BASS_IsPaused());
    EXPECT_NEAR(Rms(Render(4410), 0, 4410), full, 0.02);

    ASSERT_TRUE(BASS_SetGlobalVolumes(100, 25, 0));
    Render(TAudioMixer::DeclickFrames);
    int music = -1, samples = -1, stream = -1;
    ASSERT_TRUE(BASS_GetGlobalVolumes(&music, &samples, &stream));
    EXPECT_EQ(music, 100);
    EXPECT_EQ(samples, 25);
    EXPECT_EQ(stream, 0);
    EXPECT_NEAR(Rms(Render(4410), 0, 4410), full * 0.25, 0.02);

    // Stop ends every channel and the output; Start brings the output back.
    ASSERT_TRUE(BASS_Stop());
    EXPECT_TRUE(BASS_IsPaused());
    ASSERT_TRUE(BASS_Start());
    Render(500);
    EXPECT_FALSE(BASS_ChannelIsActive(ch));
    EXPECT_EQ(Rms(Render(1000), 0, 1000), 0.0);
    // Paused or stopped, the output is silence, not a stalled device.
    ASSERT_TRUE(BASS_Pause());
    std::vector<float> quiet(2000, 1.0f);
    ASSERT_TRUE(BASS_Render(quiet.data(), 1000));
    EXPECT_EQ(Rms(quiet, 0, 1000), 0.0);
}

TEST_F(BassTest, SetAttributesChangesVolumeAndPanOfAPlayback) {
    std::vector<uint8_t> ogg = SineOgg(Rate);
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, 0x20000);
    HCHANNEL ch = BASS_SamplePlayEx(s, 0, -1, 100, 100, false);
    std::vector<float> out = Render(2000);
    EXPECT_EQ(out[2 * 1000], 0.0f);  // panned hard right: the left side is silent
    ASSERT_TRUE(BASS_ChannelSetAttributes(ch, -1, 10, -101));
    Render(500);
    out = Render(4410);
    EXPECT_NEAR(Rms(out, 0, 4410), 0.1 * 0.5 / 2.0, 0.01);  // right side only at a tenth
    EXPECT_FALSE(BASS_ChannelSetAttributes(987654, -1, 10, -101));
}

// The real device path: SDL's disk driver stands for a sound card, mixing on
// its own thread (here several times faster than real time) and writing
// what would be heard to a file, while this thread calls in as the game does.
TEST(BassLibrary, DeviceThreadPlaysWhatTheGameCallsFor) {
    const std::string file = ::testing::TempDir() + "moswick_bass_device_" + std::to_string(getpid()) + ".raw";
    std::remove(file.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    const bool opened = BASS_Init(BASS_DEVICE_DEFAULT, 44100, 0, nullptr);
    unsetenv("SDL_DISKAUDIODELAY");
    unsetenv("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!opened) GTEST_SKIP() << "SDL has no disk audio driver here";
    ASSERT_TRUE(BASS_Start());

    std::vector<uint8_t> ogg = SineOgg(Rate / 4);
    std::vector<uint8_t> mod = TestModule(4);
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, BASS_SAMPLE_OVER_POS);
    HMUSIC m = BASS_MusicLoad(true, mod.data(), 0, uint32_t(mod.size()), BASS_MUSIC_RAMP | BASS_MUSIC_LOOP);
    ASSERT_NE(s, 0u);
    ASSERT_NE(m, 0u);
    // Every kind of call, interleaved with the device's mixing.
    for (int i = 0; i < 200; ++i) {
        HCHANNEL ch = BASS_SamplePlayEx(s, 0, -1, 60 + i % 40, -101, false);
        EXPECT_NE(ch, 0u);
        BASS_ChannelSlideAttributes(ch, -1, 20, -101, 50);
        if (i % 7 == 0) BASS_SampleStop(s);
        if (i % 20 == 0) {
            BASS_ChannelSetAttributes(m, -1, 0, -101);
            BASS_ChannelSlideAttributes(m, -1, 100, -101, 200);
            EXPECT_TRUE(BASS_MusicPlayEx(m, uint32_t(i / 20 % 4), -1, true));
        }
        if (i % 50 == 25) BASS_Pause();
        if (i % 50 == 30) BASS_Start();
        BASS_SetGlobalVolumes(100 - i % 10, 100, 0);
        SDL_Delay(1);
    }
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    // Let a second of sound reach the file (the device runs ahead of real
    // time; the wait is bounded for a very slow machine).
    for (int wait = 0; wait < 1000; ++wait) {
        struct stat st {};
        if (stat(file.c_str(), &st) == 0 && st.st_size > off_t(Rate) * 8 * 2) break;
        SDL_Delay(10);
    }
    EXPECT_TRUE(BASS_MusicFree(m));
    EXPECT_TRUE(BASS_SampleFree(s));
    BASS_Free();

    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(file, bytes));
    std::remove(file.c_str());
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    ASSERT_GT(out.size() / 2, size_t(Rate));
    double loudest = 0;
    for (size_t at = 0; at + 4410 <= out.size() / 2; at += 4410) loudest = std::max(loudest, Rms(out, at, 4410));
    EXPECT_GT(loudest, 0.02);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v) && std::fabs(v) <= 1.0f; }));
}

TEST_F(BassTest, SamplePlayFrequencyZeroOrMinusOneIsTheSamplesOwn) {
    // A file at 22050 Hz: its own rate is its default frequency.
    std::vector<uint8_t> ogg = SineOgg(11025, 440.0, 0.5f, 22050);
    HSAMPLE s = BASS_SampleLoad(true, ogg.data(), 0, uint32_t(ogg.size()), 5, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(s, 0u);
    BASS_SAMPLE info;
    ASSERT_TRUE(BASS_SampleGetInfo(s, &info));
    EXPECT_EQ(info.freq, 22050u);
    EXPECT_EQ(info.max, 5u);
    EXPECT_EQ(info.flags, BASS_SAMPLE_OVER_POS);
    EXPECT_NEAR(double(info.length), Rate / 2, 2.0);
    EXPECT_FALSE(BASS_SampleGetInfo(s + 1000, &info));
    EXPECT_FALSE(BASS_SampleGetInfo(s, nullptr));

    // 0 and -1 both play at 22050 Hz; 44100 Hz plays twice as fast.
    for (int freq : {0, -1, 44100}) {
        HCHANNEL ch = BASS_SamplePlayEx(s, 0, freq, 100, -101, false);
        ASSERT_NE(ch, 0u);
        int got = 0, volume = 0, pan = 1;
        ASSERT_TRUE(BASS_ChannelGetAttributes(ch, &got, &volume, &pan));
        EXPECT_EQ(got, freq > 0 ? freq : 22050);
        EXPECT_EQ(volume, 100);
        EXPECT_EQ(pan, 0);
        size_t frames = 0;
        while (BASS_ChannelIsActive(ch) && frames < size_t(Rate)) {
            Render(100);
            frames += 100;
        }
        EXPECT_NEAR(double(frames), freq > 0 ? Rate / 4 : Rate / 2, 150.0) << freq;
    }
    EXPECT_FALSE(BASS_ChannelGetAttributes(987654, nullptr, nullptr, nullptr));
}
