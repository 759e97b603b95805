#pragma once

// What the engine reports when it refuses a step or a read fails: a small enum each, so that the
// engine carries no display text; messages.h maps every case to the program's Slovak text.

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
    ZoomPointless,   ///< "Zmenši" at a factor that would reach 256
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

/// Why a hierarchy read ended early.
enum class HierarchyFailure {
    None,       ///< read to the end, or to the twelfth record
    BadFormat,  ///< a faulty record; the ones before it were kept
    OpenFailed, ///< the file could not be opened or read; the slots were left unchanged
};

/// The progress caption shown while a long step runs.
enum class Caption { Rendering, Shrinking, Saving, Reading };

} // namespace ornamo
