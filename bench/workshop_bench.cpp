// The rule workshop in the real window, offscreen: how long an edit takes to reach the preview
// on screen, and the longest wait of an input event meanwhile. Three cases: a drag step on a
// mosaic of 4096 placements, a keystroke in the text with the preview a megapixel view, and a
// 1 MiB paste. Prints one line a figure (median and worst of the runs).

#include "benchwindow.h"
#include "mainwindow.h"
#include "ruleeditor.h"
#include "workshop.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Slot 1: sixteen parts on a 4 x 4 grid (applied three times: 4096 placements); slot 2: a 2 x 2
// grid of four parts, the one dragged; slot 3: five by five, for the megapixel view.
QByteArray hierarchy() {
    QString text = benchwindow::sixteenParts();
    const char* orientations[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};
    text += QStringLiteral("\nDva\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R90\n1 1 1 1 R180\n"
                           "0 1 1 1 MR0\n");
    text += QStringLiteral("\nPat\nscale: 5\nitem: 25\n");
    for (int i = 0; i < 25; ++i)
        text += QStringLiteral("%1 %2 1 1 %3\n").arg(i % 5).arg(i / 5).arg(orientations[i % 8]);
    return text.toLatin1();
}

// The longest gap between the ticks of a 5 ms timer: how long an input event would wait.
class LatencyProbe : public QObject {
public:
    LatencyProbe() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            worst_ = std::max(worst_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    qint64 worst() const { return worst_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
};

// Waits, handling events, until the workshop shows the newest preview; the milliseconds since
// `clock` was started.
double untilShown(RuleWorkshop& workshop, const QElapsedTimer& clock, std::uint64_t after = 0) {
    while (workshop.shownGeneration() < workshop.requestedGeneration() ||
           workshop.requestedGeneration() <= after)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents(); // the label painted
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void report(const char* what, std::vector<double> times, qint64 worstWait) {
    std::sort(times.begin(), times.end());
    std::printf(
        "%-48s median %6.1f ms  90%% %6.1f ms  worst %6.1f ms  longest input wait %lld ms\n", what,
        times[times.size() / 2], times[times.size() * 9 / 10], times.back(),
        static_cast<long long>(worstWait));
    std::fflush(stdout);
}

// The window on screen with slot 1 applied three times, then the workshop opened on it and its
// first preview shown; nullptr when either does not come up.
RuleWorkshop* openWorkshop(MainWindow& window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return nullptr;
    auto* first = window.findChild<QPushButton*>(QStringLiteral("com1"));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(first, Qt::LeftButton);
    std::printf("mosaic: %zu placements, %lld pixels a side\n",
                window.model().mosaic().placements.size(),
                static_cast<long long>(window.model().mosaic().extent()));

    window.findChild<QAction*>(QStringLiteral("DielnaPravidiel1"))->trigger();
    auto* workshop = window.findChild<RuleWorkshop*>();
    if (!workshop || !QTest::qWaitForWindowExposed(workshop))
        return nullptr;
    QElapsedTimer clock;
    clock.start();
    untilShown(*workshop, clock);
    return workshop;
}

// A drag over slot 2's grid, one cell a step, back and forth.
void measureDrag(RuleWorkshop& workshop) {
    QElapsedTimer clock;
    clock.start();
    workshop.chooseRecord(1);
    untilShown(workshop, clock);
    RuleEditor& editor = *workshop.editor();
    LatencyProbe probe;
    std::vector<double> times;
    QTest::mousePress(&editor, Qt::LeftButton, {}, editor.cellRect(0, 0).center());
    for (int step = 0; step < 40; ++step) {
        const int column = step % 2 == 0 ? 1 : 0;
        clock.restart();
        QTest::mouseMove(&editor, editor.cellRect(column, step % 3 == 0 ? 1 : 0).center());
        times.push_back(untilShown(workshop, clock));
    }
    QTest::mouseRelease(&editor, Qt::LeftButton, {}, editor.cellRect(0, 0).center());
    report("drag step -> preview (4096 placements, x4 parts)", times, probe.worst());
}

// A keystroke in the text with the preview at full size: "Neškáluj" on, the 5 x 5 command on a
// 200-pixel mosaic gives a 1000 x 1000 view.
void measureKeystroke(MainWindow& window, RuleWorkshop& workshop) {
    QElapsedTimer clock;
    clock.start();
    window.findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
    window.findChild<QAction*>(QStringLiteral("Nekluj1"))->trigger();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("com3")), Qt::LeftButton);
    workshop.chooseRecord(2);
    untilShown(workshop, clock);
    std::printf("preview view: %d pixels a side\n", workshop.shownPreview().side);
    auto* text = workshop.findChild<QPlainTextEdit*>(QStringLiteral("rulesText"));
    LatencyProbe probe;
    std::vector<double> times;
    for (int step = 0; step < 12; ++step) {
        // The last keyword of the file, R0, becomes R90 and back.
        QTextCursor cursor(text->document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor, 2);
        text->setTextCursor(cursor);
        const std::uint64_t before = workshop.requestedGeneration();
        clock.restart();
        QTest::keyClick(text, step % 2 == 0 ? Qt::Key_9 : Qt::Key_Backspace);
        times.push_back(untilShown(workshop, clock, before));
    }
    report("keystroke -> preview (1000 x 1000 view)", times, probe.worst());
}

// Pictures of the workshop into the folder `shots`: a rule in the grid with its preview, then
// the same with a mistake typed into the text.
void savePictures(MainWindow& window, RuleWorkshop& workshop, const QString& shots) {
    QElapsedTimer clock;
    clock.start();
    window.findChild<QAction*>(QStringLiteral("Nekluj1"))->trigger();
    window.findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("com2")), Qt::LeftButton);
    workshop.loadFromWork();
    workshop.chooseRecord(1);
    workshop.editor()->choosePart(1);
    untilShown(workshop, clock);
    workshop.grab().save(shots + QStringLiteral("/workshop-rule.png"));
    auto* text = workshop.findChild<QPlainTextEdit*>(QStringLiteral("rulesText"));
    QString broken = text->toPlainText();
    broken.replace(QStringLiteral("1 1 1 1 R180"), QStringLiteral("1 1 1 1 R18O"));
    text->setPlainText(broken);
    QTest::qWait(300);
    workshop.grab().save(shots + QStringLiteral("/workshop-diagnostic.png"));
}

// A paste of 1 MiB: the text is read once the typing pauses.
void measurePaste(RuleWorkshop& workshop) {
    auto* text = workshop.findChild<QPlainTextEdit*>(QStringLiteral("rulesText"));
    QString big = text->toPlainText() + QStringLiteral("\n");
    while (big.size() < (1 << 20))
        big += QStringLiteral("Komentár, ktorý nie je záznamom, ale riadkom navyše.\n");
    QElapsedTimer clock;
    clock.start();
    text->selectAll();
    text->insertPlainText(big);
    const double pasted = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    // What the workshop adds once the typing pauses: the read of the whole text.
    LatencyProbe probe;
    QTest::qWait(400);
    report("1 MiB paste: Qt's insertion; then our read", {pasted}, probe.worst());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    if (!benchwindow::writeStartFolder(folder, argc, argv, hierarchy()))
        return 1;
    MainWindow window(folder.path());
    if (!window.startedUp())
        return 1;
    RuleWorkshop* workshop = openWorkshop(window);
    if (!workshop)
        return 1;

    measureDrag(*workshop);
    measureKeystroke(window, *workshop);
    if (argc > 2)
        savePictures(window, *workshop, QString::fromLocal8Bit(argv[2]));
    measurePaste(*workshop);
    // Quit without the close questions: the edits are not wanted.
    std::_Exit(0);
}
