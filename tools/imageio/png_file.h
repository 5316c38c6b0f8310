// Writes an indexed picture as a palettised PNG.
#pragma once

#include <string>
#include <vector>

#include "indexed_image.h"

namespace imageio {

// Writes image to path (through a temporary name, renamed when complete).
// Returns an empty string on success, else a message naming the problem.
std::string WritePng(const std::string &path, const IndexedImage &image);

// Reads any PNG as colours, top row first, for tests and tools that compare
// what a picture shows. Empty string on success.
std::string ReadPngColours(const std::string &path, int &width, int &height,
                           std::vector<Rgb> &pixels);

}  // namespace imageio
