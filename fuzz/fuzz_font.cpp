// Feeds arbitrary bytes to the font loader; whatever loads measures and draws
// texts of every kind, never past the glyph batch.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzUiKit.h"
#include "base/OrvUnicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TOrvFontEngine fonts;
    TFuzzGraphic graphic(fonts);
    fonts.Graphic = &graphic;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        fonts.LoadFontsFromString(bytes);
    } catch (const OrvException&) {
        if (fonts.Count() != 0) std::abort();  // a refused font is never half added
        return 0;
    }
    const std::u16string texts[] = {u"", u"Score 12345", std::u16string(4000, u'W'), Utf8ToUtf16(bytes),
                                    std::u16string(1, static_cast<char16_t>(0xFFFF))};
    for (const auto& obj : fonts.Objects) {
        auto* font = dynamic_cast<TOrvFont*>(obj.get());
        if (font == nullptr) std::abort();
        for (const std::u16string& t : texts) {
            const int32_t w = font->TextWidth(t);
            if (t.empty() && w != 0) std::abort();
            font->DrawText(-20, 590, t, 200, 0xFFFFFF);
        }
    }
    return 0;
}
