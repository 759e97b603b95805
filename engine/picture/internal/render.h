#pragma once

// Drawing the placements of a mosaic into the full-size mosaic image, and reducing that image
// by block means into the view image.
//
// Running out of memory: before an image is allocated, the routines here check that it fits in
// the memory the machine has available. When it does not, they throw NotEnoughImageMemory (a
// std::bad_alloc) and nothing has changed. An allocation that fails anyway throws
// std::bad_alloc, also before anything has changed.

#include "bitmap.h"
#include "ornamo.h"
#include "progress.h"
#include "viewrect.h"

#include <cstdint>
#include <new>
#include <string_view>

namespace ornamo {

/// The image a routine here would have to allocate does not fit in the memory available.
class NotEnoughImageMemory : public std::bad_alloc {
public:
    const char* what() const noexcept override;
};

/// Draws the mosaic into `mosaicImage`: the image becomes extent x extent pixels (extent =
/// scale x tileSize) of `gapColor`, and every placement is drawn over it in list order, from the
/// tile image of its orientation enlarged `width` times horizontally and `height` times
/// vertically (each tile pixel a width x height block), with its top-left corner at (x, y).
/// Draws are opaque: a later placement covers an earlier one. Only the visible part of a
/// placement is drawn; placements at negative positions or reaching past the image are clipped.
/// Nothing is drawn for an orientation above 7, a width or height of 0 or less, or a missing or
/// empty tile image. Reports "--- Počítam ---" to `progress`.
///
/// Throws NotEnoughImageMemory (or std::bad_alloc) before anything changes when the image
/// cannot be held. The buffer of `mosaicImage` is reused when it is large enough.
void renderMosaic(const Mosaic& mosaic, Bitmap& mosaicImage, Progress* progress = nullptr);

/// Reduces `source` into `destination` by block means. With W x H the size of `source`:
/// - W <= factorX: `destination` becomes 0 x 0 (whatever the factors, 0 and 1 included);
/// - otherwise factorX <= 1 or factorY <= 1: `destination` becomes a copy of `source`;
/// - otherwise `destination` becomes (W div factorX) x (H div factorY) pixels, pixel (x, y) of
///   each channel being the sum of that channel over the source block from (x*factorX,
///   y*factorY), factorX wide and factorY high, divided by factorX*factorY and truncated toward
///   zero. The last W mod factorX columns and H mod factorY rows belong to no block.
/// Only the last case reports "---Škálujem---" to `progress`. `source` and `destination` may
/// be the same image. Throws NotEnoughImageMemory (or std::bad_alloc) before anything changes
/// when `destination` cannot be held.
void ShrinkBitmap(std::uint16_t factorX, std::uint16_t factorY, const Bitmap& source,
                  Bitmap& destination, Progress* progress = nullptr);

/// Writes the view pixels of `rect` of the mosaic's view at `factor` (at least 1) to `out`, one
/// row every `stride` bytes: view pixel (X, Y) is, per channel, the sum over the full-size
/// image's block [X f, X f + f) x [Y f, Y f + f) divided by f x f and truncated, exactly what
/// renderMosaic followed by ShrinkBitmap gives (factor 1: the full-size pixels themselves). The
/// rect must lie within the view, whose side is the extent div factor. The full-size rows behind
/// the rect are drawn in bands that stay in the cache and reduced as they are drawn, so memory
/// follows the rect's width, not the mosaic's area; the time follows the full-size area behind
/// the rect. Reports steps (no caption) to `progress`. Throws std::bad_alloc before writing
/// anything when its scratch cannot be had.
void renderViewRect(const Mosaic& mosaic, std::int32_t factor, const ViewRect& rect,
                    std::uint8_t* out, std::ptrdiff_t stride, Progress* progress = nullptr);

/// Views of one mosaic drawn in strips: renderViewRect, with the estimate of its time beside it,
/// as BlockSums has its own. Refers to the mosaic, which must outlive it.
class StripRenderer {
public:
    explicit StripRenderer(const Mosaic& mosaic) : mosaic_(mosaic) {}

    /// Estimated single-thread time in nanoseconds of compute() for `rect` at `factor`, which
    /// follows the full-size area behind the rect and the placements; measured on the benchmark
    /// mosaics.
    double estimatedNanoseconds(std::int32_t factor, const ViewRect& rect) const;

    /// renderViewRect() of the mosaic.
    void compute(std::int32_t factor, const ViewRect& rect, std::uint8_t* out,
                 std::ptrdiff_t stride, Progress* progress) const {
        renderViewRect(mosaic_, factor, rect, out, stride, progress);
    }

private:
    const Mosaic& mosaic_;
};

} // namespace ornamo
