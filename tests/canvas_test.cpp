#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "palette_fixture.h"
#include "platform/display.h"
#include "test_support.h"

namespace {

using anim::canvas::CanvasCopyToWindow;
using anim::canvas::CanvasStretchToWindow;
using anim::test::BoxCapture;
using anim::test::PaletteEngine;
using anim::test::TraceCapture;
using anim::test::Window;

constexpr int32_t kWidth = 13;  // rows padded to 16
constexpr int32_t kHeight = 9;

// Restores the display's default surface format when a test ends.
struct DisplayFormat {
    DisplayFormat(int32_t bits, int32_t topDown) { AnimSetDisplayFormat(bits, topDown); }
    ~DisplayFormat() { AnimSetDisplayFormat(8, 1); }
};

std::vector<uint8_t> Copied(PaletteEngine &engine, const RECT &rect, int32_t scale,
                            uint32_t flags, const RGBQUAD *colours) {
    Window window(kWidth * 2, kHeight * 2);
    EXPECT_EQ(CanvasStretchToWindow(window.dc(), &rect, &engine.canvas(), scale, flags, colours), 0);
    return window.Pixels();
}

TEST(CanvasWindowCopy, GdiAndWinGPathsPutTheSamePixels) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    RGBQUAD printerColours[256];
    for (int i = 0; i < 256; ++i) printerColours[i] = anim::test::Rgb(1, 2, static_cast<uint8_t>(i));

    for (int32_t topDown : {1, 0}) {
        DisplayFormat format(8, topDown);
        PaletteEngine engine;
        engine.MakePatternSurface(kWidth, kHeight);
        ASSERT_EQ(engine.canvas().topDown, topDown);
        for (int32_t scale : {1, 2}) {
            for (RECT rect : {RECT{0, 0, kWidth - 1, kHeight - 1}, RECT{2, 1, 10, 7},
                              RECT{5, 7, 5, 7}, RECT{-3, -2, 4, 3}, RECT{8, 5, 20, 30}}) {
                SCOPED_TRACE(::testing::Message() << "topDown " << topDown << " scale " << scale
                                                  << " rect " << rect.left << "," << rect.top
                                                  << "," << rect.right << "," << rect.bottom);
                const std::vector<uint8_t> wing = Copied(engine, rect, scale, 0, nullptr);
                EXPECT_EQ(Copied(engine, rect, scale, 1, nullptr), wing);
                EXPECT_EQ(Copied(engine, rect, scale, 3, printerColours), wing);

                // Exactly the rectangle's surface pixels, magnified, and
                // nothing around them.
                for (int32_t y = 0; y < kHeight * 2; ++y) {
                    for (int32_t x = 0; x < kWidth * 2; ++x) {
                        const int32_t sx = x / scale, sy = y / scale;
                        const bool inside = sx >= rect.left && sx <= rect.right &&
                                            sy >= rect.top && sy <= rect.bottom &&
                                            sx < kWidth && sy < kHeight && x < kWidth * scale &&
                                            y < kHeight * scale;
                        const uint8_t expected =
                            inside ? static_cast<uint8_t>(sx + 16 * sy + 1) : uint8_t{0};
                        ASSERT_EQ(wing[y * kWidth * 2 + x], expected) << x << "," << y;
                    }
                }
            }
        }

        // The GDI copy carries the given colours with flag 2, its own
        // otherwise, and always a bottom-up header.
        const RECT all{0, 0, kWidth - 1, kHeight - 1};
        Copied(engine, all, 1, 3, printerColours);
        const BITMAPINFO &given = anim::platform::LastStretchDIBitsInfo();
        EXPECT_GT(given.bmiHeader.biHeight, 0);
        EXPECT_EQ(std::memcmp(given.bmiColors, printerColours, sizeof printerColours), 0);
        Copied(engine, all, 2, 1, printerColours);
        EXPECT_EQ(std::memcmp(anim::platform::LastStretchDIBitsInfo().bmiColors,
                              engine.canvas().colors, sizeof printerColours),
                  0);
        Copied(engine, all, 1, 3, nullptr);
        EXPECT_EQ(std::memcmp(anim::platform::LastStretchDIBitsInfo().bmiColors,
                              engine.canvas().colors, sizeof printerColours),
                  0);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(CanvasErrors, ReportedExactlyAndReturned) {
    anim::test::LeakCheck leaks;
    BoxCapture boxes;
    TraceCapture trace;
    EXPECT_EQ(anim::canvas::CanvasReportError(nullptr, 0, 10), 0);
    EXPECT_TRUE(trace.lines().empty());
    EXPECT_TRUE(boxes.boxes().empty());

    EXPECT_EQ(anim::canvas::CanvasReportError(nullptr, 5, 321), 5);
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_EQ(trace.lines()[0], "Canvas error 5 at line 321\r\n");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Canvas error 5 at line 321\r\n");
    EXPECT_EQ(boxes.boxes()[0].caption, "CANVAS");
    EXPECT_EQ(boxes.boxes()[0].style, 16u);

    PaletteEngine engine;
    Window window(8, 8);
    const RECT rect{0, 0, 3, 3};
    auto lastCode = [&]() {
        const std::string &text = boxes.boxes().back().text;
        return std::stoi(text.substr(std::strlen("Canvas error ")));
    };
    // Before any surface: the WinG copy has nothing to copy from.
    EXPECT_EQ(CanvasCopyToWindow(window.dc(), &rect, &engine.canvas(), 0, nullptr), 1);
    EXPECT_EQ(lastCode(), 1);
    EXPECT_EQ(CanvasStretchToWindow(window.dc(), &rect, &engine.canvas(), 2, 0, nullptr), 1);
    EXPECT_EQ(CanvasCopyToWindow(nullptr, &rect, &engine.canvas(), 0, nullptr), 4);
    EXPECT_EQ(lastCode(), 4);
    EXPECT_EQ(CanvasCopyToWindow(window.dc(), &rect, nullptr, 0, nullptr), 3);
    EXPECT_EQ(CanvasCopyToWindow(window.dc(), nullptr, &engine.canvas(), 0, nullptr), 3);
    EXPECT_EQ(lastCode(), 3);

    // Colour animation without a surface: the colours change, the report
    // says why nothing else did.
    const PALETTEENTRY entry{9, 8, 7, 1};
    EXPECT_EQ(anim::canvas::CanvasAnimateColors(&engine.canvas(), 40, 1, &entry), 4);
    EXPECT_EQ(engine.canvas().colors[40].rgbRed, 9);
    EXPECT_EQ(anim::canvas::CanvasAnimateColors(&engine.canvas(), 40, 0, nullptr), 0);
    const size_t reports = boxes.boxes().size();
    EXPECT_EQ(anim::canvas::CanvasAnimateColors(&engine.canvas(), 250, 7, &entry), 3);
    EXPECT_EQ(anim::canvas::CanvasAnimateColors(&engine.canvas(), -1, 1, &entry), 3);
    EXPECT_EQ(anim::canvas::CanvasAnimateColors(&engine.canvas(), 0, 1, nullptr), 3);
    EXPECT_EQ(boxes.boxes().size(), reports + 3);
    EXPECT_EQ(engine.canvas().colors[250].rgbRed, engine.get()->masterColors[250].rgbRed);

    // A display the canvas cannot draw in leaves the surface it has.
    engine.MakePatternSurface(4, 4);
    const auto *bitmap = engine.canvas().hBitmap;
    {
        DisplayFormat format(16, 1);
        EXPECT_EQ(anim::canvas::CanvasNewSurface(&engine.canvas(), 8, 8), 6);
    }
    EXPECT_EQ(engine.canvas().hBitmap, bitmap);
    EXPECT_EQ(engine.canvas().bmi.biWidth, 4);

    // The GDI copy of a top-down surface needs a header block of its own.
    anim::platform::FailNthAllocation(1);
    EXPECT_EQ(CanvasCopyToWindow(window.dc(), &rect, &engine.canvas(), 1, nullptr), 2);
    EXPECT_EQ(lastCode(), 2);
    // Every box had its debugger line first (the rest are format notes).
    size_t errorLines = 0;
    for (const std::string &line : trace.lines()) errorLines += line.rfind("Canvas error ", 0) == 0;
    EXPECT_EQ(errorLines, boxes.boxes().size());
}

}  // namespace
