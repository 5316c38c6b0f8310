// Refused multi-animation loads, as a game's trace handler sees them, and
// the projector's tables.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "animate/engine_state.h"
#include "platform/platform.h"
#include "projector/container.h"
#include "projector_fixture.h"

namespace {

using namespace anim::test;
namespace layout = anim::projector;

// What a game's trace handler sees: each refusal traces exactly one line,
// "LoadMultiAnim: " and its reason, and leaves nothing loaded.
TEST(MultiAnimLoad, EachRefusalTracesItsReasonAndLeavesNoSlot) {
    using Bytes = std::vector<std::uint8_t>;
    LeakCheck leaks;
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo.anx").c_str(), 0600), 0);
    const Bytes good = StandardFile();
    const auto header = *layout::ParseFileHeader(good);
    const std::size_t body = layout::BodyStart(3);
    const std::size_t numbersEntry = layout::BodyStart(1) + layout::kEntryNumbersAt;
    const std::uint32_t numbersAt = layout::ReadLe<std::uint32_t>(good, numbersEntry);
    auto recordOf = [&](std::size_t i) { return body + layout::ReadLe<std::uint32_t>(good, layout::BodyStart(i)); };
    const auto numbered = *layout::SequenceRecordView::Open(std::span(good).subspan(recordOf(1)));
    // The value's type says how many bytes it takes.
    auto put = [](std::size_t at, auto value) {
        return [=](Bytes &b) { ASSERT_TRUE(layout::StoreLe(std::span(b), at, value)); };
    };
    const std::string full = std::to_string(header.fullBody);

    struct Case {
        std::string trace;
        std::function<void(Bytes &)> patch = [](Bytes &) {};
        const char *path = "file.anx";  // in the scratch folder; nullptr: none
        const std::int32_t *ids = kStandardIds;
        std::int32_t maxIds = 3;
        std::int32_t sequences = 8;  // the projector's capacity
        bool preload = false;        // the one multi-animation slot taken first
        std::uint32_t failAllocation = 0;
    };
    const Case cases[] = {
        {.trace = "no file name.", .path = nullptr},
        {.trace = "cannot open the file.", .path = "missing.anx"},
        // A directory and a fifo are no file to read; the fifo must not block.
        {.trace = "cannot open the file.", .path = "."},
        {.trace = "cannot open the file.", .path = "fifo.anx"},
        {.trace = "truncated: the file ends inside its 16-byte header.", .patch = [](Bytes &b) { b.resize(10); }},
        {.trace = "truncated: the header promises " + std::to_string(8 * 3 + header.fullBody) +
                  " bytes after it, the file holds 84.",
         .patch = [](Bytes &b) { b.resize(100); }},
        {.trace = "bad header: its sequence part (" + std::to_string(header.fullBody + 1) +
                  " bytes) is larger than the whole body (" + full + " bytes).",
         .patch = put(layout::kShortBodyAt, header.fullBody + 1)},
        {.trace = "bad header: a body of 4294967280 bytes is more than one block holds.",
         .patch = put(layout::kFullBodyAt, 0xFFFFFFF0u)},
        {.trace = "bad mark: the header's mark is 0, no multi-animation file.", .patch = put(0, std::uint16_t{0})},
        {.trace = "no ids given.", .ids = nullptr},
        {.trace = "the file holds 3 sequences, more than the 2 ids given.", .maxIds = 2},
        {.trace = "the multi-animation table is full (capacity 1).", .preload = true},
        {.trace = "out of memory for the file's ", .failAllocation = 1},
        {.trace = "sequence 0: its record lies outside the body.",
         .patch = put(layout::BodyStart(0), header.shortBody + 1)},
        {.trace = "sequence 0: wrong version (this library reads version 4).",
         .patch = put(recordOf(0) + layout::kVersionAt, std::uint8_t{3})},
        {.trace = "sequence 0: its frames run past the body.",
         .patch = put(recordOf(0) + numbered.OffsetsAt(), 0x00FFFFFFu)},
        // Frame 2 of the numbered run repeats frame 0.
        {.trace = "sequence 1: a repeat frame names no real frame.",
         .patch = put(recordOf(1) + *numbered.FramesAt() + numbered.FrameOffset(2) + layout::kRepeatAt, std::uint8_t{9})},
        {.trace = "sequence 2: the sequence table is full.", .sequences = 2},
        {.trace = "sequence 0: out of memory.", .failAllocation = 2},
        {.trace = "bad header: more number records than the 1 it counts.",
         .patch = put(layout::BodyStart(0) + layout::kEntryNumbersAt, numbersAt)},
        {.trace = "numbers of sequence 1: its record lies outside the body.",
         .patch = put(numbersEntry, header.fullBody + 1)},
        {.trace = "numbers of sequence 1: its frame count is negative.",
         .patch = put(body + numbersAt + 1, std::uint8_t{0x80})},
        {.trace = "numbers of sequence 1: out of memory.", .failAllocation = 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trace + " " + (c.path ? c.path : ""));
        Bytes bytes = good;
        c.patch(bytes);
        WriteFileBytes(dir.File("file.anx"), bytes);
        Projector projector(4, c.sequences, 1);
        EngineState *engine = projector.engine();
        const std::int32_t other[] = {20, 21, 22};
        if (c.preload) { ASSERT_EQ(LoadMultiAnim(engine, dir.File("file.anx").c_str(), other, 3, 1, 0), 0); }
        TraceCapture trace;
        anim::platform::FailNthAllocation(c.failAllocation);
        const std::string path = c.path ? dir.File(c.path) : "";
        EXPECT_EQ(LoadMultiAnim(engine, c.path ? path.c_str() : nullptr, c.ids, c.maxIds, 1, ANIM_LOAD_PLAYER_NUMBERS), -1);
        anim::platform::FailNthAllocation(0);
        ASSERT_EQ(trace.lines().size(), 1u);
        const std::string &line = trace.lines()[0];
        EXPECT_TRUE(line.starts_with("PROJCTOR line ") && line.ends_with(".\r\n")) << line;
        EXPECT_NE(line.find(": LoadMultiAnim: " + c.trace), std::string::npos) << line;
        EXPECT_EQ(engine->multiAnims.count, c.preload ? 1 : 0);
        EXPECT_EQ(engine->sequences.count, c.preload ? 3 : 0);
        EXPECT_EQ(engine->playerNumbers.count, 0);
    }
}

// The documented refusals of InitProjector, and the programming errors
// that end the process: loading before the projector is made, a number
// past 99.
TEST(ProjectorTables, RefusalsAndProgrammingErrors) {
    LeakCheck leaks;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto *bare = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    EXPECT_EQ(InitProjector(bare, -1, 1, 1), 0);
    EXPECT_DEATH(LoadMultiAnim(bare, "x", kStandardIds, 3, 1, 0), "Assertion failed: PROJCTOR");
    FREE(bare);
    Projector projector;
    EngineState *engine = projector.engine();
    EXPECT_EQ(InitProjector(engine, 1, 1, 1), 0);  // already made
    EXPECT_DEATH(SetAnimObjectPlayerNumber(engine, GetAnimObject(engine), 100, 0), "Assertion failed: PROJCTOR");
}

}  // namespace
