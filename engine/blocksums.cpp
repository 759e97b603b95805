#include "blocksums.h"

#include <algorithm>
#include <stdexcept>

namespace ornamo {

namespace {

// Whether three channel sums of a whole w x h image fit in 32 bits.
bool fitsNarrow(std::int64_t w, std::int64_t h) {
    return static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 255u <
           (std::uint64_t{1} << 32);
}

// Whether the placement is drawn at all, and the tile image it shows.
const Bitmap* drawnTile(const Placement& p, const TileSet* tiles) {
    const auto o = static_cast<unsigned>(p.orientation);
    if (!tiles || o > 7 || p.width <= 0 || p.height <= 0)
        return nullptr;
    const Bitmap& tile = (*tiles)[o];
    return tile.isEmpty() ? nullptr : &tile;
}

// The orientations whose images drawable placements show.
std::array<bool, 8> usedImages(const Mosaic& mosaic) {
    std::array<bool, 8> used{};
    for (const Placement& p : mosaic.placements)
        if (drawnTile(p, mosaic.tiles.get()))
            used[static_cast<unsigned>(p.orientation)] = true;
    return used;
}

// A run of tile columns (or rows) [from, to) that all have the same weight: the number of
// pixels of each enlarged column that fall in the block.
struct Segment {
    std::int64_t from, to, weight;
};

// The tile columns behind the enlarged columns [u0, u1) of a placement stretched `stretch`
// times (offsets from its left edge, u0 < u1), as at most three runs of equal weight: a partial
// first column, the whole ones, a partial last column. Returns the number of runs.
int segmentsOf(std::int64_t u0, std::int64_t u1, std::int64_t stretch, Segment* out) {
    if (stretch == 1) {
        out[0] = {u0, u1, 1};
        return 1;
    }
    const std::int64_t first = u0 / stretch;
    const std::int64_t last = (u1 - 1) / stretch;
    if (first == last) {
        out[0] = {first, first + 1, u1 - u0};
        return 1;
    }
    const std::int64_t firstWeight = stretch - u0 % stretch;
    const std::int64_t lastWeight = (u1 - 1) % stretch + 1;
    int n = 0;
    std::int64_t wholeFrom = first + 1;
    std::int64_t wholeTo = last;
    if (firstWeight == stretch)
        wholeFrom = first;
    else
        out[n++] = {first, first + 1, firstWeight};
    if (lastWeight == stretch)
        wholeTo = last + 1;
    if (wholeFrom < wholeTo)
        out[n++] = {wholeFrom, wholeTo, stretch};
    if (lastWeight != stretch) {
        if (n > 0 && out[n - 1].weight == lastWeight && out[n - 1].to == last)
            out[n - 1].to = last + 1;
        else
            out[n++] = {last, last + 1, lastWeight};
    }
    return n;
}

// A drawable placement clipped to the window of one call.
struct Clipped {
    std::int64_t left, top, right, bottom; // the visible part within the window
    std::uint32_t drawn;                   // index into the drawn placements
};

// A visible piece of one slab: columns [from, to), shown by `owner` (an index into the clipped
// placements) or by the gap (owner < 0).
struct Piece {
    std::int64_t from, to;
    std::int32_t owner;
};

// Sums of the tile rectangle [i0, i1) x [j0, j1) from a summed-area table whose rows are
// `rowEntries` values apart, added times `weight` to sum.
template <class Entry>
inline void addRect(const Entry* table, std::int64_t rowEntries, std::int64_t i0, std::int64_t i1,
                    std::int64_t j0, std::int64_t j1, std::uint64_t weight, std::uint64_t* sum) {
    const Entry* a = table + j1 * rowEntries + i1 * 3;
    const Entry* b = table + j0 * rowEntries + i1 * 3;
    const Entry* c = table + j1 * rowEntries + i0 * 3;
    const Entry* d = table + j0 * rowEntries + i0 * 3;
    for (int k = 0; k < 3; ++k) {
        // Unsigned arithmetic wraps, and the true sum fits in Entry, so the result is exact.
        const Entry s = static_cast<Entry>(a[k] - b[k] - c[k] + d[k]);
        sum[k] += weight * static_cast<std::uint64_t>(s);
    }
}

} // namespace

std::uint64_t BlockSums::tableBytes(const Mosaic& mosaic) {
    const std::array<bool, 8> used = usedImages(mosaic);
    std::uint64_t bytes = 0;
    for (unsigned o = 0; o < 8; ++o) {
        if (!used[o])
            continue;
        const Bitmap& tile = (*mosaic.tiles)[o];
        const std::uint64_t entries = static_cast<std::uint64_t>(tile.width() + 1) *
                                      static_cast<std::uint64_t>(tile.height() + 1) * 3;
        bytes += entries * (fitsNarrow(tile.width(), tile.height()) ? 4 : 8);
    }
    return bytes;
}

BlockSums::BlockSums(const Mosaic& mosaic)
    : tiles_(mosaic.tiles), placements_(mosaic.placements), extent_(mosaic.extent()),
      gapColor_(mosaic.gapColor) {
    for (std::size_t i = 0; i < placements_.size(); ++i) {
        const Placement& p = placements_[i];
        const Bitmap* tile = drawnTile(p, tiles_.get());
        if (!tile)
            continue;
        const std::int64_t right = std::int64_t{p.x} + std::int64_t{p.width} * tile->width();
        const std::int64_t bottom = std::int64_t{p.y} + std::int64_t{p.height} * tile->height();
        if (right <= 0 || bottom <= 0 || p.x >= extent_ || p.y >= extent_)
            continue; // never seen
        drawn_.push_back({p.x, p.y, right, bottom, p.width, p.height, static_cast<std::uint32_t>(i),
                          static_cast<std::uint8_t>(p.orientation)});
    }

    std::array<bool, 8> used{};
    for (const Drawn& d : drawn_)
        used[d.orientation] = true;
    for (unsigned o = 0; o < 8; ++o) {
        if (!used[o])
            continue;
        const Bitmap& tile = (*tiles_)[o];
        Table& table = tables_[o];
        table.width = tile.width();
        table.height = tile.height();
        const auto rowEntries = static_cast<std::size_t>(table.width + 1) * 3;
        const std::size_t entries = rowEntries * static_cast<std::size_t>(table.height + 1);
        const bool narrow = fitsNarrow(table.width, table.height);
        if (narrow)
            table.narrow.assign(entries, 0);
        else
            table.wide.assign(entries, 0);
        std::vector<std::uint64_t> above(rowEntries, 0), here(rowEntries, 0);
        for (int j = 0; j < table.height; ++j) {
            const std::uint8_t* pixels = tile.row(j);
            std::uint64_t run[3] = {0, 0, 0};
            for (int i = 0; i < table.width; ++i)
                for (int k = 0; k < 3; ++k) {
                    run[k] += pixels[i * 3 + k];
                    const std::size_t at = static_cast<std::size_t>(i + 1) * 3 + k;
                    here[at] = above[at] + run[k];
                }
            const std::size_t rowStart = static_cast<std::size_t>(j + 1) * rowEntries;
            for (std::size_t e = 0; e < rowEntries; ++e) {
                if (narrow)
                    table.narrow[rowStart + e] = static_cast<std::uint32_t>(here[e]);
                else
                    table.wide[rowStart + e] = here[e];
            }
            std::swap(above, here);
        }
    }
}

std::int64_t BlockSums::viewSide(int factor) const {
    if (factor < 2 || extent_ <= factor)
        return 0;
    return extent_ / factor;
}

void BlockSums::compute(int factor, ViewRect rect, std::uint8_t* out, std::ptrdiff_t stride) const {
    if (factor < 2)
        throw std::invalid_argument("view factor below 2");
    if (rect.isEmpty())
        return;
    const std::int64_t side = viewSide(factor);
    if (rect.x < 0 || rect.y < 0 || std::int64_t{rect.x} + rect.width > side ||
        std::int64_t{rect.y} + rect.height > side)
        throw std::invalid_argument("view rectangle outside the view");

    const std::int64_t f = factor;
    const std::int64_t x0 = rect.x * f, x1 = (std::int64_t{rect.x} + rect.width) * f;
    const std::int64_t y0 = rect.y * f, y1 = (std::int64_t{rect.y} + rect.height) * f;

    // The drawn placements that reach into the window, clipped to it, in list order.
    std::vector<Clipped> clipped;
    for (std::size_t i = 0; i < drawn_.size(); ++i) {
        const Drawn& d = drawn_[i];
        const std::int64_t l = std::max(d.left, x0), r = std::min(d.right, x1);
        const std::int64_t t = std::max(d.top, y0), b = std::min(d.bottom, y1);
        if (l < r && t < b)
            clipped.push_back({l, t, r, b, static_cast<std::uint32_t>(i)});
    }

    // Slabs: the rows between consecutive distinct top and bottom edges. Within a slab the same
    // placements cover every row, so its visible pieces are the same on every row.
    std::vector<std::int64_t> edges;
    edges.reserve(clipped.size() * 2 + 2);
    edges.push_back(y0);
    edges.push_back(y1);
    for (const Clipped& c : clipped) {
        edges.push_back(c.top);
        edges.push_back(c.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    std::vector<std::uint32_t> byTop(clipped.size());
    for (std::uint32_t i = 0; i < byTop.size(); ++i)
        byTop[i] = i;
    std::stable_sort(byTop.begin(), byTop.end(), [&](std::uint32_t a, std::uint32_t b) {
        return clipped[a].top < clipped[b].top;
    });

    const auto columns = static_cast<std::size_t>(rect.width);
    std::vector<std::uint64_t> sums(columns * 3, 0); // the current row of blocks
    std::vector<std::uint32_t> active, arriving, merged; // in list order
    std::vector<std::int64_t> xs;
    std::vector<std::uint32_t> next; // union-find: the first uncovered interval at or after
    std::vector<Piece> pieces;
    const std::uint64_t gap[3] = {redOf(gapColor_), greenOf(gapColor_), blueOf(gapColor_)};
    const std::uint64_t blockArea = static_cast<std::uint64_t>(f) * static_cast<std::uint64_t>(f);
    std::size_t nextArrival = 0;

    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const std::int64_t slabTop = edges[e], slabBottom = edges[e + 1];

        // The placements covering the slab, in list order.
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [&](std::uint32_t a) { return clipped[a].bottom <= slabTop; }),
                     active.end());
        arriving.clear();
        while (nextArrival < byTop.size() && clipped[byTop[nextArrival]].top <= slabTop)
            arriving.push_back(byTop[nextArrival++]);
        if (!arriving.empty()) {
            std::sort(arriving.begin(), arriving.end());
            merged.resize(active.size() + arriving.size());
            std::merge(active.begin(), active.end(), arriving.begin(), arriving.end(),
                       merged.begin());
            std::swap(active, merged);
        }

        // Visible pieces: walk from the last placement to the first, each one taking the
        // intervals of the slab that no later one covers; what is left shows the gap.
        xs.clear();
        xs.push_back(x0);
        xs.push_back(x1);
        for (std::uint32_t a : active) {
            xs.push_back(clipped[a].left);
            xs.push_back(clipped[a].right);
        }
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        const auto intervals = static_cast<std::uint32_t>(xs.size() - 1);
        next.resize(intervals + 1);
        for (std::uint32_t k = 0; k <= intervals; ++k)
            next[k] = k;
        const auto find = [&](std::uint32_t k) {
            while (next[k] != k) {
                next[k] = next[next[k]];
                k = next[k];
            }
            return k;
        };
        const auto indexOf = [&](std::int64_t x) {
            return static_cast<std::uint32_t>(std::lower_bound(xs.begin(), xs.end(), x) -
                                              xs.begin());
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
                pieces.push_back({xs[start], xs[k], owner});
                if (k < to)
                    k = find(k);
            }
        };
        for (auto it = active.rbegin(); it != active.rend(); ++it)
            take(indexOf(clipped[*it].left), indexOf(clipped[*it].right),
                 static_cast<std::int32_t>(*it));
        take(0, intervals, -1);

        // Add every piece to the blocks it meets, one row of blocks at a time; a row of blocks
        // is written out when the slab reaches its bottom.
        std::int64_t rowTop = y0 + (slabTop - y0) / f * f;
        for (; rowTop < slabBottom; rowTop += f) {
            const std::int64_t ya = std::max(slabTop, rowTop);
            const std::int64_t yb = std::min(slabBottom, rowTop + f);
            for (const Piece& piece : pieces) {
                std::int64_t column = (piece.from - x0) / f;
                std::int64_t blockLeft = x0 + column * f;
                if (piece.owner < 0) {
                    for (; blockLeft < piece.to; blockLeft += f, ++column) {
                        const std::int64_t xa = std::max(piece.from, blockLeft);
                        const std::int64_t xb = std::min(piece.to, blockLeft + f);
                        const auto area = static_cast<std::uint64_t>((xb - xa) * (yb - ya));
                        std::uint64_t* sum = &sums[static_cast<std::size_t>(column) * 3];
                        for (int k = 0; k < 3; ++k)
                            sum[k] += gap[k] * area;
                    }
                    continue;
                }
                const Drawn& d = drawn_[clipped[static_cast<std::size_t>(piece.owner)].drawn];
                const Table& table = tables_[d.orientation];
                const std::int64_t rowEntries = std::int64_t{table.width + 1} * 3;
                Segment rows[3];
                const int rowCount = segmentsOf(ya - d.top, yb - d.top, d.stretchY, rows);
                for (; blockLeft < piece.to; blockLeft += f, ++column) {
                    const std::int64_t xa = std::max(piece.from, blockLeft);
                    const std::int64_t xb = std::min(piece.to, blockLeft + f);
                    Segment cols[3];
                    const int colCount = segmentsOf(xa - d.left, xb - d.left, d.stretchX, cols);
                    std::uint64_t* sum = &sums[static_cast<std::size_t>(column) * 3];
                    for (int r = 0; r < rowCount; ++r)
                        for (int c = 0; c < colCount; ++c) {
                            const auto weight =
                                static_cast<std::uint64_t>(rows[r].weight * cols[c].weight);
                            if (!table.narrow.empty())
                                addRect(table.narrow.data(), rowEntries, cols[c].from, cols[c].to,
                                        rows[r].from, rows[r].to, weight, sum);
                            else
                                addRect(table.wide.data(), rowEntries, cols[c].from, cols[c].to,
                                        rows[r].from, rows[r].to, weight, sum);
                        }
                }
            }
            if (yb == rowTop + f) {
                std::uint8_t* to = out + (rowTop - y0) / f * stride;
                for (std::size_t i = 0; i < columns * 3; ++i) {
                    to[i] = static_cast<std::uint8_t>(sums[i] / blockArea);
                    sums[i] = 0;
                }
            }
            if (yb < rowTop + f)
                break; // the next slab goes on in this row of blocks
        }
    }
}

double BlockSums::estimatedNanoseconds(int factor, ViewRect rect) const {
    (void)factor;
    (void)rect;
    return 0;
}

} // namespace ornamo
