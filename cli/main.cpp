// ornamo-render: builds a mosaic from the command line, as the editor would.

#include "messagelog.h"
#include "options.h"
#include "run.h"

#include <QCoreApplication>

#include <cstdio>
#include <variant>

int main(int argc, char* argv[]) {
    // Qt's own messages stay off the terminal (ORNAMO_DEBUG=1 shows them).
    ornamo::installMessageHandler();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ornamo-render"));

    const auto parsed = ornamo::cli::parseArguments(QCoreApplication::arguments());
    if (const auto* help = std::get_if<ornamo::cli::HelpRequest>(&parsed)) {
        std::fputs(help->text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<ornamo::cli::UsageError>(&parsed)) {
        // The reason, the synopsis line of the usage, and where the rest is.
        const QString synopsis = error->usage.section(QLatin1Char('\n'), 0, 0);
        std::fprintf(
            stderr,
            "ornamo-render: %s\n%s\nRun 'ornamo-render --help' for the steps and options.\n",
            error->reason.toLocal8Bit().constData(), synopsis.toLocal8Bit().constData());
        return 2;
    }
    return ornamo::cli::run(std::get<ornamo::cli::Options>(parsed), stdout, stderr);
}
