#include "picture_file.h"

#include <cstdint>
#include <vector>

#include "bmp_file.h"
#include "input_file.h"
#include "png_file.h"

namespace anxpack {

std::string ReadPicture(const std::string &path, imageio::IndexedImage &image) {
    std::vector<std::uint8_t> bytes;
    if (std::string e = imageio::ReadInputFile(path, bytes); !e.empty()) return e;
    if (imageio::IsPng(bytes)) return imageio::ReadIndexedPng(bytes, path, image);
    return DecodeBmp(bytes, path, image);
}

}  // namespace anxpack
