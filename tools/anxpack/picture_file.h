// The pictures a manifest names (frames, sheets, number art) and palettes:
// palette BMPs or indexed PNGs, told apart by their first bytes, not by
// their names.
#pragma once

#include <string>

#include "indexed_image.h"

namespace anxpack {

// Reads path as an indexed PNG when it starts with the PNG signature, else
// as a BMP (bmp_file.h); one index a pixel either way. Empty text on
// success, else one line starting with path.
std::string ReadPicture(const std::string &path, imageio::IndexedImage &image);

}  // namespace anxpack
