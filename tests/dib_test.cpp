#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "animate.h"
#include "dib/anx_frame.h"
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

using Box = std::array<int32_t, 4>;
using Boxes = std::vector<Box>;

Box B(const RECT &r) {
    return {r.left, r.top, r.right, r.bottom};
}

// A difference DIB whose pixels all hold the key except the changed ones.
Owned Delta(int32_t w, int32_t h, uint8_t key, std::initializer_list<std::pair<int, int>> changed = {}) {
    Owned dib(CreateDIB(w, h));
    dib->biCompression = uint32_t{key} << 16;
    for (int32_t i = 0; i < w * h; ++i) Px(dib, i % w, i / w) = key;
    for (auto [x, y] : changed) Px(dib, x, y) = static_cast<uint8_t>(key + 1);
    return dib;
}

Boxes Find(const Owned &dib, int32_t capacity, int32_t min_size, int32_t trim, int32_t exact, int32_t divisor) {
    std::vector<RECT> rects(capacity);
    int32_t count = capacity;
    DIBFindNewRects(dib.get(), rects.data(), &count, min_size, trim, exact, divisor);
    Boxes out;
    for (int32_t i = 0; i < count; ++i) out.push_back(B(rects[i]));
    return out;
}

// The join settings are process-wide: leave them as the rest of the suite expects.
class FindNewRects : public ::testing::Test {
  protected:
    void TearDown() override {
        SetJoinRectOverhead(3000);
        Find(Delta(1, 1, 0), 1, 0, 0, 0, 2);  // a keyless search: back to the cost rule
    }
    anim::test::LeakCheck leaks_;
};

TEST(RectArithmetic, IntersectUnionAndExclusiveForm) {
    RECT empty, u, i, square{10, 10, 20, 20}, a{0, 0, 10, 5}, b{10, 3, 30, 9}, c{11, 0, 12, 5};
    RECT edge{1, 2, INT32_MAX, 4};
    DibSetRectEmpty(&empty);
    EXPECT_NE(DibIsRectEmpty(&empty), 0);
    EXPECT_EQ(DibUnionRect(&u, &empty, &square), 1);  // the empty origin takes part
    EXPECT_NE(DibIntersectRect(&i, &a, &b), 0);
    EXPECT_EQ(DibIntersectRect(&a, &a, &c), 0);  // aliased, and written even when empty
    DibRectMakeExclusive(&edge);
    EXPECT_EQ((Boxes{B(empty), B(u), B(i), B(a), B(edge)}),
              (Boxes{{0, 0, -1, -1}, {0, 0, 20, 20}, {10, 3, 10, 5}, {11, 0, 10, 5}, {1, 2, INT32_MIN, 5}}));
}

TEST_F(FindNewRects, KeylessSinglePixelJoinModesAndJoinsOfferedAgain) {
    EXPECT_EQ(Find(Owned(CreateDIB(7, 5)), 4, 2, 1, 0, 2), (Boxes{{0, 0, 6, 4}}));
    EXPECT_EQ(Find(Delta(40, 30, 200), 4, 2, 1, 0, 2), (Boxes{{0, 0, 0, 0}}));
    // Trimming finds a change one column right of the region's left edge.
    EXPECT_EQ(Find(Delta(4, 4, 200, {{1, 2}}), 4, 8, 1, 1, 2), (Boxes{{1, 2, 1, 2}}));

    // Exact join mode, chosen by a search, persists into ShouldJoinRect.
    Find(Delta(1, 1, 9), 1, 0, 0, 1, 2);
    RECT top{5, 0, 15, 3}, far_below{5, 5000, 15, 5100}, same_rows{9000, 0, 9500, 3};
    RECT shifted{6, 5000, 15, 5100}, near{16, 1, 17, 2};
    EXPECT_EQ((Box{ShouldJoinRect(&top, &far_below), ShouldJoinRect(&top, &same_rows), ShouldJoinRect(&top, &shifted),
                   ShouldJoinRect(&top, &near)}),
              (Box{1, 1, 0, 0}));
    Find(Delta(1, 1, 9), 1, 0, 0, 0, 2);
    EXPECT_EQ(ShouldJoinRect(&top, &near), 1);

    // 300 x 300, divisor 3, minimum above the cell size: cells {0-100, 101-201, 202-299}^2.
    SetJoinRectOverhead(20300);
    // The third joins the first; that union then joins the second.
    Owned delta = Delta(300, 300, 9, {{50, 50}, {150, 150}, {250, 50}});
    std::vector<RECT> rects(4, RECT{7, 7, 7, 7});
    int32_t count = 4;
    DIBFindNewRects(delta.get(), rects.data(), &count, 150, 0, 0, 3);
    ASSERT_EQ(count, 1);
    EXPECT_EQ((Boxes{B(rects[0]), B(rects[1]), B(rects[2])}),
              (Boxes{{0, 0, 299, 201}, {0, 0, 0, 0}, {7, 7, 7, 7}}));  // the second freed by the removals
}

// Raw Anx frames cut from DIBs come bottom row first, each row padded with
// its last pixel; a rectangle cuts back out as a DIB.
TEST(AnxExchange, CutsRectanglesBottomRowFirstWithPadding) {
    LeakCheck leaks;
    Owned dib(Pattern(7, 3));
    const RECT rects[] = {{1, 0, 5, 2}, {0, 1, 2, 2}, {6, 0, 6, 0}};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib.get(), nullptr, rects, 3);
    ASSERT_NE(frame, nullptr);
    // 5 wide: stride 8, the pad repeating the row's last pixel.
    const uint8_t *p = GetAnxFrameRectAddress(frame, 0);
    EXPECT_EQ(p, reinterpret_cast<uint8_t *>(frame) + 56);
    EXPECT_EQ(V(p, p + 36), (V{22, 23, 24, 25, 26, 26, 26, 26, 12, 13, 14, 15, 16, 16, 16, 16, 2, 3,
                               4,  5,  6,  6,  6,  6,  21, 22, 23, 23, 11, 12, 13, 13, 7,  7,  7, 7}));
    EXPECT_EQ(GetAnxFrameRectAddress(frame, 2), p + 32);
    Owned back(CopyAnxFrameRectToDIB(frame, 1));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ((V{back->biWidth, back->biHeight, int32_t(back->biSizeImage), Px(back, 0, 0), Px(back, 2, 1)}),
              (V{3, 2, 8, 11, 23}));
    DeleteAnxFrame(frame);
}

TEST(DibAnalysis, MinRectPassesChecksumAndTemplateSteps) {
    Owned dib(CreateDIB(10, 5));
    EXPECT_EQ(MinRect(dib), (V{9, 0, 4, 0}));  // all zero: the inverted start box
    Px(dib, 3, 1) = 8;
    EXPECT_EQ(MinRect(dib), (V{3, 3, 3, 3}));
    // Only the third pass sees a middle row reaching past both corners.
    Px(dib, 3, 1) = 0;
    Px(dib, 5, 4) = Px(dib, 5, 0) = Px(dib, 1, 2) = Px(dib, 8, 2) = 1;
    EXPECT_EQ(MinRect(dib), (V{1, 8, 0, 4}));

    // CRC-16/ARC over the stored rows.
    Owned crc(CreateDIB(3, 3));
    const char *rows[] = {"789", "456", "123"};  // top row first: stored order reads 1..9
    for (int32_t i = 0; i < 9; ++i) Px(crc, i % 3, i / 3) = static_cast<uint8_t>(rows[i / 3][i % 3]);
    for (int r = 0; r < 3; ++r) Pixels(crc.get())[4 * r + 3] = 0xEE;  // padding takes no part
    EXPECT_EQ(ChecksumDIB(crc.get()), 0xBB3Du);

    // A template sheet whose cell corners repeat every 32 x 40.
    Owned sheet(CreateDIB(100, 90));
    std::memset(Pixels(sheet.get()), 3, sheet->biSizeImage);
    for (int32_t i = 0; i < 12; ++i) Px(sheet, i % 4 * 32, i / 4 * 40) = 7;
    POINT steps{};
    GetDIBTemplateNumbers(sheet.get(), &steps);
    EXPECT_EQ((V{steps.x, steps.y}), (V{32, 40}));
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

TEST(DibEdits, TrimKeepsTheBoxOrRectanglePadAndFillClipAndACutReportsAllZero) {
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

    // Padding: zero borders, row ends repeating the last pixel.
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

    // Filling clips the far edges.
    Owned filled(CreateDIB(6, 4));
    const RECT across{1, 1, 100, 2}, dot{0, 3, 0, 3};  // dot: one column of the last row
    EXPECT_EQ(FillDIBRect(filled.get(), Pixels(filled.get()), &across, 9), 1);
    EXPECT_EQ(FillDIBRect(filled.get(), Pixels(filled.get()), &dot, 7), 1);
    for (int32_t i = 0; i < 24; ++i) {
        const int32_t x = i % 6, y = i / 6;
        EXPECT_EQ(Px(filled, x, y), x >= 1 && (y == 1 || y == 2) ? 9 : (x == 0 && y == 3 ? 7 : 0)) << x << "," << y;
    }
    int32_t empty = -1;
    const Owned blank(CopyDIBRectToDIB(filled.get(), 1, 0, 5, 0, &empty));  // the untouched top row
    EXPECT_EQ(empty, 1);
    const Owned part(CopyDIBRectToDIB(filled.get(), 0, 0, 1, 1, &empty));
    EXPECT_EQ(empty, 0);
}

// The header promises these calls work on a packed DIB in the game's own
// memory, which has no block size to ask for.
TEST(DibInCallerMemory, CallsThatNeedNoBlockSizeWork) {
    LeakCheck leaks;
    std::vector<uint64_t> mine((anim::dib::kPixelOffset + 8 * 4) / 8);  // aligned for the header
    auto *dib = reinterpret_cast<BITMAPINFOHEADER *>(mine.data());
    *dib = BITMAPINFOHEADER{40, 6, 4, 1, 8, 0, 8 * 4, 0, 0, 0, 0};
    Px(dib, 4, 2) = 99;
    Owned twin(CreateDIB(6, 4)), copy(CopyDIB(dib)), padded(PadCopyDIB(dib, 1, 1, 1, 1));
    Px(twin, 4, 2) = 99;
    EXPECT_EQ(ChecksumDIB(dib), ChecksumDIB(twin.get()));
    ASSERT_TRUE(copy && padded);
    EXPECT_EQ(std::memcmp(copy.get(), dib, 8 * mine.size()), 0);
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
    Owned dib(CreateDIB(4, 3)), packed(Marked(1)), allKeys(Pattern(254, 1)), under(CreateDIB(254, 1));
    int32_t n = 0;
    POINT at{};
    const RECT past{2, 0, 4, 1}, backwards{2, 0, 0, 1}, inside{0, 0, 3, 2};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib.get(), nullptr, &inside, 1);
    ANXFRAME *coded = CompressAnxFrame(CopyDIBToAnxFrame(dib.get(), nullptr, &inside, 1));
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
        {"DeltaDIB with every key 1-254 in use: the picture as it was",
         DeltaDIB(allKeys.get(), under.get()) == allKeys.get() && allKeys->biCompression == 0},
        {"CopyDIBToAnxFrame of a rectangle past the edge", CopyDIBToAnxFrame(dib.get(), nullptr, &past, 1) == nullptr},
        {"CopyDIBToAnxFrame of a backwards rectangle", CopyDIBToAnxFrame(dib.get(), nullptr, &backwards, 1) == nullptr},
        {"CopyDIBToAnxFrame of a negative count", CopyDIBToAnxFrame(dib.get(), nullptr, &inside, -1) == nullptr},
        {"CopyDIBToAnxFrame without rectangles", CopyDIBToAnxFrame(dib.get(), nullptr, nullptr, 1) == nullptr},
        {"CopyDIBToAnxFrame of null", CopyDIBToAnxFrame(nullptr, nullptr, &inside, 1) == nullptr},
        {"CopyDIBToAnxFrame of a compressed DIB", CopyDIBToAnxFrame(packed.get(), nullptr, &inside, 1) == nullptr},
        {"CopyAnxFrameRectToDIB past the last rectangle", CopyAnxFrameRectToDIB(frame, 1) == nullptr},
        {"CopyAnxFrameRectToDIB of a negative index", CopyAnxFrameRectToDIB(frame, -1) == nullptr},
        {"CopyAnxFrameRectToDIB of null", CopyAnxFrameRectToDIB(nullptr, 0) == nullptr},
        {"CopyAnxFrameRectToDIB of a coded frame", CopyAnxFrameRectToDIB(coded, 0) == nullptr},
        {"GetAnxFrameRectAddress of a coded frame", GetAnxFrameRectAddress(coded, 0) == nullptr},
        {"CopyDIBRectToDIB of a compressed DIB", CopyDIBRectToDIB(packed.get(), 0, 0, 1, 1, &n) == nullptr},
        {"PadCopyDIB of a compressed DIB", PadCopyDIB(packed.get(), 1, 1, 1, 1) == nullptr},
        {"FillDIBRect of an empty rectangle", FillDIBRect(dib.get(), Pixels(dib.get()), &backwards, 1) == 0},
        {"EnableManualDoubling, kept for old callers", EnableManualDoubling(1) == 0},
    };
    for (const auto &[call, refused] : refusals) EXPECT_TRUE(refused) << call;
    DeleteAnxFrame(frame);
    DeleteAnxFrame(coded);
    DeleteAnxFrame(nullptr);
    DeleteDIB(nullptr);
    FREE(nullptr);
}

}  // namespace
