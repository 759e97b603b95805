#include "filedialogs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QSettings>
#include <QStandardPaths>

namespace {
constexpr int previewSide = 160;
}

void keepQtSettingsAway() {
    // A path below /dev/null can never be made: Qt's writes there fail, quietly.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope,
                           QStringLiteral("/dev/null/ornamo-keeps-no-settings"));
}

ConfirmingFileDialog::ConfirmingFileDialog(QWidget* parent, const QString& filter, AcceptMode mode)
    : QFileDialog(parent) {
    keepQtSettingsAway(); // before this dialog's destructor writes its history
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(mode);
    // A typed name of a file that is not there is handed on too, so that the program's own
    // message about it follows rather than Qt's.
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(filter);
    // The user's pictures, or the home folder, to start with; afterwards the folder last used.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    setDirectory(!pictures.isEmpty() && QDir(pictures).exists() ? pictures : QDir::homePath());
    // Dialogs of the main window never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
}

bool ConfirmingFileDialog::run() {
    // The dialog is kept for the whole run; each showing starts without a chosen name.
    selectFile(QString());
    return exec() == QDialog::Accepted;
}

void ConfirmingFileDialog::done(int result) {
    // The name field's completion list is a popup of its own: left on screen after the dialog
    // closes, it would take the next click anywhere.
    for (QCompleter* completer : findChildren<QCompleter*>())
        if (completer->popup())
            completer->popup()->hide();
    if (result == QDialog::Accepted && onConfirm_) {
        const QStringList files = selectedFiles();
        if (!files.isEmpty())
            onConfirm_(files.first());
    }
    QFileDialog::done(result);
}

PictureSaveDialog::PictureSaveDialog(QWidget* parent)
    : ConfirmingFileDialog(parent, QStringLiteral("Súbory BMP (*.bmp)"), AcceptSave) {
    setObjectName(QStringLiteral("SavePictureDialog1"));
    setOption(QFileDialog::DontConfirmOverwrite);

    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(previewSide, previewSide);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);
    // Qt's own file dialog lays itself out in a grid; the preview takes a column of its own.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(preview_, 0, grid->columnCount(), grid->rowCount(), 1);

    connect(this, &QFileDialog::currentChanged, this, &PictureSaveDialog::showPreview);
}

void PictureSaveDialog::showPreview(const QString& path) {
    // Only regular files: opening a FIFO to read it would wait for a writer.
    if (!QFileInfo(path).isFile()) {
        preview_->clear();
        return;
    }
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!reader.canRead() || size.isEmpty()) {
        preview_->clear();
        return;
    }
    // Read only as many pixels as the preview shows.
    reader.setScaledSize(
        size.scaled(previewSide, previewSide, Qt::KeepAspectRatio).boundedTo(size));
    const QImage picture = reader.read();
    if (picture.isNull())
        preview_->clear();
    else
        preview_->setPixmap(QPixmap::fromImage(picture));
}
