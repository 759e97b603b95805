#pragma once

#include <chrono>

namespace ornamo {

/// The progress caption shown while a long step runs.
enum class Caption { Rendering, Shrinking, Saving, Reading };

/// Where a long render, reduction or save reports how far it has got. Implemented by the window
/// (the busy label and ProgressBar1) and by the command-line renderer.
///
/// Every call comes from the thread that called the routine. While a routine runs, the image it
/// writes is in flux (it may even have been given a new buffer): step() must not read it. The
/// window keeps showing what it painted before until the routine returns.
class Progress {
public:
    virtual ~Progress() = default;
    /// The work starts: show `caption` (messages::text() gives its text) and position 0.
    virtual void StartProcessBar(Caption caption) = 0;
    /// The work has ended (also when it ended by an exception).
    virtual void EndProcessBar() = 0;
    /// Position 0..100, never decreasing. Called about every 30 ms of work, never per pixel;
    /// the window repaints and handles input here.
    virtual void step(int position) = 0;
    /// Whether the user asked to stop the work. Writers ask right after each step() and then
    /// stop, leaving every existing file as it was; renders do not ask.
    virtual bool cancelled() const { return false; }
};

/// The cadence of Progress::step(): due() says yes once about 30 ms have passed since the
/// object was made or last said yes, so that a job reports often enough for the window to stay
/// responsive and seldom enough that reporting costs nothing.
class StepCadence {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto interval = std::chrono::milliseconds(30);

    bool due() {
        const Clock::time_point now = Clock::now();
        if (now - last_ < interval)
            return false;
        last_ = now;
        return true;
    }

private:
    Clock::time_point last_ = Clock::now();
};

} // namespace ornamo
