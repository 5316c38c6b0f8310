// Shared by the sprite-engine tests: an engine, a window, DIB builders and a
// plain reference compositor to hold the painted window against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "animate.h"
#include "animate/engine.h"
#include "test_support.h"

namespace anim::test {

struct DibDeleter {
    void operator()(BITMAPINFOHEADER *dib) const { DeleteDIB(dib); }
};
using Dib = std::unique_ptr<BITMAPINFOHEADER, DibDeleter>;

// A w x h DIB whose pixel (x, y) is f(x, y).
template <typename F>
Dib MakeDib(int32_t w, int32_t h, F f) {
    Dib dib(CreateDIB(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) *GetDIBPixelAddress(dib.get(), x, y) = f(x, y);
    return dib;
}

using Box = std::vector<int32_t>;
inline std::vector<Box> Boxes(const RECT *r, int32_t n) {
    std::vector<Box> out;
    for (int32_t i = 0; i < n; ++i) out.push_back({r[i].left, r[i].top, r[i].right, r[i].bottom});
    return out;
}

class Engine {
public:
    Engine() : e_(InitAnimate()) { EXPECT_NE(e_, nullptr); }
    ~Engine() {
        if (HPALETTE p = MasterPalette(e_)) AnimDeletePalette(p);
        TerminateAnimate(e_);
        FREE(e_);
    }
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;
    EngineState *operator->() const { return e_; }
    operator EngineState *() const { return e_; }
    std::vector<RECT> Invalid() const { return {e_->invalidRects, e_->invalidRects + e_->invalidCount}; }
    std::vector<Box> InvalidBoxes() const { return Boxes(e_->invalidRects, e_->invalidCount); }

private:
    EngineState *e_;
};

class SceneWindow {
public:
    SceneWindow(int32_t w, int32_t h) : dc_(AnimCreateWindowDC(w, h)), w_(w), h_(h) {}
    ~SceneWindow() { AnimDestroyWindowDC(dc_); }
    SceneWindow(const SceneWindow &) = delete;
    SceneWindow &operator=(const SceneWindow &) = delete;
    operator HDC() const { return dc_; }

    uint8_t At(int32_t x, int32_t y) const { return Row(y)[x]; }
    std::vector<uint8_t> Pixels() const {  // top row first, w * h bytes
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < h_; ++y) out.insert(out.end(), Row(y), Row(y) + w_);
        return out;
    }
    void Fill(uint8_t value) {
        for (int32_t y = 0; y < h_; ++y) std::memset(const_cast<uint8_t *>(Row(y)), value, w_);
    }

private:
    const uint8_t *Row(int32_t y) const {
        int32_t stride = 0;
        return AnimWindowPixels(dc_, &stride) + y * stride;
    }
    HDC dc_;
    int32_t w_, h_;
};

// What the scene should look like: the background, then every shown
// sprite of depths low..high deepest first (equal depths in slot order),
// colour 0 transparent. Reads the images through the public pixel calls.
inline std::vector<uint8_t> Reference(EngineState *e, BITMAPINFOHEADER *background, int32_t w,
                                      int32_t h, int32_t low = 0, int32_t high = 32767) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h, 0);
    for (int32_t y = 0; background != nullptr && y < h; ++y)
        for (int32_t x = 0; x < w; ++x) out[y * w + x] = *GetDIBPixelAddress(background, x, y);
    std::vector<int32_t> order;
    for (int32_t i = 0; i < animate::kMaxSprites; ++i) {
        const animate::Sprite &s = e->sprites[i];
        if (s.inUse && s.shown && s.depth >= low && s.depth <= high) order.push_back(i);
    }
    if (e->sortMode != 0)
        std::stable_sort(order.begin(), order.end(),
                         [&](int32_t a, int32_t b) { return e->sprites[a].depth > e->sprites[b].depth; });
    for (int32_t i : order) {
        const animate::Sprite &s = e->sprites[i];
        const animate::SpriteImage &img = e->images[s.image];
        for (int32_t row = 0; row < img.height; ++row)
            for (int32_t col = 0; col < img.width; ++col) {
                const int32_t x = s.rect.left + col, y = s.rect.top + row;
                const uint8_t *p = img.isFramePixels
                    ? GetPixelAddress(static_cast<uint8_t *>(img.data), img.left + col, img.top + row,
                                      img.width, img.height)
                    : GetDIBPixelAddress(static_cast<BITMAPINFOHEADER *>(img.data), img.left + col,
                                         img.top + row);
                if (x >= 0 && y >= 0 && x < w && y < h && p != nullptr && *p != 0) out[y * w + x] = *p;
            }
    }
    return out;
}

inline bool Inside(const std::vector<RECT> &rects, int32_t x, int32_t y) {
    return std::any_of(rects.begin(), rects.end(), [&](const RECT &r) {
        return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
    });
}

}  // namespace anim::test
