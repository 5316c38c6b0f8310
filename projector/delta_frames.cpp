// Delta frames: checking a stored frame against the picture it changes,
// expanding it, and laying its rectangles onto that picture. A sequence
// shares its expanded frames among every object that plays it; the pure
// steps here are also what the inspector draws a delta sequence with, so a
// contact sheet shows what a game shows.
#include "codec/anx_decode.h"
#include "dib/anx_frame.h"
#include "platform/checked_size.h"
#include "platform/platform.h"
#include "projector/projector.h"

namespace anim::projector {

bool DeltaFrameFits(const ANXFRAME *frame, std::size_t blockSize, std::int32_t width,
                    std::int32_t height, DeltaPlacement placement) {
    const ANXFRAME header = dib::LoadHeader(frame);
    if (header.rectCount < 1) return false;
    // A compressed frame's stream is bounded by the decoder; its shape is
    // checked before it is expanded, so that a lying header cannot ask for
    // a huge block.
    const auto end = platform::CheckedSize(dib::kEntrySize, header.rectCount,
                                           std::int64_t{dib::kHeaderSize} + header.dataSize);
    if (!end || (header.compression == 0 && *end > blockSize)) return false;
    const bool moved = placement == DeltaPlacement::kByAdjust;
    const std::int64_t dx = moved ? header.adjustX : 0;
    const std::int64_t dy = moved ? header.adjustY : 0;
    std::int64_t used = 0;
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        const ANXRECT r = dib::LoadEntry(frame, i);
        const std::int32_t w = dib::Width(r);
        const std::int32_t h = dib::Height(r);
        if (w < 1 || h < 1 || r.left + dx < 0 || r.top + dy < 0 || r.right + dx >= width ||
            r.bottom + dy >= height)
            return false;
        used += platform::RowStride(w) * h;
        if (used > header.dataSize) return false;
    }
    if (used != header.dataSize) return false;
    // Frame 0 is shown as the whole picture.
    if (!moved) return true;
    // A later frame: the sprite shows this part of the picture.
    const std::int32_t w = dib::Width(header.rect);
    const std::int32_t h = dib::Height(header.rect);
    return w >= 1 && h >= 1 && dx >= 0 && dy >= 0 && dx + w <= width && dy + h <= height;
}

void KeepDeltaRects(const ANXFRAME *stored, ANXFRAME *expanded) {
    const ANXFRAME header = dib::LoadHeader(stored);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        dib::StoreEntry(expanded, i, dib::LoadEntry(stored, i));
    }
}

std::optional<PictureSize> DeltaPictureSize(const ANXFRAME *frame0) {
    if (frame0 == nullptr || dib::LoadHeader(frame0).rectCount < 1) return std::nullopt;
    const ANXRECT first = dib::LoadEntry(frame0, 0);
    const PictureSize size{dib::Width(first), dib::Height(first)};
    if (size.width < 1 || size.height < 1) return std::nullopt;
    return size;
}

ANXFRAME *ReadyDeltaFrame(ANXFRAME *stored, std::size_t size, std::uint16_t *table,
                          const PictureSize &picture, DeltaPlacement placement,
                          ANXFRAME **expanded) {
    *expanded = nullptr;
    if (!DeltaFrameFits(stored, size, picture.width, picture.height, placement)) return nullptr;
    ANXFRAME *frame = stored;
    if (dib::LoadHeader(stored).compression != 0) {
        codec::DecodeRequest request;
        request.frame = stored;
        request.frameSize = size;
        request.table = table;
        request.streamKind = ANX_STREAM_WHOLE_FRAME;
        frame = codec::Expand(request);
        if (frame == nullptr) return nullptr;
        KeepDeltaRects(stored, frame);
        *expanded = frame;
        size = platform::BlockSize(frame);
    }
    return DeltaFrameFits(frame, size, picture.width, picture.height, placement) ? frame : nullptr;
}

void PaintDeltaRects(const ANXFRAME *frame, BITMAPINFOHEADER *picture, std::int32_t stride) {
    const ANXFRAME header = dib::LoadHeader(frame);
    const std::uint8_t key = static_cast<std::uint8_t>(header.compressionHigh & 0xFF);
    const std::uint8_t *source = dib::PixelArea(frame, header);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        const ANXRECT r = dib::LoadEntry(frame, i);
        const auto w = static_cast<std::uint32_t>(dib::Width(r));
        const auto h = static_cast<std::uint32_t>(dib::Height(r));
        const auto sourceStride = static_cast<std::int32_t>(platform::RowStride(dib::Width(r)));
        std::uint8_t *target =
            GetDIBPixelAddress(picture, r.left + header.adjustX, r.bottom + header.adjustY);
        if (key != 0) {
            TransCopyDIBBits(target, source, w, h, stride, sourceStride, key);
        } else {
            CopyDIBBits(target, source, w, h, stride, sourceStride);
        }
        source += static_cast<std::size_t>(sourceStride) * h;
    }
}

ANXFRAME *ExpandDeltaFrame(SequenceEntry &sequence, std::int32_t k, std::int32_t tableIndex,
                           std::int32_t width, std::int32_t height) {
    std::size_t limit = 0;
    ANXFRAME *frame = ResolveFrame(sequence, k, &limit);
    if (frame == nullptr) return nullptr;
    ANXFRAME *expanded = nullptr;
    ANXFRAME *ready = ReadyDeltaFrame(frame, limit, sequence.tables[tableIndex],
                                      PictureSize{width, height}, PlacementOf(k), &expanded);
    // Kept even when it then fails its check: the stored frame is not
    // expanded again.
    if (expanded != nullptr) StoreExpandedFrame(sequence, k, expanded);
    return ready;
}

ANXFRAME *ExpandedDeltaFrame(const AnimObject &object, SequenceEntry &sequence, std::int32_t k) {
    const BITMAPINFOHEADER *dib = object.frameDib;
    if (dib == nullptr) return nullptr;
    return ExpandDeltaFrame(sequence, k, object.tableIndex, dib->biWidth, dib->biHeight);
}

}  // namespace anim::projector
