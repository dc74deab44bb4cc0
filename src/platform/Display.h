// TDisplay: the game's screen. It stands where the hardware display layer
// would be: it reports the frame's pixel format, hands out plain-memory
// surfaces, and shows presented rectangles of the 800x600 frame in an SDL
// window (letterboxed and scaled), or, without a window, keeps the screen as
// an in-memory buffer only (headless runs and tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/OrvTypes.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;
struct SDL_Rect;

// Bits per pixel (16 or 32) and the channel masks of a pixel in that format.
// 32-bit pixels are laid out in memory as blue, green, red, unused.
struct TPixelFormat {
    int BitsPerPixel = 32;
    uint32_t RedMask = 0x00FF0000;
    uint32_t GreenMask = 0x0000FF00;
    uint32_t BlueMask = 0x000000FF;

    static TPixelFormat Rgb565() { return {16, 0xF800, 0x07E0, 0x001F}; }
    static TPixelFormat Rgb555() { return {16, 0x7C00, 0x03E0, 0x001F}; }
    static TPixelFormat Xrgb8888() { return {32, 0x00FF0000, 0x0000FF00, 0x000000FF}; }
    int BytesPerPixel() const { return BitsPerPixel / 8; }

    friend bool operator==(const TPixelFormat&, const TPixelFormat&) = default;
};

// A surface in system memory: Width x Height pixels, rows Pitch bytes apart.
// Rows are padded to a multiple of 32 bytes and the first row is 32-byte
// aligned; code drawing on it must still accept any pitch. The pixel memory
// is owned by the object and stays at the same address for its whole life.
class TDisplaySurface {
public:
    // Allocates a zero-filled surface. Returns nullptr when a side is not
    // positive, larger than MaxSide, or the byte size does not fit memory
    // (failure is a normal outcome, not an exception). Caller owns the result.
    static std::unique_ptr<TDisplaySurface> Create(int width, int height, int bytesPerPixel);
    ~TDisplaySurface();
    TDisplaySurface(const TDisplaySurface&) = delete;
    TDisplaySurface& operator=(const TDisplaySurface&) = delete;

    uint8_t* Bits() const { return bits_; }
    int Pitch() const { return pitch_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BytesPerPixel() const { return bytesPerPixel_; }

    static constexpr int MaxSide = 16384;

private:
    TDisplaySurface() = default;
    uint8_t* bits_ = nullptr;
    int pitch_ = 0;
    int width_ = 0;
    int height_ = 0;
    int bytesPerPixel_ = 0;
};

class TDisplay {
public:
    TDisplay();
    ~TDisplay();
    TDisplay(const TDisplay&) = delete;
    TDisplay& operator=(const TDisplay&) = delete;

    // Sets the display up for a width x height frame of bpp bits (16: 5-6-5,
    // 32: blue, green, red, unused). window may be nullptr: then the screen is
    // an in-memory buffer only. With a window an SDL renderer and a streaming
    // texture of the frame's format are created; fullScreen only changes how
    // the frame is scaled (aspect kept, black bars). Returns false with a
    // readable text in error (and the display left shut down) on failure.
    // A second Init shuts the previous set-up down first.
    bool Init(SDL_Window* window, int width, int height, int bpp, bool fullScreen, std::string& error);
    // Releases renderer, texture and screen buffer. Safe to call twice.
    void Shutdown();
    bool IsInitialised() const { return initialised_; }

    // Presenting waits for the display's refresh when on (the "VSync"
    // option, default on). Applies at once when a renderer exists.
    void SetVSync(bool on);
    bool VSync() const { return vsync_; }

    const TPixelFormat& PixelFormat() const { return format_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsFullScreen() const { return fullScreen_; }
    // Full screen and window mode share the renderer; switching only changes
    // the scaling rule (the window itself belongs to the caller).
    void SetFullScreen(bool on);
    // On (the default): the frame fills the window or screen with its aspect
    // kept, drawn with a smooth filter where the factor is not whole. Off:
    // whole factors only, nearest pixels, wider black bars. Applies at once.
    void SetSmoothScaling(bool on);
    bool SmoothScaling() const { return smooth_; }
    // The display's refresh rate in Hz, 60 when the system does not say.
    int RefreshRate() const;
    // Whether showing the screen waits for the display's refresh (VSync on
    // and a renderer that can wait). When it does not, a caller that wants
    // the refresh's pace must keep it itself.
    bool WaitsForRefresh() const { return renderer_ && vsync_; }
    // Where no graphics hardware draws (SDL's software renderer or a
    // software OpenGL), the frame goes to the window's own surface instead:
    // only the changed rectangles are scaled (nearest pixels) and sent to
    // the window, which costs far less than drawing the whole window every
    // time. True while that path is in use.
    bool UsesWindowSurface() const { return surface_ != nullptr; }
    // How many presents changed the screen (and showed it in the window);
    // a Present without any rectangle left shows nothing and does not count.
    uint64_t ShownFrames() const { return shownFrames_; }

    // A system-memory surface in the display's format; nullptr on failure.
    std::unique_ptr<TDisplaySurface> CreateSurface(int width, int height) const;

    // Copies the given rectangles (right and bottom exclusive, in frame
    // coordinates, already inside the frame; anything outside is cut off)
    // of a frame-sized picture into the screen and shows the screen; when no
    // rectangle is left the screen is not shown again (an idle frame costs
    // nothing). Returns false with the error text when the screen is lost or
    // not set up.
    bool Present(const uint8_t* bits, int pitch, const TRect* rects, size_t count, std::string& error);
    // The same for the whole frame (the window's paint handler).
    bool PresentAll(const uint8_t* bits, int pitch, std::string& error);

    // The window's clip list: whether it changed since the last GetClipList,
    // and the visible rectangles of the client area in screen coordinates
    // (right/bottom exclusive). An SDL window is never overlapped for us, so
    // the list is the whole client area unless a test replaced it.
    bool ClipListChanged() const { return clipChanged_; }
    TRects GetClipList();
    // The client area's origin in the same coordinates as the clip list.
    TPoint ClientOrigin() const { return clientOrigin_; }

    // The screen is never lost under SDL unless a test forces it.
    bool IsLost() const { return lost_; }
    // Brings a lost screen back; false with the error text when it cannot.
    bool Restore(std::string& error);

    // Maps window coordinates (e.g. SDL mouse events) to frame coordinates,
    // following the current scaling and letterboxing; points on the black
    // bars are clamped to the nearest frame pixel.
    TPoint WindowToFrame(int x, int y) const;
    // Recomputes the scaling after the window changed size.
    void UpdateLayout();
    // Where the frame lands in the window's output, right/bottom exclusive.
    TRect FrameRectInWindow() const { return destRect_; }

    // The presented screen (frame format, Height rows of ScreenPitch bytes),
    // for tests and screenshots.
    const uint8_t* ScreenBits() const { return screen_ ? screen_->Bits() : nullptr; }
    int ScreenPitch() const { return screen_ ? screen_->Pitch() : 0; }

    // Test hooks: simulate a lost screen, a changed clip list and a moved
    // client area, so the engine's recovery and clipping paths can run.
    void ForceLostForTest(bool lost) { lost_ = lost; }
    void SetClipListForTest(const TRects& clip, TPoint origin);
    // When set, Restore fails this many more times before it succeeds.
    void FailRestoresForTest(int count) { failRestores_ = count; }

private:
    bool CreateRenderer(std::string& error);
    bool RendererIsSoftware() const;
    bool UseWindowSurface();
    void LayoutWindowSurface();
    void ScaleToWindowSurface(const TRect& r);
    void ShowScreen();

    bool initialised_ = false;
    bool vsync_ = true;
    bool smooth_ = true;
    uint64_t shownFrames_ = 0;
    bool fullScreen_ = false;
    bool lost_ = false;
    bool clipChanged_ = true;
    int failRestores_ = 0;
    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_;
    std::unique_ptr<TDisplaySurface> screen_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    // The window surface path: the surface (owned by the window), which
    // frame column and row each window pixel shows, and the window
    // rectangles changed since the last show.
    SDL_Surface* surface_ = nullptr;
    std::vector<int32_t> columnOf_;
    std::vector<int32_t> rowOf_;
    // Window pixels per frame pixel across when the window shows the frame
    // at a whole factor (chosen once per layout), else 0: the column table
    // is then used pixel by pixel.
    int64_t wholeFactor_ = 0;
    std::vector<SDL_Rect> changed_;
    bool showWholeSurface_ = false;
    TRects clipList_;
    TPoint clientOrigin_;
    TRect destRect_;
    // Output pixels per window coordinate (above 1 on high-density screens).
    double pixelRatioX_ = 1.0;
    double pixelRatioY_ = 1.0;
};
