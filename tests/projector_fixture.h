// Engines with a projector for the projector tests, and multi-animation
// files made with the writer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "animate.h"
#include "anx_writer.h"
#include "player_art.h"
#include "test_support.h"

namespace anim::test {

// Sequence ids the standard file's sequences are loaded under.
inline constexpr std::int32_t kRunId = 10;
inline constexpr std::int32_t kNumberedId = 11;
inline constexpr std::int32_t kDeltaId = 12;
inline constexpr std::int32_t kStandardIds[] = {kRunId, kNumberedId, kDeltaId};

// Frames of the standard file: a plain run, a numbered run whose frame 2
// repeats frame 0 and whose frame 1 has no number, and a delta scene with
// key frames at 0, 4 and 8.
inline constexpr std::int32_t kRunFrames = 3;
inline constexpr std::int32_t kNumberedFrames = 4;
inline constexpr std::int32_t kDeltaFrames = 10;
inline constexpr std::int32_t kDeltaKeyInterval = 4;

inline std::vector<writer::Frame> NumberedRun() {
    auto run = PlayerRun(kNumberedFrames, 40, 50, true, 2);
    run[1].number.reset();
    return run;
}

inline std::vector<std::uint8_t> StandardFile() {
    writer::Writer writer;
    EXPECT_TRUE(writer.AddScalableSequence(PlayerRun(kRunFrames, 16, 20, false), "run"));
    EXPECT_TRUE(writer.AddScalableSequence(NumberedRun(), "numbered"));
    writer::DeltaOptions options;
    options.keyInterval = kDeltaKeyInterval;
    EXPECT_TRUE(writer.AddDeltaSequence(DeltaScene(kDeltaFrames, 48, 30), "scene", options));
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(writer.Build(bytes));
    return bytes;
}

// An engine block that only the projector uses: enough for loading files.
class ProjectorOnly {
public:
    ProjectorOnly(std::int32_t objects = 4, std::int32_t sequences = 8, std::int32_t files = 2)
        : engine_(static_cast<EngineState *>(ALLOCATE(sizeof(EngineState)))) {
        EXPECT_EQ(InitProjector(engine_, objects, sequences, files), 1);
    }
    ~ProjectorOnly() {
        TerminateProjector(engine_);
        FREE(engine_);
    }
    ProjectorOnly(const ProjectorOnly &) = delete;
    ProjectorOnly &operator=(const ProjectorOnly &) = delete;
    EngineState *engine() const { return engine_; }

private:
    EngineState *engine_;
};

}  // namespace anim::test
