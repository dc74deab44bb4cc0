#include "SceneSource.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "DecorTable.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace forge {

namespace {

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string StripComment(const std::string& s) {
    size_t c = s.find(';');
    return c == std::string::npos ? s : s.substr(0, c);
}

// Parses "x,y".
bool ParsePoint(const std::string& s, TPointF& p) {
    float x = 0, y = 0;
    char comma = 0;
    std::istringstream in(s);
    if (!(in >> x >> comma >> y) || comma != ',') return false;
    p = TPointF{x, y};
    return true;
}

std::string FormatNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

// The lattice cell's owner letter in the regions map, 0 outside it.
char RegionAt(const TSceneSource& scene, int col, int row) {
    if (row < 0 || col < 0 || row >= int(scene.Regions.size()) || col >= int(scene.Regions[size_t(row)].size()))
        return 0;
    char c = scene.Regions[size_t(row)][size_t(col)];
    return c == '.' ? 0 : c;
}

// Turns the regions map into the cells of the layers that name a region,
// and raises the stacked squares: inner ones (all four neighbours in the
// same region, so the outline refinement never splits them), spread evenly.
template <class Fail>
void CellsFromRegions(TSceneSource& scene, Fail&& fail) {
    bool any = false;
    for (const TLayerSource& l : scene.Layers) any = any || l.Region != 0;
    if (!any) {
        if (!scene.Regions.empty()) fail("regions map but no layer names a region");
        return;
    }
    int cols = scene.Width / kCellSize, rows = scene.Height / kCellSize;
    if (int(scene.Regions.size()) != rows) fail("regions map needs " + std::to_string(rows) + " rows");
    for (const std::string& r : scene.Regions)
        if (int(r.size()) != cols) fail("regions map rows need " + std::to_string(cols) + " cells");
    for (TLayerSource& l : scene.Layers) {
        if (l.Region == 0) continue;
        if (!l.Cells.empty()) fail("layer " + l.Name + ": region and map both given");
        for (const TLayerSource& o : scene.Layers)
            if (&o != &l && o.Region == l.Region) fail("layer " + l.Name + ": region used twice");
        int c0 = cols, r0 = rows;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                if (RegionAt(scene, c, r) == l.Region) {
                    c0 = std::min(c0, c);
                    r0 = std::min(r0, r);
                }
        if (c0 == cols) fail("layer " + l.Name + ": region " + std::string(1, l.Region) + " is empty");
        l.X = c0 * kCellSize;
        l.Y = r0 * kCellSize;
        std::vector<size_t> inner;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                if (RegionAt(scene, c, r) != l.Region) continue;
                bool in = RegionAt(scene, c - 1, r) == l.Region && RegionAt(scene, c + 1, r) == l.Region &&
                          RegionAt(scene, c, r - 1) == l.Region && RegionAt(scene, c, r + 1) == l.Region;
                if (in) inner.push_back(l.Cells.size());
                l.Cells.push_back(TCell{c - c0, r - r0, ckSquare, 1});
            }
        if (l.Stack > int(inner.size())) fail("layer " + l.Name + ": more stacked squares than inner ones");
        for (int k = 0; k < l.Stack; ++k) l.Cells[inner[size_t(k) * inner.size() / size_t(l.Stack)]].Level = 2;
        for (const TCell& c : l.Cells) {
            l.Cols = std::max(l.Cols, c.Col + 1);
            l.Rows = std::max(l.Rows, c.Row + 1);
        }
    }
}

bool CellBoxOnLayer(const TLayerSource& l, float sx, float sy) {
    float x = sx - float(l.X), y = sy - float(l.Y);
    if (x < 0 || y < 0) return false;
    int col = int(x) / kCellSize, row = int(y) / kCellSize;
    for (const TCell& c : l.Cells)
        if (c.Col == col && c.Row == row) return true;
    return false;
}

// The tracks an automatic belt chooses from, in view coordinates: a U along
// three sides of the view open to each side, at a few distances from the
// edge, an L along two sides and a run along one side (only those two for
// layers with several belts).
std::vector<std::vector<TPointF>> BeltCandidates(bool several) {
    std::vector<std::vector<TPointF>> out;
    const float W = kViewWidth, H = kViewHeight;
    for (float d : {22.0f, 34.0f, 48.0f}) {
        // Open at the top: from the top left corner down the left side,
        // along the bottom and up the right side into the other corner, so
        // the start box and the Chameleon sit in the view's corners.
        float e = std::max(22.0f, d - 6);
        std::vector<TPointF> u{{e, 20},
                               {d, H * 0.30f},
                               {d + 4, H - d - 70},
                               {d + 70, H - d},
                               {W * 0.5f, H - d + 2},
                               {W - d - 70, H - d},
                               {W - d - 4, H - d - 70},
                               {W - d, H * 0.30f},
                               {W - e, 20}};
        std::vector<std::vector<TPointF>> turns(4);
        for (const TPointF& p : u) {
            turns[0].push_back(p);
            turns[1].push_back({p.X, H - p.Y});                  // open at the bottom
            turns[2].push_back({p.Y / H * W, p.X / W * H});      // open at the left
            turns[3].push_back({W - p.Y / H * W, p.X / W * H});  // open at the right
        }
        if (!several)
            for (auto& t : turns) out.push_back(t);
        // L along two sides: top and left, top and right, bottom and left,
        // bottom and right.
        for (int k = 0; k < 4; ++k) {
            bool right = k & 1, bottom = k & 2;
            auto X = [&](float x) { return right ? W - x : x; };
            auto Y = [&](float y) { return bottom ? H - y : y; };
            out.push_back({{X(W * 0.80f), Y(d)},
                           {X(W * 0.45f), Y(d + 2)},
                           {X(d + 60), Y(d + 6)},
                           {X(d + 4), Y(d + 60)},
                           {X(d), Y(H * 0.5f)},
                           {X(d + 2), Y(H * 0.80f)}});
        }
        // Along one side from corner to corner, for layers that fill the
        // view up to its other edges.
        out.push_back({{W - e, 20}, {W - d, H * 0.33f}, {W - d, H * 0.66f}, {W - e, H - 20}});
        out.push_back({{e, 20}, {d, H * 0.33f}, {d, H * 0.66f}, {e, H - 20}});
        out.push_back({{20, H - e}, {W * 0.33f, H - d}, {W * 0.66f, H - d}, {W - 20, H - e}});
        out.push_back({{20, e}, {W * 0.33f, d}, {W * 0.66f, d}, {W - 20, e}});
    }
    return out;
}

// Lays out every belt's path in scene coordinates; automatic ones take the
// longest track that keeps off the layer's fragments (a tenth of the way
// at most), leaves the squares at its ends free for the start box and the
// Chameleon, stays clear of the layer's other belts and leaves room for the
// artefact.
template <class Fail>
void LayOutBelts(TSceneSource& scene, Fail&& fail) {
    auto finish = [](TBeltSource& b, const TLayerSource& l, std::vector<TPointF> wp) {
        // Whole pixels: the written script holds whole numbers, and the game
        // takes the belt's length and time from it.
        for (TPointF& p : wp) {
            p.X = std::round(p.X + float(l.ViewX()));
            p.Y = std::round(p.Y + float(l.ViewY()));
        }
        b.Path = SmoothPath(wp, 24.0f);
        b.Length = 0;
        for (size_t i = 0; i + 1 < b.Path.size(); ++i)
            b.Length += std::hypot(double(b.Path[i + 1].X - b.Path[i].X), double(b.Path[i + 1].Y - b.Path[i].Y));
        if (b.Seconds > 0) b.Speed = std::max(1, int(std::lround(b.Length / b.Seconds)));
        b.TimeMs = int(std::lround(b.Length / b.Speed * 1000.0));
        b.PointsBetween = kTrackSpacing;
    };
    for (TBeltSource& b : scene.Belts)
        if (!b.Auto) finish(b, scene.Layers[size_t(b.Layer)], b.WayPoints);
    for (size_t bi = 0; bi < scene.Belts.size(); ++bi) {
        TBeltSource& b = scene.Belts[bi];
        if (!b.Auto) continue;
        TLayerSource& l = scene.Layers[size_t(b.Layer)];
        bool placed = false;
        double bestLength = -1;
        TBeltSource best;
        for (const std::vector<TPointF>& wp : BeltCandidates(l.Belts.size() > 1)) {
            TBeltSource trial = b;
            finish(trial, l, wp);
            int on = 0;
            for (const TPointF& p : trial.Path) on += CellBoxOnLayer(l, p.X, p.Y);
            if (on * 12 > int(trial.Path.size())) continue;
            const int half = kEndSquare / 2;
            const TPointF& s0 = trial.Path.front();
            const TPointF& s1 = trial.Path.back();
            if (RectOnLayer(l, int(s0.X) - half, int(s0.Y) - half, kEndSquare, kEndSquare) ||
                RectOnLayer(l, int(s1.X) - half, int(s1.Y) - half, kEndSquare, kEndSquare))
                continue;
            bool apart = true;
            for (int o : l.Belts) {
                if (size_t(o) >= bi) continue;
                for (const TPointF& p : trial.Path)
                    for (const TPointF& q : scene.Belts[size_t(o)].Path)
                        apart = apart && std::hypot(p.X - q.X, p.Y - q.Y) >= 90;
            }
            if (!apart) continue;
            if (trial.Length <= bestLength) continue;
            if (l.ArtAuto && size_t(l.Belts.back()) == bi) {
                TBeltSource keep = b;
                b = trial;
                TLayerSource copy = l;
                bool room = PlaceArtefact(scene, copy);
                b = keep;
                if (!room) continue;
            }
            best = trial;
            bestLength = trial.Length;
            placed = true;
        }
        if (!placed) fail("layer " + l.Name + ": no room for an automatic belt");
        b = best;
    }
}

}  // namespace

std::string TLayerSource::PictureName(int scene, int layer) const {
    return "Scene" + std::to_string(scene) + "Layer" + std::to_string(layer + 1) + ".png";
}

TSceneSource ParseSceneSource(const std::string& text, int number, const std::string& where) {
    TSceneSource scene;
    scene.Number = number;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    TLayerSource* layer = nullptr;
    auto fail = [&](const std::string& msg) -> void {
        throw OrvException(where + (lineNo > 0 ? " line " + std::to_string(lineNo) : std::string()) + ": " + msg);
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = Trim(StripComment(raw));
        if (line.empty()) continue;
        std::istringstream ls(line);
        std::string key;
        ls >> key;
        auto needInts = [&](int* out, int n) {
            for (int i = 0; i < n; ++i)
                if (!(ls >> out[i])) fail(key + " needs " + std::to_string(n) + " numbers");
        };
        if (key == "layer") {
            TLayerSource l;
            ls >> l.Name;
            if (l.Name.empty()) fail("layer needs a name");
            scene.Layers.push_back(l);
            layer = &scene.Layers.back();
            continue;
        }
        if (!layer) {
            if (key == "title")
                scene.Title = Trim(line.substr(5));
            else if (key == "painting")
                ls >> scene.Painting;
            else if (key == "size") {
                int v[2];
                needInts(v, 2);
                scene.Width = v[0];
                scene.Height = v[1];
            } else if (key == "music")
                ls >> scene.Music;
            else if (key == "bonus") {
                if (!(ls >> scene.Bonus)) fail("bonus needs a number");
            } else if (key == "bonusweights")
                needInts(scene.BonusWeights, 4);
            else if (key == "weight") {
                std::string name;
                int w = 0;
                if (!(ls >> name >> w) || w < 0) fail("weight needs a shape name and a weight");
                scene.Weights.push_back({name, w});
            } else if (key == "regions") {
                bool ended = false;
                while (std::getline(in, raw)) {
                    ++lineNo;
                    std::string r = Trim(StripComment(raw));
                    if (r == "end") {
                        ended = true;
                        break;
                    }
                    scene.Regions.push_back(r);
                }
                if (!ended) fail("regions without end");
            } else if (key == "decor") {
                TDecorSource d;
                if (!(ls >> d.Kind >> d.X >> d.Y >> d.Layer)) fail("decor needs a kind, x, y and a layer");
                if (DecorFrames(d.Kind).empty()) fail("unknown decoration " + d.Kind);
                scene.Decor.push_back(d);
            } else
                fail("unknown scene key " + key);
            continue;
        }
        if (key == "region") {
            std::string letter;
            ls >> letter;
            if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])))
                fail("region needs one letter");
            layer->Region = letter[0];
        } else if (key == "stack") {
            if (!(ls >> layer->Stack) || layer->Stack < 0 || layer->Stack > 200) fail("stack needs a count 0..200");
        } else if (key == "at") {
            int v[2];
            needInts(v, 2);
            layer->X = v[0];
            layer->Y = v[1];
        } else if (key == "view") {
            int v[2];
            needInts(v, 2);
            layer->ShX = v[0];
            layer->ShY = v[1];
            layer->HasView = true;
        } else if (key == "quest")
            ls >> layer->Quest;
        else if (key == "fishes") {
            int v[3];
            needInts(v, 3);
            layer->Fishes = v[0];
            layer->MinBefore = v[1];
            layer->MaxBefore = v[2];
            if (v[0] < 0 || v[0] > 4 || v[1] < 0 || v[2] < v[1]) fail("fishes: count 0..4 and min <= max");
        } else if (key == "artefact") {
            std::string first;
            ls >> first;
            if (first == "auto") {
                layer->ArtAuto = true;
            } else {
                std::istringstream num(line.substr(key.size()));
                if (!(num >> layer->ArtX >> layer->ArtY)) fail("artefact needs x y or auto");
            }
        } else if (key == "belt") {
            TBeltSource b;
            std::string colon, pt;
            std::string speed;
            if (!(ls >> speed >> b.PartImage >> colon) || colon != ":")
                fail("belt needs: <speed> <part picture> : x,y x,y ...");
            // "<n>s" asks for a crossing time instead of a speed.
            bool seconds = !speed.empty() && speed.back() == 's';
            int value = std::atoi(speed.c_str());
            if (speed.find_first_not_of("0123456789") < speed.size() - (seconds ? 1 : 0) || value <= 0 || value > 1000)
                fail("belt needs: <speed> <part picture> : x,y x,y ...");
            (seconds ? b.Seconds : b.Speed) = value;
            while (ls >> pt) {
                TPointF p;
                if (pt == "auto" && b.WayPoints.empty() && !b.Auto) {
                    b.Auto = true;
                    continue;
                }
                if (b.Auto || !ParsePoint(pt, p)) fail("bad way point " + pt);
                b.WayPoints.push_back(p);
            }
            if (!b.Auto && b.WayPoints.size() < 2) fail("a belt needs at least two way points");
            b.Layer = int(scene.Layers.size()) - 1;
            layer->Belts.push_back(int(scene.Belts.size()));
            scene.Belts.push_back(b);
            layer = &scene.Layers.back();
        } else if (key == "map") {
            std::vector<std::string> rows;
            bool ended = false;
            while (std::getline(in, raw)) {
                ++lineNo;
                std::string r = Trim(raw);
                if (r == "end") {
                    ended = true;
                    break;
                }
                rows.push_back(r);
            }
            if (!ended) fail("map without end");
            layer->Cells = ParseCellMap(rows, where);
            for (const TCell& c : layer->Cells) {
                layer->Cols = std::max(layer->Cols, c.Col + 1);
                layer->Rows = std::max(layer->Rows, c.Row + 1);
            }
        } else
            fail("unknown layer key " + key);
    }
    lineNo = 0;
    CellsFromRegions(scene, fail);
    if (scene.Width < kViewWidth || scene.Height < kViewHeight) fail("scene smaller than the view");
    if (scene.Width > kMaxSceneSide || scene.Height > kMaxSceneSide)
        fail("scene larger than " + std::to_string(kMaxSceneSide) + " pixels a side");
    if (scene.Layers.empty()) fail("scene without layers");
    for (size_t i = 0; i < scene.Layers.size(); ++i) {
        TLayerSource& l = scene.Layers[i];
        std::string name = "layer " + l.Name + ": ";
        if (l.Cells.empty()) fail(name + "empty map");
        if (l.Cols > kGridCols || l.Rows > kGridRows) fail(name + "map larger than the lattice");
        if (int(l.Cells.size()) > kMaxLayerFrags) fail(name + "more than 255 fragments");
        if (l.X < 0 || l.Y < 0 || l.X + l.Cols * kCellSize > scene.Width || l.Y + l.Rows * kCellSize > scene.Height)
            fail(name + "map leaves the scene");
        if (!l.HasView) {
            // Centred on the map, but kept inside the scene: a layer near an
            // edge gets its view pushed back in rather than refused.
            l.ShX = std::clamp(-(kViewWidth - l.Cols * kCellSize) / 2, -l.X, scene.Width - l.X - kViewWidth);
            l.ShY = std::clamp(-(kViewHeight - l.Rows * kCellSize) / 2, -l.Y, scene.Height - l.Y - kViewHeight);
        }
        if (l.ViewX() < 0 || l.ViewY() < 0 || l.ViewX() + kViewWidth > scene.Width ||
            l.ViewY() + kViewHeight > scene.Height)
            fail(name + "view leaves the scene");
        if (l.Belts.empty() || l.Belts.size() > 3) fail(name + "needs one to three belts");
    }
    LayOutBelts(scene, fail);
    for (TLayerSource& l : scene.Layers)
        if (l.ArtAuto && !PlaceArtefact(scene, l)) fail("layer " + l.Name + ": no room for the artefact in the view");
    return scene;
}

namespace {

bool RectTouchesCells(const TLayerSource& l, int x, int y, int w, int h, int margin) {
    for (const TCell& c : l.Cells) {
        int cx = l.X + c.Col * kCellSize, cy = l.Y + c.Row * kCellSize;
        if (x - margin < cx + kCellSize && cx < x + w + margin && y - margin < cy + kCellSize && cy < y + h + margin)
            return true;
    }
    return false;
}

float RectDistance(const TPointF& p, int x, int y, int w, int h) {
    float dx = std::max({float(x) - p.X, 0.0f, p.X - float(x + w)});
    float dy = std::max({float(y) - p.Y, 0.0f, p.Y - float(y + h)});
    return std::hypot(dx, dy);
}

}  // namespace

bool PointOnLayer(const TLayerSource& layer, float sx, float sy) {
    float x = sx - float(layer.X), y = sy - float(layer.Y);
    if (x < 0 || y < 0) return false;
    int col = int(x) / kCellSize, row = int(y) / kCellSize;
    for (const TCell& c : layer.Cells) {
        if (c.Col != col || c.Row != row) continue;
        // Strictly inside: the game's point-in-cell test with the edges left out.
        TPolygon poly = CellPolygon(c);
        bool inside = true;
        for (size_t i = 0; i < poly.size() && inside; ++i) {
            const TPointF& a = poly[i];
            const TPointF& b = poly[(i + 1) % poly.size()];
            inside = (y - a.Y) * (b.X - a.X) - (x - a.X) * (b.Y - a.Y) > 0;
        }
        if (inside) return true;
    }
    return false;
}

bool RectOnLayer(const TLayerSource& layer, int x, int y, int w, int h) {
    for (int py = 0;; py = std::min(py + 4, h - 1)) {
        for (int px = 0;; px = std::min(px + 4, w - 1)) {
            if (PointOnLayer(layer, float(x + px) + 0.5f, float(y + py) + 0.5f)) return true;
            if (px >= w - 1) break;
        }
        if (py >= h - 1) break;
    }
    return false;
}

int OverlappingCells(const TLayerSource& a, const TLayerSource& b) {
    int n = 0;
    for (const TCell& c : b.Cells) {
        TLayerSource one;
        one.X = b.X;
        one.Y = b.Y;
        one.Cells = {c};
        bool shared = false;
        // Sample points strictly inside the cell; on the diagonal of a half
        // square they fall on no side and count for neither.
        for (int sy = 0; sy < 8 && !shared; ++sy)
            for (int sx = 0; sx < 8 && !shared; ++sx) {
                float px = float(b.X + c.Col * kCellSize) + 2.5f + 5.0f * float(sx);
                float py = float(b.Y + c.Row * kCellSize) + 2.5f + 5.0f * float(sy);
                shared = PointOnLayer(one, px, py) && PointOnLayer(a, px, py);
            }
        n += shared;
    }
    return n;
}

int LayerAt(const TSceneSource& scene, float sx, float sy) {
    for (size_t i = 0; i < scene.Layers.size(); ++i)
        if (PointOnLayer(scene.Layers[i], sx, sy)) return int(i);
    return -1;
}

bool PlaceArtefact(const TSceneSource& scene, TLayerSource& layer) {
    const int s = kArtefactSize;
    // The layer's place in the play order; a layer that is not one of the
    // scene's own counts as the last.
    size_t self = scene.Layers.size();
    for (size_t i = 0; i < scene.Layers.size(); ++i)
        if (&scene.Layers[i] == &layer) self = i;
    // Who restores each point of the view, sampled every 8 pixels once, so
    // the many trial places below are cheap to weigh.
    const int step = 8, gw = kViewWidth / step + 1, gh = kViewHeight / step + 1;
    std::vector<int> owner(size_t(gw) * size_t(gh));
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            float x = float(layer.ViewX() + gx * step) + 0.5f, y = float(layer.ViewY() + gy * step) + 0.5f;
            int o = -1;
            for (size_t i = 0; i < scene.Layers.size() && o < 0; ++i)
                if (i != self && PointOnLayer(scene.Layers[i], x, y)) o = int(i);
            owner[size_t(gy) * size_t(gw) + size_t(gx)] = o;
        }
    long best = -1;
    for (int vy = 10; vy + s + 10 <= kViewHeight; vy += 8)
        for (int vx = 10; vx + s + 10 <= kViewWidth; vx += 8) {
            int x = layer.ViewX() + vx, y = layer.ViewY() + vy;
            if (RectTouchesCells(layer, x, y, s, s, 8)) continue;
            bool clear = true;
            for (int b : layer.Belts) {
                const TBeltSource& belt = scene.Belts[size_t(b)];
                // Room for the pieces on the belt, and for the start box and
                // the Chameleon at its ends.
                for (const TPointF& p : belt.Path) clear = clear && RectDistance(p, x, y, s, s) >= 64;
                clear = clear && RectDistance(belt.Path.front(), x, y, s, s) >= 80 &&
                        RectDistance(belt.Path.back(), x, y, s, s) >= 80;
            }
            if (!clear) continue;
            long cost = std::labs(long(vx - (kViewWidth - s) / 2)) + std::labs(long(vy - 20));
            for (int gy = vy / step; gy <= (vy + s) / step; ++gy)
                for (int gx = vx / step; gx <= (vx + s) / step; ++gx) {
                    int o = owner[size_t(gy) * size_t(gw) + size_t(gx)];
                    if (o >= 0) cost += size_t(o) > self ? 100000 : 1000;
                }
            if (best < 0 || cost < best) {
                best = cost;
                layer.ArtX = vx;
                layer.ArtY = vy;
            }
        }
    return best >= 0;
}

void RefineRegionOutlines(TSceneSource& scene, const std::vector<TProtected>& objects) {
    if (scene.Regions.empty()) return;
    auto layerOf = [&](char letter) -> TLayerSource* {
        for (TLayerSource& l : scene.Layers)
            if (letter != 0 && l.Region == letter) return &l;
        return nullptr;
    };
    auto underObject = [&](int col, int row) {
        float x0 = float(col * kCellSize), y0 = float(row * kCellSize);
        for (const TProtected& o : objects) {
            float a = 1e9f, b = 1e9f, c = -1e9f, d = -1e9f;
            for (const TPointF& p : o.Outline) {
                a = std::min(a, p.X);
                b = std::min(b, p.Y);
                c = std::max(c, p.X);
                d = std::max(d, p.Y);
            }
            if (a < x0 + kCellSize && c > x0 && b < y0 + kCellSize && d > y0) return true;
        }
        return false;
    };
    // Each corner: the neighbours that must both be the other layer, the
    // half it gets and the half that stays.
    struct TCorner {
        int Dx, Dy;  // the corner's side steps
        int Given, Kept;
    };
    static const TCorner kCorners[] = {{-1, -1, ckTopLeft, ckBottomRight},
                                       {1, -1, ckTopRight, ckBottomLeft},
                                       {1, 1, ckBottomRight, ckTopLeft},
                                       {-1, 1, ckBottomLeft, ckTopRight}};
    int rows = int(scene.Regions.size());
    int cols = rows ? int(scene.Regions[0].size()) : 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            char own = RegionAt(scene, c, r);
            TLayerSource* a = layerOf(own);
            if (!a) continue;
            for (const TCorner& k : kCorners) {
                char other = RegionAt(scene, c + k.Dx, r);
                if (other == 0 || other == own || RegionAt(scene, c, r + k.Dy) != other) continue;
                if (RegionAt(scene, c - k.Dx, r) != own || RegionAt(scene, c, r - k.Dy) != own) continue;
                TLayerSource* b = layerOf(other);
                if (!b || underObject(c, r)) continue;
                auto cell = std::find_if(a->Cells.begin(), a->Cells.end(), [&](const TCell& x) {
                    return x.Col == c - a->X / kCellSize && x.Row == r - a->Y / kCellSize && x.Kind == ckSquare;
                });
                if (cell == a->Cells.end() || cell->Level != 1) continue;
                cell->Kind = k.Kept;
                b->Cells.push_back(TCell{c - b->X / kCellSize, r - b->Y / kCellSize, k.Given, 1});
                break;
            }
        }
    for (TLayerSource& l : scene.Layers) std::sort(l.Cells.begin(), l.Cells.end());
    auto fail = [&](const std::string& msg) { throw OrvException(scene.FileName() + ": " + msg); };
    LayOutBelts(scene, fail);
    for (TLayerSource& l : scene.Layers)
        if (l.ArtAuto && !PlaceArtefact(scene, l)) fail("layer " + l.Name + ": no room for the artefact in the view");
}

std::vector<TPointF> SmoothPath(const std::vector<TPointF>& wp, float step) {
    std::vector<TPointF> out;
    if (wp.size() < 2) return wp;
    auto get = [&](int i) {
        if (i < 0) return TPointF{2 * wp[0].X - wp[1].X, 2 * wp[0].Y - wp[1].Y};
        int n = int(wp.size());
        if (i >= n) return TPointF{2 * wp[n - 1].X - wp[n - 2].X, 2 * wp[n - 1].Y - wp[n - 2].Y};
        return wp[size_t(i)];
    };
    out.push_back(wp[0]);
    for (int i = 0; i + 1 < int(wp.size()); ++i) {
        TPointF p0 = get(i - 1), p1 = get(i), p2 = get(i + 1), p3 = get(i + 2);
        // Centripetal parameterisation keeps the curve from looping at
        // sharp corners.
        auto dist = [](TPointF a, TPointF b) {
            return std::max(1e-3f, std::pow(std::hypot(b.X - a.X, b.Y - a.Y), 0.5f));
        };
        float t0 = 0, t1 = t0 + dist(p0, p1), t2 = t1 + dist(p1, p2), t3 = t2 + dist(p2, p3);
        float seg = std::hypot(p2.X - p1.X, p2.Y - p1.Y);
        int n = std::max(1, int(std::ceil(seg / step)));
        for (int k = 1; k <= n; ++k) {
            float t = t1 + (t2 - t1) * float(k) / float(n);
            auto lerp = [](TPointF a, TPointF b, float ta, float tb, float tt) {
                float u = (tt - ta) / (tb - ta);
                return TPointF{a.X + (b.X - a.X) * u, a.Y + (b.Y - a.Y) * u};
            };
            TPointF a1 = lerp(p0, p1, t0, t1, t), a2 = lerp(p1, p2, t1, t2, t), a3 = lerp(p2, p3, t2, t3, t);
            TPointF b1 = lerp(a1, a2, t0, t2, t), b2 = lerp(a2, a3, t1, t3, t);
            TPointF c = lerp(b1, b2, t1, t2, t);
            out.push_back(TPointF{std::round(c.X), std::round(c.Y)});
        }
    }
    // Drop repeated points: a zero-length segment would have no direction.
    std::vector<TPointF> clean;
    for (const TPointF& p : out)
        if (clean.empty() || clean.back().X != p.X || clean.back().Y != p.Y) clean.push_back(p);
    return clean;
}

std::vector<TFishSpot> FishSpots(const TLayerSource& layer) {
    std::vector<TFishSpot> spots;
    int n = layer.Fishes;
    if (n <= 0) return spots;
    int ax = layer.ViewX() + layer.ArtX, ay = layer.ViewY() + layer.ArtY;
    int s = kArtefactSize;
    for (int i = 0; i < n; ++i) {
        TFishSpot f;
        // The cut depends on the count, so the name carries both.
        f.Image = "Quest" + layer.Quest + "_" + std::to_string(n) + std::to_string(i + 1) + ".png";
        if (n == 4) {
            f.SrcX = (i % 2) * s / 2;
            f.SrcY = (i / 2) * s / 2;
            f.W = s / 2;
            f.H = s / 2;
        } else {
            f.SrcX = i * s / n;
            f.W = (i + 1) * s / n - f.SrcX;
            f.SrcY = 0;
            f.H = s;
        }
        f.PosX = ax + f.SrcX;
        f.PosY = ay + f.SrcY;
        spots.push_back(f);
    }
    return spots;
}

std::string BeltScript(const TBeltSource& belt) {
    std::string s = "set linear; set timing +" + FormatNumber(belt.Speed / 1000.0) + "; path";
    for (const TPointF& p : belt.Path) s += " (" + std::to_string(int(p.X)) + "," + std::to_string(int(p.Y)) + ")";
    s += ";";
    return s;
}

std::string SceneXml(const TSceneSource& scene, const std::vector<TShape>& shapes) {
    TOrvParser doc;
    TOrvXMLTag* root = doc.AddTag("Scene");
    root->AddAttribute("Picture", scene.PictureName());
    root->AddAttribute("Width", std::to_string(scene.Width));
    root->AddAttribute("Height", std::to_string(scene.Height));
    if (!scene.Music.empty()) root->AddAttribute("MusicName", scene.Music);

    TOrvXMLTag* layers = root->AddTag("Layers");
    for (size_t i = 0; i < scene.Layers.size(); ++i) {
        const TLayerSource& l = scene.Layers[i];
        TOrvXMLTag* t = layers->AddTag("Layer");
        t->AddAttribute("Name", l.Name);
        t->AddAttribute("x", std::to_string(l.X));
        t->AddAttribute("y", std::to_string(l.Y));
        t->AddAttribute("ShX", std::to_string(l.ShX));
        t->AddAttribute("ShY", std::to_string(l.ShY));
        t->AddAttribute("QuestName", l.Quest);
        TOrvXMLTag* pic = t->AddTag("Picture");
        pic->AddAttribute("Name", l.PictureName(scene.Number, int(i)));
        pic->AddAttribute("x", "0");
        pic->AddAttribute("y", "0");
        std::string frags, levels, belts;
        bool stacked = false;
        for (const TCell& c : l.Cells) {
            frags += (frags.empty() ? "" : " ") + std::to_string(FragmentIndex(c));
            levels += (levels.empty() ? "" : " ") + std::to_string(c.Level);
            stacked = stacked || c.Level != 1;
        }
        for (int b : l.Belts) belts += (belts.empty() ? "" : " ") + std::to_string(b);
        t->AddTag("Frags", frags);
        if (stacked) t->AddTag("FragsLevel", levels);
        t->AddTag("Belts", belts);
        TOrvXMLTag* ex = t->AddTag("ExtraFishes");
        ex->AddAttribute("MinFishBefore", std::to_string(l.MinBefore));
        ex->AddAttribute("MaxFishBefore", std::to_string(l.MaxBefore));
        for (const TFishSpot& f : FishSpots(l)) {
            TOrvXMLTag* fish = ex->AddTag("Fish");
            fish->AddAttribute("PosX", std::to_string(f.PosX));
            fish->AddAttribute("PosY", std::to_string(f.PosY));
            fish->AddAttribute("Image", f.Image);
        }
    }

    TOrvXMLTag* belts = root->AddTag("Belts");
    for (const TBeltSource& b : scene.Belts) {
        TOrvXMLTag* t = belts->AddTag("Belt");
        t->AddAttribute("Speed", std::to_string(b.Speed));
        t->AddAttribute("PartImage", b.PartImage);
        t->AddAttribute("PointsBetween", std::to_string(b.PointsBetween));
        t->AddTag("Path", BeltScript(b));
    }

    if (!scene.Decor.empty()) {
        TOrvXMLTag* pics = root->AddTag("Pictures");
        for (const TDecorSource& d : scene.Decor) {
            TOrvXMLTag* t = pics->AddTag("Picture");
            t->AddAttribute("Name", d.Kind);
            t->AddAttribute("x", std::to_string(d.X));
            t->AddAttribute("y", std::to_string(d.Y));
            if (d.Layer >= 0) t->AddAttribute("DrawOnlyLayer", std::to_string(d.Layer));
            for (const TDecorFrame& f : DecorFrames(d.Kind)) {
                TOrvXMLTag* img = t->AddTag("Image");
                img->AddAttribute("Name", f.Picture);
                img->AddAttribute("t", std::to_string(f.TimeMs));
            }
        }
    }

    TOrvXMLTag* prob = root->AddTag("Probabilities");
    TOrvXMLTag* weights = prob->AddTag("FishkaWeights");
    for (const auto& [name, w] : scene.Weights) {
        // A family name stands for every turn of it.
        bool any = false;
        for (const TShape& s : shapes)
            if (s.Name == name || s.Family == name) {
                TOrvXMLTag* t = weights->AddTag("Shape");
                t->AddAttribute("Name", s.Name);
                t->AddAttribute("Weight", std::to_string(w));
                any = true;
            }
        if (!any) throw OrvException(scene.FileName() + ": weight for unknown shape " + name);
    }
    prob->AddTag("BonusFishka", FormatNumber(scene.Bonus));
    prob->AddTag("BombBonusWeight", std::to_string(scene.BonusWeights[0]));
    prob->AddTag("ReverseBonusWeight", std::to_string(scene.BonusWeights[1]));
    prob->AddTag("StopBonusWeight", std::to_string(scene.BonusWeights[2]));
    prob->AddTag("BigBombBonusWeight", std::to_string(scene.BonusWeights[3]));
    return doc.SaveToString();
}

}  // namespace forge
