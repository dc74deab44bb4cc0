// Costs of the foundation work done per frame or per load: splitting the
// redraw rectangles into cells, unscrambling a saved game, finding and
// loading archive entries.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/FileFolder.h"
#include "base/OrvRandom.h"
#include "base/SFunctions.h"

namespace {

// Rectangles like a busy frame's: pieces and effects scattered over the screen.
TRects FrameRects(int count) {
    TOrvRandom random(42);
    TRects rects;
    for (int i = 0; i < count; ++i) {
        const int32_t x = random.Between(0, 760);
        const int32_t y = random.Between(0, 560);
        rects.push_back(TRect{x, y, x + random.Between(8, 90), y + random.Between(8, 90)});
    }
    return rects;
}

void BM_RectsToCells(benchmark::State& state) {
    const TRects rects = FrameRects(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TRects cells;
        RectsToCells(cells, rects);
        benchmark::DoNotOptimize(cells.data());
    }
}
BENCHMARK(BM_RectsToCells)->Arg(8)->Arg(32)->Arg(249)->Arg(1000);

void BM_ScrambleStream(benchmark::State& state) {
    std::string text(static_cast<size_t>(state.range(0)), 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    for (auto _ : state) {
        TMemoryStream source(text);
        TMemoryStream dest;
        ScrambleStream(source, dest, GameFileKey);
        benchmark::DoNotOptimize(dest.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ScrambleStream)->Arg(64 << 10);

// An archive of 2000 small entries plus one of 1 MiB, written once.
class ArchiveFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        path_ = "/tmp/moswick_bench_" + std::to_string(::getpid()) + ".zxc";
        TFileFolder folder = TFileFolder::CreateNew(path_);
        TMemoryStream small(std::string(100, 's'));
        for (int i = 0; i < 2000; ++i) folder.AddFile("picture" + std::to_string(i) + ".png", 2, small);
        TMemoryStream big(std::string(1 << 20, 'b'));
        folder.AddFile("Moswick.li", 0, big);
        folder.SaveToFile();
    }
    void TearDown(const benchmark::State&) override { std::remove(path_.c_str()); }

protected:
    std::string path_;
};

BENCHMARK_F(ArchiveFixture, IndexOfLastOf2000)(benchmark::State& state) {
    TFileFolder folder(path_);
    for (auto _ : state) benchmark::DoNotOptimize(folder.IndexOf("PICTURE1999.PNG"));
}

BENCHMARK_F(ArchiveFixture, LoadOneMiBEntry)(benchmark::State& state) {
    TFileFolder folder(path_);
    for (auto _ : state) benchmark::DoNotOptimize(folder.Stream("Moswick.li"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) << 20);
}

BENCHMARK_F(ArchiveFixture, OpenDirectoryOf2001)(benchmark::State& state) {
    for (auto _ : state) {
        TFileFolder folder(path_);
        benchmark::DoNotOptimize(folder.Count());
    }
}

}  // namespace
