// Projecting frames onto an anim object's sprite: scalable frames expanded
// into the object's buffer (scaled, mirrored, recoloured, numbered), delta
// frames applied onto the object's picture; plus showing, hiding and
// releasing what was projected.
//
// Frames come from files and are checked here before their pixels are
// touched: a scalable frame must be one rectangle that its declared pixel
// area holds and the object's buffer has room for, a delta frame's
// rectangles must lie in its pixel area and in the object's picture.
// Nothing is written for a frame that fails. A delta frame that fails is
// refused (the projection returns 0). A scalable frame that fails, one too
// big for the buffer among them, is not shown: the picture before it stays
// and the sequence plays on, as a game that plays until 0 expects.
#include <algorithm>

#include "animate/engine.h"
#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "platform/platform.h"
#include "projector/projector.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::projector {

using animate::Saturate;

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

namespace {

// A frame the line decoder expands whole into the object's buffer.
bool ScalableFrameFits(const ANXFRAME *frame, std::uint32_t bufferSize) {
    const ANXFRAME header = dib::LoadHeader(frame);
    if (header.rectCount != 1) return false;
    const ANXRECT first = dib::LoadEntry(frame, 0);
    const std::int32_t w = dib::Width(header.rect);
    const std::int32_t h = dib::Height(header.rect);
    if (w < 1 || h < 1 || w > codec::kMaxDecodedSide || h > codec::kMaxDecodedSide) return false;
    if (first.left != 0 || first.top != 0 || dib::Width(first) != w || dib::Height(first) != h)
        return false;
    if (platform::RowStride(w) * h > header.dataSize) return false;
    return dib::kHeaderSize + dib::kEntrySize + std::uint64_t{header.dataSize} <= bufferSize;
}

// Expands scalable frame k into the object's buffer, scaled, mirrored, in
// its team's colours and with its number; a frame that cannot be expanded
// leaves the buffer as it was.
void ExpandScalable(EngineState *engine, const AnimObject &o, const SequenceEntry &sequence,
                    const ANXFRAME *frame, std::size_t frameSize, std::int32_t k,
                    std::int32_t scale, std::int32_t flags) {
    if (!ScalableFrameFits(frame, o.bufferSize)) return;
    const PlayerNumberSet *numbers = NumberSetAt(engine, o.numberSetSlot);
    codec::DecodeRequest request;
    request.frame = frame;
    request.frameSize = frameSize;
    if (numbers != nullptr && k < numbers->frameCount && numbers->overlays[k] != nullptr) {
        request.overlay = numbers->overlays[k];
        request.overlaySize = numbers->overlayLimits[k];
    }
    request.table = sequence.tables[o.tableIndex];
    request.buffer = o.buffer;
    request.bufferSize = o.bufferSize;
    request.scale = scale;
    request.numberIndex = o.number;
    request.numberColour = engine->teamNumberColors[o.tableIndex];
    request.mirror = (flags & ANIM_PROJECT_MIRROR) != 0;
    request.streamKind = ANX_STREAM_LINE_BY_LINE;
    codec::Expand(request);
}

void MarkObjectRect(EngineState *engine, const AnimObject &o, std::int64_t left, std::int64_t top,
                    std::int64_t right, std::int64_t bottom) {
    MakeRectInvalid(engine, Saturate(o.x + left), Saturate(o.y + top), Saturate(o.x + right),
                    Saturate(o.y + bottom));
}

// Applies the object's frame `frame` onto its picture.
void ApplyDelta(EngineState *engine, AnimObject &o, const SequenceEntry &sequence,
                bool invalidate) {
    std::size_t limit = 0;
    ANXFRAME *frame = ResolveFrame(sequence, o.frame, &limit);
    if (frame == nullptr || o.frameDib == nullptr) return;
    const BITMAPINFOHEADER &dib = *o.frameDib;
    if (!DeltaFrameFits(frame, limit, dib.biWidth, dib.biHeight, DeltaPlacement::kByAdjust)) return;
    const ANXFRAME header = dib::LoadHeader(frame);
    const std::uint8_t key = static_cast<std::uint8_t>(header.compressionHigh & 0xFF);
    const std::int32_t dx = header.adjustX;
    const std::int32_t dy = header.adjustY;
    const std::uint8_t *source = dib::PixelArea(frame, header);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        const ANXRECT r = dib::LoadEntry(frame, i);
        const std::int32_t w = dib::Width(r);
        const std::int32_t h = dib::Height(r);
        const auto sourceStride = static_cast<std::int32_t>(platform::RowStride(w));
        std::uint8_t *target = GetDIBPixelAddress(o.frameDib, r.left + dx, r.bottom + dy);
        if (key != 0) {
            TransCopyDIBBits(target, source, static_cast<std::uint32_t>(w),
                             static_cast<std::uint32_t>(h), o.dibStride, sourceStride, key);
        } else {
            CopyDIBBits(target, source, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                        o.dibStride, sourceStride);
        }
        source += static_cast<std::size_t>(sourceStride) * static_cast<std::size_t>(h);
        if (invalidate) MarkObjectRect(engine, o, r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
    }
    // A seek may reach here before frame 0 pointed the image at the picture.
    SetSpriteDib(engine, o.spriteDib, o.frameDib);
    const RECT shown{dx, dy, dx + header.rect.right - header.rect.left,
                     dy + header.rect.bottom - header.rect.top};
    SetSpriteDibSizeFromRect(engine, o.spriteDib, &shown);
}

}  // namespace

void KeepDeltaRects(const ANXFRAME *stored, ANXFRAME *expanded) {
    const ANXFRAME header = dib::LoadHeader(stored);
    for (std::int32_t i = 0; i < header.rectCount; ++i) {
        dib::StoreEntry(expanded, i, dib::LoadEntry(stored, i));
    }
}

ANXFRAME *ExpandDeltaFrame(SequenceEntry &sequence, std::int32_t k, std::int32_t tableIndex,
                           std::int32_t width, std::int32_t height) {
    const DeltaPlacement placement = k == 0 ? DeltaPlacement::kPicture : DeltaPlacement::kByAdjust;
    std::size_t limit = 0;
    ANXFRAME *frame = ResolveFrame(sequence, k, &limit);
    if (frame == nullptr || !DeltaFrameFits(frame, limit, width, height, placement)) return nullptr;
    if (dib::LoadHeader(frame).compression != 0) {
        codec::DecodeRequest request;
        request.frame = frame;
        request.frameSize = limit;
        request.table = sequence.tables[tableIndex];
        request.streamKind = ANX_STREAM_WHOLE_FRAME;
        ANXFRAME *expanded = codec::Expand(request);
        if (expanded == nullptr) return nullptr;
        KeepDeltaRects(frame, expanded);
        StoreExpandedFrame(sequence, k, expanded);
        frame = expanded;
        limit = platform::BlockSize(expanded);
    }
    return DeltaFrameFits(frame, limit, width, height, placement) ? frame : nullptr;
}

ANXFRAME *ExpandedDeltaFrame(const AnimObject &o, SequenceEntry &sequence, std::int32_t k) {
    const BITMAPINFOHEADER *dib = o.frameDib;
    if (dib == nullptr) return nullptr;
    return ExpandDeltaFrame(sequence, k, o.tableIndex, dib->biWidth, dib->biHeight);
}

std::int32_t ProjectCore(EngineState *engine, std::int32_t object, std::int32_t x, std::int32_t y,
                         std::int32_t depth, std::int32_t show, std::int32_t scale,
                         std::int32_t flags) {
    ANIM_ASSERT(object != -1, kSource);
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return 0;
    SequenceEntry *sequence = SequenceAt(engine, o->seqSlot);
    if (sequence == nullptr) return 0;
    const std::int32_t k = o->frame;
    std::size_t limit = 0;
    const ANXFRAME *stored = ResolveFrame(*sequence, k, &limit);
    if (stored == nullptr) return 0;
    const POINT seqOffset = sequence->frameOffsets[k];
    std::int64_t px = x;
    std::int64_t py = y;
    ANXFRAME placed;  // the header whose offsets, rectangle and adjust place the frame

    if (sequence->isDelta != 0 && k == 0) {
        if (o->frameDib == nullptr) return 0;
        const ANXFRAME header = dib::LoadHeader(stored);
        o->x = Saturate(px + seqOffset.x + header.offsetX + header.rect.left);
        o->y = Saturate(py + seqOffset.y + header.offsetY + header.rect.top);
        o->depth = depth;
        o->dibStride = static_cast<std::int32_t>(platform::RowStride(o->frameDib->biWidth));
        SetSpriteDib(engine, o->spriteDib, o->frameDib);
        if (show != 0) {
            ShowSprite(engine, o->sprite, o->x, o->y, depth, ANIM_ANCHOR_TOP_LEFT);
        } else {
            SetSpritePosition(engine, o->sprite, o->x, o->y, depth, ANIM_ANCHOR_TOP_LEFT);
        }
        o->frame = 1;
        return 1;
    }

    RECT oldRect{0, 0, -1, -1};
    GetSpriteRect(engine, &oldRect, o->sprite);
    if (sequence->isDelta != 0) {
        const ANXFRAME *frame = ExpandedDeltaFrame(*o, *sequence, k);
        if (frame == nullptr) return 0;
        placed = dib::LoadHeader(frame);
    } else {
        ExpandScalable(engine, *o, *sequence, stored, limit, k, scale, flags);
        // The buffer holds this frame, or else the picture expanded last
        // for this sequence, placed by its own header; a buffer with no
        // picture yet (cleared when the sequence was bound) shows nothing.
        placed = dib::LoadHeader(o->buffer);
        if (placed.rectCount > 0) {
            SetSpriteDibFromAnxFrameRect0(engine, o->spriteDib, reinterpret_cast<ANXFRAME *>(o->buffer));
        } else {
            placed = ANXFRAME{};
            SetSpriteDib(engine, o->spriteDib, nullptr);
        }
    }
    px += std::int64_t{seqOffset.x} + placed.offsetX + placed.rect.left;
    py += std::int64_t{seqOffset.y} + placed.offsetY + placed.rect.top;
    const std::int32_t nx = Saturate(px);
    const std::int32_t ny = Saturate(py);

    const bool moved = nx != o->x || ny != o->y || depth != o->depth;
    if (moved) {
        if (show != 0) HideSprite(engine, o->sprite);
        o->x = nx;
        o->y = ny;
        o->depth = depth;
    }
    if (sequence->isDelta != 0) {
        // A moved sprite is repainted whole when it is shown again.
        ApplyDelta(engine, *o, *sequence, show != 0 && !moved);
    }
    SetSpritePosition(engine, o->sprite, Saturate(std::int64_t{nx} + placed.adjustX),
                      Saturate(std::int64_t{ny} + placed.adjustY), depth, ANIM_ANCHOR_TOP_LEFT);
    if (show != 0 && !moved && sequence->isDelta == 0) {
        // The picture changed in place: repaint where the old one was and
        // where the new one is (frames differ in size and adjust).
        RECT newRect{0, 0, -1, -1};
        GetSpriteRect(engine, &newRect, o->sprite);
        MakeRectInvalid(engine, oldRect.left, oldRect.top, oldRect.right, oldRect.bottom);
        MakeRectInvalid(engine, newRect.left, newRect.top, newRect.right, newRect.bottom);
    }
    if (show != 0) UnHideSprite(engine, o->sprite);
    animate::SetSpriteShown(engine, o->sprite, 1);
    o->frame = k + 1;
    return 1;
}

}  // namespace anim::projector

extern "C" {

ANIM_API int32_t ProjectFrame(EngineState *engine, int32_t object, int32_t x, int32_t y,
                              int32_t depth) {
    return anim::projector::ProjectCore(engine, object, x, y, depth, 1, 100, 0);
}

ANIM_API int32_t ProjectFramePlus(EngineState *engine, int32_t object, int32_t x, int32_t y,
                                  int32_t depth, int32_t show) {
    return anim::projector::ProjectCore(engine, object, x, y, depth, show, 100, 0);
}

ANIM_API int32_t ProjectFrameScaleFlip(EngineState *engine, int32_t object, int32_t x, int32_t y,
                                       int32_t depth, int32_t show, int32_t scale, int32_t flags) {
    return anim::projector::ProjectCore(engine, object, x, y, depth, show, scale, flags);
}

ANIM_API int32_t ErasePreviousFrame(EngineState *engine, int32_t object) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    return o != nullptr ? HideSprite(engine, o->sprite) : 0;
}

ANIM_API void ErasePreviousFramePlus(EngineState *engine, int32_t object, int32_t invalidate) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    if (o == nullptr) return;
    if (invalidate != 0) {
        HideSprite(engine, o->sprite);
    } else {
        anim::animate::SetSpriteShown(engine, o->sprite, 0);
    }
}

ANIM_API int32_t HideFrame(EngineState *engine, int32_t object) {
    return ErasePreviousFrame(engine, object);
}

ANIM_API void ShowFrame(EngineState *engine, int32_t object) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    if (o != nullptr) ShowSprite(engine, o->sprite, o->x, o->y, o->depth, ANIM_ANCHOR_TOP_LEFT);
}

// Only frames the projector expanded are released; a frame that lies in the
// file block is refused with 0.
ANIM_API int32_t DeleteFrameImmediate(EngineState *engine, int32_t object) {
    using namespace anim::projector;
    const AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return 0;
    SequenceEntry *sequence = SequenceAt(engine, o->seqSlot);
    if (sequence == nullptr) return 0;
    return DeleteExpandedFrame(*sequence, o->frame - 1) ? 1 : 0;
}

}  // extern "C"
