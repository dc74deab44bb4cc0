// The game's effect files: each one loads, starts, draws something and (for
// the one-shot effects) finishes; the ways the game changes Contour and
// FallDownEffect before starting them work.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/OrvStream.h"
#include "fx/OrvFXArt.h"
#include "fx/OrvFXParticles.h"
#include "render/SurfEngine.h"

namespace {

namespace fs = std::filesystem;

const fs::path kEffects = fs::path(MOSWICK_SOURCE_DIR) / "data" / "effects";

std::unique_ptr<TOrvParticleEffect> LoadFile(const std::string& name) {
    TMemoryStream s;
    s.LoadFromFile((kEffects / name).string());
    auto fx = std::make_unique<TOrvParticleEffect>();
    fx->SetName(name);
    fx->LoadFromStream(s);
    return fx;
}

struct Screen {
    TSurfEngine engine{TPixelFormat::Xrgb8888(), 800, 600};

    Screen() {
        engine.CreateEmptySurface("Dest", 800, 600);
        for (const auto& [name, pic] : fxart::EffectPictures()) AddEffectPicture(engine, name, pic);
    }
    // Lit pixels after drawing the effect alone at the centre.
    int Draw(const TOrvParticleEffect& fx) {
        engine.ClearSurface("Dest", 0);
        DrawParticleEffect(engine, fx, "Dest", 400, 300, nullptr);
        SurfaceRecord* d = engine.GetSurface("Dest");
        int lit = 0;
        for (int y = 0; y < 600; y += 2)
            for (int x = 0; x < 800; x += 2) {
                uint8_t r, g, b;
                engine.GetPixelRGB(*d, x, y, r, g, b);
                if (r + g + b > 30) ++lit;
            }
        return lit;
    }
};

// Runs a started effect in 20 ms steps for at most limitMs; returns the age
// at which it finished (or limitMs), the most lit pixels seen.
uint32_t RunEffect(TOrvParticleEffect& fx, Screen& screen, uint32_t limitMs, int& mostLit) {
    mostLit = 0;
    for (uint32_t t = 0; t <= limitMs; t += 20) {
        fx.Update(fx.StartTick + t);
        if (t % 200 == 0) mostLit = std::max(mostLit, screen.Draw(fx));
        if (fx.Finished()) return t;
    }
    return limitMs;
}

}  // namespace

TEST(FXData, EveryEffectFileLoadsRunsAndDraws) {
    const std::vector<std::string> oneShot = {
        "SparkleEffect.xml",   "SparkleHintEffect.xml", "SparkleFishesEffect.xml", "Contour.xml",
        "GiveScoreEffect.xml", "FallDownEffect.xml",    "SceneCompleteEffect.xml"};
    const std::vector<std::string> running = {"BonusAmulet.xml", "BonusBombPauk.xml", "ClickHereEffect.xml"};
    Screen screen;
    TOrvRandom random(2026);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kEffects)) {
        if (entry.path().extension() != ".xml") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        auto proto = LoadFile(name);
        proto->SetRandom(&random);
        auto fx = std::make_unique<TOrvParticleEffect>();
        ASSERT_TRUE(fx->Assign(proto.get()));
        fx->SetStartTick(123456);
        ASSERT_TRUE(fx->Validate());
        int lit = 0;
        const bool isOneShot = std::find(oneShot.begin(), oneShot.end(), name) != oneShot.end();
        const uint32_t end = RunEffect(*fx, screen, 6000, lit);
        EXPECT_GT(lit, 20);
        if (isOneShot) {
            EXPECT_TRUE(fx->Finished());
            EXPECT_LT(end, 4000u);
        } else {
            EXPECT_NE(std::find(running.begin(), running.end(), name), running.end()) << "unlisted effect";
            EXPECT_FALSE(fx->Finished());
            EXPECT_GT(fx->ParticleCount, 0);
        }
    }
    EXPECT_EQ(files, 10);
}

TEST(FXData, ContourTakesTheOutlineOfAPiece) {
    Screen screen;
    auto proto = LoadFile("Contour.xml");
    auto fx = std::make_unique<TOrvParticleEffect>();
    ASSERT_TRUE(fx->Assign(proto.get()));
    TOrvPiecewiseFunc* path = fx->FindPiecewise("FContour");
    ASSERT_NE(path, nullptr);
    path->BuildFromScript("set linear; path (0,0) (120,0) (60,90) (0,0); ending loop;");
    const int32_t n = FXRound(path->TotalLength) / 10;
    TOrvParticleSystem* s = fx->FindSystem("SContour");
    ASSERT_NE(s, nullptr);
    s->SetInitParticles(n, n);
    fx->SetStartTick(500);
    ASSERT_TRUE(fx->Validate());
    EXPECT_EQ(s->ParticleCount(), n);
    EXPECT_EQ(s->InitInterval, path->TotalDuration / uint32_t(n));
    // The sparks sit on the outline, spread along it.
    float minY = 1e9f, maxY = -1e9f;
    for (int i = 0; i < n; ++i) {
        minY = std::min(minY, s->Particle(i)->DrawY);
        maxY = std::max(maxY, s->Particle(i)->DrawY);
    }
    EXPECT_NEAR(minY, 0.0f, 1e-3);
    EXPECT_GT(maxY, 60.0f);
    int lit = 0;
    EXPECT_LT(RunEffect(*fx, screen, 5000, lit), 2000u);
    EXPECT_GT(lit, 20);
    // The prototype keeps its own path.
    EXPECT_NE(proto->FindPiecewise("FContour")->TotalLength, path->TotalLength);

    // An outline shorter than 10 units asks for no sparks at all (a divisor
    // of 0): nothing is divided by it and the effect still ends.
    auto tiny = std::make_unique<TOrvParticleEffect>();
    ASSERT_TRUE(tiny->Assign(proto.get()));
    tiny->FindPiecewise("FContour")->BuildFromScript("set linear; path (0,0) (2,0) (0,2) (0,0); ending loop;");
    const int32_t none = FXRound(tiny->FindPiecewise("FContour")->TotalLength) / 10;
    ASSERT_EQ(none, 0);
    tiny->FindSystem("SContour")->SetInitParticles(none, none);
    tiny->SetStartTick(0);
    ASSERT_TRUE(tiny->Validate());
    EXPECT_EQ(tiny->FindSystem("SContour")->ParticleCount(), 0);
    EXPECT_LT(RunEffect(*tiny, screen, 5000, lit), 2000u);
}

TEST(FXData, FallDownFollowsTheGamesParabola) {
    auto proto = LoadFile("FallDownEffect.xml");
    auto fx = std::make_unique<TOrvParticleEffect>();
    ASSERT_TRUE(fx->Assign(proto.get()));
    TOrvParabolicFunc* f = fx->FindParabolic("FContour");
    ASSERT_NE(f, nullptr);
    f->P0 = TOrvVector(300, 200);
    f->V0 = TOrvVector(100, -50);
    f->A = TOrvVector(0, 400);
    fx->SetStartTick(1000);
    ASSERT_TRUE(fx->Validate());
    fx->Update(1500);
    const TOrvParticle* p = fx->FindSystem("SFall")->Particle(0);
    ASSERT_NE(p, nullptr);
    EXPECT_NEAR(p->DrawX, 350.0f, 1e-2);
    EXPECT_NEAR(p->DrawY, 200.0f - 25.0f + 100.0f, 1e-2);
}

TEST(FXData, EffectPicturesAreSoftLightsOnNothing) {
    const auto pictures = fxart::EffectPictures();
    ASSERT_EQ(pictures.size(), 5u);
    for (const auto& [name, pic] : pictures) {
        SCOPED_TRACE(name);
        ASSERT_EQ(pic.Channels, 4);
        const int frames = name == "Spark1.png" ? fxart::kSparkFrames : 1;
        ASSERT_EQ(pic.Width, pic.Height * frames);
        for (int f = 0; f < frames; ++f) {
            const int left = f * pic.Height;
            // Clear at the corners, bright in the middle of every frame.
            EXPECT_EQ(pic.Row(0)[4 * left + 3], 0);
            EXPECT_EQ(pic.Row(pic.Height - 1)[4 * (left + pic.Height - 1) + 3], 0);
            EXPECT_GT(pic.Row(pic.Height / 2)[4 * (left + pic.Height / 2) + 3], 150);
        }
    }
}
