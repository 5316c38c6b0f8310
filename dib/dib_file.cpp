/*
 * DIB files: reading and writing packed DIBs.
 *
 * File grammar (all numbers little-endian):
 *
 *   file         := [file-header] info-header colour-table pixels
 *   file-header  := "BM"         bfType
 *                   u32          bfSize       (block size + 14 when written)
 *                   u16 u16      bfReserved1, bfReserved2 (0)
 *                   u32          bfOffBits    (1078 when written)
 *   info-header  := core-header | info-header-40 | long-header
 *   core-header  := u32 12   u16 width   u16 height   u16 planes   u16 bits
 *   info-header-40 := u32 40   i32 width   i32 height   u16 planes   u16 bits
 *                   u32 compression   u32 sizeImage   i32 xPels   i32 yPels
 *                   u32 clrUsed   u32 clrImportant
 *   long-header  := info-header-40 with a size of 52, 56, 64, 108 or 124 in
 *                   its first field, then size - 40 bytes (colour masks and
 *                   colour space), skipped
 *   colour-table := entries x (blue green red reserved); 3 bytes an entry,
 *                   without reserved, behind a core header
 *   pixels       := rows | stream
 *   rows         := |height| rows of width pixels of `bits` bits each, the
 *                   leftmost in a byte's high bits, each row padded to 4
 *                   bytes; bottom row first, top row first when height < 0
 *   stream       := code*          (8-bit for compression 1, 4-bit for 2;
 *                                   bottom row first)
 *   code         := n v            n = 1..255 pixels of v (8-bit), or of
 *                                  v's high and low nibbles by turns (4-bit)
 *                 | 0 0            end of row: on to the start of the row above
 *                 | 0 1            end of picture
 *                 | 0 2 dx dy      dx pixels right and dy rows up, untouched
 *                 | 0 n p...       n = 3..255 pixels one by one (a byte each,
 *                                  or two a byte, high nibble first), padded
 *                                  to a 16-bit boundary
 *
 * Without "BM" at the start the file is a bare DIB: info header first. With a
 * file header and a nonzero bfOffBits the pixels start bfOffBits bytes into
 * the file, whatever lies before them.
 *
 * The info header decides how a file is read:
 *
 *  - As it stands: a 40-byte header, 8 bits a pixel, height >= 0, any
 *    compression. Every DIB the library writes has this form, its
 *    compressed DIBs (an escape byte in compression) and difference DIBs (a
 *    key colour in compression's bits 16-23) among them, so nothing is
 *    converted: the header is kept, the colour-table area is the 1024 bytes
 *    behind the header whatever clrUsed says, and sizeImage bytes of pixels
 *    are read. Two rules apply: clrUsed becomes 256, and sizeImage is raised
 *    to the size of the 8-bit rows biWidth and biHeight describe when it is
 *    smaller (or 0), since the rest of the library addresses pixels from
 *    those two fields alone. An image tool's 8-bit RLE file (compression 1
 *    under a 40-byte header) cannot be told from the library's own
 *    compressed DIB, so it too is read as it stands.
 *  - Widened: every other palette picture -- 1, 2, 4 or 8 bits, uncompressed,
 *    under any of the three headers, bottom-up or top-down; 4-bit RLE
 *    (compression 2); 8-bit RLE under a long header. The file's colours
 *    (clrUsed of them, or 2^bits when it is 0 or the header is a core
 *    header) start the colour-table area, the rest of which is 0; the pixels
 *    become bottom-up 8-bit rows holding the same indices, and the header
 *    the library's own (40 bytes, 8 bits, uncompressed, sizeImage the rows'
 *    size, clrUsed 256, clrImportant 0).
 *  - Refused, with a trace that names the reason: 16, 24 and 32 bits a pixel
 *    (truecolour), any other bit count but 1, 2, 4 and 8, another header
 *    size, another compression, compressed rows stored top-down, a table of
 *    more than 2^bits colours, a negative width.
 *
 * Sizes whose arithmetic overflows and blocks beyond the memory layer's
 * limit are refused too, without a trace. A file that ends early gives null
 * inside its headers and pixels of 0 after them; a stream that runs past the
 * picture or the file is cut there.
 */
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

#include "dib/packed_dib.h"
#include "dib/widen.h"
#include "platform/checked_size.h"
#include "platform/platform.h"
#include "support/report.h"

namespace anim::dib {
namespace {

using platform::CheckedSize;
using platform::File;

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint16_t kFileType = 0x4D42;                                // "BM"
constexpr std::uint32_t kFileBitsOffset = kFileHeaderSize + kPixelOffset;  // 1078
// Pixels move between file and block in pieces of this size.
constexpr std::uint32_t kFileChunk = 32768;
// At most this many characters of a file name go into a trace.
constexpr int kMaxNameInTrace = 100;

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kSizeFieldBytes = 4;
constexpr std::array<std::uint32_t, 5> kLongHeaderSizes = {52, 56, 64, 108, 124};
constexpr std::uint32_t kCoreEntrySize = 3;
constexpr std::uint32_t kEntrySize = 4;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kRunLength8 = 1;
constexpr std::uint32_t kRunLength4 = 2;
// Bits a pixel in a row of a file: rows are padded to 32-bit words.
constexpr std::int64_t kRowWordBits = 32;
constexpr std::size_t kReasonSize = 128;

struct FileHeader {
    std::uint16_t type = 0;
    std::uint32_t size = 0;
    std::uint32_t offset_bits = 0;
};

// Where a file's parts lie, whichever info header it has.
struct Layout {
    BITMAPINFOHEADER info{};  // a core header's fields are widened into these
    std::uint32_t entrySize = kEntrySize;
    std::int64_t tableAt = 0;   // file position of the colour table
    std::int64_t pixelsAt = 0;  // of the pixels; 0: straight behind the table
};

enum class Form { kAsItStands, kWidened, kRefused };

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

// A file that opened but whose form is not read.
void TraceRefusal(const char *name, const char *reason) {
    char text[kMaxNameInTrace + kReasonSize + 64];
    std::snprintf(text, sizeof text, "OpenDIB: \"%.*s\" not read: %s.", kMaxNameInTrace, name,
                  reason);
    ANIM_TRACE(kSource, text, kTraceOpenFailed);
}

// Reads the info header, whichever of the three it is, and leaves the file
// at the colour table. False when the file ends inside it or its size is
// none of the three (traced).
bool ReadInfoHeader(File &file, const char *name, Layout &layout) {
    std::array<std::uint8_t, kInfoHeaderSize> bytes{};
    if (file.Read(bytes.data(), kSizeFieldBytes) != kSizeFieldBytes) return false;
    const std::uint32_t size = ReadU32(bytes.data());
    const bool long_header =
        std::find(kLongHeaderSizes.begin(), kLongHeaderSizes.end(), size) != kLongHeaderSizes.end();
    if (size == kCoreHeaderSize) {
        const std::uint32_t rest = kCoreHeaderSize - kSizeFieldBytes;
        if (file.Read(bytes.data() + kSizeFieldBytes, rest) != rest) return false;
        layout.info.biSize = size;
        layout.info.biWidth = ReadU16(&bytes[4]);
        layout.info.biHeight = ReadU16(&bytes[6]);
        layout.info.biPlanes = ReadU16(&bytes[8]);
        layout.info.biBitCount = ReadU16(&bytes[10]);
        layout.entrySize = kCoreEntrySize;
    } else if (size == kInfoHeaderSize || long_header) {
        const std::uint32_t rest = kInfoHeaderSize - kSizeFieldBytes;
        if (file.Read(bytes.data() + kSizeFieldBytes, rest) != rest) return false;
        std::memcpy(&layout.info, bytes.data(), sizeof layout.info);
        if (size > kInfoHeaderSize && file.Seek(size - kInfoHeaderSize, File::Origin::kCurrent) < 0)
            return false;
    } else {
        char reason[kReasonSize];
        std::snprintf(reason, sizeof reason, "an info header of %u bytes", size);
        TraceRefusal(name, reason);
        return false;
    }
    layout.tableAt = file.Seek(0, File::Origin::kCurrent);
    return layout.tableAt >= 0;
}

// Which way a file is read; a refusal writes its reason.
Form Classify(const BITMAPINFOHEADER &h, std::span<char, kReasonSize> reason) {
    if (h.biSize == kInfoHeaderSize && h.biBitCount == kBitsPerPixel && h.biHeight >= 0)
        return Form::kAsItStands;
    const unsigned bits = h.biBitCount;
    const bool palette = bits == 1 || bits == 2 || bits == 4 || bits == kBitsPerPixel;
    const bool rows = h.biCompression == kUncompressed;
    const bool stream = (h.biCompression == kRunLength4 && bits == 4) ||
                        (h.biCompression == kRunLength8 && bits == kBitsPerPixel);
    if (bits == 16 || bits == 24 || bits == 32) {
        std::snprintf(reason.data(), reason.size(),
                      "%u-bit truecolour pixels (palette pictures of 1, 2, 4 or 8 bits are read)",
                      bits);
    } else if (!palette) {
        std::snprintf(reason.data(), reason.size(), "%u bits a pixel", bits);
    } else if (!rows && !stream) {
        std::snprintf(reason.data(), reason.size(), "compression %u with %u bits a pixel",
                      h.biCompression, bits);
    } else if (stream && h.biHeight < 0) {
        std::snprintf(reason.data(), reason.size(), "compressed rows stored top-down");
    } else if (h.biClrUsed > (1u << bits)) {
        std::snprintf(reason.data(), reason.size(), "%u colours for %u bits a pixel", h.biClrUsed,
                      bits);
    } else if (h.biWidth < 0) {
        std::snprintf(reason.data(), reason.size(), "a negative width");
    } else {
        return Form::kWidened;
    }
    return Form::kRefused;
}

// ---- As it stands -----------------------------------------------------------

BITMAPINFOHEADER *ReadAsItStands(File &file, BITMAPINFOHEADER header, std::int64_t pixels_at) {
    if (header.biWidth < 0) return nullptr;
    const auto rows8 = CheckedSize(platform::RowStride(header.biWidth), header.biHeight);
    if (!rows8) return nullptr;
    // 8 bits a pixel: a zero sizeImage computes to the rows' own size.
    const std::uint32_t pixel_size = std::max(header.biSizeImage, *rows8);
    const auto block_size = CheckedSize(pixel_size, 1, kPixelOffset);
    if (!block_size) return nullptr;
    header.biSizeImage = pixel_size;
    header.biClrUsed = kColourCount;

    auto *dib = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*block_size));
    if (dib == nullptr) return nullptr;
    std::memcpy(dib, &header, sizeof header);
    // The colour table is whatever 1024 bytes follow the info header, even in
    // files whose table is shorter; a short read leaves the rest zero.
    file.Read(Bytes(dib) + kColourTableOffset, kColourTableSize);

    if (pixels_at != 0 && file.Seek(pixels_at, File::Origin::kBegin) < 0) {
        return dib;  // nowhere to read pixels from: they stay 0
    }
    std::uint8_t *pixels = Pixels(dib);
    for (std::uint32_t done = 0; done < pixel_size;) {
        std::uint32_t piece = std::min(kFileChunk, pixel_size - done);
        std::int64_t got = file.Read(pixels + done, piece);
        if (got != piece) break;  // a short file leaves the missing pixels 0
        done += piece;
    }
    return dib;
}

// ---- Widened ----------------------------------------------------------------

struct BlockFree {
    void operator()(void *block) const { FREE(block); }
};
using BlockPtr = std::unique_ptr<std::uint8_t, BlockFree>;

std::uint32_t ColourCount(const BITMAPINFOHEADER &h) {
    return h.biClrUsed != 0 ? h.biClrUsed : 1u << h.biBitCount;
}

// The file's colours at the start of the table area; a short table leaves
// the rest of its entries 0.
void ReadColourTable(File &file, const Layout &layout, BITMAPINFOHEADER *dib) {
    std::array<std::uint8_t, kColourTableSize> bytes{};
    const std::uint32_t entries = ColourCount(layout.info);  // at most 256, as classified
    if (file.Seek(layout.tableAt, File::Origin::kBegin) < 0) return;
    file.Read(bytes.data(), std::size_t{entries} * layout.entrySize);
    std::uint8_t *table = Bytes(dib) + kColourTableOffset;
    for (std::uint32_t i = 0; i < entries; ++i) {
        std::memcpy(table + i * kEntrySize, &bytes[i * layout.entrySize], layout.entrySize);
    }
}

// Each file row is read into the stored row it becomes (a file row is never
// longer than an 8-bit row) and widened there.
void ReadRows(File &file, const BITMAPINFOHEADER &in, std::size_t file_stride,
              BITMAPINFOHEADER *dib) {
    const auto stride = static_cast<std::size_t>(platform::RowStride(dib->biWidth));
    for (std::int32_t r = 0; r < dib->biHeight; ++r) {
        const std::int32_t stored = in.biHeight < 0 ? dib->biHeight - 1 - r : r;
        std::span<std::uint8_t> row(Pixels(dib) + std::size_t(stored) * stride, stride);
        const std::int64_t got = file.Read(row.data(), file_stride);
        // A short row's missing bytes are still 0: its missing pixels read 0.
        if (got > 0) WidenRow(row, dib->biWidth, in.biBitCount);
        if (got != static_cast<std::int64_t>(file_stride)) break;
    }
}

// The stream runs to the end of the file, or to sizeImage when that comes
// first. False when no block for it can be had.
bool ReadStream(File &file, const BITMAPINFOHEADER &in, BITMAPINFOHEADER *dib) {
    const std::int64_t at = file.Seek(0, File::Origin::kCurrent);
    const std::int64_t end = file.Seek(0, File::Origin::kEnd);
    if (at < 0 || end <= at || file.Seek(at, File::Origin::kBegin) < 0) return true;
    std::int64_t length = end - at;
    if (in.biSizeImage != 0) length = std::min<std::int64_t>(length, in.biSizeImage);
    const auto size = CheckedSize(length);
    BlockPtr stream(size ? static_cast<std::uint8_t *>(ALLOCATE(*size)) : nullptr);
    if (stream == nullptr) return false;
    const std::int64_t got = std::max<std::int64_t>(file.Read(stream.get(), *size), 0);
    const RunLength kind = in.biBitCount == 4 ? RunLength::kFourBit : RunLength::kEightBit;
    const std::int64_t stride = platform::RowStride(dib->biWidth);
    DecodeRunLength(std::span(stream.get(), static_cast<std::size_t>(got)), kind, dib->biWidth,
                    dib->biHeight, stride, std::span(Pixels(dib), dib->biSizeImage));
    return true;
}

BITMAPINFOHEADER *ReadWidened(File &file, const Layout &layout, std::int64_t pixels_at) {
    const BITMAPINFOHEADER &in = layout.info;
    const std::int64_t height = in.biHeight < 0 ? -std::int64_t{in.biHeight} : in.biHeight;
    const auto stride = CheckedSize(platform::RowStride(in.biWidth));
    const auto file_row_bits = CheckedSize(in.biWidth, in.biBitCount, kRowWordBits - 1);
    const auto area = stride ? CheckedSize(*stride, height) : std::nullopt;
    const auto block_size = area ? CheckedSize(*area, 1, kPixelOffset) : std::nullopt;
    if (!file_row_bits || !block_size || height > INT32_MAX) return nullptr;

    auto *dib = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*block_size));
    if (dib == nullptr) return nullptr;
    BITMAPINFOHEADER out{};
    out.biSize = kInfoHeaderSize;
    out.biWidth = in.biWidth;
    out.biHeight = static_cast<std::int32_t>(height);
    out.biPlanes = 1;
    out.biBitCount = kBitsPerPixel;
    out.biCompression = kUncompressed;
    out.biSizeImage = *area;
    out.biXPelsPerMeter = in.biXPelsPerMeter;
    out.biYPelsPerMeter = in.biYPelsPerMeter;
    out.biClrUsed = kColourCount;
    std::memcpy(dib, &out, sizeof out);

    ReadColourTable(file, layout, dib);
    const std::int64_t table_end =
        layout.tableAt + std::int64_t{ColourCount(in)} * layout.entrySize;
    if (*area == 0 || file.Seek(pixels_at != 0 ? pixels_at : table_end, File::Origin::kBegin) < 0)
        return dib;  // no pixels, or nowhere to read them from: they stay 0
    if (in.biCompression == kUncompressed) {
        const std::size_t file_stride = *file_row_bits / kRowWordBits * (kRowWordBits / 8);
        ReadRows(file, in, file_stride, dib);
    } else if (!ReadStream(file, in, dib)) {
        DeleteDIB(dib);
        return nullptr;
    }
    return dib;
}

BITMAPINFOHEADER *ReadDib(File &file, const char *name) {
    std::int64_t start = file.Seek(0, File::Origin::kCurrent);
    if (start < 0) return nullptr;

    std::array<std::uint8_t, kFileHeaderSize> file_header_bytes{};
    if (file.Read(file_header_bytes.data(), kFileHeaderSize) != kFileHeaderSize) return nullptr;
    FileHeader file_header = ParseFileHeader(file_header_bytes);
    if (file_header.type != kFileType) {
        file_header.offset_bits = 0;
        if (file.Seek(start, File::Origin::kBegin) < 0) return nullptr;
    }

    Layout layout;
    if (!ReadInfoHeader(file, name, layout)) return nullptr;
    const std::int64_t pixels_at =
        file_header.offset_bits != 0 ? start + file_header.offset_bits : 0;
    std::array<char, kReasonSize> reason{};
    switch (Classify(layout.info, reason)) {
        case Form::kAsItStands:
            return ReadAsItStands(file, layout.info, pixels_at);
        case Form::kWidened:
            return ReadWidened(file, layout, pixels_at);
        case Form::kRefused:
            break;
    }
    TraceRefusal(name, reason.data());
    return nullptr;
}

// ---- Writing ----------------------------------------------------------------

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
    return anim::dib::ReadDib(file, fileName);
}

ANIM_API int32_t WriteDIB(const char *fileName, const BITMAPINFOHEADER *dib) {
    if (dib == nullptr) return 0;
    anim::platform::File file = anim::platform::File::Create(fileName);
    if (!file.IsOpen()) return 0;
    return anim::dib::WriteDibFile(file, dib) ? 1 : 0;
}

}  // extern "C"
