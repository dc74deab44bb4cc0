// TOrvRichLabel: a label whose caption carries a small brace markup, and
// TOrvHint, a rich label shown as a pop-up over a translucent background that
// hides itself after ShowTime.
//
// Markup (tag names exact, case-sensitive):
//   {{                       one literal "{"
//   {BR/}  {BR N/}           line break, then N extra pixels
//   {HR N/}                  the current line grows N pixels taller
//   {Left} {Center} {Right} {Justify} ... {/Left} ...   alignment of the lines in between
//   {Table} ... {/Table}     a table: text is placed at tab stops, not wrapped
//   {TLeft N/} {TCenter N/} {TRight N/}   the following text starts at x = N,
//                            is centred on N, or ends at N
//   {Link Action=script}text{/Link}       pressing the text queues the script
// A "{" without a closing "}" and an unknown tag are shown as text. Outside
// tables, text wraps at blanks to the label's width less TextShiftLeft.
//
// Each link becomes an inner label (owned here, drawn and given input by the
// rich label, not an object of the engine) named after the rich label
// + "_Link" + its number, in the link colours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/OrvLabel.h"

struct TOrvRichFragment {
    std::u16string Text;
    int32_t X = 0;  // from the text area's left edge
    int32_t Y = 0;  // from the text area's top edge
    int32_t Width = 0;
    uint32_t Color = 0;
    int32_t Link = -1;  // index of the link, -1 for plain text
};

class TOrvRichLabel : public TOrvLabel {
public:
    TOrvRichLabel();
    ~TOrvRichLabel() override;
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    uint32_t LinkColor = 0xFF8000;
    uint32_t LinkMouseOverColor = 0xFFC040;

    void SetLinkColor(uint32_t value);
    // Also recolours the existing links.
    void SetLinkMouseOverColor(uint32_t value);

    // The laid-out text, in reading order.
    const std::vector<TOrvRichFragment>& Fragments() const { return fragments_; }
    // The inner labels of the links.
    const std::vector<std::unique_ptr<TOrvLabel>>& Links() const { return links_; }
    // Pixels the block moves down for the layout (tlBottom, tlCenter).
    int32_t LayoutShift() const;
    // Bottom of the last line relative to the text area, 0 without text.
    int32_t TextBottom() const { return textBottom_; }

    void BuildLines() override;
    void PlaceLines() override;
    void UpdatePosition() override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void ResetInputState() override;
    void Draw() override;

protected:
    // Called after every layout (hints take their height from it).
    virtual void LaidOut() {}

private:
    void MakeLinkLabels();
    void PlaceLinkLabels();
    void AdoptLinkMarks();

    std::vector<TOrvRichFragment> fragments_;
    std::vector<std::string> linkActions_;
    std::vector<std::unique_ptr<TOrvLabel>> links_;
    int32_t textBottom_ = 0;
};

class TOrvHint : public TOrvRichLabel {
public:
    // Margin of the background around the text area.
    static constexpr int32_t kMarginX = 16;
    static constexpr int32_t kMarginY = 10;

    TOrvHint();
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    // Milliseconds the hint stays once shown; 0 or less keeps it until hidden.
    int32_t ShowTime = 3000;
    uint32_t BackGroundColor = 0x202020;
    uint8_t BackGroundAlpha = 192;
    uint32_t ShownAt = 0;

    // Showing a hint with text starts its time; a hint without text stays
    // hidden. Hiding redraws the area with its margins.
    void SetVisible(bool value) override;
    bool HasText() const { return !Caption().empty(); }
    TRect PaintRect() const override;
    // Takes its height from the text and hides itself once its time is up.
    void Tick(uint32_t now) override;
    void Draw() override;

protected:
    void LaidOut() override;
};
