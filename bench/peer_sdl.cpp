#include "peers.h"

#if ANIMATE_BENCH_WITH_SDL2
#include <SDL.h>
#endif

namespace anim::bench {

#if ANIMATE_BENCH_WITH_SDL2
namespace {

class SdlRle final : public PeerBlit {
  public:
    SdlRle(SDL_Surface *sprite, SDL_Surface *target, SDL_Rect at)
        : sprite_(sprite), target_(target), at_(at) {}
    ~SdlRle() override {
        SDL_FreeSurface(sprite_);
        SDL_FreeSurface(target_);
    }
    SdlRle(const SdlRle &) = delete;
    SdlRle &operator=(const SdlRle &) = delete;

    void Draw() override {
        SDL_Rect place = at_;  // SDL writes the clipped rectangle back
        SDL_BlitSurface(sprite_, nullptr, target_, &place);
    }
    std::uint8_t Pixel(int x, int y) const override {
        return static_cast<const std::uint8_t *>(target_->pixels)[y * target_->pitch + x];
    }
    void Clear(std::uint8_t colour) override { SDL_FillRect(target_, nullptr, colour); }

  private:
    SDL_Surface *sprite_;
    SDL_Surface *target_;
    SDL_Rect at_;
};

}  // namespace

std::unique_ptr<PeerBlit> MakeSdlRle(const Picture &picture, int x, int y) {
    SDL_Surface *sprite =
        SDL_CreateRGBSurfaceWithFormat(0, picture.width, picture.height, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Surface *target =
        SDL_CreateRGBSurfaceWithFormat(0, kSurfaceWidth, kSurfaceHeight, 8, SDL_PIXELFORMAT_INDEX8);
    if (sprite == nullptr || target == nullptr) {
        SDL_FreeSurface(sprite);
        SDL_FreeSurface(target);
        return nullptr;
    }
    // One palette for both, so that the blit maps no colours.
    SDL_Colour colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<Uint8>(i), static_cast<Uint8>(255 - i), static_cast<Uint8>(i * 7),
                      255};
    SDL_SetPaletteColors(sprite->format->palette, colours, 0, 256);
    SDL_SetSurfacePalette(target, sprite->format->palette);
    for (int row = 0; row < picture.height; ++row)
        for (int col = 0; col < picture.width; ++col)
            static_cast<std::uint8_t *>(sprite->pixels)[row * sprite->pitch + col] =
                picture.at(col, row);
    SDL_SetColorKey(sprite, SDL_TRUE, kTransparent);
    SDL_SetSurfaceRLE(sprite, 1);
    auto peer =
        std::make_unique<SdlRle>(sprite, target, SDL_Rect{x, y, picture.width, picture.height});
    peer->Draw();  // the first blit encodes the RLE data
    return peer;
}

#else

std::unique_ptr<PeerBlit> MakeSdlRle(const Picture &, int, int) {
    return nullptr;
}

#endif

}  // namespace anim::bench
