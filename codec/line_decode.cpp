// Line-by-line KOVRLE streams and number overlays.
//
//   lines    := record{height}              ; bottom row first
//   record   := length(1) code*             ; length counts itself, mod 256
//   orecord  := length(1) ocode*
//   ocode    := run(4 high bits) class(4 low bits)
//
// Each kept record is decoded into the line buffer, then its kept columns
// go to the output row in one exact copy (forward, or backward when
// mirrored). The line buffer takes the span fills' overshoot, so that runs
// cost one store pattern each and the caller's pad bytes are never touched;
// and a record that the input cuts short never leaves the line buffer.
// Dropped records are stepped over by their length bytes, unread.
#include <algorithm>

#include "codec/anx_frame.h"
#include "codec/kovrle_decode.h"
#include "codec/step_table.h"

namespace anim::codec {
namespace {

constexpr std::size_t kLineBufferSize = 256;
// The longest code: escape, length, colour.
constexpr std::size_t kLongestCode = 3;
// A record counts itself; its length byte 0 stands for 256.
constexpr std::size_t kWrappedRecord = 256;

// One source row for the line decoder and the overlay painter, with room
// for a span fill past its last pixel; no call reads what an earlier call
// left in it.
alignas(64) std::uint8_t g_lineBuffer[kLineBufferSize + kFillSpan];

struct Run {
    std::uint32_t length;
    std::uint8_t colour;
    std::uint32_t bytes;  // code bytes read
};

constexpr std::uint8_t Low(std::uint16_t entry) { return static_cast<std::uint8_t>(entry); }
constexpr std::uint8_t High(std::uint16_t entry) { return static_cast<std::uint8_t>(entry >> 8); }

// The code at p, which has kLongestCode bytes to read. Plain bytes and pair
// markers, the bulk of every stream, are both (length, colour) straight from
// the entry, so they share the first test.
inline Run ReadCode(const std::uint8_t *p, const LineCodes &codes) {
    const std::uint8_t b = p[0];
    const std::uint16_t t = codes.table[b];
    const std::uint8_t high = High(t);
    const std::uint8_t low = Low(t);
    const bool direct = (high == 1) | ((high != codes.countMark) & (low != codes.escape));
    if ((b != codes.escape) & direct) return {high, low, 1};
    if (b == codes.escape) return {p[1], Low(codes.table[p[2]]), 3};
    if (high == codes.countMark) return {p[1], low, 2};
    return {high, Low(codes.table[p[1]]), 2};
}

// A run never needs to reach past the row: what lies beyond is not read.
inline void FillLine(std::uint32_t at, const Run &run, std::uint32_t width) {
    SpanFill(g_lineBuffer + at, run.colour, std::min(run.length, width - at));
}

// The codes of a record near the end of the input, each read from a copy
// padded with zeros so that a code that would need bytes past the end is
// seen for what it is.
const std::uint8_t *DecodeRecordTail(const std::uint8_t *p, const StreamBounds &in,
                                     const LineCodes &codes, std::uint32_t width,
                                     std::uint32_t filled) {
    for (;;) {
        const std::size_t left = std::min(in.Left(p), kLongestCode);
        std::uint8_t code[kLongestCode] = {};
        std::memcpy(code, p, left);
        const Run run = ReadCode(code, codes);
        if (run.bytes > left) return nullptr;
        p += run.bytes;
        FillLine(filled, run, width);
        filled += run.length;
        if (filled >= width) return p;
    }
}

// Decodes a record's codes (p is past its length byte) into the line buffer
// until at least width pixels are there; returns the byte after the last
// code, or null when the input ends first.
const std::uint8_t *DecodeRecord(const std::uint8_t *p, const StreamBounds &in,
                                 std::uintptr_t wholeBelow, const LineCodes &codes,
                                 std::uint32_t width) {
    std::uint32_t filled = 0;
    while (StreamBounds::Address(p) < wholeBelow) {
        const Run run = ReadCode(p, codes);
        p += run.bytes;
        FillLine(filled, run, width);
        filled += run.length;
        if (filled >= width) return p;
    }
    return DecodeRecordTail(p, in, codes, width, filled);
}

// Steps over a dropped record by its length byte; null when the input ends
// inside it.
const std::uint8_t *SkipRecord(const std::uint8_t *p, const StreamBounds &in) {
    if (!in.Holds(p, 1)) return nullptr;
    const std::size_t length = p[0] == 0 ? kWrappedRecord : p[0];
    return in.Holds(p, length) ? p + length : nullptr;
}

// ---- Writing rows -------------------------------------------------------------

constexpr std::size_t kChunk = 16;
constexpr std::size_t kWord = 8;

// Exactly n bytes, in chunks, the last one overlapping its neighbour.
inline void CopyExact(std::uint8_t *dst, const std::uint8_t *src, std::size_t n) {
    if (n < kChunk) {
        std::memcpy(dst, src, n);
        return;
    }
    for (std::size_t i = 0; i + kChunk < n; i += kChunk) std::memcpy(dst + i, src + i, kChunk);
    std::memcpy(dst + n - kChunk, src + n - kChunk, kChunk);
}

inline std::uint64_t Reversed(std::uint64_t word) { return __builtin_bswap64(word); }

// dst[i] = src[n - 1 - i], eight bytes a step.
inline void CopyReversed(std::uint8_t *dst, const std::uint8_t *src, std::size_t n) {
    if (n < kWord) {
        for (std::size_t i = 0; i < n; ++i) dst[i] = src[n - 1 - i];
        return;
    }
    auto step = [&](std::size_t i) {
        std::uint64_t word;
        std::memcpy(&word, src + n - kWord - i, kWord);
        word = Reversed(word);
        std::memcpy(dst + i, &word, kWord);
    };
    for (std::size_t i = 0; i + kWord < n; i += kWord) step(i);
    step(n - kWord);
}

// Source columns (or rows) kept at a scale, in order, from the step table.
struct KeptPositions {
    std::uint8_t at[kLineBufferSize];
    std::int32_t count = 0;
};

void FindKept(std::int32_t size, std::int32_t scale, KeptPositions &kept) {
    StepTable steps;
    const std::int32_t wanted = BuildStepTable(size, scale, steps);
    std::int32_t position = 0;
    kept.count = 0;
    for (std::size_t i = 0; kept.count < wanted && i + 1 < kStepTableSize; i += 2) {
        for (std::uint8_t k = 0; k < steps[i] && kept.count < wanted; ++k)
            kept.at[kept.count++] = static_cast<std::uint8_t>(position++);
        position += steps[i + 1];
    }
}

// out[x] = line[columns[x]], written from the row's last pixel backward when
// mirrored.
void GatherRow(std::uint8_t *row, const KeptPositions &columns, bool mirror) {
    const std::uint8_t *line = g_lineBuffer;
    const std::int32_t n = columns.count;
    if (mirror) {
        for (std::int32_t x = 0; x < n; ++x) row[n - 1 - x] = line[columns.at[x]];
    } else {
        for (std::int32_t x = 0; x < n; ++x) row[x] = line[columns.at[x]];
    }
}

// ---- Frames -------------------------------------------------------------------

// Every record kept, every column copied.
void DecodeFullSize(const LineJob &job, const OutputArea &out, std::int32_t rows) {
    const StreamBounds in(job.stream, job.streamLength);
    const std::uintptr_t wholeBelow = in.WholeBelow(kLongestCode);
    const auto width = static_cast<std::uint32_t>(job.width);
    const std::uint8_t *p = job.stream;
    std::uint8_t *row = out.pixels;
    for (std::int32_t y = 0; y < rows; ++y, row += out.stride) {
        if (!in.Holds(p, 1)) return;
        p = DecodeRecord(p + 1, in, wholeBelow, job.codes, width);
        if (p == nullptr) return;
        if (job.mirror) CopyReversed(row, g_lineBuffer, width);
        else CopyExact(row, g_lineBuffer, width);
    }
}

void DecodeScaled(const LineJob &job, const OutputArea &out, std::int32_t rows) {
    KeptPositions keptRows;
    KeptPositions columns;
    FindKept(job.height, job.scale, keptRows);
    FindKept(job.width, job.scale, columns);
    const StreamBounds in(job.stream, job.streamLength);
    const std::uintptr_t wholeBelow = in.WholeBelow(kLongestCode);
    const auto width = static_cast<std::uint32_t>(job.width);
    const std::uint8_t *p = job.stream;
    std::int32_t source = 0;
    for (std::int32_t y = 0; y < rows && y < keptRows.count; ++y) {
        for (; source < keptRows.at[y]; ++source) {
            p = SkipRecord(p, in);
            if (p == nullptr) return;
        }
        if (!in.Holds(p, 1)) return;
        p = DecodeRecord(p + 1, in, wholeBelow, job.codes, width);
        if (p == nullptr) return;
        ++source;
        GatherRow(out.pixels + y * out.stride, columns, job.mirror);
    }
}

// ---- Number overlays ----------------------------------------------------------

// As DecodeRecord for overlay codes, one byte each, whose pixels are colour
// or 0 by whether the code's class is lit in the number's segment word.
const std::uint8_t *DecodeOverlayRecord(const std::uint8_t *p, const StreamBounds &in,
                                        const std::uint8_t (&classValue)[16], std::uint32_t width) {
    constexpr int kRunShift = 4;
    constexpr std::uint8_t kClassBits = 0x0F;
    std::uint32_t filled = 0;
    while (filled < width) {
        if (!in.Holds(p, 1)) return nullptr;
        const std::uint8_t b = *p++;
        SpanFill(g_lineBuffer + filled, classValue[b & kClassBits], 1);
        filled += b >> kRunShift;
    }
    return p;
}

// The overlay's place in the output, its size at scale and its lit colours.
struct NumberPlan {
    std::int32_t width;  // source columns of the overlay
    KeptPositions rows;
    KeptPositions columns;
    std::int32_t first;  // first and one past last column index that lands
    std::int32_t last;   // inside the output row
    std::uint8_t classValue[16];
};

void PlanNumber(const NumberJob &job, const ANXFRAME &header, const OutputArea &out,
                NumberPlan &plan) {
    plan.width = Width(header.rect);
    FindKept(Height(header.rect), job.scale, plan.rows);
    FindKept(plan.width, job.scale, plan.columns);
    // Column j lands at ox + j, or mirrored at ox - 1 - j.
    const std::int32_t n = plan.columns.count;
    if (job.mirror) {
        plan.first = std::clamp(job.ox - out.width, 0, n);
        plan.last = std::clamp(job.ox, 0, n);
    } else {
        plan.first = std::clamp(-job.ox, 0, n);
        plan.last = std::clamp(out.width - job.ox, 0, n);
    }
    const auto &classBits = job.mirror ? kMirroredClassBits : kUprightClassBits;
    for (int c = 0; c < 16; ++c) plan.classValue[c] = (classBits[c] & job.mask) != 0 ? job.colour : 0;
}

// Lit overlay pixels of the line buffer onto row; unlit ones (0) leave the
// frame's pixel.
void PaintRow(std::uint8_t *row, const NumberJob &job, const NumberPlan &plan) {
    if (plan.first >= plan.last) return;
    const std::uint8_t *line = g_lineBuffer;
    const int step = job.mirror ? -1 : 1;
    std::uint8_t *at = row + (job.mirror ? job.ox - 1 : job.ox) + step * plan.first;
    for (std::int32_t j = plan.first; j < plan.last; ++j, at += step) {
        const std::uint8_t pixel = line[plan.columns.at[j]];
        if (pixel != 0) *at = pixel;
    }
}

}  // namespace

void DecodeLines(const LineJob &job, const OutputArea &out) {
    // Nothing of a row reaches the output when it has no columns, and rows
    // past the pixel area are not written: neither needs decoding.
    const std::int32_t rows = out.RowsThatFit();
    if (out.width == 0 || rows == 0) return;
    if (job.scale == 100) {
        DecodeFullSize(job, out, rows);
    } else {
        DecodeScaled(job, out, rows);
    }
}

void PaintNumber(const NumberJob &job, const OutputArea &out) {
    const ANXFRAME header = LoadHeader(job.overlay);
    const std::int32_t width = Width(header.rect);
    const std::int32_t height = Height(header.rect);
    // Its step tables are only defined for sides a decoded frame may have.
    if (width < 0 || width > kMaxDecodedSide || height < 0 || height > kMaxDecodedSide) return;
    const std::uint32_t start = PixelAreaOffset(header);
    if (start > job.overlaySize) return;
    NumberPlan plan;
    PlanNumber(job, header, out, plan);

    const StreamBounds in(PixelArea(job.overlay, header), job.overlaySize - start);
    const std::uint8_t *p = in.begin();
    std::int32_t source = 0;
    for (std::int32_t r = 0; r < plan.rows.count; ++r) {
        for (; source < plan.rows.at[r]; ++source) {
            p = SkipRecord(p, in);
            if (p == nullptr) return;
        }
        if (!in.Holds(p, 1)) return;
        p = DecodeOverlayRecord(p + 1, in, plan.classValue, static_cast<std::uint32_t>(width));
        if (p == nullptr) return;
        ++source;
        const std::int32_t y = job.oy + r;
        if (out.RowFits(y)) PaintRow(out.pixels + y * out.stride, job, plan);
    }
}

}  // namespace anim::codec
