#pragma once

// Rectangles of pixels, and what a placement draws.

#include "ornamo.h"

#include <algorithm>
#include <cstdint>

namespace ornamo {

/// A rectangle of pixels, of the full-size image or of a view: columns [left, right), rows
/// [top, bottom). 64-bit, since a stretched placement may reach far past the mosaic.
struct PixelArea {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;

    bool isEmpty() const { return left >= right || top >= bottom; }
    /// The pixels in both; empty when they do not meet.
    PixelArea intersected(const PixelArea& other) const {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
    /// The same pixels with (x, y) as the origin.
    PixelArea relativeTo(std::int64_t x, std::int64_t y) const {
        return {left - x, top - y, right - x, bottom - y};
    }
    friend bool operator==(const PixelArea&, const PixelArea&) = default;
};

/// What a placement draws: the tile image it shows and its whole rectangle, before clipping.
struct Drawing {
    TileView tile; // empty when the placement draws nothing
    PixelArea area;

    /// Whether the placement draws anything.
    explicit operator bool() const { return !tile.isEmpty(); }
};

/// What `p` draws from `tiles`: nothing for an orientation above 7, a width or height of 0 or
/// less, or a missing or empty tile image; otherwise the tile image of its orientation, over
/// [x, x + width x tile width) x [y, y + height x tile height).
inline Drawing drawnArea(const Placement& p, const TileSet* tiles) {
    const auto o = static_cast<unsigned>(p.orientation);
    if (!tiles || o > 7 || p.width <= 0 || p.height <= 0)
        return {};
    const TileView tile = tiles->view(o);
    if (tile.isEmpty())
        return {};
    return {tile,
            {p.x, p.y, std::int64_t{p.x} + std::int64_t{p.width} * tile.width,
             std::int64_t{p.y} + std::int64_t{p.height} * tile.height}};
}

} // namespace ornamo
