// The presenter behind animate_sdl.h: a streaming texture of one window on
// one renderer, brought up to date by converting what the window reports
// as changed.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

#include "animate.h"
#include "sdl/convert.h"

namespace anim::sdl {

enum class Scaling : std::int32_t { kWholeNumber = 0, kLetterbox = 1 };

// Rectangles asked of the window each update; a frame that changes more
// places than this is converted whole, which costs little more by then.
inline constexpr std::int32_t kMaxChangedRects = 64;

class Presenter {
  public:
    Presenter(SDL_Renderer *renderer, HDC window, std::int32_t width, std::int32_t height,
              Scaling scaling);
    ~Presenter();
    Presenter(const Presenter &) = delete;
    Presenter &operator=(const Presenter &) = delete;

    // False, with SDL's error set, when the texture cannot be made.
    [[nodiscard]] bool MakeTexture();
    // Pixels converted, or -1 with SDL's error set.
    [[nodiscard]] std::int32_t Update();
    [[nodiscard]] bool Draw();
    void ConvertWholeNext() { wholeNeeded_ = true; }
    // A device reset loses the texture's contents and maybe the texture.
    void RemakeTextureNext() { textureLost_ = wholeNeeded_ = true; }
    [[nodiscard]] bool MoveTo(SDL_Renderer *renderer);
    void SetScaling(Scaling scaling) { scaling_ = scaling; }
    // The window pixel under an output point at the last draw, if any.
    [[nodiscard]] bool WindowPoint(std::int32_t outputX, std::int32_t outputY, std::int32_t &x,
                                   std::int32_t &y) const;
    SDL_Texture *Texture() const { return texture_; }
    SDL_Renderer *Renderer() const { return renderer_; }

  private:
    // Pixels converted (clipped to the window), or -1 when the lock failed.
    [[nodiscard]] std::int32_t ConvertRect(const RECT &rect, const std::uint8_t *pixels,
                                           std::int32_t stride);
    void LoadColours();
    SDL_Rect Destination(int outputW, int outputH) const;

    SDL_Renderer *renderer_;
    HDC window_;
    std::int32_t width_;
    std::int32_t height_;
    Scaling scaling_;
    SDL_Texture *texture_ = nullptr;
    bool wholeNeeded_ = true;
    bool textureLost_ = false;
    std::uint32_t colourSerial_ = 0;
    SDL_Rect lastDestination_{0, 0, 0, 0};
    ColourTable colours_{};
    std::array<RECT, kMaxChangedRects> changed_{};
};

}  // namespace anim::sdl
