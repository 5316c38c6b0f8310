// Copying finished rectangles of the surface to the window: through WinG, or
// through the GDI DIB copy, which the printer path needs for its own colours.
#include <cstdint>
#include <cstring>

#include "animate.h"
#include "canvas/canvas.h"
#include "platform/display.h"

namespace anim::canvas {

namespace {

// Rectangle arithmetic is done wide so that no rectangle can overflow it;
// the platform clips whatever comes out.
std::int32_t Narrow(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}

std::uint16_t CopyThroughWinG(HDC dc, const RECT &rect, Canvas *canvas, std::int32_t scale) {
    if (canvas->hWinGDC == nullptr || canvas->hBitmap == nullptr) {
        return CanvasReportError(canvas, kPlatformFailed, __LINE__);
    }
    const std::int64_t w = std::int64_t{rect.right} - rect.left + 1;
    const std::int64_t h = std::int64_t{rect.bottom} - rect.top + 1;
    if (scale == 1) {
        platform::WinGBitBlt(dc, rect.left, rect.top, Narrow(w), Narrow(h), canvas->hWinGDC,
                             rect.left, rect.top);
    } else {
        platform::WinGStretchBlt(dc, Narrow(std::int64_t{rect.left} * scale),
                                 Narrow(std::int64_t{rect.top} * scale), Narrow(w * scale),
                                 Narrow(h * scale), canvas->hWinGDC, rect.left, rect.top, Narrow(w),
                                 Narrow(h));
    }
    return kOk;
}

std::uint16_t CopyThroughGdi(HDC dc, const RECT &rect, Canvas *canvas, std::int32_t scale,
                             std::uint32_t flags, const RGBQUAD *colors) {
    // Not guarded by the original design; refusing beats reading nothing.
    if (canvas->pBits == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    const std::int64_t w = std::int64_t{rect.right} - rect.left + 1;
    const std::int64_t h = std::int64_t{rect.bottom} - rect.top + 1;
    const bool topDown = canvas->topDown != 0;
    const bool ownColours = (flags & kCopyWithColorTable) != 0 && colors != nullptr;

    BITMAPINFO *header = Info(canvas);
    BITMAPINFO *temporary = nullptr;
    if (topDown || ownColours) {
        temporary = static_cast<BITMAPINFO *>(ALLOCATE(sizeof(BITMAPINFO)));
        if (temporary == nullptr) return CanvasReportError(canvas, kOutOfMemory, __LINE__);
        temporary->bmiHeader = canvas->bmi;
        std::memcpy(temporary->bmiColors, ownColours ? colors : canvas->colors,
                    sizeof temporary->bmiColors);
        header = temporary;
    }

    // The DIB copy counts rows from the bottom; a top-down surface is handed
    // over as bottom-up and read flipped.
    std::int64_t sourceY;
    std::int64_t sourceH;
    if (topDown) {
        if (header->bmiHeader.biHeight < 0)
            header->bmiHeader.biHeight = -header->bmiHeader.biHeight;
        sourceH = -h;
        sourceY = std::int64_t{rect.bottom} + 2;
    } else {
        sourceH = h;
        sourceY = std::int64_t{canvas->bmi.biHeight} - 1 - rect.bottom;
    }
    platform::StretchDIBits(dc, Narrow(std::int64_t{rect.left} * scale),
                            Narrow(std::int64_t{rect.top} * scale), Narrow(w * scale),
                            Narrow(h * scale), rect.left, Narrow(sourceY), Narrow(w),
                            Narrow(sourceH), canvas->pBits, header);
    FREE(temporary);
    return kOk;
}

}  // namespace

std::uint16_t CanvasCopyToWindow(HDC dc, const RECT *rect, Canvas *canvas, std::uint32_t flags,
                                 const RGBQUAD *colors) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (dc == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    if (rect == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if ((flags & kCopyThroughGdi) == 0) return CopyThroughWinG(dc, *rect, canvas, 1);
    return CopyThroughGdi(dc, *rect, canvas, 1, flags, colors);
}

std::uint16_t CanvasStretchToWindow(HDC dc, const RECT *rect, Canvas *canvas, std::int32_t scale,
                                    std::uint32_t flags, const RGBQUAD *colors) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (dc == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    if (scale == 1) return CanvasCopyToWindow(dc, rect, canvas, flags, colors);
    if (rect == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if ((flags & kCopyThroughGdi) == 0) return CopyThroughWinG(dc, *rect, canvas, scale);
    return CopyThroughGdi(dc, *rect, canvas, scale, flags, colors);
}

}  // namespace anim::canvas
