#include "platform/AudioMixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AudioTestData.h"

using namespace audiotest;

namespace {

std::vector<float> Render(TAudioMixer& mixer, size_t frames) {
    std::vector<float> out(frames * 2);
    mixer.Render(out.data(), frames);
    return out;
}

// Largest jump between neighbouring frames of one channel: a click shows up
// as a jump far bigger than the tone's own steps.
float LargestStep(const std::vector<float>& out) {
    float worst = 0;
    for (size_t i = 2; i < out.size(); i += 2) worst = std::max(worst, std::fabs(out[i] - out[i - 2]));
    return worst;
}

const double FullSineRms = 0.5 / std::sqrt(2.0);

}  // namespace

TEST(AudioMixer, SamplePlaysAtItsVolumeAndPan) {
    TAudioMixer mixer;
    uint32_t s = mixer.LoadSamplePcm(Sine(Rate), 5, TAudioMixer::ovLongest);
    ASSERT_NE(s, 0u);

    ASSERT_NE(mixer.PlaySample(s, 0, -1, 100, 0, false), 0u);
    EXPECT_NEAR(Rms(Render(mixer, 4410), 0, 4410), FullSineRms, 0.01);
    mixer.StopSample(s);
    Render(mixer, 1000);

    ASSERT_NE(mixer.PlaySample(s, 0, -1, 40, 0, false), 0u);
    EXPECT_NEAR(Rms(Render(mixer, 4410), 0, 4410), 0.4 * FullSineRms, 0.01);
    mixer.StopSample(s);
    Render(mixer, 1000);

    // Global sample volume scales on top of the playback's own.
    mixer.SetGlobalVolumes(100, 50);
    ASSERT_NE(mixer.PlaySample(s, 0, -1, 100, -100, false), 0u);
    std::vector<float> out = Render(mixer, 4410);
    double left = 0, right = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        left += double(out[i]) * out[i];
        right += double(out[i + 1]) * out[i + 1];
    }
    EXPECT_NEAR(std::sqrt(left / 4410), 0.5 * FullSineRms, 0.01);
    EXPECT_LT(right, 1e-9);  // hard left
}

TEST(AudioMixer, VolumeZeroPlaybackIsSilentAndSampleEnds) {
    TAudioMixer mixer;
    uint32_t s = mixer.LoadSamplePcm(Sine(1000), 5, TAudioMixer::ovLongest);
    uint32_t ch = mixer.PlaySample(s, 0, -1, 0, 0, false);
    ASSERT_NE(ch, 0u);
    EXPECT_LT(Rms(Render(mixer, 500), 0, 500), 1e-9);
    Render(mixer, 1000);
    // Past its end a one-shot playback is gone.
    EXPECT_FALSE(mixer.IsPlaying(ch));
    EXPECT_EQ(mixer.ActivePlaybacks(s), 0);
    // A start past the end is refused.
    EXPECT_EQ(mixer.PlaySample(s, 1000, -1, 100, 0, false), 0u);
}

TEST(AudioMixer, SixthPlaybackReplacesTheLongestPlaying) {
    TAudioMixer mixer;
    uint32_t s = mixer.LoadSamplePcm(Sine(Rate * 2), 5, TAudioMixer::ovLongest);
    std::vector<uint32_t> ch;
    for (int i = 0; i < 5; ++i) {
        ch.push_back(mixer.PlaySample(s, 0, -1, 20, 0, false));
        ASSERT_NE(ch.back(), 0u);
        Render(mixer, 100);
    }
    EXPECT_EQ(mixer.ActivePlaybacks(s), 5);
    uint32_t sixth = mixer.PlaySample(s, 0, -1, 20, 0, false);
    ASSERT_NE(sixth, 0u);
    EXPECT_EQ(mixer.ActivePlaybacks(s), 5);
    EXPECT_FALSE(mixer.IsPlaying(ch[0]));
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(mixer.IsPlaying(ch[size_t(i)]));
    EXPECT_TRUE(mixer.IsPlaying(sixth));
    // The replaced playback fades out instead of clicking.
    std::vector<float> out = Render(mixer, 512);
    EXPECT_LT(LargestStep(out), 0.2f);

    // Without an override the limit refuses the new playback.
    uint32_t strict = mixer.LoadSamplePcm(Sine(Rate), 2, TAudioMixer::ovNone);
    EXPECT_NE(mixer.PlaySample(strict, 0, -1, 50, 0, false), 0u);
    EXPECT_NE(mixer.PlaySample(strict, 0, -1, 50, 0, false), 0u);
    EXPECT_EQ(mixer.PlaySample(strict, 0, -1, 50, 0, false), 0u);
}

TEST(AudioMixer, SlideReachesTargetInTheGivenTime) {
    TAudioMixer mixer;
    uint32_t s = mixer.LoadSamplePcm(Sine(Rate * 2), 1, TAudioMixer::ovLongest);
    uint32_t ch = mixer.PlaySample(s, 0, -1, 100, 0, false);
    ASSERT_TRUE(mixer.SlideVolume(ch, 0, 500));
    std::vector<float> out = Render(mixer, Rate / 2 + 2205);
    EXPECT_NEAR(mixer.Volume(ch), 0.0, 1e-9);
    // Halfway through the level has halved; at the end it is silent.
    EXPECT_NEAR(Rms(out, Rate / 4 - 441, 882), 0.5 * FullSineRms, 0.02);
    EXPECT_NEAR(Rms(out, 0, 441), FullSineRms, 0.02);
    EXPECT_LT(Rms(out, Rate / 2, 2205), 1e-6);
    // And it got there smoothly.
    EXPECT_LT(LargestStep(out), 0.1f);

    // A slide up from silence.
    ASSERT_TRUE(mixer.SlideVolume(ch, 80, 200));
    out = Render(mixer, Rate / 5);
    EXPECT_NEAR(mixer.Volume(ch), 80.0, 1e-6);
    EXPECT_NEAR(Rms(Render(mixer, 4410), 0, 4410), 0.8 * FullSineRms, 0.02);
}

TEST(AudioMixer, PauseSilencesAndResumeContinuesWhereItWas) {
    TAudioMixer mixer;
    // A rising ramp tells exactly where a playback is.
    std::vector<float> ramp(20000 * 2);
    for (size_t i = 0; i < 20000; ++i) ramp[2 * i] = ramp[2 * i + 1] = float(i) / 20000.0f;
    uint32_t s = mixer.LoadSamplePcm(ramp, 1, TAudioMixer::ovLongest);
    uint32_t ch = mixer.PlaySample(s, 0, -1, 100, 0, false);
    std::vector<float> before = Render(mixer, 1000);
    EXPECT_NEAR(before[2 * 999], 999.0f / 20000.0f, 1e-6);
    mixer.SetPaused(true);
    EXPECT_TRUE(mixer.Paused());
    uint64_t clock = mixer.Clock();
    // The output fades out over the declick time (a cut would click), then
    // is silent and stands still.
    std::vector<float> paused = Render(mixer, 5000);
    const size_t fade = TAudioMixer::DeclickFrames;
    EXPECT_GT(paused[0], 0.9f * 1000.0f / 20000.0f);
    EXPECT_LT(LargestStep(paused), 0.002f);
    EXPECT_TRUE(std::all_of(paused.begin() + 2 * fade, paused.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(mixer.Clock(), clock + fade);
    EXPECT_TRUE(mixer.IsPlaying(ch));
    EXPECT_EQ(Rms(Render(mixer, 3000), 0, 3000), 0.0);
    EXPECT_EQ(mixer.Clock(), clock + fade);

    // Resuming goes on from the place where the fade ended, fading in.
    mixer.SetPaused(false);
    std::vector<float> after = Render(mixer, 1000);
    EXPECT_LT(after[0], 0.05f * float(1000 + fade) / 20000.0f);
    EXPECT_LT(LargestStep(after), 0.002f);
    for (size_t k : {fade, fade + 100, size_t(900)})
        EXPECT_NEAR(after[2 * k], float(1000 + fade + k) / 20000.0f, 1e-6) << k;
}

TEST(AudioMixer, StopFadesOutWithoutClick) {
    TAudioMixer mixer;
    std::vector<float> dc(Rate * 2, 0.6f);
    uint32_t s = mixer.LoadSamplePcm(dc, 1, TAudioMixer::ovLongest);
    uint32_t ch = mixer.PlaySample(s, 0, -1, 100, 0, false);
    Render(mixer, 100);
    ASSERT_TRUE(mixer.StopChannel(ch));
    EXPECT_FALSE(mixer.IsPlaying(ch));
    std::vector<float> out = Render(mixer, 1000);
    EXPECT_LT(LargestStep(out), 0.6f / TAudioMixer::DeclickFrames * 1.5f);
    EXPECT_EQ(out[2 * 500], 0.0f);
    EXPECT_FALSE(mixer.StopChannel(123456));
}

TEST(AudioMixer, LoudMixIsClampedAndRateChangesPitch) {
    TAudioMixer mixer;
    std::vector<float> dc(Rate, 0.9f);
    uint32_t s = mixer.LoadSamplePcm(dc, 5, TAudioMixer::ovLongest);
    for (int i = 0; i < 3; ++i) mixer.PlaySample(s, 0, -1, 100, 0, false);
    std::vector<float> out = Render(mixer, 1000);
    EXPECT_FLOAT_EQ(*std::max_element(out.begin(), out.end()), 1.0f);

    // At twice the rate a sample ends in half the time.
    uint32_t t = mixer.LoadSamplePcm(Sine(4410), 1, TAudioMixer::ovLongest);
    uint32_t ch = mixer.PlaySample(t, 0, Rate * 2, 100, 0, false);
    Render(mixer, 2300);
    EXPECT_FALSE(mixer.IsPlaying(ch));
}

TEST(AudioMixer, OggSamplesDecodeAndBadDataFailsCleanly) {
    TAudioMixer mixer;
    std::vector<uint8_t> ogg = SineOgg(Rate / 2);
    ASSERT_GT(ogg.size(), 100u);
    uint32_t s = mixer.LoadSample(ogg.data(), ogg.size(), 5, TAudioMixer::ovLongest);
    ASSERT_NE(s, 0u);
    mixer.PlaySample(s, 0, -1, 100, 0, false);
    EXPECT_NEAR(Rms(Render(mixer, 4410), 441, 3969), FullSineRms, 0.03);

    // Another rate is resampled to the mixer's: same duration in seconds.
    std::vector<uint8_t> slow = SineOgg(11025, 440.0, 0.5f, 22050);
    uint32_t s2 = mixer.LoadSample(slow.data(), slow.size(), 1, TAudioMixer::ovLongest);
    ASSERT_NE(s2, 0u);
    uint32_t ch2 = mixer.PlaySample(s2, 0, -1, 100, 0, false);
    Render(mixer, Rate / 2 - 1000);
    EXPECT_TRUE(mixer.IsPlaying(ch2));
    Render(mixer, 2000);
    EXPECT_FALSE(mixer.IsPlaying(ch2));

    // Truncated at several places, garbage, empty, and a bad playback limit.
    for (size_t cut : {size_t(0), size_t(10), size_t(58), ogg.size() / 3, ogg.size() - 40})
        EXPECT_EQ(mixer.LoadSample(ogg.data(), cut, 5, TAudioMixer::ovLongest), 0u) << cut;
    std::vector<uint8_t> garbage(4000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 % 251);
    EXPECT_EQ(mixer.LoadSample(garbage.data(), garbage.size(), 5, TAudioMixer::ovLongest), 0u);
    EXPECT_EQ(mixer.LoadSample(nullptr, 0, 5, TAudioMixer::ovLongest), 0u);
    EXPECT_EQ(mixer.LoadSample(ogg.data(), ogg.size(), 0, TAudioMixer::ovLongest), 0u);
    // A damaged byte in the middle of the audio data.
    std::vector<uint8_t> damaged = ogg;
    for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] ^= 0x5A;
    EXPECT_EQ(mixer.LoadSample(damaged.data(), damaged.size(), 5, TAudioMixer::ovLongest), 0u);
}

TEST(AudioMixer, MusicStartsAtOrderAndLoops) {
    TAudioMixer mixer;
    std::vector<uint8_t> mod = TestModule(4);
    uint32_t m = mixer.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_NE(m, 0u);
    EXPECT_EQ(mixer.MusicOrders(m), 4);
    EXPECT_FALSE(mixer.IsPlaying(m));
    EXPECT_LT(Rms(Render(mixer, 4410), 0, 4410), 1e-9);

    ASSERT_TRUE(mixer.PlayMusic(m, 3, -1, true));
    EXPECT_EQ(mixer.MusicOrder(m), 3);
    double loud = Rms(Render(mixer, 4410), 0, 4410);
    ASSERT_TRUE(mixer.PlayMusic(m, 0, -1, true));
    double quiet = Rms(Render(mixer, 4410), 0, 4410);
    EXPECT_GT(quiet, 0.001);
    // Order 3 plays its note at volume 32, order 0 at 8.
    EXPECT_GT(loud, quiet * 2.5);

    // Four orders of 64 rows at the default speed take about 20 s; it loops.
    Render(mixer, size_t(Rate) * 25);
    EXPECT_TRUE(mixer.IsPlaying(m));
    EXPECT_FALSE(mixer.PlayMusic(m, 4, -1, true));

    ASSERT_TRUE(mixer.StopChannel(m));
    Render(mixer, 1000);
    EXPECT_LT(Rms(Render(mixer, 1000), 0, 1000), 1e-9);
    // Stopped, not freed: it can start again.
    EXPECT_TRUE(mixer.PlayMusic(m, 1, -1, true));
    EXPECT_TRUE(mixer.FreeMusic(m));
    EXPECT_FALSE(mixer.FreeMusic(m));
}

TEST(AudioMixer, FirstStartOfAMusicSoundsExactlyAsAnyLaterStartWithReset) {
    // The first start takes the module read at load; later ones a copy read
    // afresh. Both must begin in the very same state.
    std::vector<uint8_t> mod = TestModule(4);
    TAudioMixer first;
    const uint32_t a = first.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_NE(a, 0u);
    ASSERT_TRUE(first.PlayMusic(a, 1, -1, true));
    const std::vector<float> heard = Render(first, 8820);

    TAudioMixer later;
    const uint32_t b = later.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_TRUE(later.PlayMusic(b, 3, -1, true));
    Render(later, 6000);  // played past where it started
    ASSERT_TRUE(later.StopChannel(b));
    Render(later, 2 * TAudioMixer::DeclickFrames);
    for (int round = 0; round < 2; ++round) {  // the spare, then one read while playing
        ASSERT_TRUE(later.PlayMusic(b, 1, -1, true));
        const std::vector<float> again = Render(later, 8820);
        ASSERT_EQ(again.size(), heard.size());
        for (size_t i = 0; i < heard.size(); ++i)
            ASSERT_EQ(again[i], heard[i]) << "round " << round << ", sample " << i;
        ASSERT_TRUE(later.StopChannel(b));
        Render(later, 2 * TAudioMixer::DeclickFrames);
    }
}

TEST(AudioMixer, MusicFadesInFromSilenceAndHonoursGlobalVolume) {
    TAudioMixer mixer;
    std::vector<uint8_t> mod = TestModule(2);
    uint32_t m = mixer.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_TRUE(mixer.SetVolume(m, 0));
    ASSERT_TRUE(mixer.SlideVolume(m, 100, 1000));
    // The slide waits for the music to play.
    Render(mixer, Rate);
    EXPECT_NEAR(mixer.Volume(m), 0.0, 1e-9);
    ASSERT_TRUE(mixer.PlayMusic(m, 0, -1, true));
    std::vector<float> out = Render(mixer, Rate * 2);
    EXPECT_LT(Rms(out, 0, 2205), Rms(out, Rate + 2205, 2205) * 0.2);
    EXPECT_NEAR(mixer.Volume(m), 100.0, 1e-9);

    double full = Rms(Render(mixer, 4410), 0, 4410);
    mixer.SetGlobalVolumes(0, 100);
    // The global volume moves over the declick time, then holds.
    std::vector<float> turned = Render(mixer, 4410);
    EXPECT_LT(LargestStep(turned), 0.05f);
    EXPECT_LT(Rms(turned, TAudioMixer::DeclickFrames, 4410 - TAudioMixer::DeclickFrames), 1e-9);
    EXPECT_GT(full, 0.01);
}

TEST(AudioMixer, BadModulesFailCleanly) {
    TAudioMixer mixer;
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 31 % 253);
    EXPECT_EQ(mixer.LoadMusic(garbage.data(), garbage.size(), 5), 0u);
    EXPECT_EQ(mixer.LoadMusic(nullptr, 0, 5), 0u);
    std::vector<uint8_t> mod = TestModule(2);
    EXPECT_EQ(mixer.LoadMusic(mod.data(), 100, 5), 0u);
    // Unknown handles are refused everywhere.
    EXPECT_FALSE(mixer.PlayMusic(999, 0, -1, true));
    EXPECT_FALSE(mixer.SetVolume(999, 10));
    EXPECT_EQ(mixer.Volume(999), -1.0);
    EXPECT_FALSE(mixer.FreeSample(999));
    EXPECT_EQ(mixer.PlaySample(999, 0, -1, 100, 0, false), 0u);
}

TEST(AudioMixer, InstantVolumeCutOfASoundingMusicDoesNotClick) {
    TAudioMixer mixer;
    std::vector<uint8_t> mod = TestModule(2);
    uint32_t m = mixer.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_TRUE(mixer.PlayMusic(m, 1, -1, true));
    double before = Rms(Render(mixer, 3000), 2600, 400);
    ASSERT_GT(before, 0.01);
    ASSERT_TRUE(mixer.SlideVolume(m, 0, 0));
    std::vector<float> out = Render(mixer, 400);
    // Not gone in one frame: the first few milliseconds still fade...
    EXPECT_GT(Rms(out, 0, 32), 0.5 * before);
    // ... and after the declick time it is silent.
    EXPECT_LT(Rms(out, TAudioMixer::DeclickFrames, 200), 1e-6);
    EXPECT_NEAR(mixer.Volume(m), 0.0, 1e-9);
}

TEST(AudioMixer, RestartOfASoundingMusicFadesTheOldOutAndStartsFromSilence) {
    TAudioMixer mixer;
    std::vector<uint8_t> mod = TestModule(4);
    uint32_t m = mixer.LoadMusic(mod.data(), mod.size(), 5);
    ASSERT_TRUE(mixer.PlayMusic(m, 1, -1, true));
    double before = Rms(Render(mixer, 3000), 2600, 400);
    ASSERT_GT(before, 0.01);

    // The game's start of a music: silence it, slide it up, start it.
    ASSERT_TRUE(mixer.SetVolume(m, 0));
    EXPECT_NEAR(mixer.Volume(m), 0.0, 1e-9);
    ASSERT_TRUE(mixer.SlideVolume(m, 100, 500));
    ASSERT_TRUE(mixer.PlayMusic(m, 3, -1, true));
    EXPECT_EQ(mixer.MusicOrder(m), 3);
    std::vector<float> out = Render(mixer, Rate);
    // What played is not broken off...
    EXPECT_GT(Rms(out, 0, 32), 0.5 * before);
    // ... but gone after the declick time, and the new start comes up from
    // silence over the slide.
    EXPECT_LT(Rms(out, TAudioMixer::DeclickFrames, 441), 0.1 * before);
    EXPECT_GT(Rms(out, Rate * 6 / 10, 4410), 2.0 * before);
    EXPECT_NEAR(mixer.Volume(m), 100.0, 1e-9);

    // A stopped music that is restarted during its stop's fade also lets the
    // fade run out instead of cutting it.
    ASSERT_TRUE(mixer.StopChannel(m));
    Render(mixer, 20);
    ASSERT_TRUE(mixer.SetVolume(m, 0));
    ASSERT_TRUE(mixer.PlayMusic(m, 0, -1, true));
    out = Render(mixer, 400);
    EXPECT_GT(Rms(out, 0, 16), 0.3 * before);
    EXPECT_LT(Rms(out, TAudioMixer::DeclickFrames, 200), 1e-6);
}

namespace {

// Frames a single-shot playback sounds for before the mixer ends it.
size_t PlayedFrames(TAudioMixer& mixer, uint32_t channel, size_t limit) {
    size_t frames = 0;
    while (mixer.IsPlaying(channel) && frames < limit) {
        Render(mixer, 64);
        frames += 64;
    }
    return frames;
}

// The tone's frequency from the rising zero crossings of the left channel.
double MeasuredHz(const std::vector<float>& out, size_t from, size_t count) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < from + count && 2 * i < out.size(); ++i) {
        const float a = out[2 * (i - 1)], b = out[2 * i];
        if (a < 0 && b >= 0) {
            const double at = double(i - 1) + double(-a) / double(b - a);
            if (first < 0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * double(Rate) / (last - first) : 0.0;
}

// A tone that rises from and falls back to silence, as the game's sounds do.
std::vector<float> SoftTone(size_t frames, double hz) {
    std::vector<float> pcm = Sine(frames, hz);
    const size_t edge = Rate / 200;
    for (size_t i = 0; i < edge; ++i) {
        const float g = float(0.5 - 0.5 * std::cos(M_PI * double(i) / double(edge)));
        for (int c = 0; c < 2; ++c) {
            pcm[2 * i + c] *= g;
            pcm[2 * (frames - 1 - i) + c] *= g;
        }
    }
    return pcm;
}

}  // namespace

TEST(AudioMixer, OwnRatePlaysTheStoredFramesUnchanged) {
    // Noise-like content: any interpolation at all would show.
    std::vector<float> pcm(4000 * 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = float(int(i * 7919 % 1999) - 999) / 2000.0f;
    TAudioMixer mixer;
    const uint32_t own = mixer.LoadSamplePcm(pcm, 5, TAudioMixer::ovLongest);
    const uint32_t half = mixer.LoadSamplePcm(pcm, 5, TAudioMixer::ovLongest, Rate / 2);
    EXPECT_EQ(mixer.SampleFrequency(half), Rate / 2);
    // Default (-1 and 0), the own rate written out, and a sample whose own
    // rate is not the mixer's played at that rate: all frame for frame.
    const std::pair<uint32_t, int> plays[] = {{own, -1}, {own, 0}, {own, Rate}, {half, Rate / 2}};
    for (auto [sample, rate] : plays) {
        const uint32_t ch = mixer.PlaySample(sample, 0, rate, 100, 0, false);
        ASSERT_NE(ch, 0u);
        EXPECT_EQ(mixer.Rate(ch), sample == half ? Rate / 2 : Rate);
        std::vector<float> out = Render(mixer, 4000);
        EXPECT_EQ(std::memcmp(out.data(), pcm.data(), pcm.size() * sizeof(float)), 0) << rate;
        Render(mixer, 200);
    }
    // Out of range own rates are refused.
    EXPECT_EQ(mixer.LoadSamplePcm(pcm, 5, TAudioMixer::ovLongest, 50), 0u);
}

TEST(AudioMixer, RateSetsLengthAndPitchInProportion) {
    TAudioMixer mixer;
    const uint32_t s = mixer.LoadSamplePcm(Sine(Rate), 1, TAudioMixer::ovLongest);
    for (double factor : {1.05, 0.96, 1.5}) {
        const uint32_t ch = mixer.PlaySample(s, 0, int(std::lround(Rate * factor)), 100, 0, false);
        std::vector<float> out = Render(mixer, 4410);
        EXPECT_NEAR(MeasuredHz(out, 0, 4410), 440.0 * factor, 1.0) << factor;
        const size_t played = 4410 + PlayedFrames(mixer, ch, Rate * 2);
        EXPECT_NEAR(double(played), Rate / factor, 70.0) << factor;
    }
    // A sample whose own rate is 22050 played at 23152 Hz: 5% higher.
    const uint32_t low = mixer.LoadSamplePcm(Sine(Rate), 1, TAudioMixer::ovLongest, 22050);
    const uint32_t ch = mixer.PlaySample(low, 0, 23152, 100, 0, false);
    EXPECT_NEAR(MeasuredHz(Render(mixer, 4410), 0, 4410), 440.0 * 1.05, 1.0);
    // Changing the rate of a playback on the way, and refusing nonsense.
    EXPECT_TRUE(mixer.SetRate(ch, 22050));
    EXPECT_EQ(mixer.Rate(ch), 22050);
    EXPECT_NEAR(MeasuredHz(Render(mixer, 4410), 0, 4410), 440.0, 1.0);
    EXPECT_FALSE(mixer.SetRate(ch, 0));
    EXPECT_FALSE(mixer.SetRate(987654, 22050));
}

TEST(AudioMixer, PitchedPlaybackAddsNoClick) {
    TAudioMixer mixer;
    const std::vector<float> tone = SoftTone(Rate / 4, 880);
    const float ownStep = LargestStep(tone);
    const uint32_t s = mixer.LoadSamplePcm(tone, 5, TAudioMixer::ovLongest);
    for (double factor : {1.04, 0.97, 1.33}) {
        mixer.PlaySample(s, 0, int(std::lround(Rate * factor)), 100, 0, false);
        std::vector<float> out = Render(mixer, Rate / 2);
        // Starts from the sample's own silence, steps no more than the tone
        // itself does at the higher pitch, and ends in silence.
        EXPECT_LT(std::fabs(out[0]), 1e-6f);
        EXPECT_LT(LargestStep(out), ownStep * float(factor) * 1.02f) << factor;
        size_t last = out.size() / 2 - 1;
        while (last > 0 && out[2 * last] == 0.0f) --last;
        EXPECT_NEAR(double(last), double(Rate / 4) / factor, 3.0) << factor;
        EXPECT_LT(std::fabs(out[2 * last]), 0.002f) << factor;
    }
    // A loop of whole periods at another rate runs over its seam smoothly.
    const uint32_t loop = mixer.LoadSamplePcm(Sine(400, 441.0), 1, TAudioMixer::ovLongest);  // 4 whole periods
    const uint32_t ch = mixer.PlaySample(loop, 0, int(Rate * 1.03), 100, 0, true);
    std::vector<float> out = Render(mixer, 4000);
    EXPECT_LT(LargestStep(out), LargestStep(Sine(400, 441.0)) * 1.03f * 1.02f);
    mixer.StopChannel(ch);
}
