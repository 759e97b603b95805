// Reading rule files with their diagnostics: a file of twelve records, as users write them, and
// files of the largest text the reader takes (1 MiB), beside the read without diagnostics.

#include "hierarchy.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace ornamo;

namespace {

const char* const keywords[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};

// Twelve records, each a 3 x 3 grid of nine cells, the last left as a gap (a note each).
std::string twelveRecords() {
    std::string text;
    for (int r = 0; r < 12; ++r) {
        text += "Príkaz " + std::to_string(r + 1) + "\nscale: 3\nitem: 8\n";
        for (int i = 0; i < 8; ++i)
            text += std::to_string(i % 3) + ' ' + std::to_string(i / 3) + " 1 1 " +
                    keywords[i % 8] + '\n';
        text += '\n';
    }
    return text;
}

// Twelve records of random parts in a 400 x 400 grid filling 1 MiB (its cells counted one by
// one), or in a 60000 x 60000 grid (swept); with `outside`, every part reaches beyond its grid
// (a warning each, most of them only counted).
std::string oneMebibyte(bool outside, int grid = 400) {
    std::mt19937 rng(1);
    const std::size_t perRecord = hierarchyFileLimit / 12;
    std::string text;
    for (int r = 0; r < 12; ++r) {
        std::string parts;
        int count = 0;
        while (parts.size() + 64 < perRecord) {
            const unsigned x = rng() % (grid - 10), y = rng() % (grid - 10);
            parts += std::to_string(x) + ' ' + std::to_string(y) + ' ' +
                     std::to_string(outside ? grid : 1 + rng() % 10) + ' ' +
                     std::to_string(1 + rng() % 10) + ' ' + keywords[rng() % 8] + '\n';
            ++count;
        }
        text += "Veľký " + std::to_string(r) + "\nscale: " + std::to_string(grid) +
                "\nitem: " + std::to_string(count) + '\n' + parts + '\n';
    }
    return text;
}

void run(benchmark::State& state, const std::string& text, bool diagnose) {
    CommandSlots slots;
    RuleDiagnostics diagnostics;
    for (auto _ : state) {
        readHierarchy(text, slots, diagnose ? &diagnostics : nullptr);
        benchmark::DoNotOptimize(slots);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["diagnostics"] = static_cast<double>(diagnostics.list.size());
}

void TwelveRecords(benchmark::State& state) {
    run(state, twelveRecords(), state.range(0) != 0);
}
BENCHMARK(TwelveRecords)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void OneMebibyte(benchmark::State& state) {
    run(state, oneMebibyte(false), state.range(0) != 0);
}
BENCHMARK(OneMebibyte)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void OneMebibyteLargeGrid(benchmark::State& state) {
    run(state, oneMebibyte(false, 60000), true);
}
BENCHMARK(OneMebibyteLargeGrid)->Unit(benchmark::kMillisecond);

void OneMebibyteEveryPartWarned(benchmark::State& state) {
    run(state, oneMebibyte(true), true);
}
BENCHMARK(OneMebibyteEveryPartWarned)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
