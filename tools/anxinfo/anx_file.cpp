// Multi-animation file reading, for inspection. The file's layout and the
// views of its records are the loader's own (projector/container.h); what
// is added here is the bookkeeping of an inspector: each record and frame
// is bounded by the next one, and every fault becomes a line of text.
//
// Offsets are never trusted: each is checked against the bytes read before
// anything is taken from where it points.
#include "anx_file.h"

#include <algorithm>
#include <span>

#include "dib/anx_frame.h"
#include "input_file.h"

namespace anxinfo {

namespace layout = anim::projector;

namespace {

// The bytes of the file from at to end (both within the file), or none.
std::span<const std::uint8_t> Between(const std::vector<std::uint8_t> &b, std::size_t at,
                                      std::size_t end) {
    if (at >= end || end > b.size()) return {};
    return std::span(b).subspan(at, end - at);
}

// A frame header at `at`, its block running to end at the most.
StoredFrame ReadFrame(const std::vector<std::uint8_t> &b, std::size_t at, std::size_t end) {
    StoredFrame f;
    f.at = at;
    f.available = end > at ? end - at : 0;
    const std::span<const std::uint8_t> block = Between(b, at, end);
    if (block.size() < sizeof(ANXFRAME)) return f;
    const ANXFRAME header = anim::dib::LoadHeader(block.data());
    f.rectCount = header.rectCount;
    f.dataSize = header.dataSize;
    f.compression = header.compression;
    f.keyColour = header.compressionHigh;
    f.left = header.rect.left;
    f.top = header.rect.top;
    f.right = header.rect.right;
    f.bottom = header.rect.bottom;
    f.adjustX = header.adjustX;
    f.adjustY = header.adjustY;
    f.repeatOf = header.repeatFrame;
    f.valid = layout::FrameHeadFits(block, 0);
    return f;
}

// The frames of a sequence whose frame index ends at framesAt, each bounded
// by the next frame or the end of the record.
void ReadFrames(AnxFile &file, Sequence &seq, const layout::SequenceRecordView &record,
                std::size_t framesAt, std::size_t end, const std::string &name) {
    std::vector<std::uint32_t> offsets;
    for (std::int32_t k = 0; k < seq.frameCount; ++k) offsets.push_back(record.FrameOffset(k));
    std::vector<std::uint32_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    seq.valid = true;
    for (std::int32_t k = 0; k < seq.frameCount; ++k) {
        const std::uint32_t off = offsets[static_cast<std::size_t>(k)];
        auto next = std::upper_bound(sorted.begin(), sorted.end(), off);
        const std::size_t frame_at = framesAt + off;
        const std::size_t frame_end = next == sorted.end() ? end : std::min(end, framesAt + *next);
        StoredFrame f = frame_at < end ? ReadFrame(file.bytes, frame_at, frame_end) : StoredFrame{};
        if (!f.valid) {
            file.problems.push_back(name + ", frame " + std::to_string(k) + ": lies outside its record");
            seq.valid = false;
        }
        seq.frames.push_back(f);
    }
}

void ReadSequence(AnxFile &file, std::size_t index, std::size_t at, std::size_t end) {
    Sequence seq;
    seq.at = at;
    seq.size = end > at ? end - at : 0;
    const std::string name = "sequence " + std::to_string(index);
    const auto record = layout::SequenceRecordView::Open(Between(file.bytes, at, end));
    if (!record) {
        file.problems.push_back(name + ": record at body offset lies outside the file");
        file.sequences.push_back(std::move(seq));
        return;
    }
    seq.delta = record->IsDelta();
    seq.frameCount = record->FrameCount();
    seq.version = record->Version();
    seq.expandSize = record->ExpandSize();
    for (std::size_t i = 0; i < kTableEntries; ++i) seq.table.push_back(record->TableEntry(i));
    if (seq.version != layout::kRecordVersion) file.problems.push_back(name + ": version " + std::to_string(seq.version) + ", not 4");
    const auto framesAt = record->FramesAt();
    if (!framesAt) {
        file.problems.push_back(name + ": skip area or frame offsets run past its record");
        file.sequences.push_back(std::move(seq));
        return;
    }
    const auto skip = record->SkipArea();
    seq.skipArea.assign(skip.begin(), skip.end());
    seq.meta = anxpack::DecodeMeta(seq.skipArea);
    ReadFrames(file, seq, *record, at + *framesAt, end, name);
    file.sequences.push_back(std::move(seq));
}

// A number record from at, bounded by end: the next number record or the
// end of the body.
void ReadNumbers(AnxFile &file, Sequence &seq, std::size_t index, std::size_t at, std::size_t end) {
    const auto &b = file.bytes;
    const std::string name = "numbers of sequence " + std::to_string(index);
    // The fixed part is bounded by the file, the overlay index by the body.
    const auto record = layout::NumberRecordView::Open(Between(b, at, b.size()));
    if (!record || at >= end) {
        file.problems.push_back(name + ": record lies outside the file");
        return;
    }
    NumberSet set;
    set.at = at;
    set.size = end - at;
    set.frameCount = record->FrameCount();
    const std::size_t count = set.frameCount > 0 ? static_cast<std::size_t>(set.frameCount) : 0;
    const auto overlaysAt = record->OverlaysAt();
    if (!overlaysAt || at + *overlaysAt > end) {
        file.problems.push_back(name + ": overlay offsets run past the file");
        return;
    }
    const std::size_t data_at = at + *overlaysAt;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t off = record->OverlayOffset(static_cast<std::int32_t>(k));
        if (layout::IsNoNumber(off)) {
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
        if (f.valid && f.rectCount > 0) raw += anim::dib::kHeaderSize + anim::dib::kEntrySize * static_cast<std::uint64_t>(f.rectCount) + f.dataSize;
    }
    return raw;
}

namespace {

// The header and the directory; false when the directory runs past the
// file, and the records are then left unread.
bool ReadHead(AnxFile &file, const layout::FileHeader &header) {
    const auto &b = file.bytes;
    file.mark = header.mark;
    file.sequenceCount = header.sequences;
    file.numberCount = header.numberRecords;
    file.fullBody = header.fullBody;
    file.shortBody = header.shortBody;
    if (file.mark == 0) file.problems.push_back("header mark is 0 (the library refuses such files)");
    const std::size_t dir_bytes = layout::kDirectoryEntrySize * file.sequenceCount;
    if (!layout::Holds(b.size(), kFileHeaderSize, dir_bytes)) {
        file.problems.push_back("directory of " + std::to_string(file.sequenceCount) + " entries runs past the file");
        return false;
    }
    const auto directory = std::span(b).subspan(kFileHeaderSize, dir_bytes);
    for (std::size_t i = 0; i < file.sequenceCount; ++i) {
        const layout::DirectoryEntry entry = layout::ReadDirectoryEntry(directory, i);
        file.directory.emplace_back(entry.sequence, entry.numbers);
    }
    return true;
}

// The records the directory names: a sequence record runs to the next
// record or the end of the sequence part, a number record to the end of
// the body.
void ReadRecords(AnxFile &file) {
    const std::size_t body = file.BodyStart();
    const std::size_t present = file.bytes.size() - body;
    if (file.shortBody > present || file.fullBody > present || file.shortBody > file.fullBody) {
        file.problems.push_back("body sizes (" + std::to_string(file.shortBody) + ", " + std::to_string(file.fullBody) +
                                ") do not match the " + std::to_string(present) + " bytes present");
    }
    const std::size_t short_end = body + std::min<std::size_t>(file.shortBody, present);
    const std::size_t full_end = body + std::min<std::size_t>(file.fullBody, present);
    std::vector<std::uint32_t> starts;
    for (const auto &entry : file.directory) starts.push_back(entry.first);
    std::sort(starts.begin(), starts.end());
    for (std::size_t i = 0; i < file.directory.size(); ++i) {
        const std::uint32_t off = file.directory[i].first;
        auto next = std::upper_bound(starts.begin(), starts.end(), off);
        const std::size_t end = next == starts.end() ? short_end : std::min(short_end, body + *next);
        ReadSequence(file, i, body + off, end);
    }
    std::vector<std::uint32_t> number_starts;
    for (const auto &entry : file.directory) {
        if (entry.second != layout::kNoNumberRecord) number_starts.push_back(entry.second);
    }
    std::sort(number_starts.begin(), number_starts.end());
    int with_numbers = 0;
    for (std::size_t i = 0; i < file.directory.size(); ++i) {
        const std::uint32_t off = file.directory[i].second;
        if (off == layout::kNoNumberRecord) continue;
        ++with_numbers;
        auto next = std::upper_bound(number_starts.begin(), number_starts.end(), off);
        const std::size_t end =
            next == number_starts.end() ? full_end : std::min(full_end, body + *next);
        ReadNumbers(file, file.sequences[i], i, body + off, end);
    }
    if (with_numbers > file.numberCount) {
        file.problems.push_back(std::to_string(with_numbers) + " sequences have numbers but the header counts " +
                                std::to_string(file.numberCount));
    }
}

}  // namespace

std::optional<AnxFile> ReadAnxFile(const std::string &path, std::string &error) {
    std::vector<std::uint8_t> bytes;
    if (std::string e = imageio::ReadInputFile(path, bytes); !e.empty()) {
        error = e;
        return std::nullopt;
    }
    return ParseAnxFile(std::move(bytes), path, error);
}

std::optional<AnxFile> ParseAnxFile(std::vector<std::uint8_t> bytes, const std::string &path,
                                    std::string &error) {
    AnxFile file;
    file.path = path;
    file.bytes = std::move(bytes);
    const auto header = layout::ParseFileHeader(file.bytes);
    if (!header) {
        error = path + ": " + std::to_string(file.bytes.size()) + " bytes, too short for a multi-animation header";
        return std::nullopt;
    }
    if (ReadHead(file, *header)) ReadRecords(file);
    return file;
}

}  // namespace anxinfo
