#include "hierarchy.h"

#include "rulecoverage.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <streambuf>
#include <string>
#include <tuple>
#include <utility>

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

    /// The place of the next byte (1-based line and byte column).
    struct Place {
        int line = 1;
        int column = 1;
    };
    Place place() const { return {line_ + 1, static_cast<int>(column_) + 1}; }
    /// Where the text was cut by a limit, and which: true for the line limit.
    Place overrunPlace() const { return overrunPlace_; }
    bool overranLine() const { return overranLine_; }

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
    // `at`, when given, receives the place of the token's first byte (or of the end).
    std::string readToken(Place* at = nullptr) {
        while (peek() != end && isSeparator(peek()))
            take();
        if (at)
            *at = place();
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
            overrunPlace_ = place();
            return end;
        }
        return c;
    }

    void take() {
        const Traits::int_type c = source_.sbumpc();
        ++taken_;
        if (c == '\n') {
            column_ = 0;
            ++line_;
        } else if (++column_ > hierarchyLineLimit) {
            ended_ = overran_ = overranLine_ = true;
            overrunPlace_ = {line_ + 1, static_cast<int>(column_)};
        }
    }

    std::streambuf& source_;
    std::string* seen_;
    std::size_t taken_ = 0;
    std::size_t column_ = 0;
    int line_ = 0;
    bool ended_ = false;
    bool overran_ = false;
    bool overranLine_ = false;
    Place overrunPlace_;
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

// The length of a hexadecimal prefix ("$", "x", "X", "0x" or "0X") at the start of `text`; 0
// when it has none.
std::size_t hexPrefixLength(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X"))
        return 2;
    return text.starts_with('$') || text.starts_with('x') || text.starts_with('X') ? 1 : 0;
}

// One whole integer: a signed decimal within the signed 32-bit range, or a hexadecimal number
// after "$", "x", "X", "0x" or "0X" that fits in 32 bits, taken as signed. Nothing else may
// stand in the text.
std::optional<std::int32_t> parseInteger(std::string_view text) {
    std::size_t digitsAt = hexPrefixLength(text);
    const bool hex = digitsAt > 0;
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

// ---- Diagnostics: said beside the reads, never deciding what is read ----

using Place = TextCursor::Place;

// How a number text that parseInteger() refused fails; `at` gets the offset of the fault.
NumberFault numberFault(std::string_view text, std::size_t& at) {
    at = 0;
    if (text.empty())
        return NumberFault::Missing;
    std::size_t digitsAt = hexPrefixLength(text);
    const bool hex = digitsAt > 0;
    if (!hex && (text.starts_with('+') || text.starts_with('-')))
        digitsAt = 1;
    if (digitsAt == text.size())
        return NumberFault::NoDigits;
    for (std::size_t i = digitsAt; i < text.size(); ++i) {
        const bool digit = hex ? hexDigit(text[i]) >= 0 : text[i] >= '0' && text[i] <= '9';
        if (!digit) {
            at = i;
            return text[i] == ' ' ? NumberFault::TrailingBlank : NumberFault::BadCharacter;
        }
    }
    return NumberFault::OutOfRange;
}

bool blanksOnly(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// What the record being read is, for the diagnostics of its values.
struct RecordContext {
    int record = 0;
    int count = 0; // parts the item line promises
    int part = 0;  // 1-based, while a part is read
    std::uint16_t gridSize = 0;
};

// Collects the diagnostics of one read into a sink, when there is one. The reader's decisions
// are taken before and without it; an error is held as pending until the reader has decided
// the record is faulty, then replaced by the limit's when the text was cut.
class Reporter {
public:
    explicit Reporter(RuleDiagnostics* sink) : sink_(sink) {}

    bool on() const { return sink_ != nullptr; }

    static RuleDiagnostic make(DiagnosticKind kind, RuleProblem problem, Place at, int record) {
        RuleDiagnostic d;
        d.kind = kind;
        d.problem = problem;
        d.line = at.line;
        d.column = at.column;
        d.record = record;
        return d;
    }

    void add(RuleDiagnostic d) {
        if (d.kind != DiagnosticKind::Error && kept_ >= RuleDiagnostics::keptLimit) {
            ++sink_->omitted;
            return;
        }
        if (d.kind != DiagnosticKind::Error)
            ++kept_;
        sink_->list.push_back(std::move(d));
    }
    void warn(RuleProblem problem, Place at, int record) {
        add(make(DiagnosticKind::Warning, problem, at, record));
    }
    void pend(RuleDiagnostic d) { pending_ = std::move(d); }

    // A scale or item line read at `at`; `atEnd` when the text had ended before it.
    void header(std::string_view line, Place at, bool atEnd, RuleField field,
                std::optional<std::int32_t> value, const RecordContext& context) {
        if (line.size() >= labelLength &&
            std::string_view("0123456789+-$").find(line[labelLength - 1]) !=
                std::string_view::npos) {
            RuleDiagnostic d =
                make(DiagnosticKind::Warning, RuleProblem::LabelTookDigit,
                     {at.line, at.column + static_cast<int>(labelLength) - 1}, context.record);
            d.field = field;
            d.found = printableExcerpt(line.substr(labelLength - 1, 1));
            add(std::move(d));
        }
        if (!value) {
            if (atEnd) {
                RuleDiagnostic d =
                    make(DiagnosticKind::Error, RuleProblem::MissingLine, at, context.record);
                d.field = field;
                pend(std::move(d));
                return;
            }
            std::size_t from = std::min(line.size(), labelLength);
            while (from < line.size() && line[from] == ' ')
                ++from;
            badNumber(line.substr(from), {at.line, at.column + static_cast<int>(from)}, field,
                      context);
            return;
        }
        const Place numberAt{
            at.line, at.column + static_cast<int>(line.find_first_not_of(' ', labelLength))};
        if (field == RuleField::PartCount) {
            if (*value < 0) {
                RuleDiagnostic d = make(DiagnosticKind::Error, RuleProblem::NegativePartCount,
                                        numberAt, context.record);
                d.value = *value;
                pend(std::move(d));
            } else if (*value == 0) {
                warn(RuleProblem::NoParts, numberAt, context.record);
            }
            return;
        }
        truncated(*value, numberAt, field, context);
        if (low16(*value) == 0)
            warn(RuleProblem::GridSizeZero, numberAt, context.record);
    }

    void badNumber(std::string_view text, Place at, RuleField field, const RecordContext& context) {
        std::size_t offset = 0;
        RuleDiagnostic d = make(DiagnosticKind::Error, RuleProblem::BadNumber, at, context.record);
        d.field = field;
        d.part = context.part;
        d.count = context.count;
        d.number = numberFault(text, offset);
        d.column += static_cast<int>(offset);
        d.found = printableExcerpt(text.substr(offset));
        pend(std::move(d));
    }

    // A part's value token that did not read, at `at`; empty at the end of the text.
    void badPartValue(std::string_view token, Place at, RuleField field,
                      const RecordContext& context) {
        if (!token.empty())
            return badNumber(token, at, field, context);
        RuleDiagnostic d =
            make(DiagnosticKind::Error, RuleProblem::MissingPart, at, context.record);
        d.field = field;
        d.part = context.part;
        d.count = context.count;
        pend(std::move(d));
    }

    void truncated(std::int32_t value, Place at, RuleField field, const RecordContext& context) {
        if (value == low16(value))
            return;
        RuleDiagnostic d =
            make(DiagnosticKind::Warning, RuleProblem::ValueTruncated, at, context.record);
        d.field = field;
        d.part = context.part;
        d.value = value;
        d.limit = low16(value);
        add(std::move(d));
    }

    // The rest of a part's line, read at `at`, whose keyword did not match.
    void badKeyword(std::string_view rest, Place at, const RecordContext& context) {
        const std::string_view word = trimSpaces(rest);
        const bool missing = word.empty();
        const int offset = static_cast<int>(missing ? rest.size() : rest.find_first_not_of(' '));
        RuleDiagnostic d =
            make(DiagnosticKind::Error,
                 missing ? RuleProblem::MissingOrientation : RuleProblem::UnknownOrientation,
                 {at.line, at.column + offset}, context.record);
        d.field = RuleField::Orientation;
        d.part = context.part;
        d.count = context.count;
        d.found = printableExcerpt(word);
        pend(std::move(d));
    }

    // A part read: its size and its reach within the grid.
    void partShape(const Placement& part, const Place (&places)[4], const RecordContext& context) {
        for (const auto& [size, field, place] :
             {std::tuple{part.width, RuleField::Width, places[2]},
              std::tuple{part.height, RuleField::Height, places[3]}})
            if (size == 0) {
                RuleDiagnostic d = make(DiagnosticKind::Warning,
                                        context.part == 1 ? RuleProblem::FirstPartWithoutArea
                                                          : RuleProblem::PartWithoutArea,
                                        place, context.record);
                d.field = field;
                d.part = context.part;
                add(std::move(d));
                break;
            }
        if (context.gridSize == 0)
            return;
        for (const auto& [reach, field, place] :
             {std::tuple{part.x + part.width, RuleField::X, places[0]},
              std::tuple{part.y + part.height, RuleField::Y, places[1]}})
            if (reach > context.gridSize) {
                RuleDiagnostic d = make(DiagnosticKind::Warning, RuleProblem::PartOutsideGrid,
                                        place, context.record);
                d.field = field;
                d.part = context.part;
                d.value = reach;
                d.limit = context.gridSize;
                add(std::move(d));
            }
    }

    // A record loaded: the cells of its grid no part covers.
    void coverage(const Mosaic& pattern, Place at, int record) {
        if (pattern.scale == 0 || pattern.placements.empty())
            return;
        const GridCoverage covered = gridCoverage(pattern);
        if (covered.uncovered == 0)
            return;
        RuleDiagnostic d = make(DiagnosticKind::Note, RuleProblem::UncoveredCells, at, record);
        d.value = covered.uncovered;
        d.limit = std::int64_t{pattern.scale} * pattern.scale;
        d.cellX = covered.firstX;
        d.cellY = covered.firstY;
        add(std::move(d));
    }

    // The reader found the record faulty.
    void fault(const TextCursor& cursor, int record) {
        if (cursor.overran()) {
            RuleDiagnostic d =
                make(DiagnosticKind::Error,
                     cursor.overranLine() ? RuleProblem::LineTooLong : RuleProblem::TextTooLong,
                     cursor.overrunPlace(), record);
            d.limit = static_cast<std::int64_t>(cursor.overranLine() ? hierarchyLineLimit
                                                                     : hierarchyFileLimit);
            add(std::move(d));
        } else if (pending_) {
            add(std::move(*pending_));
        }
    }

    // In the order of their places; the error (at the place reading stopped) last among equals.
    void finish() {
        std::stable_sort(sink_->list.begin(), sink_->list.end(),
                         [](const RuleDiagnostic& a, const RuleDiagnostic& b) {
                             return std::pair(a.line, a.column) < std::pair(b.line, b.column);
                         });
    }

private:
    RuleDiagnostics* sink_;
    std::size_t kept_ = 0;
    std::optional<RuleDiagnostic> pending_;
};

std::optional<Placement> readPart(TextCursor& cursor, Reporter& report,
                                  const RecordContext& context) {
    static constexpr RuleField fields[4] = {RuleField::X, RuleField::Y, RuleField::Width,
                                            RuleField::Height};
    std::int32_t values[4];
    Place places[4];
    for (int i = 0; i < 4; ++i) {
        const std::string token = cursor.readToken(&places[i]);
        const auto parsed = parseInteger(token);
        if (!parsed) {
            if (report.on())
                report.badPartValue(token, places[i], fields[i], context);
            return std::nullopt;
        }
        if (report.on())
            report.truncated(*parsed, places[i], fields[i], context);
        values[i] = low16(*parsed);
    }
    const Place restAt = cursor.place();
    const std::string rest = cursor.readLine();
    const auto orientation = orientationFromKeyword(trimSpaces(rest));
    if (!orientation) {
        if (report.on())
            report.badKeyword(rest, restAt, context);
        return std::nullopt;
    }
    Placement part;
    part.x = values[0];
    part.y = values[1];
    part.width = values[2];
    part.height = values[3];
    part.orientation = *orientation;
    if (report.on())
        report.partShape(part, places, context);
    return part;
}

enum class RecordRead { Loaded, Dropped, Faulty };

// A header line of a record (the grid size or the part count) and its value, reported.
std::optional<std::int32_t> readHeader(TextCursor& cursor, Reporter& report, RuleField field,
                                       const RecordContext& context) {
    const Place at = cursor.place();
    const bool atEnd = report.on() && cursor.atEnd();
    const std::string line = cursor.readLine();
    const auto value = parseHeaderLine(line);
    if (report.on())
        report.header(line, at, atEnd, field, value, context);
    return value;
}

RecordRead readRecord(TextCursor& cursor, Command& command, Reporter& report, int record) {
    RecordContext context;
    context.record = record;
    std::string name;
    Place nameAt;
    do {
        nameAt = cursor.place();
        name = cursor.readLine();
    } while (name.empty() && !cursor.atEnd());
    if (cursor.overran())
        return RecordRead::Faulty;
    if (cursor.atEnd()) {
        if (report.on() && !name.empty())
            report.warn(RuleProblem::NameAtEnd, nameAt, record);
        return RecordRead::Dropped; // a name on the last line, or trailing empty lines
    }
    if (report.on() && blanksOnly(name))
        report.warn(RuleProblem::BlankName, nameAt, record);

    const auto gridSize = readHeader(cursor, report, RuleField::GridSize, context);
    if (!gridSize)
        return RecordRead::Faulty;
    const auto partCount = readHeader(cursor, report, RuleField::PartCount, context);
    if (!partCount || *partCount < 0)
        return RecordRead::Faulty;

    Mosaic pattern;
    pattern.gapColor = 0;
    pattern.tileSize = 0;
    pattern.scale = static_cast<std::uint16_t>(*gridSize);
    context.gridSize = pattern.scale;
    context.count = *partCount;
    // The count is not trusted for an allocation: parts are added as they are read, and a
    // count beyond the text ends at its end as a fault.
    for (std::int32_t i = 0; i < *partCount; ++i) {
        context.part = i + 1;
        const auto part = readPart(cursor, report, context);
        if (!part)
            return RecordRead::Faulty;
        pattern.placements.push_back(*part);
    }
    // A record cut off by a limit may read as a valid one ("R0" of "R0x", "1" of "12").
    if (cursor.overran())
        return RecordRead::Faulty;
    if (report.on())
        report.coverage(pattern, nameAt, record);
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
        if (last.name != emptySlotName || !last.pattern.placements.empty())
            break;
        --count;
    }
    return count;
}

// After the twelfth record, whether the text goes on with more than empty lines. Only ever
// asked once the read's result is decided.
void reportBeyondTwelve(TextCursor& cursor, Reporter& report) {
    while (!cursor.atEnd()) {
        const Place at = cursor.place();
        if (!cursor.readLine().empty()) {
            report.warn(RuleProblem::ExtraRecords, at, 0);
            return;
        }
    }
}

// Reads the records into `read` (all twelve slots empty before).
HierarchyResult readRecords(TextCursor& cursor, CommandSlots& read,
                            RuleDiagnostics* diagnostics = nullptr) {
    Reporter report(diagnostics);
    HierarchyResult result;
    while (result.count < static_cast<int>(read.size()) && !cursor.atEnd()) {
        const RecordRead outcome = readRecord(cursor, read[static_cast<std::size_t>(result.count)],
                                              report, result.count + 1);
        if (outcome == RecordRead::Faulty) {
            result.failure = HierarchyFailure::BadFormat;
            break;
        }
        if (outcome == RecordRead::Dropped)
            break;
        ++result.count;
    }
    // Text beyond the file limit between two records.
    if (cursor.overran())
        result.failure = HierarchyFailure::BadFormat;
    if (report.on()) {
        if (result.failure == HierarchyFailure::BadFormat)
            report.fault(cursor, result.count + 1);
        else if (result.count == static_cast<int>(read.size()))
            reportBeyondTwelve(cursor, report);
        report.finish();
    }
    return result;
}

} // namespace

HierarchyResult readHierarchy(std::string_view bytes, CommandSlots& commands,
                              RuleDiagnostics* diagnostics) {
    ViewBuffer buffer(bytes);
    TextCursor cursor(buffer);
    CommandSlots read;
    if (diagnostics)
        *diagnostics = {};
    HierarchyResult result = readRecords(cursor, read, diagnostics);
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

namespace ornamo {

bool readHierarchyText(const std::filesystem::path& path, std::string& text) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return false;
    try {
        DescriptorBuffer file(path);
        if (!file.isOpen())
            return false;
        std::string read(hierarchyFileLimit + 1, '\0');
        std::size_t size = 0;
        while (size < read.size()) {
            const std::streamsize got =
                file.sgetn(read.data() + size, static_cast<std::streamsize>(read.size() - size));
            if (got <= 0)
                break;
            size += static_cast<std::size_t>(got);
        }
        read.resize(size);
        text = std::move(read);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::ios_base::failure&) {
    }
    return false;
}

} // namespace ornamo
