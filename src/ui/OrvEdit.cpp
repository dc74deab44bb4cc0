#include "ui/OrvEdit.h"

#include <algorithm>

#include "base/OrvFont.h"
#include "base/OrvGraphic.h"
#include "base/OrvUnicode.h"
#include "ui/OrvInterfaceEngine.h"

namespace {

constexpr char16_t kSelectAll = 1;
constexpr char16_t kCopy = 3;
constexpr char16_t kPaste = 22;
constexpr char16_t kCut = 24;

}  // namespace

const TOrvPropTable& TOrvEdit::ClassPropTable() {
    using T = TOrvEdit;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvEdit", &TOrvFocusedObject::ClassPropTable(), [](auto& p) {
            p.String("CursorPicture", &T::CursorPicture);
            p.String("FontName", &T::FontName);
            p.String("CharSet", &T::CharSet);
            p.String("Caption", &T::GetCaption, &T::SetCaption);
            p.Integer("Alpha", &T::Alpha, &T::SetAlpha);
            p.IntegerRange("Color", &T::Color, &T::SetColor, INT32_MIN, UINT32_MAX);
            p.IntegerRange("SelectColor", &T::SelectColor, nullptr, INT32_MIN, UINT32_MAX);
            p.Integer("TextShiftLeft", &T::TextShiftLeft);
            p.Integer("TextShiftTop", &T::TextShiftTop);
            p.String("PasswordChar", &T::PasswordChar);
            p.Enum("InputMode", &T::InputMode, InputModeNames);
            p.Boolean("ReadOnly", &T::ReadOnly);
            p.Integer("MaxLength", &T::MaxLength);
            p.Integer("MaxWidth", &T::MaxWidth);
            p.String("ForbiddenChars", &T::GetForbiddenChars, &T::SetForbiddenChars);
        });
    return table;
}

void TOrvEdit::Assign(const TOrvObject* source) {
    TOrvFocusedObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvEdit*>(source);
    if (s == nullptr) return;
    CursorPicture = s->CursorPicture;
    FontName = s->FontName;
    CharSet = s->CharSet;
    Alpha = s->Alpha;
    Color = s->Color;
    SelectColor = s->SelectColor;
    TextShiftLeft = s->TextShiftLeft;
    TextShiftTop = s->TextShiftTop;
    PasswordChar = s->PasswordChar;
    InputMode = s->InputMode;
    ReadOnly = s->ReadOnly;
    MaxLength = s->MaxLength;
    MaxWidth = s->MaxWidth;
    Caret = s->Caret;
    SelStart = s->SelStart;
    SelEnd = s->SelEnd;
    caption_ = s->caption_;
    forbidden_ = s->forbidden_;
}

// ---------------------------------------------------------------------------
// Text and limits

std::string TOrvEdit::GetCaption() const {
    return Utf16ToUtf8(caption_);
}

void TOrvEdit::SetCaption(const std::string& value) {
    caption_ = Utf8ToUtf16(value);
    CollapseTo(static_cast<int32_t>(caption_.size()) + 1);
    Invalidate();
}

std::string TOrvEdit::GetForbiddenChars() const {
    return Utf16ToUtf8(forbidden_);
}

void TOrvEdit::SetForbiddenChars(const std::string& value) {
    forbidden_ = Utf8ToUtf16(value);
}

void TOrvEdit::SetAlpha(uint8_t value) {
    Alpha = value;
    Invalidate();
}

void TOrvEdit::SetColor(uint32_t value) {
    Color = value;
    Invalidate();
}

TOrvFont* TOrvEdit::Font() const {
    return FindFont(FontName);
}

std::u16string TOrvEdit::DisplayText() const {
    if (PasswordChar.empty()) return caption_;
    const std::u16string mask = Utf8ToUtf16(PasswordChar);
    return std::u16string(caption_.size(), mask.empty() ? u'*' : mask[0]);
}

bool TOrvEdit::Refused(char16_t c) const {
    if (c < 32 || c == 127) return true;
    if (InputMode == imNumbersOnly && (c < u'0' || c > u'9')) return true;
    return forbidden_.find(c) != std::u16string::npos;
}

bool TOrvEdit::LengthAllowsMore() const {
    return MaxLength <= 0 || static_cast<int64_t>(caption_.size()) < MaxLength;
}

bool TOrvEdit::Fits(const std::u16string& candidate) const {
    const int64_t limit = static_cast<int64_t>(MaxWidth > 0 ? MaxWidth : Width) - TextShiftLeft;
    const TOrvFont* font = Font();
    if (font == nullptr) return true;
    std::u16string shown = candidate;
    if (!PasswordChar.empty()) {
        const std::u16string mask = Utf8ToUtf16(PasswordChar);
        shown.assign(candidate.size(), mask.empty() ? u'*' : mask[0]);
    }
    return font->TextWidth(shown) < limit;
}

void TOrvEdit::ClampPositions() {
    const auto end = static_cast<int32_t>(caption_.size()) + 1;
    Caret = std::clamp(Caret, 1, end);
    SelStart = std::clamp(SelStart, 1, end);
    SelEnd = std::clamp(SelEnd, 1, end);
}

void TOrvEdit::CollapseTo(int32_t position) {
    Caret = position;
    SelStart = SelEnd = position;
    ClampPositions();
}

std::string TOrvEdit::SelectedText() const {
    const int32_t a = std::min(SelStart, SelEnd);
    const int32_t b = std::max(SelStart, SelEnd);
    if (a == b) return {};
    return Utf16ToUtf8(std::u16string_view(caption_).substr(static_cast<size_t>(a - 1), static_cast<size_t>(b - a)));
}

void TOrvEdit::DeleteSelection() {
    ClampPositions();
    const int32_t a = std::min(SelStart, SelEnd);
    const int32_t b = std::max(SelStart, SelEnd);
    caption_.erase(static_cast<size_t>(a - 1), static_cast<size_t>(b - a));
    CollapseTo(a);
}

int32_t TOrvEdit::InsertText(std::u16string_view text) {
    int32_t added = 0;
    for (const char16_t c : text) {
        if (!LengthAllowsMore()) break;
        if (Refused(c)) continue;
        std::u16string candidate = caption_;
        candidate.insert(static_cast<size_t>(Caret - 1), 1, c);
        if (!Fits(candidate)) break;
        caption_ = std::move(candidate);
        CollapseTo(Caret + 1);
        ++added;
    }
    return added;
}

void TOrvEdit::CopySelection() const {
    const TOrvInterfaceEngine* ui = UI();
    if (HasSelection() && ui != nullptr && ui->SetClipboardText) ui->SetClipboardText(SelectedText());
}

void TOrvEdit::Paste() {
    const TOrvInterfaceEngine* ui = UI();
    if (ui == nullptr || !ui->GetClipboardText) return;
    const std::u16string text = Utf8ToUtf16(ui->GetClipboardText());
    DeleteSelection();
    InsertText(text);
}

// ---------------------------------------------------------------------------
// Keys

bool TOrvEdit::TakesKeys() const {
    return Focused && !ReadOnly && Visible;
}

void TOrvEdit::KeyDown(TOrvObject*, int32_t& key, TShiftState shift) {
    if (!TakesKeys()) return;
    ClampPositions();
    const auto end = static_cast<int32_t>(caption_.size()) + 1;
    int32_t moveTo = 0;
    switch (key) {
        case VK::Left:
            moveTo = std::max(1, Caret - 1);
            break;
        case VK::Right:
            moveTo = std::min(end, Caret + 1);
            break;
        case VK::Home:
            moveTo = 1;
            break;
        case VK::End:
            moveTo = end;
            break;
        case VK::Back:
            if (!HasSelection() && Caret > 1) {
                caption_.erase(static_cast<size_t>(Caret - 2), 1);
                CollapseTo(Caret - 1);
            }
            DeleteSelection();
            break;
        case VK::Delete:
            if (!HasSelection() && Caret < end) caption_.erase(static_cast<size_t>(Caret - 1), 1);
            DeleteSelection();
            break;
        default:
            break;
    }
    if (moveTo > 0) {
        Caret = moveTo;
        if (shift & ssShift)
            SelEnd = Caret;
        else
            SelStart = SelEnd = Caret;
    }
    caretShown_ = true;
    if (const TOrvInterfaceEngine* ui = UI()) blinkStart_ = ui->Now();
    QueueScript(OnKeyDown, SoundKeyDown);
    Invalidate();
}

void TOrvEdit::KeyPress(TOrvObject*, char16_t& key) {
    if (!TakesKeys() || !LengthAllowsMore()) return;
    ClampPositions();
    switch (key) {
        case kSelectAll:
            SelStart = 1;
            Caret = SelEnd = static_cast<int32_t>(caption_.size()) + 1;
            break;
        case kCopy:
            CopySelection();
            break;
        case kPaste:
            Paste();
            break;
        case kCut:
            CopySelection();
            DeleteSelection();
            break;
        default: {
            if (Refused(key)) return;
            std::u16string candidate = caption_;
            const int32_t a = std::min(SelStart, SelEnd);
            candidate.erase(static_cast<size_t>(a - 1), static_cast<size_t>(std::max(SelStart, SelEnd) - a));
            candidate.insert(static_cast<size_t>(a - 1), 1, key);
            if (!Fits(candidate)) return;
            caption_ = std::move(candidate);
            CollapseTo(a + 1);
            break;
        }
    }
    QueueScript(OnKeyPress, SoundKeyPress);
    Invalidate();
}

void TOrvEdit::KeyUp(TOrvObject*, int32_t&, TShiftState) {
    if (TakesKeys()) QueueScript(OnKeyUp, SoundKeyUp);
}

// ---------------------------------------------------------------------------
// Mouse, focus, caret

int32_t TOrvEdit::PositionAt(int32_t x) const {
    const TOrvFont* font = Font();
    if (font == nullptr) return static_cast<int32_t>(caption_.size()) + 1;
    const std::u16string shown = DisplayText();
    int64_t pen = AbsLeft + TextShiftLeft;
    for (size_t i = 0; i < shown.size(); ++i) {
        const int32_t w = font->CharWidth(shown[i]);
        if (x < pen + w / 2) return static_cast<int32_t>(i) + 1;
        pen += w;
    }
    return static_cast<int32_t>(shown.size()) + 1;
}

void TOrvEdit::MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (button != mbLeft) return;
    TOrvFocusedObject::MouseDown(sender, button, shift, x, y);
    if (!PressedInside) return;
    CollapseTo(PositionAt(x));
    caretShown_ = true;
    if (const TOrvInterfaceEngine* ui = UI()) blinkStart_ = ui->Now();
    QueueScript(OnMouseDown, SoundMouseDown);
    Invalidate();
}

void TOrvEdit::MouseUp(TOrvObject*, TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (button == mbLeft && PressedInside && Inside(x, y)) QueueScript(OnMouseUp, SoundMouseUp);
    PressedInside = false;
}

void TOrvEdit::SetFocused(bool value) {
    TOrvFocusedObject::SetFocused(value);
    caretShown_ = true;
    if (const TOrvInterfaceEngine* ui = UI()) blinkStart_ = ui->Now();
}

void TOrvEdit::Tick(uint32_t now) {
    if (!Focused) return;
    const bool shown = ((now - blinkStart_) / kBlinkTime) % 2 == 0;
    if (shown == caretShown_) return;
    caretShown_ = shown;
    Invalidate();
}

std::string TOrvEdit::GetPictureNames() const {
    std::string names = Picture;
    if (!CursorPicture.empty()) names += "\r\n" + CursorPicture;
    return names;
}

void TOrvEdit::Draw() {
    TOrvFocusedObject::Draw();
    IOrvGraphic* g = Graphic();
    const TOrvFont* font = Font();
    if (g == nullptr || font == nullptr) return;
    ClampPositions();
    const std::u16string shown = DisplayText();
    const int32_t x0 = AbsLeft + TextShiftLeft;
    const int32_t y0 = AbsTop + TextShiftTop;
    auto prefix = [&](int32_t position) {
        return font->TextWidth(std::u16string_view(shown).substr(0, static_cast<size_t>(position - 1)));
    };
    if (HasSelection()) {
        const int32_t a = prefix(std::min(SelStart, SelEnd));
        const int32_t b = prefix(std::max(SelStart, SelEnd));
        g->DrawRect("", TRect{x0 + a, y0, x0 + b, y0 + font->Height}, SelectColor, 192, 1);
    }
    font->DrawText(x0, y0, shown, Alpha, Color);
    if (!Focused || ReadOnly || !caretShown_) return;
    const int32_t cx = x0 + prefix(Caret);
    if (!CursorPicture.empty())
        g->Draw(CursorPicture, "", BlendingMode, cx, y0, Alpha, nullptr);
    else
        g->DrawRect("", TRect{cx, y0, cx + 2, y0 + font->Height}, Color, Alpha, 1);
}
