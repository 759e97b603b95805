#pragma once

// The hierarchy file (.hrh): up to twelve commands, each a name, a grid size and a list of
// parts, read into the twelve command slots of the editor.

#include "ornamo.h"
#include "rulediagnostics.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace ornamo {

/// The name of an empty slot, which its button shows as it is. A command read from a file may
/// have the same name; an empty slot also has no parts.
inline constexpr std::string_view emptySlotName = "--";

/// One command slot. `pattern.scale` is the grid size N (the grid has N x N cells) and
/// `pattern.placements` the parts in file order, in cells; the pattern's other fields are
/// unused. An empty slot is named emptySlotName and has no parts.
///
/// `name` holds the bytes of the name line as read (blanks kept, no decoding): the file is
/// 8-bit text, and platform/names.h turns it into display text.
struct Command {
    std::string name{emptySlotName};
    Mosaic pattern;
};

/// The number of command slots (and of command buttons, and of records a hierarchy file holds);
/// slots are numbered from 1 to commandSlotCount.
inline constexpr int commandSlotCount = 12;

/// The slots; the command of button i + 1 is commands[i].
using CommandSlots = std::array<Command, commandSlotCount>;

/// Why a hierarchy read ended early.
enum class HierarchyFailure {
    None,       ///< read to the end, or to the twelfth record
    BadFormat,  ///< a faulty record; the ones before it were kept
    OpenFailed, ///< the file could not be opened or read; the slots were left unchanged
};

/// What a read did: `count` commands are in slots 1..count; `failure` says why the read ended
/// early (messages::text() gives the text the window shows for it).
struct HierarchyResult {
    int count = 0;
    HierarchyFailure failure = HierarchyFailure::None;
};

/// The largest value a part field keeps in a file (16 bits).
inline constexpr std::int32_t largestPartField = 65535;

/// Limits no real hierarchy file reaches: the bytes of the text (up to a Ctrl+Z) and of one line
/// (its LF not counted). The reader never reads past them.
inline constexpr std::size_t hierarchyFileLimit = std::size_t{1} << 20;
inline constexpr std::size_t hierarchyLineLimit = std::size_t{1} << 16;

/// Reads the bytes of a hierarchy file into all twelve slots: slots 1..n get the n records
/// read, in file order, and the others are emptied.
///
/// Lines end in LF or CR LF; a byte 26 (Ctrl+Z) ends the text. Each record is a name line
/// (empty lines before it are skipped), a scale line and an item line (the first six bytes of
/// each are skipped, the rest must be exactly one integer: optional leading spaces, then a
/// signed decimal in the signed 32-bit range or a hexadecimal number after "$", "x", "X",
/// "0x" or "0X" that fits in 32 bits), then as many parts as the item line says: four integer
/// tokens (x, y, width, height; tokens are split at bytes 0..32) and an orientation keyword,
/// the rest of the fourth integer's line with spaces trimmed, matched with its case.
/// Grid sizes and part fields keep the low 16 bits of their values, taken unsigned.
///
/// Reading stops at the end of the text, after the twelfth record (a further record is not
/// read), or at the first fault; a fault, a negative part count, a part count larger than the
/// parts the text can hold, and a record that needs text beyond hierarchyFileLimit or a line
/// longer than hierarchyLineLimit included, drops the faulty record, keeps the ones before it
/// and gives HierarchyFailure::BadFormat. A name on the last line with nothing
/// after it is dropped without a message. Commands without parts, with grid size 0 or with
/// parts of size 0 are loaded as read (applying them is refused later).
///
/// `diagnostics`, when given, receives what the read has to say about the text (see
/// rulediagnostics.h): the error at the place the read stopped when the result is BadFormat, and
/// the warnings and notes of the records read. They never change what is read: the slots and
/// the result are those of a read without them. After a twelfth record the rest of the text is
/// looked at for a further record (the slots and result stay as said).
HierarchyResult readHierarchy(std::string_view bytes, CommandSlots& commands,
                              RuleDiagnostics* diagnostics = nullptr);

/// Reads the file at `path` with readHierarchy(), taking its bytes only as far as the records
/// need: after the twelfth record, at a fault or at a limit the rest is left unread, so a
/// device or a pipe that never ends is read no further than the limits. When the file cannot
/// be opened or read, the slots are left unchanged and the failure is
/// HierarchyFailure::OpenFailed; `count` is then the number of commands
/// still loaded: the slots up to the last one that is not empty (named "--" and without parts).
/// `bytesRead`, when given, receives the bytes the reader looked at (at most
/// hierarchyFileLimit + 1): readHierarchy() of them gives the same slots and result again. It
/// is left unchanged when the file cannot be opened.
/// Reads the text of the rule file at `path` as loadHierarchyFile() would open it, but whole up
/// to the limit: at most hierarchyFileLimit + 1 bytes, the most any read looks at. readHierarchy()
/// of them gives the slots and result loadHierarchyFile() gives. False when the file cannot be
/// opened or read.
bool readHierarchyText(const std::filesystem::path& path, std::string& text);

HierarchyResult loadHierarchyFile(const std::filesystem::path& path, CommandSlots& commands,
                                  std::string* bytesRead = nullptr);

} // namespace ornamo
