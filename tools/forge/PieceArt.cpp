// Pictures of the pieces and of the lattice: the bevelled tiles of every
// shape, the fragment masks and halos, the stack marks and the belt tracks.
#include <cmath>
#include <map>
#include <set>

#include "Art.h"

namespace forge {

namespace {

// Whether the point (u, v) of a cell's square (0..kCellSize) belongs to a
// cell of the kind. Points on a diagonal go to one side only, so the two
// halves of a square cover it exactly once.
bool InsideKind(int kind, float u, float v) {
    const float s = float(kCellSize);
    switch (kind) {
        case ckSquare:
            return true;
        case ckTopLeft:
            return u + v < s;
        case ckTopRight:
            return u >= v;
        case ckBottomRight:
            return u + v >= s;
        case ckBottomLeft:
            return u < v;
        default:
            return false;
    }
}

struct TCellLookup {
    std::map<std::pair<int, int>, std::vector<int>> kinds;
    explicit TCellLookup(const std::vector<TCell>& cells) {
        for (const TCell& c : cells) kinds[{c.Col, c.Row}].push_back(c.Kind);
    }
    bool Inside(float x, float y) const {
        if (x < 0 || y < 0) return false;
        int col = int(x) / kCellSize, row = int(y) / kCellSize;
        auto it = kinds.find({col, row});
        if (it == kinds.end()) return false;
        float u = x - float(col * kCellSize), v = y - float(row * kCellSize);
        for (int k : it->second)
            if (InsideKind(k, u, v)) return true;
        return false;
    }
    // Share of the pixel (x, y) covered, from 4 x 4 samples.
    float Coverage(int x, int y) const {
        int n = 0;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) n += Inside(x + (i + 0.5f) / 4, y + (j + 0.5f) / 4);
        return n / 16.0f;
    }
};

struct TEdge {
    TPointF A, B;
    TPointF Normal;  // pointing out of the piece
};

// Edges of the cells that no other cell shares: the outline of the piece.
// The remaining (inner) edges are returned separately.
void SplitEdges(const std::vector<TCell>& cells, std::vector<TEdge>& outer, std::vector<TEdge>& inner) {
    std::map<std::pair<std::pair<int, int>, std::pair<int, int>>, int> count;
    auto key = [](TPointF a, TPointF b) {
        std::pair<int, int> p{int(a.X), int(a.Y)}, q{int(b.X), int(b.Y)};
        return p < q ? std::make_pair(p, q) : std::make_pair(q, p);
    };
    for (const TCell& c : cells) {
        TPolygon poly = CellPolygon(c);
        for (size_t i = 0; i < poly.size(); ++i) ++count[key(poly[i], poly[(i + 1) % poly.size()])];
    }
    for (const TCell& c : cells) {
        TPolygon poly = CellPolygon(c);
        for (size_t i = 0; i < poly.size(); ++i) {
            TPointF a = poly[i], b = poly[(i + 1) % poly.size()];
            float dx = b.X - a.X, dy = b.Y - a.Y, len = std::hypot(dx, dy);
            // Clockwise on screen: the outside lies to the left of a->b.
            TEdge e{a, b, TPointF{dy / len, -dx / len}};
            if (count[key(a, b)] == 1)
                outer.push_back(e);
            else if (a.X < b.X || (a.X == b.X && a.Y < b.Y))
                inner.push_back(e);
        }
    }
}

float SegmentDistance(TPointF p, TPointF a, TPointF b) {
    float dx = b.X - a.X, dy = b.Y - a.Y;
    float t = ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / (dx * dx + dy * dy);
    t = Clamp01(t);
    return std::hypot(p.X - (a.X + dx * t), p.Y - (a.Y + dy * t));
}

// Colour family of a piece by size class, varied a little per shape family.
TColor PieceBase(const TShape& shape) {
    uint32_t h = 0;
    for (char c : shape.Family) h = h * 131u + uint8_t(c);
    float v = float(h % 1000) / 1000.0f;
    switch (shape.Size) {
        case 0:
            return Mix(Rgb(236, 170, 62), Rgb(226, 120, 58), v);  // amber to apricot
        case 1:
            return Mix(Rgb(58, 170, 160), Rgb(70, 132, 200), v);  // jade to lake blue
        default:
            return Mix(Rgb(160, 86, 190), Rgb(204, 78, 120), v);  // violet to rose
    }
}

}  // namespace

TCanvas PaintShape(const TShape& shape, int shapeIndex) {
    int w = shape.Cols * kCellSize, h = shape.Rows * kCellSize;
    TCanvas c(w, h);
    TCellLookup look(shape.Cells);
    std::vector<TEdge> outer, inner;
    SplitEdges(shape.Cells, outer, inner);
    TColor base = PieceBase(shape);
    const float bevel = 6.0f;
    const TPointF light{-0.6f, -0.8f};
    uint32_t seed = 7000u + uint32_t(shapeIndex) * 13u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float cov = look.Coverage(x, y);
            if (cov <= 0) continue;
            TPointF p{x + 0.5f, y + 0.5f};
            // Soft marbled texture and a gentle top-left light over the tile.
            float n = Fbm(p.X * 0.06f, p.Y * 0.06f, 4, seed);
            float vein = std::abs(std::sin((p.X * 0.07f + p.Y * 0.05f + n * 6.0f)));
            float k = 0.86f + 0.22f * n + 0.06f * vein - 0.10f * (p.X + p.Y) / float(w + h);
            TColor col = Scale(base, k);
            // Bevel: the outline catches the light on its top-left and falls
            // into shade on its bottom-right.
            float best = 1e9f;
            TPointF nrm{0, 0};
            for (const TEdge& e : outer) {
                float d = SegmentDistance(p, e.A, e.B);
                if (d < best) {
                    best = d;
                    nrm = e.Normal;
                }
            }
            if (best < bevel) {
                float t = 1.0f - best / bevel;
                float lit = -(nrm.X * light.X + nrm.Y * light.Y);  // facing the light: negative dot
                float amount = t * t * 0.55f;
                col = lit < 0 ? Mix(col, Rgb(255, 250, 235), amount * -lit)
                              : Mix(col, Rgb(40, 24, 20), amount * lit * 0.9f);
                if (best < 1.2f) col = Mix(col, Rgb(50, 30, 20), 0.45f);
            }
            // Grooves between the cells so each cell reads on its own.
            for (const TEdge& e : inner) {
                float d = SegmentDistance(p, e.A, e.B);
                if (d < 2.5f) {
                    float t = 1.0f - d / 2.5f;
                    col = Mix(col, Rgb(60, 36, 24), 0.45f * t);
                }
                if (d >= 2.5f && d < 4.5f) col = Mix(col, Rgb(255, 245, 220), 0.10f);
            }
            col.A = 1.0f;
            c.Blend(x, y, col, cov);
        }
    return c;
}

TCanvas PaintFragMask(int kind) {
    TCanvas c(kCellSize, kCellSize);
    for (int y = 0; y < kCellSize; ++y)
        for (int x = 0; x < kCellSize; ++x)
            if (InsideKind(kind, x + 0.5f, y + 0.5f)) c.At(x, y) = TColor{1, 1, 1, 1};
    return c;
}

TCanvas PaintFragOreol(int kind) {
    const int pad = 8, size = kCellSize + 2 * pad;
    TCanvas c(size, size);
    TCell cell{0, 0, kind, 1};
    TPolygon poly = CellPolygon(cell);
    for (TPointF& p : poly) {
        p.X += pad;
        p.Y += pad;
    }
    TColor glow = Rgb(255, 232, 160);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            TPointF p{x + 0.5f, y + 0.5f};
            float d = 1e9f;
            for (size_t i = 0; i < poly.size(); ++i)
                d = std::min(d, SegmentDistance(p, poly[i], poly[(i + 1) % poly.size()]));
            bool inside = InsideKind(kind, p.X - pad, p.Y - pad) && p.X >= pad && p.Y >= pad && p.X < pad + kCellSize &&
                          p.Y < pad + kCellSize;
            float a = inside ? 0.85f * std::exp(-(d * d) / 6.0f) + 0.10f : 0.75f * std::exp(-(d * d) / 14.0f);
            c.At(x, y) = WithAlpha(glow, Clamp01(a));
        }
    return c;
}

TCanvas PaintFragLevel(int kind, int level) {
    TCanvas c(kCellSize, kCellSize);
    TCell cell{0, 0, kind, 1};
    TPolygon poly = CellPolygon(cell);
    TColor veil = level == 2 ? Rgb(40, 60, 120, 0.35f) : Rgb(90, 30, 110, 0.45f);
    c.FillPolygon(poly, [&](int x, int y) {
        // Fine diagonal hatching tells a stacked fragment from a plain one.
        float s = std::fmod(float(x + y), 6.0f) < 2.0f ? 1.0f : 0.55f;
        return WithAlpha(veil, veil.A * s);
    });
    // Pips in the middle of the cell: one per piece still to come.
    float cx = 0, cy = 0;
    for (const TPointF& p : poly) {
        cx += p.X;
        cy += p.Y;
    }
    cx /= float(poly.size());
    cy /= float(poly.size());
    for (int i = 0; i < level; ++i) {
        float px = cx + (float(i) - float(level - 1) / 2.0f) * 7.0f;
        c.SoftDisc(px, cy, 2.6f, 0.8f, Rgb(255, 255, 240, 0.95f));
    }
    return c;
}

TCanvas PaintBeltPart(int variant) {
    const int s = 26;
    TCanvas c(s, s);
    float m = s / 2.0f;
    switch (variant) {
        case 1:  // brass bead
            c.SoftDisc(m + 1, m + 2, 9.5f, 2.5f, Rgb(0, 0, 0, 0.35f));
            c.SoftDisc(m, m, 9.0f, 1.0f, Rgb(150, 100, 30));
            c.SoftDisc(m - 1, m - 1, 7.0f, 2.0f, Rgb(214, 170, 70));
            c.SoftDisc(m - 3, m - 3.5f, 2.6f, 1.5f, Rgb(255, 246, 200, 0.9f));
            break;
        case 2:  // wooden peg
            c.SoftDisc(m + 1, m + 2, 8.5f, 2.5f, Rgb(0, 0, 0, 0.35f));
            c.SoftDisc(m, m, 8.0f, 1.0f, Rgb(96, 60, 34));
            c.SoftDisc(m, m, 6.0f, 1.0f, Rgb(150, 102, 60));
            c.SoftDisc(m, m, 3.0f, 1.0f, Rgb(120, 80, 44));
            c.SoftDisc(m - 2.5f, m - 3, 2.0f, 1.5f, Rgb(230, 200, 160, 0.6f));
            break;
        default:  // silver pearl
            c.SoftDisc(m + 1, m + 2, 8.5f, 2.5f, Rgb(0, 0, 0, 0.35f));
            c.SoftDisc(m, m, 8.0f, 1.0f, Rgb(120, 130, 150));
            c.SoftDisc(m - 1, m - 1, 6.5f, 2.0f, Rgb(200, 210, 228));
            c.SoftDisc(m - 3, m - 3.5f, 2.4f, 1.5f, Rgb(255, 255, 255, 0.95f));
            break;
    }
    return c;
}

}  // namespace forge
