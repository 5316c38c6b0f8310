// Showing a window through SDL2: only what the window reports as changed
// is converted into the texture, unless its colours moved, which changes
// every pixel on screen without changing one in the window.
#include "sdl/presenter.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "animate_sdl.h"

namespace anim::sdl {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// Sets SDL's error for a refusal of our own, so that every failure reads
// the same way.
std::int32_t Refuse(const char *what) {
    SDL_SetError("%s", what);
    return -1;
}

std::uint32_t Argb(const RGBQUAD &c) {
    return kOpaque | std::uint32_t{c.rgbRed} << 16 | std::uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
}

}  // namespace

Presenter::Presenter(SDL_Renderer *renderer, HDC window, std::int32_t width, std::int32_t height,
                     Scaling scaling)
    : renderer_(renderer), window_(window), width_(width), height_(height), scaling_(scaling) {}

Presenter::~Presenter() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
}

bool Presenter::MakeTexture() {
    SDL_Texture *made = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                          SDL_TEXTUREACCESS_STREAMING, width_, height_);
    if (made == nullptr) return false;
    // Every pixel is opaque: blending would only cost.
    if (SDL_SetTextureBlendMode(made, SDL_BLENDMODE_NONE) != 0) {
        SDL_DestroyTexture(made);
        return false;
    }
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = made;
    textureLost_ = false;
    wholeNeeded_ = true;
    return true;
}

bool Presenter::MoveTo(SDL_Renderer *renderer) {
    SDL_Renderer *const old = renderer_;
    SDL_Texture *const oldTexture = texture_;
    renderer_ = renderer;
    // The old texture belongs to the old renderer, which may be gone.
    texture_ = nullptr;
    if (MakeTexture()) return true;
    renderer_ = old;
    texture_ = oldTexture;
    return false;
}

void Presenter::LoadColours() {
    RGBQUAD shown[kColours];
    AnimWindowColors(window_, shown);
    std::transform(std::begin(shown), std::end(shown), colours_.begin(), Argb);
}

std::int32_t Presenter::ConvertRect(const RECT &rect, const std::uint8_t *pixels,
                                    std::int32_t stride) {
    const std::int32_t left = std::max(rect.left, 0), top = std::max(rect.top, 0);
    const std::int32_t right = std::min(rect.right, width_ - 1);
    const std::int32_t bottom = std::min(rect.bottom, height_ - 1);
    if (right < left || bottom < top) return 0;
    const SDL_Rect area{left, top, right - left + 1, bottom - top + 1};
    void *locked = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, &area, &locked, &pitch) != 0) return -1;
    const ConvertRow row = ActiveConvert().row;
    auto *out = static_cast<std::uint8_t *>(locked);
    const std::uint8_t *in = pixels + static_cast<std::ptrdiff_t>(top) * stride + left;
    for (int y = 0; y < area.h; ++y) {
        row(out + static_cast<std::ptrdiff_t>(y) * pitch,
            in + static_cast<std::ptrdiff_t>(y) * stride, static_cast<std::size_t>(area.w),
            colours_);
    }
    SDL_UnlockTexture(texture_);
    return area.w * area.h;
}

std::int32_t Presenter::Update() {
    if (textureLost_ && !MakeTexture()) return -1;
    std::uint32_t serial = 0;
    std::int32_t count = AnimWindowChanges(window_, changed_.data(), kMaxChangedRects, &serial);
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(window_, &stride);
    if (count < 0 || pixels == nullptr) {
        wholeNeeded_ = true;
        return Refuse("AnimSdlUpdate: the presenter's window is gone");
    }
    if (serial != colourSerial_) wholeNeeded_ = true;
    colourSerial_ = serial;
    if (wholeNeeded_) {
        changed_[0] = RECT{0, 0, width_ - 1, height_ - 1};
        count = 1;
    }
    if (count == 0) return 0;
    LoadColours();
    std::int32_t converted = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t done =
            ConvertRect(changed_[static_cast<std::size_t>(i)], pixels, stride);
        if (done < 0) {
            // This frame's record is spent: only a whole conversion catches up.
            wholeNeeded_ = true;
            return -1;
        }
        converted += done;
    }
    wholeNeeded_ = false;
    return converted;
}

SDL_Rect Presenter::Destination(int outputW, int outputH) const {
    const int whole = std::min(outputW / width_, outputH / height_);
    int w = width_, h = height_;
    if (scaling_ == Scaling::kWholeNumber && whole >= 1) {
        w *= whole;
        h *= whole;
    } else if (std::int64_t{outputW} * height_ <= std::int64_t{outputH} * width_) {
        // Bars above and below: the width decides.
        w = outputW;
        h = static_cast<int>(std::int64_t{outputW} * height_ / width_);
    } else {
        h = outputH;
        w = static_cast<int>(std::int64_t{outputH} * width_ / height_);
    }
    return SDL_Rect{(outputW - w) / 2, (outputH - h) / 2, w, h};
}

bool Presenter::Draw() {
    if (texture_ == nullptr) {
        Refuse("AnimSdlDraw: no texture");
        return false;
    }
    int outputW = 0, outputH = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outputW, &outputH) != 0) return false;
    const SDL_Rect destination = Destination(outputW, outputH);
    Uint8 r = 0, g = 0, b = 0, a = 0;
    if (SDL_GetRenderDrawColor(renderer_, &r, &g, &b, &a) != 0) return false;
    const bool drawn = SDL_SetRenderDrawColor(renderer_, 0, 0, 0, SDL_ALPHA_OPAQUE) == 0 &&
                       SDL_RenderClear(renderer_) == 0 &&
                       SDL_RenderCopy(renderer_, texture_, nullptr, &destination) == 0;
    SDL_SetRenderDrawColor(renderer_, r, g, b, a);
    if (drawn) lastDestination_ = destination;
    return drawn;
}

bool Presenter::WindowPoint(std::int32_t outputX, std::int32_t outputY, std::int32_t &x,
                            std::int32_t &y) const {
    const SDL_Rect &d = lastDestination_;
    if (d.w <= 0 || d.h <= 0) return false;
    if (outputX < d.x || outputY < d.y || outputX >= d.x + d.w || outputY >= d.y + d.h)
        return false;
    x = static_cast<std::int32_t>(std::int64_t{outputX - d.x} * width_ / d.w);
    y = static_cast<std::int32_t>(std::int64_t{outputY - d.y} * height_ / d.h);
    return true;
}

}  // namespace anim::sdl

using anim::sdl::Presenter;
using anim::sdl::Scaling;

struct AnimSdlPresenter {
    Presenter presenter;
};

namespace {

bool KnownScaling(std::int32_t scaling) {
    return scaling == ANIM_SDL_WHOLE_SCALE || scaling == ANIM_SDL_LETTERBOX;
}

}  // namespace

extern "C" {

ANIM_API AnimSdlPresenter *AnimSdlCreatePresenter(SDL_Renderer *renderer, HDC window,
                                                  int32_t scaling) {
    std::int32_t width = 0, height = 0;
    if (renderer == nullptr || !KnownScaling(scaling)) {
        anim::sdl::Refuse("AnimSdlCreatePresenter: no renderer, or an unknown scaling");
        return nullptr;
    }
    if (AnimWindowSize(window, &width, &height) != 1) {
        anim::sdl::Refuse("AnimSdlCreatePresenter: not a window of the library");
        return nullptr;
    }
    auto *made = new (std::nothrow)
        AnimSdlPresenter{Presenter(renderer, window, width, height, static_cast<Scaling>(scaling))};
    if (made == nullptr) {
        SDL_OutOfMemory();
        return nullptr;
    }
    if (!made->presenter.MakeTexture()) {
        delete made;
        return nullptr;
    }
    return made;
}

ANIM_API void AnimSdlDestroyPresenter(AnimSdlPresenter *presenter) {
    delete presenter;
}

ANIM_API int32_t AnimSdlUpdate(AnimSdlPresenter *presenter) {
    if (presenter == nullptr) return anim::sdl::Refuse("AnimSdlUpdate: no presenter");
    return presenter->presenter.Update();
}

ANIM_API int32_t AnimSdlDraw(AnimSdlPresenter *presenter) {
    if (presenter == nullptr) return anim::sdl::Refuse("AnimSdlDraw: no presenter");
    return presenter->presenter.Draw() ? 0 : -1;
}

ANIM_API int32_t AnimSdlPresent(AnimSdlPresenter *presenter) {
    const std::int32_t converted = AnimSdlUpdate(presenter);
    if (converted < 0 || AnimSdlDraw(presenter) != 0) return -1;
    SDL_RenderPresent(presenter->presenter.Renderer());
    return converted;
}

ANIM_API void AnimSdlHandleEvent(AnimSdlPresenter *presenter, const SDL_Event *event) {
    if (presenter == nullptr || event == nullptr) return;
    if (event->type == SDL_RENDER_TARGETS_RESET) presenter->presenter.ConvertWholeNext();
    if (event->type == SDL_RENDER_DEVICE_RESET) presenter->presenter.RemakeTextureNext();
}

ANIM_API int32_t AnimSdlSetRenderer(AnimSdlPresenter *presenter, SDL_Renderer *renderer) {
    if (presenter == nullptr || renderer == nullptr) {
        return anim::sdl::Refuse("AnimSdlSetRenderer: no presenter or no renderer");
    }
    return presenter->presenter.MoveTo(renderer) ? 0 : -1;
}

ANIM_API int32_t AnimSdlSetScaling(AnimSdlPresenter *presenter, int32_t scaling) {
    if (presenter == nullptr || !KnownScaling(scaling)) {
        return anim::sdl::Refuse("AnimSdlSetScaling: no presenter, or an unknown scaling");
    }
    presenter->presenter.SetScaling(static_cast<Scaling>(scaling));
    return 0;
}

ANIM_API int32_t AnimSdlWindowPoint(const AnimSdlPresenter *presenter, int32_t outputX,
                                    int32_t outputY, int32_t *x, int32_t *y) {
    std::int32_t wx = 0, wy = 0;
    if (presenter == nullptr || !presenter->presenter.WindowPoint(outputX, outputY, wx, wy))
        return 0;
    if (x != nullptr) *x = wx;
    if (y != nullptr) *y = wy;
    return 1;
}

ANIM_API SDL_Texture *AnimSdlTexture(const AnimSdlPresenter *presenter) {
    return presenter != nullptr ? presenter->presenter.Texture() : nullptr;
}

}  // extern "C"
