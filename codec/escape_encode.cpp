// Single-escape streams of raw frames and packed DIBs, for tools outside the
// library (it has no decoder for them).
//
//   stream  := code*
//   code    := X v n                ; n = 3..255 bytes of v
//            | v | v v              ; runs of 1 or 2, as they stand
//   X       := the smallest of 1..254 that the coded bytes never take
//
// X is ORed into the low byte of the frame's compression or the DIB's
// biCompression; the stream is the rest of the block. Contiguous coding
// takes the whole area, pad bytes included; row-wise coding takes each
// row's width pixels and skips the pad, with runs going on from one row
// into the next.
#include <cstring>

#include "codec/encode.h"
#include "codec/kovrle.h"
#include "dib/packed_dib.h"
#include "platform/checked_size.h"

namespace anim::codec {
namespace {

constexpr std::uint32_t kShortestRun = 3;
constexpr std::uint8_t kLastEscape = 254;

// rows of width bytes, one every stride bytes, read as one sequence.
struct CodedBytes {
    const std::uint8_t *data;
    std::size_t width;
    std::size_t rows;
    std::size_t stride;

    std::size_t size() const { return width * rows; }
    std::uint8_t operator[](std::size_t k) const { return data[k / width * stride + k % width]; }
};

// An empty input codes with X = 1.
bool EncodeEscape(const CodedBytes &in, ByteSink &out, std::uint8_t &escape) {
    bool seen[256] = {};
    seen[0] = true;
    for (std::size_t k = 0; k < in.size(); ++k) seen[in[k]] = true;
    escape = 0;
    for (std::uint32_t x = 1; x <= kLastEscape && escape == 0; ++x) {
        if (!seen[x]) escape = static_cast<std::uint8_t>(x);
    }
    if (escape == 0) return false;

    std::size_t k = 0;
    while (k < in.size()) {
        const std::uint8_t v = in[k];
        std::uint32_t n = 0;
        do {
            ++n;
            ++k;
            PumpMessages();
        } while (k < in.size() && in[k] == v && n < kMaxRun);
        bool ok = true;
        if (n >= kShortestRun) {
            ok = out.Put(escape, v, static_cast<std::uint8_t>(n));
        } else {
            for (std::uint32_t i = 0; i < n && ok; ++i) ok = out.Put(v);
        }
        if (!ok) return false;
    }
    return true;
}

class EscapeFrameStream final : public FrameStreamEncoder {
  public:
    // Runs of 1 and 2 stay as they are and longer ones shrink, so the stream
    // never outgrows the raw area.
    std::optional<std::uint32_t> WorstCase(const ANXFRAME &header) const override {
        return header.dataSize;
    }

    bool Encode(const std::uint8_t *pixels, const ANXFRAME &header, ByteSink &out,
                std::uint16_t &mark) override {
        std::uint8_t escape;
        if (!EncodeEscape(CodedBytes{pixels, header.dataSize, 1, header.dataSize}, out, escape)) {
            return false;
        }
        mark = escape;
        return true;
    }
};

}  // namespace

ANXFRAME *EscapeFrame(ANXFRAME *frame) {
    EscapeFrameStream stream;
    return EncodeFrame(frame, stream);
}

// Refused besides null and compressed DIBs: negative sides, and a header
// whose rows would reach past its pixel area.
BITMAPINFOHEADER *EscapeDib(BITMAPINFOHEADER *dib, bool contiguous) {
    if (dib == nullptr || dib::IsCompressed(*dib)) return nullptr;
    const auto geometry = dib::CheckedGeometry(dib);
    if (!geometry) return nullptr;
    const std::int32_t width = geometry->width;
    const std::int32_t height = geometry->height;
    const auto total = platform::CheckedSize(geometry->stride, height, dib::kPixelOffset);
    if (!total) return nullptr;
    const std::uint32_t rawSize = *total - dib::kPixelOffset;

    auto *work = static_cast<std::uint8_t *>(ALLOCATE(*total));
    if (work == nullptr) return nullptr;
    std::memcpy(work, dib, dib::kPixelOffset);
    ByteSink sink(work + dib::kPixelOffset, rawSize);
    const auto stride = static_cast<std::size_t>(platform::RowStride(width));
    const CodedBytes in = contiguous ? CodedBytes{dib::Pixels(dib), rawSize, 1, rawSize}
                                     : CodedBytes{dib::Pixels(dib), static_cast<std::size_t>(width),
                                                  static_cast<std::size_t>(height), stride};
    std::uint8_t escape;
    if (!EncodeEscape(in, sink, escape)) {
        FREE(work);
        return nullptr;
    }
    // The exact block comes before the input is let go, so that a failure
    // here still leaves the caller its DIB.
    auto *result = static_cast<BITMAPINFOHEADER *>(ALLOCATE(dib::kPixelOffset + sink.length()));
    if (result == nullptr) {
        FREE(work);
        return nullptr;
    }
    std::memcpy(result, work, dib::kPixelOffset + sink.length());
    result->biCompression |= escape;
    FREE(work);
    FREE(dib);
    PumpMessages();
    return result;
}

}  // namespace anim::codec

extern "C" {

ANIM_API ANXFRAME *CompressAnxFrame(ANXFRAME *frame) {
    return anim::codec::EscapeFrame(frame);
}

ANIM_API BITMAPINFOHEADER *CompressPDIB(BITMAPINFOHEADER *dib, int32_t contiguous) {
    return anim::codec::EscapeDib(dib, contiguous != 0);
}

}  // extern "C"
