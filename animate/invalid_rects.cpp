// The invalid-rectangle list: the areas of the scene to recompose at the
// next paint, joined as they arrive, plus whole rows for the magnified paint.
#include <algorithm>
#include <iterator>

#include "animate.h"
#include "animate/engine.h"
#include "dib/rect.h"

namespace anim::animate {

void InvalidateSceneRect(EngineState *engine, std::int32_t left, std::int32_t top,
                         std::int32_t right, std::int32_t bottom) {
    if (engine == nullptr) return;
    const RECT clipped = dib::Intersection(RECT{left, top, right, bottom}, engine->sceneRect);
    if (dib::IsEmpty(clipped)) return;
    const std::int32_t count = std::clamp(engine->invalidCount, 0, kMaxInvalidRects);
    for (std::int32_t i = 0; i < count; ++i) {
        RECT &entry = engine->invalidRects[i];
        if (dib::ShouldJoin(clipped, entry)) {
            // The grown entry is not compared again with the others: the
            // list stays cheap to keep, and overlaps only cost a repaint.
            entry = dib::Union(entry, clipped);
            return;
        }
    }
    if (count == kMaxInvalidRects) return;
    engine->invalidRects[count] = clipped;
    engine->invalidCount = count + 1;
}

void ClearInvalidRects(EngineState *engine) {
    if (engine == nullptr) return;
    std::fill(std::begin(engine->invalidRects), std::end(engine->invalidRects), RECT{0, 0, 0, 0});
    engine->invalidCount = 0;
}

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API void MakeRectInvalid(EngineState *engine, int32_t left, int32_t top, int32_t right,
                              int32_t bottom) {
    InvalidateSceneRect(engine, left, top, right, bottom);
}

ANIM_API void MakeScanlineInvalid(EngineState *engine, int32_t y) {
    if (engine == nullptr) return;
    if (y < 0 || y > engine->sceneRect.bottom) return;
    if (engine->invalidRowCount < 0 || engine->invalidRowCount >= kMaxInvalidRows) return;
    engine->invalidRows[engine->invalidRowCount++] = y;
}

ANIM_API void SetDebugInvalidRects(EngineState *engine, int32_t flag) {
    if (engine == nullptr) return;
    engine->debugInvalidRects = flag;
}

}  // extern "C"
