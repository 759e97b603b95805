#include "names.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace ornamo {

QString displayName(std::string_view nameBytes) {
    const QByteArrayView bytes(nameBytes.data(), static_cast<qsizetype>(nameBytes.size()));

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;

    QStringDecoder windows1250("windows-1250", QStringDecoder::Flag::Stateless);
    if (windows1250.isValid())
        return windows1250.decode(bytes);
    // Without a code page converter the bytes are still shown, one character per byte.
    return QString::fromLatin1(bytes);
}

QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace ornamo
