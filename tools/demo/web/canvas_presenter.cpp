#include "canvas_presenter.h"

#include <algorithm>

namespace demo {
namespace {

// A canvas's ImageData holds bytes R, G, B, A; WebAssembly is little-endian.
std::uint32_t Rgba(const RGBQUAD &c) {
    return std::uint32_t{c.rgbRed} | std::uint32_t{c.rgbGreen} << 8 |
           std::uint32_t{c.rgbBlue} << 16 | std::uint32_t{0xFF} << 24;
}

}  // namespace

CanvasPresenter::CanvasPresenter(HDC window) : window_(window) {
    if (AnimWindowSize(window, &width_, &height_) != 1) width_ = height_ = 0;
    rgba_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
}

void CanvasPresenter::Convert(const RECT &area) {
    std::int32_t stride = 0;
    const std::uint8_t *pixels = AnimWindowPixels(window_, &stride);
    for (std::int32_t y = area.top; y <= area.bottom; ++y) {
        const std::uint8_t *from = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        std::uint32_t *to = rgba_.data() + static_cast<std::ptrdiff_t>(y) * width_;
        for (std::int32_t x = area.left; x <= area.right; ++x) to[x] = lookup_[from[x]];
    }
}

std::int32_t CanvasPresenter::ConvertAll() {
    RGBQUAD colours[256];
    AnimWindowColors(window_, colours);
    std::transform(colours, colours + 256, lookup_.begin(), Rgba);
    Convert(RECT{0, 0, width_ - 1, height_ - 1});
    boxes_[0] = boxes_[1] = 0;
    boxes_[2] = width_;
    boxes_[3] = height_;
    return 1;
}

std::int32_t CanvasPresenter::Update() {
    if (width_ <= 0 || height_ <= 0) return -1;
    std::array<RECT, kMaxRects> changed;
    std::uint32_t serial = 0;
    const std::int32_t count = AnimWindowChanges(window_, changed.data(), kMaxRects, &serial);
    if (count < 0) return -1;
    // New colours repaint every pixel, changed or not.
    if (fresh_ || serial != serial_) {
        fresh_ = false;
        serial_ = serial;
        return ConvertAll();
    }
    std::int32_t put = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        RECT r = changed[static_cast<std::size_t>(i)];
        r.left = std::max(r.left, 0);
        r.top = std::max(r.top, 0);
        r.right = std::min(r.right, width_ - 1);
        r.bottom = std::min(r.bottom, height_ - 1);
        if (r.left > r.right || r.top > r.bottom) continue;
        Convert(r);
        std::int32_t *box = &boxes_[static_cast<std::size_t>(4 * put++)];
        box[0] = r.left;
        box[1] = r.top;
        box[2] = r.right - r.left + 1;
        box[3] = r.bottom - r.top + 1;
    }
    return put;
}

}  // namespace demo
