// The master palette exports: one palette in three agreeing forms -- the
// palette handle the game selects into its window, the surface colour table,
// and the master colour copy that fades, cycling and printing read.
#include "canvas/master_palette.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "dib/packed_dib.h"
#include "platform/display.h"
#include "support/report.h"

namespace {

using anim::animate::CanvasOf;
using anim::canvas::kColourCount;

// Colours reserved by a display that has no palette of its own.
constexpr std::int32_t kReservedWithoutPalette = 20;

void CopyAllToMaster(EngineState *engine, std::uint16_t *status) {
    const std::uint16_t copied =
        anim::canvas::CanvasCopyColors(&engine->canvas, 0, kColourCount, engine->masterColors);
    if (status != nullptr) *status = copied;
}

}  // namespace

extern "C" {

ANIM_API uint16_t InitMasterPalette(EngineState *engine, HDC dc) {
    using namespace anim::canvas;
    // One report for a missing engine, not one for each step below.
    if (engine == nullptr) return CanvasReportError(nullptr, kMissingData, __LINE__);
    if (CanvasReadSystemPalette(&engine->canvas, dc) == kOk) {
        engine->canvas.colorTableLive = 1;
        CanvasUpdateColorTable(&engine->canvas);
    }
    std::uint16_t status = kOk;
    CopyAllToMaster(engine, &status);
    return status;
}

ANIM_API HPALETTE CreateMasterPalette(EngineState *engine, int32_t first, int32_t last) {
    HPALETTE palette = nullptr;
    anim::canvas::CanvasCreatePalette(CanvasOf(engine), first, last, &palette);
    return palette;
}

ANIM_API HPALETTE MasterPalette(EngineState *engine) {
    return anim::canvas::CanvasGetPalette(CanvasOf(engine));
}

ANIM_API void AddColor(EngineState *engine, int32_t index, const RGBQUAD *colour) {
    const std::uint16_t status = anim::canvas::CanvasSetColor(CanvasOf(engine), index, colour);
    // Refused indices never reach the master copy; a failed push still does.
    if (engine == nullptr || colour == nullptr || status == anim::canvas::kMissingData) return;
    engine->masterColors[index] = *colour;
}

ANIM_API void ColorsFromTable(EngineState *engine, const RGBQUAD *table, int32_t first,
                              int32_t last) {
    anim::canvas::CanvasSetColors(CanvasOf(engine), table, first, last);
    if (engine == nullptr || table == nullptr) return;
    first = std::max(first, 0);
    last = std::min(last, kColourCount - 1);
    if (last < first) return;
    std::copy_n(table + first, last - first + 1, engine->masterColors + first);
}

ANIM_API void ColorsFromBI(EngineState *engine, const BITMAPINFOHEADER *dib, int32_t first,
                           int32_t last) {
    if (dib == nullptr) {
        ANIM_TRACE(anim::canvas::kPaletteSource, "NULL parm in ColorsFromBI",
                   anim::kTraceMissingArgument);
        return;
    }
    std::array<RGBQUAD, kColourCount> table;
    std::memcpy(table.data(), anim::dib::Bytes(dib) + anim::dib::kColourTableOffset, sizeof table);
    ColorsFromTable(engine, table.data(), first, last);
}

ANIM_API int32_t SetAnimPalette(EngineState *engine, HPALETTE palette) {
    using namespace anim::canvas;
    if (engine == nullptr) {
        CanvasReportError(nullptr, kMissingData, __LINE__);
        return 0;
    }
    std::int32_t count = 0;
    CanvasAdoptPalette(&engine->canvas, palette, &count);
    CopyAllToMaster(engine, nullptr);
    return count;
}

ANIM_API HPALETTE SetPaletteEx(EngineState *engine, HDC dc, int32_t *realised) {
    HPALETTE previous = nullptr;
    anim::canvas::CanvasSelectPalette(dc, CanvasOf(engine), &previous, realised);
    return previous;
}

ANIM_API HPALETTE SetPalette(EngineState *engine, HDC dc) {
    return SetPaletteEx(engine, dc, nullptr);
}

ANIM_API uint16_t RedirectColor(EngineState *engine, int32_t index, int32_t source) {
    return anim::canvas::CanvasRedirectColor(CanvasOf(engine), index, source);
}

ANIM_API int32_t NumColorsReserved(void) {
    using namespace anim::platform;
    HDC screen = GetScreenDC();
    std::int32_t reserved = kReservedWithoutPalette;
    if ((GetDeviceCaps(screen, kRasterCaps) & kRcPalette) != 0) {
        reserved = GetDeviceCaps(screen, kNumReserved);
    }
    ReleaseScreenDC(screen);
    return reserved;
}

}  // extern "C"
