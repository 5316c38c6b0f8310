// The frame decoder alone, against the decoder it replaced (kept as the
// tests' reference) in the same binary: a 64 x 80 player frame and a frame
// of shaded art as the projector expands them every frame (full size, half
// size, mirrored, with a shirt number), and a 255 x 255 whole-frame stream as
// a delta sequence expands it once.
//
// Counters: MP/s in source pixels; x_reference, how many times the
// reference's time per frame this decoder's is (above 1: faster); and for
// the variants, time_vs_100, their time over the same frame's full-size
// upright time, measured in turns with it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_art.h"
#include "codec/anx_decode.h"
#include "paired_timing.h"
#include "tests/reference/anx_decode_reference.h"

namespace anim::bench {
namespace {

using Expander = ANXFRAME *(*)(const codec::DecodeRequest &);

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

// Both decoders write the same bytes for the request, or the two timings
// would compare different work.
bool SameAsReference(codec::DecodeRequest request, std::size_t size) {
    Bytes ours(size, 0x5A);
    Bytes theirs(size, 0x5A);
    request.buffer = ours.data();
    const bool decoded = codec::Expand(request) != nullptr;
    request.buffer = theirs.data();
    return decoded && codec::reference::Expand(request) != nullptr && ours == theirs;
}

template <Expander expand>
void Decode(benchmark::State &state) {
    LineCase &c = Case(static_cast<int>(state.range(0)));
    const auto variant = static_cast<Variant>(state.range(1));
    const codec::DecodeRequest request = c.Request(variant);
    if (c.packed.frame.empty() || !SameAsReference(request, c.out.size())) {
        state.SkipWithError("the frame did not decode as the reference decodes it");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(expand(request));
        benchmark::ClobberMemory();
    }
    ReportRate(state, c.Pixels());
    state.SetLabel(std::string(state.range(0) == 0 ? "player " : "shaded ") +
                   kVariantNames[variant]);
}

void BM_DecodeReference(benchmark::State &state) {
    Decode<codec::reference::Expand>(state);
}

void BM_Decode(benchmark::State &state) {
    Decode<codec::Expand>(state);
    LineCase &c = Case(static_cast<int>(state.range(0)));
    const auto variant = static_cast<Variant>(state.range(1));
    const codec::DecodeRequest request = c.Request(variant);
    const codec::DecodeRequest full = c.Request(kFull);
    std::vector<Contender> contenders = {
        {"new", [&] { benchmark::DoNotOptimize(codec::Expand(request)); }},
        {"reference", [&] { benchmark::DoNotOptimize(codec::reference::Expand(request)); }},
        {"full", [&] { benchmark::DoNotOptimize(codec::Expand(full)); }},
    };
    const std::vector<double> best = BestNanosPerCall(contenders);
    state.counters["x_reference"] = best[1] / best[0];
    if (variant != kFull) state.counters["time_vs_100"] = best[0] / best[2];
}

void Cases(benchmark::internal::Benchmark *b) {
    for (int frame = 0; frame < 2; ++frame)
        for (int v = 0; v < kVariants; ++v) b->Args({frame, v});
}

BENCHMARK(BM_DecodeReference)->Apply(Cases);
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

template <Expander expand>
void WholeFrame(benchmark::State &state) {
    static WholeCase c;
    const codec::DecodeRequest request = c.Request();
    if (c.packed.frame.empty() || !SameAsReference(request, c.out.size())) {
        state.SkipWithError("the frame did not decode as the reference decodes it");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(expand(request));
        benchmark::ClobberMemory();
    }
    ReportRate(state, static_cast<double>(c.picture.width) * c.picture.height);
    if (expand == &codec::Expand) {
        ReportSpeedRatios(
            state,
            {{"new", [&] { benchmark::DoNotOptimize(codec::Expand(request)); }},
             {"reference", [&] { benchmark::DoNotOptimize(codec::reference::Expand(request)); }}});
    }
}

void BM_WholeFrame255Reference(benchmark::State &state) {
    WholeFrame<codec::reference::Expand>(state);
}
void BM_WholeFrame255(benchmark::State &state) {
    WholeFrame<codec::Expand>(state);
}

BENCHMARK(BM_WholeFrame255Reference);
BENCHMARK(BM_WholeFrame255);

}  // namespace
}  // namespace anim::bench
