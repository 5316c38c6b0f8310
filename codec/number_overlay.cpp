// Number overlays: shirt numbers painted over a decoded frame.
//
//   overlay := header(32) entry(8){rectCount} orecord{height}
//   orecord := length(1) ocode*             ; length counts itself, mod 256
//   ocode   := run(4 high bits) class(4 low bits)
//
// A code's pixels are the number's colour when its class is lit in the
// number's segment word, else 0, and 0 leaves the frame's pixel as it is. So
// a row is painted straight from its codes, lit runs only, in exact fills:
// once the codes are known to reach the row's width (a row that the input
// cuts short is not painted), they are read again and each lit run is
// clipped to the output row and written.
#include <algorithm>

#include "codec/kovrle.h"
#include "codec/kovrle_decode.h"
#include "codec/line_rows.h"

namespace anim::codec {
namespace {

constexpr int kRunShift = 4;
constexpr std::uint8_t kClassBits = 0x0F;
constexpr std::size_t kClasses = 16;
// Lit runs are kept as 8-bit pixel positions; no kept pixel lies past this.
constexpr std::uint32_t kLastPixel = kMaxDecodedSide;

// The overlay's size and place in the output, and its lit colours.
struct NumberPlan {
    std::int32_t width;  // source columns of the overlay
    std::int32_t height;
    std::int32_t first;        // first and one past last overlay pixel that lands
    std::int32_t last;         // inside the output row
    std::uint32_t litClasses;  // bit c: class c is painted
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
    // A lit pixel of colour 0 leaves the frame's pixel, as an unlit one.
    const auto &classBits = job.mirror ? kMirroredClassBits : kUprightClassBits;
    plan.litClasses = 0;
    for (std::size_t c = 0; c < kClasses; ++c) {
        if ((classBits[c] & job.mask) != 0 && job.colour != 0) plan.litClasses |= 1u << c;
    }
}

// A lit run of a row: overlay pixels [from, to) in the number's colour.
struct LitRun {
    std::uint8_t from;
    std::uint8_t to;
};

// A row's lit runs, gathered while its codes are read: they are painted
// only once the codes are known to reach the row's width.
struct LitRuns {
    LitRun runs[kLineBufferSize];
    std::uint32_t count;
};

// Reads a row's codes (p is past its length byte) until they give width
// pixels, gathering its lit runs; returns the byte after them, or null when
// the input ends first.
template <typename Columns>
[[nodiscard]] const std::uint8_t *ReadRecord(const std::uint8_t *p, const StreamBounds &in,
                                             std::uint32_t width, const NumberPlan &plan,
                                             const Columns &columns, LitRuns &lit) {
    lit.count = 0;
    const std::uint32_t litClasses = plan.litClasses;
    std::uint32_t filled = 0;
    while (filled < width) {
        if (!in.Holds(p, 1)) return nullptr;
        const std::uint32_t b = *p++;
        const std::uint32_t from = filled;
        filled += b >> kRunShift;
        // Every lit class has the one colour. A gathered run covers at least
        // one pixel, so the runs stay below the line's size.
        if (((litClasses >> (b & kClassBits)) & 1u) == 0) continue;
        if (columns.At(from) < columns.At(filled)) {
            lit.runs[lit.count++] = {
                static_cast<std::uint8_t>(columns.At(from)),
                static_cast<std::uint8_t>(std::min(columns.At(filled), kLastPixel))};
        }
    }
    return p;
}

// Exactly n bytes (1 to 16) of colour, in two overlapping stores.
inline void FillExact(std::uint8_t *dst, std::uint8_t colour, std::size_t n) {
    constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
    const std::uint64_t word8 = kEveryByte * colour;
    const auto word4 = static_cast<std::uint32_t>(word8);
    const auto word2 = static_cast<std::uint16_t>(word8);
    if (n >= sizeof word8) {
        std::memcpy(dst, &word8, sizeof word8);
        std::memcpy(dst + n - sizeof word8, &word8, sizeof word8);
    } else if (n >= sizeof word4) {
        std::memcpy(dst, &word4, sizeof word4);
        std::memcpy(dst + n - sizeof word4, &word4, sizeof word4);
    } else if (n >= sizeof word2) {
        std::memcpy(dst, &word2, sizeof word2);
        std::memcpy(dst + n - sizeof word2, &word2, sizeof word2);
    } else {
        *dst = colour;
    }
}

// The lit runs onto row, each cut to the part that lands inside it. Mirrored,
// overlay pixel j lands at ox - 1 - j, so a run [j0, j1) at ox - j1.
void PaintLitRuns(const LitRuns &lit, std::uint8_t *row, const NumberJob &job,
                  const NumberPlan &plan) {
    // Locals: the stores below could alias any of the records' fields.
    const std::uint32_t count = lit.count;
    const std::int32_t first = plan.first;
    const std::int32_t last = plan.last;
    const std::int32_t ox = job.ox;
    const std::uint8_t colour = job.colour;
    const bool mirror = job.mirror;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int32_t j0 = std::max<std::int32_t>(lit.runs[i].from, first);
        const std::int32_t j1 = std::min<std::int32_t>(lit.runs[i].to, last);
        if (j0 >= j1) continue;
        FillExact(row + (mirror ? ox - j1 : ox + j0), colour, static_cast<std::size_t>(j1 - j0));
    }
}

template <typename Columns>
void PaintRows(const NumberJob &job, const OutputArea &out, const StreamBounds &in,
               const NumberPlan &plan, const KeptRows *kept, const Columns &columns) {
    const std::int32_t rows = ScaledSide(plan.height, job.scale);
    const auto width = static_cast<std::uint32_t>(plan.width);
    LitRuns lit;
    WalkRows(in, kept, rows, [&](const std::uint8_t *p, std::int32_t r) {
        p = ReadRecord(p, in, width, plan, columns, lit);
        const std::int32_t y = job.oy + r;
        if (p != nullptr && out.RowFits(y))
            PaintLitRuns(lit, out.pixels + y * out.stride, job, plan);
        return p;
    });
}

}  // namespace

void PaintNumber(const NumberJob &job, const OutputArea &out) {
    const ANXFRAME header = dib::LoadHeader(job.overlay);
    NumberPlan plan;
    plan.width = dib::Width(header.rect);
    plan.height = dib::Height(header.rect);
    // Its scaling is only defined for sides a decoded frame may have.
    if (plan.width < 0 || plan.width > kMaxDecodedSide || plan.height < 0 ||
        plan.height > kMaxDecodedSide) {
        return;
    }
    const std::uint32_t start = dib::PixelAreaOffset(header);
    if (start > job.overlaySize) return;
    PlanNumber(job, out, plan);
    // Nothing lit, or nothing landing in the rows: nothing to paint.
    if (plan.litClasses == 0 || plan.first >= plan.last) return;
    const StreamBounds in(dib::PixelArea(job.overlay, header), job.overlaySize - start);
    if (job.scale == 100) {
        PaintRows(job, out, in, plan, nullptr, FullSize{});
        return;
    }
    KeptRows kept;
    ColumnScale columns;
    FindKeptRows(plan.height, job.scale, kept);
    BuildColumnScale(plan.width, job.scale, columns);
    PaintRows(job, out, in, plan, &kept, Scaled{columns});
}

}  // namespace anim::codec
