#pragma once

// Writing test images as files, through the program's own picture writers.

#include "bitmap.h"
#include "picturefile.h"
#include "picturesource.h"

#include <QString>

namespace ornamo::testimages {

/// Writes `image` as a 24-bit BMP file at `path`; false on any failure and for an empty image.
inline bool saveBitmapFile(const Bitmap& image, const QString& path) {
    return savePicture(path, BitmapPicture(image), ImageFileFormat::Bmp);
}

} // namespace ornamo::testimages
