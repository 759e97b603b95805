// One QApplication for every window test; GoogleTest runs the cases inside it.

#include "translation.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery and plain runs work without a display, as under ctest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever Qt would keep in the user's settings lands in a folder of the tests' own.
    const QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configuration.path()));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // Qt's own texts in Slovak, as the program shows them.
    installSlovakQtTranslation(application);
    return RUN_ALL_TESTS();
}
