// Writing multi-animation files: sequences of 8-bit pictures in, one file
// that LoadMultiAnim reads out.
//
//   writer::Writer writer;
//   std::vector<writer::Frame> run = ...;            // 8-bit pictures, top row first
//   auto added = writer.AddScalableSequence(run, "run");
//   if (!added) { puts(added.error.c_str()); }
//   writer::Status written = writer.Write("players.anx");
//
// Two kinds of sequence:
//  - scalable: every frame a whole picture (at most 255 x 255), coded row by
//    row through a line-form decompression table built from the sequence's
//    own pixel statistics; frames may carry a number overlay (shirt-number
//    art in the colours 1-9 and 246-250) and may repeat an earlier frame.
//    These play at any scale, mirrored and in both team colours.
//  - delta: frame 0 a whole picture, later frames only the rectangles that
//    changed since the frame before (unchanged pixels in a key colour), with
//    a whole "key" frame every keyInterval frames for seeking; coded
//    whole-frame. These play at full size only.
// Sequences are written in the order they were added; LoadMultiAnim gives
// sequence i the caller's ids[i].
//
// The writer is a tool, not part of the library: it may use the standard
// library freely and reports every refusal as text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "animate.h"

namespace writer {

// An 8-bit picture: height rows of width bytes, the top row first.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;

    Image() = default;
    Image(std::int32_t w, std::int32_t h, std::uint8_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w > 0 && h > 0 ? w * h : 0), fill) {}
    std::uint8_t &at(std::int32_t x, std::int32_t y) {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    std::uint8_t at(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Shirt-number art painted over a frame: pixels in the segment colours
// (1-7 paint the left digit's seven segments, 8, 9 and 246-250 the right
// digit's; AnxFilterJerseyColors keeps exactly these), everything else 0. left, top: where the art's
// top-left pixel lies in the frame's picture.
struct NumberOverlay {
    Image art;
    std::int32_t left = 0;
    std::int32_t top = 0;
};

// No frame repeated.
inline constexpr std::int32_t kNoRepeat = -1;

struct Frame {
    Image image;
    // The frame's rectangle origin: where the picture's top-left pixel lies
    // relative to the point the game projects at (a foot-centred player has
    // originX = -width / 2, originY = -height). Scaled and mirrored with the
    // frame.
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    // Added to the sprite position when the frame is shown, unscaled.
    // Scalable sequences only: a delta sequence stores none.
    std::int16_t adjustX = 0;
    std::int16_t adjustY = 0;
    // Scalable sequences only.
    std::optional<NumberOverlay> number;
    // kNoRepeat, or the index of an earlier or later real frame of the same
    // sequence that this frame shows again (image and overlay are ignored;
    // stored as a 32-byte header).
    std::int32_t repeatOf = kNoRepeat;
};

struct DeltaOptions {
    // A whole opaque frame every keyInterval frames (0: frame 0 only).
    std::int32_t keyInterval = 0;
    // Changed regions no larger than this many pixels a side are not cut
    // further.
    std::int32_t minRectSize = 8;
    // Most rectangles per frame.
    std::int32_t maxRects = 64;
    // Each changed region is cut into this many parts a side while searching.
    std::int32_t divisor = 2;
};

// Bytes written into the area that a sequence record lets readers skip.
struct SequenceOptions {
    std::vector<std::uint8_t> skipArea;
};

// What a sequence costs, for a summary table.
struct SequenceStats {
    std::string name;
    bool delta = false;
    std::int32_t frames = 0;        // frame count, repeats included
    std::int32_t repeatFrames = 0;  // frames stored as a repeat header
    std::int32_t keyFrames = 0;     // delta: whole opaque frames
    std::int32_t rectangles = 0;    // delta: changed rectangles stored
    std::int32_t numberFrames = 0;  // frames with a number overlay of their own
    std::uint64_t rawBytes = 0;     // raw frame blocks of the real frames
    std::uint64_t storedBytes = 0;  // bytes of its records in the file
    std::int32_t markers = 0;       // marker bytes in its table, escape included
    std::uint32_t expandSize = 0;   // largest expanded frame block
};

// Success, or the reason for a refusal.
struct Status {
    bool ok = true;
    std::string error;

    static Status Ok() { return {}; }
    static Status Fail(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

// Index of the sequence added (its directory position), or a refusal.
struct Added {
    std::int32_t index = -1;
    std::string error;
    explicit operator bool() const { return index >= 0; }
};

class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Encodes a scalable sequence now; nothing is added on refusal.
    Added AddScalableSequence(std::span<const Frame> frames, std::string name = {},
                              const SequenceOptions &options = {});
    // Encodes a delta sequence: every real frame the same size. Number
    // overlays and repeats are refused here; frame 0's origin places the
    // whole sequence. Adjusts are not stored: the projector never applies
    // frame 0's, and the later frames are changes to frame 0's picture.
    Added AddDeltaSequence(std::span<const Frame> frames, std::string name = {},
                           const DeltaOptions &delta = {}, const SequenceOptions &options = {});

    std::size_t sequenceCount() const;
    const std::vector<SequenceStats> &stats() const { return stats_; }

    // The whole file in memory; a refusal when there is no sequence or a
    // size does not fit the format's 32-bit fields.
    Status Build(std::vector<std::uint8_t> &out) const;
    // Build, then write to path.
    Status Write(const std::string &path) const;

private:
    struct Encoded;
    // Appends a coded sequence and its statistics; its index.
    Added Keep(Encoded encoded, SequenceStats stats);

    std::vector<Encoded> sequences_;
    std::vector<SequenceStats> stats_;
};

// Prints the statistics as an aligned text table, one row a sequence and a
// total row.
std::string FormatStats(const std::vector<SequenceStats> &stats);

}  // namespace writer
