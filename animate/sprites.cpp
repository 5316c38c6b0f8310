// The sprite table: taking and freeing slots, placing, showing and hiding
// sprites. Every visible change records its area for the next paint.
#include "animate.h"
#include "animate/engine.h"
#include "dib/rect.h"

namespace anim::animate {

RECT AnchoredRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t anchor) {
    std::int64_t dx = 0;
    std::int64_t dy = 0;
    if (anchor == kAnchorCentre) {
        dx = width / 2;
        dy = height / 2;
    } else if (anchor == kAnchorFoot) {
        // Centred across; the bottom row lands a quarter width below y.
        dx = width / 2;
        dy = std::int64_t{height} - width / 4;
    }
    const std::int64_t left = x - dx;
    const std::int64_t top = y - dy;
    return RECT{Saturate(left), Saturate(top), Saturate(left + width - 1),
                Saturate(top + height - 1)};
}

void SetSpriteShown(EngineState *engine, std::int32_t sprite, std::int32_t flag) {
    if (Sprite *s = SpriteSlot(engine, sprite)) s->shown = flag;
}

namespace {

// Stores the position and recomputes the rectangle from the sprite's image.
void Place(EngineState *engine, Sprite &s, std::int32_t x, std::int32_t y, std::int32_t depth,
           std::int32_t anchor) {
    s.x = x;
    s.y = y;
    s.depth = depth;
    const SpriteImage *image = ImageSlot(engine, s.image);
    const std::int32_t width = image != nullptr ? image->width : 0;
    const std::int32_t height = image != nullptr ? image->height : 0;
    s.rect = AnchoredRect(x, y, width, height, anchor);
}

void ShowSpriteAt(EngineState *engine, std::int32_t sprite, std::int32_t x, std::int32_t y,
                  std::int32_t depth, std::int32_t anchor) {
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr) return;
    if (s->shown != 0) {
        s->prevRect = s->rect;
        Place(engine, *s, x, y, depth, anchor);
        // A short move repaints one area; a long one two, rather than all
        // that lies between them.
        if (!dib::IsEmpty(dib::Intersection(s->rect, s->prevRect))) {
            InvalidateSceneRect(engine, dib::Union(s->rect, s->prevRect));
        } else {
            InvalidateSceneRect(engine, s->rect);
            InvalidateSceneRect(engine, s->prevRect);
        }
    } else {
        Place(engine, *s, x, y, depth, anchor);
        s->shown = 1;
        InvalidateSceneRect(engine, s->rect);
    }
}

}  // namespace
}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API int32_t AddSprite(EngineState *engine) {
    if (engine == nullptr || engine->sprites == nullptr) return kNoHandle;
    if (engine->spriteCount >= kMaxSprites) return kNoHandle;
    for (std::int32_t slot = 0; slot < kMaxSprites; ++slot) {
        Sprite &s = engine->sprites[slot];
        if (s.inUse != 0) continue;
        ++engine->spriteCount;
        s.inUse = 1;
        s.shown = 0;
        return slot;
    }
    return kNoHandle;
}

ANIM_API int32_t DeleteSprite(EngineState *engine, int32_t sprite) {
    if (engine == nullptr || engine->sprites == nullptr) return kSlotNotInUse;
    if (engine->spriteCount == 0) return kTableEmpty;
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr) return kSlotNotInUse;
    s->inUse = 0;
    --engine->spriteCount;
    return 0;
}

ANIM_API void SetSpriteSpriteDib(EngineState *engine, int32_t sprite, int32_t image) {
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr || UsedImage(engine, image) == nullptr) return;
    s->image = image;
    s->shown = 0;
}

ANIM_API void ShowSprite(EngineState *engine, int32_t sprite, int32_t x, int32_t y, int32_t depth,
                         int32_t anchor) {
    ShowSpriteAt(engine, sprite, x, y, depth, anchor);
}

ANIM_API void SetSpritePosition(EngineState *engine, int32_t sprite, int32_t x, int32_t y,
                                int32_t depth, int32_t anchor) {
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr) return;
    Place(engine, *s, x, y, depth, anchor);
}

ANIM_API int32_t HideSprite(EngineState *engine, int32_t sprite) {
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr || s->shown == 0) return 0;
    s->shown = 0;
    InvalidateSceneRect(engine, s->rect);
    return 1;
}

ANIM_API int32_t UnHideSprite(EngineState *engine, int32_t sprite) {
    Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr || s->shown != 0) return 0;
    s->shown = 1;
    InvalidateSceneRect(engine, s->rect);
    return 1;
}

ANIM_API void GetSpritePosition(EngineState *engine, int32_t sprite, int32_t *x, int32_t *y,
                                int32_t *depth) {
    const Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr) return;
    if (x != nullptr) *x = s->x;
    if (y != nullptr) *y = s->y;
    if (depth != nullptr) *depth = s->depth;
}

ANIM_API void GetSpriteRect(EngineState *engine, RECT *rect, int32_t sprite) {
    const Sprite *s = UsedSprite(engine, sprite);
    if (s == nullptr || rect == nullptr) return;
    *rect = s->rect;
}

}  // extern "C"
