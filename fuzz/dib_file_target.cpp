// DIB files from anywhere: whatever the bytes, OpenDIB gives null or a block
// that holds every pixel its header describes, and each operation on that
// block stays inside it.
//
//   input := file bytes, read as a DIB file as they stand
//
// A DIB that opens is copied (the copy equal to it), checksummed (the copy
// and the original agree), written and read back (the same header, colours
// and pixels), trimmed to its pixels and to a rectangle taken from the
// file's last 16 bytes, and, when it is 8-bit, painted as a background.
#include <algorithm>
#include <cstring>

#include "animate.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

constexpr std::size_t kPixelOffset = 1064;
constexpr std::int32_t kWindowSide = 64;
constexpr std::uint16_t kEightBits = 8;

const std::uint8_t *Bytes(const BITMAPINFOHEADER *dib) {
    return reinterpret_cast<const std::uint8_t *>(dib);
}

bool SameDib(const BITMAPINFOHEADER *a, const BITMAPINFOHEADER *b) {
    return a->biSizeImage == b->biSizeImage &&
           std::memcmp(Bytes(a), Bytes(b), kPixelOffset + a->biSizeImage) == 0;
}

bool Compressed(const BITMAPINFOHEADER *dib) { return (dib->biCompression & 0xFFFFu) != 0; }

void Paint(EngineState *engine) {
    HDC dc = AnimCreateWindowDC(kWindowSide, kWindowSide);
    PaintScene(engine, dc);
    const RECT corner{0, 0, kWindowSide / 2, kWindowSide / 2};
    PaintSceneRect(engine, dc, &corner);
    AnimDestroyWindowDC(dc);
}

// SetBackground reads the file itself and takes its colours; the trimmed
// copy is then adopted as the background in its place.
void PaintAsBackground(const char *path, BITMAPINFOHEADER *adopted) {
    EngineState *engine = InitAnimate();
    if (engine == nullptr) {
        DeleteDIB(adopted);
        return;
    }
    if (SetBackground(engine, path) == 1) Paint(engine);
    // The engine owns the adopted DIB from here on, whether its surface is
    // made or not.
    if (adopted != nullptr && SetBackgroundFromPDIB(engine, adopted) == 1) Paint(engine);
    if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
    TerminateAnimate(engine);
    FREE(engine);
}

}  // namespace

int DibFileTarget(const std::uint8_t *data, std::size_t size) {
    BlockBalance balance;
    MemoryFile &file = MemoryFile::Get();
    file.Write({data, size});

    BITMAPINFOHEADER *dib = OpenDIB(file.path());
    if (dib == nullptr) return 0;
    FUZZ_CHECK(dib->biWidth >= 0 && dib->biHeight >= 0);
    FUZZ_CHECK(dib->biClrUsed == 256);
    const auto stride = (static_cast<std::uint64_t>(dib->biWidth) + 3) & ~std::uint64_t{3};
    FUZZ_CHECK(dib->biSizeImage >= stride * static_cast<std::uint64_t>(dib->biHeight));
    FUZZ_CHECK(platform::BlockSize(dib) >= kPixelOffset + dib->biSizeImage);

    BITMAPINFOHEADER *copy = CopyDIB(dib);
    FUZZ_CHECK(copy != nullptr);
    FUZZ_CHECK(SameDib(dib, copy));

    // Written with a file header and read back, the block comes back whole.
    FUZZ_CHECK(WriteDIB(file.path(), dib) == 1);
    BITMAPINFOHEADER *reread = OpenDIB(file.path());
    FUZZ_CHECK(reread != nullptr);
    FUZZ_CHECK(SameDib(dib, reread));
    DeleteDIB(reread);

    const bool compressed = Compressed(dib);
    if (!compressed) {
        const std::uint32_t sum = ChecksumDIB(dib);
        FUZZ_CHECK(sum == ChecksumDIB(copy));
        FUZZ_CHECK(sum <= 0xFFFF);
    }

    // Trimmed to a rectangle from the file's tail (refused or not, the
    // rectangle must never reach outside), then to the non-zero pixels.
    RECT rect{};
    if (size >= sizeof rect) std::memcpy(&rect, data + size - sizeof rect, sizeof rect);
    rect.left %= 300;
    rect.top %= 300;
    rect.right %= 300;
    rect.bottom %= 300;
    POINT origin{};
    if (BITMAPINFOHEADER *part = TrimDIB(copy, &rect, &origin)) {
        FUZZ_CHECK(part->biWidth == rect.right - rect.left + 1);
        FUZZ_CHECK(part->biHeight == rect.bottom - rect.top + 1);
        for (std::int32_t y = 0; y < part->biHeight; ++y) {
            FUZZ_CHECK(std::memcmp(GetDIBPixelAddress(part, 0, y),
                                   GetDIBPixelAddress(dib, rect.left, rect.top + y),
                                   static_cast<std::size_t>(part->biWidth)) == 0);
        }
        copy = part;  // the input was released
    }
    BITMAPINFOHEADER *trimmed = TrimDIB(copy, nullptr, &origin);
    if (trimmed == nullptr) {
        DeleteDIB(copy);
    } else {
        // Everything outside the kept box was 0.
        FUZZ_CHECK(trimmed->biWidth >= 1 && trimmed->biHeight >= 1);
    }

    if (dib->biBitCount == kEightBits && !compressed) {
        PaintAsBackground(file.path(), trimmed);
        trimmed = nullptr;
    }
    DeleteDIB(trimmed);
    if (compressed) {
        // A compressed DIB is refused by the checksum, which releases it.
        FUZZ_CHECK(ChecksumDIB(dib) == 0);
    } else {
        DeleteDIB(dib);
    }
    return 0;
}

}  // namespace anim::fuzz
