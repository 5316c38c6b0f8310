// Hit testing: the front-most shown sprite with a visible pixel under a
// point, pixel-exact.
#include <cstdint>

#include "animate.h"
#include "animate/engine.h"

namespace anim::animate {

namespace {

// Depth a sprite must be in front of to be found at all.
inline constexpr std::int32_t kHitDepthLimit = 32000;

bool Holds(const RECT &r, std::int32_t x, std::int32_t y) {
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

// The image pixel under scene point (x, y) of a sprite, or null.
const std::uint8_t *PixelUnder(EngineState *engine, const Sprite &s, std::int32_t x,
                               std::int32_t y) {
    SpriteImage *image = ImageSlot(engine, s.image);
    if (image == nullptr || image->data == nullptr) return nullptr;
    const std::int64_t column = std::int64_t{x} - s.rect.left + image->left;
    const std::int64_t row = std::int64_t{y} - s.rect.top + image->top;
    if (column < 0 || row < 0 || column > INT32_MAX || row > INT32_MAX) return nullptr;
    const auto c = static_cast<std::int32_t>(column);
    const auto r = static_cast<std::int32_t>(row);
    if (image->isFramePixels != 0) {
        return GetPixelAddress(static_cast<std::uint8_t *>(image->data), c, r, image->width,
                               image->height);
    }
    return GetDIBPixelAddress(static_cast<BITMAPINFOHEADER *>(image->data), c, r);
}

}  // namespace

}  // namespace anim::animate

using namespace anim::animate;

extern "C" {

ANIM_API int32_t GetSpriteFromPoint(EngineState *engine, int32_t x, int32_t y, int32_t *sprite) {
    if (sprite != nullptr) *sprite = 0;
    if (engine == nullptr || engine->sprites == nullptr) return 0;
    std::int32_t found = 0;
    std::int32_t bestDepth = kHitDepthLimit;
    for (std::int32_t slot = 0; slot < kMaxSprites; ++slot) {
        const Sprite &s = engine->sprites[slot];
        if (s.inUse == 0 || s.shown == 0 || !Holds(s.rect, x, y)) continue;
        const std::uint8_t *pixel = PixelUnder(engine, s, x, y);
        if (pixel == nullptr || *pixel == kTransparent || s.depth >= bestDepth) continue;
        bestDepth = s.depth;
        if (sprite != nullptr) *sprite = slot;
        found = 1;
    }
    return found;
}

}  // extern "C"
