#pragma once

// What a read of a hierarchy file has to say about its text beside the slots it fills: the
// first format error with its place and what was expected and found, the lines the reader
// accepts but a writer hardly meant, and grid cells no part covers. Typed values only;
// engine/work/rulemessages.h turns them into the program's texts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornamo {

enum class DiagnosticKind { Error, Warning, Note };

/// The value of a record a diagnostic is about.
enum class RuleField { None, GridSize, PartCount, X, Y, Width, Height, Orientation };

/// How a number failed to read.
enum class NumberFault {
    None,
    Missing,       ///< nothing where the number should stand
    NoDigits,      ///< a sign or a hexadecimal prefix with no digit after it (`found`)
    BadCharacter,  ///< a byte that cannot stand in the number (`found` starts with it)
    TrailingBlank, ///< blanks after the number (`found` is the rest of the line)
    OutOfRange,    ///< beyond the signed 32-bit range, or a hexadecimal number beyond 32 bits
};

enum class RuleProblem {
    // Errors: reading stops and the record is dropped.
    LineTooLong,        ///< a line longer than `limit` bytes; the column is the first byte beyond
    TextTooLong,        ///< the records reach beyond `limit` bytes of text
    MissingLine,        ///< the text ends where the `field` line should stand
    BadNumber,          ///< the `field` value does not read (`number` says how)
    NegativePartCount,  ///< `value` parts
    MissingPart,        ///< the text ends before part `part` of `count`
    UnknownOrientation, ///< the keyword of part `part` is `found`
    MissingOrientation, ///< part `part` has no keyword on the line of its fourth integer
    // Warnings: read as the file says, but hardly meant.
    LabelTookDigit,  ///< the sixth byte of the `field` line, `found`, was skipped with the label
    ValueTruncated,  ///< the `field` value `value` is stored as its low 16 bits, `limit`
    GridSizeZero,    ///< grid size 0: applying the command is refused
    PartWithoutArea, ///< part `part` has the `field` (width or height) 0 and draws nothing
    FirstPartWithoutArea, ///< the first part's `field` is 0: undo cannot divide by it, so applying
                          ///< the command is refused
    PartOutsideGrid, ///< part `part` reaches to `value` on the `field` axis (X: columns, Y: rows),
                     ///< beyond the grid of `limit`
    NoParts,         ///< a command without parts: applying it is refused
    ExtraRecords,    ///< the text goes on after the twelfth record; nothing more is read
    BlankName,       ///< the name line holds only blanks
    NameAtEnd, ///< a name on the last line with nothing after it: it is dropped, as it would be
               ///< in any file
    // Notes.
    UncoveredCells, ///< `value` of the `limit` cells of the grid no part covers; the first in
                    ///< column `cellX`, row `cellY` (counted from 0)
};

/// One diagnostic. `line` and `column` are 1-based, the column counted in bytes of the line;
/// `record` is the 1-based number of the record it belongs to (0 for none). `found` is a short
/// printable excerpt of the text (see printableExcerpt()).
struct RuleDiagnostic {
    DiagnosticKind kind = DiagnosticKind::Error;
    RuleProblem problem = RuleProblem::BadNumber;
    int line = 1;
    int column = 1;
    int record = 0;
    RuleField field = RuleField::None;
    NumberFault number = NumberFault::None;
    int part = 0;  ///< 1-based
    int count = 0; ///< the parts the item line promises
    std::int64_t value = 0;
    std::int64_t limit = 0;
    std::int64_t cellX = 0;
    std::int64_t cellY = 0;
    std::string found;

    friend bool operator==(const RuleDiagnostic&, const RuleDiagnostic&) = default;
};

/// The diagnostics of one read, in the order of their places. Past `keptLimit` warnings and
/// notes, further ones are only counted in `omitted`; the error is always kept.
struct RuleDiagnostics {
    static constexpr std::size_t keptLimit = 200;
    std::vector<RuleDiagnostic> list;
    std::size_t omitted = 0;

    bool hasError() const;
};

/// At most `limit` characters of `text` as printable UTF-8: valid UTF-8 sequences of printable
/// characters are kept, a tab becomes "\t", other control bytes and bytes that are not UTF-8
/// become "\xNN" (hexadecimal, capitals), a backslash "\\"; a cut text ends in "…".
std::string printableExcerpt(std::string_view text, std::size_t limit = 24);

} // namespace ornamo
