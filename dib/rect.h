// Inclusive rectangles and the rule that decides whether two dirty
// rectangles are cheaper repainted as one. The sprite engine uses these for
// its invalid-rectangle list; the exports in rect.cpp are thin shells.
#pragma once

#include <cstdint>

#include "animate.h"

namespace anim::dib {

inline constexpr RECT kEmptyRect{0, 0, -1, -1};

enum class JoinMode {
    kCost,  // join when the union wastes less area than the overhead allows
    kEdge,  // join only rectangles that share both edges of one axis
};

constexpr bool IsEmpty(const RECT &r) {
    return r.right < r.left || r.top > r.bottom;
}

// Bounding box of a and b; empty rectangles take part like any others.
constexpr RECT Union(const RECT &a, const RECT &b) {
    return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

constexpr RECT Intersection(const RECT &a, const RECT &b) {
    return RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

// The process-wide join settings. The mode is chosen by every
// DIBFindNewRects call and stays in force for all later joins.
void SetJoinOverhead(std::int32_t overhead);
void SetJoinMode(JoinMode mode);
JoinMode CurrentJoinMode();

// True when a and b are to be replaced by their union under the current
// join settings.
bool ShouldJoin(const RECT &a, const RECT &b);

}  // namespace anim::dib
