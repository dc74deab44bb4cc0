// The effects the player must notice, drawn with the pictures the content
// build packs (the sparks with their dark rims, the bloom) over the brightest
// and the darkest ground a scene has: snow and a night sky.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "ParticleArt.h"
#include "Raster.h"
#include "base/OrvStream.h"
#include "fx/OrvFXArt.h"
#include "fx/OrvFXParticles.h"
#include "render/SurfEngine.h"

namespace {

namespace fs = std::filesystem;

struct TGround {
    const char* Name;
    uint8_t R, G, B;
};
constexpr TGround kSnow{"snow", 238, 242, 250};
constexpr TGround kNight{"night", 18, 22, 44};

int Luma(uint8_t r, uint8_t g, uint8_t b) {
    return (77 * r + 150 * g + 29 * b) >> 8;
}

class EffectVisibility : public ::testing::Test {
protected:
    void SetUp() override {
        engine.CreateEmptySurface("Dest", 800, 600);
        engine.CreateEmptySurface("Ground", 800, 600);
        for (const auto& [name, pic] : fxart::EffectPictures()) {
            const TPicture rgba = ConvertChannels(pic, 4);
            TCanvas c(rgba.Width, rgba.Height);
            for (int y = 0; y < rgba.Height; ++y)
                for (int x = 0; x < rgba.Width; ++x) {
                    const uint8_t* p = rgba.Row(y) + 4 * x;
                    c.At(x, y) = TColor{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
                }
            if (forge::TakesDarkRim(name)) forge::AddDarkRim(c, 2);
            AddEffectPicture(engine, name, c.ToRGBA());
        }
        AddEffectPicture(engine, "Bloom1.png", forge::PaintBloom(512).ToRGBA());
    }

    // The most pixels (every second one counted) whose brightness the effect
    // moves by more than 40 of 255 from the ground, over its first 1.6 s.
    int MostSeen(const std::string& file, const TGround& ground) {
        TMemoryStream s;
        s.LoadFromFile((fs::path(MOSWICK_SOURCE_DIR) / "data" / "effects" / file).string());
        TOrvParticleEffect proto;
        proto.SetName(file);
        proto.LoadFromStream(s);
        TOrvParticleEffect fx;
        EXPECT_TRUE(fx.Assign(&proto));
        fx.SetStartTick(1000);
        fx.Validate();
        const uint32_t colour = engine.ConvertRGB(ground.R, ground.G, ground.B);
        const int groundLuma = Luma(ground.R, ground.G, ground.B);
        SurfaceRecord* back = engine.GetSurface("Ground");
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) std::memcpy(back->Bits + y * back->Pitch + 4 * x, &colour, 4);
        int most = 0;
        for (uint32_t t = 0; t <= 1600; t += 100) {
            fx.Update(1000 + t);
            engine.DrawSurface("Ground", "Dest", 0, 0);
            DrawParticleEffect(engine, fx, "Dest", 400, 300, nullptr);
            const SurfaceRecord* d = engine.GetSurface("Dest");
            int seen = 0;
            for (int y = 0; y < 600; y += 2)
                for (int x = 0; x < 800; x += 2) {
                    uint8_t r, g, b;
                    engine.GetPixelRGB(*d, x, y, r, g, b);
                    if (std::abs(Luma(r, g, b) - groundLuma) > 40) ++seen;
                }
            most = std::max(most, seen);
        }
        return most;
    }

    TSurfEngine engine{TPixelFormat::Xrgb8888(), 800, 600};
};

}  // namespace

// A spark's colour is laid over its whole picture, rim included, so a strong
// tint of a light colour washes the rim out and the spark vanishes on snow;
// the effects keep their tint low enough for the rim to stay dark.
TEST_F(EffectVisibility, PlacingArtefactAndCelebrationShowOverSnowAndNight) {
    struct TCase {
        const char* File;
        int Least;  // counted pixels, a quarter of the real number
    };
    const TCase cases[] = {{"Contour.xml", 300},
                           {"SparkleEffect.xml", 300},
                           {"SparkleFishesEffect.xml", 120},
                           {"SparkleHintEffect.xml", 120},
                           {"SceneCompleteEffect.xml", 2000}};
    for (const TCase& c : cases)
        for (const TGround& g : {kSnow, kNight})
            EXPECT_GE(MostSeen(c.File, g), c.Least) << c.File << " over " << g.Name;
}
