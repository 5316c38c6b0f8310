// The demo's generated art must keep the rules its playing depends on:
// every kit pixel inside the recoloured range, number art only in segment
// colours, a sheet grid the library measures, the same pictures on every
// run, shirt numbers legible at the smallest scale.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "animate.h"
#include "art.h"
#include "game_palette.h"

namespace {

using imageio::IndexedImage;
using demo::kCellHeight;
using demo::kCellWidth;

bool IsSegmentColour(std::uint8_t v) { return (v >= 1 && v <= 9) || (v >= 246 && v <= 250); }
bool In(std::uint8_t v, int first, int count) { return v >= first && v < first + count; }

// Rows top .. top + h - 1 of a picture, w wide, as a DIB.
BITMAPINFOHEADER *Dib(const IndexedImage &img, int top, int w, int h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int y = 0; y < h; ++y) std::memcpy(GetDIBPixelAddress(dib, 0, y), img.Row(top + y), static_cast<std::size_t>(w));
    return dib;
}

TEST(MatchArt, SheetsKeepTheGridAndTheColoursTheSecondTeamIsMadeFrom) {
    const IndexedImage sheet = demo::DrawPlayerSheet(), numbers = demo::DrawNumberSheet();
    ASSERT_EQ(sheet.width, kCellWidth * demo::kPosesPerView);
    ASSERT_EQ(sheet.height, kCellHeight * demo::kViewCount);
    ASSERT_EQ(numbers.pixels.size(), sheet.pixels.size());
    BITMAPINFOHEADER *dib = Dib(sheet, 0, sheet.width, sheet.height);
    POINT steps{};
    GetDIBTemplateNumbers(dib, &steps);
    DeleteDIB(dib);
    EXPECT_EQ(steps.x * 1000 + steps.y, kCellWidth * 1000 + kCellHeight) << "the grid is measured as the cell size";
    int kit = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            const std::uint8_t v = sheet.At(x, y), n = numbers.At(x, y);
            const bool mark = x % kCellWidth == 0 && y % kCellHeight == 0;
            EXPECT_TRUE(n == 0 || mark || IsSegmentColour(n)) << "number art off the segment colours at " << x << "," << y;
            if (mark || v == 0) continue;
            // No pixel of the second kit in the first team's art: the table
            // would move it out of the kit range.
            EXPECT_FALSE(In(v, demo::kKitB, demo::kKitCount)) << "at " << x << "," << y;
            EXPECT_FALSE(IsSegmentColour(v)) << "number colour in the art at " << x << "," << y;
            kit += In(v, demo::kKitA, demo::kKitCount);
            // Number art lands on the shirt, never on skin, hair or grass.
            EXPECT_TRUE(!IsSegmentColour(n) || In(v, demo::kKitA, demo::kKitCount)) << "number off the shirt at " << x << "," << y;
        }
    }
    EXPECT_GT(kit, demo::kViewCount * demo::kPosesPerView * 150);
}

TEST(MatchArt, SamePicturesEveryTimeAndSeedsMatter) {
    EXPECT_EQ(demo::DrawPitch(4).pixels, demo::DrawPitch(4).pixels);
    EXPECT_NE(demo::DrawPitch(4).pixels, demo::DrawPitch(5).pixels);
    for (std::uint8_t v : demo::DrawPitch(4).pixels)
        ASSERT_TRUE(v >= demo::kGameFirst && v <= demo::kGameLast) << "the background's colours are taken from 10 to 245 only";
    const IndexedImage low = demo::DrawScoreboard(0, 0, 1);
    EXPECT_NE(low.pixels, demo::DrawScoreboard(12, 3, 2).pixels);
    int lights = 0;
    for (std::uint8_t v : low.pixels) lights += In(v, demo::kLights, demo::kLightCount);
    EXPECT_GT(lights, 100) << "the cycled colours are on the board";
}

// ---- Shirt numbers at the smallest scale ------------------------------------

constexpr std::uint8_t kInk = 255;  // the number colour: in no art

// Which pixels of a decoded frame show the number, top row first.
struct Ink {
    int width = 0, height = 0;
    std::vector<std::uint8_t> on;
    bool operator==(const Ink &) const = default;
};

// Areas of pixels whose ink is `ink`, neighbours sideways and up and down
// (and, with diagonals, corner to corner); with inside_only, only areas
// that do not reach the picture's edge (the holes of a digit).
int Areas(Ink p, bool ink, bool diagonals, bool inside_only) {
    // Marks the area at (x, y) as seen (2); true when it reaches the edge.
    std::function<bool(int, int)> fill = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= p.width || y >= p.height) return true;
        std::uint8_t &v = p.on[static_cast<std::size_t>(y * p.width + x)];
        if (v != (ink ? 1 : 0)) return false;
        v = 2;
        bool edge = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) edge |= (dx != 0 || dy != 0) && (diagonals || dx == 0 || dy == 0) && fill(x + dx, y + dy);
        return edge;
    };
    int areas = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.on[static_cast<std::size_t>(y * p.width + x)] == (ink ? 1 : 0)) areas += fill(x, y) && inside_only ? 0 : 1;
    return areas;
}

// A view's first running frame and its number art, packed as the match packs
// them (grid mark cleared), then decoded at the smallest scale the match draws players at.
class ScaledNumbers {
public:
    ScaledNumbers(const IndexedImage &players, const IndexedImage &numbers, demo::View view) {
        ANXFRAME *raw = Cell(players, view);
        std::vector<std::uint32_t> statistics(KOVRLE_STATISTICS_COUNT);
        KOVRLEStartDecompTable(statistics.data());
        KOVRLEUpdateDecompTableLineByLine(GetAnxFrameRectAddress(raw, 0), kCellWidth, kCellHeight, statistics.data());
        KOVRLEFinishDecompTable(statistics.data(), table_, 0, KOVRLE_AUTO_LIMIT);
        KOVRLEConvertTableToLineForm(table_);
        frame_ = AnxKOVRLEFrameLineByLine(raw, table_, kCellWidth, kCellHeight);
        overlay_ = AnxFrameLineByLine(Cell(numbers, view), nullptr, kCellWidth, kCellHeight);
    }
    ~ScaledNumbers() {
        DeleteAnxFrame(frame_);
        DeleteAnxFrame(overlay_);
    }
    bool Packed() const { return frame_ && overlay_; }

    Ink Paint(int number, bool mirror) {
        ANXFRAME *frame = AnxUnKOVRLEFrame(frame_, overlay_, table_, nullptr, 0, demo::kSmallestScale, number, kInk,
                                           mirror ? 1 : 0, ANX_STREAM_LINE_BY_LINE);
        BITMAPINFOHEADER *dib = CopyAnxFrameRectToDIB(frame, 0);
        DeleteAnxFrame(frame);
        Ink ink;
        if (dib == nullptr) return ink;
        ink.width = dib->biWidth;
        ink.height = dib->biHeight;
        for (int y = 0; y < ink.height; ++y)
            for (int x = 0; x < ink.width; ++x) ink.on.push_back(*GetDIBPixelAddress(dib, x, y) == kInk);
        DeleteDIB(dib);
        return ink;
    }

private:
    static ANXFRAME *Cell(const IndexedImage &sheet, demo::View view) {
        BITMAPINFOHEADER *dib = Dib(sheet, static_cast<int>(view) * kCellHeight, kCellWidth, kCellHeight);
        *GetDIBPixelAddress(dib, 0, 0) = 0;
        const RECT whole{0, 0, kCellWidth - 1, kCellHeight - 1};
        ANXFRAME *raw = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
        DeleteDIB(dib);
        return raw;
    }
    std::uint16_t table_[KOVRLE_TABLE_ENTRIES] = {};
    ANXFRAME *frame_ = nullptr, *overlay_ = nullptr;
};

TEST(MatchArt, ShirtNumbersStayLegibleAtTheSmallestScale) {
    const IndexedImage players = demo::DrawPlayerSheet(), sheet = demo::DrawNumberSheet();
    for (demo::View view : {demo::View::kFront, demo::View::kFrontRight, demo::View::kBackRight, demo::View::kBack}) {
        ScaledNumbers numbers(players, sheet, view);
        ASSERT_TRUE(numbers.Packed());
        for (bool mirror : {false, true}) {
            SCOPED_TRACE("view " + std::to_string(static_cast<int>(view)) + (mirror ? ", mirrored" : ""));
            // Every digit, as the right-hand one of 10-19, a picture of its own.
            Ink digit[10];
            for (int d = 0; d < 10; ++d) digit[d] = numbers.Paint(10 + d, mirror);
            for (int a = 0; a < 10; ++a)
                for (int b = a + 1; b < 10; ++b) EXPECT_NE(digit[a], digit[b]) << a << " looks like " << b;
            // A 6 is a 5 with its lower-left stroke.
            bool lower_left = false;
            for (std::size_t i = 0; i < digit[6].on.size(); ++i) lower_left |= digit[6].on[i] && !digit[5].on[i];
            EXPECT_TRUE(lower_left) << "the 6 lost its lower-left stroke";
            // Strokes that must stay apart do: 88 is two digits of two holes each.
            const Ink eighty_eight = numbers.Paint(88, mirror);
            EXPECT_EQ(Areas(eighty_eight, true, true, false), 2) << "the two digits run together";
            EXPECT_EQ(Areas(eighty_eight, false, false, true), 4) << "an 8 closed up";
        }
    }
}

}  // namespace
