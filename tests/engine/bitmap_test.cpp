#include "bitmap.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <new>

using ornamo::Bitmap;
using ornamo::Color;
using ornamo::testimages::numberedImage;

TEST(Bitmap, RowsAreRgbBytesPaddedToFourBytes) {
    Bitmap b(3, 2, 0x00332211);
    EXPECT_EQ(b.stride(), 12); // 9 bytes of pixels, padded
    const std::uint8_t* r = b.row(1);
    EXPECT_EQ(r[0], 0x11); // red first, as QImage::Format_RGB888
    EXPECT_EQ(r[1], 0x22);
    EXPECT_EQ(r[2], 0x33);
    EXPECT_EQ(b.row(1) - b.row(0), 12);
    EXPECT_EQ(Bitmap(4, 1).stride(), 12);
    EXPECT_EQ(Bitmap(5, 1).stride(), 16);
}

TEST(Bitmap, ResizeKeepsTopLeftAndFillsGainedArea) {
    const Bitmap original = numberedImage(3, 2);
    Bitmap b = original;
    b.resize(5, 4, 0x00ABCDEF);
    ASSERT_EQ(b.width(), 5);
    ASSERT_EQ(b.height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(b.pixel(x, y), (x < 3 && y < 2) ? original.pixel(x, y) : 0x00ABCDEFu)
                << x << "," << y;
    b.resize(2, 1, 0);
    ASSERT_EQ(b.width(), 2);
    ASSERT_EQ(b.height(), 1);
    EXPECT_EQ(b.pixel(1, 0), original.pixel(1, 0));
}

TEST(Bitmap, DrawIsOpaqueAndClippedAtEveryEdge) {
    const Bitmap src = numberedImage(3, 3);
    struct Case {
        const char* name;
        int x, y;
    };
    const Case cases[] = {{"inside", 1, 1},
                          {"left", -2, 0},
                          {"top", 0, -2},
                          {"right", 4, 2},
                          {"bottom", 1, 4},
                          {"outside", 9, 9},
                          {"negative outside", -3, -3}};
    for (const Case& c : cases) {
        Bitmap dst(5, 5, 0x00FFFFFF);
        dst.draw(src, c.x, c.y);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                const int sx = x - c.x, sy = y - c.y;
                const bool covered = sx >= 0 && sx < 3 && sy >= 0 && sy < 3;
                EXPECT_EQ(dst.pixel(x, y), covered ? src.pixel(sx, sy) : 0x00FFFFFFu)
                    << c.name << " at " << x << "," << y;
            }
    }
}

TEST(Bitmap, FillRectIsClipped) {
    Bitmap b(4, 3, 0);
    b.fillRect(-1, 1, 3, 5, 0x00010203);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.pixel(x, y), (x < 2 && y >= 1) ? 0x00010203u : 0u) << x << "," << y;
}

TEST(Bitmap, SizesThatCannotBeAllocatedThrowAndChangeNothing) {
    Bitmap b(2, 2, 0x00112233);
    EXPECT_THROW(b.resizeForOverwrite(2'000'000'000, 2'000'000'000), std::bad_alloc);
    EXPECT_EQ(b.width(), 2);
    EXPECT_EQ(b.pixel(1, 1), 0x00112233u);
    EXPECT_THROW(Bitmap(1 << 30, 1 << 30), std::bad_alloc);
    // width x height x 3 would overflow: reported as 0 bytes, never wrapped to a small size.
    EXPECT_EQ(Bitmap::bytesFor(2147483647, 2147483647), 0u);
    EXPECT_EQ(Bitmap::bytesFor(3, 2), 24u);
    EXPECT_EQ(Bitmap::bytesFor(-1, 5), 0u);
}
