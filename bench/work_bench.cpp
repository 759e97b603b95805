// The edit history on the benchmark mosaic: a 3 x 3 command of nine parts applied five times to
// a 40-pixel tile (59049 placements). A step back or forward puts a state in place, rebuilds the
// mosaic from its stack and makes the view again.

#include "work.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace ornamo;

namespace {

const std::string ninePartRules =
    "Devat\nscale: 3\nitem: 9\n0 0 1 1 R0\n1 0 1 1 R90\n2 0 1 1 R180\n"
    "0 1 1 1 R270\n1 1 1 1 MR0\n2 1 1 1 MR90\n0 2 1 1 MR180\n"
    "1 2 1 1 MR270\n2 2 1 1 R0\n";

void buildWork(Work& work) {
    Bitmap tile(40, 40);
    std::mt19937 rng(42);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            tile.setPixel(x, y, rng() & 0xFFFFFF);
    work.start(tile);
    work.useRules(rulesFromBytes(ninePartRules, "devat.hrh"));
    for (int i = 0; i < 5; ++i)
        work.applyCommand(1);
}

// Undo and redo of the last command; the view (40 x 40 pixels at factor 243) is kept whole.
void HistoryStep(benchmark::State& state) {
    Work work;
    buildWork(work);
    for (auto _ : state) {
        work.undo();
        work.redo();
    }
    state.SetItemsProcessed(2 * state.iterations());
    state.counters["placements"] = static_cast<double>(work.model().mosaic().placements.size());
}
BENCHMARK(HistoryStep)->Unit(benchmark::kMicrosecond);

// The same without the view: only the state and the mosaic rebuilt from its stack.
void HistoryStepWithoutView(benchmark::State& state) {
    Work work(ViewLimits::keepNothing());
    buildWork(work);
    for (auto _ : state) {
        work.undo();
        work.redo();
    }
    state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(HistoryStepWithoutView)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
