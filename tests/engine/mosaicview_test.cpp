#include "mosaicview.h"
#include "randommosaic.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace ornamo;
using namespace ornamo::testimages;

namespace {

// What the view shows at that factor: the whole image reduced, or the image itself.
Bitmap expectedView(const Bitmap& full, std::int32_t shrinkFactor, bool noScale) {
    const auto f = static_cast<std::uint16_t>(shrinkFactor);
    Bitmap view = full;
    if (!noScale)
        ShrinkBitmap(f, f, full, view);
    return view;
}

struct Captions : Progress {
    std::vector<Caption> shown;
    void StartProcessBar(Caption caption) override { shown.push_back(caption); }
    void EndProcessBar() override {}
    void step(int) override {}
};

} // namespace

TEST(MosaicView, KeptAndTiledViewsShowTheSamePixelsAsTheWholeImageReduced) {
    std::mt19937 rng(3);
    const Mosaic m = randomMosaic({"", 27, 23, false, 40, 3, {}}, rng, false); // 621 across
    Bitmap full;
    renderMosaic(m, full);
    // A step: render (with the switch) or rescale, to this factor.
    struct Step {
        bool render;
        std::int32_t factor;
        bool noScale;
        std::optional<Caption> caption; // shown on the busy label, or none
    };
    constexpr Caption rendering = Caption::Rendering, shrinking = Caption::Shrinking;
    const Step steps[] = {
        {true, 4, false, rendering}, {false, 3, false, shrinking},
        {false, 1, false, {}},       {true, 7, true, rendering},
        {false, 0, false, {}},       {false, 0x10005, false, shrinking},
        {false, 621, false, {}},     {false, 2, false, shrinking},
    };
    // Kept whole, and tiled with room for only a few tiles, so that scrolling back computes
    // tiles again.
    MosaicView kept;
    MosaicView tiled(ViewLimits{0, 3 * 256 * 256 * 3});
    for (const Step& s : steps) {
        const Bitmap expected = expectedView(full, s.factor, s.render && s.noScale);
        SCOPED_TRACE("factor " + std::to_string(s.factor));
        for (MosaicView* view : {&kept, &tiled}) {
            Captions captions;
            ASSERT_TRUE(s.render ? view->render(m, s.factor, s.noScale, &captions)
                                 : view->rescale(s.factor, &captions));
            EXPECT_EQ(captions.shown,
                      s.caption ? std::vector<Caption>{*s.caption} : std::vector<Caption>{});
            ASSERT_EQ(view->side(), expected.width());
            EXPECT_EQ(wholeView(*view), expected);
            if (expected.isEmpty())
                continue;
            // Scattered rectangles, as scrolling asks for them, and bands, as a save does.
            for (int i = 0; i < 8; ++i) {
                const int side = view->side();
                const int x = static_cast<int>(rng() % side), y = static_cast<int>(rng() % side);
                const ViewRect r{x, y, 1 + static_cast<int>(rng() % (side - x)),
                                 1 + static_cast<int>(rng() % (side - y))};
                Bitmap part(r.width, r.height), want(r.width, r.height);
                view->read(r, part.bits(), part.stride());
                want.draw(expected, -r.x, -r.y);
                EXPECT_EQ(part, want);
            }
            Bitmap band(view->side(), 5);
            view->picture().readRows(view->side() - 5, 5, band.bits(), band.stride());
            Bitmap want(view->side(), 5);
            want.draw(expected, 0, 5 - view->side());
            EXPECT_EQ(band, want);
        }
    }
}

// Large tiles: with no room for tables of whole tile images, each factor's view is added up from
// tables of the tile rows and columns it reads. A small mosaic magnified 100 times keeps the
// test quick while its views come from the placements rather than from strips.
TEST(MosaicView, TablesOfOneFactorAtATimeShowTheWholeImageReduced) {
    std::mt19937 rng(5);
    const Mosaic small = randomMosaic({"", 27, 23, false, 40, 3, {}}, rng, false);
    MosaicView view(ViewLimits{std::size_t{64} << 20, 0, 0});
    ASSERT_TRUE(view.render(magnified(small, 100), 400, false));
    for (const int f : {4, 7, 27, 2}) {
        ASSERT_TRUE(view.rescale(f * 100));
        EXPECT_EQ(wholeView(view), referenceView(small, f)) << "factor " << f * 100;
    }
}

TEST(MosaicView, RescaleNeedsARender) {
    MosaicView view;
    EXPECT_FALSE(view.rescale(2));
    EXPECT_EQ(view.side(), 0);
}

// A view too large to keep holds no more computed tiles than its cache has room for, however
// much of it is read. The heap is measured around the reads (sanitizers keep their own heap).
TEST(MosaicView, TileCacheStaysWithinItsBytes) {
    std::mt19937 rng(8);
    const std::size_t cacheBytes = 4 * 256 * 256 * 3; // four tiles of the 64 read
    MosaicView view(ViewLimits{0, cacheBytes});
    ASSERT_TRUE(view.render(randomMosaic({"", 40, 103, false, 300, 2, {}}, rng, false), 2, false));
    ASSERT_EQ(view.side(), 2060);
    Bitmap tile(256, 256);
    view.read({0, 0, 256, 256}, tile.bits(), tile.stride()); // the per-thread scratch is made
    const std::size_t before = mallinfo2().uordblks;
    std::size_t most = before;
    for (int y = 0; y < 2048; y += 256)
        for (int x = 0; x < 2048; x += 256) {
            view.read({x, y, 256, 256}, tile.bits(), tile.stride());
            most = std::max(most, mallinfo2().uordblks);
        }
    EXPECT_LE(most - before, cacheBytes + (std::size_t{1} << 20));
}
