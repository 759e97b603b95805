#include "imagefile.h"

#include "bitmapfile.h"
#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMap>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include <vector>

using ornamo::Bitmap;
using ornamo::Color;

namespace {

QString suiteFile(const QString& name) {
    return QStringLiteral(ORNAMO_TEST_DATA "/bmpsuite/") + name + QStringLiteral(".bmp");
}

// The names ("g/pal8", ...) of the files in one folder of the suite.
QStringList suiteFolder(const QString& folder) {
    QStringList names;
    for (const QString& file :
         QDir(QStringLiteral(ORNAMO_TEST_DATA "/bmpsuite/") + folder).entryList({"*.bmp"}))
        names << folder + "/" + file.chopped(4);
    return names;
}

Bitmap loaded(const QString& name) {
    auto image = ornamo::loadBitmapFile(suiteFile(name));
    EXPECT_TRUE(image.has_value()) << name.toStdString();
    return image ? *image : Bitmap();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// ---- Loading the test suite ----

TEST(GoodFiles, EveryFileLoadsAtItsSize) {
    const QMap<QString, QSize> unusual = {{"g/pal8nonsquare", {127, 32}},
                                          {"g/pal8w124", {124, 61}},
                                          {"g/pal8w125", {125, 62}},
                                          {"g/pal8w126", {126, 63}}};
    const QStringList names = suiteFolder("g");
    ASSERT_EQ(names.size(), 27);
    for (const QString& name : names) {
        const Bitmap image = loaded(name);
        EXPECT_EQ(QSize(image.width(), image.height()), unusual.value(name, QSize(127, 64)))
            << name.toStdString();
    }
}

// Files that store the same picture in different encodings must give the same pixels.
TEST(GoodFiles, EncodingsOfOnePictureAgree) {
    const std::pair<const char*, const char*> same[] = {
        {"g/pal8", "g/pal8-0"},      {"g/pal8", "g/pal8os2"},
        {"g/pal8", "g/pal8rle"},     {"g/pal8", "g/pal8topdown"},
        {"g/pal8", "g/pal8v4"},      {"g/pal8", "g/pal8v5"},
        {"g/pal4", "g/pal4rle"},     {"g/pal1", "g/pal1wb"},
        {"g/rgb16", "g/rgb16bfdef"}, {"g/rgb16-565", "g/rgb16-565pal"},
        {"g/rgb24", "g/rgb24pal"},   {"g/rgb24", "g/rgb32"},
        {"g/rgb24", "g/rgb32bf"},    {"g/rgb24", "g/rgb32bfdef"}};
    for (const auto& [a, b] : same)
        EXPECT_EQ(loaded(a), loaded(b)) << a << " vs " << b;
}

// Damaged files either fail or always give the same pixels: the heap is dirtied between two
// loads, so pixels the reader leaves unwritten would differ.
TEST(BadFiles, FailOrLoadTheSameEveryTime) {
    const QStringList names = suiteFolder("b");
    ASSERT_EQ(names.size(), 20);
    for (const QString& name : names) {
        const auto first = ornamo::loadBitmapFile(suiteFile(name));
        {
            std::vector<std::vector<std::uint8_t>> blocks;
            for (std::size_t size :
                 {32u * 1024, 64u * 1024, 127u * 64 * 4, 127u * 64, 127u * 64 * 3})
                blocks.emplace_back(size, static_cast<std::uint8_t>(0xA5));
        }
        const auto second = ornamo::loadBitmapFile(suiteFile(name));
        ASSERT_EQ(first.has_value(), second.has_value()) << name.toStdString();
        if (first) {
            EXPECT_FALSE(first->isEmpty()) << name.toStdString();
            EXPECT_EQ(*first, *second) << name.toStdString();
        }
    }
}

// ---- Other files ----

TEST(LoadBitmap, AnyExtensionIsReadAsABitmap) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tile.png");
    ASSERT_TRUE(QFile::copy(suiteFile("g/rgb24"), path));
    EXPECT_EQ(ornamo::loadBitmapFile(path), std::optional(loaded("g/rgb24")));
}

// A 24-bit header declaring width x height, followed by no pixels at all. The fields: file
// size, reserved, pixel offset, header size, width, height, planes and bits per pixel.
QByteArray headerOnly(std::int32_t width, std::int32_t height) {
    QByteArray b("BM", 2);
    for (const std::uint32_t field : {54u, 0u, 54u, 40u, static_cast<std::uint32_t>(width),
                                      static_cast<std::uint32_t>(height), 1u | 24u << 16})
        for (int i = 0; i < 4; ++i)
            b.append(static_cast<char>((field >> (8 * i)) & 0xFF));
    return b.leftJustified(54, '\0');
}

TEST(LoadBitmap, RefusesWhatIsNoUsableBitmap) {
    QTemporaryDir dir;
    QFile rle(suiteFile("g/pal4rle"));
    ASSERT_TRUE(rle.open(QIODevice::ReadOnly));
    // Its headers and palette, then a literal run of 255 pixels that the data stops inside.
    const QByteArray cutRunLength = rle.read(0x66) + QByteArray("\x00\xFF", 2) + QByteArray(10, 0);
    const struct {
        const char* name;
        bool written;
        QByteArray contents;
    } cases[] = {{"text.bmp", true, "Toto nie je obrazok.\n"},
                 {"empty.bmp", true, {}},
                 {"missing.bmp", false, {}},
                 // complete files, only too large
                 {"wide.bmp", true, headerOnly(65536, 1) + QByteArray(65536 * 3, '\x7f')},
                 {"high.bmp", true, headerOnly(1, 65536) + QByteArray(65536 * 4, '\x7f')},
                 {"noWidth.bmp", true, headerOnly(0, 10)},
                 {"noHeight.bmp", true, headerOnly(10, 0)},
                 {"cutRunLength.bmp", true, cutRunLength},
                 // a name decoded from bytes that are not UTF-8 stands for another file
                 {"non\uFFFDutf.bmp", true, headerOnly(1, 1) + QByteArray(4, '\x7f')}};
    for (const auto& c : cases) {
        if (c.written)
            writeFile(dir.filePath(c.name), c.contents);
        EXPECT_FALSE(ornamo::loadBitmapFile(dir.filePath(c.name)).has_value()) << c.name;
    }
    EXPECT_FALSE(ornamo::loadBitmapFile(dir.path()).has_value()) << "a folder";
    EXPECT_FALSE(ornamo::loadBitmapFile(suiteFile("b/reallybig")).has_value())
        << "enormous declared size";
}

int qtMessages = 0;

// A palette size in the header that the file does not hold is damage, not a reason for Qt to
// complain: claiming 256 entries (pal1 holds 2, pal4 12, pal8 252) changes nothing, and claiming
// one gives every pixel the first colour. Nothing is printed.
TEST(LoadBitmap, DamagedPaletteSizesLoadQuietly) {
    qtMessages = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString&) { ++qtMessages; });
    for (const char* name : {"g/pal1", "g/pal4", "g/pal8"})
        for (const std::uint32_t claimed : {256u, 1u}) {
            QByteArray bytes = readFile(suiteFile(name));
            qToLittleEndian(claimed, bytes.data() + 46);
            if (claimed == 1) // a first colour other than the original black
                qToLittleEndian(std::uint32_t{0x123456}, bytes.data() + 54);
            const auto image = ornamo::loadBitmapFile(bytes);
            ASSERT_TRUE(image) << name;
            EXPECT_EQ(*image, claimed == 1 ? Bitmap(image->width(), image->height(), 0x563412)
                                           : loaded(name))
                << name << " claiming " << claimed;
        }
    qInstallMessageHandler(previous);
    EXPECT_EQ(qtMessages, 0);
}

// ---- PNG tiles ----

namespace png {

QImage qimageOf(const Bitmap& b) {
    return QImage(b.bits(), b.width(), b.height(), b.stride(), QImage::Format_RGB888).copy();
}

// The same picture as a 24-bit bitmap file, loaded as a tile.
Bitmap asBitmapFile(const Bitmap& picture, const QTemporaryDir& dir) {
    const QString path = dir.filePath("same.bmp");
    EXPECT_TRUE(ornamo::testimages::saveBitmapFile(picture, path));
    return ornamo::loadTileFile(path, 0).value_or(Bitmap());
}

// `picture` written by libpng as an interlaced 8-bit RGB file, a kind Qt does not write.
void writeInterlaced(const Bitmap& picture, const QString& path) {
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    ASSERT_TRUE(file);
    png_structp write = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(write);
    png_init_io(write, file);
    png_set_IHDR(write, info, static_cast<png_uint_32>(picture.width()),
                 static_cast<png_uint_32>(picture.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows;
    for (int y = 0; y < picture.height(); ++y)
        rows.push_back(const_cast<png_bytep>(picture.row(y)));
    png_set_rows(write, info, rows.data());
    png_write_png(write, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&write, &info);
    std::fclose(file);
}

} // namespace png

TEST(PngTiles, EveryKindGivesThePixelsOfTheSameBitmapFile) {
    QTemporaryDir dir;
    std::mt19937 rng(5);
    // Odd sizes, so that bitmap rows end in padding; sixteen colours, so that a palette holds
    // them; 16-bit samples of v x 257 stand for the 8-bit v exactly.
    const Color colours[] = {0x000000, 0xFFFFFF, 0x123456, 0xFEDCBA, 0x00FF7F, 0x808080,
                             0x010203, 0xFF0000, 0x00FF00, 0x0000FF, 0x7F7F00, 0xABCDEF,
                             0x102030, 0xC0FFEE, 0x5A5A5A, 0xE0E0E0};
    Bitmap picture(23, 17), grey(23, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) {
            picture.setPixel(x, y, colours[rng() % 16]);
            grey.setPixel(x, y, (rng() & 0xFF) * 0x010101u);
        }
    const QImage colour = png::qimageOf(picture), greys = png::qimageOf(grey);
    const struct {
        const char* name;
        QImage image; // null: written by libpng, interlaced
        const Bitmap& expected;
    } kinds[] = {
        {"RGB, 8 bits", colour, picture},
        {"RGB, 16 bits", colour.convertToFormat(QImage::Format_RGBX64), picture},
        {"RGBA, 8 bits, opaque", colour.convertToFormat(QImage::Format_ARGB32), picture},
        {"RGBA, 16 bits, opaque", colour.convertToFormat(QImage::Format_RGBA64), picture},
        {"palette", colour.convertToFormat(QImage::Format_Indexed8), picture},
        {"grey, 8 bits", greys.convertToFormat(QImage::Format_Grayscale8), grey},
        {"grey, 16 bits", greys.convertToFormat(QImage::Format_Grayscale16), grey},
        {"interlaced", QImage(), picture},
    };
    for (const auto& kind : kinds) {
        const QString path = dir.filePath("tile.png");
        QFile::remove(path);
        if (kind.image.isNull())
            png::writeInterlaced(kind.expected, path);
        else
            ASSERT_TRUE(kind.image.save(path, "PNG")) << kind.name;
        const auto tile = ornamo::loadTileFile(path, 0x336699);
        ASSERT_TRUE(tile) << kind.name;
        EXPECT_EQ(*tile, png::asBitmapFile(kind.expected, dir)) << kind.name;
    }
}

// Transparent pixels show the gap colour, opaque ones their own, half transparent ones lie
// halfway, in 8 and 16 bits.
TEST(PngTiles, AlphaIsCompositedOnTheGapColour) {
    QTemporaryDir dir;
    const Color gap = 0x20C0F0;
    const QColor own(200, 10, 100);
    for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGBA64}) {
        QImage image(3, 1, format);
        for (int alpha : {0, 255, 128}) {
            QColor c = own;
            c.setAlpha(alpha);
            image.setPixelColor(alpha == 0 ? 0 : alpha == 255 ? 1 : 2, 0, c);
        }
        const QString path = dir.filePath("alpha.png");
        ASSERT_TRUE(image.save(path, "PNG"));
        const auto tile = ornamo::loadTileFile(path, gap);
        ASSERT_TRUE(tile);
        EXPECT_EQ(tile->pixel(0, 0), gap) << format;
        EXPECT_EQ(tile->pixel(1, 0), ornamo::makeColor(200, 10, 100)) << format;
        const Color half = tile->pixel(2, 0);
        const int channels[3][3] = {{ornamo::redOf(half), 200, ornamo::redOf(gap)},
                                    {ornamo::greenOf(half), 10, ornamo::greenOf(gap)},
                                    {ornamo::blueOf(half), 100, ornamo::blueOf(gap)}};
        for (const auto& [mixed, mine, theGap] : channels)
            EXPECT_LE(std::abs(2 * mixed - mine - theGap), 2) << format;
    }
}

// What the program writes as PNG comes back as the same tile.
TEST(PngTiles, AnExportedPictureReadsBackTheSame) {
    QTemporaryDir dir;
    std::mt19937 rng(8);
    const Bitmap picture = ornamo::testimages::randomImage(37, 41, rng);
    const QString path = dir.filePath("mosaic.png");
    ASSERT_TRUE(savePicture(path, ornamo::BitmapPicture(picture), ornamo::ImageFileFormat::Png));
    EXPECT_EQ(ornamo::loadTileFile(path, 0), std::optional(picture));
}

// A damaged PNG is refused whole, like a damaged bitmap; a size beyond the limits is refused
// from the header, before any pixel is decoded.
TEST(PngTiles, DamagedOrTooLargeFilesAreRefused) {
    QTemporaryDir dir;
    std::mt19937 rng(9);
    const QString good = dir.filePath("good.png");
    ASSERT_TRUE(png::qimageOf(ornamo::testimages::randomImage(30, 30, rng)).save(good, "PNG"));
    const QByteArray bytes = readFile(good);
    const qsizetype data = bytes.indexOf("IDAT") + 8;
    QByteArray flipped = bytes;
    flipped[data + 5] = static_cast<char>(flipped[data + 5] ^ 0x40);
    // A header of 60000 x 60000 pixels with its checksum right, and nothing after it.
    QByteArray huge = bytes.left(33);
    qToBigEndian(std::uint32_t{60000}, huge.data() + 16);
    qToBigEndian(std::uint32_t{60000}, huge.data() + 20);
    qToBigEndian(static_cast<std::uint32_t>(
                     crc32(0, reinterpret_cast<const Bytef*>(huge.constData() + 12), 17)),
                 huge.data() + 29);
    const std::pair<const char*, QByteArray> cases[] = {
        {"cut in its pixels", bytes.left(data + 20)}, {"its end cut off", bytes.chopped(12)},
        {"a checksum that does not match", flipped},  {"too large", huge},
        {"only the signature", bytes.left(8)},
    };
    for (const auto& [name, contents] : cases) {
        const QString path = dir.filePath("damaged.png");
        writeFile(path, contents);
        EXPECT_FALSE(ornamo::loadTileFile(path, 0).has_value()) << name;
    }
    EXPECT_TRUE(ornamo::loadTileFile(good, 0).has_value());
}

// Plain 24-bit bitmaps are read straight into the rows, bottom-up and top-down alike, and give
// the pixels Qt's reader gives.
TEST(LoadBitmap, PlainRowsReadInPlaceMatchQt) {
    QTemporaryDir dir;
    std::mt19937 rng(10);
    const Bitmap picture = ornamo::testimages::randomImage(13, 7, rng);
    const QString path = dir.filePath("plain.bmp");
    ASSERT_TRUE(ornamo::testimages::saveBitmapFile(picture, path));
    QByteArray topDown = readFile(path);
    const qsizetype offset = qFromLittleEndian<std::uint32_t>(topDown.constData() + 10);
    const qsizetype stride = Bitmap::strideFor(13);
    QByteArray rows;
    for (int y = 6; y >= 0; --y)
        rows += topDown.mid(offset + y * stride, stride);
    topDown.replace(offset, rows.size(), rows);
    qToLittleEndian(std::int32_t{-7}, topDown.data() + 22);
    QImage byQt;
    ASSERT_TRUE(byQt.load(path, "BMP"));
    byQt.convertTo(QImage::Format_RGB888);
    EXPECT_EQ(png::qimageOf(picture), byQt);
    EXPECT_EQ(ornamo::loadBitmapFile(path), std::optional(picture));
    EXPECT_EQ(ornamo::loadBitmapFile(topDown), std::optional(picture));
}

} // namespace
