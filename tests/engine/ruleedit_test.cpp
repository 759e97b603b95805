#include "ruleedit.h"

#include "render.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <random>

namespace ornamo {
namespace {

Mosaic onePart(std::uint16_t grid, Placement part) {
    Mosaic pattern;
    pattern.scale = grid;
    pattern.placements = {part};
    return pattern;
}

// The command applied once to a single tile, rendered.
Bitmap applied(const Mosaic& pattern, const Bitmap& tile) {
    Mosaic mosaic;
    mosaic.tileSize = static_cast<std::uint16_t>(tile.width());
    mosaic.tiles = std::make_shared<TileSet>();
    BuildTileSet(*mosaic.tiles, tile);
    mosaic.placements = {Placement{}};
    SubstituteCommand(pattern, mosaic);
    Bitmap image;
    renderMosaic(mosaic, image);
    return image;
}

// A part over the whole grid turned or mirrored turns or mirrors what the command makes, as the
// tile images turn: the workshop's buttons count orientations as the substitution does.
TEST(RuleEdit, TurnAndMirrorOfAWholeGridPartTurnAndMirrorTheResult) {
    const Bitmap tile = testimages::numberedImage(6, 6);
    for (std::uint8_t o = 0; o < 8; ++o) {
        SCOPED_TRACE(static_cast<int>(o));
        const Mosaic before = onePart(3, {3, 3, 0, 0, static_cast<Orientation>(o)});
        Bitmap expected = applied(before, tile);
        Mosaic turned = before;
        turnPart(turned, 0);
        RotateBitmap90(expected);
        EXPECT_EQ(applied(turned, tile), expected);
        Mosaic mirrored = before;
        mirrorPart(mirrored, 0);
        expected = applied(before, tile);
        MirrorBitmap(expected);
        EXPECT_EQ(applied(mirrored, tile), expected);
    }
}

TEST(RuleEdit, TurnSwapsTheCellsAboutTheTopLeftAndFourTurnsGiveThePartBack) {
    Mosaic pattern = onePart(4, {3, 1, 1, 2, Orientation::MR90});
    turnPart(pattern, 0);
    EXPECT_EQ(partCells(pattern, 0), (CellRect{1, 2, 1, 3}));
    EXPECT_EQ(pattern.placements[0].orientation, Orientation::MR180);
    for (int i = 0; i < 3; ++i)
        turnPart(pattern, 0);
    EXPECT_EQ(pattern.placements[0], (Placement{3, 1, 1, 2, Orientation::MR90}));
}

TEST(RuleEdit, MovesAndResizesStayWithinTheFieldsAFileKeeps) {
    struct Case {
        const char* name;
        CellRect start;
        std::int32_t dx, dy;
        CellRect moved;
    };
    const Case cases[] = {
        {"inside", {1, 1, 2, 1}, 1, 2, {2, 3, 2, 1}},
        {"past the left and top edge", {1, 2, 2, 2}, -5, -9, {0, 0, 2, 2}},
        {"outside the grid to the right", {0, 0, 1, 1}, 7, 0, {7, 0, 1, 1}},
        {"beyond the file's range", {65000, 3, 1, 1}, 1000, 0, {65535, 3, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mosaic pattern = onePart(3, {});
        resizePart(pattern, 0, c.start);
        movePart(pattern, 0, c.dx, c.dy);
        EXPECT_EQ(partCells(pattern, 0), c.moved);
    }
    Mosaic pattern = onePart(3, {});
    resizePart(pattern, 0, {-2, 70000, 0, -4});
    EXPECT_EQ(partCells(pattern, 0), (CellRect{0, 65535, 1, 1}));
}

// The cells between two corners, against the cells a brute force finds between them.
TEST(RuleEdit, CellsBetweenTwoCornersAreTheCellsOfTheirBox) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coordinate(-3, 9);
    for (int round = 0; round < 200; ++round) {
        const int x0 = coordinate(rng), y0 = coordinate(rng), x1 = coordinate(rng),
                  y1 = coordinate(rng);
        const CellRect box = cellsBetween(x0, y0, x1, y1);
        Mosaic pattern = onePart(10, {});
        resizePart(pattern, 0, box);
        for (int y = -3; y <= 9; ++y)
            for (int x = -3; x <= 9; ++x) {
                const bool between =
                    x >= std::max(std::min(x0, x1), 0) && x <= std::max(std::max(x0, x1), 0) &&
                    y >= std::max(std::min(y0, y1), 0) && y <= std::max(std::max(y0, y1), 0);
                ASSERT_EQ(partAt(pattern, x, y).has_value(), between) << x << ", " << y;
            }
    }
}

TEST(RuleEdit, ReorderDeleteAndThePartOnTop) {
    Mosaic pattern = onePart(2, {2, 2, 0, 0, Orientation::R0});
    addPart(pattern, {1, 1, 1, 1});
    addPart(pattern, {0, 0, 1, 1});
    EXPECT_EQ(partAt(pattern, 0, 0), 2u);
    EXPECT_EQ(partAt(pattern, 1, 1), 1u);
    EXPECT_EQ(partAt(pattern, 2, 0), std::nullopt);
    EXPECT_EQ(reorderPart(pattern, 2, 1), 2u); // already last
    EXPECT_EQ(reorderPart(pattern, 2, -1), 1u);
    EXPECT_EQ(partCells(pattern, 1), (CellRect{0, 0, 1, 1}));
    EXPECT_EQ(reorderPart(pattern, 0, -1), 0u); // already first
    deletePart(pattern, 0);
    ASSERT_EQ(pattern.placements.size(), 2u);
    EXPECT_EQ(partCells(pattern, 0), (CellRect{0, 0, 1, 1}));
    EXPECT_EQ(partAt(pattern, 1, 0), std::nullopt);
}

TEST(RuleEdit, RecordsAreAddedRemovedAndMovedWithinTwelve) {
    RuleRecords records;
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(insertRecord(records, i - 1, std::to_string(i)), i);
    EXPECT_EQ(insertRecord(records, 3, "x"), std::nullopt);
    removeRecord(records, 0);
    EXPECT_EQ(records.count, 11);
    EXPECT_EQ(records.commands[0].name, "1");
    EXPECT_EQ(records.commands[11].name, Command{}.name);
    EXPECT_TRUE(records.commands[11].pattern.placements.empty());
    EXPECT_EQ(insertRecord(records, 0, "new"), 1);
    EXPECT_EQ(records.commands[2].name, "2");
    EXPECT_EQ(moveRecord(records, 1, -1), 0);
    EXPECT_EQ(records.commands[0].name, "new");
    EXPECT_EQ(moveRecord(records, 11, 1), 11); // the last stays
    EXPECT_TRUE(isUndoable(records.commands[0].pattern));
}

} // namespace
} // namespace ornamo
