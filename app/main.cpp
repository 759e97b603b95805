// The editor's start-up: the application, its title and icon, and the main window.

#include "about.h"
#include "mainwindow.h"
#include "translation.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
#if defined(Q_OS_LINUX)
    // Without a display Qt would abort; say so in one line instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("ornamo: no display to open the editor on (neither DISPLAY nor WAYLAND_DISPLAY "
                   "is set).\n",
                   stderr);
        return 1;
    }
#endif
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ornamo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("ornamo"));
    QApplication::setWindowIcon(programIcon());
    installSlovakQtTranslation(application);

    // The default tile and hierarchy are read from the current directory.
    MainWindow window;
    if (!window.startedUp())
        return 1;
    window.show();
    return application.exec();
}
