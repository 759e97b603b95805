#pragma once

// The program's texts are UTF-8 bytes (engine/work/messages.h); Qt shows QStrings.

#include <QString>

#include <string_view>

inline QString utf8Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
