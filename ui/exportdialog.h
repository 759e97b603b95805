#pragma once

// The dialog of "Exportuj obrázok…": a save dialog whose filter chooses the format (PNG or BMP)
// and whose two choices below the file list choose the picture: the mosaic at full size or the
// view as it is shown.

#include "filedialogs.h"
#include "imagefile.h"

#include <QString>

class QRadioButton;

class ExportDialog : public ConfirmingFileDialog {
    Q_OBJECT
public:
    explicit ExportDialog(QWidget* parent);

    /// The format of the chosen filter.
    ornamo::ImageFileFormat format() const;
    /// Whether the full-size mosaic (rather than the view) is to be written.
    bool fullSize() const;
    /// `path` with the chosen format's extension appended unless it ends in it already, in
    /// any case.
    QString withExtension(const QString& path) const;

private:
    QRadioButton* fullSize_ = nullptr;
    QRadioButton* view_ = nullptr;
};
