#include <gtest/gtest.h>

#include <cstring>

#include "animate.h"
#include "animate/engine_state.h"
#include "palette_fixture.h"
#include "platform/display.h"
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

TEST(MasterPalette, StartsFromTheSystemPaletteWithBothStaticEnds) {
    anim::test::LeakCheck leaks;
    PaletteEngine engine;
    PALETTEENTRY system[256];
    ASSERT_EQ(anim::platform::GetSystemPaletteEntries(anim::platform::GetScreenDC(), 0, 256, system),
              256u);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD &c = engine.get()->masterColors[i];
        EXPECT_EQ(c.rgbRed, system[i].peRed) << i;
        EXPECT_EQ(c.rgbGreen, system[i].peGreen) << i;
        EXPECT_EQ(c.rgbBlue, system[i].peBlue) << i;
        EXPECT_TRUE(SameRgb(c, engine.canvas().colors[i])) << i;
    }
    // The display's first and last static colours: black and white.
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[0], Rgb(0, 0, 0)));
    EXPECT_TRUE(SameRgb(engine.get()->masterColors[255], Rgb(255, 255, 255)));
    EXPECT_EQ(engine.canvas().colorTableLive, 1);
    EXPECT_EQ(MasterPalette(engine.get()), nullptr);
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
    // Reserved but outside the game colours: only the reserved flag.
    HPALETTE partial = engine.Keep(CreateMasterPalette(engine.get(), 5, 12));
    const std::vector<PALETTEENTRY> entries = EntriesOf(partial);
    EXPECT_EQ(entries[4].peFlags, 0);
    EXPECT_EQ(entries[5].peFlags, 1);
    EXPECT_EQ(entries[12].peFlags, 5);
    EXPECT_EQ(entries[13].peFlags, 4);
}

}  // namespace
