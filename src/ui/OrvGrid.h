// TOrvGrid: a list of rows of text cells (the saved games, the high scores)
// with a selected row, an optional fixed header row and a linked slider to
// scroll it.
//
// Columns and cells are added from text in the script syntax: descriptions
// ended by ";" outside double quotes, each a list of Name="value":
//
//   grid.SetProp("AddColumns", "Width=\"40\" Alignment=\"taRight\";Width=\"200\";");
//   grid.SetProp("AddCells", "Text=\"1\";Text=\"Anna\";");       // one row
//   grid.SetProp("Cells", "");                                  // empties the grid
//
// Column attributes: Width, FontName, Color, Alignment, Layout,
// TextShiftLeft, TextShiftTop, PictureHAlign, PictureVAlign,
// PictureShiftLeft, PictureShiftTop. Cell attributes: the same but Width,
// plus Text and Picture; a cell without one takes its column's. Cells fill
// rows left to right; a last row of fewer cells is shown with empty cells.
//
// Position is the selected data row from 0 (the header row, when FixedRow is
// set, is not counted) and always lies within the rows (0 for an empty grid).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/OrvInterfaceObject.h"
#include "ui/OrvLabel.h"

class TOrvSlider;
class TOrvXMLTag;

struct TOrvGridColumn {
    int32_t Width = 0;
    std::string FontName;
    std::optional<uint32_t> Color;
    TTextAlignment Alignment = taLeft;
    TTextLayout Layout = tlCenter;
    int32_t TextShiftLeft = 0;
    int32_t TextShiftTop = 0;
    TPictureHAlignType PictureHAlign = phaLeft;
    TPictureVAlignType PictureVAlign = pvaCenter;
    int32_t PictureShiftLeft = 0;
    int32_t PictureShiftTop = 0;
};

// A cell; unset fields take the column's value.
struct TOrvGridCell {
    std::u16string Text;
    std::string Picture;
    std::optional<std::string> FontName;
    std::optional<uint32_t> Color;
    std::optional<TTextAlignment> Alignment;
    std::optional<TTextLayout> Layout;
    std::optional<int32_t> TextShiftLeft;
    std::optional<int32_t> TextShiftTop;
    std::optional<TPictureHAlignType> PictureHAlign;
    std::optional<TPictureVAlignType> PictureVAlign;
    std::optional<int32_t> PictureShiftLeft;
    std::optional<int32_t> PictureShiftTop;
};

class TOrvGrid : public TOrvFocusedObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    std::string LinkedObjectName;
    std::string CursorPicture;
    uint8_t NotActiveCursorAlpha = 128;
    int32_t RowsHeight = 20;
    int32_t BorderWidth = 0;
    bool FixedRow = false;
    std::string FixedFontName;
    uint32_t FixedColor = 0;
    int32_t DivisorHeight = 0;
    // Text colour of the row under the pointer; the cell's colour until set.
    uint32_t RowMouseOverColor = 0;
    int32_t Position = 0;

    std::vector<TOrvGridColumn> Columns;
    std::vector<TOrvGridCell> CellList;
    // Rows, the header row included.
    int32_t RowCount = 0;
    int32_t FirstVisibleRow = 0;

    // Clamped to the data rows; keeps the row visible, announces the
    // selection with the MouseDown script and moves a linked slider along.
    void SetPosition(int32_t value);
    // Appends columns / cells described in the script syntax. Throws the
    // parser's "[TOrvXMLTag.AddTagByString] ..." error for text that is not
    // Name="value" pairs; nothing is added then.
    void AddColumns(const std::string& descriptions);
    void AddCells(const std::string& descriptions);
    // Replaces every cell; the empty text empties the grid.
    void SetCells(const std::string& descriptions);
    // The cells in the syntax AddCells reads.
    std::string GetCells() const;
    std::string GetNothing() const { return {}; }
    void SetLinkedObjectName(const std::string& value);
    void SetRowMouseOverColor(uint32_t value);
    void SetRowsHeight(int32_t value);
    void SetFixedRow(bool value);

    // Rows below the header.
    int32_t DataRows() const;
    // Rows that fit the grid's height (never more than the data rows; 0
    // when the row height is 0 or less).
    int32_t VisibleRows() const;
    // The cell of a data row and column, or nullptr outside the grid.
    const TOrvGridCell* DataCell(int32_t row, int32_t column) const;
    // The text of the selected row's first cell as UTF-8 (empty when none).
    std::string SelectedText() const;
    // The data row under a screen point, or -1.
    int32_t RowAt(int32_t x, int32_t y) const;
    // Sets Position from the slider without moving the slider again.
    void FollowSlider(int32_t position);
    TOrvSlider* LinkedSlider() const;

    bool WantsTabStop() const override { return true; }
    void Loaded() override;
    void KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseWheel(TOrvObject* sender, TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled) override;
    void ResetInputState() override;
    void Draw() override;
    std::string GetPictureNames() const override;

private:
    void RowsChanged();
    void DrawRow(int32_t gridRow, int32_t top, bool header, bool hovered);
    int32_t HeaderHeight() const;

    int32_t hoverRow_ = -1;
    bool rowMouseOverColorSet_ = false;
    bool followingSlider_ = false;
};
