// The handlers of the main window's items and buttons: zoom, the command buttons and the menu
// "Mozaika", reading another hierarchy, loading a new base tile, work files, saving and
// exporting the picture. Every decision about the mosaic is the work's; the handlers ask the
// user, hand the change to the work (mainwindow.cpp) and show what came of it.

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
#include "viewpane.h"
#include "workfile.h"
#include "workshop.h"
#include "zoom.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include <new>

// ---- Zoom ----

// "Zmenši", "Zväčši" and keypad *: the scroll bars keep their offsets in view pixels, pulled
// back only when the new view is smaller.

void MainWindow::Button1Click() {
    if (heldOff())
        return;
    unmagnify();
    runOnWork([this](ornamo::Progress* progress) { return work_.zoomOut(progress); });
}

void MainWindow::Button2Click() {
    if (!heldOff())
        runOnWork([this](ornamo::Progress* progress) { return work_.zoomIn(progress); });
}

void MainWindow::fullSize() {
    if (heldOff())
        return;
    unmagnify();
    runOnWork([this](ornamo::Progress* progress) { return work_.fullSize(progress); });
}

// Ctrl++, Ctrl+-, Ctrl+0 and Ctrl+wheel: the mosaic point under `anchor` stays there.

// Past full size they magnify, each view pixel a square block.

void MainWindow::zoomCloser(QPoint anchor) {
    if (heldOff())
        return;
    const int magnification = viewPane_->magnification();
    if (work_.view().factor() > 1)
        zoomAbout(anchor, [this](ornamo::Progress* progress) { return work_.zoomIn(progress); });
    else if (magnification < ornamo::largestMagnification)
        magnifyAbout(anchor, 2 * magnification);
}

void MainWindow::zoomFarther(QPoint anchor) {
    if (heldOff())
        return;
    if (const int magnification = viewPane_->magnification(); magnification > 1)
        magnifyAbout(anchor, magnification / 2);
    else
        zoomAbout(anchor, [this](ornamo::Progress* progress) { return work_.zoomOut(progress); });
}

void MainWindow::zoomFullSize(QPoint anchor) {
    if (heldOff())
        return;
    // Back from a magnification and to full size, drawn once at the end.
    magnifyAbout(anchor, 1, ViewPane::Drawing::Later);
    zoomAbout(anchor, [this](ornamo::Progress* progress) { return work_.fullSize(progress); });
}

void MainWindow::Prisposob1Click() {
    if (heldOff())
        return;
    const QSize room = viewPane_->room();
    unmagnify();
    zoomAbout(viewPane_->centre(), [this, room](ornamo::Progress* progress) {
        return work_.zoomToFit(room.width(), room.height(), progress);
    });
}

// ---- The gap colour and "Neškáluj" ----

void MainWindow::Farbamedzery1Click() {
    if (heldOff())
        return;
    if (!ColorDialog1) {
        ColorDialog1 = new QColorDialog(this);
        ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
        ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
    }
    // The colour last confirmed, unless an undo has given the gaps another since.
    const ornamo::Color shown = work_.model().mosaic().gapColor;
    const QColor shownColor(ornamo::redOf(shown), ornamo::greenOf(shown), ornamo::blueOf(shown));
    if (gapColorChoice_.rgb() != shownColor.rgb())
        gapColorChoice_ = shownColor;
    ColorDialog1->setCurrentColor(gapColorChoice_);
    if (ColorDialog1->exec() == QDialog::Accepted)
        gapColorChoice_ = ColorDialog1->selectedColor();
    // After Cancel the dialog still holds the colour last confirmed: the gaps keep theirs, and
    // the mosaic is drawn again all the same.
    const QColor c = gapColorChoice_;
    const ornamo::Color gap =
        ornamo::makeColor(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                          static_cast<std::uint8_t>(c.blue()));
    runOnWork([this, gap](ornamo::Progress* progress) { return work_.setGapColor(gap, progress); });
}

void MainWindow::Nekluj1Click() {
    if (!heldOff())
        runOnWork([this](ornamo::Progress* progress) { return work_.toggleNoScale(progress); });
    // The mark follows the switch; a full-size view that did not fit leaves it as it was.
    noScaleSwitch_->setChecked(work_.noScale());
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
    changeWork(&ornamo::Work::reset);
}

void MainWindow::Zruposlednoperciu1Click() {
    if (!heldOff())
        ZrusPoslednyPrikaz();
}

void MainWindow::Zrusvybrany1Click() {
    changeWork(&ornamo::Work::deleteChosen);
}

void MainWindow::Zrupovybranprkaz1Click() {
    changeWork(&ornamo::Work::deleteUpToChosen);
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
    return TForm3 ? TForm3->choose(names, tips) : ornamo::cancelledChoice;
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
    startInLastFolder(*OpenDialog2);
    OpenDialog2->run();
    // A new mosaic starts whether or not a file was read.
    runOnWork([this](ornamo::Progress* progress) {
        return work_.startNewMosaic(std::move(pendingRules_), progress);
    });
}

void MainWindow::OpenDialog2CanClose(const QString& path) {
    pendingRules_ = LoadCommands(path, path, OpenDialog2);
    if (pendingRules_)
        rememberFolder(path);
}

void MainWindow::openHierarchyFile(const QString& path) {
    if (heldOff() || !hierarchyMayReplaceMosaic())
        return;
    pendingRules_ = LoadCommands(path, path);
    if (pendingRules_)
        rememberFolder(path);
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
            this, QStringLiteral("BMP Files (*.bmp);;Súbory PNG (*.png);;All files (*)"),
            QFileDialog::AcceptOpen);
        OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
        OpenDialog1->setConfirmHandler([this](const QString& path) { OpenDialog1CanClose(path); });
    }
    openedTile_.reset();
    startInLastFolder(*OpenDialog1);
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
    openedTile_ = ornamo::loadTileFile(path, work_.model().mosaic().gapColor);
    if (openedTile_)
        rememberFolder(path);
    else
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

// The local .bmp, .png, .hrh and .ornamo files among dropped data; other files and links are
// not taken.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && (isHierarchyName(path) || isWorkName(path) ||
                                path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive) ||
                                path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)))
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

void MainWindow::openStartFiles(const QStringList& paths) {
    const bool untouched = !session_.isModified();
    openFiles(paths);
    if (untouched)
        session_.markSaved();
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
    QString path = session_.fileName();
    if (askForName || path.isEmpty()) {
        QFileDialog dialog(this);
        prepareWorkDialog(dialog, "SaveWorkDialog1", QFileDialog::AcceptSave);
        startInLastFolder(dialog);
        if (!session_.fileName().isEmpty())
            dialog.selectFile(QFileInfo(session_.fileName()).fileName());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        path = dialog.selectedFiles().constFirst();
    }
    // Kept as offsets in view pixels.
    const QPoint scroll = viewPane_->scrollPosition();
    const int magnification = viewPane_->magnification();
    work_.setScroll(scroll.x() / magnification, scroll.y() / magnification);
    if (!session_.save(path)) {
        showMessage(ornamo::messages::saveFailed(path.toStdString()));
        return false;
    }
    rememberFolder(path);
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
    startInLastFolder(dialog);
    // The question about the work in hand was asked above, once.
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        readWork(dialog.selectedFiles().constFirst());
}

void MainWindow::openWorkFile(const QString& path) {
    if (!heldOff() && maySaveWork())
        readWork(path);
}

void MainWindow::readWork(const QString& path) {
    ornamo::WorkFileFailure failure = ornamo::WorkFileFailure::None;
    // An opened work is shown where it was scrolled to when it was saved.
    runOnWork(
        [&](ornamo::Progress* progress) {
            failure = session_.open(path, progress,
                                    [&](const QString& file, ornamo::WorkDocument& document) {
                                        return readOffTheWindowsThread(file, document, *progress);
                                    });
            return ornamo::Outcome{failure == ornamo::WorkFileFailure::None, {}};
        },
        [&]() -> std::optional<QPoint> {
            if (failure != ornamo::WorkFileFailure::None)
                return std::nullopt;
            return QPoint(work_.scrollX(), work_.scrollY());
        });
    if (failure != ornamo::WorkFileFailure::None) {
        showMessage(ornamo::messages::text(failure, path.toStdString()));
        return;
    }
    rememberFolder(path);
}

ornamo::WorkFileFailure MainWindow::readOffTheWindowsThread(const QString& path,
                                                            ornamo::WorkDocument& document,
                                                            ornamo::Progress& progress) {
    // The reader runs on a thread of its own while the window goes on repainting under the
    // busy indicator; input that would change the work is held off meanwhile.
    progress.StartProcessBar(ornamo::Caption::Reading);
    ornamo::WorkFileFailure failure = ornamo::WorkFileFailure::None;
    QEventLoop waiting;
    std::unique_ptr<QThread> reader(QThread::create([&, read = workReader_] {
        failure = read ? read(path, document) : ornamo::readWorkFile(path, document);
    }));
    connect(reader.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    reader->start();
    waiting.exec();
    reader->wait();
    progress.EndProcessBar();
    return failure;
}

// ---- Where the file dialogs start ----

void MainWindow::rememberFolder(const QString& path) {
    lastFolder_ = QFileInfo(path).absolutePath();
}

void MainWindow::startInLastFolder(QFileDialog& dialog) const {
    if (!lastFolder_.isEmpty())
        dialog.setDirectory(lastFolder_);
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
    startInLastFolder(*SavePictureDialog1);
    SavePictureDialog1->run();
}

void MainWindow::SavePictureDialog1CanClose(const QString& path) {
    // The dialog stays on screen while a long save runs: a second confirmation starts nothing.
    if (busy_)
        return;
    const std::string name = ornamo::withBmpExtension(path.toStdString());
    if (savePictureFile(work_.view().picture(), QString::fromStdString(name),
                        ornamo::ImageFileFormat::Bmp))
        rememberFolder(QString::fromStdString(name));
    else
        showMessage(ornamo::messages::saveFailed(name), SavePictureDialog1);
}

void MainWindow::Exportujobrazok1Click() {
    if (heldOff())
        return;
    if (!ExportDialog1)
        ExportDialog1 = new ExportDialog(this);
    ExportDialog1->showSizes(work_.view().mosaic().extent(), work_.view().side());
    // The dialog closes on the name; the export then runs under its own progress window.
    startInLastFolder(*ExportDialog1);
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
    // A picture too large for BMP was refused by the dialog.
    const ornamo::ImageFileFormat format = ExportDialog1->format(name);
    if (!ExportProgress1)
        ExportProgress1 = new ProgressWindow(this);
    ExportProgress1->setDetail(pictureSizeText(picture.side()));
    // A cancelled export leaves the old file as it was, and needs no message.
    if (savePictureFile(picture.picture(), name, format, ExportProgress1))
        rememberFolder(name);
    else if (!ExportProgress1->cancelled())
        showMessage(ornamo::messages::saveFailed(name.toStdString()), this);
}

// ---- The rule workshop ----

void MainWindow::DielnaPravidiel1Click() {
    if (!workshop_)
        workshop_ = new RuleWorkshop(
            {[this]() -> const ornamo::Work& { return work_; },
             [this](std::shared_ptr<const ornamo::Rules> rules) { return replayWithRules(rules); }},
            this);
    if (!workshop_->isVisible()) {
        workshop_->loadFromWork();
        workshop_->show();
    }
    workshop_->raise();
    workshop_->activateWindow();
}

std::optional<ornamo::Outcome>
MainWindow::replayWithRules(std::shared_ptr<const ornamo::Rules> rules) {
    if (heldOff())
        return std::nullopt;
    ornamo::Outcome outcome;
    runOnWork([&](ornamo::Progress* progress) {
        outcome = work_.replayWithRules(std::move(rules), progress);
        // The workshop shows a refusal with its numbers; here only what changed is shown.
        return ornamo::Outcome{outcome.render, ornamo::Refusal::None};
    });
    return outcome;
}
