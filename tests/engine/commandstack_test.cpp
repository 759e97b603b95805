#include "commandstack.h"
#include "messages.h"
#include "zoom.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

namespace ornamo {
namespace {

using O = Orientation;

Mosaic pattern(std::uint16_t grid, std::vector<Placement> parts) {
    Mosaic p;
    p.scale = grid;
    p.placements = std::move(parts);
    return p;
}

// Grid size 2, the four quarters turned differently.
Mosaic square2() {
    return pattern(
        2,
        {{1, 1, 0, 0, O::R0}, {1, 1, 1, 0, O::R90}, {1, 1, 0, 1, O::MR0}, {1, 1, 1, 1, O::R180}});
}
// Grid size 3, two stretched bands and a mirrored centre.
Mosaic bands3() {
    return pattern(3, {{3, 1, 0, 0, O::MR90}, {1, 1, 1, 1, O::MR0}, {3, 1, 0, 2, O::R270}});
}
// Grid size 4, a single part outside the grid.
Mosaic outside4() {
    return pattern(4, {{2, 1, 3, 5, O::MR180}});
}
// Grid size 5, one part.
Mosaic corner5() {
    return pattern(5, {{2, 3, 1, 1, O::R90}});
}

class StackTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.setMemoryCheck([this](std::int64_t, std::int32_t, bool) { return memoryFits; });
        auto& slots = model.commands();
        slots[0] = {"A", square2()};
        slots[1] = {"B", bands3()};
        slots[2] = {"C", outside4()};
        slots[3] = {"D", corner5()};
    }

    // The mosaic the stack stands for, built from a reset mosaic.
    Mosaic replayed() const {
        Mosaic m;
        m.tileSize = model.mosaic().tileSize;
        ResetMosaic(m);
        for (const StackEntry& e : model.stack())
            SubstituteCommand(model.commands()[e.command - 1u].pattern, m);
        return m;
    }

    std::vector<int> numbers() const {
        std::vector<int> n;
        for (const StackEntry& e : model.stack())
            n.push_back(e.command);
        return n;
    }

    void applyAll(std::initializer_list<int> commands) {
        for (int n : commands)
            ASSERT_TRUE(model.applyCommand(n).render) << n;
    }

    CommandStackModel model;
    bool memoryFits = true;
};

TEST_F(StackTest, StartState) {
    EXPECT_TRUE(model.stack().empty());
    EXPECT_EQ(model.shrinkFactor(), 1);
    EXPECT_EQ(model.editText(), "-- prázdny --");
    EXPECT_EQ(model.stackCaption(), "");
    EXPECT_FALSE(model.listEnabled());
    EXPECT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
    EXPECT_EQ(model.mosaic().gapColor, 0xFFFFFFu);
}

TEST_F(StackTest, ApplyShowsTheNewestAndMultipliesTheFactor) {
    applyAll({1, 2});
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(model.shrinkFactor(), 6);
    EXPECT_EQ(model.listEntries(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(model.editText(), "B");
    EXPECT_EQ(model.stackCaption(), "B");
    EXPECT_TRUE(model.listEnabled());
    EXPECT_EQ(model.mosaic().scale, 6);
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
}

TEST_F(StackTest, EntriesKeepTheNameTheyWereAppliedWith) {
    applyAll({1});
    model.commands()[0].name = "premenovaný";
    applyAll({1});
    EXPECT_EQ(model.listEntries(), (std::vector<std::string>{"premenovaný", "A"}));
}

TEST_F(StackTest, ApplyThenUndoRestoresEverything) {
    applyAll({2, 3});
    for (int n = 1; n <= 4; ++n) {
        const Mosaic before = model.mosaic();
        const std::int32_t factor = model.shrinkFactor();
        ASSERT_TRUE(model.applyCommand(n).render);
        ASSERT_TRUE(model.undoLast().render);
        EXPECT_EQ(model.mosaic().placements, before.placements) << n;
        EXPECT_EQ(model.mosaic().scale, before.scale) << n;
        EXPECT_EQ(model.shrinkFactor(), factor) << n;
        EXPECT_EQ(model.editText(), "C");
    }
}

TEST_F(StackTest, UndoToEmptyShowsSmallP) {
    applyAll({1});
    model.undoLast();
    EXPECT_EQ(model.editText(), "-- prázdny --");
    EXPECT_EQ(model.stackCaption(), "-- prázdny --");
    EXPECT_FALSE(model.listEnabled());
    EXPECT_EQ(model.shrinkFactor(), 1);
}

TEST_F(StackTest, UndoOnEmptyStackOnlyTellsSo) {
    const Outcome o = model.undoLast();
    EXPECT_FALSE(o.render);
    EXPECT_EQ(o.message, "Príkazový zásobník je prázdny.");
    EXPECT_EQ(model.editText(), "-- prázdny --");
}

TEST_F(StackTest, ResetOnEmptyStackDoesNothing) {
    model.setShrinkFactor(8); // a zoom, which must survive
    const Outcome o = model.reset();
    EXPECT_FALSE(o.render);
    EXPECT_TRUE(o.message.empty());
    EXPECT_EQ(model.shrinkFactor(), 8);
}

TEST_F(StackTest, Reset) {
    applyAll({1, 2});
    EXPECT_TRUE(model.reset().render);
    EXPECT_TRUE(model.stack().empty());
    EXPECT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
    EXPECT_EQ(model.mosaic().scale, 1);
    EXPECT_EQ(model.shrinkFactor(), 1);
    EXPECT_EQ(model.editText(), "-- prázdny --");
    EXPECT_FALSE(model.listEnabled());
}

TEST_F(StackTest, DeleteChosenDividesOnce) {
    applyAll({1, 2}); // A, B; factor 6
    model.choose("A", 1);
    EXPECT_EQ(model.selectedIndex(), 1);
    EXPECT_TRUE(model.deleteChosen().render);
    EXPECT_EQ(numbers(), std::vector<int>{2});
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    EXPECT_EQ(model.shrinkFactor(), 3); // 6 / 3 = 2, 2 / 2 = 1, x 3
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(model.editText(), "B");
}

TEST_F(StackTest, ReplaceChosenDividesOnce) {
    applyAll({1}); // factor 2
    EXPECT_TRUE(model.replaceChosen(2).render);
    EXPECT_EQ(numbers(), std::vector<int>{2});
    EXPECT_EQ(model.shrinkFactor(), 3); // 2 / 2 = 1, x 3
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    EXPECT_EQ(model.editText(), "B");
}

TEST_F(StackTest, InsertBeforeChosen) {
    applyAll({1}); // factor 2
    EXPECT_TRUE(model.insertBeforeChosen(2).render);
    EXPECT_EQ(numbers(), (std::vector<int>{2, 1}));
    EXPECT_EQ(model.shrinkFactor(), 6);
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    EXPECT_EQ(model.listEntries(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(StackTest, EditsInTheMiddle) {
    applyAll({1, 2, 3, 4});
    model.choose("B", 2);
    ASSERT_TRUE(model.replaceChosen(4).render);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 4, 3, 4}));
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    model.choose("D", 2);
    ASSERT_TRUE(model.insertBeforeChosen(2).render);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 4, 3, 4}));
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    model.choose("A", 4);
    ASSERT_TRUE(model.deleteChosen().render);
    EXPECT_EQ(numbers(), (std::vector<int>{2, 4, 3, 4}));
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
}

TEST_F(StackTest, DeleteUpToChosen) {
    applyAll({1, 2, 3, 4});
    model.choose("B", 2);
    EXPECT_TRUE(model.deleteUpToChosen().render);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(model.listEntries(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(model.editText(), "B");
    EXPECT_EQ(model.shrinkFactor(), 6);
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
}

TEST_F(StackTest, DeleteUpToTheNewestOnlyRenders) {
    applyAll({1, 2});
    const Mosaic before = model.mosaic();
    EXPECT_TRUE(model.deleteUpToChosen().render);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(model.mosaic().placements, before.placements);
}

TEST_F(StackTest, DeletingTheOnlyEntryShowsCapitalP) {
    applyAll({1});
    model.deleteChosen();
    EXPECT_TRUE(model.stack().empty());
    EXPECT_EQ(model.editText(), "-- Prázdny --");
    EXPECT_EQ(model.stackCaption(), "-- prázdny --");
    EXPECT_FALSE(model.listEnabled());
    EXPECT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
}

TEST_F(StackTest, UnknownTypedTextIsPutBack) {
    applyAll({1, 2});
    model.choose("B", 0);
    model.choose("nič také", -1);
    EXPECT_EQ(model.editText(), "B");
    EXPECT_EQ(model.stackCaption(), "B");
    EXPECT_EQ(model.selectedIndex(), 0);
    model.choose("A", -1); // typed text naming an entry becomes the caption
    EXPECT_EQ(model.stackCaption(), "A");
}

TEST_F(StackTest, UndoAfterChoosingActsOnTheNewest) {
    applyAll({1, 2, 3});
    model.choose("A", 2);
    model.undoLast();
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(model.selectedIndex(), 0);
    model.deleteChosen(); // acts on the newest again
    EXPECT_EQ(numbers(), (std::vector<int>{1}));
}

TEST_F(StackTest, NoScale) {
    model.setNoScale(true);
    applyAll({1, 2});
    EXPECT_EQ(model.shrinkFactor(), 1);
    model.setShrinkFactor(5);
    model.insertBeforeChosen(1); // f x g, whatever noScale says
    EXPECT_EQ(model.shrinkFactor(), 10);
}

TEST_F(StackTest, FactorCanFallToZeroOnlyThroughTruncation) {
    // With noScale on, B gives 1; switched off (factor 1), A gives 2. Deleting B then undoes
    // A (1) and B (stays 1) and applies A again (2); no second division follows.
    model.setNoScale(true);
    applyAll({2});
    model.setNoScale(false);
    model.setShrinkFactor(1);
    applyAll({1});
    model.choose("B", 1);
    model.deleteChosen();
    EXPECT_EQ(model.shrinkFactor(), 2);
    // Truncation: a factor of 2 undone by grid size 3 gives 0.
    model.reset();
    applyAll({2});
    model.setShrinkFactor(2);
    model.undoLast();
    EXPECT_EQ(model.shrinkFactor(), 0);
}

TEST_F(StackTest, HierarchyLoadReset) {
    applyAll({1, 2});
    EXPECT_TRUE(model.resetAfterHierarchyLoad().render);
    EXPECT_TRUE(model.stack().empty());
    EXPECT_EQ(model.shrinkFactor(), 1);
    EXPECT_EQ(model.editText(), "-- Prázdny --");
    EXPECT_FALSE(model.listEnabled());
    EXPECT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
}

TEST_F(StackTest, CancelledChoiceChangesNothing) {
    applyAll({1});
    const Mosaic before = model.mosaic();
    for (Outcome o :
         {model.replaceChosen(cancelledChoice), model.insertBeforeChosen(cancelledChoice)}) {
        EXPECT_FALSE(o.render);
        EXPECT_TRUE(o.message.empty());
    }
    EXPECT_EQ(numbers(), std::vector<int>{1});
    EXPECT_EQ(model.mosaic().placements, before.placements);
}

TEST_F(StackTest, EditsOnEmptyStackDoNothing) {
    for (Outcome o : {model.deleteChosen(), model.deleteUpToChosen(), model.replaceChosen(1),
                      model.insertBeforeChosen(1)}) {
        EXPECT_FALSE(o.render);
        EXPECT_TRUE(o.message.empty());
    }
    EXPECT_TRUE(model.stack().empty());
    EXPECT_EQ(model.editText(), "-- prázdny --");
}

// ---- Refusals ----

struct RefusalCase {
    const char* label;
    Mosaic command;
    std::string message;
};
void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.label;
}

class Refusals : public StackTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ApplyReplaceAndInsertChangeNothing) {
    applyAll({1, 2});
    model.choose("A", 1);
    model.setShrinkFactor(12);
    model.commands()[11] = {"X", GetParam().command};
    const Mosaic before = model.mosaic();
    const auto check = [&](Outcome o, const char* operation) {
        EXPECT_FALSE(o.render) << operation;
        EXPECT_EQ(o.message, GetParam().message) << operation;
        EXPECT_EQ(numbers(), (std::vector<int>{1, 2})) << operation;
        EXPECT_EQ(model.mosaic().placements, before.placements) << operation;
        EXPECT_EQ(model.mosaic().scale, before.scale) << operation;
        EXPECT_EQ(model.shrinkFactor(), 12) << operation;
        EXPECT_EQ(model.selectedIndex(), 1) << operation;
        EXPECT_EQ(model.editText(), "A") << operation;
        EXPECT_EQ(model.listEntries(), (std::vector<std::string>{"B", "A"})) << operation;
    };
    check(model.applyCommand(12), "apply");
    check(model.replaceChosen(12), "replace");
    check(model.insertBeforeChosen(12), "insert");
}

const std::string unusable(messages::commandUnusable);
const std::string tooLarge(messages::mosaicTooLarge);

INSTANTIATE_TEST_SUITE_P(
    Stack, Refusals,
    ::testing::Values(
        RefusalCase{"NoParts", pattern(2, {}), unusable},
        RefusalCase{"GridSizeZero", pattern(0, {{1, 1, 0, 0, O::R0}}), unusable},
        RefusalCase{"FirstPartWidthZero", pattern(2, {{0, 1, 0, 0, O::R0}}), unusable},
        RefusalCase{"FirstPartHeightZero", pattern(2, {{1, 0, 0, 0, O::R0}, {1, 1, 1, 1, O::R0}}),
                    unusable},
        // 600 x 3 x 40 pixels even in place of A.
        RefusalCase{"ExtentTooLarge", pattern(600, {{1, 1, 0, 0, O::R0}}), tooLarge},
        RefusalCase{"TooManyPlacements",
                    pattern(1, std::vector<Placement>(22000, Placement{1, 1, 0, 0, O::R0})),
                    tooLarge}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(StackTest, FieldsBeyond32Bits) {
    // A part 65535 cells wide on a grid of 1: twice gives widths of 65535^2.
    model.commands()[4] = {"wide", pattern(1, {{65535, 1, 0, 0, O::R0}})};
    applyAll({5});
    EXPECT_EQ(model.applyCommand(5).message, tooLarge);
    EXPECT_EQ(model.insertBeforeChosen(5).message, tooLarge);
    EXPECT_EQ(model.replaceChosen(5).message, "");
    EXPECT_EQ(model.stack().size(), 1u);
    EXPECT_EQ(model.mosaic().placements, (std::vector<Placement>{{65535, 1, 0, 0, O::R0}}));
}

TEST_F(StackTest, SlotOutOfRangeOrEmpty) {
    for (int n : {0, 5, 12, 13, -1})
        EXPECT_EQ(model.applyCommand(n).message, unusable) << n;
    EXPECT_TRUE(model.stack().empty());
    applyAll({1});
    EXPECT_EQ(model.replaceChosen(7).message, unusable);
    EXPECT_EQ(model.insertBeforeChosen(0).message, unusable);
}

TEST_F(StackTest, StackFull) {
    model.commands()[4] = {"I", pattern(1, {{1, 1, 0, 0, O::R0}})};
    for (std::size_t i = 0; i < CommandStackModel::capacity; ++i)
        ASSERT_TRUE(model.applyCommand(5).render) << i;
    EXPECT_EQ(model.applyCommand(5).message, "Príkazový zásobník je plný.");
    model.choose("I", 3);
    EXPECT_EQ(model.insertBeforeChosen(5).message, "Príkazový zásobník je plný.");
    EXPECT_EQ(model.stack().size(), CommandStackModel::capacity);
    EXPECT_TRUE(model.replaceChosen(1).render); // replacing keeps the count
    EXPECT_EQ(model.stack().size(), CommandStackModel::capacity);
}

TEST_F(StackTest, NotEnoughMemory) {
    applyAll({1});
    memoryFits = false;
    const Mosaic before = model.mosaic();
    const std::string message(messages::notEnoughMemory);
    EXPECT_EQ(model.applyCommand(2).message, message);
    EXPECT_EQ(model.replaceChosen(2).message, message);
    EXPECT_EQ(model.insertBeforeChosen(2).message, message);
    EXPECT_EQ(numbers(), std::vector<int>{1});
    EXPECT_EQ(model.mosaic().placements, before.placements);
    EXPECT_EQ(model.shrinkFactor(), 2);
    // Taking commands away never needs more memory.
    EXPECT_TRUE(model.undoLast().render);
}

TEST_F(StackTest, MemoryCheckSeesTheResult) {
    std::int64_t seenExtent = 0;
    std::int32_t seenFactor = 0;
    model.setMemoryCheck([&](std::int64_t extent, std::int32_t factor, bool) {
        seenExtent = extent;
        seenFactor = factor;
        return true;
    });
    applyAll({1, 2});
    EXPECT_EQ(seenExtent, 240);
    EXPECT_EQ(seenFactor, 6);
    model.choose("A", 1);
    model.insertBeforeChosen(4);
    EXPECT_EQ(seenExtent, 1200);
    EXPECT_EQ(seenFactor, 30);
}

// ---- Base tile ----

TEST_F(StackTest, ChangeBaseTileRescalesPositions) {
    applyAll({1, 3, 2});
    const Bitmap tile(80, 80, 0x123456);
    ASSERT_TRUE(model.changeBaseTile(tile).render);
    EXPECT_EQ(model.mosaic().tileSize, 80);
    EXPECT_EQ(model.mosaic().tiles->at(0), tile);
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
    EXPECT_EQ(model.shrinkFactor(), 24);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3, 2}));
    // Undo stays exact with the new tile size.
    model.undoLast();
    EXPECT_EQ(model.mosaic().placements, replayed().placements);
}

TEST_F(StackTest, ChangeBaseTileMovesEachPlacementToItsCell) {
    // (1, 1, 120, 40, R90) with 40-pixel tiles is (1, 1, 240, 80, R90) with 80-pixel tiles.
    model.commands()[4] = {"E", pattern(4, {{1, 1, 3, 1, O::R90}})};
    applyAll({5});
    ASSERT_EQ(model.mosaic().placements, (std::vector<Placement>{{1, 1, 120, 40, O::R90}}));
    model.changeBaseTile(Bitmap(80, 80));
    EXPECT_EQ(model.mosaic().placements, (std::vector<Placement>{{1, 1, 240, 80, O::R90}}));
}

TEST_F(StackTest, ChangeBaseTileRefusals) {
    applyAll({1, 2, 3, 4}); // scale 120
    const Mosaic before = model.mosaic();
    const auto unchanged = [&](Outcome o, const std::string& message) {
        EXPECT_FALSE(o.render);
        EXPECT_EQ(o.message, message);
        EXPECT_EQ(model.mosaic().tileSize, 40);
        EXPECT_EQ(model.mosaic().placements, before.placements);
        EXPECT_EQ(model.mosaic().tiles, before.tiles);
    };
    const std::string tileUnusable(messages::tileUnusable);
    unchanged(model.changeBaseTile(Bitmap()), tileUnusable);
    unchanged(model.changeBaseTile(Bitmap(30, 20)), tileUnusable);
    unchanged(model.changeBaseTile(Bitmap(547, 547)), tooLarge); // 120 x 547 > 65535
    memoryFits = false;
    unchanged(model.changeBaseTile(Bitmap(50, 50)), std::string(messages::notEnoughMemory));
}

TEST_F(StackTest, ChangeBaseTileRefusesPositionsBeyond32BitsBackThroughTheStack) {
    // Parts far outside their grid carry the mosaic 52 million pixels away and back again; a
    // tile 25 times larger would push that history beyond 32 bits, although the extent and
    // the present positions stay small.
    model.commands()[4] = {"far", pattern(1, {{1, 1, 65535, 0, O::R0}})};
    model.commands()[5] = {"back", pattern(1, {{1, 1, -65535, 0, O::R0}})};
    for (int i = 0; i < 20; ++i)
        applyAll({5});
    for (int i = 0; i < 20; ++i)
        applyAll({6});
    ASSERT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
    EXPECT_EQ(model.changeBaseTile(Bitmap(1000, 1000)).message, tooLarge);
    EXPECT_EQ(model.mosaic().tileSize, 40);
    ASSERT_TRUE(model.changeBaseTile(Bitmap(60, 60)).render);
    while (!model.stack().empty()) {
        model.undoLast();
        ASSERT_EQ(model.mosaic().placements, replayed().placements) << model.stack().size();
    }
}

TEST_F(StackTest, GapColorLivesInTheMosaic) {
    model.setGapColor(0x00FF00);
    applyAll({1});
    model.reset();
    EXPECT_EQ(model.mosaic().gapColor, 0x00FF00u);
}

// ---- Zoom ----

TEST(Zoom, OutDoublesBelow256) {
    struct Row {
        std::int32_t from;
        std::vector<std::int32_t> presses; // the factors reached before the refusal
    };
    const std::vector<Row> rows = {
        {1, {2, 4, 8, 16, 32, 64, 128}},
        {3, {6, 12, 24, 48, 96, 192}},
        {128, {}},
        {200, {}},
        {-200, {-400}}, // the original signed doubling; -800 still lies below 256
    };
    for (const Row& row : rows) {
        std::int32_t f = row.from;
        for (std::int32_t expected : row.presses) {
            const auto next = zoomedOut(f);
            ASSERT_TRUE(next) << row.from;
            EXPECT_EQ(*next, expected);
            f = *next;
        }
        if (row.from >= 0) {
            EXPECT_FALSE(zoomedOut(f)) << row.from;
        }
    }
    EXPECT_EQ(zoomedOut(0), 0); // a factor of 0 stays 0
    EXPECT_FALSE(zoomedOut(std::numeric_limits<std::int32_t>::min()));
}

TEST(Zoom, InHalvesAboveOne) {
    EXPECT_EQ(zoomedIn(3), 1);
    EXPECT_EQ(zoomedIn(5), 2);
    EXPECT_EQ(zoomedIn(256), 128);
    EXPECT_FALSE(zoomedIn(1));
    EXPECT_FALSE(zoomedIn(0));
    EXPECT_FALSE(zoomedIn(-4));
    EXPECT_EQ(fullSizeFactor, 1);
}

TEST(Zoom, NoScaleToggle) {
    const NoScaleToggle on = toggledNoScale(false);
    EXPECT_TRUE(on.noScale);
    EXPECT_EQ(on.shrinkFactor, 1);
    EXPECT_TRUE(on.redraw);
    const NoScaleToggle off = toggledNoScale(true);
    EXPECT_FALSE(off.noScale);
    EXPECT_EQ(off.shrinkFactor, 1);
    EXPECT_FALSE(off.redraw);
}

// ---- Property test ----

// Random undoable commands: grid size 1..4, up to grid-size parts (so the placement count stays
// within the scale), some of them outside the grid.
CommandSlots randomCommands(std::mt19937& random) {
    CommandSlots slots;
    std::uniform_int_distribution<int> orientation(0, 7);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int grid = std::uniform_int_distribution<int>(1, 4)(random);
        const int parts = std::uniform_int_distribution<int>(1, grid)(random);
        Mosaic p;
        p.scale = static_cast<std::uint16_t>(grid);
        for (int j = 0; j < parts; ++j) {
            std::uniform_int_distribution<int> cell(0, grid); // grid itself lies outside
            std::uniform_int_distribution<int> size(1, grid);
            p.placements.push_back({size(random), size(random), cell(random), cell(random),
                                    static_cast<Orientation>(orientation(random))});
        }
        slots[i] = {"p" + std::to_string(i + 1), std::move(p)};
    }
    return slots;
}

TEST_F(StackTest, RandomOperationsKeepTheMosaicEqualToTheStack) {
    std::mt19937 random(20240517);
    // Keep the mosaics small so thousands of sequences stay fast.
    model.setMemoryCheck([](std::int64_t extent, std::int32_t, bool) { return extent <= 40 * 96; });
    for (int sequence = 0; sequence < 2000; ++sequence) {
        model.commands() = randomCommands(random);
        model.resetAfterHierarchyLoad();
        model.changeBaseTile(Bitmap(40, 40));
        for (int step = 0; step < 14; ++step) {
            const int n = std::uniform_int_distribution<int>(1, 12)(random);
            const int position = std::uniform_int_distribution<int>(
                0, static_cast<int>(model.stack().size()))(random);
            switch (std::uniform_int_distribution<int>(0, 9)(random)) {
            case 0:
            case 1:
            case 2: {
                // Apply, and now and then check that undo takes it back exactly.
                const Mosaic before = model.mosaic();
                if (model.applyCommand(n).render && step % 3 == 0) {
                    model.undoLast();
                    ASSERT_EQ(model.mosaic().placements, before.placements)
                        << sequence << "/" << step;
                    ASSERT_EQ(model.mosaic().scale, before.scale);
                    model.applyCommand(n);
                }
                break;
            }
            case 3:
                model.undoLast();
                break;
            case 4:
                model.choose("", position);
                break;
            case 5:
                model.deleteUpToChosen();
                break;
            case 6:
                model.deleteChosen();
                break;
            case 7:
                model.replaceChosen(n);
                break;
            case 8:
                model.insertBeforeChosen(n);
                break;
            case 9:
                if (step % 5 == 0)
                    model.changeBaseTile(Bitmap(n * 3, n * 3));
                else
                    model.reset();
                break;
            }
            const Mosaic expected = replayed();
            ASSERT_EQ(model.mosaic().placements, expected.placements) << sequence << "/" << step;
            ASSERT_EQ(model.mosaic().scale, expected.scale);
            ASSERT_EQ(model.listEntries().size(), model.stack().size());
            ASSERT_EQ(model.listEnabled(), !model.stack().empty());
        }
    }
}

} // namespace
} // namespace ornamo
