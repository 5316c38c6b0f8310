// Anim objects playing sequences in a painted scene: what the window shows,
// seeking, and the object operations' edge cases.
#include <gtest/gtest.h>

#include "projector/container.h"
#include "projector/projector.h"
#include "projector_fixture.h"

namespace {

using namespace anim::test;
namespace layout = anim::projector;

// The background with the opaque pixels of a picture placed at (left, top).
writer::Image Expected(const writer::Image &picture, std::int32_t left, std::int32_t top) {
    writer::Image scene(kSceneWidth, kSceneHeight);
    for (std::int32_t y = 0; y < kSceneHeight; ++y)
        for (std::int32_t x = 0; x < kSceneWidth; ++x) {
            const std::int32_t px = x - left, py = y - top;
            const bool in = px >= 0 && py >= 0 && px < picture.width && py < picture.height;
            scene.at(x, y) = in && picture.at(px, py) != 0 ? picture.at(px, py) : BackgroundAt(x, y);
        }
    return scene;
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
    const writer::Frame f = NumberedRun()[0];
    EXPECT_EQ(scene.Paint().pixels, Expected(f.image, 80 + f.originX + f.adjustX, 120 + f.originY + f.adjustY).pixels);
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
    constexpr std::int32_t kX = 30, kY = 40;
    std::vector<writer::Image> through;
    for (std::int32_t k = 0; k < kDeltaFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        through.push_back(scene.Paint());
        const writer::Frame &f = source[k];
        ASSERT_EQ(through.back().pixels, Expected(f.image, kX + f.originX, kY + f.originY).pixels) << k;
    }
    // Back across a key frame, back to the start, forward across one, and
    // forward within a key interval. (The frame after the next one is only
    // stored, by design, so each target is at least two ahead or behind.)
    for (const std::int32_t target : {6, 2, 9, 1, 5, 8, 3}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(SetFrameNum(engine, o, target), target);
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        EXPECT_EQ(scene.Paint().pixels, through[static_cast<std::size_t>(target)].pixels);
    }
    RewindAnx(engine, o);
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
    // The file stays while its sequences play; the tear-down frees it all.
    EXPECT_EQ(DestroyMultiAnim(engine, 0), 0);
    EXPECT_EQ(DestroyMultiAnim(engine, 7), 0);  // not a handle
}

TEST(AnimObjects, SlotsBindingsOffsetsAndRefusals) {
    LeakCheck leaks;
    Projector scene;
    EngineState *engine = scene.engine();
    ASSERT_EQ(scene.Load(StandardFile()), 0);
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(GetAnimObject(engine), i);
    EXPECT_EQ(GetAnimObject(engine), -1);
    EXPECT_EQ(SetAnimObjectAnim(engine, 1, 999, 0, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 0, 0), 1);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 7, 1), 0);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 9, 0), 7);
    EXPECT_EQ(engine->animObjects.entries[0].flags, anim::projector::kObjectCreated);
    ASSERT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 1);

    // Offsets: the sequence's are shared; the frame's own moves the stored
    // position only when it is the frame projected last.
    ASSERT_EQ(SetAnimObjectAnim(engine, 1, kRunId, 0, 0), 1);
    SetSeqFrameOffset(engine, 0, 1, 4, -2);
    POINT shared{};
    GetSeqFrameOffset(engine, 1, 1, &shared);
    EXPECT_EQ(std::pair(shared.x, shared.y), std::pair(4, -2));
    const std::int32_t before = engine->animObjects.entries[0].x;
    SetFrameOffsetXY(engine, 0, 0, 3, 5);
    SetFrameOffsetXY(engine, 0, 1, 1, 1);
    EXPECT_EQ(engine->animObjects.entries[0].x, before + 3);

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

    // Objects outside the table are refused, never indexed.
    EXPECT_EQ(GetSprite(engine, 99), -1);
    EXPECT_EQ(ProjectFrame(engine, 99, 0, 0, 0), 0);
    EXPECT_EQ(SetFrameNum(engine, 99, 1), -1);
    EXPECT_EQ(SetAnimObjectAnim(engine, 99, kRunId, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 99), 0);
    EXPECT_EQ(HideFrame(engine, 99), 0);
    DestroyAnimObject(engine, 99);
    RewindAnx(engine, 99);
    ShowFrame(engine, 99);

    // A sequence whose frames need more than the object's buffer is refused.
    for (std::int32_t i = 0; i < 2; ++i) SetAnimObjectAnim(engine, i, -1, 0, 0);
    ASSERT_EQ(DestroyMultiAnim(engine, 0), 1);
    auto bytes = StandardFile();
    const auto tooLarge = static_cast<std::uint32_t>(anim::projector::kObjectBufferSize + 1);
    ASSERT_TRUE(layout::StoreLe(std::span(bytes), layout::BodyStart(3) + layout::kExpandAt, tooLarge));
    ASSERT_EQ(scene.Load(bytes, 1, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 0, 0), 0);
}

}  // namespace
