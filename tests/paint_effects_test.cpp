// Painting: draw callbacks between the layers, the debug display of the
// rectangles a paint recomposed, and stretched, partial-depth, scrolled and
// wiped painting held against the plain paint and the reference compositor.
#include "engine_fixture.h"
#include "tests/reference/scene_reference.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 40, kH = 30;

// Each draw callback's rectangle, user value and depths, and beside it the
// clock as it ran and the time its paint step began. A wipe strip painted
// 25 ms after the step before it began is the promise; two callback
// readings alone would blur it by however long the machine kept a paint
// waiting.
std::vector<Box> g_calls;
std::vector<std::pair<uint32_t, uint32_t>> g_times;
EngineState *g_painting = nullptr;
int32_t Record(HDC, BITMAPINFO *, uint8_t *, int32_t high, int32_t low, int32_t l, int32_t t, int32_t r, int32_t b,
               int32_t user) {
    g_calls.push_back({l, t, r, b, user, high, low});
    g_times.emplace_back(platform::TimeGetTime(), g_painting->sfxStepTime);
    return 0;
}

// A scene with sprites at depths 50, 32767 (the deepest), 120 and 0 over a
// patterned background.
struct Scene {
    Engine e;
    Dib bg = MakeDib(kW, kH, [](int x, int y) { return uint8_t(x + 3 * y + 1); });
    Dib spr = MakeDib(9, 7, [](int x, int y) { return uint8_t((x + y) % 3 == 0 ? 0 : 200 + x); });
    Scene() {
        EXPECT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
        const int32_t img = AddSpriteDib(e, spr.get());
        for (auto [x, d] : {std::pair{5, 50}, {30, 32767}, {9, 120}, {20, 0}}) {
            const int32_t s = AddSprite(e);
            SetSpriteSpriteDib(e, s, img);
            ShowSprite(e, s, x, x / 2, d, -1);
        }
        g_painting = e;
        g_calls.clear();
        g_times.clear();
    }
};

TEST(Compose, DrawCallbacksRunBetweenLayersAndTheDebugDisplayOutlinesRepaints) {
    Scene s;
    Window w(kW, kH);
    animate::ClearInvalidRects(s.e);
    for (auto [high, low, user] : {std::tuple{100, 50, 77}, {50, 50, 78}, {10, 0, 79}})
        ASSERT_EQ(RegisterDrawCallback(s.e, Record, high, low, user), 0);
    // The rectangle holds the sprites at depths 120 and 50: the layers are
    // behind 120, between 120 and 50, and in front of 50.
    MakeRectInvalid(s.e, 5, 2, 17, 10);
    PaintScene(s.e, w);
    EXPECT_EQ(g_calls, (std::vector<Box>{{5, 2, 18, 11, 77, 100, 50},
                                         {5, 2, 18, 11, 78, 50, 50},
                                         {5, 2, 18, 11, 77, 50, 50},
                                         {5, 2, 18, 11, 78, 50, 50},
                                         {5, 2, 18, 11, 79, 10, 0}}));

    // 10 for an upside-down range, 8 beyond 50 entries, 9 for no match.
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 4, 5, 0), 10);
    for (int i = 3; i < 50; ++i) ASSERT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, i), 0);
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, 0), 8);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 50, 50), 0);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 50, 50), 9);

    // The debug display traces and outlines each repainted rectangle.
    SetJoinRectOverhead(0);
    SetDebugInvalidRects(s.e, 1);
    MakeRectInvalid(s.e, 0, 0, 9, 9);
    MakeRectInvalid(s.e, 30, 20, 39, 29);  // outlined up to the window's far corner
    TraceCapture trace;
    PaintScene(s.e, w);
    SetJoinRectOverhead(3000);
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{"Rect: 0  (0,0,9,9)\r\n", "Rect: 1  (30,20,39,29)\r\n"}));
    EXPECT_EQ(Box({w.At(0, 0) ^ 0xFF, w.At(39, 29) ^ 0xFF, w.At(2, 7)}),
              Box({dibs::Px(s.bg, 0, 0), dibs::Px(s.bg, 39, 29), dibs::Px(s.bg, 2, 7)}));
}

TEST(PaintEffects, StretchPartialDepthAndPrintedRectAgreeWithThePlainPaint) {
    Scene plain, stretched, partial, printed;
    Window w1(kW, kH), w2(kW, kH), w3(kW, kH), w4(kW, kH);
    PaintScene(plain.e, w1);
    PaintSceneStretch(stretched.e, w2, 1);
    PaintScenePartialDepth(partial.e, w3, 0, 32767);
    // The printer path hands the window this engine's master colours.
    printed.e->masterColors[77] = {1, 2, 3, 0};
    EnablePrinter(printed.e, 1);
    const RECT all{0, 0, kW - 1, kH - 1};
    PaintSceneRect(printed.e, w4, &all);
    EXPECT_EQ(Hexes(platform::LastStretchDIBitsInfo().bmiColors), Hexes(printed.e->masterColors));
    // The background covers the scene: every pixel is known.
    const reference::Picture want =
        reference::Compose(plain.e, reference::BackgroundBase(plain.bg.get(), kW, kH), kW, kH, 0, 32767);
    EXPECT_EQ(w1.Pixels(), std::vector<uint8_t>(want.begin(), want.end()));
    EXPECT_EQ(w2.Pixels(), w1.Pixels());
    EXPECT_EQ(w3.Pixels(), w1.Pixels());
    EXPECT_EQ(w4.Pixels(), w1.Pixels());
    EXPECT_EQ(stretched.e->invalidCount + partial.e->invalidCount, 0);
}

TEST(PaintEffects, WipesPaintFiveRowStripsAtLeast25MsApart) {
    Scene s;
    Window w(kW, kH);
    PaintScene(s.e, w);
    RegisterDrawCallback(s.e, Record, 0, 0, 0);
    const std::pair<int16_t, std::vector<std::vector<int32_t>>> cases[] = {
        {4, {{0, 0, 6, 10}, {5, 0, 11, 10}, {10, 0, 16, 10}, {15, 0, 20, 10}}},
        {3, {{0, 14, 10, 20}, {0, 9, 10, 15}, {0, 4, 10, 10}, {0, 0, 10, 5}}}};
    for (const auto &[effect, strips] : cases) {
        g_calls.clear();
        g_times.clear();
        effect == 4 ? MakeRectInvalid(s.e, 0, 0, 19, 9) : MakeRectInvalid(s.e, 0, 0, 9, 19);
        PaintSceneSFX(s.e, w, effect);
        ASSERT_EQ(g_calls.size(), strips.size());
        for (size_t i = 0; i < strips.size(); ++i) {
            EXPECT_EQ(Box(g_calls[i].begin(), g_calls[i].begin() + 4), strips[i]);
            EXPECT_GE(i == 0 ? 25u : g_times[i].first - g_times[i - 1].second, 25u) << i;
        }
        EXPECT_EQ(s.e->invalidCount, 0);
    }
}

TEST(PaintEffects, ScrolledPaintComposesWholeRowsAndDoublesTheBackground) {
    Scene s;
    Window w(2 * kW, 2 * kH);
    PaintScene(s.e, w);
    std::vector<uint8_t> before = w.Pixels();
    MakeScanlineInvalid(s.e, 25);
    PaintSceneStretchPlus(s.e, w, 2, 3, 1);
    // The row comes from the background moved by the scroll.
    for (int32_t y = 0; y < 2 * kH; ++y)
        for (int32_t x = 0; x < 2 * (kW - 3); ++x)
            ASSERT_EQ(w.At(x, y), y / 2 == 25 ? dibs::Px(s.bg, x / 2 + 3, 26) : before[y * 2 * kW + x])
                << x << "," << y;
    EXPECT_EQ(s.e->invalidRowCount, 0);

    // Magnified background: each background pixel becomes a 2 x 2 block.
    SetBackgroundStretch(s.e, 2);
    for (int32_t i = 0; i < 4; ++i) HideSprite(s.e, i);
    MakeRectInvalid(s.e, 0, 0, kW - 1, kH - 1);
    PaintSceneStretchPlus(s.e, w, 1, 0, 0);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            ASSERT_EQ(w.At(x, y), dibs::Px(s.bg, x / 2, (kH - 1) / 2 - (kH - 1 - y) / 2)) << x << "," << y;
}

}  // namespace
}  // namespace anim::test
