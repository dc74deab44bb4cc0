#include "ui/OrvForm.h"

#include <algorithm>

#include "base/OrvException.h"
#include "ui/OrvInterfaceEngine.h"

// ---------------------------------------------------------------------------
// TOrvForm: properties, children, Tab order

const TOrvPropTable& TOrvForm::ClassPropTable() {
    using T = TOrvForm;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvForm", &TOrvInterfaceObject::ClassPropTable(),
                                [](auto& p) { p.String("HeadLine", &T::GetHeadLine, &T::SetHeadLine); });
    return table;
}

void TOrvForm::Assign(const TOrvObject* source) {
    TOrvInterfaceObject::Assign(source);
    if (const auto* s = dynamic_cast<const TOrvForm*>(source)) headLine_ = s->headLine_;
}

std::string TOrvForm::GetHeadLine() const {
    return std::to_string(headLine_.Left) + ";" + std::to_string(headLine_.Top) + ";" +
           std::to_string(headLine_.Right) + ";" + std::to_string(headLine_.Bottom) + ";";
}

void TOrvForm::SetHeadLine(const std::string& value) {
    TRect r = headLine_;
    int32_t* fields[4] = {&r.Left, &r.Top, &r.Right, &r.Bottom};
    size_t start = 0;
    for (int32_t* field : fields) {
        const size_t semi = value.find(';', start);
        if (semi == std::string::npos) break;
        int64_t v = 0;
        if (!TryTextToInteger(std::string_view(value).substr(start, semi - start), v) || v < INT32_MIN || v > INT32_MAX)
            throw OrvException("[TOrvForm.SetHeadLine] \"" + value + "\" is not a list of four integers!");
        *field = static_cast<int32_t>(v);
        start = semi + 1;
    }
    headLine_ = r;
}

void TOrvForm::SetName(const std::string& value) {
    const std::string old = Name();
    TOrvInterfaceObject::SetName(value);
    if (old == Name() || Engine == nullptr) return;
    for (const auto& obj : Engine->Objects)
        if (obj->ParentName == old && !old.empty()) obj->ParentName = Name();
}

void TOrvForm::RebuildChildren() {
    Children.clear();
    if (Engine == nullptr) return;
    for (const auto& obj : Engine->Objects) {
        if (obj.get() == this || obj->ParentName != Name()) continue;
        if (auto* child = dynamic_cast<TOrvInterfaceObject*>(obj.get())) Children.push_back(child);
    }
    // A child freed from the tab list must not stay there.
    TabList.erase(std::remove_if(TabList.begin(), TabList.end(),
                                 [this](TOrvFocusedObject* f) {
                                     return std::find(Children.begin(), Children.end(), f) == Children.end();
                                 }),
                  TabList.end());
}

void TOrvForm::BuildTabList() {
    TabList.clear();
    for (TOrvInterfaceObject* child : Children)
        if (auto* f = dynamic_cast<TOrvFocusedObject*>(child); f != nullptr && f->WantsTabStop()) TabList.push_back(f);
    std::stable_sort(TabList.begin(), TabList.end(),
                     [](const TOrvFocusedObject* a, const TOrvFocusedObject* b) { return a->TabOrder < b->TabOrder; });
    for (size_t i = 0; i < TabList.size(); ++i) TabList[i]->TabOrder = static_cast<int32_t>(i);
}

void TOrvForm::MoveInTabList(TOrvFocusedObject* obj, int32_t index) {
    const auto it = std::find(TabList.begin(), TabList.end(), obj);
    if (it == TabList.end()) {
        obj->TabOrder = index;
        return;
    }
    const int32_t last = static_cast<int32_t>(TabList.size()) - 1;
    const int32_t to = std::clamp(index, 0, last);
    const auto from = static_cast<int32_t>(it - TabList.begin());
    if (to != from) {
        TabList.erase(it);
        TabList.insert(TabList.begin() + to, obj);
    }
    for (size_t i = 0; i < TabList.size(); ++i) TabList[i]->TabOrder = static_cast<int32_t>(i);
}

void TOrvForm::FocusObject(TOrvFocusedObject* obj) {
    for (TOrvInterfaceObject* child : Children)
        if (auto* f = dynamic_cast<TOrvFocusedObject*>(child); f != nullptr && f != obj && f->Focused)
            f->SetFocused(false);
    if (obj != nullptr && !obj->Focused) obj->SetFocused(true);
}

int TOrvForm::FocusedIndex() const {
    for (size_t i = 0; i < TabList.size(); ++i)
        if (TabList[i]->Focused) return static_cast<int>(i);
    return -1;
}

void TOrvForm::FocusAt(int from, int to) {
    if (to == from) return;
    TabList[static_cast<size_t>(to)]->SetFocused(true);
    TabList[static_cast<size_t>(from)]->SetFocused(false);
}

void TOrvForm::FocusNext() {
    if (TabList.empty()) return;
    const int i = FocusedIndex();
    // With nothing focused yet, Tab starts at the first stop.
    if (i < 0) {
        TabList.front()->SetFocused(true);
        return;
    }
    const int n = static_cast<int>(TabList.size());
    FocusAt(i, (i + 1) % n);
}

void TOrvForm::FocusPrevious() {
    if (TabList.empty()) return;
    const int i = FocusedIndex();
    if (i < 0) {
        TabList.back()->SetFocused(true);
        return;
    }
    const int n = static_cast<int>(TabList.size());
    FocusAt(i, (i - 1 + n) % n);
}

// ---------------------------------------------------------------------------
// TOrvForm: layout, drawing, animation

void TOrvForm::UpdatePosition() {
    TOrvInterfaceObject::UpdatePosition();
    for (size_t i = 0; i < Children.size(); ++i) Children[i]->UpdatePosition();
}

void TOrvForm::SizeChanged() {
    // Children aligned within the form follow its new size.
    for (size_t i = 0; i < Children.size(); ++i) {
        TOrvInterfaceObject* child = Children[i];
        if (child->HAlign != haNone || child->VAlign != vaNone) child->ApplyAlign();
    }
}

void TOrvForm::Draw() {
    TOrvInterfaceObject::Draw();
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->Draw();
}

void TOrvForm::Tick(uint32_t now) {
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->Tick(now);
}

void TOrvForm::ResetInputState() {
    TOrvInterfaceObject::ResetInputState();
    dragging_ = false;
    for (TOrvInterfaceObject* child : Children) child->ResetInputState();
}

// ---------------------------------------------------------------------------
// TOrvForm: input

void TOrvForm::KeyDown(TOrvObject* sender, int32_t& key, TShiftState shift) {
    if (key == VK::Tab) {
        if (shift & ssShift)
            FocusPrevious();
        else
            FocusNext();
        return;
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        TOrvInterfaceObject* child = Children[i];
        if (dynamic_cast<TOrvForm*>(child) != nullptr) {
            child->KeyDown(sender, key, shift);
            continue;
        }
        auto* f = dynamic_cast<TOrvFocusedObject*>(child);
        if (f != nullptr && f->Focused && f->Visible) {
            f->KeyDown(sender, key, shift);
            return;
        }
    }
}

void TOrvForm::KeyPress(TOrvObject* sender, char16_t& key) {
    for (size_t i = 0; i < Children.size(); ++i) Children[i]->KeyPress(sender, key);
}

void TOrvForm::KeyUp(TOrvObject* sender, int32_t& key, TShiftState shift) {
    for (size_t i = 0; i < Children.size(); ++i) Children[i]->KeyUp(sender, key, shift);
}

void TOrvForm::MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (!Inside(x, y)) return;
    const int32_t rx = x - AbsLeft;
    const int32_t ry = y - AbsTop;
    if (button == mbLeft && rx > headLine_.Left && rx < headLine_.Right && ry > headLine_.Top &&
        ry < headLine_.Bottom) {
        // An aligned window would not move: dragging takes it out of its
        // alignment where it stands.
        HAlign = haNone;
        VAlign = vaNone;
        dragging_ = true;
        dragX_ = x;
        dragY_ = y;
        dragLeft_ = Left;
        dragTop_ = Top;
    }
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->MouseDown(sender, button, shift, x, y);
}

void TOrvForm::MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) {
    TOrvInterfaceObject::MouseMove(sender, shift, x, y);
    if (dragging_ && !(shift & ssLeft)) dragging_ = false;
    if (dragging_) {
        MoveTo(dragLeft_ + (x - dragX_), dragTop_ + (y - dragY_));
        if (TOrvInterfaceEngine* ui = UI()) ui->Changed = true;
    }
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->MouseMove(sender, shift, x, y);
}

void TOrvForm::MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    if (button == mbLeft) dragging_ = false;
    if (!Inside(x, y)) return;
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->MouseUp(sender, button, shift, x, y);
}

void TOrvForm::MouseWheel(TOrvObject* sender, TShiftState shift, int32_t wheelDelta, TPoint mousePos, bool& handled) {
    if (!Inside(mousePos.X, mousePos.Y)) return;
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible) Children[i]->MouseWheel(sender, shift, wheelDelta, mousePos, handled);
}

// ---------------------------------------------------------------------------
// TOrvTabForm

const TOrvPropTable& TOrvTabForm::ClassPropTable() {
    using T = TOrvTabForm;
    static const TOrvPropTable table = TOrvPropTable::Build<T>("TOrvTabForm", &TOrvForm::ClassPropTable(),
                                                               [](auto& p) { p.Integer("TabGroup", &T::TabGroup); });
    return table;
}

void TOrvTabForm::Assign(const TOrvObject* source) {
    TOrvForm::Assign(source);
    if (const auto* s = dynamic_cast<const TOrvTabForm*>(source)) TabGroup = s->TabGroup;
}

void TOrvTabForm::SetVisible(bool value) {
    if (value && Engine != nullptr) {
        for (const auto& obj : Engine->Objects) {
            auto* page = dynamic_cast<TOrvTabForm*>(obj.get());
            if (page == nullptr || page == this || page->ClassName() != "TOrvTabForm") continue;
            if (page->ParentName != ParentName || page->TabGroup != TabGroup || !page->Visible) continue;
            // The hidden page's area is redrawn too, in case it was larger.
            page->Invalidate();
            page->Visible = false;
        }
    }
    TOrvForm::SetVisible(value);
}
