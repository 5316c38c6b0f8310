// A window's record for its presenter: every pixel the library writes lies
// in a reported rectangle, the report fits the caller, and the colour
// serial moves when the shown colours do (tests/palette_effects_test.cpp).
#include <random>

#include "engine_fixture.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 96, kH = 64;

struct Changes {
    std::vector<RECT> rects;
    uint32_t serial = 0;
};

Changes Take(HDC dc, int32_t capacity = 8) {
    std::vector<RECT> rects(size_t(capacity), RECT{});
    uint32_t serial = 0;
    const int32_t n = AnimWindowChanges(dc, rects.data(), capacity, &serial);
    EXPECT_TRUE(n >= 0 && n <= capacity) << n;
    rects.resize(size_t(std::max(n, 0)));
    return {rects, serial};
}

struct Scene {
    Engine engine;
    Window window{kW, kH};
    Dib background =
        MakeDib(kW, kH, [](int x, int y) { return uint8_t(10 + (x * 7 + y * 13) % 200); });
    Dib ball =
        MakeDib(9, 7, [](int x, int y) { return uint8_t(x == 4 || y == 3 ? 0 : 20 + x + y); });
    int32_t sprite = -1;

    Scene() {
        SetBackgroundFromPDIB(engine, CopyDIB(background.get()));
        sprite = AddSprite(engine);
        SetSpriteSpriteDib(engine, sprite, AddSpriteDib(engine, ball.get()));
        PaintScene(engine, window);
        Take(window);
    }
};

TEST(WindowChanges, EveryWrittenPixelLiesInAReportedRectangle) {
    Scene s;
    std::mt19937 rng(7);
    auto any = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution(lo, hi)(rng); };
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> before = s.window.Pixels();
        if (round % 5 == 0) {  // sprites moving, some frames with the debug outlines
            SetDebugInvalidRects(s.engine, round % 3 == 0);
            ShowSprite(s.engine, s.sprite, any(-5, kW), any(-5, kH), 10, ANIM_ANCHOR_TOP_LEFT);
            PaintScene(s.engine, s.window);
        } else if (round % 5 == 1) {  // more single rectangles than the record keeps
            for (int i = 0; i < 150; ++i) {
                const int32_t x = any(0, kW - 1), y = any(0, kH - 1);
                ShowSprite(s.engine, s.sprite, any(0, kW), any(0, kH), 10, ANIM_ANCHOR_TOP_LEFT);
                const RECT r{x, y, x + any(0, 3), y + any(0, 3)};
                PaintSceneRect(s.engine, s.window, &r);
            }
        } else if (round % 5 == 2) {
            MakeRectInvalid(s.engine, any(0, 40), any(0, 30), any(40, 60), any(30, 40));
            PaintSceneStretch(s.engine, s.window, 2);
        } else if (round == 3) {  // a short wipe: three strips of 25 ms
            MakeRectInvalid(s.engine, 30, 20, 44, 29);
            PaintSceneSFX(s.engine, s.window, 4);
        }  // otherwise nothing painted: nothing reported
        const Changes c = Take(s.window);
        const std::vector<uint8_t> after = s.window.Pixels();
        bool changed = false;
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x)
                if (before[y * kW + x] != after[y * kW + x]) {
                    changed = true;
                    ASSERT_TRUE(Inside(c.rects, x, y))
                        << "round " << round << " at " << x << "," << y;
                }
        for (const RECT &r : c.rects)
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right < kW && r.bottom < kH &&
                        r.left <= r.right && r.top <= r.bottom);
        EXPECT_FALSE(c.rects.empty() ? changed : round % 5 == 4) << round;
        EXPECT_TRUE(Take(s.window).rects.empty()) << "each call starts a new record";
    }
}

TEST(WindowChanges, JoinedByTheRuleAndTheWholeWindowWhenTheyDoNotFit) {
    Scene s;
    auto paint = [&](RECT r) { PaintSceneRect(s.engine, s.window, &r); };
    paint({0, 0, 3, 3});
    paint({5, 0, 8, 3});  // the union wastes far less than the overhead: one rectangle
    EXPECT_EQ(Boxes(Take(s.window).rects), (std::vector<Box>{{0, 0, 8, 3}}));
    SetJoinRectOverhead(0);
    for (int32_t capacity : {2, 1}) {
        paint({0, 0, 3, 3});
        paint({80, 50, 90, 60});
        EXPECT_EQ(Boxes(Take(s.window, capacity).rects),
                  capacity == 2 ? (std::vector<Box>{{0, 0, 3, 3}, {80, 50, 90, 60}})
                                : (std::vector<Box>{{0, 0, kW - 1, kH - 1}}));
    }
    SetJoinRectOverhead(3000);
}

TEST(WindowChanges, RefusalsKeepTheRecord) {
    Scene s;
    const RECT r{2, 2, 5, 5};
    PaintSceneRect(s.engine, s.window, &r);
    HDC gone = AnimCreateWindowDC(4, 4);
    AnimDestroyWindowDC(gone);
    RECT out[2];
    for (auto [dc, rects, n] : {std::tuple{HDC(s.window), (RECT *)nullptr, 2},
                                {s.window, out, 0},
                                {nullptr, out, 2},
                                {s.engine->canvas.hWinGDC, out, 2},
                                {gone, out, 2}})
        EXPECT_EQ(AnimWindowChanges(dc, rects, n, nullptr), -1);
    EXPECT_EQ(AnimWindowChanges(s.window, out, 2, nullptr), 1);
    EXPECT_EQ(Boxes(out, 1), (std::vector<Box>{{2, 2, 5, 5}}));
}

}  // namespace
}  // namespace anim::test
