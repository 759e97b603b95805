#include "messagelog.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace ornamo {

namespace {

bool debugLog = false;

const char* kindName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "message";
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!debugLog && type != QtFatalMsg)
        return;
    const QByteArray line = text.toLocal8Bit();
    if (context.category && *context.category && qstrcmp(context.category, "default") != 0)
        std::fprintf(stderr, "[qt %s %s] %s\n", kindName(type), context.category, line.constData());
    else
        std::fprintf(stderr, "[qt %s] %s\n", kindName(type), line.constData());
    std::fflush(stderr);
}

} // namespace

void installMessageHandler() {
    debugLog = qEnvironmentVariable("ORNAMO_DEBUG") == QLatin1String("1");
    qInstallMessageHandler(handleMessage);
}

} // namespace ornamo
