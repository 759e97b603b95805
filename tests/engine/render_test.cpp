#include "iterations.h"
#include "randommosaic.h"
#include "render.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace ornamo;
using ornamo::testimages::forEachIteration;
using ornamo::testimages::randomImage;
using ornamo::testimages::withCopies;

namespace {

// The eight images of a random tile of side `side`, kept as copies up to `copyLimit` bytes.
std::shared_ptr<TileSet> randomTiles(int side, std::mt19937& rng,
                                     std::size_t copyLimit = TileSet::defaultCopyLimit) {
    auto tiles = std::make_shared<TileSet>();
    BuildTileSet(*tiles, randomImage(side, side, rng), copyLimit);
    return tiles;
}

Mosaic mosaicOf(int scale, int tileSize, std::shared_ptr<TileSet> tiles,
                std::vector<Placement> placements, Color gap = 0x123456) {
    return {gap, static_cast<std::uint16_t>(scale), static_cast<std::uint16_t>(tileSize),
            std::move(tiles), std::move(placements)};
}

// The render as a trivial per-pixel loop: gap colour everywhere, then each placement in list
// order, every visible pixel taking the tile pixel it enlarges.
Bitmap referenceRender(const Mosaic& m) {
    const int side = static_cast<int>(m.extent());
    Bitmap image(side, side, m.gapColor);
    for (const Placement& p : m.placements) {
        const auto o = static_cast<unsigned>(p.orientation);
        if (o > 7 || p.width <= 0 || p.height <= 0)
            continue;
        const Bitmap tile = m.tiles->image(o);
        const std::int64_t right = std::int64_t{p.x} + std::int64_t{p.width} * tile.width();
        const std::int64_t bottom = std::int64_t{p.y} + std::int64_t{p.height} * tile.height();
        for (std::int64_t y = std::max<std::int64_t>(p.y, 0);
             y < std::min<std::int64_t>(bottom, side); ++y)
            for (std::int64_t x = std::max<std::int64_t>(p.x, 0);
                 x < std::min<std::int64_t>(right, side); ++x)
                image.setPixel(static_cast<int>(x), static_cast<int>(y),
                               tile.pixel(static_cast<int>((x - p.x) / p.width),
                                          static_cast<int>((y - p.y) / p.height)));
    }
    return image;
}

// The reduction (factors of 2 or more, source wider than fx) as a trivial per-pixel loop over
// each block, with wide sums.
Bitmap referenceShrink(int fx, int fy, const Bitmap& source) {
    Bitmap out(source.width() / fx, source.height() / fy);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            std::uint64_t sum[3] = {0, 0, 0};
            for (int dy = 0; dy < fy; ++dy)
                for (int dx = 0; dx < fx; ++dx) {
                    const Color p = source.pixel(x * fx + dx, y * fy + dy);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += (p >> (8 * c)) & 0xFF;
                }
            const std::uint64_t n = std::uint64_t(fx) * std::uint64_t(fy);
            out.setPixel(x, y,
                         makeColor(std::uint8_t(sum[0] / n), std::uint8_t(sum[1] / n),
                                   std::uint8_t(sum[2] / n)));
        }
    return out;
}

struct RecordingProgress : Progress {
    std::vector<Caption> captions;
    int ends = 0;
    std::vector<int> steps;
    void StartProcessBar(Caption caption) override { captions.push_back(caption); }
    void EndProcessBar() override { ++ends; }
    void step(int position) override { steps.push_back(position); }
};

Bitmap rendered(const Mosaic& m) {
    Bitmap image(3, 5, 0xABCDEF); // a leftover of another size, to be replaced
    renderMosaic(m, image);
    return image;
}

Bitmap shrunk(int fx, int fy, const Bitmap& source) {
    Bitmap out(5, 5, 0x999999); // a leftover, to be replaced
    ShrinkBitmap(static_cast<std::uint16_t>(fx), static_cast<std::uint16_t>(fy), source, out);
    return out;
}

// ---- Render ----

TEST(Render, GapColourThenPlacementsInListOrder) {
    std::mt19937 rng(1);
    auto tiles = randomTiles(10, rng);
    EXPECT_EQ(rendered(mosaicOf(3, 10, tiles, {}, 0xFF00)), Bitmap(30, 30, 0xFF00));
    Bitmap expected(30, 30, 0xFF00), stretched;
    EnlargeBitmap(tiles->image(2), stretched, 2, 1);
    expected.draw(tiles->image(1), 0, 0);   // R90
    expected.draw(tiles->image(4), 5, 5);   // MR0, over the first
    expected.draw(stretched, 3, 14);        // R180, twice as wide
    expected.draw(tiles->image(7), 25, 22); // MR270, clipped
    EXPECT_EQ(rendered(mosaicOf(3, 10, tiles,
                                {{1, 1, 0, 0, Orientation::R90},
                                 {1, 1, 5, 5, Orientation::MR0},
                                 {2, 1, 3, 14, Orientation::R180},
                                 {1, 1, 25, 22, Orientation::MR270}},
                                0xFF00)),
              expected);
}

// Each row: one placement of a 10-pixel tile in a 30 x 30 image. The result must match the
// reference, and the count of pixels drawn over the gap is worked out by hand.
TEST(Render, SinglePlacementDrawsItsVisiblePart) {
    const struct {
        const char* name;
        Placement placement;
        int drawnPixels;
    } cases[] = {
        {"Plain", {1, 1, 10, 10, Orientation::R0}, 100},
        {"PastRightAndBottomEdges", {1, 1, 25, 26, Orientation::R180}, 5 * 4},
        {"NegativePosition", {1, 1, -3, -7, Orientation::MR90}, 7 * 3},
        {"EnlargedTwoByThree", {2, 3, 0, 0, Orientation::R270}, 20 * 30},
        {"EnlargedNegative", {2, 2, -15, -1, Orientation::R90}, 5 * 19},
        {"OrientationAboveSeven", {1, 1, 0, 0, static_cast<Orientation>(8)}, 0},
        {"WidthZero", {0, 1, 0, 0, Orientation::R0}, 0},
        {"HeightNegative", {1, -2, 0, 0, Orientation::R0}, 0},
        {"FactorAbove255", {300, 1, -2700, 0, Orientation::R0}, 30 * 10},
        {"Factor256NotItsLowByte", {256, 256, -2530, -2530, Orientation::R0}, 30 * 30},
        {"HugeFactorsFarAway", {1 << 30, 1 << 30, -(1 << 30), 5, Orientation::R0}, 30 * 25},
        {"EntirelyOutside", {1, 1, 30, 0, Orientation::R0}, 0},
    };
    std::mt19937 rng(4);
    auto tiles = randomTiles(10, rng);
    for (const auto& c : cases) {
        Mosaic m = mosaicOf(3, 10, tiles, {c.placement}, 0x0);
        const Bitmap image = rendered(m);
        EXPECT_EQ(image, referenceRender(m)) << c.name;
        m.gapColor = 0xFFFFFF;
        const Bitmap otherGap = rendered(m);
        int drawn = 0; // the pixels that do not follow the gap colour
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                drawn += image.pixel(x, y) == otherGap.pixel(x, y);
        EXPECT_EQ(drawn, c.drawnPixels) << c.name;
    }
}

TEST(Render, SeededRandomMosaicsMatchTheReference) {
    forEachIteration(40, [](unsigned seed) {
        std::mt19937 rng(seed);
        // seed 0 makes an image large enough (2500 x 2500) to be drawn through band buffers
        const int tileSize = seed == 0 ? 10 : 1 + static_cast<int>(rng() % 13);
        const int scale =
            seed == 0 ? 250 : 1 + static_cast<int>(rng() % (seed % 4 == 0 ? 150 : 25));
        const int side = scale * tileSize;
        const auto factor = [&] {
            const unsigned r = rng() % 20;
            return r == 0 ? -1 : r == 1 ? 0 : r < 15 ? 1 : static_cast<int>(r % 5) + 1;
        };
        std::vector<Placement> placements(rng() % 200);
        for (Placement& p : placements) {
            p.width = factor();
            p.height = rng() % 9 == 0 ? scale + 1 : factor(); // some placements span many bands
            p.x = static_cast<int>(rng() % (side + 4 * tileSize)) - 2 * tileSize;
            p.y = static_cast<int>(rng() % (side + 4 * tileSize)) - 2 * tileSize;
            p.orientation = static_cast<Orientation>(rng() % 9);
        }
        if (seed % 5 == 1) // something covering everything, then more on top
            placements.insert(placements.begin() +
                                  static_cast<std::ptrdiff_t>(placements.size() / 2),
                              Placement{scale + 1, scale + 1, -1, -1, Orientation::R0});
        // Odd seeds read the turned images from the base by index arithmetic.
        const Mosaic m = mosaicOf(
            scale, tileSize, randomTiles(tileSize, rng, seed % 2 ? 0 : TileSet::defaultCopyLimit),
            placements, rng() & 0xFFFFFF);
        ASSERT_EQ(rendered(m), referenceRender(withCopies(m)));
    });
}

TEST(Render, ImageTooLargeChangesNothing) {
    std::mt19937 rng(7);
    Bitmap image(4, 4, 0x112233);
    const Bitmap imageBefore = image;
    RecordingProgress progress;
    // 65535 x 30000 pixels on a side: far beyond any memory.
    const Mosaic m = mosaicOf(30000, 65535, randomTiles(1, rng), {{1, 1, 0, 0, Orientation::R0}});
    EXPECT_THROW(renderMosaic(m, image, &progress), NotEnoughImageMemory);
    EXPECT_TRUE(progress.captions.empty());
    EXPECT_EQ(image, imageBefore);
}

// ---- Reduction ----

TEST(Shrink, KnownOutcomes) {
    std::mt19937 rng(9);
    const Bitmap random = randomImage(13, 9, rng);
    Bitmap topLeft(120, 120, 0xFFFFFF), halfRed(3, 2, 0);
    topLeft.fillRect(0, 0, 112, 112, 0x204060);
    halfRed.fillRect(0, 0, 2, 1, 0xFF);
    const struct {
        const char* name;
        Bitmap source;
        int fx, fy;
        Bitmap expected;
    } cases[] = {
        {"Side120AtFactor16UsesTheTopLeft112", topLeft, 16, 16, Bitmap(7, 7, 0x204060)},
        {"Reds255And255And0And0Give127", halfRed, 2, 2, Bitmap(1, 1, 127)},
        {"SideEqualToTheFactor", Bitmap(40, 40, 0x123456), 40, 40, Bitmap()},
        {"WidthDecidesEmptiness", Bitmap(10, 10, 0x123456), 12, 2, Bitmap()},
        {"FactorZeroCopies", random, 0, 4, random},
        {"FactorOneCopies", random, 1, 4, random},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shrunk(c.fx, c.fy, c.source), c.expected) << c.name;
}

// Each case also reduces in place: the same image as source and destination.
TEST(Shrink, SeededRandomImagesMatchTheReference) {
    const struct {
        int fx, fy, width, height;
    } cases[] = {{2, 2, 101, 77},      {3, 3, 100, 100},      {2, 3, 37, 41},
                 {4, 4, 64, 65},       {9, 9, 200, 190},      {13, 13, 80, 80},
                 {14, 14, 80, 80},     {20, 7, 99, 50},       {81, 81, 250, 170},
                 {258, 258, 520, 520}, {600, 300, 1300, 700}, {4001, 3001, 4002, 3002}};
    for (const auto& c : cases) {
        std::mt19937 rng(static_cast<unsigned>(c.fx * 1000 + c.fy));
        Bitmap image = randomImage(c.width, c.height, rng);
        const Bitmap expected = referenceShrink(c.fx, c.fy, image);
        EXPECT_EQ(shrunk(c.fx, c.fy, image), expected) << c.fx << " x " << c.fy;
        ShrinkBitmap(static_cast<std::uint16_t>(c.fx), static_cast<std::uint16_t>(c.fy), image,
                     image);
        EXPECT_EQ(image, expected) << "in place, " << c.fx << " x " << c.fy;
    }
}

// Blocks whose red sums run through every value from 0 to 255 x (pixels per block), or, for
// larger blocks, through the values around the multiples of the pixel count: each mean must be
// the sum divided by the pixel count, truncated.
TEST(Shrink, EveryBlockSumIsDividedExactly) {
    for (int f : {2, 3, 5, 13, 14, 16, 100, 258}) {
        const int pixels = f * f;
        std::vector<int> sums;
        for (int s = 0; s <= 255 * pixels; ++s) {
            const int q = s / pixels, r = s % pixels;
            const bool nearMultiple = r <= 1 || r == pixels - 1;
            const bool keyQuotient = f <= 16 || q <= 2 || q == 127 || q == 128 || q >= 254;
            if (pixels <= 25 || (nearMultiple && keyQuotient))
                sums.push_back(s);
        }
        Bitmap source(f * static_cast<int>(sums.size()), f, 0);
        for (std::size_t k = 0; k < sums.size(); ++k)
            for (int i = 0, left = sums[k]; i < pixels && left > 0; ++i, left -= 255)
                source.setPixel(static_cast<int>(k) * f + i % f, i / f,
                                static_cast<Color>(std::min(left, 255)));
        const Bitmap out = shrunk(f, f, source);
        ASSERT_EQ(out.width(), static_cast<int>(sums.size()));
        for (std::size_t k = 0; k < sums.size(); ++k)
            ASSERT_EQ(out.pixel(static_cast<int>(k), 0), static_cast<Color>(sums[k] / pixels))
                << "factor " << f << ", sum " << sums[k];
    }
}

} // namespace
