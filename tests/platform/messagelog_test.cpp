#include "messagelog.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

// What a Qt warning writes to stderr, with ORNAMO_DEBUG set to `debug` when the handler is
// installed (unset when null).
std::string stderrOfAWarning(const char* debug) {
    if (debug)
        qputenv("ORNAMO_DEBUG", QByteArray(debug));
    else
        qunsetenv("ORNAMO_DEBUG");
    ornamo::installMessageHandler();
    std::fflush(stderr);
    std::FILE* capture = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(capture), 2);
    qWarning("QImage::setColor: Index out of bound %d", 2);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text(256, '\0');
    std::rewind(capture);
    text.resize(std::fread(text.data(), 1, text.size(), capture));
    std::fclose(capture);
    return text;
}

TEST(MessageLog, QtTextOnlyInTheDebugLog) {
    const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    EXPECT_EQ(stderrOfAWarning(nullptr), "");
    EXPECT_EQ(stderrOfAWarning("0"), "");
    EXPECT_NE(stderrOfAWarning("1").find("Index out of bound 2\n"), std::string::npos);
    qInstallMessageHandler(previous);
    qunsetenv("ORNAMO_DEBUG");
}

} // namespace
