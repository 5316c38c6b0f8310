#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <initializer_list>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "animate.h"
#include "test_support.h"

namespace {

using Box = std::array<int32_t, 4>;
using Boxes = std::vector<Box>;
Box B(const RECT &r) {
    return {r.left, r.top, r.right, r.bottom};
}

using Dib = anim::test::dibs::Owned;

// A difference DIB whose pixels all hold the key except the changed ones.
Dib Delta(int32_t w, int32_t h, uint8_t key,
          std::initializer_list<std::pair<int, int>> changed = {}) {
    Dib dib(CreateDIB(w, h));
    dib->biCompression = uint32_t{key} << 16;
    for (int32_t i = 0; i < w * h; ++i) anim::test::dibs::Px(dib, i % w, i / w) = key;
    for (auto [x, y] : changed) anim::test::dibs::Px(dib, x, y) = static_cast<uint8_t>(key + 1);
    return dib;
}

Boxes Find(const Dib &dib, int32_t capacity, int32_t min_size, int32_t trim, int32_t exact,
           int32_t divisor) {
    std::vector<RECT> rects(capacity > 0 ? capacity : 1);
    int32_t count = capacity;
    DIBFindNewRects(dib.get(), rects.data(), &count, min_size, trim, exact, divisor);
    Boxes out;
    for (int32_t i = 0; i < count; ++i) out.push_back(B(rects[i]));
    return out;
}

void SetEdgeMode(bool edge) {
    Dib keyless(CreateDIB(1, 1));
    RECT r;
    int32_t count = 1;
    DIBFindNewRects(keyless.get(), &r, &count, 0, 0, edge ? 1 : 0, 2);
}

// The join settings are process-wide: leave them as the rest of the suite expects.
class JoinSettingsTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetJoinRectOverhead(3000);
        SetEdgeMode(false);
    }
    anim::test::LeakCheck leaks_;
};
using RectJoin = JoinSettingsTest;
using FindNewRects = JoinSettingsTest;

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

TEST_F(RectJoin, CostRuleWithOverheadAndRatio) {
    RECT a{0, 0, 9, 9}, b{20, 0, 29, 9}, big1{0, 0, 99, 99}, big2{299, 0, 398, 99};
    EXPECT_EQ(ShouldJoinRect(&a, &b), 1);  // 3000 + 81 + 81 > 261
    EXPECT_EQ(ShouldJoinRect(&big1, &big2), 0);
    RECT p{0, 0, 10, 10}, q{20, 0, 30, 10}, touching{10, 0, 20, 10}, apart{15, 0, 25, 10};
    SetJoinRectOverhead(100);  // strict, areas without the +1: 100 + 100 + 100 vs 300
    EXPECT_EQ(ShouldJoinRect(&p, &q), 0);
    SetJoinRectOverhead(101);
    EXPECT_EQ(ShouldJoinRect(&p, &q), 1);
    SetJoinRectOverhead(-1);
    EXPECT_EQ(ShouldJoinRect(&p, &touching), 1);  // 200 < 240
    EXPECT_EQ(ShouldJoinRect(&p, &apart), 0);     // 250 vs 240
    RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    for (int32_t overhead : {-1, 0, INT32_MAX}) {  // wraps, never traps
        SetJoinRectOverhead(overhead);
        EXPECT_LE(ShouldJoinRect(&huge, &p), 1);
    }
}

TEST_F(RectJoin, EdgeModeChosenByFindNewRectsPersists) {
    SetEdgeMode(true);
    RECT top{5, 0, 15, 3}, far_below{5, 5000, 15, 5100}, same_rows{9000, 0, 9500, 3};
    RECT shifted{6, 5000, 15, 5100}, near{16, 1, 17, 2};
    EXPECT_EQ((Box{ShouldJoinRect(&top, &far_below), ShouldJoinRect(&top, &same_rows),
                   ShouldJoinRect(&top, &shifted), ShouldJoinRect(&top, &near)}),
              (Box{1, 1, 0, 0}));
    SetEdgeMode(false);
    EXPECT_EQ(ShouldJoinRect(&top, &near), 1);
}

TEST_F(FindNewRects, KeylessUnchangedAndSinglePixel) {
    Dib keyless(CreateDIB(7, 5));
    EXPECT_EQ(Find(keyless, 4, 2, 1, 0, 2), (Boxes{{0, 0, 6, 4}}));
    for (int exact : {0, 1}) {
        EXPECT_EQ(Find(Delta(40, 30, 200), 4, 2, 1, exact, 2), (Boxes{{0, 0, 0, 0}}));
        EXPECT_EQ(Find(Delta(40, 30, 200, {{17, 23}}), 4, 8, 1, exact, 2),
                  (Boxes{{17, 23, 17, 23}}));
    }
}

// 9 wide, divisor 3: cell step 4, cells start at 0, 4 and 8.
TEST_F(FindNewRects, CellsGoColumnByColumnAndReachTheLastColumn) {
    SetJoinRectOverhead(0);  // disjoint cells never join
    EXPECT_EQ(Find(Delta(9, 9, 5, {{8, 5}}), 8, 4, 0, 0, 3), (Boxes{{8, 4, 8, 7}}));
    EXPECT_EQ(Find(Delta(9, 9, 5, {{8, 0}, {0, 8}, {4, 4}}), 8, 4, 0, 0, 3),
              (Boxes{{0, 8, 3, 8}, {4, 4, 7, 7}, {8, 0, 8, 3}}));
    // Edge mode joins the untrimmed cells of column 0 and trims afterwards.
    Dib column = Delta(9, 9, 5, {{1, 1}, {2, 6}});
    EXPECT_EQ(Find(column, 8, 4, 1, 1, 3), (Boxes{{1, 1, 2, 6}}));
    EXPECT_EQ(Find(column, 8, 4, 0, 1, 3), (Boxes{{0, 0, 3, 7}}));
}

// 300 x 300, divisor 3, minimum above the cell size: cells {0-100, 101-201, 202-299}^2.
TEST_F(FindNewRects, JoinedRectanglesAreRemovedAndTheUnionOfferedAgain) {
    SetJoinRectOverhead(20300);
    // The third joins the first; that union then joins the second.
    Dib delta = Delta(300, 300, 9, {{50, 50}, {150, 150}, {250, 50}});
    std::array<RECT, 4> rects;
    rects.fill(RECT{7, 7, 7, 7});
    int32_t count = 4;
    DIBFindNewRects(delta.get(), rects.data(), &count, 150, 0, 0, 3);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(B(rects[0]), (Box{0, 0, 299, 201}));
    EXPECT_EQ(B(rects[1]), (Box{0, 0, 0, 0}));  // freed by the removals
    EXPECT_EQ(B(rects[2]), (Box{7, 7, 7, 7}));
}

TEST_F(FindNewRects, FullCapacityDiscardsButStillJoins) {
    Dib delta = Delta(300, 300, 9, {{50, 50}, {50, 250}, {150, 50}});
    EXPECT_EQ(Find(delta, 1, 150, 0, 0, 3), (Boxes{{0, 0, 201, 100}}));
    EXPECT_EQ(Find(delta, 4, 150, 0, 0, 3), (Boxes{{0, 202, 100, 299}, {0, 0, 201, 100}}));
    // Once full, regions are not cut: the far change arrives as its whole cell.
    SetJoinRectOverhead(1000000000);
    EXPECT_EQ(Find(Delta(300, 300, 9, {{1, 1}, {250, 250}}), 1, 0, 0, 0, 3),
              (Boxes{{1, 1, 299, 299}}));
}

TEST_F(FindNewRects, DegenerateInputsTerminate) {
    Dib delta = Delta(3, 3, 9, {{2, 2}});
    RECT r{7, 7, 7, 7};
    int32_t count = 4;
    DIBFindNewRects(nullptr, &r, &count, 0, 0, 0, 2);
    EXPECT_EQ(count, 0);
    count = 4;
    DIBFindNewRects(delta.get(), nullptr, &count, 0, 0, 0, 2);
    EXPECT_EQ(count, 0);
    DIBFindNewRects(delta.get(), &r, nullptr, 0, 0, 0, 2);
    for (int32_t capacity : {0, -3}) {
        count = capacity;
        DIBFindNewRects(delta.get(), &r, &count, 0, 0, 0, 2);
        EXPECT_EQ(count, 0);
    }
    EXPECT_EQ(B(r), (Box{7, 7, 7, 7}));
    // Cuts that would give one cell equal to the region: 1x1 below a negative
    // minimum, 2x2 halved.
    SetJoinRectOverhead(0);
    EXPECT_EQ(Find(delta, 4, -1, 0, 0, 3), (Boxes{{2, 2, 2, 2}}));
    EXPECT_EQ(Find(Delta(2, 2, 9, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}), 4, 0, 0, 0, 2),
              (Boxes{{0, 0, 1, 1}}));
    Dib scattered = Delta(41, 29, 3, {{0, 0}, {40, 0}, {13, 17}, {40, 28}, {5, 28}});
    for (int32_t divisor : {1, 0, -7}) {
        EXPECT_EQ(Find(scattered, 16, 1, 0, 0, divisor), Find(scattered, 16, 1, 0, 0, 2));
    }
    EXPECT_EQ(
        Find(scattered, 16, 0, 0, 0, INT32_MAX),
        (Boxes{{0, 0, 0, 0}, {5, 28, 5, 28}, {13, 17, 13, 17}, {40, 0, 40, 0}, {40, 28, 40, 28}}));
    EXPECT_EQ(Find(Delta(0, 0, 9), 2, 0, 1, 0, 2), (Boxes{{0, 0, 0, 0}}));
}

TEST_F(FindNewRects, RandomDeltasAreCovered) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        const int w = pick(1, 70), h = pick(1, 70), key = pick(1, 255);
        Dib delta = Delta(w, h, static_cast<uint8_t>(key));
        std::vector<std::pair<int, int>> changed;
        for (int i = pick(0, w * h / pick(1, 40)); i > 0; --i) {
            int x = pick(0, w - 1), y = pick(0, h - 1);
            uint8_t *p = GetDIBPixelAddress(delta.get(), x, y);
            if (*p == key) changed.emplace_back(x, y);
            *p = static_cast<uint8_t>(key ^ pick(1, 255));
        }
        SetJoinRectOverhead(std::array{3000, 0, 150, -1}[pick(0, 3)]);
        const int min_size = pick(-1, 8), trim = pick(0, 1), exact = pick(0, 1),
                  divisor = pick(0, 5);
        SCOPED_TRACE(testing::Message() << "round " << round);
        for (int capacity : {static_cast<int>(changed.size()) + 1, pick(1, 3)}) {
            const Boxes found = Find(delta, capacity, min_size, trim, exact, divisor);
            ASSERT_TRUE(!found.empty() && found.size() <= static_cast<size_t>(capacity));
            for (const Box &r : found) {
                ASSERT_TRUE(0 <= r[0] && r[0] <= r[2] && r[2] < w && 0 <= r[1] && r[1] <= r[3] &&
                            r[3] < h);
            }
            if (capacity <= static_cast<int>(changed.size())) continue;  // may discard
            for (auto [x, y] : changed) {
                ASSERT_TRUE(std::any_of(found.begin(), found.end(), [x, y](const Box &r) {
                    return r[0] <= x && x <= r[2] && r[1] <= y && y <= r[3];
                })) << x << "," << y;
            }
        }
    }
}

}  // namespace
