// Feeds arbitrary shape tables and scene documents to their loaders. Input:
// four little-endian 32-bit lengths, then the points, fragments, shapes and
// kinds entries of those lengths, then a scene document (the rest). Whatever
// loads is then played for a few seconds of game time with pieces taken,
// turned, fitted and placed, so an index that slipped past the loader's
// checks shows up as a crash here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "game/PlayLevel.h"

namespace {

class TSizes : public IPlayEvents {
public:
    TPoint PictureSize(const std::string& name) const override {
        return name.empty() ? TPoint{0, 0} : TPoint{int32_t(name.size() * 7 % 90), int32_t(name.size() * 13 % 70)};
    }
};

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void Play(const TShapeTables& tables, TScene&& scene, TOrvRandom& random) {
    TGameParams params;
    params.AccelerationMax = 40;
    params.AccelerationStep = 4;
    TSizes events;
    TPlayLevel level(tables, params, random, events);
    level.NewGame(2);
    level.TakeScene(std::move(scene));
    level.StartLevel(0);
    for (int frame = 0; frame < 600 && level.State != 4; ++frame) {
        level.Step(level.Now + 16);
        if (level.State != 1 || frame % 20 != 0) continue;
        if (!level.HasHeld()) {
            for (const int32_t id : level.Layer()->BeltIds)
                for (const TFishka& f : level.Scene.Belts[size_t(id)].BeltFishkas)
                    if (f.BornTime <= level.Now && !f.IsBonus()) {
                        const TPoint s = level.ToScreen(f.CenterX, f.CenterY);
                        level.LeftClick(s.X, s.Y);
                        break;
                    }
            continue;
        }
        const int32_t shape = level.Held()->FType;
        if (frame % 60 == 0) level.RightClick(level.MouseX, level.MouseY, frame % 120 == 0);
        const auto places = level.Placements(shape, 4);
        if (!places.empty()) {
            const TPoint c = tables.Shape(shape).Center;
            const TPoint s = level.ToScreen(places[0].Position.X + c.X, places[0].Position.Y + c.Y);
            level.MouseMove(s.X, s.Y);
        }
        level.LeftClick(level.MouseX, level.MouseY);
        if (frame % 200 == 0) level.ClearFirstBelt();
    }
    (void)level.RescueShape();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) return 0;
    size_t at = 16;
    std::string_view parts[4];
    for (int i = 0; i < 4; ++i) {
        const size_t n = U32(data + 4 * i);
        if (n > size - at) return 0;
        parts[i] = std::string_view(reinterpret_cast<const char*>(data + at), n);
        at += n;
    }
    TShapeTables tables;
    try {
        tables.LoadFromBytes(parts[0], parts[1], parts[2], parts[3]);
    } catch (const OrvException&) {
        return 0;
    }
    for (int32_t i = 0; i < int32_t(tables.Fragments().size()); ++i) {
        std::string why;
        if (tables.FragmentUsable(i, why)) (void)tables.FragmentAnchor(i);
    }
    TOrvParser doc;
    TScene scene;
    TOrvRandom random(size);
    try {
        doc.LoadFromString(std::string_view(reinterpret_cast<const char*>(data + at), size - at));
        scene.LoadFromDocument(doc, "Fuzz.xml", tables, random);
    } catch (const OrvException&) {
        if (!scene.Empty()) std::abort();  // a refused scene is left empty
        return 0;
    }
    Play(tables, std::move(scene), random);
    return 0;
}
