#include "live_window.h"

#ifdef ANIMATE_DEMO_WITH_SDL2
#include <SDL.h>

#include <map>
#include <vector>

#include "png_file.h"

namespace demo {
namespace {

constexpr Uint32 kFrameMs = 1000 / 30;

struct Presenter {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    std::vector<Uint32> argb;

    ~Presenter() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }

    // The library's window through the colours it shows now.
    void Present(const imageio::IndexedImage &img) {
        argb.resize(img.pixels.size());
        for (std::size_t i = 0; i < img.pixels.size(); ++i) {
            const imageio::Rgb c = img.colours[img.pixels[i]];
            argb[i] = 0xFF000000u | static_cast<Uint32>(c.r) << 16 | static_cast<Uint32>(c.g) << 8 | c.b;
        }
        SDL_UpdateTexture(texture, nullptr, argb.data(), img.width * 4);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }
};

// Reads back what the renderer shows and stores it as an indexed PNG, each
// pixel's colour found again among the window's 256.
std::string SaveScreenshot(Presenter &p, const imageio::IndexedImage &shown, const std::string &path) {
    std::vector<Uint32> read(static_cast<std::size_t>(kSceneWidth) * kSceneHeight);
    if (SDL_RenderReadPixels(p.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, read.data(), kSceneWidth * 4) != 0) {
        return path + ": " + SDL_GetError();
    }
    std::map<Uint32, std::uint8_t> index;
    for (int i = 255; i >= 0; --i) {
        const imageio::Rgb c = shown.colours[static_cast<std::size_t>(i)];
        index[static_cast<Uint32>(c.r) << 16 | static_cast<Uint32>(c.g) << 8 | c.b] = static_cast<std::uint8_t>(i);
    }
    imageio::IndexedImage out(kSceneWidth, kSceneHeight);
    out.colours = shown.colours;
    for (std::size_t i = 0; i < read.size(); ++i) {
        auto it = index.find(read[i] & 0xFFFFFFu);
        if (it == index.end()) return path + ": the window shows a colour outside the palette";
        out.pixels[i] = it->second;
    }
    return imageio::WritePng(path, out);
}

}  // namespace

std::string PlayLive(Match &match, const LiveOptions &options) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return std::string("SDL: ") + SDL_GetError();
    Presenter p;
    p.window = SDL_CreateWindow("animate - match", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kSceneWidth,
                                kSceneHeight, 0);
    if (!p.window) return std::string("SDL window: ") + SDL_GetError();
    p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_SOFTWARE);
    if (!p.renderer) return std::string("SDL renderer: ") + SDL_GetError();
    p.texture = SDL_CreateTexture(p.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kSceneWidth,
                                  kSceneHeight);
    if (!p.texture) return std::string("SDL texture: ") + SDL_GetError();

    match.onWipeStrip = [&] { p.Present(match.Snapshot()); };
    bool quit = false;
    imageio::IndexedImage shown;
    for (int n = 0; !quit && (options.frames <= 0 || n < options.frames); ++n) {
        const Uint32 started = SDL_GetTicks();
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) quit = true;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) quit = true;
            if (e.type == SDL_MOUSEBUTTONDOWN) match.Click(e.button.x, e.button.y);
        }
        match.Advance();
        shown = match.Snapshot();
        p.Present(shown);
        const Uint32 spent = SDL_GetTicks() - started;
        if (spent < kFrameMs) SDL_Delay(kFrameMs - spent);
    }
    match.onWipeStrip = nullptr;
    if (!options.screenshot.empty() && !shown.pixels.empty()) return SaveScreenshot(p, shown, options.screenshot);
    return {};
}

}  // namespace demo

#else

namespace demo {
std::string PlayLive(Match &, const LiveOptions &) { return "this build has no window support (SDL2 not found)"; }
}  // namespace demo

#endif
