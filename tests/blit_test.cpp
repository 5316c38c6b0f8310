#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "animate.h"
#include "blit/blit.h"
#include "blit/kernels.h"

namespace {

using anim::blit::Kernels;

// A span inside a larger buffer, with guard bytes all round, so that any
// byte written outside the span shows up in the comparison.
struct Span {
    static constexpr int kGuard = 80;
    std::vector<uint8_t> bytes;
    uint8_t *first;  // first pixel of the first processed row
    int32_t stride;

    Span(uint32_t width, uint32_t height, int32_t stride_, std::mt19937 &rng, int colours)
        : stride(stride_) {
        const size_t abs_stride = static_cast<size_t>(std::abs(stride_));
        bytes.resize(2 * kGuard + abs_stride * (height + 1) + 2 * width + 64);
        std::uniform_int_distribution<int> pick(0, colours - 1);
        for (auto &b : bytes) b = static_cast<uint8_t>(pick(rng));
        const size_t start_row = stride_ < 0 && height > 0 ? height - 1 : 0;
        first = bytes.data() + kGuard + start_row * abs_stride;
    }
};

// Plain per-pixel reference loops.
void RefTrans(uint8_t *d, const uint8_t *s, uint32_t w, uint32_t h, int32_t ds, int32_t ss, uint8_t key) {
    for (int r = 0; r < int(h); ++r)
        for (int i = 0; i < int(w); ++i)
            if (s[r * ss + i] != key) d[r * ds + i] = s[r * ss + i];
}
void RefReverse(uint8_t *d, const uint8_t *s, uint32_t w, uint32_t h, int32_t ds, int32_t ss) {
    for (int r = 0; r < int(h); ++r)
        for (int i = 0; i < int(w); ++i) d[r * ds + (int(w) - 1 - i)] = s[r * ss + i];
}
void RefStretch(uint8_t *d, const uint8_t *s, uint32_t w, uint32_t h, int32_t ds, int32_t ss) {
    for (int r = 0; r < int(h); ++r)
        for (int c = 0; c < int(w); ++c)
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) d[(2 * r + dy) * ds + 2 * c + dx] = s[r * ss + c];
}
bool Bit(uint8_t p, int i) { return (p >> ((8 - i % 8) % 8)) & 1; }
void RefPattern(uint8_t *d, const uint8_t *s, uint32_t w, uint32_t h, int32_t ds, int32_t ss,
                uint8_t key, int mode, uint8_t colour, uint8_t p1, uint8_t p2) {
    for (int r = 0; r < int(h); ++r)
        for (int i = 0; i < int(w); ++i) {
            const uint8_t v = s[r * ss + i];
            if (v == key) continue;
            const bool bit = Bit(r % 2 ? p2 : p1, i);
            uint8_t &out = d[r * ds + i];
            if (mode == 0) out = colour;                // shadow
            else if (mode == 1) out = bit ? colour : v;  // haze
            else if (!bit) out = v;                      // ghost
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
        const uint8_t key = static_cast<uint8_t>(rng() % colours);
        const uint8_t colour = static_cast<uint8_t>(rng());
        const uint8_t p1 = static_cast<uint8_t>(rng()), p2 = static_cast<uint8_t>(rng());
        const uint32_t seed = static_cast<uint32_t>(rng());
        SCOPED_TRACE(testing::Message() << "w=" << w << " h=" << h << " ss=" << ss << " ds=" << ds);

        for (const Kernels *k : sets) {
            SCOPED_TRACE(k->name);
            auto run = [&](auto kernel_call, auto reference_call) {
                std::mt19937 a(seed), b(seed);
                Span src(w, h, ss, a, colours), dst(w, 2 * h, ds, a, colours);
                Span src2(w, h, ss, b, colours), want(w, 2 * h, ds, b, colours);
                if (w != 0 && h != 0) {
                    kernel_call(dst.first, src.first, ds, ss);
                    reference_call(want.first, src2.first, ds, ss);
                }
                ASSERT_EQ(dst.bytes, want.bytes);
            };
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->copy(d, s, w, h, dS, sS); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) {
                    for (int r = 0; r < int(h); ++r) std::memcpy(d + r * dS, s + r * sS, w);
                });
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->transCopy(d, s, w, h, dS, sS, key); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefTrans(d, s, w, h, dS, sS, key); });
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->reverseCopy(d, s, w, h, dS, sS); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefReverse(d, s, w, h, dS, sS); });
            run([&](uint8_t *d, const uint8_t *, int32_t dS, int32_t) { k->fill(d, w, h, dS, colour); },
                [&](uint8_t *d, const uint8_t *, int32_t dS, int32_t) {
                    for (int r = 0; r < int(h); ++r) std::memset(d + r * dS, colour, w);
                });
            if (std::abs(ds) >= static_cast<int32_t>(2 * w)) {
                run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->stretch2x(d, s, w, h, dS, sS); },
                    [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefStretch(d, s, w, h, dS, sS); });
            }
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->shadow(d, s, w, h, dS, sS, key, colour); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefPattern(d, s, w, h, dS, sS, key, 0, colour, p1, p2); });
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->haze(d, s, w, h, dS, sS, key, colour, p1, p2); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefPattern(d, s, w, h, dS, sS, key, 1, colour, p1, p2); });
            run([&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { k->ghost(d, s, w, h, dS, sS, key, p1, p2); },
                [&](uint8_t *d, const uint8_t *s, int32_t dS, int32_t sS) { RefPattern(d, s, w, h, dS, sS, key, 2, colour, p1, p2); });
            // Masks: the "source" span holds the mask bytes.
            for (bool widened : {false, true}) {
                run([&](uint8_t *d, const uint8_t *m, int32_t dS, int32_t mS) {
                        (widened ? k->zeroWidenedMask : k->zeroMask)(d, m, w, h, dS, mS);
                    },
                    [&](uint8_t *d, const uint8_t *m, int32_t dS, int32_t mS) {
                        for (int r = 0; r < int(h); ++r)
                            for (int i = 0; i < int(w); ++i) {
                                auto bit = [&](int x) { return (m[r * mS + x / 8] >> (7 - x % 8)) & 1; };
                                const bool keep = bit(i) || (widened && i > 0 && bit(i - 1));
                                if (!keep) d[r * dS + i] = 0;
                            }
                    });
            }
        }
    }
}

TEST(BlitSpans, RowEdgesPaddingAndDirections) {
    // Width 5: one word and one byte a row; the padding stays as it was.
    uint8_t src[16], dst[16];
    for (int i = 0; i < 16; ++i) src[i] = static_cast<uint8_t>(i + 1);
    std::memset(dst, 0xEE, sizeof dst);
    CopyDIBBits(dst, src, 5, 2, 8, 8);
    for (int r = 0; r < 2; ++r) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(dst[r * 8 + i], src[r * 8 + i]);
        for (int i = 5; i < 8; ++i) EXPECT_EQ(dst[r * 8 + i], 0xEE);
    }
    // Gapless rows, up or down the block: the same rows land, nothing beyond.
    for (const int32_t stride : {4, -4}) {
        std::memset(dst, 0xEE, sizeof dst);
        const int first = stride > 0 ? 4 : 12;  // rows 4-15 either way
        CopyDIBBits(dst + first, src + first, 4, 3, stride, stride);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(dst[i], i >= 4 ? src[i] : 0xEE) << "stride " << stride << " byte " << i;
        }
    }
    // Nothing is written for an empty width or height, by any blitter.
    std::memset(dst, 0xEE, sizeof dst);
    TransCopyDIBBits(dst, src, 0, 3, 8, 8, 0);
    CopyDIBBitsReverseX(dst, src, 4, 0, 8, 8);
    FillDIBBits(dst, 0, 2, 8, 1);
    StretchDIBBits2x(dst, src, 3, 0, 8, 8);
    HazeCopyDIBBits(dst, src, 0, 2, 8, 8, 0, 1, 0, 255, 255);
    ZeroDIBUsingMonoMask(dst, src, 8, 0, 8, 1);
    PaintHorizDIBBits(dst, 0, 1);
    for (uint8_t b : dst) EXPECT_EQ(b, 0xEE);
    // The X form is the plain form at an offset.
    const uint8_t abc[3] = {'a', 'b', 'c'};
    uint8_t x_form[8] = {}, plain[8] = {};
    TransCopyDIBBitsX(x_form, 2, abc, 3, 1, 3, 3, 'b');
    TransCopyDIBBits(plain + 2, abc, 3, 1, 3, 3, 'b');
    EXPECT_EQ(std::memcmp(x_form, plain, 8), 0);
    EXPECT_EQ(x_form[3], 0);
    uint8_t run[9] = {};
    PaintHorizDIBBits(run + 1, 7, 0x1FF);
    EXPECT_EQ(run[0], 0);
    EXPECT_EQ(run[8], 0);
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(run[i], 0xFF);
    EXPECT_EQ(EnableManualDoubling(1), 0);
}

std::vector<int> EffectColumns(uint32_t phase, uint32_t p1, uint32_t p2, int row) {
    std::vector<uint8_t> src(24 * 3, 7), dst(24 * 3, 0);
    HazeCopyDIBBits(dst.data(), src.data(), 24, 3, 24, 24, 0, 9, phase, p1, p2);
    std::vector<int> columns;
    for (int i = 0; i < 24; ++i)
        if (dst[row * 24 + i] == 9) columns.push_back(i);
    return columns;
}

TEST(BlitEffects, PatternsAndPhasesPlaceTheEffect) {
    const std::vector<int> every8{0, 8, 16}, none{}, shifted{7, 15, 23};
    EXPECT_EQ(EffectColumns(0, 1, 0, 0), every8);
    EXPECT_EQ(EffectColumns(0, 1, 0, 1), none);
    EXPECT_EQ(EffectColumns(0, 1, 0, 2), every8);
    EXPECT_EQ(EffectColumns(1, 1, 0, 0), none);  // phase 1: odd rows carry it
    EXPECT_EQ(EffectColumns(1, 1, 0, 1), every8);
    EXPECT_EQ(EffectColumns(2, 1, 0, 0), shifted);  // phase 2: rotated left once
}

}  // namespace
