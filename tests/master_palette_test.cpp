// The master palette: the game's colours, the handle that animates them,
// the surface's own copy, and selection into a window.
#include <utility>

#include "engine_fixture.h"
#include "platform/display_objects.h"

namespace anim::test {
namespace {

std::vector<PALETTEENTRY> EntriesOf(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(256);
    EXPECT_EQ(AnimGetPaletteEntries(palette, 0, 256, entries.data()), 256u);
    return entries;
}

// The colours the surface bitmap itself holds (what a WinG copy shows).
const RGBQUAD *BitmapColours(const Engine &e) {
    return e.canvas().hBitmap->colors.data();
}

TEST(MasterPalette, FlagsMarkTheReservedRangeAndTheGameColours) {
    LeakCheck leaks;
    Engine engine;
    HPALETTE previous = LoadGameColours(engine);
    // first, last, then the flags of 0-9, 10-245 and 246-255
    for (auto [first, last, below, game, above] : {std::tuple{10, 245, 0, 5, 0},
                                                   {-255, -255, 0, 0, 0},
                                                   {0, 255, 1, 5, 1},
                                                   {300, -300, 0, 4, 0}}) {
        HPALETTE palette = CreateMasterPalette(engine, first, last);
        ASSERT_NE(palette, nullptr);
        AnimDeletePalette(std::exchange(previous, palette));
        EXPECT_EQ(MasterPalette(engine), palette);
        const std::vector<PALETTEENTRY> entries = EntriesOf(palette);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(entries[i].peFlags, i < 10    ? below
                                          : i > 245 ? above
                                                    : game)
                << first << ".." << last << " at " << i;
            ASSERT_EQ(Hex(RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0}),
                      Hex(engine.canvas().colors[i]));
        }
    }
}

TEST(MasterPalette, ColourCopiesClampTheirRangeReachEveryTableAndRedirectOnlyTheSurface) {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    PatternSurface(engine, 4, 4);
    HPALETTE palette = LoadGameColours(engine);
    const std::vector<PALETTEENTRY> before = EntriesOf(palette);

    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i) table[i] = Rgb(1, uint8_t(i), 2);
    ColorsFromTable(engine, table, 200, 100);  // empty range: nothing
    EXPECT_NE(Hex(engine->masterColors[150]), Hex(table[150]));
    ColorsFromTable(engine, table, -5, 300);
    for (const RGBQUAD *copy : {(const RGBQUAD *)engine->masterColors,
                                (const RGBQUAD *)engine.canvas().colors, BitmapColours(engine)})
        EXPECT_EQ(Hexes(copy), Hexes(table));
    // The handle waits for the next CreateMasterPalette.
    EXPECT_EQ(std::memcmp(before.data(), EntriesOf(palette).data(), 256 * sizeof(PALETTEENTRY)), 0);

    // A DIB's colour table, taken by the same indices.
    Dib dib(CreateDIB(2, 2));
    const RGBQUAD colour = Rgb(9, 8, 7);
    reinterpret_cast<RGBQUAD *>(dib.get() + 1)[42] = colour;
    ColorsFromBI(engine, dib.get(), 42, 42);
    AddColor(engine, 77, &colour);
    EXPECT_EQ(Hexes(engine->masterColors, 42, 43), (std::vector{Hex(colour), Hex(table[43])}));
    EXPECT_EQ(Hex(BitmapColours(engine)[77]), Hex(colour));
    EXPECT_EQ(Hex(engine->masterColors[77]), Hex(colour));

    // Refusals change nothing and say why.
    const std::vector<uint32_t> kept = Hexes(engine->masterColors);
    AddColor(engine, 256, &colour);
    AddColor(engine, -1, &colour);
    ColorsFromTable(engine, nullptr, 0, 255);
    EXPECT_EQ(Hexes(engine->masterColors), kept);
    EXPECT_EQ(boxes.boxes.size(), 3u);
    TraceCapture trace;
    ColorsFromBI(engine, nullptr, 10, 245);
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_TRUE(trace.lines()[0].starts_with("MASTPAL line ") &&
                trace.lines()[0].ends_with(": NULL parm in ColorsFromBI\r\n"))
        << trace.lines()[0];

    // Redirection shows in the surface alone.
    const RGBQUAD master20 = engine->masterColors[20], colour30 = engine->masterColors[30];
    EXPECT_EQ(RedirectColor(engine, 20, 30), 0);
    EXPECT_EQ(
        (std::vector{Hex(engine.canvas().colors[20]), Hex(BitmapColours(engine)[20]),
                     Hex(engine->masterColors[20]), uint32_t(EntriesOf(palette)[20].peRed)}),
        (std::vector{Hex(colour30), Hex(colour30), Hex(master20), uint32_t(before[20].peRed)}));
    EXPECT_EQ(Box({RedirectColor(engine, 20, 256), RedirectColor(engine, -1, 30),
                   RedirectColor(nullptr, 20, 30)}),
              Box({3, 3, 3}));
    EXPECT_EQ(boxes.boxes.size(), 6u);
    // Adopting nothing still brings the master copy in line with the
    // surface, redirection included.
    EXPECT_EQ(SetAnimPalette(engine, nullptr), 0);
    EXPECT_EQ(Hex(engine->masterColors[20]), Hex(colour30));
    EXPECT_EQ(MasterPalette(engine), palette);
}

// A game's palette of count entries, entry i coloured (255 - i, 3, blue).
HPALETTE GamePalette(int count, uint8_t blue) {
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto *logical = reinterpret_cast<LOGPALETTE *>(block.data());
    *logical = LOGPALETTE{0x300, uint16_t(count), {}};
    for (int i = 0; i < count; ++i)
        logical->palPalEntry[i] = PALETTEENTRY{uint8_t(255 - i), 3, blue, 0};
    return AnimCreatePalette(logical);
}

TEST(MasterPalette, AdoptedPalettesAreTheGamesOwn) {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    PatternSurface(engine, 4, 4);
    HPALETTE full = GamePalette(256, 0);
    EXPECT_EQ(SetAnimPalette(engine, full), 256);
    EXPECT_EQ(MasterPalette(engine), full);
    std::vector<uint32_t> want;
    for (int i = 0; i < 256; ++i) want.push_back(Hex(Rgb(uint8_t(255 - i), 3, 0)));
    EXPECT_EQ(Hexes(engine->masterColors), want);
    EXPECT_EQ(Hexes(BitmapColours(engine)), want);
    // A short palette: the entries it lacks keep their colours.
    HPALETTE shortPalette = GamePalette(16, 1);
    EXPECT_EQ(SetAnimPalette(engine, shortPalette), 16);
    EXPECT_EQ(Hexes(engine->masterColors, 15, 16), (std::vector<uint32_t>{0xF00301, 0xEF0300}));
    EXPECT_TRUE(boxes.boxes.empty());

    // A deleted handle is as good as none: refused, nothing adopted.
    HPALETTE stale = GamePalette(4, 2);
    AnimDeletePalette(stale);
    EXPECT_EQ(SetAnimPalette(engine, stale), 0);
    EXPECT_EQ(MasterPalette(engine), shortPalette);
    EXPECT_EQ(boxes.Codes(), std::vector<int>{4});
    AnimDeletePalette(full);
}

TEST(MasterPalette, SelectionIntoAWindowAndStartFailures) {
    LeakCheck leaks;
    BoxCapture boxes;
    {
        Engine engine;
        Window window(8, 8);
        int32_t realised = -7;
        EXPECT_EQ(SetPaletteEx(engine, window, &realised), nullptr);
        EXPECT_EQ(realised, 0);  // no palette yet: nothing selected
        HPALETTE palette = LoadGameColours(engine);
        EXPECT_EQ(SetPaletteEx(engine, window, &realised), nullptr);
        EXPECT_EQ(realised, 256);
        EXPECT_EQ(SetPalette(engine, window), palette);
        EXPECT_EQ(Hexes(window.Colours().data()), Hexes(engine->masterColors));
        EXPECT_TRUE(boxes.boxes.empty());
        realised = -7;
        EXPECT_EQ(SetPaletteEx(engine, nullptr, &realised), nullptr);
        EXPECT_EQ(SetPaletteEx(nullptr, window, &realised), nullptr);
        EXPECT_EQ(realised, -7);
        EXPECT_EQ(boxes.Codes(), (std::vector<int>{4, 3}));
        // An adopted palette shows once it is selected and realised.
        const uint32_t serial = ColourSerial(window);
        EXPECT_EQ(SetAnimPalette(engine, GamePalette(256, 9)), 256);
        EXPECT_EQ(ColourSerial(window), serial);
        SetPalette(engine, window);
        EXPECT_NE(ColourSerial(window), serial);
        EXPECT_EQ(Hex(window.Colours()[0]), 0xFF0309u);
        AnimDeletePalette(palette);  // replaced as the master
    }
    auto *engine = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    // Without a device context the colours stay as they were, unpushed.
    EXPECT_EQ(InitMasterPalette(engine, nullptr), 0);
    EXPECT_EQ(engine->canvas.colorTableLive, 0);
    EXPECT_EQ(InitMasterPalette(nullptr, platform::GetScreenDC()), 3);
    EXPECT_EQ(boxes.Codes().at(2), 4);
    EXPECT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(CreateMasterPalette(nullptr, 10, 245), nullptr);
    EXPECT_EQ(MasterPalette(nullptr), nullptr);
    FREE(engine);
}

}  // namespace
}  // namespace anim::test
