// A multi-animation file read for inspection: every offset and size checked
// against the bytes actually present, problems collected as text rather
// than trusted.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "projector/container.h"
#include "sequence_meta.h"

namespace anxinfo {

// The file's layout is the loader's (projector/container.h).
using anim::projector::kFileHeaderSize;
using anim::projector::kTableEntries;

// One frame as stored: where its block starts in the file and how many
// bytes are there before the next frame (or the end of its area).
struct StoredFrame {
    std::size_t at = 0;
    std::size_t available = 0;
    std::int16_t rectCount = 0;
    std::uint32_t dataSize = 0;
    std::uint16_t compression = 0;
    std::uint16_t keyColour = 0;
    std::int16_t left = 0, top = 0, right = 0, bottom = 0;
    std::int16_t adjustX = 0, adjustY = 0;
    std::int16_t repeatOf = 0;
    bool valid = false;  // the header and entries lie inside the file
};

struct NumberSet {
    std::size_t at = 0;
    std::size_t size = 0;  // bytes of its record, overlays included
    std::int16_t frameCount = 0;
    std::vector<std::optional<StoredFrame>> overlays;  // nothing: no number
};

struct Sequence {
    std::size_t at = 0;
    std::size_t size = 0;  // bytes of its record, frames included
    bool delta = false;
    std::int32_t frameCount = 0;
    std::uint8_t version = 0;
    std::uint32_t expandSize = 0;
    std::vector<std::uint16_t> table;
    std::vector<std::uint8_t> skipArea;
    std::optional<anxpack::SequenceMeta> meta;
    std::vector<StoredFrame> frames;
    std::optional<NumberSet> numbers;
    bool valid = false;

    int Markers() const;
    int RepeatFrames() const;
    std::uint64_t RawBytes() const;  // expanded blocks of the real frames
    // Bytes of its records in the file: its sequence record and its number
    // record (what anxpack's summary calls stored).
    std::uint64_t StoredBytes() const { return size + (numbers ? numbers->size : 0); }
};

struct AnxFile {
    std::string path;
    std::vector<std::uint8_t> bytes;
    std::uint16_t mark = 0;
    std::uint16_t sequenceCount = 0;
    std::uint16_t numberCount = 0;
    std::uint32_t fullBody = 0;
    std::uint32_t shortBody = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> directory;
    std::vector<Sequence> sequences;
    std::vector<std::string> problems;

    std::size_t BodyStart() const { return anim::projector::BodyStart(directory.size()); }
};

// Reads and checks path. Returns nothing only when the file cannot be read
// or is too short for its header (error says why); every other fault is
// listed in problems and the parts it touches are marked invalid.
std::optional<AnxFile> ReadAnxFile(const std::string &path, std::string &error);
// The same for a file's bytes already read (path names it in messages).
std::optional<AnxFile> ParseAnxFile(std::vector<std::uint8_t> bytes, const std::string &path,
                                    std::string &error);

}  // namespace anxinfo
