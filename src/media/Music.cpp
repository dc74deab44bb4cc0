#include "media/Music.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvRandom.h"
#include "platform/Bass.h"

namespace {

// Splits a list file into its non-blank lines, trimmed of spaces, tabs and
// the carriage returns of lists written on Windows.
std::vector<std::string> ListLines(const TMemoryStream& stream) {
    std::vector<std::string> lines;
    const std::string text = stream.AsString();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        const char* blanks = " \t\r";
        size_t first = line.find_first_not_of(blanks);
        if (first != std::string::npos) {
            size_t last = line.find_last_not_of(blanks);
            lines.push_back(line.substr(first, last - first + 1));
        }
        start = end + 1;
    }
    return lines;
}

// The archive entry's bytes, or nullptr when it is missing or unreadable
// (the archive reports the reason in the log).
TMemoryStream* ArchiveStream(TFileFolder& archive, const std::string& name) {
    try {
        return archive.Stream(name);
    } catch (const OrvException&) {
        return nullptr;
    }
}

int ClampVolume(int v) {
    return std::clamp(v, 0, 100);
}

// True once now lies after time on the wrapping millisecond clock.
bool Passed(uint32_t now, uint32_t time) {
    return int32_t(now - time) > 0;
}

}  // namespace

void LoadAudioList(TFileFolder& archive, const std::string& listName, uint8_t kind, TAudioList& table) {
    TMemoryStream* list = ArchiveStream(archive, listName);
    if (list == nullptr) return;
    // The list's stream may be read again by the lookups below, so its
    // lines are taken first.
    const std::vector<std::string> names = ListLines(*list);
    for (const std::string& name : names) {
        TMemoryStream* item = ArchiveStream(archive, name);
        if (item == nullptr) continue;
        LoadAudioItem(*item, name, kind, table);
    }
}

void LoadAudioItem(const TMemoryStream& stream, const std::string& name, uint8_t kind, TAudioList& table) {
    int index = FindAudio(name, table);
    if (index >= 0) {
        FreeAudio(index, table);
    } else {
        table.push_back(TAudioItem{name, kind, 0});
        index = int(table.size()) - 1;
    }
    TAudioItem& item = table[size_t(index)];
    item.Kind = kind;
    item.Handle = 0;
    // The library takes the size of the bytes: nothing else bounds a read
    // from memory. Streams past 4 GiB are not audio the game can hold.
    if (stream.Size() == 0 || stream.Size() > UINT32_MAX) return;
    const uint32_t size = uint32_t(stream.Size());
    if (kind == akMusic)
        item.Handle = BASS_MusicLoad(true, stream.Data(), 0, size, MusicLoadFlags);
    else
        item.Handle = BASS_SampleLoad(true, stream.Data(), 0, size, SampleMaxPlaybacks, SampleLoadFlags);
}

int FindAudio(const std::string& name, const TAudioList& table) {
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].Name == name) return int(i);
    return -1;
}

uint32_t AudioHandle(const std::string& name, const TAudioList& table) {
    int index = FindAudio(name, table);
    return index < 0 ? 0 : table[size_t(index)].Handle;
}

void FreeAudio(int index, TAudioList& table) {
    if (index < 0 || size_t(index) >= table.size()) return;
    TAudioItem& item = table[size_t(index)];
    if (item.Handle != 0) {
        if (item.Kind == akMusic)
            BASS_MusicFree(item.Handle);
        else
            BASS_SampleFree(item.Handle);
    }
    item.Handle = 0;
}

void DeleteAudio(int index, TAudioList& table) {
    if (index < 0 || size_t(index) >= table.size()) return;
    FreeAudio(index, table);
    table.erase(table.begin() + index);
}

uint32_t PlayAudio(const std::string& name, TAudioList& table, int musicVolume, uint32_t fadeTime,
                   std::string& currentMusic, uint16_t order, int soundVolume, int frequency) {
    int index = FindAudio(name, table);
    if (index < 0) return 0;
    const TAudioItem& item = table[size_t(index)];
    if (item.Kind == akSample) {
        if (soundVolume == 0) return 0;
        return BASS_SamplePlayEx(item.Handle, 0, frequency, ClampVolume(soundVolume), -101, false);
    }
    if (musicVolume != 0) {
        BASS_ChannelSetAttributes(item.Handle, -1, 0, -101);
        BASS_ChannelSlideAttributes(item.Handle, -1, ClampVolume(musicVolume), -101, fadeTime);
        BASS_MusicPlayEx(item.Handle, order, -1, true);
    }
    currentMusic = name;
    return 0;
}

namespace {
// The sounds whose pitch moves a little each time, and by how much (percent
// either way). A few percent is heard as liveliness, not as a wrong note.
struct TPitchSpread {
    const char* Name;
    int Percent;
};
constexpr TPitchSpread PitchSpreads[] = {
    {"1_get.ogg", 4},          {"2_put_on_main.ogg", 3},  {"3_put_on2.ogg", 3}, {"4_put_on3.ogg", 3},
    {"5_rotate.ogg", 5},       {"6_put_on_chain.ogg", 4}, {"click.ogg", 4},     {"over.ogg", 3},
    {"7_small_spider.ogg", 4}, {"17_chameleon.ogg", 3},   {"drop.ogg", 4},
};
}  // namespace

int PitchSpreadPercent(const std::string& name) {
    for (const TPitchSpread& p : PitchSpreads)
        if (name == p.Name) return p.Percent;
    return 0;
}

void StopAllAudio(TAudioList& table, bool alsoSamples) {
    for (const TAudioItem& item : table) {
        if (item.Handle == 0) continue;
        if (item.Kind == akMusic)
            BASS_ChannelStop(item.Handle);
        else if (alsoSamples)
            BASS_SampleStop(item.Handle);
    }
}

uint32_t TGameAudio::PlaySound(const std::string& name) {
    int frequency = -1;
    const int spread = PitchSpreadPercent(name);
    const int index = FindAudio(name, Table);
    // Drawn only for a sound that is really started, so the sequence of
    // pitches follows the sounds heard.
    if (spread > 0 && pitchRandom_ != nullptr && index >= 0 && Table[size_t(index)].Kind == akSample &&
        SoundVolume != 0) {
        BASS_SAMPLE info;
        if (BASS_SampleGetInfo(Table[size_t(index)].Handle, &info)) {
            const double factor = 1.0 + double(spread) / 100.0 * (2.0 * pitchRandom_->Unit() - 1.0);
            frequency = std::max(1, int(std::lround(double(info.freq) * factor)));
        }
    }
    return PlayAudio(name, Table, MusicVolume, 1000, CurrentMusic, 0, SoundVolume, frequency);
}

void TGameAudio::PlayMusic(const std::string& name, uint32_t fadeTime, uint16_t order) {
    // A music still being read is waited for rather than left silent.
    if (musicLoad_ && AudioHandle(name, Table) == 0) FinishLoadingMusics();
    PlayAudio(name, Table, MusicVolume, fadeTime, CurrentMusic, order, SoundVolume);
    if (CurrentMusic == name) CurrentMusicOrder = order;
}

void TGameAudio::SwitchMusic(const std::string& name, uint32_t fadeOut, uint16_t order, uint32_t fadeIn, uint32_t now,
                             int64_t startDelay) {
    uint32_t current = AudioHandle(CurrentMusic, Table);
    if (current != 0) BASS_ChannelSlideAttributes(current, -1, 0, -101, fadeOut);
    DelayedMusicName = name;
    DelayedMusicTime = now + (startDelay < 0 ? fadeOut : uint32_t(std::min<int64_t>(startDelay, INT32_MAX)));
    DelayedMusicFadeIn = fadeIn;
    DelayedMusicOrder = order;
    DelayedMusicPending = true;
}

bool TGameAudio::UpdateDelayedMusic(uint32_t now) {
    if (!DelayedMusicPending || !Passed(now, DelayedMusicTime)) return false;
    DelayedMusicPending = false;
    StopAllAudio(Table, false);
    PlayMusic(DelayedMusicName, DelayedMusicFadeIn, DelayedMusicOrder);
    return true;
}

void TGameAudio::ScheduleSound(const std::string& name, uint32_t time) {
    DelayedSoundName = name;
    DelayedSoundTime = time;
    DelayedSoundPending = true;
}

bool TGameAudio::UpdateDelayedSound(uint32_t now) {
    if (!DelayedSoundPending || !Passed(now, DelayedSoundTime)) return false;
    DelayedSoundPending = false;
    PlaySound(DelayedSoundName);
    return true;
}

void TGameAudio::FadeOutMusic(uint32_t ms) {
    uint32_t current = AudioHandle(CurrentMusic, Table);
    if (current != 0) BASS_ChannelSlideAttributes(current, -1, 0, -101, ms);
}

void TGameAudio::ApplyVolumes() {
    BASS_SetGlobalVolumes(MusicVolume, SoundVolume, 0);
}

void TGameAudio::SetMusicVolume(int volume) {
    const int before = MusicVolume;
    MusicVolume = ClampVolume(volume);
    ApplyVolumes();
    // At volume 0 the current music was never started; now it can be heard.
    if (before == 0 && MusicVolume != 0 && !CurrentMusic.empty()) {
        StopAllAudio(Table, false);
        PlayMusic(CurrentMusic, 1000, 0);
    }
}

void TGameAudio::SetSoundVolume(int volume) {
    SoundVolume = ClampVolume(volume);
    ApplyVolumes();
}

void TGameAudio::LoadSounds(TFileFolder& archive) {
    LoadAudioList(archive, "sounds.dat", akSample, Table);
}

void TGameAudio::LoadMusics(TFileFolder& archive) {
    FinishLoadingMusics();
    LoadAudioList(archive, "musics.dat", akMusic, Table);
}

// Musics being read on a thread of their own: their names, their bytes
// and, once read, their handles.
struct TGameAudio::TMusicLoad {
    std::vector<std::string> Names;
    std::vector<std::vector<uint8_t>> Bytes;
    std::vector<uint32_t> Handles;
    // Valid once the thread is started.
    std::future<void> Done;
    // Reads every music's bytes into its handle.
    void Read();
};

TGameAudio::TGameAudio() = default;

TGameAudio::~TGameAudio() {
    // The thread reads only the load's own copies; it must end before them.
    if (musicLoad_ && musicLoad_->Done.valid()) musicLoad_->Done.wait();
}

void TGameAudio::BeginLoadMusics(TFileFolder& archive, const std::string& first) {
    FinishLoadingMusics();
    TMemoryStream* list = ArchiveStream(archive, "musics.dat");
    if (list == nullptr) return;
    auto load = std::make_unique<TMusicLoad>();
    for (const std::string& name : ListLines(*list)) {
        TMemoryStream* item = ArchiveStream(archive, name);
        if (item == nullptr) continue;
        // Its place in the table, as LoadAudioItem would give it.
        const int index = FindAudio(name, Table);
        if (index >= 0) {
            FreeAudio(index, Table);
            Table[size_t(index)].Kind = akMusic;
        } else {
            Table.push_back(TAudioItem{name, akMusic, 0});
        }
        if (name == first) {
            LoadAudioItem(*item, name, akMusic, Table);
            continue;
        }
        load->Names.push_back(name);
        load->Bytes.push_back(item->Bytes());
    }
    load->Handles.assign(load->Names.size(), 0);
    musicLoad_ = std::move(load);
}

void TGameAudio::TMusicLoad::Read() {
    for (size_t i = 0; i < Bytes.size(); ++i) {
        if (Bytes[i].empty() || Bytes[i].size() > UINT32_MAX) continue;
        Handles[i] = BASS_MusicLoad(true, Bytes[i].data(), 0, uint32_t(Bytes[i].size()), MusicLoadFlags);
    }
}

bool TGameAudio::PollMusicLoad() {
    if (!musicLoad_) return false;
    TMusicLoad* job = musicLoad_.get();
    if (!job->Done.valid()) {
        job->Done = std::async(std::launch::async, [job] { job->Read(); });
        return false;
    }
    if (job->Done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
    FinishLoadingMusics();
    return true;
}

void TGameAudio::FinishLoadingMusics() {
    if (!musicLoad_) return;
    std::unique_ptr<TMusicLoad> load = std::move(musicLoad_);
    if (load->Done.valid())
        load->Done.get();
    else
        load->Read();
    for (size_t i = 0; i < load->Names.size(); ++i) {
        const int index = FindAudio(load->Names[i], Table);
        if (index >= 0 && Table[size_t(index)].Handle == 0) {
            Table[size_t(index)].Handle = load->Handles[i];
        } else if (load->Handles[i] != 0) {
            BASS_MusicFree(load->Handles[i]);  // its entry went while it was read
        }
    }
}

void TGameAudio::Shutdown() {
    FinishLoadingMusics();
    while (!Table.empty()) DeleteAudio(0, Table);
    StopAllAudio(Table, true);
    BASS_Stop();
    DelayedMusicPending = false;
    DelayedSoundPending = false;
}
