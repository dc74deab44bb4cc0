#include "Dsp.h"

#include <algorithm>
#include <cmath>

namespace dsp {

// Rotates a phasor instead of taking a sine per frame: far cheaper for the
// hundreds of partials of a bright tone, and in double precision it stays
// on the circle for minutes of sound.
void AddPartial(TBuffer& out, double w, double phase, double amp) {
    const double c = std::cos(w), s = std::sin(w);
    double x = std::cos(phase), y = std::sin(phase);
    for (float& v : out) {
        v += float(amp * y);
        const double nx = x * c - y * s;
        y = x * s + y * c;
        x = nx;
    }
}

size_t Frames(double seconds) {
    return size_t(std::max(0.0, seconds) * Rate + 0.5);
}

double NoteHz(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

double Perc(double t, double attack, double decay) {
    if (t < 0) return 0;
    if (attack > 0 && t < attack) return t / attack;
    return std::exp(-(t - attack) / std::max(decay, 1e-4));
}

double Adsr(double t, double a, double d, double s, double r, double hold) {
    auto gated = [&](double x) {
        if (x < a) return a > 0 ? x / a : 1.0;
        return s + (1.0 - s) * std::exp(-(x - a) / std::max(d, 1e-4));
    };
    if (t < hold) return gated(t);
    return gated(hold) * std::exp(-(t - hold) / std::max(r, 1e-4));
}

TBuffer Sweep(double seconds, double f0, double f1, double attack, double decay, double curve) {
    TBuffer out(Frames(seconds));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / Rate;
        double x = std::pow(double(i) / double(std::max<size_t>(out.size(), 1)), curve);
        double f = f0 * std::pow(f1 / f0, x);
        phase += 2 * Pi * f / Rate;
        out[i] = float(std::sin(phase) * Perc(t, attack, decay));
    }
    return out;
}

TBuffer Fm(double seconds, double freq, double ratio, double index0, double index1, double indexDecay, double attack,
           double decay) {
    TBuffer out(Frames(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / Rate;
        double index = index1 + (index0 - index1) * std::exp(-t / std::max(indexDecay, 1e-4));
        double mod = std::sin(2 * Pi * freq * ratio * t) * index;
        out[i] = float(std::sin(2 * Pi * freq * t + mod) * Perc(t, attack, decay));
    }
    return out;
}

TBuffer Noise(double seconds, double attack, double decay, TOrvRandom& random) {
    TBuffer out(Frames(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / Rate;
        out[i] = float((random.Unit() * 2 - 1) * Perc(t, attack, decay));
    }
    return out;
}

TBuffer Saw(double seconds, double freq, int voices, double detuneCents) {
    TBuffer out(Frames(seconds));
    voices = std::max(voices, 1);
    for (int v = 0; v < voices; ++v) {
        double spread = voices == 1 ? 0.0 : (double(v) / (voices - 1) * 2 - 1) * detuneCents;
        double f = freq * std::pow(2.0, spread / 1200.0);
        int harmonics = std::max(1, int(18000.0 / f));
        double offset = 0.37 * v;  // voices start out of phase, like free-running oscillators
        for (int k = 1; k <= harmonics; ++k) AddPartial(out, 2 * Pi * f * k / Rate, offset * k, 1.0 / k / voices);
    }
    return out;
}

TBuffer Square(double seconds, double freq) {
    TBuffer out(Frames(seconds));
    int harmonics = std::max(1, int(18000.0 / freq));
    for (int k = 1; k <= harmonics; k += 2) AddPartial(out, 2 * Pi * freq * k / Rate, 0.0, 1.0 / k);
    return out;
}

void Filter(TBuffer& buf, TFilterMode mode, double cut0, double cut1, double q) {
    double low = 0, band = 0;
    const double damp = 1.0 / std::max(q, 0.5);
    for (size_t i = 0; i < buf.size(); ++i) {
        double x = buf.size() > 1 ? double(i) / double(buf.size() - 1) : 0.0;
        double cut = std::min(cut0 * std::pow(cut1 / cut0, x), Rate * 0.2);
        // Chamberlin state-variable filter run twice per sample (at twice the
        // rate), which keeps it stable up to the cutoffs used here.
        double f = 2 * std::sin(Pi * cut / (2.0 * Rate));
        double high = 0;
        for (int pass = 0; pass < 2; ++pass) {
            low += f * band;
            high = buf[i] - low - damp * band;
            band += f * high;
        }
        double y = mode == fmLow ? low : (mode == fmHigh ? high : band);
        buf[i] = float(y);
    }
}

void Shape(TBuffer& buf, double attack, double decay) {
    for (size_t i = 0; i < buf.size(); ++i) buf[i] *= float(Perc(double(i) / Rate, attack, decay));
}

void Mix(TBuffer& dst, const TBuffer& src, double gain, size_t at) {
    if (dst.size() < at + src.size()) dst.resize(at + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i) dst[at + i] += float(src[i] * gain);
}

void Echo(TBuffer& buf, double delay, double feedback, double wet, double tail) {
    size_t d = std::max<size_t>(1, Frames(delay));
    buf.resize(buf.size() + Frames(tail), 0.0f);
    TBuffer line(buf.size(), 0.0f);
    for (size_t i = 0; i < buf.size(); ++i) {
        float delayed = i >= d ? line[i - d] : 0.0f;
        line[i] = buf[i] + delayed * float(feedback);
        buf[i] += delayed * float(wet);
    }
}

void Finish(TBuffer& buf) {
    float peak = Peak(buf);
    if (peak <= 0) return;
    size_t end = buf.size();
    while (end > 0 && std::fabs(buf[end - 1]) < peak * 0.001f) --end;
    buf.resize(std::max<size_t>(end, Frames(0.02)), 0.0f);
    size_t in = std::min(buf.size(), Frames(0.0015));
    for (size_t i = 0; i < in; ++i) buf[i] *= float(i) / float(in);
    size_t out = std::min(buf.size(), Frames(0.008));
    for (size_t i = 0; i < out; ++i) buf[buf.size() - 1 - i] *= float(i) / float(out);
}

void Normalise(TBuffer& buf, double targetRms, double peakLimit) {
    const size_t window = Frames(0.05);
    double best = 0;
    for (size_t start = 0; start < buf.size(); start += window / 2) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = start; i < std::min(buf.size(), start + window); ++i, ++n) sum += double(buf[i]) * buf[i];
        if (n) best = std::max(best, std::sqrt(sum / double(n)));
    }
    if (best <= 0) return;
    double gain = targetRms / best;
    float peak = Peak(buf);
    if (peak * gain > peakLimit) gain = peakLimit / peak;
    for (float& v : buf) v = float(v * gain);
}

float Peak(const TBuffer& buf) {
    float p = 0;
    for (float v : buf) p = std::max(p, std::fabs(v));
    return p;
}

}  // namespace dsp
