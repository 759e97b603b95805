#pragma once

// Which cells of a command's grid its parts leave uncovered.

#include "ornamo.h"

#include <cstdint>

namespace ornamo {

struct GridCoverage {
    std::int64_t uncovered = 0; ///< cells of the N x N grid no part covers
    std::int64_t firstX = 0;    ///< the first of them, by columns from the left, then rows from
    std::int64_t firstY = 0;    ///< the top (both 0 when none is uncovered)
};

/// The cells of the grid of `pattern` (scale N, parts in cells) that no part covers; parts are
/// clipped to the grid. A grid of at most 64 cells a part is counted cell by cell; a larger one
/// by a sweep over the part edges, ordered by a count per grid line. Either way time and memory
/// follow the parts and the N + 1 grid lines, never more than 64 cells a part.
GridCoverage gridCoverage(const Mosaic& pattern);

} // namespace ornamo
