// A window's record for its presenter: every pixel the library writes lies
// in a reported rectangle, the report fits the caller, and the colour
// serial moves exactly when the shown colours do.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "animate.h"
#include "engine_fixture.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 96, kH = 64;
constexpr int32_t kCapacity = 8;

struct Changes {
    std::vector<RECT> rects;
    uint32_t serial = 0;
};

Changes Take(HDC dc, int32_t capacity = kCapacity) {
    std::vector<RECT> rects(static_cast<size_t>(capacity));
    uint32_t serial = 0;
    const int32_t n = AnimWindowChanges(dc, rects.data(), capacity, &serial);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, capacity);
    rects.resize(static_cast<size_t>(std::max(n, 0)));
    return {rects, serial};
}

struct Scene {
    Engine engine;
    SceneWindow window{kW, kH};
    Dib background =
        MakeDib(kW, kH, [](int32_t x, int32_t y) { return uint8_t(10 + (x * 7 + y * 13) % 200); });
    Dib ball = MakeDib(
        9, 7, [](int32_t x, int32_t y) { return uint8_t(x == 4 || y == 3 ? 0 : 20 + x + y); });
    int32_t sprite = -1;

    Scene() {
        ColorsFromBI(engine, background.get(), 10, 245);
        CreateMasterPalette(engine, 10, 245);
        SetBackgroundFromPDIB(engine, CopyDIB(background.get()));
        SetPalette(engine, window);
        sprite = AddSprite(engine);
        SetSpriteSpriteDib(engine, sprite, AddSpriteDib(engine, ball.get()));
        PaintScene(engine, window);
        Take(window);
    }
};

TEST(WindowChanges, EveryWrittenPixelLiesInAReportedRectangle) {
    Scene s;
    std::mt19937 rng(7);
    auto any = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> before = s.window.Pixels();
        switch (round % 5) {
            case 0:  // sprites moving, some frames with the debug outlines
                SetDebugInvalidRects(s.engine, round % 3 == 0);
                ShowSprite(s.engine, s.sprite, any(-5, kW), any(-5, kH), 10, ANIM_ANCHOR_TOP_LEFT);
                PaintScene(s.engine, s.window);
                break;
            case 1: {  // more single rectangles than the record keeps
                for (int i = 0; i < 150; ++i) {
                    const int32_t x = any(0, kW - 1), y = any(0, kH - 1);
                    ShowSprite(s.engine, s.sprite, any(0, kW), any(0, kH), 10,
                               ANIM_ANCHOR_TOP_LEFT);
                    const RECT r{x, y, x + any(0, 3), y + any(0, 3)};
                    PaintSceneRect(s.engine, s.window, &r);
                }
                break;
            }
            case 2:
                MakeRectInvalid(s.engine, any(0, 40), any(0, 30), any(40, 60), any(30, 40));
                PaintSceneStretch(s.engine, s.window, 2);
                break;
            case 3:
                if (round == 3) {  // a short wipe: three strips of 25 ms
                    MakeRectInvalid(s.engine, 30, 20, 44, 29);
                    PaintSceneSFX(s.engine, s.window, 4);
                }
                break;
            default:
                break;  // nothing painted: nothing reported
        }
        const Changes c = Take(s.window);
        const std::vector<uint8_t> after = s.window.Pixels();
        int32_t changed = 0;
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x)
                if (before[y * kW + x] != after[y * kW + x]) {
                    ++changed;
                    ASSERT_TRUE(Inside(c.rects, x, y))
                        << "round " << round << " pixel " << x << "," << y;
                }
        for (const RECT &r : c.rects) {
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right < kW && r.bottom < kH &&
                        r.left <= r.right && r.top <= r.bottom);
        }
        if (round % 5 == 4) {
            EXPECT_TRUE(c.rects.empty());
        }
        if (changed > 0) {
            EXPECT_FALSE(c.rects.empty());
        }
        EXPECT_TRUE(Take(s.window).rects.empty()) << "each call starts a new record";
    }
}

TEST(WindowChanges, JoinedByTheRuleAndTheWholeWindowWhenTheyDoNotFit) {
    Scene s;
    auto paint = [&](RECT r) { PaintSceneRect(s.engine, s.window, &r); };
    paint({0, 0, 3, 3});
    paint({5, 0, 8, 3});  // the union wastes far less than the overhead: one rectangle
    EXPECT_EQ(Boxes(Take(s.window).rects.data(), 1), (std::vector<Box>{{0, 0, 8, 3}}));

    SetJoinRectOverhead(0);
    paint({0, 0, 3, 3});
    paint({80, 50, 90, 60});
    EXPECT_EQ(Take(s.window).rects.size(), 2u);
    paint({0, 0, 3, 3});
    paint({80, 50, 90, 60});
    EXPECT_EQ(Boxes(Take(s.window, 1).rects.data(), 1), (std::vector<Box>{{0, 0, kW - 1, kH - 1}}));
    SetJoinRectOverhead(3000);
}

TEST(WindowChanges, ColourSerialMovesExactlyWhenTheShownColoursDo) {
    Scene s;
    uint32_t serial = Take(s.window).serial;
    auto moved = [&] {
        const uint32_t now = Take(s.window).serial;
        const bool result = now != serial;
        serial = now;
        return result;
    };
    EXPECT_FALSE(moved());
    SetBlacknessFade(s.engine, 0);
    EXPECT_TRUE(moved());
    EXPECT_TRUE(FadeBlacknessScene(s.engine, 1) == 1 && moved());
    EXPECT_TRUE(FadeBlacknessScene(s.engine, 0) == 1 && moved());
    EXPECT_EQ(FadeBlacknessScene(s.engine, 0), 0);
    EXPECT_FALSE(moved());
    SetBlacknessFade(s.engine, 1);
    EXPECT_TRUE(moved());
    CyclePalette(s.engine, 10, 40);
    EXPECT_TRUE(moved());
    std::array<RGBQUAD, 30> xray{};
    for (size_t i = 0; i < xray.size(); ++i)
        xray[i] = RGBQUAD{uint8_t(i * 8), uint8_t(255 - i), 40, 0};
    SetXrayFade(s.engine, xray.data(), 0);
    EXPECT_TRUE(FadeXrayScene(s.engine, 1) == 1 && moved());
    Dib tile = MakeDib(4, 3, [](int32_t x, int32_t y) { return uint8_t(x + 4 * y); });
    for (int i = 0; i < 12; ++i) {
        const RGBQUAD c{uint8_t(i * 20), 1, 2, 0};
        std::memcpy(
            reinterpret_cast<uint8_t *>(tile.get()) + sizeof(BITMAPINFOHEADER) + i * sizeof c, &c,
            sizeof c);
    }
    ScrollPaletteFromDIB(s.engine, 1, 2, tile.get());
    EXPECT_TRUE(moved());
    // The surface's colours alone are not what the window shows.
    EXPECT_EQ(RedirectColor(s.engine, 50, 60), 0);
    EXPECT_FALSE(moved());
    // A palette adopted shows once it is selected and realised.
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    const LOGPALETTE head{0x300, 256, {{0, 0, 0, 0}}};
    std::memcpy(block.data(), &head, sizeof head);
    for (int i = 1; i < 256; ++i) {
        const PALETTEENTRY e{uint8_t(i), uint8_t(i / 2), 99, 0};
        std::memcpy(block.data() + offsetof(LOGPALETTE, palPalEntry) + i * sizeof e, &e, sizeof e);
    }
    HPALETTE original = MasterPalette(s.engine);
    EXPECT_EQ(
        SetAnimPalette(s.engine, AnimCreatePalette(reinterpret_cast<LOGPALETTE *>(block.data()))),
        256);
    EXPECT_FALSE(moved());
    SetPalette(s.engine, s.window);
    EXPECT_TRUE(moved());
    AnimDeletePalette(original);
}

TEST(WindowChanges, RefusalsKeepTheRecord) {
    Scene s;
    const RECT r{2, 2, 5, 5};
    PaintSceneRect(s.engine, s.window, &r);
    RECT out[2];
    EXPECT_EQ(AnimWindowChanges(s.window, nullptr, 2, nullptr), -1);
    EXPECT_EQ(AnimWindowChanges(s.window, out, 0, nullptr), -1);
    EXPECT_EQ(AnimWindowChanges(nullptr, out, 2, nullptr), -1);
    EXPECT_EQ(AnimWindowChanges(s.engine->canvas.hWinGDC, out, 2, nullptr), -1);
    EXPECT_EQ(AnimWindowChanges(s.window, out, 2, nullptr), 1);
    EXPECT_EQ(Boxes(out, 1), (std::vector<Box>{{2, 2, 5, 5}}));
    HDC gone = AnimCreateWindowDC(4, 4);
    AnimDestroyWindowDC(gone);
    EXPECT_EQ(AnimWindowChanges(gone, out, 2, nullptr), -1);
}

}  // namespace
}  // namespace anim::test
