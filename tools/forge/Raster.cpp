#include "Raster.h"

namespace {

uint32_t HashU(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

uint8_t ToByte(float v) {
    v = Clamp01(v) * 255.0f + 0.5f;
    return uint8_t(v);
}

}  // namespace

float Hash01(int32_t x, int32_t y, uint32_t seed) {
    return float(HashU(x, y, seed) & 0xFFFFFF) / float(0x1000000);
}

float ValueNoise(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int32_t ix = int32_t(fx), iy = int32_t(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = Hash01(ix, iy, seed), b = Hash01(ix + 1, iy, seed);
    float c = Hash01(ix, iy + 1, seed), d = Hash01(ix + 1, iy + 1, seed);
    return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

float Fbm(float x, float y, int octaves, uint32_t seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * ValueNoise(x, y, seed + uint32_t(i) * 101u);
        norm += amp;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f + 5.7f;
        amp *= 0.5f;
    }
    return sum / norm;
}

TCanvas::TCanvas(int width, int height, TColor fill)
    : w_(std::max(width, 1)), h_(std::max(height, 1)), px_(size_t(w_) * size_t(h_), fill), cov_(size_t(w_) + 2, 0.0f) {}

void TCanvas::Blend(int x, int y, const TColor& c, float k) {
    if (!Inside(x, y)) return;
    float a = Clamp01(c.A * k);
    if (a <= 0) return;
    TColor& d = At(x, y);
    float outA = a + d.A * (1 - a);
    if (outA <= 1e-6f) {
        d = TColor{c.R, c.G, c.B, 0};
        return;
    }
    float wd = d.A * (1 - a) / outA, ws = a / outA;
    d.R = c.R * ws + d.R * wd;
    d.G = c.G * ws + d.G * wd;
    d.B = c.B * ws + d.B * wd;
    d.A = outA;
}

void TCanvas::SoftEllipse(float cx, float cy, float rx, float ry, float soft, const TColor& c) {
    if (rx <= 0 || ry <= 0) return;
    float s = std::max(soft, 0.7f);
    float rmin = std::min(rx, ry);
    // The fade is measured in the short axis' pixels, so along the long axis
    // of a flat ellipse it reaches s / rmin of the radius beyond the rim; the
    // box must hold all of it or its sides show as hard edges.
    float grow = 1.0f + s / rmin;
    float ex = rx * grow + 1, ey = ry * grow + 1;
    int x0 = int(std::floor(cx - ex)), x1 = int(std::ceil(cx + ex));
    int y0 = int(std::floor(cy - ey)), y1 = int(std::ceil(cy + ey));
    FillRect(x0, y0, x1 + 1, y1 + 1, [&](int x, int y) {
        float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
        float d = (std::sqrt(dx * dx + dy * dy) - 1.0f) * rmin;  // ~pixels outside the rim
        float k = 1.0f - SmoothStep(-s * 0.5f, s, d);
        return WithAlpha(c, c.A * k);
    });
}

void TCanvas::Glow(float cx, float cy, float r, const TColor& c) {
    if (r <= 0) return;
    // A Gaussian lifted so it reaches exactly zero at the radius: the plain
    // curve still has 2% there, which shows as a square at the box's sides
    // over a dark picture.
    const float floor = std::exp(-4.0f);
    FillRect(int(std::floor(cx - r)), int(std::floor(cy - r)), int(std::ceil(cx + r)) + 1, int(std::ceil(cy + r)) + 1,
             [&](int x, int y) {
                 float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
                 float k = d >= 1 ? 0.0f : (std::exp(-d * d * 4.0f) - floor) / (1 - floor);
                 return WithAlpha(c, c.A * k);
             });
}

void TCanvas::SoftDisc(float cx, float cy, float r, float soft, const TColor& c) {
    SoftEllipse(cx, cy, r, r, soft, c);
}

void TCanvas::Line(float x0, float y0, float x1, float y1, float width, const TColor& c) {
    float dx = x1 - x0, dy = y1 - y0;
    float len = std::sqrt(dx * dx + dy * dy);
    float hw = width * 0.5f;
    if (len < 1e-4f) {
        SoftDisc(x0, y0, hw, 0.8f, c);
        return;
    }
    float nx = -dy / len * hw, ny = dx / len * hw;
    TPolygon p{{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}};
    FillPolygon(p, c);
}

void TCanvas::Polyline(const TPolygon& pts, float width, const TColor& c) {
    for (size_t i = 0; i + 1 < pts.size(); ++i) Line(pts[i].X, pts[i].Y, pts[i + 1].X, pts[i + 1].Y, width, c);
}

void TCanvas::Draw(const TCanvas& src, int dx, int dy, float k) {
    for (int y = 0; y < src.h_; ++y)
        for (int x = 0; x < src.w_; ++x) {
            const TColor& s = src.At(x, y);
            if (s.A > 0) Blend(x + dx, y + dy, s, k);
        }
}

void TCanvas::Blur(int radius, int passes) {
    if (radius <= 0) return;
    // Premultiply so transparent pixels do not darken the result.
    std::vector<TColor> tmp(px_.size());
    for (auto& p : px_) {
        p.R *= p.A;
        p.G *= p.A;
        p.B *= p.A;
    }
    auto pass = [&](bool horizontal) {
        int n = horizontal ? w_ : h_, m = horizontal ? h_ : w_;
        float inv = 1.0f / float(2 * radius + 1);
        for (int j = 0; j < m; ++j) {
            auto at = [&](int i) -> TColor& {
                i = std::clamp(i, 0, n - 1);
                return horizontal ? px_[size_t(j) * w_ + i] : px_[size_t(i) * w_ + j];
            };
            TColor acc{0, 0, 0, 0};
            for (int i = -radius; i <= radius; ++i) {
                const TColor& c = at(i);
                acc.R += c.R;
                acc.G += c.G;
                acc.B += c.B;
                acc.A += c.A;
            }
            for (int i = 0; i < n; ++i) {
                size_t idx = horizontal ? size_t(j) * w_ + i : size_t(i) * w_ + j;
                tmp[idx] = TColor{acc.R * inv, acc.G * inv, acc.B * inv, acc.A * inv};
                const TColor& add = at(i + radius + 1);
                const TColor& sub = at(i - radius);
                acc.R += add.R - sub.R;
                acc.G += add.G - sub.G;
                acc.B += add.B - sub.B;
                acc.A += add.A - sub.A;
            }
        }
        px_.swap(tmp);
    };
    for (int p = 0; p < passes; ++p) {
        pass(true);
        pass(false);
    }
    for (auto& p : px_) {
        if (p.A > 1e-6f) {
            p.R /= p.A;
            p.G /= p.A;
            p.B /= p.A;
        }
        p.A = Clamp01(p.A);
    }
}

TCanvas TCanvas::Crop(int x, int y, int w, int h) const {
    TCanvas out(w, h);
    for (int j = 0; j < out.h_; ++j)
        for (int i = 0; i < out.w_; ++i)
            if (Inside(x + i, y + j)) out.At(i, j) = At(x + i, y + j);
    return out;
}

TCanvas TCanvas::Downscale(int w, int h) const {
    TCanvas out(w, h);
    double sx = double(w_) / out.w_, sy = double(h_) / out.h_;
    for (int j = 0; j < out.h_; ++j) {
        int ya = int(j * sy), yb = std::max(ya + 1, int((j + 1) * sy));
        for (int i = 0; i < out.w_; ++i) {
            int xa = int(i * sx), xb = std::max(xa + 1, int((i + 1) * sx));
            double r = 0, g = 0, b = 0, a = 0;
            int n = 0;
            for (int y = ya; y < yb && y < h_; ++y)
                for (int x = xa; x < xb && x < w_; ++x) {
                    const TColor& c = At(x, y);
                    r += c.R * c.A;
                    g += c.G * c.A;
                    b += c.B * c.A;
                    a += c.A;
                    ++n;
                }
            if (n == 0 || a <= 1e-9) continue;
            out.At(i, j) = TColor{float(r / a), float(g / a), float(b / a), float(a / n)};
        }
    }
    return out;
}

void TCanvas::BleedColour(int passes) {
    std::vector<uint8_t> known(px_.size());
    for (size_t i = 0; i < px_.size(); ++i) known[i] = px_[i].A > 0.004f;
    for (int p = 0; p < passes; ++p) {
        std::vector<uint8_t> next = known;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                size_t i = size_t(y) * w_ + x;
                if (known[i]) continue;
                float r = 0, g = 0, b = 0;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (!Inside(x + dx, y + dy)) continue;
                        size_t j = size_t(y + dy) * w_ + x + dx;
                        if (!known[j]) continue;
                        r += px_[j].R;
                        g += px_[j].G;
                        b += px_[j].B;
                        ++n;
                    }
                if (n == 0) continue;
                px_[i].R = r / n;
                px_[i].G = g / n;
                px_[i].B = b / n;
                next[i] = 1;
            }
        known.swap(next);
    }
}

TPicture TCanvas::ToRGBA() const {
    TPicture pic = TPicture::Create(w_, h_, 4);
    uint8_t* p = pic.Pixels.data();
    for (const TColor& c : px_) {
        *p++ = ToByte(c.R);
        *p++ = ToByte(c.G);
        *p++ = ToByte(c.B);
        *p++ = ToByte(c.A);
    }
    return pic;
}

TPicture TCanvas::ToRGB() const {
    TPicture pic = TPicture::Create(w_, h_, 3);
    uint8_t* p = pic.Pixels.data();
    for (const TColor& c : px_) {
        *p++ = ToByte(c.R);
        *p++ = ToByte(c.G);
        *p++ = ToByte(c.B);
    }
    return pic;
}

TPicture TCanvas::AlphaToGrey() const {
    TPicture pic = TPicture::Create(w_, h_, 1);
    uint8_t* p = pic.Pixels.data();
    for (const TColor& c : px_) *p++ = ToByte(c.A);
    return pic;
}
