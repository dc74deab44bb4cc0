#include "ShapeTables.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "base/OrvException.h"

namespace forge {

namespace {

// Corners of the unit cell in the order the kinds use them.
enum { cTL, cTR, cBR, cBL };
const int kCornerX[4] = {0, 1, 1, 0};
const int kCornerY[4] = {0, 0, 1, 1};
// Polygon corners of each kind, clockwise on screen (y down), which is the
// winding the game's point-in-cell test accepts.
const std::vector<int> kKindCorners[kKindCount + 1] = {
    {}, {cTL, cTR, cBR, cBL}, {cTL, cTR, cBL}, {cTL, cTR, cBR}, {cTR, cBR, cBL}, {cTL, cBR, cBL}};

void PutU8(std::vector<uint8_t>& b, size_t at, uint8_t v) {
    b[at] = v;
}
void PutI16(std::vector<uint8_t>& b, size_t at, int v) {
    uint16_t u = uint16_t(int16_t(v));
    b[at] = uint8_t(u);
    b[at + 1] = uint8_t(u >> 8);
}
void PutI32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(u >> (8 * i));
}
void PutShortString(std::vector<uint8_t>& b, size_t at, const std::string& s, size_t maxLen) {
    size_t n = std::min(s.size(), maxLen);
    b[at] = uint8_t(n);
    for (size_t i = 0; i < n; ++i) b[at + 1 + i] = uint8_t(s[i]);
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

int TurnKind(int kind) {
    return kind == ckSquare ? ckSquare : (kind == ckBottomLeft ? ckTopLeft : kind + 1);
}

}  // namespace

std::vector<TCell> ParseCellMap(const std::vector<std::string>& rows, const std::string& where) {
    std::vector<TCell> cells;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            char ch = rows[r][c];
            auto add = [&](int kind, int level) { cells.push_back(TCell{int(c), int(r), kind, level}); };
            switch (ch) {
                case '.':
                case ' ':
                case '\r':
                    break;
                case '#':
                    add(ckSquare, 1);
                    break;
                case '2':
                    add(ckSquare, 2);
                    break;
                case '3':
                    add(ckSquare, 3);
                    break;
                case 'F':
                    add(ckTopLeft, 1);
                    break;
                case '7':
                    add(ckTopRight, 1);
                    break;
                case 'J':
                    add(ckBottomRight, 1);
                    break;
                case 'L':
                    add(ckBottomLeft, 1);
                    break;
                case 'X':
                    add(ckTopLeft, 1);
                    add(ckBottomRight, 1);
                    break;
                case 'Z':
                    add(ckTopRight, 1);
                    add(ckBottomLeft, 1);
                    break;
                default:
                    throw OrvException(where + ": unknown map character '" + std::string(1, ch) + "' in row " +
                                       std::to_string(r + 1));
            }
        }
    }
    return cells;
}

TPolygon CellPolygon(const TCell& cell) {
    TPolygon poly;
    if (cell.Kind < 1 || cell.Kind > kKindCount) return poly;
    for (int corner : kKindCorners[cell.Kind])
        poly.push_back(TPointF{float((cell.Col + kCornerX[corner]) * kCellSize),
                               float((cell.Row + kCornerY[corner]) * kCellSize)});
    return poly;
}

int PointIndex(int col, int row) {
    return row * (kGridCols + 1) + col;
}

int FragmentIndex(const TCell& cell) {
    return ((cell.Row * kGridCols) + cell.Col) * kKindCount + cell.Kind - 1;
}

int FragmentCount() {
    return kGridCols * kGridRows * kKindCount;
}

TCell FragmentCell(int index) {
    if (index < 0 || index >= FragmentCount()) return TCell{0, 0, 0, 1};
    int kind = index % kKindCount + 1;
    int cell = index / kKindCount;
    return TCell{cell % kGridCols, cell / kGridCols, kind, 1};
}

bool CellsConnected(const std::vector<TCell>& cells) {
    if (cells.empty()) return false;
    // Two cells touch when they share an edge: two corner points in common.
    auto corners = [](const TCell& c) {
        std::set<std::pair<int, int>> s;
        for (const TPointF& p : CellPolygon(c)) s.insert({int(p.X), int(p.Y)});
        return s;
    };
    std::vector<std::set<std::pair<int, int>>> cs;
    for (const TCell& c : cells) cs.push_back(corners(c));
    auto shareEdge = [&](size_t a, size_t b) {
        // Shared corners alone are not enough for the two triangles of one
        // square, which share their diagonal; that is an edge too.
        int n = 0;
        for (const auto& p : cs[a]) n += int(cs[b].count(p));
        return n >= 2;
    };
    std::vector<bool> seen(cells.size(), false);
    std::vector<size_t> todo{0};
    seen[0] = true;
    while (!todo.empty()) {
        size_t a = todo.back();
        todo.pop_back();
        for (size_t b = 0; b < cells.size(); ++b)
            if (!seen[b] && shareEdge(a, b)) {
                seen[b] = true;
                todo.push_back(b);
            }
    }
    return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
}

std::vector<TCell> TurnCells(const std::vector<TCell>& cells, int turns, int& cols, int& rows) {
    std::vector<TCell> out = cells;
    int w = 0, h = 0;
    for (const TCell& c : out) {
        w = std::max(w, c.Col + 1);
        h = std::max(h, c.Row + 1);
    }
    for (int t = 0; t < ((turns % 4) + 4) % 4; ++t) {
        for (TCell& c : out) {
            int col = h - 1 - c.Row, row = c.Col;
            c.Col = col;
            c.Row = row;
            c.Kind = TurnKind(c.Kind);
        }
        std::swap(w, h);
    }
    int minC = w, minR = h;
    for (const TCell& c : out) {
        minC = std::min(minC, c.Col);
        minR = std::min(minR, c.Row);
    }
    cols = 0;
    rows = 0;
    for (TCell& c : out) {
        c.Col -= minC;
        c.Row -= minR;
        cols = std::max(cols, c.Col + 1);
        rows = std::max(rows, c.Row + 1);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<TShape> ParseShapes(const std::string& text) {
    std::vector<TShape> shapes;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';') continue;
        std::istringstream head(t);
        std::string word, name, key;
        head >> word >> name;
        if (word != "shape" || name.empty())
            throw OrvException("shapes line " + std::to_string(lineNo) + ": expected \"shape <Name> ...\"");
        int size = 0, score = 0;
        while (head >> key) {
            int v = 0;
            if (!(head >> v))
                throw OrvException("shapes line " + std::to_string(lineNo) + ": " + key + " needs a number");
            if (key == "size")
                size = v;
            else if (key == "score")
                score = v;
            else
                throw OrvException("shapes line " + std::to_string(lineNo) + ": unknown key " + key);
        }
        if (size < 0 || size > 2) throw OrvException("shape " + name + ": size must be 0, 1 or 2");
        std::vector<std::string> rows;
        bool ended = false;
        while (std::getline(in, line)) {
            ++lineNo;
            std::string r = Trim(line);
            if (r == "end") {
                ended = true;
                break;
            }
            if (!r.empty() && r[0] == ';') continue;
            rows.push_back(r);
        }
        if (!ended) throw OrvException("shape " + name + ": missing \"end\"");
        std::vector<TCell> cells = ParseCellMap(rows, "shape " + name);
        for (TCell& c : cells) c.Level = 1;
        if (cells.empty()) throw OrvException("shape " + name + " has no cells");
        if (int(cells.size()) > kMaxShapeCells)
            throw OrvException("shape " + name + " has more than " + std::to_string(kMaxShapeCells) + " cells");
        if (!CellsConnected(cells)) throw OrvException("shape " + name + " falls apart");
        // Distinct quarter turns form the rotation cycle.
        std::vector<std::vector<TCell>> turns;
        std::vector<std::pair<int, int>> boxes;
        std::vector<int> turnNo;
        for (int t = 0; t < 4; ++t) {
            int c = 0, r = 0;
            std::vector<TCell> turned = TurnCells(cells, t, c, r);
            if (std::find(turns.begin(), turns.end(), turned) != turns.end()) continue;
            turns.push_back(turned);
            boxes.push_back({c, r});
            turnNo.push_back(t);
        }
        for (size_t i = 0; i < turns.size(); ++i) {
            TShape s;
            s.Family = name;
            s.Turn = turnNo[i];
            s.Name = turns.size() == 1 ? name : name + "_" + std::to_string(i + 1);
            s.NextName = turns.size() == 1 ? name : name + "_" + std::to_string((i + 1) % turns.size() + 1);
            s.Picture = "Piece" + s.Name + ".png";
            s.Size = size;
            s.Score = score;
            s.Cols = boxes[i].first;
            s.Rows = boxes[i].second;
            s.Cells = turns[i];
            if (s.Name.size() > 32 || s.Picture.size() > 31)
                throw OrvException("shape name " + s.Name + " is too long");
            if (FindShape(shapes, s.Name) >= 0) throw OrvException("shape " + s.Name + " defined twice");
            shapes.push_back(std::move(s));
        }
    }
    if (shapes.empty()) throw OrvException("the shape list is empty");
    return shapes;
}

int FindShape(const std::vector<TShape>& shapes, const std::string& name) {
    for (size_t i = 0; i < shapes.size(); ++i)
        if (shapes[i].Name == name) return int(i);
    return -1;
}

std::vector<uint8_t> WritePointTable() {
    std::vector<uint8_t> b(size_t(kGridCols + 1) * (kGridRows + 1) * 4, 0);
    for (int r = 0; r <= kGridRows; ++r)
        for (int c = 0; c <= kGridCols; ++c) {
            size_t at = size_t(PointIndex(c, r)) * 4;
            PutI16(b, at, c * kCellSize);
            PutI16(b, at + 2, r * kCellSize);
        }
    return b;
}

std::vector<uint8_t> WriteFragmentTable() {
    std::vector<uint8_t> b(size_t(FragmentCount()) * 10, 0);
    for (int i = 0; i < FragmentCount(); ++i) {
        TCell cell = FragmentCell(i);
        size_t at = size_t(i) * 10;
        const std::vector<int>& corners = kKindCorners[cell.Kind];
        PutU8(b, at, uint8_t(cell.Kind));
        PutU8(b, at + 1, uint8_t(corners.size()));
        for (size_t k = 0; k < corners.size(); ++k) {
            int p = PointIndex(cell.Col + kCornerX[corners[k]], cell.Row + kCornerY[corners[k]]);
            b[at + 2 + 2 * k] = uint8_t(p);
            b[at + 3 + 2 * k] = uint8_t(p >> 8);
        }
    }
    return b;
}

std::vector<uint8_t> WriteKindTable() {
    // The anchor of every kind is the top-left corner of its cell: the x of
    // the XSlot point and the y of the YSlot point (1-based slots). Only the
    // bottom-right half square lacks the top-left corner; its bottom-left
    // point (slot 3) gives x and its top-right point (slot 1) gives y.
    std::vector<uint8_t> b(size_t(kKindCount) * 404, 0);
    for (int k = 1; k <= kKindCount; ++k) {
        size_t at = size_t(k - 1) * 404;
        int xSlot = k == ckBottomRight ? 3 : 1;
        PutI32(b, at, 1);          // YSlot
        PutI32(b, at + 4, xSlot);  // XSlot
    }
    return b;
}

std::vector<uint8_t> WriteShapeTable(const std::vector<TShape>& shapes) {
    std::vector<uint8_t> b(shapes.size() * 900, 0);
    for (size_t i = 0; i < shapes.size(); ++i) {
        const TShape& s = shapes[i];
        size_t at = i * 900;
        PutShortString(b, at, s.Name, 32);
        PutShortString(b, at + 33, s.NextName, 34);
        PutI32(b, at + 68, int32_t(s.Cells.size()));
        PutShortString(b, at + 72, s.Picture, 32);
        PutShortString(b, at + 105, (s.Picture + "sh").substr(0, 32), 32);
        for (size_t j = 0; j < s.Cells.size() && j < size_t(kMaxShapeCells); ++j) {
            size_t c = at + 468 + 36 * j;
            const TCell& cell = s.Cells[j];
            TPolygon poly = CellPolygon(cell);
            PutI32(b, c, cell.Kind);
            PutI32(b, c + 4, cell.Col * kCellSize);
            PutI32(b, c + 8, cell.Row * kCellSize);
            PutU8(b, c + 12, uint8_t(poly.size()));
            for (size_t v = 0; v < poly.size(); ++v) {
                PutI16(b, c + 14 + 4 * v, int(poly[v].X));
                PutI16(b, c + 16 + 4 * v, int(poly[v].Y));
            }
        }
    }
    return b;
}

}  // namespace forge
