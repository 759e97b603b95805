#pragma once

#include "bitmap.h"

#include <cstddef>
#include <cstdint>

namespace ornamo {

/// A picture that is computed on demand, band by band, so that a writer never needs the whole
/// of it in memory: the full-size mosaic, a view of it, or a plain bitmap.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    /// Writes rows [firstRow, firstRow + rowCount) of the picture, each `width()` R,G,B byte
    /// triples, to `pixels`, one row every `stride` bytes from the top one. Any band may be asked
    /// for, in any order. Throws std::bad_alloc when the memory for it cannot be had.
    virtual void readRows(int firstRow, int rowCount, std::uint8_t* pixels,
                          std::ptrdiff_t stride) const = 0;
};

/// A bitmap held in memory, as a picture source. The bitmap must outlive it.
class BitmapPicture final : public PictureSource {
public:
    explicit BitmapPicture(const Bitmap& image) : image_(image) {}
    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }
    void readRows(int firstRow, int rowCount, std::uint8_t* pixels,
                  std::ptrdiff_t stride) const override;

private:
    const Bitmap& image_;
};

} // namespace ornamo
