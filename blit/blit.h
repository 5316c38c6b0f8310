// Blitters the library uses internally but does not export.
#pragma once

#include <cstdint>

namespace anim::blit {

// StretchDIBBits2x with the destination given as base + offset, as the
// canvas addresses its surface.
void StretchDIBBits2xX(std::uint8_t *dstBase, std::int32_t dstOffset, const std::uint8_t *src,
                       std::uint32_t width, std::uint32_t height, std::int32_t dstStride,
                       std::int32_t srcStride);

}  // namespace anim::blit
