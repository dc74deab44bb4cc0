// Whole-picture comparisons of the operations beside alpha drawing (opaque
// copies, opacity merging, bump maps and light, rotation) against slow
// per-pixel models written from their rules, on random pictures with
// rectangles and positions crossing every edge, in every pixel format.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "SurfEngineTestUtil.h"

using namespace surftest;

namespace {

class SurfReference : public ::testing::TestWithParam<TPixelFormat> {};

// Half of the rectangles have their corners anywhere (often empty, or
// reaching the 32-bit limits), half overlap the w x h picture and cross its
// edges now and then.
TRect AnyRect(std::mt19937& rng, int w, int h) {
    if (rng() % 2 == 0)
        return TRect{RandomCoordinate(rng, w), RandomCoordinate(rng, h), RandomCoordinate(rng, w),
                     RandomCoordinate(rng, h)};
    const int left = std::uniform_int_distribution<int>(-3, w)(rng);
    const int top = std::uniform_int_distribution<int>(-3, h)(rng);
    return TRect{left, top, left + std::uniform_int_distribution<int>(0, w + 3)(rng),
                 top + std::uniform_int_distribution<int>(0, h + 3)(rng)};
}

// A position that lands near the destination half of the time and anywhere
// (up to the 32-bit limits) otherwise.
int32_t AnyPosition(std::mt19937& rng, int round, int picture, int dest) {
    if (round % 2 == 0) return std::uniform_int_distribution<int>(-picture - 2, dest + 2)(rng);
    return RandomCoordinate(rng, dest);
}

SurfaceRecord& MakeSurface(TSurfEngine& e, const std::string& name, int w, int h, std::mt19937& rng, bool alpha) {
    EXPECT_TRUE(e.CreateEmptySurface(name, w, h));
    SurfaceRecord& s = *e.GetSurface(name);
    FillRandom(s, e.Format().BytesPerPixel(), rng, alpha);
    return s;
}

TEST_P(SurfReference, OpaqueCopiesMoveEveryByteOfTheClippedRectangle) {
    const TPixelFormat f = GetParam();
    const int bpp = f.BytesPerPixel();
    std::mt19937 rng(21);
    for (int round = 0; round < 200; ++round) {
        TSurfEngine e(f, 800, 600);
        std::uniform_int_distribution<int> side(1, 40);
        // Every fifth round copies whole pictures whose rows have no gaps,
        // which goes as one block.
        const bool block = round % 5 == 0;
        const int sw = block ? 64 / bpp : side(rng), sh = side(rng);
        const int dw = block ? sw : side(rng) + 10, dh = block ? sh : side(rng) + 5;
        TPicture pic = Snapshot(MakeSurface(e, "src", sw, sh, rng, false), bpp);
        TPicture expect = Snapshot(MakeSurface(e, "dst", dw, dh, rng, false), bpp);
        const bool whole = block || round % 4 == 1;
        TRect r = whole ? TRect{0, 0, sw, sh} : AnyRect(rng, sw, sh);  // right and bottom exclusive
        const int32_t x = block ? 0 : AnyPosition(rng, round, sw, dw);
        const int32_t y = block ? 0 : AnyPosition(rng, round, sh, dh);
        e.DrawSurface("src", "dst", x, y, whole ? nullptr : &r);
        for (int64_t sy = std::max(r.Top, 0); sy < std::min<int64_t>(r.Bottom, sh); ++sy)
            for (int64_t sx = std::max(r.Left, 0); sx < std::min<int64_t>(r.Right, sw); ++sx) {
                const int64_t dx = x + sx - r.Left, dy = y + sy - r.Top;
                if (dx >= 0 && dx < dw && dy >= 0 && dy < dh) expect.At(int(dx), int(dy)) = pic.At(int(sx), int(sy));
            }
        ASSERT_EQ(Snapshot(*e.GetSurface("dst"), bpp).Pixels, expect.Pixels)
            << "round " << round << " at " << x << "," << y << " rect " << r.Left << "," << r.Top << "," << r.Right
            << "," << r.Bottom;

        // A copy within one picture reads what was there before, however the
        // two areas overlap.
        TPicture before = Snapshot(*e.GetSurface("dst"), bpp);
        expect = before;
        const TRect inner = AnyRect(rng, dw, dh);
        const int32_t ix = std::uniform_int_distribution<int>(-3, dw)(rng);
        const int32_t iy = std::uniform_int_distribution<int>(-3, dh)(rng);
        e.DrawSurface("dst", "dst", ix, iy, &inner);
        for (int64_t sy = std::max(inner.Top, 0); sy < std::min<int64_t>(inner.Bottom, dh); ++sy)
            for (int64_t sx = std::max(inner.Left, 0); sx < std::min<int64_t>(inner.Right, dw); ++sx) {
                const int64_t dx = ix + sx - inner.Left, dy = iy + sy - inner.Top;
                if (dx >= 0 && dx < dw && dy >= 0 && dy < dh) expect.At(int(dx), int(dy)) = before.At(int(sx), int(sy));
            }
        ASSERT_EQ(Snapshot(*e.GetSurface("dst"), bpp).Pixels, expect.Pixels) << "self copy, round " << round;
    }
}

TEST_P(SurfReference, OpacityMergesLikeStackedLayersInsideTheClippedRectangle) {
    const TPixelFormat f = GetParam();
    std::mt19937 rng(22);
    for (int round = 0; round < 150; ++round) {
        TSurfEngine e(f, 800, 600);
        std::uniform_int_distribution<int> side(1, 30);
        const int sw = side(rng), sh = side(rng), dw = side(rng), dh = side(rng);
        const bool srcAlpha = round % 3 != 0, dstAlpha = round % 2 == 0;
        const std::vector<uint8_t> srcMap = MakeSurface(e, "src", sw, sh, rng, srcAlpha).AlphaMap;
        MakeSurface(e, "dst", dw, dh, rng, dstAlpha);
        // A map without a plane starts as all zeros.
        std::vector<uint8_t> expect =
            dstAlpha ? e.GetSurface("dst")->AlphaMap : std::vector<uint8_t>(size_t(dw) * dh, 0);
        const bool whole = round % 4 == 0;
        const TRect r = whole ? TRect{0, 0, sw - 1, sh - 1} : AnyRect(rng, sw, sh);  // inclusive
        const int32_t x = AnyPosition(rng, round, sw, dw), y = AnyPosition(rng, round, sh, dh);
        const uint32_t op = round % 5 == 0 ? 255 : rng() & 0xFF;
        e.AddAlphaChannel("src", "dst", x, y, whole ? nullptr : &r, static_cast<uint8_t>(op));
        for (int64_t sy = std::max(r.Top, 0); sy <= std::min<int64_t>(r.Bottom, sh - 1); ++sy)
            for (int64_t sx = std::max(r.Left, 0); sx <= std::min<int64_t>(r.Right, sw - 1); ++sx) {
                const int64_t dx = x + sx - r.Left, dy = y + sy - r.Top;
                if (dx < 0 || dx >= dw || dy < 0 || dy >= dh) continue;
                uint8_t& d = expect[size_t(dy) * dw + size_t(dx)];
                if (d == 255) continue;
                const uint32_t s = srcAlpha ? srcMap[size_t(sy) * sw + size_t(sx)] : 255;
                d = static_cast<uint8_t>(255 - (((255 - ((op * s) >> 8)) * (255u - d)) >> 8));
            }
        const SurfaceRecord& dst = *e.GetSurface("dst");
        ASSERT_EQ(dst.AlphaStride, dw);
        ASSERT_EQ(dst.AlphaMap, expect) << "round " << round;
    }
}

using TBumpRows = std::vector<std::vector<TBumpPair>>;

void FillRandomBump(BumpMapRecord& map, std::mt19937& rng) {
    for (auto& row : map.Rows)
        for (TBumpPair& p : row) {
            const uint32_t v = rng();
            // One cell in eight carries the "no displacement" mark in one byte.
            p.Dx = static_cast<int8_t>(v % 8 == 0 ? -128 : static_cast<int>((v >> 8) % 41) - 20);
            p.Dy = static_cast<int8_t>(v % 8 == 1 ? -128 : static_cast<int>((v >> 16) % 41) - 20);
        }
}

bool SamePairs(const TBumpRows& a, const TBumpRows& b) {
    if (a.size() != b.size()) return false;
    for (size_t y = 0; y < a.size(); ++y) {
        if (a[y].size() != b[y].size()) return false;
        for (size_t x = 0; x < a[y].size(); ++x)
            if (a[y][x].Dx != b[y][x].Dx || a[y][x].Dy != b[y][x].Dy) return false;
    }
    return true;
}

TEST_P(SurfReference, BumpMapCopiesFillsAndClearsStayInsideAndFollowTheRules) {
    const TPixelFormat f = GetParam();
    std::mt19937 rng(23);
    for (int round = 0; round < 150; ++round) {
        TSurfEngine e(f, 800, 600);
        std::uniform_int_distribution<int> side(1, 25);
        const int mw = side(rng) + 5, mh = side(rng) + 5, pw = side(rng), ph = side(rng);
        ASSERT_TRUE(e.CreateBumpMap("map", mw, mh));
        ASSERT_TRUE(e.CreateBumpMap("pic", pw, ph));
        FillRandomBump(*e.GetBumpMap("map"), rng);
        FillRandomBump(*e.GetBumpMap("pic"), rng);
        TBumpRows expect = e.GetBumpMap("map")->Rows;
        const TBumpRows pic = e.GetBumpMap("pic")->Rows;

        // DrawBumpMap: inclusive source rectangle, marked pairs skipped.
        const bool whole = round % 4 == 0;
        const TRect r = whole ? TRect{0, 0, pw - 1, ph - 1} : AnyRect(rng, pw, ph);
        const int32_t x = AnyPosition(rng, round, pw, mw), y = AnyPosition(rng, round, ph, mh);
        e.DrawBumpMap("pic", "map", whole ? nullptr : &r, x, y);
        for (int64_t sy = std::max(r.Top, 0); sy <= std::min<int64_t>(r.Bottom, ph - 1); ++sy)
            for (int64_t sx = std::max(r.Left, 0); sx <= std::min<int64_t>(r.Right, pw - 1); ++sx) {
                const int64_t dx = x + sx - r.Left, dy = y + sy - r.Top;
                const TBumpPair p = pic[size_t(sy)][size_t(sx)];
                if (dx >= 0 && dx < mw && dy >= 0 && dy < mh && p.Dx != -128 && p.Dy != -128)
                    expect[size_t(dy)][size_t(dx)] = p;
            }
        ASSERT_TRUE(SamePairs(e.GetBumpMap("map")->Rows, expect)) << "draw, round " << round;

        // FillBumpMap: every cell of the inclusive rectangle that exists.
        const TRect fill = AnyRect(rng, mw, mh);
        const TBumpPair pair{static_cast<int8_t>(rng() % 50), static_cast<int8_t>(-int(rng() % 50))};
        e.FillBumpMap("map", pair, &fill);
        for (int64_t cy = std::max(fill.Top, 0); cy <= std::min<int64_t>(fill.Bottom, mh - 1); ++cy)
            for (int64_t cx = std::max(fill.Left, 0); cx <= std::min<int64_t>(fill.Right, mw - 1); ++cx)
                expect[size_t(cy)][size_t(cx)] = pair;
        ASSERT_TRUE(SamePairs(e.GetBumpMap("map")->Rows, expect)) << "fill, round " << round;

        // ClearBumpUnderPicture: the rectangle walked in step with the
        // picture's alpha from its top-left; (0, 0) where alpha exceeds 10.
        const SurfaceRecord& sprite = MakeSurface(e, "sprite", pw, ph, rng, true);
        const TRect under = AnyRect(rng, mw, mh);
        e.ClearBumpUnderPicture("map", "sprite", under);
        const int64_t uw = int64_t(under.Right) - under.Left + 1, uh = int64_t(under.Bottom) - under.Top + 1;
        for (int64_t j = 0; j < std::min<int64_t>(uh, ph); ++j)
            for (int64_t i = 0; i < std::min<int64_t>(uw, pw); ++i) {
                const int64_t cx = under.Left + i, cy = under.Top + j;
                if (cx >= 0 && cx < mw && cy >= 0 && cy < mh && sprite.AlphaMap[size_t(j) * pw + size_t(i)] > 10)
                    expect[size_t(cy)][size_t(cx)] = TBumpPair{0, 0};
            }
        ASSERT_TRUE(SamePairs(e.GetBumpMap("map")->Rows, expect)) << "clear, round " << round;
    }
}

TEST_P(SurfReference, LightMappingTakesTheDisplacedLightPixelInsideTheLight) {
    const TPixelFormat f = GetParam();
    const int bpp = f.BytesPerPixel();
    std::mt19937 rng(24);
    for (int round = 0; round < 120; ++round) {
        // The engine's screen is smaller than some destinations: the
        // rectangle is cut to both.
        const int ew = 20 + int(rng() % 20), eh = 15 + int(rng() % 20);
        TSurfEngine e(f, ew, eh);
        std::uniform_int_distribution<int> side(1, 30);
        const int dw = side(rng) + 5, dh = side(rng) + 5, lw = side(rng), lh = side(rng);
        ASSERT_TRUE(e.CreateBumpMap("Bump", dw + int(rng() % 3), dh + int(rng() % 3)));
        FillRandomBump(*e.GetBumpMap("Bump"), rng);
        const TPicture light = Snapshot(MakeSurface(e, "Light", lw, lh, rng, false), bpp);
        TPicture expect = Snapshot(MakeSurface(e, "Temp", dw, dh, rng, false), bpp);
        const BumpMapRecord& map = *e.GetBumpMap("Bump");
        const bool whole = round % 4 == 0;
        const TRect r = whole ? TRect{0, 0, dw - 1, dh - 1} : AnyRect(rng, dw, dh);
        const int32_t lx =
            round % 7 == 0 ? RandomCoordinate(rng, dw) : std::uniform_int_distribution<int>(-5, dw + 5)(rng);
        const int32_t ly =
            round % 7 == 0 ? RandomCoordinate(rng, dh) : std::uniform_int_distribution<int>(-5, dh + 5)(rng);
        e.ApplyBump("Bump", "Light", "Temp", whole ? nullptr : &r, lx, ly);
        const uint32_t colour = bpp == 4 ? 0x00FFFFFFu : 0xFFFFu;
        for (int64_t py = std::max(r.Top, 0); py <= std::min<int64_t>({r.Bottom, dh - 1, eh - 1}); ++py)
            for (int64_t px = std::max(r.Left, 0); px <= std::min<int64_t>({r.Right, dw - 1, ew - 1}); ++px) {
                const TBumpPair p = map.Rows[size_t(py)][size_t(px)];
                const int64_t sx = p.Dx + lw / 2 + px - lx, sy = p.Dy + lh / 2 + py - ly;
                if (sx > 0 && sx < lw && sy > 0 && sy < lh) {
                    uint32_t& d = expect.At(int(px), int(py));
                    d = (d & ~colour) | (light.Pixels[size_t(sy) * lw + size_t(sx)] & colour);
                }
            }
        ASSERT_EQ(Snapshot(*e.GetSurface("Temp"), bpp).Pixels, expect.Pixels) << "round " << round;
    }
    // A bump map smaller than the destination leaves it alone.
    TSurfEngine e(f, 800, 600);
    ASSERT_TRUE(e.CreateBumpMap("small", 4, 4));
    MakeSurface(e, "Light", 5, 5, rng, false);
    const TPicture before = Snapshot(MakeSurface(e, "Temp", 5, 4, rng, false), bpp);
    e.ApplyBump("small", "Light", "Temp", nullptr, 2, 2);
    EXPECT_EQ(Snapshot(*e.GetSurface("Temp"), bpp).Pixels, before.Pixels);
}

// The 8-bit channels of a stored pixel, by the rule for each format.
void Channels(const TPixelFormat& f, uint32_t pixel, double out[3]) {
    const uint32_t masks[3] = {f.RedMask, f.GreenMask, f.BlueMask};
    for (int c = 0; c < 3; ++c) {
        const int shift = __builtin_ctz(masks[c]);
        uint32_t v = (pixel & masks[c]) >> shift;
        if (f.BitsPerPixel == 16) v <<= 8 - __builtin_popcount(masks[c]);
        out[c] = v;
    }
}

uint32_t Compose(const TPixelFormat& f, const uint32_t rgb[3]) {
    const uint32_t masks[3] = {f.RedMask, f.GreenMask, f.BlueMask};
    uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) {
        const int bits = f.BitsPerPixel == 16 ? __builtin_popcount(masks[c]) : 8;
        pixel += (rgb[c] >> (8 - bits)) << __builtin_ctz(masks[c]);
    }
    return pixel;
}

// Clears colour and opacity of every pixel outside r (right and bottom
// exclusive), leaving the bits outside the colour masks.
void BlankOutside(SurfaceRecord& s, const TPixelFormat& f, int bpp, const TRect& r) {
    const uint32_t colour = f.RedMask | f.GreenMask | f.BlueMask;
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x) {
            if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) continue;
            SetPixel(s, x, y, bpp, GetPixel(s, x, y, bpp) & ~colour);
            if (s.HasAlpha()) s.AlphaMap[size_t(y) * s.Width + x] = 0;
        }
}

TEST_P(SurfReference, RotationSamplesBilinearlyAndBlanksWhatFallsOutside) {
    const TPixelFormat f = GetParam();
    const int bpp = f.BytesPerPixel();
    std::mt19937 rng(25);
    for (int round = 0; round < 120; ++round) {
        TSurfEngine e(f, 800, 600);
        std::uniform_int_distribution<int> side(1, 19);
        const int w = side(rng), h = side(rng);
        const bool alpha = round % 3 != 0;
        SurfaceRecord& made = MakeSurface(e, "p", w, h, rng, alpha);
        made.FileName = "p.png";
        // Half the rounds draw only inside a smaller rectangle (sometimes
        // none at all): the border is black and transparent but may keep
        // bits outside the colour masks, as the start-up rotation frames'
        // empty borders are.
        if (round >= 60) BlankOutside(made, f, bpp, AnyRect(rng, w, h));
        const TPicture pic = Snapshot(made, bpp);
        const double cx = std::uniform_real_distribution<double>(-2, w + 2)(rng);
        const double cy = std::uniform_real_distribution<double>(-2, h + 2)(rng);
        const double angle = std::uniform_real_distribution<double>(-7, 7)(rng);
        e.RotateSurface("p", cx, cy, angle);

        std::vector<uint32_t> pixels(size_t(w) * h, 0);
        std::vector<uint8_t> alphas(alpha ? size_t(w) * h : 0, 0);
        const double c = std::cos(angle), s = std::sin(angle);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double sx = cx + c * (x - cx) - s * (y - cy);
                const double sy = cy + c * (y - cy) + s * (x - cx);
                if (sx < 0 || sy < 0 || sx > w - 1 || sy > h - 1) continue;  // black, transparent
                const int x0 = int(sx), y0 = int(sy);
                const int x1 = x0 + 1 < w ? x0 + 1 : x0, y1 = y0 + 1 < h ? y0 + 1 : y0;
                const double fx = sx - x0, fy = sy - y0;
                auto mix = [&](double tl, double tr, double bl, double br) {
                    const double left = tl + (bl - tl) * fy, right = tr + (br - tr) * fy;
                    return static_cast<uint32_t>(std::nearbyint(std::clamp(left + (right - left) * fx, 0.0, 255.0)));
                };
                double tl[3], tr[3], bl[3], br[3];
                Channels(f, pic.Pixels[size_t(y0) * w + x0], tl);
                Channels(f, pic.Pixels[size_t(y0) * w + x1], tr);
                Channels(f, pic.Pixels[size_t(y1) * w + x0], bl);
                Channels(f, pic.Pixels[size_t(y1) * w + x1], br);
                uint32_t rgb[3];
                for (int k = 0; k < 3; ++k) rgb[k] = mix(tl[k], tr[k], bl[k], br[k]);
                pixels[size_t(y) * w + x] = Compose(f, rgb);
                if (alpha) {
                    auto at = [&](int px, int py) { return double(pic.Alpha[size_t(py) * w + px]); };
                    alphas[size_t(y) * w + x] = uint8_t(mix(at(x0, y0), at(x1, y0), at(x0, y1), at(x1, y1)));
                }
            }
        const SurfaceRecord& turned = *e.GetSurface("p");
        EXPECT_EQ(turned.FileName, "p.png");
        ASSERT_EQ(Snapshot(turned, bpp).Pixels, pixels) << "round " << round << " angle " << angle;
        ASSERT_EQ(turned.AlphaMap, alphas) << "round " << round;
        ASSERT_EQ(turned.AlphaStride, alpha ? w : -1);
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, SurfReference, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return "bpp" + FormatName(info.param); });

}  // namespace
