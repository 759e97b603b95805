#pragma once

// Display text for the 8-bit names of commands, and for the program's own UTF-8 texts.

#include <QString>

#include <string_view>

namespace ornamo {

/// The display text of a command name's bytes: the bytes decoded as UTF-8 when they are valid
/// UTF-8 (plain ASCII included), otherwise as Windows-1250, the Central European code page
/// hand-written hierarchy files use. Every byte string gives some text; none is refused.
QString displayName(std::string_view nameBytes);

/// The program's own texts (the table of messages, the names of keys), which are UTF-8.
QString fromUtf8(std::string_view utf8);

} // namespace ornamo
