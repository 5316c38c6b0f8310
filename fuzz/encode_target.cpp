// The encoders on pictures from anywhere: each stream they write must give
// back the picture it was made from, and each refusal must leave the input
// as it was.
//
//   input := paths(1) width(1) height(1, below 48) reserve(1) limit(1)
//            scale(1) colour(1) rect(4: left top right bottom)
//            pixels(rest, repeated to fill)
//   paths := bit 0 the line-by-line stream (else the whole-frame one),
//            bit 1 the DIB's escape stream (else the frame's), bit 2 line
//            decodes mirrored, bit 3 the DIB's escape stream over whole rows
//            (else over each row's pixels)
//
// Round trips: the whole-frame stream of a two-rectangle frame through a
// table built from the frame's own statistics, decoded with that table in
// header form and in line form; or the line-by-line stream of the picture,
// decoded at full size and at a scale, mirrored or not, against a reference
// resampling, and the number overlay of the picture painted with every
// segment lit; and the single-escape stream of a frame or of a DIB against
// a reference decoder, since the library has none.
//
// One stream kind a run: building a table from statistics costs more than
// the rest of a run together, whatever the picture's size.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "animate.h"
#include "codec/anx_decode.h"
#include "fuzz_support.h"
#include "platform/geometry.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

using Table = std::array<std::uint16_t, KOVRLE_TABLE_ENTRIES>;
using Bytes = std::vector<std::uint8_t>;

// The pixels of a one-rectangle frame start after its header and entry.
constexpr std::uint32_t kFramePixels = dib::kHeaderSize + dib::kEntrySize;
// The number index whose word lights all fourteen segments (88).
constexpr std::int32_t kAllSegments = 88;
constexpr std::uint32_t kFirstEscape = 1;
constexpr std::uint32_t kLastEscape = 254;
constexpr std::int32_t kMaxHeight = 48;

// A table from statistics gathered by update; the counters, cleared by
// KOVRLEStartDecompTable before each use, are one block for the process
// rather than 100 KiB zeroed twice a run.
template <typename Update>
void BuildTable(Table &table, std::uint32_t reserve, std::uint32_t limit, Update update) {
    static std::array<std::uint32_t, KOVRLE_STATISTICS_COUNT> stats;
    KOVRLEStartDecompTable(stats.data());
    update(stats.data());
    KOVRLEFinishDecompTable(stats.data(), table.data(), reserve, limit);
}

// A coded frame decoded into a block of its own, as bytes.
Bytes Decode(codec::DecodeRequest request) {
    request.frameSize = platform::BlockSize(request.frame);
    ANXFRAME *back = codec::Expand(request);
    FUZZ_CHECK(back != nullptr);
    Bytes bytes = BlockBytes(back);
    DeleteAnxFrame(back);
    return bytes;
}

// Positions kept when n positions are scaled to a percentage: an accumulator
// half a step in, every position whose step carries it past n.
std::vector<std::int32_t> KeptPositions(std::int32_t n, std::int32_t scale) {
    const std::int32_t scaled = n * scale / 100;
    std::vector<std::int32_t> kept;
    for (std::int32_t i = 0, acc = n / 2; i < n; ++i) {
        acc += scaled;
        if (acc > n || scaled == n) kept.push_back(i);
        if (acc > n) acc -= n;
    }
    FUZZ_CHECK(static_cast<std::int32_t>(kept.size()) == scaled);
    return kept;
}

// The picture as the fuzzer gave it, as a DIB, and its whole-picture frame.
struct Picture {
    std::int32_t width, height;
    BITMAPINFOHEADER *dib;
    std::int64_t stride = platform::RowStride(width);

    ANXFRAME *Frame() const {
        const RECT whole{0, 0, width - 1, height - 1};
        ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
        FUZZ_CHECK(frame != nullptr);
        return frame;
    }
};

void WholeFrameRoundTrip(const Picture &pic, const RECT &extra, std::uint32_t reserve, std::uint32_t limit) {
    const RECT rects[2] = {{0, 0, pic.width - 1, pic.height - 1}, extra};
    const POINT origin{-7, 3};
    ANXFRAME *frame = CopyDIBToAnxFrame(pic.dib, &origin, rects, 2);
    if (frame == nullptr) frame = CopyDIBToAnxFrame(pic.dib, &origin, rects, 1);
    FUZZ_CHECK(frame != nullptr);
    const ANXFRAME header = dib::LoadHeader(frame);
    const Bytes raw = BlockBytes(frame);
    const auto area =
        static_cast<std::ptrdiff_t>(dib::kHeaderSize + dib::kEntrySize * std::max<std::int16_t>(header.rectCount, 0));
    Table table{};
    BuildTable(table, reserve, limit,
               [&](std::uint32_t *stats) { KOVRLEUpdateDecompTable(raw.data() + area, header.dataSize, stats); });
    ANXFRAME *coded = AnxKOVRLEFrame(frame, table.data());
    if (header.dataSize == 0) {
        FUZZ_CHECK(coded == nullptr && BlockBytes(frame) == raw);
        DeleteAnxFrame(frame);
        return;
    }
    // Nothing but a failed allocation may refuse a raw frame here.
    FUZZ_CHECK(coded != nullptr && dib::LoadHeader(coded).compression == 1 &&
               dib::LoadHeader(coded).dataSize == header.dataSize);
    Table lineForm = table;
    KOVRLEConvertTableToLineForm(lineForm.data());
    for (Table *t : {&table, &lineForm}) {
        const Bytes decoded = Decode({.frame = coded, .overlaySize = 0, .table = t->data()});
        FUZZ_CHECK(std::equal(raw.begin() + area, raw.end(), decoded.begin() + area));
    }
    DeleteAnxFrame(coded);
}

// The line-by-line stream of the picture, decoded at full size and at a
// scale, mirrored or not, against a reference resampling; then the overlay
// of the picture's own segment colours, painted with every segment lit over
// it: pixels of a segment class become the colour, all others keep the
// picture's.
void LineRoundTrip(const Picture &pic, std::uint32_t reserve, std::uint32_t limit, std::int32_t scale, bool mirror,
                   std::uint8_t colour) {
    ANXFRAME *frame = pic.Frame();
    const Bytes raw = BlockBytes(frame);
    auto at = [&](const Bytes &frame, std::int64_t stride, std::int32_t x, std::int32_t y) {
        return frame[kFramePixels + y * stride + x];
    };
    Table table{};
    BuildTable(table, reserve, limit, [&](std::uint32_t *stats) {
        // Line statistics take the rows back to back, without padding.
        Bytes rows;
        for (std::int32_t r = 0; r < pic.height; ++r)
            rows.insert(rows.end(), &raw[kFramePixels + r * pic.stride],
                        &raw[kFramePixels + r * pic.stride + pic.width]);
        KOVRLEUpdateDecompTableLineByLine(rows.data(), static_cast<std::uint32_t>(pic.width),
                                          static_cast<std::uint32_t>(pic.height), stats);
    });
    KOVRLEConvertTableToLineForm(table.data());
    const auto w = static_cast<std::uint16_t>(pic.width);
    const auto h = static_cast<std::uint16_t>(pic.height);
    ANXFRAME *coded = AnxKOVRLEFrameLineByLine(frame, table.data(), w, h);
    // Each overlay code covers 1 to 15 pixels in one byte: every row fits.
    ANXFRAME *overlay = AnxFrameLineByLine(pic.Frame(), nullptr, w, h);
    FUZZ_CHECK(overlay != nullptr);
    if (coded == nullptr) {
        FUZZ_CHECK(BlockBytes(frame) == raw);
        DeleteAnxFrame(frame);
    } else {
        FUZZ_CHECK(dib::LoadHeader(coded).compression == 1);
        std::array<bool, 256> segment{};
        for (std::uint8_t v : kSegmentColours) segment[v] = true;
        for (const auto &[s, m, lit] : {std::tuple{100, false, false}, {scale, mirror, false}, {100, mirror, true}}) {
            const Bytes back = Decode({.frame = coded,
                                       .overlay = lit ? overlay : nullptr,
                                       .overlaySize = lit ? platform::BlockSize(overlay) : 0,
                                       .table = table.data(),
                                       .scale = s,
                                       .numberIndex = lit ? kAllSegments : 0,
                                       .numberColour = lit ? colour : 0u,
                                       .mirror = m,
                                       .streamKind = ANX_STREAM_LINE_BY_LINE});
            const auto cols = KeptPositions(pic.width, s), rows = KeptPositions(pic.height, s);
            const auto outWidth = static_cast<std::int32_t>(cols.size());
            for (std::size_t r = 0; r < rows.size(); ++r)
                for (std::int32_t x = 0; x < outWidth; ++x) {
                    const std::size_t col = static_cast<std::size_t>(m ? outWidth - 1 - x : x);
                    const std::uint8_t v = at(raw, pic.stride, cols[col], rows[r]);
                    FUZZ_CHECK(at(back, platform::RowStride(outWidth), x, r) == (lit && segment[v] ? colour : v));
                }
        }
        DeleteAnxFrame(coded);
    }
    DeleteAnxFrame(overlay);
}

// The single-escape stream of a frame, or of a DIB over whole rows or over
// each row's pixels, against a reference decoder, since the library has
// none: X value length for runs of 3 or more, bytes otherwise. Only a
// stream that uses every escape value can be refused, which leaves the
// input as it was; the encoder takes in what it codes.
void EscapeRoundTrip(const Picture &pic, bool ofDib, bool contiguous) {
    BITMAPINFOHEADER *dib = ofDib ? CopyDIB(pic.dib) : nullptr;
    ANXFRAME *frame = ofDib ? nullptr : pic.Frame();
    const void *in = ofDib ? static_cast<const void *>(dib) : frame;
    FUZZ_CHECK(in != nullptr);
    const Bytes before = BlockBytes(in);
    Bytes coded(before.begin() + kFramePixels, before.end());  // what the encoder is to code
    if (ofDib) {
        coded.clear();
        for (std::int32_t r = 0; r < pic.height; ++r) {
            const auto *row = before.data() + dib::kPixelOffset + r * pic.stride;
            coded.insert(coded.end(), row, row + (contiguous ? pic.stride : pic.width));
        }
    }
    void *out = ofDib ? static_cast<void *>(CompressPDIB(dib, contiguous ? 1 : 0))
                      : static_cast<void *>(CompressAnxFrame(frame));
    if (out == nullptr) {
        std::array<bool, 256> seen{};
        for (std::uint8_t b : coded) seen[b] = true;
        FUZZ_CHECK(std::all_of(&seen[kFirstEscape], &seen[kLastEscape + 1], std::identity{}));
        FUZZ_CHECK(BlockBytes(in) == before);
        ofDib ? DeleteDIB(dib) : DeleteAnxFrame(frame);
        return;
    }
    const std::uint32_t escape =
        ofDib ? static_cast<BITMAPINFOHEADER *>(out)->biCompression & 0xFF : dib::LoadHeader(out).compression;
    FUZZ_CHECK(escape >= kFirstEscape && escape <= kLastEscape);
    const Bytes stream = BlockBytes(out);
    Bytes plain;
    for (std::size_t i = ofDib ? dib::kPixelOffset : kFramePixels; i < stream.size(); ++i) {
        if (stream[i] != escape) {
            plain.push_back(stream[i]);
            continue;
        }
        FUZZ_CHECK(i + 2 < stream.size());
        plain.insert(plain.end(), stream[i + 2], stream[i + 1]);
        i += 2;
    }
    FUZZ_CHECK(plain == coded);
    if (ofDib) FUZZ_CHECK(std::memcmp(out, before.data(), 16) == 0);
    ofDib ? DeleteDIB(static_cast<BITMAPINFOHEADER *>(out)) : DeleteAnxFrame(static_cast<ANXFRAME *>(out));
}

}  // namespace

int EncodeTarget(const std::uint8_t *data, std::size_t size) {
    Input in({data, size});
    const std::uint8_t paths = in.Byte();
    const std::int32_t width = in.Byte();
    // Rows add little the first rows do not already reach; fewer of them
    // keep each run quick.
    const std::int32_t height = in.Byte() % kMaxHeight;
    const std::uint32_t reserve = in.Byte();
    const std::uint8_t limitByte = in.Byte();
    const std::uint32_t limit = limitByte >= 128 ? KOVRLE_AUTO_LIMIT : limitByte;
    const std::int32_t scale = 1 + in.Byte() % 100;
    const auto colour = static_cast<std::uint8_t>(1 + in.Byte() % 255);
    const RECT extra{in.Byte(), in.Byte(), in.Byte(), in.Byte()};
    const auto pixels = in.Rest();
    if (width == 0 || height == 0) return 0;

    BlockBalance balance;
    std::size_t next = 0;
    const Picture pic{width, height, FilledDib(width, height, [&](std::int32_t, std::int32_t) {
                          return pixels.empty() ? 0 : pixels[next++ % pixels.size()];
                      })};
    if ((paths & 1) != 0) {
        LineRoundTrip(pic, reserve, limit, scale, (paths & 4) != 0, colour);
    } else {
        WholeFrameRoundTrip(pic, extra, reserve, limit);
    }
    EscapeRoundTrip(pic, (paths & 2) != 0, (paths & 8) != 0);
    DeleteDIB(pic.dib);
    return 0;
}

}  // namespace anim::fuzz
