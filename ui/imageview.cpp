#include "imageview.h"

#include <QPaintEvent>
#include <QPainter>

#include "magnify.h"

#include <algorithm>
#include <cstdint>
#include <vector>

ImageView::ImageView(QWidget* parent)
    : QWidget(parent), surface_(surfaceWidth, surfaceHeight, QImage::Format_RGB888) {
    surface_.fill(Qt::white);
    // Everything the control shows comes from the surface; nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::drawView(const ornamo::MosaicView& view, int hpos, int vpos, int magnification) {
    // Only the shown part of the surface can be seen; the view's pixels go there exactly as
    // they are, or as blocks of magnification x magnification.
    const std::int64_t shownSide = std::int64_t{view.side()} * magnification;
    const int right =
        static_cast<int>(std::min<std::int64_t>({surfaceWidth, width(), shownSide - hpos}));
    const int bottom =
        static_cast<int>(std::min<std::int64_t>({surfaceHeight, height(), shownSide - vpos}));
    if (hpos < 0 || vpos < 0 || right <= 0 || bottom <= 0) {
        update();
        return;
    }
    if (magnification == 1) {
        view.read({hpos, vpos, right, bottom}, surface_.bits(), surface_.bytesPerLine());
    } else {
        // Only the view pixels under the shown part are read, then magnified onto the surface.
        const int left = hpos / magnification;
        const int top = vpos / magnification;
        const int columns = (hpos + right - 1) / magnification - left + 1;
        const int rows = (vpos + bottom - 1) / magnification - top + 1;
        const std::ptrdiff_t stride = 3 * std::ptrdiff_t{columns};
        std::vector<std::uint8_t> shown(static_cast<std::size_t>(stride) * rows);
        view.read({left, top, columns, rows}, shown.data(), stride);
        ornamo::magnifyRegion(shown.data(), stride, magnification, hpos, vpos, surface_.bits(),
                              surface_.bytesPerLine(), right, bottom);
    }
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
