#pragma once

// The mean of a block of pixels from the sum of one channel over it, exact: the sum divided by
// the block's pixel count and truncated, as both ways of computing a view and the reduction of
// a whole image give it.

#include <cstdint>

namespace ornamo::detail {

/// s div d for every channel sum 0 <= s < 256 d of a block of d pixels.
///
/// For blocks of at most 2^22 pixels (2048 x 2048) the division is also offered as a
/// multiplication, which vectorises: with k the least such that 2^k >= 512 d^2 and
/// m = ceil(2^k / d), (s m) >> k == s div d for every such s, and so is s x (m 2^-k) computed
/// in double precision and truncated.
///
/// Proof. m = (2^k + e) / d with 0 <= e < d, so s m / 2^k = s / d + s e / (d 2^k), and the
/// excess s e / (d 2^k) < 256 d x d / (d x 512 d^2) = 1 / (2 d). s / d lies at least 1 / d
/// below the next integer, so adding the excess leaves it more than 1 / (2 d) below: the
/// integer quotient truncates to s div d. In double precision m 2^-k is exact (m <= 1024 d
/// < 2^53) and the product is off by at most 2^-53 of itself, below 2^-44 near 256, far less
/// than the 1 / (2 d) >= 2^-23 left: truncated, it too gives s div d.
class ExactMean {
public:
    static constexpr std::uint64_t largestMultipliedBlock = std::uint64_t{1} << 22;

    explicit constexpr ExactMean(std::uint64_t pixels) : pixels_(pixels) {
        if (pixels > largestMultipliedBlock)
            return;
        while ((std::uint64_t{1} << shift_) < 512 * pixels * pixels)
            ++shift_;
        multiplier_ = ((std::uint64_t{1} << shift_) + pixels - 1) / pixels;
    }

    /// Whether multiplier() and shift() are there (blocks of at most 2^22 pixels).
    constexpr bool multiplies() const { return multiplier_ != 0; }
    /// m and k: (s m) >> k == s div d.
    constexpr std::uint64_t multiplier() const { return multiplier_; }
    constexpr int shift() const { return shift_; }
    /// m 2^-k: s x this in double precision, truncated, is s div d.
    double reciprocal() const { return static_cast<double>(multiplier_) / double(1ull << shift_); }

    /// s div d.
    constexpr std::uint8_t operator()(std::uint64_t sum) const {
        return static_cast<std::uint8_t>(sum / pixels_);
    }

private:
    std::uint64_t pixels_;
    std::uint64_t multiplier_ = 0;
    int shift_ = 0;
};

} // namespace ornamo::detail
