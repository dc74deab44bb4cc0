// The landscape kit the scene paintings are built from: sky, sun, ridges
// and mountains with lit and shaded faces, water, trees, houses, grass and
// flowers. Far parts fade toward the sky's colour, near parts carry the
// detail. Painters note the objects a layer's outline must not cut.
#pragma once

#include <string>
#include <vector>

#include "Raster.h"
#include "SceneSource.h"

namespace forge {

inline constexpr float kPi = 3.14159265f;

using TObjects = std::vector<TProtected>;

// Notes an object by its box or its circle.
void Protect(TObjects& objects, const std::string& name, float x0, float y0, float x1, float y1);
void ProtectDisc(TObjects& objects, const std::string& name, float cx, float cy, float r);

struct TSky {
    TColor Top, Horizon;
    float HorizonY;
};
// A vertical gradient from Top to Horizon with drifting clouds of the colour.
void PaintSky(TCanvas& c, const TSky& sky, TColor cloud, float clouds, uint32_t seed);
// A sun: a wide warm halo, a bright rim of light and a clean disc.
void PaintSun(TCanvas& c, float x, float y, float r, TColor disc, TColor halo);
// A ridge across the picture whose top follows a fractal line, filled down
// to the bottom; detail adds texture and slope light, snow a snow cap.
void Ridge(TCanvas& c, float base, float amp, float freq, TColor top, TColor bottom, uint32_t seed, float detail,
           float snow = 0);
// A mountain with a clear crest: the face toward the light (left) lit, the
// other in shade, rock strata, and snow above snowLine (a fraction of its
// height from the peak; 0 none). Returns nothing; the shape is
// peak (px, py), foot at baseY, half width hw.
void Mountain(TCanvas& c, float px, float py, float baseY, float hw, TColor lit, TColor shade, float snowLine,
              uint32_t seed);
// A fir standing at (x, y), hgt tall, snow 0..1 on its boughs.
void Pine(TCanvas& c, float x, float y, float hgt, TColor col, float snow = 0);
// A wood seen from afar: rows of round crowns between top and bottom, the
// back rows small and veiled in haze, the front ones larger with trunks
// under them; crowns about size pixels wide in the front row, leaves picked
// from the colours. No object is noted: a wood may be cut anywhere.
void Woodland(TCanvas& c, float top, float bottom, const std::vector<TColor>& leaves, TColor haze, float size,
              uint32_t seed);
// A round tree standing at (x, y) with crown radius r; its soft shadow on
// the ground. Returns the tree's box for protecting.
void RoundTree(TCanvas& c, float x, float y, float r, TColor leaf, uint32_t seed);
inline void ProtectTree(TObjects& o, const std::string& name, float x, float y, float r) {
    Protect(o, name, x - r * 1.45f, y - r * 2.45f, x + r * 1.45f, y + r * 0.15f);
}
void House(TCanvas& c, float x, float y, float w, float h, TColor wall, TColor roof, bool lit, uint32_t seed);
// The box a House of those measures covers (roof and side wall included).
inline void ProtectHouse(TObjects& o, const std::string& name, float x, float y, float w, float h) {
    Protect(o, name, x - w * 0.12f, y - h - w * 0.55f - w * 0.1f, x + w * 1.42f, y);
}
// Water below top: the picture above mirrored and rippled, darker toward
// deep, glinting with shine.
void Water(TCanvas& c, float top, TColor deep, TColor shine, uint32_t seed);
void Flowers(TCanvas& c, float y0, float y1, int count, const std::vector<TColor>& colours, uint32_t seed);
void Grass(TCanvas& c, float top, TColor near, TColor far, uint32_t seed);
// A band of surf: a bright broken line along the points, with a soft foam
// skirt below it.
void Surf(TCanvas& c, const TPolygon& line, float width, uint32_t seed);
// Haze: lays the colour over the band y0..y1, strongest in its middle.
void Haze(TCanvas& c, float y0, float y1, TColor col);

}  // namespace forge
