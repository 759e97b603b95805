// The main window's editing: the command slots and buttons, the command stack list and the
// menu "Mozaika", reading another hierarchy, loading a new base tile and saving the view.
// Every decision about the mosaic is the model's; the window asks, shows and renders.

#include "mainwindow.h"

#include "choice.h"
#include "dialog.h"
#include "exportdialog.h"
#include "filedialogs.h"
#include "filenames.h"
#include "imagefile.h"
#include "messages.h"
#include "names.h"
#include "picturefile.h"
#include "progresswindow.h"
#include "ruletips.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include <filesystem>
#include <new>

namespace {

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A button caption shows '&' as itself, not as a mnemonic mark.
QString buttonCaption(const std::string& name) {
    return ornamo::displayName(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

// ---- Command slots ----

void MainWindow::LoadCommands(const QString& path, const QString& fileName, QWidget* over) {
    const ornamo::HierarchyResult result =
        model_.loadHierarchy(std::filesystem::path(path.toStdU16String()));
    if (result.failure != ornamo::HierarchyFailure::None)
        showMessage(ornamo::messages::text(result.failure, fileName.toStdString()), over);
    labelCommandButtons(result.count);
}

void MainWindow::labelCommandButtons(int count) {
    const ornamo::CommandSlots& loaded = model_.commands();
    for (int i = 0; i < 12; ++i) {
        QPushButton* button = com[static_cast<std::size_t>(i)];
        if (i < count) {
            button->setText(buttonCaption(loaded[static_cast<std::size_t>(i)].name));
            button->setEnabled(true);
        } else {
            button->setText(text(ornamo::messages::emptySlotName));
            button->setEnabled(false);
        }
    }
    updateRuleTips();
}

void MainWindow::updateRuleTips() {
    const ornamo::CommandSlots& loaded = model_.commands();
    const ornamo::Color gap = model_.mosaic().gapColor;
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        // A disabled button ("--") has nothing to show.
        ruleTips_[i] = com[i]->isEnabled()
                           ? ruleToolTip(loaded[i].name, loaded[i].pattern, defaultTile_, gap)
                           : QString();
        com[i]->setToolTip(ruleTips_[i]);
    }
    tipStackEntries();
}

void MainWindow::tipStackEntries() {
    // The list shows the stack newest first; an entry made from the command now in its slot
    // shares the slot's tip.
    const auto& stack = model_.stack();
    const ornamo::CommandSlots& loaded = model_.commands();
    const int count = std::min(ComboBox1->count(), static_cast<int>(stack.size()));
    for (int i = 0; i < count; ++i) {
        const ornamo::StackEntry& entry = stack[stack.size() - 1 - static_cast<std::size_t>(i)];
        const std::size_t slot = entry.command - 1u;
        const bool asSlot = slot < loaded.size() && loaded[slot].name == entry.name &&
                            loaded[slot].pattern.placements == entry.pattern.placements &&
                            loaded[slot].pattern.scale == entry.pattern.scale;
        ComboBox1->setItemData(
            i,
            asSlot ? ruleTips_[slot]
                   : ruleToolTip(entry.name, entry.pattern, defaultTile_, model_.mosaic().gapColor),
            Qt::ToolTipRole);
    }
}

// ---- The command stack ----

void MainWindow::commandClick(int number) {
    if (heldOff())
        return;
    ApplyCommand(number);
}

void MainWindow::ApplyCommand(int number) {
    finish(model_.applyCommand(number));
}

void MainWindow::ZrusPoslednyPrikaz() {
    finish(model_.undoLast());
}

void MainWindow::Reset1Click() {
    if (heldOff())
        return;
    finish(model_.reset());
}

void MainWindow::Zruposlednoperciu1Click() {
    if (heldOff())
        return;
    ZrusPoslednyPrikaz();
}

void MainWindow::Zrusvybrany1Click() {
    if (heldOff())
        return;
    finish(model_.deleteChosen());
}

void MainWindow::Zrupovybranprkaz1Click() {
    if (heldOff())
        return;
    finish(model_.deleteUpToChosen());
}

void MainWindow::Zameprkaz1Click() {
    if (heldOff() || model_.stack().empty())
        return;
    const int rule = chooseRule();
    finish(model_.replaceChosen(rule));
}

void MainWindow::Vloprkaz1Click() {
    if (heldOff() || model_.stack().empty())
        return;
    const int rule = chooseRule();
    finish(model_.insertBeforeChosen(rule));
}

int MainWindow::chooseRule() {
    QStringList names;
    for (const ornamo::Command& command : model_.commands())
        names << ornamo::displayName(command.name);
    return TForm3 ? TForm3->choose(names) : 13;
}

void MainWindow::ComboBox1Change() {
    if (heldOff()) {
        // The list holds a state of its own: put back what the model has, so that a choice
        // made during a render is dropped as a click on a button would be.
        if (startedUp_)
            showStackList();
        return;
    }
    // Entries are compared as the user sees them; the model gets the entry's own bytes.
    const QString typed = ComboBox1->currentText();
    std::string typedBytes = typed.toStdString();
    for (const std::string& entry : model_.listEntries())
        if (ornamo::displayName(entry) == typed) {
            typedBytes = entry;
            break;
        }
    finish(model_.choose(typedBytes, ComboBox1->currentIndex()));
}

void MainWindow::showStackList() {
    const QSignalBlocker blocker(ComboBox1);
    QStringList names;
    for (const std::string& entry : model_.listEntries())
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
        names.isEmpty() ? -1 : std::clamp(model_.selectedIndex(), 0, int(names.size()) - 1);
    if (ComboBox1->currentIndex() != current)
        ComboBox1->setCurrentIndex(current);
    const QString edit = ornamo::displayName(model_.editText());
    if (ComboBox1->currentText() != edit)
        ComboBox1->setEditText(edit);
    ComboBox1->setEnabled(model_.listEnabled());
}

void MainWindow::finish(const ornamo::Outcome& outcome) {
    showStackList();
    if (outcome.refusal != ornamo::Refusal::None)
        showMessage(ornamo::messages::text(outcome.refusal));
    if (outcome.render)
        DrawTile(DrawMode::Render);
}

// ---- Another hierarchy ----

bool MainWindow::hierarchyMayReplaceMosaic() {
    if (model_.stack().empty())
        return true;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Ornamo"),
                         text(ornamo::messages::loadHierarchyQuestion),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("question"));
    return question.exec() == QMessageBox::Yes;
}

void MainWindow::Natajhierarchiu1Click() {
    if (heldOff() || !hierarchyMayReplaceMosaic())
        return;
    if (!OpenDialog2) {
        OpenDialog2 = new ConfirmingFileDialog(this, QStringLiteral("Súbory HRH (*.hrh)"),
                                               QFileDialog::AcceptOpen);
        OpenDialog2->setObjectName(QStringLiteral("OpenDialog2"));
        OpenDialog2->setConfirmHandler([this](const QString& path) { OpenDialog2CanClose(path); });
    }
    OpenDialog2->run();
    // A new mosaic starts whether or not a file was read.
    finish(model_.resetAfterHierarchyLoad());
}

void MainWindow::OpenDialog2CanClose(const QString& path) {
    LoadCommands(path, path, OpenDialog2);
}

void MainWindow::openHierarchyFile(const QString& path) {
    if (heldOff() || !hierarchyMayReplaceMosaic())
        return;
    LoadCommands(path, path);
    finish(model_.resetAfterHierarchyLoad());
}

// ---- A new base tile ----

void MainWindow::OpenImage1Click() {
    if (heldOff())
        return;
    if (!OpenDialog1) {
        OpenDialog1 = new ConfirmingFileDialog(
            this, QStringLiteral("BMP Files (*.bmp);;All files (*)"), QFileDialog::AcceptOpen);
        OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
        OpenDialog1->setConfirmHandler([this](const QString& path) { OpenDialog1CanClose(path); });
    }
    openedTile_.reset();
    OpenDialog1->run();
    OpenDialog1Close();
}

void MainWindow::openTileFile(const QString& path) {
    if (heldOff())
        return;
    openedTile_.reset();
    OpenDialog1CanClose(path);
    OpenDialog1Close();
}

void MainWindow::OpenDialog1CanClose(const QString& path) {
    openedTile_ = ornamo::loadBitmapFile(path);
    if (!openedTile_)
        showMessage(ornamo::messages::tileLoadFailed(path.toStdString()), OpenDialog1);
}

void MainWindow::OpenDialog1Close() {
    // After Cancel, or a file that did not load, the present tile goes through the same steps.
    ornamo::Bitmap tile;
    try {
        if (openedTile_)
            tile = std::move(*openedTile_);
        else if (model_.mosaic().tiles)
            tile = (*model_.mosaic().tiles)[0];
        openedTile_.reset();
        if (tile.width() != tile.height())
            cropWithDialog(tile);
    } catch (const std::bad_alloc&) {
        openedTile_.reset();
        showMessage(ornamo::messages::notEnoughMemory);
        return;
    }
    const ornamo::Outcome outcome = model_.changeBaseTile(tile);
    if (outcome.refusal != ornamo::Refusal::None)
        showMessage(ornamo::messages::text(outcome.refusal));
    DrawTile(DrawMode::Render);
}

// ---- Files given on the command line or dropped on the window ----

namespace {

bool isHierarchyName(const QString& path) {
    return path.endsWith(QStringLiteral(".hrh"), Qt::CaseInsensitive);
}

// The local .bmp and .hrh files among dropped data; other files and links are not taken.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() &&
            (isHierarchyName(path) || path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)))
            files << path;
    }
    return files;
}

} // namespace

void MainWindow::openFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (isHierarchyName(path))
            openHierarchyFile(path);
        else
            openTileFile(path);
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!heldOff() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!heldOff() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (heldOff() || files.isEmpty())
        return;
    event->acceptProposedAction();
    // The files are opened once the drop has ended: the dialogs they may bring up must not
    // run inside the drag source's wait.
    QTimer::singleShot(0, this, [this, files] { openFiles(files); });
}

// ---- Saving ----

void MainWindow::UloBitmapu1Click() {
    if (heldOff())
        return;
    if (!SavePictureDialog1) {
        SavePictureDialog1 = new PictureSaveDialog(this);
        SavePictureDialog1->setConfirmHandler(
            [this](const QString& path) { SavePictureDialog1CanClose(path); });
    }
    SavePictureDialog1->run();
}

void MainWindow::SavePictureDialog1CanClose(const QString& path) {
    // The dialog stays on screen while a long save runs: a second confirmation starts nothing.
    if (busy_)
        return;
    const std::string name = ornamo::withBmpExtension(path.toStdString());
    if (!savePictureFile(view_.picture(), QString::fromStdString(name),
                         ornamo::ImageFileFormat::Bmp))
        showMessage(ornamo::messages::saveFailed(name), SavePictureDialog1);
}

void MainWindow::Exportujobrazok1Click() {
    if (heldOff())
        return;
    if (!ExportDialog1)
        ExportDialog1 = new ExportDialog(this);
    // The dialog closes on the name; the export then runs under its own progress window.
    if (ExportDialog1->run())
        ExportDialog1CanClose(ExportDialog1->chosenName());
}

void MainWindow::ExportDialog1CanClose(const QString& name) {
    if (busy_)
        return;
    // The full-size mosaic is computed band by band as it is written, like a view too large to
    // keep; nothing of it is held.
    ornamo::MosaicView fullSize(ornamo::ViewLimits{0, 0});
    if (ExportDialog1->fullSize() && !fullSize.render(view_.mosaic(), 1, true)) {
        showMessage(ornamo::messages::notEnoughMemory, this);
        return;
    }
    const ornamo::MosaicView& picture = ExportDialog1->fullSize() ? fullSize : view_;
    const ornamo::ImageFileFormat format = ExportDialog1->format(name);
    if (format == ornamo::ImageFileFormat::Bmp &&
        !ornamo::bmpFits(picture.side(), picture.side())) {
        showMessage(ornamo::messages::tooLargeForBmp, this);
        return;
    }
    if (!ExportProgress1)
        ExportProgress1 = new ProgressWindow(this);
    // A cancelled export leaves the old file as it was, and needs no message.
    if (!savePictureFile(picture.picture(), name, format, *ExportProgress1) &&
        !ExportProgress1->cancelled())
        showMessage(ornamo::messages::saveFailed(name.toStdString()), this);
}

bool MainWindow::savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                                 ornamo::ImageFileFormat format) {
    return savePictureFile(picture, name, format, *this);
}

bool MainWindow::savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                                 ornamo::ImageFileFormat format, ornamo::Progress& progress) {
    busy_ = true;
    updateActions();
    progress.StartProcessBar(ornamo::Caption::Saving);
    const bool saved = ornamo::savePicture(name, picture, format, &progress);
    progress.EndProcessBar();
    busy_ = false;
    updateActions();
    return saved;
}
