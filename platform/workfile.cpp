#include "workfile.h"

#include "colortext.h"
#include "imagefile.h"
#include "outputfile.h"
#include "picturefile.h"
#include "workfilescan.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

namespace ornamo {

namespace {

const QString formatName = QStringLiteral("ornamo-work");

// ---- Writing ----

QJsonValue bytesValue(const std::string& bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() == raw)
        return text;
    return QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(raw.toBase64())}};
}

QString colorText(Color c) {
    const uint rgb = uint{redOf(c)} << 16 | uint{greenOf(c)} << 8 | blueOf(c);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

// ---- Reading: each reader takes a field or says the file is damaged ----

struct Damaged {};

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

QJsonValue field(const QJsonObject& object, const char* name) {
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.isUndefined())
        throw Damaged{};
    return value;
}

QJsonObject objectField(const QJsonObject& object, const char* name) {
    const QJsonValue value = field(object, name);
    if (!value.isObject())
        throw Damaged{};
    return value.toObject();
}

std::int64_t integerField(const QJsonObject& object, const char* name, std::int64_t lowest,
                          std::int64_t highest) {
    const QJsonValue value = field(object, name);
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !(number >= static_cast<double>(lowest)) ||
        !(number <= static_cast<double>(highest)) || std::trunc(number) != number)
        throw Damaged{};
    return static_cast<std::int64_t>(number);
}

std::int32_t int32Field(const QJsonObject& object, const char* name) {
    return static_cast<std::int32_t>(integerField(object, name,
                                                  std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max()));
}

bool boolField(const QJsonObject& object, const char* name) {
    const QJsonValue value = field(object, name);
    if (!value.isBool())
        throw Damaged{};
    return value.toBool();
}

QString stringField(const QJsonObject& object, const char* name) {
    const QJsonValue value = field(object, name);
    if (!value.isString())
        throw Damaged{};
    return value.toString();
}

QByteArray base64(const QString& text) {
    auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        throw Damaged{};
    return *decoded;
}

// Base64 that must be written as the writer writes it: what it decodes to, encoded again, is
// the text itself (no bits that decoding would drop, no other padding).
QByteArray exactBase64(const QString& text) {
    QByteArray decoded = base64(text);
    if (QLatin1String(decoded.toBase64()) != text)
        throw Damaged{};
    return decoded;
}

std::string bytesOf(const QJsonValue& value) {
    QByteArray bytes;
    if (value.isString())
        bytes = value.toString().toUtf8();
    else if (value.isObject())
        bytes = base64(stringField(value.toObject(), "base64"));
    else
        throw Damaged{};
    return bytes.toStdString();
}

// "#" and the six digits of colorFromHex().
Color parseColor(const QString& text) {
    const std::optional<Color> color =
        text.startsWith(QLatin1Char('#')) ? colorFromHex(QStringView(text).mid(1)) : std::nullopt;
    if (!color)
        throw Damaged{};
    return *color;
}

std::uint64_t parseCheck(const QString& text) {
    if (text.size() != 16 || !std::all_of(text.begin(), text.end(), isHexDigit))
        throw Damaged{};
    return text.toULongLong(nullptr, 16);
}

void readStack(const QJsonObject& root, WorkDocument& d) {
    const QJsonValue stack = field(root, "stack");
    if (!stack.isArray())
        throw Damaged{};
    for (const QJsonValue& item : stack.toArray()) {
        if (!item.isObject())
            throw Damaged{};
        const QJsonObject entry = item.toObject();
        d.stack.push_back({static_cast<int>(integerField(entry, "command", 1, commandSlotCount)),
                           bytesOf(field(entry, "name"))});
    }
}

void readListAndView(const QJsonObject& root, WorkDocument& d) {
    const QJsonObject list = objectField(root, "list");
    d.selectedIndex =
        static_cast<int>(integerField(list, "selected", 0, CommandStackModel::lastPosition));
    d.stackCaption = bytesOf(field(list, "caption"));
    d.editText = bytesOf(field(list, "editText"));
    const QJsonObject view = objectField(root, "view");
    d.shrinkFactor = int32Field(view, "shrinkFactor");
    d.noScale = boolField(view, "noScale");
    d.viewFactor = int32Field(view, "factor");
    d.viewNoScale = boolField(view, "factorNoScale");
    d.scrollX = static_cast<int>(integerField(view, "scrollX", 0, 65535));
    d.scrollY = static_cast<int>(integerField(view, "scrollY", 0, 65535));
}

} // namespace

QByteArray workFileBytes(const WorkDocument& d) {
    QJsonArray stack;
    for (const WorkDocument::Entry& entry : d.stack)
        stack.append(QJsonObject{{QStringLiteral("command"), entry.command},
                                 {QStringLiteral("name"), bytesValue(entry.name)}});
    const QByteArray rules(d.rulesBytes.data(), static_cast<qsizetype>(d.rulesBytes.size()));
    const QJsonObject root{
        {QStringLiteral("format"), formatName},
        {QStringLiteral("version"), WorkDocument::version},
        {QStringLiteral("tile"),
         QJsonObject{
             {QStringLiteral("bmp"), QString::fromLatin1(bmpFileBytes(d.tile).toBase64())}}},
        {QStringLiteral("rules"),
         QJsonObject{{QStringLiteral("fileName"), QString::fromStdString(d.rulesFileName)},
                     {QStringLiteral("bytes"), QString::fromLatin1(rules.toBase64())}}},
        {QStringLiteral("gapColor"), colorText(d.gapColor)},
        {QStringLiteral("stack"), stack},
        {QStringLiteral("list"),
         QJsonObject{{QStringLiteral("selected"), d.selectedIndex},
                     {QStringLiteral("caption"), bytesValue(d.stackCaption)},
                     {QStringLiteral("editText"), bytesValue(d.editText)}}},
        {QStringLiteral("view"), QJsonObject{{QStringLiteral("shrinkFactor"), d.shrinkFactor},
                                             {QStringLiteral("noScale"), d.noScale},
                                             {QStringLiteral("factor"), d.viewFactor},
                                             {QStringLiteral("factorNoScale"), d.viewNoScale},
                                             {QStringLiteral("scrollX"), d.scrollX},
                                             {QStringLiteral("scrollY"), d.scrollY}}},
        {QStringLiteral("check"), QStringLiteral("%1").arg(d.check, 16, 16, QLatin1Char('0'))},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

namespace {

// parseWorkFile() of bytes the scanner has passed.
WorkFileFailure parseScanned(const QByteArray& bytes, WorkDocument& document) {
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        return WorkFileFailure::NotAWork;
    const QJsonObject root = json.object();
    if (root.value(QLatin1String("format")).toString() != formatName)
        return WorkFileFailure::NotAWork;
    WorkDocument d;
    QByteArray tileFile;
    try {
        const std::int64_t version = integerField(root, "version", 1, 1 << 30);
        if (version > WorkDocument::version)
            return WorkFileFailure::NewerVersion;
        d.formatVersion = static_cast<int>(version);
        // From version 2 on the check covers the decoded bytes, so their text must be the one
        // the writer writes: no other text may decode to them unnoticed.
        const auto bytesOfText = version >= 2 ? exactBase64 : base64;
        const QJsonObject rules = objectField(root, "rules");
        d.rulesFileName = stringField(rules, "fileName").toStdString();
        d.rulesBytes = bytesOfText(stringField(rules, "bytes")).toStdString();
        if (d.rulesBytes.size() > hierarchyFileLimit + 1)
            throw Damaged{};
        d.gapColor = parseColor(stringField(root, "gapColor"));
        readStack(root, d);
        readListAndView(root, d);
        d.check = parseCheck(stringField(root, "check"));
        tileFile = bytesOfText(stringField(objectField(root, "tile"), "bmp"));
    } catch (const Damaged&) {
        return WorkFileFailure::NotAWork;
    }
    std::optional<Bitmap> tile = loadBitmapFile(tileFile);
    if (!tile || tile->width() != tile->height())
        return WorkFileFailure::TileBroken;
    // A version 2 tile is the 24-bit file the writer makes of its pixels, header and all.
    if (d.formatVersion >= 2 && bmpFileBytes(*tile) != tileFile)
        return WorkFileFailure::TileBroken;
    d.tile = std::move(*tile);
    document = std::move(d);
    return WorkFileFailure::None;
}

} // namespace

WorkFileFailure parseWorkFile(const QByteArray& bytes, WorkDocument& document) {
    if (bytes.size() > workFileLimit)
        return WorkFileFailure::TooLarge;
    WorkFileScanner scanner;
    if (!scanner.feed(bytes.constData(), bytes.size()) || !scanner.complete())
        return WorkFileFailure::NotAWork;
    try {
        return parseScanned(bytes, document);
    } catch (const std::bad_alloc&) {
        return WorkFileFailure::NotEnoughMemory;
    }
}

WorkFileFailure readWorkFile(const QString& path, WorkDocument& document) {
    // U+FFFD in a name is what bytes that were not UTF-8 became: it names another file.
    if (path.contains(QChar::ReplacementCharacter))
        return WorkFileFailure::OpenFailed;
    // A pipe or a device would make the open wait for a partner, or never end.
    const QFileInfo info(path);
    if (!info.isFile())
        return WorkFileFailure::OpenFailed;
    if (info.size() > workFileLimit)
        return WorkFileFailure::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WorkFileFailure::OpenFailed;
    try {
        // The bytes are looked over in pieces first: a file that claims more than a work file
        // can hold is refused before any of it is kept.
        WorkFileScanner scanner;
        QByteArray piece(qsizetype{64} << 10, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const qint64 got = file.read(piece.data(), piece.size());
            if (got < 0)
                return WorkFileFailure::OpenFailed;
            if (got == 0)
                break;
            total += got;
            if (total > workFileLimit)
                return WorkFileFailure::TooLarge; // it grew since its size was read
            if (!scanner.feed(piece.constData(), got))
                return WorkFileFailure::NotAWork;
        }
        if (!scanner.complete())
            return WorkFileFailure::NotAWork;
        if (!file.seek(0))
            return WorkFileFailure::OpenFailed;
        const QByteArray bytes = file.read(total);
        if (file.error() != QFileDevice::NoError || bytes.size() != total)
            return WorkFileFailure::OpenFailed;
        return parseScanned(bytes, document);
    } catch (const std::bad_alloc&) {
        return WorkFileFailure::NotEnoughMemory;
    }
}

bool writeWorkFile(OutputFile& file, const WorkDocument& document) {
    const QByteArray bytes = workFileBytes(document);
    return file.write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool saveWorkFile(const QString& path, const WorkDocument& document) {
    OutputFile file;
    return file.open(path) && writeWorkFile(file, document) && file.commit();
}

} // namespace ornamo
