#pragma once

// Showing a view closer than full size: each view pixel as a square block, no smoothing.

#include <cstddef>
#include <cstdint>

namespace ornamo {

/// Writes width x height pixels (RGB, three bytes each) of a picture magnified `factor` times,
/// starting at the magnified pixel (x, y), to `target` (rows `targetStride` bytes apart). Shown
/// pixel (x + i, y + j) is the source pixel ((x + i) / factor, (y + j) / factor); `source`
/// points at the source pixel (x / factor, y / factor), rows `sourceStride` bytes apart, and
/// must hold every source pixel those reach. Only the part asked for is read and written.
void magnifyRegion(const std::uint8_t* source, std::ptrdiff_t sourceStride, int factor, int x,
                   int y, std::uint8_t* target, std::ptrdiff_t targetStride, int width, int height);

} // namespace ornamo
