// Shared by the sprite-engine tests: an engine, a window, DIB builders and
// the reference compositor (tests/reference/scene_reference.h) to hold the
// painted window against.
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
#include "tests/reference/scene_reference.h"

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

// What the scene should look like: the background (0 without one), then
// every shown sprite of depths low..high deepest first (equal depths in slot
// order), colour 0 transparent.
inline std::vector<uint8_t> Reference(EngineState *e, BITMAPINFOHEADER *background, int32_t w,
                                      int32_t h, int32_t low = 0, int32_t high = 32767) {
    reference::Picture base = reference::BackgroundBase(background, w, h);
    std::replace(base.begin(), base.end(), reference::kUnknown, int16_t{0});
    const reference::Picture out = reference::Compose(e, std::move(base), w, h, low, high);
    return std::vector<uint8_t>(out.begin(), out.end());
}

inline bool Inside(const std::vector<RECT> &rects, int32_t x, int32_t y) {
    return std::any_of(rects.begin(), rects.end(), [&](const RECT &r) {
        return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
    });
}

}  // namespace anim::test
