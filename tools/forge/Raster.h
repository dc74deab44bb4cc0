// TCanvas: the content build's small painting kit. Pictures are painted in
// floating point (straight alpha) with anti-aliased polygons, soft discs,
// gradients and value noise, and turned into 8-bit pictures for the codecs at
// the end. Everything is deterministic: no clock, no global random state.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "render/PictureCodec.h"

struct TColor {
    float R = 0, G = 0, B = 0, A = 1;
};

// A colour from 0..255 components.
inline TColor Rgb(int r, int g, int b, float a = 1.0f) {
    return TColor{r / 255.0f, g / 255.0f, b / 255.0f, a};
}
inline TColor Mix(const TColor& a, const TColor& b, float t) {
    return TColor{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t, a.A + (b.A - a.A) * t};
}
inline TColor Scale(const TColor& c, float k) {
    return TColor{c.R * k, c.G * k, c.B * k, c.A};
}
inline TColor WithAlpha(TColor c, float a) {
    c.A = a;
    return c;
}
inline float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float SmoothStep(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

struct TPointF {
    float X = 0, Y = 0;
};
using TPolygon = std::vector<TPointF>;

// Deterministic value noise in 0..1 over the plane; seed picks the pattern.
float ValueNoise(float x, float y, uint32_t seed);
// Fractal sum of octaves of value noise, normalised to 0..1.
float Fbm(float x, float y, int octaves, uint32_t seed);
// A hash of integers to 0..1, for scattering details.
float Hash01(int32_t x, int32_t y, uint32_t seed);

class TCanvas {
public:
    // A canvas of width x height filled with the colour (alpha included).
    TCanvas(int width, int height, TColor fill = TColor{0, 0, 0, 0});

    int Width() const { return w_; }
    int Height() const { return h_; }
    TColor& At(int x, int y) { return px_[size_t(y) * size_t(w_) + size_t(x)]; }
    const TColor& At(int x, int y) const { return px_[size_t(y) * size_t(w_) + size_t(x)]; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }

    // Lays colour c over pixel (x, y) with the extra coverage k (0..1).
    void Blend(int x, int y, const TColor& c, float k);

    // Fills a polygon (even-odd rule) anti-aliased; paint(x, y) gives the
    // colour of each covered pixel (pixel centre x + 0.5, y + 0.5).
    template <class Paint>
    requires std::is_invocable_v<Paint, int, int>
    void FillPolygon(const TPolygon& poly, Paint&& paint);
    void FillPolygon(const TPolygon& poly, const TColor& c) {
        FillPolygon(poly, [&](int, int) { return c; });
    }

    // Calls paint for every pixel of the rectangle clipped to the canvas and
    // lays the returned colour over it.
    template <class Paint>
    requires std::is_invocable_v<Paint, int, int>
    void FillRect(int x0, int y0, int x1, int y1, Paint&& paint);
    void FillRect(int x0, int y0, int x1, int y1, const TColor& c) {
        FillRect(x0, y0, x1, y1, [&](int, int) { return c; });
    }

    // A soft disc: full colour inside radius r, fading out over the width
    // soft beyond it.
    void SoftDisc(float cx, float cy, float r, float soft, const TColor& c);
    // An ellipse with soft edge: full inside, fading over soft pixels of the
    // short axis beyond the rim (proportionally more along the long axis).
    // Nothing is painted where the fade has ended, so no edge shows.
    void SoftEllipse(float cx, float cy, float rx, float ry, float soft, const TColor& c);
    // A round glow of radius r: Gaussian falloff from the colour at the
    // centre to nothing at r.
    void Glow(float cx, float cy, float r, const TColor& c);
    // A thick line with round caps.
    void Line(float x0, float y0, float x1, float y1, float width, const TColor& c);
    // A filled anti-aliased polyline ribbon built from consecutive segments.
    void Polyline(const TPolygon& pts, float width, const TColor& c);

    // Draws another canvas over this one at (dx, dy) with opacity k.
    void Draw(const TCanvas& src, int dx, int dy, float k = 1.0f);
    // Blurs colour and alpha with a box filter of the radius, passes times.
    void Blur(int radius, int passes);
    // A copy of the rectangle.
    TCanvas Crop(int x, int y, int w, int h) const;
    // A smaller copy by area averaging (premultiplied, so edges stay clean).
    TCanvas Downscale(int w, int h) const;
    // Copies colour from opaque pixels into fully transparent neighbours, so a
    // sprite's JPEG colour plane has no dark fringe at its edges.
    void BleedColour(int passes);

    // 8-bit pictures: 4 channels (with alpha) or 3 (colour only).
    TPicture ToRGBA() const;
    TPicture ToRGB() const;
    // The alpha plane as a grey picture.
    TPicture AlphaToGrey() const;

private:
    int w_, h_;
    std::vector<TColor> px_;
    std::vector<float> cov_;  // one row of coverage for the polygon filler
};

template <class Paint>
requires std::is_invocable_v<Paint, int, int>
void TCanvas::FillRect(int x0, int y0, int x1, int y1, Paint&& paint) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, w_);
    y1 = std::min(y1, h_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Blend(x, y, paint(x, y), 1.0f);
}

template <class Paint>
requires std::is_invocable_v<Paint, int, int>
void TCanvas::FillPolygon(const TPolygon& poly, Paint&& paint) {
    if (poly.size() < 3) return;
    float minY = poly[0].Y, maxY = poly[0].Y, minX = poly[0].X, maxX = poly[0].X;
    for (const auto& p : poly) {
        minY = std::min(minY, p.Y);
        maxY = std::max(maxY, p.Y);
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
    }
    int y0 = std::max(0, int(std::floor(minY)));
    int y1 = std::min(h_ - 1, int(std::ceil(maxY)));
    int xa = std::max(0, int(std::floor(minX)));
    int xb = std::min(w_ - 1, int(std::ceil(maxX)));
    if (xa > xb) return;
    constexpr int kSub = 4;
    std::vector<float> xs;
    for (int y = y0; y <= y1; ++y) {
        std::fill(cov_.begin() + xa, cov_.begin() + xb + 1, 0.0f);
        bool any = false;
        for (int s = 0; s < kSub; ++s) {
            float sy = y + (s + 0.5f) / kSub;
            xs.clear();
            size_t n = poly.size();
            for (size_t i = 0; i < n; ++i) {
                const TPointF& a = poly[i];
                const TPointF& b = poly[(i + 1) % n];
                if ((a.Y <= sy && b.Y > sy) || (b.Y <= sy && a.Y > sy))
                    xs.push_back(a.X + (sy - a.Y) * (b.X - a.X) / (b.Y - a.Y));
            }
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2) {
                float l = std::max(xs[i], float(xa));
                float r = std::min(xs[i + 1], float(xb + 1));
                if (r <= l) continue;
                any = true;
                int il = int(l), ir = int(r);
                if (il == ir) {
                    cov_[il] += (r - l) / kSub;
                    continue;
                }
                cov_[il] += (il + 1 - l) / kSub;
                for (int x = il + 1; x < ir; ++x) cov_[x] += 1.0f / kSub;
                if (ir <= xb) cov_[ir] += (r - ir) / kSub;
            }
        }
        if (!any) continue;
        for (int x = xa; x <= xb; ++x) {
            float k = cov_[x];
            if (k <= 0.001f) continue;
            Blend(x, y, paint(x, y), std::min(k, 1.0f));
        }
    }
}
