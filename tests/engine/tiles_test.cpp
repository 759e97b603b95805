#include "ornamo.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

using namespace ornamo;

namespace {

// Builds an image from rows of small numbers (each number becomes a grey-free colour).
Bitmap fromRows(const std::vector<std::vector<int>>& rows) {
    Bitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, static_cast<Color>(rows[y][x]) * 0x010203u);
    return b;
}

Bitmap randomImage(int w, int h, std::mt19937& rng) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFFu);
    return b;
}

// Per-pixel references: the in-place ring algorithm with four-way exchanges, and the pair
// exchanges of the half turn, exactly as the routines are defined.
void ringRotate90(Bitmap& b) {
    const int n = b.width();
    for (int i = 0; i <= (n - 1) / 2; ++i)
        for (int j = i; j <= n - 2 - i; ++j) {
            const Color t = b.pixel(j, i);
            b.setPixel(j, i, b.pixel(n - 1 - i, j));
            b.setPixel(n - 1 - i, j, b.pixel(n - 1 - j, n - 1 - i));
            b.setPixel(n - 1 - j, n - 1 - i, b.pixel(i, n - 1 - j));
            b.setPixel(i, n - 1 - j, t);
        }
}

void ringRotate270(Bitmap& b) {
    const int n = b.width();
    for (int i = 0; i <= (n - 1) / 2; ++i)
        for (int j = i; j <= n - 2 - i; ++j) {
            const Color t = b.pixel(j, i);
            b.setPixel(j, i, b.pixel(i, n - 1 - j));
            b.setPixel(i, n - 1 - j, b.pixel(n - 1 - j, n - 1 - i));
            b.setPixel(n - 1 - j, n - 1 - i, b.pixel(n - 1 - i, j));
            b.setPixel(n - 1 - i, j, t);
        }
}

void swapPixels(Bitmap& b, int x1, int y1, int x2, int y2) {
    const Color t = b.pixel(x1, y1);
    b.setPixel(x1, y1, b.pixel(x2, y2));
    b.setPixel(x2, y2, t);
}

void pairRotate180(Bitmap& b) {
    const int w = b.width(), h = b.height();
    for (int i = 0; i <= (h - 1) / 2; ++i)
        for (int j = 0; j < w; ++j)
            swapPixels(b, j, i, w - 1 - j, h - 1 - i);
    if (h % 2 == 1)
        for (int j = 0; j <= (w - 1) / 2; ++j)
            swapPixels(b, j, h / 2, w - 1 - j, h / 2);
}

void pairMirror(Bitmap& b) {
    const int w = b.width();
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x <= (w - 1) / 2; ++x)
            swapPixels(b, x, y, w - 1 - x, y);
}

using Routine = std::function<void(Bitmap&)>;

} // namespace

TEST(TileRoutines, TwoByTwoExamples) {
    const Bitmap base = fromRows({{1, 2}, {3, 4}});
    struct Case {
        const char* name;
        Routine routine;
        std::vector<std::vector<int>> expected;
    };
    const Case cases[] = {
        {"quarter turn counter-clockwise", RotateBitmap90, {{2, 4}, {1, 3}}},
        {"quarter turn clockwise", RotateBitmap270, {{3, 1}, {4, 2}}},
        {"half turn", RotateBitmap180, {{4, 3}, {2, 1}}},
        {"mirror", MirrorBitmap, {{2, 1}, {4, 3}}},
    };
    for (const Case& c : cases) {
        Bitmap b = base;
        c.routine(b);
        EXPECT_EQ(b, fromRows(c.expected)) << c.name;
    }
}

TEST(TileRoutines, NonSquareMirrorAndHalfTurn) {
    const Bitmap wide = fromRows({{1, 2, 3}, {4, 5, 6}});
    const Bitmap tall = fromRows({{1, 2}, {3, 4}, {5, 6}});
    Bitmap b = wide;
    MirrorBitmap(b);
    EXPECT_EQ(b, fromRows({{3, 2, 1}, {6, 5, 4}}));
    b = wide;
    RotateBitmap180(b);
    EXPECT_EQ(b, fromRows({{6, 5, 4}, {3, 2, 1}}));
    b = tall;
    MirrorBitmap(b);
    EXPECT_EQ(b, fromRows({{2, 1}, {4, 3}, {6, 5}}));
    b = tall;
    RotateBitmap180(b);
    EXPECT_EQ(b, fromRows({{6, 5}, {4, 3}, {2, 1}}));
}

TEST(TileRoutines, CentreAndSinglePixelStay) {
    const Routine routines[] = {RotateBitmap90, RotateBitmap180, RotateBitmap270, MirrorBitmap};
    for (const Routine& r : routines) {
        Bitmap three = fromRows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
        r(three);
        EXPECT_EQ(three.pixel(1, 1), 5u * 0x010203u);
        Bitmap one = fromRows({{7}});
        r(one);
        EXPECT_EQ(one, fromRows({{7}}));
    }
}

TEST(TileRoutines, MatchPerPixelReferencesOnRandomImages) {
    std::mt19937 rng(1234);
    for (int n = 1; n <= 12; ++n) {
        const Bitmap square = randomImage(n, n, rng);
        const std::pair<Routine, Routine> pairs[] = {{RotateBitmap90, ringRotate90},
                                                     {RotateBitmap270, ringRotate270},
                                                     {RotateBitmap180, pairRotate180},
                                                     {MirrorBitmap, pairMirror}};
        for (const auto& [fast, reference] : pairs) {
            Bitmap a = square, b = square;
            fast(a);
            reference(b);
            EXPECT_EQ(a, b) << "side " << n;
        }
        for (int h = 1; h <= 4; ++h) {
            const Bitmap rect = randomImage(n, h, rng);
            Bitmap a = rect, b = rect;
            RotateBitmap180(a);
            pairRotate180(b);
            EXPECT_EQ(a, b) << n << " x " << h;
            a = rect;
            b = rect;
            MirrorBitmap(a);
            pairMirror(b);
            EXPECT_EQ(a, b) << n << " x " << h;
        }
    }
}

TEST(TileRoutines, GroupLawsGiveBackTheImage) {
    std::mt19937 rng(7);
    const Bitmap start = randomImage(5, 5, rng);
    const std::vector<std::vector<Routine>> identities = {
        {RotateBitmap90, RotateBitmap90, RotateBitmap90, RotateBitmap90},
        {RotateBitmap90, RotateBitmap270},
        {RotateBitmap270, RotateBitmap90},
        {RotateBitmap180, RotateBitmap180},
        {MirrorBitmap, MirrorBitmap},
    };
    for (const auto& sequence : identities) {
        Bitmap b = start;
        for (const Routine& r : sequence)
            r(b);
        EXPECT_EQ(b, start);
    }
}

TEST(TileRoutines, EnlargeReplicatesEachPixelIntoABlock) {
    const Bitmap base = fromRows({{1, 2}, {3, 4}});
    Bitmap big;
    EnlargeBitmap(base, big, 2, 3);
    ASSERT_EQ(big.width(), 4);
    ASSERT_EQ(big.height(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(big.pixel(x, y), base.pixel(x / 2, y / 3)) << x << "," << y;
    Bitmap copy;
    EnlargeBitmap(base, copy, 1, 1);
    EXPECT_EQ(copy, base);
    Bitmap none(3, 3);
    EnlargeBitmap(base, none, 0, 2);
    EXPECT_TRUE(none.isEmpty());
}

TEST(TileRoutines, EnlargeMatchesReferenceOnOddSizes) {
    std::mt19937 rng(99);
    for (auto [w, h, fx, fy] : {std::array{3, 5, 1, 4}, std::array{5, 3, 7, 1}, std::array{1, 1, 3, 2},
                                std::array{4, 4, 300, 2}}) {
        const Bitmap src = randomImage(w, h, rng);
        Bitmap dst;
        EnlargeBitmap(src, dst, fx, fy);
        ASSERT_EQ(dst.width(), w * fx);
        ASSERT_EQ(dst.height(), h * fy);
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x)
                ASSERT_EQ(dst.pixel(x, y), src.pixel(x / fx, y / fy));
    }
}

TEST(TileRoutines, SplitColor) {
    struct Case {
        std::int32_t colour;
        std::uint8_t r, g, b;
    };
    const Case cases[] = {{0x336699, 0x99, 0x66, 0x33}, {0xFFFFFF, 255, 255, 255}, {0, 0, 0, 0}, {0x010000, 0, 0, 1}};
    for (const Case& c : cases) {
        std::uint8_t r = 1, g = 1, b = 1;
        SplitColor(c.colour, r, g, b);
        EXPECT_EQ(r, c.r);
        EXPECT_EQ(g, c.g);
        EXPECT_EQ(b, c.b);
    }
}

TEST(TileRoutines, CopyTakesTheSourceSize) {
    const Bitmap src = fromRows({{1, 2, 3}});
    Bitmap dst(7, 9, 0x00FFFFFF);
    CopyBitmap(src, dst);
    EXPECT_EQ(dst, src);
}

namespace {

// An 8 x 8 tile with no symmetry: every pixel its own colour.
Bitmap asymmetricTile() {
    Bitmap b(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            b.setPixel(x, y, static_cast<Color>(y * 8 + x + 1));
    return b;
}

Routine routineOf(Transform t) {
    switch (t) {
    case Transform::Mirror: return MirrorBitmap;
    case Transform::Rotate90: return RotateBitmap90;
    case Transform::Rotate180: return RotateBitmap180;
    case Transform::Rotate270: return RotateBitmap270;
    }
    return {};
}

} // namespace

TEST(TileSet, EightDifferentImagesMatchingTheOrientationDefinition) {
    const Bitmap base = asymmetricTile();
    TileSet tiles;
    BuildTileSet(tiles, base);
    for (int a = 0; a < 8; ++a)
        for (int b = a + 1; b < 8; ++b)
            EXPECT_NE(tiles[a], tiles[b]) << a << " and " << b;
    // Image o: mirrored when o >= 4, then turned (o mod 4) quarter turns counter-clockwise.
    for (int o = 0; o < 8; ++o) {
        Bitmap expected = base;
        if (o >= 4)
            pairMirror(expected);
        for (int k = 0; k < o % 4; ++k)
            ringRotate90(expected);
        EXPECT_EQ(tiles[o], expected) << o;
    }
    Bitmap b = tiles[1];
    MirrorBitmap(b);
    EXPECT_EQ(b, tiles[7]);
    b = tiles[5];
    RotateBitmap180(b);
    EXPECT_EQ(b, tiles[7]);
}

TEST(TileSet, RebuildFromImageZero) {
    TileSet tiles;
    BuildTileSet(tiles, asymmetricTile());
    const TileSet first = tiles;
    tiles[0] = asymmetricTile();
    BuildTileSet(tiles, tiles[0]);
    EXPECT_EQ(tiles, first);
}

TEST(TileSet, CompositionTableAgreesWithTheImages) {
    TileSet tiles;
    BuildTileSet(tiles, asymmetricTile());
    for (int o = 0; o < 8; ++o)
        for (Transform t : {Transform::Mirror, Transform::Rotate90, Transform::Rotate180, Transform::Rotate270}) {
            Bitmap b = tiles[o];
            routineOf(t)(b);
            const auto composed = static_cast<int>(compose(static_cast<Orientation>(o), t));
            EXPECT_EQ(b, tiles[composed]) << "orientation " << o << " transform " << static_cast<int>(t);
        }
}

TEST(Orientation, KeywordsAndValuesAboveSeven) {
    EXPECT_EQ(orientationFromKeyword("MR90"), Orientation::MR90);
    EXPECT_EQ(orientationFromKeyword("mr90"), std::nullopt);
    EXPECT_EQ(keyword(Orientation::R270), "R270");
    const auto nine = static_cast<Orientation>(9);
    EXPECT_EQ(compose(nine, Transform::Rotate90), nine);
    EXPECT_EQ(keyword(nine), "");
}
