// TAudioMixer: the software mixer behind the game's audio library. It owns
// every loaded sample (decoded Ogg Vorbis PCM) and music (a libopenmpt
// module), the playbacks of the samples, the volume slides and the global
// volumes, and renders them into interleaved stereo float frames at 44100 Hz.
//
// Time inside the mixer is counted in rendered frames, so slides and
// playback positions advance exactly as far as audio has been rendered;
// rendering offline (tests, tools) gives the same result as a sound card.
//
// Thread safety: every public method locks the mixer's mutex, so the game
// thread may call in while the audio device's thread renders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace openmpt {
class module;
}

class TAudioMixer {
public:
    static constexpr int SampleRate = 44100;
    // Longest sample the mixer accepts, two minutes (about 42 MB decoded):
    // samples are sound effects, long music comes as modules. The limit
    // holds before and after resampling, so a file cannot make the mixer
    // take more memory than this whatever its header claims.
    static constexpr size_t MaxSampleFrames = size_t(SampleRate) * 120;
    // Short fade applied when a playback is cut (stopped or replaced), when
    // a sounding music restarts, to sudden volume changes (of a channel or
    // the global volumes) and to pausing and resuming, so no click is heard
    // (about 3 ms).
    static constexpr int DeclickFrames = 128;
    // Playback rates a sample may be given, in Hz.
    static constexpr int MinRate = 100;
    static constexpr int MaxRate = 384000;

    // How a sample's playback over its limit is chosen.
    enum TOverride : uint8_t { ovNone = 0, ovLongest = 1, ovQuietest = 2 };

    TAudioMixer();
    ~TAudioMixer();
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    // Decodes an Ogg Vorbis file held in memory into a new sample allowed
    // maxPlaybacks simultaneous playbacks (1..65535). Returns the sample's
    // id (> 0), or 0 when the data is not a complete, decodable Ogg Vorbis
    // stream, is longer than MaxSampleFrames, or maxPlaybacks is out of
    // range. The bytes are only read during the call.
    uint32_t LoadSample(const uint8_t* data, size_t size, uint32_t maxPlaybacks, TOverride over);
    // Same, from PCM already decoded: interleaved stereo floats at
    // SampleRate (frames * 2 values). rate is the rate the sample calls its
    // own (what a playback at the default rate counts as), as a file's
    // header would give it; the PCM itself is always at SampleRate. Used by
    // tests and tools.
    uint32_t LoadSamplePcm(std::vector<float> stereo, uint32_t maxPlaybacks, TOverride over, int rate = SampleRate);
    // Frees the sample and cuts its playbacks. False for an unknown id.
    bool FreeSample(uint32_t sample);
    // Starts a playback at frame start, volume 0..100, pan -100..100, at
    // rate in Hz (<= 0: the sample's own rate; others are clamped to
    // MinRate..MaxRate), looping or not. A rate above the sample's own
    // raises the pitch and shortens the sound in proportion. Returns the
    // playback's channel id (> 0), or 0 when the sample is unknown, start
    // lies past its end, or the playback limit is reached with no override.
    uint32_t PlaySample(uint32_t sample, uint32_t start, int rate, int volume, int pan, bool loop);
    // The sample's own rate in Hz (that of the file it was decoded from),
    // 0 for an unknown id.
    int SampleFrequency(uint32_t sample) const;
    // The sample's length in frames at SampleRate, 0 for an unknown id.
    size_t SampleFrames(uint32_t sample) const;
    // Cuts every playback of the sample. False for an unknown id.
    bool StopSample(uint32_t sample);
    // Number of playbacks of the sample that are sounding now.
    int ActivePlaybacks(uint32_t sample) const;

    // Loads a tracker module from memory. flags as BASS_MusicLoad
    // (1 ramping, 4 loop). Returns the music's id (> 0), or 0 when
    // libopenmpt cannot read the data.
    uint32_t LoadMusic(const uint8_t* data, size_t size, uint32_t flags);
    // Frees the music. False for an unknown id.
    bool FreeMusic(uint32_t music);
    // Starts the music at order position order; flags < 0 keeps the load
    // flags; reset restarts tempo and channel state. A music that sounds
    // when it is restarted with reset fades out what it played over
    // DeclickFrames while the new start plays at the channel's volume (so a
    // volume set to 0 just before makes the start come from silence);
    // without reset it jumps at once. False for an unknown id or an order
    // past the module's order list.
    bool PlayMusic(uint32_t music, uint32_t order, int flags, bool reset);
    // Number of orders in the module (0 for an unknown id).
    int MusicOrders(uint32_t music) const;
    // The module's order position now playing (-1 for an unknown id).
    int MusicOrder(uint32_t music) const;

    // Channel ids are the music ids and the playback ids returned above.
    // Sets the volume at once (0..100), cancelling a volume slide: Volume
    // reports it and a later slide starts from it. What is heard of a
    // sounding channel moves to it over DeclickFrames.
    bool SetVolume(uint32_t channel, int volume);
    // Sets the pan at once (-100..100).
    bool SetPan(uint32_t channel, int pan);
    // Sets a playback's rate in Hz (samples only; false for musics and for
    // rate <= 0). Clamped to MinRate..MaxRate.
    bool SetRate(uint32_t channel, int rate);
    // The channel's rate in Hz: a playback's, or SampleRate for a music;
    // -1 for an unknown channel.
    int Rate(uint32_t channel) const;
    // The channel's pan (-100..100, fractional during a slide); 0 for an
    // unknown channel.
    double Pan(uint32_t channel) const;
    // Slides the volume (0..100) linearly over ms milliseconds of played
    // time; ms 0 is SetVolume.
    bool SlideVolume(uint32_t channel, int volume, uint32_t ms);
    // Slides the pan over ms milliseconds.
    bool SlidePan(uint32_t channel, int pan, uint32_t ms);
    // The channel's current volume (0..100, fractional during a slide);
    // -1 for an unknown channel.
    double Volume(uint32_t channel) const;
    // True while the channel sounds.
    bool IsPlaying(uint32_t channel) const;
    // Stops a music (it keeps its place in the table and may be started
    // again) or cuts a playback. False for an unknown channel.
    bool StopChannel(uint32_t channel);
    // Stops every music and playback.
    void StopAll();
    // True when channel names a loaded music / a live playback.
    bool IsMusic(uint32_t channel) const;

    // Global volumes 0..100 over all musics and all samples (clamped); the
    // sound follows over DeclickFrames.
    void SetGlobalVolumes(int music, int samples);
    int GlobalMusicVolume() const;
    int GlobalSampleVolume() const;

    // Pausing fades the output out over DeclickFrames (during which
    // everything still advances); after that Render gives silence and
    // nothing advances. Resuming fades back in from where it stopped.
    void SetPaused(bool paused);
    bool Paused() const;

    // Mixes frames frames into out (2 * frames interleaved floats, clamped
    // to -1..1), advancing every channel and slide.
    void Render(float* out, size_t frames);

    // Frames rendered since creation (the mixer's clock).
    uint64_t Clock() const;

    // Frees every sample and music.
    void Clear();

private:
    // A value that can be moved to a target linearly over a number of frames.
    struct TRamp {
        double Value = 0;
        double Target = 0;
        double Step = 0;
        uint64_t Left = 0;

        void Set(double v) {
            Value = Target = v;
            Step = 0;
            Left = 0;
        }
        void Slide(double target, uint64_t frames) {
            if (frames == 0) {
                Set(target);
                return;
            }
            Target = target;
            Left = frames;
            Step = (target - Value) / double(frames);
        }
        double Next() {
            if (Left == 0) return Value;
            if (--Left == 0)
                Value = Target;
            else
                Value += Step;
            return Value;
        }
    };
    struct TChannel;
    struct TSample;
    struct TVoice;
    struct TMusic;

    TSample* FindSample(uint32_t id) const;
    TVoice* FindVoice(uint32_t id) const;
    TMusic* FindMusic(uint32_t id) const;
    TChannel* FindChannel(uint32_t id) const;
    bool Sounding(uint32_t channel) const;  // playing and not being cut; lock held
    uint32_t AddSample(std::vector<float> stereo, uint32_t maxPlaybacks, TOverride over, int rate);
    void MixVoice(TVoice& voice, float* out, size_t frames);
    void MixMusic(TMusic& music, float* out, size_t frames);
    void MixTail(TMusic& music, float* out, size_t frames);
    void SetChannelVolume(uint32_t channel, TChannel& c, int volume);  // lock held
    uint32_t NewId();

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TSample>> samples_;
    std::vector<std::unique_ptr<TVoice>> voices_;
    std::vector<std::unique_ptr<TMusic>> musics_;
    std::vector<float> scratch_;
    // Per-frame gains of the block being mixed: the global volumes as they
    // move (0..1).
    std::vector<float> musicGain_;
    std::vector<float> sampleGain_;
    TRamp globalMusicRamp_;
    TRamp globalSampleRamp_;
    // The output's fade for pausing and resuming (0..1).
    TRamp outputFade_;
    uint32_t nextId_ = 1;
    uint64_t clock_ = 0;
    int globalMusic_ = 100;
    int globalSamples_ = 100;
    bool paused_ = false;
};
