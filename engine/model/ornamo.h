#pragma once

// Tile images and the mosaic model: the eight oriented tile images of one square base tile, the
// placement list of a mosaic, the transforms on it and the command substitution.

#include "bitmap.h"
#include "orientation.h"
#include "refusal.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

namespace ornamo {

// ---- Tile images ----

/// The eight tile images, indexed by Orientation.
using TileSet = std::array<Bitmap, 8>;

/// destination takes source's size and pixels.
void CopyBitmap(const Bitmap& source, Bitmap& destination);

/// destination becomes source enlarged fx times horizontally and fy times vertically, each
/// source pixel an fx x fy block (nearest neighbour by whole factors). A factor of 0 or less
/// gives an empty image.
void EnlargeBitmap(const Bitmap& source, Bitmap& destination, int fx, int fy);

/// Left-right mirror in place, any size.
void MirrorBitmap(Bitmap& image);

/// Quarter turn counter-clockwise in place: afterwards (x, y) holds what (N-1-y, x) held, so the
/// top edge becomes the left edge. The image must be square.
void RotateBitmap90(Bitmap& image);

/// Half turn in place, any size: afterwards (x, y) holds what (W-1-x, H-1-y) held.
void RotateBitmap180(Bitmap& image);

/// Quarter turn clockwise in place: afterwards (x, y) holds what (y, N-1-x) held, so the top edge
/// becomes the right edge. The image must be square.
void RotateBitmap270(Bitmap& image);

/// The routine of `t` in place: MirrorBitmap, RotateBitmap90, RotateBitmap180 or RotateBitmap270.
void transformBitmap(Bitmap& image, Transform t);

/// Fills the eight images from the square base tile: image o is the base taken through the steps
/// of o (stepsOf: mirrored left-right when o >= 4, then turned counter-clockwise by (o mod 4)
/// quarter turns). `base` may be tiles[0].
void BuildTileSet(TileSet& tiles, const Bitmap& base);

// ---- Mosaic model ----

/// One placed tile. In a mosaic: width and height are whole enlargement factors of the tile,
/// x and y the pixel position of its top-left corner in the full mosaic image. In a command's
/// pattern: a part of the grid, in cells.
///
/// The fields are signed 32-bit and all arithmetic on them is exact: a part that sticks out of
/// its grid gives placements outside the mosaic square (even at negative positions), and undo
/// restores them exactly. Wherever a result lies in 0..65535 it equals the same arithmetic done
/// on unsigned 16-bit fields, which hierarchy files and saved mosaics were made with.
struct Placement {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::int32_t x = 0;
    std::int32_t y = 0;
    Orientation orientation = Orientation::R0;

    friend bool operator==(const Placement&, const Placement&) = default;
};

/// "(width, height, x, y, keyword)", for messages and test output.
std::ostream& operator<<(std::ostream& out, const Placement& p);

/// A mosaic, or a command's pattern (then `scale` is the grid size N and `placements` the parts
/// in file order; the other fields are unused).
///
/// Copies share the tile images (`tiles` is shared) and own their placements.
struct Mosaic {
    Color gapColor = 0xFFFFFF;
    std::uint16_t scale = 1;     ///< side of the mosaic in tiles
    std::uint16_t tileSize = 40; ///< side of the base tile in pixels
    std::shared_ptr<TileSet> tiles;
    std::vector<Placement> placements; ///< in drawing order; never empty in a mosaic

    /// scale x tileSize: the side of the full mosaic image in pixels.
    std::int64_t extent() const { return std::int64_t{scale} * tileSize; }
};

/// The largest extent in pixels, and the largest number of placements, the model holds.
inline constexpr std::int64_t maxExtent = 65535;
inline constexpr std::int64_t maxPlacements = 65535;

/// destination gets source's fields and tile references, and a placement array of its own.
void CopyMosaic(const Mosaic& source, Mosaic& destination);

/// Left-right mirror of every placement within the mosaic square: x := E - x - width*T.
void MirrorMosaic(Mosaic& mosaic);
/// Quarter turn counter-clockwise: (x, y) := (y, E - x - width*T), width and height swapped.
void RotateMosaic90(Mosaic& mosaic);
/// Half turn: (x, y) := (E - x - width*T, E - y - height*T).
void RotateMosaic180(Mosaic& mosaic);
/// Quarter turn clockwise: (x, y) := (E - y - height*T, x), width and height swapped.
void RotateMosaic270(Mosaic& mosaic);

/// The mosaic transform of `t`: MirrorMosaic, RotateMosaic90, RotateMosaic180 or RotateMosaic270.
void transformMosaic(Mosaic& mosaic, Transform t);

/// Stretches every placement by (sx, sy) and shifts it by (dx, dy):
/// width *= sx, height *= sy, x = x*sx + dx, y = y*sy + dy.
void PlaceMosaic(std::int32_t sx, std::int32_t sy, std::int32_t dx, std::int32_t dy,
                 Mosaic& mosaic);

/// Appends source's placements, in order, after destination's.
void AppendMosaic(const Mosaic& source, Mosaic& destination);

/// Substitutes the pattern into the mosaic: with n parts and L placements the result holds n
/// blocks of L entries, block i being the old placements (in their old order) turned by part
/// i's orientation (mirror first), stretched by its width and height and shifted by its cell
/// position times the old extent; scale is multiplied by the grid size. The pattern must have
/// at least one part; check substitutionFits() first.
void SubstituteCommand(const Mosaic& pattern, Mosaic& mosaic);

/// One placement (1, 1, 0, 0, R0) and scale 1; gapColor, tileSize and tiles stay.
void ResetMosaic(Mosaic& mosaic);

/// Turns a single placement as the mosaic transform `t` would in a square of side `extent`
/// with tiles of `tileSize` pixels.
Placement transformed(const Placement& p, Transform t, std::int64_t extent, std::int64_t tileSize);

/// Whether the pattern can be inverted by undo: it has a part, a grid size above 0, and its
/// first part has a width and a height other than 0.
bool isUndoable(const Mosaic& pattern);

/// By how much substituting the pattern would take the mosaic out of the model; Limit::None
/// when the result fits. In this order: a new extent above 65535 pixels (the value is the new
/// side), more than 65535 placements (the new count), then part by part, x before y, the first
/// field or far edge (x + width x tileSize, y + height x tileSize) of the result outside the
/// signed 32-bit range. Exact: it judges the results of the substitution as computed without
/// bounds, each axis by its own factors, and only them: the values between the steps (after the
/// mirror of a mirrored turn, or of a copy a zero-sized part stretches to nothing) may leave 32
/// bits, since the substitution's wrapping arithmetic, and its undo's, give every result in range
/// exactly all the same. Costs one walk over the placements. `reach`, when given, receives the
/// largest magnitude among the extent and the placements' positions and far edges, when the
/// walk was made (the extent and the count fit).
Excess substitutionExcess(const Mosaic& pattern, const Mosaic& mosaic,
                          std::int64_t* reach = nullptr);

/// Whether substituting the pattern keeps the mosaic within the model: substitutionExcess()
/// finds nothing.
bool substitutionFits(const Mosaic& pattern, const Mosaic& mosaic);

} // namespace ornamo
