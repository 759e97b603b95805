// The editor on a 64000-pixel mosaic (4096 placements): how long full size (keypad *) takes to
// show, how much memory the editor then holds, and how long a scroll step takes. Runs the real
// window on Qt's offscreen platform; prints one line a figure.

#include "benchwindow.h"
#include "imageview.h"
#include "mainwindow.h"
#include "viewpane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The peak and the current resident memory of this process, in MB.
std::pair<long, long> residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long peak = 0, now = 0;
    while (status >> key) {
        if (key == "VmHWM:")
            status >> peak;
        else if (key == "VmRSS:")
            status >> now;
    }
    return {peak / 1024, now / 1024};
}

QString hierarchy() {
    return benchwindow::sixteenParts() +
           QStringLiteral("\nVelky\nscale: 25\nitem: 1\n0 0 25 25 R0\n");
}

double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QPushButton* windowButton(MainWindow& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

// The window on screen with the whole drawing surface in sight, slot 1 applied three times
// and slot 2 once: 4096 placements, 64000 pixels across.
void showMosaic(MainWindow& window) {
    window.show();
    window.resize(1600 + 140, 1200 + 75);
    QApplication::processEvents();
    for (const char* name : {"com1", "com1", "com1", "com2"})
        QTest::mouseClick(windowButton(window, name), Qt::LeftButton);
    QApplication::processEvents();
    std::printf("mosaic %d pixels across at factor %d\n",
                static_cast<int>(window.view().mosaic().extent()), window.view().factor());
}

void printResident(const char* when) {
    const auto [peak, now] = residentMegabytes();
    std::printf("editor resident%s: %ld MB now, %ld MB at most\n", when, now, peak);
}

void measureFullSize(MainWindow& window) {
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(windowButton(window, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    QApplication::processEvents();
    std::printf("full size (%d pixels across) on screen: %lld ms\n", window.view().side(),
                static_cast<long long>(timer.elapsed()));
    printResident("");
}

// Forty steps of `step` pixels, down and across in turn.
void measureScrollSteps(MainWindow& window, int step) {
    auto* across = window.findChild<QScrollBar*>(QStringLiteral("ScrollBar1"));
    auto* down = window.findChild<QScrollBar*>(QStringLiteral("ScrollBar2"));
    QElapsedTimer timer;
    qint64 slowest = 0, total = 0;
    const int steps = 40;
    for (int i = 0; i < steps; ++i) {
        QScrollBar* bar = i % 2 ? across : down;
        timer.restart();
        bar->setValue(bar->value() + step);
        QApplication::processEvents();
        const qint64 spent = timer.nsecsElapsed();
        slowest = std::max(slowest, spent);
        total += spent;
    }
    std::printf("scroll steps of %d pixels: %.1f ms on average, %.1f ms at most\n", step,
                total / 1e6 / steps, slowest / 1e6);
}

// Shift and a click outlines the copies of the oldest entry's part under the pointer after a
// second click (the first outlines the newest entry's one copy).
void measureShiftClicks(ViewPane& pane) {
    QWidget* image = pane.picture();
    QElapsedTimer timer;
    for (int click = 0; click < 4; ++click) {
        timer.restart();
        QTest::mouseClick(image, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 500));
        image->repaint();
        std::printf("Shift and click: %zu copies outlined in %.2f ms\n", pane.outline().size(),
                    timer.nsecsElapsed() / 1e6);
    }
}

// 65535 squares over the whole mosaic, each half a cell of a 256 x 256 grid.
std::vector<ornamo::MosaicRect> outlineSquares(std::int64_t extent) {
    const std::int64_t cell = extent / 256;
    std::vector<ornamo::MosaicRect> squares;
    for (std::int64_t i = 0; i < 65535; ++i)
        squares.push_back(
            {i % 256 * cell, i / 256 * cell, i % 256 * cell + cell / 2, i / 256 * cell + cell / 2});
    return squares;
}

// The picture painted without an outline and with `squares` at the window's factor.
void measureOutline(MainWindow& window, ViewPane& pane,
                    const std::vector<ornamo::MosaicRect>& squares) {
    QWidget* image = pane.picture();
    pane.clearOutline();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    image->repaint();
    std::printf("picture painted without an outline at factor %d: %.2f ms\n",
                window.view().factor(), timer.nsecsElapsed() / 1e6);
    timer.restart();
    pane.setOutline(squares);
    image->repaint();
    std::printf("outline of %zu copies at factor %d: %.2f ms\n", squares.size(),
                window.view().factor(), timer.nsecsElapsed() / 1e6);
    // The outline alone, in processor time of this thread: on a loaded machine the wall clock
    // above also counts the time other processes hold the cores.
    QImage canvas(image->size(), QImage::Format_RGB32);
    const double before = threadMilliseconds();
    {
        QPainter painter(&canvas);
        pane.paintOutline(painter, canvas.rect());
    }
    std::printf("the outline alone: %.2f ms of processor time\n", threadMilliseconds() - before);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    if (!benchwindow::writeStartFolder(folder, argc, argv, hierarchy().toLatin1()))
        return 1;
    MainWindow window(folder.path());
    if (!window.startedUp())
        return 1;
    showMosaic(window);

    measureFullSize(window);
    // Steps of a wheel notch (an eighth of the shown side) and of a whole screen, each way.
    measureScrollSteps(window, 150);
    measureScrollSteps(window, 1200);
    printResident(" after scrolling");

    // Where a pixel comes from: the outlines of Shift and a click, then an outline over the
    // whole mosaic painted at full size and at factor 64 (six steps out).
    auto* pane = window.findChild<ViewPane*>();
    measureShiftClicks(*pane);
    const std::vector<ornamo::MosaicRect> squares = outlineSquares(window.view().mosaic().extent());
    measureOutline(window, *pane, squares);
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(windowButton(window, "Button1"), Qt::LeftButton);
    measureOutline(window, *pane, squares);
    return 0;
}
