#pragma once

// The name a saved mosaic gets.

#include <string>
#include <string_view>

namespace ornamo {

/// `name` with ".bmp" appended, unless its last four bytes are exactly ".bmp" (case included:
/// "obraz.BMP" becomes "obraz.BMP.bmp"). The name is otherwise kept byte for byte.
std::string withBmpExtension(std::string_view name);

} // namespace ornamo
