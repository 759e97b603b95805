#include "ruleedit.h"

#include <algorithm>
#include <utility>

namespace ornamo {

namespace {

std::int32_t field(std::int64_t value, std::int32_t least) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, least, largestPartField));
}

Placement& part(Mosaic& pattern, std::size_t index) {
    return pattern.placements.at(index);
}

} // namespace

CellRect cellsBetween(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    const std::int32_t left = field(std::min(x0, x1), 0);
    const std::int32_t top = field(std::min(y0, y1), 0);
    const std::int32_t right = field(std::max(x0, x1), 0);
    const std::int32_t bottom = field(std::max(y0, y1), 0);
    return {left, top, right - left + 1, bottom - top + 1};
}

CellRect partCells(const Mosaic& pattern, std::size_t index) {
    const Placement& p = pattern.placements.at(index);
    return {p.x, p.y, p.width, p.height};
}

std::optional<std::size_t> partAt(const Mosaic& pattern, std::int32_t x, std::int32_t y) {
    for (std::size_t i = pattern.placements.size(); i-- > 0;) {
        const Placement& p = pattern.placements[i];
        if (x >= p.x && y >= p.y && std::int64_t{x} < std::int64_t{p.x} + p.width &&
            std::int64_t{y} < std::int64_t{p.y} + p.height)
            return i;
    }
    return std::nullopt;
}

std::size_t addPart(Mosaic& pattern, CellRect cells) {
    pattern.placements.push_back({});
    const std::size_t index = pattern.placements.size() - 1;
    resizePart(pattern, index, cells);
    return index;
}

void movePart(Mosaic& pattern, std::size_t index, std::int32_t dx, std::int32_t dy) {
    Placement& p = part(pattern, index);
    p.x = field(std::int64_t{p.x} + dx, 0);
    p.y = field(std::int64_t{p.y} + dy, 0);
}

void resizePart(Mosaic& pattern, std::size_t index, CellRect cells) {
    Placement& p = part(pattern, index);
    p.x = field(cells.x, 0);
    p.y = field(cells.y, 0);
    p.width = field(cells.width, 1);
    p.height = field(cells.height, 1);
}

void turnPart(Mosaic& pattern, std::size_t index) {
    Placement& p = part(pattern, index);
    p.orientation = compose(p.orientation, Transform::Rotate90);
    std::swap(p.width, p.height);
}

void mirrorPart(Mosaic& pattern, std::size_t index) {
    Placement& p = part(pattern, index);
    p.orientation = compose(p.orientation, Transform::Mirror);
}

void deletePart(Mosaic& pattern, std::size_t index) {
    pattern.placements.erase(pattern.placements.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                              index, pattern.placements.size())));
}

std::size_t reorderPart(Mosaic& pattern, std::size_t index, int step) {
    const auto target = static_cast<std::int64_t>(index) + step;
    if (index >= pattern.placements.size() || target < 0 ||
        target >= static_cast<std::int64_t>(pattern.placements.size()))
        return index;
    std::swap(pattern.placements[index], pattern.placements[static_cast<std::size_t>(target)]);
    return static_cast<std::size_t>(target);
}

void setGridSize(Mosaic& pattern, std::int32_t n) {
    pattern.scale = static_cast<std::uint16_t>(std::clamp<std::int32_t>(n, 1, 65535));
}

std::optional<int> insertRecord(RuleRecords& records, int after, std::string name) {
    const int size = static_cast<int>(records.commands.size());
    if (records.count >= size)
        return std::nullopt;
    const int at = std::clamp(after + 1, 0, records.count);
    for (int i = records.count; i > at; --i)
        records.commands[static_cast<std::size_t>(i)] =
            std::move(records.commands[static_cast<std::size_t>(i - 1)]);
    Command& command = records.commands[static_cast<std::size_t>(at)];
    command = Command{};
    command.name = std::move(name);
    command.pattern.scale = 2;
    command.pattern.placements = {Placement{2, 2, 0, 0, Orientation::R0}};
    ++records.count;
    return at;
}

void removeRecord(RuleRecords& records, int index) {
    if (index < 0 || index >= records.count)
        return;
    for (int i = index; i + 1 < records.count; ++i)
        records.commands[static_cast<std::size_t>(i)] =
            std::move(records.commands[static_cast<std::size_t>(i + 1)]);
    records.commands[static_cast<std::size_t>(records.count - 1)] = Command{};
    --records.count;
}

int moveRecord(RuleRecords& records, int index, int step) {
    const int target = index + step;
    if (index < 0 || index >= records.count || target < 0 || target >= records.count)
        return index;
    std::swap(records.commands[static_cast<std::size_t>(index)],
              records.commands[static_cast<std::size_t>(target)]);
    return target;
}

} // namespace ornamo
