// Sound data made on the spot for the audio tests: tones as PCM, the same
// encoded as Ogg Vorbis, and a small ProTracker module whose orders can be
// told apart by ear (each order plays its tone at its own volume).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/OggEncoder.h"

namespace audiotest {

constexpr int Rate = 44100;

// A stereo sine at amplitude amp, frames long.
inline std::vector<float> Sine(size_t frames, double freq = 440.0, float amp = 0.5f) {
    std::vector<float> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        float v = amp * float(std::sin(2.0 * M_PI * freq * double(i) / Rate));
        pcm[2 * i] = v;
        pcm[2 * i + 1] = v;
    }
    return pcm;
}

// Root mean square over both channels of frames [from, from + count).
inline double Rms(const std::vector<float>& out, size_t from, size_t count) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * 2; i < (from + count) * 2 && i < out.size(); ++i, ++n) sum += double(out[i]) * out[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

inline std::vector<uint8_t> SineOgg(size_t frames, double freq = 440.0, float amp = 0.5f, long rate = Rate) {
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) mono[i] = amp * float(std::sin(2.0 * M_PI * freq * double(i) / double(rate)));
    return EncodeOggVorbis(mono, 1, rate, 0.4f, 1234);
}

// A four-channel "M.K." module with one looping square-wave instrument and
// orders patterns, order k playing pattern k; pattern k holds a note on
// every 16th row of channel 0 at volume 8 + 8 * k (so later orders are
// louder), ending with a jump back to order 0 on the last row of the last
// pattern.
inline std::vector<uint8_t> TestModule(int orders) {
    std::vector<uint8_t> m(20, 0);
    const char* title = "moswick test";
    for (int i = 0; title[i]; ++i) m[size_t(i)] = uint8_t(title[i]);
    const uint16_t sampleWords = 256;
    for (int s = 0; s < 31; ++s) {
        uint8_t hdr[30] = {};
        if (s == 0) {
            hdr[22] = uint8_t(sampleWords >> 8);
            hdr[23] = uint8_t(sampleWords & 0xFF);
            hdr[25] = 64;  // volume
            hdr[26] = 0;   // loop start
            hdr[27] = 0;
            hdr[28] = uint8_t(sampleWords >> 8);  // loop length
            hdr[29] = uint8_t(sampleWords & 0xFF);
        }
        m.insert(m.end(), hdr, hdr + 30);
    }
    m.push_back(uint8_t(orders));
    m.push_back(127);
    for (int i = 0; i < 128; ++i) m.push_back(uint8_t(i < orders ? i : 0));
    m.push_back('M');
    m.push_back('.');
    m.push_back('K');
    m.push_back('.');
    for (int p = 0; p < orders; ++p) {
        for (int row = 0; row < 64; ++row) {
            for (int ch = 0; ch < 4; ++ch) {
                uint8_t cell[4] = {};
                if (ch == 0 && row % 16 == 0) {
                    const uint16_t period = 428;
                    cell[0] = uint8_t(0x00 | (period >> 8));
                    cell[1] = uint8_t(period & 0xFF);
                    cell[2] = uint8_t((1 << 4) | 0xC);  // sample 1, set volume
                    cell[3] = uint8_t(std::min(64, 8 + 8 * p));
                }
                if (ch == 1 && row == 63 && p == orders - 1) {
                    cell[2] = 0xB;  // position jump to order 0
                    cell[3] = 0;
                }
                m.insert(m.end(), cell, cell + 4);
            }
        }
    }
    for (int i = 0; i < sampleWords * 2; ++i) m.push_back(uint8_t((i / 16) % 2 ? 96 : 256 - 96));
    return m;
}

}  // namespace audiotest
