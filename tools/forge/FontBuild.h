// The game's bitmap fonts, rasterised at build time with FreeType from free
// fonts that Debian packages. A font is one picture holding every glyph in
// rows of equal height and a metrics text "Code:X:Y:A:B:C,..." that says
// where each glyph lies and how far the pen moves (A before, B copied, C
// after). The game tints every glyph pixel with the text colour, so the
// picture is white and only its opacity carries the shapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Raster.h"

namespace forge {

// One font to make, as written in data/ui/fonts.txt.
struct TFontRecipe {
    std::string Name;       // the font object's name, e.g. "OrvUnicode"
    std::string Face;       // file name of the main face, e.g. "Comfortaa-Bold.ttf"
    std::string Fallback;   // file name of the face for glyphs the main one lacks
    int PixelSize = 16;     // FreeType pixel size (em height)
    float Gamma = 1.0f;     // coverage c becomes c^(1/Gamma): above 1 thickens strokes
    int LetterSpacing = 0;  // extra pixels after every visible glyph
};

// Parses data/ui/fonts.txt: "font <Name> <Face> <Fallback> <size> <gamma>
// [<spacing>]" lines, ';' starts a comment. Throws OrvException naming the
// line for anything malformed.
std::vector<TFontRecipe> ParseFontRecipes(const std::string& text, const std::string& where);

// Looks for a font file by name under the usual font folders (and the folders
// of $MOSWICK_FONT_DIRS, separated by ':', searched first). Returns the full
// path; throws OrvException naming the file and the Debian package that
// brings it when it is not found.
std::string FindFontFile(const std::string& fileName);

// Code points of UTF-8 text (invalid bytes are skipped).
std::vector<uint32_t> DecodeUtf8(const std::string& text);

struct TGlyph {
    uint32_t Code = 0;
    int X = 0, Y = 0;  // place in the picture
    int A = 0, B = 0, C = 0;
};

struct TBitmapFont {
    std::string Name;
    int Height = 0;              // rows per glyph cell; the last row stays blank
    int Baseline = 0;            // rows above the baseline in a cell
    std::vector<TGlyph> Glyphs;  // the first glyph stands in for missing characters
    TCanvas Picture{1, 1};

    // Advance of the text in pixels by the game's rule (A + B + C per
    // character, missing characters measured as the first glyph).
    int TextWidth(const std::string& utf8) const;
    const TGlyph& GlyphOf(uint32_t code) const;
    // The metrics text of the font document.
    std::string MetricsText() const;
    // The font document "<Name>.xml" the game loads.
    std::string DocumentXml() const;
    std::string PictureName() const { return Name + ".png"; }
};

// Draws the text onto the canvas by the game's rule (pen from x, glyph cells
// from y), every glyph pixel in colour with its coverage; returns the pen's
// end. Used for previews and for texts painted into pictures.
int DrawText(TCanvas& canvas, const TBitmapFont& font, int x, int y, const std::string& utf8, const TColor& colour);

// The characters every font carries whatever the texts say: printable ASCII,
// Latin-1, Latin Extended-A, Cyrillic and common punctuation.
std::vector<uint32_t> BaseCharacterSet();

// Rasterises the characters (sorted, unique; '?' is always first, as the
// stand-in for characters the font lacks). Characters in required must
// exist in the main face or the fallback, else OrvException names them;
// others that neither face has are left out.
TBitmapFont RasteriseFont(const TFontRecipe& recipe, const std::vector<uint32_t>& chars,
                          const std::vector<uint32_t>& required);

}  // namespace forge
