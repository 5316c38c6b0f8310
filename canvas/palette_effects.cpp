// Full-screen colour effects, one step per call: fades to and from black, the
// x-ray cross-fade, colour cycling and the scrolling palette. They rewrite
// palette entries only, so every pixel drawn in the animatable game colours
// changes at once without a repaint.
//
// Ranges of indices come from the game. A range reaching outside the
// 256-entry tables is refused whole (nothing changes, the level included)
// instead of being followed or trimmed.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "canvas/master_palette.h"
#include "dib/packed_dib.h"
#include "platform/checked_size.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "support/report.h"

namespace {

using anim::canvas::kColourCount;
using anim::canvas::kFirstGameColour;
using anim::canvas::kGameColourCount;
using anim::canvas::kLastGameColour;
using anim::canvas::kPaletteSource;

constexpr std::int32_t kBlack = 0;
constexpr std::int32_t kFullLevel = 15;
// Blackness fades scale by level / 15, so level 15 is the master colour.
constexpr std::int32_t kBlacknessDivisor = 15;
// The x-ray blend divides by 16: even its end levels give 15/16 of a colour.
constexpr std::int32_t kXrayDivisor = 16;
// The x-ray picture's indices: 15 normal by 15 x-ray colours.
constexpr std::int32_t kXrayLayerSize = 15;
constexpr std::int32_t kXrayEntryCount = kXrayLayerSize * kXrayLayerSize;

PALETTEENTRY EntryOf(const RGBQUAD &c) {
    return PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, anim::platform::kPcReserved};
}

// Moves the level one step; false, and nothing changed, at its end.
bool StepLevel(EngineState *engine, std::int32_t direction) {
    std::int32_t &level = engine->fadeLevel;
    // Any nonzero direction counts as up, as it does for the jump below.
    if (direction != 0) {
        if (level >= kFullLevel) return false;
        ++level;
    } else {
        if (level <= kBlack) return false;
        --level;
    }
    return true;
}

bool RangeInTable(std::int32_t first, std::int32_t last) {
    return first >= 0 && last < kColourCount;
}

std::uint8_t Scale(std::uint8_t component, std::int32_t level) {
    return static_cast<std::uint8_t>(component * level / kBlacknessDivisor);
}

std::uint8_t Blend(std::uint8_t normal, std::uint8_t xray, std::int32_t level) {
    return static_cast<std::uint8_t>((xray * level + normal * (kFullLevel - level)) / kXrayDivisor);
}

bool Refuse(EngineState *engine, const char *text) {
    if (engine == nullptr) {
        ANIM_TRACE(kPaletteSource, "NULL engine in a palette effect", anim::kTraceMissingArgument);
        return true;
    }
    if (text != nullptr) ANIM_TRACE(kPaletteSource, text, anim::kTraceMissingArgument);
    return text != nullptr;
}

RGBQUAD ColourAt(const BITMAPINFOHEADER *dib, std::uint8_t index) {
    RGBQUAD colour;
    std::memcpy(&colour,
                anim::dib::Bytes(dib) + anim::dib::kColourTableOffset + index * sizeof(RGBQUAD),
                sizeof colour);
    return colour;
}

}  // namespace

extern "C" {

ANIM_API void SetXrayFade(EngineState *engine, const RGBQUAD *colours, int32_t flag) {
    if (Refuse(engine, colours == nullptr ? "NULL colours in SetXrayFade" : nullptr)) return;
    std::copy_n(colours, anim::animate::kXrayColourCount, engine->xrayColors);
    engine->fadeLevel = flag != 0 ? kFullLevel : kBlack;
}

ANIM_API int32_t FadeXrayScene(EngineState *engine, int32_t direction) {
    if (Refuse(engine, nullptr) || !StepLevel(engine, direction)) return 0;
    const std::int32_t level = engine->fadeLevel;
    const RGBQUAD *normal = engine->xrayColors;
    const RGBQUAD *xray = engine->xrayColors + kXrayLayerSize;
    for (std::int32_t j = 0; j < kXrayLayerSize; ++j) {
        for (std::int32_t i = 0; i < kXrayLayerSize; ++i) {
            engine->fadeEntries[kXrayLayerSize * j + i] = PALETTEENTRY{
                Blend(normal[i].rgbRed, xray[j].rgbRed, level),
                Blend(normal[i].rgbGreen, xray[j].rgbGreen, level),
                Blend(normal[i].rgbBlue, xray[j].rgbBlue, level), anim::platform::kPcReserved};
        }
    }
    anim::canvas::CanvasAnimateColors(&engine->canvas, kFirstGameColour, kXrayEntryCount,
                                      engine->fadeEntries);
    return 1;
}

ANIM_API int32_t FadeBlacknessSceneLimited(EngineState *engine, int32_t direction, int32_t first,
                                           int32_t last) {
    if (Refuse(engine, RangeInTable(first, last) ? nullptr : "Fade range outside the palette")) {
        return 0;
    }
    if (!StepLevel(engine, direction)) return 0;
    const std::int32_t level = engine->fadeLevel;
    const std::int64_t count = std::int64_t{last} - first + 1;
    for (std::int64_t k = 0; k < count; ++k) {
        const RGBQUAD &c = engine->masterColors[first + k];
        engine->fadeEntries[k] = PALETTEENTRY{Scale(c.rgbRed, level), Scale(c.rgbGreen, level),
                                              Scale(c.rgbBlue, level), anim::platform::kPcReserved};
    }
    if (count > 0) {
        anim::canvas::CanvasAnimateColors(&engine->canvas, first, static_cast<std::uint32_t>(count),
                                          engine->fadeEntries);
    }
    return 1;
}

ANIM_API int32_t FadeBlacknessScene(EngineState *engine, int32_t direction) {
    return FadeBlacknessSceneLimited(engine, direction, kFirstGameColour, kLastGameColour);
}

ANIM_API int32_t SetBlacknessFadeLimited(EngineState *engine, int32_t direction, int32_t first,
                                         int32_t last) {
    if (Refuse(engine, RangeInTable(first, last) ? nullptr : "Fade range outside the palette")) {
        return 0;
    }
    // One step short of the end, so that the step below lands on it and
    // applies it.
    engine->fadeLevel = direction != 0 ? kFullLevel - 1 : kBlack + 1;
    FadeBlacknessSceneLimited(engine, direction, first, last);
    return 1;
}

ANIM_API int32_t SetBlacknessFade(EngineState *engine, int32_t direction) {
    return SetBlacknessFadeLimited(engine, direction, kFirstGameColour, kLastGameColour);
}

ANIM_API void CyclePalette(EngineState *engine, int32_t first, int32_t last) {
    if (Refuse(engine, nullptr) || first < 0 || last >= kColourCount || last < first) return;
    const std::int32_t count = last - first + 1;
    const RGBQUAD saved = engine->masterColors[first];
    for (std::int32_t n = first; n < last; ++n) {
        const RGBQUAD next = engine->masterColors[n + 1];
        AddColor(engine, n, &next);
        engine->fadeEntries[n - first] = EntryOf(next);
    }
    AddColor(engine, last, &saved);
    engine->fadeEntries[last - first] = EntryOf(saved);
    anim::canvas::CanvasAnimateColors(&engine->canvas, first, static_cast<std::uint32_t>(count),
                                      engine->fadeEntries);
}

ANIM_API BITMAPINFOHEADER *CreateScrollingDIB(int32_t tileWidth, int32_t tileHeight, int32_t across,
                                              int32_t down) {
    // Tiles of no pixels, or pictures of a negative number of tiles, have no
    // layout to give.
    if (tileWidth <= 0 || tileHeight <= 0 || across < 0 || down < 0) return nullptr;
    if (std::int64_t{tileWidth} * tileHeight > kGameColourCount) return nullptr;
    const std::int64_t width = std::int64_t{across} * tileWidth;
    const std::int64_t height = std::int64_t{down} * tileHeight;
    if (!anim::platform::CheckedSize(anim::platform::RowStride(width), height)) return nullptr;
    BITMAPINFOHEADER *dib =
        CreateDIB(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    if (dib == nullptr) return nullptr;
    std::uint8_t *pixels = anim::dib::Pixels(dib);
    const std::int64_t stride = anim::platform::RowStride(width);
    for (std::int64_t y = 0; y < height; ++y) {
        // Stored rows run from the bottom of the picture.
        std::uint8_t *row = pixels + (height - 1 - y) * stride;
        const std::int64_t tileRow = (y % tileHeight) * tileWidth;
        for (std::int64_t x = 0; x < width; ++x) {
            row[x] = static_cast<std::uint8_t>(kFirstGameColour + tileRow + x % tileWidth);
        }
    }
    return dib;
}

ANIM_API void ScrollPaletteFromDIB(EngineState *engine, int32_t dx, int32_t dy,
                                   const BITMAPINFOHEADER *source) {
    if (Refuse(engine, source == nullptr ? "NULL source in ScrollPaletteFromDIB" : nullptr)) return;
    const std::int32_t width = source->biWidth;
    const std::int32_t height = source->biHeight;
    // The tile owns the game colours only; a bigger (or empty, or top-down)
    // source has no place in them.
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kGameColourCount) {
        ANIM_TRACE(kPaletteSource, "Scrolling source does not fit the game colours",
                   anim::kTraceMissingArgument);
        return;
    }
    if (!anim::dib::CheckedGeometry(source)) {
        ANIM_TRACE(kPaletteSource, "Scrolling source shorter than its header",
                   anim::kTraceMissingArgument);
        return;
    }
    const std::int64_t stride = anim::platform::RowStride(width);
    dx = std::clamp(dx, 0, width - 1);
    dy = std::clamp(dy, 0, height - 1);
    const std::uint8_t *pixels = anim::dib::Pixels(source);
    for (std::int32_t m = 0; m < height; ++m) {
        const std::uint8_t *row = pixels + m * stride;
        for (std::int32_t c = 0; c < width; ++c) {
            RGBQUAD colour = ColourAt(source, row[c]);
            colour.rgbReserved = 0;
            const std::int32_t n = ((dy + m) % height) * width + (dx + c) % width;
            engine->fadeEntries[n] = EntryOf(colour);
            AddColor(engine, kFirstGameColour + n, &colour);
        }
    }
    anim::canvas::CanvasAnimateColors(&engine->canvas, kFirstGameColour,
                                      static_cast<std::uint32_t>(width * height),
                                      engine->fadeEntries);
}

}  // extern "C"
