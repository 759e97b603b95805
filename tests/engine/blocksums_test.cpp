#include "blocksums.h"
#include "randomimage.h"
#include "render.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace ornamo;
using ornamo::testimages::randomImage;

namespace {

// What a case draws its random mosaic from.
struct Recipe {
    const char* name;
    int tileSize;
    int scale;
    bool unrelatedImages; // eight unrelated images instead of the turns of one tile
    int placements;
    int maxStretch;
    std::vector<int> factors;
};

void PrintTo(const Recipe& r, std::ostream* out) {
    *out << r.name;
}

// `wild` adds placements far outside the mosaic or stretched past it.
Mosaic randomMosaic(const Recipe& r, std::mt19937& rng, bool wild = true) {
    Mosaic m;
    m.gapColor = rng() & 0xFFFFFF;
    m.scale = static_cast<std::uint16_t>(r.scale);
    m.tileSize = static_cast<std::uint16_t>(r.tileSize);
    m.tiles = std::make_shared<TileSet>();
    if (r.unrelatedImages)
        for (Bitmap& t : *m.tiles)
            t = randomImage(r.tileSize, r.tileSize, rng);
    else
        BuildTileSet(*m.tiles, randomImage(r.tileSize, r.tileSize, rng));
    const int side = r.scale * r.tileSize;
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(rng);
    };
    for (int i = 0; i < r.placements; ++i) {
        Placement p;
        p.width = pick(1, r.maxStretch);
        p.height = pick(1, r.maxStretch);
        p.x = pick(-r.maxStretch * r.tileSize, side);
        p.y = pick(-r.maxStretch * r.tileSize, side);
        p.orientation = static_cast<Orientation>(pick(0, 8)); // 8 draws nothing
        const int kind = pick(0, 15);
        switch (wild || kind < 2 ? kind : -1) {
        case 0:
            p.width = pick(-2, 0);
            break;
        case 1:
            p.height = pick(-2, 0);
            break;
        case 2:
            p.x = pick(1 << 20, 1 << 30);
            break;
        case 3:
            p.y = -pick(1 << 20, 1 << 30);
            break;
        case 4:
            p.width = pick(1 << 16, 1 << 30);
            p.x = -pick(0, 1 << 30);
            break;
        default:
            break;
        }
        m.placements.push_back(p);
    }
    return m;
}

Bitmap referenceView(const Mosaic& m, int factor) {
    Bitmap image, view;
    renderMosaic(m, image);
    ShrinkBitmap(static_cast<std::uint16_t>(factor), static_cast<std::uint16_t>(factor), image,
                 view);
    return view;
}

// compute() of `rect` into rows padded with a marker that must stay untouched, compared with
// the same rectangle of `expected`.
void expectRect(const BlockSums& sums, int factor, ViewRect rect, const Bitmap& expected,
                const Mosaic& shown) {
    const std::ptrdiff_t stride = std::ptrdiff_t{rect.width} * 3 + 5;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride * rect.height), 0xA5);
    sums.compute(factor, rect, out.data(), stride);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            const std::uint8_t* p = &out[static_cast<std::size_t>(y * stride + x * 3)];
            ASSERT_EQ(makeColor(p[0], p[1], p[2]), expected.pixel(rect.x + x, rect.y + y))
                << "factor " << factor << ", pixel (" << rect.x + x << ", " << rect.y + y
                << ") of rect " << rect.x << ' ' << rect.y << ' ' << rect.width << 'x'
                << rect.height << ", " << shown.placements.size() << " placements";
        }
        for (std::ptrdiff_t i = std::ptrdiff_t{rect.width} * 3; i < stride; ++i)
            ASSERT_EQ(out[static_cast<std::size_t>(y * stride + i)], 0xA5) << "row padding";
    }
}

void expectViews(const Mosaic& m, const std::vector<int>& factors, std::mt19937& rng,
                 const Mosaic* same = nullptr, int times = 1) {
    // `same`, when given, is m with every coordinate multiplied by `times`: its view at
    // factor x times is the view of m.
    const BlockSums sums(same ? *same : m);
    for (int f : factors) {
        const Bitmap expected = referenceView(m, f);
        const int side = expected.width();
        ASSERT_EQ(sums.viewSide(f * times), side);
        expectRect(sums, f * times, {0, 0, side, side}, expected, m);
        for (int i = 0; i < 6 && side > 0; ++i) {
            ViewRect r;
            r.x = std::uniform_int_distribution<int>(0, side - 1)(rng);
            r.y = std::uniform_int_distribution<int>(0, side - 1)(rng);
            r.width = std::uniform_int_distribution<int>(1, side - r.x)(rng);
            r.height = std::uniform_int_distribution<int>(1, side - r.y)(rng);
            expectRect(sums, f * times, r, expected, m);
        }
    }
}

const std::vector<Recipe> recipes = {
    {"turnsOfOneTile", 7, 6, false, 40, 3, {2, 3, 4, 5, 7, 13, 41, 42, 60}},
    {"unrelatedImages", 5, 9, true, 30, 4, {2, 3, 6, 9, 11, 44, 45}},
    {"onePixelTile", 1, 37, true, 60, 12, {2, 3, 5, 36, 37}},
    {"manySmallEvenTiles", 8, 8, false, 150, 2, {2, 4, 8, 16, 31, 63, 64}},
    {"fewWideStretches", 3, 20, true, 12, 25, {2, 7, 19, 30}},
    {"unstretchedPastFactor2048", 64, 40, false, 40, 1, {3, 2049, 2560}}, // 64-bit sums
};

class BlockSumsRandom : public ::testing::TestWithParam<Recipe> {};

TEST_P(BlockSumsRandom, MatchesRenderThenShrink) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        const Mosaic m = randomMosaic(GetParam(), rng);
        expectViews(m, GetParam().factors, rng);
    }
}

// The same mosaic with every length multiplied by k, viewed at k times the factor: every
// block sum grows by k^2 (past 32 bits), the mean stays.
TEST_P(BlockSumsRandom, MagnifiedMosaicGivesTheSameView) {
    std::mt19937 rng(99);
    const Mosaic m = randomMosaic(GetParam(), rng, false);
    for (int k : {3, 1000}) {
        if (m.extent() * k > maxExtent)
            continue;
        Mosaic big = m;
        big.scale = static_cast<std::uint16_t>(m.scale * k);
        big.tileSize = m.tileSize; // placements stretch k times more, at k times the position
        for (Placement& p : big.placements) {
            const std::int64_t w = std::int64_t{p.width} * k, h = std::int64_t{p.height} * k;
            const std::int64_t x = std::int64_t{p.x} * k, y = std::int64_t{p.y} * k;
            p = {static_cast<std::int32_t>(w), static_cast<std::int32_t>(h),
                 static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), p.orientation};
        }
        expectViews(m, GetParam().factors, rng, &big, k);
    }
}

INSTANTIATE_TEST_SUITE_P(Mosaics, BlockSumsRandom, ::testing::ValuesIn(recipes),
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

TEST(BlockSums, RejectsRectsOutsideTheView) {
    std::mt19937 rng(5);
    const Mosaic m = randomMosaic(recipes[0], rng); // side 42
    const BlockSums sums(m);
    std::vector<std::uint8_t> out(64 * 64 * 3);
    EXPECT_THROW(sums.compute(1, {0, 0, 1, 1}, out.data(), 3), std::invalid_argument);
    EXPECT_THROW(sums.compute(4, {0, 0, 11, 1}, out.data(), 33), std::invalid_argument);
    EXPECT_THROW(sums.compute(4, {-1, 0, 2, 2}, out.data(), 6), std::invalid_argument);
    EXPECT_NO_THROW(sums.compute(4, {0, 0, 10, 10}, out.data(), 30));
    EXPECT_NO_THROW(sums.compute(60, {0, 0, 0, 0}, out.data(), 0));
}

} // namespace
