// The engine target's painter and judge: paints the scene into a window
// with any of the four painters and holds every paint that empties the
// invalid list against a full repaint of the same state and against the
// reference compositor (tests/reference/scene_reference.h).
#pragma once

#include <cstdint>
#include <vector>

#include "animate.h"

namespace anim::fuzz {

// A draw callback that paints pattern `user` (0 to kPatterns - 1): the
// pixels with (x + 2y) mod kPatterns equal to it, in a colour of its own.
// Patterns never share a pixel, so the order in which callbacks paint does
// not matter, only where they fall among the sprites.
inline constexpr std::int32_t kPatterns = 8;
std::int32_t PatternCallback(HDC dc, BITMAPINFO *info, std::uint8_t *bits, std::int32_t high, std::int32_t low,
                             std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                             std::int32_t user);

// How the scene reaches the window. Two paints of one mode put each scene
// pixel in the same place; a change of mode calls for a whole repaint.
struct PaintMode {
    enum Painter : std::uint8_t { kScene, kStretch, kPartial, kStretchPlus };
    Painter painter = kScene;
    std::int32_t scale = 1;
    std::int32_t low = 0, high = 32767;     // kPartial
    std::int32_t scrollX = 0, scrollY = 0;  // kStretchPlus
    bool operator==(const PaintMode &) const = default;
};

class SceneCheck {
  public:
    // Windows of width x height, large enough for every scene at every
    // scale the game uses.
    SceneCheck(EngineState *engine, std::int32_t width, std::int32_t height);
    ~SceneCheck();

    // Paints the invalid rectangles the way mode says (the whole scene
    // first when the mode differs from the last paint's) and checks the
    // result.
    void Paint(const PaintMode &mode);
    // PaintSceneRect of one rectangle in the last paint's mode when that is
    // a plain one; the list is left as it is.
    void PaintRect(const RECT &rect);
    // Marks the whole scene invalid: what a game does when the scene's look
    // changes without a change the engine sees.
    void InvalidateAll();
    // Whether the last paint showed the background scrolled.
    bool Scrolled() const {
        return last_.painter == PaintMode::kStretchPlus && (last_.scrollX != 0 || last_.scrollY != 0);
    }

  private:
    struct Scene {
        std::int32_t width, height;
    };
    // What a paint of a band of depths draws over: the surface and the
    // window before, and the rectangles it paints.
    struct Partial {
        std::vector<std::int16_t> surface;
        std::vector<std::uint8_t> window;
        std::vector<RECT> rects;
    };
    void CheckFullRepaint(const PaintMode &mode, const Scene &scene);
    void CheckReference(const PaintMode &mode, const Scene &scene, const Partial *partial);

    EngineState *engine_;
    std::int32_t width_, height_;
    HDC window_;   // what the game sees
    HDC repaint_;  // the same state painted whole
    PaintMode last_;
    bool painted_ = false;
};

}  // namespace anim::fuzz
