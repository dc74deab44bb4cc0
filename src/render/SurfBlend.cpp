#include "render/SurfBlend.h"

#include <cstring>

namespace {

uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void Store16(uint8_t* p, uint32_t v) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

// The tinted colour of one 16-bit pixel: per channel field, in place,
// C + floor((s - C) * k / 256), masked. k = 255 keeps the pixel as it is.
uint32_t Tint16(uint32_t s, const TBlendArgs& args, const TLayout16& layout) {
    if (args.TintLevel == 255) return s;
    uint32_t t = 0;
    for (int c = 0; c < 3; ++c) {
        int64_t m = layout.Mask[c];
        int64_t sc = s & m;
        int64_t cc = args.ColourWord & m;
        // >> on a negative value is a floor division by 256.
        int64_t v = cc + (((sc - cc) * args.TintLevel) >> 8);
        t += static_cast<uint32_t>(v & m);
    }
    return t;
}

}  // namespace

namespace SurfScalar {

void BlendRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                const TLayout16&) {
    const uint32_t op = args.Opacity;
    const uint32_t k = args.TintLevel;
    const bool plainCopy = op == 255 && k == 0;
    const uint32_t colour[3] = {args.ColourB, args.ColourG, args.ColourR};
    for (int i = 0; i < n; ++i, dst += 4, src += 4) {
        const uint32_t m = alpha[i];
        if (m == 0) continue;
        if (m == 255 && plainCopy) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            continue;
        }
        const uint32_t a = (m * op) >> 8;
        for (int c = 0; c < 3; ++c) {
            uint32_t s = src[c];
            if (k > 0) {
                // C + floor((s - C) * k / 256), written without negatives.
                s = (s * k + colour[c] * (256 - k)) >> 8;
            }
            dst[c] = static_cast<uint8_t>((a * s + (255 - a) * dst[c]) >> 8);
        }
    }
}

void BlendRow16(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                const TLayout16& layout) {
    const uint32_t op = args.Opacity;
    const uint32_t k = args.TintLevel;
    const bool plainCopy = op == 255 && k == 0;
    for (int i = 0; i < n; ++i, dst += 2, src += 2) {
        const uint32_t m = alpha[i];
        if (m == 0) continue;
        uint32_t s = Load16(src);
        if (m == 255 && plainCopy) {
            Store16(dst, s);
            continue;
        }
        const uint64_t a = (m * op) >> 8;
        if (a == 0) continue;
        if (k > 0) s = Tint16(s, args, layout);
        const uint32_t d = Load16(dst);
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            const uint64_t mask = layout.Mask[c];
            out += static_cast<uint32_t>((((s & mask) * a + (d & mask) * (255 - a)) >> 8) & mask);
        }
        Store16(dst, out);
    }
}

void RectRow32(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16&) {
    const uint32_t op = args.Opacity;
    const uint32_t b = op * args.ColourB;
    const uint32_t g = op * args.ColourG;
    const uint32_t r = op * args.ColourR;
    const uint32_t inv = 255 - op;
    for (int i = 0; i < n; ++i, dst += 4) {
        dst[0] = static_cast<uint8_t>((b + inv * dst[0]) >> 8);
        dst[1] = static_cast<uint8_t>((g + inv * dst[1]) >> 8);
        dst[2] = static_cast<uint8_t>((r + inv * dst[2]) >> 8);
    }
}

void RectRow16(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout) {
    const uint64_t inv = 255 - args.Opacity;
    for (int i = 0; i < n; ++i, dst += 2) {
        const uint64_t d = Load16(dst);
        uint64_t out = 0;
        for (int c = 0; c < 3; ++c) out += (((d & layout.Mask[c]) * inv) >> 8) & layout.Mask[c];
        Store16(dst, static_cast<uint32_t>(out));
    }
}

void AddRow32(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16&) {
    // Two lanes per word: blue and red in one, green and the spare byte in
    // the other, with a free byte above each lane to catch the carry.
    for (int i = 0; i < n; ++i, a += 4, b += 4, c += 4) {
        uint32_t x;
        uint32_t y;
        std::memcpy(&x, b, 4);
        std::memcpy(&y, c, 4);
        uint32_t even = (x & 0x00FF00FFu) + (y & 0x00FF00FFu);
        uint32_t odd = ((x >> 8) & 0x00FF00FFu) + ((y >> 8) & 0x00FF00FFu);
        // A lane that carried into bit 8 becomes 0xFF.
        even |= ((even >> 8) & 0x00010001u) * 0xFFu;
        odd |= ((odd >> 8) & 0x00010001u) * 0xFFu;
        uint32_t out = (even & 0x00FF00FFu) | ((odd & 0x00FF00FFu) << 8);
        std::memcpy(a, &out, 4);
    }
}

void AddRow16(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout) {
    for (int i = 0; i < n; ++i, a += 2, b += 2, c += 2) {
        const uint32_t x = Load16(b);
        const uint32_t y = Load16(c);
        uint32_t out = 0;
        for (int ch = 0; ch < 3; ++ch) {
            const uint32_t mask = layout.Mask[ch];
            uint32_t sum = (x & mask) + (y & mask);
            out += sum > mask ? mask : sum;
        }
        Store16(a, out);
    }
}

void BlendArea32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha,
                 ptrdiff_t alphaStride, int width, int height, int, const TBlendArgs& args, const TLayout16& layout) {
    for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch, alpha += alphaStride)
        BlendRow32(dst, src, alpha, width, args, layout);
}

void BlendArea16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha,
                 ptrdiff_t alphaStride, int width, int height, int, const TBlendArgs& args, const TLayout16& layout) {
    for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch, alpha += alphaStride)
        BlendRow16(dst, src, alpha, width, args, layout);
}

}  // namespace SurfScalar

namespace {

const TRowKernels kScalarKernels = {
    SurfScalar::BlendRow32, SurfScalar::BlendRow16, SurfScalar::RectRow32,   SurfScalar::RectRow16,
    SurfScalar::AddRow32,   SurfScalar::AddRow16,   SurfScalar::BlendArea32, SurfScalar::BlendArea16,
};

}  // namespace

bool SimdPathSupported(TSimdPath path) {
    switch (path) {
        case spScalar:
            return true;
        case spSSE2:
#if defined(__x86_64__) || defined(__i386__)
            return __builtin_cpu_supports("sse2");
#else
            return false;
#endif
        case spAVX2:
#if defined(__x86_64__) || defined(__i386__)
            return __builtin_cpu_supports("avx2");
#else
            return false;
#endif
    }
    return false;
}

const TRowKernels& RowKernelsFor(TSimdPath path) {
    if (!SimdPathSupported(path)) return kScalarKernels;
    switch (path) {
        case spSSE2:
            return SurfSse2::Kernels;
        case spAVX2:
            return SurfAvx2::Kernels;
        case spScalar:
            break;
    }
    return kScalarKernels;
}
