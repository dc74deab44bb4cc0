// The game's one window on SDL2 and the event pump that turns SDL's events
// into the window events the engine routes: mouse move/down/up/wheel with the
// shift state, key down/up with Windows virtual-key codes (so the engine's key
// table reads like the game's original key table), key presses carrying UTF-8
// characters, activation and deactivation, window moves, repaint and quit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/OrvTypes.h"

struct SDL_Window;
union SDL_Event;

// Shift state bits carried by mouse and key events (Delphi's TShiftState).
enum TShiftFlag : uint32_t {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = uint32_t;

enum TMouseButton : int32_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Windows virtual-key codes of the keys the game and its controls use.
// Letters are 'A'..'Z' and digits '0'..'9' as in Windows.
namespace VK {
constexpr int32_t Back = 0x08;
constexpr int32_t Tab = 0x09;
constexpr int32_t Return = 0x0D;
constexpr int32_t Shift = 0x10;
constexpr int32_t Control = 0x11;
constexpr int32_t Menu = 0x12;  // Alt
constexpr int32_t Pause = 0x13;
constexpr int32_t Escape = 0x1B;
constexpr int32_t Space = 0x20;
constexpr int32_t Prior = 0x21;  // Page Up
constexpr int32_t Next = 0x22;   // Page Down
constexpr int32_t End = 0x23;
constexpr int32_t Home = 0x24;
constexpr int32_t Left = 0x25;
constexpr int32_t Up = 0x26;
constexpr int32_t Right = 0x27;
constexpr int32_t Down = 0x28;
constexpr int32_t Insert = 0x2D;
constexpr int32_t Delete = 0x2E;
constexpr int32_t F1 = 0x70;
constexpr int32_t F2 = 0x71;
constexpr int32_t F3 = 0x72;
constexpr int32_t F4 = 0x73;
constexpr int32_t F5 = 0x74;
constexpr int32_t F6 = 0x75;
constexpr int32_t F7 = 0x76;
constexpr int32_t F8 = 0x77;
constexpr int32_t F9 = 0x78;
constexpr int32_t F10 = 0x79;
constexpr int32_t F11 = 0x7A;
constexpr int32_t F12 = 0x7B;
}  // namespace VK

enum class TWindowEventKind {
    None,
    MouseMove,
    MouseDown,
    MouseUp,
    MouseWheel,
    KeyDown,
    KeyUp,
    KeyPress,    // a typed character (UTF-8 in Text)
    Activate,    // the application came to the foreground
    Deactivate,  // the application lost the foreground
    Moved,       // window mode: the window's position changed (X, Y = left, top)
    Paint,       // the window needs its whole content presented again
    Quit,
};

// One window event. Mouse positions are in game-screen coordinates
// (0..799, 0..599) after the display's mapping.
struct TWindowEvent {
    TWindowEventKind Kind = TWindowEventKind::None;
    int32_t X = 0;
    int32_t Y = 0;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    int32_t WheelDelta = 0;  // multiples of 120, positive away from the user
    int32_t Key = 0;         // virtual-key code for KeyDown/KeyUp, 0 if unmapped
    std::string Text;        // KeyPress: the character(s) as UTF-8
    std::string Target;      // scripted mouse events: the control aimed at (X, Y found when dispatched)
};

// Maps an SDL keycode to a Windows virtual-key code; 0 for keys the game
// does not know.
int32_t VirtualKeyFromSDL(int32_t sdlKeycode);
// Virtual-key code for a key name as written in input scripts ("enter",
// "escape", "space", "up", "f4", "a", "7" ...); 0 for an unknown name.
int32_t VirtualKeyFromName(const std::string& name);
// The character a key press of that key types, for the keys whose press is
// not delivered as SDL text input (Enter "\r", Escape "\x1b", Backspace
// "\b", Tab "\t"); empty for the others.
std::string ControlCharForKey(int32_t vk);
// The control character a key with its modifiers types: ControlCharForKey
// without Ctrl and Alt, and for Ctrl+A, Ctrl+C, Ctrl+V and Ctrl+X (without
// Alt) the characters 1, 3, 22 and 24 that edit controls take for select
// all, copy, paste and cut; empty for every other chord.
std::string ControlCharForChord(int32_t vk, uint32_t shift);
// Translates one SDL event into a window event; false when the event means
// nothing to the game. The mapper converts window pixels to screen
// coordinates (identity when empty).
bool TranslateSDLEvent(const SDL_Event& ev, const std::function<void(int32_t&, int32_t&)>& mapper, TWindowEvent& out);

// Where and how large a window in window mode is: the client area's left
// and top on the desktop and its size. A placement without a position is
// centred by the system.
struct TWindowPlacement {
    bool HasPosition = false;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;  // 0: not known
    int32_t Height = 0;

    friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

class TWindow {
public:
    // The smallest client area the player can shrink the window to.
    static constexpr int32_t kMinWidth = 400;
    static constexpr int32_t kMinHeight = 300;

    // Chooses the placement of a new window from a saved one and the usable
    // areas of the displays (right/bottom exclusive; the first is the
    // primary display). The saved size is kept when it is at least the
    // minimum and fits the display the window lands on; otherwise the client
    // area scaled by IntegerScale of that display. The saved position is
    // kept only when a corner of the title (64 x 24 at the window's top left)
    // lies on some usable area; a position off every display is dropped, so
    // the window is centred on the primary display.
    static TWindowPlacement ChoosePlacement(const TWindowPlacement& saved, const std::vector<TRect>& usableAreas,
                                            int32_t clientWidth, int32_t clientHeight);

    // The largest whole factor by which a client area of clientWidth x
    // clientHeight can be enlarged and still fit in nine tenths of a usable
    // desktop area of desktopWidth x desktopHeight; at least 1.
    static int32_t IntegerScale(int32_t desktopWidth, int32_t desktopHeight, int32_t clientWidth, int32_t clientHeight);

    TWindow() = default;
    ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // Initialises SDL video (and events) and creates the window for a frame
    // of clientWidth x clientHeight: full screen at the desktop's resolution,
    // or a normal bordered, resizable window placed by ChoosePlacement from
    // the saved placement (the display scales the frame to whatever size the
    // window has). Returns false and fills error with SDL's message on
    // failure; the object stays usable for another try.
    bool Create(const std::string& title, int32_t clientWidth, int32_t clientHeight, bool fullScreen,
                const TWindowPlacement& saved, std::string& error);
    // Switches an existing window between full screen (desktop resolution,
    // no border, on top) and window mode (bordered, placed as Create does).
    // Does nothing without a window.
    void ApplyMode(bool fullScreen, const TWindowPlacement& saved);
    // The window's current placement in window mode (position and client
    // size); HasPosition false without a window.
    TWindowPlacement Placement() const;
    // Destroys the window (SDL itself stays initialised until the process
    // ends). Safe to call twice.
    void Destroy();

    // The SDL window, owned by this object; nullptr before Create.
    SDL_Window* Handle() const { return window_; }
    bool FullScreen() const { return fullScreen_; }
    void SetCaption(const std::string& caption);
    std::string Caption() const { return caption_; }
    // Window position (left, top) of the client area on the desktop.
    void GetPosition(int32_t& left, int32_t& top) const;

    // The mapping from window pixels to game-screen coordinates (the display
    // knows the scaling); identity until set.
    void SetCoordinateMapper(std::function<void(int32_t&, int32_t&)> mapper) { mapper_ = std::move(mapper); }

    // Takes the next pending event, translated; false when the queue is empty.
    bool PollEvent(TWindowEvent& out);
    // Posts a quit event so the next poll reports Quit.
    void PostQuit();

private:
    SDL_Window* window_ = nullptr;
    bool fullScreen_ = false;
    std::string caption_;
    std::function<void(int32_t&, int32_t&)> mapper_;
    bool ownsVideo_ = false;
    int32_t clientWidth_ = 0;
    int32_t clientHeight_ = 0;

    std::vector<TRect> UsableAreas() const;
};
