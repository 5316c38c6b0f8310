// Turning a difference DIB into a short list of rectangles that cover every
// changed pixel: regions with changes are cut into a grid of cells, cell by
// cell down to the minimum size, and the resulting rectangles are joined by
// the dirty-rectangle rule as they arrive.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "animate.h"
#include "dib/packed_dib.h"
#include "dib/rect.h"

namespace anim::dib {
namespace {

struct Point64 {
    std::int64_t x, y;
};

// One search over one DIB. Regions are kept in 64-bit numbers so that the
// cell stepping near INT32_MAX cannot overflow; every region handed out lies
// inside the DIB, so it narrows back to RECT without loss.
class RectFinder {
  public:
    RectFinder(BITMAPINFOHEADER *dib, RECT *rects, std::int32_t capacity, std::int32_t min_size,
               bool trim, JoinMode mode, std::int32_t divisor)
        : pixels_(Pixels(dib)),
          stride_(platform::RowStride(dib->biWidth)),
          height_(dib->biHeight),
          key_(static_cast<std::uint8_t>(dib->biCompression >> 16)),
          rects_(rects),
          capacity_(capacity),
          min_size_(min_size),
          trim_(trim),
          mode_(mode),
          divisor_(divisor) {}

    std::int32_t stored() const { return stored_; }

    void SearchRegion(const RECT &region) { Search(region, region.top); }

    // Edge-mode joins compare the untrimmed cells, so their trimming waits
    // until the search is over.
    void TrimStored() {
        for (std::int32_t i = 0; i < stored_; ++i) rects_[i] = Trim(rects_[i]);
    }

  private:
    const std::uint8_t *Row(std::int64_t y) const { return pixels_ + (height_ - 1 - y) * stride_; }

    // The first changed column of row y within [left, right], if any.
    std::optional<std::int64_t> FirstChangeInRow(std::int64_t y, std::int64_t left,
                                                 std::int64_t right) const {
        const std::uint8_t *row = Row(y);
        for (std::int64_t x = left; x <= right; ++x) {
            if (row[x] != key_) return x;
        }
        return std::nullopt;
    }

    std::optional<std::int64_t> LastChangeInRow(std::int64_t y, std::int64_t left,
                                                std::int64_t right) const {
        const std::uint8_t *row = Row(y);
        for (std::int64_t x = right; x >= left; --x) {
            if (row[x] != key_) return x;
        }
        return std::nullopt;
    }

    // The first changed pixel in row-major order, starting at row `from`.
    std::optional<Point64> FirstChange(const RECT &r, std::int64_t from) const {
        for (std::int64_t y = std::max<std::int64_t>(r.top, from); y <= r.bottom; ++y) {
            if (auto x = FirstChangeInRow(y, r.left, r.right)) return Point64{*x, y};
        }
        return std::nullopt;
    }

    // `clean_above`: the rows of the region above it are known to hold no
    // changes, found so while testing the enclosing region; skipping them
    // keeps a large unchanged band from being rescanned at every level.
    void Search(const RECT &region, std::int64_t clean_above) {
        const std::optional<Point64> first = FirstChange(region, clean_above);
        if (!first) return;

        const std::int64_t w = std::int64_t{region.right} - region.left + 1;
        const std::int64_t h = std::int64_t{region.bottom} - region.top + 1;
        if (w <= min_size_ || h <= min_size_ || stored_ >= capacity_) {
            Add(region);
            return;
        }

        std::int64_t sw = w / divisor_;
        std::int64_t sh = h / divisor_;
        if (h * divisor_ < w) {
            sh = h;  // a wide strip is cut into columns only
        } else if (w * divisor_ < h) {
            sw = w;  // a tall strip into rows only
        }
        // A region of one or two pixels a side can come back as a single cell
        // equal to itself (2x2 halved, or 1x1 when the minimum size is 0 or
        // less); cutting it again would never end, so it stands as it is.
        if (sw + 1 >= w && sh + 1 >= h) {
            Add(region);
            return;
        }

        // Columns outer, rows inner: the order decides which rectangles meet
        // first and therefore how they join.
        for (std::int64_t x = region.left; x <= region.right; x += sw + 1) {
            for (std::int64_t y = region.top; y <= region.bottom; y += sh + 1) {
                const RECT cell{
                    static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                    static_cast<std::int32_t>(std::min<std::int64_t>(x + sw, region.right)),
                    static_cast<std::int32_t>(std::min<std::int64_t>(y + sh, region.bottom))};
                // Rows above the first change are clean across the region; so
                // is its own row for cells wholly left of it.
                Search(cell, cell.right < first->x ? first->y + 1 : first->y);
            }
        }
    }

    // Shrinks r to the box of its changed pixels. Only called on rectangles
    // known to hold at least one.
    RECT Trim(const RECT &r) const {
        if (!trim_) return r;
        std::int64_t top = r.top;
        while (top <= r.bottom && !FirstChangeInRow(top, r.left, r.right)) ++top;
        if (top > r.bottom) return r;
        std::int64_t bottom = r.bottom;
        while (!FirstChangeInRow(bottom, r.left, r.right)) --bottom;

        // Each row only needs the columns outside the box found so far. The
        // starting guesses are right: a change lies somewhere in [left, right].
        std::int64_t left = r.right;
        std::int64_t right = r.left;
        for (std::int64_t y = top; y <= bottom; ++y) {
            if (auto x = FirstChangeInRow(y, r.left, left - 1)) left = *x;
            if (auto x = LastChangeInRow(y, right + 1, r.right)) right = *x;
        }
        return RECT{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                    static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    }

    void Add(RECT r) {
        if (mode_ == JoinMode::kCost) r = Trim(r);
        // Every joined union is offered to the list again from the front, so
        // one arrival can collapse several stored rectangles. A union of
        // trimmed rectangles has a change on each of its edges, so trimming
        // it again would change nothing.
        for (;;) {
            RECT *end = rects_ + stored_;
            RECT *match =
                std::find_if(rects_, end, [&](const RECT &s) { return ShouldJoin(r, s); });
            if (match == end) break;
            r = Union(r, *match);
            std::copy(match + 1, end, match);
            rects_[--stored_] = RECT{0, 0, 0, 0};
        }
        if (stored_ == capacity_) return;  // full: a rectangle that joins nothing is lost
        rects_[stored_++] = r;
    }

    const std::uint8_t *pixels_;
    std::int64_t stride_;
    std::int64_t height_;
    std::uint8_t key_;
    RECT *rects_;
    std::int32_t stored_ = 0;
    std::int32_t capacity_;
    std::int32_t min_size_;
    bool trim_;
    JoinMode mode_;
    std::int64_t divisor_;
};

constexpr std::int32_t MinusOne(std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) - 1u);
}

void FindNewRects(BITMAPINFOHEADER *dib, RECT *rects, std::int32_t *count, std::int32_t min_size,
                  bool trim, bool exact_join, std::int32_t divisor) {
    // Refused arguments leave everything as it was, the join mode included;
    // only a count that can be written is answered with 0.
    if (count == nullptr) return;
    if (dib == nullptr || rects == nullptr) {
        *count = 0;
        return;
    }
    const JoinMode mode = exact_join ? JoinMode::kEdge : JoinMode::kCost;
    SetJoinMode(mode);
    const std::int32_t capacity = *count;
    if (capacity < 1) {
        *count = 0;  // not even the fallback rectangle fits
        return;
    }

    const std::int32_t width = dib->biWidth;
    const std::int32_t height = dib->biHeight;
    const std::uint8_t key = static_cast<std::uint8_t>(dib->biCompression >> 16);
    if (key == 0) {
        // Without a key no pixel is known to be unchanged.
        rects[0] = RECT{0, 0, MinusOne(width), MinusOne(height)};
        *count = 1;
        return;
    }

    RectFinder finder(dib, rects, capacity, min_size, trim, mode, std::max(divisor, 2));
    if (width > 0 && height > 0) finder.SearchRegion(RECT{0, 0, width - 1, height - 1});
    if (finder.stored() == 0) {
        // Callers expect at least one rectangle to repaint; a single pixel at
        // the origin is the cheapest one that is not empty.
        rects[0] = RECT{0, 0, 0, 0};
        *count = 1;
        return;
    }
    if (mode == JoinMode::kEdge) finder.TrimStored();
    *count = finder.stored();
}

}  // namespace
}  // namespace anim::dib

extern "C" {

ANIM_API void DIBFindNewRects(BITMAPINFOHEADER *dib, RECT *rects, int32_t *count, int32_t minSize,
                              int32_t trim, int32_t exactJoin, int32_t divisor) {
    anim::dib::FindNewRects(dib, rects, count, minSize, trim != 0, exactJoin != 0, divisor);
}

}  // extern "C"
