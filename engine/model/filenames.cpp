#include "filenames.h"

namespace ornamo {

std::string withBmpExtension(std::string_view name) {
    constexpr std::string_view extension = ".bmp";
    std::string result(name);
    if (!name.ends_with(extension))
        result += extension;
    return result;
}

} // namespace ornamo
