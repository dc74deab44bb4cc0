#include "media/Music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "../platform/AudioTestData.h"
#include "base/FileFolder.h"
#include "base/OrvRandom.h"
#include "platform/Bass.h"

using namespace audiotest;

namespace {

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr));
        ASSERT_TRUE(BASS_Start());
        audio.ApplyVolumes();
    }
    void TearDown() override {
        audio.Shutdown();
        BASS_Free();
    }

    static std::vector<float> Render(size_t frames) {
        std::vector<float> out(frames * 2);
        EXPECT_TRUE(BASS_Render(out.data(), frames));
        return out;
    }
    static double Level(size_t frames) { return Rms(Render(frames), 0, frames); }

    static void Add(TFileFolder& archive, const std::string& name, const std::vector<uint8_t>& bytes) {
        TMemoryStream s(bytes);
        archive.AddFile(name, 0, s);
    }
    static void AddText(TFileFolder& archive, const std::string& name, const std::string& text) {
        TMemoryStream s{std::string_view(text)};
        archive.AddFile(name, 0, s);
    }

    TGameAudio audio;
};

}  // namespace

TEST_F(MusicTest, ListsLoadFromTheArchiveSkippingWhatIsMissing) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    AddText(archive, "sounds.dat", "a.ogg\r\n\r\n  b.ogg \nmissing.ogg\nbroken.ogg");
    AddText(archive, "musics.dat", "tune.xm\n");
    Add(archive, "a.ogg", SineOgg(4000));
    Add(archive, "b.ogg", SineOgg(4000, 660));
    Add(archive, "broken.ogg", {1, 2, 3, 4});
    Add(archive, "tune.xm", TestModule(2));

    audio.LoadSounds(archive);
    audio.LoadMusics(archive);
    ASSERT_EQ(audio.Table.size(), 4u);
    EXPECT_EQ(FindAudio("a.ogg", audio.Table), 0);
    EXPECT_EQ(FindAudio("b.ogg", audio.Table), 1);
    EXPECT_EQ(FindAudio("missing.ogg", audio.Table), -1);
    EXPECT_EQ(FindAudio("A.ogg", audio.Table), -1);  // the table's names are case-sensitive
    EXPECT_NE(AudioHandle("a.ogg", audio.Table), 0u);
    EXPECT_EQ(AudioHandle("broken.ogg", audio.Table), 0u);
    EXPECT_EQ(audio.Table[3].Kind, akMusic);
    EXPECT_NE(audio.Table[3].Handle, 0u);

    // A list that is not in the archive loads nothing and does not fail.
    LoadAudioList(archive, "nothing.dat", akSample, audio.Table);
    EXPECT_EQ(audio.Table.size(), 4u);
    // Playing what failed to load, or is unknown, is silent and harmless.
    audio.PlaySound("broken.ogg");
    audio.PlaySound("missing.ogg");
    EXPECT_EQ(Level(2000), 0.0);
}

TEST_F(MusicTest, MusicsReadInTheBackgroundEndAsALoadInOneGo) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    // The music played at once is not the list's first; one is broken, one
    // missing, one listed twice, one already in the table.
    AddText(archive, "musics.dat", "a.xm\nbroken.xm\ntitle.xm\nmissing.xm\nb.xm\na.xm\nold.xm\n");
    Add(archive, "a.xm", TestModule(2));
    Add(archive, "b.xm", TestModule(3));
    Add(archive, "title.xm", TestModule(4));
    Add(archive, "old.xm", TestModule(1));
    Add(archive, "broken.xm", {1, 2, 3, 4});
    const auto shape = [](const TAudioList& table) {
        std::vector<std::tuple<std::string, uint8_t, bool>> out;
        for (const TAudioItem& item : table) out.emplace_back(item.Name, item.Kind, item.Handle != 0);
        return out;
    };
    TGameAudio inOneGo;
    LoadAudioItem(*archive.Stream("old.xm"), "old.xm", akSample, inOneGo.Table);
    inOneGo.LoadMusics(archive);

    LoadAudioItem(*archive.Stream("old.xm"), "old.xm", akSample, audio.Table);
    audio.BeginLoadMusics(archive, "title.xm");
    // The music asked for first plays at once; the others wait.
    EXPECT_NE(AudioHandle("title.xm", audio.Table), 0u);
    EXPECT_EQ(AudioHandle("a.xm", audio.Table), 0u);
    audio.PlayMusic("title.xm", 0, 0);
    EXPECT_GT(Level(4410), 0.001);
    audio.FinishLoadingMusics();
    EXPECT_EQ(shape(audio.Table), shape(inOneGo.Table));
    for (const TAudioItem& item : audio.Table) {
        if (item.Handle != 0) {
            EXPECT_EQ(BASS_ChannelIsActive(item.Handle) != 0, item.Name == "title.xm") << item.Name;
        }
    }
    audio.FinishLoadingMusics();  // nothing left to finish
    EXPECT_EQ(shape(audio.Table), shape(inOneGo.Table));
    inOneGo.Shutdown();

    // Shut down while the musics are still being read: nothing is left
    // behind and nothing reads freed memory.
    audio.BeginLoadMusics(archive, "title.xm");
    EXPECT_FALSE(audio.PollMusicLoad());  // starts the thread
}

TEST_F(MusicTest, MusicsReadByPollingOrWaitedForWhenPlayed) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    AddText(archive, "musics.dat", "title.xm\na.xm\nb.xm\n");
    Add(archive, "a.xm", TestModule(2));
    Add(archive, "b.xm", TestModule(3));
    Add(archive, "title.xm", TestModule(4));

    // Polled once a frame: the first call starts the thread, a later one
    // takes the handles once it is done.
    audio.BeginLoadMusics(archive, "title.xm");
    EXPECT_FALSE(audio.PollMusicLoad());
    EXPECT_EQ(AudioHandle("a.xm", audio.Table), 0u);
    bool ended = false;
    for (int i = 0; i < 5000 && !ended; ++i) {
        ended = audio.PollMusicLoad();
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(ended);
    EXPECT_NE(AudioHandle("a.xm", audio.Table), 0u);
    EXPECT_NE(AudioHandle("b.xm", audio.Table), 0u);
    EXPECT_FALSE(audio.PollMusicLoad());  // nothing pending any more

    // Never polled: playing a music still to be read reads it first, and it
    // is heard.
    TGameAudio second;
    second.BeginLoadMusics(archive, "title.xm");
    second.PlayMusic("b.xm", 0, 0);
    EXPECT_NE(AudioHandle("b.xm", second.Table), 0u);
    EXPECT_NE(AudioHandle("a.xm", second.Table), 0u);
    EXPECT_NE(BASS_ChannelIsActive(AudioHandle("b.xm", second.Table)), 0u);
    second.Shutdown();
}

TEST_F(MusicTest, ReloadingANameReplacesItInPlaceAndDeleteShiftsDown) {
    LoadAudioItem(TMemoryStream(SineOgg(4000)), "x.ogg", akSample, audio.Table);
    LoadAudioItem(TMemoryStream(SineOgg(4000)), "y.ogg", akSample, audio.Table);
    uint32_t old = AudioHandle("x.ogg", audio.Table);
    LoadAudioItem(TMemoryStream(SineOgg(4000, 880)), "x.ogg", akSample, audio.Table);
    ASSERT_EQ(audio.Table.size(), 2u);
    EXPECT_EQ(FindAudio("x.ogg", audio.Table), 0);
    EXPECT_NE(AudioHandle("x.ogg", audio.Table), old);
    EXPECT_FALSE(BASS_SampleFree(old));  // the old handle was freed

    uint32_t y = AudioHandle("y.ogg", audio.Table);
    DeleteAudio(0, audio.Table);
    ASSERT_EQ(audio.Table.size(), 1u);
    EXPECT_EQ(FindAudio("y.ogg", audio.Table), 0);
    EXPECT_EQ(AudioHandle("y.ogg", audio.Table), y);
    DeleteAudio(5, audio.Table);
    DeleteAudio(-1, audio.Table);
    FreeAudio(7, audio.Table);
    EXPECT_EQ(audio.Table.size(), 1u);
}

TEST_F(MusicTest, SoundsPlayAtTheSoundVolumeAndNotAtZero) {
    LoadAudioItem(TMemoryStream(SineOgg(Rate)), "s.ogg", akSample, audio.Table);
    audio.SoundVolume = 0;
    audio.PlaySound("s.ogg");
    EXPECT_EQ(Level(4410), 0.0);
    EXPECT_FALSE(BASS_SampleStop(12345));

    // With the global volume at 100 the playback's own volume is heard.
    audio.SoundVolume = 60;
    BASS_SetGlobalVolumes(100, 100, 0);
    audio.PlaySound("s.ogg");
    std::vector<float> out = Render(4410);
    EXPECT_NEAR(Rms(out, 441, 3969), 0.6 * 0.5 / std::sqrt(2.0), 0.02);
    // Both volumes multiply when applied as the options do.
    StopAllAudio(audio.Table, true);
    Render(500);
    audio.SetSoundVolume(50);
    audio.PlaySound("s.ogg");
    out = Render(4410);
    EXPECT_NEAR(Rms(out, 441, 3969), 0.25 * 0.5 / std::sqrt(2.0), 0.02);
}

TEST_F(MusicTest, SilentMusicBecomesCurrentAndStartsWhenVolumeRises) {
    LoadAudioItem(TMemoryStream(TestModule(4)), "m.xm", akMusic, audio.Table);
    uint32_t m = AudioHandle("m.xm", audio.Table);
    audio.MusicVolume = 0;
    audio.ApplyVolumes();
    audio.PlayMusic("m.xm", 1000, 3);
    EXPECT_EQ(audio.CurrentMusic, "m.xm");
    EXPECT_FALSE(BASS_ChannelIsActive(m));

    // Rising from 0 starts the current music from its beginning.
    audio.SetMusicVolume(100);
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    Render(Rate * 3 / 2);
    EXPECT_GT(Level(4410), 0.001);

    // Another move of the slider keeps the music where it is.
    Render(Rate * 4);
    audio.SetMusicVolume(90);
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    audio.SetMusicVolume(-5);
    EXPECT_EQ(audio.MusicVolume, 0);
    audio.SetMusicVolume(250);
    EXPECT_EQ(audio.MusicVolume, 100);
}

TEST_F(MusicTest, StartingTheMusicThatPlaysRestartsItFromSilenceAtItsPosition) {
    LoadAudioItem(TMemoryStream(TestModule(4)), "m.xm", akMusic, audio.Table);
    uint32_t m = AudioHandle("m.xm", audio.Table);
    audio.PlayMusic("m.xm", 0, 0);
    Render(Rate);
    double quiet = Level(4410);
    ASSERT_GT(quiet, 0.001);

    audio.PlayMusic("m.xm", 1000, 3);
    std::vector<float> out = Render(Rate * 3 / 2);
    EXPECT_TRUE(BASS_ChannelIsActive(m));
    // Silent just after the start, then faded in to the louder order 3.
    EXPECT_LT(Rms(out, 300, 441), 0.2 * quiet);
    EXPECT_GT(Rms(out, Rate + 2205, 4410), 2.5 * quiet);
}

TEST_F(MusicTest, SwitchFadesOutThenStartsAtItsPositionAndFadesIn) {
    LoadAudioItem(TMemoryStream(TestModule(4)), "first.xm", akMusic, audio.Table);
    LoadAudioItem(TMemoryStream(TestModule(4)), "second.xm", akMusic, audio.Table);
    LoadAudioItem(TMemoryStream(SineOgg(Rate * 4, 440, 0.1f)), "bell.ogg", akSample, audio.Table);
    uint32_t first = AudioHandle("first.xm", audio.Table);
    uint32_t second = AudioHandle("second.xm", audio.Table);
    audio.PlayMusic("first.xm", 0, 3);
    Render(Rate);
    double playing = Level(4410);
    ASSERT_GT(playing, 0.001);

    audio.SwitchMusic("second.xm", 1000, 3, 1000, 0xFFFFFF00u);
    EXPECT_TRUE(audio.DelayedMusicPending);
    std::vector<float> fade = Render(Rate);
    EXPECT_LT(Rms(fade, Rate - 441, 441), 0.03 * playing);
    EXPECT_GT(Rms(fade, Rate / 2 - 2205, 2205), 0.2 * playing);
    // The new music waits for its time (which lies past the clock's wrap).
    EXPECT_FALSE(audio.UpdateDelayedMusic(0xFFFFFF00u + 500));
    EXPECT_FALSE(audio.UpdateDelayedMusic(0xFFFFFF00u + 1000));
    audio.PlaySound("bell.ogg");
    EXPECT_TRUE(audio.UpdateDelayedMusic(0xFFFFFF00u + 1001));
    EXPECT_FALSE(audio.DelayedMusicPending);
    EXPECT_FALSE(audio.UpdateDelayedMusic(0xFFFFFF00u + 5000));
    EXPECT_EQ(audio.CurrentMusic, "second.xm");
    EXPECT_FALSE(BASS_ChannelIsActive(first));
    EXPECT_TRUE(BASS_ChannelIsActive(second));
    // The sample keeps playing through the switch, the new music starts silent.
    EXPECT_GT(Level(200), 0.05);
    BASS_SampleStop(AudioHandle("bell.ogg", audio.Table));
    Render(200);

    std::vector<float> in = Render(Rate * 3 / 2);
    StopAllAudio(audio.Table, true);
    EXPECT_LT(Rms(in, 0, 2205), Rms(in, Rate + 2205, 2205) * 0.3);
}

TEST_F(MusicTest, SwitchStartsAtTheRequestedOrder) {
    LoadAudioItem(TMemoryStream(TestModule(4)), "m.xm", akMusic, audio.Table);
    audio.SwitchMusic("m.xm", 0, 0, 0, 100);
    ASSERT_TRUE(audio.UpdateDelayedMusic(101));
    double quiet = Level(4410);
    audio.SwitchMusic("m.xm", 0, 3, 0, 200);
    ASSERT_TRUE(audio.UpdateDelayedMusic(201));
    double loud = Level(4410);
    EXPECT_GT(loud, quiet * 2.5);

    // The level-complete switch cuts at once but starts only later.
    audio.SwitchMusic("m.xm", 0, 1, 1000, 300, 3000);
    EXPECT_FALSE(audio.UpdateDelayedMusic(301));
    EXPECT_FALSE(audio.UpdateDelayedMusic(3300));
    EXPECT_TRUE(audio.UpdateDelayedMusic(3301));
}

TEST_F(MusicTest, DelayedSoundAndShutdown) {
    LoadAudioItem(TMemoryStream(SineOgg(Rate)), "renew.ogg", akSample, audio.Table);
    LoadAudioItem(TMemoryStream(TestModule(2)), "m.xm", akMusic, audio.Table);
    audio.ScheduleSound("renew.ogg", 5000);
    EXPECT_FALSE(audio.UpdateDelayedSound(4000));
    EXPECT_EQ(Level(1000), 0.0);
    EXPECT_TRUE(audio.UpdateDelayedSound(5001));
    EXPECT_FALSE(audio.UpdateDelayedSound(6000));
    EXPECT_GT(Level(4410), 0.1);

    audio.PlayMusic("m.xm", 0, 0);
    uint32_t m = AudioHandle("m.xm", audio.Table);
    audio.Shutdown();
    EXPECT_TRUE(audio.Table.empty());
    EXPECT_FALSE(BASS_ChannelIsActive(m));
    EXPECT_FALSE(BASS_MusicFree(m));
}

TEST_F(MusicTest, OftenRepeatedSoundsVaryTheirPitchFromTheGivenSource) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    AddText(archive, "sounds.dat", "1_get.ogg\n16_win.ogg\n");
    Add(archive, "1_get.ogg", SineOgg(4000));
    Add(archive, "16_win.ogg", SineOgg(4000));
    audio.LoadSounds(archive);
    ASSERT_EQ(PitchSpreadPercent("1_get.ogg"), 4);
    ASSERT_EQ(PitchSpreadPercent("16_win.ogg"), 0);

    auto frequencies = [&](const std::string& name, int count) {
        std::vector<int> out;
        for (int i = 0; i < count; ++i) {
            int freq = 0;
            EXPECT_TRUE(BASS_ChannelGetAttributes(audio.PlaySound(name), &freq, nullptr, nullptr));
            out.push_back(freq);
        }
        return out;
    };
    // Without a source every sound keeps its own pitch.
    for (int f : frequencies("1_get.ogg", 3)) EXPECT_EQ(f, Rate);

    TOrvRandom random(77);
    audio.SetPitchRandom(&random);
    const std::vector<int> first = frequencies("1_get.ogg", 40);
    for (int f : first) {
        EXPECT_GE(f, int(Rate * 0.96) - 1);
        EXPECT_LE(f, int(Rate * 1.04) + 1);
    }
    EXPECT_GT(*std::max_element(first.begin(), first.end()) - *std::min_element(first.begin(), first.end()),
              int(Rate * 0.03));
    // A fanfare's notes are meant: never varied, and no draw is spent on it.
    for (int f : frequencies("16_win.ogg", 3)) EXPECT_EQ(f, Rate);
    // The same seed gives the same pitches: a seeded run sounds the same.
    random.Seed(77);
    EXPECT_EQ(frequencies("1_get.ogg", 40), first);
    // Nothing is started (and nothing drawn) at sound volume 0.
    audio.SoundVolume = 0;
    EXPECT_EQ(audio.PlaySound("1_get.ogg"), 0u);
    audio.SetPitchRandom(nullptr);
}
