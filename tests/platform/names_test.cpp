#include "names.h"

#include "hierarchy.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    const char* label;
    std::string bytes;
    QString shown;
};
void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.label;
}

class DisplayName : public ::testing::TestWithParam<NameCase> {};

TEST_P(DisplayName, Decodes) {
    EXPECT_EQ(ornamo::displayName(GetParam().bytes), GetParam().shown)
        << ornamo::displayName(GetParam().bytes).toStdString();
}

// "Štvorec" and "Žltý kôň" spelled with code points, to keep the expectations independent of
// this file's own encoding.
const QString stvorec = QString(QChar(0x0160)) + "tvorec";
const QString zltyKon =
    QString(QChar(0x017D)) + "lt" + QChar(0x00FD) + " k" + QChar(0x00F4) + QChar(0x0148);

INSTANTIATE_TEST_SUITE_P(
    Names, DisplayName,
    ::testing::Values(NameCase{"Empty", "", QString()}, NameCase{"Ascii", "Pruh 3x3", "Pruh 3x3"},
                      NameCase{"BlanksKept", "  -- ", "  -- "},
                      NameCase{"Utf8", "\xC5\xA0tvorec", stvorec},
                      NameCase{"Windows1250", "\x8Atvorec", stvorec},
                      NameCase{"Windows1250Letters", "\x8Elt\xFD k\xF4\xF2", zltyKon},
                      // A lone lead byte makes the whole name Windows-1250.
                      NameCase{"BrokenUtf8", "\xC5 a\xC5\xA0",
                               QString(QChar(0x0139)) + " a" + QChar(0x0139) + QChar(0x00A0)},
                      NameCase{"OverlongUtf8IsNotUtf8", "\xC0\xAF",
                               QString(QChar(0x0154)) + QChar(0x017B)}),
    [](const auto& info) { return std::string(info.param.label); });

// The engine opens a file under a name of letters outside ASCII that Qt wrote.
TEST(FileSystemPath, OpensTheFileQtNames) {
    QTemporaryDir dir;
    const QString path = dir.filePath(zltyKon + ".hrh");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write("Pruh\n"), 5);
    file.close();
    std::string text;
    EXPECT_TRUE(ornamo::readHierarchyText(ornamo::fileSystemPath(path), text));
    EXPECT_EQ(text, "Pruh\n");
}

} // namespace
