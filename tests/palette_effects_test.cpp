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
        EXPECT_EQ(canvas::CanvasCopyToWindow(window, &all, &engine.canvas(), 0, nullptr), 0);
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
        seen = all;
        serial = now;
        return {all.begin() + first, all.begin() + last + 1};
    }
    uint32_t Shown1(int32_t i) { return Shown(i, i)[0]; }
};

TEST(PaletteFades, BlacknessStepsBetweenBlackAndTheMasterColours) {
    EffectScene s;
    const RGBQUAD white = Rgb(255, 255, 255);
    AddColor(s, 10, &white);
    const std::vector<uint32_t> master = Hexes(s.engine->masterColors), start = s.Shown();
    const std::vector<uint32_t> game(master.begin() + 10, master.begin() + 246);
    const uint32_t serial = s.serial;
    EXPECT_EQ(s.engine->fadeLevel, 0);
    EXPECT_EQ(FadeBlacknessScene(s, 0), 0);  // already black
    EXPECT_EQ(s.Shown(), start);
    EXPECT_EQ(s.serial, serial) << "nothing sent, nothing reported";

    EXPECT_EQ(SetBlacknessFade(s, 1), 1);
    EXPECT_EQ(s.engine->fadeLevel, 15);
    EXPECT_EQ(s.Shown(10, 245), game);
    EXPECT_EQ(FadeBlacknessScene(s, 1), 0);
    EXPECT_EQ(FadeBlacknessScene(s, 0), 1);
    EXPECT_EQ(s.engine->fadeLevel, 14);
    EXPECT_EQ(s.Shown1(10), 0xEEEEEEu);
    EXPECT_EQ(Hex(s.engine.canvas().colors[10]), 0xEEEEEEu);

    EXPECT_EQ(SetBlacknessFade(s, 0), 1);
    EXPECT_EQ(s.engine->fadeLevel, 0);
    EXPECT_EQ(s.Shown(10, 245), std::vector<uint32_t>(236, 0));
    EXPECT_EQ(FadeBlacknessScene(s, 1), 1);
    EXPECT_EQ(s.Shown1(10), 0x111111u);
    // The static colours never take part, and the master copy never fades.
    for (int i : {0, 9, 246, 255}) EXPECT_EQ(s.Shown1(i), start[i]) << i;
    EXPECT_EQ(Hexes(s.engine->masterColors), master);
    for (int step = 0; step < 14; ++step) EXPECT_EQ(FadeBlacknessScene(s, 1), 1);
    EXPECT_EQ(s.Shown(10, 245), game);
}

TEST(PaletteFades, LimitedRangesAndRefusedRanges) {
    EffectScene s;
    SetBlacknessFade(s, 1);
    const std::vector<uint32_t> full = s.Shown();
    EXPECT_EQ(FadeBlacknessSceneLimited(s, 0, 100, 101), 1);
    EXPECT_EQ(s.engine->fadeLevel, 14);
    EXPECT_EQ(s.Shown(99, 102)[0], full[99]);
    EXPECT_NE(s.Shown(99, 102)[1], full[100]);
    EXPECT_EQ(s.Shown(99, 102)[3], full[102]);
    // An empty range still moves the level but sends nothing; ranges past
    // either end of the palette are refused whole.
    const std::vector<uint32_t> before = s.Shown();
    EXPECT_EQ(FadeBlacknessSceneLimited(s, 0, 50, 40), 1);
    EXPECT_EQ(
        Box({FadeBlacknessSceneLimited(s, 0, -1, 20), FadeBlacknessSceneLimited(s, 0, 200, 256),
             SetBlacknessFadeLimited(s, 1, 0, 300), FadeBlacknessScene(nullptr, 1),
             SetBlacknessFade(nullptr, 1), s.engine->fadeLevel}),
        Box({0, 0, 0, 0, 0, 13}));
    EXPECT_EQ(s.Shown(), before);
}

TEST(PaletteFades, XrayCrossFadesBetweenTheTwoLayers) {
    EffectScene s;
    // Normal colour i carries 16 i in red, x-ray colour j 16 j in green;
    // blue shows the worked blend from 0 to 255.
    RGBQUAD colours[30];
    for (int i = 0; i < 15; ++i) colours[i] = Rgb(uint8_t(16 * i), 0, 0);
    for (int j = 0; j < 15; ++j) colours[15 + j] = Rgb(0, uint8_t(16 * j), 255);
    const uint32_t beyond = s.Shown1(235);

    SetXrayFade(s, colours, 1);
    EXPECT_EQ(s.engine->fadeLevel, 15);
    EXPECT_EQ(FadeXrayScene(s, 1), 0);
    EXPECT_EQ(FadeXrayScene(s, 0), 1);
    EXPECT_EQ(s.engine->fadeLevel, 14);
    SetXrayFade(s, colours, 0);
    EXPECT_EQ(s.engine->fadeLevel, 0);
    EXPECT_EQ(FadeXrayScene(s, 0), 0);
    for (int step = 1; step <= 15; ++step) {
        ASSERT_EQ(FadeXrayScene(s, 1), 1);
        if (step == 8) {
            EXPECT_EQ(s.Shown1(10) & 0xFF, 127u);
        }
    }
    // Pixel 10 + 15 j + i shows x-ray colour j at the x-ray end and normal
    // colour i back at the normal end.
    std::vector<uint32_t> xray, normal;
    for (int j = 0; j < 15; ++j)
        for (int i = 0; i < 15; ++i) {
            xray.push_back(Hex(Rgb(0, uint8_t(15 * j), 239)));
            normal.push_back(Hex(Rgb(uint8_t(15 * i), 0, 0)));
        }
    EXPECT_EQ(s.Shown(10, 234), xray);
    for (int step = 0; step < 15; ++step) ASSERT_EQ(FadeXrayScene(s, 0), 1);
    EXPECT_EQ(s.Shown(10, 234), normal);
    EXPECT_EQ(s.Shown1(235), beyond);
    // One shared level: a blackness fade carries on from where this left it.
    FadeXrayScene(s, 1);
    EXPECT_EQ(FadeBlacknessScene(s, 1), 1);
    EXPECT_EQ(s.engine->fadeLevel, 2);
    EXPECT_EQ(FadeXrayScene(nullptr, 1), 0);
}

TEST(PaletteCycling, RotatesTheRangeAndKeepsTheResult) {
    EffectScene s;
    for (int i = 20; i <= 22; ++i) {
        const RGBQUAD c = Rgb(uint8_t(i), uint8_t(i), uint8_t(i));
        AddColor(s, i, &c);
    }
    SetBlacknessFade(s, 1);
    const std::vector<uint32_t> before = s.Shown();
    CyclePalette(s, 20, 22);
    const std::vector<uint32_t> rotated{before[19], 0x151515, 0x161616, 0x141414, before[23]};
    EXPECT_EQ(s.Shown(19, 23), rotated);
    // The master copy keeps the rotation, so a fade comes back to it.
    SetBlacknessFade(s, 0);
    SetBlacknessFade(s, 1);
    EXPECT_EQ(s.Shown(19, 23), rotated);
    EXPECT_EQ(Hexes(s.engine->masterColors, 19, 23), rotated);
    const std::vector<uint32_t> cycled = s.Shown();
    const uint32_t serial = s.serial;
    // The surface's colours alone are not what the window shows.
    EXPECT_EQ(RedirectColor(s, 50, 60), 0);
    CyclePalette(s, 21, 21);
    CyclePalette(s, 22, 20);
    CyclePalette(s, -1, 20);
    CyclePalette(s, 250, 256);
    CyclePalette(nullptr, 20, 22);
    EXPECT_EQ(s.Shown(), cycled);
    EXPECT_EQ(s.serial, serial);
}

TEST(ScrollingPalette, PictureLayoutAndRefusals) {
    LeakCheck leaks;
    for (auto [w, h, across, down] :
         {std::tuple{16, 15, 2, 1}, {0, 5, 2, 2}, {-4, -2, -3, -2}, {4, 2, INT32_MAX, INT32_MAX}})
        EXPECT_EQ(Dib(CreateScrollingDIB(w, h, across, down)), nullptr) << w << "x" << h;
    Dib dib(CreateScrollingDIB(4, 2, 3, 2));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(Box({dib->biWidth, dib->biHeight, *GetDIBPixelAddress(dib.get(), 5, 3),
                   *GetDIBPixelAddress(dib.get(), 0, 0), *GetDIBPixelAddress(dib.get(), 3, 1),
                   *GetDIBPixelAddress(dib.get(), 11, 2)}),
              Box({12, 4, 15, 10, 17, 13}));
    Dib largest(CreateScrollingDIB(236, 1, 1, 1));
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(*GetDIBPixelAddress(largest.get(), 235, 0), 245);
}

TEST(ScrollingPalette, SpreadsTheSourceOverTheTilesWithAnOffset) {
    // A 3 x 2 source whose pixel at stored row m, column c has colour index
    // 100 + 3 m + c, coloured (m, c, 7).
    Dib source(CreateDIB(3, 2));
    auto *bytes = reinterpret_cast<uint8_t *>(source.get());
    for (int m = 0; m < 2; ++m)
        for (int c = 0; c < 3; ++c) {
            bytes[1064 + 4 * m + c] = uint8_t(100 + 3 * m + c);
            reinterpret_cast<RGBQUAD *>(bytes + 40)[100 + 3 * m + c] =
                RGBQUAD{7, uint8_t(c), uint8_t(m), 99};
        }
    Dib tiles(CreateScrollingDIB(3, 2, 2, 2));
    EffectScene s;
    // The scrolling picture is what the surface shows.
    RECT all{0, 0, 5, 3};
    ASSERT_EQ(canvas::CanvasCopyDibRect(&s.engine.canvas(), tiles.get(), 0, 0, &all), 0);
    ASSERT_EQ(canvas::CanvasCopyToWindow(s.window, &all, &s.engine.canvas(), 0, nullptr), 0);
    s.pixels = s.window.Pixels();
    // Window pixel (x, y) shows source column (x - dx) mod 3 of stored row
    // (y - dy) mod 2.
    auto expectTiles = [&](int dx, int dy) {
        const std::vector<uint32_t> shown = s.Shown();
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(shown[s.window.At(x, y)], uint32_t((((y - dy) % 2 + 2) % 2 << 16) |
                                                             (((x - dx) % 3 + 3) % 3 << 8) | 7))
                    << x << "," << y << " by " << dx << "," << dy;
    };
    // The same picture in the game's own memory, not a block of ours.
    struct {
        BITMAPINFOHEADER header;
        uint8_t rest[1024 + 4 * 2];  // colour table, two rows of stride 4
    } own;
    std::memcpy(&own, source.get(), sizeof own);
    for (auto [dx, dy, src, want] : {std::tuple{0, 0, source.get(), std::pair{0, 0}},
                                     {1, 1, source.get(), {1, 1}},
                                     {-3, -3, source.get(), {0, 0}},
                                     {8, 7, source.get(), {2, 1}},
                                     {1, 1, &own.header, {1, 1}}}) {
        ScrollPaletteFromDIB(s, dx, dy, src);
        expectTiles(want.first, want.second);
    }
    EXPECT_EQ(s.engine->masterColors[10].rgbReserved, 0);  // not the source's 99

    // Sources the game colours cannot hold, or whose header claims more
    // than the block holds, are refused.
    const std::vector<uint32_t> before = s.Shown();
    Dib big(CreateDIB(16, 15)), liar(CreateDIB(2, 2));
    ScrollPaletteFromDIB(s, 0, 0, big.get());
    ScrollPaletteFromDIB(s, 0, 0, nullptr);
    big->biHeight = -1;
    ScrollPaletteFromDIB(s, 0, 0, big.get());
    liar->biWidth = 100;
    ScrollPaletteFromDIB(s, 0, 0, liar.get());
    EXPECT_EQ(s.Shown(), before);
}

}  // namespace
}  // namespace anim::test
