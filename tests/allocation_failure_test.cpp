// Every public operation that allocates, run with its 1st, 2nd, 3rd, ...
// block request failing until it gets through: each failure must give the
// operation's failure result, leak nothing and leave the caller's blocks
// byte for byte as they were.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "engine_fixture.h"
#include "player_art.h"

namespace {

using namespace anim::test;
using anim::platform::FailNthAllocation;
using anim::platform::LiveBlockCount;
using Bytes = std::vector<std::uint8_t>;

Bytes Snapshot(const void *block) {
    const auto *p = static_cast<const std::uint8_t *>(block);
    return Bytes(p, p + anim::platform::BlockSize(block));
}

// The caller's pictures: a transparent margin and a few colours.
std::uint8_t Pattern(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(x < 2 ? 0 : 10 + (x * 7 + y) % 9);
}

// What an operation is given, made before failures start: the caller's
// blocks (a 13 x 9 picture, or a 17 x 11 raw frame and a line-form table
// made from it), or an engine made up to a stage; and a
// window to paint into after a failure.
enum Given { kNothing, kPicture, kFrame, kEngine, kAdopting, kSurface, kProjector, kLoaded, kObject, kPlaying };

struct Stage {
    BITMAPINFOHEADER *dib = nullptr;
    ANXFRAME *frame = nullptr;
    std::vector<std::uint16_t> table = std::vector<std::uint16_t>(KOVRLE_TABLE_ENTRIES);
    HDC dc = AnimCreateWindowDC(8, 8);
    void *result = nullptr;
    EngineState *engine = nullptr;
    std::int32_t file = -1, object = -1;

    void Build(Given given, const std::string &path) {
        if (given >= kEngine) engine = InitAnimate();
        if (given == kPicture || given == kAdopting) dib = MakeDib(13, 9, Pattern).release();
        if (given == kFrame) {
            const RECT whole{0, 0, 16, 10};
            frame = CopyDIBToAnxFrame(MakeDib(17, 11, Pattern).get(), nullptr, &whole, 1);
            std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
            KOVRLEStartDecompTable(stats.data());
            KOVRLEUpdateDecompTable(GetAnxFrameRectAddress(frame, 0), frame->dataSize, stats.data());
            KOVRLEFinishDecompTable(stats.data(), table.data(), 0, KOVRLE_AUTO_LIMIT);
            KOVRLEConvertTableToLineForm(table.data());
        }
        if (given >= kSurface) {
            ASSERT_EQ(MakeOffScreenDib(engine, 120, 90), 0);
        }
        if (given >= kProjector) {
            ASSERT_EQ(InitProjector(engine, 4, 8, 2), 1);
        }
        if (given >= kLoaded) {
            ASSERT_GE(file = LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS), 0);
        }
        if (given >= kObject) {
            ASSERT_GE(object = GetAnimObject(engine), 0);
        }
        if (given >= kPlaying) {
            ASSERT_EQ(SetAnimObjectAnim(engine, object, kDeltaId, 0, 0), 1);
            ASSERT_EQ(ProjectFrame(engine, object, 10, 10, 5), 1);
        }
    }
    // The caller's block an operation must leave as it was when it fails.
    void *Kept() const { return engine != nullptr ? nullptr : dib != nullptr ? static_cast<void *>(dib) : frame; }
    bool Made(void *block) { return (result = block) != nullptr; }
    // The object gone, the file must be released: a failed step may not
    // leave a reference behind.
    void Release(bool inputReplaced) {
        FREE(result);
        if (!inputReplaced) FREE(Kept());
        if (object >= 0) DestroyAnimObject(engine, object);
        if (file >= 0) {
            EXPECT_EQ(DestroyMultiAnim(engine, file), 1);
        }
        if (engine != nullptr) {
            TerminateProjector(engine);
            if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
            TerminateAnimate(engine);
            FREE(engine);
            DeleteDIB(dib);
        }
        AnimDestroyWindowDC(dc);
    }
};

TEST(AllocationFailure, EachFailureGivesTheFailureResultKeepsInputsAndLeaksNothing) {
    LeakCheck leaks;
    TraceCapture traces;  // table builds also report unused markers
    ScratchDir dir;
    const std::string file = dir.File("picture.dib");
    ASSERT_EQ(WriteDIB(file.c_str(), MakeDib(21, 30, Pattern).get()), 1);
    const std::string path = dir.File("standard.anx");
    WriteFileBytes(path, StandardFile());
    POINT origin{};
    std::int32_t empty = -1;
    const RECT rects[2] = {{0, 0, 12, 8}, {2, 3, 5, 4}};

    struct Case {
        const char *name;
        Given given;
        std::function<bool(Stage &)> act;  // true: got through
        bool replaces = false;             // the result takes the given block's place
        std::uint32_t least = 1;           // requests failed before that, at least
    };
    const Case cases[] = {
        {"CreateDIB", kNothing, [](Stage &s) { return s.Made(CreateDIB(7, 5)); }},
        {"CreateScrollingDIB", kNothing, [](Stage &s) { return s.Made(CreateScrollingDIB(4, 3, 5, 2)); }},
        {"OpenDIB", kNothing, [&](Stage &s) { return s.Made(OpenDIB(file.c_str())); }},
        {"CopyDIB", kPicture, [](Stage &s) { return s.Made(CopyDIB(s.dib)); }},
        {"CreateCompatibleDIB", kPicture, [](Stage &s) { return s.Made(CreateCompatibleDIB(s.dib)); }},
        {"CopyDIBRectToDIB", kPicture, [&](Stage &s) { return s.Made(CopyDIBRectToDIB(s.dib, 1, 2, 8, 6, &empty)); }},
        {"PadCopyDIB", kPicture, [](Stage &s) { return s.Made(PadCopyDIB(s.dib, 1, 2, 3, 4)); }},
        {"TrimDIB", kPicture, [&](Stage &s) { return s.Made(TrimDIB(s.dib, nullptr, &origin)); }, true},
        {"CompressPDIB", kPicture, [](Stage &s) { return s.Made(CompressPDIB(s.dib, 1)); }, true},
        {"CopyDIBToAnxFrame", kPicture, [&](Stage &s) { return s.Made(CopyDIBToAnxFrame(s.dib, nullptr, rects, 2)); }},
        {"CopyAnxFrameRectToDIB", kFrame, [](Stage &s) { return s.Made(CopyAnxFrameRectToDIB(s.frame, 0)); }},
        {"AnxKOVRLEFrame", kFrame, [](Stage &s) { return s.Made(AnxKOVRLEFrame(s.frame, s.table.data())); }, true},
        {"AnxKOVRLEFrameLineByLine", kFrame,
         [](Stage &s) { return s.Made(AnxKOVRLEFrameLineByLine(s.frame, s.table.data(), 17, 11)); }, true},
        {"AnxFrameLineByLine", kFrame, [](Stage &s) { return s.Made(AnxFrameLineByLine(s.frame, nullptr, 17, 11)); },
         true},
        {"CompressAnxFrame", kFrame, [](Stage &s) { return s.Made(CompressAnxFrame(s.frame)); }, true},
        {"AnxUnKOVRLEFrame", kFrame,
         [](Stage &s) {
             return s.Made(
                 AnxUnKOVRLEFrame(s.frame, nullptr, s.table.data(), nullptr, 0, 100, 0, 0, 0, ANX_STREAM_WHOLE_FRAME));
         }},
        // The state and its tables.
        {"InitAnimate", kNothing, [](Stage &s) { return (s.engine = InitAnimate()) != nullptr; }, false, 2},
        {"SetBackground", kEngine, [&](Stage &s) { return SetBackground(s.engine, file.c_str()) != 0; }},
        {"SetBackgroundPlus", kEngine, [&](Stage &s) { return SetBackgroundPlus(s.engine, file.c_str(), 2) != 0; }},
        {"SetBackgroundDibOnly", kEngine,
         [&](Stage &s) { return SetBackgroundDibOnly(s.engine, file.c_str(), 1) != 0; }},
        // The adopted DIB is the engine's from the call on, made or not.
        {"SetBackgroundFromPDIB", kAdopting,
         [](Stage &s) { return SetBackgroundFromPDIB(s.engine, std::exchange(s.dib, nullptr)) != 0; }},
        {"MakeOffScreenDib", kEngine, [](Stage &s) { return MakeOffScreenDib(s.engine, 64, 48) != 1; }},
        // A sheet that cannot be read still takes its slot, empty; images
        // cannot be cut from it. Templates outlive TerminateAnimate, so the
        // sheet is closed.
        {"OpenSpriteTemplate", kEngine,
         [&](Stage &s) {
             const std::int32_t t = OpenSpriteTemplate(s.engine, file.c_str());
             const bool cut = t >= 0 && AddSpriteDibFromTemplate(s.engine, t, 0, 0, 8, 8) >= 0;
             CloseSpriteTemplate(s.engine, t);
             return cut;
         }},
        // InitProjector makes a table each.
        {"InitProjector", kSurface, [](Stage &s) { return InitProjector(s.engine, 4, 8, 2) == 1; }, false, 4},
        {"LoadMultiAnim", kProjector,
         [&](Stage &s) {
             return (s.file = LoadMultiAnim(s.engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS)) >= 0;
         },
         false, 4},  // the file's block, then each sequence's and number set's
        {"GetAnimObject", kLoaded, [](Stage &s) { return (s.object = GetAnimObject(s.engine)) >= 0; }},
        // Binding a delta sequence makes the object's picture of the scene;
        // failing, it keeps no reference.
        {"SetAnimObjectAnim", kObject,
         [](Stage &s) {
             const bool bound = SetAnimObjectAnim(s.engine, s.object, kDeltaId, 0, 0) == 1;
             EXPECT_TRUE(bound || FrameCount(s.engine, s.object) == 0);
             return bound;
         }},
        // A delta frame is expanded the first time it is played; when that
        // fails the projection reports 0, the frame number stays, and the
        // next attempt plays it.
        {"ProjectFrame", kPlaying,
         [](Stage &s) {
             if (ProjectFrame(s.engine, s.object, 10, 10, 5) == 1) return true;
             EXPECT_EQ(GetFrameNum(s.engine, s.object), 1);
             FailNthAllocation(0);
             EXPECT_EQ(ProjectFrame(s.engine, s.object, 10, 10, 5), 1);
             return false;
         }},
    };
    for (const Case &c : cases) {
        std::uint32_t n = 1;
        for (; n <= 64; ++n) {  // no operation makes nearly this many blocks
            SCOPED_TRACE(std::string(c.name) + ", request " + std::to_string(n) + " failing");
            const std::size_t before = LiveBlockCount();
            Stage s;
            s.Build(c.given, path);
            const Bytes kept = Snapshot(s.Kept());
            FailNthAllocation(n);
            const bool through = c.act(s);
            FailNthAllocation(0);
            if (!through) {
                EXPECT_EQ(Snapshot(s.Kept()), kept);
                // The engine is still usable: a paint after a failure neither
                // crashes nor leaks.
                PaintScene(s.engine, s.dc);
            }
            s.Release(through && c.replaces);
            EXPECT_EQ(LiveBlockCount(), before) << "blocks leaked";
            if (through) break;
        }
        EXPECT_LE(n, 64u) << c.name << " never got through";
        EXPECT_GE(n - 1, c.least) << c.name;
    }
}

}  // namespace
