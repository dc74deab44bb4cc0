#include "base/OrvParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

// Loads text into a fresh document; the document is returned for inspection.
std::unique_ptr<TOrvParser> Load(const std::string& text) {
    auto doc = std::make_unique<TOrvParser>();
    doc->LoadFromString(text);
    return doc;
}

std::string LoadError(const std::string& text) {
    TOrvParser doc;
    try {
        doc.LoadFromString(text);
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

const std::string kMsgA = "[TOrvXMLTag.AddTagByString] Expected Attribute name but found nothing! Tag name: \"";
const std::string kMsgB =
    "[TOrvXMLTag.AddTagByString] Expected open \" in Attribute value but found nothing! Tag name: \"";
const std::string kMsgC =
    "[TOrvXMLTag.AddTagByString] Expected closed \" in Attribute value but found nothing! Tag name: \"";

}  // namespace

TEST(OrvParserAttributes, BlanksAroundEqualsAndNoBlankBetweenAttributes) {
    auto doc = Load("<a x = \"1\"y=\"2\"/>");
    ASSERT_EQ(doc->TagCount(), 1);
    TOrvXMLTag* a = doc->GetTag(0);
    EXPECT_EQ(a->Name, "a");
    ASSERT_EQ(a->AttributeCount(), 2);
    EXPECT_EQ(a->GetAttribute(0)->Name, "x");
    EXPECT_EQ(a->GetAttribute(0)->Value, "1");
    EXPECT_EQ(a->GetAttribute(1)->Name, "y");
    EXPECT_EQ(a->GetAttribute(1)->Value, "2");
    EXPECT_EQ(a->Parent, doc.get());
}

TEST(OrvParserAttributes, ValuesKeptRawAndDuplicatesReturnFirst) {
    auto doc = Load("<a v=\" &amp; x \" d=\"1\" d=\"2\"/>");
    TOrvXMLTag* a = doc->FindTag("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->FindAttribute("v")->Value, " &amp; x ");
    EXPECT_EQ(a->FindAttribute("d")->Value, "1");
    EXPECT_EQ(a->AttributeValue("missing", "def"), "def");
}

TEST(OrvParserAttributes, MalformedAttributesGiveExactMessages) {
    EXPECT_EQ(LoadError("<a x=1/>"), kMsgB + "a\", Attribute name: \"x\".");
    EXPECT_EQ(LoadError("<a x/>"), kMsgA + "a\".");
    EXPECT_EQ(LoadError("<a x=\"1/>"), kMsgC + "a\", Attribute name: \"x\".");
    EXPECT_EQ(LoadError("<a x=\"1\" junk>"), kMsgA + "a\".");
    // The head is not trimmed, so a blank before "?>" asks for another attribute.
    EXPECT_EQ(LoadError("<?xml version=\"1.0\" ?>"), kMsgA + "xml\".");
}

TEST(OrvParserAttributes, FailedMarkupLeavesChildWithItsName) {
    TOrvXMLTag tag("t");
    EXPECT_THROW(tag.AddTagByString("b k=\"1\" z"), OrvException);
    ASSERT_EQ(tag.TagCount(), 1);
    EXPECT_EQ(tag.GetTag(0)->Name, "b");
    EXPECT_EQ(tag.GetTag(0)->AttributeValue("k"), "1");
}

TEST(OrvParserText, LaterChunkReplacesEarlierAndBreaksBecomeBlanks) {
    auto doc = Load("<a>x<b/>y</a>");
    EXPECT_EQ(doc->FindTag("a")->Value, "y");
    doc = Load("<a>  one\r\ntwo  </a>");
    EXPECT_EQ(doc->FindTag("a")->Value, "one two");
    // A lone LF or CR is a line break too, and a tab becomes a blank.
    doc = Load("<a>one\ntwo\rthree\tfour</a>");
    EXPECT_EQ(doc->FindTag("a")->Value, "one two three four");
    doc = Load("stray<a/>");
    EXPECT_EQ(doc->Value, "stray");
}

TEST(OrvParserText, EntitiesDecodeOnceAndRoundTrip) {
    EXPECT_EQ(Load("<a>&amp;lt;</a>")->FindTag("a")->Value, "&lt;");
    EXPECT_EQ(Load("<a>&lt;&gt;&apos;&quot;&amp;</a>")->FindTag("a")->Value, "<>'\"&");
    EXPECT_EQ(EncodeEntities("a<b&c"), "a&lt;b&amp;c");
    TOrvParser doc;
    doc.AddTag("v", "a<b&c'\"x>");
    auto back = Load(doc.SaveToString());
    EXPECT_EQ(back->FindTag("v")->Value, "a<b&c'\"x>");
    for (const std::string& s : std::vector<std::string>{"&amp;amp;", "&&&lt;;", "plain", "&quot&quot;"})
        EXPECT_EQ(DecodeEntities(EncodeEntities(s)), s);
}

TEST(OrvParserTree, ClosingNamesNotComparedAndOpenElementsAccepted) {
    auto doc = Load("<a></b><c>");
    ASSERT_EQ(doc->TagCount(), 2);
    EXPECT_EQ(doc->GetTag(0)->Name, "a");
    EXPECT_EQ(doc->GetTag(1)->Name, "c");
    doc = Load("<a><b>");
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->GetTag(0)->GetTag(0)->Name, "b");
}

TEST(OrvParserTree, ClosingAtRootKeepsRootCurrent) {
    auto doc = Load("</x></y><a/>text");
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->GetTag(0)->Name, "a");
    EXPECT_EQ(doc->Value, "text");
}

TEST(OrvParserTree, HeadRenamesRootAndDropsEarlierElements) {
    auto doc = Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(doc->Name, "xml");
    EXPECT_EQ(doc->TagCount(), 0);
    EXPECT_EQ(doc->AttributeValue("encoding"), "UTF-8");
    // A head after an open element frees that element; reading must go on at
    // the root rather than inside the freed element.
    doc = Load("<a><b><?xml v=\"2\"?><c>t</c>");
    EXPECT_EQ(doc->Name, "xml");
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->GetTag(0)->Name, "c");
    EXPECT_EQ(doc->GetTag(0)->Parent, doc.get());
}

TEST(OrvParserTree, NavigationBoundsAndCase) {
    auto doc = Load("<belts/><x/>");
    EXPECT_EQ(doc->GetTag(-1), nullptr);
    EXPECT_EQ(doc->GetTag(2), nullptr);
    EXPECT_EQ(doc->GetAttribute(0), nullptr);
    EXPECT_EQ(doc->FindTag("Belts"), nullptr);
    EXPECT_NE(doc->FindTag("belts"), nullptr);
    EXPECT_EQ(doc->LastTag()->Name, "x");
    TOrvXMLTag empty;
    EXPECT_EQ(empty.LastTag(), nullptr);
}

TEST(OrvParserTree, EmptyDocumentAndBuildTreeAgain) {
    auto doc = Load("");
    EXPECT_EQ(doc->TagCount(), 0);
    EXPECT_EQ(doc->AttributeCount(), 0);
    doc = Load("<a k=\"1\"><b/></a>");
    doc->BuildTree();
    doc->BuildTree();
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->GetTag(0)->TagCount(), 1);
}

TEST(OrvParserTree, TypedLines) {
    TOrvParser doc;
    doc.Lines = {"<?xml a=\"1\"?><x\tk=\"v\"><!-- c -->", "  some &amp; text <y />", "</x\t>"};
    doc.MakeTypifiedLines();
    const std::vector<std::string> expected = {"4xml a=\"1\"", "3x k=\"v\"", "0some & text", "2y", "1x "};
    EXPECT_EQ(doc.Lines, expected);
}

TEST(OrvParserTree, ZeroByteEndsTheText) {
    auto doc = Load(std::string("<a/>\0<b/>", 9));
    EXPECT_EQ(doc->TagCount(), 1);
}

TEST(OrvParserTree, AssignDeepCopiesAndHandlesRelatives) {
    auto doc = Load("<a k=\"1\">v<b><c x=\"2\"/></b></a>");
    TOrvXMLTag copy("old");
    copy.AddTag("gone");
    copy.Assign(doc->GetTag(0));
    EXPECT_EQ(copy.Name, "a");
    EXPECT_EQ(copy.Value, "v");
    EXPECT_EQ(copy.AttributeValue("k"), "1");
    ASSERT_EQ(copy.TagCount(), 1);
    EXPECT_EQ(copy.GetTag(0)->Parent, &copy);
    EXPECT_EQ(copy.GetTag(0)->GetTag(0)->AttributeValue("x"), "2");
    EXPECT_EQ(copy.GetTag(0)->GetTag(0)->Parent, copy.GetTag(0));
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Name, "a");

    // From its own descendant, and into its own descendant.
    TOrvXMLTag* a = doc->GetTag(0);
    a->Assign(a->GetTag(0));
    EXPECT_EQ(a->Name, "b");
    ASSERT_EQ(a->TagCount(), 1);
    EXPECT_EQ(a->GetTag(0)->Name, "c");
    TOrvXMLTag* c = a->GetTag(0);
    c->Assign(a);
    EXPECT_EQ(c->Name, "b");
    ASSERT_EQ(c->TagCount(), 1);
    EXPECT_EQ(c->GetTag(0)->Name, "c");
    EXPECT_EQ(c->GetTag(0)->TagCount(), 0);
}

TEST(OrvParserMalformed, UnterminatedPartsAndEmptyMarkup) {
    EXPECT_EQ(LoadError("<a/><!-- never"), "[TOrvXMLTag.MakeTypifiedLines] Comments started, but never ended!");
    EXPECT_EQ(LoadError("<?xml a=\"1\""), "[TOrvXMLTag.MakeTypifiedLines] XML Head started, but never ended!");
    EXPECT_NE(LoadError("<a><></a>").find("[TOrvXMLTag.MakeTypifiedLines] Markup without a name"), std::string::npos);
    EXPECT_NE(LoadError("<a>< /></a>").find("Markup without a name"), std::string::npos);
    // An unterminated markup: the "<" is skipped and the rest is text.
    auto doc = Load("<a>x</a> 1 < 2 and 3 < 4");
    EXPECT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->Value, "4");
}

TEST(OrvParserMalformed, CommentsDroppedAndBytesPassThrough) {
    const std::string bytes = "\xC3\xA9t\xC3\xA9 \xFF\xFE\x80";
    auto doc = Load("<!-- a > b --><a n=\"" + bytes + "\"><!---->" + bytes + "</a>");
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(doc->GetTag(0)->Value, bytes);
    EXPECT_EQ(doc->GetTag(0)->AttributeValue("n"), bytes);
}

TEST(OrvParserMalformed, TruncatedDocumentsNeverCrash) {
    const std::string full =
        "<?xml version=\"1.0\"?>\r\n<Scene Name=\"s\">\r\n\t<!-- c -->\r\n\t<Layer "
        "Id=\"1\">t&amp;x</Layer>\r\n</Scene>\r\n";
    for (size_t len = 0; len <= full.size(); ++len) {
        TOrvParser doc;
        try {
            doc.LoadFromString(full.substr(0, len));
        } catch (const OrvException&) {
        }
        (void)doc.SaveToString();
    }
}

TEST(OrvParserMalformed, DeepNestingRefusedAtLoadButTreesFreeWithoutRecursion) {
    std::string deep;
    for (int i = 0; i < TOrvParser::MaxDepth; ++i) deep += "<a>";
    auto doc = Load(deep);
    EXPECT_EQ(doc->TagCount(), 1);
    EXPECT_NE(LoadError(deep + "<a>").find("nested deeper than"), std::string::npos);
    // Closed elements do not count: depth is what is open at once.
    std::string wide;
    for (int i = 0; i < 3 * TOrvParser::MaxDepth; ++i) wide += "<a></a>";
    EXPECT_EQ(Load(wide)->TagCount(), 3 * TOrvParser::MaxDepth);

    // A tree built in code may be deeper than a file may; freeing and
    // copying it must not recurse.
    auto root = std::make_unique<TOrvXMLTag>("r");
    TOrvXMLTag* t = root.get();
    for (int i = 0; i < 200000; ++i) t = t->AddTag("d");
    TOrvXMLTag copy;
    copy.Assign(root.get());
    root.reset();
    int depth = 0;
    for (const TOrvXMLTag* c = &copy; c->TagCount() > 0; c = c->GetTag(0)) ++depth;
    EXPECT_EQ(depth, 200000);
}

TEST(OrvParserMalformed, LargeInputsAreReadWhole) {
    // 2 MB of stray "<" without any ">" (a scanner that looks for ">" afresh
    // at every "<" scans about 5e11 bytes here and runs into the test
    // timeout), and 1 MB of short elements.
    std::string stray(2u << 20, 'x');
    for (size_t i = 0; i < stray.size(); i += 4) stray[i] = '<';
    std::string many;
    while (many.size() < (1u << 20)) many += "<e k=\"1\">t</e>";
    auto strayDoc = Load(stray);
    EXPECT_EQ(strayDoc->TagCount(), 0);
    EXPECT_EQ(strayDoc->Value, "xxx");  // each stray "<" starts a new text chunk
    auto doc = Load("<r>" + many + "</r>");
    ASSERT_EQ(doc->TagCount(), 1);
    EXPECT_EQ(static_cast<size_t>(doc->GetTag(0)->TagCount()), many.size() / 14);
    EXPECT_EQ(doc->GetTag(0)->LastTag()->Value, "t");
    const std::string written = doc->SaveToString();
    EXPECT_EQ(written.size(), 5 + (many.size() / 14) * 17 + 6);
}

TEST(OrvParserWriter, InlineLimitAndIndentation) {
    TOrvParser doc;
    TOrvXMLTag* top = doc.AddTag("top");
    top->AddTag("short", std::string(79, 's'));
    top->AddTag("long", std::string(80, 'l'));
    TOrvXMLTag* e = top->AddTag("e");
    e->AddAttribute("k", "v");
    e->AddAttribute("j", "");
    const std::string expected =
        "<top>\r\n"
        "\t<short>" +
        std::string(79, 's') +
        "</short>\r\n"
        "\t<long>\r\n"
        "\t" +
        std::string(80, 'l') +
        "\r\n"
        "\t</long>\r\n"
        "\t<e k=\"v\" j=\"\" />\r\n"
        "</top>\r\n";
    EXPECT_EQ(doc.SaveToString(), expected);
    EXPECT_EQ(top->ToText(2).substr(0, 7), "\t\t<top>");

    // Text beside children: a short text stays on the opening line, so the
    // closing markup gets no indent; a long one is indented like its element.
    TOrvXMLTag mixed("m", "text");
    mixed.AddTag("c");
    EXPECT_EQ(mixed.ToText(1), "\t<m>text\t\t<c />\r\n</m>\r\n");
    mixed.Value = std::string(80, 'x');
    EXPECT_EQ(mixed.ToText(1), "\t<m>\r\n\t" + std::string(80, 'x') + "\r\n\t\t<c />\r\n\t</m>\r\n");
}

TEST(OrvParserWriter, HeadOnlyForXmlRootAndRoundTripIsStable) {
    TOrvParser fresh;
    fresh.AddTag("a");
    EXPECT_EQ(fresh.SaveToString(), "<a />\r\n");

    const std::string source =
        "<?xml version=\"1.0\"?>\n<!-- header -->\n<Params   Mode=\"2\">\n"
        "  <Speed>12</Speed>\n  <Note>a &lt; b</Note><Empty x=\"1\"/>\n</Params>\n";
    auto doc = Load(source);
    const std::string written = doc->SaveToString();
    const std::string expected =
        "<?xml version=\"1.0\"?>\r\n"
        "<Params Mode=\"2\">\r\n"
        "\t<Speed>12</Speed>\r\n"
        "\t<Note>a &lt; b</Note>\r\n"
        "\t<Empty x=\"1\" />\r\n"
        "</Params>\r\n";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(Load(written)->SaveToString(), written);
    // An element holding both text and children keeps both on the way back.
    auto mixed = Load("<a>text<b/></a>");
    EXPECT_EQ(Load(mixed->SaveToString())->SaveToString(), mixed->SaveToString());
    EXPECT_EQ(Load(mixed->SaveToString())->GetTag(0)->Value, "text");
}

TEST(OrvParserWriter, UnwritableAttributeValueIsAnErrorNotACorruptFile) {
    TOrvParser doc;
    doc.AddTag("a")->AddAttribute("name", "say \"hi\"");
    EXPECT_THROW(doc.SaveToString(), OrvException);
    doc.GetTag(0)->GetAttribute(0)->Value = "a>b";
    EXPECT_THROW(doc.SaveToString(), OrvException);
    // Names that would read back as a closing markup, a head, a comment or
    // an empty element.
    for (const char* bad : {"< /a>", "< ?a>", "< !--a>", "<a/ ><b/>"}) {
        auto odd = Load(bad);
        EXPECT_THROW(odd->SaveToString(), OrvException) << bad;
    }
    // Inside the head only "?>" ends the markup, so ">" is fine there.
    auto head = Load("<?xml v=\"a>b\"?><a/>");
    EXPECT_EQ(head->AttributeValue("v"), "a>b");
    EXPECT_EQ(head->SaveToString(), "<?xml v=\"a>b\"?>\r\n<a />\r\n");
    head->GetAttribute(0)->Value = "x?>";
    EXPECT_THROW(head->SaveToString(), OrvException);
}

TEST(OrvParserWriter, StreamsAndFiles) {
    TOrvParser doc;
    doc.AddTag("a", "1");
    TMemoryStream stream;
    stream.WriteString("XX");
    doc.SaveToStream(stream);
    EXPECT_EQ(stream.AsString(), "XX<a>1</a>\r\n");
    stream.Seek(2);
    TOrvParser back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.FindTag("a")->Value, "1");
    EXPECT_EQ(stream.Position(), stream.Size());

    const auto dir = std::filesystem::temp_directory_path() / ("orvparser_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "doc.xml").string();
    doc.SaveToFile(path);
    TOrvParser fromFile;
    fromFile.LoadFromFile(path);
    EXPECT_EQ(fromFile.FindTag("a")->Value, "1");
    EXPECT_THROW(fromFile.LoadFromFile((dir / "missing.xml").string()), OrvException);
    EXPECT_THROW(doc.SaveToFile((dir / "no" / "such" / "dir.xml").string()), OrvException);
    std::filesystem::remove_all(dir);
}

TEST(OrvParserMalformed, DocumentsPastTheCapAreRefusedBeforeParsing) {
    // A parsed element costs tens of times its text: a damaged file of a few
    // hundred megabytes of "<e/>" would take gigabytes. The cap holds for
    // text, streams and files alike, leaves no earlier document behind, and
    // the file's message names the file.
    std::string atCap = "<r>" + std::string(TOrvParser::MaxDocumentSize - 7, ' ') + "</r>";
    auto doc = Load(atCap);
    EXPECT_EQ(doc->TagCount(), 1);

    TOrvParser parser;
    parser.LoadFromString("<old/>");
    const std::string over = atCap + " ";
    try {
        parser.LoadFromString(over);
        ADD_FAILURE() << "a document past the cap was parsed";
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "[TOrvParser.LoadFromString] Document larger than " +
                                   std::to_string(TOrvParser::MaxDocumentSize) + " bytes!");
    }
    EXPECT_EQ(parser.TagCount(), 0);
    TMemoryStream stream(over);
    EXPECT_THROW(parser.LoadFromStream(stream), OrvException);

    const auto dir = std::filesystem::temp_directory_path() / ("orvparser_cap_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "big.xml").string();
    TMemoryStream(over).SaveToFile(path);
    try {
        parser.LoadFromFile(path);
        ADD_FAILURE() << "a file past the cap was parsed";
    } catch (const OrvException& e) {
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("larger than"), std::string::npos) << e.Message();
    }
    std::filesystem::remove_all(dir);
}

TEST(OrvParserStrings, PosExAndTextBetween) {
    EXPECT_EQ(PosEx("b", "abcb", 1), 2);
    EXPECT_EQ(PosEx("b", "abcb", 3), 4);
    EXPECT_EQ(PosEx("b", "abcb", 5), 0);
    EXPECT_EQ(PosEx("", "abc", 1), 0);
    EXPECT_EQ(PosEx("a", "", 1), 0);
    EXPECT_EQ(PosEx("a", "abc", 0), 0);
    EXPECT_EQ(TextBetween("x[ab]y[cd]", "[", "]", 1), "ab");
    EXPECT_EQ(TextBetween("x[ab]y[cd]", "[", "]", 3), "cd");
    EXPECT_EQ(TextBetween("x[ab", "[", "]", 1), "");
    EXPECT_EQ(TextBetween("ab]", "[", "]", 1), "");
    // Close is searched from one after the start of open, so it may overlap open.
    EXPECT_EQ(TextBetween("a--b", "--", "-", 1), "");
    EXPECT_EQ(SpacesForBreaks("a\r\nb\tc\nd\r"), "a b c\nd\r");
}

TEST(OrvParserStrings, ValToFloatWholeTextOnly) {
    EXPECT_DOUBLE_EQ(ValToFloat(" 1.5 "), 1.5);
    EXPECT_DOUBLE_EQ(ValToFloat("-2e3"), -2000.0);
    EXPECT_DOUBLE_EQ(ValToFloat("+.25"), 0.25);
    EXPECT_DOUBLE_EQ(ValToFloat("3."), 3.0);
    EXPECT_DOUBLE_EQ(ValToFloat("1E-2"), 0.01);
    EXPECT_EQ(ValToFloat("1.5x"), 0.0);
    EXPECT_EQ(ValToFloat("1,5"), 0.0);
    EXPECT_EQ(ValToFloat("inf"), 0.0);
    EXPECT_EQ(ValToFloat("nan"), 0.0);
    EXPECT_EQ(ValToFloat("0x10"), 0.0);
    EXPECT_EQ(ValToFloat("."), 0.0);
    EXPECT_EQ(ValToFloat("1e"), 0.0);
    EXPECT_EQ(ValToFloat("--1"), 0.0);
    EXPECT_EQ(ValToFloat("1e999"), 0.0);
    EXPECT_EQ(ValToFloat(""), 0.0);
}
