#include <gtest/gtest.h>

#include <cstring>

#include "animate.h"
#include "animate/engine_state.h"
#include "palette_fixture.h"
#include "platform/display_objects.h"
#include "test_support.h"

namespace {

using anim::test::BoxCapture;
using anim::test::PaletteEngine;
using anim::test::Rgb;
using anim::test::SameRgb;

std::vector<PALETTEENTRY> EntriesOf(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(256);
    EXPECT_EQ(AnimGetPaletteEntries(palette, 0, 256, entries.data()), 256u);
    return entries;
}

TEST(MasterPalette, FlagsMarkTheReservedRangeAndTheGameColours) {
    anim::test::LeakCheck leaks;
    PaletteEngine engine;
    engine.LoadGameColours();
    struct Case {
        int32_t first, last;
        uint8_t below, game, above;  // flags of 0-9, 10-245, 246-255
    };
    for (Case c : {Case{10, 245, 0, 5, 0}, Case{-255, -255, 0, 0, 0}, Case{0, 255, 1, 5, 1},
                   Case{300, -300, 0, 4, 0}}) {
        HPALETTE palette = engine.Keep(CreateMasterPalette(engine.get(), c.first, c.last));
        ASSERT_NE(palette, nullptr);
        EXPECT_EQ(MasterPalette(engine.get()), palette);
        const std::vector<PALETTEENTRY> entries = EntriesOf(palette);
        for (int i = 0; i < 256; ++i) {
            const uint8_t expected = i < 10 ? c.below : i > 245 ? c.above : c.game;
            ASSERT_EQ(entries[i].peFlags, expected) << c.first << ".." << c.last << " at " << i;
            ASSERT_EQ(entries[i].peRed, engine.canvas().colors[i].rgbRed);
            ASSERT_EQ(entries[i].peBlue, engine.canvas().colors[i].rgbBlue);
        }
    }
}

using anim::test::TraceCapture;

// The colours the surface bitmap itself holds (what a WinG copy shows).
RGBQUAD BitmapColour(const PaletteEngine &engine, int index) {
    return engine.canvas().hBitmap->colors[index];
}

TEST(MasterPalette, ColourCopiesClampTheirRangeAndReachEveryTable) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    PaletteEngine engine;
    engine.MakePatternSurface(4, 4);
    HPALETTE palette = engine.LoadGameColours();
    const std::vector<PALETTEENTRY> before = EntriesOf(palette);

    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i) table[i] = Rgb(1, static_cast<uint8_t>(i), 2);
    ColorsFromTable(engine.get(), table, 200, 100);  // empty range: nothing
    EXPECT_FALSE(SameRgb(engine.get()->masterColors[150], table[150]));
    ColorsFromTable(engine.get(), table, -5, 300);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(SameRgb(engine.get()->masterColors[i], table[i])) << i;
        ASSERT_TRUE(SameRgb(engine.canvas().colors[i], table[i])) << i;
        ASSERT_TRUE(SameRgb(BitmapColour(engine, i), table[i])) << i;
    }
    // The handle waits for the next CreateMasterPalette.
    const std::vector<PALETTEENTRY> after = EntriesOf(palette);
    EXPECT_EQ(std::memcmp(before.data(), after.data(), 256 * sizeof(PALETTEENTRY)), 0);

    // A DIB's colour table, taken by the same indices.
    BITMAPINFOHEADER *dib = CreateDIB(2, 2);
    const RGBQUAD dibColour = Rgb(9, 8, 7);
    std::memcpy(reinterpret_cast<uint8_t *>(dib) + 40 + 4 * 42, &dibColour, sizeof dibColour);
    ColorsFromBI(engine.get(), dib, 42, 42);
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[42], dibColour));
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[43], table[43]));
    DeleteDIB(dib);

    AddColor(engine.get(), 77, &dibColour);
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[77], dibColour));
    EXPECT_TRUE(SameRgb(BitmapColour(engine, 77), dibColour));
    EXPECT_TRUE(boxes.boxes().empty());

    // Refusals change nothing and say why.
    const RGBQUAD saved[2] = {engine.get()->masterColors[0], engine.get()->masterColors[255]};
    AddColor(engine.get(), 256, &dibColour);
    AddColor(engine.get(), -1, &dibColour);
    ColorsFromTable(engine.get(), nullptr, 0, 255);
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[0], saved[0]));
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[255], saved[1]));
    EXPECT_EQ(boxes.boxes().size(), 3u);
    TraceCapture trace;
    ColorsFromBI(engine.get(), nullptr, 10, 245);
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_EQ(trace.lines()[0].rfind("MASTPAL line ", 0), 0u) << trace.lines()[0];
    EXPECT_NE(trace.lines()[0].find(": NULL parm in ColorsFromBI\r\n"), std::string::npos);
    EXPECT_EQ(boxes.boxes().size(), 3u);
}

TEST(MasterPalette, RedirectionShowsOnlyInTheSurface) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    PaletteEngine engine;
    engine.MakePatternSurface(4, 4);
    HPALETTE palette = engine.LoadGameColours();
    const RGBQUAD master20 = engine.get()->masterColors[20];
    const RGBQUAD colour30 = engine.get()->masterColors[30];

    EXPECT_EQ(RedirectColor(engine.get(), 20, 30), 0);
    EXPECT_TRUE(SameRgb(engine.canvas().colors[20], colour30));
    EXPECT_TRUE(SameRgb(BitmapColour(engine, 20), colour30));
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[20], master20));
    EXPECT_EQ(EntriesOf(palette)[20].peRed, master20.rgbRed);

    EXPECT_EQ(RedirectColor(engine.get(), 20, 256), 3);
    EXPECT_EQ(RedirectColor(engine.get(), -1, 30), 3);
    EXPECT_EQ(RedirectColor(nullptr, 20, 30), 3);
    EXPECT_EQ(boxes.boxes().size(), 3u);

    // Adopting nothing still brings the master copy in line with the
    // surface, redirection included.
    EXPECT_EQ(SetAnimPalette(engine.get(), nullptr), 0);
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[20], colour30));
    EXPECT_EQ(MasterPalette(engine.get()), palette);
}

// A game's palette of count entries, entry i coloured (255 - i, 3, blue).
HPALETTE GamePalette(int count, uint8_t blue) {
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    const LOGPALETTE header{0x300, static_cast<uint16_t>(count), {}};
    std::memcpy(block.data(), &header, sizeof header);
    for (int i = 0; i < count; ++i) {
        const PALETTEENTRY e{static_cast<uint8_t>(255 - i), 3, blue, 0};
        std::memcpy(block.data() + 4 + 4 * i, &e, sizeof e);
    }
    return AnimCreatePalette(reinterpret_cast<LOGPALETTE *>(block.data()));
}

TEST(MasterPalette, AdoptedPalettesAreTheGamesOwn) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    PaletteEngine engine;
    engine.MakePatternSurface(4, 4);

    HPALETTE full = engine.Keep(GamePalette(256, 0));
    EXPECT_EQ(SetAnimPalette(engine.get(), full), 256);
    EXPECT_EQ(MasterPalette(engine.get()), full);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(SameRgb(engine.get()->masterColors[i], Rgb(static_cast<uint8_t>(255 - i), 3, 0)));
        ASSERT_TRUE(SameRgb(BitmapColour(engine, i), engine.get()->masterColors[i]));
    }
    // A short palette: the entries it lacks keep their colours.
    HPALETTE shortPalette = engine.Keep(GamePalette(16, 1));
    EXPECT_EQ(SetAnimPalette(engine.get(), shortPalette), 16);
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[15], Rgb(255 - 15, 3, 1)));
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[16], Rgb(255 - 16, 3, 0)));
    EXPECT_TRUE(boxes.boxes().empty());

    // A deleted handle is as good as none: refused, nothing adopted.
    HPALETTE stale = GamePalette(4, 2);
    AnimDeletePalette(stale);
    EXPECT_EQ(SetAnimPalette(engine.get(), stale), 0);
    EXPECT_EQ(MasterPalette(engine.get()), shortPalette);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Canvas error 4 ", 0), 0u);
}

TEST(MasterPalette, SelectionIntoAWindow) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    PaletteEngine engine;
    anim::test::Window window(8, 8);

    int32_t realised = -7;
    EXPECT_EQ(SetPaletteEx(engine.get(), window.dc(), &realised), nullptr);
    EXPECT_EQ(realised, 0);  // no palette yet: nothing selected

    HPALETTE palette = engine.LoadGameColours();
    EXPECT_EQ(SetPaletteEx(engine.get(), window.dc(), &realised), nullptr);
    EXPECT_EQ(realised, 256);
    EXPECT_EQ(SetPalette(engine.get(), window.dc()), palette);
    const std::vector<RGBQUAD> shown = window.Colours();
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(SameRgb(shown[i], engine.get()->masterColors[i])) << i;
    EXPECT_TRUE(boxes.boxes().empty());

    realised = -7;
    EXPECT_EQ(SetPaletteEx(engine.get(), nullptr, &realised), nullptr);
    EXPECT_EQ(realised, -7);
    EXPECT_EQ(SetPaletteEx(nullptr, window.dc(), &realised), nullptr);
    EXPECT_EQ(realised, -7);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Canvas error 4 ", 0), 0u);
    EXPECT_EQ(boxes.boxes()[1].text.rfind("Canvas error 3 ", 0), 0u);
}

TEST(MasterPalette, StartFailuresAndReservedColours) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    auto *engine = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    // Without a device context the colours stay as they were, unpushed.
    EXPECT_EQ(InitMasterPalette(engine, nullptr), 0);
    EXPECT_EQ(engine->canvas.colorTableLive, 0);
    EXPECT_EQ(InitMasterPalette(nullptr, anim::platform::GetScreenDC()), 3);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind("Canvas error 4 ", 0), 0u);
    EXPECT_EQ(CreateMasterPalette(nullptr, 10, 245), nullptr);
    EXPECT_EQ(MasterPalette(nullptr), nullptr);
    FREE(engine);
}

}  // namespace
