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

// What a decode reads codes with: the caller's table (entry 0 already reads
// (1, 0)) and its direct view.
struct Codes {
    const std::uint16_t *table;
    // The entry of each byte that is a run by itself (a plain byte or a pair
    // marker: high byte the length, low byte the colour, no byte read after
    // it), and 0 for the escape byte, the value and length markers and runs
    // of no pixels. One load and one test then pass the bulk of a stream.
    const std::uint16_t *direct;
    std::uint8_t escape;
    std::uint8_t countMark;
};

void BuildDirectView(const LineCodes &line, std::uint16_t (&direct)[256]) {
    for (std::uint32_t b = 0; b < 256; ++b) {
        const std::uint16_t t = line.table[b];
        const std::uint8_t high = High(t);
        const bool run = (high == 1) | ((high != line.countMark) & (Low(t) != line.escape));
        direct[b] = (b != line.escape) & run & (high != 0) ? t : 0;
    }
}

// The code at p, tested in the format's order.
inline Run ReadMarkedCode(const std::uint8_t *p, const Codes &codes) {
    const std::uint8_t b = p[0];
    const std::uint16_t t = codes.table[b];
    if (b == codes.escape) return {p[1], Low(codes.table[p[2]]), 3};
    if (High(t) == 1) return {1, Low(t), 1};
    if (High(t) == codes.countMark) return {p[1], Low(t), 2};
    if (Low(t) == codes.escape) return {High(t), Low(codes.table[p[1]]), 2};
    return {High(t), Low(t), 1};
}

// The code at p, which has kLongestCode bytes to read.
inline Run ReadCode(const std::uint8_t *p, const Codes &codes) {
    const std::uint16_t d = codes.direct[p[0]];
    if (High(d) != 0) return {High(d), Low(d), 1};
    return ReadMarkedCode(p, codes);
}

// The code at p near the end of the input, read from a copy padded with
// zeros; false when it needs bytes past the end.
bool ReadLastCode(const std::uint8_t *p, const StreamBounds &in, const Codes &codes, Run &run) {
    const std::size_t left = std::min(in.Left(p), kLongestCode);
    std::uint8_t code[kLongestCode] = {};
    std::memcpy(code, p, left);
    run = ReadMarkedCode(code, codes);
    return run.bytes <= left;
}

// Where each source column boundary falls in the output row at a scale: the
// kept columns among source columns [s, e) are output pixels [at[s], at[e]).
// Boundaries past the row (a run may overshoot it) are the row's end, so
// that the table can be read at any boundary a run can reach.
struct ColumnScale {
    std::uint8_t at[2 * kLineBufferSize];
};

void BuildColumnScale(std::int32_t width, std::int32_t scale, ColumnScale &columns) {
    StepRule rule(width, scale);
    std::uint8_t kept = 0;
    for (std::int32_t s = 0; s < width; ++s) {
        columns.at[s] = kept;
        kept = static_cast<std::uint8_t>(kept + (rule.Next() ? 1 : 0));
    }
    std::memset(columns.at + width, kept, sizeof columns.at - static_cast<std::size_t>(width));
}

// Full size keeps every column where it is; a run may reach past the row.
struct FullSize {
    static std::uint32_t At(std::uint32_t boundary) { return boundary; }
};
struct Scaled {
    const ColumnScale &columns;
    std::uint32_t At(std::uint32_t boundary) const { return columns.at[boundary]; }
};

// Decodes a record's codes (p is past its length byte) until they give at
// least width source pixels, and leaves the kept ones in the line buffer, in
// output order; returns the byte after the last code, or null when the
// input ends first. Scaling is done by run arithmetic: a run's kept pixels
// are the output pixels between its boundaries, so nothing is gathered.
template <typename Columns>
const std::uint8_t *DecodeRecord(const std::uint8_t *p, const StreamBounds &in,
                                 std::uintptr_t wholeBelow, const Codes &tableCodes,
                                 std::uint32_t width, const Columns &columns) {
    // A local copy: the line buffer's bytes could alias the caller's.
    const Codes codes = tableCodes;
    std::uint32_t filled = 0;  // source pixels decoded
    for (;;) {
        Run run;
        if (StreamBounds::Address(p) < wholeBelow) {
            run = ReadCode(p, codes);
        } else if (!ReadLastCode(p, in, codes, run)) {
            return nullptr;
        }
        p += run.bytes;
        const std::uint32_t from = columns.At(filled);
        filled += run.length;
        FillRun(g_lineBuffer + from, run.colour, columns.At(filled) - from,
                columns.At(width) - from);
        if (filled >= width) return p;
    }
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

// The source rows kept at a scale, in order.
struct KeptRows {
    std::uint8_t at[kLineBufferSize];
    std::int32_t count = 0;
};

void FindKeptRows(std::int32_t height, std::int32_t scale, KeptRows &rows) {
    StepRule rule(height, scale);
    rows.count = 0;
    for (std::int32_t r = 0; r < height; ++r)
        if (rule.Next()) rows.at[rows.count++] = static_cast<std::uint8_t>(r);
}

// Walks the kept records of a stream: dropped ones are stepped over by their
// length bytes, and decodeRow(p, y) decodes the record whose codes start at
// p into output row y, returning where they end or null to stop. A null
// kept list keeps every row.
template <typename DecodeRow>
void WalkRows(const StreamBounds &in, const KeptRows *kept, std::int32_t rows,
              DecodeRow &&decodeRow) {
    const std::uint8_t *p = in.begin();
    std::int32_t source = 0;
    for (std::int32_t y = 0; y < rows; ++y, ++source) {
        for (const std::int32_t wanted = kept != nullptr ? kept->at[y] : y; source < wanted; ++source) {
            p = SkipRecord(p, in);
            if (p == nullptr) return;
        }
        if (!in.Holds(p, 1)) return;
        p = decodeRow(p + 1, y);
        if (p == nullptr) return;
    }
}

// Frame rows into the output, each copied out whole (backward when
// mirrored) once its record has been decoded.
template <typename Columns>
void DecodeFrameRows(const LineJob &job, const OutputArea &out, const KeptRows *kept,
                     std::int32_t rows, const Columns &columns) {
    std::uint16_t direct[256];
    BuildDirectView(job.codes, direct);
    const Codes codes{job.codes.table, direct, job.codes.escape, job.codes.countMark};
    const StreamBounds in(job.stream, job.streamLength);
    const std::uintptr_t wholeBelow = in.WholeBelow(kLongestCode);
    const auto width = static_cast<std::uint32_t>(job.width);
    const auto outWidth = static_cast<std::size_t>(out.width);
    WalkRows(in, kept, rows, [&](const std::uint8_t *p, std::int32_t y) {
        p = DecodeRecord(p, in, wholeBelow, codes, width, columns);
        if (p == nullptr) return p;
        std::uint8_t *row = out.pixels + y * out.stride;
        if (job.mirror) CopyReversed(row, g_lineBuffer, outWidth);
        else CopyExact(row, g_lineBuffer, outWidth);
        return p;
    });
}

// ---- Number overlays ----------------------------------------------------------

// As DecodeRecord for overlay codes, one byte each, whose pixels are colour
// or 0 by whether the code's class is lit in the number's segment word.
template <typename Columns>
const std::uint8_t *DecodeOverlayRecord(const std::uint8_t *p, const StreamBounds &in,
                                        const std::uint8_t (&classValue)[16], std::uint32_t width,
                                        const Columns &columns) {
    constexpr int kRunShift = 4;
    constexpr std::uint8_t kClassBits = 0x0F;
    std::uint32_t filled = 0;
    while (filled < width) {
        if (!in.Holds(p, 1)) return nullptr;
        const std::uint8_t b = *p++;
        const std::uint32_t from = columns.At(filled);
        filled += b >> kRunShift;
        FillRun(g_lineBuffer + from, classValue[b & kClassBits], columns.At(filled) - from,
                columns.At(width) - from);
    }
    return p;
}

// The overlay's size and place in the output, and its lit colours.
struct NumberPlan {
    std::int32_t width;   // source columns of the overlay
    std::int32_t height;
    std::int32_t first;   // first and one past last overlay pixel that lands
    std::int32_t last;    // inside the output row
    std::uint8_t classValue[16];
};

void PlanNumber(const NumberJob &job, const OutputArea &out, NumberPlan &plan) {
    // Overlay pixel j lands at ox + j, or mirrored at ox - 1 - j.
    const std::int32_t n = ScaledSide(plan.width, job.scale);
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
    const std::uint8_t *line = g_lineBuffer;
    if (job.mirror) {
        std::uint8_t *at = row + job.ox - 1;
        for (std::int32_t j = plan.first; j < plan.last; ++j) {
            if (line[j] != 0) at[-j] = line[j];
        }
    } else {
        std::uint8_t *at = row + job.ox;
        for (std::int32_t j = plan.first; j < plan.last; ++j) {
            if (line[j] != 0) at[j] = line[j];
        }
    }
}

template <typename Columns>
void PaintNumberRows(const NumberJob &job, const OutputArea &out, const StreamBounds &in,
                     const NumberPlan &plan, const KeptRows *kept, const Columns &columns) {
    const std::int32_t rows = ScaledSide(plan.height, job.scale);
    const auto width = static_cast<std::uint32_t>(plan.width);
    WalkRows(in, kept, rows, [&](const std::uint8_t *p, std::int32_t r) {
        p = DecodeOverlayRecord(p, in, plan.classValue, width, columns);
        const std::int32_t y = job.oy + r;
        if (p != nullptr && plan.first < plan.last && out.RowFits(y))
            PaintRow(out.pixels + y * out.stride, job, plan);
        return p;
    });
}

}  // namespace

void DecodeLines(const LineJob &job, const OutputArea &out) {
    // Nothing of a row reaches the output when it has no columns, and rows
    // past the pixel area are not written: neither needs decoding.
    const std::int32_t rows = out.RowsThatFit();
    if (out.width == 0 || rows == 0) return;
    if (job.scale == 100) {
        DecodeFrameRows(job, out, nullptr, rows, FullSize{});
        return;
    }
    KeptRows kept;
    ColumnScale columns;
    FindKeptRows(job.height, job.scale, kept);
    BuildColumnScale(job.width, job.scale, columns);
    DecodeFrameRows(job, out, &kept, rows, Scaled{columns});
}

void PaintNumber(const NumberJob &job, const OutputArea &out) {
    const ANXFRAME header = LoadHeader(job.overlay);
    NumberPlan plan;
    plan.width = Width(header.rect);
    plan.height = Height(header.rect);
    // Its scaling is only defined for sides a decoded frame may have.
    if (plan.width < 0 || plan.width > kMaxDecodedSide || plan.height < 0 ||
        plan.height > kMaxDecodedSide) {
        return;
    }
    const std::uint32_t start = PixelAreaOffset(header);
    if (start > job.overlaySize) return;
    PlanNumber(job, out, plan);
    const StreamBounds in(PixelArea(job.overlay, header), job.overlaySize - start);
    if (job.scale == 100) {
        PaintNumberRows(job, out, in, plan, nullptr, FullSize{});
        return;
    }
    KeptRows kept;
    ColumnScale columns;
    FindKeptRows(plan.height, job.scale, kept);
    BuildColumnScale(plan.width, job.scale, columns);
    PaintNumberRows(job, out, in, plan, &kept, Scaled{columns});
}

}  // namespace anim::codec
