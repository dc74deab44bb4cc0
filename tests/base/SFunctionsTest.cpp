#include "base/SFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <numbers>
#include <vector>

#include "ArchiveBytes.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace {

TEST(SFunctionsNumbers, ValIntAndValFloat) {
    EXPECT_EQ(ValInt("12px"), 12);
    EXPECT_EQ(ValInt("-7"), -7);
    EXPECT_EQ(ValInt("-7a"), 7);
    EXPECT_EQ(ValInt("$1F"), 31);
    EXPECT_EQ(ValInt(""), 0);
    EXPECT_EQ(ValInt("-"), 0);
    EXPECT_EQ(ValInt("  -0x10"), -16);
    // The 32-bit range: the digit that would overflow stops the reading.
    EXPECT_EQ(ValInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ValInt("21474836470"), 2147483647);
    EXPECT_EQ(ValInt("-99999999999"), 999999999);
    EXPECT_EQ(ValInt("$FFFFFFFF"), -1);
    EXPECT_EQ(ValInt("$1FFFFFFFF"), static_cast<int32_t>(0x1FFFFFFF));

    EXPECT_DOUBLE_EQ(ValFloat("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(ValFloat("2.5 "), 0.0);
    EXPECT_DOUBLE_EQ(ValFloat("2,5"), 0.0);
    EXPECT_DOUBLE_EQ(ValFloat(""), 0.0);
    EXPECT_DOUBLE_EQ(ValFloat("-1e3"), -1000.0);
    EXPECT_DOUBLE_EQ(ValFloat("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(ValFloat("3."), 3.0);
    for (const char* bad : {"1e", ".", "inf", "nan", "1e999", "0x10"}) EXPECT_DOUBLE_EQ(ValFloat(bad), 0.0) << bad;
}

TEST(SFunctionsText, WordsAreRunsBetweenBlanksAndTabs) {
    const std::string s = "  a\tbb  c";
    EXPECT_EQ(GetWord(s, 1), "a");
    EXPECT_EQ(GetWord(s, 2), "bb");
    EXPECT_EQ(GetWord(s, 3), "c");
    EXPECT_EQ(GetWord(s, 4), "%&");
    EXPECT_EQ(GetWord(s, 0), "");
    EXPECT_EQ(GetWord(s, -3), "");
    EXPECT_EQ(WordCount(s), 3);
    EXPECT_EQ(WordCount(""), 0);
    EXPECT_EQ(WordCount("   \t "), 0);
    EXPECT_EQ(GetWord("a   ", 2), "%&");
    // A word spelled like the end marker ends the count.
    EXPECT_EQ(WordCount("a %& b"), 1);
    std::string many;
    for (int i = 0; i < 300; ++i) many += "w ";
    EXPECT_EQ(WordCount(many), 300);
}

TEST(SFunctionsText, TextBetweenFirstAndAttrValueOf) {
    EXPECT_EQ(TextBetweenFirst("<b>bold</b>", "<b>", "</b>"), "bold");
    EXPECT_EQ(TextBetweenFirst("x]y[z", "[", "]"), "");
    EXPECT_EQ(TextBetweenFirst("[abc", "[", "]"), "");

    EXPECT_EQ(AttrValueOf(R"(<a Name="x" Value="12">)", "Value"), "12");
    EXPECT_EQ(AttrValueOf(R"(<a Value="12)", "Value"), "");
    EXPECT_EQ(AttrValueOf(R"(<a MaxValue="5" Value="12">)", "Value"), "5");
}

TEST(SFunctionsIntegers, ArrayEdges) {
    TIntegers a;
    EXPECT_EQ(MinInt(a), 2147483647);
    DeleteInt(0, a);
    EXPECT_TRUE(a.empty());
    a = {5, 3};
    InsertInt(a, 9, 1);
    InsertInt(a, 7, 100);
    InsertInt(a, 1, -4);
    EXPECT_EQ(a, (TIntegers{1, 5, 9, 3, 7}));
    DeleteInt(-1, a);
    DeleteInt(5, a);
    DeleteInt(2, a);
    EXPECT_EQ(a, (TIntegers{1, 5, 3, 7}));
    EXPECT_EQ(IndexOfInt(a, 42), -1);
    EXPECT_FALSE(IntInArray(9, a));
}

TEST(SFunctionsIntegers, WeightedIndexFollowsTheWeights) {
    TOrvRandom random(1234);
    const TIntegers weights{0, 1, 3, 0, -5};
    std::vector<int> counts(weights.size(), 0);
    for (int i = 0; i < 40000; ++i) {
        const int k = WeightedIndex(weights, random);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, static_cast<int>(weights.size()));
        ++counts[static_cast<size_t>(k)];
    }
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[3], 0);
    EXPECT_EQ(counts[4], 0);
    EXPECT_NEAR(counts[2] / 40000.0, 0.75, 0.02);
}

TEST(SFunctionsIntegers, WeightedIndexWithoutPositiveWeightsOrHugeSums) {
    TOrvRandom random(7);
    EXPECT_EQ(WeightedIndex(TIntegers{}, random), 0);
    EXPECT_EQ(WeightedIndex(TIntegers{0, 0, 0}, random), 0);
    EXPECT_EQ(WeightedIndex(TIntegers{-3, -1}, random), 0);
    // The sum passes 32 bits; every weight is about a third.
    const TIntegers big{2147483647, 2147483647, 2147483647};
    std::vector<int> counts(3, 0);
    for (int i = 0; i < 3000; ++i) ++counts[static_cast<size_t>(WeightedIndex(big, random))];
    for (int c : counts) EXPECT_GT(c, 800);
    // A single positive weight behind negative ones is always chosen.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(WeightedIndex(TIntegers{-2147483647, -5, 1}, random), 2);
}

TEST(SFunctionsGeometry, PointInRectAndVectorAngle) {
    const TRect r{10, 20, 30, 40};
    EXPECT_TRUE(PointInRect(r, TPoint{30, 40}));
    EXPECT_TRUE(PointInRect(r, TPoint{10, 20}));
    EXPECT_FALSE(PointInRect(r, TPoint{31, 25}));
    EXPECT_FALSE(PointInRect(r, TPoint{20, 41}));

    EXPECT_DOUBLE_EQ(VectorAngle(TPoint{0, -5}), std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(VectorAngle(TPoint{-1, 0}), std::numbers::pi);
    EXPECT_DOUBLE_EQ(VectorAngle(-1.0, -1.0), std::numbers::pi / 4 + std::numbers::pi);
    EXPECT_DOUBLE_EQ(VectorAngle(0.0, 0.0), std::numbers::pi / 2);
}

// Unit squares [x, x+1) x [y, y+1) of a small plane, counted by how many of
// the given rectangles (spans Left..Right, Top..Bottom) cover them.
constexpr int Plane = 72;

std::vector<int> Coverage(const TRects& rects) {
    std::vector<int> cover(Plane * Plane, 0);
    for (const TRect& r : rects) {
        for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, Plane); ++y)
            for (int x = std::max(r.Left, 0); x < std::min(r.Right, Plane); ++x)
                ++cover[static_cast<size_t>(y * Plane + x)];
    }
    return cover;
}

TRects RandomRects(TOrvRandom& random, int count) {
    TRects rects;
    for (int i = 0; i < count; ++i) {
        const int32_t x = random.Between(-4, Plane - 8);
        const int32_t y = random.Between(-4, Plane - 8);
        rects.push_back(TRect{x, y, x + random.Between(0, 30), y + random.Between(0, 30)});
    }
    return rects;
}

// Every unit square covered by the rectangles is covered by the cells:
// exactly once when exact, at least once (and by one cell per group of 249
// rectangles at most) otherwise.
void ExpectCells(const TRects& rects, bool exact) {
    TRects cells;
    RectsToCells(cells, rects);
    const std::vector<int> want = Coverage(rects);
    const std::vector<int> got = Coverage(cells);
    const int overlap = static_cast<int>((rects.size() + 248) / 249);
    for (size_t i = 0; i < want.size(); ++i) {
        if (exact) {
            ASSERT_EQ(got[i], want[i] > 0 ? 1 : 0) << rects.size() << " rectangles, square " << i;
        }
        ASSERT_GE(got[i], want[i] > 0 ? 1 : 0) << rects.size() << " rectangles, square " << i;
        ASSERT_LE(got[i], std::max(overlap, 1)) << rects.size() << " rectangles, square " << i;
    }
}

TEST(SFunctionsCells, UpTo32RectanglesGiveDisjointCellsOfTheSameUnion) {
    TRects none;
    RectsToCells(none, TRects{});
    EXPECT_TRUE(none.empty());
    ExpectCells(TRects{TRect{0, 0, 20, 20}, TRect{10, 10, 30, 30}}, true);
    TOrvRandom random(99);
    for (int round = 0; round < 300; ++round) ExpectCells(RandomRects(random, random.Between(1, 32)), true);
}

TEST(SFunctionsCells, RepeatedBitsAndFullIntervalListsStillCoverTheUnion) {
    // Rectangle 32 shares its bit with rectangle 0; its right edge falls
    // inside rectangle 0's column, which must keep rectangle 0's bit.
    TRects rects{TRect{0, 0, 40, 40}};
    for (int i = 1; i < 32; ++i) rects.push_back(TRect{60, 60, 61, 61});
    rects.push_back(TRect{-5, 50, 10, 60});
    ExpectCells(rects, false);

    TOrvRandom random(5);
    for (int round = 0; round < 60; ++round) ExpectCells(RandomRects(random, random.Between(33, 249)), false);
    // Past 249 rectangles the interval lists would overflow in one pass.
    for (int count : {250, 498, 1500}) ExpectCells(RandomRects(random, count), false);
}

TEST(SFunctionsCells, CellsAreClippedToThePlaneAndEmptyRectanglesIgnored) {
    TRects cells;
    RectsToCells(cells, TRects{TRect{-50, -50, 20000, 5}, TRect{5, 5, 5, 90}, TRect{30, 30, 10, 10}});
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0], (TRect{0, 0, 10000, 5}));
}

TEST(SFunctionsScramble, RoundTripKeepsLengthAndContent) {
    TOrvRandom random(3);
    for (const std::string& key :
         {std::string("wqpme83]"), std::string("k"), std::string("a much longer key"), std::string()}) {
        for (size_t length = 0; length <= 70; ++length) {
            std::vector<uint8_t> bytes(length);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random.Next());
            TMemoryStream source(bytes);
            TMemoryStream scrambled;
            ScrambleStream(source, scrambled, key);
            ASSERT_EQ(scrambled.Size(), length);
            EXPECT_EQ(scrambled.Position(), 0u);
            EXPECT_EQ(source.Size(), 0u);
            TMemoryStream back;
            ScrambleStream(scrambled, back, key);
            ASSERT_EQ(back.Bytes(), bytes) << "key '" << key << "' length " << length;
            ScrambleStream(back, back, key);  // in place
            ScrambleStream(back, back, key);
            ASSERT_EQ(back.Bytes(), bytes);
        }
    }
}

TEST(SFunctionsScramble, FullBlocksAreTransposedAndTheTailOnlyXored) {
    // With a key of one zero byte the XOR steps vanish and only the bit
    // transposition remains: byte 0 = 0xFF becomes bit 0 of every byte.
    TMemoryStream source(std::vector<uint8_t>{0xFF, 0, 0, 0, 0, 0, 0, 0, 0x81, 0x42});
    TMemoryStream dest;
    ScrambleStream(source, dest, std::string_view("\0", 1));
    EXPECT_EQ(dest.Bytes(), (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 0x81, 0x42}));
    // Against the definition, on random blocks: bit b of output byte m is
    // bit m of input byte b.
    TOrvRandom random(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> block(8);
        for (uint8_t& v : block) v = static_cast<uint8_t>(random.Next());
        TMemoryStream in(block);
        TMemoryStream out;
        ScrambleStream(in, out, std::string_view("\0", 1));
        for (int m = 0; m < 8; ++m)
            for (int b = 0; b < 8; ++b)
                ASSERT_EQ((out.Data()[m] >> b) & 1, (block[static_cast<size_t>(b)] >> m) & 1) << round;
    }

    // A 13-byte stream: the 5-byte tail is the plain XOR with the key.
    const std::string text = "Hello, World!";
    TMemoryStream src13(text);
    TMemoryStream out13;
    ScrambleStream(src13, out13, GameFileKey);
    ASSERT_EQ(out13.Size(), 13u);
    for (size_t i = 8; i < 13; ++i) EXPECT_EQ(out13.Data()[i], static_cast<uint8_t>(text[i] ^ GameFileKey[i - 8]));
    EXPECT_NE(std::string(out13.AsString(), 0, 8), text.substr(0, 8));
}

TEST(SFunctionsScramble, EmptyKeyActsAsSomeOneCharacterKey) {
    const std::string text = "a sample long enough for a few blocks of eight";
    TMemoryStream a(text);
    TMemoryStream withEmpty;
    ScrambleStream(a, withEmpty, "");
    bool matched = false;
    for (int c = 0; c < 256 && !matched; ++c) {
        const char key = static_cast<char>(c);
        TMemoryStream b(text);
        TMemoryStream withOne;
        ScrambleStream(b, withOne, std::string_view(&key, 1));
        matched = withOne.Bytes() == withEmpty.Bytes();
    }
    EXPECT_TRUE(matched);
}

TEST(SFunctionsScramble, IsPlainText) {
    EXPECT_TRUE(IsPlainText(TMemoryStream(std::string_view("line one\r\n\tline two\r\n"))));
    EXPECT_TRUE(IsPlainText(TMemoryStream()));
    EXPECT_TRUE(IsPlainText(TMemoryStream(std::string_view("caf\xC3\xA9 \x7F\xFF"))));
    EXPECT_TRUE(IsPlainText(TMemoryStream(std::string_view("\r"))));
    EXPECT_FALSE(IsPlainText(TMemoryStream(std::string_view("line one\nline two"))));
    EXPECT_FALSE(IsPlainText(TMemoryStream(std::string_view("\n"))));
    EXPECT_FALSE(IsPlainText(TMemoryStream(std::string_view("a\n\r"))));
    EXPECT_FALSE(
        IsPlainText(TMemoryStream(std::string_view("a\x1b"
                                                   "b"))));
    EXPECT_FALSE(IsPlainText(TMemoryStream(std::string_view("a\0b", 3))));
}

TEST(SFunctionsScramble, RotateTextIsABijectionAbove31) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string up = RotateTextUp(all);
    EXPECT_EQ(RotateTextDown(up), all);
    EXPECT_EQ(RotateTextUp(RotateTextDown(all)), all);
    EXPECT_EQ(up.substr(0, 32), all.substr(0, 32));
    EXPECT_EQ(static_cast<uint8_t>(up[32]), 83);
    EXPECT_EQ(static_cast<uint8_t>(up[204]), 255);
    EXPECT_EQ(static_cast<uint8_t>(up[205]), 32);
    EXPECT_EQ(static_cast<uint8_t>(up[255]), 82);
    EXPECT_EQ(RotateTextUp("Abc"), "t\x95\x96");
}

using SFunctionsXML = TScratchTest;

TEST_F(SFunctionsXML, ScrambledDocumentRoundTrip) {
    TOrvParser doc;
    TOrvXMLTag* params = doc.AddTag("GameParams");
    params->AddTag("Speed")->AddAttribute("Value", "12");
    SaveScrambledXML(doc, Path("GameParams.xml"), GameFileKey);

    TMemoryStream onDisk;
    onDisk.LoadFromFile(Path("GameParams.xml"));
    EXPECT_FALSE(IsPlainText(onDisk));
    EXPECT_EQ(onDisk.AsString().find("GameParams"), std::string::npos);

    TOrvParser back;
    LoadScrambledXML(back, Path("GameParams.xml"), GameFileKey);
    ASSERT_NE(back.FindTag("GameParams"), nullptr);
    ASSERT_NE(back.FindTag("GameParams")->FindTag("Speed"), nullptr);
    EXPECT_EQ(back.FindTag("GameParams")->FindTag("Speed")->AttributeValue("Value"), "12");
}

TEST_F(SFunctionsXML, PlainDocumentsAreReadAsTheyAre) {
    TMemoryStream crlf(std::string_view("<Params>\r\n\t<A V=\"1\"/>\r\n</Params>\r\n"));
    TOrvParser a;
    crlf.Seek(5);
    LoadScrambledXML(a, crlf, GameFileKey);
    ASSERT_NE(a.FindTag("Params"), nullptr);
    EXPECT_EQ(a.FindTag("Params")->FindTag("A")->AttributeValue("V"), "1");

    // Edited by hand with bare LF line ends.
    TMemoryStream lf(std::string_view("<Params>\n\t<A V=\"2\"/>\n</Params>\n"));
    TOrvParser b;
    LoadScrambledXML(b, lf, GameFileKey);
    ASSERT_NE(b.FindTag("Params"), nullptr);
    EXPECT_EQ(b.FindTag("Params")->FindTag("A")->AttributeValue("V"), "2");
}

TEST_F(SFunctionsXML, MissingFileAndUnwritableTarget) {
    TOrvParser doc;
    EXPECT_THROW(LoadScrambledXML(doc, Path("none.xml"), GameFileKey), OrvException);
    doc.AddTag("X");
    EXPECT_THROW(SaveScrambledXML(doc, Path("no/such/dir/x.xml"), GameFileKey), OrvException);
}

}  // namespace
