// The demo's generated art must keep the rules its playing depends on:
// every kit pixel inside the recoloured range, number art only in segment
// colours, a sheet grid the library measures, the same pictures on every run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <memory>
#include <vector>

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

// ---- Shirt numbers at the smallest scale ------------------------------------

constexpr std::uint8_t kInk = 255;  // the number colour: in no art

// A cell of a sheet as a DIB, its grid mark cleared as the packer clears it.
BITMAPINFOHEADER *CellDib(const IndexedImage &sheet, demo::View view) {
    BITMAPINFOHEADER *dib = CreateDIB(demo::kCellWidth, demo::kCellHeight);
    const int top = static_cast<int>(view) * demo::kCellHeight;
    for (int y = 0; y < demo::kCellHeight; ++y)
        std::memcpy(GetDIBPixelAddress(dib, 0, y), sheet.Row(top + y), demo::kCellWidth);
    *GetDIBPixelAddress(dib, 0, 0) = 0;
    return dib;
}

// Which pixels of a decoded frame show the number, top row first.
struct Ink {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> on;
    bool operator==(const Ink &) const = default;
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && on[std::size_t(y * width + x)] != 0;
    }
};

// Areas of pixels whose ink is `ink`, neighbours sideways and up and down
// (and, with diagonals, corner to corner); with inside_only, only areas
// that do not reach the picture's edge (the holes of a digit).
int Areas(const Ink &p, bool ink, bool diagonals, bool inside_only) {
    std::vector<bool> seen(p.on.size());
    int areas = 0;
    for (int start = 0; start < p.width * p.height; ++start) {
        if (seen[std::size_t(start)] || p.At(start % p.width, start / p.width) != ink) continue;
        bool edge = false;
        std::vector<int> todo = {start};
        seen[std::size_t(start)] = true;
        while (!todo.empty()) {
            const int x = todo.back() % p.width, y = todo.back() / p.width;
            todo.pop_back();
            edge |= x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx != 0 && dy != 0 && !diagonals) || nx < 0 || ny < 0 || nx >= p.width ||
                        ny >= p.height || p.At(nx, ny) != ink || seen[std::size_t(ny * p.width + nx)])
                        continue;
                    seen[std::size_t(ny * p.width + nx)] = true;
                    todo.push_back(ny * p.width + nx);
                }
        }
        areas += inside_only && edge ? 0 : 1;
    }
    return areas;
}

// A view's first running frame and its number art, packed as the match packs
// them, then decoded at the smallest scale the match draws players at.
class ScaledNumbers {
public:
    explicit ScaledNumbers(demo::View view) {
        const RECT whole{0, 0, demo::kCellWidth - 1, demo::kCellHeight - 1};
        BITMAPINFOHEADER *player = CellDib(demo::DrawPlayerSheet(), view);
        ANXFRAME *raw = CopyDIBToAnxFrame(player, nullptr, &whole, 1);
        DeleteDIB(player);
        std::vector<std::uint32_t> statistics(KOVRLE_STATISTICS_COUNT);
        KOVRLEStartDecompTable(statistics.data());
        KOVRLEUpdateDecompTableLineByLine(GetAnxFrameRectAddress(raw, 0), demo::kCellWidth,
                                          demo::kCellHeight, statistics.data());
        KOVRLEFinishDecompTable(statistics.data(), table_, 0, KOVRLE_AUTO_LIMIT);
        KOVRLEConvertTableToLineForm(table_);
        frame_.reset(AnxKOVRLEFrameLineByLine(raw, table_, demo::kCellWidth, demo::kCellHeight));
        BITMAPINFOHEADER *art = CellDib(demo::DrawNumberSheet(), view);
        overlay_.reset(AnxFrameLineByLine(CopyDIBToAnxFrame(art, nullptr, &whole, 1), nullptr,
                                          demo::kCellWidth, demo::kCellHeight));
        DeleteDIB(art);
    }
    bool Packed() const { return frame_ && overlay_; }

    Ink Paint(int number, bool mirror) {
        ANXFRAME *frame = AnxUnKOVRLEFrame(frame_.get(), overlay_.get(), table_, nullptr, 0,
                                           demo::kSmallestScale, number, kInk, mirror ? 1 : 0,
                                           ANX_STREAM_LINE_BY_LINE);
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
    struct FrameFree {
        void operator()(ANXFRAME *f) const { DeleteAnxFrame(f); }
    };
    std::uint16_t table_[KOVRLE_TABLE_ENTRIES] = {};
    std::unique_ptr<ANXFRAME, FrameFree> frame_;
    std::unique_ptr<ANXFRAME, FrameFree> overlay_;
};

TEST(MatchArt, ShirtNumbersStayLegibleAtTheSmallestScale) {
    for (demo::View view : {demo::View::kFront, demo::View::kFrontRight, demo::View::kBackRight,
                            demo::View::kBack}) {
        ScaledNumbers numbers(view);
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
