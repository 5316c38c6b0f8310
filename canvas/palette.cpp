// The canvas side of the master palette: the surface colour table, the
// palette handle and the colour animation behind the palette effects.
// Colours move by index only; nothing here ever searches for a colour.
//
// The colour-table operations take indices from the game. An index outside
// the 256-entry table is refused as missing data rather than followed, so
// that no argument can reach past the tables.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "animate.h"
#include "canvas/canvas.h"
#include "platform/display.h"

namespace anim::canvas {

namespace {

constexpr std::int32_t kColourCount = 256;
constexpr std::int32_t kFirstGameColour = 10;
constexpr std::int32_t kLastGameColour = 245;
// first and last both equal to this: a palette without any flags.
constexpr std::int32_t kNoFlags = -255;

bool InTable(std::int64_t index) {
    return index >= 0 && index < kColourCount;
}

// Moves the three colours by name; the target's reserved byte is left alone.
void TakeColour(RGBQUAD &target, const PALETTEENTRY &entry) {
    target.rgbRed = entry.peRed;
    target.rgbGreen = entry.peGreen;
    target.rgbBlue = entry.peBlue;
}

std::uint16_t PushEntries(Canvas *canvas, std::int32_t first, std::int32_t count, int line) {
    if (canvas->hWinGDC == nullptr) return kOk;
    if (platform::WinGSetDIBColorTable(canvas->hWinGDC, static_cast<std::uint32_t>(first),
                                       static_cast<std::uint32_t>(count),
                                       &canvas->colors[first]) == 0) {
        return CanvasReportError(canvas, kPlatformFailed, line);
    }
    return kOk;
}

// A LOGPALETTE with all 256 entries in place behind its header.
struct PaletteBlock {
    static constexpr std::size_t kEntriesOffset = offsetof(LOGPALETTE, palPalEntry);
    alignas(LOGPALETTE) unsigned char bytes[kEntriesOffset + kColourCount * sizeof(PALETTEENTRY)];

    const LOGPALETTE *Make(const std::array<PALETTEENTRY, kColourCount> &entries) {
        auto *header = new (bytes) LOGPALETTE{};
        header->palVersion = platform::kPaletteVersion;
        header->palNumEntries = kColourCount;
        std::memcpy(bytes + kEntriesOffset, entries.data(), sizeof entries);
        return header;
    }
};

}  // namespace

std::uint16_t CanvasReadSystemPalette(Canvas *canvas, HDC dc) {
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (dc == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    // Switching the static colours off and on again puts the display's own
    // colours back at both ends before they are read.
    platform::SetSystemPaletteUse(dc, platform::kSysPalNoStatic);
    platform::SetSystemPaletteUse(dc, platform::kSysPalStatic);
    std::array<PALETTEENTRY, kColourCount> entries{};
    if (platform::GetSystemPaletteEntries(dc, 0, kColourCount, entries.data()) != kColourCount) {
        return CanvasReportError(canvas, kPlatformFailed, __LINE__);
    }
    for (std::int32_t i = 0; i < kColourCount; ++i) TakeColour(canvas->colors[i], entries[i]);
    return kOk;
}

std::uint16_t CanvasCopyColors(Canvas *canvas, std::int32_t first, std::int32_t count,
                               RGBQUAD *destination) {
    if (canvas == nullptr || destination == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    if (count <= 0) return kOk;
    if (!InTable(first) || !InTable(std::int64_t{first} + count - 1)) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    std::copy_n(canvas->colors + first, count, destination);
    return kOk;
}

std::uint16_t CanvasCreatePalette(Canvas *canvas, std::int32_t first, std::int32_t last,
                                  HPALETTE *out) {
    if (canvas == nullptr) {
        if (out != nullptr) *out = nullptr;
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    const bool noFlags = first == kNoFlags && last == kNoFlags;
    std::array<PALETTEENTRY, kColourCount> entries{};
    for (std::int32_t i = 0; i < kColourCount; ++i) {
        const RGBQUAD &c = canvas->colors[i];
        std::uint8_t flags = 0;
        if (first <= i && i <= last) flags |= platform::kPcReserved;
        if (!noFlags && kFirstGameColour <= i && i <= kLastGameColour) {
            flags |= platform::kPcNoCollapse;
        }
        entries[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, flags};
    }
    PaletteBlock block;
    canvas->hPalette = platform::CreatePalette(block.Make(entries));
    if (out != nullptr) *out = canvas->hPalette;
    CanvasUpdateColorTable(canvas);
    if (canvas->hPalette == nullptr) return CanvasReportError(canvas, kPlatformFailed, __LINE__);
    return kOk;
}

HPALETTE CanvasGetPalette(Canvas *canvas) {
    if (canvas == nullptr) {
        CanvasReportError(canvas, kMissingData, __LINE__);
        return nullptr;
    }
    return canvas->hPalette;
}

std::uint16_t CanvasSetColor(Canvas *canvas, std::int32_t index, const RGBQUAD *colour) {
    if (canvas == nullptr || colour == nullptr || !InTable(index)) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    canvas->colors[index] = *colour;
    return PushEntries(canvas, index, 1, __LINE__);
}

std::uint16_t CanvasSetColors(Canvas *canvas, const RGBQUAD *table, std::int32_t first,
                              std::int32_t last) {
    if (canvas == nullptr || table == nullptr) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    first = std::max(first, 0);
    last = std::min(last, kColourCount - 1);
    if (last < first) return kOk;
    const std::int32_t count = last - first + 1;
    std::copy_n(table + first, count, canvas->colors + first);
    if (canvas->hWinGDC != nullptr &&
        platform::WinGSetDIBColorTable(canvas->hWinGDC, static_cast<std::uint32_t>(first),
                                       static_cast<std::uint32_t>(count), table + first) == 0) {
        return CanvasReportError(canvas, kPlatformFailed, __LINE__);
    }
    return kOk;
}

std::uint16_t CanvasAdoptPalette(Canvas *canvas, HPALETTE palette, std::int32_t *count) {
    if (count != nullptr) *count = 0;
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (palette == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    std::array<PALETTEENTRY, kColourCount> entries{};
    const std::uint32_t n = platform::GetPaletteEntries(palette, 0, kColourCount, entries.data());
    // Every live palette holds at least one entry, so none read means the
    // handle is stale or foreign: as good as no palette at all.
    if (n == 0) return CanvasReportError(canvas, kMissingContext, __LINE__);
    // A palette shorter than the table leaves the colours it does not hold.
    for (std::uint32_t i = 0; i < n; ++i) TakeColour(canvas->colors[i], entries[i]);
    const std::uint16_t status = CanvasUpdateColorTable(canvas);
    canvas->hPalette = palette;
    if (count != nullptr) *count = static_cast<std::int32_t>(n);
    return status;
}

std::uint16_t CanvasSelectPalette(HDC dc, Canvas *canvas, HPALETTE *previous,
                                  std::int32_t *realised) {
    if (previous != nullptr) *previous = nullptr;
    if (canvas == nullptr) return CanvasReportError(canvas, kMissingData, __LINE__);
    if (dc == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    HPALETTE before = nullptr;
    std::int32_t mapped = 0;
    if (canvas->hPalette != nullptr) {
        CanvasUpdateColorTable(canvas);
        before = platform::SelectPalette(dc, canvas->hPalette, false);
        mapped = static_cast<std::int32_t>(platform::RealizePalette(dc));
    }
    if (previous != nullptr) *previous = before;
    if (realised != nullptr) *realised = mapped;
    return kOk;
}

std::uint16_t CanvasRedirectColor(Canvas *canvas, std::int32_t index, std::int32_t source) {
    if (canvas == nullptr || !InTable(index) || !InTable(source)) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    canvas->colors[index] = canvas->colors[source];
    return PushEntries(canvas, index, 1, __LINE__);
}

std::uint16_t CanvasAnimateColors(Canvas *canvas, std::int32_t first, std::uint32_t count,
                                  const PALETTEENTRY *entries) {
    if (count == 0) return kOk;
    if (canvas == nullptr || entries == nullptr || !InTable(first) ||
        std::int64_t{first} + count > kColourCount) {
        return CanvasReportError(canvas, kMissingData, __LINE__);
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        canvas->colors[first + k] =
            RGBQUAD{entries[k].peBlue, entries[k].peGreen, entries[k].peRed, 0};
    }
    if (canvas->hWinGDC == nullptr) return CanvasReportError(canvas, kMissingContext, __LINE__);
    // The effects run every frame: a refused push or a missing palette is
    // answered, never shown in a box.
    std::uint16_t result =
        platform::WinGSetDIBColorTable(canvas->hWinGDC, static_cast<std::uint32_t>(first), count,
                                       &canvas->colors[first]) == 0
            ? kPlatformFailed
            : kOk;
    if (canvas->hPalette != nullptr) {
        platform::AnimatePalette(canvas->hPalette, static_cast<std::uint32_t>(first), count,
                                 entries);
    } else {
        result = kPlatformFailed;
    }
    return result;
}

}  // namespace anim::canvas
