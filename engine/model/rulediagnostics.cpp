#include "rulediagnostics.h"

#include <algorithm>

namespace ornamo {

bool RuleDiagnostics::hasError() const {
    return std::any_of(list.begin(), list.end(),
                       [](const RuleDiagnostic& d) { return d.kind == DiagnosticKind::Error; });
}

namespace {

// The length of the valid UTF-8 sequence at the start of `text` that encodes a printable
// character (no C1 control, no surrogate, no overlong form); 0 when there is none.
std::size_t printableSequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    char32_t code;
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool control = code >= 0x80 && code < 0xA0;
    if (overlong || surrogate || control || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::string printableExcerpt(std::string_view text, std::size_t limit) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t shown = 0;
    while (!text.empty()) {
        if (shown == limit) {
            out += "…";
            break;
        }
        const std::size_t length = printableSequence(text);
        if (text.front() == '\\') {
            out += "\\\\";
        } else if (length > 0) {
            out.append(text.substr(0, length));
        } else if (text.front() == '\t') {
            out += "\\t";
        } else {
            const auto b = static_cast<unsigned char>(text.front());
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        }
        text.remove_prefix(std::max<std::size_t>(length, 1));
        ++shown;
    }
    return out;
}

} // namespace ornamo
