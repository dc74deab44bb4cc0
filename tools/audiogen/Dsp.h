// Small synthesis toolkit for the game's sounds and instrument samples:
// mono float buffers at 44100 Hz, oscillators, envelopes, filters and the
// finishing steps (declicking fades, loudness normalising). Everything is
// deterministic: noise comes from a seeded TOrvRandom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/OrvRandom.h"

namespace dsp {

constexpr int Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

using TBuffer = std::vector<float>;

// Number of frames in seconds of sound.
size_t Frames(double seconds);
// Frequency of a MIDI note number (69 = A4 = 440 Hz).
double NoteHz(double midi);

// Attack/decay envelope value at time t (s): linear rise over attack, then
// exponential fall with the given time constant.
double Perc(double t, double attack, double decay);
// ADSR with a gate of length hold (s); after the gate it releases.
double Adsr(double t, double a, double d, double s, double r, double hold);

// A sine whose frequency follows f(t) linearly from f0 to f1 over the
// sound's length, amplitude env(t).
TBuffer Sweep(double seconds, double f0, double f1, double attack, double decay, double curve = 1.0);

// Two-operator FM tone: carrier at freq, modulator at ratio * freq with an
// index falling from index0 to index1 with time constant indexDecay; the
// amplitude is Perc(attack, decay).
TBuffer Fm(double seconds, double freq, double ratio, double index0, double index1, double indexDecay, double attack,
           double decay);

// White noise shaped by Perc(attack, decay).
TBuffer Noise(double seconds, double attack, double decay, TOrvRandom& random);

// Adds amp * sin(w * i + phase) (w in radians per frame) to every frame.
void AddPartial(TBuffer& out, double w, double phase, double amp);

// A band-limited sawtooth (additive, harmonics below 18 kHz) at freq with a
// slight detune chorus of voices copies spread by detune cents.
TBuffer Saw(double seconds, double freq, int voices, double detuneCents);
// A band-limited square.
TBuffer Square(double seconds, double freq);

// State-variable filter modes.
enum TFilterMode { fmLow, fmHigh, fmBand };
// Filters buf in place; the cutoff moves exponentially from cut0 to cut1
// (Hz) over the buffer; q is the resonance (0.5 gentle .. 10 sharp).
void Filter(TBuffer& buf, TFilterMode mode, double cut0, double cut1, double q);

// Multiplies buf by Perc(attack, decay).
void Shape(TBuffer& buf, double attack, double decay);
// Adds src into dst starting at frame at, scaled by gain (dst grows).
void Mix(TBuffer& dst, const TBuffer& src, double gain, size_t at = 0);
// Simple feedback echo: delay (s), feedback 0..0.9, wet level.
void Echo(TBuffer& buf, double delay, double feedback, double wet, double tail);
// Cuts trailing near-silence, fades the first 1.5 ms in and the last 8 ms
// out so the sound starts and ends without a click.
void Finish(TBuffer& buf);
// Scales the sound so its loudest 50 ms window has the target RMS, but
// never lets the peak pass peakLimit.
void Normalise(TBuffer& buf, double targetRms, double peakLimit = 0.89);
// Peak absolute value.
float Peak(const TBuffer& buf);

}  // namespace dsp
