#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ornamo {

/// A 24-bit colour as 0x00BBGGRR: the low byte is red, the next green, the third blue.
using Color = std::uint32_t;

constexpr std::uint8_t redOf(Color c) {
    return static_cast<std::uint8_t>(c & 0xFFu);
}
constexpr std::uint8_t greenOf(Color c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFFu);
}
constexpr std::uint8_t blueOf(Color c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFFu);
}
constexpr Color makeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Color{red} | (Color{green} << 8) | (Color{blue} << 16);
}

/// A 24-bit image: each row holds `width` R,G,B byte triples, rows padded to a multiple of four
/// bytes, the layout of QImage::Format_RGB888, so a window can wrap the pixels without a copy.
///
/// Sizes that cannot be allocated (or whose byte count would overflow) throw std::bad_alloc
/// before anything changes. A bitmap keeps its buffer when it shrinks, so images that are
/// redrawn at similar sizes do not pay for fresh pages each time; large buffers ask the kernel
/// for transparent huge pages.
class Bitmap {
public:
    Bitmap() = default;
    /// A width x height image filled with `fill`. Negative sizes count as 0.
    Bitmap(int width, int height, Color fill = 0);
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    ~Bitmap() = default;

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }
    /// Bytes from one row to the next: 3 x width rounded up to a multiple of 4.
    std::ptrdiff_t stride() const { return stride_; }
    /// Bytes the buffer holds now, which may exceed stride x height after a shrink.
    std::size_t capacityBytes() const { return capacity_; }

    /// Bytes a width x height image takes, or 0 when that would overflow.
    static std::size_t bytesFor(std::int64_t width, std::int64_t height);
    static std::ptrdiff_t strideFor(int width) {
        return (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t{3};
    }

    /// Row y (0 = top). Checked in debug builds.
    std::uint8_t* row(int y);
    const std::uint8_t* row(int y) const;
    std::uint8_t* bits() { return data_.get(); }
    const std::uint8_t* bits() const { return data_.get(); }

    /// The colour at (x, y), which must lie inside the image.
    Color pixel(int x, int y) const;
    void setPixel(int x, int y, Color c);

    /// Changes the size keeping the top-left content; pixels gained take `fill`.
    void resize(int width, int height, Color fill);
    /// Changes the size without keeping anything: every pixel must be written afterwards.
    /// The buffer is reused when it is large enough.
    void resizeForOverwrite(int width, int height);
    /// Gives the buffer back; the image becomes 0 x 0.
    void release();

    void fill(Color c);
    /// Fills the rectangle (x, y, w, h), clipped to the image.
    void fillRect(int x, int y, int w, int h, Color c);
    /// Opaque copy of `source` with its top-left corner at (x, y), clipped to this image;
    /// the offset may be negative.
    void draw(const Bitmap& source, int x, int y);

    /// Same size and the same pixels (row padding ignored).
    friend bool operator==(const Bitmap& a, const Bitmap& b);

private:
    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    void allocate(std::size_t bytes);

    std::unique_ptr<std::uint8_t[], Free> data_;
    std::size_t capacity_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::ptrdiff_t stride_ = 0;
};

/// Fills `count` pixels from `dst` with the colour's R,G,B triple.
void fillPixels(std::uint8_t* dst, std::size_t count, Color c);

} // namespace ornamo
