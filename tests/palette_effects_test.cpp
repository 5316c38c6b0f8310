// The master palette (the game's colours, the handle that animates them,
// the surface's own copy, selection into a window) and the colour effects:
// fades to black and to the x-ray colours, cycling and scrolling palettes,
// all shown by changing colours, never pixels.
#include "engine_fixture.h"
#include "platform/display_objects.h"

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
        // Game colours 10..245 each distinct, taken as the master palette
        // with its animatable handle, as a background load does.
        RGBQUAD table[256] = {};
        for (int i = 0; i < 256; ++i) table[i] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(i), 0};
        ColorsFromTable(engine, table, 10, 245);
        EXPECT_NE(CreateMasterPalette(engine, 10, 245), nullptr);
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
        EXPECT_EQ(all == seen, now == serial) << "the colours and the record's serial move together";
        seen = all;
        serial = now;
        return {all.begin() + first, all.begin() + last + 1};
    }
};

// The master copy, the surface's colours and those of its bitmap (what the
// direct copy shows).
std::vector<std::vector<uint32_t>> Copies(const Engine &e) {
    return {Hexes(e->masterColors), Hexes(e->canvas.colors), Hexes(e->canvas.hBitmap->colors.data())};
}

TEST(MasterPalette, ColourCopiesReachEveryTableAndRedirectOnlyTheSurface) {
    EffectScene s;
    // Only the animatable game colours are flagged for the window.
    std::vector<PALETTEENTRY> entries(256);
    EXPECT_EQ(AnimGetPaletteEntries(MasterPalette(s), 0, 256, entries.data()), 256u);
    std::vector<uint32_t> flagged = Hexes(s.engine->canvas.colors), seen;
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY &e = entries[i];
        seen.push_back(uint32_t(e.peFlags) << 24 | e.peRed << 16 | e.peGreen << 8 | e.peBlue);
        if (i >= 10 && i <= 245) flagged[i] |= (platform::kPcReserved | platform::kPcNoCollapse) << 24;
    }
    EXPECT_EQ(seen, flagged);
    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i) table[i] = {2, uint8_t(i), 1, 0};
    ColorsFromTable(s, table, -5, 300);
    EXPECT_EQ(Copies(s.engine), std::vector(3, Hexes(table)));

    // A DIB's colour table, taken by the same indices; one colour alone.
    Dib dib(CreateDIB(2, 2));
    const RGBQUAD colour{7, 8, 9, 0};  // blue first
    reinterpret_cast<RGBQUAD *>(dib.get() + 1)[42] = colour;
    ColorsFromBI(s, dib.get(), 42, 42);
    AddColor(s, 77, &colour);
    for (const std::vector<uint32_t> &copy : Copies(s.engine))
        EXPECT_EQ(Box({int32_t(copy[42]), int32_t(copy[77])}), Box({0x090807, 0x090807}));

    // Refusals say why.
    AddColor(s, 256, &colour);
    TraceCapture trace;
    ColorsFromBI(s, nullptr, 10, 245);
    EXPECT_EQ(OneTrace(trace), "MASTPAL: NULL parm in ColorsFromBI\r\n");

    // Redirection shows in the surface alone; an index outside the table: 3.
    std::vector<std::vector<uint32_t>> redirected = Copies(s.engine);
    redirected[1][20] = redirected[2][20] = redirected[1][30];
    EXPECT_EQ(RedirectColor(s, 20, 30), 0);
    EXPECT_EQ(Copies(s.engine), redirected);
    EXPECT_EQ(RedirectColor(s, 20, 256), 3);
    EXPECT_EQ(s.boxes.boxes.size(), 2u);
    s.boxes.boxes.clear();
}

// A game's palette of count entries, entry i coloured (255 - i, 3, blue).
HPALETTE GamePalette(int count, uint8_t blue) {
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto *logical = reinterpret_cast<LOGPALETTE *>(block.data());
    *logical = LOGPALETTE{0x300, uint16_t(count), {}};
    for (int i = 0; i < count; ++i) logical->palPalEntry[i] = PALETTEENTRY{uint8_t(255 - i), 3, blue, 0};
    return AnimCreatePalette(logical);
}

TEST(MasterPalette, AdoptionSelectionAndStart) {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    PatternSurface(engine, 4, 4);
    Window window(8, 8);
    int32_t realised = -7;
    // No palette yet: nothing selected.
    EXPECT_EQ(Box({SetPaletteEx(engine, window, &realised) == nullptr, realised}), Box({1, 0}));
    const uint32_t serial = ColourSerial(window);

    HPALETTE full = GamePalette(256, 0), shortPalette = GamePalette(16, 1);
    EXPECT_EQ(SetAnimPalette(engine, full), 256);
    EXPECT_EQ(SetAnimPalette(engine, shortPalette), 16);
    // The entries a short palette lacks keep their colours.
    EXPECT_EQ(Copies(engine)[2], Hexes(engine->masterColors));
    EXPECT_EQ(Hexes(engine->masterColors, 15, 16), (std::vector<uint32_t>{0xF00301, 0xEF0300}));
    // A deleted handle is as good as none: refused, nothing adopted.
    HPALETTE stale = GamePalette(4, 2);
    AnimDeletePalette(stale);
    EXPECT_EQ(SetAnimPalette(engine, stale), 0);
    EXPECT_EQ(MasterPalette(engine), shortPalette);
    EXPECT_EQ(boxes.boxes.size(), 1u);

    // The palette shows once it is selected and realised.
    EXPECT_EQ(Box({SetPaletteEx(engine, window, &realised) == nullptr, realised}), Box({1, 16}));
    EXPECT_EQ(Hexes(window.Colours().data(), 0, 15), Hexes(engine->masterColors, 0, 15));
    EXPECT_NE(ColourSerial(window), serial);
    AnimDeletePalette(full);

    // Without a device context the colours stay as they were, unpushed.
    auto *bare = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    EXPECT_EQ(Box({InitMasterPalette(bare, nullptr), bare->canvas.colorTableLive}), Box({0, 0}));
    EXPECT_EQ(InitMasterPalette(nullptr, platform::GetScreenDC()), 3);
    FREE(bare);
}

TEST(PaletteFades, BlacknessStepsToTheMasterColoursAndCyclingRotatesThem) {
    EffectScene s;
    const std::vector<uint32_t> start = s.Shown(), game = Hexes(s.engine->masterColors, 10, 245);
    // Already black, then at full colour: no step either way.
    EXPECT_EQ(Box({FadeBlacknessScene(s, 0), SetBlacknessFade(s, 1), FadeBlacknessScene(s, 1)}), Box({0, 1, 0}));
    EXPECT_EQ(s.Shown(10, 245), game);
    EXPECT_EQ(SetBlacknessFade(s, 0), 1);
    EXPECT_EQ(s.Shown(10, 245), std::vector<uint32_t>(236, 0));
    // The static colours never take part.
    EXPECT_EQ(s.Shown(0, 9), std::vector(start.begin(), start.begin() + 10));
    for (int step = 0; step < 15; ++step) EXPECT_EQ(FadeBlacknessScene(s, 1), 1);
    EXPECT_EQ(s.Shown(10, 245), game);

    // A limited range steps only its colours; ranges past either end of
    // the palette are refused whole.
    const std::vector<uint32_t> full = s.Shown();
    EXPECT_EQ(FadeBlacknessSceneLimited(s, 0, 100, 100), 1);
    const std::vector<uint32_t> stepped = s.Shown(99, 101);
    EXPECT_EQ(Box({stepped[0] == full[99], stepped[1] == full[100], stepped[2] == full[101]}), Box({1, 0, 1}));
    EXPECT_EQ(
        Box({FadeBlacknessSceneLimited(s, 0, -1, 20), SetBlacknessFadeLimited(s, 1, 0, 300), s.engine->fadeLevel}),
        Box({0, 0, 14}));

    // The x-ray fade shares the level and stops at its end.
    const RGBQUAD colours[30] = {};
    SetXrayFade(s, colours, 1);
    EXPECT_EQ(FadeXrayScene(s, 1), 0);

    // Cycling rotates a range of the master copy, so a fade comes back to it.
    SetBlacknessFade(s, 1);
    const std::vector<uint32_t> before = s.Shown();
    CyclePalette(s, 20, 22);
    const std::vector<uint32_t> rotated{before[19], before[21], before[22], before[20], before[23]};
    EXPECT_EQ(s.Shown(19, 23), rotated);
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
    Dib source = MakeDib(3, 2, [](int x, int y) { return uint8_t(100 + 3 * (1 - y) + x); });
    for (int n = 0; n < 6; ++n)
        reinterpret_cast<RGBQUAD *>(source.get() + 1)[100 + n] = {7, uint8_t(n % 3), uint8_t(n / 3), 99};
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
                          uint32_t((((y - want.second) % 2 + 2) % 2 << 16) | (((x - want.first) % 3 + 3) % 3 << 8) | 7))
                    << x << "," << y << " by " << dx << "," << dy;
    }
    EXPECT_EQ(s.engine->masterColors[10].rgbReserved, 0);  // not the source's 99
    // Sources the game colours cannot hold, or whose header claims more
    // than its block, are refused.
    const std::vector<uint32_t> before = s.Shown();
    Dib big(CreateDIB(16, 15)), liar(CreateDIB(2, 2));
    liar->biWidth = 100;
    for (BITMAPINFOHEADER *refused : {big.get(), liar.get()}) ScrollPaletteFromDIB(s, 0, 0, refused);
    EXPECT_EQ(s.Shown(), before);
}

}  // namespace
}  // namespace anim::test
