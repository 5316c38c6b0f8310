// The projection path of one 64 x 80 frame as a game pays for it: the frame
// expanded line by line at full size into the caller's buffer through the
// export, then drawn with colour 0 transparent into a 640 x 480 surface.
// Beside it, in the same binary, other libraries' run-length sprite blits of
// the same picture onto their own 640 x 480 8-bit surfaces.
//
// Counters: MP/s in picture pixels; x_<peer>, this path's speed over the
// peer's (the peer's time per picture over this path's, measured in turns).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench_art.h"
#include "paired_timing.h"
#include "peers.h"

namespace anim::bench {
namespace {

// Where the picture's top-left corner lands on each surface (rows top down).
constexpr int kAtX = 288, kAtY = 200;

// The library's side: a bottom-up surface, as the canvas keeps it.
struct Projection {
    Picture picture;
    Packed packed;
    Bytes buffer;
    Bytes surface = Bytes(static_cast<std::size_t>(kSurfaceWidth) * kSurfaceHeight, kGround);

    explicit Projection(Picture p)
        : picture(std::move(p)), packed(PackLines(picture)), buffer(RawFrameSize(picture)) {}

    std::uint8_t *Target() {
        const int bottomRow = kSurfaceHeight - 1 - (kAtY + picture.height - 1);
        return surface.data() + static_cast<std::size_t>(bottomRow) * kSurfaceWidth + kAtX;
    }
    // The exported path, as the projector and a game drive it.
    void Run() {
        const ANXFRAME *out = AnxUnKOVRLEFrame(
            packed.get(), nullptr, packed.table.data(), reinterpret_cast<ANXFRAME *>(buffer.data()),
            static_cast<std::uint32_t>(buffer.size()), 100, 0, 0, 0, ANX_STREAM_LINE_BY_LINE);
        Draw(out);
    }
    void Draw(const ANXFRAME *out) {
        constexpr std::size_t kPixelsAt = 40;
        if (out == nullptr) return;
        const auto stride = static_cast<std::int32_t>((picture.width + 3) & ~3);
        TransCopyDIBBits(
            Target(), buffer.data() + kPixelsAt, static_cast<std::uint32_t>(picture.width),
            static_cast<std::uint32_t>(picture.height), kSurfaceWidth, stride, kTransparent);
    }
    std::uint8_t Pixel(int x, int y) const {
        return surface[static_cast<std::size_t>(kSurfaceHeight - 1 - y) * kSurfaceWidth +
                       static_cast<std::size_t>(x)];
    }
};

const Picture &PictureOf(int frame) {
    static const Picture player = PlayerPicture();
    static const Picture shaded = ShadedPicture();
    return frame == 0 ? player : shaded;
}

// Every surface pixel the same as the library's surface after one draw on
// the same ground.
bool SameSurface(Projection &ours, PeerBlit &peer) {
    std::fill(ours.surface.begin(), ours.surface.end(), kGround);
    peer.Clear(kGround);
    ours.Run();
    peer.Draw();
    for (int y = 0; y < kSurfaceHeight; ++y)
        for (int x = 0; x < kSurfaceWidth; ++x)
            if (ours.Pixel(x, y) != peer.Pixel(x, y)) return false;
    return true;
}

struct Peers {
    std::unique_ptr<PeerBlit> sdl;
    std::unique_ptr<PeerBlit> allegro;
};

Peers MakePeers(const Picture &picture) {
    return {MakeSdlRle(picture, kAtX, kAtY), MakeAllegroRle(picture, kAtX, kAtY)};
}

void ReportRate(benchmark::State &state, const Picture &picture) {
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * picture.width * picture.height / 1e6,
        benchmark::Counter::kIsRate);
    state.SetLabel(state.range(0) == 0 ? "player" : "shaded");
}

void BM_ProjectionPath(benchmark::State &state) {
    Projection ours(PictureOf(static_cast<int>(state.range(0))));
    Peers peers = MakePeers(ours.picture);
    for (PeerBlit *peer : {peers.sdl.get(), peers.allegro.get()}) {
        if (ours.packed.frame.empty() || (peer != nullptr && !SameSurface(ours, *peer))) {
            state.SkipWithError("the pictures differ");
            return;
        }
    }
    auto run = [&] { ours.Run(); };
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    ReportRate(state, ours.picture);

    std::vector<Contender> contenders = {{"ours", run}};
    if (peers.sdl) contenders.push_back({"sdl_rle", [&] { peers.sdl->Draw(); }});
    if (peers.allegro) contenders.push_back({"allegro_rle", [&] { peers.allegro->Draw(); }});
    ReportSpeedRatios(state, contenders);
}

void Peer(benchmark::State &state, std::unique_ptr<PeerBlit> (*make)(const Picture &, int, int)) {
    const Picture &picture = PictureOf(static_cast<int>(state.range(0)));
    const std::unique_ptr<PeerBlit> peer = make(picture, kAtX, kAtY);
    if (!peer) {
        state.SkipWithError("not built with this library");
        return;
    }
    for (auto _ : state) {
        peer->Draw();
        benchmark::ClobberMemory();
    }
    ReportRate(state, picture);
}

void BM_SdlRleBlit(benchmark::State &state) {
    Peer(state, MakeSdlRle);
}
void BM_AllegroDrawRleSprite(benchmark::State &state) {
    Peer(state, MakeAllegroRle);
}

BENCHMARK(BM_SdlRleBlit)->Arg(0)->Arg(1);
BENCHMARK(BM_AllegroDrawRleSprite)->Arg(0)->Arg(1);
BENCHMARK(BM_ProjectionPath)->Arg(0)->Arg(1);

}  // namespace
}  // namespace anim::bench
