// Ogg Vorbis encoding of PCM, for the tools that make the game's sounds and
// for tests that need real sound files. The output depends only on the
// input, the quality and the serial number, so a build makes the same bytes
// every time.
#pragma once

#include <cstdint>
#include <vector>

// Encodes interleaved float PCM (channels 1 or 2, values -1..1, rate in Hz)
// as one Ogg Vorbis stream at VBR quality -0.1..1 with the given stream
// serial number. Returns the file's bytes; empty when the arguments are
// invalid or the encoder refuses the format.
std::vector<uint8_t> EncodeOggVorbis(const std::vector<float>& pcm, int channels, long rate, float quality, int serial);
