// The sprite and image tables: start, limits, anchors, invalidation by
// sprite changes, image sources, and refusal of handles out of range.
#include <climits>
#include <functional>

#include "engine_fixture.h"

namespace anim::test {
namespace {

Box B(const RECT &r) {
    return Boxes(&r, 1)[0];
}

TEST(SpriteTable, AFailedStartLeavesNothingBehindAndNamesTheSpriteTable) {
    LeakCheck leaks;
    for (uint32_t n = 1; n <= 3; ++n) {
        TraceCapture trace;
        platform::FailNthAllocation(n);
        EXPECT_EQ(InitAnimate(), nullptr);
        platform::FailNthAllocation(0);
        EXPECT_EQ(!trace.lines().empty() &&
                      trace.lines()[0].find("Allocate SpriteArray FAILED!") != std::string::npos,
                  n == 3);
    }
}

TEST(SpriteTable, SlotLimitsReuseAndHandlesOutOfRange) {
    Engine e;
    EXPECT_EQ(Box({DeleteSprite(e, 0), DeleteSpriteDib(e, 0)}), Box({-2, -2}));
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(AddSprite(e), i);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(AddSpriteDib(e, nullptr), i);
    EXPECT_EQ(Box({AddSprite(e), AddSpriteDib(e, nullptr)}), Box({-1, -1}));
    EXPECT_EQ(Box({DeleteSprite(e, 7), DeleteSprite(e, 7), AddSprite(e)}), Box({0, -1, 7}));
    EXPECT_EQ(Box({DeleteSpriteDib(e, 9), DeleteSpriteDib(e, 9), AddSpriteDib(e, nullptr)}),
              Box({0, -1, 9}));

    ASSERT_EQ(MakeOffScreenDib(e, 64, 64), 0);
    int32_t x = 5, y = 5, depth = 5, w = 5, h = 5;
    RECT r{1, 2, 3, 4};
    for (const auto &[bad, badImage] : {std::pair{-1, -1}, {512, 256}, {INT_MAX, INT_MIN}}) {
        EXPECT_EQ(Box({DeleteSprite(e, bad), DeleteSpriteDib(e, badImage)}), Box({-1, -1}));
        ShowSprite(e, bad, 1, 1, 1, 0);
        SetSpritePosition(e, bad, 1, 1, 1, 0);
        SetSpriteSpriteDib(e, 0, badImage);
        SetSpriteSpriteDib(e, bad, 0);
        animate::SetSpriteShown(e, bad, 1);
        EXPECT_EQ(HideSprite(e, bad) + UnHideSprite(e, bad), 0);
        GetSpritePosition(e, bad, &x, &y, &depth);
        GetSpriteRect(e, &r, bad);
        SetSpriteDib(e, badImage, nullptr);
        SetSpriteDibFromAnxFrameRect0(e, badImage, nullptr);
        SetSpriteDibSizeFromRect(e, badImage, &r);
        EXPECT_EQ(GetSpritePDib(e, badImage), nullptr);
        GetDibSize(e, badImage, &w, &h);
    }
    EXPECT_EQ(Box({x, y, depth, w, h, r.left, r.bottom, e->invalidCount}),
              Box({5, 5, 5, 5, 5, 1, 4, 0}));
}

TEST(SpriteTable, AnchorsAndWhatShowingHidingAndMovingInvalidate) {
    Engine e;
    ASSERT_EQ(MakeOffScreenDib(e, 640, 480), 0);
    Dib dib(CreateDIB(20, 40));
    const int32_t img = AddSpriteDib(e, dib.get()), s = AddSprite(e);
    SetSpriteSpriteDib(e, s, img);
    RECT r;
    for (const auto &[mode, box] : {std::pair{0, Box{90, 80, 109, 119}},
                                    {1, {90, 65, 109, 104}},
                                    {-1, {100, 100, 119, 139}},
                                    {7, {100, 100, 119, 139}}}) {
        SetSpritePosition(e, s, 100, 100, 3, mode);
        GetSpriteRect(e, &r, s);
        EXPECT_EQ(B(r), box) << mode;
    }
    EXPECT_EQ(e->invalidCount + e->sprites[s].shown, 0);
    // Hidden: the new place only; a short move: the union; a long one: new, then old.
    for (auto [x, y, want] : {std::tuple{10, 10, std::vector<Box>{{10, 10, 29, 49}}},
                              {11, 10, {{10, 10, 30, 49}}},
                              {500, 400, {{500, 400, 519, 439}, {11, 10, 30, 49}}}}) {
        ShowSprite(e, s, x, y, 3, -1);
        EXPECT_EQ(e.InvalidBoxes(), want) << x;
        animate::ClearInvalidRects(e);
    }
    EXPECT_EQ(B(e->sprites[s].prevRect), (Box{11, 10, 30, 49}));
    EXPECT_EQ(Box({UnHideSprite(e, s), HideSprite(e, s), HideSprite(e, s), UnHideSprite(e, s)}),
              Box({0, 1, 0, 1}));
    EXPECT_EQ(e->invalidCount, 1);
    animate::ClearInvalidRects(e);
    SetSpriteSpriteDib(e, s, img);  // hides, and neither this nor deleting repaints
    EXPECT_EQ(Box({e->sprites[s].shown, DeleteSprite(e, s), e->invalidCount}), Box({0, 0, 0}));
    // Wild coordinates saturate rather than overflow.
    const int32_t t = AddSprite(e);
    SetSpriteSpriteDib(e, t, img);
    SetSpritePosition(e, t, INT_MAX, INT_MIN, 0, 1);
    GetSpriteRect(e, &r, t);
    EXPECT_EQ(B(r), (Box{INT_MAX - 10, INT_MIN, INT_MAX, INT_MIN + 4}));
}

TEST(SpriteTable, ImagesFromDibsFramesAndRectangles) {
    Engine e;
    Dib dib(CreateDIB(13, 9));
    const int32_t a = AddSpriteDib(e, dib.get());
    EXPECT_EQ(GetSpritePDib(e, a), reinterpret_cast<uint8_t *>(dib.get()) + 1064);
    const RECT part{2, 3, 6, 4};
    SetSpriteDibSizeFromRect(e, a, &part);
    int32_t w = 0, h = 0;
    GetDibSize(e, a, &w, &h);
    EXPECT_EQ(Box({e->images[a].left, e->images[a].top, w, h}), Box({2, 3, 5, 2}));

    const RECT rects[] = {{0, 0, 12, 8}, {0, 0, 1, 1}};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib.get(), nullptr, rects, 2);
    SetSpriteDibFromAnxFrameRect0(e, a, frame);
    EXPECT_EQ(GetSpritePDib(e, a), reinterpret_cast<uint8_t *>(frame) + 32 + 2 * 8);
    EXPECT_EQ(Box({e->images[a].isFramePixels, e->images[a].width, e->images[a].height}),
              Box({1, 13, 9}));
    // Frames whose first rectangle has no raw rows to point at are refused,
    // each with its reason traced.
    const int32_t b = AddSpriteDib(e, nullptr);
    auto *first = reinterpret_cast<ANXRECT *>(frame + 1);
    const std::pair<std::function<void(bool)>, const char *> faults[] = {
        {[&](bool on) { frame->compression = on; }, "compressed frame"},
        {[&](bool on) { frame->rectCount = on ? 0 : 2; }, "frame without rectangles"},
        {[&](bool on) { first->right = on ? -1 : 12; }, "empty first rectangle"},
        {[&](bool on) { frame->dataSize += on ? -1 : 1; }, "pixel area too short"}};
    frame->dataSize = 16 * 9;  // just enough
    for (const auto &[fault, reason] : faults) {
        TraceCapture trace;
        fault(true);
        SetSpriteDibFromAnxFrameRect0(e, b, frame);
        fault(false);
        EXPECT_EQ(GetSpritePDib(e, b), nullptr) << reason;
        ASSERT_EQ(trace.lines().size(), 1u) << reason;
        EXPECT_TRUE(trace.lines()[0].starts_with("ANIMATE line ") &&
                    trace.lines()[0].ends_with(
                        ": SetSpriteDibFromAnxFrameRect0: " + std::string(reason) + ".\r\n"))
            << trace.lines()[0];
    }
    SetSpriteDibFromAnxFrameRect0(e, b, frame);
    EXPECT_NE(GetSpritePDib(e, b), nullptr);
    DeleteAnxFrame(frame);
}

TEST(SpriteTable, SortModeOrdersEqualAndDeeperSprites) {
    for (int32_t mode : {1, 0}) {
        Engine e;
        Window win(16, 8);  // narrower than the scene: copies are clipped
        ASSERT_EQ(MakeOffScreenDib(e, 300, 8), 0);
        SetSortMode(e, mode);
        std::vector<Dib> dibs;
        const int32_t depths[] = {5, 9, 5};
        for (int32_t i = 0; i < 3; ++i) {
            dibs.push_back(MakeDib(8, 8, [&](int, int) { return uint8_t(i + 1); }));
            SetSpriteSpriteDib(e, AddSprite(e), AddSpriteDib(e, dibs.back().get()));
            ShowSprite(e, i, 2 * i, 0, depths[i], -1);
        }
        // A sprite far up the table is drawn as well.
        for (int32_t i = 3; i < 400; ++i) AddSprite(e);
        SetSpriteSpriteDib(e, 399, 0);
        ShowSprite(e, 399, 14, 0, 0, -1);
        MakeRectInvalid(e, 0, 0, 299, 7);
        PaintScene(e, win);
        // By depth: slot 1, 0, 2; by slot: 0, 1, 2.
        EXPECT_EQ(Box({win.At(3, 0), win.At(6, 0), win.At(9, 0), win.At(15, 7)}),
                  mode ? Box({1, 3, 3, 1}) : Box({2, 3, 3, 1}));
    }
}

}  // namespace
}  // namespace anim::test
