#include "workfilescan.h"

#include "hierarchy.h"
#include "workfile.h"

#include <cstring>
#include <string_view>

namespace ornamo {

// What a value is in a work file, from the keys that lead to it.
enum class WorkFileScanner::Kind : std::uint8_t {
    Root,
    Tile,
    TileBytes,
    Rules,
    RulesBytes,
    List,
    View,
    Stack,
    Entry,
    Known,   // any other field of the format (a name's {"base64": ...} included)
    Unknown, // a field the format does not have, and what it holds
};

namespace {

constexpr int deepest = 4;      // the root, "stack", an entry, a name written as base64
constexpr int mostMembers = 16; // the root has nine
constexpr auto mostElements = static_cast<int>(CommandStackModel::capacity); // the stack's entries
constexpr std::int64_t longestKey = 64;
constexpr std::int64_t longestWord = 32;
constexpr std::int64_t unknownFieldLimit = std::int64_t{64} << 10;
// A name is one line of a rules file; written as JSON each byte may take six (\u00XX).
constexpr std::int64_t nameTextLimit = 6 * static_cast<std::int64_t>(hierarchyLineLimit) + 16;
constexpr std::int64_t rulesBase64Limit =
    4 * ((static_cast<std::int64_t>(hierarchyFileLimit) + 1 + 2) / 3);

bool isWordByte(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '+' || c == '.' ||
           c == 'E';
}

} // namespace

WorkFileScanner::WorkFileScanner() {
    frames_.reserve(deepest);
}

bool WorkFileScanner::refuse() {
    refused_ = true;
    return false;
}

bool WorkFileScanner::complete() const {
    return !refused_ && next_ == Next::End;
}

bool WorkFileScanner::startValue(char c) {
    if (c == ']' && !frames_.empty() && !frames_.back().object && frames_.back().count == 0) {
        frames_.pop_back(); // an empty array
        return endValue();
    }
    Kind kind = Kind::Root;
    if (!frames_.empty()) {
        Frame& parent = frames_.back();
        if (parent.object) {
            kind = pendingKind_;
        } else {
            if (++parent.count > mostElements)
                return refuse();
            kind = parent.kind == Kind::Stack     ? Kind::Entry
                   : parent.kind == Kind::Unknown ? Kind::Unknown
                                                  : Kind::Known;
        }
    } else if (c != '{') {
        return refuse();
    }
    if (kind == Kind::Unknown && unknownStart_ < 0) {
        unknownStart_ = position_ - 1;
        unknownDepth_ = frames_.size();
    }
    switch (c) {
    case '{':
    case '[':
        if (frames_.size() == deepest)
            return refuse();
        frames_.push_back({c == '{', kind, 0});
        next_ = c == '{' ? Next::Key : Next::Value;
        return true;
    case '"':
        inString_ = true;
        inKey_ = false;
        length_ = 0;
        limit_ = kind == Kind::TileBytes    ? workFileLimit
                 : kind == Kind::RulesBytes ? rulesBase64Limit
                 : kind == Kind::Unknown    ? unknownFieldLimit
                                            : nameTextLimit;
        return true;
    default:
        if (!isWordByte(c))
            return refuse();
        inWord_ = true;
        length_ = 1;
        return true;
    }
}

bool WorkFileScanner::endValue() {
    if (unknownStart_ >= 0 && frames_.size() == unknownDepth_)
        unknownStart_ = -1;
    next_ = frames_.empty() ? Next::End : Next::Separator;
    return true;
}

bool WorkFileScanner::endString() {
    inString_ = false;
    if (!inKey_)
        return endValue();
    Frame& object = frames_.back();
    if (++object.count > mostMembers)
        return refuse();
    const std::string_view key(key_, static_cast<std::size_t>(length_));
    const auto is = [&](std::initializer_list<std::string_view> names) {
        for (const std::string_view name : names)
            if (key == name)
                return true;
        return false;
    };
    Kind kind = Kind::Unknown;
    switch (object.kind) {
    case Kind::Root:
        kind = key == "tile"                                    ? Kind::Tile
               : key == "rules"                                 ? Kind::Rules
               : key == "list"                                  ? Kind::List
               : key == "view"                                  ? Kind::View
               : key == "stack"                                 ? Kind::Stack
               : is({"check", "format", "gapColor", "version"}) ? Kind::Known
                                                                : Kind::Unknown;
        break;
    case Kind::Tile:
        kind = key == "bmp" ? Kind::TileBytes : Kind::Unknown;
        break;
    case Kind::Rules:
        kind = key == "bytes" ? Kind::RulesBytes : key == "fileName" ? Kind::Known : Kind::Unknown;
        break;
    case Kind::List:
        kind = is({"selected", "caption", "editText"}) ? Kind::Known : Kind::Unknown;
        break;
    case Kind::View:
        kind = is({"shrinkFactor", "noScale", "factor", "factorNoScale", "scrollX", "scrollY"})
                   ? Kind::Known
                   : Kind::Unknown;
        break;
    case Kind::Entry:
        kind = is({"command", "name"}) ? Kind::Known : Kind::Unknown;
        break;
    case Kind::Known:
        kind = key == "base64" ? Kind::Known : Kind::Unknown;
        break;
    default:
        break;
    }
    pendingKind_ = kind;
    next_ = Next::Colon;
    return true;
}

bool WorkFileScanner::feed(const char* bytes, qsizetype size) {
    if (refused_)
        return false;
    const char* p = bytes;
    const char* const end = bytes + size;
    while (p < end) {
        if (inString_) {
            if (!feedString(p, end))
                return false;
            continue;
        }
        const char c = *p++;
        ++position_;
        if (unknownStart_ >= 0 && position_ - unknownStart_ > unknownFieldLimit)
            return refuse();
        if (inWord_) {
            if (isWordByte(c)) {
                if (++length_ > longestWord)
                    return refuse();
                continue;
            }
            inWord_ = false;
            endValue();
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (!feedStructure(c))
            return false;
    }
    return true;
}

bool WorkFileScanner::feedString(const char*& p, const char* end) {
    // Straight to the next quote or backslash.
    const char* stop = p;
    if (escaped_) {
        escaped_ = false;
        ++stop;
    }
    while (stop < end && *stop != '"' && *stop != '\\')
        ++stop;
    const auto run = static_cast<std::int64_t>(stop - p);
    if (length_ + run > limit_)
        return refuse();
    if (inKey_)
        std::memcpy(key_ + length_, p, static_cast<std::size_t>(run));
    length_ += run;
    position_ += run;
    p = stop;
    if (p == end)
        return true;
    ++position_;
    if (*p++ != '\\')
        return endString();
    if (++length_ > limit_)
        return refuse();
    if (inKey_)
        key_[length_ - 1] = '\\';
    escaped_ = true;
    return true;
}

bool WorkFileScanner::feedStructure(char c) {
    switch (next_) {
    case Next::Value:
        return startValue(c);
    case Next::Key:
        if (c == '"') {
            inString_ = inKey_ = true;
            length_ = 0;
            limit_ = longestKey;
        } else if (c == '}' && frames_.back().count == 0) {
            frames_.pop_back(); // an empty object
            endValue();
        } else {
            return refuse();
        }
        return true;
    case Next::Colon:
        if (c != ':')
            return refuse();
        next_ = Next::Value;
        return true;
    case Next::Separator:
        if (c == ',') {
            next_ = frames_.back().object ? Next::Key : Next::Value;
        } else if (c == (frames_.back().object ? '}' : ']')) {
            frames_.pop_back();
            endValue();
        } else {
            return refuse();
        }
        return true;
    case Next::End:
        return refuse();
    }
    return true;
}

} // namespace ornamo
