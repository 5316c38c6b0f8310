// Inclusive-rectangle arithmetic and the dirty-rectangle join rule.
#include "dib/rect.h"

namespace anim::dib {
namespace {

std::int32_t g_join_overhead = 3000;
JoinMode g_join_mode = JoinMode::kCost;

// The join rule is defined in 32-bit arithmetic, and callers tuned their
// overheads against it, so sums and products wrap modulo 2^32 exactly as
// that arithmetic does rather than saturating or widening. Unsigned
// operations keep the wrap defined.
constexpr std::int32_t Wrap(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}
constexpr std::uint32_t Bits(std::int32_t v) {
    return static_cast<std::uint32_t>(v);
}

// Deliberately (right - left) * (bottom - top), not the pixel count: the
// overheads in use were chosen for this measure.
constexpr std::int32_t Area(const RECT &r) {
    return Wrap((Bits(r.right) - Bits(r.left)) * (Bits(r.bottom) - Bits(r.top)));
}

}  // namespace

void SetJoinOverhead(std::int32_t overhead) {
    g_join_overhead = overhead;
}
void SetJoinMode(JoinMode mode) {
    g_join_mode = mode;
}
JoinMode CurrentJoinMode() {
    return g_join_mode;
}

bool ShouldJoin(const RECT &a, const RECT &b) {
    if (g_join_mode == JoinMode::kEdge) {
        // Distance is irrelevant here: a shared pair of edges means the union
        // is a clean strip however far apart the two lie.
        return (a.left == b.left && a.right == b.right) || (a.top == b.top && a.bottom == b.bottom);
    }
    const std::int32_t joined = Area(Union(a, b));
    const std::int32_t parts = Wrap(Bits(Area(a)) + Bits(Area(b)));
    if (g_join_overhead < 0) {
        return static_cast<double>(joined) < 1.2 * static_cast<double>(parts);
    }
    return Wrap(Bits(g_join_overhead) + Bits(parts)) > joined;
}

}  // namespace anim::dib

using namespace anim::dib;

// Null arguments are answered with 0 and nothing written, so a caller's
// mistake never becomes a wild write inside the library.
extern "C" {

ANIM_API int32_t DibIntersectRect(RECT *result, const RECT *a, const RECT *b) {
    if (result == nullptr || a == nullptr || b == nullptr) return 0;
    *result = Intersection(*a, *b);  // by value: result may alias a or b
    return IsEmpty(*result) ? 0 : 1;
}

ANIM_API int32_t DibIsRectEmpty(const RECT *r) {
    if (r == nullptr) return 0;
    return IsEmpty(*r) ? 1 : 0;
}

ANIM_API void DibSetRectEmpty(RECT *r) {
    if (r != nullptr) *r = kEmptyRect;
}

ANIM_API int32_t DibUnionRect(RECT *result, const RECT *a, const RECT *b) {
    if (result == nullptr || a == nullptr || b == nullptr) return 0;
    *result = Union(*a, *b);
    return 1;
}

ANIM_API void DibRectMakeExclusive(RECT *r) {
    if (r == nullptr) return;
    // INT32_MAX wraps to INT32_MIN, as the 32-bit platform form would.
    r->right = static_cast<int32_t>(static_cast<uint32_t>(r->right) + 1u);
    r->bottom = static_cast<int32_t>(static_cast<uint32_t>(r->bottom) + 1u);
}

ANIM_API void SetJoinRectOverhead(int32_t overhead) {
    SetJoinOverhead(overhead);
}

ANIM_API int32_t ShouldJoinRect(const RECT *a, const RECT *b) {
    if (a == nullptr || b == nullptr) return 0;
    return ShouldJoin(*a, *b) ? 1 : 0;
}

}  // extern "C"
