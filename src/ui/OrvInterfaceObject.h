// The base of every window and control of the game's own interface: a
// rectangle placed relative to its parent (or the screen), an optional
// picture, alignment rules, visibility, event scripts and event sounds.
// TOrvFocusedObject adds the keyboard focus within a form.
//
// Objects never touch pixels: they draw through the engine's IOrvGraphic.
// They are created by TOrvInterfaceEngine from the interface file and set
// through their published properties, so every setter below behaves the same
// whether the file, a script ("SetProp") or the game's code calls it.
//
// Coordinates: Left/Top are relative to the parent, AbsLeft/AbsTop are
// screen positions kept by UpdatePosition. "Inside" is always the half-open
// test AbsLeft <= x < AbsLeft + Width (the same for y).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/BlendingMode.h"
#include "base/OrvBaseClasses.h"
#include "base/OrvTypes.h"
#include "platform/Window.h"

class IOrvGraphic;
class TOrvFont;
class TOrvForm;
class TOrvInterfaceEngine;

enum TAutoSizeType : int32_t { asNone, asPicture, asCaption };
enum TPictureHAlignType : int32_t { phaLeft, phaCenter, phaRight };
enum TPictureVAlignType : int32_t { pvaTop, pvaCenter, pvaBottom };
enum THAlignType : int32_t { haNone, haLeft, haCenter, haRight, haJustify };
enum TVAlignType : int32_t { vaNone, vaTop, vaCenter, vaBottom, vaJustify };

inline constexpr std::string_view AutoSizeTypeNames[] = {"asNone", "asPicture", "asCaption"};
inline constexpr std::string_view PictureHAlignNames[] = {"phaLeft", "phaCenter", "phaRight"};
inline constexpr std::string_view PictureVAlignNames[] = {"pvaTop", "pvaCenter", "pvaBottom"};
inline constexpr std::string_view HAlignNames[] = {"haNone", "haLeft", "haCenter", "haRight", "haJustify"};
inline constexpr std::string_view VAlignNames[] = {"vaNone", "vaTop", "vaCenter", "vaBottom", "vaJustify"};

// Key codes are Windows virtual-key codes (VK:: in platform/Window.h); typed
// characters are UTF-16 units.
class TOrvInterfaceObject : public TOrvObject {
public:
    TOrvInterfaceObject() = default;
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    // Copies every field listed below (and Tag, Engine) from another
    // interface object; nothing for nullptr or another kind of object.
    void Assign(const TOrvObject* source) override;

    // ---- Published fields without side effects ----
    std::string Style;
    TBlendingMode BlendingMode = bmNormal;
    uint8_t PictureAlpha = 255;
    std::string OnKeyDown, OnKeyPress, OnKeyUp, OnMouseDown, OnMouseMove, OnMouseUp, OnMouseWheel;
    std::string SoundKeyDown, SoundKeyPress, SoundKeyUp, SoundMouseDown, SoundMouseMove, SoundMouseUp, SoundMouseWheel;

    // ---- Published fields with setters (read them directly, set them
    // through the setter so the object relayouts and redraws) ----
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TAutoSizeType AutoSize = asNone;
    std::string BumpMapPicture;
    std::string Picture;
    TPictureHAlignType PictureHAlign = phaLeft;
    TPictureVAlignType PictureVAlign = pvaTop;
    THAlignType HAlign = haNone;
    TVAlignType VAlign = vaNone;
    int32_t ShiftLeft = 0;
    int32_t ShiftTop = 0;
    bool Visible = true;

    // ---- State ----
    std::string CurrentBumpMap;
    int32_t AbsLeft = 0;
    int32_t AbsTop = 0;
    int32_t PicX = 0;
    int32_t PicY = 0;
    int32_t PictureWidth = 0;
    int32_t PictureHeight = 0;
    bool MouseOver = false;
    TRect InvalidRect{};
    bool NeedRedraw = false;

    // Ignored while HAlign is not haNone; otherwise invalidate, store, UpdatePosition.
    void SetLeft(int32_t value);
    // Ignored while VAlign is not vaNone; otherwise invalidate, store, UpdatePosition.
    void SetTop(int32_t value);
    // Ignored unless AutoSize is asNone; otherwise invalidate, store,
    // relayout (ApplyAlign, UpdatePosition) and AlignPicture.
    virtual void SetWidth(int32_t value);
    void SetHeight(int32_t value);
    virtual void SetPicture(const std::string& value);
    virtual void SetAutoSize(TAutoSizeType value);
    virtual void SetVisible(bool value);
    void SetBumpMapPicture(const std::string& value);
    void SetPictureHAlign(TPictureHAlignType value);
    void SetPictureVAlign(TPictureVAlignType value);
    void SetHAlign(THAlignType value);
    void SetVAlign(TVAlignType value);
    void SetShiftLeft(int32_t value);
    void SetShiftTop(int32_t value);
    void SetPictureAlpha(uint8_t value);

    // Takes the size of Picture when AutoSize is asPicture and the picture
    // has a size of at least 1 x 1.
    virtual void AutoSizeToPicture();
    // Places the picture inside the object by PictureHAlign/PictureVAlign
    // (PicX, PicY); a picture larger than the object gets negative offsets.
    virtual void AlignPicture();
    // Every picture the object may draw, separated by CR LF.
    virtual std::string GetPictureNames() const;
    // AbsLeft/AbsTop from the parent's screen position (or the screen).
    virtual void UpdatePosition();
    // Left/Top (and Width/Height for the justify modes) from the alignment
    // rules within the parent (or the screen).
    void ApplyAlign();
    // ApplyAlign, then UpdatePosition.
    void Relayout();
    // Moves the object when neither HAlign nor VAlign is set.
    void MoveTo(int32_t left, int32_t top);

    // ---- Events (x, y are screen coordinates; sender is the object the
    // engine or the parent form passes on, usually the form) ----
    virtual void KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift);
    virtual void KeyPress(TOrvObject* sender, char16_t& key);
    virtual void KeyUp(TOrvObject* sender, int32_t& key, TShiftState shift);
    virtual void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    // Sets MouseOver from the inside test.
    virtual void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y);
    virtual void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    virtual void MouseWheel(TOrvObject* sender, TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled);
    // Draws the picture at (AbsLeft + PicX, AbsTop + PicY).
    virtual void Draw();
    // Advances animations (caret, moving pictures, hint timers) to now.
    virtual void Tick(uint32_t now);
    // Forgets hover and press states (the form was just shown).
    virtual void ResetInputState();
    // Called once the interface file is read and every property set, to
    // settle values that depend on each other (a slider's range).
    virtual void Loaded() {}
    // Takes the sizes of its pictures again (they were loaded or rebuilt
    // after the object was made): sizes, aligns and lays out its content.
    virtual void PicturesChanged();

    // Records the screen area to redraw, once per frame: the first call after
    // a frame keeps the area, later calls do nothing.
    void Invalidate();
    // The area the object paints (its rectangle; hints paint a margin around it).
    virtual TRect PaintRect() const;
    // The object's screen rectangle, right and bottom exclusive.
    TRect BoundsRect() const { return TRect{AbsLeft, AbsTop, AbsLeft + Width, AbsTop + Height}; }
    bool Inside(int32_t x, int32_t y) const;
    // Visible, and so is every interface parent above it.
    bool ShownOnScreen() const;

    // The engine, its graphic and fonts; nullptr when the object has none.
    TOrvInterfaceEngine* UI() const;
    IOrvGraphic* Graphic() const;
    TOrvFont* FindFont(std::string_view name) const;
    // The parent as an interface object / form, or nullptr.
    TOrvInterfaceObject* ParentUI() const;
    TOrvForm* ParentForm() const;
    // Width and height of a picture; 0 and 0 without a graphic or picture.
    void PictureSize(const std::string& picture, int32_t& width, int32_t& height) const;

protected:
    // Queues script with the event's sound in front of it (ExecScript).
    void QueueScript(const std::string& script, const std::string& sound);
    // Called when Width or Height changed by any route.
    virtual void SizeChanged() {}
    // Draws a picture at the object's picture offset with its alpha.
    void DrawPicture(const std::string& picture, int32_t dx = 0, int32_t dy = 0);

private:
    void RelayoutAndAlign();
};

// An interface object that can hold the keyboard focus of its form.
class TOrvFocusedObject : public TOrvInterfaceObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    bool PressedInside = false;
    bool Focused = false;
    // Index in the form's tab list (see TOrvForm::BuildTabList).
    int32_t TabOrder = 0;

    // Stores and invalidates.
    virtual void SetFocused(bool value);
    // While the engine reads a file the value is stored unchecked; otherwise
    // it is clamped to the form's tab list and the object moves there.
    void SetTabOrder(int32_t value);
    // Whether Tab stops at this object: controls that take keys do.
    virtual bool WantsTabStop() const { return false; }

    // A press inside takes the focus of the form.
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
};
