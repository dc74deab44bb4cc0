// TOrvFont: one bitmap font. A single picture holds the glyphs; the metrics
// table says where each character's glyph lies in it and how far the pen
// moves (A before the glyph, B the glyph's width, C after it). Fonts are
// named objects of a TOrvFontEngine, which draws them through its glyph batch.
//
// The metrics text is a list of glyphs separated by ",", each
// "Code:X:Y:A:B:C" in decimal (missing parts are 0, parts past the sixth
// are ignored). Characters the table does not name draw as its first glyph.
//
//   font.SetMetrics("65:0:0:1:10:2,66:10:0:0:9:1");
//   font.TextWidth(u"AB");     // 23
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvBaseClasses.h"

class TOrvFontEngine;

// One glyph: its 16-bit character code, its top-left corner in the font
// picture, the space before it, its width and the space after it.
struct TCharDesc {
    int32_t Code = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t A = 0;
    int32_t B = 0;
    int32_t C = 0;
};
using TCharDescs = std::vector<TCharDesc>;

class TOrvFont : public TOrvObject {
public:
    // More glyphs than this cannot be indexed by the 16-bit character map.
    static constexpr size_t kMaxGlyphs = 65536;

    TOrvFont();
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    // Glyph height in pixels, the same for every glyph.
    int32_t Height = 0;
    // Name of the picture that holds the glyphs.
    std::string Picture;

    // Fills Glyphs and CharMap from metrics text (see the file comment).
    // Throws OrvException naming the bad text when a part is not a decimal
    // integer (an empty glyph, as after a trailing ",", included), when a
    // code lies outside 0..65535 or when there are more than kMaxGlyphs
    // glyphs; the font keeps its old table then.
    void SetMetrics(const std::string& metrics);

    // The glyph table in the order of the metrics text.
    const TCharDescs& Glyphs() const { return glyphs_; }
    // Index in Glyphs of the glyph drawn for a character.
    uint16_t GlyphIndex(char16_t c) const { return charMap_[c]; }
    // The glyph drawn for a character; an all-zero glyph when the font has none.
    const TCharDesc& GlyphOf(char16_t c) const;

    // The pen advance of one character (A + B + C of its glyph).
    int32_t CharWidth(char16_t c) const;
    // Sum of the advances of every character; 0 for the empty text. Saturates
    // at the 32-bit range instead of overflowing.
    int32_t TextWidth(std::u16string_view text) const;
    // Draws text with its top-left pen position at (x, y) through the font
    // engine's glyph batch and its graphic's ExtDraw. Nothing happens for an
    // empty text, without an engine or graphic, or with a height below 1. A
    // text longer than the batch is clipped to the batch; a glyph of negative
    // width is skipped (the pen still advances by A + B + C).
    void DrawText(int32_t x, int32_t y, std::u16string_view text, uint8_t alpha, uint32_t color) const;

    // The font engine holding this font, or nullptr.
    TOrvFontEngine* FontEngine() const;

private:
    TCharDescs glyphs_;
    std::vector<uint16_t> charMap_;
};
