#pragma once

// A bounded look over the bytes of a work file before it is parsed: the JSON's structure is
// followed token by token, and anything larger than a valid work file can hold is refused as
// soon as it is seen, in time and memory that do not grow with what the file claims.

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace ornamo {

/// Feeds a work file's bytes in pieces of any size and says as soon as they cannot be a work
/// file of a size this program reads. Refused: a top level that is no object, nesting deeper
/// than a work file's four levels, an object of more than 16 members, an array of more than
/// 255 elements (the command stack's capacity), a key longer than 64 bytes, a number or word
/// longer than 32, the tile's base64 longer than the work file limit, the rules' base64 longer
/// than that of the largest rules file, any other string longer than a name can be written
/// (a 64 KiB line, each byte escaped as \u00XX), and a field the format does not know whose
/// value takes more than 64 KiB. A file that passes may still be no valid JSON; the parser
/// that follows says so. The scanner holds a few dozen bytes whatever it is fed.
class WorkFileScanner {
public:
    WorkFileScanner();
    /// False once the bytes so far are refused (and for every later call).
    bool feed(const char* bytes, qsizetype size);
    /// Whether the bytes fed hold one whole top-level value.
    bool complete() const;

private:
    enum class Kind : std::uint8_t;
    enum class Next : std::uint8_t { Value, Key, Colon, Separator, End };
    struct Frame {
        bool object;
        Kind kind;
        int count;
    };
    // The bytes of a string from p on, up to its end or the end of what was fed; p is moved past
    // them.
    bool feedString(const char*& p, const char* end);
    // A byte outside strings and words that is not a blank: what the JSON says next.
    bool feedStructure(char c);
    bool startValue(char c);
    bool endValue();
    bool endString();
    bool refuse();

    std::vector<Frame> frames_;
    Next next_ = Next::Value;
    Kind pendingKind_{};    // the kind of the value a key announced
    bool inString_ = false; // inside a string (a key when next_ is Colon after it)
    bool inKey_ = false;
    bool escaped_ = false;           // the byte before was a backslash inside a string
    bool inWord_ = false;            // inside a number, true, false or null
    std::int64_t length_ = 0;        // of the string or word being read
    std::int64_t limit_ = 0;         // the string's longest length
    char key_[65] = {};              // the key being read, as far as a key may be long
    std::int64_t position_ = 0;      // bytes fed so far
    std::int64_t unknownStart_ = -1; // where the value of an unknown field began
    std::size_t unknownDepth_ = 0;   // the nesting that value began at
    bool refused_ = false;
};

} // namespace ornamo
