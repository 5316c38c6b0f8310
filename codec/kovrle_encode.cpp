// KOVRLE encoders: whole-frame and line-by-line streams through a
// decompression table, and the table-free number-overlay stream.
//
//   whole    := code*                      ; the raw area, pad bytes included
//   lines    := record{height}             ; stored rows, bottom row first
//   record   := length(1) code*            ; length counts itself, mod 256
//   code     := m                          ; pair marker, table[m] = (n, v)
//             | m c                        ; length marker, table[m] = (n, E)
//             | m n                        ; value marker, table[m] = (H, v)
//             | E n c                      ; escape form, n = 1..255
//             | v                          ; plain pixel
//   overlay  := orecord{height}
//   orecord  := length(1) ocode*           ; length counts itself, mod 256
//   ocode    := run(high 4 bits, 1..15) class(low 4 bits)
//
// E and H are the low and high bytes of entry 0. c, the colour byte, is v
// itself in a whole-frame stream; the line decoder sends colour bytes through
// the table's low bytes, so there c is a byte whose line-form entry has low
// byte v.
//
// Choices that keep every stream decodable:
//  - v is written plain only when its entry is plain (equal to entry 0, or
//    (1, v) in line form) and v is not E. A value the statistics saw only in
//    runs of 100 or more may be E or a marker byte; its leftovers of 1 or 2
//    pixels (whole frame) and its single pixels (lines) are coded as runs.
//  - A marker for a run of colour E would be read as a length marker, so
//    runs of E never take the pair marker step.
//  - In a line stream a colour that is itself a marker byte can only be
//    named through a marker of that colour; a run that needs the colour byte
//    when there is none refuses the frame. Line statistics keep values of
//    long runs plain, so tables built from a frame's own rows never do this.
//  - A record counts itself, so a length byte of 0 can only mean 256: records
//    of up to 256 bytes are written (every row of up to 255 plain pixels
//    fits), longer ones cannot be skipped by their length byte and refuse
//    the frame.
//  - The work buffer is the stream's worst case, not the input block: at
//    most 3 bytes per pixel, and at most 256 bytes per line record.
#include <algorithm>

#include "codec/encode.h"
#include "codec/kovrle.h"
#include "platform/checked_size.h"

namespace anim::codec {
namespace {

constexpr std::uint32_t kMaxRecord = 256;
constexpr std::uint32_t kMaxOverlayRun = 15;
constexpr std::uint32_t kWorstCodeBytes = 3;
constexpr std::uint16_t kKovrleMark = 1;

// The run of equal pixels that starts at pixels[at]: at most kMaxRun long,
// never past end. The message pump runs once a pixel, so that a long encode
// keeps the game's window answering.
std::uint32_t RunAt(const std::uint8_t *pixels, std::uint32_t at, std::uint32_t end) {
    const std::uint8_t v = pixels[at];
    std::uint32_t n = 0;
    do {
        ++n;
        PumpMessages();
    } while (at + n < end && pixels[at + n] == v && n < kMaxRun);
    return n;
}

// lookup[colour][length]: the marker byte whose entry has that low and high
// byte, 0 for none; one block for one encoder call.
class MarkerLookup {
  public:
    MarkerLookup() = default;
    MarkerLookup(const MarkerLookup &) = delete;
    MarkerLookup &operator=(const MarkerLookup &) = delete;
    ~MarkerLookup() { FREE(block_); }

    // Entries with high byte 1 are one-pixel plain entries of line form, and
    // E is never read as a marker; neither is looked up. Later entries win.
    bool Build(const std::uint16_t *table) {
        block_ = static_cast<std::uint8_t *>(ALLOCATE(kTableEntries * kMaxCountedRun));
        if (block_ == nullptr) return false;
        const std::uint16_t header = table[0];
        for (std::uint32_t b = 1; b < kTableEntries; ++b) {
            const std::uint16_t t = table[b];
            if (b == EntryLow(header) || t == header || EntryHigh(t) == 1 ||
                EntryHigh(t) >= kMaxCountedRun)
                continue;
            block_[EntryLow(t) * kMaxCountedRun + EntryHigh(t)] = static_cast<std::uint8_t>(b);
        }
        return true;
    }
    std::uint8_t At(std::uint8_t colour, std::uint32_t length) const {
        return block_[colour * kMaxCountedRun + length];
    }

  private:
    std::uint8_t *block_ = nullptr;
};

class RunCoder {
  public:
    RunCoder(const std::uint16_t *table, const MarkerLookup &lookup, bool lines)
        : lookup_(lookup), escape_(EntryLow(table[0])), countMark_(EntryHigh(table[0])) {
        const std::uint16_t header = table[0];
        for (std::uint32_t v = 0; v < kTableEntries; ++v) {
            plain_[v] = v != escape_ && (v == 0 || table[v] == header || table[v] == (1u << 8 | v));
        }
        // As the line decoder reads a colour byte once entry 0 is (1, 0).
        const auto lineColour = [&](std::uint32_t c) {
            return c == 0 || table[c] == header ? c : EntryLow(table[c]);
        };
        for (std::uint32_t v = 0; v < kTableEntries; ++v) {
            colourByte_[v] = -1;
            if (!lines || lineColour(v) == v) {
                colourByte_[v] = static_cast<std::int16_t>(v);
                continue;
            }
            for (std::uint32_t c = 0; c < kTableEntries; ++c) {
                if (lineColour(c) == v) {
                    colourByte_[v] = static_cast<std::int16_t>(c);
                    break;
                }
            }
        }
    }

    bool Plain(std::uint8_t v) const { return plain_[v]; }

    // Pair marker, then length marker, then value marker, then escape form:
    // the first that fits is the shortest.
    bool Code(std::uint8_t v, std::uint32_t n, ByteSink &out) const {
        const bool markerLength = n < kMaxCountedRun && n != countMark_;
        if (markerLength && v != escape_) {
            if (const std::uint8_t m = lookup_.At(v, n)) return out.Put(m);
        }
        const std::int16_t c = colourByte_[v];
        if (markerLength && c >= 0) {
            if (const std::uint8_t m = lookup_.At(escape_, n))
                return out.Put(m, static_cast<std::uint8_t>(c));
        }
        if (countMark_ < kMaxCountedRun) {
            if (const std::uint8_t m = lookup_.At(v, countMark_))
                return out.Put(m, static_cast<std::uint8_t>(n));
        }
        if (c < 0) return false;
        return out.Put(escape_, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(c));
    }

  private:
    const MarkerLookup &lookup_;
    std::uint8_t escape_;
    std::uint8_t countMark_;
    bool plain_[kTableEntries];
    std::int16_t colourByte_[kTableEntries];  // -1: the colour cannot be named
};

class WholeFrameStream final : public FrameStreamEncoder {
  public:
    explicit WholeFrameStream(const std::uint16_t *table) : table_(table) {}

    std::optional<std::uint32_t> WorstCase(const ANXFRAME &header) const override {
        if (header.dataSize == 0) return std::nullopt;
        return platform::CheckedSize(header.dataSize, kWorstCodeBytes);
    }

    bool Encode(const std::uint8_t *pixels, const ANXFRAME &header, ByteSink &out,
                std::uint16_t &mark) override {
        MarkerLookup lookup;
        if (!lookup.Build(table_)) return false;
        const RunCoder coder(table_, lookup, false);
        const std::uint32_t size = header.dataSize;
        std::uint32_t i = 0;
        while (i < size) {
            const std::uint8_t v = pixels[i];
            const std::uint32_t n = RunAt(pixels, i, size);
            i += n;
            if (n <= 2 && coder.Plain(v)) {
                if (!out.Put(v) || (n == 2 && !out.Put(v))) return false;
            } else if (!coder.Code(v, n, out)) {
                return false;
            }
        }
        mark = kKovrleMark;
        return true;
    }

  private:
    const std::uint16_t *table_;
};

// Rows of width pixels at the stride, height of them, within the raw area.
std::optional<std::uint32_t> LineWorstCase(const ANXFRAME &header, std::uint16_t width,
                                           std::uint16_t height, std::uint32_t bytesPerPixel) {
    if (header.dataSize == 0) return std::nullopt;
    const auto rows = platform::CheckedSize(platform::RowStride(width), height);
    if (!rows || *rows > header.dataSize) return std::nullopt;
    const std::int64_t record =
        std::min<std::int64_t>(kMaxRecord, 1 + std::int64_t{bytesPerPixel} * width);
    return platform::CheckedSize(height, record);
}

// Reserves the length byte, writes the row's codes, stores the length.
template <typename WriteCodes>
bool WriteRecord(ByteSink &out, WriteCodes &&writeCodes) {
    const std::uint32_t start = out.length();
    if (!out.Put(0) || !writeCodes()) return false;
    const std::uint32_t length = out.length() - start;
    if (length > kMaxRecord) return false;
    out.Patch(start, static_cast<std::uint8_t>(length));
    return true;
}

// One record a row of the raw area, each row's codes from codeRow(row).
template <typename CodeRow>
bool WriteRowRecords(const std::uint8_t *pixels, std::uint16_t width, std::uint16_t height,
                     ByteSink &out, CodeRow &&codeRow) {
    const auto stride = static_cast<std::size_t>(platform::RowStride(width));
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t *row = pixels + y * stride;
        if (!WriteRecord(out, [&] { return codeRow(row); })) return false;
    }
    return true;
}

class LineStream final : public FrameStreamEncoder {
  public:
    LineStream(const std::uint16_t *table, std::uint16_t width, std::uint16_t height)
        : table_(table), width_(width), height_(height) {}

    std::optional<std::uint32_t> WorstCase(const ANXFRAME &header) const override {
        return LineWorstCase(header, width_, height_, kWorstCodeBytes);
    }

    bool Encode(const std::uint8_t *pixels, const ANXFRAME &, ByteSink &out,
                std::uint16_t &mark) override {
        MarkerLookup lookup;
        if (!lookup.Build(table_)) return false;
        const RunCoder coder(table_, lookup, true);
        const bool written =
            WriteRowRecords(pixels, width_, height_, out, [&](const std::uint8_t *row) {
                std::uint32_t x = 0;
                while (x < width_) {
                    const std::uint8_t v = row[x];
                    const std::uint32_t n = RunAt(row, x, width_);
                    x += n;
                    const bool ok = n == 1 && coder.Plain(v) ? out.Put(v) : coder.Code(v, n, out);
                    if (!ok) return false;
                }
                return true;
            });
        if (!written) return false;
        mark = kKovrleMark;
        return true;
    }

  private:
    const std::uint16_t *table_;
    std::uint16_t width_;
    std::uint16_t height_;
};

class OverlayStream final : public FrameStreamEncoder {
  public:
    OverlayStream(std::uint16_t width, std::uint16_t height) : width_(width), height_(height) {}

    std::optional<std::uint32_t> WorstCase(const ANXFRAME &header) const override {
        return LineWorstCase(header, width_, height_, 1);
    }

    bool Encode(const std::uint8_t *pixels, const ANXFRAME &, ByteSink &out,
                std::uint16_t &mark) override {
        const bool written =
            WriteRowRecords(pixels, width_, height_, out, [&](const std::uint8_t *row) {
                std::uint32_t x = 0;
                while (x < width_) {
                    const std::uint8_t segment = kSegmentClass[row[x]];
                    std::uint32_t n = 0;
                    do {
                        ++n;
                        ++x;
                    } while (x < width_ && kSegmentClass[row[x]] == segment && n < kMaxOverlayRun);
                    if (!out.Put(static_cast<std::uint8_t>(n << 4 | segment))) return false;
                }
                PumpMessages();  // once a row: overlay rows are short
                return true;
            });
        if (!written) return false;
        mark = kKovrleMark;
        return true;
    }

  private:
    std::uint16_t width_;
    std::uint16_t height_;
};

}  // namespace

ANXFRAME *KovrleFrame(ANXFRAME *frame, const std::uint16_t *table) {
    if (table == nullptr) return nullptr;
    WholeFrameStream stream(table);
    return EncodeFrame(frame, stream);
}

ANXFRAME *KovrleFrameLines(ANXFRAME *frame, const std::uint16_t *table, std::uint16_t width,
                           std::uint16_t height) {
    if (table == nullptr) return nullptr;
    LineStream stream(table, width, height);
    return EncodeFrame(frame, stream);
}

ANXFRAME *OverlayFrameLines(ANXFRAME *frame, std::uint16_t width, std::uint16_t height) {
    OverlayStream stream(width, height);
    return EncodeFrame(frame, stream);
}

}  // namespace anim::codec

extern "C" {

ANIM_API ANXFRAME *AnxKOVRLEFrame(ANXFRAME *frame, const uint16_t *table) {
    return anim::codec::KovrleFrame(frame, table);
}

ANIM_API ANXFRAME *AnxKOVRLEFrameLineByLine(ANXFRAME *frame, const uint16_t *table, uint16_t width,
                                            uint16_t height) {
    return anim::codec::KovrleFrameLines(frame, table, width, height);
}

ANIM_API ANXFRAME *AnxFrameLineByLine(ANXFRAME *frame, const uint16_t *table, uint16_t width,
                                      uint16_t height) {
    if (table == nullptr) return anim::codec::OverlayFrameLines(frame, width, height);
    return anim::codec::KovrleFrameLines(frame, table, width, height);
}

}  // extern "C"
