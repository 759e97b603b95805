#pragma once

// The rule workshop's preview: what the work would show after the edited rules were put in and
// the chosen command applied (or after the rules alone), computed by the very calls the work
// makes for them, on a copy, so that it equals the real view byte for byte. And a worker that
// computes the newest request off the window's thread.

#include "bitmap.h"
#include "commandstack.h"
#include "hierarchy.h"
#include "mosaicview.h"
#include "refusal.h"
#include "viewrect.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ornamo {

enum class PreviewKind : std::uint8_t {
    Command, ///< the rules replayed under the stack, then the chosen command applied
    Stack,   ///< the rules replayed under the stack, nothing more ("Použiť" alone)
};

struct PreviewInput {
    CommandStackModel model; ///< a copy of the work's model: its stack, mosaic and factor
    std::shared_ptr<const CommandSlots> commands;
    int count = 0;   ///< slots 1..count hold the edited commands
    int command = 1; ///< the chosen slot, 1..12 (PreviewKind::Command)
    PreviewKind kind = PreviewKind::Command;
    /// The part of the view to read, clipped to the view: what the preview pane shows.
    ViewRect shown{0, 0, 1024, 1024};
};

struct PreviewResult {
    Refusal refusal = Refusal::None;
    RefusalDetail detail;
    std::string entryName; ///< the bytes of the name of the entry the refusal names, if any
    int side = 0;          ///< the side of the whole view
    std::int32_t factor = 1;
    ViewRect shown{0, 0, 0, 0}; ///< the part of the view read into `pixels`
    Bitmap pixels;
};

/// The preview of `input`: CommandStackModel::replay() with the edited commands, then (for
/// PreviewKind::Command) applyCommand() of the chosen slot, then MosaicView::render() of the
/// mosaic at the model's factor, exactly as Work::replayWithRules() and Work::applyCommand()
/// make them; the pixels of `shown` (clipped to the view) are read. A refusal of either step
/// is given with its detail and no pixels.
PreviewResult computePreview(PreviewInput input);

/// Computes previews one at a time on a thread of its own. A request submitted while another
/// is computed waits; a newer one replaces a waiting one, which is then never computed. Each
/// result is handed to `deliver` on the worker's thread with its request's generation; results
/// come in increasing generation.
class PreviewWorker {
public:
    using Deliver = std::function<void(std::uint64_t generation, PreviewResult result)>;
    /// Runs on the worker before each computation (tests delay it to make a result stale).
    using BeforeCompute = std::function<void(std::uint64_t generation)>;

    explicit PreviewWorker(Deliver deliver);
    /// Waits for the computation under way, if any; drops a waiting request.
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    /// Queues `input` and gives its generation (1, 2, ...).
    std::uint64_t submit(PreviewInput input);
    void setBeforeCompute(BeforeCompute hook);

private:
    void run();

    Deliver deliver_;
    BeforeCompute beforeCompute_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<PreviewInput> waiting_;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace ornamo
