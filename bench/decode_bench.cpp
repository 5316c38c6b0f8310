// The frame decoder alone: a 64 x 80 player frame and a frame of shaded art
// as the projector expands them every frame (full size, half size, mirrored,
// with a shirt number), and a 255 x 255 whole-frame stream as a delta
// sequence expands it once.
//
// Counters: MP/s in source pixels; and for the variants, time_vs_100, their
// time over the same frame's full-size upright time, measured in turns with
// it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_art.h"
#include "codec/anx_decode.h"
#include "paired_timing.h"

namespace anim::bench {
namespace {

enum Variant { kFull, kHalf, kMirrored, kNumbered, kVariants };
constexpr const char *kVariantNames[kVariants] = {"100%", "50%", "mirrored", "number"};
constexpr int kHalfScale = 50;
constexpr std::int32_t kNumber = 23;
constexpr std::uint32_t kNumberColour = 0xC8;
// Frame and overlay positions put the number on the shirt.
constexpr int kFrameLeft = 100, kFrameTop = 100, kNumberLeft = 120, kNumberTop = 122;

struct LineCase {
    Picture picture;
    Packed packed;
    Bytes overlay;
    Bytes out;

    explicit LineCase(Picture p)
        : picture(std::move(p)),
          packed(PackLines(picture, kFrameLeft, kFrameTop)),
          overlay(PackOverlay(NumberArt(), kNumberLeft, kNumberTop)),
          out(RawFrameSize(picture)) {}

    // The projector's request: bounded by the block lengths it knows.
    codec::DecodeRequest Request(Variant v) {
        codec::DecodeRequest r;
        r.frame = packed.frame.data();
        r.frameSize = packed.frame.size();
        if (v == kNumbered) {
            r.overlay = overlay.data();
            r.overlaySize = overlay.size();
        }
        r.table = packed.table.data();
        r.buffer = out.data();
        r.bufferSize = static_cast<std::uint32_t>(out.size());
        r.scale = v == kHalf ? kHalfScale : 100;
        r.numberIndex = kNumber;
        r.numberColour = kNumberColour;
        r.mirror = v == kMirrored;
        r.streamKind = ANX_STREAM_LINE_BY_LINE;
        return r;
    }
    double Pixels() const { return static_cast<double>(picture.width) * picture.height; }
};

LineCase &Case(int frame) {
    static LineCase player(PlayerPicture());
    static LineCase shaded(ShadedPicture());
    return frame == 0 ? player : shaded;
}

void ReportRate(benchmark::State &state, double pixels) {
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_Decode(benchmark::State &state) {
    LineCase &c = Case(static_cast<int>(state.range(0)));
    const auto variant = static_cast<Variant>(state.range(1));
    const codec::DecodeRequest request = c.Request(variant);
    if (c.packed.frame.empty() || codec::Expand(request) == nullptr) {
        state.SkipWithError("the frame did not decode");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec::Expand(request));
        benchmark::ClobberMemory();
    }
    ReportRate(state, c.Pixels());
    state.SetLabel(std::string(state.range(0) == 0 ? "player " : "shaded ") +
                   kVariantNames[variant]);
    if (variant == kFull) return;
    const codec::DecodeRequest full = c.Request(kFull);
    const std::vector<double> best = BestNanosPerCall({
        {"variant", [&] { benchmark::DoNotOptimize(codec::Expand(request)); }},
        {"full", [&] { benchmark::DoNotOptimize(codec::Expand(full)); }},
    });
    state.counters["time_vs_100"] = best[0] / best[1];
}

void Cases(benchmark::internal::Benchmark *b) {
    for (int frame = 0; frame < 2; ++frame)
        for (int v = 0; v < kVariants; ++v) b->Args({frame, v});
}

BENCHMARK(BM_Decode)->Apply(Cases);

// A delta sequence's frame as the projector expands it once: whole-frame
// stream, new block.
struct WholeCase {
    Picture picture = LargePicture();
    Packed packed = PackWhole(picture);
    Bytes out = Bytes(RawFrameSize(picture));

    codec::DecodeRequest Request() {
        codec::DecodeRequest r;
        r.frame = packed.frame.data();
        r.frameSize = packed.frame.size();
        r.table = packed.table.data();
        r.buffer = out.data();
        r.bufferSize = static_cast<std::uint32_t>(out.size());
        r.streamKind = ANX_STREAM_WHOLE_FRAME;
        return r;
    }
};

void BM_WholeFrame255(benchmark::State &state) {
    static WholeCase c;
    const codec::DecodeRequest request = c.Request();
    if (c.packed.frame.empty() || codec::Expand(request) == nullptr) {
        state.SkipWithError("the frame did not decode");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec::Expand(request));
        benchmark::ClobberMemory();
    }
    ReportRate(state, static_cast<double>(c.picture.width) * c.picture.height);
}

BENCHMARK(BM_WholeFrame255);

}  // namespace
}  // namespace anim::bench
