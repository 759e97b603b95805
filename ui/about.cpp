#include "about.h"

#include "formfont.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {

constexpr int pictureSide = 32;
constexpr QRgb ground = qRgb(255, 255, 255);
constexpr QRgb pinkMauve = qRgb(200, 172, 191);
constexpr QRgb lilac = qRgb(183, 172, 200);
constexpr QRgb darkBlue = qRgb(60, 105, 155);

bool inDisc(int x, int y) {
    // Twice the distance of the pixel centre (x + 0.5, y + 0.5) from the centre (16, 16).
    const int dx = 2 * x + 1 - pictureSide;
    const int dy = 2 * y + 1 - pictureSide;
    return dx * dx + dy * dy <= pictureSide * pictureSide;
}

bool onCross(int x, int y) {
    return x == 15 || x == 16 || y == 15 || y == 16;
}

bool onBand(int x) {
    return (x >= 6 && x <= 9) || (x >= 22 && x <= 25);
}

bool onLine(int x, int y) {
    return (y == 14 || y == 17) && x >= 6 && x <= 25;
}

QRgb pictureColour(int x, int y) {
    if (!inDisc(x, y) || onCross(x, y))
        return ground;
    if (onBand(x) || onLine(x, y))
        return darkBlue;
    const bool left = x < 15;
    const bool top = y < 15;
    return left == top ? pinkMauve : lilac;
}

QLabel* makePicture(const QString& name, int left, QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(name);
    picture->setPixmap(QPixmap::fromImage(transparentProgramPicture()));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setGeometry(left, 32, 33, 32);
    return picture;
}

} // namespace

QImage programPicture() {
    QImage picture(pictureSide, pictureSide, QImage::Format_RGB888);
    for (int y = 0; y < pictureSide; ++y)
        for (int x = 0; x < pictureSide; ++x)
            picture.setPixel(x, y, pictureColour(x, y));
    return picture;
}

QImage transparentProgramPicture() {
    QImage picture = programPicture().convertToFormat(QImage::Format_ARGB32);
    const QRgb transparentColour = picture.pixel(0, picture.height() - 1);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) == transparentColour)
                picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    return picture;
}

QIcon programIcon() {
    return QIcon(QPixmap::fromImage(transparentProgramPicture()));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent, closeOnlyDialogFlags()) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("O programe..."));
    setFont(formFont(11));
    setFixedSize(209, 126);
    move(364, 337);
    setModal(true);
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    connectHandlers();
}

void AboutDialog::createControls() {
    const QFont title = formFont(13, FontWeight::Bold);

    Label1 = new QLabel(QStringLiteral("Ornamo"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(title);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(8, 8, 199, 16);

    Label2 = new QLabel(QStringLiteral("verzia 2.0"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(title);
    Label2->setGeometry(74, 32, 67, 16);

    Image2 = makePicture(QStringLiteral("Image2"), 8, this);
    Image1 = makePicture(QStringLiteral("Image1"), 168, this);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(40, 80, 129, 41);
}

void AboutDialog::connectHandlers() {
    connect(Button1, &QPushButton::clicked, this, &AboutDialog::Button1Click);
}

void AboutDialog::Button1Click() {
    close();
}
