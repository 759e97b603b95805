#include "ornamo.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <ostream>

namespace ornamo {

// ---- Tile images ----

void CopyBitmap(const Bitmap& source, Bitmap& destination) {
    destination = source;
}

void EnlargeBitmap(const Bitmap& source, Bitmap& destination, int fx, int fy) {
    if (&source == &destination) {
        const Bitmap copy(source);
        EnlargeBitmap(copy, destination, fx, fy);
        return;
    }
    if (fx <= 0 || fy <= 0) {
        destination.resizeForOverwrite(0, 0);
        return;
    }
    const std::int64_t w = std::int64_t{source.width()} * fx;
    const std::int64_t h = std::int64_t{source.height()} * fy;
    if (w > std::numeric_limits<int>::max() || h > std::numeric_limits<int>::max())
        throw std::bad_alloc();
    destination.resizeForOverwrite(static_cast<int>(w), static_cast<int>(h));
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* from = source.row(y);
        std::uint8_t* first = destination.row(y * fy);
        // Replicate each pixel fx times along the row, then the row fy - 1 times.
        for (int x = 0; x < source.width(); ++x) {
            const std::uint8_t* p = from + x * 3;
            std::uint8_t* q = first + static_cast<std::ptrdiff_t>(x) * fx * 3;
            for (int i = 0; i < fx; ++i, q += 3) {
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            }
        }
        for (int j = 1; j < fy; ++j)
            std::memcpy(destination.row(y * fy + j), first, static_cast<std::size_t>(w) * 3);
    }
}

namespace {

void swapPixels(std::uint8_t* a, std::uint8_t* b) {
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
    std::swap(a[2], b[2]);
}

void copyPixel(std::uint8_t* to, const std::uint8_t* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

} // namespace

void MirrorBitmap(Bitmap& image) {
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* r = image.row(y);
        for (int x = 0; x < w / 2; ++x)
            swapPixels(r + x * 3, r + (w - 1 - x) * 3);
    }
}

// The turns use a scratch copy of the tile: tiles are small, and reading a whole source row
// for each destination column keeps the loops simple.

void RotateBitmap90(Bitmap& image) {
    assert(image.width() == image.height());
    const int n = image.width();
    const Bitmap source(image);
    for (int y = 0; y < n; ++y) {
        std::uint8_t* to = image.row(y);
        const int sx = n - 1 - y;
        for (int x = 0; x < n; ++x)
            copyPixel(to + x * 3, source.row(x) + sx * 3);
    }
}

void RotateBitmap270(Bitmap& image) {
    assert(image.width() == image.height());
    const int n = image.width();
    const Bitmap source(image);
    for (int y = 0; y < n; ++y) {
        std::uint8_t* to = image.row(y);
        for (int x = 0; x < n; ++x)
            copyPixel(to + x * 3, source.row(n - 1 - x) + y * 3);
    }
}

void RotateBitmap180(Bitmap& image) {
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h / 2; ++y) {
        std::uint8_t* top = image.row(y);
        std::uint8_t* bottom = image.row(h - 1 - y);
        for (int x = 0; x < w; ++x)
            swapPixels(top + x * 3, bottom + (w - 1 - x) * 3);
    }
    if (h % 2 == 1) {
        std::uint8_t* middle = image.row(h / 2);
        for (int x = 0; x < w / 2; ++x)
            swapPixels(middle + x * 3, middle + (w - 1 - x) * 3);
    }
}

void transformBitmap(Bitmap& image, Transform t) {
    switch (t) {
    case Transform::Mirror:
        MirrorBitmap(image);
        break;
    case Transform::Rotate90:
        RotateBitmap90(image);
        break;
    case Transform::Rotate180:
        RotateBitmap180(image);
        break;
    case Transform::Rotate270:
        RotateBitmap270(image);
        break;
    }
}

TileView TileSet::view(unsigned o) const {
    const Bitmap& base = images_[0];
    if (o > 7 || base.isEmpty())
        return {};
    if (copies_ || o == 0)
        return {images_[o].bits(), 3, images_[o].stride(), base.width(), base.height()};
    // Where pixel (x, y) of image o lies in the base, from the definitions of the turns:
    // a quarter turn counter-clockwise reads (N-1-y, x), a half turn (N-1-x, N-1-y), a quarter
    // turn clockwise (y, N-1-x), and the mirror first reads (N-1-x, y).
    const std::ptrdiff_t right = (base.width() - 1) * std::ptrdiff_t{3};
    const std::ptrdiff_t bottom = (base.height() - 1) * base.stride();
    const std::ptrdiff_t s = base.stride();
    struct Walk {
        std::ptrdiff_t origin, columnStep, rowStep;
    };
    const Walk walks[8] = {
        {0, 3, s},                // R0: (x, y)
        {right, s, -3},           // R90: (N-1-y, x)
        {right + bottom, -3, -s}, // R180: (N-1-x, N-1-y)
        {bottom, -s, 3},          // R270: (y, N-1-x)
        {right, -3, s},           // MR0: (N-1-x, y)
        {0, s, 3},                // MR90: (y, x)
        {bottom, 3, -s},          // MR180: (x, N-1-y)
        {right + bottom, -s, -3}, // MR270: (N-1-y, N-1-x)
    };
    const Walk& w = walks[o];
    return {base.bits() + w.origin, w.columnStep, w.rowStep, base.width(), base.height()};
}

Bitmap TileSet::image(unsigned o) const {
    const TileView v = view(o);
    Bitmap result(v.width, v.height);
    for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x)
            copyPixel(result.row(y) + x * 3, v.pixel(x, y));
    return result;
}

std::uint64_t TileSet::heldBytes() const {
    std::uint64_t bytes = 0;
    for (const Bitmap& image : images_)
        bytes += image.capacityBytes();
    return bytes;
}

std::uint64_t TileSet::bytesFor(std::int64_t side, std::size_t copyLimit) {
    const std::uint64_t base = Bitmap::bytesFor(side, side);
    return base <= copyLimit ? 8 * base : base;
}

void BuildTileSet(TileSet& tiles, Bitmap&& base, std::size_t copyLimit) {
    const bool copies = Bitmap::bytesFor(base.width(), base.height()) <= copyLimit;
    if (&base != &tiles.images_[0])
        tiles.images_[0] = std::move(base);
    tiles.copies_ = copies;
    for (std::size_t i = 1; i < tiles.images_.size(); ++i) {
        if (!copies) {
            tiles.images_[i].release();
            continue;
        }
        CopyBitmap(tiles.images_[0], tiles.images_[i]);
        for (const Transform t : stepsOf(static_cast<Orientation>(i)))
            transformBitmap(tiles.images_[i], t);
    }
}

void BuildTileSet(TileSet& tiles, const Bitmap& base, std::size_t copyLimit) {
    if (&base == &tiles.base()) {
        BuildTileSet(tiles, std::move(const_cast<Bitmap&>(base)), copyLimit);
        return;
    }
    Bitmap copy(base);
    BuildTileSet(tiles, std::move(copy), copyLimit);
}

// ---- Mosaic model ----

std::ostream& operator<<(std::ostream& out, const Placement& p) {
    out << '(' << p.width << ", " << p.height << ", " << p.x << ", " << p.y << ", ";
    if (const auto word = keyword(p.orientation); !word.empty())
        out << word;
    else
        out << static_cast<int>(p.orientation);
    return out << ')';
}

void CopyMosaic(const Mosaic& source, Mosaic& destination) {
    destination = source;
}

Placement transformed(const Placement& p, Transform t, std::int64_t extent, std::int64_t tileSize) {
    // Computed in 64 bits and wrapped to 32: the steps of a substitution and of its undo are
    // sums and products, so a result that lies in 32 bits is exact whatever the values between
    // the steps did; substitutionFits() checks the results.
    const std::int64_t x = p.x, y = p.y, w = p.width, h = p.height;
    const auto narrow = [](std::int64_t v) { return static_cast<std::int32_t>(v); };
    Placement r = p;
    switch (t) {
    case Transform::Mirror:
        r.x = narrow(extent - x - w * tileSize);
        break;
    case Transform::Rotate90:
        r.x = p.y;
        r.y = narrow(extent - x - w * tileSize);
        r.width = p.height;
        r.height = p.width;
        break;
    case Transform::Rotate180:
        r.x = narrow(extent - x - w * tileSize);
        r.y = narrow(extent - y - h * tileSize);
        break;
    case Transform::Rotate270:
        r.x = narrow(extent - y - h * tileSize);
        r.y = p.x;
        r.width = p.height;
        r.height = p.width;
        break;
    }
    r.orientation = compose(p.orientation, t);
    return r;
}

void transformMosaic(Mosaic& mosaic, Transform t) {
    const std::int64_t e = mosaic.extent();
    for (Placement& p : mosaic.placements)
        p = transformed(p, t, e, mosaic.tileSize);
}

void MirrorMosaic(Mosaic& mosaic) {
    transformMosaic(mosaic, Transform::Mirror);
}
void RotateMosaic90(Mosaic& mosaic) {
    transformMosaic(mosaic, Transform::Rotate90);
}
void RotateMosaic180(Mosaic& mosaic) {
    transformMosaic(mosaic, Transform::Rotate180);
}
void RotateMosaic270(Mosaic& mosaic) {
    transformMosaic(mosaic, Transform::Rotate270);
}

void PlaceMosaic(std::int32_t sx, std::int32_t sy, std::int32_t dx, std::int32_t dy,
                 Mosaic& mosaic) {
    for (Placement& p : mosaic.placements) {
        p.width = static_cast<std::int32_t>(std::int64_t{p.width} * sx);
        p.height = static_cast<std::int32_t>(std::int64_t{p.height} * sy);
        p.x = static_cast<std::int32_t>(std::int64_t{p.x} * sx + dx);
        p.y = static_cast<std::int32_t>(std::int64_t{p.y} * sy + dy);
    }
}

void AppendMosaic(const Mosaic& source, Mosaic& destination) {
    destination.placements.insert(destination.placements.end(), source.placements.begin(),
                                  source.placements.end());
}

void SubstituteCommand(const Mosaic& pattern, Mosaic& mosaic) {
    const std::int64_t e = mosaic.extent();
    const std::int64_t t = mosaic.tileSize;
    const std::size_t count = mosaic.placements.size();
    const std::size_t parts = pattern.placements.size();
    // Each block is the old list transformed as it is copied: the same entries, in the same
    // order, as copying the mosaic, turning the copy and placing it, part after part. The
    // blocks are written in place, the last first, so that the old list (block 0) is read
    // before it is overwritten, and a one-part command allocates nothing.
    std::vector<Placement>& list = mosaic.placements;
    list.resize(count * parts);
    for (std::size_t block = parts; block-- > 0;) {
        const Placement& part = pattern.placements[block];
        const TransformSteps steps = stepsOf(part.orientation);
        const std::int64_t dx = std::int64_t{part.x} * e;
        const std::int64_t dy = std::int64_t{part.y} * e;
        Placement* to = list.data() + block * count;
        for (std::size_t i = 0; i < count; ++i) {
            Placement p = list[i];
            for (const Transform step : steps)
                p = transformed(p, step, e, t);
            p.width = static_cast<std::int32_t>(std::int64_t{p.width} * part.width);
            p.height = static_cast<std::int32_t>(std::int64_t{p.height} * part.height);
            p.x = static_cast<std::int32_t>(std::int64_t{p.x} * part.width + dx);
            p.y = static_cast<std::int32_t>(std::int64_t{p.y} * part.height + dy);
            to[i] = p;
        }
    }
    mosaic.scale = static_cast<std::uint16_t>(mosaic.scale * pattern.scale);
}

PlacementMap identityMap() {
    PlacementMap map;
    for (std::size_t i = 0; i < 4; ++i)
        map.rows[i][i] = 1;
    for (std::size_t o = 0; o < 8; ++o)
        map.orientations[o] = static_cast<Orientation>(o);
    return map;
}

PlacementMap partMap(const Placement& part, std::int64_t extent, std::int64_t tileSize) {
    using Row = std::array<std::uint32_t, 5>;
    const auto e = static_cast<std::uint32_t>(extent);
    const auto t = static_cast<std::uint32_t>(tileSize);
    // E - v - size T, as a row.
    const auto flipped = [&](const Row& v, const Row& size) {
        Row r;
        for (std::size_t k = 0; k < 5; ++k)
            r[k] = 0u - v[k] - size[k] * t;
        r[4] += e;
        return r;
    };
    PlacementMap map = identityMap();
    auto& [width, height, x, y] = map.rows;
    for (const Transform step : stepsOf(part.orientation)) {
        const PlacementMap before = map;
        const auto& [w0, h0, x0, y0] = before.rows;
        switch (step) {
        case Transform::Mirror:
            x = flipped(x0, w0);
            break;
        case Transform::Rotate90:
            map.rows = {h0, w0, y0, flipped(x0, w0)};
            break;
        case Transform::Rotate180:
            x = flipped(x0, w0);
            y = flipped(y0, h0);
            break;
        case Transform::Rotate270:
            map.rows = {h0, w0, flipped(y0, h0), x0};
            break;
        }
        for (Orientation& o : map.orientations)
            o = compose(o, step);
    }
    const auto stretch = [](Row& r, std::uint32_t factor, std::uint32_t shift) {
        for (std::uint32_t& v : r)
            v *= factor;
        r[4] += shift;
    };
    const auto pw = static_cast<std::uint32_t>(part.width);
    const auto ph = static_cast<std::uint32_t>(part.height);
    stretch(width, pw, 0);
    stretch(height, ph, 0);
    stretch(x, pw, static_cast<std::uint32_t>(part.x) * e);
    stretch(y, ph, static_cast<std::uint32_t>(part.y) * e);
    return map;
}

PlacementMap composed(const PlacementMap& first, const PlacementMap& second) {
    PlacementMap map;
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t k = 0; k < 5; ++k) {
            std::uint32_t v = k == 4 ? second.rows[i][4] : 0u;
            for (std::size_t j = 0; j < 4; ++j)
                v += second.rows[i][j] * first.rows[j][k];
            map.rows[i][k] = v;
        }
    }
    for (std::size_t o = 0; o < 8; ++o)
        map.orientations[o] = second.orientations[static_cast<std::size_t>(first.orientations[o])];
    return map;
}

void applyMap(const PlacementMap& map, std::vector<Placement>& placements) {
    for (Placement& p : placements) {
        const std::uint32_t v[4] = {
            static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height),
            static_cast<std::uint32_t>(p.x), static_cast<std::uint32_t>(p.y)};
        std::int32_t field[4];
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& r = map.rows[i];
            field[i] = static_cast<std::int32_t>(r[0] * v[0] + r[1] * v[1] + r[2] * v[2] +
                                                 r[3] * v[3] + r[4]);
        }
        const auto o = static_cast<std::size_t>(p.orientation);
        p = {field[0], field[1], field[2], field[3], o < 8 ? map.orientations[o] : p.orientation};
    }
}

void ResetMosaic(Mosaic& mosaic) {
    mosaic.placements.assign(1, Placement{});
    mosaic.scale = 1;
}

bool isUndoable(const Mosaic& pattern) {
    if (pattern.placements.empty() || pattern.scale == 0)
        return false;
    const Placement& first = pattern.placements.front();
    return first.width != 0 && first.height != 0;
}

namespace {

constexpr std::int64_t int32Low = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t int32High = std::numeric_limits<std::int32_t>::max();

// v x factor + shift exactly, or the 64-bit value nearest to it. Shifts are far below 2^62, so
// a product beyond 64 bits stays beyond them after the shift.
std::int64_t stretched(std::int64_t v, std::int64_t factor, std::int64_t shift) {
    constexpr std::int64_t high = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t low = std::numeric_limits<std::int64_t>::min();
    std::int64_t product;
    if (__builtin_mul_overflow(v, factor, &product))
        return (v < 0) == (factor < 0) ? high : low;
    std::int64_t sum;
    if (__builtin_add_overflow(product, shift, &sum))
        return shift < 0 ? low : high;
    return sum;
}

// The least and the greatest of some values.
struct Span {
    std::int64_t low = std::numeric_limits<std::int64_t>::max();
    std::int64_t high = std::numeric_limits<std::int64_t>::min();
    void add(std::int64_t v) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    // E minus each value.
    Span flipped(std::int64_t e) const { return {e - high, e - low}; }
};

// The spans of the placements' fields and far edges (x + width T, y + height T). A turn makes
// each of them one of these or E minus one, so the spans of a turned mosaic follow from them
// exactly, with no walk over the placements. Every value stays within 2^31 + 2E of 0.
struct Spans {
    Span x, y, width, height, farX, farY;
};

// The spans after `turn`: the formulas of transformed(), without its wrap to 32 bits.
Spans turned(const Spans& s, Transform turn, std::int64_t e) {
    switch (turn) {
    case Transform::Mirror:
        return {s.farX.flipped(e), s.y, s.width, s.height, s.x.flipped(e), s.farY};
    case Transform::Rotate90:
        return {s.y, s.farX.flipped(e), s.height, s.width, s.farY, s.x.flipped(e)};
    case Transform::Rotate180:
        return {s.farX.flipped(e), s.farY.flipped(e), s.width,
                s.height,          s.x.flipped(e),    s.y.flipped(e)};
    case Transform::Rotate270:
        return {s.farY.flipped(e), s.x, s.height, s.width, s.y.flipped(e), s.farX};
    }
    return s;
}

// The first value of one axis of a placed copy that leaves 32 bits: its positions, sizes and
// far edges, each stretched by `factor` (the extremes of a stretch lie at the span's ends) and
// the positions shifted by `shift`.
Excess axisExcess(const Span& position, const Span& size, const Span& far, std::int64_t factor,
                  std::int64_t shift) {
    const struct {
        const Span& span;
        std::int64_t shift;
        Limit limit;
    } values[] = {{position, shift, Limit::Coordinate},
                  {size, 0, Limit::Enlargement},
                  {far, shift, Limit::Coordinate}};
    for (const auto& v : values)
        for (const std::int64_t end : {v.span.low, v.span.high}) {
            const std::int64_t r = stretched(end, factor, v.shift);
            if (r > int32High)
                return {v.limit, r, int32High};
            if (r < int32Low)
                return {v.limit, r, int32Low};
        }
    return {};
}

} // namespace

Excess substitutionExcess(const Mosaic& pattern, const Mosaic& mosaic, std::int64_t* reach) {
    const std::int64_t newExtent = std::int64_t{mosaic.scale} * pattern.scale * mosaic.tileSize;
    if (newExtent > maxExtent)
        return {Limit::Extent, newExtent, maxExtent};
    const auto count = static_cast<std::int64_t>(mosaic.placements.size());
    const auto parts = static_cast<std::int64_t>(pattern.placements.size());
    if (count * parts > maxPlacements)
        return {Limit::Placements, count * parts, maxPlacements};
    if (count == 0)
        return {};

    const std::int64_t e = mosaic.extent();
    const std::int64_t t = mosaic.tileSize;
    Spans spans;
    for (const Placement& p : mosaic.placements) {
        spans.x.add(p.x);
        spans.y.add(p.y);
        spans.width.add(p.width);
        spans.height.add(p.height);
        spans.farX.add(p.x + std::int64_t{p.width} * t);
        spans.farY.add(p.y + std::int64_t{p.height} * t);
    }
    if (reach) {
        const auto magnitude = [](const Span& s) { return std::max(-s.low, s.high); };
        *reach = std::max({e, magnitude(spans.x), magnitude(spans.y), magnitude(spans.farX),
                           magnitude(spans.farY)});
    }
    // Each copy turned as the substitution turns it (values above 7 have no steps, like R0),
    // then stretched and shifted by its part on each axis. Only the results count: the steps
    // are sums and products wrapped to 32 bits, so a result in range is exact whatever the
    // values between the steps did. Undo divides exact results exactly and turns back through
    // the same wrapping steps, so it too gives back every value exactly.
    for (const Placement& part : pattern.placements) {
        Spans s = spans;
        for (const Transform step : stepsOf(part.orientation))
            s = turned(s, step, e);
        const Excess x = axisExcess(s.x, s.width, s.farX, part.width, std::int64_t{part.x} * e);
        if (x.exceeds())
            return x;
        const Excess y = axisExcess(s.y, s.height, s.farY, part.height, std::int64_t{part.y} * e);
        if (y.exceeds())
            return y;
    }
    return {};
}

bool substitutionFits(const Mosaic& pattern, const Mosaic& mosaic) {
    return !substitutionExcess(pattern, mosaic).exceeds();
}

} // namespace ornamo
