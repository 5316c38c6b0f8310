// The record a window keeps for its presenter: where the library wrote and
// whether the colours it shows moved on. Writes are kept as they came;
// joining them is the business of the layer that owns the join rule.
#include <algorithm>

#include "animate.h"
#include "platform/display.h"
#include "platform/display_objects.h"

namespace anim::platform {
namespace display {

void NoteWindowWrite(AnimDeviceContext &window, std::int64_t left, std::int64_t top,
                     std::int64_t right, std::int64_t bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, window.width - 1);
    bottom = std::min<std::int64_t>(bottom, window.height - 1);
    if (right < left || bottom < top) return;
    // Inside the window, so every bound fits the record's 32 bits.
    const RECT written{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                       static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    AnimWindowRecord &record = window.record;
    if (record.count < record.writes.size()) {
        record.writes[record.count++] = written;
        return;
    }
    // Full: a game that never reads still pays one comparison a write, and
    // the last entry covers everything since.
    RECT &last = record.writes.back();
    last = RECT{std::min(last.left, written.left), std::min(last.top, written.top),
                std::max(last.right, written.right), std::max(last.bottom, written.bottom)};
}

void StartWindowRecord(AnimDeviceContext &window) {
    window.record.count = 0;
    ShownColours(window, window.record.shownColours);
}

}  // namespace display

std::optional<WindowChanges> TakeWindowChanges(HDC dc) {
    AnimDeviceContext *window = display::FindContext(dc);
    if (window == nullptr || window->kind != AnimDeviceContext::Kind::kWindow) return std::nullopt;
    AnimWindowRecord &record = window->record;
    WindowChanges changes{};
    changes.count = record.count;
    std::copy_n(record.writes.begin(), record.count, changes.writes.begin());
    changes.whole = RECT{0, 0, window->width - 1, window->height - 1};

    const auto before = record.shownColours;
    display::StartWindowRecord(*window);
    const bool recoloured = !std::equal(
        before.begin(), before.end(), record.shownColours.begin(),
        [](const RGBQUAD &a, const RGBQUAD &b) {
            return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
        });
    if (recoloured) ++record.colourSerial;
    changes.colourSerial = record.colourSerial;
    return changes;
}

}  // namespace anim::platform
