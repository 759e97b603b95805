#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ornamo {

/// How a tile, or a copy of the mosaic, is turned: mirrored left-right when the value is 4 or
/// more, then turned counter-clockwise (as seen on screen, y downwards) by (value mod 4) quarter
/// turns. The mirror always comes first.
///
///     F.     ..#    ##     ##F    .F     F##    ##     #..
///     #.     F##    .#     #..    .#     ..#    #.     ##F
///     ##            .F            ##            F.
///     R0     R90    R180   R270   MR0    MR90   MR180  MR270
///
/// (An L-shaped piece whose top-left cell is F, in each orientation; the quarter turns swap
/// width and height.)
///
/// Values above 7 are never produced by the reader; the transforms leave them unchanged, the
/// substitution treats them as R0 and the renderer draws nothing for them.
enum class Orientation : std::uint8_t { R0, R90, R180, R270, MR0, MR90, MR180, MR270 };

/// The four transforms a mosaic or a tile image can undergo.
enum class Transform : std::uint8_t { Mirror, Rotate90, Rotate180, Rotate270 };

/// The orientation of something of orientation `o` after `t` is applied to it (the group of the
/// eight symmetries of a square). Values above 7 come back unchanged.
constexpr Orientation compose(Orientation o, Transform t) {
    constexpr std::uint8_t table[8][4] = {
        // mirror, quarter ccw, half, quarter cw
        {4, 1, 2, 3}, // R0
        {7, 2, 3, 0}, // R90
        {6, 3, 0, 1}, // R180
        {5, 0, 1, 2}, // R270
        {0, 5, 6, 7}, // MR0
        {3, 6, 7, 4}, // MR90
        {2, 7, 4, 5}, // MR180
        {1, 4, 5, 6}, // MR270
    };
    const auto v = static_cast<std::uint8_t>(o);
    if (v > 7)
        return o;
    return static_cast<Orientation>(table[v][static_cast<std::uint8_t>(t)]);
}

/// Whether `o` starts with the left-right mirror (MR0 .. MR270); false for values above 7.
constexpr bool isMirrored(Orientation o) {
    const auto v = static_cast<std::uint8_t>(o);
    return v >= 4 && v <= 7;
}

/// The counter-clockwise quarter turns `o` makes after its mirror, 0..3; 0 for values above 7.
constexpr int quarterTurns(Orientation o) {
    const auto v = static_cast<std::uint8_t>(o);
    return v <= 7 ? v % 4 : 0;
}

/// The orientation that undoes `o`: compose `o` with the steps of its inverse and R0 comes back.
/// A mirrored orientation undoes itself (mirror, turn, mirror again is the opposite turn); a turn
/// is undone by the opposite turn. Values above 7 come back unchanged.
constexpr Orientation inverse(Orientation o) {
    const auto v = static_cast<std::uint8_t>(o);
    if (v > 7 || isMirrored(o))
        return o;
    return static_cast<Orientation>((4 - v) % 4);
}

/// The transforms that take something in R0 to orientation `o`, in the order they are applied.
struct TransformSteps {
    std::array<Transform, 2> steps{};
    std::uint8_t count = 0;

    constexpr const Transform* begin() const { return steps.data(); }
    constexpr const Transform* end() const { return steps.data() + count; }
};

/// The steps of `o`: the mirror when `o` has one, then its quarter turns as one turn. Empty for
/// R0 and for values above 7 (which the substitution treats as R0).
constexpr TransformSteps stepsOf(Orientation o) {
    TransformSteps result;
    if (isMirrored(o))
        result.steps[result.count++] = Transform::Mirror;
    if (const int turns = quarterTurns(o); turns != 0) // Rotate90 .. Rotate270 are 1 .. 3
        result.steps[result.count++] = static_cast<Transform>(turns);
    return result;
}

/// The keyword of a valid orientation ("R0" .. "MR270"), empty for values above 7.
constexpr std::string_view keyword(Orientation o) {
    constexpr std::string_view names[8] = {"R0",  "R90",  "R180",  "R270",
                                           "MR0", "MR90", "MR180", "MR270"};
    const auto v = static_cast<std::uint8_t>(o);
    return v < 8 ? names[v] : std::string_view{};
}

/// The orientation of a keyword, matched exactly (case included).
constexpr std::optional<Orientation> orientationFromKeyword(std::string_view word) {
    for (std::uint8_t v = 0; v < 8; ++v)
        if (keyword(static_cast<Orientation>(v)) == word)
            return static_cast<Orientation>(v);
    return std::nullopt;
}

} // namespace ornamo
