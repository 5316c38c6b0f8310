// Every public operation that allocates, run with its 1st, 2nd, 3rd, ...
// block request failing until it gets through: each failure must give the
// operation's failure result, leak nothing and leave the caller's blocks
// byte for byte as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "projector_fixture.h"

namespace {

using namespace anim::test;
using anim::platform::FailNthAllocation;
using anim::platform::LiveBlockCount;
using Bytes = std::vector<std::uint8_t>;

Bytes Snapshot(const void *block) {
    const auto *p = static_cast<const std::uint8_t *>(block);
    return Bytes(p, p + anim::platform::BlockSize(block));
}

// setup makes the caller's inputs with nothing failing; act runs the
// operation with request n failing, says whether it got through and, when
// not, checks its failure result; teardown releases everything. Returns how
// many requests failed before one got through.
std::uint32_t FailEachRequestInTurn(const std::string &what, const std::function<void()> &setup,
                                    const std::function<bool()> &act,
                                    const std::function<void(bool)> &teardown) {
    for (std::uint32_t n = 1; n <= 64; ++n) {  // no operation makes nearly this many blocks
        SCOPED_TRACE(what + ", request " + std::to_string(n) + " failing");
        const std::size_t before = LiveBlockCount();
        setup();
        FailNthAllocation(n);
        const bool succeeded = act();
        FailNthAllocation(0);
        teardown(succeeded);
        EXPECT_EQ(LiveBlockCount(), before) << "blocks leaked";
        if (succeeded) return n - 1;
    }
    ADD_FAILURE() << what << " never succeeded";
    return 0;
}

BITMAPINFOHEADER *Picture(std::int32_t w, std::int32_t h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            *GetDIBPixelAddress(dib, x, y) = static_cast<std::uint8_t>(x < 2 ? 0 : 10 + (x * 7 + y) % 9);
    return dib;
}

// A 17 x 11 raw frame and a line-form table made from it; coded, the frame
// coded line by line through that table.
ANXFRAME *Frame(std::uint16_t *table, bool coded) {
    BITMAPINFOHEADER *dib = Picture(17, 11);
    const RECT whole{0, 0, 16, 10};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
    DeleteDIB(dib);
    std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    KOVRLEUpdateDecompTable(GetAnxFrameRectAddress(frame, 0), frame->dataSize, stats.data());
    KOVRLEFinishDecompTable(stats.data(), table, 0, KOVRLE_AUTO_LIMIT);
    KOVRLEConvertTableToLineForm(table);
    return coded ? AnxKOVRLEFrameLineByLine(frame, table, 17, 11) : frame;
}

// The caller's blocks an operation takes: a 13 x 9 picture, or a raw
// frame (coded, when asked) and its table.
struct In {
    BITMAPINFOHEADER *dib = nullptr;
    ANXFRAME *frame = nullptr;
    std::uint16_t table[KOVRLE_TABLE_ENTRIES] = {};
    void *block() const { return dib != nullptr ? static_cast<void *>(dib) : frame; }
};

TEST(AllocationFailure, BlockOperationsGiveNullAndKeepTheirInput) {
    LeakCheck leaks;
    TraceCapture quiet;  // table builds report unused markers
    ScratchDir dir;
    const std::string path = dir.File("picture.dib");
    BITMAPINFOHEADER *dib = Picture(21, 6);
    ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);
    const Bytes written = Snapshot(dib);
    DeleteDIB(dib);

    enum Input { kNone, kPicture, kFrame, kCoded };
    using Op = std::function<void *(In &)>;
    struct Case {
        const char *name;
        Input input;
        Op op;
        bool consumes = false;    // a result takes the input's place
        std::uint32_t exact = 0;  // failures before success, when pinned
    };
    POINT origin{};
    std::int32_t empty = -1;
    const RECT trim{3, 1, 9, 7}, rects[2] = {{0, 0, 12, 8}, {2, 3, 5, 4}};
    const Case cases[] = {
        {"CreateDIB", kNone, [](In &) -> void * { return CreateDIB(7, 5); }, false, 1},
        {"CreateScrollingDIB", kNone, [](In &) -> void * { return CreateScrollingDIB(4, 3, 5, 2); }, false, 1},
        {"OpenDIB", kNone, [&](In &) -> void * {
             // The block read back is the block written, colours used aside.
             BITMAPINFOHEADER *d = OpenDIB(path.c_str());
             const Bytes got = Snapshot(d);
             EXPECT_TRUE(d == nullptr || (got.size() == written.size() && std::equal(got.begin() + 40, got.end(), written.begin() + 40)));
             return d;
         }, false, 1},
        {"CopyDIB", kPicture, [](In &i) -> void * { return CopyDIB(i.dib); }},
        {"CreateCompatibleDIB", kPicture, [](In &i) -> void * { return CreateCompatibleDIB(i.dib); }},
        {"CopyDIBRectToDIB", kPicture, [&](In &i) -> void * { return CopyDIBRectToDIB(i.dib, 1, 2, 8, 6, &empty); }},
        {"PadCopyDIB", kPicture, [](In &i) -> void * { return PadCopyDIB(i.dib, 1, 2, 3, 4); }},
        {"TrimDIB", kPicture, [&](In &i) -> void * { return TrimDIB(i.dib, nullptr, &origin); }, true},
        {"TrimDIB to a rectangle", kPicture, [&](In &i) -> void * { return TrimDIB(i.dib, &trim, &origin); }, true},
        {"CompressPDIB contiguous", kPicture, [](In &i) -> void * { return CompressPDIB(i.dib, 1); }, true},
        {"CompressPDIB by rows", kPicture, [](In &i) -> void * { return CompressPDIB(i.dib, 0); }, true},
        {"CopyDIBToAnxFrame", kPicture, [&](In &i) -> void * { return CopyDIBToAnxFrame(i.dib, nullptr, rects, 2); }},
        {"CopyAnxFrameRectToDIB", kFrame, [](In &i) -> void * { return CopyAnxFrameRectToDIB(i.frame, 0); }},
        {"AnxKOVRLEFrame", kFrame, [](In &i) -> void * { return AnxKOVRLEFrame(i.frame, i.table); }, true},
        {"AnxKOVRLEFrameLineByLine", kFrame,
         [](In &i) -> void * { return AnxKOVRLEFrameLineByLine(i.frame, i.table, 17, 11); }, true},
        {"AnxFrameLineByLine without a table", kFrame,
         [](In &i) -> void * { return AnxFrameLineByLine(i.frame, nullptr, 17, 11); }, true},
        {"CompressAnxFrame", kFrame, [](In &i) -> void * { return CompressAnxFrame(i.frame); }, true},
        {"AnxUnKOVRLEFrame of a line stream", kCoded, [](In &i) -> void * {
             return AnxUnKOVRLEFrame(i.frame, nullptr, i.table, nullptr, 0, 60, 0, 0, 1, ANX_STREAM_LINE_BY_LINE);
         }},
        {"AnxUnKOVRLEFrame of a raw frame", kFrame, [](In &i) -> void * {
             return AnxUnKOVRLEFrame(i.frame, nullptr, i.table, nullptr, 0, 100, 0, 0, 0, ANX_STREAM_WHOLE_FRAME);
         }},
    };
    for (const Case &c : cases) {
        In in;
        void *result = nullptr;
        Bytes before, table;
        auto tableBytes = [&] {
            const auto *t = reinterpret_cast<const std::uint8_t *>(in.table);
            return Bytes(t, t + sizeof in.table);
        };
        const std::uint32_t failures = FailEachRequestInTurn(
            c.name,
            [&] {
                if (c.input == kPicture) in.dib = Picture(13, 9);
                if (c.input >= kFrame) in.frame = Frame(in.table, c.input == kCoded);
                before = Snapshot(in.block());
                table = tableBytes();
            },
            [&] {
                result = c.op(in);
                if (result == nullptr) {
                    EXPECT_EQ(Snapshot(in.block()), before);
                }
                EXPECT_EQ(tableBytes(), table);
                return result != nullptr;
            },
            [&](bool succeeded) {
                FREE(std::exchange(result, nullptr));
                if (!succeeded || !c.consumes) FREE(in.block());
                in = In{};
            });
        if (c.exact != 0) {
            EXPECT_EQ(failures, c.exact) << c.name;
        } else {
            EXPECT_GE(failures, 1u) << c.name << " made no block";
        }
    }
}

// An engine made up to a level before failures start, and let go whole:
// every object let go, the file must be released, so a failed step may not
// leave a reference behind.
enum Level { kNothing, kEngine, kSurface, kProjector, kLoaded, kObject, kPlaying };
struct Stage {
    EngineState *engine = nullptr;
    BITMAPINFOHEADER *picture = nullptr;  // for an operation that adopts one
    std::int32_t file = -1;
    std::int32_t object = -1;
    std::size_t blocks = 0;  // live when built

    void Build(Level level, const std::string &path, bool withPicture) {
        if (level >= kEngine) engine = InitAnimate();
        if (withPicture) picture = Picture(40, 30);
        if (level >= kSurface) { ASSERT_EQ(MakeOffScreenDib(engine, 120, 90), 0); }
        if (level >= kProjector) { ASSERT_EQ(InitProjector(engine, 4, 8, 2), 1); }
        if (level >= kLoaded) {
            file = LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS);
            ASSERT_GE(file, 0);
        }
        if (level >= kObject) { ASSERT_GE(object = GetAnimObject(engine), 0); }
        if (level >= kPlaying) {
            ASSERT_EQ(SetAnimObjectAnim(engine, object, kDeltaId, 0, 0), 1);
            ASSERT_EQ(ProjectFrame(engine, object, 10, 10, 5), 1);
        }
        blocks = LiveBlockCount();
    }
    void Release() {
        if (object >= 0) {
            SetAnimObjectAnim(engine, object, -1, 0, 0);
            DestroyAnimObject(engine, object);
        }
        if (file >= 0) { EXPECT_EQ(DestroyMultiAnim(engine, file), 1); }
        if (engine != nullptr) {
            TerminateProjector(engine);
            if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
            TerminateAnimate(engine);
            FREE(engine);
        }
        DeleteDIB(picture);
        *this = Stage{};
    }
};

TEST(AllocationFailure, EngineOperationsReportFailureAndLeaveAUsableEngine) {
    LeakCheck leaks;
    TraceCapture traces;
    ScratchDir dir;
    const std::string background = dir.File("background.dib");
    BITMAPINFOHEADER *dib = Picture(40, 30);
    ASSERT_EQ(WriteDIB(background.c_str(), dib), 1);
    DeleteDIB(dib);
    const std::string path = dir.File("standard.anx");
    WriteFileBytes(path, StandardFile());
    const char *file = background.c_str();

    struct Case {
        const char *name;
        Level level;
        std::function<bool(Stage &)> act;  // true: got through
        std::uint32_t least = 0;           // failures before success, at least
        bool exact = false;
        bool picture = false;
    };
    const Case cases[] = {
        {"InitAnimate", kNothing, [](Stage &s) { return (s.engine = InitAnimate()) != nullptr; }, 2},  // the state and its tables
        {"SetBackground", kEngine, [&](Stage &s) { return SetBackground(s.engine, file) != 0; }},
        {"SetBackgroundPlus", kEngine, [&](Stage &s) { return SetBackgroundPlus(s.engine, file, 2) != 0; }},
        {"SetBackgroundDibOnly", kEngine, [&](Stage &s) { return SetBackgroundDibOnly(s.engine, file, 1) != 0; }},
        // The adopted DIB is the engine's from the call on, made or not.
        {"SetBackgroundFromPDIB", kEngine,
         [](Stage &s) { return SetBackgroundFromPDIB(s.engine, std::exchange(s.picture, nullptr)) != 0; }, 0, false, true},
        {"MakeOffScreenDib", kEngine, [](Stage &s) { return MakeOffScreenDib(s.engine, 64, 48) != 1; }},
        // A sheet that cannot be read still takes its slot, empty; images
        // cannot be cut from it. Templates outlive TerminateAnimate, so the
        // sheet is closed.
        {"OpenSpriteTemplate", kEngine, [&](Stage &s) {
             const std::int32_t t = OpenSpriteTemplate(s.engine, file);
             const bool cut = t >= 0 && AddSpriteDibFromTemplate(s.engine, t, 0, 0, 8, 8) >= 0;
             CloseSpriteTemplate(s.engine, t);
             return cut;
         }},
        {"InitProjector", kSurface, [](Stage &s) { return InitProjector(s.engine, 4, 8, 2) == 1; }, 4},  // a table each
        {"LoadMultiAnim", kProjector, [&](Stage &s) {
             s.file = LoadMultiAnim(s.engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS);
             if (s.file >= 0) return true;
             EXPECT_EQ(s.file, -1);
             EXPECT_EQ(LiveBlockCount(), s.blocks);
             return false;
         }, 4},  // the file's block, then each sequence's and number set's
        {"GetAnimObject", kLoaded, [](Stage &s) { return (s.object = GetAnimObject(s.engine)) >= 0; }, 1},
        // Binding a delta sequence makes the object's picture of the scene;
        // failing, it keeps no reference.
        {"SetAnimObjectAnim", kObject, [](Stage &s) {
             if (SetAnimObjectAnim(s.engine, s.object, kDeltaId, 0, 0) == 1) return true;
             EXPECT_EQ(FrameCount(s.engine, s.object), 0);
             return false;
         }, 1},
        // A delta frame is expanded the first time it is played; when that
        // fails the projection reports 0, the frame number stays, and the
        // next attempt plays it.
        {"ProjectFrame", kPlaying, [](Stage &s) {
             if (ProjectFrame(s.engine, s.object, 10, 10, 5) == 1) return true;
             EXPECT_EQ(GetFrameNum(s.engine, s.object), 1);
             FailNthAllocation(0);
             EXPECT_EQ(ProjectFrame(s.engine, s.object, 10, 10, 5), 1);
             return false;
         }, 1, true},
    };
    for (const Case &c : cases) {
        Stage stage;
        const std::uint32_t failures = FailEachRequestInTurn(
            c.name, [&] { stage.Build(c.level, path, c.picture); },
            [&] {
                if (c.act(stage)) return true;
                // The engine is still usable: a paint after a failure neither
                // crashes nor leaks.
                HDC dc = AnimCreateWindowDC(8, 8);
                PaintScene(stage.engine, dc);
                AnimDestroyWindowDC(dc);
                return false;
            },
            [&](bool) { stage.Release(); });
        EXPECT_GE(failures, c.least) << c.name;
        if (c.exact) { EXPECT_EQ(failures, c.least) << c.name; }
    }
    // Each kind of failure was met and told as such: the file's block and
    // the surface's.
    auto traced = [&](const std::string &text) {
        return std::any_of(traces.lines().begin(), traces.lines().end(),
                           [&](const std::string &line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(traced("SetBackground: OpenDIB() FAILED!"));
    EXPECT_TRUE(traced("Can't create offscreen static image.") ||
                traced("Insufficient memory for offscreen static DIB."));

    // A paint has no result to report a failure with; whichever of the
    // printer path's blocks cannot be had, it must neither crash nor leak.
    for (std::uint32_t n = 1; n <= 4; ++n) {
        Stage stage;
        stage.Build(kEngine, path, false);
        ASSERT_EQ(SetBackground(stage.engine, file), 1);
        EnablePrinter(stage.engine, 1);
        HDC dc = AnimCreateWindowDC(40, 30);
        const std::size_t before = LiveBlockCount();
        FailNthAllocation(n);
        PaintScene(stage.engine, dc);
        FailNthAllocation(0);
        EXPECT_EQ(LiveBlockCount(), before) << n;
        AnimDestroyWindowDC(dc);
        stage.Release();
    }
}

}  // namespace
