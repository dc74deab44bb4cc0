#include "ParticleArt.h"

#include <cmath>

namespace forge {

bool TakesDarkRim(const std::string& name) {
    return name == "particle1.png" || name == "Spark1.png" || name == "Star1.png";
}

void AddDarkRim(TCanvas& picture, int radius) {
    const int w = picture.Width(), h = picture.Height();
    TCanvas halo = picture.Crop(0, 0, w, h);
    halo.Blur(radius, 2);
    const TColor dark = Rgb(24, 15, 20);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor& p = picture.At(x, y);
            // The rim is strongest just outside the light and never darkens
            // the light itself.
            float rim = std::min(1.0f, halo.At(x, y).A * 2.6f) * 0.85f;
            float a = p.A + rim * (1 - p.A);
            if (a <= 0) continue;
            float light = p.A / a;
            p = TColor{p.R * light + dark.R * (1 - light), p.G * light + dark.G * (1 - light),
                       p.B * light + dark.B * (1 - light), a};
        }
}

TCanvas PaintBloom(int size) {
    TCanvas c(size, size);
    // Gone a pixel inside the picture's edge, so no row of it shows.
    const float mid = size * 0.5f, r = mid - 1;
    const float floor = std::exp(-3.0f);
    c.FillRect(0, 0, size, size, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - mid, y + 0.5f - mid) / r;
        float k = d >= 1 ? 0.0f : (std::exp(-3.0f * d * d) - floor) / (1 - floor);
        return TColor{1.0f, 0.97f, 0.9f, k * 0.9f};
    });
    return c;
}

}  // namespace forge
