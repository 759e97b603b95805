// Where the view stands after a zoom: the buttons and keypad keys keep the scroll offsets in
// view pixels (pulled back to a smaller maximum), the Ctrl keys keep the centre and the wheel
// the point under the pointer, also past full size, where view pixels are square blocks.

#include "imageview.h"
#include "viewpane.h"
#include "windowfixture.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

using namespace windowtest;

namespace {

void ctrlClick(QWidget* target, Qt::Key key) {
    QTest::keyPress(target, Qt::Key_Control);
    QTest::keyClick(target, key, Qt::ControlModifier);
    QTest::keyRelease(target, Qt::Key_Control);
}

} // namespace

TEST(ZoomScroll, TheSpecControlsKeepOffsetsTheNewOnesTheirPoint) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 5; ++i)
        click(*window, "com1"); // 1280 pixels
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    auto* image = child<QWidget>(*window, "Image1");
    auto* pane = window->findChild<ViewPane*>();
    QWidget* focus = child<QWidget>(*window, "Button1");
    const auto button = [&](const char* name) { return [&, name] { click(*window, name); }; };
    const auto keypad = [&](Qt::Key k) {
        return [=] { QTest::keyClick(focus, k, Qt::KeypadModifier); };
    };
    const auto ctrl = [&](Qt::Key k) { return [=] { ctrlClick(focus, k); }; };
    const auto wheel = [&](QPoint at, int notches) {
        return [=] {
            QWheelEvent event(at, image->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton,
                              Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(image, &event);
        };
    };
    const QPoint centre(-1, -1), offsets(-2, -2); // what stays: the centre, the offsets
    const struct Row {
        const char* name;
        std::int32_t from;
        int magnified; // Ctrl++ pressed this often at full size first
        QPoint scroll;
        std::function<void()> zoom;
        QPoint kept;
    } rows[] = {
        {"Zmenši", 1, 0, {200, 150}, button("Button1"), offsets},
        {"Zmenši pulled back", 1, 0, {800, 700}, button("Button1"), offsets},
        {"Zväčši", 2, 0, {200, 150}, button("Button2"), offsets},
        {"keypad -", 1, 0, {300, 20}, keypad(Qt::Key_Minus), offsets},
        {"keypad +", 2, 0, {200, 150}, keypad(Qt::Key_Plus), offsets},
        {"keypad *", 2, 0, {200, 150}, keypad(Qt::Key_Asterisk), offsets},
        {"Zmenši at 4:1", 1, 2, {900, 700}, button("Button1"), offsets},
        {"keypad * at 4:1", 1, 2, {900, 700}, keypad(Qt::Key_Asterisk), offsets},
        {"Ctrl+-", 1, 0, {300, 250}, ctrl(Qt::Key_Minus), centre},
        {"Ctrl++", 2, 0, {200, 150}, ctrl(Qt::Key_Plus), centre},
        {"Ctrl+=", 2, 0, {200, 150}, ctrl(Qt::Key_Equal), centre},
        {"Ctrl+0", 2, 0, {200, 150}, ctrl(Qt::Key_0), centre},
        {"Ctrl++ past full size", 1, 0, {300, 250}, ctrl(Qt::Key_Plus), centre},
        {"Ctrl+- at 4:1", 1, 2, {900, 700}, ctrl(Qt::Key_Minus), centre},
        {"Ctrl+0 at 4:1", 1, 2, {900, 700}, ctrl(Qt::Key_0), centre},
        {"wheel in", 2, 0, {200, 150}, wheel({30, 50}, 1), {30, 50}},
        {"wheel in past full size", 1, 0, {300, 250}, wheel({30, 50}, 1), {30, 50}},
        {"wheel out", 1, 0, {500, 400}, wheel({120, 10}, -1), {120, 10}},
    };
    // Where a shown pixel lies in the mosaic, in sixteenths of a mosaic pixel.
    const auto inMosaic = [&](int shown) {
        return std::int64_t{shown} * 16 * std::max(1, window->view().factor()) /
               pane->magnification();
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        keypad(Qt::Key_Asterisk)();
        while (window->view().factor() < row.from)
            click(*window, "Button1");
        for (int i = 0; i < row.magnified; ++i)
            ctrl(Qt::Key_Plus)();
        across->setValue(row.scroll.x());
        down->setValue(row.scroll.y());
        const QPoint before(across->value(), down->value());
        const QPoint anchor =
            row.kept == centre ? QPoint(image->width() / 2, image->height() / 2) : row.kept;
        const std::int32_t factor = window->view().factor();
        const int magnification = pane->magnification();
        const QPoint wanted(inMosaic(before.x() + anchor.x()), inMosaic(before.y() + anchor.y()));
        row.zoom();
        ASSERT_TRUE(window->view().factor() != factor || pane->magnification() != magnification);
        const QPoint now(across->value(), down->value());
        if (row.kept == offsets) {
            EXPECT_EQ(now, QPoint(std::min(before.x(), across->maximum()),
                                  std::min(before.y(), down->maximum())));
            continue;
        }
        const int coarsest = 16 * std::max(factor, window->view().factor());
        EXPECT_LE(std::abs(inMosaic(now.x() + anchor.x()) - wanted.x()), coarsest);
        EXPECT_LE(std::abs(inMosaic(now.y() + anchor.y()) - wanted.y()), coarsest);
    }
}

// Past full size each view pixel is a square block: the surface holds the view's pixels
// repeated, at any scroll position. "Zväčši" stops at full size.
TEST(ZoomScroll, MagnifiedPixelsAreTheViewsRepeated) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 3; ++i)
        click(*window, "com1"); // 320 pixels
    QWidget* focus = child<QWidget>(*window, "Button1");
    QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier);
    auto* image = window->findChild<ImageView*>();
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    const ornamo::Bitmap view = wholeView(window->view());
    for (const int magnification : {2, 4, 8, 16, 16}) {
        SCOPED_TRACE(magnification);
        ctrlClick(focus, Qt::Key_Plus);
        EXPECT_TRUE(image->toolTip().endsWith(QStringLiteral("mierka %1:1").arg(magnification)));
        across->setValue(across->maximum() / 3 + 1);
        down->setValue(down->maximum() / 5 + 3);
        const QImage shown = image->grab().toImage();
        int wrong = 0;
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) {
                const std::uint8_t* pixel = view.row((down->value() + y) / magnification) +
                                            3 * ((across->value() + x) / magnification);
                wrong += shown.pixel(x, y) != qRgb(pixel[0], pixel[1], pixel[2]);
            }
        EXPECT_EQ(wrong, 0);
    }
    click(*window, "Button2");
    ctrlClick(focus, Qt::Key_Minus);
    EXPECT_EQ(window->findChild<ViewPane*>()->magnification(), 8);
}

// Every change draws the picture once, wherever it leaves the scroll bars.
TEST(ZoomScroll, EachChangeDrawsThePictureOnce) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 5; ++i)
        click(*window, "com1"); // 1280 pixels
    auto* image = child<QWidget>(*window, "Image1");
    auto* pane = window->findChild<ViewPane*>();
    QWidget* focus = child<QWidget>(*window, "Button1");
    QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier);
    pane->scrollTo({500, 400});
    const auto wheel = [&](int notches) {
        QWheelEvent event(QPointF(30, 50), image->mapToGlobal(QPointF(30, 50)), {},
                          {0, 120 * notches}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(image, &event);
    };
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"Zmenši", [&] { click(*window, "Button1"); }},
        {"Zväčši", [&] { click(*window, "Button2"); }},
        {"Ctrl+wheel out", [&] { wheel(-1); }},
        {"Ctrl+wheel in", [&] { wheel(1); }},
        {"Ctrl+wheel past full size", [&] { wheel(1); }},
        {"Zmenši from a magnification", [&] { click(*window, "Button1"); }},
        {"Ctrl+-", [&] { ctrlClick(focus, Qt::Key_Minus); }},
        {"Ctrl++", [&] { ctrlClick(focus, Qt::Key_Plus); }},
        {"Ctrl++ to full size", [&] { ctrlClick(focus, Qt::Key_Plus); }},
        {"Ctrl++ past full size", [&] { ctrlClick(focus, Qt::Key_Plus); }},
        {"Ctrl+0 from a magnification", [&] { ctrlClick(focus, Qt::Key_0); }},
        {"command", [&] { click(*window, "com2"); }},
        {"Späť", [&] { trigger(*window, "Spat1"); }},
        {"Znova", [&] { trigger(*window, "Znova1"); }},
        {"scroll to a point",
         [&] {
             pane->scrollTo({70, 90});
         }},
        {"resize", [&] { window->resize(window->size() + QSize(40, 30)); }},
    };
    QSignalSpy draws(pane, &ViewPane::drawn);
    for (const auto& [name, change] : rows) {
        SCOPED_TRACE(name);
        draws.clear();
        change();
        QApplication::processEvents();
        EXPECT_EQ(draws.count(), 1);
    }
}
