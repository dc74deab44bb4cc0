// Speed of the surface engine's drawing against pixman, SDL2's blitter and
// memcpy of the same bytes. Every benchmark reports pixels as items, so the
// items_per_second column reads as pixels per second.
//
// Scenes: a whole 800x600 frame, and 500 sprites of 64x64 scattered over the
// frame. Alpha planes: "noise" (random bytes everywhere, the worst case) and
// "sprite" (a soft-edged disc: large fully transparent and fully opaque
// areas, what real pictures look like).
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Display.h"
#include "render/SurfEngine.h"

namespace {

constexpr int kFrameW = 800;
constexpr int kFrameH = 600;
constexpr int kSprite = 64;
constexpr int kSpriteCount = 500;

enum TScene { scFrame, scSprites };
enum TAlpha { alNoise, alSprite };

std::vector<uint8_t> MakeAlpha(int w, int h, TAlpha kind, std::mt19937& rng) {
    std::vector<uint8_t> a(static_cast<size_t>(w) * h);
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, r = std::min(w, h) * 0.45;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v;
            if (kind == alNoise) {
                v = static_cast<uint8_t>(rng());
            } else {
                double d = std::hypot(x - cx, y - cy) - r;  // 3-pixel soft edge
                v = d <= -1.5 ? 255 : d >= 1.5 ? 0 : static_cast<uint8_t>(255 * (1.5 - d) / 3.0);
            }
            a[static_cast<size_t>(y) * w + x] = v;
        }
    return a;
}

struct TPlacement {
    int X = 0;
    int Y = 0;
};

std::vector<TPlacement> Placements(TScene scene) {
    if (scene == scFrame) return {TPlacement{0, 0}};
    std::mt19937 rng(99);
    std::vector<TPlacement> out(kSpriteCount);
    for (TPlacement& p : out) {
        p.X = static_cast<int>(rng() % (kFrameW - kSprite));
        p.Y = static_cast<int>(rng() % (kFrameH - kSprite));
    }
    return out;
}

int SourceSide(TScene scene, bool height) {
    if (scene == scSprites) return kSprite;
    return height ? kFrameH : kFrameW;
}

int64_t PixelsPerIteration(TScene scene) {
    return scene == scFrame ? int64_t(kFrameW) * kFrameH : int64_t(kSprite) * kSprite * kSpriteCount;
}

// An engine with a destination frame "dst", a picture "src" with an alpha
// plane, and "B"/"C" frames for the saturating addition.
struct TEngineScene {
    std::unique_ptr<TSurfEngine> Engine;
    std::vector<TPlacement> Places;

    TEngineScene(const TPixelFormat& format, TScene scene, TAlpha alpha, TSimdPath path) {
        std::mt19937 rng(5);
        Engine = std::make_unique<TSurfEngine>(format, kFrameW, kFrameH);
        Engine->SetSimdPath(path);
        const int sw = SourceSide(scene, false), sh = SourceSide(scene, true);
        Engine->CreateEmptySurface("dst", kFrameW, kFrameH);
        Engine->CreateEmptySurface("src", sw, sh);
        Engine->CreateEmptySurface("B", kFrameW, kFrameH);
        Engine->CreateEmptySurface("C", kFrameW, kFrameH);
        for (const char* name : {"dst", "src", "B", "C"}) {
            SurfaceRecord& s = *Engine->GetSurface(name);
            for (int i = 0; i < s.Pitch * s.Height; ++i) s.Bits[i] = static_cast<uint8_t>(rng());
        }
        SurfaceRecord& src = *Engine->GetSurface("src");
        src.AlphaMap = MakeAlpha(sw, sh, alpha, rng);
        src.AlphaStride = sw;
        Places = Placements(scene);
    }
};

TPixelFormat FormatOf(int bpp) {
    return bpp == 32 ? TPixelFormat::Xrgb8888() : TPixelFormat::Rgb565();
}

const char* PathName(TSimdPath p) {
    return p == spScalar ? "scalar" : p == spSSE2 ? "sse2" : "avx2";
}

const char* SceneName(TScene s) {
    return s == scFrame ? "frame800x600" : "sprites64x500";
}

const char* AlphaName(TAlpha a) {
    return a == alNoise ? "noise" : "sprite";
}

enum TOp { opCopy, opAlpha255, opAlpha128, opTint, opAddBlend, opRect };

const char* OpName(TOp op) {
    switch (op) {
        case opCopy:
            return "copy";
        case opAlpha255:
            return "alpha_op255";
        case opAlpha128:
            return "alpha_op128";
        case opTint:
            return "alpha_tint";
        case opAddBlend:
            return "addblend";
        case opRect:
            return "rect";
    }
    return "?";
}

void RunEngine(benchmark::State& state, int bpp, TScene scene, TAlpha alpha, TSimdPath path, TOp op) {
    TEngineScene s(FormatOf(bpp), scene, alpha, path);
    TSurfEngine& e = *s.Engine;
    const TRect spriteRect{0, 0, kSprite, kSprite};
    for (auto _ : state) {
        for (const TPlacement& p : s.Places) {
            switch (op) {
                case opCopy:
                    e.DrawSurface("src", "dst", p.X, p.Y);
                    break;
                case opAlpha255:
                    e.DrawWithAlphaChannel("src", "dst", p.X, p.Y, 255);
                    break;
                case opAlpha128:
                    e.DrawWithAlphaChannel("src", "dst", p.X, p.Y, 128);
                    break;
                case opTint:
                    e.DrawWithAlphaChannel("src", "dst", p.X, p.Y, 200, nullptr, 0x3080FF, 128);
                    break;
                case opAddBlend: {
                    TRect r = scene == scFrame ? TRect{0, 0, kFrameW, kFrameH}
                                               : TRect{p.X, p.Y, p.X + spriteRect.Right, p.Y + spriteRect.Bottom};
                    e.AddBlend("dst", "B", "C", &r, &r);
                    break;
                }
                case opRect: {
                    TRect r = scene == scFrame ? TRect{0, 0, kFrameW, kFrameH}
                                               : TRect{p.X, p.Y, p.X + kSprite, p.Y + kSprite};
                    e.DrawRect("dst", r, 0x204060, 100);
                    break;
                }
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PixelsPerIteration(scene));
}

// memcpy of the bytes the drawing touches (row by row, as a blit does).
void RunMemcpy(benchmark::State& state, int bpp, TScene scene) {
    TEngineScene s(FormatOf(bpp), scene, alSprite, spScalar);
    SurfaceRecord& dst = *s.Engine->GetSurface("dst");
    SurfaceRecord& src = *s.Engine->GetSurface("src");
    const int b = bpp / 8;
    for (auto _ : state) {
        for (const TPlacement& p : s.Places)
            for (int y = 0; y < src.Height; ++y)
                std::memcpy(dst.Bits + (p.Y + y) * dst.Pitch + p.X * b, src.Bits + y * src.Pitch,
                            static_cast<size_t>(src.Width) * b);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PixelsPerIteration(scene));
}

// pixman, 32-bit only: x8r8g8b8 with an a8 mask (the alpha plane), or a
// premultiplied a8r8g8b8 picture with a solid mask (the opacity), OVER an
// x8r8g8b8 frame.
void RunPixman(benchmark::State& state, TScene scene, TAlpha alpha, bool solidMask) {
    std::mt19937 rng(5);
    const int sw = SourceSide(scene, false), sh = SourceSide(scene, true);
    std::vector<uint32_t> dstBits(static_cast<size_t>(kFrameW) * kFrameH), srcBits(static_cast<size_t>(sw) * sh);
    for (auto& v : dstBits) v = rng();
    std::vector<uint8_t> a = MakeAlpha(sw, sh, alpha, rng);
    const int maskStride = (sw + 3) / 4 * 4;
    std::vector<uint8_t> maskBits(static_cast<size_t>(maskStride) * sh);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            uint32_t m = a[static_cast<size_t>(y) * sw + x];
            uint32_t c = rng() & 0xFFFFFF;
            if (solidMask) {
                // Premultiply the colour by its alpha.
                uint32_t r = ((c >> 16) & 0xFF) * m / 255, g = ((c >> 8) & 0xFF) * m / 255, bl = (c & 0xFF) * m / 255;
                srcBits[static_cast<size_t>(y) * sw + x] = m << 24 | r << 16 | g << 8 | bl;
            } else {
                srcBits[static_cast<size_t>(y) * sw + x] = c;
                maskBits[static_cast<size_t>(y) * maskStride + x] = static_cast<uint8_t>(m);
            }
        }
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameW, kFrameH, dstBits.data(), kFrameW * 4);
    pixman_image_t* src =
        pixman_image_create_bits(solidMask ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, sw, sh, srcBits.data(), sw * 4);
    pixman_image_t* mask = nullptr;
    if (solidMask) {
        pixman_color_t colour{0, 0, 0, static_cast<uint16_t>(128 * 257)};
        mask = pixman_image_create_solid_fill(&colour);
    } else {
        mask = pixman_image_create_bits(PIXMAN_a8, sw, sh, reinterpret_cast<uint32_t*>(maskBits.data()), maskStride);
    }
    std::vector<TPlacement> places = Placements(scene);
    for (auto _ : state) {
        for (const TPlacement& p : places)
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, p.X, p.Y, sw, sh);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(mask);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    state.SetItemsProcessed(state.iterations() * PixelsPerIteration(scene));
}

// pixman's saturating ADD of a frame onto the frame (nearest to AddBlend)
// and OVER of a translucent solid colour (nearest to DrawRect), 32-bit.
void RunPixmanSolid(benchmark::State& state, TScene scene, bool add) {
    std::mt19937 rng(5);
    std::vector<uint32_t> dstBits(static_cast<size_t>(kFrameW) * kFrameH), srcBits(dstBits.size());
    for (auto& v : dstBits) v = rng();
    for (auto& v : srcBits) v = rng();
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameW, kFrameH, dstBits.data(), kFrameW * 4);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameW, kFrameH, srcBits.data(), kFrameW * 4);
    const int w = scene == scFrame ? kFrameW : kSprite, h = scene == scFrame ? kFrameH : kSprite;
    const pixman_color_t colour{static_cast<uint16_t>(0x60 * 257 * 100 / 255),
                                static_cast<uint16_t>(0x40 * 257 * 100 / 255),
                                static_cast<uint16_t>(0x20 * 257 * 100 / 255), static_cast<uint16_t>(100 * 257)};
    std::vector<TPlacement> places = Placements(scene);
    for (auto _ : state) {
        for (const TPlacement& p : places) {
            if (add) {
                pixman_image_composite32(PIXMAN_OP_ADD, src, nullptr, dst, p.X, p.Y, 0, 0, p.X, p.Y, w, h);
            } else {
                pixman_rectangle16_t r{static_cast<int16_t>(p.X), static_cast<int16_t>(p.Y), static_cast<uint16_t>(w),
                                       static_cast<uint16_t>(h)};
                pixman_image_fill_rectangles(PIXMAN_OP_OVER, dst, &colour, 1, &r);
            }
        }
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    state.SetItemsProcessed(state.iterations() * PixelsPerIteration(scene));
}

// SDL2's blitter: an ARGB8888 picture blended onto an XRGB8888 frame with
// an alpha modulation (the opacity).
void RunSdl(benchmark::State& state, TScene scene, TAlpha alpha, uint8_t opacity) {
    std::mt19937 rng(5);
    const int sw = SourceSide(scene, false), sh = SourceSide(scene, true);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, kFrameW, kFrameH, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, sw, sh, 32, SDL_PIXELFORMAT_ARGB8888);
    std::vector<uint8_t> a = MakeAlpha(sw, sh, alpha, rng);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            uint32_t v = (rng() & 0xFFFFFF) | uint32_t(a[static_cast<size_t>(y) * sw + x]) << 24;
            std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch + x * 4, &v, 4);
        }
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, opacity);
    std::vector<TPlacement> places = Placements(scene);
    for (auto _ : state) {
        for (const TPlacement& p : places) {
            SDL_Rect where{p.X, p.Y, sw, sh};
            SDL_BlitSurface(src, nullptr, dst, &where);
        }
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    state.SetItemsProcessed(state.iterations() * PixelsPerIteration(scene));
}

// Presenting the whole frame to a headless display (the copy into the
// screen buffer; with a window the texture upload comes on top).
void RunPresent(benchmark::State& state, int bpp) {
    TDisplay display;
    std::string error;
    if (!display.Init(nullptr, kFrameW, kFrameH, bpp, false, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TSurfEngine engine(&display, kFrameW, kFrameH);
    engine.CreateEmptySurface("MemorySurface", kFrameW, kFrameH);
    engine.ClearSurface("MemorySurface", 0x3C);
    for (auto _ : state) {
        TRects rects{TRect{0, 0, kFrameW, kFrameH}};
        engine.Present("MemorySurface", rects);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kFrameW) * kFrameH);
}

void RegisterAll() {
    std::vector<TSimdPath> paths{spScalar};
    if (TSurfEngine::BestSimdPath() >= spSSE2) paths.push_back(spSSE2);
    if (TSurfEngine::BestSimdPath() >= spAVX2) paths.push_back(spAVX2);
    const double minTime = 0.1;
    for (TScene scene : {scFrame, scSprites}) {
        for (int bpp : {32, 16}) {
            const std::string base = std::string(SceneName(scene)) + "/" + std::to_string(bpp) + "bit/";
            benchmark::RegisterBenchmark((base + "memcpy").c_str(), RunMemcpy, bpp, scene)->MinTime(minTime);
            benchmark::RegisterBenchmark((base + "engine_copy").c_str(), RunEngine, bpp, scene, alSprite, spScalar,
                                         opCopy)
                ->MinTime(minTime);
            for (TOp op : {opAlpha255, opAlpha128, opTint})
                for (TAlpha alpha : {alNoise, alSprite})
                    for (TSimdPath path : paths)
                        benchmark::RegisterBenchmark(
                            (base + OpName(op) + "/" + AlphaName(alpha) + "/" + PathName(path)).c_str(), RunEngine, bpp,
                            scene, alpha, path, op)
                            ->MinTime(minTime);
            for (TOp op : {opAddBlend, opRect})
                for (TSimdPath path : paths)
                    benchmark::RegisterBenchmark((base + OpName(op) + "/" + PathName(path)).c_str(), RunEngine, bpp,
                                                 scene, alSprite, path, op)
                        ->MinTime(minTime);
        }
        const std::string base = std::string(SceneName(scene)) + "/32bit/";
        benchmark::RegisterBenchmark((base + "pixman_add").c_str(), RunPixmanSolid, scene, true)->MinTime(minTime);
        benchmark::RegisterBenchmark((base + "pixman_fill_over").c_str(), RunPixmanSolid, scene, false)
            ->MinTime(minTime);
        for (TAlpha alpha : {alNoise, alSprite}) {
            benchmark::RegisterBenchmark((base + "pixman_over_a8mask/" + AlphaName(alpha)).c_str(), RunPixman, scene,
                                         alpha, false)
                ->MinTime(minTime);
            benchmark::RegisterBenchmark((base + "pixman_over_premul_solid128/" + AlphaName(alpha)).c_str(), RunPixman,
                                         scene, alpha, true)
                ->MinTime(minTime);
            benchmark::RegisterBenchmark((base + "sdl_blit_blend_mod255/" + AlphaName(alpha)).c_str(), RunSdl, scene,
                                         alpha, uint8_t(255))
                ->MinTime(minTime);
            benchmark::RegisterBenchmark((base + "sdl_blit_blend_mod128/" + AlphaName(alpha)).c_str(), RunSdl, scene,
                                         alpha, uint8_t(128))
                ->MinTime(minTime);
        }
    }
    for (int bpp : {32, 16})
        benchmark::RegisterBenchmark(("present_full_frame/" + std::to_string(bpp) + "bit").c_str(), RunPresent, bpp)
            ->MinTime(minTime);
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
