#pragma once

// Commands written back as the text of a hierarchy file.

#include "hierarchy.h"

#include <string>

namespace ornamo {

/// Why commands cannot be written so that reading the text gives them back.
enum class RulesWriteFailure {
    None,
    EmptyName,          ///< empty lines before a name are skipped, so the name would be lost
    NameWithLineEnd,    ///< a byte 10 would end the name line
    NameWithEndOfText,  ///< a byte 26 (Ctrl+Z) ends the text
    NameTooLong,        ///< longer than hierarchyLineLimit
    ValueOutOfRange,    ///< a part field outside 0..65535, which the file keeps as 16 bits
    UnknownOrientation, ///< an orientation value above 7
    TooLong,            ///< the text would pass hierarchyFileLimit
};

struct RulesWriteResult {
    RulesWriteFailure failure = RulesWriteFailure::None;
    int record = 0;    ///< the 1-based record that cannot be written
    std::string bytes; ///< the text when written; empty otherwise
};

/// The text of slots 1..count (count from 0 to 12) in the form the reader reads best: per
/// record the name line byte for byte, "scale: N", "item: P", one line "x y width height
/// KEYWORD" per part, and an empty line between records; lines end in LF, but a name that
/// ends in a CR gets a CR LF, of which the reader takes the CR off again. Reading the text
/// with readHierarchy() gives the same names and patterns in slots 1..count and no failure.
/// Commands that could not come back so are not written: the result names the first such
/// record and why.
RulesWriteResult writeHierarchy(const CommandSlots& commands, int count);

} // namespace ornamo
