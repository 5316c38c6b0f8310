// Reading whole DIBs: the box of the non-zero pixels and trimming to it, the
// pixel checksum and the cell size of template sheets.
#include "dib/analysis.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/checked_size.h"

namespace anim::dib {
namespace {

// CRC-16/ARC: polynomial 0x8005 reflected, processed a byte at a time.
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr auto kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0xC0C1 && kCrcTable[255] == 0x4040);

const std::uint8_t *StoredRow(const BITMAPINFOHEADER *dib, const Geometry &g, std::int64_t r) {
    return Pixels(dib) + r * g.stride;
}

}  // namespace

std::optional<MinRect> FindMinRect(const BITMAPINFOHEADER *dib) {
    if (dib == nullptr || IsCompressed(*dib)) return std::nullopt;
    auto g = CheckedGeometry(dib);
    if (!g) return std::nullopt;
    MinRect box{g->width - 1, 0, g->height - 1, 0};
    // A picture without columns has no pixels, however many rows its header
    // claims; a file can claim two billion of them at no cost in bytes, and
    // walking them would hang the caller.
    if (g->width == 0) return box;

    // The first two passes find one corner each, so that the third only has
    // to look at the columns outside the box found so far.
    for (std::int32_t r = 0; r <= box.low; ++r) {
        PumpMessages();
        const std::uint8_t *row = StoredRow(dib, *g, r);
        std::int32_t c = 0;
        while (c <= box.left && row[c] == 0) ++c;
        if (c <= box.left) {
            box.low = r;
            box.left = c;
            break;
        }
    }
    for (std::int32_t r = g->height - 1; r >= box.high; --r) {
        PumpMessages();
        const std::uint8_t *row = StoredRow(dib, *g, r);
        std::int32_t c = g->width - 1;
        while (c >= box.right && row[c] == 0) --c;
        if (c >= box.right) {
            box.high = r;
            box.right = c;
            break;
        }
    }
    // A zero-height picture starts with low = -1, which is no row to visit.
    const std::int32_t last = std::min(box.high, g->height - 1);
    for (std::int32_t r = std::max(box.low, 0); r <= last; ++r) {
        PumpMessages();
        const std::uint8_t *row = StoredRow(dib, *g, r);
        for (std::int32_t c = 0; c <= box.left; ++c) {
            if (row[c] != 0) box.left = c;
        }
        for (std::int32_t c = g->width - 1; c >= box.right; --c) {
            if (row[c] != 0) box.right = c;
        }
    }
    return box;
}

BITMAPINFOHEADER *Trim(BITMAPINFOHEADER *dib, const RECT *rect, POINT &origin) {
    auto g = CheckedGeometry(dib);
    if (!g) return nullptr;
    // 64-bit so that a rectangle far outside cannot overflow on its way to
    // being refused.
    std::int64_t left, right, low, high;
    if (rect != nullptr) {
        left = rect->left;
        right = rect->right;
        low = std::int64_t{g->height} - 1 - rect->bottom;
        high = std::int64_t{g->height} - 1 - rect->top;
    } else {
        auto box = FindMinRect(dib);
        if (!box) return nullptr;
        left = box->left;
        right = box->right;
        low = box->low;
        high = box->high;
    }
    origin.x = static_cast<std::int32_t>(left);
    origin.y = static_cast<std::int32_t>(std::int64_t{g->height} - 1 - high);

    const std::int64_t width = right + 1 - left;
    const std::int64_t height = high + 1 - low;
    if (width < 1 || height < 1) return nullptr;
    // A rectangle reaching outside the picture would copy bytes from beyond
    // its block; it is refused and the DIB stays the caller's.
    if (left < 0 || low < 0 || right >= g->width || high >= g->height) return nullptr;

    const std::int64_t stride = platform::RowStride(width);
    auto image_size = platform::CheckedSize(stride, height);
    auto block_size = platform::CheckedSize(stride, height, kPixelOffset);
    if (!image_size || !block_size) return nullptr;
    auto *trimmed = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*block_size));
    if (trimmed == nullptr) return nullptr;
    std::memcpy(trimmed, dib, kInfoHeaderSize);
    trimmed->biWidth = static_cast<std::int32_t>(width);
    trimmed->biHeight = static_cast<std::int32_t>(height);
    trimmed->biSizeImage = *image_size;
    std::memcpy(Bytes(trimmed) + kColourTableOffset, Bytes(dib) + kColourTableOffset,
                kColourTableSize);

    for (std::int64_t k = 0; k < height; ++k) {
        std::memcpy(Pixels(trimmed) + k * stride, StoredRow(dib, *g, low + k) + left,
                    static_cast<std::size_t>(width));
        PumpMessages();
    }
    FREE(dib);
    PumpMessages();
    return trimmed;
}

std::uint16_t PixelChecksum(const BITMAPINFOHEADER &dib, const Geometry &g) {
    std::uint16_t crc = 0;
    if (g.width == 0) return crc;  // no pixels, whatever the row count (see FindMinRect)
    for (std::int32_t r = 0; r < g.height; ++r) {
        const std::uint8_t *row = StoredRow(&dib, g, r);
        for (std::int32_t c = 0; c < g.width; ++c) {
            crc = static_cast<std::uint16_t>(kCrcTable[(row[c] ^ crc) & 0xFFu] ^ (crc >> 8));
        }
        PumpMessages();
    }
    return crc;
}

std::optional<POINT> TemplateSteps(const BITMAPINFOHEADER *dib) {
    auto g = CheckedGeometry(dib);
    if (!g) return std::nullopt;
    POINT steps{g->width, g->height};
    if (g->width == 0 || g->height == 0) return steps;
    auto pixel = [&](std::int32_t x, std::int32_t y) {
        return StoredRow(dib, *g, std::int64_t{g->height} - 1 - y)[x];
    };
    const std::uint8_t mark = pixel(0, 0);
    std::int32_t x = 1;
    while (x < g->width && pixel(x, 0) != mark) ++x;
    steps.x = x;
    // Without a second mark in the top row there is no column to follow
    // down, so the sheet counts as one cell: the y step is the height.
    if (x == g->width) return steps;
    std::int32_t y = 1;
    while (y < g->height && pixel(x, y) != mark) ++y;
    steps.y = y;
    return steps;
}

}  // namespace anim::dib

using namespace anim::dib;

extern "C" {

ANIM_API BITMAPINFOHEADER *GetDIBMinRect(BITMAPINFOHEADER *dib, int32_t *left, int32_t *right,
                                         int32_t *low, int32_t *high) {
    if (left == nullptr || right == nullptr || low == nullptr || high == nullptr) return nullptr;
    auto box = FindMinRect(dib);
    if (!box) return nullptr;
    *left = box->left;
    *right = box->right;
    *low = box->low;
    *high = box->high;
    return dib;
}

ANIM_API BITMAPINFOHEADER *TrimDIB(BITMAPINFOHEADER *dib, const RECT *rect, POINT *origin) {
    if (origin == nullptr) return nullptr;
    return Trim(dib, rect, *origin);
}

ANIM_API uint32_t ChecksumDIB(BITMAPINFOHEADER *dib) {
    if (dib == nullptr) return 0;
    if (IsCompressed(*dib)) {
        FREE(dib);
        return 0;
    }
    auto g = CheckedGeometry(dib);
    if (!g) return 0;
    return PixelChecksum(*dib, *g);
}

ANIM_API void GetDIBTemplateNumbers(const BITMAPINFOHEADER *dib, POINT *steps) {
    if (steps == nullptr) return;
    if (auto found = TemplateSteps(dib)) *steps = *found;
}

}  // extern "C"
