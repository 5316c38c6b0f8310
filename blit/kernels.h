// The blitters' inner loops, one set per instruction set. Every set gives
// the same bytes; the exports use the best set the CPU has, chosen once.
// Callers have already returned for an empty width or height.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace anim::blit {

using CopyKernel = void (*)(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                            std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride);
using TransKernel = void (*)(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                             std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
                             std::uint8_t key);
using FillKernel = void (*)(std::uint8_t *dst, std::uint32_t width, std::uint32_t height,
                            std::int32_t dstStride, std::uint8_t colour);
using ShadowKernel = void (*)(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                              std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
                              std::uint8_t key, std::uint8_t colour);
// Patterned copies take the two row patterns after the phase has swapped
// and rotated them: even rows use first, odd rows second.
using HazeKernel = void (*)(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                            std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
                            std::uint8_t key, std::uint8_t colour, std::uint8_t first,
                            std::uint8_t second);
using GhostKernel = void (*)(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width,
                             std::uint32_t height, std::int32_t dstStride, std::int32_t srcStride,
                             std::uint8_t key, std::uint8_t first, std::uint8_t second);
using MaskKernel = void (*)(std::uint8_t *dst, const std::uint8_t *mask, std::uint32_t width,
                            std::uint32_t height, std::int32_t dstStride, std::int32_t maskStride);

struct Kernels {
    const char *name;
    CopyKernel copy;
    TransKernel transCopy;
    CopyKernel reverseCopy;
    FillKernel fill;
    CopyKernel stretch2x;
    ShadowKernel shadow;
    HazeKernel haze;
    GhostKernel ghost;
    MaskKernel zeroMask;
    MaskKernel zeroWidenedMask;
};

// The portable set, written in the blitters' classic loop shape: 32-bit
// words for the bulk of a row, single bytes for the rest.
const Kernels &ScalarKernels();
// Vector sets; null when the CPU (or the build target) lacks them.
const Kernels *Sse2Kernels();
const Kernels *Avx2Kernels();
// The set the blitters use: the fastest the CPU has, chosen on first use,
// unless a test has forced one.
const Kernels &ActiveKernels();
// Every set this CPU can run, the portable one first.
std::span<const Kernels *const> AvailableKernels();
// The available set with this name ("scalar", "sse2", "avx2"), or null.
const Kernels *KernelsNamed(std::string_view name);
// Makes every blitter use set from now on; null restores the choice by
// CPU. For tests, which run their pixel-level suites once per set: the
// library itself never calls it and has no setting that reaches it.
void ForceKernels(const Kernels *set);

// The pattern bit that pixel i of a row looks at: the running pattern is
// rotated left once per pixel, so pixel i sees bit (8 - i % 8) % 8.
constexpr bool PatternBit(std::uint8_t pattern, std::uint32_t i) {
    return ((pattern >> ((8 - i % 8) % 8)) & 1u) != 0;
}

}  // namespace anim::blit
