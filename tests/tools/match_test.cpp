// End to end: the demo's generated art packed through its manifest,
// inspected, and played headless; then the window's pixels are checked
// against what the match must show.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "animate.h"
#include "anx_file.h"
#include "assets.h"
#include "game_palette.h"
#include "match.h"
#include "test_support.h"

namespace {

using anim::test::LeakCheck;
using anim::test::ScratchDir;

// Long enough that half time (and its wipe) never comes in these tests.
constexpr int kLongMatch = 100000;
constexpr std::uint32_t kSeed = 3;

// The assets are built once for the suite: the tests only read them.
class MatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
        dir_ = new ScratchDir;
        built_ = new demo::Assets;
        error_ = demo::BuildAssets(dir_->File("assets"), kSeed, *built_);
    }
    static void TearDownTestSuite() {
        delete built_;
        delete dir_;
        AnimSetTraceHandler(nullptr, nullptr);
    }
    void SetUp() override { ASSERT_EQ(error_, ""); }

    static inline ScratchDir *dir_ = nullptr;
    static inline demo::Assets *built_ = nullptr;
    static inline std::string error_;
    const demo::Assets &assets = *built_;
};

TEST_F(MatchTest, PackedArtInspectsAsTheManifestSays) {
    std::string error;
    auto file = anxinfo::ReadAnxFile(assets.anim, error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(file->problems.empty());
    // The art is drawn in one palette, off the display's own indices.
    EXPECT_TRUE(assets.packed.warnings.empty()) << assets.packed.warnings.front();
    ASSERT_EQ(file->sequences.size(), 2u * demo::kViewCount + 1);
    int with_numbers = 0;
    for (std::size_t i = 0; i < file->sequences.size(); ++i) {
        const anxinfo::Sequence &s = file->sequences[i];
        ASSERT_TRUE(s.meta);
        EXPECT_EQ(s.meta->id, assets.ids[i]);
        with_numbers += s.numbers ? 1 : 0;
        if (s.meta->id == demo::kFlagId) {
            EXPECT_TRUE(s.delta);
            EXPECT_EQ(s.frameCount, demo::kFlagFrames);
            continue;
        }
        EXPECT_FALSE(s.delta);
        EXPECT_EQ(s.expandSize, anxpack::ExpandSize(demo::kCellWidth, demo::kCellHeight));
        EXPECT_EQ(s.frameCount, s.meta->id < 200 ? demo::kRunPhases : 1);
    }
    // Every view but the profile carries a number, run and stand alike.
    EXPECT_EQ(with_numbers, 2 * (demo::kViewCount - 1));
}

TEST_F(MatchTest, PlayedMatchShowsBothKitsNumbersAndDepthScalingAndAnswersClicks) {
    LeakCheck leaks;
    demo::Match match;
    ASSERT_EQ(match.Start(assets, kSeed, kLongMatch), "");

    // Kick-off fades in from black.
    match.Advance();
    const imageio::Colours first = match.Snapshot().colours;
    for (int i = demo::kGameFirst; i <= demo::kGameLast; ++i)
        ASSERT_LE(std::max({first[i].r, first[i].g, first[i].b}), 255 / 15) << "colour " << i << " not faded";

    // Numbers show only on views that carry them, so look over a stretch
    // of play.
    int rects = 0;
    std::array<int, 256> seen{};
    for (int n = 0; n < 90; ++n) {
        rects += match.Advance().rects;
        for (std::uint8_t p : match.Snapshot().pixels) seen[p] = 1;
    }
    EXPECT_GT(rects, 90) << "players move every frame, so every frame repaints something";
    EXPECT_TRUE(seen[demo::kNumberA]) << "first team's shirt numbers";
    EXPECT_TRUE(seen[demo::kNumberB]) << "second team's shirt numbers";
    imageio::IndexedImage shot = match.Snapshot();
    const imageio::Colours full = demo::GamePalette();
    for (int i = demo::kGameFirst; i <= demo::kGameLast; ++i) {
        if (i >= demo::kLights && i < demo::kLights + demo::kLightCount) continue;  // cycling
        ASSERT_EQ(shot.colours[static_cast<std::size_t>(i)], full[static_cast<std::size_t>(i)]) << "colour " << i;
    }

    std::array<int, 256> count{};
    for (std::uint8_t p : shot.pixels) ++count[p];
    auto kit = [&](int first) { return std::accumulate(count.begin() + first, count.begin() + first + demo::kKitCount, 0); };
    EXPECT_GT(kit(demo::kKitA), 11 * 60) << "first team's kit";
    EXPECT_GT(kit(demo::kKitB), 11 * 60) << "second team's kit, through the recoloured table";
    EXPECT_GT(count[demo::kBallWhite], 0) << "the ball";

    // Each player's sprite is the frame at the scale his height on the pitch
    // asks for.
    for (const demo::Player &p : match.players()) {
        RECT r{};
        GetSpriteRect(match.engine(), &r, GetSprite(match.engine(), p.object));
        EXPECT_EQ(r.bottom - r.top + 1, demo::kCellHeight * p.scale / 100);
        EXPECT_EQ(r.right - r.left + 1, demo::kCellWidth * p.scale / 100);
        EXPECT_TRUE(p.scale >= 60 && p.scale <= 100) << p.scale;
    }

    // A player standing clear of the others, clicked on his shirt, is
    // highlighted; grass is not.
    for (int i = 0; i < demo::kPlayers; ++i) {
        const demo::Player &p = match.players()[static_cast<std::size_t>(i)];
        bool clear = true;
        for (const demo::Player &q : match.players()) clear &= &q == &p || std::abs(q.x - p.x) >= 45 || std::abs(q.y - p.y) >= 60;
        if (!clear) continue;
        EXPECT_EQ(match.Click(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)) - 28 * p.scale / 100), i);
        EXPECT_EQ(match.highlighted(), i);
        EXPECT_EQ(match.Click(2, 470), -1) << "grass in the corner";
        EXPECT_EQ(match.highlighted(), -1);
        return;
    }
    FAIL() << "no player stood clear";
}

TEST_F(MatchTest, SameSeedSamePicturesAndHalfTimeChangesEnds) {
    LeakCheck leaks;
    constexpr int kFrames = 12;
    demo::Match a, b;
    ASSERT_EQ(a.Start(assets, kSeed, kFrames), "");
    ASSERT_EQ(b.Start(assets, kSeed, kFrames), "");
    int strips = 0;
    a.onWipeStrip = [&] { ++strips; };
    double first_half_x = 0;
    for (int n = 0; n < kFrames; ++n) {
        const demo::FrameStats stats = a.Advance();
        b.Advance();
        ASSERT_EQ(a.Snapshot().pixels, b.Snapshot().pixels) << "frame " << n;
        if (n == kFrames / 2 - 1) first_half_x = a.players()[5].x;
        EXPECT_EQ(stats.wipe, n == kFrames / 2);
    }
    // The wipe runs left to right in 5-pixel strips; a picture is handed on
    // every eighth.
    EXPECT_EQ(strips, (demo::kSceneWidth / 5) / 8);
    // The first team's left back starts the second half in the other half.
    const double middle = (demo::kPitchLeft + demo::kPitchRight) / 2.0;
    EXPECT_LT(first_half_x, middle);
    EXPECT_GT(a.players()[5].x, middle);
}

}  // namespace
