#include "blocksums.h"

#include "budgets.h"
#include "exactmean.h"
#include "parallel.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornamo {

namespace {

using detail::ExactMean;

// Whether three channel sums of a whole w x h image fit in 32 bits.
bool fitsNarrow(std::int64_t w, std::int64_t h) {
    return static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 255u <
           (std::uint64_t{1} << 32);
}

// The orientations whose images drawable placements show.
std::array<bool, 8> usedImages(const Mosaic& mosaic) {
    std::array<bool, 8> used{};
    for (const Placement& p : mosaic.placements)
        if (drawnArea(p, mosaic.tiles.get()))
            used[static_cast<unsigned>(p.orientation)] = true;
    return used;
}

// Four lanes of sums: the three channel sums of a table entry, and a fourth that holds whatever
// value follows the entry and is never used. Unsigned arithmetic wraps, so lanes narrower than
// the table entries still give exact block sums whenever the true sum fits in a lane.
typedef std::uint32_t Lanes32 __attribute__((vector_size(16)));
typedef std::uint64_t Lanes64 __attribute__((vector_size(32)));
template <class T> struct LanesOf;
template <> struct LanesOf<std::uint32_t> { using type = Lanes32; };
template <> struct LanesOf<std::uint64_t> { using type = Lanes64; };

// Sums below 2^31 as signed lanes, and their means.
typedef std::int32_t Ints4 __attribute__((vector_size(16)));
typedef double Doubles4 __attribute__((vector_size(32)));

// The lanes 0 to 2 of `v`, each from 0 to 255, as the first three bytes of a word in memory
// (the fourth unspecified).
inline std::uint32_t lowBytes(const Ints4& v) {
#if defined(__SSE2__)
    const __m128i halves = _mm_packs_epi32(reinterpret_cast<const __m128i&>(v), __m128i{});
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(halves, halves)));
#else
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]),
                             static_cast<std::uint8_t>(v[2]), 0};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
#endif
}

// The entry at `p` (and the value after it) as lanes of Sum, wide entries cut to their low bits.
template <class Sum, class Entry>
inline void load(const Entry* p, typename LanesOf<Sum>::type& out) {
    typename LanesOf<Entry>::type entry;
    std::memcpy(&entry, p, sizeof entry);
    if constexpr (std::is_same_v<Sum, Entry>)
        out = entry;
    else
        out = __builtin_convertvector(entry, typename LanesOf<Sum>::type);
}

// The visible rectangle of a drawable placement clipped to the window of one call, relative
// to the window.
struct Box {
    std::int32_t left, top, right, bottom;
};

// The rest of what is known of a clipped placement.
struct Clipped {
    std::int64_t originX, originY; // the placement's top-left corner, relative to the window
    std::int64_t stretchX, stretchY;
    std::int64_t stepColumns, stepRest; // factor div and mod stretchX
    // the summed-area table of its tile image: one of the two, rows rowEntries values apart
    const std::uint32_t* narrow;
    const std::uint64_t* wide;
    std::int64_t rowEntries;
    const std::int32_t* columnAt; // for tables of some columns and rows only, else null
    const std::int32_t* rowAt;
};

// What addPlain reads of an unstretched placement with a 32-bit table (table is null for any
// other): the table, and the offset of the value for the column x of the row y of the window,
// less 3 x + rowEntries y. Kept apart from Clipped, so that making the pieces of a slab reads
// few bytes a placement.
struct PlainRef {
    const std::uint32_t* table;
    std::int64_t offset, rowEntries;
};

// A visible piece of one slab: columns [from, to), shown by `owner` (an index into the clipped
// placements) or by the gap (owner < 0); `column` is the block column of `from`; and the
// owner's PlainRef, copied here so that the rows of blocks of a slab read the pieces one after
// the other.
struct Piece {
    std::int32_t from, to;
    std::int32_t owner;
    std::int32_t column;
    PlainRef plain;
};

// The working arrays of compute(), kept by each thread from call to call: a call then writes
// to memory already mapped instead of allocating and faulting in fresh pages, which for large
// factors took longer than the sums themselves.
struct Scratch {
    std::vector<Box> boxes;
    std::vector<Clipped> clipped;
    std::vector<PlainRef> plainRefs;
    std::vector<std::uint32_t> startsAt, byTop, fill, active, merged, indexAt, next;
    std::vector<std::uint8_t> isEdge;
    std::vector<std::int32_t> edges, xs;
    std::vector<std::uint64_t> edgeBits;
    std::vector<Piece> pieces;
    std::vector<Lanes32> sums32;
    std::vector<Lanes64> sums64;
};
thread_local Scratch scratch;

// Adds the part of a piece within the rows [ya, yb) of one row of blocks to the blocks' sums.
// The sum over a block is a difference of prefix sums at its left and right edges, each edge
// shared with the next block: P(x) sums the piece's rows [ya, yb) over its columns left of x.
// Here, for plain pieces, P(x) is the difference of two table rows at one column.
template <class Sum>
void addPlain(const Piece& piece, std::int32_t ya, std::int32_t yb, std::int32_t f,
              typename LanesOf<Sum>::type* sums) {
    using Lanes = typename LanesOf<Sum>::type;
    Lanes* sum = sums + piece.column;
    std::int32_t next = std::min(piece.to, (piece.column + 1) * f);
    const std::uint32_t* const table = piece.plain.table;
    const std::int64_t hi = piece.plain.offset + piece.plain.rowEntries * yb;
    const std::int64_t lo = piece.plain.offset + piece.plain.rowEntries * ya;
    const auto prefix = [&](std::int32_t x, Lanes& v) {
        Lanes below;
        load<Sum>(table + (hi + std::int64_t{x} * 3), v);
        load<Sum>(table + (lo + std::int64_t{x} * 3), below);
        v -= below;
    };
    Lanes before, after;
    prefix(piece.from, before);
    for (;;) {
        prefix(next, after);
        *sum += after - before;
        if (next == piece.to)
            return;
        before = after;
        ++sum;
        next = std::min(piece.to, next + f);
    }
}

// The prefix sums P of a stretched piece, or of one with a 64-bit table, or with a table of some
// columns and rows only (Mapped), over the rows [ya, yb). Enlarged rows [0, v), v = q sy + r,
// sum to (sy - r) x table row q + r x table row q + 1, and likewise for columns: P is a
// weighted sum of at most eight entries. Where the rows [ya, yb) begin and end on whole tile
// rows, P / sy is a sum of four; and where a column edge falls on a whole tile column, of two.
template <class Sum, bool Mapped, class Entry> class StretchedPrefix {
public:
    using Lanes = typename LanesOf<Sum>::type;

    StretchedPrefix(const Entry* table, const Clipped& c, std::int32_t ya, std::int32_t yb)
        : c_(c) {
        const std::int64_t v0 = ya - c.originY, v1 = yb - c.originY;
        const std::int64_t sy = c.stretchY;
        q0_ = v0 / sy;
        r0_ = v0 % sy;
        q1_ = v1 / sy;
        r1_ = v1 % sy;
        rows_[0] = table + rowStart(q1_);
        rows_[1] = table + rowStart(q1_ + (r1_ > 0));
        rows_[2] = table + rowStart(q0_);
        rows_[3] = table + rowStart(q0_ + (r0_ > 0));
        wholeRows_ = r0_ == 0 && r1_ == 0;
        rowScale_ = static_cast<Sum>(wholeRows_ ? sy : 1);
    }

    // What P / rowScale() is a part of.
    Sum rowScale() const { return rowScale_; }

    // P(u) / rowScale() for u = q sx + r.
    void operator()(std::int64_t q, std::int64_t r, Lanes& v) const {
        column(q, v);
        const auto sx = static_cast<Sum>(c_.stretchX);
        if (r > 0) {
            Lanes more;
            column(q + 1, more);
            v = v * sx + (more - v) * static_cast<Sum>(r);
        } else if (sx != 1) {
            v *= sx;
        }
    }

private:
    // Where the entries of a tile row and of a tile column begin.
    std::int64_t rowStart(std::int64_t j) const {
        if constexpr (Mapped) {
            assert(c_.rowAt[j] >= 0);
            return c_.rowAt[j] * c_.rowEntries;
        } else {
            return j * c_.rowEntries;
        }
    }
    std::int64_t columnStart(std::int64_t i) const {
        if constexpr (Mapped) {
            assert(c_.columnAt[i] >= 0);
            return std::int64_t{c_.columnAt[i]} * 3;
        } else {
            return i * 3;
        }
    }

    // The tile column sums left of tile column i, divided by rowScale().
    void column(std::int64_t i, Lanes& v) const {
        const std::int64_t at = columnStart(i);
        Lanes e2;
        load<Sum>(rows_[0] + at, v);
        load<Sum>(rows_[2] + at, e2);
        if (wholeRows_) {
            v -= e2;
            return;
        }
        Lanes e1, e3;
        load<Sum>(rows_[1] + at, e1);
        load<Sum>(rows_[3] + at, e3);
        v = (v - e2) * static_cast<Sum>(c_.stretchY) + (e1 - v) * static_cast<Sum>(r1_) -
            (e3 - e2) * static_cast<Sum>(r0_);
    }

    const Clipped& c_;
    std::int64_t q0_, r0_, q1_, r1_;
    const Entry* rows_[4];
    bool wholeRows_;
    Sum rowScale_;
};

// What addPlain does, for any other piece of a placement.
template <class Sum, bool Mapped, class Entry>
void addPiece(const Entry* table, const Clipped& c, const Piece& piece, std::int32_t ya,
              std::int32_t yb, std::int32_t f, typename LanesOf<Sum>::type* sums) {
    using Lanes = typename LanesOf<Sum>::type;
    const StretchedPrefix<Sum, Mapped, Entry> prefix(table, c, ya, yb);
    const std::int64_t sx = c.stretchX;
    Lanes* sum = sums + piece.column;
    std::int32_t next = std::min(piece.to, (piece.column + 1) * f);
    Lanes before, after;
    std::int64_t u = piece.from - c.originX;
    std::int64_t q = u / sx, r = u % sx;
    prefix(q, r, before);
    u = next - c.originX;
    q = u / sx;
    r = u % sx;
    for (;;) {
        prefix(q, r, after);
        *sum += (after - before) * prefix.rowScale();
        if (next == piece.to)
            return;
        before = after;
        ++sum;
        if (next + f <= piece.to) {
            next += f;
            q += c.stepColumns;
            r += c.stepRest;
            if (r >= sx) {
                r -= sx;
                ++q;
            }
        } else {
            next = piece.to;
            u = next - c.originX;
            q = u / sx;
            r = u % sx;
        }
    }
}

// Adds the sums of one row of pixels left of each of the given columns to `sums` (three values
// a column), reading the row up to the last of them.
inline void addRow(const std::uint8_t* pixel, const std::vector<std::int32_t>& columns,
                   std::uint64_t* sums) {
    std::uint32_t run[3] = {0, 0, 0}; // a row's sums fit: 255 x 65535 < 2^32
    int x = 0;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        for (; x < columns[k]; ++x, pixel += 3) {
            run[0] += pixel[0];
            run[1] += pixel[1];
            run[2] += pixel[2];
        }
        for (int c = 0; c < 3; ++c)
            sums[k * 3 + static_cast<std::size_t>(c)] += run[c];
    }
}

// The summed-area table of the tile image at the given columns and rows (sorted, each once,
// within the image, both from 0), row after row, three values an entry: the one loop that builds
// every table read from an image's own rows, whole or at some lines only. Reads the image's
// pixels once, up to the last row and column given; an image read from the base by index
// arithmetic is gathered a row at a time. `sums` holds three values a column: the column sums of
// the rows above.
template <class Entry>
void fillTable(const TileView& tile, const std::vector<std::int32_t>& columns,
               const std::vector<std::int32_t>& rows, std::vector<std::uint64_t>& sums,
               Entry* table) {
    const std::size_t values = columns.size() * 3;
    std::fill(sums.begin(), sums.end(), 0);
    std::vector<std::uint8_t> gathered(
        tile.rowsAreContiguous() ? 0 : static_cast<std::size_t>(columns.back()) * 3);
    std::size_t nextRow = 0;
    for (int y = 0;; ++y) {
        if (nextRow < rows.size() && rows[nextRow] == y) {
            Entry* to = table + nextRow * values;
            for (std::size_t e = 0; e < values; ++e)
                to[e] = static_cast<Entry>(sums[e]);
            ++nextRow;
        }
        if (nextRow == rows.size() || y == tile.height)
            return;
        const std::uint8_t* pixels = tile.row(y);
        if (!tile.rowsAreContiguous()) {
            for (int x = 0; x < columns.back(); ++x)
                std::memcpy(gathered.data() + x * 3, tile.pixel(x, y), 3);
            pixels = gathered.data();
        }
        addRow(pixels, columns, sums.data());
    }
}

// Every line of an axis `length` pixels long: 0 to length.
std::vector<std::int32_t> everyLine(int length) {
    std::vector<std::int32_t> lines(static_cast<std::size_t>(length) + 1);
    std::iota(lines.begin(), lines.end(), 0);
    return lines;
}

} // namespace

std::uint64_t BlockSums::tableBytes(const Mosaic& mosaic) {
    const std::array<bool, 8> used = usedImages(mosaic);
    std::uint64_t bytes = 0;
    for (unsigned o = 0; o < 8; ++o) {
        if (!used[o])
            continue;
        const TileView tile = mosaic.tiles->view(o);
        const std::uint64_t entries = static_cast<std::uint64_t>(tile.width + 1) *
                                      static_cast<std::uint64_t>(tile.height + 1) * 3;
        bytes += (entries + 1) * (fitsNarrow(tile.width, tile.height) ? 4 : 8); // + padding
    }
    return bytes;
}

BlockSums::BlockSums(const Mosaic& mosaic, int onlyFactor)
    : tiles_(mosaic.tiles), placements_(mosaic.placements), extent_(mosaic.extent()),
      gapColor_(mosaic.gapColor), onlyFactor_(onlyFactor) {
    collectDrawn();
}

void BlockSums::collectDrawn() {
    for (std::size_t i = 0; i < placements_.size(); ++i) {
        const Placement& p = placements_[i];
        const Drawing drawing = drawnArea(p, tiles_.get());
        if (!drawing || drawing.area.intersected({0, 0, extent_, extent_}).isEmpty())
            continue; // never seen
        drawn_.push_back({drawing.area, p.width, p.height, static_cast<std::uint32_t>(i),
                          static_cast<std::uint8_t>(p.orientation)});
    }
}

BlockSums::BlockSums(const Mosaic& mosaic) : BlockSums(mosaic, 0) {
    const std::array<bool, 8> used = usedImages(mosaic); // as tableBytes counts them
    for (unsigned o = 0; o < 8; ++o) {
        if (!used[o])
            continue;
        const TileView tile = tiles_->view(o);
        Table& table = tables_[o];
        table.width = tile.width;
        table.height = tile.height;
        table.rowEntries = std::int64_t{table.width + 1} * 3;
        const std::vector<std::int32_t> columns = everyLine(table.width);
        const std::vector<std::int32_t> rows = everyLine(table.height);
        std::vector<std::uint64_t> sums(static_cast<std::size_t>(table.rowEntries));
        const std::size_t entries = static_cast<std::size_t>(table.rowEntries) * rows.size() + 1;
        if (fitsNarrow(table.width, table.height)) {
            table.narrow.assign(entries, 0);
            fillTable(tile, columns, rows, sums, table.narrow.data());
        } else {
            table.wide.assign(entries, 0);
            fillTable(tile, columns, rows, sums, table.wide.data());
        }
    }
}

namespace {

// Marks the tile columns (or rows) that views read from a placement spanning [begin, end) on
// one axis, stretched `stretch` times: for every edge in [from, to], the visible part of the
// span, the tile column q of its offset u = q stretch + r from the placement's edge, and q + 1
// when r > 0, as addPiece reads them.
void markRead(const std::vector<std::int64_t>& edges, std::int64_t begin, std::int64_t from,
              std::int64_t to, std::int64_t stretch, std::vector<std::uint8_t>& read) {
    for (auto it = std::lower_bound(edges.begin(), edges.end(), from);
         it != edges.end() && *it <= to; ++it) {
        const std::int64_t u = *it - begin;
        read[static_cast<std::size_t>(u / stretch)] = 1;
        if (u % stretch != 0)
            read[static_cast<std::size_t>(u / stretch + 1)] = 1;
    }
}

// The positions of the marks, and the index of each mark at its position (-1 where none).
std::vector<std::int32_t> kept(const std::vector<std::uint8_t>& read,
                               std::vector<std::int32_t>& at) {
    std::vector<std::int32_t> positions;
    at.assign(read.size(), -1);
    for (std::size_t i = 0; i < read.size(); ++i)
        if (read[i]) {
            at[i] = static_cast<std::int32_t>(positions.size());
            positions.push_back(static_cast<std::int32_t>(i));
        }
    return positions;
}

// Where pieces and blocks can begin and end, on each axis, within the full-size pixels in view
// [0, reach): the block edges, and the edges of the placements in view; sorted, each once.
void edgesInView(const std::vector<BlockSums::Drawn>& drawn, std::int64_t f, std::int64_t reach,
                 std::vector<std::int64_t>& xEdges, std::vector<std::int64_t>& yEdges) {
    for (std::int64_t e = 0; e <= reach; e += f)
        xEdges.push_back(e);
    yEdges = xEdges;
    for (const BlockSums::Drawn& d : drawn) {
        for (const std::int64_t x : {d.area.left, d.area.right})
            if (x > 0 && x < reach)
                xEdges.push_back(x);
        for (const std::int64_t y : {d.area.top, d.area.bottom})
            if (y > 0 && y < reach)
                yEdges.push_back(y);
    }
    for (std::vector<std::int64_t>* edges : {&xEdges, &yEdges}) {
        std::sort(edges->begin(), edges->end());
        edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    }
}

// How an image reads the square base: whether a quarter turn walks the base's columns along
// the image's rows, and whether it reads an axis of the base backwards (its step negative).
struct BaseReading {
    bool turned, fromRight, fromBottom;
    explicit BaseReading(const TileView& tile)
        : turned(tile.columnStep != 3 && tile.columnStep != -3),
          fromRight((turned ? tile.rowStep : tile.columnStep) < 0),
          fromBottom((turned ? tile.columnStep : tile.rowStep) < 0) {}
};

// Adds to `result` the edges of the base's columns (or rows) that the image edges `edges`
// fall on: e itself, or n - e when the image reads that axis of the base backwards; and 0 and n.
void addBaseEdges(const std::vector<std::int32_t>& edges, bool backwards, std::int32_t n,
                  std::vector<std::int32_t>& result) {
    result.push_back(0);
    result.push_back(n);
    for (const std::int32_t e : edges)
        result.push_back(backwards ? n - e : e);
}

void sortOnce(std::vector<std::int32_t>& edges) {
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
}

// A table of the base at the columns xs and rows ys (sorted, each once, both from 0 to n), as
// fillTable makes it, reading the base once on every core: each thread sums a band of the
// base's rows from zero, and the sums of the bands above are added to each band's entries
// afterwards. Exact modulo the width of Entry.
template <class Entry>
std::vector<Entry> baseTable(const Bitmap& base, const std::vector<std::int32_t>& xs,
                             const std::vector<std::int32_t>& ys) {
    const std::size_t values = xs.size() * 3;
    std::vector<Entry> table(values * ys.size() + 1, 0);
    const std::int32_t last = ys.back();
    const int bands = std::max(1, std::min(detail::workerCount(), last));
    std::vector<std::int32_t> bandStart(static_cast<std::size_t>(bands) + 1);
    for (int b = 0; b <= bands; ++b)
        bandStart[static_cast<std::size_t>(b)] =
            static_cast<std::int32_t>(std::int64_t{last} * b / bands);
    std::vector<std::vector<std::uint64_t>> totals(static_cast<std::size_t>(bands),
                                                   std::vector<std::uint64_t>(values, 0));
    detail::runPieces(bands, nullptr, [&](std::int64_t b) {
        std::uint64_t* sums = totals[static_cast<std::size_t>(b)].data();
        const std::int32_t y0 = bandStart[static_cast<std::size_t>(b)];
        const std::int32_t y1 = bandStart[static_cast<std::size_t>(b) + 1];
        auto k = static_cast<std::size_t>(std::upper_bound(ys.begin(), ys.end(), y0) - ys.begin());
        for (std::int32_t y = y0; y < y1; ++y) {
            addRow(base.bits() + static_cast<std::ptrdiff_t>(y) * base.stride(), xs, sums);
            if (k < ys.size() && ys[k] == y + 1) {
                Entry* to = table.data() + k * values;
                for (std::size_t e = 0; e < values; ++e)
                    to[e] = static_cast<Entry>(sums[e]);
                ++k;
            }
        }
    });
    // The entries of row ys[k] were summed from the top of the band with ys[k] in (y0, y1].
    std::vector<std::uint64_t> above(values, 0);
    std::size_t band = 0;
    for (std::size_t k = 1; k < ys.size(); ++k) {
        for (; ys[k] > bandStart[band + 1]; ++band)
            for (std::size_t e = 0; e < values; ++e)
                above[e] += totals[band][e];
        if (band == 0)
            continue;
        Entry* to = table.data() + k * values;
        for (std::size_t e = 0; e < values; ++e)
            to[e] = static_cast<Entry>(to[e] + above[e]);
    }
    return table;
}

// Fills the table of a tile image read from the square base by index arithmetic from `sums`,
// a table of the base at the columns xs and rows ys that include the matching edges: a sum over
// a rectangle is the same in every orientation, and the image's rectangle [0, i) x [0, j) is the
// base's rectangle whose edges are i and j, or n minus them, on the base's axes (swapped by a
// quarter turn), so each entry of the image's table is four entries of the base's. Exact modulo
// the width of Entry, as the table is.
template <class Entry>
void deriveTable(const TileView& tile, std::int32_t n, const std::vector<std::int32_t>& xs,
                 const std::vector<std::int32_t>& ys, const std::vector<Entry>& sums,
                 const std::vector<std::int32_t>& columns, const std::vector<std::int32_t>& rows,
                 Entry* table) {
    const BaseReading reading(tile);
    const std::size_t values = xs.size() * 3;
    // The index of the entry of each base edge the image needs.
    const auto at = [](const std::vector<std::int32_t>& edges, std::int32_t e, std::size_t unit) {
        return static_cast<std::size_t>(std::lower_bound(edges.begin(), edges.end(), e) -
                                        edges.begin()) *
               unit;
    };
    std::vector<std::pair<std::size_t, std::size_t>> xEnds, yEnds;
    // The entries at the two ends of the base's range [0, e) or [n - e, n).
    const auto ends = [&](const std::vector<std::int32_t>& edges, std::int32_t e, bool backwards,
                          std::size_t unit) {
        return backwards ? std::pair{at(edges, n - e, unit), at(edges, n, unit)}
                         : std::pair{at(edges, 0, unit), at(edges, e, unit)};
    };
    for (const std::int32_t i : columns)
        (reading.turned ? yEnds : xEnds)
            .push_back(reading.turned ? ends(ys, i, reading.fromBottom, values)
                                      : ends(xs, i, reading.fromRight, 3));
    for (const std::int32_t j : rows)
        (reading.turned ? xEnds : yEnds)
            .push_back(reading.turned ? ends(xs, j, reading.fromRight, 3)
                                      : ends(ys, j, reading.fromBottom, values));
    // xEnds follow the image's columns, or its rows when turned; yEnds the other axis.
    Entry* to = table;
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto [x0, x1] = reading.turned ? xEnds[r] : xEnds[c];
            const auto [y0, y1] = reading.turned ? yEnds[c] : yEnds[r];
            for (std::size_t k = 0; k < 3; ++k, ++to)
                *to = static_cast<Entry>(sums[y1 + x1 + k] - sums[y1 + x0 + k] - sums[y0 + x1 + k] +
                                         sums[y0 + x0 + k]);
        }
}

// fillTable for a tile image read from the square base by index arithmetic (its rows not
// contiguous), without reading the base out of order: a table of the base at the matching
// edges, then the image's table from it.
template <class Entry>
void fillTableFromBase(const TileView& tile, const Bitmap& base,
                       const std::vector<std::int32_t>& columns,
                       const std::vector<std::int32_t>& rows, Entry* table) {
    const std::int32_t n = base.width();
    const BaseReading reading(tile);
    std::vector<std::int32_t> xs, ys;
    addBaseEdges(reading.turned ? rows : columns, reading.fromRight, n, xs);
    addBaseEdges(reading.turned ? columns : rows, reading.fromBottom, n, ys);
    sortOnce(xs);
    sortOnce(ys);
    deriveTable(tile, n, xs, ys, baseTable<Entry>(base, xs, ys), columns, rows, table);
}

// The tables of all the images `used` of a tile set that keeps no copies, from one table of the
// base at the edges that any of them needs, so that the base is read once and not once an image.
// False, with nothing filled, when that table would take more than `limit` bytes.
template <class Entry>
bool fillTablesFromBase(const TileSet& tiles, const std::vector<std::size_t>& used,
                        const std::array<std::vector<std::int32_t>, 8>& columns,
                        const std::array<std::vector<std::int32_t>, 8>& rows,
                        std::array<BlockSums::Table, 8>& tables, std::uint64_t limit) {
    const Bitmap& base = tiles.base();
    const std::int32_t n = base.width();
    std::vector<std::int32_t> xs, ys;
    for (const std::size_t o : used) {
        const BaseReading reading(tiles.view(static_cast<unsigned>(o)));
        addBaseEdges(reading.turned ? rows[o] : columns[o], reading.fromRight, n, xs);
        addBaseEdges(reading.turned ? columns[o] : rows[o], reading.fromBottom, n, ys);
    }
    sortOnce(xs);
    sortOnce(ys);
    if (static_cast<std::uint64_t>(xs.size()) * 3 * ys.size() * sizeof(Entry) > limit)
        return false;
    const std::vector<Entry> sums = baseTable<Entry>(base, xs, ys);
    detail::runPieces(static_cast<std::int64_t>(used.size()), nullptr, [&](std::int64_t i) {
        const std::size_t o = used[static_cast<std::size_t>(i)];
        BlockSums::Table& table = tables[o];
        Entry* to;
        if constexpr (std::is_same_v<Entry, std::uint32_t>)
            to = table.narrow.data();
        else
            to = table.wide.data();
        deriveTable(tiles.view(static_cast<unsigned>(o)), n, xs, ys, sums, columns[o], rows[o], to);
    });
    return true;
}

} // namespace

namespace {

// Whether the tables of an image of w x h pixels for views at `factor` take 32-bit entries:
// at factors up to largestNarrowFactor every block sum fits in 32 bits, so the entries may
// wrap; beyond, only when the sum of the whole image fits.
bool narrowAtFactor(int factor, int w, int h) {
    return factor <= BlockSums::largestNarrowFactor || fitsNarrow(w, h);
}

// The tile columns and rows read of each image that views at one factor read (empty for an
// image no placement in view shows): one flag a line of the image, 0 to its side.
struct LinesRead {
    std::array<std::vector<std::uint8_t>, 8> columns, rows;
};

LinesRead linesRead(const std::vector<BlockSums::Drawn>& drawn, const TileSet* tiles,
                    std::int64_t reach, const std::vector<std::int64_t>& xEdges,
                    const std::vector<std::int64_t>& yEdges) {
    LinesRead read;
    for (const BlockSums::Drawn& d : drawn) {
        const PixelArea seen = d.area.intersected({0, 0, reach, reach});
        if (seen.isEmpty())
            continue;
        const TileView tile = tiles->view(d.orientation);
        std::vector<std::uint8_t>& columns = read.columns[d.orientation];
        std::vector<std::uint8_t>& rows = read.rows[d.orientation];
        if (columns.empty()) {
            columns.assign(static_cast<std::size_t>(tile.width) + 1, 0);
            rows.assign(static_cast<std::size_t>(tile.height) + 1, 0);
        }
        markRead(xEdges, d.area.left, seen.left, seen.right, d.stretchX, columns);
        markRead(yEdges, d.area.top, seen.top, seen.bottom, d.stretchY, rows);
    }
    return read;
}

// The tables that views at one factor read, laid out before any is made: the lines kept of
// each image used, and the bytes all of them take.
struct FactorLayout {
    std::vector<std::size_t> used; // the images with a table
    std::array<std::vector<std::int32_t>, 8> columns, rows;
    std::uint64_t bytes = 0;
};

// Sets each used image's table to the lines read (sizes and where each line's entries are,
// nothing allocated) and says what they will take.
FactorLayout layOutTables(int factor, const LinesRead& read,
                          std::array<BlockSums::Table, 8>& tables) {
    FactorLayout layout;
    for (std::size_t o = 0; o < 8; ++o) {
        if (read.columns[o].empty())
            continue;
        BlockSums::Table& table = tables[o];
        layout.used.push_back(o);
        layout.columns[o] = kept(read.columns[o], table.columnAt);
        layout.rows[o] = kept(read.rows[o], table.rowAt);
        table.width = static_cast<int>(read.columns[o].size()) - 1;
        table.height = static_cast<int>(read.rows[o].size()) - 1;
        table.rowEntries = static_cast<std::int64_t>(layout.columns[o].size()) * 3;
        const bool narrow = narrowAtFactor(factor, table.width, table.height);
        layout.bytes += (static_cast<std::uint64_t>(table.rowEntries) * layout.rows[o].size() + 1) *
                        (narrow ? 4 : 8);
    }
    return layout;
}

// Makes the entries of the tables laid out, all zero.
void allocateTables(int factor, const FactorLayout& layout,
                    std::array<BlockSums::Table, 8>& tables) {
    for (const std::size_t o : layout.used) {
        BlockSums::Table& table = tables[o];
        const std::size_t entries =
            static_cast<std::size_t>(table.rowEntries) * layout.rows[o].size() + 1;
        if (narrowAtFactor(factor, table.width, table.height))
            table.narrow.resize(entries);
        else
            table.wide.resize(entries);
    }
}

// Fills the tables allocated, on every core (`tiles` may be null when no table is used). Without
// copies every image is read from the base: one table of the base for all of them, unless it would
// take more than their own tables (and baseTableSlack more) together; otherwise each image's table
// from its own pixels.
void fillTables(const TileSet* tiles, const FactorLayout& layout,
                std::array<BlockSums::Table, 8>& tables) {
    const std::vector<std::size_t>& used = layout.used;
    if (!used.empty() && !tiles->keepsCopies()) {
        const std::uint64_t limit = layout.bytes + budget::baseTableSlack;
        const bool done = tables[used[0]].narrow.empty()
                              ? fillTablesFromBase<std::uint64_t>(*tiles, used, layout.columns,
                                                                  layout.rows, tables, limit)
                              : fillTablesFromBase<std::uint32_t>(*tiles, used, layout.columns,
                                                                  layout.rows, tables, limit);
        if (done)
            return;
    }
    detail::runPieces(static_cast<std::int64_t>(used.size()), nullptr, [&](std::int64_t i) {
        const std::size_t o = used[static_cast<std::size_t>(i)];
        BlockSums::Table& table = tables[o];
        const TileView tile = tiles->view(static_cast<unsigned>(o));
        const std::vector<std::int32_t>& columns = layout.columns[o];
        const std::vector<std::int32_t>& rows = layout.rows[o];
        std::vector<std::uint64_t> sums(static_cast<std::size_t>(table.rowEntries));
        if (tile.rowsAreContiguous() && !table.narrow.empty())
            fillTable(tile, columns, rows, sums, table.narrow.data());
        else if (tile.rowsAreContiguous())
            fillTable(tile, columns, rows, sums, table.wide.data());
        else if (!table.narrow.empty())
            fillTableFromBase(tile, tiles->base(), columns, rows, table.narrow.data());
        else
            fillTableFromBase(tile, tiles->base(), columns, rows, table.wide.data());
    });
}

} // namespace

std::unique_ptr<BlockSums>
BlockSums::atFactor(const Mosaic& mosaic, int factor,
                    const std::function<bool(std::uint64_t)>& affordable) {
    if (factor < 2)
        throw std::invalid_argument("view factor below 2");
    std::unique_ptr<BlockSums> sums(new BlockSums(mosaic, factor));
    const std::int64_t reach = sums->viewSide(factor) * factor; // the full-size pixels in view
    std::vector<std::int64_t> xEdges, yEdges;
    edgesInView(sums->drawn_, factor, reach, xEdges, yEdges);
    const FactorLayout layout = layOutTables(
        factor, linesRead(sums->drawn_, sums->tiles_.get(), reach, xEdges, yEdges), sums->tables_);
    if (!affordable(layout.bytes))
        return nullptr;
    allocateTables(factor, layout, sums->tables_);
    fillTables(sums->tiles_.get(), layout, sums->tables_);
    return sums;
}

std::int64_t BlockSums::viewSide(int factor) const {
    if (factor < 2 || extent_ <= factor)
        return 0;
    return extent_ / factor;
}

bool BlockSums::inView(int factor, ViewRect rect) const {
    const std::int64_t side = viewSide(factor);
    return rect.x >= 0 && rect.y >= 0 && std::int64_t{rect.x} + rect.width <= side &&
           std::int64_t{rect.y} + rect.height <= side;
}

void BlockSums::compute(int factor, ViewRect rect, std::uint8_t* out, std::ptrdiff_t stride) const {
    if (factor < 2 || (onlyFactor_ != 0 && factor != onlyFactor_))
        throw std::invalid_argument("view factor below 2, or not the one of the tables");
    if (rect.isEmpty())
        return;
    if (extent_ > maxExtent)
        throw std::invalid_argument("mosaic larger than the model holds");
    if (!inView(factor, rect))
        throw std::invalid_argument("view rectangle outside the view");
    // 32-bit lanes up to largestNarrowFactor, and signed ones for the means.
    if (factor <= largestNarrowFactor)
        computeWith<std::uint32_t>(factor, rect, out, stride);
    else
        computeWith<std::uint64_t>(factor, rect, out, stride);
}

namespace {

// The window of one call: the full-size pixels of the rect. Coordinates in the scratch state
// are relative to its top-left corner; the window lies within the image, so they fit in 32 bits.
struct Window {
    std::int32_t factor;
    std::int64_t x0, y0;
    std::int32_t width, height;
};

// Phase 1: the drawn placements that reach into the window, clipped to it, in list order.
void clipToWindow(const std::vector<BlockSums::Drawn>& drawn,
                  const std::array<BlockSums::Table, 8>& tables, const Window& w, Scratch& work) {
    work.boxes.clear();
    work.clipped.clear();
    work.plainRefs.clear();
    work.boxes.reserve(drawn.size());
    work.plainRefs.reserve(drawn.size());
    work.clipped.reserve(drawn.size());
    const std::int32_t f = w.factor;
    for (const BlockSums::Drawn& d : drawn) {
        const PixelArea placed = d.area.relativeTo(w.x0, w.y0);
        const PixelArea seen = placed.intersected({0, 0, w.width, w.height});
        if (seen.isEmpty())
            continue;
        work.boxes.push_back(
            {static_cast<std::int32_t>(seen.left), static_cast<std::int32_t>(seen.top),
             static_cast<std::int32_t>(seen.right), static_cast<std::int32_t>(seen.bottom)});
        const BlockSums::Table& table = tables[d.orientation];
        const std::int64_t rowEntries = table.rowEntries;
        const bool plain = d.stretchX == 1 && d.stretchY == 1;
        const bool mapped = !table.columnAt.empty();
        work.clipped.push_back(
            {placed.left, placed.top, d.stretchX, d.stretchY, plain ? f : f / d.stretchX,
             plain ? 0 : f % d.stretchX, table.narrow.empty() ? nullptr : table.narrow.data(),
             table.wide.empty() ? nullptr : table.wide.data(), rowEntries,
             mapped ? table.columnAt.data() : nullptr, mapped ? table.rowAt.data() : nullptr});
        if (plain && !table.narrow.empty() && !mapped)
            work.plainRefs.push_back(
                {table.narrow.data(), -placed.left * 3 - placed.top * rowEntries, rowEntries});
        else
            work.plainRefs.push_back({nullptr, 0, 0});
    }
}

// Phase 2, slabs: the rows between consecutive distinct top and bottom edges. Within a slab the
// same placements cover every row, so its visible pieces are the same on every row. Edges are
// marked per row, and the placements sorted by their top row by counting, list order kept.
void findSlabs(const Window& w, Scratch& work) {
    auto& startsAt = work.startsAt;
    auto& isEdge = work.isEdge;
    startsAt.assign(static_cast<std::size_t>(w.height) + 2, 0);
    isEdge.assign(static_cast<std::size_t>(w.height) + 1, 0);
    isEdge.front() = isEdge.back() = 1;
    for (const Box& c : work.boxes) {
        isEdge[static_cast<std::size_t>(c.top)] = 1;
        isEdge[static_cast<std::size_t>(c.bottom)] = 1;
        ++startsAt[static_cast<std::size_t>(c.top) + 1];
    }
    for (std::size_t r = 1; r < startsAt.size(); ++r)
        startsAt[r] += startsAt[r - 1];
    work.byTop.resize(work.clipped.size());
    work.fill.assign(startsAt.begin(), startsAt.end() - 1);
    for (std::uint32_t i = 0; i < work.clipped.size(); ++i)
        work.byTop[work.fill[static_cast<std::size_t>(work.boxes[i].top)]++] = i;
    work.edges.clear();
    for (std::int32_t r = 0; r <= w.height; ++r)
        if (isEdge[static_cast<std::size_t>(r)])
            work.edges.push_back(r);
    work.active.clear();
    work.edgeBits.assign(static_cast<std::size_t>(w.width) / 64 + 1, 0);
    work.indexAt.resize(static_cast<std::size_t>(w.width) + 1);
}

// Phase 3a: the placements covering the slab from `slabTop`, in list order: those of the slab
// above that reach down into it, merged with those starting at its top.
void enterSlab(std::int32_t slabTop, Scratch& work) {
    auto& active = work.active;
    const auto& boxes = work.boxes;
    active.erase(std::remove_if(active.begin(), active.end(),
                                [&](std::uint32_t a) { return boxes[a].bottom <= slabTop; }),
                 active.end());
    const auto arrivingFrom = work.byTop.begin() + work.startsAt[static_cast<std::size_t>(slabTop)];
    const auto arrivingTo =
        work.byTop.begin() + work.startsAt[static_cast<std::size_t>(slabTop) + 1];
    if (arrivingFrom == arrivingTo)
        return;
    work.merged.resize(active.size() + static_cast<std::size_t>(arrivingTo - arrivingFrom));
    std::merge(active.begin(), active.end(), arrivingFrom, arrivingTo, work.merged.begin());
    std::swap(active, work.merged);
}

// Phase 3b: the distinct column edges of the slab's placements, in order, into xs: sorted, or
// read from a bitmap when there are enough of them to pay for reading all of its words.
void columnEdges(const Window& w, Scratch& work) {
    auto& xs = work.xs;
    auto& edgeBits = work.edgeBits;
    xs.clear();
    if (work.active.size() * 16 >= edgeBits.size()) {
        const auto mark = [&](std::int32_t x) {
            edgeBits[static_cast<std::size_t>(x) >> 6] |= std::uint64_t{1} << (x & 63);
        };
        mark(0);
        mark(w.width);
        for (std::uint32_t a : work.active) {
            mark(work.boxes[a].left);
            mark(work.boxes[a].right);
        }
        for (std::size_t i = 0; i < edgeBits.size(); ++i) {
            for (std::uint64_t bits = edgeBits[i]; bits != 0; bits &= bits - 1)
                xs.push_back(static_cast<std::int32_t>(i * 64) + std::countr_zero(bits));
            edgeBits[i] = 0;
        }
        return;
    }
    xs.push_back(0);
    xs.push_back(w.width);
    for (std::uint32_t a : work.active) {
        xs.push_back(work.boxes[a].left);
        xs.push_back(work.boxes[a].right);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
}

// Phase 3c, the painter's walk: from the last placement of the slab to the first, each one
// takes the intervals between column edges that no later one covers (a union-find over the
// intervals finds the next one not taken); what is left shows the gap.
void visiblePieces(std::int32_t f, Scratch& work) {
    const auto& xs = work.xs;
    auto& next = work.next; // the first interval not taken at or after
    auto& pieces = work.pieces;
    const auto intervals = static_cast<std::uint32_t>(xs.size() - 1);
    next.resize(intervals + 1);
    for (std::uint32_t k = 0; k <= intervals; ++k) {
        next[k] = k;
        work.indexAt[static_cast<std::size_t>(xs[k])] = k;
    }
    const auto find = [&](std::uint32_t k) {
        while (next[k] != k) {
            next[k] = next[next[k]];
            k = next[k];
        }
        return k;
    };
    pieces.clear();
    const auto take = [&](std::uint32_t from, std::uint32_t to, std::int32_t owner) {
        std::uint32_t k = find(from);
        while (k < to) {
            const std::uint32_t start = k;
            do {
                next[k] = to;
                ++k;
            } while (k < to && next[k] == k);
            pieces.push_back({xs[start], xs[k], owner, xs[start] / f,
                              owner >= 0 ? work.plainRefs[static_cast<std::size_t>(owner)]
                                         : PlainRef{nullptr, 0, 0}});
            if (k < to)
                k = find(k);
        }
    };
    for (auto it = work.active.rbegin(); it != work.active.rend(); ++it)
        take(work.indexAt[static_cast<std::size_t>(work.boxes[*it].left)],
             work.indexAt[static_cast<std::size_t>(work.boxes[*it].right)],
             static_cast<std::int32_t>(*it));
    take(0, intervals, -1);
}

// Phase 4: adds every piece of the slab within the rows [ya, yb) of one row of blocks to the
// blocks' sums.
template <class Sum>
void addPieces(const Scratch& work, std::int32_t ya, std::int32_t yb, std::int32_t f,
               const typename LanesOf<Sum>::type& gap, typename LanesOf<Sum>::type* sums) {
    using Lanes = typename LanesOf<Sum>::type;
    for (const Piece& piece : work.pieces) {
        if (piece.plain.table) {
            addPlain<Sum>(piece, ya, yb, f, sums);
            continue;
        }
        if (piece.owner >= 0) {
            const Clipped& c = work.clipped[static_cast<std::size_t>(piece.owner)];
            if (c.columnAt && c.narrow)
                addPiece<Sum, true>(c.narrow, c, piece, ya, yb, f, sums);
            else if (c.columnAt)
                addPiece<Sum, true>(c.wide, c, piece, ya, yb, f, sums);
            else if (c.narrow)
                addPiece<Sum, false>(c.narrow, c, piece, ya, yb, f, sums);
            else
                addPiece<Sum, false>(c.wide, c, piece, ya, yb, f, sums);
            continue;
        }
        Lanes* sum = sums + piece.column;
        for (std::int32_t xa = piece.from; xa < piece.to; ++sum) {
            const std::int32_t xb = std::min(piece.to, (xa / f + 1) * f);
            *sum += gap * static_cast<Sum>(std::int64_t{xb - xa} * (yb - ya));
            xa = xb;
        }
    }
}

// Phase 5: a finished row of blocks as pixels, each channel its sum's exact mean; the sums are
// cleared for the next row. Blocks of 32-bit sums have at most 2^22 pixels.
void writeMeans(Lanes32* sums, std::size_t columns, const ExactMean& mean, std::uint8_t* to) {
    // Sums below 2^31 as signed lanes, and their means; four bytes a column, the fourth
    // overwritten by the next column, except for the last.
    const double reciprocal = mean.reciprocal();
    const auto meanBytes = [&](std::size_t i) {
        const Doubles4 means =
            __builtin_convertvector(__builtin_convertvector(sums[i], Ints4), Doubles4) * reciprocal;
        sums[i] = Lanes32{};
        return lowBytes(__builtin_convertvector(means, Ints4));
    };
    for (std::size_t i = 0; i + 1 < columns; ++i) {
        const std::uint32_t bytes = meanBytes(i);
        std::memcpy(to + i * 3, &bytes, 4);
    }
    const std::uint32_t last = meanBytes(columns - 1);
    std::memcpy(to + (columns - 1) * 3, &last, 3);
}

void writeMeans(Lanes64* sums, std::size_t columns, const ExactMean& mean, std::uint8_t* to) {
    for (std::size_t i = 0; i < columns; ++i) {
        for (int k = 0; k < 3; ++k)
            to[i * 3 + k] = mean(sums[i][k]);
        sums[i] = Lanes64{};
    }
}

} // namespace

template <class Sum>
void BlockSums::computeWith(int factor, ViewRect rect, std::uint8_t* out,
                            std::ptrdiff_t stride) const {
    const std::int32_t f = factor;
    const Window window{f, std::int64_t{rect.x} * f, std::int64_t{rect.y} * f, rect.width * f,
                        rect.height * f};
    Scratch& work = scratch;
    clipToWindow(drawn_, tables_, window, work);
    findSlabs(window, work);

    using Lanes = typename LanesOf<Sum>::type;
    std::vector<Lanes>* sumsOfSum;
    if constexpr (std::is_same_v<Sum, std::uint32_t>)
        sumsOfSum = &work.sums32;
    else
        sumsOfSum = &work.sums64;
    auto& sums = *sumsOfSum; // the current row of blocks
    const auto columns = static_cast<std::size_t>(rect.width);
    sums.assign(columns, Lanes{});
    const Lanes gap = {static_cast<Sum>(redOf(gapColor_)), static_cast<Sum>(greenOf(gapColor_)),
                       static_cast<Sum>(blueOf(gapColor_)), 0};
    const ExactMean mean(std::uint64_t(f) * std::uint64_t(f));

    for (std::size_t e = 0; e + 1 < work.edges.size(); ++e) {
        const std::int32_t slabTop = work.edges[e], slabBottom = work.edges[e + 1];
        enterSlab(slabTop, work);
        columnEdges(window, work);
        visiblePieces(f, work);
        // Every piece goes into the blocks it meets, one row of blocks at a time; a row of
        // blocks is written out when the slab reaches its bottom.
        for (std::int32_t rowTop = slabTop / f * f; rowTop < slabBottom; rowTop += f) {
            const std::int32_t ya = std::max(slabTop, rowTop);
            const std::int32_t yb = std::min(slabBottom, rowTop + f);
            addPieces<Sum>(work, ya, yb, f, gap, sums.data());
            if (yb == rowTop + f)
                writeMeans(sums.data(), columns, mean, out + rowTop / f * stride);
        }
    }
}

namespace {

// The time of one compute() is a sum of counts, each times the nanoseconds one unit of it takes
// (measured on the 2-core development machine, Release build).
struct CostCounts {
    double calls = 1;           // fixed cost of a call
    double drawn = 0;           // placements looked at
    double windowLines = 0;     // rows plus columns of the window: the per-call arrays
    double slabs = 0;           // slabs: their column edges and pieces
    double slabActive = 0;      // (slab, placement covering it) pairs: the painter's walk
    double pieceBlocks = 0;     // (piece, block) pairs, a piece counted again in each slab
    double stretchedBlocks = 0; // those of pieces that addPlain does not take
    double pixels = 0;          // view pixels written
};

// Fitted to the single-thread times of 381 views (eight mosaics: grids of plain and of
// stretched tiles, random overlapping placements, plain and stretched, copies piled on each
// other; factors 2 to 5000; whole views in four calls of rows, 40 x 40 rects and single rows),
// weighing the relative errors of the views that took over 0.2 ms. The estimate was within 0.5
// to 1.8 times their time; shorter ones it may overestimate up to 4.2 times (small rects of
// piled placements). The fixed cost of a call and the (piece, block) pairs came out at 0: the
// other counts cover them.
constexpr CostCounts nanosecondsPer{0, 0.97, 0.35, 1065, 16.8, 0, 2.3, 3.14};

double dot(const CostCounts& a, const CostCounts& b) {
    return a.calls * b.calls + a.drawn * b.drawn + a.windowLines * b.windowLines +
           a.slabs * b.slabs + a.slabActive * b.slabActive + a.pieceBlocks * b.pieceBlocks +
           a.stretchedBlocks * b.stretchedBlocks + a.pixels * b.pixels;
}

} // namespace

namespace {

// The slabs of a call's window: the rows between its distinct top and bottom edges, those of the
// window and of the placements reaching into it, marked in one byte per window row (at most
// 65536).
double slabsIn(const std::vector<BlockSums::Drawn>& drawn, const PixelArea& window) {
    std::vector<std::uint8_t> edge(static_cast<std::size_t>(window.bottom - window.top) + 1, 0);
    for (const BlockSums::Drawn& d : drawn) {
        const PixelArea seen = d.area.intersected(window);
        if (seen.isEmpty())
            continue;
        edge[static_cast<std::size_t>(seen.top - window.top)] = 1;
        edge[static_cast<std::size_t>(seen.bottom - window.top)] = 1;
    }
    edge.front() = edge.back() = 1;
    double slabs = -1;
    for (std::uint8_t e : edge)
        slabs += e;
    return slabs;
}

// Adds to `counts` every placement as if nothing covered it: the slabs it crosses, and its
// pieces in each of them times the blocks they meet (stretchedBlocks for those addPlain does not
// take).
void addPlacementCounts(const std::vector<BlockSums::Drawn>& drawn,
                        const std::array<BlockSums::Table, 8>& tables, std::int64_t f,
                        const PixelArea& window, double slabsPerRow, CostCounts& counts) {
    const std::int64_t x0 = window.left, y0 = window.top;
    for (const BlockSums::Drawn& d : drawn) {
        const PixelArea seen = d.area.intersected(window);
        const std::int64_t l = seen.left, r = seen.right, t = seen.top, b = seen.bottom;
        if (seen.isEmpty())
            continue;
        const double crossed = std::max(1.0, static_cast<double>(b - t) * slabsPerRow);
        const double columns = static_cast<double>((r - 1 - x0) / f - (l - x0) / f + 1);
        const double rows = static_cast<double>((b - 1 - y0) / f - (t - y0) / f + 1);
        const double pairs = columns * (rows + crossed - 1);
        counts.slabActive += crossed;
        counts.pieceBlocks += pairs;
        const BlockSums::Table& table = tables[d.orientation];
        if (d.stretchX != 1 || d.stretchY != 1 || table.narrow.empty() || !table.columnAt.empty())
            counts.stretchedBlocks += pairs;
    }
}

} // namespace

double BlockSums::estimatedNanoseconds(int factor, ViewRect rect) const {
    if (factor < 2 || (onlyFactor_ != 0 && factor != onlyFactor_) || rect.isEmpty() ||
        extent_ > maxExtent || !inView(factor, rect))
        return 0;
    const std::int64_t f = factor;
    const std::int64_t x0 = rect.x * f, x1 = (std::int64_t{rect.x} + rect.width) * f;
    const std::int64_t y0 = rect.y * f, y1 = (std::int64_t{rect.y} + rect.height) * f;
    const PixelArea window{x0, y0, x1, y1};
    CostCounts counts;
    counts.drawn = static_cast<double>(drawn_.size());
    counts.pixels = static_cast<double>(rect.width) * rect.height;
    const double slabs = slabsIn(drawn_, window);
    counts.windowLines = static_cast<double>(y1 - y0 + x1 - x0);
    counts.slabs = slabs;
    addPlacementCounts(drawn_, tables_, f, window, slabs / static_cast<double>(y1 - y0), counts);
    const double gapBlocks = static_cast<double>(rect.width) * rect.height;
    counts.pieceBlocks += std::min(gapBlocks, slabs * rect.width);

    // Where placements pile up, most of them are hidden: a slab has at most twice as many
    // pieces as placements over it, plus one, and a row of blocks in it meets each block once
    // more than it has pieces.
    const double blockRows = static_cast<double>(rect.height) + slabs;
    const double visible = blockRows * rect.width + 2 * counts.slabActive * blockRows / slabs;
    if (counts.pieceBlocks > visible) {
        counts.stretchedBlocks *= visible / counts.pieceBlocks;
        counts.pieceBlocks = visible;
    }
    return dot(counts, nanosecondsPer);
}

} // namespace ornamo
