/*
 * 8-bit BMP files.
 *
 * Byte grammar (little-endian):
 *
 *   file        := [file-header] info-header colours pixels
 *   file-header := "BM" u32 file-size u16 0 u16 0 u32 pixel-offset
 *   info-header := u32 size (>= 40) i32 width i32 height u16 planes
 *                  u16 bits-per-pixel u32 compression u32 image-size
 *                  i32 x-ppm i32 y-ppm u32 colours-used u32 important
 *                  (size - 40 further bytes are skipped)
 *   colours     := colours-used (0 means 256) x (blue green red reserved)
 *   pixels      := |height| rows of width bytes, each padded to 4 bytes;
 *                  bottom row first when height > 0, top row first when < 0
 *
 * Only bits-per-pixel 8 with compression 0 is accepted: the frames become
 * palette indices as they stand.
 */
#include "bmp_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "file_commit.h"
#include "platform/geometry.h"

namespace anxpack {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint16_t kEightBits = 8;
constexpr int kMaxColours = 256;
// Art for sprites and backgrounds; anything larger is a mistake, and the
// limit keeps every size below computable in 32 bits.
constexpr std::int64_t kMaxSide = 16384;

std::uint32_t U32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t U16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Put32(std::vector<std::uint8_t> &out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t> &out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::size_t Stride(std::int64_t width) { return static_cast<std::size_t>(anim::platform::RowStride(width)); }

}  // namespace

std::string ReadBmp8(const std::string &path, imageio::IndexedImage &image) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + ": cannot open the file";
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::size_t at = 0;
    std::size_t pixel_offset = 0;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        if (bytes.size() < kFileHeaderSize) return path + ": file header is cut short";
        pixel_offset = U32(&bytes[10]);
        at = kFileHeaderSize;
    }
    if (bytes.size() < at + kInfoHeaderSize) return path + ": not a BMP file (no info header)";
    const std::uint8_t *info = &bytes[at];
    const std::uint32_t info_size = U32(info);
    const std::int64_t width = static_cast<std::int32_t>(U32(info + 4));
    const std::int64_t height = static_cast<std::int32_t>(U32(info + 8));
    const std::uint16_t bits = U16(info + 14);
    const std::uint32_t compression = U32(info + 16);
    std::uint32_t used = U32(info + 32);
    if (info_size < kInfoHeaderSize || info_size > bytes.size() - at) {
        return path + ": not a BMP file (info header size " + std::to_string(info_size) + ")";
    }
    if (bits != kEightBits) {
        return path + ": " + std::to_string(bits) +
               "-bit BMP; frames must be 8-bit palettised BMPs";
    }
    if (compression != 0) {
        return path + ": compressed BMP (method " + std::to_string(compression) +
               "); frames must be uncompressed";
    }
    if (width <= 0 || height == 0 || width > kMaxSide || height > kMaxSide || height < -kMaxSide) {
        return path + ": unusable size " + std::to_string(width) + "x" + std::to_string(height);
    }
    if (used == 0 || used > kMaxColours) used = kMaxColours;
    const std::size_t colours_at = at + info_size;
    if (bytes.size() < colours_at + 4 * static_cast<std::size_t>(used)) {
        return path + ": colour table is cut short";
    }
    const bool top_down = height < 0;
    const std::int64_t rows = top_down ? -height : height;
    const std::size_t stride = Stride(width);
    if (pixel_offset == 0) pixel_offset = colours_at + 4 * static_cast<std::size_t>(used);
    if (pixel_offset > bytes.size() || bytes.size() - pixel_offset < stride * rows) {
        return path + ": pixel rows are cut short (" + std::to_string(width) + "x" +
               std::to_string(rows) + " needs " + std::to_string(stride * rows) + " bytes)";
    }

    imageio::IndexedImage result(static_cast<int>(width), static_cast<int>(rows));
    for (std::uint32_t i = 0; i < used; ++i) {
        const std::uint8_t *c = &bytes[colours_at + 4 * i];
        result.colours[i] = imageio::Rgb{c[2], c[1], c[0]};
    }
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint8_t *src = &bytes[pixel_offset + static_cast<std::size_t>(r) * stride];
        const std::int64_t y = top_down ? r : rows - 1 - r;
        std::memcpy(&result.At(0, static_cast<int>(y)), src, static_cast<std::size_t>(width));
    }
    image = std::move(result);
    return {};
}

std::string WriteBmp8(const std::string &path, const imageio::IndexedImage &image) {
    if (image.width <= 0 || image.height <= 0) return path + ": picture has no pixels";
    const std::size_t stride = Stride(image.width);
    const auto pixel_bytes = static_cast<std::uint32_t>(stride * image.height);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * kMaxColours;
    std::vector<std::uint8_t> out;
    out.reserve(offset + pixel_bytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + pixel_bytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height));
    Put16(out, 1);
    Put16(out, kEightBits);
    Put32(out, 0);
    Put32(out, pixel_bytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, kMaxColours);
    Put32(out, 0);
    for (const imageio::Rgb &c : image.colours) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t *row = &image.pixels[static_cast<std::size_t>(y) * image.width];
        out.insert(out.end(), row, row + image.width);
        out.insert(out.end(), stride - static_cast<std::size_t>(image.width), 0);
    }
    {
        std::ofstream file(imageio::TemporaryPathFor(path), std::ios::binary | std::ios::trunc);
        if (!file) return path + ": cannot create the file";
        file.write(reinterpret_cast<const char *>(out.data()), static_cast<std::streamsize>(out.size()));
        if (!file) return imageio::AbandonFile(path, "write failed");
    }
    return imageio::CommitFile(path);
}

}  // namespace anxpack
