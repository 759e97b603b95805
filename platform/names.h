#pragma once

// Display text for the 8-bit names of commands, and for the program's own UTF-8 texts; file
// names as the engine opens them.

#include <QString>

#include <filesystem>
#include <string_view>

namespace ornamo {

/// The display text of a command name's bytes: the bytes decoded as UTF-8 when they are valid
/// UTF-8 (plain ASCII included), otherwise as Windows-1250, the Central European code page
/// hand-written hierarchy files use. Every byte string gives some text; none is refused.
QString displayName(std::string_view nameBytes);

/// The program's own texts (the table of messages, the names of keys), which are UTF-8.
QString fromUtf8(std::string_view utf8);

/// The file name `path` as the engine opens it: the bytes Qt opens it by (QFile::encodeName).
std::filesystem::path fileSystemPath(const QString& path);

} // namespace ornamo

namespace ornamo {

/// How the bytes of a rule file are shown as text to edit: as UTF-8 when they are valid UTF-8,
/// otherwise a character per byte, Windows-1250 where the code page has one and a private-use
/// character (U+F700 + byte) where it has none, so that every byte comes back.
enum class RuleTextCoding { Utf8, Windows1250 };

/// The coding rule file bytes are shown in: UTF-8 when they are valid UTF-8.
RuleTextCoding ruleTextCoding(std::string_view bytes);

/// The text of rule file bytes (or of a name of them) in `coding`.
QString ruleText(std::string_view bytes, RuleTextCoding coding);

/// The bytes of a rule text in `coding`: ruleBytes(ruleText(b, c), c) gives b again. A
/// character that Windows-1250 has no byte for becomes "?".
std::string ruleBytes(const QString& text, RuleTextCoding coding);

} // namespace ornamo
