// The editor's start-up: the application, its title and icon, and the main window.

#include "about.h"
#include "filedialogs.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "translation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The display the platform is to be opened on, as the user set it.
QByteArray displayName() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return qgetenv("DISPLAY");
    return qgetenv("WAYLAND_DISPLAY");
}

// The one line said when the display cannot be opened; the program then ends with status 1.
[[noreturn]] void noDisplay() {
    const QByteArray name = displayName();
    if (name.isEmpty())
        std::fputs("ornamo: Nemôžem otvoriť displej: nie je nastavená premenná DISPLAY ani "
                   "WAYLAND_DISPLAY.\n",
                   stderr);
    else
        std::fprintf(stderr, "ornamo: Nemôžem otvoriť displej „%s“.\n", name.constData());
    std::fflush(stderr);
    std::_Exit(1);
}

QtMessageHandler quietHandler = nullptr;

// While the application is made, a fatal message means its platform (the display) could not be
// opened: Qt would abort after it.
void startUpMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg)
        noDisplay();
    quietHandler(type, context, text);
}

// [DLAŽDICA.bmp] [PRAVIDLÁ.hrh] [PRÁCA.ornamo], --help and --version.
void declareArguments(QCommandLineParser& parser) {
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("súbory"),
                                 QStringLiteral("Bitmapa dlaždice (.bmp), hierarchia (.hrh) "
                                                "alebo uložená práca (.ornamo)."),
                                 QStringLiteral("[DLAŽDICA.bmp] [PRAVIDLÁ.hrh] [PRÁCA.ornamo]"));
}

// --help and --version are answered without a display; both end the program.
void answerWithoutDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "--help", "-?", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0) {
                QCoreApplication application(argc, argv);
                QCoreApplication::setApplicationVersion(QStringLiteral(ORNAMO_VERSION));
                QCommandLineParser parser;
                declareArguments(parser);
                parser.process(application);
            }
}

} // namespace

int main(int argc, char** argv) {
    // Qt's own messages stay off the terminal (ORNAMO_DEBUG=1 shows them).
    ornamo::installMessageHandler();
    answerWithoutDisplay(argc, argv);
#if defined(Q_OS_LINUX)
    // Without a display Qt would abort; say so in one line instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        noDisplay();
#endif
    quietHandler = qInstallMessageHandler(startUpMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(quietHandler);
    QApplication::setApplicationName(QStringLiteral("Ornamo"));
    QApplication::setApplicationVersion(QStringLiteral(ORNAMO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("sk.ornamo.Ornamo"));
    QApplication::setWindowIcon(programIcon());
    installSlovakQtTranslation(application);
    keepQtSettingsAway();

    // ornamo [TILE.bmp] [RULES.hrh] [WORK.ornamo]: opened once the window is up, as the menu
    // opens them.
    QCommandLineParser parser;
    declareArguments(parser);
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
        QTimer::singleShot(0, &window,
                           [&window, startFiles] { window.openStartFiles(startFiles); });
    return application.exec();
}
