#pragma once

// The edits the rule workshop makes on a command's pattern (parts made from dragged cells,
// moved, resized, turned, mirrored, deleted, put earlier or later in drawing order) and on the
// list of records (added, removed, moved). Each keeps the pattern writable: every part field
// stays within 0..65535, as a hierarchy file keeps it, and a part keeps at least one cell.

#include "hierarchy.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ornamo {

/// A rectangle of grid cells: the column and row of its top-left cell, its width and height.
struct CellRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 1;
    std::int32_t height = 1;

    friend bool operator==(const CellRect&, const CellRect&) = default;
};

/// The rectangle spanned by two cells, both included, in either order; cells left of or above
/// the grid's origin are taken as column or row 0.
CellRect cellsBetween(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);

/// The cells of part `index`.
CellRect partCells(const Mosaic& pattern, std::size_t index);

/// The last part (drawn on top) covering the cell at column x, row y; none when no part does.
std::optional<std::size_t> partAt(const Mosaic& pattern, std::int32_t x, std::int32_t y);

/// Appends a part over `cells`, in orientation R0, and gives its index.
std::size_t addPart(Mosaic& pattern, CellRect cells);

/// Part `index` moved by (dx, dy) cells; its position stays within 0..65535 and its far edge
/// within the field range, so a move that would leave them stops at the edge.
void movePart(Mosaic& pattern, std::size_t index, std::int32_t dx, std::int32_t dy);

/// Part `index` put over `cells` (its orientation stays); each field is kept within 0..65535
/// and the width and height at least 1.
void resizePart(Mosaic& pattern, std::size_t index, CellRect cells);

/// Part `index` turned a quarter counter-clockwise, as the orientations count (R0 becomes R90,
/// MR0 becomes MR90): its orientation composed with the turn, and its width and height swapped
/// about its top-left cell, so that a stretched part turns with its contents.
void turnPart(Mosaic& pattern, std::size_t index);

/// Part `index` mirrored left-right: its orientation composed with the mirror, its cells kept.
void mirrorPart(Mosaic& pattern, std::size_t index);

/// Part `index` removed; the parts after it come one earlier.
void deletePart(Mosaic& pattern, std::size_t index);

/// Part `index` swapped with its neighbour `step` places later (-1: earlier, +1: later) in
/// drawing order; nothing at either end. Gives the part's index afterwards.
std::size_t reorderPart(Mosaic& pattern, std::size_t index, int step);

/// The grid size set to n, clamped to 1..65535; the parts stay as they are.
void setGridSize(Mosaic& pattern, std::int32_t n);

/// The records of a rule file being edited: slots 1..count hold commands, the others are empty.
struct RuleRecords {
    CommandSlots commands;
    int count = 0;
};

/// A new record after record `after` (0-based; count for the end), a 2 x 2 grid with one part
/// over it all, named `name`; gives its index. Nothing (and none) when twelve records are held.
std::optional<int> insertRecord(RuleRecords& records, int after, std::string name);

/// Record `index` removed; the later ones move up and the last slot is emptied.
void removeRecord(RuleRecords& records, int index);

/// Record `index` swapped with its neighbour `step` places later; gives its index afterwards.
int moveRecord(RuleRecords& records, int index, int step);

} // namespace ornamo
