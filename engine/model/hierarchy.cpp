#include "hierarchy.h"

#include "messages.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <streambuf>
#include <string>

#if defined(__unix__)
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ornamo {

namespace {

constexpr char endOfFile = 26;         // Ctrl+Z
constexpr std::size_t labelLength = 6; // "scale:" and "item: " are skipped unread

// A cursor over the text, with the line and token reads the format is defined by. It takes
// bytes from the source only as the reads need them, so a file is read no further than its
// records go, and a source without end (a device, a pipe) is read no further than the limits.
// Past a limit the text ends and the cursor has overrun: whatever was being read is a fault.
class TextCursor {
public:
    /// `seen`, when given, receives every byte the cursor looks at, in order: reading those
    /// bytes again gives the same result.
    explicit TextCursor(std::streambuf& source, std::string* seen = nullptr)
        : source_(source), seen_(seen) {}

    bool atEnd() { return peek() == end; }
    bool overran() const { return overran_; }

    // The rest of the current line without its LF or CR LF; moves to the next line.
    std::string readLine() {
        std::string line;
        for (int c = peek(); c != end; c = peek()) {
            take();
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                break;
            }
            line += static_cast<char>(c);
        }
        return line;
    }

    // The next run of bytes above 32, skipping the bytes of 32 or less (line ends included)
    // before it; stops in front of the byte that ends it. Empty at the end of the text.
    std::string readToken() {
        while (peek() != end && isSeparator(peek()))
            take();
        std::string token;
        for (int c = peek(); c != end && !isSeparator(c); c = peek()) {
            token += static_cast<char>(c);
            take();
        }
        return token;
    }

private:
    static constexpr int end = -1;
    using Traits = std::streambuf::traits_type;

    static bool isSeparator(int c) { return c <= 32; }

    // The next byte (0..255) without taking it, or `end`.
    int peek() {
        if (ended_)
            return end;
        const Traits::int_type c = source_.sgetc();
        if (seen_ && !Traits::eq_int_type(c, Traits::eof()) && seen_->size() == taken_)
            seen_->push_back(Traits::to_char_type(c));
        if (Traits::eq_int_type(c, Traits::eof()) || c == endOfFile) {
            ended_ = true;
            return end;
        }
        if (taken_ == hierarchyFileLimit) {
            ended_ = overran_ = true;
            return end;
        }
        return c;
    }

    void take() {
        const Traits::int_type c = source_.sbumpc();
        ++taken_;
        if (c == '\n')
            column_ = 0;
        else if (++column_ > hierarchyLineLimit)
            ended_ = overran_ = true;
    }

    std::streambuf& source_;
    std::string* seen_;
    std::size_t taken_ = 0;
    std::size_t column_ = 0;
    bool ended_ = false;
    bool overran_ = false;
};

// The bytes of a text in memory as a read-only stream buffer.
class ViewBuffer : public std::streambuf {
public:
    explicit ViewBuffer(std::string_view text) {
        // The get area is only read from.
        char* first = const_cast<char*>(text.data());
        setg(first, first, first + text.size());
    }
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
    std::string name;
    do
        name = cursor.readLine();
    while (name.empty() && !cursor.atEnd());
    if (cursor.overran())
        return RecordRead::Faulty;
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
    // A record cut off by a limit may read as a valid one ("R0" of "R0x", "1" of "12").
    if (cursor.overran())
        return RecordRead::Faulty;
    command.name = std::move(name);
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

// Reads the records into `read` (all twelve slots empty before).
HierarchyResult readRecords(TextCursor& cursor, CommandSlots& read) {
    HierarchyResult result;
    while (result.count < static_cast<int>(read.size()) && !cursor.atEnd()) {
        const RecordRead outcome = readRecord(cursor, read[static_cast<std::size_t>(result.count)]);
        if (outcome == RecordRead::Faulty) {
            result.failure = HierarchyFailure::BadFormat;
            return result;
        }
        if (outcome == RecordRead::Dropped)
            break;
        ++result.count;
    }
    // Text beyond the file limit between two records.
    if (cursor.overran())
        result.failure = HierarchyFailure::BadFormat;
    return result;
}

} // namespace

HierarchyResult readHierarchy(std::string_view bytes, CommandSlots& commands) {
    ViewBuffer buffer(bytes);
    TextCursor cursor(buffer);
    CommandSlots read;
    HierarchyResult result = readRecords(cursor, read);
    commands = std::move(read);
    return result;
}

namespace {

#if defined(__unix__)
// A read-only stream buffer over a file opened without waiting: a FIFO no one writes to opens
// at once and reads as empty, where std::filebuf's open would wait for a writer for ever.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(const std::filesystem::path& path)
        : handle_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
        struct stat status {};
        if (handle_ < 0 || ::fstat(handle_, &status) != 0) {
            close();
            return;
        }
        if (S_ISFIFO(status.st_mode)) {
            // A FIFO with no writer reads as at its end at once; it cannot be opened.
            ssize_t got;
            do
                got = ::read(handle_, buffer_, 1);
            while (got < 0 && errno == EINTR);
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                close();
                return;
            }
            setg(buffer_, buffer_, buffer_ + std::max<ssize_t>(got, 0));
        }
        // Reads then wait for data as usual.
        const int flags = ::fcntl(handle_, F_GETFL);
        if (flags < 0 || ::fcntl(handle_, F_SETFL, flags & ~O_NONBLOCK) != 0)
            close();
    }
    ~DescriptorBuffer() override { close(); }
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    bool isOpen() const { return handle_ >= 0; }

protected:
    int_type underflow() override {
        ssize_t got;
        do
            got = ::read(handle_, buffer_, sizeof buffer_);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }

private:
    void close() {
        if (handle_ >= 0)
            ::close(handle_);
        handle_ = -1;
    }

    int handle_;
    char buffer_[65536];
};
#else
class DescriptorBuffer : public std::filebuf {
public:
    explicit DescriptorBuffer(const std::filesystem::path& path) {
        open(path, std::ios::in | std::ios::binary);
    }
    bool isOpen() const { return is_open(); }
};
#endif

} // namespace

HierarchyResult loadHierarchyFile(const std::filesystem::path& path, CommandSlots& commands,
                                  std::string* bytesRead) {
    // A directory opens on some systems but reads nothing and fails.
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return {loadedCount(commands), HierarchyFailure::OpenFailed};
    try {
        DescriptorBuffer file(path);
        if (file.isOpen()) {
            std::string seen;
            TextCursor cursor(file, bytesRead ? &seen : nullptr);
            CommandSlots read;
            HierarchyResult result = readRecords(cursor, read);
            commands = std::move(read);
            if (bytesRead)
                *bytesRead = std::move(seen);
            return result;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::ios_base::failure&) {
    }
    return {loadedCount(commands), HierarchyFailure::OpenFailed};
}

} // namespace ornamo
