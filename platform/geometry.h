// Pixel-area arithmetic that every layer shares: the row stride of an 8-bit
// picture and half-open intervals for clipping blocks against areas.
#pragma once

#include <algorithm>
#include <cstdint>

namespace anim::platform {

// Bytes in one stored row of an 8-bit picture width pixels wide: rows start
// on 4-byte boundaries, as in every DIB and raw frame.
constexpr std::int64_t RowStride(std::int64_t width) {
    return (width + 3) & ~std::int64_t{3};
}

// The half-open interval [first, end) of pixel or row indices.
struct Interval {
    std::int64_t first;
    std::int64_t end;

    constexpr bool Empty() const { return end <= first; }
    constexpr std::int64_t Size() const { return end - first; }
};

constexpr Interval Meet(Interval a, Interval b) {
    return {std::max(a.first, b.first), std::min(a.end, b.end)};
}

// The indices i of a block of length n placed with index 0 at offset that
// land inside [0, limit).
constexpr Interval Inside(std::int64_t offset, std::int64_t n, std::int64_t limit) {
    return {std::max<std::int64_t>(0, -offset), std::min(n, limit - offset)};
}

}  // namespace anim::platform
