// The background operations that size the scene, take the game's colours
// and fill the invalid-rectangle list.
#include "engine_fixture.h"

namespace anim::test {
namespace {

TEST(Background, LoadsSizeTheSceneTakeColoursAndReportFailures) {
    LeakCheck leaks;
    ScratchDir dir;
    BoxCapture boxes;
    Dib pic = MakeDib(64, 48, [](int x, int y) { return uint8_t(x ^ y); });
    auto *colours = reinterpret_cast<RGBQUAD *>(pic.get() + 1);
    for (int i = 0; i < 256; ++i) colours[i] = Rgb(uint8_t(i), uint8_t(255 - i), 7);
    ASSERT_EQ(WriteDIB(dir.File("bg.bmp").c_str(), pic.get()), 1);
    Engine e;
    auto scene = [&] { return Boxes({e->sceneRect})[0]; };
    ASSERT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 1);
    EXPECT_EQ(e.InvalidBoxes(), (std::vector<Box>{{0, 0, 63, 47}}));
    // The game's colours 10..245 are taken, the reserved ones are not.
    EXPECT_EQ(Hexes(e->masterColors, 10, 245), Hexes(colours, 10, 245));
    EXPECT_NE(Hexes(e->masterColors, 246, 246), Hexes(colours, 246, 246));

    // Failures keep what there was and say why.
    TraceCapture trace;
    EXPECT_EQ(SetBackground(e, dir.File("missing.bmp").c_str()), 0);
    EXPECT_TRUE(trace.lines().back().ends_with(": SetBackground: OpenDIB() FAILED!\r\n"))
        << trace.lines().back();
    AnimSetDisplayFormat(16, 1);
    EXPECT_EQ(SetBackground(e, dir.File("bg.bmp").c_str()), 0);
    AnimSetDisplayFormat(8, 1);
    EXPECT_TRUE(trace.lines().back().ends_with(": Can't create offscreen static image.\r\n"))
        << trace.lines().back();
    EXPECT_EQ(scene(), (Box{0, 0, 63, 47}));

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
