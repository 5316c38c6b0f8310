// Whole-frame KOVRLE streams.
//
//   whole := code*                          ; until data size pixels
//   code  := E n v                          ; n pixels of colour v
//          | m n       (table[m] = (H, v))  ; value marker
//          | m v       (table[m] = (n, E))  ; length marker
//          | m         (table[m] = (n, v))  ; pair marker
//          | b         (table[b] = entry 0) ; one plain pixel
//
// The colours after E and after a length marker, and plain bytes, are
// written as they stand: the table's low bytes are not consulted for them.
//
// Runs are decoded into a staging block a few thousand pixels at a time and
// copied out whole: the span fills may overshoot a run there, and when the
// input ends early only the pixels decoded reach the output, the rest
// keeping what they held.
#include <algorithm>

#include "codec/kovrle_decode.h"

namespace anim::codec {
namespace {

constexpr std::size_t kLongestCode = 3;
constexpr std::size_t kLongestRun = 255;
constexpr std::size_t kStageSize = 4096;

struct WholeCodes {
    const std::uint16_t *table;
    std::uint16_t header;
    std::uint8_t escape;
    std::uint8_t countMark;
};

// The code at p, which has kLongestCode bytes to read. The order of the
// tests is part of the format (a table in line form holds (1, b) for plain
// bytes, which must read as a one-pixel pair); plain bytes and pair markers
// come first here only because neither reads a further byte.
inline Run ReadCode(const std::uint8_t *p, const WholeCodes &codes) {
    const std::uint8_t b = p[0];
    const std::uint16_t t = codes.table[b];
    const std::uint8_t high = EntryHigh(t);
    const std::uint8_t low = EntryLow(t);
    const bool plain = t == codes.header;
    const bool direct = plain | ((high != codes.countMark) & (low != codes.escape));
    if ((b != codes.escape) & direct) return {plain ? 1u : high, plain ? b : low, 1};
    if (b == codes.escape) return {p[1], p[2], 3};
    if (high == codes.countMark) return {p[1], low, 2};
    return {high, p[1], 2};
}

// The code at p near the end of the input, read from a zero-padded copy;
// false when it needs bytes past the end.
[[nodiscard]] bool ReadLastCode(const std::uint8_t *p, const StreamBounds &in,
                                const WholeCodes &codes, Run &run) {
    const std::size_t left = std::min(in.Left(p), kLongestCode);
    std::uint8_t code[kLongestCode] = {};
    std::memcpy(code, p, left);
    run = ReadCode(code, codes);
    return run.bytes <= left;
}

}  // namespace

void DecodeWholeFrame(const StreamBounds &in, const std::uint16_t *table, std::uint8_t *out,
                      std::size_t size) {
    const WholeCodes codes{table, table[0], EntryLow(table[0]), EntryHigh(table[0])};
    // Room for a run that starts at the block's last pixel, and its overshoot.
    alignas(64) std::uint8_t stage[kStageSize + kLongestRun + kFillSpan];
    const std::uintptr_t wholeBelow = in.WholeBelow(kLongestCode);
    const std::uint8_t *p = in.begin();
    for (std::size_t pos = 0; pos < size;) {
        // A run that crosses the block's end is staged whole, cut only at
        // the data size.
        const std::size_t block = std::min(kStageSize, size - pos);
        const std::size_t room = size - pos;
        std::size_t staged = 0;
        bool more = true;
        while (staged < block) {
            Run run;
            if (StreamBounds::Address(p) < wholeBelow) {
                run = ReadCode(p, codes);
            } else if (!ReadLastCode(p, in, codes, run)) {
                more = false;
                break;
            }
            p += run.bytes;
            const std::size_t length = std::min<std::size_t>(run.length, room - staged);
            FillRun(stage + staged, run.colour, length, length);
            staged += length;
        }
        std::memcpy(out + pos, stage, staged);
        pos += staged;
        if (!more) return;
    }
}

}  // namespace anim::codec
