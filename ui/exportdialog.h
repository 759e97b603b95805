#pragma once

// The dialog of "Exportuj obrázok…": a save dialog whose filter chooses the format (PNG or BMP)
// and whose two choices below the file list choose the picture: the mosaic at full size or the
// view as it is shown.

#include "filedialogs.h"
#include "imagefile.h"

#include <QString>

#include <cstdint>

class QRadioButton;

/// "W × W px, N MB": the side of a square picture and the bytes of its pixels (three a pixel),
/// in kB, MB, GB or TB of 1000, with one decimal (a comma) below ten.
QString pictureSizeText(std::int64_t side);

class ExportDialog : public ConfirmingFileDialog {
    Q_OBJECT
public:
    explicit ExportDialog(QWidget* parent);

    /// The format of `path`: PNG or BMP when it ends in .png or .bmp (in any case), otherwise
    /// that of the chosen filter.
    ornamo::ImageFileFormat format(const QString& path) const;
    /// Whether the full-size mosaic (rather than the view) is to be written.
    bool fullSize() const;
    /// Puts the sizes of the two pictures beside the two choices.
    void showSizes(std::int64_t fullSide, std::int64_t viewSide);
    /// `path` as it is written: unchanged when it ends in .png or .bmp (in any case), otherwise
    /// with the chosen filter's extension appended.
    QString withExtension(const QString& path) const;
    /// The name confirmed last, as it is written (withExtension()).
    QString chosenName() const { return chosen_; }

    /// A confirmed name is completed first; a BMP name for a picture too large for BMP is
    /// refused with a message and the dialog closes. When the completed name is there already, the
    /// user is asked whether to replace it, and the dialog stays open unless the answer is yes.
    void done(int result) override;

private:
    QRadioButton* fullSize_ = nullptr;
    QRadioButton* view_ = nullptr;
    QString chosen_;
    std::int64_t fullSide_ = 0;
    std::int64_t viewSide_ = 0;
};
