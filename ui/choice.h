#pragma once

// The rule choice dialog: picks one of the loaded commands by name.

#include "commandstack.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

/// Lists the names of the loaded commands and hands back the number of the one chosen, or
/// ornamo::cancelledChoice (13) when the user cancelled. Each showing starts afresh: the list is
/// rebuilt from the names given and nothing is selected. "OK" (or a double-click in the list)
/// with no entry selected leaves the dialog open; "Zruš" and the caption's close button end it
/// with cancelledChoice.
class ChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChoiceDialog(QWidget* parent = nullptr);

    /// Shows the dialog modally over the names of the twelve command slots, in slot order, and
    /// returns the chosen command number 1..12, or cancelledChoice when cancelled. The list offers
    /// the names up to, not including, the first "--" (an empty slot); names past the twelfth are
    /// ignored. `slotTips`, when given, are the entries' tooltips (the rules' drawings), in slot
    /// order.
    int choose(const QStringList& slotNames, const QStringList& slotTips = {});

    /// Ends the dialog with `ruleChoice` whatever `result` says; 0 (no entry was selected)
    /// keeps it open.
    void done(int result) override;
    /// The caption's close button cancels.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    /// Escape does nothing; Enter presses the button that has the focus.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    int selectedEntry() const;

    void FormShow();
    void Button1Click();
    void ListBox1DblClick();
    void Button2Click();
    void FormClose();

    QLabel* Label1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    QStringList slotNames_;
    QStringList slotTips_;
    int ruleChoice = ornamo::cancelledChoice; // 1..12 chosen, 0 OK without a selection
};
