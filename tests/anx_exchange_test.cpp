// Raw Anx frames cut from DIBs and DIBs cut back from frames: row order,
// padding, addresses of each rectangle, and what either copy refuses.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "animate.h"
#include "dib/anx_frame.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::LoadEntry;
using Bytes = std::vector<uint8_t>;
using Sides = std::array<int16_t, 4>;

// A width x height DIB whose pixel (x, y), top-down, is 10 * y + x + 1.
BITMAPINFOHEADER *Numbered(int w, int h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *GetDIBPixelAddress(dib, x, y) = uint8_t(10 * y + x + 1);
    return dib;
}
Bytes At(const void *p, size_t n) { return Bytes(static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n); }
Sides SidesOf(const ANXRECT &r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(AnxExchange, CutsRectanglesBottomRowFirstWithPadding) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = Numbered(7, 3);
    dib->biCompression = 0x00AB0000;  // a difference DIB's key colour
    const RECT rects[] = {{1, 0, 5, 2}, {0, 1, 2, 2}, {6, 0, 6, 0}};
    const POINT origin{3, -4};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, &origin, rects, 3);
    ASSERT_NE(frame, nullptr);
    Bytes header(32);  // still raw, the key colour in the high half, the rest zero
    anim::dib::StoreHeader(header.data(), {4, 32, 3, 8 * 3 + 4 * 2 + 4, 0, 0xAB, {3, -4, 9, -2}, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(At(frame, 32), header);
    // 5 wide: stride 8, the pad repeating the row's last pixel.
    const uint8_t *p = GetAnxFrameRectAddress(frame, 0);
    EXPECT_EQ(p, reinterpret_cast<uint8_t *>(frame) + 56);
    EXPECT_EQ(At(p, 36), (Bytes{22, 23, 24, 25, 26, 26, 26, 26, 12, 13, 14, 15, 16, 16, 16, 16, 2, 3, 4, 5,
                                6, 6, 6, 6, 21, 22, 23, 23, 11, 12, 13, 13, 7, 7, 7, 7}));
    EXPECT_EQ(GetAnxFrameRectAddress(frame, 2), p + 32);
    DeleteAnxFrame(frame);
    DeleteDIB(dib);
}

TEST(AnxExchange, RoundTripAndExpandedFramesOfSeveralRectangles) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = Numbered(6, 4);
    const RECT two[] = {{0, 0, 5, 3}, {1, 2, 4, 2}};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, two, 2);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(SidesOf(anim::dib::LoadHeader(frame).rect), (Sides{0, 0, 5, 3}));  // at 0, 0 without an origin
    BITMAPINFOHEADER *back = CopyAnxFrameRectToDIB(frame, 0);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->biSizeImage, 32u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(*GetDIBPixelAddress(back, x, y), 10 * y + x + 1);
    DeleteDIB(back);

    // Expanded whole, every entry is rewritten to reach the picture's far
    // corner; the second no longer describes its rows, so it is refused
    // rather than followed past the block.
    std::array<uint16_t, KOVRLE_TABLE_ENTRIES> plain{};  // escape 0, every other byte plain
    ANXFRAME *coded = AnxKOVRLEFrame(frame, plain.data());
    ASSERT_NE(coded, nullptr);
    ANXFRAME *expanded = AnxUnKOVRLEFrame(coded, nullptr, plain.data(), nullptr, 0, 100, 0, 0, 0, ANX_STREAM_WHOLE_FRAME);
    ASSERT_NE(expanded, nullptr);
    EXPECT_EQ(SidesOf(LoadEntry(expanded, 1)), (Sides{1, 2, 5, 3}));
    EXPECT_EQ(GetAnxFrameRectAddress(expanded, 1), nullptr);
    EXPECT_EQ(CopyAnxFrameRectToDIB(expanded, 1), nullptr);
    DeleteAnxFrame(expanded);
    DeleteAnxFrame(coded);
    DeleteDIB(dib);
}

TEST(AnxExchange, RefusesWhatItCannotCopy) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = Numbered(4, 4);
    const RECT inside{0, 0, 3, 3};
    for (RECT outside : {RECT{0, 0, 4, 3}, RECT{-1, 0, 2, 2}, RECT{0, 1, 3, 4}, RECT{2, 0, 0, 1}})
        EXPECT_EQ(CopyDIBToAnxFrame(dib, nullptr, &outside, 1), nullptr);
    EXPECT_EQ(CopyDIBToAnxFrame(dib, nullptr, &inside, -1), nullptr);
    EXPECT_EQ(CopyDIBToAnxFrame(dib, nullptr, nullptr, 1), nullptr);
    EXPECT_EQ(CopyDIBToAnxFrame(nullptr, nullptr, &inside, 1), nullptr);
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &inside, 1);
    for (int32_t index : {1, -1}) EXPECT_EQ(CopyAnxFrameRectToDIB(frame, index), nullptr);
    EXPECT_EQ(CopyAnxFrameRectToDIB(nullptr, 0), nullptr);
    ANXFRAME compressed = anim::dib::LoadHeader(frame);
    compressed.compression = 1;
    anim::dib::StoreHeader(frame, compressed);
    EXPECT_EQ(CopyAnxFrameRectToDIB(frame, 0), nullptr);
    EXPECT_EQ(GetAnxFrameRectAddress(frame, 0), nullptr);
    DeleteAnxFrame(frame);
    DeleteAnxFrame(nullptr);
    dib->biCompression = 1;
    EXPECT_EQ(CopyDIBToAnxFrame(dib, nullptr, &inside, 1), nullptr);
    DeleteDIB(dib);
}

}  // namespace
