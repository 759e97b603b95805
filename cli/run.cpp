#include "run.h"

#include "commandstack.h"
#include "crop.h"
#include "hierarchy.h"
#include "imagefile.h"
#include "messages.h"
#include "mosaicview.h"
#include "names.h"
#include "outputs.h"
#include "render.h"
#include "zoom.h"

#include <QFile>

#include <new>
#include <optional>
#include <string>

namespace ornamo::cli {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

void report(std::FILE* errors, const std::string& line) {
    std::fprintf(errors, "ornamo-render: %s\n", line.c_str());
}

Bitmap loadTile(const Options& options) {
    auto tile = loadBitmapFile(options.tile);
    if (!tile) {
        throw Failure{options.tileGiven ? messages::tileLoadFailed(utf8(options.tile))
                                        : std::string(messages::defaultTileMissing)};
    }
    if (tile->width() != tile->height())
        cropToSquare(*tile, options.crop);
    return std::move(*tile);
}

void listCommands(const CommandSlots& commands, int count, std::FILE* out) {
    for (int i = 0; i < count; ++i) {
        const Command& c = commands[static_cast<std::size_t>(i)];
        std::fprintf(out, "%2d  %s  (grid %d, %zu parts)\n", i + 1,
                     utf8(displayName(c.name)).c_str(), static_cast<int>(c.pattern.scale),
                     c.pattern.placements.size());
    }
}

// The view at another factor, as the zoom buttons make it.
void zoom(std::int32_t factor, CommandStackModel& model, MosaicView& view) {
    if (!view.rescale(factor))
        throw std::bad_alloc();
    model.setShrinkFactor(factor);
}

// "Zmenši", "Zväčši", keypad * and "Neškáluj": they change the view factor, and the view with it.
// A refusal ends the run.
void runZoomStep(const Step& step, CommandStackModel& model, MosaicView& view) {
    switch (step.kind) {
    case Step::Kind::ZoomOut:
        if (const auto factor = zoomedOut(model.shrinkFactor()))
            zoom(*factor, model, view);
        else
            throw Failure{std::string(messages::zoomPointless)};
        break;
    case Step::Kind::ZoomIn:
        if (const auto factor = zoomedIn(model.shrinkFactor()))
            zoom(*factor, model, view);
        break;
    case Step::Kind::FullSize:
        zoom(fullSizeFactor, model, view);
        break;
    default: { // the switch
        const NoScaleToggle toggle = toggledNoScale(model.noScale());
        if (toggle.redraw)
            zoom(toggle.shrinkFactor, model, view);
        model.setNoScale(toggle.noScale);
        model.setShrinkFactor(toggle.shrinkFactor);
        break;
    }
    }
}

// Chooses list position `position` (0 = newest), as picking an entry of the stack list does.
Outcome choosePosition(CommandStackModel& model, int position) {
    const std::vector<std::string> entries = model.listEntries();
    if (!model.listEnabled() || position >= static_cast<int>(entries.size()))
        throw Failure{"the command stack list has " + std::to_string(entries.size()) +
                      " entries, position " + std::to_string(position) + " cannot be chosen"};
    return model.choose(entries[static_cast<std::size_t>(position)], position);
}

// A command button or an item of the "Mozaika" menu, on the model.
Outcome runEditingStep(const Step& step, CommandStackModel& model) {
    switch (step.kind) {
    case Step::Kind::Apply:
        return model.applyCommand(step.value);
    case Step::Kind::Undo:
        return model.undoLast();
    case Step::Kind::Reset:
        return model.reset();
    case Step::Kind::Select:
        return choosePosition(model, step.value);
    case Step::Kind::Delete:
        return model.deleteChosen();
    case Step::Kind::DeleteUpTo:
        return model.deleteUpToChosen();
    case Step::Kind::Replace:
        return model.replaceChosen(step.value);
    default: // Insert
        return model.insertBeforeChosen(step.value);
    }
}

bool isZoomStep(Step::Kind kind) {
    return kind == Step::Kind::ZoomOut || kind == Step::Kind::ZoomIn ||
           kind == Step::Kind::FullSize || kind == Step::Kind::NoScale;
}

// Runs one step as the editor's handler would; a refusal ends the run.
void runStep(const Step& step, CommandStackModel& model, MosaicView& view) {
    if (isZoomStep(step.kind)) {
        runZoomStep(step, model, view);
        return;
    }
    const Outcome outcome = runEditingStep(step, model);
    if (outcome.refusal != Refusal::None)
        throw Failure{std::string(messages::text(outcome.refusal))};
    if (outcome.render && !view.render(model.mosaic(), model.shrinkFactor(), model.noScale()))
        throw std::bad_alloc();
}

// The picture asked for: the editor's view as the steps left it, or the mosaic it shows at
// full size or reduced by --shrink.
const MosaicView& picture(const Options& options, const MosaicView& editorView, MosaicView& other) {
    if (options.picture == Picture::View)
        return editorView;
    const bool full = options.picture == Picture::Full;
    if (!other.render(editorView.mosaic(), full ? 1 : options.shrink, full))
        throw std::bad_alloc();
    if (other.side() == 0)
        throw Failure{"the picture would be empty: the mosaic image of " +
                      std::to_string(editorView.mosaic().extent()) +
                      " pixels is not larger than the reduction factor " +
                      std::to_string(static_cast<std::uint16_t>(options.shrink))};
    return other;
}

// The placements file: the scale, the tile size and the factor, then one line per placement.
std::string placementsText(const CommandStackModel& model) {
    std::string text;
    const Mosaic& m = model.mosaic();
    text += std::to_string(m.scale) + ' ' + std::to_string(m.tileSize) + ' ' +
            std::to_string(model.shrinkFactor()) + '\n';
    for (const Placement& p : m.placements)
        text += std::to_string(p.width) + ' ' + std::to_string(p.height) + ' ' +
                std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' +
                std::to_string(static_cast<int>(p.orientation)) + '\n';
    return text;
}

int runOrThrow(const Options& options, std::FILE* out, std::FILE* errors) {
    CommandStackModel model;
    const Outcome tileOutcome = model.changeBaseTile(loadTile(options));
    if (tileOutcome.refusal != Refusal::None)
        throw Failure{std::string(messages::text(tileOutcome.refusal))};
    model.setGapColor(options.gapColor);

    const HierarchyResult read =
        model.loadHierarchy(std::filesystem::path(QFile::encodeName(options.rules).toStdString()));
    const std::string readMessage = messages::text(read.failure, utf8(options.rules));
    if (!readMessage.empty())
        report(errors, "warning: " + readMessage);
    if (options.list) {
        listCommands(model.commands(), read.count, out);
        if (!readMessage.empty())
            std::fprintf(out, "%s\n", readMessage.c_str());
    }

    // The view starts as the tile itself, shown unreduced. Nothing of it is kept: the picture
    // is computed band by band as it is written.
    MosaicView view(ViewLimits{0, 0});
    if (!view.render(model.mosaic(), 1, true))
        throw std::bad_alloc();
    for (std::size_t i = 0; i < options.steps.size(); ++i) {
        const Step& step = options.steps[i];
        try {
            runStep(step, model, view);
        } catch (const Failure& failure) {
            throw Failure{"step " + std::to_string(i + 1) + " (" + utf8(step.text) +
                          "): " + failure.reason};
        }
    }

    MosaicView other(ViewLimits{0, 0});
    const MosaicView* image = nullptr;
    if (!options.output.isEmpty())
        image = &picture(options, view, other);
    else if (!options.list)
        std::fprintf(out, "mosaic %lld x %lld pixels, %zu placement%s, view %d x %d pixels\n",
                     static_cast<long long>(model.mosaic().extent()),
                     static_cast<long long>(model.mosaic().extent()),
                     model.mosaic().placements.size(),
                     model.mosaic().placements.size() == 1 ? "" : "s", view.side(), view.side());
    writeOutputs(options, options.placementsFile.isEmpty() ? std::string() : placementsText(model),
                 image, errors);
    return 0;
}

} // namespace

int run(const Options& options, std::FILE* out, std::FILE* errors) {
    try {
        return runOrThrow(options, out, errors);
    } catch (const Failure& failure) {
        report(errors, failure.reason);
    } catch (const std::bad_alloc&) {
        report(errors, std::string(messages::notEnoughMemory));
    }
    return 1;
}

} // namespace ornamo::cli
