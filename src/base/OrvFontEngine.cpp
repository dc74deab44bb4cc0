#include "base/OrvFontEngine.h"

#include <memory>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"

TOrvFontEngine::TOrvFontEngine() : CharsRects(kBatchSize) {}

TOrvFontEngine::~TOrvFontEngine() {
    Graphic = nullptr;
    TOrvFontEngine::Clear();
}

TOrvFont* TOrvFontEngine::AddFont(const TOrvXMLTag& element) {
    auto font = std::make_unique<TOrvFont>();
    // Named while it already looks into this engine, so a duplicate name is
    // refused, but added only once every property took.
    font->Engine = this;
    for (const auto& child : element.Tags) SetPropValue(*font, child->Name, child->Value);
    TOrvFont* raw = font.get();
    AddObject(std::move(font));
    return raw;
}

void TOrvFontEngine::LoadFonts(TMemoryStream& stream) {
    TOrvParser doc;
    doc.LoadFromStream(stream);
    if (doc.Tags.empty()) throw OrvException("[TOrvFontEngine.LoadFonts] XML file does not has tags!");
    AddFont(*doc.Tags.front());
}

void TOrvFontEngine::LoadFontsFromString(std::string_view text) {
    TMemoryStream stream(text);
    LoadFonts(stream);
}

void RegisterFontClasses(TOrvClassReg& reg) {
    reg.Register<TOrvFont>("TOrvFont");
}
