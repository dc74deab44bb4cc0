// The interface's data: the font rasteriser, the interface source and its
// texts, and the check that refuses an incomplete interface file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "FontBuild.h"
#include "Forge.h"
#include "ForgeCheck.h"
#include "InterfaceBuild.h"
#include "InterfaceCheck.h"
#include "InterfacePreview.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"

namespace fs = std::filesystem;
using namespace forge;

namespace {

std::string ReadText(const fs::path& p) {
    std::string s;
    EXPECT_TRUE(ReadWholeFile(p.string(), s)) << p;
    return s;
}

TFontRecipe SmallRecipe() {
    TFontRecipe s;
    s.Name = "TestFont";
    s.Face = "Comfortaa-Bold.ttf";
    s.Fallback = "DejaVuSans-Bold.ttf";
    s.PixelSize = 14;
    s.Gamma = 1.2f;
    return s;
}

std::string NoFile(const std::string& path) {
    throw OrvException("Cannot open file " + path);
}

}  // namespace

TEST(FontBuild, CoversEveryCharacterOfTheTextsAndRepeatsItself) {
    // Every character the English texts use, plus German and Russian ones a
    // translation will need, comes out of the main face or the fallback.
    std::string enu = ReadText(fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui" / "text" / "enu.txt");
    std::vector<uint32_t> required = DecodeUtf8(enu + "ÄÖÜäöüß Съешь же ещё этих мягких французских булок ЁЙЪ →");
    required.erase(std::remove_if(required.begin(), required.end(), [](uint32_t c) { return c < 32; }), required.end());
    TBitmapFont a = RasteriseFont(SmallRecipe(), {}, required);
    TBitmapFont b = RasteriseFont(SmallRecipe(), {}, required);
    ASSERT_EQ(a.Glyphs.front().Code, uint32_t('?'));  // the stand-in for characters the font lacks
    for (uint32_t c : required) {
        bool found = std::any_of(a.Glyphs.begin(), a.Glyphs.end(), [&](const TGlyph& g) { return g.Code == c; });
        EXPECT_TRUE(found) << "U+" << std::hex << c;
    }
    EXPECT_EQ(a.MetricsText(), b.MetricsText());
    EXPECT_TRUE(a.Picture.ToRGBA().Pixels == b.Picture.ToRGBA().Pixels);
    // The game copies rows top..bottom-1 of a cell: the last row is blank.
    for (const TGlyph& g : a.Glyphs)
        for (int x = 0; x < g.B; ++x) EXPECT_EQ(a.Picture.At(g.X + x, g.Y + a.Height - 1).A, 0.0f) << g.Code;
    // The metrics text is one piece per glyph with six numbers.
    std::string m = a.MetricsText();
    EXPECT_EQ(size_t(std::count(m.begin(), m.end(), ',')) + 1, a.Glyphs.size());
    EXPECT_EQ(m.back() != ',', true);
    // Measuring follows the game's rule: A + B + C per character, a missing
    // character measured as the stand-in.
    const TGlyph& w = a.GlyphOf('W');
    EXPECT_EQ(a.TextWidth("WW"), 2 * (w.A + w.B + w.C));
    const TGlyph& q = a.GlyphOf('?');
    EXPECT_EQ(a.TextWidth("\xEE\x80\x80"), q.A + q.B + q.C);  // U+E000
    // A space has no pixels but moves the pen.
    const TGlyph& sp = a.GlyphOf(' ');
    EXPECT_EQ(sp.B, 0);
    EXPECT_GT(sp.C, 0);
}

TEST(FontBuild, RefusesWhatItCannotMake) {
    // A required character neither face has is named in the error.
    try {
        RasteriseFont(SmallRecipe(), {}, {uint32_t('A'), 0xE000u});
        FAIL() << "no error";
    } catch (const OrvException& e) {
        EXPECT_NE(std::string(e.what()).find("U+E000"), std::string::npos) << e.what();
    }
    // A wanted character neither face has is simply left out.
    TBitmapFont f = RasteriseFont(SmallRecipe(), {0xE000u}, {uint32_t('A')});
    EXPECT_EQ(&f.GlyphOf(0xE000), &f.Glyphs.front());
    // A missing font file names the Debian package that brings it.
    try {
        FindFontFile("Comfortaa-Nonexistent.ttf");
        FAIL() << "no error";
    } catch (const OrvException& e) {
        EXPECT_NE(std::string(e.what()).find("fonts-comfortaa"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ParseFontRecipes("font A Face.ttf Fallback.ttf 2 1.0\n", "fonts.txt"), OrvException);
    EXPECT_THROW(ParseFontRecipes("font A F.ttf G.ttf 14 1.0\nfont A F.ttf G.ttf 16 1.0\n", "fonts.txt"), OrvException);
    EXPECT_THROW(ParseFontRecipes("; nothing\n", "fonts.txt"), OrvException);
    EXPECT_EQ(ParseFontRecipes("font A F.ttf G.ttf 14 1.0 1 ; spaced\n", "f").front().LetterSpacing, 1);
}

TEST(InterfaceSource, TheGamesSourceParsesWithUniqueNamesAndContiguousTabOrders) {
    TUiSource src = ParseUiSource((fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui" / "interface.txt").string());
    std::set<std::string> names;
    int forms = 0;
    for (const TUiObject& o : src.Objects) {
        EXPECT_TRUE(names.insert(o.Name).second) << o.Name;
        if (o.Parent.empty()) ++forms;
    }
    EXPECT_EQ(forms, 26);
    TUiTexts enu = ParseUiTexts(ReadText(fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui" / "text" / "enu.txt"), "enu");
    EXPECT_EQ(enu.Code, "ENU");
    // Every text names an object of the source (artefact names and chapter
    // pages are made from the scenes).
    for (const auto& [name, text] : enu.Items)
        if (name.rfind("WResource_LQuest", 0) != 0) {
            EXPECT_TRUE(names.count(name)) << name;
        }
    std::vector<TUiResolved> objects = ResolveUiObjects(src, enu);
    std::map<std::string, std::vector<int>> orders;
    for (const TUiResolved& o : objects)
        if (!o.Get("TabOrder").empty()) orders[o.Parent].push_back(std::atoi(o.Get("TabOrder").c_str()));
    for (auto& [form, list] : orders) {
        std::sort(list.begin(), list.end());
        for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], int(i)) << form;
    }
}

// The helper charges under the play screen's buttons keep the buttons'
// margins: numbers drawn out to the panel's edge touched its frame.
TEST(InterfaceSource, PlayPanelCountsStayWithinTheButtons) {
    const fs::path ui = fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui";
    TUiSource src = ParseUiSource((ui / "interface.txt").string());
    std::vector<TUiResolved> objects = ResolveUiObjects(src, ParseUiTexts(ReadText(ui / "text" / "enu.txt"), "enu"));
    auto value = [](const TUiResolved& o, const char* name) { return std::atoi(o.Get(name).c_str()); };
    int left = 800, right = 0, bottom = 0, checked = 0;
    for (const TUiResolved& o : objects)
        if (o.Name.rfind("WGame_B", 0) == 0) {
            // The buttons take their size from their 112x40 picture, whose
            // painted face leaves a 6-pixel shadow margin on each side.
            left = std::min(left, value(o, "Left") + 6);
            right = std::max(right, value(o, "Left") + 112 - 6);
            bottom = std::max(bottom, value(o, "Top") + 40);
        }
    for (const TUiResolved& o : objects)
        if (o.Name.rfind("WGame_LShift", 0) == 0 || o.Name.rfind("WGame_LShuffle", 0) == 0) {
            ++checked;
            EXPECT_GE(value(o, "Left"), left) << o.Name;
            EXPECT_LE(value(o, "Left") + value(o, "Width"), right) << o.Name;
            EXPECT_LE(value(o, "Top") + value(o, "Height"), bottom + 32) << o.Name;  // above the studs
        }
    EXPECT_EQ(checked, 4);
}

TEST(InterfaceSource, StylesRepeatsTextsAndOrderOfProperties) {
    const char* text =
        "defaults TOrvLabel\n"
        "  FontName = OrvUnicode\n"
        "style Base\n"
        "  Color = #FF8000\n"
        "  Visible = true\n"
        "style Big : Base\n"
        "  Width = 100\n"
        "object WForm TOrvForm\n"
        "  Width = 800\n"
        "repeat i 1 3\n"
        "object WForm_B$(i) TOrvLabel in WForm : Big\n"
        "  Top = $(10 + (i - 1) * 40)\n"
        "  OnMouseUp = ExecMethod Method=\"X\";\n"
        "end\n"
        "amend WForm_B2\n"
        "  Width = 120\n";
    TUiSource src = ParseUiSourceText(text, "t", &NoFile, ".");
    ASSERT_EQ(src.Objects.size(), 4u);
    EXPECT_EQ(src.Objects[3].Prop("Top"), "90");
    TUiTexts t = ParseUiTexts("language ENU 1\nWForm_B1 = Two {BR/}\n  lines\nWForm_B2 = One\n  more\n", "t");
    EXPECT_EQ(*t.Find("WForm_B1"), "Two {BR/}lines");  // no blank after a tag
    EXPECT_EQ(*t.Find("WForm_B2"), "One more");
    std::vector<TUiResolved> r = ResolveUiObjects(src, t);
    const TUiResolved& b2 = r[2];
    EXPECT_EQ(b2.Get("Width"), "120");                     // the object's own value wins over its style's
    EXPECT_EQ(b2.Get("Color"), std::to_string(0x0080FF));  // #RRGGBB becomes red in the lowest byte
    EXPECT_EQ(r[0].Parent, kScreenParent);
    EXPECT_EQ(b2.Get("FontName"), "OrvUnicode");  // from the defaults
    // The caption comes after the size, the scripts after the caption and
    // visibility last; no property is written twice.
    auto at = [&](const char* name) {
        for (size_t i = 0; i < b2.Props.size(); ++i)
            if (b2.Props[i].Name == name) return int(i);
        return -1;
    };
    EXPECT_LT(at("Width"), at("Caption"));
    EXPECT_LT(at("Caption"), at("OnMouseUp"));
    EXPECT_EQ(at("Visible"), int(b2.Props.size()) - 1);
    EXPECT_EQ(std::count_if(b2.Props.begin(), b2.Props.end(), [](const TUiProp& p) { return p.Name == "Width"; }), 1);
    // The file reads back with the defaults first.
    TOrvParser doc;
    doc.LoadFromString(InterfaceXml(src, r));
    TOrvXMLTag* root = doc.GetTag(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name, "OrvInterface");
    EXPECT_EQ(root->GetTag(0)->AttributeValue("c"), "TOrvDefaults");
    EXPECT_EQ(root->GetTag(0)->GetTag(0)->Value, "TOrvLabel;FontName;OrvUnicode");
    EXPECT_EQ(root->TagCount(), 5);
}

// The chapter pages of a translation: its patterns filled with the scene's
// values and its own names, a page given whole kept, a pattern missing
// refused.
TEST(InterfaceSource, TranslationsComposeTheChapterPages) {
    TUiTexts t = ParseUiTexts(
        "language DEU 2\n"
        "template ChapterTitle = Kapitel {n}: {title}\n"
        "template LevelText = Level {level}: {layer}, {fragments} Fragmente, {belts} Bänder, {artefact}\n"
        "template ChapterDone = {title} ist fertig\ntemplate GameWon = {title}: gewonnen\n"
        "template FinalScore = Endstand\n"
        "title 1 = Wiese\nlayer RosyClouds = Rosa Wolken\nWResource_LQuestKey = Schlüssel\n"
        "WBetweenLevel_TChapter2.1_LText = Ganz eigener Text\n",
        "t");
    EXPECT_EQ(t.Templates.size(), 5u);
    TChapterInfo one;
    one.Number = 1;
    one.Title = "Meadow";
    one.LayerNames = {"RosyClouds"};
    one.Quests = {"Key"};
    one.Fragments = {42};
    one.Belts = {3};
    TChapterInfo two = one;
    two.Number = 2;
    two.Title = "Bay";
    two.LayerNames = {"Beach"};
    ComposeChapterTexts({one, two}, t);
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter1_LTitle"), "Kapitel 1: Wiese");
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter1.1_LText"), "Level 1.1: Rosa Wolken, 42 Fragmente, 3 Bänder, Schlüssel");
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter1.2_LText"), "Wiese ist fertig");
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter2_LTitle"), "Kapitel 2: Bay");  // no name given: the scene's
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter2.1_LText"), "Ganz eigener Text");
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter2.2_LText"), "Bay: gewonnen");
    EXPECT_EQ(*t.Find("WBetweenLevel_TChapter2.2_LYourScore"), "Endstand");
    TUiTexts bare = ParseUiTexts("language FRA 3\ntemplate ChapterTitle = Chapitre {n}\n", "t");
    EXPECT_THROW(ComposeChapterTexts({one}, bare), OrvException);
    EXPECT_THROW(ParseUiTexts("language DEU 2\ntemplate X = a\ntemplate X = b\n", "t"), OrvException);
    EXPECT_THROW(ParseUiTexts("language DEU 2\nlayer = a\n", "t"), OrvException);
}

// A key written twice (a merge keeping both sides) is refused with the file,
// the key and both lines; the same name under another kind of key is not a
// repeat.
TEST(InterfaceSource, RepeatedTextKeysNameBothLines) {
    auto message = [](const std::string& text) {
        try {
            ParseUiTexts(text, "deu.txt");
        } catch (const OrvException& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("language DEU 2\nWForm_B1 = a\n; note\n\nWForm_B2 = b\nWForm_B1 = c\n"),
              "deu.txt:6: text for WForm_B1 given twice (lines 2 and 6)");
    EXPECT_EQ(message("language DEU 2\ntitle 1 = Wiese\n\ntitle 1 = Bucht\n"),
              "deu.txt:4: title 1 given twice (lines 2 and 4)");
    EXPECT_EQ(message("language DEU 2\ntitle 1 = Wiese\nlayer 1 = Wolken\ntemplate 1 = x\n"), "accepted");
    // The shipped texts have no repeats.
    for (const char* f : {"enu.txt", "deu.txt", "rus.txt"}) {
        fs::path p = fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui" / "text" / f;
        EXPECT_EQ(message(ReadText(p)), "accepted") << f;
    }
}

TEST(InterfaceSource, MalformedSourcesAreRefusedWithTheirLine) {
    auto fails = [](const char* text, const char* where) {
        try {
            ParseUiSourceText(text, "src", &NoFile, ".");
        } catch (const OrvException& e) {
            EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
            return;
        }
        ADD_FAILURE() << "accepted: " << text;
    };
    fails("object WA TOrvForm\nobject WA TOrvForm\n", "src:2");                  // a name twice
    fails("object WA TOrvLabel in WB\n", "src:1");                               // parent not defined
    fails("object WA TOrvForm : Missing\n", "style Missing");                    // style not defined
    fails("  Width = 3\n", "src:1");                                             // property outside a block
    fails("object WA TOrvForm\n  Caption = x\n", "src:2");                       // captions come from the texts
    fails("repeat i 1 3\nobject WA$(i) TOrvForm\n", "repeat without end");       // unbalanced repeat
    fails("repeat i 1 2\nobject WA$(i / (i - 1)) TOrvForm\nend\n", "division");  // no crash on a zero divisor
    fails("include forms/None.txt\n", "None.txt");
    EXPECT_THROW(ParseUiTexts("WA = x\n", "t"), OrvException);  // no language line
    EXPECT_THROW(ParseUiTexts("language ENU 1\nWA = x\nWA = y\n", "t"), OrvException);
    EXPECT_EQ(EvalUiExpression("2 + 3 * (i - 1) % 4", "i", 3), 4);
    EXPECT_THROW(EvalUiExpression("2 +", "i", 1), OrvException);
    EXPECT_THROW(EvalUiExpression("j", "i", 1), OrvException);
}

TEST(InterfaceText, LineBreakingTakesAtLeastOneCharacterAndHonoursMarkup) {
    TBitmapFont f = RasteriseFont(SmallRecipe(), BaseCharacterSet(), {});
    // Width 0 and a word wider than the line still move on, one character
    // a line, instead of looping.
    EXPECT_EQ(BreakLabelText(f, "abc", 0).size(), 3u);
    std::vector<TTextLine> two = BreakLabelText(f, "one two", f.TextWidth("one t"));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].Text, "one");
    EXPECT_EQ(two[1].Text, "two");
    std::vector<TTextLine> rich = BreakRichText(f, "{Center}A{BR 6/}{/Center}B {{x} {unclosed", 1000);
    ASSERT_EQ(rich.size(), 2u);
    EXPECT_EQ(rich[0].Align, 1);
    EXPECT_EQ(rich[0].Extra, 6);
    EXPECT_EQ(rich[1].Text, "B {x} {unclosed");
    EXPECT_EQ(TextBlockHeight(f, rich, 2), 2 * f.Height + 2 + 6);
    std::string rest;
    std::vector<std::string> cmds = SplitScript("PlaySound Sound=\"a;b.ogg\";ShowModal Form=\"W\"", &rest);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0], "PlaySound Sound=\"a;b.ogg\"");
    EXPECT_EQ(rest, "ShowModal Form=\"W\"");
}

// The check on a build whose interface has a missing picture, an unknown
// handler, a caption too long for its button, a script without its closing
// ";" and a form that is missing.
TEST(InterfaceCheck, RefusesWhatTheGameCouldNotShow) {
    fs::path root = fs::temp_directory_path() /
                    ("forge-ui-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                     std::to_string(reinterpret_cast<uintptr_t>(&root) % 100000));
    fs::remove_all(root);
    fs::create_directories(root / "data" / "scenes");
    fs::copy_file(fs::path(MOSWICK_SOURCE_DIR) / "data" / "shapes.txt", root / "data" / "shapes.txt");
    fs::copy(fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui", root / "data" / "ui", fs::copy_options::recursive);
    std::string scene =
        "title Test\npainting meadow\nsize 700 620\nmusic scene_calm.xm\nbonus 0.05\nbonusweights 1 1 1 1\n"
        "weight Dot 3\nlayer A\nat 260 250\nquest Key\nfishes 2 2 4\nartefact 277 20\n"
        "belt 10 BeltPart1.png : 70,45 55,200 60,420 130,530 325,548 520,530 592,420 597,200 582,60\n"
        "map\nJ##L\n7##F\nend\n";
    ASSERT_TRUE(WriteFileAtomically((root / "data" / "scenes" / "scene1.txt").string(), scene.data(), scene.size()));
    std::string title = ReadText(root / "data" / "ui" / "forms" / "WTitle.txt");
    title +=
        "object WTitle_BBroken TOrvLabel in WTitle : TitleButton\n"
        "  Top = 10\n"
        "  Picture = NoSuchPicture.png\n"
        "  OnMouseUp = ExecMethod Method=\"NoSuchHandler\";ShowModal Form=\"WNoSuchForm\";PlaySound Sound=\"x.ogg\"\n";
    ASSERT_TRUE(
        WriteFileAtomically((root / "data" / "ui" / "forms" / "WTitle.txt").string(), title.data(), title.size()));
    std::string texts = ReadText(root / "data" / "ui" / "text" / "enu.txt");
    texts += "WTitle_BBroken = Start a brand new game from the very beginning\n";
    ASSERT_TRUE(WriteFileAtomically((root / "data" / "ui" / "text" / "enu.txt").string(), texts.data(), texts.size()));
    // A translation with a text too long for its button, most captions
    // missing and no name for its own button.
    fs::remove(root / "data" / "ui" / "text" / "rus.txt");
    std::string german =
        "language DEU 2\n"
        "template ChapterTitle = Kapitel {n}: {title}\ntemplate LevelText = Level {level}: {layer}\n"
        "template ChapterDone = Geschafft\ntemplate GameWon = Gewonnen\ntemplate FinalScore = Endstand\n"
        "WTitle_BNewGame = Ein ganz neues Spiel von allerallerersten Anfang an beginnen\n"
        "WTitle_BQuit = Beenden\n";
    ASSERT_TRUE(
        WriteFileAtomically((root / "data" / "ui" / "text" / "deu.txt").string(), german.data(), german.size()));

    TContentBuild build((root / "data").string(), "");
    build.Run();
    TCheckReport r;
    CheckInterface(build, GameHandlerNames(), r);
    auto reported = [&](const std::string& part) {
        return std::any_of(r.Problems.begin(), r.Problems.end(),
                           [&](const std::string& p) { return p.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(reported("NoSuchPicture.png, which is not in the archive"));
    EXPECT_TRUE(reported("\"NoSuchHandler\", which is not a handler"));
    EXPECT_TRUE(reported("WTitle_BBroken's caption"));
    EXPECT_TRUE(reported("WNoSuchForm"));
    EXPECT_TRUE(reported("has no closing \";\""));
    EXPECT_TRUE(reported("language DEU: WTitle_BNewGame"));
    EXPECT_TRUE(reported("language DEU: no text for WTitle_BLoadGame (\"Load game\")"));
    EXPECT_TRUE(reported("language DEU: no text for WBetweenLevel_TNewGame_LHard"));
    EXPECT_TRUE(reported("language DEU: no name of its own for its button"));
    EXPECT_FALSE(reported("no text for WGame_LScoreCount"));               // numbers need no translation
    EXPECT_FALSE(reported("no text for WBetweenLevel_TChapter1_LTitle"));  // made from the patterns
    // Only these: the rest of the interface is complete.
    size_t others = 0;
    for (const std::string& p : r.Problems)
        if (p.find("language DEU: ") == std::string::npos) {
            ++others;
            EXPECT_NE(p.find("WTitle_BBroken"), std::string::npos) << p;
        }
    EXPECT_EQ(others, 5u);
    // An ExecMethod is checked against the table it is given.
    TCheckReport none;
    CheckInterface(build, {}, none);
    EXPECT_TRUE(std::any_of(none.Problems.begin(), none.Problems.end(), [](const std::string& p) {
        return p.find("WTitle_BNewGame_MouseUp") != std::string::npos;
    }));
    fs::remove_all(root);
}
