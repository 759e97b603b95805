#pragma once

// The about window and the program picture, which is also the program's icon.

#include <QDialog>
#include <QIcon>
#include <QImage>

class QLabel;
class QPushButton;

/// The 32 x 32 program picture, Format_RGB888: on a white ground a disc 32 pixels across
/// (pixel (x, y) lies inside when its centre is at most 16 pixels from the picture's centre),
/// cut into quarters by a white cross on rows and columns 15 and 16. The top-left and
/// bottom-right quarters are pink-mauve (200, 172, 191), the other two lilac (183, 172, 200).
/// Inside the disc run dark blue (60, 105, 155) bands on columns 6..9 and 22..25 and lines on
/// rows 14 and 17 from column 6 to 25, all broken by the cross.
QImage programPicture();

/// The program picture with every pixel of the ground colour (white, the colour of the
/// bottom-left pixel) made fully transparent, Format_ARGB32.
QImage transparentProgramPicture();

/// The window and application icon: the transparent program picture.
QIcon programIcon();

/// "O programe...": the program's name and version between two program pictures. Shown modally
/// with exec(); "OK" and the caption's close button close it.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

private:
    void createControls();
    void connectHandlers();

    void Button1Click();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button1 = nullptr;
};
