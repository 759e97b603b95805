#pragma once

// The help window: a fixed text on using the program and on the hierarchy file.

#include <QWidget>

class QTextEdit;

/// "Ovládanie...": a modeless window holding the help text, read-only but scrollable and
/// selectable. Closing it only hides it, so the one instance keeps its scroll position for the
/// next showing; the main window shows it with show() and raise().
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

private:
    void createControls();
    void fitTextToBox();

    QTextEdit* RichEdit1 = nullptr;
};
