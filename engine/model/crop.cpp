#include "crop.h"

#include <utility>

namespace ornamo {

bool isTall(const Bitmap& tile) {
    return tile.width() <= tile.height();
}

void cropToSquare(Bitmap& tile, CropChoice choice) {
    const int width = tile.width();
    const int height = tile.height();
    if (width == height)
        return;
    const bool tall = isTall(tile);
    const int side = tall ? width : height;
    const int difference = tall ? height - width : width - height;
    int offset = 0; // rows (tall) or columns (wide) cut away before the kept square
    switch (choice) {
    case CropChoice::First:
        offset = difference;
        break;
    case CropChoice::Second:
        offset = 0;
        break;
    case CropChoice::Middle:
        offset = difference / 2;
        break;
    }
    Bitmap square;
    square.resizeForOverwrite(side, side);
    if (tall)
        square.draw(tile, 0, -offset);
    else
        square.draw(tile, -offset, 0);
    tile = std::move(square);
}

} // namespace ornamo
