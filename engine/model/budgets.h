#pragma once

// The memory budgets of the engine and of the file writers, in one place: what each bounds and
// why it has the size it has. The bounds on what a file may claim (a rules file's 1 MiB, a work
// file's fields) are rules of the formats and live with their readers.

#include <cstddef>
#include <cstdint>

namespace ornamo::budget {

// ---- Tiles and history ----

/// The base tile bytes up to which a tile set keeps its seven other images as copies of their
/// own (16 MiB: a tile of 2364 pixels, whose seven copies take 112 MiB). Copies are read row
/// by row, quickly; above this the images are read from the base by index arithmetic, so that
/// a tile of 100 MB costs 100 MB and not 800.
inline constexpr std::size_t tileCopies = std::size_t{16} << 20;

/// The history drops its oldest states while the tile images and rules that only they hold
/// take more than this: room for a few very large tiles, or hundreds of usual ones.
inline constexpr std::uint64_t historyTiles = std::uint64_t{256} << 20;

/// What the memory check leaves of the machine's available memory for the windows, the
/// placements and the rest of the system before it says an image does not fit.
inline constexpr std::uint64_t memoryMargin = std::uint64_t{256} << 20;

// ---- The view ----

/// A view of at most this many bytes (a square of about 4700 pixels) is computed whole and
/// kept, so that scrolling only copies; a larger one is computed a tile at a time.
inline constexpr std::size_t heldView = std::size_t{64} << 20;

/// The computed tiles kept for a view too large to keep whole: about 340 tiles of 256 x 256,
/// several screens of the largest display, so that scrolling back computes nothing again.
inline constexpr std::size_t viewTileCache = std::size_t{64} << 20;

/// Summed-area tables of whole tile images are built once for a mosaic when they take at most
/// this; larger tiles get tables of only the lines one factor reads, again for each factor.
inline constexpr std::size_t fullTables = std::size_t{64} << 20;

/// The largest tables (whole or for one factor) built for a mosaic's views; beyond, its views
/// are drawn in strips, whose memory follows the strip and not the tiles.
inline constexpr std::uint64_t largestTables = std::uint64_t{256} << 20;

/// How much more than the images' own tables one table of the base may take when the images
/// are read from it (a tile set without copies): reading the base once instead of once an image
/// is worth that much.
inline constexpr std::uint64_t baseTableSlack = std::uint64_t{32} << 20;

// ---- Bands ----

/// A band of the renderer is small enough to stay in a core's cache while it is filled with the
/// gap colour and every placement touching it is blitted, so that each byte goes out to memory
/// once.
inline constexpr std::int64_t renderBand = 192 * 1024;

/// A band that is reduced as soon as it is drawn is read back from the cache at once, so it may
/// take more of it.
inline constexpr std::int64_t reducedRenderBand = 512 * 1024;

/// An image of at least this many bytes is drawn band by band in a buffer that stays in the
/// cache, each band streamed out past the cache: written to memory once, never read in first.
inline constexpr std::int64_t streamedImage = 16 << 20;

/// The rows the BMP writer reads from a picture at a time (and at least one row): enough that a
/// source computing on every core pays for starting them rarely, little beside a picture of
/// gigabytes.
inline constexpr std::size_t fileBand = std::size_t{2} << 20;

/// The rows the PNG writer deflates together: enough that the sync flush and the restart at
/// each chunk cost nothing measurable, few enough that a picture of a few MB still keeps every
/// core busy.
inline constexpr std::size_t pngChunk = std::size_t{1} << 20;

} // namespace ornamo::budget
