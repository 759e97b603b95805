#include "names.h"

#include <QByteArrayView>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

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

std::filesystem::path fileSystemPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

namespace {

constexpr char16_t privateByteBase = 0xF700;

// The characters of the bytes 128..255 in the rule texts of the Windows-1250 coding, and back.
struct SingleByteTable {
    std::array<char16_t, 128> characters{};
    QHash<char16_t, char> bytes;

    SingleByteTable() {
        QStringDecoder decoder("windows-1250", QStringDecoder::Flag::Stateless);
        QStringEncoder encoder("windows-1250", QStringEncoder::Flag::Stateless);
        for (int byte = 128; byte < 256; ++byte) {
            const char raw = static_cast<char>(byte);
            char16_t character = static_cast<char16_t>(privateByteBase + byte);
            if (decoder.isValid() && encoder.isValid()) {
                const QString decoded = decoder.decode(QByteArrayView(&raw, 1));
                if (decoded.size() == 1 && decoded[0] != QChar::ReplacementCharacter &&
                    encoder.encode(decoded) == QByteArray(1, raw))
                    character = decoded[0].unicode();
            }
            characters[static_cast<std::size_t>(byte - 128)] = character;
            bytes.insert(character, raw);
        }
    }
};

const SingleByteTable& singleByteTable() {
    static const SingleByteTable table;
    return table;
}

} // namespace

RuleTextCoding ruleTextCoding(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() is lazy: the text must be made for the error to be known.
    const QString text =
        utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return utf8.hasError() ? RuleTextCoding::Windows1250 : RuleTextCoding::Utf8;
}

QString ruleText(std::string_view bytes, RuleTextCoding coding) {
    if (coding == RuleTextCoding::Utf8)
        return fromUtf8(bytes);
    const SingleByteTable& table = singleByteTable();
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = value < 128 ? QChar(value) : QChar(table.characters[value - 128]);
    }
    return text;
}

std::string ruleBytes(const QString& text, RuleTextCoding coding) {
    if (coding == RuleTextCoding::Utf8)
        return text.toStdString();
    const SingleByteTable& table = singleByteTable();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar character : text) {
        if (character.unicode() < 128)
            bytes += static_cast<char>(character.unicode());
        else
            bytes += table.bytes.value(character.unicode(), '?');
    }
    return bytes;
}

} // namespace ornamo
