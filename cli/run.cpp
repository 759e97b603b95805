#include "run.h"

#include "crop.h"
#include "explain.h"
#include "hierarchy.h"
#include "imagefile.h"
#include "messages.h"
#include "mosaicview.h"
#include "names.h"
#include "outputs.h"
#include "provenance.h"
#include "rulemessages.h"
#include "work.h"
#include "worksession.h"

#include <algorithm>
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
    auto tile = loadTileFile(options.tile, options.gapColor);
    if (!tile) {
        throw Failure{options.tileGiven ? messages::tileLoadFailed(utf8(options.tile))
                                        : std::string(messages::defaultTileMissing)};
    }
    if (tile->width() != tile->height())
        cropToSquare(*tile, options.crop);
    return std::move(*tile);
}

// A command's name for the terminal: control characters (an escape sequence in a rule file)
// are shown as U+FFFD.
QString printableName(const std::string& name) {
    QString shown = displayName(name);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return shown;
}

void listCommands(const CommandSlots& commands, int count, std::FILE* out) {
    for (int i = 0; i < count; ++i) {
        const Command& c = commands[static_cast<std::size_t>(i)];
        std::fprintf(out, "%2d  %s  (grid %d, %zu parts)\n", i + 1,
                     utf8(printableName(c.name)).c_str(), static_cast<int>(c.pattern.scale),
                     c.pattern.placements.size());
    }
}

// Chooses list position `position` (0 = newest), as picking an entry of the stack list does.
Outcome choosePosition(Work& work, int position) {
    const std::vector<std::string> entries = work.model().listEntries();
    if (!work.model().listEnabled() || position >= static_cast<int>(entries.size()))
        throw Failure{"the command stack list has " + std::to_string(entries.size()) +
                      " entries, position " + std::to_string(position) + " cannot be chosen"};
    return work.choose(entries[static_cast<std::size_t>(position)], position);
}

// The place and the reason of a rule file's format error, in the form editors jump from: the
// bytes the reader looked at, read again, give the same error with its place.
void reportFormatError(const Rules& rules, const std::string& fileName, const std::string& message,
                       std::FILE* errors) {
    CommandSlots again;
    RuleDiagnostics diagnostics;
    readHierarchy(rules.bytes, again, &diagnostics);
    for (const RuleDiagnostic& d : diagnostics.list)
        if (d.kind == DiagnosticKind::Error) {
            std::fprintf(errors, "%s:%d:%d: warning: %s %s\n", fileName.c_str(), d.line, d.column,
                         message.c_str(), messages::text(d).c_str());
            return;
        }
    report(errors, "warning: " + message);
}

// The stack applied again with the rules of the file the step names. A file that cannot be read
// ends the run; a faulty one gives the records before the fault, as in the window, and a warning.
Outcome replayWithRulesFile(const Step& step, Work& work, std::FILE* errors) {
    const std::string name = utf8(step.file);
    HierarchyResult read;
    auto rules = loadRulesFile(fileSystemPath(step.file), name, read);
    if (!rules)
        throw Failure{messages::openFailed(name)};
    if (read.failure != HierarchyFailure::None)
        reportFormatError(*rules, name, messages::text(read.failure, name), errors);
    return work.replayWithRules(std::move(rules));
}

// A command button, an item of the "Mozaika" menu or a zoom key, on the work.
Outcome runWorkStep(const Step& step, Work& work, std::FILE* errors) {
    switch (step.kind) {
    case Step::Kind::Apply:
        return work.applyCommand(step.value);
    case Step::Kind::Undo:
        return work.undoLast();
    case Step::Kind::Reset:
        return work.reset();
    case Step::Kind::Select:
        return choosePosition(work, step.value);
    case Step::Kind::Delete:
        return work.deleteChosen();
    case Step::Kind::DeleteUpTo:
        return work.deleteUpToChosen();
    case Step::Kind::Replace:
        return work.replaceChosen(step.value);
    case Step::Kind::Insert:
        return work.insertBeforeChosen(step.value);
    case Step::Kind::ZoomOut:
        return work.zoomOut();
    case Step::Kind::ZoomIn:
        return work.zoomIn();
    case Step::Kind::FullSize:
        return work.fullSize();
    case Step::Kind::NoScale:
        return work.toggleNoScale();
    case Step::Kind::HistoryBack:
        return work.undo();
    case Step::Kind::HistoryForward:
        return work.redo();
    case Step::Kind::Rules:
        return replayWithRulesFile(step, work, errors);
    }
    return {};
}

// Runs one step as the editor's handler would; a refusal ends the run. Its message is the
// window's text followed by the numbers and the stack entry, where the refusal has them.
void runStep(const Step& step, Work& work, std::FILE* errors) {
    const Outcome outcome = runWorkStep(step, work, errors);
    if (outcome.refusal != Refusal::None)
        throw Failure{messages::detailedText(
            outcome.refusal, outcome.detail,
            outcome.detail.entry ? utf8(displayName(outcome.detail.entry->name)) : std::string())};
}

// The picture asked for: the editor's view as the steps left it, or the mosaic it shows at
// full size or reduced by --shrink.
const MosaicView& picture(const Options& options, const MosaicView& editorView, MosaicView& other) {
    const MosaicView* chosen = &editorView;
    if (options.picture != Picture::View) {
        const bool full = options.picture == Picture::Full;
        if (!other.render(editorView.mosaic(), full ? 1 : options.shrink, full))
            throw std::bad_alloc();
        chosen = &other;
    }
    // The editor's view at a factor beyond the mosaic is empty as well: the same reason.
    if (chosen->side() == 0)
        throw Failure{"the picture would be empty: the mosaic image of " +
                      std::to_string(editorView.mosaic().extent()) +
                      " pixels is not larger than the reduction factor " +
                      std::to_string(static_cast<std::uint16_t>(chosen->factor()))};
    return *chosen;
}

// The placements file: the scale, the tile size and the factor, then one line per placement.
std::string placementsText(const Work& work) {
    std::string text;
    const Mosaic& m = work.model().mosaic();
    text += std::to_string(m.scale) + ' ' + std::to_string(m.tileSize) + ' ' +
            std::to_string(work.shrinkFactor()) + '\n';
    for (const Placement& p : m.placements)
        text += std::to_string(p.width) + ' ' + std::to_string(p.height) + ' ' +
                std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' +
                std::to_string(static_cast<int>(p.orientation)) + '\n';
    return text;
}

// --check-rules: the diagnostics of a rule file and the commands it gives; status 1 when it
// has a format error.
int checkRules(const Options& options, std::FILE* out, std::FILE* errors) {
    const std::string fileName = utf8(options.checkRules);
    std::string text;
    if (!readHierarchyText(fileSystemPath(options.checkRules), text)) {
        report(errors, messages::openFailed(fileName));
        return 1;
    }
    CommandSlots commands;
    RuleDiagnostics diagnostics;
    const HierarchyResult read = readHierarchy(text, commands, &diagnostics);
    for (const RuleDiagnostic& d : diagnostics.list)
        std::fprintf(out, "%s\n", messages::diagnosticLine(fileName, d).c_str());
    if (diagnostics.omitted > 0)
        std::fprintf(out,
                     "%s: poznámka: ďalších upozornení a poznámok, ktoré sa nevypisujú: %zu.\n",
                     fileName.c_str(), diagnostics.omitted);
    listCommands(commands, read.count, out);
    return read.failure == HierarchyFailure::None ? 0 : 1;
}

// A fault in the command line that shows only once the steps have run (status 2).
struct UsageFailure {
    std::string reason;
};

// --explain: every point is checked before anything is printed or written.
void explainPoints(const Options& options, const Work& work, std::FILE* out) {
    if (options.explain.empty())
        return;
    const std::vector<StackEntry>& stack = work.model().stack();
    std::vector<const Mosaic*> patterns;
    std::vector<std::string> names;
    for (const StackEntry& entry : stack) {
        patterns.push_back(&entry.pattern());
        names.push_back(utf8(displayName(entry.name())));
    }
    const Provenance provenance(work.model().mosaic().tileSize, patterns);
    const std::int64_t extent = provenance.extent();
    for (const ExplainPoint& point : options.explain)
        if (point.x >= extent || point.y >= extent)
            throw UsageFailure{
                "--explain " + utf8(point.text) + ": " +
                messages::pointOutsideMosaic(extent, std::max(point.x, point.y) - extent + 1)};
    for (const ExplainPoint& point : options.explain)
        for (const std::string& line :
             explanationLines(provenance.explain(point.x, point.y), names))
            std::fprintf(out, "%s\n", line.c_str());
}

// The work the steps start from: a saved work, or the tile and the hierarchy file. The view
// starts as the tile itself, shown unreduced; nothing of it is kept, since the picture is
// computed band by band as it is written.
void startWork(const Options& options, WorkSession& session, std::FILE* out, std::FILE* errors) {
    Work& work = session.work();
    if (!options.work.isEmpty()) {
        if (const WorkFileFailure failure = session.open(options.work);
            failure != WorkFileFailure::None)
            throw Failure{messages::text(failure, utf8(options.work))};
        if (options.list)
            listCommands(work.rules().commands, work.rules().count, out);
        return;
    }
    const Outcome started = work.start(loadTile(options), options.gapColor);
    if (started.refusal != Refusal::None)
        throw Failure{messages::detailedText(started.refusal, started.detail)};

    HierarchyResult read;
    if (auto rules = loadRulesFile(fileSystemPath(options.rules), utf8(options.rules), read))
        work.useRules(std::move(rules));
    const std::string readMessage = messages::text(read.failure, utf8(options.rules));
    // Rules named on the command line that cannot be read end the run: without them the steps
    // would fail for a reason that is not theirs.
    if (read.failure == HierarchyFailure::OpenFailed && options.rulesGiven)
        throw Failure{readMessage};
    if (read.failure == HierarchyFailure::BadFormat)
        reportFormatError(work.rules(), utf8(options.rules), readMessage, errors);
    else if (!readMessage.empty())
        report(errors, "warning: " + readMessage);
    if (options.list) {
        listCommands(work.rules().commands, read.count, out);
        if (!readMessage.empty())
            std::fprintf(out, "%s\n", readMessage.c_str());
    }
}

// The loaded rules as the text of a hierarchy file (--rules-out).
std::string rulesText(const Work& work) {
    RulesWriteResult written = writeHierarchy(work.rules().commands, work.rules().count);
    if (written.failure != RulesWriteFailure::None)
        throw Failure{messages::text(written)};
    return std::move(written.bytes);
}

int runOrThrow(const Options& options, std::FILE* out, std::FILE* errors) {
    if (!options.checkRules.isEmpty())
        return checkRules(options, out, errors);
    WorkSession session(ViewLimits::keepNothing());
    startWork(options, session, out, errors);
    Work& work = session.work();
    for (std::size_t i = 0; i < options.steps.size(); ++i) {
        const Step& step = options.steps[i];
        try {
            runStep(step, work, errors);
        } catch (const Failure& failure) {
            throw Failure{"step " + std::to_string(i + 1) + " (" + utf8(step.text) +
                          "): " + failure.reason};
        }
    }

    const MosaicView& view = work.view();
    const Mosaic& mosaic = work.model().mosaic();
    MosaicView other(ViewLimits::keepNothing());
    const MosaicView* image = nullptr;
    if (!options.output.isEmpty())
        image = &picture(options, view, other);
    explainPoints(options, work, out);
    if (!image && !options.list && options.explain.empty())
        std::fprintf(out, "mosaic %lld x %lld pixels, %zu placement%s, view %d x %d pixels\n",
                     static_cast<long long>(mosaic.extent()),
                     static_cast<long long>(mosaic.extent()), mosaic.placements.size(),
                     mosaic.placements.size() == 1 ? "" : "s", view.side(), view.side());
    writeOutputs(options, options.placementsFile.isEmpty() ? std::string() : placementsText(work),
                 session, options.rulesOut.isEmpty() ? std::string() : rulesText(work), image,
                 errors);
    return 0;
}

} // namespace

int run(const Options& options, std::FILE* out, std::FILE* errors) {
    try {
        return runOrThrow(options, out, errors);
    } catch (const Failure& failure) {
        report(errors, failure.reason);
    } catch (const UsageFailure& failure) {
        report(errors, failure.reason);
        return 2;
    } catch (const std::bad_alloc&) {
        report(errors, std::string(messages::notEnoughMemory));
    }
    return 1;
}

} // namespace ornamo::cli
