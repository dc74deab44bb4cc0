// The shape tables the content build writes must make the game's fit test
// work: every cell of every piece has to land exactly on a fragment of its
// kind, with the anchors the game computes from the kind records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Art.h"
#include "ShapeTables.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

using namespace forge;

namespace {

std::vector<TShape> RealShapes() {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(std::string(MOSWICK_SOURCE_DIR) + "/data/shapes.txt", text));
    return ParseShapes(text);
}

int16_t I16(const std::vector<uint8_t>& b, size_t at) {
    return int16_t(uint16_t(b[at] | (b[at + 1] << 8)));
}
int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24);
}

// The tables as the game reads them.
struct TTables {
    std::vector<uint8_t> points = WritePointTable();
    std::vector<uint8_t> frags = WriteFragmentTable();
    std::vector<uint8_t> kinds = WriteKindTable();

    std::pair<int, int> Point(int index) const {
        return {I16(points, size_t(index) * 4), I16(points, size_t(index) * 4 + 2)};
    }
    int Kind(int frag) const { return frags[size_t(frag) * 10]; }
    int Count(int frag) const { return frags[size_t(frag) * 10 + 1]; }
    int PointOf(int frag, int slot) const {  // slot 1-based
        size_t at = size_t(frag) * 10 + 2 + 2 * size_t(slot - 1);
        return frags[at] | (frags[at + 1] << 8);
    }
    std::pair<int, int> Anchor(int frag) const {
        int k = Kind(frag);
        int ySlot = I32(kinds, size_t(k - 1) * 404), xSlot = I32(kinds, size_t(k - 1) * 404 + 4);
        return {Point(PointOf(frag, xSlot)).first, Point(PointOf(frag, ySlot)).second};
    }
};

}  // namespace

TEST(ForgeTables, EveryCellSnapsOntoItsFragmentWhereverThePieceLies) {
    std::vector<TShape> shapes = RealShapes();
    std::vector<uint8_t> table = WriteShapeTable(shapes);
    ASSERT_EQ(table.size(), shapes.size() * 900);
    TTables t;
    for (size_t s = 0; s < shapes.size(); ++s) {
        size_t rec = s * 900;
        int cells = I32(table, rec + 68);
        ASSERT_EQ(cells, int(shapes[s].Cells.size()));
        for (int offCol : {0, 3}) {
            int offRow = offCol == 0 ? 0 : 2;
            for (int j = 0; j < cells; ++j) {
                size_t c = rec + 468 + 36 * size_t(j);
                int kind = I32(table, c), ax = I32(table, c + 4), ay = I32(table, c + 8), n = table[c + 12];
                TCell cell = shapes[s].Cells[size_t(j)];
                int frag = FragmentIndex(TCell{cell.Col + offCol, cell.Row + offRow, cell.Kind, 1});
                ASSERT_EQ(t.Kind(frag), kind) << shapes[s].Name;
                ASSERT_EQ(t.Count(frag), n) << shapes[s].Name;
                // The game's snap: fragment anchor minus cell anchor.
                auto [fx, fy] = t.Anchor(frag);
                EXPECT_EQ(fx - ax, offCol * kCellSize) << shapes[s].Name << " cell " << j;
                EXPECT_EQ(fy - ay, offRow * kCellSize) << shapes[s].Name << " cell " << j;
                // Every vertex of the cell, moved there, sits on a vertex of
                // the fragment (the fit test allows 25 pixels).
                for (int v = 0; v < n; ++v) {
                    int vx = I16(table, c + 14 + 4 * size_t(v)) + offCol * kCellSize;
                    int vy = I16(table, c + 16 + 4 * size_t(v)) + offRow * kCellSize;
                    bool hit = false;
                    for (int slot = 1; slot <= n; ++slot) {
                        auto [px, py] = t.Point(t.PointOf(frag, slot));
                        hit = hit || (px == vx && py == vy);
                    }
                    EXPECT_TRUE(hit) << shapes[s].Name << " cell " << j << " vertex " << v;
                }
            }
        }
    }
}

TEST(ForgeTables, CellsWindTheWayThePointInCellTestExpects) {
    // The game takes a point as inside when, for every edge i -> i+1,
    // (py - yi)(xi+1 - xi) - (px - xi)(yi+1 - yi) >= 0.
    for (int kind = 1; kind <= kKindCount; ++kind) {
        TPolygon p = CellPolygon(TCell{2, 1, kind, 1});
        float cx = 0, cy = 0;
        for (const TPointF& v : p) {
            cx += v.X;
            cy += v.Y;
        }
        cx /= float(p.size());
        cy /= float(p.size());
        for (size_t i = 0; i < p.size(); ++i) {
            const TPointF& a = p[i];
            const TPointF& b = p[(i + 1) % p.size()];
            EXPECT_GE((cy - a.Y) * (b.X - a.X) - (cx - a.X) * (b.Y - a.Y), 0.0f) << "kind " << kind;
        }
        // And a point outside the cell's square fails.
        float ox = p[0].X - 5, oy = p[0].Y - 5;
        bool allIn = true;
        for (size_t i = 0; i < p.size(); ++i) {
            const TPointF& a = p[i];
            const TPointF& b = p[(i + 1) % p.size()];
            allIn = allIn && (oy - a.Y) * (b.X - a.X) - (ox - a.X) * (b.Y - a.Y) >= 0;
        }
        EXPECT_FALSE(allIn) << "kind " << kind;
    }
}

TEST(ForgeTables, RotationCyclesCloseAndTurnTheCellsClockwise) {
    std::vector<TShape> shapes = RealShapes();
    ASSERT_GE(shapes.size(), 24u);
    EXPECT_EQ(shapes[0].Name, shapes[0].NextName);  // shape 0 is the one-cell piece
    EXPECT_EQ(shapes[0].Cells.size(), 1u);
    for (const TShape& s : shapes) {
        int next = FindShape(shapes, s.NextName);
        ASSERT_GE(next, 0) << s.NextName;
        int cols = 0, rows = 0;
        std::vector<TCell> turned = TurnCells(s.Cells, 1, cols, rows);
        EXPECT_EQ(turned, shapes[size_t(next)].Cells) << s.Name << " -> " << s.NextName;
        std::string at = s.Name;
        int steps = 0;
        do {
            at = shapes[size_t(FindShape(shapes, at))].NextName;
            ++steps;
        } while (at != s.Name && steps < 5);
        EXPECT_LE(steps, 4) << s.Name;
        EXPECT_GE(s.Size, 0);
        EXPECT_LE(s.Size, 2);
    }
    // Sizes 1 and 2 both occur, as the size classes of the parameters need.
    EXPECT_TRUE(std::any_of(shapes.begin(), shapes.end(), [](const TShape& s) { return s.Size == 1; }));
    EXPECT_TRUE(std::any_of(shapes.begin(), shapes.end(), [](const TShape& s) { return s.Size == 2; }));
}

TEST(ForgeTables, HalfSquareMasksCoverTheirSquareExactlyOnce) {
    TCanvas sq = PaintFragMask(ckSquare);
    for (auto [a, b] : {std::pair{ckTopLeft, ckBottomRight}, std::pair{ckTopRight, ckBottomLeft}}) {
        TCanvas ma = PaintFragMask(a), mb = PaintFragMask(b);
        for (int y = 0; y < kCellSize; ++y)
            for (int x = 0; x < kCellSize; ++x) {
                EXPECT_FLOAT_EQ(ma.At(x, y).A + mb.At(x, y).A, 1.0f) << x << "," << y;
                EXPECT_FLOAT_EQ(sq.At(x, y).A, 1.0f);
            }
    }
}

TEST(ForgeTables, MalformedShapeListsAreRefusedWithTheReason) {
    auto error = [](const std::string& text) {
        try {
            ParseShapes(text);
        } catch (const OrvException& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_NE(error("shape A size 0 score 1\n#Q\nend\n").find("unknown map character"), std::string::npos);
    EXPECT_NE(error("shape A size 0 score 1\n#.#\nend\n").find("falls apart"), std::string::npos);
    EXPECT_NE(error("shape A size 0 score 1\n#7\nend\n").find("falls apart"), std::string::npos);
    EXPECT_NE(error("shape A size 0 score 1\n#######\n######\nend\n").find("more than 12"), std::string::npos);
    EXPECT_NE(error("shape A size 0 score 1\n#\n").find("missing \"end\""), std::string::npos);
    EXPECT_NE(error("shape A size 0 score 1\n#\nend\nshape A size 0 score 1\n#\nend\n").find("twice"),
              std::string::npos);
    EXPECT_NE(error("shape A size 3 score 1\n#\nend\n").find("size"), std::string::npos);
    EXPECT_NE(error("").find("empty"), std::string::npos);
    // Two halves sharing their diagonal make one piece.
    EXPECT_EQ(error("shape A size 0 score 1\nX\nend\n"), "no error");
}

TEST(ForgeTables, FragmentIndexesRoundTripAndStayInsideTheTable) {
    std::set<int> seen;
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridCols; ++c)
            for (int k = 1; k <= kKindCount; ++k) {
                int f = FragmentIndex(TCell{c, r, k, 1});
                ASSERT_GE(f, 0);
                ASSERT_LT(f, FragmentCount());
                EXPECT_TRUE(seen.insert(f).second);
                EXPECT_EQ(FragmentCell(f), (TCell{c, r, k, 1}));
            }
    EXPECT_EQ(FragmentCell(-1).Kind, 0);
    EXPECT_EQ(FragmentCell(FragmentCount()).Kind, 0);
    // Point indexes fit the fragment record's 16-bit fields.
    EXPECT_LT(PointIndex(kGridCols, kGridRows), 65536);
    EXPECT_EQ(WriteFragmentTable().size(), size_t(FragmentCount()) * 10);
}
