// ShrinkBitmap: the reduction of the mosaic image into the view by exact block means.

#include "reducer.h"
#include "render.h"

#include "exactmean.h"
#include "memoryfit.h"
#include "parallel.h"
#include "vectorclones.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#endif

namespace ornamo {

namespace {

using detail::ExactMean;

// The exact mean of a block's channel sum (see ExactMean) in the width its products need.
struct Divide32 { // s m fits in 32 bits
    std::uint32_t multiplier;
    int shift;
    std::uint8_t operator()(std::uint32_t s) const {
        return static_cast<std::uint8_t>((s * multiplier) >> shift);
    }
};

struct Divide64 { // s m fits in 64 bits
    std::uint64_t multiplier;
    int shift;
    std::uint8_t operator()(std::uint32_t s) const {
        return static_cast<std::uint8_t>((s * multiplier) >> shift);
    }
};

struct DividePlain { // blocks so large that there are few outputs
    std::uint64_t divisor;
    std::uint8_t operator()(std::uint64_t s) const {
        return static_cast<std::uint8_t>(s / divisor);
    }
};

// sums[i] := sums[i] (or 0 when `first`) + the bytes i of up to four rows.
inline void addRowsLoop(const std::uint8_t* const* rows, int count, bool first, std::size_t n,
                        std::uint16_t* __restrict sums) {
    const std::uint8_t* __restrict a = rows[0];
    const std::uint8_t* __restrict b = rows[count > 1 ? 1 : 0];
    const std::uint8_t* __restrict c = rows[count > 2 ? 2 : 0];
    const std::uint8_t* __restrict d = rows[count > 3 ? 3 : 0];
    if (first)
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = 0;
    switch (count) {
    case 1:
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = static_cast<std::uint16_t>(sums[i] + a[i]);
        break;
    case 2:
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = static_cast<std::uint16_t>(sums[i] + a[i] + b[i]);
        break;
    case 3:
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = static_cast<std::uint16_t>(sums[i] + a[i] + b[i] + c[i]);
        break;
    default:
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = static_cast<std::uint16_t>(sums[i] + a[i] + b[i] + c[i] + d[i]);
        break;
    }
}

inline void addRowsLoop(const std::uint8_t* const* rows, int count, bool first, std::size_t n,
                        std::uint32_t* __restrict sums) {
    if (first)
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = 0;
    for (int r = 0; r < count; ++r) {
        const std::uint8_t* __restrict p = rows[r];
        for (std::size_t i = 0; i < n; ++i)
            sums[i] += p[i];
    }
}

// addRowsLoop built for AVX2, and the version this run uses.
template <class Sum>
ORNAMO_WIDE_VERSION void addRowsWide(const std::uint8_t* const* rows, int count, bool first,
                                     std::size_t n, Sum* sums) {
    addRowsLoop(rows, count, first, n, sums);
}
template <class Sum>
void addRows(const std::uint8_t* const* rows, int count, bool first, std::size_t n, Sum* sums) {
    if (detail::wideVectors())
        addRowsWide(rows, count, first, n, sums);
    else
        addRowsLoop(rows, count, first, n, sums);
}

// sums[i] := (sums[i], or 0 when `restart`) + the sum of byte i over `rows` rows from `top`,
// `stride` bytes apart, for i < n.
template <class Sum>
void sumRows(const std::uint8_t* top, std::ptrdiff_t stride, int rows, bool restart, std::size_t n,
             Sum* sums) {
    for (int r = 0; r < rows; r += 4) {
        const int count = std::min(4, rows - r);
        const std::uint8_t* group[4] = {};
        for (int k = 0; k < count; ++k)
            group[k] = top + (r + k) * stride;
        addRows(group, count, restart && r == 0, n, sums);
    }
}

// For 2 x 2 and 3 x 3 blocks: means[i] := the mean of byte i and the bytes one and two pixels
// to its right, over two or three rows. Computed for every i, which keeps the loop contiguous
// so that it vectorises; the means of whole blocks are then picked out (pickPixels).
inline void blockMeans2Loop(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                            std::size_t n, std::uint8_t* __restrict means) {
    for (std::size_t i = 0; i < n; ++i)
        means[i] = static_cast<std::uint8_t>(
            static_cast<std::uint16_t>(a[i] + b[i] + a[i + 3] + b[i + 3]) >> 2);
}

constexpr ExactMean ninth(9);
static_assert(ninth.multiplier() * 9 * 255 <= 0xFFFFFFFFu); // the products fit in 32 bits

inline void blockMeans3Loop(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                            const std::uint8_t* __restrict c, std::size_t n,
                            std::uint8_t* __restrict means) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto sum = static_cast<std::uint16_t>(a[i] + a[i + 3] + a[i + 6] + b[i] + b[i + 3] +
                                                    b[i + 6] + c[i] + c[i + 3] + c[i + 6]);
        means[i] = static_cast<std::uint8_t>((std::uint32_t{sum} * ninth.multiplier()) >>
                                             ninth.shift()); // sum div 9
    }
}

// The block means built for AVX2, and the versions this run uses.
ORNAMO_WIDE_VERSION void blockMeans2Wide(const std::uint8_t* a, const std::uint8_t* b,
                                         std::size_t n, std::uint8_t* means) {
    blockMeans2Loop(a, b, n, means);
}
ORNAMO_WIDE_VERSION void blockMeans3Wide(const std::uint8_t* a, const std::uint8_t* b,
                                         const std::uint8_t* c, std::size_t n,
                                         std::uint8_t* means) {
    blockMeans3Loop(a, b, c, n, means);
}
void blockMeans2(const std::uint8_t* a, const std::uint8_t* b, std::size_t n, std::uint8_t* means) {
    if (detail::wideVectors())
        blockMeans2Wide(a, b, n, means);
    else
        blockMeans2Loop(a, b, n, means);
}
void blockMeans3(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, std::size_t n,
                 std::uint8_t* means) {
    if (detail::wideVectors())
        blockMeans3Wide(a, b, c, n, means);
    else
        blockMeans3Loop(a, b, c, n, means);
}

// out pixel x := means[3 factor x .. 3 factor x + 2] for x in [from, outWidth), four bytes at
// a time where the row leaves room.
void meansToPixels(const std::uint8_t* means, int factor, int from, int outWidth,
                   std::uint8_t* out) {
    const std::ptrdiff_t step = std::ptrdiff_t{factor} * 3;
    int x = from;
    for (; x + 1 < outWidth; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, means + step * x, 4);
        std::memcpy(out + std::ptrdiff_t{x} * 3, &pixel, 4);
    }
    if (x < outWidth)
        std::memcpy(out + std::ptrdiff_t{x} * 3, means + step * x, 3);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORNAMO_SHUFFLED_PICK 1

// The same for factors 2 and 3 with byte shuffles, several pixels per 16 bytes read, while the
// 16 bytes read stay within the `count` means and the 16 written within the row. Returns the
// first pixel not written.
__attribute__((target("ssse3"))) int meansToPixelsShuffled(const std::uint8_t* means,
                                                           std::size_t count, int factor,
                                                           int outWidth, std::uint8_t* out) {
    const int perRead = factor == 2 ? 3 : 2;
    const __m128i pick =
        factor == 2 ? _mm_setr_epi8(0, 1, 2, 6, 7, 8, 12, 13, 14, -1, -1, -1, -1, -1, -1, -1)
                    : _mm_setr_epi8(0, 1, 2, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const std::size_t step = static_cast<std::size_t>(factor) * 3;
    const auto rowBytes = static_cast<std::size_t>(outWidth) * 3;
    int x = 0;
    for (; step * static_cast<std::size_t>(x) + 16 <= count &&
           static_cast<std::size_t>(x) * 3 + 16 <= rowBytes;
         x += perRead) {
        const __m128i block = _mm_loadu_si128(
            reinterpret_cast<const __m128i*>(means + step * static_cast<std::size_t>(x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + std::ptrdiff_t{x} * 3),
                         _mm_shuffle_epi8(block, pick));
    }
    return x;
}

#endif

// out pixel x := means[3 factor x .. 3 factor x + 2] for every x; `count` means are readable.
void pickPixels(const std::uint8_t* means, std::size_t count, int factor, int outWidth,
                std::uint8_t* out) {
    int from = 0;
#if defined(ORNAMO_SHUFFLED_PICK)
    if (detail::byteShuffles())
        from = meansToPixelsShuffled(means, count, factor, outWidth, out);
#endif
    meansToPixels(means, factor, from, outWidth, out);
}

// out pixel x := the column sums of pixels x*factor .. x*factor + factor - 1, divided.
template <class Total, class Sum, class Divide>
void reduceColumns(const Sum* sums, int outWidth, int factor, Divide divide, std::uint8_t* out) {
    for (int x = 0; x < outWidth; ++x) {
        const Sum* p = sums + std::ptrdiff_t{x} * factor * 3;
        Total r = 0, g = 0, b = 0;
        for (int i = 0; i < factor; ++i) {
            r += p[i * 3];
            g += p[i * 3 + 1];
            b += p[i * 3 + 2];
        }
        out[x * 3] = divide(r);
        out[x * 3 + 1] = divide(g);
        out[x * 3 + 2] = divide(b);
    }
}

using detail::Reducer;

// Square blocks of side 2 or 3.
template <int Factor> class SmallBlockReducer final : public Reducer {
public:
    SmallBlockReducer(int outWidth, int workers)
        : outWidth_(outWidth),
          count_(static_cast<std::size_t>(outWidth) * Factor * 3 - (Factor - 1) * 3),
          means_(count_ * static_cast<std::size_t>(workers)) {}

    void row(const std::uint8_t* top, std::ptrdiff_t stride, std::uint8_t* out,
             int worker) override {
        std::uint8_t* means = means_.data() + count_ * static_cast<std::size_t>(worker);
        if constexpr (Factor == 2)
            blockMeans2(top, top + stride, count_, means);
        else
            blockMeans3(top, top + stride, top + 2 * stride, count_, means);
        pickPixels(means, count_, Factor, outWidth_, out);
    }
    void addRows(const std::uint8_t*, std::ptrdiff_t, int, bool, bool, std::uint8_t*,
                 int) override {}

private:
    int outWidth_;
    std::size_t count_;
    std::vector<std::uint8_t> means_;
};

template <class Sum, class Total, class Divide> class BlockReducer final : public Reducer {
public:
    BlockReducer(int factorX, int factorY, int outWidth, Divide divide, int workers)
        : factorX_(factorX), factorY_(factorY), outWidth_(outWidth), divide_(divide),
          count_(static_cast<std::size_t>(outWidth) * factorX * 3),
          sums_(count_ * static_cast<std::size_t>(workers)) {}

    void row(const std::uint8_t* top, std::ptrdiff_t stride, std::uint8_t* out,
             int worker) override {
        Sum* sums = sums_.data() + count_ * static_cast<std::size_t>(worker);
        sumRows(top, stride, factorY_, true, count_, sums);
        reduceColumns<Total>(sums, outWidth_, factorX_, divide_, out);
    }
    void addRows(const std::uint8_t* top, std::ptrdiff_t stride, int rows, bool restart, bool last,
                 std::uint8_t* out, int worker) override {
        Sum* sums = sums_.data() + count_ * static_cast<std::size_t>(worker);
        sumRows(top, stride, rows, restart, count_, sums);
        if (last)
            reduceColumns<Total>(sums, outWidth_, factorX_, divide_, out);
    }

private:
    int factorX_, factorY_, outWidth_;
    Divide divide_;
    std::size_t count_;
    std::vector<Sum> sums_;
};

template <class Sum>
std::unique_ptr<Reducer> reducerFor(int fx, int fy, int outWidth, int workers) {
    const std::uint64_t d = std::uint64_t{static_cast<unsigned>(fx)} * static_cast<unsigned>(fy);
    // Products s m of sums s <= 255 d: below 255 x 1024 d^2 <= 2^62 where there is an m.
    if (const ExactMean mean(d); mean.multiplies()) {
        if (255 * d * mean.multiplier() <= std::numeric_limits<std::uint32_t>::max())
            return std::make_unique<BlockReducer<Sum, std::uint32_t, Divide32>>(
                fx, fy, outWidth,
                Divide32{static_cast<std::uint32_t>(mean.multiplier()), mean.shift()}, workers);
        return std::make_unique<BlockReducer<Sum, std::uint32_t, Divide64>>(
            fx, fy, outWidth, Divide64{mean.multiplier(), mean.shift()}, workers);
    }
    return std::make_unique<BlockReducer<Sum, std::uint64_t, DividePlain>>(fx, fy, outWidth,
                                                                           DividePlain{d}, workers);
}

} // namespace

std::unique_ptr<Reducer> detail::makeReducer(int fx, int fy, int outWidth, int workers,
                                             bool incremental) {
    if (fx == 2 && fy == 2 && !incremental)
        return std::make_unique<SmallBlockReducer<2>>(outWidth, workers);
    if (fx == 3 && fy == 3 && !incremental)
        return std::make_unique<SmallBlockReducer<3>>(outWidth, workers);
    // Column sums over factorY rows: 16 bits hold 255 x 257.
    if (fy <= 257)
        return reducerFor<std::uint16_t>(fx, fy, outWidth, workers);
    return reducerFor<std::uint32_t>(fx, fy, outWidth, workers);
}

namespace {

void checkFits(std::int64_t width, std::int64_t height, const Bitmap& image) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t bytes = Bitmap::bytesFor(width, height);
    if (bytes == 0 || (bytes > image.capacityBytes() && !fitsInMemory(bytes)))
        throw NotEnoughImageMemory();
}

} // namespace

void ShrinkBitmap(std::uint16_t factorX, std::uint16_t factorY, const Bitmap& source,
                  Bitmap& destination, Progress* progress) {
    const int width = source.width();
    const int height = source.height();
    if (width <= factorX) {
        destination.resizeForOverwrite(0, 0);
        return;
    }
    if (factorX <= 1 || factorY <= 1) {
        if (&source != &destination) {
            checkFits(width, height, destination);
            destination = source;
        }
        return;
    }
    if (&source == &destination) {
        Bitmap reduced;
        ShrinkBitmap(factorX, factorY, source, reduced, progress);
        destination = std::move(reduced);
        return;
    }
    const int outWidth = width / factorX;
    const int outHeight = height / factorY;
    checkFits(outWidth, outHeight, destination);
    const std::unique_ptr<Reducer> reducer =
        detail::makeReducer(factorX, factorY, outWidth, detail::workerCount(), false);

    detail::BusyCaption busy(progress, Caption::Shrinking);
    destination.resizeForOverwrite(outWidth, outHeight);
    detail::runPieces(outHeight, progress, [&](std::int64_t y) {
        const auto row = static_cast<int>(y);
        reducer->row(source.row(row * factorY), source.stride(), destination.row(row),
                     detail::workerIndex());
    });
}

} // namespace ornamo
