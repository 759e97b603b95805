#include "mosaicview.h"

#include "memoryfit.h"
#include "parallel.h"
#include "pixelarea.h"
#include "viewcomputer.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <unordered_map>

namespace ornamo {

// Computed tiles of a view too large to keep, the least recently used given back first.
class MosaicView::TileCache {
public:
    static constexpr int tileSide = 256;

    explicit TileCache(std::size_t capacityBytes) : capacity_(capacityBytes) {}

    void read(const ViewComputer& computer, std::int32_t factor, int side, const ViewRect& rect,
              std::uint8_t* out, std::ptrdiff_t stride) {
        const PixelArea asked{rect.x, rect.y, std::int64_t{rect.x} + rect.width,
                              std::int64_t{rect.y} + rect.height};
        for (int ty = rect.y / tileSide; ty * tileSide < rect.y + rect.height; ++ty)
            for (int tx = rect.x / tileSide; tx * tileSide < rect.x + rect.width; ++tx) {
                const Bitmap& tile = tileAt(computer, factor, side, tx, ty);
                const std::int64_t tileX = tx * tileSide, tileY = ty * tileSide;
                const PixelArea both =
                    PixelArea{tileX, tileY, tileX + tile.width(), tileY + tile.height()}
                        .intersected(asked);
                const auto bytes = static_cast<std::size_t>(both.right - both.left) * 3;
                for (std::int64_t y = both.top; y < both.bottom; ++y)
                    std::memcpy(out + (y - rect.y) * stride + (both.left - rect.x) * 3,
                                tile.row(static_cast<int>(y - tileY)) + (both.left - tileX) * 3,
                                bytes);
            }
    }

private:
    struct Entry {
        Bitmap tile;
        std::list<std::uint64_t>::iterator use;
    };

    const Bitmap& tileAt(const ViewComputer& computer, std::int32_t factor, int side, int tx,
                         int ty) {
        const std::uint64_t key =
            (std::uint64_t(static_cast<std::uint32_t>(ty)) << 32) | static_cast<std::uint32_t>(tx);
        if (const auto found = tiles_.find(key); found != tiles_.end()) {
            uses_.splice(uses_.begin(), uses_, found->second.use);
            return found->second.tile;
        }
        const ViewRect rect{tx * tileSide, ty * tileSide, std::min(tileSide, side - tx * tileSide),
                            std::min(tileSide, side - ty * tileSide)};
        Bitmap tile;
        tile.resizeForOverwrite(rect.width, rect.height);
        computer.compute(factor, rect, tile.bits(), tile.stride(), nullptr);
        const std::size_t bytes = tile.capacityBytes();
        while (!uses_.empty() && held_ + bytes > capacity_) {
            const auto oldest = tiles_.find(uses_.back());
            held_ -= oldest->second.tile.capacityBytes();
            tiles_.erase(oldest);
            uses_.pop_back();
        }
        uses_.push_front(key);
        held_ += bytes;
        Entry& entry = tiles_[key];
        entry.tile = std::move(tile);
        entry.use = uses_.begin();
        return entry.tile;
    }

    std::size_t capacity_;
    std::size_t held_ = 0;
    std::unordered_map<std::uint64_t, Entry> tiles_;
    std::list<std::uint64_t> uses_; // most recent first
};

// The whole view as a picture source.
class MosaicView::Picture final : public PictureSource {
public:
    explicit Picture(const MosaicView& view) : view_(view) {}
    int width() const override { return view_.side_; }
    int height() const override { return view_.side_; }
    void readRows(int firstRow, int rowCount, std::uint8_t* pixels,
                  std::ptrdiff_t stride) const override {
        const ViewRect rect{0, firstRow, view_.side_, rowCount};
        if (view_.held_)
            view_.read(rect, pixels, stride);
        else if (view_.computer_)
            view_.computer_->compute(view_.factor_, rect, pixels, stride, nullptr);
    }

private:
    const MosaicView& view_;
};

MosaicView::MosaicView() : MosaicView(Limits{}) {}

MosaicView::MosaicView(Limits limits)
    : limits_(limits), picture_(std::make_unique<Picture>(*this)) {}

MosaicView::~MosaicView() = default;

std::int64_t MosaicView::sideFor(std::int64_t extent, std::int32_t shrinkFactor, bool noScale) {
    if (noScale)
        return extent;
    const std::int64_t f = static_cast<std::uint16_t>(shrinkFactor);
    if (extent <= f)
        return 0;
    if (f <= 1)
        return extent;
    return extent / f;
}

bool MosaicView::fits(std::int64_t extent, std::int32_t shrinkFactor, bool noScale,
                      const Limits& limits) {
    const std::int64_t side = sideFor(extent, shrinkFactor, noScale);
    const std::size_t bytes = Bitmap::bytesFor(side, side);
    return fitsInMemory(bytes <= limits.heldBytes ? bytes : limits.cacheBytes);
}

const Mosaic& MosaicView::mosaic() const {
    static const Mosaic none;
    return computer_ ? computer_->mosaic() : none;
}

bool MosaicView::render(const Mosaic& mosaic, std::int32_t shrinkFactor, bool noScale,
                        Progress* progress) {
    const std::int64_t extent = mosaic.extent();
    const std::int64_t side = sideFor(extent, shrinkFactor, noScale);
    const std::int32_t factor =
        noScale || side == extent ? 1 : static_cast<std::uint16_t>(shrinkFactor);
    try {
        detail::BusyCaption busy(progress, Caption::Rendering);
        return show(std::make_shared<const ViewComputer>(mosaic, limits_.fullTableBytes), factor,
                    static_cast<int>(side), progress);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool MosaicView::rescale(std::int32_t shrinkFactor, Progress* progress) {
    if (!computer_)
        return false;
    const std::int64_t extent = computer_->mosaic().extent();
    const std::int64_t side = sideFor(extent, shrinkFactor, false);
    const std::int32_t factor = side == extent ? 1 : static_cast<std::uint16_t>(shrinkFactor);
    try {
        const bool reduced = factor > 1 && side > 0;
        detail::BusyCaption busy(reduced ? progress : nullptr, Caption::Shrinking);
        return show(computer_, factor, static_cast<int>(side), reduced ? progress : nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool MosaicView::show(std::shared_ptr<const ViewComputer> computer, std::int32_t factor, int side,
                      Progress* progress) {
    std::unique_ptr<Bitmap> held;
    std::unique_ptr<TileCache> cache;
    const std::size_t bytes = Bitmap::bytesFor(side, side);
    if (bytes <= limits_.heldBytes) {
        // The buffer of the view before last is reused: fresh pages cost more than the drawing.
        held = spare_ && spare_->capacityBytes() >= bytes ? std::move(spare_)
                                                          : std::make_unique<Bitmap>();
        if (!fitsInMemory(bytes, held->capacityBytes()))
            return false;
        held->resizeForOverwrite(side, side);
        computer->compute(factor, {0, 0, side, side}, held->bits(), held->stride(), progress);
    } else {
        if (!fitsInMemory(limits_.cacheBytes))
            return false;
        cache = std::make_unique<TileCache>(limits_.cacheBytes);
    }
    computer_ = std::move(computer);
    factor_ = factor;
    side_ = side;
    spare_ = std::move(held_);
    held_ = std::move(held);
    cache_ = std::move(cache);
    return true;
}

void MosaicView::read(const ViewRect& rect, std::uint8_t* out, std::ptrdiff_t stride) const {
    if (rect.isEmpty())
        return;
    if (held_) {
        const auto bytes = static_cast<std::size_t>(rect.width) * 3;
        for (int y = 0; y < rect.height; ++y)
            std::memcpy(out + y * stride, held_->row(rect.y + y) + std::ptrdiff_t{rect.x} * 3,
                        bytes);
    } else if (cache_) {
        cache_->read(*computer_, factor_, side_, rect, out, stride);
    }
}

void MosaicView::clear() {
    computer_.reset();
    held_.reset();
    spare_.reset();
    cache_.reset();
    factor_ = 1;
    side_ = 0;
}

const PictureSource& MosaicView::picture() const {
    return *picture_;
}

} // namespace ornamo
