// The game's random source. One instance is seeded at start-up (from the
// command line's --seed or the clock) and passed to whatever needs chance, so
// a run with the same seed and input plays the same way.
#pragma once

#include <cstdint>

class TOrvRandom {
public:
    explicit TOrvRandom(uint64_t seed = 0x9E3779B97F4A7C15ull) { Seed(seed); }

    // Restarts the sequence; equal seeds give equal sequences.
    void Seed(uint64_t seed);

    // Next 32 uniformly distributed bits.
    uint32_t Next();

    // A uniform integer in 0..n-1; 0 when n <= 0.
    int32_t Below(int32_t n);

    // A uniform integer in lo..hi (inclusive); lo when hi < lo.
    int32_t Between(int32_t lo, int32_t hi);

    // A uniform value in [0, 1).
    double Unit();

private:
    uint64_t state_[2] = {0, 0};
};
