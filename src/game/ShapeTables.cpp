#include "game/ShapeTables.h"

#include <cmath>
#include <cstring>

#include "base/FileFolder.h"
#include "base/OrvException.h"

namespace {

int16_t I16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
// A length-prefixed string of at most maxLength characters; a longer prefix
// is cut to what the field holds.
std::string ShortString(const uint8_t* p, size_t maxLength) {
    const size_t n = std::min<size_t>(p[0], maxLength);
    return std::string(reinterpret_cast<const char*>(p + 1), n);
}

const uint8_t* Bytes(std::string_view s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

[[noreturn]] void Refuse(const std::string& entry, size_t record, const std::string& why) {
    throw OrvException(entry + ": record " + std::to_string(record) + " " + why);
}

TShape ReadShape(const uint8_t* r, size_t index) {
    const std::string entry = "TriSqrFishkaTypes.dat";
    TShape s;
    s.Name = ShortString(r, 32);
    s.NextName = ShortString(r + 33, 34);
    const int32_t cellCount = I32(r + 68);
    s.Picture = ShortString(r + 72, 32);
    s.ShadowPicture = (s.Picture + "sh").substr(0, 32);
    if (cellCount < 1 || cellCount > TShapeTables::kMaxCells)
        Refuse(entry, index, "(" + s.Name + ") has " + std::to_string(cellCount) + " cells, not 1 to 12");
    for (int32_t j = 0; j < cellCount; ++j) {
        const uint8_t* c = r + 468 + 36 * j;
        TShapeCell cell;
        cell.Kind = static_cast<uint8_t>(I32(c) & 0xFF);
        cell.AnchorX = I32(c + 4);
        cell.AnchorY = I32(c + 8);
        const int vertexCount = c[12];
        if (vertexCount < 3 || vertexCount > TShapeTables::kMaxVertices)
            Refuse(entry, index,
                   "(" + s.Name + ") cell " + std::to_string(j + 1) + " has " + std::to_string(vertexCount) +
                       " vertices, not 3 to 5");
        for (int v = 0; v < vertexCount; ++v) cell.Vertices.push_back({I16(c + 14 + 4 * v), I16(c + 16 + 4 * v)});
        s.Cells.push_back(std::move(cell));
    }
    s.Center = TShapeTables::CellsCenter(s.Cells);
    return s;
}

}  // namespace

void TShapeTables::Clear() {
    points_.clear();
    fragments_.clear();
    shapes_.clear();
    kinds_.clear();
}

void TShapeTables::Load(TFileFolder& archive) {
    auto entry = [&archive](const char* name) {
        TMemoryStream* s = archive.IndexOf(name) >= 0 ? archive.Stream(name) : nullptr;
        if (!s) throw OrvException(std::string("Can not find ") + name + "in file folder");
        return std::string(reinterpret_cast<const char*>(s->Data()), s->Size());
    };
    const std::string points = entry("TriSqrPoints.dat");
    const std::string fragments = entry("TriSqrFishes.dat");
    const std::string shapes = entry("TriSqrFishkaTypes.dat");
    const std::string kinds = entry("TriSqrFishType.dat");
    LoadFromBytes(points, fragments, shapes, kinds);
}

void TShapeTables::LoadFromBytes(std::string_view points, std::string_view fragments, std::string_view shapes,
                                 std::string_view kinds) {
    Clear();
    try {
        for (size_t i = 0; i + kPointRecord <= points.size(); i += kPointRecord) {
            const uint8_t* p = Bytes(points) + i;
            points_.push_back({I16(p), I16(p + 2)});
        }
        for (size_t i = 0; i + kFragmentRecord <= fragments.size(); i += kFragmentRecord) {
            const uint8_t* p = Bytes(fragments) + i;
            TFragment f;
            f.Kind = p[0];
            f.PointCount = p[1];
            for (int k = 0; k < 4; ++k) f.PointIndex[static_cast<size_t>(k)] = U16(p + 2 + 2 * k);
            fragments_.push_back(f);
        }
        for (size_t i = 0; i + kShapeRecord <= shapes.size(); i += kShapeRecord)
            shapes_.push_back(ReadShape(Bytes(shapes) + i, i / kShapeRecord));
        for (size_t i = 0; i + kKindRecord <= kinds.size(); i += kKindRecord) {
            const uint8_t* p = Bytes(kinds) + i;
            kinds_.push_back({I32(p), I32(p + 4)});
        }
        if (shapes_.empty()) throw OrvException("TriSqrFishkaTypes.dat: the shape table holds no shape");
    } catch (...) {
        Clear();
        throw;
    }
}

bool TShapeTables::FragmentUsable(int32_t index, std::string& why) const {
    if (index < 0 || static_cast<size_t>(index) >= fragments_.size()) {
        why = "fragment " + std::to_string(index) + " is not in the fragment table (" +
              std::to_string(fragments_.size()) + " fragments)";
        return false;
    }
    const TFragment& f = fragments_[static_cast<size_t>(index)];
    const std::string name = "fragment " + std::to_string(index);
    if (f.PointCount != 3 && f.PointCount != 4) {
        why = name + " has " + std::to_string(f.PointCount) + " points, not 3 or 4";
        return false;
    }
    for (int k = 0; k < f.PointCount; ++k)
        if (f.PointIndex[static_cast<size_t>(k)] >= points_.size()) {
            why = name + " names point " + std::to_string(f.PointIndex[static_cast<size_t>(k)]) +
                  ", past the point grid (" + std::to_string(points_.size()) + " points)";
            return false;
        }
    if (f.Kind < 1 || f.Kind > kinds_.size()) {
        why = name + " is of kind " + std::to_string(f.Kind) + ", which has no kind record";
        return false;
    }
    const TCellKind& k = kinds_[f.Kind - 1u];
    if (k.XSlot < 1 || k.XSlot > f.PointCount || k.YSlot < 1 || k.YSlot > f.PointCount) {
        why = name + ": the slots of kind " + std::to_string(f.Kind) + " lie outside its " +
              std::to_string(f.PointCount) + " points";
        return false;
    }
    return true;
}

std::vector<TPoint> TShapeTables::FragmentPolygon(int32_t index) const {
    const TFragment& f = fragments_.at(static_cast<size_t>(index));
    std::vector<TPoint> poly;
    for (int k = 0; k < f.PointCount; ++k) poly.push_back(points_.at(f.PointIndex[static_cast<size_t>(k)]));
    return poly;
}

TPoint TShapeTables::FragmentAnchor(int32_t index) const {
    const TFragment& f = fragments_.at(static_cast<size_t>(index));
    const TCellKind& k = kinds_.at(f.Kind - 1u);
    const TPoint px = points_.at(f.PointIndex.at(static_cast<size_t>(k.XSlot - 1)));
    const TPoint py = points_.at(f.PointIndex.at(static_cast<size_t>(k.YSlot - 1)));
    return {px.X, py.Y};
}

int32_t TShapeTables::FindShapeByNextName(const std::string& name) const {
    for (size_t i = 0; i < shapes_.size(); ++i)
        if (shapes_[i].NextName == name) return static_cast<int32_t>(i);
    return -1;
}

std::string TShapeTables::ShapeName(int32_t index) const {
    if (index < 0 || index >= ShapeCount()) return {};
    return shapes_[static_cast<size_t>(index)].Name;
}

std::string TShapeTables::NextName(int32_t index) const {
    if (index < 0 || index >= ShapeCount()) return {};
    return shapes_[static_cast<size_t>(index)].NextName;
}

TPoint TShapeTables::CellsCenter(const std::vector<TShapeCell>& cells) {
    // The cells of a shape do not overlap, so the centroid of their union is
    // the area-weighted mean of the cells' own centroids: no outline tracing
    // is needed.
    double area = 0;
    double cx = 0;
    double cy = 0;
    for (const TShapeCell& cell : cells) {
        const size_t n = cell.Vertices.size();
        double a = 0, x = 0, y = 0;
        for (size_t i = 0; i < n; ++i) {
            const TPoint p = cell.Vertices[i];
            const TPoint q = cell.Vertices[(i + 1) % n];
            const double c = double(p.X) * q.Y - double(q.X) * p.Y;
            a += c;
            x += (p.X + q.X) * c;
            y += (p.Y + q.Y) * c;
        }
        // Orientation of each cell may differ; weigh by its absolute area.
        if (std::fabs(a) <= 1e-6) continue;
        const double sign = a < 0 ? -1.0 : 1.0;
        area += std::fabs(a);
        cx += x * sign;
        cy += y * sign;
    }
    if (area <= 1e-6) return {0, 0};
    return {static_cast<int32_t>(std::lround(cx / (3 * area))), static_cast<int32_t>(std::lround(cy / (3 * area)))};
}
