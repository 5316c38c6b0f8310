// Other libraries' sprite blits, measured beside the library in the same run:
// each draws one picture, colour 0 transparent, onto a 640 x 480 8-bit
// surface of its own. Built only when the library is found; the makers then
// return null.
#pragma once

#include <cstdint>
#include <memory>

#include "bench_art.h"

namespace anim::bench {

inline constexpr int kSurfaceWidth = 640;
inline constexpr int kSurfaceHeight = 480;
inline constexpr std::uint8_t kGround = 0x33;

class PeerBlit {
  public:
    virtual ~PeerBlit() = default;
    // The measured call: the picture drawn at its place.
    virtual void Draw() = 0;
    // Surface pixel, rows top down.
    virtual std::uint8_t Pixel(int x, int y) const = 0;
    virtual void Clear(std::uint8_t colour) = 0;
};

// SDL2's blit of an RLE-accelerated colour-keyed surface.
std::unique_ptr<PeerBlit> MakeSdlRle(const Picture &picture, int x, int y);
// Allegro 4's draw_rle_sprite, run without a display.
std::unique_ptr<PeerBlit> MakeAllegroRle(const Picture &picture, int x, int y);

}  // namespace anim::bench
