#pragma once

// Writing pictures to BMP and PNG files band by band, so that no writer holds a whole picture.

#include "imagefile.h"
#include "outputfile.h"
#include "picturesource.h"
#include "progress.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace ornamo {

/// Whether a 24-bit BMP of width x height pixels (both at least 1) stays within the format's
/// 32-bit size fields: 54 header bytes plus the rows, each padded to a multiple of 4 bytes, at
/// most 4 GiB - 1 bytes in all.
bool bmpFits(int width, int height);

/// The 54-byte header (BITMAPFILEHEADER, then BITMAPINFOHEADER) of a bottom-up, uncompressed
/// 24-bit BMP of width x height pixels, which must satisfy bmpFits(): file size, image size
/// (rows padded to 4 bytes), 72 pixels per inch, no palette. The pixels follow it directly.
std::array<std::uint8_t, 54> bmpHeader(int width, int height);

/// The whole 24-bit BMP file of an image held in memory, which must satisfy bmpFits(): bmpHeader()
/// and the rows as writePicture() writes them.
QByteArray bmpFileBytes(const Bitmap& image);

/// Writes the picture to the open file in the format (BMP: 24 bits, rows bottom-up; PNG:
/// 8-bit RGB, not interlaced), pulling it from the source a band of a few MB at a time; the
/// file is written from start to end, so a pipe or a device will do. Does not finish or commit
/// the file. False, before anything is written, for an empty picture and for a BMP beyond
/// bmpFits(); false when memory for a band cannot be had (also when the source throws
/// std::bad_alloc), and when the file cannot be written; the file is then discarded.
/// `progress`, when given, only gets step() calls (0..100, never decreasing, about every
/// 30 ms); showing and hiding the bar is the caller's business. When its cancelled() turns
/// true after a step, the write stops and fails like any other.
bool writePicture(OutputFile& file, const PictureSource& picture, ImageFileFormat format,
                  Progress* progress = nullptr);

/// Opens `path` as an OutputFile, writes the picture and commits it: all or nothing, an
/// existing file stays exactly as it was when anything fails. The size checks of writePicture
/// come before the file is opened.
bool savePicture(const QString& path, const PictureSource& picture, ImageFileFormat format,
                 Progress* progress = nullptr);

} // namespace ornamo
