#include "testimages.h"
#include "workfile.h"
#include "workfilescan.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ornamo;

namespace {

// Rules in UTF-8 and in Windows-1250 ("Štvorec" as 0x8A "tvorec"), with a faulty last record
// that the reader drops with a message.
const std::string utf8Rules =
    "Štvorec\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R90\n0 1 1 1 MR0\n"
    "1 1 1 1 R180\n\nPás\nscale: 3\nitem: 2\n0 0 3 1 MR90\n0 2 3 1 R270\n";
const std::string cp1250Rules = "\x8Atvorec\nscale: 2\nitem: 2\n0 0 1 1 R90\n1 1 1 1 MR0\n\n"
                                "\x8Aikmo\nscale: 3\nitem: 1\n1 2 2 1 MR270\n\nZle\nscale: x\n";

std::vector<std::uint8_t> viewPixels(const Work& work) {
    const int side = work.view().side();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(Bitmap::strideFor(side) * side));
    if (side > 0)
        work.view().read({0, 0, side, side}, pixels.data(), Bitmap::strideFor(side));
    return pixels;
}

// Seeded random works of every kind of edit, written and read back: the reopened work shows
// the same view and writes the same file again (names, list, factors, switch, scroll and all).
TEST(WorkFile, RandomWorksComeBackExactly) {
    std::mt19937 rng(77);
    for (int run = 0; run < 30; ++run) {
        SCOPED_TRACE(run);
        Work work;
        const int side = 3 + static_cast<int>(rng() % 9);
        ASSERT_EQ(work.start(testimages::randomImage(side, side, rng), rng() & 0xFFFFFF).refusal,
                  Refusal::None);
        work.useRules(rulesFromBytes(run % 2 ? cp1250Rules : utf8Rules, "pravidlá.hrh"));
        for (int i = 0; i < 8; ++i) {
            const int r = 1 + static_cast<int>(rng() % 2);
            switch (rng() % 9) {
            case 0:
                work.replaceChosen(r);
                break;
            case 1:
                work.insertBeforeChosen(r);
                break;
            case 2:
                work.deleteChosen();
                break;
            case 3:
                work.toggleNoScale();
                break;
            case 4:
                work.zoomOut();
                break;
            case 5: {
                const auto entries = work.model().listEntries();
                if (!entries.empty())
                    work.choose(entries.back(), static_cast<int>(entries.size()) - 1);
                break;
            }
            default:
                work.applyCommand(r);
            }
        }
        const auto within = static_cast<unsigned>(work.view().side()) + 1;
        work.setScroll(static_cast<int>(rng() % within), static_cast<int>(rng() % within));
        const QByteArray bytes = workFileBytes(work.document());

        WorkDocument read;
        ASSERT_EQ(parseWorkFile(bytes, read), WorkFileFailure::None);
        Work opened;
        ASSERT_EQ(opened.open(read), WorkFileFailure::None);
        EXPECT_EQ(workFileBytes(opened.document()), bytes);
        EXPECT_EQ(viewPixels(opened), viewPixels(work));
        EXPECT_EQ(opened.model().listEntries(), work.model().listEntries());
    }
}

// A work file that cannot be opened, for whatever reason, leaves the work in hand untouched.
TEST(WorkFile, DamagedFilesKeepTheWorkInHand) {
    std::mt19937 rng(5);
    Work source;
    source.start(testimages::randomImage(7, 7, rng));
    source.useRules(rulesFromBytes(utf8Rules, "a.hrh"));
    source.applyCommand(1);
    source.applyCommand(2);
    const QJsonObject good = QJsonDocument::fromJson(workFileBytes(source.document())).object();

    using Edit = std::function<void(QJsonObject&)>;
    const auto set = [](const char* key, QJsonValue value) {
        return Edit([key, value](QJsonObject& o) { o[QLatin1String(key)] = value; });
    };
    const auto inner = [](const char* object, const char* key, QJsonValue value) {
        return Edit([=](QJsonObject& o) {
            QJsonObject part = o[QLatin1String(object)].toObject();
            part[QLatin1String(key)] = value;
            o[QLatin1String(object)] = part;
        });
    };
    const auto bmp = [&](const Bitmap& tile) {
        WorkDocument d = source.document();
        d.tile = tile;
        return QJsonDocument::fromJson(workFileBytes(d)).object().value(QLatin1String("tile"));
    };
    const struct {
        const char* name;
        std::function<QByteArray()> bytes;
        WorkFileFailure expected;
    } cases[] = {
        {"empty", [] { return QByteArray(); }, WorkFileFailure::NotAWork},
        {"truncated", [&] { return QJsonDocument(good).toJson().left(200); },
         WorkFileFailure::NotAWork},
        {"a picture", [] { return QByteArray("BM\x36\0\0\0", 6); }, WorkFileFailure::NotAWork},
        {"another program's JSON",
         [] { return QByteArray(R"({"format": "tiled", "version": 1})"); },
         WorkFileFailure::NotAWork},
    };
    const struct {
        const char* name;
        Edit edit;
        WorkFileFailure expected;
    } edits[] = {
        {"future version", set("version", WorkDocument::version + 1),
         WorkFileFailure::NewerVersion},
        {"version zero", set("version", 0), WorkFileFailure::NotAWork},
        {"version as text", set("version", QStringLiteral("1")), WorkFileFailure::NotAWork},
        {"no stack", [](QJsonObject& o) { o.remove(QLatin1String("stack")); },
         WorkFileFailure::NotAWork},
        {"command 13", set("stack", QJsonArray{QJsonObject{{"command", 13}, {"name", "x"}}}),
         WorkFileFailure::NotAWork},
        {"command of another name",
         set("stack", QJsonArray{QJsonObject{{"command", 2}, {"name", "Štvorec"}}}),
         WorkFileFailure::StackMismatch},
        {"command beyond the rules",
         set("stack", QJsonArray{QJsonObject{{"command", 3}, {"name", "--"}}}),
         WorkFileFailure::StackMismatch},
        {"another check value", set("check", QStringLiteral("0123456789abcdef")),
         WorkFileFailure::StackMismatch},
        {"check not hexadecimal", set("check", QStringLiteral("0123456789abcdeg")),
         WorkFileFailure::NotAWork},
        {"colour without a digit", set("gapColor", QStringLiteral("#12345")),
         WorkFileFailure::NotAWork},
        {"selection beyond the list", inner("list", "selected", 2), WorkFileFailure::StackMismatch},
        {"caption of no entry", inner("list", "caption", QStringLiteral("Cudzí")),
         WorkFileFailure::StackMismatch},
        {"factor as a fraction", inner("view", "factor", 2.5), WorkFileFailure::NotAWork},
        {"rules not base64", inner("rules", "bytes", QStringLiteral("*")),
         WorkFileFailure::NotAWork},
        {"tile not base64", inner("tile", "bmp", QStringLiteral("%%")), WorkFileFailure::NotAWork},
        {"tile not a bitmap", inner("tile", "bmp", QStringLiteral("AAAA")),
         WorkFileFailure::TileBroken},
        {"tile not square", set("tile", bmp(Bitmap(7, 6))), WorkFileFailure::TileBroken},
    };

    Work work;
    work.start(testimages::randomImage(4, 4, rng));
    work.useRules(rulesFromBytes(cp1250Rules, "b.hrh"));
    work.applyCommand(2);
    const QByteArray before = workFileBytes(work.document());
    const auto expectRefused = [&](const char* name, const QByteArray& bytes,
                                   WorkFileFailure expected) {
        WorkDocument document;
        WorkFileFailure failure = parseWorkFile(bytes, document);
        if (failure == WorkFileFailure::None)
            failure = work.open(document);
        EXPECT_EQ(failure, expected) << name;
        EXPECT_EQ(workFileBytes(work.document()), before) << name;
    };
    for (const auto& c : cases)
        expectRefused(c.name, c.bytes(), c.expected);
    for (const auto& e : edits) {
        QJsonObject damaged = good;
        e.edit(damaged);
        expectRefused(e.name, QJsonDocument(damaged).toJson(), e.expected);
    }
}

// A valid work file passes the scanner in pieces of any size; what claims more than a valid
// file holds is refused as soon as the piece that shows it is fed, whatever follows.
TEST(WorkFile, TheScannerRefusesWhatIsLargerThanAWorkAsSoonAsItIsSeen) {
    std::mt19937 rng(9);
    Work work;
    work.start(testimages::randomImage(9, 9, rng));
    work.useRules(rulesFromBytes(cp1250Rules, "b.hrh"));
    work.applyCommand(1);
    const QByteArray good = workFileBytes(work.document());
    for (const qsizetype piece : {qsizetype{1}, qsizetype{7}, good.size()}) {
        WorkFileScanner scanner;
        for (qsizetype at = 0; at < good.size(); at += piece)
            ASSERT_TRUE(scanner.feed(good.constData() + at, std::min(piece, good.size() - at)));
        EXPECT_TRUE(scanner.complete()) << piece;
    }

    const auto repeated = [](const char* text, int times) {
        return QByteArray(text).repeated(times);
    };
    const struct {
        const char* name;
        QByteArray refused; // the scanner says no once the last byte of this is fed
    } cases[] = {
        {"a stack of 256 entries", "{\"stack\": [" + repeated("{}, ", 255) + "{"},
        {"an unknown array of 256", "{\"note\": [" + repeated("1,", 255) + "1"},
        {"an unknown field over 64 KiB", "{\"note\": \"" + QByteArray((64 << 10) + 1, 'x')},
        {"a name over what a line of rules can be",
         "{\"list\": {\"caption\": \"" + QByteArray(6 << 16, 'x') + QByteArray(17, 'x')},
        {"rules over the largest rules file",
         "{\"rules\": {\"bytes\": \"" + QByteArray(4 * (((1 << 20) + 3) / 3) + 1, 'A')},
        {"a key over 64 bytes", "{\"" + QByteArray(65, 'k')},
        {"a number of 33 digits", "{\"version\": " + QByteArray(33, '1')},
        {"five levels", "{\"a\": {\"b\": {\"c\": {\"d\": {"},
        {"seventeen members", "{" + repeated("\"a\": 1, ", 16) + "\"a\""},
        {"a list at the top", "["},
    };
    for (const auto& c : cases) {
        WorkFileScanner scanner;
        EXPECT_TRUE(scanner.feed(c.refused.constData(), c.refused.size() - 1)) << c.name;
        EXPECT_FALSE(scanner.feed(c.refused.constData() + c.refused.size() - 1, 1)) << c.name;
    }
}

// A file over the limit is refused from its size, before a byte of it is read.
TEST(WorkFile, AFileOverTheLimitIsRefusedFromItsSize) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("large.ornamo")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(workFileLimit + 1)); // sparse: no disk is used
    file.close();
    WorkDocument document;
    EXPECT_EQ(readWorkFile(file.fileName(), document), WorkFileFailure::TooLarge);
}

// The check covers everything a work brings back: the tile's pixels and its file, the rules'
// bytes, the gap colour, the view. Version 1 files, checked by their placements alone, open.
TEST(WorkFile, TheCheckCoversTheWholeWork) {
    std::mt19937 rng(11);
    Work source;
    source.start(testimages::randomImage(6, 6, rng));
    source.useRules(rulesFromBytes(utf8Rules, "a.hrh"));
    source.applyCommand(1);
    const QJsonObject good = QJsonDocument::fromJson(workFileBytes(source.document())).object();
    const auto base64Edit = [](const char* object, const char* key, int at) {
        return [=](QJsonObject& o) {
            QJsonObject part = o[QLatin1String(object)].toObject();
            QByteArray bytes =
                QByteArray::fromBase64(part[QLatin1String(key)].toString().toLatin1());
            bytes[at] = static_cast<char>(bytes[at] ^ 1);
            part[QLatin1String(key)] = QString::fromLatin1(bytes.toBase64());
            o[QLatin1String(object)] = part;
        };
    };
    const struct {
        const char* name;
        std::function<void(QJsonObject&)> edit;
        WorkFileFailure expected;
    } cases[] = {
        {"a pixel of the tile", base64Edit("tile", "bmp", 60), WorkFileFailure::StackMismatch},
        {"the tile file's resolution", base64Edit("tile", "bmp", 38), WorkFileFailure::TileBroken},
        {"a byte of the rules", base64Edit("rules", "bytes", 2), WorkFileFailure::StackMismatch},
        {"the gap colour",
         [](QJsonObject& o) { o[QLatin1String("gapColor")] = QStringLiteral("#fefefe"); },
         WorkFileFailure::StackMismatch},
        {"the scroll position",
         [](QJsonObject& o) {
             QJsonObject view = o[QLatin1String("view")].toObject();
             view[QLatin1String("scrollX")] = 1;
             o[QLatin1String("view")] = view;
         },
         WorkFileFailure::StackMismatch},
    };
    for (const auto& c : cases) {
        QJsonObject damaged = good;
        c.edit(damaged);
        WorkDocument document;
        WorkFileFailure failure = parseWorkFile(QJsonDocument(damaged).toJson(), document);
        Work work;
        if (failure == WorkFileFailure::None)
            failure = work.open(document);
        EXPECT_EQ(failure, c.expected) << c.name;
    }

    // Version 1: the check of the placements alone; the view within what the program writes.
    QJsonObject first = good;
    first[QLatin1String("version")] = 1;
    first[QLatin1String("check")] =
        QStringLiteral("%1").arg(placementCheck(source.model().mosaic()), 16, 16, QLatin1Char('0'));
    const auto opens = [](const QJsonObject& o) {
        WorkDocument document;
        WorkFileFailure failure = parseWorkFile(QJsonDocument(o).toJson(), document);
        Work work;
        return failure == WorkFileFailure::None ? work.open(document) : failure;
    };
    EXPECT_EQ(opens(good), WorkFileFailure::None);
    EXPECT_EQ(opens(first), WorkFileFailure::None);
    const struct {
        const char* key;
        int value;
    } views[] = {{"scrollX", 13}, {"scrollY", 13}, {"factor", 4}, {"shrinkFactor", 4}};
    for (const auto& [key, value] : views) {
        QJsonObject beyond = first;
        QJsonObject view = beyond[QLatin1String("view")].toObject();
        view[QLatin1String(key)] = value; // the view of the 12-pixel mosaic is 12 at factor 1
        beyond[QLatin1String("view")] = view;
        EXPECT_EQ(opens(beyond), WorkFileFailure::NotAWork) << key;
    }
}

// A name holding U+FFFD (bytes that were not UTF-8, decoded) is refused even where a file of
// that very name exists: it stands for another file.
TEST(WorkFile, ANameThatWasNotUtf8IsRefused) {
    QTemporaryDir dir;
    Work work;
    work.start(Bitmap(4, 4, 0x102030));
    const QString name = dir.filePath(QStringLiteral("w\uFFFD.ornamo"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(workFileBytes(work.document()));
    file.close();
    WorkDocument document;
    EXPECT_EQ(readWorkFile(name, document), WorkFileFailure::OpenFailed);
}

// Only a regular file is read; a pipe nobody writes to is refused at once, not waited on.
TEST(WorkFile, OnlyRegularFilesAreRead) {
    QTemporaryDir dir;
    WorkDocument document;
    EXPECT_EQ(readWorkFile(dir.path(), document), WorkFileFailure::OpenFailed);
    EXPECT_EQ(readWorkFile(dir.filePath(QStringLiteral("none.ornamo")), document),
              WorkFileFailure::OpenFailed);
#ifdef Q_OS_UNIX
    const QString fifo = dir.filePath(QStringLiteral("fifo.ornamo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(readWorkFile(fifo, document), WorkFileFailure::OpenFailed);
#endif
}

} // namespace
