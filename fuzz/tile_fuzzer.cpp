// Feeds arbitrary bytes to the tile loader as the editor reads a tile file, crops the picture to
// a square as the command-line program does and builds the eight oriented tiles from it. Nothing
// may crash, the same bytes must always give the same pixels, and the tile set must be the eight
// turns and mirrors of the square.

#include "crop.h"
#include "imagefile.h"
#include "messagelog.h"
#include "ornamo.h"

#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ornamo::installMessageHandler();
    // A few bytes may declare a picture of Qt's full allocation limit (128 MB), which is filled
    // before it is read: a limit of 1 MB keeps every input fast, and the loader's refusal of
    // larger pictures is exercised the same way.
    QImageReader::setAllocationLimit(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto tile = ornamo::loadBitmapFile(bytes);
    if (!tile)
        return 0;
    check(!tile->isEmpty() && tile->width() <= 65535 && tile->height() <= 65535);
    const auto again = ornamo::loadBitmapFile(bytes);
    check(again && *again == *tile);

    const auto choice = static_cast<ornamo::CropChoice>(size % 3);
    const int side = std::min(tile->width(), tile->height());
    ornamo::cropToSquare(*tile, choice);
    check(tile->width() == side && tile->height() == side);

    // Every other input reads the turned images from the base by index arithmetic.
    ornamo::TileSet tiles;
    ornamo::BuildTileSet(tiles, *tile, size % 2 ? 0 : ornamo::TileSet::defaultCopyLimit);
    const int last = side - 1;
    for (unsigned o = 0; o < 8; ++o)
        check(tiles.view(o).width == side && tiles.view(o).height == side);
    check(tiles.base() == *tile);
    // A corner and its images: R90 moves the top-right corner to the top left, R180 the bottom
    // right, R270 the bottom left; MR0 mirrors the top-left corner to the top right.
    check(tiles.image(1).pixel(0, 0) == tile->pixel(last, 0));
    check(tiles.image(2).pixel(0, 0) == tile->pixel(last, last));
    check(tiles.image(3).pixel(0, 0) == tile->pixel(0, last));
    check(tiles.image(4).pixel(last, 0) == tile->pixel(0, 0));
    return 0;
}
