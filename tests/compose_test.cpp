// Pixel truth of painting: real scenes painted into a window and held
// against the reference compositor, frame after frame, dirty rectangles
// only; draw callbacks, window copies and the debug display.
#include <random>
#include <utility>

#include "engine_fixture.h"
#include "platform/geometry.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 96, kH = 64;
constexpr uint8_t kMarker = 255;  // never drawn by the scenes below

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

EngineState *g_engine = nullptr;

// An engine with a patterned background and a window of its size.
struct Scene {
    Engine e;
    Window w{kW, kH};
    Dib bg = MakeDib(kW, kH, [](int x, int y) { return uint8_t((x * 7 + y * 3) % 200 + 1); });
    Scene() {
        g_engine = e;
        EXPECT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
    }
};

// Paints one frame over a marked window: every pixel inside the invalid
// rectangles must match the reference, every other pixel stay marked, and
// every pixel that changed since `before` must have been invalidated.
void PaintAndCheck(Scene &s, const std::vector<uint8_t> &before) {
    const std::vector<uint8_t> now = Reference(s.e, s.bg.get(), kW, kH);
    const std::vector<RECT> rects = s.e.Invalid();
    s.w.Fill(kMarker);
    PaintScene(s.e, s.w);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            const bool dirty = Inside(rects, x, y);
            ASSERT_TRUE(dirty || before.empty() || before[y * kW + x] == now[y * kW + x]);
            ASSERT_EQ(s.w.At(x, y), dirty ? now[y * kW + x] : kMarker) << x << "," << y;
        }
    EXPECT_EQ(s.e->invalidCount, 0);
}

TEST(Compose, ScenesMatchTheReferenceOverMovingFramesInBothRowOrders) {
    for (int32_t topDown : {1, 0}) {
        AnimSetDisplayFormat(8, topDown);
        Scene s;
        EngineState *e = s.e;
        Dib a = Noise(20, 16, 1), d = Noise(30, 20, 2), sheet = Noise(40, 30, 3);
        Dib small = Noise(6, 5, 4), odd = Noise(13, 9, 5);
        const RECT whole{0, 0, 12, 8};
        ANXFRAME *frame = CopyDIBToAnxFrame(odd.get(), nullptr, &whole, 1);
        const int32_t imgA = AddSpriteDib(e, a.get()), imgF = AddSpriteDib(e, nullptr);
        SetSpriteDibFromAnxFrameRect0(e, imgF, frame);
        const int32_t templ = AddSpriteTemplate(e, sheet.get());
        const int32_t imgT = AddSpriteDibFromTemplate(e, templ, 7, 3, 12, 10);
        // A part reaching past the sheet's top-left corner.
        Shown(e, AddSpriteDibFromTemplate(e, templ, -3, -2, 10, 8), 70, 40, 3);
        const int32_t sA = Shown(e, imgA, 30, 20, 10, ANIM_ANCHOR_CENTRE);
        const int32_t sF = Shown(e, imgF, 40, 30, 5);
        const int32_t sT = Shown(e, imgT, 25, 15, 10, ANIM_ANCHOR_FOOT);
        Shown(e, AddSpriteDib(e, d.get()), -8, -6, 32767);  // partly outside, over the background
        Shown(e, imgA, 85, 55, 20);                         // partly outside right and bottom
        Shown(e, imgA, 10, 10, 32768);  // behind the background layer: never drawn
        Shown(e, imgA, 50, 10, -1);     // in front of depth 0: never drawn
        // An image that shrinks under its placed sprite: only what it has is read.
        const int32_t imgS = AddSpriteDib(e, a.get());
        const int32_t sS = Shown(e, imgS, 60, 30, 7);
        SetSpriteDib(e, imgS, small.get());

        PaintAndCheck(s, {});
        // Moves of a few pixels, a hide, an unhide and a marked rectangle.
        for (auto [dx, dy] : {std::pair{2, 1}, {-3, 2}, {1, -4}, {4, 4}, {-2, 0}}) {
            const std::vector<uint8_t> before = Reference(e, s.bg.get(), kW, kH);
            int32_t x, y, depth;
            for (int32_t sp : {sA, sF, sT}) {
                GetSpritePosition(e, sp, &x, &y, &depth);
                ShowSprite(e, sp, x + dx, y + dy, depth, sp == sA ? 0 : sp == sT ? 1 : -1);
            }
            if (dx == 1) HideSprite(e, sS);
            if (dx == 4) UnHideSprite(e, sS);
            if (dx == -2) MakeRectInvalid(e, 70, 0, 80, 8);
            PaintAndCheck(s, before);
        }
        DeleteAnxFrame(frame);
    }
    AnimSetDisplayFormat(8, 1);
}

std::vector<Box> g_calls;
// Notes its call and fills the layer's rectangle with the user value.
int32_t Record(HDC dc, BITMAPINFO *info, uint8_t *bits, int32_t high, int32_t low, int32_t l,
               int32_t t, int32_t r, int32_t b, int32_t user) {
    EXPECT_EQ(dc, g_engine->canvas.hWinGDC);
    EXPECT_EQ(static_cast<void *>(info), static_cast<void *>(&g_engine->canvas.bmi));
    EXPECT_EQ(bits, g_engine->canvas.pBits);
    g_calls.push_back({user, high, low, l, t, r, b});
    const int32_t height = info->bmiHeader.biHeight;
    const auto stride = int32_t(platform::RowStride(info->bmiHeader.biWidth));
    for (int32_t y = t; y < b; ++y)
        for (int32_t x = l; x < r; ++x)
            bits[(height < 0 ? y : height - 1 - y) * stride + x] = uint8_t(user);
    return 0;
}

TEST(Compose, DrawCallbacksRunBetweenLayersWithTheirOverlap) {
    Scene s;
    g_calls.clear();
    Dib solid = MakeDib(8, 8, [](int x, int) { return uint8_t(x < 4 ? 0 : 9); });
    const int32_t img = AddSpriteDib(s.e, solid.get());
    Shown(s.e, img, 10, 10, 200);
    Shown(s.e, img, 12, 10, 20);
    animate::ClearInvalidRects(s.e);
    for (auto [high, low, user] : {std::tuple{100, 50, 77}, {20, 20, 78}, {10, 0, 79}})
        ASSERT_EQ(RegisterDrawCallback(s.e, Record, high, low, user), 0);
    ASSERT_EQ(RegisterDrawCallback(s.e, nullptr, 10, 0, 80), 0);  // kept, never called
    MakeRectInvalid(s.e, 10, 10, 19, 17);
    PaintScene(s.e, s.w);
    EXPECT_EQ(g_calls, (std::vector<Box>{{77, 100, 50, 10, 10, 20, 18},
                                         {78, 20, 20, 10, 10, 20, 18},
                                         {78, 20, 20, 10, 10, 20, 18},
                                         {79, 10, 0, 10, 10, 20, 18}}));
    // The front callback covered everything; before it, 78 covered the deep sprite.
    EXPECT_EQ(s.w.At(15, 12), 79);

    // Limits and removal: 10 for an upside-down range, 8 beyond 50, 9 for no match.
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 4, 5, 0), 10);
    for (int i = 4; i < 50; ++i) ASSERT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, i), 0);
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, 0), 8);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 20, 20), 0);
    EXPECT_EQ(s.e->drawCallbacks[1].user, 79);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 20, 20), 9);
    // Two matches side by side: the one moved into the freed place stays.
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 1, 1), 0);
    EXPECT_EQ(s.e->drawCallbackCount, 26u);
    EXPECT_EQ(UnregisterAllDrawCallbacks(s.e), 0);
    EXPECT_EQ(s.e->drawCallbackCount, 0u);
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
    JoinOverhead tight(0);
    for (Painter paint : {+[](EngineState *e, HDC dc) { PaintScene(e, dc); },
                          +[](EngineState *e, HDC dc) { PaintSceneStretch(e, dc, 1); },
                          +[](EngineState *e, HDC dc) { PaintScenePartialDepth(e, dc, 0, 32767); },
                          +[](EngineState *e, HDC dc) { PaintSceneStretchPlus(e, dc, 1, 0, 0); }}) {
        Scene s;
        Dib late = Noise(10, 8, 6);
        g_lateImage = AddSpriteDib(s.e, late.get());
        Shown(s.e, g_lateImage, 2, 2, 10);
        animate::ClearInvalidRects(s.e);
        RegisterDrawCallback(s.e, ShowLate, 32767, 0, 0);
        MakeRectInvalid(s.e, 0, 0, 9, 9);
        MakeRectInvalid(s.e, 50, 30, 79, 59);  // holds the late sprite
        paint(s.e, s.w);
        const std::vector<uint8_t> want = Reference(s.e, s.bg.get(), kW, kH);
        for (int32_t y = 30; y < 60; ++y)
            for (int32_t x = 50; x < 80; ++x)
                ASSERT_EQ(s.w.At(x, y), want[y * kW + x]) << x << "," << y;
    }
}

// Stamps each composed rectangle with the number of its compose and notes
// what the window shows at the rectangles' centres at that moment.
HDC g_window = nullptr;
std::vector<Box> g_seen;
int32_t Stamp(HDC dc, BITMAPINFO *info, uint8_t *bits, int32_t, int32_t low, int32_t l, int32_t t,
              int32_t r, int32_t b, int32_t) {
    int32_t stride = 0;
    const uint8_t *win = AnimWindowPixels(g_window, &stride);
    g_seen.push_back({});
    for (int32_t i = 0; i < 3; ++i)
        g_seen.back().push_back(win[(i * 20 + 5) * stride + i * 40 + 5]);
    const auto colour = int32_t(100 + g_seen.size() - 1);
    return Record(dc, info, bits, colour, low, l, t, r, b, colour);
}

TEST(Compose, OneCopyPerRectangleNoneForAnEmptyListAndTheDebugDisplay) {
    JoinOverhead tight(0);
    Scene s;
    g_window = s.w;
    g_seen.clear();
    PaintScene(s.e, s.w);
    s.w.Fill(kMarker);
    RegisterDrawCallback(s.e, Stamp, 0, 0, 0);
    SetDebugInvalidRects(s.e, 1);
    PaintScene(s.e, s.w);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(s.w.Pixels(), std::vector<uint8_t>(kW * kH, kMarker));

    // Each compose is copied before the next begins, and nothing else is.
    for (int32_t i = 0; i < 3; ++i) MakeRectInvalid(s.e, i * 40, i * 20, i * 40 + 9, i * 20 + 9);
    const std::vector<RECT> rects = s.e.Invalid();
    TraceCapture trace;
    PaintScene(s.e, s.w);
    EXPECT_EQ(g_seen,
              (std::vector<Box>{
                  {kMarker, kMarker, kMarker}, {100, kMarker, kMarker}, {100, 101, kMarker}}));
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            ASSERT_TRUE(Inside(rects, x, y) || s.w.At(x, y) == kMarker);
    // Outlined by XOR along the edges.
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_EQ(Box({s.w.At(i * 40, i * 20), s.w.At(i * 40 + 5, i * 20 + 5)}),
                  Box({(100 + i) ^ 0xFF, 100 + i}));
    EXPECT_EQ(trace.lines(),
              (std::vector<std::string>{"Rect: 0  (0,0,9,9)\r\n", "Rect: 1  (40,20,49,29)\r\n",
                                        "Rect: 2  (80,40,89,49)\r\n"}));

    // The next paint with rectangles erases the outlines first; the printer
    // path carries the master colours.
    UnregisterAllDrawCallbacks(s.e);
    EnablePrinter(s.e, 1);
    s.e->masterColors[7] = RGBQUAD{1, 2, 3, 0};
    MakeRectInvalid(s.e, 60, 0, 69, 5);
    PaintScene(s.e, s.w);
    EXPECT_EQ(Box({s.w.At(40, 20), s.w.At(60, 0), s.e->focusCount}),
              Box({101, *GetDIBPixelAddress(s.bg.get(), 60, 0) ^ 0xFF, 1}));
    EXPECT_EQ(platform::LastStretchDIBitsInfo().bmiColors[7].rgbGreen, 2);
}

}  // namespace
}  // namespace anim::test
