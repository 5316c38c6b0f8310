// Inputs the fuzzers found troublesome, held as plain tests beside the
// replay of their saved files (fuzz/regressions/).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "animate.h"
#include "test_support.h"

namespace {

using anim::test::LeakCheck;
using anim::test::PumpCounter;

// A header may claim millions of rows of no columns at no cost in bytes:
// the picture has no pixels, and nothing may walk its rows one by one.
TEST(FuzzRegression, ZeroWidthPictureWithManyRowsIsNotWalked) {
    LeakCheck leaks;
    constexpr int32_t kRows = 10'000'000;
    BITMAPINFOHEADER *dib = CreateDIB(0, kRows);
    ASSERT_NE(dib, nullptr);
    PumpCounter pumps;
    EXPECT_EQ(ChecksumDIB(dib), 0u);
    int32_t left = 0, right = 0, low = 0, high = 0;
    ASSERT_EQ(GetDIBMinRect(dib, &left, &right, &low, &high), dib);
    // The inverted box of a picture without pixels.
    EXPECT_EQ((std::vector<int32_t>{left, right, low, high}), (std::vector<int32_t>{-1, 0, kRows - 1, 0}));
    POINT origin{};
    EXPECT_EQ(TrimDIB(dib, nullptr, &origin), nullptr);
    EXPECT_LT(pumps.calls(), 16);
    DeleteDIB(dib);
}

}  // namespace
