// The engine's lists, alpha maps, bump maps, clip list and presenting.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "SurfEngineTestUtil.h"
#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvStream.h"

using namespace surftest;

namespace {

TEST(SurfEngine, FormatShiftsAndBitCounts) {
    TSurfEngine e565(TPixelFormat::Rgb565(), 800, 600);
    EXPECT_EQ(e565.RedShift(), 11);
    EXPECT_EQ(e565.GreenShift(), 5);
    EXPECT_EQ(e565.BlueShift(), 0);
    EXPECT_EQ(e565.RedBits(), 5);
    EXPECT_EQ(e565.GreenBits(), 6);
    EXPECT_EQ(e565.BlueBits(), 5);
    TSurfEngine e555(TPixelFormat::Rgb555(), 800, 600);
    EXPECT_EQ(e555.RedShift(), 10);
    EXPECT_EQ(e555.GreenBits(), 5);
    TSurfEngine e32(TPixelFormat::Xrgb8888(), 800, 600);
    EXPECT_EQ(e32.RedShift(), 16);
    EXPECT_EQ(e32.GreenShift(), 8);
    EXPECT_EQ(e32.BlueShift(), 0);
    EXPECT_EQ(e565.ConvertRGB(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(e565.ConvertRGB(7, 3, 7), 0u);
}

TEST(SurfEngine, SurfaceListKeepsOrderAndFirstMatchWins) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("a", 4, 4));
    ASSERT_TRUE(e.CreateEmptySurface("b", 5, 5));
    ASSERT_TRUE(e.CreateEmptySurface("a", 6, 6));
    EXPECT_EQ(e.FindSurface("a"), 0);
    EXPECT_EQ(e.FindSurface("A"), -1);  // case-sensitive
    int32_t w = -1, h = -1;
    e.GetPictureSize("a", w, h);
    EXPECT_EQ(w, 4);
    e.GetPictureSize("missing", w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    e.DeleteSurface("a");
    EXPECT_EQ(e.FindSurface("b"), 0);
    e.GetPictureSize("a", w, h);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(e.GetSurface("a")->AlphaStride, -1);
    // Taking a record hands over its pixels; the list closes up behind it
    // and a name not there leaves the caller's record alone.
    ASSERT_TRUE(e.CreateEmptySurface("c", 3, 2));
    e.ClearSurface("c", 0x5A);
    SurfaceRecord taken;
    ASSERT_TRUE(e.TakeSurface("b", taken));
    EXPECT_EQ(taken.Name, "b");
    EXPECT_EQ(taken.Width, 5);
    EXPECT_EQ(e.FindSurface("b"), -1);
    EXPECT_EQ(e.FindSurface("c"), 1);
    ASSERT_TRUE(e.TakeSurface("c", taken));
    ASSERT_NE(taken.Bits, nullptr);
    EXPECT_EQ(taken.Bits[0], 0x5A);
    EXPECT_FALSE(e.TakeSurface("c", taken));
    EXPECT_EQ(taken.Name, "c");
    e.AddSurface(std::move(taken));
    EXPECT_EQ(e.FindSurface("c"), 1);
    e.DeleteSurface("c");
    ASSERT_TRUE(e.CreateEmptySurface("b", 5, 5));
    // Failed creation registers nothing and is not an error.
    EXPECT_FALSE(e.CreateEmptySurface("bad", 0, 5));
    EXPECT_FALSE(e.CreateEmptySurface("bad", -3, 5));
    EXPECT_FALSE(e.CreateEmptySurface("bad", INT_MAX, INT_MAX));
    EXPECT_EQ(e.FindSurface("bad"), -1);
    // Operations on unknown names do nothing.
    e.DrawWithAlphaChannel("nope", "b", 0, 0, 255);
    e.DrawSurface("b", "nope", 0, 0);
    e.DrawRect("nope", TRect{0, 0, 5, 5}, 0, 255);
    e.ClearSurface("nope", 1);
    e.RotateSurface("nope", 0, 0, 1);
}

TEST(SurfEngine, ClearAndAlphaChannelCreation) {
    TSurfEngine e(TPixelFormat::Rgb565(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("s", 3, 2));
    e.ClearSurface("s", 0xAB);
    const SurfaceRecord& s = *e.GetSurface("s");
    EXPECT_EQ(GetPixel(s, 2, 1, 2), 0xABABu);
    e.CreateAlphaChannel("s", 7);
    EXPECT_EQ(s.AlphaStride, 3);
    EXPECT_EQ(s.AlphaMap, std::vector<uint8_t>(6, 7));
    e.CreateAlphaChannel("s", 9);  // only when there is none
    EXPECT_EQ(s.AlphaMap[0], 7);
}

TEST(SurfEngine, AddAlphaChannelStacksLikeTranslucentLayers) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("spot", 3, 1));
    ASSERT_TRUE(e.CreateEmptySurface("shadow", 4, 2));
    e.CreateAlphaChannel("spot", 0);
    SurfaceRecord& spot = *e.GetSurface("spot");
    spot.AlphaMap = {255, 128, 0};
    // The destination has no map yet: it gets one of zeros first.
    auto stack = [](int d, int src, int op) {
        return d == 255 ? 255 : 255 - (((255 - ((op * src) >> 8)) * (255 - d)) >> 8);
    };
    e.AddAlphaChannel("spot", "shadow", 1, 1, nullptr, 255);
    const SurfaceRecord& sh = *e.GetSurface("shadow");
    ASSERT_EQ(sh.AlphaStride, 4);
    EXPECT_EQ(sh.AlphaMap, (std::vector<uint8_t>{0, 0, 0, 0, 0, 255, 128, 1}));
    e.AddAlphaChannel("spot", "shadow", 1, 1, nullptr, 128);
    EXPECT_EQ(sh.AlphaMap[5], 255);
    EXPECT_EQ(sh.AlphaMap[6], stack(128, 128, 128));
    EXPECT_EQ(sh.AlphaMap[7], stack(1, 0, 128));
    // 255 never changes; far-away and clipped positions are safe.
    e.GetSurface("shadow")->AlphaMap[0] = 255;
    e.AddAlphaChannel("spot", "shadow", -2, 0, nullptr, 255);
    EXPECT_EQ(sh.AlphaMap[0], 255);
    e.AddAlphaChannel("spot", "shadow", INT_MAX, INT_MIN, nullptr, 255);
    TRect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    e.AddAlphaChannel("spot", "shadow", 0, 0, &huge, 255);
}

TEST(SurfEngine, BumpMapsCopyFillClearAndLight) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 6, 4);
    ASSERT_TRUE(e.CreateBumpMap("Bump", 6, 4, TBumpPair{5, 5}));
    ASSERT_TRUE(e.CreateBumpMap("pic", 2, 2, TBumpPair{1, 2}));
    e.GetBumpMap("pic")->Rows[0][1] = TBumpPair{-128, 3};  // no displacement here: skipped
    e.DrawBumpMap("pic", "Bump", nullptr, 4, 3);
    const BumpMapRecord& b = *e.GetBumpMap("Bump");
    EXPECT_EQ(b.Rows[3][4].Dx, 1);
    EXPECT_EQ(b.Rows[3][5].Dx, 5);  // the -128 pair was not copied
    e.DrawBumpMap("pic", "Bump", nullptr, INT_MIN, INT_MAX);
    TRect r{1, 1, 2, 1};
    e.FillBumpMap("Bump", TBumpPair{0, 0}, &r);
    EXPECT_EQ(b.Rows[1][1].Dx, 0);
    EXPECT_EQ(b.Rows[1][2].Dy, 0);
    EXPECT_EQ(b.Rows[1][3].Dx, 5);
    e.FillBumpMap("Bump", TBumpPair{2, 2}, nullptr);
    EXPECT_EQ(b.Rows[0][0].Dx, 2);

    ASSERT_TRUE(e.CreateEmptySurface("sprite", 3, 2));
    e.CreateAlphaChannel("sprite", 0);
    e.GetSurface("sprite")->AlphaMap = {11, 10, 255, 0, 200, 3};
    e.ClearBumpUnderPicture("Bump", "sprite", TRect{-1, 2, 1, 3});
    // Columns -1..1 of rows 2..3 walk the picture from its top-left.
    EXPECT_EQ(b.Rows[2][0].Dx, 2);  // alpha 10: not above 10
    EXPECT_EQ(b.Rows[2][1].Dx, 0);  // alpha 255
    EXPECT_EQ(b.Rows[3][0].Dx, 0);  // alpha 200
    EXPECT_EQ(b.Rows[3][1].Dx, 2);  // alpha 3

    // Light: a 4x4 picture whose pixel value is its coordinates.
    ASSERT_TRUE(e.CreateEmptySurface("Light", 4, 4));
    SurfaceRecord& light = *e.GetSurface("Light");
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) SetPixel(light, x, y, 4, 0xEE000000u | static_cast<uint32_t>(y * 16 + x));
    ASSERT_TRUE(e.CreateEmptySurface("Temp", 6, 4));
    e.ClearSurface("Temp", 0x11);
    e.FillBumpMap("Bump", TBumpPair{0, 0}, nullptr);
    e.GetBumpMap("Bump")->Rows[1][1] = TBumpPair{1, -1};
    e.ApplyBump("Bump", "Light", "Temp", nullptr, 2, 2);
    const SurfaceRecord& t = *e.GetSurface("Temp");
    // sx = dx + 2 + x - 2: light pixels 1..3 land on columns 1..3, 0 and 4.. stay.
    EXPECT_EQ(GetPixel(t, 0, 0, 4), 0x11111111u);
    EXPECT_EQ(GetPixel(t, 2, 2, 4), 0x11000022u);  // three colour bytes, spare kept
    EXPECT_EQ(GetPixel(t, 1, 1, 4), 0x11111111u);  // displaced to (2, 0): row 0 is outside
    EXPECT_EQ(GetPixel(t, 4, 2, 4), 0x11111111u);
    // A bump map smaller than the destination does nothing.
    ASSERT_TRUE(e.CreateBumpMap("small", 2, 2));
    e.ClearSurface("Temp", 0x22);
    e.ApplyBump("small", "Light", "Temp", nullptr, 2, 2);
    EXPECT_EQ(GetPixel(t, 2, 2, 4), 0x22222222u);
    e.ApplyBump("Bump", "Light", "Temp", nullptr, INT_MIN, INT_MAX);
}

TEST(SurfEngine, BumpMapFromAHeightPicture) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("height", 3, 2));
    SurfaceRecord& pic = *e.GetSurface("height");
    // A ramp rising to the right: 0, 90, 180 in every channel.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            SetPixel(pic, x, y, 4, e.ConvertRGB(uint8_t(90 * x), uint8_t(90 * x), uint8_t(90 * x)));
    e.CreateAlphaChannel("height", 255);
    e.GetSurface("height")->AlphaMap[5] = 0;
    ASSERT_TRUE(e.CreateBumpMapFromPicture("bump", "height", 512));
    const BumpMapRecord& b = *e.GetBumpMap("bump");
    EXPECT_EQ(b.Rows[0][1].Dx, 127);  // (180 - 0) * 2, cut to 127
    EXPECT_EQ(b.Rows[0][0].Dx, 127);  // edge repeats itself: (90 - 0) * 2 = 180
    EXPECT_EQ(b.Rows[0][1].Dy, 0);
    EXPECT_EQ(b.Rows[1][2].Dx, -128);  // transparent: no displacement
    EXPECT_EQ(b.Rows[1][2].Dy, -128);
    ASSERT_TRUE(e.CreateBumpMapFromPicture("soft", "height", 64));
    EXPECT_EQ(e.GetBumpMap("soft")->Rows[0][1].Dx, 45);  // 180 * 64 / 256
    EXPECT_FALSE(e.CreateBumpMapFromPicture("none", "missing", 64));
}

TEST(SurfEngine, SelfCopyReleaseAndReinit) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("s", 4, 4));
    SurfaceRecord& s = *e.GetSurface("s");
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) SetPixel(s, x, y, 4, static_cast<uint32_t>(y * 4 + x));
    // Copying a surface onto itself, overlapping, moves the picture intact.
    TRect r{0, 0, 3, 3};
    e.DrawSurface("s", "s", 1, 1, &r);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x) ASSERT_EQ(GetPixel(s, x, y, 4), static_cast<uint32_t>((y - 1) * 4 + x - 1));

    e.CreateAlphaChannel("s", 200);
    e.ReleaseSurfaces();
    EXPECT_EQ(e.GetSurface("s")->Bits, nullptr);
    EXPECT_EQ(e.GetSurface("s")->AlphaMap.size(), 16u);
    // Nothing draws into a released surface.
    e.DrawRect("s", TRect{0, 0, 4, 4}, 0xFFFFFF, 255);
    e.ClearSurface("s", 1);
    e.DrawWithAlphaChannel("s", "s", 0, 0, 255);
    std::vector<uint8_t> alphaBefore = e.GetSurface("s")->AlphaMap;
    e.GetSurface("s")->AlphaMap[0] = 1;
    alphaBefore[0] = 1;
    e.FlipSurfaceHorizontal("s");
    e.RotateSurface("s", 1, 1, 1.0);
    EXPECT_EQ(e.GetSurface("s")->AlphaMap, alphaBefore);

    TDisplay display;
    std::string error;
    ASSERT_TRUE(display.Init(nullptr, 800, 600, 16, true, error));
    e.Reinit(&display);
    EXPECT_EQ(e.Format(), TPixelFormat::Rgb565());
    EXPECT_EQ(e.RedShift(), 11);
    EXPECT_EQ(e.SurfaceCount(), 1u);
    ASSERT_TRUE(e.CreateEmptySurface("t", 3, 3));
    EXPECT_GE(e.GetSurface("t")->Pitch, 6);
}

TEST(SurfEngine, ClipRedrawRectsCutsToTheClipList) {
    TDisplay display;
    std::string error;
    ASSERT_TRUE(display.Init(nullptr, 800, 600, 32, false, error)) << error;
    TSurfEngine e(&display, 800, 600);
    e.CheckClipper();
    ASSERT_EQ(e.ClipList().size(), 1u);
    TRects rects{TRect{-5, -5, 900, 700}, TRect{10, 10, 20, 20}};
    TRects same = rects;
    e.ClipRedrawRects(rects);
    EXPECT_EQ(rects, same);  // exactly the whole screen: unchanged

    // Two visible parts of a window whose client area is at (100, 50).
    display.SetClipListForTest({TRect{100, 50, 500, 350}, TRect{500, 50, 900, 150}}, TPoint{100, 50});
    e.CheckClipper();
    ASSERT_EQ(e.ClipList(), (TRects{TRect{0, 0, 400, 300}, TRect{400, 0, 800, 100}}));
    EXPECT_EQ(e.ClipListSize(), 32u + 2 * 16u);
    rects = {TRect{350, 50, 450, 150}};
    e.ClipRedrawRects(rects);
    EXPECT_EQ(rects, (TRects{TRect{350, 50, 400, 150}, TRect{400, 50, 450, 100}}));
    // An unchanged clip list is not read again.
    EXPECT_FALSE(display.ClipListChanged());

    // A clip list over 100000 bytes is dropped: no clipping at all.
    display.SetClipListForTest(TRects(7000, TRect{0, 0, 1, 1}), TPoint{});
    e.CheckClipper();
    EXPECT_TRUE(e.ClipList().empty());
    rects = same;
    e.ClipRedrawRects(rects);
    EXPECT_EQ(rects, same);
}

std::string ReadLog(const std::string& path) {
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

TEST(SurfEngine, PresentCopiesOnlyTheRedrawRectangles) {
    for (int bpp : {16, 32}) {
        TDisplay display;
        std::string error;
        ASSERT_TRUE(display.Init(nullptr, 800, 600, bpp, true, error)) << error;
        TSurfEngine e(&display, 800, 600);
        ASSERT_TRUE(e.CreateEmptySurface("MemorySurface", 800, 600));
        e.ClearSurface("MemorySurface", 0x5A);
        // The cursor's rectangle reaches past the right edge: its visible part
        // must still reach the screen.
        TRects rects{TRect{10, 20, 12, 23}, TRect{790, 590, 831, 640}};
        ASSERT_TRUE(e.Present("MemorySurface", rects));
        const int b = bpp / 8;
        auto at = [&](int x, int y) { return display.ScreenBits()[y * display.ScreenPitch() + x * b]; };
        EXPECT_EQ(at(10, 20), 0x5A);
        EXPECT_EQ(at(11, 22), 0x5A);
        EXPECT_EQ(at(12, 22), 0);
        EXPECT_EQ(at(10, 23), 0);
        EXPECT_EQ(at(799, 599), 0x5A);
        EXPECT_EQ(at(789, 599), 0);
        e.ClearSurface("MemorySurface", 0x33);
        ASSERT_TRUE(e.PresentAll("MemorySurface"));
        EXPECT_EQ(at(0, 0), 0x33);
    }
}

TEST(SurfEngine, PresentOnALostDisplayLogsAndFails) {
    const std::string logPath = (std::filesystem::temp_directory_path() / "moswick_surf_present.log").string();
    TOrvLog::Instance().Open(logPath, 0);
    TDisplay display;
    std::string error;
    ASSERT_TRUE(display.Init(nullptr, 800, 600, 32, false, error));
    TSurfEngine e(&display, 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("MemorySurface", 800, 600));
    TRects rects{TRect{0, 0, 10, 10}};
    display.ForceLostForTest(true);
    EXPECT_FALSE(e.Present("MemorySurface", rects));
    EXPECT_NE(ReadLog(logPath).find("Dst Surface lost"), std::string::npos);
    display.FailRestoresForTest(1);
    EXPECT_FALSE(display.Restore(error));
    EXPECT_TRUE(display.Restore(error));
    EXPECT_TRUE(e.Present("MemorySurface", rects));
    EXPECT_FALSE(e.Present("NoSuchSurface", rects));
    EXPECT_NE(ReadLog(logPath).find("Src "), std::string::npos);
    // Released surfaces (during a display change) are skipped, not touched.
    e.ReleaseSurfaces();
    EXPECT_FALSE(e.Present("MemorySurface", rects));
    e.DrawRect("MemorySurface", TRect{0, 0, 5, 5}, 0, 255);
    TOrvLog::Instance().Close();
    std::filesystem::remove(logPath);
}

TEST(SurfEngine, EngineWithoutDisplayDoesNotPresent) {
    TSurfEngine e(TPixelFormat::Xrgb8888(), 800, 600);
    ASSERT_TRUE(e.CreateEmptySurface("MemorySurface", 800, 600));
    TRects rects{TRect{0, 0, 800, 600}};
    EXPECT_FALSE(e.Present("MemorySurface", rects));
    e.CheckClipper();
    EXPECT_TRUE(e.ClipList().empty());
}

}  // namespace
