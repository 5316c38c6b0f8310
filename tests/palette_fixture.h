// An engine with only its palette and canvas brought up, a window to copy
// into, and a catcher for the canvas's error boxes: enough to run the
// palette and canvas code before the sprite engine is in the picture.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "platform/display.h"

namespace anim::test {

// Collects every message box while alive and answers OK.
class BoxCapture {
public:
    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t style;
    };
    BoxCapture() { AnimSetMessageBoxHandler(&BoxCapture::Receive, this); }
    ~BoxCapture() { AnimSetMessageBoxHandler(nullptr, nullptr); }
    BoxCapture(const BoxCapture &) = delete;
    BoxCapture &operator=(const BoxCapture &) = delete;

    const std::vector<Box> &boxes() const { return boxes_; }

private:
    static int32_t Receive(const char *text, const char *caption, uint32_t style, void *user) {
        static_cast<BoxCapture *>(user)->boxes_.push_back({text, caption, style});
        return ANIM_IDOK;
    }
    std::vector<Box> boxes_;
};

inline RGBQUAD Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return RGBQUAD{b, g, r, 0}; }

inline bool SameRgb(const RGBQUAD &a, const RGBQUAD &b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// A zeroed engine block whose master palette has read the screen.
class PaletteEngine {
public:
    PaletteEngine() {
        engine_ = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
        EXPECT_NE(engine_, nullptr);
        EXPECT_EQ(InitMasterPalette(engine_, platform::GetScreenDC()), 0);
    }
    ~PaletteEngine() {
        canvas::CanvasDestroySurface(&engine_->canvas);
        for (HPALETTE p : palettes_) AnimDeletePalette(p);
        FREE(engine_);
    }
    PaletteEngine(const PaletteEngine &) = delete;
    PaletteEngine &operator=(const PaletteEngine &) = delete;

    EngineState *get() const { return engine_; }
    canvas::Canvas &canvas() const { return engine_->canvas; }

    // Game colours 10..245 each distinct, taken as the master palette with
    // its animatable handle, as a background load does.
    HPALETTE LoadGameColours() {
        RGBQUAD table[256] = {};
        for (int i = 0; i < 256; ++i) {
            table[i] = Rgb(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>(i * 7));
        }
        ColorsFromTable(engine_, table, 10, 245);
        return Keep(CreateMasterPalette(engine_, 10, 245));
    }

    // A surface whose pixel (x, y) holds x + 16 y + 1 (wrapping).
    void MakePatternSurface(std::int32_t width, std::int32_t height) {
        ASSERT_EQ(canvas::CanvasNewSurface(&engine_->canvas, width, height), 0);
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::int32_t offset =
                    GetPixelOffsetTopDown(x, y, width, height, engine_->canvas.topDown);
                engine_->canvas.pBits[offset] = static_cast<std::uint8_t>(x + 16 * y + 1);
            }
        }
    }

    HPALETTE Keep(HPALETTE palette) {
        if (palette != nullptr) palettes_.push_back(palette);
        return palette;
    }

private:
    EngineState *engine_ = nullptr;
    std::vector<HPALETTE> palettes_;
};

// An in-memory window, released when it goes out of scope.
class Window {
public:
    Window(std::int32_t width, std::int32_t height)
        : dc_(AnimCreateWindowDC(width, height)), width_(width), height_(height) {}
    ~Window() { AnimDestroyWindowDC(dc_); }
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    HDC dc() const { return dc_; }
    std::vector<std::uint8_t> Pixels() const {
        std::int32_t stride = 0;
        const std::uint8_t *p = AnimWindowPixels(dc_, &stride);
        std::vector<std::uint8_t> rows;
        for (std::int32_t y = 0; y < height_; ++y) rows.insert(rows.end(), p + y * stride, p + y * stride + width_);
        return rows;
    }
    std::vector<RGBQUAD> Colours() const {
        std::vector<RGBQUAD> colours(256);
        AnimWindowColors(dc_, colours.data());
        return colours;
    }

private:
    HDC dc_;
    std::int32_t width_;
    std::int32_t height_;
};

}  // namespace anim::test
