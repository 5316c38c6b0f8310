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
#include "animate/engine.h"
#include "codec/anx_decode.h"
#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "platform/platform.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {
namespace {

using animate::Saturate;

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

// Shows the picture the buffer holds after ExpandScalable: this frame, or
// else the picture expanded last for this sequence, placed by its own
// header; a buffer with no picture yet (cleared when the sequence was bound)
// shows nothing. The header that places it.
ANXFRAME ShowBuffer(EngineState *engine, const AnimObject &o) {
    const ANXFRAME placed = dib::LoadHeader(o.buffer);
    if (placed.rectCount > 0) {
        SetSpriteDibFromAnxFrameRect0(engine, o.spriteDib, reinterpret_cast<ANXFRAME *>(o.buffer));
        return placed;
    }
    SetSpriteDib(engine, o.spriteDib, nullptr);
    return ANXFRAME{};
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
    PaintDeltaRects(frame, o.frameDib, o.dibStride);
    const ANXFRAME header = dib::LoadHeader(frame);
    const std::int32_t dx = header.adjustX;
    const std::int32_t dy = header.adjustY;
    for (std::int32_t i = 0; invalidate && i < header.rectCount; ++i) {
        const ANXRECT r = dib::LoadEntry(frame, i);
        MarkObjectRect(engine, o, r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
    }
    // A seek may reach here before frame 0 pointed the image at the picture.
    SetSpriteDib(engine, o.spriteDib, o.frameDib);
    const RECT shown{dx, dy, dx + header.rect.right - header.rect.left,
                     dy + header.rect.bottom - header.rect.top};
    SetSpriteDibSizeFromRect(engine, o.spriteDib, &shown);
}

// Frame 0 of a delta sequence: the object's picture shown whole at (x, y)
// moved by the frame's offsets and rectangle; its adjust is never applied.
std::int32_t StartDelta(EngineState *engine, AnimObject &o, const ANXFRAME *stored, POINT seqOffset,
                        std::int64_t x, std::int64_t y, std::int32_t depth, std::int32_t show) {
    if (o.frameDib == nullptr) return 0;
    const ANXFRAME header = dib::LoadHeader(stored);
    o.x = Saturate(x + seqOffset.x + header.offsetX + header.rect.left);
    o.y = Saturate(y + seqOffset.y + header.offsetY + header.rect.top);
    o.depth = depth;
    o.dibStride = static_cast<std::int32_t>(platform::RowStride(o.frameDib->biWidth));
    SetSpriteDib(engine, o.spriteDib, o.frameDib);
    if (show != 0) {
        ShowSprite(engine, o.sprite, o.x, o.y, depth, ANIM_ANCHOR_TOP_LEFT);
    } else {
        SetSpritePosition(engine, o.sprite, o.x, o.y, depth, ANIM_ANCHOR_TOP_LEFT);
    }
    o.frame = 1;
    return 1;
}

// Where a projected frame goes: the object's new position and depth, and
// the header whose offsets, rectangle and adjust placed it.
struct Placement {
    std::int32_t x;
    std::int32_t y;
    std::int32_t depth;
    ANXFRAME header;
};

// Moves the sprite to a projected frame, applies a delta frame onto the
// picture, and repaints what changed; oldRect is where the sprite was
// before the frame's picture was set.
void ShowProjected(EngineState *engine, AnimObject &o, const SequenceEntry &sequence,
                   const Placement &at, bool show, const RECT &oldRect) {
    const bool moved = at.x != o.x || at.y != o.y || at.depth != o.depth;
    if (moved) {
        if (show) HideSprite(engine, o.sprite);
        o.x = at.x;
        o.y = at.y;
        o.depth = at.depth;
    }
    // A moved sprite is repainted whole when it is shown again.
    if (sequence.isDelta != 0) ApplyDelta(engine, o, sequence, show && !moved);
    SetSpritePosition(engine, o.sprite, Saturate(std::int64_t{at.x} + at.header.adjustX),
                      Saturate(std::int64_t{at.y} + at.header.adjustY), at.depth,
                      ANIM_ANCHOR_TOP_LEFT);
    if (show && !moved && sequence.isDelta == 0) {
        // The picture changed in place: repaint where the old one was and
        // where the new one is (frames differ in size and adjust).
        RECT newRect{0, 0, -1, -1};
        GetSpriteRect(engine, &newRect, o.sprite);
        MakeRectInvalid(engine, oldRect.left, oldRect.top, oldRect.right, oldRect.bottom);
        MakeRectInvalid(engine, newRect.left, newRect.top, newRect.right, newRect.bottom);
    }
    if (show) UnHideSprite(engine, o.sprite);
    animate::SetSpriteShown(engine, o.sprite, 1);
}

}  // namespace

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
    if (sequence->isDelta != 0 && k == 0)
        return StartDelta(engine, *o, stored, seqOffset, x, y, depth, show);

    RECT oldRect{0, 0, -1, -1};
    GetSpriteRect(engine, &oldRect, o->sprite);
    ANXFRAME placed;  // the header whose offsets, rectangle and adjust place the frame
    if (sequence->isDelta != 0) {
        const ANXFRAME *frame = ExpandedDeltaFrame(*o, *sequence, k);
        if (frame == nullptr) return 0;
        placed = dib::LoadHeader(frame);
    } else {
        ExpandScalable(engine, *o, *sequence, stored, limit, k, scale, flags);
        placed = ShowBuffer(engine, *o);
    }
    const Placement at{Saturate(std::int64_t{x} + seqOffset.x + placed.offsetX + placed.rect.left),
                       Saturate(std::int64_t{y} + seqOffset.y + placed.offsetY + placed.rect.top),
                       depth, placed};
    ShowProjected(engine, *o, *sequence, at, show != 0, oldRect);
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
