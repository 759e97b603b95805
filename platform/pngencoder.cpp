#include "pngencoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace ornamo {

namespace {

// The rows deflated together come to about this many bytes: enough that the sync flush and the
// restart at each chunk cost nothing measurable, few enough that a picture of a few MB still
// keeps every core busy.
constexpr std::size_t chunkBytes = std::size_t{1} << 20;
// Deflate looks back at most this far; a chunk primed with it matches as if it were not cut.
constexpr std::size_t windowBytes = std::size_t{32} << 10;

// The rows of one chunk and what deflate made of them. `input` holds the dictionary (the
// stream's bytes just before the chunk) followed by the chunk's rows, each a filter byte 0 and
// the pixels.
struct Chunk {
    std::vector<std::uint8_t> input;
    std::size_t dictionary = 0;
    std::size_t length = 0; // bytes of rows after the dictionary
    int endRow = 0;         // the row after the chunk's last
    bool last = false;
    std::vector<std::uint8_t> output;
    std::size_t outputLength = 0;
    uLong adler = 0; // of the chunk's rows alone
    bool taken = false, done = false, failed = false;
};

// One thread's raw deflate stream, kept for all the chunks it compresses.
class Deflater {
public:
    explicit Deflater(int level) {
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
    // the final block. False when zlib or memory fails.
    bool compress(Chunk& chunk) {
        if (!ready_ || deflateReset(&stream_) != Z_OK)
            return false;
        const std::uint8_t* rows = chunk.input.data() + chunk.dictionary;
        if (chunk.dictionary > 0 &&
            deflateSetDictionary(&stream_, chunk.input.data(),
                                 static_cast<uInt>(chunk.dictionary)) != Z_OK)
            return false;
        chunk.adler = adler32(adler32(0, nullptr, 0), rows, static_cast<uInt>(chunk.length));
        try {
            // The bound covers the final block; a sync flush adds at most a few bytes more.
            const std::size_t bound = deflateBound(&stream_, static_cast<uLong>(chunk.length)) + 64;
            if (chunk.output.size() < bound)
                chunk.output.resize(bound);
        } catch (const std::bad_alloc&) {
            return false;
        }
        stream_.next_in = const_cast<Bytef*>(rows);
        stream_.avail_in = static_cast<uInt>(chunk.length);
        stream_.next_out = chunk.output.data();
        stream_.avail_out = static_cast<uInt>(chunk.output.size());
        const int result = deflate(&stream_, chunk.last ? Z_FINISH : Z_SYNC_FLUSH);
        const bool complete =
            chunk.last ? result == Z_STREAM_END
                       : result == Z_OK && stream_.avail_in == 0 && stream_.avail_out > 0;
        chunk.outputLength = chunk.output.size() - stream_.avail_out;
        return complete;
    }

private:
    z_stream stream_{};
    bool ready_ = false;
};

// The chunks on their way from the calling thread, which reads and writes them in order, to the
// deflating threads and back. A chunk waits in `queue_` until a thread takes it; the calling
// thread takes one too while the oldest is not done, so the work ends even without helpers.
class ChunkPipeline {
public:
    ChunkPipeline(int level, int threads) : level_(level) {
        for (int i = 0; i < threads; ++i) {
            try {
                helpers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    ~ChunkPipeline() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        queued_.notify_all();
        for (std::thread& helper : helpers_)
            helper.join();
    }
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    std::size_t inFlight() const { return inOrder_.size(); }

    // A chunk to fill, recycled from an earlier one when there is one.
    std::unique_ptr<Chunk> fresh() {
        if (spare_.empty())
            return std::make_unique<Chunk>();
        std::unique_ptr<Chunk> chunk = std::move(spare_.back());
        spare_.pop_back();
        return chunk;
    }

    void submit(std::unique_ptr<Chunk> chunk) {
        chunk->taken = chunk->done = chunk->failed = false;
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back(chunk.get());
            inOrder_.push_back(std::move(chunk));
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
        chunk->taken = true;
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

// Fills the chunk's rows [first, chunk.endRow) from the picture, after a dictionary of the
// stream's last bytes (`window`), which then moves on to the end of these rows.
void fillChunk(Chunk& chunk, const PictureSource& picture, int first,
               std::vector<std::uint8_t>& window) {
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 3 + 1;
    const int rows = chunk.endRow - first;
    chunk.dictionary = window.size();
    chunk.length = rowBytes * static_cast<std::size_t>(rows);
    chunk.input.resize(chunk.dictionary + chunk.length);
    std::copy(window.begin(), window.end(), chunk.input.begin());
    std::uint8_t* data = chunk.input.data() + chunk.dictionary;
    picture.readRows(first, rows, data + 1, static_cast<std::ptrdiff_t>(rowBytes));
    for (int row = 0; row < rows; ++row)
        data[static_cast<std::size_t>(row) * rowBytes] = 0; // filter type None
    const std::size_t keep = std::min(windowBytes, chunk.dictionary + chunk.length);
    window.assign(chunk.input.end() - static_cast<std::ptrdiff_t>(keep), chunk.input.end());
}

} // namespace

int pngChunkRows(int width) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3 + 1;
    return static_cast<int>(std::max<std::size_t>(1, chunkBytes / rowBytes));
}

bool encodePng(const PictureSource& picture, const PngSink& sink, const PngRowsWritten& rowsWritten,
               PngEncoding encoding) {
    const int width = picture.width(), height = picture.height();
    const int level = std::clamp(encoding.level, 1, 9);
    const int chunkRows = std::min(pngChunkRows(width), height);
    const int chunks = (height - 1) / chunkRows + 1;
    const int threads = encoding.threads > 0
                            ? encoding.threads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // While the calling thread reads a chunk, each thread has one to deflate and one waiting.
    const std::size_t heldChunks = 2 * static_cast<std::size_t>(threads) + 2;

    static constexpr std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::array<std::uint8_t, 13> header{};
    putBigEndian(header.data(), static_cast<std::uint32_t>(width));
    putBigEndian(header.data() + 4, static_cast<std::uint32_t>(height));
    header[8] = 8; // bits per sample; colour type 2 (RGB), deflate, filter set 0, no interlace
    header[9] = 2;
    if (!sink(signature, sizeof signature) ||
        !writeChunk(sink, "IHDR", {{header.data(), header.size()}}))
        return false;

    try {
        ChunkPipeline pipeline(level, chunks > 1 ? std::min(threads, chunks) : 0);
        std::vector<std::uint8_t> window;
        const auto zlibStart = zlibHeader(level);
        uLong adler = adler32(0, nullptr, 0);
        int firstUnread = 0;
        for (int written = 0; written < chunks; ++written) {
            while (firstUnread < height && pipeline.inFlight() < heldChunks) {
                std::unique_ptr<Chunk> chunk = pipeline.fresh();
                chunk->endRow = std::min(height, firstUnread + chunkRows);
                chunk->last = chunk->endRow == height;
                fillChunk(*chunk, picture, firstUnread, window);
                firstUnread = chunk->endRow;
                pipeline.submit(std::move(chunk));
            }
            const Chunk& chunk = pipeline.oldest();
            if (chunk.failed)
                return false;
            adler = adler32_combine(adler, chunk.adler, static_cast<z_off_t>(chunk.length));
            std::array<std::uint8_t, 4> check{};
            putBigEndian(check.data(), static_cast<std::uint32_t>(adler));
            if (!writeChunk(sink, "IDAT",
                            {{zlibStart.data(), written == 0 ? zlibStart.size() : 0},
                             {chunk.output.data(), chunk.outputLength},
                             {check.data(), chunk.last ? check.size() : 0}}))
                return false;
            const int endRow = chunk.endRow;
            pipeline.release();
            if (!rowsWritten(endRow))
                return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return writeChunk(sink, "IEND", {});
}

} // namespace ornamo
