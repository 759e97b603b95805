#pragma once

// Views of a mosaic computed straight from its placements, without the full-size image: each
// view pixel is the mean of a factor x factor block of the full-size image, and the sum over a
// block is added up from the visible pieces of the placements that cover it, each piece read
// from a summed-area table of its tile image. The cost follows the view pixels asked for and
// the placements that touch them, not the area of the mosaic.

#include "ornamo.h"
#include "pixelarea.h"
#include "viewrect.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace ornamo {

/// Tables for computing views of one mosaic straight from its placements (summed-area tables of
/// the tile images it uses), built once per mosaic and then shared by any number of threads.
class BlockSums {
public:
    /// Up to this factor a block sum, at most 255 x 2^22 (a block of 2048 x 2048 pixels), fits
    /// in 31 bits: the sums are added in 32-bit lanes (signed ones for the means), and the
    /// tables for one such factor keep 32-bit entries, which may wrap.
    static constexpr int largestNarrowFactor = 2048;

    /// Bytes the tables for this mosaic would take.
    static std::uint64_t tableBytes(const Mosaic& mosaic);

    /// Keeps a copy of the placements and the tile set pointer, and builds a table for every
    /// tile image a drawable placement uses. May throw std::bad_alloc.
    explicit BlockSums(const Mosaic& mosaic);

    /// Tables for views at `factor` (2 or more) only: of every tile image a drawable placement
    /// uses, only the entries at the tile columns and rows where a block edge or the edge of
    /// another placement falls, so that their size follows the edges in view rather than the
    /// tile's area. Built on every core, reading each used tile image once (the base once for
    /// all of them when the tile set keeps no copies). Null, with nothing built, when
    /// `affordable` refuses their bytes. May throw std::bad_alloc.
    static std::unique_ptr<BlockSums>
    atFactor(const Mosaic& mosaic, int factor,
             const std::function<bool(std::uint64_t)>& affordable);

    /// Estimated single-thread time in nanoseconds on this kind of machine to compute `rect` at
    /// `factor`; O(placements + rows of the rect x factor). Used to choose between this and
    /// rendering full-size strips. 0 for an empty rect or one that compute() would refuse.
    double estimatedNanoseconds(int factor, ViewRect rect) const;

    /// Writes the view pixels of `rect` as R,G,B rows, `stride` bytes apart, to `out`: byte for
    /// byte what renderMosaic followed by ShrinkBitmap(factor, factor) gives. `factor` must be 2
    /// or more (the one of atFactor(), for those tables) and `rect` must lie within the view
    /// (side extent div factor); otherwise throws std::invalid_argument, as for a mosaic wider
    /// than maxExtent. An empty rect writes nothing.
    /// Thread-safe: any number of threads may compute at once. Each thread keeps its working
    /// arrays from call to call: about 130 bytes a placement in the rect's window of full-size
    /// pixels (and up to 80 more where they pile up), 13 a row of it and 4 a column; at most
    /// about 15 MB.
    void compute(int factor, ViewRect rect, std::uint8_t* out, std::ptrdiff_t stride) const;

    /// Side of the view at `factor` (2 or more): extent div factor, 0 when extent <= factor.
    std::int64_t viewSide(int factor) const;

private:
    BlockSums(const Mosaic& mosaic, int onlyFactor);

    bool inView(int factor, ViewRect rect) const;

    // compute() with block sums kept in Sum (std::uint32_t or std::uint64_t), which must hold
    // 255 x factor^2.
    template <class Sum>
    void computeWith(int factor, ViewRect rect, std::uint8_t* out, std::ptrdiff_t stride) const;

public:
    // What the phases of compute() read.

    // A drawable placement: its whole rectangle in full-size pixels, [left, right) x [top,
    // bottom), before clipping; the enlargement and the tile image it shows.
    struct Drawn {
        PixelArea area;
        std::int64_t stretchX, stretchY;
        std::uint32_t order; // position in the placement list
        std::uint8_t orientation;
    };

    // The summed-area table of one tile image: (width + 1) x (height + 1) entries of three
    // channel sums, the entry at (i, j) summing columns [0, i) of rows [0, j), and one more
    // entry of padding, so that four values can be read from any entry. 32-bit entries when the
    // sum of the whole image fits, otherwise 64-bit. Tables for one factor hold only some
    // columns and rows, the entries of (i, j) at row rowAt[j], column columnAt[i] (-1 where
    // none is kept); their 32-bit entries may wrap, since every block sum at a factor up to
    // largestNarrowFactor fits in 32 bits and unsigned differences are exact modulo 2^32.
    struct Table {
        int width = 0;
        int height = 0;
        std::int64_t rowEntries = 0; // values a row
        std::vector<std::uint32_t> narrow;
        std::vector<std::uint64_t> wide;
        std::vector<std::int32_t> columnAt, rowAt; // empty for a full table
    };

private:
    void collectDrawn();

    std::shared_ptr<TileSet> tiles_;
    std::vector<Placement> placements_;
    std::vector<Drawn> drawn_; // in list order
    std::array<Table, 8> tables_;
    std::int64_t extent_ = 0;
    Color gapColor_ = 0;
    int onlyFactor_ = 0;
};

} // namespace ornamo
