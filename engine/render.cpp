#include "render.h"

#include "memory.h"
#include "messages.h"
#include "parallel.h"
#include "vectorclones.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornamo {

const char* NotEnoughImageMemory::what() const noexcept {
    return "the image does not fit in the available memory";
}

namespace {

// The image is drawn in bands of whole rows, each small enough to stay in the core's cache
// while it is filled with the gap colour and every placement touching it is blitted in list
// order: each byte then goes out to memory once. Bands are independent, so they run on all
// cores, and list order still decides where placements overlap.
constexpr std::int64_t bandBytes = 192 * 1024;
constexpr std::int64_t maxBandRows = 64;

// A large image is drawn band by band in a small buffer that stays in the cache, and each
// finished band is streamed out to the image past the cache: its bytes are then written to
// memory once, without being read in first.
constexpr std::int64_t streamedImageBytes = 16 << 20;

// Copies n bytes; quick for the short rows of a tile, where a call to memcpy would cost more
// than the copy.
inline void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    if (n < 32) {
        std::memcpy(to, from, n);
        return;
    }
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32)
        std::memcpy(to + i, from + i, 32);
    std::memcpy(to + n - 32, from + n - 32, 32);
}

// Copies n bytes to memory that will not be read again soon, bypassing the cache where the
// processor allows it.
void streamBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
#if defined(__SSE2__)
    const std::size_t head = std::min(n, (16 - reinterpret_cast<std::uintptr_t>(to) % 16) % 16);
    std::memcpy(to, from, head);
    std::size_t i = head;
    for (; i + 64 <= n; i += 64) {
        const auto* source = reinterpret_cast<const __m128i*>(from + i);
        auto* target = reinterpret_cast<__m128i*>(to + i);
        const __m128i a = _mm_loadu_si128(source);
        const __m128i b = _mm_loadu_si128(source + 1);
        const __m128i c = _mm_loadu_si128(source + 2);
        const __m128i d = _mm_loadu_si128(source + 3);
        _mm_stream_si128(target, a);
        _mm_stream_si128(target + 1, b);
        _mm_stream_si128(target + 2, c);
        _mm_stream_si128(target + 3, d);
    }
    std::memcpy(to + i, from + i, n - i);
    _mm_sfence();
#else
    std::memcpy(to, from, n);
#endif
}

// The part of a placement that lands in the image. Placements that land nowhere are dropped
// before drawing.
struct Visible {
    const std::uint8_t* tilePixels; // the tile's rows, tileStride bytes apart
    std::ptrdiff_t tileStride;
    std::int32_t left, top;              // the placement's corner, maybe outside the image
    std::int32_t factorX, factorY;       // enlargement, >= 1
    std::int32_t fromX, toX, fromY, toY; // the visible pixels, [from, to)
    std::int32_t firstBand, lastBand;    // the bands its visible rows touch
};

bool coversWholeRows(const Visible& v, std::int32_t side) {
    return v.fromX == 0 && v.toX == side;
}

// Copies `count` pixels of the colour at `pixel` to `to`.
void replicatePixel(const std::uint8_t* pixel, std::uint8_t* to, std::int64_t count) {
    if (count <= 8) {
        for (std::int64_t i = 0; i < count; ++i, to += 3) {
            to[0] = pixel[0];
            to[1] = pixel[1];
            to[2] = pixel[2];
        }
        return;
    }
    fillPixels(to, static_cast<std::size_t>(count), makeColor(pixel[0], pixel[1], pixel[2]));
}

// Writes the visible columns of one enlarged source row: destination column c shows source
// column (c - left) div factorX.
void enlargeRow(const std::uint8_t* source, const Visible& v, std::uint8_t* to) {
    std::int64_t column = v.fromX;
    std::int64_t sourceColumn = (std::int64_t{v.fromX} - v.left) / v.factorX;
    std::int64_t within = (std::int64_t{v.fromX} - v.left) % v.factorX;
    while (column < v.toX) {
        const std::int64_t run = std::min<std::int64_t>(v.factorX - within, v.toX - column);
        replicatePixel(source + sourceColumn * 3, to, run);
        to += run * 3;
        column += run;
        ++sourceColumn;
        within = 0;
    }
}

// Rows [firstRow, firstRow + rows) of the image, drawn at `pixels`, `stride` bytes apart: the
// image itself or a buffer standing in for one band of it.
struct Band {
    std::uint8_t* pixels;
    std::ptrdiff_t stride;
    std::int32_t firstRow;
    std::int32_t rows;

    std::uint8_t* row(std::int32_t y) const { return pixels + (y - firstRow) * stride; }
};

// Draws the rows [fromRow, toRow) of one placement.
void drawRows(const Visible& v, const Band& band, std::int32_t fromRow, std::int32_t toRow) {
    const auto bytes = static_cast<std::size_t>(v.toX - v.fromX) * 3;
    // The first source row, and how many rows above have already shown it.
    const std::int64_t offset = std::int64_t{fromRow} - v.top;
    auto sourceRow = static_cast<int>(v.factorY == 1 ? offset : offset / v.factorY);
    auto repeat = static_cast<std::int32_t>(v.factorY == 1 ? 0 : offset % v.factorY);
    std::uint8_t* to = band.row(fromRow) + std::ptrdiff_t{v.fromX} * 3;
    if (v.factorX == 1) {
        const std::ptrdiff_t intoTile = (std::ptrdiff_t{v.fromX} - v.left) * 3;
        const std::uint8_t* from = v.tilePixels + sourceRow * v.tileStride + intoTile;
        if (v.factorY == 1) {
            for (std::int32_t y = fromRow; y < toRow; ++y, to += band.stride, from += v.tileStride)
                copyBytes(to, from, bytes);
            return;
        }
        for (std::int32_t y = fromRow; y < toRow; ++y, to += band.stride) {
            copyBytes(to, from, bytes);
            if (++repeat == v.factorY) {
                repeat = 0;
                from += v.tileStride;
            }
        }
        return;
    }
    // Enlarge a source row once, into the first row that shows it, and copy that row to the
    // next ones that show the same source row.
    const std::uint8_t* enlarged = nullptr;
    for (std::int32_t y = fromRow; y < toRow; ++y, to += band.stride) {
        if (enlarged)
            std::memcpy(to, enlarged, bytes);
        else
            enlargeRow(v.tilePixels + sourceRow * v.tileStride, v, to);
        enlarged = to;
        if (++repeat == v.factorY) {
            repeat = 0;
            ++sourceRow;
            enlarged = nullptr;
        }
    }
}

// What each worker keeps while it draws its bands.
struct WorkerScratch {
    std::vector<std::uint32_t> touching; // placements touching the current band, in list order
    std::vector<std::uint32_t> merged;   // the next band's list while it is being made
    std::vector<std::uint8_t> covered;   // one byte per column: see markCovered
    std::vector<std::uint8_t> band;      // one band, when the image is streamed
};

// Everything a render needs besides the image, prepared before the image is touched so that
// nothing can fail once drawing has begun.
struct RenderPlan {
    std::int32_t side = 0;
    std::int32_t bandRows = 1;
    std::int32_t bandCount = 0;
    std::int32_t bandsPerPiece = 1;
    std::int32_t longestSpan = 0; // most bands one placement touches, minus one
    std::vector<Visible> visible; // in list order
    // visible placements by the first band they touch, list order kept within each band
    std::vector<std::uint32_t> startOffsets;
    std::vector<std::uint32_t> startingHere;
    std::vector<std::uint32_t> next; // scratch for filling startingHere
    std::vector<std::uint8_t> gapRow;
    bool streamed = false; // bands are drawn in a buffer and streamed out to the image
    std::vector<WorkerScratch> workers;
};

// Fills `plan` for a render of the mosaic at side x side pixels. The plan's buffers are kept
// from one render to the next, so that a render does not pay for fresh pages.
void planRender(const Mosaic& mosaic, std::int32_t side, RenderPlan& plan) {
    plan.side = side;
    plan.longestSpan = 0;
    plan.visible.clear();
    const std::int64_t rowBytes = std::int64_t{side} * 3;
    plan.bandRows = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(bandBytes / std::max<std::int64_t>(rowBytes, 1), 1, maxBandRows));
    plan.bandCount = (side + plan.bandRows - 1) / plan.bandRows;

    if (mosaic.tiles) {
        plan.visible.reserve(mosaic.placements.size());
        for (const Placement& p : mosaic.placements) {
            const auto o = static_cast<std::uint8_t>(p.orientation);
            if (o > 7 || p.width <= 0 || p.height <= 0)
                continue;
            const Bitmap& tile = (*mosaic.tiles)[o];
            if (tile.isEmpty())
                continue;
            const std::int64_t right = std::int64_t{p.x} + std::int64_t{p.width} * tile.width();
            const std::int64_t bottom = std::int64_t{p.y} + std::int64_t{p.height} * tile.height();
            const auto fromX = static_cast<std::int32_t>(std::max<std::int64_t>(p.x, 0));
            const auto fromY = static_cast<std::int32_t>(std::max<std::int64_t>(p.y, 0));
            const auto toX = static_cast<std::int32_t>(std::min<std::int64_t>(right, side));
            const auto toY = static_cast<std::int32_t>(std::min<std::int64_t>(bottom, side));
            if (fromX >= toX || fromY >= toY)
                continue;
            const std::int32_t firstBand = fromY / plan.bandRows;
            const std::int32_t lastBand = (toY - 1) / plan.bandRows;
            plan.visible.push_back({tile.bits(), tile.stride(), p.x, p.y, p.width, p.height, fromX,
                                    toX, fromY, toY, firstBand, lastBand});
            plan.longestSpan = std::max(plan.longestSpan, lastBand - firstBand);
        }
    }
    if (plan.visible.size() >= std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();

    plan.startOffsets.assign(static_cast<std::size_t>(plan.bandCount) + 1, 0);
    for (const Visible& v : plan.visible)
        ++plan.startOffsets[static_cast<std::size_t>(v.firstBand) + 1];
    for (std::size_t b = 1; b < plan.startOffsets.size(); ++b)
        plan.startOffsets[b] += plan.startOffsets[b - 1];
    plan.startingHere.resize(plan.visible.size());
    plan.next.assign(plan.startOffsets.begin(), plan.startOffsets.end() - 1);
    for (std::uint32_t i = 0; i < plan.visible.size(); ++i)
        plan.startingHere[plan.next[static_cast<std::size_t>(plan.visible[i].firstBand)]++] = i;

    plan.gapRow.resize(static_cast<std::size_t>(rowBytes));
    fillPixels(plan.gapRow.data(), static_cast<std::size_t>(side), mosaic.gapColor);

    // Enough pieces of contiguous bands for the cores to share the work evenly, each long
    // enough to pay for gathering the placements that reach into its first band.
    const auto workers = static_cast<std::size_t>(detail::workerCount());
    plan.bandsPerPiece = std::max(1, plan.bandCount / (static_cast<std::int32_t>(workers) * 16));
    const std::int64_t stride = Bitmap::strideFor(side);
    plan.streamed = stride * side >= streamedImageBytes;
    plan.workers.resize(workers);
    for (WorkerScratch& w : plan.workers) {
        w.touching.reserve(plan.visible.size());
        w.merged.reserve(plan.visible.size());
        w.covered.resize(static_cast<std::size_t>(side));
        if (plan.streamed)
            w.band.resize(static_cast<std::size_t>(stride * plan.bandRows));
    }
}

// Paints the gap colour wherever the band may show it: everywhere except the columns that some
// placement covers on every row of the band. `covered` is scratch of one byte per column.
void fillGaps(const RenderPlan& plan, const std::vector<std::uint32_t>& touching, const Band& band,
              std::uint8_t* covered) {
    const auto side = static_cast<std::size_t>(plan.side);
    std::memset(covered, 0, side);
    for (const std::uint32_t i : touching) {
        const Visible& v = plan.visible[i];
        if (v.fromY <= band.firstRow && v.toY >= band.firstRow + band.rows)
            std::memset(covered + v.fromX, 1, static_cast<std::size_t>(v.toX - v.fromX));
    }
    std::size_t x = 0;
    while (x < side) {
        const void* gap = std::memchr(covered + x, 0, side - x);
        if (!gap)
            break;
        const auto from = static_cast<std::size_t>(static_cast<const std::uint8_t*>(gap) - covered);
        const void* end = std::memchr(covered + from, 1, side - from);
        const std::size_t to =
            end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - covered) : side;
        for (std::int32_t y = band.firstRow; y < band.firstRow + band.rows; ++y)
            std::memcpy(band.row(y) + from * 3, plan.gapRow.data() + from * 3, (to - from) * 3);
        x = to;
    }
}

// Draws one band: the gap colour first, then every placement touching it in list order,
// starting at the last one that covers the whole band (what lies under it would not show).
ORNAMO_VECTOR_CLONES ORNAMO_INLINE_CALLEES void drawBand(const RenderPlan& plan,
                                                         const std::vector<std::uint32_t>& touching,
                                                         const Band& band, std::uint8_t* covered) {
    const std::int32_t fromRow = band.firstRow;
    const std::int32_t toRow = band.firstRow + band.rows;
    std::size_t first = touching.size();
    while (first > 0) {
        const Visible& v = plan.visible[touching[first - 1]];
        if (coversWholeRows(v, plan.side) && v.fromY <= fromRow && v.toY >= toRow)
            break;
        --first;
    }
    if (first == 0)
        fillGaps(plan, touching, band, covered);
    else
        --first;
    for (std::size_t i = first; i < touching.size(); ++i) {
        const Visible& v = plan.visible[touching[i]];
        drawRows(v, band, std::max(fromRow, v.fromY), std::min(toRow, v.toY));
    }
}

// Draws the bands of one piece, keeping the list of placements that touch the current band
// up to date as it moves down.
void drawPiece(RenderPlan& plan, std::int64_t piece, Bitmap& image) {
    WorkerScratch& scratch = plan.workers[static_cast<std::size_t>(detail::workerIndex())];
    std::vector<std::uint32_t>& touching = scratch.touching;
    std::vector<std::uint32_t>& merged = scratch.merged;
    const auto firstBand = static_cast<std::int32_t>(piece * plan.bandsPerPiece);
    const std::int32_t endBand = std::min(plan.bandCount, firstBand + plan.bandsPerPiece);

    // Placements that reach into the first band: they start at most longestSpan bands above.
    touching.clear();
    const std::int32_t earliest = std::max(0, firstBand - plan.longestSpan);
    for (auto k = plan.startOffsets[static_cast<std::size_t>(earliest)];
         k < plan.startOffsets[static_cast<std::size_t>(firstBand) + 1]; ++k) {
        const std::uint32_t i = plan.startingHere[k];
        if (plan.visible[i].lastBand >= firstBand)
            touching.push_back(i);
    }
    std::sort(touching.begin(), touching.end());

    for (std::int32_t band = firstBand; band < endBand; ++band) {
        if (band > firstBand) {
            // Drop the placements that ended above, merge in those starting here.
            merged.clear();
            auto starting =
                plan.startingHere.begin() + plan.startOffsets[static_cast<std::size_t>(band)];
            const auto startingEnd =
                plan.startingHere.begin() + plan.startOffsets[static_cast<std::size_t>(band) + 1];
            for (const std::uint32_t i : touching) {
                if (plan.visible[i].lastBand < band)
                    continue;
                while (starting != startingEnd && *starting < i)
                    merged.push_back(*starting++);
                merged.push_back(i);
            }
            merged.insert(merged.end(), starting, startingEnd);
            touching.swap(merged);
        }
        const std::int32_t fromRow = band * plan.bandRows;
        const std::int32_t rows = std::min(plan.side - fromRow, plan.bandRows);
        if (plan.streamed) {
            const Band buffer{scratch.band.data(), image.stride(), fromRow, rows};
            drawBand(plan, touching, buffer, scratch.covered.data());
            streamBytes(image.row(fromRow), buffer.pixels,
                        static_cast<std::size_t>(image.stride() * rows));
        } else {
            drawBand(plan, touching, {image.row(fromRow), image.stride(), fromRow, rows},
                     scratch.covered.data());
        }
    }
}

// New bytes an image of side x side needs beyond the buffer it has; throws when it would not
// fit in memory.
std::uint64_t growthFor(std::int64_t width, std::int64_t height, const Bitmap& image) {
    if (width <= 0 || height <= 0)
        return 0;
    const std::size_t bytes = Bitmap::bytesFor(width, height);
    if (bytes == 0)
        throw NotEnoughImageMemory();
    return bytes > image.capacityBytes() ? bytes : 0;
}

} // namespace

void renderMosaic(const Mosaic& mosaic, Bitmap& mosaicImage, Progress* progress) {
    const std::int64_t extent = mosaic.extent();
    if (!fitsInMemory(growthFor(extent, extent, mosaicImage)))
        throw NotEnoughImageMemory();
    const auto side = static_cast<std::int32_t>(extent);
    // Kept between renders on this thread (a few bytes per placement), like the images.
    thread_local RenderPlan kept;
    RenderPlan& plan = kept; // the workers must see this thread's plan, not their own
    planRender(mosaic, side, plan);

    detail::BusyCaption busy(progress, messages::busyRendering);
    mosaicImage.resizeForOverwrite(side, side);
    if (side == 0)
        return;
    const std::int64_t pieces = (plan.bandCount + plan.bandsPerPiece - 1) / plan.bandsPerPiece;
    detail::runPieces(pieces, progress,
                      [&](std::int64_t piece) { drawPiece(plan, piece, mosaicImage); });
}

bool renderView(const Mosaic& mosaic, std::int32_t shrinkFactor, bool noScale, Bitmap& mosaicImage,
                Bitmap& viewImage, Progress* progress) {
    try {
        const std::int64_t extent = mosaic.extent();
        const std::int64_t view = viewSide(extent, shrinkFactor, noScale);
        if (!fitsInMemory(growthFor(extent, extent, mosaicImage) +
                          growthFor(view, view, viewImage)))
            return false;
        // A view that needs a larger buffer gets it before the mosaic image changes, so that
        // a failure leaves both images as they were.
        Bitmap grownView;
        if (growthFor(view, view, viewImage) > 0)
            grownView.resizeForOverwrite(static_cast<int>(view), static_cast<int>(view));
        Bitmap& viewTarget = grownView.capacityBytes() > 0 ? grownView : viewImage;

        renderMosaic(mosaic, mosaicImage, progress);
        if (noScale)
            viewTarget = mosaicImage;
        else
            ShrinkBitmap(static_cast<std::uint16_t>(shrinkFactor),
                         static_cast<std::uint16_t>(shrinkFactor), mosaicImage, viewTarget,
                         progress);
        if (&viewTarget == &grownView)
            viewImage = std::move(grownView);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool rescaleView(const Bitmap& mosaicImage, std::int32_t shrinkFactor, Bitmap& viewImage,
                 Progress* progress) {
    try {
        const auto f = static_cast<std::uint16_t>(shrinkFactor);
        ShrinkBitmap(f, f, mosaicImage, viewImage, progress);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace ornamo
