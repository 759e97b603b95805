// Where the view stands after a zoom: the buttons and keypad keys keep the scroll offsets in
// view pixels (pulled back to a smaller maximum), the Ctrl keys keep the centre and the wheel
// the point under the pointer.

#include "imageview.h"
#include "viewpane.h"
#include "windowfixture.h"

#include <QScrollBar>
#include <QWheelEvent>

using namespace windowtest;

namespace {

enum class Kept { Offsets, Anchor };

void ctrlClick(QWidget* target, Qt::Key key) {
    QTest::keyPress(target, Qt::Key_Control);
    QTest::keyClick(target, key, Qt::ControlModifier);
    QTest::keyRelease(target, Qt::Key_Control);
}

void wheel(QWidget* image, QPoint pointer, int notches) {
    QWheelEvent event(pointer, image->mapToGlobal(pointer), {}, {0, 120 * notches}, Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(image, &event);
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
    const QPoint centre(-1, -1); // the image's centre at the time of the zoom
    QWidget* focus = child<QWidget>(*window, "Button1");
    const struct Row {
        const char* name;
        std::int32_t from;
        QPoint scroll;
        std::function<void()> zoom;
        Kept kept;
        QPoint anchor;
        int magnified = 0; // Ctrl++ pressed this often at full size first
    } rows[] = {
        {"Zmenši", 1, {200, 150}, [&] { click(*window, "Button1"); }, Kept::Offsets, {}},
        {"Zmenši pulled back",
         1,
         {800, 700},
         [&] { click(*window, "Button1"); },
         Kept::Offsets,
         {}},
        {"Zväčši", 2, {200, 150}, [&] { click(*window, "Button2"); }, Kept::Offsets, {}},
        {"keypad -",
         1,
         {300, 20},
         [&] { QTest::keyClick(focus, Qt::Key_Minus, Qt::KeypadModifier); },
         Kept::Offsets,
         {}},
        {"keypad +",
         2,
         {200, 150},
         [&] { QTest::keyClick(focus, Qt::Key_Plus, Qt::KeypadModifier); },
         Kept::Offsets,
         {}},
        {"keypad *",
         2,
         {200, 150},
         [&] { QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier); },
         Kept::Offsets,
         {}},
        {"Ctrl+-", 1, {300, 250}, [&] { ctrlClick(focus, Qt::Key_Minus); }, Kept::Anchor, centre},
        {"Ctrl++", 2, {200, 150}, [&] { ctrlClick(focus, Qt::Key_Plus); }, Kept::Anchor, centre},
        {"Ctrl+=", 2, {200, 150}, [&] { ctrlClick(focus, Qt::Key_Equal); }, Kept::Anchor, centre},
        {"Ctrl+0", 2, {200, 150}, [&] { ctrlClick(focus, Qt::Key_0); }, Kept::Anchor, centre},
        {"wheel in",
         2,
         {200, 150},
         [&] {
             wheel(image, {30, 50}, 1);
         },
         Kept::Anchor,
         {30, 50}},
        {"wheel out",
         1,
         {500, 400},
         [&] {
             wheel(image, {120, 10}, -1);
         },
         Kept::Anchor,
         {120, 10}},
        {"Ctrl++ past full size",
         1,
         {300, 250},
         [&] { ctrlClick(focus, Qt::Key_Plus); },
         Kept::Anchor,
         centre},
        {"wheel in past full size",
         1,
         {300, 250},
         [&] {
             wheel(image, {30, 50}, 1);
         },
         Kept::Anchor,
         {30, 50}},
        {"Ctrl+- at 4:1",
         1,
         {900, 700},
         [&] { ctrlClick(focus, Qt::Key_Minus); },
         Kept::Anchor,
         centre,
         2},
        {"Ctrl+0 at 4:1",
         1,
         {900, 700},
         [&] { ctrlClick(focus, Qt::Key_0); },
         Kept::Anchor,
         centre,
         2},
        {"Zmenši at 4:1", 1, {900, 700}, [&] { click(*window, "Button1"); }, Kept::Offsets, {}, 2},
        {"keypad * at 4:1",
         1,
         {900, 700},
         [&] { QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier); },
         Kept::Offsets,
         {},
         2},
    };
    auto* pane = window->findChild<ViewPane*>();
    // Where a shown pixel lies in the mosaic, in sixteenths of a mosaic pixel.
    const auto inMosaic = [&](int shown) {
        return std::int64_t{shown} * 16 * std::max(1, window->view().factor()) /
               pane->magnification();
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier);
        while (window->view().factor() < row.from)
            click(*window, "Button1");
        for (int i = 0; i < row.magnified; ++i)
            ctrlClick(focus, Qt::Key_Plus);
        across->setValue(row.scroll.x());
        down->setValue(row.scroll.y());
        const QPoint before(across->value(), down->value());
        const QPoint anchor =
            row.anchor == centre ? QPoint(image->width() / 2, image->height() / 2) : row.anchor;
        const std::int32_t factor = window->view().factor();
        const int magnification = pane->magnification();
        const std::int64_t wantedX = inMosaic(before.x() + anchor.x());
        const std::int64_t wantedY = inMosaic(before.y() + anchor.y());
        row.zoom();
        const std::int32_t after = window->view().factor();
        ASSERT_TRUE(after != factor || pane->magnification() != magnification);
        const QPoint now(across->value(), down->value());
        if (row.kept == Kept::Offsets) {
            EXPECT_EQ(now, QPoint(std::min(before.x(), across->maximum()),
                                  std::min(before.y(), down->maximum())));
        } else {
            const std::int64_t coarsest = 16 * std::max(factor, after);
            EXPECT_LE(std::abs(inMosaic(now.x() + anchor.x()) - wantedX), coarsest);
            EXPECT_LE(std::abs(inMosaic(now.y() + anchor.y()) - wantedY), coarsest);
        }
    }
}

// Past full size each view pixel is a square block, read where it is shown: the surface holds
// the view's pixels repeated, at any scroll position. The spec's controls stop at full size.
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
        EXPECT_EQ(
            image->toolTip(),
            QStringLiteral("Mozaika 320 × 320 px, 64 dlaždíc, mierka %1:1").arg(magnification));
        ASSERT_EQ(across->maximum(), 320 * magnification - image->width());
        across->setValue(across->maximum() / 3 + 1);
        down->setValue(down->maximum() / 5 + 3);
        const QImage surface = image->surface();
        int wrong = 0;
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) {
                const int vx = (across->value() + x) / magnification;
                const int vy = (down->value() + y) / magnification;
                const QRgb expected =
                    qRgb(view.row(vy)[3 * vx], view.row(vy)[3 * vx + 1], view.row(vy)[3 * vx + 2]);
                wrong += surface.pixel(x, y) != expected;
            }
        EXPECT_EQ(wrong, 0);
    }
    click(*window, "Button2"); // "Zväčši" goes no closer than full size: nothing changes
    EXPECT_EQ(window->findChild<ViewPane*>()->magnification(), 16);
    ctrlClick(focus, Qt::Key_Minus);
    EXPECT_EQ(window->findChild<ViewPane*>()->magnification(), 8);
    ctrlClick(focus, Qt::Key_0);
    EXPECT_EQ(window->findChild<ViewPane*>()->magnification(), 1);
    EXPECT_EQ(window->view().factor(), 1);
}
