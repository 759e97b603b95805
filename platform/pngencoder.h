#pragma once

// PNG files deflated on every core, byte for byte the same whatever the number of threads.

#include "picturesource.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ornamo {

/// The PNG row filters encodePng uses: none at all, or Up for each row equal to the row above
/// it (which then deflates as a row of zeros) and none for the others.
enum class PngFilter { None, UpForRepeatedRows };

/// How encodePng compresses: the zlib level (1..9), the filters, and the number of threads
/// that deflate, the calling one included (0: one a core). The threads do not show in the file.
struct PngEncoding {
    int level = 6;
    PngFilter filter = PngFilter::UpForRepeatedRows;
    int threads = 0;
};

/// Takes each piece of the file in order; false when it could not be written.
using PngSink = std::function<bool(const std::uint8_t* data, std::size_t bytes)>;
/// Hears, on the calling thread, that every row before `rowsWritten` is in the file; false stops
/// the encoding.
using PngRowsWritten = std::function<bool(int rowsWritten)>;

/// Writes the picture (at least 1 x 1) as an 8-bit RGB PNG, not interlaced, its rows filtered
/// as `encoding.filter` says, with no chunks but IHDR, IDAT and IEND, to `sink` from start to
/// end. The rows are read from the picture on the calling thread, a band of at least eight
/// chunks at a time; a chunk, pngChunkRows() rows, is deflated on a thread of its own, primed
/// with the last 32 KiB of the stream before it and ended with a sync flush (runs of zero rows
/// deflated as byte runs, Z_RLE, the rest with the level's own search), and goes into one IDAT
/// chunk of its own; the first holds the zlib header too and the last the Adler-32 of all the
/// rows, combined from the chunks'. So the bytes depend on the picture, the level and the
/// filters only. Two bands of max(8, threads) chunks are held at once: one read while the
/// other is deflated. False when the sink or `rowsWritten` says false, when memory cannot be
/// had (also when the picture throws std::bad_alloc) and when zlib fails; what was written is
/// then garbage.
bool encodePng(const PictureSource& picture, const PngSink& sink, const PngRowsWritten& rowsWritten,
               PngEncoding encoding = {});

/// A fault hook for tests: when set, called as each chunk is handed to the deflating threads,
/// after it has its place in the output order and before any thread can see it. It may throw
/// std::bad_alloc, as the queueing itself may.
inline void (*pngChunkQueueingHook)() = nullptr;

/// The rows of a picture `width` pixels wide that encodePng deflates together: about 1 MiB of
/// rows (each a filter byte and the pixels), at least one row.
int pngChunkRows(int width);

} // namespace ornamo
