#include "bitmapfile.h"
#include "imagefile.h"
#include "messages.h"
#include "testimages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QFileInfo>
#include <QImage>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <utility>

namespace {

using ornamo::Bitmap;
using ornamo::Color;
using ornamo::makeColor;
using ornamo::testimages::saveBitmapFile;

// The 2 x 2 command of the model's worked example (parts in its order), a 3 x 3 command with
// an empty middle row, and a command without parts.
const char* const exampleRules = "Stvorec\nscale: 2\nitem: 4\n"
                                 "0 0 1 1 R0\n1 0 1 1 R90\n0 1 1 1 MR0\n1 1 1 1 R180\n\n"
                                 "Pruh\nscale: 3\nitem: 2\n0 0 3 1 R0\n0 2 3 1 MR0\n\n"
                                 "Prázdny\nscale: 2\nitem: 0\n";

struct Result {
    int exitCode = -1;
    std::string out;
    std::string errors;
};

class RenderProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        writeFile("rules.hrh", exampleRules);
        ASSERT_TRUE(saveBitmapFile(Bitmap(40, 40, 0x336699), path("tile.bmp")));
    }

    QString path(const QString& name) const { return directory.filePath(name); }

    void writeFile(const QString& name, const std::string& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    std::string readFile(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(missing)";
    }

    // Runs the program in the test's directory, with the test's tile and rules unless the
    // arguments say otherwise.
    Result render(QStringList arguments, bool defaults = true,
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                  rlim_t addressSpace = 0) const {
        if (defaults)
            arguments = QStringList{"-t", "tile.bmp", "-r", "rules.hrh"} + arguments;
        QProcess process;
        process.setProcessEnvironment(environment);
        if (addressSpace)
            process.setChildProcessModifier([addressSpace] {
                const rlimit limit{addressSpace, addressSpace};
                setrlimit(RLIMIT_AS, &limit);
            });
        process.setWorkingDirectory(directory.path());
        process.start(QStringLiteral(ORNAMO_RENDER), arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    QTemporaryDir directory;
};

TEST_F(RenderProgram, WithoutAnOutputItSaysWhatItWouldDraw) {
    const Result r = render({"1", "2", "zoom-in"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    // Two commands: 6 tiles of 40 across, 4 x 2 placements, factor 2 x 3 halved to 3.
    EXPECT_EQ(r.out, "mosaic 240 x 240 pixels, 8 placements, view 80 x 80 pixels\n");
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files).size(), 2); // nothing written
}

TEST_F(RenderProgram, WorkedExampleTwice) {
    const Result r = render({"--placements", "placements.txt", "-o", "out.bmp", "1", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    // scale 4, tileSize 40, factor 2 x 2; then the sixteen placements of the worked example,
    // block by block (orientations R0..MR270 as 0..7).
    EXPECT_EQ(readFile("placements.txt"),
              "4 40 4\n"
              "1 1 0 0 0\n1 1 40 0 1\n1 1 0 40 4\n1 1 40 40 2\n"
              "1 1 80 40 1\n1 1 80 0 2\n1 1 120 40 5\n1 1 120 0 3\n"
              "1 1 40 80 4\n1 1 0 80 7\n1 1 40 120 0\n1 1 0 120 6\n"
              "1 1 120 120 2\n1 1 80 120 3\n1 1 120 80 6\n1 1 80 80 0\n");
    const auto image = ornamo::loadBitmapFile(path("out.bmp"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 40); // 160 pixels reduced by 4
    EXPECT_EQ(image->pixel(20, 20), Color{0x336699});
}

// A mosaic exported as PNG is the tile of the next one, as its bitmap file is; a damaged PNG
// is refused with the message of any tile that does not load.
TEST_F(RenderProgram, AnExportedPngIsTheNextTile) {
    ASSERT_EQ(render({"-o", "first.png", "1"}).exitCode, 0);
    ASSERT_EQ(render({"-o", "first.bmp", "1"}).exitCode, 0);
    const QStringList next{"-r", "rules.hrh", "2", "-o"};
    ASSERT_EQ(
        render(QStringList{"-t", "first.png"} + next + QStringList{"fromPng.bmp"}, false).exitCode,
        0);
    ASSERT_EQ(
        render(QStringList{"-t", "first.bmp"} + next + QStringList{"fromBmp.bmp"}, false).exitCode,
        0);
    EXPECT_EQ(readFile("fromPng.bmp"), readFile("fromBmp.bmp"));

    writeFile("broken.png", readFile("first.png").substr(0, 60));
    const Result r = render({"-t", "broken.png", "-r", "rules.hrh", "1"}, false);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.errors, "ornamo-render: Nemôžem nahrať súbor broken.png !!!\n");
}

TEST_F(RenderProgram, AFailedSaveLeavesEveryOutputAsItWas) {
    writeFile("p.txt", "old placements\n");
    const Result r = render({"--placements", "p.txt", "-o", "nowhere/out.bmp", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("Zlyhalo uloženie súboru nowhere/out.bmp !!!"), std::string::npos)
        << r.errors;
    EXPECT_EQ(readFile("p.txt"), "old placements\n");
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files).size(), 3); // no temporary left
}

// However little memory there is, a save either writes the whole picture or leaves the old
// file as it was, and says which.
TEST_F(RenderProgram, UnderAMemoryLimitASaveIsWholeOrNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here allows";
#endif
    const QStringList steps{"--full", "-o", "out.bmp", "1", "1", "1", "1", "1", "1", "1"};
    ASSERT_EQ(render(steps).exitCode, 0);
    const std::string picture = readFile("out.bmp"); // 5120 pixels across, 75 MB
    ASSERT_EQ(picture.size(), 54u + 5120u * 5120u * 3u);
    int saved = 0;
    for (const rlim_t megabytes : {64, 128, 192, 256, 384, 1024}) {
        SCOPED_TRACE(std::to_string(megabytes) + " MB");
        writeFile("out.bmp", "old picture");
        const Result r =
            render(steps, true, QProcessEnvironment::systemEnvironment(), megabytes << 20);
        const std::string now = readFile("out.bmp");
        if (r.exitCode == 0) {
            ++saved;
            EXPECT_TRUE(now == picture);
        } else {
            EXPECT_EQ(now, "old picture") << r.errors;
        }
    }
    EXPECT_GT(saved, 0); // the picture needs bands, not the whole of it
}

struct FailureCase {
    const char* label;
    QStringList arguments;
    int exitCode;        // 2: a usage error
    const char* message; // part of stderr
};
void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.label;
}

class Failures : public RenderProgram, public ::testing::WithParamInterface<FailureCase> {};

// Nothing is written when a run fails.
TEST_P(Failures, ExitStatusAndReason) {
    const Result r =
        render(QStringList{"--placements", "p.txt", "-o", "out.bmp"} + GetParam().arguments);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.errors;
    EXPECT_NE(r.errors.find(GetParam().message), std::string::npos) << r.errors;
    EXPECT_FALSE(QFile::exists(path("out.bmp")));
    EXPECT_FALSE(QFile::exists(path("p.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Failures,
    ::testing::Values(
        FailureCase{"UnknownStep", {"1", "bogus"}, 2, "unknown step 'bogus'"},
        FailureCase{"CommandNumberAbove12", {"13"}, 2, "unknown step '13'"},
        FailureCase{"ReplaceByZero", {"1", "replace:0"}, 2, "unknown step"},
        FailureCase{"FullAndShrink", {"--full", "--shrink", "2"}, 2, "exclude"},
        FailureCase{"ShrinkZero", {"--shrink", "0"}, 2, "--shrink"},
        FailureCase{"ShortGapColour", {"--gap", "12345"}, 2, "--gap"},
        FailureCase{"GapColourWithHash", {"--gap", "#FF8800"}, 2, "--gap"},
        FailureCase{"BadCrop", {"--crop", "top"}, 2, "--crop"},
        FailureCase{"UnknownOption", {"--nonsense"}, 2, "nonsense"},
        FailureCase{"UsageNamesTheProgramNotItsPath",
                    {"--nonsense"},
                    2,
                    "\nUsage: ornamo-render [options]"},
        FailureCase{"OutputNeitherBmpNorPng", {"-o", "x.jpg"}, 2, ".bmp or .png"},
        FailureCase{"BothOutputsOneFile", {"--placements", "out.bmp"}, 2, "name the same file"},
        FailureCase{"ExplainNotAPoint", {"--explain", "3"}, 2, "--explain wants a point"},
        FailureCase{"ExplainBeyondTheMosaic", {"1", "--explain", "5,80"}, 2, "--explain 5,80"},
        FailureCase{"RefusedCommand", {"1", "3"}, 1, "step 2 (3): Tento príkaz sa nedá použiť."},
        FailureCase{"UndoOnEmptyStack", {"undo"}, 1, "Príkazový zásobník je prázdny."},
        FailureCase{"ZoomOutTooFar", QStringList(8, "zoom-out"), 1,
                    "step 8 (zoom-out): Myslíš, že to má ešte zmysel?"},
        FailureCase{"SelectBeyondTheList", {"1", "select:1"}, 1, "select:1"},
        // The last position of a full stack is a step; one past it is none.
        FailureCase{"SelectTheLastPositionOfAFullStack", {"1", "select:254"}, 1, "select:254"},
        FailureCase{"SelectPastAFullStack", {"1", "select:255"}, 2, "unknown step 'select:255'"},
        FailureCase{"MissingTile", {"-t", "chýba.bmp"}, 1, "Nemôžem nahrať súbor chýba.bmp !!!"},
        FailureCase{"TooLargeByHowMuch", QStringList(8, "1"), 1,
                    "step 8 (1): Mozaika by bola príliš veľká. Mozaika by mala 65 536 dielov; "
                    "najviac je 65 535."},
        FailureCase{"RulesStepWithoutAFile", {"1", "rules:"}, 2, "unknown step 'rules:'"},
        FailureCase{"RulesStepFileMissing",
                    {"1", "rules:chýba.hrh"},
                    1,
                    "step 2 (rules:chýba.hrh): Zlyhalo otvorenie súboru chýba.hrh !!!"},
        FailureCase{"RulesStepNamesTheEntry",
                    {"1", "2", "rules:tile.bmp"},
                    1,
                    "step 3 (rules:tile.bmp): 1. záznam zásobníka od najstaršieho („Stvorec“, "
                    "príkaz 1): v nových pravidlách je tento príkaz prázdny."},
        FailureCase{"MissingRulesEndTheRun",
                    {"-r", "chýba.hrh", "1"},
                    1,
                    "ornamo-render: Zlyhalo otvorenie súboru chýba.hrh !!!\n"},
        FailureCase{"PlacementsNotWritten",
                    {"--placements", "nowhere/p.txt", "1"},
                    1,
                    "Zlyhalo uloženie súboru nowhere/p.txt !!!"},
        FailureCase{"EmptyView", QStringList(6, "zoom-out"), 1, "the picture would be empty"}),
    [](const auto& info) { return std::string(info.param.label); });

// --explain against the picture itself: with a tile whose pixels name their column and row,
// the full-size mosaic shows at each point the tile pixel the last line names, or the gap
// colour; the orientation is that of the last placement covering the point.
TEST_F(RenderProgram, ExplainedPointsShowWhatThePictureShows) {
    ASSERT_TRUE(saveBitmapFile(ornamo::testimages::numberedImage(40, 40), path("numbered.bmp")));
    const QStringList steps{"1", "2", "1"};
    QStringList arguments{"-t", "numbered.bmp", "--gap",        "0000FF", "--full",
                          "-o", "full.bmp",     "--placements", "p.txt"};
    std::vector<std::pair<int, int>> points;
    for (int i = 0; i < 60; ++i) {
        points.emplace_back((i * 7919) % 480, (i * 104729 + 13) % 480);
        arguments << "--explain"
                  << QStringLiteral("%1,%2").arg(points.back().first).arg(points.back().second);
    }
    const Result r = render(QStringList{"-r", "rules.hrh"} + arguments + steps, false);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    const auto image = ornamo::loadBitmapFile(path("full.bmp"));
    ASSERT_TRUE(image);
    const QStringList lines = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(points.size() * (steps.size() + 1)));
    QStringList placements = QString::fromStdString(readFile("p.txt")).split('\n');
    placements.removeFirst();
    const char* const keywords[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};
    int gaps = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [x, y] = points[i];
        const QStringList last =
            lines[static_cast<qsizetype>((i + 1) * (steps.size() + 1) - 1)].split(' ');
        const Color shown = image->pixel(x, y);
        QString top;
        for (const QString& line : placements) {
            const QStringList f = line.split(' ');
            if (f.size() == 5 && x >= f[2].toInt() && x < f[2].toInt() + 40 * f[0].toInt() &&
                y >= f[3].toInt() && y < f[3].toInt() + 40 * f[1].toInt())
                top = keywords[f[4].toInt()];
        }
        if (last[0] == "gap") {
            ++gaps;
            EXPECT_EQ(shown, makeColor(0, 0, 0xFF)) << x << "," << y;
            EXPECT_TRUE(top.isEmpty());
            continue;
        }
        ASSERT_EQ(last.size(), 4) << last.join(' ').toStdString();
        EXPECT_EQ(last[0], "tile");
        EXPECT_EQ(shown, makeColor(static_cast<std::uint8_t>(last[1].toInt()),
                                   static_cast<std::uint8_t>(last[2].toInt()), 0x5A))
            << x << "," << y;
        EXPECT_EQ(last[3], top);
    }
    EXPECT_GT(gaps, 5); // the empty middle row of the 3 x 3 command
}

TEST_F(RenderProgram, DefaultFilesAreThoseOfTheCurrentDirectory) {
    EXPECT_EQ(render({"-o", "out.bmp"}, false).exitCode, 1); // no dlazdice/default.bmp here
    ASSERT_TRUE(QDir(directory.path()).mkdir("dlazdice"));
    ASSERT_TRUE(saveBitmapFile(Bitmap(10, 10, 0x00FF00), path("dlazdice/default.bmp")));
    writeFile("default.hrh", exampleRules);
    const Result r = render({"--placements", "placements.txt", "2"}, false);
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(readFile("placements.txt"), "3 10 3\n3 1 0 0 0\n3 1 0 20 4\n");
}

// Installed, the program reads the start-up files of its data folder from any other folder.
TEST_F(RenderProgram, DefaultFilesOfTheInstalledDataFolder) {
    QDir here(directory.path());
    ASSERT_TRUE(here.mkpath("tree/bin") && here.mkpath("tree/share/ornamo/dlazdice"));
    ASSERT_TRUE(QFile::copy(ORNAMO_RENDER, path("tree/bin/ornamo-render")));
    ASSERT_TRUE(
        saveBitmapFile(Bitmap(10, 10, 0x00FF00), path("tree/share/ornamo/dlazdice/default.bmp")));
    writeFile("tree/share/ornamo/default.hrh", exampleRules);
    QProcess process;
    process.setWorkingDirectory(directory.path());
    process.start(path("tree/bin/ornamo-render"), {"--placements", "placements.txt", "2"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(readFile("placements.txt"), "3 10 3\n3 1 0 0 0\n3 1 0 20 4\n");
}

TEST_F(RenderProgram, HelpAndList) {
    const Result help = render({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage:"), std::string::npos);
    EXPECT_NE(help.out.find("delete-up-to"), std::string::npos);
    EXPECT_NE(help.out.find("\"Späť\""), std::string::npos) << help.out;

    writeFile("faulty.hrh", std::string(exampleRules) + "Chyba\nscale: 2\nitem: 1\n0 0 1 1 r0\n");
    const Result list = render({"-r", "faulty.hrh", "--list"});
    EXPECT_EQ(list.exitCode, 0) << list.errors;
    EXPECT_EQ(list.out, " 1  Stvorec  (grid 2, 4 parts)\n"
                        " 2  Pruh  (grid 3, 2 parts)\n"
                        " 3  Prázdny  (grid 2, 0 parts)\n"
                        "Chybný formát súboru!\n");
    EXPECT_NE(list.errors.find("warning: Chybný formát súboru!"), std::string::npos);
}

// --check-rules: one line per diagnostic in the form editors jump from, then the commands
// read; status 1 only for a format error, and nothing else read or written.
TEST_F(RenderProgram, CheckRules) {
    writeFile("mixed.hrh", "Stvorec\nscale: 2\nitem:14\n0 0 1 1 R0\n1 0 1 1 R90\n1 1 1 1 R180\n"
                           "0 1 1 1 R270\n\nPruh\nscale: 3\nitem: 2\n0 0 3 1 R0\n0 2 3 1 MR0\n\n"
                           "Chyba\nscale: 2\nitem: 1\n0 0 1 1 R27O\n");
    const Result mixed = render({"--check-rules", "mixed.hrh"}, false);
    EXPECT_EQ(mixed.exitCode, 1) << mixed.errors;
    const QStringList lines = QString::fromStdString(mixed.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << mixed.out;
    EXPECT_TRUE(lines[0].startsWith("mixed.hrh:3:6: upozornenie: ")) << mixed.out;
    EXPECT_TRUE(lines[1].startsWith("mixed.hrh:9:1: poznámka: ")) << mixed.out;
    EXPECT_TRUE(lines[2].startsWith("mixed.hrh:18:9: chyba: ")) << mixed.out;
    EXPECT_TRUE(lines[2].contains("R27O")) << mixed.out;
    EXPECT_EQ(lines.mid(3).join('\n'),
              " 1  Stvorec  (grid 2, 4 parts)\n 2  Pruh  (grid 3, 2 parts)");

    const Result clean = render({"--check-rules", "rules.hrh"}, false);
    EXPECT_EQ(clean.exitCode, 0) << clean.errors;
    EXPECT_NE(clean.out.find(" 3  Prázdny  (grid 2, 0 parts)"), std::string::npos);
    const Result missing = render({"--check-rules", "chýba.hrh"}, false);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.errors, "ornamo-render: Zlyhalo otvorenie súboru chýba.hrh !!!\n");
    EXPECT_EQ(render({"--check-rules", "rules.hrh", "-o", "x.bmp"}, false).exitCode, 2);
    EXPECT_EQ(render({"--check-rules", "rules.hrh", "1"}, false).exitCode, 2);
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files).size(), 3);

    // With -r the run goes on with the commands before the fault, its place named.
    const Result run = render({"-t", "tile.bmp", "-r", "mixed.hrh", "2"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors.find("mixed.hrh:18:9: warning: Chybný formát súboru! Neznáma"), 0u)
        << run.errors;
}

// --rules-out writes the loaded rules in the written form, all or nothing with the other
// outputs.
TEST_F(RenderProgram, RulesWrittenBack) {
    const Result r = render({"--rules-out", "out.hrh", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(readFile("out.hrh"), exampleRules);
    const Result failed = render({"--rules-out", "back.hrh", "-o", "nowhere/out.bmp", "1"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path("back.hrh")));
}

TEST_F(RenderProgram, PictureSideAfterTheSteps) {
    // With a 40-pixel tile: the editor's view, or the picture the options ask for.
    const std::pair<QStringList, int> cases[] = {
        {{}, 40},
        {{"--full", "1", "1"}, 160},
        {{"--shrink", "8", "1", "1"}, 20},
        {{"1", "1", "zoom-in"}, 80},
        {{"1", "1", "full-size"}, 160},
        {{"no-scale", "1", "1"}, 160},
        // Switched off again, the view keeps the picture it had.
        {{"1", "1", "zoom-out", "no-scale", "zoom-out", "no-scale"}, 80},
    };
    for (const auto& [steps, side] : cases) {
        SCOPED_TRACE(steps.join(' ').toStdString());
        QFile::remove(path("out.png"));
        const Result r = render(QStringList{"-o", "out.png"} + steps);
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        const QImage image(path("out.png"));
        EXPECT_EQ(image.size(), QSize(side, side));
    }
}

TEST_F(RenderProgram, CropChoicesAndGapColour) {
    // A 60 x 40 tile whose columns have distinct colours: cropping keeps 40 of them.
    Bitmap wide(60, 40);
    for (int x = 0; x < 60; ++x)
        wide.fillRect(x, 0, 1, 40, makeColor(static_cast<std::uint8_t>(x * 4), 0, 0));
    ASSERT_TRUE(saveBitmapFile(wide, path("wide.bmp")));
    const std::pair<QStringList, int> cases[] = {
        {{}, 20}, {{"--crop", "start"}, 20}, {{"--crop", "end"}, 0}, {{"--crop", "middle"}, 10}};
    for (const auto& [options, firstColumn] : cases) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const Result r = render(QStringList{"-t", "wide.bmp", "-o", "out.bmp"} + options);
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        const auto image = ornamo::loadBitmapFile(path("out.bmp"));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), 40);
        EXPECT_EQ(image->pixel(0, 0), makeColor(static_cast<std::uint8_t>(firstColumn * 4), 0, 0));
    }

    for (const char* gap : {"FF8800", "ff8800"}) {
        ASSERT_EQ(render({"--gap", gap, "--full", "-o", "out.bmp", "2"}).exitCode, 0) << gap;
        const auto image = ornamo::loadBitmapFile(path("out.bmp"));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixel(60, 60), makeColor(0xFF, 0x88, 0)) << gap; // the empty middle row
        EXPECT_EQ(image->pixel(60, 10), Color{0x336699});
    }
}

// A work saved after some steps gives, reopened, the same picture; steps after it continue
// as if the run had never stopped; history-back and history-forward take edits back and again.
TEST_F(RenderProgram, AWorkContinuesWhereItWasSaved) {
    const QStringList made{"1",        "2", "select:1",     "replace:1",    "zoom-out",
                           "no-scale", "1", "history-back", "history-back", "history-forward"};
    ASSERT_EQ(render(QStringList{"--save-work", "w.ornamo", "-o", "a.bmp"} + made).exitCode, 0);
    const Result reopened = render({"-w", "w.ornamo", "-o", "b.bmp"}, false);
    ASSERT_EQ(reopened.exitCode, 0) << reopened.errors;
    EXPECT_EQ(readFile("b.bmp"), readFile("a.bmp"));

    ASSERT_EQ(render(QStringList{"-o", "c.bmp"} + made + QStringList{"2", "zoom-in"}).exitCode, 0);
    ASSERT_EQ(render({"-w", "w.ornamo", "-o", "d.bmp", "2", "zoom-in"}, false).exitCode, 0);
    EXPECT_EQ(readFile("d.bmp"), readFile("c.bmp"));

    // The history-back of the last no-scale equals never having switched.
    ASSERT_EQ(render({"-o", "e.bmp", "1", "2", "select:1", "replace:1", "zoom-out"}).exitCode, 0);
    ASSERT_EQ(render({"-o", "f.bmp", "1", "2", "select:1", "replace:1", "zoom-out", "no-scale",
                      "history-back"})
                  .exitCode,
              0);
    EXPECT_EQ(readFile("f.bmp"), readFile("e.bmp"));

    const Result both = render({"-w", "w.ornamo", "-t", "tile.bmp"}, false);
    EXPECT_EQ(both.exitCode, 2);
    writeFile("bad.ornamo", "{\"format\": \"ornamo-work\", \"version\": 9}");
    const Result future = render({"-w", "bad.ornamo", "-o", "g.bmp"}, false);
    EXPECT_EQ(future.exitCode, 1);
    EXPECT_NE(future.errors.find("Súbor bad.ornamo uložila novšia verzia programu Ornamo."),
              std::string::npos)
        << future.errors;
    EXPECT_FALSE(QFile::exists(path("g.bmp")));
}

// rules:FILE.hrh applies the stack again with that file's rules: as if the run had used them
// from the start, taken back by history-back, kept by a saved work; a faulty file gives the
// records before its fault and a warning.
TEST_F(RenderProgram, ARulesStepAppliesTheStackAgain) {
    const std::string changed = "Iný\nscale: 3\nitem: 2\n0 0 1 1 MR90\n2 2 1 1 R0\n\n"
                                "Pás\nscale: 2\nitem: 1\n0 0 2 1 MR180\n";
    writeFile("new.hrh", changed);
    writeFile("faulty.hrh", changed + "\nChyba\nscale: 2\nitem: 1\n0 0 1 1 r0\n");
    const QStringList steps{"1", "2", "1", "zoom-out"};
    const Result replayed =
        render(QStringList{"--placements", "a.txt", "--save-work", "w.ornamo", "-o", "a.bmp"} +
               steps + QStringList{"rules:new.hrh"});
    ASSERT_EQ(replayed.exitCode, 0) << replayed.errors;
    const Result byHand = render(
        QStringList{"-t", "tile.bmp", "-r", "new.hrh", "--placements", "b.txt", "-o", "b.bmp"} +
            steps.mid(0, 3),
        false);
    ASSERT_EQ(byHand.exitCode, 0) << byHand.errors;
    EXPECT_EQ(readFile("a.txt"), readFile("b.txt"));
    EXPECT_EQ(readFile("a.bmp"), readFile("b.bmp"));
    ASSERT_EQ(render({"-w", "w.ornamo", "-o", "c.bmp"}, false).exitCode, 0);
    EXPECT_EQ(readFile("c.bmp"), readFile("a.bmp"));

    ASSERT_EQ(render(QStringList{"--placements", "d.txt"} + steps +
                     QStringList{"rules:new.hrh", "history-back"})
                  .exitCode,
              0);
    ASSERT_EQ(render(QStringList{"--placements", "e.txt"} + steps).exitCode, 0);
    EXPECT_EQ(readFile("d.txt"), readFile("e.txt"));

    const Result faulty =
        render(QStringList{"--placements", "f.txt"} + steps + QStringList{"rules:faulty.hrh"});
    ASSERT_EQ(faulty.exitCode, 0) << faulty.errors;
    EXPECT_EQ(faulty.errors.find("faulty.hrh:15:9: warning: Chybný formát súboru!"), 0u)
        << faulty.errors;
    EXPECT_EQ(readFile("f.txt"), readFile("a.txt"));
}

// Qt's own messages (here its debug output, switched on for every category) reach stderr only
// with ORNAMO_DEBUG=1.
TEST_F(RenderProgram, QtTextOnlyInTheDebugLog) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LOGGING_RULES", "*.debug=true");
    EXPECT_EQ(render({"--list"}, true, environment).errors, "");
    environment.insert("ORNAMO_DEBUG", "1");
    EXPECT_NE(render({"--list"}, true, environment).errors.find("[qt "), std::string::npos);
}

// Links on the way are followed as the kernel follows them: `..` after a link to a folder is
// the parent of the folder it points to. A link stays a link, a dangling one too.
TEST_F(RenderProgram, OutputsGoWhereTheLinksLead) {
    QDir here(directory.path());
    ASSERT_TRUE(here.mkpath("real/deep"));
    ASSERT_TRUE(QFile::link("real/deep", path("dirlink")));
    writeFile("picture.bmp", "unrelated");
    writeFile("list.txt", "unrelated");
    ASSERT_TRUE(QFile::link("../picture.bmp", path("real/deep/picture.bmp")));
    ASSERT_TRUE(QFile::link("../list.txt", path("real/deep/list.txt")));
    const Result r = render({"-o", "dirlink/picture.bmp", "--placements", "dirlink/list.txt", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(readFile("picture.bmp"), "unrelated");
    EXPECT_EQ(readFile("list.txt"), "unrelated");
    EXPECT_TRUE(ornamo::loadBitmapFile(path("real/picture.bmp")));
    EXPECT_EQ(readFile("real/list.txt").substr(0, 7), "2 40 2\n");
    EXPECT_TRUE(QFileInfo(path("real/deep/picture.bmp")).isSymLink());
    // The same file reached through a link is still one file.
    const Result twice = render({"-o", "real/picture.bmp", "--placements", "dirlink/picture.bmp"});
    EXPECT_EQ(twice.exitCode, 2) << twice.errors;
}

// /dev/stdout sent to a file is written into: `>>` appends, `>` holds exactly the output.
TEST_F(RenderProgram, StandardOutputSentToAFileIsWrittenInPlace) {
    ASSERT_EQ(render({"-o", "plain.bmp", "--placements", "plain.txt", "1"}).exitCode, 0);
    for (const bool append : {false, true})
        for (const char* option : {"-o", "--placements"}) {
            SCOPED_TRACE(std::string(option) + (append ? " >>" : " >"));
            writeFile("log.txt", "kept\n");
            QProcess process;
            process.setWorkingDirectory(directory.path());
            process.setStandardOutputFile(path("log.txt"),
                                          append ? QIODevice::Append : QIODevice::Truncate);
            // With a picture asked for, nothing else goes to stdout.
            process.start(ORNAMO_RENDER, {"-t", "tile.bmp", "-r", "rules.hrh", "-o", "x.bmp",
                                          option, "/dev/stdout", "1"});
            ASSERT_TRUE(process.waitForFinished(60000));
            EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
            EXPECT_EQ(readFile("log.txt"),
                      (append ? "kept\n" : "") +
                          readFile(option[1] == 'o' ? "plain.bmp" : "plain.txt"));
        }
}

// A FIFO with no one at the other end, as tile, rules or output, is refused at once.
TEST_F(RenderProgram, AFifoWithoutAPartnerIsRefused) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    for (const QStringList& arguments :
         {QStringList{"-t", "fifo"}, QStringList{"-r", "fifo", "1"}, QStringList{"-o", "fifo"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_EQ(render(arguments).exitCode, 1);
    }
}

// A name that is not UTF-8 would be written under another name: it is refused.
TEST_F(RenderProgram, ANameThatIsNotUtf8IsRefused) {
    QProcess shell;
    shell.setWorkingDirectory(directory.path());
    shell.start("/bin/sh", {"-c",
                            "exec \"$0\" -t tile.bmp -r rules.hrh -o \"$(printf "
                            "'non\\377\\376utf.bmp')\" 1",
                            ORNAMO_RENDER});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_NE(shell.readAllStandardError().indexOf("not valid UTF-8"), -1);
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files).size(), 2);
}

// The signals that end a program during a save remove the named temporary file (O_TMPFILE is taken
// away, as on file systems without it) and end the program as the signal does.
TEST_F(RenderProgram, ASignalDuringASaveLeavesNoTemporaryFile) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", NO_UNNAMED_TEMPORARY);
    environment.insert("ASAN_OPTIONS",
                       environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    for (const int signal :
         {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGALRM, SIGXFSZ}) {
        SCOPED_TRACE(signal);
        writeFile("big.png", "old");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier([] {
            const rlimit noCore{0, 0}; // QUIT and XFSZ would leave a core file
            setrlimit(RLIMIT_CORE, &noCore);
            ::signal(SIGPIPE, SIG_DFL);
        });
        process.setWorkingDirectory(directory.path());
        process.start(ORNAMO_RENDER,
                      QStringList{"-t", "tile.bmp", "-r", "rules.hrh", "--full", "-o", "big.png"} +
                          QStringList(7, "1"));
        bool temporary = false;
        for (int wait = 0; wait < 30000 && !temporary; wait += 2) {
            QThread::msleep(2);
            temporary = QDir(directory.path()).entryList({"big.png.*"}, QDir::Files).size() == 1;
        }
        ASSERT_TRUE(temporary);
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files).join(' '),
                  "big.png rules.hrh tile.bmp");
        EXPECT_EQ(readFile("big.png"), "old");
    }
}

// The outputs of one run are all replaced or none, whichever step fails: a target found
// unreplaceable before the first rename, or a rename that fails late (the kernel's refusals
// come from a preloaded library). When putting an earlier target back fails as well, the
// message says which files were replaced.
TEST_F(RenderProgram, TheOutputsOfARunAreAllReplacedOrNone) {
    struct Case {
        const char* name;
        const char* appendOnly;
        const char* failingRenames;
        bool withoutUnnamedTemporaries;
        bool picturePresent;
        QStringList replaced; // the targets that hold the new contents
    };
    const Case cases[] = {
        {"append-only placements", "p.txt", nullptr, false, true, {}},
        {"late failure of the placements", nullptr, "p.txt:0", false, true, {}},
        {"late failure of the work", nullptr, "w.ornamo:0", false, true, {}},
        {"named temporary files", nullptr, "w.ornamo:0", true, true, {}},
        {"a new picture taken away again", nullptr, "p.txt:0", false, false, {}},
        {"the picture cannot be put back", nullptr, "p.txt:0,p.png:1", false, true, {"p.png"}},
        {"nothing fails", nullptr, nullptr, false, true, {"p.png", "p.txt", "w.ornamo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(directory.path()).remove("p.png");
        if (c.picturePresent)
            writeFile("p.png", "old picture");
        writeFile("p.txt", "old placements");
        writeFile("w.ornamo", "old work");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", c.withoutUnnamedTemporaries ? FAILING_RENAMES
                                             " " NO_UNNAMED_TEMPORARY
                                                                     : FAILING_RENAMES);
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        if (c.appendOnly)
            environment.insert("APPEND_ONLY", c.appendOnly);
        if (c.failingRenames)
            environment.insert("FAILING_RENAMES", c.failingRenames);
        const Result r =
            render({"-o", "p.png", "--placements", "p.txt", "--save-work", "w.ornamo", "1"}, true,
                   environment);
        const bool all = c.replaced.size() == 3;
        EXPECT_EQ(r.exitCode, all ? 0 : 1) << r.errors;
        const std::pair<const char*, std::string> olds[] = {
            {"p.png", c.picturePresent ? "old picture" : "(missing)"},
            {"p.txt", "old placements"},
            {"w.ornamo", "old work"}};
        std::vector<std::string> replaced, unchanged;
        for (const auto& [name, old] : olds) {
            const bool isNew = c.replaced.contains(name);
            EXPECT_EQ(readFile(name) != old, isNew) << name;
            (isNew ? replaced : unchanged).push_back(name);
        }
        if (!c.replaced.isEmpty() && !all) {
            EXPECT_NE(r.errors.find(ornamo::messages::partlyReplaced(replaced, unchanged)),
                      std::string::npos)
                << r.errors;
        } else if (!all) {
            EXPECT_EQ(r.errors.find("Nahradené"), std::string::npos) << r.errors;
        }
        QStringList expected{"rules.hrh", "tile.bmp", "p.txt", "w.ornamo"};
        if (c.picturePresent || c.replaced.contains("p.png"))
            expected << "p.png";
        expected.sort();
        EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files), expected); // no temporary left
    }
}

// A program run with `arguments` and no display at all, or the one named.
Result runWithoutDisplay(const char* program, const QStringList& arguments,
                         const char* display = nullptr) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    if (display)
        environment.insert("DISPLAY", display);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// A display that cannot be opened is named in one line, status 1; --help and --version need
// no display.
TEST(Editor, WithoutADisplay) {
    const Result unreachable = runWithoutDisplay(ORNAMO_EDITOR, {}, ":999");
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.errors.find("displej „:999“.\n"), std::string::npos);
    EXPECT_EQ(std::count(unreachable.errors.begin(), unreachable.errors.end(), '\n'), 1);
    for (const char* option : {"--help", "--version"}) {
        const Result r = runWithoutDisplay(ORNAMO_EDITOR, {option});
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_NE(r.out.find("ornamo"), std::string::npos) << option;
    }
}

// Every long option a manual page names is one its program offers.
TEST(ManualPages, EveryDocumentedOptionExists) {
    const std::pair<const char*, const char*> pages[] = {{"ornamo.1", ORNAMO_EDITOR},
                                                         {"ornamo-render.1", ORNAMO_RENDER}};
    for (const auto& [page, program] : pages) {
        QFile file(QStringLiteral(ORNAMO_MAN_PAGES "/") + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
        const QString text = QString::fromUtf8(file.readAll());
        const QString help = QString::fromStdString(runWithoutDisplay(program, {"--help"}).out);
        int named = 0;
        const QRegularExpression option(R"(\\-\\-([a-z][a-z\\-]*))");
        for (auto match = option.globalMatch(text); match.hasNext(); ++named) {
            const QString name = match.next().captured(1).remove(QLatin1Char('\\'));
            EXPECT_TRUE(help.contains("--" + name)) << page << ": --" << name.toStdString();
        }
        EXPECT_GE(named, 2) << page;
    }
}

} // namespace
