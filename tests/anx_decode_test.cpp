// The decoder against the one it replaced, kept as the reference: the same
// result, the same refusals and the same bytes everywhere in the output
// block (pad bytes and rows that a stream does not reach included), and the
// table as it was, on thousands of random frames. Frames and overlays are
// exact-size blocks, so that a read past either trips the sanitizers. The
// step tables both decoders share, and the export's own refusals, are pinned
// down separately.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "animate.h"
#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "codec/step_table.h"
#include "platform/platform.h"
#include "test_support.h"
#include "tests/reference/anx_decode_reference.h"

namespace {

using namespace anim::codec;
using namespace anim::dib;
using anim::platform::RowStride;
using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;

TEST(AnxDecodeStepTable, WorkedExamplesAndWideSides) {
    StepTable t;
    struct Example { int n, scale, kept; Bytes head; };
    for (const Example &e : {Example{10, 100, 10, {10, 0, 0}}, Example{10, 50, 5, {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}},
                             Example{12, 75, 9, {1, 1, 3, 1, 3, 1, 2, 0, 0}}, Example{1, 100, 1, {1, 0, 0}}}) {
        EXPECT_EQ(BuildStepTable(e.n, e.scale, t), e.kept);
        EXPECT_EQ(Bytes(t.begin(), t.begin() + e.head.size()), e.head) << e.n << "@" << e.scale;
    }
    // Sides near 255 need more than 256 bytes at some scales; all fit.
    for (int n : {1, 2, 3, 200, 201, 254, 255}) {
        for (int scale = 1; scale <= 100; ++scale) {
            ASSERT_EQ(BuildStepTable(n, scale, t), n * scale / 100);
            int total = 0;
            for (size_t i = 0; t[i] != 0 || t[i + 1] != 0 || i == 0; ++i) total += t[i];
            ASSERT_EQ(total, n) << n << "@" << scale;
        }
    }
}

TEST(AnxDecodeStepTableDeathTest, CountOf256Asserts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StepTable t;
    EXPECT_DEATH(BuildStepTable(256, 100, t), "Assertion failed: DIB");
}

Bytes Frame(ANXRECT rect, uint32_t dataSize, const Bytes &stream, uint16_t compression = 1, int16_t rectCount = 1) {
    // Sized once and filled in place: growing it with insert trips GCC 12's
    // array-bounds check at -O3.
    Bytes f(32 + 8 * rectCount + stream.size());
    StoreHeader(f.data(), {4, 32, rectCount, dataSize, compression, 0, rect, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < rectCount; ++i)
        StoreEntry(f.data(), i, {0, 0, int16_t(Width(rect) - 1), int16_t(Height(rect) - 1)});
    std::copy(stream.begin(), stream.end(), f.end() - std::ptrdiff_t(stream.size()));
    return f;
}
Bytes Frame(int w, int h, const Bytes &stream) {
    return Frame({0, 0, int16_t(w - 1), int16_t(h - 1)}, uint32_t(RowStride(w) * h), stream);
}
ANXFRAME *Export(const Bytes &f, uint16_t *table, Bytes *out, uint32_t size, int scale, int kind,
                 const Bytes *overlay = nullptr) {
    return AnxUnKOVRLEFrame(reinterpret_cast<const ANXFRAME *>(f.data()),
                            overlay ? reinterpret_cast<const ANXFRAME *>(overlay->data()) : nullptr, table,
                            out ? reinterpret_cast<ANXFRAME *>(out->data()) : nullptr, size, scale, 0, 9, 1, kind);
}

TEST(AnxDecode, RawRepeatAndRefusedFrames) {
    anim::test::LeakCheck leaks;
    constexpr uint8_t kE = 5;
    Table t;
    for (int b = 0; b < 256; ++b) t[b] = uint16_t(b ? 0x100 | b : kE);
    // Raw frames are copied whatever the scale, mirror or overlay; a delta
    // key colour rides in the high half.
    Bytes raw = Frame({3, 4, 6, 5}, 8, {1, 2, 3, 4, 4, 4, 4, 4}, 0);
    raw[10] = 0x7A;
    const Bytes overlay = Frame(2, 1, {0x21, 0x21});
    for (int scale : {100, 37}) {
        Bytes out(raw.size());
        ASSERT_NE(Export(raw, t.data(), &out, uint32_t(out.size()), scale, 2, &overlay), nullptr);
        EXPECT_EQ(out, raw);
    }
    // A repeat frame has no entries: a header alone comes back.
    Bytes repeat = Frame({0, 0, 9, 9}, 0, {}, 0x0101, 0);
    repeat[10] = 0x7A;
    repeat[30] = 7;
    ANXFRAME *header = Export(repeat, t.data(), nullptr, 0, 50, 2);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(anim::platform::BlockSize(header), 32u);
    repeat[8] = repeat[9] = 0;
    EXPECT_EQ(std::memcmp(header, repeat.data(), 32), 0);
    DeleteAnxFrame(header);

    // Refusals leave the caller's buffer as it was.
    Bytes rows;
    for (int r = 0; r < 4; ++r) rows.insert(rows.end(), {4, kE, 10, 1});
    const Bytes line = Frame(10, 4, rows);
    Bytes negative = line;
    negative[3] = 0xFF;
    const uint32_t needed = 32 + 8 + 48;
    struct Refusal { const char *name; const Bytes &frame; uint32_t size; int scale; uint16_t *table; bool refused; };
    const Refusal cases[] = {
        {"buffer one short", line, needed - 1, 50, t.data(), true},  {"buffer exact", line, needed, 50, t.data(), false},
        {"scale 0", line, needed, 0, t.data(), true},                {"scale 101", line, needed, 101, t.data(), true},
        {"no table", line, needed, 100, nullptr, true},              {"negative count", negative, 4096, 100, t.data(), true},
        {"line of 256", Frame(256, 1, {}), 2000, 100, t.data(), true}, {"256 high", Frame(1, 256, {}), 2000, 100, t.data(), true},
        {"width 0", Frame({0, 0, -1, 3}, 0, {}), 40, 100, t.data(), false},
        {"height 0", Frame({0, 0, 9, -1}, 0, {}), 40, 100, t.data(), false},
    };
    for (const Refusal &c : cases) {
        Bytes out(c.frame.size() + 64, 0xCD);
        const bool refused = Export(c.frame, c.table, &out, c.size, c.scale, 2) == nullptr;
        EXPECT_EQ(refused, c.refused) << c.name;
        EXPECT_TRUE(!refused || out == Bytes(c.frame.size() + 64, 0xCD)) << c.name;
    }
    EXPECT_EQ(AnxUnKOVRLEFrame(nullptr, nullptr, t.data(), nullptr, 0, 100, 0, 0, 0, 1), nullptr);
    // Whole-frame streams need no step table, so wide pictures expand.
    const Bytes wide = Frame(300, 2, {kE, 255, 7, kE, 255, 7, kE, 90, 7});
    Bytes out(32 + 8 + 600);
    ASSERT_NE(Export(wide, t.data(), &out, uint32_t(out.size()), 100, 1), nullptr);
    EXPECT_EQ(Bytes(out.begin() + 40, out.end()), Bytes(600, 7));
}

struct Rng {
    std::mt19937 gen;
    uint32_t operator()(uint32_t bound) { return gen() % bound; }
    bool Chance(uint32_t inN) { return gen() % inN == 0; }
};

Bytes Block(ANXFRAME *frame) {
    if (frame == nullptr) return {};
    const auto *bytes = reinterpret_cast<const uint8_t *>(frame);
    Bytes copy(bytes, bytes + anim::platform::BlockSize(frame));
    DeleteAnxFrame(frame);
    return copy;
}

// A raw one-rectangle frame of w x h pixels (rows as stored, pad bytes
// repeating the row's last pixel), placed at (left, top); some rows all
// longValue when it is given.
ANXFRAME *RawFrame(Rng &rng, int w, int h, const Bytes &palette, int16_t left, int16_t top, int longValue = -1) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int y = 0; y < h; ++y) {
        uint8_t *row = GetDIBPixelAddress(dib, 0, y);
        for (int x = 0; x < w; ++x)
            row[x] = x > 0 && rng(3) != 0 ? row[x - 1] : palette[rng(uint32_t(palette.size()))];
        if (longValue >= 0 && rng.Chance(3)) std::memset(row, longValue, size_t(w));
    }
    const POINT origin{left, top};
    const RECT all{0, 0, w - 1, h - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, &origin, &all, 1);
    DeleteDIB(dib);
    return frame;
}

// The table the tools make from a picture's own statistics, row by row for
// line streams.
Table OwnTable(Rng &rng, const Bytes &raw, bool lines) {
    constexpr uint32_t kLimits[] = {KOVRLE_AUTO_LIMIT, 0x1FFFF, 0, 1, 3, 10, 0x7FFF};
    const ANXFRAME h = LoadHeader(raw.data());
    const int w = Width(h.rect), stride = RowStride(w);
    std::vector<uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    if (!lines) KOVRLEUpdateDecompTable(raw.data() + 40, h.dataSize, stats.data());
    for (int y = 0; lines && y < Height(h.rect); ++y)
        KOVRLEUpdateDecompTableLineByLine(raw.data() + 40 + stride * y, uint32_t(w), 1, stats.data());
    Table t;
    KOVRLEFinishDecompTable(stats.data(), t.data(), rng(8), kLimits[rng(7)]);
    return t;
}

// A table over the unused values of palette: escape byte, markers of every
// kind, plain entries in line form or header form.
Table RandomTable(Rng &rng, const Bytes &palette, bool lineForm) {
    Bytes unused;
    for (int v = 1; v < 256; ++v)
        if (std::find(palette.begin(), palette.end(), uint8_t(v)) == palette.end()) unused.push_back(uint8_t(v));
    std::shuffle(unused.begin(), unused.end(), rng.gen);
    const uint8_t escape = unused.back(), countMark = rng.Chance(3) ? uint8_t(2 + rng(98)) : 0;
    unused.pop_back();
    Table t;
    t[0] = uint16_t(countMark << 8 | escape);
    for (int b = 1; b < 256; ++b) t[b] = lineForm ? uint16_t(0x100 | b) : t[0];
    const size_t markers = std::min<size_t>(unused.size(), rng(40));
    for (size_t i = 0; i < markers; ++i) {
        const uint8_t colour = palette[rng(uint32_t(palette.size()))];
        const uint8_t length = uint8_t(2 + rng(98));
        const uint32_t kind = rng(3);
        t[unused[i]] = kind == 0   ? uint16_t(countMark << 8 | colour)
                       : kind == 1 ? uint16_t(length << 8 | escape)
                                   : uint16_t(length << 8 | colour);
    }
    return t;
}

// Spoils a stream: cut short, bytes changed, or a tail of noise.
void Spoil(Rng &rng, Bytes &block, size_t streamStart) {
    if (block.size() <= streamStart) return;
    const size_t streamLength = block.size() - streamStart;
    switch (rng(3)) {
        case 0: block.resize(streamStart + rng(uint32_t(streamLength))); break;
        case 1:
            for (uint32_t i = 0, n = 1 + rng(4); i < n; ++i)
                block[streamStart + rng(uint32_t(streamLength))] = uint8_t(rng(256));
            break;
        default:
            for (size_t i = streamStart + rng(uint32_t(streamLength)); i < block.size(); ++i) block[i] = uint8_t(rng(256));
    }
}

// A header that disagrees with its stream: a short data size, another size
// of picture, another count of entries.
void SpoilHeader(Rng &rng, Bytes &frame) {
    ANXFRAME h = LoadHeader(frame.data());
    h.dataSize = rng(h.dataSize + 1);
    if (rng.Chance(3)) h.rect.right = int16_t(h.rect.left + int(rng(300)) - 20);
    if (rng.Chance(3)) h.rect.bottom = int16_t(h.rect.top + int(rng(300)) - 20);
    if (rng.Chance(8)) h.rectCount = int16_t(int(rng(4)) - 1);
    StoreHeader(frame.data(), h);
}

struct Case {
    Bytes frame, overlay;
    Table table{};
    DecodeRequest request;
    bool callerBuffer = true;
    uint32_t slack = 0;  // caller's buffer beyond the needed size (may be short)
};

// Cases with the picture's own table also check that the encoders' frames
// decode back to their pictures; line encodes may refuse a few.
struct Tally {
    int ownLines = 0, lineRefusals = 0;
};

Case MakeCase(Rng &rng, Tally &tally) {
    Case c;
    const bool lines = !rng.Chance(4), own = rng.Chance(4);
    const bool wide = rng.Chance(25);
    const int w = 1 + int(rng(wide ? 255 : 70)), h = 1 + int(rng(wide ? 255 : 70));
    Bytes palette(1 + rng(rng.Chance(2) ? 6 : 60));
    for (uint8_t &v : palette) v = uint8_t(rng(256));
    const int16_t left = int16_t(int(rng(200)) - 100), top = int16_t(int(rng(200)) - 100);
    // Values seen only in long runs, often low ones, become the escape byte or markers.
    ANXFRAME *raw = RawFrame(rng, w, h, palette, left, top, own && rng.Chance(2) ? int(rng(13)) : -1);
    const Bytes picture(reinterpret_cast<uint8_t *>(raw), reinterpret_cast<uint8_t *>(raw) + anim::platform::BlockSize(raw));
    c.table = own ? OwnTable(rng, picture, lines) : RandomTable(rng, palette, lines || rng.Chance(2));
    ANXFRAME *packed = lines ? AnxKOVRLEFrameLineByLine(raw, c.table.data(), uint16_t(w), uint16_t(h))
                             : AnxKOVRLEFrame(raw, c.table.data());
    if (packed == nullptr) {  // refused: the input is still ours, and the stream becomes noise
        EXPECT_TRUE(lines || !own);
        tally.lineRefusals += own;
        DeleteAnxFrame(raw);
        Bytes noise(rng(400));
        for (uint8_t &b : noise) b = uint8_t(rng(256));
        c.frame = Frame({left, top, int16_t(left + w - 1), int16_t(top + h - 1)}, uint32_t(RowStride(w) * h), noise);
    } else {
        c.frame = Block(packed);
    }
    if (own && (lines || rng.Chance(2))) KOVRLEConvertTableToLineForm(c.table.data());
    if (own && packed != nullptr) {
        tally.ownLines += lines;
        const int kind = lines ? ANX_STREAM_LINE_BY_LINE : ANX_STREAM_WHOLE_FRAME;
        const Bytes back = Block(AnxUnKOVRLEFrame(reinterpret_cast<const ANXFRAME *>(c.frame.data()), nullptr,
                                                  c.table.data(), nullptr, 0, 100, 0, 0, 0, kind));
        EXPECT_EQ(back.size(), picture.size());
        for (int y = 0, stride = RowStride(w); y < h && back.size() == picture.size(); ++y)
            EXPECT_TRUE(std::equal(back.begin() + 40 + stride * y, back.begin() + 40 + stride * y + (lines ? w : stride),
                                   picture.begin() + 40 + stride * y)) << "row " << y << " of " << w << " x " << h;
    }
    if (rng.Chance(2)) {  // a number overlay of random segment art about the frame
        const Bytes classes = {0, 0, 1, 4, 9, 246, 250, 7};
        const int ow = 1 + int(rng(30)), oh = 1 + int(rng(20));
        const ANXRECT near = LoadHeader(c.frame.data()).rect;
        ANXFRAME *art = RawFrame(rng, ow, oh, classes, int16_t(near.left + int(rng(Width(near) + 20)) - 10),
                                 int16_t(near.top + int(rng(Height(near) + 20)) - 10));
        ANXFRAME *overlay = AnxFrameLineByLine(art, nullptr, uint16_t(ow), uint16_t(oh));
        if (overlay == nullptr) DeleteAnxFrame(art);
        c.overlay = Block(overlay);
    }

    // A recoloured escape byte or count mark makes a sound stream unsound:
    // the second team's table has low bytes in a range moved by an offset.
    const bool recoloured = lines && rng.Chance(3);
    if (recoloured) {
        const uint32_t first = rng(256), count = rng(64), offset = rng(256);
        for (uint16_t &e : c.table)
            if ((e & 0xFFu) - first < count) e = uint16_t((e & 0xFF00u) | ((e + offset) & 0xFFu));
    }
    const bool malformed = rng.Chance(3);
    if (malformed) Spoil(rng, c.frame, 40);
    if (malformed && rng.Chance(3)) SpoilHeader(rng, c.frame);
    if (malformed && rng.Chance(4))
        for (uint16_t &e : c.table) e = uint16_t(rng(65536));
    const bool spoiltOverlay = !c.overlay.empty() && rng.Chance(5);
    if (spoiltOverlay) Spoil(rng, c.overlay, 40);

    DecodeRequest &r = c.request;
    const int kind = lines ? ANX_STREAM_LINE_BY_LINE : ANX_STREAM_WHOLE_FRAME;
    r.streamKind = rng.Chance(30) ? int(rng(4)) : kind;
    r.scale = rng.Chance(30) ? int(rng(120)) - 10 : rng.Chance(3) ? 100 : 1 + int(rng(100));
    r.numberIndex = int(rng(204)) - 2;
    r.numberColour = rng(256);
    r.mirror = rng.Chance(2);
    // Unbounded, as from the export, only where the streams are sound and
    // read as what they are: any other may lead the reads anywhere.
    const bool sound = packed != nullptr && !malformed && !recoloured && !spoiltOverlay && r.streamKind == kind;
    const bool bounded = !sound || rng.Chance(2);
    r.frameSize = bounded ? c.frame.size() : kUnboundedSize;
    r.overlaySize = c.overlay.empty() || bounded ? c.overlay.size() : kUnboundedSize;
    c.callerBuffer = !rng.Chance(8);
    c.slack = rng.Chance(10) ? uint32_t(-int(rng(3))) : rng(8);
    return c;
}

// Runs one decoder on its own copies of the case's inputs.
struct Outcome {
    bool refused;
    Bytes block;  // the caller's buffer with its guards, or the new block
    Table table;
};

template <typename Expander>
Outcome Decode(const Case &c, Expander expand, uint8_t fill) {
    constexpr size_t kGuard = 64;
    Outcome o{false, {}, c.table};
    DecodeRequest r = c.request;
    r.frame = c.frame.data();
    r.overlay = c.overlay.empty() ? nullptr : c.overlay.data();
    r.table = o.table.data();
    const ANXFRAME header = LoadHeader(c.frame.data());
    const uint32_t needed = 32 + 8 * uint32_t(std::max<int16_t>(header.rectCount, 0)) + header.dataSize;
    if (c.callerBuffer) {
        o.block.assign(kGuard + std::min<uint32_t>(needed + c.slack, 1 << 20) + kGuard, fill);
        r.buffer = o.block.data() + kGuard;
        r.bufferSize = uint32_t(o.block.size() - 2 * kGuard);
    }
    ANXFRAME *result = expand(r);
    o.refused = result == nullptr;
    if (!c.callerBuffer) {
        o.block = Block(result);
    } else if (result != nullptr) {
        EXPECT_EQ(static_cast<void *>(result), r.buffer);
    }
    return o;
}

// Unbounded requests go through the export, so that it passes on every argument.
ANXFRAME *ExpandOrExport(const DecodeRequest &r) {
    if (r.frameSize != kUnboundedSize) return Expand(r);
    return AnxUnKOVRLEFrame(static_cast<const ANXFRAME *>(r.frame), static_cast<const ANXFRAME *>(r.overlay), r.table,
                            static_cast<ANXFRAME *>(r.buffer), r.bufferSize, r.scale, r.numberIndex, r.numberColour,
                            r.mirror ? 7 : 0, r.streamKind);
}

TEST(AnxDecodeDifferential, MatchesTheReferenceByteForByte) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;
    Rng rng{std::mt19937(20240917)};
    constexpr int kCases = 3600;
    int decoded = 0;
    Tally tally;
    for (int i = 0; i < kCases; ++i) {
        const Case c = MakeCase(rng, tally);
        if (HasFailure()) FAIL() << "case " << i;
        const auto fill = uint8_t(rng(256));
        const Outcome want = Decode(c, reference::Expand, fill);
        const Outcome got = Decode(c, ExpandOrExport, fill);
        ASSERT_EQ(got.refused, want.refused) << "case " << i;
        ASSERT_EQ(got.block.size(), want.block.size()) << "case " << i;
        const auto diff = std::mismatch(got.block.begin(), got.block.end(), want.block.begin());
        ASSERT_TRUE(diff.first == got.block.end())
            << "case " << i << ": byte " << diff.first - got.block.begin() << " of " << got.block.size() << " is "
            << int(*diff.first) << ", not " << int(*diff.second) << " (scale " << c.request.scale << ", mirror "
            << c.request.mirror << ", kind " << c.request.streamKind << ")";
        ASSERT_EQ(got.table, want.table) << "case " << i;
        decoded += got.refused ? 0 : 1;
    }
    EXPECT_GT(decoded, kCases * 3 / 4);
    EXPECT_LT(tally.lineRefusals, tally.ownLines / 5);
}

}  // namespace
