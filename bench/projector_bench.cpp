// Projector cost as a game sees it: one numbered 64 x 80 player frame
// projected (full size and at 60 %, upright and mirrored), and a 22-player
// scene of two teams projected and painted to the window once per game
// frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "animate.h"
#include "anx_writer.h"

namespace {

constexpr std::int32_t kPlayerWidth = 64;
constexpr std::int32_t kPlayerHeight = 80;
constexpr std::int32_t kRunFrames = 8;
constexpr std::int32_t kRunId = 1;
constexpr std::int32_t kPlayers = 22;
constexpr std::int32_t kPitchWidth = 640;
constexpr std::int32_t kPitchHeight = 400;
constexpr std::uint8_t kKitFirst = 16;
constexpr std::uint8_t kKitCount = 8;
constexpr std::uint8_t kKitShift = 32;

writer::Image Player(std::uint32_t seed) {
    writer::Image image(kPlayerWidth, kPlayerHeight, 0);
    for (std::int32_t y = 0; y < kPlayerHeight; ++y) {
        for (std::int32_t x = 0; x < kPlayerWidth; ++x) {
            const std::int32_t dx = x - kPlayerWidth / 2;
            if (dx * dx * 5 > kPlayerWidth * kPlayerWidth * (y + 8) / (kPlayerHeight + 8)) continue;
            std::uint8_t c;
            if (y < 16) {
                c = static_cast<std::uint8_t>(100 + (x + seed) % 3);
            } else if (y < 48) {
                c = static_cast<std::uint8_t>(kKitFirst + ((x + seed) / 4) % kKitCount);
            } else {
                c = static_cast<std::uint8_t>(60 + ((y + seed) / 3) % 4);
            }
            image.at(x, y) = c;
        }
    }
    return image;
}

writer::Image Number() {
    constexpr std::uint8_t kLeft[7] = {1, 4, 2, 3, 5, 7, 6};
    constexpr std::uint8_t kRight[7] = {9, 8, 246, 247, 248, 250, 249};
    writer::Image art(24, 14, 0);
    for (int d = 0; d < 2; ++d) {
        const std::uint8_t *c = d == 0 ? kLeft : kRight;
        const int x0 = d * 12;
        for (int x = x0 + 1; x < x0 + 9; ++x) {
            art.at(x, 0) = c[0];
            art.at(x, 6) = c[3];
            art.at(x, 13) = c[6];
        }
        for (int y = 1; y < 13; ++y) {
            if (y == 6) continue;
            art.at(x0, y) = y < 6 ? c[1] : c[4];
            art.at(x0 + 9, y) = y < 6 ? c[2] : c[5];
        }
    }
    return art;
}

std::string WriteRunFile() {
    std::vector<writer::Frame> run;
    for (std::int32_t k = 0; k < kRunFrames; ++k) {
        writer::Frame f;
        f.image = Player(static_cast<std::uint32_t>(k));
        f.originX = -kPlayerWidth / 2;
        f.originY = -kPlayerHeight;
        f.number = writer::NumberOverlay{Number(), 20, 22};
        run.push_back(std::move(f));
    }
    writer::Writer writer;
    if (!writer.AddScalableSequence(run, "run")) return {};
    const std::string path = "/tmp/animate-projector-bench.anx";
    return writer.Write(path) ? path : std::string{};
}

// An engine with a pitch, a window and the run loaded in both team colours.
struct Pitch {
    EngineState *engine = nullptr;
    HDC dc = nullptr;
    bool ok = false;

    Pitch() {
        engine = InitAnimate();
        BITMAPINFOHEADER *grass = CreateDIB(kPitchWidth, kPitchHeight);
        for (std::int32_t y = 0; y < kPitchHeight; ++y)
            for (std::int32_t x = 0; x < kPitchWidth; ++x)
                *GetDIBPixelAddress(grass, x, y) = static_cast<std::uint8_t>(40 + (y / 20) % 2);
        SetBackgroundFromPDIB(engine, grass);
        dc = AnimCreateWindowDC(kPitchWidth, kPitchHeight);
        InitProjector(engine, kPlayers + 2, 4, 1);
        DupKOVRLETableSetup(engine, kKitFirst, kKitCount, kKitShift);
        SetPlayerNumbersTeamColor(engine, 0, 15);
        SetPlayerNumbersTeamColor(engine, 1, 250);
        const std::string path = WriteRunFile();
        const std::int32_t ids[] = {kRunId};
        ok = !path.empty() &&
             LoadMultiAnim(engine, path.c_str(), ids, 1, 2, ANIM_LOAD_PLAYER_NUMBERS) == 0;
        std::remove(path.c_str());
        PaintScene(engine, dc);
    }
    ~Pitch() {
        TerminateProjector(engine);
        TerminateAnimate(engine);
        FREE(engine);
        AnimDestroyWindowDC(dc);
    }
};

void BM_ProjectPlayerFrame(benchmark::State &state) {
    const auto scale = static_cast<std::int32_t>(state.range(0));
    const auto flags = static_cast<std::int32_t>(state.range(1));
    Pitch pitch;
    const std::int32_t o = GetAnimObject(pitch.engine);
    if (!pitch.ok || SetAnimObjectAnim(pitch.engine, o, kRunId, 1, 0) != 1) {
        state.SkipWithError("setup failed");
        return;
    }
    SetAnimObjectPlayerNumber(pitch.engine, o, 23, 0);
    if (ProjectFrameScaleFlip(pitch.engine, o, 200, 200, 10, 1, scale, flags) != 1) {
        state.SkipWithError("the frame was not projected");
        return;
    }
    for (auto _ : state) {
        SetFrameNum(pitch.engine, o, 3);
        benchmark::DoNotOptimize(
            ProjectFrameScaleFlip(pitch.engine, o, 200, 200, 10, 1, scale, flags));
    }
    state.SetLabel(std::to_string(scale) + "%" + (flags != 0 ? " mirrored" : ""));
}
BENCHMARK(BM_ProjectPlayerFrame)
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({60, 0})
    ->Args({60, 1})
    ->Unit(benchmark::kMicrosecond);

// Two teams of eleven running across the pitch, each at its own phase,
// scale and facing; one iteration is one game frame: 22 projections and a
// paint of every rectangle they invalidated.
void BM_TwentyTwoPlayerFrame(benchmark::State &state) {
    Pitch pitch;
    std::vector<std::int32_t> players;
    for (std::int32_t i = 0; i < kPlayers; ++i) {
        const std::int32_t o = GetAnimObject(pitch.engine);
        if (!pitch.ok || SetAnimObjectAnim(pitch.engine, o, kRunId, i % 2, 0) != 1) {
            state.SkipWithError("setup failed");
            return;
        }
        SetAnimObjectPlayerNumber(pitch.engine, o, 1 + i / 2, 0);
        players.push_back(o);
    }
    std::int32_t tick = 0;
    for (auto _ : state) {
        for (std::int32_t i = 0; i < kPlayers; ++i) {
            const std::int32_t o = players[static_cast<std::size_t>(i)];
            if (GetFrameNum(pitch.engine, o) >= kRunFrames) SetFrameNum(pitch.engine, o, 0);
            const std::int32_t x = 40 + (i * 53 + tick * (1 + i % 3)) % (kPitchWidth - 80);
            const std::int32_t y = 90 + (i * 37) % (kPitchHeight - 100);
            const std::int32_t scale = 70 + (i * 3 + y / 10) % 31;
            ProjectFrameScaleFlip(pitch.engine, o, x, y, kPitchHeight - y, 1, scale, i % 2);
        }
        PaintScene(pitch.engine, pitch.dc);
        ++tick;
    }
}
BENCHMARK(BM_TwentyTwoPlayerFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
