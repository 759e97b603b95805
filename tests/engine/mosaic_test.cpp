#include "commandstack.h"
#include "ornamo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

using namespace ornamo;
using O = Orientation;

namespace {

Placement P(int w, int h, int x, int y, O o) {
    return {w, h, x, y, o};
}

Mosaic singleTile(std::uint16_t tileSize = 40) {
    Mosaic m;
    m.tileSize = tileSize;
    ResetMosaic(m);
    return m;
}

Mosaic pattern(std::uint16_t grid, std::vector<Placement> parts) {
    Mosaic p;
    p.scale = grid;
    p.placements = std::move(parts);
    return p;
}

const Mosaic square2 = pattern(2, {P(1, 1, 0, 0, O::R0), P(1, 1, 1, 0, O::R90),
                                   P(1, 1, 0, 1, O::MR0), P(1, 1, 1, 1, O::R180)});

// The original 16-bit model, kept as a reference: every field and every sum modulo 65536, and
// the substitution done by whole copies of the mosaic, one per part.
struct Placement16 {
    std::uint16_t width, height, x, y;
    std::uint8_t orientation;
};
struct Mosaic16 {
    std::uint16_t scale, tileSize;
    std::vector<Placement16> placements;
};

void transform16(Mosaic16& m, Transform t) {
    const int e = m.scale * m.tileSize, tileSize = m.tileSize;
    for (Placement16& p : m.placements) {
        const Placement16 q = p;
        const auto farX = static_cast<std::uint16_t>(e - q.x - q.width * tileSize);
        const auto farY = static_cast<std::uint16_t>(e - q.y - q.height * tileSize);
        // The new corner, in the order of Transform: mirror, quarter ccw, half, quarter cw.
        const std::uint16_t corners[4][2] = {{farX, q.y}, {q.y, farX}, {farX, farY}, {farY, q.x}};
        p.x = corners[static_cast<int>(t)][0];
        p.y = corners[static_cast<int>(t)][1];
        if (t == Transform::Rotate90 || t == Transform::Rotate270)
            std::swap(p.width, p.height);
        p.orientation = static_cast<std::uint8_t>(compose(static_cast<O>(q.orientation), t));
    }
}

void substitute16(const Mosaic& pat, Mosaic16& m) {
    const Mosaic16 saved = m;
    const int e = saved.scale * saved.tileSize;
    m.placements.clear();
    for (const Placement& part : pat.placements) {
        Mosaic16 temp = saved;
        const int o = static_cast<int>(part.orientation);
        if (o >= 4 && o <= 7)
            transform16(temp, Transform::Mirror);
        if (o <= 7 && o % 4 != 0)
            transform16(temp, static_cast<Transform>(o % 4)); // the quarter turns count 1..3
        for (Placement16& p : temp.placements) {
            p.width = static_cast<std::uint16_t>(p.width * part.width);
            p.height = static_cast<std::uint16_t>(p.height * part.height);
            p.x = static_cast<std::uint16_t>(p.x * part.width + part.x * e);
            p.y = static_cast<std::uint16_t>(p.y * part.height + part.y * e);
        }
        m.placements.insert(m.placements.end(), temp.placements.begin(), temp.placements.end());
    }
    m.scale = static_cast<std::uint16_t>(m.scale * pat.scale);
}

// The substitution by whole copies of the mosaic, one per part: the copy taken through the
// part's steps, stretched and shifted into its cell, and appended in part order.
Mosaic substitutedByCopies(const Mosaic& pat, const Mosaic& m) {
    void (*const routines[])(Mosaic&) = {MirrorMosaic, RotateMosaic90, RotateMosaic180,
                                         RotateMosaic270}; // in the order of Transform
    const auto e = static_cast<std::int32_t>(m.extent());
    Mosaic result;
    CopyMosaic(m, result);
    result.placements.clear();
    for (const Placement& part : pat.placements) {
        Mosaic copy;
        CopyMosaic(m, copy);
        for (const Transform t : stepsOf(part.orientation))
            routines[static_cast<int>(t)](copy);
        PlaceMosaic(part.width, part.height, part.x * e, part.y * e, copy);
        AppendMosaic(copy, result);
    }
    result.scale = static_cast<std::uint16_t>(m.scale * pat.scale);
    return result;
}

// Where an exact value lies in 0..65535 it must equal the 16-bit one.
bool agrees(std::int32_t exact, std::uint16_t wrapped) {
    return exact < 0 || exact > 65535 || exact == wrapped;
}

} // namespace

TEST(Mosaic, WorkedExampleBothSubstitutionsInOrder) {
    Mosaic m = singleTile();
    SubstituteCommand(square2, m);
    EXPECT_EQ(m.scale, 2);
    const std::vector<Placement> first = {P(1, 1, 0, 0, O::R0), P(1, 1, 40, 0, O::R90),
                                          P(1, 1, 0, 40, O::MR0), P(1, 1, 40, 40, O::R180)};
    EXPECT_EQ(m.placements, first);
    SubstituteCommand(square2, m);
    EXPECT_EQ(m.scale, 4);
    const std::vector<Placement> second = {
        P(1, 1, 0, 0, O::R0),       P(1, 1, 40, 0, O::R90),    P(1, 1, 0, 40, O::MR0),
        P(1, 1, 40, 40, O::R180),   P(1, 1, 80, 40, O::R90),   P(1, 1, 80, 0, O::R180),
        P(1, 1, 120, 40, O::MR90),  P(1, 1, 120, 0, O::R270),  P(1, 1, 40, 80, O::MR0),
        P(1, 1, 0, 80, O::MR270),   P(1, 1, 40, 120, O::R0),   P(1, 1, 0, 120, O::MR180),
        P(1, 1, 120, 120, O::R180), P(1, 1, 80, 120, O::R270), P(1, 1, 120, 80, O::MR180),
        P(1, 1, 80, 80, O::R0)};
    EXPECT_EQ(m.placements, second);
}

// Parts that stick out of their grid, turned by later commands, reach negative positions: with
// exact arithmetic they keep their true positions, the block layout equals the whole copies, and
// undo restores every step.
TEST(Mosaic, OutOfSquarePlacementsUndoExactlyAndAgreeWith16BitsInRange) {
    std::mt19937 rng(2024);
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    for (int round = 0; round < 300; ++round) {
        Mosaic m = singleTile(static_cast<std::uint16_t>(pick(1, 40)));
        Mosaic16 m16{1, m.tileSize, {{1, 1, 0, 0, 0}}};
        std::vector<Mosaic> history{m};
        std::vector<Mosaic> patterns;
        for (int step = 0; step < 4; ++step) {
            const auto grid = static_cast<std::uint16_t>(pick(1, 3));
            std::vector<Placement> parts(static_cast<std::size_t>(pick(1, 3)));
            for (Placement& part : parts) // cells up to 3 lie outside the smaller grids
                part =
                    P(pick(1, 3), pick(1, 3), pick(0, 3), pick(0, 3), static_cast<O>(pick(0, 7)));
            const Mosaic pat = pattern(grid, parts);
            if (!substitutionFits(pat, m))
                break;
            const Mosaic byCopies = substitutedByCopies(pat, m);
            SubstituteCommand(pat, m);
            ASSERT_EQ(m.placements, byCopies.placements);
            substitute16(pat, m16);
            patterns.push_back(pat);
            history.push_back(m);
            ASSERT_EQ(m16.placements.size(), m.placements.size());
            for (std::size_t i = 0; i < m.placements.size(); ++i) {
                const Placement& p = m.placements[i];
                const Placement16& q = m16.placements[i];
                EXPECT_TRUE(agrees(p.x, q.x) && agrees(p.y, q.y) && agrees(p.width, q.width) &&
                            agrees(p.height, q.height))
                    << p << " against " << q.width << ", " << q.height << ", " << q.x << ", "
                    << q.y;
                EXPECT_EQ(static_cast<int>(p.orientation), q.orientation);
            }
        }
        for (std::size_t k = patterns.size(); k-- > 0;) {
            undoSubstitution(patterns[k], m);
            ASSERT_EQ(m.placements, history[k].placements) << "round " << round << " undo " << k;
            ASSERT_EQ(m.scale, history[k].scale);
        }
    }
}

// Each bound of the model, a step inside it and a step outside: the extent, the count, and
// every field and far edge on each axis by its own factors, through turns and mirrors.
TEST(Mosaic, SubstitutionFitsExactlyTheModel) {
    constexpr int top = std::numeric_limits<std::int32_t>::max(); // 2^31 - 1
    constexpr int low = std::numeric_limits<std::int32_t>::min();
    constexpr int half = 1 << 30;
    struct Case {
        const char* name;
        Mosaic mosaic;
        Mosaic pat;
        bool fits;
    };
    // `count` copies of p on a mosaic of `scale` tiles of side t.
    const auto at = [](std::uint16_t t, Placement p, std::uint16_t scale = 1, int count = 1) {
        Mosaic m = singleTile(t);
        m.scale = scale;
        m.placements.assign(static_cast<std::size_t>(count), p);
        return m;
    };
    const auto one = [](Placement part) { return pattern(1, {part}); };
    const auto parts = [](std::size_t n) { return pattern(1, std::vector<Placement>(n)); };
    const Placement tile = P(1, 1, 0, 0, O::R0);
    const Case cases[] = {
        {"extent exactly 65535", at(65535, tile), one(tile), true},
        {"extent 65536", at(16384, tile), pattern(4, {tile}), false},
        {"65535 placements", at(1, tile, 1, 13107), parts(5), true},
        {"65536 placements", at(1, tile, 1, 16384), parts(4), false},
        {"far edge at the top", at(1, tile), one(P(top, 1, 0, 0, O::R0)), true},
        {"far edge shifted past the top", at(1, tile), one(P(top, 1, 1, 0, O::R0)), false},
        {"far edge below the top on y", at(2, tile), one(P(1, half - 1, 0, 0, O::R0)), true},
        {"far edge at 2^31 on y", at(2, tile), one(P(1, half, 0, 0, O::R0)), false},
        // A turned 1 x K part applied twice: each axis is stretched once by K.
        {"turned twice", at(2, P(1, 32768, 0, 0, O::R90)), one(P(1, 32768, 0, 0, O::R90)), true},
        {"turned twice to the top", at(2, P(1, half - 1, 0, 0, O::R90)),
         one(P(1, half - 1, 0, 0, O::R90)), true},
        {"turned twice past the top", at(2, P(1, half - 1, 0, 0, O::R90)),
         one(P(1, half, 0, 0, O::R90)), false},
        {"mirrored far left", at(1, P(1, 1, low + 2, 0, O::R0)), one(P(1, 1, 0, 0, O::MR0)), true},
        {"mirrored far left, far edge past", at(1, P(1, 1, low + 1, 0, O::R0)),
         one(P(1, 1, 0, 0, O::MR0)), false},
        {"mirrored, stretched", at(1, P(1, 1, 2 - half, 0, O::R0)), one(P(2, 1, 0, 0, O::MR0)),
         true},
        {"mirrored, stretched past", at(1, P(1, 1, 1 - half, 0, O::R0)), one(P(2, 1, 0, 0, O::MR0)),
         false},
        // MR90 mirrors x to E - x - width T, beyond 32 bits here, before the turn puts it back.
        {"mirror then turn", at(2, P(1, 1, low + 2, 0, O::R0)), one(P(1, 1, 0, 0, O::MR90)), true},
        {"mirror then turn, mirror outside", at(2, P(1, 1, low, 0, O::R0)),
         one(P(1, 1, 0, 0, O::MR90)), true},
        {"unturned keeps the far left", at(2, P(1, 1, low, 0, O::R0)), one(tile), true},
        {"turned, far edge past the top", at(2, P(1, 1, low, 0, O::R0)), one(P(1, 1, 0, 0, O::MR0)),
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(substitutionFits(c.pat, c.mosaic), c.fits) << c.name;
}

namespace {

// The substitution in wide integers, by the formulas of the transforms and the placing, with
// nothing wrapped: the reference the bound is judged against.
struct Wide {
    std::int64_t width, height, x, y;
    O orientation;
};

std::vector<Wide> substitutedWide(const Mosaic& pat, const Mosaic& m) {
    const std::int64_t e = m.extent(), t = m.tileSize;
    std::vector<Wide> result;
    for (const Placement& part : pat.placements)
        for (const Placement& p : m.placements) {
            Wide w{p.width, p.height, p.x, p.y, p.orientation};
            for (const Transform step : stepsOf(part.orientation)) {
                const Wide v = w;
                const std::int64_t farX = e - v.x - v.width * t, farY = e - v.y - v.height * t;
                const bool quarter = step == Transform::Rotate90 || step == Transform::Rotate270;
                const std::int64_t corners[4][2] = {
                    {farX, v.y}, {v.y, farX}, {farX, farY}, {farY, v.x}};
                w.x = corners[static_cast<int>(step)][0];
                w.y = corners[static_cast<int>(step)][1];
                if (quarter)
                    std::swap(w.width, w.height);
                w.orientation = compose(v.orientation, step);
            }
            result.push_back({w.width * part.width, w.height * part.height,
                              w.x * part.width + part.x * e, w.y * part.height + part.y * e,
                              w.orientation});
        }
    return result;
}

bool inModel(const std::vector<Wide>& placements, std::int64_t t) {
    const auto in32 = [](std::int64_t v) { return v == static_cast<std::int32_t>(v); };
    return std::all_of(placements.begin(), placements.end(), [&](const Wide& p) {
        return in32(p.width) && in32(p.height) && in32(p.x) && in32(p.y) &&
               in32(p.x + p.width * t) && in32(p.y + p.height * t);
    });
}

} // namespace

// Targeted commands at the ends of the range: placements whose far edge lies within a few
// sides of the mosaic of -2^31 or 2^31, turned by every orientation, stretched by parts of 0
// to 3 cells and by 65535, shifted by cells up to 65535. The bound must refuse exactly the
// results the wide substitution puts outside the model; an accepted one must come out exactly
// as the wide one and undo back to the mosaic it came from.
TEST(Mosaic, BoundAgreesWithTheSubstitutionInWideIntegers) {
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    std::mt19937 rng(2611);
    const auto pick = [&](std::int64_t from, std::int64_t to) {
        return std::uniform_int_distribution<std::int64_t>(from, to)(rng);
    };
    const std::int64_t sizes[] = {0, 1, 2, 3, 65535};
    int accepted = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        Mosaic m = singleTile(static_cast<std::uint16_t>(pick(1, 6)));
        m.scale = static_cast<std::uint16_t>(pick(1, 4));
        const std::int64_t t = m.tileSize, e = m.extent();
        m.placements.clear();
        for (std::int64_t i = pick(1, 3); i > 0; --i) {
            // One axis near an end of the range, the other anywhere in it.
            std::int64_t coordinate[2], size[2];
            for (int axis = 0; axis < 2; ++axis) {
                size[axis] = sizes[pick(0, 3)];
                const std::int64_t far = pick(0, 2) == 0 ? low + pick(0, 2 * e)
                                         : pick(0, 1)    ? high - pick(0, 2 * e)
                                                         : pick(-e, 2 * e);
                coordinate[axis] = std::clamp(far - size[axis] * t, low, high - size[axis] * t);
            }
            m.placements.push_back(
                {static_cast<std::int32_t>(size[0]), static_cast<std::int32_t>(size[1]),
                 static_cast<std::int32_t>(coordinate[0]), static_cast<std::int32_t>(coordinate[1]),
                 static_cast<O>(pick(0, 7))});
        }
        std::vector<Placement> parts(static_cast<std::size_t>(pick(1, 3)));
        for (Placement& part : parts)
            part = {static_cast<std::int32_t>(sizes[pick(0, 4)]),
                    static_cast<std::int32_t>(sizes[pick(0, 4)]),
                    static_cast<std::int32_t>(pick(0, 4) == 0 ? 65535 : pick(0, 2)),
                    static_cast<std::int32_t>(pick(0, 4) == 0 ? 65535 : pick(0, 2)),
                    static_cast<O>(pick(0, 7))};
        const Mosaic pat = pattern(static_cast<std::uint16_t>(pick(1, 3)), parts);

        const std::vector<Wide> wide = substitutedWide(pat, m);
        const bool fits = inModel(wide, t) && m.scale * pat.scale * t <= maxExtent;
        ASSERT_EQ(substitutionFits(pat, m), fits) << "round " << round;
        (fits ? accepted : refused) += 1;
        Mosaic result = m;
        SubstituteCommand(pat, result);
        // A one-part substitution as a map gives the same placements, wrapped or not.
        std::vector<Placement> mapped = m.placements;
        applyMap(composed(identityMap(), partMap(parts[0], e, t)), mapped);
        ASSERT_TRUE(parts.size() > 1 || mapped == result.placements) << "round " << round;
        if (!fits)
            continue;
        for (std::size_t i = 0; i < wide.size(); ++i)
            ASSERT_EQ(result.placements[i],
                      P(static_cast<int>(wide[i].width), static_cast<int>(wide[i].height),
                        static_cast<int>(wide[i].x), static_cast<int>(wide[i].y),
                        wide[i].orientation))
                << "round " << round;
        if (isUndoable(pat)) {
            undoSubstitution(pat, result);
            ASSERT_EQ(result.placements, m.placements) << "round " << round;
        }
    }
    EXPECT_GT(accepted, 300);
    EXPECT_GT(refused, 300);
}
