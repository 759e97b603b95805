#pragma once

// Work files (.ornamo): a JSON document with everything needed to rebuild a work exactly.
//
//   {
//     "format": "ornamo-work", "version": 2,
//     "tile": {"bmp": BASE64},                       the square base tile as a 24-bit BMP file
//     "rules": {"fileName": "default.hrh", "bytes": BASE64},
//     "gapColor": "#ffffff",
//     "stack": [{"command": 1, "name": NAME}, ...],  oldest first
//     "list": {"selected": 0, "caption": NAME, "editText": NAME},
//     "view": {"shrinkFactor": 4, "noScale": false, "factor": 4, "factorNoScale": false,
//              "scrollX": 0, "scrollY": 0},
//     "check": "0123456789abcdef"                    workCheck() of the work, hexadecimal
//   }
//
// Version 1 files (whose check is the placementCheck() alone) are still read. From version 2
// on the tile and the rules must be the base64 the writer writes, and the tile the 24-bit file
// the writer makes of its pixels, so that every byte of them is covered by the check.
//
// NAME is the name's bytes as a string when they are valid UTF-8, otherwise {"base64": BASE64},
// so that names in any code page come back byte for byte. Unknown fields are ignored (up to
// 64 KiB each); a missing field, or one of the wrong kind or out of its range, or anything larger
// than a valid file holds (WorkFileScanner), makes the file damaged.

#include "refusal.h"
#include "work.h"

#include <QByteArray>
#include <QString>

namespace ornamo {

class OutputFile;

/// The largest work file read: a tile as large as a tile file may be, in base64, and the rest.
inline constexpr qint64 workFileLimit = qint64{320} << 20;

/// The bytes of the work file of `document`.
QByteArray workFileBytes(const WorkDocument& document);

/// Reads the bytes of a work file into `document`; on failure `document` is left unchanged. The
/// bytes are looked over by a WorkFileScanner before they are parsed, so that what a file
/// claims beyond what a valid one holds costs nothing. The embedded tile goes through the tile
/// loader, with the limits of a tile file.
WorkFileFailure parseWorkFile(const QByteArray& bytes, WorkDocument& document);

/// Reads the work file at `path` (a regular file of at most workFileLimit bytes) with
/// parseWorkFile(): a larger file is TooLarge from its size, before it is read, and the bytes
/// are scanned in pieces before any is kept. A name that is no regular file (a folder, a device,
/// a pipe), or that holds U+FFFD (bytes that were not UTF-8), is OpenFailed at once, without
/// waiting on it. Touches no window: it may run on any thread.
WorkFileFailure readWorkFile(const QString& path, WorkDocument& document);

/// Writes the work file into `file`, opened by the caller, who commits it (alone, or with other
/// outputs all or none). False when it could not be written.
bool writeWorkFile(OutputFile& file, const WorkDocument& document);

/// Writes the work file all or nothing: an existing file stays as it was when anything fails.
bool saveWorkFile(const QString& path, const WorkDocument& document);

} // namespace ornamo
