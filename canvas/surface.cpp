// The off-screen surface: one memory device context kept for the canvas's
// life, and one 8-bit bitmap in it, replaced whenever the scene changes size.
#include <cstdint>
#include <limits>

#include "canvas/canvas.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace anim::canvas {

namespace {

// A size the platform refuses, standing in for one that does not fit the
// header, so that it fails where any other unmakeable size fails.
constexpr std::int32_t kUnmakeable = 0;

std::int32_t ScaledSize(std::int32_t size, std::int32_t scale) {
    const std::int64_t product = std::int64_t{size} * scale;
    if (product > std::numeric_limits<std::int32_t>::max()) return kUnmakeable;
    return static_cast<std::int32_t>(product);
}

}  // namespace

std::int32_t CanvasRecommendFormat(BITMAPINFO *info) {
    if (!platform::WinGRecommendDIBFormat(info)) {
        CanvasReportError(nullptr, kPlatformFailed, __LINE__);
        return 0;
    }
    platform::DebugOutput(info->bmiHeader.biHeight < 0 ? "WinG prefers top-down DIBs.\r\n"
                                                       : "WinG prefers bottom-up DIBs!\r\n");
    return 1;
}

std::uint16_t CanvasCreateSurface(Canvas *canvas, std::int32_t width, std::int32_t height) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    BITMAPINFO recommended{};
    if (CanvasRecommendFormat(&recommended) == 0) return kPlatformFailed;
    if (recommended.bmiHeader.biBitCount != 8 || recommended.bmiHeader.biPlanes != 1) {
        return CanvasReportError(canvas, kUnsupportedFormat, __LINE__);
    }

    if (canvas->hWinGDC != nullptr) {
        if (canvas->hBitmap != nullptr && canvas->hOldBitmap != nullptr) {
            platform::SelectObject(canvas->hWinGDC, canvas->hOldBitmap);
            platform::DeleteObject(canvas->hBitmap);
            canvas->hOldBitmap = nullptr;
            canvas->hBitmap = nullptr;
            canvas->pBits = nullptr;
        }
    } else {
        canvas->hWinGDC = platform::WinGCreateDC();
        if (canvas->hWinGDC == nullptr) return CanvasReportError(canvas, kSurfaceNotMade, __LINE__);
    }

    canvas->bmi = recommended.bmiHeader;
    canvas->topDown = recommended.bmiHeader.biHeight < 0 ? 1 : 0;
    // Sizes of zero or below would flip the row order the header claims, so
    // they go to the platform as a size it refuses.
    const bool makeable = width > 0 && height > 0;
    canvas->bmi.biHeight = !makeable ? kUnmakeable : canvas->topDown != 0 ? -height : height;
    canvas->bmi.biWidth = makeable ? width : kUnmakeable;

    canvas->hBitmap = platform::WinGCreateBitmap(canvas->hWinGDC, Info(canvas), &canvas->pBits);
    if (canvas->hBitmap == nullptr) {
        platform::DeleteDC(canvas->hWinGDC);
        canvas->hWinGDC = nullptr;
        canvas->pBits = nullptr;
        return CanvasReportError(canvas, kSurfaceNotMade, __LINE__);
    }
    canvas->hOldBitmap = platform::SelectObject(canvas->hWinGDC, canvas->hBitmap);
    CanvasUpdateColorTable(canvas);
    return kOk;
}

std::uint16_t CanvasNewSurface(Canvas *canvas, std::int32_t width, std::int32_t height) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    canvas->pDib = nullptr;
    return CanvasCreateSurface(canvas, width, height);
}

std::uint16_t CanvasSurfaceForDib(Canvas *canvas, const BITMAPINFOHEADER *dib) {
    if (canvas == nullptr || dib == nullptr)
        return CanvasReportError(canvas, kMissingData, __LINE__);
    canvas->pDib = nullptr;
    return CanvasCreateSurface(canvas, dib->biWidth, dib->biHeight);
}

std::uint16_t CanvasSurfaceForDibScaled(Canvas *canvas, const BITMAPINFOHEADER *dib,
                                        std::int32_t scale) {
    if (canvas == nullptr || dib == nullptr)
        return CanvasReportError(canvas, kMissingData, __LINE__);
    canvas->pDib = nullptr;
    return CanvasCreateSurface(canvas, ScaledSize(dib->biWidth, scale),
                               ScaledSize(dib->biHeight, scale));
}

std::uint16_t CanvasAdoptDib(Canvas *canvas, BITMAPINFOHEADER *dib, BITMAPINFOHEADER **previous) {
    if (canvas == nullptr || dib == nullptr)
        return CanvasReportError(canvas, kMissingData, __LINE__);
    // The canvas never owns a DIB, so there is never one to hand back.
    if (previous != nullptr) *previous = nullptr;
    canvas->pDib = dib;
    return CanvasCreateSurface(canvas, dib->biWidth, dib->biHeight);
}

std::uint16_t CanvasDestroySurface(Canvas *canvas) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (canvas->hWinGDC != nullptr) {
        if (canvas->hOldBitmap != nullptr) {
            platform::DeleteObject(platform::SelectObject(canvas->hWinGDC, canvas->hOldBitmap));
        }
        canvas->hBitmap = nullptr;
        canvas->hOldBitmap = nullptr;
        canvas->pBits = nullptr;
        platform::DeleteDC(canvas->hWinGDC);
        canvas->hWinGDC = nullptr;
    }
    canvas->pDib = nullptr;
    return kOk;
}

void CanvasTerminate(Canvas *) {}

std::uint16_t CanvasUpdateColorTable(Canvas *canvas) {
    if (canvas == nullptr || canvas->colorTableLive == 0 || canvas->hWinGDC == nullptr) return kOk;
    if (platform::WinGSetDIBColorTable(canvas->hWinGDC, 0, 256, canvas->colors) == 0) {
        return CanvasReportError(canvas, kPlatformFailed, __LINE__);
    }
    return kOk;
}

}  // namespace anim::canvas
