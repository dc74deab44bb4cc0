#include "platform/AudioMixer.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <libopenmpt/libopenmpt.hpp>
#include <limits>
#include <map>
#include <sstream>

namespace {

// Rendering works through blocks of this many frames, so the scratch buffer
// is allocated once and the audio thread never allocates.
constexpr size_t BlockFrames = 1024;

constexpr uint32_t MusicRampFlag = 1;
constexpr uint32_t MusicLoopFlag = 4;

// Memory source for libvorbisfile.
struct TOggSource {
    const uint8_t* Data;
    size_t Size;
    size_t Pos;
};

size_t OggRead(void* dest, size_t size, size_t count, void* source) {
    auto* src = static_cast<TOggSource*>(source);
    if (size == 0 || count == 0) return 0;
    size_t left = src->Size - src->Pos;
    size_t items = std::min(count, left / size);
    std::memcpy(dest, src->Data + src->Pos, items * size);
    src->Pos += items * size;
    return items;
}

int OggSeek(void* source, ogg_int64_t offset, int whence) {
    auto* src = static_cast<TOggSource*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = ogg_int64_t(src->Pos);
    else if (whence == SEEK_END)
        base = ogg_int64_t(src->Size);
    else if (whence != SEEK_SET)
        return -1;
    ogg_int64_t pos = base + offset;
    if (pos < 0 || pos > ogg_int64_t(src->Size)) return -1;
    src->Pos = size_t(pos);
    return 0;
}

long OggTell(void* source) {
    return long(static_cast<TOggSource*>(source)->Pos);
}

// Decodes a whole Ogg Vorbis stream into interleaved stereo floats at its own
// rate. False for anything that is not a complete, clean stream.
bool DecodeVorbis(const uint8_t* data, size_t size, std::vector<float>& stereo, long& rate) {
    if (data == nullptr || size == 0) return false;
    TOggSource src{data, size, 0};
    ov_callbacks callbacks{OggRead, OggSeek, nullptr, OggTell};
    OggVorbis_File vf;
    if (ov_open_callbacks(&src, &vf, nullptr, 0, callbacks) != 0) return false;
    struct TCloser {
        OggVorbis_File* File;
        ~TCloser() { ov_clear(File); }
    } closer{&vf};

    // A chained stream may change its format between links; only one link of
    // one format is accepted, as the game's sounds are single clips.
    if (ov_streams(&vf) != 1) return false;
    vorbis_info* info = ov_info(&vf, -1);
    if (info == nullptr || info->channels < 1 || info->rate < 1000 || info->rate > 384000) return false;
    rate = info->rate;
    const int channels = info->channels;
    // The limit in the file's own frames, so that the resampled result
    // stays within MaxSampleFrames too (a low rate would otherwise grow).
    const uint64_t limit =
        std::min<uint64_t>(TAudioMixer::MaxSampleFrames,
                           uint64_t(TAudioMixer::MaxSampleFrames) * uint64_t(rate) / TAudioMixer::SampleRate);
    ogg_int64_t expected = ov_pcm_total(&vf, -1);
    if (expected <= 0 || uint64_t(expected) > limit) return false;

    stereo.clear();
    // The header's length is only a claim: reserve no more than the data
    // could plausibly hold, and let the vector grow if it really does.
    stereo.reserve(size_t(std::min<uint64_t>(uint64_t(expected), uint64_t(size) * 16)) * 2);
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        long got = ov_read_float(&vf, &pcm, 4096, &section);
        if (got == 0) break;
        if (got < 0) return false;
        if (stereo.size() / 2 + size_t(got) > limit) return false;
        for (long i = 0; i < got; ++i) {
            float left = pcm[0][i];
            float right = channels > 1 ? pcm[1][i] : left;
            stereo.push_back(left);
            stereo.push_back(right);
        }
    }
    // A truncated file decodes to less than its last page promises.
    if (stereo.empty() || stereo.size() / 2 != uint64_t(expected)) return false;
    return true;
}

// Linear-interpolation resampling of interleaved stereo to the mixer's rate.
std::vector<float> ResampleStereo(const std::vector<float>& in, long rate) {
    const size_t inFrames = in.size() / 2;
    if (rate == TAudioMixer::SampleRate || inFrames == 0) return in;
    const uint64_t outFrames = (uint64_t(inFrames) * TAudioMixer::SampleRate + uint64_t(rate) - 1) / uint64_t(rate);
    std::vector<float> out(size_t(outFrames) * 2);
    const double step = double(rate) / TAudioMixer::SampleRate;
    for (size_t i = 0; i < outFrames; ++i) {
        double pos = double(i) * step;
        size_t a = std::min(size_t(pos), inFrames - 1);
        size_t b = std::min(a + 1, inFrames - 1);
        float t = float(pos - double(a));
        out[2 * i] = in[2 * a] + (in[2 * b] - in[2 * a]) * t;
        out[2 * i + 1] = in[2 * a + 1] + (in[2 * b + 1] - in[2 * a + 1]) * t;
    }
    return out;
}

int ClampVolume(int v) {
    return std::clamp(v, 0, 100);
}

// Frames of a sample's PCM advanced per output frame when it plays at rate
// Hz: the PCM is stored at the mixer's rate, so its own rate gives exactly 1.
double PlaybackStep(int rate, int ownRate) {
    const int r = std::clamp(rate, TAudioMixer::MinRate, TAudioMixer::MaxRate);
    return r == ownRate ? 1.0 : double(r) / double(ownRate);
}
int ClampPan(int p) {
    return std::clamp(p, -100, 100);
}

uint64_t MsToFrames(uint32_t ms) {
    return uint64_t(ms) * TAudioMixer::SampleRate / 1000;
}

std::unique_ptr<openmpt::module> OpenModule(const std::vector<uint8_t>& bytes, uint32_t flags) {
    try {
        std::ostringstream quiet;
        // Scanning the song for sub-songs plays it through in advance; the
        // game never asks for them and a start must not stall a frame.
        const std::map<std::string, std::string> ctls = {{"load.skip_subsongs_init", "1"}};
        auto mod = std::make_unique<openmpt::module>(bytes, quiet, ctls);
        mod->set_repeat_count((flags & MusicLoopFlag) ? -1 : 0);
        mod->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, (flags & MusicRampFlag) ? -1 : 0);
        mod->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 4);
        if (mod->get_num_orders() <= 0) return nullptr;
        return mod;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

// Volume and pan shared by musics and sample playbacks.
struct TAudioMixer::TChannel {
    TRamp Volume;  // 0..100
    TRamp Pan;     // -100..100
    // After a sudden volume change of a sounding channel the ear hears a
    // crossfade from the level heard before to Volume over the last
    // DeclickLeft frames; Volume itself already holds the new value.
    double DeclickFrom = 0;
    int DeclickLeft = 0;
    // Frames left of the declick fade after a stop; the channel goes silent
    // when it reaches 0.
    int Release = 0;
    bool Releasing = false;
};

struct TAudioMixer::TSample {
    uint32_t Id = 0;
    std::vector<float> Pcm;  // interleaved stereo at SampleRate
    int Rate = SampleRate;   // the rate the sample calls its own (its file's), Hz
    uint32_t MaxPlaybacks = 1;
    TOverride Over = ovNone;
};

struct TAudioMixer::TVoice {
    uint32_t Id = 0;
    TSample* Sample = nullptr;
    TChannel Chan;
    double Pos = 0;
    // Frames of Pcm advanced per output frame: the playback's rate over the
    // sample's own. Exactly 1 at the sample's own rate.
    double Step = 1;
    bool Loop = false;
    uint64_t StartClock = 0;
};

struct TAudioMixer::TMusic {
    uint32_t Id = 0;
    std::shared_ptr<const std::vector<uint8_t>> Bytes;
    std::unique_ptr<openmpt::module> Module;
    // A second copy read in the background, ready for the next start with
    // reset: reading a module takes tens of milliseconds, too long for the
    // game's frame.
    std::future<std::unique_ptr<openmpt::module>> Spare;
    // Module has not been played or moved since it was read: a start with
    // reset can take it as it is. Reading a module is slow (its resampler
    // tables are computed anew each time), so no spare is read until the
    // music first plays: the game loads every music at start-up and plays one.
    bool Pristine = true;
    uint32_t Flags = 0;
    TChannel Chan;
    bool Playing = false;
    // What a sounding music played when it was restarted, fading out over
    // TailLeft frames from TailGain. Kept until the game thread replaces
    // it, so the audio thread never frees a module.
    std::unique_ptr<openmpt::module> Tail;
    double TailGain = 0;
    int TailLeft = 0;
};

TAudioMixer::TAudioMixer() : scratch_(BlockFrames * 2), musicGain_(BlockFrames), sampleGain_(BlockFrames) {
    globalMusicRamp_.Set(100);
    globalSampleRamp_.Set(100);
    outputFade_.Set(1);
}

TAudioMixer::~TAudioMixer() = default;

uint32_t TAudioMixer::NewId() {
    uint32_t id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    return id;
}

TAudioMixer::TSample* TAudioMixer::FindSample(uint32_t id) const {
    for (auto& s : samples_)
        if (s->Id == id) return s.get();
    return nullptr;
}

TAudioMixer::TVoice* TAudioMixer::FindVoice(uint32_t id) const {
    for (auto& v : voices_)
        if (v->Id == id) return v.get();
    return nullptr;
}

TAudioMixer::TMusic* TAudioMixer::FindMusic(uint32_t id) const {
    for (auto& m : musics_)
        if (m->Id == id) return m.get();
    return nullptr;
}

TAudioMixer::TChannel* TAudioMixer::FindChannel(uint32_t id) const {
    if (TMusic* m = FindMusic(id)) return &m->Chan;
    if (TVoice* v = FindVoice(id)) return &v->Chan;
    return nullptr;
}

namespace {
// The volume (0..100) heard from the channel now, a declick included.
template <class TChan>
double HeardVolume(const TChan& chan) {
    if (chan.DeclickLeft <= 0) return chan.Volume.Value;
    double t = double(chan.DeclickLeft) / double(TAudioMixer::DeclickFrames);
    return chan.Volume.Value + (chan.DeclickFrom - chan.Volume.Value) * t;
}

// The channel's volume for this frame (0..1); advances its slide and declick.
template <class TChan>
inline float NextVolume(TChan& chan) {
    chan.Volume.Next();
    const double v = HeardVolume(chan);
    if (chan.DeclickLeft > 0) --chan.DeclickLeft;
    return float(v / 100.0);
}

template <class TChan>
void StartRelease(TChan& chan) {
    if (chan.Releasing) return;
    chan.Releasing = true;
    chan.Release = TAudioMixer::DeclickFrames;
}
}  // namespace

uint32_t TAudioMixer::AddSample(std::vector<float> stereo, uint32_t maxPlaybacks, TOverride over, int rate) {
    if (maxPlaybacks < 1 || maxPlaybacks > 65535) return 0;
    if (rate < MinRate || rate > MaxRate) return 0;
    if (stereo.size() < 2 || stereo.size() / 2 > MaxSampleFrames) return 0;
    auto sample = std::make_unique<TSample>();
    sample->Pcm = std::move(stereo);
    sample->Pcm.resize(sample->Pcm.size() & ~size_t(1));
    sample->Rate = rate;
    sample->MaxPlaybacks = maxPlaybacks;
    sample->Over = over;
    std::lock_guard<std::mutex> lock(mutex_);
    sample->Id = NewId();
    uint32_t id = sample->Id;
    samples_.push_back(std::move(sample));
    return id;
}

uint32_t TAudioMixer::LoadSample(const uint8_t* data, size_t size, uint32_t maxPlaybacks, TOverride over) {
    if (maxPlaybacks < 1 || maxPlaybacks > 65535) return 0;
    std::vector<float> stereo;
    long rate = 0;
    // Decoding happens outside the lock: the audio thread keeps mixing.
    if (!DecodeVorbis(data, size, stereo, rate)) return 0;
    return AddSample(ResampleStereo(stereo, rate), maxPlaybacks, over, int(rate));
}

uint32_t TAudioMixer::LoadSamplePcm(std::vector<float> stereo, uint32_t maxPlaybacks, TOverride over, int rate) {
    return AddSample(std::move(stereo), maxPlaybacks, over, rate);
}

int TAudioMixer::SampleFrequency(uint32_t sample) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TSample* s = FindSample(sample);
    return s ? s->Rate : 0;
}

size_t TAudioMixer::SampleFrames(uint32_t sample) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TSample* s = FindSample(sample);
    return s ? s->Pcm.size() / 2 : 0;
}

bool TAudioMixer::FreeSample(uint32_t sample) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(samples_.begin(), samples_.end(), [&](auto& s) { return s->Id == sample; });
    if (it == samples_.end()) return false;
    // Its playbacks read its PCM, so they go with it at once.
    std::erase_if(voices_, [&](auto& v) { return v->Sample == it->get(); });
    samples_.erase(it);
    return true;
}

uint32_t TAudioMixer::PlaySample(uint32_t sample, uint32_t start, int rate, int volume, int pan, bool loop) {
    std::lock_guard<std::mutex> lock(mutex_);
    TSample* s = FindSample(sample);
    if (s == nullptr) return 0;
    if (size_t(start) >= s->Pcm.size() / 2) return 0;

    std::vector<TVoice*> live;
    for (auto& v : voices_)
        if (v->Sample == s && !v->Chan.Releasing) live.push_back(v.get());
    if (live.size() >= s->MaxPlaybacks) {
        if (s->Over == ovNone) return 0;
        TVoice* victim = live.front();
        for (TVoice* v : live) {
            if (s->Over == ovLongest && v->StartClock < victim->StartClock) victim = v;
            if (s->Over == ovQuietest && v->Chan.Volume.Value < victim->Chan.Volume.Value) victim = v;
        }
        StartRelease(victim->Chan);
    }

    auto voice = std::make_unique<TVoice>();
    voice->Id = NewId();
    voice->Sample = s;
    voice->Chan.Volume.Set(ClampVolume(volume));
    voice->Chan.Pan.Set(ClampPan(pan));
    voice->Pos = start;
    voice->Step = rate > 0 ? PlaybackStep(rate, s->Rate) : 1.0;
    voice->Loop = loop;
    voice->StartClock = clock_;
    uint32_t id = voice->Id;
    voices_.push_back(std::move(voice));
    return id;
}

bool TAudioMixer::StopSample(uint32_t sample) {
    std::lock_guard<std::mutex> lock(mutex_);
    TSample* s = FindSample(sample);
    if (s == nullptr) return false;
    for (auto& v : voices_)
        if (v->Sample == s) StartRelease(v->Chan);
    return true;
}

int TAudioMixer::ActivePlaybacks(uint32_t sample) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TSample* s = FindSample(sample);
    if (s == nullptr) return 0;
    int n = 0;
    for (auto& v : voices_)
        if (v->Sample == s && !v->Chan.Releasing) ++n;
    return n;
}

namespace {
std::future<std::unique_ptr<openmpt::module>> ReadSpare(std::shared_ptr<const std::vector<uint8_t>> bytes) {
    return std::async(std::launch::async, [bytes] { return OpenModule(*bytes, 0); });
}
}  // namespace

uint32_t TAudioMixer::LoadMusic(const uint8_t* data, size_t size, uint32_t flags) {
    if (data == nullptr || size == 0) return 0;
    auto music = std::make_unique<TMusic>();
    music->Bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    music->Flags = flags;
    music->Module = OpenModule(*music->Bytes, flags);
    if (!music->Module) return 0;
    music->Chan.Volume.Set(100);
    music->Chan.Pan.Set(0);
    std::lock_guard<std::mutex> lock(mutex_);
    music->Id = NewId();
    uint32_t id = music->Id;
    musics_.push_back(std::move(music));
    return id;
}

bool TAudioMixer::FreeMusic(uint32_t music) {
    std::unique_ptr<TMusic> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(musics_.begin(), musics_.end(), [&](auto& m) { return m->Id == music; });
    if (it == musics_.end()) return false;
    gone = std::move(*it);
    musics_.erase(it);
    return true;
}

bool TAudioMixer::PlayMusic(uint32_t music, uint32_t order, int flags, bool reset) {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    std::future<std::unique_ptr<openmpt::module>> spare;
    uint32_t useFlags = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TMusic* m = FindMusic(music);
        if (m == nullptr) return false;
        if (order >= uint32_t(m->Module->get_num_orders())) return false;
        useFlags = flags < 0 ? m->Flags : uint32_t(flags);
        if (reset && !m->Pristine) {
            bytes = m->Bytes;
            spare = std::move(m->Spare);
        }
    }
    // A reset starts from a freshly read module: tempo, globals and channel
    // state are then exactly those of its start. One never played is such a
    // module already; otherwise the copy read in the background is used
    // (waiting for it if need be), outside the lock.
    std::unique_ptr<openmpt::module> fresh;
    if (bytes) {
        if (spare.valid()) fresh = spare.get();
        if (!fresh) fresh = OpenModule(*bytes, useFlags);
        if (!fresh) return false;
    }
    // Freed after the lock is released, not while the audio thread waits.
    std::unique_ptr<openmpt::module> old;
    std::unique_ptr<openmpt::module> oldTail;
    std::lock_guard<std::mutex> lock(mutex_);
    TMusic* m = FindMusic(music);
    if (m == nullptr) return false;
    if (fresh) {
        // What sounds now fades out beside the new start instead of
        // breaking off mid-wave.
        double heard = 0;
        int left = DeclickFrames;
        if (m->Playing) {
            heard = HeardVolume(m->Chan) / 100.0;
            if (m->Chan.Releasing) {
                heard *= double(m->Chan.Release) / double(DeclickFrames);
                left = m->Chan.Release;
            }
        }
        oldTail = std::move(m->Tail);
        m->TailLeft = 0;
        if (heard > 0 && left > 0) {
            m->Tail = std::move(m->Module);
            m->TailGain = heard;
            m->TailLeft = left;
        } else {
            old = std::move(m->Module);
        }
        m->Module = std::move(fresh);
        m->Spare = ReadSpare(m->Bytes);
        // The old sound goes with the tail; the new start is heard at the
        // channel's own volume.
        m->Chan.DeclickLeft = 0;
    }
    m->Flags = useFlags;
    m->Module->set_repeat_count((useFlags & MusicLoopFlag) ? -1 : 0);
    m->Module->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, (useFlags & MusicRampFlag) ? -1 : 0);
    m->Module->set_position_order_row(int32_t(order), 0);
    if (m->Pristine) {
        // From now on a start with reset needs a module read afresh.
        m->Pristine = false;
        if (!m->Spare.valid()) m->Spare = ReadSpare(m->Bytes);
    }
    m->Playing = true;
    m->Chan.Releasing = false;
    m->Chan.Release = 0;
    return true;
}

int TAudioMixer::MusicOrders(uint32_t music) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TMusic* m = FindMusic(music);
    return m ? int(m->Module->get_num_orders()) : 0;
}

int TAudioMixer::MusicOrder(uint32_t music) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TMusic* m = FindMusic(music);
    return m ? int(m->Module->get_current_order()) : -1;
}

bool TAudioMixer::Sounding(uint32_t channel) const {
    if (TMusic* m = FindMusic(channel)) return m->Playing && !m->Chan.Releasing;
    if (TVoice* v = FindVoice(channel)) return !v->Chan.Releasing;
    return false;
}

void TAudioMixer::SetChannelVolume(uint32_t channel, TChannel& c, int volume) {
    // The value holds at once, so a slide that follows starts from it (a
    // music set to 0 and slid up fades in from silence). A sudden jump in a
    // sounding channel would click, so there the ear is led to it over a
    // few ms; that holds for one fading out after a stop too.
    const TMusic* m = FindMusic(channel);
    if (m != nullptr ? m->Playing : FindVoice(channel) != nullptr) {
        c.DeclickFrom = HeardVolume(c);
        c.DeclickLeft = DeclickFrames;
    } else {
        c.DeclickLeft = 0;
    }
    c.Volume.Set(ClampVolume(volume));
}

bool TAudioMixer::SetVolume(uint32_t channel, int volume) {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    if (c == nullptr) return false;
    SetChannelVolume(channel, *c, volume);
    return true;
}

bool TAudioMixer::SetPan(uint32_t channel, int pan) {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    if (c == nullptr) return false;
    c->Pan.Slide(ClampPan(pan), DeclickFrames);
    return true;
}

bool TAudioMixer::SetRate(uint32_t channel, int rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    TVoice* v = FindVoice(channel);
    if (v == nullptr || rate <= 0) return false;
    v->Step = PlaybackStep(rate, v->Sample->Rate);
    return true;
}

int TAudioMixer::Rate(uint32_t channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (FindMusic(channel) != nullptr) return SampleRate;
    TVoice* v = FindVoice(channel);
    return v ? int(std::lround(v->Step * double(v->Sample->Rate))) : -1;
}

double TAudioMixer::Pan(uint32_t channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    return c ? c->Pan.Value : 0.0;
}

bool TAudioMixer::SlideVolume(uint32_t channel, int volume, uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    if (c == nullptr) return false;
    const uint64_t frames = MsToFrames(ms);
    if (frames == 0)
        SetChannelVolume(channel, *c, volume);
    else
        c->Volume.Slide(ClampVolume(volume), frames);
    return true;
}

bool TAudioMixer::SlidePan(uint32_t channel, int pan, uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    if (c == nullptr) return false;
    c->Pan.Slide(ClampPan(pan), MsToFrames(ms));
    return true;
}

double TAudioMixer::Volume(uint32_t channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    TChannel* c = FindChannel(channel);
    return c ? c->Volume.Value : -1.0;
}

bool TAudioMixer::IsPlaying(uint32_t channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Sounding(channel);
}

bool TAudioMixer::IsMusic(uint32_t channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return FindMusic(channel) != nullptr;
}

bool TAudioMixer::StopChannel(uint32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (TMusic* m = FindMusic(channel)) {
        if (m->Playing) StartRelease(m->Chan);
        return true;
    }
    if (TVoice* v = FindVoice(channel)) {
        StartRelease(v->Chan);
        return true;
    }
    return false;
}

void TAudioMixer::StopAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& m : musics_)
        if (m->Playing) StartRelease(m->Chan);
    for (auto& v : voices_) StartRelease(v->Chan);
}

void TAudioMixer::SetGlobalVolumes(int music, int samples) {
    std::lock_guard<std::mutex> lock(mutex_);
    globalMusic_ = ClampVolume(music);
    globalSamples_ = ClampVolume(samples);
    // Each step of an options slider would click if the level jumped.
    globalMusicRamp_.Slide(globalMusic_, DeclickFrames);
    globalSampleRamp_.Slide(globalSamples_, DeclickFrames);
}

int TAudioMixer::GlobalMusicVolume() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return globalMusic_;
}

int TAudioMixer::GlobalSampleVolume() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return globalSamples_;
}

void TAudioMixer::SetPaused(bool paused) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (paused == paused_) return;
    paused_ = paused;
    outputFade_.Slide(paused ? 0.0 : 1.0, DeclickFrames);
}

bool TAudioMixer::Paused() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paused_;
}

uint64_t TAudioMixer::Clock() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_;
}

void TAudioMixer::Clear() {
    // Freed after the lock is released: a music may be waiting for its
    // background copy, and the audio thread must not wait with it.
    std::vector<std::unique_ptr<TMusic>> musics;
    std::vector<std::unique_ptr<TSample>> samples;
    std::vector<std::unique_ptr<TVoice>> voices;
    std::lock_guard<std::mutex> lock(mutex_);
    voices.swap(voices_);
    samples.swap(samples_);
    musics.swap(musics_);
}

namespace {
// Gains of the two sides for a pan of -100 (left) .. 100 (right): the centre
// plays both sides at full level, as the old library did.
inline void PanGains(double pan, float& left, float& right) {
    left = float(std::min(1.0, (100.0 - pan) / 100.0));
    right = float(std::min(1.0, (100.0 + pan) / 100.0));
}

// The release fade's factor for this frame; advances the release.
template <class TChan>
inline float ReleaseGain(TChan& chan) {
    if (!chan.Releasing) return 1.0f;
    if (chan.Release <= 0) return 0.0f;
    float g = float(chan.Release) / float(TAudioMixer::DeclickFrames);
    --chan.Release;
    return g;
}
}  // namespace

namespace {
// Frame i of a sample's channel ch for the interpolation's neighbours: a
// looping sample wraps round, a single shot holds its first and last frame
// (so a pitched playback starts and ends on the sample's own values and adds
// no step of its own there).
inline float PcmAt(const std::vector<float>& pcm, int64_t length, int64_t i, bool loop, int ch) {
    if (i < 0)
        i = loop ? i + length : 0;
    else if (i >= length)
        i = loop ? i - length : length - 1;
    return pcm[size_t(2 * i + ch)];
}

// Four-point cubic (Catmull-Rom) between p1 and p2: unlike a straight line it
// keeps the high end of a transient when the pitch is moved by a few percent,
// and it passes through every stored frame, so nothing is added where the
// sample is silent.
inline float Cubic(float p0, float p1, float p2, float p3, float t) {
    return p1 + 0.5f * t * (p2 - p0 + t * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3 + t * (3.0f * (p1 - p2) + p3 - p0)));
}
}  // namespace

void TAudioMixer::MixVoice(TVoice& voice, float* out, size_t frames) {
    const std::vector<float>& pcm = voice.Sample->Pcm;
    const size_t length = pcm.size() / 2;
    // At the sample's own rate the stored frames are played as they are.
    const bool ownRate = voice.Step == 1.0 && voice.Pos == std::floor(voice.Pos);
    for (size_t i = 0; i < frames; ++i) {
        if (voice.Pos >= double(length)) {
            if (!voice.Loop) {
                voice.Chan.Releasing = true;
                voice.Chan.Release = 0;
                return;
            }
            voice.Pos = std::fmod(voice.Pos, double(length));
        }
        const size_t a = size_t(voice.Pos);
        float l, r;
        if (ownRate) {
            l = pcm[2 * a];
            r = pcm[2 * a + 1];
        } else {
            const float t = float(voice.Pos - double(a));
            const int64_t n = int64_t(length);
            const int64_t k = int64_t(a);
            l = Cubic(PcmAt(pcm, n, k - 1, voice.Loop, 0), pcm[2 * a], PcmAt(pcm, n, k + 1, voice.Loop, 0),
                      PcmAt(pcm, n, k + 2, voice.Loop, 0), t);
            r = Cubic(PcmAt(pcm, n, k - 1, voice.Loop, 1), pcm[2 * a + 1], PcmAt(pcm, n, k + 1, voice.Loop, 1),
                      PcmAt(pcm, n, k + 2, voice.Loop, 1), t);
        }
        float gl, gr;
        PanGains(voice.Chan.Pan.Next(), gl, gr);
        float g = NextVolume(voice.Chan) * sampleGain_[i] * ReleaseGain(voice.Chan);
        out[2 * i] += l * g * gl;
        out[2 * i + 1] += r * g * gr;
        voice.Pos += voice.Step;
        if (voice.Chan.Releasing && voice.Chan.Release <= 0) return;
    }
}

void TAudioMixer::MixTail(TMusic& music, float* out, size_t frames) {
    const size_t n = std::min(frames, size_t(music.TailLeft));
    const size_t got = music.Tail->read_interleaved_stereo(SampleRate, n, scratch_.data());
    float gl, gr;
    PanGains(music.Chan.Pan.Value, gl, gr);
    for (size_t i = 0; i < got; ++i) {
        float g = float(music.TailGain * double(music.TailLeft - int(i)) / double(DeclickFrames)) * musicGain_[i];
        out[2 * i] += scratch_[2 * i] * g * gl;
        out[2 * i + 1] += scratch_[2 * i + 1] * g * gr;
    }
    music.TailLeft = got < n ? 0 : music.TailLeft - int(n);
}

void TAudioMixer::MixMusic(TMusic& music, float* out, size_t frames) {
    size_t got = music.Module->read_interleaved_stereo(SampleRate, frames, scratch_.data());
    for (size_t i = 0; i < got; ++i) {
        float gl, gr;
        PanGains(music.Chan.Pan.Next(), gl, gr);
        float g = NextVolume(music.Chan) * musicGain_[i] * ReleaseGain(music.Chan);
        out[2 * i] += scratch_[2 * i] * g * gl;
        out[2 * i + 1] += scratch_[2 * i + 1] * g * gr;
        if (music.Chan.Releasing && music.Chan.Release <= 0) break;
    }
    if (got < frames || (music.Chan.Releasing && music.Chan.Release <= 0)) {
        music.Playing = false;
        music.Chan.Releasing = false;
        music.Chan.Release = 0;
        music.Chan.DeclickLeft = 0;
    }
}

void TAudioMixer::Render(float* out, size_t frames) {
    if (out == nullptr) return;
    std::fill(out, out + frames * 2, 0.0f);
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t done = 0; done < frames;) {
        // Paused and faded out: nothing sounds and nothing advances.
        if (paused_ && outputFade_.Left == 0) return;
        size_t n = std::min(BlockFrames, frames - done);
        // A pause's fade is mixed to its end and no further.
        if (paused_) n = std::min<size_t>(n, outputFade_.Left);
        float* block = out + done * 2;
        for (size_t i = 0; i < n; ++i) {
            musicGain_[i] = float(globalMusicRamp_.Next() / 100.0);
            sampleGain_[i] = float(globalSampleRamp_.Next() / 100.0);
        }
        for (auto& m : musics_) {
            if (m->TailLeft > 0) MixTail(*m, block, n);
            if (m->Playing) MixMusic(*m, block, n);
        }
        for (auto& v : voices_) MixVoice(*v, block, n);
        std::erase_if(voices_, [](auto& v) { return v->Chan.Releasing && v->Chan.Release <= 0; });
        for (size_t i = 0; i < n; ++i) {
            const float fade = float(outputFade_.Next());
            block[2 * i] = std::clamp(block[2 * i] * fade, -1.0f, 1.0f);
            block[2 * i + 1] = std::clamp(block[2 * i + 1] * fade, -1.0f, 1.0f);
        }
        done += n;
        clock_ += n;
    }
}
