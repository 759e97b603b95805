// The editor on a 64000-pixel mosaic (4096 placements): how long full size (keypad *) takes to
// show, how much memory the editor then holds, and how long a scroll step takes. Runs the real
// window on Qt's offscreen platform; prints one line a figure.

#include "imageview.h"
#include "mainwindow.h"
#include "viewpane.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

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
    QString text = QStringLiteral("Sestnast\nscale: 4\nitem: 16\n");
    const char* orientations[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};
    for (int i = 0; i < 16; ++i)
        text += QStringLiteral("%1 %2 1 1 %3\n").arg(i % 4).arg(i / 4).arg(orientations[i % 8]);
    return text + QStringLiteral("\nVelky\nscale: 25\nitem: 1\n0 0 25 25 R0\n");
}

double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString data = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("data");
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("dlazdice"));
    QFile::copy(data + QStringLiteral("/dlazdice/default.bmp"),
                folder.filePath(QStringLiteral("dlazdice/default.bmp")));
    QFile rules(folder.filePath(QStringLiteral("default.hrh")));
    if (!rules.open(QIODevice::WriteOnly) || rules.write(hierarchy().toLatin1()) < 0)
        return 1;
    rules.close();

    MainWindow window(folder.path());
    if (!window.startedUp())
        return 1;
    window.show();
    window.resize(1600 + 140, 1200 + 75); // the whole drawing surface in sight
    QApplication::processEvents();
    const auto button = [&](const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    };
    for (const char* name : {"com1", "com1", "com1", "com2"})
        QTest::mouseClick(button(name), Qt::LeftButton);
    QApplication::processEvents();
    std::printf("mosaic %d pixels across at factor %d\n",
                static_cast<int>(window.view().mosaic().extent()), window.view().factor());

    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(button("Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    QApplication::processEvents();
    std::printf("full size (%d pixels across) on screen: %lld ms\n", window.view().side(),
                static_cast<long long>(timer.elapsed()));
    const auto [peak, now] = residentMegabytes();
    std::printf("editor resident: %ld MB now, %ld MB at most\n", now, peak);

    // Steps of a wheel notch (an eighth of the shown side) and of a whole screen, each way.
    auto* across = window.findChild<QScrollBar*>(QStringLiteral("ScrollBar1"));
    auto* down = window.findChild<QScrollBar*>(QStringLiteral("ScrollBar2"));
    for (const int step : {150, 1200}) {
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
    const auto [peakAfter, nowAfter] = residentMegabytes();
    std::printf("editor resident after scrolling: %ld MB now, %ld MB at most\n", nowAfter,
                peakAfter);

    // Where a pixel comes from: Shift and a click outlines the copies of the oldest entry's part
    // under the pointer after a second click (the first outlines the newest entry's one copy),
    // then an outline of 65535 squares over the whole mosaic is painted at full size and at
    // factor 64.
    auto* pane = window.findChild<ViewPane*>();
    QWidget* image = pane->picture();
    for (int click = 0; click < 4; ++click) {
        timer.restart();
        QTest::mouseClick(image, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 500));
        image->repaint();
        std::printf("Shift and click: %zu copies outlined in %.2f ms\n", pane->outline().size(),
                    timer.nsecsElapsed() / 1e6);
    }
    const std::int64_t extent = window.view().mosaic().extent(), cell = extent / 256;
    std::vector<ornamo::MosaicRect> squares;
    for (std::int64_t i = 0; i < 65535; ++i)
        squares.push_back(
            {i % 256 * cell, i / 256 * cell, i % 256 * cell + cell / 2, i / 256 * cell + cell / 2});
    for (const int zoomOut : {0, 6}) {
        for (int i = 0; i < zoomOut; ++i)
            QTest::mouseClick(button("Button1"), Qt::LeftButton);
        pane->clearOutline();
        QApplication::processEvents();
        timer.restart();
        image->repaint();
        std::printf("picture painted without an outline at factor %d: %.2f ms\n",
                    window.view().factor(), timer.nsecsElapsed() / 1e6);
        timer.restart();
        pane->setOutline(squares);
        image->repaint();
        std::printf("outline of %zu copies at factor %d: %.2f ms\n", squares.size(),
                    window.view().factor(), timer.nsecsElapsed() / 1e6);
        // The outline alone, in processor time of this thread: on a loaded machine the wall
        // clock above also counts the time other processes hold the cores.
        QImage canvas(image->size(), QImage::Format_RGB32);
        const double before = threadMilliseconds();
        {
            QPainter painter(&canvas);
            pane->paintOutline(painter, canvas.rect());
        }
        std::printf("the outline alone: %.2f ms of processor time\n",
                    threadMilliseconds() - before);
    }
    return 0;
}
