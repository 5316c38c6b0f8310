#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "platform/display.h"
#include "test_support.h"

namespace {

namespace platform = anim::platform;

TEST(Trace, LineFormatLeavesOutMissingParts) {
    anim::test::TraceCapture trace;
    const std::string longText(3000, 'x');  // past any fixed buffer: whole, not cut
    TraceMessage("ANIMATE", 170, "Allocate SpriteArray FAILED!", 2);
    TraceMessage(nullptr, 0, "just the text", 1);
    TraceMessage("DIB", 0, "no line", 5);
    TraceMessage(nullptr, 12, "no file", 5);
    TraceMessage("DIB", 7, longText.c_str(), 1);
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{"ANIMATE line 170: Allocate SpriteArray FAILED!\r\n",
                                                       "just the text\r\n", "DIB: no line\r\n", " line 12: no file\r\n",
                                                       "DIB line 7: " + longText + "\r\n"}));
}

int32_t AssertionBoxToStderr(const char *text, const char *caption, uint32_t style, void *) {
    fprintf(stderr, "[box caption=%s style=%u]%s", caption, style, text);
    return ANIM_IDOK;
}

// The header in front of each block is the memory layer's only record of it;
// a block released twice no longer has one, and the game is told where.
TEST(AssertionDeathTest, ShowsTheBoxThenAbortsAlsoForADoubleFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            AnimSetMessageBoxHandler(AssertionBoxToStderr, nullptr);
            ReportAssertion("PROJCTOR", 42);
        },
        "\\[box caption=Assertion Failed style=16\\]\n Assertion failed: PROJCTOR, line 42\n"
        "\r\nabnormal program termination");
    EXPECT_DEATH(
        {
            void *block = ALLOCATE(16);
            FREE(block);
            FREE(block);
        },
        "Assertion failed: MEMORY, line [0-9]+");
}

TEST(Display, AnswersFollowTheDisplayFormatAndResetZeroesThePaintTimers) {
    BITMAPINFO info{};
    AnimSetDisplayFormat(16, 0);
    EXPECT_EQ(NumColorsReserved(), 20) << "a display without palette";
    EXPECT_EQ(anim::canvas::CanvasRecommendFormat(&info), 1);
    AnimSetDisplayFormat(8, 1);
    EXPECT_EQ(NumColorsReserved(), 2 * platform::kStaticColoursPerEnd);

    HDC screen = platform::GetScreenDC();
    const std::uint32_t original = platform::SetSystemPaletteUse(screen, platform::kSysPalNoStatic);
    EXPECT_EQ(platform::SetSystemPaletteUse(screen, platform::kSysPalStatic), platform::kSysPalNoStatic);
    EXPECT_EQ(platform::SetSystemPaletteUse(screen, 7), 0u) << "an unknown use is refused";
    platform::SetSystemPaletteUse(screen, original);
    platform::ReleaseScreenDC(screen);

    EngineState engine{};
    engine.composeTime = 9;
    engine.copyTime = 7;
    ResetFixupPaintTimes(&engine);
    std::uint32_t compose = 1, copy = 1;
    GetFixupPaintTimes(&engine, &compose, &copy);
    EXPECT_EQ(compose | copy, 0u);
}

}  // namespace
