#include "outputs.h"

#include "messages.h"
#include "mosaicview.h"
#include "outputfile.h"
#include "picturefile.h"
#include "terminalprogress.h"
#include "worksession.h"

#include <deque>
#include <functional>
#include <vector>

namespace ornamo::cli {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

// One output of the run: its name and how its contents are written.
struct Output {
    QString name;
    std::function<bool(OutputFile&)> write;
    OutputFile file;
};

// The message of a run whose outputs could not all be replaced. When putting back an earlier
// target failed too, it says which files hold the new contents and which do not.
std::string failureMessage(const std::vector<Output*>& outputs, const CommitResult& result) {
    std::string message =
        messages::saveFailed(utf8(outputs[static_cast<std::size_t>(result.failed)]->name));
    std::vector<std::string> replaced, unchanged;
    for (std::size_t i = 0; i < outputs.size(); ++i)
        (result.replaced[i] ? replaced : unchanged).push_back(utf8(outputs[i]->name));
    if (!replaced.empty())
        message += ' ' + messages::partlyReplaced(replaced, unchanged);
    return message;
}

} // namespace

void writeOutputs(const Options& options, const std::string& placementsText,
                  const WorkSession& work, const std::string& rulesText, const MosaicView* image,
                  std::FILE* errors) {
    // What was printed before comes before an output written into stdout in place.
    std::fflush(nullptr);
    std::deque<Output> all;
    if (image) {
        const bool png = options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
        all.emplace_back(options.output, [=](OutputFile& file) {
            TerminalProgress progress(errors);
            progress.StartProcessBar(Caption::Saving);
            const bool written =
                writePicture(file, image->picture(),
                             png ? ImageFileFormat::Png : ImageFileFormat::Bmp, &progress);
            progress.EndProcessBar();
            return written;
        });
    }
    if (!options.placementsFile.isEmpty())
        all.emplace_back(options.placementsFile, [&](OutputFile& file) {
            return file.write(placementsText.data(), placementsText.size());
        });
    if (!options.saveWork.isEmpty())
        all.emplace_back(options.saveWork, [&](OutputFile& file) { return work.writeTo(file); });
    if (!options.rulesOut.isEmpty())
        all.emplace_back(options.rulesOut, [&](OutputFile& file) {
            return file.write(rulesText.data(), rulesText.size());
        });

    // Files replaced through a temporary file are written and checked first: what goes into a
    // device, a pipe or an open file cannot be taken back, so it waits until the rest is sure.
    std::vector<Output*> order;
    for (Output& output : all)
        if (!isWrittenInPlace(output.name))
            order.push_back(&output);
    const std::size_t replacedCount = order.size();
    for (Output& output : all)
        if (isWrittenInPlace(output.name))
            order.push_back(&output);
    for (std::size_t i = 0; i < order.size(); ++i) {
        Output& output = *order[i];
        if (i == replacedCount)
            for (std::size_t j = 0; j < replacedCount; ++j)
                if (!order[j]->file.canReplace())
                    throw Failure{messages::saveFailed(utf8(order[j]->name))};
        if (!output.file.open(output.name) || !output.write(output.file) || !output.file.finish())
            throw Failure{messages::saveFailed(utf8(output.name))};
    }

    std::vector<OutputFile*> files;
    for (Output* output : order)
        files.push_back(&output->file);
    const CommitResult result = commitOutputs(files);
    if (!result.committed)
        throw Failure{failureMessage(order, result)};
}

} // namespace ornamo::cli
