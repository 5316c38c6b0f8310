// The reference compositor: what a scene should look like, worked out pixel
// by pixel from the engine's sprite and image tables, with none of the
// composer's machinery (no draw list, no rectangles, no blitters). The
// sprite-engine tests and the engine fuzz target hold painted windows
// against it; it needs nothing but the library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "animate.h"
#include "animate/engine.h"

namespace anim::reference {

// A pixel that nothing in the scene decides: the surface keeps whatever an
// earlier paint left there.
inline constexpr std::int16_t kUnknown = -1;

// A scene picture, top row first, width x height; kUnknown where undecided.
using Picture = std::vector<std::int16_t>;

// What draw callbacks paint, as the composer places them: opaque pixels (0
// where nothing is painted) over every sprite of depth `front` or deeper and
// under every shallower one. A callback whose depth range starts at low
// lies at front = low; one called only at the background layer lies behind
// every sprite.
struct Overlay {
    std::int32_t front;
    const std::vector<std::uint8_t> *pixels;  // width x height, top row first
};

// The image pixel at (column, row) of the image's own rectangle, or null
// outside the stored picture.
inline const std::uint8_t *ImagePixel(const animate::SpriteImage &img, std::int64_t column, std::int64_t row) {
    if (img.data == nullptr) return nullptr;
    const std::int64_t x = img.left + column, y = img.top + row;
    if (x < 0 || y < 0 || x > INT32_MAX || y > INT32_MAX) return nullptr;
    return img.isFramePixels ? GetPixelAddress(static_cast<std::uint8_t *>(img.data), static_cast<std::int32_t>(x),
                                               static_cast<std::int32_t>(y), img.width, img.height)
                             : GetDIBPixelAddress(static_cast<BITMAPINFOHEADER *>(img.data),
                                                  static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

// Draws one sprite over out: the part of its image that both the image and
// the sprite's rectangle cover, colour 0 transparent.
inline void DrawSprite(const EngineState *e, const animate::Sprite &s, Picture &out, std::int32_t w, std::int32_t h) {
    const animate::SpriteImage &img = e->images[s.image];
    const std::int64_t cols = std::min<std::int64_t>(img.width, std::int64_t{s.rect.right} - s.rect.left + 1);
    const std::int64_t rows = std::min<std::int64_t>(img.height, std::int64_t{s.rect.bottom} - s.rect.top + 1);
    for (std::int64_t row = 0; row < rows; ++row) {
        const std::int64_t y = std::int64_t{s.rect.top} + row;
        if (y < 0 || y >= h) continue;
        for (std::int64_t col = 0; col < cols; ++col) {
            const std::int64_t x = std::int64_t{s.rect.left} + col;
            if (x < 0 || x >= w) continue;
            const std::uint8_t *p = ImagePixel(img, col, row);
            if (p != nullptr && *p != 0) out[static_cast<std::size_t>(y * w + x)] = *p;
        }
    }
}

inline void DrawOverlay(const Overlay &o, Picture &out) {
    for (std::size_t i = 0; i < out.size() && i < o.pixels->size(); ++i) {
        if ((*o.pixels)[i] != 0) out[i] = (*o.pixels)[i];
    }
}

// base (the background, or what the surface held) with every shown sprite
// of depths low..high drawn over it, deepest first with equal depths in
// slot order (or in slot order alone when the sort mode is 0), and the
// overlays among them. Overlays need the depth order.
inline Picture Compose(const EngineState *e, Picture base, std::int32_t w, std::int32_t h, std::int32_t low = 0,
                       std::int32_t high = 32767, std::span<const Overlay> overlays = {}) {
    std::vector<std::int32_t> order;
    for (std::int32_t i = 0; i < animate::kMaxSprites; ++i) {
        const animate::Sprite &s = e->sprites[i];
        if (s.inUse && s.shown && s.depth >= low && s.depth <= high) order.push_back(i);
    }
    if (e->sortMode != 0)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::int32_t a, std::int32_t b) { return e->sprites[a].depth > e->sprites[b].depth; });
    std::vector<Overlay> pending(overlays.begin(), overlays.end());
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Overlay &a, const Overlay &b) { return a.front > b.front; });
    std::size_t next = 0;
    for (std::int32_t i : order) {
        const animate::Sprite &s = e->sprites[i];
        for (; next < pending.size() && pending[next].front > s.depth; ++next) DrawOverlay(pending[next], base);
        DrawSprite(e, s, base, w, h);
    }
    for (; next < pending.size(); ++next) DrawOverlay(pending[next], base);
    return base;
}

// The background as the composer copies it unscrolled: its pixel at each
// scene point it covers, unknown beyond it; all unknown without one.
inline Picture BackgroundBase(BITMAPINFOHEADER *background, std::int32_t w, std::int32_t h, std::int32_t scrollX = 0,
                              std::int32_t scrollY = 0) {
    Picture out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), kUnknown);
    if (background == nullptr) return out;
    for (std::int32_t y = 0; y < h; ++y) {
        const std::int64_t by = std::int64_t{y} + scrollY;
        if (by < 0 || by >= background->biHeight) continue;
        const std::uint8_t *row = GetDIBPixelAddress(background, 0, static_cast<std::int32_t>(by));
        for (std::int32_t x = 0; x < w; ++x) {
            const std::int64_t bx = std::int64_t{x} + scrollX;
            if (bx >= 0 && bx < background->biWidth) out[static_cast<std::size_t>(y * w + x)] = row[bx];
        }
    }
    return out;
}

// GetSpriteFromPoint as the hit-testing rule reads: the shown sprite of
// smallest depth below 32000 (lowest slot among equals) whose image pixel
// under the point is not 0; -1 for none.
inline std::int32_t SpriteAt(const EngineState *e, std::int32_t x, std::int32_t y) {
    std::int32_t found = -1;
    std::int32_t best = 32000;
    for (std::int32_t i = 0; i < animate::kMaxSprites; ++i) {
        const animate::Sprite &s = e->sprites[i];
        if (!s.inUse || !s.shown || x < s.rect.left || x > s.rect.right || y < s.rect.top || y > s.rect.bottom)
            continue;
        const std::uint8_t *p =
            ImagePixel(e->images[s.image], std::int64_t{x} - s.rect.left, std::int64_t{y} - s.rect.top);
        if (p != nullptr && *p != 0 && s.depth < best) {
            best = s.depth;
            found = i;
        }
    }
    return found;
}

}  // namespace anim::reference
