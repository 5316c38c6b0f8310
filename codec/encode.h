// The preparation side of the codec: decompression tables built from run
// statistics, and the encoders that turn raw frames and DIBs into streams.
// The exported functions are thin shells over these.
#pragma once

#include <cstdint>
#include <optional>

#include "animate.h"

namespace anim::codec {

// ---- Decompression tables ----------------------------------------------------

void StartDecompTable(std::uint32_t *statistics);
void UpdateDecompTable(const std::uint8_t *data, std::uint32_t count, std::uint32_t *statistics);
void UpdateDecompTableLines(const std::uint8_t *data, std::uint32_t width, std::uint32_t height,
                            std::uint32_t *statistics);
void FinishDecompTable(std::uint32_t *statistics, std::uint16_t *table, std::uint32_t reserve,
                       std::uint32_t limit);
void ConvertTableToLineForm(std::uint16_t *table);

// ---- Encoders ------------------------------------------------------------------
// Each returns the new block and releases its input, or returns null and
// leaves the input as it was, the caller's.

ANXFRAME *KovrleFrame(ANXFRAME *frame, const std::uint16_t *table);
ANXFRAME *KovrleFrameLines(ANXFRAME *frame, const std::uint16_t *table, std::uint16_t width,
                           std::uint16_t height);
ANXFRAME *OverlayFrameLines(ANXFRAME *frame, std::uint16_t width, std::uint16_t height);
ANXFRAME *EscapeFrame(ANXFRAME *frame);
BITMAPINFOHEADER *EscapeDib(BITMAPINFOHEADER *dib, bool contiguous);

// ---- Shared by the frame encoders ----------------------------------------------

// A bounded output: every write past the capacity is refused, so that a
// stream longer than its reckoned worst case fails instead of overrunning.
class ByteSink {
  public:
    ByteSink(std::uint8_t *data, std::uint32_t capacity) : data_(data), capacity_(capacity) {}

    bool Put(std::uint8_t a) {
        if (length_ >= capacity_) return false;
        data_[length_++] = a;
        return true;
    }
    bool Put(std::uint8_t a, std::uint8_t b) { return Put(a) && Put(b); }
    bool Put(std::uint8_t a, std::uint8_t b, std::uint8_t c) { return Put(a) && Put(b) && Put(c); }
    // Overwrites a byte already written (a record's length byte).
    void Patch(std::uint32_t at, std::uint8_t value) { data_[at] = value; }

    std::uint32_t length() const { return length_; }

  private:
    std::uint8_t *data_;
    std::uint32_t capacity_;
    std::uint32_t length_ = 0;
};

// One stream kind as the frame driver sees it.
class FrameStreamEncoder {
  public:
    // The most bytes the stream of this raw frame can take, or nothing to
    // refuse the frame before anything is allocated.
    virtual std::optional<std::uint32_t> WorstCase(const ANXFRAME &header) const = 0;
    // Writes the stream of the raw pixel area (header.dataSize bytes) and the
    // mark to OR into compression; false refuses the frame.
    virtual bool Encode(const std::uint8_t *pixels, const ANXFRAME &header, ByteSink &out,
                        std::uint16_t &mark) = 0;

  protected:
    ~FrameStreamEncoder() = default;
};

// Refuses null, compressed and short frames, builds the stream in a work
// buffer of the worst-case size, and swaps in an exact-size block; the input
// is released only once that block is in hand.
ANXFRAME *EncodeFrame(ANXFRAME *frame, FrameStreamEncoder &encoder);

}  // namespace anim::codec
