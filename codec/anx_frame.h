// The Anx frame record and the codec's fixed tables.
//
// Frames may sit at any byte address (a loaded file keeps them in place), so
// the header and the rectangle entries are always moved with memcpy, never
// read through a typed pointer into the block.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "animate.h"

namespace anim::codec {

inline constexpr std::uint32_t kHeaderSize = sizeof(ANXFRAME);  // 32
inline constexpr std::uint32_t kEntrySize = sizeof(ANXRECT);    // 8
inline constexpr std::uint8_t kFirstMark = 4;
inline constexpr std::uint8_t kSecondMark = 32;
inline constexpr std::uint32_t kTableEntries = KOVRLE_TABLE_ENTRIES;
// Run lengths counted by the statistics and coded by markers stay below this.
inline constexpr std::uint32_t kMaxCountedRun = 100;
// Longest run any single code describes.
inline constexpr std::uint32_t kMaxRun = 255;
// Frames the decoder expands are at most this wide and high.
inline constexpr std::int32_t kMaxDecodedSide = 255;
// Entries of the number mask table: numbers 0-99 in two digit sets.
inline constexpr std::uint32_t kNumberIndexCount = 200;

static_assert(kHeaderSize == 32 && kEntrySize == 8);

// ---- Bytewise access to a frame block ------------------------------------

inline ANXFRAME LoadHeader(const void *frame) {
    ANXFRAME header;
    std::memcpy(&header, frame, sizeof header);
    return header;
}
inline void StoreHeader(void *frame, const ANXFRAME &header) {
    std::memcpy(frame, &header, sizeof header);
}
inline ANXRECT LoadEntry(const void *frame, std::int32_t index) {
    ANXRECT entry;
    std::memcpy(&entry, static_cast<const std::uint8_t *>(frame) + kHeaderSize + kEntrySize * index,
                sizeof entry);
    return entry;
}
inline void StoreEntry(void *frame, std::int32_t index, const ANXRECT &entry) {
    std::memcpy(static_cast<std::uint8_t *>(frame) + kHeaderSize + kEntrySize * index, &entry,
                sizeof entry);
}
// Bytes before the pixel area: header plus entries (a negative count reads
// as no entries).
inline std::uint32_t PixelAreaOffset(const ANXFRAME &header) {
    return kHeaderSize + kEntrySize * static_cast<std::uint32_t>(header.rectCount > 0 ? header.rectCount : 0);
}
inline std::uint8_t *PixelArea(void *frame, const ANXFRAME &header) {
    return static_cast<std::uint8_t *>(frame) + PixelAreaOffset(header);
}
inline const std::uint8_t *PixelArea(const void *frame, const ANXFRAME &header) {
    return static_cast<const std::uint8_t *>(frame) + PixelAreaOffset(header);
}
// Row stride of a rectangle width pixels wide.
constexpr std::int64_t RowStride(std::int64_t width) { return (width + 3) & ~std::int64_t{3}; }
constexpr std::int32_t Width(const ANXRECT &r) { return std::int32_t{r.right} - r.left + 1; }
constexpr std::int32_t Height(const ANXRECT &r) { return std::int32_t{r.bottom} - r.top + 1; }

// Where the rows of one rectangle entry of a raw frame lie.
struct RawRect {
    std::uint32_t offset;  // from the start of the pixel area
    std::int32_t width;
    std::int32_t height;
    std::uint32_t size;  // stride x height
};

// The rows of entry index, or nothing when following the entries would not
// stay inside the frame's data size: a compressed frame, an index that names
// no entry, an entry of negative size, or rows that reach past data size.
// The decoder makes frames of the last kind: it stretches every entry of a
// frame to the picture's far corner, which for several rectangles mostly
// claims more rows than the frame holds. Earlier entries of negative size count as
// holding no rows.
inline std::optional<RawRect> FindRawRect(const void *frame, std::int32_t index) {
    if (frame == nullptr) return std::nullopt;
    const ANXFRAME header = LoadHeader(frame);
    if (header.compression != 0 || index < 0 || index >= header.rectCount) return std::nullopt;
    // 64-bit, and checked entry by entry, so that no sum of 16-bit sizes can
    // wrap on its way past data size.
    std::int64_t offset = 0;
    for (std::int32_t i = 0; i < index; ++i) {
        const ANXRECT entry = LoadEntry(frame, i);
        if (Width(entry) > 0 && Height(entry) > 0) offset += RowStride(Width(entry)) * Height(entry);
        if (offset > header.dataSize) return std::nullopt;
    }
    const ANXRECT entry = LoadEntry(frame, index);
    const std::int32_t width = Width(entry);
    const std::int32_t height = Height(entry);
    if (width < 0 || height < 0) return std::nullopt;
    const std::int64_t size = RowStride(width) * height;
    if (offset + size > header.dataSize) return std::nullopt;
    return RawRect{static_cast<std::uint32_t>(offset), width, height,
                   static_cast<std::uint32_t>(size)};
}

// ---- Number overlays -------------------------------------------------------

// Segment class of each pixel value in number art (0: no segment).
inline constexpr std::array<std::uint8_t, 256> kSegmentClass = [] {
    std::array<std::uint8_t, 256> classes{};
    constexpr std::uint8_t kArt[] = {1, 4, 2, 3, 5, 7, 6, 9, 8, 246, 247, 248, 250, 249};
    for (std::uint8_t i = 0; i < sizeof kArt; ++i) classes[kArt[i]] = static_cast<std::uint8_t>(i + 1);
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
