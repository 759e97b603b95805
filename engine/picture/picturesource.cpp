#include "picturesource.h"

#include <cstring>

namespace ornamo {

void BitmapPicture::readRows(int firstRow, int rowCount, std::uint8_t* pixels,
                             std::ptrdiff_t stride) const {
    const auto bytes = static_cast<std::size_t>(image_.width()) * 3;
    for (int y = 0; y < rowCount; ++y)
        std::memcpy(pixels + y * stride, image_.row(firstRow + y), bytes);
}

} // namespace ornamo
