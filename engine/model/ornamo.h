#pragma once

// Tile images and the mosaic model: the eight oriented tile images of one square base tile, the
// placement list of a mosaic, the transforms on it and the command substitution, with by how
// much a substitution would take the mosaic out of the model.

#include "bitmap.h"
#include "budgets.h"
#include "orientation.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

namespace ornamo {

// ---- Tile images ----

/// One of the eight tile images as it is read: the R, G, B bytes of pixel (x, y) start at
/// origin + x columnStep + y rowStep. An image kept as it is shown has columnStep 3 and rowStep
/// its stride; one read from the base tile by index arithmetic walks the base backwards or down
/// its columns (columnStep -3 or plus or minus the base's stride).
struct TileView {
    const std::uint8_t* origin = nullptr;
    std::ptrdiff_t columnStep = 3;
    std::ptrdiff_t rowStep = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width == 0 || height == 0; }
    /// Whether the pixels of a row lie side by side, left to right.
    bool rowsAreContiguous() const { return columnStep == 3; }
    /// Row y: with contiguous rows, its pixels from left to right.
    const std::uint8_t* row(int y) const {
        return origin + static_cast<std::ptrdiff_t>(y) * rowStep;
    }
    const std::uint8_t* pixel(int x, int y) const {
        return row(y) + static_cast<std::ptrdiff_t>(x) * columnStep;
    }
};

/// The eight tile images of one square base tile, indexed by Orientation: image o is the base
/// mirrored left-right when o >= 4, then turned counter-clockwise by (o mod 4) quarter turns.
/// The base is kept once. The seven other images are kept as copies of their own while the
/// base takes at most the copy limit given to BuildTileSet, so that small tiles are read row
/// by row; above it they are read from the base by index arithmetic, so that a tile of 100 MB
/// costs 100 MB and not 800.
class TileSet {
public:
    /// The base bytes up to which the other images are kept as copies (budget::tileCopies).
    static constexpr std::size_t defaultCopyLimit = budget::tileCopies;

    /// Image 0, the base tile.
    const Bitmap& base() const { return images_[0]; }
    /// Image o (0 to 7) as it is read.
    TileView view(unsigned o) const;
    /// Whether the seven other images are kept as copies.
    bool keepsCopies() const { return copies_; }
    /// Image o (0 to 7) as a bitmap of its own: a copy, for tools and tests.
    Bitmap image(unsigned o) const;
    /// Bytes the images hold.
    std::uint64_t heldBytes() const;
    /// Bytes the images of a base of side x side would hold.
    static std::uint64_t bytesFor(std::int64_t side, std::size_t copyLimit = defaultCopyLimit);

private:
    friend void BuildTileSet(TileSet& tiles, Bitmap&& base, std::size_t copyLimit);
    std::array<Bitmap, 8> images_; // the base, then the copies when they are kept
    bool copies_ = false;
};

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
/// quarter turns). The seven other images are copies when the base takes at most `copyLimit`
/// bytes, and read from the base by index arithmetic otherwise; both read the same pixels.
/// `base` may be tiles.base().
void BuildTileSet(TileSet& tiles, const Bitmap& base,
                  std::size_t copyLimit = TileSet::defaultCopyLimit);
/// The same, taking the base's pixels over instead of copying them.
void BuildTileSet(TileSet& tiles, Bitmap&& base, std::size_t copyLimit = TileSet::defaultCopyLimit);

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

/// What substituting a one-part pattern does to every placement: an affine map of the four
/// fields, computed modulo 2^32 as the substitution's steps wrap, with the orientation composed
/// (values above 7 stay). The maps of a run of one-part substitutions compose into one, which
/// gives the same placements as the run in one walk over them.
struct PlacementMap {
    /// Row i gives field i (width, height, x, y) from (width, height, x, y, 1).
    std::array<std::array<std::uint32_t, 5>, 4> rows{};
    std::array<Orientation, 8> orientations{};
};

/// The map that changes nothing.
PlacementMap identityMap();
/// The map of substituting a pattern of the single part `part` into a mosaic of side `extent`
/// with tiles of `tileSize` pixels.
PlacementMap partMap(const Placement& part, std::int64_t extent, std::int64_t tileSize);
/// `first`, then `second`.
PlacementMap composed(const PlacementMap& first, const PlacementMap& second);
/// Applies `map` to every placement.
void applyMap(const PlacementMap& map, std::vector<Placement>& placements);

/// One placement (1, 1, 0, 0, R0) and scale 1; gapColor, tileSize and tiles stay.
void ResetMosaic(Mosaic& mosaic);

/// Turns a single placement as the mosaic transform `t` would in a square of side `extent`
/// with tiles of `tileSize` pixels.
Placement transformed(const Placement& p, Transform t, std::int64_t extent, std::int64_t tileSize);

/// Whether the pattern can be inverted by undo: it has a part, a grid size above 0, and its
/// first part has a width and a height other than 0.
bool isUndoable(const Mosaic& pattern);

/// The limit of the model a result would pass.
enum class Limit {
    None,        ///< within the model
    Placements,  ///< more placements than the model holds
    Extent,      ///< a side of the mosaic image longer than the model holds, in pixels
    Coordinate,  ///< a placement's edge beyond the range of positions, in pixels
    Enlargement, ///< a placement's width or height factor beyond its range
};

/// By how much a result would leave the model: the value it would reach against the limit it
/// passes (the largest value allowed, or the smallest when `value` lies below the range).
/// Values beyond 64 bits are given as the nearest 64-bit value.
struct Excess {
    Limit limit = Limit::None;
    std::int64_t value = 0;
    std::int64_t bound = 0;

    bool exceeds() const { return limit != Limit::None; }
    friend bool operator==(const Excess&, const Excess&) = default;
};

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
