// Palette pixels of DIB files that are not already 8-bit rows: rows of 1, 2
// and 4 bits, and run-length streams of 4 and 8 bits, turned into the 8-bit
// rows of a packed DIB. The streams' grammar is in dib_file.cpp, with the
// rest of the file.
#pragma once

#include <cstdint>
#include <span>

namespace anim::dib {

// Expands, in place, the packed pixels at the front of row (one stored row
// as read from a file: width pixels of bits bits each, 1, 2, 4 or 8, the
// leftmost in the high bits of a byte) into width 8-bit pixels, and zeroes
// the rest of row. row holds at least width bytes.
void WidenRow(std::span<std::uint8_t> row, std::int32_t width, std::uint16_t bits);

enum class RunLength { kFourBit, kEightBit };

// Decodes a run-length stream into pixels: height bottom-up rows of width
// 8-bit pixels, stride bytes apart (pixels holds at least stride x height
// bytes). Pixels a code places past the end of a row are dropped; a stream
// that ends early, runs out in the middle of a code or moves above the top
// row stops there. Pixels the stream does not reach keep their value.
void DecodeRunLength(std::span<const std::uint8_t> stream, RunLength kind, std::int32_t width,
                     std::int32_t height, std::int64_t stride, std::span<std::uint8_t> pixels);

}  // namespace anim::dib
