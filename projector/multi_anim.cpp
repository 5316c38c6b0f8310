// Loading and releasing multi-animation files.
//
// Every number little-endian, no padding:
//
//   file      := header directory body
//   header    := mark(u16, >= 1) N(u16) M(u16) (u16) fullBody(u32) shortBody(u32)
//   directory := { sequence(u32) numbers(u32) }{N}   ; offsets from the body
//                                                    ; start; numbers 0: none
//   body      := sequence-record{N} number-record*   ; the sequence records in
//                                                    ; the first shortBody
//                                                    ; bytes, the number records
//                                                    ; within fullBody
//
// Records: sequences.cpp (sequence) and player_numbers.cpp (numbers).
//
// A loaded file is one block: the directory and the body as read (the short
// body, or the full one with player numbers), then, aligned, the sequence
// slot of each directory entry and the number-set slot of each number
// record. Nothing in the file is trusted: every offset and count is checked
// against what was read before it is followed, and a file that points
// outside is refused whole.
#include <cstring>

#include "platform/platform.h"
#include "projector/projector.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::projector {
namespace {

constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kSlotAlign = alignof(std::int32_t);

template <typename T>
T Read(const std::uint8_t *at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

struct FileHeader {
    std::uint16_t mark;
    std::uint16_t sequences;
    std::uint16_t numberRecords;
    std::uint32_t fullBody;
    std::uint32_t shortBody;
};

FileHeader ParseHeader(const std::uint8_t *bytes) {
    return FileHeader{Read<std::uint16_t>(bytes), Read<std::uint16_t>(bytes + 2),
                      Read<std::uint16_t>(bytes + 4), Read<std::uint32_t>(bytes + 8),
                      Read<std::uint32_t>(bytes + 12)};
}

// Releases what a multi-animation holds; false (and the entry kept, so that
// a later call can finish) while one of its sequences or sets is played.
bool DestroyEntry(EngineState *engine, MultiAnimEntry &entry) {
    bool failed = false;
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) {
        std::int32_t &slot = entry.sequenceSlots[i];
        if (slot == -1) continue;
        if (DestroySequence(engine, slot) == 1) {
            slot = -1;
        } else {
            failed = true;
        }
    }
    for (std::int32_t i = 0; i < entry.numberSetCount; ++i) {
        std::int32_t &slot = entry.numberSetSlots[i];
        if (slot == -1) continue;
        if (DestroyPlayerNumberSet(engine, slot) == 1) {
            slot = -1;
        } else {
            failed = true;
        }
    }
    if (failed) return false;
    FREE(entry.body);
    entry = MultiAnimEntry{};
    --engine->multiAnims.count;
    return true;
}

std::int32_t Refuse(EngineState *engine, MultiAnimEntry &entry) {
    DestroyEntry(engine, entry);
    return -1;
}

}  // namespace

}  // namespace anim::projector

extern "C" {

ANIM_API int32_t LoadMultiAnim(EngineState *engine, const char *path, const int32_t *ids,
                               int32_t maxIds, int32_t tableCount, int32_t loadFlags) {
    using namespace anim::projector;
    using anim::platform::CheckedSize;
    RequireTables(engine, kSource);
    const std::int32_t slot = FreeSlot(engine->multiAnims);
    if (slot < 0) return -1;
    MultiAnimEntry &entry = engine->multiAnims.entries[slot];
    entry = MultiAnimEntry{};
    entry.inUse = 1;
    ++engine->multiAnims.count;

    if (path == nullptr) {
        ANIM_TRACE(kSource, "LoadMultiAnim: no file name.", anim::kTraceMissingArgument);
        return Refuse(engine, entry);
    }
    auto file = anim::platform::File::OpenRead(path);
    if (!file.IsOpen()) {
        ANIM_TRACE(kSource, "LoadMultiAnim: cannot open the file.", anim::kTraceOpenFailed);
        return Refuse(engine, entry);
    }
    if (file.Read(entry.header, kFileHeaderSize) != static_cast<std::int64_t>(kFileHeaderSize))
        return Refuse(engine, entry);
    const FileHeader header = ParseHeader(entry.header);
    const bool numbers = (loadFlags & ANIM_LOAD_PLAYER_NUMBERS) != 0;
    const std::uint32_t bodySize = numbers ? header.fullBody : header.shortBody;
    // The sequence part lies inside the full body.
    if (numbers && header.shortBody > header.fullBody) return Refuse(engine, entry);

    const auto readSize = CheckedSize(kDirectoryEntrySize, header.sequences, bodySize);
    if (!readSize) return Refuse(engine, entry);
    const std::size_t slotsAt = (*readSize + kSlotAlign - 1) & ~(kSlotAlign - 1);
    const std::int32_t numberSlots = numbers ? header.numberRecords : 0;
    const auto blockSize =
        CheckedSize(sizeof(std::int32_t), std::int64_t{header.sequences} + numberSlots,
                    static_cast<std::int64_t>(slotsAt));
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr) {
        ANIM_TRACE(kSource, "LoadMultiAnim: allocation FAILED!", anim::kTraceAllocationFailed);
        return Refuse(engine, entry);
    }
    entry.body = block;
    if (file.Read(block, *readSize) != static_cast<std::int64_t>(*readSize))
        return Refuse(engine, entry);
    file.Close();

    entry.sequenceCount = header.sequences;
    entry.sequenceSlots = reinterpret_cast<std::int32_t *>(block + slotsAt);
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) entry.sequenceSlots[i] = -1;
    if (numberSlots > 0) {
        entry.numberSetCount = numberSlots;
        entry.numberSetSlots = entry.sequenceSlots + header.sequences;
        for (std::int32_t i = 0; i < numberSlots; ++i) entry.numberSetSlots[i] = -1;
    }
    if (header.mark == 0 || header.sequences > maxIds || ids == nullptr)
        return Refuse(engine, entry);

    std::uint8_t *body = block + kDirectoryEntrySize * header.sequences;
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) {
        const auto offset = Read<std::uint32_t>(block + kDirectoryEntrySize * i);
        if (offset > header.shortBody) return Refuse(engine, entry);
        const RecordView record{body + offset, header.shortBody - offset};
        const std::int32_t sequence = CreateSequence(engine, record, ids[i], tableCount);
        if (sequence < 0) return Refuse(engine, entry);
        entry.sequenceSlots[i] = sequence;
    }
    if (numbers) {
        std::int32_t next = 0;
        for (std::int32_t i = 0; i < entry.sequenceCount; ++i) {
            const auto offset = Read<std::uint32_t>(block + kDirectoryEntrySize * i + 4);
            if (offset == 0) continue;
            // More number records than the header counts have no slot.
            if (next >= numberSlots || offset > header.fullBody) return Refuse(engine, entry);
            const RecordView record{body + offset, header.fullBody - offset};
            const std::int32_t set = CreatePlayerNumberSet(engine, record, ids[i]);
            if (set < 0) return Refuse(engine, entry);
            entry.numberSetSlots[next++] = set;
        }
    }
    return slot;
}

ANIM_API int32_t DestroyMultiAnim(EngineState *engine, int32_t handle) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    auto &table = engine->multiAnims;
    if (handle < 0 || handle >= table.capacity) {
        ANIM_TRACE(kSource, "DestroyMultiAnim: handle out of range.", anim::kTraceMissingArgument);
        return 0;
    }
    MultiAnimEntry &entry = table.entries[handle];
    if (entry.inUse == 0) return 1;
    return DestroyEntry(engine, entry) ? 1 : 0;
}

}  // extern "C"
