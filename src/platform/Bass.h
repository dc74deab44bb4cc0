// The game's audio library: the small set of BASS 1.8 style calls the game
// plays its music and sounds through, built on our own mixer (TAudioMixer)
// and an SDL2 audio device. Handles are plain 32-bit numbers; 0 is never a
// valid handle and is what every failed load or play returns.
//
// The library keeps one process-wide audio device, like the DLL it stands in
// for. Its calls may be made from the game thread while the device's own
// thread mixes; the mixer locks its state, so callers need no locking.
//
// Without a successful BASS_Init every call fails (returns 0 / false) and has
// no effect, so a game without an audio device simply runs silent.
#pragma once

#include <cstddef>
#include <cstdint>

using HMUSIC = uint32_t;
using HSAMPLE = uint32_t;
using HCHANNEL = uint32_t;

// BASS_Init devices: -1 the default output device, 0 no output at all (the
// mixer then only advances when BASS_Render is called, which is how tests
// listen), n > 0 the n-th output device of the system.
constexpr int BASS_DEVICE_DEFAULT = -1;
constexpr int BASS_DEVICE_NOSOUND = 0;

// BASS_MusicLoad flags.
constexpr uint32_t BASS_MUSIC_RAMP = 1;  // ramp volume changes inside the module (no clicks)
constexpr uint32_t BASS_MUSIC_LOOP = 4;  // loop forever instead of ending
// BASS_SampleLoad flags.
constexpr uint32_t BASS_SAMPLE_OVER_POS = 0x20000;  // a new playback over the limit replaces the longest-playing one
constexpr uint32_t BASS_SAMPLE_OVER_VOL = 0x10000;  // ... replaces the quietest one

// Error codes of BASS_ErrorGetCode.
constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_MEM = 1;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_DRIVER = 3;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FORMAT = 6;
constexpr int BASS_ERROR_POSITION = 7;
constexpr int BASS_ERROR_INIT = 8;
constexpr int BASS_ERROR_ALREADY = 14;
constexpr int BASS_ERROR_NOCHAN = 18;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_NOPLAY = 24;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_UNKNOWN = -1;

// The library's version: low word 1, high word 8 (version 1.8).
uint32_t BASS_GetVersion();

// Opens the output device (see the device numbers above) at freq samples per
// second (44100 expected; other rates are refused). flags and window are
// accepted for the call's shape and ignored. Returns false, and leaves the
// library unusable, when the device cannot be opened or is already open.
bool BASS_Init(int device, uint32_t freq, uint32_t flags, void* window);
// Closes the device and frees every music and sample (not part of the
// game's sequence, which ends with BASS_Stop; used to leave cleanly).
void BASS_Free();

// Starts (or resumes after BASS_Pause / BASS_Stop) the output, fading it in
// over a few ms. False when the library is not initialised.
bool BASS_Start();
// Pauses the output: it fades out over a few ms, then every channel holds
// its place until BASS_Start. False when the library is not initialised.
bool BASS_Pause();
// Stops every channel (musics and samples, each fading out over a few ms)
// and pauses the output. False when the library is not initialised.
bool BASS_Stop();
// True while the output is paused or stopped (before the first BASS_Start,
// after BASS_Pause or BASS_Stop); false while it plays or when the library
// is not initialised. Lets the game and its tests see that audio halted.
bool BASS_IsPaused();

// Global volumes 0..100 applied over every music, sample and stream channel
// (streams are not used; the value is kept). Values outside 0..100 are
// clamped; -1 leaves that volume unchanged.
bool BASS_SetGlobalVolumes(int musicVolume, int sampleVolume, int streamVolume);
// The current global volumes; any pointer may be null.
bool BASS_GetGlobalVolumes(int* musicVolume, int* sampleVolume, int* streamVolume);

// Loads a tracker module (MOD, XM, IT, S3M, MO3 and the other formats of
// libopenmpt) from memory (mem true: file points at the bytes, offset is
// added, length is the byte count and must not be 0) or from a file path
// (mem false: file is a NUL-terminated path, length 0 reads to the end).
// flags: BASS_MUSIC_RAMP | BASS_MUSIC_LOOP. Returns the music handle, or 0
// when the data is not a module or the library is not initialised. The
// bytes are copied; the caller keeps its buffer.
HMUSIC BASS_MusicLoad(bool mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags);
// Starts the music at order position pos (from its first row). flags -1
// keeps the load flags, otherwise replaces them. reset true also resets the
// module's playing state (tempo, channel volumes and effects) as at its
// start. The channel's volume (and any slide) is kept. False for a bad
// handle or a position past the module's order list.
bool BASS_MusicPlayEx(HMUSIC handle, uint32_t pos, int flags, bool reset);
// Stops and frees the music; the handle becomes invalid.
bool BASS_MusicFree(HMUSIC handle);

// Loads an Ogg Vorbis sample (decoded once, here and now) from memory or a
// file, with the same file/offset/length rules as BASS_MusicLoad (from
// memory length must not be 0). max (1..65535) is how many playbacks of it
// may sound at once; flags BASS_SAMPLE_OVER_POS or _VOL choose which playback
// a new one replaces when max are playing (neither: the new one fails).
// Returns the sample handle, or 0 on any failure.
HSAMPLE BASS_SampleLoad(bool mem, const void* file, uint32_t offset, uint32_t length, uint32_t max, uint32_t flags);
// Plays the sample from sample frame start at frequency freq in Hz (0 or
// -1: the sample's default, its own rate; others are clamped to
// 100..384000), volume 0..100 (-1: 100), pan -100..100 (-101: centre), once
// or looping. A frequency above the default raises the pitch and shortens
// the sound in proportion. Returns the playback's channel handle, 0 on
// failure.
HCHANNEL BASS_SamplePlayEx(HSAMPLE handle, uint32_t start, int freq, int volume, int pan, bool loop);

// What BASS_SampleGetInfo tells about a loaded sample.
struct BASS_SAMPLE {
    uint32_t freq = 0;    // default playback frequency, Hz (the file's own rate)
    uint32_t volume = 0;  // default volume (always 100)
    int pan = 0;          // default pan (always 0, the centre)
    uint32_t flags = 0;   // the BASS_SAMPLE_OVER_* flag it was loaded with
    uint32_t length = 0;  // length in frames at the library's 44100 Hz
    uint32_t max = 0;     // simultaneous playbacks allowed
};
// Fills info with the sample's defaults. False (BASS_ERROR_HANDLE) for an
// unknown handle or a null info.
bool BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info);
// Stops every playback of the sample.
bool BASS_SampleStop(HSAMPLE handle);
// Stops every playback and frees the sample; the handle becomes invalid.
bool BASS_SampleFree(HSAMPLE handle);

// Sets a channel's attributes at once (a music handle or a playback's
// channel handle): freq -1 keeps the frequency, volume -1 keeps the volume
// (0..100 otherwise), pan -101 keeps the pan. Cancels a running slide of
// what it sets.
bool BASS_ChannelSetAttributes(uint32_t handle, int freq, int volume, int pan);
// Reads a channel's frequency (Hz; 44100 for a music), volume (0..100) and
// pan (-100..100); any pointer may be null. False for an unknown handle.
bool BASS_ChannelGetAttributes(uint32_t handle, int* freq, int* volume, int* pan);
// Slides a channel's attributes to the given targets over time ms, smoothly,
// while the channel plays (-1 / -101 leave one alone). A slide set before
// the channel starts runs once it plays.
bool BASS_ChannelSlideAttributes(uint32_t handle, int freq, int volume, int pan, uint32_t time);
// True while the channel plays (a playback that has ended or was replaced
// is not playing; a music stopped or never started is not playing).
bool BASS_ChannelIsActive(uint32_t handle);
// Stops a music or a sample playback.
bool BASS_ChannelStop(uint32_t handle);

// The error of the last call made from this thread (BASS_OK after success).
int BASS_ErrorGetCode();

// Mixes frames stereo frames of what the library plays into out (2 * frames
// floats, interleaved left/right, -1..1) and advances every channel by that
// much. Only with the no-output device (BASS_DEVICE_NOSOUND); false
// otherwise. This is how tests and tools listen without a sound card.
bool BASS_Render(float* out, size_t frames);
