#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "test_support.h"

namespace {

using anim::dib::Pixels;
using anim::test::LeakCheck;
using anim::test::PumpCounter;
using anim::test::dibs::Owned;
using anim::test::dibs::Px;
using V = std::vector<int32_t>;

// Pixel (x, y) = 10 * y + x + 1: non-zero everywhere and telling where it came from.
BITMAPINFOHEADER *Pattern(int32_t w, int32_t h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int32_t i = 0; i < w * h; ++i) Px(dib, i % w, i / w) = static_cast<uint8_t>(10 * (i / w) + i % w + 1);
    return dib;
}

// A fresh 4 x 3 DIB whose biCompression holds a compression or a difference key.
BITMAPINFOHEADER *Marked(uint32_t compression) {
    BITMAPINFOHEADER *dib = CreateDIB(4, 3);
    dib->biCompression = compression;
    return dib;
}

V MinRect(const Owned &dib) {
    V box(4, -99);
    EXPECT_EQ(GetDIBMinRect(dib.get(), &box[0], &box[1], &box[2], &box[3]), dib.get());
    return box;
}

TEST(DIBMinRect, PassesFindTheBoxOfTheNonZeroPixels) {
    Owned dib(CreateDIB(10, 5));
    EXPECT_EQ(MinRect(dib), (V{9, 0, 4, 0}));  // all zero: the inverted start box
    Px(dib, 3, 1) = 8;
    EXPECT_EQ(MinRect(dib), (V{3, 3, 3, 3}));
    // Only the third pass sees a middle row reaching past both corners.
    Px(dib, 3, 1) = 0;
    Px(dib, 5, 4) = Px(dib, 5, 0) = Px(dib, 1, 2) = Px(dib, 8, 2) = 1;
    EXPECT_EQ(MinRect(dib), (V{1, 8, 0, 4}));
}

// A header may claim millions of rows of no columns at no cost in bytes:
// nothing may walk those rows one by one.
TEST(FuzzRegression, ZeroWidthPictureWithManyRowsIsNotWalked) {
    LeakCheck leaks;
    constexpr int32_t kRows = 10'000'000;
    Owned dib(CreateDIB(0, kRows));
    PumpCounter pumps;
    EXPECT_EQ(ChecksumDIB(dib.get()), 0u);
    EXPECT_EQ(MinRect(dib), (V{-1, 0, kRows - 1, 0}));
    POINT origin{};
    EXPECT_EQ(TrimDIB(dib.get(), nullptr, &origin), nullptr);
    EXPECT_LT(pumps.calls(), 16);
}

TEST(TrimDIB, KeepsTheBoxOrTheRectangleAndReleasesTheInput) {
    LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(10, 5);
    Px(dib, 3, 1) = 8;
    dib->biXPelsPerMeter = 77;
    POINT at{};
    PumpCounter pump;
    Owned one(TrimDIB(dib, nullptr, &at));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(pump.calls(), 7 + 1 + 1);  // the box's rows, the copied row, the release
    EXPECT_EQ((V{one->biWidth, one->biHeight, at.x, at.y, one->biXPelsPerMeter, Px(one, 0, 0)}),
              (V{1, 1, 3, 1, 77, 8}));

    const RECT keep{2, 1, 5, 3};
    Owned cut(TrimDIB(Pattern(10, 5), &keep, &at));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ((V{cut->biWidth, cut->biHeight, at.x, at.y}), (V{4, 3, 2, 1}));
    for (int32_t i = 0; i < 12; ++i) EXPECT_EQ(Px(cut, i % 4, i / 4), 10 * (i / 4 + 1) + i % 4 + 3);
}

TEST(ChecksumDIB, Crc16ArcOverStoredRowsWithoutPadding) {
    Owned dib(CreateDIB(3, 3));
    const char *rows[] = {"789", "456", "123"};  // top row first: stored order reads 1..9
    for (int32_t i = 0; i < 9; ++i) Px(dib, i % 3, i / 3) = static_cast<uint8_t>(rows[i / 3][i % 3]);
    for (int r = 0; r < 3; ++r) Pixels(dib.get())[4 * r + 3] = 0xEE;  // padding takes no part
    EXPECT_EQ(ChecksumDIB(dib.get()), 0xBB3Du);
}

TEST(TemplateNumbers, StepsFollowTheCornerMarks) {
    Owned sheet(CreateDIB(100, 90));
    std::memset(Pixels(sheet.get()), 3, sheet->biSizeImage);
    for (int32_t i = 0; i < 12; ++i) Px(sheet, i % 4 * 32, i / 4 * 40) = 7;
    POINT steps{};
    GetDIBTemplateNumbers(sheet.get(), &steps);
    EXPECT_EQ((V{steps.x, steps.y}), (V{32, 40}));
}

TEST(PadCopyDIB, ZeroBordersAndRowEndsRepeatTheLastPixel) {
    LeakCheck leaks;
    Owned src(Pattern(3, 2));
    Owned pad(PadCopyDIB(src.get(), 1, 2, 0, 1));
    ASSERT_EQ((V{pad->biWidth, pad->biHeight}), (V{4, 5}));
    for (int32_t i = 0; i < 20; ++i) {
        const int32_t x = i % 4, y = i / 4;
        EXPECT_EQ(Px(pad, x, y), x >= 1 && (y == 2 || y == 3) ? Px(src, x - 1, y - 2) : 0);
    }
    Owned wide(PadCopyDIB(src.get(), 2, 0, 0, 0));  // width 5: three bytes of row end
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ((&Px(wide, 4, 0))[3], Px(src, 2, 0));
}

TEST(FillDIBRect, ClipsTheFarEdges) {
    Owned dib(CreateDIB(6, 4));
    const RECT wide{1, 1, 100, 2}, dot{0, 3, 0, 3};  // dot: one column of the last row
    EXPECT_EQ(FillDIBRect(dib.get(), Pixels(dib.get()), &wide, 9), 1);
    EXPECT_EQ(FillDIBRect(dib.get(), Pixels(dib.get()), &dot, 7), 1);
    for (int32_t i = 0; i < 24; ++i) {
        const int32_t x = i % 6, y = i / 6;
        EXPECT_EQ(Px(dib, x, y), x >= 1 && (y == 1 || y == 2) ? 9 : (x == 0 && y == 3 ? 7 : 0)) << x << "," << y;
    }
}

// The header promises these calls work on a packed DIB in the game's own
// memory, which has no block size to ask for.
TEST(DibInCallerMemory, CallsThatNeedNoBlockSizeWork) {
    LeakCheck leaks;
    struct PackedDib {
        BITMAPINFOHEADER header;
        uint8_t colours[anim::dib::kColourTableSize];
        uint8_t pixels[8 * 4];
    };
    static_assert(offsetof(PackedDib, pixels) == anim::dib::kPixelOffset);
    static PackedDib mine;
    BITMAPINFOHEADER *dib = &mine.header;
    *dib = BITMAPINFOHEADER{40, 6, 4, 1, 8, 0, sizeof mine.pixels, 0, 0, 0, 0};
    Px(dib, 4, 2) = 99;
    Owned twin(CreateDIB(6, 4)), copy(CopyDIB(dib)), padded(PadCopyDIB(dib, 1, 1, 1, 1));
    Px(twin, 4, 2) = 99;
    EXPECT_EQ(ChecksumDIB(dib), ChecksumDIB(twin.get()));
    ASSERT_TRUE(copy && padded);
    EXPECT_EQ(std::memcmp(copy.get(), dib, sizeof mine), 0);
    EXPECT_EQ(Px(padded, 5, 3), 99);
    const RECT whole{0, 0, 5, 3};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
    EXPECT_NE(frame, nullptr);
    DeleteAnxFrame(frame);
}

// Each documented refusal once. What a refused call was given stays the
// caller's unless the header says it is released; the leak check holds both.
TEST(DibCalls, RefuseAsDocumented) {
    LeakCheck leaks;
    Owned dib(CreateDIB(4, 3)), packed(Marked(1));
    int32_t n = 0;
    POINT at{};
    const RECT past{2, 0, 4, 1}, backwards{2, 0, 1, 0};
    const std::pair<const char *, bool> refusals[] = {
        {"ALLOCATE past 1 GiB", ALLOCATE(0x40000001u) == nullptr},
        {"CreateDIB of a negative height", CreateDIB(4, -1) == nullptr},
        {"CreateDIB whose stride rounding would wrap", CreateDIB(INT32_MAX, 1) == nullptr},
        {"CreateDIB past 1 GiB", CreateDIB(65536, 65536) == nullptr},
        {"CreateCompatibleDIB of null", CreateCompatibleDIB(nullptr) == nullptr},
        {"CopyDIB of null", CopyDIB(nullptr) == nullptr},
        {"GetDIBPixelAddress right of the picture", GetDIBPixelAddress(dib.get(), 4, 0) == nullptr},
        {"GetDIBPixelAddress of null", GetDIBPixelAddress(nullptr, 0, 0) == nullptr},
        {"GetPixelAddress above the top", GetPixelAddress(Pixels(dib.get()), 0, -1, 4, 3) == nullptr},
        {"GetPixelOffsetTopDown below the bottom", GetPixelOffsetTopDown(0, 3, 4, 3, 1) == 0},
        {"GetDIBMinRect without an output", GetDIBMinRect(dib.get(), &n, nullptr, &n, &n) == nullptr},
        {"GetDIBMinRect of a compressed DIB", GetDIBMinRect(packed.get(), &n, &n, &n, &n) == nullptr},
        {"TrimDIB of an all-zero picture", TrimDIB(dib.get(), nullptr, &at) == nullptr},
        {"TrimDIB to a rectangle past the edge", TrimDIB(dib.get(), &past, &at) == nullptr},
        {"ChecksumDIB of null", ChecksumDIB(nullptr) == 0},
        {"ChecksumDIB of a compressed DIB, released", ChecksumDIB(Marked(1)) == 0},
        {"DeltaDIB of null", DeltaDIB(nullptr, dib.get()) == nullptr},
        {"DeltaDIB into a smaller DIB, released", DeltaDIB(CreateDIB(5, 3), dib.get()) == nullptr},
        {"DeltaDIB of a difference DIB, released", DeltaDIB(Marked(5u << 16), dib.get()) == nullptr},
        {"CopyDIBRectToDIB of a compressed DIB", CopyDIBRectToDIB(packed.get(), 0, 0, 1, 1, &n) == nullptr},
        {"PadCopyDIB of a compressed DIB", PadCopyDIB(packed.get(), 1, 1, 1, 1) == nullptr},
        {"FillDIBRect of an empty rectangle", FillDIBRect(dib.get(), Pixels(dib.get()), &backwards, 1) == 0},
        {"EnableManualDoubling, kept for old callers", EnableManualDoubling(1) == 0},
    };
    for (const auto &[call, refused] : refusals) EXPECT_TRUE(refused) << call;
    DeleteDIB(nullptr);
    FREE(nullptr);
}

}  // namespace
