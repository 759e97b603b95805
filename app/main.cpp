// The editor's start-up: the application, its title and icon, and the main window.

#include "about.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "translation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    // Qt's own messages stay off the terminal (ORNAMO_DEBUG=1 shows them).
    ornamo::installMessageHandler();
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
    QGuiApplication::setDesktopFileName(QStringLiteral("sk.ornamo.Ornamo"));
    QApplication::setWindowIcon(programIcon());
    installSlovakQtTranslation(application);

    // ornamo [TILE.bmp] [RULES.hrh] [WORK.ornamo]: opened once the window is up, as the menu
    // opens them.
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("súbory"),
                                 QStringLiteral("Bitmapa dlaždice (.bmp), hierarchia (.hrh) "
                                                "alebo uložená práca (.ornamo)."),
                                 QStringLiteral("[DLAŽDICA.bmp] [PRAVIDLÁ.hrh] [PRÁCA.ornamo]"));
    parser.process(application);
    QStringList startFiles;
    for (const QString& file : parser.positionalArguments())
        startFiles << QFileInfo(file).absoluteFilePath();

    // The default tile and hierarchy are read from the current directory, or else from the
    // installed data folder.
    MainWindow window;
    if (!window.startedUp())
        return 1;
    window.show();
    if (!startFiles.isEmpty())
        QTimer::singleShot(0, &window, [&window, startFiles] { window.openFiles(startFiles); });
    return application.exec();
}
