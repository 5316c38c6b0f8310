// A 3 x 5 pixel font for the contact sheet's row labels: digits, letters
// (small ones drawn as capitals) and the marks sequence names use.
#pragma once

#include <cstdint>
#include <string_view>

#include "indexed_image.h"

namespace anxinfo {

inline constexpr int kGlyphWidth = 3;
inline constexpr int kGlyphHeight = 5;
// A character's advance: the glyph and a column of space.
inline constexpr int kGlyphAdvance = kGlyphWidth + 1;

// Draws text with its top-left at (x, y) in colour; pixels outside the
// image are left out. A character without a glyph shows as '?'.
void DrawLabel(imageio::IndexedImage &image, int x, int y, std::string_view text,
               std::uint8_t colour);

// Width in pixels of text as DrawLabel draws it.
constexpr int LabelWidth(std::string_view text) {
    return static_cast<int>(text.size()) * kGlyphAdvance;
}

}  // namespace anxinfo
