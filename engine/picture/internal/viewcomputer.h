#pragma once

// The strategy behind every view: for each rectangle asked for, it decides which of two ways
// computes it sooner, drawing the full-size rows behind the rectangle in strips and reducing
// them as they are drawn (time follows the full-size area), or adding up each block from the
// visible pieces of the placements in it (BlockSums: time follows the view pixels and the
// placements), by the estimates both give for that rectangle.
//
// The summed-area tables the second way reads cost more to build than most views cost to
// compute, so the computer keeps them, as a cache, for as long as it lives: it is shared by the
// views made from the same render, so that a rescale keeps the tables built for the mosaic.
// Full tables of the tile images are built once, the first time a reduced view is asked for,
// when they are small enough; otherwise (large tiles) tables of only the tile rows and columns
// the views at one factor read, for the factor of the last view, and again when it changes.
// The tables are built on first use and several threads ask at once (the window's tiles, the
// rows a save pulls, the row groups of a computation), so a mutex guards the cache.

#include "blocksums.h"
#include "ornamo.h"
#include "progress.h"
#include "render.h"
#include "viewrect.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace ornamo {

class ViewComputer {
public:
    /// Keeps a copy of the mosaic; full tables are built for it only when they take at most
    /// `fullTableBytes`.
    ViewComputer(const Mosaic& mosaic, std::uint64_t fullTableBytes);

    const Mosaic& mosaic() const { return mosaic_; }

    /// Writes the view pixels of `rect` at `factor` as R,G,B rows, `stride` bytes apart, to
    /// `out`, by whichever way is estimated to be quicker; byte for byte the same either way.
    /// Thread-safe.
    void compute(std::int32_t factor, const ViewRect& rect, std::uint8_t* out,
                 std::ptrdiff_t stride, Progress* progress) const;

private:
    // The tables for views at `factor`: the full ones, built the first time a reduced view is
    // asked for, or those of that factor; null when they would be too large.
    std::shared_ptr<const BlockSums> blockSums(std::int32_t factor) const;

    Mosaic mosaic_;
    StripRenderer strips_; // of mosaic_
    std::uint64_t fullTableBytes_;
    mutable std::mutex mutex_; // guards what follows
    mutable bool fullTried_ = false;
    mutable std::shared_ptr<const BlockSums> full_;
    mutable std::int32_t latticeFactor_ = 0; // the factor of lattice_, null when refused
    mutable std::shared_ptr<const BlockSums> lattice_;
};

} // namespace ornamo
