// Line-by-line KOVRLE streams.
//
//   lines    := record{height}              ; bottom row first
//   record   := length(1) code*             ; length counts itself, mod 256
//   code     := E n v | m n | m v | m | b   ; as in a whole-frame stream
//
// Colours are sent through the table's low bytes, the colour bytes after E
// and after a length marker too, which is how a recoloured table reaches
// every pixel.
//
// Each kept record is decoded into the line buffer, already scaled and in
// output order (a mirrored row is written from its end backward), then goes
// to the output row in one exact copy. The line buffer takes the span
// fills' overshoot, so that runs cost one store pattern each and the
// caller's pad bytes are never touched; and a record that the input cuts
// short never leaves the line buffer. Dropped records are stepped over by
// their length bytes, unread.
#include <algorithm>

#include "codec/kovrle.h"
#include "codec/kovrle_decode.h"
#include "codec/line_rows.h"

namespace anim::codec {
namespace {

// The longest code: escape, length, colour.
constexpr std::size_t kLongestCode = 3;

// One row for the line decoder, with room for the overshoot of a span fill
// on either side (mirrored rows are written from their end backward); no
// call reads what an earlier call left in it.
alignas(64) std::uint8_t g_lineStore[kFillSpan + kLineBufferSize + kFillSpan];
std::uint8_t *const g_lineBuffer = g_lineStore + kFillSpan;

// What a decode reads codes with: the caller's table (entry 0 already reads
// (1, 0)) and its direct view.
struct Codes {
    const std::uint16_t *table;
    // The entry of each byte that is a run of one span or less by itself (a
    // plain byte or a pair marker: high byte the length, low byte the
    // colour, no byte read after it), and 0 for the escape byte, the value
    // and length markers, and runs of no pixels or of more than a span. One
    // load and one test then pass the bulk of a stream, and its fill needs
    // no length test.
    const std::uint16_t *direct;
    std::uint8_t escape;
    std::uint8_t countMark;
};

void BuildDirectView(const LineCodes &line, std::uint16_t (&direct)[256]) {
    for (std::uint32_t b = 0; b < 256; ++b) {
        const std::uint16_t t = line.table[b];
        const std::uint8_t high = EntryHigh(t);
        const bool run = (high == 1) | ((high != line.countMark) & (EntryLow(t) != line.escape));
        direct[b] = ((b != line.escape) & run & (high != 0) & (high <= kFillSpan)) ? t : 0;
    }
}

// The code at p, tested in the format's order.
inline Run ReadMarkedCode(const std::uint8_t *p, const Codes &codes) {
    const std::uint8_t b = p[0];
    const std::uint16_t t = codes.table[b];
    if (b == codes.escape) return {p[1], EntryLow(codes.table[p[2]]), 3};
    if (EntryHigh(t) == 1) return {1, EntryLow(t), 1};
    if (EntryHigh(t) == codes.countMark) return {p[1], EntryLow(t), 2};
    if (EntryLow(t) == codes.escape) return {EntryHigh(t), EntryLow(codes.table[p[1]]), 2};
    return {EntryHigh(t), EntryLow(t), 1};
}

// The code at p near the end of the input, read from a copy padded with
// zeros; false when it needs bytes past the end.
[[nodiscard]] bool ReadLastCode(const std::uint8_t *p, const StreamBounds &in, const Codes &codes,
                                Run &run) {
    const std::size_t left = std::min(in.Left(p), kLongestCode);
    std::uint8_t code[kLongestCode] = {};
    std::memcpy(code, p, left);
    run = ReadMarkedCode(code, codes);
    return run.bytes <= left;
}

// Where a row's runs go in the line buffer: forward from its start, or for
// a mirrored row backward from its last pixel, so that either way the row
// is then copied out as it stands. from, length and room are in output
// pixels of the row in source order.
struct Forward {
    void Span(std::uint32_t from, std::uint8_t colour) const {
        FillSpan(g_lineBuffer + from, colour);
    }
    void Fill(std::uint32_t from, std::uint8_t colour, std::uint32_t length,
              std::uint32_t room) const {
        FillRun(g_lineBuffer + from, colour, length, room);
    }
};
struct Backward {
    std::uint32_t outWidth;
    void Span(std::uint32_t from, std::uint8_t colour) const {
        FillSpan(g_lineBuffer + outWidth - from - kFillSpan, colour);
    }
    void Fill(std::uint32_t from, std::uint8_t colour, std::uint32_t length,
              std::uint32_t room) const {
        FillRunBackward(g_lineBuffer + outWidth - from, colour, length, room);
    }
};

// Decodes a record's codes (p is past its length byte) until they give at
// least width source pixels, and leaves the kept ones in the line buffer in
// output order; returns the byte after the last code, or null when the
// input ends first. Scaling is done by run arithmetic: a run's kept pixels
// are the output pixels between its boundaries, so nothing is gathered.
template <typename Columns, typename Line>
[[nodiscard]] inline const std::uint8_t *DecodeRecord(const std::uint8_t *p, const StreamBounds &in,
                                                      std::uintptr_t wholeBelow, const Codes &codes,
                                                      std::uint32_t width, const Columns &columns,
                                                      const Line &line) {
    // Held apart from codes, which the compiler must reload after every
    // store into the line buffer, as char stores may alias anything.
    const std::uint16_t *const direct = codes.direct;
    const std::uint32_t outWidth = columns.At(width);
    std::uint32_t filled = 0;  // source pixels decoded
    auto emit = [&](std::uint32_t length, std::uint8_t colour) {
        const std::uint32_t from = columns.At(filled);
        filled += length;
        line.Fill(from, colour, columns.At(filled) - from, outWidth - from);
        if (filled >= width) [[unlikely]]
            return true;
        return false;
    };
    for (;;) {
        // The bulk of a stream: runs of a span or less by themselves, one
        // load and one test, and one store pattern. Written with its exits
        // as forward branches, so that the loop takes one jump a code.
        if (StreamBounds::Address(p) < wholeBelow) {
            for (;;) {
                const std::uint16_t d = direct[*p];
                if (EntryHigh(d) == 0) [[unlikely]]
                    break;
                ++p;
                line.Span(columns.At(filled), EntryLow(d));
                filled += EntryHigh(d);
                if (filled >= width) [[unlikely]]
                    return p;
                if (StreamBounds::Address(p) >= wholeBelow) [[unlikely]]
                    break;
            }
        }
        Run run;
        if (StreamBounds::Address(p) < wholeBelow) {
            run = ReadMarkedCode(p, codes);
        } else if (!ReadLastCode(p, in, codes, run)) {
            return nullptr;
        }
        p += run.bytes;
        if (emit(run.length, run.colour)) return p;
    }
}

// ---- Writing rows -------------------------------------------------------------

constexpr std::size_t kChunk = 16;

// Exactly n bytes, in chunks, the last one overlapping its neighbour.
inline void CopyExact(std::uint8_t *dst, const std::uint8_t *src, std::size_t n) {
    if (n < kChunk) {
        std::memcpy(dst, src, n);
        return;
    }
    for (std::size_t i = 0; i + kChunk < n; i += kChunk) std::memcpy(dst + i, src + i, kChunk);
    std::memcpy(dst + n - kChunk, src + n - kChunk, kChunk);
}

// Frame rows into the output, each copied out whole once its record has
// been decoded. Kept out of line, one instance per kind of row: inlined
// into its caller, the decode loop loses registers to spills and its
// straight path to jumps.
template <typename Columns, typename Line>
[[gnu::noinline]] void DecodeFrameRows(const LineJob &job, const Codes &codes,
                                       const OutputArea &out, const KeptRows *kept,
                                       std::int32_t rows, const Columns &columns,
                                       const Line &line) {
    const StreamBounds in(job.stream, job.streamLength);
    const std::uintptr_t wholeBelow = in.WholeBelow(kLongestCode);
    const auto width = static_cast<std::uint32_t>(job.width);
    const auto outWidth = static_cast<std::size_t>(out.width);
    WalkRows(in, kept, rows, [&](const std::uint8_t *p, std::int32_t y) {
        p = DecodeRecord(p, in, wholeBelow, codes, width, columns, line);
        if (p != nullptr) CopyExact(out.pixels + y * out.stride, g_lineBuffer, outWidth);
        return p;
    });
}

template <typename Columns>
void DecodeFrame(const LineJob &job, const OutputArea &out, const KeptRows *kept, std::int32_t rows,
                 const Columns &columns) {
    std::uint16_t direct[256];
    BuildDirectView(job.codes, direct);
    const Codes codes{job.codes.table, direct, job.codes.escape, job.codes.countMark};
    if (job.mirror) {
        DecodeFrameRows(job, codes, out, kept, rows, columns,
                        Backward{static_cast<std::uint32_t>(out.width)});
    } else {
        DecodeFrameRows(job, codes, out, kept, rows, columns, Forward{});
    }
}

}  // namespace

void DecodeLines(const LineJob &job, const OutputArea &out) {
    // Nothing of a row reaches the output when it has no columns, and rows
    // past the pixel area are not written: neither needs decoding.
    const std::int32_t rows = out.RowsThatFit();
    if (out.width == 0 || rows == 0) return;
    if (job.scale == 100) {
        DecodeFrame(job, out, nullptr, rows, FullSize{});
        return;
    }
    KeptRows kept;
    ColumnScale columns;
    FindKeptRows(job.height, job.scale, kept);
    BuildColumnScale(job.width, job.scale, columns);
    DecodeFrame(job, out, &kept, rows, Scaled{columns});
}

}  // namespace anim::codec
