#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

#include "animate.h"
#include "test_support.h"

namespace {

using Box = std::array<int32_t, 4>;
using Boxes = std::vector<Box>;
using Dib = anim::test::dibs::Owned;

Box B(const RECT &r) { return {r.left, r.top, r.right, r.bottom}; }

// A difference DIB whose pixels all hold the key except the changed ones.
Dib Delta(int32_t w, int32_t h, uint8_t key, std::initializer_list<std::pair<int, int>> changed = {}) {
    Dib dib(CreateDIB(w, h));
    dib->biCompression = uint32_t{key} << 16;
    for (int32_t i = 0; i < w * h; ++i) anim::test::dibs::Px(dib, i % w, i / w) = key;
    for (auto [x, y] : changed) anim::test::dibs::Px(dib, x, y) = static_cast<uint8_t>(key + 1);
    return dib;
}

Boxes Find(const Dib &dib, int32_t capacity, int32_t min_size, int32_t trim, int32_t exact, int32_t divisor) {
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

TEST_F(FindNewRects, ExactJoinModePersistsIntoShouldJoinRect) {
    Find(Delta(1, 1, 9), 1, 0, 0, 1, 2);
    RECT top{5, 0, 15, 3}, far_below{5, 5000, 15, 5100}, same_rows{9000, 0, 9500, 3};
    RECT shifted{6, 5000, 15, 5100}, near{16, 1, 17, 2};
    EXPECT_EQ((Box{ShouldJoinRect(&top, &far_below), ShouldJoinRect(&top, &same_rows),
                   ShouldJoinRect(&top, &shifted), ShouldJoinRect(&top, &near)}),
              (Box{1, 1, 0, 0}));
    Find(Delta(1, 1, 9), 1, 0, 0, 0, 2);
    EXPECT_EQ(ShouldJoinRect(&top, &near), 1);
}

TEST_F(FindNewRects, KeylessUnchangedAndSinglePixel) {
    EXPECT_EQ(Find(Dib(CreateDIB(7, 5)), 4, 2, 1, 0, 2), (Boxes{{0, 0, 6, 4}}));
    for (int exact : {0, 1}) {
        EXPECT_EQ(Find(Delta(40, 30, 200), 4, 2, 1, exact, 2), (Boxes{{0, 0, 0, 0}}));
        // Trimming finds a change one column right of the region's left edge.
        EXPECT_EQ(Find(Delta(4, 4, 200, {{1, 2}}), 4, 8, 1, exact, 2), (Boxes{{1, 2, 1, 2}}));
    }
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
    EXPECT_EQ((Boxes{B(rects[0]), B(rects[1]), B(rects[2])}),
              (Boxes{{0, 0, 299, 201}, {0, 0, 0, 0}, {7, 7, 7, 7}}));  // the second freed by the removals
}

}  // namespace
