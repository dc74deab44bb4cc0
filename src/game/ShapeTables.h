// The four shape tables every scene is built on: the point grid, the
// fragments (triangles and squares on that grid), the shapes of the pieces
// with their cells, and the anchor slots of each cell kind. They are read
// once at start-up from the archive's "TriSqr" entries, fixed-size records in
// little-endian order, and checked as they are read, so the rules never
// follow an index out of a table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvTypes.h"
#include "game/GameParams.h"

class TFileFolder;

// One cell of a shape, relative to the piece's top-left position.
struct TShapeCell {
    uint8_t Kind = 0;
    int32_t AnchorX = 0;
    int32_t AnchorY = 0;
    std::vector<TPoint> Vertices;  // 3 to 5, in polygon order
};

struct TShape {
    std::string Name;
    std::string NextName;
    std::string Picture;
    std::string ShadowPicture;  // Picture + "sh", cut to 32 characters
    std::vector<TShapeCell> Cells;
    TPoint Center;  // centroid of the union of the cells
};

struct TFragment {
    uint8_t Kind = 0;
    uint8_t PointCount = 0;
    std::array<uint16_t, 4> PointIndex{};
};

struct TCellKind {
    int32_t YSlot = 1;
    int32_t XSlot = 1;
};

class TShapeTables : public IShapeTable {
public:
    static constexpr size_t kPointRecord = 4;
    static constexpr size_t kFragmentRecord = 10;
    static constexpr size_t kShapeRecord = 900;
    static constexpr size_t kKindRecord = 404;
    static constexpr int32_t kMaxCells = 12;
    static constexpr int32_t kMaxVertices = 5;

    // Reads "TriSqrPoints.dat", "TriSqrFishes.dat", "TriSqrFishkaTypes.dat"
    // and "TriSqrFishType.dat" from the archive. Throws OrvException naming
    // the entry when one is missing or holds a record that cannot be used;
    // the tables are then empty.
    void Load(TFileFolder& archive);
    // The same from the four entries' bytes (tests, the fuzz target). A
    // remainder shorter than a record is ignored.
    void LoadFromBytes(std::string_view points, std::string_view fragments, std::string_view shapes,
                       std::string_view kinds);
    void Clear();

    const std::vector<TPoint>& Points() const { return points_; }
    const std::vector<TFragment>& Fragments() const { return fragments_; }
    const std::vector<TShape>& Shapes() const { return shapes_; }
    const std::vector<TCellKind>& Kinds() const { return kinds_; }
    const TShape& Shape(int32_t index) const { return shapes_.at(static_cast<size_t>(index)); }

    // Whether a fragment index can be used: its point indexes lie in the
    // grid and its kind has a kind record whose slots name its points. On
    // false, why says what is wrong.
    bool FragmentUsable(int32_t index, std::string& why) const;
    // The fragment's corners and anchor, relative to the layer. The fragment
    // must be usable.
    std::vector<TPoint> FragmentPolygon(int32_t index) const;
    TPoint FragmentAnchor(int32_t index) const;

    // Index of the first shape whose NextName equals name, -1 when none.
    int32_t FindShapeByNextName(const std::string& name) const;

    // IShapeTable
    int32_t ShapeCount() const override { return static_cast<int32_t>(shapes_.size()); }
    std::string ShapeName(int32_t index) const override;
    std::string NextName(int32_t index) const override;

    // Centroid of the union of cells (area-weighted, rounded); 0,0 for cells
    // without area.
    static TPoint CellsCenter(const std::vector<TShapeCell>& cells);

private:
    std::vector<TPoint> points_;
    std::vector<TFragment> fragments_;
    std::vector<TShape> shapes_;
    std::vector<TCellKind> kinds_;
};
