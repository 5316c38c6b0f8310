#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "animate.h"
#include "test_support.h"

namespace {

using Stats = std::vector<uint32_t>;
using Table = std::array<uint16_t, 256>;
const std::string kUnusedText = "Unused KOVRLE marker!! - could lose compression efficiency\n\r";

Stats NewStats() {
    Stats s(KOVRLE_STATISTICS_COUNT, 0xDEAD);
    KOVRLEStartDecompTable(s.data());
    return s;
}
// count runs of n pixels of v, one row each.
void AddRuns(Stats &s, uint8_t v, uint32_t n, uint32_t count) {
    std::vector<uint8_t> rows(n * count, v);
    KOVRLEUpdateDecompTableLineByLine(rows.data(), n, count, s.data());
}
Table Finish(Stats &s, uint32_t reserve, uint32_t limit) {
    Table t;
    t.fill(0xEEEE);
    KOVRLEFinishDecompTable(s.data(), t.data(), reserve, limit);
    return t;
}
// Entry 0 everywhere but at the given markers.
Table Expected(uint16_t entry0, std::vector<std::pair<int, uint16_t>> markers) {
    Table t;
    t.fill(entry0);
    for (auto [b, e] : markers) t[b] = e;
    return t;
}

TEST(DecompTable, CountsRunsBelowOneHundredAndEndsThemAtRowEnds) {
    Stats s = NewStats();
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0ull), 0u);
    std::vector<uint8_t> data = {1, 1, 2, 2, 2, 1};
    data.insert(data.end(), 100, 3);
    data.insert(data.end(), 99, 4);
    KOVRLEUpdateDecompTable(data.data(), uint32_t(data.size()), s.data());
    EXPECT_EQ(s[1 * 100 + 2], 1u);
    EXPECT_EQ(s[2 * 100 + 3], 1u);
    EXPECT_EQ(s[1 * 100 + 1], 1u);
    EXPECT_EQ(s[4 * 100 + 99], 1u);
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0ull), 4u);  // nothing for the 100

    const uint8_t rows[] = {5, 5, 5, 5, 5, 5};
    KOVRLEUpdateDecompTableLineByLine(rows, 3, 2, s.data());
    EXPECT_EQ(s[5 * 100 + 3], 2u);
    KOVRLEUpdateDecompTable(rows, 0, s.data());
    KOVRLEUpdateDecompTableLineByLine(rows, 0, 2, s.data());
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0ull), 6u);
}

TEST(DecompTable, WorkedExampleGivesFourPairMarkers) {
    Stats s = NewStats();
    AddRuns(s, 0x10, 3, 40);
    AddRuns(s, 0x10, 7, 10);
    AddRuns(s, 0x20, 3, 30);
    AddRuns(s, 0x20, 1, 5);
    AddRuns(s, 0x30, 10, 25);
    anim::test::TraceCapture trace;
    anim::test::PumpCounter pumps;
    const Table t = Finish(s, 0, KOVRLE_AUTO_LIMIT);
    EXPECT_EQ(t, Expected(0x0001, {{2, 0x0310}, {3, 0x0320}, {4, 0x0A30}, {5, 0x0710}}));
    EXPECT_EQ(trace.lines(), std::vector<std::string>{kUnusedText});
    EXPECT_EQ(pumps.calls(), 255);
}

TEST(DecompTable, EscapeHoldBackAndUnusedValues) {
    {  // 1 occurs only in long runs of a whole frame, so it is unused and
       // becomes E; a single pixel makes 2 used; runs of 5 of one colour
       // give one pair marker.
        Stats s = NewStats();
        const std::vector<uint8_t> area(450, 0x01);
        KOVRLEUpdateDecompTable(area.data(), 150, s.data());
        KOVRLEUpdateDecompTable(area.data(), 300, s.data());
        AddRuns(s, 0x02, 1, 1);
        AddRuns(s, 0x40, 5, 12);
        anim::test::TraceCapture trace;
        EXPECT_EQ(Finish(s, 0, KOVRLE_AUTO_LIMIT), Expected(0x0001, {{3, 0x0540}}));
        EXPECT_EQ(trace.lines(), std::vector<std::string>{kUnusedText});
    }
    {  // Counted row by row, a long run keeps its value plain: a line stream
       // could not name it if it became a marker byte.
        Stats s = NewStats();
        AddRuns(s, 0x01, 150, 3);
        AddRuns(s, 0x40, 5, 12);
        EXPECT_EQ(s[0x01 * 100], 3u);
        anim::test::TraceCapture trace;
        EXPECT_EQ(Finish(s, 0, KOVRLE_AUTO_LIMIT), Expected(0x0002, {{3, 0x0540}}));
    }
    for (uint32_t reserve : {2u, 6u}) {  // 1 and 2 held back, 3 the escape byte
        Stats s = NewStats();
        AddRuns(s, 0x40, 5, 12);
        EXPECT_EQ(Finish(s, reserve, KOVRLE_AUTO_LIMIT), Expected(0x0003, {{4, 0x0540}}));
    }
    {  // Equal scores: the lower value comes first.
        Stats s = NewStats();
        AddRuns(s, 0x40, 5, 10);
        AddRuns(s, 0x30, 5, 10);
        EXPECT_EQ(Finish(s, 0, KOVRLE_AUTO_LIMIT), Expected(0x0001, {{2, 0x0530}, {3, 0x0540}}));
    }
    {  // A held value takes the largest total and heads the value order.
        Stats s = NewStats();
        for (uint32_t n = 2; n < 32; ++n) AddRuns(s, 0x40, n, 1);
        const Table t = Finish(s, 1, 0x7FFF);
        EXPECT_EQ(t[0], 0x0002);
        EXPECT_EQ(t[3], 0x0001);  // value marker for the held colour 1
        EXPECT_EQ(t[4], 0x0040);
    }
    {  // Every value used: no escape byte. E stays 0 and nothing is a marker.
        Stats s = NewStats();
        for (int v = 1; v < 256; ++v) AddRuns(s, uint8_t(v), 1, 1);
        EXPECT_EQ(Finish(s, 0, KOVRLE_AUTO_LIMIT), Expected(0x0000, {}));
        Stats s1 = NewStats();  // one unused value, held back
        for (int v = 1; v < 256; ++v) AddRuns(s1, uint8_t(v), 1, v != 0x80);
        EXPECT_EQ(Finish(s1, 1, KOVRLE_AUTO_LIMIT), Expected(0x0000, {}));
    }
}

TEST(DecompTable, LimitDecidesWhichMarkerKindsCompete) {
    // 0x40 in one run of each length 2..31: value total 30, each pair 2.
    const auto spread = [] {
        Stats s = NewStats();
        for (uint32_t n = 2; n < 32; ++n) AddRuns(s, 0x40, n, 1);
        return s;
    };
    Stats s = spread();
    EXPECT_EQ(Finish(s, 0, 0x7FFF)[2], 0x0040);  // the value marker wins
    Stats atLimit = spread();                    // 253 free bytes: value markers from the second on
    const Table al = Finish(atLimit, 0, 253);
    EXPECT_EQ(al[2], 0x0240);
    EXPECT_EQ(al[3], 0x0040);
    Stats pairsOnly = spread();
    anim::test::TraceCapture trace;
    const Table t = Finish(pairsOnly, 0, 0x10000);  // low 16 bits 0
    for (int n = 2; n < 32; ++n) EXPECT_EQ(t[n], n << 8 | 0x40) << n;
    EXPECT_EQ(t[32], 0x0001);
    EXPECT_EQ(trace.lines().size(), 1u);

    // A value marker takes its runs out of the length totals once: length 3
    // keeps 6 of its 7 runs and beats the value total 5 of 0x50.
    Stats served = NewStats();
    for (uint32_t n = 2; n < 32; ++n) AddRuns(served, 0x40, n, 1);
    for (uint8_t v = 0x30; v < 0x36; ++v) AddRuns(served, v, 3, 1);
    for (uint32_t n = 40; n < 45; ++n) AddRuns(served, 0x50, n, 1);
    const Table st = Finish(served, 0, 0x7FFF);
    EXPECT_EQ(st[2], 0x0040);
    EXPECT_EQ(st[3], 0x0301);

    // No runs of 2..99: with limit 0 nothing scores, with value candidates
    // allowed a value seen as single pixels becomes a value marker.
    Stats singles = NewStats();
    AddRuns(singles, 0x40, 1, 5);
    EXPECT_EQ(Finish(singles, 0, 0), Expected(0x0001, {}));
    Stats singles2 = NewStats();
    AddRuns(singles2, 0x40, 1, 5);
    EXPECT_EQ(Finish(singles2, 0, 0x7FFF), Expected(0x0001, {{2, 0x0040}}));
    EXPECT_EQ(trace.lines().size(), 4u);
}

TEST(DecompTable, LineFormMarksEveryPlainEntryButTheHeader) {
    Table t = Expected(0x0001, {{2, 0x0310}, {5, 0x0710}});
    KOVRLEConvertTableToLineForm(t.data());
    EXPECT_EQ(t[0], 0x0001);
    EXPECT_EQ(t[1], 0x0101);
    EXPECT_EQ(t[2], 0x0310);
    EXPECT_EQ(t[5], 0x0710);
    EXPECT_EQ(t[6], 0x0106);
    EXPECT_EQ(t[255], 0x01FF);
    KOVRLEConvertTableToLineForm(nullptr);
}

}  // namespace
