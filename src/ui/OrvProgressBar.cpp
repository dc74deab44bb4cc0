#include "ui/OrvProgressBar.h"

#include <algorithm>
#include <cmath>

#include "base/OrvGraphic.h"

const TOrvPropTable& TOrvProgressBar::ClassPropTable() {
    using T = TOrvProgressBar;
    static const TOrvPropTable table =
        TOrvPropTable::Build<T>("TOrvProgressBar", &TOrvInterfaceObject::ClassPropTable(), [](auto& p) {
            p.String("BarPicture", &T::BarPicture);
            p.Integer("BarShiftLeft", &T::BarShiftLeft);
            p.Integer("BarShiftTop", &T::BarShiftTop);
            p.Integer("Min", &T::Min);
            p.Integer("Max", &T::Max);
            p.Integer("Position", &T::Position, &T::SetPosition);
            p.Integer("StepWidth", &T::StepWidth);
        });
    return table;
}

void TOrvProgressBar::Assign(const TOrvObject* source) {
    TOrvInterfaceObject::Assign(source);
    const auto* s = dynamic_cast<const TOrvProgressBar*>(source);
    if (s == nullptr) return;
    BarPicture = s->BarPicture;
    BarShiftLeft = s->BarShiftLeft;
    BarShiftTop = s->BarShiftTop;
    Min = s->Min;
    Max = s->Max;
    Position = s->Position;
    StepWidth = s->StepWidth;
}

void TOrvProgressBar::SetPosition(int32_t value) {
    Position = value;
    Invalidate();
}

int32_t TOrvProgressBar::BarCount() const {
    if (StepWidth <= 0 || Max == Min) return 0;
    const double steps = (static_cast<double>(Width) - 2.0 * BarShiftLeft) / StepWidth;
    if (steps <= 0) return 0;
    const double share = (static_cast<double>(Position) - Min) / (static_cast<double>(Max) - Min);
    // nearbyint rounds halves to the even integer in the default rounding mode.
    const double n = std::nearbyint(steps * share);
    return static_cast<int32_t>(std::clamp(n, 0.0, std::floor(steps)));
}

std::string TOrvProgressBar::GetPictureNames() const {
    return BarPicture.empty() ? Picture : Picture + "\r\n" + BarPicture;
}

void TOrvProgressBar::Draw() {
    TOrvInterfaceObject::Draw();
    IOrvGraphic* g = Graphic();
    if (g == nullptr || BarPicture.empty()) return;
    const int64_t n = BarCount();
    // Only the copies that can reach the screen are drawn.
    int32_t screenWidth = 800;
    int32_t screenHeight = 600;
    g->GetScreenSize(screenWidth, screenHeight);
    const int64_t origin = static_cast<int64_t>(AbsLeft) + BarShiftLeft;
    const int64_t first = origin < 0 ? (-origin) / StepWidth : 0;
    const int64_t last = std::min<int64_t>(n, (screenWidth - origin) / StepWidth + 1);
    for (int64_t k = first; k < last; ++k)
        g->Draw(BarPicture, CurrentBumpMap, BlendingMode, static_cast<int32_t>(origin + StepWidth * k),
                AbsTop + BarShiftTop, PictureAlpha, nullptr);
}
