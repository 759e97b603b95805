#include "crop.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace ornamo;

namespace {

struct CropCase {
    const char* name;
    int width, height;
    CropChoice choice;
    int firstColumn, firstRow; // of the uncropped bitmap, at the square's top-left corner
};

void PrintTo(const CropCase& c, std::ostream* os) {
    *os << c.name;
}

class Crop : public testing::TestWithParam<CropCase> {};

TEST_P(Crop, KeepsTheChosenSquare) {
    const CropCase& c = GetParam();
    Bitmap tile = testimages::numberedImage(c.width, c.height, 0);
    cropToSquare(tile, c.choice);
    const int side = std::min(c.width, c.height);
    ASSERT_EQ(tile.width(), side);
    ASSERT_EQ(tile.height(), side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            ASSERT_EQ(tile.pixel(x, y), makeColor(static_cast<std::uint8_t>(x + c.firstColumn),
                                                  static_cast<std::uint8_t>(y + c.firstRow), 0))
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Table, Crop,
                         testing::Values(
                             // 60 x 100: rows 40..99, 0..59, 20..79
                             CropCase{"TallCutTop", 60, 100, CropChoice::First, 0, 40},
                             CropCase{"TallMiddle", 60, 100, CropChoice::Middle, 0, 20},
                             // an odd difference cuts the extra row from the bottom
                             CropCase{"TallMiddleOdd", 60, 101, CropChoice::Middle, 0, 20},
                             // 100 x 60: columns 40..99, 0..59, 20..79
                             CropCase{"WideCutLeft", 100, 60, CropChoice::First, 40, 0},
                             CropCase{"WideCutRight", 100, 60, CropChoice::Second, 0, 0},
                             CropCase{"WideMiddleOdd", 61, 20, CropChoice::Middle, 20, 0},
                             CropCase{"OnePixelHigh", 5, 1, CropChoice::First, 4, 0}),
                         [](const testing::TestParamInfo<CropCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CropShape, TallMeansNoWiderThanHigh) {
    EXPECT_TRUE(isTall(Bitmap(60, 100)));
    EXPECT_TRUE(isTall(Bitmap(40, 40)));
    EXPECT_FALSE(isTall(Bitmap(100, 60)));
}

} // namespace
