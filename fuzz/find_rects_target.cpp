// DIBFindNewRects on difference pictures from anywhere, with its parameters
// inside their documented ranges.
//
//   input := width(1) height(1) key(1) minSize(1) flags(1) divisor(1)
//            capacity(2) overhead(2) pixels(rest, repeated to fill)
//   flags := bit 0 trim, bit 1 exact join
//
// Promises held: the count stays within 1 and the capacity; every
// rectangle lies inside the picture; without a key there is exactly the
// whole picture; with a key and no change, exactly (0, 0, 0, 0); when the
// array can never fill, every changed pixel is covered; trimmed
// rectangles are tight (a change on each edge); the picture is not touched.
#include <algorithm>
#include <cstring>
#include <vector>

#include "animate.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

// The engine's own list holds 256 rectangles. Every cell with a change is
// offered to each stored rectangle, so a run costs up to pixels x capacity
// joins; the capacity is held to kJoinBudget over the picture's pixels
// (small pictures take any capacity, a 255 x 255 one up to 16).
constexpr std::int32_t kMaxCapacity = 256;
constexpr std::int32_t kJoinBudget = 1 << 20;
constexpr std::int32_t kMaxDivisor = 9;
constexpr std::int32_t kMinSizeBias = 4;  // minimum sizes from -4 up

bool Inside(const RECT &r, std::int32_t width, std::int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right < width &&
           r.bottom < height;
}

}  // namespace

int FindRectsTarget(const std::uint8_t *data, std::size_t size) {
    Input in({data, size});
    const std::int32_t width = in.Byte();
    const std::int32_t height = in.Byte();
    const std::uint8_t key = in.Byte();
    const std::int32_t minSize = in.Byte() % 64 - kMinSizeBias;
    const std::uint8_t flags = in.Byte();
    const std::int32_t divisor = 2 + in.Byte() % (kMaxDivisor - 1);
    const std::int32_t pixelCount = std::max(width * height, 1);
    const std::int32_t capacity =
        1 + in.U16() % std::clamp(kJoinBudget / pixelCount, 1, kMaxCapacity);
    const auto overhead = static_cast<std::int16_t>(in.U16());
    const auto pixels = in.Rest();
    const bool trim = (flags & 1) != 0;
    const bool exact = (flags & 2) != 0;

    BlockBalance balance;
    BITMAPINFOHEADER *dib = CreateDIB(width, height);
    FUZZ_CHECK(dib != nullptr);
    dib->biCompression = static_cast<std::uint32_t>(key) << 16;
    // Rows by their addresses, looked up once: the checks below read every
    // pixel, some more than once.
    std::vector<const std::uint8_t *> rows;
    std::size_t next = 0;
    std::int32_t changed = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t *row = GetDIBPixelAddress(dib, 0, y);
        rows.push_back(row);
        for (std::int32_t x = 0; x < width; ++x) {
            row[x] = pixels.empty() ? key : pixels[next++ % pixels.size()];
            changed += row[x] != key ? 1 : 0;
        }
    }
    const std::vector<std::uint8_t> before(
        reinterpret_cast<std::uint8_t *>(dib),
        reinterpret_cast<std::uint8_t *>(dib) + platform::BlockSize(dib));
    auto pixel = [&](std::int32_t x, std::int32_t y) {
        return rows[static_cast<std::size_t>(y)][x];
    };

    SetJoinRectOverhead(overhead);
    std::vector<RECT> rects(static_cast<std::size_t>(capacity), RECT{-9, -9, -9, -9});
    std::int32_t count = capacity;
    DIBFindNewRects(dib, rects.data(), &count, minSize, trim ? 1 : 0, exact ? 1 : 0, divisor);
    FUZZ_CHECK(std::memcmp(before.data(), dib, before.size()) == 0);
    FUZZ_CHECK(count >= 1 && count <= capacity);

    if (key == 0 || changed == 0) {
        // The whole picture, or (0, 0, 0, 0) for no change.
        const RECT &r = rects[0];
        FUZZ_CHECK(count == 1 && r.left == 0 && r.top == 0 &&
                   r.right == (key == 0 ? width - 1 : 0) &&
                   r.bottom == (key == 0 ? height - 1 : 0));
    } else {
        for (std::int32_t i = 0; i < count; ++i) {
            const RECT &r = rects[static_cast<std::size_t>(i)];
            FUZZ_CHECK(Inside(r, width, height));
            if (!trim) continue;
            // Tight: each edge holds a changed pixel.
            bool top = false, bottom = false, left = false, right = false;
            for (std::int32_t x = r.left; x <= r.right; ++x) {
                top = top || pixel(x, r.top) != key;
                bottom = bottom || pixel(x, r.bottom) != key;
            }
            for (std::int32_t y = r.top; y <= r.bottom; ++y) {
                left = left || pixel(r.left, y) != key;
                right = right || pixel(r.right, y) != key;
            }
            FUZZ_CHECK(top && bottom && left && right);
        }
        // Each stored rectangle came from a distinct cell holding a change,
        // so a capacity above the number of changes is never reached and
        // nothing can have been dropped.
        if (capacity > changed) {
            // Cover counts by a summed difference grid: one pass however
            // many rectangles overlap.
            const std::size_t w = static_cast<std::size_t>(width) + 1;
            std::vector<std::int32_t> grid(w * (static_cast<std::size_t>(height) + 1));
            for (std::int32_t i = 0; i < count; ++i) {
                const RECT &r = rects[static_cast<std::size_t>(i)];
                const auto l = static_cast<std::size_t>(r.left),
                           t = static_cast<std::size_t>(r.top);
                const auto rr = static_cast<std::size_t>(r.right) + 1,
                           b = static_cast<std::size_t>(r.bottom) + 1;
                ++grid[t * w + l];
                --grid[t * w + rr];
                --grid[b * w + l];
                ++grid[b * w + rr];
            }
            for (std::int32_t y = 0; y < height; ++y) {
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::size_t at =
                        static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
                    if (x > 0) grid[at] += grid[at - 1];
                    if (y > 0) grid[at] += grid[at - w];
                    if (x > 0 && y > 0) grid[at] -= grid[at - w - 1];
                    FUZZ_CHECK(pixel(x, y) == key || grid[at] > 0);
                }
            }
        }
    }
    SetJoinRectOverhead(3000);
    DeleteDIB(dib);
    return 0;
}

}  // namespace anim::fuzz
