#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "animate.h"
#include "blit/kernels.h"

namespace {

using anim::blit::Kernels;

// A span inside a larger buffer, with guard bytes all round, so that any
// byte written outside the span shows up in the comparison.
struct Span {
    static constexpr int kGuard = 80;
    std::vector<uint8_t> bytes;
    uint8_t *first;  // first pixel of the first processed row

    Span(uint32_t width, uint32_t height, int32_t stride_, std::mt19937 &rng, int colours) {
        const size_t abs_stride = static_cast<size_t>(std::abs(stride_));
        bytes.resize(2 * kGuard + abs_stride * (height + 1) + 2 * width + 64);
        std::uniform_int_distribution<int> pick(0, colours - 1);
        for (auto &b : bytes) b = static_cast<uint8_t>(pick(rng));
        const size_t start_row = stride_ < 0 && height > 0 ? height - 1 : 0;
        first = bytes.data() + kGuard + start_row * abs_stride;
    }
};

enum Op { kCopy, kTrans, kReverse, kFill, kStretch, kShadow, kHaze, kGhost, kMask, kWideMask, kOps };

struct Args {
    uint32_t w, h;
    uint8_t key, colour, p1, p2;
};

void RunKernel(const Kernels *k, Op op, uint8_t *d, const uint8_t *s, int32_t ds, int32_t ss, const Args &a) {
    switch (op) {
        case kCopy:
            return k->copy(d, s, a.w, a.h, ds, ss);
        case kTrans:
            return k->transCopy(d, s, a.w, a.h, ds, ss, a.key);
        case kReverse:
            return k->reverseCopy(d, s, a.w, a.h, ds, ss);
        case kFill:
            return k->fill(d, a.w, a.h, ds, a.colour);
        case kStretch:
            return k->stretch2x(d, s, a.w, a.h, ds, ss);
        case kShadow:
            return k->shadow(d, s, a.w, a.h, ds, ss, a.key, a.colour);
        case kHaze:
            return k->haze(d, s, a.w, a.h, ds, ss, a.key, a.colour, a.p1, a.p2);
        case kGhost:
            return k->ghost(d, s, a.w, a.h, ds, ss, a.key, a.p1, a.p2);
        case kMask:
            return k->zeroMask(d, s, a.w, a.h, ds, ss);  // the "source" holds the mask bits
        default:
            return k->zeroWidenedMask(d, s, a.w, a.h, ds, ss);
    }
}

// The plain per-pixel loop each kernel must match.
void Reference(Op op, uint8_t *d, const uint8_t *s, int32_t ds, int32_t ss, const Args &a) {
    for (int r = 0; r < int(a.h); ++r)
        for (int i = 0; i < int(a.w); ++i) {
            const uint8_t v = s[r * ss + i];
            uint8_t &out = d[r * ds + i];
            const bool bit = (((r % 2 ? a.p2 : a.p1) >> ((8 - i % 8) % 8)) & 1) != 0;
            auto mask = [&](int x) { return (s[r * ss + x / 8] >> (7 - x % 8)) & 1; };
            switch (op) {
                case kCopy:
                    out = v;
                    break;
                case kTrans:
                    out = v != a.key ? v : out;
                    break;
                case kReverse:
                    d[r * ds + int(a.w) - 1 - i] = v;
                    break;
                case kFill:
                    out = a.colour;
                    break;
                case kStretch:
                    for (int q = 0; q < 4; ++q) d[(2 * r + q / 2) * ds + 2 * i + q % 2] = v;
                    break;
                case kShadow:
                    out = v != a.key ? a.colour : out;
                    break;
                case kHaze:
                    out = v == a.key ? out : bit ? a.colour : v;
                    break;
                case kGhost:
                    out = v == a.key || bit ? out : v;
                    break;
                default:
                    if (!mask(i) && !(op == kWideMask && i > 0 && mask(i - 1))) out = 0;
            }
        }
}

TEST(BlitKernels, EveryKernelSetMatchesThePlainLoopOnRandomSpans) {
    std::mt19937 rng(1234);
    const auto sets = anim::blit::AvailableKernels();
    for (int trial = 0; trial < 1500; ++trial) {
        const uint32_t w = rng() % 71, h = rng() % 6;
        const int32_t pad = static_cast<int32_t>(rng() % 9);
        const int32_t ss = static_cast<int32_t>(w + pad) * (rng() % 3 == 0 ? -1 : 1);
        const int32_t ds = static_cast<int32_t>(2 * w + 1 + rng() % 7) * (rng() % 3 == 0 ? -1 : 1);
        const int colours = rng() % 2 ? 3 : 256;  // few colours give long transparent runs
        const uint8_t key = static_cast<uint8_t>(rng() % colours), colour = static_cast<uint8_t>(rng());
        const Args args{w, h, key, colour, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
        const uint32_t seed = static_cast<uint32_t>(rng());
        SCOPED_TRACE(testing::Message() << "w=" << w << " h=" << h << " ss=" << ss << " ds=" << ds);
        for (const Kernels *k : sets)
            for (int op = 0; op < kOps; ++op) {
                SCOPED_TRACE(testing::Message() << k->name << " op " << op);
                std::mt19937 a(seed), b(seed);
                Span src(w, h, ss, a, colours), dst(w, 2 * h, ds, a, colours);
                Span src2(w, h, ss, b, colours), want(w, 2 * h, ds, b, colours);
                if (w != 0 && h != 0) {
                    RunKernel(k, Op(op), dst.first, src.first, ds, ss, args);
                    Reference(Op(op), want.first, src2.first, ds, ss, args);
                }
                ASSERT_EQ(dst.bytes, want.bytes);
            }
    }
}

// Bit 0 of the phase swaps the row patterns, phase / 2 rotates them left.
TEST(BlitEffects, PhaseSwapsAndRotatesThePatterns) {
    const std::vector<int> hazedColumnsOfRow0[] = {{0, 8, 16}, {}, {7, 15, 23}};
    for (uint32_t phase = 0; phase < 3; ++phase) {
        std::vector<uint8_t> src(24 * 2, 7), dst(24 * 2, 0);
        HazeCopyDIBBits(dst.data(), src.data(), 24, 2, 24, 24, 0, 9, phase, 1, 0);
        std::vector<int> columns;
        for (int i = 0; i < 24; ++i)
            if (dst[i] == 9) columns.push_back(i);
        EXPECT_EQ(columns, hazedColumnsOfRow0[phase]) << "phase " << phase;
    }
}

// The exports' own edge cases, before any kernel runs: no pixels, one column.
TEST(BlitSpans, PaintHorizPaintsCountPixelsOfTheColoursLowByteAndOneColumnCopies) {
    std::vector<uint8_t> row(6, 1);
    const uint8_t one = 5;
    PaintHorizDIBBits(row.data(), 4, 0x1F9);
    PaintHorizDIBBits(row.data() + 4, 0, 7);
    TransCopyDIBBitsX(row.data(), 5, &one, 1, 1, 6, 1, 0);
    EXPECT_EQ(row, (std::vector<uint8_t>{0xF9, 0xF9, 0xF9, 0xF9, 1, 5}));
}

}  // namespace
