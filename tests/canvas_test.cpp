// The off-screen surface's copies into a window and its error reports.
#include "engine_fixture.h"

namespace anim::test {
namespace {

using canvas::CanvasCopyToWindow;
using canvas::CanvasStretchToWindow;

constexpr int32_t kWidth = 13;  // rows padded to 16
constexpr int32_t kHeight = 9;

// Restores the display's default surface format when a test ends.
struct DisplayFormat {
    DisplayFormat(int32_t bits, int32_t topDown) { AnimSetDisplayFormat(bits, topDown); }
    ~DisplayFormat() { AnimSetDisplayFormat(8, 1); }
};

std::vector<uint8_t> Copied(Engine &engine, const RECT &rect, int32_t scale, uint32_t flags,
                            const RGBQUAD *colours) {
    Window window(kWidth * 2, kHeight * 2);
    EXPECT_EQ(CanvasStretchToWindow(window, &rect, &engine.canvas(), scale, flags, colours), 0);
    return window.Pixels();
}

TEST(CanvasWindowCopy, GdiAndWinGPathsPutTheSamePixels) {
    LeakCheck leaks;
    BoxCapture boxes;
    RGBQUAD printer[256];
    for (int i = 0; i < 256; ++i) printer[i] = Rgb(1, 2, uint8_t(i));
    for (int32_t topDown : {1, 0}) {
        DisplayFormat format(8, topDown);
        Engine engine;
        PatternSurface(engine, kWidth, kHeight);
        ASSERT_EQ(engine.canvas().topDown, topDown);
        for (int32_t scale : {1, 2}) {
            for (RECT r : {RECT{0, 0, kWidth - 1, kHeight - 1}, RECT{2, 1, 10, 7}, RECT{5, 7, 5, 7},
                           RECT{-3, -2, 4, 3}, RECT{8, 5, 20, 30}}) {
                SCOPED_TRACE(testing::Message()
                             << "topDown " << topDown << " scale " << scale << " rect "
                             << testing::PrintToString(Boxes(&r, 1)));
                const std::vector<uint8_t> wing = Copied(engine, r, scale, 0, nullptr);
                EXPECT_EQ(Copied(engine, r, scale, 1, nullptr), wing);
                EXPECT_EQ(Copied(engine, r, scale, 3, printer), wing);
                // Exactly the rectangle's surface pixels, magnified, and
                // nothing around them.
                for (int32_t y = 0; y < kHeight * 2; ++y)
                    for (int32_t x = 0; x < kWidth * 2; ++x) {
                        const int32_t sx = x / scale, sy = y / scale;
                        const bool inside = sx >= r.left && sx <= r.right && sy >= r.top &&
                                            sy <= r.bottom && sx < kWidth && sy < kHeight;
                        ASSERT_EQ(wing[y * kWidth * 2 + x], inside ? uint8_t(sx + 16 * sy + 1) : 0)
                            << x << "," << y;
                    }
            }
        }
        // The GDI copy carries the given colours with flag 2, its own
        // otherwise, and always a bottom-up header.
        const RECT all{0, 0, kWidth - 1, kHeight - 1};
        const BITMAPINFO &given = platform::LastStretchDIBitsInfo();
        const RGBQUAD *own = engine.canvas().colors;
        for (auto [scale, flags, colours, want] :
             {std::tuple{1, 3, printer, (const RGBQUAD *)printer},
              {2, 1, printer, own},
              {1, 3, (RGBQUAD *)nullptr, own}}) {
            Copied(engine, all, scale, flags, colours);
            EXPECT_GT(given.bmiHeader.biHeight, 0);
            EXPECT_EQ(Hexes(given.bmiColors), Hexes(want)) << scale << " " << flags;
        }
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(CanvasErrors, ReportedExactlyAndReturned) {
    LeakCheck leaks;
    BoxCapture boxes;
    TraceCapture trace;
    EXPECT_EQ(canvas::CanvasReportError(nullptr, 0, 10), 0);
    EXPECT_TRUE(trace.lines().empty() && boxes.boxes.empty());
    EXPECT_EQ(canvas::CanvasReportError(nullptr, 5, 321), 5);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"Canvas error 5 at line 321\r\n"});
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{"CANVAS|16|Canvas error 5 at line 321\r\n"});

    Engine engine;
    Window window(8, 8);
    const RECT rect{0, 0, 3, 3};
    canvas::Canvas *c = &engine.canvas();
    // Before any surface the WinG copy has nothing to copy from; colour
    // animation changes the colours and the report says why nothing else did.
    const PALETTEENTRY entry{9, 8, 7, 1};
    EXPECT_EQ(Box({CanvasCopyToWindow(window, &rect, c, 0, nullptr),
                   CanvasStretchToWindow(window, &rect, c, 2, 0, nullptr),
                   CanvasCopyToWindow(nullptr, &rect, c, 0, nullptr),
                   CanvasCopyToWindow(window, &rect, nullptr, 0, nullptr),
                   CanvasCopyToWindow(window, nullptr, c, 0, nullptr),
                   canvas::CanvasAnimateColors(c, 40, 1, &entry),
                   canvas::CanvasAnimateColors(c, 40, 0, nullptr),
                   canvas::CanvasAnimateColors(c, 250, 7, &entry),
                   canvas::CanvasAnimateColors(c, -1, 1, &entry),
                   canvas::CanvasAnimateColors(c, 0, 1, nullptr)}),
              Box({1, 1, 4, 3, 3, 4, 0, 3, 3, 3}));
    EXPECT_EQ(boxes.Codes(), (std::vector<int>{5, 1, 1, 4, 3, 3, 4, 3, 3, 3}));
    EXPECT_EQ(c->colors[40].rgbRed, 9);
    EXPECT_EQ(c->colors[250].rgbRed, engine->masterColors[250].rgbRed);

    // A display the canvas cannot draw in leaves the surface it has.
    PatternSurface(engine, 4, 4);
    const auto *bitmap = c->hBitmap;
    {
        DisplayFormat format(16, 1);
        EXPECT_EQ(canvas::CanvasNewSurface(c, 8, 8), 6);
    }
    EXPECT_EQ(c->hBitmap, bitmap);
    EXPECT_EQ(c->bmi.biWidth, 4);
    // The GDI copy of a top-down surface needs a header block of its own.
    platform::FailNthAllocation(1);
    EXPECT_EQ(CanvasCopyToWindow(window, &rect, c, 1, nullptr), 2);
    EXPECT_EQ(boxes.Codes().back(), 2);
    // Every box had its debugger line first (the rest are format notes).
    size_t errorLines = 0;
    for (const std::string &line : trace.lines()) errorLines += line.starts_with("Canvas error ");
    EXPECT_EQ(errorLines, boxes.boxes.size());
}

}  // namespace
}  // namespace anim::test
