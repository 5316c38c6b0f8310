#include "game_palette.h"

#include <algorithm>

namespace demo {
namespace {

using imageio::Rgb;

constexpr Rgb Mix(Rgb a, Rgb b, int num, int den) {
    return Rgb{static_cast<std::uint8_t>(a.r + (b.r - a.r) * num / den),
               static_cast<std::uint8_t>(a.g + (b.g - a.g) * num / den),
               static_cast<std::uint8_t>(a.b + (b.b - a.b) * num / den)};
}

// The usual static colours of a 256-colour display, low end then high end.
constexpr Rgb kStaticLow[10] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                {192, 220, 192}, {166, 202, 240}};
constexpr Rgb kStaticHigh[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                 {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                 {0, 255, 255},   {255, 255, 255}};

constexpr Rgb kKitRed[kKitCount] = {{236, 64, 52},  {200, 34, 34},   {132, 18, 22},  {246, 246, 246},
                                    {186, 188, 198}, {204, 36, 36},  {120, 16, 20},  {252, 214, 64}};
constexpr Rgb kKitBlue[kKitCount] = {{84, 136, 244}, {44, 88, 214},   {24, 44, 132},  {28, 30, 52},
                                     {12, 12, 28},   {240, 240, 240}, {168, 170, 184}, {250, 250, 250}};

}  // namespace

imageio::Colours GamePalette() {
    imageio::Colours c{};
    for (int i = 0; i < 10; ++i) {
        c[static_cast<std::size_t>(i)] = kStaticLow[i];
        c[static_cast<std::size_t>(246 + i)] = kStaticHigh[i];
    }
    // Unassigned game colours hold a soft ramp, so that every one of the
    // 236 is a real colour.
    for (int i = kGameFirst; i <= kGameLast; ++i) {
        const int t = i - kGameFirst;
        c[static_cast<std::size_t>(i)] = Rgb{static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t / 2 + 40),
                                             static_cast<std::uint8_t>(255 - t)};
    }
    const Rgb grass_light[4] = {{92, 168, 60}, {88, 162, 58}, {96, 172, 64}, {84, 158, 54}};
    const Rgb grass_dark[4] = {{70, 140, 46}, {66, 134, 44}, {74, 146, 50}, {62, 128, 40}};
    for (int i = 0; i < 4; ++i) {
        c[kGrassLight + i] = grass_light[i];
        c[kGrassDark + i] = grass_dark[i];
    }
    c[kLine] = {244, 248, 240};
    c[kLineShade] = {200, 214, 196};
    for (int i = 0; i < 8; ++i) c[kConcrete + i] = Mix({46, 48, 56}, {170, 172, 178}, i, 7);
    for (int i = 0; i < kCrowdCount; ++i) {
        // Evenly spread hues, half of them muted: a crowd, not a rainbow.
        const int h = (i * 7) % kCrowdCount;
        const int sector = h * 6 / kCrowdCount;
        const int f = (h * 6 % kCrowdCount) * 255 / kCrowdCount;
        const int hi = i % 2 ? 190 : 140, lo = i % 2 ? 60 : 70;
        const int up = lo + (hi - lo) * f / 255, down = hi - (hi - lo) * f / 255;
        int r = 0, g = 0, b = 0;
        switch (sector) {
            case 0: r = hi; g = up; b = lo; break;
            case 1: r = down; g = hi; b = lo; break;
            case 2: r = lo; g = hi; b = up; break;
            case 3: r = lo; g = down; b = hi; break;
            case 4: r = up; g = lo; b = hi; break;
            default: r = hi; g = lo; b = down; break;
        }
        c[static_cast<std::size_t>(kCrowd + i)] = Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                                      static_cast<std::uint8_t>(b)};
    }
    const Rgb skin[4] = {{240, 200, 164}, {214, 168, 128}, {168, 118, 82}, {112, 74, 48}};
    const Rgb hair[4] = {{40, 28, 20}, {96, 60, 30}, {206, 170, 90}, {20, 20, 20}};
    for (int i = 0; i < 4; ++i) {
        c[kSkin + i] = skin[i];
        c[kHair + i] = hair[i];
    }
    for (int i = 0; i < kKitCount; ++i) {
        c[kKitA + i] = kKitRed[i];
        c[kKitB + i] = kKitBlue[i];
    }
    c[kBoot] = {24, 24, 26};
    c[kBoot + 1] = {90, 90, 96};
    c[kOutline] = {30, 26, 24};
    c[kBallWhite] = {250, 250, 250};
    c[kBallGrey] = {178, 180, 186};
    c[kBallDark] = {40, 40, 44};
    c[kShadow] = {48, 104, 34};
    c[kBoardPanel] = {16, 18, 30};
    c[kBoardEdge] = {80, 84, 100};
    c[kBoardDigit] = {255, 196, 40};
    c[kBoardDim] = {60, 50, 24};
    c[kMarker] = {255, 240, 0};
    for (int i = 0; i < kLightCount; ++i) {
        c[static_cast<std::size_t>(kLights + i)] = Mix({255, 250, 200}, {90, 20, 10}, i, kLightCount - 1);
    }
    c[kNumberA] = {252, 252, 252};
    c[kNumberB] = {255, 222, 40};
    for (int i = 0; i < 16; ++i) c[static_cast<std::size_t>(kSky + i)] = Mix({22, 26, 40}, {92, 100, 120}, i, 15);
    const Rgb adverts[8] = {{200, 20, 30}, {250, 250, 250}, {20, 60, 170}, {250, 200, 0},
                            {0, 130, 70},  {30, 30, 30},    {240, 110, 0}, {120, 0, 140}};
    for (int i = 0; i < 8; ++i) c[static_cast<std::size_t>(kAdverts + i)] = adverts[i];
    c[kNet] = {226, 230, 236};
    c[kPost] = {255, 255, 255};
    return c;
}

}  // namespace demo
