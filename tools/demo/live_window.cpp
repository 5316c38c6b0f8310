#include "live_window.h"

#ifdef ANIMATE_DEMO_WITH_SDL2
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "animate_sdl.h"

namespace demo {
namespace {

constexpr Uint32 kFrameMs = 1000 / 30;

// The SDL window, its renderer and the presenter of the match's window,
// released in the reverse order.
struct Screen {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    AnimSdlPresenter *presenter = nullptr;

    ~Screen() {
        AnimSdlDestroyPresenter(presenter);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
};

std::string Failed(const char *what) { return std::string(what) + ": " + SDL_GetError(); }

// Handles one event; false when the player asked to quit (Esc, closing the
// window, or the terminal's interrupt, which SDL delivers as a quit).
bool Handle(const SDL_Event &e, Screen &screen, Match &match) {
    AnimSdlHandleEvent(screen.presenter, &e);
    if (e.type == SDL_QUIT) return false;
    if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) return false;
    std::int32_t x = 0, y = 0;
    if (e.type == SDL_MOUSEBUTTONDOWN && AnimSdlWindowPoint(screen.presenter, e.button.x, e.button.y, &x, &y)) {
        match.Click(x, y);
    }
    return true;
}

// Waits out the rest of the frame answering events as they come, so that
// Esc is seen at once rather than at the next frame.
bool WaitUntil(Uint32 deadline, Screen &screen, Match &match) {
    SDL_Event e;
    while (true) {
        const Uint32 now = SDL_GetTicks();
        const int left = SDL_TICKS_PASSED(now, deadline) ? 0 : static_cast<int>(deadline - now);
        if (!SDL_WaitEventTimeout(&e, left)) return true;
        if (!Handle(e, screen, match)) return false;
        while (SDL_PollEvent(&e)) {
            if (!Handle(e, screen, match)) return false;
        }
        if (left == 0) return true;
    }
}

std::vector<std::uint8_t> WindowPixels(const Match &match) {
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(match.window(), &stride);
    return std::vector<std::uint8_t>(pixels, pixels + static_cast<std::ptrdiff_t>(stride) * kSceneHeight);
}

// The last picture, with one palette step shown on its own: the window's
// pixels stay as they are and the presenter converts it whole for the new
// colours. Then the picture stays up until the player quits.
std::string StillStepAndHold(Match &match, Screen &screen, const LiveOptions &options) {
    if (options.stillPaletteStep) {
        const std::vector<std::uint8_t> before = WindowPixels(match);
        match.StillPaletteStep();
        const std::int32_t converted = AnimSdlPresent(screen.presenter);
        if (converted < 0) return Failed("present");
        const bool same = WindowPixels(match) == before;
        std::printf("palette step: window pixels %s, %d pixels converted for the new colours\n",
                    same ? "unchanged" : "changed", converted);
    }
    if (!options.hold) return {};
    std::printf("holding the last picture until Esc\n");
    std::fflush(stdout);
    while (WaitUntil(SDL_GetTicks() + kFrameMs, screen, match)) {
        if (AnimSdlPresent(screen.presenter) < 0) return Failed("present");
    }
    return {};
}

}  // namespace

std::string PlayLive(Match &match, const LiveOptions &options) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return Failed("SDL");
    Screen screen;
    screen.window = SDL_CreateWindow("animate - match", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     kSceneWidth, kSceneHeight, SDL_WINDOW_RESIZABLE);
    if (!screen.window) return Failed("SDL window");
    screen.renderer = SDL_CreateRenderer(screen.window, -1, 0);
    if (!screen.renderer) return Failed("SDL renderer");
    screen.presenter = AnimSdlCreatePresenter(screen.renderer, match.window(), ANIM_SDL_WHOLE_SCALE);
    if (!screen.presenter) return Failed("presenter");

    // The wipe holds the thread: each strip is shown from the paint hook,
    // and Esc is read when the wipe is over.
    match.wipeStripEvery = 1;
    match.onWipeStrip = [&] {
        AnimSdlPresent(screen.presenter);
        SDL_PumpEvents();
    };
    long long converted = 0;
    int presented = 0;
    bool playing = true;
    for (int n = 0; playing && (options.frames <= 0 || n < options.frames); ++n) {
        const Uint32 started = SDL_GetTicks();
        match.Advance();
        const std::int32_t pixels = AnimSdlPresent(screen.presenter);
        if (pixels < 0) return Failed("present");
        converted += pixels;
        ++presented;
        playing = WaitUntil(started + kFrameMs, screen, match);
    }
    match.onWipeStrip = nullptr;
    if (!options.quiet && presented > 0) {
        std::printf("presented %d frames, %.0f pixels converted a frame on average (the window has %d)\n", presented,
                    static_cast<double>(converted) / presented, kSceneWidth * kSceneHeight);
    }
    return playing ? StillStepAndHold(match, screen, options) : std::string{};
}

}  // namespace demo

#else

namespace demo {
std::string PlayLive(Match &, const LiveOptions &) { return "this build has no window support (SDL2 not found)"; }
}  // namespace demo

#endif
