#pragma once

// The zoom of the view: the reduction factor shrinkFactor doubled, halved or reset, and the
// "Neškáluj" switch. Shared by the window and ornamo-render so both follow the same rules.

#include <cstdint>
#include <limits>
#include <optional>

namespace ornamo {

/// "Zmenši": twice the factor when that is below 256 (so 128 and above give nothing, and 0
/// stays 0); nullopt means refuse with messages::zoomPointless and change nothing. The
/// doubling is exact (done in 64 bits), so a very negative factor is refused too.
constexpr std::optional<std::int32_t> zoomedOut(std::int32_t shrinkFactor) {
    const std::int64_t doubled = std::int64_t{shrinkFactor} * 2;
    if (doubled < 256 && doubled >= std::numeric_limits<std::int32_t>::min())
        return static_cast<std::int32_t>(doubled);
    return std::nullopt;
}

/// "Zväčši": half the factor, truncating, when it is above 1; nullopt (nothing to do, no
/// message, no redraw) at 1 or below.
constexpr std::optional<std::int32_t> zoomedIn(std::int32_t shrinkFactor) {
    if (shrinkFactor > 1)
        return shrinkFactor / 2;
    return std::nullopt;
}

/// Numeric keypad *: the factor of the unreduced view.
inline constexpr std::int32_t fullSizeFactor = 1;

/// "Neškáluj": the switch flips and the factor becomes 1. The view is reduced again only when
/// the switch went on (`redraw`); switched off, the view keeps its picture until the next render.
struct NoScaleToggle {
    bool noScale;
    std::int32_t shrinkFactor;
    bool redraw;
};
constexpr NoScaleToggle toggledNoScale(bool noScale) {
    return {!noScale, 1, !noScale};
}

} // namespace ornamo
