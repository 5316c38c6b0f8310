// Multi-animation files from anywhere: LoadMultiAnim refuses them or loads
// them whole, and whatever it loads plays without reading or writing
// outside a block, and lets go of everything when asked.
//
//   input := file bytes, loaded as they stand
//
// A file is loaded with two tables and its player numbers, and every
// sequence is played through to its end by two anim objects at once (one
// in each table) at several scales, mirrored and not, with a shirt number;
// then seeked, rewound, erased and shown again, with the scene painted
// between. Both objects let go, the multi-animation must be released; the
// file is then loaded again with one table and no numbers and played once.
// A refused load must leave no block behind.
#include <algorithm>
#include <array>
#include <cstring>

#include "animate.h"
#include "fuzz_support.h"
#include "targets.h"

namespace anim::fuzz {
namespace {

constexpr std::int32_t kMaxIds = 64;
constexpr std::int32_t kFirstId = 100;
constexpr std::int32_t kSceneWidth = 160;
constexpr std::int32_t kSceneHeight = 120;
// Frames projected per pass: enough to reach repeats and key frames of the
// files the seeds hold, few enough to keep a run quick.
constexpr std::int32_t kMaxFramesPerPass = 24;
constexpr std::int32_t kScales[] = {100, 50, 23};
constexpr std::uint8_t kTeamColour[] = {200, 201};

// Projects up to kMaxFramesPerPass frames of both objects, alternately.
void PlayThrough(const EngineScope &s, const std::int32_t (&objects)[2], std::int32_t scale, std::int32_t flags) {
    for (std::int32_t k = 0; k < kMaxFramesPerPass; ++k) {
        bool any = false;
        for (std::int32_t i = 0; i < 2; ++i) {
            const std::int32_t x = 40 + 60 * i, y = 90 - 5 * k % 30;
            any |= ProjectFrameScaleFlip(s.engine, objects[i], x, y, 10 + i, k % 5 != 4, scale, flags) == 1;
        }
        if (!any) break;
    }
    PaintScene(s.engine, s.dc);
}

void SeekAround(const EngineScope &s, std::int32_t object) {
    const std::int32_t frames = FrameCount(s.engine, object);
    const std::int32_t targets[] = {frames - 1, 0, frames / 2, -3, frames + 5, 1, frames / 3};
    for (std::int32_t target : targets) {
        SetFrameNum(s.engine, object, target);
        ProjectFrame(s.engine, object, 70, 70, 5);
    }
    RewindAnx(s.engine, object);
    ProjectFrame(s.engine, object, 71, 69, 5);
    ProjectFrame(s.engine, object, 72, 69, 5);
    DeleteFrameImmediate(s.engine, object);
    ProjectFrame(s.engine, object, 72, 69, 5);
    OldRewindAnx(s.engine, object);
    ProjectFramePlus(s.engine, object, 73, 68, 6, 0);
    HideFrame(s.engine, object);
    ShowFrame(s.engine, object);
    ErasePreviousFramePlus(s.engine, object, 0);
    ErasePreviousFrame(s.engine, object);
    PaintScene(s.engine, s.dc);
}

void PlaySequence(const EngineScope &s, std::int32_t id, std::int32_t tables, std::int32_t number) {
    std::int32_t objects[2] = {GetAnimObject(s.engine), GetAnimObject(s.engine)};
    FUZZ_CHECK(objects[0] >= 0 && objects[1] >= 0);
    bool bound = true;
    for (std::int32_t i = 0; i < 2; ++i) {
        bound &= SetAnimObjectAnim(s.engine, objects[i], id, i % tables, 0) == 1;
        SetAnimObjectPlayerNumber(s.engine, objects[i], (number + 11 * i) % 100, i);
    }
    if (bound) {
        for (std::int32_t scale : kScales) {
            for (std::int32_t flags : {0, ANIM_PROJECT_MIRROR}) {
                for (std::int32_t object : objects) RewindAnx(s.engine, object);
                PlayThrough(s, objects, scale, flags);
            }
        }
        SeekAround(s, objects[0]);
    }
    for (std::int32_t object : objects) {
        SetAnimObjectAnim(s.engine, object, -1, 0, 0);
        DestroyAnimObject(s.engine, object);
    }
}

// Loads, plays every sequence, releases; false when the load was refused.
bool LoadAndPlay(const EngineScope &s, const char *path, std::int32_t sequences, std::int32_t tables,
                 std::int32_t flags, std::int32_t number) {
    std::array<std::int32_t, kMaxIds> ids;
    for (std::int32_t i = 0; i < kMaxIds; ++i) ids[static_cast<std::size_t>(i)] = kFirstId + i;
    const std::size_t before = platform::LiveBlockCount();
    const std::int32_t handle = LoadMultiAnim(s.engine, path, ids.data(), kMaxIds, tables, flags);
    if (handle < 0) {
        FUZZ_CHECK(platform::LiveBlockCount() == before);
        return false;
    }
    for (std::int32_t i = 0; i < sequences; ++i) PlaySequence(s, kFirstId + i, tables, number);
    FUZZ_CHECK(DestroyMultiAnim(s.engine, handle) == 1);
    return true;
}

}  // namespace

int MultiAnimTarget(const std::uint8_t *data, std::size_t size) {
    BlockBalance balance;
    const char *path = MemoryFile({data, size});
    std::uint16_t declared = 0;
    if (size >= 4) std::memcpy(&declared, data + 2, sizeof declared);
    const std::int32_t sequences = std::min<std::int32_t>(declared, kMaxIds);
    const std::int32_t number = size > 0 ? data[size - 1] % 100 : 7;

    EngineScope s(kSceneWidth, kSceneHeight);
    FUZZ_CHECK(MakeOffScreenDib(s.engine, kSceneWidth, kSceneHeight) == 0);
    FUZZ_CHECK(InitProjector(s.engine, 4, kMaxIds, 2) == 1);
    SetPlayerNumbersTeamColor(s.engine, 0, kTeamColour[0]);
    SetPlayerNumbersTeamColor(s.engine, 1, kTeamColour[1]);
    DupKOVRLETableSetup(s.engine, 16, 8, 32);
    if (LoadAndPlay(s, path, sequences, 2, ANIM_LOAD_PLAYER_NUMBERS, number))
        LoadAndPlay(s, path, sequences, 1, 0, number);
    TerminateProjector(s.engine);
    return 0;
}

}  // namespace anim::fuzz
