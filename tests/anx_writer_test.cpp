// The multi-animation writer: the file layout byte for byte, the frames it
// stores decode back to their pictures, and its refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "anx_writer.h"
#include "player_art.h"
#include "test_support.h"

namespace {

using anim::test::LeakCheck;

std::uint32_t U32(const std::vector<std::uint8_t> &b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
std::uint16_t U16(const std::vector<std::uint8_t> &b, std::size_t at) {
    std::uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}
ANXFRAME HeaderAt(const std::vector<std::uint8_t> &b, std::size_t at) {
    ANXFRAME h;
    std::memcpy(&h, b.data() + at, sizeof h);
    return h;
}

TEST(AnxWriter, TwoFrameFileHasTheDocumentedLayout) {
    LeakCheck leaks;
    writer::Writer writer;
    auto run = anim::test::PlayerRun(2, 20, 30, false);
    ASSERT_TRUE(writer.AddScalableSequence(run, "walk"));
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(writer.Build(file));

    const std::uint32_t l0 = U32(file, 568);  // the writer keeps lengths there
    const std::uint32_t l1 = U32(file, 572);
    ASSERT_EQ(file.size(), 576u + l0 + l1);
    EXPECT_EQ(U16(file, 0), 1);
    EXPECT_EQ(U16(file, 2), 1);
    EXPECT_EQ(U16(file, 4), 0);
    EXPECT_EQ(U32(file, 8), 552 + l0 + l1);
    EXPECT_EQ(U32(file, 12), 552 + l0 + l1);
    EXPECT_EQ(U32(file, 16), 0u);
    EXPECT_EQ(U32(file, 20), 0u);
    EXPECT_EQ(static_cast<std::int16_t>(U16(file, 24)), 2);
    EXPECT_EQ(file[26], 4);
    EXPECT_EQ(U32(file, 28), writer.stats()[0].expandSize);
    EXPECT_EQ(U32(file, 28), 32u + 8u + 20u * 30u);
    EXPECT_EQ(U32(file, 556), 0u);
    EXPECT_EQ(U32(file, 560), 0u);
    EXPECT_EQ(U32(file, 564), l0);

    // Table in line form: every entry is (1, b) or a marker; entry 0 the header.
    std::uint16_t table[256];
    std::memcpy(table, file.data() + 44, sizeof table);
    const ANXFRAME f0 = HeaderAt(file, 576);
    const ANXFRAME f1 = HeaderAt(file, 576 + l0);
    EXPECT_EQ(f0.rectCount, 1);
    EXPECT_EQ(f0.compression & 1, 1);
    EXPECT_EQ(f0.rect.left, -10);
    EXPECT_EQ(f0.rect.top, -30);
    EXPECT_EQ(f1.adjustX, 1);
    EXPECT_EQ(f1.adjustY, -1);

    // Both frames decode back to their pictures.
    for (int k = 0; k < 2; ++k) {
        const auto *frame = reinterpret_cast<const ANXFRAME *>(file.data() + 576 + (k ? l0 : 0));
        ANXFRAME *raw = AnxUnKOVRLEFrame(frame, nullptr, table, nullptr, 0, 100, 0, 0, 0,
                                         ANX_STREAM_LINE_BY_LINE);
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
    auto plain = anim::test::PlayerRun(3, 16, 20, false);
    auto numbered = anim::test::PlayerRun(4, 40, 50, true, 2);
    numbered[1].number.reset();
    writer::SequenceOptions skip;
    skip.skipArea = {1, 2, 3, 4, 5};
    ASSERT_EQ(writer.AddScalableSequence(plain, "plain").index, 0);
    ASSERT_EQ(writer.AddScalableSequence(numbered, "numbered", skip).index, 1);
    writer::DeltaOptions options;
    options.keyInterval = 4;
    ASSERT_EQ(writer.AddDeltaSequence(anim::test::DeltaScene(9, 64, 40), "scene", options).index, 2);
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(writer.Build(file));

    EXPECT_EQ(U16(file, 2), 3);
    EXPECT_EQ(U16(file, 4), 1);
    const std::size_t body = 16 + 3 * 8;
    const std::uint32_t shortBody = U32(file, 12);
    EXPECT_EQ(file.size(), body + U32(file, 8));
    EXPECT_EQ(U32(file, 16 + 4), 0u);
    EXPECT_EQ(U32(file, 16 + 20), 0u);
    const std::uint32_t numbers = U32(file, 16 + 12);
    EXPECT_EQ(numbers, shortBody);

    // The numbered sequence keeps its skip area.
    const std::size_t seq = body + U32(file, 16 + 8);
    EXPECT_EQ(U32(file, seq + 532), 5u);
    EXPECT_EQ(file[seq + 536 + 4], 5);
    // Its number record gives frames without a number no overlay, and the
    // repeat frame the overlay of the frame it repeats.
    const std::size_t rec = body + numbers;
    EXPECT_EQ(static_cast<std::int16_t>(U16(file, rec)), 4);
    EXPECT_EQ(U32(file, rec + 22), 0xFFFFFFFFu);
    EXPECT_EQ(U32(file, rec + 26), U32(file, rec + 18));
    EXPECT_EQ(HeaderAt(file, rec + 18 + 32).rect.left, -20 + 10);

    // The delta sequence: negative count, key frames at 0, 4 and 8 only.
    const std::size_t delta = body + U32(file, 16 + 16);
    EXPECT_EQ(static_cast<std::int16_t>(U16(file, delta)), -9);
    const std::size_t deltaFrames = delta + 536 + 8 * 9;
    for (int k = 0; k < 9; ++k) {
        const ANXFRAME h = HeaderAt(file, deltaFrames + U32(file, delta + 536 + 4 * k));
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

    auto tooWide = anim::test::PlayerRun(1, 256, 10, false);
    EXPECT_FALSE(writer.AddScalableSequence(tooWide));
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
