#pragma once

// The zoom of the view: the reduction factor shrinkFactor doubled, halved or reset, and the
// "Neškáluj" switch. Shared by the window and ornamo-render so both follow the same rules.

#include <cstdint>
#include <limits>
#include <optional>

namespace ornamo {

/// The reduction factors the zoom goes to stay below this one (256): "Zmenši" refuses to reach
/// it and "Prispôsob oknu" stops short of it.
inline constexpr std::int32_t shrinkFactorLimit = 256;

/// "Zmenši": twice the factor when that is below shrinkFactorLimit (so half the limit and above
/// give nothing, and 0 stays 0); nullopt means refuse with messages::zoomPointless and change
/// nothing. The doubling is exact (done in 64 bits), so a very negative factor is refused too.
constexpr std::optional<std::int32_t> zoomedOut(std::int32_t shrinkFactor) {
    const std::int64_t doubled = std::int64_t{shrinkFactor} * 2;
    if (doubled < shrinkFactorLimit && doubled >= std::numeric_limits<std::int32_t>::min())
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

/// How the window shows the view: reduced by `factor` (0 counts as 1), then every view pixel
/// as a square block of `magnification` shown pixels.
struct ViewScale {
    std::int32_t factor = 1;
    int magnification = 1;
};

/// Ctrl++ and Ctrl+wheel go past full size by these magnifications, doubling up to the last.
inline constexpr int largestMagnification = 16;

/// Where a scroll bar goes when the scale changes from `before` to `after` so that the mosaic
/// point shown at `anchor` (shown pixels from the picture's edge, the bar at `scroll`) stays
/// there: the middle of the anchor's shown pixel, mapped through the mosaic, lands in the shown
/// pixel under the anchor (rounding down), and the bar moves by what that needs. Never below 0;
/// the bar itself pulls back a value above its maximum.
constexpr std::int64_t anchoredScroll(std::int64_t scroll, int anchor, ViewScale before,
                                      ViewScale after) {
    const std::int64_t factorBefore = before.factor > 1 ? before.factor : 1;
    const std::int64_t factorAfter = after.factor > 1 ? after.factor : 1;
    const std::int64_t numerator = (2 * (scroll + anchor) + 1) * factorBefore * after.magnification;
    const std::int64_t denominator = 2 * std::int64_t{before.magnification} * factorAfter;
    const std::int64_t moved = numerator / denominator - anchor;
    return moved > 0 ? moved : 0;
}

} // namespace ornamo
