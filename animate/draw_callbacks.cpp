// The game's draw callbacks: functions called while a rectangle is
// composed, to draw what lies between two depths into the surface.
#include <algorithm>
#include <iterator>

#include "animate.h"
#include "animate/engine.h"

namespace anim::animate {

std::int32_t CallDrawCallbacks(EngineState *engine, canvas::Canvas *canvas, std::int32_t high,
                               std::int32_t low, const RECT &area) {
    if (engine == nullptr || canvas == nullptr) return 0;
    BITMAPINFO *info = canvas::Info(canvas);
    // A callback may unregister entries; the count is read afresh each time.
    for (std::uint32_t i = 0;
         i < engine->drawCallbackCount && i < static_cast<std::uint32_t>(kMaxDrawCallbacks); ++i) {
        const DrawCallbackEntry entry = engine->drawCallbacks[i];
        if (entry.function == nullptr) continue;
        if (entry.lowDepth > high || entry.highDepth < low) continue;
        entry.function(canvas->hWinGDC, info, canvas->pBits, std::min(entry.highDepth, high),
                       std::max(entry.lowDepth, low), area.left, area.top, area.right, area.bottom,
                       entry.user);
    }
    return 0;
}

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API uint16_t RegisterDrawCallback(EngineState *engine, AnimDrawCallback callback,
                                       int32_t highDepth, int32_t lowDepth, int32_t user) {
    if (engine == nullptr) return kCallbackTableFull;
    if (lowDepth > highDepth) return kCallbackBadRange;
    if (engine->drawCallbackCount >= static_cast<std::uint32_t>(kMaxDrawCallbacks)) {
        return kCallbackTableFull;
    }
    engine->drawCallbacks[engine->drawCallbackCount++] =
        DrawCallbackEntry{callback, highDepth, lowDepth, user};
    return kCallbackOk;
}

ANIM_API uint16_t UnregisterDrawCallback(EngineState *engine, AnimDrawCallback callback,
                                         int32_t highDepth, int32_t lowDepth) {
    if (engine == nullptr) return kCallbackNotFound;
    auto &entries = engine->drawCallbacks;
    std::uint32_t count =
        std::min(engine->drawCallbackCount, static_cast<std::uint32_t>(kMaxDrawCallbacks));
    bool removed = false;
    // An entry that moves down into a freed place is not looked at again in
    // this call: a second match right behind a removed one stays registered.
    for (std::uint32_t i = 0; i < count; ++i) {
        const DrawCallbackEntry &e = entries[i];
        if (e.function != callback || e.highDepth != highDepth || e.lowDepth != lowDepth) continue;
        std::copy(std::begin(entries) + i + 1, std::begin(entries) + count,
                  std::begin(entries) + i);
        --count;
        entries[count] = DrawCallbackEntry{};
        removed = true;
    }
    engine->drawCallbackCount = count;
    return removed ? kCallbackOk : kCallbackNotFound;
}

ANIM_API uint16_t UnregisterAllDrawCallbacks(EngineState *engine) {
    if (engine == nullptr) return kCallbackOk;
    std::fill(std::begin(engine->drawCallbacks), std::end(engine->drawCallbacks),
              DrawCallbackEntry{});
    engine->drawCallbackCount = 0;
    return kCallbackOk;
}

}  // extern "C"
