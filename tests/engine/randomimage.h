#pragma once

#include "bitmap.h"

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

} // namespace ornamo::testimages
