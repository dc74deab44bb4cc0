// The painting kit: coverage that adds up, alpha blending that keeps colour,
// and the resampling and edge filling the packed pictures rely on.
#include <gtest/gtest.h>

#include <cmath>

#include "Raster.h"

namespace {

double AlphaSum(const TCanvas& c) {
    double s = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) s += c.At(x, y).A;
    return s;
}

}  // namespace

TEST(ForgeRaster, PolygonCoverageMatchesTheArea) {
    TCanvas c(64, 64);
    c.FillPolygon(TPolygon{{3.3f, 4.1f}, {57.7f, 9.2f}, {20.5f, 60.6f}}, Rgb(255, 0, 0));
    double area = std::abs((57.7 - 3.3) * (60.6 - 4.1) - (20.5 - 3.3) * (9.2 - 4.1)) / 2;
    EXPECT_NEAR(AlphaSum(c), area, area * 0.01);
    // Far from the edges the fill is solid and keeps its colour.
    EXPECT_FLOAT_EQ(c.At(25, 20).A, 1.0f);
    EXPECT_FLOAT_EQ(c.At(25, 20).R, 1.0f);
    EXPECT_FLOAT_EQ(c.At(1, 1).A, 0.0f);
}

TEST(ForgeRaster, NeighbouringPolygonsLeaveNoGapAlongTheirEdge) {
    // Two halves of a square split on its diagonal, laid one after the other
    // onto an opaque ground, cover it evenly: the seam gets the same colour
    // as the rest.
    TCanvas c(40, 40, Rgb(0, 0, 0));
    c.FillPolygon(TPolygon{{0, 0}, {40, 0}, {0, 40}}, Rgb(255, 255, 255));
    c.FillPolygon(TPolygon{{40, 0}, {40, 40}, {0, 40}}, Rgb(255, 255, 255));
    float lowest = 1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) lowest = std::min(lowest, c.At(x, y).R);
    // Over-blending two partial coverages leaves at most a faint seam.
    EXPECT_GT(lowest, 0.7f);
}

TEST(ForgeRaster, BlendingKeepsColourOverTransparencyAndMixesOverOpaque) {
    TCanvas c(2, 1);
    c.Blend(0, 0, Rgb(200, 100, 50), 0.5f);
    EXPECT_NEAR(c.At(0, 0).R, 200 / 255.0f, 1e-5);  // no darkening toward the transparent black
    EXPECT_NEAR(c.At(0, 0).A, 0.5f, 1e-5);
    c.Blend(0, 0, Rgb(200, 100, 50), 0.5f);
    EXPECT_NEAR(c.At(0, 0).A, 0.75f, 1e-5);
    TCanvas o(1, 1, Rgb(0, 0, 0));
    o.Blend(0, 0, Rgb(255, 255, 255, 0.5f), 0.5f);
    EXPECT_NEAR(o.At(0, 0).R, 0.25f, 1e-5);
    EXPECT_FLOAT_EQ(o.At(0, 0).A, 1.0f);
    // Outside the canvas nothing happens (and nothing breaks).
    o.Blend(-1, 0, Rgb(255, 0, 0), 1);
    o.Blend(0, 5, Rgb(255, 0, 0), 1);
    EXPECT_NEAR(o.At(0, 0).G, 0.25f, 1e-5);
}

TEST(ForgeRaster, DownscaleAveragesOnlyWhatIsVisible) {
    TCanvas c(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) c.At(x, y) = Rgb(255, 0, 0);  // left half red, right half transparent black
    TCanvas d = c.Downscale(1, 1);
    EXPECT_NEAR(d.At(0, 0).R, 1.0f, 1e-5);  // transparent pixels do not darken the colour
    EXPECT_NEAR(d.At(0, 0).A, 0.5f, 1e-5);
    TCanvas e = c.Downscale(2, 2);
    EXPECT_NEAR(e.At(0, 1).A, 1.0f, 1e-5);
    EXPECT_NEAR(e.At(1, 1).A, 0.0f, 1e-5);
}

TEST(ForgeRaster, BleedingFillsHiddenColourAndLeavesOpacityAlone) {
    TCanvas c(5, 1);
    c.At(0, 0) = Rgb(0, 255, 0);
    c.BleedColour(2);
    EXPECT_NEAR(c.At(1, 0).G, 1.0f, 1e-5);
    EXPECT_NEAR(c.At(2, 0).G, 1.0f, 1e-5);
    EXPECT_NEAR(c.At(3, 0).G, 0.0f, 1e-5);  // only as far as the passes reach
    for (int x = 1; x < 5; ++x) EXPECT_FLOAT_EQ(c.At(x, 0).A, 0.0f);
}

TEST(ForgeRaster, BlurSpreadsOpacityWithoutLosingItOrDarkening) {
    TCanvas c(21, 21);
    c.At(10, 10) = Rgb(255, 128, 0);
    c.Blur(2, 2);
    EXPECT_NEAR(AlphaSum(c), 1.0, 0.01);
    EXPECT_GT(c.At(12, 10).A, 0.0f);
    EXPECT_NEAR(c.At(12, 10).R, 1.0f, 1e-4);
    EXPECT_NEAR(c.At(12, 10).G, 128 / 255.0f, 1e-4);
}

TEST(ForgeRaster, PicturesRoundToTheNearestByte) {
    TCanvas c(2, 1);
    c.At(0, 0) = TColor{0.5f, 1.2f, -0.1f, 0.999f};
    c.At(1, 0) = TColor{0.0f, 0.0f, 0.0f, 0.0f};
    TPicture p = c.ToRGBA();
    ASSERT_EQ(p.Channels, 4);
    EXPECT_EQ(p.Pixels[0], 128);
    EXPECT_EQ(p.Pixels[1], 255);  // clamped
    EXPECT_EQ(p.Pixels[2], 0);
    EXPECT_EQ(p.Pixels[3], 255);
    EXPECT_EQ(c.ToRGB().Channels, 3);
    TPicture a = c.AlphaToGrey();
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.Pixels[1], 0);
}

TEST(ForgeRaster, NoiseIsRepeatableAndBounded) {
    for (int i = 0; i < 200; ++i) {
        float x = i * 0.37f, y = i * 0.11f;
        float a = Fbm(x, y, 5, 9), b = Fbm(x, y, 5, 9);
        EXPECT_EQ(a, b);
        EXPECT_GE(a, 0.0f);
        EXPECT_LE(a, 1.0f);
        float h = Hash01(i, -i, 3);
        EXPECT_GE(h, 0.0f);
        EXPECT_LT(h, 1.0f);
    }
    EXPECT_NE(ValueNoise(3.5f, 4.5f, 1), ValueNoise(3.5f, 4.5f, 2));
}

TEST(ForgeRaster, CropBeyondTheCanvasIsTransparent) {
    TCanvas c(4, 4, Rgb(10, 20, 30));
    TCanvas k = c.Crop(2, 2, 4, 4);
    EXPECT_FLOAT_EQ(k.At(0, 0).A, 1.0f);
    EXPECT_FLOAT_EQ(k.At(3, 3).A, 0.0f);
    // A degenerate size still yields a usable one-pixel canvas.
    TCanvas z(0, -5);
    EXPECT_EQ(z.Width(), 1);
    EXPECT_EQ(z.Height(), 1);
}
