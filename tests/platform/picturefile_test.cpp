#include "picturefile.h"
#include "pngencoder.h"
#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <tuple>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

using namespace ornamo;

namespace {

std::uint32_t field(const std::array<std::uint8_t, 54>& header, int at) {
    return header[at] | header[at + 1] << 8 | header[at + 2] << 16 | unsigned{header[at + 3]} << 24;
}

TEST(BmpHeader, SizeFieldsEitherSideOfTwoAndFourGiB) {
    const struct {
        int width, height;
        std::uint32_t fileSize; // 0: does not fit
    } cases[] = {{5, 3, 102},
                 {16384, 43690, 2147450934u},
                 {16384, 43691, 2147500086u},
                 {16384, 87381, 4294950966u},
                 {16384, 87382, 0},
                 {1, 1073741810, 4294967294u},
                 {1, 1073741811, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(bmpFits(c.width, c.height), c.fileSize != 0) << c.width << " x " << c.height;
        if (const auto h = bmpHeader(c.width, c.height); c.fileSize != 0) {
            EXPECT_EQ(
                std::tuple(field(h, 2), field(h, 18), field(h, 22), field(h, 34)),
                std::tuple(c.fileSize, unsigned(c.width), unsigned(c.height), c.fileSize - 54));
        }
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SavePicture, RoundTripsThroughQtPixelExact) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out");
    for (const auto& [width, height] :
         {std::pair{1, 1}, {5, 3}, {7, 2}, {300, 1}, {1, 300}, {1021, 1100}})
        for (const ornamo::ImageFileFormat format :
             {ornamo::ImageFileFormat::Bmp, ornamo::ImageFileFormat::Png}) {
            SCOPED_TRACE(testing::Message()
                         << width << " x " << height << " format " << int(format));
            std::mt19937 rng(static_cast<unsigned>(width * 7 + height));
            const Bitmap image = testimages::randomImage(width, height, rng);
            ASSERT_TRUE(savePicture(path, BitmapPicture(image), format));
            QImage back(path, format == ornamo::ImageFileFormat::Bmp ? "bmp" : "png");
            ASSERT_EQ(back.size(), QSize(width, height));
            back.convertTo(QImage::Format_RGB888);
            for (int y = 0; y < height; ++y)
                ASSERT_EQ(std::memcmp(back.constScanLine(y), image.row(y), width * 3), 0) << y;
            if (format == ornamo::ImageFileFormat::Bmp) {
                EXPECT_EQ(QFileInfo(path).size(), field(bmpHeader(width, height), 2));
            }
        }
}

// A picture of any size that counts its readRows calls and throws std::bad_alloc from the one
// numbered `failingCall`.
struct FakePicture final : PictureSource {
    FakePicture(int w, int h, int failingCall = 0) : w(w), h(h), failingCall(failingCall) {}
    int width() const override { return w; }
    int height() const override { return h; }
    void readRows(int first, int count, std::uint8_t* rows, std::ptrdiff_t stride) const override {
        if (++calls == failingCall)
            throw std::bad_alloc();
        std::this_thread::sleep_for(delay);
        for (int y = 0; y < count; ++y)
            std::memset(rows + y * stride, (first + y) & 0xFF, std::size_t(w) * 3);
    }
    int w, h, failingCall;
    std::chrono::milliseconds delay{};
    mutable int calls = 0;
};

// Asks to stop after the first step.
struct CancellingProgress final : Progress {
    void StartProcessBar(Caption) override {}
    void EndProcessBar() override {}
    void step(int) override { ++steps; }
    bool cancelled() const override { return steps > 0; }
    int steps = 0;
};

// A picture that repeats a random 37 x 41 block, each pixel of it stretched to `stretch` x
// `stretch`, so that deflate finds its matches across the encoder's chunks and rows repeat.
Bitmap repeatedBlock(int width, int height, int stretch) {
    std::mt19937 rng(static_cast<unsigned>(width + height));
    const Bitmap block = testimages::randomImage(37, 41, rng);
    Bitmap image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, block.pixel(x / stretch % 37, y / stretch % 41));
    return image;
}

std::vector<std::uint8_t> encoded(const Bitmap& image, int threads) {
    std::vector<std::uint8_t> bytes;
    const bool done = encodePng(
        BitmapPicture(image),
        [&bytes](const std::uint8_t* data, std::size_t size) {
            bytes.insert(bytes.end(), data, data + size);
            return true;
        },
        [](int) { return true; }, {.threads = threads});
    return done ? bytes : std::vector<std::uint8_t>();
}

// The rows libpng reads from the file, R,G,B, packed; empty when it refuses the file.
std::vector<std::uint8_t> decodedByLibpng(const std::vector<std::uint8_t>& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> pixels;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        image.format = PNG_FORMAT_RGB;
        pixels.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
            pixels.clear();
    }
    png_image_free(&image);
    return pixels;
}

TEST(PngEncoder, SameBytesForAnyThreadCountAndExactRowsThroughLibpngAndQt) {
    const int chunk = pngChunkRows(1021); // rows of a 1021-pixel picture deflated together
    const struct {
        const char* name;
        int width, height, stretch;
    } cases[] = {{"one chunk exactly", 1021, chunk, 1},
                 {"one row past a chunk", 1021, chunk + 1, 1},
                 {"one row short of two chunks", 1021, 2 * chunk - 1, 1},
                 {"three chunks exactly", 1021, 3 * chunk, 1},
                 {"rows repeated in runs, across chunks", 1021, 2 * chunk + 5, 7},
                 {"across bands of eight chunks", 20000, 8 * pngChunkRows(20000) + 3, 3},
                 {"one column, two chunks", 1, pngChunkRows(1) + 7, 5},
                 {"one row", 333, 1, 1},
                 {"rows longer than a chunk", 400001, 3, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bitmap image = repeatedBlock(c.width, c.height, c.stretch);
        const std::vector<std::uint8_t> file = encoded(image, 1);
        for (const int threads : {2, 3, 8})
            ASSERT_EQ(encoded(image, threads), file) << threads << " threads";
        const std::vector<std::uint8_t> libpngRows = decodedByLibpng(file);
        QImage qtImage = QImage::fromData(file.data(), static_cast<int>(file.size()), "png");
        qtImage.convertTo(QImage::Format_RGB888);
        ASSERT_EQ(libpngRows.size(), std::size_t(c.width) * 3 * c.height);
        ASSERT_EQ(qtImage.size(), QSize(c.width, c.height));
        for (int y = 0; y < c.height; ++y) {
            ASSERT_EQ(std::memcmp(libpngRows.data() + std::size_t(y) * c.width * 3, image.row(y),
                                  std::size_t(c.width) * 3),
                      0)
                << "libpng, row " << y;
            ASSERT_EQ(std::memcmp(qtImage.constScanLine(y), image.row(y), std::size_t(c.width) * 3),
                      0)
                << "Qt, row " << y;
        }
    }
}

// Memory that runs out as a chunk is handed over ends the encoding with false, leaving no
// thread a chunk that is freed (AddressSanitizer sees any use of one).
TEST(PngEncoder, MemoryRunningOutWhileAChunkIsQueuedEndsTheEncoding) {
    const Bitmap image = repeatedBlock(1021, 6 * pngChunkRows(1021), 1);
    static int queued;
    pngChunkQueueingHook = [] {
        if (++queued >= 3)
            throw std::bad_alloc();
    };
    for (const int threads : {2, 3}) {
        queued = 0;
        EXPECT_TRUE(encoded(image, threads).empty()) << threads << " threads";
    }
    pngChunkQueueingHook = nullptr;
}

// A temporary folder holding out.bmp, which a failed save must leave alone.
struct Folder {
    QTemporaryDir dir;
    QString old = dir.filePath("out.bmp");
    Folder() {
        QFile file(old);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old contents") == 12);
    }
    void expectUntouched() const {
        EXPECT_EQ(readFile(old), QByteArray("old contents"));
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"out.bmp"});
    }
};

TEST(SavePicture, FailureReportsFalseAndLeavesTheOldFile) {
    const struct {
        const char* name;
        FakePicture picture;
        ornamo::ImageFileFormat format;
        int calls; // readRows calls made
    } cases[] = {{"BMP, second band fails", {1100, 1000, 2}, ornamo::ImageFileFormat::Bmp, 2},
                 {"PNG, second band fails", {65535, 1000, 2}, ornamo::ImageFileFormat::Png, 2},
                 {"BMP beyond 4 GiB", {65535, 30000}, ornamo::ImageFileFormat::Bmp, 0},
                 {"no width", {0, 5}, ornamo::ImageFileFormat::Png, 0}};
    for (const auto& c : cases) {
        Folder folder;
        EXPECT_FALSE(savePicture(folder.old, c.picture, c.format)) << c.name;
        EXPECT_EQ(c.picture.calls, c.calls) << c.name;
        folder.expectUntouched();
    }
}

// A slow picture makes the writer step, and so ask, after its first band or chunk of three.
TEST(SavePicture, CancelStopsTheWriteAndLeavesTheOldFile) {
    for (const auto format : {ornamo::ImageFileFormat::Bmp, ornamo::ImageFileFormat::Png}) {
        Folder folder;
        FakePicture picture(1100, 3 * pngChunkRows(1100));
        picture.delay = std::chrono::milliseconds(40);
        CancellingProgress progress;
        EXPECT_FALSE(savePicture(folder.old, picture, format, &progress)) << int(format);
        EXPECT_EQ(progress.steps, 1) << int(format);
        folder.expectUntouched();
    }
}

#ifdef Q_OS_UNIX
TEST(SavePicture, SymbolicLinkStaysALinkAndItsTargetGetsThePicture) {
    Folder folder;
    const QString link = folder.dir.filePath("link.bmp");
    ASSERT_TRUE(QFile::link("out.bmp", link));
    const Bitmap image(3, 2, 0x123456);
    ASSERT_TRUE(savePicture(link, BitmapPicture(image), ornamo::ImageFileFormat::Bmp));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ornamo::loadBitmapFile(folder.old), image);
}

// A FIFO is written into directly and stays a FIFO; a reader that goes away fails the save,
// and a FIFO no one reads fails it at once instead of waiting for a reader.
TEST(SavePicture, FifoIsWrittenIntoDirectly) {
    std::signal(SIGPIPE, SIG_IGN); // writing to a pipe nobody reads then fails with EPIPE
    QTemporaryDir dir;
    const FakePicture picture(1100, 1000);
    const QString plain = dir.filePath("plain.bmp");
    ASSERT_TRUE(savePicture(plain, picture, ornamo::ImageFileFormat::Bmp));
    enum Reader { ReadsAll, GoesAway, None };
    for (const Reader kind : {ReadsAll, GoesAway, None}) {
        const QByteArray fifo = QFile::encodeName(dir.filePath(QString::number(kind)));
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        // The read end is open before the save starts, as a reading program's would be.
        const int readEnd = kind == None ? -1 : ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        auto received = std::make_shared<QByteArray>();
        std::thread reader([readEnd, received, kind] {
            QFile file;
            if (kind == ReadsAll && ::fcntl(readEnd, F_SETFL, 0) == 0 &&
                file.open(readEnd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                *received = file.readAll();
            else if (readEnd >= 0)
                ::close(readEnd);
        });
        const bool saved =
            savePicture(QFile::decodeName(fifo), picture, ornamo::ImageFileFormat::Bmp);
        reader.join();
        struct stat status {};
        EXPECT_TRUE(::stat(fifo.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
        EXPECT_EQ(saved, kind == ReadsAll);
        EXPECT_EQ(*received, kind == ReadsAll ? readFile(plain) : QByteArray());
    }
}
#endif

} // namespace
