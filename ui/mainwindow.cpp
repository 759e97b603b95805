// The main window's lowest floor: running changes on the work in a busy scope and mapping what
// comes of them onto the window's widgets: the busy indicator, the stack list, the command
// buttons and their tips, the menu's enabling, the title (after the work session's
// announcements) and the view pane. Nothing here calls into the window's other files.

#include "mainwindow.h"

#include "dialog.h"
#include "messages.h"
#include "names.h"
#include "picturefile.h"
#include "ruletips.h"
#include "viewpane.h"
#include "workshop.h"
#include "zoom.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <new>

namespace {

// A button caption shows '&' as itself, not as a mnemonic mark.
QString buttonCaption(const std::string& name) {
    return ornamo::displayName(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

// ---- Running a change ----

void MainWindow::DrawTile(DrawMode mode) {
    // Renders and reductions are made by the work, on each change that needs them.
    if (mode == DrawMode::Show)
        ShowView();
}

MainWindow::BusyScope::BusyScope(MainWindow& window, ornamo::Progress& shown,
                                 std::optional<ornamo::Caption> caption)
    : window_(window), shown_(shown) {
    window_.busy_ = true;
    window_.updateActions();
    if (caption)
        shown_.StartProcessBar(*caption);
}

void MainWindow::BusyScope::end() {
    if (ended_)
        return;
    ended_ = true;
    // The progress goes even when the operation ended early.
    shown_.EndProcessBar();
    window_.busy_ = false;
    window_.updateActions();
}

MainWindow::BusyScope::~BusyScope() {
    end();
    if (window_.closePending_) {
        window_.closePending_ = false;
        QTimer::singleShot(0, &window_, &QWidget::close);
    }
}

bool MainWindow::runOnWork(const Change& change, const ScrollAfter& scrollAfter) {
    if (busy_)
        return false;
    BusyScope busy(*this, *this);
    // The new view is made beside the old one, so that the window can go on showing, scrolling
    // and resizing the old view while the work processes pending input.
    const ornamo::Outcome outcome = session_.change([&](ornamo::Work&) { return change(this); });
    busy.end();
    finish(outcome, scrollAfter ? scrollAfter() : std::nullopt);
    return true;
}

void MainWindow::changeWork(WorkStep step) {
    if (!heldOff())
        runOnWork(
            [&work = work_, step](ornamo::Progress* progress) { return (work.*step)(progress); });
}

bool MainWindow::heldOff() const {
    return busy_ || !startedUp_;
}

void MainWindow::ShowView(std::optional<QPoint> position) {
    viewPane_->ShowView(position);
}

void MainWindow::zoomAbout(QPoint anchor, const Change& zoom) {
    const QPoint scrolled = viewPane_->scrollPosition(ViewPane::Shown::Only);
    const ornamo::ViewScale before{work_.view().factor(), viewPane_->magnification()};
    runOnWork(zoom, [=, this] { return scrollKeeping(anchor, scrolled, before); });
}

void MainWindow::magnifyAbout(QPoint anchor, int magnification, ViewPane::Drawing drawing) {
    const QPoint scrolled = viewPane_->scrollPosition(ViewPane::Shown::Only);
    const ornamo::ViewScale before{work_.view().factor(), viewPane_->magnification()};
    if (magnification == before.magnification)
        return;
    viewPane_->setMagnification(magnification);
    updatePictureTip();
    viewPane_->ShowView(scrollKeeping(anchor, scrolled, before), drawing);
}

QPoint MainWindow::scrollKeeping(QPoint anchor, QPoint scrolled, ornamo::ViewScale before) const {
    const ornamo::ViewScale after{work_.view().factor(), viewPane_->magnification()};
    const auto kept = [&](int scroll, int at) {
        return static_cast<int>(std::min<std::int64_t>(
            ornamo::anchoredScroll(scroll, at, before, after), std::numeric_limits<int>::max()));
    };
    return {kept(scrolled.x(), anchor.x()), kept(scrolled.y(), anchor.y())};
}

void MainWindow::unmagnify() {
    if (viewPane_->magnification() == 1)
        return;
    viewPane_->setMagnification(1);
    updatePictureTip();
}

void MainWindow::updatePictureTip() {
    const ornamo::Mosaic& mosaic = work_.model().mosaic();
    const std::size_t count = mosaic.placements.size();
    const char* noun =
        count == 1 ? "dlaždica" : (count >= 2 && count <= 4 ? "dlaždice" : "dlaždíc");
    viewPane_->setPictureTip(QStringLiteral("Mozaika %1 × %1 px, %2 %3, mierka %4")
                                 .arg(mosaic.extent())
                                 .arg(count)
                                 .arg(QString::fromUtf8(noun))
                                 .arg(viewPane_->magnification() > 1
                                          ? QStringLiteral("%1:1").arg(viewPane_->magnification())
                                          : QStringLiteral("1:%1").arg(
                                                std::max<std::int32_t>(1, work_.view().factor()))));
}

// ---- The busy indicator ----

void MainWindow::StartProcessBar(ornamo::Caption caption) {
    const std::string_view shown = ornamo::messages::text(caption);
    Label2->setText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
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

// ---- The command slots and the stack list ----

std::shared_ptr<const ornamo::Rules>
MainWindow::LoadCommands(const QString& path, const QString& fileName, QWidget* over) {
    ornamo::HierarchyResult result;
    auto rules =
        ornamo::loadRulesFile(ornamo::fileSystemPath(path), fileName.toStdString(), result);
    if (result.failure != ornamo::HierarchyFailure::None)
        showMessage(ornamo::messages::text(result.failure, fileName.toStdString()), over);
    return rules;
}

void MainWindow::labelCommandButtons() {
    const ornamo::CommandSlots& loaded = work_.rules().commands;
    const int count = work_.rules().count;
    for (int i = 0; i < ornamo::commandSlotCount; ++i) {
        QPushButton* button = com[static_cast<std::size_t>(i)];
        if (i < count) {
            button->setText(buttonCaption(loaded[static_cast<std::size_t>(i)].name));
            button->setEnabled(true);
        } else {
            button->setText(ornamo::fromUtf8(ornamo::emptySlotName));
            button->setEnabled(false);
        }
    }
    updateRuleTips();
}

void MainWindow::updateRuleTips() {
    const ornamo::CommandSlots& loaded = work_.model().commands();
    const ornamo::Color gap = work_.model().mosaic().gapColor;
    tippedRules_ = &work_.rules();
    tippedGap_ = gap;
    tippedTiles_ = work_.model().mosaic().tiles;
    // The user's tile, as the rules would place it.
    const ornamo::Bitmap& tile = work_.baseTile();
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        // A disabled button ("--") has nothing to show.
        ruleTips_[i] = com[i]->isEnabled()
                           ? ruleToolTip(loaded[i].name, loaded[i].pattern, tile, gap)
                           : QString();
        com[i]->setToolTip(ruleTips_[i]);
    }
    tipStackEntries();
}

void MainWindow::tipStackEntries() {
    // The list shows the stack newest first; an entry made from the command now in its slot
    // shares the slot's tip.
    const auto& stack = work_.model().stack();
    const ornamo::CommandSlots& loaded = work_.model().commands();
    const int count = std::min(ComboBox1->count(), static_cast<int>(stack.size()));
    for (int i = 0; i < count; ++i) {
        const ornamo::StackEntry& entry = stack[stack.size() - 1 - static_cast<std::size_t>(i)];
        const std::size_t slot = entry.command - 1u;
        const bool asSlot = slot < loaded.size() && &loaded[slot] == entry.rule.get();
        ComboBox1->setItemData(i,
                               asSlot ? ruleTips_[slot]
                                      : ruleToolTip(entry.name(), entry.pattern(), work_.baseTile(),
                                                    work_.model().mosaic().gapColor),
                               Qt::ToolTipRole);
    }
}

void MainWindow::showStackList() {
    const QSignalBlocker blocker(ComboBox1);
    QStringList names;
    for (const std::string& entry : work_.model().listEntries())
        names << ornamo::displayName(entry);
    QStringList shown;
    for (int i = 0; i < ComboBox1->count(); ++i)
        shown << ComboBox1->itemText(i);
    // Rebuilt only when it changed, so that a choice in progress is not disturbed.
    if (shown != names) {
        ComboBox1->clear();
        ComboBox1->addItems(names);
        tipStackEntries();
    }
    const int current =
        names.isEmpty() ? -1 : std::clamp(work_.model().selectedIndex(), 0, int(names.size()) - 1);
    if (ComboBox1->currentIndex() != current)
        ComboBox1->setCurrentIndex(current);
    const QString edit = ornamo::displayName(work_.model().editText());
    if (ComboBox1->currentText() != edit)
        ComboBox1->setEditText(edit);
    ComboBox1->setEnabled(work_.model().listEnabled());
}

void MainWindow::finish(const ornamo::Outcome& outcome, std::optional<QPoint> scroll) {
    // Magnified is only ever the full-size view.
    if (work_.view().factor() > 1)
        viewPane_->setMagnification(1);
    showStackList();
    // Undo and redo may bring back other rules or another gap colour.
    if (tippedRules_ != &work_.rules() || tippedGap_ != work_.model().mosaic().gapColor ||
        tippedTiles_.lock() != work_.model().mosaic().tiles)
        labelCommandButtons();
    noScaleSwitch_->setChecked(work_.noScale());
    updateActions();
    updatePictureTip();
    if (!viewPane_->outline().empty() && outlinedStack_ != stackIdentity())
        viewPane_->clearOutline(); // the mosaic it outlined is gone
    if (outcome.refusal != ornamo::Refusal::None)
        showMessage(ornamo::messages::text(outcome.refusal));
    // Drawn once, at the scroll position the change leaves.
    if (outcome.render || viewPane_->magnificationChanged())
        ShowView(scroll);
    else if (scroll)
        viewPane_->scrollTo(*scroll);
    if (workshop_)
        workshop_->workChanged();
}

std::vector<const void*> MainWindow::stackIdentity() const {
    std::vector<const void*> identity;
    for (const ornamo::StackEntry& entry : work_.model().stack())
        identity.push_back(entry.rule.get());
    identity.push_back(reinterpret_cast<const void*>(
        static_cast<std::uintptr_t>(work_.model().mosaic().tileSize)));
    return identity;
}

// ---- The menu, the title, messages ----

void MainWindow::updateActions() {
    // While a render runs, the menu items that would change the mosaic, the images or the
    // factor are greyed out; the buttons, the list and the keys stay as they are (so that the
    // focus does not jump) and their handlers ignore the input instead.
    const bool idle = !busy_;
    for (const auto& [action, enabling] : actions_)
        switch (enabling) {
        case Enabling::Always:
            break;
        case Enabling::WhenIdle:
            action->setEnabled(idle);
            break;
        case Enabling::WhenUndoable:
            action->setEnabled(idle && work_.canUndo());
            break;
        case Enabling::WhenRedoable:
            action->setEnabled(idle && work_.canRedo());
            break;
        }
}

void MainWindow::updateTitle() {
    // "Ornamo" until the work has a file; then its name, with the mark while it differs from it.
    if (session_.fileName().isEmpty()) {
        setWindowTitle(QStringLiteral("Ornamo"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(QFileInfo(session_.fileName()).fileName() + QStringLiteral("[*]") +
                   ornamo::fromUtf8(ornamo::messages::workTitleSuffix));
    setWindowModified(session_.isModified());
}

void MainWindow::showMessage(std::string_view message, QWidget* over) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ornamo"), ornamo::fromUtf8(message),
                    QMessageBox::Ok, over ? over : this);
    box.setObjectName(QStringLiteral("message"));
    box.exec();
}

CropDialog& MainWindow::cropDialog() {
    if (!TForm2)
        TForm2 = new CropDialog(this);
    return *TForm2;
}

void MainWindow::cropWithDialog(ornamo::Bitmap& tile) {
    CropDialog& dialog = cropDialog();
    dialog.setTileShape(tile);
    dialog.exec();
    ornamo::cropToSquare(tile, dialog.choice());
}

// ---- Saving a picture ----

bool MainWindow::savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                                 ornamo::ImageFileFormat format, ornamo::Progress* progress) {
    ornamo::Progress& shown = progress ? *progress : *this;
    const BusyScope busy(*this, shown, ornamo::Caption::Saving);
    return ornamo::savePicture(name, picture, format, &shown);
}
