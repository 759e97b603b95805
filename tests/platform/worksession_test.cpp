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

using namespace ornamo;

namespace {

void startWork(WorkSession& session) {
    session.work().start(testimages::numberedImage(8, 8));
    session.work().useRules(
        rulesFromBytes("A\nscale: 2\nitem: 2\n0 0 1 1 R0\n1 1 1 1 R90\n", "a.hrh"));
}

} // namespace

TEST(WorkSession, TheFileAndTheSavePointAreAnnouncedAsTheyChange) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.ornamo"));
    WorkSession session;
    startWork(session);
    QStringList heard;
    QObject::connect(&session, &WorkSession::fileNameChanged,
                     [&](const QString& name) { heard << QStringLiteral("file ") + name; });
    QObject::connect(&session, &WorkSession::modifiedChanged,
                     [&](bool modified) { heard << QStringLiteral("modified %1").arg(modified); });
    const auto apply = [](Work& work) { return work.applyCommand(1); };
    const auto undo = [](Work& work) { return work.undo(); };
    const auto redo = [](Work& work) { return work.redo(); };
    const auto zoom = [](Work& work) { return work.zoomOut(); };
    const auto expectHeard = [&](QStringList expected) {
        EXPECT_EQ(heard, expected);
        heard.clear();
    };

    session.change(apply);
    expectHeard({QStringLiteral("modified 1")});
    session.change(zoom); // no edit, nothing to say
    expectHeard({});
    ASSERT_TRUE(session.save(file));
    expectHeard({QStringLiteral("file ") + file, QStringLiteral("modified 0")});
    EXPECT_FALSE(session.isModified());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), workFileBytes(session.work().document()));

    session.change(apply);
    expectHeard({QStringLiteral("modified 1")});
    session.change(undo); // back at the save point
    expectHeard({QStringLiteral("modified 0")});
    session.change(undo); // past it
    expectHeard({QStringLiteral("modified 1")});
    session.change(redo);
    expectHeard({QStringLiteral("modified 0")});

    // A save that fails leaves the name, the save point and the files as they were.
    session.change(apply);
    heard.clear();
    written.seek(0);
    const QByteArray before = written.readAll();
    EXPECT_FALSE(session.save(dir.filePath(QStringLiteral("missing/b.ornamo"))));
    EXPECT_FALSE(session.save(dir.path()));
    expectHeard({});
    EXPECT_EQ(session.fileName(), file);
    EXPECT_TRUE(session.isModified());
    written.seek(0);
    EXPECT_EQ(written.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.ornamo")});
}

TEST(WorkSession, OpeningTakesTheFileOrChangesNothing) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.ornamo"));
    WorkSession saved;
    startWork(saved);
    saved.change([](Work& work) { return work.applyCommand(1); });
    ASSERT_TRUE(saved.save(file));

    WorkSession session;
    startWork(session);
    QStringList heard;
    QObject::connect(&session, &WorkSession::fileNameChanged,
                     [&](const QString& name) { heard << name; });
    const QString broken = dir.filePath(QStringLiteral("broken.ornamo"));
    QFile(broken).open(QIODevice::WriteOnly);
    const QByteArray untouched = workFileBytes(session.work().document());
    EXPECT_EQ(session.open(broken), WorkFileFailure::NotAWork);
    EXPECT_EQ(workFileBytes(session.work().document()), untouched);
    EXPECT_TRUE(session.fileName().isEmpty());

    ASSERT_EQ(session.open(file), WorkFileFailure::None);
    EXPECT_EQ(heard, QStringList{file});
    EXPECT_FALSE(session.isModified());
    EXPECT_EQ(workFileBytes(session.work().document()), workFileBytes(saved.work().document()));
}
