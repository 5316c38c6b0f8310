#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "animate.h"
#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "codec/step_table.h"
#include "dib/packed_dib.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using namespace anim::codec;
using namespace anim::dib;
using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;

struct Picture {
    int width, height;
    Bytes pixels;  // top-down rows
};

// A raw frame of the whole picture, made the way the tools make them.
ANXFRAME *FrameOf(const Picture &p) {
    BITMAPINFOHEADER *dib = CreateDIB(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(GetDIBPixelAddress(dib, 0, y), &p.pixels[size_t(y) * p.width], p.width);
    const RECT all{0, 0, p.width - 1, p.height - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &all, 1);
    DeleteDIB(dib);
    return frame;
}
ANXFRAME *Clone(const ANXFRAME *f) {
    const auto size = uint32_t(anim::platform::BlockSize(f));
    return static_cast<ANXFRAME *>(std::memcpy(ALLOCATE(size), f, size));
}
Bytes Area(const ANXFRAME *f) {
    const ANXFRAME h = LoadHeader(f);
    return Bytes(PixelArea(f, h), PixelArea(f, h) + h.dataSize);
}
Bytes Decode(const ANXFRAME *f, Table &t, int kind) {
    ANXFRAME *out = AnxUnKOVRLEFrame(f, nullptr, t.data(), nullptr, 0, 100, 0, 0, 0, kind);
    EXPECT_NE(out, nullptr);
    Bytes area = out ? Area(out) : Bytes{};
    DeleteAnxFrame(out);
    return area;
}
// The stored rows without their pad bytes.
Bytes Unpadded(const Bytes &area, int width, int height) {
    Bytes rows;
    for (int y = 0; y < height; ++y) {
        auto row = area.begin() + anim::platform::RowStride(width) * y;
        rows.insert(rows.end(), row, row + width);
    }
    return rows;
}

Picture RandomPicture(std::mt19937 &rng, int width, int height) {
    const auto pick = [&](int lo, int hi) { return int(rng() % unsigned(hi - lo + 1)) + lo; };
    const bool many = rng() % 2;
    Bytes colours(many ? pick(20, 250) : pick(1, 4));
    for (uint8_t &c : colours) c = uint8_t(rng());
    // Values seen only in runs of 100 or more, often low ones, which become
    // the escape byte (1, mostly) or markers.
    Bytes longOnly(pick(0, 3));
    for (uint8_t &v : longOnly) v = uint8_t(rng() % 3 == 0 ? 1 : rng() % 2 ? pick(2, 12) : rng());
    Picture p{width, height, {}};
    const size_t total = size_t(width) * height;
    // Line statistics see runs only within rows: there, long-only values
    // need rows of their own.
    const bool wholeRows = !longOnly.empty() && width >= 100 && rng() % 2;
    while (p.pixels.size() < total) {
        size_t n;
        uint8_t v;
        if (wholeRows && p.pixels.size() % width == 0 && rng() % 4 == 0) {
            n = width;
            v = longOnly[rng() % longOnly.size()];
        } else if (!longOnly.empty() && !wholeRows && rng() % 12 == 0) {
            constexpr size_t kLong[] = {100, 150, 254, 255, 256, 257, 300, 510, 511};
            n = kLong[rng() % std::size(kLong)];
            v = longOnly[rng() % longOnly.size()];
        } else {
            n = many ? pick(1, 4) : pick(1, 40);
            v = colours[rng() % colours.size()];
        }
        p.pixels.insert(p.pixels.end(), std::min(n, total - p.pixels.size()), v);
    }
    // Made in storage order (bottom row first), so that the long runs stay
    // whole in the frame's raw area.
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(p.pixels.begin() + size_t(y) * width,
                         p.pixels.begin() + size_t(y + 1) * width,
                         p.pixels.begin() + size_t(height - 1 - y) * width);
    return p;
}

// Whether a line encode may refuse the picture: only a row whose codes
// could pass a 256-byte record (at most 3 bytes a run, 1 a plain pixel).
bool LineRefusalAllowed(const Picture &p, const Table &line) {
    const uint8_t escape = uint8_t(line[0]);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t *row = &p.pixels[size_t(y) * p.width];
        int bound = 1;
        for (int x = 0; x < p.width;) {
            int n = 1;
            while (x + n < p.width && row[x + n] == row[x]) ++n;
            const bool plain =
                row[x] != escape && (row[x] == 0 || line[row[x]] == (0x100 | row[x]));
            bound += n == 1 && plain ? 1 : 3;
            x += n;
        }
        if (bound > 256) return true;
    }
    return false;
}

// Source positions a step table keeps, in order.
std::vector<int> Kept(int size, int scale) {
    StepTable t{};  // zeros after the end: a last keep count reads as the pair (k, 0)
    BuildStepTable(size, scale, t);
    std::vector<int> kept;
    for (size_t i = 0, pos = 0; t[i] != 0 || t[i + 1] != 0; pos += t[i] + t[i + 1], i += 2)
        for (int k = 0; k < t[i]; ++k) kept.push_back(int(pos) + k);
    return kept;
}

// A scaled (and maybe mirrored) decode holds the full-size decode's pixels
// at the rows and columns the step tables keep.
void CheckScaled(const ANXFRAME *packed, Table &line, const Bytes &full, int w, int h, int scale,
                 bool mirror) {
    SCOPED_TRACE(testing::Message() << "scale " << scale << (mirror ? " mirrored" : ""));
    ANXFRAME *out = AnxUnKOVRLEFrame(packed, nullptr, line.data(), nullptr, 0, scale, 0, 0,
                                     mirror, ANX_STREAM_LINE_BY_LINE);
    ASSERT_NE(out, nullptr);
    const Bytes got = Area(out);
    DeleteAnxFrame(out);
    const std::vector<int> rows = Kept(h, scale), cols = Kept(w, scale);
    const int ow = w * scale / 100, oh = h * scale / 100;
    ASSERT_EQ(int(rows.size()), oh);
    ASSERT_EQ(int(cols.size()), ow);
    for (int r = 0; r < oh; ++r)
        for (int c = 0; c < ow; ++c)
            ASSERT_EQ(got[r * anim::platform::RowStride(ow) + (mirror ? ow - 1 - c : c)],
                      full[rows[r] * anim::platform::RowStride(w) + cols[c]]) << r << "," << c;
}

void CheckRoundTrip(const Picture &p, uint32_t reserve, uint32_t limit, int &lineRefusals,
                    int scale = 100, bool mirror = false) {
    ANXFRAME *raw = FrameOf(p);
    ASSERT_NE(raw, nullptr);
    const Bytes area = Area(raw);
    std::vector<uint32_t> stats(KOVRLE_STATISTICS_COUNT);

    KOVRLEStartDecompTable(stats.data());
    KOVRLEUpdateDecompTable(area.data(), uint32_t(area.size()), stats.data());
    Table whole;
    KOVRLEFinishDecompTable(stats.data(), whole.data(), reserve, limit);
    ANXFRAME *packed = AnxKOVRLEFrame(Clone(raw), whole.data());
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(Decode(packed, whole, ANX_STREAM_WHOLE_FRAME), area);
    Table wholeLine = whole;
    KOVRLEConvertTableToLineForm(wholeLine.data());
    EXPECT_EQ(Decode(packed, wholeLine, ANX_STREAM_WHOLE_FRAME), area);
    DeleteAnxFrame(packed);

    KOVRLEStartDecompTable(stats.data());
    for (int y = 0; y < p.height; ++y)
        KOVRLEUpdateDecompTableLineByLine(area.data() + anim::platform::RowStride(p.width) * y, p.width, 1,
                                          stats.data());
    Table line;
    KOVRLEFinishDecompTable(stats.data(), line.data(), reserve, limit);
    ANXFRAME *input = Clone(raw);
    packed = AnxKOVRLEFrameLineByLine(input, line.data(), uint16_t(p.width), uint16_t(p.height));
    KOVRLEConvertTableToLineForm(line.data());
    if (packed == nullptr) {
        EXPECT_TRUE(LineRefusalAllowed(p, line));
        EXPECT_EQ(Area(input), area);
        DeleteAnxFrame(input);
        ++lineRefusals;
    } else {
        const Bytes full = Decode(packed, line, ANX_STREAM_LINE_BY_LINE);
        EXPECT_EQ(Unpadded(full, p.width, p.height), Unpadded(area, p.width, p.height));
        CheckScaled(packed, line, full, p.width, p.height, scale, mirror);
        DeleteAnxFrame(packed);
    }
    DeleteAnxFrame(raw);
}

TEST(CodecRoundTrip, RandomPicturesDecodeToThemselves) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;
    std::mt19937 rng(20240611);
    constexpr uint32_t kLimits[] = {KOVRLE_AUTO_LIMIT, 0x1FFFF, 0, 1, 3, 10, 0x7FFF};
    constexpr int kPictures = 200;
    int lineRefusals = 0;
    for (int i = 0; i < kPictures; ++i) {
        // Mostly small; every 4th wide enough for long runs inside rows.
        const auto side = [&](int lo, int span) { return lo + int(rng() % unsigned(span)); };
        int w = side(1, 64), h = side(1, 64);
        if (i < 2)
            w = h = i == 0 ? 1 : 255;
        else if (i % 20 == 0)
            w = side(128, 128), h = side(128, 128);
        else if (i % 4 == 0)
            w = side(100, 156), h = side(1, 24);
        SCOPED_TRACE(testing::Message() << "picture " << i << ": " << w << " x " << h);
        const Picture picture = RandomPicture(rng, w, h);
        CheckRoundTrip(picture, rng() % 8, kLimits[rng() % std::size(kLimits)], lineRefusals,
                       1 + int(rng() % 100), rng() % 2);
        if (HasFatalFailure()) return;
    }
    EXPECT_LT(lineRefusals, kPictures / 5);
}

TEST(CodecRoundTrip, TableWithoutEscapeByteStillDecodes) {
    // Every value present: there is no unused value, so E is 0 and pixel 0
    // travels in escape form.
    Picture p{16, 20, {}};
    for (int i = 0; i < 256; ++i) p.pixels.push_back(uint8_t(i));
    for (int i = 0; i < 64; ++i) p.pixels.push_back(uint8_t(i / 8 % 2 ? 0 : 0x80));
    anim::test::TraceCapture quiet;
    int lineRefusals = 0;
    for (uint32_t reserve : {0u, 3u}) CheckRoundTrip(p, reserve, KOVRLE_AUTO_LIMIT, lineRefusals);
    EXPECT_EQ(lineRefusals, 0);
}

TEST(CodecRoundTrip, ValuesSeenOnlyInLongRunsStayCodable) {
    // Colour 2 fills 150 pixels of every other row and nothing else: counted
    // whole-frame it is unused (a marker byte, coded in escape form);
    // counted row by row it must stay plain, or no line code could name it.
    Picture p{200, 14, {}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.pixels.push_back(y % 2 == 0 && x < 150 ? 2 : (x / 5) % 2 ? 0x40 : 0x41);
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;
    int lineRefusals = 0;
    CheckRoundTrip(p, 0, KOVRLE_AUTO_LIMIT, lineRefusals);
    EXPECT_EQ(lineRefusals, 0);
}

}  // namespace
