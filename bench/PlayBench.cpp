// Speed of play on the built game data: one rules step of a busy level, and
// whole play frames of the real engine (headless, 32 bits per pixel) with
// the bot playing. Frame benchmarks report the redrawn area as the counter
// "redraw_px" (pixels per frame).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "base/FileFolder.h"
#include "base/OrvParser.h"
#include "game/Main.h"
#include "game/PlayFieldPainter.h"
#include "game/PlayRules.h"

namespace {

const std::filesystem::path kBuilt(MOSWICK_BUILD_DIR);

class TFixedSizes : public IPlayEvents {
public:
    TPoint PictureSize(const std::string& name) const override {
        if (name.empty()) return {0, 0};
        if (name == "amulet.png") return {40 * 64, 64};
        if (name.find("pauk") != std::string::npos || name == "sand_glass.png") return {20 * 64, 64};
        return {80, 80};
    }
};

// A level of a built scene whose belts are full: pieces every gap apart,
// bonuses among them, a stop on one belt and a reverse on another.
void BM_RulesStepBusyLevel(benchmark::State& state) {
    if (!std::filesystem::exists(kBuilt / "game.zxc")) {
        state.SkipWithError("no game.zxc beside the program");
        return;
    }
    TFileFolder archive((kBuilt / "game.zxc").string());
    TShapeTables tables;
    tables.Load(archive);
    TGameParams params;
    params.LoadGameParams((kBuilt / "GameParams.xml").string(), &tables);
    TOrvRandom random(1);
    TFixedSizes events;
    TPlayLevel level(tables, params, random, events);
    level.NewGame(1);  // nothing is lost, so the belts stay full
    TOrvParser doc;
    doc.LoadFromStream(*archive.Stream("Scene4.xml"));
    TScene scene;
    scene.LoadFromDocument(doc, "Scene4.xml", tables, random);
    scene.BonusFishka = 0.3;
    level.TakeScene(std::move(scene));
    level.ComputeBonusWeights();
    int32_t layer = 0;
    for (size_t i = 0; i < level.Scene.Layers.size(); ++i)
        if (level.Scene.Layers[i].BeltIds.size() > level.Scene.Layers[size_t(layer)].BeltIds.size()) layer = int32_t(i);
    level.StartLevel(layer);
    // Two minutes of play fill every belt.
    for (int i = 0; i < 7500; ++i) level.Step(level.Now + 16);
    const TIntegers& belts = level.Layer()->BeltIds;
    level.Scene.Belts[size_t(belts.front())].StopUntil = level.Now + 100000000;
    size_t pieces = 0;
    for (int32_t id : belts) pieces += level.Scene.Belts[size_t(id)].BeltFishkas.size();
    for (auto _ : state) {
        level.Step(level.Now + 16);
        benchmark::DoNotOptimize(level.Now);
    }
    state.counters["belts"] = double(belts.size());
    state.counters["pieces"] = double(pieces);
}
BENCHMARK(BM_RulesStepBusyLevel)->Unit(benchmark::kMicrosecond);

// The real engine headless, playing scene 4 with the bot: an engine per
// benchmark, brought to a busy moment of play first.
struct TEngineRun {
    std::unique_ptr<TOrvGameEngine> Engine;
    TPlayRules* Rules = nullptr;
    std::filesystem::path Dir;

    bool Start(int32_t scene, bool autoplay) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        Dir = std::filesystem::temp_directory_path() / ("moswick-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
        TRunOptions run;
        run.DataDir = kBuilt.string();
        run.WriteDir = Dir.string();
        run.NoWindow = true;
        run.FixedStepMs = 16;
        run.HasSeed = true;
        run.Seed = 3;
        run.StartScene = scene;
        run.Autoplay = autoplay;
        Engine = std::make_unique<TOrvGameEngine>(run);
        auto rules = std::make_unique<TPlayRules>();
        Rules = rules.get();
        Engine->Rules = std::move(rules);
        Engine->FormCreate();
        Engine->FormActivate();
        Engine->RestoreMessage();
        return Engine->SurfEngine != nullptr && !Engine->Terminated();
    }
    void Frame() {
        bool done = false;
        Engine->AppIdle(done);
        Engine->AdvanceClock(16);
    }
    ~TEngineRun() {
        Engine.reset();
        std::filesystem::remove_all(Dir);
    }
};

void PlayFrames(benchmark::State& state, bool whole) {
    if (!std::filesystem::exists(kBuilt / "game.zxc")) {
        state.SkipWithError("no game.zxc beside the program");
        return;
    }
    TEngineRun run;
    if (!run.Start(4, true)) {
        state.SkipWithError("the engine did not start");
        return;
    }
    // Past the start animation, into a minute of play.
    for (int i = 0; i < 4000 && run.Engine->GameState != gsPlaying; ++i) run.Frame();
    for (int i = 0; i < 4000; ++i) run.Frame();
    double area = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        if (whole) run.Engine->RedrawAll();
        run.Frame();
        for (const TRect& r : run.Rules->Painter().Clips()) area += double(r.Right - r.Left) * (r.Bottom - r.Top);
        ++frames;
    }
    state.counters["redraw_px"] = frames ? area / double(frames) : 0;
    state.counters["state"] = run.Engine->GameState;
}

void BM_PlayFrameWhole(benchmark::State& state) {
    PlayFrames(state, true);
}
void BM_PlayFrameUsual(benchmark::State& state) {
    PlayFrames(state, false);
}
BENCHMARK(BM_PlayFrameWhole)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayFrameUsual)->Unit(benchmark::kMicrosecond);

// Nothing moves but the belts: the same level without the bot.
void BM_PlayFrameIdle(benchmark::State& state) {
    if (!std::filesystem::exists(kBuilt / "game.zxc")) {
        state.SkipWithError("no game.zxc beside the program");
        return;
    }
    TEngineRun run;
    if (!run.Start(4, false)) {
        state.SkipWithError("the engine did not start");
        return;
    }
    for (int i = 0; i < 4000 && run.Engine->GameState != gsPlaying; ++i) run.Frame();
    for (int i = 0; i < 600; ++i) run.Frame();
    double area = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        run.Frame();
        for (const TRect& r : run.Rules->Painter().Clips()) area += double(r.Right - r.Left) * (r.Bottom - r.Top);
        ++frames;
    }
    state.counters["redraw_px"] = frames ? area / double(frames) : 0;
}
BENCHMARK(BM_PlayFrameIdle)->Unit(benchmark::kMicrosecond);

}  // namespace
