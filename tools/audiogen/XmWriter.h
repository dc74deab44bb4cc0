// Writes FastTracker 2 extended modules (XM 1.04), the tracker format the
// game's music is composed into: patterns of note cells, instruments with
// one 16-bit sample each and volume envelopes, linear frequencies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TXmCell {
    uint8_t Note = 0;        // 0 none, 1..96 (49 = middle C), 97 key off
    uint8_t Instrument = 0;  // 0 none, 1..
    uint8_t Volume = 0;      // volume column byte: 0 none, 0x10..0x50 set volume 0..64
    uint8_t Effect = 0;
    uint8_t Param = 0;
    bool Empty() const { return Note == 0 && Instrument == 0 && Volume == 0 && Effect == 0 && Param == 0; }
};

struct TXmPattern {
    int Rows = 64;
    std::vector<TXmCell> Cells;  // Rows * channels, row after row
};

struct TXmEnvelopePoint {
    uint16_t Tick;
    uint16_t Value;  // 0..64
};

struct TXmInstrument {
    std::string Name;
    std::vector<int16_t> Sample;
    uint32_t LoopStart = 0;   // in frames
    uint32_t LoopLength = 0;  // 0: no loop
    uint8_t Volume = 64;
    int8_t FineTune = 0;  // 1/128 semitone
    int8_t RelativeNote = 0;
    uint8_t Panning = 128;
    std::vector<TXmEnvelopePoint> VolumeEnvelope;  // empty: none
    int SustainPoint = -1;
    uint16_t Fadeout = 0;
    // Automatic vibrato: 0 none; depth in 1/16 semitone, rate in 1/256 of a
    // cycle per tick, sweep in ticks.
    uint8_t VibratoDepth = 0;
    uint8_t VibratoRate = 0;
    uint8_t VibratoSweep = 0;
};

struct TXmModule {
    std::string Name;
    int Channels = 8;
    int Speed = 6;
    int Bpm = 125;
    int Restart = 0;
    std::vector<uint8_t> Orders;
    std::vector<TXmPattern> Patterns;
    std::vector<TXmInstrument> Instruments;
};

// The module's file bytes. Throws std::runtime_error when the module
// breaks a limit of the format (too many orders, patterns, rows, channels,
// instruments, envelope points, or a pattern whose packed data is too big).
std::vector<uint8_t> WriteXm(const TXmModule& module);
