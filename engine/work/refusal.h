#pragma once

// What the work reports when it refuses a step or a work file cannot be opened: a small enum
// each, with no display text; messages.h maps every case to the program's Slovak text. Where a
// refusal has numbers or a place, they travel beside the enum as plain data: by how much a
// result leaves the model (Excess, which the model itself computes, in ornamo.h) and the stack
// entry a replay stopped at. A hierarchy read's failure is the model's HierarchyFailure
// (hierarchy.h).

#include "ornamo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ornamo {

/// Why an operation of the command stack model changed nothing.
enum class Refusal {
    None,            ///< accepted
    StackEmpty,      ///< undo on an empty stack
    StackFull,       ///< the stack already holds its capacity
    CommandUnusable, ///< a slot out of range, without parts, of grid size 0 or a part of size 0
    MosaicTooLarge,  ///< the result would leave the model's ranges
    NotEnoughMemory, ///< the images would not fit in memory
    TileUnusable,    ///< an empty or non-square base tile
    ZoomPointless,   ///< "Zmenši" at a factor that would reach shrinkFactorLimit (zoom.h)
};

/// The stack entry that an edit applying the stack again could not apply.
struct EntryAt {
    std::size_t index = 0;  ///< its place in the stack, 0 = the oldest
    int command = 0;        ///< its command number, 1..12
    std::string name;       ///< its name as the list shows it (the bytes it was applied with)
    bool slotEmpty = false; ///< the rules applied with hold no command in its slot
    friend bool operator==(const EntryAt&, const EntryAt&) = default;
};

/// What goes with a refusal besides its enum; empty when there is nothing more to say.
struct RefusalDetail {
    Excess excess;                ///< set with Refusal::MosaicTooLarge where the numbers are known
    std::optional<EntryAt> entry; ///< set by a replay of the stack
    friend bool operator==(const RefusalDetail&, const RefusalDetail&) = default;
};

/// Why a work file was not opened (or not written); the work in hand stays as it was.
enum class WorkFileFailure {
    None,            ///< opened
    OpenFailed,      ///< the file could not be opened or read
    TooLarge,        ///< longer than a work file can be
    NotAWork,        ///< not a work file, or damaged: a field missing, of the wrong kind or range
    NewerVersion,    ///< written by a newer version of the program
    TileBroken,      ///< the embedded tile cannot be read or used
    StackMismatch,   ///< the stack cannot be applied with the rules, or gives another mosaic
    NotEnoughMemory, ///< the work would not fit in memory
};

} // namespace ornamo
