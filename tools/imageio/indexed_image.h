// An 8-bit picture with its 256 colours, rows top to bottom: the form in
// which the tools hand pictures to the PNG and GIF writers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace imageio {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb &) const = default;
};

using Colours = std::array<Rgb, 256>;

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height, top row first
    Colours colours{};

    IndexedImage() = default;
    IndexedImage(int w, int h, std::uint8_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    std::uint8_t &At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const std::uint8_t *Row(int y) const { return &pixels[static_cast<std::size_t>(y) * width]; }
};

}  // namespace imageio
