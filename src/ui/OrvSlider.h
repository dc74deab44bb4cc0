// TOrvSlider: a track with a thumb (BarPicture) and an up and a down button
// at its two ends, horizontal or vertical. Position runs from Min to Max;
// every change queues the OnChange script. Linked to a grid
// (LinkedObjectName) it scrolls the grid's selection: Max follows the grid's
// rows and both keep the same Position.
//
// Geometry along the slider's axis (x for trHorizontal, y for trVertical):
// the up button at the start, the down button at the end. The thumb runs
// from BarShift (BarShiftLeft, or BarShiftTop when vertical) after the start
// to BarShift before the end: it stands at BarShift + the share of Position
// between Min and Max of the length left beside it, so BarShift is where the
// buttons' room ends. Across the axis the thumb sits at BarShiftTop
// (horizontal) or BarShiftLeft (vertical), the buttons centred.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ui/OrvInterfaceObject.h"

enum TTrackBarOrientation : int32_t { trHorizontal, trVertical };
inline constexpr std::string_view TrackBarOrientationNames[] = {"trHorizontal", "trVertical"};

class TOrvLabel;
class TOrvGrid;

class TOrvSlider : public TOrvFocusedObject {
public:
    TOrvSlider();
    ~TOrvSlider() override;
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    std::string LinkedObjectName;
    std::string BarPicture;
    std::string MouseOverBarPicture;
    int32_t BarShiftLeft = 0;
    int32_t BarShiftTop = 0;
    int32_t Min = 0;
    int32_t Max = 10;
    int32_t Position = 0;
    int32_t Step = 1;
    int32_t BigStep = 5;
    TTrackBarOrientation Orientation = trHorizontal;
    std::string ButtonsSound;
    std::string OnChange;

    // Clamps to Min..Max; a change queues OnChange (without a sound), moves
    // a linked grid's selection to the same value and redraws.
    void SetPosition(int32_t value);
    void SetMin(int32_t value);
    // A linked slider takes its Max from the grid instead of the value.
    void SetMax(int32_t value);
    void SetLinkedObjectName(const std::string& value);
    void SetOrientation(TTrackBarOrientation value);
    void SetBarPicture(const std::string& value);
    void SetBarShiftLeft(int32_t value);
    void SetBarShiftTop(int32_t value);
    // The six pictures of the two buttons.
    std::string GetUpPicture() const;
    std::string GetUpMouseOverPicture() const;
    std::string GetUpMouseDownPicture() const;
    std::string GetDownPicture() const;
    std::string GetDownMouseOverPicture() const;
    std::string GetDownMouseDownPicture() const;
    void SetUpPicture(const std::string& value);
    void SetUpMouseOverPicture(const std::string& value);
    void SetUpMouseDownPicture(const std::string& value);
    void SetDownPicture(const std::string& value);
    void SetDownMouseOverPicture(const std::string& value);
    void SetDownMouseDownPicture(const std::string& value);
    void SetButtonsSound(const std::string& value);

    // The linked grid, looked up by name (nullptr when there is none).
    TOrvGrid* LinkedGrid() const;
    // Max from the linked grid's rows, never below Min (an empty grid gives
    // Min), and Position clamped into it.
    void UpdateRangeFromGrid();
    // Sets Position from the grid without moving the grid again.
    void FollowGrid(int32_t gridPosition);

    // The thumb's rectangle relative to the slider (right/bottom exclusive).
    TRect ThumbRect() const;
    bool Dragging() const { return dragging_; }
    TOrvLabel& UpButton() { return *up_; }
    TOrvLabel& DownButton() { return *down_; }

    bool WantsTabStop() const override { return true; }
    void UpdatePosition() override;
    std::string GetPictureNames() const override;
    void Draw() override;
    void ResetInputState() override;
    void Loaded() override;
    void PicturesChanged() override;
    void KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseWheel(TOrvObject* sender, TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled) override;

protected:
    void SizeChanged() override;

private:
    void LayoutButtons();
    void AdoptButtonMarks();
    bool Reading() const;
    int32_t AxisLength() const;
    int32_t ThumbLength() const;
    int32_t TrackSpan() const;
    int32_t AxisOf(int32_t x, int32_t y) const;

    std::unique_ptr<TOrvLabel> up_;
    std::unique_ptr<TOrvLabel> down_;
    bool dragging_ = false;
    int32_t dragFrom_ = 0;
    int32_t dragPosition_ = 0;
    bool overThumb_ = false;
    bool followingGrid_ = false;
};
