// Colour effects: fades to black and to the x-ray colours, cycling and
// scrolling palettes, all shown by changing colours, never pixels.
#include "engine_fixture.h"

namespace anim::test {
namespace {

// A scene as a game has it between paints: game colours with their
// animatable palette selected into the window, and the surface already
// copied there. Effects must change what the window shows while its
// pixels stay put, and the window's record must say whenever they change.
struct EffectScene {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    Window window{16, 8};
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> seen;  // the colours and the record's serial at the last look
    uint32_t serial = 0;
    EffectScene() {
        PatternSurface(engine, 16, 8);
        LoadGameColours(engine);
        SetPalette(engine, window);
        const RECT all{0, 0, 15, 7};
        EXPECT_EQ(canvas::CanvasCopyToWindow(window, &all, &engine->canvas, 0, nullptr), 0);
        pixels = window.Pixels();
        Shown();
    }
    ~EffectScene() {
        EXPECT_EQ(window.Pixels(), pixels) << "an effect repainted the window";
        EXPECT_TRUE(boxes.boxes.empty());
    }
    operator EngineState *() const { return engine; }
    std::vector<uint32_t> Shown(int32_t first = 0, int32_t last = 255) {
        const std::vector<uint32_t> all = Hexes(window.Colours().data());
        const uint32_t now = ColourSerial(window);
        EXPECT_TRUE(all == seen || now != serial) << "the colours changed, the serial did not";
        EXPECT_TRUE(all != seen || now == serial) << "the serial moved, the colours did not";
        seen = all;
        serial = now;
        return {all.begin() + first, all.begin() + last + 1};
    }
};

TEST(PaletteFades, BlacknessStepsBetweenBlackAndTheMasterColours) {
    EffectScene s;
    const std::vector<uint32_t> master = Hexes(s.engine->masterColors), start = s.Shown();
    const std::vector<uint32_t> game(master.begin() + 10, master.begin() + 246);
    EXPECT_EQ(FadeBlacknessScene(s, 0), 0);  // already black
    EXPECT_EQ(SetBlacknessFade(s, 1), 1);
    EXPECT_EQ(s.engine->fadeLevel, 15);
    EXPECT_EQ(s.Shown(10, 245), game);
    EXPECT_EQ(FadeBlacknessScene(s, 1), 0);
    EXPECT_EQ(SetBlacknessFade(s, 0), 1);
    EXPECT_EQ(s.Shown(10, 245), std::vector<uint32_t>(236, 0));
    // The static colours never take part, and the master copy never fades.
    EXPECT_EQ(s.Shown(0, 9), std::vector(start.begin(), start.begin() + 10));
    EXPECT_EQ(Hexes(s.engine->masterColors), master);
    for (int step = 0; step < 15; ++step) EXPECT_EQ(FadeBlacknessScene(s, 1), 1);
    EXPECT_EQ(s.Shown(10, 245), game);

    // A limited range steps only its colours; ranges past either end of
    // the palette are refused whole.
    const std::vector<uint32_t> full = s.Shown();
    EXPECT_EQ(FadeBlacknessSceneLimited(s, 0, 100, 101), 1);
    EXPECT_EQ(s.engine->fadeLevel, 14);
    const std::vector<uint32_t> stepped = s.Shown(99, 102);
    EXPECT_EQ(Box({stepped[0] == full[99], stepped[1] == full[100], stepped[3] == full[102]}),
              Box({1, 0, 1}));
    EXPECT_EQ(Box({FadeBlacknessSceneLimited(s, 0, -1, 20), SetBlacknessFadeLimited(s, 1, 0, 300),
                   s.engine->fadeLevel}),
              Box({0, 0, 14}));

    // The x-ray fade shares the level and stops at its end.
    const RGBQUAD colours[30] = {};
    SetXrayFade(s, colours, 1);
    EXPECT_EQ(FadeXrayScene(s, 1), 0);
}

TEST(PaletteCycling, RotatesTheRangeAndKeepsTheResult) {
    EffectScene s;
    SetBlacknessFade(s, 1);
    const std::vector<uint32_t> before = s.Shown();
    CyclePalette(s, 20, 22);
    const std::vector<uint32_t> rotated{before[19], before[21], before[22], before[20], before[23]};
    EXPECT_EQ(s.Shown(19, 23), rotated);
    // The master copy keeps the rotation, so a fade comes back to it.
    SetBlacknessFade(s, 0);
    SetBlacknessFade(s, 1);
    EXPECT_EQ(s.Shown(19, 23), rotated);
    const std::vector<uint32_t> cycled = s.Shown();
    CyclePalette(s, 22, 20);
    CyclePalette(s, -1, 20);
    CyclePalette(s, 250, 256);
    EXPECT_EQ(s.Shown(), cycled);
}

TEST(ScrollingPalette, SpreadsTheSourceOverTheTilesWithAnOffset) {
    // A 3 x 2 source whose pixel at stored row m, column c has colour index
    // 100 + 3 m + c, coloured (m, c, 7).
    Dib source(CreateDIB(3, 2));
    auto *bytes = reinterpret_cast<uint8_t *>(source.get());
    for (int n = 0; n < 6; ++n) {
        bytes[1064 + 4 * (n / 3) + n % 3] = uint8_t(100 + n);
        reinterpret_cast<RGBQUAD *>(bytes + 40)[100 + n] =
            RGBQUAD{7, uint8_t(n % 3), uint8_t(n / 3), 99};
    }
    EXPECT_EQ(Dib(CreateScrollingDIB(16, 15, 2, 1)), nullptr) << "a tile of more than 236";
    Dib tiles(CreateScrollingDIB(3, 2, 2, 2));
    EffectScene s;
    // The scrolling picture is what the surface shows.
    RECT all{0, 0, 5, 3};
    ASSERT_EQ(canvas::CanvasCopyDibRect(&s.engine->canvas, tiles.get(), 0, 0, &all), 0);
    ASSERT_EQ(canvas::CanvasCopyToWindow(s.window, &all, &s.engine->canvas, 0, nullptr), 0);
    s.pixels = s.window.Pixels();
    // Window pixel (x, y) shows source column (x - dx) mod 3 of stored row
    // (y - dy) mod 2.
    for (auto [dx, dy, want] : {std::tuple{1, 1, std::pair{1, 1}}, {8, 7, {2, 1}}}) {
        ScrollPaletteFromDIB(s, dx, dy, source.get());
        const std::vector<uint32_t> shown = s.Shown();
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(shown[s.window.At(x, y)],
                          uint32_t((((y - want.second) % 2 + 2) % 2 << 16) |
                                   (((x - want.first) % 3 + 3) % 3 << 8) | 7))
                    << x << "," << y << " by " << dx << "," << dy;
    }
    EXPECT_EQ(s.engine->masterColors[10].rgbReserved, 0);  // not the source's 99
    // Sources the game colours cannot hold, or whose header claims more
    // than its block, are refused.
    const std::vector<uint32_t> before = s.Shown();
    Dib big(CreateDIB(16, 15)), liar(CreateDIB(2, 2));
    liar->biWidth = 100;
    for (BITMAPINFOHEADER *refused : {big.get(), liar.get()})
        ScrollPaletteFromDIB(s, 0, 0, refused);
    EXPECT_EQ(s.Shown(), before);
}

}  // namespace
}  // namespace anim::test
