// The composer: rebuilds one rectangle of the off-screen surface from the
// background and the sprites that overlap it, back to front, with the
// game's draw callbacks between depth layers. It runs once per invalid
// rectangle per frame, so it allocates nothing and copies only the parts of
// sprites that fall inside the rectangle.
#include <algorithm>
#include <array>
#include <cstdint>

#include "animate.h"
#include "animate/engine.h"
#include "dib/packed_dib.h"
#include "dib/rect.h"
#include "platform/geometry.h"

namespace anim::animate {

namespace {

using platform::Interval;
using platform::Meet;

// Sprites to draw for one rectangle, back to front.
class DrawList {
  public:
    // Deepest first, equal depths in slot order; or slot order alone.
    void Insert(const Sprite *sprites, std::int16_t slot, bool byDepth) {
        std::int32_t at = count_;
        if (byDepth) {
            const std::int32_t depth = sprites[slot].depth;
            for (std::int32_t i = 0; i < count_; ++i) {
                if (sprites[slots_[i]].depth < depth) {
                    at = i;
                    break;
                }
            }
            for (std::int32_t i = count_; i > at; --i) slots_[i] = slots_[i - 1];
        }
        slots_[at] = slot;
        ++count_;
    }
    std::int32_t size() const { return count_; }
    std::int16_t operator[](std::int32_t i) const { return slots_[i]; }

  private:
    std::array<std::int16_t, kMaxSprites> slots_;
    std::int16_t count_ = 0;
};

// Fills the draw list with the shown sprites of depths low..high that meet
// clip, and each one's painter scratch: which part of the image to draw
// (srcX, srcY, drawWidth, drawHeight) and where inside clip (dstX, dstY).
void CollectSprites(EngineState *engine, const RECT &clip, std::int32_t low, std::int32_t high,
                    DrawList &list) {
    Sprite *sprites = engine->sprites;
    const bool byDepth = engine->sortMode != 0;
    // The walk ends once it has met every record in use: spriteCount is kept
    // exact by AddSprite and DeleteSprite, and is read afresh for every
    // compose, so a sprite a draw callback adds mid-paint is seen by the
    // rectangles composed after it. The empty slots above the last sprite,
    // most of the table in a game, are never touched.
    const std::int32_t inUse = engine->spriteCount;
    std::int32_t met = 0;
    for (std::int32_t slot = 0; slot < kMaxSprites && met < inUse; ++slot) {
        Sprite &s = sprites[slot];
        if (s.inUse == 0) continue;
        ++met;
        if (s.shown == 0 || s.depth < low || s.depth > high) continue;
        const RECT part = dib::Intersection(s.rect, clip);
        if (dib::IsEmpty(part)) continue;
        const std::int64_t offsetX = std::int64_t{clip.left} - s.rect.left;
        const std::int64_t offsetY = std::int64_t{clip.top} - s.rect.top;
        s.srcX = offsetX < 0 ? 0 : Saturate(offsetX);
        s.dstX = offsetX < 0 ? Saturate(-offsetX) : 0;
        s.srcY = offsetY < 0 ? 0 : Saturate(offsetY);
        s.dstY = offsetY < 0 ? Saturate(-offsetY) : 0;
        s.drawWidth = Saturate(std::int64_t{part.right} - part.left + 1);
        s.drawHeight = Saturate(std::int64_t{part.bottom} - part.top + 1);
        list.Insert(sprites, static_cast<std::int16_t>(slot), byDepth);
    }
}

// Draws the part of the sprite's image chosen by CollectSprites with its
// top-left pixel at (x, y) of the surface. Only pixels that lie both inside
// the image's own rectangle and inside the stored picture are read, so an
// image smaller than the sprite's rectangle (or an empty one) draws what it
// has and nothing beyond it.
void DrawSprite(EngineState *engine, canvas::Canvas *canvas, const Sprite &s, std::int64_t x,
                std::int64_t y, std::uint8_t key) {
    const SpriteImage *image = ImageSlot(engine, s.image);
    if (image == nullptr || image->data == nullptr) return;

    // The stored picture: its size, its bottom row's address and stride.
    std::int64_t pictureWidth;
    std::int64_t pictureHeight;
    std::uint8_t *pixels;
    if (image->isFramePixels != 0) {
        pictureWidth = image->width;
        pictureHeight = image->height;
        pixels = static_cast<std::uint8_t *>(image->data);
    } else {
        auto *dib = static_cast<BITMAPINFOHEADER *>(image->data);
        pictureWidth = dib->biWidth;
        pictureHeight = dib->biHeight;
        pixels = dib::Pixels(dib);
    }
    const std::int64_t stride = platform::RowStride(pictureWidth);

    const std::int64_t wantLeft = std::int64_t{image->left} + s.srcX;
    const std::int64_t wantTop = std::int64_t{image->top} + s.srcY;
    const Interval cols = Meet(Meet({wantLeft, wantLeft + s.drawWidth}, {0, pictureWidth}),
                               {image->left, std::int64_t{image->left} + image->width});
    const Interval rows = Meet(Meet({wantTop, wantTop + s.drawHeight}, {0, pictureHeight}),
                               {image->top, std::int64_t{image->top} + image->height});
    if (cols.end <= cols.first || rows.end <= rows.first) return;

    // The blitter starts at the block's bottom-left pixel and walks up.
    const std::int64_t bottomRow = rows.end - 1;
    const std::uint8_t *source = pixels + (pictureHeight - 1 - bottomRow) * stride + cols.first;
    canvas::CanvasTransCopy(
        canvas, source, static_cast<std::uint32_t>(cols.end - cols.first),
        static_cast<std::uint32_t>(rows.end - rows.first), static_cast<std::int32_t>(stride),
        Saturate(x + (cols.first - wantLeft)), Saturate(y + (bottomRow - wantTop)), key);
}

bool HasSurface(const EngineState *engine, const canvas::Canvas *canvas) {
    return engine != nullptr && engine->sprites != nullptr && engine->images != nullptr &&
           canvas != nullptr && canvas->pBits != nullptr;
}

}  // namespace

void ComposeRect(EngineState *engine, const RECT &area, canvas::Canvas *canvas, std::uint8_t key,
                 std::int32_t low, std::int32_t high, std::int32_t scrollX, std::int32_t scrollY) {
    if (dib::IsEmpty(area)) return;
    // Without a surface there is nothing to compose into.
    if (!HasSurface(engine, canvas)) return;
    const RECT sceneClip{Saturate(std::int64_t{area.left} + scrollX),
                         Saturate(std::int64_t{area.top} + scrollY),
                         Saturate(std::int64_t{area.right} + scrollX),
                         Saturate(std::int64_t{area.bottom} + scrollY)};
    DrawList list;
    CollectSprites(engine, sceneClip, low, high, list);

    if (high == kBackgroundDepth && engine->background != nullptr) {
        canvas::CanvasCopyDibRect(canvas, engine->background, scrollX, scrollY, &sceneClip);
    }
    const RECT exclusive = Exclusive(area);
    std::int32_t previous = high;
    for (std::int32_t i = 0; i < list.size(); ++i) {
        const Sprite &s = engine->sprites[list[i]];
        CallDrawCallbacks(engine, canvas, previous, s.depth, exclusive);
        previous = s.depth;
        DrawSprite(engine, canvas, s, std::int64_t{area.left} + s.dstX,
                   std::int64_t{area.top} + s.dstY, key);
    }
    CallDrawCallbacks(engine, canvas, previous, kFrontDepth, exclusive);
}

void ComposeRectScrolled(EngineState *engine, const RECT &area, canvas::Canvas *canvas,
                         std::uint8_t key, std::int32_t low, std::int32_t high,
                         std::int32_t scrollX, std::int32_t scrollY) {
    if (dib::IsEmpty(area)) return;
    if (!HasSurface(engine, canvas)) return;
    DrawList list;
    CollectSprites(engine, area, low, high, list);

    if (high == kBackgroundDepth && engine->background != nullptr) {
        const RECT source{Saturate(std::int64_t{area.left} + scrollX),
                          Saturate(std::int64_t{area.top} + scrollY),
                          Saturate(std::int64_t{area.right} + scrollX),
                          Saturate(std::int64_t{area.bottom} + scrollY)};
        if (engine->backgroundScale == 1) {
            canvas::CanvasCopyDibRectTo(canvas, engine->background, &area, &source);
        } else {
            canvas::CanvasCopyDibRectDoubled(canvas, engine->background, &area, &source);
        }
    }
    CallDrawCallbacks(engine, canvas, kBackgroundDepth, kBackgroundDepth, Exclusive(area));
    for (std::int32_t i = 0; i < list.size(); ++i) {
        const Sprite &s = engine->sprites[list[i]];
        DrawSprite(engine, canvas, s, std::int64_t{area.left} + s.dstX,
                   std::int64_t{area.top} + s.dstY, key);
    }
}

}  // namespace anim::animate
