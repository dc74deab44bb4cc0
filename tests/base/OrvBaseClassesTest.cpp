#include "base/OrvBaseClasses.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/BlendingMode.h"
#include "base/OrvException.h"

namespace {

enum TAnchor { akLeft, akTop, akRight, akBottom };
inline constexpr std::string_view AnchorNames[] = {"akLeft", "akTop", "akRight", "akBottom"};
// More names than a byte has bits.
inline constexpr std::string_view WideNames[] = {"w0", "w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8"};

// A control-like test class with one property of every kind.
class TTestControl : public TOrvObject {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    std::string Caption;
    int32_t Left = 0;
    uint8_t Alpha = 255;
    uint32_t Color = 0;
    int32_t Percent = 0;
    double Scale = 1.0;
    float Speed = 0.0f;
    TBlendingMode BlendingMode = bmNormal;
    uint32_t Anchors = 0;
    std::string Metrics;

    bool Visible() const { return visible_; }
    void SetVisible(bool value) {
        visible_ = value;
        ++redraws;
    }
    const std::string& Picture() const { return picture_; }
    void SetPicture(const std::string& value) {
        if (value == "broken") throw OrvException("cannot load picture broken");
        picture_ = value;
    }
    int Width() const { return 40; }
    void SetMetrics(const std::string& value) { Metrics = "parsed:" + value; }

    int redraws = 0;

private:
    bool visible_ = true;
    std::string picture_;
};

const TOrvPropTable& TTestControl::ClassPropTable() {
    static const TOrvPropTable table =
        TOrvPropTable::Build<TTestControl>("TTestControl", &TOrvObject::ClassPropTable(), [](auto& p) {
            p.String("Caption", &TTestControl::Caption);
            p.Integer("Left", &TTestControl::Left);
            p.Integer("Alpha", &TTestControl::Alpha);
            p.Integer("Color", &TTestControl::Color);
            p.IntegerRange("Percent", &TTestControl::Percent, nullptr, 0, 100);
            p.Float("Scale", &TTestControl::Scale);
            p.Float("Speed", &TTestControl::Speed);
            p.Boolean("Visible", &TTestControl::Visible, &TTestControl::SetVisible);
            p.Enum("BlendingMode", &TTestControl::BlendingMode, BlendingModeNames);
            p.SetOf("Anchors", &TTestControl::Anchors, AnchorNames);
            p.String("Picture", &TTestControl::Picture, &TTestControl::SetPicture);
            p.Integer("Width", &TTestControl::Width);
            p.WriteOnlyString("Metrics", &TTestControl::SetMetrics);
        });
    return table;
}

// A subclass that inherits everything and redeclares one property.
class TTestButton : public TTestControl {
public:
    static const TOrvPropTable& ClassPropTable();
    const TOrvPropTable& PropTable() const override { return ClassPropTable(); }

    bool Checked = false;
    TAnchor Side = akLeft;
    void SetSide(TAnchor value) { Side = value == akBottom ? akTop : value; }
    uint8_t Narrow = 0;
    uint8_t Edges = 0;
    void SetEdges(uint8_t value) { Edges = value | 1u; }
};

const TOrvPropTable& TTestButton::ClassPropTable() {
    static const TOrvPropTable table =
        TOrvPropTable::Build<TTestButton>("TTestButton", &TTestControl::ClassPropTable(), [](auto& p) {
            p.Boolean("Checked", &TTestButton::Checked);
            p.IntegerRange("Alpha", &TTestButton::Alpha, nullptr, 10, 20);
            p.Enum("Side", &TTestButton::Side, &TTestButton::SetSide, AnchorNames);
            p.SetOf("Edges", &TTestButton::Edges, &TTestButton::SetEdges, AnchorNames);
            p.SetOf("Narrow", &TTestButton::Narrow, WideNames);
        });
    return table;
}

// An engine with its own registry, so tests do not depend on what the
// process-wide one holds.
struct EngineFixture : ::testing::Test {
    EngineFixture() : engine(&classes) {
        classes.Register<TTestControl>("TTestControl");
        classes.Register<TTestButton>("TTestButton");
    }
    TOrvClassReg classes;
    TOrvEngine engine;
};

std::string SetError(TOrvEngine& engine, const std::string& obj, const std::string& prop, const std::string& value) {
    try {
        engine.SetProp(obj, prop, value);
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST_F(EngineFixture, CreateFindAndNameUniqueness) {
    EXPECT_EQ(engine.CreateObject("A", "", "TTestControl"), 0);
    EXPECT_EQ(engine.CreateObject("B", "A", "TTestButton"), 1);
    EXPECT_EQ(engine.FindObject("a"), nullptr);
    ASSERT_NE(engine.FindObject("B"), nullptr);
    EXPECT_EQ(engine.FindObject("B")->Engine, &engine);
    EXPECT_EQ(engine.FindObject("B")->ParentName, "A");
    EXPECT_EQ(engine.FindObject("B")->ClassName(), "TTestButton");
    EXPECT_NE(engine.FindObjectAs<TTestControl>("B"), nullptr);
    EXPECT_EQ(engine.FindObjectAs<TTestButton>("A"), nullptr);

    TOrvObject* b = engine.FindObject("B");
    try {
        b->SetName("A");
        FAIL() << "duplicate name accepted";
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "[TOrvBaseClasses.SetName] The name \"A\" is present !");
    }
    EXPECT_EQ(b->Name(), "B");
    EXPECT_NO_THROW(b->SetName("B"));
    b->SetName("C");
    EXPECT_EQ(engine.IndexOfName("C"), 1);
    // Renaming goes through SetName when done as a property too.
    EXPECT_THROW(engine.SetProp("C", "name", "A"), OrvException);

    // A duplicate at creation: the error reaches the caller, the object stays unnamed.
    EXPECT_THROW(engine.CreateObject("A", "", "TTestControl"), OrvException);
    EXPECT_EQ(engine.Count(), 3);
    EXPECT_EQ(engine.GetObject(2)->Name(), "");
}

TEST_F(EngineFixture, UnknownClassesCreateNothing) {
    EXPECT_EQ(engine.CreateObject("X", "", "TOrvInterfaceObject"), -1);
    EXPECT_EQ(engine.CreateObject("X", "", "ttestcontrol"), -1);
    EXPECT_EQ(engine.Count(), 0);
    EXPECT_EQ(engine.CreateObject("X", "", "TOrvObject"), 0);
    classes.Register<TTestButton>("TTestControl");  // a second registration is ignored
    EXPECT_EQ(engine.CreateObject("Y", "", "TTestControl"), 1);
    EXPECT_EQ(engine.GetObject(1)->ClassName(), "TTestControl");
    EXPECT_NE(TOrvClassReg::Instance().FindClass("TOrvObject"), nullptr);
}

TEST_F(EngineFixture, DeleteMovesLaterObjectsAndClearsLinks) {
    engine.CreateObject("P", "", "TTestControl");
    engine.CreateObject("C1", "P", "TTestControl");
    engine.CreateObject("C2", "Nobody", "TTestControl");
    engine.CreateObject("C3", "C1", "TTestControl");
    engine.ResolveParents();
    EXPECT_EQ(engine.FindObject("C3")->ParentObject, engine.FindObject("C1"));
    engine.DeleteObject(std::string("C3"));
    EXPECT_EQ(engine.FindObject("C1")->ParentObject, engine.FindObject("P"));
    EXPECT_EQ(engine.FindObject("C2")->ParentObject, nullptr);

    engine.DeleteObject(0);
    EXPECT_EQ(engine.IndexOfName("C1"), 0);
    EXPECT_EQ(engine.FindObject("C1")->ParentObject, nullptr);
    engine.DeleteObject(-1);
    engine.DeleteObject(2);
    engine.DeleteObject(std::string("missing"));
    EXPECT_EQ(engine.Count(), 2);
    engine.DeleteObject(std::string("C2"));
    EXPECT_EQ(engine.Count(), 1);
    engine.Clear();
    EXPECT_EQ(engine.Count(), 0);
    engine.DeleteObject(0);
    EXPECT_EQ(engine.AddObject(nullptr), -1);
}

TEST_F(EngineFixture, PropertyNamesAnyCaseAndBooleanSpellings) {
    engine.CreateObject("W", "", "TTestControl");
    auto* w = static_cast<TTestControl*>(engine.FindObject("W"));
    for (const char* text : {"false", "False", "FALSE"}) {
        w->SetVisible(true);
        EXPECT_TRUE(engine.SetProp("W", "visible", text));
        EXPECT_FALSE(w->Visible()) << text;
    }
    EXPECT_TRUE(engine.SetProp("W", "VISIBLE", " TRUE "));
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(w->redraws, 7);  // the setter ran for every assignment
    EXPECT_NE(SetError(engine, "W", "Visible", "1").find("neither True nor False"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Visible", "yes").find("\"Visible\" of class TTestControl"), std::string::npos);
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(engine.GetProp("W", "visible").ToString(), "True");
}

TEST_F(EngineFixture, MissingObjectOrPropertyAndReadWriteOnly) {
    engine.CreateObject("W", "", "TTestControl");
    EXPECT_FALSE(engine.SetProp("w", "Visible", "false"));
    EXPECT_TRUE(engine.GetProp("nobody", "Visible").IsEmpty());
    EXPECT_EQ(SetError(engine, "W", "Visibility", "false"),
              "[TOrvPropertyWork.SetPropValue] Class TTestControl has no property \"Visibility\"!");
    EXPECT_THROW(engine.GetProp("W", "Visibility"), OrvException);
    EXPECT_NE(SetError(engine, "W", "Width", "10").find("read-only"), std::string::npos);
    EXPECT_EQ(engine.GetProp("W", "Width").AsInteger(), 40);
    EXPECT_TRUE(engine.SetProp("W", "metrics", "a;b"));
    EXPECT_EQ(static_cast<TTestControl*>(engine.FindObject("W"))->Metrics, "parsed:a;b");
    EXPECT_THROW(engine.GetProp("W", "Metrics"), OrvException);
}

TEST_F(EngineFixture, IntegerConversionAndRanges) {
    engine.CreateObject("W", "", "TTestControl");
    auto* w = static_cast<TTestControl*>(engine.FindObject("W"));
    engine.SetProp("W", "Left", "-25");
    EXPECT_EQ(w->Left, -25);
    engine.SetProp("W", "Left", " +7 ");
    EXPECT_EQ(w->Left, 7);
    engine.SetProp("W", "Color", "4294967295");
    EXPECT_EQ(w->Color, 4294967295u);
    engine.SetProp("W", "Color", "$FF00");
    EXPECT_EQ(w->Color, 0xFF00u);
    engine.SetProp("W", "Alpha", "0");
    EXPECT_EQ(w->Alpha, 0);

    // Each bad value is an error and the property keeps its old value.
    EXPECT_NE(SetError(engine, "W", "Alpha", "256").find("out of range 0..255"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Alpha", "-1").find("out of range"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Left", "12px").find("is not an integer"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Left", "").find("is not an integer"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Left", "1.5").find("is not an integer"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Left", "2147483648").find("out of range"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Left", "99999999999999999999").find("is not an integer"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Color", "-1").find("out of range"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Percent", "101").find("out of range 0..100"), std::string::npos);
    EXPECT_EQ(w->Alpha, 0);
    EXPECT_EQ(w->Left, 7);
    EXPECT_EQ(w->Color, 0xFF00u);

    int64_t v = 0;
    EXPECT_TRUE(TryTextToInteger("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_FALSE(TryTextToInteger("9223372036854775808", v));
    EXPECT_FALSE(TryTextToInteger("-", v));
    EXPECT_FALSE(TryTextToInteger("0x", v));
    EXPECT_TRUE(TryTextToInteger("0x7fffffffffffffff", v));
    EXPECT_EQ(v, INT64_MAX);
}

TEST_F(EngineFixture, FloatsEnumerationsAndSets) {
    engine.CreateObject("W", "", "TTestControl");
    auto* w = static_cast<TTestControl*>(engine.FindObject("W"));
    engine.SetProp("W", "Scale", "2.5e1");
    EXPECT_DOUBLE_EQ(w->Scale, 25.0);
    engine.SetProp("W", "speed", "-0.5");
    EXPECT_FLOAT_EQ(w->Speed, -0.5f);
    EXPECT_NE(SetError(engine, "W", "Scale", "1,5").find("is not a number"), std::string::npos);
    EXPECT_DOUBLE_EQ(w->Scale, 25.0);
    EXPECT_EQ(engine.GetProp("W", "Scale").ToString(), "25");

    engine.SetProp("W", "BlendingMode", "bmaddblend");
    EXPECT_EQ(w->BlendingMode, bmAddBlend);
    EXPECT_EQ(engine.GetProp("W", "BlendingMode").ToString(), "bmAddBlend");
    EXPECT_EQ(engine.GetProp("W", "BlendingMode").Kind(), TOrvVariant::TKind::vkString);
    EXPECT_NE(SetError(engine, "W", "BlendingMode", "bmFancy").find("is not one of bmNormal"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "BlendingMode", "1").find("is not one of"), std::string::npos);
    EXPECT_EQ(w->BlendingMode, bmAddBlend);

    engine.SetProp("W", "Anchors", "[akLeft, AKBOTTOM]");
    EXPECT_EQ(w->Anchors, (1u << akLeft) | (1u << akBottom));
    EXPECT_EQ(engine.GetProp("W", "Anchors").ToString(), "[akLeft,akBottom]");
    engine.SetProp("W", "Anchors", "[]");
    EXPECT_EQ(w->Anchors, 0u);
    engine.SetProp("W", "Anchors", "akTop");
    EXPECT_EQ(w->Anchors, 1u << akTop);
    EXPECT_NE(SetError(engine, "W", "Anchors", "[akTop,akMiddle]").find("is not a set of"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Anchors", "[akTop").find("is not a set of"), std::string::npos);
    EXPECT_NE(SetError(engine, "W", "Anchors", "[akTop,]").find("is not a set of"), std::string::npos);
    EXPECT_EQ(w->Anchors, 1u << akTop);
}

TEST_F(EngineFixture, SetterFailureAndInheritedTables) {
    engine.CreateObject("B", "", "TTestButton");
    auto* b = static_cast<TTestButton*>(engine.FindObject("B"));
    engine.SetProp("B", "Picture", "ok");
    EXPECT_THROW(engine.SetProp("B", "Picture", "broken"), OrvException);
    EXPECT_EQ(b->Picture(), "ok");

    // Inherited from the base table, including TOrvObject's own.
    engine.SetProp("B", "caption", "Hello");
    engine.SetProp("B", "tag", "-3");
    engine.SetProp("B", "ParentName", "W");
    engine.SetProp("B", "Checked", "true");
    EXPECT_EQ(b->Caption, "Hello");
    EXPECT_EQ(b->Tag, -3);
    EXPECT_EQ(b->ParentName, "W");
    EXPECT_TRUE(b->Checked);
    // The redeclared property takes the subclass's range; the base class keeps its own.
    EXPECT_THROW(engine.SetProp("B", "Alpha", "100"), OrvException);
    engine.SetProp("B", "Alpha", "15");
    EXPECT_EQ(b->Alpha, 15);
    engine.CreateObject("W", "", "TTestControl");
    EXPECT_NO_THROW(engine.SetProp("W", "Alpha", "100"));
    EXPECT_THROW(engine.SetProp("W", "Checked", "true"), OrvException);

    const auto all = b->PropTable().All();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[0]->Name, "ParentName");
    int alphas = 0;
    for (const TOrvPropInfo* p : all)
        if (p->Name == "Alpha") {
            ++alphas;
            EXPECT_EQ(p->MaxValue, 20);
        }
    EXPECT_EQ(alphas, 1);
    EXPECT_EQ(all.back()->Name, "Narrow");
    // Enumeration and set setters run like any other.
    engine.SetProp("B", "Side", "akBottom");
    EXPECT_EQ(b->Side, akTop);
    engine.SetProp("B", "Edges", "[akRight]");
    EXPECT_EQ(engine.GetProp("B", "Edges").ToString(), "[akLeft,akRight]");
    engine.SetProp("B", "Narrow", "[w0,w7]");
    EXPECT_EQ(b->Narrow, 0x81);
    EXPECT_THROW(engine.SetProp("B", "Narrow", "[w8]"), OrvException);
    EXPECT_EQ(b->Narrow, 0x81);
    EXPECT_TRUE(IsPublishedProp(*b, "CHECKED"));
}

TEST_F(EngineFixture, AssignCopiesTagAndEngine) {
    engine.CreateObject("A", "", "TTestControl");
    engine.FindObject("A")->Tag = 9;
    TTestControl loose;
    loose.Assign(engine.FindObject("A"));
    EXPECT_EQ(loose.Tag, 9);
    EXPECT_EQ(loose.Engine, &engine);
    loose.Assign(nullptr);
    EXPECT_EQ(loose.Tag, 9);
    // An object outside any engine can be named freely.
    TTestControl alone;
    alone.SetName("A");
    EXPECT_EQ(alone.Name(), "A");
}

TEST(OrvVariant, KindsAndConversions) {
    EXPECT_TRUE(TOrvVariant().IsEmpty());
    EXPECT_EQ(TOrvVariant().ToString(), "");
    EXPECT_EQ(TOrvVariant::FromInteger(-12).ToString(), "-12");
    EXPECT_EQ(TOrvVariant::FromFloat(0.1).ToString(), "0.1");
    EXPECT_EQ(TOrvVariant::FromBoolean(false).ToString(), "False");
    EXPECT_EQ(TOrvVariant::FromString("42").AsInteger(), 42);
    EXPECT_TRUE(TOrvVariant::FromString("TRUE").AsBoolean());
    EXPECT_DOUBLE_EQ(TOrvVariant::FromString("1.25").AsFloat(), 1.25);
    EXPECT_THROW(TOrvVariant::FromString("x").AsInteger(), OrvException);
    EXPECT_THROW(TOrvVariant::FromString("x").AsFloat(), OrvException);
    EXPECT_THROW(TOrvVariant::FromString("x").AsBoolean(), OrvException);
    EXPECT_EQ(TOrvVariant::FromString("a"), TOrvVariant::FromString("a"));
    EXPECT_NE(TOrvVariant::FromString("1"), TOrvVariant::FromInteger(1));
}
