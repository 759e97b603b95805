#pragma once

// The block-mean reduction of rows of 24-bit pixels, shared by ShrinkBitmap and the view
// renderer, which reduces bands of the mosaic as it draws them.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ornamo::detail {

/// Reduces the rows of one block row (factorY source rows) into one output row of `outWidth`
/// pixels, each the per-channel sum over its factorX x factorY block divided by the block's
/// pixel count, truncated. Keeps scratch for each worker index below `workers`.
class Reducer {
public:
    virtual ~Reducer() = default;
    /// Writes one output row from the factorY source rows from `top`, `stride` bytes apart.
    virtual void row(const std::uint8_t* top, std::ptrdiff_t stride, std::uint8_t* out,
                     int worker) = 0;
    /// The same, a few source rows at a time: adds `rows` rows to the worker's column sums
    /// (starting them afresh when `restart`), and writes the output row once the block's last
    /// row has been added (`last`). Only reducers made with `incremental` have this.
    virtual void addRows(const std::uint8_t* top, std::ptrdiff_t stride, int rows, bool restart,
                         bool last, std::uint8_t* out, int worker) = 0;
};

/// The fastest reducer for these factors (2 x 2 and 3 x 3 blocks have kernels of their own
/// unless `incremental` is asked for). Factors must be at least 2.
std::unique_ptr<Reducer> makeReducer(int factorX, int factorY, int outWidth, int workers,
                                     bool incremental);

} // namespace ornamo::detail
