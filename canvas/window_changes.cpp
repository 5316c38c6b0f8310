// What a window's presenter must show again: the window's record of the
// library's writes, joined by the dirty-rectangle rule into as few
// rectangles as the rule finds worth it, and the serial of its colours.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "animate.h"
#include "dib/rect.h"
#include "platform/display.h"

namespace anim::canvas {
namespace {

using Joined = std::array<RECT, platform::kRecordedWrites>;

// Adds r the way the rectangle search adds its regions: the first listed
// rectangle it should join leaves the list and their union is added in its
// place by the same rule, so a union can go on to swallow others.
void AddJoined(Joined &list, std::size_t &count, RECT r) {
    for (std::size_t i = 0; i < count;) {
        if (!dib::ShouldJoin(r, list[i])) {
            ++i;
            continue;
        }
        r = dib::Union(r, list[i]);
        std::copy(list.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                  list.begin() + static_cast<std::ptrdiff_t>(count),
                  list.begin() + static_cast<std::ptrdiff_t>(i));
        --count;
        i = 0;
    }
    // Never full: the list holds at most as many as the record it came from.
    list[count++] = r;
}

// The rectangles to show of one window's changes, at most capacity of them
// (the whole window when more are needed); the count written.
std::int32_t JoinWindowChanges(const platform::WindowChanges &changes, RECT *rects,
                               std::int32_t capacity) {
    Joined joined;
    std::size_t count = 0;
    for (std::size_t i = 0; i < changes.count; ++i) AddJoined(joined, count, changes.writes[i]);
    if (count > static_cast<std::size_t>(capacity)) {
        rects[0] = changes.whole;
        return 1;
    }
    std::copy_n(joined.begin(), count, rects);
    return static_cast<std::int32_t>(count);
}

}  // namespace
}  // namespace anim::canvas

extern "C" {

ANIM_API int32_t AnimWindowChanges(HDC dc, RECT *rects, int32_t capacity, uint32_t *colourSerial) {
    if (rects == nullptr || capacity < 1) return -1;
    const std::optional<anim::platform::WindowChanges> changes =
        anim::platform::TakeWindowChanges(dc);
    if (!changes) return -1;
    if (colourSerial != nullptr) *colourSerial = changes->colourSerial;
    return anim::canvas::JoinWindowChanges(*changes, rects, capacity);
}

}  // extern "C"
