// The master palette: the game's colours, the handle that animates them,
// the surface's own copy, and selection into a window.
#include "engine_fixture.h"
#include "platform/display_objects.h"

namespace anim::test {
namespace {

// Each entry as 0xFFRRGGBB: its flags, then its colour.
std::vector<uint32_t> EntriesOf(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(256);
    EXPECT_EQ(AnimGetPaletteEntries(palette, 0, 256, entries.data()), 256u);
    std::vector<uint32_t> out;
    for (const PALETTEENTRY &e : entries)
        out.push_back(uint32_t(e.peFlags) << 24 | e.peRed << 16 | e.peGreen << 8 | e.peBlue);
    return out;
}

// The master copy, the surface's colours and those of its bitmap (what the
// direct copy shows).
std::vector<std::vector<uint32_t>> Copies(const Engine &e) {
    return {Hexes(e->masterColors), Hexes(e->canvas.colors),
            Hexes(e->canvas.hBitmap->colors.data())};
}

TEST(MasterPalette, ColourCopiesReachEveryTableAndRedirectOnlyTheSurface) {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    PatternSurface(engine, 4, 4);
    HPALETTE palette = LoadGameColours(engine);
    // Only the animatable game colours are flagged for the window.
    std::vector<uint32_t> flagged = Hexes(engine->canvas.colors);
    for (int i = 10; i <= 245; ++i)
        flagged[i] |= (platform::kPcReserved | platform::kPcNoCollapse) << 24;
    EXPECT_EQ(EntriesOf(palette), flagged);
    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i) table[i] = Rgb(1, uint8_t(i), 2);
    ColorsFromTable(engine, table, -5, 300);
    EXPECT_EQ(Copies(engine), std::vector(3, Hexes(table)));

    // A DIB's colour table, taken by the same indices; one colour alone.
    Dib dib(CreateDIB(2, 2));
    const RGBQUAD colour = Rgb(9, 8, 7);
    reinterpret_cast<RGBQUAD *>(dib.get() + 1)[42] = colour;
    ColorsFromBI(engine, dib.get(), 42, 42);
    AddColor(engine, 77, &colour);
    for (const std::vector<uint32_t> &copy : Copies(engine))
        EXPECT_EQ(Box({int32_t(copy[42]), int32_t(copy[77])}), Box({0x090807, 0x090807}));

    // Refusals say why.
    AddColor(engine, 256, &colour);
    TraceCapture trace;
    ColorsFromBI(engine, nullptr, 10, 245);
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_TRUE(trace.lines()[0].starts_with("MASTPAL line ") &&
                trace.lines()[0].ends_with(": NULL parm in ColorsFromBI\r\n"))
        << trace.lines()[0];

    // Redirection shows in the surface alone; an index outside the table: 3.
    std::vector<std::vector<uint32_t>> redirected = Copies(engine);
    redirected[1][20] = redirected[2][20] = redirected[1][30];
    EXPECT_EQ(RedirectColor(engine, 20, 30), 0);
    EXPECT_EQ(Copies(engine), redirected);
    EXPECT_EQ(RedirectColor(engine, 20, 256), 3);
    EXPECT_EQ(boxes.boxes.size(), 2u);
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

TEST(MasterPalette, AdoptionSelectionAndStart) {
    LeakCheck leaks;
    BoxCapture boxes;
    Engine engine;
    PatternSurface(engine, 4, 4);
    Window window(8, 8);
    int32_t realised = -7;
    EXPECT_EQ(SetPaletteEx(engine, window, &realised), nullptr);
    EXPECT_EQ(realised, 0);  // no palette yet: nothing selected
    const uint32_t serial = ColourSerial(window);

    HPALETTE full = GamePalette(256, 0), shortPalette = GamePalette(16, 1);
    EXPECT_EQ(SetAnimPalette(engine, full), 256);
    EXPECT_EQ(MasterPalette(engine), full);
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
    EXPECT_EQ(SetPaletteEx(engine, window, &realised), nullptr);
    EXPECT_EQ(realised, 16);
    EXPECT_EQ(Hexes(window.Colours().data(), 0, 15), Hexes(engine->masterColors, 0, 15));
    EXPECT_NE(ColourSerial(window), serial);
    AnimDeletePalette(full);

    // Without a device context the colours stay as they were, unpushed.
    auto *bare = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    EXPECT_EQ(InitMasterPalette(bare, nullptr), 0);
    EXPECT_EQ(bare->canvas.colorTableLive, 0);
    EXPECT_EQ(InitMasterPalette(nullptr, platform::GetScreenDC()), 3);
    FREE(bare);
}

}  // namespace
}  // namespace anim::test
