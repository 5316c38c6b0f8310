// The span blitter exports: argument checks that cost nothing per pixel,
// then the active kernel set.
#include <cstring>

#include "animate.h"
#include "blit/blit.h"
#include "blit/kernels.h"

namespace anim::blit {

void StretchDIBBits2xX(std::uint8_t *dstBase, std::int32_t dstOffset, const std::uint8_t *src,
                       std::uint32_t width, std::uint32_t height, std::int32_t dstStride,
                       std::int32_t srcStride) {
    if (width == 0 || height == 0) return;
    ActiveKernels().stretch2x(dstBase + dstOffset, src, width, height, dstStride, srcStride);
}

}  // namespace anim::blit

using anim::blit::ActiveKernels;

namespace {

inline std::uint8_t Low(uint32_t v) {
    return static_cast<std::uint8_t>(v);
}

// Rows that follow one another without a gap, in both blocks and in the
// same order, are one block: one library copy beats a loop of row copies.
void CopyRows(std::uint8_t *dst, const std::uint8_t *src, std::uint32_t width, std::uint32_t height,
              std::int32_t dstStride, std::int32_t srcStride) {
    const std::int64_t row = width;
    if (dstStride == srcStride && (dstStride == row || dstStride == -row)) {
        // With negative strides the block's first byte is the last row's.
        const std::int64_t back = dstStride < 0 ? (std::int64_t{height} - 1) * row : 0;
        std::memmove(dst - back, src - back, static_cast<std::size_t>(row * height));
        return;
    }
    ActiveKernels().copy(dst, src, width, height, dstStride, srcStride);
}

}  // namespace

extern "C" {

ANIM_API void CopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                          int32_t dstStride, int32_t srcStride) {
    if (width == 0 || height == 0) return;
    CopyRows(dst, src, width, height, dstStride, srcStride);
}

ANIM_API void CopyDIBBitsX(uint8_t *dstBase, int32_t dstOffset, const uint8_t *src, uint32_t width,
                           uint32_t height, int32_t dstStride, int32_t srcStride) {
    if (width == 0 || height == 0) return;
    CopyRows(dstBase + dstOffset, src, width, height, dstStride, srcStride);
}

ANIM_API void TransCopyDIBBits(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride, uint32_t transparent) {
    if (width == 0 || height == 0) return;
    ActiveKernels().transCopy(dst, src, width, height, dstStride, srcStride, Low(transparent));
}

ANIM_API void TransCopyDIBBitsX(uint8_t *dstBase, int32_t dstOffset, const uint8_t *src,
                                uint32_t width, uint32_t height, int32_t dstStride,
                                int32_t srcStride, uint32_t transparent) {
    if (width == 0 || height == 0) return;
    ActiveKernels().transCopy(dstBase + dstOffset, src, width, height, dstStride, srcStride,
                              Low(transparent));
}

ANIM_API void CopyDIBBitsReverseX(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                                  int32_t dstStride, int32_t srcStride) {
    if (width == 0 || height == 0) return;
    ActiveKernels().reverseCopy(dst, src, width, height, dstStride, srcStride);
}

ANIM_API void FillDIBBits(uint8_t *dst, uint32_t width, uint32_t height, int32_t dstStride,
                          uint32_t colour) {
    if (width == 0 || height == 0) return;
    ActiveKernels().fill(dst, width, height, dstStride, Low(colour));
}

ANIM_API void PaintHorizDIBBits(uint8_t *dst, uint32_t count, uint32_t colour) {
    if (count == 0) return;
    std::memset(dst, Low(colour), count);
}

ANIM_API void StretchDIBBits2x(uint8_t *dst, const uint8_t *src, uint32_t width, uint32_t height,
                               int32_t dstStride, int32_t srcStride) {
    anim::blit::StretchDIBBits2xX(dst, 0, src, width, height, dstStride, srcStride);
}

ANIM_API int32_t EnableManualDoubling(int32_t /*flag*/) {
    return 0;
}

}  // extern "C"
