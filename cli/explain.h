#pragma once

// The lines of --explain: where a pixel of the mosaic comes from, for people and scripts.

#include "provenance.h"

#include <string>
#include <vector>

namespace ornamo::cli {

/// One line per stack entry, the oldest first, then the line scripts read: "tile TX TY O", or
/// "gap" and each cause as " K:C,R" (stack entry K counted from 1 = the oldest, grid cell C,R).
/// `names` holds the entries' names as shown (UTF-8), the oldest first.
std::vector<std::string> explanationLines(const PointOrigin& origin,
                                          const std::vector<std::string>& names);

} // namespace ornamo::cli
