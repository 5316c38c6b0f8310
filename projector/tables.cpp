// The projector's four fixed-capacity tables: made once by InitProjector,
// freed by TerminateProjector (anim_objects.cpp), slots taken lowest first.
#include <algorithm>

#include "platform/checked_size.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {
namespace {

// A table of capacity 0 still gets a block of one entry, so that "the
// projector is initialised" is simply "every table has its block".
template <typename Entry>
bool MakeTable(Table<Entry> &table, std::int32_t capacity) {
    const auto size = platform::CheckedSize(sizeof(Entry), std::max(capacity, 1));
    auto *entries = size ? static_cast<Entry *>(ALLOCATE(*size)) : nullptr;
    if (entries == nullptr) {
        ANIM_TRACE(kSource, "InitProjector: table allocation FAILED!", kTraceAllocationFailed);
        return false;
    }
    table.entries = entries;
    table.capacity = capacity;
    table.count = 0;
    return true;
}

template <typename Entry>
void DropTable(Table<Entry> &table) {
    FREE(table.entries);
    table.entries = nullptr;
    table.capacity = 0;
    table.count = 0;
}

bool Initialised(const EngineState *engine) {
    return engine != nullptr && engine->animObjects.entries != nullptr &&
           engine->sequences.entries != nullptr && engine->playerNumbers.entries != nullptr &&
           engine->multiAnims.entries != nullptr;
}

}  // namespace

void RequireTables(EngineState *engine, const char *source) {
    ANIM_ASSERT(Initialised(engine), source);
}

AnimObject *ObjectAt(EngineState *engine, std::int32_t index) {
    RequireTables(engine, kSource);
    const auto &table = engine->animObjects;
    if (index < 0 || index >= table.capacity || table.entries[index].inUse == 0) return nullptr;
    return &table.entries[index];
}

SequenceEntry *SequenceAt(EngineState *engine, std::int32_t slot) {
    const auto &table = engine->sequences;
    if (slot < 0 || slot >= table.capacity || table.entries[slot].inUse == 0) return nullptr;
    return &table.entries[slot];
}

PlayerNumberSet *NumberSetAt(EngineState *engine, std::int32_t slot) {
    const auto &table = engine->playerNumbers;
    if (slot < 0 || slot >= table.capacity || table.entries[slot].inUse == 0) return nullptr;
    return &table.entries[slot];
}

void FreeTables(EngineState *engine) {
    DropTable(engine->animObjects);
    DropTable(engine->sequences);
    DropTable(engine->playerNumbers);
    DropTable(engine->multiAnims);
}

}  // namespace anim::projector

extern "C" {

ANIM_API int32_t InitProjector(EngineState *engine, int32_t maxAnimObjects, int32_t maxSequences,
                               int32_t maxMultiAnims) {
    using namespace anim::projector;
    if (engine == nullptr) {
        ANIM_TRACE(kSource, "InitProjector: no engine.", anim::kTraceMissingArgument);
        return 0;
    }
    // A second call would lose the first tables and whatever they hold.
    if (engine->animObjects.entries != nullptr || engine->sequences.entries != nullptr ||
        engine->playerNumbers.entries != nullptr || engine->multiAnims.entries != nullptr) {
        ANIM_TRACE(kSource, "InitProjector: the projector is already initialised.",
                   anim::kTraceMissingArgument);
        return 0;
    }
    if (maxAnimObjects < 0 || maxSequences < 0 || maxMultiAnims < 0) {
        ANIM_TRACE(kSource, "InitProjector: negative capacity.", anim::kTraceMissingArgument);
        return 0;
    }
    if (!MakeTable(engine->animObjects, maxAnimObjects)) return 0;
    for (std::int32_t i = 0; i < maxAnimObjects; ++i) {
        AnimObject &o = engine->animObjects.entries[i];
        o.seqSlot = o.numberSetSlot = o.sprite = o.spriteDib = -1;
    }
    if (!MakeTable(engine->sequences, maxSequences)) return 0;
    for (std::int32_t i = 0; i < maxSequences; ++i) engine->sequences.entries[i].id = kNone;
    if (!MakeTable(engine->playerNumbers, maxSequences)) return 0;
    for (std::int32_t i = 0; i < maxSequences; ++i) engine->playerNumbers.entries[i].id = kNone;
    if (!MakeTable(engine->multiAnims, maxMultiAnims)) return 0;
    return 1;
}

}  // extern "C"
