// The common frame of every frame encoder.
//
//   input   := header(32) entry(8){rectCount} raw(dataSize)   ; compression 0
//   output  := header(32) entry(8){rectCount} stream
//   header' := header with compression |= mark                ; dataSize kept raw
//
// The output block is exactly 32 + 8 x rectCount + stream length bytes.
#include <cstring>

#include "codec/encode.h"
#include "codec/kovrle.h"
#include "platform/checked_size.h"
#include "platform/platform.h"

namespace anim::codec {

// A negative rect count is refused (it has no byte size), and so is a header
// whose raw area would reach past the end of its block: the stream encoders
// read all data size bytes.
ANXFRAME *EncodeFrame(ANXFRAME *frame, FrameStreamEncoder &encoder) {
    if (frame == nullptr) return nullptr;
    ANXFRAME header = dib::LoadHeader(frame);
    if (header.compression != 0) return nullptr;
    const auto offset = platform::CheckedSize(dib::kEntrySize, header.rectCount, dib::kHeaderSize);
    if (!offset) return nullptr;
    const auto rawEnd = platform::CheckedSize(header.dataSize, 1, *offset);
    if (!rawEnd || platform::BlockSize(frame) < *rawEnd) return nullptr;
    const auto worst = encoder.WorstCase(header);
    if (!worst) return nullptr;
    const auto workSize = platform::CheckedSize(*worst, 1, *offset);
    if (!workSize) return nullptr;

    auto *work = static_cast<std::uint8_t *>(ALLOCATE(*workSize));
    if (work == nullptr) return nullptr;
    std::memcpy(work, frame, *offset);
    ByteSink sink(work + *offset, *worst);
    std::uint16_t mark = 0;
    if (!encoder.Encode(dib::PixelArea(frame, header), header, sink, mark)) {
        FREE(work);
        return nullptr;
    }
    // The exact block comes before the input is let go, so that a failure
    // here still leaves the caller its frame.
    auto *result = static_cast<std::uint8_t *>(ALLOCATE(*offset + sink.length()));
    if (result == nullptr) {
        FREE(work);
        return nullptr;
    }
    std::memcpy(result, work, *offset + sink.length());
    header.compression = static_cast<std::uint16_t>(header.compression | mark);
    dib::StoreHeader(result, header);
    FREE(work);
    FREE(frame);
    PumpMessages();
    return reinterpret_cast<ANXFRAME *>(result);
}

}  // namespace anim::codec
