#include "iterations.h"
#include "testimages.h"
#include "work.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace ornamo {
namespace {

using testimages::forEachIteration;
using testimages::randomImage;

// Four commands: quarters turned and mirrored, two stretched bands with a gap, a part outside
// its grid, and a stretched turned part. The second file names its first command in
// Windows-1250.
const std::string rulesA = "Stvorec\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R90\n0 1 1 1 MR0\n"
                           "1 1 1 1 R180\n\nPruh\nscale: 3\nitem: 2\n0 0 3 1 MR90\n0 2 3 1 R270\n\n"
                           "Von\nscale: 2\nitem: 1\n1 2 1 1 MR180\n\n"
                           "Tah\nscale: 2\nitem: 1\n0 0 2 1 MR270\n";
const std::string rulesB = "\x8Atvorec\nscale: 2\nitem: 2\n0 0 1 1 R90\n1 1 1 1 MR0\n";

// Everything the user can see of a work: the stack and its list, the factor and the switch,
// the mosaic, the rules and every view pixel.
struct Seen {
    std::vector<int> stack;
    std::vector<std::string> list;
    int selected;
    std::string caption, editText;
    bool listEnabled;
    std::int32_t factor;
    bool noScale;
    std::vector<Placement> placements;
    int scale, tileSize;
    Color gap;
    std::string rules;
    int side;
    std::vector<std::uint8_t> pixels;
    bool operator==(const Seen&) const = default;
};

Seen seen(const Work& work) {
    const CommandStackModel& m = work.model();
    Seen s{{},
           m.listEntries(),
           m.selectedIndex(),
           m.stackCaption(),
           m.editText(),
           m.listEnabled(),
           m.shrinkFactor(),
           m.noScale(),
           m.mosaic().placements,
           m.mosaic().scale,
           m.mosaic().tileSize,
           m.mosaic().gapColor,
           work.rules().bytes,
           work.view().side(),
           {}};
    for (const StackEntry& e : m.stack())
        s.stack.push_back(e.command);
    const int side = work.view().side();
    const std::ptrdiff_t stride = Bitmap::strideFor(side);
    s.pixels.resize(static_cast<std::size_t>(stride * side));
    if (side > 0)
        work.view().read({0, 0, side, side}, s.pixels.data(), stride);
    return s;
}

class History : public ::testing::Test {
protected:
    void SetUp() override { fresh(6); }

    // A new work on a random tile of side `tile`, with the first rules.
    void fresh(int tile, Color gap = 0xFFFFFF) {
        owned.emplace();
        ASSERT_EQ(work.start(randomImage(tile, tile, rng), gap).refusal, Refusal::None);
        work.useRules(rulesFromBytes(rulesA, "a.hrh"));
    }

    // One random operation: an edit most of the time, sometimes a zoom or a choice.
    Outcome randomOperation() {
        const int r = static_cast<int>(rng() % 4) + 1;
        switch (rng() % 16) {
        case 0:
        case 1:
        case 2:
            return work.applyCommand(r);
        case 3:
            return work.undoLast();
        case 4:
            return work.reset();
        case 5:
            return work.deleteChosen();
        case 6:
            return work.deleteUpToChosen();
        case 7:
            return work.replaceChosen(r);
        case 8:
            return work.insertBeforeChosen(r);
        case 9:
            return work.startNewMosaic(rng() % 2 ? rulesFromBytes(rng() % 2 ? rulesA : rulesB, "x")
                                                 : nullptr);
        case 10:
            return work.changeBaseTile(
                randomImage(2 + static_cast<int>(rng() % 6), 2 + static_cast<int>(rng() % 6), rng));
        case 11:
            return work.setGapColor(rng() & 0xFFFFFF);
        case 12:
            return work.toggleNoScale();
        case 13: {
            const auto entries = work.model().listEntries();
            const int k = entries.empty() ? 0 : static_cast<int>(rng() % entries.size());
            return work.choose(entries.empty() ? "" : entries[static_cast<std::size_t>(k)], k);
        }
        case 14:
            return work.zoomOut();
        default:
            return work.zoomIn();
        }
    }

    std::mt19937 rng{20261206};
    std::optional<Work> owned{std::in_place};
    Work& work = *owned; // emplace() keeps its place
};

// Random edits of every kind, each state seen as the edits left it; then undo all the way back
// and redo all the way forward must show each of those states exactly, and an edit after some
// undos must drop the steps undone.
// "Prispôsob oknu" goes no further than the zoom: on the largest mosaic a room of 258 pixels
// takes factor 254 (65535 div 254 = 258), a smaller room the factor below the zoom's limit.
TEST(FitToWindow, StopsAtTheLastFactorTheZoomHas) {
    EXPECT_EQ(fittingFactor(maxExtent, 258, 300), 254);
    EXPECT_EQ(fittingFactor(maxExtent, 300, 100), 255);
}

TEST_F(History, UndoAndRedoGiveBackEveryStateExactly) {
    forEachIteration(40, [&](unsigned n) {
        rng.seed(n);
        fresh(6);
        std::vector<Seen> states{seen(work)};
        for (int i = 0; i < 14; ++i) {
            const std::size_t before = work.historySize();
            randomOperation();
            ASSERT_LE(work.historySize(), before + 1);
            if (work.historySize() > before)
                states.push_back(seen(work));
            else
                states.back() = seen(work); // zoom and choice belong to the state they change
        }
        ASSERT_EQ(states.size(), work.historySize());
        ASSERT_FALSE(work.canRedo());
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            ASSERT_EQ(work.undo().refusal, Refusal::None);
            ASSERT_TRUE(seen(work) == states[i - 1]) << "undo to state " << i - 1;
        }
        EXPECT_FALSE(work.canUndo());
        for (std::size_t i = 1; i < states.size(); ++i) {
            ASSERT_EQ(work.redo().refusal, Refusal::None);
            ASSERT_TRUE(seen(work) == states[i]) << "redo to state " << i;
        }
        EXPECT_FALSE(work.canRedo());

        // Back k steps, then a new edit: the k undone steps are gone for good.
        const std::size_t k = std::min<std::size_t>(states.size() - 1, 1 + rng() % 3);
        for (std::size_t i = 0; i < k; ++i)
            work.undo();
        ASSERT_TRUE(seen(work) == states[states.size() - 1 - k]);
        if (work.setGapColor(0x123456 ^ work.model().mosaic().gapColor).render) {
            EXPECT_FALSE(work.canRedo());
            EXPECT_EQ(work.historySize(), states.size() - k + 1);
            work.undo();
            EXPECT_TRUE(seen(work) == states[states.size() - 1 - k]);
        }
    });
}

// A document whose check values hold (as a writer that computed them would give) but whose
// view or list does not fit its mosaic is refused, the view checked before the list, and the
// work in hand stays.
TEST_F(History, AnOpenedDocumentIsCheckedForItsViewBeforeItsList) {
    work.applyCommand(1);
    work.applyCommand(2);
    const Seen before = seen(work);
    const struct {
        const char* name;
        bool scrollBeyond, selectionBeyond;
        WorkFileFailure expected;
    } rows[] = {
        {"scroll beyond the view", true, false, WorkFileFailure::NotAWork},
        {"selection beyond the list", false, true, WorkFileFailure::StackMismatch},
        {"both", true, true, WorkFileFailure::NotAWork},
    };
    for (const auto& row : rows) {
        WorkDocument d = work.document();
        d.scrollX += row.scrollBeyond ? work.view().side() + 1 : 0;
        d.selectedIndex += row.selectionBeyond ? 5 : 0;
        d.check = workCheck(d, placementCheck(work.model().mosaic()));
        EXPECT_EQ(work.open(d), row.expected) << row.name;
        EXPECT_TRUE(seen(work) == before) << row.name;
    }
}

// The mark of unsaved changes follows the history: undoing back to the saved state clears it.
TEST_F(History, TheWorkIsModifiedWhileItDiffersFromTheSavedState) {
    EXPECT_FALSE(work.isModified());
    work.applyCommand(1);
    work.zoomOut();
    EXPECT_TRUE(work.isModified());
    work.markSaved();
    work.applyCommand(2);
    EXPECT_TRUE(work.isModified());
    work.undo();
    EXPECT_FALSE(work.isModified());
    work.undo();
    EXPECT_TRUE(work.isModified());
    work.redo();
    work.setGapColor(0); // the saved state's redo is dropped: it cannot come back
    work.undo();
    EXPECT_FALSE(work.isModified());
    work.redo();
    work.undo();
    work.undo();
    work.toggleNoScale();
    EXPECT_TRUE(work.isModified());
    while (work.canUndo())
        work.undo();
    EXPECT_TRUE(work.isModified());
}

// The history keeps its last states and drops the oldest, with the tiles only they held.
TEST_F(History, IsBoundedInStatesAndTileBytes) {
    for (std::size_t i = 0; i < Work::historyStates + 20; ++i)
        work.setGapColor(static_cast<Color>(i + 1));
    EXPECT_EQ(work.historySize(), Work::historyStates);
    // Tiles of 2000 x 2000 pixels: eight images of 12 MB each, 96 MB a tile.
    for (Color fill = 1; fill <= 4; ++fill)
        work.changeBaseTile(Bitmap(2000, 2000, fill));
    int back = 0;
    for (; work.canUndo(); ++back)
        work.undo();
    EXPECT_EQ(back, 2) << "two earlier tiles fit the history's 256 MB, a third does not";
    EXPECT_EQ(work.baseTile().pixel(0, 0), 2u);
}

// The rules each state holds count toward the same bound: 40 loads of 8 MB rules (each text a
// valid rules file padded after its last record) keep only the states whose rules fit.
TEST_F(History, CountsTheRulesOfEveryState) {
    std::string text = "A\nscale: 2\nitem: 1\n0 0 1 1 R0\n";
    text.resize(std::size_t{8} << 20, '\n');
    for (int i = 0; i < 40; ++i) {
        text[0] = static_cast<char>('A' + i);
        work.startNewMosaic(rulesFromBytes(text, "x.hrh"));
    }
    int back = 0;
    for (; work.canUndo(); ++back)
        work.undo();
    EXPECT_LE(back, 32) << "the rules only old states hold stay within 256 MB";
    EXPECT_GE(back, 28);
}

// A work keeps the name of its rules file, never the folders it was read from.
TEST_F(History, TheDocumentKeepsTheRulesFileNameOnly) {
    work.useRules(rulesFromBytes(rulesA, "/home/someone/vzory/pravidlá.hrh"));
    EXPECT_EQ(work.document().rulesFileName, "pravidlá.hrh");
}

// A name holding U+FFFD (bytes that were not UTF-8, decoded) is refused even where a file of
// that very name exists: it stands for another file.
TEST(RulesFile, ANameThatWasNotUtf8IsRefused) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ornamo-rules-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "w\xEF\xBF\xBD.hrh";
    std::ofstream(path) << rulesA;
    HierarchyResult result;
    EXPECT_EQ(loadRulesFile(path, "w.hrh", result), nullptr);
    EXPECT_EQ(result.failure, HierarchyFailure::OpenFailed);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace ornamo

namespace ornamo {
namespace {

// The first rules changed: other patterns (a part of width 0 among them) and other names, and
// a fifth command.
const std::string rulesC =
    "Iný štvorec\nscale: 3\nitem: 3\n0 0 1 1 MR90\n2 2 1 1 R0\n1 0 0 2 R90\n\n"
    "Pás\nscale: 2\nitem: 1\n0 0 2 1 MR180\n\n"
    "Von\nscale: 2\nitem: 1\n1 2 1 1 MR180\n\n"
    "Ťah\nscale: 1\nitem: 2\n0 0 1 1 R270\n0 0 1 1 R0\n\n"
    "Piaty\nscale: 2\nitem: 1\n0 0 1 1 R0\n";

class Replay : public History {
protected:
    // The work as "Reset" and the buttons pressed by hand would make it with `rules`: a new
    // work on the same tile and gaps, the same switch, the stack's commands applied in turn.
    Seen byHand(const std::string& rules) {
        Work other;
        EXPECT_EQ(other.start(work.baseTile(), work.model().mosaic().gapColor).refusal,
                  Refusal::None);
        other.useRules(rulesFromBytes(rules, "c.hrh"));
        if (work.noScale())
            other.toggleNoScale();
        for (const StackEntry& e : work.model().stack())
            EXPECT_EQ(other.applyCommand(e.command).refusal, Refusal::None);
        return seen(other);
    }
};

// The stack applied again with changed rules equals applying it by hand; it is one step of the
// history, and the work file keeps it exactly.
TEST_F(Replay, GivesWhatApplyingByHandGivesAsOneStep) {
    for (const char* steps : {"1 2 3 4", "no-scale 4 1 2", "2 zoom", ""}) {
        SCOPED_TRACE(steps);
        fresh(5, 0x102030);
        std::istringstream words(steps);
        for (std::string w; words >> w;)
            w == "zoom"       ? work.zoomOut()
            : w == "no-scale" ? work.toggleNoScale()
                              : work.applyCommand(std::stoi(w));
        const Seen before = seen(work);
        const std::size_t history = work.historySize();
        ASSERT_TRUE(work.replayWithRules(rulesFromBytes(rulesC, "c.hrh")).render);
        const Seen after = seen(work);
        if (!work.model().stack().empty()) {
            EXPECT_TRUE(after == byHand(rulesC));
        }
        EXPECT_EQ(after.rules, rulesC);
        EXPECT_EQ(work.historySize(), history + 1);
        ASSERT_EQ(work.undo().refusal, Refusal::None);
        EXPECT_TRUE(seen(work) == before);
        ASSERT_EQ(work.redo().refusal, Refusal::None);
        EXPECT_TRUE(seen(work) == after);

        Work reopened;
        ASSERT_EQ(reopened.open(work.document()), WorkFileFailure::None);
        EXPECT_TRUE(seen(reopened) == after);
    }
}

// A replay that cannot be done changes nothing and names the entry it stopped at.
TEST_F(Replay, ARefusalChangesNothingAndNamesTheEntry) {
    const std::string one = "A\nscale: 2\nitem: 1\n0 0 1 1 R0\n\n";
    const std::string zeroWide = "B\nscale: 2\nitem: 1\n0 0 0 1 R0\n";
    std::string nine = "Devät\nscale: 1\nitem: 9\n";
    for (int i = 0; i < 9; ++i)
        nine += "0 0 1 1 R0\n";
    const Excess tooMany{Limit::Placements, 9 * 9 * 9 * 9 * 9 * 9, 65535};
    const struct Row {
        const char* label;
        std::string rules;
        Refusal refusal;
        std::size_t entry; // its place, 0 = the oldest
        bool slotEmpty;
        Excess excess;
    } rows[] = {
        {"slot now empty", one, Refusal::CommandUnusable, 1, true, {}},
        {"first part of width 0", one + zeroWide, Refusal::CommandUnusable, 1, false, {}},
        {"too many placements", nine + "\n" + nine, Refusal::MosaicTooLarge, 5, false, tooMany},
        {"not enough memory", rulesC, Refusal::NotEnoughMemory, 5, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fresh(5);
        for (int n : {1, 2, 1, 1, 2, 1})
            ASSERT_TRUE(work.applyCommand(n).render);
        const Seen before = seen(work);
        const std::size_t history = work.historySize();
        work.setMemoryCheck([&](std::int64_t, std::int32_t, bool) {
            return row.refusal != Refusal::NotEnoughMemory;
        });
        const Outcome outcome = work.replayWithRules(rulesFromBytes(row.rules, "x.hrh"));
        work.setMemoryCheck([](std::int64_t, std::int32_t, bool) { return true; });
        EXPECT_FALSE(outcome.render);
        EXPECT_EQ(outcome.refusal, row.refusal);
        ASSERT_TRUE(outcome.detail.entry);
        const StackEntry& named = work.model().stack()[row.entry];
        EXPECT_EQ(*outcome.detail.entry,
                  (EntryAt{row.entry, named.command, named.name(), row.slotEmpty}));
        EXPECT_EQ(outcome.detail.excess, row.excess);
        EXPECT_TRUE(seen(work) == before);
        EXPECT_EQ(work.historySize(), history);
    }
}

} // namespace
} // namespace ornamo
