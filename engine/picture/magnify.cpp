#include "magnify.h"

#include <cstring>

namespace ornamo {

void magnifyRegion(const std::uint8_t* source, std::ptrdiff_t sourceStride, int factor, int x,
                   int y, std::uint8_t* target, std::ptrdiff_t targetStride, int width,
                   int height) {
    const int phaseX = x % factor;
    const int phaseY = y % factor;
    const std::uint8_t* firstOfBlock = nullptr;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* out = target + row * targetStride;
        // The first shown row of a source row is built; the others of its block are copies.
        if (row > 0 && (phaseY + row) % factor != 0) {
            std::memcpy(out, firstOfBlock, 3 * static_cast<std::size_t>(width));
            continue;
        }
        const std::uint8_t* in = source + ((phaseY + row) / factor) * sourceStride;
        int left = factor - phaseX; // shown pixels still to come from the current source pixel
        for (int column = 0; column < width; ++column) {
            std::memcpy(out + 3 * column, in, 3);
            if (--left == 0) {
                in += 3;
                left = factor;
            }
        }
        firstOfBlock = out;
    }
}

} // namespace ornamo
