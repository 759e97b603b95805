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

// Rules of twelve commands for the replay: four whose part counts (3, 5, 17, 257) multiply to
// 65535 on grids of the sizes given, and a one-part turn on a grid of 1; `turn` changes every
// orientation, so that two rule sets differ in every pattern.
std::string replayRules(const int grids[4], int turn) {
    const int parts[] = {3, 5, 17, 257};
    std::string text;
    for (int c = 0; c < 4; ++c) {
        text += "Prikaz " + std::to_string(c + 1) + "/" + std::to_string(turn) +
                "\nscale: " + std::to_string(grids[c]) + "\nitem: " + std::to_string(parts[c]) +
                "\n";
        for (int i = 0; i < parts[c]; ++i) {
            const int g = grids[c];
            text += std::to_string(i % g) + " " + std::to_string(i / g % g) + " 1 1 " +
                    std::string(keyword(static_cast<Orientation>((i + turn) % 8))) + "\n";
        }
        text += "\n";
    }
    text += "Otoc\nscale: 1\nitem: 1\n0 0 1 1 " +
            std::string(keyword(static_cast<Orientation>(5 + turn % 3))) + "\n";
    return text;
}

// The stack applied again with changed rules, the view rendered: 255 entries, the four that
// multiply the placements to 65535 first and 251 turns of the whole mosaic after them (the
// costliest order), alternating between two rule sets. Grids 2, 2, 2, 2 give the view at
// factor 16 (the parts overlap); grids 2, 3, 5, 17 a mosaic of distinct cells, 20400 pixels
// across, at factor 510.
void ReplayWithChangedRules(benchmark::State& state) {
    const int overlapping[4] = {2, 2, 2, 2}, distinct[4] = {2, 3, 5, 17};
    const int* grids = state.range(0) == 16 ? overlapping : distinct;
    const int tileSide = state.range(0) == 16 ? 256 : 40;
    Bitmap tile(tileSide, tileSide);
    std::mt19937 rng(7);
    for (int y = 0; y < tileSide; ++y)
        for (int x = 0; x < tileSide; ++x)
            tile.setPixel(x, y, rng() & 0xFFFFFF);
    Work work;
    work.start(tile);
    const std::shared_ptr<const Rules> rules[2] = {rulesFromBytes(replayRules(grids, 0), "a.hrh"),
                                                   rulesFromBytes(replayRules(grids, 1), "b.hrh")};
    work.useRules(rules[0]);
    for (int n = 1; n <= 4; ++n)
        work.applyCommand(n);
    while (work.model().stack().size() < CommandStackModel::capacity)
        work.applyCommand(5);
    std::size_t next = 1;
    for (auto _ : state) {
        if (work.replayWithRules(rules[next]).refusal != Refusal::None)
            state.SkipWithError("refused");
        next ^= 1;
    }
    state.counters["placements"] = static_cast<double>(work.model().mosaic().placements.size());
    state.counters["factor"] = work.shrinkFactor();
    state.counters["view side"] = work.view().side();
}
BENCHMARK(ReplayWithChangedRules)->Arg(16)->Arg(510)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
