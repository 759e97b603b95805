#include "hierarchy.h"

#include "messages.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>
#include <optional>

namespace ornamo {

namespace {

constexpr char endOfFile = 26;         // Ctrl+Z
constexpr std::size_t labelLength = 6; // "scale:" and "item: " are skipped unread

// A cursor over the text, with the line and token reads the format is defined by.
class TextCursor {
public:
    explicit TextCursor(std::string_view text) : text_(text) {}

    bool atEnd() const { return position_ >= text_.size(); }

    // The rest of the current line without its LF or CR LF; moves to the next line.
    std::string_view readLine() {
        const std::size_t start = position_;
        const std::size_t newline = text_.find('\n', start);
        std::size_t end = newline == std::string_view::npos ? text_.size() : newline;
        position_ = newline == std::string_view::npos ? text_.size() : newline + 1;
        if (newline != std::string_view::npos && end > start && text_[end - 1] == '\r')
            --end;
        return text_.substr(start, end - start);
    }

    // The next run of bytes above 32, skipping the bytes of 32 or less (line ends included)
    // before it; stops in front of the byte that ends it. Empty at the end of the text.
    std::string_view readToken() {
        while (!atEnd() && isSeparator(text_[position_]))
            ++position_;
        const std::size_t start = position_;
        while (!atEnd() && !isSeparator(text_[position_]))
            ++position_;
        return text_.substr(start, position_ - start);
    }

private:
    static bool isSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

    std::string_view text_;
    std::size_t position_ = 0;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One whole integer: a signed decimal within the signed 32-bit range, or a hexadecimal number
// after "$", "x", "X", "0x" or "0X" that fits in 32 bits, taken as signed. Nothing else may
// stand in the text.
std::optional<std::int32_t> parseInteger(std::string_view text) {
    std::size_t digitsAt = 0;
    bool hex = false;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        hex = true;
        digitsAt = 1;
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        hex = true;
        digitsAt = 2;
    }
    if (hex) {
        if (digitsAt == text.size())
            return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = digitsAt; i < text.size(); ++i) {
            const int digit = hexDigit(text[i]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > std::numeric_limits<std::uint32_t>::max())
                return std::nullopt;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (text.starts_with('+') || text.starts_with('-')) {
        negative = text.front() == '-';
        digitsAt = 1;
    }
    if (digitsAt == text.size())
        return std::nullopt;
    const std::int64_t limit = negative ? std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (std::size_t i = digitsAt; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

// A scale or item line: the label is skipped unread, then spaces, then one whole integer.
std::optional<std::int32_t> parseHeaderLine(std::string_view line) {
    if (line.size() <= labelLength)
        return std::nullopt;
    std::string_view rest = line.substr(labelLength);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    return parseInteger(rest);
}

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Field values keep their low 16 bits, taken unsigned.
std::int32_t low16(std::int32_t value) {
    return static_cast<std::uint16_t>(value);
}

std::optional<Placement> readPart(TextCursor& cursor) {
    std::int32_t values[4];
    for (std::int32_t& value : values) {
        const auto parsed = parseInteger(cursor.readToken());
        if (!parsed)
            return std::nullopt;
        value = low16(*parsed);
    }
    const auto orientation = orientationFromKeyword(trimSpaces(cursor.readLine()));
    if (!orientation)
        return std::nullopt;
    Placement part;
    part.x = values[0];
    part.y = values[1];
    part.width = values[2];
    part.height = values[3];
    part.orientation = *orientation;
    return part;
}

enum class RecordRead { Loaded, Dropped, Faulty };

RecordRead readRecord(TextCursor& cursor, Command& command) {
    std::string_view name;
    do
        name = cursor.readLine();
    while (name.empty() && !cursor.atEnd());
    if (cursor.atEnd())
        return RecordRead::Dropped; // a name on the last line, or trailing empty lines

    const auto gridSize = parseHeaderLine(cursor.readLine());
    if (!gridSize)
        return RecordRead::Faulty;
    const auto partCount = parseHeaderLine(cursor.readLine());
    if (!partCount || *partCount < 0)
        return RecordRead::Faulty;

    Mosaic pattern;
    pattern.gapColor = 0;
    pattern.tileSize = 0;
    pattern.scale = static_cast<std::uint16_t>(*gridSize);
    // The count is not trusted for an allocation: parts are added as they are read, and a
    // count beyond the text ends at its end as a fault.
    for (std::int32_t i = 0; i < *partCount; ++i) {
        const auto part = readPart(cursor);
        if (!part)
            return RecordRead::Faulty;
        pattern.placements.push_back(*part);
    }
    command.name = std::string(name);
    command.pattern = std::move(pattern);
    return RecordRead::Loaded;
}

// Reads fill the slots from the first, so the loaded ones run up to the last slot that is not
// empty. A command may itself be named "--": an empty slot also has no parts.
int loadedCount(const CommandSlots& commands) {
    int count = static_cast<int>(commands.size());
    while (count > 0) {
        const Command& last = commands[static_cast<std::size_t>(count - 1)];
        if (last.name != messages::emptySlotName || !last.pattern.placements.empty())
            break;
        --count;
    }
    return count;
}

} // namespace

HierarchyResult readHierarchy(std::string_view bytes, CommandSlots& commands) {
    const std::size_t end = bytes.find(endOfFile);
    TextCursor cursor(bytes.substr(0, end));

    CommandSlots read;
    HierarchyResult result;
    while (!cursor.atEnd() && result.count < static_cast<int>(read.size())) {
        const RecordRead outcome = readRecord(cursor, read[static_cast<std::size_t>(result.count)]);
        if (outcome == RecordRead::Faulty) {
            result.message = std::string(messages::badFormat);
            break;
        }
        if (outcome == RecordRead::Dropped)
            break;
        ++result.count;
    }
    commands = std::move(read);
    return result;
}

HierarchyResult loadHierarchyFile(const std::filesystem::path& path, std::string_view fileName,
                                  CommandSlots& commands) {
    std::string bytes;
    bool readable = false;
    try {
        std::ifstream file(path, std::ios::binary);
        if (file) {
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            readable = !file.bad();
            // A directory opens on some systems but reads nothing and fails.
            std::error_code error;
            if (std::filesystem::is_directory(path, error))
                readable = false;
        }
    } catch (const std::bad_alloc&) {
        readable = false;
    } catch (const std::ios_base::failure&) {
        readable = false;
    }
    if (!readable)
        return {loadedCount(commands), messages::openFailed(fileName)};
    return readHierarchy(bytes, commands);
}

} // namespace ornamo
