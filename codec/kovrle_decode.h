// The stream decoders behind Expand: the whole-frame and line-by-line KOVRLE
// streams and the number overlay, with what they share.
//
// Reads are bounded by the stream's end (the top of the address space when
// the caller cannot know it), and no code byte is read that the grammar does
// not call for. Writes stay inside the output's pixel area and the codec's
// scratch rows; runs are filled a fixed span at a time into scratch that has
// room for the overshoot, and only exact byte counts reach the caller's
// block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/kovrle.h"

namespace anim::codec {

// One decoded code: a run of length pixels of colour, from bytes code bytes.
struct Run {
    std::uint32_t length;
    std::uint8_t colour;
    std::uint32_t bytes;  // code bytes read
};

// Where a stream's bytes are and how far they may be read.
class StreamBounds {
  public:
    StreamBounds(const std::uint8_t *begin, std::size_t length)
        : begin_(begin),
          end_(length > UINTPTR_MAX - Address(begin) ? UINTPTR_MAX : Address(begin) + length) {}

    const std::uint8_t *begin() const { return begin_; }
    // Whether count bytes may be read from p on.
    bool Holds(const std::uint8_t *p, std::size_t count) const {
        return count <= end_ - Address(p);
    }
    std::size_t Left(const std::uint8_t *p) const { return end_ - Address(p); }
    // Codes that start below this address have count bytes to read.
    std::uintptr_t WholeBelow(std::size_t count) const {
        return end_ - Address(begin_) < count ? Address(begin_) : end_ - (count - 1);
    }

    static std::uintptr_t Address(const std::uint8_t *p) {
        return reinterpret_cast<std::uintptr_t>(p);
    }

  private:
    const std::uint8_t *begin_;
    std::uintptr_t end_;
};

// The output's pixel area and the part of it that decoded rows may fill.
struct OutputArea {
    std::uint8_t *pixels;
    std::int64_t dataSize;
    std::int32_t width;   // W'
    std::int32_t height;  // H'
    std::int64_t stride;  // S'

    bool RowFits(std::int64_t y) const {
        return y >= 0 && y < height && y * stride + width <= dataSize;
    }
    // Rows 0 to this, exclusive, lie whole inside the pixel area.
    std::int32_t RowsThatFit() const {
        if (width == 0 || dataSize >= height * stride) return height;
        if (dataSize < width) return 0;
        const std::int64_t rows = (dataSize - width) / stride + 1;
        return static_cast<std::int32_t>(rows < height ? rows : height);
    }
};

// What the table says for the line decoder: entry 0 already reads (1, 0).
struct LineCodes {
    const std::uint16_t *table;
    std::uint8_t escape;
    std::uint8_t countMark;
};

struct LineJob {
    const std::uint8_t *stream;
    std::size_t streamLength;
    LineCodes codes;
    std::int32_t width;  // W, source pixels per row
    std::int32_t height;
    std::int32_t scale;
    bool mirror;
};

struct NumberJob {
    const void *overlay;
    std::size_t overlaySize;
    std::int32_t scale;
    std::int32_t ox;  // first overlay pixel's column; mirrored: one past it
    std::int32_t oy;
    std::uint16_t mask;
    std::uint8_t colour;
    bool mirror;
};

// Decodes a line-by-line stream into out, row by row, bottom row first. A
// row cut short by the end of the input is not written, nor any after it.
void DecodeLines(const LineJob &job, const OutputArea &out);

// Paints the overlay's lit segments over the decoded rows of out.
void PaintNumber(const NumberJob &job, const OutputArea &out);

// Decodes a whole-frame stream into size bytes at out; pixels that the
// stream does not reach keep what they held.
void DecodeWholeFrame(const StreamBounds &in, const std::uint16_t *table, std::uint8_t *out,
                      std::size_t size);

// ---- Run fills --------------------------------------------------------------

// Runs are written this many bytes at a time; scratch that takes fills has
// this much room past its last pixel.
inline constexpr std::size_t kFillSpan = 32;

// Sixteen copies of each colour, so that a run's store pattern is one load.
struct alignas(16) ColourPattern {
    std::uint8_t bytes[16];
};
inline constexpr std::array<ColourPattern, 256> kColourPatterns = [] {
    std::array<ColourPattern, 256> patterns{};
    for (std::size_t c = 0; c < patterns.size(); ++c)
        for (std::uint8_t &b : patterns[c].bytes) b = static_cast<std::uint8_t>(c);
    return patterns;
}();

// Writes colour to the kFillSpan bytes from dst on.
inline void FillSpan(std::uint8_t *dst, std::uint8_t colour) {
    const ColourPattern &pattern = kColourPatterns[colour];
    constexpr std::size_t kHalf = sizeof pattern.bytes;
    std::memcpy(dst, pattern.bytes, kHalf);
    std::memcpy(dst + kHalf, pattern.bytes, kHalf);
}

// Writes colour to length bytes from dst on, and up to kFillSpan - 1 bytes
// past them: one store pattern for most runs. Past one span a run is cut at
// room bytes, all that its reader will look at.
inline void FillRun(std::uint8_t *dst, std::uint8_t colour, std::size_t length, std::size_t room) {
    const ColourPattern &pattern = kColourPatterns[colour];
    constexpr std::size_t kHalf = sizeof pattern.bytes;
    std::memcpy(dst, pattern.bytes, kHalf);
    std::memcpy(dst + kHalf, pattern.bytes, kHalf);
    if (length <= kFillSpan) [[likely]]
        return;
    const std::size_t end = length < room ? length : room;
    for (std::size_t done = kFillSpan; done < end; done += kFillSpan) {
        std::memcpy(dst + done, pattern.bytes, kHalf);
        std::memcpy(dst + done + kHalf, pattern.bytes, kHalf);
    }
}

// As FillRun, from dstEnd backward: the run is the length bytes below
// dstEnd, and the overshoot lies below it.
inline void FillRunBackward(std::uint8_t *dstEnd, std::uint8_t colour, std::size_t length,
                            std::size_t room) {
    const ColourPattern &pattern = kColourPatterns[colour];
    constexpr std::size_t kHalf = sizeof pattern.bytes;
    std::memcpy(dstEnd - kHalf, pattern.bytes, kHalf);
    std::memcpy(dstEnd - kFillSpan, pattern.bytes, kHalf);
    if (length <= kFillSpan) [[likely]]
        return;
    const std::size_t end = length < room ? length : room;
    for (std::size_t done = kFillSpan; done < end; done += kFillSpan) {
        std::memcpy(dstEnd - done - kHalf, pattern.bytes, kHalf);
        std::memcpy(dstEnd - done - kFillSpan, pattern.bytes, kHalf);
    }
}

}  // namespace anim::codec
