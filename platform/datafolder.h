#pragma once

// Where the programs find their start-up files (default.hrh, dlazdice/default.bmp).

#include <QDir>
#include <QString>

namespace ornamo {

/// `name` in `folder` when it is there; otherwise the installed copy, looked for in the data
/// folder share/ornamo beside the program's bin folder (wherever the installed tree was put)
/// and then where it was installed to; `name` in `folder` again when neither has it.
QString startFile(const QDir& folder, const QString& name);

} // namespace ornamo
