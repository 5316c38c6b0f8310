// The match's 236 game colours (indices 10-245) and what each is for. The
// two kits share one layout: the second team's colours sit kKitCount above
// the first's, so that one recoloured decompression table turns the first
// team's frames into the second's.
#pragma once

#include <cstdint>

#include "indexed_image.h"

namespace demo {

inline constexpr std::uint8_t kGrassLight = 10;  // 4 shades
inline constexpr std::uint8_t kGrassDark = 14;   // 4 shades
inline constexpr std::uint8_t kLine = 18;
inline constexpr std::uint8_t kLineShade = 19;
inline constexpr std::uint8_t kConcrete = 20;  // 8 greys, dark to light
inline constexpr std::uint8_t kCrowd = 28;     // 32 shirt colours
inline constexpr int kCrowdCount = 32;
inline constexpr std::uint8_t kSkin = 60;  // 4 tones
inline constexpr std::uint8_t kHair = 64;  // 4 tones

// Kit layout, the same for both teams.
inline constexpr std::uint8_t kKitA = 70;
inline constexpr std::uint8_t kKitCount = 8;
inline constexpr std::uint8_t kKitB = kKitA + kKitCount;
inline constexpr std::uint8_t kShirtLight = 0;
inline constexpr std::uint8_t kShirtMid = 1;
inline constexpr std::uint8_t kShirtDark = 2;
inline constexpr std::uint8_t kShortsLight = 3;
inline constexpr std::uint8_t kShortsDark = 4;
inline constexpr std::uint8_t kSocks = 5;
inline constexpr std::uint8_t kSocksDark = 6;
inline constexpr std::uint8_t kTrim = 7;

inline constexpr std::uint8_t kBoot = 86;
inline constexpr std::uint8_t kOutline = 88;
inline constexpr std::uint8_t kBallWhite = 90;
inline constexpr std::uint8_t kBallGrey = 91;
inline constexpr std::uint8_t kBallDark = 92;
inline constexpr std::uint8_t kShadow = 93;

inline constexpr std::uint8_t kBoardPanel = 100;
inline constexpr std::uint8_t kBoardEdge = 101;
inline constexpr std::uint8_t kBoardDigit = 102;
inline constexpr std::uint8_t kBoardDim = 103;
inline constexpr std::uint8_t kMarker = 104;  // the highlight arrow
inline constexpr std::uint8_t kLights = 110;  // 8 colours, cycled
inline constexpr std::uint8_t kLightCount = 8;

inline constexpr std::uint8_t kNumberA = 120;  // shirt numbers of each team
inline constexpr std::uint8_t kNumberB = 121;
inline constexpr std::uint8_t kSky = 130;       // 16 shades of the roof
inline constexpr std::uint8_t kAdverts = 150;   // 8 hoarding colours
inline constexpr std::uint8_t kNet = 160;
inline constexpr std::uint8_t kPost = 161;
inline constexpr std::uint8_t kGameFirst = 10;
inline constexpr std::uint8_t kGameLast = 245;

// The whole 256-colour table: the game's colours at 10-245; the static ends
// hold the usual display colours (the library takes only 10-245 from it).
imageio::Colours GamePalette();

}  // namespace demo
