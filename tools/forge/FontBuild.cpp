#include "FontBuild.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace fs = std::filesystem;

namespace forge {

namespace {

// Width of the glyph picture; rows are added as the glyphs need them.
constexpr int kPictureWidth = 512;
// Blank columns between neighbouring glyphs in the picture.
constexpr int kGlyphGap = 1;

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// The Debian package that ships a font file, for the error message.
std::string PackageOf(const std::string& file) {
    if (file.rfind("Comfortaa", 0) == 0) return "fonts-comfortaa";
    if (file.rfind("Quicksand", 0) == 0) return "fonts-quicksand";
    if (file.rfind("DejaVu", 0) == 0) return "fonts-dejavu-core";
    return "that ships it";
}

struct TFtLibrary {
    FT_Library lib = nullptr;
    TFtLibrary() {
        if (FT_Init_FreeType(&lib) != 0) throw OrvException("FreeType does not start");
    }
    ~TFtLibrary() { FT_Done_FreeType(lib); }
    TFtLibrary(const TFtLibrary&) = delete;
    TFtLibrary& operator=(const TFtLibrary&) = delete;
};

struct TFtFace {
    FT_Face face = nullptr;
    TFtFace(FT_Library lib, const std::string& path, int pixelSize) {
        if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) throw OrvException("Cannot open font file " + path);
        if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize)) != 0)
            throw OrvException("Font file " + path + " has no size " + std::to_string(pixelSize));
    }
    ~TFtFace() { FT_Done_Face(face); }
    TFtFace(const TFtFace&) = delete;
    TFtFace& operator=(const TFtFace&) = delete;
    bool Has(uint32_t code) const { return FT_Get_Char_Index(face, code) != 0; }
};

// One rendered glyph before packing.
struct TRendered {
    uint32_t Code = 0;
    int Left = 0, Top = 0;  // bearing: columns from the pen, rows above the baseline
    int Width = 0, Rows = 0;
    int Advance = 0;
    std::vector<float> Coverage;  // Width x Rows, 0..1
};

TRendered Render(const TFtFace& face, uint32_t code, float gamma) {
    // Light hinting snaps only vertically: stems stay sharp on the pixel
    // rows and the round shapes of the face keep their width.
    if (FT_Load_Char(face.face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0)
        throw OrvException("FreeType cannot render character " + std::to_string(code));
    FT_GlyphSlot g = face.face->glyph;
    TRendered r;
    r.Code = code;
    r.Left = g->bitmap_left;
    r.Top = g->bitmap_top;
    r.Width = int(g->bitmap.width);
    r.Rows = int(g->bitmap.rows);
    r.Advance = int((g->advance.x + 32) >> 6);
    r.Coverage.resize(size_t(r.Width) * size_t(r.Rows));
    for (int y = 0; y < r.Rows; ++y)
        for (int x = 0; x < r.Width; ++x) {
            float c = g->bitmap.buffer[y * g->bitmap.pitch + x] / 255.0f;
            r.Coverage[size_t(y) * size_t(r.Width) + size_t(x)] = std::pow(c, 1.0f / gamma);
        }
    return r;
}

}  // namespace

std::vector<TFontRecipe> ParseFontRecipes(const std::string& text, const std::string& where) {
    std::vector<TFontRecipe> out;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        std::string t = Trimmed(line.substr(0, line.find(';')));
        if (t.empty()) continue;
        std::istringstream words(t);
        std::string key;
        TFontRecipe s;
        words >> key >> s.Name >> s.Face >> s.Fallback >> s.PixelSize >> s.Gamma;
        if (key != "font" || words.fail() || s.PixelSize < 6 || s.PixelSize > 128 || s.Gamma < 0.3f || s.Gamma > 3.0f)
            throw OrvException(where + ":" + std::to_string(n) +
                               ": expected \"font <Name> <Face> <Fallback> <size 6..128> <gamma 0.3..3> [<spacing>]\"");
        if (!(words >> s.LetterSpacing)) s.LetterSpacing = 0;
        for (const TFontRecipe& o : out)
            if (o.Name == s.Name) throw OrvException(where + ":" + std::to_string(n) + ": font " + s.Name + " twice");
        out.push_back(s);
    }
    if (out.empty()) throw OrvException(where + ": no font");
    return out;
}

std::string FindFontFile(const std::string& fileName) {
    std::vector<std::string> roots;
    if (const char* extra = std::getenv("MOSWICK_FONT_DIRS")) {
        std::string s = extra;
        size_t b = 0;
        while (b <= s.size()) {
            size_t e = s.find(':', b);
            if (e == std::string::npos) e = s.size();
            if (e > b) roots.push_back(s.substr(b, e - b));
            b = e + 1;
        }
    }
    roots.insert(roots.end(), {"/usr/share/fonts", "/usr/local/share/fonts"});
    for (const std::string& root : roots) {
        std::error_code ec;
        if (!fs::is_directory(root, ec)) continue;
        // Sorted so that two copies of one file are always chosen alike.
        std::vector<std::string> hits;
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->path().filename() == fileName && it->is_regular_file(ec)) hits.push_back(it->path().string());
        std::sort(hits.begin(), hits.end());
        if (!hits.empty()) return hits.front();
    }
    throw OrvException("Font file " + fileName + " not found under /usr/share/fonts (install the Debian package " +
                       PackageOf(fileName) + ", or name its folder in MOSWICK_FONT_DIRS)");
}

std::vector<uint32_t> DecodeUtf8(const std::string& text) {
    std::vector<uint32_t> out;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + size_t(len) > text.size()) {
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1Fu) : len == 3 ? (c & 0x0Fu) : (c & 0x07u);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + size_t(k)]);
            if ((d >> 6) != 2) ok = false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        if (!ok) {
            ++i;
            continue;
        }
        out.push_back(cp);
        i += size_t(len);
    }
    return out;
}

std::vector<uint32_t> BaseCharacterSet() {
    std::vector<uint32_t> out;
    for (uint32_t c = 32; c < 127; ++c) out.push_back(c);
    for (uint32_t c = 160; c < 384; ++c) out.push_back(c);      // Latin-1 and Latin Extended-A
    for (uint32_t c = 0x400; c < 0x460; ++c) out.push_back(c);  // Cyrillic
    for (uint32_t c :
         {0x490u,  0x491u,  0x2013u, 0x2014u, 0x2018u, 0x2019u, 0x201Au, 0x201Cu, 0x201Du, 0x201Eu, 0x2022u, 0x2026u,
          0x2039u, 0x203Au, 0x20ACu, 0x2116u, 0x2122u, 0x2190u, 0x2191u, 0x2192u, 0x2193u, 0x2605u, 0x2713u, 0x00D7u})
        out.push_back(c);
    return out;
}

const TGlyph& TBitmapFont::GlyphOf(uint32_t code) const {
    for (const TGlyph& g : Glyphs)
        if (g.Code == code) return g;
    return Glyphs.front();
}

int TBitmapFont::TextWidth(const std::string& utf8) const {
    int w = 0;
    for (uint32_t c : DecodeUtf8(utf8)) {
        // The game holds text as 16-bit units; characters beyond them are
        // never in the font and measure as the stand-in.
        const TGlyph& g = GlyphOf(c > 0xFFFF ? 0 : c);
        w += g.A + g.B + g.C;
    }
    return w;
}

std::string TBitmapFont::MetricsText() const {
    std::string m;
    for (const TGlyph& g : Glyphs) {
        if (!m.empty()) m += ",";
        m += std::to_string(g.Code) + ":" + std::to_string(g.X) + ":" + std::to_string(g.Y) + ":" +
             std::to_string(g.A) + ":" + std::to_string(g.B) + ":" + std::to_string(g.C);
    }
    return m;
}

std::string TBitmapFont::DocumentXml() const {
    TOrvParser doc;
    TOrvXMLTag* font = doc.AddTag("OrvFont");
    font->AddTag("Name", Name);
    font->AddTag("Height", std::to_string(Height));
    font->AddTag("Picture", PictureName());
    font->AddTag("Metrics", MetricsText());
    return doc.SaveToString();
}

int DrawText(TCanvas& canvas, const TBitmapFont& font, int x, int y, const std::string& utf8, const TColor& colour) {
    for (uint32_t c : DecodeUtf8(utf8)) {
        const TGlyph& g = font.GlyphOf(c > 0xFFFF ? 0 : c);
        x += g.A;
        for (int yy = 0; yy + 1 < font.Height; ++yy)
            for (int xx = 0; xx < g.B; ++xx) {
                float k = font.Picture.At(g.X + xx, g.Y + yy).A;
                if (k > 0 && canvas.Inside(x + xx, y + yy)) canvas.Blend(x + xx, y + yy, colour, k);
            }
        x += g.B + g.C;
    }
    return x;
}

TBitmapFont RasteriseFont(const TFontRecipe& recipe, const std::vector<uint32_t>& chars,
                          const std::vector<uint32_t>& required) {
    TFtLibrary lib;
    TFtFace face(lib.lib, FindFontFile(recipe.Face), recipe.PixelSize);
    std::unique_ptr<TFtFace> fallback;
    if (!recipe.Fallback.empty() && recipe.Fallback != "-")
        fallback = std::make_unique<TFtFace>(lib.lib, FindFontFile(recipe.Fallback), recipe.PixelSize);

    std::vector<uint32_t> codes(chars.begin(), chars.end());
    codes.insert(codes.end(), required.begin(), required.end());
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    // The game maps characters to 16-bit codes; control characters are not drawn.
    codes.erase(std::remove_if(codes.begin(), codes.end(), [](uint32_t c) { return c < 32 || c > 0xFFFF; }),
                codes.end());
    codes.erase(std::remove(codes.begin(), codes.end(), uint32_t('?')), codes.end());
    codes.insert(codes.begin(), uint32_t('?'));

    std::vector<TRendered> glyphs;
    std::string missing;
    for (uint32_t code : codes) {
        const TFtFace* from = face.Has(code) ? &face : (fallback && fallback->Has(code) ? fallback.get() : nullptr);
        if (!from) {
            if (std::find(required.begin(), required.end(), code) != required.end())
                missing += (missing.empty() ? "" : ", ") + std::string("U+") + [&] {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04X", code);
                    return std::string(buf);
                }();
            continue;
        }
        glyphs.push_back(Render(*from, code, recipe.Gamma));
    }
    if (!missing.empty())
        throw OrvException("Font " + recipe.Name + ": neither " + recipe.Face + " nor " + recipe.Fallback +
                           " has the characters " + missing);

    // One cell height for all glyphs: enough rows above and below the
    // baseline for the tallest accent and the deepest descender, plus the
    // blank last row (the glyph copy leaves a cell's last row out).
    int above = 0, below = 0;
    for (const TRendered& r : glyphs) {
        if (r.Width == 0 || r.Rows == 0) continue;
        above = std::max(above, r.Top);
        below = std::max(below, r.Rows - r.Top);
    }
    TBitmapFont font;
    font.Name = recipe.Name;
    font.Baseline = above;
    font.Height = above + below + 1;

    // Shelf packing in code order, so the picture is the same on every run.
    int x = 0, y = 0;
    for (const TRendered& r : glyphs) {
        if (r.Width > 0 && x + r.Width > kPictureWidth) {
            x = 0;
            y += font.Height;
        }
        TGlyph g;
        g.Code = r.Code;
        g.X = r.Width > 0 ? x : 0;
        g.Y = r.Width > 0 ? y : 0;
        g.A = r.Left;
        g.B = r.Width;
        int spacing = r.Width > 0 ? recipe.LetterSpacing : 0;
        g.C = r.Advance - r.Left - r.Width + spacing;
        font.Glyphs.push_back(g);
        if (r.Width > 0) x += r.Width + kGlyphGap;
    }
    int height = y + font.Height;
    font.Picture = TCanvas(kPictureWidth, height, TColor{1, 1, 1, 0});
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const TRendered& r = glyphs[i];
        const TGlyph& g = font.Glyphs[i];
        int top = g.Y + above - r.Top;
        for (int yy = 0; yy < r.Rows; ++yy)
            for (int xx = 0; xx < r.Width; ++xx)
                font.Picture.At(g.X + xx, top + yy).A = r.Coverage[size_t(yy) * size_t(r.Width) + size_t(xx)];
    }
    return font;
}

}  // namespace forge
