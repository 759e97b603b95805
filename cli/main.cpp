// ornamo-render: builds a mosaic from the command line, as the editor would.

#include "messagelog.h"
#include "options.h"
#include "run.h"

#include <QCoreApplication>
#include <QStringDecoder>

#include <cstdio>
#include <variant>

int main(int argc, char* argv[]) {
    // Qt's own messages stay off the terminal (ORNAMO_DEBUG=1 shows them).
    ornamo::installMessageHandler();
    // Qt decodes the arguments as UTF-8, a byte that is not UTF-8 becoming U+FFFD: a file
    // name with such bytes would name another file. It is refused before anything is read.
    for (int i = 1; i < argc; ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(QByteArrayView(argv[i]));
        if (decoder.hasError()) {
            std::fprintf(stderr,
                         "ornamo-render: argument %d is not valid UTF-8 (%s); file names must be "
                         "UTF-8\n",
                         i, text.toUtf8().constData());
            return 2;
        }
    }
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
