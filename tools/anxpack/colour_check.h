// The colours of the art a manifest names. Every frame of a game is drawn
// in one master palette, so a frame whose picture gives an index another
// colour than the rest of the art shows the wrong colour without a word;
// and the display keeps indices 1-9 and 246-255 for its own colours, so art
// drawn there never shows its own. Number art is exempt from both: its
// indices are segment classes, painted in the team's number colour.
#pragma once

#include <bitset>
#include <string>
#include <vector>

#include "indexed_image.h"

namespace anxpack {

inline constexpr int kPaletteSize = 256;

// Indices whose colour the display sets, whatever a picture's palette says.
constexpr bool IsStaticIndex(int index) {
    return (index >= 1 && index <= 9) || (index >= 246 && index < kPaletteSize);
}

// One picture file's part in a pack: its colours and the indices that the
// frames taken from it use (index 0, transparent, never counts).
struct ColourUse {
    std::string source;
    imageio::Colours colours{};
    std::bitset<kPaletteSize> used;
    bool numberArt = false;
};

// The colours every frame is compared with: a --palette file, or the first
// frame's picture.
struct ColourReference {
    std::string source;
    imageio::Colours colours{};
};

// One line for each index where a frame's picture disagrees with the
// reference, and for each static index a frame uses, naming the file, the
// index and both colours; a file's lines beyond a few are summed up in one.
std::vector<std::string> CheckColours(const std::vector<ColourUse> &uses,
                                      const ColourReference &reference,
                                      const imageio::Colours &display);

// The colours the display shows at its static indices (the others black),
// as the library's display reports them.
imageio::Colours DisplayColours();

}  // namespace anxpack
