// Span blitter throughput in megapixels per second, with a memcpy of the
// same rows beside each size as the ceiling and, when SDL2 is at hand, its
// colour-key blit of the same sprite onto an 8-bit surface, plain and RLE.
//
// Sprites are drawn onto a 640 x 480 surface as the canvas draws them; the
// sprite art is a player-like shape with transparent corners and gaps, so
// that the transparent test sees the mix of runs a real frame has.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "animate.h"
#include "blit/kernels.h"

#if ANIMATE_BENCH_WITH_SDL2
#include <SDL2/SDL.h>
#endif

namespace {

constexpr int kSurfaceW = 640, kSurfaceH = 480;
constexpr uint8_t kTransparent = 0;
constexpr uint8_t kFillColour = 0x42;

constexpr int32_t Stride(int width) { return (width + 3) & ~3; }

// A sprite of width x height: an outlined body of striped colours, about a
// third of it transparent, with a few transparent holes inside.
std::vector<uint8_t> SpriteArt(int width, int height) {
    std::vector<uint8_t> art(static_cast<size_t>(Stride(width)) * height, kTransparent);
    for (int y = 0; y < height; ++y) {
        const int half = width / 2;
        const int reach = y < height / 4 ? half / 2 : y < 3 * height / 4 ? half * 9 / 10 : half * 2 / 3;
        for (int x = half - reach; x < half + reach; ++x) {
            uint8_t c = static_cast<uint8_t>(0x60 + (x / 5) % 4 + (y / 7) % 3);
            if (x == half - reach || x == half + reach - 1) c = 0x10;
            if ((x * 7 + y * 3) % 23 == 0) c = kTransparent;
            art[static_cast<size_t>(y) * Stride(width) + x] = c;
        }
    }
    return art;
}

// Where a sprite lands on the surface: centred, or at the origin when it
// covers the surface.
struct Scene {
    int width, height;
    std::vector<uint8_t> sprite;
    std::vector<uint8_t> surface;
    const uint8_t *src;
    uint8_t *dst;
    int32_t srcStride;
    int32_t dstStride;

    Scene(int w, int h)
        : width(w), height(h), sprite(SpriteArt(w, h)),
          surface(static_cast<size_t>(kSurfaceW) * kSurfaceH * 4, 0x33),
          src(sprite.data()), srcStride(Stride(w)), dstStride(kSurfaceW) {
        const int x = (kSurfaceW - w) / 2 > 0 ? (kSurfaceW - w) / 4 : 0;
        const int y = (kSurfaceH - h) / 2 > 0 ? (kSurfaceH - h) / 4 : 0;
        dst = surface.data() + static_cast<size_t>(y) * dstStride + x;
    }
};

void Report(benchmark::State &state, const Scene &s) {
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * s.width * s.height / 1e6,
        benchmark::Counter::kIsRate);
}

template <typename Blit>
void Run(benchmark::State &state, Blit &&blit) {
    Scene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        blit(s);
        benchmark::ClobberMemory();
    }
    Report(state, s);
}

void BM_Memcpy(benchmark::State &state) {
    // The ceiling: the same rows moved by memcpy, one call a row.
    Run(state, [](Scene &s) {
        const uint8_t *src = s.src;
        uint8_t *dst = s.dst;
        for (int r = 0; r < s.height; ++r, src += s.srcStride, dst += s.dstStride)
            std::memcpy(dst, src, static_cast<size_t>(s.width));
    });
}

void BM_CopyDIBBits(benchmark::State &state) {
    Run(state, [](Scene &s) {
        CopyDIBBits(s.dst, s.src, uint32_t(s.width), uint32_t(s.height), s.dstStride, s.srcStride);
    });
}

void BM_TransCopyDIBBits(benchmark::State &state) {
    Run(state, [](Scene &s) {
        TransCopyDIBBits(s.dst, s.src, uint32_t(s.width), uint32_t(s.height), s.dstStride,
                         s.srcStride, kTransparent);
    });
}

void BM_CopyDIBBitsReverseX(benchmark::State &state) {
    Run(state, [](Scene &s) {
        CopyDIBBitsReverseX(s.dst, s.src, uint32_t(s.width), uint32_t(s.height), s.dstStride,
                            s.srcStride);
    });
}

void BM_FillDIBBits(benchmark::State &state) {
    Run(state, [](Scene &s) {
        FillDIBBits(s.dst, uint32_t(s.width), uint32_t(s.height), s.dstStride, kFillColour);
    });
}

// Counted in source pixels; each becomes four, on a surface of twice the
// width (the surface block has room for 2w x 2h).
void BM_StretchDIBBits2x(benchmark::State &state) {
    Run(state, [](Scene &s) {
        StretchDIBBits2x(s.surface.data(), s.src, uint32_t(s.width), uint32_t(s.height),
                         2 * kSurfaceW, s.srcStride);
    });
}

// The portable kernels, to show what the vector sets buy.
void BM_TransCopyScalar(benchmark::State &state) {
    const auto kernel = anim::blit::ScalarKernels().transCopy;
    Run(state, [kernel](Scene &s) {
        kernel(s.dst, s.src, uint32_t(s.width), uint32_t(s.height), s.dstStride, s.srcStride,
               kTransparent);
    });
}

#if ANIMATE_BENCH_WITH_SDL2
// SDL's colour-key blit of the same sprite onto an 8-bit surface with the
// same palette, so that no colour mapping is involved.
void SdlColourKey(benchmark::State &state, bool rle) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const std::vector<uint8_t> art = SpriteArt(w, h);
    SDL_Surface *sprite = SDL_CreateRGBSurfaceWithFormat(0, w, h, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Surface *target =
        SDL_CreateRGBSurfaceWithFormat(0, kSurfaceW, kSurfaceH, 8, SDL_PIXELFORMAT_INDEX8);
    if (sprite == nullptr || target == nullptr) {
        state.SkipWithError(SDL_GetError());
        SDL_FreeSurface(sprite);
        SDL_FreeSurface(target);
        return;
    }
    SDL_Colour colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 255};
    SDL_SetPaletteColors(sprite->format->palette, colours, 0, 256);
    SDL_SetSurfacePalette(target, sprite->format->palette);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t *>(sprite->pixels) + y * sprite->pitch,
                    art.data() + static_cast<size_t>(y) * Stride(w), static_cast<size_t>(w));
    SDL_SetColorKey(sprite, SDL_TRUE, kTransparent);
    SDL_SetSurfaceRLE(sprite, rle ? 1 : 0);
    SDL_Rect at{w < kSurfaceW ? (kSurfaceW - w) / 4 : 0, h < kSurfaceH ? (kSurfaceH - h) / 4 : 0, w, h};
    SDL_Rect first = at;
    if (SDL_BlitSurface(sprite, nullptr, target, &first) != 0) {  // builds the blit map (and RLE data)
        state.SkipWithError(SDL_GetError());
    }
    for (auto _ : state) {
        SDL_Rect place = at;
        SDL_BlitSurface(sprite, nullptr, target, &place);
        benchmark::ClobberMemory();
    }
    // The same bytes as the library's transparent copy onto the same ground.
    std::vector<uint8_t> expected(static_cast<size_t>(target->pitch) * kSurfaceH);
    std::memset(target->pixels, 0x33, expected.size());
    std::memcpy(expected.data(), target->pixels, expected.size());
    TransCopyDIBBits(expected.data() + at.y * target->pitch + at.x, art.data(), uint32_t(w),
                     uint32_t(h), target->pitch, Stride(w), kTransparent);
    SDL_Rect again = at;
    SDL_BlitSurface(sprite, nullptr, target, &again);
    if (std::memcmp(target->pixels, expected.data(), expected.size()) != 0) {
        state.SkipWithError("SDL's blit differs from TransCopyDIBBits");
    }
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * w * h / 1e6, benchmark::Counter::kIsRate);
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(target);
}

void BM_SdlColourKey(benchmark::State &state) { SdlColourKey(state, false); }
void BM_SdlColourKeyRle(benchmark::State &state) { SdlColourKey(state, true); }
#endif

// A whole 640 x 480 area whose rows follow one another (stride = width),
// as a background copy into a same-sized surface: CopyDIBBits beside one
// memcpy of the same bytes, alternated in one benchmark so that the ratio
// comes from the same moments of a noisy machine.
void BM_ContiguousArea(benchmark::State &state) {
    constexpr std::size_t kBytes = std::size_t{kSurfaceW} * kSurfaceH;
    std::vector<uint8_t> src(kBytes, 0x21), dst(kBytes);
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        CopyDIBBits(dst.data(), src.data(), kSurfaceW, kSurfaceH, kSurfaceW, kSurfaceW);
        benchmark::ClobberMemory();
        auto t1 = std::chrono::steady_clock::now();
        std::memcpy(dst.data(), src.data(), kBytes);
        benchmark::ClobberMemory();
        auto t2 = std::chrono::steady_clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        theirs += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["CopyDIBBits_MP/s"] = static_cast<double>(state.iterations()) * kBytes / 1e6 / ours;
    state.counters["memcpy_MP/s"] = static_cast<double>(state.iterations()) * kBytes / 1e6 / theirs;
    state.counters["vs_memcpy"] = theirs / ours;
}

void Sizes(benchmark::internal::Benchmark *b) {
    b->Args({32, 32})->Args({64, 64})->Args({640, 480});
}

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_CopyDIBBits)->Apply(Sizes);
BENCHMARK(BM_ContiguousArea);
BENCHMARK(BM_TransCopyDIBBits)->Apply(Sizes);
BENCHMARK(BM_TransCopyScalar)->Apply(Sizes);
BENCHMARK(BM_CopyDIBBitsReverseX)->Apply(Sizes);
BENCHMARK(BM_FillDIBBits)->Apply(Sizes);
BENCHMARK(BM_StretchDIBBits2x)->Apply(Sizes);
#if ANIMATE_BENCH_WITH_SDL2
BENCHMARK(BM_SdlColourKey)->Apply(Sizes);
BENCHMARK(BM_SdlColourKeyRle)->Apply(Sizes);
#endif

}  // namespace
