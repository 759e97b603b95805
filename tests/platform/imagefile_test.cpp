#include "imagefile.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <ostream>
#include <string>
#include <vector>

using ornamo::Bitmap;
using ornamo::Color;

namespace {

QString suiteFile(const QString& name) {
    return QStringLiteral(ORNAMO_TEST_DATA "/bmpsuite/") + name + QStringLiteral(".bmp");
}

Bitmap loaded(const QString& name) {
    auto image = loadBitmapFile(suiteFile(name));
    EXPECT_TRUE(image.has_value()) << name.toStdString();
    return image ? *image : Bitmap();
}

Bitmap randomImage(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFFu);
    return b;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::uint32_t littleEndianAt(const QByteArray& bytes, int at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return v;
}

// ---- Loading the test suite ----

struct GoodFile {
    const char* name;
    int width, height;
};

void PrintTo(const GoodFile& f, std::ostream* os) { *os << f.name; }

class GoodFiles : public testing::TestWithParam<GoodFile> {};

TEST_P(GoodFiles, LoadAtTheirSize) {
    const Bitmap image = loaded(GetParam().name);
    EXPECT_EQ(image.width(), GetParam().width);
    EXPECT_EQ(image.height(), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, GoodFiles,
    testing::Values(GoodFile{"g/pal1", 127, 64}, GoodFile{"g/pal1bg", 127, 64},
                    GoodFile{"g/pal1wb", 127, 64}, GoodFile{"g/pal4", 127, 64},
                    GoodFile{"g/pal4gs", 127, 64}, GoodFile{"g/pal4rle", 127, 64},
                    GoodFile{"g/pal8-0", 127, 64}, GoodFile{"g/pal8", 127, 64},
                    GoodFile{"g/pal8gs", 127, 64}, GoodFile{"g/pal8nonsquare", 127, 32},
                    GoodFile{"g/pal8os2", 127, 64}, GoodFile{"g/pal8rle", 127, 64},
                    GoodFile{"g/pal8topdown", 127, 64}, GoodFile{"g/pal8v4", 127, 64},
                    GoodFile{"g/pal8v5", 127, 64}, GoodFile{"g/pal8w124", 124, 61},
                    GoodFile{"g/pal8w125", 125, 62}, GoodFile{"g/pal8w126", 126, 63},
                    GoodFile{"g/rgb16-565", 127, 64}, GoodFile{"g/rgb16-565pal", 127, 64},
                    GoodFile{"g/rgb16", 127, 64}, GoodFile{"g/rgb16bfdef", 127, 64},
                    GoodFile{"g/rgb24", 127, 64}, GoodFile{"g/rgb24pal", 127, 64},
                    GoodFile{"g/rgb32", 127, 64}, GoodFile{"g/rgb32bf", 127, 64},
                    GoodFile{"g/rgb32bfdef", 127, 64}),
    [](const testing::TestParamInfo<GoodFile>& info) {
        std::string name = info.param.name + 2;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

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

// The 16-bit files hold the 24-bit picture with each channel rounded to 5 (or 6) bits; read
// back, a channel value v of n bits must be v * 255 / (2^n - 1), rounded, so that the
// brightest value is 255.
TEST(GoodFiles, SixteenBitChannelsSpanTheFullRange) {
    const Bitmap truth = loaded("g/rgb24");
    const std::pair<const char*, std::array<int, 3>> files[] = {{"g/rgb16", {5, 5, 5}},
                                                                {"g/rgb16-565", {5, 6, 5}}};
    for (const auto& [name, bits] : files) {
        const Bitmap image = loaded(name);
        ASSERT_EQ(image.width(), truth.width());
        bool sawFull = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    const int top = (1 << bits[static_cast<std::size_t>(c)]) - 1;
                    const int original = static_cast<int>(truth.pixel(x, y) >> (8 * c)) & 255;
                    const int stored = (original * top + 127) / 255;
                    const int got = static_cast<int>(image.pixel(x, y) >> (8 * c)) & 255;
                    ASSERT_EQ(got, (stored * 255 + top / 2) / top)
                        << name << " at " << x << "," << y;
                    sawFull = sawFull || got == 255;
                }
        EXPECT_TRUE(sawFull) << name;
    }
}

TEST(GoodFiles, GreyPalettesLoadGrey) {
    for (const char* name : {"g/pal4gs", "g/pal8gs"}) {
        const Bitmap image = loaded(name);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const Color c = image.pixel(x, y);
                ASSERT_EQ(c, (c & 0xFF) * 0x010101u) << name;
            }
    }
}

// Damaged files either fail or always give the same pixels: the heap is dirtied between two
// loads, so pixels the reader leaves unwritten would differ.
class BadFiles : public testing::TestWithParam<const char*> {};

void dirtyTheHeap() {
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t size : {32u * 1024, 64u * 1024, 127u * 64 * 4, 127u * 64, 127u * 64 * 3})
        blocks.emplace_back(size, static_cast<std::uint8_t>(0xA5));
}

TEST_P(BadFiles, FailOrLoadTheSameEveryTime) {
    const QString path = suiteFile(GetParam());
    const auto first = loadBitmapFile(path);
    dirtyTheHeap();
    const auto second = loadBitmapFile(path);
    ASSERT_EQ(first.has_value(), second.has_value());
    if (first) {
        EXPECT_FALSE(first->isEmpty());
        EXPECT_EQ(*first, *second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Suite, BadFiles,
    testing::Values("b/badbitcount", "b/badbitssize", "b/baddens1", "b/baddens2", "b/badfilesize",
                    "b/badheadersize", "b/badpalettesize", "b/badplanes", "b/badrle", "b/badrle4",
                    "b/badrle4bis", "b/badrle4ter", "b/badrlebis", "b/badrleter", "b/badwidth",
                    "b/pal8badindex", "b/reallybig", "b/rgb16-880", "b/rletopdown", "b/shortfile"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name = info.param + 2;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

TEST(BadFiles, EnormousDeclaredSizeFails) {
    EXPECT_FALSE(loadBitmapFile(suiteFile("b/reallybig")).has_value());
}

// ---- Other files ----

TEST(LoadBitmap, AnyExtensionIsReadAsABitmap) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tile.png");
    ASSERT_TRUE(QFile::copy(suiteFile("g/rgb24"), path));
    const auto image = loadBitmapFile(path);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(*image, loaded("g/rgb24"));
}

TEST(LoadBitmap, RefusesWhatIsNoBitmap) {
    QTemporaryDir dir;
    writeFile(dir.filePath("text.bmp"), "Toto nie je obrazok.\n");
    writeFile(dir.filePath("empty.bmp"), QByteArray());
    EXPECT_FALSE(loadBitmapFile(dir.filePath("text.bmp")).has_value());
    EXPECT_FALSE(loadBitmapFile(dir.filePath("empty.bmp")).has_value());
    EXPECT_FALSE(loadBitmapFile(dir.filePath("missing.bmp")).has_value());
    EXPECT_FALSE(loadBitmapFile(dir.path()).has_value());
}

// A 24-bit header declaring width x height, followed by no pixels at all.
QByteArray headerOnly(std::int32_t width, std::int32_t height) {
    QByteArray b(54, '\0');
    auto put = [&](int at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, 54, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    return b;
}

TEST(LoadBitmap, RefusesSidesAbove65535AndEmptyImages) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::int32_t width, height;
    } cases[] = {{"wide", 65536, 1}, {"high", 1, 65536}, {"noWidth", 0, 10}, {"noHeight", 10, 0}};
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString(c.name) + ".bmp");
        writeFile(path, headerOnly(c.width, c.height));
        EXPECT_FALSE(loadBitmapFile(path).has_value()) << c.name;
    }
}

// ---- Saving ----

TEST(SaveBitmap, RoundTripIsExact) {
    QTemporaryDir dir;
    for (const auto& [w, h] :
         {std::pair{1, 1}, std::pair{7, 3}, std::pair{40, 40}, std::pair{101, 13}}) {
        const Bitmap image = randomImage(w, h, static_cast<unsigned>(w * 100 + h));
        const QString path = dir.filePath("out.bmp");
        ASSERT_TRUE(saveBitmapFile(image, path));
        const auto back = loadBitmapFile(path);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, image) << w << " x " << h;

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(54);
        EXPECT_EQ(littleEndianAt(head, 28, 2), 24u) << "bits per pixel";
    }
}

TEST(SaveBitmap, PngRoundTripIsExact) {
    QTemporaryDir dir;
    const Bitmap image = randomImage(33, 17, 5);
    const QString path = dir.filePath("out.png");
    ASSERT_TRUE(saveBitmapFile(image, path, ImageFileFormat::Png));
    QImageReader reader(path, "png");
    QImage back = reader.read().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(back.size(), QSize(33, 17));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) {
            const QRgb c = back.pixel(x, y);
            ASSERT_EQ(ornamo::makeColor(qRed(c), qGreen(c), qBlue(c)), image.pixel(x, y));
        }
}

TEST(SaveBitmap, ReplacesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    writeFile(path, "old contents");
    const Bitmap image = randomImage(5, 5, 6);
    ASSERT_TRUE(saveBitmapFile(image, path));
    EXPECT_EQ(*loadBitmapFile(path), image);
}

TEST(SaveBitmap, FailureLeavesTheOldFileAndNothingElse) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bmp");
    writeFile(path, "old contents");
    EXPECT_FALSE(saveBitmapFile(Bitmap(), path)); // an empty image is not written
    EXPECT_FALSE(saveBitmapFile(randomImage(3, 3, 7), dir.filePath("missing/out.bmp")));
    EXPECT_FALSE(saveBitmapFile(randomImage(3, 3, 7), dir.path())); // a folder
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("old contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"out.bmp"});
}

TEST(WrapBitmap, SharesThePixels) {
    const Bitmap image = randomImage(9, 4, 8);
    const QImage wrapped = wrapBitmap(image);
    EXPECT_EQ(wrapped.constBits(), image.bits());
    EXPECT_EQ(wrapped.format(), QImage::Format_RGB888);
    EXPECT_EQ(wrapped.bytesPerLine(), image.stride());
    const QRgb c = wrapped.pixel(8, 3);
    EXPECT_EQ(ornamo::makeColor(qRed(c), qGreen(c), qBlue(c)), image.pixel(8, 3));
    EXPECT_TRUE(wrapBitmap(Bitmap()).isNull());
}

} // namespace
