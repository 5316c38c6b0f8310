// Every public operation that allocates, run with its 1st, 2nd, 3rd, ...
// block request failing until it gets through: each failure must give the
// operation's failure result, leak nothing and leave the caller's blocks
// byte for byte as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "animate.h"
#include "platform/platform.h"
#include "animate/engine.h"
#include "projector_fixture.h"
#include "test_support.h"

namespace {

using anim::platform::FailNthAllocation;
using anim::platform::LiveBlockCount;
using anim::test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

// No operation here makes anywhere near this many blocks.
constexpr std::uint32_t kMaxRequests = 64;

Bytes Snapshot(const void *block) {
    const auto *p = static_cast<const std::uint8_t *>(block);
    return Bytes(p, p + anim::platform::BlockSize(block));
}

// Turns injection off however the attempt ends.
class FailingRequest {
public:
    explicit FailingRequest(std::uint32_t n) { FailNthAllocation(n); }
    ~FailingRequest() { FailNthAllocation(0); }
    FailingRequest(const FailingRequest &) = delete;
    FailingRequest &operator=(const FailingRequest &) = delete;
};

// One attempt: setup makes the caller's inputs (no failures yet), act runs
// the operation with request n failing and says whether it succeeded (and,
// when not, checks the failure result), teardown releases everything.
// Returns how many attempts failed before one succeeded.
struct Attempt {
    std::function<void()> setup;
    std::function<bool()> act;
    std::function<void(bool succeeded)> teardown;
};

std::uint32_t FailEachRequestInTurn(const char *what, const Attempt &attempt) {
    for (std::uint32_t n = 1; n <= kMaxRequests; ++n) {
        SCOPED_TRACE(std::string(what) + ", request " + std::to_string(n) + " failing");
        const std::size_t before = LiveBlockCount();
        attempt.setup();
        bool succeeded;
        {
            FailingRequest failing(n);
            succeeded = attempt.act();
        }
        attempt.teardown(succeeded);
        EXPECT_EQ(LiveBlockCount(), before) << "blocks leaked";
        if (succeeded) return n - 1;
    }
    ADD_FAILURE() << what << " never succeeded";
    return kMaxRequests;
}

BITMAPINFOHEADER *Picture(std::int32_t w, std::int32_t h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            *GetDIBPixelAddress(dib, x, y) = static_cast<std::uint8_t>(x < 2 ? 0 : 10 + (x * 7 + y) % 9);
    return dib;
}

// A unary operation on a DIB that returns a new block or null and must
// leave its input intact when it fails.
void DibOperation(const char *what, const std::function<void *(BITMAPINFOHEADER *)> &op,
                  bool releasesInputOnSuccess = false) {
    BITMAPINFOHEADER *dib = nullptr;
    Bytes before;
    void *result = nullptr;
    const std::uint32_t failures = FailEachRequestInTurn(
        what, {[&] {
                   dib = Picture(13, 9);
                   before = Snapshot(dib);
               },
               [&] {
                   result = op(dib);
                   if (result == nullptr) {
                       EXPECT_EQ(Snapshot(dib), before);
                   }
                   return result != nullptr;
               },
               [&](bool succeeded) {
                   FREE(result);
                   if (!succeeded || !releasesInputOnSuccess) DeleteDIB(dib);
                   result = nullptr;
               }});
    EXPECT_GE(failures, 1u) << what << " made no block";
}

TEST(AllocationFailure, DibOperationsGiveNullAndKeepTheirInput) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;
    DibOperation("CopyDIB", [](BITMAPINFOHEADER *d) { return CopyDIB(d); });
    DibOperation("CreateCompatibleDIB", [](BITMAPINFOHEADER *d) { return CreateCompatibleDIB(d); });
    DibOperation("CopyDIBRectToDIB", [](BITMAPINFOHEADER *d) {
        std::int32_t empty = -1;
        return CopyDIBRectToDIB(d, 1, 2, 8, 6, &empty);
    });
    DibOperation("PadCopyDIB", [](BITMAPINFOHEADER *d) { return PadCopyDIB(d, 1, 2, 3, 4); });
    DibOperation("TrimDIB", [](BITMAPINFOHEADER *d) {
        POINT origin{};
        return TrimDIB(d, nullptr, &origin);
    }, true);
    DibOperation("TrimDIB to a rectangle", [](BITMAPINFOHEADER *d) {
        POINT origin{};
        const RECT r{3, 1, 9, 7};
        return TrimDIB(d, &r, &origin);
    }, true);
    DibOperation("CompressPDIB contiguous", [](BITMAPINFOHEADER *d) { return CompressPDIB(d, 1); }, true);
    DibOperation("CompressPDIB by rows", [](BITMAPINFOHEADER *d) { return CompressPDIB(d, 0); }, true);
    DibOperation("CopyDIBToAnxFrame", [](BITMAPINFOHEADER *d) {
        const RECT rects[2] = {{0, 0, 12, 8}, {2, 3, 5, 4}};
        return CopyDIBToAnxFrame(d, nullptr, rects, 2);
    });

    std::uint32_t n = FailEachRequestInTurn("CreateDIB", {[] {}, [] {
        BITMAPINFOHEADER *d = CreateDIB(7, 5);
        DeleteDIB(d);
        return d != nullptr;
    }, [](bool) {}});
    EXPECT_EQ(n, 1u);
    n = FailEachRequestInTurn("CreateScrollingDIB", {[] {}, [] {
        BITMAPINFOHEADER *d = CreateScrollingDIB(4, 3, 5, 2);
        DeleteDIB(d);
        return d != nullptr;
    }, [](bool) {}});
    EXPECT_EQ(n, 1u);
}

TEST(AllocationFailure, OpenDibGivesNullAndWriteReadsBack) {
    anim::test::LeakCheck leaks;
    ScratchDir dir;
    const std::string path = dir.File("picture.dib");
    BITMAPINFOHEADER *dib = Picture(21, 6);
    ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);
    const Bytes written = Snapshot(dib);
    DeleteDIB(dib);
    const std::uint32_t n = FailEachRequestInTurn("OpenDIB", {[] {}, [&] {
        BITMAPINFOHEADER *d = OpenDIB(path.c_str());
        if (d != nullptr) {
            // The block read back is the block written, colours used aside.
            Bytes got = Snapshot(d);
            EXPECT_EQ(got.size(), written.size());
            EXPECT_EQ(std::memcmp(got.data() + 40, written.data() + 40, got.size() - 40), 0);
        }
        DeleteDIB(d);
        return d != nullptr;
    }, [](bool) {}});
    EXPECT_EQ(n, 1u);
}

// Frames: the frame's rect 0 back to a DIB, the decoder, every encoder.
struct FrameCase {
    ANXFRAME *frame = nullptr;
    std::uint16_t table[KOVRLE_TABLE_ENTRIES] = {};
    Bytes before;
    Bytes tableBefore;
};

ANXFRAME *RawFrame(std::int32_t w, std::int32_t h) {
    BITMAPINFOHEADER *dib = Picture(w, h);
    const RECT whole{0, 0, w - 1, h - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, nullptr, &whole, 1);
    DeleteDIB(dib);
    return frame;
}

void LineTable(const ANXFRAME *frame, std::uint16_t *table) {
    std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    KOVRLEUpdateDecompTable(GetAnxFrameRectAddress(const_cast<ANXFRAME *>(frame), 0),
                            frame->dataSize, stats.data());
    KOVRLEFinishDecompTable(stats.data(), table, 0, KOVRLE_AUTO_LIMIT);
    KOVRLEConvertTableToLineForm(table);
}

void FrameOperation(const char *what, const std::function<void *(FrameCase &)> &op,
                    bool releasesInputOnSuccess, bool compressFirst = false) {
    FrameCase c;
    void *result = nullptr;
    const std::uint32_t failures = FailEachRequestInTurn(
        what, {[&] {
                   c.frame = RawFrame(17, 11);
                   LineTable(c.frame, c.table);
                   if (compressFirst) c.frame = AnxKOVRLEFrameLineByLine(c.frame, c.table, 17, 11);
                   c.before = Snapshot(c.frame);
                   c.tableBefore.assign(reinterpret_cast<std::uint8_t *>(c.table),
                                        reinterpret_cast<std::uint8_t *>(c.table) + sizeof c.table);
               },
               [&] {
                   result = op(c);
                   if (result == nullptr) {
                       EXPECT_EQ(Snapshot(c.frame), c.before);
                   }
                   EXPECT_EQ(std::memcmp(c.table, c.tableBefore.data(), sizeof c.table), 0);
                   return result != nullptr;
               },
               [&](bool succeeded) {
                   FREE(result);
                   result = nullptr;
                   if (!succeeded || !releasesInputOnSuccess) DeleteAnxFrame(c.frame);
               }});
    EXPECT_GE(failures, 1u) << what << " made no block";
}

TEST(AllocationFailure, FrameOperationsGiveNullAndKeepTheirInput) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture quiet;  // table builds report unused markers
    FrameOperation("CopyAnxFrameRectToDIB",
                   [](FrameCase &c) { return CopyAnxFrameRectToDIB(c.frame, 0); }, false);
    FrameOperation("AnxKOVRLEFrame", [](FrameCase &c) { return AnxKOVRLEFrame(c.frame, c.table); },
                   true);
    FrameOperation("AnxKOVRLEFrameLineByLine",
                   [](FrameCase &c) { return AnxKOVRLEFrameLineByLine(c.frame, c.table, 17, 11); },
                   true);
    FrameOperation("AnxFrameLineByLine without a table",
                   [](FrameCase &c) { return AnxFrameLineByLine(c.frame, nullptr, 17, 11); }, true);
    FrameOperation("CompressAnxFrame", [](FrameCase &c) { return CompressAnxFrame(c.frame); }, true);
    FrameOperation("AnxUnKOVRLEFrame of a line stream", [](FrameCase &c) {
        return AnxUnKOVRLEFrame(c.frame, nullptr, c.table, nullptr, 0, 60, 0, 0, 1,
                                ANX_STREAM_LINE_BY_LINE);
    }, false, true);
    FrameOperation("AnxUnKOVRLEFrame of a raw frame", [](FrameCase &c) {
        return AnxUnKOVRLEFrame(c.frame, nullptr, c.table, nullptr, 0, 100, 0, 0, 0,
                                ANX_STREAM_WHOLE_FRAME);
    }, false);
}

// ---- The engine ---------------------------------------------------------------

void DeleteEngine(EngineState *engine) {
    if (engine == nullptr) return;
    if (HPALETTE palette = MasterPalette(engine)) AnimDeletePalette(palette);
    TerminateAnimate(engine);
    FREE(engine);
}

TEST(AllocationFailure, EngineStartGivesNull) {
    anim::test::LeakCheck leaks;
    EngineState *engine = nullptr;
    const std::uint32_t n = FailEachRequestInTurn("InitAnimate", {[] {}, [&] {
        engine = InitAnimate();
        return engine != nullptr;
    }, [&](bool) {
        DeleteEngine(engine);
        engine = nullptr;
    }});
    EXPECT_GE(n, 2u);  // the state and its tables
}

// An engine for the background operations, made (and prepared) before
// failures start.
void EngineOperation(const char *what, const std::function<std::int32_t(EngineState *)> &op,
                     std::int32_t failure,
                     const std::function<void(EngineState *)> &prepare = [](EngineState *) {}) {
    EngineState *engine = nullptr;
    FailEachRequestInTurn(what, {[&] {
                                     engine = InitAnimate();
                                     prepare(engine);
                                 },
                                 [&] {
                                     const std::int32_t result = op(engine);
                                     if (result != failure) return true;
                                     // The engine is still usable: a paint
                                     // after a failure neither crashes nor
                                     // leaks.
                                     HDC dc = AnimCreateWindowDC(8, 8);
                                     PaintScene(engine, dc);
                                     AnimDestroyWindowDC(dc);
                                     return false;
                                 },
                                 [&](bool) {
                                     DeleteEngine(engine);
                                     engine = nullptr;
                                 }});
}

TEST(AllocationFailure, BackgroundsReportFailureAndLeaveAUsableEngine) {
    anim::test::LeakCheck leaks;
    anim::test::TraceCapture traces;
    ScratchDir dir;
    const std::string path = dir.File("background.dib");
    BITMAPINFOHEADER *dib = Picture(40, 30);
    ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);
    DeleteDIB(dib);

    EngineOperation("SetBackground", [&](EngineState *e) { return SetBackground(e, path.c_str()); }, 0);
    EngineOperation("SetBackgroundPlus",
                    [&](EngineState *e) { return SetBackgroundPlus(e, path.c_str(), 2); }, 0);
    EngineOperation("SetBackgroundDibOnly",
                    [&](EngineState *e) { return SetBackgroundDibOnly(e, path.c_str(), 1); }, 0);
    // The adopted DIB is the engine's from the call on, made or not.
    BITMAPINFOHEADER *adopted = nullptr;
    EngineOperation("SetBackgroundFromPDIB",
                    [&](EngineState *e) { return SetBackgroundFromPDIB(e, adopted); }, 0,
                    [&](EngineState *) { adopted = Picture(40, 30); });
    EngineOperation("MakeOffScreenDib", [](EngineState *e) { return MakeOffScreenDib(e, 64, 48); }, 1);
    EngineOperation("OpenSpriteTemplate",
                    [&](EngineState *e) {
                        // A sheet that cannot be read still takes its slot,
                        // empty; images cannot be cut from it. Templates
                        // outlive TerminateAnimate, so the sheet is closed.
                        const std::int32_t t = OpenSpriteTemplate(e, path.c_str());
                        const bool cut = t >= 0 && AddSpriteDibFromTemplate(e, t, 0, 0, 8, 8) >= 0;
                        CloseSpriteTemplate(e, t);
                        return cut ? 1 : 0;
                    },
                    0);

    // Each kind of failure was met and told as such: the file's block and
    // the surface's.
    auto traced = [&](const std::string &text) {
        return std::any_of(traces.lines().begin(), traces.lines().end(),
                           [&](const std::string &line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(traced("SetBackground: OpenDIB() FAILED!"));
    EXPECT_TRUE(traced("Can't create offscreen static image.") ||
                traced("Insufficient memory for offscreen static DIB."));
}

// A paint has no result to report a failure with; whichever of its blocks
// cannot be had, it must still neither crash nor leak.
TEST(AllocationFailure, PrinterPathPaintsSurviveEveryFailure) {
    anim::test::LeakCheck leaks;
    ScratchDir dir;
    const std::string path = dir.File("background.dib");
    BITMAPINFOHEADER *dib = Picture(40, 30);
    ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);
    DeleteDIB(dib);
    for (std::uint32_t n = 1; n <= 4; ++n) {
        EngineState *engine = InitAnimate();
        ASSERT_EQ(SetBackground(engine, path.c_str()), 1);
        EnablePrinter(engine, 1);
        HDC dc = AnimCreateWindowDC(40, 30);
        const std::size_t before = LiveBlockCount();
        {
            FailingRequest failing(n);
            PaintScene(engine, dc);
        }
        EXPECT_EQ(LiveBlockCount(), before) << n;
        AnimDestroyWindowDC(dc);
        DeleteEngine(engine);
    }
}

// ---- The projector --------------------------------------------------------------

using anim::test::kDeltaId;
using anim::test::kStandardIds;

// An engine with a scene, a projector, the standard file loaded and one
// object, as far as each step below needs; all of it made before failures
// start, and all of it let go by Release.
struct Stage {
    EngineState *engine = nullptr;
    std::int32_t file = -1;
    std::int32_t object = -1;

    void Build(const std::string &path, bool projector, bool load, bool object_) {
        engine = InitAnimate();
        ASSERT_EQ(MakeOffScreenDib(engine, 120, 90), 0);
        if (projector) {
            ASSERT_EQ(InitProjector(engine, 4, 8, 2), 1);
        }
        if (load) {
            file = LoadMultiAnim(engine, path.c_str(), kStandardIds, 3, 2, ANIM_LOAD_PLAYER_NUMBERS);
            ASSERT_GE(file, 0);
        }
        if (object_) {
            object = GetAnimObject(engine);
            ASSERT_GE(object, 0);
        }
    }
    // Every object let go, the file must be released: a failed step may
    // not leave a reference behind.
    void Release() {
        if (object >= 0) {
            SetAnimObjectAnim(engine, object, -1, 0, 0);
            DestroyAnimObject(engine, object);
        }
        if (file >= 0) {
            EXPECT_EQ(DestroyMultiAnim(engine, file), 1);
        }
        TerminateProjector(engine);
        DeleteEngine(engine);
        *this = Stage{};
    }
};

class ProjectorAllocation : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.File("standard.anx");
        anim::test::WriteFileBytes(path_, anim::test::StandardFile());
    }
    anim::test::ScratchDir dir_;
    std::string path_;
    anim::test::TraceCapture quiet_;
};

TEST_F(ProjectorAllocation, InitProjectorGivesZero) {
    anim::test::LeakCheck leaks;
    Stage stage;
    const std::uint32_t n = FailEachRequestInTurn(
        "InitProjector", {[&] { stage.Build(path_, false, false, false); },
                          [&] { return InitProjector(stage.engine, 4, 8, 2) == 1; },
                          [&](bool) { stage.Release(); }});
    EXPECT_GE(n, 4u);  // one table each
}

TEST_F(ProjectorAllocation, LoadMultiAnimGivesMinusOneAndLeavesNothing) {
    anim::test::LeakCheck leaks;
    Stage stage;
    std::size_t before = 0;
    const std::uint32_t n = FailEachRequestInTurn(
        "LoadMultiAnim", {[&] {
                              stage.Build(path_, true, false, false);
                              before = LiveBlockCount();
                          },
                          [&] {
                              stage.file = LoadMultiAnim(stage.engine, path_.c_str(), kStandardIds, 3,
                                                         2, ANIM_LOAD_PLAYER_NUMBERS);
                              if (stage.file >= 0) return true;
                              EXPECT_EQ(stage.file, -1);
                              EXPECT_EQ(LiveBlockCount(), before);
                              return false;
                          },
                          [&](bool) { stage.Release(); }});
    EXPECT_GE(n, 4u);  // the file's block, then each sequence's and number set's
}

TEST_F(ProjectorAllocation, GetAnimObjectGivesMinusOne) {
    anim::test::LeakCheck leaks;
    Stage stage;
    const std::uint32_t n = FailEachRequestInTurn(
        "GetAnimObject", {[&] { stage.Build(path_, true, true, false); },
                          [&] {
                              stage.object = GetAnimObject(stage.engine);
                              return stage.object >= 0;
                          },
                          [&](bool) { stage.Release(); }});
    EXPECT_GE(n, 1u);
}

TEST_F(ProjectorAllocation, BindingADeltaSequenceGivesZeroAndKeepsNoReference) {
    anim::test::LeakCheck leaks;
    Stage stage;
    const std::uint32_t n = FailEachRequestInTurn(
        "SetAnimObjectAnim", {[&] { stage.Build(path_, true, true, true); },
                              [&] {
                                  if (SetAnimObjectAnim(stage.engine, stage.object, kDeltaId, 0, 0) == 1)
                                      return true;
                                  EXPECT_EQ(FrameCount(stage.engine, stage.object), 0);
                                  return false;
                              },
                              [&](bool) { stage.Release(); }});
    EXPECT_GE(n, 1u);  // the object's picture of the scene
}

// A delta frame is expanded the first time it is played; when that fails
// the projection reports 0, the frame number stays, and the next attempt
// plays it.
TEST_F(ProjectorAllocation, DeltaFrameExpansionFailsAndIsTriedAgain) {
    anim::test::LeakCheck leaks;
    Stage stage;
    const std::uint32_t n = FailEachRequestInTurn(
        "ProjectFrame", {[&] {
                             stage.Build(path_, true, true, true);
                             ASSERT_EQ(SetAnimObjectAnim(stage.engine, stage.object, kDeltaId, 0, 0), 1);
                             ASSERT_EQ(ProjectFrame(stage.engine, stage.object, 10, 10, 5), 1);
                         },
                         [&] {
                             if (ProjectFrame(stage.engine, stage.object, 10, 10, 5) == 1) return true;
                             EXPECT_EQ(GetFrameNum(stage.engine, stage.object), 1);
                             FailNthAllocation(0);
                             EXPECT_EQ(ProjectFrame(stage.engine, stage.object, 10, 10, 5), 1);
                             return false;
                         },
                         [&](bool) { stage.Release(); }});
    EXPECT_EQ(n, 1u);
}

}  // namespace
