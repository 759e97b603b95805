#pragma once

// What the window benchmarks share: the start folder the window is made in (the data folder's
// default tile beside the benchmark's own rules) and the sixteen-part rule both of them apply.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace benchwindow {

/// "Sestnast": sixteen 1 x 1 parts on a 4 x 4 grid, the eight orientations in turn; applied
/// three times it makes 4096 placements.
inline QString sixteenParts() {
    QString text = QStringLiteral("Sestnast\nscale: 4\nitem: 16\n");
    const char* orientations[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};
    for (int i = 0; i < 16; ++i)
        text += QStringLiteral("%1 %2 1 1 %3\n").arg(i % 4).arg(i / 4).arg(orientations[i % 8]);
    return text;
}

/// Fills `folder` with the default tile of the data folder (the benchmark's first argument,
/// "data" when there is none) and `rules` as default.hrh. False when they cannot be written.
inline bool writeStartFolder(const QTemporaryDir& folder, int argc, char** argv,
                             const QByteArray& rules) {
    const QString data = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("data");
    QDir(folder.path()).mkpath(QStringLiteral("dlazdice"));
    QFile::copy(data + QStringLiteral("/dlazdice/default.bmp"),
                folder.filePath(QStringLiteral("dlazdice/default.bmp")));
    QFile file(folder.filePath(QStringLiteral("default.hrh")));
    return file.open(QIODevice::WriteOnly) && file.write(rules) >= 0;
}

} // namespace benchwindow
