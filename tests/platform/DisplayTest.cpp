// The display: surfaces, headless presenting, the window path through SDL's
// dummy video driver, scaling and the mouse mapping.
#include <gtest/gtest.h>

#include <SDL.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Display.h"

namespace {

TEST(DisplaySurface, AlignedPaddedAndBounded) {
    auto s = TDisplaySurface::Create(3, 5, 4);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Pitch() % 32, 0);
    EXPECT_GE(s->Pitch(), 12);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s->Bits()) % 32, 0u);
    for (int i = 0; i < s->Pitch() * 5; ++i) ASSERT_EQ(s->Bits()[i], 0);
    EXPECT_FALSE(TDisplaySurface::Create(0, 5, 4));
    EXPECT_FALSE(TDisplaySurface::Create(5, -1, 2));
    EXPECT_FALSE(TDisplaySurface::Create(INT_MAX, INT_MAX, 4));
    EXPECT_FALSE(TDisplaySurface::Create(TDisplaySurface::MaxSide + 1, 1, 4));
    EXPECT_FALSE(TDisplaySurface::Create(4, 4, 5));
}

TEST(Display, HeadlessFormatsAndPresent) {
    TDisplay d;
    std::string error;
    EXPECT_FALSE(d.Init(nullptr, 800, 600, 24, false, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(d.IsInitialised());
    ASSERT_TRUE(d.Init(nullptr, 800, 600, 16, false, error)) << error;
    EXPECT_EQ(d.PixelFormat(), TPixelFormat::Rgb565());
    ASSERT_TRUE(d.Init(nullptr, 800, 600, 32, false, error)) << error;
    EXPECT_EQ(d.PixelFormat(), TPixelFormat::Xrgb8888());

    auto frame = d.CreateSurface(800, 600);
    ASSERT_TRUE(frame);
    std::memset(frame->Bits(), 0x7E, static_cast<size_t>(frame->Pitch()) * 600);
    // Rectangles partly or wholly off the frame are cut, never read past it.
    TRect rects[] = {{-10, -10, 2, 3}, {798, 598, 2000, 2000}, {INT_MIN, INT_MIN, INT_MIN + 5, 0}, {5, 5, 4, 9}};
    ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), rects, 4, error)) << error;
    const uint8_t* screen = d.ScreenBits();
    EXPECT_EQ(screen[0], 0x7E);
    EXPECT_EQ(screen[2 * 4 + 0], 0);  // column 2 is outside the first rectangle
    EXPECT_EQ(screen[599 * d.ScreenPitch() + 799 * 4], 0x7E);
    EXPECT_EQ(screen[5 * d.ScreenPitch() + 5 * 4], 0);  // empty rectangle drew nothing

    d.ForceLostForTest(true);
    EXPECT_FALSE(d.PresentAll(frame->Bits(), frame->Pitch(), error));
    EXPECT_EQ(error, "Surface lost");
    EXPECT_TRUE(d.Restore(error));
    EXPECT_TRUE(d.PresentAll(frame->Bits(), frame->Pitch(), error));
    d.Shutdown();
    EXPECT_FALSE(d.PresentAll(frame->Bits(), frame->Pitch(), error));
    d.Shutdown();  // twice is harmless
}

TEST(Display, HeadlessMouseMappingIsIdentity) {
    TDisplay d;
    std::string error;
    ASSERT_TRUE(d.Init(nullptr, 800, 600, 32, false, error));
    EXPECT_EQ(d.WindowToFrame(0, 0), (TPoint{0, 0}));
    EXPECT_EQ(d.WindowToFrame(799, 599), (TPoint{799, 599}));
    EXPECT_EQ(d.WindowToFrame(-50, 9000), (TPoint{0, 599}));
    EXPECT_EQ(d.WindowToFrame(INT_MIN, INT_MAX), (TPoint{0, 599}));
}

class DisplayWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    void TearDown() override {
        if (window_) SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Open(int w, int h) {
        window_ = SDL_CreateWindow("Moswick", 0, 0, w, h, 0);
        return window_;
    }
    SDL_Window* window_ = nullptr;
};

TEST_F(DisplayWindow, LetterboxAndMouseMapping) {
    SDL_Window* w = Open(1600, 1300);
    ASSERT_TRUE(w) << SDL_GetError();
    TDisplay d;
    d.SetVSync(false);
    std::string error;
    ASSERT_TRUE(d.Init(w, 800, 600, 32, false, error)) << error;
    // Window mode: whole factor 2, centred with bars above and below.
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{0, 50, 1600, 1250}));
    EXPECT_EQ(d.WindowToFrame(0, 50), (TPoint{0, 0}));
    EXPECT_EQ(d.WindowToFrame(1599, 1249), (TPoint{799, 599}));
    EXPECT_EQ(d.WindowToFrame(801, 651), (TPoint{400, 300}));
    EXPECT_EQ(d.WindowToFrame(10, 10), (TPoint{5, 0}));  // on the bar: clamped
    // Full screen fills as much as the aspect allows.
    d.SetFullScreen(true);
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{0, 50, 1600, 1250}));
    SDL_SetWindowSize(w, 1000, 600);
    d.UpdateLayout();
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{100, 0, 900, 600}));
    d.SetFullScreen(false);
    SDL_SetWindowSize(w, 1000, 1000);
    d.UpdateLayout();
    // A window resized by the player between whole factors: filled with the
    // aspect kept, every window pixel mapping back inside the frame.
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{0, 125, 1000, 875}));
    EXPECT_EQ(d.WindowToFrame(0, 125), (TPoint{0, 0}));
    EXPECT_EQ(d.WindowToFrame(999, 874), (TPoint{799, 599}));
    EXPECT_EQ(d.WindowToFrame(5, 130), (TPoint{4, 4}));
    // Sharp pixels asked for: the whole factor below, with wider bars.
    d.SetSmoothScaling(false);
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{100, 200, 900, 800}));
    EXPECT_EQ(d.WindowToFrame(100, 200), (TPoint{0, 0}));
    EXPECT_EQ(d.WindowToFrame(899, 799), (TPoint{799, 599}));
    // A window smaller than the frame still shows all of it.
    SDL_SetWindowSize(w, 400, 300);
    d.UpdateLayout();
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{0, 0, 400, 300}));
    EXPECT_EQ(d.WindowToFrame(399, 299), (TPoint{798, 598}));

    auto frame = d.CreateSurface(800, 600);
    ASSERT_TRUE(frame);
    std::memset(frame->Bits(), 0x40, static_cast<size_t>(frame->Pitch()) * 600);
    TRect r{100, 100, 300, 200};
    ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), &r, 1, error)) << error;
    EXPECT_EQ(d.ScreenBits()[150 * d.ScreenPitch() + 200 * 4], 0x40);
    EXPECT_EQ(d.ScreenBits()[50 * d.ScreenPitch() + 200 * 4], 0);
    // Only a frame that changed something is shown again.
    EXPECT_EQ(d.ShownFrames(), 1u);
    ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), nullptr, 0, error)) << error;
    TRect outside{900, 700, 1000, 800};
    ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), &outside, 1, error)) << error;
    EXPECT_EQ(d.ShownFrames(), 1u);
    ASSERT_TRUE(d.PresentAll(frame->Bits(), frame->Pitch(), error)) << error;
    EXPECT_EQ(d.ShownFrames(), 2u);
}

TEST_F(DisplayWindow, SoftwareWindowsGetScaledChangedRectanglesOnly) {
    // The dummy driver only has SDL's software renderer, so the frame goes
    // to the window's own surface.
    SDL_Window* w = Open(1000, 1000);
    ASSERT_TRUE(w) << SDL_GetError();
    for (int bpp : {32, 16}) {
        TDisplay d;
        std::string error;
        ASSERT_TRUE(d.Init(w, 800, 600, bpp, false, error)) << error;
        ASSERT_TRUE(d.UsesWindowSurface());
        EXPECT_FALSE(d.WaitsForRefresh());
        auto frame = d.CreateSurface(800, 600);
        ASSERT_TRUE(frame);
        // A white frame with one pure red pixel at (10, 20).
        std::memset(frame->Bits(), 0xFF, static_cast<size_t>(frame->Pitch()) * 600);
        uint8_t* red = frame->Bits() + 20 * frame->Pitch() + 10 * (bpp / 8);
        if (bpp == 32) {
            const uint32_t px = 0x00FF0000;
            std::memcpy(red, &px, 4);
        } else {
            const uint16_t px = 0xF800;
            std::memcpy(red, &px, 2);
        }
        TRect r{0, 0, 20, 30};
        ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), &r, 1, error)) << error;
        SDL_Surface* out = SDL_GetWindowSurface(w);
        ASSERT_TRUE(out);
        auto at = [&](int x, int y) {
            uint32_t v;
            std::memcpy(&v, static_cast<uint8_t*>(out->pixels) + y * out->pitch + x * 4, 4);
            return v & 0xFFFFFF;
        };
        // Every window pixel shows the frame pixel the mouse mapping names.
        const TRect dest = d.FrameRectInWindow();
        for (int y = dest.Top; y < dest.Top + 40; ++y)
            for (int x = dest.Left; x < dest.Left + 26; ++x) {
                const TPoint p = d.WindowToFrame(x, y);
                const uint32_t want = p.X == 10 && p.Y == 20 ? 0xFF0000u : p.X < 20 && p.Y < 30 ? 0xFFFFFFu : 0u;
                ASSERT_EQ(at(x, y), want) << bpp << " bits at " << x << "," << y;
            }
        EXPECT_EQ(at(500, 50), 0u);  // the bar above the frame stays black
    }
}

TEST_F(DisplayWindow, EveryWindowPixelShowsTheFramePixelTheMouseMappingNames) {
    // Whole factors 1 and 2 take the fast row copies, the smooth in-between
    // size and 16 bits the pixel-by-pixel reference; all follow one rule.
    struct TCase {
        int W, H, Bpp;
        bool Smooth;
    };
    for (const TCase c : {TCase{800, 600, 32, false}, TCase{1700, 1250, 32, false}, TCase{1000, 700, 32, true},
                          TCase{1600, 1200, 16, false}}) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " " + std::to_string(c.Bpp));
        if (window_) SDL_DestroyWindow(window_);
        SDL_Window* w = Open(c.W, c.H);
        ASSERT_TRUE(w) << SDL_GetError();
        TDisplay d;
        d.SetSmoothScaling(c.Smooth);
        std::string error;
        ASSERT_TRUE(d.Init(w, 800, 600, c.Bpp, false, error)) << error;
        ASSERT_TRUE(d.UsesWindowSurface());
        auto frame = d.CreateSurface(800, 600);
        ASSERT_TRUE(frame);
        // Every frame pixel its own colour (16 bits: as many as fit).
        const auto colourOf = [](int x, int y) { return uint32_t(x * 7919 + y * 104729) & 0xFFFFFFu; };
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint8_t* p = frame->Bits() + y * frame->Pitch() + x * (c.Bpp / 8);
                if (c.Bpp == 32) {
                    const uint32_t v = colourOf(x, y);
                    std::memcpy(p, &v, 4);
                } else {
                    const uint16_t v = uint16_t(colourOf(x, y));
                    std::memcpy(p, &v, 2);
                }
            }
        // A part only, with odd edges, so the rows start and end mid-run.
        const TRect r{13, 7, 611, 509};
        ASSERT_TRUE(d.Present(frame->Bits(), frame->Pitch(), &r, 1, error)) << error;
        SDL_Surface* out = SDL_GetWindowSurface(w);
        ASSERT_TRUE(out);
        const TRect dest = d.FrameRectInWindow();
        for (int y = dest.Top; y < dest.Bottom; ++y)
            for (int x = dest.Left; x < dest.Right; ++x) {
                const TPoint p = d.WindowToFrame(x, y);
                uint32_t want = 0;
                if (p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom) {
                    if (c.Bpp == 32) {
                        want = colourOf(p.X, p.Y);
                    } else {
                        const uint32_t v = colourOf(p.X, p.Y) & 0xFFFF;
                        const uint32_t r5 = v >> 11, g6 = (v >> 5) & 63, b5 = v & 31;
                        want = ((r5 << 3 | r5 >> 2) << 16) | ((g6 << 2 | g6 >> 4) << 8) | (b5 << 3 | b5 >> 2);
                    }
                }
                uint32_t got;
                std::memcpy(&got, static_cast<uint8_t*>(out->pixels) + y * out->pitch + x * 4, 4);
                ASSERT_EQ(got & 0xFFFFFFu, want) << "at " << x << "," << y;
            }
    }
}

TEST_F(DisplayWindow, SixteenBitWindowPresents) {
    SDL_Window* w = Open(800, 600);
    ASSERT_TRUE(w) << SDL_GetError();
    TDisplay d;
    std::string error;
    ASSERT_TRUE(d.Init(w, 800, 600, 16, true, error)) << error;
    EXPECT_EQ(d.FrameRectInWindow(), (TRect{0, 0, 800, 600}));
    auto frame = d.CreateSurface(800, 600);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(d.PresentAll(frame->Bits(), frame->Pitch(), error)) << error;
    EXPECT_EQ(d.ClipListChanged(), true);
    EXPECT_EQ(d.GetClipList(), (TRects{TRect{0, 0, 800, 600}}));
    EXPECT_FALSE(d.ClipListChanged());
}

}  // namespace
