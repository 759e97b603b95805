#pragma once

// Test images shared by the engine, file and window tests.

#include "bitmap.h"
#include "mosaicview.h"

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
