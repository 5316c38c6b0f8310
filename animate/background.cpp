// The background picture and the off-screen image: loading, adopting,
// replacing and deleting them, which also fixes the scene's extent and
// marks the whole scene for repainting.
#include <algorithm>

#include "animate.h"
#include "animate/engine.h"
#include "canvas/canvas.h"
#include "support/report.h"

namespace anim::animate {

namespace {

// The game's colours, taken from every background loaded with its palette;
// the rest belong to the display.
inline constexpr std::int32_t kFirstGameColour = 10;
inline constexpr std::int32_t kLastGameColour = 245;

inline constexpr std::int32_t kTraceSurfaceFailed = 1;

RECT SceneOf(std::int64_t width, std::int64_t height, std::int64_t scale = 1) {
    return RECT{0, 0, Saturate((width - 1) * scale), Saturate((height - 1) * scale)};
}

void TakeGameColours(EngineState *engine, const BITMAPINFOHEADER *dib) {
    ColorsFromBI(engine, dib, kFirstGameColour, kLastGameColour);
    CreateMasterPalette(engine, kFirstGameColour, kLastGameColour);
}

// Replaces the engine's background with dib, which the engine owns from now.
void ReplaceBackground(EngineState *engine, BITMAPINFOHEADER *dib) {
    if (engine->background != dib) DeleteDIB(engine->background);
    engine->background = dib;
}

std::int32_t SurfaceMade(std::uint16_t status) {
    if (status == canvas::kOk) return 1;
    if (status == canvas::kOutOfMemory) {
        ANIM_TRACE(kSource, "Insufficient memory for offscreen static DIB.",
                   kTraceAllocationFailed);
    } else {
        ANIM_TRACE(kSource, "Can't create offscreen static image.", kTraceSurfaceFailed);
    }
    return 0;
}

std::int32_t LoadBackground(EngineState *engine, const char *fileName, std::int32_t scale,
                            bool scaled) {
    BITMAPINFOHEADER *dib = OpenDIB(fileName);
    engine->backgroundScale = scale;
    if (dib == nullptr) {
        ANIM_TRACE(kSource, "SetBackground: OpenDIB() FAILED!", kTraceOpenFailed);
        return 0;
    }
    ReplaceBackground(engine, dib);
    engine->sceneRect = SceneOf(dib->biWidth, dib->biHeight, scale);
    TakeGameColours(engine, dib);
    InvalidateSceneRect(engine, engine->sceneRect);
    return SurfaceMade(scaled ? canvas::CanvasSurfaceForDibScaled(&engine->canvas, dib, scale)
                              : canvas::CanvasSurfaceForDib(&engine->canvas, dib));
}

}  // namespace

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API int32_t SetBackground(EngineState *engine, const char *fileName) {
    if (engine == nullptr) return 0;
    return LoadBackground(engine, fileName, 1, false);
}

ANIM_API int32_t SetBackgroundPlus(EngineState *engine, const char *fileName, int32_t scale) {
    if (engine == nullptr) return 0;
    return LoadBackground(engine, fileName, scale, true);
}

ANIM_API int32_t SetBackgroundFromPDIB(EngineState *engine, BITMAPINFOHEADER *dib) {
    // Without a picture there is no scene to size: refused, nothing changes.
    if (engine == nullptr || dib == nullptr) return 0;
    engine->backgroundScale = 1;
    ClearInvalidRects(engine);
    ReplaceBackground(engine, dib);
    engine->sceneRect = SceneOf(dib->biWidth, dib->biHeight);
    InvalidateSceneRect(engine, engine->sceneRect);
    return anim::canvas::CanvasSurfaceForDib(&engine->canvas, dib) == anim::canvas::kOk ? 1 : 0;
}

ANIM_API int32_t SetBackgroundDibOnly(EngineState *engine, const char *fileName,
                                      int32_t takeColours) {
    if (engine == nullptr) return 0;
    BITMAPINFOHEADER *dib = OpenDIB(fileName);
    engine->backgroundScale = 1;
    if (dib == nullptr) {
        ANIM_TRACE(kSource, "SetBackgroundDibOnly: OpenDIB() FAILED!", anim::kTraceOpenFailed);
        return 0;
    }
    ClearInvalidRects(engine);
    ReplaceBackground(engine, dib);
    if (takeColours != 0) TakeGameColours(engine, dib);
    InvalidateSceneRect(engine, SceneOf(dib->biWidth, dib->biHeight));
    return 1;
}

ANIM_API void DeleteBackgroundDibOnly(EngineState *engine) {
    if (engine == nullptr) return;
    DeleteDIB(engine->background);
    engine->background = nullptr;
}

ANIM_API uint16_t DeleteBackground(EngineState *engine) {
    if (engine == nullptr) return anim::canvas::kMissingData;
    engine->invalidCount = 0;
    engine->invalidRowCount = 0;
    engine->sceneRect = RECT{0, 0, -1, -1};
    DeleteDIB(engine->background);
    engine->background = nullptr;
    return anim::canvas::CanvasDestroySurface(&engine->canvas);
}

ANIM_API BITMAPINFOHEADER *SetOffScreenDib(EngineState *engine, BITMAPINFOHEADER *dib) {
    if (engine == nullptr || dib == nullptr) return nullptr;
    ClearInvalidRects(engine);
    // The scene has no background from now on, and the engine owned the one
    // it had: it goes, rather than leaking.
    DeleteDIB(engine->background);
    engine->background = nullptr;
    engine->sceneRect = SceneOf(dib->biWidth, dib->biHeight);
    BITMAPINFOHEADER *previous = nullptr;
    anim::canvas::CanvasAdoptDib(&engine->canvas, dib, &previous);
    return previous;
}

ANIM_API int32_t MakeOffScreenDib(EngineState *engine, int32_t width, int32_t height) {
    if (engine == nullptr) return 1;
    ClearInvalidRects(engine);
    engine->sceneRect = SceneOf(width, height);
    return anim::canvas::CanvasNewSurface(&engine->canvas, width, height) == anim::canvas::kOk ? 0
                                                                                               : 1;
}

ANIM_API int32_t SetBackgroundStretch(EngineState *engine, int32_t scale) {
    if (engine == nullptr) return 0;
    const int32_t previous = engine->backgroundScale;
    engine->backgroundScale = scale;
    return previous;
}

ANIM_API void OffsetRectInsideBackground(EngineState *engine, RECT *rect) {
    if (engine == nullptr || rect == nullptr) return;
    const RECT &scene = engine->sceneRect;
    const std::int64_t dx1 = std::max<std::int64_t>(0, -std::int64_t{rect->left});
    const std::int64_t dy1 = std::max<std::int64_t>(0, -std::int64_t{rect->top});
    const std::int64_t dx2 = std::min<std::int64_t>(0, std::int64_t{scene.right} - rect->right);
    const std::int64_t dy2 = std::min<std::int64_t>(0, std::int64_t{scene.bottom} - rect->bottom);
    const std::int64_t dx = dx1 + dx2;
    const std::int64_t dy = dy1 + dy2;
    *rect = RECT{Saturate(rect->left + dx), Saturate(rect->top + dy), Saturate(rect->right + dx),
                 Saturate(rect->bottom + dy)};
}

}  // extern "C"
