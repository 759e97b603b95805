// The edit history on the benchmark mosaic: a 3 x 3 command of nine parts applied five times to
// a 40-pixel tile (59049 placements). A step back or forward puts a state in place, rebuilds the
// mosaic from its stack and makes the view again.

#include "provenance.h"
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

// A mosaic of 65535 placements from random stretched, overlapping and out-of-grid parts: a
// one-part command, then commands of 3, 5, 17 and 257 parts (3 x 5 x 17 x 257 = 65535).
struct ExplainedMosaic {
    std::vector<Mosaic> patterns;
    Mosaic mosaic;
    ExplainedMosaic() {
        std::mt19937 rng(65535);
        const auto pick = [&](int from, int to) {
            return std::uniform_int_distribution<int>(from, to)(rng);
        };
        mosaic.tileSize = 8;
        ResetMosaic(mosaic);
        const std::pair<int, int> commands[] = {{1, 1}, {2, 3}, {3, 5}, {4, 17}, {16, 257}};
        for (const auto& [grid, parts] : commands) {
            Mosaic pattern;
            pattern.scale = static_cast<std::uint16_t>(grid);
            for (int i = 0; i < parts; ++i)
                pattern.placements.push_back({pick(1, 2), pick(1, 2), pick(0, grid), pick(0, grid),
                                              static_cast<Orientation>(pick(0, 7))});
            if (parts == 1)
                pattern.placements.front() = {1, 1, 0, 0, Orientation::R0};
            SubstituteCommand(pattern, mosaic);
            patterns.push_back(pattern);
        }
    }
    Provenance provenance() const {
        std::vector<const Mosaic*> pointers;
        for (const Mosaic& p : patterns)
            pointers.push_back(&p);
        return Provenance(mosaic.tileSize, pointers);
    }
};

// One query at a random point of the mosaic: the top placement, its chain and tile pixel, or
// the causes of a gap.
void ExplainPoint(benchmark::State& state) {
    const ExplainedMosaic m;
    const Provenance provenance = m.provenance();
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::int64_t> coordinate(0, provenance.extent() - 1);
    std::int64_t covered = 0;
    for (auto _ : state) {
        const PointOrigin origin = provenance.explain(coordinate(rng), coordinate(rng));
        covered += origin.covered;
        benchmark::DoNotOptimize(origin);
    }
    state.counters["placements"] = static_cast<double>(m.mosaic.placements.size());
    state.counters["covered"] =
        static_cast<double>(covered) / static_cast<double>(state.iterations());
}
BENCHMARK(ExplainPoint)->Unit(benchmark::kMicrosecond);

// For comparison: the top placement alone by a walk over all 65535 placements.
void ScanForTopPlacement(benchmark::State& state) {
    const ExplainedMosaic m;
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::int64_t> coordinate(0, m.mosaic.extent() - 1);
    const std::int64_t t = m.mosaic.tileSize;
    for (auto _ : state) {
        const std::int64_t x = coordinate(rng), y = coordinate(rng);
        std::size_t top = m.mosaic.placements.size();
        for (std::size_t i = 0; i < m.mosaic.placements.size(); ++i) {
            const Placement& p = m.mosaic.placements[i];
            if (x >= p.x && x < p.x + p.width * t && y >= p.y && y < p.y + p.height * t)
                top = i;
        }
        benchmark::DoNotOptimize(top);
    }
}
BENCHMARK(ScanForTopPlacement)->Unit(benchmark::kMicrosecond);

// The rectangles of all 65535 copies of the first entry's one part.
void CopiesOfAPart(benchmark::State& state) {
    const ExplainedMosaic m;
    const Provenance provenance = m.provenance();
    for (auto _ : state)
        benchmark::DoNotOptimize(provenance.copies(0, 0));
    state.counters["copies"] = static_cast<double>(provenance.copies(0, 0).size());
}
BENCHMARK(CopiesOfAPart)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
