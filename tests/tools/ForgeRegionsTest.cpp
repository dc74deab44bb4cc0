// Layers drawn as regions of one scene-wide map: how the map becomes layer
// cells, how staircase outlines are cut on the diagonal, how coverage and
// cut objects are measured, belts given a crossing time, the region
// planner, and the soft painters' edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "ForgeCheck.h"
#include "PaintKit.h"
#include "RegionPlanner.h"
#include "SceneSource.h"
#include "base/OrvException.h"

using namespace forge;

namespace {

// A 680 x 600 scene (17 x 15 cells) with the given map and one layer block
// per letter of letters. A layer spans 14 rows at most, so the maps keep
// their last row for two small layers C and D.
std::string RegionScene(const std::vector<std::string>& map, const std::string& letters,
                        const std::string& extra = "") {
    std::string s = "painting meadow\nsize 680 600\nweight Dot 1\nweight Wedge 1\nregions\n";
    for (const std::string& r : map) s += r + "\n";
    s += "end\n";
    for (char c : letters)
        s += std::string("layer L") + c + "\nregion " + c + "\n" + (c == letters[0] ? extra : "") +
             "quest Sun\nfishes 2 3 5\nartefact 0 0\nbelt 10 BeltPart1.png : 20,580 630,580\n";
    return s;
}

const char* kLastRow = "CCCCCCCCDDDDDDDDD";

std::vector<std::string> Halves(int split) {
    std::vector<std::string> map;
    for (int r = 0; r < 14; ++r) map.push_back(std::string(size_t(split), 'A') + std::string(size_t(17 - split), 'B'));
    map.push_back(kLastRow);
    return map;
}

std::string Error(const std::string& text) {
    try {
        ParseSceneSource(text, 1, "test");
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "no error";
}

const TLayerSource& Layer(const TSceneSource& sc, char region) {
    for (const TLayerSource& l : sc.Layers)
        if (l.Region == region) return l;
    throw OrvException("no layer");
}

}  // namespace

TEST(ForgeRegions, MapBecomesLayerCellsAndStacksOnlyInnerSquares) {
    std::vector<std::string> map(15, std::string(16, 'B') + "E");
    for (int r = 2; r < 9; ++r) map[size_t(r)].replace(3, 6, "AAAAAA");
    map[14] = kLastRow;
    TSceneSource sc = ParseSceneSource(RegionScene(map, "ABCDE", "stack 4\n"), 1, "test");
    const TLayerSource& a = Layer(sc, 'A');
    EXPECT_EQ(a.X, 3 * kCellSize);
    EXPECT_EQ(a.Y, 2 * kCellSize);
    EXPECT_EQ(a.Cols, 6);
    EXPECT_EQ(a.Rows, 7);
    ASSERT_EQ(a.Cells.size(), 42u);
    int stacked = 0;
    for (const TCell& c : a.Cells)
        if (c.Level == 2) {
            ++stacked;
            // Inner squares only: the outline refinement never splits them.
            EXPECT_TRUE(c.Col > 0 && c.Col < 5 && c.Row > 0 && c.Row < 6) << c.Col << "," << c.Row;
        }
    EXPECT_EQ(stacked, 4);
    EXPECT_NEAR(SceneCoverage(sc), 1.0, 1e-9);
}

TEST(ForgeRegions, MistakesInTheMapAreRefusedWithTheReason) {
    std::vector<std::string> map = Halves(8);
    std::vector<std::string> shortMap(map.begin(), map.end() - 1);
    EXPECT_NE(Error(RegionScene(shortMap, "ABCD")).find("regions map needs 15 rows"), std::string::npos);
    std::vector<std::string> narrow = map;
    narrow[3].pop_back();
    EXPECT_NE(Error(RegionScene(narrow, "ABCD")).find("rows need 17 cells"), std::string::npos);
    EXPECT_NE(Error(RegionScene(map, "ABCDE")).find("region E is empty"), std::string::npos);
    EXPECT_NE(Error(RegionScene(map, "ABCD", "stack 200\n")).find("more stacked squares"), std::string::npos);
    std::string twice = RegionScene(map, "ABCD") +
                        "layer Again\nregion A\nquest Sun\nfishes 2 3 5\nartefact 0 0\n"
                        "belt 10 BeltPart1.png : 20,580 630,580\n";
    EXPECT_NE(Error(twice).find("region used twice"), std::string::npos);
    EXPECT_NE(Error(RegionScene(map, "ABCD", "map\n#\nend\n")).find("region and map both given"), std::string::npos);
    EXPECT_NE(Error(RegionScene(map, "ABCD", "region AB\n")).find("region needs one letter"), std::string::npos);
}

TEST(ForgeRegions, StaircaseCornersAreCutOnTheDiagonalExceptUnderObjects) {
    // B climbs one cell a row into A: every step's corner cell of A gives
    // B its half.
    std::vector<std::string> map;
    for (int r = 0; r < 14; ++r)
        map.push_back(std::string(size_t(3 + r % 8), 'A') + std::string(size_t(14 - r % 8), 'B'));
    map.push_back(kLastRow);
    auto halves = [](const TSceneSource& sc) {
        int n = 0;
        for (const TLayerSource& l : sc.Layers)
            for (const TCell& c : l.Cells) n += c.Kind != ckSquare;
        return n;
    };
    TSceneSource plain = ParseSceneSource(RegionScene(map, "ABCD"), 1, "test");
    TSceneSource cut = plain;
    RefineRegionOutlines(cut, {});
    EXPECT_GT(halves(cut), 8);
    // Nothing is lost or restored twice: the halves pair up in their cells.
    EXPECT_NEAR(SceneCoverage(cut), 1.0, 1e-9);
    EXPECT_EQ(OverlappingCells(cut.Layers[0], cut.Layers[1]), 0);
    // An object over the staircase keeps its cells whole, and in one layer.
    TSceneSource guarded = plain;
    std::vector<TProtected> objects;
    Protect(objects, "tower", 0, 0, 680, 600);
    RefineRegionOutlines(guarded, objects);
    EXPECT_EQ(halves(guarded), 0);
}

TEST(ForgeRegions, CoverageCountsHalvesAndCutObjectsAreFound) {
    TSceneSource sc = ParseSceneSource(RegionScene(Halves(8), "ABCD"), 1, "test");
    EXPECT_NEAR(SceneCoverage(sc), 1.0, 1e-9);
    std::vector<TProtected> objects;
    Protect(objects, "house", 100, 100, 300, 200);   // inside A (x < 320)
    Protect(objects, "bridge", 280, 300, 400, 340);  // across the border
    ProtectDisc(objects, "sun", 500, 100, 30);       // inside B
    std::vector<std::string> cut = CutObjects(sc, objects);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0], "bridge");
    // A layer of half squares restores half as much as its box.
    TSceneSource part = sc;
    part.Layers.resize(1);
    part.Layers[0].Cells = {TCell{0, 0, ckTopLeft, 1}};
    part.Layers[0].X = part.Layers[0].Y = 0;
    EXPECT_NEAR(SceneCoverage(part), 800.0 / (680.0 * 600.0), 1e-9);
}

TEST(ForgeRegions, CrossingTimeSetsTheSpeedFromTheBeltsLength) {
    std::string text =
        "painting meadow\nsize 700 620\nweight Dot 1\nlayer A\nat 300 300\nquest Sun\nfishes 2 3 5\nartefact 20 20\n"
        "belt 30s BeltPart1.png : 60,100 60,500 600,500\nmap\n##\nend\n";
    TSceneSource sc = ParseSceneSource(text, 1, "test");
    ASSERT_EQ(sc.Belts.size(), 1u);
    EXPECT_NEAR(sc.Belts[0].TimeMs, 30000, 30000 / sc.Belts[0].Length + 100);
    EXPECT_EQ(sc.Belts[0].Speed, int(std::lround(sc.Belts[0].Length / 30)));
    for (const char* bad : {"0s", "s", "3x", "-5"}) {
        std::string b = text;
        b.replace(b.find("30s"), 3, bad);
        EXPECT_NE(Error(b).find("belt needs"), std::string::npos) << bad;
    }
}

TEST(ForgeRegions, AutomaticBeltsKeepOffTheirLayerAndLeaveTheEndsFree) {
    std::vector<std::string> map(15, std::string(16, 'B') + "E");
    for (int r = 3; r < 11; ++r) map[size_t(r)].replace(4, 9, "AAAAAAAAA");
    map[14] = kLastRow;
    std::string text = RegionScene(map, "ABCDE");
    for (size_t at = 0; (at = text.find("artefact 0 0", at)) != std::string::npos;)
        text.replace(at, 12, "artefact auto");
    size_t first = text.find("belt 10 BeltPart1.png : 20,580 630,580");
    text.replace(first, 38, "belt 40s BeltPart1.png : auto");
    TSceneSource sc = ParseSceneSource(text, 1, "test");
    const TLayerSource& a = Layer(sc, 'A');
    const TBeltSource& belt = sc.Belts[size_t(a.Belts[0])];
    EXPECT_GT(belt.Length, 600);
    EXPECT_NEAR(belt.TimeMs, 40000, 1000);
    int on = 0;
    for (const TPointF& p : belt.Path) on += PointOnLayer(a, p.X, p.Y);
    EXPECT_LE(on * 12, int(belt.Path.size()));
    for (const TPointF& end : {belt.Path.front(), belt.Path.back()})
        EXPECT_FALSE(RectOnLayer(a, int(end.X) - kEndSquare / 2, int(end.Y) - kEndSquare / 2, kEndSquare, kEndSquare));
    for (const TFishSpot& f : FishSpots(a)) EXPECT_FALSE(RectOnLayer(a, f.PosX, f.PosY, f.W, f.H));
}

TEST(ForgeRegions, PlannerFollowsColourKeepsObjectsWholeAndCoversTheLattice) {
    // Sky over meadow with a house on the border between them.
    TCanvas c(720, 600);
    c.FillRect(0, 0, 720, 600, [](int, int y) { return y < 280 ? Rgb(90, 150, 230) : Rgb(70, 150, 60); });
    std::vector<TProtected> objects;
    Protect(objects, "house", 200, 220, 330, 330);
    std::vector<std::string> map = PlanRegions(c, objects, 4);
    ASSERT_EQ(map.size(), 15u);
    std::set<char> letters;
    for (const std::string& row : map) {
        ASSERT_EQ(row.size(), 18u);
        EXPECT_EQ(row.find('.'), std::string::npos);
        letters.insert(row.begin(), row.end());
    }
    EXPECT_GE(letters.size(), 3u);
    // The house's cells (cols 5-8, rows 5-8) all fall to one layer.
    char house = map[5][5];
    for (int r = 5; r <= 8; ++r)
        for (int col = 5; col <= 8; ++col) EXPECT_EQ(map[size_t(r)][size_t(col)], house);
    // Every layer's box stays within the limits the belts need, with the
    // little slack scraps may take.
    for (char l : letters) {
        int c0 = 99, c1 = -1, r0 = 99, r1 = -1;
        for (int r = 0; r < 15; ++r)
            for (int col = 0; col < 18; ++col)
                if (map[size_t(r)][size_t(col)] == l) {
                    c0 = std::min(c0, col);
                    c1 = std::max(c1, col);
                    r0 = std::min(r0, r);
                    r1 = std::max(r1, r);
                }
        EXPECT_LE(c1 - c0 + 1, kPlanMaxCols + 2) << l;
        EXPECT_LE(r1 - r0 + 1, kPlanMaxRows + 2) << l;
    }
    // Away from the house the border between sky and meadow is a border
    // between layers too.
    for (int col = 12; col < 18; ++col) EXPECT_NE(map[6][size_t(col)], map[7][size_t(col)]) << col;
}

TEST(ForgeRegions, SoftPaintersFadeToNothingBeforeTheirBox) {
    // A flat ellipse used to be cut by its box about an eighth opaque; a
    // glow by its square at 2%. Each must reach nothing without a step.
    struct TCase {
        const char* Name;
        void (*Paint)(TCanvas&);
    };
    const TCase cases[] = {
        {"flat ellipse", [](TCanvas& c) { c.SoftEllipse(200, 100, 80, 8, 8, Rgb(0, 0, 0)); }},
        {"tall ellipse", [](TCanvas& c) { c.SoftEllipse(200, 100, 10, 60, 6, Rgb(0, 0, 0)); }},
        {"disc", [](TCanvas& c) { c.SoftDisc(200, 100, 30, 8, Rgb(0, 0, 0)); }},
        {"glow", [](TCanvas& c) { c.Glow(200, 100, 90, Rgb(255, 255, 255)); }},
    };
    for (const TCase& k : cases) {
        TCanvas c(400, 200);
        k.Paint(c);
        // Between any two neighbouring pixels the opacity moves by less than
        // a visible step, and at the canvas' border it is gone.
        float worst = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x + 1 < 400; ++x) {
                worst = std::max(worst, std::abs(c.At(x + 1, y).A - c.At(x, y).A));
                if (y + 1 < 200) worst = std::max(worst, std::abs(c.At(x, y + 1).A - c.At(x, y).A));
            }
        EXPECT_LT(worst, 0.2f) << k.Name;
        float rim = 0;
        for (int x = 0; x < 400; ++x) rim = std::max({rim, c.At(x, 0).A, c.At(x, 199).A});
        for (int y = 0; y < 200; ++y) rim = std::max({rim, c.At(0, y).A, c.At(399, y).A});
        EXPECT_LT(rim, 1.0f / 255) << k.Name;
        // The last painted pixel along each axis from the centre is faint.
        for (int x = 200; x < 400; ++x)
            if (c.At(x, 100).A > 0 && (x + 1 == 400 || c.At(x + 1, 100).A == 0)) {
                EXPECT_LT(c.At(x, 100).A, 0.02f) << k.Name;
            }
        for (int y = 100; y < 200; ++y)
            if (c.At(200, y).A > 0 && (y + 1 == 200 || c.At(200, y + 1).A == 0)) {
                EXPECT_LT(c.At(200, y).A, 0.02f) << k.Name;
            }
    }
    // Haze lies across the whole width; it must fade in and out again.
    TCanvas c(100, 200);
    Haze(c, 40, 160, Rgb(255, 255, 255));
    for (int y = 0; y + 1 < 200; ++y) EXPECT_LT(std::abs(c.At(50, y + 1).A - c.At(50, y).A), 0.05f) << y;
    EXPECT_LT(c.At(50, 40).A, 0.03f);
    EXPECT_LT(c.At(50, 159).A, 0.03f);
    EXPECT_GT(c.At(50, 100).A, 0.9f);
}
