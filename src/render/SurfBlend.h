// Row routines of the surface engine: the per-pixel arithmetic of blending,
// tinting, solid rectangles and saturating addition, one row at a time, in a
// scalar reference version and processor-specific versions that give exactly
// the same bytes. Internal to the render subsystem.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/SurfEngine.h"

// What one blending call needs per pixel row.
struct TBlendArgs {
    uint8_t Opacity = 255;
    uint8_t TintLevel = 0;
    // 32-bit: the tint (or rectangle) colour as bytes in pixel order.
    uint8_t ColourB = 0;
    uint8_t ColourG = 0;
    uint8_t ColourR = 0;
    // 16-bit: the tint colour placed into a pixel word.
    uint32_t ColourWord = 0;
};

// The channel layout of 16-bit pixels, index 0 red, 1 green, 2 blue.
struct TLayout16 {
    uint32_t Mask[3] = {0, 0, 0};
    int Shift[3] = {0, 0, 0};
    int Bits[3] = {0, 0, 0};
    // Every mask is one run of bits inside the low 16 bits, so a channel is
    // (pixel AND mask) >> shift; the vector routines need this.
    bool Contiguous = false;
};

// Blends n pixels of src through alpha (one byte per pixel) onto dst.
using TBlendRowFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                             const TLayout16& layout);
// Solid rectangle row: 32-bit blends towards the colour, 16-bit darkens.
using TRectRowFn = void (*)(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout);
// a := b + c per channel, saturating, n pixels.
using TAddRowFn = void (*)(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout);

// Blends a width x height area, rows pitch bytes apart (alphaStride 0
// repeats one alpha row for every row).
using TBlendAreaFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch,
                              const uint8_t* alpha, ptrdiff_t alphaStride, int width, int height, int bytesPerPixel,
                              const TBlendArgs& args, const TLayout16& layout);

// Short rows (sprites) are too short for the hardware to see a stream: the
// area routines ask for destination rows a little ahead, since blending must
// read them before it can write. Static, so the copy built for AVX2 in its own
// file is never shared with the rest.
static inline void PrefetchLine(const uint8_t* p) {
#if defined(__x86_64__) || defined(__i386__)
    // A loop of nothing but __builtin_prefetch is deleted as dead code by
    // GCC; a volatile instruction stays.
    asm volatile("prefetcht0 %0" : : "m"(*p));
#else
    __builtin_prefetch(p, 1);
#endif
}

static inline void PrefetchRowAhead(const uint8_t* row, size_t bytes) {
    if (bytes > 1024 || bytes == 0) return;
    for (size_t off = 0; off < bytes; off += 64) PrefetchLine(row + off);
    PrefetchLine(row + bytes - 1);
}

struct TRowKernels {
    TBlendRowFn Blend32 = nullptr;
    TBlendRowFn Blend16 = nullptr;
    TRectRowFn Rect32 = nullptr;
    TRectRowFn Rect16 = nullptr;
    TAddRowFn Add32 = nullptr;
    TAddRowFn Add16 = nullptr;
    TBlendAreaFn BlendArea32 = nullptr;
    TBlendAreaFn BlendArea16 = nullptr;
};

// The routines of a path (a path the processor lacks gives the scalar ones).
const TRowKernels& RowKernelsFor(TSimdPath path);
// Whether this processor can run the path.
bool SimdPathSupported(TSimdPath path);

// Scalar reference routines, also used by the vector routines for row tails.
namespace SurfScalar {
void BlendRow32(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                const TLayout16& layout);
void BlendRow16(uint8_t* dst, const uint8_t* src, const uint8_t* alpha, int n, const TBlendArgs& args,
                const TLayout16& layout);
void RectRow32(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout);
void RectRow16(uint8_t* dst, int n, const TBlendArgs& args, const TLayout16& layout);
void AddRow32(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout);
void AddRow16(uint8_t* a, const uint8_t* b, const uint8_t* c, int n, const TLayout16& layout);
void BlendArea32(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha,
                 ptrdiff_t alphaStride, int width, int height, int bytesPerPixel, const TBlendArgs& args,
                 const TLayout16& layout);
void BlendArea16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, const uint8_t* alpha,
                 ptrdiff_t alphaStride, int width, int height, int bytesPerPixel, const TBlendArgs& args,
                 const TLayout16& layout);
}  // namespace SurfScalar

// Vector routines (SurfBlendSse2.cpp, SurfBlendAvx2.cpp); only called when
// supported.
namespace SurfSse2 {
extern const TRowKernels Kernels;
}
namespace SurfAvx2 {
extern const TRowKernels Kernels;
}
