#pragma once

// The work: everything the editor makes and can keep in a file (the base tile, the loaded rules,
// the gap colour, the command stack and the view's factor), the picture it shows, and the edit
// history behind "Späť" and "Znova". The window and ornamo-render both drive one Work; every
// change goes through it and comes back as an Outcome, and neither keeps the factor, the stack or
// the view in step itself.
//
// The history is a list of small states: the stack's entries (sharing their patterns with the
// rules), the tile images and the rules shared where unchanged, and a few numbers. Undo and redo
// put a state back and rebuild the mosaic from it by substituting the stack's patterns into a
// reset mosaic, which gives exactly what the edits had left: the arithmetic on placements is
// exact, so the mosaic is a function of the tile size and the patterns alone.

#include "bitmap.h"
#include "commandstack.h"
#include "hierarchy.h"
#include "mosaicview.h"
#include "progress.h"
#include "refusal.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ornamo {

/// A rule file as loaded: the bytes the reader looked at, which read again give the same slots,
/// and the name it was opened by.
struct Rules {
    std::string bytes;
    std::string fileName; ///< UTF-8, as messages show it; empty before any file was read
    CommandSlots commands;
    int count = 0; ///< slots 1..count hold commands
};

/// Reads rules from the bytes of a rule file (as loadHierarchyFile() hands them back or a work
/// file keeps them). `result`, when given, receives the read's result.
std::shared_ptr<const Rules> rulesFromBytes(std::string bytes, std::string fileName,
                                            HierarchyResult* result = nullptr);

/// Reads the rule file at `path` with loadHierarchyFile(), naming it `fileName`. Null when it
/// cannot be opened (`result` then says OpenFailed).
std::shared_ptr<const Rules> loadRulesFile(const std::filesystem::path& path, std::string fileName,
                                           HierarchyResult& result);

/// A check value of a mosaic's placements: 64-bit FNV-1a over its scale, its tile size and
/// every placement's five fields, each as a 32-bit little-endian number.
std::uint64_t placementCheck(const Mosaic& mosaic);

struct WorkDocument;

/// The check value of a work file from version 2 on: 64-bit FNV-1a over everything `document`
/// restores (the tile's size and pixels, the rules' bytes and name, the gap colour, the stack's
/// entries, the list, the factors, the switches and the scroll position; each number as 32 bits
/// little-endian, each string's length before its bytes), and last over `placements`, the
/// placementCheck() of the mosaic the stack gives.
std::uint64_t workCheck(const WorkDocument& document, std::uint64_t placements);

/// "Prispôsob oknu": the smallest whole factor from 1 to shrinkFactorLimit - 1 (255) whose view
/// of a mosaic `extent` pixels on a side is at most width x height pixels; 255 when none is.
std::int32_t fittingFactor(std::int64_t extent, int width, int height);

/// Everything a work file holds: what is needed to rebuild the work exactly.
struct WorkDocument {
    /// The format version this program writes, and the newest it reads. Version 1 files'
    /// `check` is the placementCheck() alone, from version 2 on it is the workCheck().
    static constexpr int version = 2;
    /// The version of the file the document was read from (what its `check` means).
    int formatVersion = version;

    Bitmap tile; ///< the square base tile
    std::string rulesBytes;
    std::string rulesFileName;
    Color gapColor = 0xFFFFFF;
    struct Entry {
        int command = 0;  ///< the slot number, 1..12
        std::string name; ///< the slot's name bytes when it was applied
    };
    std::vector<Entry> stack; ///< oldest first
    int selectedIndex = 0;
    std::string stackCaption;
    std::string editText;
    std::int32_t shrinkFactor = 1;
    bool noScale = false;
    /// The picture shown: the factor and the switch it was last rendered or reduced with.
    std::int32_t viewFactor = 1;
    bool viewNoScale = false;
    int scrollX = 0;
    int scrollY = 0;
    std::uint64_t check = 0; ///< workCheck() (version 1: placementCheck()) of the work
};

class Work {
public:
    /// The history keeps at most this many states (the current one included) ...
    static constexpr std::size_t historyStates = 500;
    /// ... and drops its oldest states while the tile images and the rules that only they
    /// hold take more than budget::historyTiles bytes.

    explicit Work(ViewLimits limits = {});

    // ---- Starting: these change the work without an edit step ----

    /// A new work on `squareTile` with gaps of `gapColor`: an empty stack, factor 1, the view the
    /// tile itself at its own size. The rules stay; the history starts afresh. Refused as
    /// changeBaseTile(). The tile is taken by value, so that a temporary is taken over and a
    /// large tile is not held twice.
    Outcome start(Bitmap squareTile, Color gapColor = 0xFFFFFF, Progress* progress = nullptr);
    /// Puts `rules` in the slots, keeping the stack (as the rules read at start-up are put).
    void useRules(std::shared_ptr<const Rules> rules);

    // ---- Edits: each that changes the work is one step of the history ----

    /// A command button; the refusals of CommandStackModel::applyCommand().
    Outcome applyCommand(int n, Progress* progress = nullptr);
    Outcome undoLast(Progress* progress = nullptr);
    Outcome reset(Progress* progress = nullptr);
    Outcome deleteChosen(Progress* progress = nullptr);
    Outcome deleteUpToChosen(Progress* progress = nullptr);
    Outcome replaceChosen(int r, Progress* progress = nullptr);
    Outcome insertBeforeChosen(int r, Progress* progress = nullptr);
    /// After "Načítaj hierarchiu": the rules read (null when none were: the slots stay), then a
    /// new mosaic with an empty stack.
    Outcome startNewMosaic(std::shared_ptr<const Rules> rules, Progress* progress = nullptr);
    /// The rules changed under the stack: `rules` go in the slots and the stack is applied again
    /// with them, by the entries' command numbers (CommandStackModel::replay(): the factor the
    /// applies give, the new names in the list), and the view is rendered. One step of the
    /// history: undo brings back the old rules, mosaic, list and view exactly. A refusal changes
    /// nothing and names the entry in its detail. The work file then keeps the new rules' bytes.
    Outcome replayWithRules(std::shared_ptr<const Rules> rules, Progress* progress = nullptr);
    /// A new base tile, square; refused as CommandStackModel::changeBaseTile(). The same tile
    /// again renders the mosaic again but is no edit.
    Outcome changeBaseTile(const Bitmap& squareTile, Progress* progress = nullptr);
    /// "Farba medzery": renders with the colour; no edit when it is the colour already.
    Outcome setGapColor(Color color, Progress* progress = nullptr);
    /// "Neškáluj": the switch flips and the factor becomes 1; the view is reduced again when the
    /// switch went on.
    Outcome toggleNoScale(Progress* progress = nullptr);

    // ---- Not edits ----

    /// A choice in the stack list (CommandStackModel::choose()).
    Outcome choose(std::string_view typedText, int currentIndex);
    /// "Zmenši" (Refusal::ZoomPointless when the factor would reach shrinkFactorLimit), "Zväčši"
    /// (nothing at factor 1 or below) and keypad * (full size). A view that does not fit changes
    /// nothing.
    Outcome zoomOut(Progress* progress = nullptr);
    Outcome zoomIn(Progress* progress = nullptr);
    Outcome fullSize(Progress* progress = nullptr);
    /// "Prispôsob oknu": the factor fittingFactor() gives for a room of width x height pixels.
    Outcome zoomToFit(int width, int height, Progress* progress = nullptr);
    /// Where the window is scrolled to, kept for the work file.
    void setScroll(int x, int y) {
        scrollX_ = x;
        scrollY_ = y;
    }
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }

    // ---- History ----

    bool canUndo() const { return index_ > 0; }
    bool canRedo() const { return index_ + 1 < states_.size(); }
    /// "Späť": the state before the last edit, exactly (the stack, the list, the mosaic, the
    /// factor, the view). Nothing when there is none; NotEnoughMemory when its view does not fit.
    Outcome undo(Progress* progress = nullptr);
    /// "Znova": the state the undone edit had left.
    Outcome redo(Progress* progress = nullptr);
    /// The number of states held, the current one included.
    std::size_t historySize() const { return states_.size(); }

    /// Whether the work differs from what was last saved or opened (a new work counts as saved
    /// until its first edit). Zoom, scrolling and choices in the list are no changes.
    bool isModified() const { return index_ != savedIndex_; }
    /// The work as it stands was written to (or read from) its file.
    void markSaved() { savedIndex_ = index_; }

    // ---- Files ----

    WorkDocument document() const;
    /// Puts the work of `document` in place of this one: the tile, the rules read from their
    /// bytes, the gap colour, the stack applied command by command, the list, the factor and the
    /// view. Fails with nothing changed: WorkFileFailure::TileBroken for a tile that cannot be
    /// used, StackMismatch when an entry's command is missing or named otherwise, or the work
    /// does not match the check value, NotAWork for factors or a scroll position the program
    /// cannot have left (the view's factor differs from shrinkFactor other than after
    /// "Neškáluj" was switched off, or a scroll position lies beyond the view's side),
    /// NotEnoughMemory when the view does not fit. The history starts afresh and the work
    /// counts as saved.
    WorkFileFailure open(const WorkDocument& document, Progress* progress = nullptr);

    // ---- State ----

    const CommandStackModel& model() const { return model_; }
    const MosaicView& view() const { return view_; }
    const Rules& rules() const { return *rules_; }
    /// The square base tile (the first of the tile images).
    const Bitmap& baseTile() const;
    std::int32_t shrinkFactor() const { return model_.shrinkFactor(); }
    bool noScale() const { return model_.noScale(); }
    /// Gives back the view's memory (the window does so on closing).
    void clearView() { view_.clear(); }

    /// Replaces the stack model's memory check (tests use this to refuse at will).
    void setMemoryCheck(CommandStackModel::MemoryCheck check) {
        model_.setMemoryCheck(std::move(check));
    }

private:
    struct State {
        CommandStackModel::Snapshot model;
        std::shared_ptr<TileSet> tiles;
        std::shared_ptr<const Rules> rules;
        Color gapColor = 0xFFFFFF;
        std::int32_t viewFactor = 1;
        bool viewNoScale = false;
    };
    enum class View { Keep, Render, Rescale };

    State capture() const;
    /// Runs a model operation as an edit: on acceptance the view is made as `view` says; a view
    /// that does not fit puts everything back and refuses. A change becomes a history step.
    template <typename Operation> Outcome edit(Operation operation, View view, Progress* progress);
    bool makeView(View view, Progress* progress);
    void record();
    void trimHistory();
    Outcome moveTo(std::size_t index, Progress* progress);
    /// Puts `state` in place; false (nothing changed) when its view does not fit.
    bool putState(const State& state, Progress* progress);
    Outcome zoomTo(std::int32_t factor, Progress* progress);

    CommandStackModel model_;
    MosaicView view_;
    std::shared_ptr<const Rules> rules_;
    std::int32_t viewFactor_ = 1;
    bool viewNoScale_ = false;
    int scrollX_ = 0;
    int scrollY_ = 0;
    std::vector<State> states_;
    std::size_t index_ = 0;
    /// The state last saved or opened; historyStates when it left the history.
    std::size_t savedIndex_ = 0;
};

} // namespace ornamo
