// TOrvFontEngine: holds the game's bitmap fonts by name and the batch of
// glyph records every text is drawn through. Drawing never touches pixels
// here: a font fills the batch and hands it to the graphic's ExtDraw, whose
// implementation reads the records from this engine.
//
//   TOrvFontEngine fonts;
//   fonts.Graphic = &window;                       // not owned
//   fonts.LoadFontsFromString(xmlText);             // throws OrvException
//   if (TOrvFont* f = fonts.FindFont("OrvUnicode")) f->DrawText(10, 10, u"Score", 255, 0xFFFFFF);
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/OrvBaseClasses.h"
#include "base/OrvFont.h"
#include "base/OrvTypes.h"

class IOrvGraphic;
class TMemoryStream;
class TOrvXMLTag;

class TOrvFontEngine : public TOrvEngine {
public:
    // Glyph records one DrawText call can fill.
    static constexpr size_t kBatchSize = 3000;

    TOrvFontEngine();
    ~TOrvFontEngine() override;

    // The drawing interface of the main window (not owned; may be nullptr,
    // then nothing is drawn).
    IOrvGraphic* Graphic = nullptr;
    // The batch handed to Graphic->ExtDraw; always kBatchSize records.
    std::vector<TGlyphItem> CharsRects;

    // Makes a font from an element whose children set its published
    // properties by name (<Name>OrvUnicode</Name><Height>18</Height>...), in
    // document order, and adds it to the engine, which owns it. Throws the
    // property machinery's OrvException for an unknown property or a bad
    // value, and SetName's for a name already used; nothing is added then.
    TOrvFont* AddFont(const TOrvXMLTag& element);
    // Reads an XML document and adds the font of its first top-level element.
    // Throws OrvException "[TOrvFontEngine.LoadFonts] XML file does not has
    // tags!" for a document without elements, and whatever the parser or
    // AddFont throws.
    void LoadFonts(TMemoryStream& stream);
    void LoadFontsFromString(std::string_view text);

    // The font of that exact name, or nullptr.
    TOrvFont* FindFont(std::string_view name) const { return FindObjectAs<TOrvFont>(name); }
};

// Adds TOrvFont to the class registry.
void RegisterFontClasses(TOrvClassReg& reg);
