#include "imagefile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ornamo {

namespace {

constexpr int largestSide = 65535;

std::uint32_t littleEndian(const QByteArray& bytes, qsizetype at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

int bitsIn(std::uint32_t mask) {
    int bits = 0;
    for (; mask; mask &= mask - 1)
        ++bits;
    return bits;
}

// The widths of the red, green and blue masks of a 16- or 32-bit file, read from its first
// bytes; all 8 (nothing to mend) for any other file.
std::array<int, 3> channelWidths(const QByteArray& head) {
    constexpr std::array<int, 3> full{8, 8, 8};
    // file header (14 bytes), then the info header: size, width, height, planes, bit count,
    // compression; bit fields, where present, follow the first 40 bytes of the info header.
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M')
        return full;
    const std::uint32_t headerSize = littleEndian(head, 14, 4);
    if (headerSize < 40)
        return full;
    const std::uint32_t bitCount = littleEndian(head, 28, 2);
    const std::uint32_t compression = littleEndian(head, 30, 4);
    if (bitCount != 16 && bitCount != 32)
        return full;
    constexpr std::uint32_t plainRgb = 0, bitFields = 3, alphaBitFields = 6;
    if (compression == plainRgb)
        return bitCount == 16 ? std::array<int, 3>{5, 5, 5} : full;
    if ((compression != bitFields && compression != alphaBitFields) || head.size() < 66)
        return full;
    return {bitsIn(littleEndian(head, 54, 4)), bitsIn(littleEndian(head, 58, 4)),
            bitsIn(littleEndian(head, 62, 4))};
}

// Qt reads a channel of n < 8 bits as v << (8 - n), so its maximum comes out as 248 (5 bits)
// or 252 (6 bits). Map it onto 0..255: v * 255 / (2^n - 1), rounded.
void widenChannels(QImage& image, const std::array<int, 3>& widths) {
    std::array<std::array<std::uint8_t, 256>, 3> table{};
    bool needed = false;
    for (int c = 0; c < 3; ++c) {
        const int n = widths[static_cast<std::size_t>(c)];
        for (int value = 0; value < 256; ++value) {
            int widened = value;
            if (n >= 1 && n < 8) {
                const int top = (1 << n) - 1;
                const int v = value >> (8 - n);
                widened = (v * 255 + top / 2) / top;
                needed = true;
            }
            table[static_cast<std::size_t>(c)][static_cast<std::size_t>(value)] =
                static_cast<std::uint8_t>(widened);
        }
    }
    if (!needed)
        return;
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 3)
            for (std::size_t c = 0; c < 3; ++c)
                p[c] = table[c][p[c]];
    }
}

} // namespace

namespace {

// Opens `file` for reading the named file. A name holding U+FFFD lost its bytes when it was
// decoded: another file would be read, so it is refused.
bool openForReading(const QString& path, QFile& file) {
    if (path.contains(QChar::ReplacementCharacter))
        return false;
#ifdef Q_OS_UNIX
    // Opened without waiting: a FIFO no one writes to opens at once and reads as empty, where
    // a plain open would wait for a writer for ever. Reads then wait as usual.
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return false;
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

} // namespace

std::optional<Bitmap> loadBitmapFile(const QString& path) {
    QFile file;
    if (!openForReading(path, file))
        return std::nullopt;
    return loadBitmapFile(file);
}

std::optional<Bitmap> loadBitmapFile(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return loadBitmapFile(buffer);
}

namespace {

// The palette size a file of at most 8 bits per pixel may use: no more entries than its pixels
// can index, and no more than fit between the headers and the pixels. Qt reads as many entries
// as the header claims, and the pixels right after them (a one-bit image keeps two entries, and
// Qt warns about every other), so a damaged header is mended before Qt sees it; indices beyond
// the shortened palette take its first colour. nullopt when the header needs no mending.
std::optional<std::uint32_t> shortenedPalette(const QByteArray& head) {
    constexpr qsizetype fileHeader = 14;
    if (head.size() < fileHeader + 40 || head[0] != 'B' || head[1] != 'M')
        return std::nullopt;
    const std::uint32_t headerSize = littleEndian(head, 14, 4);
    const std::uint32_t bitCount = littleEndian(head, 28, 2);
    const std::uint32_t claimed = littleEndian(head, 46, 4);
    // More than 256 entries Qt refuses by itself.
    if (headerSize < 40 || (bitCount != 1 && bitCount != 4 && bitCount != 8) || claimed == 0 ||
        claimed > 256)
        return std::nullopt;
    std::uint32_t entries = std::min(claimed, std::uint32_t{1} << bitCount);
    // Pixels that start inside the headers give no room at all: that offset is simply wrong.
    const std::uint32_t pixelOffset = littleEndian(head, 10, 4);
    const std::uint64_t headers = std::uint64_t{fileHeader} + headerSize;
    if (pixelOffset >= headers + 4)
        entries = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(entries, (pixelOffset - headers) / 4));
    if (entries == claimed)
        return std::nullopt;
    return entries;
}

// A complete uncompressed 24-bit file on a device that can seek, read straight into the rows
// of the bitmap: the file's rows are padded to four bytes as the bitmap's are, so each is read
// in place and its B,G,R triples turned round, with no decoded image beside it. nullopt, with
// nothing read, for any other file, which Qt then reads; `size` is the one Qt's header check
// gave, `head` the first bytes of the file and `start` where it begins on the device.
std::optional<Bitmap> readPlainRows(QIODevice& device, const QByteArray& head, qint64 start,
                                    QSize size) {
    if (device.isSequential() || head.size() < 54)
        return std::nullopt;
    const std::uint32_t headerSize = littleEndian(head, 14, 4);
    const std::uint32_t offset = littleEndian(head, 10, 4);
    if (headerSize < 40 || littleEndian(head, 26, 2) != 1 || littleEndian(head, 28, 2) != 24 ||
        littleEndian(head, 30, 4) != 0 || offset < 14 + std::uint64_t{headerSize})
        return std::nullopt;
    const bool topDown = static_cast<std::int32_t>(littleEndian(head, 22, 4)) < 0;
    const std::ptrdiff_t stride = Bitmap::strideFor(size.width());
    if (device.size() - start < qint64{offset} + qint64{stride} * size.height())
        return std::nullopt;
    Bitmap bitmap;
    try {
        bitmap.resizeForOverwrite(size.width(), size.height());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!device.seek(start + offset))
        return std::nullopt;
    for (int y = 0; y < size.height(); ++y) {
        std::uint8_t* row = bitmap.row(topDown ? y : size.height() - 1 - y);
        if (device.read(reinterpret_cast<char*>(row), stride) != stride)
            return std::nullopt;
        for (int x = 0; x < size.width(); ++x)
            std::swap(row[x * 3], row[x * 3 + 2]);
    }
    return bitmap;
}

std::optional<Bitmap> decodeBitmap(QIODevice& device) {
    const qint64 start = device.pos();
    const QByteArray head = device.peek(54);
    const std::array<int, 3> widths = channelWidths(device.peek(66));
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead())
        return std::nullopt;
    // Top-down files report a negative height.
    const QSize size(reader.size().width(), std::abs(reader.size().height()));
    if (!size.isValid() || size.isEmpty() || size.width() > largestSide ||
        size.height() > largestSide)
        return std::nullopt;
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (limitBytes > 0 && qint64{size.width()} * size.height() * 4 > limitBytes)
        return std::nullopt;
    if (auto plain = readPlainRows(device, head, start, size))
        return plain;

    // Damaged and RLE files may leave pixels unwritten: start from a filled image of the
    // reader's size and format, which the reader then fills in.
    QImage image(size, reader.imageFormat() == QImage::Format_Invalid ? QImage::Format_RGB32
                                                                      : reader.imageFormat());
    if (image.isNull())
        return std::nullopt;
    image.fill(0);
    if (!reader.read(&image) || image.isNull() || image.size() != size)
        return std::nullopt;
    // Indices beyond a short palette take its first colour.
    if (const int entries = image.depth() <= 8 ? 1 << image.depth() : 0;
        image.colorCount() > 0 && image.colorCount() < entries) {
        QList<QRgb> table = image.colorTable();
        table.resize(entries, table.front());
        image.setColorTable(table);
    }

    image.convertTo(QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    widenChannels(image, widths);

    Bitmap bitmap;
    try {
        bitmap.resizeForOverwrite(image.width(), image.height());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    const auto rowBytes = static_cast<std::size_t>(image.width()) * 3;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.row(y), image.constScanLine(y), rowBytes);
    return bitmap;
}

} // namespace

namespace {

// Whether the file's pixels are run-length encoded (RLE8 in an 8-bit file, RLE4 in a 4-bit).
bool isRunLength(const QByteArray& head) {
    if (head.size() < 54 || head[0] != 'B' || head[1] != 'M' || littleEndian(head, 14, 4) < 40)
        return false;
    const std::uint32_t bitCount = littleEndian(head, 28, 2);
    const std::uint32_t compression = littleEndian(head, 30, 4);
    return (bitCount == 8 && compression == 1) || (bitCount == 4 && compression == 2);
}

// Whether the run-length stream of the whole file `bytes` lies within its data: every run and
// every literal run ends inside it (inside biSizeImage bytes too, when given), and the stream
// ends, by its end-of-bitmap code or by the end of its last row, before the data does. Qt's
// decoder reads a stream that runs on past its data from memory it never filled, and made
// another picture of the same file each time.
bool runLengthIsWhole(const QByteArray& bytes) {
    const bool fourBits = littleEndian(bytes, 28, 2) == 4;
    const auto rows =
        static_cast<std::int64_t>(std::abs(static_cast<std::int32_t>(littleEndian(bytes, 22, 4))));
    const std::uint64_t start = littleEndian(bytes, 10, 4);
    const std::uint32_t imageSize = littleEndian(bytes, 34, 4);
    std::uint64_t end = static_cast<std::uint64_t>(bytes.size());
    if (imageSize != 0)
        end = std::min(end, start + imageSize);
    const auto byte = [&bytes](std::uint64_t at) {
        return static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(at)]);
    };
    std::int64_t row = 0;
    for (std::uint64_t at = start; at + 2 <= end;) {
        const std::uint8_t count = byte(at), code = byte(at + 1);
        at += 2;
        if (count != 0)
            continue; // a run of `count` pixels
        if (code == 1)
            return true; // end of the bitmap
        if (code == 0 || code == 2) {
            // end of a row, or a jump right and down by the next two bytes
            if (code == 2 && at + 2 > end)
                return false;
            row += code == 0 ? 1 : byte(at + 1);
            at += code == 2 ? 2 : 0;
            if (row >= rows)
                return true;
            continue;
        }
        // `code` literal pixels, padded to a whole number of 16-bit words.
        const std::uint64_t literal = fourBits ? (code + 1u) / 2 : code;
        at += (literal + 1) & ~std::uint64_t{1};
        if (at > end)
            return false;
    }
    return false;
}

} // namespace

std::optional<Bitmap> loadBitmapFile(QIODevice& device) {
    if (!device.isReadable())
        return std::nullopt;
    const QByteArray head = device.peek(54);
    const auto palette = shortenedPalette(head);
    const bool runLength = isRunLength(head);
    if (!palette && !runLength)
        return decodeBitmap(device);
    // The file is read into memory, its run-length stream checked and its header mended there; no
    // usable bitmap is larger than the pixels of Qt's allocation limit, its headers and a full
    // palette.
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    const qint64 largestFile = (limitBytes > 0 ? limitBytes : qint64{1} << 30) + 65536;
    QByteArray bytes = device.read(largestFile);
    if (bytes.size() < 54 || (runLength && !runLengthIsWhole(bytes)))
        return std::nullopt;
    for (int i = 0; palette && i < 4; ++i)
        bytes[46 + i] = static_cast<char>((*palette >> (8 * i)) & 0xFF);
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeBitmap(buffer);
}

// ---- PNG files ----

namespace {

constexpr std::size_t pngSignatureBytes = 8;

void readPngData(png_structp png, png_bytep data, std::size_t length) {
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char*>(data), static_cast<qint64>(length)) !=
        static_cast<qint64>(length))
        png_error(png, "cut short");
}

// libpng's complaints are not the program's messages: a damaged file is refused by its caller.
[[noreturn]] void failPng(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void ignorePngWarning(png_structp, png_const_charp) {}

// The decoder and its header data, freed together.
class PngDecoder {
public:
    explicit PngDecoder(QIODevice& device) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failPng, ignorePngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (info_) {
            png_set_read_fn(png_, &device, readPngData);
        }
    }
    ~PngDecoder() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;

    bool isValid() const { return info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// What the header says once the transforms are set: the side, bytes a sample (1 or 2),
// channels (3, or 4 with alpha), passes.
struct PngLayout {
    std::uint32_t width = 0, height = 0;
    int sampleBytes = 1, channels = 3, passes = 1;
};

// Reads the header and sets the transforms: palettes, grey and small depths expanded to RGB,
// a transparent colour turned into alpha. False for a file libpng refuses. Holds no object
// with a destructor, as libpng leaves it by longjmp.
bool readPngHeader(png_structp png, png_infop info, PngLayout* layout) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, 65535, 65535);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_swap(png); // 16-bit samples in the machine's order (little-endian here)
    layout->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->sampleBytes = png_get_bit_depth(png, info) == 16 ? 2 : 1;
    layout->channels = png_get_channels(png, info);
    return true;
}

// Reads the rows [first, first + count) of every pass into rows[0 .. count), each `rowBytes`
// apart from `rows`. False for a damaged file. No objects with destructors, as above.
bool readPngRows(png_structp png, std::uint8_t* rows, std::size_t rowBytes, std::uint32_t count) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (std::uint32_t y = 0; y < count; ++y)
        png_read_row(png, rows + y * rowBytes, nullptr);
    return true;
}

bool finishPng(png_structp png) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}

// One decoded row into a bitmap row: samples of 8 or 16 bits, 3 or 4 channels, alpha
// composited on the background, 16 bits scaled to 8, both rounded.
void storePngRow(const std::uint8_t* from, const PngLayout& layout, Color background,
                 std::uint8_t* to) {
    const std::uint32_t top = layout.sampleBytes == 2 ? 65535 : 255;
    const std::uint32_t back[3] = {redOf(background) * (top / 255),
                                   greenOf(background) * (top / 255),
                                   blueOf(background) * (top / 255)};
    const auto sample = [&layout](const std::uint8_t* p, int i) -> std::uint32_t {
        if (layout.sampleBytes == 1)
            return p[i];
        std::uint16_t v;
        std::memcpy(&v, p + 2 * i, 2);
        return v;
    };
    const std::size_t pixelBytes = static_cast<std::size_t>(layout.sampleBytes * layout.channels);
    for (std::uint32_t x = 0; x < layout.width; ++x, from += pixelBytes, to += 3) {
        const std::uint32_t alpha = layout.channels == 4 ? sample(from, 3) : top;
        for (int c = 0; c < 3; ++c) {
            std::uint64_t v = sample(from, c);
            if (alpha != top)
                v = (v * alpha + std::uint64_t{back[c]} * (top - alpha) + top / 2) / top;
            if (top != 255)
                v = (v * 255 + 32767) / 65535;
            to[c] = static_cast<std::uint8_t>(v);
        }
    }
}

} // namespace

std::optional<Bitmap> loadPngFile(QIODevice& device, Color background) {
    if (!device.isReadable())
        return std::nullopt;
    const QByteArray signature = device.peek(pngSignatureBytes);
    if (signature.size() != static_cast<qsizetype>(pngSignatureBytes) ||
        png_sig_cmp(reinterpret_cast<png_const_bytep>(signature.constData()), 0,
                    pngSignatureBytes) != 0)
        return std::nullopt;
    PngDecoder decoder(device);
    PngLayout layout;
    if (!decoder.isValid() || !readPngHeader(decoder.png(), decoder.info(), &layout))
        return std::nullopt;
    // The limits of bitmap files, from the header alone.
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (layout.width == 0 || layout.height == 0 || layout.width > largestSide ||
        layout.height > largestSide ||
        (limitBytes > 0 && qint64{layout.width} * layout.height * 4 > limitBytes))
        return std::nullopt;
    const std::size_t rowBytes =
        std::size_t{layout.width} * static_cast<std::size_t>(layout.channels * layout.sampleBytes);
    // An interlaced file fills each row over several passes, so all its rows are decoded first.
    const std::uint32_t heldRows = layout.passes > 1 ? layout.height : 1;
    if (limitBytes > 0 && static_cast<qint64>(rowBytes * heldRows) > limitBytes)
        return std::nullopt;
    Bitmap bitmap;
    std::vector<std::uint8_t> rows;
    try {
        bitmap.resizeForOverwrite(static_cast<int>(layout.width), static_cast<int>(layout.height));
        rows.resize(rowBytes * heldRows);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (heldRows > 1) {
        for (int pass = 0; pass < layout.passes; ++pass)
            if (!readPngRows(decoder.png(), rows.data(), rowBytes, layout.height))
                return std::nullopt;
        for (std::uint32_t y = 0; y < layout.height; ++y)
            storePngRow(rows.data() + y * rowBytes, layout, background,
                        bitmap.row(static_cast<int>(y)));
    } else {
        for (std::uint32_t y = 0; y < layout.height; ++y) {
            if (!readPngRows(decoder.png(), rows.data(), rowBytes, 1))
                return std::nullopt;
            storePngRow(rows.data(), layout, background, bitmap.row(static_cast<int>(y)));
        }
    }
    // The chunks after the pixels are read too, so that a file cut short there is refused.
    if (!finishPng(decoder.png()))
        return std::nullopt;
    return bitmap;
}

std::optional<Bitmap> loadPngFile(const QString& path, Color background) {
    QFile file;
    if (!openForReading(path, file))
        return std::nullopt;
    return loadPngFile(file, background);
}

std::optional<Bitmap> loadTileFile(const QString& path, Color background) {
    QFile file;
    if (!openForReading(path, file))
        return std::nullopt;
    const QByteArray signature = file.peek(pngSignatureBytes);
    if (signature.size() == static_cast<qsizetype>(pngSignatureBytes) &&
        png_sig_cmp(reinterpret_cast<png_const_bytep>(signature.constData()), 0,
                    pngSignatureBytes) == 0)
        return loadPngFile(file, background);
    return loadBitmapFile(file);
}

} // namespace ornamo
