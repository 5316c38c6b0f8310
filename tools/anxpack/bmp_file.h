// 8-bit palettised BMP files as the asset tools see them: pictures with
// their colours, top row first. Frames of a manifest are read here; the demo
// writes its generated art here.
#pragma once

#include <string>

#include "indexed_image.h"

namespace anxpack {

// Reads an uncompressed 8-bit BMP (with or without its 14-byte file header,
// rows bottom-up or top-down). Empty string on success, else the problem,
// starting with the file name.
std::string ReadBmp8(const std::string &path, imageio::IndexedImage &image);

// Writes image as an 8-bit BMP with a file header and 256 colours.
std::string WriteBmp8(const std::string &path, const imageio::IndexedImage &image);

}  // namespace anxpack
