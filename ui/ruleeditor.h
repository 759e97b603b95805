#pragma once

// The rule workshop's grid editor: the N x N grid of one command, each part filled with the
// base tile in its orientation and numbered in drawing order, cells no part covers hatched.
// Dragging over free cells makes a part, dragging a part moves it, dragging an edge of the
// chosen part resizes it; keys and the workshop's buttons turn, mirror, delete and reorder
// the chosen part. The edits themselves are the engine's (ruleedit.h).

#include "ornamo.h"
#include "ruleedit.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>

class RuleEditor : public QWidget {
    Q_OBJECT
public:
    explicit RuleEditor(QWidget* parent = nullptr);

    /// Shows `pattern`; the chosen part stays chosen while it exists.
    void setPattern(const ornamo::Mosaic& pattern);
    const ornamo::Mosaic& pattern() const { return pattern_; }
    /// The tile images the parts are filled with (the work's, in the eight orientations).
    void setTiles(std::shared_ptr<const ornamo::TileSet> tiles);
    /// Whether the grid takes edits (it does not while the text of the rules does not read).
    void setEditable(bool editable);
    bool isEditable() const { return editable_; }

    std::optional<std::size_t> chosenPart() const { return chosen_; }
    void choosePart(std::optional<std::size_t> part);

    void turnChosen();
    void mirrorChosen();
    void deleteChosen();
    /// Moves the chosen part `step` places later in drawing order (-1: earlier).
    void reorderChosen(int step);

    /// Where the cell at column x, row y is drawn now.
    QRect cellRect(int x, int y) const;

    QSize sizeHint() const override { return {360, 360}; }

signals:
    /// The pattern was changed by the user (each drag step counts).
    void patternEdited();
    void chosenPartChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Make, Move, Resize };
    /// The edges of the chosen part a resize drags.
    struct Edges {
        bool left = false, top = false, right = false, bottom = false;
        bool any() const { return left || top || right || bottom; }
    };

    /// The cells shown on a side: the grid and one more, or as far as a part reaches (up to
    /// twice the grid).
    int shownCells() const;
    int cellSide() const;
    QPoint cellAt(QPoint point) const;
    Edges edgesAt(QPoint point) const;
    void edited();

    ornamo::Mosaic pattern_;
    std::shared_ptr<const ornamo::TileSet> tiles_;
    std::array<QImage, 8> tileImages_;
    std::optional<std::size_t> chosen_;
    bool editable_ = true;

    Drag drag_ = Drag::None;
    QPoint dragStart_;           // the cell the drag started in
    ornamo::CellRect startRect_; // the chosen part's cells when the drag started
    Edges dragEdges_;
    int frozenCells_ = 0; // shownCells() while a drag runs, so that the grid does not jump
};
