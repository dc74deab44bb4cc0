// Bitmap fonts: the metrics table, measuring, drawing into the glyph batch,
// and the font document loader's refusals.
#include "base/OrvFont.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/OrvException.h"
#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"
#include "base/OrvUnicode.h"

namespace {

// Records what the font hands to ExtDraw.
class TGlyphRecorder : public IOrvGraphic {
public:
    explicit TGlyphRecorder(const TOrvFontEngine& engine) : engine_(engine) {}
    void Draw(const std::string&, const std::string&, TBlendingMode, int32_t, int32_t, uint8_t, const TRect*) override {
    }
    void DrawBumpMap(const std::string&, const std::string&, int32_t, int32_t) override {}
    void DrawRect(const std::string&, const TRect&, uint32_t, uint8_t, int32_t) override {}
    void ExtDraw(const std::string& picture, int32_t count) override {
        pictures.push_back(picture);
        for (int32_t i = 0; i < count; ++i) glyphs.push_back(engine_.CharsRects[static_cast<size_t>(i)]);
        counts.push_back(count);
    }
    void DrawColoredAlpha(const std::string&, const std::string&, int32_t, int32_t, uint32_t, uint8_t) override {}
    void GetPictureSize(int32_t& w, int32_t& h, const std::string&) override { w = h = 0; }
    void GetScreenSize(int32_t& w, int32_t& h) override {
        w = 800;
        h = 600;
    }
    void PlaySound(const std::string&) override {}
    void PostFormDraw(const std::string&) override {}
    void LowExtDraw(const std::string&, int32_t, int32_t, uint32_t, uint8_t, const TRect*) override {}

    std::vector<std::string> pictures;
    std::vector<int32_t> counts;
    std::vector<TGlyphItem> glyphs;

private:
    const TOrvFontEngine& engine_;
};

const char* kTwoGlyphFont =
    "<Font><Name>Test</Name><Height>16</Height><Picture>Test.png</Picture>"
    "<Metrics>65:0:0:1:10:2,66:10:0:0:9:1</Metrics></Font>";

TEST(OrvFontTest, MeasuresAndDrawsByTheAdvanceRule) {
    TOrvFontEngine engine;
    TGlyphRecorder rec(engine);
    engine.Graphic = &rec;
    engine.LoadFontsFromString(kTwoGlyphFont);
    TOrvFont* font = engine.FindFont("Test");
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->Glyphs().size(), 2u);
    EXPECT_EQ(font->TextWidth(u"AB"), 23);
    EXPECT_EQ(font->TextWidth(u""), 0);

    font->DrawText(100, 50, u"AB", 200, 0x123456);
    ASSERT_EQ(rec.counts, std::vector<int32_t>{2});
    EXPECT_EQ(rec.pictures[0], "Test.png");
    EXPECT_EQ(rec.glyphs[0].Source, (TRect{0, 0, 9, 15}));
    EXPECT_EQ(rec.glyphs[0].X, 101);
    EXPECT_EQ(rec.glyphs[1].Source, (TRect{10, 0, 18, 15}));
    EXPECT_EQ(rec.glyphs[1].X, 113);
    EXPECT_EQ(rec.glyphs[1].Y, 50);
    EXPECT_EQ(rec.glyphs[1].Colour, 0x123456u);
    EXPECT_EQ(rec.glyphs[1].Opacity, 200);

    // An unknown character is the first glyph; the empty text draws nothing.
    EXPECT_EQ(font->TextWidth(u"Z"), font->TextWidth(u"A"));
    rec.counts.clear();
    font->DrawText(0, 0, u"", 255, 0);
    EXPECT_TRUE(rec.counts.empty());
}

TEST(OrvFontTest, MetricsEdgeCases) {
    TOrvFont font;
    // Missing parts are 0; parts past the sixth are ignored; the later of two
    // glyphs of one code wins.
    font.SetMetrics("32:0:0, 65:1:2:3:4:5:99,65:7:7:0:1:0");
    ASSERT_EQ(font.Glyphs().size(), 3u);
    EXPECT_EQ(font.CharWidth(u' '), 0);
    EXPECT_EQ(font.GlyphOf(u'A').X, 7);

    const std::vector<std::string> bad = {"65:0:0:1:10:2,",        "", "65:x:0", "70000:0:0:0:1:0", "-1:0:0:0:1:0",
                                          "65:0:0:0:99999999999:0"};
    for (const std::string& m : bad) {
        TOrvFont f;
        f.SetMetrics("66:1:1:1:1:1");
        EXPECT_THROW(f.SetMetrics(m), OrvException) << m;
        // The old table stays after a refused one.
        EXPECT_EQ(f.Glyphs().size(), 1u) << m;
    }
}

TEST(OrvFontTest, BatchLimitNegativeWidthAndHugeAdvances) {
    TOrvFontEngine engine;
    TGlyphRecorder rec(engine);
    engine.Graphic = &rec;
    engine.LoadFontsFromString(
        "<Font><Name>F</Name><Height>10</Height><Picture>F.png</Picture>"
        "<Metrics>65:0:0:0:5:0,66:0:0:2:-4:0,67:0:0:2000000000:2000000000:2000000000</Metrics></Font>");
    TOrvFont& font = *engine.FindFont("F");

    // Longer than the batch: clipped to the batch, never written past it.
    const std::u16string longText(TOrvFontEngine::kBatchSize + 500, u'A');
    font.DrawText(0, 0, longText, 255, 0);
    ASSERT_EQ(rec.counts.size(), 1u);
    EXPECT_EQ(rec.counts[0], static_cast<int32_t>(TOrvFontEngine::kBatchSize));

    // A glyph of negative width draws nothing but still moves the pen.
    rec.counts.clear();
    rec.glyphs.clear();
    font.DrawText(0, 0, u"BA", 255, 0);
    ASSERT_EQ(rec.glyphs.size(), 1u);
    EXPECT_EQ(rec.glyphs[0].X, -2);
    EXPECT_EQ(font.TextWidth(u"BA"), 3);

    // Advances that would overflow 32 bits saturate instead.
    EXPECT_EQ(font.TextWidth(std::u16string(10, u'C')), INT32_MAX);
    font.DrawText(0, 0, std::u16string(10, u'C'), 255, 0);
}

TEST(OrvFontTest, LoaderRefusals) {
    TOrvFontEngine engine;
    EXPECT_THROW(engine.LoadFontsFromString("no elements here"), OrvException);
    EXPECT_THROW(engine.LoadFontsFromString("<Font><Name>X</Name><Colour>1</Colour></Font>"), OrvException);
    EXPECT_THROW(engine.LoadFontsFromString("<Font><Name>X</Name><Metrics>1:2,</Metrics></Font>"), OrvException);
    // Nothing half-made stays behind.
    EXPECT_EQ(engine.Count(), 0);
    engine.LoadFontsFromString("<Font><Name>X</Name><Height>3</Height></Font>");
    try {
        engine.LoadFontsFromString("<Font><Name>X</Name></Font>");
        FAIL() << "a second font of the same name was accepted";
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "[TOrvBaseClasses.SetName] The name \"X\" is present !");
    }
    EXPECT_EQ(engine.Count(), 1);
}

TEST(OrvUnicodeTest, RoundTripsAndReplacesMalformedBytes) {
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide.substr(0, 5), u"Grüße");
    EXPECT_EQ(wide[6], u'П');
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    // Truncated, overlong, surrogate and stray bytes each give U+FFFD.
    EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80x"), u"\uFFFDx");
    EXPECT_EQ(Utf8ToUtf16("\x80z"), u"\uFFFDz");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
