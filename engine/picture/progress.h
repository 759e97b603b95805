#pragma once

#include "refusal.h"

namespace ornamo {

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

} // namespace ornamo
