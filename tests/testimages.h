#pragma once

// Test images shared by the engine, file and window tests.

#include "bitmap.h"
#include "mosaicview.h"

#include <cstdint>
#include <random>

namespace ornamo::testimages {

/// A w x h image of random colours from `rng`.
inline Bitmap randomImage(int w, int h, std::mt19937& rng) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFFu);
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
