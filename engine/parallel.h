#pragma once

// Running the independent pieces of a long image job on every core while the calling thread
// keeps reporting progress.

#include "render.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string_view>

#if defined(_OPENMP)
#include <omp.h>
#endif

namespace ornamo::detail {

inline int workerCount() {
#if defined(_OPENMP)
    return std::max(1, omp_get_max_threads());
#else
    return 1;
#endif
}

inline int workerIndex() {
#if defined(_OPENMP)
    return omp_get_thread_num();
#else
    return 0;
#endif
}

/// Shows the busy caption for the lifetime of the object, and takes it away again however the
/// job ends.
class BusyCaption {
public:
    BusyCaption(Progress* progress, std::string_view caption) : progress_(progress) {
        if (progress_)
            progress_->StartProcessBar(caption);
    }
    ~BusyCaption() {
        if (progress_)
            progress_->EndProcessBar();
    }
    BusyCaption(const BusyCaption&) = delete;
    BusyCaption& operator=(const BusyCaption&) = delete;

private:
    Progress* progress_;
};

/// Calls piece(i) for every i in [0, count), spread over all cores with dynamic scheduling.
/// The pieces run in groups; between groups the calling thread reports (100 x done) div count
/// to `progress`, about every 30 ms. Group sizes adapt so that a group takes about 10 ms.
/// `piece` must not throw.
template <class Piece> void runPieces(std::int64_t count, Progress* progress, Piece&& piece) {
    using Clock = std::chrono::steady_clock;
    constexpr auto groupTime = std::chrono::milliseconds(10);
    constexpr auto stepTime = std::chrono::milliseconds(30);
    const std::int64_t workers = workerCount();
    std::int64_t done = 0;
    std::int64_t group = progress ? workers * 2 : count;
    auto lastStep = Clock::now();
    while (done < count) {
        const std::int64_t end = std::min(count, done + group);
        const auto started = Clock::now();
#if defined(_OPENMP)
#pragma omp parallel for schedule(dynamic, 1) if (end - done > 1)
#endif
        for (std::int64_t i = done; i < end; ++i)
            piece(i);
        const auto finished = Clock::now();
        const auto spent = std::max<std::int64_t>(
            1, std::chrono::duration_cast<std::chrono::microseconds>(finished - started).count());
        const std::int64_t perGroup =
            std::chrono::duration_cast<std::chrono::microseconds>(groupTime).count() *
            (end - done) / spent;
        group = std::max(workers, perGroup);
        done = end;
        if (progress && finished - lastStep >= stepTime && done < count) {
            progress->step(static_cast<int>(100 * done / count));
            lastStep = Clock::now();
        }
    }
}

} // namespace ornamo::detail
