// Stretched, partial-depth, scrolled and wiped painting, held against the
// plain paint and the reference compositor.
#include "engine_fixture.h"
#include "tests/reference/scene_reference.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 40, kH = 30;

// A scene with sprites at depths 50, 200 and 120 over a patterned background.
struct Scene {
    Engine e;
    Dib bg = MakeDib(kW, kH, [](int x, int y) { return uint8_t(x + 3 * y + 1); });
    Dib spr = MakeDib(9, 7, [](int x, int y) { return uint8_t((x + y) % 3 == 0 ? 0 : 200 + x); });
    Scene() {
        EXPECT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1);
        const int32_t img = AddSpriteDib(e, spr.get());
        for (auto [x, d] : {std::pair{5, 50}, {30, 200}, {9, 120}}) {
            const int32_t s = AddSprite(e);
            SetSpriteSpriteDib(e, s, img);
            ShowSprite(e, s, x, x / 2, d, -1);
        }
    }
};

TEST(PaintEffects, StretchAndPartialDepthAgreeWithThePlainPaint) {
    Scene plain, stretched, partial;
    Window w1(kW, kH), w2(kW, kH), w3(kW, kH);
    PaintScene(plain.e, w1);
    PaintSceneStretch(stretched.e, w2, 1);
    PaintScenePartialDepth(partial.e, w3, 0, 32767);
    // The background covers the scene: every pixel is known.
    const reference::Picture want = reference::Compose(
        plain.e, reference::BackgroundBase(plain.bg.get(), kW, kH), kW, kH, 0, 32767);
    EXPECT_EQ(w1.Pixels(), std::vector<uint8_t>(want.begin(), want.end()));
    EXPECT_EQ(w2.Pixels(), w1.Pixels());
    EXPECT_EQ(w3.Pixels(), w1.Pixels());
    EXPECT_EQ(stretched.e->invalidCount + partial.e->invalidCount, 0);
}

// Each strip with the clock as it is painted and the time its step began.
// A strip painted 25 ms after the step before it began is the promise; two
// callback readings alone would blur it by however long the machine kept a
// paint waiting.
std::vector<std::vector<int32_t>> g_strips;
EngineState *g_wiping = nullptr;
int32_t Strip(HDC, BITMAPINFO *, uint8_t *, int32_t, int32_t, int32_t l, int32_t t, int32_t r,
              int32_t b, int32_t) {
    g_strips.push_back(
        {l, t, r, b, int32_t(platform::TimeGetTime()), int32_t(g_wiping->sfxStepTime)});
    return 0;
}

TEST(PaintEffects, WipesPaintFiveRowStripsAtLeast25MsApart) {
    Scene s;
    Window w(kW, kH);
    PaintScene(s.e, w);
    RegisterDrawCallback(s.e, Strip, 0, 0, 0);
    g_wiping = s.e;
    const std::pair<int16_t, std::vector<std::vector<int32_t>>> cases[] = {
        {4, {{0, 0, 6, 10}, {5, 0, 11, 10}, {10, 0, 16, 10}, {15, 0, 20, 10}}},
        {3, {{0, 14, 10, 20}, {0, 9, 10, 15}, {0, 4, 10, 10}, {0, 0, 10, 5}}}};
    for (const auto &[effect, strips] : cases) {
        g_strips.clear();
        effect == 4 ? MakeRectInvalid(s.e, 0, 0, 19, 9) : MakeRectInvalid(s.e, 0, 0, 9, 19);
        PaintSceneSFX(s.e, w, effect);
        ASSERT_EQ(g_strips.size(), strips.size());
        for (size_t i = 0; i < strips.size(); ++i) {
            EXPECT_EQ(std::vector(g_strips[i].begin(), g_strips[i].begin() + 4), strips[i]);
            EXPECT_GE(i == 0 ? 25u : uint32_t(g_strips[i][4] - g_strips[i - 1][5]), 25u) << i;
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
            ASSERT_EQ(w.At(x, y), y / 2 == 25 ? *GetDIBPixelAddress(s.bg.get(), x / 2 + 3, 26)
                                              : before[y * 2 * kW + x])
                << x << "," << y;
    EXPECT_EQ(s.e->invalidRowCount, 0);

    // Magnified background: each background pixel becomes a 2 x 2 block.
    SetBackgroundStretch(s.e, 2);
    for (int32_t i = 0; i < 3; ++i) HideSprite(s.e, i);
    MakeRectInvalid(s.e, 0, 0, kW - 1, kH - 1);
    PaintSceneStretchPlus(s.e, w, 1, 0, 0);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            ASSERT_EQ(w.At(x, y),
                      *GetDIBPixelAddress(s.bg.get(), x / 2, (kH - 1) / 2 - (kH - 1 - y) / 2))
                << x << "," << y;
}

}  // namespace
}  // namespace anim::test
