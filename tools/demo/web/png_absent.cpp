// The web page packs only the art it draws itself, as BMPs: the packer's
// PNG reader (libpng) stays on the desktop, and this stands in for it.
#include "png_file.h"

namespace imageio {

bool IsPng(std::span<const std::uint8_t>) { return false; }

std::string ReadIndexedPng(std::span<const std::uint8_t>, const std::string &name, IndexedImage &,
                           PngForm *) {
    return name + ": PNG art is read by the desktop tools, not by the web page";
}

}  // namespace imageio
