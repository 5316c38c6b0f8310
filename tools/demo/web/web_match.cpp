// The match in a browser page: the desktop demo's assets and match, driven by
// the page (page.js) a frame a call and shown on its canvas through
// CanvasPresenter. The page's JavaScript reaches these through the module's
// exports (Module._web_start and the rest).
#include <emscripten.h>

#include <cstdint>
#include <memory>
#include <string>

#include "animate.h"
#include "assets.h"
#include "canvas_presenter.h"
#include "match.h"

namespace {

// The assets live in the module's in-memory file system.
constexpr char kAssetFolder[] = "/assets";

struct Game {
    demo::Assets assets;
    demo::Match match;
    std::unique_ptr<demo::CanvasPresenter> presenter;
};

std::unique_ptr<Game> g_game;
std::string g_error;
demo::FrameStats g_last;  // the last frame's figures, as the desktop demo keeps them

}  // namespace

extern "C" {

// Draws and packs the assets for seed and starts a match of totalFrames
// frames (half time at the middle), ending any match before it. 0 on
// success; otherwise web_error() says why.
EMSCRIPTEN_KEEPALIVE int web_start(std::uint32_t seed, int totalFrames) {
    // The encoder's notes about its tables are for asset makers.
    AnimSetTraceHandler([](const char *, void *) {}, nullptr);
    g_game.reset();
    auto game = std::make_unique<Game>();
    g_error = demo::BuildAssets(kAssetFolder, seed, game->assets);
    if (g_error.empty())
        g_error = game->match.Start(game->assets, seed, totalFrames < 1 ? 1 : totalFrames);
    if (!g_error.empty()) return 1;
    game->presenter = std::make_unique<demo::CanvasPresenter>(game->match.window());
    // Every wipe strip goes to the canvas as it is painted; the page shows it
    // while the wipe's wait sleeps.
    game->match.wipeStripEvery = 1;
    game->match.onWipeStrip = [] { EM_ASM(Module.presentStrip()); };
    g_game = std::move(game);
    return 0;
}

EMSCRIPTEN_KEEPALIVE const char *web_error() {
    return g_error.c_str();
}

// One frame of the match, painted into the window. At half time this is the
// whole wipe, which sleeps between strips: the page calls it through ccall
// with {async: true}. Returns 1 for the wipe's frame, 0 for any other, -1
// without a match.
EMSCRIPTEN_KEEPALIVE int web_advance() {
    if (!g_game) return -1;
    g_last = g_game->match.Advance();
    return g_last.wipe ? 1 : 0;
}

// The last frame's milliseconds by the match's own clock, as the desktop
// demo reports them: moving and projecting, and PaintScene.
EMSCRIPTEN_KEEPALIVE double web_move_ms() {
    return g_last.moveMs;
}
EMSCRIPTEN_KEEPALIVE double web_paint_ms() {
    return g_last.paintMs;
}

// Converts what the window changed since the last call; returns how many
// rectangles of web_rects() the page puts from web_rgba(), or -1.
EMSCRIPTEN_KEEPALIVE int web_present() {
    return g_game ? g_game->presenter->Update() : -1;
}
EMSCRIPTEN_KEEPALIVE const std::uint8_t *web_rgba() {
    return g_game ? g_game->presenter->rgba() : nullptr;
}
EMSCRIPTEN_KEEPALIVE const std::int32_t *web_rects() {
    return g_game ? g_game->presenter->rects() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int web_width() {
    return demo::kSceneWidth;
}
EMSCRIPTEN_KEEPALIVE int web_height() {
    return demo::kSceneHeight;
}

// Highlights the player at a window point (or clears the highlight); the
// marker shows with the next frame. Returns the player's index, or -1.
EMSCRIPTEN_KEEPALIVE int web_click(int x, int y) {
    return g_game ? g_game->match.Click(x, y) : -1;
}

EMSCRIPTEN_KEEPALIVE int web_frame() {
    return g_game ? g_game->match.frame() : 0;
}
EMSCRIPTEN_KEEPALIVE int web_score(int team) {
    return g_game && (team == 0 || team == 1)
               ? g_game->match.score()[static_cast<std::size_t>(team)]
               : 0;
}

}  // extern "C"
