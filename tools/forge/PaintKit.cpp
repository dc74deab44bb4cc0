#include "PaintKit.h"

#include <cmath>

namespace forge {

void Protect(TObjects& objects, const std::string& name, float x0, float y0, float x1, float y1) {
    objects.push_back(TProtected{name, TPolygon{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}});
}

void ProtectDisc(TObjects& objects, const std::string& name, float cx, float cy, float r) {
    TPolygon p;
    for (int i = 0; i < 24; ++i) {
        float a = 2 * kPi * float(i) / 24.0f;
        p.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
    }
    objects.push_back(TProtected{name, p});
}

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

// A ridge across the picture: its top follows a fractal line; fills down to
// the bottom with the colour, textured and shaded toward the base.
void Ridge(TCanvas& c, float base, float amp, float freq, TColor top, TColor bottom, uint32_t seed, float detail,
           float snow) {
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

void Pine(TCanvas& c, float x, float y, float hgt, TColor col, float snow) {
    // A fir: a short trunk under five tiers of drooping boughs, each tier's
    // lower edge ragged with branch tips, lit from the left; snow lies on
    // the upper part of every tier, not over the whole tree.
    const float w = hgt * 0.32f;
    c.Line(x, y, x, y - hgt * 0.2f, std::max(1.0f, hgt * 0.05f), Rgb(70, 46, 30));
    const int tiers = 5;
    for (int i = 0; i < tiers; ++i) {
        const float t = float(i) / float(tiers - 1);
        const float base = y - hgt * (0.1f + 0.12f * float(i));
        const float apex = base - hgt * (0.3f - 0.04f * t);
        const float bw = w * (1 - 0.62f * t);
        TPolygon tier{{x, apex}};
        const int tips = std::max(3, int(bw / 3));
        for (int k = 0; k <= tips * 2; ++k) {
            // From the right tip to the left one: every second point a tip
            // hanging down, the others tucked up between them.
            const float u = float(k) / float(tips * 2);
            const float px = x + bw - 2 * bw * u;
            const float tuck = (k % 2) ? hgt * (0.035f + 0.015f * Hash01(k, i, 97)) : 0.0f;
            tier.push_back({px, base - tuck + hgt * 0.02f * std::sin(u * kPi)});
        }
        c.FillPolygon(tier, [&](int px, int py) {
            const float side = (float(px) + 0.5f - x) / std::max(1.0f, bw);
            const float n = Fbm(px * 0.25f, py * 0.25f, 2, 98 + uint32_t(i));
            return Scale(col, (side < 0 ? 1.12f : 0.8f) * (0.9f + 0.2f * n));
        });
        if (snow <= 0) continue;
        // The snow cap: from the apex down the slopes to a wavy edge.
        TPolygon cap{{x, apex - 0.5f}};
        const float capDrop = 0.78f;
        const int waves = 6;
        for (int k = 0; k <= waves; ++k) {
            const float u = float(k) / float(waves);
            const float px = x + bw * capDrop * (1 - 2 * u);
            const float py = apex + (base - apex) * capDrop * (0.9f + 0.12f * ((k % 2) ? 1.0f : 0.0f));
            cap.push_back({px, py});
        }
        c.FillPolygon(cap, [&](int px, int) {
            const bool lit = float(px) + 0.5f < x + bw * 0.1f;
            return WithAlpha(lit ? Rgb(250, 252, 255) : Rgb(206, 216, 240), snow);
        });
    }
}

void Woodland(TCanvas& c, float top, float bottom, const std::vector<TColor>& leaves, TColor haze, float size,
              uint32_t seed) {
    const int w = c.Width();
    const int rows = std::max(2, int((bottom - top) / (size * 0.3f)));
    for (int row = 0; row < rows; ++row) {
        const float t = float(row) / float(rows - 1);
        const float r = size * (0.4f + 0.6f * t);
        const float far = 0.55f * (1 - t) * (1 - t);
        for (float x = -r * Hash01(row, 9, seed); x < w + r; x += r * (0.7f + 0.4f * Hash01(int(x), row, seed))) {
            const int k = int(x * 7) + row * 131;
            // The wood's top follows the hill: rolling, not ruled.
            const float rise = (bottom - top) * 0.35f * (Fbm(x * 0.004f, 0.5f, 3, seed + 5) - 0.5f) * (1 - t);
            const float cx = x + r * 0.3f * (Hash01(k, 1, seed) - 0.5f);
            const float cy = top + (bottom - top) * t + rise + r * 0.5f * (Hash01(k, 2, seed) - 0.5f);
            const TColor leaf = Mix(leaves[size_t(k) % leaves.size()], haze, far);
            if (t > 0.85f)
                c.Line(cx, cy + r * 1.1f, cx, cy, std::max(1.0f, r * 0.14f), Mix(Rgb(64, 44, 32), haze, far));
            // A crown of a few leafy lumps, lit from the upper left and
            // dark underneath, where it meets the crowns in front.
            const int lumps = 3 + int(Hash01(k, 3, seed) * 3);
            for (int j = 0; j < lumps; ++j) {
                const float a = Hash01(k, 10 + j, seed) * 2 * kPi, d = r * 0.4f * Hash01(k, 20 + j, seed);
                const float lx = cx + std::cos(a) * d, ly = cy + std::sin(a) * d * 0.6f;
                const float lr = r * (0.45f + 0.25f * Hash01(k, 30 + j, seed));
                c.FillRect(int(lx - lr - 2), int(ly - lr - 2), int(lx + lr + 3), int(ly + lr + 3), [&](int px, int py) {
                    const float dx = px + 0.5f - lx, dy = py + 0.5f - ly;
                    const float edge = std::hypot(dx, dy) + 2.5f * Fbm(px * 0.3f, py * 0.3f, 2, seed);
                    const float k2 = 1 - SmoothStep(lr - 1.2f, lr + 0.4f, edge);
                    const float shade = 0.62f + 0.5f * Clamp01((-0.6f * dx - dy) / (lr * 1.5f) + 0.45f);
                    const float n = Fbm(px * 0.2f, py * 0.2f, 2, seed + 3);
                    return WithAlpha(Scale(leaf, shade * (0.9f + 0.2f * n)), k2);
                });
            }
        }
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
        if (lit) c.Glow(wx + 4, y - h * 0.7f + 5, 16, Rgb(255, 200, 110, 0.35f));
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

void PaintSun(TCanvas& c, float x, float y, float r, TColor disc, TColor halo) {
    c.Glow(x, y, r * 9, WithAlpha(halo, 0.55f));
    c.Glow(x, y, r * 3.2f, WithAlpha(Mix(halo, disc, 0.5f), 0.8f));
    // Faint rays turning about the disc.
    for (int i = 0; i < 14; ++i) {
        float a = 2 * kPi * float(i) / 14.0f + 0.2f;
        float len = r * (i % 2 ? 2.4f : 3.4f);
        c.FillPolygon(TPolygon{{x + std::cos(a - 0.05f) * r, y + std::sin(a - 0.05f) * r},
                               {x + std::cos(a) * (r + len), y + std::sin(a) * (r + len)},
                               {x + std::cos(a + 0.05f) * r, y + std::sin(a + 0.05f) * r}},
                      [&](int px, int py) {
                          float d = std::hypot(px + 0.5f - x, py + 0.5f - y);
                          return WithAlpha(disc, 0.35f * Clamp01(1 - (d - r) / len));
                      });
    }
    c.SoftDisc(x, y, r + 3, 4, WithAlpha(Mix(disc, Rgb(255, 255, 255), 0.5f), 0.9f));
    c.SoftDisc(x, y, r, 1.5f, disc);
}

void Mountain(TCanvas& c, float px, float py, float baseY, float hw, TColor lit, TColor shade, float snowLine,
              uint32_t seed) {
    float hgt = baseY - py;
    int x0 = std::max(0, int(px - hw * 1.3f)), x1 = std::min(c.Width() - 1, int(px + hw * 1.3f));
    std::vector<float> top(size_t(x1 - x0 + 1));
    for (int x = x0; x <= x1; ++x) {
        float t = std::abs(float(x) - px) / hw;
        float n = Fbm(float(x) * 0.02f, 3.7f, 5, seed) - 0.5f;
        top[size_t(x - x0)] = py + hgt * std::pow(t, 0.85f) + n * hgt * 0.18f * Clamp01(t * 3);
    }
    for (int x = x0; x <= x1; ++x) {
        float t0 = top[size_t(x - x0)];
        if (t0 >= baseY) continue;
        for (int y = std::max(0, int(t0)); y < std::min(c.Height(), int(baseY) + 1); ++y) {
            // The foot dissolves over the last tenth, so whatever stands in
            // front never shows a ruled line under the mountain.
            float cov = Clamp01(float(y) + 1 - t0) * SmoothStep(baseY, baseY - hgt * 0.1f, float(y));
            float d = (float(y) - py) / hgt;
            // The crest runs down from the peak and wanders; left of it the
            // face catches the light.
            float crest = px + (Fbm(float(y) * 0.015f, 1.3f, 4, seed + 7) - 0.5f) * hgt * 0.5f * d + d * hw * 0.12f;
            float edge = SmoothStep(-3, 3, float(x) - crest);
            float n = Fbm(float(x) * 0.03f, float(y) * 0.05f, 4, seed + 3);
            float strata = 0.5f + 0.5f * std::sin(float(y) * 0.12f + n * 5 + float(x) * 0.02f);
            TColor col = Mix(lit, shade, edge);
            col = Scale(col, 0.86f + 0.22f * n + 0.08f * strata);
            if (snowLine > 0) {
                float line = snowLine + (Fbm(float(x) * 0.04f, float(y) * 0.01f, 3, seed + 5) - 0.5f) * 0.25f;
                float s = 1 - SmoothStep(line - 0.03f, line + 0.03f, d);
                TColor snow = Mix(Rgb(250, 250, 255), Rgb(160, 175, 210), edge * 0.9f);
                col = Mix(col, Scale(snow, 0.95f + 0.08f * n), s);
            }
            // Lower slopes sink into haze.
            col = Mix(col, Mix(shade, lit, 0.5f), 0.25f * SmoothStep(0.6f, 1.0f, d));
            c.Blend(x, y, col, cov);
        }
    }
}

void Surf(TCanvas& c, const TPolygon& line, float width, uint32_t seed) {
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        const TPointF& a = line[i];
        const TPointF& b = line[i + 1];
        float k = 0.55f + 0.45f * Hash01(int(i), 1, seed);
        c.Line(a.X, a.Y + width * 0.8f, b.X, b.Y + width * 0.8f, width * 2.2f, Rgb(235, 245, 250, 0.25f * k));
        c.Line(a.X, a.Y, b.X, b.Y, width * k, Rgb(250, 252, 255, 0.9f));
    }
}

void Haze(TCanvas& c, float y0, float y1, TColor col) {
    c.FillRect(0, int(y0), c.Width(), int(y1), [&](int, int y) {
        // Rises and falls again, so the band has no edge at either end.
        float t = Clamp01((float(y) - y0) / (y1 - y0));
        return WithAlpha(col, col.A * std::sin(t * kPi));
    });
}

}  // namespace forge
