#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::kPixelOffset;
using V = std::vector<int64_t>;

uint16_t IndexEntry(const BITMAPINFOHEADER *dib, int i) {
    uint16_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t *>(dib) + 40 + 2 * i, sizeof v);
    return v;
}

TEST(CreateDIB, HeaderStrideAndIdentityTable) {
    anim::test::LeakCheck leaks;
    struct Case {
        int32_t width, height;
        uint32_t image;
    };
    for (Case c : {Case{5, 3, 24}, Case{8, 2, 16}, Case{0, 7, 0}, Case{1, 1, 4}}) {
        BITMAPINFOHEADER *dib = CreateDIB(c.width, c.height);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ((V{dib->biSize, dib->biWidth, dib->biHeight, dib->biPlanes, dib->biBitCount,
                     dib->biCompression, dib->biSizeImage, dib->biClrUsed,
                     int64_t(anim::platform::BlockSize(dib))}),
                  (V{40, c.width, c.height, 1, 8, 0, c.image, 0, kPixelOffset + c.image}));
        for (int i = 0; i < 256; ++i) ASSERT_EQ(IndexEntry(dib, i), i);
        const uint8_t *bytes = reinterpret_cast<const uint8_t *>(dib);
        for (uint32_t i = 40 + 512; i < kPixelOffset + c.image; ++i) ASSERT_EQ(bytes[i], 0) << i;
        DeleteDIB(dib);
    }
    DeleteDIB(nullptr);
}

TEST(CreateDIB, RefusesNegativeAndOverflowingSizes) {
    anim::test::LeakCheck leaks;
    // INT32_MAX x 1: stride rounding would wrap.
    for (auto [w, h] : {std::pair{-1, 4}, {4, -1}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}, {65536, 65536}})
        EXPECT_EQ(CreateDIB(w, h), nullptr) << w << "x" << h;
}

TEST(PixelAddress, TopDownCoordinatesOverBottomUpRows) {
    BITMAPINFOHEADER *dib = CreateDIB(5, 3);
    uint8_t *base = reinterpret_cast<uint8_t *>(dib);
    EXPECT_EQ(GetDIBPixelAddress(dib, 0, 2), base + kPixelOffset);
    EXPECT_EQ(GetDIBPixelAddress(dib, 0, 0), base + kPixelOffset + 2 * 8);
    EXPECT_EQ(GetDIBPixelAddress(dib, 4, 1), base + kPixelOffset + 8 + 4);
    for (auto [x, y] : {std::pair{5, 0}, {0, 3}, {-1, 0}, {0, -1}, {INT32_MIN, INT32_MIN}}) {
        EXPECT_EQ(GetDIBPixelAddress(dib, x, y), nullptr) << x << "," << y;
        EXPECT_EQ(GetPixelAddress(anim::dib::Pixels(dib), x, y, 5, 3), nullptr);
        EXPECT_EQ(GetPixelOffsetTopDown(x, y, 5, 3, 1), 0);
    }
    EXPECT_EQ(GetDIBPixelAddress(nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetPixelAddress(anim::dib::Pixels(dib), 3, 0, 5, 3), GetDIBPixelAddress(dib, 3, 0));
    EXPECT_EQ((V{GetPixelOffsetTopDown(0, 2, 5, 3, 0), GetPixelOffsetTopDown(3, 0, 5, 3, 0),
                 GetPixelOffsetTopDown(3, 2, 5, 3, 1), GetPixelOffsetTopDown(3, 1, 5, 3, 1)}),
              (V{0, 19, 19, 11}));
    DeleteDIB(dib);
}

void FillPattern(BITMAPINFOHEADER *dib) {
    uint8_t *bytes = reinterpret_cast<uint8_t *>(dib);
    for (uint32_t i = 0; i < 1024; ++i) bytes[40 + i] = static_cast<uint8_t>(i * 7 + 1);
    for (uint32_t i = 0; i < dib->biSizeImage; ++i) bytes[kPixelOffset + i] = static_cast<uint8_t>(i * 13 + 5);
}

TEST(CopyDIB, CopiesEverythingAndPumpsOnce) {
    anim::test::LeakCheck leaks;
    anim::test::PumpCounter pump;
    BITMAPINFOHEADER *dib = CreateDIB(7, 5);
    FillPattern(dib);
    BITMAPINFOHEADER *copy = CopyDIB(dib);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, dib, kPixelOffset + dib->biSizeImage), 0);
    EXPECT_EQ(pump.calls(), 1);
    EXPECT_EQ(CopyDIB(nullptr), nullptr);
    EXPECT_EQ(CreateCompatibleDIB(nullptr), nullptr);

    // A compressed DIB's stream ends with its block, short of the raw size
    // that biSizeImage keeps: it is not copied past that end.
    BITMAPINFOHEADER *coded = CompressPDIB(CreateDIB(7, 5), 1);
    ASSERT_NE(coded, nullptr);
    EXPECT_EQ(CopyDIB(coded), nullptr);
    DeleteDIB(coded);
    DeleteDIB(copy);
    DeleteDIB(dib);
}

TEST(CreateCompatibleDIB, SameHeaderAndBlockButFreshTableAndPixels) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(6, 4);
    FillPattern(dib);
    dib->biClrUsed = 256;
    BITMAPINFOHEADER *twin = CreateCompatibleDIB(dib);
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(std::memcmp(twin, dib, 40), 0);
    EXPECT_EQ(anim::platform::BlockSize(twin), anim::platform::BlockSize(dib));
    for (int i = 0; i < 256; ++i) ASSERT_EQ(IndexEntry(twin, i), i);
    for (uint32_t i = 0; i < twin->biSizeImage; ++i) ASSERT_EQ(anim::dib::Pixels(twin)[i], 0);
    DeleteDIB(twin);
    DeleteDIB(dib);
}

TEST(CopyDIBPaletteToDIB, OnlyTheFirstArgumentsTableChanges) {
    BITMAPINFOHEADER *from = CreateDIB(4, 4);
    BITMAPINFOHEADER *to = CreateDIB(4, 4);
    FillPattern(from);
    BITMAPINFOHEADER *from_before = CopyDIB(from);
    CopyDIBPaletteToDIB(to, from);
    EXPECT_EQ(std::memcmp(reinterpret_cast<uint8_t *>(to) + 40,
                          reinterpret_cast<uint8_t *>(from) + 40, 1024), 0);
    EXPECT_EQ(std::memcmp(from, from_before, kPixelOffset + 16), 0);
    EXPECT_EQ(std::memcmp(anim::dib::Pixels(to), std::vector<uint8_t>(16).data(), 16), 0);
    EXPECT_EQ(to->biClrUsed, 0u);
    DeleteDIB(from_before);
    DeleteDIB(to);
    DeleteDIB(from);
}

}  // namespace
