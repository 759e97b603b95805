// The work's file as one object keeps it: its name, whether the work differs from it (the
// history's save point), saving all or nothing, opening, and the announcements the window's
// title follows.

#include "testimages.h"
#include "workfile.h"
#include "worksession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <iterator>

using namespace ornamo;

namespace {

// A started work whose announcements go to `heard`: "file NAME", "modified 0/1".
void startWork(WorkSession& session, QStringList& heard) {
    session.work().start(testimages::numberedImage(8, 8));
    session.work().useRules(rulesFromBytes("A\nscale: 2\nitem: 2\n0 0 1 1 R0\n1 1 1 1 R90\n", ""));
    QObject::connect(&session, &WorkSession::fileNameChanged,
                     [&](const QString& name) { heard << QStringLiteral("file ") + name; });
    QObject::connect(&session, &WorkSession::modifiedChanged,
                     [&](bool modified) { heard << QStringLiteral("modified %1").arg(modified); });
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(WorkSession, SavingAndOpeningAnnounceTheFileAndTheSavePoint) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.ornamo"));
    const QString on = QStringLiteral("modified 1"), off = QStringLiteral("modified 0");
    WorkSession session;
    QStringList heard;
    startWork(session, heard);
    // Each step changes the work (or saves it, when it has no change) and says what it says:
    // an edit, a zoom (no edit), the save, an edit, undo to the save point and past it, redo.
    const auto edit = [](Work& w) { return w.applyCommand(1); };
    const auto undo = [](Work& w) { return w.undo(); };
    const std::pair<std::function<Outcome(Work&)>, QStringList> steps[] = {
        {edit, {on}},
        {[](Work& w) { return w.zoomOut(); }, {}},
        {nullptr, {QStringLiteral("file ") + file, off}},
        {edit, {on}},
        {undo, {off}},
        {undo, {on}},
        {[](Work& w) { return w.redo(); }, {off}},
        {edit, {on}}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        heard.clear();
        if (steps[i].first)
            session.change(steps[i].first);
        else
            EXPECT_TRUE(session.save(file));
        EXPECT_EQ(heard, steps[i].second) << "step " << i;
    }
    // A save that fails leaves the name, the save point and the files as they were.
    const QByteArray saved = bytesOf(file);
    heard.clear();
    EXPECT_FALSE(session.save(dir.filePath(QStringLiteral("missing/b.ornamo"))));
    EXPECT_TRUE(heard.isEmpty() && session.isModified() && session.fileName() == file);
    EXPECT_EQ(bytesOf(file), saved);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.ornamo")});

    // Another work opens the file saved, or, from a damaged one, stays as it was.
    const QString broken = dir.filePath(QStringLiteral("broken.ornamo"));
    QFile(broken).open(QIODevice::WriteOnly);
    WorkSession other;
    startWork(other, heard);
    heard.clear();
    const QByteArray untouched = workFileBytes(other.work().document());
    EXPECT_EQ(other.open(broken), WorkFileFailure::NotAWork);
    EXPECT_TRUE(heard.isEmpty() && workFileBytes(other.work().document()) == untouched);
    ASSERT_EQ(other.open(file), WorkFileFailure::None);
    EXPECT_EQ(heard, QStringList{QStringLiteral("file ") + file});
    EXPECT_FALSE(other.isModified());
    EXPECT_EQ(workFileBytes(other.work().document()), saved);
}
