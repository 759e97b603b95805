#include "ruleeditor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int margin = 4;
constexpr int edgeGrip = 5; // pixels from an edge of the chosen part that grab the edge

QColor qColor(ornamo::Color color) {
    return QColor(static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>(color & 0xFF));
}

// Division rounding towards minus infinity, so that points left of the grid give column -1.
int floorDiv(int value, int divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

} // namespace

RuleEditor::RuleEditor(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ruleEditor"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(160, 160);
    pattern_.scale = 2;
}

void RuleEditor::setPattern(const ornamo::Mosaic& pattern) {
    pattern_.scale = pattern.scale;
    pattern_.placements = pattern.placements;
    if (chosen_ && *chosen_ >= pattern_.placements.size())
        chosen_.reset();
    update();
}

void RuleEditor::setTiles(std::shared_ptr<const ornamo::TileSet> tiles) {
    if (tiles == tiles_)
        return;
    tiles_ = std::move(tiles);
    for (std::size_t i = 0; i < tileImages_.size(); ++i) {
        tileImages_[i] = QImage();
        if (!tiles_)
            continue;
        const ornamo::Bitmap image = tiles_->image(static_cast<unsigned>(i));
        // Kept small: a cell is never drawn larger than the widget.
        tileImages_[i] = QImage(image.bits(), image.width(), image.height(),
                                static_cast<qsizetype>(image.stride()), QImage::Format_RGB888)
                             .scaled(std::min(image.width(), 256), std::min(image.height(), 256))
                             .copy();
    }
    update();
}

void RuleEditor::setEditable(bool editable) {
    editable_ = editable;
    drag_ = Drag::None;
    update();
}

void RuleEditor::choosePart(std::optional<std::size_t> part) {
    if (part && *part >= pattern_.placements.size())
        part.reset();
    if (part == chosen_)
        return;
    chosen_ = part;
    update();
    emit chosenPartChanged();
}

void RuleEditor::turnChosen() {
    if (!editable_ || !chosen_)
        return;
    ornamo::turnPart(pattern_, *chosen_);
    edited();
}

void RuleEditor::mirrorChosen() {
    if (!editable_ || !chosen_)
        return;
    ornamo::mirrorPart(pattern_, *chosen_);
    edited();
}

void RuleEditor::deleteChosen() {
    if (!editable_ || !chosen_)
        return;
    ornamo::deletePart(pattern_, *chosen_);
    chosen_.reset();
    edited();
    emit chosenPartChanged();
}

void RuleEditor::reorderChosen(int step) {
    if (!editable_ || !chosen_)
        return;
    const std::size_t moved = ornamo::reorderPart(pattern_, *chosen_, step);
    if (moved == *chosen_)
        return;
    chosen_ = moved;
    edited();
}

void RuleEditor::edited() {
    update();
    emit patternEdited();
}

int RuleEditor::shownCells() const {
    if (frozenCells_ > 0)
        return frozenCells_;
    const int grid = std::max<int>(pattern_.scale, 1);
    std::int64_t reach = grid + 1;
    for (const ornamo::Placement& p : pattern_.placements)
        reach = std::max({reach, std::int64_t{p.x} + p.width, std::int64_t{p.y} + p.height});
    return static_cast<int>(std::min<std::int64_t>(reach, 2 * std::int64_t{grid} + 2));
}

int RuleEditor::cellSide() const {
    const int room = std::min(width(), height()) - 2 * margin;
    return std::max(1, room / shownCells());
}

QRect RuleEditor::cellRect(int x, int y) const {
    const int side = cellSide();
    return {margin + x * side, margin + y * side, side, side};
}

QPoint RuleEditor::cellAt(QPoint point) const {
    const int side = cellSide();
    return {floorDiv(point.x() - margin, side), floorDiv(point.y() - margin, side)};
}

RuleEditor::Edges RuleEditor::edgesAt(QPoint point) const {
    Edges edges;
    if (!chosen_)
        return edges;
    const ornamo::CellRect cells = ornamo::partCells(pattern_, *chosen_);
    const int side = cellSide();
    const QRect area(margin + cells.x * side, margin + cells.y * side, cells.width * side,
                     cells.height * side);
    if (!area.adjusted(-edgeGrip, -edgeGrip, edgeGrip, edgeGrip).contains(point))
        return edges;
    edges.left = std::abs(point.x() - area.left()) <= edgeGrip;
    edges.right = std::abs(point.x() - (area.left() + area.width())) <= edgeGrip;
    edges.top = std::abs(point.y() - area.top()) <= edgeGrip;
    edges.bottom = std::abs(point.y() - (area.top() + area.height())) <= edgeGrip;
    return edges;
}

void RuleEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int side = cellSide();
    const int shown = shownCells();
    const int grid = pattern_.scale;
    const QRect all(margin, margin, shown * side, shown * side);
    const QRect gridArea(margin, margin, grid * side, grid * side);
    painter.fillRect(all, palette().base());
    // The gaps: the grid hatched; the parts cover what they fill.
    const ornamo::Color gap = pattern_.gapColor;
    painter.fillRect(gridArea, qColor(gap));
    painter.fillRect(gridArea, QBrush(QColor(150, 150, 150), Qt::BDiagPattern));

    QFont numberFont = font();
    numberFont.setBold(true);
    numberFont.setPixelSize(std::clamp(side / 3, 8, 18));
    painter.setFont(numberFont);
    for (std::size_t i = 0; i < pattern_.placements.size(); ++i) {
        const ornamo::Placement& p = pattern_.placements[i];
        const QRect area(margin + p.x * side, margin + p.y * side, p.width * side, p.height * side);
        if (!area.intersects(all))
            continue;
        const auto orientation = static_cast<std::size_t>(p.orientation);
        if (orientation < tileImages_.size() && !tileImages_[orientation].isNull())
            painter.drawImage(area, tileImages_[orientation]);
        else
            painter.fillRect(area, QColor(200, 200, 220));
        painter.setPen(QPen(QColor(40, 40, 40), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        // The number in drawing order, on a white disc so that it reads on any tile.
        const QString number = QString::number(i + 1);
        const int disc = std::max(numberFont.pixelSize() + 6,
                                  painter.fontMetrics().horizontalAdvance(number) + 6);
        const QRect label(area.left() + 2, area.top() + 2, disc, disc);
        painter.setBrush(QColor(255, 255, 255, 220));
        painter.drawEllipse(label);
        painter.drawText(label, Qt::AlignCenter, number);
    }
    // The grid's lines, and its outline stronger.
    painter.setPen(QPen(QColor(128, 128, 128, 160), 1));
    for (int i = 0; i <= shown; ++i) {
        painter.drawLine(margin + i * side, margin, margin + i * side, margin + shown * side);
        painter.drawLine(margin, margin + i * side, margin + shown * side, margin + i * side);
    }
    painter.setPen(QPen(QColor(0, 0, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(gridArea);
    if (chosen_) {
        const ornamo::CellRect cells = ornamo::partCells(pattern_, *chosen_);
        painter.setPen(QPen(palette().highlight().color(), 3));
        painter.drawRect(margin + cells.x * side, margin + cells.y * side, cells.width * side,
                         cells.height * side);
    }
    if (!editable_)
        painter.fillRect(all, QColor(255, 255, 255, 110));
}

void RuleEditor::mousePressEvent(QMouseEvent* event) {
    if (!editable_ || event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const QPoint cell = cellAt(point);
    frozenCells_ = shownCells();
    dragStart_ = cell;
    if (const Edges edges = edgesAt(point); edges.any()) {
        drag_ = Drag::Resize;
        dragEdges_ = edges;
        startRect_ = ornamo::partCells(pattern_, *chosen_);
        return;
    }
    if (const auto part = ornamo::partAt(pattern_, cell.x(), cell.y())) {
        choosePart(part);
        drag_ = Drag::Move;
        startRect_ = ornamo::partCells(pattern_, *part);
        return;
    }
    if (cell.x() < 0 || cell.y() < 0)
        return;
    drag_ = Drag::Make;
    const std::size_t made =
        ornamo::addPart(pattern_, ornamo::cellsBetween(cell.x(), cell.y(), cell.x(), cell.y()));
    choosePart(made);
    edited();
}

void RuleEditor::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (drag_ == Drag::None) {
        const Edges edges = editable_ ? edgesAt(point) : Edges{};
        if ((edges.left || edges.right) && (edges.top || edges.bottom))
            setCursor((edges.left == edges.top) ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        else if (edges.left || edges.right)
            setCursor(Qt::SizeHorCursor);
        else if (edges.top || edges.bottom)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        return;
    }
    if (!chosen_)
        return;
    const QPoint cell = cellAt(point);
    const ornamo::CellRect before = ornamo::partCells(pattern_, *chosen_);
    switch (drag_) {
    case Drag::None:
        return;
    case Drag::Make:
        ornamo::resizePart(
            pattern_, *chosen_,
            ornamo::cellsBetween(dragStart_.x(), dragStart_.y(), cell.x(), cell.y()));
        break;
    case Drag::Move: {
        ornamo::resizePart(pattern_, *chosen_, startRect_);
        ornamo::movePart(pattern_, *chosen_, cell.x() - dragStart_.x(), cell.y() - dragStart_.y());
        break;
    }
    case Drag::Resize: {
        // Each dragged edge follows the cell under the pointer; the part keeps one cell.
        std::int32_t left = startRect_.x, top = startRect_.y;
        std::int32_t right = startRect_.x + startRect_.width - 1;
        std::int32_t bottom = startRect_.y + startRect_.height - 1;
        if (dragEdges_.left)
            left = std::min(std::max(cell.x(), 0), right);
        if (dragEdges_.right)
            right = std::max(cell.x(), left);
        if (dragEdges_.top)
            top = std::min(std::max(cell.y(), 0), bottom);
        if (dragEdges_.bottom)
            bottom = std::max(cell.y(), top);
        ornamo::resizePart(pattern_, *chosen_, ornamo::cellsBetween(left, top, right, bottom));
        break;
    }
    }
    if (ornamo::partCells(pattern_, *chosen_) != before)
        edited();
}

void RuleEditor::mouseReleaseEvent(QMouseEvent*) {
    drag_ = Drag::None;
    frozenCells_ = 0;
    update();
}

void RuleEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_R:
        turnChosen();
        break;
    case Qt::Key_M:
        mirrorChosen();
        break;
    case Qt::Key_Delete:
        deleteChosen();
        break;
    case Qt::Key_PageUp:
        reorderChosen(-1);
        break;
    case Qt::Key_PageDown:
        reorderChosen(1);
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}
