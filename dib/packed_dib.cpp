// Packed DIBs in memory: creating, copying, releasing and addressing pixels.
#include "dib/packed_dib.h"

#include <cstring>

#include "platform/checked_size.h"
#include "platform/platform.h"

namespace anim::dib {

void WriteIdentityIndexTable(BITMAPINFOHEADER *dib) {
    std::uint8_t *table = Bytes(dib) + kColourTableOffset;
    std::memset(table, 0, kColourTableSize);
    for (std::uint16_t i = 0; i < kColourCount; ++i) {
        std::memcpy(table + i * sizeof i, &i, sizeof i);
    }
}

std::uint32_t ReadablePixelBytes(const BITMAPINFOHEADER &dib) {
    if (!IsCompressed(dib)) return dib.biSizeImage;
    const std::size_t block = platform::BlockSize(&dib);
    const std::size_t stream = block > kPixelOffset ? block - kPixelOffset : 0;
    return stream < dib.biSizeImage ? static_cast<std::uint32_t>(stream) : dib.biSizeImage;
}

std::optional<Geometry> CheckedGeometry(const BITMAPINFOHEADER *dib) {
    if (dib == nullptr || dib->biWidth < 0 || dib->biHeight < 0) return std::nullopt;
    auto rows = platform::CheckedSize(platform::RowStride(dib->biWidth), dib->biHeight);
    if (!rows || *rows > ReadablePixelBytes(*dib)) return std::nullopt;
    return Geometry{dib->biWidth, dib->biHeight, platform::RowStride(dib->biWidth)};
}

BITMAPINFOHEADER *NewDib(std::int32_t width, std::int32_t height) {
    auto image_size = platform::CheckedSize(platform::RowStride(width), height);
    if (width < 0 || !image_size) return nullptr;
    auto block_size = platform::CheckedSize(*image_size, 1, kPixelOffset);
    if (!block_size) return nullptr;
    auto *dib = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*block_size));
    if (dib == nullptr) return nullptr;
    dib->biSize = kInfoHeaderSize;
    dib->biWidth = width;
    dib->biHeight = height;
    dib->biPlanes = 1;
    dib->biBitCount = kBitsPerPixel;
    dib->biCompression = 0;
    dib->biSizeImage = *image_size;
    WriteIdentityIndexTable(dib);
    return dib;
}

namespace {

bool Inside(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

}  // namespace
}  // namespace anim::dib

using namespace anim::dib;

extern "C" {

ANIM_API BITMAPINFOHEADER *CreateDIB(int32_t width, int32_t height) {
    return NewDib(width, height);
}

ANIM_API BITMAPINFOHEADER *CreateCompatibleDIB(const BITMAPINFOHEADER *source) {
    if (source == nullptr) return nullptr;
    std::size_t size = anim::platform::BlockSize(source);
    if (size < kPixelOffset) return nullptr;
    auto *dib = static_cast<BITMAPINFOHEADER *>(ALLOCATE(static_cast<uint32_t>(size)));
    if (dib == nullptr) return nullptr;
    std::memcpy(dib, source, kInfoHeaderSize);
    WriteIdentityIndexTable(dib);
    return dib;
}

ANIM_API BITMAPINFOHEADER *CopyDIB(const BITMAPINFOHEADER *source) {
    if (source == nullptr) return nullptr;
    // A compressed source whose stream is shorter than biSizeImage is not
    // copied: the copy would read past its block.
    auto size = anim::platform::CheckedSize(source->biSizeImage, 1, kPixelOffset);
    if (!size || ReadablePixelBytes(*source) < source->biSizeImage) return nullptr;
    auto *copy = static_cast<BITMAPINFOHEADER *>(ALLOCATE(*size));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, source, *size);
    PumpMessages();
    return copy;
}

ANIM_API void CopyDIBPaletteToDIB(BITMAPINFOHEADER *destination, const BITMAPINFOHEADER *source) {
    std::memcpy(Bytes(destination) + kColourTableOffset, Bytes(source) + kColourTableOffset,
                kColourTableSize);
}

ANIM_API void DeleteDIB(BITMAPINFOHEADER *dib) {
    if (dib != nullptr) FREE(dib);
}

ANIM_API uint8_t *GetDIBPixelAddress(BITMAPINFOHEADER *dib, int32_t x, int32_t y) {
    if (dib == nullptr) return nullptr;
    return GetPixelAddress(Pixels(dib), x, y, dib->biWidth, dib->biHeight);
}

ANIM_API uint8_t *GetPixelAddress(uint8_t *bits, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
    if (bits == nullptr || !anim::dib::Inside(x, y, width, height)) return nullptr;
    return bits + (std::int64_t{height} - 1 - y) * anim::platform::RowStride(width) + x;
}

ANIM_API int32_t GetPixelOffsetTopDown(int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t topDown) {
    if (!anim::dib::Inside(x, y, width, height)) return 0;
    std::int64_t row = topDown != 0 ? y : std::int64_t{height} - 1 - y;
    return static_cast<int32_t>(row * anim::platform::RowStride(width) + x);
}

ANIM_API void PumpMessages(void) {
    anim::platform::PumpWindowMessages();
}

}  // extern "C"
