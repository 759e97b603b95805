#pragma once

#include <cstdint>
#include <optional>

namespace ornamo {

/// Bytes the machine can still give to this process without swapping: MemAvailable on Linux,
/// the available physical memory on Windows; nullopt where it cannot be told.
std::optional<std::uint64_t> availableMemory();

/// Side of the view image for a mosaic image of side `mosaicSide`: the side itself when
/// `noScale` is set; otherwise, with f the low 16 bits of shrinkFactor taken unsigned,
/// 0 when side <= f, the side when f <= 1, and side div f otherwise.
std::int64_t viewSide(std::int64_t mosaicSide, std::int32_t shrinkFactor, bool noScale);

/// Bytes a render needs for its two images: the mosaic image (side x side) and the view.
std::uint64_t renderBytes(std::int64_t mosaicSide, std::int32_t shrinkFactor, bool noScale);

/// Whether `needed` bytes of images can be held, given `held` bytes of image buffers that
/// they replace (those are reused or given back). Leaves a margin for the rest of the program;
/// true when the available memory cannot be told.
bool fitsInMemory(std::uint64_t needed, std::uint64_t held = 0);

} // namespace ornamo
