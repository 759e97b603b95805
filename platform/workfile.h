#pragma once

// Work files (.ornamo): a JSON document with everything needed to rebuild a work exactly.
//
//   {
//     "format": "ornamo-work", "version": 1,
//     "tile": {"bmp": BASE64},                       the square base tile as a 24-bit BMP file
//     "rules": {"fileName": "default.hrh", "bytes": BASE64},
//     "gapColor": "#ffffff",
//     "stack": [{"command": 1, "name": NAME}, ...],  oldest first
//     "list": {"selected": 0, "caption": NAME, "editText": NAME},
//     "view": {"shrinkFactor": 4, "noScale": false, "factor": 4, "factorNoScale": false,
//              "scrollX": 0, "scrollY": 0},
//     "check": "0123456789abcdef"                    placementCheck() of the mosaic, hexadecimal
//   }
//
// NAME is the name's bytes as a string when they are valid UTF-8, otherwise {"base64": BASE64},
// so that names in any code page come back byte for byte. Unknown fields are ignored; a missing
// field, or one of the wrong kind or out of its range, makes the file damaged.

#include "refusal.h"
#include "work.h"

#include <QByteArray>
#include <QString>

namespace ornamo {

/// The largest work file read: a tile as large as a tile file may be, in base64, and the rest.
inline constexpr qint64 workFileLimit = qint64{320} << 20;

/// The bytes of the work file of `document`.
QByteArray workFileBytes(const WorkDocument& document);

/// Reads the bytes of a work file into `document`; on failure `document` is left unchanged. The
/// embedded tile goes through the tile loader, with the limits of a tile file.
WorkFileFailure parseWorkFile(const QByteArray& bytes, WorkDocument& document);

/// Reads the work file at `path` (a regular file of at most workFileLimit bytes) with
/// parseWorkFile(). A name that is no regular file (a folder, a device, a pipe) is OpenFailed
/// at once, without waiting on it.
WorkFileFailure readWorkFile(const QString& path, WorkDocument& document);

/// Writes the work file all or nothing: an existing file stays as it was when anything fails.
bool saveWorkFile(const QString& path, const WorkDocument& document);

} // namespace ornamo
