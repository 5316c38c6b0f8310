// The display side of the platform layer: what the canvas and the master
// palette ask of an 8-bit display. Windows are in-memory pixel areas the
// game reads back; off-screen surfaces are 8-bit bitmaps selected into
// memory device contexts; palettes are handles holding up to 256 entries.
// Everything here is internal; the exported Anim* calls wrap it for games.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "animate.h"

namespace anim::platform {

// Bitmap handle of an off-screen surface.
typedef struct AnimBitmap *HBITMAP;

inline constexpr std::uint32_t kSysPalStatic = 1;    // SYSPAL_STATIC
inline constexpr std::uint32_t kSysPalNoStatic = 2;  // SYSPAL_NOSTATIC
inline constexpr std::int32_t kRasterCaps = 38;      // RASTERCAPS
inline constexpr std::int32_t kRcPalette = 0x100;    // RC_PALETTE
inline constexpr std::int32_t kNumReserved = 106;    // NUMRESERVED
inline constexpr std::uint8_t kPcReserved = 1;       // PC_RESERVED
inline constexpr std::uint8_t kPcNoCollapse = 4;     // PC_NOCOLLAPSE
inline constexpr std::uint16_t kPaletteVersion = 0x300;
// The static colours a 256-colour display keeps at each end of its palette.
inline constexpr int kStaticColoursPerEnd = 10;

// ---- Screen ---------------------------------------------------------------

// The screen's device context (GetDC of no window); release it again.
HDC GetScreenDC();
void ReleaseScreenDC(HDC dc);
// RASTERCAPS and NUMRESERVED of a device context, 0 for anything else.
std::int32_t GetDeviceCaps(HDC dc, std::int32_t index);
// Switches the static colours off and on; returns the previous use.
std::uint32_t SetSystemPaletteUse(HDC dc, std::uint32_t use);
// Entries of the system palette: the 20 static colours of a standard
// 256-colour display at 0-9 and 246-255, then whatever palettes realised.
std::uint32_t GetSystemPaletteEntries(HDC dc, std::uint32_t first, std::uint32_t count,
                                      PALETTEENTRY *out);

// ---- Off-screen surfaces ---------------------------------------------------

// Fills the recommended surface format (8 bits, 1 plane, biHeight -1 for
// top-down or +1 for bottom-up, as AnimSetDisplayFormat set it). False when
// info is null.
bool WinGRecommendDIBFormat(BITMAPINFO *info);
// A memory device context for a surface; null on failure.
HDC WinGCreateDC();
// A surface bitmap of info's size (|biHeight| rows); *bits receives its
// pixels, valid while the bitmap lives. Null on failure (bad header, no
// memory).
HBITMAP WinGCreateBitmap(HDC dc, const BITMAPINFO *info, std::uint8_t **bits);
// Sets entries of the colour table of the bitmap selected into dc; returns
// the number set, 0 on failure.
std::uint32_t WinGSetDIBColorTable(HDC dc, std::uint32_t first, std::uint32_t count,
                                   const RGBQUAD *colors);
// Copies w x h pixels from (sx, sy) of the surface of src to (x, y) of dest.
bool WinGBitBlt(HDC dest, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, HDC src,
                std::int32_t sx, std::int32_t sy);
// Copies sw x sh pixels of src scaled to w x h at (x, y) of dest.
bool WinGStretchBlt(HDC dest, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                    HDC src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh);
// GDI copy from a pixel area described by info, whose rows are taken as
// bottom-up (memory row r is row r counted from the bottom). Source rows
// count from the bottom too: with sh > 0, destination row i (from the top)
// takes source row sy + sh - 1 - i; with sh < 0 the copy is flipped and
// destination row i takes source row sy + sh - 1 + i. Columns: destination
// column j takes source column sx + j * sw / w (likewise rows when scaled).
// Pixels are written as indices; rows and columns outside either area are
// skipped. Returns the rows copied.
std::int32_t StretchDIBits(HDC dc, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                           std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                           const void *bits, const BITMAPINFO *info);
// Selects a bitmap into a memory device context; returns the one it held
// (a stock bitmap handle the first time).
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
// Releases a bitmap (never a stock one) and a memory device context.
void DeleteObject(HBITMAP bitmap);
void DeleteDC(HDC dc);

// ---- Palettes --------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE *lp);
std::uint32_t GetPaletteEntries(HPALETTE palette, std::uint32_t first, std::uint32_t count,
                                PALETTEENTRY *out);
// Changes entries of a palette in place; windows that realised it show the
// change at once (only entries flagged PC_RESERVED change).
bool AnimatePalette(HPALETTE palette, std::uint32_t first, std::uint32_t count,
                    const PALETTEENTRY *entries);
// Selects a palette into a device context; returns the previous one.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool forceBackground);
// Realises the selected palette; returns the number of entries mapped.
std::uint32_t RealizePalette(HDC dc);
void DeletePalette(HPALETTE palette);

// ---- Debug display -----------------------------------------------------------

// XORs the outline of an exclusive rectangle into a window, so drawing it
// twice restores the window.
void DrawFocusRect(HDC dc, const RECT *rect);

// ---- Window changes --------------------------------------------------------

// Writes a window records between two reads of its changes; any more widen
// the last one, so the record stays small when nobody reads it.
inline constexpr std::size_t kRecordedWrites = 128;

struct WindowChanges {
    // Inclusive, inside the window, in the order written; not joined.
    std::array<RECT, kRecordedWrites> writes;
    std::size_t count;
    RECT whole;
    std::uint32_t colourSerial;
};

// What was written into a window since the last call, and the serial of
// the colours it shows, which moves on whenever they differ from those it
// showed at the last call; starts a new record. Nothing, and the record
// untouched, for anything but a live window.
std::optional<WindowChanges> TakeWindowChanges(HDC dc);

// ---- Test hook ---------------------------------------------------------------

// The header and colour table the last StretchDIBits call was given (all
// zero before the first): copies write indices, so this is the only place a
// test can see which colours a GDI copy carried.
const BITMAPINFO &LastStretchDIBitsInfo();

}  // namespace anim::platform
