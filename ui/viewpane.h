#pragma once

// The main window's view pane: the picture Image1 and its two scroll bars, the showing step,
// the wheel, panning and the pane's share of resizing.

#include "mosaicview.h"
#include "provenance.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <optional>
#include <vector>

class ImageView;
class QPainter;
class QScrollBar;
class QWheelEvent;

/// Where the pane's controls stand in the window's client area, and how they follow the
/// window's outer size (frame, caption and menu included). The scroll bars are anchored to the
/// window's right and bottom edges: they keep the lengths they have at `windowOuterSize` less
/// the window's growth.
struct ViewPaneLayout {
    QSize windowOuterSize;
    QPoint picture;      // its corner; it starts at the surface's size and the showing step
                         // sizes it to the view
    QRect horizontalBar; // below the picture as laid out
    QRect verticalBar;   // right of the picture as laid out
    QSize pictureMargin; // the picture reaches at most the window's outer size less this
};

inline constexpr ViewPaneLayout viewPaneLayout{
    {525, 460}, {112, 8}, {112, 393, 371, 17}, {497, 8, 16, 371}, {140, 75}};

/// Shows a MosaicView in Image1 at the scroll bars' positions. Scrolling and resizing only
/// copy from the view; zooming is the window's, asked for by zoomAsked().
class ViewPane : public QWidget {
    Q_OBJECT
public:
    /// `view` is the picture shown; it must outlive the pane.
    ViewPane(const ornamo::MosaicView& view, QWidget* client);

    /// Whether a showing step draws at once, or leaves the drawing to the next one (a change
    /// made of two steps draws once, at its end).
    enum class Drawing : bool { Now, Later };
    /// Sizes the picture to the view (at most the room the window leaves it), shows the scroll
    /// bars it needs, puts them at `position` when one is given (each within its range) and
    /// draws the shown part, once. Emits outOfMemory() when the view could not compute it.
    void ShowView(std::optional<QPoint> position = std::nullopt, Drawing drawing = Drawing::Now);
    /// Follows the window's new outer size, then shows the view again.
    void fitWindow(QSize windowOuterSize);
    void ScrollBar1Change();
    void ScrollBar2Change();

    /// The centre of the shown part of the view, in Image1.
    QPoint centre() const;
    /// The scroll bars' positions; a hidden bar counts 0 when `Shown::Only`.
    enum class Shown : bool { Any, Only };
    QPoint scrollPosition(Shown which = Shown::Any) const;
    /// Puts both scroll bars at `position` (each within its range) and draws the shown part
    /// once, when either moved.
    void scrollTo(QPoint position);
    /// The largest size the picture may take in the window's present size.
    QSize room() const;
    void setPictureTip(const QString& tip);
    /// Each view pixel shown as a block of this side (1 = full size); takes effect at the next
    /// ShowView().
    void setMagnification(int magnification) { magnification_ = magnification; }
    int magnification() const { return magnification_; }
    /// Whether the picture was last drawn at another magnification than the one set.
    bool magnificationChanged() const { return magnification_ != drawnMagnification_; }

    /// What the pointer did over the picture while Shift was held.
    enum class Pointing : bool { Hover, Click };
    /// The full-size mosaic point that the view pixel under `pointInPicture` (a point of Image1)
    /// stands for: the middle of its block at the view's factor.
    QPoint mosaicPointAt(QPoint pointInPicture) const;
    /// Shows where a pixel comes from in the picture's tip at `globalPosition`, at once.
    void showOriginTip(const QString& text, QPoint globalPosition);
    /// Outlines these rectangles of the full-size mosaic on the picture, at every factor and
    /// scroll position, until clearOutline(); empty clears.
    void setOutline(std::vector<ornamo::MosaicRect> rects);
    void clearOutline() { setOutline({}); }
    const std::vector<ornamo::MosaicRect>& outline() const { return outline_; }
    /// Draws the outline as the picture shows it (the view's factor, the scroll positions),
    /// only the rectangles that reach the picture's `visible` part.
    void paintOutline(QPainter& painter, const QRect& visible) const;

    ImageView* picture() const { return Image1; }
    QScrollBar* horizontalBar() const { return ScrollBar1; }
    QScrollBar* verticalBar() const { return ScrollBar2; }

signals:
    /// Ctrl and the wheel: zoom `notches` steps in (positive) or out about `anchor`, a point
    /// of Image1.
    void zoomAsked(QPoint anchor, int notches);
    void outOfMemory();
    /// The shown part of the view was drawn onto the picture (once per ShowView()).
    void drawn();
    /// Shift is held over the picture: the pointer moved over, or clicked, the full-size mosaic
    /// point `point` (mosaicPointAt()); `globalPosition` is the pointer on the screen.
    void originAsked(QPoint point, QPoint globalPosition, ViewPane::Pointing pointing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The wheel scrolls an eighth of the shown side a notch (across with Shift or over the
    /// horizontal bar); with Ctrl it asks for a zoom.
    bool wheelOverView(const QWheelEvent& event, bool overHorizontalBar);
    /// Dragging the picture with the left button pans it. True when the event was its own.
    bool panView(const QEvent& event);
    /// Shift with a move or a left click over the picture asks where the pixel comes from.
    /// True when the event was its own.
    bool askOrigin(const QEvent& event);

    const ornamo::MosaicView& view_;
    ImageView* Image1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QScrollBar* ScrollBar2 = nullptr;
    bool showingView_ = false;
    int magnification_ = 1;
    int drawnMagnification_ = 1;
    int wheelRest_ = 0; // wheel movement short of a whole notch
    bool panning_ = false;
    QPoint panFrom_;  // where the drag started, on the screen
    QPoint panStart_; // the scroll positions when it started
    std::vector<ornamo::MosaicRect> outline_;
    QWidget* outlineLayer_ = nullptr; // over Image1, paints the outline
    mutable QImage lines_;            // the outline's pixels, reused by each paint
};
