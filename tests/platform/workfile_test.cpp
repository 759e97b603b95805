#include "testimages.h"
#include "workfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
        work.setScroll(static_cast<int>(rng() % 100), static_cast<int>(rng() % 100));
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
        {"future version", set("version", 2), WorkFileFailure::NewerVersion},
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
