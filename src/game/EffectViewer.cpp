#include "game/EffectViewer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/OrvException.h"
#include "base/OrvRandom.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "fx/OrvFXArt.h"
#include "fx/OrvFXBase.h"
#include "fx/OrvFXParticles.h"
#include "game/Main.h"
#include "platform/Display.h"
#include "platform/Platform.h"
#include "platform/Window.h"
#include "render/PictureCodec.h"
#include "render/SurfEngine.h"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr const char* kFrame = "MemorySurface";
constexpr const char* kBackdrop = "ViewerBackdrop";
constexpr const char* kFallbackPicture = "LightPoint1.png";

// A dim blue-grey vertical gradient, so light and dark particles both show.
void PaintBackdrop(TSurfEngine& engine) {
    engine.CreateEmptySurface(kBackdrop, kWidth, kHeight);
    SurfaceRecord* rec = engine.GetSurface(kBackdrop);
    if (!rec || !rec->Bits) return;
    const int bpp = engine.Format().BytesPerPixel();
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t v = static_cast<uint8_t>(14 + 30 * y / kHeight);
        const uint32_t px = engine.ConvertRGB(v, static_cast<uint8_t>(v + 4), static_cast<uint8_t>(v + 14));
        uint8_t* row = rec->Bits + size_t(y) * size_t(rec->Pitch);
        for (int32_t x = 0; x < kWidth; ++x) {
            if (bpp == 2) {
                const uint16_t w = static_cast<uint16_t>(px);
                std::memcpy(row + 2 * x, &w, 2);
            } else {
                std::memcpy(row + 4 * x, &px, 4);
            }
        }
    }
}

// Draws a picture over the backdrop from the top left corner, so an effect
// can be judged over the bright and dark parts of a real scene. False (with a
// message) when the file cannot be read.
bool PaintBackdropPicture(TSurfEngine& engine, const std::string& file) {
    TPicture picture;
    try {
        picture = ConvertChannels(LoadPictureFile(file), 3);
    } catch (const OrvException& e) {
        std::fprintf(stderr, "moswick: cannot read the backdrop %s: %s\n", file.c_str(), e.Message().c_str());
        return false;
    }
    SurfaceRecord* rec = engine.GetSurface(kBackdrop);
    if (!rec || !rec->Bits || picture.Empty()) return false;
    const int bpp = engine.Format().BytesPerPixel();
    for (int32_t y = 0; y < std::min(kHeight, picture.Height); ++y) {
        const uint8_t* src = picture.Row(y);
        uint8_t* row = rec->Bits + size_t(y) * size_t(rec->Pitch);
        for (int32_t x = 0; x < std::min(kWidth, picture.Width); ++x) {
            const uint32_t px = engine.ConvertRGB(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
            if (bpp == 2) {
                const uint16_t w = static_cast<uint16_t>(px);
                std::memcpy(row + 2 * x, &w, 2);
            } else {
                std::memcpy(row + 4 * x, &px, 4);
            }
        }
    }
    return true;
}

// Registers the picture of every system: a file of that name in the picture
// folder first, else the game's own painted effect pictures, else a glow.
void LoadPictures(TSurfEngine& engine, TOrvParticleEffect& effect, const std::string& dir) {
    const auto painted = fxart::EffectPictures();
    for (int32_t i = 0; i < effect.Systems().Count(); ++i) {
        TOrvParticleSystem* s = effect.Systems().Get(i);
        if (!s) continue;
        if (s->Resource.empty()) s->Resource = kFallbackPicture;
        if (engine.FindSurface(s->Resource) >= 0) continue;
        const std::filesystem::path file = std::filesystem::path(dir) / s->Resource;
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) {
            try {
                if (AddEffectPicture(engine, s->Resource, LoadPictureFile(file.string()))) continue;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "moswick: %s\n", PrintableText(e.what()).c_str());
            }
        }
        bool found = false;
        for (const auto& [name, pic] : painted)
            if (name == s->Resource) found = AddEffectPicture(engine, name, pic);
        if (found) continue;
        std::fprintf(stderr, "moswick: no picture \"%s\" for system \"%s\", drawing a glow instead\n",
                     PrintableText(s->Resource).c_str(), PrintableText(s->Name()).c_str());
        s->Resource = kFallbackPicture;
        if (engine.FindSurface(kFallbackPicture) < 0)
            for (const auto& [name, pic] : painted)
                if (name == kFallbackPicture) AddEffectPicture(engine, name, pic);
    }
}

uint32_t CountLit(TSurfEngine& engine) {
    SurfaceRecord* frame = engine.GetSurface(kFrame);
    SurfaceRecord* back = engine.GetSurface(kBackdrop);
    if (!frame || !back || !frame->Bits || !back->Bits) return 0;
    uint32_t lit = 0;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            uint8_t r1, g1, b1, r2, g2, b2;
            engine.GetPixelRGB(*frame, x, y, r1, g1, b1);
            engine.GetPixelRGB(*back, x, y, r2, g2, b2);
            if (std::abs(r1 - r2) + std::abs(g1 - g2) + std::abs(b1 - b2) > 24) ++lit;
        }
    return lit;
}

bool SaveFrame(TSurfEngine& engine, const std::string& path) {
    const SurfaceRecord* frame = engine.GetSurface(kFrame);
    if (!frame || !frame->Bits) return false;
    TPicture picture = TPicture::Create(frame->Width, frame->Height, 3);
    for (int32_t y = 0; y < frame->Height; ++y) {
        uint8_t* row = picture.Row(y);
        for (int32_t x = 0; x < frame->Width; ++x)
            engine.GetPixelRGB(*frame, x, y, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    }
    try {
        SavePNGFile(path, picture);
    } catch (const OrvException&) {
        return false;
    }
    return true;
}

// A fresh running copy of the prototype, started at tick.
std::unique_ptr<TOrvParticleEffect> StartCopy(const TOrvParticleEffect& proto, uint32_t tick) {
    auto fx = std::make_unique<TOrvParticleEffect>();
    if (!fx->Assign(&proto)) return nullptr;
    fx->SetStartTick(tick);
    if (!fx->Validate()) std::fprintf(stderr, "moswick: some particles of the effect failed to start\n");
    return fx;
}

}  // namespace

bool TEffectViewerOptions::Parse(int argc, const char* const* argv, std::string& error) {
    TRunOptions run;
    if (!run.Parse(argc, argv, error)) return false;
    if (run.EffectFile.empty()) {
        error = "--effect needs an effect file";
        return false;
    }
    *this = FromRun(run);
    return true;
}

TEffectViewerOptions TEffectViewerOptions::FromRun(const TRunOptions& run) {
    TEffectViewerOptions o;
    o.EffectFile = run.EffectFile;
    o.Frames = run.Frames;
    o.FixedStepMs = run.FixedStepMs;
    if (run.HasSeed) o.Seed = run.Seed;
    o.ScreenshotFile = run.ScreenshotFile;
    o.PictureDir = run.PictureDir;
    o.BackdropFile = run.BackdropFile;
    o.NoWindow = run.NoWindow;
    return o;
}

bool IsEffectViewerCommand(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--effect") return true;
    return false;
}

int RunEffectViewer(const TEffectViewerOptions& options, TEffectViewerResult* result) {
    TEffectViewerResult local;
    TEffectViewerResult& res = result ? *result : local;
    res = TEffectViewerResult();

    TOrvRandom random(options.Seed);
    TOrvParticleEffect proto;
    try {
        TMemoryStream stream;
        // The size is checked before the file is read.
        stream.LoadFromFile(options.EffectFile, kMaxEffectFileSize);
        proto.SetName(std::filesystem::path(options.EffectFile).filename().string());
        proto.LoadFromStream(stream);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "moswick: %s\n", PrintableText(e.what()).c_str());
        return 1;
    }
    proto.SetRandom(&random);

    TWindow window;
    TDisplay display;
    std::string error;
    bool windowed = false;
    if (!options.NoWindow) {
        windowed =
            window.Create("Moswick effect viewer - " + proto.Name(), kWidth, kHeight, false, TWindowPlacement{}, error);
        if (!windowed) std::fprintf(stderr, "moswick: no window (%s), running without one\n", error.c_str());
    }
    if (!display.Init(windowed ? window.Handle() : nullptr, kWidth, kHeight, 32, false, error)) {
        std::fprintf(stderr, "moswick: cannot set up the screen: %s\n", error.c_str());
        return 1;
    }
    if (windowed)
        window.SetCoordinateMapper([&display](int32_t& x, int32_t& y) {
            const TPoint p = display.WindowToFrame(x, y);
            x = p.X;
            y = p.Y;
        });
    const bool dummyVideo = Platform::IsHeadlessVideo();
    const uint32_t step = options.FixedStepMs ? options.FixedStepMs : ((!windowed || dummyVideo) ? 20u : 0u);

    TSurfEngine engine(&display, kWidth, kHeight);
    engine.CreateEmptySurface(kFrame, kWidth, kHeight);
    PaintBackdrop(engine);
    if (!options.BackdropFile.empty() && !PaintBackdropPicture(engine, options.BackdropFile)) return 1;
    LoadPictures(engine, proto,
                 options.PictureDir.empty() ? std::filesystem::path(options.EffectFile).parent_path().string()
                                            : options.PictureDir);

    const uint32_t firstTick = step ? 1000u : Platform::GetTickCount();
    std::unique_ptr<TOrvParticleEffect> fx = StartCopy(proto, firstTick);
    if (!fx) {
        std::fprintf(stderr, "moswick: the effect cannot be copied\n");
        return 1;
    }
    bool quit = false;
    int32_t originX = kWidth / 2;
    int32_t originY = kHeight / 2;
    uint32_t nextCaption = 0;
    while (!quit && (options.Frames == 0 || res.Frames < options.Frames)) {
        TWindowEvent ev;
        while (windowed && window.PollEvent(ev)) {
            if (ev.Kind == TWindowEventKind::Quit || (ev.Kind == TWindowEventKind::KeyDown && ev.Key == VK::Escape)) {
                quit = true;
            } else if (ev.Kind == TWindowEventKind::KeyDown && ev.Key == VK::Space) {
                fx.reset();
            } else if (ev.Kind == TWindowEventKind::MouseDown) {
                // Try the effect where it will be seen in play: start it again there.
                originX = ev.X;
                originY = ev.Y;
                fx.reset();
            }
        }
        const uint32_t now = step ? firstTick + res.Frames * step : Platform::GetTickCount();
        if (!fx) fx = StartCopy(proto, now);
        if (!fx) return 1;
        fx->Update(now);
        if (fx->Finished()) {
            ++res.Finishes;
            fx = StartCopy(proto, now);
            if (!fx) return 1;
        }
        res.PeakParticles = std::max(res.PeakParticles, fx->ParticleCount);

        engine.DrawSurface(kBackdrop, kFrame, 0, 0);
        DrawParticleEffect(engine, *fx, kFrame, originX, originY, nullptr);
        if (windowed && now >= nextCaption) {
            nextCaption = now + 500;
            window.SetCaption("Moswick effect viewer - " + proto.Name() + " - " + std::to_string(fx->ParticleCount) +
                              " particles - click: move, space: restart, Esc: quit");
        }
        if (windowed) {
            engine.PresentAll(kFrame);
            if (!step) Platform::Delay(5);
        }
        ++res.Frames;
    }
    res.LitPixels = CountLit(engine);
    if (!options.ScreenshotFile.empty() && !SaveFrame(engine, options.ScreenshotFile)) {
        std::fprintf(stderr, "moswick: cannot write the screenshot %s\n",
                     PrintableText(options.ScreenshotFile).c_str());
        return 1;
    }
    std::printf("effect %s: %u frames, finished %u times, at most %d particles\n", PrintableText(proto.Name()).c_str(),
                res.Frames, res.Finishes, res.PeakParticles);
    return 0;
}
