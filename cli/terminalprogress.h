#pragma once

// A progress bar on standard error, for renders and reductions that take a while.

#include "progress.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace ornamo::cli {

/// Draws "caption [#####.....]  45%" on one line of `stream`, only when the stream is a
/// terminal and only once the work has run for half a second; the line is cleared at the end.
class TerminalProgress : public Progress {
public:
    explicit TerminalProgress(std::FILE* stream);

    void StartProcessBar(Caption caption) override;
    void EndProcessBar() override;
    void step(int position) override;

private:
    std::FILE* stream_;
    bool terminal_;
    bool shown_ = false;
    std::string caption_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace ornamo::cli
