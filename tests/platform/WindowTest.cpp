#include "platform/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Platform.h"

namespace {

TEST(WindowTest, KeysMapToWindowsVirtualKeys) {
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_RETURN), 0x0D);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_KP_ENTER), 0x0D);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_ESCAPE), 0x1B);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_SPACE), 0x20);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_LEFT), 0x25);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_UP), 0x26);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_RIGHT), 0x27);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_DOWN), 0x28);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_DELETE), 0x2E);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_F3), 0x72);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_F6), 0x75);
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_a), 'A');
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_z), 'Z');
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_7), '7');
    EXPECT_EQ(VirtualKeyFromSDL(SDLK_CAPSLOCK), 0);

    EXPECT_EQ(VirtualKeyFromName("Enter"), VK::Return);
    EXPECT_EQ(VirtualKeyFromName("f12"), VK::F12);
    EXPECT_EQ(VirtualKeyFromName("f13"), 0);
    EXPECT_EQ(VirtualKeyFromName("f04"), 0);
    EXPECT_EQ(VirtualKeyFromName("q"), 'Q');
    EXPECT_EQ(VirtualKeyFromName("nothing"), 0);
    EXPECT_EQ(ControlCharForKey(VK::Return), "\r");
    EXPECT_EQ(ControlCharForKey(VK::Back), "\b");
    EXPECT_EQ(ControlCharForKey('A'), "");
}

TEST(WindowTest, SdlEventsBecomeWindowEvents) {
    // Mouse positions pass through the display's mapping (here: halve them,
    // as a window shown at twice the size would).
    auto halve = [](int32_t& x, int32_t& y) {
        x /= 2;
        y /= 2;
    };
    SDL_Event ev{};
    TWindowEvent out;

    ev.type = SDL_MOUSEMOTION;
    ev.motion.x = 800;
    ev.motion.y = 600;
    ev.motion.state = SDL_BUTTON_LMASK;
    ASSERT_TRUE(TranslateSDLEvent(ev, halve, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::MouseMove);
    EXPECT_EQ(out.X, 400);
    EXPECT_EQ(out.Y, 300);
    EXPECT_TRUE(out.Shift & ssLeft);

    ev = SDL_Event{};
    ev.type = SDL_MOUSEBUTTONDOWN;
    ev.button.button = SDL_BUTTON_RIGHT;
    ev.button.clicks = 2;
    ev.button.x = 10;
    ev.button.y = 20;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::MouseDown);
    EXPECT_EQ(out.Button, mbRight);
    EXPECT_TRUE(out.Shift & ssRight);
    EXPECT_TRUE(out.Shift & ssDouble);
    EXPECT_EQ(out.X, 10);

    ev.type = SDL_MOUSEBUTTONUP;
    ev.button.clicks = 1;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::MouseUp);
    EXPECT_FALSE(out.Shift & ssRight);

    ev.button.button = 6;  // extra buttons mean nothing to the game
    EXPECT_FALSE(TranslateSDLEvent(ev, {}, out));

    ev = SDL_Event{};
    ev.type = SDL_MOUSEWHEEL;
    ev.wheel.y = -2;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::MouseWheel);
    EXPECT_EQ(out.WheelDelta, -240);
    ev.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.WheelDelta, 240);

    ev = SDL_Event{};
    ev.type = SDL_KEYDOWN;
    ev.key.keysym.sym = SDLK_RETURN;
    ev.key.keysym.mod = KMOD_LALT;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::KeyDown);
    EXPECT_EQ(out.Key, VK::Return);
    EXPECT_EQ(out.Shift & (ssAlt | ssCtrl | ssShift), ssAlt);

    ev = SDL_Event{};
    ev.type = SDL_TEXTINPUT;
    std::strcpy(ev.text.text, "\xD0\x96");  // a Cyrillic letter reaches edit controls whole
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::KeyPress);
    EXPECT_EQ(out.Text, "\xD0\x96");

    ev = SDL_Event{};
    ev.type = SDL_WINDOWEVENT;
    ev.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::Deactivate);
    ev.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::Activate);
    ev.window.event = SDL_WINDOWEVENT_MOVED;
    ev.window.data1 = 120;
    ev.window.data2 = 80;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::Moved);
    EXPECT_EQ(out.X, 120);
    EXPECT_EQ(out.Y, 80);

    ev = SDL_Event{};
    ev.type = SDL_QUIT;
    ASSERT_TRUE(TranslateSDLEvent(ev, {}, out));
    EXPECT_EQ(out.Kind, TWindowEventKind::Quit);
}

TEST(WindowTest, LargeDesktopsGetWholeScaleFactors) {
    EXPECT_EQ(TWindow::IntegerScale(1920, 1040, 800, 600), 1);
    EXPECT_EQ(TWindow::IntegerScale(3840, 2100, 800, 600), 3);
    EXPECT_EQ(TWindow::IntegerScale(2560, 1400, 800, 600), 2);
    EXPECT_EQ(TWindow::IntegerScale(1024, 700, 800, 600), 1);
    EXPECT_EQ(TWindow::IntegerScale(640, 480, 800, 600), 1);  // never below 1
    EXPECT_EQ(TWindow::IntegerScale(0, 0, 800, 600), 1);
    EXPECT_EQ(TWindow::IntegerScale(2000000000, 2000000000, 800, 600), 16);
}

TEST(WindowTest, PlacementKeepsWhatFitsAndDropsPositionsOffEveryDisplay) {
    const std::vector<TRect> two{{0, 0, 1920, 1040}, {1920, 0, 5760, 2100}};
    // Nothing saved: centred, scaled to the primary display.
    EXPECT_EQ(TWindow::ChoosePlacement({}, two, 800, 600), (TWindowPlacement{false, 0, 0, 800, 600}));
    // A saved place on the second display keeps its size and scales by it.
    EXPECT_EQ(TWindow::ChoosePlacement({true, 2000, 100, 0, 0}, two, 800, 600),
              (TWindowPlacement{true, 2000, 100, 2400, 1800}));
    EXPECT_EQ(TWindow::ChoosePlacement({true, 2000, 100, 1000, 750}, two, 800, 600),
              (TWindowPlacement{true, 2000, 100, 1000, 750}));
    // Off every display (a monitor since unplugged): centred on the primary.
    EXPECT_EQ(TWindow::ChoosePlacement({true, 7000, 100, 1000, 750}, two, 800, 600),
              (TWindowPlacement{false, 0, 0, 1000, 750}));
    EXPECT_EQ(TWindow::ChoosePlacement({true, -100, -40, 800, 600}, two, 800, 600).HasPosition, false);
    // Only the title corner needs to show.
    EXPECT_TRUE(TWindow::ChoosePlacement({true, -50, 1030, 800, 600}, two, 800, 600).HasPosition);
    // A size larger than the display or below the minimum is not kept.
    EXPECT_EQ(TWindow::ChoosePlacement({true, 10, 10, 3000, 2000}, two, 800, 600),
              (TWindowPlacement{true, 10, 10, 800, 600}));
    EXPECT_EQ(TWindow::ChoosePlacement({true, 10, 10, 100, 50}, two, 800, 600).Width, 800);
    // Extreme values do not overflow.
    EXPECT_FALSE(TWindow::ChoosePlacement({true, INT32_MAX, INT32_MAX, 0, 0}, two, 800, 600).HasPosition);
    // No display known at all: the frame's own size.
    EXPECT_EQ(TWindow::ChoosePlacement({true, 5, 5, 0, 0}, {}, 800, 600), (TWindowPlacement{false, 0, 0, 800, 600}));
}

TEST(WindowTest, HeadlessWindowPumpsEvents) {
    TWindow window;
    std::string error;
    ASSERT_TRUE(window.Create("Moswick", 800, 600, false, TWindowPlacement{true, 10, 10, 0, 0}, error)) << error;
    ASSERT_NE(window.Handle(), nullptr);
    // Edit controls copy and paste through here.
    ASSERT_TRUE(Platform::SetClipboardText("Moswick \xE2\x98\x85"));
    EXPECT_EQ(Platform::GetClipboardText(), "Moswick \xE2\x98\x85");
    window.SetCaption("FPS:60");
    EXPECT_EQ(window.Caption(), "FPS:60");
    TWindowEvent ev;
    while (window.PollEvent(ev)) {
    }
    window.PostQuit();
    bool sawQuit = false;
    while (window.PollEvent(ev))
        if (ev.Kind == TWindowEventKind::Quit) sawQuit = true;
    EXPECT_TRUE(sawQuit);
    window.Destroy();
    window.Destroy();
    EXPECT_EQ(window.Handle(), nullptr);
}

}  // namespace
