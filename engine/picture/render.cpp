#include "render.h"

#include "budgets.h"
#include "memoryfit.h"
#include "parallel.h"
#include "pixelarea.h"
#include "reducer.h"
#include "vectorclones.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornamo {

const char* NotEnoughImageMemory::what() const noexcept {
    return "the image does not fit in the available memory";
}

namespace {

// The image is drawn in bands of whole rows (budget::renderBand bytes, or reducedRenderBand
// when each is reduced at once), each blitted in list order. Bands are independent, so they run
// on all cores, and list order still decides where placements overlap.
constexpr std::int64_t maxBandRows = 64;

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
    const std::uint8_t* tilePixels; // the tile's first pixel; its rows tileStride bytes apart
    std::ptrdiff_t tileStride;
    std::ptrdiff_t columnStep;           // 3, or another step for an image read from the base tile
    std::int32_t left, top;              // the placement's corner, maybe outside the image
    std::int32_t factorX, factorY;       // enlargement, >= 1
    std::int32_t fromX, toX, fromY, toY; // the visible pixels, [from, to)
    std::int32_t firstBand, lastBand;    // the bands its visible rows touch
};

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

// Rows [firstRow, firstRow + rows) of the window, columns from `firstColumn`, drawn at `pixels`,
// `stride` bytes apart: the target itself or a buffer standing in for one band of it.
struct Band {
    std::uint8_t* pixels;
    std::ptrdiff_t stride;
    std::int32_t firstRow;
    std::int32_t rows;
    std::int32_t firstColumn;

    std::uint8_t* at(std::int32_t x, std::int32_t y) const {
        return pixels + (y - firstRow) * stride + std::ptrdiff_t{x - firstColumn} * 3;
    }
};

// Draws the rows [fromRow, toRow) of a placement whose tile image is read from the base tile by
// index arithmetic: each source row it shows is first gathered into `gathered` (a row of the
// tile), its visible columns only, and then drawn as a row of a kept image would be.
void drawGatheredRows(const Visible& v, const Band& band, std::int32_t fromRow, std::int32_t toRow,
                      std::uint8_t* gathered) {
    const auto bytes = static_cast<std::size_t>(v.toX - v.fromX) * 3;
    const std::int64_t offset = std::int64_t{fromRow} - v.top;
    auto sourceRow = static_cast<std::int64_t>(offset / v.factorY);
    auto repeat = static_cast<std::int32_t>(offset % v.factorY);
    const std::int64_t firstColumn = (std::int64_t{v.fromX} - v.left) / v.factorX;
    const std::int64_t lastColumn = (std::int64_t{v.toX} - 1 - v.left) / v.factorX;
    std::uint8_t* to = band.at(v.fromX, fromRow);
    const std::uint8_t* enlarged = nullptr;
    for (std::int32_t y = fromRow; y < toRow; ++y, to += band.stride) {
        if (enlarged) {
            std::memcpy(to, enlarged, bytes);
        } else {
            const std::uint8_t* from =
                v.tilePixels + sourceRow * v.tileStride + firstColumn * v.columnStep;
            for (std::int64_t c = firstColumn; c <= lastColumn; ++c, from += v.columnStep) {
                gathered[c * 3] = from[0];
                gathered[c * 3 + 1] = from[1];
                gathered[c * 3 + 2] = from[2];
            }
            if (v.factorX == 1)
                copyBytes(to, gathered + (std::ptrdiff_t{v.fromX} - v.left) * 3, bytes);
            else
                enlargeRow(gathered, v, to);
        }
        enlarged = to;
        if (++repeat == v.factorY) {
            repeat = 0;
            ++sourceRow;
            enlarged = nullptr;
        }
    }
}

// Draws the rows [fromRow, toRow) of one placement; `gathered` is scratch of a tile row.
void drawRows(const Visible& v, const Band& band, std::int32_t fromRow, std::int32_t toRow,
              std::uint8_t* gathered) {
    if (v.columnStep != 3) {
        drawGatheredRows(v, band, fromRow, toRow, gathered);
        return;
    }
    const auto bytes = static_cast<std::size_t>(v.toX - v.fromX) * 3;
    // The first source row, and how many rows above have already shown it.
    const std::int64_t offset = std::int64_t{fromRow} - v.top;
    auto sourceRow = static_cast<int>(v.factorY == 1 ? offset : offset / v.factorY);
    auto repeat = static_cast<std::int32_t>(v.factorY == 1 ? 0 : offset % v.factorY);
    std::uint8_t* to = band.at(v.fromX, fromRow);
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
    std::vector<std::uint8_t> covered;   // one byte per column: see fillGaps
    std::vector<std::uint8_t> band;      // one band, when it is not drawn into the target
    std::vector<std::uint8_t> gathered;  // a tile row read from the base tile, when one is
};

// Everything a drawing of one window of the full-size image needs besides the target,
// prepared before the target is touched so that nothing can fail once drawing has begun.
// The window is the columns [left, right) and the rows [top, bottom) of the full-size image;
// it is drawn in bands of bandRows rows from its top.
struct RenderPlan {
    std::int32_t left = 0, right = 0, top = 0, bottom = 0;
    std::int32_t bandRows = 1;
    std::int32_t bandCount = 0;
    std::int32_t longestSpan = 0; // most bands one placement touches, minus one
    std::vector<Visible> visible; // in list order
    // visible placements by the first band they touch, list order kept within each band
    std::vector<std::uint32_t> startOffsets;
    std::vector<std::uint32_t> startingHere;
    std::vector<std::uint32_t> next; // scratch for filling startingHere
    std::vector<std::uint8_t> gapRow;
    std::vector<WorkerScratch> workers;

    std::int32_t width() const { return right - left; }
    std::int32_t bandTop(std::int32_t band) const { return top + band * bandRows; }
};

// Rows a band of the window holds: enough to fill `bytes`, at most maxBandRows.
std::int32_t rowsPerBand(std::int64_t width, std::int64_t bytes = budget::renderBand) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(bytes / std::max<std::int64_t>(width * 3, 1), 1, maxBandRows));
}

// The part of each placement that lands in the window, in list order, and the bands it
// touches; placements that land nowhere (or are not drawn at all) are left out.
void clipPlacements(const Mosaic& mosaic, RenderPlan& plan) {
    plan.longestSpan = 0;
    plan.visible.clear();
    if (!mosaic.tiles)
        return;
    plan.visible.reserve(mosaic.placements.size());
    const PixelArea window{plan.left, plan.top, plan.right, plan.bottom};
    for (const Placement& p : mosaic.placements) {
        const Drawing drawing = drawnArea(p, mosaic.tiles.get());
        const PixelArea seen = drawing.area.intersected(window);
        if (!drawing || seen.isEmpty())
            continue;
        const auto fromX = static_cast<std::int32_t>(seen.left);
        const auto fromY = static_cast<std::int32_t>(seen.top);
        const auto toX = static_cast<std::int32_t>(seen.right);
        const auto toY = static_cast<std::int32_t>(seen.bottom);
        const std::int32_t firstBand = (fromY - plan.top) / plan.bandRows;
        const std::int32_t lastBand = (toY - 1 - plan.top) / plan.bandRows;
        plan.visible.push_back({drawing.tile.origin, drawing.tile.rowStep, drawing.tile.columnStep,
                                p.x, p.y, p.width, p.height, fromX, toX, fromY, toY, firstBand,
                                lastBand});
        plan.longestSpan = std::max(plan.longestSpan, lastBand - firstBand);
    }
    if (plan.visible.size() >= std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
}

// Sorts the visible placements by the first band they touch (a counting sort, so list order
// is kept within each band).
void indexByFirstBand(RenderPlan& plan) {
    plan.startOffsets.assign(static_cast<std::size_t>(plan.bandCount) + 1, 0);
    for (const Visible& v : plan.visible)
        ++plan.startOffsets[static_cast<std::size_t>(v.firstBand) + 1];
    for (std::size_t b = 1; b < plan.startOffsets.size(); ++b)
        plan.startOffsets[b] += plan.startOffsets[b - 1];
    plan.startingHere.resize(plan.visible.size());
    plan.next.assign(plan.startOffsets.begin(), plan.startOffsets.end() - 1);
    for (std::uint32_t i = 0; i < plan.visible.size(); ++i)
        plan.startingHere[plan.next[static_cast<std::size_t>(plan.visible[i].firstBand)]++] = i;
}

// The gap colour's row, and each worker's scratch, with a band buffer when `scratchBands`.
void prepareScratch(const Mosaic& mosaic, bool scratchBands, RenderPlan& plan) {
    const auto width = static_cast<std::size_t>(plan.width());
    plan.gapRow.resize(width * 3);
    fillPixels(plan.gapRow.data(), width, mosaic.gapColor);

    const auto workers = static_cast<std::size_t>(detail::workerCount());
    const std::int64_t stride = Bitmap::strideFor(plan.width());
    // A tile image read from the base by index arithmetic needs a row of scratch.
    const bool gathers = std::any_of(plan.visible.begin(), plan.visible.end(),
                                     [](const Visible& v) { return v.columnStep != 3; });
    const std::size_t tileRow =
        gathers ? std::size_t{3} * static_cast<std::size_t>(mosaic.tiles->base().width()) : 0;
    plan.workers.resize(workers);
    for (WorkerScratch& w : plan.workers) {
        if (w.gathered.size() < tileRow)
            w.gathered.resize(tileRow);
        w.touching.reserve(plan.visible.size());
        w.merged.reserve(plan.visible.size());
        w.covered.resize(width);
        if (scratchBands)
            w.band.resize(static_cast<std::size_t>(stride * plan.bandRows));
    }
}

// Fills `plan` for drawing the window of the mosaic in bands of `bandRows` rows. The plan's
// buffers are kept from one drawing to the next, so that a render does not pay for fresh pages;
// `scratchBands` asks for a band buffer for every worker.
void planRender(const Mosaic& mosaic, const ViewRect& window, std::int32_t bandRows,
                bool scratchBands, RenderPlan& plan) {
    plan.left = window.x;
    plan.right = window.x + window.width;
    plan.top = window.y;
    plan.bottom = window.y + window.height;
    plan.bandRows = bandRows;
    plan.bandCount = (window.height + bandRows - 1) / bandRows;
    clipPlacements(mosaic, plan);
    indexByFirstBand(plan);
    prepareScratch(mosaic, scratchBands, plan);
}

// Paints the gap colour wherever the band may show it: everywhere except the columns that some
// placement covers on every row of the band. `covered` is scratch of one byte per column.
void fillGaps(const RenderPlan& plan, const std::vector<std::uint32_t>& touching, const Band& band,
              std::uint8_t* covered) {
    const auto width = static_cast<std::size_t>(plan.width());
    std::memset(covered, 0, width);
    for (const std::uint32_t i : touching) {
        const Visible& v = plan.visible[i];
        if (v.fromY <= band.firstRow && v.toY >= band.firstRow + band.rows)
            std::memset(covered + (v.fromX - plan.left), 1,
                        static_cast<std::size_t>(v.toX - v.fromX));
    }
    std::size_t x = 0;
    while (x < width) {
        const void* gap = std::memchr(covered + x, 0, width - x);
        if (!gap)
            break;
        const auto from = static_cast<std::size_t>(static_cast<const std::uint8_t*>(gap) - covered);
        const void* end = std::memchr(covered + from, 1, width - from);
        const std::size_t to =
            end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - covered) : width;
        const auto column = static_cast<std::int32_t>(from) + plan.left;
        for (std::int32_t y = band.firstRow; y < band.firstRow + band.rows; ++y)
            std::memcpy(band.at(column, y), plan.gapRow.data() + from * 3, (to - from) * 3);
        x = to;
    }
}

// Draws one band: the gap colour first, then every placement touching it in list order,
// starting at the last one that covers the whole band (what lies under it would not show).
// `touching` may hold placements that miss the band's rows; they are passed over.
inline void drawBandLoop(const RenderPlan& plan, const std::vector<std::uint32_t>& touching,
                         const Band& band, WorkerScratch& scratch) {
    const std::int32_t fromRow = band.firstRow;
    const std::int32_t toRow = band.firstRow + band.rows;
    std::size_t first = touching.size();
    while (first > 0) {
        const Visible& v = plan.visible[touching[first - 1]];
        if (v.fromX == plan.left && v.toX == plan.right && v.fromY <= fromRow && v.toY >= toRow)
            break;
        --first;
    }
    if (first == 0)
        fillGaps(plan, touching, band, scratch.covered.data());
    else
        --first;
    for (std::size_t i = first; i < touching.size(); ++i) {
        const Visible& v = plan.visible[touching[i]];
        const std::int32_t from = std::max(fromRow, v.fromY);
        const std::int32_t to = std::min(toRow, v.toY);
        if (from < to)
            drawRows(v, band, from, to, scratch.gathered.data());
    }
}

// drawBandLoop built for AVX2 and for the baseline, each with its callees inlined, and the
// version this run uses.
ORNAMO_WIDE_VERSION void drawBandWide(const RenderPlan& plan,
                                      const std::vector<std::uint32_t>& touching, const Band& band,
                                      WorkerScratch& scratch) {
    drawBandLoop(plan, touching, band, scratch);
}
__attribute__((flatten)) void drawBandPortable(const RenderPlan& plan,
                                               const std::vector<std::uint32_t>& touching,
                                               const Band& band, WorkerScratch& scratch) {
    drawBandLoop(plan, touching, band, scratch);
}
void drawBand(const RenderPlan& plan, const std::vector<std::uint32_t>& touching, const Band& band,
              WorkerScratch& scratch) {
    if (detail::wideVectors())
        drawBandWide(plan, touching, band, scratch);
    else
        drawBandPortable(plan, touching, band, scratch);
}

// Keeps the list of the placements that touch a band, in list order, as the band moves down.
class TouchingList {
public:
    TouchingList(const RenderPlan& plan, WorkerScratch& scratch)
        : plan_(plan), touching_(scratch.touching), merged_(scratch.merged) {}

    const std::vector<std::uint32_t>& at(std::int32_t band) {
        if (band != current_ + 1 || current_ < 0)
            gather(band);
        else
            advance(band);
        current_ = band;
        return touching_;
    }

private:
    // Placements that reach into the band: they start at most longestSpan bands above.
    void gather(std::int32_t band) {
        touching_.clear();
        const std::int32_t earliest = std::max(0, band - plan_.longestSpan);
        for (auto k = plan_.startOffsets[static_cast<std::size_t>(earliest)];
             k < plan_.startOffsets[static_cast<std::size_t>(band) + 1]; ++k) {
            const std::uint32_t i = plan_.startingHere[k];
            if (plan_.visible[i].lastBand >= band)
                touching_.push_back(i);
        }
        std::sort(touching_.begin(), touching_.end());
    }

    // Drops the placements that ended above, merges in those starting here.
    void advance(std::int32_t band) {
        merged_.clear();
        auto starting =
            plan_.startingHere.begin() + plan_.startOffsets[static_cast<std::size_t>(band)];
        const auto startingEnd =
            plan_.startingHere.begin() + plan_.startOffsets[static_cast<std::size_t>(band) + 1];
        for (const std::uint32_t i : touching_) {
            if (plan_.visible[i].lastBand < band)
                continue;
            while (starting != startingEnd && *starting < i)
                merged_.push_back(*starting++);
            merged_.push_back(i);
        }
        merged_.insert(merged_.end(), starting, startingEnd);
        touching_.swap(merged_);
    }

    const RenderPlan& plan_;
    std::vector<std::uint32_t>& touching_;
    std::vector<std::uint32_t>& merged_;
    std::int32_t current_ = -1;
};

// The target of a drawing: rows of the window, `stride` bytes apart, from the window's top row.
struct Target {
    std::uint8_t* pixels;
    std::ptrdiff_t stride;
    bool streamed; // large: draw each band in scratch and stream it out past the cache
};

// Draws the bands [firstBand, endBand) of the window into the target, unreduced.
void drawBands(RenderPlan& plan, std::int32_t firstBand, std::int32_t endBand,
               const Target& target) {
    WorkerScratch& scratch = plan.workers[static_cast<std::size_t>(detail::workerIndex())];
    TouchingList touching(plan, scratch);
    for (std::int32_t band = firstBand; band < endBand; ++band) {
        const std::int32_t fromRow = plan.bandTop(band);
        const std::int32_t rows = std::min(plan.bottom - fromRow, plan.bandRows);
        std::uint8_t* targetRow = target.pixels + (fromRow - plan.top) * target.stride;
        if (target.streamed) {
            const Band buffer{scratch.band.data(), target.stride, fromRow, rows, plan.left};
            drawBand(plan, touching.at(band), buffer, scratch);
            streamBytes(targetRow, buffer.pixels, static_cast<std::size_t>(target.stride * rows));
        } else {
            drawBand(plan, touching.at(band), {targetRow, target.stride, fromRow, rows, plan.left},
                     scratch);
        }
    }
}

// Draws the full-size rows behind the view rows [fromViewRow, toViewRow) of the window (view
// rows counted from the window's top) band by band in scratch, and reduces each band into the
// target as soon as it is drawn. With `whole` blocks, every block row lies within one band.
void drawReducedRows(RenderPlan& plan, std::int32_t factor, std::int32_t fromViewRow,
                     std::int32_t toViewRow, detail::Reducer& reducer, bool whole,
                     const Target& target) {
    const int worker = detail::workerIndex();
    WorkerScratch& scratch = plan.workers[static_cast<std::size_t>(worker)];
    TouchingList touching(plan, scratch);
    const std::ptrdiff_t stride = Bitmap::strideFor(plan.width());
    const std::int32_t fromRow = plan.top + fromViewRow * factor;
    const std::int32_t toRow = plan.top + toViewRow * factor;
    for (std::int32_t band = (fromRow - plan.top) / plan.bandRows;
         band * plan.bandRows + plan.top < toRow; ++band) {
        const std::int32_t first = std::max(fromRow, plan.bandTop(band));
        const std::int32_t end = std::min(toRow, plan.bandTop(band) + plan.bandRows);
        const Band buffer{scratch.band.data(), stride, first, end - first, plan.left};
        drawBand(plan, touching.at(band), buffer, scratch);
        for (std::int32_t row = first; row < end;) {
            const std::int32_t block = (row - plan.top) / factor;
            const std::int32_t blockTop = plan.top + block * factor;
            const std::int32_t rows = std::min(end, blockTop + factor) - row;
            std::uint8_t* out = target.pixels + block * target.stride;
            const std::uint8_t* source = buffer.at(plan.left, row);
            if (whole)
                reducer.row(source, stride, out, worker);
            else
                reducer.addRows(source, stride, rows, row == blockTop,
                                row + rows == blockTop + factor, out, worker);
            row += rows;
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

// A plan kept between drawings on this thread (a few bytes per placement), so that a drawing
// does not pay for fresh pages. A drawing started while another runs on the same thread (the
// window handles input while it reports progress) takes a plan of its own.
class KeptPlan {
public:
    KeptPlan() {
        std::vector<std::unique_ptr<RenderPlan>>& free = pool();
        if (free.empty()) {
            plan_ = std::make_unique<RenderPlan>();
        } else {
            plan_ = std::move(free.back());
            free.pop_back();
        }
    }
    ~KeptPlan() { pool().push_back(std::move(plan_)); }
    KeptPlan(const KeptPlan&) = delete;
    KeptPlan& operator=(const KeptPlan&) = delete;

    RenderPlan& operator*() { return *plan_; }

private:
    static std::vector<std::unique_ptr<RenderPlan>>& pool() {
        thread_local std::vector<std::unique_ptr<RenderPlan>> free;
        return free;
    }

    std::unique_ptr<RenderPlan> plan_;
};

} // namespace

void renderMosaic(const Mosaic& mosaic, Bitmap& mosaicImage, Progress* progress) {
    const std::int64_t extent = mosaic.extent();
    if (!fitsInMemory(growthFor(extent, extent, mosaicImage)))
        throw NotEnoughImageMemory();
    const auto side = static_cast<std::int32_t>(extent);
    detail::BusyCaption busy(progress, Caption::Rendering);
    mosaicImage.resizeForOverwrite(side, side);
    renderViewRect(mosaic, 1, {0, 0, side, side}, mosaicImage.bits(), mosaicImage.stride(),
                   progress);
}

void renderViewRect(const Mosaic& mosaic, std::int32_t factor, const ViewRect& rect,
                    std::uint8_t* out, std::ptrdiff_t stride, Progress* progress) {
    if (rect.isEmpty() || factor < 1)
        return;
    const ViewRect window{rect.x * factor, rect.y * factor, rect.width * factor,
                          rect.height * factor};
    KeptPlan kept;
    RenderPlan& plan = *kept; // the workers see this thread's plan, not one of their own
    const auto workers = static_cast<std::int64_t>(detail::workerCount());

    if (factor == 1) {
        const std::int32_t bandRows = rowsPerBand(window.width);
        const bool streamed = stride * rect.height >= budget::streamedImage;
        planRender(mosaic, window, bandRows, streamed, plan);
        // Enough pieces of contiguous bands for the cores to share the work evenly, each long
        // enough to pay for gathering the placements that reach into its first band.
        const std::int32_t bandsPerPiece =
            std::max<std::int32_t>(1, plan.bandCount / static_cast<std::int32_t>(workers * 16));
        const Target target{out, stride, streamed};
        const std::int64_t pieces = (plan.bandCount + bandsPerPiece - 1) / bandsPerPiece;
        detail::runPieces(pieces, progress, [&](std::int64_t piece) {
            const auto first = static_cast<std::int32_t>(piece * bandsPerPiece);
            drawBands(plan, first, std::min(plan.bandCount, first + bandsPerPiece), target);
        });
        return;
    }

    // Whole block rows in every band where they fit, so that the 2 x 2 and 3 x 3 kernels apply.
    const std::int32_t fitting = rowsPerBand(window.width, budget::reducedRenderBand);
    const bool whole = factor <= fitting;
    const std::int32_t bandRows = whole ? fitting / factor * factor : fitting;
    planRender(mosaic, window, bandRows, true, plan);
    const std::unique_ptr<detail::Reducer> reducer =
        detail::makeReducer(factor, factor, rect.width, static_cast<int>(workers), !whole);
    const std::int32_t viewRowsPerPiece = std::max<std::int32_t>(
        std::max(1, bandRows / factor), rect.height / static_cast<std::int32_t>(workers * 16));
    const Target target{out, stride, false};
    const std::int64_t pieces = (rect.height + viewRowsPerPiece - 1) / viewRowsPerPiece;
    detail::runPieces(pieces, progress, [&](std::int64_t piece) {
        const auto first = static_cast<std::int32_t>(piece * viewRowsPerPiece);
        drawReducedRows(plan, factor, first, std::min(rect.height, first + viewRowsPerPiece),
                        *reducer, whole, target);
    });
}

double StripRenderer::estimatedNanoseconds(std::int32_t factor, const ViewRect& rect) const {
    const double fullPixels = double(rect.width) * rect.height * factor * factor;
    return 5000.0 + 0.35 * fullPixels + 2.0 * double(mosaic_.placements.size());
}

} // namespace ornamo
