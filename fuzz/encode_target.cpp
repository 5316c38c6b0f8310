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
#include <vector>

#include "animate.h"
#include "platform/geometry.h"
#include "codec/anx_decode.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

using Table = std::array<std::uint16_t, KOVRLE_TABLE_ENTRIES>;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kHeaderSize = 32;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kPixelOffset = 1064;
// The number index whose word lights all fourteen segments (88).
constexpr std::int32_t kAllSegments = 88;
constexpr std::uint32_t kFirstEscape = 1;
constexpr std::uint32_t kLastEscape = 254;
constexpr std::int32_t kMaxHeight = 48;


// Statistics counters, cleared by KOVRLEStartDecompTable before each use:
// one block for the process rather than 100 KiB zeroed twice a run.
std::uint32_t *Statistics() {
    static std::array<std::uint32_t, KOVRLE_STATISTICS_COUNT> counters;
    return counters.data();
}

const std::uint8_t *BytesOf(const void *block) { return static_cast<const std::uint8_t *>(block); }

Bytes BlockCopy(const void *block) {
    return Bytes(BytesOf(block), BytesOf(block) + platform::BlockSize(block));
}

ANXFRAME Header(const void *frame) {
    ANXFRAME h;
    std::memcpy(&h, frame, sizeof h);
    return h;
}

std::uint32_t AreaOffset(const ANXFRAME &h) {
    return kHeaderSize + kEntrySize * static_cast<std::uint32_t>(std::max<std::int16_t>(h.rectCount, 0));
}

// Positions kept when n positions are scaled to a percentage: an accumulator
// half a step in, every position whose step carries it past n.
std::vector<std::int32_t> KeptPositions(std::int32_t n, std::int32_t scale) {
    const std::int32_t scaled = n * scale / 100;
    std::vector<std::int32_t> kept;
    std::int32_t acc = n / 2;
    for (std::int32_t i = 0; i < n; ++i) {
        acc += scaled;
        if (acc > n || scaled == n) kept.push_back(i);
        if (acc > n) acc -= n;
    }
    FUZZ_CHECK(static_cast<std::int32_t>(kept.size()) == scaled);
    return kept;
}

ANXFRAME *Decode(const ANXFRAME *frame, const ANXFRAME *overlay, Table &table, std::int32_t scale,
                 bool mirror, std::int32_t kind, std::int32_t number = 0, std::uint32_t colour = 0) {
    codec::DecodeRequest request;
    request.frame = frame;
    request.frameSize = platform::BlockSize(frame);
    request.overlay = overlay;
    request.overlaySize = overlay != nullptr ? platform::BlockSize(overlay) : 0;
    request.table = table.data();
    request.scale = scale;
    request.mirror = mirror;
    request.streamKind = kind;
    request.numberIndex = number;
    request.numberColour = colour;
    return codec::Expand(request);
}

// The picture as the fuzzer gave it, as a DIB.
struct Picture {
    std::int32_t width;
    std::int32_t height;
    BITMAPINFOHEADER *dib;
};

// Single-escape stream: X value length for runs of 3 or more, bytes
// otherwise.
Bytes UnEscape(std::span<const std::uint8_t> stream, std::uint8_t escape) {
    Bytes out;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (stream[i] != escape) {
            out.push_back(stream[i]);
            continue;
        }
        FUZZ_CHECK(i + 2 < stream.size());
        out.insert(out.end(), stream[i + 2], stream[i + 1]);
        i += 2;
    }
    return out;
}

bool HasEveryEscape(std::span<const std::uint8_t> coded) {
    std::array<bool, 256> seen{};
    for (std::uint8_t b : coded) seen[b] = true;
    for (std::uint32_t v = kFirstEscape; v <= kLastEscape; ++v) {
        if (!seen[v]) return false;
    }
    return true;
}

void WholeFrameRoundTrip(const Picture &pic, const RECT &extra, std::uint32_t reserve,
                         std::uint32_t limit) {
    const RECT rects[2] = {{0, 0, pic.width - 1, pic.height - 1}, extra};
    const POINT origin{-7, 3};
    ANXFRAME *frame = CopyDIBToAnxFrame(pic.dib, &origin, rects, 2);
    if (frame == nullptr) frame = CopyDIBToAnxFrame(pic.dib, &origin, rects, 1);
    FUZZ_CHECK(frame != nullptr);
    const ANXFRAME header = Header(frame);
    const Bytes raw = BlockCopy(frame);

    std::uint32_t *stats = Statistics();
    Table table{};
    KOVRLEStartDecompTable(stats);
    KOVRLEUpdateDecompTable(raw.data() + AreaOffset(header), header.dataSize, stats);
    KOVRLEFinishDecompTable(stats, table.data(), reserve, limit);

    ANXFRAME *coded = AnxKOVRLEFrame(frame, table.data());
    if (header.dataSize == 0) {
        FUZZ_CHECK(coded == nullptr);
        FUZZ_CHECK(BlockCopy(frame) == raw);
        DeleteAnxFrame(frame);
        return;
    }
    // Nothing but a failed allocation may refuse a raw frame here.
    FUZZ_CHECK(coded != nullptr);
    FUZZ_CHECK(Header(coded).compression == 1);
    FUZZ_CHECK(Header(coded).dataSize == header.dataSize);

    Table lineForm = table;
    KOVRLEConvertTableToLineForm(lineForm.data());
    for (Table *t : {&table, &lineForm}) {
        ANXFRAME *back = Decode(coded, nullptr, *t, 100, false, ANX_STREAM_WHOLE_FRAME);
        FUZZ_CHECK(back != nullptr);
        const Bytes decoded = BlockCopy(back);
        FUZZ_CHECK(std::equal(raw.begin() + AreaOffset(header), raw.end(),
                              decoded.begin() + AreaOffset(header)));
        DeleteAnxFrame(back);
    }
    DeleteAnxFrame(coded);
}

// The output rows of a line-by-line decode, compared with the picture
// resampled by a reference step rule.
void CheckScaled(const ANXFRAME *out, const Bytes &raw, const Picture &pic, std::int32_t scale,
                 bool mirror) {
    const auto cols = KeptPositions(pic.width, scale);
    const auto rows = KeptPositions(pic.height, scale);
    const auto outWidth = static_cast<std::int32_t>(cols.size());
    const std::int64_t outStride = anim::platform::RowStride(outWidth);
    const std::int64_t srcStride = anim::platform::RowStride(pic.width);
    const std::uint8_t *pixels = BytesOf(out) + kHeaderSize + kEntrySize;
    const std::uint8_t *source = raw.data() + kHeaderSize + kEntrySize;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::int32_t x = 0; x < outWidth; ++x) {
            const std::int32_t sx = cols[static_cast<std::size_t>(mirror ? outWidth - 1 - x : x)];
            FUZZ_CHECK(pixels[static_cast<std::int64_t>(r) * outStride + x] ==
                       source[rows[r] * srcStride + sx]);
        }
    }
}

// Returns the line-coded frame (or null when the encoder refused it).
ANXFRAME *LineRoundTrip(const Picture &pic, Table &table, std::uint32_t reserve,
                        std::uint32_t limit, std::int32_t scale, bool mirror, Bytes &raw) {
    const RECT whole{0, 0, pic.width - 1, pic.height - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(pic.dib, nullptr, &whole, 1);
    FUZZ_CHECK(frame != nullptr);
    raw = BlockCopy(frame);

    // Line statistics take the rows back to back, without padding.
    Bytes rows;
    const std::int64_t stride = anim::platform::RowStride(pic.width);
    for (std::int32_t r = 0; r < pic.height; ++r) {
        const auto *row = raw.data() + kHeaderSize + kEntrySize + r * stride;
        rows.insert(rows.end(), row, row + pic.width);
    }
    std::uint32_t *stats = Statistics();
    KOVRLEStartDecompTable(stats);
    KOVRLEUpdateDecompTableLineByLine(rows.data(), static_cast<std::uint32_t>(pic.width),
                                      static_cast<std::uint32_t>(pic.height), stats);
    KOVRLEFinishDecompTable(stats, table.data(), reserve, limit);
    KOVRLEConvertTableToLineForm(table.data());

    ANXFRAME *coded = AnxKOVRLEFrameLineByLine(frame, table.data(), static_cast<std::uint16_t>(pic.width),
                                               static_cast<std::uint16_t>(pic.height));
    if (coded == nullptr) {
        FUZZ_CHECK(BlockCopy(frame) == raw);
        DeleteAnxFrame(frame);
        return nullptr;
    }
    FUZZ_CHECK(Header(coded).compression == 1);
    for (const auto &[s, m] : {std::pair{100, false}, std::pair{scale, mirror}}) {
        ANXFRAME *back = Decode(coded, nullptr, table, s, m, ANX_STREAM_LINE_BY_LINE);
        FUZZ_CHECK(back != nullptr);
        CheckScaled(back, raw, pic, s, m);
        DeleteAnxFrame(back);
    }
    return coded;
}

// The overlay of the picture's own segment colours, painted with every
// segment lit over the line-coded picture: pixels of a segment class become
// the colour, all others keep the picture's.
void OverlayRoundTrip(const Picture &pic, ANXFRAME *coded, Table &table, const Bytes &raw,
                      std::uint8_t colour, bool mirror) {
    const RECT whole{0, 0, pic.width - 1, pic.height - 1};
    ANXFRAME *art = CopyDIBToAnxFrame(pic.dib, nullptr, &whole, 1);
    FUZZ_CHECK(art != nullptr);
    ANXFRAME *overlay = AnxFrameLineByLine(art, nullptr, static_cast<std::uint16_t>(pic.width),
                                           static_cast<std::uint16_t>(pic.height));
    // Each overlay code covers 1 to 15 pixels in one byte: every row fits.
    FUZZ_CHECK(overlay != nullptr);
    if (coded != nullptr) {
        static constexpr std::uint8_t kArt[] = {1, 4, 2, 3, 5, 7, 6, 9, 8, 246, 247, 248, 250, 249};
        std::array<bool, 256> segment{};
        for (std::uint8_t v : kArt) segment[v] = true;
        const std::int64_t stride = anim::platform::RowStride(pic.width);
        ANXFRAME *back = Decode(coded, overlay, table, 100, mirror, ANX_STREAM_LINE_BY_LINE,
                                kAllSegments, colour);
        FUZZ_CHECK(back != nullptr);
        const std::uint8_t *out = BytesOf(back) + kHeaderSize + kEntrySize;
        const std::uint8_t *src = raw.data() + kHeaderSize + kEntrySize;
        for (std::int32_t r = 0; r < pic.height; ++r) {
            for (std::int32_t x = 0; x < pic.width; ++x) {
                const std::uint8_t s = src[r * stride + x];
                const std::int32_t at = mirror ? pic.width - 1 - x : x;
                FUZZ_CHECK(out[r * stride + at] == (segment[s] ? colour : s));
            }
        }
        DeleteAnxFrame(back);
    }
    DeleteAnxFrame(overlay);
}

void EscapeFrameRoundTrip(const Picture &pic) {
    const RECT whole{0, 0, pic.width - 1, pic.height - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(pic.dib, nullptr, &whole, 1);
    FUZZ_CHECK(frame != nullptr);
    const Bytes raw = BlockCopy(frame);
    const std::span<const std::uint8_t> area(raw.data() + kHeaderSize + kEntrySize, raw.size() - kHeaderSize - kEntrySize);
    ANXFRAME *coded = CompressAnxFrame(frame);
    if (coded == nullptr) {
        FUZZ_CHECK(HasEveryEscape(area));
        FUZZ_CHECK(BlockCopy(frame) == raw);
        DeleteAnxFrame(frame);
        return;
    }
    const ANXFRAME h = Header(coded);
    const auto escape = static_cast<std::uint8_t>(h.compression);
    FUZZ_CHECK(escape >= kFirstEscape && escape <= kLastEscape);
    const Bytes stream(BytesOf(coded) + kHeaderSize + kEntrySize,
                       BytesOf(coded) + platform::BlockSize(coded));
    FUZZ_CHECK(UnEscape(stream, escape) == Bytes(area.begin(), area.end()));
    DeleteAnxFrame(coded);
}

void EscapeDibRoundTrip(const Picture &pic, bool contiguous) {
    BITMAPINFOHEADER *dib = CopyDIB(pic.dib);
    FUZZ_CHECK(dib != nullptr);
    const Bytes before = BlockCopy(dib);
    Bytes coded;  // what the encoder is to code: all rows, or each row's pixels
    const std::int64_t stride = anim::platform::RowStride(pic.width);
    for (std::int32_t r = 0; r < pic.height; ++r) {
        const auto *row = before.data() + kPixelOffset + r * stride;
        coded.insert(coded.end(), row, row + (contiguous ? stride : pic.width));
    }
    BITMAPINFOHEADER *result = CompressPDIB(dib, contiguous ? 1 : 0);
    if (result == nullptr) {
        FUZZ_CHECK(HasEveryEscape(coded));
        FUZZ_CHECK(BlockCopy(dib) == before);
        DeleteDIB(dib);
        return;
    }
    const auto escape = static_cast<std::uint8_t>(result->biCompression);
    FUZZ_CHECK(std::memcmp(result, before.data(), 16) == 0);
    const Bytes stream(BytesOf(result) + kPixelOffset, BytesOf(result) + platform::BlockSize(result));
    FUZZ_CHECK(UnEscape(stream, escape) == coded);
    DeleteDIB(result);
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
    const std::uint8_t colour = static_cast<std::uint8_t>(1 + in.Byte() % 255);
    RECT extra{in.Byte(), in.Byte(), in.Byte(), in.Byte()};
    const auto pixels = in.Rest();
    if (width == 0 || height == 0) return 0;

    BlockBalance balance;
    Picture pic{width, height, CreateDIB(width, height)};
    FUZZ_CHECK(pic.dib != nullptr);
    std::size_t next = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t *row = GetDIBPixelAddress(pic.dib, 0, y);
        for (std::int32_t x = 0; x < width; ++x) row[x] = pixels.empty() ? 0 : pixels[next++ % pixels.size()];
    }

    if ((paths & 1) != 0) {
        Table table{};
        Bytes raw;
        const bool mirror = (paths & 4) != 0;
        ANXFRAME *lines = LineRoundTrip(pic, table, reserve, limit, scale, mirror, raw);
        OverlayRoundTrip(pic, lines, table, raw, colour, mirror);
        DeleteAnxFrame(lines);
    } else {
        WholeFrameRoundTrip(pic, extra, reserve, limit);
    }
    if ((paths & 2) != 0) {
        EscapeDibRoundTrip(pic, (paths & 8) != 0);
    } else {
        EscapeFrameRoundTrip(pic);
    }
    DeleteDIB(pic.dib);
    return 0;
}

}  // namespace anim::fuzz
