// Where the view stands after a zoom: the buttons and keypad keys keep the scroll offsets in
// view pixels (pulled back to a smaller maximum), the Ctrl keys keep the centre and the wheel
// the point under the pointer.

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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTest::keyClick(focus, Qt::Key_Asterisk, Qt::KeypadModifier);
        while (window->view().factor() < row.from)
            click(*window, "Button1");
        across->setValue(row.scroll.x());
        down->setValue(row.scroll.y());
        const QPoint before(across->value(), down->value());
        const QPoint anchor =
            row.anchor == centre ? QPoint(image->width() / 2, image->height() / 2) : row.anchor;
        const std::int32_t factor = window->view().factor();
        row.zoom();
        const std::int32_t after = window->view().factor();
        ASSERT_NE(after, factor);
        const QPoint now(across->value(), down->value());
        if (row.kept == Kept::Offsets) {
            EXPECT_EQ(now, QPoint(std::min(before.x(), across->maximum()),
                                  std::min(before.y(), down->maximum())));
        } else {
            const QPoint wanted = (before + anchor) * factor;
            const QPoint shown = (now + anchor) * after;
            EXPECT_LE(std::abs(shown.x() - wanted.x()), std::max(factor, after));
            EXPECT_LE(std::abs(shown.y() - wanted.y()), std::max(factor, after));
        }
    }
}
