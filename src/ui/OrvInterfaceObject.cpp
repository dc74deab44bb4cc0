#include "ui/OrvInterfaceObject.h"

#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"
#include "ui/OrvForm.h"
#include "ui/OrvInterfaceEngine.h"

// ---------------------------------------------------------------------------
// Published properties

const TOrvPropTable& TOrvInterfaceObject::ClassPropTable() {
    using T = TOrvInterfaceObject;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvInterfaceObject", &TOrvObject::ClassPropTable(), [](auto& p) {
            p.String("Style", &T::Style);
            p.Integer("Left", &T::Left, &T::SetLeft);
            p.Integer("Top", &T::Top, &T::SetTop);
            p.Enum("AutoSize", &T::AutoSize, &T::SetAutoSize, AutoSizeTypeNames);
            p.String("BumpMapPicture", &T::BumpMapPicture, &T::SetBumpMapPicture);
            p.Enum("BlendingMode", &T::BlendingMode, BlendingModeNames);
            p.String("Picture", &T::Picture, &T::SetPicture);
            p.Enum("PictureHAlign", &T::PictureHAlign, &T::SetPictureHAlign, PictureHAlignNames);
            p.Enum("PictureVAlign", &T::PictureVAlign, &T::SetPictureVAlign, PictureVAlignNames);
            p.Integer("PictureAlpha", &T::PictureAlpha, &T::SetPictureAlpha);
            p.Integer("Width", &T::Width, &T::SetWidth);
            p.Integer("Height", &T::Height, &T::SetHeight);
            p.Enum("HAlign", &T::HAlign, &T::SetHAlign, HAlignNames);
            p.Enum("VAlign", &T::VAlign, &T::SetVAlign, VAlignNames);
            p.Integer("ShiftLeft", &T::ShiftLeft, &T::SetShiftLeft);
            p.Integer("ShiftTop", &T::ShiftTop, &T::SetShiftTop);
            p.Boolean("Visible", &T::Visible, &T::SetVisible);
            p.String("OnKeyDown", &T::OnKeyDown);
            p.String("OnKeyPress", &T::OnKeyPress);
            p.String("OnKeyUp", &T::OnKeyUp);
            p.String("OnMouseDown", &T::OnMouseDown);
            p.String("OnMouseMove", &T::OnMouseMove);
            p.String("OnMouseUp", &T::OnMouseUp);
            p.String("OnMouseWheel", &T::OnMouseWheel);
            p.String("SoundKeyDown", &T::SoundKeyDown);
            p.String("SoundKeyPress", &T::SoundKeyPress);
            p.String("SoundKeyUp", &T::SoundKeyUp);
            p.String("SoundMouseDown", &T::SoundMouseDown);
            p.String("SoundMouseMove", &T::SoundMouseMove);
            p.String("SoundMouseUp", &T::SoundMouseUp);
            p.String("SoundMouseWheel", &T::SoundMouseWheel);
        });
    return table;
}

void TOrvInterfaceObject::Assign(const TOrvObject* source) {
    TOrvObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvInterfaceObject*>(source);
    if (s == nullptr) return;
    CurrentBumpMap = s->CurrentBumpMap;
    Style = s->Style;
    Left = s->Left;
    Top = s->Top;
    AbsLeft = s->AbsLeft;
    AbsTop = s->AbsTop;
    AutoSize = s->AutoSize;
    BumpMapPicture = s->BumpMapPicture;
    BlendingMode = s->BlendingMode;
    Picture = s->Picture;
    PictureHAlign = s->PictureHAlign;
    PictureVAlign = s->PictureVAlign;
    PicX = s->PicX;
    PicY = s->PicY;
    PictureWidth = s->PictureWidth;
    PictureHeight = s->PictureHeight;
    PictureAlpha = s->PictureAlpha;
    Width = s->Width;
    Height = s->Height;
    HAlign = s->HAlign;
    VAlign = s->VAlign;
    ShiftLeft = s->ShiftLeft;
    ShiftTop = s->ShiftTop;
    Visible = s->Visible;
    OnKeyDown = s->OnKeyDown;
    OnKeyPress = s->OnKeyPress;
    OnKeyUp = s->OnKeyUp;
    OnMouseDown = s->OnMouseDown;
    OnMouseMove = s->OnMouseMove;
    OnMouseUp = s->OnMouseUp;
    OnMouseWheel = s->OnMouseWheel;
    SoundKeyDown = s->SoundKeyDown;
    SoundKeyPress = s->SoundKeyPress;
    SoundKeyUp = s->SoundKeyUp;
    SoundMouseDown = s->SoundMouseDown;
    SoundMouseMove = s->SoundMouseMove;
    SoundMouseUp = s->SoundMouseUp;
    SoundMouseWheel = s->SoundMouseWheel;
    MouseOver = s->MouseOver;
    InvalidRect = s->InvalidRect;
    NeedRedraw = s->NeedRedraw;
}

// ---------------------------------------------------------------------------
// Links to the engine

TOrvInterfaceEngine* TOrvInterfaceObject::UI() const {
    return dynamic_cast<TOrvInterfaceEngine*>(Engine);
}

IOrvGraphic* TOrvInterfaceObject::Graphic() const {
    const TOrvInterfaceEngine* ui = UI();
    return ui ? ui->Graphic : nullptr;
}

TOrvFont* TOrvInterfaceObject::FindFont(std::string_view name) const {
    const TOrvInterfaceEngine* ui = UI();
    if (ui == nullptr || ui->Fonts == nullptr || name.empty()) return nullptr;
    return ui->Fonts->FindFont(name);
}

TOrvInterfaceObject* TOrvInterfaceObject::ParentUI() const {
    return dynamic_cast<TOrvInterfaceObject*>(ParentObject);
}

TOrvForm* TOrvInterfaceObject::ParentForm() const {
    return dynamic_cast<TOrvForm*>(ParentObject);
}

void TOrvInterfaceObject::PictureSize(const std::string& picture, int32_t& width, int32_t& height) const {
    width = height = 0;
    IOrvGraphic* g = Graphic();
    if (g != nullptr && !picture.empty()) g->GetPictureSize(width, height, picture);
}

void TOrvInterfaceObject::QueueScript(const std::string& script, const std::string& sound) {
    TOrvInterfaceEngine* ui = UI();
    if (ui == nullptr) return;
    if (sound.empty())
        ui->ExecScript(Name(), script);
    else
        ui->ExecScript(Name(), "PlaySound Sound=\"" + sound + "\";" + script);
}

// ---------------------------------------------------------------------------
// Geometry

bool TOrvInterfaceObject::Inside(int32_t x, int32_t y) const {
    return x >= AbsLeft && static_cast<int64_t>(x) < static_cast<int64_t>(AbsLeft) + Width && y >= AbsTop &&
           static_cast<int64_t>(y) < static_cast<int64_t>(AbsTop) + Height;
}

bool TOrvInterfaceObject::ShownOnScreen() const {
    for (const TOrvInterfaceObject* o = this; o != nullptr; o = o->ParentUI())
        if (!o->Visible) return false;
    return true;
}

TRect TOrvInterfaceObject::PaintRect() const {
    return BoundsRect();
}

void TOrvInterfaceObject::Invalidate() {
    if (NeedRedraw) return;
    InvalidRect = PaintRect();
    NeedRedraw = true;
}

void TOrvInterfaceObject::UpdatePosition() {
    if (const TOrvInterfaceObject* parent = ParentUI()) {
        AbsLeft = parent->AbsLeft + Left;
        AbsTop = parent->AbsTop + Top;
    } else {
        AbsLeft = Left;
        AbsTop = Top;
    }
}

void TOrvInterfaceObject::ApplyAlign() {
    int32_t w = 0;
    int32_t h = 0;
    if (const TOrvInterfaceObject* parent = ParentUI()) {
        w = parent->Width;
        h = parent->Height;
    } else if (const TOrvInterfaceEngine* ui = UI()) {
        ui->ScreenSize(w, h);
    } else {
        w = 800;
        h = 600;
    }
    const int32_t oldWidth = Width;
    const int32_t oldHeight = Height;
    switch (HAlign) {
        case haLeft:
            Left = ShiftLeft;
            break;
        case haCenter:
            Left = w / 2 - Width / 2 + ShiftLeft;
            break;
        case haRight:
            Left = w - Width + ShiftLeft;
            break;
        case haJustify:
            if (AutoSize == asNone) {
                Left = 0;
                Width = w;
            }
            break;
        case haNone:
            break;
    }
    switch (VAlign) {
        case vaTop:
            Top = ShiftTop;
            break;
        case vaCenter:
            Top = h / 2 - Height / 2 + ShiftTop;
            break;
        case vaBottom:
            Top = h - Height + ShiftTop;
            break;
        case vaJustify:
            if (AutoSize == asNone) {
                Top = 0;
                Height = h;
            }
            break;
        case vaNone:
            break;
    }
    if (Width != oldWidth || Height != oldHeight) SizeChanged();
}

void TOrvInterfaceObject::Relayout() {
    ApplyAlign();
    UpdatePosition();
}

void TOrvInterfaceObject::RelayoutAndAlign() {
    Relayout();
    AlignPicture();
}

void TOrvInterfaceObject::AlignPicture() {
    int32_t pw = 0;
    int32_t ph = 0;
    PictureSize(Picture, pw, ph);
    if (pw < 1 || ph < 1) return;
    PicX = PictureHAlign == phaCenter ? Width / 2 - pw / 2 : PictureHAlign == phaRight ? Width - pw : 0;
    PicY = PictureVAlign == pvaCenter ? Height / 2 - ph / 2 : PictureVAlign == pvaBottom ? Height - ph : 0;
}

void TOrvInterfaceObject::AutoSizeToPicture() {
    if (AutoSize != asPicture) return;
    int32_t pw = 0;
    int32_t ph = 0;
    PictureSize(Picture, pw, ph);
    if (pw < 1 || ph < 1) return;
    const bool changed = pw != Width || ph != Height;
    Width = pw;
    Height = ph;
    if (changed) SizeChanged();
}

void TOrvInterfaceObject::MoveTo(int32_t left, int32_t top) {
    if (HAlign != haNone || VAlign != vaNone) return;
    Invalidate();
    Left = left;
    Top = top;
    UpdatePosition();
}

// ---------------------------------------------------------------------------
// Setters

void TOrvInterfaceObject::SetLeft(int32_t value) {
    if (HAlign != haNone) return;
    Invalidate();
    Left = value;
    UpdatePosition();
}

void TOrvInterfaceObject::SetTop(int32_t value) {
    if (VAlign != vaNone) return;
    Invalidate();
    Top = value;
    UpdatePosition();
}

void TOrvInterfaceObject::SetWidth(int32_t value) {
    if (AutoSize != asNone) return;
    Invalidate();
    const bool changed = value != Width;
    Width = value;
    if (changed) SizeChanged();
    RelayoutAndAlign();
}

void TOrvInterfaceObject::SetHeight(int32_t value) {
    if (AutoSize != asNone) return;
    Invalidate();
    const bool changed = value != Height;
    Height = value;
    if (changed) SizeChanged();
    RelayoutAndAlign();
}

void TOrvInterfaceObject::SetPicture(const std::string& value) {
    Picture = value;
    if (AutoSize != asNone && AutoSize != asPicture) return;
    Invalidate();
    AutoSizeToPicture();
    RelayoutAndAlign();
    PictureSize(Picture, PictureWidth, PictureHeight);
}

void TOrvInterfaceObject::SetAutoSize(TAutoSizeType value) {
    AutoSize = value;
    AutoSizeToPicture();
    Invalidate();
    if (AutoSize == asNone || AutoSize == asPicture) Relayout();
}

void TOrvInterfaceObject::SetVisible(bool value) {
    Visible = value;
    Invalidate();
}

void TOrvInterfaceObject::SetBumpMapPicture(const std::string& value) {
    BumpMapPicture = value;
    CurrentBumpMap = value;
}

void TOrvInterfaceObject::SetPictureHAlign(TPictureHAlignType value) {
    PictureHAlign = value;
    AlignPicture();
}

void TOrvInterfaceObject::SetPictureVAlign(TPictureVAlignType value) {
    PictureVAlign = value;
    AlignPicture();
}

void TOrvInterfaceObject::SetHAlign(THAlignType value) {
    HAlign = value;
    Invalidate();
    Relayout();
}

void TOrvInterfaceObject::SetVAlign(TVAlignType value) {
    VAlign = value;
    Invalidate();
    Relayout();
}

void TOrvInterfaceObject::SetShiftLeft(int32_t value) {
    ShiftLeft = value;
    Invalidate();
    Relayout();
}

void TOrvInterfaceObject::SetShiftTop(int32_t value) {
    ShiftTop = value;
    Invalidate();
    Relayout();
}

void TOrvInterfaceObject::SetPictureAlpha(uint8_t value) {
    PictureAlpha = value;
    Invalidate();
}

void TOrvInterfaceObject::PicturesChanged() {
    AutoSizeToPicture();
    PictureSize(Picture, PictureWidth, PictureHeight);
    ApplyAlign();
    AlignPicture();
}

std::string TOrvInterfaceObject::GetPictureNames() const {
    return Picture;
}

// ---------------------------------------------------------------------------
// Events and drawing

void TOrvInterfaceObject::KeyDown(TOrvObject*, int32_t&, TShiftState) {}
void TOrvInterfaceObject::KeyPress(TOrvObject*, char16_t&) {}
void TOrvInterfaceObject::KeyUp(TOrvObject*, int32_t&, TShiftState) {}
void TOrvInterfaceObject::MouseDown(TOrvObject*, TMouseButton, TShiftState, int32_t, int32_t) {}
void TOrvInterfaceObject::MouseUp(TOrvObject*, TMouseButton, TShiftState, int32_t, int32_t) {}
void TOrvInterfaceObject::MouseWheel(TOrvObject*, TShiftState, int32_t, TPoint, bool&) {}
void TOrvInterfaceObject::Tick(uint32_t) {}

void TOrvInterfaceObject::MouseMove(TOrvObject*, TShiftState, int32_t x, int32_t y) {
    MouseOver = Inside(x, y);
}

void TOrvInterfaceObject::ResetInputState() {
    MouseOver = false;
}

void TOrvInterfaceObject::DrawPicture(const std::string& picture, int32_t dx, int32_t dy) {
    IOrvGraphic* g = Graphic();
    if (g == nullptr || picture.empty()) return;
    g->Draw(picture, CurrentBumpMap, BlendingMode, AbsLeft + PicX + dx, AbsTop + PicY + dy, PictureAlpha, nullptr);
}

void TOrvInterfaceObject::Draw() {
    DrawPicture(Picture);
}

// ---------------------------------------------------------------------------
// TOrvFocusedObject

const TOrvPropTable& TOrvFocusedObject::ClassPropTable() {
    using T = TOrvFocusedObject;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvFocusedObject", &TOrvInterfaceObject::ClassPropTable(), [](auto& p) {
            p.Boolean("Focused", &T::Focused, &T::SetFocused);
            p.Integer("TabOrder", &T::TabOrder, &T::SetTabOrder);
        });
    return table;
}

void TOrvFocusedObject::Assign(const TOrvObject* source) {
    TOrvInterfaceObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvFocusedObject*>(source);
    if (s == nullptr) return;
    PressedInside = s->PressedInside;
    Focused = s->Focused;
    TabOrder = s->TabOrder;
}

void TOrvFocusedObject::SetFocused(bool value) {
    Focused = value;
    Invalidate();
}

void TOrvFocusedObject::SetTabOrder(int32_t value) {
    const TOrvInterfaceEngine* ui = UI();
    TOrvForm* form = ParentForm();
    if ((ui != nullptr && ui->State == TOrvInterfaceEngine::kReadingState) || form == nullptr) {
        TabOrder = value;
        return;
    }
    form->MoveInTabList(this, value);
}

void TOrvFocusedObject::MouseDown(TOrvObject*, TMouseButton, TShiftState, int32_t x, int32_t y) {
    PressedInside = false;
    if (!Inside(x, y)) return;
    PressedInside = true;
    TOrvForm* form = ParentForm();
    if (form != nullptr) form->FocusObject(this);
    if (!Focused) SetFocused(true);
}
