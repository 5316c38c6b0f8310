// BMP files as the packer reads its frames: ReadBmp8 takes a picture whole
// or refuses it with a reason that names the file.
//
//   input := file bytes, read as they stand
//
// Promises held: a refusal leaves the caller's picture as it was; a picture
// taken has the size it says, every pixel and 256 colours. Where the
// library's own reader takes the same plain form (file header, 40-byte info
// header, 256 colours, pixels right after them, rows bottom up), both give
// the same pixels and colours.
#include <cstring>
#include <string>

#include "animate.h"
#include "bmp_file.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kPlainPixelOffset = 1078;

// The form both readers describe alike.
bool PlainForm(const std::uint8_t *data, std::size_t size) {
    BITMAPINFOHEADER info;
    std::uint32_t pixelOffset;
    if (size < kFileHeaderSize + sizeof info || data[0] != 'B' || data[1] != 'M') return false;
    std::memcpy(&pixelOffset, data + 10, sizeof pixelOffset);
    std::memcpy(&info, data + kFileHeaderSize, sizeof info);
    return pixelOffset == kPlainPixelOffset && info.biSize == sizeof info && info.biHeight > 0 &&
           (info.biClrUsed == 0 || info.biClrUsed == 256);
}

void SameAsLibrary(const std::string &path, const imageio::IndexedImage &image) {
    BITMAPINFOHEADER *dib = OpenDIB(path.c_str());
    if (dib == nullptr) return;  // beyond the memory layer's limit, say
    FUZZ_CHECK(dib->biWidth == image.width && dib->biHeight == image.height);
    for (std::int32_t y = 0; y < image.height; ++y)
        FUZZ_CHECK(std::memcmp(GetDIBPixelAddress(dib, 0, y), image.Row(y), dib->biWidth) == 0);
    RGBQUAD colours[256];
    std::memcpy(colours, reinterpret_cast<const std::uint8_t *>(dib) + sizeof(BITMAPINFOHEADER), sizeof colours);
    for (std::size_t i = 0; i < 256; ++i)
        FUZZ_CHECK(image.colours[i] == (imageio::Rgb{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue}));
    DeleteDIB(dib);
}

}  // namespace

int PackBmpTarget(const std::uint8_t *data, std::size_t size) {
    BlockBalance balance;
    const std::string path = MemoryFile({data, size});
    imageio::IndexedImage image(2, 1, 7);
    const std::string error = anxpack::ReadBmp8(path, image);
    if (!error.empty()) {
        FUZZ_CHECK(error.starts_with(path + ": ") && UntouchedPicture(image));
        return 0;
    }
    FUZZ_CHECK(WholePicture(image));
    if (PlainForm(data, size)) SameAsLibrary(path, image);
    return 0;
}

}  // namespace anim::fuzz
