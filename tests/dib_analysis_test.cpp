#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::Pixels;
using anim::platform::LiveBlockCount;
using anim::test::dibs::Px;
using V = std::vector<int32_t>;

// Pixel (x, y) = 10 * y + x + 1: non-zero everywhere and telling where it came from.
BITMAPINFOHEADER *Pattern(int32_t w, int32_t h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) Px(dib, x, y) = static_cast<uint8_t>(10 * y + x + 1);
    return dib;
}

V MinRect(BITMAPINFOHEADER *dib) {
    V box(4, -99);
    EXPECT_EQ(GetDIBMinRect(dib, &box[0], &box[1], &box[2], &box[3]), dib);
    return box;
}

TEST(DIBMinRect, PassesFindTheBoxAndPumpPerRowVisited) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(10, 5);
    anim::test::PumpCounter pump;
    EXPECT_EQ(MinRect(dib), (V{9, 0, 4, 0}));  // all zero: the start box, both passes full
    EXPECT_EQ(pump.calls(), 10);
    Px(dib, 3, 1) = 8;
    EXPECT_EQ(MinRect(dib), (V{3, 3, 3, 3}));
    EXPECT_EQ(pump.calls(), 10 + 4 + 2 + 1);
    // Only the third pass sees a middle row reaching past both corners.
    Px(dib, 3, 1) = 0;
    Px(dib, 5, 4) = Px(dib, 5, 0) = Px(dib, 1, 2) = Px(dib, 8, 2) = 1;
    EXPECT_EQ(MinRect(dib), (V{1, 8, 0, 4}));

    int32_t n;
    EXPECT_EQ(GetDIBMinRect(dib, &n, nullptr, &n, &n), nullptr);
    dib->biCompression = 1;
    EXPECT_EQ(GetDIBMinRect(dib, &n, &n, &n, &n), nullptr);
    dib->biCompression = 0;
    dib->biHeight = 500;  // more rows than the block holds
    EXPECT_EQ(GetDIBMinRect(dib, &n, &n, &n, &n), nullptr);
    DeleteDIB(dib);
    BITMAPINFOHEADER *flat = CreateDIB(4, 0);
    EXPECT_EQ(MinRect(flat), (V{3, 0, -1, 0}));
    DeleteDIB(flat);
}

TEST(TrimDIB, KeepsBoxOrRectangleAndReleasesTheInputUnlessRefused) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(10, 5);
    Px(dib, 3, 1) = 8;
    dib->biXPelsPerMeter = 77;
    anim::dib::Bytes(dib)[1000] = 0x5A;
    POINT at{};
    const size_t live = LiveBlockCount();
    anim::test::PumpCounter pump;
    BITMAPINFOHEADER *one = TrimDIB(dib, nullptr, &at);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(LiveBlockCount(), live);  // the input went back
    EXPECT_EQ(pump.calls(), 7 + 1 + 1);
    EXPECT_EQ((V{one->biWidth, one->biHeight, at.x, at.y, one->biXPelsPerMeter,
                 anim::dib::Bytes(one)[1000], Px(one, 0, 0)}),
              (V{1, 1, 3, 1, 77, 0x5A, 8}));
    DeleteDIB(one);

    RECT keep{2, 1, 5, 3};
    BITMAPINFOHEADER *cut = TrimDIB(Pattern(10, 5), &keep, &at);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ((V{cut->biWidth, cut->biHeight, at.x, at.y}), (V{4, 3, 2, 1}));
    for (int32_t i = 0; i < 12; ++i) EXPECT_EQ(Px(cut, i % 4, i / 4), 10 * (i / 4 + 1) + i % 4 + 3);
    DeleteDIB(cut);

    // Refusals leave the input with the caller.
    dib = CreateDIB(10, 5);
    EXPECT_EQ(TrimDIB(dib, nullptr, &at), nullptr);
    EXPECT_EQ((V{at.x, at.y}), (V{9, 4}));
    for (RECT r : {RECT{5, 1, 10, 3}, RECT{-1, 0, 2, 2}, RECT{0, 0, 9, 5}, RECT{0, 3, 9, 2},
                   RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}})
        EXPECT_EQ(TrimDIB(dib, &r, &at), nullptr);
    RECT all{0, 0, 9, 4};
    EXPECT_EQ(TrimDIB(dib, &all, nullptr), nullptr);
    DeleteDIB(dib);  // still the caller's
}

TEST(ChecksumDIB, Crc16ArcOverStoredRowsWithoutPadding) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(3, 3);
    const char *rows[] = {"789", "456", "123"};  // top row first: stored order reads 1..9
    for (int32_t i = 0; i < 9; ++i)
        Px(dib, i % 3, i / 3) = static_cast<uint8_t>(rows[i / 3][i % 3]);
    anim::test::PumpCounter pump;
    EXPECT_EQ(ChecksumDIB(dib), 0xBB3Du);
    EXPECT_EQ(pump.calls(), 3);
    for (int r = 0; r < 3; ++r) Pixels(dib)[4 * r + 3] = 0xEE;  // padding takes no part
    EXPECT_EQ(ChecksumDIB(dib), 0xBB3Du);
    const size_t live = LiveBlockCount();
    dib->biCompression = 2;
    EXPECT_EQ(ChecksumDIB(dib), 0u);
    EXPECT_EQ(LiveBlockCount(), live - 1);
}

TEST(DeltaDIB, UnchangedPixelsBecomeTheKeyAndOldTakesTheChanges) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *fresh = CreateDIB(4, 3), *old = CreateDIB(4, 3);
    for (BITMAPINFOHEADER *d : {fresh, old}) std::memset(Pixels(d), 1, d->biSizeImage);
    anim::test::PumpCounter pump;
    ASSERT_EQ(DeltaDIB(fresh, old), fresh);
    EXPECT_EQ((V{int32_t(fresh->biCompression), pump.calls()}), (V{131072, 1}));
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_EQ((V{Px(fresh, i % 4, i / 4), Px(old, i % 4, i / 4)}), (V{2, 1}));
    const size_t live = LiveBlockCount();
    EXPECT_EQ(DeltaDIB(fresh, old), nullptr);  // already carries a key: released
    EXPECT_EQ(LiveBlockCount(), live - 1);

    BITMAPINFOHEADER *small = CreateDIB(2, 2);
    Px(small, 0, 0) = 5, Px(small, 1, 0) = 6, Px(small, 0, 1) = 7, Px(small, 1, 1) = 8;
    Px(old, 1, 1) = 5;
    ASSERT_EQ(DeltaOffsetDIB(small, 1, 1, old), small);
    EXPECT_EQ((V{int32_t(small->biCompression), Px(small, 0, 0), Px(small, 1, 0), Px(small, 0, 1),
                 Px(small, 1, 1)}),
              (V{1 << 16, 1, 6, 7, 8}));
    EXPECT_EQ((V{Px(old, 1, 1), Px(old, 2, 1), Px(old, 1, 2), Px(old, 2, 2), Px(old, 3, 2)}),
              (V{5, 6, 7, 8, 1}));
    DeleteDIB(small);

    // Every key candidate in use: both come back untouched.
    BITMAPINFOHEADER *full = CreateDIB(254, 1);
    for (int32_t x = 0; x < 254; ++x) Px(full, x, 0) = static_cast<uint8_t>(x + 1);
    ASSERT_EQ(DeltaOffsetDIB(full, 0, 0, fresh = CreateDIB(254, 1)), full);
    EXPECT_EQ((V{int32_t(full->biCompression), Px(full, 7, 0), Px(fresh, 7, 0)}), (V{0, 8, 0}));
    for (BITMAPINFOHEADER *d : {full, fresh, old}) DeleteDIB(d);
}

TEST(DeltaDIB, RefusalsReleaseOnlyWhenTheOldDibIsSmaller) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *old = CreateDIB(4, 3), *fresh = CreateDIB(2, 2);
    const size_t live = LiveBlockCount();
    for (auto [x, y] : {std::pair{3, 0}, std::pair{0, 2}, std::pair{-1, 0}, std::pair{0, INT_MIN}})
        EXPECT_EQ(DeltaOffsetDIB(fresh, x, y, old), nullptr);  // placement outside: kept
    EXPECT_EQ(LiveBlockCount(), live);
    EXPECT_EQ(DeltaDIB(old, fresh), nullptr);
    EXPECT_EQ(LiveBlockCount(), live - 1);
    DeleteDIB(fresh);
}

TEST(TemplateNumbers, StepsFollowTheCornerMarks) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *sheet = CreateDIB(100, 90);
    std::memset(Pixels(sheet), 3, sheet->biSizeImage);
    for (int32_t y = 0; y < 90; y += 40)
        for (int32_t x = 0; x < 100; x += 32) Px(sheet, x, y) = 7;
    POINT s{};
    auto steps = [&] {
        GetDIBTemplateNumbers(sheet, &s);
        return V{s.x, s.y};
    };
    EXPECT_EQ(steps(), (V{32, 40}));
    Px(sheet, 32, 40) = Px(sheet, 32, 80) = 3;  // no mark below the second one
    EXPECT_EQ(steps(), (V{32, 90}));
    for (int32_t x = 1; x < 100; ++x) Px(sheet, x, 0) = 3;  // none beside the first
    EXPECT_EQ(steps(), (V{100, 90}));
    GetDIBTemplateNumbers(sheet, nullptr);
    DeleteDIB(sheet);
}

TEST(CopyDIBRect, CutsInsideRectanglesOnly) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *src = Pattern(10, 5);
    src->biXPelsPerMeter = 77;
    int32_t empty = 7;
    BITMAPINFOHEADER *cut = CopyDIBRectToDIB(src, 2, 1, 4, 3, &empty);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ((V{cut->biWidth, cut->biHeight, cut->biXPelsPerMeter, empty}), (V{3, 3, 0, 0}));
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(Px(cut, x, y), Px(src, x + 2, y + 1));
        EXPECT_EQ((&Px(cut, 2, y))[1], Px(cut, 2, y));  // row end repeats the last pixel
    }
    EXPECT_EQ(anim::dib::Bytes(cut)[40 + 2 * 200], 200);  // identity table, not the source's
    DeleteDIB(cut);

    BITMAPINFOHEADER *blank = CreateDIB(6, 6);
    DeleteDIB(CopyDIBRectToDIB(blank, 1, 1, 4, 4, &empty));
    EXPECT_EQ(empty, 1);
    DeleteDIB(blank);

    for (RECT r : {RECT{8, 0, 10, 2}, RECT{0, -1, 2, 2}, RECT{3, 0, 2, 2}, RECT{0, 0, 0, INT_MAX}})
        EXPECT_EQ(CopyDIBRectToDIB(src, r.left, r.top, r.right, r.bottom, &empty), nullptr);
    EXPECT_EQ(CopyDIBRectToDIB(src, 0, 0, 1, 1, nullptr), nullptr);
    src->biCompression = 1;
    EXPECT_EQ(CopyDIBRectToDIB(src, 0, 0, 1, 1, &empty), nullptr);
    DeleteDIB(src);
}

TEST(PadCopyDIB, ZeroBordersAndRowEnds) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *src = Pattern(3, 2);
    BITMAPINFOHEADER *pad = PadCopyDIB(src, 1, 2, 0, 1);
    ASSERT_EQ((V{pad->biWidth, pad->biHeight}), (V{4, 5}));
    for (int32_t i = 0; i < 20; ++i) {
        const int32_t x = i % 4, y = i / 4;
        EXPECT_EQ(Px(pad, x, y), x >= 1 && (y == 2 || y == 3) ? Px(src, x - 1, y - 2) : 0);
    }
    DeleteDIB(pad);
    pad = PadCopyDIB(src, 2, 0, 0, 0);  // width 5: three bytes of row end
    ASSERT_EQ((V{pad->biWidth, pad->biHeight}), (V{5, 2}));
    EXPECT_EQ((&Px(pad, 4, 0))[3], Px(src, 2, 0));
    DeleteDIB(pad);

    for (int32_t left : {-1, INT_MAX}) EXPECT_EQ(PadCopyDIB(src, left, 0, 0, 0), nullptr);
    EXPECT_EQ(PadCopyDIB(src, 0, 0, 0, INT_MAX - 2), nullptr);  // fits 32 bits, not a block
    DeleteDIB(src);
}

TEST(FillDIBRect, ClipsFarEdgesInBothRowOrders) {
    anim::test::LeakCheck leaks;
    BITMAPINFOHEADER *dib = CreateDIB(6, 4);
    RECT wide{1, 1, 100, 2};
    EXPECT_EQ(FillDIBRect(dib, Pixels(dib), &wide, 9), 1);
    RECT dot{0, 3, 0, 3};  // one row of one column, in the last row
    EXPECT_EQ(FillDIBRect(dib, Pixels(dib), &dot, 7), 1);
    for (RECT r : {RECT{3, 0, 2, 3}, RECT{-1, 0, 2, 2}, RECT{0, 4, 5, 9}})
        EXPECT_EQ(FillDIBRect(dib, Pixels(dib), &r, 5), 0);
    for (int32_t i = 0; i < 24; ++i) {
        const int32_t x = i % 6, y = i / 6;
        const int32_t want = x >= 1 && (y == 1 || y == 2) ? 9 : (x == 0 && y == 3 ? 7 : 0);
        EXPECT_EQ(Px(dib, x, y), want) << x << "," << y;
    }
    BITMAPINFOHEADER top = *dib;  // a top-down surface keeps row 0 first
    top.biHeight = -4;
    std::vector<uint8_t> bits(8 * 4);
    RECT band{0, 0, 1, 1};
    EXPECT_EQ(FillDIBRect(&top, bits.data(), &band, 4), 1);
    EXPECT_EQ(std::vector<uint8_t>(bits.begin(), bits.begin() + 10),
              (std::vector<uint8_t>{4, 4, 0, 0, 0, 0, 0, 0, 4, 4}));
    EXPECT_EQ(bits[16] + bits[24], 0);
    DeleteDIB(dib);
}

// A well-formed packed DIB in the game's own memory rather than a block from
// ALLOCATE: every call that never needs the block's size works on it.
TEST(DibInCallerMemory, CallsThatNeedNoBlockSizeWork) {
    anim::test::LeakCheck leaks;
    struct PackedDib {
        BITMAPINFOHEADER header;
        uint8_t colours[anim::dib::kColourTableSize];
        uint8_t pixels[8 * 4];
    };
    static_assert(offsetof(PackedDib, pixels) == anim::dib::kPixelOffset);
    static PackedDib fresh, old;
    BITMAPINFOHEADER *dib = &fresh.header;
    for (PackedDib *d : {&fresh, &old}) {
        d->header = BITMAPINFOHEADER{40, 6, 4, 1, 8, 0, sizeof d->pixels, 0, 0, 0, 0};
        for (int32_t i = 0; i < 24; ++i) Px(&d->header, i % 6, i / 6) = uint8_t(10 * (i / 6) + i % 6 + 1);
    }
    BITMAPINFOHEADER *twin = Pattern(6, 4);
    EXPECT_EQ(MinRect(dib), (V{0, 5, 0, 3}));
    EXPECT_EQ(ChecksumDIB(dib), ChecksumDIB(twin));
    POINT steps{};
    GetDIBTemplateNumbers(dib, &steps);
    EXPECT_EQ((V{steps.x, steps.y}), (V{6, 4}));
    BITMAPINFOHEADER *copy = CopyDIB(dib);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, dib, sizeof fresh), 0);
    int32_t empty = -1;
    BITMAPINFOHEADER *cut = CopyDIBRectToDIB(dib, 1, 1, 2, 2, &empty);
    BITMAPINFOHEADER *padded = PadCopyDIB(dib, 1, 1, 1, 1);
    ASSERT_TRUE(cut && padded);
    EXPECT_EQ((V{Px(cut, 0, 0), Px(padded, 1, 1)}), (V{12, 1}));
    const RECT whole{0, 0, 5, 3};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
    EXPECT_NE(frame, nullptr);
    DeleteAnxFrame(frame);
    for (BITMAPINFOHEADER *d : {twin, copy, cut, padded}) DeleteDIB(d);

    Px(dib, 4, 2) = 99;
    ASSERT_EQ(DeltaDIB(dib, &old.header), dib);
    EXPECT_EQ(Px(&old.header, 4, 2), 99);
    RECT found[4];
    int32_t count = 4;
    DIBFindNewRects(dib, found, &count, 1, 1, 0, 2);
    ASSERT_EQ(count, 1);
    EXPECT_EQ((V{found[0].left, found[0].top, found[0].right, found[0].bottom}), (V{4, 2, 4, 2}));
}

}  // namespace
