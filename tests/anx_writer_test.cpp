// The multi-animation writer: the fields readers never check (lengths, the
// writer's zeros), delta key frames, and its refusals. The loader's and
// projector's tests play its files against their pictures.
#include <gtest/gtest.h>

#include <cstring>

#include "anx_writer.h"
#include "player_art.h"
#include "test_support.h"

namespace {

using anim::test::LeakCheck;
using File = std::vector<std::uint8_t>;

template <typename T = std::uint32_t>
T At(const File &b, std::size_t at) {
    T v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

// A delta sequence has a negative count and a whole key frame (no key
// colour) every keyInterval frames.
TEST(AnxWriter, FileLayoutAndDeltaKeyFrames) {
    LeakCheck leaks;
    writer::Writer writer;
    ASSERT_TRUE(writer.AddScalableSequence(anim::test::PlayerRun(2, 20, 30, false), "walk"));
    File file;
    ASSERT_TRUE(writer.Build(file));
    const std::uint32_t l0 = At(file, 568), l1 = At(file, 572);  // the writer keeps lengths there
    ASSERT_EQ(file.size(), 576u + l0 + l1);
    for (auto [at, value] : {std::pair<std::size_t, std::uint32_t>{0, 0x00010001u}, {8, 552 + l0 + l1},
                             {12, 552 + l0 + l1}, {16, 0}, {20, 0}, {28, 32u + 8u + 20u * 30u}, {556, 0}, {564, l0}})
        EXPECT_EQ(At(file, at), value) << "at " << at;
    EXPECT_EQ(At<std::int16_t>(file, 24), 2);

    writer::Writer deltas;
    writer::DeltaOptions options;
    options.keyInterval = 4;
    ASSERT_TRUE(deltas.AddDeltaSequence(anim::test::DeltaScene(9, 64, 40), "scene", options));
    ASSERT_TRUE(deltas.Build(file));
    const std::size_t delta = 16 + 8 + At(file, 16);
    EXPECT_EQ(At<std::int16_t>(file, delta), -9);
    for (int k = 0; k < 9; ++k) {
        const auto h = At<ANXFRAME>(file, delta + 536 + 8 * 9 + At(file, delta + 536 + 4 * k));
        EXPECT_EQ(h.compressionHigh == 0, k % 4 == 0) << k;
    }
}

TEST(AnxWriter, RefusesWhatTheFormatCannotHold) {
    LeakCheck leaks;
    writer::Writer writer;
    File file;
    EXPECT_FALSE(writer.Build(file));
    EXPECT_FALSE(writer.AddScalableSequence({}));
    EXPECT_FALSE(writer.AddScalableSequence(anim::test::PlayerRun(1, 256, 10, false)));  // too wide
    auto badRepeat = anim::test::PlayerRun(3, 10, 10, false);
    badRepeat[1].repeatOf = 2;
    badRepeat[2].repeatOf = 0;  // frame 1 repeats a repeat
    EXPECT_FALSE(writer.AddScalableSequence(badRepeat));
    badRepeat[1].repeatOf = 1;  // itself
    badRepeat[2].repeatOf = writer::kNoRepeat;
    EXPECT_FALSE(writer.AddScalableSequence(badRepeat));
    auto outside = anim::test::PlayerRun(1, 20, 20, true);
    outside[0].number->left = 15;
    EXPECT_FALSE(writer.AddScalableSequence(outside));
    auto mixed = anim::test::DeltaScene(3, 30, 30);
    mixed[2].image = writer::Image(31, 30);
    EXPECT_FALSE(writer.AddDeltaSequence(mixed));
    EXPECT_FALSE(writer.AddDeltaSequence(anim::test::PlayerRun(1, 20, 20, true)));  // numbered
    EXPECT_EQ(writer.sequenceCount(), 0u);

    anim::test::ScratchDir dir;
    ASSERT_TRUE(writer.AddScalableSequence(anim::test::PlayerRun(1, 8, 8, false)));
    EXPECT_FALSE(writer.Write(dir.File("missing/one.anx")));
}

}  // namespace
