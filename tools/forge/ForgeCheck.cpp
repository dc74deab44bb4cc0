#include "ForgeCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "Art.h"
#include "InterfaceCheck.h"
#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "fx/OrvFXBase.h"
#include "media/PNGMorf.h"
#include "render/PictureCodec.h"

namespace forge {

namespace {

std::vector<int> ReadList(const std::string& text) {
    std::vector<int> out;
    std::istringstream in(text);
    int v = 0;
    while (in >> v) out.push_back(v);
    return out;
}

bool InsideLayerCells(const TLayerSource& l, float sx, float sy) {
    float x = sx - float(l.X), y = sy - float(l.Y);
    if (x < 0 || y < 0) return false;
    int col = int(x) / kCellSize, row = int(y) / kCellSize;
    for (const TCell& c : l.Cells)
        if (c.Col == col && c.Row == row) return true;
    return false;
}

struct TSolver {
    const std::vector<TShape>& shapes;
    std::vector<int> order;  // usable shapes, biggest first
    std::vector<int> level;  // remaining pieces per fragment index
    std::vector<int> frags;  // the layer's fragments in lattice order
    std::vector<TPlacement> laid;
    long nodes = 0, limit = 0;

    bool Fits(const TShape& s, int dc, int dr, int lvl) const {
        for (const TCell& c : s.Cells) {
            int col = c.Col + dc, row = c.Row + dr;
            if (col < 0 || row < 0 || col >= kGridCols || row >= kGridRows) return false;
            if (level[size_t(FragmentIndex(TCell{col, row, c.Kind, 1}))] != lvl) return false;
        }
        return true;
    }
    void Lay(const TShape& s, int dc, int dr, int delta) {
        for (const TCell& c : s.Cells) level[size_t(FragmentIndex(TCell{c.Col + dc, c.Row + dr, c.Kind, 1}))] += delta;
    }
    bool Search() {
        if (++nodes > limit) return false;
        int first = -1;
        for (int f : frags)
            if (level[size_t(f)] > 0) {
                first = f;
                break;
            }
        if (first < 0) return true;
        TCell target = FragmentCell(first);
        int lvl = level[size_t(first)];
        for (int si : order) {
            const TShape& s = shapes[size_t(si)];
            for (const TCell& c : s.Cells) {
                if (c.Kind != target.Kind) continue;
                int dc = target.Col - c.Col, dr = target.Row - c.Row;
                if (!Fits(s, dc, dr, lvl)) continue;
                Lay(s, dc, dr, -1);
                laid.push_back(TPlacement{si, dc, dr});
                if (Search()) return true;
                laid.pop_back();
                Lay(s, dc, dr, +1);
                if (nodes > limit) return false;
            }
        }
        return false;
    }
};

bool InsidePolygon(const TPolygon& poly, float x, float y) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const TPointF& a = poly[i];
        const TPointF& b = poly[j];
        if ((a.Y > y) != (b.Y > y) && x < (b.X - a.X) * (y - a.Y) / (b.Y - a.Y) + a.X) in = !in;
    }
    return in;
}

std::string Fixed(double v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

// The checks that look at a scene as a whole: its settings, how much of the
// picture its layers restore, whether an outline cuts a painted object and
// whether each layer changes enough to be seen; and the scene's line of the
// table.
void CheckWholeScene(const TContentBuild& build, size_t index, const std::vector<int>& usable, TCheckReport& r) {
    const TSceneSource& sc = build.Scenes()[index];
    std::string tag = sc.FileName() + ": ";
    // The music is packed with the audio; without any (a check of the
    // levels alone) there is nothing to hold the name against.
    if (const TArchiveEntry* list = build.FindEntry("musics.dat"); list && !sc.Music.empty()) {
        std::string names(list->Bytes.begin(), list->Bytes.end());
        bool listed = false;
        std::istringstream in(names);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            listed = listed || line == sc.Music;
        }
        if (!listed || !build.FindEntry(sc.Music))
            r.Problems.push_back(tag + "music " + sc.Music + " is not in the archive");
    }
    if (!(sc.Bonus >= 0 && sc.Bonus <= 1)) r.Problems.push_back(tag + "bonus chance outside 0..1");
    for (int w : sc.BonusWeights)
        if (w < 0) r.Problems.push_back(tag + "negative bonus weight");
    double cover = SceneCoverage(sc);
    if (cover < kMinCoverage)
        r.Problems.push_back(tag + "layers restore only " + Fixed(cover * 100, 1) + "% of the picture");
    for (const std::string& name : CutObjects(sc, build.Objects(index)))
        r.Problems.push_back(tag + "a layer outline cuts the " + name);
    const std::vector<double>& change = build.LayerChanges(index);
    double least = 1e9;
    for (size_t li = 0; li < sc.Layers.size() && li < change.size(); ++li) {
        least = std::min(least, change[li]);
        if (change[li] < kMinRestoredChange)
            r.Problems.push_back(tag + "layer " + sc.Layers[li].Name + " restores too little change (" +
                                 Fixed(change[li], 1) + ")");
    }
    int frags = 0, stacked = 0;
    for (const TLayerSource& l : sc.Layers)
        for (const TCell& c : l.Cells) {
            ++frags;
            stacked += c.Level > 1;
        }
    std::vector<std::string> families;
    for (int u : usable) {
        const std::string& f = build.Shapes()[size_t(u)].Family;
        if (std::find(families.begin(), families.end(), f) == families.end()) families.push_back(f);
    }
    double first = sc.Belts.empty() ? 0 : sc.Belts[0].TimeMs / 1000.0;
    double fastest = 1e9, slowest = 0;
    for (const TBeltSource& b : sc.Belts) {
        fastest = std::min(fastest, b.TimeMs / 1000.0);
        slowest = std::max(slowest, b.TimeMs / 1000.0);
    }
    char line[200];
    std::snprintf(line, sizeof line, "%-12s %6.1f%% %6zu %6d %7d %5zu %5.0f %5.0f-%-4.0f %6zu %6.2f %6.0f",
                  sc.FileName().c_str(), cover * 100, sc.Layers.size(), frags, stacked, sc.Belts.size(), first, fastest,
                  slowest, families.size(), sc.Bonus, least);
    r.Table.push_back(line);
}

// Prepares the packed archive in memory the way the game does at its first
// start, and decodes every picture the game asks for from the result.
void CheckPreparation(const TContentBuild& build, TCheckReport& r) {
    try {
        TFileFolder packed = TFileFolder::CreateNew("game.zxc");
        for (const TArchiveEntry& e : build.Entries()) {
            TMemoryStream s(e.Bytes);
            packed.AddFile(e.Name, e.Kind, s);
        }
        TFileFolder ready = TFileFolder::CreateNew("temp/game.zxc");
        TPNGMorf(kJpegQuality).ConvertArchive(packed, ready);
        for (const std::string& name : build.ReferencedPictures()) {
            TMemoryStream* s = ready.Stream(name);
            if (!s) {
                r.Problems.push_back("picture " + name + " is missing from the prepared archive");
                continue;
            }
            try {
                TPicture pic = DecodePicture(s->Data(), s->Size());
                bool png = name.size() > 3 && LowerAscii(name.substr(name.size() - 3)) == "png";
                if (png && !pic.HasAlpha())
                    r.Problems.push_back("picture " + name + " comes out of the preparation without opacity");
            } catch (const OrvException& ex) {
                r.Problems.push_back("picture " + name + " does not decode once prepared: " + ex.Message());
            }
        }
    } catch (const OrvException& ex) {
        r.Problems.push_back("the archive does not prepare: " + ex.Message());
    }
}

}  // namespace

std::vector<int> SpawnableShapes(const TSceneSource& scene, const std::vector<TShape>& shapes) {
    std::vector<int> out{0};
    for (const auto& [name, w] : scene.Weights) {
        if (w <= 0) continue;
        for (size_t i = 0; i < shapes.size(); ++i)
            if ((shapes[i].Name == name || shapes[i].Family == name) &&
                std::find(out.begin(), out.end(), int(i)) == out.end())
                out.push_back(int(i));
    }
    return out;
}

bool SolveLayer(const TLayerSource& layer, const std::vector<TShape>& shapes, const std::vector<int>& usable,
                std::vector<TPlacement>* placements, long nodeLimit) {
    TSolver s{shapes, usable, std::vector<int>(size_t(FragmentCount()), 0), {}, {}, 0, nodeLimit};
    std::stable_sort(s.order.begin(), s.order.end(),
                     [&](int a, int b) { return shapes[size_t(a)].Cells.size() > shapes[size_t(b)].Cells.size(); });
    for (const TCell& c : layer.Cells) {
        int f = FragmentIndex(c);
        if (f < 0 || f >= FragmentCount()) return false;
        s.level[size_t(f)] = c.Level;
        s.frags.push_back(f);
    }
    std::sort(s.frags.begin(), s.frags.end(), [](int a, int b) {
        TCell ca = FragmentCell(a), cb = FragmentCell(b);
        return ca < cb;
    });
    bool ok = s.Search();
    if (ok && placements) *placements = s.laid;
    return ok;
}

TCheckReport CheckContent(const TContentBuild& build) {
    TCheckReport r;
    r.Table.push_back("scene         cover layers  frags stacked belts first  all (s) shapes  bonus change");
    const std::vector<TShape>& shapes = build.Shapes();
    if (shapes.size() < 24) r.Problems.push_back("fewer than 24 shapes");
    for (const std::string& name : build.ReferencedPictures())
        if (!build.HasPicture(name)) r.Problems.push_back("picture " + name + " is not in the archive");
    CheckPreparation(build, r);
    CheckInterface(build, GameHandlerNames(), r);
    for (const TSceneSource& sc : build.Scenes()) {
        std::string tag = sc.FileName() + ": ";
        const TArchiveEntry* e = build.FindEntry(sc.FileName());
        if (!e) {
            r.Problems.push_back(tag + "missing from the archive");
            continue;
        }
        TOrvParser doc;
        try {
            doc.LoadFromString(std::string(e->Bytes.begin(), e->Bytes.end()));
        } catch (const OrvException& ex) {
            r.Problems.push_back(tag + "does not parse: " + ex.Message());
            continue;
        }
        TOrvXMLTag* root = doc.GetTag(0);
        TOrvXMLTag* layers = root ? root->FindTag("Layers") : nullptr;
        if (!root || root->AttributeValue("Picture").empty() || root->AttributeValue("Width").empty() ||
            root->AttributeValue("Height").empty() || !layers || layers->TagCount() != int(sc.Layers.size())) {
            r.Problems.push_back(tag + "scene element incomplete");
            continue;
        }
        std::vector<int> usable = SpawnableShapes(sc, shapes);
        for (size_t li = 0; li < sc.Layers.size(); ++li) {
            const TLayerSource& l = sc.Layers[li];
            std::string lt = tag + "layer " + l.Name + ": ";
            TOrvXMLTag* lx = layers->GetTag(int(li));
            std::vector<int> frags = ReadList(lx->FindTag("Frags") ? lx->FindTag("Frags")->Value : "");
            if (frags.size() != l.Cells.size()) r.Problems.push_back(lt + "fragment list does not read back");
            if (frags.size() > size_t(kMaxLayerFrags)) r.Problems.push_back(lt + "more than 255 fragments");
            int pw = l.Cols * kCellSize, ph = l.Rows * kCellSize;
            for (int f : frags) {
                TCell c = FragmentCell(f);
                if (c.Kind == 0) {
                    r.Problems.push_back(lt + "fragment " + std::to_string(f) + " does not exist");
                    continue;
                }
                if ((c.Col + 1) * kCellSize > pw || (c.Row + 1) * kCellSize > ph)
                    r.Problems.push_back(lt + "fragment " + std::to_string(f) + " lies outside the layer picture");
            }
            std::vector<TPlacement> plan;
            if (!SolveLayer(l, shapes, usable, &plan))
                r.Problems.push_back(lt + "cannot be completed with the spawnable shapes");
            else
                r.Notes.push_back(lt + std::to_string(l.Cells.size()) + " fragments, solved with " +
                                  std::to_string(plan.size()) + " pieces, change " +
                                  Fixed(li < build.LayerChanges(size_t(&sc - build.Scenes().data())).size()
                                            ? build.LayerChanges(size_t(&sc - build.Scenes().data()))[li]
                                            : 0,
                                        1));
            // The artefact spots must lie in the view and off the fragments.
            // A delivered fish is painted into the background for good: on
            // a later layer that layer's restored picture covers it; on an
            // earlier one it sits over the restored picture, which is fine.
            for (const TFishSpot& f : FishSpots(l)) {
                if (f.PosX < l.ViewX() || f.PosY < l.ViewY() || f.PosX + f.W > l.ViewX() + kViewWidth ||
                    f.PosY + f.H > l.ViewY() + kViewHeight)
                    r.Problems.push_back(lt + "extra fish spot outside the view");
                if (RectOnLayer(l, f.PosX, f.PosY, f.W, f.H))
                    r.Problems.push_back(lt + "extra fish spot lies on the layer's fragments");
                for (size_t o = 0; o < sc.Layers.size(); ++o) {
                    if (o == li || !RectOnLayer(sc.Layers[o], f.PosX, f.PosY, f.W, f.H)) continue;
                    // Over a later layer the delivered artefact becomes part
                    // of that layer's restored picture; with the picture
                    // covered whole that is the only place a first layer has.
                    r.Notes.push_back(lt + "extra fish spot lies on the " + (o > li ? "later" : "earlier") + " layer " +
                                      sc.Layers[o].Name);
                }
            }
            // Layers share no area: the player would restore it twice.
            for (size_t o = 0; o < li; ++o)
                if (int n = OverlappingCells(sc.Layers[o], l))
                    r.Problems.push_back(lt + std::to_string(n) + " fragment(s) overlap layer " + sc.Layers[o].Name);
            if (l.Fishes < 2 || l.MinBefore < 1)
                r.Problems.push_back(lt + "needs 2 to 4 extra fishes, coming after at least 1 piece");
            for (int b : l.Belts) {
                const TBeltSource& belt = sc.Belts[size_t(b)];
                const int half = kEndSquare / 2;
                const TPointF& s0 = belt.Path.front();
                const TPointF& s1 = belt.Path.back();
                if (RectOnLayer(l, int(s0.X) - half, int(s0.Y) - half, kEndSquare, kEndSquare))
                    r.Problems.push_back(lt + "the start box of belt " + std::to_string(b) + " lies over fragments");
                if (RectOnLayer(l, int(s1.X) - half, int(s1.Y) - half, kEndSquare, kEndSquare))
                    r.Problems.push_back(lt + "the Chameleon of belt " + std::to_string(b) + " lies over fragments");
                int on = 0;
                for (const TPointF& p : belt.Path) {
                    if (p.X < l.ViewX() + 10 || p.Y < l.ViewY() + 10 || p.X > l.ViewX() + kViewWidth - 10 ||
                        p.Y > l.ViewY() + kViewHeight - 10) {
                        r.Problems.push_back(lt + "belt " + std::to_string(b) + " leaves the view at " +
                                             std::to_string(int(p.X)) + "," + std::to_string(int(p.Y)));
                        break;
                    }
                    on += InsideLayerCells(l, p.X, p.Y);
                }
                if (on * 10 > int(belt.Path.size()))
                    r.Problems.push_back(lt + "belt " + std::to_string(b) +
                                         " runs over the fragments for more than a tenth of its way");
            }
        }
        TOrvXMLTag* beltTags = root->FindTag("Belts");
        for (size_t b = 0; b < sc.Belts.size(); ++b) {
            const TBeltSource& belt = sc.Belts[b];
            if (belt.Length <= 0 || belt.TimeMs <= 0)
                r.Problems.push_back(tag + "belt " + std::to_string(b) + " has no length or time");
            // The game builds the belt from the written script; its first
            // function gives the belt's length and time.
            TOrvXMLTag* bt = beltTags ? beltTags->GetTag(int(b)) : nullptr;
            TOrvXMLTag* pathTag = bt ? bt->FindTag("Path") : nullptr;
            if (!pathTag) {
                r.Problems.push_back(tag + "belt " + std::to_string(b) + " has no path in the document");
            } else {
                try {
                    TOrvPiecewiseFunc path;
                    path.BuildFromScript(pathTag->Value);
                    if (path.TotalDuration == 0 || path.TotalLength <= 0)
                        r.Problems.push_back(tag + "belt " + std::to_string(b) + " path has no length or time");
                    // The game lays PathLength / PointsBetween track pictures
                    // and divides the path time by that count.
                    int between = std::atoi(bt->AttributeValue("PointsBetween").c_str());
                    if (between <= 0 || int(std::lround(path.TotalLength)) / between < 1)
                        r.Problems.push_back(tag + "belt " + std::to_string(b) + " is shorter than its track spacing");
                } catch (const OrvException& ex) {
                    r.Problems.push_back(tag + "belt " + std::to_string(b) + " path script: " + ex.Message());
                }
            }
            for (const TPointF& p : belt.Path)
                if (p.X < 0 || p.Y < 0 || p.X >= sc.Width || p.Y >= sc.Height) {
                    r.Problems.push_back(tag + "belt " + std::to_string(b) + " leaves the scene");
                    break;
                }
            r.Notes.push_back(tag + "belt " + std::to_string(b) + ": " + std::to_string(int(belt.Length)) + " px, " +
                              std::to_string(belt.TimeMs / 1000) + " s");
        }
        CheckWholeScene(build, size_t(&sc - build.Scenes().data()), usable, r);
    }
    return r;
}

double SceneCoverage(const TSceneSource& scene) {
    double area = 0;
    for (const TLayerSource& l : scene.Layers)
        for (const TCell& c : l.Cells) {
            // Only the part inside the picture counts.
            int x0 = l.X + c.Col * kCellSize, y0 = l.Y + c.Row * kCellSize;
            int w = std::clamp(scene.Width - x0, 0, kCellSize), h = std::clamp(scene.Height - y0, 0, kCellSize);
            double inside = double(w) * double(h) / double(kCellSize * kCellSize);
            area += (c.Kind == ckSquare ? 1.0 : 0.5) * inside * kCellSize * kCellSize;
        }
    return scene.Width > 0 && scene.Height > 0 ? area / (double(scene.Width) * double(scene.Height)) : 0;
}

std::vector<std::string> CutObjects(const TSceneSource& scene, const std::vector<TProtected>& objects) {
    std::vector<std::string> cut;
    for (const TProtected& o : objects) {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const TPointF& p : o.Outline) {
            x0 = std::min(x0, p.X);
            y0 = std::min(y0, p.Y);
            x1 = std::max(x1, p.X);
            y1 = std::max(y1, p.Y);
        }
        int first = -2;
        bool split = false;
        // Off the pixel grid, so no sample falls on a half square's diagonal.
        for (float y = y0 + 1.37f; y < y1 && !split; y += 4)
            for (float x = x0 + 1.21f; x < x1 && !split; x += 4) {
                if (!InsidePolygon(o.Outline, x, y)) continue;
                int owner = LayerAt(scene, x, y);
                if (owner < 0) continue;
                if (first == -2) first = owner;
                split = owner != first;
            }
        if (split) cut.push_back(o.Name);
    }
    return cut;
}

std::string LatticeChart(const TSceneSource& scene, const std::vector<TProtected>& objects) {
    int cols = scene.Width / kCellSize, rows = scene.Height / kCellSize;
    std::vector<std::string> grid(size_t(rows), std::string(size_t(cols), '.'));
    std::string legend;
    for (size_t i = 0; i < objects.size(); ++i) {
        char mark = i < 26 ? char('a' + i) : char('0' + (i - 26) % 10);
        legend += std::string(1, mark) + " " + objects[i].Name + "\n";
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                bool hit = false;
                for (int k = 0; k < 16 && !hit; ++k)
                    hit = InsidePolygon(objects[i].Outline, float(c * kCellSize) + 2.5f + 5.0f * float(k % 4) * 2.3f,
                                        float(r * kCellSize) + 2.5f + 5.0f * float(k / 4) * 2.3f);
                if (hit) grid[size_t(r)][size_t(c)] = grid[size_t(r)][size_t(c)] == '.' ? mark : '*';
            }
    }
    std::string out;
    for (const std::string& row : grid) out += row + "\n";
    return out + legend;
}

TCanvas HalfRestored(const TContentBuild& build, size_t i) {
    const TSceneSource& sc = build.Scenes()[i];
    const TCanvas& painting = build.Painting(i);
    TCanvas pic = FadeScene(painting, uint32_t(sc.Number));
    for (size_t li = 0; li < sc.Layers.size(); li += 2) {
        const TLayerSource& l = sc.Layers[li];
        for (const TCell& c : l.Cells) {
            TPolygon poly = CellPolygon(c);
            for (TPointF& p : poly) {
                p.X += float(l.X);
                p.Y += float(l.Y);
            }
            pic.FillPolygon(poly, [&](int x, int y) { return painting.At(x, y); });
        }
    }
    return pic;
}

void WriteSheet(const TContentBuild& build, const std::string& path) {
    // Each scene twice: faded with its layers, belts and artefact spots
    // drawn over it, and finished, every layer restored.
    const int cellW = 380, cols = 2;
    const auto& scenes = build.Scenes();
    std::vector<int> heights;
    for (const TSceneSource& sc : scenes) heights.push_back(int(std::lround(double(sc.Height) * cellW / sc.Width)));
    int rows = int((scenes.size() + cols - 1) / cols);
    int rowH = 0;
    for (int h : heights) rowH = std::max(rowH, h);
    TCanvas sheet(cols * (2 * cellW + 4) + (cols + 1) * 14, rows * rowH + (rows + 1) * 10, Rgb(30, 28, 34));
    static const TColor kLayerColours[] = {Rgb(255, 220, 90),  Rgb(120, 230, 255), Rgb(255, 120, 180),
                                           Rgb(160, 255, 120), Rgb(220, 160, 255), Rgb(255, 160, 90)};
    for (size_t i = 0; i < scenes.size(); ++i) {
        const TSceneSource& sc = scenes[i];
        float k = float(cellW) / float(sc.Width);
        int ox = 14 + int(i % cols) * (2 * cellW + 4 + 14), oy = 10 + int(i / cols) * (rowH + 10);
        TCanvas pic = FadeScene(build.Painting(i), uint32_t(sc.Number)).Downscale(cellW, heights[i]);
        sheet.Draw(build.Painting(i).Downscale(cellW, heights[i]), ox + cellW + 4, oy);
        for (size_t li = 0; li < sc.Layers.size(); ++li) {
            const TLayerSource& l = sc.Layers[li];
            TColor col = kLayerColours[li % 6];
            float vx = l.ViewX() * k, vy = l.ViewY() * k;
            pic.Polyline(TPolygon{{vx, vy},
                                  {vx + kViewWidth * k, vy},
                                  {vx + kViewWidth * k, vy + kViewHeight * k},
                                  {vx, vy + kViewHeight * k},
                                  {vx, vy}},
                         1.0f, WithAlpha(col, 0.5f));
            for (const TCell& c : l.Cells) {
                TPolygon poly = CellPolygon(c);
                for (TPointF& p : poly) {
                    p.X = (p.X + l.X) * k;
                    p.Y = (p.Y + l.Y) * k;
                }
                TPolygon ring = poly;
                ring.push_back(poly[0]);
                pic.FillPolygon(poly, WithAlpha(col, c.Level > 1 ? 0.35f : 0.12f));
                pic.Polyline(ring, 0.8f, WithAlpha(col, 0.7f));
            }
            for (const TFishSpot& f : FishSpots(l))
                pic.FillPolygon(TPolygon{{f.PosX * k, f.PosY * k},
                                         {(f.PosX + f.W) * k, f.PosY * k},
                                         {(f.PosX + f.W) * k, (f.PosY + f.H) * k},
                                         {f.PosX * k, (f.PosY + f.H) * k}},
                                WithAlpha(col, 0.55f));
            for (int b : l.Belts) {
                TPolygon line;
                for (const TPointF& p : sc.Belts[size_t(b)].Path) line.push_back({p.X * k, p.Y * k});
                pic.Polyline(line, 2.2f, WithAlpha(col, 0.9f));
                pic.SoftDisc(line.front().X, line.front().Y, 4, 1, Rgb(255, 255, 255));
                pic.SoftDisc(line.back().X, line.back().Y, 4, 1, Rgb(255, 40, 40));
            }
        }
        sheet.Draw(pic, ox, oy);
    }
    SavePNGFile(path, sheet.ToRGB());
}

}  // namespace forge
