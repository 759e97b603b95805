#include "dialog.h"

#include "formfont.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

CropDialog::CropDialog(QWidget* parent)
    : QDialog(parent, closeOnlyDialogFlags() | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Image dialog"));
    setFont(formFont(11));
    setFixedSize(166, 137);
    // Only the main window ends the program when it closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    connectHandlers();
}

void CropDialog::createControls() {
    const QFont bold = formFont(11, FontWeight::Bold);

    Label1 = new QLabel(QStringLiteral("Táto bitmapa nemá"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(bold);
    Label1->setGeometry(32, 8, 109, 13);

    Label2 = new QLabel(QStringLiteral("tvar štvorca"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(bold);
    Label2->setGeometry(48, 24, 69, 13);

    // The texts depend on the tile's shape and are set on activation.
    RadioButton1 = new QRadioButton(this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(32, 40, 105, 17);
    RadioButton1->setChecked(true);

    RadioButton2 = new QRadioButton(this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(32, 56, 105, 17);

    RadioButton3 = new QRadioButton(this);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton3->setGeometry(32, 72, 105, 17);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(bold);
    Button1->setGeometry(32, 96, 113, 33);

    setTabOrder(RadioButton1, RadioButton2);
    setTabOrder(RadioButton2, RadioButton3);
    setTabOrder(RadioButton3, Button1);
}

void CropDialog::connectHandlers() {
    connect(Button1, &QPushButton::clicked, this, &CropDialog::Button1Click);
}

void CropDialog::setTileShape(const ornamo::Bitmap& tile) {
    tall = ornamo::isTall(tile);
    shapeKnown_ = true;
}

ornamo::CropChoice CropDialog::selectedChoice() const {
    if (RadioButton3->isChecked())
        return ornamo::CropChoice::Middle;
    if (RadioButton2->isChecked())
        return ornamo::CropChoice::Second;
    return ornamo::CropChoice::First;
}

void CropDialog::done(int result) {
    FormClose();
    QDialog::done(result);
}

void CropDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CropDialog::showEvent(QShowEvent* event) {
    centreOnScreen();
    // Activation may come late or not at all on some window systems; the texts must be right
    // before the user sees them.
    FormActivate();
    QDialog::showEvent(event);
}

void CropDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QDialog::changeEvent(event);
}

void CropDialog::centreOnScreen() {
    const QScreen* desktop = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!desktop)
        return;
    const QRect area = desktop->geometry();
    move(area.x() + (area.width() - frameGeometry().width()) / 2,
         area.y() + (area.height() - frameGeometry().height()) / 2);
}

void CropDialog::FormActivate() {
    if (!shapeKnown_)
        return;
    if (tall) {
        RadioButton1->setText(QStringLiteral("Orezať zhora"));
        RadioButton2->setText(QStringLiteral("Orezať zdola"));
    } else {
        RadioButton1->setText(QStringLiteral("Orezať zľava"));
        RadioButton2->setText(QStringLiteral("Orezať zprava"));
    }
    RadioButton3->setText(QStringLiteral("Nechať stred"));
}

void CropDialog::Button1Click() {
    close();
}

void CropDialog::FormClose() {
    choice_ = selectedChoice();
}
