// Indexed PNG files as the packer and the tools read them: ReadIndexedPng
// takes a palette picture whole or refuses it with one line naming the file.
//
//   input := file bytes, read as they stand
//
// Promises held: a refusal leaves the caller's picture as it was; a picture
// taken has the size its header says, palette colours at bit depth 1, 2, 4
// or 8, no index beyond what the depth holds, no transparent entry but 0,
// and black where the palette ends; written again and read back, it is the
// same picture.
#include <string>

#include "fuzz_support.h"
#include "input_file.h"
#include "png_file.h"
#include "targets.h"

namespace anim::fuzz {

int PngReadTarget(const std::uint8_t *data, std::size_t size) {
    const std::string name = "in.png";
    imageio::IndexedImage image(2, 1, 7);
    imageio::PngForm form;
    const std::string error = imageio::ReadIndexedPng({data, size}, name, image, &form);
    if (!error.empty()) {
        FUZZ_CHECK(OneLine(error, name + ": ") && UntouchedPicture(image));
        return 0;
    }
    FUZZ_CHECK(form.colourType == 3 && image.width == form.width && image.height == form.height);
    FUZZ_CHECK(WholePicture(image));
    FUZZ_CHECK(form.bitDepth == 1 || form.bitDepth == 2 || form.bitDepth == 4 || form.bitDepth == 8);
    for (const std::uint8_t index : image.pixels) FUZZ_CHECK(index >> form.bitDepth == 0);
    FUZZ_CHECK(form.transparent.empty() || form.transparent == std::vector<int>{0});
    for (std::size_t i = static_cast<std::size_t>(form.paletteEntries); i < 256; ++i)
        FUZZ_CHECK(image.colours[i] == imageio::Rgb{});

    const std::string path = (ScratchFolder() / name).string();
    const auto transparency =
        form.transparent.empty() ? imageio::Transparency::kNone : imageio::Transparency::kIndexZero;
    FUZZ_CHECK(imageio::WritePng(path, image, transparency).empty());
    std::vector<std::uint8_t> written;
    imageio::IndexedImage again;
    FUZZ_CHECK(imageio::ReadInputFile(path, written).empty() && imageio::ReadIndexedPng(written, name, again).empty());
    FUZZ_CHECK(again.width == image.width && again.pixels == image.pixels && again.colours == image.colours);
    return 0;
}

}  // namespace anim::fuzz
