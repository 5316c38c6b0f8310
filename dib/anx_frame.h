// The Anx frame record: a 32-byte header, 8-byte rectangle entries, then
// the pixel area (raw rows of every rectangle, or a KOVRLE stream).
//
//   frame  := header entry{rectCount} pixels
//   header := ANXFRAME (include/animate.h): marks 4 and 32, rectCount,
//             dataSize (bytes of the raw pixel area), compression (low 16
//             bits: 0 raw, 1 KOVRLE, else single-escape), the frame's
//             rectangle, offsets, repeat field
//   entry  := ANXRECT: left, top, right, bottom, signed 16-bit, inclusive
//   pixels := for each entry, stride(width) x height bytes, bottom row first
//             (raw), or the coded stream (compressed)
//
// Frames may sit at any byte address (a loaded file keeps them in place), so
// the header and the rectangle entries are always moved with memcpy, never
// read through a typed pointer into the block.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

#include "animate.h"
#include "dib/packed_dib.h"

namespace anim::dib {

inline constexpr std::uint32_t kHeaderSize = sizeof(ANXFRAME);  // 32
inline constexpr std::uint32_t kEntrySize = sizeof(ANXRECT);    // 8
inline constexpr std::uint8_t kFirstMark = 4;
inline constexpr std::uint8_t kSecondMark = 32;

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
    return kHeaderSize +
           kEntrySize * static_cast<std::uint32_t>(header.rectCount > 0 ? header.rectCount : 0);
}
inline std::uint8_t *PixelArea(void *frame, const ANXFRAME &header) {
    return static_cast<std::uint8_t *>(frame) + PixelAreaOffset(header);
}
inline const std::uint8_t *PixelArea(const void *frame, const ANXFRAME &header) {
    return static_cast<const std::uint8_t *>(frame) + PixelAreaOffset(header);
}
constexpr std::int32_t Width(const ANXRECT &r) {
    return std::int32_t{r.right} - r.left + 1;
}
constexpr std::int32_t Height(const ANXRECT &r) {
    return std::int32_t{r.bottom} - r.top + 1;
}

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
        if (Width(entry) > 0 && Height(entry) > 0)
            offset += platform::RowStride(Width(entry)) * Height(entry);
        if (offset > header.dataSize) return std::nullopt;
    }
    const ANXRECT entry = LoadEntry(frame, index);
    const std::int32_t width = Width(entry);
    const std::int32_t height = Height(entry);
    if (width < 0 || height < 0) return std::nullopt;
    const std::int64_t size = platform::RowStride(width) * height;
    if (offset + size > header.dataSize) return std::nullopt;
    return RawRect{static_cast<std::uint32_t>(offset), width, height,
                   static_cast<std::uint32_t>(size)};
}

}  // namespace anim::dib
