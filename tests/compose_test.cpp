// Pixel truth of painting: real scenes painted into a window and held
// against the reference compositor, frame after frame, dirty rectangles
// only; draw callbacks, window copies and the debug display.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "platform/geometry.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 96, kH = 64;
constexpr uint8_t kMarker = 255;  // never drawn by the scenes below

Dib Background() {
    return MakeDib(kW, kH, [](int x, int y) { return uint8_t((x * 7 + y * 3) % 200 + 1); });
}

Dib Noise(int32_t w, int32_t h, unsigned seed) {
    std::mt19937 rng(seed);
    return MakeDib(w, h, [&](int, int) { return uint8_t(rng() % 4 == 0 ? 0 : rng() % 254 + 1); });
}

int32_t Shown(EngineState *e, int32_t image, int32_t x, int32_t y, int32_t depth,
              int32_t anchor = ANIM_ANCHOR_TOP_LEFT) {
    const int32_t s = AddSprite(e);
    SetSpriteSpriteDib(e, s, image);
    ShowSprite(e, s, x, y, depth, anchor);
    return s;
}

// Paints one frame over a marked window: every pixel inside the invalid
// rectangles must match the reference, every other pixel stay marked.
void PaintAndCheck(Engine &e, SceneWindow &w, BITMAPINFOHEADER *bg, const std::vector<uint8_t> &before) {
    const std::vector<uint8_t> now = Reference(e, bg, kW, kH);
    const std::vector<RECT> rects = e.Invalid();
    w.Fill(kMarker);
    PaintScene(e, w);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            const bool dirty = Inside(rects, x, y);
            if (!before.empty() && before[y * kW + x] != now[y * kW + x]) {
                ASSERT_TRUE(dirty) << "changed pixel not invalidated at " << x << "," << y;
            }
            ASSERT_EQ(w.At(x, y), dirty ? now[y * kW + x] : kMarker) << x << "," << y;
        }
    EXPECT_EQ(e->invalidCount, 0);
}

TEST(Compose, ScenesMatchTheReferenceOverMovingFramesInBothRowOrders) {
    for (int32_t topDown : {1, 0}) {
        AnimSetDisplayFormat(8, topDown);
        Engine e;
        SceneWindow w(kW, kH);
        Dib bg = Background();
        Dib a = Noise(20, 16, 1), d = Noise(30, 20, 2), sheet = Noise(40, 30, 3);
        Dib small = Noise(6, 5, 4), odd = Noise(13, 9, 5);
        const RECT whole{0, 0, 12, 8};
        ANXFRAME *frame = CopyDIBToAnxFrame(odd.get(), nullptr, &whole, 1);
        ASSERT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);

        const int32_t imgA = AddSpriteDib(e, a.get());
        const int32_t imgF = AddSpriteDib(e, nullptr);
        SetSpriteDibFromAnxFrameRect0(e, imgF, frame);
        const int32_t templ = AddSpriteTemplate(e, sheet.get());
        const int32_t imgT = AddSpriteDibFromTemplate(e, templ, 7, 3, 12, 10);
        const int32_t imgD = AddSpriteDib(e, d.get());
        // A part reaching past the sheet's top-left corner.
        Shown(e, AddSpriteDibFromTemplate(e, templ, -3, -2, 10, 8), 70, 40, 3);
        const int32_t sA = Shown(e, imgA, 30, 20, 10, ANIM_ANCHOR_CENTRE);
        const int32_t sF = Shown(e, imgF, 40, 30, 5);
        const int32_t sT = Shown(e, imgT, 25, 15, 10, ANIM_ANCHOR_FOOT);
        Shown(e, imgD, -8, -6, 32767);  // partly outside, drawn over the background
        Shown(e, imgA, 85, 55, 20);     // partly outside right and bottom
        Shown(e, imgA, 10, 10, 32768);  // behind the background layer: never drawn
        Shown(e, imgA, 50, 10, -1);     // in front of depth 0: never drawn
        // An image that shrinks under its placed sprite: only what it has is read.
        const int32_t imgS = AddSpriteDib(e, a.get());
        const int32_t sS = Shown(e, imgS, 60, 30, 7);
        SetSpriteDib(e, imgS, small.get());

        PaintAndCheck(e, w, bg.get(), {});
        // Moves of a few pixels, a hide, an unhide and a marked rectangle.
        const int32_t moves[][2] = {{2, 1}, {-3, 2}, {1, -4}, {4, 4}, {-2, 0}};
        for (auto [dx, dy] : moves) {
            const std::vector<uint8_t> before = Reference(e, bg.get(), kW, kH);
            int32_t x, y, depth;
            for (int32_t s : {sA, sF, sT}) {
                GetSpritePosition(e, s, &x, &y, &depth);
                ShowSprite(e, s, x + dx, y + dy, depth, s == sA ? 0 : s == sT ? 1 : -1);
            }
            if (dx == 1) HideSprite(e, sS);
            if (dx == 4) UnHideSprite(e, sS);
            if (dx == -2) MakeRectInvalid(e, 70, 0, 80, 8);
            PaintAndCheck(e, w, bg.get(), before);
        }
        DeleteAnxFrame(frame);
    }
    AnimSetDisplayFormat(8, 1);
}

struct Call {
    int32_t user, high, low, left, top, right, bottom;
    bool operator==(const Call &) const = default;
};
std::vector<Call> g_calls;
EngineState *g_engine = nullptr;

int32_t Record(HDC dc, BITMAPINFO *info, uint8_t *bits, int32_t high, int32_t low, int32_t l,
               int32_t t, int32_t r, int32_t b, int32_t user) {
    EXPECT_EQ(dc, g_engine->canvas.hWinGDC);
    EXPECT_EQ(static_cast<void *>(info), static_cast<void *>(&g_engine->canvas.bmi));
    EXPECT_EQ(bits, g_engine->canvas.pBits);
    g_calls.push_back({user, high, low, l, t, r, b});
    // Fills the layer's rectangle with the user value as colour.
    const int32_t height = info->bmiHeader.biHeight, stride = int32_t(anim::platform::RowStride(info->bmiHeader.biWidth));
    for (int32_t y = t; y < b; ++y)
        for (int32_t x = l; x < r; ++x)
            bits[(height < 0 ? y : height - 1 - y) * stride + x] = uint8_t(user);
    return 0;
}

TEST(Compose, DrawCallbacksRunBetweenLayersWithTheirOverlap) {
    Engine e;
    SceneWindow w(kW, kH);
    g_engine = e;
    g_calls.clear();
    Dib bg = Background(), solid = MakeDib(8, 8, [](int x, int) { return uint8_t(x < 4 ? 0 : 9); });
    ASSERT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
    const int32_t img = AddSpriteDib(e, solid.get());
    Shown(e, img, 10, 10, 200);
    Shown(e, img, 12, 10, 20);
    animate::ClearInvalidRects(e);
    ASSERT_EQ(RegisterDrawCallback(e, Record, 100, 50, 77), 0);
    ASSERT_EQ(RegisterDrawCallback(e, Record, 20, 20, 78), 0);
    ASSERT_EQ(RegisterDrawCallback(e, Record, 10, 0, 79), 0);
    ASSERT_EQ(RegisterDrawCallback(e, nullptr, 10, 0, 80), 0);  // kept, never called
    MakeRectInvalid(e, 10, 10, 19, 17);
    PaintScene(e, w);
    const std::vector<Call> expected = {{77, 100, 50, 10, 10, 20, 18},
                                        {78, 20, 20, 10, 10, 20, 18},
                                        {78, 20, 20, 10, 10, 20, 18},
                                        {79, 10, 0, 10, 10, 20, 18}};
    EXPECT_EQ(g_calls, expected);
    // The front callback covered everything; before it, 78 covered the deep sprite.
    EXPECT_EQ(w.At(15, 12), 79);

    // Limits and removal: 10 for an upside-down range, 8 beyond 50, 9 for no match.
    EXPECT_EQ(RegisterDrawCallback(e, Record, 4, 5, 0), 10);
    for (int i = 4; i < 50; ++i) ASSERT_EQ(RegisterDrawCallback(e, Record, 1, 1, i), 0);
    EXPECT_EQ(RegisterDrawCallback(e, Record, 1, 1, 0), 8);
    EXPECT_EQ(UnregisterDrawCallback(e, Record, 20, 20), 0);
    EXPECT_EQ(e->drawCallbacks[1].user, 79);
    EXPECT_EQ(UnregisterDrawCallback(e, Record, 20, 20), 9);
    // Two matches side by side: the one moved into the freed place stays.
    EXPECT_EQ(UnregisterDrawCallback(e, Record, 1, 1), 0);
    EXPECT_EQ(e->drawCallbackCount, 26u);
    EXPECT_EQ(UnregisterAllDrawCallbacks(e), 0);
    EXPECT_EQ(e->drawCallbackCount, 0u);
}

// Stamps each composed rectangle with the number of its compose and notes
// what the window shows at the rectangles' centres at that moment.
HDC g_window = nullptr;
std::vector<std::vector<uint8_t>> g_seen;
int32_t Stamp(HDC dc, BITMAPINFO *info, uint8_t *bits, int32_t, int32_t low, int32_t l, int32_t t,
              int32_t r, int32_t b, int32_t) {
    int32_t stride = 0;
    const uint8_t *win = AnimWindowPixels(g_window, &stride);
    g_seen.push_back({});
    for (int32_t i = 0; i < 3; ++i) g_seen.back().push_back(win[(i * 20 + 5) * stride + i * 40 + 5]);
    const auto colour = static_cast<uint8_t>(100 + g_seen.size() - 1);
    return Record(dc, info, bits, colour, low, l, t, r, b, colour);
}

struct JoinOverhead {
    explicit JoinOverhead(int32_t value) { SetJoinRectOverhead(value); }
    ~JoinOverhead() { SetJoinRectOverhead(3000); }
};

// Shows a sprite, once, in the lowest free slot: above every slot that was
// in use when the paint began.
int32_t g_lateImage = -1;
int32_t ShowLate(HDC, BITMAPINFO *, uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                 int32_t) {
    if (g_lateImage >= 0) Shown(g_engine, std::exchange(g_lateImage, -1), 60, 40, 5);
    return 0;
}

TEST(Compose, ASpriteShownByACallbackReachesTheRectanglesComposedAfterIt) {
    using Painter = void (*)(EngineState *, HDC);
    const Painter painters[] = {
        [](EngineState *e, HDC dc) { PaintScene(e, dc); },
        [](EngineState *e, HDC dc) { PaintSceneStretch(e, dc, 1); },
        [](EngineState *e, HDC dc) { PaintScenePartialDepth(e, dc, 0, 32767); },
        [](EngineState *e, HDC dc) { PaintSceneStretchPlus(e, dc, 1, 0, 0); }};
    JoinOverhead tight(0);
    for (Painter paint : painters) {
        Engine e;
        SceneWindow w(kW, kH);
        g_engine = e;
        Dib bg = Background(), late = Noise(10, 8, 6);
        ASSERT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
        g_lateImage = AddSpriteDib(e, late.get());
        Shown(e, g_lateImage, 2, 2, 10);
        animate::ClearInvalidRects(e);
        RegisterDrawCallback(e, ShowLate, 32767, 0, 0);
        MakeRectInvalid(e, 0, 0, 9, 9);
        MakeRectInvalid(e, 50, 30, 79, 59);  // holds the late sprite
        paint(e, w);
        const std::vector<uint8_t> want = Reference(e, bg.get(), kW, kH);
        for (int32_t y = 30; y < 60; ++y)
            for (int32_t x = 50; x < 80; ++x)
                ASSERT_EQ(w.At(x, y), want[y * kW + x]) << x << "," << y;
    }
}

TEST(Compose, OneCopyPerRectangleNoneForAnEmptyListAndTheDebugDisplay) {
    JoinOverhead tight(0);
    Engine e;
    SceneWindow w(kW, kH);
    g_window = w;
    g_engine = e;
    g_seen.clear();
    Dib bg = Background();
    ASSERT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
    PaintScene(e, w);
    w.Fill(kMarker);
    RegisterDrawCallback(e, Stamp, 0, 0, 0);
    SetDebugInvalidRects(e, 1);
    PaintScene(e, w);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(w.Pixels(), std::vector<uint8_t>(kW * kH, kMarker));

    // Each compose is copied before the next begins, and nothing else is.
    for (int32_t i = 0; i < 3; ++i) MakeRectInvalid(e, i * 40, i * 20, i * 40 + 9, i * 20 + 9);
    const std::vector<RECT> rects = e.Invalid();
    TraceCapture trace;
    PaintScene(e, w);
    const std::vector<std::vector<uint8_t>> seen = {
        {kMarker, kMarker, kMarker}, {100, kMarker, kMarker}, {100, 101, kMarker}};
    EXPECT_EQ(g_seen, seen);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) ASSERT_TRUE(Inside(rects, x, y) || w.At(x, y) == kMarker);
    // Outlined by XOR along the edges.
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(Box({w.At(i * 40, i * 20), w.At(i * 40 + 5, i * 20 + 5)}), Box({(100 + i) ^ 0xFF, 100 + i}));
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{"Rect: 0  (0,0,9,9)\r\n", "Rect: 1  (40,20,49,29)\r\n",
                                                       "Rect: 2  (80,40,89,49)\r\n"}));

    // The next paint with rectangles erases the outlines first; the printer
    // path carries the master colours.
    UnregisterAllDrawCallbacks(e);
    EnablePrinter(e, 1);
    e->masterColors[7] = RGBQUAD{1, 2, 3, 0};
    MakeRectInvalid(e, 60, 0, 69, 5);
    PaintScene(e, w);
    EXPECT_EQ(Box({w.At(40, 20), w.At(60, 0), e->focusCount}),
              Box({101, *GetDIBPixelAddress(bg.get(), 60, 0) ^ 0xFF, 1}));
    EXPECT_EQ(platform::LastStretchDIBitsInfo().bmiColors[7].rgbGreen, 2);
}

}  // namespace
}  // namespace anim::test
