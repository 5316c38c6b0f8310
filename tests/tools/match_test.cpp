// End to end: the demo's generated art, which must keep the rules its
// playing depends on, packed through its manifest and played headless;
// the window's pixels are checked against what the match must show. Then
// the GIF writer the demo records with: what a viewer shows after each
// frame must be exactly the picture handed in, in the colours handed in,
// although only the changed area is stored and colour tables change
// between frames. (The PNG writer is held by the png_read fuzz target,
// which writes back every picture it reads.)
#include "match.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "animate.h"
#include "art.h"
#include "assets.h"
#include "game_palette.h"
#include "gif_file.h"
#include "test_support.h"

namespace {

using imageio::IndexedImage;

// Long enough that half time (and its wipe) never comes in these tests.
constexpr int kLongMatch = 100000;
constexpr std::uint32_t kSeed = 3;

bool In(int v, int first, int count) {
    return v >= first && v < first + count;
}

// The assets are built once, on first use: the tests only read them.
struct Built {
    anim::test::ScratchDir dir;
    demo::Assets assets;
    std::string error = demo::BuildAssets(dir.File("assets"), kSeed, assets);
};

class MatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
        static const Built built;
        ASSERT_EQ(built.error, "");
        assets = &built.assets;
    }
    const demo::Assets *assets = nullptr;
};

// The art is drawn in one palette, off the display's own colours; no pixel
// of the second kit in the first team's art (the table would move it out of
// the kit range); number art only in the segment colours, on the shirt; the
// background in the game's colours; the cycled colours on the scoreboard.
TEST_F(MatchTest, ArtKeepsTheColourRulesPlayingDependsOn) {
    EXPECT_TRUE(assets->packed.warnings.empty()) << assets->packed.warnings.front();
    const IndexedImage sheet = demo::DrawPlayerSheet(), numbers = demo::DrawNumberSheet();
    ASSERT_EQ(numbers.pixels.size(), sheet.pixels.size());
    for (std::size_t i = 0; i < sheet.pixels.size(); ++i) {
        const std::uint8_t v = sheet.pixels[i], n = numbers.pixels[i];
        const bool mark =
            i % demo::kCellWidth == 0 && i / static_cast<std::size_t>(sheet.width) % demo::kCellHeight == 0;
        EXPECT_FALSE(In(v, demo::kKitB, demo::kKitCount)) << i;
        EXPECT_TRUE(mark || n == 0 || ((In(n, 1, 9) || In(n, 246, 5)) && In(v, demo::kKitA, demo::kKitCount))) << i;
    }
    for (std::uint8_t v : demo::DrawPitch(4).pixels)
        ASSERT_TRUE(v >= demo::kGameFirst && v <= demo::kGameLast) << int(v);
    EXPECT_NE(demo::DrawPitch(4).pixels, demo::DrawPitch(5).pixels) << "the seed draws another crowd";
    const IndexedImage board = demo::DrawScoreboard(0, 0, 1);
    EXPECT_NE(board.pixels, demo::DrawScoreboard(12, 3, 2).pixels) << "the board shows the score";
    EXPECT_GT(std::count_if(board.pixels.begin(), board.pixels.end(),
                            [](std::uint8_t v) { return In(v, demo::kLights, demo::kLightCount); }),
              100);
}

// Each numbered view's first running frame, played from the packed file at
// the smallest scale the match draws players at: every digit, as the
// right-hand one of 10-19, a picture of its own.
TEST_F(MatchTest, ShirtNumbersStayLegibleAtTheSmallestScale) {
    demo::Match match;
    ASSERT_EQ(match.Start(*assets, kSeed, kLongMatch), "");
    EngineState *engine = match.engine();
    const std::int32_t obj = GetAnimObject(engine);
    auto paint = [&](demo::View view, int number, bool mirror) {
        SetAnimObjectAnim(engine, obj, demo::RunId(view), 0, 0);
        SetAnimObjectPlayerNumber(engine, obj, number, 0);
        ProjectFrameScaleFlip(engine, obj, 0, 0, 10, 1, demo::kSmallestScale, mirror ? ANIM_PROJECT_MIRROR : 0);
        RECT r{};
        GetSpriteRect(engine, &r, GetSprite(engine, obj));
        const std::uint8_t *pixels = GetSpritePDib(engine, GetSpriteDib(engine, obj));
        return std::vector<std::uint8_t>(pixels, pixels + ((r.right - r.left + 4) & ~3) * (r.bottom - r.top + 1));
    };
    const demo::View views[] = {demo::View::kFront, demo::View::kFrontRight, demo::View::kBackRight, demo::View::kBack};
    for (int v = 0; v < 8; ++v) {
        std::vector<std::uint8_t> digit[10];
        for (int d = 0; d < 10; ++d) digit[d] = paint(views[v / 2], 10 + d, v % 2 == 1);
        for (int a = 0; a < 10; ++a)
            for (int b = a + 1; b < 10; ++b)
                EXPECT_NE(digit[a], digit[b])
                    << a << " looks like " << b << " in view " << v / 2 << (v % 2 ? ", mirrored" : "");
    }
}

// The first half, then the half-time wipe, which changes ends.
TEST_F(MatchTest, PlayedMatchShowsKitsNumbersAndDepthScalingAnswersClicksAndChangesEnds) {
    anim::test::LeakCheck leaks;
    constexpr int kHalf = 91;  // frames before the wipe
    demo::Match match;
    ASSERT_EQ(match.Start(*assets, kSeed, 2 * kHalf), "");
    int strips = 0;
    match.onWipeStrip = [&] { ++strips; };

    // Kick-off fades in from black.
    match.Advance();
    const imageio::Colours first = match.Snapshot().colours;
    EXPECT_TRUE(std::all_of(first.begin() + demo::kGameFirst, first.begin() + demo::kGameLast + 1, [](imageio::Rgb c) {
        return std::max({c.r, c.g, c.b}) <= 255 / 15;
    }));

    // Numbers show only on views that carry them, so look over a stretch
    // of play.
    int rects = 0;
    std::array<int, 256> seen{};
    for (int n = 1; n < kHalf; ++n) {
        rects += match.Advance().rects;
        for (std::uint8_t p : match.Snapshot().pixels) seen[p] = 1;
    }
    EXPECT_GT(rects, 90) << "players move every frame, so every frame repaints something";
    EXPECT_TRUE(seen[demo::kNumberA]) << "first team's shirt numbers";
    EXPECT_TRUE(seen[demo::kNumberB]) << "second team's shirt numbers";
    const IndexedImage shot = match.Snapshot();
    // Faded in: the game's colours, bar the cycling lights.
    const imageio::Colours full = demo::GamePalette();
    for (int i = demo::kGameFirst; i <= demo::kGameLast; ++i)
        EXPECT_TRUE(In(i, demo::kLights, demo::kLightCount) || shot.colours[i] == full[i]) << i;

    auto kit = [&](int first) {
        return std::count_if(shot.pixels.begin(), shot.pixels.end(),
                             [&](std::uint8_t v) { return In(v, first, demo::kKitCount); });
    };
    EXPECT_GT(kit(demo::kKitA), 11 * 60) << "first team's kit";
    EXPECT_GT(kit(demo::kKitB), 11 * 60) << "second team's kit, through the recoloured table";
    EXPECT_TRUE(seen[demo::kBallWhite]) << "the ball";

    // Each player's sprite is the frame at the scale his height on the pitch
    // asks for.
    for (const demo::Player &p : match.players()) {
        RECT r{};
        GetSpriteRect(match.engine(), &r, GetSprite(match.engine(), p.object));
        EXPECT_EQ((r.right - r.left + 1) * 1000 + r.bottom - r.top + 1,
                  demo::kCellWidth * p.scale / 100 * 1000 + demo::kCellHeight * p.scale / 100);
        EXPECT_TRUE(p.scale >= 60 && p.scale <= 100) << p.scale;
    }

    // A player standing clear of the others, clicked on his shirt, is
    // highlighted; grass is not.
    const auto &all = match.players();
    const auto clear = std::find_if(all.begin(), all.end(), [&](const demo::Player &p) {
        return std::all_of(all.begin(), all.end(), [&](const demo::Player &q) {
            return &q == &p || std::abs(q.x - p.x) >= 45 || std::abs(q.y - p.y) >= 60;
        });
    });
    ASSERT_NE(clear, all.end()) << "no player stood clear";
    const int i = static_cast<int>(clear - all.begin());
    EXPECT_EQ(match.Click(static_cast<int>(std::lround(clear->x)),
                          static_cast<int>(std::lround(clear->y)) - 28 * clear->scale / 100),
              i);
    EXPECT_EQ(match.highlighted(), i);
    EXPECT_EQ(match.Click(2, 470), -1) << "grass in the corner";
    EXPECT_EQ(match.highlighted(), -1);

    // The wipe runs left to right in 5-pixel strips, a picture handed on
    // every eighth; the first team's left back starts the second half in the
    // other half.
    const double middle = (demo::kPitchLeft + demo::kPitchRight) / 2.0;
    EXPECT_LT(match.players()[5].x, middle);
    EXPECT_TRUE(match.Advance().wipe);
    EXPECT_FALSE(match.Advance().wipe);
    EXPECT_EQ(strips, (demo::kSceneWidth / 5) / 8);
    EXPECT_GT(match.players()[5].x, middle);
}

// Plays a 32 x 24 GIF file back the way a viewer does (frames drawn over the
// previous ones, transparent pixels left): each frame must show its picture
// in its colours.
void ExpectPlaysAs(const std::string &path, const std::vector<IndexedImage> &pictures) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    ASSERT_TRUE(gif != nullptr && DGifSlurp(gif) == GIF_OK && gif->SWidth == 32 && gif->SHeight == 24);
    EXPECT_EQ(static_cast<std::size_t>(gif->ImageCount), pictures.size());
    std::vector<imageio::Rgb> canvas(32 * 24);
    for (std::size_t i = 0; i < std::min(pictures.size(), static_cast<std::size_t>(gif->ImageCount)); ++i) {
        const SavedImage &image = gif->SavedImages[i];
        GraphicsControlBlock control{};  // no transparent colour unless the frame names one
        DGifSavedExtensionToGCB(gif, static_cast<int>(i), &control);
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const GifImageDesc &d = image.ImageDesc;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                const GifColorType c = map->Colors[index];
                if (index != control.TransparentColor)
                    canvas[static_cast<std::size_t>((d.Top + y) * 32 + d.Left + x)] = {c.Red, c.Green, c.Blue};
            }
        for (std::size_t p = 0; p < canvas.size(); ++p)
            ASSERT_TRUE(canvas[p] == pictures[i].colours[pictures[i].pixels[p]])
                << "frame " << i << " differs at " << p;
    }
    DGifCloseFile(gif, &error);
}

TEST(GifAnimation, ViewerSeesEveryFrameAsHandedInAndNothingUnfinishedIsLeft) {
    IndexedImage ramp(32, 24);
    for (int i = 0; i < 32 * 24; ++i)
        ramp.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i % 32 + 3 * (i / 32)) % 7 + 1);
    for (int i = 0; i < 256; ++i)
        ramp.colours[static_cast<std::size_t>(i)] =
            imageio::Rgb{static_cast<std::uint8_t>(i * 3), 40, static_cast<std::uint8_t>(255 - i)};
    std::vector<IndexedImage> pictures{ramp, ramp};  // a small square changes
    for (int i = 0; i < 16; ++i) pictures.back().At(10 + i % 4, 5 + i / 4) = 200;
    pictures.push_back(pictures.back());  // nothing changes
    pictures.push_back(pictures.back());  // same indices, colours of index 3 changed: every 3 pixel must be resent
    pictures.back().colours[3] = imageio::Rgb{1, 2, 3};
    pictures.push_back(pictures.back());  // every index in the changed area: no transparent index left
    for (int i = 0; i < 256; ++i) pictures.back().pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

    anim::test::ScratchDir dir;
    imageio::GifAnimation gif;
    EXPECT_TRUE(!gif.Open(dir.File("t.gif"), 0, 10).empty() && !gif.Open(dir.File("t.gif"), 70000, 10).empty())
        << "no picture, or wider than a GIF holds";
    ASSERT_EQ(gif.Open(dir.File("t.gif"), 32, 24), "");
    for (const IndexedImage &p : pictures) ASSERT_EQ(gif.AddFrame(p, 3), "");
    EXPECT_NE(gif.AddFrame(IndexedImage(8, 8), 3), "") << "a frame of another size must be refused";
    EXPECT_FALSE(std::filesystem::exists(dir.File("t.gif"))) << "an unfinished file under its name";
    ASSERT_EQ(gif.Finish(), "");
    ExpectPlaysAs(dir.File("t.gif"), pictures);
    ASSERT_EQ(std::make_unique<imageio::GifAnimation>()->Open(dir.File("u.gif"), 4, 4), "");  // and abandoned at once
    EXPECT_FALSE(std::filesystem::exists(dir.File("u.gif.part"))) << "an abandoned file leaves its temporary";
}

}  // namespace
