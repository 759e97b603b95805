#pragma once

// The command line of ornamo-render: options, and the steps the editor's operations stand for.

#include "bitmap.h"
#include "crop.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <variant>
#include <vector>

namespace ornamo::cli {

/// One editor operation, in the order given.
struct Step {
    enum class Kind {
        Apply,          ///< a command button, `value` 1..12
        Undo,           ///< "Zruš posledný príkaz"
        Reset,          ///< "Reset"
        Select,         ///< choose list position `value` (0 = newest)
        Delete,         ///< "Zruš vybraný príkaz"
        DeleteUpTo,     ///< "Zruš po vybraný príkaz"
        Replace,        ///< "Zameň vybraný príkaz" with rule `value`
        Insert,         ///< "Vlož pred vybraný príkaz" with rule `value`
        ZoomOut,        ///< "Zmenši"
        ZoomIn,         ///< "Zväčši"
        FullSize,       ///< numeric keypad *
        NoScale,        ///< "Neškáluj"
        HistoryBack,    ///< "Späť": takes back the last edit
        HistoryForward, ///< "Znova": does the taken-back edit again
        Rules,          ///< the stack applied again with the rules of the file `file`
    };
    Kind kind;
    int value = 0;
    QString text; ///< as written, for messages
    QString file; ///< the file a step names
};

/// A point of the full-size mosaic whose origin --explain prints.
struct ExplainPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    QString text; ///< as written, for messages
};

/// Which picture is written.
enum class Picture {
    View,   ///< the editor's view: the mosaic image reduced as the steps leave it
    Full,   ///< the mosaic image itself
    Shrunk, ///< the mosaic image reduced by Options::shrink
};

struct Options {
    QString tile = QStringLiteral("dlazdice/default.bmp");
    bool tileGiven = false;
    QString rules = QStringLiteral("default.hrh");
    bool rulesGiven = false;
    Color gapColor = 0xFFFFFF;
    CropChoice crop = CropChoice::First;
    Picture picture = Picture::View;
    int shrink = 1;
    QString placementsFile; ///< empty: none
    bool list = false;
    QString output;     ///< empty: no picture
    QString work;       ///< a work file to start from; empty: the tile and the rules
    QString saveWork;   ///< where to write the work after the steps; empty: nowhere
    QString rulesOut;   ///< where to write the loaded rules back as a .hrh; empty: nowhere
    QString checkRules; ///< a rule file to check alone (nothing else is done); empty: none
    std::vector<Step> steps;
    std::vector<ExplainPoint> explain; ///< in the order given
};

/// --help: the text to print on stdout, exit status 0.
struct HelpRequest {
    QString text;
};

/// A fault in the command line: the one-line reason and the usage text, exit status 2.
struct UsageError {
    QString reason;
    QString usage;
};

/// Parses the arguments (the program name first).
std::variant<Options, HelpRequest, UsageError> parseArguments(const QStringList& arguments);

/// One step as written ("7", "undo", "select:2", "replace:3", "rules:new.hrh", ...); false
/// when it is none.
bool parseStep(const QString& text, Step& step);

} // namespace ornamo::cli
