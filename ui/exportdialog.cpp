#include "exportdialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>

namespace {
const QString pngFilter = QStringLiteral("Obrázky PNG (*.png)");
const QString bmpFilter = QStringLiteral("Súbory BMP (*.bmp)");
} // namespace

ExportDialog::ExportDialog(QWidget* parent)
    : ConfirmingFileDialog(parent, pngFilter + QStringLiteral(";;") + bmpFilter, AcceptSave) {
    setObjectName(QStringLiteral("ExportDialog1"));
    setWindowTitle(QStringLiteral("Exportuj obrázok"));

    fullSize_ = new QRadioButton(QStringLiteral("Celá mozaika v plnej veľkosti"), this);
    fullSize_->setObjectName(QStringLiteral("fullSize"));
    fullSize_->setChecked(true);
    view_ = new QRadioButton(QStringLiteral("Súčasný pohľad"), this);
    view_->setObjectName(QStringLiteral("view"));
    // Qt's own file dialog lays itself out in a grid; the choice takes a row of its own.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        auto* row = new QHBoxLayout;
        row->addWidget(fullSize_);
        row->addWidget(view_);
        row->addStretch();
        grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
    }
}

ornamo::ImageFileFormat ExportDialog::format() const {
    return selectedNameFilter() == bmpFilter ? ornamo::ImageFileFormat::Bmp
                                             : ornamo::ImageFileFormat::Png;
}

bool ExportDialog::fullSize() const {
    return fullSize_->isChecked();
}

QString ExportDialog::withExtension(const QString& path) const {
    const QString extension =
        format() == ornamo::ImageFileFormat::Bmp ? QStringLiteral(".bmp") : QStringLiteral(".png");
    return path.endsWith(extension, Qt::CaseInsensitive) ? path : path + extension;
}
