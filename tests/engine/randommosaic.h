#pragma once

// Random mosaics for the tests of the view routines, and the view they must show.

#include "render.h"
#include "testimages.h"

#include <ostream>
#include <random>
#include <vector>

namespace ornamo::testimages {

// What a case draws its random mosaic from.
struct Recipe {
    const char* name;
    int tileSize;
    int scale;
    bool byArithmetic; // the turned tile images read from the base, not kept as copies
    int placements;
    int maxStretch;
    std::vector<int> factors;
};

inline void PrintTo(const Recipe& r, std::ostream* out) {
    *out << r.name;
}

// `wild` adds placements far outside the mosaic or stretched past it.
inline Mosaic randomMosaic(const Recipe& r, std::mt19937& rng, bool wild = true) {
    Mosaic m;
    m.gapColor = rng() & 0xFFFFFF;
    m.scale = static_cast<std::uint16_t>(r.scale);
    m.tileSize = static_cast<std::uint16_t>(r.tileSize);
    m.tiles = std::make_shared<TileSet>();
    BuildTileSet(*m.tiles, randomImage(r.tileSize, r.tileSize, rng),
                 r.byArithmetic ? 0 : TileSet::defaultCopyLimit);
    const int side = r.scale * r.tileSize;
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(rng);
    };
    for (int i = 0; i < r.placements; ++i) {
        Placement p;
        p.width = pick(1, r.maxStretch);
        p.height = pick(1, r.maxStretch);
        p.x = pick(-r.maxStretch * r.tileSize, side);
        p.y = pick(-r.maxStretch * r.tileSize, side);
        p.orientation = static_cast<Orientation>(pick(0, 8)); // 8 draws nothing
        const int kind = pick(0, 15);
        switch (wild || kind < 2 ? kind : -1) {
        case 0:
            p.width = pick(-2, 0);
            break;
        case 1:
            p.height = pick(-2, 0);
            break;
        case 2:
            p.x = pick(1 << 20, 1 << 30);
            break;
        case 3:
            p.y = -pick(1 << 20, 1 << 30);
            break;
        case 4:
            p.width = pick(1 << 16, 1 << 30);
            p.x = -pick(0, 1 << 30);
            break;
        default:
            break;
        }
        m.placements.push_back(p);
    }
    return m;
}

/// `m` with every length multiplied by k: its view at k times a factor is m's view at that
/// factor, every block sum k^2 times larger.
inline Mosaic magnified(const Mosaic& m, int k) {
    Mosaic big = m;
    big.scale = static_cast<std::uint16_t>(m.scale * k);
    for (Placement& p : big.placements) {
        const std::int64_t w = std::int64_t{p.width} * k, h = std::int64_t{p.height} * k;
        const std::int64_t x = std::int64_t{p.x} * k, y = std::int64_t{p.y} * k;
        p = {static_cast<std::int32_t>(w), static_cast<std::int32_t>(h),
             static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), p.orientation};
    }
    return big;
}

/// The view at `factor` as the whole image rendered and then reduced.
/// `m` with its turned tile images kept as copies, as small tiles are: what a mosaic whose tile
/// images are read by index arithmetic must look like.
inline Mosaic withCopies(const Mosaic& m) {
    Mosaic copied = m;
    if (m.tiles) {
        copied.tiles = std::make_shared<TileSet>();
        BuildTileSet(*copied.tiles, m.tiles->base(), TileSet::defaultCopyLimit);
    }
    return copied;
}

/// The view of `m` rendered whole (from tile images kept as copies) and reduced.
inline Bitmap referenceView(const Mosaic& m, int factor) {
    Bitmap image, view;
    renderMosaic(withCopies(m), image);
    ShrinkBitmap(static_cast<std::uint16_t>(factor), static_cast<std::uint16_t>(factor), image,
                 view);
    return view;
}

} // namespace ornamo::testimages
