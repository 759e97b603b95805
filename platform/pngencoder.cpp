#include "pngencoder.h"

#include "budgets.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace ornamo {

namespace {

// Deflate looks back at most this far; a chunk primed with it matches as if it were not cut.
constexpr std::size_t windowBytes = std::size_t{32} << 10;
// The picture is read this many chunks at a time (and at least one a thread): a source that
// renders on every core pays for starting them once a band, not once a chunk.
constexpr int bandChunksAtLeast = 8;

// Rows read from the picture in one go, filtered in place: each row a filter byte and the
// pixels. `zeroRows` has a 1 for each row that became zeros under the Up filter.
struct Band {
    std::vector<std::uint8_t> rows;
    std::vector<std::uint8_t> zeroRows;
};

// Some rows of a band and what deflate made of them.
struct Chunk {
    std::vector<std::uint8_t> dictionary; // the stream's bytes just before the chunk
    const std::uint8_t* rows = nullptr;
    const std::uint8_t* zeroRows = nullptr;
    std::size_t rowBytes = 0;
    int rowCount = 0;
    int endRow = 0; // the row of the picture after the chunk's last
    bool last = false;
    std::vector<std::uint8_t> output;
    std::size_t outputLength = 0;
    uLong adler = 0; // of the chunk's rows alone
    bool done = false, failed = false;
    std::size_t length() const { return rowBytes * static_cast<std::size_t>(rowCount); }
};

// One thread's raw deflate stream, kept for all the chunks it compresses.
class Deflater {
public:
    explicit Deflater(int level) : level_(level) {
        ready_ =
            deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Deflates the chunk's rows into its output: ended by a sync flush, or for the last chunk by
    // the final block. Runs of zero rows are deflated as runs of a byte (Z_RLE), which finds
    // the same longest matches without hashing every position, the other rows with the level's
    // full search. False when zlib or memory fails.
    bool compress(Chunk& chunk) {
        if (!ready_ || deflateReset(&stream_) != Z_OK ||
            deflateParams(&stream_, level_, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        const std::uint8_t* rows = chunk.rows;
        if (!chunk.dictionary.empty() &&
            deflateSetDictionary(&stream_, chunk.dictionary.data(),
                                 static_cast<uInt>(chunk.dictionary.size())) != Z_OK)
            return false;
        chunk.adler = adler32(adler32(0, nullptr, 0), rows, static_cast<uInt>(chunk.length()));
        output_ = &chunk.output;
        // Mosaics deflate to a small part of their rows: start with room for a sixteenth and
        // grow when it fills, so that the chunks held stay small.
        if (!reserve(chunk.length() / 16 + 1024))
            return false;
        stream_.next_out = chunk.output.data();
        stream_.avail_out = static_cast<uInt>(chunk.output.size());
        const auto rowCount = static_cast<std::size_t>(chunk.rowCount);
        int strategy = Z_DEFAULT_STRATEGY;
        for (std::size_t first = 0; first < rowCount;) {
            std::size_t end = first + 1;
            while (end < rowCount && chunk.zeroRows[end] == chunk.zeroRows[first])
                ++end;
            if (const int wanted = chunk.zeroRows[first] ? Z_RLE : Z_DEFAULT_STRATEGY;
                wanted != strategy) {
                // A change of strategy ends the block, which needs room in the output.
                int changed = deflateParams(&stream_, level_, wanted);
                for (int tries = 0; changed == Z_BUF_ERROR && tries < 4; ++tries)
                    changed = grow() ? deflateParams(&stream_, level_, wanted) : Z_MEM_ERROR;
                if (changed != Z_OK)
                    return false;
                strategy = wanted;
            }
            stream_.next_in = const_cast<Bytef*>(rows + first * chunk.rowBytes);
            stream_.avail_in = static_cast<uInt>((end - first) * chunk.rowBytes);
            if (!run(Z_NO_FLUSH))
                return false;
            first = end;
        }
        if (!run(chunk.last ? Z_FINISH : Z_SYNC_FLUSH))
            return false;
        chunk.outputLength = chunk.output.size() - stream_.avail_out;
        return true;
    }

private:
    bool reserve(std::size_t bytes) {
        try {
            if (output_->size() < bytes)
                output_->resize(bytes);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    // Doubles the output, keeping what deflate wrote.
    bool grow() {
        const std::size_t used = output_->size() - stream_.avail_out;
        if (!reserve(output_->size() * 2))
            return false;
        stream_.next_out = output_->data() + used;
        stream_.avail_out = static_cast<uInt>(output_->size() - used);
        return true;
    }

    // Deflates the input given with the flush, growing the output whenever it fills.
    bool run(int flush) {
        for (;;) {
            if (stream_.avail_out == 0 && !grow())
                return false;
            const int result = deflate(&stream_, flush);
            if (result == Z_STREAM_END)
                return true;
            if (result != Z_OK && result != Z_BUF_ERROR)
                return false;
            if (flush != Z_FINISH && stream_.avail_in == 0 && stream_.avail_out > 0)
                return true;
        }
    }

    z_stream stream_{};
    const int level_;
    bool ready_ = false;
    std::vector<std::uint8_t>* output_ = nullptr;
};

// The chunks on their way from the calling thread, which reads and writes them in order, to the
// deflating threads and back. A chunk waits in `queue_` until a thread takes it; the calling
// thread takes one too while the oldest is not done, so it is one of the deflating threads and
// the work ends even without helpers.
class ChunkPipeline {
public:
    ChunkPipeline(int level, int helpers) : level_(level) {
        for (int i = 0; i < helpers; ++i) {
            try {
                helpers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    ~ChunkPipeline() { stop(); }
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // Lets the helpers finish the chunks they hold and ends them; no chunk is deflated after.
    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        queued_.notify_all();
        for (std::thread& helper : helpers_)
            helper.join();
        helpers_.clear();
    }

    // A chunk to fill, recycled from an earlier one when there is one.
    std::unique_ptr<Chunk> fresh() {
        if (spare_.empty())
            return std::make_unique<Chunk>();
        std::unique_ptr<Chunk> chunk = std::move(spare_.back());
        spare_.pop_back();
        return chunk;
    }

    void submit(std::unique_ptr<Chunk> chunk) {
        chunk->done = chunk->failed = false;
        {
            const std::lock_guard lock(mutex_);
            // The order owns the chunk before a thread can see it; should queueing fail, the
            // chunk leaves the order again before anyone took it.
            inOrder_.push_back(std::move(chunk));
            try {
                if (pngChunkQueueingHook)
                    pngChunkQueueingHook();
                queue_.push_back(inOrder_.back().get());
            } catch (...) {
                inOrder_.pop_back();
                throw;
            }
        }
        queued_.notify_one();
    }

    // Waits until the oldest chunk is deflated, helping with the queue meanwhile.
    Chunk& oldest() {
        std::unique_lock lock(mutex_);
        Chunk& chunk = *inOrder_.front();
        while (!chunk.done) {
            if (!queue_.empty()) {
                Chunk* next = take();
                lock.unlock();
                compress(*next, own_);
                lock.lock();
            } else {
                finished_.wait(lock);
            }
        }
        return chunk;
    }

    // The oldest chunk has been written: keep it for reuse.
    void release() {
        const std::lock_guard lock(mutex_);
        spare_.push_back(std::move(inOrder_.front()));
        inOrder_.pop_front();
    }

private:
    Chunk* take() {
        Chunk* chunk = queue_.front();
        queue_.pop_front();
        return chunk;
    }

    void compress(Chunk& chunk, std::unique_ptr<Deflater>& deflater) {
        bool compressed = false;
        try {
            if (!deflater)
                deflater = std::make_unique<Deflater>(level_);
            compressed = deflater->compress(chunk);
        } catch (const std::bad_alloc&) {
        }
        {
            const std::lock_guard lock(mutex_);
            chunk.failed = !compressed;
            chunk.done = true;
        }
        finished_.notify_all();
    }

    void work() {
        std::unique_ptr<Deflater> deflater;
        std::unique_lock lock(mutex_);
        for (;;) {
            queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            Chunk* chunk = take();
            lock.unlock();
            compress(*chunk, deflater);
            lock.lock();
        }
    }

    const int level_;
    std::mutex mutex_;
    std::condition_variable queued_, finished_;
    std::deque<Chunk*> queue_;                   // submitted, not yet taken
    std::deque<std::unique_ptr<Chunk>> inOrder_; // submitted, not yet written, oldest first
    std::vector<std::unique_ptr<Chunk>> spare_;  // written, for reuse (calling thread only)
    std::unique_ptr<Deflater> own_;              // the calling thread's
    bool stopping_ = false;
    std::vector<std::thread> helpers_;
};

void putBigEndian(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Writes one PNG chunk whose data is the concatenation of `pieces`.
bool writeChunk(const PngSink& sink, const char (&type)[5],
                std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> pieces) {
    std::size_t length = 0;
    for (const auto& piece : pieces)
        length += piece.second;
    std::array<std::uint8_t, 8> head{};
    putBigEndian(head.data(), static_cast<std::uint32_t>(length));
    std::copy(type, type + 4, head.begin() + 4);
    uLong crc = crc32(0, head.data() + 4, 4);
    if (!sink(head.data(), head.size()))
        return false;
    for (const auto& [data, bytes] : pieces) {
        crc = crc32(crc, data, static_cast<uInt>(bytes));
        if (bytes > 0 && !sink(data, bytes))
            return false;
    }
    std::array<std::uint8_t, 4> tail{};
    putBigEndian(tail.data(), static_cast<std::uint32_t>(crc));
    return sink(tail.data(), tail.size());
}

// The two bytes before a zlib stream: deflate with a 32 KiB window, the level's class, no
// dictionary, and the check bits that make the pair a multiple of 31.
std::array<std::uint8_t, 2> zlibHeader(int level) {
    const int levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    const int method = 0x78;
    int flags = levelClass << 6;
    flags += 31 - (method * 256 + flags) % 31;
    return {static_cast<std::uint8_t>(method), static_cast<std::uint8_t>(flags)};
}

// Reads rows [first, first + rows) of the picture into the band and filters them: a row equal
// to the one above it becomes a row of zeros under the Up filter when `filter` allows, every
// other row keeps filter type None.
void fillBand(Band& band, const PictureSource& picture, int first, int rows, PngFilter filter,
              std::vector<std::uint8_t>& lastRow) {
    const std::size_t pixelBytes = static_cast<std::size_t>(picture.width()) * 3;
    const std::size_t rowBytes = pixelBytes + 1;
    band.rows.resize(rowBytes * static_cast<std::size_t>(rows));
    band.zeroRows.assign(static_cast<std::size_t>(rows), 0);
    std::uint8_t* data = band.rows.data();
    picture.readRows(first, rows, data + 1, static_cast<std::ptrdiff_t>(rowBytes));
    for (int row = 0; row < rows; ++row)
        data[static_cast<std::size_t>(row) * rowBytes] = 0;
    if (filter != PngFilter::UpForRepeatedRows)
        return;
    const std::uint8_t* bottom = data + static_cast<std::size_t>(rows - 1) * rowBytes + 1;
    std::vector<std::uint8_t> above(bottom, bottom + pixelBytes);
    std::swap(above, lastRow);
    // From the bottom up, so that each row is compared with the row above still unfiltered.
    for (int row = rows - 1; row >= 0; --row) {
        std::uint8_t* at = data + static_cast<std::size_t>(row) * rowBytes;
        const std::uint8_t* previous = row > 0 ? at - pixelBytes : above.data();
        if ((row > 0 || !above.empty()) && std::memcmp(at + 1, previous, pixelBytes) == 0) {
            at[0] = 2; // filter type Up: the differences to the row above, all zero
            std::memset(at + 1, 0, pixelBytes);
            band.zeroRows[static_cast<std::size_t>(row)] = 1;
        }
    }
}

// The last up to 32 KiB of the stream before `offset` in the band: from the band, and before
// its start from the window of the bands before.
void copyDictionary(std::vector<std::uint8_t>& dictionary, const std::vector<std::uint8_t>& window,
                    const Band& band, std::size_t offset) {
    const std::size_t fromBand = std::min(offset, windowBytes);
    const std::size_t fromWindow = std::min(window.size(), windowBytes - fromBand);
    dictionary.assign(window.end() - static_cast<std::ptrdiff_t>(fromWindow), window.end());
    dictionary.insert(dictionary.end(),
                      band.rows.begin() + static_cast<std::ptrdiff_t>(offset - fromBand),
                      band.rows.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A PNG file on its way to the sink, in named steps: start() writes the signature and the
// header; submitBand() reads the next band of rows into a free buffer, filters it and hands its
// chunks to the deflating threads; writeOlderBands() writes, in order, the chunks of every band
// but the newest as deflate finishes them (so that one band is read while the one before is
// deflated), writeAllBands() those of the newest too; end() writes the last chunk of the file.
// Two buffers of a band each: a band is read only into a buffer whose chunks are all written.
// The deflating threads are stopped before the buffers they read go, whatever the order of the
// members.
class PngStream {
public:
    PngStream(const PictureSource& picture, const PngSink& sink, const PngRowsWritten& rowsWritten,
              const PngEncoding& encoding)
        : PngStream(picture, sink, rowsWritten, encoding.filter, layoutOf(picture, encoding)) {}
    ~PngStream() { pipeline_.stop(); }
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    bool start() {
        static constexpr std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        std::array<std::uint8_t, 13> header{};
        putBigEndian(header.data(), static_cast<std::uint32_t>(layout_.width));
        putBigEndian(header.data() + 4, static_cast<std::uint32_t>(layout_.height));
        header[8] = 8; // bits per sample; colour type 2 (RGB), deflate, filter set 0, no interlace
        header[9] = 2;
        return sink_(signature, sizeof signature) &&
               writeChunk(sink_, "IHDR", {{header.data(), header.size()}});
    }

    bool rowsLeft() const { return firstUnread_ < layout_.height; }

    // Reads the next band (there must be rows left and a free buffer) and queues its chunks.
    bool submitBand() {
        if (!rowsLeft() || bandsInFlight_.size() == bands_.size())
            return false;
        Band& band = bands_[submittedBands_ % bands_.size()];
        const int rows = std::min(layout_.bandRows, layout_.height - firstUnread_);
        fillBand(band, picture_, firstUnread_, rows, filter_, lastRow_);
        int chunks = 0;
        for (int first = 0; first < rows; first += layout_.chunkRows, ++chunks) {
            std::unique_ptr<Chunk> chunk = pipeline_.fresh();
            const auto offset = layout_.rowBytes * static_cast<std::size_t>(first);
            copyDictionary(chunk->dictionary, window_, band, offset);
            chunk->rows = band.rows.data() + offset;
            chunk->zeroRows = band.zeroRows.data() + first;
            chunk->rowBytes = layout_.rowBytes;
            chunk->rowCount = std::min(layout_.chunkRows, rows - first);
            chunk->endRow = firstUnread_ + first + chunk->rowCount;
            chunk->last = chunk->endRow == layout_.height;
            pipeline_.submit(std::move(chunk));
        }
        std::vector<std::uint8_t> window;
        copyDictionary(window, window_, band, band.rows.size());
        window_.swap(window);
        firstUnread_ += rows;
        ++submittedBands_;
        bandsInFlight_.push_back(chunks);
        return true;
    }

    bool writeOlderBands() { return writeBandsBut(1); }
    bool writeAllBands() { return writeBandsBut(0); }

    bool end() { return writeChunk(sink_, "IEND", {}); }

private:
    // The sizes the stream works in, worked out before any member is made.
    struct Layout {
        int width, height, level;
        std::size_t rowBytes; // a filter byte and the pixels
        int chunkRows, bandRows;
        int helpers; // threads that deflate beside the calling one: no more than there are chunks
    };
    static Layout layoutOf(const PictureSource& picture, const PngEncoding& encoding) {
        Layout layout{};
        layout.width = picture.width();
        layout.height = picture.height();
        layout.level = std::clamp(encoding.level, 1, 9);
        layout.rowBytes = static_cast<std::size_t>(layout.width) * 3 + 1;
        layout.chunkRows = std::min(pngChunkRows(layout.width), layout.height);
        const int threads =
            encoding.threads > 0
                ? encoding.threads
                : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        layout.bandRows = layout.chunkRows * std::max(bandChunksAtLeast, threads);
        const int chunks = (layout.height - 1) / layout.chunkRows + 1;
        layout.helpers = std::min(threads, chunks) - 1;
        return layout;
    }

    PngStream(const PictureSource& picture, const PngSink& sink, const PngRowsWritten& rowsWritten,
              PngFilter filter, const Layout& layout)
        : picture_(picture), sink_(sink), rowsWritten_(rowsWritten), filter_(filter),
          layout_(layout), zlibStart_(zlibHeader(layout.level)),
          pipeline_(layout.level, layout.helpers) {}

    // Writes the chunks of the oldest bands in flight, all but the newest `kept` of them.
    bool writeBandsBut(std::size_t kept) {
        while (bandsInFlight_.size() > kept) {
            for (; bandsInFlight_.front() > 0; --bandsInFlight_.front())
                if (!writeOldestChunk())
                    return false;
            bandsInFlight_.pop_front();
        }
        return true;
    }

    // Writes the oldest chunk in flight as an IDAT chunk once deflate is done with it: the
    // file's first holds the zlib header too, and its last the Adler-32 of all the rows.
    bool writeOldestChunk() {
        const Chunk& chunk = pipeline_.oldest();
        if (chunk.failed)
            return false;
        adler_ = adler32_combine(adler_, chunk.adler, static_cast<z_off_t>(chunk.length()));
        std::array<std::uint8_t, 4> check{};
        putBigEndian(check.data(), static_cast<std::uint32_t>(adler_));
        if (!writeChunk(sink_, "IDAT",
                        {{zlibStart_.data(), chunksWritten_ == 0 ? zlibStart_.size() : 0},
                         {chunk.output.data(), chunk.outputLength},
                         {check.data(), chunk.last ? check.size() : 0}}))
            return false;
        ++chunksWritten_;
        const int endRow = chunk.endRow;
        pipeline_.release();
        return rowsWritten_(endRow);
    }

    const PictureSource& picture_;
    const PngSink& sink_;
    const PngRowsWritten& rowsWritten_;
    const PngFilter filter_;
    const Layout layout_;
    const std::array<std::uint8_t, 2> zlibStart_;
    std::array<Band, 2> bands_;
    std::deque<int> bandsInFlight_; // the chunks of each band not yet written, oldest first
    std::size_t submittedBands_ = 0;
    int firstUnread_ = 0;
    int chunksWritten_ = 0;
    uLong adler_ = adler32(0, nullptr, 0);
    std::vector<std::uint8_t> window_;  // the stream's last bytes, which prime the next chunk
    std::vector<std::uint8_t> lastRow_; // the picture's last row read, unfiltered
    ChunkPipeline pipeline_;
};

} // namespace

int pngChunkRows(int width) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3 + 1;
    return static_cast<int>(std::max<std::size_t>(1, budget::pngChunk / rowBytes));
}

bool encodePng(const PictureSource& picture, const PngSink& sink, const PngRowsWritten& rowsWritten,
               PngEncoding encoding) {
    try {
        PngStream stream(picture, sink, rowsWritten, encoding);
        if (!stream.start())
            return false;
        // Each band is read while the one before it is deflated, and that one written after.
        while (stream.rowsLeft())
            if (!stream.submitBand() || !stream.writeOlderBands())
                return false;
        return stream.writeAllBands() && stream.end();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace ornamo
