// The game's music and sounds: one table of named audio items (Ogg Vorbis
// samples and tracker-module musics) loaded from the resource archive and
// played by their file names, plus the main window's audio state (volumes,
// the current music, a pending music switch and a pending sound).
//
// Everything here runs on the game thread; the audio library (Bass.h) plays
// behind it. Failures never throw: a name that is not in the table, an
// archive entry that is missing or a file that does not load simply leaves
// nothing to play.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvStream.h"

class TFileFolder;
class TOrvRandom;

// Kinds of audio items, as stored in the table and passed to the loaders.
enum : uint8_t {
    akSample = 0,
    akMusic = 1,
};

// One entry of the audio table.
struct TAudioItem {
    std::string Name;  // the archive file name; compared exactly
    uint8_t Kind = akSample;
    uint32_t Handle = 0;  // the audio library's sample or music handle; 0 when the load failed
};

// The audio table, in load order.
using TAudioList = std::vector<TAudioItem>;

// What the audio library is told when loading (fixed by the game).
constexpr uint32_t SampleMaxPlaybacks = 5;
constexpr uint32_t SampleLoadFlags = 0x20000;  // a new playback takes over the one that has played longest
constexpr uint32_t MusicLoadFlags = 5;         // volume ramping and looping

// Loads every file named in the archive's list file listName (plain text,
// one archive file name per line; blank lines and surrounding spaces are
// ignored) as items of the given kind. A missing list loads nothing; a
// listed file missing from the archive or failing to load is skipped (a
// failed load keeps its entry with handle 0).
void LoadAudioList(TFileFolder& archive, const std::string& listName, uint8_t kind, TAudioList& table);

// Loads the bytes of stream (all of it, whatever its position) as an item
// named name of the given kind. An entry of that name is reused in place
// (its old handle freed first); otherwise a new entry is appended. A failed
// load leaves the entry with handle 0.
void LoadAudioItem(const TMemoryStream& stream, const std::string& name, uint8_t kind, TAudioList& table);

// Index of the entry named exactly name (case-sensitive), or -1.
int FindAudio(const std::string& name, const TAudioList& table);

// The handle of the entry named name, or 0.
uint32_t AudioHandle(const std::string& name, const TAudioList& table);

// Frees the entry's handle in the library (the entry stays, handle 0). An
// index out of range does nothing.
void FreeAudio(int index, TAudioList& table);

// Frees the entry's handle and removes it; later entries move down. An
// index out of range does nothing.
void DeleteAudio(int index, TAudioList& table);

// Plays the item named name. A sample plays once at soundVolume unless that
// is 0, at frequency Hz (-1: its own rate). A music, unless musicVolume is
// 0, starts at order position order from silence and fades in to
// musicVolume over fadeTime ms; in every case currentMusic becomes name, so
// a music kept silent by volume 0 can be started later. A name not in the
// table does nothing. Returns the sample's playback channel, or 0 when no
// sample was started (musics included).
uint32_t PlayAudio(const std::string& name, TAudioList& table, int musicVolume, uint32_t fadeTime,
                   std::string& currentMusic, uint16_t order, int soundVolume, int frequency = -1);

// How far, in percent either way, the pitch of the named sound is varied
// each time the game plays it: the sounds heard over and over (taking,
// placing, turning, interface clicks), so a run of them does not sound
// like one recording; 0 for every other sound (tunes, chimes whose notes
// are meant).
int PitchSpreadPercent(const std::string& name);

// Stops every music of the table and, when alsoSamples, every sample's
// playbacks.
void StopAllAudio(TAudioList& table, bool alsoSamples);

// The main window's audio state and the operations the game calls on it.
// Times are the frame clock's 32-bit millisecond ticks; comparisons are
// safe across the tick counter's wrap.
class TGameAudio {
public:
    // Volumes 0..100 from the options.
    int MusicVolume = 100;
    int SoundVolume = 100;
    // The table of every loaded sample and music (owned).
    TAudioList Table;
    // The music that plays, or would play if its volume were not 0, and
    // the order position it was started at.
    std::string CurrentMusic;
    uint16_t CurrentMusicOrder = 0;

    // The pending music switch (SwitchMusic).
    bool DelayedMusicPending = false;
    uint32_t DelayedMusicTime = 0;
    std::string DelayedMusicName;
    uint32_t DelayedMusicFadeIn = 0;
    uint16_t DelayedMusicOrder = 0;

    // The pending sound (ScheduleSound).
    bool DelayedSoundPending = false;
    uint32_t DelayedSoundTime = 0;
    std::string DelayedSoundName;

    // Plays a sample by its file name at the sound volume (the interface
    // scripts' "PlaySound" and the rules of play). With a pitch source set,
    // a sound of PitchSpreadPercent > 0 plays at a rate drawn from it
    // within that spread of the sample's own. Returns the playback channel,
    // or 0 when nothing was started.
    uint32_t PlaySound(const std::string& name);

    // The random source of the sounds' pitch variation (not owned; null:
    // every sound at its own pitch). The game passes one seeded from the
    // run's seed, kept apart from the rules' own, so a run with --seed
    // sounds the same each time and the sounds never change the play.
    void SetPitchRandom(TOrvRandom* random) { pitchRandom_ = random; }

    // Plays a music or sample through PlayAudio with a fade of fadeTime ms
    // at order position order.
    void PlayMusic(const std::string& name, uint32_t fadeTime, uint16_t order);

    // Fades the current music out over fadeOut ms and schedules name to
    // start at order position order, fading in over fadeIn ms, once the
    // clock passes now + startDelay (startDelay < 0: now + fadeOut, the
    // usual case; the level-complete music waits longer than its fade). A
    // later call replaces a pending one.
    void SwitchMusic(const std::string& name, uint32_t fadeOut, uint16_t order, uint32_t fadeIn, uint32_t now,
                     int64_t startDelay = -1);

    // Starts the pending music once now has passed its time: every music
    // stops (samples keep playing) and the new one fades in. Returns true
    // when it started the switch. Called once a frame.
    bool UpdateDelayedMusic(uint32_t now);

    // Schedules a sample to play once the clock passes time (replacing a
    // pending one).
    void ScheduleSound(const std::string& name, uint32_t time);
    // Plays the pending sound once now has passed its time; true when it did.
    bool UpdateDelayedSound(uint32_t now);
    // Forgets the pending sound.
    void CancelDelayedSound() { DelayedSoundPending = false; }

    // Slides the current music to silence over ms (it keeps playing).
    void FadeOutMusic(uint32_t ms);

    // Hands both volumes to the library (BASS_SetGlobalVolumes).
    void ApplyVolumes();
    // The options' music slider: stores the volume (clamped to 0..100),
    // applies the volumes and, when the volume was 0 before (so the current
    // music never started), starts the current music from position 0.
    void SetMusicVolume(int volume);
    // The options' sound slider: stores the volume and applies it.
    void SetSoundVolume(int volume);

    // Loads "sounds.dat" as samples / "musics.dat" as musics from the archive.
    void LoadSounds(TFileFolder& archive);
    void LoadMusics(TFileFolder& archive);

    // LoadMusics in steps, so that start-up need not wait for musics it
    // does not play yet (reading a module takes several milliseconds).
    // BeginLoadMusics puts every listed music into the table, loads the one
    // named first at once and keeps a copy of the others' bytes (the archive
    // is not touched after it returns); until they are read they have
    // handle 0. PollMusicLoad, called once a frame, reads them on a thread of
    // its own (started at its first call, so that they do not take the
    // processor from the rest of start-up) and takes the handles when the
    // thread is done; FinishLoadingMusics waits for them (reading them here
    // when no thread was started). Playing a music still being read waits
    // for the load. The table then holds what LoadMusics would have put
    // there, in the same order. Shutdown finishes a load begun.
    void BeginLoadMusics(TFileFolder& archive, const std::string& first);
    // Returns true when a pending load ended in this call.
    bool PollMusicLoad();
    void FinishLoadingMusics();

    // Shutdown: deletes every entry from the front (freeing its handle),
    // stops all audio including samples, then stops the library.
    void Shutdown();

    TGameAudio();
    ~TGameAudio();
    TGameAudio(const TGameAudio&) = delete;
    TGameAudio& operator=(const TGameAudio&) = delete;

private:
    struct TMusicLoad;
    TOrvRandom* pitchRandom_ = nullptr;
    std::unique_ptr<TMusicLoad> musicLoad_;
};
