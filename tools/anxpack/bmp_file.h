// Palette BMP files as the asset tools see them: pictures with their
// colours, one index a pixel, top row first. Frames of a manifest are read
// here; the demo writes its generated art here; anxinfo describes a BMP
// from the header read here.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "indexed_image.h"

namespace anxpack {

// How to turn a truecolour picture into a palette BMP, for messages.
inline constexpr const char *kBmpConvertHint = "`convert in.png -colors 236 BMP3:out.bmp`";
// How to store a compressed BMP's rows plainly, for messages.
inline constexpr const char *kBmpUncompressHint = "`convert in.bmp -compress none BMP3:out.bmp`";

inline constexpr std::uint32_t kBmpUncompressed = 0;
inline constexpr std::uint32_t kBmpRle8 = 1;
inline constexpr std::uint32_t kBmpRle4 = 2;

// The headers of a BMP file, as they stand.
struct BmpHeader {
    bool fileHeader = false;        // the 14-byte "BM" header is there
    std::uint32_t pixelOffset = 0;  // from the file header; 0 when none is given
    std::uint32_t headerSize = 0;   // 12 (OS/2 core), 16-64 (OS/2), 40, 52, 56, 108 (V4), 124 (V5)
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: rows stored top row first
    std::uint16_t bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;  // as stored; 0 means all that the bit depth holds
    std::size_t coloursAt = 0;      // where the colour table starts in the file
    std::size_t colourSize = 4;     // bytes a colour entry: 3 in an OS/2 core file

    bool TopDown() const { return height < 0; }
    std::int64_t Rows() const { return height < 0 ? -height : height; }
    bool Palette() const { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }
    bool Truecolour() const { return bits == 16 || bits == 24 || bits == 32; }
};

// Reads the file and info headers from bytes. Empty text on success, else
// why they cannot be read (without a file name).
std::string ParseBmpHeader(std::span<const std::uint8_t> bytes, BmpHeader &header);
// "Windows info header (40 bytes)" and the like.
std::string BmpHeaderKind(std::uint32_t headerSize);
// "uncompressed", "RLE8", ...
std::string BmpCompressionName(std::uint32_t compression);

// Decodes an uncompressed 1-, 2-, 4- or 8-bit BMP (with or without its
// 14-byte file header, rows bottom-up or top-down); narrower pixels are
// widened to a byte each, their index kept. Empty string on success, else
// the problem, starting with name (when one is given).
std::string DecodeBmp(std::span<const std::uint8_t> bytes, const std::string &name,
                      imageio::IndexedImage &image);
// Reads path and decodes it as above.
std::string ReadBmp8(const std::string &path, imageio::IndexedImage &image);

// Writes image as an 8-bit BMP with a file header and 256 colours.
std::string WriteBmp8(const std::string &path, const imageio::IndexedImage &image);

}  // namespace anxpack
