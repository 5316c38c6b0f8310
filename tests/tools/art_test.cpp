// The demo's generated art must keep the rules its playing depends on:
// every kit pixel inside the recoloured range, number art only in segment
// colours, a sheet grid the library measures, the same pictures on every run.
#include <gtest/gtest.h>

#include <cstring>

#include "animate.h"
#include "art.h"
#include "game_palette.h"

namespace {

using imageio::IndexedImage;

bool IsSegmentColour(std::uint8_t v) { return (v >= 1 && v <= 9) || (v >= 246 && v <= 250); }

TEST(MatchArt, SheetGridIsMeasuredAsTheCellSize) {
    const IndexedImage sheet = demo::DrawPlayerSheet();
    ASSERT_EQ(sheet.width, demo::kCellWidth * demo::kPosesPerView);
    ASSERT_EQ(sheet.height, demo::kCellHeight * demo::kViewCount);
    BITMAPINFOHEADER *dib = CreateDIB(sheet.width, sheet.height);
    ASSERT_NE(dib, nullptr);
    for (int y = 0; y < sheet.height; ++y) std::memcpy(GetDIBPixelAddress(dib, 0, y), sheet.Row(y), sheet.width);
    POINT steps{};
    GetDIBTemplateNumbers(dib, &steps);
    DeleteDIB(dib);
    EXPECT_EQ(steps.x, demo::kCellWidth);
    EXPECT_EQ(steps.y, demo::kCellHeight);
}

TEST(MatchArt, PlayersUseOnlyColoursTheSecondTeamCanBeMadeFrom) {
    const IndexedImage sheet = demo::DrawPlayerSheet();
    const IndexedImage numbers = demo::DrawNumberSheet();
    int kit = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            const std::uint8_t v = sheet.At(x, y);
            const bool mark = x % demo::kCellWidth == 0 && y % demo::kCellHeight == 0;
            if (mark || v == 0) continue;
            // No pixel of the second kit in the first team's art: the table
            // would move it out of the kit range.
            EXPECT_FALSE(v >= demo::kKitB && v < demo::kKitB + demo::kKitCount) << "at " << x << "," << y;
            EXPECT_FALSE(IsSegmentColour(v)) << "number colour in the art at " << x << "," << y;
            kit += v >= demo::kKitA && v < demo::kKitA + demo::kKitCount;
            // Number art lands on the shirt, never on skin, hair or grass.
            const std::uint8_t n = numbers.At(x, y);
            if (IsSegmentColour(n)) {
                EXPECT_TRUE(v >= demo::kKitA && v < demo::kKitA + demo::kKitCount) << "number off the shirt at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(kit, demo::kViewCount * demo::kPosesPerView * 150);
    for (int y = 0; y < numbers.height; ++y)
        for (int x = 0; x < numbers.width; ++x) {
            const std::uint8_t n = numbers.At(x, y);
            const bool mark = x % demo::kCellWidth == 0 && y % demo::kCellHeight == 0;
            EXPECT_TRUE(n == 0 || mark || IsSegmentColour(n)) << "at " << x << "," << y;
        }
}

TEST(MatchArt, SamePicturesEveryTimeAndSeedsMatter) {
    EXPECT_EQ(demo::DrawPitch(4).pixels, demo::DrawPitch(4).pixels);
    EXPECT_NE(demo::DrawPitch(4).pixels, demo::DrawPitch(5).pixels);
    const IndexedImage pitch = demo::DrawPitch(4);
    for (std::uint8_t v : pitch.pixels) {
        ASSERT_GE(v, demo::kGameFirst);
        ASSERT_LE(v, demo::kGameLast) << "the background's colours are taken from 10 to 245 only";
    }
    const IndexedImage low = demo::DrawScoreboard(0, 0, 1);
    const IndexedImage high = demo::DrawScoreboard(12, 3, 2);
    EXPECT_NE(low.pixels, high.pixels);
    int lights = 0;
    for (std::uint8_t v : low.pixels) lights += v >= demo::kLights && v < demo::kLights + demo::kLightCount;
    EXPECT_GT(lights, 100) << "the cycled colours are on the board";
}

}  // namespace
