// Per-frame offsets: one kept by the sequence for every object that plays
// it, one kept in the loaded frame's own header.
#include <cstring>

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

constexpr std::size_t kOffsetXAt = 24;
constexpr std::size_t kOffsetYAt = 26;

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
    auto *bytes = reinterpret_cast<std::uint8_t *>(ResolveFrame(*s, frame));
    if (bytes == nullptr) return;
    AnimObject &o = engine->animObjects.entries[object];
    std::int16_t oldX;
    std::int16_t oldY;
    std::memcpy(&oldX, bytes + kOffsetXAt, sizeof oldX);
    std::memcpy(&oldY, bytes + kOffsetYAt, sizeof oldY);
    const auto newX = static_cast<std::int16_t>(x);
    const auto newY = static_cast<std::int16_t>(y);
    if (frame == o.frame - 1) {
        o.x = anim::animate::Saturate(std::int64_t{o.x} + newX - oldX);
        o.y = anim::animate::Saturate(std::int64_t{o.y} + newY - oldY);
    }
    std::memcpy(bytes + kOffsetXAt, &newX, sizeof newX);
    std::memcpy(bytes + kOffsetYAt, &newY, sizeof newY);
}

ANIM_API void GetFrameOffsetXY(EngineState *engine, int32_t object, int32_t frame, int32_t *x,
                               int32_t *y) {
    using namespace anim::projector;
    SequenceEntry *s = SequenceForFrame(engine, object, frame);
    const auto *bytes = s != nullptr ? reinterpret_cast<const std::uint8_t *>(ResolveFrame(*s, frame))
                                     : nullptr;
    if (bytes == nullptr) return;
    std::int16_t fx;
    std::int16_t fy;
    std::memcpy(&fx, bytes + kOffsetXAt, sizeof fx);
    std::memcpy(&fy, bytes + kOffsetYAt, sizeof fy);
    if (x != nullptr) *x = fx;
    if (y != nullptr) *y = fy;
}

}  // extern "C"
