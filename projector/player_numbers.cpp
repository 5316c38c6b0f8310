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

}  // namespace

std::int32_t FindPlayerNumberSet(EngineState *engine, std::int32_t id) {
    return FindById(engine->playerNumbers, id);
}

std::int32_t CreatePlayerNumberSet(EngineState *engine, std::span<std::uint8_t> record,
                                   std::int32_t id) {
    RequireTables(engine, kNumbersSource);
    ANIM_ASSERT(id != -1, kNumbersSource);
    ANIM_ASSERT(FindPlayerNumberSet(engine, id) == -1, kNumbersSource);

    const auto view = NumberRecordView::Open(record);
    if (!view || view->FrameCount() < 0) return -1;
    const std::int32_t frames = view->FrameCount();
    const auto overlaysAt = view->OverlaysAt();
    if (!overlaysAt) return -1;
    const std::span<std::uint8_t> data = record.subspan(*overlaysAt);
    if (!OverlaysFit(*view, data)) return -1;

    const std::int32_t slot = FreeSlot(engine->playerNumbers);
    if (slot < 0) return -1;
    const auto blockSize =
        platform::CheckedSize(sizeof(ANXFRAME *) + sizeof(std::uint32_t), frames);
    auto *block = blockSize ? static_cast<std::uint8_t *>(ALLOCATE(*blockSize)) : nullptr;
    if (block == nullptr && frames > 0) {
        ANIM_TRACE(kNumbersSource, "CreatePlayerNumberSet: allocation FAILED!",
                   kTraceAllocationFailed);
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
