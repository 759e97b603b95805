#pragma once

// Display text for the 8-bit names of commands.

#include <QString>

#include <string_view>

namespace ornamo {

/// The display text of a command name's bytes: the bytes decoded as UTF-8 when they are valid
/// UTF-8 (plain ASCII included), otherwise as Windows-1250, the Central European code page
/// hand-written hierarchy files use. Every byte string gives some text; none is refused.
QString displayName(std::string_view nameBytes);

} // namespace ornamo
