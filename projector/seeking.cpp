// Seeking and rewinding. A delta object's picture is only right when its
// frames are applied in order, so a seek starts again from the nearest key
// frame (a whole opaque frame) and replays up to the target.
#include "animate/engine.h"
#include "dib/anx_frame.h"
#include "projector/projector.h"

namespace anim::projector {
namespace {

bool IsKeyFrame(const ANXFRAME *frame) {
    const ANXFRAME header = dib::LoadHeader(frame);
    return header.compressionHigh == 0;
}

}  // namespace

void ApplyKeyFrame(EngineState *engine, AnimObject &object, std::int32_t k) {
    const bool hid = HideSprite(engine, object.sprite) != 0;
    object.frame = k;
    SequenceEntry *sequence = SequenceAt(engine, object.seqSlot);
    const ANXFRAME *frame =
        sequence != nullptr ? ExpandedDeltaFrame(object, *sequence, k) : nullptr;
    if (frame != nullptr) {
        const ANXFRAME header = dib::LoadHeader(frame);
        const BITMAPINFOHEADER &dib = *object.frameDib;
        {
            const ANXRECT r = dib::LoadEntry(frame, 0);
            const std::int32_t w = dib::Width(r);
            const std::int32_t h = dib::Height(r);
            // Rectangle 0 without the adjust: it must lie in the picture too.
            if (r.left >= 0 && r.top >= 0 && r.right < dib.biWidth && r.bottom < dib.biHeight) {
                CopyDIBBits(GetDIBPixelAddress(object.frameDib, r.left, r.bottom),
                            dib::PixelArea(frame, header), static_cast<std::uint32_t>(w),
                            static_cast<std::uint32_t>(h), object.dibStride,
                            static_cast<std::int32_t>(platform::RowStride(w)));
            }
        }
    }
    if (hid) UnHideSprite(engine, object.sprite);
}

}  // namespace anim::projector

extern "C" {

ANIM_API int32_t SetFrameNum(EngineState *engine, int32_t object, int32_t target) {
    using namespace anim::projector;
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return -1;
    SequenceEntry *sequence = SequenceAt(engine, o->seqSlot);
    if (sequence == nullptr || sequence->isDelta == 0 || target == o->frame ||
        target == o->frame + 1) {
        o->frame = target;
        return target;
    }
    const bool hid = HideSprite(engine, o->sprite) != 0;
    const std::int32_t count = sequence->frameCount;
    auto frameAt = [&](std::int32_t k) { return ResolveFrame(*sequence, k); };
    if (target < o->frame) {
        std::int32_t k = target < 0 ? 0 : target;
        while (k > 0 && frameAt(k) != nullptr && !IsKeyFrame(frameAt(k))) --k;
        if (frameAt(k) != nullptr) ApplyKeyFrame(engine, *o, k);
    } else {
        std::int32_t k = target >= count ? count - 1 : target;
        while (k > o->frame && frameAt(k) != nullptr && !IsKeyFrame(frameAt(k))) --k;
        if (frameAt(k) != nullptr && k > o->frame) ApplyKeyFrame(engine, *o, k);
    }
    while (o->frame <= target && o->frame < count) {
        const ANXFRAME *frame = frameAt(o->frame);
        if (frame == nullptr) break;
        const ANXFRAME header = anim::dib::LoadHeader(frame);
        const POINT offset = sequence->frameOffsets[o->frame];
        const auto x = anim::animate::Saturate(std::int64_t{o->x} - offset.x - header.offsetX -
                                               header.rect.left);
        const auto y = anim::animate::Saturate(std::int64_t{o->y} - offset.y - header.offsetY -
                                               header.rect.top);
        if (ProjectCore(engine, object, x, y, o->depth, 0, 100, 0) == 0) break;
    }
    // The replay repaints nothing and leaves the sprite marked shown, which
    // would make UnHideSprite a no-op: where the sprite lies now (its
    // picture may have changed size) would never be repainted.
    if (hid) {
        anim::animate::SetSpriteShown(engine, o->sprite, 0);
        UnHideSprite(engine, o->sprite);
    }
    o->frame = target;
    return target;
}

ANIM_API void RewindAnx(EngineState *engine, int32_t object) {
    using namespace anim::projector;
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr || SequenceAt(engine, o->seqSlot) == nullptr) return;
    if (o->isDelta != 0) {
        ApplyKeyFrame(engine, *o, 0);
    } else {
        o->frame = 0;
    }
}

ANIM_API void OldRewindAnx(EngineState *engine, int32_t object) {
    using namespace anim::projector;
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return;
    o->frame = o->isDelta != 0 ? 1 : 0;
}

}  // extern "C"
