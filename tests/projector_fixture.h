// An engine with a projector for the projector tests, and the multi-animation
// file they load, made with the writer.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"
#include "anx_writer.h"
#include "player_art.h"
#include "test_support.h"

namespace anim::test {

// Sequence ids the standard file's sequences are loaded under.
inline constexpr std::int32_t kRunId = 10;
inline constexpr std::int32_t kNumberedId = 11;
inline constexpr std::int32_t kDeltaId = 12;
inline constexpr std::int32_t kStandardIds[] = {kRunId, kNumberedId, kDeltaId};

// The standard file: a plain run, a numbered run whose frame 2 repeats
// frame 0 and whose frame 1 has no number, and a delta scene with key frames
// at 0, 4 and 8.
inline constexpr std::int32_t kRunFrames = 3;
inline constexpr std::int32_t kNumberedFrames = 4;
inline constexpr std::int32_t kDeltaFrames = 10;

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
    options.keyInterval = 4;
    EXPECT_TRUE(writer.AddDeltaSequence(DeltaScene(kDeltaFrames, 48, 30), "scene", options));
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(writer.Build(bytes));
    return bytes;
}

inline constexpr std::int32_t kSceneWidth = 200;
inline constexpr std::int32_t kSceneHeight = 150;
inline std::uint8_t BackgroundAt(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(40 + (x / 5 + y / 7) % 4);
}

// An engine with a projector, a patterned background and a window to paint
// it into.
class Projector {
public:
    explicit Projector(std::int32_t objects = 4, std::int32_t sequences = 8, std::int32_t files = 2)
        : engine_(InitAnimate()), dc_(AnimCreateWindowDC(kSceneWidth, kSceneHeight)) {
        BITMAPINFOHEADER *background = CreateDIB(kSceneWidth, kSceneHeight);
        for (std::int32_t y = 0; y < kSceneHeight; ++y)
            for (std::int32_t x = 0; x < kSceneWidth; ++x)
                *GetDIBPixelAddress(background, x, y) = BackgroundAt(x, y);
        EXPECT_EQ(SetBackgroundFromPDIB(engine_, background), 1);
        EXPECT_EQ(InitProjector(engine_, objects, sequences, files), 1);
    }
    ~Projector() {
        TerminateProjector(engine_);
        TerminateAnimate(engine_);
        FREE(engine_);
        AnimDestroyWindowDC(dc_);
    }
    Projector(const Projector &) = delete;
    Projector &operator=(const Projector &) = delete;

    EngineState *engine() const { return engine_; }
    // Writes bytes to the scratch folder and loads them as the standard ids.
    std::int32_t Load(const std::vector<std::uint8_t> &bytes, std::int32_t tables = 1,
                      std::int32_t flags = ANIM_LOAD_PLAYER_NUMBERS,
                      const std::string &name = "standard.anx") {
        WriteFileBytes(dir.File(name), bytes);
        return LoadMultiAnim(engine_, dir.File(name).c_str(), kStandardIds, 3, tables, flags);
    }
    writer::Image Paint() {
        PaintScene(engine_, dc_);
        std::int32_t stride = 0;
        const std::uint8_t *pixels = AnimWindowPixels(dc_, &stride);
        writer::Image window(kSceneWidth, kSceneHeight);
        for (std::int32_t y = 0; y < kSceneHeight; ++y)
            std::memcpy(&window.at(0, y), pixels + y * stride, kSceneWidth);
        return window;
    }

    ScratchDir dir;

private:
    EngineState *engine_;
    HDC dc_;
};

}  // namespace anim::test
