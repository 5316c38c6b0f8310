// The invalid-rectangle list and the background operations that size the
// scene and fill the list.
#include "engine_fixture.h"

namespace anim::test {
namespace {

TEST(InvalidRects, ClippedJoinedAndCapped) {
    Engine e;
    MakeRectInvalid(e, 5, 5, 9, 9);    // no scene yet: dropped
    MakeRectInvalid(e, -3, -3, 0, 0);  // except the origin pixel
    EXPECT_EQ(e.InvalidBoxes(), (std::vector<Box>{{0, 0, 0, 0}}));
    ASSERT_EQ(MakeOffScreenDib(e, 640, 480), 0);
    MakeRectInvalid(e, -10, -10, 9, 9);
    MakeRectInvalid(e, 640, 0, 700, 9);
    MakeRectInvalid(e, 30, 0, 39, 9);
    EXPECT_EQ(e.InvalidBoxes(), (std::vector<Box>{{0, 0, 39, 9}}));

    SetJoinRectOverhead(0);
    animate::ClearInvalidRects(e);
    for (int32_t i = 0; i < 3; ++i) MakeRectInvalid(e, i * 200, i * 100, i * 200 + 9, i * 100 + 9);
    MakeRectInvalid(e, 402, 202, 411, 211);  // joins the third entry only
    EXPECT_EQ(e.InvalidBoxes().back(), (Box{400, 200, 411, 211}));
    EXPECT_EQ(e->invalidCount, 3);
    animate::ClearInvalidRects(e);
    for (int32_t i = 0; i < 256; ++i) MakeRectInvalid(e, 2 * i, i, 2 * i, i);
    MakeRectInvalid(e, 600, 400, 600, 400);
    EXPECT_EQ(e->invalidCount, 256);
    EXPECT_EQ(e.InvalidBoxes().back(), (Box{510, 255, 510, 255}));
    SetJoinRectOverhead(3000);

    for (int32_t y : {479, -1, 480}) MakeScanlineInvalid(e, y);
    EXPECT_EQ(e->invalidRowCount, 1);
    for (int32_t i = 0; i < 300; ++i) MakeScanlineInvalid(e, 7);
    EXPECT_EQ(e->invalidRowCount, 256);
    animate::ClearInvalidRects(e);
    EXPECT_EQ(e->invalidRowCount, 256);
}

TEST(Background, LoadsSizeTheSceneTakeColoursAndReportFailures) {
    LeakCheck leaks;
    ScratchDir dir;
    BoxCapture boxes;
    Dib pic = MakeDib(64, 48, [](int x, int y) { return uint8_t(x ^ y); });
    auto *colours = reinterpret_cast<RGBQUAD *>(pic.get() + 1);
    for (int i = 0; i < 256; ++i) colours[i] = Rgb(uint8_t(i), uint8_t(255 - i), 7);
    ASSERT_EQ(WriteDIB(dir.File("bg.bmp").c_str(), pic.get()), 1);
    Dib half = MakeDib(32, 24, [](int, int) { return uint8_t(1); });
    ASSERT_EQ(WriteDIB(dir.File("half.bmp").c_str(), half.get()), 1);
    Engine e;
    auto scene = [&] { return Boxes(&e->sceneRect, 1)[0]; };
    EXPECT_EQ(SetBackgroundStretch(e, 2), 1);
    ASSERT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 1);
    EXPECT_EQ(e.InvalidBoxes(), (std::vector<Box>{{0, 0, 63, 47}}));
    EXPECT_EQ(e->backgroundScale, 1);
    // The game's colours 10..245 are taken, the reserved ones are not.
    EXPECT_EQ(Hexes(e->masterColors, 10, 245), Hexes(colours, 10, 245));
    EXPECT_NE(Hex(e->masterColors[246]), Hex(colours[246]));
    EXPECT_NE(Hex(e->masterColors[9]), Hex(colours[9]));
    EXPECT_NE(MasterPalette(e), nullptr);

    BITMAPINFOHEADER *old = e->background;
    TraceCapture trace;
    EXPECT_EQ(SetBackground(e, dir.File("missing.bmp").c_str()), 0);
    EXPECT_EQ(e->background, old);
    EXPECT_NE(trace.lines().back().find("SetBackground: OpenDIB() FAILED!"), std::string::npos);

    ASSERT_EQ(SetBackgroundPlus(e, dir.File("half.bmp").c_str(), 2), 1);
    EXPECT_EQ(scene(), (Box{0, 0, 62, 46}));
    EXPECT_EQ(Box({e->canvas.bmi.biWidth, e->backgroundScale}), Box({64, 2}));
    // Only the picture changes: the new one's area is invalidated, clipped.
    ASSERT_EQ(SetBackgroundDibOnly(e, dir.File("bg.bmp").c_str(), 0), 1);
    EXPECT_EQ(e.InvalidBoxes(), (std::vector<Box>{{0, 0, 62, 46}}));

    AnimSetDisplayFormat(16, 1);
    EXPECT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 0);
    AnimSetDisplayFormat(8, 1);
    EXPECT_NE(trace.lines().back().find("Can't create offscreen static image."), std::string::npos);

    // An off-screen image lets the engine's background go; it is not leaked.
    Dib model(CreateDIB(40, 30));
    EXPECT_EQ(SetOffScreenDib(e, model.get()), nullptr);
    EXPECT_EQ(e->background, nullptr);
    EXPECT_EQ(scene(), (Box{0, 0, 39, 29}));
    EXPECT_EQ(Box({MakeOffScreenDib(e, 0, 10), MakeOffScreenDib(e, 640, 480)}), Box({1, 0}));
    RECT r[] = {{-5, 10, 14, 29}, {630, 470, 649, 489}};
    for (RECT &one : r) OffsetRectInsideBackground(e, &one);
    EXPECT_EQ(Boxes(r, 2), (std::vector<Box>{{0, 10, 19, 29}, {620, 460, 639, 479}}));

    ASSERT_EQ(SetBackgroundFromPDIB(e, CopyDIB(pic.get())), 1);
    MakeScanlineInvalid(e, 3);
    EXPECT_EQ(DeleteBackground(e), 0);
    EXPECT_EQ(scene(), (Box{0, 0, -1, -1}));
    EXPECT_EQ(e->invalidCount + e->invalidRowCount + (e->background != nullptr), 0);
}

}  // namespace
}  // namespace anim::test
