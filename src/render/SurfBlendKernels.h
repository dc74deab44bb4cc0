// The vector row routines of the surface engine, written once over a vector
// type V and compiled once per instruction set: SurfBlendSse2.cpp includes
// this with 128-bit registers, SurfBlendAvx2.cpp (built for AVX2) with
// 256-bit ones. Everything lives in an unnamed namespace, so each file gets
// its own copy built for its own processor and nothing is shared between them
// by the linker.
//
// Every routine gives exactly the bytes of the scalar reference in
// SurfBlend.cpp, lane by lane:
//
// - 32-bit pixels are worked on as two 16-bit lane pairs per pixel, blue+red
//   (mask 0x00FF00FF) and green+spare (shifted down by 8), so one 16-bit
//   multiply serves two channels. Every product of the blend,
//   a * s + (255 - a) * d <= 65025, and of the tint,
//   s * k + C * (256 - k) <= 65280, fits a lane unsigned.
// - The rules "alpha 0 leaves the pixel" and "alpha 255 at full opacity
//   copies it" are folded into the weights instead of selecting afterwards
//   (where a select costs one instruction, AVX2 selects the copies):
//   weights (0, 256) give (256 * d) >> 8 = d and (256, 0) give s, exactly.
// - 16-bit pixels are split into their channel values (at most 6 bits),
//   blended in 16-bit lanes and put back; for masks that are one run of bits
//   this equals the arithmetic on the fields in place. The two common layouts
//   (5-6-5 and 5-5-5) get routines with their shifts built in.
//
// Blocks whose alpha is all 0 are skipped and blocks all 255 at full opacity
// without tint are copied, so pictures with large clear and solid areas cost
// little. Each routine does the whole blocks of a row and returns how many
// pixels it did; the scalar routines finish the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/SurfBlend.h"

#define MOSWICK_INLINE inline __attribute__((always_inline))

namespace {

template <int Bytes>
MOSWICK_INLINE bool AlphaAll(const uint8_t* a, uint64_t value) {
    if constexpr (Bytes == 4) {
        uint32_t v;
        std::memcpy(&v, a, 4);
        return v == static_cast<uint32_t>(value);
    } else if constexpr (Bytes == 8) {
        uint64_t v;
        std::memcpy(&v, a, 8);
        return v == value;
    } else {
        static_assert(Bytes == 16, "alpha blocks are 4, 8 or 16 bytes");
        uint64_t v[2];
        std::memcpy(v, a, 16);
        return v[0] == value && v[1] == value;
    }
}

// ---------------------------------------------------------------------------
// 32-bit blending

// Blends whole blocks of rows; the constants are built once per area. Tint:
// tint level above 0. Op255: opacity 255, where (m * 255) >> 8 = m - 1 for
// every m >= 1 needs no multiply. Copy: opacity 255 and no tint, where alpha
// 255 copies the pixel.
template <class V, bool Tint, bool Op255, bool Copy>
struct TBlend32Rows {
    using R = typename V::R;
    static constexpr int P = V::kBytes / 4;  // pixels per register
    // Without a one-instruction select the copies are folded into the weights.
    static constexpr bool kFoldCopy = Copy && !V::kCheapSelect;

    R low = V::Set16(0x00FF);
    R green = V::Set32(0x0000FF00u);
    R one = V::Set16(1);
    R k255 = V::Set16(255);
    R k256 = V::Set16(256);
    // The high half of m * (op << 8) is (m * op) >> 8.
    R opHigh;
    R k;
    R colourRB;
    R colourGX;

    explicit TBlend32Rows(const TBlendArgs& args)
        : opHigh(V::Set16(uint32_t(args.Opacity) << 8)),
          k(V::Set16(args.TintLevel)),
          colourRB(V::Set32((args.ColourR * (256u - args.TintLevel)) << 16 | (args.ColourB * (256u - args.TintLevel)))),
          colourGX(V::Set32(args.ColourG * (256u - args.TintLevel))) {}

    // The weights (a, 255 - a) of alpha words mv, with (0, 256) for alpha 0,
    // which keeps the pixel, and with a copy (256, 0) or a copy mask for
    // alpha 255 when copies are allowed.
    MOSWICK_INLINE void Weights(R mv, R& a, R& ia, R& copy) const {
        copy = V::Zero();
        if constexpr (Op255) {
            a = V::SubsU16(mv, one);
            ia = V::Sub16(k256, mv);
            if constexpr (Copy) {
                copy = V::CmpEq16(mv, k255);
                if constexpr (kFoldCopy) {
                    a = V::Sub16(V::Sub16(a, copy), copy);
                    ia = V::Add16(ia, copy);
                }
            }
        } else {
            a = V::MulHiU16(mv, opHigh);
            ia = V::Sub16(V::Sub16(k255, a), V::CmpEq16(mv, V::Zero()));
        }
    }

    // One register of pixels, weights spread over both lane pairs of each pixel.
    MOSWICK_INLINE R Blend(R s, R d, R a, R ia, R copy) const {
        R srb = V::And(s, low);
        R sgx = V::template Srli16<8>(s);
        if constexpr (Tint) {
            srb = V::template Srli16<8>(V::Add16(V::MulLo16(srb, k), colourRB));
            sgx = V::template Srli16<8>(V::Add16(V::MulLo16(sgx, k), colourGX));
        }
        const R rb = V::template Srli16<8>(V::Add16(V::MulLo16(srb, a), V::MulLo16(V::And(d, low), ia)));
        const R g = V::And(V::Add16(V::MulLo16(sgx, a), V::MulLo16(V::template Srli16<8>(d), ia)), green);
        R r = V::Or(rb, g);
        if constexpr (Copy && !kFoldCopy)
            r = V::Select(copy, s, r);  // MergeSpare below takes the spare byte from d whatever r holds
        return V::MergeSpare(r, d);
    }

    static MOSWICK_INLINE R CopyOf(R s, R d) { return V::Select(V::Set32(0xFF000000u), d, s); }

    // Blends the whole blocks of one row and returns how many pixels it did.
    // Where spreading the alpha over the pixels costs unpacks (SSE2) two
    // registers go together: their weights are worked out at once and then
    // spread. Otherwise (and for the last register) one at a time, so that
    // as many small blocks as possible are skipped or copied.
    MOSWICK_INLINE int operator()(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n) const {
        ptrdiff_t i = 0;
        if constexpr (V::kSpreadCostsUnpacks) {
            for (; i + 2 * P <= n; i += 2 * P) {
                const uint8_t* m = alpha + i;
                if (AlphaAll<2 * P>(m, 0)) continue;
                uint8_t* dp = dst + 4 * i;
                const uint8_t* sp = src + 4 * i;
                const R s0 = V::Load(sp);
                const R s1 = V::Load(sp + V::kBytes);
                const R d0 = V::Load(dp);
                const R d1 = V::Load(dp + V::kBytes);
                if (Copy && AlphaAll<2 * P>(m, ~uint64_t(0))) {
                    V::Store(dp, CopyOf(s0, d0));
                    V::Store(dp + V::kBytes, CopyOf(s1, d1));
                    continue;
                }
                R a, ia, c;
                Weights(V::Alpha16Low(m), a, ia, c);
                V::Store(dp, Blend(s0, d0, V::SpreadLow32(a), V::SpreadLow32(ia), V::SpreadLow32(c)));
                V::Store(dp + V::kBytes, Blend(s1, d1, V::SpreadHigh32(a), V::SpreadHigh32(ia), V::SpreadHigh32(c)));
            }
        }
        for (; i + P <= n; i += P) {
            const uint8_t* m = alpha + i;
            if (AlphaAll<P>(m, 0)) continue;
            uint8_t* dp = dst + 4 * i;
            const R s = V::Load(src + 4 * i);
            const R d = V::Load(dp);
            if (Copy && AlphaAll<P>(m, ~uint64_t(0))) {
                V::Store(dp, CopyOf(s, d));
                continue;
            }
            R a, ia, c;
            Weights(V::Alpha32Low(m), a, ia, c);
            V::Store(dp, Blend(s, d, a, ia, c));
        }
        return static_cast<int>(i);
    }
};

// Calls f with the row blender for the arguments, the variant chosen once.
template <class V, class F>
MOSWICK_INLINE void WithBlend32(const TBlendArgs& args, F f) {
    const bool op255 = args.Opacity == 255;
    if (args.TintLevel > 0 && op255)
        f(TBlend32Rows<V, true, true, false>(args));
    else if (args.TintLevel > 0)
        f(TBlend32Rows<V, true, false, false>(args));
    else if (op255)
        f(TBlend32Rows<V, false, true, true>(args));
    else
        f(TBlend32Rows<V, false, false, false>(args));
}

// ---------------------------------------------------------------------------
// 16-bit channel layouts

// A layout with its shifts known when compiling: Shift and Bits per channel
// (0 red, 1 green, 2 blue), and the bits no channel uses.
template <class V, int RS, int RB, int GS, int GB, int BS, int BB>
struct TFixedLayout {
    using R = typename V::R;
    static constexpr int kShift[3] = {RS, GS, BS};
    static constexpr int kBits[3] = {RB, GB, BB};
    static constexpr uint32_t kUsed = ((1u << RB) - 1) << RS | ((1u << GB) - 1) << GS | ((1u << BB) - 1) << BS;
    static constexpr bool kSpareBits = kUsed != 0xFFFFu;

    explicit TFixedLayout(const TLayout16&) {}

    static constexpr uint32_t MaskOf(int c) { return ((1u << kBits[c]) - 1) << kShift[c]; }
    static constexpr bool InOneByte(int c) { return kShift[c] / 8 == (kShift[c] + kBits[c] - 1) / 8; }
    // The channels that lie within one byte, and whether no byte holds two.
    static constexpr uint32_t kByteFields =
        (InOneByte(0) ? MaskOf(0) : 0) | (InOneByte(1) ? MaskOf(1) : 0) | (InOneByte(2) ? MaskOf(2) : 0);
    static constexpr bool ByteHoldsOne(uint32_t byteMask) {
        int count = 0;
        for (int c = 0; c < 3; ++c) count += InOneByte(c) && (MaskOf(c) & byteMask) != 0;
        return count <= 1;
    }
    // A channel across a byte boundary is clamped with a signed minimum, so
    // the sum of two of its fields must stay below 0x8000.
    static constexpr bool WordFieldFits(int c) { return InOneByte(c) || 2 * MaskOf(c) < 0x8000u; }
    static constexpr bool kAddByMinimum =
        ByteHoldsOne(0x00FF) && ByteHoldsOne(0xFF00) && WordFieldFits(0) && WordFieldFits(1) && WordFieldFits(2);

    // x + y per channel, clamped at each channel's maximum (for kAddByMinimum
    // layouts). A channel alone in its byte is added bytewise with unsigned
    // saturation (a sum past the byte becomes 0xFF) and clamped with a byte
    // minimum against its mask; one across the byte boundary is added in the
    // 16-bit lane and clamped with a minimum against its mask. The fields'
    // bits below them are clear, so either minimum is the clamp exactly.
    MOSWICK_INLINE R AddSaturated(R x, R y) const {
        const R bytes = V::Set16(kByteFields);
        const R out = V::MinU8(V::AddsU8(V::And(x, bytes), V::And(y, bytes)), bytes);
        return AddWordField<2>(x, y, AddWordField<1>(x, y, AddWordField<0>(x, y, out)));
    }

    // out with channel C added in when it lies across the byte boundary.
    template <int C>
    static MOSWICK_INLINE R AddWordField(R x, R y, R out) {
        if constexpr (InOneByte(C)) {
            return out;
        } else {
            const R m = V::Set16(MaskOf(C));
            return V::Or(out, V::MinS16(V::Add16(V::And(x, m), V::And(y, m)), m));
        }
    }

    // The channel's value, 0 .. 2^bits - 1.
    template <int C>
    MOSWICK_INLINE R Value(R v) const {
        constexpr int sh = kShift[C];
        constexpr int bits = kBits[C];
        if constexpr (sh == 0)
            return V::And(v, V::Set16((1u << bits) - 1));
        else if constexpr (sh + bits == 16)
            return V::template Srli16<sh>(v);
        else
            return V::And(V::template Srli16<sh>(v), V::Set16((1u << bits) - 1));
    }

    // x >> 8 (a channel value) put back in the channel's place.
    template <int C>
    MOSWICK_INLINE R PlaceHigh(R x) const {
        constexpr int sh = kShift[C];
        constexpr uint32_t mask = ((1u << kBits[C]) - 1) << sh;
        if constexpr (sh == 0)
            return V::template Srli16<8>(x);
        else if constexpr (sh < 8)
            return V::And(V::template Srli16<8 - sh>(x), V::Set16(mask));
        else if constexpr (sh == 8)
            return V::And(x, V::Set16(mask));
        else
            return V::And(V::template Slli16<sh - 8>(x), V::Set16(mask));
    }

    // The channel field moved to the top of the lane, the bits below it clear.
    template <int C>
    MOSWICK_INLINE R Top(R v) const {
        constexpr int sh = kShift[C];
        constexpr int up = 16 - sh - kBits[C];
        constexpr uint32_t mask = (((1u << kBits[C]) - 1) << (sh + up)) & 0xFFFFu;
        if constexpr (up == 0)
            return V::And(v, V::Set16(mask));
        else if constexpr (sh == 0)
            return V::template Slli16<up>(v);
        else
            return V::And(V::template Slli16<up>(v), V::Set16(mask));
    }

    // A field at the top of the lane moved back to its place.
    template <int C>
    MOSWICK_INLINE R FromTop(R v) const {
        constexpr int sh = kShift[C];
        constexpr int up = 16 - sh - kBits[C];
        constexpr uint32_t mask = ((1u << kBits[C]) - 1) << sh;
        if constexpr (up == 0)
            return V::And(v, V::Set16(mask));
        else if constexpr (sh == 0)
            return V::template Srli16<up>(v);
        else
            return V::And(V::template Srli16<up>(v), V::Set16(mask));
    }
};

template <class V>
using TLayout565 = TFixedLayout<V, 11, 5, 5, 6, 0, 5>;
template <class V>
using TLayout555 = TFixedLayout<V, 10, 5, 5, 5, 0, 5>;

// Any other layout whose masks are single runs of bits, shifts read when
// the routine starts.
template <class V>
struct TRuntimeLayout {
    using R = typename V::R;
    static constexpr bool kSpareBits = true;
    R mask[3];
    R valueMask[3];
    R topMask[3];
    __m128i shift[3];
    __m128i up[3];

    explicit TRuntimeLayout(const TLayout16& l) {
        for (int c = 0; c < 3; ++c) {
            const int top = 16 - l.Shift[c] - l.Bits[c];
            mask[c] = V::Set16(l.Mask[c]);
            valueMask[c] = V::Set16((1u << l.Bits[c]) - 1);
            topMask[c] = V::Set16((l.Mask[c] << top) & 0xFFFFu);
            shift[c] = _mm_cvtsi32_si128(l.Shift[c]);
            up[c] = _mm_cvtsi32_si128(top);
        }
    }

    template <int C>
    MOSWICK_INLINE R Value(R v) const {
        return V::And(V::Srl16(v, shift[C]), valueMask[C]);
    }
    template <int C>
    MOSWICK_INLINE R PlaceHigh(R x) const {
        return V::And(V::Sll16(V::template Srli16<8>(x), shift[C]), mask[C]);
    }
    template <int C>
    MOSWICK_INLINE R Top(R v) const {
        return V::And(V::Sll16(v, up[C]), topMask[C]);
    }
    template <int C>
    MOSWICK_INLINE R FromTop(R v) const {
        return V::And(V::Srl16(v, up[C]), mask[C]);
    }
};

// ---------------------------------------------------------------------------
// 16-bit blending

template <class V, class L, int C, bool Tint>
MOSWICK_INLINE typename V::R Blend16Channel(const L& layout, typename V::R s, typename V::R d, typename V::R a,
                                            typename V::R ia, typename V::R k, typename V::R colourTerm) {
    auto sc = layout.template Value<C>(s);
    if constexpr (Tint) sc = V::template Srli16<8>(V::Add16(V::MulLo16(sc, k), colourTerm));
    const auto dc = layout.template Value<C>(d);
    return layout.template PlaceHigh<C>(V::Add16(V::MulLo16(sc, a), V::MulLo16(dc, ia)));
}

// Blends whole blocks of rows; the constants are built once per area. Tint:
// a tint level strictly between 0 and 255 (255 keeps the pixel's own colour
// in 16-bit mode). Op255 and Copy as for 32 bits.
template <class V, class L, bool Tint, bool Op255, bool Copy>
struct TBlend16Rows {
    using R = typename V::R;
    static constexpr int P = V::kBytes / 2;

    L layout;
    R one = V::Set16(1);
    R k255 = V::Set16(255);
    R opHigh;
    R k;
    R colourTerm[3];

    TBlend16Rows(const TBlendArgs& args, const TLayout16& masks)
        : layout(masks), opHigh(V::Set16(uint32_t(args.Opacity) << 8)), k(V::Set16(args.TintLevel)) {
        for (int c = 0; c < 3; ++c) {
            const uint32_t value = (args.ColourWord & masks.Mask[c]) >> masks.Shift[c];
            colourTerm[c] = V::Set16(value * (256u - args.TintLevel));
        }
    }

    MOSWICK_INLINE int operator()(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n) const {
        ptrdiff_t i = 0;
        for (; i + P <= n; i += P) {
            const uint8_t* m = alpha + i;
            if (AlphaAll<P>(m, 0)) continue;
            uint8_t* dp = dst + 2 * i;
            const R s = V::Load(src + 2 * i);
            if (Copy && AlphaAll<P>(m, ~uint64_t(0))) {
                V::Store(dp, s);
                continue;
            }
            const R d = V::Load(dp);
            const R mv = V::Alpha16Low(m);
            R a, e;
            if constexpr (Op255) {
                a = V::SubsU16(mv, one);
                if constexpr (Copy) e = V::CmpEq16(mv, k255);
            } else {
                a = V::MulHiU16(mv, opHigh);
            }
            // a 0 leaves the pixel: weights (0, 256).
            const R z = V::CmpEq16(a, V::Zero());
            R ia = V::Sub16(V::Sub16(k255, a), z);
            if constexpr (Copy && !V::kCheapSelect) {
                // alpha 255 copies: weights (256, 0).
                a = V::Sub16(V::Sub16(a, e), e);
                ia = V::Add16(ia, e);
            }
            R out = V::Or(V::Or(Blend16Channel<V, L, 0, Tint>(layout, s, d, a, ia, k, colourTerm[0]),
                                Blend16Channel<V, L, 1, Tint>(layout, s, d, a, ia, k, colourTerm[1])),
                          Blend16Channel<V, L, 2, Tint>(layout, s, d, a, ia, k, colourTerm[2]));
            // Bits outside the channels: a kept pixel keeps them and a copied
            // one brings the source's, a blended one has them clear.
            if constexpr (L::kSpareBits) out = V::Select(z, d, out);
            if constexpr (Copy && (L::kSpareBits || V::kCheapSelect)) out = V::Select(e, s, out);
            V::Store(dp, out);
        }
        return static_cast<int>(i);
    }
};

// Calls f with the row blender of layout L for the arguments.
template <class V, class L, class F>
MOSWICK_INLINE void WithBlend16(const TBlendArgs& args, const TLayout16& masks, F f) {
    const bool op255 = args.Opacity == 255;
    if (args.TintLevel > 0 && args.TintLevel < 255)
        op255 ? f(TBlend16Rows<V, L, true, true, false>(args, masks))
              : f(TBlend16Rows<V, L, true, false, false>(args, masks));
    else if (op255 && args.TintLevel == 0)
        f(TBlend16Rows<V, L, false, true, true>(args, masks));
    else
        op255 ? f(TBlend16Rows<V, L, false, true, false>(args, masks))
              : f(TBlend16Rows<V, L, false, false, false>(args, masks));
}

inline bool IsLayout(const TLayout16& l, uint32_t r, uint32_t g, uint32_t b) {
    return l.Mask[0] == r && l.Mask[1] == g && l.Mask[2] == b;
}

// Calls f with the row blender of the layout, or returns false for layouts
// the vector routines do not handle (the scalar routine does those).
template <class V, class F>
MOSWICK_INLINE bool WithBlend16Layout(const TBlendArgs& args, const TLayout16& layout, F f) {
    if (IsLayout(layout, 0xF800, 0x07E0, 0x001F))
        WithBlend16<V, TLayout565<V>>(args, layout, f);
    else if (IsLayout(layout, 0x7C00, 0x03E0, 0x001F))
        WithBlend16<V, TLayout555<V>>(args, layout, f);
    else if (layout.Contiguous)
        WithBlend16<V, TRuntimeLayout<V>>(args, layout, f);
    else
        return false;
    return true;
}

// ---------------------------------------------------------------------------
// Solid rectangles

// 32-bit: d := (op * C + (255 - op) * d) >> 8 per colour byte. The spare
// byte rides in the green+spare pair with weight 256 and no colour, which
// gives it back unchanged.
template <class V>
MOSWICK_INLINE int Rect32Blocks(uint8_t* dst, int n, const TBlendArgs& args) {
    using R = typename V::R;
    constexpr int P = V::kBytes / 4;
    const uint32_t op = args.Opacity;
    const uint32_t inv = 255 - op;
    const R low = V::Set16(0x00FF);
    const R high = V::Set16(0xFF00);
    const R invRB = V::Set16(inv);
    const R invGX = V::Set32(256u << 16 | inv);
    const R colourRB = V::Set32((op * args.ColourR) << 16 | (op * args.ColourB));
    const R colourGX = V::Set32(op * args.ColourG);
    int i = 0;
    for (; i + P <= n; i += P) {
        uint8_t* dp = dst + 4 * i;
        const R d = V::Load(dp);
        const R rb = V::template Srli16<8>(V::Add16(V::MulLo16(V::And(d, low), invRB), colourRB));
        const R gx = V::And(V::Add16(V::MulLo16(V::template Srli16<8>(d), invGX), colourGX), high);
        V::Store(dp, V::Or(rb, gx));
    }
    return i;
}

// 16-bit: each field darkened in place, d_c := ((d AND M_c) * (255 - op)) >>
// 8 AND M_c. The high half of (d AND M_c) * ((255 - op) << 8) is exactly that
// product shifted down by 8, for any mask.
template <class V>
MOSWICK_INLINE int Rect16Blocks(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout) {
    using R = typename V::R;
    constexpr int P = V::kBytes / 2;
    const R inv = V::Set16((255u - args.Opacity) << 8);
    const R m0 = V::Set16(layout.Mask[0]);
    const R m1 = V::Set16(layout.Mask[1]);
    const R m2 = V::Set16(layout.Mask[2]);
    int i = 0;
    for (; i + P <= n; i += P) {
        uint8_t* dp = dst + 2 * i;
        const R d = V::Load(dp);
        const R c0 = V::And(V::MulHiU16(V::And(d, m0), inv), m0);
        const R c1 = V::And(V::MulHiU16(V::And(d, m1), inv), m1);
        const R c2 = V::And(V::MulHiU16(V::And(d, m2), inv), m2);
        V::Store(dp, V::Or(V::Or(c0, c1), c2));
    }
    return i;
}

// ---------------------------------------------------------------------------
// Saturating addition

template <class V>
MOSWICK_INLINE int Add32Blocks(uint8_t* a, const uint8_t* b, const uint8_t* c, int n) {
    using R = typename V::R;
    constexpr int P = V::kBytes / 4;
    int i = 0;
    // Two registers a step: the loop is short enough for its own overhead to
    // show on sprite-sized rows.
    for (; i + 2 * P <= n; i += 2 * P) {
        const R x0 = V::AddsU8(V::Load(b + 4 * i), V::Load(c + 4 * i));
        const R x1 = V::AddsU8(V::Load(b + 4 * i + V::kBytes), V::Load(c + 4 * i + V::kBytes));
        V::Store(a + 4 * i, x0);
        V::Store(a + 4 * i + V::kBytes, x1);
    }
    if (i + P <= n) {
        V::Store(a + 4 * i, V::AddsU8(V::Load(b + 4 * i), V::Load(c + 4 * i)));
        i += P;
    }
    return i;
}

// With the shifts known when compiling, fields apart in their bytes are
// added and clamped in place (TFixedLayout::AddSaturated); otherwise each
// field is moved to the top of its lane, where the unsigned saturating
// addition clamps it at its maximum, and moved back.
template <class V, class L>
MOSWICK_INLINE int Add16BlocksFor(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& masks) {
    using R = typename V::R;
    constexpr int P = V::kBytes / 2;
    const L layout(masks);
    int i = 0;
    for (; i + P <= n; i += P) {
        const R x = V::Load(b + 2 * i);
        const R y = V::Load(c + 2 * i);
        if constexpr (requires { L::kAddByMinimum; }) {
            if constexpr (L::kAddByMinimum) {
                V::Store(a + 2 * i, layout.AddSaturated(x, y));
                continue;
            }
        }
        const R r0 = layout.template FromTop<0>(V::AddsU16(layout.template Top<0>(x), layout.template Top<0>(y)));
        const R r1 = layout.template FromTop<1>(V::AddsU16(layout.template Top<1>(x), layout.template Top<1>(y)));
        const R r2 = layout.template FromTop<2>(V::AddsU16(layout.template Top<2>(x), layout.template Top<2>(y)));
        V::Store(a + 2 * i, V::Or(V::Or(r0, r1), r2));
    }
    return i;
}

template <class V>
MOSWICK_INLINE int Add16Blocks(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout) {
    if (IsLayout(layout, 0xF800, 0x07E0, 0x001F)) return Add16BlocksFor<V, TLayout565<V>>(a, b, c, n, layout);
    if (IsLayout(layout, 0x7C00, 0x03E0, 0x001F)) return Add16BlocksFor<V, TLayout555<V>>(a, b, c, n, layout);
    if (layout.Contiguous) return Add16BlocksFor<V, TRuntimeLayout<V>>(a, b, c, n, layout);
    return 0;
}

// ---------------------------------------------------------------------------
// Areas

// How many rows ahead the destination is fetched. Short rows (sprites) are
// too short for the hardware to see a stream, and blending must read a row
// before it can write it.
constexpr int kPrefetchRows = 4;

// Blends a width x height area with the row blender rows (which does the
// whole blocks of a row) and the scalar Tail for the rest. The arguments are
// copied into locals, so the compiler knows no pixel store can change them,
// and all row tails are done in a second pass, keeping calls out of the block
// loop. Pixels are independent, so the order does not matter (drawing a
// surface onto itself never comes here).
template <int Bpp, class Rows, class Tail>
MOSWICK_INLINE void BlendAreaWith(const Rows& rows, Tail tail, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src,
                                  ptrdiff_t srcPitch, const uint8_t* alpha, ptrdiff_t alphaStride, int width,
                                  int height, const TBlendArgs& argsIn, const TLayout16& layoutIn) {
    const TBlendArgs args = argsIn;
    const TLayout16 layout = layoutIn;
    const size_t rowBytes = static_cast<size_t>(width) * Bpp;
    int done = 0;
    uint8_t* d = dst;
    const uint8_t* s = src;
    const uint8_t* a = alpha;
    for (int r = 0; r < kPrefetchRows && r < height; ++r) PrefetchRowAhead(d + r * dstPitch, rowBytes);
    for (int r = 0; r < height; ++r, d += dstPitch, s += srcPitch, a += alphaStride) {
        if (r + kPrefetchRows < height) PrefetchRowAhead(d + kPrefetchRows * dstPitch, rowBytes);
        done = rows(d, s, a, width);
    }
    if (done == width) return;
    for (int r = 0; r < height; ++r, dst += dstPitch, src += srcPitch, alpha += alphaStride)
        tail(dst + Bpp * done, src + Bpp * done, alpha + done, width - done, args, layout);
}

// The kernel table of one vector type.
template <class V>
struct TKernelsOf {
    static void Blend32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                        const TLayout16& layout) {
        int done = 0;
        WithBlend32<V>(args, [&](const auto& rows) { done = rows(dst, src, alpha, n); });
        SurfScalar::BlendRow32(dst + 4 * done, src + 4 * done, alpha + done, n - done, args, layout);
    }
    static void Blend16(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                        const TLayout16& layout) {
        int done = 0;
        WithBlend16Layout<V>(args, layout, [&](const auto& rows) { done = rows(dst, src, alpha, n); });
        SurfScalar::BlendRow16(dst + 2 * done, src + 2 * done, alpha + done, n - done, args, layout);
    }
    static void Rect32(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout) {
        const int done = Rect32Blocks<V>(dst, n, args);
        SurfScalar::RectRow32(dst + 4 * done, n - done, args, layout);
    }
    static void Rect16(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout) {
        const int done = Rect16Blocks<V>(dst, n, args, layout);
        SurfScalar::RectRow16(dst + 2 * done, n - done, args, layout);
    }
    static void Add32(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout) {
        const int done = Add32Blocks<V>(a, b, c, n);
        SurfScalar::AddRow32(a + 4 * done, b + 4 * done, c + 4 * done, n - done, layout);
    }
    static void Add16(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout) {
        const int done = Add16Blocks<V>(a, b, c, n, layout);
        SurfScalar::AddRow16(a + 2 * done, b + 2 * done, c + 2 * done, n - done, layout);
    }
    static void BlendArea32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch,
                            const uint8_t* alpha, ptrdiff_t alphaStride, int width, int height, int,
                            const TBlendArgs& args, const TLayout16& layout) {
        WithBlend32<V>(args, [&](const auto& rows) {
            BlendAreaWith<4>(rows, SurfScalar::BlendRow32, dst, dstPitch, src, srcPitch, alpha, alphaStride, width,
                             height, args, layout);
        });
    }
    static void BlendArea16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch,
                            const uint8_t* alpha, ptrdiff_t alphaStride, int width, int height, int,
                            const TBlendArgs& args, const TLayout16& layout) {
        const bool vector = WithBlend16Layout<V>(args, layout, [&](const auto& rows) {
            BlendAreaWith<2>(rows, SurfScalar::BlendRow16, dst, dstPitch, src, srcPitch, alpha, alphaStride, width,
                             height, args, layout);
        });
        if (!vector)
            SurfScalar::BlendArea16(dst, dstPitch, src, srcPitch, alpha, alphaStride, width, height, 2, args, layout);
    }

    static constexpr TRowKernels kTable = {Blend32, Blend16, Rect32, Rect16, Add32, Add16, BlendArea32, BlendArea16};
};

}  // namespace
