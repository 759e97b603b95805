#include "terminalprogress.h"

#include "messages.h"

#include <algorithm>

#if defined(_WIN32)
#include <io.h>
#define ORNAMO_ISATTY _isatty
#define ORNAMO_FILENO _fileno
#else
#include <unistd.h>
#define ORNAMO_ISATTY isatty
#define ORNAMO_FILENO fileno
#endif

namespace ornamo::cli {

namespace {
constexpr auto quietTime = std::chrono::milliseconds(500);
constexpr int barWidth = 30;
} // namespace

TerminalProgress::TerminalProgress(std::FILE* stream)
    : stream_(stream), terminal_(ORNAMO_ISATTY(ORNAMO_FILENO(stream)) != 0) {}

void TerminalProgress::StartProcessBar(Caption caption) {
    caption_ = std::string(messages::text(caption));
    start_ = std::chrono::steady_clock::now();
    shown_ = false;
}

void TerminalProgress::step(int position) {
    if (!terminal_ || std::chrono::steady_clock::now() - start_ < quietTime)
        return;
    position = std::clamp(position, 0, 100);
    const int filled = position * barWidth / 100;
    std::fprintf(stream_, "\r%s [%s%s] %3d%%", caption_.c_str(),
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(barWidth - filled), '.').c_str(), position);
    std::fflush(stream_);
    shown_ = true;
}

void TerminalProgress::EndProcessBar() {
    if (shown_) {
        // Blank the line: the caption, the bar and the percentage.
        std::fprintf(stream_, "\r%*s\r", static_cast<int>(caption_.size()) + barWidth + 8, "");
        std::fflush(stream_);
    }
    shown_ = false;
}

} // namespace ornamo::cli
