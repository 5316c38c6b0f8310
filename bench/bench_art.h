// Pictures the decoder benchmarks play, and their frames as the library's own
// encoders pack them: the tables come from run statistics of the picture,
// exactly as an animation file's tables are made.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "animate.h"

namespace anim::bench {

using Bytes = std::vector<std::uint8_t>;
using Table = std::array<std::uint16_t, KOVRLE_TABLE_ENTRIES>;

inline constexpr std::uint8_t kTransparent = 0;

// Rows top down, width bytes each, no padding.
struct Picture {
    int width = 0;
    int height = 0;
    Bytes pixels;

    std::uint8_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// A 64 x 80 player: long runs of a few kit colours inside a transparent
// surround (head, striped shirt, shorts, legs).
Picture PlayerPicture();
// A 64 x 80 figure of shaded art: runs of 2 to 20 pixels in many colours.
Picture ShadedPicture();
// A two-digit number overlay in the segment colours, 24 x 14.
Picture NumberArt();
// A 255 x 255 picture of runs of 1 to 40 pixels in 64 colours.
Picture LargePicture();

// A compressed frame block and the table to decode it with.
struct Packed {
    Bytes frame;
    Table table{};

    const ANXFRAME *get() const { return reinterpret_cast<const ANXFRAME *>(frame.data()); }
};

// Frame placed at (left, top); line-by-line, table in line form.
Packed PackLines(const Picture &picture, int left = 0, int top = 0);
// Whole-frame stream, table in header form.
Packed PackWhole(const Picture &picture);
// Number-overlay stream placed at (left, top).
Bytes PackOverlay(const Picture &art, int left, int top);

// Bytes of a raw frame of picture's size: what a decode writes into.
std::size_t RawFrameSize(const Picture &picture);

}  // namespace anim::bench
