// The play screen's frame and actors: the panel, the cursor, the belt's start
// box, the Chameleon and its shot, the bonus creatures, the drop section, the
// between-levels marks, the hint balloon and the skill icons.
#include <cmath>

#include "Art.h"

namespace forge {

namespace {

constexpr float kPi = 3.14159265f;

TPolygon Star(float cx, float cy, float r0, float r1, int points, float rot) {
    TPolygon p;
    for (int i = 0; i < points * 2; ++i) {
        float a = rot + kPi * float(i) / float(points);
        float r = (i % 2) ? r1 : r0;
        p.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
    }
    return p;
}

TPolygon RoundRect(float x0, float y0, float x1, float y1, float r) {
    TPolygon p;
    auto arc = [&](float cx, float cy, float a0) {
        for (int i = 0; i <= 6; ++i) {
            float a = a0 + kPi / 2 * float(i) / 6.0f;
            p.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
        }
    };
    arc(x1 - r, y0 + r, -kPi / 2);
    arc(x1 - r, y1 - r, 0);
    arc(x0 + r, y1 - r, kPi / 2);
    arc(x0 + r, y0 + r, kPi);
    return p;
}

// Dark carved wood with a fine grain, for the frame and panel.
TColor Wood(int x, int y) {
    float g = Fbm(x * 0.01f, y * 0.12f, 4, 31);
    float ring = 0.5f + 0.5f * std::sin(x * 0.05f + g * 9.0f);
    float fine = Fbm(x * 0.02f, y * 0.6f, 2, 32);
    TColor c = Mix(Rgb(52, 32, 20), Rgb(110, 72, 44), 0.4f * ring + 0.4f * g + 0.2f * fine);
    return c;
}

void Bevel(TCanvas& c, int x0, int y0, int x1, int y1, int w, bool sunken) {
    TColor hi = Rgb(255, 230, 190, 0.28f), lo = Rgb(0, 0, 0, 0.45f);
    if (sunken) std::swap(hi, lo);
    for (int i = 0; i < w; ++i) {
        float k = 1.0f - float(i) / float(w);
        c.FillRect(x0 + i, y0 + i, x1 - i, y0 + i + 1, [&](int, int) { return WithAlpha(hi, hi.A * k); });
        c.FillRect(x0 + i, y0 + i + 1, x0 + i + 1, y1 - i, [&](int, int) { return WithAlpha(hi, hi.A * k); });
        c.FillRect(x0 + i + 1, y1 - i - 1, x1 - i, y1 - i, [&](int, int) { return WithAlpha(lo, lo.A * k); });
        c.FillRect(x1 - i - 1, y0 + i + 1, x1 - i, y1 - i - 1, [&](int, int) { return WithAlpha(lo, lo.A * k); });
    }
}

// A spider seen from above, legs swinging by phase (0..1), facing up.
void DrawSpider(TCanvas& c, float cx, float cy, float s, float phase, TColor body) {
    TColor leg = Scale(body, 0.55f);
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 4; ++i) {
            float swing = 0.28f * std::sin(2 * kPi * phase + float(i) * 1.7f + (side > 0 ? kPi : 0));
            float a = kPi / 2 - side * (kPi / 2) + side * (-0.9f + 0.55f * float(i) + swing);
            float kx = cx + std::cos(a) * s * 0.55f, ky = cy + std::sin(a) * s * 0.55f - s * 0.05f;
            float ex = cx + std::cos(a + side * 0.35f) * s * 0.95f,
                  ey = cy + std::sin(a + side * 0.35f) * s * 0.95f + s * 0.12f;
            c.Line(cx, cy, kx, ky, s * 0.07f, leg);
            c.Line(kx, ky, ex, ey, s * 0.055f, leg);
        }
    c.SoftEllipse(cx, cy + s * 0.22f, s * 0.34f, s * 0.40f, 1.0f, body);
    c.SoftEllipse(cx, cy - s * 0.22f, s * 0.22f, s * 0.2f, 1.0f, Scale(body, 0.8f));
    c.SoftEllipse(cx - s * 0.1f, cy + s * 0.12f, s * 0.12f, s * 0.16f, 3.0f, Rgb(255, 255, 255, 0.35f));
    c.SoftDisc(cx - s * 0.08f, cy - s * 0.32f, s * 0.05f, 0.6f, Rgb(255, 60, 40));
    c.SoftDisc(cx + s * 0.08f, cy - s * 0.32f, s * 0.05f, 0.6f, Rgb(255, 60, 40));
    // A cross mark on the back, as garden spiders wear.
    c.Line(cx, cy + s * 0.05f, cx, cy + s * 0.42f, s * 0.05f, Rgb(240, 220, 170, 0.8f));
    c.Line(cx - s * 0.14f, cy + s * 0.2f, cx + s * 0.14f, cy + s * 0.2f, s * 0.05f, Rgb(240, 220, 170, 0.8f));
}

// The sprite laid over a dark rim of the given width that follows its
// outline, so it stands out from a picture of its own colours.
TCanvas WithOutline(const TCanvas& src, int width, TColor rim) {
    TCanvas out(src.Width(), src.Height());
    for (int y = 0; y < src.Height(); ++y)
        for (int x = 0; x < src.Width(); ++x) {
            float m = 0;
            for (int dy = -width; dy <= width; ++dy)
                for (int dx = -width; dx <= width; ++dx)
                    if (dx * dx + dy * dy <= width * width + 1 && src.Inside(x + dx, y + dy))
                        m = std::max(m, src.At(x + dx, y + dy).A);
            if (m > 0) out.At(x, y) = WithAlpha(rim, rim.A * m);
        }
    out.Draw(src, 0, 0);
    return out;
}

}  // namespace

TCanvas PaintGameFrame() {
    TCanvas c(800, 600, Rgb(0, 0, 0));
    c.FillRect(0, 0, 800, 600, Wood);
    // The window onto the picture, sunk into the frame.
    c.FillRect(5, 5, 655, 595, [](int, int) { return Rgb(20, 16, 14); });
    Bevel(c, 0, 0, 660, 600, 5, false);
    // Right panel: raised board with a brass title plate and two sockets for
    // the score and the level.
    c.FillRect(660, 0, 800, 600, [](int x, int y) { return Mix(Wood(x, y), Rgb(30, 20, 14), 0.25f); });
    Bevel(c, 660, 0, 800, 600, 4, false);
    auto plate = [&](int x0, int y0, int x1, int y1) {
        c.FillPolygon(RoundRect(float(x0), float(y0), float(x1), float(y1), 6), [&](int x, int y) {
            float t = float(y - y0) / float(y1 - y0);
            float n = Fbm(x * 0.2f, y * 0.2f, 3, 5);
            return Mix(Rgb(214, 176, 96), Rgb(140, 98, 40), t * 0.8f + n * 0.2f);
        });
        c.FillPolygon(RoundRect(x0 + 4.0f, y0 + 4.0f, x1 - 4.0f, y1 - 4.0f, 4), Rgb(40, 26, 16, 0.85f));
    };
    plate(670, 14, 790, 70);   // score
    plate(670, 82, 790, 126);  // level
    // Button wells.
    for (int i = 0; i < 5; ++i) {
        int y = 150 + i * 52;
        c.FillPolygon(RoundRect(674, float(y), 786, float(y + 40), 8), Rgb(24, 16, 10, 0.55f));
    }
    // The drop section: a deep well framed in brass.
    c.FillRect(668, 454, 788, 591, [](int x, int y) {
        float t = float(y - 454) / 137.0f;
        return Mix(Rgb(190, 150, 80), Rgb(110, 76, 34), t + 0.1f * Fbm(x * 0.3f, y * 0.3f, 2, 9));
    });
    c.FillRect(672, 458, 784, 587, [](int x, int y) {
        float v = 0.5f + 0.5f * Fbm(x * 0.05f, y * 0.05f, 3, 12);
        return Mix(Rgb(14, 12, 16), Rgb(36, 30, 40), v);
    });
    Bevel(c, 672, 458, 784, 587, 4, true);
    // Brass studs at the corners of the window and along the panel, and a
    // carved vine over the drop well.
    auto stud = [&](float x, float y) {
        c.SoftDisc(x + 1, y + 1.5f, 4.5f, 1.5f, Rgb(0, 0, 0, 0.5f));
        c.SoftDisc(x, y, 4, 0.8f, Rgb(150, 110, 50));
        c.SoftDisc(x - 1, y - 1, 2.2f, 1.2f, Rgb(250, 220, 150));
    };
    for (float x : {2.5f, 657.5f})
        for (float y : {2.5f, 597.5f}) stud(x, y);
    for (float y : {140.0f, 430.0f}) {
        stud(668, y);
        stud(792, y);
    }
    TPolygon vine;
    for (int i = 0; i <= 40; ++i) {
        float t = float(i) / 40.0f;
        vine.push_back({676 + 104 * t, 440 - 6 * std::sin(t * 2 * kPi)});
    }
    c.Polyline(vine, 2.0f, Rgb(30, 18, 10, 0.8f));
    for (int i = 1; i < 8; ++i) {
        float t = float(i) / 8.0f, x = 676 + 104 * t, y = 440 - 6 * std::sin(t * 2 * kPi);
        float side = (i % 2) ? -1.0f : 1.0f;
        c.SoftEllipse(x + 3, y + side * 5, 4.5f, 2.2f, 0.8f, Rgb(30, 18, 10, 0.7f));
        c.SoftEllipse(x + 2.5f, y + side * 5 - 0.8f, 3.0f, 1.2f, 0.8f, Rgb(150, 110, 70, 0.35f));
    }
    return c;
}

TCanvas PaintCursorStrip() {
    const int fw = 41, h = 41, frames = 30;
    TCanvas c(fw * frames, h);
    for (int f = 0; f < frames; ++f) {
        float ox = float(f * fw);
        TPolygon arrow{{ox + 1, 1},   {ox + 1, 27},  {ox + 8, 21}, {ox + 13, 32},
                       {ox + 18, 30}, {ox + 13, 19}, {ox + 22, 19}};
        TPolygon shadow = arrow;
        for (TPointF& p : shadow) {
            p.X += 2;
            p.Y += 2;
        }
        c.FillPolygon(shadow, Rgb(0, 0, 0, 0.4f));
        c.FillPolygon(arrow, Rgb(60, 34, 16));
        TPolygon inner{{ox + 3, 5},         {ox + 3, 22.5f},     {ox + 8.5f, 17.5f}, {ox + 13.5f, 28.5f},
                       {ox + 15.5f, 27.8f}, {ox + 10.8f, 17.2f}, {ox + 17.5f, 17.2f}};
        float phase = float(f) / float(frames);
        c.FillPolygon(inner, [&](int x, int y) {
            // A band of light runs down the arrow once per loop.
            float d = (float(x) - ox) * 0.5f + float(y) - phase * 60.0f + 15.0f;
            float glint = std::exp(-d * d / 30.0f);
            return Mix(Mix(Rgb(250, 214, 110), Rgb(220, 150, 50), float(y) / 30.0f), Rgb(255, 255, 240), glint);
        });
        // A twinkle at the tip.
        float tw = 0.5f + 0.5f * std::sin(2 * kPi * phase);
        c.FillPolygon(Star(ox + 3, 3, 6.0f * tw + 1.0f, 1.2f, 4, 2 * kPi * phase * 0.25f),
                      Rgb(255, 255, 230, 0.85f * tw));
    }
    return c;
}

TCanvas PaintBoxy() {
    // The belt's source: a carved jewel casket, open toward +x, centred on
    // 75,75 so it can turn about that point.
    TCanvas c(150, 150);
    c.SoftDisc(78, 80, 52, 10, Rgb(0, 0, 0, 0.45f));
    c.FillPolygon(RoundRect(30, 32, 120, 118, 14),
                  [](int x, int y) { return Mix(Wood(x * 2, y * 2), Rgb(120, 70, 30), 0.3f); });
    c.FillPolygon(RoundRect(36, 38, 114, 112, 10), [](int x, int y) {
        float t = std::hypot(x - 75.0f, y - 75.0f) / 50.0f;
        return Mix(Rgb(210, 170, 90), Rgb(120, 80, 30), t);
    });
    // The mouth on the right where pieces come out.
    c.FillPolygon(RoundRect(88, 52, 124, 98, 10), Rgb(20, 12, 8));
    c.SoftEllipse(104, 75, 12, 18, 6, Rgb(255, 200, 120, 0.5f));
    // Gem and rivets.
    c.SoftDisc(60, 75, 13, 1, Rgb(40, 90, 150));
    c.SoftDisc(56, 71, 5, 3, Rgb(200, 230, 255, 0.8f));
    for (float a = 0; a < 2 * kPi; a += kPi / 2)
        c.SoftDisc(75 + std::cos(a + kPi / 4) * 36, 75 + std::sin(a + kPi / 4) * 36, 3.5f, 1, Rgb(240, 210, 130));
    return c;
}

// Side of the painted Chameleon once shrunk into its 150-pixel picture.
constexpr int kChameleonShrunk = 116;

TCanvas PaintChameleon() {
    // The Chameleon seen from above, head toward -x (facing the chain that
    // arrives), tail curled behind; centred on 75,75.
    TCanvas c(150, 150);
    auto skin = [](float x, float y, float shade) {
        float n = Fbm(x * 0.12f, y * 0.12f, 3, 77);
        float scale = 0.5f + 0.5f * std::sin(x * 1.1f) * std::sin(y * 1.1f);
        TColor base = Mix(Rgb(64, 156, 70), Rgb(160, 206, 80), 0.55f * n + 0.2f * scale);
        return Scale(base, shade);
    };
    // Legs with three-toed feet gripping sideways.
    for (int s = -1; s <= 1; s += 2)
        for (float lx : {56.0f, 96.0f}) {
            float fx = lx + (lx < 70 ? -8.0f : 8.0f), fy = 75 + s * 36.0f;
            c.Line(lx, 75 + s * 12.0f, lx + (lx < 70 ? -3.0f : 3.0f), 75 + s * 26.0f, 7, Rgb(50, 120, 56));
            c.Line(lx + (lx < 70 ? -3.0f : 3.0f), 75 + s * 26.0f, fx, fy, 6, Rgb(56, 128, 60));
            for (int t = -1; t <= 1; ++t) c.Line(fx, fy, fx + t * 5.0f, fy + s * 5.0f, 2.5f, Rgb(46, 110, 50));
        }
    // Tail: a tightening spiral behind the body.
    for (int i = 0; i <= 80; ++i) {
        float t = float(i) / 80.0f;
        float a = -kPi / 2 + t * 2.4f * kPi, r = 20 * (1 - t) + 4;
        float x = 112 + 14 * t + std::cos(a) * r * 0.9f, y = 78 + std::sin(a) * r * 0.9f;
        c.SoftDisc(x, y, 7.5f * (1 - t) + 2.0f, 1.0f, skin(x, y, 0.9f - 0.2f * t));
    }
    // Body: an oval with light from the top-left and a darker belly line.
    c.FillRect(26, 50, 122, 100, [&](int x, int y) {
        float dx = (x + 0.5f - 76) / 46, dy = (y + 0.5f - 75) / 22;
        float d = dx * dx + dy * dy;
        float k = 1 - SmoothStep(0.94f, 1.0f, d);
        float shade = 1.1f - 0.35f * Clamp01(dy * 0.7f + 0.5f) - 0.1f * d;
        return WithAlpha(skin(float(x), float(y), shade), k);
    });
    // Crest of bright scales along the spine, and side stripes.
    for (int i = 0; i < 9; ++i) c.SoftDisc(46 + i * 8.5f, 74, 2.8f, 1.0f, Rgb(240, 214, 90));
    for (int i = 0; i < 4; ++i) {
        c.SoftEllipse(58 + i * 14.0f, 62, 4.5f, 2.0f, 1.5f, Rgb(220, 120, 60, 0.55f));
        c.SoftEllipse(58 + i * 14.0f, 88, 4.5f, 2.0f, 1.5f, Rgb(220, 120, 60, 0.55f));
    }
    // Head with its casque and the two turret eyes.
    c.FillPolygon(TPolygon{{8, 75}, {22, 60}, {40, 56}, {48, 66}, {48, 84}, {40, 94}, {22, 90}},
                  [&](int x, int y) { return skin(float(x), float(y), 1.05f - 0.25f * Clamp01((y - 60.0f) / 40.0f)); });
    c.FillPolygon(TPolygon{{30, 66}, {46, 62}, {46, 88}, {30, 84}}, Rgb(90, 170, 80, 0.6f));
    for (int s = -1; s <= 1; s += 2) {
        float ex = 28, ey = 75 + s * 13.0f;
        c.SoftDisc(ex, ey, 8.5f, 1.0f, Rgb(210, 190, 70));
        for (int r = 0; r < 3; ++r)
            c.SoftDisc(ex, ey, 7.5f - r * 2.2f, 0.8f, Rgb(190 - r * 30, 170 - r * 20, 60, 0.6f));
        c.SoftDisc(ex - 2.5f, ey, 3.2f, 0.8f, Rgb(20, 20, 24));
        c.SoftDisc(ex - 3.5f, ey - 1.2f, 1.2f, 0.5f, Rgb(255, 255, 255));
    }
    c.Line(9, 75, 20, 76, 1.6f, Rgb(110, 40, 40));
    c.SoftDisc(14, 70, 1.2f, 0.5f, Rgb(30, 60, 30));
    c.SoftDisc(14, 80, 1.2f, 0.5f, Rgb(30, 60, 30));
    // A dark rim keeps the green animal apart from meadows and gardens.
    TCanvas drawn(150, 150);
    drawn.SoftEllipse(79, 81, 54, 28, 8, Rgb(0, 0, 0, 0.35f));
    drawn.Draw(WithOutline(c, 2, Rgb(22, 40, 26, 0.9f)), 0, 0);
    // Shrunk about the centre so that, turned any way, it fits the 128-pixel
    // square the game keeps for the Chameleon at the end of a belt.
    TCanvas out(150, 150);
    out.Draw(drawn.Downscale(kChameleonShrunk, kChameleonShrunk), (150 - kChameleonShrunk) / 2,
             (150 - kChameleonShrunk) / 2);
    return out;
}

TCanvas PaintChamShot() {
    TCanvas c(32, 32);
    c.SoftDisc(16, 16, 9, 7, Rgb(120, 255, 120, 0.6f));
    c.SoftDisc(16, 16, 6, 2, Rgb(190, 255, 150));
    c.SoftDisc(14, 14, 2.5f, 2, Rgb(255, 255, 255));
    return c;
}

TCanvas PaintSpiderStrip() {
    const int s = 48, n = 20;
    TCanvas c(s * n, s);
    for (int f = 0; f < n; ++f) {
        TCanvas fr(s, s);
        // A breathing light behind the spider marks it as a bonus and keeps
        // the dark body readable over a dark picture.
        float breath = 0.5f + 0.5f * std::sin(2 * kPi * float(f) / float(n));
        fr.SoftDisc(24, 24, 13, 10, Rgb(255, 236, 170, 0.35f + 0.2f * breath));
        TPolygon ring;
        for (int i = 0; i <= 40; ++i) {
            float a = 2 * kPi * float(i) / 40.0f;
            ring.push_back({24 + 21.5f * std::cos(a), 24 + 21.5f * std::sin(a)});
        }
        fr.Polyline(ring, 1.2f, Rgb(255, 230, 150, 0.45f + 0.25f * breath));
        fr.SoftDisc(25, 27, 16, 6, Rgb(0, 0, 0, 0.3f));
        DrawSpider(fr, 24, 24, 22, float(f) / float(n), Rgb(70, 54, 60));
        c.Draw(fr, f * s, 0);
    }
    return c;
}

TCanvas PaintAmuletStrip() {
    const int s = 48, n = 40;
    TCanvas c(s * n, s);
    for (int f = 0; f < n; ++f) {
        float a = 2 * kPi * float(f) / float(n);
        float sx = std::cos(a);  // the disc spins about its vertical axis
        float rx = std::max(2.0f, 18.0f * std::abs(sx));
        float ox = float(f * s) + 24;
        TColor gold = sx >= 0 ? Rgb(232, 190, 80) : Rgb(190, 140, 60);
        c.SoftEllipse(ox + 2, 27, rx, 18, 4, Rgb(0, 0, 0, 0.3f));
        c.SoftEllipse(ox, 25, rx, 18, 1, Scale(gold, 0.7f));
        c.SoftEllipse(ox, 25, rx * 0.82f, 15, 1, gold);
        if (rx > 6) {
            c.SoftEllipse(ox, 25, rx * 0.42f, 8, 1, sx >= 0 ? Rgb(170, 30, 60) : Rgb(40, 120, 170));
            c.SoftEllipse(ox - rx * 0.15f, 22, rx * 0.15f, 3, 1.5f, Rgb(255, 255, 255, 0.7f));
        }
        c.Line(ox, 5, ox, 9, 3, Rgb(200, 170, 90));
        c.SoftDisc(ox, 4, 3, 1, Rgb(230, 200, 110));
        float glint = std::max(0.0f, std::sin(a * 2));
        c.FillPolygon(Star(ox + rx * 0.5f, 14, 7 * glint + 0.5f, 1, 4, 0), Rgb(255, 255, 240, glint));
    }
    return c;
}

TCanvas PaintSandGlassStrip() {
    const int s = 48, n = 20;
    TCanvas c(s * n, s);
    for (int f = 0; f < n; ++f) {
        float ox = float(f * s), t = float(f) / float(n);
        c.SoftEllipse(ox + 26, 44, 14, 3, 3, Rgb(0, 0, 0, 0.35f));
        TPolygon glass{{ox + 12, 7}, {ox + 36, 7}, {ox + 26, 24}, {ox + 36, 41}, {ox + 12, 41}, {ox + 22, 24}};
        c.FillPolygon(glass, Rgb(200, 230, 255, 0.35f));
        // Sand: the top empties while the bottom heap grows.
        float top = 8 + 14 * t;
        TPolygon sandTop{{ox + 12 + (top - 7) * 10 / 17, top}, {ox + 36 - (top - 7) * 10 / 17, top}, {ox + 24, 24}};
        if (t < 0.95f) c.FillPolygon(sandTop, Rgb(230, 190, 100));
        float heap = 4 + 12 * t;
        c.FillPolygon(TPolygon{{ox + 14, 40}, {ox + 34, 40}, {ox + 24, 40 - heap}}, Rgb(220, 176, 90));
        c.Line(ox + 24, 24, ox + 24, 40 - heap, 1.3f, Rgb(230, 190, 100));
        c.Polyline(TPolygon{{ox + 12, 7}, {ox + 22, 24}, {ox + 12, 41}}, 1.4f, Rgb(255, 255, 255, 0.6f));
        c.Polyline(TPolygon{{ox + 36, 7}, {ox + 26, 24}, {ox + 36, 41}}, 1.4f, Rgb(255, 255, 255, 0.6f));
        for (float y : {4.0f, 41.0f}) {
            c.FillPolygon(RoundRect(ox + 8, y, ox + 40, y + 4, 2), Rgb(120, 70, 30));
            c.Line(ox + 10, y + 1, ox + 38, y + 1, 1, Rgb(200, 150, 90));
        }
        c.Line(ox + 10, 8, ox + 10, 41, 2, Rgb(120, 70, 30));
        c.Line(ox + 38, 8, ox + 38, 41, 2, Rgb(120, 70, 30));
    }
    return c;
}

TCanvas PaintDropGrid() {
    // A fine lattice laid over the drop well while it renews.
    TCanvas c(112, 129);
    for (int x = 4; x < 112; x += 12) c.Line(float(x), 2, float(x), 127, 1, Rgb(160, 200, 255, 0.25f));
    for (int y = 4; y < 129; y += 12) c.Line(2, float(y), 110, float(y), 1, Rgb(160, 200, 255, 0.25f));
    return c;
}

TCanvas PaintDropBit() {
    TCanvas c(12, 12);
    c.SoftDisc(6, 6, 4, 2, Rgb(140, 220, 255, 0.9f));
    c.SoftDisc(5, 5, 1.5f, 1, Rgb(255, 255, 255));
    return c;
}

TCanvas PaintLevelCursor() {
    TCanvas c(40, 40);
    c.SoftDisc(20, 20, 14, 4, Rgb(255, 255, 255, 0.25f));
    for (int i = 0; i < 4; ++i) {
        float a = kPi / 2 * float(i);
        c.FillPolygon(TPolygon{{20 + std::cos(a) * 18, 20 + std::sin(a) * 18},
                               {20 + std::cos(a + 0.35f) * 10, 20 + std::sin(a + 0.35f) * 10},
                               {20 + std::cos(a - 0.35f) * 10, 20 + std::sin(a - 0.35f) * 10}},
                      Rgb(255, 255, 255, 0.95f));
    }
    c.SoftDisc(20, 20, 3, 1, Rgb(255, 255, 255));
    return c;
}

TCanvas PaintShadowVeil(int w, int h) {
    TCanvas c(w, h);
    c.FillRect(0, 0, w, h, [&](int x, int y) {
        float n = Fbm(x * 0.03f, y * 0.03f, 3, 404);
        return Mix(Rgb(16, 14, 24), Rgb(38, 32, 48), n);
    });
    return c;
}

TCanvas PaintShadowSpot() {
    // Stamped at every fragment's point of the scaled chapter picture; a
    // little larger than a scaled cell so the stamps join up.
    TCanvas c(16, 16);
    c.FillRect(0, 0, 16, 16, [](int x, int y) {
        float dx = std::max(0.0f, std::abs(x + 0.5f - 8) - 5), dy = std::max(0.0f, std::abs(y + 0.5f - 8) - 5);
        float d = std::hypot(dx, dy);
        return Rgb(255, 255, 255, 0.78f * (1 - SmoothStep(0, 3, d)));
    });
    return c;
}

TCanvas PaintHintWindow() {
    // Parchment balloon, 263 x 127, its tail's tip at 174,122.
    TCanvas c(263, 127);
    TPolygon body = RoundRect(4, 4, 258, 100, 16);
    TPolygon tail{{150, 96}, {174, 122}, {192, 96}};
    auto paper = [](int x, int y) {
        float n = Fbm(x * 0.04f, y * 0.04f, 4, 88);
        return Mix(Rgb(252, 240, 208), Rgb(226, 204, 160), n * 0.8f);
    };
    TPolygon sb = body, st = tail;
    for (TPointF& p : sb) {
        p.X += 3;
        p.Y += 3;
    }
    for (TPointF& p : st) {
        p.X += 3;
        p.Y += 3;
    }
    c.FillPolygon(sb, Rgb(0, 0, 0, 0.3f));
    c.FillPolygon(st, Rgb(0, 0, 0, 0.3f));
    c.FillPolygon(body, Rgb(120, 84, 40));
    c.FillPolygon(tail, Rgb(120, 84, 40));
    TPolygon inner = RoundRect(7, 7, 255, 97, 13);
    c.FillPolygon(inner, paper);
    c.FillPolygon(TPolygon{{154, 95}, {174, 117}, {188, 95}}, paper);
    return c;
}

TCanvas PaintSkillDropSection() {
    TCanvas c(64, 64);
    c.SoftEllipse(33, 54, 22, 5, 4, Rgb(0, 0, 0, 0.35f));
    c.FillPolygon(TPolygon{{12, 30}, {52, 30}, {48, 54}, {16, 54}}, Rgb(120, 80, 40));
    c.FillPolygon(TPolygon{{15, 33}, {49, 33}, {46, 51}, {18, 51}}, Rgb(40, 26, 16));
    c.FillPolygon(TPolygon{{32, 28}, {22, 16}, {28, 16}, {28, 4}, {36, 4}, {36, 16}, {42, 16}}, Rgb(140, 220, 255));
    c.Line(29, 6, 29, 15, 2, Rgb(255, 255, 255, 0.7f));
    return c;
}

TCanvas PaintSkillEconomyStrip() {
    const int s = 64, n = 30;
    TCanvas c(s * n, s);
    for (int f = 0; f < n; ++f) {
        float a = 2 * kPi * float(f) / float(n), sx = std::cos(a);
        float ox = float(f * s) + 32, rx = std::max(3.0f, 24.0f * std::abs(sx));
        c.SoftEllipse(ox + 2, 36, rx, 24, 4, Rgb(0, 0, 0, 0.3f));
        c.SoftEllipse(ox, 33, rx, 24, 1, Rgb(170, 120, 30));
        c.SoftEllipse(ox, 33, rx * 0.85f, 20, 1, Rgb(240, 196, 70));
        if (rx > 8) {
            c.FillPolygon(Star(ox, 33, 12, 5, 5, -kPi / 2), [&](int x, int) {
                return Mix(Rgb(255, 236, 150), Rgb(200, 140, 40), Clamp01((x - ox + rx) / (2 * rx)));
            });
        }
    }
    return c;
}

TCanvas PaintDecorFrame(const std::string& kind, int frame, int frames) {
    float t = float(frame) / float(frames);
    if (kind == "bird") {
        TCanvas c(48, 32);
        float wing = std::sin(2 * kPi * t) * 10;
        c.Polyline(TPolygon{{4, 14 - wing}, {14, 12 - wing * 0.3f}, {24, 16}, {34, 12 - wing * 0.3f}, {44, 14 - wing}},
                   2.6f, Rgb(40, 36, 50));
        c.SoftEllipse(24, 17, 4, 2.5f, 1, Rgb(40, 36, 50));
        return c;
    }
    if (kind == "star") {
        TCanvas c(24, 24);
        float k = 0.5f + 0.5f * std::sin(2 * kPi * t);
        c.SoftDisc(12, 12, 2 + 2 * k, 4, Rgb(255, 250, 220, 0.5f + 0.5f * k));
        c.FillPolygon(Star(12, 12, 4 + 7 * k, 1.0f, 4, 0), Rgb(255, 255, 240, 0.4f + 0.6f * k));
        return c;
    }
    if (kind == "smoke") {
        TCanvas c(48, 72);
        for (int i = 0; i < 5; ++i) {
            float u = std::fmod(t + float(i) / 5.0f, 1.0f);
            float y = 66 - u * 60, x = 24 + std::sin(u * 5 + float(i)) * 6 * u;
            c.SoftDisc(x, y, 4 + 9 * u, 6, Rgb(220, 220, 225, 0.45f * (1 - u)));
        }
        return c;
    }
    if (kind == "beam") {
        // The lighthouse lamp's sweep: a wedge of light turning about 120,60.
        TCanvas c(240, 120);
        float a = 2 * kPi * t;
        float dir = std::cos(a);  // seen from the side: the beam swings left and right
        float len = 110 * std::abs(dir) + 8;
        float sx = dir >= 0 ? 1.0f : -1.0f;
        TPolygon wedge{
            {120, 60}, {120 + sx * len, 60 - 18 * std::abs(dir) - 4}, {120 + sx * len, 60 + 18 * std::abs(dir) + 4}};
        c.FillPolygon(wedge, [&](int x, int) {
            float k = 1 - std::abs(float(x) - 120) / (len + 1);
            return Rgb(255, 244, 190, 0.55f * k);
        });
        c.SoftDisc(120, 60, 9, 8, Rgb(255, 250, 210, 0.9f));
        return c;
    }
    if (kind == "butterfly") {
        TCanvas c(32, 32);
        float open = std::abs(std::cos(2 * kPi * t)) * 11 + 2;
        c.SoftEllipse(16 - open * 0.6f, 13, open * 0.6f, 8, 1, Rgb(240, 150, 60));
        c.SoftEllipse(16 + open * 0.6f, 13, open * 0.6f, 8, 1, Rgb(240, 150, 60));
        c.SoftEllipse(16 - open * 0.5f, 21, open * 0.45f, 5, 1, Rgb(200, 90, 50));
        c.SoftEllipse(16 + open * 0.5f, 21, open * 0.45f, 5, 1, Rgb(200, 90, 50));
        c.SoftEllipse(16, 17, 1.5f, 8, 0.5f, Rgb(40, 30, 30));
        return c;
    }
    TCanvas c(24, 24);  // firefly
    float k = 0.5f + 0.5f * std::sin(2 * kPi * t);
    c.SoftDisc(12, 12, 2 + 5 * k, 6, Rgb(220, 255, 120, 0.35f + 0.4f * k));
    c.SoftDisc(12, 12, 2, 1, Rgb(255, 255, 200));
    return c;
}

}  // namespace forge
