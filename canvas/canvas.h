// The canvas: the off-screen 8-bit surface the scene is composed in, its
// colour table and palette handle, and the copy of finished rectangles to
// the window. Internal: the engine and the palette code reach it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "animate.h"
#include "platform/display.h"

namespace anim::canvas {

// Source name shown as the title of canvas error boxes.
inline constexpr char kSource[] = "CANVAS";

// Canvas status codes (0 is success).
enum Status : std::uint16_t {
    kOk = 0,
    kPlatformFailed = 1,
    kOutOfMemory = 2,
    kMissingData = 3,
    kMissingContext = 4,
    kSurfaceNotMade = 5,
    kUnsupportedFormat = 6,
};

// Window copy flags.
inline constexpr std::uint32_t kCopyThroughGdi = 1;
inline constexpr std::uint32_t kCopyWithColorTable = 2;

struct Canvas {
    HPALETTE hPalette;
    BITMAPINFOHEADER *pDib;  // borrowed
    platform::HBITMAP hBitmap;
    platform::HBITMAP hOldBitmap;
    HDC hWinGDC;
    std::int32_t topDown;
    std::int32_t colorTableLive;
    std::uint8_t *pBits;
    BITMAPINFOHEADER bmi;
    RGBQUAD colors[256];  // follows bmi: together they are a BITMAPINFO
};

static_assert(offsetof(Canvas, colors) == offsetof(Canvas, bmi) + sizeof(BITMAPINFOHEADER),
              "bmi and colors must lie back to back, as one BITMAPINFO");

// bmi and colors form one BITMAPINFO, handed whole to surface creation, the
// GDI copy and the draw callbacks.
inline BITMAPINFO *Info(Canvas *canvas) {
    return reinterpret_cast<BITMAPINFO *>(&canvas->bmi);
}
inline const BITMAPINFO *Info(const Canvas *canvas) {
    return reinterpret_cast<const BITMAPINFO *>(&canvas->bmi);
}

// ---- Canvas operations (each returns a status after reporting it) --------

std::uint16_t CanvasReportError(Canvas *canvas, std::uint16_t code, int line);
std::int32_t CanvasRecommendFormat(BITMAPINFO *info);
std::uint16_t CanvasCreateSurface(Canvas *canvas, std::int32_t width, std::int32_t height);
std::uint16_t CanvasNewSurface(Canvas *canvas, std::int32_t width, std::int32_t height);
std::uint16_t CanvasSurfaceForDib(Canvas *canvas, const BITMAPINFOHEADER *dib);
std::uint16_t CanvasSurfaceForDibScaled(Canvas *canvas, const BITMAPINFOHEADER *dib,
                                        std::int32_t scale);
std::uint16_t CanvasAdoptDib(Canvas *canvas, BITMAPINFOHEADER *dib, BITMAPINFOHEADER **previous);
std::uint16_t CanvasDestroySurface(Canvas *canvas);
void CanvasTerminate(Canvas *canvas);
std::uint16_t CanvasUpdateColorTable(Canvas *canvas);
std::uint16_t CanvasCopyToWindow(HDC dc, const RECT *rect, Canvas *canvas, std::uint32_t flags,
                                 const RGBQUAD *colors);
std::uint16_t CanvasStretchToWindow(HDC dc, const RECT *rect, Canvas *canvas, std::int32_t scale,
                                    std::uint32_t flags, const RGBQUAD *colors);
std::uint16_t CanvasCopyDibRect(Canvas *canvas, BITMAPINFOHEADER *dib, std::int32_t dx,
                                std::int32_t dy, const RECT *rect);
std::uint16_t CanvasCopyDibRectTo(Canvas *canvas, BITMAPINFOHEADER *dib, const RECT *dest,
                                  const RECT *source);
std::uint16_t CanvasCopyDibRectDoubled(Canvas *canvas, BITMAPINFOHEADER *dib, const RECT *dest,
                                       const RECT *source);
std::uint16_t CanvasTransCopy(Canvas *canvas, const std::uint8_t *source, std::uint32_t width,
                              std::uint32_t height, std::int32_t sourceStride, std::int32_t x,
                              std::int32_t y, std::uint8_t key);

// ---- Palette operations behind the master palette exports ---------------

std::uint16_t CanvasReadSystemPalette(Canvas *canvas, HDC dc);
std::uint16_t CanvasCopyColors(Canvas *canvas, std::int32_t first, std::int32_t count,
                               RGBQUAD *destination);
std::uint16_t CanvasCreatePalette(Canvas *canvas, std::int32_t first, std::int32_t last,
                                  HPALETTE *out);
HPALETTE CanvasGetPalette(Canvas *canvas);
std::uint16_t CanvasSetColor(Canvas *canvas, std::int32_t index, const RGBQUAD *colour);
std::uint16_t CanvasSetColors(Canvas *canvas, const RGBQUAD *table, std::int32_t first,
                              std::int32_t last);
std::uint16_t CanvasAdoptPalette(Canvas *canvas, HPALETTE palette, std::int32_t *count);
std::uint16_t CanvasSelectPalette(HDC dc, Canvas *canvas, HPALETTE *previous,
                                  std::int32_t *realised);
std::uint16_t CanvasRedirectColor(Canvas *canvas, std::int32_t index, std::int32_t source);
std::uint16_t CanvasAnimateColors(Canvas *canvas, std::int32_t first, std::uint32_t count,
                                  const PALETTEENTRY *entries);

}  // namespace anim::canvas
