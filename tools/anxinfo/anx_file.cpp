/*
 * Multi-animation file reading, for inspection.
 *
 * Byte grammar (little-endian, no padding):
 *
 *   file      := header directory body
 *   header    := u16 mark (>= 1) u16 sequence-count N u16 number-count M
 *                u16 unused u32 full-body-size u32 short-body-size
 *   directory := N x (u32 sequence-offset u32 number-offset (0: none))
 *   body      := bytes addressed by the directory, from 16 + 8N
 *   sequence  := i16 frame-count (negative: delta) u8 version (4) u8 unused
 *                u32 expand-size u32 u32 u32 (unused)
 *                256 x u16 decompression-table
 *                u32 skip-size S, S bytes skip-area
 *                F x u32 frame-offset, F x u32 unused, frame-data
 *   frame     := 32-byte frame header, rect-count x 8-byte rectangles, stream
 *                (rect-count 0: a repeat of the frame numbered at byte 30)
 *   numbers   := i16 frame-count F2, 4 x u32 unused,
 *                F2 x u32 overlay-offset (0xFFFFFFFF or 0xFFFFFFD0: none),
 *                F2 x u32 unused, overlay-data
 *
 * Offsets are never trusted: each is checked against the bytes read before
 * anything is taken from where it points.
 */
#include "anx_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace anxinfo {
namespace {

constexpr std::uint32_t kNoNumber = 0xFFFFFFFFu;
constexpr std::uint32_t kNoNumberAlt = 0xFFFFFFD0u;

std::uint16_t U16(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::int16_t I16(const std::vector<std::uint8_t> &b, std::size_t at) { return static_cast<std::int16_t>(U16(b, at)); }

// True when [at, at + size) lies inside the file.
bool Inside(const std::vector<std::uint8_t> &b, std::size_t at, std::size_t size) {
    return at <= b.size() && size <= b.size() - at;
}

StoredFrame ReadFrame(const std::vector<std::uint8_t> &b, std::size_t at, std::size_t end) {
    StoredFrame f;
    f.at = at;
    f.available = end > at ? end - at : 0;
    if (!Inside(b, at, kFrameHeaderSize) || f.available < kFrameHeaderSize) return f;
    f.rectCount = I16(b, at + 2);
    f.dataSize = U32(b, at + 4);
    f.compression = U16(b, at + 8);
    f.keyColour = U16(b, at + 10);
    f.left = I16(b, at + 12);
    f.top = I16(b, at + 14);
    f.right = I16(b, at + 16);
    f.bottom = I16(b, at + 18);
    f.adjustX = I16(b, at + 20);
    f.adjustY = I16(b, at + 22);
    f.repeatOf = I16(b, at + 30);
    if (f.rectCount < 0) return f;
    const std::size_t entries = kRectEntrySize * static_cast<std::size_t>(f.rectCount);
    f.valid = f.available >= kFrameHeaderSize + entries;
    return f;
}

void ReadSequence(AnxFile &file, std::size_t index, std::size_t at, std::size_t end) {
    const auto &b = file.bytes;
    Sequence seq;
    seq.at = at;
    seq.size = end > at ? end - at : 0;
    const std::string name = "sequence " + std::to_string(index);
    if (!Inside(b, at, kSkipAreaOffset) || seq.size < kSkipAreaOffset) {
        file.problems.push_back(name + ": record at body offset lies outside the file");
        file.sequences.push_back(std::move(seq));
        return;
    }
    const std::int16_t count = I16(b, at);
    seq.delta = count < 0;
    seq.frameCount = std::abs(static_cast<std::int32_t>(count));
    seq.version = b[at + 2];
    seq.expandSize = U32(b, at + 4);
    for (std::size_t i = 0; i < kTableEntries; ++i) seq.table.push_back(U16(b, at + kTableOffset + 2 * i));
    const std::uint32_t skip = U32(b, at + kSkipSizeOffset);
    if (seq.version != kRecordVersion) file.problems.push_back(name + ": version " + std::to_string(seq.version) + ", not 4");
    const std::size_t offsets_at = at + kSkipAreaOffset + skip;
    const std::size_t frames_at = offsets_at + 8 * static_cast<std::size_t>(seq.frameCount);
    if (skip > seq.size || !Inside(b, offsets_at, 8 * static_cast<std::size_t>(seq.frameCount)) ||
        frames_at > end) {
        file.problems.push_back(name + ": skip area or frame offsets run past its record");
        file.sequences.push_back(std::move(seq));
        return;
    }
    seq.skipArea.assign(b.begin() + static_cast<std::ptrdiff_t>(at + kSkipAreaOffset),
                        b.begin() + static_cast<std::ptrdiff_t>(offsets_at));
    seq.meta = anxpack::DecodeMeta(seq.skipArea);

    std::vector<std::uint32_t> offsets;
    for (std::int32_t k = 0; k < seq.frameCount; ++k) offsets.push_back(U32(b, offsets_at + 4 * static_cast<std::size_t>(k)));
    std::vector<std::uint32_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    seq.valid = true;
    for (std::int32_t k = 0; k < seq.frameCount; ++k) {
        const std::uint32_t off = offsets[static_cast<std::size_t>(k)];
        auto next = std::upper_bound(sorted.begin(), sorted.end(), off);
        const std::size_t frame_at = frames_at + off;
        const std::size_t frame_end = next == sorted.end() ? end : std::min(end, frames_at + *next);
        StoredFrame f = frame_at < end ? ReadFrame(b, frame_at, frame_end) : StoredFrame{};
        if (!f.valid) {
            file.problems.push_back(name + ", frame " + std::to_string(k) + ": lies outside its record");
            seq.valid = false;
        }
        seq.frames.push_back(f);
    }
    file.sequences.push_back(std::move(seq));
}

void ReadNumbers(AnxFile &file, Sequence &seq, std::size_t index, std::size_t at, std::size_t end) {
    const auto &b = file.bytes;
    const std::string name = "numbers of sequence " + std::to_string(index);
    if (!Inside(b, at, kNumberOffsetsAt) || at >= end) {
        file.problems.push_back(name + ": record lies outside the file");
        return;
    }
    NumberSet set;
    set.at = at;
    set.frameCount = I16(b, at);
    const std::size_t count = set.frameCount > 0 ? static_cast<std::size_t>(set.frameCount) : 0;
    const std::size_t data_at = at + kNumberOffsetsAt + 8 * count;
    if (!Inside(b, at + kNumberOffsetsAt, 8 * count) || data_at > end) {
        file.problems.push_back(name + ": overlay offsets run past the file");
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t off = U32(b, at + kNumberOffsetsAt + 4 * k);
        if (off == kNoNumber || off == kNoNumberAlt) {
            set.overlays.emplace_back();
            continue;
        }
        StoredFrame f = data_at + off < end ? ReadFrame(b, data_at + off, end) : StoredFrame{};
        if (!f.valid) {
            file.problems.push_back(name + ", frame " + std::to_string(k) + ": overlay lies outside the file");
            set.overlays.emplace_back();
            continue;
        }
        set.overlays.emplace_back(f);
    }
    if (static_cast<std::int32_t>(count) != seq.frameCount) {
        file.problems.push_back(name + ": " + std::to_string(count) + " overlays for " +
                                std::to_string(seq.frameCount) + " frames");
    }
    seq.numbers = std::move(set);
}

}  // namespace

int Sequence::Markers() const {
    if (table.size() != kTableEntries) return 0;
    const std::uint16_t header = table[0];
    const std::uint8_t escape = static_cast<std::uint8_t>(header & 0xFF);
    int markers = escape != 0 ? 1 : 0;
    for (std::size_t b = 1; b < kTableEntries; ++b) {
        if (b == escape) continue;
        const bool plain = table[b] == header || table[b] == (0x100 | b);
        if (!plain) ++markers;
    }
    return markers;
}

int Sequence::RepeatFrames() const {
    int n = 0;
    for (const StoredFrame &f : frames) n += f.valid && f.rectCount == 0 ? 1 : 0;
    return n;
}

std::uint64_t Sequence::RawBytes() const {
    std::uint64_t raw = 0;
    for (const StoredFrame &f : frames) {
        if (f.valid && f.rectCount > 0) raw += kFrameHeaderSize + kRectEntrySize * static_cast<std::uint64_t>(f.rectCount) + f.dataSize;
    }
    return raw;
}

std::optional<AnxFile> ReadAnxFile(const std::string &path, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the file";
        return std::nullopt;
    }
    AnxFile file;
    file.path = path;
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto &b = file.bytes;
    if (b.size() < kFileHeaderSize) {
        error = path + ": " + std::to_string(b.size()) + " bytes, too short for a multi-animation header";
        return std::nullopt;
    }
    file.mark = U16(b, 0);
    file.sequenceCount = U16(b, 2);
    file.numberCount = U16(b, 4);
    file.fullBody = U32(b, 8);
    file.shortBody = U32(b, 12);
    if (file.mark == 0) file.problems.push_back("header mark is 0 (the library refuses such files)");
    const std::size_t dir_bytes = kDirectoryEntrySize * file.sequenceCount;
    if (!Inside(b, kFileHeaderSize, dir_bytes)) {
        file.problems.push_back("directory of " + std::to_string(file.sequenceCount) + " entries runs past the file");
        return file;
    }
    for (std::size_t i = 0; i < file.sequenceCount; ++i) {
        file.directory.emplace_back(U32(b, kFileHeaderSize + 8 * i), U32(b, kFileHeaderSize + 8 * i + 4));
    }
    const std::size_t body = file.BodyStart();
    const std::size_t present = b.size() - body;
    if (file.shortBody > present || file.fullBody > present || file.shortBody > file.fullBody) {
        file.problems.push_back("body sizes (" + std::to_string(file.shortBody) + ", " + std::to_string(file.fullBody) +
                                ") do not match the " + std::to_string(present) + " bytes present");
    }
    const std::size_t short_end = body + std::min<std::size_t>(file.shortBody, present);
    const std::size_t full_end = body + std::min<std::size_t>(file.fullBody, present);

    // A sequence's record runs to the next record or the end of the sequences.
    std::vector<std::uint32_t> starts;
    for (const auto &entry : file.directory) starts.push_back(entry.first);
    std::sort(starts.begin(), starts.end());
    for (std::size_t i = 0; i < file.directory.size(); ++i) {
        const std::uint32_t off = file.directory[i].first;
        auto next = std::upper_bound(starts.begin(), starts.end(), off);
        const std::size_t end = next == starts.end() ? short_end : std::min(short_end, body + *next);
        ReadSequence(file, i, body + off, end);
    }
    int with_numbers = 0;
    for (std::size_t i = 0; i < file.directory.size(); ++i) {
        const std::uint32_t off = file.directory[i].second;
        if (off == 0) continue;
        ++with_numbers;
        ReadNumbers(file, file.sequences[i], i, body + off, full_end);
    }
    if (with_numbers > file.numberCount) {
        file.problems.push_back(std::to_string(with_numbers) + " sequences have numbers but the header counts " +
                                std::to_string(file.numberCount));
    }
    return file;
}

}  // namespace anxinfo
