#include "ui/OrvLabel.h"

#include <algorithm>

#include "base/OrvFont.h"
#include "base/OrvGraphic.h"
#include "base/OrvUnicode.h"
#include "ui/OrvForm.h"
#include "ui/OrvInterfaceEngine.h"

namespace {

// Controls and line breaks of a caption count as blanks.
std::u16string BlanksForBreaks(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if (c < 32) c = u' ';
    return out;
}

int32_t CountInnerBlanks(std::u16string_view line) {
    size_t end = line.size();
    if (end > 0 && line[end - 1] == u' ') --end;
    return static_cast<int32_t>(std::count(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(end), u' '));
}

}  // namespace

std::vector<TOrvLineSpan> BreakTextLines(std::u16string_view text, const TOrvFont& font,
                                         const std::function<int32_t(size_t)>& availableFor) {
    std::vector<TOrvLineSpan> spans;
    size_t s = 0;
    const size_t n = text.size();
    while (s < n) {
        const int64_t avail = availableFor(spans.size());
        int64_t w = 0;
        size_t lastBlank = std::u16string_view::npos;
        size_t i = s;
        for (; i < n; ++i) {
            const int32_t cw = font.CharWidth(text[i]);
            if (w + cw > avail && i > s) break;
            if (text[i] == u' ') lastBlank = i;
            w += cw;
        }
        if (i >= n) {
            spans.push_back({s, n - s, false});
            break;
        }
        size_t end = i;
        bool broken = false;
        if (text[i] == u' ') {
            broken = true;
        } else if (lastBlank != std::u16string_view::npos && lastBlank > s) {
            end = lastBlank;
            broken = true;
        }
        spans.push_back({s, end - s, broken});
        s = end;
        if (broken)
            while (s < n && text[s] == u' ') ++s;
    }
    return spans;
}

// ---------------------------------------------------------------------------
// TOrvLabel: properties

const TOrvPropTable& TOrvLabel::ClassPropTable() {
    using T = TOrvLabel;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvLabel", &TOrvFocusedObject::ClassPropTable(), [](auto& p) {
            p.Boolean("Floating", &T::Floating, &T::SetFloating);
            p.String("MouseOverPicture", &T::MouseOverPicture);
            p.String("MouseDownPicture", &T::MouseDownPicture);
            p.String("MouseDownBumpMapPicture", &T::MouseDownBumpMapPicture);
            p.String("FontName", &T::FontName, &T::SetFontName);
            p.String("Caption", &T::GetCaption, static_cast<void (T::*)(const std::string&)>(&T::SetCaption));
            p.Integer("Alpha", &T::Alpha, &T::SetAlpha);
            p.IntegerRange("Color", &T::Color, &T::SetColor, INT32_MIN, UINT32_MAX);
            p.IntegerRange("MouseOverColor", &T::MouseOverColor, &T::SetMouseOverColor, INT32_MIN, UINT32_MAX);
            p.Enum("Alignment", &T::Alignment, &T::SetAlignment, TextAlignmentNames);
            p.Enum("Layout", &T::Layout, &T::SetLayout, TextLayoutNames);
            p.Integer("TextShiftLeft", &T::TextShiftLeft, &T::SetTextShiftLeft);
            p.Integer("TextShiftTop", &T::TextShiftTop, &T::SetTextShiftTop);
            p.Integer("LineSpace", &T::LineSpace, &T::SetLineSpace);
            p.Integer("TextDownShiftLeft", &T::TextDownShiftLeft);
            p.Integer("TextDownShiftTop", &T::TextDownShiftTop);
        });
    return table;
}

void TOrvLabel::Assign(const TOrvObject* source) {
    TOrvFocusedObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvLabel*>(source);
    if (s == nullptr) return;
    Floating = s->Floating;
    MouseOverPicture = s->MouseOverPicture;
    MouseDownPicture = s->MouseDownPicture;
    MouseDownBumpMapPicture = s->MouseDownBumpMapPicture;
    FontName = s->FontName;
    caption_ = s->caption_;
    Alpha = s->Alpha;
    Color = s->Color;
    MouseOverColor = s->MouseOverColor;
    mouseOverColorSet_ = s->mouseOverColorSet_;
    Alignment = s->Alignment;
    Layout = s->Layout;
    TextShiftLeft = s->TextShiftLeft;
    TextShiftTop = s->TextShiftTop;
    LineSpace = s->LineSpace;
    TextDownShiftLeft = s->TextDownShiftLeft;
    TextDownShiftTop = s->TextDownShiftTop;
    Pressed = s->Pressed;
    Lines = s->Lines;
}

std::string TOrvLabel::GetCaption() const {
    return Utf16ToUtf8(caption_);
}

void TOrvLabel::SetCaption(const std::string& value) {
    SetCaption16(Utf8ToUtf16(value));
}

void TOrvLabel::SetCaption16(std::u16string value) {
    caption_ = std::move(value);
    RebuildText();
}

void TOrvLabel::SetFontName(const std::string& value) {
    FontName = value;
    RebuildText();
}

void TOrvLabel::SetAlpha(uint8_t value) {
    Alpha = value;
    Invalidate();
}

void TOrvLabel::SetColor(uint32_t value) {
    Color = value;
    Invalidate();
}

void TOrvLabel::SetMouseOverColor(uint32_t value) {
    MouseOverColor = value;
    mouseOverColorSet_ = true;
    Invalidate();
}

void TOrvLabel::SetAlignment(TTextAlignment value) {
    Alignment = value;
    PlaceLines();
    Invalidate();
}

void TOrvLabel::SetLayout(TTextLayout value) {
    Layout = value;
    PlaceLines();
    Invalidate();
}

void TOrvLabel::SetTextShiftLeft(int32_t value) {
    TextShiftLeft = value;
    if (AutoSize == asCaption) SizeToCaption();
    PlaceLines();
    Invalidate();
}

void TOrvLabel::SetTextShiftTop(int32_t value) {
    TextShiftTop = value;
    if (AutoSize == asCaption) SizeToCaption();
    PlaceLines();
    Invalidate();
}

void TOrvLabel::SetLineSpace(int32_t value) {
    LineSpace = value;
    PlaceLines();
    Invalidate();
}

void TOrvLabel::SetFloating(bool value) {
    Floating = value;
    RebuildText();
}

void TOrvLabel::SetPicture(const std::string& value) {
    TOrvFocusedObject::SetPicture(value);
    // A floating text flows around the picture, and check boxes measure
    // their box from it.
    RebuildText();
}

TOrvFont* TOrvLabel::Font() const {
    return FindFont(FontName);
}

// ---------------------------------------------------------------------------
// TOrvLabel: layout

void TOrvLabel::PicturesChanged() {
    TOrvFocusedObject::PicturesChanged();
    RebuildText();
}

void TOrvLabel::SizeChanged() {
    RebuildText();
}

void TOrvLabel::RebuildText() {
    // Sizing to the caption changes the size, which lays the text out again.
    if (laying_) return;
    laying_ = true;
    if (AutoSize == asCaption) SizeToCaption();
    BuildLines();
    PlaceLines();
    laying_ = false;
    Invalidate();
}

void TOrvLabel::SizeToCaption() {
    const TOrvFont* font = Font();
    if (font == nullptr) return;
    const std::u16string text = BlanksForBreaks(caption_);
    const int32_t w = TextShiftLeft + font->TextWidth(text);
    const int32_t h = TextShiftTop + font->Height;
    if (w == Width && h == Height) return;
    Invalidate();
    Width = w;
    Height = h;
    Relayout();
    AlignPicture();
}

void TOrvLabel::BuildLines() {
    Lines.clear();
    const TOrvFont* font = Font();
    if (font == nullptr || caption_.empty() || Width == 0 || Height == 0) return;
    const std::u16string text = BlanksForBreaks(caption_);
    const int32_t h = font->Height;
    const int32_t pictureWidth = PictureWidth;
    auto beside = [&](size_t k) {
        if (!Floating || Picture.empty()) return false;
        const int64_t y = static_cast<int64_t>(h) * static_cast<int64_t>(k);
        return PicY - 2 * static_cast<int64_t>(h) <= y && y < static_cast<int64_t>(PicY) + PictureHeight - h;
    };
    const int32_t area = AutoSize == asCaption ? INT32_MAX : TextAreaWidth();
    auto available = [&](size_t k) { return beside(k) ? area - pictureWidth : area; };
    for (const TOrvLineSpan& span : BreakTextLines(text, *font, available)) {
        TOrvTextLine line;
        line.Text = text.substr(span.Start, span.Length);
        line.Width = font->TextWidth(line.Text);
        line.Blanks = CountInnerBlanks(line.Text);
        line.Broken = span.Broken;
        line.BesidePicture = beside(Lines.size());
        line.Available = AutoSize == asCaption ? line.Width : available(Lines.size());
        Lines.push_back(std::move(line));
    }
}

void TOrvLabel::PlaceLines() {
    const TOrvFont* font = Font();
    if (font == nullptr || Lines.empty()) return;
    const int64_t h = font->Height;
    const auto n = static_cast<int64_t>(Lines.size());
    const int64_t total = n * h + (n - 1) * LineSpace;
    int64_t top = TextShiftTop;
    if (Layout == tlCenter)
        top += (Height - total) / 2;
    else if (Layout == tlBottom)
        top += Height - total;
    for (size_t k = 0; k < Lines.size(); ++k) {
        TOrvTextLine& line = Lines[k];
        int64_t x = TextShiftLeft;
        if (Alignment == taCenter)
            x += (static_cast<int64_t>(line.Available) - line.Width) / 2;
        else if (Alignment == taRight)
            x += static_cast<int64_t>(line.Available) - line.Width;
        else if (Floating && line.BesidePicture && PictureHAlign == phaLeft)
            x += PictureWidth;
        line.X = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
        line.Y = static_cast<int32_t>(
            std::clamp<int64_t>(top + (h + LineSpace) * static_cast<int64_t>(k), INT32_MIN, INT32_MAX));
    }
}

// ---------------------------------------------------------------------------
// TOrvLabel: input

void TOrvLabel::MouseDown(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    // A press elsewhere disarms the label, so releasing over it later (after
    // a press that began outside its form) does not click it.
    Pressed = false;
    if (button != mbLeft || !Inside(x, y)) return;
    QueueScript(OnMouseDown, SoundMouseDown);
    Pressed = true;
    Invalidate();
    CurrentBumpMap = MouseDownBumpMapPicture;
    if (TOrvInterfaceEngine* ui = UI()) ui->Changed = true;
}

void TOrvLabel::MouseMove(TOrvObject*, TShiftState, int32_t x, int32_t y) {
    if (MouseOver) {
        MouseOver = false;
        Invalidate();
    }
    if (!Inside(x, y)) return;
    QueueScript(OnMouseMove, SoundMouseMove);
    MouseOver = true;
    Invalidate();
}

void TOrvLabel::MouseUp(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (button != mbLeft || !Pressed) return;
    Pressed = false;
    Invalidate();
    if (!Inside(x, y)) return;
    QueueScript(OnMouseUp, SoundMouseUp);
    CurrentBumpMap = BumpMapPicture;
    if (TOrvInterfaceEngine* ui = UI()) ui->Changed = true;
}

void TOrvLabel::ResetInputState() {
    TOrvFocusedObject::ResetInputState();
    Pressed = false;
}

// ---------------------------------------------------------------------------
// TOrvLabel: drawing

std::string TOrvLabel::GetPictureNames() const {
    std::string names = Picture;
    for (const std::string* p : {&MouseOverPicture, &MouseDownPicture})
        if (!p->empty()) names += "\r\n" + *p;
    return names;
}

std::string TOrvLabel::StatePicture() const {
    if (Pressed && MouseOver && !MouseDownPicture.empty()) return MouseDownPicture;
    if (MouseOver && !MouseOverPicture.empty()) return MouseOverPicture;
    return Picture;
}

void TOrvLabel::TextState(uint32_t& colour, int32_t& dx, int32_t& dy) const {
    colour = MouseOver ? HoverColor() : Color;
    dx = dy = 0;
    if (Pressed && MouseOver) {
        dx = TextDownShiftLeft;
        dy = TextDownShiftTop;
    }
}

void TOrvLabel::DrawLines(int32_t dx, int32_t dy, uint32_t colour) {
    const TOrvFont* font = Font();
    if (font == nullptr) return;
    for (size_t k = 0; k < Lines.size(); ++k) {
        const TOrvTextLine& line = Lines[k];
        const int32_t x = AbsLeft + line.X + dx;
        const int32_t y = AbsTop + line.Y + dy;
        const bool spread = Alignment == taJustify && k + 1 < Lines.size() && line.Blanks > 0;
        if (!spread) {
            font->DrawText(x, y, line.Text, Alpha, colour);
            continue;
        }
        // The spare width goes to the blanks inside the line, the first ones
        // taking one pixel more when it does not divide evenly.
        const int32_t spare = std::max(0, line.Available - line.Width);
        const int32_t each = spare / line.Blanks;
        int32_t extra = spare % line.Blanks;
        int32_t pen = x;
        size_t start = 0;
        for (size_t i = 0; i <= line.Text.size(); ++i) {
            if (i < line.Text.size() && line.Text[i] != u' ') continue;
            const std::u16string_view word = std::u16string_view(line.Text).substr(start, i - start);
            font->DrawText(pen, y, word, Alpha, colour);
            pen += font->TextWidth(word);
            if (i < line.Text.size()) {
                pen += font->CharWidth(u' ');
                if (i + 1 < line.Text.size()) {
                    pen += each + (extra > 0 ? 1 : 0);
                    if (extra > 0) --extra;
                }
            }
            start = i + 1;
        }
    }
}

void TOrvLabel::Draw() {
    DrawPicture(StatePicture());
    uint32_t colour = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    TextState(colour, dx, dy);
    DrawLines(dx, dy, colour);
}

// ---------------------------------------------------------------------------
// TOrvBoxLabel

const TOrvPropTable& TOrvBoxLabel::ClassPropTable() {
    using T = TOrvBoxLabel;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvBoxLabel", &TOrvLabel::ClassPropTable(),
                                [](auto& p) { p.Enum("BoxPlace", &T::BoxPlace, &T::SetBoxPlace, BoxPlaceNames); });
    return table;
}

void TOrvBoxLabel::Assign(const TOrvObject* source) {
    TOrvLabel::Assign(source);
    const auto* s = dynamic_cast<const TOrvBoxLabel*>(source);
    if (s == nullptr) return;
    Checked = s->Checked;
    BoxPlace = s->BoxPlace;
}

void TOrvBoxLabel::SetBoxPlace(TBoxPlace value) {
    BoxPlace = value;
    AlignPicture();
    RebuildText();
}

int32_t TOrvBoxLabel::BoxWidth() const {
    return std::max(0, PictureWidth);
}

int32_t TOrvBoxLabel::TextAreaWidth() const {
    return Width - BoxWidth();
}

void TOrvBoxLabel::AlignPicture() {
    TOrvLabel::AlignPicture();
    PicX = BoxPlace == bpLeft ? 0 : Width - BoxWidth();
}

void TOrvBoxLabel::Draw() {
    std::string box = StatePicture();
    if (Checked && !MouseDownPicture.empty()) box = MouseDownPicture;
    DrawPicture(box);
    uint32_t colour = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    TextState(colour, dx, dy);
    if (Checked && !MouseOver) colour = CheckedTextColor(colour);
    DrawLines(dx, dy, colour);
}

// ---------------------------------------------------------------------------
// TOrvCheckBox

const TOrvPropTable& TOrvCheckBox::ClassPropTable() {
    using T = TOrvCheckBox;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvCheckBox", &TOrvBoxLabel::ClassPropTable(),
                                [](auto& p) { p.Boolean("Checked", &T::Checked, &T::SetChecked); });
    return table;
}

void TOrvCheckBox::SetChecked(bool value) {
    Checked = value;
    Invalidate();
}

void TOrvCheckBox::MouseDown(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    Pressed = false;
    if (button != mbLeft || !Inside(x, y)) return;
    Pressed = true;
    QueueScript(OnMouseDown, SoundMouseDown);
    Invalidate();
}

void TOrvCheckBox::MouseUp(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (button != mbLeft || !Pressed) return;
    Pressed = false;
    if (!Inside(x, y)) {
        Invalidate();
        return;
    }
    Checked = !Checked;
    QueueScript(OnMouseUp, SoundMouseUp);
    Invalidate();
}

// ---------------------------------------------------------------------------
// TOrvRadioButton

const TOrvPropTable& TOrvRadioButton::ClassPropTable() {
    using T = TOrvRadioButton;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvRadioButton", &TOrvBoxLabel::ClassPropTable(), [](auto& p) {
            p.IntegerRange("CheckedColor", &T::CheckedColor, &T::SetCheckedColor, INT32_MIN, UINT32_MAX);
            p.Boolean("Checked", &T::Checked, &T::SetChecked);
            p.Integer("RadioGroup", &T::RadioGroup);
        });
    return table;
}

void TOrvRadioButton::Assign(const TOrvObject* source) {
    TOrvBoxLabel::Assign(source);
    const auto* s = dynamic_cast<const TOrvRadioButton*>(source);
    if (s == nullptr) return;
    CheckedColor = s->CheckedColor;
    checkedColorSet_ = s->checkedColorSet_;
    RadioGroup = s->RadioGroup;
}

void TOrvRadioButton::SetCheckedColor(uint32_t value) {
    CheckedColor = value;
    checkedColorSet_ = true;
    Invalidate();
}

void TOrvRadioButton::SetChecked(bool value) {
    if (value) {
        if (TOrvForm* form = ParentForm()) {
            for (TOrvInterfaceObject* child : form->Children) {
                auto* other = dynamic_cast<TOrvRadioButton*>(child);
                if (other == nullptr || other == this || other->RadioGroup != RadioGroup || !other->Checked) continue;
                other->Checked = false;
                other->Invalidate();
            }
        }
    }
    Checked = value;
    Invalidate();
}

void TOrvRadioButton::MouseUp(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (button != mbLeft || !Pressed) return;
    Pressed = false;
    Invalidate();
    if (!Inside(x, y) || Checked) return;
    SetChecked(true);
    QueueScript(OnMouseUp, SoundMouseUp);
}
