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
#include "workfile.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include <filesystem>
#include <new>

namespace {

// A button caption shows '&' as itself, not as a mnemonic mark.
QString buttonCaption(const std::string& name) {
    return ornamo::displayName(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

// ---- Command slots ----

std::shared_ptr<const ornamo::Rules>
MainWindow::LoadCommands(const QString& path, const QString& fileName, QWidget* over) {
    ornamo::HierarchyResult result;
    auto rules = ornamo::loadRulesFile(std::filesystem::path(path.toStdU16String()),
                                       fileName.toStdString(), result);
    if (result.failure != ornamo::HierarchyFailure::None)
        showMessage(ornamo::messages::text(result.failure, fileName.toStdString()), over);
    return rules;
}

void MainWindow::labelCommandButtons() {
    const ornamo::CommandSlots& loaded = work_.rules().commands;
    const int count = work_.rules().count;
    for (int i = 0; i < 12; ++i) {
        QPushButton* button = com[static_cast<std::size_t>(i)];
        if (i < count) {
            button->setText(buttonCaption(loaded[static_cast<std::size_t>(i)].name));
            button->setEnabled(true);
        } else {
            button->setText(ornamo::fromUtf8(ornamo::messages::emptySlotName));
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
    const auto& stack = work_.model().stack();
    const ornamo::CommandSlots& loaded = work_.model().commands();
    const int count = std::min(ComboBox1->count(), static_cast<int>(stack.size()));
    for (int i = 0; i < count; ++i) {
        const ornamo::StackEntry& entry = stack[stack.size() - 1 - static_cast<std::size_t>(i)];
        const std::size_t slot = entry.command - 1u;
        const bool asSlot = slot < loaded.size() && &loaded[slot] == entry.rule.get();
        ComboBox1->setItemData(i,
                               asSlot ? ruleTips_[slot]
                                      : ruleToolTip(entry.name(), entry.pattern(), defaultTile_,
                                                    work_.model().mosaic().gapColor),
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
    runOnWork([this, number](ornamo::Progress* progress) {
        return work_.applyCommand(number, progress);
    });
}

void MainWindow::ZrusPoslednyPrikaz() {
    runOnWork([this](ornamo::Progress* progress) { return work_.undoLast(progress); });
}

void MainWindow::Reset1Click() {
    if (heldOff())
        return;
    runOnWork([this](ornamo::Progress* progress) { return work_.reset(progress); });
}

void MainWindow::Zruposlednoperciu1Click() {
    if (heldOff())
        return;
    ZrusPoslednyPrikaz();
}

void MainWindow::Zrusvybrany1Click() {
    if (heldOff())
        return;
    runOnWork([this](ornamo::Progress* progress) { return work_.deleteChosen(progress); });
}

void MainWindow::Zrupovybranprkaz1Click() {
    if (heldOff())
        return;
    runOnWork([this](ornamo::Progress* progress) { return work_.deleteUpToChosen(progress); });
}

void MainWindow::Zameprkaz1Click() {
    if (heldOff() || work_.model().stack().empty())
        return;
    const int rule = chooseRule();
    runOnWork(
        [this, rule](ornamo::Progress* progress) { return work_.replaceChosen(rule, progress); });
}

void MainWindow::Vloprkaz1Click() {
    if (heldOff() || work_.model().stack().empty())
        return;
    const int rule = chooseRule();
    runOnWork([this, rule](ornamo::Progress* progress) {
        return work_.insertBeforeChosen(rule, progress);
    });
}

int MainWindow::chooseRule() {
    QStringList names;
    for (const ornamo::Command& command : work_.model().commands())
        names << ornamo::displayName(command.name);
    const QStringList tips(ruleTips_.begin(), ruleTips_.end());
    return TForm3 ? TForm3->choose(names, tips) : 13;
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
    for (const std::string& entry : work_.model().listEntries())
        if (ornamo::displayName(entry) == typed) {
            typedBytes = entry;
            break;
        }
    finish(work_.choose(typedBytes, ComboBox1->currentIndex()));
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

void MainWindow::finish(const ornamo::Outcome& outcome) {
    showStackList();
    // Undo and redo may bring back other rules or another gap colour.
    if (tippedRules_ != &work_.rules() || tippedGap_ != work_.model().mosaic().gapColor)
        labelCommandButtons();
    Nekluj1->setChecked(work_.noScale());
    updateActions();
    updateTitle();
    updatePictureTip();
    if (outcome.refusal != ornamo::Refusal::None)
        showMessage(ornamo::messages::text(outcome.refusal));
    if (outcome.render)
        DrawTile(DrawMode::Show);
}

// ---- Another hierarchy ----

bool MainWindow::hierarchyMayReplaceMosaic() {
    if (work_.model().stack().empty())
        return true;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Ornamo"),
                         ornamo::fromUtf8(ornamo::messages::loadHierarchyQuestion),
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
    pendingRules_.reset();
    OpenDialog2->run();
    // A new mosaic starts whether or not a file was read.
    runOnWork([this](ornamo::Progress* progress) {
        return work_.startNewMosaic(std::move(pendingRules_), progress);
    });
}

void MainWindow::OpenDialog2CanClose(const QString& path) {
    pendingRules_ = LoadCommands(path, path, OpenDialog2);
}

void MainWindow::openHierarchyFile(const QString& path) {
    if (heldOff() || !hierarchyMayReplaceMosaic())
        return;
    pendingRules_ = LoadCommands(path, path);
    runOnWork([this](ornamo::Progress* progress) {
        return work_.startNewMosaic(std::move(pendingRules_), progress);
    });
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
        else
            tile = work_.baseTile();
        openedTile_.reset();
        if (tile.width() != tile.height())
            cropWithDialog(tile);
    } catch (const std::bad_alloc&) {
        openedTile_.reset();
        showMessage(ornamo::messages::notEnoughMemory);
        return;
    }
    runOnWork(
        [this, &tile](ornamo::Progress* progress) { return work_.changeBaseTile(tile, progress); });
}

// ---- Files given on the command line or dropped on the window ----

namespace {

bool isHierarchyName(const QString& path) {
    return path.endsWith(QStringLiteral(".hrh"), Qt::CaseInsensitive);
}

bool isWorkName(const QString& path) {
    return path.endsWith(QStringLiteral(".ornamo"), Qt::CaseInsensitive);
}

// The local .bmp and .hrh files among dropped data; other files and links are not taken.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && (isHierarchyName(path) || isWorkName(path) ||
                                path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)))
            files << path;
    }
    return files;
}

} // namespace

void MainWindow::openFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (isHierarchyName(path))
            openHierarchyFile(path);
        else if (isWorkName(path))
            openWorkFile(path);
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

// ---- The edit history ----

void MainWindow::Spat1Click() {
    if (heldOff() || !work_.canUndo())
        return;
    runOnWork([this](ornamo::Progress* progress) { return work_.undo(progress); });
}

void MainWindow::Znova1Click() {
    if (heldOff() || !work_.canRedo())
        return;
    runOnWork([this](ornamo::Progress* progress) { return work_.redo(progress); });
}

// ---- Work files ----

namespace {

// Qt's own file dialog for work files, as the other file dialogs are.
void prepareWorkDialog(QFileDialog& dialog, const char* name, QFileDialog::AcceptMode mode) {
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(ornamo::fromUtf8(ornamo::messages::workFileFilter));
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave)
        dialog.setDefaultSuffix(QStringLiteral("ornamo")); // before the overwrite question
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
}

} // namespace

void MainWindow::updateTitle() {
    // "Ornamo" until the work has a file; then its name, with the mark while it differs from it.
    if (workFile_.isEmpty()) {
        setWindowTitle(QStringLiteral("Ornamo"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(QFileInfo(workFile_).fileName() + QStringLiteral("[*]") +
                   ornamo::fromUtf8(ornamo::messages::workTitleSuffix));
    setWindowModified(work_.isModified());
}

bool MainWindow::maySaveWork() {
    if (!work_.isModified())
        return true;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Ornamo"),
                         ornamo::fromUtf8(ornamo::messages::unsavedWorkQuestion),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("unsavedQuestion"));
    question.setDefaultButton(QMessageBox::Save);
    switch (question.exec()) {
    case QMessageBox::Save:
        return saveWork(false);
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

bool MainWindow::saveWork(bool askForName) {
    QString path = workFile_;
    if (askForName || path.isEmpty()) {
        QFileDialog dialog(this);
        prepareWorkDialog(dialog, "SaveWorkDialog1", QFileDialog::AcceptSave);
        if (!workFile_.isEmpty())
            dialog.selectFile(workFile_);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        path = dialog.selectedFiles().constFirst();
    }
    work_.setScroll(ScrollBar1->value(), ScrollBar2->value());
    if (!ornamo::saveWorkFile(path, work_.document())) {
        showMessage(ornamo::messages::saveFailed(path.toStdString()));
        return false;
    }
    work_.markSaved();
    workFile_ = path;
    updateTitle();
    return true;
}

void MainWindow::UlozPracu1Click() {
    if (!heldOff())
        saveWork(false);
}

void MainWindow::UlozPracuAko1Click() {
    if (!heldOff())
        saveWork(true);
}

void MainWindow::OtvorPracu1Click() {
    if (heldOff() || !maySaveWork())
        return;
    QFileDialog dialog(this);
    prepareWorkDialog(dialog, "OpenWorkDialog1", QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openWorkFile(dialog.selectedFiles().constFirst());
}

void MainWindow::openWorkFile(const QString& path) {
    if (heldOff() || !maySaveWork())
        return;
    ornamo::WorkDocument document;
    ornamo::WorkFileFailure failure = ornamo::readWorkFile(path, document);
    runOnWork([&](ornamo::Progress* progress) {
        if (failure == ornamo::WorkFileFailure::None)
            failure = work_.open(document, progress);
        return ornamo::Outcome{failure == ornamo::WorkFileFailure::None, {}};
    });
    if (failure != ornamo::WorkFileFailure::None) {
        showMessage(ornamo::messages::text(failure, path.toStdString()));
        return;
    }
    workFile_ = path;
    updateTitle();
    ScrollBar1->setValue(work_.scrollX());
    ScrollBar2->setValue(work_.scrollY());
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
    if (!savePictureFile(work_.view().picture(), QString::fromStdString(name),
                         ornamo::ImageFileFormat::Bmp))
        showMessage(ornamo::messages::saveFailed(name), SavePictureDialog1);
}

void MainWindow::Exportujobrazok1Click() {
    if (heldOff())
        return;
    if (!ExportDialog1)
        ExportDialog1 = new ExportDialog(this);
    ExportDialog1->showSizes(work_.view().mosaic().extent(), work_.view().side());
    // The dialog closes on the name; the export then runs under its own progress window.
    if (ExportDialog1->run())
        ExportDialog1CanClose(ExportDialog1->chosenName());
}

void MainWindow::ExportDialog1CanClose(const QString& name) {
    if (busy_)
        return;
    // The full-size mosaic is computed band by band as it is written, like a view too large to
    // keep; nothing of it is held.
    ornamo::MosaicView fullSize(ornamo::ViewLimits::keepNothing());
    if (ExportDialog1->fullSize() && !fullSize.render(work_.view().mosaic(), 1, true)) {
        showMessage(ornamo::messages::notEnoughMemory, this);
        return;
    }
    const ornamo::MosaicView& picture = ExportDialog1->fullSize() ? fullSize : work_.view();
    const ornamo::ImageFileFormat format = ExportDialog1->format(name);
    if (format == ornamo::ImageFileFormat::Bmp &&
        !ornamo::bmpFits(picture.side(), picture.side())) {
        showMessage(ornamo::messages::tooLargeForBmp, this);
        return;
    }
    if (!ExportProgress1)
        ExportProgress1 = new ProgressWindow(this);
    ExportProgress1->setDetail(pictureSizeText(picture.side()));
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
