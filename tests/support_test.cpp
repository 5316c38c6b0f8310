#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "animate.h"
#include "platform/platform.h"
#include "platform/checked_size.h"
#include "test_support.h"

namespace {

using anim::test::TraceCapture;

TEST(Memory, BlocksAreZeroFilledAndKnowTheirSize) {
    anim::test::LeakCheck leaks;
    auto *block = static_cast<uint8_t *>(ALLOCATE(4099));
    ASSERT_NE(block, nullptr);
    EXPECT_GE(anim::platform::BlockSize(block), 4099u);
    for (int i = 0; i < 4099; ++i) ASSERT_EQ(block[i], 0) << i;
    FREE(block);
    FREE(nullptr);
    void *empty = ALLOCATE(0);
    EXPECT_NE(empty, nullptr);
    FREE(empty);
}

TEST(Memory, RefusesOversizedRequestsAndInjectedFailures) {
    anim::test::LeakCheck leaks;
    EXPECT_EQ(ALLOCATE(0xFFFFFFFFu), nullptr);
    anim::platform::FailNthAllocation(2);
    void *first = ALLOCATE(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(ALLOCATE(16), nullptr);
    void *third = ALLOCATE(16);
    EXPECT_NE(third, nullptr);
    FREE(first);
    FREE(third);
}

TEST(CheckedSize, RefusesOverflowAndNegatives) {
    using anim::platform::CheckedSize;
    EXPECT_EQ(CheckedSize(12, 10, 1064), 1184u);
    EXPECT_EQ(CheckedSize(0, 1 << 30, 0), 0u);
    EXPECT_EQ((std::vector<bool>{bool(CheckedSize(-1, 4)), bool(CheckedSize(1 << 20, 1 << 20)),
                                 bool(CheckedSize(1 << 15, 1 << 15, 1)), bool(CheckedSize(INT64_MAX, INT64_MAX))}),
              std::vector<bool>(4, false));
}

TEST(Trace, LineFormatLeavesOutMissingParts) {
    TraceCapture trace;
    const std::string longText(3000, 'x');  // past any fixed buffer: whole, not cut
    TraceMessage("ANIMATE", 170, "Allocate SpriteArray FAILED!", 2);
    TraceMessage(nullptr, 0, "just the text", 1);
    TraceMessage("DIB", 0, "no line", 5);
    TraceMessage(nullptr, 12, "no file", 5);
    TraceMessage("DIB", 7, longText.c_str(), 1);
    EXPECT_EQ(trace.lines(), (std::vector<std::string>{"ANIMATE line 170: Allocate SpriteArray FAILED!\r\n",
                                                       "just the text\r\n", "DIB: no line\r\n",
                                                       " line 12: no file\r\n", "DIB line 7: " + longText + "\r\n"}));
}

int32_t AssertionBoxToStderr(const char *text, const char *caption, uint32_t style, void *) {
    fprintf(stderr, "[box caption=%s style=%u]%s", caption, style, text);
    return ANIM_IDOK;
}

TEST(ReportAssertionDeathTest, ShowsTheBoxThenAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            AnimSetMessageBoxHandler(AssertionBoxToStderr, nullptr);
            ReportAssertion("PROJCTOR", 42);
        },
        "\\[box caption=Assertion Failed style=16\\]\n Assertion failed: PROJCTOR, line 42\n"
        "\r\nabnormal program termination");
}

// The header in front of each block is the memory layer's only record of it;
// a block released twice no longer has one, and the game is told where.
TEST(MemoryDeathTest, DoubleFreeEndsThroughTheAssertion) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            void *block = ALLOCATE(16);
            FREE(block);
            FREE(block);
        },
        "Assertion failed: MEMORY, line [0-9]+");
}

struct PumpScript {
    int waiting;
    int calls;
};

int32_t ScriptedPump(void *user) {
    auto *script = static_cast<PumpScript *>(user);
    ++script->calls;
    return script->waiting > 0 ? script->waiting-- : 0;
}

TEST(PumpMessages, RunsTheGamePumpUntilNothingIsWaiting) {
    PumpScript script{3, 0};
    AnimSetMessagePump(ScriptedPump, &script);
    PumpMessages();
    EXPECT_EQ(script.calls, 4);
    AnimSetMessagePump(nullptr, nullptr);
    PumpMessages();  // the default has nothing waiting
    EXPECT_EQ(script.calls, 4);
}

}  // namespace
