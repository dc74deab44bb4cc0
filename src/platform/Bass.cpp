#include "platform/Bass.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "platform/AudioMixer.h"

namespace {

struct TSampleInfo {
    uint32_t Flags = 0;
    uint32_t Max = 0;
};

// The library's one device and mixer, as a DLL would keep them.
struct TBassLibrary {
    std::unique_ptr<TAudioMixer> Mixer;
    SDL_AudioDeviceID Device = 0;
    bool SdlAudioStarted = false;
    int StreamVolume = 100;
    // What each loaded sample was loaded with, for BASS_SampleGetInfo.
    std::map<uint32_t, TSampleInfo> SampleInfo;
};

TBassLibrary& Library() {
    static TBassLibrary library;
    return library;
}

thread_local int lastError = BASS_OK;

bool Fail(int code) {
    lastError = code;
    return false;
}

uint32_t FailHandle(int code) {
    lastError = code;
    return 0;
}

bool Ok() {
    lastError = BASS_OK;
    return true;
}

// The mixer when the library is initialised; sets BASS_ERROR_INIT when not.
TAudioMixer* Mixer() {
    TAudioMixer* mixer = Library().Mixer.get();
    if (mixer == nullptr) lastError = BASS_ERROR_INIT;
    return mixer;
}

void AudioCallback(void* userdata, Uint8* stream, int len) {
    auto* mixer = static_cast<TAudioMixer*>(userdata);
    mixer->Render(reinterpret_cast<float*>(stream), size_t(len) / (2 * sizeof(float)));
}

// Reads a whole file for the loaders' file-path form; false when it cannot.
bool ReadFileBytes(const char* path, uint32_t offset, uint32_t length, std::vector<uint8_t>& out) {
    if (path == nullptr) return false;
    SDL_RWops* rw = SDL_RWFromFile(path, "rb");
    if (rw == nullptr) return false;
    Sint64 size = SDL_RWsize(rw);
    bool ok = size >= 0 && uint64_t(offset) <= uint64_t(size);
    uint64_t count = ok ? uint64_t(size) - offset : 0;
    if (ok && length != 0) {
        if (length > count) ok = false;
        count = length;
    }
    // Audio files past 1 GiB are not the game's and would only exhaust memory.
    if (ok && count > (uint64_t(1) << 30)) ok = false;
    if (ok) {
        out.resize(size_t(count));
        ok = SDL_RWseek(rw, offset, RW_SEEK_SET) >= 0 &&
             (count == 0 || SDL_RWread(rw, out.data(), size_t(count), 1) == 1);
    }
    SDL_RWclose(rw);
    return ok;
}

// Resolves the loaders' memory-or-file source into a byte range; the file
// form fills storage. False (with the error set) when there is nothing valid.
bool Source(bool mem, const void* file, uint32_t offset, uint32_t length, std::vector<uint8_t>& storage,
            const uint8_t*& data, size_t& size) {
    if (mem) {
        // From memory the size must be given: nothing bounds the read otherwise.
        if (file == nullptr || length == 0) return Fail(BASS_ERROR_ILLPARAM);
        data = static_cast<const uint8_t*>(file) + offset;
        size = length;
        return true;
    }
    if (!ReadFileBytes(static_cast<const char*>(file), offset, length, storage)) return Fail(BASS_ERROR_FILEOPEN);
    data = storage.data();
    size = storage.size();
    return true;
}

}  // namespace

uint32_t BASS_GetVersion() {
    lastError = BASS_OK;
    return 0x00080001u;
}

bool BASS_Init(int device, uint32_t freq, uint32_t, void*) {
    TBassLibrary& lib = Library();
    if (lib.Mixer) return Fail(BASS_ERROR_ALREADY);
    if (freq != uint32_t(TAudioMixer::SampleRate)) return Fail(BASS_ERROR_ILLPARAM);
    if (device < -1) return Fail(BASS_ERROR_DEVICE);
    auto mixer = std::make_unique<TAudioMixer>();
    // Output stays stopped until BASS_Start, as with a sound card.
    mixer->SetPaused(true);
    if (device != BASS_DEVICE_NOSOUND) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Fail(BASS_ERROR_DRIVER);
        const char* name = nullptr;
        if (device > 0) {
            if (device > SDL_GetNumAudioDevices(0)) {
                SDL_QuitSubSystem(SDL_INIT_AUDIO);
                return Fail(BASS_ERROR_DEVICE);
            }
            name = SDL_GetAudioDeviceName(device - 1, 0);
        }
        SDL_AudioSpec want{};
        SDL_AudioSpec have{};
        want.freq = TAudioMixer::SampleRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = AudioCallback;
        want.userdata = mixer.get();
        // No allowed changes: SDL converts our float stereo to whatever the
        // hardware wants.
        SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (id == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return Fail(BASS_ERROR_DRIVER);
        }
        lib.Device = id;
        lib.SdlAudioStarted = true;
    }
    lib.Mixer = std::move(mixer);
    lib.StreamVolume = 100;
    return Ok();
}

void BASS_Free() {
    TBassLibrary& lib = Library();
    if (lib.Device != 0) {
        SDL_CloseAudioDevice(lib.Device);
        lib.Device = 0;
    }
    if (lib.SdlAudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        lib.SdlAudioStarted = false;
    }
    lib.Mixer.reset();
    lib.SampleInfo.clear();
    lastError = BASS_OK;
}

bool BASS_Start() {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    mixer->SetPaused(false);
    if (Library().Device != 0) SDL_PauseAudioDevice(Library().Device, 0);
    return Ok();
}

// Pausing and stopping leave the device running: the mixer fades out and
// then feeds it silence, where pausing the device would break the sound off
// mid-wave with a click.
bool BASS_Pause() {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    mixer->SetPaused(true);
    return Ok();
}

bool BASS_Stop() {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    mixer->StopAll();
    mixer->SetPaused(true);
    return Ok();
}

bool BASS_IsPaused() {
    const TAudioMixer* mixer = Library().Mixer.get();
    return mixer != nullptr && mixer->Paused();
}

bool BASS_SetGlobalVolumes(int musicVolume, int sampleVolume, int streamVolume) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    int music = musicVolume < 0 ? mixer->GlobalMusicVolume() : musicVolume;
    int samples = sampleVolume < 0 ? mixer->GlobalSampleVolume() : sampleVolume;
    mixer->SetGlobalVolumes(music, samples);
    if (streamVolume >= 0) Library().StreamVolume = std::min(streamVolume, 100);
    return Ok();
}

bool BASS_GetGlobalVolumes(int* musicVolume, int* sampleVolume, int* streamVolume) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    if (musicVolume) *musicVolume = mixer->GlobalMusicVolume();
    if (sampleVolume) *sampleVolume = mixer->GlobalSampleVolume();
    if (streamVolume) *streamVolume = Library().StreamVolume;
    return Ok();
}

HMUSIC BASS_MusicLoad(bool mem, const void* file, uint32_t offset, uint32_t length, uint32_t flags) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return 0;
    std::vector<uint8_t> storage;
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!Source(mem, file, offset, length, storage, data, size)) return 0;
    uint32_t id = mixer->LoadMusic(data, size, flags);
    if (id == 0) return FailHandle(BASS_ERROR_FILEFORM);
    lastError = BASS_OK;
    return id;
}

bool BASS_MusicPlayEx(HMUSIC handle, uint32_t pos, int flags, bool reset) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    if (!mixer->IsMusic(handle)) return Fail(BASS_ERROR_HANDLE);
    if (!mixer->PlayMusic(handle, pos, flags, reset)) return Fail(BASS_ERROR_POSITION);
    return Ok();
}

bool BASS_MusicFree(HMUSIC handle) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    return mixer->FreeMusic(handle) ? Ok() : Fail(BASS_ERROR_HANDLE);
}

HSAMPLE BASS_SampleLoad(bool mem, const void* file, uint32_t offset, uint32_t length, uint32_t max, uint32_t flags) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return 0;
    if (max < 1 || max > 65535) return FailHandle(BASS_ERROR_ILLPARAM);
    std::vector<uint8_t> storage;
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!Source(mem, file, offset, length, storage, data, size)) return 0;
    TAudioMixer::TOverride over = TAudioMixer::ovNone;
    if (flags & BASS_SAMPLE_OVER_POS)
        over = TAudioMixer::ovLongest;
    else if (flags & BASS_SAMPLE_OVER_VOL)
        over = TAudioMixer::ovQuietest;
    uint32_t id = mixer->LoadSample(data, size, max, over);
    if (id == 0) return FailHandle(BASS_ERROR_FILEFORM);
    Library().SampleInfo[id] = TSampleInfo{flags & (BASS_SAMPLE_OVER_POS | BASS_SAMPLE_OVER_VOL), max};
    lastError = BASS_OK;
    return id;
}

HCHANNEL BASS_SamplePlayEx(HSAMPLE handle, uint32_t start, int freq, int volume, int pan, bool loop) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return 0;
    int vol = volume < 0 ? 100 : volume;
    int p = pan < -100 ? 0 : pan;
    uint32_t id = mixer->PlaySample(handle, start, freq, vol, p, loop);
    if (id == 0) return FailHandle(BASS_ERROR_NOCHAN);
    lastError = BASS_OK;
    return id;
}

bool BASS_SampleGetInfo(HSAMPLE handle, BASS_SAMPLE* info) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    const int freq = mixer->SampleFrequency(handle);
    if (freq <= 0 || info == nullptr) return Fail(BASS_ERROR_HANDLE);
    TBassLibrary& lib = Library();
    *info = BASS_SAMPLE{};
    info->freq = uint32_t(freq);
    info->volume = 100;
    info->length = uint32_t(std::min<size_t>(mixer->SampleFrames(handle), UINT32_MAX));
    auto it = lib.SampleInfo.find(handle);
    if (it != lib.SampleInfo.end()) {
        info->flags = it->second.Flags;
        info->max = it->second.Max;
    }
    return Ok();
}

bool BASS_SampleStop(HSAMPLE handle) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    return mixer->StopSample(handle) ? Ok() : Fail(BASS_ERROR_HANDLE);
}

bool BASS_SampleFree(HSAMPLE handle) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    Library().SampleInfo.erase(handle);
    return mixer->FreeSample(handle) ? Ok() : Fail(BASS_ERROR_HANDLE);
}

bool BASS_ChannelSetAttributes(uint32_t handle, int freq, int volume, int pan) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    if (mixer->Volume(handle) < 0) return Fail(BASS_ERROR_HANDLE);
    if (freq > 0) mixer->SetRate(handle, freq);
    if (volume >= 0) mixer->SetVolume(handle, volume);
    if (pan >= -100) mixer->SetPan(handle, pan);
    return Ok();
}

bool BASS_ChannelGetAttributes(uint32_t handle, int* freq, int* volume, int* pan) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    const double v = mixer->Volume(handle);
    if (v < 0) return Fail(BASS_ERROR_HANDLE);
    if (freq) *freq = mixer->Rate(handle);
    if (volume) *volume = int(std::lround(v));
    if (pan) *pan = int(std::lround(mixer->Pan(handle)));
    return Ok();
}

bool BASS_ChannelSlideAttributes(uint32_t handle, int freq, int volume, int pan, uint32_t time) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    if (mixer->Volume(handle) < 0) return Fail(BASS_ERROR_HANDLE);
    // Sliding the rate is not something the game asks for: it jumps.
    if (freq > 0) mixer->SetRate(handle, freq);
    if (volume >= 0) mixer->SlideVolume(handle, volume, time);
    if (pan >= -100) mixer->SlidePan(handle, pan, time);
    return Ok();
}

bool BASS_ChannelIsActive(uint32_t handle) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    lastError = BASS_OK;
    return mixer->IsPlaying(handle);
}

bool BASS_ChannelStop(uint32_t handle) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    return mixer->StopChannel(handle) ? Ok() : Fail(BASS_ERROR_HANDLE);
}

int BASS_ErrorGetCode() {
    return lastError;
}

bool BASS_Render(float* out, size_t frames) {
    TAudioMixer* mixer = Mixer();
    if (mixer == nullptr) return false;
    if (Library().Device != 0) return Fail(BASS_ERROR_ALREADY);
    mixer->Render(out, frames);
    return Ok();
}
