// Helpers for the surface engine tests: random pictures and a slow,
// obviously correct per-pixel model of the engine's arithmetic to compare
// whole pictures against.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/SurfEngine.h"

namespace surftest {

inline const TPixelFormat kFormats[] = {TPixelFormat::Xrgb8888(), TPixelFormat::Rgb565(), TPixelFormat::Rgb555()};

inline std::string FormatName(const TPixelFormat& f) {
    if (f.BitsPerPixel == 32) return "32";
    return f.GreenMask == 0x07E0 ? "565" : "555";
}

inline uint32_t GetPixel(const SurfaceRecord& s, int x, int y, int bpp) {
    uint32_t v = 0;
    std::memcpy(&v, s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch + static_cast<ptrdiff_t>(x) * bpp,
                static_cast<size_t>(bpp));
    return v;
}

inline void SetPixel(SurfaceRecord& s, int x, int y, int bpp, uint32_t v) {
    std::memcpy(s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch + static_cast<ptrdiff_t>(x) * bpp, &v,
                static_cast<size_t>(bpp));
}

// A plain copy of a picture: pixels row by row without padding, and alpha.
struct TPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    std::vector<uint8_t> Alpha;

    uint32_t& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

inline TPicture Snapshot(const SurfaceRecord& s, int bpp) {
    TPicture p;
    p.Width = s.Width;
    p.Height = s.Height;
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x) p.Pixels.push_back(GetPixel(s, x, y, bpp));
    p.Alpha = s.AlphaMap;
    return p;
}

// Random alpha with long runs of 0 and 255 between random bytes, like real
// sprites have.
inline void FillRandom(SurfaceRecord& s, int bpp, std::mt19937& rng, bool withAlpha) {
    std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFFFFu);
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x) SetPixel(s, x, y, bpp, bpp == 2 ? any(rng) & 0xFFFF : any(rng));
    if (!withAlpha) return;
    s.AlphaStride = s.Width;
    s.AlphaMap.resize(static_cast<size_t>(s.Width) * s.Height);
    size_t i = 0;
    while (i < s.AlphaMap.size()) {
        uint32_t kind = any(rng) % 4;
        size_t run = 1 + any(rng) % 12;
        for (size_t k = 0; k < run && i < s.AlphaMap.size(); ++k, ++i)
            s.AlphaMap[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(any(rng));
    }
}

// Integer division rounding towards minus infinity, spelt out.
inline int64_t FloorDiv256(int64_t v) {
    return v >= 0 ? v / 256 : -((-v + 255) / 256);
}

// The engine's blending of one pixel, written from the rules as stated:
// 32-bit per byte, 16-bit per masked channel field in place.
struct TModel {
    TPixelFormat Format;

    uint32_t TintWord(uint32_t colour) const {
        uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
        if (Format.GreenMask == 0x07E0)
            return (((r >> 3) << 11) & Format.RedMask) | (((g >> 2) << 5) & Format.GreenMask) |
                   ((b >> 3) & Format.BlueMask);
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    }

    uint32_t Blend(uint32_t s, uint32_t d, uint32_t m, uint32_t op, uint32_t tint, uint32_t k) const {
        if (m == 0) return d;
        if (Format.BitsPerPixel == 32) {
            if (m == 255 && op == 255 && k == 0) return (d & 0xFF000000u) | (s & 0x00FFFFFFu);
            int64_t a = (m * op) >> 8;
            uint32_t out = d & 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                int64_t sc = (s >> (8 * c)) & 0xFF;
                int64_t dc = (d >> (8 * c)) & 0xFF;
                int64_t cc = (tint >> (8 * (2 - c))) & 0xFF;  // byte 0 blue = colour's third byte
                int64_t t = k > 0 ? cc + FloorDiv256((sc - cc) * k) : sc;
                out |= static_cast<uint32_t>((a * t + (255 - a) * dc) / 256) << (8 * c);
            }
            return out;
        }
        if (m == 255 && op == 255 && k == 0) return s;
        int64_t a = (m * op) >> 8;
        if (a == 0) return d;
        const uint32_t masks[3] = {Format.RedMask, Format.GreenMask, Format.BlueMask};
        int64_t t = s;
        if (k > 0 && k < 255) {
            t = 0;
            uint32_t cw = TintWord(tint);
            for (uint32_t mask : masks) {
                int64_t cc = cw & mask;
                t += (cc + FloorDiv256(((s & mask) - cc) * static_cast<int64_t>(k))) & mask;
            }
        }
        uint32_t out = 0;
        for (uint32_t mask : masks)
            out += static_cast<uint32_t>((((t & mask) * a + (d & mask) * (255 - a)) / 256) & mask);
        return out;
    }

    uint32_t Rect(uint32_t d, uint32_t colour, uint32_t op) const {
        if (Format.BitsPerPixel == 32) {
            uint32_t out = d & 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                uint32_t cc = (colour >> (8 * (2 - c))) & 0xFF;
                uint32_t dc = (d >> (8 * c)) & 0xFF;
                out |= ((op * cc + (255 - op) * dc) >> 8) << (8 * c);
            }
            return out;
        }
        uint32_t out = 0;
        for (uint32_t mask : {Format.RedMask, Format.GreenMask, Format.BlueMask})
            out += (((d & mask) * (255 - op)) >> 8) & mask;
        return out;
    }

    uint32_t Add(uint32_t b, uint32_t c) const {
        if (Format.BitsPerPixel == 32) {
            uint32_t out = 0;
            for (int i = 0; i < 4; ++i) {
                uint32_t v = ((b >> (8 * i)) & 0xFF) + ((c >> (8 * i)) & 0xFF);
                out |= (v > 255 ? 255 : v) << (8 * i);
            }
            return out;
        }
        uint32_t out = 0;
        for (uint32_t mask : {Format.RedMask, Format.GreenMask, Format.BlueMask}) {
            int shift = __builtin_ctz(mask);
            uint32_t max = mask >> shift;
            uint32_t v = ((b & mask) >> shift) + ((c & mask) >> shift);
            out |= (v > max ? max : v) << shift;
        }
        return out;
    }
};

// Positions and rectangle corners that cross every edge, including values
// whose sums with a width would overflow 32 bits.
inline int32_t RandomCoordinate(std::mt19937& rng, int size) {
    std::uniform_int_distribution<int> pick(0, 19);
    int kind = pick(rng);
    if (kind == 0) return std::numeric_limits<int32_t>::min() + pick(rng);
    if (kind == 1) return std::numeric_limits<int32_t>::max() - pick(rng);
    std::uniform_int_distribution<int> near(-size - 8, 2 * size + 8);
    return near(rng);
}

}  // namespace surftest
