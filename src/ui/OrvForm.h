// Forms hold controls: TOrvForm is a window (or a panel inside one) that
// draws its children and passes input on to them, keeps the keyboard focus
// and Tab order of its controls and can be dragged by its head line.
// TOrvTabForm is a page of a tab group: showing one hides the other pages of
// the same group on the same parent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/OrvInterfaceObject.h"

class TOrvForm : public TOrvInterfaceObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    // The objects whose ParentName is this form's name, in engine order (not owned).
    std::vector<TOrvInterfaceObject*> Children;
    // The controls Tab stops at, in Tab order (not owned). Their TabOrder is
    // their index here.
    std::vector<TOrvFocusedObject*> TabList;

    // Drag area relative to the form as "L;T;R;B;". Setting it reads one
    // integer before each ";" (a number without its ";" is not stored);
    // throws OrvException for text that is not a number.
    std::string GetHeadLine() const;
    void SetHeadLine(const std::string& value);
    TRect HeadLineRect() const { return headLine_; }
    bool Dragging() const { return dragging_; }

    // Renaming a form renames the ParentName of its children too.
    void SetName(const std::string& value) override;

    // Lists the children again from the engine's objects.
    void RebuildChildren();
    // The Tab list from the children that take a Tab stop, sorted by their
    // TabOrder (equal orders keep engine order, gaps close), renumbered.
    void BuildTabList();
    // Moves obj in the Tab list to index (clamped); an object that is not in
    // the list just stores the value.
    void MoveInTabList(TOrvFocusedObject* obj, int32_t index);
    // obj takes the focus: every other focused child loses it.
    void FocusObject(TOrvFocusedObject* obj);
    // Focus to the next / previous object of the Tab list, wrapping around.
    void FocusNext();
    void FocusPrevious();

    void UpdatePosition() override;
    void Draw() override;
    void Tick(uint32_t now) override;
    void ResetInputState() override;
    void KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void KeyPress(TOrvObject* sender, char16_t& key) override;
    void KeyUp(TOrvObject* sender, int32_t& key, TShiftState shift) override;
    void MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void MouseWheel(TOrvObject* sender, TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled) override;

protected:
    void SizeChanged() override;

private:
    int FocusedIndex() const;
    void FocusAt(int from, int to);

    TRect headLine_{};
    bool dragging_ = false;
    int32_t dragX_ = 0;
    int32_t dragY_ = 0;
    int32_t dragLeft_ = 0;
    int32_t dragTop_ = 0;
};

class TOrvTabForm : public TOrvForm {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
    void Assign(const TOrvObject* source) override;

    int32_t TabGroup = 0;

    // Showing the page hides the other pages (exactly TOrvTabForm) of the
    // same TabGroup among its parent's children.
    void SetVisible(bool value) override;
};
