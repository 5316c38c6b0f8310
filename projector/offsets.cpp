// Per-frame offsets: one kept by the sequence for every object that plays
// it, one kept in the loaded frame's own header.
#include "animate/engine.h"
#include "dib/anx_frame.h"
#include "projector/projector.h"

namespace anim::projector {
namespace {

// The object's sequence when the object is in use and frame lies in it.
SequenceEntry *SequenceForFrame(EngineState *engine, std::int32_t object, std::int32_t frame) {
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return nullptr;
    SequenceEntry *s = SequenceAt(engine, o->seqSlot);
    if (s == nullptr || frame < 0 || frame >= s->frameCount) return nullptr;
    return s;
}

}  // namespace
}  // namespace anim::projector

extern "C" {

ANIM_API void SetSeqFrameOffset(EngineState *engine, int32_t object, int32_t frame, int32_t x,
                                int32_t y) {
    if (auto *s = anim::projector::SequenceForFrame(engine, object, frame)) {
        s->frameOffsets[frame] = POINT{x, y};
    }
}

ANIM_API void GetSeqFrameOffset(EngineState *engine, int32_t object, int32_t frame, POINT *out) {
    if (out == nullptr) return;
    if (auto *s = anim::projector::SequenceForFrame(engine, object, frame)) {
        *out = s->frameOffsets[frame];
    }
}

// The offset lives in the header of the frame that is projected: for a
// repeat, the frame it stands for.
ANIM_API void SetFrameOffsetXY(EngineState *engine, int32_t object, int32_t frame, int32_t x,
                               int32_t y) {
    using namespace anim::projector;
    SequenceEntry *s = SequenceForFrame(engine, object, frame);
    if (s == nullptr) return;
    ANXFRAME *projected = ResolveFrame(*s, frame);
    if (projected == nullptr) return;
    AnimObject &o = engine->animObjects.entries[object];
    ANXFRAME header = anim::dib::LoadHeader(projected);
    const auto newX = static_cast<std::int16_t>(x);
    const auto newY = static_cast<std::int16_t>(y);
    if (frame == o.frame - 1) {
        o.x = anim::animate::Saturate(std::int64_t{o.x} + newX - header.offsetX);
        o.y = anim::animate::Saturate(std::int64_t{o.y} + newY - header.offsetY);
    }
    header.offsetX = newX;
    header.offsetY = newY;
    anim::dib::StoreHeader(projected, header);
}

ANIM_API void GetFrameOffsetXY(EngineState *engine, int32_t object, int32_t frame, int32_t *x,
                               int32_t *y) {
    using namespace anim::projector;
    SequenceEntry *s = SequenceForFrame(engine, object, frame);
    const ANXFRAME *projected = s != nullptr ? ResolveFrame(*s, frame) : nullptr;
    if (projected == nullptr) return;
    const ANXFRAME header = anim::dib::LoadHeader(projected);
    if (x != nullptr) *x = header.offsetX;
    if (y != nullptr) *y = header.offsetY;
}

}  // extern "C"
