#pragma once

// The command stack: the commands applied to the mosaic, oldest first, with the editing
// operations of the "Mozaika" menu. A model without widgets: each operation changes the
// mosaic, the stack and the view factor, and says what the window must do afterwards; the
// window maps listEntries(), editText() and listEnabled() onto its stack list.
//
// The mosaic always equals the reset mosaic with the stack's commands substituted in turn.
// The editing operations do not apply the whole stack again: undo inverts the newest
// substitution in place, using the block layout SubstituteCommand leaves, and an edit at list
// position k undoes k + 1 entries, makes its change and applies the undone newer entries again.
// Only two operations rebuild the mosaic from a reset one through the whole stack: restore(),
// which puts back a state of the edit history, and replay(), which applies the stack with
// changed rules.

#include "bitmap.h"
#include "hierarchy.h"
#include "ornamo.h"
#include "refusal.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ornamo {

/// What the window must do after an operation.
struct Outcome {
    bool render = false;             ///< render the mosaic again
    Refusal refusal = Refusal::None; ///< why nothing changed; messages::text() shows it
    RefusalDetail detail;            ///< its numbers and place, where there are any

    Outcome() = default;
    Outcome(bool render, Refusal refusal, RefusalDetail detail = {})
        : render(render), refusal(refusal), detail(std::move(detail)) {}
};

/// One applied command.
struct StackEntry {
    std::uint8_t command = 0; ///< the slot number, 1..12
    /// The slot's name and pattern when the command was applied, kept for its undo. Shared with
    /// the slots it came from, so that copies of a stack (the edit history's) cost little.
    std::shared_ptr<const Command> rule;
    /// The largest magnitude of a position in the mosaic just before this entry was applied
    /// (placement corners and the extent); lets a tile change prove its rescale stays exact.
    std::int64_t reach = 0;

    const std::string& name() const { return rule->name; }
    const Mosaic& pattern() const { return rule->pattern; }
};

/// Takes back the substitution of `pattern` that made `mosaic`, exactly: keeps the first block
/// (placement count div part count), divides the scale by the grid size, then takes back the
/// first part's shift, stretch and turn. The pattern must pass isUndoable() and the mosaic must
/// be the result of substituting it.
void undoSubstitution(const Mosaic& pattern, Mosaic& mosaic);

/// The result of the rule choice dialog when it was cancelled: the number after the last slot.
inline constexpr int cancelledChoice = commandSlotCount + 1;

class CommandStackModel {
public:
    /// Decides whether the view of a mosaic of side `extent`, at the factor and with the
    /// switch given, fits in memory. Defaults to MosaicView::fits.
    using MemoryCheck =
        std::function<bool(std::int64_t extent, std::int32_t shrinkFactor, bool noScale)>;

    /// The most entries the stack holds; a further apply is refused.
    static constexpr std::size_t capacity = 255;
    /// The largest list position: the oldest entry of a full stack.
    static constexpr int lastPosition = static_cast<int>(capacity) - 1;

    /// Empty stack, factor 1, noScale off, the list disabled with "-- prázdny --", an empty
    /// caption, and a reset mosaic (white gaps, tileSize 40, an empty tile set until
    /// changeBaseTile() is called).
    CommandStackModel();

    // ---- Operations ----

    /// Command button n (1..12): substitutes slot n's pattern, multiplies the factor by its
    /// grid size (wrapping in 32 bits; sets it to 1 when noScale is on), pushes the entry, puts
    /// its name first in the list and into the caption and the edit field, enables the list,
    /// selects position 0, and asks for a render. Refused before anything changes, in this
    /// order: a slot out of range or a command without parts, of grid size 0 or whose first
    /// part has width or height 0 (Refusal::CommandUnusable); a result beyond the model
    /// (Refusal::MosaicTooLarge); a full stack (Refusal::StackFull); images
    /// that would not fit (Refusal::NotEnoughMemory).
    Outcome applyCommand(int n);

    /// "Zruš posledný príkaz": on an empty stack only Refusal::StackEmpty; otherwise undoes the
    /// newest entry exactly (divides the factor by its grid size while the factor is above 1),
    /// drops the list's first entry, shows the new first entry (or "-- prázdny --" and disables the
    /// list when the stack became empty), selects position 0 and asks for a render.
    Outcome undoLast();

    /// "Reset": nothing at all on an empty stack; otherwise a reset mosaic, an empty stack,
    /// factor 1, an empty disabled list showing "-- prázdny --", position 0, and a render.
    Outcome reset();

    /// The list's text or choice changed: when `typedText` equals an entry's text it becomes
    /// the caption; the edit field shows the caption again (so unknown text is put back); a
    /// `currentIndex` naming an entry (0 = newest) becomes the selected position.
    Outcome choose(std::string_view typedText, int currentIndex);

    /// "Zruš po vybraný príkaz": undoes the entries newer than the selected one, so that it
    /// becomes the newest; the edit field shows the caption; position 0; a render. Nothing on
    /// an empty stack.
    Outcome deleteUpToChosen();

    /// "Zruš vybraný príkaz": removes the selected entry, undoing it and the newer ones and
    /// applying the newer ones again. The factor ends divided by the removed grid size once
    /// (the undo's division). When the stack becomes empty the edit field shows
    /// "-- Prázdny --", the caption "-- prázdny --" and the list is disabled; otherwise both
    /// show the newest entry. Position 0; a render. Nothing on an empty stack. Refused, with
    /// nothing changed, when a re-applied entry would no longer fit the model.
    Outcome deleteChosen();

    /// "Zameň vybraný príkaz" with rule r from the choice dialog (cancelledChoice: nothing):
    /// the selected entry becomes command r, the newer ones are applied again after it; the
    /// factor ends as S x g' / g (g the replaced grid size, g' the new one). The whole result
    /// is judged first, with the refusals of applyCommand(); a refusal changes nothing.
    Outcome replaceChosen(int r);

    /// "Vlož pred vybraný príkaz" with rule r (cancelledChoice: nothing): command r goes just
    /// below (older than) the selected entry; the factor ends as its value before times r's
    /// grid size, whatever noScale says. Judged first like replaceChosen().
    Outcome insertBeforeChosen(int r);

    /// The rules changed under the stack: puts `commands` in the slots (slots 1..count hold
    /// commands, the others are empty) and applies the stack's entries again, oldest first, to a
    /// reset mosaic, each by its command number with the new slot's pattern and name. The result
    /// is what "Reset" and the command buttons pressed in the stack's order would give: the
    /// mosaic, the entries and their names in the list, the caption and the edit field showing
    /// the newest entry, position 0, and the factor applying gives (the product of the new grid
    /// sizes, wrapping in 32 bits, or 1 when noScale is on), whatever zoom was chosen before.
    /// An empty stack keeps its mosaic, its list and its factor; only the slots change. Asks for
    /// a render. Refused with nothing changed, the refusal naming the entry that could not be
    /// applied (detail.entry: its place, command number and name): a slot that is now empty
    /// (EntryAt::slotEmpty) or whose command cannot be undone (Refusal::CommandUnusable), a result
    /// beyond the model (Refusal::MosaicTooLarge, with detail.excess), images that would not fit
    /// (Refusal::NotEnoughMemory, naming the newest entry).
    Outcome replay(std::shared_ptr<const CommandSlots> commands, int count);

    /// After reading another hierarchy (whether or not a file was read): a reset mosaic, an
    /// empty stack, factor 1, position 0, an empty disabled list showing "-- Prázdny --",
    /// and a render.
    Outcome resetAfterHierarchyLoad();

    /// A new square base tile of side W: rebuilds the tile set, moves every placement to the
    /// same cell of the new grid (x := W x (x div tileSize), likewise y) and sets tileSize to
    /// W; the stack, the factor and the list stay; asks for a render. Refused, with nothing
    /// changed: an empty or non-square tile (Refusal::TileUnusable), an extent above
    /// 65535 pixels or positions (now or back through the stack) beyond the signed 32-bit
    /// range (Refusal::MosaicTooLarge), tile images or render images that would not
    /// fit (Refusal::NotEnoughMemory).
    Outcome changeBaseTile(const Bitmap& squareTile);
    /// The same, taking the tile's pixels over instead of copying them (a large tile is not
    /// held twice); `squareTile` is left as it was when the change is refused.
    Outcome changeBaseTile(Bitmap&& squareTile);

    /// Puts `commands` in place of the twelve slots. The stack, the mosaic and the list stay: each
    /// entry keeps the pattern and the name it was applied with, so undo and the edits stay
    /// exact; a new mosaic is resetAfterHierarchyLoad()'s.
    void loadCommands(const CommandSlots& commands) {
        commands_ = std::make_shared<const CommandSlots>(commands);
    }
    /// The same with slots shared with their owner (the loaded rule file).
    void loadCommands(std::shared_ptr<const CommandSlots> commands) {
        commands_ = std::move(commands);
    }

    /// Puts a tile set that changeBaseTile() built in place, its tile size with it, leaving the
    /// placements as they are: only for restore() to follow.
    void useTiles(std::shared_ptr<TileSet> tiles) {
        state_.mosaic.tileSize = static_cast<std::uint16_t>(tiles->base().width());
        state_.mosaic.tiles = std::move(tiles);
    }

    /// "Farba medzery": the colour of the gaps; nothing else changes.
    void setGapColor(Color color) { state_.mosaic.gapColor = color; }

    // ---- State ----

    const Mosaic& mosaic() const { return state_.mosaic; }
    /// The twelve slots.
    const CommandSlots& commands() const { return *commands_; }
    /// The applied commands, oldest first.
    const std::vector<StackEntry>& stack() const { return state_.stack; }

    std::int32_t shrinkFactor() const { return state_.shrinkFactor; }
    void setShrinkFactor(std::int32_t factor) { state_.shrinkFactor = factor; }
    bool noScale() const { return noScale_; }
    void setNoScale(bool on) { noScale_ = on; }

    /// The chosen list position, 0 = the newest entry.
    int selectedIndex() const { return selectedIndex_; }
    /// The caption: the newest entry's name after an apply or undo, the chosen entry's name
    /// after a choice, "-- prázdny --" after the stack was emptied, empty at the start.
    const std::string& stackCaption() const { return stackCaption_; }

    /// The list's entries, newest first: the names the entries had when applied.
    std::vector<std::string> listEntries() const;
    /// The text of the list's edit field.
    const std::string& editText() const { return editText_; }
    /// Whether the list is enabled (it is while the stack holds entries).
    bool listEnabled() const { return listEnabled_; }

    /// Replaces the memory check (tests use this to refuse at will).
    void setMemoryCheck(MemoryCheck check) { memoryCheck_ = std::move(check); }

    // ---- Snapshots ----

    /// Everything of the model but its mosaic, which follows from it: what an edit history
    /// keeps of each state. Small: the entries share their patterns with the slots.
    struct Snapshot {
        std::vector<StackEntry> stack;
        std::shared_ptr<const CommandSlots> commands;
        std::int32_t shrinkFactor = 1;
        bool noScale = false;
        int selectedIndex = 0;
        std::string stackCaption;
        std::string editText;
        bool listEnabled = false;
    };
    Snapshot snapshot() const;
    /// Puts a snapshot in place and rebuilds the mosaic from it: a reset mosaic with the stack's
    /// patterns substituted in turn, which is what the operations that made the stack left
    /// (the gap colour, the tile size and the tile images stay as they are). The snapshot must
    /// come from a model with the same tile size, or from snapshot() after changeBaseTile().
    void restore(const Snapshot& snapshot);

private:
    // changeBaseTile() of `squareTile`, whose pixels are taken over when `movable` is it.
    Outcome changeBaseTileFrom(const Bitmap& squareTile, Bitmap* movable);
    // The part of the state the editing operations work on as a copy, committed only when
    // every step was accepted.
    struct State {
        Mosaic mosaic;
        std::vector<StackEntry> stack;
        std::int32_t shrinkFactor = 1;
    };
    enum class EditKind { Delete, Replace, Insert };

    /// Why `command` cannot be applied to `state`; `reach` receives the entry's reach when it can.
    static Outcome refusal(const State& state, const Command* command, std::int64_t* reach);
    void apply(State& state, int n, std::shared_ptr<const Command> command,
               std::int64_t reach) const;
    std::shared_ptr<const Command> commandAt(int n) const;
    static void undoNewest(State& state);
    Outcome reapply(State& state, std::vector<StackEntry>::const_iterator from,
                    std::vector<StackEntry>::const_iterator to) const;
    bool imagesFit(const State& state) const;
    Outcome edit(EditKind kind, int r);
    struct OnePartRun;
    // refusal() of an entry replayed on `judged`; for the newest entry also the memory check of
    // the view it leaves.
    Outcome replayRefusal(const State& judged, std::int32_t shrinkFactor, const Command* command,
                          bool newest, std::int64_t* reach) const;
    void showNewest();
    void emptyList(std::string_view editText);

    State state_;
    std::shared_ptr<const CommandSlots> commands_;
    bool noScale_ = false;
    int selectedIndex_ = 0;
    std::string stackCaption_;
    std::string editText_;
    bool listEnabled_ = false;
    MemoryCheck memoryCheck_;
};

} // namespace ornamo
