#pragma once

// A colour written as text: the six hexadecimal digits RRGGBB that ornamo-render's --gap takes
// and a work file keeps after its "#".

#include "bitmap.h"

#include <QStringView>

#include <optional>

namespace ornamo {

/// The colour of exactly six hexadecimal digits RRGGBB, in either case; nullopt for any other
/// text (a prefix, a sign, a blank, fewer or more digits, digits of other scripts).
std::optional<Color> colorFromHex(QStringView digits);

} // namespace ornamo
