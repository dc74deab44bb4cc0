// Feeds arbitrary bytes to the effect loader; whatever it accepts is copied,
// started, run for a few seconds of effect time and drawn. Nothing may crash,
// hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/OrvException.h"
#include "base/OrvRandom.h"
#include "base/OrvStream.h"
#include "fx/OrvFXParticles.h"
#include "render/PictureCodec.h"
#include "render/SurfEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream input(std::string_view(reinterpret_cast<const char*>(data), size));
    TOrvParticleEffect proto;
    try {
        proto.LoadFromStream(input);
    } catch (const OrvException&) {
        return 0;
    }
    TOrvRandom random(size);
    proto.SetRandom(&random);
    TOrvParticleEffect fx;
    if (!fx.Assign(&proto)) return 0;
    fx.SetStartTick(0xFFFFF000u);  // the tick counter wraps while it runs
    fx.Validate();

    TSurfEngine engine(TPixelFormat::Xrgb8888(), 64, 48);
    engine.CreateEmptySurface("Dest", 64, 48);
    TPicture dot = TPicture::Create(6, 5, 4, 200);
    for (int32_t i = 0; i < fx.Systems().Count(); ++i)
        if (TOrvParticleSystem* s = fx.Systems().Get(i))
            if (!s->Resource.empty() && engine.FindSurface(s->Resource) < 0) AddEffectPicture(engine, s->Resource, dot);

    for (uint32_t step = 0; step < 40; ++step) {
        fx.Update(0xFFFFF000u + step * 97u);
        DrawParticleEffect(engine, fx, "Dest", 32, 24, nullptr);
        if (fx.Finished() || fx.ParticleCount > 4000) break;
    }
    return 0;
}
