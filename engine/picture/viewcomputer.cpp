#include "viewcomputer.h"

#include "budgets.h"
#include "memoryfit.h"
#include "parallel.h"

#include <algorithm>

namespace ornamo {

namespace {

// The time of a group of rows in a direct computation, about a progress step.
constexpr double groupNanoseconds = 10e6;

bool affordable(std::uint64_t bytes) {
    return bytes <= budget::largestTables && fitsInMemory(bytes);
}

} // namespace

ViewComputer::ViewComputer(const Mosaic& mosaic, std::uint64_t fullTableBytes)
    : mosaic_(mosaic), strips_(mosaic_), fullTableBytes_(fullTableBytes) {}

void ViewComputer::compute(std::int32_t factor, const ViewRect& rect, std::uint8_t* out,
                           std::ptrdiff_t stride, Progress* progress) const {
    if (rect.isEmpty())
        return;
    // One estimate from each way; the strips when the sums are not there or not cheaper.
    const std::shared_ptr<const BlockSums> sums = factor >= 2 ? blockSums(factor) : nullptr;
    const double bySums = sums ? sums->estimatedNanoseconds(factor, rect) : 0;
    if (!sums || bySums >= strips_.estimatedNanoseconds(factor, rect)) {
        strips_.compute(factor, rect, out, stride, progress);
        return;
    }
    // Row groups for every core; each group looks at every placement once, so there are
    // only as many as keep the cores busy and the progress moving.
    const auto groups = static_cast<int>(std::clamp<double>(
        std::max(bySums / groupNanoseconds, 2.0 * detail::workerCount()), 1, rect.height));
    const int rows = (rect.height + groups - 1) / groups;
    detail::runPieces((rect.height + rows - 1) / rows, progress, [&](std::int64_t group) {
        const int first = static_cast<int>(group) * rows;
        sums->compute(factor,
                      {rect.x, rect.y + first, rect.width, std::min(rows, rect.height - first)},
                      out + first * stride, stride);
    });
}

std::shared_ptr<const BlockSums> ViewComputer::blockSums(std::int32_t factor) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!fullTried_) {
        fullTried_ = true;
        const std::uint64_t bytes = BlockSums::tableBytes(mosaic_);
        if (bytes <= fullTableBytes_ && affordable(bytes)) {
            try {
                full_ = std::make_shared<const BlockSums>(mosaic_);
            } catch (const std::bad_alloc&) {
            }
        }
    }
    if (full_)
        return full_;
    if (factor == latticeFactor_)
        return lattice_;
    lattice_.reset(); // given back before the next ones are built
    latticeFactor_ = factor;
    try {
        lattice_ = BlockSums::atFactor(mosaic_, factor, affordable);
    } catch (const std::bad_alloc&) {
    }
    return lattice_;
}

} // namespace ornamo
