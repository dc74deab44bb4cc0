#include "base/OrvRandom.h"

namespace {

// splitmix64 spreads a seed of any shape over the generator's state.
uint64_t SplitMix(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void TOrvRandom::Seed(uint64_t seed) {
    state_[0] = SplitMix(seed);
    state_[1] = SplitMix(seed);
    if ((state_[0] | state_[1]) == 0) state_[1] = 1;
}

uint32_t TOrvRandom::Next() {
    // xorshift128+: fast, small state, good enough for a game's dice.
    uint64_t s1 = state_[0];
    const uint64_t s0 = state_[1];
    state_[0] = s0;
    s1 ^= s1 << 23;
    state_[1] = s1 ^ s0 ^ (s1 >> 17) ^ (s0 >> 26);
    return static_cast<uint32_t>((state_[1] + s0) >> 32);
}

int32_t TOrvRandom::Below(int32_t n) {
    if (n <= 0) return 0;
    // Lemire's multiply-shift keeps the result unbiased enough without a loop.
    return static_cast<int32_t>((static_cast<uint64_t>(Next()) * static_cast<uint64_t>(n)) >> 32);
}

int32_t TOrvRandom::Between(int32_t lo, int32_t hi) {
    if (hi <= lo) return lo;
    const int64_t span = static_cast<int64_t>(hi) - lo + 1;
    if (span > INT32_MAX) return static_cast<int32_t>(lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(span)));
    return lo + Below(static_cast<int32_t>(span));
}

double TOrvRandom::Unit() {
    return Next() / 4294967296.0;
}
