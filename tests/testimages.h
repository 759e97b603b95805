#pragma once

// Test images shared by the engine, file and window tests.

#include "bitmap.h"
#include "mosaicview.h"
#include "ornamo.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace ornamo::testimages {

/// A w x h image of random colours from `rng`, biased toward the ends of the channels, where
/// block sums are largest and the exact divisions tightest: each image has its own share of
/// channels at 255 (none, a quarter or three quarters) and at 0 (none or a quarter), the rest
/// uniform.
inline Bitmap randomImage(int w, int h, std::mt19937& rng) {
    const std::uint32_t whites = std::array<std::uint32_t, 3>{0, 1, 3}[rng() % 3];
    const std::uint32_t blacks = rng() % 2;
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t channels[3];
            for (std::uint8_t& c : channels) {
                const std::uint32_t r = rng(), quarter = r & 3;
                c = quarter < whites                       ? 255
                    : quarter == 3 && blacks && whites < 3 ? 0
                                                           : static_cast<std::uint8_t>(r >> 8);
            }
            b.setPixel(x, y, makeColor(channels[0], channels[1], channels[2]));
        }
    return b;
}

/// The whole view, read through MosaicView::read() as the window and the writers read it.
inline Bitmap wholeView(const MosaicView& view) {
    Bitmap image;
    image.resizeForOverwrite(view.side(), view.side());
    view.read({0, 0, view.side(), view.side()}, image.bits(), image.stride());
    return image;
}

/// The full-size image of `m`, drawn the plain way for the tests that need no renderer of their
/// own: the gap colour, then every placement in list order, each pixel of its tile image a
/// width x height block from (x, y), clipped to the mosaic.
inline Bitmap plainMosaic(const Mosaic& m) {
    const auto side = static_cast<int>(m.extent());
    Bitmap image(side, side, m.gapColor);
    for (const Placement& p : m.placements) {
        const auto orientation = static_cast<unsigned>(p.orientation);
        if (!m.tiles || orientation > 7 || p.width <= 0 || p.height <= 0)
            continue;
        const Bitmap tile = m.tiles->image(orientation);
        for (int ty = 0; ty < tile.height(); ++ty)
            for (int tx = 0; tx < tile.width(); ++tx) {
                const std::int64_t x = p.x + std::int64_t{tx} * p.width;
                const std::int64_t y = p.y + std::int64_t{ty} * p.height;
                const std::int64_t left = std::max<std::int64_t>(x, 0);
                const std::int64_t top = std::max<std::int64_t>(y, 0);
                const std::int64_t right = std::min<std::int64_t>(x + p.width, side);
                const std::int64_t bottom = std::min<std::int64_t>(y + p.height, side);
                if (left < right && top < bottom)
                    image.fillRect(static_cast<int>(left), static_cast<int>(top),
                                   static_cast<int>(right - left), static_cast<int>(bottom - top),
                                   tile.pixel(tx, ty));
            }
    }
    return image;
}

/// Every pixel tells where it came from: red = column, green = row (both mod 256), blue fixed.
inline Bitmap numberedImage(int w, int h, std::uint8_t blue = 0x5A) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y,
                       makeColor(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), blue));
    return b;
}

} // namespace ornamo::testimages
