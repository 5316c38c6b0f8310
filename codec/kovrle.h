// The KOVRLE scheme's fixed numbers: run limits, the decompression table's
// size and the number-overlay tables that paint shirt numbers.
#pragma once

#include <array>
#include <cstdint>

#include "animate.h"
#include "dib/anx_frame.h"

namespace anim::codec {

inline constexpr std::uint32_t kTableEntries = KOVRLE_TABLE_ENTRIES;
// Run lengths counted by the statistics and coded by markers stay below this.
inline constexpr std::uint32_t kMaxCountedRun = 100;
// Longest run any single code describes.
inline constexpr std::uint32_t kMaxRun = 255;
// Frames the decoder expands are at most this wide and high.
inline constexpr std::int32_t kMaxDecodedSide = 255;
// Entries of the number mask table: numbers 0-99 in two digit sets.
inline constexpr std::uint32_t kNumberIndexCount = 200;

// A decompression table entry's two bytes: for a marker, the colour (low)
// and the run length (high).
constexpr std::uint8_t EntryLow(std::uint16_t entry) {
    return static_cast<std::uint8_t>(entry);
}
constexpr std::uint8_t EntryHigh(std::uint16_t entry) {
    return static_cast<std::uint8_t>(entry >> 8);
}

// ---- Number overlays -------------------------------------------------------

// Segment class of each pixel value in number art (0: no segment).
inline constexpr std::array<std::uint8_t, 256> kSegmentClass = [] {
    std::array<std::uint8_t, 256> classes{};
    constexpr std::uint8_t kArt[] = {1, 4, 2, 3, 5, 7, 6, 9, 8, 246, 247, 248, 250, 249};
    for (std::uint8_t i = 0; i < sizeof kArt; ++i)
        classes[kArt[i]] = static_cast<std::uint8_t>(i + 1);
    return classes;
}();

// Segment-word bit of each class, upright and mirrored (classes 0 and 15:
// none).
inline constexpr std::array<std::uint16_t, 16> kUprightClassBits = [] {
    std::array<std::uint16_t, 16> bits{};
    for (int c = 1; c <= 7; ++c) bits[c] = static_cast<std::uint16_t>(1u << (c + 7));
    for (int c = 8; c <= 14; ++c) bits[c] = static_cast<std::uint16_t>(1u << (c - 8));
    return bits;
}();
inline constexpr std::array<std::uint16_t, 16> kMirroredClassBits = [] {
    std::array<std::uint16_t, 16> bits{};
    constexpr int kDigitOrder[7] = {0, 2, 1, 3, 5, 4, 6};
    for (int i = 0; i < 7; ++i) {
        bits[1 + i] = static_cast<std::uint16_t>(1u << kDigitOrder[i]);
        bits[8 + i] = static_cast<std::uint16_t>(1u << (kDigitOrder[i] + 8));
    }
    return bits;
}();

// Seven-segment digit patterns (bit 0 top, 1 upper left, 2 upper right,
// 3 middle, 4 lower left, 5 lower right, 6 bottom); set B has the left and
// right segments exchanged.
inline constexpr std::array<std::uint8_t, 10> kDigitsA = {0x77, 0x24, 0x5d, 0x6d, 0x2e,
                                                          0x6b, 0x7b, 0x25, 0x7f, 0x6f};
inline constexpr std::array<std::uint8_t, 10> kDigitsB = {0x77, 0x12, 0x6b, 0x5b, 0x1e,
                                                          0x5d, 0x7d, 0x13, 0x7f, 0x5f};
// A lone 1 uses the left-hand segments so that it stands nearer the middle.
inline constexpr std::uint8_t kLoneOneA = 0x12;
inline constexpr std::uint8_t kLoneOneB = 0x24;

inline constexpr std::array<std::uint16_t, kNumberIndexCount> kNumberMasks = [] {
    std::array<std::uint16_t, kNumberIndexCount> masks{};
    for (int set = 0; set < 2; ++set) {
        const auto &digits = set == 0 ? kDigitsA : kDigitsB;
        for (int k = 0; k < 100; ++k) {
            std::uint16_t word;
            if (k == 0) {
                word = 0x7777;
            } else if (k == 1) {
                word = set == 0 ? kLoneOneA : kLoneOneB;
            } else if (k < 10) {
                word = digits[k];
            } else {
                word = static_cast<std::uint16_t>(digits[k / 10] << 8 | digits[k % 10]);
            }
            masks[set * 100 + k] = word;
        }
    }
    return masks;
}();

static_assert(kNumberMasks[23] == 0x5d6d && kNumberMasks[1] == 0x0012);
static_assert(kNumberMasks[101] == 0x0024 && kNumberMasks[112] == 0x126b);
static_assert(kSegmentClass[249] == 14 && kSegmentClass[0] == 0 && kSegmentClass[9] == 8);

}  // namespace anim::codec
