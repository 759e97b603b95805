#include "exportdialog.h"

#include "messages.h"
#include "names.h"
#include "picturefile.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QRadioButton>

#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

namespace {
const QString pngFilter = QStringLiteral("Obrázky PNG (*.png)");
const QString bmpFilter = QStringLiteral("Súbory BMP (*.bmp)");
} // namespace

ExportDialog::ExportDialog(QWidget* parent)
    : ConfirmingFileDialog(parent, pngFilter + QStringLiteral(";;") + bmpFilter, AcceptSave) {
    setObjectName(QStringLiteral("ExportDialog1"));
    setWindowTitle(QStringLiteral("Exportuj obrázok"));
    // The question comes once the extension is added, about the name really written.
    setOption(QFileDialog::DontConfirmOverwrite);

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

namespace {

// The format a name's own extension names, if any.
std::optional<ornamo::ImageFileFormat> typedFormat(const QString& path) {
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return ornamo::ImageFileFormat::Png;
    if (path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
        return ornamo::ImageFileFormat::Bmp;
    return std::nullopt;
}

} // namespace

ornamo::ImageFileFormat ExportDialog::format(const QString& path) const {
    return typedFormat(path).value_or(selectedNameFilter() == bmpFilter
                                          ? ornamo::ImageFileFormat::Bmp
                                          : ornamo::ImageFileFormat::Png);
}

bool ExportDialog::fullSize() const {
    return fullSize_->isChecked();
}

QString pictureSizeText(std::int64_t side) {
    double bytes = 3.0 * static_cast<double>(side) * static_cast<double>(side);
    const char* units[] = {"B", "kB", "MB", "GB", "TB"};
    std::size_t unit = 0;
    while (bytes >= 999.5 && unit + 1 < std::size(units)) {
        bytes /= 1000;
        ++unit;
    }
    const QString amount =
        unit > 0 && bytes < 9.95
            ? QString::number(bytes, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','))
            : QString::number(std::llround(bytes));
    return QStringLiteral("%1 × %1 px, %2 %3")
        .arg(side)
        .arg(amount, QString::fromLatin1(units[unit]));
}

void ExportDialog::showSizes(std::int64_t fullSide, std::int64_t viewSide) {
    fullSide_ = fullSide;
    viewSide_ = viewSide;
    fullSize_->setText(
        QStringLiteral("Celá mozaika v plnej veľkosti (%1)").arg(pictureSizeText(fullSide)));
    view_->setText(QStringLiteral("Súčasný pohľad (%1)").arg(pictureSizeText(viewSide)));
}

QString ExportDialog::withExtension(const QString& path) const {
    if (typedFormat(path))
        return path;
    return path + (format(path) == ornamo::ImageFileFormat::Bmp ? QStringLiteral(".bmp")
                                                                : QStringLiteral(".png"));
}

void ExportDialog::done(int result) {
    if (result == QDialog::Accepted) {
        const QStringList files = selectedFiles();
        if (files.isEmpty())
            return;
        chosen_ = withExtension(files.first());
        // A picture too large for BMP is refused before any question about the file.
        const std::int64_t side = fullSize() ? fullSide_ : viewSide_;
        if (format(chosen_) == ornamo::ImageFileFormat::Bmp &&
            (side > std::numeric_limits<int>::max() ||
             !ornamo::bmpFits(static_cast<int>(side), static_cast<int>(side)))) {
            QMessageBox refusal(QMessageBox::NoIcon, QStringLiteral("Ornamo"),
                                ornamo::fromUtf8(ornamo::messages::tooLargeForBmp), QMessageBox::Ok,
                                this);
            refusal.setObjectName(QStringLiteral("message"));
            refusal.exec();
            ConfirmingFileDialog::done(QDialog::Rejected);
            return;
        }
        const QFileInfo target(chosen_);
        if ((target.exists() || target.isSymLink()) &&
            QMessageBox::question(
                this, QStringLiteral("Ornamo"),
                QStringLiteral("Súbor %1 už existuje.\nChcete ho nahradiť?").arg(chosen_),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    ConfirmingFileDialog::done(result);
}
