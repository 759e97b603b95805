// The main window's drawing pipeline and view controls: DrawTile and its showing step, the busy
// indicator, zoom, scrolling, resizing and the keyboard commands.

#include "mainwindow.h"

#include "imageview.h"
#include "messages.h"
#include "names.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

// A notch of the wheel scrolls this fraction of the shown side.
constexpr int wheelStepsPerSide = 8;
// How far the image control may reach: the window's outer size less these.
constexpr int imageWidthMargin = 140;
constexpr int imageHeightMargin = 75;
// The scroll bars grow with the window: their lengths are the outer size less these.
constexpr int horizontalBarMargin = 525 - 371;
constexpr int verticalBarMargin = 460 - 371;

} // namespace

// ---- DrawTile ----

void MainWindow::DrawTile(DrawMode mode) {
    // Renders and reductions are made by the work, on each change that needs them.
    if (mode == DrawMode::Show)
        ShowView();
}

bool MainWindow::runOnWork(const std::function<ornamo::Outcome(ornamo::Progress*)>& change) {
    if (busy_)
        return false;
    busy_ = true;
    updateActions();

    // The new view is made beside the old one, so that the window can go on showing, scrolling
    // and resizing the old view while the work processes pending input.
    const ornamo::Outcome outcome = change(this);

    // Hide the busy indicator even when the work ended early.
    EndProcessBar();
    busy_ = false;
    updateActions();
    finish(outcome);
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
    return true;
}

void MainWindow::ShowView() {
    // Lowering a scroll bar's maximum below its position moves it, which asks for this step
    // again; the pass under way already shows the new position.
    if (showingView_)
        return;
    showingView_ = true;

    const int side = work_.view().side();
    Image1->resize(side, side); // clamped to its maximum size

    int hpos = 0;
    if (side > Image1->width()) {
        ScrollBar1->setMaximum(side - Image1->width());
        ScrollBar1->move(ScrollBar1->x(), Image1->y() + Image1->height());
        ScrollBar1->show();
        hpos = ScrollBar1->value();
    } else {
        ScrollBar1->hide();
    }

    int vpos = 0;
    if (side > Image1->height()) {
        ScrollBar2->setMaximum(side - Image1->height());
        ScrollBar2->move(Image1->x() + Image1->width(), ScrollBar2->y());
        ScrollBar2->show();
        vpos = ScrollBar2->value();
    } else {
        ScrollBar2->hide();
    }

    try {
        Image1->drawView(work_.view(), hpos, vpos);
    } catch (const std::bad_alloc&) {
        showingView_ = false;
        showMessage(ornamo::messages::notEnoughMemory);
        return;
    }
    showingView_ = false;
}

// ---- The busy indicator ----

void MainWindow::StartProcessBar(ornamo::Caption caption) {
    const std::string_view shown = ornamo::messages::text(caption);
    Label2->setText(ornamo::fromUtf8(shown));
    Label2->show();
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    QCoreApplication::processEvents();
}

void MainWindow::EndProcessBar() {
    Label2->hide();
    ProgressBar1->hide();
}

void MainWindow::step(int position) {
    ProgressBar1->setValue(std::clamp(position, 0, 100));
    QCoreApplication::processEvents();
}

// ---- Zoom ----

void MainWindow::Button1Click() {
    if (heldOff())
        return;
    zoomAbout(viewCentre(), [this](ornamo::Progress* progress) { return work_.zoomOut(progress); });
}

void MainWindow::Button2Click() {
    if (heldOff())
        return;
    zoomAbout(viewCentre(), [this](ornamo::Progress* progress) { return work_.zoomIn(progress); });
}

void MainWindow::fullSize() {
    if (heldOff())
        return;
    zoomAbout(viewCentre(),
              [this](ornamo::Progress* progress) { return work_.fullSize(progress); });
}

void MainWindow::Prisposob1Click() {
    if (heldOff())
        return;
    const int width = Image1->maximumWidth(), height = Image1->maximumHeight();
    runOnWork([this, width, height](ornamo::Progress* progress) {
        return work_.zoomToFit(width, height, progress);
    });
}

QPoint MainWindow::viewCentre() const {
    return {Image1->width() / 2, Image1->height() / 2};
}

void MainWindow::zoomAbout(QPoint anchor,
                           const std::function<ornamo::Outcome(ornamo::Progress*)>& zoom) {
    // The full-size pixel under the anchor, at the middle of its view pixel.
    const auto scrolled = [](const QScrollBar* bar) { return bar->isVisible() ? bar->value() : 0; };
    const std::int64_t before = std::max<std::int32_t>(1, work_.view().factor());
    const std::int64_t x = (scrolled(ScrollBar1) + anchor.x()) * before + before / 2;
    const std::int64_t y = (scrolled(ScrollBar2) + anchor.y()) * before + before / 2;
    if (!runOnWork(zoom))
        return;
    const std::int64_t after = std::max<std::int32_t>(1, work_.view().factor());
    const auto clamped = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::numeric_limits<int>::max()));
    };
    ScrollBar1->setValue(clamped(x / after - anchor.x()));
    ScrollBar2->setValue(clamped(y / after - anchor.y()));
}

void MainWindow::updatePictureTip() {
    const ornamo::Mosaic& mosaic = work_.model().mosaic();
    const std::size_t count = mosaic.placements.size();
    const char* noun =
        count == 1 ? "dlaždica" : (count >= 2 && count <= 4 ? "dlaždice" : "dlaždíc");
    Image1->setToolTip(QStringLiteral("Mozaika %1 × %1 px, %2 %3, mierka 1:%4")
                           .arg(mosaic.extent())
                           .arg(count)
                           .arg(QString::fromUtf8(noun))
                           .arg(std::max<std::int32_t>(1, work_.view().factor())));
}

// ---- Resizing and scrolling ----

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void MainWindow::FormResize() {
    const QSize outer = frameGeometry().size();
    Image1->setMaximumHeight(std::max(0, outer.height() - imageHeightMargin));
    Image1->setMaximumWidth(std::max(0, outer.width() - imageWidthMargin));
    // The scroll bars are anchored to the window's right and bottom edges.
    ScrollBar1->resize(std::max(0, outer.width() - horizontalBarMargin), ScrollBar1->height());
    ScrollBar2->resize(ScrollBar2->width(), std::max(0, outer.height() - verticalBarMargin));
    DrawTile(DrawMode::Show);
}

void MainWindow::ScrollBar1Change() {
    DrawTile(DrawMode::Show);
}

void MainWindow::ScrollBar2Change() {
    DrawTile(DrawMode::Show);
}

// ---- Wheel and panning ----

bool MainWindow::wheelOverView(const QWheelEvent& event, bool overHorizontalBar) {
    // Whole notches of 120; finer wheels and touchpads add up until they make one.
    const QPoint delta = event.angleDelta();
    const bool horizontalWheel = delta.y() == 0 && delta.x() != 0;
    wheelRest_ += horizontalWheel ? delta.x() : delta.y();
    const int notches = wheelRest_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRest_ %= QWheelEvent::DefaultDeltasPerStep;
    if (notches == 0)
        return true;
    if (event.modifiers().testFlag(Qt::ControlModifier)) {
        // The point under the pointer stays there; over a scroll bar, the centre does.
        const QPoint pointer = Image1->mapFromGlobal(event.globalPosition().toPoint());
        const QPoint anchor = Image1->rect().contains(pointer) ? pointer : viewCentre();
        for (int i = 0; i < std::abs(notches) && !heldOff(); ++i)
            zoomAbout(anchor, [this, in = notches > 0](ornamo::Progress* progress) {
                return in ? work_.zoomIn(progress) : work_.zoomOut(progress);
            });
        return true;
    }
    const bool across =
        overHorizontalBar || horizontalWheel || event.modifiers().testFlag(Qt::ShiftModifier);
    QScrollBar* bar = across ? ScrollBar1 : ScrollBar2;
    if (bar->isVisible()) {
        const int shown = across ? Image1->width() : Image1->height();
        bar->setValue(bar->value() - notches * std::max(1, shown / wheelStepsPerSide));
    }
    return true;
}

bool MainWindow::panView(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress: {
        const auto& press = static_cast<const QMouseEvent&>(event);
        if (press.button() != Qt::LeftButton)
            return false;
        panFrom_ = press.globalPosition().toPoint();
        panStart_ = {ScrollBar1->value(), ScrollBar2->value()};
        panning_ = true;
        Image1->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        if (!panning_)
            return false;
        const QPoint moved =
            static_cast<const QMouseEvent&>(event).globalPosition().toPoint() - panFrom_;
        if (ScrollBar1->isVisible())
            ScrollBar1->setValue(panStart_.x() - moved.x());
        if (ScrollBar2->isVisible())
            ScrollBar2->setValue(panStart_.y() - moved.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!panning_ || static_cast<const QMouseEvent&>(event).button() != Qt::LeftButton)
            return false;
        panning_ = false;
        Image1->unsetCursor();
        return true;
    default:
        return false;
    }
}

// ---- Keyboard commands ----

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 || watched == ScrollBar1 || watched == ScrollBar2) {
        if (event->type() == QEvent::Wheel)
            return wheelOverView(static_cast<QWheelEvent&>(*event), watched == ScrollBar1);
        if (watched == Image1 && panView(*event))
            return true;
    }
    // The controls hand their keys to the window first and still handle them themselves.
    if (event->type() == QEvent::KeyPress)
        FormKeyDown(static_cast<const QKeyEvent&>(*event));
    else if (event->type() == QEvent::KeyRelease)
        FormKeyUp(static_cast<const QKeyEvent&>(*event));
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Keys that a control let through already went to FormKeyDown by its filter.
    if (!focusWidget() || focusWidget() == this)
        FormKeyDown(*event);
    QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (!focusWidget() || focusWidget() == this)
        FormKeyUp(*event);
    QMainWindow::keyReleaseEvent(event);
}

void MainWindow::FormKeyDown(const QKeyEvent& event) {
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
    case Qt::Key_Backspace:
        if (ctrlDown_)
            Reset1Click();
        else
            Zruposlednoperciu1Click();
        break;
    case Qt::Key_Shift:
        shiftDown_ = true;
        break;
    case Qt::Key_Control:
        ctrlDown_ = true;
        break;
    case Qt::Key_Insert:
        if (ctrlDown_)
            Vloprkaz1Click();
        break;
    case Qt::Key_Delete:
        if (shiftDown_)
            Zrupovybranprkaz1Click();
        else
            Zrusvybrany1Click();
        break;
    case Qt::Key_O:
        if (ctrlDown_)
            OpenImage1Click();
        break;
    case Qt::Key_S:
        if (ctrlDown_)
            UloBitmapu1Click();
        break;
    case Qt::Key_U:
        if (ctrlDown_)
            Zameprkaz1Click();
        break;
    case Qt::Key_Q:
        if (ctrlDown_)
            Close1Click();
        break;
    case Qt::Key_F:
        if (ctrlDown_)
            Prisposob1Click();
        break;
    case Qt::Key_F1:
        Ovldanie1Click();
        break;
    case Qt::Key_F10:
        menuBar()->setActiveAction(Files1->menuAction());
        break;
    case Qt::Key_Equal:
        if (ctrlDown_)
            Button2Click();
        break;
    case Qt::Key_0:
        if (ctrlDown_ && !keypad)
            fullSize();
        break;
    // The keys of the edit history and of work files, beside the ones above.
    case Qt::Key_Z:
        if (ctrlDown_ && shiftDown_)
            Znova1Click();
        else if (ctrlDown_)
            Spat1Click();
        break;
    case Qt::Key_Y:
        if (ctrlDown_)
            Znova1Click();
        break;
    case Qt::Key_F2:
        if (shiftDown_)
            UlozPracuAko1Click();
        else
            UlozPracu1Click();
        break;
    case Qt::Key_F3:
        OtvorPracu1Click();
        break;
    case Qt::Key_Asterisk:
        if (keypad)
            fullSize();
        break;
    case Qt::Key_Plus:
        if (keypad || ctrlDown_)
            Button2Click();
        break;
    case Qt::Key_Minus:
        if (keypad || ctrlDown_)
            Button1Click();
        break;
    default:
        break;
    }
}

void MainWindow::FormKeyUp(const QKeyEvent& event) {
    // A held key repeats its presses only; a release that belongs to a repeat is no key-up.
    if (event.isAutoRepeat())
        return;
    if (event.key() == Qt::Key_Shift)
        shiftDown_ = false;
    else if (event.key() == Qt::Key_Control)
        ctrlDown_ = false;
}
