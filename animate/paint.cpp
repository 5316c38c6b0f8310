// Painting the scene: every invalid rectangle is recomposed and copied to
// the window once, then the list is emptied. Also the debug display of the
// repainted rectangles, the printer path and the paint timers.
#include <algorithm>
#include <cstdio>

#include "animate.h"
#include "animate/engine.h"
#include "platform/display.h"
#include "platform/platform.h"

namespace anim::animate {

std::uint16_t CopyRectToWindow(EngineState *engine, HDC dc, canvas::Canvas *canvas,
                               const RECT &area, std::int32_t dx, std::int32_t dy) {
    const RECT moved{Saturate(std::int64_t{area.left} + dx), Saturate(std::int64_t{area.top} + dy),
                     Saturate(std::int64_t{area.right} + dx),
                     Saturate(std::int64_t{area.bottom} + dy)};
    if (engine != nullptr && engine->printerEnabled != 0) {
        return canvas::CanvasCopyToWindow(dc, &moved, canvas,
                                          canvas::kCopyThroughGdi | canvas::kCopyWithColorTable,
                                          engine->masterColors);
    }
    return canvas::CanvasCopyToWindow(dc, &moved, canvas, 0, nullptr);
}

namespace {

// The debug display's outlines are drawn by XOR: drawing one again erases it.
void EraseFocusRects(EngineState *engine, HDC dc) {
    const std::int32_t count = std::clamp(engine->focusCount, 0, kMaxFocusRects);
    for (std::int32_t i = 0; i < count; ++i) platform::DrawFocusRect(dc, &engine->focusRects[i]);
    engine->focusCount = 0;
}

void ShowRepaintedRects(EngineState *engine, HDC dc) {
    for (std::int32_t i = 0; i < engine->invalidCount && i < kMaxInvalidRects; ++i) {
        const RECT &r = engine->invalidRects[i];
        char line[96];
        std::snprintf(line, sizeof line, "Rect: %d  (%d,%d,%d,%d)\r\n", i, r.left, r.top, r.right,
                      r.bottom);
        platform::DebugOutput(line);
        if (i < kMaxFocusRects) {
            RECT &outline = engine->focusRects[i];
            outline = Exclusive(r);
            ++engine->focusCount;
            platform::DrawFocusRect(dc, &outline);
        }
    }
}

}  // namespace

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API void PaintScene(EngineState *engine, HDC dc) {
    if (engine == nullptr) return;
    anim::canvas::Canvas *canvas = &engine->canvas;
    const bool debug = engine->debugInvalidRects != 0 && engine->invalidCount >= 1;
    if (debug) EraseFocusRects(engine, dc);

    // The count is read afresh: a draw callback may mark more rectangles.
    for (std::int32_t i = 0; i < engine->invalidCount && i < kMaxInvalidRects; ++i) {
        const RECT area = engine->invalidRects[i];
        const bool timing = engine->timingEnabled != 0;
        std::uint32_t start = timing ? anim::platform::TimeGetTime() : 0;
        ComposeRect(engine, area, canvas, kTransparent, kFrontDepth, kBackgroundDepth, 0, 0);
        if (timing) {
            const std::uint32_t now = anim::platform::TimeGetTime();
            engine->composeTime += now - start;
            start = now;
        }
        CopyRectToWindow(engine, dc, canvas, area, 0, 0);
        if (timing) engine->copyTime += anim::platform::TimeGetTime() - start;
    }

    if (debug) ShowRepaintedRects(engine, dc);
    ClearInvalidRects(engine);
}

ANIM_API void PaintSceneRect(EngineState *engine, HDC dc, const RECT *rect) {
    if (engine == nullptr || rect == nullptr) return;
    ComposeRect(engine, *rect, &engine->canvas, kTransparent, kFrontDepth, kBackgroundDepth, 0, 0);
    CopyRectToWindow(engine, dc, &engine->canvas, *rect, 0, 0);
}

ANIM_API void EnablePrinter(EngineState *engine, int32_t flag) {
    if (engine == nullptr) return;
    engine->printerEnabled = flag;
}

ANIM_API void ResetFixupPaintTimes(EngineState *engine) {
    if (engine == nullptr) return;
    engine->composeTime = 0;
    engine->copyTime = 0;
    engine->timingEnabled = 1;
}

ANIM_API void GetFixupPaintTimes(EngineState *engine, uint32_t *composeMs, uint32_t *copyMs) {
    if (engine == nullptr) return;
    if (composeMs != nullptr) *composeMs = engine->composeTime;
    if (copyMs != nullptr) *copyMs = engine->copyTime;
}

}  // extern "C"
