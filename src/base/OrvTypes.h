// Small value types shared by every subsystem.
#pragma once

#include <cstdint>
#include <vector>

// A rectangle of four signed 32-bit values. Whether Right and Bottom are
// inclusive is up to the operation that takes it (most are inclusive).
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;

    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Dynamic arrays of 32-bit signed integers and of rectangles.
using TIntegers = std::vector<int32_t>;
using TRects = std::vector<TRect>;

// One glyph of a text run: a rectangle of the font picture (left, top,
// right, bottom, inclusive), where it goes, its colour 0x00BBGGRR and its
// opacity. The font engine fills a batch of these; the surface engine draws it.
struct TGlyphItem {
    TRect Source;
    int32_t X = 0;
    int32_t Y = 0;
    uint32_t Colour = 0;
    uint8_t Opacity = 255;
};
