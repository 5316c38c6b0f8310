// Loading and releasing multi-animation files (their layout is in
// container.h).
//
// A loaded file is one block: the directory and the body as read (the short
// body, or the full one with player numbers), then, aligned, the sequence
// slot of each directory entry and the number-set slot of each number
// record. Every offset and count is checked against what was read before
// it is followed, and a file that points outside is refused whole.
//
// Every refusal traces one line, "LoadMultiAnim: " and the reason, so that
// a game's trace handler can tell a missing file from a damaged one, a full
// table or a lack of memory (the game's guide lists them).
#include <cstdarg>
#include <cstdio>

#include "platform/checked_size.h"
#include "platform/platform.h"
#include "projector/container.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {
namespace {

constexpr std::size_t kSlotAlign = alignof(std::int32_t);
// Room for a refusal's text: the reason and a few numbers.
constexpr std::size_t kRefusalTextSize = 192;

// Traces a refused load at the caller's line: one formatted line.
#define TRACE_REFUSAL(level, ...) \
    TraceRefusal(static_cast<std::uint16_t>(__LINE__), (level), __VA_ARGS__)

__attribute__((format(printf, 3, 4))) void TraceRefusal(std::uint16_t line, std::int32_t level,
                                                        const char *format, ...) {
    char text[kRefusalTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TraceMessage(kSource, line, text, level);
}

// Why a record was refused, as the trace words it; full names the table
// that had no free slot.
const char *FaultText(RecordFault fault, const char *full) {
    switch (fault) {
        case RecordFault::kOutside:
            return "its record lies outside the body";
        case RecordFault::kVersion:
            return "wrong version (this library reads version 4)";
        case RecordFault::kBadCount:
            return "its frame count is negative";
        case RecordFault::kFramesOutside:
            return "its frames run past the body";
        case RecordFault::kBadRepeat:
            return "a repeat frame names no real frame";
        case RecordFault::kTableFull:
            return full;
        case RecordFault::kNoMemory:
            return "out of memory";
        case RecordFault::kNone:
            break;
    }
    return "refused";
}

std::int32_t FaultLevel(RecordFault fault) {
    if (fault == RecordFault::kNoMemory) return kTraceAllocationFailed;
    if (fault == RecordFault::kTableFull) return kTraceMissingArgument;
    return kTraceFileRefused;
}

// Destroys every slot still held; false when one stays (it is played).
[[nodiscard]] bool DestroySlots(EngineState *engine, std::int32_t *slots, std::int32_t count,
                                std::int32_t (*destroy)(EngineState *, std::int32_t)) {
    bool failed = false;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t &slot = slots[i];
        if (slot == -1) continue;
        if (destroy(engine, slot) == 1) {
            slot = -1;
        } else {
            failed = true;
        }
    }
    return !failed;
}

// Releases what a multi-animation holds; false (and the entry kept, so that
// a later call can finish) while one of its sequences or sets is played.
[[nodiscard]] bool DestroyEntry(EngineState *engine, MultiAnimEntry &entry) {
    const bool sequencesGone =
        DestroySlots(engine, entry.sequenceSlots, entry.sequenceCount, DestroySequence);
    const bool setsGone =
        DestroySlots(engine, entry.numberSetSlots, entry.numberSetCount, DestroyPlayerNumberSet);
    if (!sequencesGone || !setsGone) return false;
    FREE(entry.body);
    entry = MultiAnimEntry{};
    --engine->multiAnims.count;
    return true;
}

std::int32_t Refuse(EngineState *engine, MultiAnimEntry &entry) {
    (void)DestroyEntry(engine, entry);
    return -1;
}

// How the block of a file is cut: what is read into it, where the slot
// arrays start behind that, and how long it is (nothing when that is more
// than one block can hold).
struct BlockPlan {
    std::size_t readSize = 0;
    std::size_t slotsAt = 0;
    std::int32_t numberSlots = 0;
    std::optional<std::uint32_t> blockSize;
};

// Nothing when the header's body sizes contradict each other.
[[nodiscard]] std::optional<BlockPlan> PlanBlock(const FileHeader &header, bool numbers) {
    // The sequence part lies inside the full body.
    if (numbers && header.shortBody > header.fullBody) return std::nullopt;
    const std::uint32_t bodySize = numbers ? header.fullBody : header.shortBody;
    const auto readSize = platform::CheckedSize(kDirectoryEntrySize, header.sequences, bodySize);
    if (!readSize) return BlockPlan{};
    const std::size_t slotsAt = (*readSize + kSlotAlign - 1) & ~(kSlotAlign - 1);
    const std::int32_t numberSlots = numbers ? header.numberRecords : 0;
    const auto blockSize =
        platform::CheckedSize(sizeof(std::int32_t), std::int64_t{header.sequences} + numberSlots,
                              static_cast<std::int64_t>(slotsAt));
    return BlockPlan{*readSize, slotsAt, numberSlots, blockSize};
}

// Points the entry's slot arrays behind what was read and empties them.
void LayOutSlots(MultiAnimEntry &entry, const FileHeader &header, const BlockPlan &plan) {
    entry.sequenceCount = header.sequences;
    entry.sequenceSlots = reinterpret_cast<std::int32_t *>(entry.body + plan.slotsAt);
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) entry.sequenceSlots[i] = -1;
    if (plan.numberSlots > 0) {
        entry.numberSetCount = plan.numberSlots;
        entry.numberSetSlots = entry.sequenceSlots + header.sequences;
        for (std::int32_t i = 0; i < plan.numberSlots; ++i) entry.numberSetSlots[i] = -1;
    }
}

// The file's header, with its directory and body read into a new block of
// the entry and the slot arrays laid out behind them; nothing (and the
// reason traced) when the file cannot be read whole or the block cannot be
// had.
[[nodiscard]] std::optional<FileHeader> ReadBlock(MultiAnimEntry &entry,
                                                  const LoadRequest &request) {
    if (request.path == nullptr) {
        ANIM_TRACE(kSource, "LoadMultiAnim: no file name.", kTraceMissingArgument);
        return std::nullopt;
    }
    auto file = platform::File::OpenRead(request.path);
    if (!file.IsOpen()) {
        ANIM_TRACE(kSource, "LoadMultiAnim: cannot open the file.", kTraceOpenFailed);
        return std::nullopt;
    }
    if (file.Read(entry.header, kFileHeaderSize) != static_cast<std::int64_t>(kFileHeaderSize)) {
        ANIM_TRACE(kSource, "LoadMultiAnim: truncated: the file ends inside its 16-byte header.",
                   kTraceFileRefused);
        return std::nullopt;
    }
    // The entry's header bytes are a whole header: it always parses.
    const auto header = ParseFileHeader(entry.header);
    const auto plan = PlanBlock(*header, request.numbers);
    if (!plan) {
        TRACE_REFUSAL(kTraceFileRefused,
                      "LoadMultiAnim: bad header: its sequence part (%u bytes) is larger than the "
                      "whole body (%u bytes).",
                      header->shortBody, header->fullBody);
        return std::nullopt;
    }
    if (!plan->blockSize) {
        TRACE_REFUSAL(kTraceFileRefused,
                      "LoadMultiAnim: bad header: a body of %u bytes is more than one block holds.",
                      request.numbers ? header->fullBody : header->shortBody);
        return std::nullopt;
    }
    auto *block = static_cast<std::uint8_t *>(ALLOCATE(*plan->blockSize));
    if (block == nullptr) {
        TRACE_REFUSAL(kTraceAllocationFailed,
                      "LoadMultiAnim: out of memory for the file's %u bytes.", *plan->blockSize);
        return std::nullopt;
    }
    entry.body = block;
    if (const std::int64_t read = file.Read(block, plan->readSize);
        read != static_cast<std::int64_t>(plan->readSize)) {
        TRACE_REFUSAL(kTraceFileRefused,
                      "LoadMultiAnim: truncated: the header promises %zu bytes after it, the file "
                      "holds %lld.",
                      plan->readSize, static_cast<long long>(read < 0 ? 0 : read));
        return std::nullopt;
    }
    LayOutSlots(entry, *header, *plan);
    return header;
}

// The body of a loaded entry, as far as it was read.
std::span<std::uint8_t> Body(const MultiAnimEntry &entry, const FileHeader &header, bool numbers) {
    return {entry.body + kDirectoryEntrySize * header.sequences,
            numbers ? header.fullBody : header.shortBody};
}

[[nodiscard]] bool EnterSequences(EngineState *engine, MultiAnimEntry &entry,
                                  const FileHeader &header, const LoadRequest &request) {
    const std::span<const std::uint8_t> directory(entry.body,
                                                  kDirectoryEntrySize * header.sequences);
    const std::span<std::uint8_t> body = Body(entry, header, request.numbers);
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) {
        const std::uint32_t offset = ReadDirectoryEntry(directory, i).sequence;
        RecordFault fault = RecordFault::kOutside;
        const std::int32_t sequence =
            offset > header.shortBody
                ? -1
                : CreateSequence(engine, body.subspan(offset, header.shortBody - offset),
                                 request.ids[i], request.tableCount, &fault);
        if (sequence < 0) {
            TRACE_REFUSAL(FaultLevel(fault), "LoadMultiAnim: sequence %d: %s.", i,
                          FaultText(fault, "the sequence table is full"));
            return false;
        }
        entry.sequenceSlots[i] = sequence;
    }
    return true;
}

// A number set for each directory entry with a number record, into the
// number-set slots in turn.
[[nodiscard]] bool EnterNumberSets(EngineState *engine, MultiAnimEntry &entry,
                                   const FileHeader &header, const LoadRequest &request) {
    const std::span<const std::uint8_t> directory(entry.body,
                                                  kDirectoryEntrySize * header.sequences);
    const std::span<std::uint8_t> body = Body(entry, header, request.numbers);
    std::int32_t next = 0;
    for (std::int32_t i = 0; i < entry.sequenceCount; ++i) {
        const std::uint32_t offset = ReadDirectoryEntry(directory, i).numbers;
        if (offset == kNoNumberRecord) continue;
        // More number records than the header counts have no slot.
        if (next >= entry.numberSetCount) {
            TRACE_REFUSAL(kTraceFileRefused,
                          "LoadMultiAnim: bad header: more number records than the %u it counts.",
                          header.numberRecords);
            return false;
        }
        RecordFault fault = RecordFault::kOutside;
        const std::int32_t set =
            offset > header.fullBody
                ? -1
                : CreatePlayerNumberSet(engine, body.subspan(offset, header.fullBody - offset),
                                        request.ids[i], &fault);
        if (set < 0) {
            TRACE_REFUSAL(FaultLevel(fault), "LoadMultiAnim: numbers of sequence %d: %s.", i,
                          FaultText(fault, "the player-number table is full"));
            return false;
        }
        entry.numberSetSlots[next++] = set;
    }
    return true;
}

// Whether the header is one of a multi-animation file and the caller gave
// an id for each of its sequences; traced when not.
[[nodiscard]] bool Acceptable(const FileHeader &header, const LoadRequest &request) {
    if (header.mark == 0) {
        ANIM_TRACE(kSource,
                   "LoadMultiAnim: bad mark: the header's mark is 0, no multi-animation file.",
                   kTraceFileRefused);
        return false;
    }
    if (request.ids == nullptr) {
        ANIM_TRACE(kSource, "LoadMultiAnim: no ids given.", kTraceMissingArgument);
        return false;
    }
    if (header.sequences > request.maxIds) {
        TRACE_REFUSAL(kTraceMissingArgument,
                      "LoadMultiAnim: the file holds %u sequences, more than the %d ids given.",
                      header.sequences, request.maxIds);
        return false;
    }
    return true;
}

}  // namespace

std::int32_t LoadMultiAnimFile(EngineState *engine, const LoadRequest &request) {
    const std::int32_t slot = FreeSlot(engine->multiAnims);
    if (slot < 0) {
        TRACE_REFUSAL(kTraceMissingArgument,
                      "LoadMultiAnim: the multi-animation table is full (capacity %d).",
                      engine->multiAnims.capacity);
        return -1;
    }
    MultiAnimEntry &entry = engine->multiAnims.entries[slot];
    entry = MultiAnimEntry{};
    entry.inUse = 1;
    ++engine->multiAnims.count;

    const auto header = ReadBlock(entry, request);
    if (!header || !Acceptable(*header, request)) return Refuse(engine, entry);
    if (!EnterSequences(engine, entry, *header, request)) return Refuse(engine, entry);
    if (request.numbers && !EnterNumberSets(engine, entry, *header, request))
        return Refuse(engine, entry);
    return slot;
}

std::int32_t DestroyMultiAnimEntry(EngineState *engine, std::int32_t handle) {
    auto &table = engine->multiAnims;
    if (handle < 0 || handle >= table.capacity) {
        ANIM_TRACE(kSource, "DestroyMultiAnim: handle out of range.", kTraceMissingArgument);
        return 0;
    }
    MultiAnimEntry &entry = table.entries[handle];
    if (entry.inUse == 0) return 1;
    return DestroyEntry(engine, entry) ? 1 : 0;
}

}  // namespace anim::projector

extern "C" {

ANIM_API int32_t LoadMultiAnim(EngineState *engine, const char *path, const int32_t *ids,
                               int32_t maxIds, int32_t tableCount, int32_t loadFlags) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    LoadRequest request;
    request.path = path;
    request.ids = ids;
    request.maxIds = maxIds;
    request.tableCount = tableCount;
    request.numbers = (loadFlags & ANIM_LOAD_PLAYER_NUMBERS) != 0;
    return LoadMultiAnimFile(engine, request);
}

ANIM_API int32_t DestroyMultiAnim(EngineState *engine, int32_t handle) {
    using namespace anim::projector;
    RequireTables(engine, kSource);
    return DestroyMultiAnimEntry(engine, handle);
}

}  // extern "C"
