/*
 * Palette BMP files.
 *
 * Byte grammar (little-endian):
 *
 *   file        := [file-header] info-header colours pixels
 *   file-header := "BM" u32 file-size u16 0 u16 0 u32 pixel-offset
 *   info-header := core-header | long-header
 *   core-header := u32 size (12) u16 width u16 height u16 planes
 *                  u16 bits-per-pixel                      ; OS/2 1.x
 *   long-header := u32 size (16..124) i32 width i32 height u16 planes
 *                  u16 bits-per-pixel u32 compression u32 image-size
 *                  i32 x-ppm i32 y-ppm u32 colours-used u32 important
 *                  further fields up to size bytes          ; 40: Windows 3,
 *                                                           ; 108: V4, 124: V5
 *                  (an OS/2 2.x header of 16 to 64 bytes stops early: the
 *                  fields it lacks are 0)
 *   colours     := colours-used (0: 2^bits-per-pixel) x (blue green red
 *                  [reserved]); the reserved byte is absent in a core file
 *   pixels      := |height| rows, each of width pixels of bits-per-pixel
 *                  bits, the leftmost in the high bits of a byte, padded to
 *                  4 bytes; bottom row first when height > 0, top row first
 *                  when < 0; from pixel-offset when the file header gives one,
 *                  else behind the colours
 *
 * Pictures are taken at 1, 2, 4 and 8 bits per pixel with compression 0:
 * each pixel becomes one byte holding its index unchanged.
 */
#include "bmp_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "file_commit.h"
#include "input_file.h"
#include "platform/checked_size.h"
#include "platform/geometry.h"
#include "png_file.h"

namespace anxpack {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kPixelOffsetAt = 10;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kShortestLongHeader = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kLongestHeader = 124;
constexpr std::uint16_t kEightBits = 8;
constexpr int kMaxColours = 256;
constexpr std::int64_t kMaxSide = imageio::kMaxPictureSide;

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

// A message about name; with no name, the reason alone.
std::string Named(const std::string &name, const std::string &reason) {
    return name.empty() ? reason : name + ": " + reason;
}

std::size_t Stride(std::int64_t width) { return static_cast<std::size_t>(anim::platform::RowStride(width)); }

// Bytes of one stored row of width pixels at bits each.
std::size_t PackedStride(std::int64_t width, std::uint16_t bits) {
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

// The long header's fields, each 0 when the header stops before it.
void ReadLongHeader(std::span<const std::uint8_t> info, BmpHeader &h) {
    auto u32 = [&](std::size_t at) { return at + 4 <= info.size() ? U32(&info[at]) : 0u; };
    auto u16 = [&](std::size_t at) {
        return at + 2 <= info.size() ? U16(&info[at]) : std::uint16_t{0};
    };
    h.width = static_cast<std::int32_t>(u32(4));
    h.height = static_cast<std::int32_t>(u32(8));
    h.bits = u16(14);
    h.compression = u32(16);
    h.coloursUsed = u32(32);
}

// Why the picture cannot be an 8-bit frame, or empty.
std::string Unfit(const BmpHeader &h) {
    if (h.Truecolour()) {
        return std::to_string(h.bits) +
               "-bit BMP: truecolour; frames need palette colours: convert with e.g. " +
               kBmpConvertHint;
    }
    if (!h.Palette()) {
        return std::to_string(h.bits) + "-bit BMP; frames must be 1-, 2-, 4- or 8-bit palette BMPs";
    }
    if (h.compression != kBmpUncompressed) {
        return BmpCompressionName(h.compression) +
               "-compressed BMP; frames must be uncompressed: save it plainly, e.g. " +
               kBmpUncompressHint;
    }
    if (h.width <= 0 || h.height == 0 || h.width > kMaxSide || h.Rows() > kMaxSide) {
        return "unusable size " + std::to_string(h.width) + "x" + std::to_string(h.height);
    }
    return {};
}

// Index of pixel x in a stored row of bits-per-pixel pixels.
std::uint8_t PixelAt(const std::uint8_t *row, std::int64_t x, std::uint16_t bits) {
    if (bits == kEightBits) return row[x];
    const std::int64_t bit = x * bits;
    const int shift = kEightBits - bits - static_cast<int>(bit % kEightBits);
    return static_cast<std::uint8_t>((row[bit / kEightBits] >> shift) & ((1 << bits) - 1));
}

}  // namespace

std::string BmpHeaderKind(std::uint32_t size) {
    switch (size) {
        case kCoreHeaderSize:
            return "OS/2 1.x core header (12 bytes)";
        case kInfoHeaderSize:
            return "Windows info header (40 bytes)";
        case 52:
            return "info header with colour masks (52 bytes)";
        case 56:
            return "info header with colour and alpha masks (56 bytes)";
        case 108:
            return "V4 header (108 bytes)";
        case kLongestHeader:
            return "V5 header (124 bytes)";
        default:
            break;
    }
    if (size >= kShortestLongHeader && size <= 64)
        return "OS/2 2.x header (" + std::to_string(size) + " bytes)";
    return "unknown header of " + std::to_string(size) + " bytes";
}

std::string BmpCompressionName(std::uint32_t compression) {
    static const char *const kNames[] = {
        "uncompressed", "RLE8", "RLE4", "bit fields", "JPEG", "PNG", "alpha bit fields"};
    if (compression < std::size(kNames)) return kNames[compression];
    return "compression " + std::to_string(compression);
}

std::string ParseBmpHeader(std::span<const std::uint8_t> bytes, BmpHeader &h) {
    h = BmpHeader{};
    std::size_t at = 0;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        if (bytes.size() < kFileHeaderSize) return "file header is cut short";
        h.fileHeader = true;
        h.pixelOffset = U32(&bytes[kPixelOffsetAt]);
        at = kFileHeaderSize;
    }
    if (bytes.size() < at + 4) return "not a BMP file (no info header)";
    h.headerSize = U32(&bytes[at]);
    const bool core = h.headerSize == kCoreHeaderSize;
    if ((!core && h.headerSize < kShortestLongHeader) || h.headerSize > bytes.size() - at) {
        return "not a BMP file (info header size " + std::to_string(h.headerSize) + ")";
    }
    const std::span<const std::uint8_t> info = bytes.subspan(at, h.headerSize);
    if (core) {
        h.width = U16(&info[4]);
        h.height = U16(&info[6]);
        h.bits = U16(&info[10]);
        h.colourSize = 3;
    } else {
        ReadLongHeader(info, h);
    }
    h.coloursAt = at + h.headerSize;
    return {};
}

std::string DecodeBmp(std::span<const std::uint8_t> bytes, const std::string &name,
                      imageio::IndexedImage &image) {
    BmpHeader h;
    if (std::string e = ParseBmpHeader(bytes, h); !e.empty()) return Named(name, e);
    if (std::string e = Unfit(h); !e.empty()) return Named(name, e);
    std::uint32_t used = h.coloursUsed;
    if (used == 0 || used > (1u << h.bits))
        used = std::min<std::uint32_t>(1u << h.bits, kMaxColours);
    const std::size_t table = h.colourSize * used;
    if (bytes.size() < h.coloursAt || bytes.size() - h.coloursAt < table)
        return Named(name, "colour table is cut short");
    const std::size_t stride = PackedStride(h.width, h.bits);
    const std::int64_t rows = h.Rows();
    const std::size_t pixelsAt = h.pixelOffset != 0 ? h.pixelOffset : h.coloursAt + table;
    const auto needed = anim::platform::CheckedSize(static_cast<std::int64_t>(stride), rows);
    if (!needed)
        return Named(name, std::to_string(h.width) + "x" + std::to_string(rows) + " is too large");
    if (pixelsAt > bytes.size() || bytes.size() - pixelsAt < *needed) {
        return Named(name, "pixel rows are cut short (" + std::to_string(h.width) + "x" +
                               std::to_string(rows) + " needs " + std::to_string(*needed) +
                               " bytes)");
    }

    imageio::IndexedImage result(static_cast<int>(h.width), static_cast<int>(rows));
    for (std::uint32_t i = 0; i < used; ++i) {
        const std::uint8_t *c = &bytes[h.coloursAt + h.colourSize * i];
        result.colours[i] = imageio::Rgb{c[2], c[1], c[0]};
    }
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint8_t *src = &bytes[pixelsAt + static_cast<std::size_t>(r) * stride];
        const int y = static_cast<int>(h.TopDown() ? r : rows - 1 - r);
        for (std::int64_t x = 0; x < h.width; ++x)
            result.At(static_cast<int>(x), y) = PixelAt(src, x, h.bits);
    }
    image = std::move(result);
    return {};
}

std::string ReadBmp8(const std::string &path, imageio::IndexedImage &image) {
    std::vector<std::uint8_t> bytes;
    if (std::string e = imageio::ReadInputFile(path, bytes); !e.empty()) return e;
    return DecodeBmp(bytes, path, image);
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
