#include "colortext.h"

#include <QString>
#include <gtest/gtest.h>

#include <optional>

namespace {

using ornamo::makeColor;

// Every form --gap and a work file's colour are offered, read by the one parser they share.
TEST(ColorFromHex, AcceptsExactlySixAsciiHexadecimalDigits) {
    struct Row {
        const char* label;
        QString text;
        std::optional<ornamo::Color> color;
    };
    const Row rows[] = {
        {"upper case", QStringLiteral("FF8800"), makeColor(0xFF, 0x88, 0x00)},
        {"lower case", QStringLiteral("ff8800"), makeColor(0xFF, 0x88, 0x00)},
        {"mixed, every digit in its place", QStringLiteral("0a1B2c"), makeColor(0x0A, 0x1B, 0x2C)},
        {"black", QStringLiteral("000000"), makeColor(0, 0, 0)},
        {"five digits", QStringLiteral("12345"), std::nullopt},
        {"seven digits", QStringLiteral("1234567"), std::nullopt},
        {"empty", QString(), std::nullopt},
        {"with #", QStringLiteral("#FF8800"), std::nullopt},
        {"with 0x", QStringLiteral("0xFF88"), std::nullopt},
        {"with a sign", QStringLiteral("+12345"), std::nullopt},
        {"a leading blank", QStringLiteral(" 12345"), std::nullopt},
        {"a trailing blank", QStringLiteral("12345 "), std::nullopt},
        {"past f", QStringLiteral("12345g"), std::nullopt},
        {"between 9 and A", QStringLiteral("12345:"), std::nullopt},
        {"Arabic-Indic digits", QString(6, QChar(0x0661)), std::nullopt},
        {"full-width letters", QString(6, QChar(0xFF21)), std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ornamo::colorFromHex(row.text), row.color) << row.label;
}

} // namespace
