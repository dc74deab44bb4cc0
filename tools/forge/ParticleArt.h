// The content build's touches to the particle pictures: a dark rim under
// the white sparks so they read over snow and sky as well as over night,
// and the bloom of the scene celebration.
#pragma once

#include <string>

#include "Raster.h"

namespace forge {

// Whether the effect picture of that name gets a dark rim: the small sparks
// and stars do; the soft glows, which only ever brighten, do not.
bool TakesDarkRim(const std::string& name);

// Lays a soft dark rim, radius pixels wide, under the light of the picture
// (frames side by side keep to their own frame, as the rim stays within
// the transparent margin each frame has).
void AddDarkRim(TCanvas& picture, int radius);

// "Bloom1.png": a large warm white glow, fully clear at its edge, that the
// scene celebration swells over the finished painting.
TCanvas PaintBloom(int size);

}  // namespace forge
