#include "choice.h"

#include "formfont.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

namespace {
constexpr int itemHeight = 13;
} // namespace

ChoiceDialog::ChoiceDialog(QWidget* parent) : QDialog(parent, closeOnlyDialogFlags()) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Výber"));
    setFont(formFont(11));
    setFixedSize(104, 199);
    move(335, 166);
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    connectHandlers();
}

void ChoiceDialog::createControls() {
    Label1 = new QLabel(QStringLiteral("Vyber pravidlo:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(formFont(13));
    Label1->setGeometry(8, 4, 91, 16);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setGeometry(8, 24, 89, 137);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 168, 41, 25);

    Button2 = new QPushButton(QStringLiteral("Zruš"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(56, 168, 41, 25);

    // Neither button answers Enter on its own behalf.
    for (QPushButton* button : {Button1, Button2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setTabOrder(ListBox1, Button1);
    setTabOrder(Button1, Button2);
}

void ChoiceDialog::connectHandlers() {
    connect(Button1, &QPushButton::clicked, this, &ChoiceDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ChoiceDialog::Button2Click);
    // A double-click anywhere in the list counts, on an entry or below the last one.
    ListBox1->viewport()->installEventFilter(this);
}

int ChoiceDialog::choose(const QStringList& slotNames, const QStringList& slotTips) {
    slotNames_ = slotNames;
    slotTips_ = slotTips;
    return exec();
}

void ChoiceDialog::done(int /*result*/) {
    FormClose();
}

void ChoiceDialog::reject() {
    ruleChoice = ornamo::cancelledChoice;
    FormClose();
}

void ChoiceDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void ChoiceDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // The dialog has no cancel button of its own: only "Zruš" and the caption cancel.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

bool ChoiceDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        ListBox1DblClick();
    return QDialog::eventFilter(watched, event);
}

int ChoiceDialog::selectedEntry() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void ChoiceDialog::FormShow() {
    ruleChoice = ornamo::cancelledChoice;
    ListBox1->clear();
    const QString emptySlot =
        QString::fromUtf8(ornamo::emptySlotName.data(), qsizetype(ornamo::emptySlotName.size()));
    for (int i = 0; i < ornamo::commandSlotCount && i < slotNames_.size(); ++i) {
        if (slotNames_[i] == emptySlot)
            break;
        auto* item = new QListWidgetItem(slotNames_[i], ListBox1);
        item->setSizeHint(QSize(0, itemHeight));
        // The rule's drawing, as the command button shows it.
        if (i < slotTips_.size())
            item->setToolTip(slotTips_[i]);
    }
}

void ChoiceDialog::Button1Click() {
    ruleChoice = selectedEntry() + 1;
    FormClose();
}

void ChoiceDialog::ListBox1DblClick() {
    ruleChoice = selectedEntry() + 1;
    FormClose();
}

void ChoiceDialog::Button2Click() {
    ruleChoice = ornamo::cancelledChoice;
    FormClose();
}

void ChoiceDialog::FormClose() {
    // Without a chosen entry the dialog waits for a choice or "Zruš".
    if (ruleChoice != 0)
        QDialog::done(ruleChoice);
}
