// Player-number sets (the number overlays a file carries for a sequence),
// the two team number colours, and the filter that prepares number art. The
// record's layout is in container.h; each overlay may use the bytes from its
// start to the end of the body.
#include "dib/anx_frame.h"
#include "platform/checked_size.h"
#include "projector/container.h"
#include "projector/projector.h"
#include "support/report.h"

namespace anim::projector {
namespace {

// Pixel values that have a segment class in number art.
constexpr bool IsNumberArt(std::uint8_t v) {
    return (v >= 1 && v <= 9) || (v >= 246 && v <= 250);
}

// Every overlay's header and rectangle entries lie in the overlay data.
[[nodiscard]] bool OverlaysFit(const NumberRecordView &record, std::span<const std::uint8_t> data) {
    for (std::int32_t k = 0; k < record.FrameCount(); ++k) {
        const std::uint32_t offset = record.OverlayOffset(k);
        if (!IsNoNumber(offset) && !FrameHeadFits(data, offset)) return false;
    }
    return true;
}

// Why a number record cannot be entered as it lies, or kNone; overlaysAt
// receives where its overlays start.
[[nodiscard]] RecordFault CheckRecord(std::span<const std::uint8_t> record,
                                      std::size_t &overlaysAt) {
    const auto view = NumberRecordView::Open(record);
    if (!view) return RecordFault::kOutside;
    if (view->FrameCount() < 0) return RecordFault::kBadCount;
    const auto at = view->OverlaysAt();
    if (!at) return RecordFault::kFramesOutside;
    overlaysAt = *at;
    return OverlaysFit(*view, record.subspan(*at)) ? RecordFault::kNone
                                                   : RecordFault::kFramesOutside;
}

}  // namespace

std::int32_t FindPlayerNumberSet(EngineState *engine, std::int32_t id) {
    return FindById(engine->playerNumbers, id);
}

std::int32_t CreatePlayerNumberSet(EngineState *engine, std::span<std::uint8_t> record,
                                   std::int32_t id, RecordFault *fault) {
    RequireTables(engine, kNumbersSource);
    ANIM_ASSERT(id != -1, kNumbersSource);
    ANIM_ASSERT(FindPlayerNumberSet(engine, id) == -1, kNumbersSource);

    RecordFault ignored = RecordFault::kNone;
    RecordFault &why = fault != nullptr ? *fault : ignored;
    std::size_t overlaysAt = 0;
    why = CheckRecord(record, overlaysAt);
    if (why != RecordFault::kNone) return -1;
    const auto view = NumberRecordView::Open(record);
    const std::int32_t frames = view->FrameCount();
    const std::span<std::uint8_t> data = record.subspan(overlaysAt);

    const std::int32_t slot = FreeSlot(engine->playerNumbers);
    if (slot < 0) {
        why = RecordFault::kTableFull;
        return -1;
    }
    const auto blockSize =
        platform::CheckedSize(sizeof(ANXFRAME *) + sizeof(std::uint32_t), frames);
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr && frames > 0) {
        why = RecordFault::kNoMemory;
        return -1;
    }
    PlayerNumberSet &s = ClaimSlot(engine->playerNumbers, slot, id, frames, block);
    if (block != nullptr) {
        s.overlays = reinterpret_cast<const ANXFRAME **>(block);
        s.overlayLimits = reinterpret_cast<std::uint32_t *>(block + sizeof(ANXFRAME *) * frames);
    }
    for (std::int32_t k = 0; k < frames; ++k) {
        const std::uint32_t offset = view->OverlayOffset(k);
        if (IsNoNumber(offset)) continue;
        s.overlays[k] = reinterpret_cast<const ANXFRAME *>(data.data() + offset);
        s.overlayLimits[k] = static_cast<std::uint32_t>(data.size() - offset);
    }
    return slot;
}

std::int32_t DestroyPlayerNumberSet(EngineState *engine, std::int32_t slot) {
    return FreeUnplayed(engine->playerNumbers, NumberSetAt(engine, slot));
}

std::int32_t AddRefPlayerNumberSet(EngineState *engine, std::int32_t slot) {
    return AddRef(NumberSetAt(engine, slot));
}

std::int32_t ReleasePlayerNumberSet(EngineState *engine, std::int32_t slot) {
    return Release(NumberSetAt(engine, slot), kNumbersSource);
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
