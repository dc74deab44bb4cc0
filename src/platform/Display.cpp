#include "platform/Display.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kRowAlign = 32;

// Clamps an exclusive rectangle to 0..width x 0..height; false when nothing
// of it is left.
bool ClampToFrame(const TRect& in, int width, int height, TRect& out) {
    out.Left = std::max<int32_t>(in.Left, 0);
    out.Top = std::max<int32_t>(in.Top, 0);
    out.Right = std::min<int32_t>(in.Right, width);
    out.Bottom = std::min<int32_t>(in.Bottom, height);
    return out.Left < out.Right && out.Top < out.Bottom;
}

}  // namespace

// ---------------------------------------------------------------------------
// TDisplaySurface

std::unique_ptr<TDisplaySurface> TDisplaySurface::Create(int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return nullptr;
    if (bytesPerPixel != 2 && bytesPerPixel != 3 && bytesPerPixel != 4) return nullptr;
    // Sides are capped, so these products stay far below SIZE_MAX.
    size_t pitch = (static_cast<size_t>(width) * bytesPerPixel + kRowAlign - 1) / kRowAlign * kRowAlign;
    size_t bytes = pitch * static_cast<size_t>(height);
    void* memory = std::aligned_alloc(kRowAlign, bytes);
    if (!memory) return nullptr;
    std::memset(memory, 0, bytes);
    std::unique_ptr<TDisplaySurface> surface(new (std::nothrow) TDisplaySurface());
    if (!surface) {
        std::free(memory);
        return nullptr;
    }
    surface->bits_ = static_cast<uint8_t*>(memory);
    surface->pitch_ = static_cast<int>(pitch);
    surface->width_ = width;
    surface->height_ = height;
    surface->bytesPerPixel_ = bytesPerPixel;
    return surface;
}

TDisplaySurface::~TDisplaySurface() {
    std::free(bits_);
}

// ---------------------------------------------------------------------------
// TDisplay

TDisplay::TDisplay() = default;

TDisplay::~TDisplay() {
    Shutdown();
}

bool TDisplay::Init(SDL_Window* window, int width, int height, int bpp, bool fullScreen, std::string& error) {
    Shutdown();
    if (bpp != 16 && bpp != 32) {
        error = "Unsupported colour depth " + std::to_string(bpp);
        return false;
    }
    if (width <= 0 || height <= 0 || width > TDisplaySurface::MaxSide || height > TDisplaySurface::MaxSide) {
        error = "Unsupported display size " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    format_ = bpp == 16 ? TPixelFormat::Rgb565() : TPixelFormat::Xrgb8888();
    width_ = width;
    height_ = height;
    fullScreen_ = fullScreen;
    screen_ = TDisplaySurface::Create(width, height, format_.BytesPerPixel());
    if (!screen_) {
        error = "Out of memory for the screen buffer";
        return false;
    }
    window_ = window;
    if (window_ && !CreateRenderer(error)) {
        Shutdown();
        return false;
    }
    clipList_ = {TRect{0, 0, width_, height_}};
    clientOrigin_ = {};
    clipChanged_ = true;
    lost_ = false;
    destRect_ = {0, 0, width_, height_};
    UpdateLayout();
    initialised_ = true;
    return true;
}

bool TDisplay::CreateRenderer(std::string& error) {
    Uint32 flags = vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer_ = SDL_CreateRenderer(window_, -1, flags);
    if (!renderer_ && flags) {
        // Some drivers cannot wait for the refresh; run without rather than not at all.
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
    }
    if (!renderer_) {
        error = std::string("SDL_CreateRenderer failed: ") + SDL_GetError();
        return false;
    }
    Uint32 pixelFormat = format_.BitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    texture_ = SDL_CreateTexture(renderer_, pixelFormat, SDL_TEXTUREACCESS_STREAMING, width_, height_);
    if (!texture_) {
        error = std::string("SDL_CreateTexture failed: ") + SDL_GetError();
        return false;
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (RendererIsSoftware()) UseWindowSurface();
    return true;
}

bool TDisplay::RendererIsSoftware() const {
    if (std::getenv("MOSWICK_RENDERER_ONLY")) return false;
    SDL_RendererInfo info{};
    if (!renderer_ || SDL_GetRendererInfo(renderer_, &info) != 0) return false;
    if (info.flags & SDL_RENDERER_SOFTWARE) return true;
    if (!info.name || std::strncmp(info.name, "opengl", 6) != 0) return false;
    // OpenGL drawn by the processor (Mesa's llvmpipe, softpipe, swrast).
    using TGetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<TGetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
    if (!name) return false;
    const std::string text(reinterpret_cast<const char*>(name));
    return text.find("llvmpipe") != std::string::npos || text.find("softpipe") != std::string::npos ||
           text.find("swrast") != std::string::npos;
}

bool TDisplay::UseWindowSurface() {
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    surface_ = SDL_GetWindowSurface(window_);
    const bool fits = surface_ && surface_->format->BytesPerPixel == 4 && surface_->format->Rmask == 0x00FF0000 &&
                      surface_->format->Gmask == 0x0000FF00 && surface_->format->Bmask == 0x000000FF;
    if (fits) return true;
    // A window format we do not write: back to the renderer.
    surface_ = nullptr;
    std::string ignored;
    Uint32 flags = vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer_ = SDL_CreateRenderer(window_, -1, flags);
    if (!renderer_) return false;
    Uint32 pixelFormat = format_.BitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    texture_ = SDL_CreateTexture(renderer_, pixelFormat, SDL_TEXTUREACCESS_STREAMING, width_, height_);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    return false;
}

void TDisplay::Shutdown() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
    surface_ = nullptr;
    changed_.clear();
    window_ = nullptr;
    screen_.reset();
    clipList_.clear();
    initialised_ = false;
    lost_ = false;
}

void TDisplay::SetVSync(bool on) {
    vsync_ = on;
    if (renderer_) SDL_RenderSetVSync(renderer_, on ? 1 : 0);
}

void TDisplay::SetFullScreen(bool on) {
    fullScreen_ = on;
    UpdateLayout();
}

void TDisplay::SetSmoothScaling(bool on) {
    smooth_ = on;
    UpdateLayout();
}

int TDisplay::RefreshRate() const {
    SDL_DisplayMode mode{};
    if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
    return 60;
}

std::unique_ptr<TDisplaySurface> TDisplay::CreateSurface(int width, int height) const {
    return TDisplaySurface::Create(width, height, format_.BytesPerPixel());
}

void TDisplay::UpdateLayout() {
    destRect_ = {0, 0, width_, height_};
    pixelRatioX_ = pixelRatioY_ = 1.0;
    if ((!renderer_ && !surface_) || width_ <= 0 || height_ <= 0) return;
    int outW = 0;
    int outH = 0;
    if (surface_) {
        // A resized window has a new surface.
        surface_ = SDL_GetWindowSurface(window_);
        if (!surface_) return;
        outW = surface_->w;
        outH = surface_->h;
    } else if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0 || outW <= 0 || outH <= 0) {
        return;
    }
    int winW = 0;
    int winH = 0;
    SDL_GetWindowSize(window_, &winW, &winH);
    if (winW > 0 && winH > 0) {
        pixelRatioX_ = static_cast<double>(outW) / winW;
        pixelRatioY_ = static_cast<double>(outH) / winH;
    }
    // Largest scale that keeps the aspect. Whole factors are drawn with
    // nearest pixels; between them the option chooses a smooth filter over
    // the whole area, or the whole factor below with wider bars.
    double scale = std::min(static_cast<double>(outW) / width_, static_cast<double>(outH) / height_);
    const double whole = std::floor(scale);
    if (!smooth_ && whole >= 1.0) scale = whole;
    const bool exact = scale == std::floor(scale);
    int w = std::max(1, static_cast<int>(width_ * scale + 0.5));
    int h = std::max(1, static_cast<int>(height_ * scale + 0.5));
    int left = (outW - w) / 2;
    int top = (outH - h) / 2;
    destRect_ = {left, top, left + w, top + h};
    if (texture_) SDL_SetTextureScaleMode(texture_, exact ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    if (surface_) LayoutWindowSurface();
}

void TDisplay::LayoutWindowSurface() {
    // Which frame pixel each window pixel shows: the same rule as the mouse
    // mapping, so a click lands on the pixel under it.
    const int64_t w = destRect_.Right - destRect_.Left;
    const int64_t h = destRect_.Bottom - destRect_.Top;
    columnOf_.assign(static_cast<size_t>(w), 0);
    rowOf_.assign(static_cast<size_t>(h), 0);
    for (int64_t x = 0; x < w; ++x) columnOf_[size_t(x)] = static_cast<int32_t>(x * width_ / w);
    for (int64_t y = 0; y < h; ++y) rowOf_[size_t(y)] = static_cast<int32_t>(y * height_ / h);
    wholeFactor_ = width_ > 0 && w % width_ == 0 ? w / width_ : 0;
    // The bars are black, and the new surface shows the last frame at once.
    SDL_FillRect(surface_, nullptr, 0);
    if (screen_) ScaleToWindowSurface(TRect{0, 0, width_, height_});
    changed_.clear();
    showWholeSurface_ = true;
}

namespace {

// One window row from one frame row, window pixels x0..x1-1. The reference
// looks up each window pixel's frame column and converts 16-bit pixels;
// the fast paths below give the same pixels for 32-bit frames shown at a
// whole factor (DisplayWindow tests compare every window pixel with the
// mouse mapping's frame pixel at several sizes).
void ScaleRowReference(const uint8_t* src, uint32_t* dst, int64_t x0, int64_t x1, bool wide,
                       const std::vector<int32_t>& columnOf) {
    for (int64_t x = x0; x < x1; ++x) {
        const int32_t sx = columnOf[size_t(x)];
        uint32_t px;
        if (wide) {
            std::memcpy(&px, src + size_t(sx) * 4, 4);
            px |= 0xFF000000u;
        } else {
            uint16_t v;
            std::memcpy(&v, src + size_t(sx) * 2, 2);
            const uint32_t r5 = v >> 11, g6 = (v >> 5) & 63, b5 = v & 31;
            px = 0xFF000000u | ((r5 << 3 | r5 >> 2) << 16) | ((g6 << 2 | g6 >> 4) << 8) | (b5 << 3 | b5 >> 2);
        }
        dst[x] = px;
    }
}

// 32 bits at factor 1: frame column x is window column x.
void CopyRowOpaque(const uint8_t* src, uint32_t* dst, int64_t x0, int64_t x1) {
    for (int64_t x = x0; x < x1; ++x) {
        uint32_t px;
        std::memcpy(&px, src + size_t(x) * 4, 4);
        dst[x] = px | 0xFF000000u;
    }
}

// 32 bits at a whole factor k: frame column x / k.
void WidenRowOpaque(const uint8_t* src, uint32_t* dst, int64_t x0, int64_t x1, int64_t k) {
    int64_t x = x0;
    while (x < x1) {
        const int64_t sx = x / k;
        uint32_t px;
        std::memcpy(&px, src + size_t(sx) * 4, 4);
        px |= 0xFF000000u;
        const int64_t end = std::min(x1, (sx + 1) * k);
        for (; x < end; ++x) dst[x] = px;
    }
}

}  // namespace

void TDisplay::ScaleToWindowSurface(const TRect& r) {
    const int64_t w = destRect_.Right - destRect_.Left;
    const int64_t h = destRect_.Bottom - destRect_.Top;
    // The window pixels whose frame pixel lies inside r.
    auto first = [](int64_t frameEdge, int64_t span, int64_t frameSize) {
        return (frameEdge * span + frameSize - 1) / frameSize;
    };
    const int64_t x0 = first(r.Left, w, width_), x1 = first(r.Right, w, width_);
    const int64_t y0 = first(r.Top, h, height_), y1 = first(r.Bottom, h, height_);
    if (x1 <= x0 || y1 <= y0) return;
    if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) != 0) return;
    const bool wide = format_.BitsPerPixel == 32;
    for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* src = screen_->Bits() + static_cast<ptrdiff_t>(rowOf_[size_t(y)]) * screen_->Pitch();
        auto* dst = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface_->pixels) +
                                                static_cast<ptrdiff_t>(destRect_.Top + y) * surface_->pitch) +
                    destRect_.Left;
        if (wide && wholeFactor_ == 1)
            CopyRowOpaque(src, dst, x0, x1);
        else if (wide && wholeFactor_ > 1)
            WidenRowOpaque(src, dst, x0, x1, wholeFactor_);
        else
            ScaleRowReference(src, dst, x0, x1, wide, columnOf_);
    }
    if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
    changed_.push_back(SDL_Rect{static_cast<int>(destRect_.Left + x0), static_cast<int>(destRect_.Top + y0),
                                static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)});
}

TPoint TDisplay::WindowToFrame(int x, int y) const {
    int64_t w = destRect_.Right - destRect_.Left;
    int64_t h = destRect_.Bottom - destRect_.Top;
    if (w <= 0 || h <= 0 || width_ <= 0 || height_ <= 0) return {};
    // Window coordinates to output pixels, then 64-bit so that far-away
    // points cannot overflow the products.
    const int64_t px = static_cast<int64_t>(std::floor(x * pixelRatioX_));
    const int64_t py = static_cast<int64_t>(std::floor(y * pixelRatioY_));
    int64_t fx = (px - destRect_.Left) * width_;
    int64_t fy = (py - destRect_.Top) * height_;
    fx = fx >= 0 ? fx / w : -((-fx + w - 1) / w);
    fy = fy >= 0 ? fy / h : -((-fy + h - 1) / h);
    fx = std::clamp<int64_t>(fx, 0, width_ - 1);
    fy = std::clamp<int64_t>(fy, 0, height_ - 1);
    return {static_cast<int32_t>(fx), static_cast<int32_t>(fy)};
}

bool TDisplay::Present(const uint8_t* bits, int pitch, const TRect* rects, size_t count, std::string& error) {
    if (!initialised_ || !screen_) {
        error = "Display not initialised";
        return false;
    }
    if (lost_) {
        error = "Surface lost";
        return false;
    }
    if (!bits || (count > 0 && !rects)) {
        error = "Invalid parameter";
        return false;
    }
    // The window was resized since: lay the new surface out first.
    if (surface_ && SDL_GetWindowSurface(window_) != surface_) UpdateLayout();
    const int bpp = format_.BytesPerPixel();
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        TRect r;
        if (!ClampToFrame(rects[i], width_, height_, r)) continue;
        changed = true;
        size_t rowBytes = static_cast<size_t>(r.Right - r.Left) * bpp;
        for (int y = r.Top; y < r.Bottom; ++y) {
            const uint8_t* src = bits + static_cast<ptrdiff_t>(y) * pitch + static_cast<size_t>(r.Left) * bpp;
            uint8_t* dst =
                screen_->Bits() + static_cast<ptrdiff_t>(y) * screen_->Pitch() + static_cast<size_t>(r.Left) * bpp;
            std::memcpy(dst, src, rowBytes);
        }
        if (surface_) ScaleToWindowSurface(r);
        if (texture_) {
            SDL_Rect area{r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top};
            const uint8_t* first =
                screen_->Bits() + static_cast<ptrdiff_t>(r.Top) * screen_->Pitch() + static_cast<size_t>(r.Left) * bpp;
            SDL_UpdateTexture(texture_, &area, first, screen_->Pitch());
        }
    }
    if (!changed) return true;
    ShowScreen();
    ++shownFrames_;
    return true;
}

bool TDisplay::PresentAll(const uint8_t* bits, int pitch, std::string& error) {
    TRect all{0, 0, width_, height_};
    return Present(bits, pitch, &all, 1, error);
}

void TDisplay::ShowScreen() {
    if (surface_) {
        if (showWholeSurface_)
            SDL_UpdateWindowSurface(window_);
        else if (!changed_.empty())
            SDL_UpdateWindowSurfaceRects(window_, changed_.data(), static_cast<int>(changed_.size()));
        showWholeSurface_ = false;
        changed_.clear();
        return;
    }
    if (!renderer_ || !texture_) return;
    SDL_RenderClear(renderer_);
    SDL_Rect dest{destRect_.Left, destRect_.Top, destRect_.Right - destRect_.Left, destRect_.Bottom - destRect_.Top};
    SDL_RenderCopy(renderer_, texture_, nullptr, &dest);
    SDL_RenderPresent(renderer_);
}

TRects TDisplay::GetClipList() {
    clipChanged_ = false;
    return clipList_;
}

void TDisplay::SetClipListForTest(const TRects& clip, TPoint origin) {
    clipList_ = clip;
    clientOrigin_ = origin;
    clipChanged_ = true;
}

bool TDisplay::Restore(std::string& error) {
    if (!initialised_) {
        error = "Display not initialised";
        return false;
    }
    if (failRestores_ > 0) {
        --failRestores_;
        error = "Surface lost";
        return false;
    }
    lost_ = false;
    return true;
}
