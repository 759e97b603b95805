#include "messages.h"
#include "randomimage.h"
#include "render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <ostream>
#include <string>
#include <vector>

using namespace ornamo;
using ornamo::testimages::randomImage;

namespace {

// Eight different random tile images of side `side`.
std::shared_ptr<TileSet> randomTiles(int side, std::mt19937& rng) {
    auto tiles = std::make_shared<TileSet>();
    for (Bitmap& t : *tiles)
        t = randomImage(side, side, rng);
    return tiles;
}

Mosaic mosaicOf(int scale, int tileSize, std::shared_ptr<TileSet> tiles,
                std::vector<Placement> placements, Color gap = 0x123456) {
    Mosaic m;
    m.scale = static_cast<std::uint16_t>(scale);
    m.tileSize = static_cast<std::uint16_t>(tileSize);
    m.tiles = std::move(tiles);
    m.placements = std::move(placements);
    m.gapColor = gap;
    return m;
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
        const Bitmap& tile = (*m.tiles)[o];
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

// The reduction as a trivial per-pixel loop over each block, with wide sums.
Bitmap referenceShrink(int fx, int fy, const Bitmap& source) {
    const int w = source.width(), h = source.height();
    if (w <= fx)
        return Bitmap();
    if (fx <= 1 || fy <= 1)
        return source;
    Bitmap out(w / fx, h / fy);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            std::uint64_t r = 0, g = 0, b = 0;
            for (int dy = 0; dy < fy; ++dy)
                for (int dx = 0; dx < fx; ++dx) {
                    std::uint8_t cr, cg, cb;
                    SplitColor(static_cast<std::int32_t>(source.pixel(x * fx + dx, y * fy + dy)),
                               cr, cg, cb);
                    r += cr;
                    g += cg;
                    b += cb;
                }
            const std::uint64_t n = std::uint64_t(fx) * std::uint64_t(fy);
            out.setPixel(x, y,
                         makeColor(std::uint8_t(r / n), std::uint8_t(g / n), std::uint8_t(b / n)));
        }
    return out;
}

struct RecordingProgress : Progress {
    std::vector<std::string> captions;
    int ends = 0;
    std::vector<int> steps;
    void StartProcessBar(std::string_view caption) override { captions.emplace_back(caption); }
    void EndProcessBar() override { ++ends; }
    void step(int position) override { steps.push_back(position); }
};

Bitmap rendered(const Mosaic& m) {
    Bitmap image(3, 5, 0xABCDEF); // a leftover of another size, to be replaced
    renderMosaic(m, image);
    return image;
}

// ---- Render ----

TEST(Render, GapColourWhereNothingDraws) {
    std::mt19937 rng(1);
    auto tiles = randomTiles(40, rng);
    const Mosaic m = mosaicOf(3, 40, tiles, {{1, 1, 40, 40, Orientation::R0}}, 0x00FF00);
    const Bitmap image = rendered(m);
    ASSERT_EQ(image.width(), 120);
    ASSERT_EQ(image.height(), 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inTile = x >= 40 && x < 80 && y >= 40 && y < 80;
            ASSERT_EQ(image.pixel(x, y), inTile ? (*tiles)[0].pixel(x - 40, y - 40) : 0x00FF00u)
                << x << "," << y;
        }
}

TEST(Render, EmptyListIsAllGap) {
    std::mt19937 rng(2);
    EXPECT_EQ(rendered(mosaicOf(2, 7, randomTiles(7, rng), {}, 0x445566)),
              Bitmap(14, 14, 0x445566));
}

TEST(Render, LaterPlacementCoversEarlier) {
    std::mt19937 rng(3);
    auto tiles = randomTiles(10, rng);
    const Mosaic m =
        mosaicOf(2, 10, tiles, {{1, 1, 0, 0, Orientation::R90}, {1, 1, 5, 5, Orientation::MR0}});
    const Bitmap image = rendered(m);
    EXPECT_EQ(image.pixel(4, 4), (*tiles)[1].pixel(4, 4));
    EXPECT_EQ(image.pixel(5, 5), (*tiles)[4].pixel(0, 0));
    EXPECT_EQ(image.pixel(9, 9), (*tiles)[4].pixel(4, 4));
    EXPECT_EQ(image, referenceRender(m));
}

// Each row: one placement on a 10-pixel tile in a 30 x 30 image; the result must match the
// per-pixel reference, and the count of pixels changed from the gap colour is independent.
struct PlacementCase {
    const char* name;
    Placement placement;
    int drawnPixels;
};

void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }

class SinglePlacement : public testing::TestWithParam<PlacementCase> {};

TEST_P(SinglePlacement, DrawsItsVisiblePart) {
    std::mt19937 rng(4);
    auto tiles = randomTiles(10, rng);
    // A black gap and tiles without black, so drawn pixels can be counted.
    const Mosaic m = mosaicOf(3, 10, tiles, {GetParam().placement}, 0x0);
    for (Bitmap& t : *tiles)
        for (int y = 0; y < t.height(); ++y)
            for (int x = 0; x < t.width(); ++x)
                t.setPixel(x, y, t.pixel(x, y) | 0x010101);
    const Bitmap image = rendered(m);
    EXPECT_EQ(image, referenceRender(m));
    int drawn = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            drawn += image.pixel(x, y) != 0;
    EXPECT_EQ(drawn, GetParam().drawnPixels);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SinglePlacement,
    testing::Values(
        PlacementCase{"Plain", {1, 1, 10, 10, Orientation::R0}, 100},
        PlacementCase{"PastRightAndBottomEdges", {1, 1, 25, 26, Orientation::R180}, 5 * 4},
        PlacementCase{"NegativePosition", {1, 1, -3, -7, Orientation::MR90}, 7 * 3},
        PlacementCase{"EnlargedTwoByThree", {2, 3, 0, 0, Orientation::R270}, 20 * 30},
        PlacementCase{"EnlargedNegative", {2, 2, -15, -1, Orientation::R90}, 5 * 19},
        PlacementCase{"OrientationAboveSeven", {1, 1, 0, 0, static_cast<Orientation>(8)}, 0},
        PlacementCase{"WidthZero", {0, 1, 0, 0, Orientation::R0}, 0},
        PlacementCase{"HeightNegative", {1, -2, 0, 0, Orientation::R0}, 0},
        PlacementCase{"FactorAbove255", {300, 1, -2700, 0, Orientation::R0}, 30 * 10},
        PlacementCase{"Factor256NotItsLowByte", {256, 256, -2530, -2530, Orientation::R0}, 30 * 30},
        PlacementCase{
            "HugeFactorsFarAway", {1 << 30, 1 << 30, -(1 << 30), 5, Orientation::R0}, 30 * 25},
        PlacementCase{"EntirelyOutside", {1, 1, 30, 0, Orientation::R0}, 0}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

TEST(Render, FactorAbove255IsAFullFactor) {
    // A width of 300 stretches each tile column over 300 pixels (its low byte, 44, would not).
    std::mt19937 rng(5);
    auto tiles = randomTiles(2, rng);
    const Mosaic m = mosaicOf(300, 2, tiles, {{300, 1, 0, 0, Orientation::R0}});
    const Bitmap image = rendered(m);
    EXPECT_EQ(image.pixel(299, 0), (*tiles)[0].pixel(0, 0));
    EXPECT_EQ(image.pixel(300, 1), (*tiles)[0].pixel(1, 1));
}

TEST(Render, SeededRandomMosaicsMatchTheReference) {
    for (unsigned seed = 0; seed < 40; ++seed) {
        std::mt19937 rng(seed);
        const int tileSize = seed == 0 ? 10 : 1 + static_cast<int>(rng() % 13);
        // seed 0 makes an image large enough (2500 x 2500) to be drawn through band buffers
        const int scale =
            seed == 0 ? 250 : 1 + static_cast<int>(rng() % (seed % 4 == 0 ? 150 : 25));
        const int side = scale * tileSize;
        std::vector<Placement> placements(rng() % 200);
        for (Placement& p : placements) {
            const auto factor = [&] {
                const unsigned r = rng() % 20;
                return r == 0 ? -1 : r == 1 ? 0 : r < 15 ? 1 : static_cast<int>(r % 5) + 1;
            };
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
        const Mosaic m =
            mosaicOf(scale, tileSize, randomTiles(tileSize, rng), placements, rng() & 0xFFFFFF);
        ASSERT_EQ(rendered(m), referenceRender(m)) << "seed " << seed;
    }
}

TEST(Render, ReportsItsCaptionAndRisingPositions) {
    std::mt19937 rng(6);
    RecordingProgress progress;
    std::vector<Placement> placements;
    for (int i = 0; i < 3000; ++i)
        placements.push_back({1, 1, (i % 50) * 20, (i / 50) * 20, Orientation::R0});
    Bitmap image;
    renderMosaic(mosaicOf(50, 20, randomTiles(20, rng), placements), image, &progress);
    ASSERT_EQ(progress.captions, std::vector<std::string>{std::string(messages::busyRendering)});
    EXPECT_EQ(progress.ends, 1);
    EXPECT_TRUE(std::is_sorted(progress.steps.begin(), progress.steps.end()));
    for (int s : progress.steps)
        EXPECT_TRUE(s >= 0 && s <= 100) << s;
}

TEST(Render, ImageTooLargeChangesNothing) {
    std::mt19937 rng(7);
    Bitmap image(4, 4, 0x112233);
    const Bitmap before = image;
    RecordingProgress progress;
    // 65535 x 30000 pixels on a side: far beyond any memory.
    const Mosaic m = mosaicOf(30000, 65535, randomTiles(1, rng), {{1, 1, 0, 0, Orientation::R0}});
    EXPECT_THROW(renderMosaic(m, image, &progress), NotEnoughImageMemory);
    EXPECT_EQ(image, before);
    EXPECT_TRUE(progress.captions.empty());

    Bitmap view(2, 2, 0x445566);
    const Bitmap viewBefore = view;
    EXPECT_FALSE(renderView(m, 1, false, image, view));
    EXPECT_EQ(image, before);
    EXPECT_EQ(view, viewBefore);
}

TEST(Render, ViewIsTheReducedMosaicOrTheMosaicItself) {
    std::mt19937 rng(8);
    const Mosaic m = mosaicOf(4, 10, randomTiles(10, rng),
                              {{1, 1, 0, 0, Orientation::R0}, {2, 2, 20, 10, Orientation::R90}});
    Bitmap image, view;
    ASSERT_TRUE(renderView(m, 4, false, image, view));
    EXPECT_EQ(image, referenceRender(m));
    EXPECT_EQ(view, referenceShrink(4, 4, image));
    ASSERT_TRUE(renderView(m, 4, true, image, view));
    EXPECT_EQ(view, image);
    ASSERT_TRUE(rescaleView(image, 3, view));
    EXPECT_EQ(view, referenceShrink(3, 3, image));
    ASSERT_TRUE(rescaleView(image, 64, view)); // side 40 not above 64
    EXPECT_TRUE(view.isEmpty());
}

// ---- Reduction ----

Bitmap shrunk(int fx, int fy, const Bitmap& source) {
    Bitmap out(5, 5, 0x999999);
    ShrinkBitmap(static_cast<std::uint16_t>(fx), static_cast<std::uint16_t>(fy), source, out);
    return out;
}

TEST(Shrink, Side120AtFactor16UsesTheTopLeft112) {
    Bitmap source(120, 120, 0xFFFFFF);
    source.fillRect(0, 0, 112, 112, 0x204060);
    const Bitmap out = shrunk(16, 16, source);
    EXPECT_EQ(out, Bitmap(7, 7, 0x204060));
}

TEST(Shrink, HalfRedBlockGives127) {
    Bitmap source(4, 4, 0);
    source.setPixel(0, 0, 0x0000FF);
    source.setPixel(1, 0, 0x0000FF);
    const Bitmap out = shrunk(2, 2, source);
    ASSERT_EQ(out.width(), 2);
    EXPECT_EQ(out.pixel(0, 0), 127u);
    EXPECT_EQ(out.pixel(1, 1), 0u);
}

TEST(Shrink, WhiteStaysWhiteAtEveryFactor) {
    const Bitmap white(300, 300, 0xFFFFFF);
    for (int f : {2, 3, 5, 7, 13, 14, 100, 128, 149})
        EXPECT_EQ(shrunk(f, f, white), Bitmap(300 / f, 300 / f, 0xFFFFFF)) << f;
}

TEST(Shrink, SideNotAboveTheFactorGivesAnEmptyImage) {
    const struct {
        int side, fx, fy;
    } cases[] = {{40, 64, 64}, {40, 40, 40}, {1, 1, 1}, {10, 12, 2}};
    for (const auto& c : cases) {
        const Bitmap out = shrunk(c.fx, c.fy, Bitmap(c.side, c.side, 0x123456));
        EXPECT_EQ(out.width(), 0) << c.side << " / " << c.fx;
        EXPECT_EQ(out.height(), 0) << c.side << " / " << c.fx;
    }
}

TEST(Shrink, FactorZeroOrOneCopiesAndShowsNoCaption) {
    std::mt19937 rng(9);
    const Bitmap source = randomImage(13, 9, rng);
    for (int f : {0, 1}) {
        RecordingProgress progress;
        Bitmap out;
        ShrinkBitmap(static_cast<std::uint16_t>(f), 4, source, out, &progress);
        EXPECT_EQ(out, source);
        EXPECT_TRUE(progress.captions.empty());
    }
}

TEST(Shrink, ReportsItsCaption) {
    RecordingProgress progress;
    Bitmap out;
    ShrinkBitmap(2, 2, Bitmap(100, 100, 0), out, &progress);
    EXPECT_EQ(progress.captions, std::vector<std::string>{std::string(messages::busyShrinking)});
    EXPECT_EQ(progress.ends, 1);
}

TEST(Shrink, InPlaceEqualsIntoAnotherImage) {
    std::mt19937 rng(10);
    Bitmap image = randomImage(50, 31, rng);
    const Bitmap expected = referenceShrink(3, 4, image);
    ShrinkBitmap(3, 4, image, image);
    EXPECT_EQ(image, expected);
}

TEST(Shrink, SeededRandomImagesMatchTheReference) {
    const struct {
        int fx, fy, width, height;
    } cases[] = {{2, 2, 101, 77},         {3, 3, 100, 100},     {2, 3, 37, 41},
                 {4, 4, 64, 65},          {9, 9, 200, 190},     {13, 13, 80, 80},
                 {14, 14, 80, 80},        {16, 16, 120, 120},   {20, 7, 99, 50},
                 {81, 81, 250, 170},      {258, 258, 520, 520}, {600, 300, 1300, 700},
                 {4001, 3001, 4002, 3002}};
    for (const auto& c : cases) {
        std::mt19937 rng(static_cast<unsigned>(c.fx * 1000 + c.fy));
        const Bitmap source = randomImage(c.width, c.height, rng);
        EXPECT_EQ(shrunk(c.fx, c.fy, source), referenceShrink(c.fx, c.fy, source))
            << c.fx << " x " << c.fy;
    }
}

// Blocks whose red sums run through every value from 0 to 255 x (pixels per block), or,
// for larger blocks, through the values around the multiples of the pixel count: each mean must be
// the sum divided by the pixel count, truncated.
TEST(Shrink, EveryBlockSumIsDividedExactly) {
    for (int f : {2, 3, 5, 13, 14, 16, 100, 258}) {
        const int pixels = f * f;
        std::vector<int> sums;
        if (pixels <= 25) {
            for (int s = 0; s <= 255 * pixels; ++s)
                sums.push_back(s);
        } else {
            std::vector<int> quotients{0, 1, 2, 127, 128, 254, 255};
            if (f <= 16)
                for (int q = 0; q <= 255; ++q)
                    quotients.push_back(q);
            for (int q : quotients)
                for (int s : {q * pixels - 1, q * pixels, q * pixels + 1, q * pixels + pixels - 1})
                    if (s >= 0 && s <= 255 * pixels)
                        sums.push_back(s);
        }
        Bitmap source(f * static_cast<int>(sums.size()), f, 0);
        for (std::size_t k = 0; k < sums.size(); ++k) {
            int left = sums[k];
            for (int i = 0; i < pixels && left > 0; ++i) {
                const int red = std::min(left, 255);
                source.setPixel(static_cast<int>(k) * f + i % f, i / f, static_cast<Color>(red));
                left -= red;
            }
        }
        const Bitmap out = shrunk(f, f, source);
        ASSERT_EQ(out.width(), static_cast<int>(sums.size()));
        for (std::size_t k = 0; k < sums.size(); ++k)
            ASSERT_EQ(out.pixel(static_cast<int>(k), 0), static_cast<Color>(sums[k] / pixels))
                << "factor " << f << ", sum " << sums[k];
    }
}

} // namespace
