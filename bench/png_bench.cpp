// The PNG encoder alone, on pictures held in memory: each zlib level from 1 to 6 on 1, 2 and
// all threads, beside one plain zlib stream of the same rows on one thread (what a sequential
// encoder writes). Prints a Markdown table: time, size, and whether every thread count gave
// the same bytes. Pictures: the 9720-pixel mosaic of ornamo-bench, and the top 1600 rows of
// the 64000-pixel mosaic of bench/big-mosaics.sh (a 4 x 4 sixteen-part command three times,
// then one part stretched 25 times).

#include "mosaicview.h"
#include "ornamo.h"
#include "pngencoder.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace ornamo;

namespace {

using Clock = std::chrono::steady_clock;

Mosaic mosaicOf(const Bitmap& tile, const Mosaic& command, int times, const Mosaic* last) {
    Mosaic mosaic;
    mosaic.tiles = std::make_shared<TileSet>();
    BuildTileSet(*mosaic.tiles, tile);
    ResetMosaic(mosaic);
    for (int i = 0; i < times; ++i)
        SubstituteCommand(command, mosaic);
    if (last)
        SubstituteCommand(*last, mosaic);
    return mosaic;
}

Mosaic gridCommand(int side, bool turned) {
    Mosaic pattern;
    pattern.scale = static_cast<std::uint16_t>(side);
    pattern.placements.clear();
    for (int i = 0; i < side * side; ++i)
        pattern.placements.push_back({1, 1, static_cast<std::uint16_t>(i % side),
                                      static_cast<std::uint16_t>(i / side),
                                      static_cast<Orientation>(turned ? i % 8 : 0)});
    return pattern;
}

Bitmap randomTile() {
    Bitmap tile(40, 40);
    std::mt19937 rng(42);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            tile.setPixel(x, y, rng() & 0xFFFFFF);
    return tile;
}

// The top `rows` rows of the mosaic at full size.
Bitmap fullSizeRows(const Mosaic& mosaic, int rows) {
    MosaicView view;
    if (!view.render(mosaic, 1, true))
        return {};
    Bitmap rowsImage(view.side(), rows);
    view.picture().readRows(0, rows, rowsImage.row(0), rowsImage.stride());
    return rowsImage;
}

// Wall-clock seconds, and processor seconds of every thread of the process.
struct Encoded {
    double seconds = 0, processorSeconds = 0;
    std::vector<std::uint8_t> bytes;
};

Encoded encode(const Bitmap& image, int level, PngFilter filter, int threads) {
    Encoded result;
    const auto start = Clock::now();
    const std::clock_t processorStart = std::clock();
    encodePng(
        BitmapPicture(image),
        [&result](const std::uint8_t* data, std::size_t bytes) {
            result.bytes.insert(result.bytes.end(), data, data + bytes);
            return true;
        },
        [](int) { return true; }, {.level = level, .filter = filter, .threads = threads});
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.processorSeconds = double(std::clock() - processorStart) / CLOCKS_PER_SEC;
    return result;
}

// One zlib stream of the unfiltered rows, as a sequential encoder deflates them.
Encoded oneStream(const Bitmap& image, int level) {
    Encoded result;
    const auto start = Clock::now();
    const std::clock_t processorStart = std::clock();
    z_stream stream{};
    deflateInit(&stream, level);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width()) * 3 + 1);
    std::vector<std::uint8_t> out(1 << 20);
    for (int y = 0; y < image.height(); ++y) {
        std::copy(image.row(y), image.row(y) + row.size() - 1, row.begin() + 1);
        stream.next_in = row.data();
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == image.height() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            result.bytes.insert(result.bytes.end(), out.data(), stream.next_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.processorSeconds = double(std::clock() - processorStart) / CLOCKS_PER_SEC;
    return result;
}

} // namespace

int main() {
    const Mosaic sixteen = gridCommand(4, true);
    Mosaic stretch;
    stretch.scale = 25;
    stretch.placements = {{25, 25, 0, 0, Orientation::R0}};
    const struct {
        const char* name;
        Bitmap image;
    } pictures[] = {{"9720 mosaic (283 MB)",
                     fullSizeRows(mosaicOf(randomTile(), gridCommand(3, true), 5, nullptr), 9720)},
                    {"64000 mosaic, top 1600 rows (307 MB)",
                     fullSizeRows(mosaicOf(randomTile(), sixteen, 3, &stretch), 1600)}};
    const int all = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Each figure: wall-clock seconds (processor seconds of all threads), then the size.
    std::printf("| picture | level | one zlib stream, no filter | chunked, no filter, 1 thread | "
                "chunked, Up for repeated rows: 1 thread | 2 threads | %d threads | same bytes |\n"
                "|---|---|---|---|---|---|---|---|\n",
                all);
    for (const auto& picture : pictures) {
        for (int level = 1; level <= 6; ++level) {
            const Encoded single = oneStream(picture.image, level);
            const Encoded none = encode(picture.image, level, PngFilter::None, 1);
            const Encoded one = encode(picture.image, level, PngFilter::UpForRepeatedRows, 1);
            const Encoded two = encode(picture.image, level, PngFilter::UpForRepeatedRows, 2);
            const Encoded every = encode(picture.image, level, PngFilter::UpForRepeatedRows, all);
            char times[5][32];
            const Encoded* runs[] = {&single, &none, &one, &two, &every};
            for (int i = 0; i < 5; ++i)
                std::snprintf(times[i], sizeof times[i], "%.2f s (%.2f)", runs[i]->seconds,
                              runs[i]->processorSeconds);
            std::printf("| %s | %d | %s, %.2f MB | %s, %.2f MB | %s, %.2f MB | %s | %s | %s |\n",
                        picture.name, level, times[0], single.bytes.size() / 1e6, times[1],
                        none.bytes.size() / 1e6, times[2], one.bytes.size() / 1e6, times[3],
                        times[4],
                        one.bytes == two.bytes && one.bytes == every.bytes ? "yes" : "NO");
            std::fflush(stdout);
        }
    }
}
