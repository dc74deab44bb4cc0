// The five scene paintings. Each is built back to front from a small kit of
// landscape parts (sky, ridges, water, trees, houses) with atmospheric depth:
// far parts fade toward the sky's colour, near parts carry the detail.
#include <cmath>

#include "Art.h"
#include "base/OrvException.h"

namespace forge {

namespace {

constexpr float kPi = 3.14159265f;

struct TSky {
    TColor Top, Horizon;
    float HorizonY;
};

void PaintSky(TCanvas& c, const TSky& sky, TColor cloud, float clouds, uint32_t seed) {
    int w = c.Width(), h = c.Height();
    c.FillRect(0, 0, w, h, [&](int x, int y) {
        float t = Clamp01(float(y) / sky.HorizonY);
        TColor col = Mix(sky.Top, sky.Horizon, std::pow(t, 1.4f));
        if (clouds > 0) {
            float n = Fbm(x * 0.0035f, y * 0.011f, 5, seed);
            float k = SmoothStep(0.52f, 0.75f, n) * clouds * (1 - t * 0.6f);
            float lit = Fbm(x * 0.004f + 3, y * 0.012f - 2, 3, seed + 5);
            col = Mix(col, Mix(cloud, Scale(cloud, 0.75f), lit), k);
        }
        return col;
    });
}

void Glow(TCanvas& c, float cx, float cy, float r, TColor col) {
    c.FillRect(int(cx - r), int(cy - r), int(cx + r) + 1, int(cy + r) + 1, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
        float k = std::exp(-d * d * 4.0f);
        return WithAlpha(col, col.A * k);
    });
}

// A ridge across the picture: its top follows a fractal line; fills down to
// the bottom with the colour, textured and shaded toward the base.
void Ridge(TCanvas& c, float base, float amp, float freq, TColor top, TColor bottom, uint32_t seed, float detail,
           float snow = 0) {
    int w = c.Width(), h = c.Height();
    std::vector<float> line(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) {
        float n = Fbm(x * freq, 0.5f, 6, seed);
        float sharp = 1 - std::abs(2 * Fbm(x * freq * 0.7f, 7.3f, 4, seed + 9) - 1);
        line[size_t(x)] = base - amp * (0.55f * n + 0.45f * sharp);
    }
    for (int x = 0; x < w; ++x) {
        float top0 = line[size_t(x)];
        int y0 = std::max(0, int(std::floor(top0)));
        for (int y = y0; y < h; ++y) {
            float cov = Clamp01(float(y) + 1 - top0);
            float depth = Clamp01((float(y) - top0) / (amp + 60));
            float n = Fbm(x * 0.02f, y * 0.02f, 4, seed + 3);
            TColor col = Mix(top, bottom, depth);
            col = Scale(col, 1 - detail * 0.5f + detail * n);
            // Light from the left: slopes that rise to the right are lit.
            float slope = x + 3 < w ? line[size_t(x + 3)] - line[size_t(x)] : 0;
            col = Scale(col, 1 + detail * Clamp01(-slope * 0.08f) * 0.4f - detail * Clamp01(slope * 0.08f) * 0.2f);
            if (snow > 0) {
                // Snow lies above a ragged snow line, thinner on steep faces.
                float line2 = base - amp * 0.45f + snow * (Fbm(x * 0.03f, y * 0.03f, 4, seed + 4) - 0.5f);
                float s = 1 - SmoothStep(line2 - 10, line2 + 10, float(y));
                s *= 1 - 0.5f * Clamp01(std::abs(slope) * 0.05f);
                col = Mix(col, Scale(Rgb(240, 244, 255), 0.9f + 0.15f * n), s * 0.92f);
            }
            c.Blend(x, y, col, cov);
        }
    }
}

void Pine(TCanvas& c, float x, float y, float hgt, TColor col) {
    float w = hgt * 0.32f;
    c.Line(x, y, x, y - hgt * 0.25f, hgt * 0.06f, Rgb(70, 46, 30));
    for (int i = 0; i < 4; ++i) {
        float t = float(i) / 4.0f;
        float by = y - hgt * (0.15f + 0.2f * t), ty = y - hgt * (0.45f + 0.18f * t);
        float bw = w * (1 - 0.22f * t);
        c.FillPolygon(TPolygon{{x - bw, by}, {x + bw, by}, {x, ty - hgt * 0.12f}},
                      [&](int px, int) { return Scale(col, float(px) < x ? 1.12f : 0.85f); });
    }
}

void RoundTree(TCanvas& c, float x, float y, float r, TColor leaf, uint32_t seed) {
    c.Line(x, y, x, y - r * 1.2f, r * 0.22f, Rgb(80, 56, 36));
    c.SoftEllipse(x + r * 0.15f, y - r * 0.2f, r * 1.1f, r * 0.3f, r * 0.3f, Rgb(0, 0, 0, 0.25f));
    for (int i = 0; i < 9; ++i) {
        float a = Hash01(i, 1, seed) * 2 * kPi, d = Hash01(i, 2, seed) * r * 0.6f;
        float cx = x + std::cos(a) * d, cy = y - r * 1.5f + std::sin(a) * d * 0.7f;
        float rr = r * (0.45f + 0.3f * Hash01(i, 3, seed));
        c.FillRect(int(cx - rr - 2), int(cy - rr - 2), int(cx + rr + 3), int(cy + rr + 3), [&](int px, int py) {
            float dx = px + 0.5f - cx, dy = py + 0.5f - cy;
            float d2 = std::hypot(dx, dy);
            float k = 1 - SmoothStep(rr - 1.5f, rr + 0.5f, d2 + 3 * Fbm(px * 0.3f, py * 0.3f, 2, seed));
            float shade = 0.8f + 0.35f * Clamp01((-dx - dy) / (rr * 1.6f) + 0.5f);
            float n = Fbm(px * 0.15f, py * 0.15f, 3, seed + 7);
            return WithAlpha(Scale(leaf, shade * (0.85f + 0.3f * n)), k);
        });
    }
}

void House(TCanvas& c, float x, float y, float w, float h, TColor wall, TColor roof, bool lit, uint32_t seed) {
    c.FillRect(int(x), int(y - h), int(x + w), int(y), [&](int px, int py) {
        float n = Fbm(px * 0.2f, py * 0.2f, 2, seed);
        return Scale(wall, 0.9f + 0.2f * n - 0.15f * float(px - x) / w);
    });
    // A side wall in shade gives the house its depth.
    float d = w * 0.3f;
    c.FillPolygon(TPolygon{{x + w, y - h}, {x + w + d, y - h - d * 0.35f}, {x + w + d, y - d * 0.35f}, {x + w, y}},
                  Scale(wall, 0.62f));
    c.FillPolygon(TPolygon{{x + w * 0.5f, y - h - w * 0.55f},
                           {x + w * 0.5f + d, y - h - w * 0.55f - d * 0.35f},
                           {x + w + d + w * 0.12f, y - h - d * 0.35f},
                           {x + w + w * 0.12f, y - h}},
                  Scale(roof, 0.7f));
    float over = w * 0.12f;
    c.FillPolygon(TPolygon{{x - over, y - h}, {x + w + over, y - h}, {x + w * 0.5f, y - h - w * 0.55f}},
                  [&](int px, int) { return Scale(roof, float(px) < x + w * 0.5f ? 1.1f : 0.8f); });
    TColor win = lit ? Rgb(255, 214, 120) : Rgb(60, 70, 90);
    int cols = std::max(1, int(w / 22));
    for (int i = 0; i < cols; ++i) {
        float wx = x + w * (i + 0.5f) / cols - 4;
        c.FillRect(int(wx), int(y - h * 0.7f), int(wx + 8), int(y - h * 0.7f + 10), [&](int, int) { return win; });
        if (lit) Glow(c, wx + 4, y - h * 0.7f + 5, 16, Rgb(255, 200, 110, 0.35f));
    }
    c.FillRect(int(x + w * 0.5f - 5), int(y - 16), int(x + w * 0.5f + 5), int(y),
               [&](int, int) { return lit ? Rgb(200, 150, 80) : Rgb(70, 50, 36); });
}

// Water below the horizon: the sky mirrored, broken by ripples that grow
// toward the viewer.
void Water(TCanvas& c, float top, TColor deep, TColor shine, uint32_t seed) {
    int w = c.Width(), h = c.Height();
    TCanvas src = c.Crop(0, 0, w, h);
    for (int y = int(top); y < h; ++y) {
        float t = (float(y) - top) / (float(h) - top);
        for (int x = 0; x < w; ++x) {
            float ripple = Fbm(x * 0.012f / (0.3f + t), y * 0.09f / (0.3f + t), 3, seed);
            int my = int(2 * top - float(y) + (ripple - 0.5f) * 30 * (0.2f + t));
            my = std::clamp(my, 0, h - 1);
            TColor refl = src.At(x, my);
            TColor col = Mix(refl, deep, 0.35f + 0.4f * t);
            float spark = SmoothStep(0.68f, 0.8f, ripple) * (1 - t);
            col = Mix(col, shine, spark * 0.6f);
            c.At(x, y) = WithAlpha(col, 1);
        }
    }
}

void Flowers(TCanvas& c, float y0, float y1, int count, const std::vector<TColor>& colours, uint32_t seed) {
    for (int i = 0; i < count; ++i) {
        float x = Hash01(i, 11, seed) * float(c.Width());
        float t = Hash01(i, 12, seed);
        float y = y0 + (y1 - y0) * t;
        float r = 1.2f + 3.5f * t;
        TColor col = colours[size_t(i) % colours.size()];
        c.Line(x, y, x + 0.5f, y + r * 2.5f, std::max(1.0f, r * 0.3f), Rgb(60, 110, 50));
        c.SoftDisc(x, y, r, 0.8f, col);
        c.SoftDisc(x - r * 0.3f, y - r * 0.3f, r * 0.35f, 0.6f, Rgb(255, 255, 230, 0.6f));
    }
}

void Grass(TCanvas& c, float top, TColor near, TColor far, uint32_t seed) {
    int w = c.Width(), h = c.Height();
    // The near ground rolls gently instead of ending in a ruled line.
    std::vector<float> edge(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        edge[size_t(x)] = top + 14 * std::sin(x * 0.004f + float(seed)) + 22 * Fbm(x * 0.006f, 1.5f, 3, seed);
    c.FillRect(0, int(top) - 2, w, h, [&](int x, int y) {
        float cov = Clamp01(float(y) + 1 - edge[size_t(x)]);
        float t = Clamp01((float(y) - top) / (float(h) - top));
        float n = Fbm(x * 0.01f, y * 0.03f, 5, seed);
        float blades = Fbm(x * 0.25f, y * 0.04f, 2, seed + 1);
        TColor col = Mix(far, near, t);
        return WithAlpha(Scale(col, 0.8f + 0.3f * n + 0.12f * blades * t), cov);
    });
}

// ---------------------------------------------------------------- scenes

TCanvas Meadow(int w, int h) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(70, 90, 160), Rgb(250, 190, 150), h * 0.42f}, Rgb(255, 214, 200), 0.8f, 11);
    Glow(c, w * 0.68f, h * 0.36f, 260, Rgb(255, 230, 170, 0.85f));
    c.SoftDisc(w * 0.68f, h * 0.36f, 34, 3, Rgb(255, 246, 214));
    Ridge(c, h * 0.42f, 120, 0.004f, Rgb(150, 140, 180), Rgb(170, 150, 170), 21, 0.15f);
    Ridge(c, h * 0.50f, 80, 0.006f, Rgb(110, 130, 150), Rgb(130, 140, 140), 22, 0.25f);
    Ridge(c, h * 0.60f, 70, 0.003f, Rgb(100, 150, 90), Rgb(90, 140, 70), 23, 0.4f);
    // A river winding toward the viewer.
    TPolygon river;
    for (int i = 0; i <= 40; ++i) {
        float t = float(i) / 40.0f;
        float y = h * 0.58f + t * h * 0.42f;
        float x = w * 0.55f + std::sin(t * 5) * w * 0.12f * (0.3f + t);
        river.push_back({x - (6 + t * 90), y});
    }
    for (int i = 40; i >= 0; --i) {
        float t = float(i) / 40.0f;
        float y = h * 0.58f + t * h * 0.42f;
        float x = w * 0.55f + std::sin(t * 5) * w * 0.12f * (0.3f + t);
        river.push_back({x + (6 + t * 90), y});
    }
    Grass(c, h * 0.62f, Rgb(70, 140, 50), Rgb(120, 160, 80), 24);
    Ridge(c, h * 0.70f, 40, 0.005f, Rgb(90, 150, 60), Rgb(60, 120, 40), 25, 0.5f);
    c.FillPolygon(river, [&](int x, int y) {
        float n = Fbm(x * 0.02f, y * 0.1f, 3, 26);
        return Mix(Rgb(150, 170, 210), Rgb(250, 210, 180), n * 0.6f);
    });
    for (int i = 0; i < 14; ++i) {
        float x = Hash01(i, 1, 27) * w, y = h * (0.6f + 0.08f * Hash01(i, 2, 27));
        Pine(c, x, y, 40 + 30 * Hash01(i, 3, 27), Rgb(50, 90, 60));
    }
    RoundTree(c, w * 0.14f, h * 0.86f, 70, Rgb(70, 130, 50), 28);
    RoundTree(c, w * 0.86f, h * 0.80f, 60, Rgb(90, 140, 50), 29);
    RoundTree(c, w * 0.35f, h * 0.72f, 34, Rgb(80, 135, 60), 30);
    Flowers(c, h * 0.72f, h * 0.98f, 420,
            {Rgb(250, 240, 120), Rgb(240, 120, 140), Rgb(255, 255, 255), Rgb(190, 140, 230)}, 31);
    return c;
}

TCanvas Sea(int w, int h) {
    TCanvas c(w, h);
    float horizon = h * 0.48f;
    PaintSky(c, {Rgb(60, 120, 200), Rgb(200, 225, 240), horizon}, Rgb(255, 255, 255), 0.9f, 41);
    Glow(c, w * 0.25f, h * 0.18f, 200, Rgb(255, 250, 220, 0.5f));
    Ridge(c, horizon, 40, 0.005f, Rgb(120, 150, 180), Rgb(120, 150, 180), 42, 0.1f);
    Water(c, horizon, Rgb(30, 80, 120), Rgb(255, 255, 240), 43);
    // The cliff and the lighthouse on the right.
    TPolygon cliff{{w * 0.55f, float(h)},   {w * 0.60f, h * 0.60f}, {w * 0.66f, h * 0.49f},
                   {w * 0.74f, h * 0.465f}, {w * 1.0f, h * 0.44f},  {float(w), float(h)}};
    TPolygon cap{{w * 0.64f, h * 0.51f}, {w * 0.66f, h * 0.485f}, {w * 0.74f, h * 0.46f},
                 {w * 1.0f, h * 0.435f}, {w * 1.0f, h * 0.48f},   {w * 0.74f, h * 0.50f}};
    c.FillPolygon(cliff, [&](int x, int y) {
        float n = Fbm(x * 0.02f, y * 0.02f, 5, 44);
        float strata = 0.5f + 0.5f * std::sin(y * 0.08f + n * 6);
        return Mix(Rgb(120, 100, 80), Rgb(170, 150, 120), 0.5f * n + 0.3f * strata);
    });
    c.FillPolygon(cap, [&](int x, int y) {
        float n = Fbm(x * 0.05f, y * 0.05f, 3, 46);
        return Mix(Rgb(80, 130, 60), Rgb(130, 170, 80), n);
    });
    // Lighthouse: a tapered white tower with red bands.
    float lx = w * 0.725f, base = h * 0.468f, tall = h * 0.28f;
    TPolygon tower{{lx - 26, base}, {lx + 26, base}, {lx + 16, base - tall}, {lx - 16, base - tall}};
    c.FillPolygon(tower, [&](int x, int y) {
        float t = (base - float(y)) / tall;
        bool band = std::fmod(t * 5, 1.0f) < 0.45f;
        TColor col = band ? Rgb(200, 50, 50) : Rgb(245, 240, 230);
        return Scale(col, 0.75f + 0.4f * Clamp01((lx + 6 - float(x)) / 30));
    });
    c.FillRect(int(lx - 20), int(base - tall - 6), int(lx + 20), int(base - tall),
               [](int, int) { return Rgb(60, 50, 50); });
    c.FillRect(int(lx - 12), int(base - tall - 30), int(lx + 12), int(base - tall - 6),
               [](int, int) { return Rgb(255, 240, 170); });
    Glow(c, lx, base - tall - 18, 60, Rgb(255, 240, 180, 0.8f));
    c.FillPolygon(TPolygon{{lx - 16, base - tall - 30}, {lx + 16, base - tall - 30}, {lx, base - tall - 52}},
                  Rgb(180, 40, 40));
    House(c, lx - 120, base + 4, 64, 40, Rgb(235, 230, 215), Rgb(150, 60, 50), false, 47);
    // A sailboat on the water.
    float bx = w * 0.30f, by = h * 0.66f;
    c.FillPolygon(TPolygon{{bx - 60, by}, {bx + 60, by}, {bx + 44, by + 18}, {bx - 44, by + 18}}, Rgb(110, 60, 40));
    c.FillPolygon(TPolygon{{bx - 2, by - 4}, {bx - 2, by - 130}, {bx - 56, by - 8}}, Rgb(250, 245, 235));
    c.FillPolygon(TPolygon{{bx + 4, by - 4}, {bx + 4, by - 110}, {bx + 48, by - 8}}, Rgb(235, 225, 205));
    c.Line(bx, by, bx, by - 136, 3, Rgb(80, 50, 30));
    // Rocks and foam at the cliff's foot.
    for (int i = 0; i < 40; ++i) {
        float x = w * 0.53f + Hash01(i, 1, 48) * w * 0.1f, y = h * (0.84f + 0.14f * Hash01(i, 2, 48));
        c.SoftDisc(x, y, 4 + 10 * Hash01(i, 3, 48), 3, Rgb(255, 255, 255, 0.5f));
    }
    return c;
}

TCanvas Village(int w, int h) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(90, 150, 220), Rgb(220, 236, 250), h * 0.45f}, Rgb(255, 255, 255), 0.5f, 61);
    Ridge(c, h * 0.42f, 260, 0.0035f, Rgb(120, 130, 160), Rgb(150, 160, 185), 62, 0.45f, 90);
    Ridge(c, h * 0.55f, 150, 0.005f, Rgb(90, 110, 130), Rgb(110, 120, 130), 63, 0.35f);
    Ridge(c, h * 0.62f, 90, 0.004f, Rgb(60, 110, 60), Rgb(70, 120, 60), 64, 0.45f);
    for (int i = 0; i < 60; ++i) {
        float x = Hash01(i, 1, 65) * w, y = h * (0.58f + 0.1f * Hash01(i, 2, 65));
        Pine(c, x, y, 36 + 40 * Hash01(i, 3, 65), Rgb(40, 80, 50));
    }
    Grass(c, h * 0.70f, Rgb(90, 150, 60), Rgb(110, 160, 80), 66);
    // Houses climbing the slope, a church with a spire among them.
    static const TColor kWalls[] = {Rgb(236, 224, 196), Rgb(220, 190, 150), Rgb(240, 236, 230), Rgb(210, 170, 130)};
    static const TColor kRoofs[] = {Rgb(150, 60, 40), Rgb(110, 70, 50), Rgb(170, 90, 50), Rgb(90, 80, 90)};
    for (int i = 0; i < 16; ++i) {
        float x = w * (0.08f + 0.84f * Hash01(i, 1, 67));
        float y = h * (0.72f + 0.22f * Hash01(i, 2, 67));
        float s = 0.6f + 0.8f * (y / h - 0.7f) * 3;
        House(c, x, y, 60 * s, 44 * s, kWalls[i % 4], kRoofs[(i / 2) % 4], false, 68 + uint32_t(i));
    }
    float cx = w * 0.5f, cy = h * 0.76f;
    c.FillRect(int(cx - 30), int(cy - 90), int(cx + 30), int(cy),
               [](int x, int) { return Scale(Rgb(240, 236, 226), x % 60 < 30 ? 1.0f : 0.85f); });
    c.FillPolygon(TPolygon{{cx - 24, cy - 90}, {cx + 24, cy - 90}, {cx, cy - 190}}, Rgb(60, 70, 90));
    c.SoftDisc(cx, cy - 60, 9, 1, Rgb(80, 70, 60));
    House(c, cx + 30, cy, 90, 60, Rgb(240, 236, 226), Rgb(150, 60, 40), false, 80);
    RoundTree(c, w * 0.1f, h * 0.98f, 80, Rgb(70, 130, 50), 81);
    RoundTree(c, w * 0.92f, h * 0.96f, 70, Rgb(90, 140, 60), 82);
    Flowers(c, h * 0.82f, h, 300, {Rgb(250, 230, 100), Rgb(255, 255, 255), Rgb(230, 90, 90)}, 83);
    return c;
}

TCanvas Night(int w, int h) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(8, 10, 36), Rgb(40, 50, 100), h * 0.6f}, Rgb(60, 70, 110), 0.5f, 101);
    for (int i = 0; i < 700; ++i) {
        float x = Hash01(i, 1, 102) * w, y = Hash01(i, 2, 102) * h * 0.6f;
        float b = Hash01(i, 3, 102);
        c.SoftDisc(x, y, 0.5f + 1.3f * b * b, 0.8f, Rgb(255, 250, 230, 0.4f + 0.6f * b));
    }
    // The milky band.
    c.FillRect(0, 0, w, int(h * 0.6f), [&](int x, int y) {
        float d = std::abs(float(y) - (h * 0.1f + x * 0.25f)) / 120.0f;
        float n = Fbm(x * 0.01f, y * 0.01f, 5, 103);
        return Rgb(200, 200, 255, 0.16f * std::exp(-d * d) * n * 2);
    });
    Glow(c, w * 0.78f, h * 0.18f, 240, Rgb(200, 210, 255, 0.4f));
    c.SoftDisc(w * 0.78f, h * 0.18f, 46, 2, Rgb(250, 246, 225));
    c.SoftDisc(w * 0.78f - 12, h * 0.18f - 8, 10, 6, Rgb(210, 206, 190, 0.5f));
    c.SoftDisc(w * 0.78f + 14, h * 0.18f + 12, 7, 5, Rgb(210, 206, 190, 0.5f));
    Ridge(c, h * 0.55f, 90, 0.004f, Rgb(30, 34, 60), Rgb(26, 30, 50), 104, 0.2f);
    // The town: rows of houses with lit windows, the front rows larger.
    for (int row = 0; row < 3; ++row) {
        float base = h * (0.62f + 0.1f * row);
        float s = 0.7f + 0.35f * row;
        float x = -20;
        int i = 0;
        while (x < w) {
            float hw = (50 + 40 * Hash01(i, row, 105)) * s, hh = (40 + 50 * Hash01(i, row + 7, 105)) * s;
            TColor wall = Scale(Rgb(60, 56, 80), 0.7f + 0.15f * row);
            House(c, x, base, hw, hh, wall, Rgb(30, 28, 46), Hash01(i, row + 3, 105) < 0.75f, 106 + uint32_t(i));
            x += hw + 6 * s;
            ++i;
        }
    }
    // A tower with a clock face.
    float tx = w * 0.3f, ty = h * 0.72f;
    c.FillRect(int(tx - 24), int(ty - 240), int(tx + 24), int(ty),
               [](int x, int) { return Scale(Rgb(54, 50, 74), x % 48 < 24 ? 1.0f : 0.8f); });
    c.FillPolygon(TPolygon{{tx - 30, ty - 240}, {tx + 30, ty - 240}, {tx, ty - 310}}, Rgb(34, 30, 50));
    c.SoftDisc(tx, ty - 200, 16, 1, Rgb(255, 230, 160));
    Glow(c, tx, ty - 200, 50, Rgb(255, 220, 150, 0.4f));
    c.Line(tx, ty - 200, tx, ty - 212, 2, Rgb(60, 40, 30));
    c.Line(tx, ty - 200, tx + 8, ty - 200, 2, Rgb(60, 40, 30));
    // The river in front mirrors the lights.
    Water(c, h * 0.88f, Rgb(10, 14, 40), Rgb(255, 220, 150), 107);
    return c;
}

TCanvas Garden(int w, int h) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(100, 170, 240), Rgb(230, 240, 250), h * 0.3f}, Rgb(255, 255, 255), 0.7f, 121);
    Ridge(c, h * 0.30f, 60, 0.004f, Rgb(120, 160, 110), Rgb(110, 150, 100), 122, 0.3f);
    for (int i = 0; i < 10; ++i)
        RoundTree(c, w * (0.05f + 0.1f * i), h * (0.33f + 0.02f * Hash01(i, 1, 123)), 40 + 20 * Hash01(i, 2, 123),
                  Rgb(60, 120, 60), 124 + uint32_t(i));
    Grass(c, h * 0.34f, Rgb(80, 160, 60), Rgb(120, 170, 90), 125);
    // Flowers first: the path, the pond and the arbour lie over them.
    Flowers(c, h * 0.45f, h, 900,
            {Rgb(240, 80, 100), Rgb(250, 220, 90), Rgb(160, 110, 230), Rgb(255, 255, 255), Rgb(250, 150, 60)}, 130);
    // A gravel path sweeping to the front.
    TPolygon path;
    for (int i = 0; i <= 30; ++i) {
        float t = float(i) / 30.0f;
        path.push_back({w * 0.5f + std::sin(t * 3) * w * 0.1f - (10 + 160 * t), h * 0.34f + t * h * 0.66f});
    }
    for (int i = 30; i >= 0; --i) {
        float t = float(i) / 30.0f;
        path.push_back({w * 0.5f + std::sin(t * 3) * w * 0.1f + (10 + 160 * t), h * 0.34f + t * h * 0.66f});
    }
    c.FillPolygon(path, [&](int x, int y) {
        float n = Fbm(x * 0.15f, y * 0.15f, 3, 126);
        return Mix(Rgb(200, 180, 150), Rgb(230, 214, 180), n);
    });
    // A round pond with lilies.
    float px = w * 0.22f, py = h * 0.62f;
    c.SoftEllipse(px, py, 150, 60, 2, Rgb(90, 70, 50));
    c.FillRect(int(px - 146), int(py - 56), int(px + 146), int(py + 56), [&](int x, int y) {
        float dx = (x - px) / 144, dy = (y - py) / 54;
        float k = 1 - SmoothStep(0.97f, 1.0f, dx * dx + dy * dy);
        float n = Fbm(x * 0.03f, y * 0.1f, 3, 127);
        return WithAlpha(Mix(Rgb(60, 120, 150), Rgb(170, 210, 230), n * 0.7f), k);
    });
    for (int i = 0; i < 9; ++i) {
        float x = px - 100 + 200 * Hash01(i, 1, 128), y = py - 30 + 60 * Hash01(i, 2, 128);
        c.SoftEllipse(x, y, 14, 6, 1, Rgb(70, 140, 60));
        if (i % 3 == 0) c.SoftDisc(x, y - 3, 4, 1, Rgb(250, 180, 210));
    }
    // A rose arbour on the right.
    float ax = w * 0.78f, ay = h * 0.7f;
    for (int i = 0; i < 2; ++i)
        c.FillRect(int(ax - 80 + i * 150), int(ay - 200), int(ax - 68 + i * 150), int(ay),
                   [](int, int) { return Rgb(240, 236, 226); });
    TPolygon arch;
    for (int i = 0; i <= 30; ++i) {
        float a = kPi + kPi * float(i) / 30.0f;
        arch.push_back({ax - 1 + std::cos(a) * 75, ay - 200 + std::sin(a) * 50});
    }
    c.Polyline(arch, 10, Rgb(240, 236, 226));
    for (int i = 0; i < 160; ++i) {
        float t = Hash01(i, 1, 129);
        float a = kPi + kPi * t;
        float x = ax + std::cos(a) * 75 + (Hash01(i, 2, 129) - 0.5f) * 24,
              y = ay - 200 + std::sin(a) * 50 + (Hash01(i, 3, 129) - 0.5f) * 24;
        if (i % 2) {
            x = ax - 74 + (i % 4 == 1 ? 0 : 150) + (Hash01(i, 4, 129) - 0.5f) * 20;
            y = ay - 200 + 200 * Hash01(i, 5, 129);
        }
        c.SoftDisc(x, y, 5, 1, Rgb(70, 130, 60));
        if (i % 3 == 0) c.SoftDisc(x, y, 4, 1, Hash01(i, 6, 129) < 0.5f ? Rgb(220, 60, 90) : Rgb(250, 170, 190));
    }
    RoundTree(c, w * 0.93f, h * 0.99f, 90, Rgb(80, 140, 60), 131);
    return c;
}

}  // namespace

TCanvas PaintScene(const TSceneSource& scene) {
    int w = scene.Width, h = scene.Height;
    const std::string& p = scene.Painting;
    if (p == "meadow") return Meadow(w, h);
    if (p == "sea") return Sea(w, h);
    if (p == "village") return Village(w, h);
    if (p == "night") return Night(w, h);
    if (p == "garden") return Garden(w, h);
    throw OrvException(scene.FileName() + ": unknown painting " + p);
}

TCanvas FadeScene(const TCanvas& painting, uint32_t seed) {
    // The picture before restoration: a faded sepia print on old paper, soft
    // and low in contrast, so the player sees what to bring back.
    TCanvas c = painting.Crop(0, 0, painting.Width(), painting.Height());
    c.Blur(1, 2);
    int w = c.Width(), h = c.Height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor& p = c.At(x, y);
            float l = 0.3f * p.R + 0.59f * p.G + 0.11f * p.B;
            TColor sepia = Mix(Rgb(70, 52, 40), Rgb(236, 220, 190), l);
            float n = Fbm(x * 0.02f, y * 0.02f, 4, seed + 900);
            float stain = SmoothStep(0.6f, 0.8f, Fbm(x * 0.004f, y * 0.004f, 3, seed + 901));
            TColor col = Mix(sepia, Rgb(214, 198, 170), 0.35f + 0.1f * n);
            col = Mix(col, Rgb(180, 150, 110), 0.25f * stain);
            float vx = (x - w * 0.5f) / (w * 0.5f), vy = (y - h * 0.5f) / (h * 0.5f);
            col = Scale(col, 1 - 0.18f * (vx * vx + vy * vy));
            p = WithAlpha(col, 1);
        }
    return c;
}

}  // namespace forge
