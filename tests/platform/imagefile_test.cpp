#include "imagefile.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMap>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

using ornamo::Bitmap;

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

} // namespace
