// Keeps an RGBA copy of a library window for a browser canvas, converting
// only what the window reports as changed (AnimWindowChanges), and the whole
// picture when the colours it shows have moved on (a fade step, colour
// cycling). The page puts the rectangles it lists with putImageData.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "animate.h"

namespace demo {

class CanvasPresenter {
  public:
    // Rectangles the window may report before it sends the whole picture.
    static constexpr std::int32_t kMaxRects = 64;

    explicit CanvasPresenter(HDC window);

    // Converts what changed since the last call; returns how many rectangles
    // the page must put (rects(): x, y, width, height each), or -1 when the
    // window cannot be read.
    std::int32_t Update();

    const std::uint8_t *rgba() const {
        return reinterpret_cast<const std::uint8_t *>(rgba_.data());
    }
    const std::int32_t *rects() const { return boxes_.data(); }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

  private:
    void Convert(const RECT &area);
    std::int32_t ConvertAll();

    HDC window_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint32_t> rgba_;  // one RGBA word a pixel, in memory order R, G, B, A
    std::array<std::uint32_t, 256> lookup_{};
    std::uint32_t serial_ = 0;
    bool fresh_ = true;  // nothing converted yet: the first call takes the whole picture
    std::array<std::int32_t, 4 * kMaxRects> boxes_{};
};

}  // namespace demo
