// KOVRLE decompression tables: run statistics, the greedy marker choice,
// and the rewrite into line form.
//
//   statistics := counter(u32)[256][100]     ; [pixel value][run length 1..99]
//                                            ; [v][0]: runs of 100+ seen line by line
//   table      := entry(u16)[256]            ; high byte: count, low byte: colour
//   entry 0    := (H = 0, E)                 ; count-follows mark, escape byte
//   entry m    := entry 0                    ; plain, header form
//               | (1, m)                     ; plain, line form
//               | (H, v)                     ; value marker: colour v, length follows
//               | (n, E)                     ; length marker: n pixels, colour follows
//               | (n, v)                     ; pair marker: n pixels of v
//
// Markers carry lengths 2..99 only; the escape byte and every marker byte are
// values the statistics never saw in a counted run, so no plain pixel takes
// them. Whole-frame statistics leave runs of 100+ uncounted: such a value may
// become E or a marker, and the encoders then code its pixels as runs.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "codec/encode.h"
#include "codec/kovrle.h"
#include "platform/platform.h"

namespace anim::codec {
namespace {

constexpr char kUnusedMarkerText[] =
    "Unused KOVRLE marker!! - could lose compression efficiency\n\r";
constexpr std::uint32_t kLengths = kMaxCountedRun;  // 100 counters per value
constexpr std::uint32_t kValues = 256;
// Only the head of each order is searched for pairs.
constexpr std::uint32_t kPairSearch = 20;

// Sorted largest total first; equal totals keep ascending index order. That
// tie rule makes the order a pure function of the totals, so moving the one
// entry whose total changed gives exactly what a full sort would.
template <std::size_t N>
class TotalOrder {
  public:
    void SortAll(const std::uint32_t (&total)[N]) {
        std::iota(order_, order_ + N, 0u);
        std::sort(order_, order_ + N,
                  [&](std::uint32_t a, std::uint32_t b) { return Before(total, a, b); });
    }
    // Re-sorts after total[index] alone changed.
    void Resort(const std::uint32_t (&total)[N], std::uint32_t index) {
        std::size_t at = static_cast<std::size_t>(std::find(order_, order_ + N, index) - order_);
        while (at > 0 && Before(total, index, order_[at - 1])) {
            order_[at] = order_[at - 1];
            order_[--at] = index;
        }
        while (at + 1 < N && Before(total, order_[at + 1], index)) {
            order_[at] = order_[at + 1];
            order_[++at] = index;
        }
    }
    std::uint32_t operator[](std::size_t i) const { return order_[i]; }

  private:
    static bool Before(const std::uint32_t (&total)[N], std::uint32_t a, std::uint32_t b) {
        return total[a] != total[b] ? total[a] > total[b] : a < b;
    }
    std::uint32_t order_[N];
};

// The finishing state: process-wide, rebuilt by every Finish.
struct FinishState {
    std::uint32_t valueTotal[kValues];
    std::uint32_t lengthTotal[kLengths];
    TotalOrder<kValues> valueOrder;
    TotalOrder<kLengths> lengthOrder;
    bool isFree[kValues];
};
FinishState g_finish;

// total - amount, read as signed 32-bit and floored at 0.
std::uint32_t SubtractFloored(std::uint32_t total, std::uint32_t amount) {
    const auto result = static_cast<std::int32_t>(total - amount);
    return result < 0 ? 0 : static_cast<std::uint32_t>(result);
}

// What a run of 100 pixels or more leaves in the statistics.
enum class LongRuns {
    kUncounted,   // nothing: its value may become the escape byte or a marker
    kMarkedUsed,  // one count at length 0, which finishing reads as "used"
};

void CountRuns(const std::uint8_t *data, std::size_t count, std::uint32_t *statistics,
               LongRuns longRuns) {
    std::size_t i = 0;
    while (i < count) {
        const std::uint8_t v = data[i];
        std::size_t n = 1;
        while (i + n < count && data[i + n] == v) ++n;
        if (n < kLengths) {
            ++statistics[v * kLengths + n];
        } else if (longRuns == LongRuns::kMarkedUsed) {
            ++statistics[v * kLengths];
        }
        i += n;
    }
}

enum class Choice { kNone, kValue, kLength, kPair };

class Finisher {
  public:
    Finisher(std::uint32_t *statistics, FinishState &state) : stats_(statistics), s_(state) {}

    void Run(std::uint16_t *table, std::uint32_t reserve, std::uint32_t limit) {
        s_ = FinishState{};
        bool used[kValues] = {};
        std::uint32_t maxTotal = 0;
        for (std::uint32_t v = 0; v < kValues; ++v) {
            for (std::uint32_t n = 0; n < 2; ++n) {
                if (Counter(v, n) != 0) {
                    used[v] = true;
                    if (s_.valueTotal[v] == 0) s_.valueTotal[v] = 1;
                }
                Counter(v, n) = 0;
            }
            for (std::uint32_t n = 2; n < kLengths; ++n) {
                const std::uint32_t c = Counter(v, n);
                if (c != 0) used[v] = true;
                s_.lengthTotal[n] += c;
                s_.valueTotal[v] += c;
                // A pair serves every run of it and saves two bytes on each,
                // so its score starts at twice its count.
                Counter(v, n) = c * 2;
            }
            maxTotal = std::max(maxTotal, s_.valueTotal[v]);
        }

        // With fewer unused values than the hold-back needs there is no
        // escape byte and no free byte: E stays 0, every entry is plain, and
        // the encoders write pixel 0 in escape form (0, n, 0), which both
        // decoders read back as colour 0 because they test for E first.
        std::uint8_t escape = 0;
        std::uint32_t holdBack = (reserve & 3u) + 1;
        std::uint32_t freeCount = 0;
        for (std::uint32_t v = 1; v < kValues; ++v) {
            if (used[v]) continue;
            if (holdBack > 0) {
                if (--holdBack > 0) {
                    s_.valueTotal[v] = maxTotal;
                } else {
                    escape = static_cast<std::uint8_t>(v);
                }
                continue;
            }
            s_.isFree[v] = true;
            ++freeCount;
        }
        std::uint32_t markerLimit = limit & 0xFFFFu;
        if (markerLimit == KOVRLE_AUTO_LIMIT) markerLimit = (256 - freeCount) / 2;

        s_.valueOrder.SortAll(s_.valueTotal);
        s_.lengthOrder.SortAll(s_.lengthTotal);
        const std::uint16_t header = escape;  // H = 0
        std::fill(table, table + kTableEntries, header);

        std::uint32_t withoutMarker = freeCount;
        bool stopped = false;
        for (std::uint32_t m = 1; m < kValues; ++m) {
            if (s_.isFree[m] && !stopped) {
                if (ChooseMarker(withoutMarker < markerLimit, escape, table[m])) {
                    --withoutMarker;
                } else {
                    platform::DebugOutput(kUnusedMarkerText);
                    stopped = true;
                }
            }
            PumpMessages();
        }
    }

  private:
    std::uint32_t &Counter(std::uint32_t v, std::uint32_t n) { return stats_[v * kLengths + n]; }

    // Writes the best marker into entry and updates the statistics; false
    // when nothing scores above 0. Comparisons are strict, so of equal
    // scores the first candidate looked at wins.
    bool ChooseMarker(bool valueAndLength, std::uint8_t escape, std::uint16_t &entry) {
        std::uint32_t best = 0;
        Choice choice = Choice::kNone;
        std::uint32_t value = 0;
        std::uint32_t length = 0;
        if (valueAndLength) {
            const std::uint32_t v = s_.valueOrder[0];
            if (s_.valueTotal[v] > best) {
                best = s_.valueTotal[v];
                choice = Choice::kValue;
                value = v;
            }
            const std::uint32_t n = s_.lengthOrder[0];
            if (s_.lengthTotal[n] > best) {
                best = s_.lengthTotal[n];
                choice = Choice::kLength;
                length = n;
            }
        }
        for (std::uint32_t i = 0; i < kPairSearch; ++i) {
            const std::uint32_t v = s_.valueOrder[i];
            for (std::uint32_t j = 0; j < kPairSearch; ++j) {
                const std::uint32_t n = s_.lengthOrder[j];
                if (Counter(v, n) > best) {
                    best = Counter(v, n);
                    choice = Choice::kPair;
                    value = v;
                    length = n;
                }
            }
        }
        switch (choice) {
            case Choice::kNone:
                return false;
            case Choice::kValue:
                entry = static_cast<std::uint16_t>(value);
                TakeValue(value);
                break;
            case Choice::kLength:
                entry = static_cast<std::uint16_t>(length << 8 | escape);
                TakeLength(length);
                break;
            case Choice::kPair:
                entry = static_cast<std::uint16_t>(length << 8 | value);
                TakePair(value, length);
                break;
        }
        return true;
    }

    // The runs a new marker serves must not be counted again for the next.
    void TakeValue(std::uint32_t v) {
        for (std::uint32_t n = 0; n < kLengths; ++n) {
            if (s_.lengthTotal[n] == 0) continue;
            Counter(v, n) /= 2;
            s_.lengthTotal[n] = SubtractFloored(s_.lengthTotal[n], Counter(v, n));
            s_.lengthOrder.Resort(s_.lengthTotal, n);
        }
        s_.valueTotal[v] = 0;
        s_.valueOrder.Resort(s_.valueTotal, v);
    }
    void TakeLength(std::uint32_t n) {
        for (std::uint32_t u = 0; u < kValues; ++u) {
            if (s_.valueTotal[u] == 0) continue;
            Counter(u, n) /= 2;
            s_.valueTotal[u] = SubtractFloored(s_.valueTotal[u], Counter(u, n));
            s_.valueOrder.Resort(s_.valueTotal, u);
        }
        s_.lengthTotal[n] = 0;
        s_.lengthOrder.Resort(s_.lengthTotal, n);
    }
    void TakePair(std::uint32_t v, std::uint32_t n) {
        if (s_.valueTotal[v] != 0 && s_.lengthTotal[n] != 0) Counter(v, n) /= 2;
        if (s_.valueTotal[v] != 0) {
            s_.valueTotal[v] = SubtractFloored(s_.valueTotal[v], Counter(v, n));
            s_.valueOrder.Resort(s_.valueTotal, v);
        }
        if (s_.lengthTotal[n] != 0) {
            s_.lengthTotal[n] = SubtractFloored(s_.lengthTotal[n], Counter(v, n));
            s_.lengthOrder.Resort(s_.lengthTotal, n);
        }
        Counter(v, n) = 0;
    }

    std::uint32_t *stats_;
    FinishState &s_;
};

}  // namespace

void StartDecompTable(std::uint32_t *statistics) {
    if (statistics == nullptr) return;
    std::fill(statistics, statistics + KOVRLE_STATISTICS_COUNT, 0u);
}

void UpdateDecompTable(const std::uint8_t *data, std::uint32_t count, std::uint32_t *statistics) {
    if (data == nullptr || statistics == nullptr) return;
    CountRuns(data, count, statistics, LongRuns::kUncounted);
}

void UpdateDecompTableLines(const std::uint8_t *data, std::uint32_t width, std::uint32_t height,
                            std::uint32_t *statistics) {
    if (data == nullptr || statistics == nullptr || width == 0) return;
    // A line stream names every colour through the table's low bytes, and
    // nothing names a marker byte's own value: a value seen only in long runs
    // must stay plain, or frames that hold it could not be coded line by line.
    for (std::uint32_t row = 0; row < height; ++row) {
        CountRuns(data + std::size_t{row} * width, width, statistics, LongRuns::kMarkedUsed);
    }
}

void FinishDecompTable(std::uint32_t *statistics, std::uint16_t *table, std::uint32_t reserve,
                       std::uint32_t limit) {
    if (statistics == nullptr || table == nullptr) return;
    Finisher(statistics, g_finish).Run(table, reserve, limit);
}

void ConvertTableToLineForm(std::uint16_t *table) {
    if (table == nullptr) return;
    for (std::uint32_t b = 1; b < kTableEntries; ++b) {
        if (table[b] == table[0]) table[b] = static_cast<std::uint16_t>(1u << 8 | b);
    }
}

}  // namespace anim::codec

extern "C" {

ANIM_API void KOVRLEStartDecompTable(uint32_t *statistics) {
    anim::codec::StartDecompTable(statistics);
}

ANIM_API void KOVRLEUpdateDecompTable(const uint8_t *data, uint32_t count, uint32_t *statistics) {
    anim::codec::UpdateDecompTable(data, count, statistics);
}

ANIM_API void KOVRLEUpdateDecompTableLineByLine(const uint8_t *data, uint32_t width,
                                                uint32_t height, uint32_t *statistics) {
    anim::codec::UpdateDecompTableLines(data, width, height, statistics);
}

ANIM_API void KOVRLEFinishDecompTable(uint32_t *statistics, uint16_t *table, uint32_t reserve,
                                      uint32_t limit) {
    anim::codec::FinishDecompTable(statistics, table, reserve, limit);
}

ANIM_API void KOVRLEConvertTableToLineForm(uint16_t *table) {
    anim::codec::ConvertTableToLineForm(table);
}

}  // extern "C"
