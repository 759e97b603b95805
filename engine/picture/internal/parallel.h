#pragma once

// Running the independent pieces of a long image job on every core while the calling thread
// keeps reporting progress.

#include "progress.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace ornamo::detail {

/// The threads a job runs on: one a core.
inline int workerCount() {
    static const int count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return count;
}

/// Which of a job's threads runs the calling code: 0 for the thread that started the job,
/// 1 .. workerCount() - 1 for the others. Indexes the per-thread scratch of a job.
inline thread_local int currentWorker = 0;
inline int workerIndex() {
    return currentWorker;
}

/// Shows the busy caption for the lifetime of the object, and takes it away again however the
/// job ends.
class BusyCaption {
public:
    BusyCaption(Progress* progress, Caption caption) : progress_(progress) {
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

/// Calls piece(i) for every i in [0, count), on every core: each thread takes the next piece
/// not yet taken. The calling thread works too, and between its pieces reports (100 x done)
/// div count to `progress` as often as StepCadence says, so progress comes from the calling thread
/// only. Threads that the system cannot start are done without. `piece` must not throw.
template <class Piece> void runPieces(std::int64_t count, Progress* progress, Piece&& piece) {
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> done{0};
    const auto work = [&](int worker, Progress* reporting) {
        const int outer = currentWorker; // a job started while reporting progress nests
        currentWorker = worker;
        StepCadence cadence;
        for (std::int64_t i = next++; i < count; i = next++) {
            piece(i);
            const std::int64_t finished = ++done;
            if (reporting && finished < count && cadence.due())
                reporting->step(static_cast<int>(100 * finished / count));
        }
        currentWorker = outer;
    };
    std::vector<std::thread> helpers;
    const auto wanted = std::min<std::int64_t>(workerCount(), count);
    for (int worker = 1; worker < wanted; ++worker) {
        try {
            helpers.emplace_back(work, worker, nullptr);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(0, progress);
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace ornamo::detail
