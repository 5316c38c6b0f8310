// One game frame of a 640 x 480 scene with 24 sprites of 64 x 80 pixels,
// each moving a few pixels a frame: repainted through the dirty rectangles,
// repainted in full, and (when SDL2 is at hand) drawn the usual SDL2 way, a
// background blit and 24 colour-key blits onto an 8-bit surface, plain and
// through SDL's run-length sprites.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "animate.h"
#include "animate/engine_state.h"

#if ANIMATE_BENCH_WITH_SDL2
#include <SDL.h>
#endif

namespace {

constexpr int32_t kSceneW = 640, kSceneH = 480;
constexpr int32_t kSpriteW = 64, kSpriteH = 80;
constexpr int32_t kSprites = 24;

uint8_t BackgroundPixel(int32_t x, int32_t y) { return static_cast<uint8_t>(10 + (x / 8 + y / 8) % 200); }

// A rounded figure: transparent corners, as a player sprite has.
uint8_t SpritePixel(int32_t i, int32_t x, int32_t y) {
    const int32_t dx = 2 * x - kSpriteW, dy = 2 * y - kSpriteH;
    if (dx * dx * kSpriteH * kSpriteH + dy * dy * kSpriteW * kSpriteW >
        kSpriteW * kSpriteW * kSpriteH * kSpriteH)
        return 0;
    return static_cast<uint8_t>(20 + (i * 7 + x / 4 + y / 5) % 200);
}

// Positions and velocities of the moving sprites, bouncing at the edges.
struct Mover {
    int32_t x, y, vx, vy;
    void Step() {
        if (x + vx < 0 || x + vx > kSceneW - kSpriteW) vx = -vx;
        if (y + vy < 0 || y + vy > kSceneH - kSpriteH) vy = -vy;
        x += vx;
        y += vy;
    }
};

std::array<Mover, kSprites> StartMovers() {
    std::array<Mover, kSprites> m{};
    for (int32_t i = 0; i < kSprites; ++i)
        m[i] = {(i % 6) * 100 + 10, (i / 6) * 110 + 10, 1 + i % 3, 2 - i % 4};
    return m;
}

struct EngineScene {
    EngineState *engine = InitAnimate();
    HDC window = AnimCreateWindowDC(kSceneW, kSceneH);
    std::vector<BITMAPINFOHEADER *> dibs;
    std::array<Mover, kSprites> movers = StartMovers();

    EngineScene() {
        BITMAPINFOHEADER *bg = CreateDIB(kSceneW, kSceneH);
        for (int32_t y = 0; y < kSceneH; ++y)
            for (int32_t x = 0; x < kSceneW; ++x) *GetDIBPixelAddress(bg, x, y) = BackgroundPixel(x, y);
        SetBackgroundFromPDIB(engine, bg);
        for (int32_t i = 0; i < kSprites; ++i) {
            BITMAPINFOHEADER *dib = CreateDIB(kSpriteW, kSpriteH);
            for (int32_t y = 0; y < kSpriteH; ++y)
                for (int32_t x = 0; x < kSpriteW; ++x) *GetDIBPixelAddress(dib, x, y) = SpritePixel(i, x, y);
            dibs.push_back(dib);
            const int32_t s = AddSprite(engine);
            SetSpriteSpriteDib(engine, s, AddSpriteDib(engine, dib));
            ShowSprite(engine, s, movers[i].x, movers[i].y, 100 + i % 5, ANIM_ANCHOR_TOP_LEFT);
        }
        PaintScene(engine, window);
    }
    ~EngineScene() {
        TerminateAnimate(engine);
        FREE(engine);
        for (BITMAPINFOHEADER *dib : dibs) DeleteDIB(dib);
        AnimDestroyWindowDC(window);
    }

    // Moves every sprite; returns the pixels the next paint will compose.
    int64_t Move(bool whole) {
        for (int32_t i = 0; i < kSprites; ++i) {
            movers[i].Step();
            ShowSprite(engine, i, movers[i].x, movers[i].y, 100 + i % 5, ANIM_ANCHOR_TOP_LEFT);
        }
        if (whole) MakeRectInvalid(engine, 0, 0, kSceneW - 1, kSceneH - 1);
        int64_t pixels = 0;
        for (int32_t i = 0; i < engine->invalidCount; ++i) {
            const RECT &r = engine->invalidRects[i];
            pixels += int64_t{r.right - r.left + 1} * (r.bottom - r.top + 1);
        }
        return pixels;
    }
};

void Report(benchmark::State &state, int64_t pixels, int64_t rects) {
    // Pixels composed per second of CPU time.
    state.counters["composed"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
    state.counters["px/frame"] =
        benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kAvgIterations);
    if (rects > 0)
        state.counters["rects/frame"] =
            benchmark::Counter(static_cast<double>(rects), benchmark::Counter::kAvgIterations);
}

void PaintFrames(benchmark::State &state, bool whole) {
    EngineScene scene;
    int64_t pixels = 0, rects = 0;
    for (auto _ : state) {
        pixels += scene.Move(whole);
        rects += scene.engine->invalidCount;
        PaintScene(scene.engine, scene.window);
    }
    Report(state, pixels, rects);
}

void BM_DirtyRectangleFrame(benchmark::State &state) { PaintFrames(state, false); }
void BM_FullRepaintFrame(benchmark::State &state) { PaintFrames(state, true); }

BENCHMARK(BM_DirtyRectangleFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRepaintFrame)->Unit(benchmark::kMicrosecond);

#if ANIMATE_BENCH_WITH_SDL2
SDL_Surface *IndexedSurface(int32_t w, int32_t h, SDL_Palette *palette) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_SetSurfacePalette(s, palette);
    return s;
}

// The usual SDL2 frame: the background blitted whole, then every sprite
// colour-keyed (rle: through SDL's run-length surfaces) at its new place.
struct Sdl2Scene {
    SDL_Palette *palette = SDL_AllocPalette(256);
    SDL_Surface *screen = nullptr;
    SDL_Surface *background = nullptr;
    std::array<SDL_Surface *, kSprites> sprites{};
    std::array<Mover, kSprites> movers = StartMovers();

    explicit Sdl2Scene(bool rle) {
        std::array<SDL_Color, 256> colours{};
        for (int i = 0; i < 256; ++i)
            colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                          static_cast<uint8_t>(i * 3), 255};
        SDL_SetPaletteColors(palette, colours.data(), 0, 256);
        screen = IndexedSurface(kSceneW, kSceneH, palette);
        background = IndexedSurface(kSceneW, kSceneH, palette);
        for (int32_t y = 0; y < kSceneH; ++y)
            for (int32_t x = 0; x < kSceneW; ++x)
                static_cast<uint8_t *>(background->pixels)[y * background->pitch + x] = BackgroundPixel(x, y);
        for (int32_t i = 0; i < kSprites; ++i) {
            sprites[i] = IndexedSurface(kSpriteW, kSpriteH, palette);
            for (int32_t y = 0; y < kSpriteH; ++y)
                for (int32_t x = 0; x < kSpriteW; ++x)
                    static_cast<uint8_t *>(sprites[i]->pixels)[y * sprites[i]->pitch + x] = SpritePixel(i, x, y);
            SDL_SetColorKey(sprites[i], SDL_TRUE, 0);
            if (rle) SDL_SetSurfaceRLE(sprites[i], 1);
        }
    }
    ~Sdl2Scene() {
        for (SDL_Surface *s : sprites) SDL_FreeSurface(s);
        SDL_FreeSurface(background);
        SDL_FreeSurface(screen);
        SDL_FreePalette(palette);
    }
    void Frame() {
        SDL_BlitSurface(background, nullptr, screen, nullptr);
        for (int32_t i = 0; i < kSprites; ++i) {
            movers[i].Step();
            SDL_Rect at{movers[i].x, movers[i].y, kSpriteW, kSpriteH};
            SDL_BlitSurface(sprites[i], nullptr, screen, &at);
        }
        benchmark::DoNotOptimize(screen->pixels);
    }
};

void Sdl2FullRedraw(benchmark::State &state, bool rle) {
    Sdl2Scene scene(rle);
    for (auto _ : state) scene.Frame();
    Report(state, int64_t{state.iterations()} * kSceneW * kSceneH, 0);
}

void BM_Sdl2FullRedrawFrameRle(benchmark::State &state) { Sdl2FullRedraw(state, true); }

void BM_Sdl2FullRedrawFrame(benchmark::State &state) { Sdl2FullRedraw(state, false); }
BENCHMARK(BM_Sdl2FullRedrawFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl2FullRedrawFrameRle)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
