// Anim objects: one on-screen actor each, with its own sprite, sprite image
// and expansion buffer, bound to a loaded sequence by id. Also the
// projector's tear-down.
#include <cstring>

#include "animate/engine.h"
#include "codec/anx_decode.h"
#include "dib/anx_frame.h"
#include "platform/platform.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {

void ReleasePlayed(EngineState *engine, AnimObject &object) {
    if (object.seqSlot != -1) {
        ReleaseSequence(engine, object.seqSlot);
        object.seqSlot = -1;
    }
    if (object.numberSetSlot != -1) {
        ReleasePlayerNumberSet(engine, object.numberSetSlot);
        object.numberSetSlot = -1;
    }
    // The buffer's picture belongs to the sequence released: a frame of the
    // next one that cannot be expanded must not bring it back.
    if (object.buffer != nullptr) dib::StoreHeader(object.buffer, ANXFRAME{});
    if (object.frameDib != nullptr) {
        // The sprite must not keep showing a picture that is about to go.
        SetSpriteDib(engine, object.spriteDib, nullptr);
        DeleteDIB(object.frameDib);
        object.frameDib = nullptr;
    }
}

void DestroyObject(EngineState *engine, std::int32_t index) {
    AnimObject *object = ObjectAt(engine, index);
    if (object == nullptr) return;
    ReleasePlayed(engine, *object);
    FREE(object->buffer);
    if (object->sprite != -1) DeleteSprite(engine, object->sprite);
    if (object->spriteDib != -1) DeleteSpriteDib(engine, object->spriteDib);
    *object = AnimObject{};
    object->seqSlot = object->numberSetSlot = object->sprite = object->spriteDib = -1;
    --engine->animObjects.count;
}

namespace {

// Frame 0 of a delta sequence, expanded once into the sequence, and the
// object's own copy of its picture; false when either cannot be had.
bool PrepareDeltaPicture(AnimObject &object, SequenceEntry &sequence) {
    const auto size = DeltaPictureSize(ResolveFrame(sequence, 0));
    if (!size) return false;
    const ANXFRAME *frame =
        ExpandDeltaFrame(sequence, 0, object.tableIndex, size->width, size->height);
    if (frame == nullptr) return false;
    object.frameDib = CopyAnxFrameRectToDIB(frame, 0);
    if (object.frameDib == nullptr) return false;
    object.dibStride = static_cast<std::int32_t>(platform::RowStride(size->width));
    return true;
}

}  // namespace

}  // namespace anim::projector

extern "C" {

ANIM_API void TerminateProjector(EngineState *engine) {
    using namespace anim::projector;
    if (engine == nullptr) return;
    // After a failed InitProjector some tables may exist but nothing can
    // have been put in them: every other operation refuses to run.
    if (engine->animObjects.entries != nullptr && engine->sequences.entries != nullptr &&
        engine->playerNumbers.entries != nullptr && engine->multiAnims.entries != nullptr) {
        for (std::int32_t i = 0; i < engine->animObjects.capacity; ++i) DestroyObject(engine, i);
        for (std::int32_t i = 0; i < engine->multiAnims.capacity; ++i) {
            if (engine->multiAnims.entries[i].inUse != 0) DestroyMultiAnim(engine, i);
        }
    }
    FreeTables(engine);
}

ANIM_API int32_t GetAnimObject(EngineState *engine) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    const std::int32_t slot = FreeSlot(engine->animObjects);
    if (slot < 0) return -1;
    auto *buffer = static_cast<std::uint8_t *>(ALLOCATE(kObjectBufferSize));
    if (buffer == nullptr) {
        ANIM_TRACE(kSource, "GetAnimObject: buffer allocation FAILED!",
                   anim::kTraceAllocationFailed);
        return -1;
    }
    const std::int32_t sprite = AddSprite(engine);
    const std::int32_t image = sprite != -1 ? AddSpriteDib(engine, nullptr) : -1;
    if (image == -1) {
        ANIM_TRACE(kSource, "GetAnimObject: no sprite or sprite image left.",
                   anim::kTraceMissingArgument);
        if (sprite != -1) DeleteSprite(engine, sprite);
        FREE(buffer);
        return -1;
    }
    SetSpriteSpriteDib(engine, sprite, image);
    AnimObject &o = engine->animObjects.entries[slot];
    o = AnimObject{};
    o.inUse = 1;
    o.flags = kObjectCreated;
    o.number = 0;
    o.seqSlot = -1;
    o.numberSetSlot = -1;
    o.sprite = sprite;
    o.spriteDib = image;
    o.buffer = buffer;
    o.bufferSize = kObjectBufferSize;
    ++engine->animObjects.count;
    return slot;
}

ANIM_API void DestroyAnimObject(EngineState *engine, int32_t object) {
    anim::projector::DestroyObject(engine, object);
}

ANIM_API int32_t SetAnimObjectAnim(EngineState *engine, int32_t object, int32_t id,
                                   int32_t tableIndex, int32_t /*unused*/) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return 0;
    ReleasePlayed(engine, *o);
    if (id == -1) return 1;
    const std::int32_t slot = FindSequence(engine, id);
    if (slot < 0) return 0;
    SequenceEntry &sequence = engine->sequences.entries[slot];
    AddRefSequence(engine, slot);
    o->seqSlot = slot;
    const std::int32_t numbers = FindPlayerNumberSet(engine, id);
    if (numbers >= 0) {
        AddRefPlayerNumberSet(engine, numbers);
        o->numberSetSlot = numbers;
    }
    o->seqId = sequence.id;
    o->frame = 0;
    o->tableIndex = tableIndex >= 0 && tableIndex < sequence.tableCount ? tableIndex : 0;
    o->isDelta = sequence.isDelta;
    if (sequence.isDelta != 0) {
        if (!PrepareDeltaPicture(*o, sequence)) {
            ReleasePlayed(engine, *o);
            return 0;
        }
        return 1;
    }
    return sequence.expandSize <= o->bufferSize ? 1 : 0;
}

ANIM_API int32_t SetAnimObjectPlayerNumber(EngineState *engine, int32_t object, int32_t number,
                                           int32_t flag) {
    using namespace anim::projector;
    ANIM_ASSERT(number >= 0 && number <= kMaxPlayerNumber, kSource);
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return 0;
    const std::int32_t previous = o->number;
    o->number = number;
    if (flag != 0) {
        o->flags |= kObjectNumberFlag;
    } else {
        o->flags &= ~kObjectNumberFlag;
    }
    return previous;
}

ANIM_API int32_t FrameCount(EngineState *engine, int32_t object) {
    using namespace anim::projector;
    AnimObject *o = ObjectAt(engine, object);
    if (o == nullptr) return 0;
    const SequenceEntry *s = SequenceAt(engine, o->seqSlot);
    return s != nullptr ? s->frameCount : 0;
}

ANIM_API int32_t GetFrameNum(EngineState *engine, int32_t object) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    return o != nullptr ? o->frame : 0;
}

// Objects outside the table or free: -1, no sprite.
ANIM_API int32_t GetSprite(EngineState *engine, int32_t object) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    return o != nullptr ? o->sprite : -1;
}

ANIM_API int32_t GetSpriteDib(EngineState *engine, int32_t object) {
    const auto *o = anim::projector::ObjectAt(engine, object);
    return o != nullptr ? o->spriteDib : -1;
}

ANIM_API int32_t GetSeqFromPoint(EngineState *engine, int32_t x, int32_t y) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    std::int32_t sprite = 0;
    if (GetSpriteFromPoint(engine, x, y, &sprite) == 0) return -1;
    const auto &table = engine->animObjects;
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        if (table.entries[i].inUse != 0 && table.entries[i].sprite == sprite) return i;
    }
    return -1;
}

}  // extern "C"
