#include "rulepreview.h"

#include <algorithm>
#include <new>
#include <utility>

namespace ornamo {

namespace {

ViewRect clipped(const ViewRect& rect, int side) {
    const int left = std::clamp(rect.x, 0, side);
    const int top = std::clamp(rect.y, 0, side);
    const int right = std::clamp(rect.x + std::max(rect.width, 0), left, side);
    const int bottom = std::clamp(rect.y + std::max(rect.height, 0), top, side);
    return {left, top, right - left, bottom - top};
}

} // namespace

PreviewResult computePreview(PreviewInput input) {
    PreviewResult result;
    CommandStackModel& model = input.model;
    Outcome outcome = model.replay(std::move(input.commands), input.count);
    if (outcome.refusal == Refusal::None && input.kind == PreviewKind::Command)
        outcome = model.applyCommand(input.command);
    if (outcome.refusal != Refusal::None) {
        result.refusal = outcome.refusal;
        if (outcome.detail.entry)
            result.entryName = outcome.detail.entry->name;
        result.detail = std::move(outcome.detail);
        return result;
    }
    MosaicView view;
    try {
        if (!view.render(model.mosaic(), model.shrinkFactor(), model.noScale())) {
            result.refusal = Refusal::NotEnoughMemory;
            return result;
        }
        result.side = view.side();
        result.factor = view.factor();
        result.shown = clipped(input.shown, view.side());
        if (!result.shown.isEmpty()) {
            result.pixels.resizeForOverwrite(result.shown.width, result.shown.height);
            view.read(result.shown, result.pixels.bits(), result.pixels.stride());
        }
    } catch (const std::bad_alloc&) {
        result = PreviewResult{};
        result.refusal = Refusal::NotEnoughMemory;
    }
    return result;
}

PreviewWorker::PreviewWorker(Deliver deliver)
    : deliver_(std::move(deliver)), thread_([this] { run(); }) {}

PreviewWorker::~PreviewWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t PreviewWorker::submit(PreviewInput input) {
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(input);
        generation = ++generation_;
    }
    wake_.notify_all();
    return generation;
}

void PreviewWorker::setBeforeCompute(BeforeCompute hook) {
    const std::lock_guard lock(mutex_);
    beforeCompute_ = std::move(hook);
}

void PreviewWorker::run() {
    for (;;) {
        std::optional<PreviewInput> input;
        std::uint64_t generation = 0;
        BeforeCompute hook;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_)
                return;
            input = std::move(waiting_);
            waiting_.reset();
            generation = generation_;
            hook = beforeCompute_;
        }
        if (hook)
            hook(generation);
        deliver_(generation, computePreview(std::move(*input)));
    }
}

} // namespace ornamo
