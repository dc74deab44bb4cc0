// Every vector path must give the scalar path's bytes exactly: the same
// random scenes drawn through each path, odd widths, every alpha mix, every
// tint and opacity corner, all formats.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SurfEngineTestUtil.h"
#include "render/SurfBlend.h"

using namespace surftest;

namespace {

// Draws a fixed random scene through one path and returns the destination.
std::vector<uint8_t> DrawScene(const TPixelFormat& format, TSimdPath path, uint32_t seed) {
    std::mt19937 rng(seed);
    TSurfEngine e(format, 160, 90);
    e.SetSimdPath(path);
    const int bpp = format.BytesPerPixel();
    std::uniform_int_distribution<int> side(1, 77);
    const int sw = side(rng) | 1, sh = side(rng);
    e.CreateEmptySurface("dst", 143, 61);
    e.CreateEmptySurface("src", sw, sh);
    e.CreateEmptySurface("B", 143, 61);
    e.CreateEmptySurface("C", 143, 61);
    FillRandom(*e.GetSurface("dst"), bpp, rng, false);
    FillRandom(*e.GetSurface("src"), bpp, rng, true);
    FillRandom(*e.GetSurface("B"), bpp, rng, false);
    FillRandom(*e.GetSurface("C"), bpp, rng, false);
    if (seed % 3 == 0) {
        // Mostly solid: long runs that take the copy shortcut.
        for (uint8_t& a : e.GetSurface("src")->AlphaMap) a = rng() % 9 == 0 ? static_cast<uint8_t>(rng()) : 255;
    }
    const uint8_t opacities[] = {255, 0, 1, 128, 254, static_cast<uint8_t>(rng())};
    const uint8_t tints[] = {0, 1, 2, 127, 254, 255, static_cast<uint8_t>(rng())};
    for (uint8_t op : opacities)
        for (uint8_t tint : tints) {
            int x = static_cast<int>(rng() % 180) - 30, y = static_cast<int>(rng() % 80) - 10;
            e.DrawWithAlphaChannel("src", "dst", x, y, op, nullptr, rng() & 0xFFFFFF, tint);
        }
    for (int i = 0; i < 6; ++i) {
        TRect r{static_cast<int32_t>(rng() % 150) - 5, static_cast<int32_t>(rng() % 70) - 5,
                static_cast<int32_t>(rng() % 160), static_cast<int32_t>(rng() % 70)};
        e.DrawRect("dst", r, rng() & 0xFFFFFF, opacities[i]);
    }
    TGlyphItem glyphs[4];
    for (TGlyphItem& g : glyphs) {
        g.Source = TRect{0, 0, sw - 1, sh};
        g.X = static_cast<int>(rng() % 150) - 5;
        g.Y = static_cast<int>(rng() % 60) - 5;
        g.Colour = rng() & 0xFFFFFF;
        g.Opacity = static_cast<uint8_t>(rng());
    }
    e.DrawGlyphs("src", "dst", 4, glyphs);
    TRect rb{1, 2, 140, 60}, rac{3, 0, 143, 55};
    e.AddBlend("B", "dst", "C", &rb, &rac);
    std::vector<uint8_t> out;
    for (const char* name : {"dst", "B"}) {
        const SurfaceRecord& s = *e.GetSurface(name);
        for (int row = 0; row < s.Height; ++row)
            out.insert(out.end(), s.Bits + row * s.Pitch, s.Bits + row * s.Pitch + s.Width * bpp);
    }
    return out;
}

TEST(SurfEngineSimd, EveryPathGivesTheScalarBytes) {
    std::vector<TSimdPath> paths;
    for (TSimdPath p : {spSSE2, spAVX2})
        if (SimdPathSupported(p)) paths.push_back(p);
    if (paths.empty()) GTEST_SKIP() << "no vector path on this processor";
    for (const TPixelFormat& f : kFormats)
        for (uint32_t seed = 1; seed <= 24; ++seed) {
            std::vector<uint8_t> reference = DrawScene(f, spScalar, seed);
            for (TSimdPath p : paths)
                ASSERT_EQ(DrawScene(f, p, seed), reference)
                    << "format " << FormatName(f) << " path " << p << " seed " << seed;
        }
}

TEST(SurfEngineSimd, RowRoutinesAgreeOnEveryLengthAndAlphaPattern) {
    // Row lengths around every block size, and alpha blocks that are all 0,
    // all 255, or mixed at each position; pattern 4 alternates runs of four
    // (clear, solid, mixed), so a pair of registers can hold a skipped or
    // copied half next to a blended one.
    std::mt19937 rng(77);
    TLayout16 l565{{0xF800, 0x07E0, 0x001F}, {11, 5, 0}, {5, 6, 5}, true};
    TLayout16 l555{{0x7C00, 0x03E0, 0x001F}, {10, 5, 0}, {5, 5, 5}, true};
    // Layouts without routines of their own: shifts read at run time, or
    // masks that are not one run of bits (the scalar routine's job, except
    // for rectangles, which work on any mask).
    TLayout16 lBgr565{{0x001F, 0x07E0, 0xF800}, {0, 5, 11}, {5, 6, 5}, true};
    TLayout16 lBgr555{{0x001F, 0x03E0, 0x7C00}, {0, 5, 10}, {5, 5, 5}, true};
    TLayout16 lSplit{{0xC003, 0x3F00, 0x00FC}, {0, 8, 2}, {4, 6, 6}, false};
    for (TSimdPath p : {spSSE2, spAVX2}) {
        if (!SimdPathSupported(p)) continue;
        const TRowKernels& fast = RowKernelsFor(p);
        for (int n = 0; n <= 40; ++n)
            for (int pattern = 0; pattern < 5; ++pattern) {
                std::vector<uint8_t> src(4 * n + 1), d0(4 * n + 1), alpha(n + 1);
                for (auto& b : src) b = static_cast<uint8_t>(rng());
                for (auto& b : d0) b = static_cast<uint8_t>(rng());
                for (int i = 0; i < n; ++i) {
                    const int run = (i / 4 + n) % 3;
                    alpha[i] = pattern == 0   ? 0
                               : pattern == 1 ? 255
                               : pattern == 2 ? static_cast<uint8_t>(rng())
                               : pattern == 3 ? (i % 8 == 3 ? 7 : 255)
                               : run == 0     ? 0
                               : run == 1     ? 255
                                              : static_cast<uint8_t>(rng());
                }
                TBlendArgs args;
                // Opacity 255 (with and without tint) has routines of its own,
                // and so has tint level 255 in 16 bits.
                const bool opaque = pattern == 3 || n % 3 == 0 || (pattern == 4 && n % 2 == 0);
                args.Opacity = opaque ? 255 : static_cast<uint8_t>(rng());
                args.TintLevel = pattern % 2 || (pattern == 4 && n % 4 < 2) ? 0
                                 : n % 5 == 0                               ? 255
                                                                            : static_cast<uint8_t>(rng() | 1);
                args.ColourB = static_cast<uint8_t>(rng());
                args.ColourG = static_cast<uint8_t>(rng());
                args.ColourR = static_cast<uint8_t>(rng());
                for (const TLayout16* l : {&l565, &l555, &lBgr565, &lBgr555, &lSplit}) {
                    args.ColourWord = static_cast<uint32_t>(rng()) & (l->Mask[0] | l->Mask[1] | l->Mask[2]);
                    auto a = d0, b = d0;
                    SurfScalar::BlendRow32(a.data(), src.data(), alpha.data(), n, args, *l);
                    fast.Blend32(b.data(), src.data(), alpha.data(), n, args, *l);
                    ASSERT_EQ(a, b) << "blend32 n " << n << " pattern " << pattern;
                    a = b = d0;
                    SurfScalar::BlendRow16(a.data(), src.data(), alpha.data(), n, args, *l);
                    fast.Blend16(b.data(), src.data(), alpha.data(), n, args, *l);
                    ASSERT_EQ(a, b) << "blend16 n " << n << " pattern " << pattern << " layout " << l->Mask[0];
                    a = b = d0;
                    SurfScalar::RectRow32(a.data(), n, args, *l);
                    fast.Rect32(b.data(), n, args, *l);
                    ASSERT_EQ(a, b) << "rect32 n " << n;
                    a = b = d0;
                    SurfScalar::RectRow16(a.data(), n, args, *l);
                    fast.Rect16(b.data(), n, args, *l);
                    ASSERT_EQ(a, b) << "rect16 n " << n << " layout " << l->Mask[0];
                    a = b = d0;
                    SurfScalar::AddRow32(a.data(), src.data(), d0.data(), n, *l);
                    fast.Add32(b.data(), src.data(), d0.data(), n, *l);
                    ASSERT_EQ(a, b) << "add32 n " << n;
                    a = b = d0;
                    SurfScalar::AddRow16(a.data(), src.data(), d0.data(), n, *l);
                    fast.Add16(b.data(), src.data(), d0.data(), n, *l);
                    ASSERT_EQ(a, b) << "add16 n " << n << " layout " << l->Mask[0];
                }
            }
    }
}

TEST(SurfEngineSimd, SaturatingAdditionOf16BitPixelsMeetsEveryPairOfFieldValues) {
    // x = v * 0x0101 gives every channel of both layouts every value as v
    // runs over the bytes (the green field takes bits from both bytes), so
    // the rows below hold every pair of field values of every channel, the
    // clamps at each maximum included.
    TLayout16 l565{{0xF800, 0x07E0, 0x001F}, {11, 5, 0}, {5, 6, 5}, true};
    TLayout16 l555{{0x7C00, 0x03E0, 0x001F}, {10, 5, 0}, {5, 5, 5}, true};
    std::vector<uint8_t> b(2 * 65536), c(2 * 65536);
    for (uint32_t i = 0; i < 65536; ++i) {
        const uint16_t x = static_cast<uint16_t>((i >> 8) * 0x0101u), y = static_cast<uint16_t>((i & 0xFF) * 0x0101u);
        std::memcpy(&b[2 * i], &x, 2);
        std::memcpy(&c[2 * i], &y, 2);
    }
    for (TSimdPath p : {spSSE2, spAVX2}) {
        if (!SimdPathSupported(p)) continue;
        for (const TLayout16* l : {&l565, &l555}) {
            std::vector<uint8_t> expected(b.size()), got(b.size());
            SurfScalar::AddRow16(expected.data(), b.data(), c.data(), 65536, *l);
            RowKernelsFor(p).Add16(got.data(), b.data(), c.data(), 65536, *l);
            ASSERT_EQ(got, expected) << "path " << p << " layout " << l->Mask[0];
        }
    }
}

TEST(SurfEngineSimd, ForcingAPathTheProcessorLacksFallsBack) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 8, 8);
    e.SetSimdPath(spScalar);
    EXPECT_EQ(e.SimdPath(), spScalar);
    e.SetSimdPath(spAVX2);
    EXPECT_EQ(e.SimdPath(), SimdPathSupported(spAVX2) ? spAVX2 : TSurfEngine::BestSimdPath());
}

}  // namespace
