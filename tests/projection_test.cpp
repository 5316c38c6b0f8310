// Anim objects playing sequences in a painted scene: what the window shows,
// seeking, reference counts and the object operations' edge cases.
#include <gtest/gtest.h>

#include <random>

#include "animate/engine_state.h"
#include "projector/container.h"
#include "projector/projector.h"
#include "projector_fixture.h"

namespace {

using namespace anim::test;
namespace layout = anim::projector;
using anim::projector::kObjectBufferSize;

// The background with the opaque pixels of a picture placed at (left, top).
writer::Image Expected(const writer::Image *picture = nullptr, std::int32_t left = 0, std::int32_t top = 0) {
    writer::Image scene(kSceneWidth, kSceneHeight);
    for (std::int32_t y = 0; y < kSceneHeight; ++y)
        for (std::int32_t x = 0; x < kSceneWidth; ++x) {
            const std::int32_t px = x - left, py = y - top;
            const bool in = picture && px >= 0 && py >= 0 && px < picture->width && py < picture->height;
            scene.at(x, y) = in && picture->at(px, py) != 0 ? picture->at(px, py) : BackgroundAt(x, y);
        }
    return scene;
}

// A frame of a scalable sequence shown whole: its picture at its origin and
// adjust from the point (x, y).
writer::Image Shown(const writer::Frame &f, std::int32_t x, std::int32_t y) {
    return Expected(&f.image, x + f.originX + f.adjustX, y + f.originY + f.adjustY);
}

TEST(Projection, ScaledMirroredNumberedFramesPaintAsPinned) {
    LeakCheck leaks;
    Projector scene(24);
    EngineState *engine = scene.engine();
    DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
    ASSERT_EQ(scene.Load(StandardFile(), 2), 0);
    SetPlayerNumbersTeamColor(engine, 0, 12);
    SetPlayerNumbersTeamColor(engine, 1, 13);
    const std::int32_t home = GetAnimObject(engine), away = GetAnimObject(engine);
    // Every pixel of both teams' players, numbers and kit colours, over the
    // four frames (the third repeats the first, number and all; the second
    // has no number), pinned by digest.
    struct Case { std::int32_t scale; bool mirror, moving; std::uint32_t digest; };
    const Case cases[] = {{100, false, true, 3669079221u}, {100, true, false, 2120751031u},
                          {50, false, false, 180530478u},  {50, true, true, 1429017882u},
                          {73, true, false, 37642405u},    {100, false, false, 3556280165u}};
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
            for (const std::uint8_t v : scene.Paint().pixels) digest = (digest ^ v) * 16777619u;
        }
        EXPECT_EQ(digest, c.digest);
        EXPECT_EQ(ProjectFrame(engine, home, 50, 100, 10), 0);  // no wrap-around
    }
    // Numbers show only where the team's colour is set; unscaled, the frame
    // shows its art as drawn.
    SetPlayerNumbersTeamColor(engine, 0, 0);
    ASSERT_EQ(SetAnimObjectAnim(engine, home, kNumberedId, 0, 0), 1);
    ErasePreviousFrame(engine, away);
    ASSERT_EQ(ProjectFrame(engine, home, 80, 120, 10), 1);
    EXPECT_EQ(scene.Paint().pixels, Shown(NumberedRun()[0], 80, 120).pixels);
}

TEST(Projection, DeltaSeeksShowWhatPlayingThroughShows) {
    LeakCheck leaks;
    Projector scene(24);
    EngineState *engine = scene.engine();
    // Frame 0 carries a position adjust, which is never applied: the
    // sequence plays and seeks exactly as without it.
    auto bytes = StandardFile();
    const std::size_t record = layout::BodyStart(3) + layout::ReadLe<std::uint32_t>(bytes, layout::BodyStart(2));
    const std::size_t frame0 = record + layout::kSkipAt + 8 * kDeltaFrames +
                               layout::ReadLe<std::uint32_t>(bytes, record + layout::kSkipAt);
    ASSERT_TRUE(layout::StoreLe(std::span(bytes), frame0 + offsetof(ANXFRAME, adjustX), std::uint32_t{0x00020003}));
    ASSERT_EQ(scene.Load(bytes), 0);
    const auto source = DeltaScene(kDeltaFrames, 48, 30);
    const std::int32_t o = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, o, kDeltaId, 0, 0), 1);
    ASSERT_EQ(FrameCount(engine, o), kDeltaFrames);
    constexpr std::int32_t kX = 30, kY = 40;
    std::vector<writer::Image> through;
    for (std::int32_t k = 0; k < kDeltaFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        through.push_back(scene.Paint());
        const writer::Frame &f = source[k];
        ASSERT_EQ(through.back().pixels, Expected(&f.image, kX + f.originX, kY + f.originY).pixels) << k;
    }
    EXPECT_EQ(ProjectFrame(engine, o, kX, kY, 3), 0);
    // Back across a key frame, back to the start, forward across one, and
    // forward within a key interval. (The frame after the next one is only
    // stored, by design, so each target is at least two ahead or behind.)
    for (const std::int32_t target : {6, 2, 9, 1, 5, 8, 3}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(SetFrameNum(engine, o, target), target);
        EXPECT_EQ(GetFrameNum(engine, o), target);
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        EXPECT_EQ(scene.Paint().pixels, through[static_cast<std::size_t>(target)].pixels);
    }
    RewindAnx(engine, o);
    EXPECT_EQ(GetFrameNum(engine, o), 0);
    ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
    EXPECT_EQ(scene.Paint().pixels, through[0].pixels);
    OldRewindAnx(engine, o);
    EXPECT_EQ(GetFrameNum(engine, o), 1);
    // A second object on the same sequence shares the expanded frames.
    const std::int32_t twin = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, twin, kDeltaId, 0, 0), 1);
    ErasePreviousFrame(engine, o);
    for (std::int32_t k = 0; k < 4; ++k) ASSERT_EQ(ProjectFrame(engine, twin, kX, kY, 3), 1);
    EXPECT_EQ(scene.Paint().pixels, through[3].pixels);
    // Releasing the frame projected last stops later seeks and projections there.
    EXPECT_EQ(DeleteFrameImmediate(engine, twin), 1);
    EXPECT_EQ(DeleteFrameImmediate(engine, twin), 0);
    SetFrameNum(engine, twin, 3);
    EXPECT_EQ(ProjectFrame(engine, twin, kX, kY, 3), 0);
    // Both objects stay bound: the tear-down frees them, the file and the
    // expanded frames.
}

TEST(Projection, ReferenceCountsKeepFilesWhileTheyPlay) {
    LeakCheck leaks;
    Projector scene(24);
    EngineState *engine = scene.engine();
    ASSERT_EQ(scene.Load(StandardFile(), 2), 0);
    const std::int32_t a = GetAnimObject(engine), b = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, a, kNumberedId, 0, 0), 1);
    ASSERT_EQ(SetAnimObjectAnim(engine, b, kDeltaId, 0, 0), 1);
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, a, -1, 0, 0), 1);
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 0);  // b still plays
    EXPECT_EQ(FrameCount(engine, a), 0);
    DestroyAnimObject(engine, b);
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);
}

TEST(AnimObjects, SlotsBindingsOffsetsAndRefusals) {
    LeakCheck leaks;
    Projector scene;
    EngineState *engine = scene.engine();
    ASSERT_EQ(scene.Load(StandardFile()), 0);
    const auto &objects = engine->animObjects.entries;
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(GetAnimObject(engine), i);
    EXPECT_EQ(GetAnimObject(engine), -1);
    DestroyAnimObject(engine, 2);
    EXPECT_EQ(GetAnimObject(engine), 2);

    // Binding: a table the sequence lacks plays table 0; unknown ids fail.
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 1, 0), 1);
    EXPECT_EQ(objects[0].tableIndex, 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 1, 999, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 1), 0);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 7, 1), 0);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 9, 0), 7);
    EXPECT_EQ(objects[0].flags, anim::projector::kObjectCreated);

    // Three frames, then the end; rewound, it plays again.
    EXPECT_EQ(DeleteFrameImmediate(engine, 0), 0);
    for (int k = 0; k < kRunFrames; ++k) EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 0);
    EXPECT_EQ(DeleteFrameImmediate(engine, 0), 0);  // lies in the file: never released
    RewindAnx(engine, 0);
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);
    EXPECT_EQ(SetFrameNum(engine, 0, 2), 2);  // scalable: only stored
    EXPECT_EQ(SetFrameNum(engine, 0, 40), 40);
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 0);
    SetFrameNum(engine, 0, 0);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);

    // The object is found where its sprite shows; show 0 and a quiet erase
    // mark nothing for repainting, the others do.
    scene.Paint();
    EXPECT_EQ(GetSeqFromPoint(engine, 60, 55), 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 5, 5), -1);
    ASSERT_EQ(ProjectFramePlus(engine, 0, 70, 60, 1, 0), 1);
    ErasePreviousFramePlus(engine, 0, 0);
    EXPECT_EQ(engine->invalidCount, 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 70, 55), -1);
    ShowFrame(engine, 0);
    EXPECT_GT(engine->invalidCount, 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 70, 55), 0);
    scene.Paint();
    EXPECT_EQ(HideFrame(engine, 0), 1);
    EXPECT_GT(engine->invalidCount, 0);
    EXPECT_EQ(ErasePreviousFrame(engine, 0), 0);  // already hidden
    SetFrameNum(engine, 0, 0);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);

    // Offsets: the sequence's are shared; the frame's own moves the stored
    // position when it is the frame projected last.
    ASSERT_EQ(SetAnimObjectAnim(engine, 1, kRunId, 0, 0), 1);
    SetSeqFrameOffset(engine, 0, 1, 4, -2);
    POINT shared{};
    GetSeqFrameOffset(engine, 1, 1, &shared);
    EXPECT_EQ(std::pair(shared.x, shared.y), std::pair(4, -2));
    const std::int32_t before = objects[0].x;
    SetFrameOffsetXY(engine, 0, 0, 3, 5);
    EXPECT_EQ(objects[0].x, before + 3);
    std::int32_t fx = 0, fy = 0;
    GetFrameOffsetXY(engine, 1, 0, &fx, &fy);
    EXPECT_EQ(std::pair(fx, fy), std::pair(3, 5));
    SetFrameOffsetXY(engine, 0, 1, 1, 1);  // not the last projected: no move
    EXPECT_EQ(objects[0].x, before + 3);
    SetSeqFrameOffset(engine, 0, 99, 1, 1);  // outside: ignored
    SetFrameOffsetXY(engine, 3, 0, 1, 1);    // plays nothing: ignored

    // Objects outside the table are refused, never indexed.
    EXPECT_EQ(GetSprite(engine, 99), -1);
    EXPECT_EQ(GetSpriteDib(engine, -5), -1);
    EXPECT_EQ(ProjectFrame(engine, 99, 0, 0, 0), 0);
    EXPECT_EQ(SetFrameNum(engine, 99, 1), -1);
    EXPECT_EQ(SetAnimObjectAnim(engine, 99, kRunId, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 99), 0);
    DestroyAnimObject(engine, 99);
    RewindAnx(engine, 99);
    ShowFrame(engine, 99);
    EXPECT_EQ(HideFrame(engine, 99), 0);

    // A sequence that does not fit the object's buffer still plays: frame 0
    // declares fewer pixels than its rectangle needs, frame 2 more than the
    // buffer holds. Each is passed over, and the picture before it (none
    // for frame 0: the last sequence's is gone) shows in its place.
    ASSERT_EQ(DestroyMultiAnim(engine, 0), 0);
    for (std::int32_t i = 0; i < 4; ++i) SetAnimObjectAnim(engine, i, -1, 0, 0);
    ASSERT_EQ(DestroyMultiAnim(engine, 0), 1);
    auto bytes = StandardFile();
    const std::size_t record = layout::BodyStart(3), frame0 = record + layout::kSkipAt + 8 * kRunFrames;
    const std::size_t frame2 = frame0 + layout::ReadLe<std::uint32_t>(bytes, record + layout::kSkipAt + 8);
    for (const auto &[at, size] : {std::pair(record + layout::kExpandAt, kObjectBufferSize + 1),
                                  std::pair(frame0 + offsetof(ANXFRAME, dataSize), 10u),
                                  std::pair(frame2 + offsetof(ANXFRAME, dataSize), kObjectBufferSize)})
        ASSERT_TRUE(layout::StoreLe(std::span(bytes), at, size));
    ASSERT_EQ(scene.Load(bytes, 1, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 0), kRunFrames);  // stays attached
    const auto run = PlayerRun(kRunFrames, 16, 20, false);
    for (std::int32_t k = 0; k < kRunFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, 0, 60 + 10 * k, 60, 1), 1);
        EXPECT_EQ(GetFrameNum(engine, 0), k + 1);
        EXPECT_EQ(scene.Paint().pixels, (k > 0 ? Shown(run[1], 60 + 10 * k, 60) : Expected()).pixels) << k;
    }
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 0);
}

TEST(Projection, CorruptedFilesPlayWithoutStrayReadsOrWrites) {
    LeakCheck leaks;
    const auto good = StandardFile();
    std::mt19937 random(99);
    Projector scene(4, 8, 1);
    EngineState *engine = scene.engine();
    DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
    const std::int32_t objects[] = {GetAnimObject(engine), GetAnimObject(engine), GetAnimObject(engine)};
    int played = 0;
    for (int trial = 0; trial < 120; ++trial) {
        auto bad = good;
        for (int f = 0; f < 1 + trial % 3; ++f)
            bad[random() % bad.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        if (scene.Load(bad, 2, ANIM_LOAD_PLAYER_NUMBERS, "flip" + std::to_string(trial)) != 0) continue;
        for (int i = 0; i < 3; ++i) {
            if (SetAnimObjectAnim(engine, objects[i], kStandardIds[i], i % 2, 0) == 0) continue;
            SetAnimObjectPlayerNumber(engine, objects[i], 88, 0);
            for (int k = 0; k < 12; ++k)
                played += ProjectFrameScaleFlip(engine, objects[i], 40 + 40 * i, 90, i, 1, k % 2 ? 100 : 55, k % 3 == 0);
            SetFrameNum(engine, objects[i], 2);
            ProjectFrame(engine, objects[i], 40, 90, 0);
        }
        scene.Paint();
        for (const std::int32_t o : objects) SetAnimObjectAnim(engine, o, -1, 0, 0);
        EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);
    }
    EXPECT_GT(played, 0);
}

}  // namespace
