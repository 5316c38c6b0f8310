// Difference DIBs: a new picture reduced to the pixels that differ from the
// old one under it, everything else set to a key colour that the new picture
// does not use, so that the changed areas can be found again later.
#include <array>

#include "dib/analysis.h"

namespace anim::dib {
namespace {

// The smallest index from 1 to 254 that no pixel uses; 0 (no key) when all
// are used. 255 is never a key, 0 is the empty colour.
std::uint8_t FreeKey(const BITMAPINFOHEADER *dib, const Geometry &g) {
    std::array<bool, 256> used{};
    for (std::int32_t r = 0; r < g.height; ++r) {
        const std::uint8_t *row = Pixels(dib) + r * g.stride;
        for (std::int32_t c = 0; c < g.width; ++c) used[row[c]] = true;
    }
    for (int key = 1; key <= 254; ++key) {
        if (!used[key]) return static_cast<std::uint8_t>(key);
    }
    return 0;
}

}  // namespace

BITMAPINFOHEADER *DeltaOffset(BITMAPINFOHEADER *fresh, std::int32_t x, std::int32_t y,
                              BITMAPINFOHEADER *old) {
    // Headers that do not describe their blocks are left alone entirely.
    auto n = CheckedGeometry(fresh);
    auto o = CheckedGeometry(old);
    if (!n || !o) return nullptr;
    if (o->width < n->width || o->height < n->height || (fresh->biCompression >> 16) != 0) {
        FREE(fresh);
        return nullptr;
    }
    // The sizes fit but the placement may not: rather than write past the
    // old block, refuse and leave the new DIB with the caller.
    if (x < 0 || y < 0 || std::int64_t{x} + n->width > o->width ||
        std::int64_t{y} + n->height > o->height) {
        return nullptr;
    }
    const std::uint8_t key = FreeKey(fresh, *n);
    if (key == 0) return fresh;
    fresh->biCompression = std::uint32_t{key} << 16;

    for (std::int32_t r = 0; r < n->height; ++r) {
        std::uint8_t *now = Pixels(fresh) + (std::int64_t{n->height} - 1 - r) * n->stride;
        std::uint8_t *before =
            Pixels(old) + (std::int64_t{o->height} - 1 - (std::int64_t{y} + r)) * o->stride + x;
        for (std::int32_t c = 0; c < n->width; ++c) {
            if (now[c] == before[c]) {
                now[c] = key;
            } else {
                before[c] = now[c];
            }
        }
    }
    PumpMessages();
    return fresh;
}

}  // namespace anim::dib

extern "C" {

ANIM_API BITMAPINFOHEADER *DeltaOffsetDIB(BITMAPINFOHEADER *newDib, int32_t x, int32_t y,
                                          BITMAPINFOHEADER *oldDib) {
    if (newDib == nullptr || oldDib == nullptr) return nullptr;
    return anim::dib::DeltaOffset(newDib, x, y, oldDib);
}

ANIM_API BITMAPINFOHEADER *DeltaDIB(BITMAPINFOHEADER *newDib, BITMAPINFOHEADER *oldDib) {
    return DeltaOffsetDIB(newDib, 0, 0, oldDib);
}

}  // extern "C"
