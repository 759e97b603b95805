#include "blocksums.h"
#include "iterations.h"
#include "randommosaic.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

using namespace ornamo;
using namespace ornamo::testimages;

namespace {

// A way of computing a rect of the view into rows of the given stride.
using Compute = std::function<void(ViewRect, std::uint8_t*, std::ptrdiff_t)>;

// `rect` computed into rows padded with a marker that must stay untouched, compared with the
// same rectangle of `expected`.
void expectRect(const Compute& compute, ViewRect rect, const Bitmap& expected, const char* way) {
    const std::ptrdiff_t stride = std::ptrdiff_t{rect.width} * 3 + 5;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride * rect.height), 0xA5);
    compute(rect, out.data(), stride);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            const std::uint8_t* p = &out[static_cast<std::size_t>(y * stride + x * 3)];
            ASSERT_EQ(makeColor(p[0], p[1], p[2]), expected.pixel(rect.x + x, rect.y + y))
                << way << ", pixel (" << rect.x + x << ", " << rect.y + y << ") of rect " << rect.x
                << ' ' << rect.y << ' ' << rect.width << 'x' << rect.height;
        }
        for (std::ptrdiff_t i = std::ptrdiff_t{rect.width} * 3; i < stride; ++i)
            ASSERT_EQ(out[static_cast<std::size_t>(y * stride + i)], 0xA5) << "row padding";
    }
}

// The whole view and scattered rects of it, by block sums and (unless magnified) by strips.
void expectViews(const Mosaic& m, const std::vector<int>& factors, std::mt19937& rng,
                 const Mosaic* same = nullptr, int times = 1) {
    // `same`, when given, is m with every coordinate multiplied by `times`: its view at
    // factor x times is the view of m.
    const Mosaic& shown = same ? *same : m;
    const BlockSums sums(shown);
    for (int f : factors) {
        SCOPED_TRACE(testing::Message()
                     << "factor " << f * times << ", " << m.placements.size() << " placements");
        const Compute bySums = [&](ViewRect r, std::uint8_t* out, std::ptrdiff_t stride) {
            sums.compute(f * times, r, out, stride);
        };
        const Compute byStrips = [&](ViewRect r, std::uint8_t* out, std::ptrdiff_t stride) {
            renderViewRect(shown, f * times, r, out, stride);
        };
        // Tables of only the tile rows and columns read at this factor, as for large tiles.
        const auto lattice =
            BlockSums::atFactor(shown, f * times, [](std::uint64_t) { return true; });
        const Compute byLattice = [&](ViewRect r, std::uint8_t* out, std::ptrdiff_t stride) {
            lattice->compute(f * times, r, out, stride);
        };
        const Bitmap expected = referenceView(m, f);
        const int side = expected.width();
        ASSERT_EQ(sums.viewSide(f * times), side);
        std::vector<ViewRect> rects{{0, 0, side, side}};
        for (int i = 0; i < 6 && side > 0; ++i) {
            ViewRect r;
            r.x = std::uniform_int_distribution<int>(0, side - 1)(rng);
            r.y = std::uniform_int_distribution<int>(0, side - 1)(rng);
            r.width = std::uniform_int_distribution<int>(1, side - r.x)(rng);
            r.height = std::uniform_int_distribution<int>(1, side - r.y)(rng);
            rects.push_back(r);
        }
        for (const ViewRect& r : rects) {
            expectRect(bySums, r, expected, "block sums");
            expectRect(byLattice, r, expected, "block sums at one factor");
            if (times == 1) // strips cost the full-size area
                expectRect(byStrips, r, expected, "strips");
        }
    }
}

const std::vector<Recipe> recipes = {
    {"turnsOfOneTile", 7, 6, false, 40, 3, {2, 3, 4, 5, 7, 13, 41, 42, 60}},
    {"turnsByArithmetic", 5, 9, true, 30, 4, {2, 3, 6, 9, 11, 44, 45}},
    {"onePixelTile", 1, 37, true, 60, 12, {2, 3, 5, 36, 37}},
    {"manySmallEvenTiles", 8, 8, false, 150, 2, {2, 4, 8, 16, 31, 63, 64}},
    {"fewWideStretches", 3, 20, true, 12, 25, {2, 7, 19, 30}},
    {"unstretchedPastFactor2048", 64, 40, false, 40, 1, {3, 2049, 2560}}, // 64-bit sums
    // Bands too short for a whole block row: the strips sum blocks across bands.
    {"wideBlocksAcrossBands", 31, 100, false, 300, 4, {2, 3, 40, 97, 700}},
};

class ViewRects : public ::testing::TestWithParam<Recipe> {};

TEST_P(ViewRects, BothWaysMatchRenderThenShrink) {
    forEachIteration(4, [](unsigned n) {
        std::mt19937 rng(n);
        const Mosaic m = randomMosaic(GetParam(), rng);
        expectViews(m, GetParam().factors, rng);
    });
}

// The same mosaic with every length multiplied by k, viewed at k times the factor: every
// block sum grows by k^2 (past 32 bits), the mean stays.
TEST_P(ViewRects, MagnifiedMosaicGivesTheSameView) {
    std::mt19937 rng(99);
    const Mosaic m = randomMosaic(GetParam(), rng, false);
    for (int k : {3, 1000}) {
        if (m.extent() * k > maxExtent)
            continue;
        const Mosaic big = magnified(m, k);
        expectViews(m, GetParam().factors, rng, &big, k);
    }
}

INSTANTIATE_TEST_SUITE_P(Mosaics, ViewRects, ::testing::ValuesIn(recipes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BlockSums, NoTilesShowsTheGap) {
    Mosaic m;
    m.scale = 4;
    m.tileSize = 5;
    m.gapColor = 0x3080F0;
    m.placements = {{1, 1, 0, 0, Orientation::R0}};
    std::mt19937 rng(3);
    expectViews(m, {2, 3, 7}, rng);
}

} // namespace
