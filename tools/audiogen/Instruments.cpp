#include "Instruments.h"

#include <algorithm>
#include <cmath>

#include "Dsp.h"

using namespace dsp;

namespace {

// XM plays a sample at 8363 Hz on middle C (with relative note 0); this
// finds the relative note and fine tune that make a sample whose pitch is
// sourceHz play middle C at middle C.
void Tune(TXmInstrument& ins, double sourceHz) {
    double x = 12.0 * std::log2(NoteHz(60) * Rate / (sourceHz * 8363.0));
    int rel = int(std::lround(x));
    int fine = int(std::lround((x - rel) * 128.0));
    if (fine > 127) fine = 127;
    if (fine < -128) fine = -128;
    ins.RelativeNote = int8_t(std::clamp(rel, -96, 95));
    ins.FineTune = int8_t(fine);
}

std::vector<int16_t> ToPcm16(TBuffer buf, double peak) {
    float p = Peak(buf);
    double gain = p > 0 ? peak / p : 0.0;
    std::vector<int16_t> out(buf.size());
    for (size_t i = 0; i < buf.size(); ++i)
        out[i] = int16_t(std::lround(std::clamp(buf[i] * gain, -1.0, 1.0) * 32000.0));
    return out;
}

TXmInstrument Instrument(const char* name, TBuffer buf, double sourceHz, double level) {
    TXmInstrument ins;
    ins.Name = name;
    Finish(buf);
    ins.Sample = ToPcm16(std::move(buf), level);
    Tune(ins, sourceHz);
    return ins;
}

// A small room: a few short echoes at prime-ish delays, so a dry sample
// sounds as if played in a space; the tail grows the sample.
void Room(TBuffer& buf, double wet) {
    buf.resize(buf.size() + Frames(0.35), 0.0f);
    TBuffer dry = buf;
    const double delays[] = {0.029, 0.037, 0.053, 0.071, 0.097, 0.131};
    double gain = wet;
    for (double d : delays) {
        size_t off = Frames(d);
        for (size_t i = off; i < buf.size(); ++i) buf[i] += float(dry[i - off] * gain);
        gain *= 0.72;
    }
}

// Sustain at full level and release with the given fadeout after key off.
void HoldEnvelope(TXmInstrument& ins, uint16_t attackTicks, uint16_t fadeout) {
    if (attackTicks > 0)
        ins.VolumeEnvelope = {{0, 0}, {attackTicks, 64}};
    else
        ins.VolumeEnvelope = {{0, 64}, {1, 64}};
    ins.SustainPoint = 1;
    ins.Fadeout = fadeout;
}

// Additive tone whose every partial completes whole cycles in one second,
// so the sample loops seamlessly over its whole length.
TBuffer LoopingTone(const std::vector<std::pair<int, double>>& partials) {
    TBuffer out(Rate);
    for (auto [hz, amp] : partials) AddPartial(out, 2 * Pi * hz / Rate, hz * 0.61, amp);
    return out;
}

TXmInstrument EPiano() {
    const double f = NoteHz(60);
    TBuffer body = Fm(2.6, f, 1.0, 1.8, 0.25, 0.35, 0.002, 0.9);
    TBuffer tine = Fm(2.6, f * 2, 7.0, 1.2, 0.0, 0.05, 0.001, 0.25);
    Mix(body, tine, 0.24);
    Room(body, 0.3);
    TXmInstrument ins = Instrument("E.Piano", body, f, 0.9);
    HoldEnvelope(ins, 0, 0x700);
    return ins;
}

TXmInstrument Pad() {
    // Three detuned voices 1 Hz apart around 262 Hz plus a soft octave below;
    // every partial lies on a whole number of hertz.
    std::vector<std::pair<int, double>> partials;
    for (int base : {261, 262, 263}) {
        for (int k = 1; k <= 10; ++k) partials.push_back({base * k, 0.33 / std::pow(k, 1.6)});
    }
    partials.push_back({131, 0.25});
    partials.push_back({393, 0.05});
    TXmInstrument ins;
    ins.Name = "Soft Pad";
    ins.Sample = ToPcm16(LoopingTone(partials), 0.8);
    ins.LoopStart = 0;
    ins.LoopLength = uint32_t(ins.Sample.size());
    Tune(ins, 262.0);
    HoldEnvelope(ins, 24, 0x180);
    ins.VibratoDepth = 2;
    ins.VibratoRate = 4;
    ins.VibratoSweep = 40;
    return ins;
}

TXmInstrument Bass() {
    const double f = NoteHz(36);
    TBuffer saw = Saw(1.6, f, 1, 0.0);
    Filter(saw, fmLow, 1400.0, 160.0, 1.4);
    TBuffer sub = Sweep(1.6, f, f, 0.002, 10.0);
    Mix(saw, sub, 0.9);
    Shape(saw, 0.003, 0.55);
    TXmInstrument ins = Instrument("Pluck Bass", saw, f, 0.9);
    HoldEnvelope(ins, 0, 0x1000);
    return ins;
}

TXmInstrument Bell() {
    const double f = NoteHz(72);
    TBuffer bell = Fm(2.8, f, 3.5, 2.5, 0.4, 0.6, 0.001, 0.8);
    TBuffer shimmer = Fm(2.8, f * 2.0, 1.41, 0.8, 0.0, 0.3, 0.001, 0.4);
    Mix(bell, shimmer, 0.25);
    // A high glassy partial gives the bell its sparkle.
    TBuffer glass = Fm(1.2, f * 4.0, 2.0, 0.5, 0.0, 0.2, 0.001, 0.25);
    Mix(bell, glass, 0.12);
    Room(bell, 0.35);
    TXmInstrument ins = Instrument("Bell", bell, f, 0.85);
    HoldEnvelope(ins, 0, 0x300);
    return ins;
}

TXmInstrument Kick(TOrvRandom& random) {
    TBuffer kick = Sweep(0.45, 150.0, 42.0, 0.001, 0.2, 0.35);
    TBuffer click = Noise(0.01, 0.0005, 0.003, random);
    Filter(click, fmLow, 3000.0, 3000.0, 0.7);
    Mix(kick, click, 0.5);
    return Instrument("Kick", kick, NoteHz(60), 0.95);
}

TXmInstrument Snare(TOrvRandom& random) {
    TBuffer noise = Noise(0.35, 0.001, 0.11, random);
    Filter(noise, fmBand, 2200.0, 1500.0, 0.8);
    TBuffer tone = Sweep(0.2, 200.0, 160.0, 0.001, 0.05);
    Mix(noise, tone, 0.6);
    return Instrument("Snare", noise, NoteHz(60), 0.9);
}

TXmInstrument Hat(TOrvRandom& random) {
    TBuffer hat = Noise(0.15, 0.0005, 0.035, random);
    Filter(hat, fmHigh, 6500.0, 8000.0, 0.9);
    TBuffer sizzle = Noise(0.15, 0.0005, 0.05, random);
    Filter(sizzle, fmBand, 11000.0, 11000.0, 2.0);
    Mix(hat, sizzle, 0.5);
    return Instrument("Hi-Hat", hat, NoteHz(60), 0.8);
}

TXmInstrument Lead() {
    std::vector<std::pair<int, double>> partials = {{262, 0.8}, {524, 0.22}, {786, 0.1}, {1048, 0.04}};
    TXmInstrument ins;
    ins.Name = "Soft Lead";
    ins.Sample = ToPcm16(LoopingTone(partials), 0.85);
    ins.LoopStart = 0;
    ins.LoopLength = uint32_t(ins.Sample.size());
    Tune(ins, 262.0);
    HoldEnvelope(ins, 3, 0x500);
    ins.VibratoDepth = 3;
    ins.VibratoRate = 10;
    ins.VibratoSweep = 30;
    return ins;
}

// A plucked string (Karplus-Strong): a burst of noise circulating in a
// delay line one period long, softened a little on every pass.
TXmInstrument Pluck(TOrvRandom& random) {
    const double f = NoteHz(72);
    const size_t period = size_t(std::lround(Rate / f));
    TBuffer out(Frames(1.6));
    TBuffer line(period);
    for (float& v : line) v = float(random.Between(-1000, 1000)) / 1000.0f;
    for (size_t i = 0; i < out.size(); ++i) {
        size_t k = i % period;
        float next = line[(k + 1) % period];
        out[i] = line[k];
        line[k] = 0.996f * 0.5f * (line[k] + next);
    }
    Filter(out, fmHigh, 120.0, 120.0, 0.7);
    Shape(out, 0.001, 0.6);
    Room(out, 0.3);
    // The delay line rounds the period; tune to the pitch it really has.
    TXmInstrument ins = Instrument("Pluck", out, double(Rate) / double(period), 0.85);
    HoldEnvelope(ins, 0, 0x400);
    return ins;
}

TXmInstrument Shaker(TOrvRandom& random) {
    TBuffer s = Noise(0.09, 0.006, 0.025, random);
    Filter(s, fmBand, 8000.0, 9000.0, 1.2);
    return Instrument("Shaker", s, NoteHz(60), 0.7);
}

}  // namespace

int XmNote(int midi) {
    return std::clamp(midi - 11, 1, 96);
}

std::vector<TXmInstrument> MakeInstruments() {
    TOrvRandom random(0x51A7E5EEDull);
    std::vector<TXmInstrument> list;
    list.push_back(EPiano());
    list.push_back(Pad());
    list.push_back(Bass());
    list.push_back(Bell());
    list.push_back(Kick(random));
    list.push_back(Snare(random));
    list.push_back(Hat(random));
    list.push_back(Lead());
    list.push_back(Pluck(random));
    list.push_back(Shaker(random));
    return list;
}
