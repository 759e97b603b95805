#pragma once

namespace ornamo {

/// A rectangle of view pixels: columns [x, x + width), rows [y, y + height).
struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const ViewRect&, const ViewRect&) = default;
};

} // namespace ornamo
