// What the display stand-in answers a game: the colours it keeps for itself
// by display depth, the system palette use it replaces, the surface format
// it recommends, and paint timers a reset zeroes.
#include <gtest/gtest.h>

#include "animate.h"
#include "animate/engine_state.h"
#include "canvas/canvas.h"
#include "platform/display.h"

namespace {

namespace platform = anim::platform;

TEST(Display, AnswersFollowTheDisplayFormat) {
    AnimSetDisplayFormat(16, 0);
    EXPECT_EQ(NumColorsReserved(), 20) << "a display without palette";
    BITMAPINFO info{};
    EXPECT_EQ(anim::canvas::CanvasRecommendFormat(&info), 1);
    EXPECT_GT(info.bmiHeader.biHeight, 0);
    AnimSetDisplayFormat(8, 1);
    EXPECT_EQ(NumColorsReserved(), 2 * platform::kStaticColoursPerEnd);
    EXPECT_EQ(anim::canvas::CanvasRecommendFormat(&info), 1);
    EXPECT_LT(info.bmiHeader.biHeight, 0);

    HDC screen = platform::GetScreenDC();
    const std::uint32_t original = platform::SetSystemPaletteUse(screen, platform::kSysPalNoStatic);
    EXPECT_EQ(platform::SetSystemPaletteUse(screen, platform::kSysPalStatic),
              platform::kSysPalNoStatic);
    EXPECT_EQ(platform::SetSystemPaletteUse(screen, 7), 0u) << "an unknown use is refused";
    EXPECT_EQ(platform::SetSystemPaletteUse(screen, original), platform::kSysPalStatic);
    platform::ReleaseScreenDC(screen);
}

TEST(Display, ResetZeroesThePaintTimers) {
    EngineState *engine = InitAnimate();
    ASSERT_NE(engine, nullptr);
    engine->composeTime = 9;
    engine->copyTime = 7;
    ResetFixupPaintTimes(engine);
    std::uint32_t compose = 1, copy = 1;
    GetFixupPaintTimes(engine, &compose, &copy);
    EXPECT_EQ(compose, 0u);
    EXPECT_EQ(copy, 0u);
    EXPECT_NE(engine->timingEnabled, 0);
    TerminateAnimate(engine);
    FREE(engine);
}

}  // namespace
