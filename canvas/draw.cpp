// Drawing into the surface. The blitters trust their caller completely, so
// every block is clipped here to the surface and, where known, to the source
// DIB; what lies outside either is simply not drawn.
#include <algorithm>
#include <cstdint>

#include "animate.h"
#include "blit/blit.h"
#include "canvas/canvas.h"
#include "platform/geometry.h"

namespace anim::canvas {

namespace {

using platform::Inside;
using platform::Interval;
using platform::Meet;
using platform::RowStride;

// a / b rounded toward minus infinity, b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

struct Surface {
    std::int64_t width;
    std::int64_t height;
    // The blitters walk up from the bottom row; a top-down surface goes up
    // towards lower addresses.
    std::int32_t step;
};

Surface SurfaceOf(const Canvas &canvas) {
    const std::int64_t width = canvas.bmi.biWidth;
    const std::int64_t height =
        canvas.bmi.biHeight < 0 ? -std::int64_t{canvas.bmi.biHeight} : canvas.bmi.biHeight;
    const auto stride = static_cast<std::int32_t>(RowStride(width));
    return {width, height, canvas.topDown != 0 ? -stride : stride};
}

std::int32_t OffsetOf(const Canvas &canvas, const Surface &s, std::int64_t x, std::int64_t y) {
    return GetPixelOffsetTopDown(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                 static_cast<std::int32_t>(s.width),
                                 static_cast<std::int32_t>(s.height), canvas.topDown);
}

// Opaque copy of the w x h block of dib whose top-left pixel is (sx, sy) to
// the surface with its top-left pixel at (x, y).
void CopyBlock(Canvas *canvas, BITMAPINFOHEADER *dib, std::int64_t sx, std::int64_t sy,
               std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
    const Surface s = SurfaceOf(*canvas);
    const Interval cols = Meet(Inside(sx, w, dib->biWidth), Inside(x, w, s.width));
    const Interval rows = Meet(Inside(sy, h, dib->biHeight), Inside(y, h, s.height));
    if (cols.Empty() || rows.Empty()) return;
    // The blitter starts at the block's bottom row.
    const std::int64_t last = rows.end - 1;
    const std::uint8_t *source = GetDIBPixelAddress(dib, static_cast<std::int32_t>(sx + cols.first),
                                                    static_cast<std::int32_t>(sy + last));
    CopyDIBBitsX(canvas->pBits, OffsetOf(*canvas, s, x + cols.first, y + last), source,
                 static_cast<std::uint32_t>(cols.Size()), static_cast<std::uint32_t>(rows.Size()),
                 s.step, static_cast<std::int32_t>(RowStride(dib->biWidth)));
}

}  // namespace

std::uint16_t CanvasCopyDibRect(Canvas *canvas, BITMAPINFOHEADER *dib, std::int32_t dx,
                                std::int32_t dy, const RECT *rect) {
    if (canvas == nullptr || dib == nullptr || rect == nullptr || canvas->pBits == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    const std::int64_t w = std::int64_t{rect->right} - rect->left + 1;
    const std::int64_t h = std::int64_t{rect->bottom} - rect->top + 1;
    CopyBlock(canvas, dib, rect->left, rect->top, std::int64_t{rect->left} - dx,
              std::int64_t{rect->top} - dy, w, h);
    return kOk;
}

std::uint16_t CanvasCopyDibRectTo(Canvas *canvas, BITMAPINFOHEADER *dib, const RECT *dest,
                                  const RECT *source) {
    if (canvas == nullptr || dib == nullptr || dest == nullptr || source == nullptr ||
        canvas->pBits == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    const std::int64_t w = std::int64_t{source->right} - source->left + 1;
    const std::int64_t h = std::int64_t{source->bottom} - source->top + 1;
    // Anchored at the bottom-left corners, as the blitter runs.
    CopyBlock(canvas, dib, source->left, source->top, dest->left,
              std::int64_t{dest->bottom} - h + 1, w, h);
    return kOk;
}

std::uint16_t CanvasCopyDibRectDoubled(Canvas *canvas, BITMAPINFOHEADER *dib, const RECT *dest,
                                       const RECT *source) {
    if (canvas == nullptr || dib == nullptr || dest == nullptr || source == nullptr ||
        canvas->pBits == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    const std::int64_t w = (std::int64_t{source->right} - source->left + 1) / 2;
    const std::int64_t h = (std::int64_t{source->bottom} - source->top + 1) / 2;
    const std::int64_t sx = source->left / 2;
    const std::int64_t sBottom = source->bottom / 2;
    const std::int64_t dx = dest->left;
    const std::int64_t dBottom = dest->bottom;
    const Surface s = SurfaceOf(*canvas);

    // Whole 2 x 2 blocks only: a block that would reach past an edge of the
    // surface is left out. Columns c count from the left, rows k from the
    // bottom of the block.
    const Interval cols = Meet(Meet({0, w}, {-sx, dib->biWidth - sx}),
                               {-FloorDiv(dx, 2), FloorDiv(s.width - 2 - dx, 2) + 1});
    const Interval rows =
        Meet(Meet({0, h}, {sBottom - dib->biHeight + 1, sBottom + 1}),
             {-FloorDiv(s.height - 1 - dBottom, 2), FloorDiv(dBottom - 1, 2) + 1});
    if (cols.Empty() || rows.Empty()) return kOk;
    const std::uint8_t *from = GetDIBPixelAddress(dib, static_cast<std::int32_t>(sx + cols.first),
                                                  static_cast<std::int32_t>(sBottom - rows.first));
    blit::StretchDIBBits2xX(
        canvas->pBits, OffsetOf(*canvas, s, dx + 2 * cols.first, dBottom - 2 * rows.first), from,
        static_cast<std::uint32_t>(cols.Size()), static_cast<std::uint32_t>(rows.Size()), s.step,
        static_cast<std::int32_t>(RowStride(dib->biWidth)));
    return kOk;
}

std::uint16_t CanvasTransCopy(Canvas *canvas, const std::uint8_t *source, std::uint32_t width,
                              std::uint32_t height, std::int32_t sourceStride, std::int32_t x,
                              std::int32_t y, std::uint8_t key) {
    if (canvas == nullptr || source == nullptr || canvas->pBits == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    const Surface s = SurfaceOf(*canvas);
    // The block's bottom-left pixel sits at (x, y); rows k count upwards.
    const Interval cols = Inside(x, width, s.width);
    const Interval rows = Meet({0, std::int64_t{height}}, {y - s.height + 1, std::int64_t{y} + 1});
    if (cols.Empty() || rows.Empty()) return kOk;
    const std::uint8_t *from = source + rows.first * sourceStride + cols.first;
    TransCopyDIBBitsX(canvas->pBits, OffsetOf(*canvas, s, x + cols.first, y - rows.first), from,
                      static_cast<std::uint32_t>(cols.Size()),
                      static_cast<std::uint32_t>(rows.Size()), s.step, sourceStride, key);
    return kOk;
}

}  // namespace anim::canvas
