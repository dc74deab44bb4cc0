// The lattice every layer is cut on, the cell kinds, the shapes of the
// pieces, and the four fixed-record tables the game loads at start-up
// ("TriSqrPoints.dat", "TriSqrFishes.dat", "TriSqrFishkaTypes.dat",
// "TriSqrFishType.dat").
//
// The lattice is square: cells of kCellSize pixels, each either a whole
// square (kind 1) or one of the four right-angled half squares, named after
// the corner that holds the right angle and drawn in the text maps with the
// letter of that corner's shape: F top left (kind 2), 7 top right (kind 3),
// J bottom right (kind 4), L bottom left (kind 5). Turning a piece a quarter
// clockwise takes F to 7 to J to L and back to F.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Raster.h"

namespace forge {

inline constexpr int kCellSize = 40;
inline constexpr int kGridCols = 16;  // cells across the largest layer
inline constexpr int kGridRows = 14;
inline constexpr int kKindCount = 5;
inline constexpr int kMaxShapeCells = 12;
inline constexpr int kMaxLayerFrags = 255;  // a scene's list holds at most 255 numbers

enum TCellKind : int { ckSquare = 1, ckTopLeft = 2, ckTopRight = 3, ckBottomRight = 4, ckBottomLeft = 5 };

// One cell of a map: its column, row and kind (and the stack level a layer
// map may give it).
struct TCell {
    int Col = 0;
    int Row = 0;
    int Kind = ckSquare;
    int Level = 1;
    bool operator<(const TCell& o) const {
        return Row != o.Row ? Row < o.Row : Col != o.Col ? Col < o.Col : Kind < o.Kind;
    }
    bool operator==(const TCell& o) const { return Row == o.Row && Col == o.Col && Kind == o.Kind; }
};

// Parses a text map (rows of characters, one per cell: '#' square, 'F', '7',
// 'J', 'L' half squares, 'X' both F and J, 'Z' both 7 and L, '2' and '3' a
// square to be covered two or three times, '.' or blank nothing). Throws
// OrvException naming where for any other character.
std::vector<TCell> ParseCellMap(const std::vector<std::string>& rows, const std::string& where);

// Corner points of a cell of the kind at (col, row), in the winding the game's
// hit test expects, in pixels.
TPolygon CellPolygon(const TCell& cell);
// Index of a lattice point and of a fragment in the tables.
int PointIndex(int col, int row);
int FragmentIndex(const TCell& cell);
// The cell a fragment index stands for; Kind 0 when the index is out of range.
TCell FragmentCell(int index);
int FragmentCount();
// Whether the cells form one piece (every cell reaches every other across
// shared edges).
bool CellsConnected(const std::vector<TCell>& cells);

// A shape of the shape table.
struct TShape {
    std::string Name;
    std::string NextName;
    std::string Picture;
    std::string Family;  // the base shape it was turned from
    int Turn = 0;        // quarter turns from the base orientation
    int Size = 0;        // 0 normal, 1 big, 2 very big
    int Score = 0;
    int Cols = 0, Rows = 0;  // bounding box in cells
    std::vector<TCell> Cells;
};

// Reads the shape list: blocks "shape <Name> size <n> score <n>", the map
// rows, "end". Lines starting with ';' are comments. Every block yields its
// distinct quarter turns as a rotation cycle ("<Name>_1".."<Name>_4", or just
// "<Name>" when turning changes nothing). The first shape becomes shape 0.
// Throws OrvException for a malformed block, a piece that falls apart, more
// than kMaxShapeCells cells, or a repeated name.
std::vector<TShape> ParseShapes(const std::string& text);
int FindShape(const std::vector<TShape>& shapes, const std::string& name);
// The cells of the shape turned by quarter turns clockwise, moved back to the
// origin; cols and rows receive the new bounding box.
std::vector<TCell> TurnCells(const std::vector<TCell>& cells, int turns, int& cols, int& rows);

// The four tables, byte for byte as the game reads them.
std::vector<uint8_t> WritePointTable();
std::vector<uint8_t> WriteFragmentTable();
std::vector<uint8_t> WriteShapeTable(const std::vector<TShape>& shapes);
std::vector<uint8_t> WriteKindTable();

}  // namespace forge
