#include "colortext.h"

#include <cstdint>

namespace ornamo {

std::optional<Color> colorFromHex(QStringView digits) {
    if (digits.size() != 6)
        return std::nullopt;
    std::uint32_t rgb = 0;
    for (const QChar c : digits) {
        const char32_t u = c.unicode();
        const int digit = u >= '0' && u <= '9'   ? static_cast<int>(u - '0')
                          : u >= 'a' && u <= 'f' ? static_cast<int>(u - 'a' + 10)
                          : u >= 'A' && u <= 'F' ? static_cast<int>(u - 'A' + 10)
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    return makeColor(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb));
}

} // namespace ornamo
