// More ways of painting the invalid rectangles: magnified in the window,
// magnified over a scrolled background with whole invalid rows, limited to
// a band of depths, and a wipe that reveals the first rectangle in strips.
#include <algorithm>

#include "animate.h"
#include "animate/engine.h"
#include "platform/platform.h"

namespace anim::animate {

std::uint16_t CopyRectToWindowScaled(EngineState *engine, HDC dc, canvas::Canvas *canvas,
                                     const RECT &area, std::int32_t scale) {
    if (engine != nullptr && engine->printerEnabled != 0) {
        return canvas::CanvasStretchToWindow(dc, &area, canvas, scale,
                                             canvas::kCopyThroughGdi | canvas::kCopyWithColorTable,
                                             engine->masterColors);
    }
    return canvas::CanvasStretchToWindow(dc, &area, canvas, scale, 0, nullptr);
}

namespace {

// Each wipe step moves the edge this many pixels and lasts at least
// kWipeStepMs from its start.
inline constexpr std::int64_t kWipeStep = 5;
inline constexpr std::uint32_t kWipeStepMs = 25;

enum WipeDirection : std::int16_t {
    kTopToBottom = 2,
    kBottomToTop = 3,
    kLeftToRight = 4,
};

std::int32_t ListedRects(const EngineState *engine) {
    return std::clamp(engine->invalidCount, 0, kMaxInvalidRects);
}

// The strip being wiped, kept wide so that stepping an edge cannot overflow.
struct Strip {
    std::int64_t left, top, right, bottom;
    RECT Narrow() const {
        return RECT{Saturate(left), Saturate(top), Saturate(right), Saturate(bottom)};
    }
};

void PaintStrip(EngineState *engine, HDC dc, const Strip &strip) {
    RECT &entry = engine->invalidRects[0];
    entry = strip.Narrow();
    // Only the front layer: what the surface already holds stays under it.
    ComposeRect(engine, entry, &engine->canvas, kTransparent, kFrontDepth, kFrontDepth, 0, 0);
    CopyRectToWindow(engine, dc, &engine->canvas, entry, 0, 0);
}

void Wipe(EngineState *engine, HDC dc, std::int16_t effect) {
    const RECT &first = engine->invalidRects[0];
    Strip r{first.left, first.top, first.right, first.bottom};
    // The first strip is 5 pixels deep at the rectangle's near side; both of
    // its edges then step on until the moving one reaches the far side.
    std::int64_t *trailing = &r.right;
    std::int64_t *moving = &r.left;
    std::int64_t direction = -1;
    if (effect == kTopToBottom) {
        trailing = &r.top;
        moving = &r.bottom;
        direction = 1;
    } else if (effect == kBottomToTop) {
        trailing = &r.bottom;
        moving = &r.top;
        direction = -1;
    } else if (effect == kLeftToRight) {
        trailing = &r.left;
        moving = &r.right;
        direction = 1;
    }
    const std::int64_t saved = *moving;
    *moving = *trailing + direction * kWipeStep;
    // Consecutive strips share one row or column.
    while (direction > 0 ? *moving < saved : *moving > saved) {
        engine->sfxStepTime = platform::TimeGetTime();
        PaintStrip(engine, dc, r);
        *trailing += direction * kWipeStep;
        *moving += direction * kWipeStep;
        platform::WaitUntilElapsed(engine->sfxStepTime, kWipeStepMs);
    }
    *moving = saved;
    PaintStrip(engine, dc, r);
}

}  // namespace

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API void PaintSceneStretch(EngineState *engine, HDC dc, int32_t scale) {
    if (engine == nullptr) return;
    for (std::int32_t i = 0; i < ListedRects(engine); ++i) {
        const RECT area = engine->invalidRects[i];
        ComposeRect(engine, area, &engine->canvas, kTransparent, kFrontDepth, kBackgroundDepth, 0,
                    0);
        CopyRectToWindowScaled(engine, dc, &engine->canvas, area, scale);
    }
    ClearInvalidRects(engine);
}

ANIM_API void PaintSceneStretchPlus(EngineState *engine, HDC dc, int32_t scale, int32_t scrollX,
                                    int32_t scrollY) {
    if (engine == nullptr) return;
    anim::canvas::Canvas *canvas = &engine->canvas;
    const std::int32_t rows = std::clamp(engine->invalidRowCount, 0, kMaxInvalidRows);
    auto rowRect = [engine](std::int32_t y) {
        return RECT{engine->sceneRect.left, y, engine->sceneRect.right, y};
    };
    // Everything is composed before anything reaches the window.
    for (std::int32_t i = 0; i < ListedRects(engine); ++i) {
        ComposeRectScrolled(engine, engine->invalidRects[i], canvas, kTransparent, kFrontDepth,
                            kBackgroundDepth, scrollX, scrollY);
    }
    for (std::int32_t i = 0; i < rows; ++i) {
        ComposeRectScrolled(engine, rowRect(engine->invalidRows[i]), canvas, kTransparent,
                            kFrontDepth, kBackgroundDepth, scrollX, scrollY);
    }
    for (std::int32_t i = 0; i < rows; ++i) {
        CopyRectToWindowScaled(engine, dc, canvas, rowRect(engine->invalidRows[i]), scale);
    }
    for (std::int32_t i = 0; i < ListedRects(engine); ++i) {
        CopyRectToWindowScaled(engine, dc, canvas, engine->invalidRects[i], scale);
    }
    engine->invalidRowCount = 0;
    ClearInvalidRects(engine);
}

ANIM_API void PaintScenePartialDepth(EngineState *engine, HDC dc, int32_t lowDepth,
                                     int32_t highDepth) {
    if (engine == nullptr) return;
    for (std::int32_t i = 0; i < ListedRects(engine); ++i) {
        const RECT area = engine->invalidRects[i];
        ComposeRect(engine, area, &engine->canvas, kTransparent, lowDepth, highDepth, 0, 0);
        CopyRectToWindow(engine, dc, &engine->canvas, area, 0, 0);
    }
    ClearInvalidRects(engine);
}

ANIM_API void PaintSceneSFX(EngineState *engine, HDC dc, int16_t effect) {
    if (engine == nullptr) return;
    Wipe(engine, dc, effect);
    ClearInvalidRects(engine);
}

}  // extern "C"
