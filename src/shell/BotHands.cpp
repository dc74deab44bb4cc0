#include "shell/BotHands.h"

#include <algorithm>

#include "game/Main.h"
#include "shell/ShellInterface.h"
#include "ui/OrvInterfaceObject.h"

bool TBotHands::Shown(const std::string& control) const {
    int32_t x = 0;
    int32_t y = 0;
    return game_.Interface->ControlCentre(control, x, y);
}

bool TBotHands::Click(const std::string& control) {
    int32_t x = 0;
    int32_t y = 0;
    if (!game_.Interface->ControlCentre(control, x, y)) return false;
    ClickAt(x, y);
    return true;
}

bool TBotHands::ClickWithin(const std::string& control, double fx, double fy) {
    auto* shell = dynamic_cast<TShellInterface*>(game_.Interface.get());
    if (!shell) return false;
    const TOrvInterfaceObject* obj = shell->UI().FindInterfaceObject(control);
    if (obj == nullptr || !shell->UI().IsShown(*obj) || obj->Width <= 0 || obj->Height <= 0) return false;
    const auto along = [](int32_t start, int32_t size, double f) {
        const int32_t offset = static_cast<int32_t>(std::clamp(f, 0.0, 1.0) * size);
        return start + std::clamp(offset, 0, size - 1);
    };
    ClickAt(along(obj->AbsLeft, obj->Width, fx), along(obj->AbsTop, obj->Height, fy));
    return true;
}

void TBotHands::ClickAt(int32_t x, int32_t y) {
    TWindowEvent ev;
    ev.X = x;
    ev.Y = y;
    ev.Kind = TWindowEventKind::MouseMove;
    game_.DispatchEvent(ev);
    ev.Button = mbLeft;
    ev.Shift = ssLeft;
    ev.Kind = TWindowEventKind::MouseDown;
    game_.DispatchEvent(ev);
    ev.Shift = 0;
    ev.Kind = TWindowEventKind::MouseUp;
    game_.DispatchEvent(ev);
}

void TBotHands::Type(const std::string& text) {
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::KeyPress;
    ev.Text = text;
    game_.DispatchEvent(ev);
}

void TBotHands::Key(int32_t vk, TShiftState shift) {
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::KeyDown;
    ev.Key = vk;
    ev.Shift = shift;
    game_.DispatchEvent(ev);
    ev.Kind = TWindowEventKind::KeyUp;
    game_.DispatchEvent(ev);
}
