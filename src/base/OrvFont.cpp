#include "base/OrvFont.h"

#include <algorithm>
#include <limits>

#include "base/OrvException.h"
#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"

namespace {

// A decimal integer with optional leading blanks and sign, nothing after it,
// within the 32-bit range.
bool ParseMetricNumber(std::string_view text, int32_t& out) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{1} << 31) return false;
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
    return true;
}

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

const TCharDesc kNoGlyph{};

}  // namespace

TOrvFont::TOrvFont() : charMap_(65536, 0) {}

const TOrvPropTable& TOrvFont::ClassPropTable() {
    static const TOrvPropTable table =
        TOrvPropTable::Build<TOrvFont>("TOrvFont", &TOrvObject::ClassPropTable(), [](auto& p) {
            p.Integer("Height", &TOrvFont::Height);
            p.String("Picture", &TOrvFont::Picture);
            p.WriteOnlyString("Metrics", &TOrvFont::SetMetrics);
        });
    return table;
}

void TOrvFont::SetMetrics(const std::string& metrics) {
    TCharDescs glyphs;
    size_t start = 0;
    for (;;) {
        const size_t comma = metrics.find(',', start);
        const std::string_view piece =
            std::string_view(metrics).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (glyphs.size() >= kMaxGlyphs)
            throw OrvException("[TOrvFont.SetMetrics] More than " + std::to_string(kMaxGlyphs) + " glyphs!");
        TCharDesc g;
        int32_t* fields[6] = {&g.Code, &g.X, &g.Y, &g.A, &g.B, &g.C};
        size_t partStart = 0;
        for (int f = 0; f < 6; ++f) {
            const size_t colon = piece.find(':', partStart);
            const std::string_view part =
                piece.substr(partStart, colon == std::string::npos ? std::string::npos : colon - partStart);
            if (!ParseMetricNumber(part, *fields[f]))
                throw OrvException("[TOrvFont.SetMetrics] '" + std::string(part) + "' is not a valid integer value");
            if (colon == std::string::npos) break;
            partStart = colon + 1;
        }
        if (g.Code < 0 || g.Code > 65535)
            throw OrvException("[TOrvFont.SetMetrics] Character code " + std::to_string(g.Code) +
                               " lies outside 0..65535!");
        glyphs.push_back(g);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::fill(charMap_.begin(), charMap_.end(), 0);
    for (size_t i = 0; i < glyphs.size(); ++i) charMap_[static_cast<size_t>(glyphs[i].Code)] = static_cast<uint16_t>(i);
    glyphs_ = std::move(glyphs);
}

const TCharDesc& TOrvFont::GlyphOf(char16_t c) const {
    const uint16_t index = charMap_[c];
    return index < glyphs_.size() ? glyphs_[index] : kNoGlyph;
}

int32_t TOrvFont::CharWidth(char16_t c) const {
    const TCharDesc& g = GlyphOf(c);
    return Saturate(int64_t{g.A} + g.B + g.C);
}

int32_t TOrvFont::TextWidth(std::u16string_view text) const {
    int64_t width = 0;
    for (char16_t c : text) {
        const TCharDesc& g = GlyphOf(c);
        width += int64_t{g.A} + g.B + g.C;
        // Keeps the sum in range however long the text: every step adds at
        // most three 32-bit values.
        width = std::clamp<int64_t>(width, int64_t{-1} << 40, int64_t{1} << 40);
    }
    return Saturate(width);
}

TOrvFontEngine* TOrvFont::FontEngine() const {
    return dynamic_cast<TOrvFontEngine*>(Engine);
}

void TOrvFont::DrawText(int32_t x, int32_t y, std::u16string_view text, uint8_t alpha, uint32_t color) const {
    TOrvFontEngine* engine = FontEngine();
    if (text.empty() || engine == nullptr || engine->Graphic == nullptr || Height < 1) return;
    std::vector<TGlyphItem>& batch = engine->CharsRects;
    const size_t count = std::min(text.size(), batch.size());
    int64_t pen = x;
    size_t filled = 0;
    for (size_t k = 0; k < count; ++k) {
        const TCharDesc& g = GlyphOf(text[k]);
        pen += g.A;
        if (g.B > 0 && pen >= std::numeric_limits<int32_t>::min() && pen <= std::numeric_limits<int32_t>::max()) {
            TGlyphItem& item = batch[filled++];
            item.Source = TRect{g.X, g.Y, Saturate(int64_t{g.X} + g.B - 1), Saturate(int64_t{g.Y} + Height - 1)};
            item.X = static_cast<int32_t>(pen);
            item.Y = y;
            item.Colour = color;
            item.Opacity = alpha;
        }
        pen += int64_t{g.B} + g.C;
    }
    if (filled > 0) engine->Graphic->ExtDraw(Picture, static_cast<int32_t>(filled));
}
