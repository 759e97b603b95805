// Draws the default tile, data/dlazdice/default.bmp: 40 x 40 pixels, 24-bit, with no symmetry
// at all, so that all eight orientations of it differ.
//
// The motif: a teal quarter disc with a terracotta ring in the top-left corner (four tiles
// turned about a corner join it into a full round), a mustard dot off the diagonal and a teal
// bar along the bottom edge, on a cream ground. Edges are smoothed by 4 x 4 supersampling.
//
// Usage: make-tile OUTPUT.bmp

#include "bitmap.h"
#include "ornamo.h"

#include <QImage>

#include <cmath>
#include <cstdio>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb cream{244, 232, 208};
constexpr Rgb teal{22, 96, 110};
constexpr Rgb terracotta{208, 106, 62};
constexpr Rgb mustard{230, 176, 58};

constexpr int side = 40;

Rgb colourAt(double x, double y) {
    const double corner = std::hypot(x, y);
    const double dot = std::hypot(x - 30.5, y - 25.0);
    if (y >= 35.0 && y < 38.0 && x >= 12.0)
        return teal;
    if (dot < 4.5)
        return mustard;
    if (corner < 13.0)
        return teal;
    if (corner < 18.0)
        return terracotta;
    if (corner < 25.0)
        return teal;
    return cream;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-tile OUTPUT.bmp\n");
        return 2;
    }
    ornamo::Bitmap tile(side, side);
    constexpr int samples = 4;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            Rgb sum{0, 0, 0};
            for (int j = 0; j < samples; ++j)
                for (int i = 0; i < samples; ++i) {
                    const Rgb c = colourAt(x + (i + 0.5) / samples, y + (j + 0.5) / samples);
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            constexpr double n = samples * samples;
            tile.setPixel(x, y,
                          ornamo::makeColor(static_cast<std::uint8_t>(std::lround(sum.r / n)),
                                            static_cast<std::uint8_t>(std::lround(sum.g / n)),
                                            static_cast<std::uint8_t>(std::lround(sum.b / n))));
        }

    ornamo::TileSet tiles;
    ornamo::BuildTileSet(tiles, tile);
    for (unsigned a = 0; a < 8; ++a)
        for (unsigned b = a + 1; b < 8; ++b)
            if (tiles.image(a) == tiles.image(b)) {
                std::fprintf(stderr, "make-tile: orientations %u and %u look the same\n", a, b);
                return 1;
            }

    const QImage image(tile.bits(), tile.width(), tile.height(), tile.stride(),
                       QImage::Format_RGB888);
    if (!image.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "make-tile: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
