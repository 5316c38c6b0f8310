// Editing DIBs: cutting a rectangle out into a new DIB, padding with zero
// pixels, and filling a rectangle of a pixel area with one colour.
#include <algorithm>
#include <cstring>
#include <limits>

#include "dib/analysis.h"
#include "platform/checked_size.h"

namespace anim::dib {

BITMAPINFOHEADER *CopyRect(const BITMAPINFOHEADER *dib, const RECT &rect, std::int32_t &empty) {
    if (dib == nullptr || IsCompressed(*dib)) return nullptr;
    auto g = CheckedGeometry(dib);
    if (!g) return nullptr;
    // Only a rectangle wholly inside the picture is cut; anything else would
    // read outside the block. An empty rectangle has nothing to cut.
    if (rect.left < 0 || rect.top < 0 || rect.right < rect.left || rect.bottom < rect.top ||
        rect.right >= g->width || rect.bottom >= g->height) {
        return nullptr;
    }
    const std::int32_t width = rect.right - rect.left + 1;
    const std::int32_t height = rect.bottom - rect.top + 1;
    BITMAPINFOHEADER *cut = NewDib(width, height);
    if (cut == nullptr) return nullptr;

    const std::int64_t stride = platform::RowStride(width);
    empty = 1;
    for (std::int32_t k = 0; k < height; ++k) {
        const std::int64_t y = std::int64_t{rect.bottom} - k;
        const std::uint8_t *src = Pixels(dib) + (g->height - 1 - y) * g->stride + rect.left;
        std::uint8_t *dst = Pixels(cut) + k * stride;
        std::memcpy(dst, src, static_cast<std::size_t>(width));
        if (std::any_of(dst, dst + width, [](std::uint8_t p) { return p != 0; })) empty = 0;
        // Row ends repeat the last pixel, as raw frame rows do.
        std::memset(dst + width, dst[width - 1], static_cast<std::size_t>(stride - width));
    }
    return cut;
}

BITMAPINFOHEADER *Pad(const BITMAPINFOHEADER *dib, std::int32_t left, std::int32_t top,
                      std::int32_t right, std::int32_t bottom) {
    if (dib == nullptr || IsCompressed(*dib)) return nullptr;
    auto g = CheckedGeometry(dib);
    if (!g) return nullptr;
    // Negative padding would crop, and placing rows at negative offsets
    // writes outside the new block: refused.
    if (left < 0 || top < 0 || right < 0 || bottom < 0) return nullptr;
    const std::int64_t width = std::int64_t{g->width} + left + right;
    const std::int64_t height = std::int64_t{g->height} + top + bottom;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (width > kMax || height > kMax ||
        !platform::CheckedSize(platform::RowStride(width), height, kPixelOffset)) {
        return nullptr;
    }
    BITMAPINFOHEADER *padded =
        NewDib(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    if (padded == nullptr) return nullptr;

    // The block comes zero-filled, so the padding rows and columns are
    // already in place; only the picture rows and their row ends are written.
    const std::int64_t stride = platform::RowStride(width);
    for (std::int32_t r = 0; r < g->height; ++r) {
        std::uint8_t *dst = Pixels(padded) + (std::int64_t{bottom} + r) * stride;
        std::memcpy(dst + left, Pixels(dib) + r * g->stride, static_cast<std::size_t>(g->width));
        if (width > 0) {
            std::memset(dst + width, dst[width - 1], static_cast<std::size_t>(stride - width));
        }
    }
    return padded;
}

bool FillRect(const BITMAPINFOHEADER &header, std::uint8_t *bits, const RECT &rect,
              std::uint32_t colour) {
    const std::int64_t width = header.biWidth;
    std::int64_t height = header.biHeight;
    const bool top_down = height < 0;
    if (top_down) height = -height;
    // The surface is not a block we can measure, but its offsets must at
    // least be representable; a header no block could hold is refused.
    if (width < 0 || height > std::numeric_limits<std::int32_t>::max() ||
        !platform::CheckedSize(platform::RowStride(width), height)) {
        return false;
    }
    // Only the far edges are clipped; a negative near edge would address
    // memory before the surface, so it is refused instead.
    if (rect.left < 0 || rect.top < 0) return false;
    const std::int64_t right = std::min<std::int64_t>(rect.right, width - 1);
    const std::int64_t bottom = std::min<std::int64_t>(rect.bottom, height - 1);
    const std::int64_t w = right - rect.left + 1;
    const std::int64_t h = bottom - rect.top + 1;
    if (w < 1 || h < 1) return false;

    const std::int32_t offset = GetPixelOffsetTopDown(
        rect.left, static_cast<std::int32_t>(bottom), static_cast<std::int32_t>(width),
        static_cast<std::int32_t>(height), top_down ? 1 : 0);
    // The fill runs from the bottom row upward: in a top-down surface that
    // is towards lower addresses.
    const auto stride = static_cast<std::int32_t>(platform::RowStride(width));
    FillDIBBits(bits + offset, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                top_down ? -stride : stride, colour);
    return true;
}

}  // namespace anim::dib

extern "C" {

ANIM_API BITMAPINFOHEADER *CopyDIBRectToDIB(const BITMAPINFOHEADER *dib, int32_t left, int32_t top,
                                            int32_t right, int32_t bottom, int32_t *empty) {
    if (empty == nullptr) return nullptr;
    return anim::dib::CopyRect(dib, RECT{left, top, right, bottom}, *empty);
}

ANIM_API BITMAPINFOHEADER *PadCopyDIB(const BITMAPINFOHEADER *dib, int32_t left, int32_t top,
                                      int32_t right, int32_t bottom) {
    return anim::dib::Pad(dib, left, top, right, bottom);
}

ANIM_API int32_t FillDIBRect(const BITMAPINFOHEADER *header, uint8_t *bits, const RECT *rect,
                             uint32_t colour) {
    if (header == nullptr || bits == nullptr || rect == nullptr) return 0;
    return anim::dib::FillRect(*header, bits, *rect, colour) ? 1 : 0;
}

}  // extern "C"
