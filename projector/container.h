// The multi-animation file: its layout, the little-endian fields it is made
// of and bounded views of its records. The loader, the writer
// (tools/writer) and the inspector (tools/anxinfo) all go through here, so
// a change to the format is a change to this file.
//
// Every number little-endian, no padding:
//
//   file      := header directory body
//   header    := mark(u16, >= 1) N(u16) M(u16) (u16) fullBody(u32) shortBody(u32)
//   directory := { sequence(u32) numbers(u32) }{N}   ; offsets from the body
//                                                    ; start; numbers 0: none
//   body      := sequence-record{N} number-record*   ; the sequence records in
//                                                    ; the first shortBody
//                                                    ; bytes, the number records
//                                                    ; within fullBody (at most
//                                                    ; M of them)
//
//   sequence-record := count(i16, < 0 delta) version(u8 = 4) (u8) expand(u32)
//                      (u32){3} table(u16){256} S(u32) (u8){S}
//                      frameOffset(u32){F} frameLength(u32){F} frame{F}
//                                                    ; F = |count|; expand: the
//                                                    ; largest expanded frame
//   frame     := Anx frame (dib/anx_frame.h), compression bit 0 set
//                                                    ; offsets from the first
//                                                    ; frame
//              | header(32) with rectCount 0, repeat(i16) at 30
//                                                    ; stands for a real frame
//                                                    ; of the same sequence
//
//   number-record := F2(i16) (u32){4} overlayOffset(u32){F2}
//                    overlayLength(u32){F2} overlay*
//   overlay   := Anx frame holding a number-overlay stream
//                                                    ; offsets from the first
//                                                    ; overlay; 0xFFFFFFFF or
//                                                    ; 0xFFFFFFD0: no number
//
// Readers take only the offsets: the fields in (), the lengths and the
// second header word are the writer's to fill (it writes 0, and each
// block's length for tools that list a file). Stream lengths are not in the
// file, so a reader bounds each frame by the end of the part of the body it
// lies in, and nothing in a file is trusted: every offset and count is
// checked against the bytes present before it is followed.
//
// A scalable sequence's frames hold one rectangle coded line by line through
// a table in line form; a delta sequence's frames are coded whole, with the
// key colour in byte 10 (bits 16 to 23 of the compression field; 0 on a key
// frame). A repeat frame's overlay entry is that of the frame it stands for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "animate.h"
#include "platform/checked_size.h"

namespace anim::projector {

// ---- Layout ---------------------------------------------------------------

inline constexpr std::size_t kFileHeaderSize = 16;
inline constexpr std::size_t kMarkAt = 0;
inline constexpr std::size_t kSequenceCountAt = 2;
inline constexpr std::size_t kNumberRecordCountAt = 4;
inline constexpr std::size_t kFullBodyAt = 8;
inline constexpr std::size_t kShortBodyAt = 12;
// What a writer puts in the mark; a reader refuses only 0.
inline constexpr std::uint16_t kFileMark = 1;

inline constexpr std::size_t kDirectoryEntrySize = 8;
inline constexpr std::size_t kEntrySequenceAt = 0;
inline constexpr std::size_t kEntryNumbersAt = 4;
inline constexpr std::uint32_t kNoNumberRecord = 0;

inline constexpr std::size_t kCountAt = 0;
inline constexpr std::size_t kVersionAt = 2;
inline constexpr std::size_t kExpandAt = 4;
inline constexpr std::size_t kTableAt = 20;
inline constexpr std::size_t kTableEntries = KOVRLE_TABLE_ENTRIES;
inline constexpr std::size_t kTableBytes = kTableEntries * sizeof(std::uint16_t);
inline constexpr std::size_t kSkipSizeAt = 532;
inline constexpr std::size_t kSkipAt = 536;
inline constexpr std::uint8_t kRecordVersion = 4;
static_assert(kTableAt + kTableBytes == kSkipSizeAt && kSkipSizeAt + 4 == kSkipAt);

// Behind the skip area of a sequence record and the fixed part of a number
// record: an offset array and a length array, a 32-bit entry each.
inline constexpr std::size_t kIndexEntrySize = 4;
inline constexpr std::size_t kIndexBytesPerFrame = 2 * kIndexEntrySize;

// Compression bit 0 of a frame as stored; the projector takes a frame
// without it for a block it expanded itself.
inline constexpr std::uint16_t kStoredMark = 1;
// The frame header fields the container itself reads: the rectangle count,
// and the repeat field of a header without rectangles.
inline constexpr std::size_t kRectCountAt = offsetof(ANXFRAME, rectCount);
inline constexpr std::size_t kRepeatAt = offsetof(ANXFRAME, repeatFrame);
static_assert(kRectCountAt == 2 && kRepeatAt == 30);

inline constexpr std::size_t kOverlayCountAt = 0;
inline constexpr std::size_t kOverlayOffsetsAt = 18;
inline constexpr std::uint32_t kNoNumber = 0xFFFFFFFFu;
inline constexpr std::uint32_t kNoNumberToo = 0xFFFFFFD0u;  // -48, written by older tools
constexpr bool IsNoNumber(std::uint32_t offset) {
    return offset == kNoNumber || offset == kNoNumberToo;
}

// ---- Little-endian fields -------------------------------------------------

template <typename T>
concept Field = std::is_integral_v<T> && sizeof(T) <= 4;

// Whether size bytes from at lie within a block of length bytes.
constexpr bool Holds(std::size_t length, std::size_t at, std::size_t size) {
    return at <= length && size <= length - at;
}

// The field at `at`, or 0 when it does not lie within bytes. Readers check
// a record's extent before they take its fields; the bound makes a check
// that was missed a wrong value, never a read outside.
template <Field T>
[[nodiscard]] constexpr T ReadLe(std::span<const std::uint8_t> bytes, std::size_t at) {
    using Bits = std::make_unsigned_t<T>;
    if (!Holds(bytes.size(), at, sizeof(T))) return 0;
    Bits value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value = static_cast<Bits>(value | static_cast<Bits>(Bits{bytes[at + i]} << (8 * i)));
    }
    return static_cast<T>(value);  // modular since C++20: the same bits
}

// Stores value at `at`; false (and nothing written) when it does not lie
// within bytes.
template <Field T>
[[nodiscard]] constexpr bool StoreLe(std::span<std::uint8_t> bytes, std::size_t at, T value) {
    if (!Holds(bytes.size(), at, sizeof(T))) return false;
    const auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return true;
}

template <Field T>
void AppendLe(std::vector<std::uint8_t> &out, T value) {
    out.resize(out.size() + sizeof(T));
    (void)StoreLe(std::span(out), out.size() - sizeof(T), value);
}

// The frame a stored frame stands for: nothing for a real frame (one with
// rectangles), else its repeat field. frame holds at least a header.
[[nodiscard]] inline std::optional<std::int32_t> RepeatOf(const void *frame) {
    const std::span<const std::uint8_t> header(static_cast<const std::uint8_t *>(frame),
                                               sizeof(ANXFRAME));
    if (ReadLe<std::int16_t>(header, kRectCountAt) != 0) return std::nullopt;
    return ReadLe<std::int16_t>(header, kRepeatAt);
}

// ---- Header and directory -------------------------------------------------

struct FileHeader {
    std::uint16_t mark = kFileMark;
    std::uint16_t sequences = 0;
    std::uint16_t numberRecords = 0;
    std::uint32_t fullBody = 0;
    std::uint32_t shortBody = 0;
};

// Nothing when bytes are too short for a header.
[[nodiscard]] constexpr std::optional<FileHeader> ParseFileHeader(
    std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFileHeaderSize) return std::nullopt;
    return FileHeader{
        ReadLe<std::uint16_t>(bytes, kMarkAt), ReadLe<std::uint16_t>(bytes, kSequenceCountAt),
        ReadLe<std::uint16_t>(bytes, kNumberRecordCountAt),
        ReadLe<std::uint32_t>(bytes, kFullBodyAt), ReadLe<std::uint32_t>(bytes, kShortBodyAt)};
}

[[nodiscard]] constexpr bool StoreFileHeader(std::span<std::uint8_t> bytes,
                                             const FileHeader &header) {
    return bytes.size() >= kFileHeaderSize && StoreLe(bytes, kMarkAt, header.mark) &&
           StoreLe(bytes, kSequenceCountAt, header.sequences) &&
           StoreLe(bytes, kNumberRecordCountAt, header.numberRecords) &&
           StoreLe(bytes, kNumberRecordCountAt + 2, std::uint16_t{0}) &&
           StoreLe(bytes, kFullBodyAt, header.fullBody) &&
           StoreLe(bytes, kShortBodyAt, header.shortBody);
}

// Where the body starts behind the header and a directory of n entries.
constexpr std::size_t BodyStart(std::size_t n) {
    return kFileHeaderSize + kDirectoryEntrySize * n;
}

// Offsets of the records of directory entry i, from the body start.
struct DirectoryEntry {
    std::uint32_t sequence = 0;
    std::uint32_t numbers = kNoNumberRecord;
};

// Entry i of a directory (the bytes behind the header); zeros when the
// entry does not lie within them.
[[nodiscard]] constexpr DirectoryEntry ReadDirectoryEntry(std::span<const std::uint8_t> directory,
                                                          std::size_t i) {
    const std::size_t at = kDirectoryEntrySize * i;
    return {ReadLe<std::uint32_t>(directory, at + kEntrySequenceAt),
            ReadLe<std::uint32_t>(directory, at + kEntryNumbersAt)};
}

[[nodiscard]] constexpr bool StoreDirectoryEntry(std::span<std::uint8_t> directory, std::size_t i,
                                                 const DirectoryEntry &entry) {
    const std::size_t at = kDirectoryEntrySize * i;
    return StoreLe(directory, at + kEntrySequenceAt, entry.sequence) &&
           StoreLe(directory, at + kEntryNumbersAt, entry.numbers);
}

// ---- Records --------------------------------------------------------------

// Whether a frame header and its rectangle entries lie within bytes from
// at; the stream behind them is bounded by whoever decodes it.
[[nodiscard]] constexpr bool FrameHeadFits(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (!Holds(bytes.size(), at, sizeof(ANXFRAME))) return false;
    const std::int16_t rects = ReadLe<std::int16_t>(bytes, at + kRectCountAt);
    const auto end = platform::CheckedSize(sizeof(ANXRECT), rects,
                                           static_cast<std::int64_t>(at + sizeof(ANXFRAME)));
    return end && *end <= bytes.size();
}

// The offset array of a record: count entries from at, an index array's
// worth of lengths behind them, then the blocks they point into. Nothing
// when that runs past bytes.
[[nodiscard]] constexpr std::optional<std::size_t> BlocksAt(std::span<const std::uint8_t> bytes,
                                                            std::size_t at, std::int32_t count) {
    const auto end =
        platform::CheckedSize(kIndexBytesPerFrame, count, static_cast<std::int64_t>(at));
    if (!end || *end > bytes.size()) return std::nullopt;
    return std::size_t{*end};
}

// A record as it lies in a body, whose fixed part is kFixedSize bytes: its
// bytes run from its start to wherever the reader bounds it (the end of its
// part of the body, or the next record).
template <typename View, std::size_t kFixedSize>
class RecordView {
  public:
    // Nothing when the fixed part does not lie in bytes.
    [[nodiscard]] static constexpr std::optional<View> Open(std::span<const std::uint8_t> bytes) {
        if (bytes.size() < kFixedSize) return std::nullopt;
        return View(bytes);
    }

  protected:
    constexpr explicit RecordView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::span<const std::uint8_t> bytes_;
};

// A sequence record; its fixed part runs up to the skip area.
class SequenceRecordView : public RecordView<SequenceRecordView, kSkipAt> {
  public:
    constexpr std::int16_t Count() const { return ReadLe<std::int16_t>(bytes_, kCountAt); }
    constexpr bool IsDelta() const { return Count() < 0; }
    constexpr std::int32_t FrameCount() const {
        const std::int32_t count = Count();
        return count < 0 ? -count : count;
    }
    constexpr std::uint8_t Version() const { return bytes_[kVersionAt]; }
    constexpr std::uint32_t ExpandSize() const { return ReadLe<std::uint32_t>(bytes_, kExpandAt); }
    constexpr std::uint16_t TableEntry(std::size_t i) const {
        return ReadLe<std::uint16_t>(bytes_, kTableAt + sizeof(std::uint16_t) * i);
    }
    // The table as stored, little-endian entries.
    constexpr std::span<const std::uint8_t> TableBytes() const {
        return bytes_.subspan(kTableAt, kTableBytes);
    }
    constexpr std::uint32_t SkipSize() const { return ReadLe<std::uint32_t>(bytes_, kSkipSizeAt); }
    // Where the frame offsets start (behind the skip area, which may itself
    // run past the record).
    constexpr std::size_t OffsetsAt() const { return kSkipAt + std::size_t{SkipSize()}; }

    // Where the frames start, behind the skip area and the frame index, or
    // nothing when those run past the record. The accessors below want it.
    [[nodiscard]] constexpr std::optional<std::size_t> FramesAt() const {
        return BlocksAt(bytes_, OffsetsAt(), FrameCount());
    }
    constexpr std::span<const std::uint8_t> SkipArea() const {
        return bytes_.subspan(kSkipAt, SkipSize());
    }
    // Frame k's offset from the first frame.
    constexpr std::uint32_t FrameOffset(std::int32_t k) const {
        return ReadLe<std::uint32_t>(bytes_, OffsetsAt() + kIndexEntrySize * std::size_t(k));
    }

  private:
    friend RecordView;
    using RecordView::RecordView;
};

// The fixed part of a sequence record, up to the skip area, as a writer
// fills it; the fields readers skip are written 0.
struct SequenceHead {
    std::int16_t count = 0;  // the frame count, negative for a delta sequence
    std::uint32_t expandSize = 0;
    const std::uint16_t *table = nullptr;  // kTableEntries entries
    std::uint32_t skipSize = 0;
};

// Writes head over the first kSkipAt bytes; false when there are fewer.
[[nodiscard]] constexpr bool StoreSequenceHead(std::span<std::uint8_t> bytes,
                                               const SequenceHead &head) {
    if (bytes.size() < kSkipAt || head.table == nullptr) return false;
    for (std::size_t i = 0; i < kSkipAt; ++i) bytes[i] = 0;
    bool stored =
        StoreLe(bytes, kCountAt, head.count) && StoreLe(bytes, kVersionAt, kRecordVersion) &&
        StoreLe(bytes, kExpandAt, head.expandSize) && StoreLe(bytes, kSkipSizeAt, head.skipSize);
    for (std::size_t i = 0; stored && i < kTableEntries; ++i) {
        stored = StoreLe(bytes, kTableAt + sizeof(std::uint16_t) * i, head.table[i]);
    }
    return stored;
}

// A player-number record; its fixed part runs up to the overlay offsets.
class NumberRecordView : public RecordView<NumberRecordView, kOverlayOffsetsAt> {
  public:
    constexpr std::int16_t FrameCount() const {
        return ReadLe<std::int16_t>(bytes_, kOverlayCountAt);
    }
    // Where the overlays start, or nothing when the overlay index runs past
    // the record; a negative count holds no overlays.
    [[nodiscard]] constexpr std::optional<std::size_t> OverlaysAt() const {
        const std::int32_t count = FrameCount();
        return BlocksAt(bytes_, kOverlayOffsetsAt, count > 0 ? count : 0);
    }
    // Overlay k's offset from the first overlay (see IsNoNumber).
    constexpr std::uint32_t OverlayOffset(std::int32_t k) const {
        return ReadLe<std::uint32_t>(bytes_, kOverlayOffsetsAt + kIndexEntrySize * std::size_t(k));
    }

  private:
    friend RecordView;
    using RecordView::RecordView;
};

}  // namespace anim::projector
