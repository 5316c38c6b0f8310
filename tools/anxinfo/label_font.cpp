#include "label_font.h"

#include <array>
#include <cctype>

namespace anxinfo {
namespace {

// Each glyph's five rows of three pixels, top row in the high bits, the
// left pixel of a row its high bit.
struct Glyph {
    char c;
    std::uint16_t rows;
};

constexpr std::array kGlyphs = {
    Glyph{'0', 0b111'101'101'101'111}, Glyph{'1', 0b010'110'010'010'111},
    Glyph{'2', 0b111'001'111'100'111}, Glyph{'3', 0b111'001'111'001'111},
    Glyph{'4', 0b101'101'111'001'001}, Glyph{'5', 0b111'100'111'001'111},
    Glyph{'6', 0b111'100'111'101'111}, Glyph{'7', 0b111'001'001'010'010},
    Glyph{'8', 0b111'101'111'101'111}, Glyph{'9', 0b111'101'111'001'111},
    Glyph{'A', 0b010'101'111'101'101}, Glyph{'B', 0b110'101'110'101'110},
    Glyph{'C', 0b011'100'100'100'011}, Glyph{'D', 0b110'101'101'101'110},
    Glyph{'E', 0b111'100'110'100'111}, Glyph{'F', 0b111'100'110'100'100},
    Glyph{'G', 0b011'100'101'101'011}, Glyph{'H', 0b101'101'111'101'101},
    Glyph{'I', 0b111'010'010'010'111}, Glyph{'J', 0b001'001'001'101'010},
    Glyph{'K', 0b101'101'110'101'101}, Glyph{'L', 0b100'100'100'100'111},
    Glyph{'M', 0b101'111'111'101'101}, Glyph{'N', 0b110'101'101'101'101},
    Glyph{'O', 0b010'101'101'101'010}, Glyph{'P', 0b110'101'110'100'100},
    Glyph{'Q', 0b010'101'101'110'011}, Glyph{'R', 0b110'101'110'101'101},
    Glyph{'S', 0b011'100'010'001'110}, Glyph{'T', 0b111'010'010'010'010},
    Glyph{'U', 0b101'101'101'101'111}, Glyph{'V', 0b101'101'101'101'010},
    Glyph{'W', 0b101'101'111'111'101}, Glyph{'X', 0b101'101'010'101'101},
    Glyph{'Y', 0b101'101'010'010'010}, Glyph{'Z', 0b111'001'010'100'111},
    Glyph{' ', 0b000'000'000'000'000}, Glyph{'_', 0b000'000'000'000'111},
    Glyph{'-', 0b000'000'111'000'000}, Glyph{'.', 0b000'000'000'000'010},
    Glyph{'(', 0b001'010'010'010'001}, Glyph{')', 0b100'010'010'010'100},
    Glyph{':', 0b000'010'000'010'000}, Glyph{'/', 0b001'001'010'100'100},
    Glyph{'+', 0b000'010'111'010'000}, Glyph{'#', 0b101'111'101'111'101},
    Glyph{'?', 0b111'001'010'000'010},
};

std::uint16_t RowsOf(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph &g : kGlyphs) {
        if (g.c == upper) return g.rows;
    }
    return RowsOf('?');
}

}  // namespace

void DrawLabel(imageio::IndexedImage &image, int x, int y, std::string_view text,
               std::uint8_t colour) {
    for (const char c : text) {
        const std::uint16_t rows = RowsOf(c);
        for (int r = 0; r < kGlyphHeight; ++r) {
            for (int k = 0; k < kGlyphWidth; ++k) {
                const int bit = (kGlyphHeight - 1 - r) * kGlyphWidth + (kGlyphWidth - 1 - k);
                const int px = x + k, py = y + r;
                if (((rows >> bit) & 1) != 0 && px >= 0 && py >= 0 && px < image.width &&
                    py < image.height) {
                    image.At(px, py) = colour;
                }
            }
        }
        x += kGlyphAdvance;
    }
}

}  // namespace anxinfo
