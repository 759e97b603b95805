#include "progresswindow.h"

#include "messages.h"
#include "names.h"

#include <QCoreApplication>

#include <algorithm>

ProgressWindow::ProgressWindow(QWidget* parent) : QProgressDialog(parent) {
    setObjectName(QStringLiteral("ExportProgress1"));
    setWindowTitle(QStringLiteral("Exportuj obrázok"));
    setCancelButtonText(QStringLiteral("Zrušiť"));
    setRange(0, 100);
    setWindowModality(Qt::ApplicationModal);
    // Shown at once and kept until the work ends, whatever the bar says.
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
    setAttribute(Qt::WA_QuitOnClose, false);
}

void ProgressWindow::StartProcessBar(ornamo::Caption caption) {
    reset(); // a cancel of the work before is forgotten
    const std::string_view shown = ornamo::messages::text(caption);
    const QString text = ornamo::fromUtf8(shown);
    setLabelText(detail_.isEmpty() ? text : text + QLatin1Char('\n') + detail_);
    setValue(0);
    show();
    QCoreApplication::processEvents();
}

void ProgressWindow::EndProcessBar() {
    hide();
}

void ProgressWindow::step(int position) {
    setValue(std::clamp(position, 0, 99)); // 100 would be the end, which EndProcessBar says
    QCoreApplication::processEvents();
}
