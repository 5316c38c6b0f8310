// Loaded sequences: entering a sequence record of a loaded file in the
// sequence table, finding it by id, counting its players, the recoloured
// second table, and frames resolved and replaced by expanded ones. The
// record's layout is in container.h.
//
// The record lies in a file block at any byte address, so every field is
// read bytewise. The table is copied into the entry's own block, where it
// is aligned for the decoder, which reads it as 16-bit entries and writes its
// entry 0 while a line decode runs. Stream lengths are not in the file: each
// frame may use the bytes from its start to the end of the sequence part of
// the body, and the decoder is bounded by that.
#include <bit>
#include <cstring>

#include "dib/anx_frame.h"
#include "platform/checked_size.h"
#include "platform/platform.h"
#include "projector/container.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {
namespace {

// Every frame header and its rectangle entries lie in the frame data, and
// a repeat names a real frame; else which of the two fails.
[[nodiscard]] RecordFault CheckFrames(const SequenceRecordView &record,
                                      std::span<const std::uint8_t> data) {
    const std::int32_t frames = record.FrameCount();
    for (std::int32_t k = 0; k < frames; ++k) {
        if (!FrameHeadFits(data, record.FrameOffset(k))) return RecordFault::kFramesOutside;
    }
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto target = RepeatOf(data.data() + record.FrameOffset(k));
        if (!target) continue;
        if (*target < 0 || *target >= frames ||
            RepeatOf(data.data() + record.FrameOffset(*target)).has_value())
            return RecordFault::kBadRepeat;
    }
    return RecordFault::kNone;
}

// Why a sequence record cannot be entered as it lies, or kNone; framesAt
// receives where its frames start.
[[nodiscard]] RecordFault CheckRecord(std::span<const std::uint8_t> record, std::size_t &framesAt) {
    const auto view = SequenceRecordView::Open(record);
    if (!view) return RecordFault::kOutside;
    if (view->Version() != kRecordVersion) return RecordFault::kVersion;
    const auto at = view->FramesAt();
    if (!at) return RecordFault::kFramesOutside;
    framesAt = *at;
    return CheckFrames(*view, record.subspan(*at));
}

// Points the entry into its block: frame pointers, offset pairs, table 0
// (copied from the record) and with two tables the recoloured table 1,
// frame limits, then the expanded flags.
void LayOutBlock(const EngineState *engine, SequenceEntry &s, std::span<const std::uint8_t> table) {
    const std::size_t frames = static_cast<std::size_t>(s.frameCount);
    std::uint8_t *at = s.block;
    s.frames = reinterpret_cast<ANXFRAME **>(at);
    at += sizeof(ANXFRAME *) * frames;
    s.frameOffsets = reinterpret_cast<POINT *>(at);
    at += sizeof(POINT) * frames;
    s.tables[0] = reinterpret_cast<std::uint16_t *>(at);
    at += kTableBytes;
    // Entries little-endian in the file and on the machine: a plain copy.
    static_assert(std::endian::native == std::endian::little);
    std::memcpy(s.tables[0], table.data(), kTableBytes);
    if (s.tableCount == 2) {
        s.tables[1] = reinterpret_cast<std::uint16_t *>(at);
        at += kTableBytes;
        DupKovrleTable(engine, s.tables[0], s.tables[1]);
    }
    s.frameLimits = reinterpret_cast<std::uint32_t *>(at);
    at += sizeof(std::uint32_t) * frames;
    s.expanded = at;
}

}  // namespace

std::int32_t FindSequence(EngineState *engine, std::int32_t id) {
    return FindById(engine->sequences, id);
}

void RecolourTable(std::span<const std::uint16_t, kTableEntries> source,
                   std::span<std::uint16_t, kTableEntries> target, const ColourShift &colours) {
    for (std::size_t i = 0; i < kTableEntries; ++i) {
        const std::uint16_t entry = source[i];
        const std::int32_t v = entry & 0xFF;
        if (colours.count != 0 && v >= colours.first && v < colours.first + colours.count) {
            target[i] = static_cast<std::uint16_t>((entry & 0xFF00) | ((v + colours.shift) & 0xFF));
        } else {
            target[i] = entry;
        }
    }
}

void DupKovrleTable(const EngineState *engine, const std::uint16_t *source, std::uint16_t *target) {
    RecolourTable(
        std::span<const std::uint16_t, kTableEntries>(source, kTableEntries),
        std::span<std::uint16_t, kTableEntries>(target, kTableEntries),
        ColourShift{engine->colorShiftFirst, engine->colorShiftCount, engine->colorShiftOffset});
}

std::int32_t CreateSequence(EngineState *engine, std::span<std::uint8_t> record, std::int32_t id,
                            std::int32_t tableCount, RecordFault *fault) {
    ANIM_ASSERT(id != -1, kSource);
    ANIM_ASSERT(FindSequence(engine, id) == -1, kSource);
    ANIM_ASSERT(tableCount == 1 || tableCount == 2, kSource);

    RecordFault ignored = RecordFault::kNone;
    RecordFault &why = fault != nullptr ? *fault : ignored;
    std::size_t framesAt = 0;
    why = CheckRecord(record, framesAt);
    if (why != RecordFault::kNone) return -1;
    const auto view = SequenceRecordView::Open(record);
    const std::span<std::uint8_t> data = record.subspan(framesAt);

    const std::int32_t slot = FreeSlot(engine->sequences);
    if (slot < 0) {
        why = RecordFault::kTableFull;
        return -1;
    }
    const std::int32_t frames = view->FrameCount();
    // pointers, offset pairs, limits and flags per frame, then the tables
    const auto perFrame = sizeof(ANXFRAME *) + sizeof(POINT) + sizeof(std::uint32_t) + 1;
    const auto blockSize = platform::CheckedSize(perFrame, frames, kTableBytes * tableCount);
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr) {
        why = RecordFault::kNoMemory;
        return -1;
    }
    SequenceEntry &s = ClaimSlot(engine->sequences, slot, id, frames, block);
    s.isDelta = view->IsDelta() ? 1 : 0;
    s.expandSize = view->ExpandSize();
    s.tableCount = tableCount;
    LayOutBlock(engine, s, view->TableBytes());
    for (std::int32_t k = 0; k < frames; ++k) {
        const std::uint32_t offset = view->FrameOffset(k);
        s.frames[k] = reinterpret_cast<ANXFRAME *>(data.data() + offset);
        s.frameLimits[k] = static_cast<std::uint32_t>(data.size() - offset);
    }
    return slot;
}

std::int32_t DestroySequence(EngineState *engine, std::int32_t slot) {
    SequenceEntry *s = SequenceAt(engine, slot);
    // The frames the projector expanded go with the sequence.
    if (s != nullptr && s->refCount == 0) {
        for (std::int32_t k = 0; k < s->frameCount; ++k) DeleteExpandedFrame(*s, k);
    }
    return FreeUnplayed(engine->sequences, s);
}

std::int32_t AddRefSequence(EngineState *engine, std::int32_t slot) {
    return AddRef(SequenceAt(engine, slot));
}

std::int32_t ReleaseSequence(EngineState *engine, std::int32_t slot) {
    return Release(SequenceAt(engine, slot), kSource);
}

ANXFRAME *ResolveFrame(const SequenceEntry &sequence, std::int32_t k, std::size_t *limit) {
    if (k < 0 || k >= sequence.frameCount) return nullptr;
    ANXFRAME *frame = sequence.frames[k];
    std::int32_t at = k;
    if (frame != nullptr && sequence.expanded[k] == 0) {
        if (const auto target = RepeatOf(frame)) {
            at = *target;
            // Checked at load; the frame it names may have been deleted since.
            frame = at >= 0 && at < sequence.frameCount ? sequence.frames[at] : nullptr;
            if (frame != nullptr && sequence.expanded[at] == 0 && RepeatOf(frame)) frame = nullptr;
        }
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
