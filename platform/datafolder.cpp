#include "datafolder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace ornamo {

QString startFile(const QDir& folder, const QString& name) {
    const QString here = folder.filePath(name);
    if (QFileInfo::exists(here))
        return here;
    const QStringList installed{QDir(QCoreApplication::applicationDirPath())
                                    .filePath(QStringLiteral(ORNAMO_DATA_FROM_BIN "/") + name),
                                QStringLiteral(ORNAMO_DATA_DIR "/") + name};
    for (const QString& path : installed)
        if (QFileInfo::exists(path))
            return path;
    return here;
}

} // namespace ornamo
