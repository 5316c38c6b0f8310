// Loading and releasing multi-animation files, the projector's tables,
// player-number sets, recoloured tables and the number-art filter; files
// are untrusted input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "animate/engine_state.h"
#include "platform/platform.h"
#include "projector/container.h"
#include "projector/projector.h"
#include "projector_fixture.h"

namespace {

using namespace anim::test;
using anim::projector::FindPlayerNumberSet;
using anim::projector::FindSequence;

TEST(MultiAnimLoad, EntersSequencesAndNumberSetsAndReleasesThem) {
    LeakCheck leaks;
    Projector projector(4, 8, 2);
    EngineState *engine = projector.engine();
    ASSERT_EQ(projector.Load(StandardFile()), 0);
    const std::string path = projector.dir.File("standard.anx");
    EXPECT_EQ(engine->sequences.count, 3);
    EXPECT_EQ(engine->playerNumbers.count, 1);
    const auto &multi = engine->multiAnims.entries[0];
    EXPECT_EQ(multi.sequenceCount, 3);
    EXPECT_EQ(multi.numberSetCount, 1);
    // Only the numbered sequence has a record; it takes the first set slot.
    EXPECT_EQ(multi.numberSetSlots[0], 0);
    EXPECT_EQ(FindPlayerNumberSet(engine, kNumberedId), 0);
    EXPECT_EQ(FindPlayerNumberSet(engine, kRunId), -1);
    const auto &set = engine->playerNumbers.entries[0];
    ASSERT_EQ(set.frameCount, kNumberedFrames);
    EXPECT_NE(set.overlays[0], nullptr);
    EXPECT_EQ(set.overlays[1], nullptr);
    EXPECT_EQ(set.overlays[2], set.overlays[0]);  // the repeat shows its frame's number
    EXPECT_NE(set.overlays[3], nullptr);
    const auto &delta = engine->sequences.entries[FindSequence(engine, kDeltaId)];
    EXPECT_EQ(delta.isDelta, 1);
    EXPECT_EQ(delta.frameCount, kDeltaFrames);
    EXPECT_EQ(delta.tableCount, 1);

    // The same file under other ids is a second, independent load, here with
    // a second table that shifts the kit range; a third finds the table full.
    DupKOVRLETableSetup(engine, 16, 8, 32);
    const std::int32_t other[] = {20, 21, 22};
    EXPECT_EQ(LoadMultiAnim(engine, path.c_str(), other, 3, 2, 0), 1);
    EXPECT_EQ(engine->sequences.count, 6);
    EXPECT_EQ(engine->playerNumbers.count, 1);
    const auto &run = engine->sequences.entries[FindSequence(engine, 20)];
    ASSERT_EQ(run.tableCount, 2);
    for (int i = 0; i < 256; ++i) {
        const std::uint16_t before = run.tables[0][i];
        const int v = before & 0xFF;
        EXPECT_EQ(run.tables[1][i], v >= 16 && v < 24 ? (before & 0xFF00) | (v + 32) : before) << i;
    }
    const std::int32_t third[] = {30, 31, 32};
    EXPECT_EQ(LoadMultiAnim(engine, path.c_str(), third, 3, 1, 0), -1);

    EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);
    EXPECT_EQ(FindSequence(engine, kRunId), -1);
    EXPECT_EQ(engine->playerNumbers.count, 0);
    // Load, destroy, load again with the same ids.
    EXPECT_EQ(LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 1, ANIM_LOAD_PLAYER_NUMBERS), 0);
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);
    EXPECT_EQ(DestroyMultiAnim(engine, 1), 1);
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);  // already free
    EXPECT_EQ(DestroyMultiAnim(engine, 7), 0);  // not a handle
}

// What a game's trace handler sees: each refusal traces exactly one line,
// "LoadMultiAnim: " and its reason, and leaves nothing loaded.
TEST(MultiAnimLoad, EachRefusalTracesItsReasonAndLeavesNoSlot) {
    namespace layout = anim::projector;
    LeakCheck leaks;
    ScratchDir dir;
    const std::string fifo = dir.File("fifo.anx");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::uint8_t> good = StandardFile();
    const auto header = *layout::ParseFileHeader(good);
    const std::size_t body = layout::BodyStart(3);
    auto entryAt = [](std::size_t i, std::size_t field) { return layout::BodyStart(i) + field; };
    auto recordOf = [&](std::size_t i) {
        const std::size_t at = body + layout::ReadLe<std::uint32_t>(good, entryAt(i, 0));
        return std::pair(at, *layout::SequenceRecordView::Open(std::span(good).subspan(at)));
    };
    using Bytes = std::vector<std::uint8_t>;
    auto put32 = [](Bytes &b, std::size_t at, std::uint32_t v) { (void)layout::StoreLe(std::span(b), at, v); };
    const std::size_t numbersEntry = entryAt(1, layout::kEntryNumbersAt);
    const std::uint32_t numbersAt = layout::ReadLe<std::uint32_t>(good, numbersEntry);
    const std::uint32_t fullRead = 8 * 3 + header.fullBody;

    struct Case {
        std::string trace;
        std::function<void(Bytes &)> patch = {};
        const char *path = "file.anx";  // in the scratch folder; nullptr: none
        bool ids = true;
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
        {.trace = "truncated: the header promises " + std::to_string(fullRead) + " bytes after it, the file holds 84.",
         .patch = [](Bytes &b) { b.resize(100); }},
        {.trace = "bad header: its sequence part (" + std::to_string(header.fullBody + 1) +
                  " bytes) is larger than the whole body (" + std::to_string(header.fullBody) + " bytes).",
         .patch = [&](Bytes &b) { put32(b, layout::kShortBodyAt, header.fullBody + 1); }},
        {.trace = "bad header: a body of 4294967280 bytes is more than one block holds.",
         .patch = [&](Bytes &b) { put32(b, layout::kFullBodyAt, 0xFFFFFFF0u); }},
        {.trace = "bad mark: the header's mark is 0, no multi-animation file.",
         .patch = [](Bytes &b) { b[0] = b[1] = 0; }},
        {.trace = "no ids given.", .ids = false},
        {.trace = "the file holds 3 sequences, more than the 2 ids given.", .maxIds = 2},
        {.trace = "the multi-animation table is full (capacity 1).", .preload = true},
        {.trace = "out of memory for the file's ", .failAllocation = 1},
        {.trace = "sequence 0: its record lies outside the body.",
         .patch = [&](Bytes &b) { put32(b, entryAt(0, 0), header.shortBody + 1); }},
        {.trace = "sequence 0: wrong version (this library reads version 4).",
         .patch = [&](Bytes &b) { b[recordOf(0).first + layout::kVersionAt] = 3; }},
        {.trace = "sequence 0: its frames run past the body.",
         .patch = [&](Bytes &b) { put32(b, recordOf(0).first + recordOf(0).second.OffsetsAt(), 0x00FFFFFFu); }},
        {.trace = "sequence 1: a repeat frame names no real frame.",
         .patch = [&](Bytes &b) {  // frame 2 of the numbered run repeats frame 0
             const auto [at, view] = recordOf(1);
             b[at + *view.FramesAt() + view.FrameOffset(2) + layout::kRepeatAt] = 9;
         }},
        {.trace = "sequence 2: the sequence table is full.", .sequences = 2},
        {.trace = "sequence 0: out of memory.", .failAllocation = 2},
        {.trace = "bad header: more number records than the 1 it counts.",
         .patch = [&](Bytes &b) { put32(b, entryAt(0, layout::kEntryNumbersAt), numbersAt); }},
        {.trace = "numbers of sequence 1: its record lies outside the body.",
         .patch = [&](Bytes &b) { put32(b, numbersEntry, header.fullBody + 1); }},
        {.trace = "numbers of sequence 1: its frame count is negative.",
         .patch = [&](Bytes &b) { b[body + numbersAt + 1] = 0x80; }},
        {.trace = "numbers of sequence 1: out of memory.", .failAllocation = 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trace + " " + (c.path ? c.path : ""));
        Bytes bytes = good;
        if (c.patch) c.patch(bytes);
        WriteFileBytes(dir.File("file.anx"), bytes);
        Projector projector(4, c.sequences, 1);
        EngineState *engine = projector.engine();
        const std::int32_t other[] = {20, 21, 22};
        if (c.preload) { ASSERT_EQ(LoadMultiAnim(engine, dir.File("file.anx").c_str(), other, 3, 1, 0), 0); }
        TraceCapture trace;
        anim::platform::FailNthAllocation(c.failAllocation);
        EXPECT_EQ(LoadMultiAnim(engine, c.path ? dir.File(c.path).c_str() : nullptr, c.ids ? kStandardIds : nullptr,
                                c.maxIds, 1, ANIM_LOAD_PLAYER_NUMBERS), -1);
        anim::platform::FailNthAllocation(0);
        ASSERT_EQ(trace.lines().size(), 1u);
        const std::string &line = trace.lines()[0];
        EXPECT_EQ(line.rfind("PROJCTOR line ", 0), 0u) << line;
        EXPECT_NE(line.find(": LoadMultiAnim: " + c.trace), std::string::npos) << line;
        EXPECT_TRUE(line.ends_with(".\r\n")) << line;
        EXPECT_EQ(engine->multiAnims.count, c.preload ? 1 : 0);
        EXPECT_EQ(engine->sequences.count, c.preload ? 3 : 0);
        EXPECT_EQ(engine->playerNumbers.count, 0);
    }
    // Room for exactly the file's three sequences is enough.
    Projector exact(4, 3, 1);
    EXPECT_EQ(exact.Load(good), 0);
}

TEST(MultiAnimLoad, TruncatedFilesAreRefusedOrSafe) {
    LeakCheck leaks;
    writer::Writer writer;
    ASSERT_TRUE(writer.AddScalableSequence(PlayerRun(2, 6, 6, true, 1)));
    writer::DeltaOptions options;
    options.keyInterval = 2;
    ASSERT_TRUE(writer.AddDeltaSequence(DeltaScene(3, 16, 12, 4), "d", options));
    std::vector<std::uint8_t> good;
    ASSERT_TRUE(writer.Build(good));
    const std::int32_t ids[] = {1, 2};
    Projector projector(2, 4, 1);
    EngineState *engine = projector.engine();
    const std::size_t shortFile = 16 + 2 * 8 + anim::projector::ReadLe<std::uint32_t>(good, 12);
    TraceCapture refusals;
    // A new file each time: rewriting one file in place is slow here.
    for (std::size_t length = 0; length < good.size(); ++length) {
        SCOPED_TRACE(length);
        const std::string path = projector.dir.File("cut" + std::to_string(length));
        WriteFileBytes(path, std::vector<std::uint8_t>(good.begin(), good.begin() + length));
        EXPECT_EQ(LoadMultiAnim(engine, path.c_str(), ids, 2, 2, ANIM_LOAD_PLAYER_NUMBERS), -1);
        const std::int32_t plain = LoadMultiAnim(engine, path.c_str(), ids, 2, 1, 0);
        EXPECT_EQ(plain == 0, length >= shortFile);
        if (plain == 0) {
            EXPECT_EQ(DestroyMultiAnim(engine, plain), 1);
        }
    }
    EXPECT_EQ(engine->sequences.count, 0);
    EXPECT_EQ(engine->playerNumbers.count, 0);
}

TEST(PlayerNumbers, TheNumberArtFilter) {
    std::uint8_t pixels[] = {0, 1, 9, 10, 245, 246, 250, 251, 255, 5};
    AnxFilterJerseyColors(pixels, 3, 3);
    const std::uint8_t want[] = {0, 1, 9, 0, 0, 246, 250, 0, 0, 5};  // the tenth is outside
    EXPECT_EQ(std::memcmp(pixels, want, sizeof want), 0);
    AnxFilterJerseyColors(nullptr, 3, 3);
}

TEST(ProjectorTables, CapacitiesAndProgrammingErrors) {
    LeakCheck leaks;
    {
        Projector projector(0, 0, 0);
        EXPECT_EQ(InitProjector(projector.engine(), 1, 1, 1), 0);  // already made
        const std::int32_t id = 1;
        EXPECT_EQ(LoadMultiAnim(projector.engine(), "nothing", &id, 1, 1, 0), -1);
    }
    auto *engine = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    EXPECT_EQ(InitProjector(engine, -1, 1, 1), 0);
    FREE(engine);
    // Loading before the projector is made, and a number past 99, are
    // programming errors.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto *bare = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
            const std::int32_t id = 1;
            LoadMultiAnim(bare, "x", &id, 1, 1, 0);
        },
        "Assertion failed: PROJCTOR");
    EXPECT_DEATH(
        {
            Projector projector;
            SetAnimObjectPlayerNumber(projector.engine(), GetAnimObject(projector.engine()), 100, 0);
        },
        "Assertion failed: PROJCTOR");
}

}  // namespace
