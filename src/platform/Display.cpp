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
    return true;
}

void TDisplay::Shutdown() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
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
    if (!renderer_ || width_ <= 0 || height_ <= 0) return;
    int outW = 0;
    int outH = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0 || outW <= 0 || outH <= 0) return;
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
