// DIB files from anywhere: whatever the bytes, OpenDIB gives null or a block
// that holds every pixel its header describes, and each operation on that
// block stays inside it.
//
//   input := file bytes, read as a DIB file as they stand
//
// A DIB that opens is copied (the copy equal to it), checksummed, written
// and read back (the same header, colours and pixels), trimmed to its
// pixels and to a rectangle taken from the file's last 16 bytes, padded,
// cut to that rectangle as a DIB and as a frame (both the same pixels),
// differenced against a copy with one pixel changed (found again by
// DIBFindNewRects), and, when it is 8-bit, painted as a background, as a
// sprite, and magnified.
//
// A few header bytes describe up to the block limit's 4 MiB of pixels (a
// short file leaves them 0), and every operation after the read walks or
// copies them all. Such pictures are read and their headers checked; the
// operations run on images of up to kMaxWalkedBytes, where a run stays well
// under a millisecond. A bigger image takes the same paths per row and
// pixel, only more often. Pictures without pixels (no columns or no rows)
// are taken whatever their other side: nothing may walk that side.
#include <algorithm>
#include <cstring>
#include <utility>

#include "animate.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

constexpr std::int32_t kWindowSide = 64;
constexpr std::uint16_t kEightBits = 8;
constexpr std::uint32_t kMaxWalkedBytes = std::uint32_t{1} << 16;

bool SameDib(const BITMAPINFOHEADER *a, const BITMAPINFOHEADER *b) {
    return a->biSizeImage == b->biSizeImage && std::memcmp(a, b, dib::kPixelOffset + a->biSizeImage) == 0;
}

void Paint(const EngineScope &s) {
    PaintScene(s.engine, s.dc);
    const RECT corner{0, 0, kWindowSide / 2, kWindowSide / 2};
    PaintSceneRect(s.engine, s.dc, &corner);
}

// SetBackground reads the file itself and takes its colours; the DIB is then
// shown as a sprite over it, the scene painted magnified, and the trimmed
// copy adopted as the background in its place.
void PaintAsBackground(const char *path, BITMAPINFOHEADER *dib, BITMAPINFOHEADER *adopted) {
    EngineScope s(kWindowSide, kWindowSide);
    if (SetBackground(s.engine, path) == 1) Paint(s);
    const std::int32_t image = AddSpriteDib(s.engine, dib);  // borrowed
    const std::int32_t sprite = AddSprite(s.engine);
    FUZZ_CHECK(image >= 0 && sprite >= 0);
    SetSpriteSpriteDib(s.engine, sprite, image);
    for (std::int32_t anchor : {ANIM_ANCHOR_CENTRE, ANIM_ANCHOR_FOOT, ANIM_ANCHOR_TOP_LEFT}) {
        ShowSprite(s.engine, sprite, 5 + anchor, 7, 10, anchor);
        Paint(s);
        std::int32_t hit = -1;
        GetSpriteFromPoint(s.engine, 6, 8, &hit);
    }
    ReleasePalette(s.engine);
    if (SetBackgroundPlus(s.engine, path, 2) == 1) PaintSceneStretch(s.engine, s.dc, 2);
    HideSprite(s.engine, sprite);
    DeleteSprite(s.engine, sprite);
    DeleteSpriteDib(s.engine, image);
    // The engine owns the adopted DIB from here on, whether its surface is
    // made or not.
    if (adopted != nullptr && SetBackgroundFromPDIB(s.engine, adopted) == 1) Paint(s);
}

// The editing and frame operations on a DIB whose header came from a file:
// each answers with a block of the size it promises or refuses.
void EditAndExchange(BITMAPINFOHEADER *dib, const RECT &rect) {
    POINT steps{-1, -1};
    GetDIBTemplateNumbers(dib, &steps);
    FUZZ_CHECK(steps.x >= 0 && steps.x <= dib->biWidth && steps.y >= 0 && steps.y <= dib->biHeight);
    if (BITMAPINFOHEADER *padded = PadCopyDIB(dib, 1, 2, 3, 4)) {
        FUZZ_CHECK(padded->biWidth == dib->biWidth + 4 && padded->biHeight == dib->biHeight + 6);
        FUZZ_CHECK(dib->biWidth == 0 || dib->biHeight == 0 ||
                   *GetDIBPixelAddress(padded, 1, 2) == *GetDIBPixelAddress(dib, 0, 0));
        DeleteDIB(padded);
    }
    std::int32_t empty = -1;
    BITMAPINFOHEADER *cut = CopyDIBRectToDIB(dib, rect.left, rect.top, rect.right, rect.bottom, &empty);
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &rect, 1);
    if (frame != nullptr && cut != nullptr) {
        // The same rectangle both ways gives the same pixels.
        BITMAPINFOHEADER *back = CopyAnxFrameRectToDIB(frame, 0);
        FUZZ_CHECK(back != nullptr && back->biWidth == cut->biWidth && back->biHeight == cut->biHeight);
        FUZZ_CHECK(SameRows(cut, 0, 0, back, cut->biWidth, cut->biHeight));
        DeleteDIB(back);
    }
    DeleteAnxFrame(frame);
    DeleteDIB(cut);

    // A copy with one pixel changed, differenced against the original: the
    // changed pixel must be found again.
    if (dib->biWidth < 1 || dib->biHeight < 1 || (dib->biCompression >> 16) != 0) return;
    BITMAPINFOHEADER *old = CopyDIB(dib);
    BITMAPINFOHEADER *fresh = CopyDIB(dib);
    FUZZ_CHECK(old != nullptr && fresh != nullptr);
    const std::int32_t x = dib->biWidth / 2, y = dib->biHeight / 2;
    *GetDIBPixelAddress(fresh, x, y) ^= 0x5A;
    BITMAPINFOHEADER *diff = DeltaDIB(fresh, old);
    FUZZ_CHECK(diff == fresh);
    // Without a free key index (every value 1-254 in use) both stay as they
    // were; with one, the old DIB takes the changed pixel.
    if (const auto key = static_cast<std::uint8_t>(diff->biCompression >> 16); key != 0) {
        FUZZ_CHECK(*GetDIBPixelAddress(old, x, y) == (*GetDIBPixelAddress(dib, x, y) ^ 0x5A));
        FUZZ_CHECK(*GetDIBPixelAddress(diff, x, y) != key);
        RECT rects[16];
        std::int32_t count = 16;
        DIBFindNewRects(diff, rects, &count, 4, 1, 0, 2);
        FUZZ_CHECK(count == 1 && rects[0].left == x && rects[0].right == x && rects[0].top == y &&
                   rects[0].bottom == y);
    }
    DeleteDIB(diff);
    DeleteDIB(old);
}

}  // namespace

int DibFileTarget(const std::uint8_t *data, std::size_t size) {
    BlockBalance balance;
    const char *path = MemoryFile({data, size});
    BITMAPINFOHEADER *dib = OpenDIB(path);
    if (dib == nullptr) return 0;
    const auto stride = (static_cast<std::uint64_t>(dib->biWidth) + 3) & ~std::uint64_t{3};
    FUZZ_CHECK(dib->biWidth >= 0 && dib->biHeight >= 0 && dib->biClrUsed == 256);
    FUZZ_CHECK(dib->biSizeImage >= stride * static_cast<std::uint64_t>(dib->biHeight));
    FUZZ_CHECK(platform::BlockSize(dib) >= dib::kPixelOffset + dib->biSizeImage);
    if (dib->biSizeImage > kMaxWalkedBytes) {
        DeleteDIB(dib);
        return 0;
    }
    BITMAPINFOHEADER *copy = CopyDIB(dib);
    FUZZ_CHECK(copy != nullptr && SameDib(dib, copy));
    // Written with a file header and read back, the block comes back whole.
    FUZZ_CHECK(WriteDIB(path, dib) == 1);
    BITMAPINFOHEADER *reread = OpenDIB(path);
    FUZZ_CHECK(reread != nullptr && SameDib(dib, reread));
    DeleteDIB(reread);
    const bool compressed = (dib->biCompression & 0xFFFFu) != 0;
    if (!compressed) FUZZ_CHECK(ChecksumDIB(dib) <= 0xFFFF);

    // Trimmed to a rectangle from the file's tail (refused or not, the
    // rectangle must never reach outside), then to the non-zero pixels.
    RECT rect{};
    if (size >= sizeof rect) std::memcpy(&rect, data + size - sizeof rect, sizeof rect);
    rect = {rect.left % 300, rect.top % 300, rect.right % 300, rect.bottom % 300};
    POINT origin{};
    if (BITMAPINFOHEADER *part = TrimDIB(copy, &rect, &origin)) {
        FUZZ_CHECK(part->biWidth == rect.right - rect.left + 1 && part->biHeight == rect.bottom - rect.top + 1);
        FUZZ_CHECK(SameRows(dib, rect.left, rect.top, part, part->biWidth, part->biHeight));
        copy = part;  // the input was released
    }
    BITMAPINFOHEADER *trimmed = TrimDIB(copy, nullptr, &origin);
    if (trimmed == nullptr) DeleteDIB(copy);
    // Everything outside the kept box was 0.
    FUZZ_CHECK(trimmed == nullptr || (trimmed->biWidth >= 1 && trimmed->biHeight >= 1));

    if (compressed) {
        DeleteDIB(trimmed);
        // A compressed DIB is refused by the checksum, which releases it.
        FUZZ_CHECK(ChecksumDIB(dib) == 0);
        return 0;
    }
    EditAndExchange(dib, rect);
    if (dib->biBitCount == kEightBits) PaintAsBackground(path, dib, std::exchange(trimmed, nullptr));
    DeleteDIB(trimmed);
    DeleteDIB(dib);
    return 0;
}

}  // namespace anim::fuzz
