#pragma once

// The picture pipeline behind the window and ornamo-render: the mosaic as last rendered, the
// reduction its view shows, and the view's pixels, computed for whatever part is asked for.
//
// A view is a function of (mosaic, factor, rectangle): nothing holds the full-size mosaic
// image. A view small enough to keep is computed whole when the mosaic or the factor changes,
// so that scrolling only copies; a larger one is computed a tile at a time as the window shows
// it, into a cache of bounded size, and a save pulls it through band by band. Time and memory
// follow what is shown, not the mosaic's area.

#include "bitmap.h"
#include "budgets.h"
#include "ornamo.h"
#include "picturesource.h"
#include "progress.h"
#include "viewrect.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ornamo {

class ViewComputer;

/// How much of a view MosaicView keeps in memory.
struct ViewLimits {
    /// Views of at most this many bytes are computed whole and kept.
    std::size_t heldBytes = budget::heldView;
    /// The most bytes of computed tiles kept for a larger view.
    std::size_t cacheBytes = budget::viewTileCache;
    /// Summed-area tables of whole tile images are built when they take at most this many
    /// bytes; for larger tiles, tables of only the tile rows and columns that the view's
    /// factor reads, for each factor shown.
    std::size_t fullTableBytes = budget::fullTables;

    /// Limits under which no view is kept whole and no tile is cached: every read computes
    /// what it asks for, as a save or export that reads each band once wants it.
    static constexpr ViewLimits keepNothing() { return {0, 0}; }
};

class MosaicView {
public:
    using Limits = ViewLimits;

    MosaicView();
    explicit MosaicView(Limits limits);
    ~MosaicView();
    MosaicView(const MosaicView&) = delete;
    MosaicView& operator=(const MosaicView&) = delete;

    /// Side of the view of a mosaic `extent` pixels on a side: with f the low 16 bits of
    /// shrinkFactor taken unsigned, 0 when extent <= f (for every f, 0 and 1 included), the
    /// extent itself when f <= 1, and extent div f otherwise; the extent itself whenever
    /// `noScale` is set. The view's last extent mod f rows and columns of the mosaic belong to
    /// no view pixel.
    static std::int64_t sideFor(std::int64_t extent, std::int32_t shrinkFactor, bool noScale);

    /// Whether the memory that the view of a mosaic `extent` pixels on a side (at the factor
    /// and with the switch given, see sideFor) keeps under `limits` is available: the whole
    /// view when it is small enough to keep, otherwise the cache of its tiles.
    static bool fits(std::int64_t extent, std::int32_t shrinkFactor, bool noScale,
                     const Limits& limits = {});

    /// A render: the view shows `mosaic` reduced by shrinkFactor, or unreduced when `noScale`
    /// is set (see sideFor). Shows "--- Počítam ---" on `progress` while it works. False, with
    /// nothing changed, when the view does not fit in memory.
    [[nodiscard]] bool render(const Mosaic& mosaic, std::int32_t shrinkFactor, bool noScale,
                              Progress* progress = nullptr);

    /// A rescale: the mosaic of the last render, reduced by shrinkFactor (whatever `noScale`
    /// was). Shows "---Škálujem---" while it works when the view is reduced at all. False, with
    /// nothing changed, when the view does not fit in memory.
    [[nodiscard]] bool rescale(std::int32_t shrinkFactor, Progress* progress = nullptr);

    /// The view is square: side() x side() pixels.
    int side() const { return side_; }
    /// The reduction the view shows: each view pixel is the mean of a factor x factor block of
    /// the full-size mosaic (1: the full-size pixels themselves).
    std::int32_t factor() const { return factor_; }
    /// The mosaic of the last render.
    const Mosaic& mosaic() const;

    /// Writes the view pixels of `rect`, which must lie within the view, to `out`, one row every
    /// `stride` bytes. A kept view is copied; a larger one comes from the cache, whose missing
    /// tiles are computed first. Throws std::bad_alloc when a tile cannot be had.
    void read(const ViewRect& rect, std::uint8_t* out, std::ptrdiff_t stride) const;

    /// The whole view, band by band as a writer asks for it (bypassing the cache).
    const PictureSource& picture() const;

    /// Gives back everything the view holds; it becomes empty.
    void clear();

private:
    class Picture;
    class TileCache;

    bool show(std::shared_ptr<const ViewComputer> computer, std::int32_t factor, int side,
              Progress* progress);

    Limits limits_;
    std::shared_ptr<const ViewComputer> computer_;
    std::int32_t factor_ = 1;
    int side_ = 0;
    std::unique_ptr<Bitmap> held_;
    std::unique_ptr<Bitmap> spare_; // the buffer of the view before, kept for the next one
    std::unique_ptr<TileCache> cache_;
    std::unique_ptr<Picture> picture_;
};

} // namespace ornamo
