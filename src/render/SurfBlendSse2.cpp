// The SSE2 row routines: the kernels of SurfBlendKernels.h on 128-bit
// registers. SSE2 is part of every x86-64 processor.
#include "render/SurfBlend.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "render/SurfBlendKernels.h"

namespace {

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

struct TSse2 {
    using R = __m128i;
    // Whether a bit select costs one instruction (else three).
    static constexpr bool kCheapSelect = false;
    // Whether spreading alpha over 32-bit pixels costs unpacks (else one
    // shuffle of a broadcast load).
    static constexpr bool kSpreadCostsUnpacks = true;
    static constexpr int kBytes = 16;

    static MOSWICK_INLINE R Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const R*>(p)); }
    static MOSWICK_INLINE void Store(uint8_t* p, R v) { _mm_storeu_si128(reinterpret_cast<R*>(p), v); }
    static MOSWICK_INLINE R Zero() { return _mm_setzero_si128(); }
    static MOSWICK_INLINE R Set16(uint32_t v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
    static MOSWICK_INLINE R Set32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static MOSWICK_INLINE R And(R a, R b) { return _mm_and_si128(a, b); }
    // ~a AND b
    static MOSWICK_INLINE R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }
    static MOSWICK_INLINE R Or(R a, R b) { return _mm_or_si128(a, b); }
    static MOSWICK_INLINE R Add16(R a, R b) { return _mm_add_epi16(a, b); }
    static MOSWICK_INLINE R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static MOSWICK_INLINE R AddsU8(R a, R b) { return _mm_adds_epu8(a, b); }
    static MOSWICK_INLINE R AddsU16(R a, R b) { return _mm_adds_epu16(a, b); }
    static MOSWICK_INLINE R SubsU16(R a, R b) { return _mm_subs_epu16(a, b); }
    static MOSWICK_INLINE R MinU8(R a, R b) { return _mm_min_epu8(a, b); }
    static MOSWICK_INLINE R MinS16(R a, R b) { return _mm_min_epi16(a, b); }
    static MOSWICK_INLINE R MulLo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static MOSWICK_INLINE R MulHiU16(R a, R b) { return _mm_mulhi_epu16(a, b); }
    static MOSWICK_INLINE R CmpEq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
    template <int N>
    static MOSWICK_INLINE R Srli16(R v) {
        return _mm_srli_epi16(v, N);
    }
    template <int N>
    static MOSWICK_INLINE R Slli16(R v) {
        return _mm_slli_epi16(v, N);
    }
    static MOSWICK_INLINE R Srl16(R v, __m128i n) { return _mm_srl_epi16(v, n); }
    static MOSWICK_INLINE R Sll16(R v, __m128i n) { return _mm_sll_epi16(v, n); }
    // mask ? yes : no, bit by bit.
    static MOSWICK_INLINE R Select(R mask, R yes, R no) { return Or(And(mask, yes), AndNot(mask, no)); }
    // r (spare bytes clear) with the spare bytes of d.
    static MOSWICK_INLINE R MergeSpare(R r, R d) { return Or(r, And(d, Set32(0xFF000000u))); }

    // Four alpha bytes, each in both 16-bit halves of its pixel's lane.
    static MOSWICK_INLINE R Alpha32Low(const uint8_t* a) {
        const R w = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(Load32(a))), Zero());
        return _mm_unpacklo_epi16(w, w);
    }
    // Eight alpha bytes, one per 16-bit lane.
    static MOSWICK_INLINE R Alpha16Low(const uint8_t* a) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const R*>(a)), Zero());
    }
    // Eight per-pixel words (Alpha16Low's order) spread over the two lanes of
    // each 32-bit pixel: pixels 0-3 and 4-7.
    static MOSWICK_INLINE R SpreadLow32(R w) { return _mm_unpacklo_epi16(w, w); }
    static MOSWICK_INLINE R SpreadHigh32(R w) { return _mm_unpackhi_epi16(w, w); }
};

}  // namespace

namespace SurfSse2 {
const TRowKernels Kernels = TKernelsOf<TSse2>::kTable;
}

#else  // not x86: the vector paths are never chosen

namespace SurfSse2 {
const TRowKernels Kernels = {};
}

#endif
