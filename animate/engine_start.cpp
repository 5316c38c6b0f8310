// Making and ending an engine: the state block, its sprite and image tables,
// and the master colours read from the screen.
#include <new>

#include "animate.h"
#include "animate/engine.h"
#include "platform/display.h"
#include "support/report.h"

namespace anim::animate {

namespace {

template <typename Record>
Record *AllocateTable(std::int32_t count) {
    void *block = ALLOCATE(static_cast<std::uint32_t>(sizeof(Record) * count));
    if (block == nullptr) return nullptr;
    // Zero-filled records of plain fields: every slot starts free.
    return static_cast<Record *>(block);
}

EngineState *CreateEngine() {
    void *block = ALLOCATE(sizeof(EngineState));
    if (block == nullptr) return nullptr;
    auto *engine = new (block) EngineState{};
    engine->sortMode = 1;
    engine->backgroundScale = 1;

    engine->images = AllocateTable<SpriteImage>(kMaxImages);
    if (engine->images == nullptr) {
        FREE(engine);
        return nullptr;
    }
    // Templates start empty: the block is zero-filled.
    engine->sprites = AllocateTable<Sprite>(kMaxSprites);
    if (engine->sprites == nullptr) {
        ANIM_TRACE(kSource, "Allocate SpriteArray FAILED!", kTraceAllocationFailed);
        // What was got goes back: a failed start leaves nothing behind.
        FREE(engine->images);
        FREE(engine);
        return nullptr;
    }

    HDC screen = platform::GetScreenDC();
    InitMasterPalette(engine, screen);
    platform::ReleaseScreenDC(screen);
    return engine;
}

void DestroyEngineContents(EngineState *engine) {
    canvas::CanvasTerminate(&engine->canvas);
    DeleteDIB(engine->background);
    engine->background = nullptr;
    canvas::CanvasDestroySurface(&engine->canvas);
    FREE(engine->sprites);
    engine->sprites = nullptr;
    engine->spriteCount = 0;
    FREE(engine->images);
    engine->images = nullptr;
    engine->imageCount = 0;
}

}  // namespace
}  // namespace anim::animate

extern "C" {

ANIM_API EngineState *InitAnimate(void) {
    return anim::animate::CreateEngine();
}

ANIM_API void TerminateAnimate(EngineState *engine) {
    if (engine == nullptr) return;
    anim::animate::DestroyEngineContents(engine);
}

ANIM_API void SetSortMode(EngineState *engine, int32_t mode) {
    if (engine == nullptr) return;
    engine->sortMode = mode;
}

}  // extern "C"
