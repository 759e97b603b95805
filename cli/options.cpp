#include "options.h"

#include "colortext.h"
#include "commandstack.h"
#include "datafolder.h"
#include "outputfile.h"
#include <QCommandLineParser>

#include <QDir>

#include <algorithm>

#include <optional>

namespace ornamo::cli {

namespace {

const char* const description =
    "Builds a mosaic the way the Ornamo editor does, without a window: loads the base tile and\n"
    "the hierarchy file, runs the STEPs in order and writes the picture the editor would save.\n"
    "\n"
    "STEPs:\n"
    "  1 .. 12          apply that command (its button)\n"
    "  undo             undo the newest command\n"
    "  reset            reset the mosaic and the command stack\n"
    "  select:K         choose stack list position K (0 = newest)\n"
    "  delete           delete the chosen command\n"
    "  delete-up-to     delete the commands newer than the chosen one\n"
    "  replace:N        replace the chosen command by command N\n"
    "  insert:N         insert command N before the chosen command\n"
    "  zoom-out         double the reduction factor (below 256)\n"
    "  zoom-in          halve the reduction factor\n"
    "  full-size        reduction factor 1\n"
    "  no-scale         toggle the no-scaling switch (factor 1)\n"
    "  history-back     take back the last edit, as the editor's \"Späť\" does\n"
    "  history-forward  do the taken-back edit again (\"Znova\")\n"
    "  rules:FILE.hrh   apply the command stack again with the rules of that hierarchy file,\n"
    "                   each entry by its command number (one edit; history-back takes it back)\n"
    "\n"
    "--check-rules reads a hierarchy file alone and prints each error, warning and note as\n"
    "FILE:LINE:COLUMN: chyba|upozornenie|poznámka: text, then the commands read; status 1 when\n"
    "the file has a format error. A hierarchy file given with -r that has a format error keeps\n"
    "the commands before the fault, as the editor does, and the run goes on after a warning\n"
    "that names the place.\n"
    "\n"
    "With --work the run starts from a work saved by the editor (its tile, rules, gap colour,\n"
    "command stack, factor and switch) and the STEPs continue from there.\n"
    "\n"
    "--explain X,Y prints, after the steps, where the pixel (X, Y) of the full-size mosaic\n"
    "comes from: one line per command of the stack, the oldest first ('K NAME: part P (cells\n"
    "C,R size WxH O), tile O'), then 'tile TX TY O', the pixel of the base tile as loaded and\n"
    "the orientation it is drawn in, or, for a gap, 'gap' and each K:C,R where no part of\n"
    "command K reaches the point, in its grid cell C,R. A point outside the mosaic is a fault\n"
    "in the command line.\n"
    "\n"
    "A step the editor would refuse prints its message and ends the run with status 1,\n"
    "writing nothing. Status 2 means a fault in the command line.";

std::optional<int> number(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    // toInt accepts a sign and surrounding blanks; a step is plain digits only.
    if (!ok || text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) {
            return c.isDigit() && c.unicode() < 128;
        }))
        return std::nullopt;
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace

bool parseStep(const QString& text, Step& step) {
    struct Word {
        const char* word;
        Step::Kind kind;
    };
    static const Word words[] = {
        {"undo", Step::Kind::Undo},
        {"reset", Step::Kind::Reset},
        {"delete", Step::Kind::Delete},
        {"delete-up-to", Step::Kind::DeleteUpTo},
        {"zoom-out", Step::Kind::ZoomOut},
        {"zoom-in", Step::Kind::ZoomIn},
        {"full-size", Step::Kind::FullSize},
        {"no-scale", Step::Kind::NoScale},
        {"history-back", Step::Kind::HistoryBack},
        {"history-forward", Step::Kind::HistoryForward},
    };
    step = Step{Step::Kind::Apply, 0, text, {}};
    for (const Word& w : words)
        if (text == QLatin1String(w.word)) {
            step.kind = w.kind;
            return true;
        }
    if (const auto n = number(text, 1, commandSlotCount)) {
        step.value = *n;
        return true;
    }
    struct Prefix {
        const char* prefix;
        Step::Kind kind;
        int lowest;
        int highest;
    };
    static const Prefix prefixes[] = {
        {"select:", Step::Kind::Select, 0, CommandStackModel::lastPosition},
        {"replace:", Step::Kind::Replace, 1, commandSlotCount},
        {"insert:", Step::Kind::Insert, 1, commandSlotCount},
    };
    // The rest of a rules step is a file name, whatever it holds.
    const QLatin1String rules("rules:");
    if (text.startsWith(rules)) {
        step.kind = Step::Kind::Rules;
        step.file = text.mid(rules.size());
        return !step.file.isEmpty();
    }
    for (const Prefix& p : prefixes) {
        const QLatin1String prefix(p.prefix);
        if (!text.startsWith(prefix))
            continue;
        const auto n = number(text.mid(prefix.size()), p.lowest, p.highest);
        if (!n)
            return false;
        step.kind = p.kind;
        step.value = *n;
        return true;
    }
    return false;
}

namespace {

// A device, a pipe or a file this process has open (/dev/stdout sent to a file).
bool isDeviceOrPipe(const QString& name) {
    return isWrittenInPlace(name);
}

} // namespace

namespace {

// The options ornamo-render knows, with their help texts.
struct OptionSet {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption tile{
        {QStringLiteral("t"), QStringLiteral("tile")},
        QStringLiteral("The base tile, any BMP file (default dlazdice/default.bmp)."),
        QStringLiteral("TILE")};
    QCommandLineOption rules{{QStringLiteral("r"), QStringLiteral("rules")},
                             QStringLiteral("The hierarchy file (default default.hrh)."),
                             QStringLiteral("RULES.hrh")};
    QCommandLineOption gap{QStringLiteral("gap"),
                           QStringLiteral("The gap colour (default FFFFFF, white)."),
                           QStringLiteral("RRGGBB")};
    QCommandLineOption crop{
        QStringLiteral("crop"),
        QStringLiteral("How a non-square tile is squared: start cuts away the top or the left "
                       "side (the default), end the bottom or the right side, middle keeps "
                       "the middle."),
        QStringLiteral("start|end|middle")};
    QCommandLineOption full{QStringLiteral("full"),
                            QStringLiteral("Write the full-size mosaic image.")};
    QCommandLineOption shrink{
        QStringLiteral("shrink"),
        QStringLiteral("Write the mosaic image reduced by N (1..65535) instead of the view."),
        QStringLiteral("N")};
    QCommandLineOption placements{
        QStringLiteral("placements"),
        QStringLiteral("Write 'scale tileSize shrinkFactor', then one line per placement: "
                       "'width height x y orientation'."),
        QStringLiteral("FILE")};
    QCommandLineOption list{QStringLiteral("list"), QStringLiteral("Print the loaded commands.")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The picture to write, a .bmp or a .png file (a device or a pipe, such "
                       "as /dev/stdout, gets BMP)."),
        QStringLiteral("OUT.bmp")};
    QCommandLineOption work{{QStringLiteral("w"), QStringLiteral("work")},
                            QStringLiteral("Start from a work file saved by the editor, instead "
                                           "of a tile and a hierarchy file."),
                            QStringLiteral("FILE.ornamo")};
    QCommandLineOption saveWork{QStringLiteral("save-work"),
                                QStringLiteral("Write the work after the steps to a work file."),
                                QStringLiteral("FILE.ornamo")};
    QCommandLineOption rulesOut{
        QStringLiteral("rules-out"),
        QStringLiteral("Write the loaded rules back as a hierarchy file, in the form the reader "
                       "reads best (all or nothing, with the other outputs)."),
        QStringLiteral("FILE.hrh")};
    QCommandLineOption checkRules{
        QStringLiteral("check-rules"),
        QStringLiteral("Check a hierarchy file alone: print its errors, warnings and notes with "
                       "their places, then the commands read. Needs no tile, writes nothing."),
        QStringLiteral("FILE.hrh")};
    QCommandLineOption explain{
        QStringLiteral("explain"),
        QStringLiteral("After the steps, print where the pixel X,Y of the full-size mosaic "
                       "comes from (may be given more than once)."),
        QStringLiteral("X,Y")};
};

void declareOptions(QCommandLineParser& parser, const OptionSet& set) {
    parser.setApplicationDescription(QString::fromUtf8(description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addVersionOption();
    parser.addOptions({set.help, set.tile, set.rules, set.gap, set.crop, set.full, set.shrink,
                       set.placements, set.list, set.output, set.work, set.saveWork, set.rulesOut,
                       set.checkRules, set.explain});
    parser.addPositionalArgument(QStringLiteral("STEP"),
                                 QStringLiteral("The editor's operations, in order."),
                                 QStringLiteral("[STEP...]"));
}

// Qt names the program as it was started, path and all; the usage names the program.
QString usageText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    const qsizetype name = text.indexOf(QLatin1String("Usage: "));
    if (name >= 0) {
        const qsizetype from = name + 7;
        text.replace(from, text.indexOf(QLatin1Char(' '), from) - from,
                     QStringLiteral("ornamo-render"));
    }
    return text;
}

// Each reader takes its options' values into Options; a refused value gives the reason.
using Refusal = std::optional<QString>;

Refusal readTileAndRules(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    if (parser.isSet(set.tile)) {
        options.tile = parser.value(set.tile);
        options.tileGiven = true;
    }
    if (parser.isSet(set.rules)) {
        options.rules = parser.value(set.rules);
        options.rulesGiven = true;
    }
    return std::nullopt;
}

Refusal readGapColor(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    if (!parser.isSet(set.gap))
        return std::nullopt;
    const auto colour = colorFromHex(parser.value(set.gap));
    if (!colour)
        return QStringLiteral("--gap wants six hexadecimal digits RRGGBB, not '%1'")
            .arg(parser.value(set.gap));
    options.gapColor = *colour;
    return std::nullopt;
}

Refusal readCrop(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    if (!parser.isSet(set.crop))
        return std::nullopt;
    const QString choice = parser.value(set.crop);
    if (choice == QLatin1String("start"))
        options.crop = CropChoice::First;
    else if (choice == QLatin1String("end"))
        options.crop = CropChoice::Second;
    else if (choice == QLatin1String("middle"))
        options.crop = CropChoice::Middle;
    else
        return QStringLiteral("--crop wants start, end or middle, not '%1'").arg(choice);
    return std::nullopt;
}

Refusal readPicture(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    if (parser.isSet(set.full) && parser.isSet(set.shrink))
        return QStringLiteral("--full and --shrink exclude each other");
    if (parser.isSet(set.full))
        options.picture = Picture::Full;
    if (parser.isSet(set.shrink)) {
        const auto n = number(parser.value(set.shrink), 1, 65535);
        if (!n)
            return QStringLiteral("--shrink wants a whole number from 1 to 65535, not '%1'")
                .arg(parser.value(set.shrink));
        options.picture = Picture::Shrunk;
        options.shrink = *n;
    }
    return std::nullopt;
}

Refusal readOutputs(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    options.placementsFile = parser.value(set.placements);
    if (parser.isSet(set.placements) && options.placementsFile.isEmpty())
        return QStringLiteral("--placements wants a file name");
    options.list = parser.isSet(set.list);
    options.output = parser.value(set.output);
    if (parser.isSet(set.output) && options.output.isEmpty())
        return QStringLiteral("-o wants a file name");
    // The format follows the name; a device or a pipe (/dev/stdout) takes a BMP picture.
    if (!options.output.isEmpty() &&
        !options.output.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) &&
        !options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !isDeviceOrPipe(options.output))
        return QStringLiteral("-o wants a name ending in .bmp or .png, not '%1'")
            .arg(options.output);
    return std::nullopt;
}

Refusal readWork(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    options.work = parser.value(set.work);
    if (parser.isSet(set.work) && options.work.isEmpty())
        return QStringLiteral("--work wants a file name");
    // A work brings its own tile, rules and gap colour.
    if (parser.isSet(set.work))
        for (const QCommandLineOption* own : {&set.tile, &set.rules, &set.gap, &set.crop})
            if (parser.isSet(*own))
                return QStringLiteral("--work and --%1 exclude each other")
                    .arg(own->names().back());
    options.saveWork = parser.value(set.saveWork);
    if (parser.isSet(set.saveWork) && options.saveWork.isEmpty())
        return QStringLiteral("--save-work wants a file name");
    options.rulesOut = parser.value(set.rulesOut);
    if (parser.isSet(set.rulesOut) && options.rulesOut.isEmpty())
        return QStringLiteral("--rules-out wants a file name");
    return std::nullopt;
}

// A check of a rule file is a run of its own: no tile, no steps, no outputs.
Refusal readCheckRules(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    if (!parser.isSet(set.checkRules))
        return std::nullopt;
    options.checkRules = parser.value(set.checkRules);
    if (options.checkRules.isEmpty())
        return QStringLiteral("--check-rules wants a file name");
    for (const QString& name : parser.optionNames())
        if (!set.checkRules.names().contains(name))
            return QStringLiteral("--check-rules stands alone, without -%1%2")
                .arg(name.size() > 1 ? QStringLiteral("-") : QString(), name);
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("--check-rules stands alone, without steps");
    return std::nullopt;
}

Refusal readExplain(const QCommandLineParser& parser, const OptionSet& set, Options& options) {
    // The last pixel of the largest mosaic.
    constexpr int last = static_cast<int>(maxExtent) - 1;
    for (const QString& text : parser.values(set.explain)) {
        const QStringList xy = text.split(QLatin1Char(','));
        const auto x = xy.size() == 2 ? number(xy[0], 0, last) : std::nullopt;
        const auto y = xy.size() == 2 ? number(xy[1], 0, last) : std::nullopt;
        if (!x || !y)
            return QStringLiteral("--explain wants a point X,Y of the mosaic, two whole numbers "
                                  "from 0 to %1, not '%2'")
                .arg(QString::number(last), text);
        options.explain.push_back({*x, *y, text});
    }
    return std::nullopt;
}

// The start-up files not named are read from the current folder, or else from the installed
// data folder, as the editor reads them.
void findStartFiles(Options& options) {
    if (!options.tileGiven)
        options.tile = startFile(QDir::current(), options.tile);
    if (!options.rulesGiven)
        options.rules = startFile(QDir::current(), options.rules);
}

// Two outputs of one run must be two files: the second would replace the first.
Refusal checkOutputTargets(const Options& options) {
    const std::pair<const QString*, const char*> outputs[] = {
        {&options.output, "-o"},
        {&options.placementsFile, "--placements"},
        {&options.saveWork, "--save-work"},
        {&options.rulesOut, "--rules-out"}};
    for (std::size_t i = 0; i < std::size(outputs); ++i)
        for (std::size_t j = i + 1; j < std::size(outputs); ++j)
            if (!outputs[i].first->isEmpty() && !outputs[j].first->isEmpty() &&
                isSameOutput(*outputs[i].first, *outputs[j].first))
                return QStringLiteral("%1 and %2 name the same file '%3'")
                    .arg(QLatin1String(outputs[i].second), QLatin1String(outputs[j].second),
                         *outputs[i].first);
    return std::nullopt;
}

Refusal readSteps(const QCommandLineParser& parser, Options& options) {
    for (const QString& text : parser.positionalArguments()) {
        Step step{Step::Kind::Apply, 0, text, {}};
        if (!parseStep(text, step))
            return QStringLiteral("unknown step '%1'").arg(text);
        options.steps.push_back(step);
    }
    return std::nullopt;
}

} // namespace

std::variant<Options, HelpRequest, UsageError> parseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    const OptionSet set;
    declareOptions(parser, set);
    const auto usageError = [&](const QString& reason) {
        return UsageError{reason, usageText(parser)};
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(set.help))
        return HelpRequest{usageText(parser)};
    if (parser.isSet(QStringLiteral("version")))
        return HelpRequest{QStringLiteral("ornamo-render " ORNAMO_VERSION "\n")};

    Options options;
    // In this order: the first refused value is the one reported.
    for (const auto read : {readCheckRules, readTileAndRules, readGapColor, readCrop, readPicture,
                            readOutputs, readWork, readExplain})
        if (const Refusal reason = read(parser, set, options))
            return usageError(*reason);
    if (const Refusal reason = readSteps(parser, options))
        return usageError(*reason);
    if (const Refusal reason = checkOutputTargets(options))
        return usageError(*reason);
    findStartFiles(options);
    return options;
}

} // namespace ornamo::cli
