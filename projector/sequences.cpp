// Loaded sequences: entering a sequence record of a loaded file in the
// sequence table, finding it by id, counting its players, the recoloured
// second table, and frames resolved and replaced by expanded ones.
//
//   record := count(i16, < 0 delta) version(u8 = 4) (u8) expand(u32) (u32){3}
//             table(u16){256} S(u32) (u8){S}
//             frameOffset(u32){F} (u32){F} frame{F}        ; F = |count|
//   frame  := Anx frame                                     ; offsets from the
//                                                           ; first frame
//           | header(32) with rectCount 0, repeat(i16) at 30 ; a real frame of F
//
// The record lies in a file block at any byte address, so every field is
// read with memcpy. The table is copied into the entry's own block, where it
// is aligned for the decoder, which reads it as 16-bit entries and writes its
// entry 0 while a line decode runs. Stream lengths are not in the file: each
// frame may use the bytes from its start to the end of the sequence part of
// the body, and the decoder is bounded by that.
#include <cstring>

#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "platform/platform.h"
#include "projector/projector.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::projector {
namespace {

constexpr std::size_t kCountAt = 0;
constexpr std::size_t kVersionAt = 2;
constexpr std::size_t kExpandAt = 4;
constexpr std::size_t kTableAt = 20;
constexpr std::size_t kSkipSizeAt = 532;
constexpr std::size_t kSkipAt = 536;
constexpr std::uint8_t kVersion = 4;
constexpr std::size_t kTableBytes = codec::kTableEntries * sizeof(std::uint16_t);
constexpr std::size_t kRepeatAt = 30;

template <typename T>
T Read(const std::uint8_t *at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::int16_t RectCount(const void *frame) {
    return Read<std::int16_t>(static_cast<const std::uint8_t *>(frame) + 2);
}

}  // namespace

std::int32_t FindSequence(EngineState *engine, std::int32_t id) {
    const auto &table = engine->sequences;
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        const SequenceEntry &s = table.entries[i];
        if (s.inUse != 0 && s.id == static_cast<std::uint32_t>(id)) return i;
    }
    return -1;
}

void DupKovrleTable(const EngineState *engine, const std::uint16_t *source, std::uint16_t *target) {
    const std::int32_t first = engine->colorShiftFirst;
    const std::int32_t count = engine->colorShiftCount;
    const std::int32_t shift = engine->colorShiftOffset;
    for (std::uint32_t i = 0; i < codec::kTableEntries; ++i) {
        const std::uint16_t entry = source[i];
        const std::int32_t v = entry & 0xFF;
        if (count != 0 && v >= first && v < first + count) {
            target[i] = static_cast<std::uint16_t>((entry & 0xFF00) | ((v + shift) & 0xFF));
        } else {
            target[i] = entry;
        }
    }
}

std::int32_t CreateSequence(EngineState *engine, RecordView record, std::int32_t id,
                            std::int32_t tableCount) {
    ANIM_ASSERT(id != -1, kSource);
    ANIM_ASSERT(FindSequence(engine, id) == -1, kSource);
    ANIM_ASSERT(tableCount == 1 || tableCount == 2, kSource);

    if (record.available < kSkipAt) return -1;
    const std::uint8_t *r = record.data;
    const std::int32_t count = Read<std::int16_t>(r + kCountAt);
    const std::int32_t frames = count < 0 ? -count : count;
    if (r[kVersionAt] != kVersion) return -1;
    const auto skip = Read<std::uint32_t>(r + kSkipSizeAt);
    const auto dataStart = platform::CheckedSize(8, frames, std::int64_t{kSkipAt} + skip);
    if (!dataStart || *dataStart > record.available) return -1;
    const std::size_t dataBytes = record.available - *dataStart;
    std::uint8_t *data = record.data + *dataStart;

    // Every frame header and its rectangle entries must lie in the body; a
    // repeat must name a real frame.
    const std::uint8_t *offsets = r + kSkipAt + skip;
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto offset = Read<std::uint32_t>(offsets + 4 * k);
        if (offset > dataBytes || dataBytes - offset < dib::kHeaderSize) return -1;
        const std::int32_t rects = RectCount(data + offset);
        if (rects < 0 || dib::kEntrySize * static_cast<std::size_t>(rects) >
                             dataBytes - offset - dib::kHeaderSize)
            return -1;
    }
    for (std::int32_t k = 0; k < frames; ++k) {
        const std::uint8_t *frame = data + Read<std::uint32_t>(offsets + 4 * k);
        if (RectCount(frame) != 0) continue;
        const std::int32_t target = Read<std::int16_t>(frame + kRepeatAt);
        if (target < 0 || target >= frames ||
            RectCount(data + Read<std::uint32_t>(offsets + 4 * target)) == 0)
            return -1;
    }

    const std::int32_t slot = FreeSlot(engine->sequences);
    if (slot < 0) return -1;
    // pointers, offset pairs, limits and flags per frame, then the tables
    const auto perFrame = sizeof(ANXFRAME *) + sizeof(POINT) + sizeof(std::uint32_t) + 1;
    const auto blockSize = platform::CheckedSize(perFrame, frames, kTableBytes * tableCount);
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr) {
        ANIM_TRACE(kSource, "CreateSequence: allocation FAILED!", kTraceAllocationFailed);
        return -1;
    }
    SequenceEntry &s = engine->sequences.entries[slot];
    s = SequenceEntry{};
    s.inUse = 1;
    s.id = static_cast<std::uint32_t>(id);
    s.refCount = 0;
    s.frameCount = frames;
    s.isDelta = count < 0 ? 1 : 0;
    s.expandSize = Read<std::uint32_t>(r + kExpandAt);
    s.tableCount = tableCount;
    s.block = block;
    std::uint8_t *at = block;
    s.frames = reinterpret_cast<ANXFRAME **>(at);
    at += sizeof(ANXFRAME *) * frames;
    s.frameOffsets = reinterpret_cast<POINT *>(at);
    at += sizeof(POINT) * frames;
    s.tables[0] = reinterpret_cast<std::uint16_t *>(at);
    at += kTableBytes;
    std::memcpy(s.tables[0], r + kTableAt, kTableBytes);
    if (tableCount == 2) {
        s.tables[1] = reinterpret_cast<std::uint16_t *>(at);
        at += kTableBytes;
        DupKovrleTable(engine, s.tables[0], s.tables[1]);
    }
    s.frameLimits = reinterpret_cast<std::uint32_t *>(at);
    at += sizeof(std::uint32_t) * frames;
    s.expanded = at;
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto offset = Read<std::uint32_t>(offsets + 4 * k);
        s.frames[k] = reinterpret_cast<ANXFRAME *>(data + offset);
        s.frameLimits[k] = static_cast<std::uint32_t>(dataBytes - offset);
    }
    ++engine->sequences.count;
    return slot;
}

std::int32_t DestroySequence(EngineState *engine, std::int32_t slot) {
    SequenceEntry *s = SequenceAt(engine, slot);
    if (s == nullptr) return 1;
    if (s->refCount != 0) return 0;
    for (std::int32_t k = 0; k < s->frameCount; ++k) DeleteExpandedFrame(*s, k);
    FREE(s->block);
    *s = SequenceEntry{};
    s->id = kNone;
    --engine->sequences.count;
    return 1;
}

std::int32_t AddRefSequence(EngineState *engine, std::int32_t slot) {
    SequenceEntry *s = SequenceAt(engine, slot);
    if (s == nullptr) return 0;
    return ++s->refCount;
}

std::int32_t ReleaseSequence(EngineState *engine, std::int32_t slot) {
    SequenceEntry *s = SequenceAt(engine, slot);
    if (s == nullptr) return 0;
    const std::int32_t count = --s->refCount;
    ANIM_ASSERT(count >= 0, kSource);
    return count;
}

ANXFRAME *ResolveFrame(const SequenceEntry &sequence, std::int32_t k, std::size_t *limit) {
    if (k < 0 || k >= sequence.frameCount) return nullptr;
    ANXFRAME *frame = sequence.frames[k];
    std::int32_t at = k;
    if (frame != nullptr && sequence.expanded[k] == 0 && RectCount(frame) == 0) {
        at = Read<std::int16_t>(reinterpret_cast<const std::uint8_t *>(frame) + kRepeatAt);
        // Checked at load; the frame it names may have been deleted since.
        frame = at >= 0 && at < sequence.frameCount ? sequence.frames[at] : nullptr;
        if (frame != nullptr && sequence.expanded[at] == 0 && RectCount(frame) == 0) frame = nullptr;
    }
    if (frame != nullptr && limit != nullptr) *limit = sequence.frameLimits[at];
    return frame;
}

void StoreExpandedFrame(SequenceEntry &sequence, std::int32_t k, ANXFRAME *frame) {
    DeleteExpandedFrame(sequence, k);
    sequence.frames[k] = frame;
    sequence.frameLimits[k] = static_cast<std::uint32_t>(platform::BlockSize(frame));
    sequence.expanded[k] = 1;
}

bool DeleteExpandedFrame(SequenceEntry &sequence, std::int32_t k) {
    if (k < 0 || k >= sequence.frameCount || sequence.expanded[k] == 0) return false;
    DeleteAnxFrame(sequence.frames[k]);
    sequence.frames[k] = nullptr;
    sequence.frameLimits[k] = 0;
    sequence.expanded[k] = 0;
    return true;
}

}  // namespace anim::projector

extern "C" {

ANIM_API void DupKOVRLETableSetup(EngineState *engine, uint8_t first, uint8_t count,
                                  uint8_t shift) {
    if (engine == nullptr) return;
    engine->colorShiftFirst = first;
    engine->colorShiftCount = count;
    engine->colorShiftOffset = shift;
}

}  // extern "C"
