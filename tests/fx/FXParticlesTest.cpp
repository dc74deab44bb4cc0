// Particle effects: reading effect files, starting, updating, finishing,
// copying prototypes, and the drawing values of particles.
#include <gtest/gtest.h>

#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "fx/OrvFXParticles.h"
#include "render/SurfEngine.h"

namespace {

// An effect file around the given parts; a linear path of 1000 ms from
// (0,0) to (100,0) is function "Line", morph "MLine" follows it.
std::string Effect(const std::string& attrs, const std::string& particles, const std::string& systems,
                   const std::string& extraFunctions = "", const std::string& extraMorphs = "") {
    return "<?xml version=\"1.0\"?>\n<ParticleEffect Name=\"Test\"" + attrs +
           "><Functions>"
           "<Function Name=\"Line\" Dim=\"2\" Type=\"piecewise\"><Script>set linear; path (0,0) (100,0);</Script>"
           "</Function>"
           "<Function Name=\"Fade\" Dim=\"1\" Type=\"piecewise\"><Script>set linear; path (1) "
           "(0);</Script></Function>" +
           extraFunctions +
           "</Functions><Morphs>"
           "<Morph Name=\"MLine\" Dim=\"2\"><Functions><Function Name=\"Line\"/></Functions></Morph>"
           "<Morph Name=\"MFade\" Dim=\"1\"><Functions><Function Name=\"Fade\"/></Functions></Morph>" +
           extraMorphs + "</Morphs><Particles>" + particles + "</Particles><ParticleSystems>" + systems +
           "</ParticleSystems></ParticleEffect>";
}

// Rides the effect's shared line on the effect's clock, fades on its own.
const std::string kDot =
    "<Particle Name=\"Dot\"><Parameter Name=\"Position\" Dim=\"2\" Morph=\"MLine\"><InitMorphs>"
    "<InitMorph Name=\"MLine\"><Property Name=\"StartTime\">T</Property></InitMorph></InitMorphs></Parameter>"
    "<Parameter Name=\"Alpha\" Dim=\"1\" Morph=\"MFade\" ClonedMorph=\"true\"/></Particle>";

std::unique_ptr<TOrvParticleEffect> Load(const std::string& xml) {
    auto fx = std::make_unique<TOrvParticleEffect>();
    fx->SetName("Test.xml");
    TMemoryStream s(xml);
    fx->LoadFromStream(s);
    return fx;
}

std::string LoadError(const std::string& xml) {
    try {
        Load(xml);
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "no error";
}

// A started copy of a loaded prototype.
std::unique_ptr<TOrvParticleEffect> Start(const TOrvParticleEffect& proto, uint32_t tick) {
    auto fx = std::make_unique<TOrvParticleEffect>();
    EXPECT_TRUE(fx->Assign(&proto));
    fx->SetStartTick(tick);
    EXPECT_TRUE(fx->Validate());
    return fx;
}

}  // namespace

TEST(FXParticles, ReadingErrors) {
    EXPECT_EQ(LoadError("<Other/>"), "\"Test.xml\" XML description has no <ParticleEffect> tag");
    EXPECT_EQ(LoadError("<ParticleEffect/>"), "Tag <ParticleEffect> has no \"Name\" attribute");
    EXPECT_EQ(LoadError("<ParticleEffect Name=\"E\"><Functions/><Morphs/><Particles/></ParticleEffect>"),
              "\"E\" XML description has no <ParticleSystems> tag");
    EXPECT_EQ(LoadError("<ParticleEffect Name=\"E\"><Morphs/></ParticleEffect>"),
              "\"E\" XML description has no <Functions> tag");
    EXPECT_EQ(LoadError(Effect("", "<Particle/>", "")), "<Particle> tag has no \"Name\" attribute");
    EXPECT_EQ(LoadError(Effect("", "<Particle Name=\"P\"><Param/></Particle>", "")),
              "<Particle> tag contains invalid tag \"Param\"");
    EXPECT_EQ(LoadError(Effect("", "<Particle Name=\"P\"><Parameter Dim=\"1\" Morph=\"MFade\"/></Particle>", "")),
              "<Parameter> tag has no \"Name\" attribute");
    EXPECT_EQ(LoadError(Effect("", "<Particle Name=\"P\"><Parameter Name=\"A\" Morph=\"MFade\"/></Particle>", "")),
              "<Parameter> tag has no \"Dim\" attribute");
    EXPECT_EQ(LoadError(Effect("", "<Particle Name=\"P\"><Parameter Name=\"A\" Dim=\"1\"/></Particle>", "")),
              "<Parameter> tag has no \"Morph\" attribute");
    EXPECT_EQ(
        LoadError(Effect("", "<Particle Name=\"P\"><Parameter Name=\"A\" Dim=\"1\" Morph=\"X\"/></Particle>", "")),
        "<Parameter> tag \"Morph\" attribute contains unknown Morph name \"X\"");
    const std::string param = "<Particle Name=\"P\"><Parameter Name=\"Alpha\" Dim=\"1\" Morph=\"MFade\">";
    EXPECT_EQ(LoadError(Effect("", param + "<InitMorphs><Init/></InitMorphs></Parameter></Particle>", "")),
              "<InitMorphs> tag contains invalid tag \"Init\"");
    EXPECT_EQ(LoadError(Effect("", param + "<InitMorphs><InitMorph/></InitMorphs></Parameter></Particle>", "")),
              "<InitMorph> tag has no \"Name\" attribute");
    EXPECT_EQ(
        LoadError(Effect("", param + "<InitMorphs><InitMorph Name=\"Q\"/></InitMorphs></Parameter></Particle>", "")),
        "<InitMorph> tag \"Name\" attribute contains unknown Morph name \"Q\"");
    EXPECT_EQ(LoadError(Effect("",
                               param + "<InitMorphs><InitMorph Name=\"MFade\"><P/></InitMorph></InitMorphs>"
                                       "</Parameter></Particle>",
                               "")),
              "<InitMorph> tag contains invalid tag <P>");
    EXPECT_EQ(LoadError(Effect("", param + "<LiveValue>(0)..(1)</LiveValue></Parameter></Particle>", "")),
              "<LiveValue> tag value \"(0)..(1)\" has invalid syntax");
    EXPECT_EQ(LoadError(Effect("", kDot, "<ParticleSystem Template=\"Dot\"/>")),
              "<ParticleSystem> tag has no \"Name\" attribute");
    EXPECT_EQ(LoadError(Effect("", kDot, "<ParticleSystem Name=\"S\"/>")),
              "<ParticleSystem> tag has no \"Template\" attribute");
    EXPECT_NE(LoadError(Effect("", kDot,
                               "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>99999999"
                               "</InitParticles></ParticleSystem>")),
              "no error");
    EXPECT_NE(LoadError(Effect("", kDot,
                               "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitInterval>/0"
                               "</InitInterval></ParticleSystem>")),
              "no error");
    // Initial settings that take their values from each other in a circle.
    EXPECT_EQ(
        LoadError(Effect("",
                         "<Particle Name=\"P\"><Parameter Name=\"Position\" Dim=\"2\" Morph=\"MLine\"><InitMorphs>"
                         "<InitMorph Name=\"MLine\"><Property Name=\"Position\">M2</Property></InitMorph>"
                         "<InitMorph Name=\"M2\"><Property Name=\"Position\">MLine</Property></InitMorph>"
                         "</InitMorphs></Parameter></Particle>",
                         "", "", "<Morph Name=\"M2\" Dim=\"2\"/>")),
        "<InitMorphs> tag contains cyclic Morph references");

    TOrvParticleEffect fx;
    TMemoryStream empty;
    try {
        fx.LoadFromStream(empty);
        FAIL();
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "Invalid effect XML stream");
    }
    // A failed load leaves an empty effect.
    EXPECT_EQ(fx.Systems().Count(), 0);
    EXPECT_EQ(fx.Morphs().Count(), 0);
}

TEST(FXParticles, UnknownTemplateSkipsSystem) {
    auto fx = Load(Effect("", kDot,
                          "<ParticleSystem Name=\"A\" Template=\"Nope\"/>"
                          "<ParticleSystem Name=\"B\" Template=\"dot\"><InitParticles>3</InitParticles>"
                          "<Resource>Spark1.png</Resource></ParticleSystem>"));
    ASSERT_EQ(fx->Systems().Count(), 1);
    EXPECT_EQ(fx->FindSystem("b")->Resource, "Spark1.png");
    EXPECT_EQ(fx->Templates().Get(0)->Params.size(), 6u);
}

TEST(FXParticles, InitialParticlesOnlyAndNeverFinishing) {
    auto proto = Load(Effect("", kDot,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>4</InitParticles>"
                             "<InitInterval>0.25</InitInterval><Position>(10,20)</Position></ParticleSystem>"));
    auto fx = Start(*proto, 1000);
    TOrvParticleSystem* s = fx->Systems().Get(0);
    ASSERT_EQ(s->ParticleCount(), 4);
    EXPECT_EQ(s->Particle(3)->Name, "Dot3");
    // Staggered along the path by 250 ms each, moved by the system's Position.
    EXPECT_NEAR(s->Particle(0)->DrawX, 10, 1e-3);
    EXPECT_NEAR(s->Particle(2)->DrawX, 60, 1e-3);
    EXPECT_NEAR(s->Particle(2)->DrawY, 20, 1e-3);
    for (uint32_t t = 1000; t <= 60000; t += 500) fx->Update(t);
    EXPECT_EQ(s->ParticleCount(), 4);
    EXPECT_EQ(fx->ParticleCount, 4);
    EXPECT_FALSE(fx->Finished());
    // Ticks before the start are ignored.
    fx->Update(10);
    EXPECT_EQ(fx->CurrentTick, 60000u);
}

TEST(FXParticles, LifetimeAndMinParticlesFinish) {
    auto proto = Load(Effect(" Lifetime=\"1.5\"", kDot,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>1</InitParticles>"
                             "</ParticleSystem>"));
    EXPECT_EQ(proto->Lifetime, 1500u);
    auto fx = Start(*proto, 5000);
    fx->Update(6500);
    EXPECT_FALSE(fx->Finished());
    fx->Update(6501);
    EXPECT_TRUE(fx->Finished());

    auto proto2 = Load(Effect(" MinParticles=\"1\"", kDot,
                              "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>2</InitParticles>"
                              "<MaxLifetime>0.5</MaxLifetime></ParticleSystem>"));
    auto fx2 = Start(*proto2, 0);
    fx2->Update(400);
    EXPECT_FALSE(fx2->Finished());
    fx2->Update(600);
    EXPECT_EQ(fx2->ParticleCount, 0);
    EXPECT_TRUE(fx2->Finished());
}

TEST(FXParticles, MinParticlesKeepsExpiredOnes) {
    auto proto = Load(Effect("", kDot,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>5</InitParticles>"
                             "<MinParticles>5</MinParticles><MaxLifetime>0.1</MaxLifetime></ParticleSystem>"));
    auto fx = Start(*proto, 0);
    fx->Update(1000);
    EXPECT_EQ(fx->ParticleCount, 5);
}

TEST(FXParticles, LiveRangeKillsParticles) {
    const std::string tmpl =
        "<Particle Name=\"Dot\"><Parameter Name=\"Position\" Dim=\"2\" Morph=\"MLine\" ClonedMorph=\"true\"/>"
        "<Parameter Name=\"Alpha\" Dim=\"1\" Morph=\"MX\" ClonedMorph=\"true\"><LiveValue>(0)-(60)</LiveValue>"
        "</Parameter></Particle>";
    auto proto = Load(Effect("", tmpl,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>1</InitParticles>"
                             "</ParticleSystem>",
                             "<Function Name=\"X\" Dim=\"1\" Type=\"piecewise\"><Script>set linear; path (-10) (110);"
                             "</Script></Function>",
                             "<Morph Name=\"MX\" Dim=\"1\"><Functions><Function Name=\"X\"/></Functions></Morph>"));
    auto fx = Start(*proto, 0);
    fx->Update(50);  // -4: below the range
    EXPECT_EQ(fx->ParticleCount, 0);
    auto fx2 = Start(*proto, 0);
    fx2->Systems().Get(0)->Particle(0)->Update(500);
    EXPECT_FALSE(fx2->Systems().Get(0)->Particle(0)->Dead);
    fx2->Systems().Get(0)->Particle(0)->Update(700);  // 74: above it
    EXPECT_TRUE(fx2->Systems().Get(0)->Particle(0)->Dead);
}

TEST(FXParticles, ThrowingAndEmission) {
    auto proto = Load(Effect("", kDot,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><ThrowInterval>0.1</ThrowInterval>"
                             "<ParticlesPerThrow>2</ParticlesPerThrow><MaxParticles>7</MaxParticles>"
                             "</ParticleSystem>"));
    auto fx = Start(*proto, 0);
    EXPECT_EQ(fx->ParticleCount, 0);
    fx->Update(99);
    EXPECT_EQ(fx->ParticleCount, 0);
    fx->Update(100);
    EXPECT_EQ(fx->ParticleCount, 2);
    for (uint32_t t = 200; t <= 1000; t += 100) fx->Update(t);
    EXPECT_EQ(fx->ParticleCount, 6);  // a throw of two more would pass 7

    auto proto2 = Load(Effect("", kDot,
                              "<ParticleSystem Name=\"S\" Template=\"Dot\"><ThrowInterval>0.1</ThrowInterval>"
                              "<EmissionInterval>1</EmissionInterval><ThrowsPerEmission>3</ThrowsPerEmission>"
                              "</ParticleSystem>"));
    auto fx2 = Start(*proto2, 0);
    std::vector<int32_t> counts;
    for (uint32_t t = 100; t <= 2000; t += 100) {
        fx2->Update(t);
        counts.push_back(fx2->ParticleCount);
    }
    // Three throws, a pause of a second after the last, three more.
    EXPECT_EQ(counts[2], 3);
    EXPECT_EQ(counts[10], 3);
    EXPECT_EQ(counts[12], 4);
    EXPECT_EQ(counts[19], 6);
}

// A particle without morphs: cheap, so the limits can be reached in a test.
const std::string kPlain = "<Particle Name=\"P\"/>";

std::string Systems(int count, const std::string& body) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "<ParticleSystem Name=\"S" + std::to_string(i) + "\" Template=\"P\">" + body + "</ParticleSystem>";
    return out;
}

TEST(FXParticles, AnEffectCannotAskForMoreParticlesThanItsLimit) {
    // Each system is within its own limit; together they are not.
    const int systems = kMaxEffectParticles / kMaxSystemParticles + 1;
    EXPECT_EQ(LoadError(Effect(
                  "", kPlain,
                  Systems(systems, "<InitParticles>" + std::to_string(kMaxSystemParticles) + "</InitParticles>"))),
              "\"Test\" XML description asks for " + std::to_string(systems * kMaxSystemParticles) +
                  " initial particles; an effect may have at most " + std::to_string(kMaxEffectParticles));

    // Systems that keep throwing stop at the effect's limit.
    auto proto = Load(Effect("", kPlain,
                             Systems(systems, "<ThrowInterval>0.01</ThrowInterval><ParticlesPerThrow>" +
                                                  std::to_string(kMaxSystemParticles) + "</ParticlesPerThrow>")));
    auto fx = Start(*proto, 0);
    for (uint32_t t = 10; t <= 100; t += 10) fx->Update(t);
    EXPECT_EQ(fx->ParticleCount, kMaxEffectParticles);
}

TEST(FXParticles, AllRunningEffectsTogetherStopAtTheProcessLimit) {
    const int64_t before = TOrvParticle::LiveCount();
    auto proto = Load(Effect("", kPlain,
                             Systems(1, "<ThrowInterval>0.01</ThrowInterval><ParticlesPerThrow>" +
                                            std::to_string(kMaxSystemParticles) + "</ParticlesPerThrow>")));
    std::vector<std::unique_ptr<TOrvParticleEffect>> running;
    for (int64_t made = 0; made <= kMaxLiveParticles; made += kMaxSystemParticles) running.push_back(Start(*proto, 0));
    for (auto& fx : running) fx->Update(10);
    EXPECT_EQ(TOrvParticle::LiveCount(), kMaxLiveParticles);
    // Freed effects give their particles back.
    running.clear();
    EXPECT_EQ(TOrvParticle::LiveCount(), before);
}

TEST(FXParticles, AnEffectDescriptionPastTheSizeLimitIsRefusedUnread) {
    std::string huge = Effect("", kPlain, "");
    huge.insert(huge.find("<Functions>"), std::string(kMaxEffectFileSize, ' '));
    EXPECT_EQ(LoadError(huge),
              "\"Test.xml\" XML description is larger than " + std::to_string(kMaxEffectFileSize) + " bytes");
}

TEST(FXParticles, DivisorSpreadsInitialParticlesAlongPath) {
    auto proto = Load(Effect("", kDot,
                             "<ParticleSystem Name=\"SContour\" Template=\"Dot\"><InitParticles>1</InitParticles>"
                             "<InitInterval>/1</InitInterval></ParticleSystem>"));
    proto->FindSystem("SContour")->SetInitParticles(10, 10);
    auto fx = Start(*proto, 0);
    TOrvParticleSystem* s = fx->FindSystem("scontour");
    EXPECT_EQ(s->InitInterval, 100u);
    ASSERT_EQ(s->ParticleCount(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(s->Particle(i)->DrawX, 10.0f * i, 1e-3);
    // The offset moves the shared path, not the particles' own fading.
    fx->Update(50);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NEAR(s->Particle(i)->DrawX, 10.0f * i + 5.0f, 1e-3);
        EXPECT_NEAR(s->Particle(i)->Value(ppAlpha).X, 0.95f, 1e-4);
    }
}

TEST(FXParticles, CopiesAreIndependentAndShareRandom) {
    const std::string tmpl =
        "<Particle Name=\"Dot\"><Parameter Name=\"Position\" Dim=\"2\" Morph=\"MR\" ClonedMorph=\"true\"/></Particle>";
    auto proto = Load(Effect("", tmpl,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>50</InitParticles>"
                             "</ParticleSystem>",
                             "<Function Name=\"FContour\" Dim=\"2\" Type=\"parabolic\"><V0>(10,0)</V0></Function>",
                             "<Morph Name=\"MR\" Dim=\"2\"><Functions><Function Name=\"FContour\" Clone=\"true\"/>"
                             "</Functions><Properties><Property Name=\"Position\">(0,0)..(100,50)</Property>"
                             "</Properties></Morph>"));
    TOrvRandom random(7);
    proto->SetRandom(&random);
    auto a = Start(*proto, 0);
    // The game sets the parabola of its copy before starting it.
    auto b = std::make_unique<TOrvParticleEffect>();
    ASSERT_TRUE(b->Assign(proto.get()));
    b->FindParabolic("FContour")->P0 = TOrvVector(1000, 1000);
    b->SetStartTick(0);
    ASSERT_TRUE(b->Validate());
    EXPECT_EQ(proto->FindParabolic("FContour")->P0, TOrvVector());
    EXPECT_EQ(a->Random(), &random);
    const TOrvParticle* pa = a->Systems().Get(0)->Particle(0);
    const TOrvParticle* pb = b->Systems().Get(0)->Particle(0);
    EXPECT_GE(pb->DrawX, 1000.0f);
    EXPECT_LT(pa->DrawX, 100.0f);
    // Each particle has its own random position.
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < 50; ++i) {
        lo = std::min(lo, a->Systems().Get(0)->Particle(i)->DrawX);
        hi = std::max(hi, a->Systems().Get(0)->Particle(i)->DrawX);
    }
    EXPECT_GT(hi - lo, 50.0f);
    // The particles move with their own clock: after a second, 10 units.
    const float x0 = pa->DrawX;
    a->Update(1000);
    EXPECT_NEAR(a->Systems().Get(0)->Particle(0)->DrawX, x0 + 10.0f, 1e-3);
}

TEST(FXParticles, InitMorphSettings) {
    const std::string tmpl =
        "<Particle Name=\"Dot\"><Parameter Name=\"Position\" Dim=\"2\" Morph=\"MLine\" ClonedMorph=\"true\">"
        "<InitMorphs><InitMorph Name=\"MLine\"><Property Name=\"Position\">(5,7)</Property>"
        "<Property Name=\"Scale\">(2,1)</Property><Property Name=\"StartTime\">T</Property></InitMorph>"
        "</InitMorphs></Parameter></Particle>";
    auto proto = Load(Effect("", tmpl,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>1</InitParticles>"
                             "</ParticleSystem>"));
    auto fx = Start(*proto, 3000);
    fx->Update(3500);
    const TOrvParticle* p = fx->Systems().Get(0)->Particle(0);
    EXPECT_NEAR(p->DrawX, 5 + 2 * 50, 1e-3);
    EXPECT_NEAR(p->DrawY, 7, 1e-3);
    // The effect's own morph was not touched: the settings went to the copy.
    EXPECT_FALSE(fx->Morphs().Find("MLine")->PositionSet);
}

TEST(FXParticles, DrawValues) {
    TOrvParticle p;
    p.Params.resize(6);
    p.DrawX = 100.4f;
    p.DrawY = 50.6f;
    p.Params[ppAlpha].Value = TOrvVector(0.5f);
    p.Params[ppColor].Value = TOrvVector(300.0f, 128.9f, -4.0f);
    p.Params[ppColorValue].Value = TOrvVector(0.999f);
    p.Params[ppFrame].Value = TOrvVector(-1.2f);
    TOrvParticleDraw d = ParticleDrawParams(p, 4, 16, 10, 5, 7, 255);
    EXPECT_EQ(d.X, 100 - 8 + 5);
    EXPECT_EQ(d.Y, 51 - 5 + 7);
    EXPECT_EQ(d.Opacity, 128);
    EXPECT_EQ(d.TintColour, 0x000080FFu);
    EXPECT_EQ(d.TintLevel, 1);  // rounds to 0 but a value below 1 always tints
    EXPECT_EQ(d.Frame, 3);
    p.Params[ppColorValue].Value = TOrvVector(1.0f);
    p.Params[ppAlpha].Value = TOrvVector(2.0f);
    d = ParticleDrawParams(p, 1, 16, 10, 0, 0, 128);
    EXPECT_EQ(d.TintLevel, 0);
    EXPECT_EQ(d.Opacity, 128);
    EXPECT_EQ(d.Frame, 0);
    p.Params[ppColorValue].Value = TOrvVector(0.0f);
    EXPECT_EQ(ParticleDrawParams(p, 1, 16, 10, 0, 0, 255).TintLevel, 255);
}

TEST(FXParticles, DrawsThroughSurfaceEngineWithinClip) {
    TSurfEngine engine(TPixelFormat::Xrgb8888(), 200, 100);
    ASSERT_TRUE(engine.CreateEmptySurface("Dest", 200, 100));
    ASSERT_TRUE(engine.CreateEmptySurface("Spark", 8, 8));
    engine.ClearSurface("Spark", 0xFF);
    engine.CreateAlphaChannel("Spark", 255);

    auto proto = Load(Effect("", kDot,
                             "<ParticleSystem Name=\"S\" Template=\"Dot\"><InitParticles>5</InitParticles>"
                             "<InitInterval>0.2</InitInterval><Resource>Spark</Resource></ParticleSystem>"));
    auto fx = Start(*proto, 0);
    const TRect clip{0, 0, 49, 99};
    DrawParticleEffect(engine, *fx, "Dest", 10, 50, &clip);
    SurfaceRecord* dest = engine.GetSurface("Dest");
    auto lit = [&](int x, int y) {
        uint8_t r, g, b;
        engine.GetPixelRGB(*dest, x, y, r, g, b);
        return r + g + b > 0;
    };
    // Particles at x 0, 20, 40, 60, 80 (+10), each drawn 8 wide centred there.
    EXPECT_TRUE(lit(10, 50));
    EXPECT_TRUE(lit(49, 50));
    EXPECT_FALSE(lit(50, 50));
    EXPECT_FALSE(lit(70, 50));
    EXPECT_TRUE(lit(30, 50));
    EXPECT_FALSE(lit(20, 50));
    EXPECT_FALSE(lit(10, 60));
}
