#include "provenance.h"

#include <algorithm>
#include <utility>

namespace ornamo {

namespace {

// Division rounding towards minus infinity: a copy stretched w times maps the pixels
// [q w, q w + w) of the stretch back to pixel q, on either side of 0.
std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

Transform undone(Transform t) {
    switch (t) {
    case Transform::Rotate90:
        return Transform::Rotate270;
    case Transform::Rotate270:
        return Transform::Rotate90;
    default:
        return t; // a mirror and a half turn undo themselves
    }
}

// The part's stretch and shift, as PlaceMosaic does it, on a rectangle of pixels.
MosaicRect placed(const MosaicRect& r, const Placement& part, std::int64_t extent) {
    const std::int64_t dx = std::int64_t{part.x} * extent, dy = std::int64_t{part.y} * extent;
    return {r.left * part.width + dx, r.top * part.height + dy, r.right * part.width + dx,
            r.bottom * part.height + dy};
}

MosaicRect turnedAndPlaced(MosaicRect r, const Placement& part, std::int64_t extent) {
    for (const Transform step : stepsOf(part.orientation))
        r = transformRect(r, step, extent);
    return placed(r, part, extent);
}

} // namespace

void transformPixel(std::int64_t& x, std::int64_t& y, Transform t, std::int64_t extent) {
    // The pixel maps behind the placement formulas of the mosaic transforms: a placement covers
    // a pixel before the transform exactly when the transformed placement covers its image.
    const std::int64_t u = x, v = y, last = extent - 1;
    switch (t) {
    case Transform::Mirror:
        x = last - u;
        break;
    case Transform::Rotate90:
        x = v;
        y = last - u;
        break;
    case Transform::Rotate180:
        x = last - u;
        y = last - v;
        break;
    case Transform::Rotate270:
        x = last - v;
        y = u;
        break;
    }
}

MosaicRect transformRect(const MosaicRect& r, Transform t, std::int64_t e) {
    switch (t) {
    case Transform::Mirror:
        return {e - r.right, r.top, e - r.left, r.bottom};
    case Transform::Rotate90:
        return {r.top, e - r.right, r.bottom, e - r.left};
    case Transform::Rotate180:
        return {e - r.right, e - r.bottom, e - r.left, e - r.top};
    case Transform::Rotate270:
        return {e - r.bottom, r.left, e - r.top, r.right};
    }
    return r;
}

Provenance::Provenance(std::int64_t tileSize, const std::vector<const Mosaic*>& patterns)
    : tileSize_(tileSize) {
    extents_.push_back(tileSize);
    MosaicRect extentBefore{0, 0, tileSize, tileSize}; // the reset mosaic's one tile
    for (const Mosaic* pattern : patterns) {
        const std::int64_t e = extents_.back();
        Level level;
        level.grid = pattern->scale;
        MosaicRect all{0, 0, 0, 0};
        for (const Placement& cells : pattern->placements) {
            Part part{cells, {}};
            if (cells.width > 0 && cells.height > 0 && !extentBefore.isEmpty()) {
                part.copyExtent = turnedAndPlaced(extentBefore, cells, e);
                all = all.isEmpty() ? part.copyExtent
                                    : MosaicRect{std::min(all.left, part.copyExtent.left),
                                                 std::min(all.top, part.copyExtent.top),
                                                 std::max(all.right, part.copyExtent.right),
                                                 std::max(all.bottom, part.copyExtent.bottom)};
            }
            level.parts.push_back(part);
        }
        extentBefore = all;
        levels_.push_back(std::move(level));
        extents_.push_back(e * pattern->scale);
    }
}

bool Provenance::search(std::size_t level, std::int64_t x, std::int64_t y, PointOrigin& origin,
                        std::vector<std::size_t>& path) const {
    if (level == 0) {
        if (x < 0 || y < 0 || x >= tileSize_ || y >= tileSize_)
            return false; // unreachable: the copies' extents are exact at the first level
        origin.tileX = static_cast<std::int32_t>(x);
        origin.tileY = static_cast<std::int32_t>(y);
        return true;
    }
    const Level& here = levels_[level - 1];
    const std::int64_t e = extents_[level - 1];
    bool reached = false;
    // Later parts make later blocks, which are drawn over the earlier ones.
    for (std::size_t i = here.parts.size(); i-- > 0;) {
        const Part& part = here.parts[i];
        if (!part.copyExtent.contains(x, y))
            continue;
        reached = true;
        std::int64_t u = floorDivide(x - std::int64_t{part.cells.x} * e, part.cells.width);
        std::int64_t v = floorDivide(y - std::int64_t{part.cells.y} * e, part.cells.height);
        const TransformSteps steps = stepsOf(part.cells.orientation);
        for (auto step = steps.end(); step != steps.begin();) {
            --step;
            transformPixel(u, v, undone(*step), e);
        }
        path.push_back(i);
        if (search(level - 1, u, v, origin, path)) {
            origin.chain[level - 1].part = i;
            origin.chain[level - 1].cells = part.cells;
            return true;
        }
        path.pop_back();
    }
    if (!reached)
        origin.gaps.push_back({level - 1, floorDivide(x, e), floorDivide(y, e), path});
    return false;
}

PointOrigin Provenance::explain(std::int64_t x, std::int64_t y) const {
    PointOrigin origin;
    origin.chain.resize(levels_.size());
    std::vector<std::size_t> path;
    origin.covered = search(levels_.size(), x, y, origin, path);
    if (!origin.covered) {
        origin.chain.clear();
        return origin;
    }
    origin.gaps.clear();
    // Block i of entry j's list starts at i times the count before it; the orientation gathers
    // each part's turn, oldest first, as the substitution composes it.
    Orientation o = Orientation::R0;
    std::size_t countBefore = 1;
    for (std::size_t j = 0; j < levels_.size(); ++j) {
        ChainLink& link = origin.chain[j];
        for (const Transform step : stepsOf(link.cells.orientation))
            o = compose(o, step);
        link.tile = o;
        origin.placement += link.part * countBefore;
        countBefore *= levels_[j].parts.size();
    }
    origin.orientation = o;
    return origin;
}

std::vector<MosaicRect> Provenance::copies(std::size_t entry, std::size_t part) const {
    if (entry >= levels_.size() || part >= levels_[entry].parts.size())
        return {};
    const std::int64_t e = extents_[entry];
    const Placement& cells = levels_[entry].parts[part].cells;
    std::vector<MosaicRect> rects{
        placed({0, 0, e, e}, {cells.width, cells.height, cells.x, cells.y, Orientation::R0}, e)};
    for (std::size_t j = entry + 1; j < levels_.size(); ++j) {
        std::vector<MosaicRect> next;
        next.reserve(rects.size() * levels_[j].parts.size());
        for (const Part& later : levels_[j].parts)
            for (const MosaicRect& r : rects)
                next.push_back(turnedAndPlaced(r, later.cells, extents_[j]));
        rects = std::move(next);
    }
    return rects;
}

} // namespace ornamo
