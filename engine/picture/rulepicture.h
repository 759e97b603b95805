#pragma once

// A small picture of one command, for the tooltips of the command buttons and the stack list:
// the command applied once to a single tile, drawn by the renderer, with the command's grid
// drawn over it.

#include "bitmap.h"
#include "ornamo.h"

namespace ornamo {

/// The colour of the grid lines in a rule picture (a mid grey).
inline constexpr Color ruleGridColor = makeColor(0x80, 0x80, 0x80);

/// Draws the command `pattern` (grid size N) applied to a single tile: `tile` (square) is first
/// reduced by block means (ShrinkBitmap) by the least whole factor k that makes N x (side div
/// k) at most `largestSide`, giving a cell of c = side div k pixels (at least 1); the mosaic of
/// one substitution is then rendered on `gapColor`, each part at its cells, stretched over them
/// and turned as its orientation says. The result is N x c + 1 pixels square: the render at
/// (0, 0), and over it the grid in ruleGridColor, one pixel wide on the left and top edge of
/// each cell (and along the right and bottom edge of the picture): every edge between two
/// cells that do not belong to the same part, an edge between two gap cells included, so that
/// each part is outlined whole and the grid shows in the gaps. A cell belongs to the last part
/// covering it. Returns an empty bitmap when the pattern has no part, a grid size of 0, a grid
/// wider than `largestSide`, or the tile is empty or not square.
Bitmap rulePicture(const Mosaic& pattern, const Bitmap& tile, Color gapColor,
                   int largestSide = 120);

} // namespace ornamo
