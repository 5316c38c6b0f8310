// Tables finished from run statistics: which unused byte becomes the escape
// byte, which become markers, ties and limits, and the unused-marker trace.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "animate.h"
#include "test_support.h"

namespace {

using Stats = std::vector<uint32_t>;
using Table = std::array<uint16_t, 256>;

Stats NewStats() {
    Stats s(KOVRLE_STATISTICS_COUNT, 0xDEAD);
    KOVRLEStartDecompTable(s.data());
    return s;
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
    Runs served = Spread(0x50, 40, 45);  // with spread and a run of 3 of each of 0x30..0x35
    served.insert(served.end(), spread.begin(), spread.end());
    for (uint8_t v = 0x30; v < 0x36; ++v) served.push_back({v, 3, 1});
    std::vector<std::pair<int, uint16_t>> pairsOnly{{32, 0x0001}};
    for (int n = 2; n < 32; ++n) pairsOnly.push_back({n, uint16_t(n << 8 | 0x40)});
    const uint32_t kAuto = KOVRLE_AUTO_LIMIT;
    const TableCase cases[] = {
        {"worked example", {{0x10, 3, 40}, {0x10, 7, 10}, {0x20, 3, 30}, {0x20, 1, 5}, {0x30, 10, 25}}, 0, kAuto,
         {{0, 1}, {2, 0x0310}, {3, 0x0320}, {4, 0x0A30}, {5, 0x0710}}, 1, 1},
        // Seen only in long runs of a whole frame, 1 is unused and becomes E;
        // counted row by row a long run keeps it plain, or a line stream
        // could not name it.
        {"whole-frame long runs", {{1, 150, 1, true}, {1, 300, 1, true}, {2, 1, 1}, {0x40, 5, 12}}, 0, kAuto,
         {{0, 1}, {3, 0x0540}}, 1, 1},
        {"row long runs", {{1, 150, 3}, {0x40, 5, 12}}, 0, kAuto, {{0, 2}, {3, 0x0540}}, 2},
        {"reserve 2", {{0x40, 5, 12}}, 2, kAuto, {{0, 3}, {4, 0x0540}}, 3},
        {"reserve 6", {{0x40, 5, 12}}, 6, kAuto, {{0, 3}, {4, 0x0540}}, 3},
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
        {"single pixels make a value marker", {{0x40, 1, 5}}, 0, 0x7FFF, {{0, 1}, {2, 0x0040}}, 1, 1},
    };
    for (const TableCase &c : cases) {
        SCOPED_TRACE(c.name);
        Stats s = NewStats();
        for (const Count &r : c.runs) {
            const std::vector<uint8_t> pixels(r.n * r.count, r.v);
            if (r.wholeFrame) KOVRLEUpdateDecompTable(pixels.data(), r.n, s.data());
            else KOVRLEUpdateDecompTableLineByLine(pixels.data(), r.n, r.count, s.data());
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
        if (c.traces >= 0) { EXPECT_EQ(int(trace.lines().size()), c.traces); }
        if (c.traces > 0) { EXPECT_EQ(trace.lines()[0], "Unused KOVRLE marker!! - could lose compression efficiency\n\r"); }
    }
}

}  // namespace
