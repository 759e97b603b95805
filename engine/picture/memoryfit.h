#pragma once

// Whether images fit in the memory the machine has: asked before every large buffer of the
// picture, and by the work before it takes a tile.

#include <cstdint>
#include <optional>

namespace ornamo {

/// Bytes the machine can still give to this process without swapping: MemAvailable on Linux,
/// the available physical memory on Windows; nullopt where it cannot be told.
std::optional<std::uint64_t> availableMemory();

/// Whether `needed` bytes of images can be held, given `held` bytes of image buffers that
/// they replace (those are reused or given back). Leaves a margin for the rest of the program;
/// true when the available memory cannot be told.
bool fitsInMemory(std::uint64_t needed, std::uint64_t held = 0);

} // namespace ornamo
