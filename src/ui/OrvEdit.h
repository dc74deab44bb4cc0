// TOrvEdit: a single-line text box with a blinking caret, a selection and
// the clipboard (Ctrl+A selects all, Ctrl+C copies, Ctrl+V pastes, Ctrl+X
// cuts). Keys act only while the edit is focused, visible and not read-only.
//
// Limits, the same for typing and pasting: at most MaxLength characters
// (no limit when 0 or less), the shown text narrower than MaxWidth -
// TextShiftLeft (the edit's Width when MaxWidth is 0 or less), no character
// of ForbiddenChars, only digits in imNumbersOnly, no control characters.
// Positions (Caret, SelStart, SelEnd) count characters from 1; nothing is
// selected when SelStart equals SelEnd.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/OrvInterfaceObject.h"

enum TInputMode : int32_t { imNormal, imNumbersOnly };
inline constexpr std::string_view InputModeNames[] = {"imNormal", "imNumbersOnly"};

class TOrvFont;

class TOrvEdit : public TOrvFocusedObject {
public:
    // Milliseconds the caret stays shown, then hidden.
    static constexpr uint32_t kBlinkTime = 500;

    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    std::string CursorPicture;
    std::string FontName;
    std::string CharSet;
    uint8_t Alpha = 255;
    uint32_t Color = 0;
    uint32_t SelectColor = 0xC08040;
    int32_t TextShiftLeft = 0;
    int32_t TextShiftTop = 0;
    std::string PasswordChar;
    TInputMode InputMode = imNormal;
    bool ReadOnly = false;
    int32_t MaxLength = 0;
    int32_t MaxWidth = 0;

    int32_t Caret = 1;
    int32_t SelStart = 1;
    int32_t SelEnd = 1;

    std::string GetCaption() const;
    // Replaces the text (no limits apply); the caret goes to its end.
    void SetCaption(const std::string& value);
    const std::u16string& Caption() const { return caption_; }
    std::string GetForbiddenChars() const;
    void SetForbiddenChars(const std::string& value);
    void SetAlpha(uint8_t value);
    void SetColor(uint32_t value);

    bool HasSelection() const { return SelStart != SelEnd; }
    // The selected text as UTF-8.
    std::string SelectedText() const;
    // Removes the selected characters and puts the caret where they were.
    void DeleteSelection();
    // Inserts text at the caret as if typed, character by character under
    // the limits; refused characters are skipped, and insertion stops at the
    // length or width limit. Returns how many characters went in.
    int32_t InsertText(std::u16string_view text);
    // The text as shown (PasswordChar repeated when set).
    std::u16string DisplayText() const;

    bool WantsTabStop() const override { return true; }
    void KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void KeyPress(TOrvObject* sender, char16_t& key) override;
    void KeyUp(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void SetFocused(bool value) override;
    void Tick(uint32_t now) override;
    void Draw() override;
    std::string GetPictureNames() const override;

private:
    bool TakesKeys() const;
    bool Refused(char16_t c) const;
    bool Fits(const std::u16string& candidate) const;
    bool LengthAllowsMore() const;
    void CollapseTo(int32_t position);
    void ClampPositions();
    void Paste();
    void CopySelection() const;
    int32_t PositionAt(int32_t x) const;
    TOrvFont* Font() const;

    std::u16string caption_;
    std::u16string forbidden_;
    bool caretShown_ = true;
    uint32_t blinkStart_ = 0;
};
