// The sprite engine's records and the internal operations its parts share:
// the sprite and image tables, invalidation, composition and window copies.
// The projector reaches the engine through this header too.
#pragma once

#include <cstdint>
#include <limits>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"

namespace anim::animate {

// Source name in trace lines and assertions of the engine.
inline constexpr char kSource[] = "ANIMATE";

// Depths: larger is further back. A full paint covers kFrontDepth to
// kBackgroundDepth, and the background layer is copied only when a paint
// reaches kBackgroundDepth.
inline constexpr std::int32_t kFrontDepth = 0;
inline constexpr std::int32_t kBackgroundDepth = 32767;

// Anchor modes of ShowSprite and SetSpritePosition; any other value places
// the sprite by its top-left pixel.
inline constexpr std::int32_t kAnchorCentre = ANIM_ANCHOR_CENTRE;
inline constexpr std::int32_t kAnchorFoot = ANIM_ANCHOR_FOOT;

// The colour a sprite image leaves transparent.
inline constexpr std::uint8_t kTransparent = 0;

// Results of the delete operations.
inline constexpr std::int32_t kSlotNotInUse = -1;
inline constexpr std::int32_t kTableEmpty = -2;
inline constexpr std::int32_t kNoHandle = -1;

// Status codes of the draw-callback operations.
inline constexpr std::uint16_t kCallbackOk = 0;
inline constexpr std::uint16_t kCallbackTableFull = 8;
inline constexpr std::uint16_t kCallbackNotFound = 9;
inline constexpr std::uint16_t kCallbackBadRange = 10;

struct Sprite {
    std::int32_t x;
    std::int32_t y;
    std::int32_t depth;
    std::int32_t shown;
    std::int32_t inUse;
    // Scratch of the composer: the part of the image drawn for the rectangle
    // being composed, and where it lands inside that rectangle.
    std::int32_t srcX;
    std::int32_t drawWidth;
    std::int32_t srcY;
    std::int32_t drawHeight;
    std::int32_t dstX;
    std::int32_t dstY;
    RECT rect;      // inclusive, scene coordinates
    RECT prevRect;  // rect before the last move by ShowSprite
    std::int32_t image;
};
static_assert(sizeof(Sprite) == 12 * sizeof(std::int32_t) + 2 * sizeof(RECT));

struct SpriteImage {
    std::int32_t inUse;
    std::int32_t isFramePixels;  // 0: data is a packed DIB; 1: bare bottom-up frame rows
    std::int32_t left;           // top-left pixel of the image inside data, top-down
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
    void *data;  // borrowed, never freed by the engine
};
static_assert(sizeof(SpriteImage) == 6 * sizeof(std::int32_t) + sizeof(void *));

// ---- Handle lookups: null for a null engine or a handle out of range ----

inline Sprite *SpriteSlot(EngineState *engine, std::int32_t sprite) {
    if (engine == nullptr || engine->sprites == nullptr || sprite < 0 || sprite >= kMaxSprites) {
        return nullptr;
    }
    return &engine->sprites[sprite];
}

inline SpriteImage *ImageSlot(EngineState *engine, std::int32_t image) {
    if (engine == nullptr || engine->images == nullptr || image < 0 || image >= kMaxImages) {
        return nullptr;
    }
    return &engine->images[image];
}

// The slot when it holds a sprite or an image, else null.
inline Sprite *UsedSprite(EngineState *engine, std::int32_t sprite) {
    Sprite *s = SpriteSlot(engine, sprite);
    return s != nullptr && s->inUse != 0 ? s : nullptr;
}

inline SpriteImage *UsedImage(EngineState *engine, std::int32_t image) {
    SpriteImage *i = ImageSlot(engine, image);
    return i != nullptr && i->inUse != 0 ? i : nullptr;
}

// Game coordinates are added and subtracted wide and brought back into the
// 32-bit fields saturated, so that no argument overflows the arithmetic.
constexpr std::int32_t Saturate(std::int64_t value) {
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < lo ? lo : value > hi ? hi : value);
}

// The platform's exclusive form of an inclusive rectangle.
constexpr RECT Exclusive(const RECT &r) {
    return RECT{r.left, r.top, Saturate(std::int64_t{r.right} + 1),
                Saturate(std::int64_t{r.bottom} + 1)};
}

// ---- Sprites ----------------------------------------------------------------

// Where a w x h image lies when its anchor point is (x, y).
RECT AnchoredRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t anchor);
// Takes the lowest free image slot (kNoHandle when the table is full).
std::int32_t TakeImageSlot(EngineState *engine);
// Stores the flag in the sprite's shown field; nothing is invalidated.
void SetSpriteShown(EngineState *engine, std::int32_t sprite, std::int32_t flag);

// ---- Invalid-rectangle list ---------------------------------------------------

// Clips an inclusive scene rectangle to the scene and records it, joined
// with the first listed rectangle the join rule allows.
void InvalidateSceneRect(EngineState *engine, std::int32_t left, std::int32_t top,
                         std::int32_t right, std::int32_t bottom);
inline void InvalidateSceneRect(EngineState *engine, const RECT &r) {
    InvalidateSceneRect(engine, r.left, r.top, r.right, r.bottom);
}
// Empties the rectangle list (the row list stays).
void ClearInvalidRects(EngineState *engine);

// ---- Composition and window copies ------------------------------------------

// Rebuilds area (inclusive, window coordinates) of the surface: background
// (when high reaches the background layer), then the sprites of depths
// low..high back to front, the draw callbacks between them. The scene part
// composed is area moved by (scrollX, scrollY).
// Each compose reads the sprite table as it stands when the compose starts,
// so sprites that a draw callback shows reach every later rectangle.
void ComposeRect(EngineState *engine, const RECT &area, canvas::Canvas *canvas, std::uint8_t key,
                 std::int32_t low, std::int32_t high, std::int32_t scrollX, std::int32_t scrollY);
// As ComposeRect with only the background scrolled (and magnified by the
// background scale): sprites are placed against area itself, and the draw
// callbacks are called once, for the background layer.
void ComposeRectScrolled(EngineState *engine, const RECT &area, canvas::Canvas *canvas,
                         std::uint8_t key, std::int32_t low, std::int32_t high,
                         std::int32_t scrollX, std::int32_t scrollY);
// Calls every registered callback whose range meets high..low with the
// overlapping layer and area (exclusive form). Returns 0.
std::int32_t CallDrawCallbacks(EngineState *engine, canvas::Canvas *canvas, std::int32_t high,
                               std::int32_t low, const RECT &area);
// Copies area of the surface, moved by (dx, dy), to the window.
std::uint16_t CopyRectToWindow(EngineState *engine, HDC dc, canvas::Canvas *canvas,
                               const RECT &area, std::int32_t dx, std::int32_t dy);
// Copies area of the surface to the window magnified by scale.
std::uint16_t CopyRectToWindowScaled(EngineState *engine, HDC dc, canvas::Canvas *canvas,
                                     const RECT &area, std::int32_t scale);

}  // namespace anim::animate
