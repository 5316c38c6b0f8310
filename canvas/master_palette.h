// Names shared by the master palette exports and the palette effects.
#pragma once

#include <cstdint>

namespace anim::canvas {

// Source name in the trace lines of the master palette and its effects.
inline constexpr char kPaletteSource[] = "MASTPAL";

inline constexpr std::int32_t kColourCount = 256;
// The game's own colours, between the display's ten static ones at each end.
inline constexpr std::int32_t kFirstGameColour = 10;
inline constexpr std::int32_t kLastGameColour = 245;
inline constexpr std::int32_t kGameColourCount = kLastGameColour - kFirstGameColour + 1;

}  // namespace anim::canvas
