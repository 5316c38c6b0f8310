// The engine's tables and its scene: start, sprite limits, anchors,
// invalidation by sprite changes, image sources, templates, hit testing and
// the background that sizes the scene and brings the game's colours.
#include <climits>
#include <functional>

#include "engine_fixture.h"

namespace anim::test {
namespace {

TEST(SpriteTable, AFailedStartNamesTheTableAndSlotLimitsReuseAndHandlesOutOfRange) {
    LeakCheck leaks;
    TraceCapture trace;
    platform::FailNthAllocation(3);
    EXPECT_EQ(InitAnimate(), nullptr);
    platform::FailNthAllocation(0);
    EXPECT_EQ(OneTrace(trace), "ANIMATE: Allocate SpriteArray FAILED!\r\n");

    Engine e;
    EXPECT_EQ(Box({DeleteSprite(e, 0), DeleteSpriteDib(e, 0)}), Box({-2, -2}));
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(AddSprite(e), i);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(AddSpriteDib(e, nullptr), i);
    EXPECT_EQ(Box({AddSprite(e), AddSpriteDib(e, nullptr)}), Box({-1, -1}));
    EXPECT_EQ(Box({DeleteSprite(e, 7), DeleteSprite(e, 7), AddSprite(e)}), Box({0, -1, 7}));
    EXPECT_EQ(Box({DeleteSpriteDib(e, 9), DeleteSpriteDib(e, 9), AddSpriteDib(e, nullptr)}), Box({0, -1, 9}));
    ASSERT_EQ(MakeOffScreenDib(e, 64, 64), 0);
    for (const auto &[bad, badImage] : {std::pair{-1, -1}, {512, 256}, {INT_MAX, INT_MIN}}) {
        EXPECT_EQ(Box({DeleteSprite(e, bad), DeleteSpriteDib(e, badImage)}), Box({-1, -1}));
        ShowSprite(e, bad, 1, 1, 1, 0);
        SetSpriteSpriteDib(e, 0, badImage);
        EXPECT_EQ(HideSprite(e, bad) + UnHideSprite(e, bad), 0);
        EXPECT_EQ(GetSpritePDib(e, badImage), nullptr);
    }
    EXPECT_EQ(e->invalidCount, 0);
}

TEST(SpriteTable, AnchorsInvalidationHitTestingAndImagesFromDibsFramesAndRectangles) {
    Engine e;
    ASSERT_EQ(MakeOffScreenDib(e, 640, 480), 0);
    Dib tall(CreateDIB(20, 40));
    const int32_t img = AddSpriteDib(e, tall.get()), s = AddSprite(e);
    SetSpriteSpriteDib(e, s, img);
    for (const auto &[mode, box] :
         {std::pair{0, Box{90, 80, 109, 119}}, {1, {90, 65, 109, 104}}, {-1, {100, 100, 119, 139}}}) {
        SetSpritePosition(e, s, 100, 100, 3, mode);
        RECT r{};
        GetSpriteRect(e, &r, s);
        EXPECT_EQ(Boxes({r})[0], box) << mode;
    }
    int32_t placedX = 0, placedDepth = 0;
    GetSpritePosition(e, s, &placedX, nullptr, &placedDepth);
    EXPECT_EQ(Box({placedX, placedDepth}), Box({100, 3}));
    EXPECT_EQ(e->invalidCount + e->sprites[s].shown, 0);
    EXPECT_EQ(Box({HideSprite(e, s), UnHideSprite(e, s), UnHideSprite(e, s), HideSprite(e, s)}), Box({0, 1, 0, 1}));
    EXPECT_EQ(Boxes({e->invalidRects, e->invalidRects + e->invalidCount}), (std::vector<Box>{{100, 100, 119, 139}}));

    // Hit testing finds the front-most opaque pixel.
    Dib holed = MakeDib(10, 10, [](int x, int) { return uint8_t(x == 2 ? 0 : 5); });
    const int32_t holedImg = AddSpriteDib(e, holed.get());
    for (auto [x, depth] : {std::pair{10, 31999}, {12, 3}, {50, 32000}}) {
        const int32_t h = AddSprite(e);
        SetSpriteSpriteDib(e, h, holedImg);
        ShowSprite(e, h, x, 10, depth, -1);
    }
    // The front sprite 2 is clear in its column 2; sprite 3 is not in front
    // of the depth limit, so nothing is found at 55, 15.
    for (auto [x, y, found, sprite] : {std::tuple{15, 15, 1, 2}, {14, 15, 1, 1}, {21, 19, 1, 2}, {55, 15, 0, 0}}) {
        int32_t hit = -7;
        EXPECT_EQ(Box({GetSpriteFromPoint(e, x, y, &hit), hit}), Box({found, sprite})) << x;
    }

    // Images from DIBs, frames and rectangles.
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
        EXPECT_EQ(OneTrace(trace), "ANIMATE: SetSpriteDibFromAnxFrameRect0: " + std::string(reason) + ".\r\n");
    }
    DeleteAnxFrame(frame);
}

TEST(SceneSheets, TemplateSlotsAndImagesCutFromThemAndBackgroundsThatSizeTheScene) {
    LeakCheck leaks;
    ScratchDir dir;
    Dib sheet = MakeDib(64, 32, [](int x, int y) { return uint8_t(x + y); });
    ASSERT_EQ(WriteDIB(dir.File("sheet.bmp").c_str(), sheet.get()), 1);
    Engine e;
    // An unread sheet's slot stays counted, and as it holds no sheet it is
    // the lowest free one again.
    EXPECT_EQ(OpenSpriteTemplate(e, dir.File("none.bmp").c_str()), 0);
    const int32_t owned = OpenSpriteTemplate(e, dir.File("sheet.bmp").c_str());
    EXPECT_EQ(Box({owned, e->templateCount}), Box({0, 2}));
    for (int32_t t = 1; t < 15; ++t) ASSERT_EQ(AddSpriteTemplate(e, sheet.get()), t);
    EXPECT_EQ(AddSpriteTemplate(e, sheet.get()), -1);
    EXPECT_EQ(OpenSpriteTemplate(e, dir.File("sheet.bmp").c_str()), -1);

    const int32_t img = AddSpriteDibFromTemplate(e, owned, 32, 0, 16, 24);
    const auto &i = e->images[img];
    SetSpriteDibFromTemplate(e, 1, img, 1, 2, 3, 4);
    EXPECT_EQ(Box({i.left, i.top, i.width, i.height, i.data == sheet.get()}), Box({1, 2, 3, 4, 1}));
    // Handles are held against the number taken, not the table size.
    DeleteSpriteTemplate(e, 3);
    DeleteSpriteTemplate(e, 4);
    EXPECT_EQ(Box({AddSpriteDibFromTemplate(e, 14, 0, 0, 1, 1), e->templateCount}), Box({-1, 14}));
    CloseSpriteTemplate(e, owned);  // the engine's own sheet goes
    EXPECT_EQ(e->templateCount, 13);

    // A background sizes the scene, brings the game's colours, and a failed
    // load says why.
    BoxCapture boxes;
    Dib pic = MakeDib(64, 48, [](int x, int y) { return uint8_t(x ^ y); });
    auto *colours = reinterpret_cast<RGBQUAD *>(pic.get() + 1);
    for (int i = 0; i < 256; ++i) colours[i] = {7, uint8_t(255 - i), uint8_t(i), 0};
    ASSERT_EQ(WriteDIB(dir.File("bg.bmp").c_str(), pic.get()), 1);
    auto scene = [&] { return Boxes({e->sceneRect})[0]; };
    ASSERT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 1);
    EXPECT_EQ(Boxes({e->invalidRects, e->invalidRects + e->invalidCount}), (std::vector<Box>{{0, 0, 63, 47}}));
    // The game's colours 10..245 are taken, the reserved ones are not.
    EXPECT_EQ(Hexes(e->masterColors, 10, 245), Hexes(colours, 10, 245));
    EXPECT_NE(Hexes(e->masterColors, 246, 246), Hexes(colours, 246, 246));

    // Failures keep what there was and say why.
    TraceCapture trace;
    EXPECT_EQ(SetBackground(e, dir.File("missing.bmp").c_str()), 0);
    EXPECT_TRUE(trace.lines().back().ends_with(": SetBackground: OpenDIB() FAILED!\r\n")) << trace.lines().back();
    AnimSetDisplayFormat(16, 1);
    EXPECT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 0);
    AnimSetDisplayFormat(8, 1);
    EXPECT_TRUE(trace.lines().back().ends_with(": Can't create offscreen static image.\r\n")) << trace.lines().back();
    EXPECT_EQ(scene(), (Box{0, 0, 63, 47}));
    // A rectangle that fits is moved inside the scene, never resized.
    RECT outside{-5, 40, 10, 50};
    OffsetRectInsideBackground(e, &outside);
    EXPECT_EQ(Boxes({outside})[0], (Box{0, 37, 15, 47}));

    // An off-screen image lets the engine's background go; it is not leaked.
    Dib model(CreateDIB(40, 30));
    EXPECT_EQ(SetOffScreenDib(e, model.get()), nullptr);
    EXPECT_EQ(scene(), (Box{0, 0, 39, 29}));
    EXPECT_EQ(Box({e->background == nullptr, MakeOffScreenDib(e, 0, 10)}), Box({1, 1}));
    EXPECT_EQ(DeleteBackground(e), 0);
    EXPECT_EQ(scene(), (Box{0, 0, -1, -1}));
}

}  // namespace
}  // namespace anim::test
