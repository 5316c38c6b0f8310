// The multi-animation writer: the file layout byte for byte, the frames it
// stores decode back to their pictures, and its refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "anx_writer.h"
#include "player_art.h"
#include "test_support.h"

namespace {

using anim::test::LeakCheck;

template <typename T = std::uint32_t>
T At(const std::vector<std::uint8_t> &b, std::size_t at) {
    T v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}
// Checks (offset, value) pairs of 32-bit fields.
void ExpectFields(const std::vector<std::uint8_t> &file, std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields) {
    for (auto [at, value] : fields) EXPECT_EQ(At(file, at), value) << "at " << at;
}

TEST(AnxWriter, TwoFrameFileHasTheDocumentedLayout) {
    LeakCheck leaks;
    writer::Writer writer;
    auto run = anim::test::PlayerRun(2, 20, 30, false);
    ASSERT_TRUE(writer.AddScalableSequence(run, "walk"));
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(writer.Build(file));

    const std::uint32_t l0 = At(file, 568), l1 = At(file, 572);  // the writer keeps lengths there
    ASSERT_EQ(file.size(), 576u + l0 + l1);
    EXPECT_EQ(At(file, 0), 0x00010001u);
    EXPECT_EQ(At<std::uint16_t>(file, 4), 0);
    ExpectFields(file, {{8, 552 + l0 + l1}, {12, 552 + l0 + l1}, {16, 0}, {20, 0},
                        {28, 32u + 8u + 20u * 30u}, {556, 0}, {560, 0}, {564, l0}});
    EXPECT_EQ(At<std::int16_t>(file, 24), 2);
    EXPECT_EQ(file[26], 4);
    EXPECT_EQ(At(file, 28), writer.stats()[0].expandSize);
    const auto f0 = At<ANXFRAME>(file, 576), f1 = At<ANXFRAME>(file, 576 + l0);
    EXPECT_EQ(f0.rectCount, 1);
    EXPECT_EQ(f0.compression & 1, 1);
    EXPECT_EQ(f0.rect.left, -10);
    EXPECT_EQ(f0.rect.top, -30);
    EXPECT_EQ(f1.adjustX, 1);
    EXPECT_EQ(f1.adjustY, -1);

    // Both frames decode back to their pictures through the file's table.
    std::uint16_t table[256];
    std::memcpy(table, file.data() + 44, sizeof table);
    for (int k = 0; k < 2; ++k) {
        const auto *frame = reinterpret_cast<const ANXFRAME *>(file.data() + 576 + (k ? l0 : 0));
        ANXFRAME *raw = AnxUnKOVRLEFrame(frame, nullptr, table, nullptr, 0, 100, 0, 0, 0, ANX_STREAM_LINE_BY_LINE);
        ASSERT_NE(raw, nullptr);
        const std::uint8_t *pixels = GetAnxFrameRectAddress(raw, 0);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(pixels[(29 - y) * 20 + x], run[k].image.at(x, y)) << k << " " << x << "," << y;
        DeleteAnxFrame(raw);
    }
}

TEST(AnxWriter, NumbersRepeatsSkipAreasAndDeltaSequences) {
    LeakCheck leaks;
    writer::Writer writer;
    auto numbered = anim::test::PlayerRun(4, 40, 50, true, 2);
    numbered[1].number.reset();
    writer::SequenceOptions skip;
    skip.skipArea = {1, 2, 3, 4, 5};
    writer::DeltaOptions options;
    options.keyInterval = 4;
    ASSERT_EQ(writer.AddScalableSequence(anim::test::PlayerRun(3, 16, 20, false), "plain").index, 0);
    ASSERT_EQ(writer.AddScalableSequence(numbered, "numbered", skip).index, 1);
    ASSERT_EQ(writer.AddDeltaSequence(anim::test::DeltaScene(9, 64, 40), "scene", options).index, 2);
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(writer.Build(file));

    const std::size_t body = 16 + 3 * 8;
    EXPECT_EQ(At(file, 0) >> 16, 3u);
    EXPECT_EQ(file.size(), body + At(file, 8));
    const std::uint32_t numbers = At(file, 16 + 12);
    EXPECT_EQ(At<std::uint16_t>(file, 4), 1);
    ExpectFields(file, {{16 + 4, 0}, {16 + 20, 0}, {12, numbers}});
    // The numbered sequence keeps its skip area.
    const std::size_t seq = body + At(file, 16 + 8);
    EXPECT_EQ(At(file, seq + 532), 5u);
    EXPECT_EQ(file[seq + 536 + 4], 5);
    // Its number record gives frames without a number no overlay, and the
    // repeat frame the overlay of the frame it repeats.
    const std::size_t rec = body + numbers;
    EXPECT_EQ(At<std::int16_t>(file, rec), 4);
    EXPECT_EQ(At(file, rec + 22), 0xFFFFFFFFu);
    EXPECT_EQ(At(file, rec + 26), At(file, rec + 18));
    EXPECT_EQ(At<ANXFRAME>(file, rec + 18 + 32).rect.left, -20 + 10);

    // The delta sequence: negative count, key frames at 0, 4 and 8 only.
    const std::size_t delta = body + At(file, 16 + 16);
    EXPECT_EQ(At<std::int16_t>(file, delta), -9);
    for (int k = 0; k < 9; ++k) {
        const auto h = At<ANXFRAME>(file, delta + 536 + 8 * 9 + At(file, delta + 536 + 4 * k));
        EXPECT_EQ(h.compressionHigh == 0, k % 4 == 0) << k;
        EXPECT_EQ(h.compression & 1, 1);
        EXPECT_EQ(h.rect.left, 5);
        EXPECT_EQ(h.rect.bottom, 7 + 39);
    }
    const auto &stats = writer.stats();
    ASSERT_EQ(stats.size(), 3u);
    EXPECT_EQ(stats[1].repeatFrames, 1);
    EXPECT_EQ(stats[1].numberFrames, 2);
    EXPECT_EQ(stats[2].keyFrames, 3);
    EXPECT_GT(stats[2].rectangles, 0);
    EXPECT_LT(stats[2].storedBytes, stats[2].rawBytes);
    EXPECT_NE(writer::FormatStats(stats).find("numbered"), std::string::npos);
}

TEST(AnxWriter, RefusesWhatTheFormatCannotHold) {
    LeakCheck leaks;
    writer::Writer writer;
    std::vector<std::uint8_t> file;
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
    EXPECT_EQ(writer.sequenceCount(), 0u);

    // Pictures may come from DIBs.
    BITMAPINFOHEADER *dib = CreateDIB(5, 3);
    *GetDIBPixelAddress(dib, 4, 0) = 77;
    const writer::Image fromDib = writer::ImageFromDib(dib);
    DeleteDIB(dib);
    ASSERT_EQ(fromDib.width, 5);
    EXPECT_EQ(fromDib.at(4, 0), 77);
    EXPECT_EQ(fromDib.at(4, 2), 0);
    EXPECT_EQ(writer::ImageFromDib(nullptr).width, 0);

    anim::test::ScratchDir dir;
    ASSERT_TRUE(writer.AddScalableSequence(anim::test::PlayerRun(1, 8, 8, false)));
    EXPECT_TRUE(writer.Write(dir.File("one.anx")));
    EXPECT_FALSE(writer.Write(dir.File("missing/one.anx")));
    ASSERT_TRUE(writer.Build(file));
    EXPECT_EQ(anim::test::ReadFileBytes(dir.File("one.anx")), file);
}

}  // namespace
