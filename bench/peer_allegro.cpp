// Allegro's header defines many short macro names; it stays in this file.
#include "peers.h"

#if ANIMATE_BENCH_WITH_ALLEGRO4
#include <allegro.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace anim::bench {

#if ANIMATE_BENCH_WITH_ALLEGRO4
namespace {

// The system driver without a display: bitmaps and RLE sprites live in
// memory, which is all that draw_rle_sprite needs.
bool StartAllegro() {
    static const bool started = [] {
        if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) return false;
        set_color_depth(8);
        return true;
    }();
    return started;
}

class AllegroRle final : public PeerBlit {
  public:
    AllegroRle(RLE_SPRITE *sprite, BITMAP *target, int x, int y)
        : sprite_(sprite), target_(target), x_(x), y_(y) {}
    ~AllegroRle() override {
        destroy_rle_sprite(sprite_);
        destroy_bitmap(target_);
    }
    AllegroRle(const AllegroRle &) = delete;
    AllegroRle &operator=(const AllegroRle &) = delete;

    void Draw() override { draw_rle_sprite(target_, sprite_, x_, y_); }
    std::uint8_t Pixel(int x, int y) const override { return target_->line[y][x]; }
    void Clear(std::uint8_t colour) override { clear_to_color(target_, colour); }

  private:
    RLE_SPRITE *sprite_;
    BITMAP *target_;
    int x_;
    int y_;
};

}  // namespace

std::unique_ptr<PeerBlit> MakeAllegroRle(const Picture &picture, int x, int y) {
    if (!StartAllegro()) return nullptr;
    BITMAP *art = create_bitmap(picture.width, picture.height);
    BITMAP *target = create_bitmap(kSurfaceWidth, kSurfaceHeight);
    if (art == nullptr || target == nullptr) {
        if (art != nullptr) destroy_bitmap(art);
        if (target != nullptr) destroy_bitmap(target);
        return nullptr;
    }
    for (int row = 0; row < picture.height; ++row)
        for (int col = 0; col < picture.width; ++col) art->line[row][col] = picture.at(col, row);
    // Colour 0 is the 8-bit mask colour, the library's transparent colour too.
    RLE_SPRITE *sprite = get_rle_sprite(art);
    destroy_bitmap(art);
    if (sprite == nullptr) {
        destroy_bitmap(target);
        return nullptr;
    }
    return std::make_unique<AllegroRle>(sprite, target, x, y);
}

#else

std::unique_ptr<PeerBlit> MakeAllegroRle(const Picture &, int, int) {
    return nullptr;
}

#endif

}  // namespace anim::bench
