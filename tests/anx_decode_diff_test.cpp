// The decoder against the one it replaced, kept as the reference: the same
// result, the same refusals and the same bytes everywhere in the output
// block (pad bytes and rows that a stream does not reach included), and the
// table as it was, on thousands of random frames. Frames and overlays are
// exact-size blocks, so that a read past either trips the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "animate.h"
#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "platform/platform.h"
#include "test_support.h"
#include "tests/reference/anx_decode_reference.h"

namespace {

using namespace anim::codec;
using namespace anim::dib;
using anim::platform::RowStride;
using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;

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
// repeating the row's last pixel), placed at (left, top).
ANXFRAME *RawFrame(Rng &rng, int w, int h, const Bytes &palette, int16_t left, int16_t top) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int y = 0; y < h; ++y) {
        uint8_t *row = GetDIBPixelAddress(dib, 0, y);
        for (int x = 0; x < w; ++x)
            row[x] = x > 0 && rng(3) != 0 ? row[x - 1] : palette[rng(uint32_t(palette.size()))];
    }
    const POINT origin{left, top};
    const RECT all{0, 0, w - 1, h - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, &origin, &all, 1);
    DeleteDIB(dib);
    return frame;
}

// A table over the unused values of palette: escape byte, markers of every
// kind, plain entries in line form or header form.
Table RandomTable(Rng &rng, const Bytes &palette, bool lineForm) {
    Bytes unused;
    for (int v = 1; v < 256; ++v)
        if (std::find(palette.begin(), palette.end(), uint8_t(v)) == palette.end())
            unused.push_back(uint8_t(v));
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

// The second team's table: low bytes in a range moved by an offset.
void Recolour(Rng &rng, Table &t) {
    const uint32_t first = rng(256), count = rng(64), offset = rng(256);
    for (uint16_t &e : t)
        if ((e & 0xFFu) - first < count) e = uint16_t((e & 0xFF00u) | ((e + offset) & 0xFFu));
}

struct Case {
    Bytes frame, overlay;
    Table table{};
    anim::codec::DecodeRequest request;
    bool callerBuffer = true;
    uint32_t slack = 0;  // caller's buffer beyond the needed size (may be short)
};

// Spoils a stream: cut short, bytes changed, or a tail of noise.
void Spoil(Rng &rng, Bytes &block, size_t streamStart) {
    if (block.size() <= streamStart) return;
    const size_t streamLength = block.size() - streamStart;
    switch (rng(3)) {
        case 0:
            block.resize(streamStart + rng(uint32_t(streamLength)));
            break;
        case 1:
            for (uint32_t i = 0, n = 1 + rng(4); i < n; ++i)
                block[streamStart + rng(uint32_t(streamLength))] = uint8_t(rng(256));
            break;
        default:
            for (size_t i = streamStart + rng(uint32_t(streamLength)); i < block.size(); ++i)
                block[i] = uint8_t(rng(256));
    }
}

// A frame whose stream is noise, for pictures the encoder refused.
Bytes NoiseFrame(Rng &rng, int w, int h, int16_t left, int16_t top) {
    Bytes f(40 + rng(400));
    for (uint8_t &b : f) b = uint8_t(rng(256));
    const ANXRECT rect{left, top, int16_t(left + w - 1), int16_t(top + h - 1)};
    StoreHeader(f.data(), {4, 32, 1, uint32_t(RowStride(w) * h), 1, 0, rect, 0, 0, 0, 0, 0, 0});
    StoreEntry(f.data(), 0, {0, 0, int16_t(w - 1), int16_t(h - 1)});
    return f;
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

// A number overlay of random segment art somewhere about the frame's
// rectangle; empty when the encoder refuses it.
Bytes RandomOverlay(Rng &rng, const ANXRECT &near) {
    const Bytes classes = {0, 0, 1, 4, 9, 246, 250, 7};
    const int ow = 1 + int(rng(30)), oh = 1 + int(rng(20));
    const int w = Width(near), h = Height(near);
    ANXFRAME *art = RawFrame(rng, ow, oh, classes, int16_t(near.left + int(rng(w + 20)) - 10),
                             int16_t(near.top + int(rng(h + 20)) - 10));
    ANXFRAME *overlay = AnxFrameLineByLine(art, nullptr, uint16_t(ow), uint16_t(oh));
    if (overlay == nullptr) DeleteAnxFrame(art);
    return Block(overlay);
}

Case MakeCase(Rng &rng) {
    Case c;
    const bool lines = !rng.Chance(4);
    const bool wide = rng.Chance(25);
    const int w = 1 + int(rng(wide ? 255 : 70)), h = 1 + int(rng(wide ? 255 : 70));
    Bytes palette(1 + rng(rng.Chance(2) ? 6 : 60));
    for (uint8_t &v : palette) v = uint8_t(rng(256));
    const int16_t left = int16_t(int(rng(200)) - 100), top = int16_t(int(rng(200)) - 100);
    c.table = RandomTable(rng, palette, lines || rng.Chance(2));
    ANXFRAME *raw = RawFrame(rng, w, h, palette, left, top);
    ANXFRAME *packed = lines
                           ? AnxKOVRLEFrameLineByLine(raw, c.table.data(), uint16_t(w), uint16_t(h))
                           : AnxKOVRLEFrame(raw, c.table.data());
    if (packed == nullptr) DeleteAnxFrame(raw);  // refused: the input is still ours
    c.frame = packed != nullptr ? Block(packed) : NoiseFrame(rng, w, h, left, top);
    if (rng.Chance(2)) c.overlay = RandomOverlay(rng, LoadHeader(c.frame.data()).rect);

    // A recoloured escape byte or count mark makes a sound stream unsound.
    const bool recoloured = lines && rng.Chance(3);
    if (recoloured) Recolour(rng, c.table);
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
    const bool sound =
        packed != nullptr && !malformed && !recoloured && !spoiltOverlay && r.streamKind == kind;
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
    ANXFRAME header;
    std::memcpy(&header, c.frame.data(), sizeof header);
    const uint32_t needed =
        32 + 8 * uint32_t(std::max<int16_t>(header.rectCount, 0)) + header.dataSize;
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

TEST(AnxDecodeDifferential, MatchesTheReferenceByteForByte) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;
    Rng rng{std::mt19937(20240917)};
    constexpr int kCases = 4000;
    int decoded = 0;
    for (int i = 0; i < kCases; ++i) {
        const Case c = MakeCase(rng);
        const auto fill = uint8_t(rng(256));
        const Outcome want = Decode(c, reference::Expand, fill);
        const Outcome got = Decode(c, Expand, fill);
        ASSERT_EQ(got.refused, want.refused) << "case " << i;
        ASSERT_EQ(got.block.size(), want.block.size()) << "case " << i;
        const auto diff = std::mismatch(got.block.begin(), got.block.end(), want.block.begin());
        ASSERT_TRUE(diff.first == got.block.end())
            << "case " << i << ": byte " << diff.first - got.block.begin() << " of "
            << got.block.size() << " is " << int(*diff.first) << ", not " << int(*diff.second)
            << " (scale " << c.request.scale << ", mirror " << c.request.mirror << ", kind "
            << c.request.streamKind << ")";
        ASSERT_EQ(got.table, want.table) << "case " << i;
        decoded += got.refused ? 0 : 1;
    }
    EXPECT_GT(decoded, kCases * 3 / 4);
}

}  // namespace
