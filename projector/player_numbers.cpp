// Player-number sets (the number overlays a file carries for a sequence),
// the two team number colours, and the filter that prepares number art.
//
//   record  := F2(i16) (u32){4} overlayOffset(u32){F2} (u32){F2} overlay*
//   overlay := Anx frame holding a number-overlay stream   ; offsets from the
//                                                          ; first overlay;
//                                                          ; 0xFFFFFFFF or
//                                                          ; 0xFFFFFFD0: none
//
// The record's fields are not aligned; they are read with memcpy. Each
// overlay may use the bytes from its start to the end of the body.
#include <cstring>

#include "dib/anx_frame.h"
#include "projector/projector.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::projector {
namespace {

constexpr std::size_t kOffsetsAt = 18;
constexpr std::uint32_t kNoNumber = 0xFFFFFFFFu;
constexpr std::uint32_t kNoNumberToo = 0xFFFFFFD0u;  // -48, written by older tools

template <typename T>
T Read(const std::uint8_t *at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Pixel values that have a segment class in number art.
constexpr bool IsNumberArt(std::uint8_t v) { return (v >= 1 && v <= 9) || (v >= 246 && v <= 250); }

}  // namespace

std::int32_t FindPlayerNumberSet(EngineState *engine, std::int32_t id) {
    const auto &table = engine->playerNumbers;
    for (std::int32_t i = 0; i < table.capacity; ++i) {
        const PlayerNumberSet &s = table.entries[i];
        if (s.inUse != 0 && s.id == static_cast<std::uint32_t>(id)) return i;
    }
    return -1;
}

std::int32_t CreatePlayerNumberSet(EngineState *engine, RecordView record, std::int32_t id) {
    RequireTables(engine, kNumbersSource);
    ANIM_ASSERT(id != -1, kNumbersSource);
    ANIM_ASSERT(FindPlayerNumberSet(engine, id) == -1, kNumbersSource);

    if (record.available < kOffsetsAt) return -1;
    const std::int32_t frames = Read<std::int16_t>(record.data);
    if (frames < 0) return -1;
    const auto dataStart = platform::CheckedSize(8, frames, kOffsetsAt);
    if (!dataStart || *dataStart > record.available) return -1;
    const std::size_t dataBytes = record.available - *dataStart;
    std::uint8_t *data = record.data + *dataStart;
    const std::uint8_t *offsets = record.data + kOffsetsAt;
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto offset = Read<std::uint32_t>(offsets + 4 * k);
        if (offset == kNoNumber || offset == kNoNumberToo) continue;
        if (offset > dataBytes || dataBytes - offset < dib::kHeaderSize) return -1;
        const std::int32_t rects = Read<std::int16_t>(data + offset + 2);
        if (rects < 0 || dib::kEntrySize * static_cast<std::size_t>(rects) >
                             dataBytes - offset - dib::kHeaderSize)
            return -1;
    }

    const std::int32_t slot = FreeSlot(engine->playerNumbers);
    if (slot < 0) return -1;
    const auto blockSize = platform::CheckedSize(sizeof(ANXFRAME *) + sizeof(std::uint32_t), frames);
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr && frames > 0) {
        ANIM_TRACE(kNumbersSource, "CreatePlayerNumberSet: allocation FAILED!",
                   kTraceAllocationFailed);
        return -1;
    }
    PlayerNumberSet &s = engine->playerNumbers.entries[slot];
    s = PlayerNumberSet{};
    s.inUse = 1;
    s.id = static_cast<std::uint32_t>(id);
    s.frameCount = frames;
    s.block = block;
    if (block != nullptr) {
        s.overlays = reinterpret_cast<const ANXFRAME **>(block);
        s.overlayLimits = reinterpret_cast<std::uint32_t *>(block + sizeof(ANXFRAME *) * frames);
    }
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto offset = Read<std::uint32_t>(offsets + 4 * k);
        if (offset == kNoNumber || offset == kNoNumberToo) continue;
        s.overlays[k] = reinterpret_cast<const ANXFRAME *>(data + offset);
        s.overlayLimits[k] = static_cast<std::uint32_t>(dataBytes - offset);
    }
    ++engine->playerNumbers.count;
    return slot;
}

std::int32_t DestroyPlayerNumberSet(EngineState *engine, std::int32_t slot) {
    PlayerNumberSet *s = NumberSetAt(engine, slot);
    if (s == nullptr) return 1;
    if (s->refCount != 0) return 0;
    FREE(s->block);
    *s = PlayerNumberSet{};
    s->id = kNone;
    --engine->playerNumbers.count;
    return 1;
}

std::int32_t AddRefPlayerNumberSet(EngineState *engine, std::int32_t slot) {
    PlayerNumberSet *s = NumberSetAt(engine, slot);
    if (s == nullptr) return 0;
    return ++s->refCount;
}

std::int32_t ReleasePlayerNumberSet(EngineState *engine, std::int32_t slot) {
    PlayerNumberSet *s = NumberSetAt(engine, slot);
    if (s == nullptr) return 0;
    const std::int32_t count = --s->refCount;
    ANIM_ASSERT(count >= 0, kNumbersSource);
    return count;
}

}  // namespace anim::projector

extern "C" {

// A team other than 0 or 1 stores nothing; the colour is returned all the
// same.
ANIM_API uint8_t SetPlayerNumbersTeamColor(EngineState *engine, int32_t team, uint8_t colour) {
    if (engine != nullptr && team >= 0 && team < anim::projector::kMaxTables) {
        engine->teamNumberColors[team] = colour;
    }
    return colour;
}

ANIM_API void AnxFilterJerseyColors(uint8_t *pixels, uint16_t width, uint16_t height) {
    if (pixels == nullptr) return;
    const std::size_t count = std::size_t{width} * height;
    for (std::size_t i = 0; i < count; ++i) {
        if (!anim::projector::IsNumberArt(pixels[i])) pixels[i] = 0;
    }
}

}  // extern "C"
