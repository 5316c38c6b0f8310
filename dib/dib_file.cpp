/*
 * DIB files: reading and writing packed DIBs.
 *
 * File grammar (all numbers little-endian):
 *
 *   file        := [file-header] info-header colour-table pixels
 *   file-header := "BM"           bfType
 *                  u32            bfSize       (block size + 14 when written)
 *                  u16 u16        bfReserved1, bfReserved2 (0)
 *                  u32            bfOffBits    (1078 when written)
 *   info-header := 40 bytes, BITMAPINFOHEADER as held in memory
 *   colour-table:= 1024 bytes    (256 x blue green red reserved)
 *   pixels      := biSizeImage bytes, rows bottom-up, each row padded to 4
 *
 * Without "BM" at the start the file is a bare packed DIB. With a file header
 * and a nonzero bfOffBits the pixels start bfOffBits bytes into the file,
 * whatever lies between the colour table and them.
 *
 * Reading takes the header as it stands apart from two rules: a zero
 * biSizeImage is computed from the bit count, width and height, and
 * biClrUsed becomes 256. Beyond that, the block is always large enough for
 * the 8-bit rows that biWidth and biHeight describe (the rest of the library
 * addresses pixels from those two fields alone), so a smaller biSizeImage is
 * raised to the 8-bit rows' size. Negative widths and heights (top-down
 * files), sizes whose arithmetic overflows and blocks beyond the memory
 * layer's limit are refused.
 */
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "dib/packed_dib.h"
#include "platform/platform.h"
#include "platform/checked_size.h"
#include "support/report.h"

namespace anim::dib {
namespace {

using platform::File;

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint16_t kFileType = 0x4D42;  // "BM"
constexpr std::uint32_t kFileBitsOffset = kFileHeaderSize + kPixelOffset;  // 1078
// Pixels move between file and block in pieces of this size.
constexpr std::uint32_t kFileChunk = 32768;
// At most this many characters of a file name go into the open-failure text.
constexpr int kMaxNameInTrace = 100;

struct FileHeader {
    std::uint16_t type = 0;
    std::uint32_t size = 0;
    std::uint32_t offset_bits = 0;
};

std::uint16_t ReadU16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadU32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void WriteU16(std::uint8_t *p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void WriteU32(std::uint8_t *p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

FileHeader ParseFileHeader(const std::array<std::uint8_t, kFileHeaderSize> &bytes) {
    return FileHeader{ReadU16(&bytes[0]), ReadU32(&bytes[2]), ReadU32(&bytes[10])};
}

void TraceOpenFailure(const char *name) {
    if (name == nullptr) {
        ANIM_TRACE(kSource, "Bad filename pointer.", kTraceMissingArgument);
        return;
    }
    char text[160];
    std::snprintf(text, sizeof text, "Can't open \"%.*s\" for reading.", kMaxNameInTrace, name);
    ANIM_TRACE(kSource, text, kTraceOpenFailed);
}

// The pixel-area size a header calls for, or nothing when it is refused.
std::optional<std::uint32_t> PixelAreaSize(const BITMAPINFOHEADER &header) {
    if (header.biWidth < 0 || header.biHeight < 0) return std::nullopt;
    auto rows8 = platform::CheckedSize(platform::RowStride(header.biWidth), header.biHeight);
    if (!rows8) return std::nullopt;
    std::uint32_t size = header.biSizeImage;
    if (size == 0) {
        // Rows of biBitCount bits rounded up to 32-bit words.
        auto bits = platform::CheckedSize(header.biBitCount, header.biWidth, 31);
        if (!bits) return std::nullopt;
        auto computed = platform::CheckedSize((*bits & ~std::uint32_t{31}) / 8, header.biHeight);
        if (!computed) return std::nullopt;
        size = *computed;
    }
    return std::max(size, *rows8);
}

BITMAPINFOHEADER *ReadDib(File &file) {
    std::int64_t start = file.Seek(0, File::Origin::kCurrent);
    if (start < 0) return nullptr;

    std::array<std::uint8_t, kFileHeaderSize> file_header_bytes{};
    if (file.Read(file_header_bytes.data(), kFileHeaderSize) != kFileHeaderSize) return nullptr;
    FileHeader file_header = ParseFileHeader(file_header_bytes);
    if (file_header.type != kFileType) {
        file_header.offset_bits = 0;
        if (file.Seek(start, File::Origin::kBegin) < 0) return nullptr;
    }

    BITMAPINFOHEADER header;
    if (file.Read(&header, sizeof header) != sizeof header) return nullptr;
    auto pixel_size = PixelAreaSize(header);
    if (!pixel_size) return nullptr;
    auto block_size = platform::CheckedSize(*pixel_size, 1, kPixelOffset);
    if (!block_size) return nullptr;
    header.biSizeImage = *pixel_size;
    header.biClrUsed = kColourCount;

    auto *dib = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*block_size));
    if (dib == nullptr) return nullptr;
    std::memcpy(dib, &header, sizeof header);
    // The colour table is whatever 1024 bytes follow the info header, even in
    // files whose table is shorter; a short read leaves the rest zero.
    file.Read(Bytes(dib) + kColourTableOffset, kColourTableSize);

    if (file_header.offset_bits != 0 &&
        file.Seek(start + file_header.offset_bits, File::Origin::kBegin) < 0) {
        return dib;  // nowhere to read pixels from: they stay 0
    }
    std::uint8_t *pixels = Pixels(dib);
    for (std::uint32_t done = 0; done < *pixel_size;) {
        std::uint32_t piece = std::min(kFileChunk, *pixel_size - done);
        std::int64_t got = file.Read(pixels + done, piece);
        if (got != piece) break;  // a short file leaves the missing pixels 0
        done += piece;
    }
    return dib;
}

bool WriteDibFile(File &file, const BITMAPINFOHEADER *dib) {
    std::size_t block_size = platform::BlockSize(dib);
    if (block_size < kPixelOffset) return false;
    std::array<std::uint8_t, kFileHeaderSize> file_header{};
    WriteU16(&file_header[0], kFileType);
    WriteU32(&file_header[2], static_cast<std::uint32_t>(block_size + kFileHeaderSize));
    WriteU32(&file_header[10], kFileBitsOffset);
    file.Write(file_header.data(), file_header.size());

    const std::uint8_t *bytes = Bytes(dib);
    file.Write(bytes, kInfoHeaderSize);
    file.Write(bytes + kColourTableOffset, kColourTableSize);
    for (std::size_t at = kPixelOffset; at < block_size;) {
        std::size_t piece = std::min<std::size_t>(kFileChunk, block_size - at);
        file.Write(bytes + at, piece);
        at += piece;
    }
    return true;
}

}  // namespace
}  // namespace anim::dib

extern "C" {

ANIM_API BITMAPINFOHEADER *OpenDIB(const char *fileName) {
    anim::platform::File file = anim::platform::File::OpenRead(fileName);
    if (!file.IsOpen()) {
        anim::dib::TraceOpenFailure(fileName);
        return nullptr;
    }
    return anim::dib::ReadDib(file);
}

ANIM_API int32_t WriteDIB(const char *fileName, const BITMAPINFOHEADER *dib) {
    if (dib == nullptr) return 0;
    anim::platform::File file = anim::platform::File::Create(fileName);
    if (!file.IsOpen()) return 0;
    return anim::dib::WriteDibFile(file, dib) ? 1 : 0;
}

}  // extern "C"
