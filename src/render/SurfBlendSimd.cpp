// SSE2 and AVX2 row routines. Each gives exactly the bytes of the scalar
// routine in SurfBlend.cpp: the same integer formulas, lane by lane.
//
// 32-bit pixels are widened to 16-bit lanes (blue, green, red, spare), where
// every product of the blend, a * s + (255 - a) * d <= 65025, and of the
// tint, s * k + C * (256 - k) <= 65280, fits unsigned. 16-bit pixels are
// split into their three channel values (at most 6 bits each), worked on in
// 16-bit lanes and shifted back; for one-run masks this equals working on the
// fields in place.
//
// Blocks of pixels whose alpha is all 0 are skipped and blocks all 255 at
// full opacity without tint are copied, so sprites with large clear and solid
// areas cost little. The AVX2 routines are compiled for that target only and
// called only after the processor said it has it.
#include "render/SurfBlend.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstring>

namespace {

uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---------------------------------------------------------------------------
// SSE2

// Blend in 16-bit lanes: (t * a + d * ia) >> 8 with ia = 255 - a.
inline __m128i Mix16(__m128i t, __m128i d, __m128i a, __m128i ia)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, a), _mm_mullo_epi16(d, ia)), 8);
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

#define MOSWICK_INLINE inline __attribute__((always_inline))

MOSWICK_INLINE int Sse2Blend32Row(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n,
                                   const TBlendArgs& args, const TLayout16&)
{
    // Each pixel as two 16-bit lane pairs: blue and red (mask 0x00FF00FF)
    // and green and spare (shifted down by 8), so one multiply serves two
    // channels and no unpacking is needed.
    const bool plainCopy = args.Opacity == 255 && args.TintLevel == 0;
    const bool tint = args.TintLevel > 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi16(0x00FF);
    const __m128i high = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m128i k255 = _mm_set1_epi16(255);
    const __m128i op = _mm_set1_epi16(args.Opacity);
    const __m128i k = _mm_set1_epi16(args.TintLevel);
    const int inv = 256 - args.TintLevel;
    const __m128i colourRB = _mm_set1_epi32(static_cast<int>((args.ColourR * inv) << 16 | (args.ColourB * inv)));
    const __m128i colourGX = _mm_set1_epi32(args.ColourG * inv);
    const __m128i spare = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i ones = _mm_set1_epi8(static_cast<char>(0xFF));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint32_t m4 = Load32(alpha + i);
        if (m4 == 0)
            continue;
        uint8_t* dp = dst + 4 * i;
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        if (m4 == 0xFFFFFFFFu && plainCopy) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), Select(spare, d, s));
            continue;
        }
        __m128i mAll = _mm_cvtsi32_si128(static_cast<int>(m4));
        mAll = _mm_unpacklo_epi8(mAll, mAll);
        mAll = _mm_unpacklo_epi16(mAll, mAll);  // each pixel's alpha in all its bytes
        // (m * op) >> 8 in every 16-bit lane: the high byte of a lane is m,
        // so the lane is m << 8 and the high half of its product with op is it.
        const __m128i a = _mm_mulhi_epu16(_mm_and_si128(mAll, high), op);
        const __m128i ia = _mm_sub_epi16(k255, a);
        __m128i srb = _mm_and_si128(s, low);
        __m128i sgx = _mm_srli_epi16(s, 8);
        if (tint) {
            srb = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(srb, k), colourRB), 8);
            sgx = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sgx, k), colourGX), 8);
        }
        const __m128i rb = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(srb, a), _mm_mullo_epi16(_mm_and_si128(d, low), ia)), 8);
        const __m128i gx = _mm_and_si128(
            _mm_add_epi16(_mm_mullo_epi16(sgx, a), _mm_mullo_epi16(_mm_srli_epi16(d, 8), ia)), high);
        __m128i r = _mm_or_si128(rb, gx);
        if (plainCopy)
            r = Select(_mm_cmpeq_epi8(mAll, ones), s, r);
        r = Select(_mm_or_si128(_mm_cmpeq_epi8(mAll, zero), spare), d, r);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), r);
    }
    return i;
}

MOSWICK_INLINE int Sse2Blend16Row(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n,
                                   const TBlendArgs& args, const TLayout16& layout)
{
    if (!layout.Contiguous)
        return 0;  // the tail routine does the whole row
    const bool plainCopy = args.Opacity == 255 && args.TintLevel == 0;
    const bool tint = args.TintLevel > 0 && args.TintLevel < 255;
    const __m128i zero = _mm_setzero_si128();
    const __m128i op = _mm_set1_epi16(args.Opacity);
    const __m128i k = _mm_set1_epi16(args.TintLevel);
    const int inv = 256 - args.TintLevel;
    __m128i mask[3], shift[3], colourTerm[3];
    for (int c = 0; c < 3; ++c) {
        mask[c] = _mm_set1_epi16(static_cast<int16_t>(layout.Mask[c]));
        shift[c] = _mm_cvtsi32_si128(layout.Shift[c]);
        const int value = static_cast<int>((args.ColourWord & layout.Mask[c]) >> layout.Shift[c]);
        colourTerm[c] = _mm_set1_epi16(static_cast<int16_t>(value * inv));
    }
    const __m128i full = _mm_set1_epi16(255);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t m8 = Load64(alpha + i);
        if (m8 == 0)
            continue;
        uint8_t* dp = dst + 2 * i;
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        if (m8 == ~uint64_t(0) && plainCopy) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), s);
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        const __m128i m = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + i)), zero);
        const __m128i a = _mm_srli_epi16(_mm_mullo_epi16(m, op), 8);
        const __m128i ia = _mm_sub_epi16(full, a);
        __m128i out = zero;
        for (int c = 0; c < 3; ++c) {
            __m128i sc = _mm_srl_epi16(_mm_and_si128(s, mask[c]), shift[c]);
            const __m128i dc = _mm_srl_epi16(_mm_and_si128(d, mask[c]), shift[c]);
            if (tint)
                sc = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sc, k), colourTerm[c]), 8);
            out = _mm_or_si128(out, _mm_sll_epi16(Mix16(sc, dc, a, ia), shift[c]));
        }
        if (plainCopy)
            out = Select(_mm_cmpeq_epi16(m, full), s, out);
        out = Select(_mm_cmpeq_epi16(a, zero), d, out);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), out);
    }
    return i;
}

// Row and area entry points around an inlined row routine, which does the
// whole blocks of a row and returns how many pixels it did; Tail finishes the
// rest. The area copies its arguments into locals (so the compiler knows no
// pixel store can change them) and finishes all row tails in a second pass,
// keeping calls out of the block loop, so the constant registers are built
// once per picture. Pixels are independent, so the order does not matter
// (drawing a surface onto itself never comes here).
#define MOSWICK_BLEND_ENTRIES(Name, Attr, Tail, Bpp)                                                               \
    Attr void Name(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,           \
                   const TLayout16& layout)                                                                        \
    {                                                                                                              \
        const int done = Name##Row(dst, src, alpha, n, args, layout);                                              \
        Tail(dst + (Bpp) * done, src + (Bpp) * done, alpha + done, n - done, args, layout);                       \
    }                                                                                                              \
    Attr void Name##Area(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch,                 \
                         const uint8_t* alpha, ptrdiff_t alphaStride, int width, int height, int,                  \
                         const TBlendArgs& argsIn, const TLayout16& layoutIn)                                      \
    {                                                                                                              \
        const TBlendArgs args = argsIn;                                                                            \
        const TLayout16 layout = layoutIn;                                                                         \
        const size_t rowBytes = static_cast<size_t>(width) * (Bpp);                                                \
        int done = 0;                                                                                              \
        uint8_t* d = dst;                                                                                          \
        const uint8_t* s = src;                                                                                    \
        const uint8_t* a = alpha;                                                                                  \
        for (int row = 0; row < 4 && row < height; ++row)                                                          \
            PrefetchRowAhead(d + row * dstPitch, rowBytes);                                                        \
        for (int row = 0; row < height; ++row, d += dstPitch, s += srcPitch, a += alphaStride) {                   \
            if (row + 4 < height)                                                                                  \
                PrefetchRowAhead(d + 4 * dstPitch, rowBytes);                                                      \
            done = Name##Row(d, s, a, width, args, layout);                                                        \
        }                                                                                                          \
        if (done == width)                                                                                         \
            return;                                                                                                \
        for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch, alpha += alphaStride)             \
            Tail(dst + (Bpp) * done, src + (Bpp) * done, alpha + done, width - done, args, layout);               \
    }

MOSWICK_BLEND_ENTRIES(Sse2Blend32, , SurfScalar::BlendRow32, 4)
MOSWICK_BLEND_ENTRIES(Sse2Blend16, , SurfScalar::BlendRow16, 2)

void Sse2Rect32(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout)
{
    const __m128i zero = _mm_setzero_si128();
    const int op = args.Opacity;
    const __m128i inv = _mm_set1_epi16(static_cast<int16_t>(255 - op));
    const __m128i colourTerm = _mm_setr_epi16(
        static_cast<int16_t>(op * args.ColourB), static_cast<int16_t>(op * args.ColourG),
        static_cast<int16_t>(op * args.ColourR), 0, static_cast<int16_t>(op * args.ColourB),
        static_cast<int16_t>(op * args.ColourG), static_cast<int16_t>(op * args.ColourR), 0);
    const __m128i spare = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        uint8_t* dp = dst + 4 * i;
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), inv), colourTerm), 8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), inv), colourTerm), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), Select(spare, d, _mm_packus_epi16(lo, hi)));
    }
    SurfScalar::RectRow32(dst + 4 * i, n - i, args, layout);
}

void Sse2Rect16(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout)
{
    if (!layout.Contiguous) {
        SurfScalar::RectRow16(dst, n, args, layout);
        return;
    }
    const __m128i inv = _mm_set1_epi16(static_cast<int16_t>(255 - args.Opacity));
    __m128i mask[3], shift[3];
    for (int c = 0; c < 3; ++c) {
        mask[c] = _mm_set1_epi16(static_cast<int16_t>(layout.Mask[c]));
        shift[c] = _mm_cvtsi32_si128(layout.Shift[c]);
    }
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint8_t* dp = dst + 2 * i;
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        __m128i out = _mm_setzero_si128();
        for (int c = 0; c < 3; ++c) {
            const __m128i dc = _mm_srl_epi16(_mm_and_si128(d, mask[c]), shift[c]);
            out = _mm_or_si128(out, _mm_sll_epi16(_mm_srli_epi16(_mm_mullo_epi16(dc, inv), 8), shift[c]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), out);
    }
    SurfScalar::RectRow16(dst + 2 * i, n - i, args, layout);
}

void Sse2Add32(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout)
{
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 4 * i), _mm_adds_epu8(x, y));
    }
    SurfScalar::AddRow32(a + 4 * i, b + 4 * i, c + 4 * i, n - i, layout);
}

void Sse2Add16(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout)
{
    if (!layout.Contiguous) {
        SurfScalar::AddRow16(a, b, c, n, layout);
        return;
    }
    __m128i mask[3], shift[3], max[3];
    for (int ch = 0; ch < 3; ++ch) {
        mask[ch] = _mm_set1_epi16(static_cast<int16_t>(layout.Mask[ch]));
        shift[ch] = _mm_cvtsi32_si128(layout.Shift[ch]);
        max[ch] = _mm_set1_epi16(static_cast<int16_t>(layout.Mask[ch] >> layout.Shift[ch]));
    }
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 2 * i));
        __m128i out = _mm_setzero_si128();
        for (int ch = 0; ch < 3; ++ch) {
            const __m128i sum = _mm_add_epi16(_mm_srl_epi16(_mm_and_si128(x, mask[ch]), shift[ch]),
                                              _mm_srl_epi16(_mm_and_si128(y, mask[ch]), shift[ch]));
            out = _mm_or_si128(out, _mm_sll_epi16(_mm_min_epi16(sum, max[ch]), shift[ch]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 2 * i), out);
    }
    SurfScalar::AddRow16(a + 2 * i, b + 2 * i, c + 2 * i, n - i, layout);
}

// ---------------------------------------------------------------------------
// AVX2: the same in 256-bit registers. Unpacking and packing work within
// each 128-bit half, which round-trips the pixel order.

#define MOSWICK_AVX2 __attribute__((target("avx2")))

MOSWICK_AVX2 inline __m256i Mix16x(__m256i t, __m256i d, __m256i a, __m256i ia)
{
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(t, a), _mm256_mullo_epi16(d, ia)), 8);
}

MOSWICK_AVX2 inline __m256i Select(__m256i mask, __m256i yes, __m256i no)
{
    return _mm256_blendv_epi8(no, yes, mask);
}

MOSWICK_AVX2 MOSWICK_INLINE int Avx2Blend32Row(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n,
                                                const TBlendArgs& args, const TLayout16&)
{
    // As the SSE2 routine: blue+red and green+spare lane pairs.
    const bool plainCopy = args.Opacity == 255 && args.TintLevel == 0;
    const bool tint = args.TintLevel > 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i high = _mm256_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m256i k255 = _mm256_set1_epi16(255);
    const __m256i op = _mm256_set1_epi16(args.Opacity);
    const __m256i k = _mm256_set1_epi16(args.TintLevel);
    const int inv = 256 - args.TintLevel;
    const __m256i colourRB = _mm256_set1_epi32(static_cast<int>((args.ColourR * inv) << 16 | (args.ColourB * inv)));
    const __m256i colourGX = _mm256_set1_epi32(args.ColourG * inv);
    const __m256i spare = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i ones = _mm256_set1_epi8(static_cast<char>(0xFF));
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 6,
                                            6, 6, 6, 7, 7, 7, 7);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t m8 = Load64(alpha + i);
        if (m8 == 0)
            continue;
        uint8_t* dp = dst + 4 * i;
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
        if (m8 == ~uint64_t(0) && plainCopy) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), Select(spare, d, s));
            continue;
        }
        const __m256i mAll = _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(m8)), spread);
        const __m256i a = _mm256_mulhi_epu16(_mm256_and_si256(mAll, high), op);
        const __m256i ia = _mm256_sub_epi16(k255, a);
        __m256i srb = _mm256_and_si256(s, low);
        __m256i sgx = _mm256_srli_epi16(s, 8);
        if (tint) {
            srb = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(srb, k), colourRB), 8);
            sgx = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sgx, k), colourGX), 8);
        }
        const __m256i rb = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(srb, a), _mm256_mullo_epi16(_mm256_and_si256(d, low), ia)), 8);
        const __m256i gx = _mm256_and_si256(
            _mm256_add_epi16(_mm256_mullo_epi16(sgx, a), _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), ia)), high);
        __m256i r = _mm256_or_si256(rb, gx);
        if (plainCopy)
            r = Select(_mm256_cmpeq_epi8(mAll, ones), s, r);
        r = Select(_mm256_or_si256(_mm256_cmpeq_epi8(mAll, zero), spare), d, r);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), r);
    }
    return i;
}

MOSWICK_AVX2 MOSWICK_INLINE int Avx2Blend16Row(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n,
                                                const TBlendArgs& args, const TLayout16& layout)
{
    if (!layout.Contiguous)
        return 0;  // the tail routine does the whole row
    const bool plainCopy = args.Opacity == 255 && args.TintLevel == 0;
    const bool tint = args.TintLevel > 0 && args.TintLevel < 255;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i op = _mm256_set1_epi16(args.Opacity);
    const __m256i k = _mm256_set1_epi16(args.TintLevel);
    const int inv = 256 - args.TintLevel;
    __m256i mask[3], colourTerm[3];
    __m128i shift[3];
    for (int c = 0; c < 3; ++c) {
        mask[c] = _mm256_set1_epi16(static_cast<int16_t>(layout.Mask[c]));
        shift[c] = _mm_cvtsi32_si128(layout.Shift[c]);
        const int value = static_cast<int>((args.ColourWord & layout.Mask[c]) >> layout.Shift[c]);
        colourTerm[c] = _mm256_set1_epi16(static_cast<int16_t>(value * inv));
    }
    const __m256i full = _mm256_set1_epi16(255);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i m16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + i));
        const int allZero = _mm_movemask_epi8(_mm_cmpeq_epi8(m16, _mm_setzero_si128()));
        if (allZero == 0xFFFF)
            continue;
        uint8_t* dp = dst + 2 * i;
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i));
        if (plainCopy && _mm_movemask_epi8(_mm_cmpeq_epi8(m16, _mm_set1_epi8(static_cast<char>(0xFF)))) == 0xFFFF) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), s);
            continue;
        }
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
        const __m256i m = _mm256_cvtepu8_epi16(m16);
        const __m256i a = _mm256_srli_epi16(_mm256_mullo_epi16(m, op), 8);
        const __m256i ia = _mm256_sub_epi16(full, a);
        __m256i out = zero;
        for (int c = 0; c < 3; ++c) {
            __m256i sc = _mm256_srl_epi16(_mm256_and_si256(s, mask[c]), shift[c]);
            const __m256i dc = _mm256_srl_epi16(_mm256_and_si256(d, mask[c]), shift[c]);
            if (tint)
                sc = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(sc, k), colourTerm[c]), 8);
            out = _mm256_or_si256(out, _mm256_sll_epi16(Mix16x(sc, dc, a, ia), shift[c]));
        }
        if (plainCopy)
            out = Select(_mm256_cmpeq_epi16(m, full), s, out);
        out = Select(_mm256_cmpeq_epi16(a, zero), d, out);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), out);
    }
    return i;
}

MOSWICK_BLEND_ENTRIES(Avx2Blend32, MOSWICK_AVX2, Sse2Blend32, 4)
MOSWICK_BLEND_ENTRIES(Avx2Blend16, MOSWICK_AVX2, Sse2Blend16, 2)

MOSWICK_AVX2 void Avx2Rect32(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout)
{
    const __m256i zero = _mm256_setzero_si256();
    const int op = args.Opacity;
    const __m256i inv = _mm256_set1_epi16(static_cast<int16_t>(255 - op));
    const int16_t cb = static_cast<int16_t>(op * args.ColourB);
    const int16_t cg = static_cast<int16_t>(op * args.ColourG);
    const int16_t cr = static_cast<int16_t>(op * args.ColourR);
    const __m256i colourTerm = _mm256_setr_epi16(cb, cg, cr, 0, cb, cg, cr, 0, cb, cg, cr, 0, cb, cg, cr, 0);
    const __m256i spare = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        uint8_t* dp = dst + 4 * i;
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
        const __m256i lo =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), inv), colourTerm), 8);
        const __m256i hi =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), inv), colourTerm), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), Select(spare, d, _mm256_packus_epi16(lo, hi)));
    }
    Sse2Rect32(dst + 4 * i, n - i, args, layout);
}

MOSWICK_AVX2 void Avx2Rect16(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout)
{
    if (!layout.Contiguous) {
        SurfScalar::RectRow16(dst, n, args, layout);
        return;
    }
    const __m256i inv = _mm256_set1_epi16(static_cast<int16_t>(255 - args.Opacity));
    __m256i mask[3];
    __m128i shift[3];
    for (int c = 0; c < 3; ++c) {
        mask[c] = _mm256_set1_epi16(static_cast<int16_t>(layout.Mask[c]));
        shift[c] = _mm_cvtsi32_si128(layout.Shift[c]);
    }
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        uint8_t* dp = dst + 2 * i;
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dp));
        __m256i out = _mm256_setzero_si256();
        for (int c = 0; c < 3; ++c) {
            const __m256i dc = _mm256_srl_epi16(_mm256_and_si256(d, mask[c]), shift[c]);
            out = _mm256_or_si256(out, _mm256_sll_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(dc, inv), 8), shift[c]));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dp), out);
    }
    Sse2Rect16(dst + 2 * i, n - i, args, layout);
}

MOSWICK_AVX2 void Avx2Add32(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + 4 * i), _mm256_adds_epu8(x, y));
    }
    Sse2Add32(a + 4 * i, b + 4 * i, c + 4 * i, n - i, layout);
}

MOSWICK_AVX2 void Avx2Add16(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout)
{
    if (!layout.Contiguous) {
        SurfScalar::AddRow16(a, b, c, n, layout);
        return;
    }
    __m256i mask[3], max[3];
    __m128i shift[3];
    for (int ch = 0; ch < 3; ++ch) {
        mask[ch] = _mm256_set1_epi16(static_cast<int16_t>(layout.Mask[ch]));
        shift[ch] = _mm_cvtsi32_si128(layout.Shift[ch]);
        max[ch] = _mm256_set1_epi16(static_cast<int16_t>(layout.Mask[ch] >> layout.Shift[ch]));
    }
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 2 * i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + 2 * i));
        __m256i out = _mm256_setzero_si256();
        for (int ch = 0; ch < 3; ++ch) {
            const __m256i sum = _mm256_add_epi16(_mm256_srl_epi16(_mm256_and_si256(x, mask[ch]), shift[ch]),
                                                 _mm256_srl_epi16(_mm256_and_si256(y, mask[ch]), shift[ch]));
            out = _mm256_or_si256(out, _mm256_sll_epi16(_mm256_min_epi16(sum, max[ch]), shift[ch]));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + 2 * i), out);
    }
    Sse2Add16(a + 2 * i, b + 2 * i, c + 2 * i, n - i, layout);
}

}  // namespace

namespace SurfSse2 {
const TRowKernels Kernels = {Sse2Blend32, Sse2Blend16, Sse2Rect32,      Sse2Rect16,
                             Sse2Add32,   Sse2Add16,   Sse2Blend32Area, Sse2Blend16Area};
}
namespace SurfAvx2 {
const TRowKernels Kernels = {Avx2Blend32, Avx2Blend16, Avx2Rect32,      Avx2Rect16,
                             Avx2Add32,   Avx2Add16,   Avx2Blend32Area, Avx2Blend16Area};
}

#else  // not x86: the vector paths are never chosen

namespace SurfSse2 {
const TRowKernels Kernels = {};
}
namespace SurfAvx2 {
const TRowKernels Kernels = {};
}

#endif
