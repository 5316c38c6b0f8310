// The effect blitter exports: shadow, haze and ghost copies and the mono
// mask clears.
#include <utility>

#include "animate.h"
#include "blit/kernels.h"

namespace {

using anim::blit::ActiveKernels;

inline std::uint8_t Low(uint32_t v) {
    return static_cast<std::uint8_t>(v);
}

inline std::uint8_t RotateLeft(std::uint8_t v, unsigned n) {
    n %= 8;
    return n == 0 ? v : static_cast<std::uint8_t>(v << n | v >> (8 - n));
}

// The two row patterns after the phase: bit 0 swaps them, the low byte
// halved rotates both left.
struct RowPatterns {
    std::uint8_t first, second;
};

RowPatterns ApplyPhase(uint32_t phase, uint32_t pattern1, uint32_t pattern2) {
    std::uint8_t p1 = Low(pattern1), p2 = Low(pattern2);
    if (phase & 1u) std::swap(p1, p2);
    const unsigned turn = Low(phase) / 2u;
    return {RotateLeft(p1, turn), RotateLeft(p2, turn)};
}

}  // namespace

extern "C" {

ANIM_API void ShadowCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                                int32_t dstStride, int32_t srcStride, uint32_t transparent,
                                uint32_t shadowColour) {
    if (width == 0 || height == 0) return;
    ActiveKernels().shadow(dst, src, width, height, dstStride, srcStride, Low(transparent),
                           Low(shadowColour));
}

ANIM_API void HazeCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                              int32_t dstStride, int32_t srcStride, uint32_t transparent,
                              uint32_t hazeColour, uint32_t phase, uint32_t pattern1,
                              uint32_t pattern2) {
    if (width == 0 || height == 0) return;
    const RowPatterns rows = ApplyPhase(phase, pattern1, pattern2);
    ActiveKernels().haze(dst, src, width, height, dstStride, srcStride, Low(transparent),
                         Low(hazeColour), rows.first, rows.second);
}

ANIM_API void GhostCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride, uint32_t transparent,
                               uint32_t phase, uint32_t pattern1, uint32_t pattern2) {
    if (width == 0 || height == 0) return;
    const RowPatterns rows = ApplyPhase(phase, pattern1, pattern2);
    ActiveKernels().ghost(dst, src, width, height, dstStride, srcStride, Low(transparent),
                          rows.first, rows.second);
}

ANIM_API void ZeroDIBUsingMonoMask(uint8_t *dst, const uint8_t *mask, uint32_t width,
                                   uint32_t height, int32_t dstStride, int32_t maskStride) {
    if (width == 0 || height == 0) return;
    ActiveKernels().zeroMask(dst, mask, width, height, dstStride, maskStride);
}

ANIM_API void ZeroDIBUsingWidenedMonoMask(uint8_t *dst, const uint8_t *mask, uint32_t width,
                                          uint32_t height, int32_t dstStride, int32_t maskStride) {
    if (width == 0 || height == 0) return;
    ActiveKernels().zeroWidenedMask(dst, mask, width, height, dstStride, maskStride);
}

}  // extern "C"
