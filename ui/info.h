#pragma once

// The help window: a fixed text on using the program and on the hierarchy file.

#include <QList>
#include <QString>
#include <QWidget>

class QTextEdit;

/// A key as the help window lists it, and what it does.
struct HelpKey {
    QString keys;
    QString what;
};

/// "Ovládanie...": a modeless window holding the help text, read-only but scrollable and
/// selectable. Closing it only hides it, so the one instance keeps its scroll position for the
/// next showing; the main window shows it with show() and raise(). Below the text it lists the
/// keys of the main window's menu items, as the window gives them, then the keys without an
/// item of their own.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QList<HelpKey>& menuKeys = {}, QWidget* parent = nullptr);

private:
    void createControls(const QStringList& lines);
    void fitTextToBox(const QStringList& lines);

    QTextEdit* RichEdit1 = nullptr;
};
