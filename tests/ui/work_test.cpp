// The work in the window: the edit history behind "Späť" and "Znova", work files, the title and
// the question before unsaved work is lost.

#include "windowfixture.h"
#include "workfile.h"

#include <QComboBox>
#include <QScrollBar>
#include <QThread>

#include <atomic>

using namespace windowtest;

namespace {

// Holds Ctrl (and Shift) around `k`, as the keyboard sends them.
void ctrlKey(MainWindow& window, Qt::Key k, bool shift = false) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QTest::keyPress(target, Qt::Key_Control);
    if (shift)
        QTest::keyPress(target, Qt::Key_Shift, Qt::ControlModifier);
    const Qt::KeyboardModifiers held =
        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
    QTest::keyClick(target, k, held);
    if (shift)
        QTest::keyRelease(target, Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyRelease(target, Qt::Key_Control);
}

struct Shown {
    std::vector<int> stack;
    QStringList list;
    QString edit;
    ornamo::Bitmap view;
    bool operator==(const Shown&) const = default;
};

Shown shown(MainWindow& window) {
    return {stackNumbers(window), listTexts(window),
            child<QComboBox>(window, "ComboBox1")->currentText(), wholeView(window.view())};
}

} // namespace

TEST(WorkWindow, UndoAndRedoTakeBackResetsAndHierarchyLoads) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    EXPECT_FALSE(action(*window, "Spat1")->isEnabled());
    click(*window, "com1");
    click(*window, "com3");
    click(*window, "Button1");
    const Shown built = shown(*window);

    ctrlKey(*window, Qt::Key_Backspace); // Reset
    ASSERT_TRUE(window->model().stack().empty());
    const Shown afterReset = shown(*window);
    ctrlKey(*window, Qt::Key_Z);
    EXPECT_TRUE(shown(*window) == built) << "Ctrl+Z brings the mosaic, the list and the zoom back";
    EXPECT_TRUE(action(*window, "Znova1")->isEnabled());
    ctrlKey(*window, Qt::Key_Y);
    EXPECT_TRUE(shown(*window) == afterReset);
    ctrlKey(*window, Qt::Key_Z);
    ctrlKey(*window, Qt::Key_Z, true); // Ctrl+Shift+Z redoes too
    EXPECT_TRUE(shown(*window) == afterReset);
    trigger(*window, "Spat1");
    EXPECT_TRUE(shown(*window) == built);

    // "Áno", then Cancel in the file dialog: a new mosaic, which Späť takes back.
    {
        ModalScript script;
        script.message(nullptr, QMessageBox::Yes);
        answerFile(script, QString(), "OpenDialog2");
        trigger(*window, "Natajhierarchiu1");
    }
    EXPECT_TRUE(window->model().stack().empty());
    trigger(*window, "Spat1");
    EXPECT_TRUE(shown(*window) == built);
    EXPECT_TRUE(action(*window, "Znova1")->isEnabled());
}

TEST(WorkWindow, ASavedWorkReopensAsItWasShown) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ornamo"));
    click(*window, "com5"); // a name in Windows-1250
    click(*window, "com3");
    click(*window, "com1");
    auto* list = child<QComboBox>(*window, "ComboBox1");
    list->setCurrentIndex(1);
    click(*window, "Button2");
    const Shown saved = shown(*window);
    const QString file = folder->file(QStringLiteral("práca"));
    {
        ModalScript script;
        answerFile(script, file, "SaveWorkDialog1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    }
    const QString written = file + QStringLiteral(".ornamo");
    ASSERT_TRUE(QFile::exists(written)) << "the dialog adds the extension";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("práca.ornamo[*] – Ornamo"));
    EXPECT_FALSE(window->isWindowModified());
    click(*window, "com2");
    EXPECT_TRUE(window->isWindowModified());
    trigger(*window, "Spat1");
    EXPECT_FALSE(window->isWindowModified());

    // Reopened in another window, and by the engine as ornamo-render opens it.
    auto other = startWindow(*folder);
    other->openFiles({written});
    EXPECT_TRUE(shown(*other) == saved);
    EXPECT_EQ(other->model().selectedIndex(), 1);
    EXPECT_EQ(other->windowTitle(), window->windowTitle());
    ornamo::WorkDocument document;
    ASSERT_EQ(ornamo::readWorkFile(written, document), ornamo::WorkFileFailure::None);
    ornamo::Work headless(ornamo::ViewLimits::keepNothing());
    ASSERT_EQ(headless.open(document), ornamo::WorkFileFailure::None);
    EXPECT_EQ(wholeView(headless.view()), saved.view);

    // A damaged file says so and changes nothing.
    folder->writeFile(QStringLiteral("zla.ornamo"), "{\"format\": \"ornamo-work\"}");
    QStringList texts;
    {
        ModalScript script;
        script.message(&texts);
        other->openFiles({folder->file(QStringLiteral("zla.ornamo"))});
    }
    EXPECT_EQ(texts, QStringList{QStringLiteral("Súbor %1 nie je práca programu Ornamo alebo je "
                                                "poškodený.")
                                     .arg(folder->file(QStringLiteral("zla.ornamo")))});
    EXPECT_TRUE(shown(*other) == saved);
}

TEST(WorkWindow, UnsavedWorkAsksBeforeTheWindowCloses) {
    auto folder = standardFolder();
    {
        auto window = startWindow(*folder);
        ModalScript script; // a work never changed asks nothing
        window->close();
        EXPECT_FALSE(window->isVisible());
    }
    const struct {
        QMessageBox::StandardButton answer;
        bool closes;
        bool saved;
    } rows[] = {{QMessageBox::Cancel, false, false},
                {QMessageBox::Discard, true, false},
                {QMessageBox::Save, true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        auto window = startWindow(*folder);
        click(*window, "com1");
        const QString file = folder->file(QStringLiteral("zavretá.ornamo"));
        QFile::remove(file);
        QStringList texts;
        {
            ModalScript script;
            script.message(&texts, row.answer);
            if (row.saved)
                answerFile(script, file, "SaveWorkDialog1");
            trigger(*window, "Close1");
        }
        EXPECT_EQ(texts,
                  QStringList{QStringLiteral("Práca má neuložené zmeny. Chcete ich uložiť?")});
        EXPECT_EQ(window->isVisible(), !row.closes);
        EXPECT_EQ(QFile::exists(file), row.saved);
        EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
    }
}

// "Otvor prácu…" asks about unsaved changes once; the file is read on a thread of its own under
// the busy indicator while the window goes on handling its events.
TEST(WorkWindow, OpeningAWorkAsksOnceAndReadsOffTheWindowsThread) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    const QString file = folder->file(QStringLiteral("otvorena.ornamo"));
    ASSERT_TRUE(ornamo::saveWorkFile(file, window->work().document()));
    click(*window, "com1");
    std::atomic<bool> windowAlive = false;
    std::atomic<bool> aliveWhileReading = false;
    window->setWorkReaderForTests([&](const QString& path, ornamo::WorkDocument& document) {
        // Waits for a timer of the window's thread, which a reader on that thread would block.
        for (int i = 0; i < 500 && !windowAlive; ++i)
            QThread::msleep(10);
        aliveWhileReading = windowAlive.load();
        return ornamo::readWorkFile(path, document);
    });
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    QStringList questions;
    {
        ModalScript script;
        script.message(&questions, QMessageBox::Discard);
        script.then<QFileDialog>([&](QFileDialog& dialog) {
            QTimer::singleShot(50, [&] { windowAlive = true; });
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
            static_cast<QDialog&>(dialog).accept();
        });
        QApplication::setActiveWindow(window.get());
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        Qt::Key_F3);
    }
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(aliveWhileReading);
    EXPECT_EQ(busy.shown(QStringLiteral("--- Čítam ---")), 1);
    EXPECT_TRUE(stackNumbers(*window).empty());
}

// Files given at start-up are where the work starts: quitting right after asks nothing.
TEST(WorkWindow, FilesOpenedAtStartUpAreNoChange) {
    auto folder = standardFolder();
    folder->writeFile(QStringLiteral("ine.hrh"), standardHierarchy);
    auto window = startWindow(*folder);
    window->openStartFiles({folder->file(QStringLiteral("ine.hrh")),
                            folder->file(QStringLiteral("dlazdice/default.bmp"))});
    EXPECT_FALSE(window->work().isModified());
    click(*window, "com1");
    EXPECT_TRUE(window->work().isModified());
}
