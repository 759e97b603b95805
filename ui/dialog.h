#pragma once

// The crop dialog: squares a tile that is not square.

#include "bitmap.h"
#include "crop.h"

#include <QDialog>

#include <exception>

class QLabel;
class QPushButton;
class QRadioButton;

/// Asks which square part of a non-square tile to keep and crops the tile in place when the
/// dialog closes, by "OK" or by the caption's close button alike: there is no cancel. The dialog
/// is created once and only hidden after use, so the choice made last time is offered next time
/// (the first radio button at the first showing). It stays above all windows and is centred on
/// the screen each time it is shown.
class CropDialog : public QDialog {
    Q_OBJECT
public:
    explicit CropDialog(QWidget* parent = nullptr);

    /// Shows the dialog modally for `tile` and returns when it has closed, the tile cropped to a
    /// square of side min(width, height) as chosen (a square tile is left as it is). Rethrows
    /// std::bad_alloc when the copy the crop needs could not be allocated; the tile is then
    /// unchanged.
    void cropTile(ornamo::Bitmap& tile);

    /// The crop the radio buttons select now.
    ornamo::CropChoice choice() const;

    /// Every way the dialog ends (OK, the close button) comes here, so the tile is
    /// always cropped.
    void done(int result) override;
    /// Escape does nothing: the dialog has no cancel, it ends with "OK" or the caption.
    void keyPressEvent(QKeyEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void centreOnScreen();

    void FormActivate();
    void Button1Click();
    void FormClose();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QPushButton* Button1 = nullptr;

    ornamo::Bitmap* tile_ = nullptr; // the tile being cropped, only while the dialog is up
    bool tall = false;               // the tile is at least as high as wide; set on activation
    std::exception_ptr cropFailure_; // kept across the modal loop, rethrown by cropTile
};
