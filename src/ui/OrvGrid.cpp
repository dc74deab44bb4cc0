#include "ui/OrvGrid.h"

#include <algorithm>
#include <memory>

#include "base/OrvFont.h"
#include "base/OrvGraphic.h"
#include "base/OrvParser.h"
#include "base/OrvUnicode.h"
#include "base/SFunctions.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvSlider.h"

namespace {

// Parses descriptions into "Cell" elements; the whole text is parsed before
// anything is used, so a bad description changes nothing.
std::unique_ptr<TOrvXMLTag> ParseDescriptions(const std::string& text) {
    auto list = std::make_unique<TOrvXMLTag>("List");
    for (const std::string& d : SplitScriptCommands(text, nullptr)) list->AddTagByString("Cell " + d);
    return list;
}

template <class E, size_t N>
std::optional<E> EnumAttr(const TOrvXMLTag& tag, std::string_view name, const std::string_view (&names)[N]) {
    const TOrvParserAttribute* a = tag.FindAttribute(name);
    if (a == nullptr) return std::nullopt;
    const int v = EnumValueOf(names, TrimBlanks(a->Value));
    if (v < 0) return std::nullopt;
    return static_cast<E>(v);
}

std::optional<int32_t> IntAttr(const TOrvXMLTag& tag, std::string_view name) {
    const TOrvParserAttribute* a = tag.FindAttribute(name);
    if (a == nullptr) return std::nullopt;
    return ValInt(a->Value);
}

std::optional<uint32_t> ColourAttr(const TOrvXMLTag& tag) {
    const std::optional<int32_t> v = IntAttr(tag, "Color");
    if (!v) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

void Quote(std::string& out, const char* name, const std::string& value) {
    out += name;
    out += "=\"";
    out += value;
    out += "\" ";
}

}  // namespace

// ---------------------------------------------------------------------------
// Properties

const TOrvPropTable& TOrvGrid::ClassPropTable() {
    using T = TOrvGrid;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvGrid", &TOrvFocusedObject::ClassPropTable(), [](auto& p) {
            p.Integer("Position", &T::Position, &T::SetPosition);
            p.String("LinkedObjectName", &T::LinkedObjectName, &T::SetLinkedObjectName);
            p.String("CursorPicture", &T::CursorPicture);
            p.Integer("NotActiveCursorAlpha", &T::NotActiveCursorAlpha);
            p.Integer("RowsHeight", &T::RowsHeight, &T::SetRowsHeight);
            p.Integer("BorderWidth", &T::BorderWidth);
            p.Boolean("FixedRow", &T::FixedRow, &T::SetFixedRow);
            p.String("FixedFontName", &T::FixedFontName);
            p.IntegerRange("FixedColor", &T::FixedColor, nullptr, INT32_MIN, UINT32_MAX);
            p.Integer("DivisorHeight", &T::DivisorHeight);
            p.IntegerRange("RowMouseOverColor", &T::RowMouseOverColor, &T::SetRowMouseOverColor, INT32_MIN, UINT32_MAX);
            p.String("AddColumns", &T::GetNothing, &T::AddColumns);
            p.String("AddCells", &T::GetNothing, &T::AddCells);
            p.String("Cells", &T::GetCells, &T::SetCells);
        });
    return table;
}

void TOrvGrid::Assign(const TOrvObject* source) {
    TOrvFocusedObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvGrid*>(source);
    if (s == nullptr) return;
    LinkedObjectName = s->LinkedObjectName;
    CursorPicture = s->CursorPicture;
    NotActiveCursorAlpha = s->NotActiveCursorAlpha;
    RowsHeight = s->RowsHeight;
    BorderWidth = s->BorderWidth;
    FixedRow = s->FixedRow;
    FixedFontName = s->FixedFontName;
    FixedColor = s->FixedColor;
    DivisorHeight = s->DivisorHeight;
    RowMouseOverColor = s->RowMouseOverColor;
    rowMouseOverColorSet_ = s->rowMouseOverColorSet_;
    Position = s->Position;
    Columns = s->Columns;
    CellList = s->CellList;
    RowCount = s->RowCount;
    FirstVisibleRow = s->FirstVisibleRow;
}

void TOrvGrid::SetRowMouseOverColor(uint32_t value) {
    RowMouseOverColor = value;
    rowMouseOverColorSet_ = true;
    Invalidate();
}

void TOrvGrid::SetRowsHeight(int32_t value) {
    RowsHeight = value;
    SetPosition(Position);
    Invalidate();
}

void TOrvGrid::SetFixedRow(bool value) {
    FixedRow = value;
    RowsChanged();
}

void TOrvGrid::SetLinkedObjectName(const std::string& value) {
    LinkedObjectName = value;
    if (TOrvSlider* slider = LinkedSlider()) {
        if (slider->LinkedObjectName != Name()) slider->LinkedObjectName = Name();
        slider->UpdateRangeFromGrid();
    }
}

TOrvSlider* TOrvGrid::LinkedSlider() const {
    if (LinkedObjectName.empty() || Engine == nullptr) return nullptr;
    return Engine->FindObjectAs<TOrvSlider>(LinkedObjectName);
}

// ---------------------------------------------------------------------------
// Columns, cells, rows

void TOrvGrid::AddColumns(const std::string& descriptions) {
    const auto list = ParseDescriptions(descriptions);
    for (const auto& tag : list->Tags) {
        TOrvGridColumn c;
        c.Width = IntAttr(*tag, "Width").value_or(0);
        c.FontName = tag->AttributeValue("FontName");
        c.Color = ColourAttr(*tag);
        c.Alignment = EnumAttr<TTextAlignment>(*tag, "Alignment", TextAlignmentNames).value_or(taLeft);
        c.Layout = EnumAttr<TTextLayout>(*tag, "Layout", TextLayoutNames).value_or(tlCenter);
        c.TextShiftLeft = IntAttr(*tag, "TextShiftLeft").value_or(0);
        c.TextShiftTop = IntAttr(*tag, "TextShiftTop").value_or(0);
        c.PictureHAlign = EnumAttr<TPictureHAlignType>(*tag, "PictureHAlign", PictureHAlignNames).value_or(phaLeft);
        c.PictureVAlign = EnumAttr<TPictureVAlignType>(*tag, "PictureVAlign", PictureVAlignNames).value_or(pvaCenter);
        c.PictureShiftLeft = IntAttr(*tag, "PictureShiftLeft").value_or(0);
        c.PictureShiftTop = IntAttr(*tag, "PictureShiftTop").value_or(0);
        Columns.push_back(std::move(c));
    }
    RowsChanged();
}

void TOrvGrid::AddCells(const std::string& descriptions) {
    if (Columns.empty()) return;
    const auto list = ParseDescriptions(descriptions);
    for (const auto& tag : list->Tags) {
        TOrvGridCell c;
        c.Text = Utf8ToUtf16(tag->AttributeValue("Text"));
        c.Picture = tag->AttributeValue("Picture");
        if (const TOrvParserAttribute* a = tag->FindAttribute("FontName")) c.FontName = a->Value;
        c.Color = ColourAttr(*tag);
        c.Alignment = EnumAttr<TTextAlignment>(*tag, "Alignment", TextAlignmentNames);
        c.Layout = EnumAttr<TTextLayout>(*tag, "Layout", TextLayoutNames);
        c.TextShiftLeft = IntAttr(*tag, "TextShiftLeft");
        c.TextShiftTop = IntAttr(*tag, "TextShiftTop");
        c.PictureHAlign = EnumAttr<TPictureHAlignType>(*tag, "PictureHAlign", PictureHAlignNames);
        c.PictureVAlign = EnumAttr<TPictureVAlignType>(*tag, "PictureVAlign", PictureVAlignNames);
        c.PictureShiftLeft = IntAttr(*tag, "PictureShiftLeft");
        c.PictureShiftTop = IntAttr(*tag, "PictureShiftTop");
        CellList.push_back(std::move(c));
    }
    RowsChanged();
}

void TOrvGrid::SetCells(const std::string& descriptions) {
    // Parsed first, so a bad text leaves the grid as it was.
    ParseDescriptions(descriptions);
    CellList.clear();
    FirstVisibleRow = 0;
    AddCells(descriptions);
    RowsChanged();
}

std::string TOrvGrid::GetCells() const {
    std::string out;
    for (const TOrvGridCell& c : CellList) {
        Quote(out, "Text", Utf16ToUtf8(c.Text));
        if (!c.Picture.empty()) Quote(out, "Picture", c.Picture);
        if (c.FontName) Quote(out, "FontName", *c.FontName);
        if (c.Color) Quote(out, "Color", std::to_string(*c.Color));
        if (c.Alignment) Quote(out, "Alignment", std::string(TextAlignmentNames[*c.Alignment]));
        if (c.Layout) Quote(out, "Layout", std::string(TextLayoutNames[*c.Layout]));
        if (c.TextShiftLeft) Quote(out, "TextShiftLeft", std::to_string(*c.TextShiftLeft));
        if (c.TextShiftTop) Quote(out, "TextShiftTop", std::to_string(*c.TextShiftTop));
        if (c.PictureHAlign) Quote(out, "PictureHAlign", std::string(PictureHAlignNames[*c.PictureHAlign]));
        if (c.PictureVAlign) Quote(out, "PictureVAlign", std::string(PictureVAlignNames[*c.PictureVAlign]));
        if (c.PictureShiftLeft) Quote(out, "PictureShiftLeft", std::to_string(*c.PictureShiftLeft));
        if (c.PictureShiftTop) Quote(out, "PictureShiftTop", std::to_string(*c.PictureShiftTop));
        out.back() = ';';
    }
    return out;
}

void TOrvGrid::RowsChanged() {
    const size_t columns = Columns.size();
    RowCount = columns == 0 ? 0 : static_cast<int32_t>((CellList.size() + columns - 1) / columns);
    const int32_t rows = DataRows();
    Position = std::clamp(Position, 0, std::max(0, rows - 1));
    FirstVisibleRow = std::clamp(FirstVisibleRow, 0, std::max(0, rows - VisibleRows()));
    if (hoverRow_ >= rows) hoverRow_ = -1;
    if (TOrvSlider* slider = LinkedSlider()) slider->UpdateRangeFromGrid();
    Invalidate();
}

int32_t TOrvGrid::DataRows() const {
    return std::max(0, RowCount - (FixedRow ? 1 : 0));
}

int32_t TOrvGrid::HeaderHeight() const {
    return FixedRow ? RowsHeight + DivisorHeight : 0;
}

int32_t TOrvGrid::VisibleRows() const {
    if (RowsHeight <= 0) return 0;
    const int64_t space = static_cast<int64_t>(Height) - 2 * static_cast<int64_t>(BorderWidth) - HeaderHeight();
    if (space <= 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(space / RowsHeight, DataRows()));
}

const TOrvGridCell* TOrvGrid::DataCell(int32_t row, int32_t column) const {
    if (row < 0 || column < 0 || static_cast<size_t>(column) >= Columns.size()) return nullptr;
    const size_t index =
        (static_cast<size_t>(row) + (FixedRow ? 1u : 0u)) * Columns.size() + static_cast<size_t>(column);
    return index < CellList.size() ? &CellList[index] : nullptr;
}

std::string TOrvGrid::SelectedText() const {
    if (DataRows() == 0) return {};
    const TOrvGridCell* cell = DataCell(Position, 0);
    return cell ? Utf16ToUtf8(cell->Text) : std::string();
}

// ---------------------------------------------------------------------------
// Selection

void TOrvGrid::SetPosition(int32_t value) {
    const int32_t rows = DataRows();
    Position = std::clamp(value, 0, std::max(0, rows - 1));
    const int32_t visible = VisibleRows();
    if (Position < FirstVisibleRow)
        FirstVisibleRow = Position;
    else if (Position >= FirstVisibleRow + std::max(1, visible))
        FirstVisibleRow = Position - std::max(1, visible) + 1;
    FirstVisibleRow = std::clamp(FirstVisibleRow, 0, std::max(0, rows - visible));
    QueueScript(OnMouseDown, "");
    if (!followingSlider_) {
        if (TOrvSlider* slider = LinkedSlider()) slider->FollowGrid(Position);
    }
    Invalidate();
}

void TOrvGrid::FollowSlider(int32_t position) {
    followingSlider_ = true;
    SetPosition(position);
    followingSlider_ = false;
}

void TOrvGrid::Loaded() {
    Position = std::clamp(Position, 0, std::max(0, DataRows() - 1));
    FirstVisibleRow = std::clamp(FirstVisibleRow, 0, std::max(0, DataRows() - VisibleRows()));
}

int32_t TOrvGrid::RowAt(int32_t x, int32_t y) const {
    if (!Inside(x, y) || RowsHeight <= 0) return -1;
    const int64_t dy = static_cast<int64_t>(y) - AbsTop - BorderWidth - HeaderHeight();
    if (dy < 0) return -1;
    const int64_t row = dy / RowsHeight;
    if (row >= VisibleRows()) return -1;
    const int64_t r = FirstVisibleRow + row;
    return r < DataRows() ? static_cast<int32_t>(r) : -1;
}

// ---------------------------------------------------------------------------
// Input

void TOrvGrid::KeyDown(TOrvObject*, int32_t& key, TShiftState) {
    if (!Focused || !Visible || DataRows() == 0) return;
    const int32_t page = std::max(1, VisibleRows());
    switch (key) {
        case VK::Up:
            SetPosition(Position - 1);
            break;
        case VK::Down:
            SetPosition(Position + 1);
            break;
        case VK::Prior:
            SetPosition(Position - page);
            break;
        case VK::Next:
            SetPosition(Position + page);
            break;
        case VK::Home:
            SetPosition(0);
            break;
        case VK::End:
            SetPosition(DataRows() - 1);
            break;
        default:
            break;
    }
}

void TOrvGrid::MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (button != mbLeft) return;
    TOrvFocusedObject::MouseDown(sender, button, shift, x, y);
    if (!PressedInside) return;
    const int32_t row = RowAt(x, y);
    if (row < 0) return;
    if (!SoundMouseDown.empty()) QueueScript("", SoundMouseDown);
    SetPosition(row);
}

void TOrvGrid::MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) {
    TOrvFocusedObject::MouseMove(sender, shift, x, y);
    const int32_t row = RowAt(x, y);
    if (row == hoverRow_) return;
    hoverRow_ = row;
    Invalidate();
}

void TOrvGrid::MouseUp(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (button == mbLeft && PressedInside && Inside(x, y)) QueueScript(OnMouseUp, SoundMouseUp);
    PressedInside = false;
}

void TOrvGrid::MouseWheel(TOrvObject*, TShiftState, int32_t wheelDelta, TPoint mousePos, bool& handled) {
    if (!Inside(mousePos.X, mousePos.Y) || DataRows() == 0 || wheelDelta == 0) return;
    const int32_t notches = wheelDelta / 120 != 0 ? wheelDelta / 120 : (wheelDelta > 0 ? 1 : -1);
    SetPosition(static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(Position) - notches, 0, INT32_MAX)));
    handled = true;
}

void TOrvGrid::ResetInputState() {
    TOrvFocusedObject::ResetInputState();
    hoverRow_ = -1;
}

// ---------------------------------------------------------------------------
// Drawing

std::string TOrvGrid::GetPictureNames() const {
    std::string names = Picture;
    if (!CursorPicture.empty()) names += "\r\n" + CursorPicture;
    return names;
}

void TOrvGrid::DrawRow(int32_t gridRow, int32_t top, bool header, bool hovered) {
    IOrvGraphic* g = Graphic();
    int32_t left = AbsLeft + BorderWidth;
    for (size_t c = 0; c < Columns.size(); ++c) {
        const TOrvGridColumn& col = Columns[c];
        const size_t index = static_cast<size_t>(gridRow) * Columns.size() + c;
        if (index >= CellList.size()) break;
        const TOrvGridCell& cell = CellList[index];
        if (!cell.Picture.empty() && g != nullptr) {
            int32_t pw = 0;
            int32_t ph = 0;
            PictureSize(cell.Picture, pw, ph);
            const TPictureHAlignType ha = cell.PictureHAlign.value_or(col.PictureHAlign);
            const TPictureVAlignType va = cell.PictureVAlign.value_or(col.PictureVAlign);
            const int32_t px = ha == phaCenter ? (col.Width - pw) / 2 : ha == phaRight ? col.Width - pw : 0;
            const int32_t py = va == pvaCenter ? (RowsHeight - ph) / 2 : va == pvaBottom ? RowsHeight - ph : 0;
            g->Draw(cell.Picture, "", BlendingMode, left + px + cell.PictureShiftLeft.value_or(col.PictureShiftLeft),
                    top + py + cell.PictureShiftTop.value_or(col.PictureShiftTop), PictureAlpha, nullptr);
        }
        std::string fontName = cell.FontName.value_or(col.FontName);
        if (header && !FixedFontName.empty() && !cell.FontName) fontName = FixedFontName;
        if (fontName.empty()) fontName = FixedFontName;
        const TOrvFont* font = FindFont(fontName);
        if (font != nullptr && !cell.Text.empty()) {
            uint32_t colour = cell.Color.value_or(col.Color.value_or(0));
            if (header) colour = FixedColor;
            if (hovered && rowMouseOverColorSet_) colour = RowMouseOverColor;
            const int32_t tw = font->TextWidth(cell.Text);
            const TTextAlignment align = cell.Alignment.value_or(col.Alignment);
            const TTextLayout layout = cell.Layout.value_or(col.Layout);
            int32_t x = left + cell.TextShiftLeft.value_or(col.TextShiftLeft);
            if (align == taCenter) x += (col.Width - tw) / 2;
            if (align == taRight) x += col.Width - tw;
            int32_t y = top + cell.TextShiftTop.value_or(col.TextShiftTop);
            if (layout == tlCenter) y += (RowsHeight - font->Height) / 2;
            if (layout == tlBottom) y += RowsHeight - font->Height;
            font->DrawText(x, y, cell.Text, 255, colour);
        }
        left += col.Width;
    }
}

void TOrvGrid::Draw() {
    TOrvFocusedObject::Draw();
    IOrvGraphic* g = Graphic();
    int32_t top = AbsTop + BorderWidth;
    if (FixedRow && RowCount > 0) {
        DrawRow(0, top, true, false);
        top += HeaderHeight();
    }
    const int32_t visible = VisibleRows();
    const int32_t rows = DataRows();
    for (int32_t k = 0; k < visible && FirstVisibleRow + k < rows; ++k) {
        const int32_t row = FirstVisibleRow + k;
        const int32_t rowTop = top + k * RowsHeight;
        // Not focused, the cursor is drawn fainter in the same place, so it
        // is composed with the window like every other picture.
        if (row == Position && g != nullptr && !CursorPicture.empty())
            g->Draw(CursorPicture, "", BlendingMode, AbsLeft + BorderWidth, rowTop,
                    Focused ? PictureAlpha : NotActiveCursorAlpha, nullptr);
        DrawRow(row + (FixedRow ? 1 : 0), rowTop, false, row == hoverRow_);
    }
}
