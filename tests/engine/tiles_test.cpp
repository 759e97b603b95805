#include "ornamo.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <utility>
#include <vector>

using namespace ornamo;
using ornamo::testimages::randomImage;

namespace {

using Rows = std::vector<std::vector<int>>;
using Routine = std::function<void(Bitmap&)>;

// Builds an image from rows of small numbers (each number becomes a grey-free colour).
Bitmap fromRows(const Rows& rows) {
    Bitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, static_cast<Color>(rows[y][x]) * 0x010203u);
    return b;
}

// Per-pixel references: pixel (x, y) of the result is pixel from(x, y, w, h) of the source.
Routine reference(std::pair<int, int> (*from)(int x, int y, int w, int h)) {
    return [from](Bitmap& b) {
        const Bitmap source = b;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) {
                const auto [sx, sy] = from(x, y, b.width(), b.height());
                b.setPixel(x, y, source.pixel(sx, sy));
            }
    };
}
const Routine reference90 =
    reference([](int x, int y, int w, int) { return std::pair(w - 1 - y, x); });
const Routine reference270 =
    reference([](int x, int y, int, int h) { return std::pair(y, h - 1 - x); });
const Routine reference180 =
    reference([](int x, int y, int w, int h) { return std::pair(w - 1 - x, h - 1 - y); });
const Routine referenceMirror =
    reference([](int x, int y, int w, int) { return std::pair(w - 1 - x, y); });

// An 8 x 8 tile with no symmetry: every pixel its own colour.
Bitmap asymmetricTile(int side = 8) {
    Bitmap b(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            b.setPixel(x, y, static_cast<Color>(y * side + x + 1));
    return b;
}

// The two ways of keeping the turned images: copies, and reading the base by index arithmetic
// (on a side of 7 too, whose rows end in padding).
const struct {
    const char* name;
    int side;
    std::size_t copyLimit;
} keptWays[] = {{"copies", 8, TileSet::defaultCopyLimit},
                {"arithmetic", 8, 0},
                {"arithmetic, padded rows", 7, 0}};

} // namespace

TEST(TileRoutines, SmallExamples) {
    struct Case {
        const char* name;
        Routine routine;
        Rows before, after;
    };
    // The directions of the turns, on an odd side; the references below take them from here.
    const Rows odd = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const Case cases[] = {
        {"quarter turn counter-clockwise", RotateBitmap90, odd, {{3, 6, 9}, {2, 5, 8}, {1, 4, 7}}},
        {"quarter turn clockwise", RotateBitmap270, odd, {{7, 4, 1}, {8, 5, 2}, {9, 6, 3}}},
        {"half turn", RotateBitmap180, odd, {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}},
        {"mirror", MirrorBitmap, odd, {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}}},
    };
    for (const Case& c : cases) {
        Bitmap b = fromRows(c.before);
        c.routine(b);
        EXPECT_EQ(b, fromRows(c.after)) << c.name;
    }
}

TEST(TileRoutines, MatchPerPixelReferencesOnRandomImages) {
    std::mt19937 rng(1234);
    for (int w = 1; w <= 12; ++w)
        for (int h : {1, 2, 3, 4, w}) { // the quarter turns take square images only
            const bool square = w == h;
            const Bitmap start = randomImage(w, h, rng);
            const std::pair<Routine, Routine> pairs[] = {{RotateBitmap180, reference180},
                                                         {MirrorBitmap, referenceMirror},
                                                         {RotateBitmap90, reference90},
                                                         {RotateBitmap270, reference270}};
            for (std::size_t i = 0; i < (square ? 4u : 2u); ++i) {
                Bitmap fast = start, slow = start;
                pairs[i].first(fast);
                pairs[i].second(slow);
                EXPECT_EQ(fast, slow) << w << " x " << h << ", routine " << i;
            }
        }
}

TEST(TileRoutines, EnlargeReplicatesEachPixelIntoABlock) {
    std::mt19937 rng(99);
    const std::array<int, 4> cases[] = {{2, 2, 2, 3}, {2, 2, 1, 1}, {3, 5, 1, 4},
                                        {5, 3, 7, 1}, {1, 1, 3, 2}, {4, 4, 300, 2}};
    for (auto [w, h, fx, fy] : cases) {
        const Bitmap source = randomImage(w, h, rng);
        Bitmap big(3, 3);
        EnlargeBitmap(source, big, fx, fy);
        ASSERT_EQ(big.width(), w * fx);
        ASSERT_EQ(big.height(), h * fy);
        for (int y = 0; y < big.height(); ++y)
            for (int x = 0; x < big.width(); ++x)
                ASSERT_EQ(big.pixel(x, y), source.pixel(x / fx, y / fy)) << x << ", " << y;
    }
}

TEST(TileSet, EightImagesMatchingTheOrientationDefinition) {
    for (const auto& way : keptWays) {
        const Bitmap base = asymmetricTile(way.side);
        TileSet tiles;
        BuildTileSet(tiles, base, way.copyLimit);
        EXPECT_EQ(tiles.keepsCopies(), way.copyLimit != 0) << way.name;
        // Image o: mirrored when o >= 4, then turned (o mod 4) quarter turns counter-clockwise.
        for (unsigned o = 0; o < 8; ++o) {
            Bitmap expected = base;
            if (o >= 4)
                referenceMirror(expected);
            for (unsigned k = 0; k < o % 4; ++k)
                reference90(expected);
            EXPECT_EQ(tiles.image(o), expected) << way.name << ", orientation " << o;
        }
        // Rebuilt from its own base, as after a new tile was loaded into it.
        const Bitmap before = tiles.image(5);
        BuildTileSet(tiles, tiles.base(), way.copyLimit);
        EXPECT_EQ(tiles.base(), base) << way.name;
        EXPECT_EQ(tiles.image(5), before) << way.name;
    }
}

TEST(TileSet, CompositionTableAgreesWithTheImages) {
    for (const auto& way : keptWays) {
        TileSet tiles;
        BuildTileSet(tiles, asymmetricTile(way.side), way.copyLimit);
        const Routine routines[] = {MirrorBitmap, RotateBitmap90, RotateBitmap180, RotateBitmap270};
        for (unsigned o = 0; o < 8; ++o)
            for (unsigned t = 0; t < 4; ++t) { // in the order of Transform
                Bitmap b = tiles.image(o);
                routines[t](b);
                const auto composed =
                    compose(static_cast<Orientation>(o), static_cast<Transform>(t));
                EXPECT_EQ(b, tiles.image(static_cast<unsigned>(composed)))
                    << way.name << ", orientation " << o << ", transform " << t;
            }
    }
}

TEST(Orientation, GroupLaws) {
    using T = Transform;
    const auto after = [](Orientation o, const auto& transforms) {
        for (const Transform t : transforms)
            o = compose(o, t);
        return o;
    };
    const std::vector<std::vector<Transform>> identities = {
        {T::Rotate90, T::Rotate90, T::Rotate90, T::Rotate90},
        {T::Mirror, T::Mirror},
        {T::Rotate90, T::Rotate270},
        {T::Rotate180, T::Rotate180},
    };
    for (std::uint8_t v = 0; v < 8; ++v) {
        const auto o = static_cast<Orientation>(v);
        for (std::size_t i = 0; i < identities.size(); ++i)
            EXPECT_EQ(after(o, identities[i]), o) << keyword(o) << ", identity " << i;
        EXPECT_EQ(after(Orientation::R0, stepsOf(o)), o) << keyword(o);
        EXPECT_EQ(after(o, stepsOf(inverse(o))), Orientation::R0) << keyword(o);
        EXPECT_EQ(after(inverse(o), stepsOf(o)), Orientation::R0) << keyword(o);
    }
}
