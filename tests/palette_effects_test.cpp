#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"
#include "palette_fixture.h"
#include "test_support.h"

namespace {

using anim::test::BoxCapture;
using anim::test::PaletteEngine;
using anim::test::Rgb;
using anim::test::SameRgb;
using anim::test::Window;

// A scene as a game has it between paints: game colours with their
// animatable palette selected into the window, and the surface already
// copied there. Effects must change what the window shows while its
// pixels stay put.
class EffectScene {
public:
    EffectScene() : window_(16, 8) {
        engine_.MakePatternSurface(16, 8);
        engine_.LoadGameColours();
        SetPalette(engine_.get(), window_.dc());
        const RECT all{0, 0, 15, 7};
        EXPECT_EQ(anim::canvas::CanvasCopyToWindow(window_.dc(), &all, &engine_.canvas(), 0, nullptr), 0);
        pixels_ = window_.Pixels();
    }
    ~EffectScene() {
        EXPECT_EQ(window_.Pixels(), pixels_) << "an effect repainted the window";
        EXPECT_TRUE(boxes_.boxes().empty());
    }
    EngineState *get() { return engine_.get(); }
    PaletteEngine &engine() { return engine_; }
    RGBQUAD Shown(int index) const { return window_.Colours()[index]; }
    std::vector<RGBQUAD> Shown() const { return window_.Colours(); }
    const Window &window() const { return window_; }
    // The game painted: what the window holds now is the new reference.
    void Painted() { pixels_ = window_.Pixels(); }

private:
    BoxCapture boxes_;
    PaletteEngine engine_;
    Window window_;
    std::vector<uint8_t> pixels_;
};

TEST(PaletteFades, BlacknessStepsBetweenBlackAndTheMasterColours) {
    anim::test::LeakCheck leaks;
    EffectScene scene;
    const RGBQUAD white = Rgb(255, 255, 255);
    AddColor(scene.get(), 10, &white);
    const std::vector<RGBQUAD> master(scene.get()->masterColors, scene.get()->masterColors + 256);
    const std::vector<RGBQUAD> startShown = scene.Shown();

    EXPECT_EQ(scene.get()->fadeLevel, 0);
    EXPECT_EQ(FadeBlacknessScene(scene.get(), 0), 0);  // already black
    EXPECT_EQ(scene.Shown(10).rgbRed, startShown[10].rgbRed);

    EXPECT_EQ(SetBlacknessFade(scene.get(), 1), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 15);
    for (int i = 10; i <= 245; ++i) ASSERT_TRUE(SameRgb(scene.Shown(i), master[i])) << i;
    EXPECT_EQ(FadeBlacknessScene(scene.get(), 1), 0);

    EXPECT_EQ(FadeBlacknessScene(scene.get(), 0), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 14);
    EXPECT_TRUE(SameRgb(scene.Shown(10), Rgb(238, 238, 238)));
    EXPECT_TRUE(SameRgb(scene.engine().canvas().colors[10], Rgb(238, 238, 238)));

    EXPECT_EQ(SetBlacknessFade(scene.get(), 0), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 0);
    for (int i = 10; i <= 245; ++i) ASSERT_TRUE(SameRgb(scene.Shown(i), Rgb(0, 0, 0))) << i;
    EXPECT_EQ(FadeBlacknessScene(scene.get(), 1), 1);
    EXPECT_TRUE(SameRgb(scene.Shown(10), Rgb(17, 17, 17)));

    // The static colours never take part, and the master copy never fades.
    for (int i : {0, 9, 246, 255}) EXPECT_TRUE(SameRgb(scene.Shown(i), startShown[i])) << i;
    EXPECT_EQ(std::memcmp(master.data(), scene.get()->masterColors, sizeof master[0] * 256), 0);
    for (int step = 0; step < 14; ++step) EXPECT_EQ(FadeBlacknessScene(scene.get(), 1), 1);
    for (int i = 10; i <= 245; ++i) ASSERT_TRUE(SameRgb(scene.Shown(i), master[i])) << i;
}

TEST(PaletteFades, LimitedRangesAndRefusedRanges) {
    anim::test::LeakCheck leaks;
    EffectScene scene;
    SetBlacknessFade(scene.get(), 1);
    const std::vector<RGBQUAD> full = scene.Shown();

    EXPECT_EQ(FadeBlacknessSceneLimited(scene.get(), 0, 100, 101), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 14);
    EXPECT_FALSE(SameRgb(scene.Shown(100), full[100]));
    EXPECT_TRUE(SameRgb(scene.Shown(99), full[99]));
    EXPECT_TRUE(SameRgb(scene.Shown(102), full[102]));

    // An empty range still moves the level but sends nothing.
    const std::vector<RGBQUAD> before = scene.Shown();
    EXPECT_EQ(FadeBlacknessSceneLimited(scene.get(), 0, 50, 40), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 13);
    EXPECT_EQ(std::memcmp(before.data(), scene.Shown().data(), 256 * 4), 0);

    // Ranges past either end of the palette are refused whole.
    EXPECT_EQ(FadeBlacknessSceneLimited(scene.get(), 0, -1, 20), 0);
    EXPECT_EQ(FadeBlacknessSceneLimited(scene.get(), 0, 200, 256), 0);
    EXPECT_EQ(SetBlacknessFadeLimited(scene.get(), 1, 0, 300), 0);
    EXPECT_EQ(scene.get()->fadeLevel, 13);
    EXPECT_EQ(std::memcmp(before.data(), scene.Shown().data(), 256 * 4), 0);
    EXPECT_EQ(FadeBlacknessScene(nullptr, 1), 0);
    EXPECT_EQ(SetBlacknessFade(nullptr, 1), 0);
}

TEST(PaletteFades, XrayCrossFadesBetweenTheTwoLayers) {
    anim::test::LeakCheck leaks;
    EffectScene scene;
    // Normal colour i carries 16 i in red, x-ray colour j 16 j in green;
    // blue shows the worked blend from 0 to 255.
    RGBQUAD colours[30];
    for (int i = 0; i < 15; ++i) colours[i] = Rgb(static_cast<uint8_t>(16 * i), 0, 0);
    for (int j = 0; j < 15; ++j) colours[15 + j] = Rgb(0, static_cast<uint8_t>(16 * j), 255);
    const RGBQUAD beyond = scene.Shown(235);

    SetXrayFade(scene.get(), colours, 1);
    EXPECT_EQ(scene.get()->fadeLevel, 15);
    EXPECT_EQ(FadeXrayScene(scene.get(), 1), 0);
    EXPECT_EQ(FadeXrayScene(scene.get(), 0), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 14);
    EXPECT_TRUE(SameRgb(scene.Shown(235), beyond));

    SetXrayFade(scene.get(), colours, 0);
    EXPECT_EQ(scene.get()->fadeLevel, 0);
    EXPECT_EQ(FadeXrayScene(scene.get(), 0), 0);
    for (int step = 1; step <= 15; ++step) {
        ASSERT_EQ(FadeXrayScene(scene.get(), 1), 1);
        if (step == 8) {
            EXPECT_EQ(scene.Shown(10).rgbBlue, 127);
        }
    }
    // Pixel 10 + 15 j + i shows x-ray colour j at the x-ray end and normal
    // colour i back at the normal end.
    auto expectLayer = [&](bool xray) {
        for (int j = 0; j < 15; ++j) {
            for (int i = 0; i < 15; ++i) {
                const RGBQUAD c = scene.Shown(10 + 15 * j + i);
                ASSERT_TRUE(SameRgb(c, xray ? Rgb(0, static_cast<uint8_t>(15 * j), 239)
                                            : Rgb(static_cast<uint8_t>(15 * i), 0, 0)))
                    << i << "," << j;
            }
        }
    };
    expectLayer(true);
    for (int step = 0; step < 15; ++step) ASSERT_EQ(FadeXrayScene(scene.get(), 0), 1);
    expectLayer(false);
    EXPECT_TRUE(SameRgb(scene.Shown(235), beyond));

    // One shared level: a blackness fade carries on from where this left it.
    FadeXrayScene(scene.get(), 1);
    EXPECT_EQ(FadeBlacknessScene(scene.get(), 1), 1);
    EXPECT_EQ(scene.get()->fadeLevel, 2);
    EXPECT_EQ(FadeXrayScene(nullptr, 1), 0);
}

TEST(PaletteCycling, RotatesTheRangeAndKeepsTheResult) {
    anim::test::LeakCheck leaks;
    EffectScene scene;
    const RGBQUAD a = Rgb(1, 1, 1), b = Rgb(2, 2, 2), c = Rgb(3, 3, 3);
    AddColor(scene.get(), 20, &a);
    AddColor(scene.get(), 21, &b);
    AddColor(scene.get(), 22, &c);
    SetBlacknessFade(scene.get(), 1);
    const std::vector<RGBQUAD> before = scene.Shown();

    CyclePalette(scene.get(), 20, 22);
    EXPECT_TRUE(SameRgb(scene.Shown(20), b));
    EXPECT_TRUE(SameRgb(scene.Shown(21), c));
    EXPECT_TRUE(SameRgb(scene.Shown(22), a));
    EXPECT_TRUE(SameRgb(scene.Shown(19), before[19]));
    EXPECT_TRUE(SameRgb(scene.Shown(23), before[23]));
    EXPECT_TRUE(SameRgb(scene.get()->masterColors[20], b));
    EXPECT_TRUE(SameRgb(scene.get()->masterColors[22], a));

    // The master copy keeps the rotation, so a fade comes back to it.
    SetBlacknessFade(scene.get(), 0);
    SetBlacknessFade(scene.get(), 1);
    EXPECT_TRUE(SameRgb(scene.Shown(20), b));
    EXPECT_TRUE(SameRgb(scene.Shown(22), a));

    const std::vector<RGBQUAD> cycled = scene.Shown();
    CyclePalette(scene.get(), 21, 21);
    CyclePalette(scene.get(), 22, 20);
    CyclePalette(scene.get(), -1, 20);
    CyclePalette(scene.get(), 250, 256);
    CyclePalette(nullptr, 20, 22);
    EXPECT_EQ(std::memcmp(cycled.data(), scene.Shown().data(), 256 * 4), 0);

}

TEST(ScrollingPalette, PictureLayoutAndRefusals) {
    anim::test::LeakCheck leaks;
    EXPECT_EQ(CreateScrollingDIB(16, 15, 2, 1), nullptr);  // 240 pixels
    EXPECT_EQ(CreateScrollingDIB(0, 5, 2, 2), nullptr);
    EXPECT_EQ(CreateScrollingDIB(-4, -2, -3, -2), nullptr);
    EXPECT_EQ(CreateScrollingDIB(4, 2, INT32_MAX, INT32_MAX), nullptr);

    BITMAPINFOHEADER *dib = CreateScrollingDIB(4, 2, 3, 2);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biWidth, 12);
    EXPECT_EQ(dib->biHeight, 4);
    EXPECT_EQ(*GetDIBPixelAddress(dib, 5, 3), 15);
    EXPECT_EQ(*GetDIBPixelAddress(dib, 0, 0), 10);
    EXPECT_EQ(*GetDIBPixelAddress(dib, 3, 1), 17);
    EXPECT_EQ(*GetDIBPixelAddress(dib, 11, 2), 13);
    DeleteDIB(dib);

    BITMAPINFOHEADER *largest = CreateScrollingDIB(236, 1, 1, 1);
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(*GetDIBPixelAddress(largest, 235, 0), 245);
    DeleteDIB(largest);
}

// A 3 x 2 source whose pixel at stored row m, column c has colour index
// 100 + 3 m + c, coloured (m, c, 7).
BITMAPINFOHEADER *ScrollSource() {
    BITMAPINFOHEADER *source = CreateDIB(3, 2);
    uint8_t *bytes = reinterpret_cast<uint8_t *>(source);
    for (int m = 0; m < 2; ++m) {
        for (int c = 0; c < 3; ++c) {
            const int index = 100 + 3 * m + c;
            bytes[1064 + 4 * m + c] = static_cast<uint8_t>(index);
            const RGBQUAD colour{7, static_cast<uint8_t>(c), static_cast<uint8_t>(m), 99};
            std::memcpy(bytes + 40 + 4 * index, &colour, sizeof colour);
        }
    }
    return source;
}

// Window pixel (x, y) of a scrolling picture with a 3 x 2 tile shows source
// column (x - dx) mod 3 of stored row (y - dy) mod 2.
void ExpectTiles(const EffectScene &scene, int dx, int dy) {
    std::int32_t stride = 0;
    const uint8_t *pixels = AnimWindowPixels(scene.window().dc(), &stride);
    const std::vector<RGBQUAD> shown = scene.Shown();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const RGBQUAD c = shown[pixels[y * stride + x]];
            ASSERT_EQ(c.rgbRed, ((y - dy) % 2 + 2) % 2) << x << "," << y << " by " << dx << "," << dy;
            ASSERT_EQ(c.rgbGreen, ((x - dx) % 3 + 3) % 3) << x << "," << y << " by " << dx << "," << dy;
            ASSERT_EQ(c.rgbBlue, 7);
        }
    }
}

TEST(ScrollingPalette, SpreadsTheSourceOverTheTilesWithAnOffset) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *source = ScrollSource();
    BITMAPINFOHEADER *tiles = CreateScrollingDIB(3, 2, 2, 2);
    {
        EffectScene scene;
        // The scrolling picture is what the surface shows.
        RECT all{0, 0, 5, 3};
        ASSERT_EQ(anim::canvas::CanvasCopyDibRect(&scene.engine().canvas(), tiles, 0, 0, &all), 0);
        ASSERT_EQ(anim::canvas::CanvasCopyToWindow(scene.window().dc(), &all,
                                                   &scene.engine().canvas(), 0, nullptr),
                  0);
        scene.Painted();

        ScrollPaletteFromDIB(scene.get(), 0, 0, source);
        ExpectTiles(scene, 0, 0);
        EXPECT_EQ(scene.get()->masterColors[10].rgbReserved, 0);  // not the source's 99
        ScrollPaletteFromDIB(scene.get(), 1, 1, source);
        ExpectTiles(scene, 1, 1);
        ScrollPaletteFromDIB(scene.get(), -3, -3, source);
        ExpectTiles(scene, 0, 0);
        ScrollPaletteFromDIB(scene.get(), 3 + 5, 2 + 5, source);
        ExpectTiles(scene, 2, 1);
        // The same picture in the game's own memory, not a block of ours.
        struct {
            BITMAPINFOHEADER header;
            uint8_t rest[1024 + 4 * 2];  // colour table, two rows of stride 4
        } own;
        std::memcpy(&own, source, sizeof own);
        ScrollPaletteFromDIB(scene.get(), 1, 1, &own.header);
        ExpectTiles(scene, 1, 1);

        // Sources the game colours cannot hold, or whose header claims more
        // than the block holds, are refused.
        const std::vector<RGBQUAD> before = scene.Shown();
        BITMAPINFOHEADER *big = CreateDIB(16, 15);
        ScrollPaletteFromDIB(scene.get(), 0, 0, big);
        ScrollPaletteFromDIB(scene.get(), 0, 0, nullptr);
        big->biHeight = -1;
        ScrollPaletteFromDIB(scene.get(), 0, 0, big);
        DeleteDIB(big);
        BITMAPINFOHEADER *liar = CreateDIB(2, 2);
        liar->biWidth = 100;
        ScrollPaletteFromDIB(scene.get(), 0, 0, liar);
        DeleteDIB(liar);
        EXPECT_EQ(std::memcmp(before.data(), scene.Shown().data(), 256 * 4), 0);
    }
    DeleteDIB(tiles);
    DeleteDIB(source);
}

}  // namespace
