// Labels: text in a bitmap font, wrapped to the label's width, with a
// picture behind it and pictures and colours for the pointer over it and a
// press; a label with a picture is the game's button. Check boxes and radio
// buttons are labels with a box picture beside the text.
//
// The caption is UTF-8 in files and scripts and held as UTF-16. Line breaks
// and tabs in it count as blanks; lines break at blanks (or inside a word
// too long for a line) and always take at least one character.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/OrvInterfaceObject.h"

enum TTextAlignment : int32_t { taLeft, taCenter, taRight, taJustify };
enum TTextLayout : int32_t { tlTop, tlCenter, tlBottom };
enum TBoxPlace : int32_t { bpLeft, bpRight };

inline constexpr std::string_view TextAlignmentNames[] = {"taLeft", "taCenter", "taRight", "taJustify"};
inline constexpr std::string_view TextLayoutNames[] = {"tlTop", "tlCenter", "tlBottom"};
inline constexpr std::string_view BoxPlaceNames[] = {"bpLeft", "bpRight"};

class TOrvFont;

// One laid-out line of a label.
struct TOrvTextLine {
    std::u16string Text;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;      // measured width of Text
    int32_t Available = 0;  // width the line could fill
    int32_t Blanks = 0;     // blanks inside the line (a final one not counted)
    bool Broken = false;    // the line ended at a blank
    bool BesidePicture = false;
};

// Where the lines of a text begin and end. availableFor(k) is the width line
// k may fill. Each line takes at least one character, so any width (also 0
// or less) ends.
struct TOrvLineSpan {
    size_t Start = 0;
    size_t Length = 0;
    bool Broken = false;
};
std::vector<TOrvLineSpan> BreakTextLines(std::u16string_view text, const TOrvFont& font,
                                         const std::function<int32_t(size_t)>& availableFor);

class TOrvLabel : public TOrvFocusedObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    // ---- Published ----
    bool Floating = false;
    std::string MouseOverPicture;
    std::string MouseDownPicture;
    std::string MouseDownBumpMapPicture;
    std::string FontName;
    uint8_t Alpha = 255;
    uint32_t Color = 0;
    // The text colour under the pointer; Color until set.
    uint32_t MouseOverColor = 0;
    TTextAlignment Alignment = taLeft;
    TTextLayout Layout = tlTop;
    int32_t TextShiftLeft = 0;
    int32_t TextShiftTop = 0;
    int32_t LineSpace = 0;
    int32_t TextDownShiftLeft = 0;
    int32_t TextDownShiftTop = 0;

    // ---- State ----
    bool Pressed = false;
    std::vector<TOrvTextLine> Lines;

    std::string GetCaption() const;
    // Stores the text and lays it out again.
    virtual void SetCaption(const std::string& value);
    const std::u16string& Caption() const { return caption_; }
    void SetCaption16(std::u16string value);
    void SetFontName(const std::string& value);
    void SetAlpha(uint8_t value);
    void SetMouseOverColor(uint32_t value);
    void SetColor(uint32_t value);
    void SetAlignment(TTextAlignment value);
    void SetLayout(TTextLayout value);
    void SetTextShiftLeft(int32_t value);
    void SetTextShiftTop(int32_t value);
    void SetLineSpace(int32_t value);
    void SetFloating(bool value);
    void SetPicture(const std::string& value) override;

    // The font named by FontName, or nullptr.
    TOrvFont* Font() const;
    // The colour of the text under the pointer.
    uint32_t HoverColor() const { return mouseOverColorSet_ ? MouseOverColor : Color; }
    // Lays the caption out again (BuildLines, PlaceLines, invalidate).
    void RebuildText();
    // Cuts the caption into Lines (positions not yet set).
    virtual void BuildLines();
    // Sets X and Y of every line from the alignment and layout.
    virtual void PlaceLines();
    // The width lines may fill before a picture beside them is taken off.
    virtual int32_t TextAreaWidth() const { return Width; }

    std::string GetPictureNames() const override;
    void PicturesChanged() override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void ResetInputState() override;
    void Draw() override;

protected:
    void SizeChanged() override;
    // The picture for the present state, falling back to Picture.
    std::string StatePicture() const;
    // Draws the lines at the label's position plus (dx, dy) in colour.
    void DrawLines(int32_t dx, int32_t dy, uint32_t colour);
    // The text colour and offset for the present state.
    void TextState(uint32_t& colour, int32_t& dx, int32_t& dy) const;
    // Sets the size from the caption (AutoSize asCaption).
    void SizeToCaption();

    std::u16string caption_;
    bool mouseOverColorSet_ = false;
    bool laying_ = false;
};

// A label with a box picture beside the text, checked or not. The box is
// Picture, MouseOverPicture under the pointer, and MouseDownPicture while
// checked (and while pressed). It stands at the left (bpLeft) or right edge;
// the text may fill the width less the box, starting at TextShiftLeft.
class TOrvBoxLabel : public TOrvLabel {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    bool Checked = false;
    TBoxPlace BoxPlace = bpLeft;

    void SetBoxPlace(TBoxPlace value);
    int32_t BoxWidth() const;
    int32_t TextAreaWidth() const override;
    void AlignPicture() override;
    void Draw() override;

protected:
    // The text colour of the checked state (radio buttons have their own).
    virtual uint32_t CheckedTextColor(uint32_t normal) const { return normal; }
};

class TOrvCheckBox : public TOrvBoxLabel {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    void SetChecked(bool value);
    // A press inside arms the box; only a release inside an armed box toggles it.
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
};

class TOrvRadioButton : public TOrvBoxLabel {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    // Text colour while checked; Color until set.
    uint32_t CheckedColor = 0;
    int32_t RadioGroup = 0;

    void SetCheckedColor(uint32_t value);
    // Checking clears every other radio button of the same group among the
    // parent's children; unchecking clears only this one.
    void SetChecked(bool value);
    // A release inside, after a press inside, checks an unchecked button and
    // runs its MouseUp script; a checked button ignores clicks.
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;

protected:
    uint32_t CheckedTextColor(uint32_t normal) const override { return checkedColorSet_ ? CheckedColor : normal; }

private:
    bool checkedColorSet_ = false;
};
