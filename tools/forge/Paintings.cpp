// The scene paintings, one function each, built back to front from the
// landscape kit. Each notes the objects (a lighthouse, a house, a tree, the
// sun) that a layer's outline must leave whole.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Art.h"
#include "PaintKit.h"
#include "base/OrvException.h"

namespace forge {

namespace {

bool PointInPolygonApprox(const TPolygon& poly, float x, float y) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const TPointF& a = poly[i];
        const TPointF& b = poly[j];
        if ((a.Y > y) != (b.Y > y) && x < (b.X - a.X) * (y - a.Y) / (b.Y - a.Y) + a.X) in = !in;
    }
    return in;
}

// ---------------------------------------------------------------- helpers

// A round tree, noted whole under the name.
void Tree(TCanvas& c, TObjects& o, const std::string& name, float x, float y, float r, TColor leaf, uint32_t seed) {
    RoundTree(c, x, y, r, leaf, seed);
    ProtectTree(o, name, x, y, r);
}

// The sun of radius r, noted as a disc of radius keep.
void Sun(TCanvas& c, TObjects& o, float x, float y, float r, TColor disc, TColor halo, float keep) {
    PaintSun(c, x, y, r, disc, halo);
    ProtectDisc(o, "sun", x, y, keep);
}

// A band between two edges (a river, a path, a bridge deck): the points of
// the first edge for t from 0 to 1 in the given steps, then the second's
// back from 1 to 0. The first edge is the polygon's first steps + 1 points.
template <class Near, class Far>
TPolygon Band(int steps, Near&& near, Far&& far) {
    TPolygon band;
    for (int i = 0; i <= steps; ++i) band.push_back(near(float(i) / float(steps)));
    for (int i = steps; i >= 0; --i) band.push_back(far(float(i) / float(steps)));
    return band;
}

struct THouseLook {
    float Width, Height;
    TColor Wall, Roof;
    bool Lit;
};

// A row of houses standing on base from x0, each 2 pixels after the last,
// the last narrowed to end by x1; the row stops where a house would be
// narrower than minWidth. look(i) gives house i; House's seed is
// seed + i. top is lowered to the top of the highest roof.
template <class Look>
void HouseRow(TCanvas& c, float x0, float x1, float base, float minWidth, uint32_t seed, float& top, Look&& look) {
    float x = x0;
    for (int i = 0;; ++i) {
        THouseLook h = look(i);
        if (x + h.Width * 1.42f > x1) h.Width = (x1 - x) / 1.42f;
        if (h.Width < minWidth) break;
        House(c, x, base, h.Width, h.Height, h.Wall, h.Roof, h.Lit, seed + uint32_t(i));
        top = std::min(top, base - h.Height - h.Width * 0.65f);
        x += h.Width * 1.42f + 2;
    }
}

// ---------------------------------------------------------------- scenes

// Spring dawn over a river meadow: the sun rising behind soft hills.
TCanvas Meadow(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(34, 64, 176), Rgb(255, 150, 90), h * 0.46f}, Rgb(255, 168, 190), 0.8f, 11);
    float sx = w * 0.66f, sy = h * 0.27f;
    Sun(c, o, sx, sy, 26, Rgb(255, 246, 200), Rgb(255, 196, 120), 40);
    Ridge(c, h * 0.44f, 110, 0.005f, Rgb(150, 104, 196), Rgb(186, 130, 176), 21, 0.15f);
    Ridge(c, h * 0.52f, 70, 0.007f, Rgb(110, 126, 160), Rgb(130, 140, 146), 22, 0.25f);
    Haze(c, h * 0.40f, h * 0.56f, Rgb(255, 200, 160, 0.35f));
    Ridge(c, h * 0.60f, 60, 0.004f, Rgb(108, 156, 86), Rgb(90, 140, 70), 23, 0.4f);
    // The river winds from the far hills to the viewer, widening.
    auto centre = [&](float t) { return w * 0.55f + std::sin(t * 5) * w * 0.12f * (0.3f + t); };
    auto half = [&](float t) { return 6 + t * 70; };
    const TPolygon river = Band(
        40,
        [&](float t) {
            return TPointF{centre(t) - half(t), h * 0.6f + t * h * 0.4f};
        },
        [&](float t) {
            return TPointF{centre(t) + half(t), h * 0.6f + t * h * 0.4f};
        });
    const TPolygon leftBank(river.begin(), river.begin() + 41), rightBank(river.begin() + 41, river.end());
    Grass(c, h * 0.64f, Rgb(76, 146, 52), Rgb(128, 166, 84), 24);
    // Water, not a path: deep blue at the banks, the dawn sky mirrored in
    // long streaks down its middle, ripples drawn across the flow.
    auto paintRiver = [&] {
        c.FillPolygon(river, [&](int x, int y) {
            float t = Clamp01((y - h * 0.6f) / (h * 0.4f));
            float u = std::fabs((x + 0.5f - centre(t)) / half(t));
            float streak = Fbm(x * 0.05f, y * 0.012f, 3, 26);
            float ripple = Fbm(x * 0.008f, y * 0.16f, 3, 25);
            TColor deep = Mix(Rgb(38, 70, 140), Rgb(60, 100, 170), t);
            TColor sky = Mix(Rgb(230, 150, 160), Rgb(255, 190, 140), streak);
            TColor col = Mix(deep, sky, (1 - SmoothStep(0.2f, 0.9f, u)) * (0.25f + 0.5f * streak));
            col = Mix(col, Rgb(255, 236, 214), SmoothStep(0.64f, 0.74f, ripple) * (1 - u) * 0.8f);
            return Mix(col, Rgb(30, 52, 96), SmoothStep(0.75f, 1.0f, u) * 0.6f);
        });
        // Grassy banks with a muddy rim, so the water sits below the meadow.
        c.Polyline(leftBank, 3.0f, Rgb(92, 84, 50, 0.85f));
        c.Polyline(rightBank, 3.0f, Rgb(92, 84, 50, 0.85f));
    };
    for (int i = 0; i < 12; ++i) {
        float x = Hash01(i, 1, 27) * w, y = h * (0.58f + 0.05f * Hash01(i, 2, 27));
        Pine(c, x, y, 30 + 24 * Hash01(i, 3, 27), Rgb(58, 92, 74));
    }
    // A cottage on the far bank, smoke rising.
    float hx = w * 0.16f, hy = h * 0.66f;
    House(c, hx, hy, 62, 42, Rgb(240, 226, 200), Rgb(170, 70, 50), true, 32);
    ProtectHouse(o, "cottage", hx, hy, 62, 42);
    Tree(c, o, "oak", w * 0.10f, h * 0.93f, 54, Rgb(74, 134, 50), 28);
    Tree(c, o, "birch", w * 0.88f, h * 0.86f, 50, Rgb(96, 146, 52), 29);
    Tree(c, o, "young tree", w * 0.38f, h * 0.74f, 26, Rgb(84, 138, 60), 30);
    Flowers(c, h * 0.74f, h * 0.99f, 300,
            {Rgb(250, 240, 120), Rgb(240, 120, 140), Rgb(255, 255, 255), Rgb(190, 140, 230)}, 31);
    // Last, so no flower floats on the water.
    paintRiver();
    return c;
}

// A summer day at the coast: the lighthouse on its cliff, a sail on the bay.
TCanvas Sea(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    float horizon = h * 0.50f;
    PaintSky(c, {Rgb(46, 110, 200), Rgb(196, 224, 242), horizon}, Rgb(255, 255, 255), 0.9f, 41);
    Sun(c, o, w * 0.18f, h * 0.15f, 24, Rgb(255, 252, 230), Rgb(255, 240, 190), 38);
    Ridge(c, horizon, 34, 0.006f, Rgb(120, 150, 184), Rgb(120, 150, 184), 42, 0.1f);
    Water(c, horizon, Rgb(24, 78, 124), Rgb(255, 255, 240), 43);
    // The cliff: its sea face lit from the left, the top grassed.
    float cl = w * 0.56f;
    TPolygon cliff{{cl, float(h)},         {cl + w * 0.05f, h * 0.66f}, {cl + w * 0.10f, h * 0.53f},
                   {w * 0.74f, h * 0.50f}, {float(w), h * 0.48f},       {float(w), float(h)}};
    c.FillPolygon(cliff, [&](int x, int y) {
        float n = Fbm(x * 0.02f, y * 0.03f, 5, 44);
        float strata = 0.5f + 0.5f * std::sin(y * 0.09f + n * 6);
        float face = SmoothStep(cl + w * 0.02f, cl + w * 0.16f, float(x) + (n - 0.5f) * 40);
        TColor lit = Mix(Rgb(196, 166, 124), Rgb(226, 200, 156), strata * 0.5f);
        TColor shade = Mix(Rgb(96, 80, 72), Rgb(126, 104, 88), strata * 0.5f);
        return Scale(Mix(lit, shade, face), 0.88f + 0.24f * n);
    });
    TPolygon cap{{cl + w * 0.085f, h * 0.545f}, {cl + w * 0.10f, h * 0.525f}, {w * 0.74f, h * 0.495f},
                 {float(w), h * 0.475f},        {float(w), h * 0.52f},        {w * 0.74f, h * 0.54f}};
    c.FillPolygon(cap, [&](int x, int y) {
        float n = Fbm(x * 0.05f, y * 0.05f, 3, 46);
        return Mix(Rgb(80, 134, 60), Rgb(136, 176, 84), n);
    });
    // The lighthouse: a tapered tower with red bands and a glowing lamp room.
    float lx = w * 0.80f, base = h * 0.50f, tall = h * 0.27f;
    TPolygon tower{{lx - 24, base}, {lx + 24, base}, {lx + 15, base - tall}, {lx - 15, base - tall}};
    c.FillPolygon(tower, [&](int x, int y) {
        float t = (base - float(y)) / tall;
        bool band = std::fmod(t * 5, 1.0f) < 0.45f;
        TColor col = band ? Rgb(206, 52, 50) : Rgb(248, 244, 234);
        return Scale(col, 0.72f + 0.42f * Clamp01((lx + 6 - float(x)) / 30));
    });
    c.FillRect(int(lx - 20), int(base - tall - 6), int(lx + 20), int(base - tall), Rgb(60, 50, 50));
    c.FillRect(int(lx - 12), int(base - tall - 30), int(lx + 12), int(base - tall - 6), Rgb(255, 240, 170));
    c.Glow(lx, base - tall - 18, 60, Rgb(255, 240, 180, 0.8f));
    c.FillPolygon(TPolygon{{lx - 16, base - tall - 30}, {lx + 16, base - tall - 30}, {lx, base - tall - 52}},
                  Rgb(180, 40, 40));
    Protect(o, "lighthouse", lx - 60, base - tall - 78, lx + 60, base + 4);
    float kx = w * 0.66f, ky = h * 0.55f;
    House(c, kx, ky, 58, 36, Rgb(236, 230, 214), Rgb(156, 62, 50), false, 47);
    ProtectHouse(o, "keeper's house", kx, ky, 58, 36);
    // A sailboat on the bay, its shadow in the water.
    float bx = w * 0.28f, by = h * 0.70f;
    c.SoftEllipse(bx, by + 22, 70, 6, 6, Rgb(10, 40, 70, 0.35f));
    c.FillPolygon(TPolygon{{bx - 60, by}, {bx + 60, by}, {bx + 44, by + 18}, {bx - 44, by + 18}}, Rgb(120, 64, 40));
    c.FillPolygon(TPolygon{{bx - 2, by - 4}, {bx - 2, by - 130}, {bx - 56, by - 8}}, Rgb(252, 248, 238));
    c.FillPolygon(TPolygon{{bx + 4, by - 4}, {bx + 4, by - 110}, {bx + 48, by - 8}}, Rgb(236, 200, 150));
    c.Line(bx, by, bx, by - 136, 3, Rgb(80, 50, 30));
    Protect(o, "sailboat", bx - 66, by - 140, bx + 66, by + 30);
    // Surf breaking along the cliff's foot and the beach below.
    TPolygon foam;
    for (int i = 0; i <= 30; ++i) {
        float t = float(i) / 30.0f;
        foam.push_back(
            {cl - 30 + t * w * 0.12f + std::sin(t * 17) * 6, h * (0.99f - 0.30f * t) + std::sin(t * 23) * 4});
    }
    Surf(c, foam, 4, 48);
    for (int k = 0; k < 3; ++k) {
        TPolygon line;
        for (int i = 0; i <= 40; ++i) {
            float t = float(i) / 40.0f;
            line.push_back({t * (cl - 40), h * (0.86f + 0.05f * k) + std::sin(t * 9 + k) * 5});
        }
        Surf(c, line, 2.5f - 0.5f * k, 49 + uint32_t(k));
    }
    return c;
}

// A mountain village in high summer: snow peaks over a church and houses.
TCanvas Village(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(80, 146, 222), Rgb(220, 236, 250), h * 0.45f}, Rgb(255, 255, 255), 0.5f, 61);
    Mountain(c, w * 0.22f, h * 0.10f, h * 0.56f, w * 0.30f, Rgb(176, 170, 190), Rgb(92, 96, 128), 0.35f, 62);
    Mountain(c, w * 0.70f, h * 0.05f, h * 0.58f, w * 0.36f, Rgb(186, 176, 190), Rgb(98, 100, 134), 0.40f, 162);
    Mountain(c, w * 0.46f, h * 0.24f, h * 0.60f, w * 0.22f, Rgb(160, 160, 170), Rgb(86, 92, 116), 0.25f, 262);
    Haze(c, h * 0.42f, h * 0.62f, Rgb(220, 236, 250, 0.45f));
    Ridge(c, h * 0.64f, 90, 0.004f, Rgb(60, 112, 62), Rgb(70, 120, 60), 64, 0.45f);
    for (int i = 0; i < 50; ++i) {
        float x = Hash01(i, 1, 65) * w, y = h * (0.58f + 0.08f * Hash01(i, 2, 65));
        Pine(c, x, y, 30 + 30 * Hash01(i, 3, 65), Rgb(40, 80, 50));
    }
    Grass(c, h * 0.70f, Rgb(92, 152, 60), Rgb(112, 162, 80), 66);
    static const TColor kWalls[] = {Rgb(236, 224, 196), Rgb(220, 190, 150), Rgb(240, 236, 230), Rgb(210, 170, 130)};
    static const TColor kRoofs[] = {Rgb(150, 60, 40), Rgb(110, 70, 50), Rgb(170, 90, 50), Rgb(90, 80, 90)};
    // Three hamlets on the slope, the church between them.
    const float kHamlets[3][2] = {{0.04f, 0.74f}, {0.74f, 0.74f}, {0.22f, 0.97f}};
    for (int g = 0; g < 3; ++g) {
        float gx = w * kHamlets[g][0], gy = h * kHamlets[g][1];
        float s = 0.8f + 0.3f * float(g == 2);
        for (int i = 0; i < 3; ++i) {
            float x = gx + float(i) * 70 * s, y = gy + 8 * float(i % 2) * s;
            House(c, x, y, 56 * s, 40 * s, kWalls[(g + i) % 4], kRoofs[(g * 2 + i) % 4], false,
                  68 + uint32_t(g * 3 + i));
        }
        Protect(o, "houses " + std::to_string(g + 1), gx - 8 * s, gy - 40 * s - 56 * s * 0.65f - 4,
                gx + (140 + 56 * 1.42f) * s, gy + 8 * s);
    }
    float cx = w * 0.50f, cy = h * 0.80f;
    c.FillRect(int(cx - 30), int(cy - 90), int(cx + 30), int(cy),
               [&](int x, int) { return Scale(Rgb(240, 236, 226), float(x) < cx ? 1.0f : 0.8f); });
    c.FillPolygon(TPolygon{{cx - 24, cy - 90}, {cx + 24, cy - 90}, {cx, cy - 190}},
                  [&](int x, int) { return Scale(Rgb(70, 80, 104), float(x) < cx ? 1.1f : 0.8f); });
    c.SoftDisc(cx, cy - 60, 9, 1, Rgb(80, 70, 60));
    House(c, cx + 30, cy, 90, 60, Rgb(240, 236, 226), Rgb(150, 60, 40), false, 80);
    Protect(o, "church", cx - 34, cy - 196, cx + 30 + 90 * 1.42f, cy + 2);
    Tree(c, o, "linden", w * 0.08f, h * 0.99f, 60, Rgb(70, 130, 50), 81);
    Tree(c, o, "walnut", w * 0.90f, h * 0.97f, 56, Rgb(90, 140, 60), 82);
    Flowers(c, h * 0.86f, h, 260, {Rgb(250, 230, 100), Rgb(255, 255, 255), Rgb(230, 90, 90)}, 83);
    return c;
}

// A town asleep under the stars, quarters of lit houses
// between lanes, the clock tower and the river mirroring the lights.
TCanvas Night(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(8, 10, 36), Rgb(44, 54, 108), h * 0.6f}, Rgb(60, 70, 110), 0.5f, 101);
    for (int i = 0; i < 700; ++i) {
        float x = Hash01(i, 1, 102) * w, y = Hash01(i, 2, 102) * h * 0.6f;
        float b = Hash01(i, 3, 102);
        c.SoftDisc(x, y, 0.5f + 1.3f * b * b, 0.8f, Rgb(255, 250, 230, 0.4f + 0.6f * b));
    }
    c.FillRect(0, 0, w, int(h * 0.6f), [&](int x, int y) {
        float d = std::abs(float(y) - (h * 0.1f + x * 0.25f)) / 120.0f;
        float n = Fbm(x * 0.01f, y * 0.01f, 5, 103);
        return Rgb(200, 200, 255, 0.16f * std::exp(-d * d) * n * 2);
    });
    float mx = w * 0.80f, my = h * 0.16f;
    c.Glow(mx, my, 220, Rgb(200, 210, 255, 0.45f));
    c.SoftDisc(mx, my, 40, 2, Rgb(250, 246, 225));
    c.SoftDisc(mx - 12, my - 8, 9, 6, Rgb(210, 206, 190, 0.5f));
    c.SoftDisc(mx + 14, my + 12, 6, 5, Rgb(210, 206, 190, 0.5f));
    ProtectDisc(o, "moon", mx, my, 52);
    Ridge(c, h * 0.56f, 90, 0.004f, Rgb(30, 34, 62), Rgb(26, 30, 50), 104, 0.2f);
    // Quarters of houses between lanes; the lanes fall on the lattice so a
    // layer can take a quarter whole.
    const int cols = w / 40;
    std::vector<std::pair<int, int>> quarters;
    for (int a = 0; a < cols;) {
        int len = std::min(cols - a, 5 + int(Hash01(a, 0, 109) * 2));
        quarters.push_back({a, a + len});
        a += len + 1;
    }
    float tx = 0, ty = h * 0.76f;
    for (size_t q = 0; q < quarters.size(); ++q) {
        float x0 = quarters[q].first * 40.0f + 4, x1 = quarters[q].second * 40.0f - 4;
        float top = float(h);
        if (q == 1) {
            // The clock tower rises behind the second quarter.
            tx = (x0 + x1) * 0.5f;
            c.FillRect(int(tx - 24), int(ty - 250), int(tx + 24), int(ty),
                       [&](int x, int) { return Scale(Rgb(58, 54, 80), float(x) < tx ? 1.0f : 0.78f); });
            c.FillPolygon(TPolygon{{tx - 30, ty - 250}, {tx + 30, ty - 250}, {tx, ty - 320}}, Rgb(36, 32, 54));
            c.SoftDisc(tx, ty - 210, 16, 1, Rgb(255, 230, 160));
            c.Glow(tx, ty - 210, 54, Rgb(255, 220, 150, 0.45f));
            c.Line(tx, ty - 210, tx, ty - 222, 2, Rgb(60, 40, 30));
            c.Line(tx, ty - 210, tx + 8, ty - 210, 2, Rgb(60, 40, 30));
            top = ty - 324;
        }
        for (int row = 0; row < 3; ++row) {
            float base = h * (0.64f + 0.11f * row);
            float s = 0.7f + 0.3f * row;
            HouseRow(c, x0, x1, base, 24 * s, 106 + uint32_t(10 * q), top, [&](int i) {
                return THouseLook{(44 + 30 * Hash01(i, row + 10 * int(q), 105)) * s,
                                  (36 + 40 * Hash01(i, row + 7 + 10 * int(q), 105)) * s,
                                  Scale(Rgb(62, 58, 84), 0.7f + 0.15f * row), Rgb(30, 28, 46),
                                  Hash01(i, row + 3 + 10 * int(q), 105) < 0.75f};
            });
        }
        Protect(o, "quarter " + std::to_string(q + 1), x0 - 2, top - 4, x1 + 2, h * 0.86f);
        // A lamp in the lane after the quarter.
        float lx = x1 + 24;
        if (lx < w - 10) {
            c.Line(lx, h * 0.88f, lx, h * 0.80f, 3, Rgb(30, 30, 40));
            c.SoftDisc(lx, h * 0.80f, 5, 1, Rgb(255, 230, 160));
            c.Glow(lx, h * 0.80f, 40, Rgb(255, 220, 150, 0.5f));
        }
    }
    Water(c, h * 0.89f, Rgb(10, 14, 40), Rgb(255, 220, 150), 107);
    return c;
}

// A summer garden: the hedge, the pond with lilies, the rose arbour.
TCanvas Garden(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(96, 166, 240), Rgb(230, 240, 250), h * 0.3f}, Rgb(255, 255, 255), 0.7f, 121);
    Sun(c, o, w * 0.86f, h * 0.10f, 22, Rgb(255, 252, 230), Rgb(255, 246, 200), 36);
    Ridge(c, h * 0.28f, 50, 0.004f, Rgb(120, 160, 110), Rgb(110, 150, 100), 122, 0.3f);
    Grass(c, h * 0.34f, Rgb(80, 160, 60), Rgb(120, 170, 90), 125);
    // A clipped hedge along the back, lit on top.
    c.FillRect(0, int(h * 0.26f), w, int(h * 0.37f), [&](int x, int y) {
        float top = h * 0.27f + 10 * Fbm(x * 0.02f, 0.5f, 3, 123);
        float cov = Clamp01(float(y) + 1 - top);
        float n = Fbm(x * 0.12f, y * 0.12f, 3, 124);
        float lit = 1 - Clamp01((float(y) - top) / (h * 0.1f));
        return WithAlpha(Scale(Mix(Rgb(40, 90, 40), Rgb(90, 150, 60), lit), 0.8f + 0.35f * n), cov);
    });
    Flowers(c, h * 0.45f, h, 700,
            {Rgb(240, 80, 100), Rgb(250, 220, 90), Rgb(160, 110, 230), Rgb(255, 255, 255), Rgb(250, 150, 60)}, 130);
    const TPolygon path = Band(
        30,
        [&](float t) {
            return TPointF{w * 0.52f + std::sin(t * 3) * w * 0.1f - (10 + 130 * t), h * 0.37f + t * h * 0.63f};
        },
        [&](float t) {
            return TPointF{w * 0.52f + std::sin(t * 3) * w * 0.1f + (10 + 130 * t), h * 0.37f + t * h * 0.63f};
        });
    // A path of old red bricks, laid in rows across it that widen toward
    // the viewer, the mortar pale and a few bricks darker or mossy.
    c.FillPolygon(path, [&](int x, int y) {
        const float t = Clamp01((float(y) - h * 0.37f) / (h * 0.63f));
        const float mid = w * 0.52f + std::sin(t * 3) * w * 0.1f, half = 10 + 130 * t;
        const float u = (float(x) + 0.5f - mid) / half;  // -1 .. 1 across
        // Rows evenly spaced in depth: y grows with the square of distance.
        const float depth = std::sqrt(t) * 44.0f;
        const int row = int(depth);
        const float across = (u + 1) * 4.0f + ((row % 2) ? 0.5f : 0.0f);
        const int brick = int(across);
        const float fx = across - float(brick), fy = depth - float(row);
        const float mortar = std::max(1 - SmoothStep(0.0f, 0.08f, std::min(fx, 1 - fx)),
                                      1 - SmoothStep(0.0f, 0.14f, std::min(fy, 1 - fy)));
        const float pick = Hash01(brick, row, 126);
        TColor clay = Mix(Rgb(178, 82, 56), Rgb(206, 120, 80), pick);
        if (pick > 0.86f) clay = Rgb(130, 66, 50);
        if (pick < 0.08f) clay = Mix(clay, Rgb(96, 126, 60), 0.5f);
        const float n = Fbm(x * 0.2f, y * 0.2f, 2, 125);
        TColor col = Mix(Scale(clay, 0.88f + 0.24f * n), Rgb(216, 204, 180), mortar * 0.85f);
        // Worn paler down the middle where feet walk.
        return Mix(col, Rgb(226, 170, 130), 0.18f * (1 - std::fabs(u)));
    });
    c.Polyline(TPolygon(path.begin(), path.begin() + 31), 3.0f, Rgb(70, 100, 40, 0.8f));
    c.Polyline(TPolygon(path.begin() + 31, path.end()), 3.0f, Rgb(70, 100, 40, 0.8f));
    float px = w * 0.20f, py = h * 0.64f;
    c.SoftEllipse(px, py, 150, 60, 3, Rgb(90, 70, 50));
    c.FillRect(int(px - 146), int(py - 56), int(px + 146), int(py + 56), [&](int x, int y) {
        float dx = (x - px) / 144, dy = (y - py) / 54;
        float k = 1 - SmoothStep(0.97f, 1.0f, dx * dx + dy * dy);
        float n = Fbm(x * 0.03f, y * 0.1f, 3, 127);
        return WithAlpha(Mix(Rgb(54, 116, 150), Rgb(176, 214, 232), n * 0.7f), k);
    });
    for (int i = 0; i < 9; ++i) {
        float x = px - 100 + 200 * Hash01(i, 1, 128), y = py - 30 + 60 * Hash01(i, 2, 128);
        c.SoftEllipse(x, y, 14, 6, 1, Rgb(70, 140, 60));
        if (i % 3 == 0) c.SoftDisc(x, y - 3, 4, 1, Rgb(250, 180, 210));
    }
    Protect(o, "pond", px - 158, py - 68, px + 158, py + 68);
    float ax = w * 0.80f, ay = h * 0.72f;
    for (int i = 0; i < 2; ++i)
        c.FillRect(int(ax - 80 + i * 150), int(ay - 200), int(ax - 68 + i * 150), int(ay), Rgb(240, 236, 226));
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
    Protect(o, "rose arbour", ax - 96, ay - 276, ax + 96, ay + 4);
    Tree(c, o, "apple tree", w * 0.93f, h * 0.99f, 56, Rgb(80, 140, 60), 131);
    Tree(c, o, "cherry tree", w * 0.50f, h * 0.40f, 38, Rgb(70, 132, 56), 132);
    Tree(c, o, "plum tree", w * 0.08f, h * 0.38f, 44, Rgb(64, 126, 52), 133);
    return c;
}

// An autumn afternoon in the woods: golden trees over a stream and a
// wooden footbridge, leaves on the ground.
TCanvas Autumn(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(40, 88, 196), Rgb(244, 186, 168), h * 0.46f}, Rgb(255, 250, 246), 0.45f, 201);
    Sun(c, o, w * 0.14f, h * 0.20f, 22, Rgb(255, 244, 200), Rgb(255, 186, 96), 36);
    // Far hills blue with distance, then the wood: a hillside of autumn
    // crowns, hazy at the back, full colour at the meadow's edge.
    Ridge(c, h * 0.40f, 90, 0.005f, Rgb(132, 136, 178), Rgb(156, 146, 170), 202, 0.2f);
    Ridge(c, h * 0.49f, 40, 0.008f, Rgb(120, 70, 44), Rgb(96, 58, 36), 203, 0.3f);
    const std::vector<TColor> autumnLeaves = {Rgb(222, 110, 34), Rgb(240, 172, 46), Rgb(196, 60, 34), Rgb(170, 96, 40),
                                              Rgb(214, 140, 40), Rgb(232, 130, 40), Rgb(120, 118, 48)};
    Woodland(c, h * 0.44f, h * 0.575f, autumnLeaves, Rgb(200, 170, 160), 24, 207);
    Haze(c, h * 0.38f, h * 0.50f, Rgb(255, 214, 190, 0.1f));
    Grass(c, h * 0.56f, Rgb(116, 128, 36), Rgb(170, 150, 50), 204);
    // The wood's own edge: a row of larger trees standing on the meadow.
    Woodland(c, h * 0.555f, h * 0.575f, autumnLeaves, Rgb(200, 170, 160), 30, 208);
    // The stream, winding toward the viewer.
    const TPolygon stream = Band(
        40,
        [&](float t) {
            return TPointF{w * 0.42f + std::sin(t * 4 + 1) * w * 0.1f - (8 + 60 * t), h * 0.56f + t * h * 0.44f};
        },
        [&](float t) {
            return TPointF{w * 0.42f + std::sin(t * 4 + 1) * w * 0.1f + (8 + 60 * t), h * 0.56f + t * h * 0.44f};
        });
    c.FillPolygon(stream, [&](int x, int y) {
        float n = Fbm(x * 0.03f, y * 0.12f, 3, 205);
        return Mix(Mix(Rgb(70, 110, 130), Rgb(230, 200, 150), n * 0.6f), Rgb(255, 250, 230),
                   SmoothStep(0.66f, 0.78f, n) * 0.6f);
    });
    // Fallen leaves everywhere but the water.
    static const TColor kLeaves[] = {Rgb(220, 120, 40), Rgb(240, 180, 50), Rgb(190, 70, 40), Rgb(150, 90, 40)};
    for (int i = 0; i < 900; ++i) {
        float x = Hash01(i, 1, 206) * w, t = Hash01(i, 2, 206), y = h * (0.58f + 0.42f * t);
        if (PointInPolygonApprox(stream, x, y)) continue;
        float r = 1.5f + 3.5f * t;
        c.SoftEllipse(x, y, r * 1.4f, r * 0.7f, 1, kLeaves[i % 4]);
    }
    // The trees: trunks and big warm crowns.
    const float kTrees[5][4] = {{0.08f, 0.80f, 70, 0},
                                {0.30f, 0.62f, 44, 1},
                                {0.70f, 0.66f, 50, 2},
                                {0.90f, 0.90f, 76, 3},
                                {0.58f, 0.94f, 40, 1}};
    static const TColor kCrowns[] = {Rgb(226, 130, 40), Rgb(240, 190, 60), Rgb(200, 70, 40), Rgb(230, 150, 50)};
    for (int i = 0; i < 5; ++i) {
        float x = w * kTrees[i][0], y = h * kTrees[i][1], r = kTrees[i][2];
        Tree(c, o, "tree " + std::to_string(i + 1), x, y, r, kCrowns[int(kTrees[i][3])], 210 + uint32_t(i));
    }
    // A wooden footbridge over the stream.
    float bx = w * 0.46f, by = h * 0.74f;
    const TPolygon deck = Band(
        20,
        [&](float t) {
            return TPointF{bx - 120 + 240 * t, by - 30 * std::sin(t * kPi)};
        },
        [&](float t) {
            return TPointF{bx - 120 + 240 * t, by + 14 - 30 * std::sin(t * kPi)};
        });
    c.FillPolygon(deck, [&](int x, int y) {
        float n = Fbm(x * 0.3f, y * 0.05f, 2, 215);
        return Scale(Rgb(130, 84, 50), 0.8f + 0.3f * n);
    });
    for (int i = 0; i <= 8; ++i) {
        float t = float(i) / 8.0f, x = bx - 116 + 232 * t, y = by - 30 * std::sin(t * kPi);
        c.Line(x, y, x, y - 30, 4, Rgb(110, 70, 40));
    }
    TPolygon rail;
    for (int i = 0; i <= 20; ++i) {
        float t = float(i) / 20.0f;
        rail.push_back({bx - 116 + 232 * t, by - 30 - 30 * std::sin(t * kPi)});
    }
    c.Polyline(rail, 4, Rgb(150, 100, 60));
    Protect(o, "footbridge", bx - 126, by - 66, bx + 126, by + 18);
    // Red-capped mushrooms by the path.
    for (int i = 0; i < 6; ++i) {
        float x = w * (0.08f + 0.035f * float(i)), y = h * (0.95f - 0.02f * float(i % 3));
        if (PointInPolygonApprox(stream, x, y)) continue;
        c.Line(x, y, x, y - 12, 5, Rgb(240, 230, 210));
        c.SoftEllipse(x, y - 13, 10, 6, 1, Rgb(200, 40, 30));
        c.SoftDisc(x - 3, y - 15, 1.5f, 0.5f, Rgb(255, 255, 255));
    }
    return c;
}

// A winter morning in the high mountains: a cabin with smoke by a frozen
// lake, snowy pines and peaks in the first light.
TCanvas Winter(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(56, 98, 184), Rgb(250, 206, 196), h * 0.5f}, Rgb(255, 236, 236), 0.4f, 301);
    Mountain(c, w * 0.30f, h * 0.08f, h * 0.66f, w * 0.36f, Rgb(252, 206, 196), Rgb(98, 110, 178), 0.45f, 302);
    Mountain(c, w * 0.76f, h * 0.14f, h * 0.66f, w * 0.34f, Rgb(248, 202, 194), Rgb(94, 106, 170), 0.42f, 303);
    Mountain(c, w * 0.54f, h * 0.26f, h * 0.66f, w * 0.22f, Rgb(236, 206, 206), Rgb(96, 108, 150), 0.35f, 304);
    Haze(c, h * 0.44f, h * 0.64f, Rgb(250, 230, 230, 0.5f));
    Ridge(c, h * 0.64f, 50, 0.005f, Rgb(236, 240, 250), Rgb(220, 228, 244), 305, 0.15f);
    // The frozen lake: pale ice with the mountains' colours.
    float lt = h * 0.68f;
    c.FillRect(0, int(lt), w, int(h * 0.80f), [&](int x, int y) {
        float edge = lt + 6 * std::sin(x * 0.01f) + 8 * Fbm(x * 0.01f, 2.0f, 3, 306);
        float bottom = h * 0.79f - 6 * std::sin(x * 0.013f + 1);
        float cov = Clamp01(float(y) + 1 - edge) * Clamp01(bottom - float(y));
        float n = Fbm(x * 0.006f, y * 0.06f, 4, 307);
        float crack = SmoothStep(0.48f, 0.5f, n) - SmoothStep(0.5f, 0.52f, n);
        TColor ice = Mix(Rgb(170, 196, 226), Rgb(240, 220, 226), n);
        return WithAlpha(Mix(ice, Rgb(255, 255, 255), crack * 0.6f), cov);
    });
    // Snowy ground in front, with blue shadows.
    c.FillRect(0, int(h * 0.77f), w, h, [&](int x, int y) {
        float edge = h * 0.79f - 6 * std::sin(x * 0.013f + 1);
        float cov = Clamp01(float(y) + 1 - edge);
        float n = Fbm(x * 0.008f, y * 0.02f, 4, 308);
        return WithAlpha(Mix(Rgb(200, 210, 240), Rgb(255, 252, 250), n), cov);
    });
    for (int i = 0; i < 40; ++i) {
        float x = Hash01(i, 1, 309) * w, y = h * (0.62f + 0.04f * Hash01(i, 2, 309));
        Pine(c, x, y, 26 + 22 * Hash01(i, 3, 309), Rgb(74, 104, 116), 0.9f);
    }
    // The cabin with lit windows and a plume of smoke.
    float hx = w * 0.62f, hy = h * 0.86f;
    House(c, hx, hy, 110, 64, Rgb(140, 90, 60), Rgb(250, 250, 255), true, 310);
    for (int i = 0; i < 14; ++i) {
        float t = float(i) / 14.0f;
        c.SoftDisc(hx + 86 + t * 50 + std::sin(t * 6) * 10, hy - 150 - t * 110, 8 + t * 16, 8 + t * 10,
                   Rgb(236, 236, 244, 0.35f * (1 - t)));
    }
    c.FillRect(int(hx + 78), int(hy - 150), int(hx + 94), int(hy - 100), Rgb(110, 80, 70));
    Protect(o, "cabin", hx - 14, hy - 64 - 72, hx + 110 * 1.42f, hy + 2);
    // Big pines framing the view.
    const float kPines[4][3] = {{0.05f, 0.98f, 230}, {0.15f, 0.92f, 170}, {0.94f, 0.99f, 240}, {0.40f, 0.90f, 130}};
    for (int i = 0; i < 4; ++i) {
        float x = w * kPines[i][0], y = h * kPines[i][1], ph = kPines[i][2];
        c.SoftEllipse(x + ph * 0.1f, y, ph * 0.3f, ph * 0.05f, ph * 0.05f, Rgb(120, 130, 190, 0.4f));
        Pine(c, x, y, ph, Rgb(34, 70, 60), 0.95f);
        Protect(o, "pine " + std::to_string(i + 1), x - ph * 0.36f, y - ph * 0.86f, x + ph * 0.36f, y + 4);
    }
    // Snowflakes drifting.
    for (int i = 0; i < 260; ++i) {
        float x = Hash01(i, 1, 311) * w, y = Hash01(i, 2, 311) * h;
        c.SoftDisc(x, y, 0.8f + 1.6f * Hash01(i, 3, 311), 1, Rgb(255, 255, 255, 0.7f));
    }
    return c;
}

// Sunset over a harbour: the sun on the sea, boats at the quay, the old
// houses of the waterfront catching the last light.
TCanvas Harbour(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    float horizon = h * 0.52f;
    PaintSky(c, {Rgb(60, 50, 120), Rgb(255, 150, 80), horizon}, Rgb(255, 140, 120), 0.9f, 401);
    float sx = w * 0.30f, sy = horizon - 30;
    Sun(c, o, sx, sy, 32, Rgb(255, 230, 150), Rgb(255, 140, 60), 48);
    Ridge(c, horizon, 30, 0.006f, Rgb(120, 70, 100), Rgb(120, 70, 100), 402, 0.1f);
    Water(c, horizon, Rgb(40, 30, 70), Rgb(255, 210, 120), 403);
    // The sun's path on the water.
    c.FillRect(int(sx - 90), int(horizon), int(sx + 90), h, [&](int x, int y) {
        float t = (float(y) - horizon) / (float(h) - horizon);
        float n = Fbm(x * 0.08f, y * 0.3f, 2, 404);
        float k = SmoothStep(0.55f, 0.7f, n) * (1 - std::abs(float(x) - sx) / (90 * (0.3f + t)));
        return Rgb(255, 220, 140, Clamp01(k) * 0.8f);
    });
    // The quay along the right with its waterfront houses in quarters.
    float qy = h * 0.70f;
    c.FillRect(int(w * 0.48f), int(qy), w, int(qy + 30), [&](int x, int y) {
        float n = Fbm(x * 0.2f, y * 0.2f, 2, 405);
        return Scale(Rgb(150, 110, 90), 0.8f + 0.3f * n);
    });
    static const TColor kWalls[] = {Rgb(240, 190, 140), Rgb(230, 150, 110), Rgb(250, 220, 170), Rgb(200, 140, 120)};
    int startCol = int(w * 0.48f) / 40 + 1, cols = w / 40;
    for (int a = startCol, q = 0; a < cols; ++q) {
        int len = std::min(cols - a, 4);
        float x0 = a * 40.0f + 4, x1 = (a + len) * 40.0f - 4, top = qy;
        HouseRow(c, x0, x1, qy, 26, 407 + uint32_t(10 * q), top, [&](int i) {
            return THouseLook{40 + 16 * Hash01(i, q, 406), 60 + 50 * Hash01(i, q + 9, 406), kWalls[(i + q) % 4],
                              Rgb(120, 60, 50), Hash01(i, q + 4, 406) < 0.6f};
        });
        Protect(o, "waterfront " + std::to_string(q + 1), x0 - 2, top - 4, x1 + 2, qy + 30);
        a += len + 1;
    }
    // Boats at anchor with their masts.
    const float kBoats[3][3] = {{0.14f, 0.80f, 1.0f}, {0.36f, 0.90f, 1.3f}, {0.64f, 0.90f, 0.9f}};
    for (int i = 0; i < 3; ++i) {
        float bx = w * kBoats[i][0], by = h * kBoats[i][1], s = kBoats[i][2];
        c.SoftEllipse(bx, by + 20 * s, 66 * s, 6 * s, 6, Rgb(20, 10, 40, 0.4f));
        c.FillPolygon(
            TPolygon{{bx - 60 * s, by}, {bx + 60 * s, by}, {bx + 44 * s, by + 18 * s}, {bx - 44 * s, by + 18 * s}},
            i == 1 ? Rgb(40, 70, 120) : Rgb(150, 50, 40));
        c.FillRect(int(bx - 40 * s), int(by - 4 * s), int(bx + 40 * s), int(by), Rgb(240, 220, 190));
        c.Line(bx, by, bx, by - 120 * s, 3, Rgb(60, 40, 30));
        c.FillPolygon(TPolygon{{bx + 3, by - 10 * s}, {bx + 3, by - 112 * s}, {bx + 46 * s, by - 12 * s}},
                      Rgb(250, 210, 170));
        Protect(o, "boat " + std::to_string(i + 1), bx - 66 * s, by - 126 * s, bx + 66 * s, by + 30 * s);
    }
    // Gulls over the bay.
    for (int i = 0; i < 7; ++i) {
        float x = w * (0.1f + 0.12f * float(i)) + 30 * Hash01(i, 1, 408), y = h * (0.12f + 0.2f * Hash01(i, 2, 408));
        c.Line(x - 9, y - 3, x, y + 2, 2, Rgb(40, 30, 50));
        c.Line(x, y + 2, x + 9, y - 3, 2, Rgb(40, 30, 50));
    }
    return c;
}

// A reading room on a rainy evening: lamp light, a fire, shelves of books,
// the cat asleep on the rug, the blue town outside the window.
TCanvas Room(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    float floorY = h * 0.70f;
    // Wallpaper with stripes, warmer near the lamp and the fire.
    c.FillRect(0, 0, w, int(floorY), [&](int x, int y) {
        bool stripe = (x / 24) % 2 == 0;
        float n = Fbm(x * 0.02f, y * 0.02f, 3, 501);
        TColor col = stripe ? Rgb(120, 70, 60) : Rgb(136, 84, 70);
        return Scale(col, 0.8f + 0.2f * n);
    });
    c.FillRect(0, int(floorY - 14), w, int(floorY), Rgb(90, 50, 36));
    c.FillRect(0, int(floorY), w, h, [&](int x, int y) {
        float n = Fbm(x * 0.3f, y * 0.02f, 2, 502);
        bool seam = (x + (y / 30) * 37) % 120 < 2;
        return Scale(Rgb(150, 96, 56), (seam ? 0.6f : 0.85f) + 0.25f * n);
    });
    // The window: rain over the town at dusk.
    float wx = w * 0.36f, wy = h * 0.10f, ww = w * 0.24f, wh = h * 0.40f;
    c.FillRect(int(wx), int(wy), int(wx + ww), int(wy + wh), [&](int x, int y) {
        float t = (float(y) - wy) / wh;
        TColor sky = Mix(Rgb(40, 50, 100), Rgb(120, 110, 160), t);
        float roofs = wy + wh * (0.62f + 0.1f * std::sin(float(x) * 0.05f) * (float(int(x / 23) % 3)));
        if (float(y) > roofs) sky = Rgb(30, 30, 56);
        float rain = Hash01(x, y / 14, 503) > 0.985f ? 0.5f : 0;
        return Mix(sky, Rgb(200, 210, 240), rain);
    });
    for (int i = 0; i < 12; ++i) {
        float x = wx + ww * Hash01(i, 1, 504), y = wy + wh * (0.7f + 0.25f * Hash01(i, 2, 504));
        c.FillRect(int(x), int(y), int(x + 4), int(y + 5), Rgb(255, 210, 120));
    }
    c.FillRect(int(wx - 10), int(wy - 10), int(wx + ww + 10), int(wy), Rgb(230, 220, 200));
    c.FillRect(int(wx - 10), int(wy + wh), int(wx + ww + 10), int(wy + wh + 14), Rgb(230, 220, 200));
    c.FillRect(int(wx - 10), int(wy), int(wx), int(wy + wh), Rgb(220, 210, 190));
    c.FillRect(int(wx + ww), int(wy), int(wx + ww + 10), int(wy + wh), Rgb(200, 190, 170));
    c.FillRect(int(wx + ww / 2 - 4), int(wy), int(wx + ww / 2 + 4), int(wy + wh), Rgb(220, 210, 190));
    c.FillRect(int(wx), int(wy + wh / 2 - 4), int(wx + ww), int(wy + wh / 2 + 4), Rgb(220, 210, 190));
    Protect(o, "window", wx - 14, wy - 14, wx + ww + 14, wy + wh + 18);
    // The bookcase on the left.
    float bx = w * 0.03f, by = h * 0.25f, bw = w * 0.25f, bh = floorY - by;
    c.FillRect(int(bx), int(by), int(bx + bw), int(by + bh), Rgb(80, 46, 30));
    static const TColor kBooks[] = {Rgb(170, 40, 40),  Rgb(40, 90, 150),  Rgb(220, 180, 80), Rgb(50, 120, 70),
                                    Rgb(120, 60, 130), Rgb(200, 120, 60), Rgb(230, 220, 200)};
    for (int s = 0; s < 5; ++s) {
        float sy = by + 12 + s * (bh - 20) / 5, sh = (bh - 20) / 5 - 12;
        float x = bx + 10;
        for (int i = 0; x < bx + bw - 18; ++i) {
            float bwid = 8 + 10 * Hash01(i, s, 505), bht = sh * (0.75f + 0.25f * Hash01(i, s + 9, 505));
            TColor col = kBooks[int(Hash01(i, s + 4, 505) * 7)];
            c.FillRect(int(x), int(sy + sh - bht), int(x + bwid), int(sy + sh),
                       [&](int px, int) { return Scale(col, 0.8f + 0.3f * Clamp01((px - x) / bwid)); });
            x += bwid + 1;
        }
        c.FillRect(int(bx + 4), int(sy + sh), int(bx + bw - 4), int(sy + sh + 8), Rgb(110, 66, 40));
    }
    Protect(o, "bookcase", bx - 4, by - 4, bx + bw + 4, by + bh + 4);
    // The fireplace on the right with its fire.
    float fx = w * 0.70f, fw = w * 0.24f, fy = floorY - h * 0.34f;
    c.FillRect(int(fx), int(fy), int(fx + fw), int(floorY), [&](int x, int y) {
        float n = Fbm(x * 0.1f, y * 0.1f, 3, 506);
        bool joint = (y / 16) % 2 ? (x / 30) % 2 == 0 && x % 30 < 2 : y % 16 < 2;
        return Scale(Rgb(190, 170, 150), (joint ? 0.7f : 0.9f) + 0.2f * n);
    });
    c.FillRect(int(fx - 12), int(fy - 14), int(fx + fw + 12), int(fy), Rgb(100, 60, 40));
    float ox = fx + fw * 0.2f, oy = fy + h * 0.12f, ow = fw * 0.6f;
    c.FillRect(int(ox), int(oy), int(ox + ow), int(floorY), Rgb(30, 18, 14));
    c.Glow(ox + ow / 2, floorY - 24, ow * 0.9f, Rgb(255, 150, 50, 0.8f));
    for (int i = 0; i < 7; ++i) {
        float x = ox + ow * (0.2f + 0.1f * float(i)), fh = 40 + 30 * Hash01(i, 1, 507);
        c.FillPolygon(TPolygon{{x - 12, floorY - 10}, {x + 12, floorY - 10}, {x + 2, floorY - 10 - fh}},
                      Rgb(255, 170 + int(60 * Hash01(i, 2, 507)), 60, 0.85f));
    }
    c.Line(ox + 10, floorY - 8, ox + ow - 10, floorY - 14, 9, Rgb(90, 50, 30));
    Protect(o, "fireplace", fx - 16, fy - 40, fx + fw + 16, floorY + 4);
    // A candle and a clock on the mantel.
    c.FillRect(int(fx + 20), int(fy - 44), int(fx + 30), int(fy - 14), Rgb(250, 240, 220));
    c.Glow(fx + 25, fy - 50, 22, Rgb(255, 220, 140, 0.8f));
    c.SoftDisc(fx + fw - 40, fy - 34, 18, 1, Rgb(200, 160, 80));
    c.SoftDisc(fx + fw - 40, fy - 34, 13, 1, Rgb(250, 245, 230));
    // The rug, the armchair and the standing lamp.
    c.SoftEllipse(w * 0.50f, h * 0.86f, w * 0.26f, h * 0.08f, 4, Rgb(150, 40, 50));
    c.SoftEllipse(w * 0.50f, h * 0.86f, w * 0.20f, h * 0.055f, 3, Rgb(200, 150, 80));
    c.SoftEllipse(w * 0.50f, h * 0.86f, w * 0.14f, h * 0.035f, 3, Rgb(150, 40, 50));
    float ax = w * 0.30f, ay = h * 0.96f;
    c.FillRect(int(ax - 70), int(ay - 150), int(ax + 70), int(ay - 60), [&](int x, int y) {
        float n = Fbm(x * 0.05f, y * 0.05f, 2, 508);
        return Scale(Rgb(60, 110, 90), 0.8f + 0.25f * n);
    });
    c.FillRect(int(ax - 90), int(ay - 100), int(ax - 60), int(ay - 10), Rgb(50, 96, 78));
    c.FillRect(int(ax + 60), int(ay - 100), int(ax + 90), int(ay - 10), Rgb(44, 86, 70));
    c.FillRect(int(ax - 60), int(ay - 64), int(ax + 60), int(ay - 20), Rgb(70, 124, 100));
    c.FillRect(int(ax - 84), int(ay - 10), int(ax - 74), int(ay + 6), Rgb(60, 36, 20));
    c.FillRect(int(ax + 74), int(ay - 10), int(ax + 84), int(ay + 6), Rgb(60, 36, 20));
    Protect(o, "armchair", ax - 94, ay - 154, ax + 94, ay + 10);
    float lx = w * 0.62f, ly = h * 0.98f;
    c.Line(lx, ly, lx, ly - 260, 5, Rgb(60, 50, 40));
    c.SoftEllipse(lx, ly, 26, 6, 2, Rgb(60, 50, 40));
    c.FillPolygon(TPolygon{{lx - 34, ly - 250}, {lx + 34, ly - 250}, {lx + 22, ly - 300}, {lx - 22, ly - 300}},
                  Rgb(250, 210, 140));
    c.Glow(lx, ly - 240, 160, Rgb(255, 210, 130, 0.45f));
    Protect(o, "lamp", lx - 40, ly - 306, lx + 40, ly + 8);
    // The cat asleep on the rug.
    float cx = w * 0.48f, cy = h * 0.86f;
    c.SoftEllipse(cx, cy, 40, 20, 2, Rgb(230, 140, 60));
    c.SoftDisc(cx + 34, cy - 8, 14, 2, Rgb(230, 140, 60));
    c.FillPolygon(TPolygon{{cx + 26, cy - 18}, {cx + 30, cy - 30}, {cx + 36, cy - 20}}, Rgb(210, 120, 50));
    c.FillPolygon(TPolygon{{cx + 36, cy - 20}, {cx + 44, cy - 30}, {cx + 46, cy - 16}}, Rgb(210, 120, 50));
    c.Line(cx - 38, cy + 6, cx - 10, cy + 16, 6, Rgb(210, 120, 50));
    for (int i = 0; i < 4; ++i) c.Line(cx - 20 + i * 12, cy - 16, cx - 16 + i * 12, cy + 4, 3, Rgb(200, 110, 40, 0.7f));
    Protect(o, "cat", cx - 48, cy - 36, cx + 52, cy + 24);
    // Warm light over the whole room from the lamp and the fire.
    c.Glow(w * 0.85f, floorY, w * 0.5f, Rgb(255, 160, 80, 0.18f));
    return c;
}

// A waterfall in a green valley: cliffs, falling water, mist with a
// rainbow, ferns and flowers by the pool.
TCanvas Waterfall(int w, int h, TObjects& o) {
    TCanvas c(w, h);
    PaintSky(c, {Rgb(90, 160, 230), Rgb(220, 240, 250), h * 0.35f}, Rgb(255, 255, 255), 0.7f, 601);
    Sun(c, o, w * 0.86f, h * 0.09f, 22, Rgb(255, 252, 230), Rgb(255, 246, 210), 36);
    Mountain(c, w * 0.20f, h * 0.06f, h * 0.80f, w * 0.36f, Rgb(170, 150, 120), Rgb(90, 80, 80), 0, 602);
    Mountain(c, w * 0.82f, h * 0.10f, h * 0.80f, w * 0.34f, Rgb(160, 140, 116), Rgb(84, 76, 76), 0, 603);
    float fx = w * 0.50f, ftop = h * 0.22f, fbot = h * 0.70f, fw = w * 0.07f;
    // The rock wall the river falls from, its lip lit, filling the gap
    // between the peaks.
    TPolygon wall{{w * 0.28f, float(h)}, {w * 0.30f, ftop + 30},     {fx - fw * 2, ftop + 4}, {fx - fw, ftop - 4},
                  {fx + fw, ftop - 6},   {fx + fw * 2.2f, ftop + 6}, {w * 0.72f, ftop + 40},  {w * 0.74f, float(h)}};
    c.FillPolygon(wall, [&](int x, int y) {
        float n = Fbm(x * 0.03f, y * 0.05f, 4, 609);
        float strata = 0.5f + 0.5f * std::sin(y * 0.11f + n * 5);
        float lit = 1 - Clamp01((float(y) - ftop) / (h * 0.2f));
        return Scale(Mix(Rgb(104, 92, 84), Rgb(168, 150, 124), 0.4f * lit + 0.3f * strata), 0.85f + 0.25f * n);
    });
    // Moss and ferns in the cliffs' cracks.
    for (int i = 0; i < 1600; ++i) {
        float x = Hash01(i, 1, 604) * w, y = h * (0.12f + 0.62f * Hash01(i, 2, 604));
        TColor under = c.At(int(x), int(y));
        if (under.B > under.R) continue;  // sky
        float g = Hash01(i, 4, 604);
        c.SoftDisc(x, y, 1.5f + 3 * Hash01(i, 3, 604), 1.5f, Rgb(50 + int(50 * g), 110 + int(40 * g), 40, 0.75f));
    }
    // The fall itself, over the lip of the wall.
    c.FillRect(int(fx - fw - 10), int(ftop), int(fx + fw + 10), int(fbot), [&](int x, int y) {
        float t = (float(y) - ftop) / (fbot - ftop);
        float half = fw * (0.8f + 0.4f * t);
        float d = std::abs(float(x) - fx) / half;
        float k = 1 - SmoothStep(0.85f, 1.0f, d);
        float streak = Fbm(float(x) * 0.25f, float(y) * 0.01f - t * 3, 3, 605);
        return WithAlpha(Mix(Rgb(170, 200, 220), Rgb(255, 255, 255), streak), k);
    });
    Protect(o, "waterfall", fx - fw * 1.3f - 12, ftop - 10, fx + fw * 1.3f + 12, fbot - 12);
    Grass(c, h * 0.70f, Rgb(60, 130, 50), Rgb(90, 150, 70), 606);
    // The pool with the fall's foam and mist.
    float py = h * 0.80f;
    c.SoftEllipse(fx, py, w * 0.20f, h * 0.09f, 4, Rgb(40, 110, 130));
    c.FillRect(int(fx - w * 0.20f), int(py - h * 0.09f), int(fx + w * 0.20f), int(py + h * 0.09f), [&](int x, int y) {
        float dx = (float(x) - fx) / (w * 0.19f), dy = (float(y) - py) / (h * 0.085f);
        float k = 1 - SmoothStep(0.8f, 1.0f, dx * dx + dy * dy);
        float n = Fbm(x * 0.03f, y * 0.1f, 3, 607);
        return WithAlpha(Mix(Rgb(60, 150, 170), Rgb(190, 230, 236), n * 0.8f), k);
    });
    for (int i = 0; i < 30; ++i) {
        float t = Hash01(i, 1, 608);
        c.SoftDisc(fx + (Hash01(i, 2, 608) - 0.5f) * fw * 3, fbot - 10 + t * 30, 10 + 16 * t, 10,
                   Rgb(255, 255, 255, 0.4f));
    }
    Protect(o, "pool", fx - w * 0.21f, py - h * 0.10f, fx + w * 0.21f, py + h * 0.10f);
    // A rainbow standing in the spray: an arch over the pool whose feet
    // melt into the mist, faint as a real one, its colours blended.
    {
        static const TColor kBow[] = {Rgb(150, 70, 220), Rgb(60, 120, 255), Rgb(80, 200, 80),
                                      Rgb(255, 240, 60), Rgb(255, 160, 40), Rgb(255, 60, 60)};
        const float cx = fx, cy = py, r = w * 0.17f, band = w * 0.022f;
        c.FillRect(int(cx - r - 2), int(cy - r - 2), int(cx + r + 3), int(cy), [&](int x, int y) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            const float b = (d - (r - band)) / band;  // 0 inner (violet) .. 1 outer (red)
            if (b <= 0 || b >= 1) return TColor{0, 0, 0, 0};
            const float at = b * 5;
            const int i = std::min(4, int(at));
            const TColor col = Mix(kBow[i], kBow[i + 1], at - float(i));
            const float edges = SmoothStep(0.0f, 0.2f, b) * (1 - SmoothStep(0.8f, 1.0f, b));
            const float feet = 1 - SmoothStep(cy - r * 0.45f, cy - r * 0.1f, float(y));
            return WithAlpha(col, 0.3f * edges * feet);
        });
    }
    // Trees framing both sides, ferns and flowers by the water.
    const float kTrees[2][3] = {{0.09f, 0.96f, 62}, {0.90f, 0.98f, 66}};
    for (int i = 0; i < 2; ++i) {
        float x = w * kTrees[i][0], y = h * kTrees[i][1], r = kTrees[i][2];
        Tree(c, o, "tree " + std::to_string(i + 1), x, y, r, Rgb(50 + 20 * i, 120, 50), 610 + uint32_t(i));
    }
    for (int i = 0; i < 40; ++i) {
        float x = Hash01(i, 1, 611) * w, y = h * (0.9f + 0.1f * Hash01(i, 2, 611));
        for (int f = -3; f <= 3; ++f)
            c.Line(x, y, x + float(f) * 9, y - 26 + std::abs(float(f)) * 5, 3, Rgb(50, 130, 60, 0.9f));
    }
    Flowers(c, h * 0.88f, h, 200, {Rgb(255, 120, 160), Rgb(255, 240, 120), Rgb(255, 255, 255)}, 612);
    return c;
}

struct TPainting {
    const char* Name;
    TCanvas (*Paint)(int w, int h, TObjects& objects);
};

const TPainting kPaintings[] = {
    {"meadow", Meadow}, {"sea", Sea},       {"village", Village}, {"night", Night}, {"garden", Garden},
    {"autumn", Autumn}, {"winter", Winter}, {"harbour", Harbour}, {"room", Room},   {"waterfall", Waterfall}};

}  // namespace

TCanvas PaintScene(const TSceneSource& scene, std::vector<TProtected>* objects) {
    int w = scene.Width, h = scene.Height;
    TObjects noted;
    for (const TPainting& p : kPaintings)
        if (scene.Painting == p.Name) {
            TCanvas c = p.Paint(w, h, noted);
            // Objects are kept to the picture, so a checker never asks for
            // a layer beyond the scene's edge.
            for (TProtected& o : noted)
                for (TPointF& q : o.Outline) {
                    q.X = std::clamp(q.X, 0.0f, float(w));
                    q.Y = std::clamp(q.Y, 0.0f, float(h));
                }
            if (objects) *objects = std::move(noted);
            return c;
        }
    throw OrvException(scene.FileName() + ": unknown painting " + scene.Painting);
}

std::vector<std::string> PaintingNames() {
    std::vector<std::string> names;
    for (const TPainting& p : kPaintings) names.push_back(p.Name);
    return names;
}

TCanvas FadeScene(const TCanvas& painting, uint32_t seed) {
    // The picture before restoration: an old sepia print of the same
    // painting on worn paper. It keeps the painting's shapes and its light
    // and shade, so the player sees the scene and what colour will bring
    // back, but not its colours.
    TCanvas c = painting.Crop(0, 0, painting.Width(), painting.Height());
    c.Blur(1, 1);
    int w = c.Width(), h = c.Height();
    auto luma = [](const TColor& p) { return std::clamp(0.3f * p.R + 0.59f * p.G + 0.11f * p.B, 0.0f, 1.0f); };
    // The print spans its paper's whole range of tones whatever the
    // painting's own: its darkest and lightest 2% set the ends, so a pale
    // sky and a green meadow do not come out as one grey.
    std::vector<int> histogram(256, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ++histogram[size_t(luma(c.At(x, y)) * 255.0f)];
    auto tone = [&](double share) {
        double seen = 0;
        for (int i = 0; i < 256; ++i)
            if ((seen += histogram[size_t(i)]) >= share * w * h) return i / 255.0f;
        return 1.0f;
    };
    const float low = tone(0.02), high = std::max(tone(0.98), low + 0.2f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor& p = c.At(x, y);
            float l = std::clamp((luma(p) - low) / (high - low), 0.0f, 1.0f) * 0.64f + 0.32f;
            TColor sepia = Mix(Rgb(60, 50, 44), Rgb(240, 230, 210), l);
            float n = Fbm(x * 0.02f, y * 0.02f, 4, seed + 900);
            float stain = SmoothStep(0.6f, 0.8f, Fbm(x * 0.004f, y * 0.004f, 3, seed + 901));
            // A little paper shows through: the print has faded, not gone.
            TColor col = Mix(sepia, Rgb(224, 214, 194), 0.24f + 0.08f * n);
            col = Mix(col, Rgb(180, 150, 110), 0.25f * stain);
            float vx = (x - w * 0.5f) / (w * 0.5f), vy = (y - h * 0.5f) / (h * 0.5f);
            col = Scale(col, 1 - 0.18f * (vx * vx + vy * vy));
            p = WithAlpha(col, 1);
        }
    return c;
}

}  // namespace forge
