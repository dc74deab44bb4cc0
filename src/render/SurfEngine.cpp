#include "render/SurfEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "render/SurfBlend.h"

namespace {

// Rectangles in 64 bits, right and bottom exclusive, so that no clipping
// arithmetic on caller-supplied values can overflow.
struct TSpan {
    int64_t Left = 0;
    int64_t Top = 0;
    int64_t Right = 0;
    int64_t Bottom = 0;

    int64_t Width() const { return Right - Left; }
    int64_t Height() const { return Bottom - Top; }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
};

TSpan Inclusive(const TRect& r) {
    return {r.Left, r.Top, static_cast<int64_t>(r.Right) + 1, static_cast<int64_t>(r.Bottom) + 1};
}

TSpan Exclusive(const TRect& r) {
    return {r.Left, r.Top, r.Right, r.Bottom};
}

// A blit after clipping: the source area starts at (SrcX, SrcY), the
// destination area at (DstX, DstY), both Width x Height, all inside.
struct TBlit {
    int SrcX = 0;
    int SrcY = 0;
    int DstX = 0;
    int DstY = 0;
    int Width = 0;
    int Height = 0;
};

// Clips a source span drawn with its top-left at (x, y): first to the source
// (srcW x srcH), then to the destination (dstW x dstH). Moving the span's
// left or top moves the drawing position with it, so what lands where never
// changes, only how much of it is drawn. False when nothing is left.
bool ClipBlit(TSpan span, int64_t x, int64_t y, int64_t srcW, int64_t srcH, int64_t dstW, int64_t dstH, TBlit& out) {
    if (span.Left < 0) {
        x -= span.Left;
        span.Left = 0;
    }
    if (span.Top < 0) {
        y -= span.Top;
        span.Top = 0;
    }
    span.Right = std::min(span.Right, srcW);
    span.Bottom = std::min(span.Bottom, srcH);
    if (x < 0) {
        span.Left -= x;
        x = 0;
    }
    if (y < 0) {
        span.Top -= y;
        y = 0;
    }
    span.Right = std::min(span.Right, span.Left + (dstW - x));
    span.Bottom = std::min(span.Bottom, span.Top + (dstH - y));
    if (span.Empty()) return false;
    out.SrcX = static_cast<int>(span.Left);
    out.SrcY = static_cast<int>(span.Top);
    out.DstX = static_cast<int>(x);
    out.DstY = static_cast<int>(y);
    out.Width = static_cast<int>(span.Width());
    out.Height = static_cast<int>(span.Height());
    return true;
}

// Cuts a span to 0..w x 0..h.
TSpan ClampSpan(TSpan s, int64_t w, int64_t h) {
    s.Left = std::max<int64_t>(s.Left, 0);
    s.Top = std::max<int64_t>(s.Top, 0);
    s.Right = std::min(s.Right, w);
    s.Bottom = std::min(s.Bottom, h);
    return s;
}

int LowestSetBit(uint32_t mask, int limit) {
    for (int i = 0; i < limit; ++i)
        if (mask & (1u << i)) return i;
    return 0;
}

bool IsOneRun(uint32_t mask) {
    if (mask == 0 || mask > 0xFFFF) return false;
    uint32_t low = mask & (~mask + 1);
    return ((mask + low) & mask) == 0;
}

bool Drawable(const SurfaceRecord* s) {
    return s && s->Bits && s->Width > 0 && s->Height > 0;
}

uint8_t* PixelAt(const SurfaceRecord& s, int x, int y, int bytesPerPixel) {
    return s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch + static_cast<ptrdiff_t>(x) * bytesPerPixel;
}

constexpr int64_t kMaxBumpSide = 16384;

// Rounds a value of 0..2^51 to the nearest integer, halves to even, exactly
// as nearbyint does in the default rounding mode: adding and taking away
// 2^52 + 2^51 leaves the integer. nearbyint itself is a library call that
// saves and restores the floating-point state, which cost more than the
// rest of a rotation.
inline uint32_t RoundHalfEven(double v) {
    constexpr double kShift = 6755399441055744.0;
    return static_cast<uint32_t>((v + kShift) - kShift);
}

// Reads stored pixels and their 8-bit channels (0 red, 1 green, 2 blue) as
// GetPixelRGB does, with the format's masks and shifts taken once.
class TChannelReader {
public:
    explicit TChannelReader(const TSurfEngine& e) : bytes_(size_t(e.Format().BytesPerPixel())) {
        const uint32_t masks[3] = {e.Format().RedMask, e.Format().GreenMask, e.Format().BlueMask};
        const int32_t shifts[3] = {e.RedShift(), e.GreenShift(), e.BlueShift()};
        const int bits[3] = {e.RedBits(), e.GreenBits(), e.BlueBits()};
        for (int k = 0; k < 3; ++k) {
            mask_[k] = masks[k];
            shift_[k] = shifts[k];
            widen_[k] = e.Format().BitsPerPixel == 16 ? 8 - bits[k] : 0;
        }
    }
    uint32_t Pixel(const uint8_t* p) const {
        uint32_t v = 0;
        std::memcpy(&v, p, bytes_);
        return v;
    }
    double Channel(uint32_t pixel, int k) const {
        return double(uint8_t(((pixel & mask_[k]) >> shift_[k]) << widen_[k]));
    }

private:
    size_t bytes_;
    uint32_t mask_[3] = {};
    int32_t shift_[3] = {};
    int widen_[3] = {};
};

}  // namespace

// ---------------------------------------------------------------------------
// Construction and the surface list

TSurfEngine::TSurfEngine(TDisplay* display, int32_t width, int32_t height)
    : display_(display), width_(width), height_(height) {
    ReadFormat(display ? display->PixelFormat() : TPixelFormat{});
    simdPath_ = BestSimdPath();
}

TSurfEngine::TSurfEngine(const TPixelFormat& format, int32_t width, int32_t height) : width_(width), height_(height) {
    ReadFormat(format);
    simdPath_ = BestSimdPath();
}

TSurfEngine::~TSurfEngine() = default;

void TSurfEngine::ReadFormat(const TPixelFormat& format) {
    format_ = format;
    if (format.BitsPerPixel == 16) {
        redShift_ = LowestSetBit(format.RedMask, 15);
        greenShift_ = LowestSetBit(format.GreenMask, 15);
        blueShift_ = LowestSetBit(format.BlueMask, 15);
        redBits_ = static_cast<uint8_t>(__builtin_popcount(format.RedMask & 0xFFFF));
        greenBits_ = static_cast<uint8_t>(__builtin_popcount(format.GreenMask & 0xFFFF));
        blueBits_ = static_cast<uint8_t>(__builtin_popcount(format.BlueMask & 0xFFFF));
    } else {
        redShift_ = LowestSetBit(format.RedMask, 32);
        greenShift_ = LowestSetBit(format.GreenMask, 32);
        blueShift_ = LowestSetBit(format.BlueMask, 32);
        redBits_ = greenBits_ = blueBits_ = 0;
    }
}

void TSurfEngine::Reinit(TDisplay* display) {
    display_ = display;
    ReadFormat(display ? display->PixelFormat() : format_);
}

void TSurfEngine::ReleaseSurfaces() {
    for (SurfaceRecord& s : surfaces_) {
        s.Surface.reset();
        s.Bits = nullptr;
        s.Pitch = 0;
    }
}

TSimdPath TSurfEngine::BestSimdPath() {
    if (SimdPathSupported(spAVX2)) return spAVX2;
    if (SimdPathSupported(spSSE2)) return spSSE2;
    return spScalar;
}

void TSurfEngine::SetSimdPath(TSimdPath path) {
    simdPath_ = SimdPathSupported(path) ? path : BestSimdPath();
}

int TSurfEngine::FindSurface(const std::string& name) const {
    const auto at = firstOf_.find(name);
    return at == firstOf_.end() ? -1 : static_cast<int>(at->second);
}

SurfaceRecord* TSurfEngine::GetSurface(const std::string& name) {
    int i = FindSurface(name);
    return i < 0 ? nullptr : &surfaces_[static_cast<size_t>(i)];
}

const SurfaceRecord* TSurfEngine::GetSurface(const std::string& name) const {
    int i = FindSurface(name);
    return i < 0 ? nullptr : &surfaces_[static_cast<size_t>(i)];
}

void TSurfEngine::AddSurface(SurfaceRecord record) {
    firstOf_.emplace(record.Name, surfaces_.size());  // an earlier record of the name stays first
    surfaces_.push_back(std::move(record));
}

void TSurfEngine::EraseSurfaceAt(size_t index) {
    surfaces_.erase(surfaces_.begin() + static_cast<ptrdiff_t>(index));
    firstOf_.clear();
    for (size_t i = 0; i < surfaces_.size(); ++i) firstOf_.emplace(surfaces_[i].Name, i);
}

void TSurfEngine::DeleteSurface(const std::string& name) {
    int i = FindSurface(name);
    if (i < 0) return;
    EraseSurfaceAt(size_t(i));
}

bool TSurfEngine::TakeSurface(const std::string& name, SurfaceRecord& taken) {
    const int i = FindSurface(name);
    if (i < 0) return false;
    taken = std::move(surfaces_[size_t(i)]);
    EraseSurfaceAt(size_t(i));
    return true;
}

bool TSurfEngine::CreateSurface(int32_t width, int32_t height, std::unique_ptr<TDisplaySurface>& surface,
                                uint8_t*& bits, int32_t& pitch) {
    try {
        std::unique_ptr<TDisplaySurface> made = display_
                                                    ? display_->CreateSurface(width, height)
                                                    : TDisplaySurface::Create(width, height, format_.BytesPerPixel());
        if (!made) return false;
        bits = made->Bits();
        pitch = made->Pitch();
        surface = std::move(made);
        return true;
    } catch (const std::exception&) {
        throw OrvException("Exception Error in TSurfEngine.CreateSurface.");
    }
}

bool TSurfEngine::NewSurface(int32_t width, int32_t height, SurfaceRecord& record) const {
    std::unique_ptr<TDisplaySurface> made = display_ ? display_->CreateSurface(width, height)
                                                     : TDisplaySurface::Create(width, height, format_.BytesPerPixel());
    if (!made) return false;
    record.Bits = made->Bits();
    record.Pitch = made->Pitch();
    record.Surface = std::move(made);
    return true;
}

bool TSurfEngine::CreateEmptySurface(const std::string& name, int32_t width, int32_t height) {
    SurfaceRecord record;
    if (!CreateSurface(width, height, record.Surface, record.Bits, record.Pitch)) return false;
    record.Name = name;
    record.Width = width;
    record.Height = height;
    record.AlphaStride = -1;
    AddSurface(std::move(record));
    return true;
}

void TSurfEngine::ClearSurface(const std::string& name, uint8_t value) {
    SurfaceRecord* s = GetSurface(name);
    if (!Drawable(s)) return;
    std::memset(s->Bits, value, static_cast<size_t>(s->Height) * static_cast<size_t>(s->Pitch));
}

void TSurfEngine::CreateAlphaChannel(const std::string& name, uint8_t value) {
    SurfaceRecord* s = GetSurface(name);
    if (!s || s->AlphaStride != -1 || s->Width <= 0 || s->Height <= 0) return;
    s->AlphaMap.assign(static_cast<size_t>(s->Width) * static_cast<size_t>(s->Height), value);
    s->AlphaStride = s->Width;
}

void TSurfEngine::GetPictureSize(const std::string& name, int32_t& width, int32_t& height) const {
    const SurfaceRecord* s = GetSurface(name);
    width = s ? s->Width : 0;
    height = s ? s->Height : 0;
}

// ---------------------------------------------------------------------------
// Copies and blending

void TSurfEngine::DrawSurface(const std::string& source, const std::string& dest, int32_t x, int32_t y,
                              const TRect* sourceRect, uint32_t) {
    try {
        const SurfaceRecord* src = GetSurface(source);
        SurfaceRecord* dst = GetSurface(dest);
        if (!Drawable(src) || !Drawable(dst)) return;
        TSpan span = sourceRect ? Exclusive(*sourceRect) : TSpan{0, 0, src->Width, src->Height};
        TBlit b;
        if (!ClipBlit(span, x, y, src->Width, src->Height, dst->Width, dst->Height, b)) return;
        const int bpp = format_.BytesPerPixel();
        const size_t rowBytes = static_cast<size_t>(b.Width) * bpp;
        if (src == dst) {
            // Copying a surface onto itself may overlap: go bottom-up when the
            // destination lies below, and let memmove handle rows sideways.
            const bool upward = b.DstY > b.SrcY;
            for (int i = 0; i < b.Height; ++i) {
                int row = upward ? b.Height - 1 - i : i;
                std::memmove(PixelAt(*dst, b.DstX, b.DstY + row, bpp), PixelAt(*src, b.SrcX, b.SrcY + row, bpp),
                             rowBytes);
            }
            return;
        }
        uint8_t* to = PixelAt(*dst, b.DstX, b.DstY, bpp);
        const uint8_t* from = PixelAt(*src, b.SrcX, b.SrcY, bpp);
        if (static_cast<size_t>(src->Pitch) == rowBytes && dst->Pitch == src->Pitch) {
            // Whole rows without gaps on both sides: one block.
            std::memcpy(to, from, rowBytes * static_cast<size_t>(b.Height));
            return;
        }
        for (int row = 0; row < b.Height; ++row, to += dst->Pitch, from += src->Pitch) {
            // Short rows (sprites) are fetched a few rows ahead, as the blends do.
            if (row + 4 < b.Height) PrefetchRowAhead(to + 4 * static_cast<ptrdiff_t>(dst->Pitch), rowBytes);
            std::memcpy(to, from, rowBytes);
        }
    } catch (const std::exception&) {
        throw OrvException("Exception Error in TSurfEngine.DrawSurface.  naSource: " + source + " naDest: " + dest);
    }
}

void TSurfEngine::DrawWithAlphaChannel(const std::string& source, const std::string& dest, int32_t x, int32_t y,
                                       uint8_t opacity, const TRect* sourceRect, uint32_t tintColour,
                                       uint8_t tintLevel) {
    const SurfaceRecord* src = GetSurface(source);
    if (!src) return;
    if (!src->HasAlpha()) {
        // Opaque pictures are plain copies; the caller's inclusive rectangle
        // becomes an exclusive one (in 64 bits, so INT_MAX cannot wrap).
        if (!sourceRect) {
            DrawSurface(source, dest, x, y, nullptr, DDBLTFAST_WAIT);
            return;
        }
        TSpan span = Inclusive(*sourceRect);
        span = ClampSpan(span, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
        TRect r{sourceRect->Left, sourceRect->Top, static_cast<int32_t>(span.Right), static_cast<int32_t>(span.Bottom)};
        DrawSurface(source, dest, x, y, &r, DDBLTFAST_WAIT);
        return;
    }
    int64_t shownX = std::max<int64_t>(x, 0);
    int64_t shownY = std::max<int64_t>(y, 0);
    try {
        SurfaceRecord* dst = GetSurface(dest);
        if (!Drawable(src) || !Drawable(dst)) return;
        if (format_.BitsPerPixel != 16 && format_.BitsPerPixel != 32) return;
        TSpan span = sourceRect ? Inclusive(*sourceRect) : TSpan{0, 0, src->Width, src->Height};
        TBlit b;
        if (!ClipBlit(span, x, y, src->Width, src->Height, dst->Width, dst->Height, b)) return;
        shownX = b.DstX;
        shownY = b.DstY;
        BlendArea(*src, *dst, b.SrcX, b.SrcY, b.DstX, b.DstY, b.Width, b.Height, opacity, tintColour, tintLevel,
                  nullptr);
    } catch (const std::exception&) {
        throw OrvException("Exception Error in TSurfEngine.DrawWithAlphaChannel.  naSource: " + source +
                           " naDest: " + dest + " x: " + std::to_string(shownX) + " y: " + std::to_string(shownY));
    }
}

void TSurfEngine::BlendArea(const SurfaceRecord& src, SurfaceRecord& dst, int srcX, int srcY, int dstX, int dstY,
                            int width, int height, uint8_t opacity, uint32_t tintColour, uint8_t tintLevel,
                            const uint8_t* alphaOverride) {
    const int bpp = format_.BytesPerPixel();
    TBlendArgs args;
    args.Opacity = opacity;
    args.TintLevel = tintLevel;
    args.ColourR = static_cast<uint8_t>(tintColour);
    args.ColourG = static_cast<uint8_t>(tintColour >> 8);
    args.ColourB = static_cast<uint8_t>(tintColour >> 16);
    args.ColourWord = ConvertRGB(args.ColourR, args.ColourG, args.ColourB);
    TLayout16 layout = Layout16();
    // Drawing a surface onto itself goes through the reference routine row
    // by row in the order a straightforward loop would take.
    const TRowKernels& kernels = RowKernelsFor(&src == &dst ? spScalar : simdPath_);
    TBlendAreaFn blend = bpp == 4 ? kernels.BlendArea32 : kernels.BlendArea16;
    const uint8_t* alpha =
        alphaOverride ? alphaOverride
                      : src.AlphaMap.data() + static_cast<size_t>(srcY) * static_cast<size_t>(src.AlphaStride) + srcX;
    const ptrdiff_t alphaStride = alphaOverride ? 0 : src.AlphaStride;
    blend(PixelAt(dst, dstX, dstY, bpp), dst.Pitch, PixelAt(src, srcX, srcY, bpp), src.Pitch, alpha, alphaStride, width,
          height, bpp, args, layout);
}

TLayout16 TSurfEngine::Layout16() const {
    TLayout16 l;
    l.Mask[0] = format_.RedMask;
    l.Mask[1] = format_.GreenMask;
    l.Mask[2] = format_.BlueMask;
    l.Shift[0] = redShift_;
    l.Shift[1] = greenShift_;
    l.Shift[2] = blueShift_;
    l.Bits[0] = redBits_;
    l.Bits[1] = greenBits_;
    l.Bits[2] = blueBits_;
    l.Contiguous = IsOneRun(l.Mask[0]) && IsOneRun(l.Mask[1]) && IsOneRun(l.Mask[2]);
    return l;
}

void TSurfEngine::DrawGlyphs(const std::string& source, const std::string& dest, size_t count,
                             const TGlyphItem* items) {
    const SurfaceRecord* src = GetSurface(source);
    SurfaceRecord* dst = GetSurface(dest);
    if (!Drawable(src) || !Drawable(dst) || !items) return;
    if (format_.BitsPerPixel != 16 && format_.BitsPerPixel != 32) return;
    std::vector<uint8_t> opaque;
    for (size_t i = 0; i < count; ++i) {
        const TGlyphItem& item = items[i];
        int64_t top = item.Source.Top;
        int64_t bottom = item.Source.Bottom;
        int64_t y = item.Y;
        if (y < 0) {
            top -= y;
            y = 0;
        }
        if (bottom - top + 1 + y > height_) bottom = top - 1 - y + height_;
        // Rows top..bottom - 1, columns left..right inclusive; the picture
        // and the destination bound both directions.
        TSpan span{item.Source.Left, top, static_cast<int64_t>(item.Source.Right) + 1, bottom};
        TBlit b;
        if (!ClipBlit(span, item.X, y, src->Width, src->Height, dst->Width, dst->Height, b)) continue;
        const uint8_t* override = nullptr;
        if (!src->HasAlpha()) {
            // A font picture without opacity plane draws its whole cells.
            if (opaque.size() < static_cast<size_t>(b.Width)) opaque.assign(static_cast<size_t>(b.Width), 255);
            override = opaque.data();
        }
        BlendArea(*src, *dst, b.SrcX, b.SrcY, b.DstX, b.DstY, b.Width, b.Height, item.Opacity, item.Colour, 1,
                  override);
    }
}

void TSurfEngine::DrawRect(const std::string& dest, const TRect& rect, uint32_t colour, uint8_t opacity) {
    SurfaceRecord* dst = GetSurface(dest);
    if (!Drawable(dst)) return;
    if (format_.BitsPerPixel != 16 && format_.BitsPerPixel != 32) return;
    // Right and bottom are exclusive and cut to the surface's edge, so a
    // rectangle reaching past the edge fills up to the last column and row.
    TSpan span = ClampSpan(Exclusive(rect), dst->Width, dst->Height);
    if (span.Empty()) return;
    TBlendArgs args;
    args.Opacity = opacity;
    args.ColourR = static_cast<uint8_t>(colour);
    args.ColourG = static_cast<uint8_t>(colour >> 8);
    args.ColourB = static_cast<uint8_t>(colour >> 16);
    const TLayout16 layout = Layout16();
    const int bpp = format_.BytesPerPixel();
    const TRowKernels& kernels = RowKernelsFor(simdPath_);
    TRectRowFn fill = bpp == 4 ? kernels.Rect32 : kernels.Rect16;
    const size_t rowBytes = static_cast<size_t>(span.Width()) * static_cast<size_t>(bpp);
    for (int64_t row = span.Top; row < span.Bottom; ++row) {
        if (row + 4 < span.Bottom)
            PrefetchRowAhead(PixelAt(*dst, static_cast<int>(span.Left), static_cast<int>(row + 4), bpp), rowBytes);
        fill(PixelAt(*dst, static_cast<int>(span.Left), static_cast<int>(row), bpp), static_cast<int>(span.Width()),
             args, layout);
    }
}

void TSurfEngine::AddAlphaChannel(const std::string& source, const std::string& dest, int32_t x, int32_t y,
                                  const TRect* sourceRect, uint8_t opacity) {
    const SurfaceRecord* src = GetSurface(source);
    SurfaceRecord* dst = GetSurface(dest);
    if (!src || !dst || src->Width <= 0 || src->Height <= 0 || dst->Width <= 0 || dst->Height <= 0) return;
    if (!dst->HasAlpha()) {
        dst->AlphaMap.assign(static_cast<size_t>(dst->Width) * static_cast<size_t>(dst->Height), 0);
        dst->AlphaStride = dst->Width;
    }
    TSpan span = sourceRect ? Inclusive(*sourceRect) : TSpan{0, 0, src->Width, src->Height};
    TBlit b;
    if (!ClipBlit(span, x, y, src->Width, src->Height, dst->Width, dst->Height, b)) return;
    const bool srcAlpha = src->HasAlpha();
    for (int row = 0; row < b.Height; ++row) {
        uint8_t* d =
            dst->AlphaMap.data() + static_cast<size_t>(b.DstY + row) * static_cast<size_t>(dst->AlphaStride) + b.DstX;
        const uint8_t* s = srcAlpha
                               ? src->AlphaMap.data() +
                                     static_cast<size_t>(b.SrcY + row) * static_cast<size_t>(src->AlphaStride) + b.SrcX
                               : nullptr;
        for (int col = 0; col < b.Width; ++col) {
            if (d[col] == 255) continue;
            uint32_t sv = s ? s[col] : 255;
            uint32_t layer = (opacity * sv) >> 8;
            d[col] = static_cast<uint8_t>(255 - (((255 - layer) * (255u - d[col])) >> 8));
        }
    }
}

void TSurfEngine::AddBlend(const std::string& destA, const std::string& sourceB, const std::string& sourceC,
                           const TRect* rectB, const TRect* rectAC) {
    SurfaceRecord* a = GetSurface(destA);
    const SurfaceRecord* b = GetSurface(sourceB);
    const SurfaceRecord* c = GetSurface(sourceC);
    if (!Drawable(a) || !Drawable(b) || !Drawable(c)) return;
    if (format_.BitsPerPixel != 16 && format_.BitsPerPixel != 32) return;
    const TSpan whole{0, 0, a->Width, a->Height};
    TSpan rb = ClampSpan(rectB ? Exclusive(*rectB) : whole, width_, height_);
    TSpan rac = ClampSpan(rectAC ? Exclusive(*rectAC) : whole, width_, height_);
    // Rows and columns come from the second rectangle; every surface bounds them.
    int64_t w = rac.Width();
    int64_t h = rac.Height();
    w = std::min({w, a->Width - rac.Left, c->Width - rac.Left, b->Width - rb.Left});
    h = std::min({h, a->Height - rac.Top, c->Height - rac.Top, b->Height - rb.Top});
    if (w <= 0 || h <= 0) return;
    const int bpp = format_.BytesPerPixel();
    const TLayout16 layout = Layout16();
    const bool overlapping = a == b || a == c;
    const TRowKernels& kernels = RowKernelsFor(overlapping ? spScalar : simdPath_);
    TAddRowFn add = bpp == 4 ? kernels.Add32 : kernels.Add16;
    const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(bpp);
    for (int64_t row = 0; row < h; ++row) {
        if (row + 4 < h) {
            const int ahead = static_cast<int>(row + 4);
            PrefetchRowAhead(PixelAt(*a, static_cast<int>(rac.Left), static_cast<int>(rac.Top) + ahead, bpp), rowBytes);
            PrefetchRowAhead(PixelAt(*b, static_cast<int>(rb.Left), static_cast<int>(rb.Top) + ahead, bpp), rowBytes);
            PrefetchRowAhead(PixelAt(*c, static_cast<int>(rac.Left), static_cast<int>(rac.Top) + ahead, bpp), rowBytes);
        }
        add(PixelAt(*a, static_cast<int>(rac.Left), static_cast<int>(rac.Top + row), bpp),
            PixelAt(*b, static_cast<int>(rb.Left), static_cast<int>(rb.Top + row), bpp),
            PixelAt(*c, static_cast<int>(rac.Left), static_cast<int>(rac.Top + row), bpp), static_cast<int>(w), layout);
    }
}

// ---------------------------------------------------------------------------
// Whole-picture operations

void TSurfEngine::FlipSurfaceHorizontal(const std::string& name) {
    SurfaceRecord* s = GetSurface(name);
    // A released surface keeps its alpha map as it is, so that pixels and
    // opacity still match once the surface is rebuilt.
    if (!Drawable(s)) return;
    const int bpp = format_.BytesPerPixel();
    const int w = s->Width;
    for (int y = 0; y < s->Height; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            uint8_t* l = PixelAt(*s, x, y, bpp);
            uint8_t* r = PixelAt(*s, w - 1 - x, y, bpp);
            std::swap_ranges(l, l + bpp, r);
        }
    }
    if (s->HasAlpha()) {
        for (int y = 0; y < s->Height; ++y) {
            uint8_t* row = s->AlphaMap.data() + static_cast<size_t>(y) * static_cast<size_t>(s->AlphaStride);
            std::reverse(row, row + w);
        }
    }
}

void TSurfEngine::GetPixelRGB(const SurfaceRecord& surface, int32_t x, int32_t y, uint8_t& red, uint8_t& green,
                              uint8_t& blue) const {
    red = green = blue = 0;
    if (!surface.Bits || x < 0 || y < 0 || x >= surface.Width || y >= surface.Height) return;
    const uint8_t* p = PixelAt(surface, x, y, format_.BytesPerPixel());
    if (format_.BitsPerPixel == 16) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        red = static_cast<uint8_t>(((v & format_.RedMask) >> redShift_) << (8 - redBits_));
        green = static_cast<uint8_t>(((v & format_.GreenMask) >> greenShift_) << (8 - greenBits_));
        blue = static_cast<uint8_t>(((v & format_.BlueMask) >> blueShift_) << (8 - blueBits_));
        return;
    }
    uint32_t v = 0;
    std::memcpy(&v, p, format_.BitsPerPixel == 24 ? 3 : 4);
    red = static_cast<uint8_t>((v & format_.RedMask) >> redShift_);
    green = static_cast<uint8_t>((v & format_.GreenMask) >> greenShift_);
    blue = static_cast<uint8_t>((v & format_.BlueMask) >> blueShift_);
}

uint32_t TSurfEngine::ConvertRGB(uint8_t red, uint8_t green, uint8_t blue) const {
    if (format_.BitsPerPixel == 16) {
        return ((static_cast<uint32_t>(red) >> (8 - redBits_)) << redShift_) +
               ((static_cast<uint32_t>(green) >> (8 - greenBits_)) << greenShift_) +
               ((static_cast<uint32_t>(blue) >> (8 - blueBits_)) << blueShift_);
    }
    return (static_cast<uint32_t>(red) << redShift_) + (static_cast<uint32_t>(green) << greenShift_) +
           (static_cast<uint32_t>(blue) << blueShift_);
}

void TSurfEngine::RotateSurface(const std::string& name, double centreX, double centreY, double angle) {
    const SurfaceRecord* old = GetSurface(name);
    if (!Drawable(old)) return;
    SurfaceRecord made;
    if (!RotatedCopy(*old, centreX, centreY, angle, made)) return;
    DeleteSurface(name);
    AddSurface(std::move(made));
}

bool TSurfEngine::RotatedCopy(const SurfaceRecord& source, double centreX, double centreY, double angle,
                              SurfaceRecord& made) const {
    const SurfaceRecord* old = &source;
    if (!Drawable(old)) return false;
    const int w = old->Width;
    const int h = old->Height;
    const int bpp = format_.BytesPerPixel();
    made = SurfaceRecord();
    if (!NewSurface(w, h, made)) return false;
    made.Name = old->Name;
    made.FileName = old->FileName;
    made.Width = w;
    made.Height = h;
    const bool alpha = old->HasAlpha();
    if (alpha) {
        made.AlphaStride = w;
        made.AlphaMap.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    }
    // The new surface starts zeroed, and four zero neighbours mix to zero:
    // only points whose neighbours touch the picture's drawn part (any
    // colour or opacity) need sampling.
    const TRect content = DrawnPart(*old);
    if (content.Right < content.Left) return true;
    const TChannelReader read(*this);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const auto mix = [](double tl, double tr, double bl, double br, double fx, double fy) {
        const double left = tl + (bl - tl) * fy;
        const double right = tr + (br - tr) * fy;
        return RoundHalfEven(std::clamp(left + (right - left) * fx, 0.0, 255.0));
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double dx = x - centreX;
            const double dy = y - centreY;
            const double sx = centreX + c * dx - s * dy;
            const double sy = centreY + c * dy + s * dx;
            if (!(sx >= 0 && sy >= 0 && sx <= w - 1 && sy <= h - 1))
                continue;  // black and transparent: the new surface starts zeroed
            const int x0 = static_cast<int>(sx);
            const int y0 = static_cast<int>(sy);
            const int x1 = std::min(x0 + 1, w - 1);
            const int y1 = std::min(y0 + 1, h - 1);
            if (x1 < content.Left || x0 > content.Right || y1 < content.Top || y0 > content.Bottom) continue;
            const double fx = sx - x0;
            const double fy = sy - y0;
            const uint32_t tl = read.Pixel(PixelAt(*old, x0, y0, bpp)), tr = read.Pixel(PixelAt(*old, x1, y0, bpp));
            const uint32_t bl = read.Pixel(PixelAt(*old, x0, y1, bpp)), br = read.Pixel(PixelAt(*old, x1, y1, bpp));
            uint32_t ch[3];
            for (int k = 0; k < 3; ++k)
                ch[k] = mix(read.Channel(tl, k), read.Channel(tr, k), read.Channel(bl, k), read.Channel(br, k), fx, fy);
            uint32_t pixel =
                ConvertRGB(static_cast<uint8_t>(ch[0]), static_cast<uint8_t>(ch[1]), static_cast<uint8_t>(ch[2]));
            std::memcpy(PixelAt(made, x, y, bpp), &pixel, static_cast<size_t>(bpp));
            if (alpha) {
                const uint8_t* a0 =
                    old->AlphaMap.data() + static_cast<size_t>(y0) * static_cast<size_t>(old->AlphaStride);
                const uint8_t* a1 =
                    old->AlphaMap.data() + static_cast<size_t>(y1) * static_cast<size_t>(old->AlphaStride);
                made.AlphaMap[static_cast<size_t>(y) * static_cast<size_t>(w) + x] =
                    static_cast<uint8_t>(mix(a0[x0], a0[x1], a1[x0], a1[x1], fx, fy));
            }
        }
    }
    return true;
}

TRect TSurfEngine::DrawnPart(const SurfaceRecord& surface) const {
    const int bpp = format_.BytesPerPixel();
    const uint32_t colour = format_.RedMask | format_.GreenMask | format_.BlueMask;
    TRect part{surface.Width, surface.Height, -1, -1};
    for (int y = 0; y < surface.Height; ++y) {
        const uint8_t* alpha =
            surface.HasAlpha()
                ? surface.AlphaMap.data() + static_cast<size_t>(y) * static_cast<size_t>(surface.AlphaStride)
                : nullptr;
        for (int x = 0; x < surface.Width; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, PixelAt(surface, x, y, bpp), static_cast<size_t>(bpp));
            if ((v & colour) == 0 && (!alpha || alpha[x] == 0)) continue;
            part.Left = std::min(part.Left, x);
            part.Right = std::max(part.Right, x);
            part.Top = std::min(part.Top, y);
            part.Bottom = y;
        }
    }
    return part;
}

// ---------------------------------------------------------------------------
// Bump maps

int TSurfEngine::FindBumpMap(const std::string& name) const {
    for (size_t i = 0; i < bumpMaps_.size(); ++i)
        if (bumpMaps_[i].Name == name) return static_cast<int>(i);
    return -1;
}

BumpMapRecord* TSurfEngine::GetBumpMap(const std::string& name) {
    int i = FindBumpMap(name);
    return i < 0 ? nullptr : &bumpMaps_[static_cast<size_t>(i)];
}

bool TSurfEngine::CreateBumpMap(const std::string& name, int32_t width, int32_t height, TBumpPair fill) {
    if (width <= 0 || height <= 0 || width > kMaxBumpSide || height > kMaxBumpSide) return false;
    BumpMapRecord record;
    record.Name = name;
    record.Width = width;
    record.Height = height;
    record.Rows.assign(static_cast<size_t>(height), std::vector<TBumpPair>(static_cast<size_t>(width), fill));
    bumpMaps_.push_back(std::move(record));
    return true;
}

void TSurfEngine::AddBumpMap(BumpMapRecord record) {
    // Rows shorter or fewer than the record claims would be read past their
    // end; make the record consistent before it is used.
    record.Width = std::max(record.Width, 0);
    record.Height = std::max(record.Height, 0);
    record.Rows.resize(static_cast<size_t>(record.Height));
    for (auto& row : record.Rows) row.resize(static_cast<size_t>(record.Width));
    bumpMaps_.push_back(std::move(record));
}

bool TSurfEngine::CreateBumpMapFromPicture(const std::string& name, const std::string& picture, int32_t strength) {
    const SurfaceRecord* pic = GetSurface(picture);
    if (!Drawable(pic) || pic->Width > kMaxBumpSide || pic->Height > kMaxBumpSide) return false;
    const int w = pic->Width;
    const int h = pic->Height;
    std::vector<int32_t> height(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t r, g, b;
            GetPixelRGB(*pic, x, y, r, g, b);
            height[static_cast<size_t>(y) * w + x] = (r + g + b) / 3;
        }
    auto at = [&](int x, int y) {
        x = std::clamp(x, 0, w - 1);
        y = std::clamp(y, 0, h - 1);
        return static_cast<int64_t>(height[static_cast<size_t>(y) * w + x]);
    };
    BumpMapRecord record;
    record.Name = name;
    record.Width = w;
    record.Height = h;
    record.Rows.assign(static_cast<size_t>(h), std::vector<TBumpPair>(static_cast<size_t>(w)));
    const bool alpha = pic->HasAlpha();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TBumpPair& cell = record.Rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
            if (alpha && pic->AlphaMap[static_cast<size_t>(y) * static_cast<size_t>(pic->AlphaStride) + x] == 0) {
                cell = TBumpPair{-128, -128};
                continue;
            }
            int64_t dx = (at(x + 1, y) - at(x - 1, y)) * strength / 256;
            int64_t dy = (at(x, y + 1) - at(x, y - 1)) * strength / 256;
            cell.Dx = static_cast<int8_t>(std::clamp<int64_t>(dx, -127, 127));
            cell.Dy = static_cast<int8_t>(std::clamp<int64_t>(dy, -127, 127));
        }
    bumpMaps_.push_back(std::move(record));
    return true;
}

void TSurfEngine::DeleteBumpMap(const std::string& name) {
    int i = FindBumpMap(name);
    if (i >= 0) bumpMaps_.erase(bumpMaps_.begin() + i);
}

void TSurfEngine::DrawBumpMap(const std::string& source, const std::string& dest, const TRect* sourceRect, int32_t x,
                              int32_t y) {
    int si = FindBumpMap(source);
    int di = FindBumpMap(dest);
    if (si < 0 || di < 0) return;
    const BumpMapRecord& src = bumpMaps_[static_cast<size_t>(si)];
    BumpMapRecord& dst = bumpMaps_[static_cast<size_t>(di)];
    TSpan span = sourceRect ? Inclusive(*sourceRect) : TSpan{0, 0, src.Width, src.Height};
    TBlit b;
    if (!ClipBlit(span, x, y, src.Width, src.Height, dst.Width, dst.Height, b)) return;
    // A copy within one map reads from a snapshot so it equals a copy between two.
    std::vector<std::vector<TBumpPair>> snapshot;
    const std::vector<std::vector<TBumpPair>>* rows = &src.Rows;
    if (si == di) {
        snapshot = src.Rows;
        rows = &snapshot;
    }
    for (int row = 0; row < b.Height; ++row) {
        const std::vector<TBumpPair>& from = (*rows)[static_cast<size_t>(b.SrcY + row)];
        std::vector<TBumpPair>& to = dst.Rows[static_cast<size_t>(b.DstY + row)];
        for (int col = 0; col < b.Width; ++col) {
            TBumpPair p = from[static_cast<size_t>(b.SrcX + col)];
            if (p.Dx == -128 || p.Dy == -128) continue;
            to[static_cast<size_t>(b.DstX + col)] = p;
        }
    }
}

void TSurfEngine::FillBumpMap(const std::string& name, TBumpPair pair, const TRect* rect) {
    BumpMapRecord* map = GetBumpMap(name);
    if (!map) return;
    TSpan span = ClampSpan(rect ? Inclusive(*rect) : TSpan{0, 0, map->Width, map->Height}, map->Width, map->Height);
    for (int64_t y = span.Top; y < span.Bottom; ++y)
        for (int64_t x = span.Left; x < span.Right; ++x)
            map->Rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = pair;
}

void TSurfEngine::ClearBumpUnderPicture(const std::string& bumpMap, const std::string& picture, const TRect& rect) {
    BumpMapRecord* map = GetBumpMap(bumpMap);
    const SurfaceRecord* pic = GetSurface(picture);
    if (!map || !pic || !pic->HasAlpha()) return;
    // The rectangle's top-left meets the picture's top-left.
    TBlit b;
    if (!ClipBlit(TSpan{0, 0, Inclusive(rect).Width(), Inclusive(rect).Height()}, rect.Left, rect.Top, pic->Width,
                  pic->Height, map->Width, map->Height, b))
        return;
    for (int row = 0; row < b.Height; ++row) {
        const uint8_t* alpha =
            pic->AlphaMap.data() + static_cast<size_t>(b.SrcY + row) * static_cast<size_t>(pic->AlphaStride) + b.SrcX;
        std::vector<TBumpPair>& cells = map->Rows[static_cast<size_t>(b.DstY + row)];
        for (int col = 0; col < b.Width; ++col)
            if (alpha[col] > 10) cells[static_cast<size_t>(b.DstX + col)] = TBumpPair{0, 0};
    }
}

void TSurfEngine::ApplyBump(const std::string& bumpMap, const std::string& light, const std::string& dest,
                            const TRect* rect, int32_t lightX, int32_t lightY) {
    const BumpMapRecord* map = GetBumpMap(bumpMap);
    const SurfaceRecord* lightPic = GetSurface(light);
    SurfaceRecord* dst = GetSurface(dest);
    if (!map || !Drawable(lightPic) || !Drawable(dst)) return;
    if (format_.BitsPerPixel != 16 && format_.BitsPerPixel != 32) return;
    if (map->Width < dst->Width || map->Height < dst->Height) return;
    TSpan span = rect ? Inclusive(*rect) : TSpan{0, 0, dst->Width, dst->Height};
    span = ClampSpan(ClampSpan(span, width_, height_), dst->Width, dst->Height);
    const int bpp = format_.BytesPerPixel();
    const int64_t lw = lightPic->Width;
    const int64_t lh = lightPic->Height;
    const size_t copyBytes = bpp == 4 ? 3 : 2;
    for (int64_t y = span.Top; y < span.Bottom; ++y) {
        const std::vector<TBumpPair>& cells = map->Rows[static_cast<size_t>(y)];
        for (int64_t x = span.Left; x < span.Right; ++x) {
            const TBumpPair p = cells[static_cast<size_t>(x)];
            const int64_t sx = p.Dx + lw / 2 + x - lightX;
            const int64_t sy = p.Dy + lh / 2 + y - lightY;
            if (sx <= 0 || sx >= lw || sy <= 0 || sy >= lh) continue;
            std::memcpy(PixelAt(*dst, static_cast<int>(x), static_cast<int>(y), bpp),
                        PixelAt(*lightPic, static_cast<int>(sx), static_cast<int>(sy), bpp), copyBytes);
        }
    }
}

// ---------------------------------------------------------------------------
// Presenting and the clip list

bool TSurfEngine::Present(const std::string& memorySurface, TRects& redrawRects) {
    if (!display_) return false;
    if (display_->IsLost() || !display_->IsInitialised()) {
        TOrvLog::Instance().Write("Dst " +
                                  std::string(display_->IsLost() ? "Surface lost" : "Display not initialised"));
        return false;
    }
    const SurfaceRecord* src = GetSurface(memorySurface);
    if (!Drawable(src)) {
        TOrvLog::Instance().Write("Src " + std::string(src ? "Surface released" : "Surface not found"));
        return false;
    }
    if (!display_->IsFullScreen()) ClipRedrawRects(redrawRects);
    // Rectangles reaching past the frame are cut to it rather than dropped,
    // so the part that is on screen is still shown.
    const int64_t w = std::min<int64_t>({width_, src->Width, display_->Width()});
    const int64_t h = std::min<int64_t>({height_, src->Height, display_->Height()});
    TRects rects;
    rects.reserve(redrawRects.size());
    for (const TRect& r : redrawRects) {
        TSpan s = ClampSpan(Exclusive(r), w, h);
        if (s.Empty()) continue;
        rects.push_back(TRect{static_cast<int32_t>(s.Left), static_cast<int32_t>(s.Top), static_cast<int32_t>(s.Right),
                              static_cast<int32_t>(s.Bottom)});
    }
    std::string error;
    if (!display_->Present(src->Bits, src->Pitch, rects.data(), rects.size(), error)) {
        TOrvLog::Instance().Write("Dst " + error);
        return false;
    }
    return true;
}

bool TSurfEngine::PresentAll(const std::string& memorySurface) {
    TRects all{TRect{0, 0, width_, height_}};
    return Present(memorySurface, all);
}

void TSurfEngine::CheckClipper() {
    if (!display_) return;
    try {
        if (!display_->ClipListChanged()) return;
        TRects list = display_->GetClipList();
        // The size a region-data header (32 bytes) and its rectangles take.
        uint64_t size = list.empty() ? 0 : 32 + 16 * static_cast<uint64_t>(list.size());
        clipList_.clear();
        clipListSize_ = 0;
        if (size == 0 || size > 100000) return;
        const TPoint origin = display_->ClientOrigin();
        clipList_.reserve(list.size());
        for (const TRect& r : list) {
            TSpan s{static_cast<int64_t>(r.Left) - origin.X, static_cast<int64_t>(r.Top) - origin.Y,
                    static_cast<int64_t>(r.Right) - origin.X, static_cast<int64_t>(r.Bottom) - origin.Y};
            s = ClampSpan(s, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
            s.Left = std::min<int64_t>(s.Left, std::numeric_limits<int32_t>::max());
            s.Top = std::min<int64_t>(s.Top, std::numeric_limits<int32_t>::max());
            clipList_.push_back(TRect{static_cast<int32_t>(s.Left), static_cast<int32_t>(s.Top),
                                      static_cast<int32_t>(s.Right), static_cast<int32_t>(s.Bottom)});
        }
        clipListSize_ = static_cast<uint32_t>(size);
    } catch (const std::exception&) {
        throw OrvException("Exception error in TSurfEngine.CheckClipper!");
    }
}

void TSurfEngine::ClipRedrawRects(TRects& redrawRects) {
    try {
        if (clipList_.empty()) return;
        if (clipList_.size() == 1 && clipList_[0] == TRect{0, 0, width_, height_}) return;
        TRects result;
        for (const TRect& clip : clipList_) {
            for (const TRect& r : redrawRects) {
                TRect cut{std::max(clip.Left, r.Left), std::max(clip.Top, r.Top), std::min(clip.Right, r.Right),
                          std::min(clip.Bottom, r.Bottom)};
                if (cut.Left < cut.Right && cut.Top < cut.Bottom) result.push_back(cut);
            }
        }
        redrawRects = std::move(result);
    } catch (const std::exception&) {
        throw OrvException("Exception error in TSurfEngine.ClipRedrawRects!");
    }
}
