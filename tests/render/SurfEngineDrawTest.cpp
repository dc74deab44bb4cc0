// Whole-picture comparisons of the engine's drawing against the per-pixel
// model, on random pictures and rectangles crossing every edge, in every
// pixel format, plus the listed edge cases of each operation.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <numbers>

#include "SurfEngineTestUtil.h"
#include "base/OrvException.h"

using namespace surftest;

namespace {

struct TFixture {
    TPixelFormat Format;
    TSurfEngine Engine;
    int Bpp;
    TModel Model;

    explicit TFixture(const TPixelFormat& f, int w = 800, int h = 600)
        : Format(f), Engine(f, w, h), Bpp(f.BytesPerPixel()), Model{f} {}

    SurfaceRecord& Make(const std::string& name, int w, int h, std::mt19937& rng, bool alpha) {
        EXPECT_TRUE(Engine.CreateEmptySurface(name, w, h));
        SurfaceRecord& s = *Engine.GetSurface(name);
        FillRandom(s, Bpp, rng, alpha);
        return s;
    }
};

// Where each source pixel of an inclusive rectangle lands when drawn at
// (x, y); visits only pixels inside both pictures.
template <typename F>
void ForEachLanding(const TRect& r, int64_t x, int64_t y, int srcW, int srcH, int dstW, int dstH, F f) {
    int64_t top = std::max<int64_t>(r.Top, 0), bottom = std::min<int64_t>(r.Bottom, srcH - 1);
    int64_t left = std::max<int64_t>(r.Left, 0), right = std::min<int64_t>(r.Right, srcW - 1);
    for (int64_t sy = top; sy <= bottom; ++sy) {
        int64_t dy = y + sy - r.Top;
        if (dy < 0 || dy >= dstH) continue;
        for (int64_t sx = left; sx <= right; ++sx) {
            int64_t dx = x + sx - r.Left;
            if (dx < 0 || dx >= dstW) continue;
            f(static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx), static_cast<int>(dy));
        }
    }
}

TRect RandomRect(std::mt19937& rng, int w, int h) {
    return TRect{RandomCoordinate(rng, w), RandomCoordinate(rng, h), RandomCoordinate(rng, w),
                 RandomCoordinate(rng, h)};
}

class SurfEngineFormats : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(SurfEngineFormats, AlphaDrawingMatchesModelEverywhere) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 150; ++round) {
        TFixture fx(GetParam(), 61, 47);
        std::uniform_int_distribution<int> side(1, 37);
        int sw = side(rng), sh = side(rng), dw = side(rng) + 20, dh = side(rng) + 10;
        TPicture pic = Snapshot(fx.Make("src", sw, sh, rng, true), fx.Bpp);
        TPicture before = Snapshot(fx.Make("dst", dw, dh, rng, false), fx.Bpp);
        std::uniform_int_distribution<int> byte(0, 255);
        uint8_t opacity = round % 5 == 0 ? 255 : static_cast<uint8_t>(byte(rng));
        uint8_t tint = round % 3 == 0 ? 0 : round % 7 == 0 ? 255 : static_cast<uint8_t>(byte(rng));
        uint32_t colour = static_cast<uint32_t>(byte(rng) | byte(rng) << 8 | byte(rng) << 16);
        bool whole = round % 4 == 0;
        TRect r = whole ? TRect{0, 0, sw - 1, sh - 1} : RandomRect(rng, sw, sh);
        int32_t x = RandomCoordinate(rng, dw), y = RandomCoordinate(rng, dh);
        if (round % 2 == 0) {
            x = std::uniform_int_distribution<int>(-sw, dw)(rng);
            y = std::uniform_int_distribution<int>(-sh, dh)(rng);
        }
        fx.Engine.DrawWithAlphaChannel("src", "dst", x, y, opacity, whole ? nullptr : &r, colour, tint);
        ForEachLanding(r, x, y, sw, sh, dw, dh, [&](int sx, int sy, int dx, int dy) {
            before.At(dx, dy) =
                fx.Model.Blend(pic.At(sx, sy), before.At(dx, dy), pic.Alpha[sy * sw + sx], opacity, colour, tint);
        });
        TPicture after = Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp);
        ASSERT_EQ(after.Pixels, before.Pixels) << "round " << round << " x " << x << " y " << y << " rect " << r.Left
                                               << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}

TEST_P(SurfEngineFormats, OpaquePicturesIgnoreOpacityAndTint) {
    std::mt19937 rng(7);
    TFixture fx(GetParam());
    TPicture pic = Snapshot(fx.Make("jpg", 13, 9, rng, false), fx.Bpp);
    fx.Make("dst", 30, 20, rng, false);
    TPicture expect = Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp);
    TRect r{2, 1, 6, 4};  // inclusive: 5 x 4 pixels
    fx.Engine.DrawWithAlphaChannel("jpg", "dst", 3, 5, 17, &r, 0xFF00FF, 9);
    for (int yy = 0; yy < 4; ++yy)
        for (int xx = 0; xx < 5; ++xx) expect.At(3 + xx, 5 + yy) = pic.At(2 + xx, 1 + yy);
    EXPECT_EQ(Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp).Pixels, expect.Pixels);
    EXPECT_EQ(r, (TRect{2, 1, 6, 4}));  // the caller's rectangle is untouched
    // Extreme rectangles must neither overflow nor draw out of bounds.
    TRect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    fx.Engine.DrawWithAlphaChannel("jpg", "dst", INT_MAX, INT_MIN, 255, &huge);
    fx.Engine.DrawWithAlphaChannel("jpg", "dst", -5, -3, 255, &huge);
}

TEST_P(SurfEngineFormats, OpaqueCopyAtNegativePositionStartsInsideThePicture) {
    std::mt19937 rng(8);
    TFixture fx(GetParam());
    SurfaceRecord& src = fx.Make("src", 40, 6, rng, true);
    std::fill(src.AlphaMap.begin(), src.AlphaMap.end(), 255);
    TPicture pic = Snapshot(src, fx.Bpp);
    fx.Make("dst", 50, 10, rng, false);
    fx.Engine.DrawWithAlphaChannel("src", "dst", -10, 0, 255);
    const SurfaceRecord& dst = *fx.Engine.GetSurface("dst");
    // Column 0 shows the picture's eleventh column, exactly.
    uint32_t colourMask = fx.Bpp == 4 ? 0x00FFFFFFu : 0xFFFFu;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(GetPixel(dst, x, y, fx.Bpp) & colourMask, pic.At(x + 10, y) & colourMask);
}

TEST_P(SurfEngineFormats, ZeroAlphaNeverChangesAndNearOpaqueBlendsByFormula) {
    std::mt19937 rng(9);
    TFixture fx(GetParam());
    SurfaceRecord& src = fx.Make("src", 8, 1, rng, true);
    std::fill(src.AlphaMap.begin(), src.AlphaMap.end(), 0);
    fx.Make("dst", 8, 1, rng, false);
    TPicture before = Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp);
    for (int op : {0, 1, 128, 255})
        for (int tint : {0, 1, 200, 255})
            fx.Engine.DrawWithAlphaChannel("src", "dst", 0, 0, static_cast<uint8_t>(op), nullptr, 0xFFFFFF,
                                           static_cast<uint8_t>(tint));
    EXPECT_EQ(Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp).Pixels, before.Pixels);

    if (fx.Bpp == 4) {
        SurfaceRecord& s = *fx.Engine.GetSurface("src");
        std::fill(s.AlphaMap.begin(), s.AlphaMap.end(), 255);
        SetPixel(s, 0, 0, 4, 0x00C86432);
        SurfaceRecord& d = *fx.Engine.GetSurface("dst");
        SetPixel(d, 0, 0, 4, 0x7F102030);
        fx.Engine.DrawWithAlphaChannel("src", "dst", 0, 0, 254);
        // a = (255 * 254) >> 8 = 253: (253 * s + 2 * d) >> 8 per byte, spare byte kept.
        uint32_t expect = 0x7F000000u | ((253u * 0xC8 + 2 * 0x10) >> 8) << 16 | ((253u * 0x64 + 2 * 0x20) >> 8) << 8 |
                          ((253u * 0x32 + 2 * 0x30) >> 8);
        EXPECT_EQ(GetPixel(*fx.Engine.GetSurface("dst"), 0, 0, 4), expect);
    }
}

TEST_P(SurfEngineFormats, GlyphsMatchModelAndStayInside) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        TFixture fx(GetParam(), 40, 30);
        TPicture pic = Snapshot(fx.Make("font", 33, 17, rng, true), fx.Bpp);
        fx.Make("dst", 40, 30, rng, false);
        TPicture expect = Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp);
        std::vector<TGlyphItem> items(5);
        std::uniform_int_distribution<int> byte(0, 255);
        for (TGlyphItem& g : items) {
            int l = std::uniform_int_distribution<int>(0, 30)(rng), t = std::uniform_int_distribution<int>(0, 14)(rng);
            g.Source = {l, t, l + std::uniform_int_distribution<int>(0, 8)(rng),
                        t + std::uniform_int_distribution<int>(0, 8)(rng)};
            g.X = std::uniform_int_distribution<int>(-10, 45)(rng);
            g.Y = std::uniform_int_distribution<int>(-10, 35)(rng);
            g.Colour = static_cast<uint32_t>(byte(rng) | byte(rng) << 8 | byte(rng) << 16);
            g.Opacity = static_cast<uint8_t>(byte(rng));
        }
        fx.Engine.DrawGlyphs("font", "dst", items.size(), items.data());
        for (const TGlyphItem& g : items) {
            // Vertical rule as stated: rows top..bottom - 1 after the cut.
            int64_t top = g.Source.Top, bottom = g.Source.Bottom, y = g.Y;
            if (y < 0) {
                top -= y;
                y = 0;
            }
            if (bottom - top + 1 + y > 30) bottom = top - 1 - y + 30;
            TRect r{g.Source.Left, static_cast<int32_t>(top), g.Source.Right, static_cast<int32_t>(bottom - 1)};
            ForEachLanding(r, g.X, y, 33, 17, 40, 30, [&](int sx, int sy, int dx, int dy) {
                expect.At(dx, dy) =
                    fx.Model.Blend(pic.At(sx, sy), expect.At(dx, dy), pic.Alpha[sy * 33 + sx], g.Opacity, g.Colour, 1);
            });
        }
        ASSERT_EQ(Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp).Pixels, expect.Pixels) << "round " << round;
    }
}

TEST_P(SurfEngineFormats, RectanglesMatchModelAndFillToTheEdge) {
    std::mt19937 rng(12);
    for (int round = 0; round < 80; ++round) {
        TFixture fx(GetParam());
        fx.Make("dst", 23, 19, rng, false);
        TPicture expect = Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp);
        TRect r = RandomRect(rng, 23, 19);
        uint32_t colour = rng() & 0xFFFFFF;
        uint8_t op = static_cast<uint8_t>(rng());
        fx.Engine.DrawRect("dst", r, colour, op);
        for (int64_t y = std::max(r.Top, 0); y < std::min(r.Bottom, 19); ++y)
            for (int64_t x = std::max(r.Left, 0); x < std::min(r.Right, 23); ++x)
                expect.At(static_cast<int>(x), static_cast<int>(y)) =
                    fx.Model.Rect(expect.At(static_cast<int>(x), static_cast<int>(y)), colour, op);
        ASSERT_EQ(Snapshot(*fx.Engine.GetSurface("dst"), fx.Bpp).Pixels, expect.Pixels) << "round " << round;
    }
    // A rectangle reaching past the right edge still fills the last column.
    TFixture fx(GetParam());
    fx.Engine.CreateEmptySurface("d", 4, 1);
    fx.Engine.ClearSurface("d", 0xFF);
    fx.Engine.DrawRect("d", TRect{0, 0, 100, 100}, 0, 255);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(GetPixel(*fx.Engine.GetSurface("d"), x, 0, fx.Bpp) & (fx.Bpp == 4 ? 0xFFFFFFu : 0x7FFFu), 0u);
}

TEST_P(SurfEngineFormats, AddBlendMatchesModel) {
    std::mt19937 rng(13);
    for (int round = 0; round < 80; ++round) {
        TFixture fx(GetParam(), 30, 25);
        TPicture pa = Snapshot(fx.Make("A", 33, 21, rng, false), fx.Bpp);
        TPicture pb = Snapshot(fx.Make("B", 27, 26, rng, false), fx.Bpp);
        TPicture pc = Snapshot(fx.Make("C", 35, 29, rng, false), fx.Bpp);
        TRect rb = RandomRect(rng, 27, 26), rac = RandomRect(rng, 33, 21);
        bool defaults = round % 5 == 0;
        fx.Engine.AddBlend("A", "B", "C", defaults ? nullptr : &rb, defaults ? nullptr : &rac);
        if (defaults) {
            rb = rac = TRect{0, 0, 33, 21};
        }
        auto clamp = [](TRect r) {
            return TRect{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, 30), std::min(r.Bottom, 25)};
        };
        rb = clamp(rb);
        rac = clamp(rac);
        for (int64_t i = 0; i < int64_t(rac.Bottom) - rac.Top; ++i)
            for (int64_t j = 0; j < int64_t(rac.Right) - rac.Left; ++j) {
                int64_t ax = rac.Left + j, ay = rac.Top + i, bx = rb.Left + j, by = rb.Top + i;
                if (ax >= 33 || ay >= 21 || bx >= 27 || by >= 26) continue;
                pa.At(int(ax), int(ay)) = fx.Model.Add(pb.At(int(bx), int(by)), pc.At(int(ax), int(ay)));
            }
        ASSERT_EQ(Snapshot(*fx.Engine.GetSurface("A"), fx.Bpp).Pixels, pa.Pixels) << "round " << round;
    }
}

TEST_P(SurfEngineFormats, FlipAndRotateByZeroAndQuarterTurn) {
    std::mt19937 rng(14);
    TFixture fx(GetParam());
    SurfaceRecord& s = fx.Make("p", 7, 5, rng, true);
    s.FileName = "p.png";
    TPicture orig = Snapshot(s, fx.Bpp);
    fx.Engine.FlipSurfaceHorizontal("p");
    TPicture flipped = Snapshot(*fx.Engine.GetSurface("p"), fx.Bpp);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(flipped.At(x, y), orig.At(6 - x, y));
            ASSERT_EQ(flipped.Alpha[y * 7 + x], orig.Alpha[y * 7 + 6 - x]);
        }
    fx.Engine.FlipSurfaceHorizontal("p");

    // Rotation by zero reproduces every colour the format can hold.
    fx.Engine.CreateEmptySurface("other", 2, 2);
    fx.Engine.RotateSurface("p", 3, 2, 0.0);
    ASSERT_EQ(fx.Engine.FindSurface("p"), 1);  // moved behind "other"
    const SurfaceRecord& r0 = *fx.Engine.GetSurface("p");
    EXPECT_EQ(r0.FileName, "p.png");
    TPicture same = Snapshot(r0, fx.Bpp);
    uint32_t colourMask = fx.Bpp == 4 ? 0x00FFFFFFu : fx.Format.RedMask | fx.Format.GreenMask | fx.Format.BlueMask;
    for (size_t i = 0; i < same.Pixels.size(); ++i) ASSERT_EQ(same.Pixels[i] & colourMask, orig.Pixels[i] & colourMask);
    EXPECT_EQ(same.Alpha, orig.Alpha);

    // A quarter turn of a square about its centre moves whole pixels (the
    // outer ring may fall a rounding error outside the picture and go black).
    TPicture qo = Snapshot(fx.Make("q", 5, 5, rng, true), fx.Bpp);
    fx.Engine.RotateSurface("q", 2, 2, std::numbers::pi / 2);
    TPicture qr = Snapshot(*fx.Engine.GetSurface("q"), fx.Bpp);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x) {
            int sx = 2 - (y - 2), sy = 2 + (x - 2);
            ASSERT_EQ(qr.At(x, y) & colourMask, qo.At(sx, sy) & colourMask) << x << "," << y;
            ASSERT_EQ(qr.Alpha[y * 5 + x], qo.Alpha[sy * 5 + sx]);
        }
    // Turned about a corner, most of the picture leaves it: black, transparent.
    fx.Engine.RotateSurface("q", 0, 0, std::numbers::pi);
    const SurfaceRecord& qc = *fx.Engine.GetSurface("q");
    EXPECT_EQ(GetPixel(qc, 4, 4, fx.Bpp) & colourMask, 0u);
    EXPECT_EQ(qc.AlphaMap[24], 0);
}

TEST_P(SurfEngineFormats, PixelReadAndConversionRoundTrip) {
    TFixture fx(GetParam());
    fx.Engine.CreateEmptySurface("p", 2, 1);
    SurfaceRecord& s = *fx.Engine.GetSurface("p");
    SetPixel(s, 0, 0, fx.Bpp, fx.Engine.ConvertRGB(255, 255, 255));
    SetPixel(s, 1, 0, fx.Bpp, fx.Engine.ConvertRGB(200, 100, 50));
    uint8_t r, g, b;
    fx.Engine.GetPixelRGB(s, 1, 0, r, g, b);
    if (fx.Bpp == 4) {
        EXPECT_EQ(fx.Engine.ConvertRGB(255, 255, 255), 0xFFFFFFu);
        EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{200, 100, 50}));
    } else {
        // 5-bit channels come back as multiples of 8 (0..248), green of 5-6-5 of 4.
        EXPECT_EQ(r, 200 & 0xF8);
        EXPECT_EQ(g, fx.Engine.GreenBits() == 6 ? (100 & 0xFC) : (100 & 0xF8));
        EXPECT_EQ(b, 50 & 0xF8);
        EXPECT_EQ(fx.Engine.ConvertRGB(7, 3, 7), 0u);
    }
    fx.Engine.GetPixelRGB(s, 5, 0, r, g, b);  // outside: black, no read
    EXPECT_EQ(r + g + b, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, SurfEngineFormats, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return "bpp" + FormatName(info.param); });

}  // namespace
