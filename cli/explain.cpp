#include "explain.h"

#include <algorithm>
#include <set>

namespace ornamo::cli {

namespace {

std::string cellText(std::int64_t column, std::int64_t row) {
    return std::to_string(column) + ',' + std::to_string(row);
}

// "part P (cells C,R size WxH O), tile O'"
std::string linkText(const ChainLink& link) {
    const Placement& c = link.cells;
    return "part " + std::to_string(link.part + 1) + " (cells " + cellText(c.x, c.y) + " size " +
           std::to_string(c.width) + 'x' + std::to_string(c.height) + ' ' +
           std::string(keyword(c.orientation)) + "), tile " + std::string(keyword(link.tile));
}

// What the search met at entry `entry` on its ways to the gap's causes: the parts it passed
// through there, and the cells where no part reached.
std::string gapEntryText(const PointOrigin& origin, std::size_t entry, std::size_t entries) {
    std::set<std::size_t> parts;
    std::vector<std::string> cells;
    for (const GapCause& cause : origin.gaps) {
        if (cause.entry == entry)
            cells.push_back(cellText(cause.column, cause.row));
        else if (cause.entry < entry)
            parts.insert(cause.path[entries - 1 - entry]); // the path runs from the newest
    }
    std::string text;
    if (!parts.empty()) {
        text = parts.size() == 1 ? "in part " : "in parts ";
        bool first = true;
        for (const std::size_t p : parts) {
            text += (first ? "" : ", ") + std::to_string(p + 1);
            first = false;
        }
    }
    if (!cells.empty()) {
        text += (text.empty() ? "" : "; ") +
                std::string(cells.size() == 1 ? "no part reaches cell " : "no part reaches cells ");
        for (std::size_t i = 0; i < cells.size(); ++i)
            text += (i ? " " : "") + cells[i];
    }
    return text.empty() ? "-" : text;
}

} // namespace

std::vector<std::string> explanationLines(const PointOrigin& origin,
                                          const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    for (std::size_t j = 0; j < names.size(); ++j)
        lines.push_back(
            std::to_string(j + 1) + ' ' + names[j] + ": " +
            (origin.covered ? linkText(origin.chain[j]) : gapEntryText(origin, j, names.size())));
    if (origin.covered) {
        lines.push_back("tile " + std::to_string(origin.tileX) + ' ' +
                        std::to_string(origin.tileY) + ' ' +
                        std::string(keyword(origin.orientation)));
        return lines;
    }
    std::string last = "gap";
    for (const GapCause& cause : origin.gaps)
        last += ' ' + std::to_string(cause.entry + 1) + ':' + cellText(cause.column, cause.row);
    lines.push_back(last);
    return lines;
}

} // namespace ornamo::cli
