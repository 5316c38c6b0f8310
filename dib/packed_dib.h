// Layout of a packed DIB: header, colour-table area and pixel rows at fixed
// offsets, rows bottom-up with a stride rounded up to 4 bytes.
#pragma once

#include <cstdint>

#include "animate.h"

namespace anim::dib {

inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kColourTableSize = 1024;
inline constexpr std::uint32_t kColourTableOffset = kInfoHeaderSize;
inline constexpr std::uint32_t kPixelOffset = kInfoHeaderSize + kColourTableSize;  // 1064
inline constexpr std::uint32_t kColourCount = 256;
inline constexpr std::uint16_t kBitsPerPixel = 8;

// Source name in trace lines and assertions of the DIB code.
inline constexpr char kSource[] = "DIB";

static_assert(sizeof(BITMAPINFOHEADER) == kInfoHeaderSize);
static_assert(kPixelOffset == 1064);

// Bytes per stored row of an 8-bit picture width pixels wide.
constexpr std::int64_t Stride(std::int64_t width) { return (width + 3) & ~std::int64_t{3}; }

inline std::uint8_t *Bytes(BITMAPINFOHEADER *dib) { return reinterpret_cast<std::uint8_t *>(dib); }
inline const std::uint8_t *Bytes(const BITMAPINFOHEADER *dib) {
    return reinterpret_cast<const std::uint8_t *>(dib);
}
inline std::uint8_t *Pixels(BITMAPINFOHEADER *dib) { return Bytes(dib) + kPixelOffset; }
inline const std::uint8_t *Pixels(const BITMAPINFOHEADER *dib) { return Bytes(dib) + kPixelOffset; }

// Writes the identity index table (entry i = i, 16 bits each) into the
// colour-table area and zeroes its second half, as DIBs made here carry.
void WriteIdentityIndexTable(BITMAPINFOHEADER *dib);

// A new zeroed 8-bit DIB with the library's own header values; null when
// the sizes are negative or too large, or no block can be had.
BITMAPINFOHEADER *NewDib(std::int32_t width, std::int32_t height);

}  // namespace anim::dib
