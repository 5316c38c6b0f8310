// Palettised PNG files: written from an indexed picture, and read back
// either as indices (indexed PNGs, the form pixel-art editors export) or
// as the colours they show.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "indexed_image.h"

namespace imageio {

// Sides above this are refused by the readers: art for sprites and
// backgrounds, and every size below it computable in 32 bits.
inline constexpr int kMaxPictureSide = 16384;

// How to make a picture with a palette out of any other, for messages.
inline constexpr const char *kPngConvertHint = "`convert in.png -colors 236 PNG8:out.png`";

enum class Transparency {
    kNone,       // every index shows its colour
    kIndexZero,  // index 0 is transparent (a tRNS chunk), as the library draws it
};

// Writes image to path (through a temporary name, renamed when complete).
// Returns an empty string on success, else a message naming the problem.
std::string WritePng(const std::string &path, const IndexedImage &image,
                     Transparency transparency = Transparency::kNone);

// What a PNG's header chunks say, as far as they were read.
struct PngForm {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = 0;  // 3: palette
    bool interlaced = false;
    int paletteEntries = 0;
    std::vector<int> transparent;  // palette entries that tRNS makes not opaque
};

// "palette", "truecolour", ... for a PNG colour type.
std::string PngColourTypeName(int colourType);

// Whether bytes start with the PNG signature.
bool IsPng(std::span<const std::uint8_t> bytes);

// Reads an indexed PNG (bit depth 1, 2, 4 or 8) into image, one index a
// pixel, palette entries as they stand. Empty text on success, else one line
// starting with name (when one is given). form, when given, receives the header as read, also
// when the picture is refused.
std::string ReadIndexedPng(std::span<const std::uint8_t> bytes, const std::string &name,
                           IndexedImage &image, PngForm *form = nullptr);

}  // namespace imageio
