#include "rulecoverage.h"

#include <algorithm>
#include <vector>

namespace ornamo {

namespace {

// Cover counts over the elementary intervals between sorted row edges: each node knows how
// many parts cover its whole span and how many rows of it are covered in all.
class CoverTree {
public:
    explicit CoverTree(std::vector<std::int64_t> edges)
        : edges_(std::move(edges)), nodes_(4 * edges_.size()) {}

    // Adds `delta` to the cover of the intervals [from, to) (indices into the edges).
    void add(std::size_t from, std::size_t to, int delta) {
        if (from < to)
            add(1, 0, intervals(), from, to, delta);
    }
    std::int64_t covered() const { return nodes_[1].covered; }
    // The first row not covered; only asked when covered() is less than the whole span.
    std::int64_t firstUncovered() const {
        std::size_t node = 1, low = 0, high = intervals();
        while (high - low > 1) {
            const std::size_t middle = (low + high) / 2;
            if (nodes_[2 * node].covered < edges_[middle] - edges_[low]) {
                node = 2 * node;
                high = middle;
            } else {
                node = 2 * node + 1;
                low = middle;
            }
        }
        return edges_[low];
    }

private:
    std::size_t intervals() const { return edges_.size() - 1; }
    void add(std::size_t node, std::size_t low, std::size_t high, std::size_t from, std::size_t to,
             int delta) {
        Node& here = nodes_[node];
        if (from <= low && high <= to) {
            here.count += delta;
        } else {
            const std::size_t middle = (low + high) / 2;
            if (from < middle)
                add(2 * node, low, middle, from, to, delta);
            if (middle < to)
                add(2 * node + 1, middle, high, from, to, delta);
        }
        if (here.count > 0)
            here.covered = edges_[high] - edges_[low];
        else if (high - low == 1)
            here.covered = 0;
        else
            here.covered = nodes_[2 * node].covered + nodes_[2 * node + 1].covered;
    }

    // Together, so that a step down the tree touches one place.
    struct Node {
        std::int64_t covered = 0;
        int count = 0;
    };
    std::vector<std::int64_t> edges_;
    std::vector<Node> nodes_;
};

// A part's rows as indices into the row edges, entering or leaving the cover at a column.
struct Edge {
    std::uint32_t low, high;
    int delta;
};

struct Clipped {
    std::int64_t x0, y0, x1, y1;
};

// A grid of at most 64 cells a part: each part marks its corners in a difference grid, and
// running sums over the grid give every cell's cover.
GridCoverage countCells(const Mosaic& pattern) {
    const auto n = static_cast<std::size_t>(pattern.scale);
    const std::size_t side = n + 1;
    std::vector<std::int32_t> marks(side * side);
    const auto clip = [n](std::int64_t v) {
        return static_cast<std::size_t>(
            std::clamp<std::int64_t>(v, 0, static_cast<std::int64_t>(n)));
    };
    for (const Placement& p : pattern.placements) {
        const std::size_t x0 = clip(p.x), y0 = clip(p.y);
        const std::size_t x1 = clip(std::int64_t{p.x} + p.width);
        const std::size_t y1 = clip(std::int64_t{p.y} + p.height);
        if (x0 >= x1 || y0 >= y1)
            continue;
        ++marks[y0 * side + x0];
        --marks[y0 * side + x1];
        --marks[y1 * side + x0];
        ++marks[y1 * side + x1];
    }
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 1; x < n; ++x)
            marks[y * side + x] += marks[y * side + x - 1];
    for (std::size_t y = 1; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x)
            marks[y * side + x] += marks[(y - 1) * side + x];
    // Column by column, as the sweep finds the first uncovered cell.
    GridCoverage result;
    bool found = false;
    for (std::size_t x = 0; x < n; ++x)
        for (std::size_t y = 0; y < n; ++y)
            if (marks[y * side + x] == 0) {
                ++result.uncovered;
                if (!found) {
                    found = true;
                    result.firstX = static_cast<std::int64_t>(x);
                    result.firstY = static_cast<std::int64_t>(y);
                }
            }
    return result;
}

} // namespace

namespace {

// The edges of a grid's parts as the sweep reads them: the distinct row edges (0 and n among
// them), and the parts' left and right edges ordered by column, those at column x being
// edges[atColumn[x]] to edges[atColumn[x + 1]].
struct SweepEdges {
    std::vector<std::int64_t> rows;
    std::vector<std::uint32_t> atColumn;
    std::vector<Edge> edges;
};

// Grid lines are 0..n (at most 65536 of them): the row edges are numbered and the part edges
// ordered by column with a count per line, no sort.
SweepEdges sweepEdges(const Mosaic& pattern) {
    const std::int64_t n = pattern.scale;
    const auto size = static_cast<std::size_t>(n) + 1;
    std::vector<Clipped> parts;
    std::vector<std::uint32_t> rowIndex(size);
    SweepEdges result;
    std::vector<std::uint32_t>& atColumn = result.atColumn;
    atColumn.resize(size + 1);
    rowIndex[0] = rowIndex[static_cast<std::size_t>(n)] = 1;
    for (const Placement& p : pattern.placements) {
        const Clipped c{std::clamp<std::int64_t>(p.x, 0, n), std::clamp<std::int64_t>(p.y, 0, n),
                        std::clamp<std::int64_t>(std::int64_t{p.x} + p.width, 0, n),
                        std::clamp<std::int64_t>(std::int64_t{p.y} + p.height, 0, n)};
        if (c.x0 >= c.x1 || c.y0 >= c.y1)
            continue;
        parts.push_back(c);
        rowIndex[static_cast<std::size_t>(c.y0)] = rowIndex[static_cast<std::size_t>(c.y1)] = 1;
        ++atColumn[static_cast<std::size_t>(c.x0) + 1];
        ++atColumn[static_cast<std::size_t>(c.x1) + 1];
    }
    for (std::size_t y = 0; y < size; ++y)
        if (rowIndex[y]) {
            rowIndex[y] = static_cast<std::uint32_t>(result.rows.size());
            result.rows.push_back(static_cast<std::int64_t>(y));
        }
    for (std::size_t x = 1; x <= size; ++x)
        atColumn[x] += atColumn[x - 1];
    result.edges.resize(2 * parts.size());
    std::vector<std::uint32_t> next(atColumn.begin(), atColumn.end() - 1);
    for (const Clipped& c : parts) {
        const Edge e{rowIndex[static_cast<std::size_t>(c.y0)],
                     rowIndex[static_cast<std::size_t>(c.y1)], 1};
        result.edges[next[static_cast<std::size_t>(c.x0)]++] = e;
        result.edges[next[static_cast<std::size_t>(c.x1)]++] = {e.low, e.high, -1};
    }
    return result;
}

// The sweep over the columns of an n x n grid: each stretch of columns between two edges has
// the cover the edges before it left; the first uncovered cell is in the first stretch not
// wholly covered.
GridCoverage sweep(std::int64_t n, SweepEdges in) {
    CoverTree tree(std::move(in.rows));
    GridCoverage result;
    bool found = false;
    std::int64_t area = 0;
    std::int64_t from = 0;
    const auto stretch = [&](std::int64_t to) {
        if (to <= from)
            return;
        const std::int64_t covered = tree.covered();
        area += (to - from) * covered;
        if (!found && covered < n) {
            found = true;
            result.firstX = from;
            result.firstY = tree.firstUncovered();
        }
        from = to;
    };
    for (std::size_t x = 0; x + 1 < in.atColumn.size(); ++x) {
        const std::size_t first = in.atColumn[x], last = in.atColumn[x + 1];
        if (first == last)
            continue;
        stretch(static_cast<std::int64_t>(x));
        for (std::size_t i = first; i < last; ++i)
            tree.add(in.edges[i].low, in.edges[i].high, in.edges[i].delta);
    }
    stretch(n);
    result.uncovered = n * n - area;
    return result;
}

} // namespace

GridCoverage gridCoverage(const Mosaic& pattern) {
    const std::int64_t n = pattern.scale;
    if (n * n <= 64 * static_cast<std::int64_t>(pattern.placements.size()))
        return countCells(pattern);
    return sweep(n, sweepEdges(pattern));
}

} // namespace ornamo
