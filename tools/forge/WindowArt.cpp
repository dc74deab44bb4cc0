#include "WindowArt.h"

#include <cmath>

#include "Art.h"

namespace forge {

namespace {

constexpr float kPi = 3.14159265f;

TPolygon RoundRect(float x0, float y0, float x1, float y1, float r) {
    TPolygon p;
    auto arc = [&](float cx, float cy, float a0) {
        for (int i = 0; i <= 8; ++i) {
            float a = a0 + kPi / 2 * float(i) / 8.0f;
            p.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
        }
    };
    arc(x1 - r, y0 + r, -kPi / 2);
    arc(x1 - r, y1 - r, 0);
    arc(x0 + r, y1 - r, kPi / 2);
    arc(x0 + r, y0 + r, kPi);
    return p;
}

TPolygon Shifted(TPolygon p, float dx, float dy) {
    for (TPointF& q : p) {
        q.X += dx;
        q.Y += dy;
    }
    return p;
}

TPolygon Closed(TPolygon p) {
    if (!p.empty()) p.push_back(p.front());
    return p;
}

// The dark carved wood of the play screen's frame.
TColor Wood(int x, int y) {
    float g = Fbm(x * 0.01f, y * 0.12f, 4, 31);
    float ring = 0.5f + 0.5f * std::sin(x * 0.05f + g * 9.0f);
    float fine = Fbm(x * 0.02f, y * 0.6f, 2, 32);
    return Mix(Rgb(52, 32, 20), Rgb(110, 72, 44), 0.4f * ring + 0.4f * g + 0.2f * fine);
}

// Old paper, lighter in the middle.
TColor Parchment(int x, int y, int w, int h, uint32_t seed) {
    float n = Fbm(x * 0.018f, y * 0.018f, 5, seed);
    float fine = Fbm(x * 0.15f, y * 0.15f, 2, seed + 1);
    float dx = (x + 0.5f) / float(w) - 0.5f, dy = (y + 0.5f) / float(h) - 0.5f;
    float edge = SmoothStep(0.18f, 0.5f, std::sqrt(dx * dx + dy * dy));
    TColor c = Mix(Rgb(250, 238, 208), Rgb(222, 196, 148), 0.55f * n + 0.15f * fine);
    return Mix(c, Rgb(196, 160, 104), 0.45f * edge);
}

// Polished brass along a vertical gradient t (0 top, 1 bottom).
TColor Brass(float t, float n) {
    TColor hi = Rgb(246, 214, 132), mid = Rgb(196, 150, 70), lo = Rgb(118, 80, 32);
    TColor c = t < 0.35f ? Mix(hi, mid, t / 0.35f) : Mix(mid, lo, (t - 0.35f) / 0.65f);
    return Mix(c, Rgb(255, 240, 190), 0.15f * n);
}

// A soft drop shadow of a shape, painted first.
void Shadow(TCanvas& c, const TPolygon& shape, float dx, float dy, int blur, float alpha) {
    TCanvas s(c.Width(), c.Height());
    s.FillPolygon(Shifted(shape, dx, dy), Rgb(0, 0, 0, alpha));
    s.Blur(blur, 2);
    c.Draw(s, 0, 0);
}

void Stud(TCanvas& c, float x, float y, float r) {
    c.SoftDisc(x + 1, y + 1.5f, r, 1.5f, Rgb(0, 0, 0, 0.45f));
    c.SoftDisc(x, y, r, 1, Rgb(150, 108, 44));
    c.SoftDisc(x - r * 0.2f, y - r * 0.25f, r * 0.7f, 1, Rgb(226, 186, 100));
    c.SoftDisc(x - r * 0.35f, y - r * 0.4f, r * 0.25f, 1, Rgb(255, 246, 210, 0.9f));
}

// A brass rim around a rounded rectangle.
void BrassRim(TCanvas& c, float x0, float y0, float x1, float y1, float r, float width) {
    TPolygon outer = RoundRect(x0, y0, x1, y1, r);
    TPolygon inner = RoundRect(x0 + width, y0 + width, x1 - width, y1 - width, std::max(1.0f, r - width));
    TPolygon ring = outer;
    ring.push_back(outer.front());
    for (auto it = inner.rbegin(); it != inner.rend(); ++it) ring.push_back(*it);
    ring.push_back(inner.back());
    c.FillPolygon(ring, [&](int x, int y) {
        float t = Clamp01((y - y0) / std::max(1.0f, y1 - y0));
        return Brass(t, Fbm(x * 0.1f, y * 0.1f, 2, 77));
    });
    c.Polyline(Closed(inner), 1.0f, Rgb(70, 44, 18, 0.8f));
    c.Polyline(Closed(outer), 1.0f, Rgb(60, 36, 14, 0.7f));
}

TCanvas PaintPanelInset(int w, int h, uint32_t seed) {
    TCanvas c(w, h);
    TPolygon body = RoundRect(0, 0, float(w), float(h), 10);
    c.FillPolygon(body, [&](int x, int y) { return Parchment(x, y, w, h, seed); });
    // Sunk into the wood: dark upper and left inner edge.
    TCanvas edge(w, h);
    edge.Polyline(Closed(RoundRect(1, 1, float(w) - 1, float(h) - 1, 9)), 3.0f, Rgb(60, 34, 14, 0.55f));
    edge.Blur(2, 2);
    c.Draw(edge, 0, 0);
    return c;
}

}  // namespace

TCanvas PaintDialog(int w, int h) {
    TCanvas c(w, h);
    const float m = 6;  // room for the shadow
    TPolygon frame = RoundRect(m, m - 2, float(w) - m, float(h) - m - 2, 18);
    Shadow(c, frame, 2, 5, 4, 0.55f);
    c.FillPolygon(frame, Wood);
    BrassRim(c, m, m - 2, float(w) - m, float(h) - m - 2, 18, 4);
    // The parchment inside, below the title band.
    const float top = 46;
    TPolygon paper = RoundRect(m + 12, top, float(w) - m - 12, float(h) - m - 16, 10);
    TCanvas inner(w, h);
    inner.FillPolygon(paper, [&](int x, int y) { return Parchment(x, y, w, h, uint32_t(w * 31 + h)); });
    c.Draw(inner, 0, 0);
    TCanvas edge(w, h);
    edge.Polyline(Closed(paper), 3.0f, Rgb(50, 28, 10, 0.6f));
    edge.Blur(2, 2);
    c.Draw(edge, 0, 0);
    // A thin brass line under the title band and a stud in every corner.
    c.Line(m + 26, top - 6, float(w) - m - 26, top - 6, 1.6f, Rgb(214, 172, 90, 0.75f));
    for (float x : {m + 12.0f, float(w) - m - 12.0f})
        for (float y : {m + 10.0f, float(h) - m - 14.0f}) Stud(c, x, y, 4.5f);
    return c;
}

TCanvas PaintButton(int w, int h, int state) {
    TCanvas c(w, h);
    float x0 = 3, y0 = 2, x1 = float(w) - 3, y1 = float(h) - 5;
    float r = (y1 - y0) * 0.5f;
    TPolygon pill = RoundRect(x0, y0, x1, y1, r);
    if (state != 2) Shadow(c, pill, 1, 3, 2, 0.5f);
    float dy = state == 2 ? 1.5f : 0;
    pill = Shifted(pill, 0, dy);
    c.FillPolygon(pill, [&](int x, int y) {
        float t = Clamp01((y - y0 - dy) / (y1 - y0));
        TColor top = state == 1 ? Rgb(150, 98, 56) : state == 2 ? Rgb(70, 42, 24) : Rgb(118, 76, 44);
        TColor bottom = state == 1 ? Rgb(86, 50, 26) : state == 2 ? Rgb(52, 30, 16) : Rgb(62, 36, 20);
        TColor col = Mix(top, bottom, t);
        return Mix(col, Wood(x + 400, y), 0.35f);
    });
    BrassRim(c, x0, y0 + dy, x1, y1 + dy, r, 3);
    // A gloss on the upper half, brighter under the mouse.
    TPolygon gloss = RoundRect(x0 + 8, y0 + 4 + dy, x1 - 8, y0 + (y1 - y0) * 0.48f + dy, r * 0.6f);
    c.FillPolygon(gloss, [&](int, int y) {
        float t = Clamp01((y - y0 - 4 - dy) / ((y1 - y0) * 0.44f));
        return Rgb(255, 236, 200, (state == 1 ? 0.26f : 0.14f) * (1 - t));
    });
    if (state == 1) {
        TCanvas glow(w, h);
        glow.Polyline(Closed(RoundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 2)), 2.0f, Rgb(255, 220, 120, 0.6f));
        glow.Blur(2, 2);
        c.Draw(glow, 0, 0);
    }
    return c;
}

namespace {

TCanvas PaintBox(bool round, int state) {
    // state: 0 empty, 1 empty under the mouse, 2 ticked
    const int s = 24;
    TCanvas c(s, s);
    TPolygon box = round ? RoundRect(3, 3, 21, 21, 9) : RoundRect(3, 3, 21, 21, 4);
    Shadow(c, box, 1, 1.5f, 1, 0.4f);
    c.FillPolygon(box, [&](int x, int y) {
        return Mix(Rgb(255, 248, 228), Rgb(222, 200, 160),
                   Clamp01((y - 3) / 18.0f) * 0.7f + 0.1f * Fbm(x * 0.3f, y * 0.3f, 2, 5));
    });
    c.Polyline(Closed(box), 1.6f, state == 1 ? Rgb(200, 110, 30) : Rgb(110, 70, 30));
    if (state == 1) c.Polyline(Closed(box), 3.5f, Rgb(255, 200, 90, 0.3f));
    if (state == 2) {
        if (round) {
            c.SoftDisc(12, 12, 4.5f, 1, Rgb(150, 60, 20));
            c.SoftDisc(11, 11, 1.6f, 1, Rgb(255, 210, 160, 0.8f));
        } else {
            c.Polyline(TPolygon{{7, 12.5f}, {10.5f, 16.5f}, {18, 6.5f}}, 3.0f, Rgb(150, 60, 20));
        }
    }
    return c;
}

// A small round brass button with an arrow; dir 0 left, 1 right, 2 up, 3 down.
TCanvas PaintArrowButton(int dir, int state) {
    const int s = 24;
    TCanvas c(s, s);
    c.SoftDisc(12.5f, 13.5f, 10, 1.5f, Rgb(0, 0, 0, 0.4f));
    float dy = state == 2 ? 1 : 0;
    c.FillPolygon(RoundRect(2, 2 + dy, 22, 22 + dy, 10), [&](int, int y) {
        return Brass(Clamp01((y - 2 - dy) / 20.0f) * (state == 2 ? 1.0f : 0.85f), state == 1 ? 0.8f : 0.0f);
    });
    c.Polyline(Closed(RoundRect(2, 2 + dy, 22, 22 + dy, 10)), 1.0f, Rgb(80, 50, 20, 0.8f));
    float a = dir == 0 ? kPi : dir == 1 ? 0 : dir == 2 ? -kPi / 2 : kPi / 2;
    TPolygon tri;
    for (float k : {0.0f, 2.3f, -2.3f}) tri.push_back({12 + std::cos(a + k) * 6, 12 + dy + std::sin(a + k) * 6});
    c.FillPolygon(tri, state == 1 ? Rgb(110, 40, 10) : Rgb(70, 40, 16));
    return c;
}

TCanvas PaintTrack(int w, int h, bool vertical) {
    TCanvas c(w, h);
    float cx = w * 0.5f, cy = h * 0.5f;
    TPolygon groove =
        vertical ? RoundRect(cx - 4, 24, cx + 4, float(h) - 24, 4) : RoundRect(24, cy - 4, float(w) - 24, cy + 4, 4);
    c.FillPolygon(groove, Rgb(60, 36, 18, 0.9f));
    c.Polyline(Closed(groove), 1.0f, Rgb(255, 240, 200, 0.35f));
    return c;
}

TCanvas PaintThumb(int w, int h, bool over) {
    TCanvas c(w, h);
    TPolygon body = RoundRect(2, 2, float(w) - 2, float(h) - 2, std::min(w, h) * 0.35f);
    Shadow(c, body, 1, 1.5f, 1, 0.45f);
    c.FillPolygon(body, [&](int x, int y) {
        return Brass(Clamp01(float(y) / float(h)), over ? 0.9f : 0.2f * Fbm(x * 0.2f, y * 0.2f, 2, 4));
    });
    c.Polyline(Closed(body), 1.0f, Rgb(80, 50, 20, 0.9f));
    // Grip lines across the thumb.
    bool tall = h > w;
    for (int k = -1; k <= 1; ++k) {
        if (tall)
            c.Line(5, h * 0.5f + k * 4, w - 5.0f, h * 0.5f + k * 4, 1.0f, Rgb(90, 60, 20, 0.7f));
        else
            c.Line(w * 0.5f + k * 4, 6, w * 0.5f + k * 4, h - 6.0f, 1.0f, Rgb(90, 60, 20, 0.7f));
    }
    return c;
}

TCanvas PaintWell(int w, int h, uint32_t seed) {
    // A sunken parchment field (grid and edit backgrounds).
    TCanvas c(w, h);
    TPolygon body = RoundRect(0, 0, float(w), float(h), 7);
    c.FillPolygon(body, [&](int x, int y) { return Mix(Parchment(x, y, w, h, seed), Rgb(255, 252, 240), 0.35f); });
    TCanvas edge(w, h);
    edge.Polyline(Closed(RoundRect(1, 1, float(w) - 1, float(h) - 1, 6)), 2.5f, Rgb(90, 56, 24, 0.8f));
    edge.Blur(1, 2);
    c.Draw(edge, 0, 0);
    return c;
}

TCanvas PaintGridCursor(int w, int h) {
    TCanvas c(w, h);
    TPolygon bar = RoundRect(1, 1, float(w) - 1, float(h) - 1, 6);
    c.FillPolygon(bar, [&](int, int y) {
        return Mix(Rgb(240, 190, 100, 0.75f), Rgb(214, 150, 60, 0.75f), Clamp01(float(y) / float(h)));
    });
    c.Polyline(Closed(bar), 1.0f, Rgb(150, 90, 30, 0.9f));
    return c;
}

TCanvas PaintProgressFrame(int w, int h) {
    TCanvas c(w, h);
    TPolygon frame = RoundRect(1, 1, float(w) - 1, float(h) - 1, h * 0.5f - 1);
    c.FillPolygon(frame, Rgb(30, 18, 10, 0.9f));
    BrassRim(c, 1, 1, float(w) - 1, float(h) - 1, h * 0.5f - 1, 3);
    return c;
}

TCanvas PaintProgressStep(int w, int h) {
    TCanvas c(w, h);
    c.FillPolygon(RoundRect(0.5f, 0, float(w) - 1.5f, float(h), 2.5f), [&](int, int y) {
        float t = float(y) / float(h);
        return Mix(Rgb(255, 230, 140), Rgb(220, 120, 30), t);
    });
    c.Line(2, 3, float(w) - 3, 3, 1.0f, Rgb(255, 255, 230, 0.7f));
    return c;
}

// The hint balloon: parchment with a tail whose tip lies at the anchor the
// game places on the hinted point. tailDown: tip at (174, 122) below the
// body; otherwise tip at (174, 4) above it. Text starts 20 rows into a
// body with the tail below, 64 rows into one with the tail above.
TCanvas PaintBalloon(bool tailDown) {
    const int w = 263;
    const int h = tailDown ? 127 : 152;
    TCanvas c(w, h);
    float top = tailDown ? 4 : 44, bottom = tailDown ? 100 : 148;
    TPolygon body = RoundRect(4, top, 258, bottom, 16);
    TPolygon tail = tailDown ? TPolygon{{146, bottom - 4}, {174, 122}, {194, bottom - 4}}
                             : TPolygon{{146, top + 4}, {174, 4}, {194, top + 4}};
    Shadow(c, body, 2, 3, 2, 0.35f);
    Shadow(c, tail, 2, 3, 2, 0.35f);
    c.FillPolygon(body, Rgb(120, 78, 36));
    c.FillPolygon(tail, Rgb(120, 78, 36));
    auto paper = [&](int x, int y) { return Parchment(x, y, w, h, 88); };
    c.FillPolygon(RoundRect(7, top + 3, 255, bottom - 3, 13), paper);
    TPolygon innerTail = tailDown ? TPolygon{{151, bottom - 5}, {174, 117}, {189, bottom - 5}}
                                  : TPolygon{{151, top + 5}, {174, 9}, {189, top + 5}};
    c.FillPolygon(innerTail, paper);
    return c;
}

TCanvas PaintSkillSlot() {
    const int w = 152, h = 126;
    TCanvas c(w, h);
    TPolygon body = RoundRect(4, 4, float(w) - 4, float(h) - 4, 14);
    c.FillPolygon(body, [&](int x, int y) {
        float d = std::hypot(x - 76.0f, y - 66.0f) / 84.0f;
        return Mix(Rgb(90, 58, 32), Rgb(40, 24, 14), Clamp01(d));
    });
    BrassRim(c, 4, 4, float(w) - 4, float(h) - 4, 14, 3);
    return c;
}

// The selection frame around a skill slot; state 0 idle, 1 under the
// mouse, 2 chosen.
TCanvas PaintSkillCursor(int state) {
    const int w = 160, h = 134;
    TCanvas c(w, h);
    if (state == 0) return c;
    TCanvas glow(w, h);
    glow.Polyline(Closed(RoundRect(5, 5, float(w) - 5, float(h) - 5, 16)), state == 2 ? 5.0f : 3.0f,
                  state == 2 ? Rgb(255, 214, 90, 0.95f) : Rgb(255, 236, 180, 0.6f));
    glow.Blur(2, 2);
    c.Draw(glow, 0, 0);
    if (state == 2) c.Polyline(Closed(RoundRect(5, 5, float(w) - 5, float(h) - 5, 16)), 2.0f, Rgb(255, 240, 170));
    return c;
}

// A screen background of wood with parchment panels at the given places.
struct TPanelPlace {
    int X, Y, W, H;
};
TCanvas PaintWoodScreen(const std::vector<TPanelPlace>& panels) {
    TCanvas c(800, 600);
    c.FillRect(0, 0, 800, 600, Wood);
    // A darker vignette keeps the eye on the panels.
    c.FillRect(0, 0, 800, 600, [](int x, int y) {
        float dx = (x - 400) / 400.0f, dy = (y - 300) / 300.0f;
        return Rgb(0, 0, 0, 0.45f * SmoothStep(0.5f, 1.5f, dx * dx + dy * dy));
    });
    for (const TPanelPlace& p : panels) {
        Shadow(c, RoundRect(float(p.X), float(p.Y), float(p.X + p.W), float(p.Y + p.H), 12), 2, 3, 3, 0.6f);
        BrassRim(c, float(p.X - 4), float(p.Y - 4), float(p.X + p.W + 4), float(p.Y + p.H + 4), 14, 4);
        c.Draw(PaintPanelInset(p.W, p.H, uint32_t(p.X * 7 + p.Y)), p.X, p.Y);
    }
    return c;
}

// A painting fitted to 800 x 600, its middle kept.
TCanvas Fit(const TCanvas& painting) {
    float k = std::max(800.0f / painting.Width(), 600.0f / painting.Height());
    int w = std::max(800, int(std::ceil(painting.Width() * k))),
        h = std::max(600, int(std::ceil(painting.Height() * k)));
    TCanvas big = (w == painting.Width() && h == painting.Height()) ? painting : [&] {
        if (k >= 1) {
            TCanvas up(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    up.At(x, y) = painting.At(std::min(painting.Width() - 1, int(x / k)),
                                              std::min(painting.Height() - 1, int(y / k)));
            return up;
        }
        return painting.Downscale(w, h);
    }();
    return big.Crop((w - 800) / 2, (h - 600) / 2, 800, 600);
}

void Outlined(TCanvas& c, const TBitmapFont& font, int x, int y, const std::string& text, TColor fill, TColor rim,
              int width) {
    TCanvas layer(c.Width(), c.Height());
    DrawText(layer, font, x, y, text, rim);
    TCanvas grown(c.Width(), c.Height());
    for (int dy = -width; dy <= width; ++dy)
        for (int dx = -width; dx <= width; ++dx)
            if (dx * dx + dy * dy <= width * width + 1) grown.Draw(layer, dx, dy);
    grown.Blur(1, 1);
    TCanvas shadow(c.Width(), c.Height());
    shadow.Draw(grown, 3, 4, 0.7f);
    shadow.Blur(3, 2);
    c.Draw(shadow, 0, 0);
    c.Draw(grown, 0, 0);
    DrawText(c, font, x, y, text, fill);
}

TCanvas PaintTitle(const TWindowArtInput& in) {
    TCanvas c = in.TitlePainting ? Fit(*in.TitlePainting) : TCanvas(800, 600, Rgb(60, 80, 110));
    // Soften the left side where the name stands and darken the right where
    // the menu board hangs.
    c.FillRect(0, 0, 800, 600, [](int x, int y) {
        float k = SmoothStep(420, 720, float(x)) * 0.35f;
        float v = SmoothStep(0.4f, 1.4f, std::pow((x - 400) / 400.0f, 2.0f) + std::pow((y - 300) / 300.0f, 2.0f));
        return Rgb(10, 6, 4, std::min(0.8f, k + 0.5f * v));
    });
    // The menu board.
    TPolygon board = RoundRect(548, 150, 788, 566, 22);
    Shadow(c, board, 4, 8, 6, 0.6f);
    c.FillPolygon(board, Wood);
    BrassRim(c, 548, 150, 788, 566, 22, 5);
    for (float x : {566.0f, 770.0f})
        for (float y : {166.0f, 550.0f}) Stud(c, x, y, 5);
    if (in.HugeFont) {
        const std::string name = "Moswick";
        int w = in.HugeFont->TextWidth(name);
        int x = 290 - w / 2, y = 70;
        Outlined(c, *in.HugeFont, x, y, name, Rgb(255, 230, 150), Rgb(60, 30, 10), 3);
        // A brass flourish under the name.
        c.Line(float(x + 10), float(y + in.HugeFont->Height + 8), float(x + w - 10), float(y + in.HugeFont->Height + 8),
               2.5f, Rgb(240, 200, 110, 0.9f));
        c.SoftDisc(float(x + w / 2), float(y + in.HugeFont->Height + 8), 5, 1, Rgb(250, 220, 130));
    }
    return c;
}

TCanvas PaintLoading(const TWindowArtInput& in) {
    TCanvas c = in.TitlePainting ? Fit(*in.TitlePainting) : TCanvas(800, 600, Rgb(60, 80, 110));
    c.Blur(3, 2);
    c.FillRect(0, 0, 800, 600,
               [](int, int y) { return Rgb(12, 8, 4, 0.35f + 0.45f * SmoothStep(250, 600, float(y))); });
    if (in.HugeFont) {
        int w = in.HugeFont->TextWidth("Moswick");
        Outlined(c, *in.HugeFont, 400 - w / 2, 200, "Moswick", Rgb(255, 230, 150), Rgb(60, 30, 10), 3);
    }
    return c;
}

TCanvas Frame(int w, int h) {
    TCanvas c(w + 16, h + 16);
    BrassRim(c, 0, 0, float(w + 16), float(h + 16), 8, 8);
    return c;
}

// The pictures of the help pages, from the game's own art.
TCanvas HelpBack() {
    TCanvas c(300, 412);
    c.FillPolygon(RoundRect(0, 0, 300, 412, 12),
                  [](int x, int y) { return Mix(Parchment(x, y, 300, 412, 9), Rgb(255, 250, 236), 0.3f); });
    c.Polyline(Closed(RoundRect(1, 1, 299, 411, 11)), 1.5f, Rgb(150, 110, 60, 0.7f));
    return c;
}

TCanvas Frame0(const TCanvas& strip, int frames) {
    int fw = strip.Width() / frames;
    return strip.Crop(0, 0, fw, strip.Height());
}

TCanvas HelpPage(int page, const TWindowArtInput& in) {
    TCanvas c = HelpBack();
    const std::vector<TShape>& shapes = *in.Shapes;
    auto shape = [&](size_t i, int x, int y) {
        if (i < shapes.size()) c.Draw(PaintShape(shapes[i], int(i)), x, y);
    };
    switch (page) {
        case 1: {
            // A layer half restored: the painting through some fragments,
            // marks on the rest, and a piece on its way.
            TCanvas scene =
                in.TitlePainting ? in.TitlePainting->Downscale(280, 205) : TCanvas(280, 205, Rgb(90, 120, 160));
            TCanvas faded = scene;
            faded.FillRect(0, 0, 280, 205, [](int, int) { return Rgb(200, 196, 186, 0.72f); });
            for (int k = 0; k < 3; ++k)
                for (int r = 0; r < 4; ++r) {
                    int x = 40 + k * 40, y = 40 + r * 40;
                    if ((k + r) % 3 != 0) faded.Draw(scene.Crop(x, y, 40, 40), x, y);
                    faded.Polyline(TPolygon{{float(x), float(y)},
                                            {float(x + 40), float(y)},
                                            {float(x + 40), float(y + 40)},
                                            {float(x), float(y + 40)},
                                            {float(x), float(y)}},
                                   1.0f, Rgb(255, 255, 255, 0.55f));
                }
            c.Draw(Frame(280, 205), 2, 10);
            c.Draw(faded, 10, 18);
            shape(3, 160, 240);
            shape(7, 40, 270);
            c.Draw(PaintCursorStrip().Crop(0, 0, 41, 40), 200, 262);
            break;
        }
        case 2: {
            for (size_t i = 0; i < 6 && i < shapes.size(); ++i)
                shape(i * 4 % shapes.size(), 16 + int(i % 3) * 92, 12 + int(i / 3) * 90);
            TCanvas cham = PaintChameleon();
            c.Draw(cham.Downscale(cham.Width() * 3 / 4, cham.Height() * 3 / 4), 20, 196);
            TCanvas drop = PaintDropGrid();
            c.Draw(drop, 300 - drop.Width() - 20, 412 - drop.Height() - 20);
            break;
        }
        case 3: {
            TCanvas spider = Frame0(PaintSpiderStrip(), 20);
            c.Draw(spider, 30, 40);
            // The big spider is the small one grown and reddened, as in play.
            TCanvas bigger(64, 64);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) bigger.At(x, y) = spider.At(x * 48 / 64, y * 48 / 64);
            bigger.FillRect(0, 0, 64, 64, [&](int x, int y) { return Rgb(150, 30, 20, bigger.At(x, y).A * 0.45f); });
            c.Draw(bigger, 22, 118);
            c.Draw(Frame0(PaintAmuletStrip(), 40), 30, 220);
            c.Draw(Frame0(PaintSandGlassStrip(), 20), 30, 300);
            break;
        }
        default: {
            TCanvas art = PaintArtefact(in.HelpQuest.empty() ? "Sun" : in.HelpQuest);
            c.Draw(art, 150 - art.Width() / 2, 24);
            c.Draw(PaintSkillDropSection(), 30, 190);
            c.Draw(Frame0(PaintSandGlassStrip(), 20), 120, 196);
            c.Draw(Frame0(PaintSkillEconomyStrip(), 30), 200, 190);
            TCanvas cham = PaintChameleon();
            c.Draw(cham.Downscale(96, 96), 30, 290);
            c.Draw(Frame0(PaintAmuletStrip(), 40), 160, 310);
            break;
        }
    }
    return c;
}

}  // namespace

std::vector<TWindowPicture> PaintWindowArt(const TWindowArtInput& in) {
    std::vector<TWindowPicture> out;
    auto add = [&](const std::string& name, TCanvas c) { out.push_back(TWindowPicture{name, std::move(c)}); };
    // The loading screen first: the game loads its pictures before all others.
    add("LoadingBack.jpg", PaintLoading(in));
    add("ProgressFrame.png", PaintProgressFrame(400, 32));
    add("ProgressStep.png", PaintProgressStep(12, 16));
    add("TitleBack.jpg", PaintTitle(in));
    // The between-levels window: the chapter page on the left with the
    // picture's frame, the two pages on the right and the economy strip.
    TCanvas between =
        PaintWoodScreen({{24, 64, 392, 480}, {440, 64, 336, 266}, {440, 338, 336, 64}, {440, 410, 336, 134}});
    between.Draw(Frame(in.ChapterWidth, in.ChapterHeight), 40 - 8, 104 - 8);
    between.FillRect(40, 104, 40 + in.ChapterWidth, 104 + in.ChapterHeight, [](int, int) { return Rgb(30, 20, 14); });
    add("BetweenBack.jpg", between);
    add("WinSmall.png", PaintDialog(400, 210));
    add("WinMedium.png", PaintDialog(440, 260));
    add("WinMenu.png", PaintDialog(340, 410));
    add("WinLarge.png", PaintDialog(520, 450));
    add("WinSkills.png", PaintDialog(560, 520));
    add("WinHelp.png", PaintDialog(720, 540));
    const char* states[] = {"", "Over", "Down"};
    for (int s = 0; s < 3; ++s) {
        add(std::string("Button") + states[s] + ".png", PaintButton(200, 44, s));
        add(std::string("ButtonSmall") + states[s] + ".png", PaintButton(130, 38, s));
        add(std::string("PanelButton") + states[s] + ".png", PaintButton(112, 40, s));
        add(std::string("SliderLeft") + states[s] + ".png", PaintArrowButton(0, s));
        add(std::string("SliderRight") + states[s] + ".png", PaintArrowButton(1, s));
        add(std::string("ScrollUp") + states[s] + ".png", PaintArrowButton(2, s));
        add(std::string("ScrollDown") + states[s] + ".png", PaintArrowButton(3, s));
    }
    add("CheckBox.png", PaintBox(false, 0));
    add("CheckBoxOver.png", PaintBox(false, 1));
    add("CheckBoxOn.png", PaintBox(false, 2));
    add("Radio.png", PaintBox(true, 0));
    add("RadioOver.png", PaintBox(true, 1));
    add("RadioOn.png", PaintBox(true, 2));
    add("SliderTrack.png", PaintTrack(240, 28, false));
    add("SliderThumb.png", PaintThumb(20, 24, false));
    add("SliderThumbOver.png", PaintThumb(20, 24, true));
    add("ScrollTrack.png", PaintTrack(24, 256, true));
    add("ScrollTrackTall.png", PaintTrack(24, 312, true));
    add("ScrollThumb.png", PaintThumb(20, 28, false));
    add("ScrollThumbOver.png", PaintThumb(20, 28, true));
    add("GridBack.png", PaintWell(412, 256, 61));
    add("GridBackTall.png", PaintWell(412, 312, 62));
    add("GridCursor.png", PaintGridCursor(400, 28));
    add("Edit.png", PaintWell(300, 36, 63));
    TCanvas caret(2, 20, Rgb(90, 40, 10));
    add("Caret.png", caret);
    add("SkillSlot.png", PaintSkillSlot());
    add("SkillCursor.png", PaintSkillCursor(0));
    add("SkillCursorOver.png", PaintSkillCursor(1));
    add("SkillCursorOn.png", PaintSkillCursor(2));
    add("HintWindowRight.png", PaintBalloon(true));
    add("HintWindowRightTop.png", PaintBalloon(false));
    for (int p = 1; p <= 4; ++p) add("HelpPage" + std::to_string(p) + ".png", HelpPage(p, in));
    return out;
}

}  // namespace forge
