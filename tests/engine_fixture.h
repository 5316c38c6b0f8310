// Shared by the engine, canvas and palette tests: engines, a window, DIB
// builders, a message-box catcher and colour helpers.
#pragma once

#include "animate.h"
#include "animate/engine.h"
#include "canvas/canvas.h"
#include "platform/display.h"
#include "test_support.h"

namespace anim::test {

using Dib = dibs::Owned;

// A w x h DIB whose pixel (x, y) is f(x, y).
template <typename F>
Dib MakeDib(int32_t w, int32_t h, F f) {
    Dib dib(CreateDIB(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) *GetDIBPixelAddress(dib.get(), x, y) = f(x, y);
    return dib;
}

using Box = std::vector<int32_t>;
inline std::vector<Box> Boxes(const std::vector<RECT> &r) {
    std::vector<Box> out;
    for (const RECT &one : r) out.push_back({one.left, one.top, one.right, one.bottom});
    return out;
}

// An engine, ended with its master palette when it goes out of scope.
struct Engine {
    EngineState *e = InitAnimate();
    ~Engine() {
        if (HPALETTE p = MasterPalette(e)) AnimDeletePalette(p);
        TerminateAnimate(e);
        FREE(e);
    }
    EngineState *operator->() const { return e; }
    operator EngineState *() const { return e; }
};

// An in-memory window, released when it goes out of scope.
struct Window {
    HDC dc;
    int32_t w, h;
    Window(int32_t width, int32_t height) : dc(AnimCreateWindowDC(width, height)), w(width), h(height) {}
    ~Window() { AnimDestroyWindowDC(dc); }
    operator HDC() const { return dc; }
    uint8_t At(int32_t x, int32_t y) const {
        int32_t stride = 0;
        return AnimWindowPixels(dc, &stride)[y * stride + x];
    }
    std::vector<uint8_t> Pixels() const {  // top row first, w * h bytes
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) out.push_back(At(x, y));
        return out;
    }
    std::vector<RGBQUAD> Colours() const {
        std::vector<RGBQUAD> colours(256);
        AnimWindowColors(dc, colours.data());
        return colours;
    }
};

// Collects every message box, as "caption|style|text", while alive and
// answers OK.
struct BoxCapture {
    std::vector<std::string> boxes;
    BoxCapture() { AnimSetMessageBoxHandler(&BoxCapture::Receive, this); }
    ~BoxCapture() { AnimSetMessageBoxHandler(nullptr, nullptr); }
    static int32_t Receive(const char *text, const char *caption, uint32_t style, void *user) {
        static_cast<BoxCapture *>(user)->boxes.push_back(std::string(caption) + "|" + std::to_string(style) + "|" +
                                                         text);
        return ANIM_IDOK;
    }
};

// Red, green and blue as 0xRRGGBB: colours compare and print as one number.
inline std::vector<uint32_t> Hexes(const RGBQUAD *c, int32_t first = 0, int32_t last = 255) {
    std::vector<uint32_t> out;
    for (int32_t i = first; i <= last; ++i) out.push_back(c[i].rgbRed << 16 | c[i].rgbGreen << 8 | c[i].rgbBlue);
    return out;
}

// The colour serial of the window's record (taking the record).
inline uint32_t ColourSerial(HDC dc) {
    RECT rects[8];
    uint32_t serial = 0;
    AnimWindowChanges(dc, rects, 8, &serial);
    return serial;
}

// The one line a capture holds with its line number left out, so that
// "SOURCE line 12: text" reads "SOURCE: text"; any other count reads as such.
inline std::string OneTrace(const TraceCapture &trace) {
    if (trace.lines().size() != 1) return std::to_string(trace.lines().size()) + " lines";
    const std::string &line = trace.lines()[0];
    return line.substr(0, line.find(" line ")) + line.substr(line.find(": "));
}

// A surface whose pixel (x, y) holds x + 16 y + 1 (wrapping).
inline void PatternSurface(EngineState *e, int32_t width, int32_t height) {
    ASSERT_EQ(MakeOffScreenDib(e, width, height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            e->canvas.pBits[GetPixelOffsetTopDown(x, y, width, height, e->canvas.topDown)] = uint8_t(x + 16 * y + 1);
}

}  // namespace anim::test
