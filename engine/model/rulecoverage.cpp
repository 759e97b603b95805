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
        : edges_(std::move(edges)), count_(4 * edges_.size()), covered_(4 * edges_.size()) {}

    // Adds `delta` to the cover of rows [low, high).
    void add(std::int64_t low, std::int64_t high, int delta) {
        if (low < high && intervals() > 0)
            add(1, 0, intervals(), index(low), index(high), delta);
    }
    std::int64_t covered() const { return intervals() > 0 ? covered_[1] : 0; }
    // The first row not covered; only asked when covered() is less than the whole span.
    std::int64_t firstUncovered() const {
        std::size_t node = 1, low = 0, high = intervals();
        while (high - low > 1) {
            const std::size_t middle = (low + high) / 2;
            if (covered_[2 * node] < edges_[middle] - edges_[low]) {
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
    std::size_t intervals() const { return edges_.empty() ? 0 : edges_.size() - 1; }
    std::size_t index(std::int64_t edge) const {
        return static_cast<std::size_t>(std::lower_bound(edges_.begin(), edges_.end(), edge) -
                                        edges_.begin());
    }
    void add(std::size_t node, std::size_t low, std::size_t high, std::size_t from, std::size_t to,
             int delta) {
        if (to <= low || high <= from)
            return;
        if (from <= low && high <= to) {
            count_[node] += delta;
        } else {
            const std::size_t middle = (low + high) / 2;
            add(2 * node, low, middle, from, to, delta);
            add(2 * node + 1, middle, high, from, to, delta);
        }
        if (count_[node] > 0)
            covered_[node] = edges_[high] - edges_[low];
        else if (high - low == 1)
            covered_[node] = 0;
        else
            covered_[node] = covered_[2 * node] + covered_[2 * node + 1];
    }

    std::vector<std::int64_t> edges_;
    std::vector<int> count_;
    std::vector<std::int64_t> covered_;
};

struct Edge {
    std::int64_t x;
    std::int64_t low, high;
    int delta;
};

} // namespace

GridCoverage gridCoverage(const Mosaic& pattern) {
    const std::int64_t n = pattern.scale;
    std::vector<Edge> edges;
    std::vector<std::int64_t> rows{0, n};
    for (const Placement& p : pattern.placements) {
        const std::int64_t x0 = std::clamp<std::int64_t>(p.x, 0, n);
        const std::int64_t y0 = std::clamp<std::int64_t>(p.y, 0, n);
        const std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t{p.x} + p.width, 0, n);
        const std::int64_t y1 = std::clamp<std::int64_t>(std::int64_t{p.y} + p.height, 0, n);
        if (x0 >= x1 || y0 >= y1)
            continue;
        edges.push_back({x0, y0, y1, 1});
        edges.push_back({x1, y0, y1, -1});
        rows.push_back(y0);
        rows.push_back(y1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.x < b.x; });

    CoverTree tree(std::move(rows));
    GridCoverage result;
    bool found = false;
    std::int64_t area = 0;
    std::int64_t from = 0;
    // Each stretch of columns between two edges has the cover the edges before it left.
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
    for (const Edge& e : edges) {
        stretch(e.x);
        tree.add(e.low, e.high, e.delta);
    }
    stretch(n);
    result.uncovered = n * n - area;
    return result;
}

} // namespace ornamo
