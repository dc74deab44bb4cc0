// The pictures the game's particle effects draw: soft round glows and star
// sparkles, painted from formulas so every build gives the same bytes. They
// are white with a shaped opacity, so the particles' Color and ColorValue
// tint them freely.
//
// Header-only on purpose: the content build (which packs them into the
// archive) and the effect viewer (which paints them when no files are at
// hand) both use these without linking the effects library.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "render/PictureCodec.h"

namespace fxart {

// opacity(x, y) for one pixel centre, relative to the frame centre, in
// units of the frame's half size (so the frame's edge is at distance 1).
template <class Shape>
inline void PaintFrame(TPicture& pic, int frameLeft, int frameSize, Shape shape) {
    const double half = frameSize / 2.0;
    for (int y = 0; y < frameSize; ++y)
        for (int x = 0; x < frameSize; ++x) {
            const double dx = (x + 0.5 - half) / half;
            const double dy = (y + 0.5 - half) / half;
            const double a = std::clamp(shape(dx, dy), 0.0, 1.0);
            uint8_t* p = pic.Row(y) + 4 * (frameLeft + x);
            // A faintly warm white: the core reads as light, not as paper.
            p[0] = 255;
            p[1] = static_cast<uint8_t>(std::lround(255.0 - 8.0 * (1.0 - a)));
            p[2] = static_cast<uint8_t>(std::lround(255.0 - 24.0 * (1.0 - a)));
            p[3] = static_cast<uint8_t>(std::lround(a * 255.0));
        }
}

// Brightness of a star with `points` rays turned by angle, rays of the
// given length and sharpness, over a small round core.
inline double StarShape(double dx, double dy, int points, double angle, double length, double sharp) {
    const double r = std::sqrt(dx * dx + dy * dy);
    const double th = std::atan2(dy, dx) - angle;
    // Closeness to the nearest ray direction (1 on a ray).
    const double ray = std::pow(std::fabs(std::cos(th * points / 2.0)), sharp);
    const double along = std::max(0.0, 1.0 - r / length);
    const double core = std::exp(-r * r * 22.0);
    return std::max(core, ray * along * along);
}

// A soft round glow: bright middle fading smoothly to nothing at the edge.
inline TPicture LightPoint(int size) {
    TPicture pic = TPicture::Create(size, size, 4);
    PaintFrame(pic, 0, size, [](double dx, double dy) {
        const double r = std::sqrt(dx * dx + dy * dy);
        if (r >= 1.0) return 0.0;
        const double fall = (1.0 - r) * (1.0 - r);
        return 0.25 * fall + 0.75 * std::exp(-r * r * 9.0) * (1.0 - r);
    });
    return pic;
}

// A small spark: a tight hot core with a short soft rim.
inline TPicture Particle(int size) {
    TPicture pic = TPicture::Create(size, size, 4);
    PaintFrame(pic, 0, size, [](double dx, double dy) {
        const double r2 = dx * dx + dy * dy;
        return r2 >= 1.0 ? 0.0 : std::exp(-r2 * 5.0) * (1.0 - r2);
    });
    return pic;
}

// A twinkling four-ray spark in `frames` frames side by side: the rays turn
// and grow then shrink again, so looping the frames makes it glitter.
inline TPicture Spark(int size, int frames) {
    TPicture pic = TPicture::Create(size * frames, size, 4);
    for (int f = 0; f < frames; ++f) {
        const double phase = double(f) / frames;
        const double angle = phase * std::numbers::pi / 2.0;
        const double length = 0.55 + 0.45 * std::sin(phase * std::numbers::pi);
        PaintFrame(pic, f * size, size,
                   [&](double dx, double dy) { return StarShape(dx, dy, 4, angle, length, 24.0); });
    }
    return pic;
}

// A bright star: four long rays and four short diagonal ones.
inline TPicture Star(int size) {
    TPicture pic = TPicture::Create(size, size, 4);
    PaintFrame(pic, 0, size, [](double dx, double dy) {
        const double main = StarShape(dx, dy, 4, 0.0, 1.0, 60.0);
        const double minor = StarShape(dx, dy, 4, std::numbers::pi / 4.0, 0.5, 30.0);
        const double r2 = dx * dx + dy * dy;
        const double halo = 0.35 * std::exp(-r2 * 12.0);
        return std::max({main, 0.7 * minor, halo});
    });
    return pic;
}

// A wide faint halo to sit behind brighter particles.
inline TPicture Glow(int size) {
    TPicture pic = TPicture::Create(size, size, 4);
    PaintFrame(pic, 0, size, [](double dx, double dy) {
        const double r = std::sqrt(dx * dx + dy * dy);
        if (r >= 1.0) return 0.0;
        const double s = 1.0 - r;
        return 0.6 * s * s * (3.0 - 2.0 * s);
    });
    return pic;
}

// Frames of "Spark1.png" (particle systems using it set FrameCount to this).
inline constexpr int kSparkFrames = 4;

// Every effect picture with its file name.
inline std::vector<std::pair<std::string, TPicture>> EffectPictures() {
    std::vector<std::pair<std::string, TPicture>> list;
    list.emplace_back("LightPoint1.png", LightPoint(64));
    list.emplace_back("particle1.png", Particle(20));
    list.emplace_back("Spark1.png", Spark(32, kSparkFrames));
    list.emplace_back("Star1.png", Star(40));
    list.emplace_back("Glow1.png", Glow(96));
    return list;
}

}  // namespace fxart
