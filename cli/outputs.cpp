#include "outputs.h"

#include "messages.h"
#include "mosaicview.h"
#include "outputfile.h"
#include "picturefile.h"
#include "terminalprogress.h"

namespace ornamo::cli {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

void writeOutputs(const Options& options, const std::string& placementsText,
                  const QByteArray& workFile, const std::string& rulesText, const MosaicView* image,
                  std::FILE* errors) {
    // What was printed before comes before an output written into stdout in place.
    std::fflush(nullptr);
    OutputFile placements;
    if (!options.placementsFile.isEmpty()) {
        if (!placements.open(options.placementsFile) ||
            !placements.write(placementsText.data(), placementsText.size()) || !placements.finish())
            throw Failure{"cannot write the placements to " + utf8(options.placementsFile)};
    }
    OutputFile work;
    if (!options.saveWork.isEmpty()) {
        if (!work.open(options.saveWork) ||
            !work.write(workFile.constData(), static_cast<std::size_t>(workFile.size())) ||
            !work.finish())
            throw Failure{messages::saveFailed(utf8(options.saveWork))};
    }
    OutputFile rules;
    if (!options.rulesOut.isEmpty()) {
        if (!rules.open(options.rulesOut) || !rules.write(rulesText.data(), rulesText.size()) ||
            !rules.finish())
            throw Failure{messages::saveFailed(utf8(options.rulesOut))};
    }
    OutputFile picture;
    if (image) {
        const bool png = options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
        TerminalProgress progress(errors);
        progress.StartProcessBar(Caption::Saving);
        const bool written =
            picture.open(options.output) &&
            writePicture(picture, image->picture(),
                         png ? ImageFileFormat::Png : ImageFileFormat::Bmp, &progress) &&
            picture.finish();
        progress.EndProcessBar();
        if (!written)
            throw Failure{messages::saveFailed(utf8(options.output))};
    }
    if (image && !picture.commit())
        throw Failure{messages::saveFailed(utf8(options.output))};
    if (!options.placementsFile.isEmpty() && !placements.commit())
        throw Failure{"cannot write the placements to " + utf8(options.placementsFile)};
    if (!options.saveWork.isEmpty() && !work.commit())
        throw Failure{messages::saveFailed(utf8(options.saveWork))};
    if (!options.rulesOut.isEmpty() && !rules.commit())
        throw Failure{messages::saveFailed(utf8(options.rulesOut))};
}

} // namespace ornamo::cli
