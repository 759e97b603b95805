#include "viewpane.h"

#include "imageview.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

// A notch of the wheel scrolls this fraction of the shown side.
constexpr int wheelStepsPerSide = 8;

// A transparent layer over the picture that paints the pane's outline; clicks go through it.
class OutlineLayer : public QWidget {
public:
    OutlineLayer(const ViewPane& pane, QWidget* picture) : QWidget(picture), pane_(pane) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QStringLiteral("outlineLayer"));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        pane_.paintOutline(painter, event->rect());
    }

private:
    const ViewPane& pane_;
};

std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && a < 0);
}

} // namespace

ViewPane::ViewPane(const ornamo::MosaicView& view, QWidget* client) : QWidget(client), view_(view) {
    setObjectName(QStringLiteral("viewPane"));
    // The pane spans the client area, so that its controls stand where the layout puts them;
    // it lies below the window's other controls, which take their own clicks.
    resize(viewPaneLayout.windowOuterSize);
    lower();

    Image1 = new ImageView(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(
        QRect(viewPaneLayout.picture, QSize(ImageView::surfaceWidth, ImageView::surfaceHeight)));
    Image1->installEventFilter(this); // the wheel and dragging move the view
    Image1->setMouseTracking(true);   // Shift and a move show where a pixel comes from
    outlineLayer_ = new OutlineLayer(*this, Image1);
    outlineLayer_->resize(Image1->size());

    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(viewPaneLayout.horizontalBar);
    ScrollBar2 = new QScrollBar(Qt::Vertical, this);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setGeometry(viewPaneLayout.verticalBar);
    // Qt's scroll bars invert their keys for the wheel's sake, which turns the horizontal
    // arrows round; Right must move the view right.
    ScrollBar1->setInvertedControls(false);
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->hide();
        bar->installEventFilter(this);
    }
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &ViewPane::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &ViewPane::ScrollBar2Change);
}

void ViewPane::ShowView(std::optional<QPoint> position, Drawing drawing) {
    // Lowering a scroll bar's maximum below its position moves it, which asks for this step
    // again; the pass under way already shows the new position.
    if (showingView_)
        return;
    showingView_ = true;

    // The side as shown; a scroll bar's range ends at the largest int.
    const int side = static_cast<int>(std::min<std::int64_t>(
        std::int64_t{view_.side()} * magnification_, std::numeric_limits<int>::max()));
    Image1->resize(side, side); // clamped to its maximum size

    const bool across = side > Image1->width(), down = side > Image1->height();
    if (across) {
        ScrollBar1->setMaximum(side - Image1->width());
        ScrollBar1->move(ScrollBar1->x(), Image1->y() + Image1->height());
        ScrollBar1->show();
    } else {
        ScrollBar1->hide();
    }
    if (down) {
        ScrollBar2->setMaximum(side - Image1->height());
        ScrollBar2->move(Image1->x() + Image1->width(), ScrollBar2->y());
        ScrollBar2->show();
    } else {
        ScrollBar2->hide();
    }
    if (position) {
        // Both bars move before the one drawing below.
        const QSignalBlocker quietAcross(ScrollBar1), quietDown(ScrollBar2);
        ScrollBar1->setValue(position->x());
        ScrollBar2->setValue(position->y());
    }
    if (drawing == Drawing::Later) {
        showingView_ = false;
        return;
    }

    try {
        Image1->drawView(view_, across ? ScrollBar1->value() : 0, down ? ScrollBar2->value() : 0,
                         magnification_);
    } catch (const std::bad_alloc&) {
        showingView_ = false;
        emit outOfMemory();
        return;
    }
    showingView_ = false;
    drawnMagnification_ = magnification_;
    emit drawn();
}

void ViewPane::fitWindow(QSize outer) {
    const QSize grown = outer - viewPaneLayout.windowOuterSize;
    // The pane reaches past the window's client area; only what lies inside it is seen.
    resize(outer);
    Image1->setMaximumHeight(std::max(0, outer.height() - viewPaneLayout.pictureMargin.height()));
    Image1->setMaximumWidth(std::max(0, outer.width() - viewPaneLayout.pictureMargin.width()));
    ScrollBar1->resize(std::max(0, viewPaneLayout.horizontalBar.width() + grown.width()),
                       ScrollBar1->height());
    ScrollBar2->resize(ScrollBar2->width(),
                       std::max(0, viewPaneLayout.verticalBar.height() + grown.height()));
    ShowView();
}

void ViewPane::ScrollBar1Change() {
    ShowView();
}

void ViewPane::ScrollBar2Change() {
    ShowView();
}

QPoint ViewPane::centre() const {
    return {Image1->width() / 2, Image1->height() / 2};
}

QPoint ViewPane::scrollPosition(Shown which) const {
    const auto position = [which](const QScrollBar* bar) {
        return which == Shown::Any || bar->isVisible() ? bar->value() : 0;
    };
    return {position(ScrollBar1), position(ScrollBar2)};
}

void ViewPane::scrollTo(QPoint position) {
    const QPoint before = scrollPosition();
    {
        const QSignalBlocker across(ScrollBar1), down(ScrollBar2);
        ScrollBar1->setValue(position.x());
        ScrollBar2->setValue(position.y());
    }
    if (scrollPosition() != before)
        ShowView();
}

QSize ViewPane::room() const {
    return Image1->maximumSize();
}

void ViewPane::setPictureTip(const QString& tip) {
    Image1->setToolTip(tip);
}

// ---- Wheel and panning ----

bool ViewPane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel)
        return wheelOverView(static_cast<QWheelEvent&>(*event), watched == ScrollBar1);
    if (watched == Image1 && event->type() == QEvent::Resize)
        outlineLayer_->resize(Image1->size());
    if (watched == Image1 && askOrigin(*event))
        return true;
    if (watched == Image1 && panView(*event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool ViewPane::wheelOverView(const QWheelEvent& event, bool overHorizontalBar) {
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
        emit zoomAsked(Image1->rect().contains(pointer) ? pointer : centre(), notches);
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

bool ViewPane::panView(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress: {
        const auto& press = static_cast<const QMouseEvent&>(event);
        if (press.button() != Qt::LeftButton)
            return false;
        panFrom_ = press.globalPosition().toPoint();
        panStart_ = scrollPosition();
        panning_ = true;
        Image1->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        if (!panning_)
            return false;
        const QPoint moved =
            static_cast<const QMouseEvent&>(event).globalPosition().toPoint() - panFrom_;
        const QPoint kept = scrollPosition();
        scrollTo({ScrollBar1->isVisible() ? panStart_.x() - moved.x() : kept.x(),
                  ScrollBar2->isVisible() ? panStart_.y() - moved.y() : kept.y()});
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

// ---- Where a pixel comes from ----

QPoint ViewPane::mosaicPointAt(QPoint pointInPicture) const {
    const std::int64_t factor = std::max<std::int32_t>(1, view_.factor());
    const QPoint scroll = scrollPosition(Shown::Only);
    const auto along = [factor](int picture, int scrolled) {
        return static_cast<int>((std::int64_t{picture} + scrolled) * factor + factor / 2);
    };
    return {along(pointInPicture.x(), scroll.x()), along(pointInPicture.y(), scroll.y())};
}

bool ViewPane::askOrigin(const QEvent& event) {
    const bool move = event.type() == QEvent::MouseMove;
    if ((!move && event.type() != QEvent::MouseButtonPress) || panning_)
        return false;
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    if (!mouse.modifiers().testFlag(Qt::ShiftModifier) ||
        (!move && mouse.button() != Qt::LeftButton))
        return false;
    const QPoint at = mouse.position().toPoint();
    if (at.x() < 0 || at.y() < 0 || at.x() >= std::min(view_.side(), Image1->width()) ||
        at.y() >= std::min(view_.side(), Image1->height()))
        return false;
    emit originAsked(mosaicPointAt(at), mouse.globalPosition().toPoint(),
                     move ? Pointing::Hover : Pointing::Click);
    return true;
}

void ViewPane::showOriginTip(const QString& text, QPoint globalPosition) {
    QToolTip::showText(globalPosition, text, Image1);
}

void ViewPane::setOutline(std::vector<ornamo::MosaicRect> rects) {
    outline_ = std::move(rects);
    outlineLayer_->update();
}

void ViewPane::paintOutline(QPainter& painter, const QRect& visible) const {
    if (outline_.empty() || visible.isEmpty())
        return;
    const std::int64_t factor = std::max<std::int32_t>(1, view_.factor());
    const QPoint scroll = scrollPosition(Shown::Only);
    // The lines go straight into a buffer of the visible part, a row pointer at a time: tens
    // of thousands of small outlines cost what their pixels cost, which QPainter's rectangle
    // strokes do not (about 1.5 microseconds a rectangle).
    // The buffer is kept between paints: new memory costs more than clearing it.
    if (lines_.size() != visible.size())
        lines_ = QImage(visible.size(), QImage::Format_ARGB32_Premultiplied);
    QImage& lines = lines_;
    lines.fill(Qt::transparent);
    const int width = lines.width(), height = lines.height();
    auto* const bits = reinterpret_cast<QRgb*>(lines.bits());
    const qsizetype stride = lines.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    const auto across = [&](int x0, int x1, int y, QRgb colour) {
        if (y >= 0 && y < height && x0 < width && x1 > 0)
            std::fill(bits + y * stride + std::max(x0, 0), bits + y * stride + std::min(x1, width),
                      colour);
    };
    const auto down = [&](int x, int y0, int y1, QRgb colour) {
        if (x >= 0 && x < width)
            for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
                bits[y * stride + x] = colour;
    };
    const QRgb dark = qRgb(0, 0, 0), light = qRgb(255, 220, 0);
    const auto clamp = [](std::int64_t v, int limit) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -2, std::int64_t{limit} + 2));
    };
    for (const ornamo::MosaicRect& r : outline_) {
        if (r.isEmpty())
            continue;
        // The view pixels the rectangle's mosaic pixels fall in, relative to the buffer.
        const std::int64_t x0 = floorDivide(r.left, factor) - scroll.x() - visible.left();
        const std::int64_t y0 = floorDivide(r.top, factor) - scroll.y() - visible.top();
        const std::int64_t x1 = floorDivide(r.right - 1, factor) + 1 - scroll.x() - visible.left();
        const std::int64_t y1 = floorDivide(r.bottom - 1, factor) + 1 - scroll.y() - visible.top();
        if (x1 <= 0 || y1 <= 0 || x0 >= width || y0 >= height)
            continue;
        const int l = clamp(x0, width), t = clamp(y0, height);
        const int rr = clamp(x1, width), b = clamp(y1, height);
        // A dark line on the copy's edge and a light one inside it: seen on any tile.
        across(l, rr, t, dark);
        across(l, rr, b - 1, dark);
        down(l, t, b, dark);
        down(rr - 1, t, b, dark);
        if (rr - l > 2 && b - t > 2) {
            across(l + 1, rr - 1, t + 1, light);
            across(l + 1, rr - 1, b - 2, light);
            down(l + 1, t + 1, b - 1, light);
            down(rr - 2, t + 1, b - 1, light);
        }
    }
    painter.drawImage(visible.topLeft(), lines);
}
