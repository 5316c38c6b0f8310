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
// (small pictures take any capacity, a 255 x 255 one up to 16). That also
// bounds the pixels the rectangles cover, which the checks visit.
constexpr std::int32_t kMaxCapacity = 256;
constexpr std::int32_t kJoinBudget = 1 << 20;
constexpr std::int32_t kMaxDivisor = 9;
constexpr std::int32_t kMinSizeBias = 4;  // minimum sizes from -4 up

}  // namespace

int FindRectsTarget(const std::uint8_t *data, std::size_t size) {
    Input in({data, size});
    const std::int32_t width = in.Byte();
    const std::int32_t height = in.Byte();
    const std::uint8_t key = in.Byte();
    const std::int32_t minSize = in.Byte() % 64 - kMinSizeBias;
    const std::uint8_t flags = in.Byte();
    const std::int32_t divisor = 2 + in.Byte() % (kMaxDivisor - 1);
    const std::int32_t capacity = 1 + in.U16() % std::clamp(kJoinBudget / std::max(width * height, 1), 1, kMaxCapacity);
    const auto overhead = static_cast<std::int16_t>(in.U16());
    const auto pixels = in.Rest();
    const bool trim = (flags & 1) != 0;

    BlockBalance balance;
    std::size_t next = 0;
    BITMAPINFOHEADER *dib = FilledDib(width, height, [&](std::int32_t, std::int32_t) {
        return pixels.empty() ? key : pixels[next++ % pixels.size()];
    });
    dib->biCompression = static_cast<std::uint32_t>(key) << 16;
    const std::vector<std::uint8_t> before = BlockBytes(dib);
    // Rows by their addresses, looked up once: the checks below read every
    // pixel, some more than once.
    std::vector<const std::uint8_t *> rows;
    for (std::int32_t y = 0; y < height; ++y) rows.push_back(GetDIBPixelAddress(dib, 0, y));
    // Whether any pixel from (l, t) to (r, b) changed.
    auto changedIn = [&](std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
        for (std::int32_t y = t; y <= b; ++y)
            for (std::int32_t x = l; x <= r; ++x)
                if (rows[static_cast<std::size_t>(y)][x] != key) return true;
        return false;
    };
    std::int32_t changes = 0;
    for (std::int32_t y = 0; y < height; ++y)
        changes += static_cast<std::int32_t>(std::count_if(rows[static_cast<std::size_t>(y)],
                                                           rows[static_cast<std::size_t>(y)] + width,
                                                           [&](std::uint8_t v) { return v != key; }));

    SetJoinRectOverhead(overhead);
    std::vector<RECT> rects(static_cast<std::size_t>(capacity), RECT{-9, -9, -9, -9});
    std::int32_t count = capacity;
    DIBFindNewRects(dib, rects.data(), &count, minSize, trim ? 1 : 0, (flags & 2) != 0 ? 1 : 0, divisor);
    FUZZ_CHECK(BlockBytes(dib) == before);
    FUZZ_CHECK(count >= 1 && count <= capacity);
    rects.resize(static_cast<std::size_t>(count));

    if (key == 0 || changes == 0) {
        // The whole picture, or (0, 0, 0, 0) for no change.
        const RECT &r = rects[0];
        FUZZ_CHECK(count == 1 && r.left == 0 && r.top == 0 && r.right == (key == 0 ? width - 1 : 0) &&
                   r.bottom == (key == 0 ? height - 1 : 0));
    } else {
        std::vector<bool> covered(static_cast<std::size_t>(width) * height);
        for (const RECT &r : rects) {
            FUZZ_CHECK(r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right < width &&
                       r.bottom < height);
            // Tight: each edge holds a changed pixel.
            if (trim)
                FUZZ_CHECK(changedIn(r.left, r.top, r.right, r.top) && changedIn(r.left, r.bottom, r.right, r.bottom) &&
                           changedIn(r.left, r.top, r.left, r.bottom) && changedIn(r.right, r.top, r.right, r.bottom));
            for (std::int32_t y = r.top; y <= r.bottom; ++y)
                std::fill_n(covered.begin() + y * width + r.left, r.right - r.left + 1, true);
        }
        // Each stored rectangle came from a distinct cell holding a change,
        // so a capacity above the number of changes is never reached and
        // nothing can have been dropped.
        for (std::int32_t y = 0; y < height && capacity > changes; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                FUZZ_CHECK(!changedIn(x, y, x, y) || covered[static_cast<std::size_t>(y * width + x)]);
    }
    SetJoinRectOverhead(3000);
    DeleteDIB(dib);
    return 0;
}

}  // namespace anim::fuzz
