#include "commandstack.h"
#include "iterations.h"
#include "messages.h"
#include "zoom.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace ornamo {
namespace {

using O = Orientation;

constexpr Refusal unusable = Refusal::CommandUnusable;
constexpr Refusal tooLarge = Refusal::MosaicTooLarge;
constexpr Refusal noMemory = Refusal::NotEnoughMemory;
constexpr Refusal stackFull = Refusal::StackFull;

Mosaic pattern(std::uint16_t grid, std::vector<Placement> parts) {
    Mosaic p;
    p.scale = grid;
    p.placements = std::move(parts);
    return p;
}

// Everything an operation may change; a refusal leaves all of it as it was.
using Snapshot = std::tuple<std::vector<int>, std::vector<Placement>, std::uint16_t, std::uint16_t,
                            const TileSet*, std::int32_t, int, std::string, std::string,
                            std::vector<std::string>, bool>;

class StackTest : public ::testing::Test {
protected:
    // Slots 1..4, grid sizes 2..5: the quarters turned differently; two stretched bands and a
    // mirrored centre; a single part outside its grid; a single stretched part.
    void SetUp() override {
        model.setMemoryCheck([this](std::int64_t, std::int32_t, bool) { return memoryFits; });
        CommandSlots slots;
        slots[0] = {"A", pattern(2, {{1, 1, 0, 0, O::R0},
                                     {1, 1, 1, 0, O::R90},
                                     {1, 1, 0, 1, O::MR0},
                                     {1, 1, 1, 1, O::R180}})};
        slots[1] = {
            "B", pattern(3, {{3, 1, 0, 0, O::MR90}, {1, 1, 1, 1, O::MR0}, {3, 1, 0, 2, O::R270}})};
        slots[2] = {"C", pattern(4, {{2, 1, 3, 5, O::MR180}})};
        slots[3] = {"D", pattern(5, {{2, 3, 1, 1, O::R90}})};
        model.loadCommands(slots);
    }

    // The mosaic the stack stands for: its commands substituted in turn into a reset mosaic.
    void expectMosaicOfTheStack() const {
        Mosaic m;
        m.tileSize = model.mosaic().tileSize;
        ResetMosaic(m);
        for (const StackEntry& e : model.stack())
            SubstituteCommand(model.commands()[e.command - 1u].pattern, m);
        ASSERT_EQ(model.mosaic().placements, m.placements);
        ASSERT_EQ(model.mosaic().scale, m.scale);
    }

    std::vector<int> numbers() const {
        std::vector<int> n;
        for (const StackEntry& e : model.stack())
            n.push_back(e.command);
        return n;
    }

    // Runs steps named as on ornamo-render's command line: a number applies that command,
    // "select:k" chooses list position k; "undo", "reset", "delete", "delete-up-to",
    // "replace:r", "insert:r"; and "load" (a hierarchy was read), "tile:w" (a w x w base
    // tile), "no-scale:0|1", "factor:f". Returns the last step's outcome.
    Outcome run(const std::string& steps) {
        const auto setting = [](auto set) {
            return [set](int value) { return set(value), Outcome{}; };
        };
        const std::map<std::string, std::function<Outcome(int)>> operations = {
            {"undo", [&](int) { return model.undoLast(); }},
            {"reset", [&](int) { return model.reset(); }},
            {"delete", [&](int) { return model.deleteChosen(); }},
            {"delete-up-to", [&](int) { return model.deleteUpToChosen(); }},
            {"replace", [&](int r) { return model.replaceChosen(r); }},
            {"insert", [&](int r) { return model.insertBeforeChosen(r); }},
            {"load", [&](int) { return model.resetAfterHierarchyLoad(); }},
            {"tile", [&](int w) { return model.changeBaseTile(Bitmap(w, w)); }},
            {"no-scale", setting([&](int on) { model.setNoScale(on != 0); })},
            {"factor", setting([&](int f) { model.setShrinkFactor(f); })},
            {"select", [&](int k) {
                 const auto entries = model.listEntries();
                 return model.choose(k < std::ssize(entries) ? entries[k] : "", k);
             }}};
        std::istringstream words(steps);
        Outcome last;
        for (std::string step; words >> step;) {
            const auto colon = step.find(':');
            const auto operation = operations.find(step.substr(0, colon));
            if (std::isdigit(static_cast<unsigned char>(step[0])))
                last = model.applyCommand(std::stoi(step));
            else if (operation != operations.end())
                last =
                    operation->second(colon == step.npos ? 0 : std::stoi(step.substr(colon + 1)));
            else
                ADD_FAILURE() << "unknown step " << step;
        }
        return last;
    }

    Snapshot snapshot() const {
        const Mosaic& m = model.mosaic();
        return std::make_tuple(numbers(), m.placements, m.scale, m.tileSize, m.tiles.get(),
                               model.shrinkFactor(), model.selectedIndex(), model.editText(),
                               model.stackCaption(), model.listEntries(), model.listEnabled());
    }

    // Puts `command` into slot n (1..12).
    void setSlot(int n, Command command) {
        CommandSlots slots = model.commands();
        slots[static_cast<std::size_t>(n - 1)] = std::move(command);
        model.loadCommands(slots);
    }

    void expectNothingChanged(const Outcome& outcome, Refusal refusal,
                              const Snapshot& before) const {
        EXPECT_FALSE(outcome.render);
        EXPECT_EQ(outcome.refusal, refusal);
        EXPECT_EQ(snapshot(), before);
    }

    CommandStackModel model;
    bool memoryFits = true;
};

TEST_F(StackTest, StackFactorAndListAfterEachOperation) {
    struct Row {
        const char* steps;
        std::vector<int> stack;
        std::int32_t factor;
        // For an emptied stack (else both name the newest entry); no caption: not looked at.
        const char* editText = nullptr;
        const char* caption = nullptr;
    };
    const char* lower = "-- prázdny --";
    const char* upper = "-- Prázdny --";
    const Row rows[] = {
        {"1 2 select:1 1", {1, 2, 1}, 12},
        {"1 2 reset", {}, 1, lower, lower},
        {"1 2 undo undo", {}, 1, lower, lower},
        {"1 2 delete delete", {}, 1, upper, lower},
        {"1 2 load", {}, 1, upper},
        {"2 factor:2 undo", {}, 0, lower, lower},          // 2 / 3 truncates to 0
        {"1 2 select:1 delete", {2}, 3},                   // 6 / 3 / 2 x 3: one division by 2
        {"1 replace:2", {2}, 3},                           // 2 / 2 x 3
        {"1 insert:2", {2, 1}, 6},                         // 2 x 3
        {"1 2 3 4 select:2 delete-up-to", {1, 2}, 6},      // 120 / 5 / 4
        {"1 2 delete-up-to", {1, 2}, 6},                   // the newest chosen: only a render
        {"1 2 3 select:2 undo", {1, 2}, 6},                // undo takes the newest, not the chosen
        {"1 2 3 select:2 undo delete", {1}, 2},            // and leaves the newest chosen
        {"1 2 3 4 select:2 replace:4", {1, 4, 3, 4}, 200}, // 120 / 5 / 4 / 3 x 5 x 4 x 5
        {"1 2 3 4 select:2 replace:4 select:2 insert:2", {1, 2, 4, 3, 4}, 600},
        {"1 2 3 4 select:2 replace:4 select:2 insert:2 select:4 delete", {2, 4, 3, 4}, 300},
        {"no-scale:1 1 2", {1, 2}, 1},                  // without scaling each apply gives 1
        {"no-scale:1 1 factor:5 insert:2", {2, 1}, 15}, // but insert gives 5 x 3 all the same
        // B without scaling (1), A with (2); deleting B undoes A (1) and B (stays 1) and applies
        // A again (2), and no second division follows.
        {"no-scale:1 2 no-scale:0 factor:1 1 select:1 delete", {1}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.steps);
        run("load no-scale:0 factor:1");
        EXPECT_TRUE(run(row.steps).render);
        EXPECT_EQ(numbers(), row.stack);
        EXPECT_EQ(model.shrinkFactor(), row.factor);
        expectMosaicOfTheStack();
        std::vector<std::string> list; // the entries' names, newest first
        for (auto n = row.stack.rbegin(); n != row.stack.rend(); ++n)
            list.push_back(model.commands()[*n - 1u].name);
        EXPECT_EQ(model.listEntries(), list);
        EXPECT_EQ(model.listEnabled(), !list.empty());
        EXPECT_EQ(model.editText(), list.empty() ? row.editText : list.front());
        if (!list.empty() || row.caption) {
            EXPECT_EQ(model.stackCaption(), list.empty() ? row.caption : list.front());
        }
        EXPECT_EQ(model.selectedIndex(), 0);
    }
}

TEST_F(StackTest, OnAnEmptyStackOnlyUndoSpeaks) {
    model.setShrinkFactor(8); // a zoom, which must survive
    const Snapshot before = snapshot();
    expectNothingChanged(model.undoLast(), Refusal::StackEmpty, before);
    for (const char* steps : {"reset", "delete", "delete-up-to", "replace:1", "insert:1"})
        expectNothingChanged(run(steps), Refusal::None, before);
}

TEST_F(StackTest, TypedTextIsPutBackUnlessItNamesAnEntry) {
    run("1 2 select:0");
    model.choose("nič také", -1);
    EXPECT_EQ(model.editText(), "B");
    EXPECT_EQ(model.stackCaption(), "B");
    EXPECT_EQ(model.selectedIndex(), 0);
    model.choose("A", -1);
    EXPECT_EQ(model.stackCaption(), "A");
}

// ---- Refusals ----

TEST_F(StackTest, RefusedApplyReplaceAndInsertChangeNothing) {
    struct Row {
        const char* label;
        Mosaic command;
        Refusal refusal;
        bool memoryFits = true;
        Excess excess = {}; // of the apply
    };
    const Row rows[] = {
        {"no parts", pattern(2, {}), unusable},
        {"grid size 0", pattern(0, {{1, 1, 0, 0, O::R0}}), unusable},
        {"first part of width 0", pattern(2, {{0, 1, 0, 0, O::R0}}), unusable},
        {"first part of height 0", pattern(2, {{1, 0, 0, 0, O::R0}, Placement{}}), unusable},
        {"extent 600 x 3 x 40 even in place of A",
         pattern(600, {Placement{}}),
         tooLarge,
         true,
         {Limit::Extent, 6 * 600 * 40, 65535}},
        {"too many placements",
         pattern(1, std::vector<Placement>(22000)),
         tooLarge,
         true,
         {Limit::Placements, 12 * 22000, 65535}},
        {"not enough memory", pattern(3, {Placement{}}), noMemory, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        memoryFits = true;
        run("load 1 2 select:1 factor:12");
        setSlot(12, {"X", row.command});
        memoryFits = row.memoryFits;
        const Snapshot before = snapshot();
        const Outcome applied = model.applyCommand(12);
        expectNothingChanged(applied, row.refusal, before);
        EXPECT_EQ(applied.detail.excess, row.excess);
        expectNothingChanged(model.replaceChosen(12), row.refusal, before);
        expectNothingChanged(model.insertBeforeChosen(12), row.refusal, before);
        EXPECT_TRUE(model.undoLast().render); // taking a command away needs no more memory
    }
}

// Numbers as the refusals write them, and one sentence whole.
TEST(RefusalText, GroupsDigitsByThree) {
    const std::pair<std::int64_t, const char*> numbers[] = {
        {0, "0"}, {999, "999"}, {1000, "1 000"}, {-2147483648LL, "-2 147 483 648"}};
    for (const auto& [value, written] : numbers)
        EXPECT_EQ(messages::groupedNumber(value), written);
    EXPECT_EQ(messages::text(Excess{Limit::Placements, 531441, 65535}),
              "Mozaika by mala 531 441 dielov; najviac je 65 535.");
}

TEST_F(StackTest, SlotsOutOfRangeAndCancelledChoices) {
    run("1");
    const Snapshot before = snapshot();
    for (int n : {0, 5, 12, 13, -1})
        expectNothingChanged(model.applyCommand(n), unusable, before);
    expectNothingChanged(model.replaceChosen(7), unusable, before);
    expectNothingChanged(model.insertBeforeChosen(0), unusable, before);
    expectNothingChanged(model.replaceChosen(cancelledChoice), Refusal::None, before);
    expectNothingChanged(model.insertBeforeChosen(cancelledChoice), Refusal::None, before);
}

TEST_F(StackTest, FieldsBeyond32Bits) {
    // A part 65535 cells wide on a grid of 1: twice would give widths of 65535^2.
    setSlot(5, {"wide", pattern(1, {{65535, 1, 0, 0, O::R0}})});
    ASSERT_TRUE(run("5").render);
    const Snapshot before = snapshot();
    const Outcome twice = model.applyCommand(5);
    expectNothingChanged(twice, tooLarge, before);
    EXPECT_EQ(twice.detail.excess, (Excess{Limit::Enlargement, 65535LL * 65535, 2147483647}));
    expectNothingChanged(model.insertBeforeChosen(5), tooLarge, before);
    EXPECT_TRUE(model.replaceChosen(5).render);
    EXPECT_EQ(model.mosaic().placements, (std::vector<Placement>{{65535, 1, 0, 0, O::R0}}));
}

TEST_F(StackTest, StackFull) {
    setSlot(5, {"I", pattern(1, {{1, 1, 0, 0, O::R0}})});
    for (std::size_t i = 0; i < CommandStackModel::capacity; ++i)
        ASSERT_TRUE(model.applyCommand(5).render) << i;
    run("select:3");
    const Snapshot before = snapshot();
    expectNothingChanged(model.applyCommand(5), stackFull, before);
    expectNothingChanged(model.insertBeforeChosen(5), stackFull, before);
    EXPECT_TRUE(model.replaceChosen(1).render); // replacing keeps the count
    EXPECT_EQ(model.stack().size(), CommandStackModel::capacity);
}

TEST_F(StackTest, MemoryCheckSeesTheResult) {
    std::pair<std::int64_t, std::int32_t> seen; // extent and factor
    model.setMemoryCheck([&](std::int64_t extent, std::int32_t factor, bool) {
        return seen = {extent, factor}, true;
    });
    run("1 2");
    EXPECT_EQ(seen, std::make_pair(std::int64_t{240}, 6));
    run("select:1 insert:4");
    EXPECT_EQ(seen, std::make_pair(std::int64_t{1200}, 30));
}

// ---- Base tile ----

TEST_F(StackTest, ChangeBaseTileRescalesPositions) {
    run("1 3 2");
    const Bitmap tile(80, 80, 0x123456);
    ASSERT_TRUE(model.changeBaseTile(tile).render);
    EXPECT_EQ(model.mosaic().tileSize, 80);
    EXPECT_EQ(model.mosaic().tiles->base(), tile);
    EXPECT_EQ(model.shrinkFactor(), 24);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3, 2}));
    expectMosaicOfTheStack();
    run("undo"); // undo stays exact with the new tile size
    expectMosaicOfTheStack();

    // Each placement keeps its cell: (1, 1, 120, 40) with 40-pixel tiles is (1, 1, 240, 80).
    setSlot(5, {"E", pattern(4, {{1, 1, 3, 1, O::R90}})});
    run("reset tile:40 5");
    ASSERT_EQ(model.mosaic().placements, (std::vector<Placement>{{1, 1, 120, 40, O::R90}}));
    run("tile:80");
    EXPECT_EQ(model.mosaic().placements, (std::vector<Placement>{{1, 1, 240, 80, O::R90}}));
}

TEST_F(StackTest, ChangeBaseTileRefusals) {
    run("1 2 3 4"); // scale 120
    const Snapshot before = snapshot();
    expectNothingChanged(model.changeBaseTile(Bitmap()), Refusal::TileUnusable, before);
    expectNothingChanged(model.changeBaseTile(Bitmap(30, 20)), Refusal::TileUnusable, before);
    EXPECT_EQ(messages::text(Refusal::TileUnusable), "Táto dlaždica sa nedá použiť.");
    const Outcome wide = model.changeBaseTile(Bitmap(547, 547));
    expectNothingChanged(wide, tooLarge, before);
    EXPECT_EQ(wide.detail.excess, (Excess{Limit::Extent, 120 * 547, 65535}));
    memoryFits = false;
    expectNothingChanged(model.changeBaseTile(Bitmap(50, 50)), noMemory, before);
}

TEST_F(StackTest, ChangeBaseTileRefusesPositionsBeyond32BitsBackThroughTheStack) {
    // Parts far outside their grid carry the mosaic 52 million pixels away and back again; a
    // tile 25 times larger would push that history beyond 32 bits, although the extent and
    // the present positions stay small.
    setSlot(5, {"far", pattern(1, {{1, 1, 65535, 0, O::R0}})});
    setSlot(6, {"back", pattern(1, {{1, 1, -65535, 0, O::R0}})});
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(model.applyCommand(i < 20 ? 5 : 6).render);
    ASSERT_EQ(model.mosaic().placements, std::vector<Placement>{Placement{}});
    const Snapshot before = snapshot();
    expectNothingChanged(model.changeBaseTile(Bitmap(1000, 1000)), tooLarge, before);
    ASSERT_TRUE(model.changeBaseTile(Bitmap(60, 60)).render);
    while (!model.stack().empty()) {
        run("undo");
        expectMosaicOfTheStack();
    }
}

// ---- Zoom ----

TEST(Zoom, OutDoublesBelow256AndInHalvesAboveOne) {
    using F = std::optional<std::int32_t>;
    struct Row {
        std::int32_t factor;
        F out, in;
    };
    const Row rows[] = {
        {1, 2, std::nullopt},
        {5, 10, 2},
        {127, 254, 63},
        {128, std::nullopt, 64},
        {0, 0, std::nullopt},
        {-200, -400, std::nullopt}, // the signed doubling: -400 still lies below 256
        {std::numeric_limits<std::int32_t>::min(), std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(zoomedOut(row.factor), row.out) << row.factor;
        EXPECT_EQ(zoomedIn(row.factor), row.in) << row.factor;
    }
}

// ---- Property test ----

// Random undoable commands: grid size 1..4, up to grid-size parts (so the placement count stays
// within the scale), some of them outside the grid.
// "p7" and the like. (Appending rather than "p" + std::to_string(...), which GCC 12 misreads
// as an overlapping copy at -O2.)
std::string numberedName(char prefix, int number) {
    std::string name(1, prefix);
    name += std::to_string(number);
    return name;
}

CommandSlots randomCommands(std::mt19937& random) {
    CommandSlots slots;
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int grid = uniform(1, 4);
        std::vector<Placement> parts(static_cast<std::size_t>(uniform(1, grid)));
        for (Placement& p : parts) // a cell position equal to the grid size lies outside
            p = {uniform(1, grid), uniform(1, grid), uniform(0, grid), uniform(0, grid),
                 static_cast<Orientation>(uniform(0, 7))};
        slots[i] = {numberedName('p', i + 1),
                    pattern(static_cast<std::uint16_t>(grid), std::move(parts))};
    }
    return slots;
}

TEST_F(StackTest, RandomOperationsKeepTheMosaicEqualToTheStack) {
    // Keep the mosaics small so thousands of sequences stay fast.
    model.setMemoryCheck([](std::int64_t extent, std::int32_t, bool) { return extent <= 40 * 96; });
    testimages::forEachIteration(2000, [&](unsigned sequence) {
        std::mt19937 random(sequence);
        const auto uniform = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        model.loadCommands(randomCommands(random));
        model.resetAfterHierarchyLoad();
        model.changeBaseTile(Bitmap(40, 40));
        for (int step = 0; step < 14; ++step) {
            SCOPED_TRACE(testing::Message() << "step " << step);
            const int n = uniform(1, 12);
            const std::string apply = std::to_string(n);
            const int size = static_cast<int>(model.stack().size());
            const std::string select = "select:" + std::to_string(uniform(0, size));
            const std::string tileOrReset = step % 5 ? "reset" : "tile:" + std::to_string(3 * n);
            const std::string others[] = {"undo",     "delete-up-to",     select,
                                          "delete",   "replace:" + apply, "insert:" + apply,
                                          tileOrReset};
            const int choice = uniform(0, 9); // applies three times as often as the others
            if (choice >= 3) {
                run(others[choice - 3]);
            } else if (const Mosaic before = model.mosaic(); run(apply).render && step % 3 == 0) {
                run("undo"); // now and then a check that undo takes the apply back exactly
                ASSERT_EQ(model.mosaic().placements, before.placements);
                ASSERT_EQ(model.mosaic().scale, before.scale);
                run(apply);
            }
            ASSERT_NO_FATAL_FAILURE(expectMosaicOfTheStack());
            ASSERT_EQ(model.listEntries().size(), model.stack().size());
            ASSERT_EQ(model.listEnabled(), !model.stack().empty());
        }
    });
}

} // namespace
} // namespace ornamo
