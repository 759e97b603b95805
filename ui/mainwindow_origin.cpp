// The main window: where a pixel of the mosaic comes from, asked with Shift over the picture.
// Shift, because Ctrl with the wheel zooms and Ctrl with letters runs items, Alt opens the menu
// and, with a click, moves the window under many window managers; Shift over the picture only
// turns the wheel across, which it still does.

#include "mainwindow.h"

#include "messages.h"
#include "names.h"
#include "provenance.h"
#include "viewpane.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdint>

namespace {

ornamo::Provenance provenanceOf(const ornamo::Work& work) {
    std::vector<const ornamo::Mosaic*> patterns;
    for (const ornamo::StackEntry& entry : work.model().stack())
        patterns.push_back(&entry.pattern());
    return ornamo::Provenance(work.model().mosaic().tileSize, patterns);
}

} // namespace

void MainWindow::explainPoint(QPoint point, QPoint globalPosition, bool clicked) {
    const ornamo::Provenance provenance = provenanceOf(work_);
    if (point.x() >= provenance.extent() || point.y() >= provenance.extent())
        return; // the picture still shows the tile alone, before the first render
    const ornamo::PointOrigin origin = provenance.explain(point.x(), point.y());
    std::vector<std::string> names;
    for (const ornamo::StackEntry& entry : work_.model().stack())
        names.push_back(ornamo::displayName(entry.name()).toStdString());
    viewPane_->showOriginTip(ornamo::fromUtf8(ornamo::messages::pointOriginText(origin, names)),
                             globalPosition);
    if (!clicked)
        return;
    if (!origin.covered || names.empty() || heldOff()) {
        viewPane_->clearOutline();
        return;
    }
    // A click inside the outline shown goes one entry older; any other starts at the newest.
    const bool inside =
        outlinedStack_ == stackIdentity() &&
        std::any_of(viewPane_->outline().begin(), viewPane_->outline().end(),
                    [&](const ornamo::MosaicRect& r) { return r.contains(point.x(), point.y()); });
    const std::size_t entry = inside && outlinedEntry_ > 0 ? outlinedEntry_ - 1 : names.size() - 1;
    const int position = static_cast<int>(names.size() - 1 - entry); // 0 = the newest
    {
        const QSignalBlocker blocker(ComboBox1);
        ComboBox1->setCurrentIndex(position);
    }
    ComboBox1Change();
    outlinedStack_ = stackIdentity();
    outlinedEntry_ = entry;
    viewPane_->setOutline(provenance.copies(entry, origin.chain[entry].part));
}
