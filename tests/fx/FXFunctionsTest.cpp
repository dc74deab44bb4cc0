// Morph functions: path scripts and their timing, values and derivatives of
// the three kinds, vector text reading.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "fx/OrvFXBase.h"

namespace {

std::unique_ptr<TOrvPiecewiseFunc> Path(const std::string& script, int dim = 2) {
    auto f = std::make_unique<TOrvPiecewiseFunc>();
    f->Dim = static_cast<uint8_t>(dim);
    f->BuildFromScript(script);
    return f;
}

void ExpectVec(const TOrvVector& v, float x, float y, float z = 0.0f, float eps = 1e-3f) {
    EXPECT_NEAR(v.X, x, eps);
    EXPECT_NEAR(v.Y, y, eps);
    EXPECT_NEAR(v.Z, z, eps);
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "no error";
}

}  // namespace

TEST(FXFunctions, LinearPathTiming) {
    auto f = Path("set linear; path (0,0) (10,0);");
    ASSERT_EQ(f->Segments.size(), 1u);
    EXPECT_EQ(f->Segments[0].Kind, skLinear);
    EXPECT_EQ(f->TotalDuration, 1000u);
    EXPECT_FLOAT_EQ(f->TotalLength, 10.0f);
    ExpectVec(f->GetValue(500, false), 5, 0);
    ExpectVec(f->GetValue(500, true), 10, 0);
    ExpectVec(f->GetValue(0, false), 0, 0);
    ExpectVec(f->GetValue(1000, false), 10, 0);
}

TEST(FXFunctions, SpeedAndPointTimings) {
    EXPECT_EQ(Path("set timing +0.01; set linear; path (0,0) (10,0);")->TotalDuration, 1000u);
    // A point's own timing overrides the current one; seconds round to ms.
    auto f = Path("set linear; set timing 0.5; path (0,0)\"0.2504\" (10,0)\"+0.1\" (30,0) (40,0);");
    ASSERT_EQ(f->Segments.size(), 3u);
    EXPECT_EQ(f->Segments[0].Duration, 250u);
    EXPECT_EQ(f->Segments[1].Duration, 200u);  // 20 units at 0.1 per ms
    EXPECT_EQ(f->Segments[2].Duration, 500u);
    EXPECT_EQ(f->TotalDuration, 950u);
    ExpectVec(f->GetValue(350, false), 20, 0);
    // A zero speed gives a zero duration without dividing by it.
    EXPECT_EQ(Path("set linear; set timing +0; path (0,0) (10,0);")->TotalDuration, 0u);
}

TEST(FXFunctions, EndingModes) {
    const std::string path = "set linear; path (0,0) (10,0); ";
    auto loop = Path(path + "ending loop;");
    ExpectVec(loop->GetValue(2500, false), 5, 0);
    auto rev = Path(path + "ending reverse;");
    ExpectVec(rev->GetValue(1500, false), 5, 0);
    ExpectVec(rev->GetValue(1250, false), 7.5f, 0);
    ExpectVec(rev->GetValue(2250, false), 2.5f, 0);
    auto rs = Path(path + "ending reversestop (1, 2, 3);", 3);
    ExpectVec(rs->GetValue(1500, false), 5, 0);
    ExpectVec(rs->GetValue(2500, false), 1, 2, 3);
    auto stop = Path(path + "ending stop (7,8);");
    ExpectVec(stop->GetValue(1001, false), 7, 8);
    ExpectVec(stop->GetValue(1001, true), 0, 0);
    // Without an ending statement the path stops and rests at the origin.
    ExpectVec(Path(path)->GetValue(5000, false), 0, 0);
}

TEST(FXFunctions, ZeroDurationPathsStayFinite) {
    for (const char* ending : {"loop", "reverse", "stop", "reversestop"}) {
        auto f = Path(std::string("set timing 0; path (0,0)..(10,5)..(20,0); ending ") + ending + ";");
        EXPECT_EQ(f->TotalDuration, 0u);
        for (int32_t t : {-5, 0, 1, 100000}) {
            const TOrvVector v = f->GetValue(t, false);
            const TOrvVector d = f->GetValue(t, true);
            EXPECT_TRUE(std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(d.X) && std::isfinite(d.Y));
        }
    }
}

TEST(FXFunctions, StatementsAndErrors) {
    // Text after the last ";" is ignored, so is a path without its ";".
    auto f = Path("set linear; path (0,0) (10,0); path (20,0)");
    EXPECT_EQ(f->Segments.size(), 1u);
    EXPECT_THROW(Path("set linear; path (0,0) (10,0)"), OrvException);
    EXPECT_THROW(Path(""), OrvException);
    EXPECT_THROW(Path("path (0,0);"), OrvException);
    EXPECT_THROW(Path("jump (0,0) (1,1);"), OrvException);
    EXPECT_THROW(Path("path (0,0) (1,1 ;"), OrvException);
    EXPECT_THROW(Path("path (0,0)[abc] (1,1);"), OrvException);
    EXPECT_THROW(Path("set timing x; path (0,0) (1,1);"), OrvException);
    // Keywords ignore case, line breaks and tabs are blanks.
    auto g = Path("SET\tLinear;\r\nPATH (0,0)\n(0,10);\nENDING Loop;");
    EXPECT_EQ(g->Segments[0].Kind, skLinear);
    EXPECT_EQ(g->Ending, peLoop);
    // A failed build leaves an empty function, never half a path.
    auto h = Path("path (0,0) (5,5);");
    EXPECT_THROW(h->BuildFromScript("path (0,0) (5,5); bogus;"), OrvException);
    EXPECT_TRUE(h->Segments.empty());
    EXPECT_EQ(h->TotalDuration, 0u);
}

TEST(FXFunctions, VectorText) {
    ExpectVec(StrToVector("(1, 2.5, -3)"), 1, 2.5f, -3);
    ExpectVec(StrToVector(" 4 "), 4, 0);
    ExpectVec(StrToVector("x(1,2)y"), 1, 2);
    EXPECT_EQ(ErrorOf([] { StrToVector("(1,2,3,4)"); }), "\"(1,2,3,4)\" string-to-vector convertation failed");
    EXPECT_EQ(ErrorOf([] { StrToVector("()"); }), "\"()\" string-to-vector convertation failed");
    EXPECT_THROW(StrToVector("(1,,2)"), OrvException);
    EXPECT_THROW(StrToVector("(nan)"), OrvException);
    EXPECT_THROW(StrToVector("(1e99)"), OrvException);
}

TEST(FXFunctions, StraightBezierAndPointCount) {
    auto f = Path("path (0,0)..(30,0);");
    ExpectVec(f->GetValue(500, false), 15, 0);
    EXPECT_NEAR(f->TotalLength, 30.0f, 1e-3f);
    EXPECT_EQ(f->PointCount, 2);
    // A closed square: the first point counts once.
    auto sq = Path("set linear; path (0,0) (10,0) (10,10) (0,10) (0,0);");
    EXPECT_EQ(sq->PointCount, 4);
    EXPECT_NEAR(sq->TotalLength, 40.0f, 1e-4f);
}

TEST(FXFunctions, BezierIsSmoothAndDerivativeMatches) {
    auto f = Path("path (0,0) (100,50) (200,0) (250,100);");
    ASSERT_EQ(f->Segments.size(), 3u);
    // The curve passes its points.
    ExpectVec(f->GetValue(1000, false), 100, 50);
    ExpectVec(f->GetValue(2000, false), 200, 0);
    // Inner points join without a kink: the handles on both sides line up.
    for (size_t i = 0; i + 1 < f->Segments.size(); ++i) {
        const TOrvVector in = VecNormalize(VecSub(f->Segments[i].P3, f->Segments[i].P2));
        const TOrvVector out = VecNormalize(VecSub(f->Segments[i + 1].P1, f->Segments[i + 1].P0));
        ExpectVec(in, out.X, out.Y, 0, 1e-4f);
    }
    // The derivative is with respect to the segment fraction.
    for (int32_t t : {100, 1370, 2900}) {
        const TOrvVector a = f->GetValue(t - 1, false), b = f->GetValue(t + 1, false);
        const TOrvVector d = f->GetValue(t, true);
        EXPECT_NEAR(d.X, (b.X - a.X) / 0.002f, 0.5f);
        EXPECT_NEAR(d.Y, (b.Y - a.Y) / 0.002f, 0.5f);
    }
    // Its length agrees with a fine polyline.
    double len = 0;
    TOrvVector prev = f->GetValue(0, false);
    for (int32_t t = 1; t <= 3000; ++t) {
        const TOrvVector p = f->GetValue(t, false);
        len += VecLength(VecSub(p, prev));
        prev = p;
    }
    EXPECT_NEAR(f->TotalLength, len, 0.05);
    // Angles and corrections change the handles.
    auto g = Path("path (0,0) (100,50)[30,10]{2} (200,0) (250,100);");
    EXPECT_NE(g->Segments[0].P2, f->Segments[0].P2);
    EXPECT_NE(g->Segments[1].P1, f->Segments[1].P1);
}

// The handles at each point, worked out by hand from the chords: belt timings
// written as speeds follow the curve lengths, so a wrong handle shifts them.
TEST(FXFunctions, HandlesFollowTheChords) {
    auto expectSeg = [](const TOrvSegment& s, TOrvVector p1, TOrvVector p2) {
        ExpectVec(s.P1, p1.X, p1.Y, 0, 2e-3f);
        ExpectVec(s.P2, p2.X, p2.Y, 0, 2e-3f);
    };
    // Inner point with the longer chord before it; both open ends mirror
    // the handle next to them across the chord's perpendicular.
    auto f = Path("set timing +0.1; path (0,0) (100,0) (100,50);");
    ASSERT_EQ(f->Segments.size(), 2u);
    expectSeg(f->Segments[0], {21.029f, -34.026f}, {78.971f, -34.026f});
    expectSeg(f->Segments[1], {110.515f, 17.013f}, {110.515f, 32.987f});
    EXPECT_NEAR(f->Segments[0].Length, 117.238f, 2e-3f);
    EXPECT_NEAR(f->Segments[1].Length, 53.121f, 2e-3f);
    EXPECT_EQ(f->Segments[0].Duration, 1172u);
    EXPECT_EQ(f->Segments[1].Duration, 531u);
    EXPECT_EQ(f->TotalDuration, 1703u);
    // The same path backwards (the shorter chord first) gives the mirror image.
    auto b = Path("path (100,50) (100,0) (0,0);");
    expectSeg(b->Segments[0], {110.515f, 32.987f}, {110.515f, 17.013f});
    expectSeg(b->Segments[1], {78.971f, -34.026f}, {21.029f, -34.026f});
    // The first angle turns the incoming handle: (x cos a + y sin a, -x sin a + y cos a).
    auto t = Path("path (0,0) (100,0)[90,0] (100,50);");
    ExpectVec(t->Segments[0].P2, 65.974f, 21.029f, 0, 2e-3f);
    ExpectVec(t->Segments[1].P1, 110.515f, 17.013f, 0, 2e-3f);
    // The position correction scales the handles at its point.
    auto k = Path("path (0,0) (100,0){0.5} (100,50);");
    ExpectVec(k->Segments[0].P2, 89.485f, -17.013f, 0, 2e-3f);
    ExpectVec(k->Segments[1].P1, 105.257f, 8.507f, 0, 2e-3f);
    // A closed path joins smoothly at its first point too.
    auto sq = Path("path (0,0) (100,0) (100,100) (0,100) (0,0);");
    ASSERT_EQ(sq->Segments.size(), 4u);
    expectSeg(sq->Segments[0], {28.284f, -28.284f}, {71.716f, -28.284f});
    expectSeg(sq->Segments[3], {-28.284f, 71.716f}, {-28.284f, 28.284f});
    // A linear neighbour points the Bezier handle along the straight chord.
    auto m = Path("path (0,0)--(100,0)..(100,50);");
    ExpectVec(m->Segments[1].P1, 120.0f, 0.0f, 0, 2e-3f);
    ExpectVec(m->Segments[1].P2, 120.0f, 50.0f, 0, 2e-3f);
    ExpectVec(m->Segments[0].P2, 66.667f, 0.0f, 0, 2e-3f);
}

TEST(FXFunctions, HugeAndDegenerateCoordinatesTerminate) {
    auto f = Path("path (0,0) (3e38,-3e38) (-3e38,3e38) (0,0);");
    EXPECT_EQ(f->Segments.size(), 3u);
    auto g = Path("path (5,5) (5,5) (5,5);");
    ExpectVec(g->GetValue(1500, false), 5, 5);
    EXPECT_THROW(Path("set timing +1e-5; path (0,0)--(3e38,0)--(-3e38,0);"), OrvException);
}

TEST(FXFunctions, PathParametersMovePoints) {
    auto f = Path("set linear; path (0,0) (10,0) (20,0);");
    EXPECT_EQ(f->ParamIndex("Weight"), 0);
    EXPECT_EQ(f->ParamIndex("P[1]"), 2);
    f->SetParamByName("[1]", TOrvVector(10, 10));
    ExpectVec(f->GetValue(1000, false), 10, 10);
    ExpectVec(f->GetValue(500, false), 5, 5);
    EXPECT_NEAR(f->TotalLength, 2 * std::sqrt(200.0f), 1e-3f);
    EXPECT_EQ(ErrorOf([&] { f->SetParam(9, TOrvVector()); }),
              "Invalid TOrvPiecewiseFunc function \"OrvPiecewiseFunc_Default\" parameter index 9");
    EXPECT_EQ(ErrorOf([&] { f->ParamIndex("Speed"); }),
              "Invalid TOrvPiecewiseFunc function \"OrvPiecewiseFunc_Default\" parameter \"Speed\"");
}

TEST(FXFunctions, PeriodicValueAndDerivative) {
    TOrvPeriodicFunc f;
    f.Dim = 2;
    f.ReadParams(0, "(g1=2; a1=3; b1=0.5; c=1)");
    f.ReadParams(1, "(G1=1; a1=2; a2=1.5; b2=0.2; g3=0.7; a3=4; b3=0.1; unknown=9)");
    EXPECT_FALSE(f.Comp[0].AmplitudeModulation);
    EXPECT_TRUE(f.Comp[1].AmplitudeModulation);
    EXPECT_TRUE(f.Comp[1].PhaseModulation);
    const double s = 0.75;
    const TOrvVector v = f.GetValue(750, false);
    EXPECT_NEAR(v.X, 2 * std::sin(3 * s + 0.5) + 1, 1e-5);
    EXPECT_NEAR(v.Y, std::sin(2 * s + 0.7 * std::sin(4 * s + 0.1)) * std::sin(1.5 * s + 0.2), 1e-5);
    const TOrvVector d = f.GetValue(750, true);
    const TOrvVector a = f.GetValue(749, false), b = f.GetValue(751, false);
    EXPECT_NEAR(d.X, (b.X - a.X) / 0.002, 1e-2);
    EXPECT_NEAR(d.Y, (b.Y - a.Y) / 0.002, 1e-2);
    EXPECT_THROW(f.ReadParams(0, "(g1)"), OrvException);
    EXPECT_EQ(f.ParamIndex("b3"), 8);
    f.SetParam(9, TOrvVector(5, 6));
    EXPECT_FLOAT_EQ(f.Comp[1].C, 6.0f);
}

TEST(FXFunctions, ParabolicValueAndDerivative) {
    TOrvParabolicFunc f;
    f.SetParamByName("P0", TOrvVector(100, 200));
    f.SetParamByName("V0", TOrvVector(10, -50));
    f.SetParamByName("A", TOrvVector(0, 100));
    ExpectVec(f.GetValue(2000, false), 120, 200 - 100 + 400);
    ExpectVec(f.GetValue(2000, true), 10, -50 + 400);
    EXPECT_THROW(f.SetParam(4, TOrvVector()), OrvException);
}

TEST(FXFunctions, FunctionElements) {
    TOrvParser doc;
    doc.LoadFromString(
        "<Functions>"
        "<Function Name=\"P\" Dim=\"2\" Type=\"piecewise\"><Script>set linear; path (0,0) (4,0);</Script></Function>"
        "<Function Name=\"S\" Dim=\"1\" Type=\"periodic\"><XParam>(g1=3)</XParam></Function>"
        "<Function Dim=\"3\" Type=\"parabolic\"><P0>(1,2,3)</P0><A>(0,10,0)</A></Function>"
        "</Functions>");
    TOrvMorphFuncLib lib;
    lib.LoadFromXML(*doc.FindTag("Functions"));
    ASSERT_EQ(lib.Count(), 3);
    EXPECT_FALSE(lib.Get(0)->Owned);
    EXPECT_EQ(lib.IndexOf("p"), 0);
    EXPECT_EQ(lib.Get(2)->Name(), "OrvParabolicFunc_Default");
    ExpectVec(lib.Find("P")->GetValue(250, false), 1, 0);
    ExpectVec(lib.Get(2)->GetValue(1000, false), 1, 12, 3);

    auto load = [](const std::string& xml) {
        TOrvParser d;
        d.LoadFromString(xml);
        CreateMorphFuncFromXML(*d.GetTag(0));
    };
    EXPECT_EQ(ErrorOf([&] { load("<Function Type=\"periodic\"/>"); }), "<Function> tag has no \"Dim\" attribute");
    EXPECT_EQ(ErrorOf([&] { load("<Function Dim=\"1\"/>"); }), "<Function> tag has no \"Type\" attribute");
    EXPECT_EQ(ErrorOf([&] { load("<Function Dim=\"1\" Type=\"Periodic\"/>"); }),
              "Invalid <Function> tag \"Type\" attribute value");
    EXPECT_THROW(load("<Function Dim=\"7\" Type=\"periodic\"/>"), OrvException);
}
