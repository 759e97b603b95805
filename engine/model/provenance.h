#pragma once

// Where a pixel of the mosaic comes from. The mosaic is the reset mosaic with the stack's
// patterns substituted in turn, and each substitution lays its copies out in blocks (block i from
// part i, the old order kept within), so a placement's place in the list names the part it came
// from at every level. These queries walk that structure down from the newest entry instead of
// scanning the placements.

#include "ornamo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ornamo {

/// A rectangle of mosaic pixels: columns [left, right), rows [top, bottom). 64-bit: a copy of a
/// part that sticks out of its grid may lie far outside the mosaic.
struct MosaicRect {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;

    bool isEmpty() const { return left >= right || top >= bottom; }
    bool contains(std::int64_t x, std::int64_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    friend bool operator==(const MosaicRect&, const MosaicRect&) = default;
};

/// One stack entry's share in a placement: the part of its command the point fell in.
struct ChainLink {
    std::size_t part = 0;               ///< 0-based index in the command's pattern
    Placement cells;                    ///< the part as the pattern gives it, in cells
    Orientation tile = Orientation::R0; ///< how the tile is turned after this entry
};

/// A reason for a gap: at stack entry `entry` the point (carried down to that entry's mosaic)
/// lies in grid cell (`column`, `row`) of its command, and no part's copy reaches it there.
struct GapCause {
    std::size_t entry = 0;            ///< 0 = the oldest
    std::int64_t column = 0, row = 0; ///< may lie outside the grid
    /// The parts the point was in on its way down, one per newer entry, the newest first.
    std::vector<std::size_t> path;

    friend bool operator==(const GapCause&, const GapCause&) = default;
};

/// What a point of the mosaic shows.
struct PointOrigin {
    bool covered = false;
    /// When covered: the index of the placement drawn on top (the last in drawing order that
    /// covers the point), the chain that made it (one link per stack entry, the oldest first),
    /// the pixel of the base tile as loaded (column, row, before any turn) and the orientation
    /// the tile is drawn in there.
    std::size_t placement = 0;
    std::vector<ChainLink> chain;
    std::int32_t tileX = 0, tileY = 0;
    Orientation orientation = Orientation::R0;
    /// When not covered: every way down on which some copy's extent holds the point ends where
    /// no part reaches it; one cause per such end, in the order the search meets them (newest
    /// entries and later parts first). Never empty for a point the mosaic's placements miss.
    std::vector<GapCause> gaps;
};

/// The queries on one mosaic: the reset mosaic of tiles `tileSize` pixels wide with `patterns`
/// (oldest first, each with at least one part) substituted in turn, as CommandStackModel keeps
/// it. Holds only the patterns' parts and a few numbers per part; building costs one walk over
/// the parts.
class Provenance {
public:
    Provenance(std::int64_t tileSize, const std::vector<const Mosaic*>& patterns);

    /// The side of the mosaic in pixels.
    std::int64_t extent() const { return extents_.back(); }
    std::size_t entries() const { return levels_.size(); }

    /// What the point (x, y) of the full-size mosaic shows; any point, also outside the mosaic.
    /// Each level tries only the parts whose copy's extent (the bounding box of its placements)
    /// holds the point, the last first, so the cost follows the stack's depth times its parts,
    /// and at worst the number of copies whose extent holds the point.
    PointOrigin explain(std::int64_t x, std::int64_t y) const;

    /// Where the copies of part `part` of stack entry `entry` lie: the part's cells at that
    /// entry's grid, carried through every newer entry's parts, one rectangle per copy in the
    /// order of their blocks in the placement list (empty rectangles for parts of width or
    /// height 0 included).
    std::vector<MosaicRect> copies(std::size_t entry, std::size_t part) const;

private:
    struct Part {
        Placement cells;
        MosaicRect copyExtent; // the bounding box of the copy's placements, empty when none
    };
    struct Level {
        std::int64_t grid = 1;
        std::vector<Part> parts;
    };
    bool search(std::size_t level, std::int64_t x, std::int64_t y, PointOrigin& origin,
                std::vector<std::size_t>& path) const;

    std::int64_t tileSize_;
    std::vector<Level> levels_;
    std::vector<std::int64_t> extents_; // extents_[j]: the side after j entries
};

/// The point a pixel (x, y) goes to when a square of side `extent` is taken through `t`, as the
/// mosaic transforms move placements (any point, also outside the square).
void transformPixel(std::int64_t& x, std::int64_t& y, Transform t, std::int64_t extent);

/// The rectangle `r` taken through `t` in a square of side `extent`.
MosaicRect transformRect(const MosaicRect& r, Transform t, std::int64_t extent);

} // namespace ornamo
