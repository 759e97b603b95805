#include "bitmap.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#elif defined(__linux__)
#include <sys/mman.h>
#endif

namespace ornamo {

namespace {

// Buffers this large are aligned to huge pages and the kernel is asked to back them so: a
// fresh 283 MB image otherwise costs several times a memcpy in page faults.
constexpr std::size_t hugePage = std::size_t{2} << 20;
constexpr std::size_t smallAlignment = 64;

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

} // namespace

void Bitmap::Free::operator()(std::uint8_t* p) const {
#if defined(_WIN32)
    _aligned_free(p);
#else
    std::free(p);
#endif
}

std::size_t Bitmap::bytesFor(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0)
        return 0;
    if (width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max())
        return 0;
    const auto stride = static_cast<std::uint64_t>(strideFor(static_cast<int>(width)));
    const auto rows = static_cast<std::uint64_t>(height);
    if (stride > std::numeric_limits<std::uint64_t>::max() / rows)
        return 0;
    const std::uint64_t bytes = stride * rows;
    if (bytes > std::numeric_limits<std::size_t>::max() / 2 ||
        bytes > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max() / 2))
        return 0;
    return static_cast<std::size_t>(bytes);
}

void Bitmap::allocate(std::size_t bytes) {
    const std::size_t alignment = bytes >= hugePage ? hugePage : smallAlignment;
    const std::size_t rounded = roundUp(bytes, alignment);
#if defined(_WIN32)
    void* p = _aligned_malloc(rounded, alignment);
#else
    void* p = std::aligned_alloc(alignment, rounded);
#endif
    if (!p)
        throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (alignment == hugePage)
        madvise(p, rounded, MADV_HUGEPAGE);
#endif
    data_.reset(static_cast<std::uint8_t*>(p));
    capacity_ = rounded;
}

Bitmap::Bitmap(int width, int height, Color fillColor) {
    resizeForOverwrite(width, height);
    fill(fillColor);
}

Bitmap::Bitmap(const Bitmap& other) {
    resizeForOverwrite(other.width_, other.height_);
    if (!isEmpty())
        std::memcpy(data_.get(), other.data_.get(), static_cast<std::size_t>(stride_) * height_);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this != &other) {
        resizeForOverwrite(other.width_, other.height_);
        if (!isEmpty())
            std::memcpy(data_.get(), other.data_.get(),
                        static_cast<std::size_t>(stride_) * height_);
    }
    return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : data_(std::move(other.data_)), capacity_(other.capacity_), width_(other.width_),
      height_(other.height_), stride_(other.stride_) {
    other.capacity_ = 0;
    other.width_ = other.height_ = 0;
    other.stride_ = 0;
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        data_ = std::move(other.data_);
        capacity_ = other.capacity_;
        width_ = other.width_;
        height_ = other.height_;
        stride_ = other.stride_;
        other.capacity_ = 0;
        other.width_ = other.height_ = 0;
        other.stride_ = 0;
    }
    return *this;
}

std::uint8_t* Bitmap::row(int y) {
    assert(y >= 0 && y < height_);
    return data_.get() + static_cast<std::ptrdiff_t>(y) * stride_;
}

const std::uint8_t* Bitmap::row(int y) const {
    assert(y >= 0 && y < height_);
    return data_.get() + static_cast<std::ptrdiff_t>(y) * stride_;
}

Color Bitmap::pixel(int x, int y) const {
    assert(x >= 0 && x < width_);
    const std::uint8_t* p = row(y) + static_cast<std::ptrdiff_t>(x) * 3;
    return makeColor(p[0], p[1], p[2]);
}

void Bitmap::setPixel(int x, int y, Color c) {
    assert(x >= 0 && x < width_);
    std::uint8_t* p = row(y) + static_cast<std::ptrdiff_t>(x) * 3;
    p[0] = redOf(c);
    p[1] = greenOf(c);
    p[2] = blueOf(c);
}

void Bitmap::resizeForOverwrite(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t bytes = bytesFor(width, height);
    if (bytes == 0 && width > 0 && height > 0)
        throw std::bad_alloc();
    if (bytes > capacity_)
        allocate(bytes); // throws before anything changes
    width_ = width;
    height_ = height;
    stride_ = strideFor(width);
}

void Bitmap::release() {
    data_.reset();
    capacity_ = 0;
    width_ = height_ = 0;
    stride_ = 0;
}

void Bitmap::resize(int width, int height, Color fillColor) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    Bitmap grown(width, height, fillColor);
    grown.draw(*this, 0, 0);
    *this = std::move(grown);
}

void fillPixels(std::uint8_t* dst, std::size_t count, Color c) {
    if (count == 0)
        return;
    const std::uint8_t r = redOf(c), g = greenOf(c), b = blueOf(c);
    if (r == g && g == b) {
        std::memset(dst, r, count * 3);
        return;
    }
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    // Doubling copies of the pattern already written.
    std::size_t done = 3;
    const std::size_t total = count * 3;
    while (done < total) {
        const std::size_t n = std::min(done, total - done);
        std::memcpy(dst + done, dst, n);
        done += n;
    }
}

void Bitmap::fill(Color c) {
    fillRect(0, 0, width_, height_, c);
}

void Bitmap::fillRect(int x, int y, int w, int h, Color c) {
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + w, width_);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + h, height_);
    if (left >= right || top >= bottom)
        return;
    const auto count = static_cast<std::size_t>(right - left);
    std::uint8_t* first = row(static_cast<int>(top)) + left * 3;
    fillPixels(first, count, c);
    for (auto yy = top + 1; yy < bottom; ++yy)
        std::memcpy(row(static_cast<int>(yy)) + left * 3, first, count * 3);
}

void Bitmap::draw(const Bitmap& source, int x, int y) {
    if (&source == this) {
        if (x == 0 && y == 0)
            return;
        const Bitmap copy(source);
        draw(copy, x, y);
        return;
    }
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + source.width_, width_);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + source.height_, height_);
    if (left >= right || top >= bottom)
        return;
    const auto bytes = static_cast<std::size_t>(right - left) * 3;
    for (auto yy = top; yy < bottom; ++yy) {
        const std::uint8_t* from = source.row(static_cast<int>(yy - y)) + (left - x) * 3;
        std::memcpy(row(static_cast<int>(yy)) + left * 3, from, bytes);
    }
}

bool operator==(const Bitmap& a, const Bitmap& b) {
    if (a.width_ != b.width_ || a.height_ != b.height_)
        return false;
    const auto bytes = static_cast<std::size_t>(a.width_) * 3;
    for (int y = 0; y < a.height_; ++y)
        if (std::memcmp(a.row(y), b.row(y), bytes) != 0)
            return false;
    return true;
}

} // namespace ornamo
