#include <algorithm>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "animate.h"
#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "codec/step_table.h"
#include "test_support.h"

namespace {

using namespace anim::codec;
using namespace anim::dib;
using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;
constexpr uint8_t kE = 5;  // escape byte of the tables made here

// Line form over entry 0 = (H, E): every other entry (1, b).
Table LineTable(uint16_t entry0) {
    Table t;
    for (int b = 0; b < 256; ++b) t[b] = static_cast<uint16_t>(0x100 | b);
    t[0] = entry0;
    return t;
}

Bytes Frame(ANXRECT rect, uint32_t dataSize, const Bytes &stream, uint16_t compression = 1,
            int16_t rectCount = 1) {
    ANXFRAME h{4, 32, rectCount, dataSize, compression, 0, rect, 0, 0, 0, 0, 0, 0};
    // Sized once and filled in place: growing it with insert trips GCC 12's
    // array-bounds check at -O3.
    Bytes f(32 + 8 * rectCount + stream.size());
    StoreHeader(f.data(), h);
    for (int i = 0; i < rectCount; ++i)
        StoreEntry(f.data(), i, {0, 0, static_cast<int16_t>(Width(rect) - 1), static_cast<int16_t>(Height(rect) - 1)});
    std::copy(stream.begin(), stream.end(), f.end() - static_cast<std::ptrdiff_t>(stream.size()));
    return f;
}
Bytes Frame(int w, int h, const Bytes &stream) {
    return Frame({0, 0, int16_t(w - 1), int16_t(h - 1)}, uint32_t(anim::platform::RowStride(w) * h), stream);
}

// Expands f through the bounded entry point into out (resized to the needed
// size, pre-filled with fill); returns the pixel area.
Bytes Decode(const Bytes &f, Table &t, int kind, int scale = 100, bool mirror = false,
             const Bytes *overlay = nullptr, int number = 0, uint8_t fill = 0xEE) {
    ANXFRAME h = LoadHeader(f.data());
    Bytes out(PixelAreaOffset(h) + h.dataSize, fill);
    DecodeRequest r;
    r.frame = f.data();
    r.frameSize = f.size();
    r.overlay = overlay ? overlay->data() : nullptr;
    r.overlaySize = overlay ? overlay->size() : 0;
    r.table = t.data();
    r.buffer = out.data();
    r.bufferSize = uint32_t(out.size());
    r.scale = scale;
    r.numberIndex = number;
    r.numberColour = 0xC8;
    r.mirror = mirror;
    r.streamKind = kind;
    EXPECT_EQ(Expand(r), reinterpret_cast<ANXFRAME *>(out.data()));
    return Bytes(out.begin() + PixelAreaOffset(h), out.end());
}

// Test-side line encoder for tables made by RandomTable: plain bytes, escape
// codes and the three markers at 0xF0 (pair, 3 of 0x40), 0xF1 (value, 0x41)
// and 0xF2 (length 4). Pixel values are stream values; the table maps them.
Bytes EncodeLines(const std::vector<Bytes> &rows, std::mt19937 &rng, bool plainOnly = false) {
    Bytes s;
    for (const Bytes &row : rows) {
        size_t start = s.size();
        s.push_back(0);
        for (size_t i = 0; i < row.size();) {
            size_t n = 1;
            while (i + n < row.size() && row[i + n] == row[i] && n < 255) ++n;
            uint8_t v = row[i];
            bool pick = rng() % 2 && !plainOnly;
            if (v == 0x40 && n == 3 && !plainOnly) s.push_back(0xF0);
            else if (v == 0x41 && pick) s.insert(s.end(), {0xF1, uint8_t(n)});
            else if (n == 4 && pick) s.insert(s.end(), {0xF2, v});
            else if (n >= 2 && rng() % 3 && !plainOnly) s.insert(s.end(), {kE, uint8_t(n), v});
            else s.insert(s.end(), n, v);
            i += n;
        }
        s[start] = uint8_t(s.size() - start);
    }
    return s;
}
Table RandomTable(std::mt19937 &rng, uint8_t countMark) {
    Table t = LineTable(uint16_t(countMark << 8 | kE));
    for (int b = 1; b < 256; ++b) t[b] = uint16_t(0x100 | (rng() & 0xFF));
    t[0xF0] = uint16_t(0x300 | (t[0x40] & 0xFF));
    t[0xF1] = uint16_t(countMark << 8 | (t[0x41] & 0xFF));
    t[0xF2] = uint16_t(0x400 | kE);
    return t;
}
uint8_t RandomPixel(std::mt19937 &rng) {
    static const uint8_t kValues[] = {0, 0x40, 0x41, 0x41, 7, 9, 0x80, 0xFE};
    return kValues[rng() % sizeof kValues];
}

TEST(AnxDecodeStepTable, WorkedExamplesAndWideSides) {
    StepTable t;
    auto bytes = [&](size_t n) { return Bytes(t.begin(), t.begin() + n); };
    EXPECT_EQ(BuildStepTable(10, 100, t), 10);
    EXPECT_EQ(bytes(3), (Bytes{10, 0, 0}));
    EXPECT_EQ(BuildStepTable(10, 50, t), 5);
    EXPECT_EQ(bytes(13), (Bytes{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(BuildStepTable(12, 75, t), 9);
    EXPECT_EQ(bytes(9), (Bytes{1, 1, 3, 1, 3, 1, 2, 0, 0}));
    EXPECT_EQ(BuildStepTable(1, 100, t), 1);
    EXPECT_EQ(bytes(3), (Bytes{1, 0, 0}));
    // Sides near 255 need more than 256 bytes at some scales; all fit.
    for (int n : {1, 2, 3, 200, 201, 254, 255}) {
        for (int scale = 1; scale <= 100; ++scale) {
            ASSERT_EQ(BuildStepTable(n, scale, t), n * scale / 100);
            int total = 0;
            size_t i = 0;
            for (; t[i] != 0 || t[i + 1] != 0 || i == 0; ++i) total += t[i];
            ASSERT_EQ(total, n) << n << "@" << scale;
        }
    }
}

TEST(AnxDecodeStepTableDeathTest, CountOf256Asserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StepTable t;
    EXPECT_DEATH(BuildStepTable(256, 100, t), "Assertion failed: DIB");
}

TEST(AnxDecode, WorkedExampleFromBothStreams) {
    const Bytes pixels = {0x11, 0x11, 0x11, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x33, 0x33,
                          0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x12, 0x13, 0x13};
    Table header;
    header.fill(0x0005);
    header[6] = 0x0020;
    header[7] = 0x0405;
    header[8] = 0x0311;
    Table line = header;
    for (int b = 1; b < 256; ++b) if (line[b] == line[0]) line[b] = uint16_t(0x100 | b);

    const Bytes whole = {0x08, 0x06, 0x06, 0x07, 0x33, 0x05, 0x05, 0x44, 0x12, 0x13, 0x13};
    const Bytes wholeFrame = Frame({0, 0, 20, 0}, 21, whole);
    EXPECT_EQ(Decode(wholeFrame, header, 1), pixels);
    EXPECT_EQ(Decode(wholeFrame, line, 1), pixels);

    const Bytes rows = {0x0D, 0x08, 0x06, 0x06, 0x07, 0x33, 0x05, 0x05, 0x44, 0x12, 0x05, 0x02, 0x13};
    Bytes padded = pixels;
    padded.insert(padded.end(), 3, 0xEE);  // kind 2 leaves the pad bytes
    EXPECT_EQ(Decode(Frame(21, 1, rows), line, 2), padded);
    EXPECT_EQ(line[0], 0x0005);

    // Out of input mid-code: what was decoded stays, the rest keeps its bytes.
    Bytes cut = Decode(Frame({0, 0, 20, 0}, 21, Bytes(whole.begin(), whole.begin() + 6)), header, 1);
    EXPECT_EQ(Bytes(cut.begin(), cut.begin() + 13), Bytes(pixels.begin(), pixels.begin() + 13));
    EXPECT_EQ(Bytes(cut.begin() + 13, cut.end()), Bytes(8, 0xEE));
    // A line row cut short is not written; the rows before it are.
    Bytes two = rows;
    two.insert(two.end(), rows.begin(), rows.end() - 1);
    padded.insert(padded.end(), 24, 0xEE);
    EXPECT_EQ(Decode(Frame(21, 2, two), line, 2), padded);
}

TEST(AnxDecode, RawEmptyAndRefusedFrames) {
    anim::test::LeakCheck leaks;
    Table t = LineTable(kE);
    Bytes raw = Frame({3, 4, 6, 5}, 8, {1, 2, 3, 4, 4, 4, 4, 4}, 0);
    raw[10] = 0x7A;  // a delta key colour rides in the high half
    Bytes overlay = Frame(2, 1, {0x21, 0x21});
    for (int scale : {100, 37}) {
        Bytes out(raw.size());
        ASSERT_NE(AnxUnKOVRLEFrame(reinterpret_cast<ANXFRAME *>(raw.data()),
                                   reinterpret_cast<ANXFRAME *>(overlay.data()), t.data(),
                                   reinterpret_cast<ANXFRAME *>(out.data()), uint32_t(out.size()),
                                   scale, 0, 9, 1, 2), nullptr);
        EXPECT_EQ(out, raw);
    }
    Bytes repeat = Frame({0, 0, 9, 9}, 0, {}, 0x0101, 0);
    repeat[10] = 0x7A;
    repeat[30] = 7;
    ANXFRAME *header = AnxUnKOVRLEFrame(reinterpret_cast<ANXFRAME *>(repeat.data()), nullptr,
                                        t.data(), nullptr, 0, 50, 0, 0, 0, 2);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(anim::platform::BlockSize(header), 32u);
    repeat[8] = repeat[9] = 0;
    EXPECT_EQ(std::memcmp(header, repeat.data(), 32), 0);
    DeleteAnxFrame(header);

    // Refusals leave the caller's buffer as it was.
    Bytes rows;
    for (int r = 0; r < 4; ++r) rows.insert(rows.end(), {4, kE, 10, 1});
    Bytes line = Frame(10, 4, rows);
    auto refused = [&](const Bytes &f, uint32_t size, int scale, int kind, uint16_t *table) {
        Bytes out(f.size() + 64, 0xCD);
        ANXFRAME *r = AnxUnKOVRLEFrame(reinterpret_cast<const ANXFRAME *>(f.data()), nullptr, table,
                                       reinterpret_cast<ANXFRAME *>(out.data()), size, scale, 0, 0, 0, kind);
        return r == nullptr && out == Bytes(f.size() + 64, 0xCD);
    };
    const uint32_t needed = 32 + 8 + 48;
    EXPECT_TRUE(refused(line, needed - 1, 50, 2, t.data()));
    EXPECT_FALSE(refused(line, needed, 50, 2, t.data()));
    EXPECT_TRUE(refused(line, needed, 0, 2, t.data()));
    EXPECT_TRUE(refused(line, needed, 101, 2, t.data()));
    EXPECT_TRUE(refused(line, needed, 100, 2, nullptr));
    EXPECT_TRUE(refused(Frame(256, 1, {}), 2000, 100, 2, t.data()));
    Bytes negative = line;
    negative[3] = 0xFF;
    EXPECT_TRUE(refused(negative, 4096, 100, 2, t.data()));
    EXPECT_EQ(AnxUnKOVRLEFrame(nullptr, nullptr, t.data(), nullptr, 0, 100, 0, 0, 0, 1), nullptr);
    // Whole-frame streams need no step table, so wide pictures expand.
    Bytes wide = Decode(Frame(300, 2, {kE, 255, 7, kE, 255, 7, kE, 90, 7}), t, 1);
    EXPECT_EQ(wide, Bytes(600, 7));
}

TEST(AnxDecode, ScalingAndMirroringRewriteTheHeader) {
    Table t = LineTable(kE);
    std::mt19937 rng(1);
    struct Case { int16_t left, right; int scale; bool mirror; int16_t outLeft, outRight; };
    for (Case c : {Case{10, 29, 100, true, -29, -10}, Case{10, 29, 50, false, 5, 14},
                   Case{-7, 12, 50, false, -3, 6}, Case{-7, 12, 50, true, -6, 3}}) {
        Bytes f = Frame({c.left, 3, c.right, 6}, 20 * 4, EncodeLines({Bytes(20, 1), Bytes(20, 2), Bytes(20, 3), Bytes(20, 4)}, rng));
        Bytes out(f.size() + 64);
        ASSERT_NE(AnxUnKOVRLEFrame(reinterpret_cast<ANXFRAME *>(f.data()), nullptr, t.data(),
                                   reinterpret_cast<ANXFRAME *>(out.data()), uint32_t(out.size()),
                                   c.scale, 0, 0, c.mirror, 2), nullptr);
        ANXFRAME h = LoadHeader(out.data());
        ANXRECT e = LoadEntry(out.data(), 0);
        int outH = 4 * c.scale / 100;
        EXPECT_EQ(h.compression, 0);
        EXPECT_EQ(h.rect.left, c.outLeft);
        EXPECT_EQ(h.rect.right, c.outRight);
        EXPECT_EQ(h.rect.top, 3 * c.scale / 100);
        EXPECT_EQ(h.rect.bottom, 3 * c.scale / 100 + outH - 1);
        EXPECT_EQ(e.right, c.outRight - c.outLeft);
        EXPECT_EQ(e.bottom, outH - 1);
    }
}

// A number overlay frame whose rows (bottom first) hold one-pixel class codes.
Bytes Overlay(int16_t left, int16_t bottom, const std::vector<Bytes> &classRows) {
    Bytes s;
    for (const Bytes &row : classRows) {
        s.push_back(uint8_t(row.size() + 1));
        for (uint8_t c : row) s.push_back(uint8_t(0x10 | c));
    }
    const int w = int(classRows[0].size()), h = int(classRows.size());
    return Frame({left, int16_t(bottom - h + 1), int16_t(left + w - 1), bottom}, 0, s);
}

TEST(AnxDecode, NumberOverlayPaintsLitClassesOnly) {
    Table t = LineTable(kE);
    std::mt19937 rng(3);
    const Bytes frame = Frame({100, 50, 107, 53}, 32, EncodeLines(std::vector<Bytes>(4, Bytes(8, 0x30)), rng));
    const std::vector<Bytes> art = {{8, 1, 0, 15}, {4, 9, 2, 3}};
    auto painted = [&](std::vector<int> at, size_t size = 32) {
        Bytes b(32, 0xEE);
        std::fill(b.begin(), b.begin() + size, 0x30);
        for (int i : at) b[i] = 0xC8;
        return b;
    };
    const Bytes inside = Overlay(102, 52, art);  // ox 2, oy 1
    // Index 0 (0x7777) lights both digits but not their middles (class 4).
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &inside, 0), painted({10, 11, 19, 20, 21}));
    EXPECT_EQ(Decode(frame, t, 2, 100, true, &inside, 0), painted({13, 12, 20, 19, 18}));
    // Index 1 (0x0012): right digit upper and lower left, a different class
    // in each orientation.
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &inside, 1), painted({19}));
    EXPECT_EQ(Decode(frame, t, 2, 100, true, &inside, 1), painted({18}));
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &inside, 200), painted({}));
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &inside, -1), painted({}));
    // At 50 the overlay keeps its row 1 and columns 1 and 3 (classes 9, 3).
    EXPECT_EQ(Decode(frame, t, 2, 50, false, &inside, 0), painted({1, 2}, 8));
    // Pixels off the frame's rows are dropped, not wrapped into a neighbour.
    const Bytes right = Overlay(106, 50, art), left = Overlay(99, 52, art);
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &right, 0), painted({30, 31}));
    EXPECT_EQ(Decode(frame, t, 2, 100, false, &left, 0), painted({8, 16, 17, 18}));
}

std::vector<int> Kept(int n, int scale) {
    StepTable t;
    BuildStepTable(n, scale, t);
    std::vector<int> kept;
    for (int i = 0, pos = 0; t[i] != 0 || t[i + 1] != 0; i += 2, pos += t[i - 1])
        for (int k = 0; k < t[i]; ++k) kept.push_back(pos++);
    return kept;
}

TEST(AnxDecode, ScaledMirroredDecodeMatchesReference) {
    std::mt19937 rng(7);
    for (int scale = 1; scale <= 100; ++scale) {
        for (bool mirror : {false, true}) {
            // Rows of 255 plain bytes have a record length of 256, stored as 0.
            const bool longRows = scale % 10 == 5;
            const int w = longRows ? 255 : 1 + int(rng() % 48), h = 1 + int(rng() % 48);
            Table t = RandomTable(rng, rng() % 2 ? 0 : 200);
            const uint16_t entry0 = t[0];
            std::vector<Bytes> rows(h);
            for (Bytes &row : rows)
                for (int c = 0; c < w; ++c) row.push_back(c && rng() % 3 ? row.back() : RandomPixel(rng));
            const Bytes out = Decode(Frame(w, h, EncodeLines(rows, rng, longRows)), t, 2, scale, mirror);

            const int ow = w * scale / 100, oh = h * scale / 100;
            const std::vector<int> keptRows = Kept(h, scale), keptCols = Kept(w, scale);
            Bytes expected(anim::platform::RowStride(w) * h, 0xEE);
            for (int r = 0; r < std::min<int>(oh, int(keptRows.size())); ++r) {
                for (int c = 0; c < std::min<int>(ow, int(keptCols.size())); ++c) {
                    const uint8_t v = rows[keptRows[r]][keptCols[c]];
                    expected[r * anim::platform::RowStride(ow) + (mirror ? ow - 1 - c : c)] = v ? uint8_t(t[v]) : 0;
                }
            }
            ASSERT_EQ(out, expected) << w << "x" << h << " @" << scale << " mirror " << mirror;
            ASSERT_EQ(t[0], entry0);
        }
    }
}

TEST(AnxDecode, MalformedStreamsStayInsideTheOutput) {
    std::mt19937 rng(99);
    auto bytes = [&](size_t n) {
        auto b = std::make_unique<uint8_t[]>(n);  // exact size: over-reads trip the sanitizer
        for (size_t i = 0; i < n; ++i) b[i] = uint8_t(rng());
        return b;
    };
    constexpr size_t kGuard = 64;
    for (int iter = 0; iter < 3000; ++iter) {
        Table t;
        for (uint16_t &e : t) e = uint16_t(rng());
        const uint16_t entry0 = t[0];
        const bool big = iter % 50 == 0;
        const int w = int(rng() % (big ? 256 : 40)), h = int(rng() % (big ? 256 : 40));
        const int16_t count = int16_t(iter % 10 == 0 ? rng() % 3 : 1);
        const uint32_t full = uint32_t(anim::platform::RowStride(w) * h);
        const uint32_t dataSize = rng() % 2 ? full : uint32_t(rng() % (full + 1));
        const size_t streamSize = rng() % 400, frameSize = 32 + 8 * count + streamSize;
        auto frame = bytes(frameSize);
        const int16_t left = int16_t(int(rng() % 100) - 50), top = int16_t(int(rng() % 100) - 50);
        StoreHeader(frame.get(), {4, 32, count, dataSize, 1, 0,
                                  {left, top, int16_t(left + w - 1), int16_t(top + h - 1)}, 0, 0, 0, 0, 0, 0});
        const size_t overlaySize = 32 + 8 + rng() % 200;
        auto overlay = bytes(overlaySize);
        const int16_t oLeft = int16_t(left + int(rng() % 60) - 10), oBottom = int16_t(top + int(rng() % 60) - 10);
        StoreHeader(overlay.get(), {4, 32, 1, 0, 1, 0,
                                    {oLeft, 0, int16_t(oLeft + rng() % 30), oBottom}, 0, 0, 0, 0, 0, 0});

        const uint32_t needed = 32 + 8 * count + dataSize;
        Bytes out(needed + 2 * kGuard, 0xA5);
        DecodeRequest r;
        r.frame = frame.get();
        r.frameSize = frameSize;
        r.overlay = rng() % 2 ? overlay.get() : nullptr;
        r.overlaySize = overlaySize;
        r.table = t.data();
        r.buffer = out.data() + kGuard;
        r.bufferSize = needed;
        r.scale = 1 + int(rng() % 100);
        r.numberIndex = int(rng() % 210) - 5;
        r.numberColour = rng();
        r.mirror = rng() % 2;
        r.streamKind = 1 + int(rng() % 3);
        ANXFRAME *result = Expand(r);
        ASSERT_EQ(result, reinterpret_cast<ANXFRAME *>(out.data() + kGuard)) << iter;
        for (size_t i = 0; i < kGuard; ++i) {
            ASSERT_EQ(out[i], 0xA5) << iter;
            ASSERT_EQ(out[out.size() - 1 - i], 0xA5) << iter;
        }
        ASSERT_EQ(t[0], entry0);
    }
}

}  // namespace
