// The mosaic of a 3 x 3 command of nine parts applied five times to a 40-pixel tile: 59049
// placements on a 9720 x 9720 image (283 MB). Each result also shows its time as a ratio to a
// single-threaded memcpy of a buffer of the image's size, measured first in the same run.

#include "blocksums.h"
#include "mosaicview.h"
#include "ornamo.h"
#include "render.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace ornamo;

namespace {

using Clock = std::chrono::steady_clock;

double memcpySeconds = 0; // per copy, set by the first benchmark

Mosaic ninePartCommand() {
    Mosaic pattern;
    pattern.scale = 3;
    pattern.placements.clear();
    for (int i = 0; i < 9; ++i)
        pattern.placements.push_back({1, 1, i % 3, i / 3, static_cast<Orientation>(i % 8)});
    return pattern;
}

Mosaic mosaicAfter(int commands) {
    Bitmap tile(40, 40);
    std::mt19937 rng(42);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            tile.setPixel(x, y, rng() & 0xFFFFFF);
    Mosaic mosaic;
    mosaic.tiles = std::make_shared<TileSet>();
    BuildTileSet(*mosaic.tiles, tile);
    ResetMosaic(mosaic);
    const Mosaic pattern = ninePartCommand();
    for (int i = 0; i < commands; ++i)
        SubstituteCommand(pattern, mosaic);
    return mosaic;
}

const Mosaic& benchMosaic() {
    static const Mosaic mosaic = mosaicAfter(5);
    return mosaic;
}

const Bitmap& renderedMosaic() {
    static const Bitmap image = [] {
        Bitmap b;
        renderMosaic(benchMosaic(), b);
        return b;
    }();
    return image;
}

// Times the body per iteration by the wall clock and reports the mean as a ratio to memcpy.
template <class Body> void timed(benchmark::State& state, Body&& body) {
    Clock::duration total{};
    for (auto _ : state) {
        const auto start = Clock::now();
        body();
        total += Clock::now() - start;
    }
    const double seconds =
        std::chrono::duration<double>(total).count() / static_cast<double>(state.iterations());
    if (memcpySeconds > 0)
        state.counters["vs_memcpy"] = seconds / memcpySeconds;
}

void Memcpy(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(renderedMosaic().stride()) * 9720;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes, 2);
    Clock::duration total{};
    for (auto _ : state) {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        total += Clock::now() - start;
    }
    memcpySeconds =
        std::chrono::duration<double>(total).count() / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void Render(benchmark::State& state) {
    Bitmap image = renderedMosaic(); // kept between renders, as the window keeps it
    timed(state, [&] {
        renderMosaic(benchMosaic(), image);
        benchmark::DoNotOptimize(image.bits());
    });
}

void RenderCold(benchmark::State& state) {
    timed(state, [&] {
        Bitmap image;
        renderMosaic(benchMosaic(), image);
        benchmark::DoNotOptimize(image.bits());
    });
}

void Shrink(benchmark::State& state) {
    const auto factor = static_cast<std::uint16_t>(state.range(0));
    Bitmap view;
    ShrinkBitmap(factor, factor, renderedMosaic(), view);
    timed(state, [&] {
        ShrinkBitmap(factor, factor, renderedMosaic(), view);
        benchmark::DoNotOptimize(view.bits());
    });
}

// The whole view at a factor, computed from the placements as the window and ornamo-render do:
// what render-then-reduce made before.
// The whole view as the window makes it on a render: MosaicView, which picks strips or block
// sums by their estimated time, computing and keeping the whole view.
void PipelineView(benchmark::State& state) {
    const auto factor = static_cast<std::int32_t>(state.range(0));
    MosaicView view(ViewLimits{std::size_t{1} << 30, 0});
    timed(state, [&] {
        if (!view.render(benchMosaic(), factor, false))
            state.SkipWithError("the view does not fit");
        benchmark::DoNotOptimize(view.side());
    });
}

void View(benchmark::State& state) {
    const auto factor = static_cast<std::int32_t>(state.range(0));
    const int side = static_cast<int>(benchMosaic().extent() / factor);
    Bitmap view(side, side);
    timed(state, [&] {
        renderViewRect(benchMosaic(), factor, {0, 0, side, side}, view.bits(), view.stride());
        benchmark::DoNotOptimize(view.bits());
    });
}

void Substitute(benchmark::State& state) {
    const Mosaic before = mosaicAfter(4);
    const Mosaic pattern = ninePartCommand();
    Mosaic mosaic;
    Clock::duration total{};
    for (auto _ : state) {
        state.PauseTiming();
        mosaic = before;
        state.ResumeTiming();
        const auto start = Clock::now();
        SubstituteCommand(pattern, mosaic);
        benchmark::DoNotOptimize(mosaic.placements.data());
        total += Clock::now() - start;
    }
    state.counters["placements"] = static_cast<double>(mosaic.placements.size());
    const double seconds =
        std::chrono::duration<double>(total).count() / static_cast<double>(state.iterations());
    state.counters["ms"] = seconds * 1000;
}

// A 64000-pixel mosaic: a 4 x 4 command of sixteen single cells applied three times to a
// 40-pixel tile, then a 25 x 25 grid whose one part covers it whole, so that each of the 4096
// placements is stretched 25 times each way.
const Mosaic& stretchedMosaic() {
    static const Mosaic mosaic = [] {
        Mosaic m = mosaicAfter(0);
        Mosaic sixteen;
        sixteen.scale = 4;
        sixteen.placements.clear();
        for (int i = 0; i < 16; ++i)
            sixteen.placements.push_back(
                {1, 1, i % 4, i / 4, static_cast<Orientation>((i * 3) % 8)});
        for (int i = 0; i < 3; ++i)
            SubstituteCommand(sixteen, m);
        Mosaic whole;
        whole.scale = 25;
        whole.placements = {{25, 25, 0, 0, Orientation::R0}};
        SubstituteCommand(whole, m);
        return m;
    }();
    return mosaic;
}

// The whole view at `factor`, computed from the placements on `threads` threads taking groups
// of rows in turn: two groups a thread, since each call looks at every placement once.
void computeView(const BlockSums& sums, int factor, int threads, Bitmap& view) {
    const int side = static_cast<int>(sums.viewSide(factor));
    view.resizeForOverwrite(side, side);
    const int groupRows = std::max(1, (side + threads * 2 - 1) / (threads * 2));
    std::atomic<int> nextRow{0};
    const auto work = [&] {
        for (int row; (row = nextRow.fetch_add(groupRows)) < side;) {
            const int rows = std::min(groupRows, side - row);
            sums.compute(factor, {0, row, side, rows}, view.row(row), view.stride());
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers)
        t.join();
}

void direct(benchmark::State& state, const Mosaic& mosaic) {
    const int factor = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    const BlockSums sums(mosaic);
    Bitmap view;
    timed(state, [&] {
        computeView(sums, factor, threads, view);
        benchmark::DoNotOptimize(view.bits());
    });
    const int side = view.width();
    state.counters["estimate_ms"] = sums.estimatedNanoseconds(factor, {0, 0, side, side}) / 1e6;
}

void DirectView(benchmark::State& state) {
    direct(state, benchMosaic());
}
void DirectStretchedView(benchmark::State& state) {
    direct(state, stretchedMosaic());
}

// A mosaic of a random tile `side` pixels wide, its eight images kept as copies or read from
// the base, under a 3 x 3 command of nine turned parts.
Mosaic nineTurnsOf(int side, bool copies) {
    Bitmap tile(side, side);
    std::mt19937 rng(42);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            tile.setPixel(x, y, rng() & 0xFFFFFF);
    Mosaic mosaic;
    mosaic.tiles = std::make_shared<TileSet>();
    BuildTileSet(*mosaic.tiles, tile, copies ? TileSet::defaultCopyLimit : 0);
    mosaic.tileSize = static_cast<std::uint16_t>(side);
    ResetMosaic(mosaic);
    SubstituteCommand(ninePartCommand(), mosaic);
    return mosaic;
}

// The summed-area tables of whole tile images (a 1000-pixel tile, eight images of copies, or
// read from the base): what a view of a new mosaic costs first.
void FullTables(benchmark::State& state) {
    const Mosaic mosaic = nineTurnsOf(1000, state.range(0) != 0);
    for (auto _ : state) {
        const BlockSums sums(mosaic);
        benchmark::DoNotOptimize(&sums);
    }
}

// The tables of one factor (a 2000-pixel tile, copies or read from the base), built on every
// core: what a view at a new factor of a mosaic of large tiles costs first.
void FactorTables(benchmark::State& state) {
    const Mosaic mosaic = nineTurnsOf(2000, state.range(1) != 0);
    const int factor = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const auto sums = BlockSums::atFactor(mosaic, factor, [](std::uint64_t) { return true; });
        benchmark::DoNotOptimize(sums.get());
    }
}

// The factors every view benchmark is measured at.
void overFactors(benchmark::internal::Benchmark* b) {
    for (const int factor : {2, 3, 9, 81, 243})
        b->Arg(factor);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
}

} // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(Render)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(RenderCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Shrink)->Apply(overFactors);
BENCHMARK(PipelineView)->Apply(overFactors);
BENCHMARK(View)->Apply(overFactors);
BENCHMARK(DirectView)
    ->ArgsProduct({{4, 9, 20, 81, 243}, {2, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(DirectStretchedView)
    ->ArgsProduct({{1600, 800, 400, 100}, {2, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK(Substitute)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FullTables)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(FactorTables)
    ->ArgsProduct({{3, 40, 900}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->MinTime(1.0);

BENCHMARK_MAIN();
