// What anxinfo says of a picture given in place of a multi-animation file:
// its form, read from the file's own header, and how the library's OpenDIB
// and the packer each take it (or why not, and how to convert it).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace anxinfo {

struct PictureReport {
    std::string text;     // lines ready to print
    bool usable = false;  // the library or the packer takes it
};

// Whether bytes look like a picture (a BMP or PNG) rather than a
// multi-animation file.
bool IsPicture(std::span<const std::uint8_t> bytes);

PictureReport DescribePicture(std::span<const std::uint8_t> bytes, const std::string &path);

}  // namespace anxinfo
