// Anim objects playing sequences in a painted scene: what the window shows,
// seeking and the object operations' edge cases; refused multi-animation
// loads as a game's trace handler sees them; the projector's tables.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "engine_fixture.h"
#include "player_art.h"
#include "projector/container.h"
#include "projector/projector.h"

namespace {

using namespace anim::test;
namespace layout = anim::projector;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kSceneWidth = 200;
constexpr std::int32_t kSceneHeight = 150;

// Where sequence i's record, or frame k of it, starts in a standard file.
std::size_t RecordAt(std::span<const std::uint8_t> bytes, std::size_t i) {
    return layout::BodyStart(3) + layout::ReadLe<std::uint32_t>(bytes, layout::BodyStart(i));
}
std::size_t FrameAt(std::span<const std::uint8_t> bytes, std::size_t i, std::int32_t k) {
    const auto record = *layout::SequenceRecordView::Open(bytes.subspan(RecordAt(bytes, i)));
    return RecordAt(bytes, i) + *record.FramesAt() + record.FrameOffset(k);
}

// An engine with a projector, a patterned background and a window to paint
// it into.
struct Projector {
    explicit Projector(std::int32_t objects = 4, std::int32_t sequences = 8, std::int32_t files = 2) {
        Dib background = MakeDib(kSceneWidth, kSceneHeight, [](std::int32_t x, std::int32_t y) {
            return static_cast<std::uint8_t>(40 + (x / 5 + y / 7) % 4);
        });
        EXPECT_EQ(SetBackgroundFromPDIB(engine, background.release()), 1);
        EXPECT_EQ(InitProjector(engine, objects, sequences, files), 1);
    }
    ~Projector() { TerminateProjector(engine); }

    // Writes bytes to the scratch folder and loads them as the standard ids.
    std::int32_t Load(const Bytes &bytes, std::int32_t tables = 1, const std::int32_t *ids = kStandardIds) {
        WriteFileBytes(dir.File("std.anx"), bytes);
        return LoadMultiAnim(engine, dir.File("std.anx").c_str(), ids, 3, tables, ANIM_LOAD_PLAYER_NUMBERS);
    }
    std::vector<std::uint8_t> Paint() {
        PaintScene(engine, window);
        return window.Pixels();
    }

    LeakCheck leaks;  // made first, checked last
    Engine engine;
    Window window{kSceneWidth, kSceneHeight};
    ScratchDir dir;
};

TEST(Projection, FramesPaintAsPinnedAndDeltaSeeksShowWhatPlayingThroughShows) {
    Projector scene(24);
    EngineState *engine = scene.engine;
    DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
    // The delta scene's frame 0 carries a position adjust, which is never
    // applied: the sequence plays and seeks exactly as without it.
    auto bytes = StandardFile();
    const std::size_t adjust = FrameAt(bytes, 2, 0) + offsetof(ANXFRAME, adjustX);
    ASSERT_TRUE(layout::StoreLe(std::span(bytes), adjust, std::uint32_t{0x00020003}));
    ASSERT_EQ(scene.Load(bytes, 2), 0);
    SetPlayerNumbersTeamColor(engine, 0, 12);
    SetPlayerNumbersTeamColor(engine, 1, 13);
    const std::int32_t home = GetAnimObject(engine), away = GetAnimObject(engine);
    // Every pixel of both teams' players, numbers and kit colours, over the
    // four frames (the third repeats the first, number and all; the second
    // has no number), pinned by digest.
    struct Case {
        std::int32_t scale;
        bool mirror, moving;
        std::uint32_t digest;
    };
    const Case cases[] = {{100, false, true, 3870049355u}, {100, true, false, 4235433984u},
                          {50, false, false, 1948440695u}, {50, true, true, 1132727462u},
                          {73, true, false, 1497355142u},  {100, false, false, 2673970859u}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << c.scale << " mirror " << c.mirror);
        ASSERT_EQ(SetAnimObjectAnim(engine, home, kNumberedId, 0, 0), 1);
        ASSERT_EQ(SetAnimObjectAnim(engine, away, kNumberedId, 1, 0), 1);
        SetAnimObjectPlayerNumber(engine, home, 23, 1);
        SetAnimObjectPlayerNumber(engine, away, 7, 0);
        std::uint32_t digest = 2166136261u;
        for (std::int32_t k = 0; k < kNumberedFrames; ++k) {
            const std::int32_t step = c.moving ? 5 * k : 0, flags = c.mirror ? ANIM_PROJECT_MIRROR : 0;
            ASSERT_EQ(ProjectFrameScaleFlip(engine, home, 50 + step, 100, 10, 1, c.scale, flags), 1);
            ASSERT_EQ(ProjectFrameScaleFlip(engine, away, 140 - step, 100, 10, 1, c.scale, flags), 1);
            for (const std::uint8_t v : scene.Paint()) digest = (digest ^ v) * 16777619u;
        }
        EXPECT_EQ(digest, c.digest);
        EXPECT_EQ(ProjectFrame(engine, home, 50, 100, 10), 0);  // no wrap-around
    }

    // The delta scene, played where the players were left.
    const std::int32_t o = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, o, kDeltaId, 0, 0), 1);
    constexpr std::int32_t kX = 30, kY = 40;
    // The scene's frames placed by their origins, pinned by digest.
    std::vector<std::vector<std::uint8_t>> through;
    std::uint32_t digest = 2166136261u;
    for (std::int32_t k = 0; k < kDeltaFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        through.push_back(scene.Paint());
        for (const std::uint8_t v : through.back()) digest = (digest ^ v) * 16777619u;
    }
    EXPECT_EQ(digest, 470284945u);
    // Back across a key frame, back to the start, forward across one, and
    // forward within a key interval. (The frame after the next one is only
    // stored, by design, so each target is at least two ahead or behind.)
    for (const std::int32_t target : {6, 2, 9, 1, 5, 8, 3}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(SetFrameNum(engine, o, target), target);
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        EXPECT_EQ(scene.Paint(), through[static_cast<std::size_t>(target)]);
    }
    RewindAnx(engine, o);
    ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
    EXPECT_EQ(scene.Paint(), through[0]);
    OldRewindAnx(engine, o);
    EXPECT_EQ(GetFrameNum(engine, o), 1);
    // Releasing the frame projected last stops later seeks and projections there.
    ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
    EXPECT_EQ(Box({DeleteFrameImmediate(engine, o), DeleteFrameImmediate(engine, o)}), Box({1, 0}));
    SetFrameNum(engine, o, 1);
    EXPECT_EQ(ProjectFrame(engine, o, kX, kY, 3), 0);
    // The file stays while its sequence plays (the tear-down frees it all);
    // 7 is not a handle.
    EXPECT_EQ(Box({DestroyMultiAnim(engine, 0), DestroyMultiAnim(engine, 7)}), Box({0, 0}));
}

TEST(AnimObjects, SlotsBindingsOffsetsAndRefusals) {
    Projector scene;
    EngineState *engine = scene.engine;
    ASSERT_EQ(scene.Load(StandardFile()), 0);
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(GetAnimObject(engine), i);
    EXPECT_EQ(GetAnimObject(engine), -1);
    EXPECT_EQ(SetAnimObjectAnim(engine, 1, 999, 0, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 0, 0), 1);
    EXPECT_EQ(Box({SetAnimObjectPlayerNumber(engine, 0, 7, 1), SetAnimObjectPlayerNumber(engine, 0, 9, 0)}),
              Box({0, 7}));
    EXPECT_EQ(engine->animObjects.entries[0].flags, anim::projector::kObjectCreated);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);

    // The object is found where its sprite shows; show 0 and a quiet erase
    // mark nothing for repainting.
    scene.Paint();
    EXPECT_EQ(GetSeqFromPoint(engine, 60, 55), 0);
    ASSERT_EQ(ProjectFramePlus(engine, 0, 70, 60, 1, 0), 1);
    ErasePreviousFramePlus(engine, 0, 0);
    EXPECT_EQ(engine->invalidCount, 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 70, 55), -1);
    ShowFrame(engine, 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 70, 55), 0);

    // Offsets: the sequence's are shared; the frame's own moves the stored
    // position only when it is the frame projected last.
    SetFrameNum(engine, 0, 0);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);
    ASSERT_EQ(SetAnimObjectAnim(engine, 1, kRunId, 0, 0), 1);
    SetSeqFrameOffset(engine, 0, 1, 4, -2);
    POINT shared{};
    GetSeqFrameOffset(engine, 1, 1, &shared);
    EXPECT_EQ(std::pair(shared.x, shared.y), std::pair(4, -2));
    const std::int32_t before = engine->animObjects.entries[0].x;
    SetFrameOffsetXY(engine, 0, 0, 3, 5);
    SetFrameOffsetXY(engine, 0, 1, 1, 1);
    EXPECT_EQ(engine->animObjects.entries[0].x, before + 3);

    // Objects outside the table are refused, never indexed.
    EXPECT_EQ(Box({ProjectFrame(engine, 99, 0, 0, 0), SetFrameNum(engine, 99, 1), FrameCount(engine, 99),
                   HideFrame(engine, 99)}),
              Box({0, -1, 0, 0}));

    // A sequence whose frames need more than the object's buffer is refused.
    // One whose first frame cannot be expanded plays, and shows nothing of
    // the sequences played before, scalable or delta.
    auto bytes = StandardFile();
    const auto tooLarge = static_cast<std::uint32_t>(anim::projector::kObjectBufferSize + 1);
    ASSERT_TRUE(layout::StoreLe(std::span(bytes), RecordAt(bytes, 0) + layout::kExpandAt, tooLarge));
    ASSERT_TRUE(layout::StoreLe(std::span(bytes), FrameAt(bytes, 1, 0) + layout::kRectCountAt, std::int16_t{2}));
    ASSERT_EQ(scene.Load(bytes, 1, std::array{20, 21, 22}.data()), 1);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, 20, 0, 0), 0);
    ASSERT_EQ(SetAnimObjectAnim(engine, 0, kDeltaId, 0, 0), 1);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);
    ASSERT_EQ(SetAnimObjectAnim(engine, 0, 21, 0, 0), 1);
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);
    EXPECT_EQ(GetSeqFromPoint(engine, 60, 55), -1);

    // The documented refusals of InitProjector, and the programming errors
    // that end the process: loading before the projector is made, a number
    // past 99.
    EXPECT_EQ(InitProjector(engine, 1, 1, 1), 0);  // already made
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(SetAnimObjectPlayerNumber(engine, 0, 100, 0), "Assertion failed: PROJCTOR");
    auto *bare = static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)));
    EXPECT_EQ(InitProjector(bare, -1, 1, 1), 0);
    EXPECT_DEATH(LoadMultiAnim(bare, "x", kStandardIds, 3, 1, 0), "Assertion failed: PROJCTOR");
    FREE(bare);
}

// What a game's trace handler sees: each refusal traces exactly one line,
// "LoadMultiAnim: " and its reason, and leaves nothing loaded.
TEST(MultiAnimLoad, EachRefusalTracesItsReasonAndLeavesNoSlot) {
    const Bytes good = StandardFile();
    const auto header = *layout::ParseFileHeader(good);
    const std::size_t numbersEntry = layout::BodyStart(1) + layout::kEntryNumbersAt;
    const std::uint32_t numbersAt = layout::ReadLe<std::uint32_t>(good, numbersEntry);
    // The value's type says how many bytes it takes; a store outside the
    // file leaves it empty.
    auto put = [](std::size_t at, auto value) {
        return [=](Bytes b) { return layout::StoreLe(std::span(b), at, value) ? b : Bytes{}; };
    };
    auto cut = [](std::size_t size) { return [=](const Bytes &b) { return Bytes(b.begin(), b.begin() + size); }; };

    struct Case {
        std::string trace;
        std::function<Bytes(Bytes)> patch = [](Bytes b) { return b; };
        const char *path = "file.anx";  // in the scratch folder; nullptr: none
        const std::int32_t *ids = kStandardIds;
        std::int32_t maxIds = 3;
        std::int32_t sequences = 8;  // the projector's capacity
        bool preload = false;        // the one multi-animation slot taken first, by the standard file
        std::uint32_t failAllocation = 0;
    };
    const Case cases[] = {
        {.trace = "no file name.", .path = nullptr},
        {.trace = "cannot open the file.", .path = "missing.anx"},
        {.trace = "truncated: the file ends inside its 16-byte header.", .patch = cut(10)},
        {.trace = "truncated: the header promises " + std::to_string(8 * 3 + header.fullBody) +
                  " bytes after it, the file holds 84.",
         .patch = cut(100)},
        {.trace = "bad header: its sequence part (" + std::to_string(header.fullBody + 1) +
                  " bytes) is larger than the whole body (" + std::to_string(header.fullBody) + " bytes).",
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
         .patch = put(RecordAt(good, 0) + layout::kVersionAt, std::uint8_t{3})},
        {.trace = "sequence 0: its frames run past the body.",
         .patch = put(RecordAt(good, 0) + layout::kSkipAt, 0x00FFFFFFu)},
        // Frame 2 of the numbered run repeats frame 0.
        {.trace = "sequence 1: a repeat frame names no real frame.",
         .patch = put(FrameAt(good, 1, 2) + layout::kRepeatAt, std::uint8_t{9})},
        {.trace = "sequence 2: the sequence table is full.", .sequences = 2},
        {.trace = "sequence 0: out of memory.", .failAllocation = 2},
        {.trace = "bad header: more number records than the 1 it counts.",
         .patch = put(layout::BodyStart(0) + layout::kEntryNumbersAt, numbersAt)},
        {.trace = "numbers of sequence 1: its record lies outside the body.",
         .patch = put(numbersEntry, header.fullBody + 1)},
        {.trace = "numbers of sequence 1: its frame count is negative.",
         .patch = put(layout::BodyStart(3) + numbersAt + 1, std::uint8_t{0x80})},
        {.trace = "numbers of sequence 1: out of memory.", .failAllocation = 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trace);
        Projector projector(4, c.sequences, 1);
        WriteFileBytes(projector.dir.File("file.anx"), c.patch(good));
        EngineState *engine = projector.engine;
        if (c.preload) {
            ASSERT_EQ(projector.Load(good, 1, std::array{20, 21, 22}.data()), 0);
        }
        TraceCapture trace;
        anim::platform::FailNthAllocation(c.failAllocation);
        const std::string path = c.path ? projector.dir.File(c.path) : "";
        EXPECT_EQ(LoadMultiAnim(engine, c.path ? path.c_str() : nullptr, c.ids, c.maxIds, 1, ANIM_LOAD_PLAYER_NUMBERS),
                  -1);
        anim::platform::FailNthAllocation(0);
        const std::string line = OneTrace(trace);
        EXPECT_TRUE(line.starts_with("PROJCTOR: LoadMultiAnim: " + c.trace) && line.ends_with(".\r\n")) << line;
        EXPECT_EQ(engine->multiAnims.count, c.preload ? 1 : 0);
        EXPECT_EQ(engine->sequences.count + engine->playerNumbers.count, c.preload ? 4 : 0);
    }
}

}  // namespace
