// The off-screen surface's copies into a window, its error reports, and the
// window's record for its presenter: what was written, fitted to the caller.
#include "engine_fixture.h"

namespace anim::test {
namespace {

constexpr int32_t kWidth = 13;  // rows padded to 16
constexpr int32_t kHeight = 9;

TEST(Canvas, ErrorsReportedExactlyAndDirectAndPrinterCopiesPutTheSamePixels) {
    LeakCheck leaks;
    BoxCapture boxes;
    TraceCapture trace;
    EXPECT_EQ(canvas::CanvasReportError(nullptr, 0, 10), 0);
    EXPECT_EQ(canvas::CanvasReportError(nullptr, 5, 321), 5);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"Canvas error 5 at line 321\r\n"});
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"CANVAS|16|Canvas error 5 at line 321\r\n"});

    RGBQUAD printer[256];
    for (int i = 0; i < 256; ++i) printer[i] = {uint8_t(i), 2, 1, 0};
    for (int32_t topDown : {1, 0}) {
        AnimSetDisplayFormat(8, topDown);
        Engine engine;
        PatternSurface(engine, kWidth, kHeight);
        AnimSetDisplayFormat(8, 1);
        ASSERT_EQ(engine->canvas.topDown, topDown);
        for (int32_t scale : {1, 2}) {
            for (RECT r : {RECT{2, 1, 10, 7}, RECT{-3, -2, 4, 3}, RECT{8, 5, 20, 30}}) {
                SCOPED_TRACE(testing::Message()
                             << "topDown " << topDown << " scale " << scale << " rect " << r.left << "," << r.top);
                Window direct(kWidth * 2, kHeight * 2), printed(kWidth * 2, kHeight * 2);
                EXPECT_EQ(canvas::CanvasStretchToWindow(direct, &r, &engine->canvas, scale, 0, nullptr), 0);
                EXPECT_EQ(canvas::CanvasStretchToWindow(printed, &r, &engine->canvas, scale, 3, printer), 0);
                const std::vector<uint8_t> seen = direct.Pixels();
                EXPECT_EQ(printed.Pixels(), seen);
                // The printer path carries the given colours with flag 2.
                EXPECT_EQ(Hexes(platform::LastStretchDIBitsInfo().bmiColors), Hexes(printer));
                // Exactly the rectangle's surface pixels, magnified.
                for (int32_t y = 0; y < kHeight * 2; ++y)
                    for (int32_t x = 0; x < kWidth * 2; ++x) {
                        const int32_t sx = x / scale, sy = y / scale;
                        const bool inside = sx >= r.left && sx <= r.right && sy >= r.top && sy <= r.bottom &&
                                            sx < kWidth && sy < kHeight;
                        ASSERT_EQ(seen[y * kWidth * 2 + x], inside ? uint8_t(sx + 16 * sy + 1) : 0) << x << "," << y;
                    }
            }
        }
    }
}

std::vector<Box> Take(HDC dc, int32_t capacity = 8) {
    std::vector<RECT> rects(size_t(capacity), RECT{});
    rects.resize(size_t(AnimWindowChanges(dc, rects.data(), capacity, nullptr)));
    return Boxes(rects);
}

TEST(WindowChanges, JoinedByTheRuleTheWholeWindowWhenTheyDoNotFitAndRefusals) {
    Engine engine;
    Window window(96, 64);
    ASSERT_EQ(MakeOffScreenDib(engine, 96, 64), 0);
    auto paint = [&](RECT r) { PaintSceneRect(engine, window, &r); };
    paint({0, 0, 3, 3});
    paint({5, 0, 8, 3});  // the union wastes far less than the overhead: one rectangle
    EXPECT_EQ(Take(window), (std::vector<Box>{{0, 0, 8, 3}}));
    EXPECT_TRUE(Take(window).empty()) << "each call starts a new record";
    SetJoinRectOverhead(0);
    for (int32_t capacity : {2, 1}) {
        paint({0, 0, 3, 3});
        paint({80, 50, 90, 60});
        EXPECT_EQ(Take(window, capacity), capacity == 2 ? (std::vector<Box>{{0, 0, 3, 3}, {80, 50, 90, 60}})
                                                        : (std::vector<Box>{{0, 0, 95, 63}}));
    }
    SetJoinRectOverhead(3000);

    // Refused, with the record kept: not a window, no rectangles, no room.
    paint({2, 2, 5, 5});
    RECT out[2];
    for (auto [dc, rects, n] :
         {std::tuple{HDC(window), (RECT *)nullptr, 2}, {window, out, 0}, {engine->canvas.hWinGDC, out, 2}})
        EXPECT_EQ(AnimWindowChanges(dc, rects, n, nullptr), -1);
    EXPECT_EQ(Take(window), (std::vector<Box>{{2, 2, 5, 5}}));
}

}  // namespace
}  // namespace anim::test
