// Morphs and rotators: weighted sums, properties (constants, ranges, bound
// morphs), times, copying, and the three-dimensional rotation chain.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "fx/OrvFXBase.h"

namespace {

void ExpectVec(const TOrvVector& v, float x, float y, float z = 0.0f, float eps = 1e-3f) {
    EXPECT_NEAR(v.X, x, eps);
    EXPECT_NEAR(v.Y, y, eps);
    EXPECT_NEAR(v.Z, z, eps);
}

// A function library and morph library read from XML fragments.
struct Libs {
    TOrvMorphFuncLib funcs;
    TOrvMorphLib morphs;
    TOrvRandom random{42};

    Libs(const std::string& functionsXml, const std::string& morphsXml) {
        morphs.FuncLib = &funcs;
        morphs.Random = &random;
        TOrvParser f;
        f.LoadFromString("<Functions>" + functionsXml + "</Functions>");
        funcs.LoadFromXML(*f.FindTag("Functions"));
        TOrvParser m;
        m.LoadFromString("<Morphs>" + morphsXml + "</Morphs>");
        morphs.LoadFromXML(*m.FindTag("Morphs"));
    }
};

const std::string kLine =
    "<Function Name=\"Line\" Dim=\"2\" Type=\"piecewise\"><Script>set linear; path (0,0) (100,0);</Script></Function>"
    "<Function Name=\"Up\" Dim=\"2\" Type=\"piecewise\"><Script>set linear; path (0,0) (0,10);</Script></Function>";

}  // namespace

TEST(FXMorph, WeightedSumScaleRotationPosition) {
    Libs l(kLine,
           "<Morph Name=\"M\" Dim=\"2\"><Functions><Function Name=\"Line\"/><Function Name=\"Up\" Weight=\"0.5\"/>"
           "</Functions></Morph>");
    TOrvMorph* m = l.morphs.Find("m");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->FunctionCount(), 2);
    ExpectVec(m->GetValue2(500, false), 50, 2.5f);
    m->SetScale(TOrvVector(2, 3));
    ExpectVec(m->GetValue2(500, false), 100, 7.5f);
    m->SetRotation(TOrvVector(static_cast<float>(std::numbers::pi / 2)));
    ExpectVec(m->GetValue2(500, false), 7.5f, -100);
    m->SetPosition(TOrvVector(1000, 1000));
    ExpectVec(m->GetValue2(500, false), 1007.5f, 900);
    // A derivative turns but is not moved.
    ExpectVec(m->GetValue2(500, true), 15, -200);
}

TEST(FXMorph, PropertiesConstantsRangesAndZeroScale) {
    Libs l(kLine,
           "<Morph Name=\"Z\" Dim=\"2\"><Functions><Function Name=\"Line\"/></Functions>"
           "<Properties><Property Name=\"Scale\">(0,0,0)</Property><Property Name=\"Position\">(5,6)</Property>"
           "</Properties></Morph>"
           "<Morph Name=\"R\" Dim=\"2\"><Functions><Function Name=\"Line\" Clone=\"true\"/></Functions>"
           "<Properties><Property Name=\"Position\">(0,0)..(10,10)</Property>"
           "<Property Name=\"Line.Weight\">(2)..(2)</Property></Properties></Morph>");
    TOrvMorph* z = l.morphs.Find("Z");
    ASSERT_TRUE(z->Validate());
    EXPECT_FALSE(z->ScaleSet);
    ExpectVec(z->GetValue2(1000, false), 105, 6);

    TOrvMorph* r = l.morphs.Find("R");
    ASSERT_EQ(r->Bindings.size(), 2u);
    EXPECT_EQ(r->Bindings[0].Mode, smRange);
    EXPECT_EQ(r->Bindings[1].Mode, smConstant);
    double sum = 0;
    float lo = 100, hi = -100;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(r->Validate());
        lo = std::min(lo, r->Position.X);
        hi = std::max(hi, r->Position.X);
        sum += r->Position.X;
        ASSERT_GE(r->Position.Y, 0.0f);
        ASSERT_LT(r->Position.Y, 10.0f);
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LT(hi, 10.0f);
    EXPECT_NEAR(sum / 2000, 5.0, 0.3);
    // The clone's weight was set, the library's function stays as it was.
    EXPECT_FLOAT_EQ(r->Function(0)->Weight, 2.0f);
    EXPECT_FLOAT_EQ(l.funcs.Find("Line")->Weight, 1.0f);
}

TEST(FXMorph, TimesAndBoundMorphs) {
    Libs l(kLine,
           "<Morph Name=\"A\" Dim=\"2\" StartTime=\"500\"><Functions><Function Name=\"Line\"/></Functions></Morph>"
           "<Morph Name=\"B\" Dim=\"2\"><Functions><Function Name=\"Up\"/></Functions>"
           "<Properties><Property Name=\"Position\">A</Property><Property Name=\"StartTime\">250</Property>"
           "</Properties></Morph>");
    TOrvMorph* a = l.morphs.Find("A");
    ExpectVec(a->GetValue2(500, false), 0, 0);
    ExpectVec(a->GetValue2(1000, false), 50, 0);
    TOrvMorph* b = l.morphs.Find("B");
    ASSERT_EQ(b->BoundMorphs.size(), 1u);
    ASSERT_TRUE(b->Validate());
    // StartTime sets the time offset of B and of the morph it follows.
    EXPECT_EQ(b->TimeOffset(), 250);
    EXPECT_EQ(a->TimeOffset(), 250);
    // B's position follows A at the same time.
    ExpectVec(b->GetValue2(500, false), 25, 7.5f);
    ExpectVec(b->GetValue2(750, false), 50, 10);
}

TEST(FXMorph, ReadingErrors) {
    auto err = [](const std::string& morphs) {
        try {
            Libs l(kLine, morphs);
        } catch (const OrvException& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(err("<Morph Dim=\"2\"/>"), "<Morph> tag has no \"Name\" attribute");
    EXPECT_EQ(err("<Morph Name=\"M\"/>"), "<Morph> tag has no \"Dim\" attribute");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Functions><Func/></Functions></Morph>"),
              "<Functions> tag contains invalid child tag <Func>");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Functions><Function/></Functions></Morph>"),
              "<Function> tag has no \"Name\" attribute");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Functions><Function Name=\"Nope\"/></Functions></Morph>"),
              "<Function> tag \"Name\" attribute contains unknown Function name \"Nope\"");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Properties><Prop/></Properties></Morph>"),
              "Morph + \"M\" <Properties> tag contains invalid tag \"Prop\"");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Properties><Property>1</Property></Properties></Morph>"),
              "<Property> tag has no \"Name\" attribute");
    EXPECT_EQ(
        err("<Morph Name=\"M\" Dim=\"2\"><Properties><Property Name=\"Colour\">1</Property></Properties></Morph>"),
        "<Property> tag \"Name\" attribute has invalid value \"Colour\"");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Properties><Property Name=\"F.Weight\">1</Property></Properties>"
                  "</Morph>"),
              "<Property> tag \"Name\" attribute value contains unknown Function name \"F\"");
    EXPECT_EQ(err("<Morph Name=\"M\" Dim=\"2\"><Functions><Function Name=\"Line\"/></Functions><Properties>"
                  "<Property Name=\"Line.Speed\">1</Property></Properties></Morph>"),
              "Invalid TOrvPiecewiseFunc function \"Line\" parameter \"Speed\"");
    // A function of another dimension is refused.
    EXPECT_NE(err("<Morph Name=\"M\" Dim=\"1\"><Functions><Function Name=\"Line\"/></Functions></Morph>"), "no error");
    // A morph cannot follow itself (it is not in the library while read).
    EXPECT_NE(err("<Morph Name=\"M\" Dim=\"2\"><Properties><Property Name=\"Position\">M</Property></Properties>"
                  "</Morph>"),
              "no error");
}

TEST(FXMorph, DeepBindingChainsAreRefused) {
    std::string morphs = "<Morph Name=\"M0\" Dim=\"2\"/>";
    for (int i = 1; i < 20; ++i) {
        // Each morph follows the previous one twice over: the evaluation cost doubles.
        morphs += "<Morph Name=\"M" + std::to_string(i) + "\" Dim=\"2\"><Functions/><Properties>";
        morphs += "<Property Name=\"Position\">M" + std::to_string(i - 1) + "</Property>";
        if (i > 1) morphs += "<Property Name=\"Scale\">M" + std::to_string(i - 2) + "</Property>";
        morphs += "</Properties></Morph>";
    }
    EXPECT_THROW(Libs(kLine, morphs), OrvException);
}

TEST(FXMorph, AssignClonesOwnedAndSharesLibraryFunctions) {
    Libs l(kLine,
           "<Morph Name=\"Src\" Dim=\"2\"><Functions><Function Name=\"Line\" Clone=\"true\" Weight=\"3\"/>"
           "<Function Name=\"Up\"/></Functions></Morph>");
    const TOrvMorph* src = l.morphs.Find("Src");
    TOrvMorph copy;
    ASSERT_TRUE(copy.Assign(src));
    ASSERT_EQ(copy.FunctionCount(), 2);
    EXPECT_TRUE(copy.FunctionOwned(0));
    EXPECT_NE(copy.Function(0), src->Function(0));
    EXPECT_FLOAT_EQ(copy.Function(0)->Weight, 3.0f);
    EXPECT_EQ(copy.Function(1), l.funcs.Find("Up"));
    ExpectVec(copy.GetValue2(1000, false), 300, 10);

    // A whole library copy keeps working after the original is gone.
    auto lib2 = std::make_unique<TOrvMorphFuncLib>();
    ASSERT_TRUE(lib2->Assign(&l.funcs));
    TOrvMorphLib morphs2;
    morphs2.FuncLib = lib2.get();
    ASSERT_TRUE(morphs2.Assign(&l.morphs));
    EXPECT_EQ(morphs2.Get(0)->Function(1), lib2->Find("Up"));
    EXPECT_EQ(morphs2.Get(0)->Name(), "Src");
}

TEST(FXMorph, PathFunctionForBelts) {
    TOrvMorph belt;
    EXPECT_EQ(belt.Name(), "OrvMorph_Default");
    ASSERT_EQ(belt.AddPathFunction("Lenta", "set linear; set timing +0.1; path (0,0) (30,40) (30,0);"), 0);
    auto* f = dynamic_cast<TOrvPiecewiseFunc*>(belt.Function(0));
    ASSERT_NE(f, nullptr);
    EXPECT_FLOAT_EQ(f->TotalLength, 90.0f);
    EXPECT_EQ(f->TotalDuration, 900u);
    ExpectVec(belt.GetValue2(250, false), 15, 20);
    EXPECT_THROW(belt.AddPathFunction("Bad", "path;"), OrvException);
    EXPECT_EQ(belt.FunctionCount(), 1);
    TOrvMorph one;
    one.SetDim(1);
    EXPECT_EQ(one.AddFunction(f), -1);
    one.SetDim(7);
    EXPECT_EQ(one.Dim(), 1);
}

TEST(FXMorph, RotatorPatterns) {
    TOrvMorph m;
    m.SetDim(3);
    ASSERT_EQ(m.Rotator.Steps.size(), 3u);
    m.AddPathFunction("X", "set linear; path (0,0,0) (10,0,0);");
    m.SetRotation(TOrvVector(0, 0, static_cast<float>(std::numbers::pi / 2)));
    ExpectVec(m.GetValue3(1000, false), 0, 10, 0);
    // A rotation about a translated point, then a fixed turn about X.
    m.AddPropertyText("RotationPattern", "(10,0,0); z[3]; x=1.5707963");
    ASSERT_EQ(m.Rotator.Steps.size(), 2u);
    EXPECT_EQ(m.Rotator.Steps[0].Axis, 'Z');
    m.SetRotation(TOrvVector(0, 0, static_cast<float>(std::numbers::pi)));
    // (0,0,0) turns half round (10,0,0) to (20,0,0); then X leaves it.
    m.Position = TOrvVector();
    TOrvMorph probe;
    probe.SetDim(3);
    probe.AddPathFunction("P", "set linear; path (0,0,0) (0,0,0)--(0,5,0);");
    probe.Rotator.Assign(&m.Rotator);
    probe.RotationMatrix = m.Rotator.Matrix;
    probe.RotationSet = true;
    ExpectVec(probe.GetValue3(0, false), 20, 0, 0);
    ExpectVec(probe.GetValue3(2000, false), 20, 0, -5);
    EXPECT_EQ(
        [&] {
            try {
                m.AddPropertyText("RotationPattern", "Q");
            } catch (const OrvException& e) {
                return e.Message();
            }
            return std::string();
        }(),
        "Invalid base axis value \"Q\"");
    EXPECT_THROW(m.AddPropertyText("RotationPattern", "X[4]"), OrvException);
    m.AddPropertyText("RotationPattern", "");
    EXPECT_FALSE(m.RotationSet);
}

TEST(FXMorph, CopyKeepsOwnPathsAndReportsFailedItems) {
    // A belt's path is the morph's own: a copy must keep it even though no
    // library has a function of that name.
    TOrvMorph belt;
    belt.AddPathFunction("Lenta", "set linear; path (0,0) (0,300);");
    TOrvMorph copy;
    ASSERT_TRUE(copy.Assign(&belt));
    ASSERT_EQ(copy.FunctionCount(), 1);
    EXPECT_NE(copy.Function(0), belt.Function(0));
    ExpectVec(copy.GetValue2(500, false), 0, 150);

    // A library names the items that fail to start.
    TOrvMorphFuncLib funcs;
    TOrvMorphLib lib;
    lib.FuncLib = &funcs;
    auto bad = std::make_unique<TOrvMorph>();
    bad->SetName("Broken");
    bad->AddPathFunction("P", "set linear; path (0,0) (1,1);");
    bad->AddPropertyText("P.[7]", "(1,1)");  // there is no point 7
    lib.Add(std::move(bad));
    EXPECT_FALSE(lib.Validate());
    ASSERT_EQ(lib.ValidateErrors().size(), 1u);
    EXPECT_EQ(lib.ValidateErrors()[0], "\"TOrvMorph.Broken\" initialization failed");
}
