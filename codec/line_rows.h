// Walking the records of a line-by-line or number-overlay stream at a
// scale: which records are kept (the others are stepped over by their
// length bytes, unread), and where each source column lands in the output
// row.
//
//   stream := record{height}          ; bottom row first
//   record := length(1) code*         ; length counts itself, mod 256
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/kovrle_decode.h"
#include "codec/step_table.h"

namespace anim::codec {

inline constexpr std::size_t kLineBufferSize = 256;
// A record counts itself; its length byte 0 stands for 256.
inline constexpr std::size_t kWrappedRecord = 256;

// Where each source column boundary falls in the output row at a scale: the
// kept columns among source columns [s, e) are output pixels [at[s], at[e]).
// Boundaries past the row (a run may overshoot it) are the row's end, so
// that the table can be read at any boundary a run can reach.
struct ColumnScale {
    std::uint8_t at[2 * kLineBufferSize];
};

inline void BuildColumnScale(std::int32_t width, std::int32_t scale, ColumnScale &columns) {
    StepRule rule(width, scale);
    std::uint8_t kept = 0;
    for (std::int32_t s = 0; s < width; ++s) {
        columns.at[s] = kept;
        kept = static_cast<std::uint8_t>(kept + (rule.Next() ? 1 : 0));
    }
    std::memset(columns.at + width, kept, sizeof columns.at - static_cast<std::size_t>(width));
}

// Full size keeps every column where it is; a run may reach past the row.
struct FullSize {
    static std::uint32_t At(std::uint32_t boundary) { return boundary; }
};
struct Scaled {
    const ColumnScale &columns;
    std::uint32_t At(std::uint32_t boundary) const { return columns.at[boundary]; }
};

// Steps over a dropped record by its length byte; null when the input ends
// inside it.
[[nodiscard]] inline const std::uint8_t *SkipRecord(const std::uint8_t *p, const StreamBounds &in) {
    if (!in.Holds(p, 1)) return nullptr;
    const std::size_t length = p[0] == 0 ? kWrappedRecord : p[0];
    return in.Holds(p, length) ? p + length : nullptr;
}

// The source rows kept at a scale, in order.
struct KeptRows {
    std::uint8_t at[kLineBufferSize];
    std::int32_t count = 0;
};

inline void FindKeptRows(std::int32_t height, std::int32_t scale, KeptRows &rows) {
    StepRule rule(height, scale);
    rows.count = 0;
    for (std::int32_t r = 0; r < height; ++r)
        if (rule.Next()) rows.at[rows.count++] = static_cast<std::uint8_t>(r);
}

// Walks the kept records of a stream: dropped ones are stepped over by their
// length bytes, and decodeRow(p, y) decodes the record whose codes start at
// p into output row y, returning where they end or null to stop. A null
// kept list keeps every row.
template <typename DecodeRow>
void WalkRows(const StreamBounds &in, const KeptRows *kept, std::int32_t rows,
              DecodeRow &&decodeRow) {
    const std::uint8_t *p = in.begin();
    std::int32_t source = 0;
    for (std::int32_t y = 0; y < rows; ++y, ++source) {
        for (const std::int32_t wanted = kept != nullptr ? kept->at[y] : y; source < wanted;
             ++source) {
            p = SkipRecord(p, in);
            if (p == nullptr) return;
        }
        if (!in.Holds(p, 1)) return;
        p = decodeRow(p + 1, y);
        if (p == nullptr) return;
    }
}

}  // namespace anim::codec
