// Device contexts, windows, off-screen surfaces and the copies between them.
// Every coordinate a caller passes is clipped against both pixel areas here,
// so no argument, however wild, reaches memory outside them.
#include "platform/display.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "animate.h"
#include "platform/checked_size.h"
#include "platform/display_objects.h"
#include "platform/geometry.h"
#include "platform/platform.h"

namespace anim::platform {
namespace display {

State &TheState() {
    static State *const state = [] {
        auto *s = new State;
        s->screen.kind = AnimDeviceContext::Kind::kScreen;
        s->stockBitmap.stock = true;
        s->contexts.insert(&s->screen);
        s->bitmaps.insert(&s->stockBitmap);
        RestoreStaticColours(*s);
        return s;
    }();
    return *state;
}

AnimDeviceContext *FindContext(HDC dc) {
    auto &live = TheState().contexts;
    return live.count(dc) != 0 ? dc : nullptr;
}

AnimPalette *FindPalette(HPALETTE palette) {
    auto &live = TheState().palettes;
    return live.count(palette) != 0 ? palette : nullptr;
}

AnimBitmap *FindBitmap(HBITMAP bitmap) {
    auto &live = TheState().bitmaps;
    return live.count(bitmap) != 0 ? bitmap : nullptr;
}

}  // namespace display

namespace {

using display::FindBitmap;
using display::FindContext;
using display::TheState;
using Kind = AnimDeviceContext::Kind;
using anim::platform::Inside;
using anim::platform::Interval;
using anim::platform::Meet;

// An 8-bit pixel area addressed with y counted from the top.
struct Area {
    std::uint8_t *bits;
    std::int64_t width;
    std::int64_t height;
    std::int64_t stride;
    bool topDown;
    // The window these pixels belong to, which records what is written into
    // it; null for a surface.
    AnimDeviceContext *window = nullptr;

    std::uint8_t *Row(std::int64_t y) const {
        return bits + (topDown ? y : height - 1 - y) * stride;
    }
    std::size_t Bytes() const { return static_cast<std::size_t>(stride * height); }
};

// The pixels a context draws into: a window's, or its selected surface's.
std::optional<Area> AreaOf(AnimDeviceContext *dc) {
    if (dc == nullptr) return std::nullopt;
    if (dc->kind == Kind::kWindow) {
        return Area{dc->pixels, dc->width, dc->height, dc->stride, true, dc};
    }
    if (dc->kind == Kind::kMemory && dc->bitmap != nullptr && !dc->bitmap->stock) {
        const AnimBitmap &b = *dc->bitmap;
        return Area{b.bits, b.width, b.height, b.stride, b.topDown};
    }
    return std::nullopt;
}

// A window remembers the block of it that a copy reaches.
void NoteWrite(const Area &dst, std::int64_t x, std::int64_t y, Interval rows, Interval cols) {
    if (dst.window == nullptr || rows.Empty() || cols.Empty()) return;
    display::NoteWindowWrite(*dst.window, x + cols.first, y + rows.first, x + cols.end - 1,
                             y + rows.end - 1);
}

// Copies into the w x h destination block at (x, y): destination row i and
// column j read source row rowOf(i), column colOf(j). Pixels falling outside
// either area are skipped. Returns the destination rows that received any.
template <typename RowOf, typename ColOf>
std::int32_t CopyMapped(const Area &dst, std::int64_t x, std::int64_t y, std::int64_t w,
                        std::int64_t h, const Area &src, RowOf rowOf, ColOf colOf) {
    const Interval rowsIn = Inside(y, h, dst.height);
    const Interval colsIn = Inside(x, w, dst.width);
    if (rowsIn.Empty() || colsIn.Empty()) return 0;
    // The whole block in reach, though a source row or column outside the
    // source leaves a pixel of it as it was: a little more than was written.
    NoteWrite(dst, x, y, rowsIn, colsIn);

    // A copy within one area must read what was there before it began.
    std::vector<std::uint8_t> snapshot;
    Area from = src;
    if (src.bits == dst.bits) {
        try {
            snapshot.assign(src.bits, src.bits + src.Bytes());
        } catch (const std::bad_alloc &) {
            return 0;
        }
        from.bits = snapshot.data();
    }

    std::int32_t rows = 0;
    for (std::int64_t i = rowsIn.first; i < rowsIn.end; ++i) {
        const std::int64_t sr = rowOf(i);
        if (sr < 0 || sr >= from.height) continue;
        const std::uint8_t *in = from.Row(sr);
        std::uint8_t *out = dst.Row(y + i);
        bool any = false;
        for (std::int64_t j = colsIn.first; j < colsIn.end; ++j) {
            const std::int64_t sc = colOf(j);
            if (sc < 0 || sc >= from.width) continue;
            out[x + j] = in[sc];
            any = true;
        }
        if (any) ++rows;
    }
    return rows;
}

// The one-to-one copy of a window blit, row by row: the game's paint loop
// runs through here for every dirty rectangle of every frame.
void CopyStraight(const Area &dst, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
                  const Area &src, std::int64_t sx, std::int64_t sy) {
    const Interval rows = Meet(Inside(y, h, dst.height), Inside(sy, h, src.height));
    const Interval cols = Meet(Inside(x, w, dst.width), Inside(sx, w, src.width));
    if (rows.Empty() || cols.Empty()) return;
    NoteWrite(dst, x, y, rows, cols);
    for (std::int64_t i = rows.first; i < rows.end; ++i) {
        std::memcpy(dst.Row(y + i) + x + cols.first, src.Row(sy + i) + sx + cols.first,
                    static_cast<std::size_t>(cols.Size()));
    }
}

std::optional<Area> SourceAreaOf(HDC src) {
    AnimDeviceContext *context = FindContext(src);
    return AreaOf(context);
}

}  // namespace

// ---- Screen -------------------------------------------------------------------

HDC GetScreenDC() {
    return &TheState().screen;
}

void ReleaseScreenDC(HDC) {}

std::int32_t GetDeviceCaps(HDC dc, std::int32_t index) {
    if (FindContext(dc) == nullptr) return 0;
    // Only an 8-bit display works through a palette; a deeper one keeps no
    // colours for itself because it has none to share.
    const bool palettised = TheState().bitsPerPixel == 8;
    if (index == kRasterCaps) return palettised ? kRcPalette : 0;
    if (index == kNumReserved) return palettised ? 2 * kStaticColoursPerEnd : 0;
    return 0;
}

// ---- Off-screen surfaces --------------------------------------------------------

bool WinGRecommendDIBFormat(BITMAPINFO *info) {
    if (info == nullptr) return false;
    const display::State &state = TheState();
    std::memset(info, 0, sizeof *info);
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = 1;
    h.biHeight = state.topDown ? -1 : 1;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(state.bitsPerPixel);
    return true;
}

HDC WinGCreateDC() {
    auto *dc = new (std::nothrow) AnimDeviceContext{};
    if (dc == nullptr) return nullptr;
    dc->kind = Kind::kMemory;
    dc->bitmap = &TheState().stockBitmap;
    try {
        TheState().contexts.insert(dc);
    } catch (const std::bad_alloc &) {
        delete dc;
        return nullptr;
    }
    return dc;
}

HBITMAP WinGCreateBitmap(HDC dc, const BITMAPINFO *info, std::uint8_t **bits) {
    AnimDeviceContext *context = FindContext(dc);
    if (context == nullptr || context->kind != Kind::kMemory || info == nullptr) return nullptr;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biBitCount != 8 || h.biPlanes != 1 || h.biCompression != 0) return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0) return nullptr;
    const std::int64_t height = h.biHeight < 0 ? -std::int64_t{h.biHeight} : h.biHeight;
    const std::int64_t stride = RowStride(h.biWidth);
    const std::optional<std::uint32_t> size = platform::CheckedSize(stride, height);
    if (!size) return nullptr;

    auto *bitmap = new (std::nothrow) AnimBitmap{};
    if (bitmap == nullptr) return nullptr;
    bitmap->bits = static_cast<std::uint8_t *>(AllocBlock(*size));
    if (bitmap->bits == nullptr) {
        delete bitmap;
        return nullptr;
    }
    bitmap->width = h.biWidth;
    bitmap->height = static_cast<std::int32_t>(height);
    bitmap->stride = static_cast<std::int32_t>(stride);
    bitmap->topDown = h.biHeight < 0;
    const std::uint32_t colours =
        h.biClrUsed == 0 ? display::kPaletteSize : std::min(h.biClrUsed, display::kPaletteSize);
    std::copy_n(info->bmiColors, colours, bitmap->colors.begin());
    try {
        TheState().bitmaps.insert(bitmap);
    } catch (const std::bad_alloc &) {
        FreeBlock(bitmap->bits);
        delete bitmap;
        return nullptr;
    }
    if (bits != nullptr) *bits = bitmap->bits;
    return bitmap;
}

std::uint32_t WinGSetDIBColorTable(HDC dc, std::uint32_t first, std::uint32_t count,
                                   const RGBQUAD *colors) {
    AnimDeviceContext *context = FindContext(dc);
    if (context == nullptr || context->kind != Kind::kMemory || colors == nullptr) return 0;
    AnimBitmap *bitmap = context->bitmap;
    if (bitmap == nullptr || bitmap->stock || first >= display::kPaletteSize) return 0;
    const std::uint32_t n = std::min(count, display::kPaletteSize - first);
    std::copy_n(colors, n, bitmap->colors.begin() + first);
    return n;
}

bool WinGBitBlt(HDC dest, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, HDC src,
                std::int32_t sx, std::int32_t sy) {
    const std::optional<Area> to = AreaOf(FindContext(dest));
    const std::optional<Area> from = SourceAreaOf(src);
    if (!to || !from || w <= 0 || h <= 0) return false;
    if (to->bits != from->bits) {
        CopyStraight(*to, x, y, w, h, *from, sx, sy);
        return true;
    }
    CopyMapped(
        *to, x, y, w, h, *from, [&](std::int64_t i) { return std::int64_t{sy} + i; },
        [&](std::int64_t j) { return std::int64_t{sx} + j; });
    return true;
}

bool WinGStretchBlt(HDC dest, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                    HDC src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh) {
    const std::optional<Area> to = AreaOf(FindContext(dest));
    const std::optional<Area> from = SourceAreaOf(src);
    if (!to || !from || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    CopyMapped(
        *to, x, y, w, h, *from, [&](std::int64_t i) { return sy + i * sh / h; },
        [&](std::int64_t j) { return sx + j * sw / w; });
    return true;
}

std::int32_t StretchDIBits(HDC dc, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                           std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                           const void *bits, const BITMAPINFO *info) {
    if (info != nullptr) TheState().lastDibCopyInfo = *info;
    const std::optional<Area> to = AreaOf(FindContext(dc));
    if (!to || bits == nullptr || info == nullptr) return 0;
    const BITMAPINFOHEADER &header = info->bmiHeader;
    if (header.biBitCount != 8 || header.biWidth <= 0 || header.biHeight == 0) return 0;
    if (w <= 0 || h <= 0 || sw <= 0 || sh == 0) return 0;
    const std::int64_t height =
        header.biHeight < 0 ? -std::int64_t{header.biHeight} : std::int64_t{header.biHeight};
    // Reading is all this does with the caller's pixels; the area type is
    // shared with the writable ones.
    const Area from{const_cast<std::uint8_t *>(static_cast<const std::uint8_t *>(bits)),
                    header.biWidth, height, RowStride(header.biWidth), false};
    const std::int64_t rows = sh < 0 ? -std::int64_t{sh} : std::int64_t{sh};
    const std::int64_t last = std::int64_t{sy} + sh - 1;
    return CopyMapped(
        *to, x, y, w, h, from,
        [&](std::int64_t i) {
            const std::int64_t step = i * rows / h;
            const std::int64_t fromBottom = sh > 0 ? last - step : last + step;
            return height - 1 - fromBottom;
        },
        [&](std::int64_t j) { return sx + j * sw / w; });
}

const BITMAPINFO &LastStretchDIBitsInfo() {
    return TheState().lastDibCopyInfo;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
    AnimDeviceContext *context = FindContext(dc);
    AnimBitmap *chosen = FindBitmap(bitmap);
    if (context == nullptr || context->kind != Kind::kMemory || chosen == nullptr) return nullptr;
    if (!chosen->stock && chosen->selectedInto != nullptr && chosen->selectedInto != context) {
        return nullptr;
    }
    AnimBitmap *previous = context->bitmap;
    if (previous != nullptr && !previous->stock) previous->selectedInto = nullptr;
    context->bitmap = chosen;
    if (!chosen->stock) chosen->selectedInto = context;
    return previous;
}

void DeleteObject(HBITMAP bitmap) {
    AnimBitmap *doomed = FindBitmap(bitmap);
    if (doomed == nullptr || doomed->stock || doomed->selectedInto != nullptr) return;
    TheState().bitmaps.erase(doomed);
    FreeBlock(doomed->bits);
    delete doomed;
}

void DeleteDC(HDC dc) {
    AnimDeviceContext *doomed = FindContext(dc);
    if (doomed == nullptr || doomed->kind != Kind::kMemory) return;
    if (doomed->bitmap != nullptr && !doomed->bitmap->stock) doomed->bitmap->selectedInto = nullptr;
    TheState().contexts.erase(doomed);
    delete doomed;
}

// ---- Debug display ------------------------------------------------------------

void DrawFocusRect(HDC dc, const RECT *rect) {
    const std::optional<Area> area = AreaOf(FindContext(dc));
    if (!area || rect == nullptr) return;
    const std::int64_t left = rect->left, top = rect->top;
    const std::int64_t right = std::int64_t{rect->right} - 1,
                       bottom = std::int64_t{rect->bottom} - 1;
    if (right < left || bottom < top) return;

    auto flip = [&](std::int64_t px, std::int64_t py) {
        if (px >= 0 && px < area->width && py >= 0 && py < area->height) area->Row(py)[px] ^= 0xFF;
    };
    // Each outline pixel exactly once, also for one-pixel-thin rectangles,
    // so that drawing twice always restores.
    if (area->window != nullptr) {
        display::NoteWindowWrite(*area->window, left, top, right, top);
        display::NoteWindowWrite(*area->window, left, bottom, right, bottom);
        display::NoteWindowWrite(*area->window, left, top, left, bottom);
        display::NoteWindowWrite(*area->window, right, top, right, bottom);
    }
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t x1 = std::min(right, area->width - 1);
    for (std::int64_t px = x0; px <= x1; ++px) {
        flip(px, top);
        if (bottom != top) flip(px, bottom);
    }
    const std::int64_t y0 = std::max<std::int64_t>(top + 1, 0);
    const std::int64_t y1 = std::min(bottom - 1, area->height - 1);
    for (std::int64_t py = y0; py <= y1; ++py) {
        flip(left, py);
        if (right != left) flip(right, py);
    }
}

}  // namespace anim::platform

extern "C" {

ANIM_API HDC AnimCreateWindowDC(int32_t width, int32_t height) {
    using namespace anim::platform;
    if (width <= 0 || height <= 0) return nullptr;
    const std::int64_t stride = RowStride(width);
    const std::optional<std::uint32_t> size = anim::platform::CheckedSize(stride, height);
    if (!size) return nullptr;
    auto *dc = new (std::nothrow) AnimDeviceContext{};
    if (dc == nullptr) return nullptr;
    dc->kind = AnimDeviceContext::Kind::kWindow;
    dc->width = width;
    dc->height = height;
    dc->stride = static_cast<std::int32_t>(stride);
    dc->pixels = static_cast<std::uint8_t *>(AllocBlock(*size));
    if (dc->pixels == nullptr) {
        delete dc;
        return nullptr;
    }
    try {
        display::TheState().contexts.insert(dc);
    } catch (const std::bad_alloc &) {
        FreeBlock(dc->pixels);
        delete dc;
        return nullptr;
    }
    display::StartWindowRecord(*dc);
    return dc;
}

ANIM_API void AnimDestroyWindowDC(HDC dc) {
    using namespace anim::platform;
    AnimDeviceContext *doomed = display::FindContext(dc);
    if (doomed == nullptr || doomed->kind != AnimDeviceContext::Kind::kWindow) return;
    display::TheState().contexts.erase(doomed);
    FreeBlock(doomed->pixels);
    delete doomed;
}

ANIM_API const uint8_t *AnimWindowPixels(HDC dc, int32_t *stride) {
    AnimDeviceContext *window = anim::platform::display::FindContext(dc);
    if (window == nullptr || window->kind != AnimDeviceContext::Kind::kWindow) return nullptr;
    if (stride != nullptr) *stride = window->stride;
    return window->pixels;
}

ANIM_API int32_t AnimWindowSize(HDC dc, int32_t *width, int32_t *height) {
    AnimDeviceContext *window = anim::platform::display::FindContext(dc);
    if (window == nullptr || window->kind != AnimDeviceContext::Kind::kWindow) return 0;
    if (width != nullptr) *width = window->width;
    if (height != nullptr) *height = window->height;
    return 1;
}

ANIM_API void AnimSetDisplayFormat(int32_t bitsPerPixel, int32_t topDown) {
    auto &state = anim::platform::display::TheState();
    state.bitsPerPixel = bitsPerPixel;
    state.topDown = topDown != 0;
}

}  // extern "C"
