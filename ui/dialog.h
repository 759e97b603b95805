#pragma once

// The crop dialog: squares a tile that is not square.

#include "bitmap.h"
#include "crop.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

/// Asks which square part of a non-square tile to keep; the caller crops the tile with the
/// choice after exec(). The dialog ends by "OK" or by the caption's close button alike: there is
/// no cancel. The dialog is created once and only hidden after use, so the choice made last time
/// is offered next time (the first radio button at the first showing). It stays above all
/// windows and is centred on the screen each time it is shown.
class CropDialog : public QDialog {
    Q_OBJECT
public:
    explicit CropDialog(QWidget* parent = nullptr);

    /// Takes the shape of the tile to be cropped (only its width and height) for the texts of the
    /// radio buttons: top and bottom for a tall tile (ornamo::isTall), left and right otherwise.
    void setTileShape(const ornamo::Bitmap& tile);

    /// The part of the tile to keep, as the radio buttons stood when the dialog last closed
    /// (First before it has closed).
    ornamo::CropChoice choice() const { return choice_; }

    /// Every way the dialog ends (OK, the close button) comes here, so the choice is always
    /// taken.
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

    ornamo::CropChoice selectedChoice() const;

    bool shapeKnown_ = false; // setTileShape has been called
    bool tall = false;        // the tile is at least as high as wide
    ornamo::CropChoice choice_ = ornamo::CropChoice::First;
};
