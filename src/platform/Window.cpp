#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

TShiftState ShiftFromMods(uint16_t mods) {
    TShiftState s = 0;
    if (mods & KMOD_SHIFT) s |= ssShift;
    if (mods & KMOD_ALT) s |= ssAlt;
    if (mods & KMOD_CTRL) s |= ssCtrl;
    return s;
}

TShiftState ShiftFromButtons(uint32_t buttons) {
    TShiftState s = 0;
    if (buttons & SDL_BUTTON_LMASK) s |= ssLeft;
    if (buttons & SDL_BUTTON_RMASK) s |= ssRight;
    if (buttons & SDL_BUTTON_MMASK) s |= ssMiddle;
    return s;
}

TShiftState CurrentShift() {
    return ShiftFromMods(static_cast<uint16_t>(SDL_GetModState())) |
           ShiftFromButtons(SDL_GetMouseState(nullptr, nullptr));
}

bool ButtonFromSDL(uint8_t b, TMouseButton& out) {
    switch (b) {
        case SDL_BUTTON_LEFT:
            out = mbLeft;
            return true;
        case SDL_BUTTON_RIGHT:
            out = mbRight;
            return true;
        case SDL_BUTTON_MIDDLE:
            out = mbMiddle;
            return true;
        default:
            return false;
    }
}

TShiftState ButtonFlag(TMouseButton b) {
    switch (b) {
        case mbLeft:
            return ssLeft;
        case mbRight:
            return ssRight;
        case mbMiddle:
            return ssMiddle;
    }
    return 0;
}

struct KeyName {
    const char* Name;
    int32_t Vk;
};

constexpr KeyName kKeyNames[] = {
    {"backspace", VK::Back}, {"tab", VK::Tab},       {"enter", VK::Return},    {"return", VK::Return},
    {"shift", VK::Shift},    {"ctrl", VK::Control},  {"control", VK::Control}, {"alt", VK::Menu},
    {"pause", VK::Pause},    {"escape", VK::Escape}, {"esc", VK::Escape},      {"space", VK::Space},
    {"pageup", VK::Prior},   {"pagedown", VK::Next}, {"end", VK::End},         {"home", VK::Home},
    {"left", VK::Left},      {"up", VK::Up},         {"right", VK::Right},     {"down", VK::Down},
    {"insert", VK::Insert},  {"delete", VK::Delete}, {"del", VK::Delete},
};

}  // namespace

int32_t VirtualKeyFromSDL(int32_t key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK::F1 + (key - SDLK_F1);
    switch (key) {
        case SDLK_BACKSPACE:
            return VK::Back;
        case SDLK_TAB:
            return VK::Tab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK::Return;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK::Shift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK::Control;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK::Menu;
        case SDLK_PAUSE:
            return VK::Pause;
        case SDLK_ESCAPE:
            return VK::Escape;
        case SDLK_SPACE:
            return VK::Space;
        case SDLK_PAGEUP:
            return VK::Prior;
        case SDLK_PAGEDOWN:
            return VK::Next;
        case SDLK_END:
            return VK::End;
        case SDLK_HOME:
            return VK::Home;
        case SDLK_LEFT:
            return VK::Left;
        case SDLK_UP:
            return VK::Up;
        case SDLK_RIGHT:
            return VK::Right;
        case SDLK_DOWN:
            return VK::Down;
        case SDLK_INSERT:
            return VK::Insert;
        case SDLK_DELETE:
            return VK::Delete;
        default:
            return 0;
    }
}

int32_t VirtualKeyFromName(const std::string& name) {
    std::string n(name);
    std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (n.size() == 1) {
        const char c = n[0];
        if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
        if (c >= '0' && c <= '9') return c;
    }
    if (n.size() >= 2 && n.size() <= 3 && n[0] == 'f' && std::isdigit(static_cast<unsigned char>(n[1]))) {
        const int num = std::atoi(n.c_str() + 1);
        if (num >= 1 && num <= 12 && std::to_string(num) == n.substr(1)) return VK::F1 + num - 1;
        return 0;
    }
    for (const auto& k : kKeyNames)
        if (n == k.Name) return k.Vk;
    return 0;
}

std::string ControlCharForKey(int32_t vk) {
    switch (vk) {
        case VK::Return:
            return "\r";
        case VK::Escape:
            return "\x1b";
        case VK::Back:
            return "\b";
        case VK::Tab:
            return "\t";
        default:
            return {};
    }
}

std::string ControlCharForChord(int32_t vk, uint32_t shift) {
    const bool ctrl = shift & ssCtrl;
    const bool alt = shift & ssAlt;
    if (!ctrl && !alt) return ControlCharForKey(vk);
    if (ctrl && !alt && (vk == 'A' || vk == 'C' || vk == 'V' || vk == 'X'))
        return std::string(1, static_cast<char>(vk - 'A' + 1));
    return {};
}

bool TranslateSDLEvent(const SDL_Event& ev, const std::function<void(int32_t&, int32_t&)>& mapper, TWindowEvent& out) {
    out = TWindowEvent{};
    auto map = [&](int32_t& x, int32_t& y) {
        if (mapper) mapper(x, y);
    };
    switch (ev.type) {
        case SDL_QUIT:
            out.Kind = TWindowEventKind::Quit;
            return true;
        case SDL_MOUSEMOTION:
            out.Kind = TWindowEventKind::MouseMove;
            out.X = ev.motion.x;
            out.Y = ev.motion.y;
            map(out.X, out.Y);
            out.Shift = ShiftFromMods(static_cast<uint16_t>(SDL_GetModState())) | ShiftFromButtons(ev.motion.state);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (!ButtonFromSDL(ev.button.button, out.Button)) return false;
            const bool down = ev.type == SDL_MOUSEBUTTONDOWN;
            out.Kind = down ? TWindowEventKind::MouseDown : TWindowEventKind::MouseUp;
            out.X = ev.button.x;
            out.Y = ev.button.y;
            map(out.X, out.Y);
            // Like Windows, a press reports its own button as held and a
            // release no longer does.
            out.Shift = CurrentShift();
            if (down) {
                out.Shift |= ButtonFlag(out.Button);
                if (ev.button.clicks >= 2) out.Shift |= ssDouble;
            } else {
                out.Shift &= ~ButtonFlag(out.Button);
            }
            return true;
        }
        case SDL_MOUSEWHEEL: {
            int32_t dy = ev.wheel.y;
            if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) dy = -dy;
            if (dy == 0) return false;
            out.Kind = TWindowEventKind::MouseWheel;
            out.WheelDelta = dy * 120;
            SDL_GetMouseState(&out.X, &out.Y);
            map(out.X, out.Y);
            out.Shift = CurrentShift();
            return true;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            out.Kind = ev.type == SDL_KEYDOWN ? TWindowEventKind::KeyDown : TWindowEventKind::KeyUp;
            out.Key = VirtualKeyFromSDL(ev.key.keysym.sym);
            out.Shift = ShiftFromMods(ev.key.keysym.mod) | ShiftFromButtons(SDL_GetMouseState(nullptr, nullptr));
            return out.Key != 0;
        case SDL_TEXTINPUT:
            out.Kind = TWindowEventKind::KeyPress;
            out.Text.assign(ev.text.text, strnlen(ev.text.text, sizeof(ev.text.text)));
            return !out.Text.empty();
        case SDL_WINDOWEVENT:
            switch (ev.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    out.Kind = TWindowEventKind::Activate;
                    return true;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                case SDL_WINDOWEVENT_MINIMIZED:
                    out.Kind = TWindowEventKind::Deactivate;
                    return true;
                case SDL_WINDOWEVENT_MOVED:
                    out.Kind = TWindowEventKind::Moved;
                    out.X = ev.window.data1;
                    out.Y = ev.window.data2;
                    return true;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    out.Kind = TWindowEventKind::Paint;
                    return true;
                case SDL_WINDOWEVENT_CLOSE:
                    out.Kind = TWindowEventKind::Quit;
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

TWindow::~TWindow() {
    Destroy();
}

int32_t TWindow::IntegerScale(int32_t desktopWidth, int32_t desktopHeight, int32_t clientWidth, int32_t clientHeight) {
    if (clientWidth <= 0 || clientHeight <= 0 || desktopWidth <= 0 || desktopHeight <= 0) return 1;
    const int64_t byWidth = static_cast<int64_t>(desktopWidth) * 9 / 10 / clientWidth;
    const int64_t byHeight = static_cast<int64_t>(desktopHeight) * 9 / 10 / clientHeight;
    return static_cast<int32_t>(std::clamp<int64_t>(std::min(byWidth, byHeight), 1, 16));
}

TWindowPlacement TWindow::ChoosePlacement(const TWindowPlacement& saved, const std::vector<TRect>& usableAreas,
                                          int32_t clientWidth, int32_t clientHeight) {
    TWindowPlacement out;
    // A title corner that shows on some display keeps the position.
    const TRect* home = usableAreas.empty() ? nullptr : &usableAreas[0];
    if (saved.HasPosition) {
        for (const TRect& area : usableAreas) {
            const int64_t right = std::min<int64_t>(int64_t(saved.Left) + 64, area.Right);
            const int64_t bottom = std::min<int64_t>(int64_t(saved.Top) + 24, area.Bottom);
            if (std::max<int64_t>(saved.Left, area.Left) < right && std::max<int64_t>(saved.Top, area.Top) < bottom) {
                out.HasPosition = true;
                out.Left = saved.Left;
                out.Top = saved.Top;
                home = &area;
                break;
            }
        }
    }
    const int32_t areaW = home ? home->Right - home->Left : 0;
    const int32_t areaH = home ? home->Bottom - home->Top : 0;
    const bool savedFits = saved.Width >= kMinWidth && saved.Height >= kMinHeight &&
                           (!home || (saved.Width <= areaW && saved.Height <= areaH));
    if (savedFits) {
        out.Width = saved.Width;
        out.Height = saved.Height;
    } else {
        const int32_t scale = home ? IntegerScale(areaW, areaH, clientWidth, clientHeight) : 1;
        out.Width = clientWidth * scale;
        out.Height = clientHeight * scale;
    }
    return out;
}

std::vector<TRect> TWindow::UsableAreas() const {
    std::vector<TRect> areas;
    const int count = SDL_GetNumVideoDisplays();
    // The display the window is on counts as the primary one.
    const int first = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
    for (int k = 0; k < count; ++k) {
        const int i = (first + k) % count;
        SDL_Rect r{};
        if (SDL_GetDisplayUsableBounds(i, &r) != 0 && SDL_GetDisplayBounds(i, &r) != 0) continue;
        if (r.w > 0 && r.h > 0) areas.push_back(TRect{r.x, r.y, r.x + r.w, r.y + r.h});
    }
    return areas;
}

bool TWindow::Create(const std::string& title, int32_t clientWidth, int32_t clientHeight, bool fullScreen,
                     const TWindowPlacement& saved, std::string& error) {
    if (window_) return true;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            error = SDL_GetError();
            return false;
        }
        ownsVideo_ = true;
    }
    // The game draws its own animated cursor; the pointer must not be
    // captured or warped, and the screen saver must not start during play.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_DisableScreenSaver();
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    const TWindowPlacement place = ChoosePlacement(saved, UsableAreas(), clientWidth, clientHeight);
    uint32_t flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
    if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALWAYS_ON_TOP;
    const int x = !fullScreen && place.HasPosition ? place.Left : SDL_WINDOWPOS_CENTERED;
    const int y = !fullScreen && place.HasPosition ? place.Top : SDL_WINDOWPOS_CENTERED;
    window_ = SDL_CreateWindow(title.c_str(), x, y, place.Width, place.Height, flags);
    if (!window_) {
        error = SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, kMinWidth, kMinHeight);
    caption_ = title;
    fullScreen_ = fullScreen;
    SDL_StartTextInput();
    return true;
}

void TWindow::ApplyMode(bool fullScreen, const TWindowPlacement& saved) {
    if (!window_) return;
    // Full screen stays on top of other windows; a normal window must not,
    // or it would hide every other program after leaving full screen. SDL
    // changes the on-top state only of a window that is not full screen.
    if (fullScreen) {
        SDL_SetWindowAlwaysOnTop(window_, SDL_TRUE);
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window_, 0);
        SDL_SetWindowAlwaysOnTop(window_, SDL_FALSE);
        SDL_SetWindowBordered(window_, SDL_TRUE);
        const TWindowPlacement place = ChoosePlacement(saved, UsableAreas(), clientWidth_, clientHeight_);
        SDL_SetWindowSize(window_, place.Width, place.Height);
        if (place.HasPosition)
            SDL_SetWindowPosition(window_, place.Left, place.Top);
        else
            SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    fullScreen_ = fullScreen;
}

TWindowPlacement TWindow::Placement() const {
    TWindowPlacement p;
    if (!window_) return p;
    p.HasPosition = true;
    SDL_GetWindowPosition(window_, &p.Left, &p.Top);
    SDL_GetWindowSize(window_, &p.Width, &p.Height);
    return p;
}

void TWindow::Destroy() {
    if (window_) {
        SDL_StopTextInput();
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (ownsVideo_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        ownsVideo_ = false;
    }
}

void TWindow::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

void TWindow::GetPosition(int32_t& left, int32_t& top) const {
    left = top = 0;
    if (window_) SDL_GetWindowPosition(window_, &left, &top);
}

bool TWindow::PollEvent(TWindowEvent& out) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        if (TranslateSDLEvent(ev, mapper_, out)) return true;
    }
    return false;
}

void TWindow::PostQuit() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_Event ev{};
    ev.type = SDL_QUIT;
    SDL_PushEvent(&ev);
}
