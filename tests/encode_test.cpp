// The codec's frame streams: tables finished from run statistics (escape byte,
// markers, ties, limits), exact streams for small pictures, round trips
// through those tables, and the decoder's refusals.
// Random pictures go through the same round trips in the encode fuzz target.
// Last, the multi-animation writer that packs these frames into files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <functional>
#include <vector>

#include "animate.h"
#include "anx_writer.h"
#include "codec/step_table.h"
#include "dib/anx_frame.h"
#include "dib/packed_dib.h"
#include "platform/platform.h"
#include "player_art.h"
#include "test_support.h"

namespace {

using namespace anim::dib;
using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;

// A raw frame of one width x height rectangle whose pixel area is area.
ANXFRAME *RawFrame(int width, int height, const Bytes &area) {
    auto *f = static_cast<ANXFRAME *>(ALLOCATE(uint32_t(40 + area.size())));
    const ANXRECT rect{0, 0, int16_t(width - 1), int16_t(height - 1)};
    StoreHeader(f, ANXFRAME{4, 32, 1, uint32_t(area.size()), 0, 0x00AB, rect, 0, 0, 0, 0, 0, 0});
    StoreEntry(f, 0, rect);
    if (!area.empty()) std::memcpy(reinterpret_cast<uint8_t *>(f) + 40, area.data(), area.size());
    return f;
}
Bytes BlockBytes(const void *block) {
    const auto *b = static_cast<const uint8_t *>(block);
    return Bytes(b, b + anim::platform::BlockSize(block));
}
// The stream of an encoded frame, checking the header it carries; releases f.
Bytes Stream(ANXFRAME *f, uint16_t mark, uint32_t rawSize) {
    const ANXFRAME h = LoadHeader(f);
    EXPECT_EQ((std::array<uint32_t, 3>{h.compression, h.compressionHigh, h.dataSize}),
              (std::array<uint32_t, 3>{mark, 0xAB, rawSize}));
    const Bytes all = BlockBytes(f);
    DeleteAnxFrame(f);
    return Bytes(all.begin() + 40, all.end());
}
// Encodes raw and expects null with the block as it was; releases raw.
void ExpectRefused(const std::function<void *(ANXFRAME *)> &encode, ANXFRAME *raw) {
    const Bytes before = BlockBytes(raw);
    EXPECT_EQ(encode(raw), nullptr);
    EXPECT_EQ(BlockBytes(raw), before);
    DeleteAnxFrame(raw);
}

struct Count {  // count runs of n pixels of v
    uint8_t v;
    uint32_t n, count;
    bool wholeFrame = false;
};
using Runs = std::vector<Count>;
Runs Spread(uint8_t v, uint32_t from, uint32_t to) {  // one run of each length from..to-1
    Runs r;
    for (uint32_t n = from; n < to; ++n) r.push_back({v, n, 1});
    return r;
}
Runs Singles(int except) {
    Runs r;
    for (int v = 1; v < 256; ++v) r.push_back({uint8_t(v), 1, v != except});
    return r;
}

struct TableCase {
    const char *name;
    Runs runs;
    uint32_t reserve, limit;
    std::vector<std::pair<int, uint16_t>> entries;  // checked entries
    int fillWith = -1;                              // when set, every other entry must hold it
    int traces = -1;                                // when set, the count of trace lines
};

TEST(DecompTable, FinishedTables) {
    const Runs spread = Spread(0x40, 2, 32);  // value total 30, each pair 2
    Runs served = Spread(0x50, 40, 45);       // with spread and a run of 3 of each of 0x30..0x35
    served.insert(served.end(), spread.begin(), spread.end());
    for (uint8_t v = 0x30; v < 0x36; ++v) served.push_back({v, 3, 1});
    std::vector<std::pair<int, uint16_t>> pairsOnly{{32, 0x0001}};
    for (int n = 2; n < 32; ++n) pairsOnly.push_back({n, uint16_t(n << 8 | 0x40)});
    const uint32_t kAuto = KOVRLE_AUTO_LIMIT;
    const TableCase cases[] = {
        {"worked example",
         {{0x10, 3, 40}, {0x10, 7, 10}, {0x20, 3, 30}, {0x20, 1, 5}, {0x30, 10, 25}},
         0,
         kAuto,
         {{0, 1}, {2, 0x0310}, {3, 0x0320}, {4, 0x0A30}, {5, 0x0710}},
         1,
         1},
        // Seen only in long runs of a whole frame, 1 is unused and becomes E
        // (the single 2 counted whole keeps 2 from being a marker);
        // counted row by row a long run keeps it plain, or a line stream
        // could not name it.
        {"whole-frame long runs",
         {{1, 150, 1, true}, {1, 300, 1, true}, {2, 1, 1, true}, {0x40, 5, 12}},
         0,
         kAuto,
         {{0, 1}, {3, 0x0540}},
         1,
         1},
        {"row long runs", {{1, 150, 3}, {0x40, 5, 12}}, 0, kAuto, {{0, 2}, {3, 0x0540}}, 2},
        {"reserve 2", {{0x40, 5, 12}}, 2, kAuto, {{0, 3}, {4, 0x0540}}, 3},
        {"ties: lower value first", {{0x40, 5, 10}, {0x30, 5, 10}}, 0, kAuto, {{0, 1}, {2, 0x0530}, {3, 0x0540}}, 1},
        {"held value heads the value order", spread, 1, 0x7FFF, {{0, 2}, {3, 0x0001}, {4, 0x0040}}},
        {"every value used: no escape", Singles(-1), 0, kAuto, {{0, 0}}, 0},
        {"the one unused value held back", Singles(0x80), 1, kAuto, {{0, 0}}, 0},
        {"value marker wins", spread, 0, 0x7FFF, {{2, 0x0040}}},
        {"253 free bytes: value markers from the second on", spread, 0, 253, {{2, 0x0240}, {3, 0x0040}}},
        {"limit with low 16 bits 0: pairs only", spread, 0, 0x10000, pairsOnly, -1, 1},
        // Length 3 keeps 6 of its 7 runs and beats the value total 5 of 0x50.
        {"value marker takes its runs out once", served, 0, 0x7FFF, {{2, 0x0040}, {3, 0x0301}}, -1, 1},
        {"limit 0: single pixels score nothing", {{0x40, 1, 5}}, 0, 0, {{0, 1}}, 1, 1},
    };
    for (const TableCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> s(KOVRLE_STATISTICS_COUNT, 0xDEAD);  // starting clears every counter
        KOVRLEStartDecompTable(s.data());
        for (const Count &r : c.runs) {
            const std::vector<uint8_t> pixels(r.n * r.count, r.v);
            if (r.wholeFrame)
                KOVRLEUpdateDecompTable(pixels.data(), r.n, s.data());
            else
                KOVRLEUpdateDecompTableLineByLine(pixels.data(), r.n, r.count, s.data());
        }
        anim::test::TraceCapture trace;
        anim::test::PumpCounter pumps;
        Table t;
        t.fill(0xEEEE);
        KOVRLEFinishDecompTable(s.data(), t.data(), c.reserve, c.limit);
        EXPECT_EQ(pumps.calls(), 255);
        Table want = t;
        if (c.fillWith >= 0) want.fill(uint16_t(c.fillWith));
        for (auto [b, e] : c.entries) want[b] = e;
        EXPECT_EQ(t, want);
        if (c.traces >= 0) {
            EXPECT_EQ(int(trace.lines().size()), c.traces);
        }
        if (c.traces > 0) {
            EXPECT_EQ(trace.lines()[0], "Unused KOVRLE marker!! - could lose compression efficiency\n\r");
        }
    }
}

// The worked example's table: E = 5, value marker 6 (0x20), length marker 7
// (4), pair marker 8 (3 of 0x11).
const Table kExampleTable = [] {
    Table t;
    t.fill(0x0005);
    t[6] = 0x0020;
    t[7] = 0x0405;
    t[8] = 0x0311;
    return t;
}();
const Bytes kExample = {0x11, 0x11, 0x11, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x33, 0x33,
                        0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x12, 0x13, 0x13};

struct RowCase {
    bool lines;
    const Table &table;
    Bytes row, stream;
};

TEST(Encode, RowsInBothStreamKinds) {
    anim::test::LeakCheck leaks;
    const Table &t = kExampleTable;
    Table lineForm = t;  // one-pixel entries of line form are not markers
    KOVRLEConvertTableToLineForm(lineForm.data());
    // The line decoder reads colour bytes through the table: colour 6 can be
    // named by a marker whose low byte is 6, and without one not at all.
    Table named = t;
    named[9] = 0x0306;
    const Bytes lineExample = {0x0D, 0x08, 0x06, 0x06, 0x07, 0x33, 0x05, 0x05, 0x44, 0x12, 0x05, 0x02, 0x13};
    const RowCase cases[] = {
        // Just the 21 pixels, so that no pad byte lengthens the last run.
        {false, t, kExample, {0x08, 0x06, 0x06, 0x07, 0x33, 0x05, 0x05, 0x44, 0x12, 0x13, 0x13}},
        {true, t, kExample, lineExample},
        {true, lineForm, kExample, lineExample},
        {false, t, Bytes(300, 0x44), {5, 255, 0x44, 5, 45, 0x44}},
        {false, t, Bytes(257, 0x44), {5, 255, 0x44, 0x44, 0x44}},  // used value: plain
        {false, t, Bytes(150, 0x20), {6, 150}},                    // value marker only
        // E and marker bytes left over after 255 are coded, never plain.
        {false, t, Bytes(257, 0x05), {5, 255, 5, 5, 2, 5}},
        {false, t, Bytes(259, 0x05), {5, 255, 5, 7, 5}},  // E's run of 4: length marker
        {false, t, {0x08, 0x06, 0x06}, {5, 1, 8, 5, 2, 6}},
        {true, t, Bytes(300, 0x44), {7, 5, 255, 0x44, 5, 45, 0x44}},
        {true, named, Bytes(5, 0x06), {4, 5, 5, 9}},
    };
    for (const RowCase &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.lines ? "lines, " : "whole, ") << c.row.size() << " of "
                                        << int(c.row[0]));
        Bytes area = c.row;
        if (c.lines) area.resize(anim::platform::RowStride(int(c.row.size())), c.row.back());
        ANXFRAME *raw = RawFrame(int(c.row.size()), 1, area);
        anim::test::PumpCounter pumps;  // once a pixel and once at the end
        ANXFRAME *f = c.lines ? AnxKOVRLEFrameLineByLine(raw, c.table.data(), uint16_t(c.row.size()), 1)
                              : AnxKOVRLEFrame(raw, c.table.data());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(Stream(f, 1, uint32_t(area.size())), c.stream);
        EXPECT_EQ(pumps.calls(), int(c.row.size()) + 1);
    }
    ExpectRefused([&](ANXFRAME *f) { return AnxKOVRLEFrameLineByLine(f, t.data(), 4, 1); },
                  RawFrame(4, 1, Bytes(4, 0x06)));
}

TEST(Encode, NumberOverlayRecordLengthLimitAndSingleEscapeStreams) {
    anim::test::LeakCheck leaks;
    Bytes overlayArea(40, 1);
    std::fill_n(overlayArea.begin(), 20, 2);
    std::memcpy(overlayArea.data() + 20, "\x00\x64\xC8", 3);
    ANXFRAME *overlay = AnxFrameLineByLine(RawFrame(20, 2, overlayArea), nullptr, 20, 2);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(Stream(overlay, 1, 40), (Bytes{3, 0xF3, 0x53, 4, 0x30, 0xF1, 0x21}));

    // A record counts itself, so its length byte 0 stands for 256: 255
    // alternating classes fit, 256 do not.
    Bytes alternate(512);
    for (size_t i = 0; i < 256; ++i) alternate[i] = i % 2;
    ANXFRAME *fits =
        AnxFrameLineByLine(RawFrame(255, 1, Bytes(alternate.begin(), alternate.begin() + 256)), nullptr, 255, 1);
    ASSERT_NE(fits, nullptr);
    const Bytes record = Stream(fits, 1, 256);
    EXPECT_EQ(record.size(), 256u);
    EXPECT_EQ(record[0], 0);
    // The long row comes first, with room behind it in the work buffer.
    ExpectRefused([&](ANXFRAME *f) { return AnxFrameLineByLine(f, nullptr, 256, 2); }, RawFrame(256, 2, alternate));

    ANXFRAME *f = CompressAnxFrame(RawFrame(8, 1, Bytes{0, 0, 0, 0, 7, 7, 1, 3}));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Stream(f, 2, 8), (Bytes{2, 0, 4, 7, 7, 1, 3}));
    ANXFRAME *empty = CompressAnxFrame(RawFrame(0, 0, Bytes{}));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(Stream(empty, 1, 0), Bytes{});

    // Width 5: rows 9 9 9 9 9 and 9 9 9 1 1, pad bytes 0.
    for (int contiguous : {0, 1}) {
        BITMAPINFOHEADER *dib = CreateDIB(5, 2);
        std::memset(Pixels(dib), 9, 5);
        std::memcpy(Pixels(dib) + 8, "\x09\x09\x09\x01\x01", 5);
        Bytes head = BlockBytes(dib);
        head.resize(1064);
        head[offsetof(BITMAPINFOHEADER, biCompression)] = 2;
        BITMAPINFOHEADER *packed = CompressPDIB(dib, contiguous);
        ASSERT_NE(packed, nullptr);
        const Bytes all = BlockBytes(packed);
        EXPECT_EQ(Bytes(all.begin(), all.begin() + 1064), head);  // biSizeImage stays raw
        EXPECT_EQ(Bytes(all.begin() + 1064, all.end()),
                  contiguous ? (Bytes{2, 9, 5, 2, 0, 3, 2, 9, 3, 1, 1, 2, 0, 3}) : (Bytes{2, 9, 8, 1, 1}));
        DeleteDIB(packed);
    }
}

TEST(AnxDecode, RoundTripStepTableRepeatFrameAndRefusals) {
    anim::test::LeakCheck leaks;
    // Every value present: there is no unused value, so E is 0 and pixel 0
    // travels in escape form through a line-by-line stream.
    anim::test::TraceCapture quiet;
    Bytes area(320);
    for (size_t i = 0; i < area.size(); ++i) area[i] = i < 256 ? uint8_t(i) : i / 8 % 2 ? 0 : 0x80;
    std::vector<uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    KOVRLEUpdateDecompTableLineByLine(area.data(), 16, 20, stats.data());
    Table t;
    KOVRLEFinishDecompTable(stats.data(), t.data(), 0, KOVRLE_AUTO_LIMIT);
    ANXFRAME *packed = AnxKOVRLEFrameLineByLine(RawFrame(16, 20, area), t.data(), 16, 20);
    ASSERT_NE(packed, nullptr);
    KOVRLEConvertTableToLineForm(t.data());
    ANXFRAME *out = AnxUnKOVRLEFrame(packed, nullptr, t.data(), nullptr, 0, 100, 0, 0, 0, ANX_STREAM_LINE_BY_LINE);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(GetAnxFrameRectAddress(out, 0), GetAnxFrameRectAddress(out, 0) + 320), area);
    DeleteAnxFrame(out);
    DeleteAnxFrame(packed);

    // 12 positions at 75% keep 9: keep and drop counts in turn, two zeros last.
    anim::codec::StepTable steps;
    EXPECT_EQ(anim::codec::BuildStepTable(12, 75, steps), 9);
    EXPECT_EQ(Bytes(steps.begin(), steps.begin() + 9), (Bytes{1, 1, 3, 1, 3, 1, 2, 0, 0}));

    // A repeat frame has no entries: its header alone comes back, raw.
    Bytes repeat(32);
    StoreHeader(repeat.data(), {4, 32, 0, 0, 0x0101, 0x7A, {0, 0, 9, 9}, 0, 0, 0, 0, 0, 7});
    Bytes header(32, 0xCD);
    auto *frame = reinterpret_cast<ANXFRAME *>(repeat.data());
    ASSERT_NE(AnxUnKOVRLEFrame(frame, nullptr, nullptr, reinterpret_cast<ANXFRAME *>(header.data()), 32, 50, 0, 0, 0,
                               ANX_STREAM_LINE_BY_LINE),
              nullptr);
    repeat[8] = repeat[9] = 0;
    EXPECT_EQ(header, repeat);

    // A refusal leaves the caller's buffer as it was; 10 x 4 expands into
    // 32 + 8 + 48 bytes.
    t = kExampleTable;
    ANXFRAME *coded = AnxKOVRLEFrameLineByLine(RawFrame(10, 4, Bytes(48, 0x44)), t.data(), 10, 4);
    ASSERT_NE(coded, nullptr);
    struct Refusal {
        const char *name;
        const ANXFRAME *frame;
        uint32_t size;
        int scale;
        uint16_t *table;
        bool refused;
    };
    const Refusal cases[] = {
        {"buffer one short", coded, 87, 50, t.data(), true}, {"buffer exact", coded, 88, 50, t.data(), false},
        {"scale 0", coded, 88, 0, t.data(), true},           {"scale 101", coded, 88, 101, t.data(), true},
        {"no table", coded, 88, 100, nullptr, true},         {"no frame", nullptr, 88, 100, t.data(), true},
    };
    for (const Refusal &c : cases) {
        Bytes out(88, 0xCD);
        auto *buffer = reinterpret_cast<ANXFRAME *>(out.data());
        const bool refused = AnxUnKOVRLEFrame(c.frame, nullptr, c.table, buffer, c.size, c.scale, 0, 0, 0,
                                              ANX_STREAM_LINE_BY_LINE) == nullptr;
        EXPECT_EQ(refused, c.refused) << c.name;
        EXPECT_TRUE(!refused || out == Bytes(88, 0xCD)) << c.name;
    }
    DeleteAnxFrame(coded);
}

// The multi-animation writer: the fields readers never check (lengths, the
// writer's zeros), delta key frames, and its refusals. The loader's and
// projector's tests play its files against their pictures.
template <typename T = std::uint32_t>
T At(const Bytes &b, std::size_t at) {
    T v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

// A delta sequence has a negative count and a whole key frame (no key
// colour) every keyInterval frames.
TEST(AnxWriter, FileLayoutDeltaKeyFramesAndRefusals) {
    anim::test::LeakCheck leaks;
    writer::Writer writer;
    Bytes file;
    EXPECT_FALSE(writer.Build(file));
    ASSERT_TRUE(writer.AddScalableSequence(anim::test::PlayerRun(2, 20, 30, false), "walk"));
    ASSERT_TRUE(writer.Build(file));
    const std::uint32_t l0 = At(file, 568), l1 = At(file, 572);  // the writer keeps lengths there
    ASSERT_EQ(file.size(), 576u + l0 + l1);
    for (auto [at, value] : {std::pair<std::size_t, std::uint32_t>{0, 0x00010001u},
                             {8, 552 + l0 + l1},
                             {12, 552 + l0 + l1},
                             {16, 0},
                             {20, 0},
                             {28, 32u + 8u + 20u * 30u},
                             {556, 0},
                             {564, l0}})
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

    // Refusals add nothing: the one sequence added above stays the only one.
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
    EXPECT_EQ(writer.sequenceCount(), 1u);
    anim::test::ScratchDir dir;
    EXPECT_FALSE(writer.Write(dir.File("missing/one.anx")));
}

}  // namespace
