// Passing pixels between packed DIBs and raw Anx frames.
//
//   frame   := header(32) entry(8){count} rows
//   header  := 04 20 count(i16) dataSize(u32) compression(u32)
//              left top right bottom(i16 x4) 00{12}
//   rows    := for each entry: height rows, bottom row first, of
//              width pixels + pad, pad = the row's last pixel repeated up to
//              (width + 3) & ~3
//
// Each entry's rows are the bits of a packed DIB of its size, so both
// directions are plain row copies.
#include <cstring>

#include "dib/anx_frame.h"
#include "dib/packed_dib.h"
#include "platform/checked_size.h"

namespace anim::dib {
namespace {

using dib::kEntrySize;
using dib::kHeaderSize;

// Refused as well as compressed DIBs: a negative count, null rectangles
// with a positive count, more rectangles than the 16-bit count holds, and
// any rectangle that is not inside the DIB (empty ones, one past an edge,
// are allowed and store nothing).
bool InsideDib(const BITMAPINFOHEADER &dib, const RECT &r) {
    return r.left >= 0 && r.top >= 0 && r.right < dib.biWidth && r.bottom < dib.biHeight &&
           std::int64_t{r.right} >= std::int64_t{r.left} - 1 &&
           std::int64_t{r.bottom} >= std::int64_t{r.top} - 1;
}

}  // namespace

ANXFRAME *FrameFromDib(const BITMAPINFOHEADER *dib, const POINT *origin, const RECT *rects,
                       std::int32_t count) {
    if (dib == nullptr || (dib->biCompression & 0xFFFFu) != 0) return nullptr;
    if (count < 0 || count > INT16_MAX || (count > 0 && rects == nullptr)) return nullptr;
    std::uint32_t dataSize = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const RECT &r = rects[i];
        if (!InsideDib(*dib, r)) return nullptr;
        auto sum = platform::CheckedSize(platform::RowStride(std::int64_t{r.right} - r.left + 1),
                                         std::int64_t{r.bottom} - r.top + 1, dataSize);
        if (!sum) return nullptr;
        dataSize = *sum;
    }
    auto blockSize = platform::CheckedSize(kEntrySize, count, std::int64_t{kHeaderSize} + dataSize);
    if (!blockSize) return nullptr;
    auto *frame = static_cast<ANXFRAME *>(ALLOCATE(*blockSize));
    if (frame == nullptr) return nullptr;

    const POINT at = origin != nullptr ? *origin : POINT{0, 0};
    ANXFRAME header{};
    header.firstMark = dib::kFirstMark;
    header.secondMark = dib::kSecondMark;
    header.rectCount = static_cast<std::int16_t>(count);
    header.dataSize = dataSize;
    // The high half carries a difference DIB's key colour along.
    header.compression = static_cast<std::uint16_t>(dib->biCompression);
    header.compressionHigh = static_cast<std::uint16_t>(dib->biCompression >> 16);
    header.rect.left = static_cast<std::int16_t>(at.x);
    header.rect.top = static_cast<std::int16_t>(at.y);
    header.rect.right = static_cast<std::int16_t>(std::int64_t{at.x} + dib->biWidth - 1);
    header.rect.bottom = static_cast<std::int16_t>(std::int64_t{at.y} + dib->biHeight - 1);
    dib::StoreHeader(frame, header);

    const std::int64_t dibStride = platform::RowStride(dib->biWidth);
    std::uint8_t *out = dib::PixelArea(frame, header);
    for (std::int32_t i = 0; i < count; ++i) {
        const RECT &r = rects[i];
        dib::StoreEntry(
            frame, i,
            ANXRECT{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(r.top),
                    static_cast<std::int16_t>(r.right), static_cast<std::int16_t>(r.bottom)});
        const auto width = static_cast<std::size_t>(r.right - r.left + 1);
        const auto stride = static_cast<std::size_t>(platform::RowStride(r.right - r.left + 1));
        if (width == 0) continue;
        // Stored rows count from the DIB's bottom: top-down y is row
        // height - 1 - y, and the rectangle's bottom row comes first.
        for (std::int32_t y = r.bottom; y >= r.top; --y) {
            const std::uint8_t *src =
                Pixels(dib) + (std::int64_t{dib->biHeight} - 1 - y) * dibStride + r.left;
            std::memcpy(out, src, width);
            std::memset(out + width, src[width - 1], stride - width);
            out += stride;
        }
    }
    return frame;
}

std::uint8_t *FrameRectAddress(ANXFRAME *frame, std::int32_t index) {
    const auto rect = dib::FindRawRect(frame, index);
    if (!rect) return nullptr;
    return dib::PixelArea(frame, dib::LoadHeader(frame)) + rect->offset;
}

BITMAPINFOHEADER *DibFromFrameRect(const ANXFRAME *frame, std::int32_t index) {
    const auto rect = dib::FindRawRect(frame, index);
    if (!rect) return nullptr;
    BITMAPINFOHEADER *dib = NewDib(rect->width, rect->height);
    if (dib == nullptr) return nullptr;
    std::memcpy(Pixels(dib), dib::PixelArea(frame, dib::LoadHeader(frame)) + rect->offset,
                rect->size);
    return dib;
}

}  // namespace anim::dib

extern "C" {

ANIM_API ANXFRAME *CopyDIBToAnxFrame(const BITMAPINFOHEADER *dib, const POINT *origin,
                                     const RECT *rects, int32_t count) {
    return anim::dib::FrameFromDib(dib, origin, rects, count);
}

ANIM_API uint8_t *GetAnxFrameRectAddress(ANXFRAME *frame, int32_t index) {
    return anim::dib::FrameRectAddress(frame, index);
}

ANIM_API BITMAPINFOHEADER *CopyAnxFrameRectToDIB(const ANXFRAME *frame, int32_t index) {
    return anim::dib::DibFromFrameRect(frame, index);
}

ANIM_API void DeleteAnxFrame(ANXFRAME *frame) {
    if (frame != nullptr) FREE(frame);
}

}  // extern "C"
