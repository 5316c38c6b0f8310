// PNG output of an indexed picture, through the PNG library's simplified
// writer, and the colour read-back the tests use.
//
//   file := signature(8) IHDR sRGB PLTE [tRNS] IDAT+ IEND
//   IHDR := width, height, bit depth 8, colour type 3 (palette), not interlaced
//   sRGB := perceptual intent: the colours are meant as the display shows them
//   PLTE := 256 x (r g b), the picture's colours whether used or not
//   tRNS := alpha 0 for index 0, when index 0 is to show as transparent
//   IDAT := the zlib stream of the rows, top row first, one index a pixel
//
// The indexed reader is in png_indexed.cpp.
//
// Every chunk is length(u32, big-endian) type(4) data crc(u32).
#include "png_file.h"

#include <png.h>

#include "file_commit.h"

namespace imageio {
namespace {

constexpr std::uint8_t kClear = 0;
constexpr std::uint8_t kOpaque = 255;

}  // namespace

std::string WritePng(const std::string &path, const IndexedImage &image,
                     Transparency transparency) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        return path + ": picture has no pixels to write";
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    const bool clear_zero = transparency == Transparency::kIndexZero;
    png.format = clear_zero ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
    png.colormap_entries = 256;

    std::vector<std::uint8_t> colourmap;
    colourmap.reserve(256 * 4);
    for (std::size_t i = 0; i < image.colours.size(); ++i) {
        colourmap.push_back(image.colours[i].r);
        colourmap.push_back(image.colours[i].g);
        colourmap.push_back(image.colours[i].b);
        if (clear_zero) colourmap.push_back(i == 0 ? kClear : kOpaque);
    }
    if (!png_image_write_to_file(&png, TemporaryPathFor(path).c_str(), 0, image.pixels.data(),
                                 image.width, colourmap.data())) {
        return AbandonFile(path, png.message[0] ? png.message : "write failed");
    }
    return CommitFile(path);
}

}  // namespace imageio
