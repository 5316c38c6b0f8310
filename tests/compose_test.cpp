// Painting's hooks: draw callbacks between the layers and the debug display
// of the rectangles a paint recomposed.
#include "engine_fixture.h"

namespace anim::test {
namespace {

constexpr int32_t kW = 96, kH = 64;

// An engine with a patterned background and a window of its size.
struct Scene {
    Engine e;
    Window w{kW, kH};
    Dib bg = MakeDib(kW, kH, [](int x, int y) { return uint8_t((x * 7 + y * 3) % 200 + 1); });
    Scene() { EXPECT_EQ(SetBackgroundFromPDIB(e, CopyDIB(bg.get())), 1); }
};

std::vector<Box> g_calls;
int32_t Record(HDC, BITMAPINFO *, uint8_t *, int32_t high, int32_t low, int32_t l, int32_t t,
               int32_t r, int32_t b, int32_t user) {
    g_calls.push_back({user, high, low, l, t, r, b});
    return 0;
}

TEST(Compose, DrawCallbacksRunBetweenLayersWithTheirOverlap) {
    Scene s;
    g_calls.clear();
    Dib solid = MakeDib(8, 8, [](int, int) { return uint8_t(9); });
    const int32_t img = AddSpriteDib(s.e, solid.get());
    for (auto [x, depth] : {std::pair{10, 200}, {12, 20}}) {
        const int32_t sprite = AddSprite(s.e);
        SetSpriteSpriteDib(s.e, sprite, img);
        ShowSprite(s.e, sprite, x, 10, depth, ANIM_ANCHOR_TOP_LEFT);
    }
    animate::ClearInvalidRects(s.e);
    for (auto [high, low, user] : {std::tuple{100, 50, 77}, {20, 20, 78}, {10, 0, 79}})
        ASSERT_EQ(RegisterDrawCallback(s.e, Record, high, low, user), 0);
    MakeRectInvalid(s.e, 10, 10, 19, 17);
    PaintScene(s.e, s.w);
    EXPECT_EQ(g_calls, (std::vector<Box>{{77, 100, 50, 10, 10, 20, 18},
                                         {78, 20, 20, 10, 10, 20, 18},
                                         {78, 20, 20, 10, 10, 20, 18},
                                         {79, 10, 0, 10, 10, 20, 18}}));

    // 10 for an upside-down range, 8 beyond 50 entries, 9 for no match.
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 4, 5, 0), 10);
    for (int i = 3; i < 50; ++i) ASSERT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, i), 0);
    EXPECT_EQ(RegisterDrawCallback(s.e, Record, 1, 1, 0), 8);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 20, 20), 0);
    EXPECT_EQ(UnregisterDrawCallback(s.e, Record, 20, 20), 9);
}

TEST(Compose, DebugDisplayTracesAndOutlinesEachRepaintedRectangle) {
    Scene s;
    PaintScene(s.e, s.w);
    SetJoinRectOverhead(0);
    SetDebugInvalidRects(s.e, 1);
    MakeRectInvalid(s.e, 0, 0, 9, 9);
    MakeRectInvalid(s.e, 86, 54, 95, 63);  // outlined up to the window's far corner
    TraceCapture trace;
    PaintScene(s.e, s.w);
    SetJoinRectOverhead(3000);
    EXPECT_EQ(trace.lines(),
              (std::vector<std::string>{"Rect: 0  (0,0,9,9)\r\n", "Rect: 1  (86,54,95,63)\r\n"}));
    auto bg = [&](int32_t x, int32_t y) { return int32_t(*GetDIBPixelAddress(s.bg.get(), x, y)); };
    EXPECT_EQ(Box({s.w.At(0, 0), s.w.At(95, 63), s.w.At(5, 5)}),
              Box({bg(0, 0) ^ 0xFF, bg(95, 63) ^ 0xFF, bg(5, 5)}));
}

}  // namespace
}  // namespace anim::test
