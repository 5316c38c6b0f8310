// Expanding Anx frames: raw copies, KOVRLE whole-frame and line-by-line
// streams, scaling, mirroring and shirt-number overlays.
//
//   frame       := header(32) entry(8){rectCount} area
//   area        := raw pixels (compression 0) | whole | lines
//   overlay     := header(32) entry(8){rectCount} orecord{height}
//
// The stream grammars and their decoders are in whole_decode.cpp and
// line_decode.cpp. E and H are the low and high bytes of table entry 0. The
// whole-frame decoder writes plain bytes and the colour bytes after E or a
// length marker as they stand; the line decoder sends them through the
// table's low bytes, which is how a recoloured table reaches every pixel.
//
// The stream length is not in the header. Every read is bounded by the
// block lengths the caller gives (unbounded from the export): running out
// of input ends the decode, and pixels not reached keep what they held.
// Whatever the stream says, writes stay inside the output's pixel area and
// the codec's scratch:
//  - whole-frame runs are cut at data size;
//  - line runs past the row are cut at its end, which also ends the row;
//  - an output row is written only when it lies whole inside data size, and
//    a row cut short by the end of the input is not written at all;
//  - overlay pixels outside the W' x H' output rows are skipped.
#include "codec/anx_decode.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "codec/kovrle.h"
#include "codec/kovrle_decode.h"
#include "codec/step_table.h"
#include "platform/checked_size.h"

namespace anim::codec {
namespace {

// Entry 0 read as (1, 0) while a line decode runs, so that byte 0 and colour
// references to 0 mean colour 0 instead of the table header.
constexpr std::uint16_t kLineEntryZero = 0x0100;

std::int16_t Low16(std::int64_t value) {
    return static_cast<std::int16_t>(value);
}

// Keeps entry 0 of a caller's table in line form for one decode, whatever
// way the decode ends.
class LineEntryZero {
  public:
    explicit LineEntryZero(std::uint16_t *table) : table_(table), saved_(table[0]) {
        table_[0] = kLineEntryZero;
    }
    ~LineEntryZero() { table_[0] = saved_; }
    LineEntryZero(const LineEntryZero &) = delete;
    LineEntryZero &operator=(const LineEntryZero &) = delete;
    std::uint16_t saved() const { return saved_; }

  private:
    std::uint16_t *table_;
    std::uint16_t saved_;
};

// A request that passed every test, with what the tests worked out.
struct Admitted {
    ANXFRAME header;
    std::uint32_t areaOffset;
    std::uint32_t needed;
};

// Refusals beyond the frame's own failures, all made before anything is
// written: scale outside 1..100 (no meaning for sizes), a null table where a
// stream must be decoded, a negative rect count, and for line decoding a
// side outside 0..255 (the step tables and the line buffer are defined only
// for the frames that the encoders make). A whole-frame decode needs no step
// table, so large whole-frame pictures are expanded; its scale and mirror
// change only the header.
[[nodiscard]] std::optional<Admitted> Admit(const DecodeRequest &request) {
    if (request.frame == nullptr || request.frameSize < dib::kHeaderSize) return std::nullopt;
    const ANXFRAME header = dib::LoadHeader(request.frame);
    if (header.rectCount < 0) return std::nullopt;
    const std::uint32_t areaOffset = dib::PixelAreaOffset(header);
    if (areaOffset > request.frameSize) return std::nullopt;
    const auto needed = platform::CheckedSize(dib::kEntrySize, header.rectCount,
                                              std::int64_t{dib::kHeaderSize} + header.dataSize);
    if (!needed) return std::nullopt;
    if (request.buffer != nullptr && *needed > request.bufferSize) return std::nullopt;

    if (header.compression != 0 && header.rectCount != 0) {
        if (request.scale < 1 || request.scale > 100) return std::nullopt;
        const bool lines = request.streamKind == ANX_STREAM_LINE_BY_LINE;
        const bool decodes = lines || request.streamKind == ANX_STREAM_WHOLE_FRAME;
        if (decodes && request.table == nullptr) return std::nullopt;
        const std::int32_t width = dib::Width(header.rect);
        const std::int32_t height = dib::Height(header.rect);
        if (lines &&
            (width < 0 || width > kMaxDecodedSide || height < 0 || height > kMaxDecodedSide)) {
            return std::nullopt;
        }
    }
    return Admitted{header, areaOffset, *needed};
}

// The expanded frame's header and entries: the rectangle scaled (and
// reflected about x = 0 when mirrored), every entry sized to the output.
void WriteScaledHeader(const DecodeRequest &request, const ANXFRAME &header, void *block) {
    const std::int32_t scale = request.scale;
    const std::int32_t outWidth = ScaledSide(dib::Width(header.rect), scale);
    const std::int32_t outHeight = ScaledSide(dib::Height(header.rect), scale);
    ANXFRAME out = header;
    out.compression = 0;
    const std::int32_t left = header.rect.left * scale / 100;
    const std::int32_t top = header.rect.top * scale / 100;
    const std::int32_t right = left + outWidth - 1;
    out.rect.top = Low16(top);
    out.rect.bottom = Low16(top + outHeight - 1);
    out.rect.left = Low16(request.mirror ? -right : left);
    out.rect.right = Low16(request.mirror ? -left : right);
    dib::StoreHeader(block, out);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        ANXRECT entry = dib::LoadEntry(request.frame, i);
        entry.right = Low16(outWidth - 1);
        entry.bottom = Low16(outHeight - 1);
        dib::StoreEntry(block, i, entry);
    }
}

void DecodeStream(const DecodeRequest &request, const Admitted &admitted, const OutputArea &out) {
    const auto *stream = static_cast<const std::uint8_t *>(request.frame) + admitted.areaOffset;
    const std::size_t available = request.frameSize - admitted.areaOffset;
    if (request.streamKind == ANX_STREAM_LINE_BY_LINE) {
        const LineEntryZero swap(request.table);
        const LineJob job{stream,
                          available,
                          {request.table, EntryLow(swap.saved()), EntryHigh(swap.saved())},
                          dib::Width(admitted.header.rect),
                          dib::Height(admitted.header.rect),
                          request.scale,
                          request.mirror};
        DecodeLines(job, out);
    } else if (request.streamKind == ANX_STREAM_WHOLE_FRAME) {
        DecodeWholeFrame(StreamBounds(stream, available), request.table, out.pixels,
                         admitted.header.dataSize);
    }
}

// numberIndex outside 0..199 paints no number.
void PaintNumberIfAsked(const DecodeRequest &request, const ANXFRAME &header,
                        const OutputArea &out) {
    if (request.overlay == nullptr || request.overlaySize < dib::kHeaderSize ||
        request.numberIndex < 0 ||
        request.numberIndex >= static_cast<std::int32_t>(kNumberIndexCount)) {
        return;
    }
    const ANXFRAME number = dib::LoadHeader(request.overlay);
    const std::int32_t scale = request.scale;
    std::int32_t ox = (number.rect.left - header.rect.left) * scale / 100;
    const std::int32_t oy = (header.rect.bottom - number.rect.bottom) * scale / 100;
    if (request.mirror) ox = out.width - ox;
    const NumberJob job{request.overlay,
                        request.overlaySize,
                        scale,
                        ox,
                        oy,
                        kNumberMasks[static_cast<std::size_t>(request.numberIndex)],
                        static_cast<std::uint8_t>(request.numberColour),
                        request.mirror};
    PaintNumber(job, out);
}

}  // namespace

ANXFRAME *Expand(const DecodeRequest &request) {
    const std::optional<Admitted> admitted = Admit(request);
    if (!admitted) return nullptr;
    const ANXFRAME &header = admitted->header;
    void *block = request.buffer != nullptr ? request.buffer : ALLOCATE(admitted->needed);
    if (block == nullptr) return nullptr;
    auto *bytes = static_cast<std::uint8_t *>(block);
    const auto *source = static_cast<const std::uint8_t *>(request.frame);

    if (header.rectCount == 0) {
        ANXFRAME out = header;
        out.compression = 0;
        dib::StoreHeader(block, out);
        return static_cast<ANXFRAME *>(block);
    }
    const std::uint32_t areaOffset = admitted->areaOffset;
    std::memcpy(bytes, source, areaOffset);
    if (header.compression == 0) {
        std::memcpy(bytes + areaOffset, source + areaOffset,
                    std::min<std::size_t>(header.dataSize, request.frameSize - areaOffset));
        return static_cast<ANXFRAME *>(block);
    }

    WriteScaledHeader(request, header, block);
    const std::int32_t outWidth = ScaledSide(dib::Width(header.rect), request.scale);
    const OutputArea out{bytes + areaOffset, header.dataSize, outWidth,
                         ScaledSide(dib::Height(header.rect), request.scale),
                         platform::RowStride(outWidth)};
    DecodeStream(request, *admitted, out);
    PaintNumberIfAsked(request, header, out);
    return static_cast<ANXFRAME *>(block);
}

}  // namespace anim::codec

extern "C" {

ANIM_API ANXFRAME *AnxUnKOVRLEFrame(const ANXFRAME *frame, const ANXFRAME *overlay, uint16_t *table,
                                    ANXFRAME *buffer, uint32_t bufferSize, int32_t scale,
                                    int32_t numberIndex, uint32_t numberColour, int32_t mirror,
                                    int32_t streamKind) {
    anim::codec::DecodeRequest request;
    request.frame = frame;
    request.overlay = overlay;
    request.table = table;
    request.buffer = buffer;
    request.bufferSize = bufferSize;
    request.scale = scale;
    request.numberIndex = numberIndex;
    request.numberColour = numberColour;
    request.mirror = mirror != 0;
    request.streamKind = streamKind;
    return anim::codec::Expand(request);
}

}  // extern "C"
