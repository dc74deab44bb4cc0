// The level sources: every shipped scene reads, writes a document the game's
// reader takes back unchanged, drives belts the effects' path code accepts,
// and can be completed with the pieces its weights spawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "ForgeCheck.h"
#include "SceneSource.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "fx/OrvFXBase.h"

using namespace forge;

namespace {

std::string ReadData(const std::string& rel) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(std::string(MOSWICK_SOURCE_DIR) + "/data/" + rel, text)) << rel;
    return text;
}

// The shipped scenes are numbered from 1 without gaps.
int ShippedScenes() {
    int n = 0;
    std::string text;
    while (ReadWholeFile(std::string(MOSWICK_SOURCE_DIR) + "/data/scenes/scene" + std::to_string(n + 1) + ".txt", text))
        ++n;
    return n;
}

std::vector<int> Numbers(const std::string& s) {
    std::vector<int> v;
    std::istringstream in(s);
    int x = 0;
    while (in >> x) v.push_back(x);
    return v;
}

const char* kSmallScene =
    "painting meadow\nsize 700 620\nweight Dot 1\n"
    "layer A\nat 300 300\nquest Sun\nfishes 2 3 5\nartefact 20 20\n"
    "belt 10 BeltPart1.png : 60,100 60,500 600,500\n"
    "map\n##\nend\n";

std::string SceneError(const std::string& text) {
    try {
        ParseSceneSource(text, 1, "test");
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "no error";
}

TLayerSource LayerOf(const std::vector<std::string>& rows) {
    TLayerSource l;
    l.Cells = ParseCellMap(rows, "test");
    return l;
}

}  // namespace

TEST(ForgeScenes, ShippedScenesReadBackAndDriveValidBelts) {
    std::vector<TShape> shapes = ParseShapes(ReadData("shapes.txt"));
    ASSERT_GE(ShippedScenes(), 10);
    for (int n = 1; n <= ShippedScenes(); ++n) {
        std::string name = "scenes/scene" + std::to_string(n) + ".txt";
        TSceneSource sc = ParseSceneSource(ReadData(name), n, name);
        ASSERT_GE(sc.Width, kViewWidth) << name;
        ASSERT_GE(sc.Layers.size(), 3u);
        ASSERT_LE(sc.Layers.size(), 12u);
        TOrvParser doc;
        doc.LoadFromString(SceneXml(sc, shapes));
        TOrvXMLTag* root = doc.GetTag(0);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->AttributeValue("Picture"), sc.PictureName());
        TOrvXMLTag* layers = root->FindTag("Layers");
        ASSERT_NE(layers, nullptr);
        ASSERT_EQ(layers->TagCount(), int(sc.Layers.size()));
        for (size_t i = 0; i < sc.Layers.size(); ++i) {
            const TLayerSource& l = sc.Layers[i];
            TOrvXMLTag* t = layers->GetTag(int(i));
            std::vector<int> frags = Numbers(t->FindTag("Frags")->Value);
            ASSERT_EQ(frags.size(), l.Cells.size()) << name << " " << l.Name;
            for (size_t k = 0; k < frags.size(); ++k) EXPECT_EQ(frags[k], FragmentIndex(l.Cells[k]));
            if (TOrvXMLTag* lv = t->FindTag("FragsLevel")) {
                std::vector<int> levels = Numbers(lv->Value);
                ASSERT_EQ(levels.size(), l.Cells.size());
                for (size_t k = 0; k < levels.size(); ++k) EXPECT_EQ(levels[k], l.Cells[k].Level);
            }
            EXPECT_EQ(Numbers(t->FindTag("Belts")->Value), l.Belts);
            int fishes = t->FindTag("ExtraFishes")->TagCount();
            EXPECT_GE(fishes, 2);
            EXPECT_LE(fishes, 4);
        }
        TOrvXMLTag* belts = root->FindTag("Belts");
        ASSERT_NE(belts, nullptr);
        ASSERT_EQ(belts->TagCount(), int(sc.Belts.size()));
        for (size_t b = 0; b < sc.Belts.size(); ++b) {
            const TBeltSource& src = sc.Belts[b];
            TOrvPiecewiseFunc path;
            path.BuildFromScript(belts->GetTag(int(b))->FindTag("Path")->Value);
            // The game takes the belt's time and length from this function.
            EXPECT_NEAR(double(path.TotalDuration), double(src.TimeMs), src.Path.size() * 0.5 + 1) << name;
            EXPECT_NEAR(path.TotalLength, src.Length, 1.0) << name;
            TOrvVector start = path.GetValue(0, false), end = path.GetValue(int32_t(path.TotalDuration), false);
            EXPECT_NEAR(start.X, src.Path.front().X, 0.01);
            EXPECT_NEAR(end.Y, src.Path.back().Y, 0.01);
            const TLayerSource& l = sc.Layers[size_t(src.Layer)];
            for (int32_t ms = 0; ms <= int32_t(path.TotalDuration); ms += 500) {
                TOrvVector p = path.GetValue(ms, false);
                EXPECT_GE(p.X, l.ViewX());
                EXPECT_GE(p.Y, l.ViewY());
                EXPECT_LE(p.X, l.ViewX() + kViewWidth);
                EXPECT_LE(p.Y, l.ViewY() + kViewHeight);
            }
        }
    }
}

TEST(ForgeScenes, EveryShippedLayerCanBeCompleted) {
    std::vector<TShape> shapes = ParseShapes(ReadData("shapes.txt"));
    for (int n = 1; n <= ShippedScenes(); ++n) {
        std::string name = "scenes/scene" + std::to_string(n) + ".txt";
        TSceneSource sc = ParseSceneSource(ReadData(name), n, name);
        std::vector<int> usable = SpawnableShapes(sc, shapes);
        for (const TLayerSource& l : sc.Layers) {
            std::vector<TPlacement> plan;
            ASSERT_TRUE(SolveLayer(l, shapes, usable, &plan)) << name << " " << l.Name;
            // Laying the plan covers every fragment exactly its level times.
            std::vector<int> count(size_t(FragmentCount()), 0);
            for (const TPlacement& p : plan)
                for (const TCell& c : shapes[size_t(p.Shape)].Cells)
                    ++count[size_t(FragmentIndex(TCell{c.Col + p.Col, c.Row + p.Row, c.Kind, 1}))];
            for (const TCell& c : l.Cells) EXPECT_EQ(count[size_t(FragmentIndex(c))], c.Level);
        }
    }
}

TEST(ForgeScenes, ShippedLayersShareNoAreaAndKeepTheirArtefactsOffTheirFragments) {
    for (int n = 1; n <= ShippedScenes(); ++n) {
        std::string name = "scenes/scene" + std::to_string(n) + ".txt";
        TSceneSource sc = ParseSceneSource(ReadData(name), n, name);
        for (size_t i = 0; i < sc.Layers.size(); ++i) {
            const TLayerSource& l = sc.Layers[i];
            for (size_t o = 0; o < i; ++o)
                EXPECT_EQ(OverlappingCells(sc.Layers[o], l), 0) << name << " " << sc.Layers[o].Name << "/" << l.Name;
            for (const TFishSpot& f : FishSpots(l)) EXPECT_FALSE(RectOnLayer(l, f.PosX, f.PosY, f.W, f.H)) << name;
            // The start box and the Chameleon keep off the layer's fragments.
            for (int b : l.Belts) {
                const TBeltSource& belt = sc.Belts[size_t(b)];
                for (const TPointF& end : {belt.Path.front(), belt.Path.back()})
                    EXPECT_FALSE(RectOnLayer(l, int(end.X) - kEndSquare / 2, int(end.Y) - kEndSquare / 2, kEndSquare,
                                             kEndSquare))
                        << name << " " << l.Name;
            }
        }
        // The track pictures keep one spacing on every belt, and every belt
        // is long enough for the game's count of them to be at least one.
        for (const TBeltSource& b : sc.Belts) {
            EXPECT_EQ(b.PointsBetween, kTrackSpacing);
            EXPECT_GE(int(b.Length) / b.PointsBetween, 1);
        }
    }
}

TEST(ForgeScenes, LayerAreaIsMeasuredByCellNotByBox) {
    TLayerSource a = LayerOf({"#F", "##"}), b = LayerOf({".J", ".."});
    // F and J halve one square between them: no shared area.
    EXPECT_EQ(OverlappingCells(a, b), 0);
    b = LayerOf({".7"});
    EXPECT_EQ(OverlappingCells(a, b), 1);
    // Layers placed apart by less than a cell still overlap.
    b = LayerOf({"#"});
    b.X = 30;
    b.Y = 50;
    EXPECT_EQ(OverlappingCells(a, b), 1);
    b.X = 80;
    EXPECT_EQ(OverlappingCells(a, b), 0);
    // The empty half of a half square is not on the layer; its edge is not either.
    EXPECT_FALSE(RectOnLayer(a, 70, 30, 6, 6));
    EXPECT_TRUE(RectOnLayer(a, 42, 2, 6, 6));
    EXPECT_FALSE(RectOnLayer(a, 80, 0, 40, 80));
    EXPECT_FALSE(PointOnLayer(a, 60.0f, 20.0f));
    EXPECT_TRUE(PointOnLayer(a, 59.0f, 20.0f));
}

TEST(ForgeScenes, AutomaticArtefactPrefersFreeOrEarlierGroundToALaterLayer) {
    // Two layers share one view; the only room for P's artefact lies on F.
    // Played after F it sits on F, already restored; played before it, the
    // same place is the last resort (the picture is covered whole), taken
    // rather than no place at all.
    std::string rows;
    for (int r = 0; r < 6; ++r) rows += std::string(16, '#') + "\n";
    auto scene = [&](bool fullFirst) {
        std::string full =
            "layer F\nat 25 0\nview -25 0\nquest Sun\nfishes 2 3 5\nartefact 20 480\n"
            "belt 10 BeltPart1.png : 20,580 630,580\nmap\n" +
            rows + "end\n";
        std::string part =
            "layer P\nat 25 240\nview -25 -240\nquest Key\nfishes 2 3 5\nartefact auto\n"
            "belt 10 BeltPart1.png : 20,580 630,580\nmap\n" +
            rows + "end\n";
        return std::string("painting meadow\nsize 700 620\nweight Dot 1\n") + (fullFirst ? full + part : part + full);
    };
    TSceneSource later = ParseSceneSource(scene(true), 1, "test");
    const TLayerSource& second = later.Layers[1];
    bool onFirst = false;
    for (const TFishSpot& f : FishSpots(second))
        onFirst = onFirst || RectOnLayer(later.Layers[0], f.PosX, f.PosY, f.W, f.H);
    EXPECT_TRUE(onFirst);
    TSceneSource before = ParseSceneSource(scene(false), 1, "test");
    for (const TFishSpot& f : FishSpots(before.Layers[0])) {
        EXPECT_FALSE(RectOnLayer(before.Layers[0], f.PosX, f.PosY, f.W, f.H));
        EXPECT_TRUE(RectOnLayer(before.Layers[1], f.PosX, f.PosY, f.W, f.H));
    }
}

TEST(ForgeScenes, SolverFollowsKindsAndStackLevels) {
    std::vector<TShape> shapes = ParseShapes(
        "shape Dot size 0 score 1\n#\nend\nshape Wedge size 0 score 1\nF\nend\nshape Pair size 0 score 1\n##\nend\n");
    int dot = FindShape(shapes, "Dot"), pair1 = FindShape(shapes, "Pair_1");
    std::vector<int> wedges;
    for (size_t i = 0; i < shapes.size(); ++i)
        if (shapes[i].Family == "Wedge") wedges.push_back(int(i));
    // Triangles take triangle pieces; a square never fills them.
    TLayerSource tri = LayerOf({"XZ"});
    EXPECT_FALSE(SolveLayer(tri, shapes, {dot}, nullptr));
    EXPECT_TRUE(SolveLayer(tri, shapes, wedges, nullptr));
    // A piece lies on fragments of one level only: a pair cannot straddle a
    // double square and a plain one, and nothing else fills this layer.
    EXPECT_FALSE(SolveLayer(LayerOf({"2#"}), shapes, {pair1}, nullptr));
    std::vector<TPlacement> plan;
    ASSERT_TRUE(SolveLayer(LayerOf({"22"}), shapes, {pair1}, &plan));
    EXPECT_EQ(plan.size(), 2u);
    // With the one-cell piece the double square is lowered first, then the
    // pair covers both.
    ASSERT_TRUE(SolveLayer(LayerOf({"2#"}), shapes, {pair1, dot}, &plan));
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].Shape, dot);
    EXPECT_EQ(plan[1].Shape, pair1);
}

TEST(ForgeScenes, MalformedSourcesAreRefusedWithFileAndReason) {
    EXPECT_EQ(SceneError(kSmallScene), "no error");
    std::string s = kSmallScene;
    // A centred view near the scene's corner is pushed back inside; a view
    // the designer wrote is taken as written and refused when it leaves.
    std::string corner = std::string(s).replace(s.find("at 300 300"), 10, "at 10 10");
    TSceneSource pushed = ParseSceneSource(corner, 1, "test");
    EXPECT_EQ(pushed.Layers[0].ViewX(), 0);
    EXPECT_EQ(pushed.Layers[0].ViewY(), 0);
    EXPECT_NE(SceneError(std::string(corner).replace(corner.find("quest"), 5, "view -20 -20\nquest"))
                  .find("view leaves the scene"),
              std::string::npos);
    EXPECT_NE(SceneError(std::string(s).replace(s.find("map\n##"), 6, "map\n#?")).find("unknown map character"),
              std::string::npos);
    EXPECT_NE(SceneError(std::string(s).replace(s.find("belt 10"), 7, "belt -3")).find("belt needs"),
              std::string::npos);
    EXPECT_NE(SceneError(std::string(s) + "layer B\nat 320 300\nmap\n#\nend\n").find("one to three belts"),
              std::string::npos);
    EXPECT_NE(SceneError(std::string(s) + "frobnicate 1\n").find("unknown layer key"), std::string::npos);
    EXPECT_NE(SceneError("size 700 620\n").find("without layers"), std::string::npos);
    // Sizes that would make the painter allocate without bound are refused.
    EXPECT_NE(SceneError(std::string(s).replace(s.find("size 700 620"), 12, "size 70000 62000")).find("larger than"),
              std::string::npos);
    EXPECT_NE(
        SceneError(std::string(s).replace(s.find("map\n##"), 6, "map\n################")).find("leaves the scene"),
        std::string::npos);
    EXPECT_NE(SceneError(std::string(s) + "end\n").find("test line"), std::string::npos);
}

TEST(ForgeScenes, ArtefactCutsTileTheArtefact) {
    for (int n = 2; n <= 4; ++n) {
        TLayerSource l;
        l.Quest = "Key";
        l.Fishes = n;
        int area = 0;
        std::vector<std::string> names;
        for (const TFishSpot& f : FishSpots(l)) {
            area += f.W * f.H;
            EXPECT_GE(f.SrcX, 0);
            EXPECT_LE(f.SrcX + f.W, kArtefactSize);
            EXPECT_LE(f.SrcY + f.H, kArtefactSize);
            EXPECT_EQ(f.PosX - f.SrcX, l.ViewX() + l.ArtX);
            names.push_back(f.Image);
        }
        EXPECT_EQ(area, kArtefactSize * kArtefactSize);
        EXPECT_EQ(names.size(), size_t(n));
        // Different cuts of one artefact never share a picture name.
        EXPECT_EQ(names[0], "QuestKey_" + std::to_string(n) + "1.png");
    }
}

TEST(ForgeScenes, AutomaticArtefactKeepsOffFragmentsAndBelts) {
    std::string src = kSmallScene;
    src.replace(src.find("artefact 20 20"), 14, "artefact auto");
    TSceneSource sc = ParseSceneSource(src, 1, "test");
    const TLayerSource& l = sc.Layers[0];
    int x = l.ViewX() + l.ArtX, y = l.ViewY() + l.ArtY;
    EXPECT_GE(l.ArtX, 0);
    EXPECT_LE(l.ArtX + kArtefactSize, kViewWidth);
    // Not over the layer's two cells.
    EXPECT_TRUE(x + kArtefactSize <= l.X || x >= l.X + 2 * kCellSize || y + kArtefactSize <= l.Y ||
                y >= l.Y + kCellSize);
    // Clear of the belt by more than half a piece.
    for (const TPointF& p : sc.Belts[0].Path) {
        float dx = std::max({float(x) - p.X, 0.0f, p.X - float(x + kArtefactSize)});
        float dy = std::max({float(y) - p.Y, 0.0f, p.Y - float(y + kArtefactSize)});
        EXPECT_GE(std::hypot(dx, dy), 60.0f);
    }
    // A view with no room at all is reported.
    std::string full = kSmallScene;
    full.replace(full.find("artefact 20 20"), 14, "artefact auto");
    std::string rows;
    for (int r = 0; r < kGridRows; ++r) rows += std::string(kGridCols, '#') + "\n";
    full.replace(full.find("map\n##\n"), 7, "map\n" + rows);
    full.replace(full.find("size 700 620"), 12, "size 1200 900");
    EXPECT_NE(SceneError(full).find("no room for the artefact"), std::string::npos);
}

TEST(ForgeScenes, SmoothPathsKeepTheirEndsAndHaveNoRepeatedPoints) {
    std::vector<TPointF> p = SmoothPath({{10, 10}, {200, 15}, {210, 300}, {20, 310}}, 24);
    ASSERT_GE(p.size(), 20u);
    EXPECT_FLOAT_EQ(p.front().X, 10);
    EXPECT_FLOAT_EQ(p.back().Y, 310);
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        float d = std::hypot(p[i + 1].X - p[i].X, p[i + 1].Y - p[i].Y);
        EXPECT_GT(d, 0.0f);
        EXPECT_LT(d, 40.0f);
    }
}
