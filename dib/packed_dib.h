// Layout of a packed DIB: header, colour-table area and pixel rows at fixed
// offsets, rows bottom-up with a stride rounded up to 4 bytes.
#pragma once

#include <cstdint>
#include <optional>

#include "animate.h"
#include "platform/geometry.h"

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

inline std::uint8_t *Bytes(BITMAPINFOHEADER *dib) {
    return reinterpret_cast<std::uint8_t *>(dib);
}
inline const std::uint8_t *Bytes(const BITMAPINFOHEADER *dib) {
    return reinterpret_cast<const std::uint8_t *>(dib);
}
inline std::uint8_t *Pixels(BITMAPINFOHEADER *dib) {
    return Bytes(dib) + kPixelOffset;
}
inline const std::uint8_t *Pixels(const BITMAPINFOHEADER *dib) {
    return Bytes(dib) + kPixelOffset;
}

// Compressed in the low 16 bits; the upper bits carry a difference DIB's key.
constexpr bool IsCompressed(const BITMAPINFOHEADER &dib) {
    return (dib.biCompression & 0xFFFFu) != 0;
}

// Bytes of dib's pixel area that may be read. A DIB's block holds at least
// 1064 + biSizeImage bytes, so for an uncompressed DIB that is biSizeImage,
// found without asking the memory layer -- which knows the size of its own
// blocks only, and such a DIB may as well sit in the game's memory. A
// compressed DIB keeps its raw size in biSizeImage while its block ends with
// its stream, so only the block can bound it: such a DIB must be a block of
// ours.
std::uint32_t ReadablePixelBytes(const BITMAPINFOHEADER &dib);

// Width, height and stride of a DIB whose rows all lie within its readable
// pixel area.
struct Geometry {
    std::int32_t width;
    std::int32_t height;
    std::int64_t stride;
};

// Nothing when the header's sizes are negative or its rows reach past the
// readable pixel area: callers refuse such a DIB rather than read past it.
std::optional<Geometry> CheckedGeometry(const BITMAPINFOHEADER *dib);

// Writes the identity index table (entry i = i, 16 bits each) into the
// colour-table area and zeroes its second half, as DIBs made here carry.
void WriteIdentityIndexTable(BITMAPINFOHEADER *dib);

// A new zeroed 8-bit DIB with the library's own header values; null when
// the sizes are negative or too large, or no block can be had.
BITMAPINFOHEADER *NewDib(std::int32_t width, std::int32_t height);

}  // namespace anim::dib
