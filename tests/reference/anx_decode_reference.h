// The line-by-line and whole-frame decoders as they stood before the fast
// decoder replaced them, kept word for word as the yardstick that the
// differential test and the benchmarks hold the library's decoder to.
//
// Header-only on purpose: it is compiled into the test and benchmark
// programs that include it and never into the library, whose codec sources
// are picked up by a glob, and it needs no build rules of its own.
#pragma once

#include <algorithm>
#include <cstring>

#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "codec/step_table.h"
#include "platform/checked_size.h"

namespace anim::codec::reference {
namespace detail {

constexpr std::size_t kLineBufferSize = 256;
// One source row for the line decoder and the overlay painter; no call reads
// what an earlier call left in it.
inline std::uint8_t g_lineBuffer[kLineBufferSize];

// Entry 0 read as (1, 0) while a line decode runs, so that byte 0 and colour
// references to 0 mean colour 0 instead of the table header.
constexpr std::uint16_t kLineEntryZero = 0x0100;

class StreamReader {
public:
    StreamReader(const std::uint8_t *data, std::size_t length) : data_(data), length_(length) {}

    bool Next(std::uint8_t &byte) {
        if (pos_ >= length_) return false;
        byte = data_[pos_++];
        return true;
    }
    bool Skip(std::size_t count) {
        if (count > length_ - pos_) {
            pos_ = length_;
            return false;
        }
        pos_ += count;
        return true;
    }

private:
    const std::uint8_t *data_;
    std::size_t length_;
    std::size_t pos_ = 0;
};

inline std::uint8_t Low(std::uint16_t entry) { return static_cast<std::uint8_t>(entry); }
inline std::uint8_t High(std::uint16_t entry) { return static_cast<std::uint8_t>(entry >> 8); }

inline void DecodeWholeFrame(StreamReader &in, const std::uint16_t *table, std::uint8_t *out,
                      std::size_t size) {
    const std::uint16_t header = table[0];
    const std::uint8_t escape = Low(header);
    const std::uint8_t countMark = High(header);
    std::size_t pos = 0;
    while (pos < size) {
        std::uint8_t b;
        if (!in.Next(b)) return;
        std::size_t length;
        std::uint8_t colour;
        // The order of the tests is part of the format: a table in line form
        // holds (1, b) for plain bytes, which must read as a one-pixel pair.
        if (b == escape) {
            std::uint8_t n;
            if (!in.Next(n) || !in.Next(colour)) return;
            length = n;
        } else {
            const std::uint16_t t = table[b];
            if (t == header) {
                out[pos++] = b;
                continue;
            }
            if (High(t) == countMark) {
                std::uint8_t n;
                if (!in.Next(n)) return;
                length = n;
                colour = Low(t);
            } else if (Low(t) == escape) {
                if (!in.Next(colour)) return;
                length = High(t);
            } else {
                length = High(t);
                colour = Low(t);
            }
        }
        length = std::min(length, size - pos);
        std::memset(out + pos, colour, length);
        pos += length;
    }
}

// Most runs in player art are short: a fixed 8-byte store beats a memset
// call, and the bytes it writes past the run lie beyond what has been
// decoded, to be overwritten or never read.
inline void FillRun(std::size_t at, std::uint8_t colour, std::size_t length) {
    if (length <= 8 && at + 8 <= kLineBufferSize) {
        std::memset(g_lineBuffer + at, colour, 8);
    } else {
        std::memset(g_lineBuffer + at, colour, length);
    }
}

struct LineCodes {
    const std::uint16_t *table;  // entry 0 already reads (1, 0)
    std::uint8_t escape;
    std::uint8_t countMark;
};

// Fills the line buffer with at least width pixels of one record's codes;
// false when the input ends first.
inline bool DecodeLine(StreamReader &in, const LineCodes &codes, std::int32_t width) {
    const std::uint16_t *table = codes.table;
    std::size_t filled = 0;
    const auto wanted = static_cast<std::size_t>(width);
    while (filled < wanted) {
        std::uint8_t b;
        if (!in.Next(b)) return false;
        std::size_t length;
        std::uint8_t colour;
        if (b == codes.escape) {
            std::uint8_t n;
            std::uint8_t v;
            if (!in.Next(n) || !in.Next(v)) return false;
            length = n;
            colour = Low(table[v]);
        } else {
            const std::uint16_t t = table[b];
            if (High(t) == 1) {
                g_lineBuffer[filled++] = Low(t);
                continue;
            }
            if (High(t) == codes.countMark) {
                std::uint8_t n;
                if (!in.Next(n)) return false;
                length = n;
                colour = Low(t);
            } else if (Low(t) == codes.escape) {
                std::uint8_t v;
                if (!in.Next(v)) return false;
                length = High(t);
                colour = Low(table[v]);
            } else {
                length = High(t);
                colour = Low(t);
            }
        }
        // A cut run fills the buffer, so the row ends here (width <= 255).
        length = std::min(length, kLineBufferSize - filled);
        FillRun(filled, colour, length);
        filled += length;
    }
    return true;
}

// As DecodeLine for number-overlay codes, whose pixels are colour or 0 by
// whether the code's class is lit in the number's segment word.
inline bool DecodeOverlayLine(StreamReader &in, const std::uint8_t (&classValue)[16], std::int32_t width) {
    std::size_t filled = 0;
    const auto wanted = static_cast<std::size_t>(width);
    while (filled < wanted) {
        std::uint8_t b;
        if (!in.Next(b)) return false;
        const std::size_t length = std::min<std::size_t>(b >> 4, kLineBufferSize - filled);
        std::memset(g_lineBuffer + filled, classValue[b & 0x0F], length);
        filled += length;
    }
    return true;
}

// Skips one record by its length byte. A record counts itself, so a length
// byte of 0 can only be 256 wrapped.
inline bool SkipRecord(StreamReader &in) {
    std::uint8_t length;
    if (!in.Next(length)) return false;
    return in.Skip(length == 0 ? 255 : length - 1u);
}

// Calls keptRow(outputRow) for each kept record (its length byte already
// skipped) and skips dropped records unread; stops when outRows rows are
// done, the table ends, the input ends or keptRow returns false.
template <typename KeptRow>
inline void WalkRows(StreamReader &in, const StepTable &rows, std::int32_t outRows, KeptRow &&keptRow) {
    std::int32_t row = 0;
    for (std::size_t i = 0; row < outRows && i + 1 < kStepTableSize; i += 2) {
        const std::uint8_t keep = rows[i];
        const std::uint8_t drop = rows[i + 1];
        if (keep == 0 && drop == 0) return;
        for (std::uint8_t k = 0; k < keep && row < outRows; ++k, ++row) {
            if (!in.Skip(1) || !keptRow(row)) return;
        }
        for (std::uint8_t d = 0; d < drop; ++d) {
            if (!SkipRecord(in)) return;
        }
    }
}

// Source position in the line buffer of each output column, built once per
// decode from a column step table, so that writing a scaled row is one
// gather rather than a walk over the table per row.
struct ColumnMap {
    std::uint8_t source[kLineBufferSize];
    std::int32_t count = 0;  // columns the table reaches (the output width or fewer)
    bool whole = false;      // the identity: rows are copied as they stand
};

inline void BuildColumnMap(const StepTable &columns, std::int32_t outWidth, ColumnMap &map) {
    std::int32_t pos = 0;
    map.count = 0;
    for (std::size_t i = 0; map.count < outWidth && i + 1 < kStepTableSize; i += 2) {
        const std::uint8_t keep = columns[i];
        const std::uint8_t drop = columns[i + 1];
        if (keep == 0 && drop == 0) break;
        for (std::uint8_t k = 0; k < keep && map.count < outWidth; ++k) {
            map.source[map.count++] = static_cast<std::uint8_t>(pos++);
        }
        pos += drop;
    }
    map.whole = map.count == outWidth && (outWidth == 0 || map.source[outWidth - 1] == outWidth - 1);
}

// Mirrored, the row is written from its last pixel backward.
inline void WriteRow(const ColumnMap &map, std::int32_t outWidth, std::uint8_t *row, bool mirror) {
    const std::uint8_t *line = g_lineBuffer;
    if (map.whole && !mirror) {
        std::memcpy(row, line, static_cast<std::size_t>(outWidth));
    } else if (map.whole) {
        // The span blitter's mirrored copy writes the row backward in vector steps.
        CopyDIBBitsReverseX(row, line, static_cast<std::uint32_t>(outWidth), 1, 0, 0);
    } else if (!mirror) {
        for (std::int32_t x = 0; x < map.count; ++x) row[x] = line[map.source[x]];
    } else {
        std::uint8_t *last = row + outWidth - 1;
        for (std::int32_t x = 0; x < map.count; ++x) *(last - x) = line[map.source[x]];
    }
}

// Where the output goes and which of its rows may be written.
struct Output {
    std::uint8_t *pixels;
    std::int64_t dataSize;
    std::int32_t width;   // W'
    std::int32_t height;  // H'
    std::int64_t stride;  // S'

    bool RowFits(std::int32_t y) const {
        return y >= 0 && y < height && y * stride + width <= dataSize;
    }
};

inline void DecodeLines(StreamReader &in, const LineCodes &codes, std::int32_t width,
                 const ColumnMap &columns, const StepTable &rows, const Output &out,
                 bool mirror) {
    WalkRows(in, rows, out.height, [&](std::int32_t y) {
        if (!DecodeLine(in, codes, width)) return false;
        if (out.RowFits(y)) WriteRow(columns, out.width, out.pixels + y * out.stride, mirror);
        return true;
    });
}

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

inline void PaintNumber(const NumberJob &job, const Output &out) {
    const ANXFRAME header = dib::LoadHeader(job.overlay);
    const std::int32_t width = dib::Width(header.rect);
    const std::int32_t height = dib::Height(header.rect);
    // Its step tables are only defined for sides a decoded frame may have.
    if (width < 0 || width > kMaxDecodedSide || height < 0 || height > kMaxDecodedSide) return;
    const std::uint32_t start = dib::PixelAreaOffset(header);
    if (start > job.overlaySize) return;

    StepTable columns;
    StepTable rows;
    BuildStepTable(width, job.scale, columns);
    BuildStepTable(height, job.scale, rows);
    ColumnMap map;
    BuildColumnMap(columns, ScaledSide(width, job.scale), map);
    const std::int32_t outRows = ScaledSide(height, job.scale);

    const auto &classBits = job.mirror ? kMirroredClassBits : kUprightClassBits;
    std::uint8_t classValue[16];
    for (int c = 0; c < 16; ++c) classValue[c] = (classBits[c] & job.mask) != 0 ? job.colour : 0;

    StreamReader in(dib::PixelArea(job.overlay, header), job.overlaySize - start);
    const int step = job.mirror ? -1 : 1;
    const std::int32_t firstX = job.mirror ? job.ox - 1 : job.ox;
    WalkRows(in, rows, outRows, [&](std::int32_t r) {
        if (!DecodeOverlayLine(in, classValue, width)) return false;
        const std::int32_t y = job.oy + r;
        if (!out.RowFits(y)) return true;
        std::uint8_t *row = out.pixels + y * out.stride;
        for (std::int32_t j = 0, x = firstX; j < map.count; ++j, x += step) {
            const std::uint8_t pixel = g_lineBuffer[map.source[j]];
            if (pixel != 0 && x >= 0 && x < out.width) row[x] = pixel;
        }
        return true;
    });
}

// Keeps entry 0 of a caller's table in line form for one decode, whatever
// way the decode ends.
class LineEntryZero {
public:
    explicit LineEntryZero(std::uint16_t *table) : table_(table), saved_(table[0]) {
        table_[0] = kLineEntryZero;
    }
    ~LineEntryZero() { table_[0] = saved_; }
    LineEntryZero(const LineEntryZero &) = delete;
    LineEntryZero &operator=(const LineEntryZero &) = delete;
    std::uint16_t saved() const { return saved_; }

private:
    std::uint16_t *table_;
    std::uint16_t saved_;
};

inline std::int16_t Low16(std::int64_t value) { return static_cast<std::int16_t>(value); }

}  // namespace detail

// Refusals beyond the frame's own failures, all made before anything is
// written: scale outside 1..100 (no meaning for sizes), a null table where a
// stream must be decoded, a negative rect count, and for line decoding a
// side outside 0..255 (the step tables and the line buffer are defined only
// for the frames that the encoders make). A whole-frame decode needs no step
// table, so large whole-frame pictures are expanded; its scale and mirror
// change only the header. numberIndex outside 0..199 paints no number.
// Longer than the library's functions may be, left as it stood: it is the
// yardstick.
inline ANXFRAME *Expand(const DecodeRequest &request) {
    using namespace detail;
    if (request.frame == nullptr || request.frameSize < dib::kHeaderSize) return nullptr;
    const ANXFRAME header = dib::LoadHeader(request.frame);
    if (header.rectCount < 0) return nullptr;
    const std::uint32_t areaOffset = dib::PixelAreaOffset(header);
    if (areaOffset > request.frameSize) return nullptr;
    const auto needed = platform::CheckedSize(dib::kEntrySize, header.rectCount,
                                    std::int64_t{dib::kHeaderSize} + header.dataSize);
    if (!needed) return nullptr;
    if (request.buffer != nullptr && *needed > request.bufferSize) return nullptr;

    const bool raw = header.compression == 0;
    const bool empty = header.rectCount == 0;
    const std::int32_t width = dib::Width(header.rect);
    const std::int32_t height = dib::Height(header.rect);
    const bool lines = request.streamKind == ANX_STREAM_LINE_BY_LINE;
    if (!raw && !empty) {
        if (request.scale < 1 || request.scale > 100) return nullptr;
        const bool decodes = lines || request.streamKind == ANX_STREAM_WHOLE_FRAME;
        if (decodes && request.table == nullptr) return nullptr;
        if (lines && (width < 0 || width > kMaxDecodedSide || height < 0 ||
                      height > kMaxDecodedSide)) {
            return nullptr;
        }
    }

    void *block = request.buffer != nullptr ? request.buffer : ALLOCATE(*needed);
    if (block == nullptr) return nullptr;
    auto *bytes = static_cast<std::uint8_t *>(block);
    const auto *source = static_cast<const std::uint8_t *>(request.frame);
    const std::size_t available = request.frameSize - areaOffset;

    if (empty) {
        ANXFRAME out = header;
        out.compression = 0;
        dib::StoreHeader(block, out);
        return static_cast<ANXFRAME *>(block);
    }
    std::memcpy(bytes, source, areaOffset);
    if (raw) {
        std::memcpy(bytes + areaOffset, source + areaOffset,
                    std::min<std::size_t>(header.dataSize, available));
        return static_cast<ANXFRAME *>(block);
    }

    const std::int32_t scale = request.scale;
    const std::int32_t outWidth = ScaledSide(width, scale);
    const std::int32_t outHeight = ScaledSide(height, scale);
    ANXFRAME out = header;
    out.compression = 0;
    const std::int32_t left = header.rect.left * scale / 100;
    const std::int32_t top = header.rect.top * scale / 100;
    const std::int32_t right = left + outWidth - 1;
    out.rect.top = Low16(top);
    out.rect.bottom = Low16(top + outHeight - 1);
    // Mirroring reflects the rectangle about x = 0.
    out.rect.left = Low16(request.mirror ? -right : left);
    out.rect.right = Low16(request.mirror ? -left : right);
    dib::StoreHeader(block, out);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        ANXRECT entry = dib::LoadEntry(request.frame, i);
        entry.right = Low16(outWidth - 1);
        entry.bottom = Low16(outHeight - 1);
        dib::StoreEntry(block, i, entry);
    }

    const Output output{bytes + areaOffset, header.dataSize, outWidth, outHeight,
                        platform::RowStride(outWidth)};
    StreamReader in(source + areaOffset, available);
    if (lines) {
        StepTable columns;
        StepTable rows;
        BuildStepTable(width, scale, columns);
        BuildStepTable(height, scale, rows);
        ColumnMap map;
        BuildColumnMap(columns, outWidth, map);
        LineEntryZero swap(request.table);
        const LineCodes codes{request.table, Low(swap.saved()), High(swap.saved())};
        DecodeLines(in, codes, width, map, rows, output, request.mirror);
    } else if (request.streamKind == ANX_STREAM_WHOLE_FRAME) {
        DecodeWholeFrame(in, request.table, output.pixels, header.dataSize);
    }

    if (request.overlay != nullptr && request.overlaySize >= dib::kHeaderSize &&
        request.numberIndex >= 0 &&
        request.numberIndex < static_cast<std::int32_t>(kNumberIndexCount)) {
        const ANXFRAME number = dib::LoadHeader(request.overlay);
        std::int32_t ox = (number.rect.left - header.rect.left) * scale / 100;
        const std::int32_t oy = (header.rect.bottom - number.rect.bottom) * scale / 100;
        if (request.mirror) ox = outWidth - ox;
        const NumberJob job{request.overlay,
                            request.overlaySize,
                            scale,
                            ox,
                            oy,
                            kNumberMasks[static_cast<std::size_t>(request.numberIndex)],
                            static_cast<std::uint8_t>(request.numberColour),
                            request.mirror};
        PaintNumber(job, output);
    }
    return static_cast<ANXFRAME *>(block);
}


}  // namespace anim::codec::reference
