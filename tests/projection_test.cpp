// Anim objects playing sequences in a painted scene: what the window shows
// against pictures predicted from the source art, seeking, reference counts
// and the object operations' edge cases.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "animate/engine_state.h"
#include "codec/kovrle.h"
#include "dib/anx_frame.h"
#include "projector/projector.h"
#include "projector_fixture.h"

namespace {

using namespace anim::test;

constexpr std::int32_t kSceneWidth = 200;
constexpr std::int32_t kSceneHeight = 150;

std::uint8_t BackgroundAt(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(40 + (x / 5 + y / 7) % 4);
}

// An engine with a background, a window and a projector.
class Scene {
public:
    explicit Scene(std::int32_t objects = 24, std::int32_t sequences = 8, std::int32_t files = 2)
        : engine_(InitAnimate()), dc_(AnimCreateWindowDC(kSceneWidth, kSceneHeight)) {
        BITMAPINFOHEADER *background = CreateDIB(kSceneWidth, kSceneHeight);
        for (std::int32_t y = 0; y < kSceneHeight; ++y)
            for (std::int32_t x = 0; x < kSceneWidth; ++x)
                *GetDIBPixelAddress(background, x, y) = BackgroundAt(x, y);
        EXPECT_EQ(SetBackgroundFromPDIB(engine_, background), 1);
        EXPECT_EQ(InitProjector(engine_, objects, sequences, files), 1);
    }
    ~Scene() {
        TerminateProjector(engine_);
        TerminateAnimate(engine_);
        FREE(engine_);
        AnimDestroyWindowDC(dc_);
    }
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    EngineState *engine() const { return engine_; }
    writer::Image Paint() {
        PaintScene(engine_, dc_);
        std::int32_t stride = 0;
        const std::uint8_t *pixels = AnimWindowPixels(dc_, &stride);
        writer::Image window(kSceneWidth, kSceneHeight);
        for (std::int32_t y = 0; y < kSceneHeight; ++y)
            std::memcpy(&window.at(0, y), pixels + y * stride, kSceneWidth);
        return window;
    }

private:
    EngineState *engine_;
    HDC dc_;
};

writer::Image EmptyScene() {
    writer::Image scene(kSceneWidth, kSceneHeight);
    for (std::int32_t y = 0; y < kSceneHeight; ++y)
        for (std::int32_t x = 0; x < kSceneWidth; ++x) scene.at(x, y) = BackgroundAt(x, y);
    return scene;
}

// Puts the opaque pixels of a picture into a scene at (left, top).
void Place(writer::Image &scene, const writer::Image &picture, std::int32_t left, std::int32_t top) {
    for (std::int32_t y = 0; y < picture.height; ++y)
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const std::int32_t sx = left + x;
            const std::int32_t sy = top + y;
            if (picture.at(x, y) != 0 && sx >= 0 && sy >= 0 && sx < kSceneWidth && sy < kSceneHeight)
                scene.at(sx, sy) = picture.at(x, y);
        }
}

// Positions a side keeps when scaled: an accumulator that starts at half
// the side and gains the scaled side per position keeps a position each
// time it passes the side.
std::vector<std::int32_t> Kept(std::int32_t side, std::int32_t scale) {
    const std::int32_t scaled = side * scale / 100;
    std::int32_t accumulator = side / 2;
    std::vector<std::int32_t> kept;
    for (std::int32_t i = 0; i < side; ++i) {
        accumulator += scaled;
        if (accumulator > side) {
            accumulator -= side;
            kept.push_back(i);
        }
    }
    return kept;
}

struct Look {
    std::int32_t scale = 100;
    bool mirror = false;
    bool secondTeam = false;
    std::int32_t number = 0;
    std::uint8_t numberColour = 0;
};

// The picture a frame should show, and where its top-left pixel lands for
// a projection at (x, y). Rows are scaled in storage order, bottom row
// first; number art is placed from the frame's bottom edge.
writer::Image Predict(const writer::Frame &frame, const writer::Frame *numbered, const Look &look,
                   std::int32_t x, std::int32_t y, POINT &at) {
    const writer::Image &p = frame.image;
    const auto cols = Kept(p.width, look.scale);
    const auto rows = Kept(p.height, look.scale);
    const auto w = static_cast<std::int32_t>(cols.size());
    const auto h = static_cast<std::int32_t>(rows.size());
    writer::Image out(w, h);
    for (std::int32_t r = 0; r < h; ++r) {
        for (std::int32_t c = 0; c < w; ++c) {
            std::uint8_t v = p.at(cols[c], p.height - 1 - rows[r]);
            if (look.secondTeam && v >= kKitFirst && v < kKitFirst + kKitCount) v += kKitShift;
            out.at(look.mirror ? w - 1 - c : c, h - 1 - r) = v;
        }
    }
    if (numbered != nullptr && numbered->number && look.numberColour != 0) {
        const writer::NumberOverlay &n = *numbered->number;
        const auto cols2 = Kept(n.art.width, look.scale);
        const auto rows2 = Kept(n.art.height, look.scale);
        std::int32_t ox = n.left * look.scale / 100;
        const std::int32_t oy = (p.height - n.top - n.art.height) * look.scale / 100;
        if (look.mirror) ox = w - ox;
        const auto &bits = look.mirror ? anim::codec::kMirroredClassBits : anim::codec::kUprightClassBits;
        const std::uint16_t mask = anim::codec::kNumberMasks[look.number];
        for (std::size_t r = 0; r < rows2.size(); ++r) {
            const std::int32_t outRow = oy + static_cast<std::int32_t>(r);
            if (outRow >= h) continue;
            for (std::size_t j = 0; j < cols2.size(); ++j) {
                const std::uint8_t art = n.art.at(cols2[j], n.art.height - 1 - rows2[r]);
                if ((bits[anim::codec::kSegmentClass[art]] & mask) == 0) continue;
                const std::int32_t px = look.mirror ? ox - 1 - static_cast<std::int32_t>(j)
                                                    : ox + static_cast<std::int32_t>(j);
                if (px >= 0 && px < w) out.at(px, h - 1 - outRow) = look.numberColour;
            }
        }
    }
    const std::int32_t left = frame.originX * look.scale / 100;
    at.x = x + (look.mirror ? -(left + w - 1) : left) + frame.adjustX;
    at.y = y + frame.originY * look.scale / 100 + frame.adjustY;
    return out;
}

std::string LoadStandard(Scene &scene, const ScratchDir &dir, std::int32_t tables = 2,
                         const std::vector<std::uint8_t> &bytes = StandardFile()) {
    const std::string path = dir.File("standard.anx");
    WriteFileBytes(path, bytes);
    EXPECT_EQ(LoadMultiAnim(scene.engine(), path.c_str(), kStandardIds, 3, tables,
                            ANIM_LOAD_PLAYER_NUMBERS),
              0);
    return path;
}

TEST(Projection, ScalableFramesPaintWhatTheArtPredicts) {
    LeakCheck leaks;
    ScratchDir dir;
    Scene scene;
    EngineState *engine = scene.engine();
    DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
    LoadStandard(scene, dir);
    SetPlayerNumbersTeamColor(engine, 0, 12);
    SetPlayerNumbersTeamColor(engine, 1, 13);
    const auto frames = NumberedRun();
    const std::int32_t home = GetAnimObject(engine);
    const std::int32_t away = GetAnimObject(engine);
    ASSERT_EQ(home, 0);
    ASSERT_EQ(away, 1);

    struct Case {
        std::int32_t scale;
        bool mirror;
        bool moving;
    };
    const Case cases[] = {{100, false, true}, {100, true, false}, {50, false, false},
                          {50, true, true},   {73, true, false},  {100, false, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << c.scale << " mirror " << c.mirror);
        ASSERT_EQ(SetAnimObjectAnim(engine, home, kNumberedId, 0, 0), 1);
        ASSERT_EQ(SetAnimObjectAnim(engine, away, kNumberedId, 1, 0), 1);
        SetAnimObjectPlayerNumber(engine, home, 23, 1);
        SetAnimObjectPlayerNumber(engine, away, 7, 0);
        for (std::int32_t k = 0; k < kNumberedFrames; ++k) {
            const std::int32_t step = c.moving ? 5 * k : 0;
            const std::int32_t flags = c.mirror ? ANIM_PROJECT_MIRROR : 0;
            ASSERT_EQ(ProjectFrameScaleFlip(engine, home, 50 + step, 100, 10, 1, c.scale, flags), 1);
            ASSERT_EQ(ProjectFrameScaleFlip(engine, away, 140 - step, 100, 10, 1, c.scale, flags), 1);
            // A repeat frame shows its frame, number and all.
            const writer::Frame &shown = frames[frames[k].repeatOf == writer::kNoRepeat ? k : frames[k].repeatOf];
            writer::Image want = EmptyScene();
            POINT at{};
            const writer::Image homeLook =
                Predict(shown, &shown, Look{c.scale, c.mirror, false, 23, 12}, 50 + step, 100, at);
            Place(want, homeLook, at.x, at.y);
            const writer::Image awayLook =
                Predict(shown, &shown, Look{c.scale, c.mirror, true, 7, 13}, 140 - step, 100, at);
            Place(want, awayLook, at.x, at.y);
            const writer::Image got = scene.Paint();
            ASSERT_EQ(got.pixels, want.pixels) << "frame " << k;
        }
        EXPECT_EQ(ProjectFrame(engine, home, 50, 100, 10), 0);  // no wrap-around
    }
    // Numbers show only where the team's colour is set.
    SetPlayerNumbersTeamColor(engine, 0, 0);
    ASSERT_EQ(SetAnimObjectAnim(engine, home, kNumberedId, 0, 0), 1);
    ErasePreviousFrame(engine, away);
    ASSERT_EQ(ProjectFrame(engine, home, 80, 120, 10), 1);
    writer::Image want = EmptyScene();
    POINT at{};
    const writer::Image plain = Predict(frames[0], &frames[0], Look{}, 80, 120, at);
    Place(want, plain, at.x, at.y);
    EXPECT_EQ(scene.Paint().pixels, want.pixels);
}

TEST(Projection, DeltaSeeksShowWhatPlayingThroughShows) {
    LeakCheck leaks;
    ScratchDir dir;
    Scene scene;
    EngineState *engine = scene.engine();
    // Frame 0 carries a position adjust, which is never applied: the
    // sequence plays and seeks exactly as without it.
    auto bytes = StandardFile();
    std::uint32_t at = 0;
    std::memcpy(&at, bytes.data() + 16 + 8 * 2, 4);
    const std::size_t record = 16 + 3 * 8 + at;
    std::memcpy(&at, bytes.data() + record + 536, 4);
    const std::int16_t adjust[2] = {3, 2};
    std::memcpy(bytes.data() + record + 536 + 8 * kDeltaFrames + at + 20, adjust, sizeof adjust);
    LoadStandard(scene, dir, 1, bytes);
    const auto source = DeltaScene(kDeltaFrames, 48, 30);
    const std::int32_t o = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, o, kDeltaId, 0, 0), 1);
    ASSERT_EQ(FrameCount(engine, o), kDeltaFrames);
    constexpr std::int32_t kX = 30;
    constexpr std::int32_t kY = 40;

    std::vector<writer::Image> through;
    for (std::int32_t k = 0; k < kDeltaFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, o, kX, kY, 3), 1);
        through.push_back(scene.Paint());
        writer::Image want = EmptyScene();
        Place(want, source[k].image, kX + source[k].originX, kY + source[k].originY);
        ASSERT_EQ(through.back().pixels, want.pixels) << "frame " << k;
    }
    EXPECT_EQ(ProjectFrame(engine, o, kX, kY, 3), 0);

    // Back across a key frame, back to the start, forward across one, and
    // forward within a key interval. (The frame after the next one is only
    // stored, by design, so each target here is at least two ahead or
    // behind.)
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
    // Releasing the frame projected last stops later seeks and projections
    // there.
    EXPECT_EQ(DeleteFrameImmediate(engine, twin), 1);
    EXPECT_EQ(DeleteFrameImmediate(engine, twin), 0);
    SetFrameNum(engine, twin, 3);
    EXPECT_EQ(ProjectFrame(engine, twin, kX, kY, 3), 0);
}

TEST(Projection, ReferenceCountsKeepFilesWhileTheyPlay) {
    LeakCheck leaks;
    ScratchDir dir;
    {
        Scene scene;
        EngineState *engine = scene.engine();
        LoadStandard(scene, dir);
        const std::int32_t a = GetAnimObject(engine);
        const std::int32_t b = GetAnimObject(engine);
        ASSERT_EQ(SetAnimObjectAnim(engine, a, kNumberedId, 0, 0), 1);
        ASSERT_EQ(SetAnimObjectAnim(engine, b, kDeltaId, 0, 0), 1);
        EXPECT_EQ(DestroyMultiAnim(engine, 0), 0);
        EXPECT_EQ(SetAnimObjectAnim(engine, a, -1, 0, 0), 1);
        EXPECT_EQ(DestroyMultiAnim(engine, 0), 0);  // b still plays
        EXPECT_EQ(FrameCount(engine, a), 0);
        DestroyAnimObject(engine, b);
        EXPECT_EQ(DestroyMultiAnim(engine, 0), 1);
        // Objects and files left for the tear-down to free.
        LoadStandard(scene, dir);
        ASSERT_EQ(SetAnimObjectAnim(engine, a, kRunId, 0, 0), 1);
        ASSERT_EQ(ProjectFrame(engine, a, 20, 20, 1), 1);
        const std::int32_t c = GetAnimObject(engine);
        ASSERT_EQ(SetAnimObjectAnim(engine, c, kDeltaId, 0, 0), 1);
        ASSERT_EQ(ProjectFrame(engine, c, 20, 20, 1), 1);
        ASSERT_EQ(ProjectFrame(engine, c, 20, 20, 1), 1);
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Scene scene;
            SetAnimObjectPlayerNumber(scene.engine(), GetAnimObject(scene.engine()), 100, 0);
        },
        "Assertion failed: PROJCTOR");
}

TEST(AnimObjects, SlotsBindingsOffsetsAndRefusals) {
    LeakCheck leaks;
    ScratchDir dir;
    Scene scene(4, 8, 2);
    EngineState *engine = scene.engine();
    const std::string path = LoadStandard(scene, dir, 1);
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(GetAnimObject(engine), i);
    EXPECT_EQ(GetAnimObject(engine), -1);
    DestroyAnimObject(engine, 2);
    EXPECT_EQ(GetAnimObject(engine), 2);

    // Binding: a table the sequence lacks plays table 0; unknown ids fail.
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 1, 0), 1);
    EXPECT_EQ(engine->animObjects.entries[0].tableIndex, 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 1, 999, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 1), 0);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 7, 1), 0);
    EXPECT_EQ(SetAnimObjectPlayerNumber(engine, 0, 9, 0), 7);
    EXPECT_EQ(engine->animObjects.entries[0].flags, anim::projector::kObjectCreated);

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

    // The object is found where its sprite shows.
    scene.Paint();
    EXPECT_EQ(GetSeqFromPoint(engine, 60, 55), 0);
    EXPECT_EQ(GetSeqFromPoint(engine, 5, 5), -1);

    // show 0 and a quiet erase mark nothing for repainting; the others do.
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
    EXPECT_EQ(shared.x, 4);
    EXPECT_EQ(shared.y, -2);
    const std::int32_t before = engine->animObjects.entries[0].x;
    SetFrameOffsetXY(engine, 0, 0, 3, 5);
    EXPECT_EQ(engine->animObjects.entries[0].x, before + 3);
    std::int32_t fx = 0;
    std::int32_t fy = 0;
    GetFrameOffsetXY(engine, 1, 0, &fx, &fy);
    EXPECT_EQ(fx, 3);
    EXPECT_EQ(fy, 5);
    SetFrameOffsetXY(engine, 0, 1, 1, 1);  // not the last projected: no move
    EXPECT_EQ(engine->animObjects.entries[0].x, before + 3);
    SetSeqFrameOffset(engine, 0, 99, 1, 1);  // outside: ignored
    SetFrameOffsetXY(engine, 3, 0, 1, 1);     // plays nothing: ignored

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
    const std::size_t record = 16 + 3 * 8;
    const std::uint32_t tooBig = anim::projector::kObjectBufferSize + 1;
    std::memcpy(bytes.data() + record + 4, &tooBig, 4);
    const std::size_t frame0 = record + 536 + 8 * kRunFrames;
    const std::uint32_t tiny = 10;
    std::memcpy(bytes.data() + frame0 + 4, &tiny, 4);
    std::uint32_t frame2 = 0;
    std::memcpy(&frame2, bytes.data() + record + 536 + 8, 4);
    const std::uint32_t overBuffer = anim::projector::kObjectBufferSize;
    std::memcpy(bytes.data() + frame0 + frame2 + 4, &overBuffer, 4);
    WriteFileBytes(path, bytes);
    ASSERT_EQ(LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 1, 0), 0);
    EXPECT_EQ(SetAnimObjectAnim(engine, 0, kRunId, 0, 0), 0);
    EXPECT_EQ(FrameCount(engine, 0), kRunFrames);  // stays attached
    const auto run = PlayerRun(kRunFrames, 16, 20, false);
    for (std::int32_t k = 0; k < kRunFrames; ++k) {
        ASSERT_EQ(ProjectFrame(engine, 0, 60 + 10 * k, 60, 1), 1);
        EXPECT_EQ(GetFrameNum(engine, 0), k + 1);
        writer::Image want = EmptyScene();
        if (k > 0) {
            POINT at{};
            const writer::Image kept = Predict(run[1], nullptr, Look{}, 60 + 10 * k, 60, at);
            Place(want, kept, at.x, at.y);
        }
        EXPECT_EQ(scene.Paint().pixels, want.pixels) << "frame " << k;
    }
    EXPECT_EQ(ProjectFrame(engine, 0, 60, 60, 1), 0);
}

TEST(Projection, CorruptedFilesPlayWithoutStrayReadsOrWrites) {
    LeakCheck leaks;
    ScratchDir dir;
    const auto good = StandardFile();
    std::mt19937 random(99);
    Scene scene(4, 8, 1);
    EngineState *engine = scene.engine();
    DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
    const std::int32_t objects[] = {GetAnimObject(engine), GetAnimObject(engine),
                                    GetAnimObject(engine)};
    int played = 0;
    for (int trial = 0; trial < 120; ++trial) {
        auto bad = good;
        for (int f = 0; f < 1 + trial % 3; ++f)
            bad[random() % bad.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        const std::string path = dir.File("flip" + std::to_string(trial));
        WriteFileBytes(path, bad);
        if (LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS) != 0)
            continue;
        for (int i = 0; i < 3; ++i) {
            if (SetAnimObjectAnim(engine, objects[i], kStandardIds[i], i % 2, 0) == 0) continue;
            SetAnimObjectPlayerNumber(engine, objects[i], 88, 0);
            for (int k = 0; k < 12; ++k) {
                played += ProjectFrameScaleFlip(engine, objects[i], 40 + 40 * i, 90, i, 1,
                                                k % 2 ? 100 : 55, k % 3 == 0);
            }
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
