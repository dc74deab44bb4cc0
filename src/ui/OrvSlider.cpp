#include "ui/OrvSlider.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "base/OrvGraphic.h"
#include "ui/OrvGrid.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvLabel.h"

TOrvSlider::TOrvSlider() : up_(std::make_unique<TOrvLabel>()), down_(std::make_unique<TOrvLabel>()) {
    for (TOrvLabel* b : {up_.get(), down_.get()}) {
        b->ParentObject = this;
        b->AutoSize = asPicture;
    }
}

TOrvSlider::~TOrvSlider() = default;

const TOrvPropTable& TOrvSlider::ClassPropTable() {
    using T = TOrvSlider;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvSlider", &TOrvFocusedObject::ClassPropTable(), [](auto& p) {
            p.String("LinkedObjectName", &T::LinkedObjectName, &T::SetLinkedObjectName);
            p.String("BarPicture", &T::BarPicture, &T::SetBarPicture);
            p.String("MouseOverBarPicture", &T::MouseOverBarPicture);
            p.Integer("BarShiftLeft", &T::BarShiftLeft, &T::SetBarShiftLeft);
            p.Integer("BarShiftTop", &T::BarShiftTop, &T::SetBarShiftTop);
            p.Integer("Max", &T::Max, &T::SetMax);
            p.Integer("Min", &T::Min, &T::SetMin);
            p.Integer("Position", &T::Position, &T::SetPosition);
            p.Integer("Step", &T::Step);
            p.Integer("BigStep", &T::BigStep);
            p.Enum("Orientation", &T::Orientation, &T::SetOrientation, TrackBarOrientationNames);
            p.String("UpPicture", &T::GetUpPicture, &T::SetUpPicture);
            p.String("UpMouseOverPicture", &T::GetUpMouseOverPicture, &T::SetUpMouseOverPicture);
            p.String("UpMouseDownPicture", &T::GetUpMouseDownPicture, &T::SetUpMouseDownPicture);
            p.String("DownPicture", &T::GetDownPicture, &T::SetDownPicture);
            p.String("DownMouseOverPicture", &T::GetDownMouseOverPicture, &T::SetDownMouseOverPicture);
            p.String("DownMouseDownPicture", &T::GetDownMouseDownPicture, &T::SetDownMouseDownPicture);
            p.String("ButtonsSound", &T::ButtonsSound, &T::SetButtonsSound);
            p.String("OnChange", &T::OnChange);
        });
    return table;
}

void TOrvSlider::Assign(const TOrvObject* source) {
    TOrvFocusedObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvSlider*>(source);
    if (s == nullptr) return;
    LinkedObjectName = s->LinkedObjectName;
    BarPicture = s->BarPicture;
    MouseOverBarPicture = s->MouseOverBarPicture;
    BarShiftLeft = s->BarShiftLeft;
    BarShiftTop = s->BarShiftTop;
    Min = s->Min;
    Max = s->Max;
    Position = s->Position;
    Step = s->Step;
    BigStep = s->BigStep;
    Orientation = s->Orientation;
    ButtonsSound = s->ButtonsSound;
    OnChange = s->OnChange;
    up_->Assign(s->up_.get());
    down_->Assign(s->down_.get());
    up_->ParentObject = down_->ParentObject = this;
    LayoutButtons();
}

bool TOrvSlider::Reading() const {
    const TOrvInterfaceEngine* ui = UI();
    return ui != nullptr && ui->State == TOrvInterfaceEngine::kReadingState;
}

// ---------------------------------------------------------------------------
// Range and position

void TOrvSlider::SetPosition(int32_t value) {
    // While a file is read, Min and Max may still follow: the value is
    // stored as it is and settled once the file is in (Loaded).
    if (Reading()) {
        Position = value;
        return;
    }
    const int32_t v = std::clamp(value, Min, std::max(Min, Max));
    if (v == Position) return;
    Position = v;
    QueueScript(OnChange, "");
    if (!followingGrid_) {
        if (TOrvGrid* grid = LinkedGrid()) grid->FollowSlider(Position);
    }
    Invalidate();
}

void TOrvSlider::SetMin(int32_t value) {
    Min = value;
    if (!Reading()) SetPosition(Position);
    Invalidate();
}

void TOrvSlider::SetMax(int32_t value) {
    Max = value;
    if (LinkedGrid() != nullptr) {
        UpdateRangeFromGrid();
        return;
    }
    if (!Reading()) SetPosition(Position);
    Invalidate();
}

void TOrvSlider::Loaded() {
    if (LinkedGrid() != nullptr) Max = std::max(Min, LinkedGrid()->DataRows() - 1);
    Position = std::clamp(Position, Min, std::max(Min, Max));
    LayoutButtons();
}

void TOrvSlider::PicturesChanged() {
    TOrvFocusedObject::PicturesChanged();
    LayoutButtons();
}

TOrvGrid* TOrvSlider::LinkedGrid() const {
    if (LinkedObjectName.empty() || Engine == nullptr) return nullptr;
    return Engine->FindObjectAs<TOrvGrid>(LinkedObjectName);
}

void TOrvSlider::SetLinkedObjectName(const std::string& value) {
    LinkedObjectName = value;
    if (TOrvGrid* grid = LinkedGrid()) {
        if (grid->LinkedObjectName != Name()) grid->LinkedObjectName = Name();
        UpdateRangeFromGrid();
    }
}

void TOrvSlider::UpdateRangeFromGrid() {
    const TOrvGrid* grid = LinkedGrid();
    if (grid == nullptr) return;
    Max = std::max(Min, grid->DataRows() - 1);
    if (!Reading()) {
        followingGrid_ = true;
        SetPosition(Position);
        followingGrid_ = false;
    }
    Invalidate();
}

void TOrvSlider::FollowGrid(int32_t gridPosition) {
    followingGrid_ = true;
    SetPosition(gridPosition);
    followingGrid_ = false;
}

// ---------------------------------------------------------------------------
// Geometry

int32_t TOrvSlider::AxisLength() const {
    return Orientation == trHorizontal ? Width : Height;
}

int32_t TOrvSlider::ThumbLength() const {
    int32_t w = 0;
    int32_t h = 0;
    PictureSize(BarPicture, w, h);
    return std::max(0, Orientation == trHorizontal ? w : h);
}

int32_t TOrvSlider::TrackSpan() const {
    const int32_t shift = Orientation == trHorizontal ? BarShiftLeft : BarShiftTop;
    const int64_t span = static_cast<int64_t>(AxisLength()) - ThumbLength() - 2 * static_cast<int64_t>(shift);
    return static_cast<int32_t>(std::clamp<int64_t>(span, 0, INT32_MAX));
}

int32_t TOrvSlider::AxisOf(int32_t x, int32_t y) const {
    return Orientation == trHorizontal ? x - AbsLeft : y - AbsTop;
}

TRect TOrvSlider::ThumbRect() const {
    int32_t w = 0;
    int32_t h = 0;
    PictureSize(BarPicture, w, h);
    const bool horizontal = Orientation == trHorizontal;
    const int32_t shift = horizontal ? BarShiftLeft : BarShiftTop;
    int64_t along = shift;
    if (Max > Min)
        along += static_cast<int64_t>(TrackSpan()) * (std::clamp(Position, Min, Max) - static_cast<int64_t>(Min)) /
                 (static_cast<int64_t>(Max) - Min);
    const auto a = static_cast<int32_t>(along);
    if (horizontal) return TRect{a, BarShiftTop, a + w, BarShiftTop + h};
    return TRect{BarShiftLeft, a, BarShiftLeft + w, a + h};
}

void TOrvSlider::LayoutButtons() {
    for (TOrvLabel* b : {up_.get(), down_.get()}) {
        b->Engine = Engine;
        b->ParentObject = this;
        b->AutoSizeToPicture();
    }
    if (Orientation == trHorizontal) {
        up_->Left = 0;
        up_->Top = (Height - up_->Height) / 2;
        down_->Left = Width - down_->Width;
        down_->Top = (Height - down_->Height) / 2;
    } else {
        up_->Left = (Width - up_->Width) / 2;
        up_->Top = 0;
        down_->Left = (Width - down_->Width) / 2;
        down_->Top = Height - down_->Height;
    }
    up_->UpdatePosition();
    down_->UpdatePosition();
}

void TOrvSlider::UpdatePosition() {
    TOrvFocusedObject::UpdatePosition();
    up_->UpdatePosition();
    down_->UpdatePosition();
}

void TOrvSlider::SizeChanged() {
    LayoutButtons();
}

void TOrvSlider::SetOrientation(TTrackBarOrientation value) {
    Orientation = value;
    LayoutButtons();
    Invalidate();
}

void TOrvSlider::SetBarPicture(const std::string& value) {
    BarPicture = value;
    Invalidate();
}

void TOrvSlider::SetBarShiftLeft(int32_t value) {
    BarShiftLeft = value;
    Invalidate();
}

void TOrvSlider::SetBarShiftTop(int32_t value) {
    BarShiftTop = value;
    Invalidate();
}

// The buttons are labels of their own; their pictures are the slider's properties.
std::string TOrvSlider::GetUpPicture() const {
    return up_->Picture;
}
std::string TOrvSlider::GetUpMouseOverPicture() const {
    return up_->MouseOverPicture;
}
std::string TOrvSlider::GetUpMouseDownPicture() const {
    return up_->MouseDownPicture;
}
std::string TOrvSlider::GetDownPicture() const {
    return down_->Picture;
}
std::string TOrvSlider::GetDownMouseOverPicture() const {
    return down_->MouseOverPicture;
}
std::string TOrvSlider::GetDownMouseDownPicture() const {
    return down_->MouseDownPicture;
}

void TOrvSlider::SetUpPicture(const std::string& value) {
    up_->Engine = Engine;
    up_->Picture = value;
    LayoutButtons();
    Invalidate();
}
void TOrvSlider::SetUpMouseOverPicture(const std::string& value) {
    up_->MouseOverPicture = value;
}
void TOrvSlider::SetUpMouseDownPicture(const std::string& value) {
    up_->MouseDownPicture = value;
}
void TOrvSlider::SetDownPicture(const std::string& value) {
    down_->Engine = Engine;
    down_->Picture = value;
    LayoutButtons();
    Invalidate();
}
void TOrvSlider::SetDownMouseOverPicture(const std::string& value) {
    down_->MouseOverPicture = value;
}
void TOrvSlider::SetDownMouseDownPicture(const std::string& value) {
    down_->MouseDownPicture = value;
}

void TOrvSlider::SetButtonsSound(const std::string& value) {
    ButtonsSound = value;
    up_->SoundMouseDown = down_->SoundMouseDown = value;
}

std::string TOrvSlider::GetPictureNames() const {
    std::string names = Picture;
    for (const std::string* p : std::initializer_list<const std::string*>{
             &BarPicture, &MouseOverBarPicture, &up_->Picture, &up_->MouseOverPicture, &up_->MouseDownPicture,
             &down_->Picture, &down_->MouseOverPicture, &down_->MouseDownPicture})
        if (!p->empty()) names += "\r\n" + *p;
    return names;
}

// ---------------------------------------------------------------------------
// Input

void TOrvSlider::AdoptButtonMarks() {
    // The buttons are not objects of the engine: their redraw marks become
    // the slider's.
    if (up_->NeedRedraw || down_->NeedRedraw) Invalidate();
    up_->NeedRedraw = down_->NeedRedraw = false;
}

void TOrvSlider::KeyDown(TOrvObject*, int32_t& key, TShiftState) {
    if (!Focused || !Visible) return;
    switch (key) {
        case VK::Left:
        case VK::Up:
            SetPosition(Position - Step);
            break;
        case VK::Right:
        case VK::Down:
            SetPosition(Position + Step);
            break;
        case VK::Prior:
            SetPosition(Position - BigStep);
            break;
        case VK::Next:
            SetPosition(Position + BigStep);
            break;
        case VK::Home:
            SetPosition(Min);
            break;
        case VK::End:
            SetPosition(Max);
            break;
        default:
            return;
    }
    QueueScript(OnKeyDown, SoundKeyDown);
}

void TOrvSlider::MouseDown(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    TOrvFocusedObject::MouseDown(sender, button, shift, x, y);
    if (button != mbLeft || !Inside(x, y)) return;
    up_->MouseDown(sender, button, shift, x, y);
    down_->MouseDown(sender, button, shift, x, y);
    AdoptButtonMarks();
    QueueScript(OnMouseDown, SoundMouseDown);
    const TRect thumb = ThumbRect();
    const int32_t rx = x - AbsLeft;
    const int32_t ry = y - AbsTop;
    const int32_t along = AxisOf(x, y);
    const int32_t thumbStart = Orientation == trHorizontal ? thumb.Left : thumb.Top;
    const int32_t thumbEnd = Orientation == trHorizontal ? thumb.Right : thumb.Bottom;
    if (up_->Pressed) {
        SetPosition(Position - Step);
    } else if (down_->Pressed) {
        SetPosition(Position + Step);
    } else if (rx >= thumb.Left && rx < thumb.Right && ry >= thumb.Top && ry < thumb.Bottom) {
        dragging_ = true;
        dragFrom_ = along;
        dragPosition_ = Position;
        Invalidate();
    } else if (along < thumbStart) {
        SetPosition(Position - BigStep);
    } else if (along >= thumbEnd) {
        SetPosition(Position + BigStep);
    }
}

void TOrvSlider::MouseMove(TOrvObject* sender, TShiftState shift, int32_t x, int32_t y) {
    TOrvFocusedObject::MouseMove(sender, shift, x, y);
    up_->MouseMove(sender, shift, x, y);
    down_->MouseMove(sender, shift, x, y);
    AdoptButtonMarks();
    const TRect thumb = ThumbRect();
    const bool over = MouseOver && x - AbsLeft >= thumb.Left && x - AbsLeft < thumb.Right && y - AbsTop >= thumb.Top &&
                      y - AbsTop < thumb.Bottom;
    if (over != overThumb_) {
        overThumb_ = over;
        Invalidate();
    }
    if (!dragging_) return;
    if (!(shift & ssLeft)) {
        dragging_ = false;
        Invalidate();
        return;
    }
    const int32_t span = TrackSpan();
    if (span <= 0 || Max <= Min) return;
    const double share = static_cast<double>(AxisOf(x, y) - dragFrom_) / span;
    const auto moved = static_cast<int64_t>(std::lround(share * (static_cast<double>(Max) - Min)));
    SetPosition(static_cast<int32_t>(std::clamp<int64_t>(dragPosition_ + moved, Min, Max)));
}

void TOrvSlider::MouseUp(TOrvObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    up_->MouseUp(sender, button, shift, x, y);
    down_->MouseUp(sender, button, shift, x, y);
    AdoptButtonMarks();
    if (button != mbLeft) return;
    if (dragging_) {
        dragging_ = false;
        Invalidate();
    }
    if (PressedInside && Inside(x, y)) QueueScript(OnMouseUp, SoundMouseUp);
    PressedInside = false;
}

void TOrvSlider::MouseWheel(TOrvObject*, TShiftState, int32_t wheelDelta, TPoint mousePos, bool& handled) {
    if (!Inside(mousePos.X, mousePos.Y) || wheelDelta == 0) return;
    const int32_t notches = wheelDelta / 120 != 0 ? wheelDelta / 120 : (wheelDelta > 0 ? 1 : -1);
    SetPosition(static_cast<int32_t>(
        std::clamp<int64_t>(Position - static_cast<int64_t>(notches) * Step, INT32_MIN, INT32_MAX)));
    handled = true;
}

void TOrvSlider::ResetInputState() {
    TOrvFocusedObject::ResetInputState();
    up_->ResetInputState();
    down_->ResetInputState();
    dragging_ = false;
    overThumb_ = false;
}

// ---------------------------------------------------------------------------
// Drawing

void TOrvSlider::Draw() {
    TOrvFocusedObject::Draw();
    IOrvGraphic* g = Graphic();
    if (g != nullptr && !BarPicture.empty()) {
        const TRect thumb = ThumbRect();
        const std::string& bar =
            (overThumb_ || dragging_) && !MouseOverBarPicture.empty() ? MouseOverBarPicture : BarPicture;
        g->Draw(bar, "", BlendingMode, AbsLeft + thumb.Left, AbsTop + thumb.Top, PictureAlpha, nullptr);
    }
    if (!up_->Picture.empty()) up_->Draw();
    if (!down_->Picture.empty()) down_->Draw();
}
