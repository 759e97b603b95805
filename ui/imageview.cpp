#include "imageview.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

ImageView::ImageView(QWidget* parent)
    : QWidget(parent), surface_(surfaceWidth, surfaceHeight, QImage::Format_RGB888) {
    surface_.fill(Qt::white);
    // Everything the control shows comes from the surface; nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::drawView(const ornamo::MosaicView& view, int hpos, int vpos) {
    // Only the shown part of the surface can be seen; the view's pixels go there exactly as
    // they are.
    const int right = std::min({surfaceWidth, width(), view.side() - hpos});
    const int bottom = std::min({surfaceHeight, height(), view.side() - vpos});
    if (hpos >= 0 && vpos >= 0 && right > 0 && bottom > 0)
        view.read({hpos, vpos, right, bottom}, surface_.bits(), surface_.bytesPerLine());
    update();
}

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect() & surface_.rect();
    if (!dirty.isEmpty())
        painter.drawImage(dirty.topLeft(), surface_, dirty);
    // Beyond the surface the control shows no image, only the window's face.
    const QRegion outside = QRegion(event->rect()) - QRegion(surface_.rect());
    for (const QRect& r : outside)
        painter.fillRect(r, palette().color(QPalette::Window));
}
