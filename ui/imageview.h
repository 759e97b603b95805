#pragma once

// Image1: the mosaic view of the main window.

#include "mosaicview.h"

#include <QImage>
#include <QWidget>

/// Paints a fixed drawing surface of 1600 x 1200 pixels at its own top-left corner, unstretched.
/// The window sizes the control to the view; making it smaller only shows less of the surface,
/// and where the control is larger than the surface nothing is painted. Scrolling and resizing
/// repaint from the kept surface, never from the mosaic.
class ImageView : public QWidget {
    Q_OBJECT
public:
    static constexpr int surfaceWidth = 1600;
    static constexpr int surfaceHeight = 1200;

    explicit ImageView(QWidget* parent = nullptr);

    /// Draws `view`, each of its pixels a block of `magnification` x `magnification` (a
    /// magnified view is read only where it is shown), onto the surface with its top-left
    /// corner at (-hpos, -vpos), clipped to the
    /// surface and to the part of it the control shows now (the rest is drawn again whenever
    /// the control grows, since only the window's showing step sizes it), and repaints. Only
    /// the part drawn is asked of the view. Throws std::bad_alloc when the view cannot
    /// compute it.
    void drawView(const ornamo::MosaicView& view, int hpos, int vpos, int magnification = 1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage surface_;
};
