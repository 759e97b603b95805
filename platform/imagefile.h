#pragma once

// Reading image files into engine bitmaps, and the formats pictures are written in.

#include "bitmap.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

namespace ornamo {

enum class ImageFileFormat { Bmp, Png };

/// Reads a Windows bitmap file (every header version, 1, 4, 8, 16, 24 and 32 bits, RLE, top-down
/// rows), whatever the file's extension, with exact 8-bit colours: 5- and 6-bit channels of
/// 16-bit files are scaled to the full 0..255 range. Pixels that a damaged file never sets get a
/// fixed colour (black, or the palette's first colour), so the same file always gives the same
/// pixels. nullopt when the file cannot be opened or read, is not a bitmap, has no pixels, is
/// wider or higher than 65535, is larger than Qt's image allocation limit, or holds a
/// run-length stream that runs on past its data. A FIFO that no one writes to reads as empty
/// at once rather than being waited for; a name holding U+FFFD (the decoded form of bytes that
/// are not UTF-8) is refused, as it stands for another file.
std::optional<Bitmap> loadBitmapFile(const QString& path);

/// The same, reading the bitmap from a device already open for reading, from its current
/// position.
std::optional<Bitmap> loadBitmapFile(QIODevice& device);

/// The same, reading the bitmap from the bytes of a file held in memory.
std::optional<Bitmap> loadBitmapFile(const QByteArray& bytes);

/// Reads a PNG file (1 to 16 bits, grey, colour or palette, interlaced or not) as a tile: 16-bit
/// samples are scaled to 8 bits, v x 255 / 65535 rounded, and pixels with alpha (an alpha
/// channel, or a transparent colour) are composited on `background`, each channel c x a +
/// background x (max - a) over max, rounded, in the file's own depth before the scaling. The
/// same limits as bitmap files: nullopt when the file cannot be opened or read, is not a PNG,
/// is damaged (a bad checksum, cut short), has no pixels, is wider or higher than 65535, or
/// larger than Qt's image allocation limit; sizes are checked from the header before any pixel
/// is decoded. Rows are decoded one at a time into the bitmap (an interlaced file is decoded
/// whole). Names holding U+FFFD and FIFOs are handled as by loadBitmapFile.
std::optional<Bitmap> loadPngFile(const QString& path, Color background);
std::optional<Bitmap> loadPngFile(QIODevice& device, Color background);

/// A tile file of either kind: a PNG (known by its signature, whatever the extension) through
/// loadPngFile, anything else through loadBitmapFile.
std::optional<Bitmap> loadTileFile(const QString& path, Color background);

} // namespace ornamo
