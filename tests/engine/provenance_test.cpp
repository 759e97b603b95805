#include "provenance.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace ornamo;

namespace {

// A random stack: stretched, overlapping, out-of-grid and empty parts in every orientation,
// with the mosaic after each entry built by the substitution itself.
struct Stack {
    std::int64_t tileSize = 1;
    std::vector<Mosaic> patterns;
    std::vector<Mosaic> mosaics; // mosaics[j]: after j entries
    std::vector<const Mosaic*> pointers() const {
        std::vector<const Mosaic*> result;
        for (const Mosaic& p : patterns)
            result.push_back(&p);
        return result;
    }
};

Stack randomStack(std::mt19937& rng) {
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(rng);
    };
    Stack s;
    s.tileSize = pick(1, 4);
    Mosaic m;
    m.tileSize = static_cast<std::uint16_t>(s.tileSize);
    m.tiles = std::make_shared<TileSet>();
    BuildTileSet(*m.tiles, testimages::numberedImage(static_cast<int>(s.tileSize),
                                                     static_cast<int>(s.tileSize)));
    ResetMosaic(m);
    s.mosaics.push_back(m);
    const int depth = pick(1, 4);
    for (int j = 0; j < depth; ++j) {
        Mosaic pattern;
        pattern.scale = static_cast<std::uint16_t>(pick(1, 4));
        const int parts = pick(1, 5);
        for (int i = 0; i < parts; ++i) {
            Placement part;
            part.width = pick(i == 0 ? 1 : 0, 3);
            part.height = pick(i == 0 ? 1 : 0, 2);
            part.x = pick(0, pattern.scale);
            part.y = pick(0, pattern.scale);
            part.orientation = static_cast<Orientation>(pick(0, 7));
            pattern.placements.push_back(part);
        }
        if (m.placements.size() * pattern.placements.size() > 1500 ||
            m.extent() * pattern.scale > 400)
            break;
        SubstituteCommand(pattern, m);
        s.patterns.push_back(pattern);
        s.mosaics.push_back(m);
    }
    return s;
}

bool covers(const Placement& p, std::int64_t tileSize, std::int64_t x, std::int64_t y) {
    return p.width > 0 && p.height > 0 && x >= p.x && x < p.x + p.width * tileSize && y >= p.y &&
           y < p.y + p.height * tileSize;
}

// The gap causes by brute force over blocks of the final list: a block of L(j) entries is a
// copy of the mosaic after j entries; a search enters it when the bounding box of its drawn
// placements holds the point, and a cause is a copy none of whose sub-blocks is entered.
struct BlockSearch {
    const Stack& s;
    std::int64_t x, y;
    std::vector<std::size_t> counts; // counts[j]: placements after j entries

    bool boxHolds(std::size_t first, std::size_t count) const {
        std::int64_t l = 0, t = 0, r = 0, b = 0;
        bool any = false;
        for (std::size_t i = first; i < first + count; ++i) {
            const Placement& p = s.mosaics.back().placements[i];
            if (p.width <= 0 || p.height <= 0)
                continue;
            const std::int64_t pr = p.x + p.width * s.tileSize, pb = p.y + p.height * s.tileSize;
            l = any ? std::min(l, std::int64_t{p.x}) : p.x;
            t = any ? std::min(t, std::int64_t{p.y}) : p.y;
            r = any ? std::max(r, pr) : pr;
            b = any ? std::max(b, pb) : pb;
            any = true;
        }
        return any && x >= l && x < r && y >= t && y < b;
    }
    // The block of `level` entries starting at `first`, reached through `path`.
    void visit(std::size_t level, std::size_t first, std::vector<std::size_t>& path,
               std::vector<GapCause>& causes) const {
        const std::size_t parts = s.patterns[level - 1].placements.size();
        bool entered = false;
        for (std::size_t i = parts; i-- > 0;) {
            const std::size_t sub = first + i * counts[level - 1];
            if (!boxHolds(sub, counts[level - 1]))
                continue;
            entered = true;
            path.push_back(i);
            if (level > 1)
                visit(level - 1, sub, path, causes);
            path.pop_back();
        }
        if (!entered)
            causes.push_back({level - 1, 0, 0, path});
    }
};

// The cell (column, row) of entry `entry` as a placement, carried to the final mosaic through
// the parts of `path` by the substitution itself: its rectangle must hold the point.
Placement carriedCell(const Stack& s, const GapCause& cause) {
    const Mosaic& before = s.mosaics[cause.entry];
    Mosaic probe = s.mosaics[cause.entry + 1];
    const std::int32_t cells = before.scale;
    probe.placements = {{cells, cells, static_cast<std::int32_t>(cause.column * before.extent()),
                         static_cast<std::int32_t>(cause.row * before.extent()), Orientation::R0}};
    for (std::size_t k = 0; k < cause.path.size(); ++k) {
        const Mosaic& pattern = s.patterns[cause.entry + 1 + k];
        Mosaic one = pattern;
        one.placements = {pattern.placements[cause.path[cause.path.size() - 1 - k]]};
        SubstituteCommand(one, probe);
    }
    return probe.placements.front();
}

TEST(Provenance, PointsAgreeWithBruteForceOverThePlacements) {
    std::mt19937 rng(20261206);
    int coveredPoints = 0, gapPoints = 0, outsideCauses = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const Stack s = randomStack(rng);
        const Provenance provenance(s.tileSize, s.pointers());
        const Mosaic& mosaic = s.mosaics.back();
        ASSERT_EQ(provenance.extent(), mosaic.extent());
        BlockSearch blocks{s, 0, 0, {}};
        for (const Mosaic& m : s.mosaics)
            blocks.counts.push_back(m.placements.size());
        auto coordinate = std::uniform_int_distribution<std::int64_t>(-mosaic.extent() / 2,
                                                                      mosaic.extent() * 3 / 2);
        for (int point = 0; point < 40; ++point) {
            const std::int64_t x = coordinate(rng), y = coordinate(rng);
            SCOPED_TRACE(testing::Message() << "trial " << trial << " point " << x << "," << y);
            const PointOrigin origin = provenance.explain(x, y);
            std::size_t top = mosaic.placements.size();
            for (std::size_t i = 0; i < mosaic.placements.size(); ++i)
                if (covers(mosaic.placements[i], s.tileSize, x, y))
                    top = i;
            ASSERT_EQ(origin.covered, top < mosaic.placements.size());
            if (origin.covered) {
                ++coveredPoints;
                const Placement& p = mosaic.placements[top];
                EXPECT_EQ(origin.placement, top);
                EXPECT_EQ(origin.orientation, p.orientation);
                // The pixel the renderer copies there, from the numbered tile image.
                const Color shown = mosaic.tiles->image(static_cast<unsigned>(p.orientation))
                                        .pixel(static_cast<int>((x - p.x) / p.width),
                                               static_cast<int>((y - p.y) / p.height));
                EXPECT_EQ(origin.tileX, redOf(shown));
                EXPECT_EQ(origin.tileY, greenOf(shown));
                ASSERT_EQ(origin.chain.size(), s.patterns.size());
                std::size_t countBefore = 1;
                for (std::size_t j = 0; j < s.patterns.size(); ++j) {
                    const std::size_t parts = s.patterns[j].placements.size();
                    const std::size_t part = top / countBefore % parts;
                    EXPECT_EQ(origin.chain[j].part, part);
                    EXPECT_EQ(origin.chain[j].cells, s.patterns[j].placements[part]);
                    countBefore *= parts;
                    EXPECT_EQ(origin.chain[j].tile,
                              s.mosaics[j + 1].placements[top % countBefore].orientation);
                }
                continue;
            }
            ++gapPoints;
            blocks.x = x;
            blocks.y = y;
            std::vector<GapCause> expected;
            std::vector<std::size_t> path;
            blocks.visit(s.patterns.size(), 0, path, expected);
            ASSERT_EQ(origin.gaps.size(), expected.size());
            for (std::size_t c = 0; c < expected.size(); ++c) {
                EXPECT_EQ(origin.gaps[c].entry, expected[c].entry);
                EXPECT_EQ(origin.gaps[c].path, expected[c].path);
                const Placement cell = carriedCell(s, origin.gaps[c]);
                EXPECT_TRUE(covers(cell, s.tileSize, x, y)) << cell;
                const std::int64_t grid = s.patterns[origin.gaps[c].entry].scale;
                outsideCauses += origin.gaps[c].column < 0 || origin.gaps[c].row < 0 ||
                                 origin.gaps[c].column >= grid || origin.gaps[c].row >= grid;
            }
        }
    }
    // The random stacks reach every kind of point.
    EXPECT_GT(coveredPoints, 1000);
    EXPECT_GT(gapPoints, 1000);
    EXPECT_GT(outsideCauses, 10);
}

TEST(Provenance, CopiesAgreeWithTheSubstitutionOfTheCellsAlone) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        const Stack s = randomStack(rng);
        const Provenance provenance(s.tileSize, s.pointers());
        for (std::size_t entry = 0; entry < s.patterns.size(); ++entry)
            for (std::size_t part = 0; part < s.patterns[entry].placements.size(); ++part) {
                SCOPED_TRACE(testing::Message() << trial << " " << entry << " " << part);
                // The mosaic before the entry as one placement over its square, then the entry
                // with this part alone, then every newer entry whole.
                Mosaic probe = s.mosaics[entry];
                const std::int32_t side = probe.scale;
                probe.placements = {{side, side, 0, 0, Orientation::R0}};
                Mosaic alone = s.patterns[entry];
                alone.placements = {s.patterns[entry].placements[part]};
                SubstituteCommand(alone, probe);
                for (std::size_t j = entry + 1; j < s.patterns.size(); ++j)
                    SubstituteCommand(s.patterns[j], probe);
                const std::vector<MosaicRect> rects = provenance.copies(entry, part);
                ASSERT_EQ(rects.size(), probe.placements.size());
                for (std::size_t i = 0; i < rects.size(); ++i) {
                    const Placement& p = probe.placements[i];
                    EXPECT_EQ(rects[i], (MosaicRect{p.x, p.y, p.x + p.width * s.tileSize,
                                                    p.y + p.height * s.tileSize}));
                }
            }
    }
}

} // namespace
