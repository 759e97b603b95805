#include "picturefile.h"

#include "budgets.h"
#include "pngencoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace ornamo {

namespace {

// Measured with png-bench (see the README) on the 9720-pixel mosaic and on rows of the
// 64000-pixel one: levels 1 to 3 took half the processor time of level 6 on the first for a
// file 17 % larger, and the same time on the second for a file 1.5 times as large; levels 4 and
// 5 took nearly the time of 6 for files 12 % and 1.6 times as large. Level 6 it is.
constexpr int pngCompressionLevel = 6;

std::uint64_t bmpRowBytes(int width) {
    return (std::uint64_t(width) * 3 + 3) & ~std::uint64_t{3};
}

// Calls progress->step() with the share of rows written when StepCadence says it is due, and
// says whether to go on (false once the user cancelled).
class Ticker {
public:
    Ticker(Progress* progress, int rows) : progress_(progress), rows_(rows) {}
    [[nodiscard]] bool rowsDone(int done) {
        if (!progress_ || !cadence_.due())
            return true;
        progress_->step(static_cast<int>(std::int64_t{done} * 100 / rows_));
        return !progress_->cancelled();
    }

private:
    Progress* progress_;
    int rows_;
    StepCadence cadence_;
};

// A band buffer of `rows` rows of `rowBytes` bytes, zeroed; empty when the memory cannot be had.
std::vector<std::uint8_t> bandBuffer(std::uint64_t rowBytes, int rows) {
    std::vector<std::uint8_t> band;
    try {
        if (rowBytes * static_cast<std::uint64_t>(rows) <= SIZE_MAX)
            band.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(rows));
    } catch (const std::bad_alloc&) {
        band.clear();
    } catch (const std::length_error&) {
        band.clear();
    }
    return band;
}

// Rows per band for rows of `rowBytes` bytes: budget::fileBand's worth, at least 1, at most
// `height`.
int bandRowsFor(std::uint64_t rowBytes, int height) {
    return static_cast<int>(std::clamp<std::uint64_t>(budget::fileBand / rowBytes, 1, height));
}

// Turns the band's R,G,B rows into BMP rows: B,G,R, padding zeroed, and the band's rows in
// the opposite order, as the file holds them bottom-up.
void toBmpRows(std::uint8_t* band, int rows, int width, std::size_t rowBytes) {
    const auto pixelBytes = static_cast<std::size_t>(width) * 3;
    for (int top = 0, bottom = rows - 1; top <= bottom; ++top, --bottom) {
        std::uint8_t* a = band + static_cast<std::size_t>(top) * rowBytes;
        std::uint8_t* b = band + static_cast<std::size_t>(bottom) * rowBytes;
        for (std::size_t i = 0; i < pixelBytes; i += 3) {
            const std::uint8_t a0 = a[i], a1 = a[i + 1], a2 = a[i + 2];
            a[i] = b[i + 2];
            a[i + 1] = b[i + 1];
            a[i + 2] = b[i];
            b[i] = a2;
            b[i + 1] = a1;
            b[i + 2] = a0;
        }
        std::memset(a + pixelBytes, 0, rowBytes - pixelBytes);
        std::memset(b + pixelBytes, 0, rowBytes - pixelBytes);
    }
}

bool writeBmp(OutputFile& file, const PictureSource& picture, Ticker& ticker) {
    const int width = picture.width(), height = picture.height();
    const std::uint64_t rowBytes = bmpRowBytes(width);
    const int bandRows = bandRowsFor(rowBytes, height);
    std::vector<std::uint8_t> band = bandBuffer(rowBytes, bandRows);
    if (band.empty())
        return false;
    const auto header = bmpHeader(width, height);
    if (!file.write(header.data(), header.size()))
        return false;
    // BMP rows run bottom-up: the bottom band comes first.
    for (int end = height; end > 0;) {
        const int rows = std::min(bandRows, end);
        end -= rows;
        try {
            picture.readRows(end, rows, band.data(), static_cast<std::ptrdiff_t>(rowBytes));
        } catch (const std::bad_alloc&) {
            return false;
        }
        toBmpRows(band.data(), rows, width, static_cast<std::size_t>(rowBytes));
        if (!file.write(band.data(), static_cast<std::size_t>(rowBytes) * rows))
            return false;
        if (!ticker.rowsDone(height - end))
            return false;
    }
    return true;
}

// A mosaic repeats its tile byte for byte, which deflate finds in unfiltered rows: on the 9720-
// pixel mosaic of the drawn tile the PNG filters on every row changed the file by -4 % (Up,
// Paeth) to +9 % (Average). A stretched mosaic repeats whole rows, which the Up filter turns
// into zeros: on rows of the 64000-pixel mosaic the file became 9 times smaller and took 57 %
// less processor time.
bool writePng(OutputFile& file, const PictureSource& picture, Ticker& ticker) {
    return encodePng(
        picture,
        [&file](const std::uint8_t* data, std::size_t bytes) { return file.write(data, bytes); },
        [&ticker](int rowsWritten) { return ticker.rowsDone(rowsWritten); },
        {.level = pngCompressionLevel});
}

bool fitsFormat(const PictureSource& picture, ImageFileFormat format) {
    const int width = picture.width(), height = picture.height();
    if (width <= 0 || height <= 0)
        return false;
    return format != ImageFileFormat::Bmp || bmpFits(width, height);
}

void putLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

bool bmpFits(int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    return 54 + bmpRowBytes(width) * static_cast<std::uint64_t>(height) <= 0xFFFFFFFFu;
}

QByteArray bmpFileBytes(const Bitmap& image) {
    const int width = image.width(), height = image.height();
    const auto header = bmpHeader(width, height);
    const std::uint64_t rowBytes = bmpRowBytes(width);
    QByteArray bytes(static_cast<qsizetype>(header.size() + rowBytes * std::uint64_t(height)),
                     Qt::Uninitialized);
    std::memcpy(bytes.data(), header.data(), header.size());
    auto* rows = reinterpret_cast<std::uint8_t*>(bytes.data()) + header.size();
    BitmapPicture(image).readRows(0, height, rows, static_cast<std::ptrdiff_t>(rowBytes));
    toBmpRows(rows, height, width, static_cast<std::size_t>(rowBytes));
    return bytes;
}

std::array<std::uint8_t, 54> bmpHeader(int width, int height) {
    const auto imageBytes =
        static_cast<std::uint32_t>(bmpRowBytes(width) * static_cast<std::uint64_t>(height));
    constexpr std::uint32_t pixelsPerMetre = 2835; // 72 per inch
    std::array<std::uint8_t, 54> header{'B', 'M'};
    const std::pair<int, std::uint32_t> fields[] = {
        {2, 54 + imageBytes},                     // bfSize
        {10, 54},                                 // bfOffBits
        {14, 40},                                 // biSize
        {18, static_cast<std::uint32_t>(width)},  // biWidth
        {22, static_cast<std::uint32_t>(height)}, // biHeight, positive: bottom-up
        {26, 1},                                  // biPlanes
        {28, 24},                                 // biBitCount
        {34, imageBytes},                         // biSizeImage (biCompression 0 before it)
        {38, pixelsPerMetre},                     // biXPelsPerMeter
        {42, pixelsPerMetre}};                    // biYPelsPerMeter
    for (const auto& [offset, value] : fields)
        putLittleEndian(header.data() + offset, value, offset == 26 || offset == 28 ? 2 : 4);
    return header;
}

bool writePicture(OutputFile& file, const PictureSource& picture, ImageFileFormat format,
                  Progress* progress) {
    bool written = false;
    if (file.isOpen() && fitsFormat(picture, format)) {
        Ticker ticker(progress, picture.height());
        written = format == ImageFileFormat::Bmp ? writeBmp(file, picture, ticker)
                                                 : writePng(file, picture, ticker);
    }
    if (!written)
        file.discard();
    return written;
}

bool savePicture(const QString& path, const PictureSource& picture, ImageFileFormat format,
                 Progress* progress) {
    if (!fitsFormat(picture, format))
        return false;
    try {
        OutputFile file; // discards what it has not committed
        return file.open(path) && writePicture(file, picture, format, progress) && file.commit();
    } catch (const std::bad_alloc&) { // from Qt's side of the file
        return false;
    }
}

} // namespace ornamo
