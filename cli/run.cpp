#include "run.h"

#include "commandstack.h"
#include "crop.h"
#include "hierarchy.h"
#include "imagefile.h"
#include "messages.h"
#include "names.h"
#include "render.h"
#include "terminalprogress.h"
#include "zoom.h"

#include <QFile>
#include <QSaveFile>

#include <new>
#include <optional>
#include <string>

namespace ornamo::cli {

namespace {

// The reason a run ends without output, already formatted for stderr.
struct Failure {
    std::string reason;
};

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

// What the editor's view holds: the mosaic image reduced by a factor, or (after a render with
// the no-scaling switch on) the mosaic image itself.
using ViewReduction = std::optional<std::int32_t>;

// Runs one step as the editor's handler would; a refusal ends the run.
void runStep(const Step& step, CommandStackModel& model, ViewReduction& view) {
    Outcome outcome;
    switch (step.kind) {
    case Step::Kind::Apply:
        outcome = model.applyCommand(step.value);
        break;
    case Step::Kind::Undo:
        outcome = model.undoLast();
        break;
    case Step::Kind::Reset:
        outcome = model.reset();
        break;
    case Step::Kind::Select: {
        const std::vector<std::string> entries = model.listEntries();
        if (!model.listEnabled() || step.value >= static_cast<int>(entries.size()))
            throw Failure{"the command stack list has " + std::to_string(entries.size()) +
                          " entries, position " + std::to_string(step.value) + " cannot be chosen"};
        outcome = model.choose(entries[static_cast<std::size_t>(step.value)], step.value);
        break;
    }
    case Step::Kind::Delete:
        outcome = model.deleteChosen();
        break;
    case Step::Kind::DeleteUpTo:
        outcome = model.deleteUpToChosen();
        break;
    case Step::Kind::Replace:
        outcome = model.replaceChosen(step.value);
        break;
    case Step::Kind::Insert:
        outcome = model.insertBeforeChosen(step.value);
        break;
    case Step::Kind::ZoomOut:
        if (const auto factor = zoomedOut(model.shrinkFactor())) {
            model.setShrinkFactor(*factor);
            view = *factor;
        } else {
            outcome.message = std::string(messages::zoomPointless);
        }
        break;
    case Step::Kind::ZoomIn:
        if (const auto factor = zoomedIn(model.shrinkFactor())) {
            model.setShrinkFactor(*factor);
            view = *factor;
        }
        break;
    case Step::Kind::FullSize:
        model.setShrinkFactor(fullSizeFactor);
        view = fullSizeFactor;
        break;
    case Step::Kind::NoScale: {
        const NoScaleToggle toggle = toggledNoScale(model.noScale());
        model.setNoScale(toggle.noScale);
        model.setShrinkFactor(toggle.shrinkFactor);
        if (toggle.redraw)
            view = toggle.shrinkFactor;
        break;
    }
    }
    if (!outcome.message.empty())
        throw Failure{outcome.message};
    if (outcome.render)
        view = model.noScale() ? ViewReduction{} : ViewReduction{model.shrinkFactor()};
}

Bitmap picture(const Options& options, const CommandStackModel& model, ViewReduction view,
               std::FILE* errors) {
    TerminalProgress progress(errors);
    Bitmap mosaicImage;
    renderMosaic(model.mosaic(), mosaicImage, &progress);
    std::optional<int> factor;
    switch (options.picture) {
    case Picture::View:
        if (view)
            factor = static_cast<std::uint16_t>(*view);
        break;
    case Picture::Full:
        break;
    case Picture::Shrunk:
        factor = options.shrink;
        break;
    }
    if (!factor)
        return mosaicImage;
    Bitmap reduced;
    const auto f = static_cast<std::uint16_t>(*factor);
    ShrinkBitmap(f, f, mosaicImage, reduced, &progress);
    if (reduced.isEmpty())
        throw Failure{"the picture would be empty: the mosaic image of " +
                      std::to_string(mosaicImage.width()) +
                      " pixels is not larger than the reduction factor " + std::to_string(f)};
    return reduced;
}

void writePlacements(const QString& fileName, const CommandStackModel& model) {
    std::string text;
    const Mosaic& m = model.mosaic();
    text += std::to_string(m.scale) + ' ' + std::to_string(m.tileSize) + ' ' +
            std::to_string(model.shrinkFactor()) + '\n';
    for (const Placement& p : m.placements)
        text += std::to_string(p.width) + ' ' + std::to_string(p.height) + ' ' +
                std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' +
                std::to_string(static_cast<int>(p.orientation)) + '\n';
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit())
        throw Failure{"cannot write the placements to " + utf8(fileName)};
}

int runOrThrow(const Options& options, std::FILE* out, std::FILE* errors) {
    CommandStackModel model;
    const Outcome tileOutcome = model.changeBaseTile(loadTile(options));
    if (!tileOutcome.message.empty())
        throw Failure{tileOutcome.message};
    model.setGapColor(options.gapColor);

    const HierarchyResult read =
        loadHierarchyFile(std::filesystem::path(QFile::encodeName(options.rules).toStdString()),
                          utf8(options.rules), model.commands());
    if (!read.message.empty())
        report(errors, "warning: " + read.message);
    if (options.list) {
        listCommands(model.commands(), read.count, out);
        if (!read.message.empty())
            std::fprintf(out, "%s\n", read.message.c_str());
    }

    // The view starts as the tile itself, shown unreduced.
    ViewReduction view;
    for (std::size_t i = 0; i < options.steps.size(); ++i) {
        const Step& step = options.steps[i];
        try {
            runStep(step, model, view);
        } catch (const Failure& failure) {
            throw Failure{"step " + std::to_string(i + 1) + " (" + utf8(step.text) +
                          "): " + failure.reason};
        }
    }

    std::optional<Bitmap> image;
    if (!options.output.isEmpty())
        image = picture(options, model, view, errors);
    if (!options.placementsFile.isEmpty())
        writePlacements(options.placementsFile, model);
    if (image) {
        const bool png = options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
        if (!saveBitmapFile(*image, options.output,
                            png ? ImageFileFormat::Png : ImageFileFormat::Bmp)) {
            if (!options.placementsFile.isEmpty())
                QFile::remove(options.placementsFile);
            throw Failure{messages::saveFailed(utf8(options.output))};
        }
    }
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
