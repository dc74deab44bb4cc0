// The AVX2 row routines: the kernels of SurfBlendKernels.h on 256-bit
// registers. This file alone is built for AVX2 (see CMakeLists.txt), and its
// routines are only called after the processor said it has it. Unpacking and
// shuffling work within each 128-bit half, which the alpha spreads follow.
#include "render/SurfBlend.h"

#if defined(__AVX2__)

#include <immintrin.h>

#include "render/SurfBlendKernels.h"

namespace {

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

struct TAvx2 {
    using R = __m256i;
    // Whether a bit select costs one instruction (else three).
    static constexpr bool kCheapSelect = true;
    // Whether spreading alpha over 32-bit pixels costs unpacks (else one
    // shuffle of a broadcast load).
    static constexpr bool kSpreadCostsUnpacks = false;
    static constexpr int kBytes = 32;

    static MOSWICK_INLINE R Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const R*>(p)); }
    static MOSWICK_INLINE void Store(uint8_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<R*>(p), v); }
    static MOSWICK_INLINE R Zero() { return _mm256_setzero_si256(); }
    static MOSWICK_INLINE R Set16(uint32_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
    static MOSWICK_INLINE R Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static MOSWICK_INLINE R And(R a, R b) { return _mm256_and_si256(a, b); }
    static MOSWICK_INLINE R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }
    static MOSWICK_INLINE R Or(R a, R b) { return _mm256_or_si256(a, b); }
    static MOSWICK_INLINE R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static MOSWICK_INLINE R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static MOSWICK_INLINE R AddsU8(R a, R b) { return _mm256_adds_epu8(a, b); }
    static MOSWICK_INLINE R AddsU16(R a, R b) { return _mm256_adds_epu16(a, b); }
    static MOSWICK_INLINE R SubsU16(R a, R b) { return _mm256_subs_epu16(a, b); }
    static MOSWICK_INLINE R MinU8(R a, R b) { return _mm256_min_epu8(a, b); }
    static MOSWICK_INLINE R MinS16(R a, R b) { return _mm256_min_epi16(a, b); }
    static MOSWICK_INLINE R MulLo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static MOSWICK_INLINE R MulHiU16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
    static MOSWICK_INLINE R CmpEq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
    template <int N>
    static MOSWICK_INLINE R Srli16(R v) {
        return _mm256_srli_epi16(v, N);
    }
    template <int N>
    static MOSWICK_INLINE R Slli16(R v) {
        return _mm256_slli_epi16(v, N);
    }
    static MOSWICK_INLINE R Srl16(R v, __m128i n) { return _mm256_srl_epi16(v, n); }
    static MOSWICK_INLINE R Sll16(R v, __m128i n) { return _mm256_sll_epi16(v, n); }
    // mask ? yes : no; masks are whole bytes here.
    static MOSWICK_INLINE R Select(R mask, R yes, R no) { return _mm256_blendv_epi8(no, yes, mask); }
    static MOSWICK_INLINE R MergeSpare(R r, R d) { return Select(Set32(0xFF000000u), d, r); }

    // Eight alpha bytes (pixels 0-3 in the low half, 4-7 in the high half),
    // each in both 16-bit halves of its pixel's lane.
    static MOSWICK_INLINE R Alpha32Low(const uint8_t* a) {
        const R spread = _mm256_setr_epi8(0, -1, 0, -1, 1, -1, 1, -1, 2, -1, 2, -1, 3, -1, 3, -1, 4, -1, 4, -1, 5, -1,
                                          5, -1, 6, -1, 6, -1, 7, -1, 7, -1);
        return _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(Load64(a))), spread);
    }
    // Sixteen alpha bytes, one per 16-bit lane.
    static MOSWICK_INLINE R Alpha16Low(const uint8_t* a) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
    }
};

}  // namespace

namespace SurfAvx2 {
const TRowKernels Kernels = TKernelsOf<TAvx2>::kTable;
}

#else  // built without AVX2 (not x86): the path is never chosen

namespace SurfAvx2 {
const TRowKernels Kernels = {};
}

#endif
