// Every conversion kernel this CPU runs gives the scalar reference's bytes
// for random rectangles of a random picture, and writes nothing outside
// them.
#include "sdl/convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace anim::sdl {
namespace {

constexpr int kW = 203, kH = 37, kStride = 208, kPitch = kW * 4 + 12;

// Converts rectangle (x, y, w, h) of the picture row by row, as the
// presenter does into a locked texture.
std::vector<std::uint8_t> Convert(const ConvertKernel &k, const std::vector<std::uint8_t> &picture,
                                  int x, int y, int w, int h, const ColourTable &table) {
    std::vector<std::uint8_t> texture(static_cast<size_t>(kPitch) * kH, 0xA5);
    for (int row = y; row < y + h; ++row) {
        k.row(texture.data() + row * kPitch + x * 4, picture.data() + row * kStride + x,
              static_cast<size_t>(w), table);
    }
    return texture;
}

TEST(SdlConvert, KernelsAgreeWithTheScalarReferenceOnRandomRectangles) {
    std::mt19937 rng(11);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<std::uint8_t> picture(static_cast<size_t>(kStride) * kH);
    for (int round = 0; round < 300; ++round) {
        ColourTable table;
        for (std::uint32_t &c : table) c = static_cast<std::uint32_t>(rng());
        for (std::uint8_t &b : picture) b = static_cast<std::uint8_t>(rng());
        const int x = any(0, kW - 1), y = any(0, kH - 1);
        const int w = round < 40 ? std::min(round, kW - x) : any(0, kW - x), h = any(1, kH - y);
        const std::vector<std::uint8_t> expected =
            Convert(ScalarConvert(), picture, x, y, w, h, table);
        if (w > 0) {
            const std::uint32_t first = table[picture[static_cast<size_t>(y * kStride + x)]];
            ASSERT_EQ(std::memcmp(expected.data() + y * kPitch + x * 4, &first, 4), 0);
        }
        for (const ConvertKernel *k : AvailableConverts()) {
            ASSERT_EQ(Convert(*k, picture, x, y, w, h, table), expected)
                << k->name << ": " << w << " x " << h << " at " << x << "," << y;
        }
    }
    EXPECT_EQ(&ActiveConvert(), AvailableConverts().back());
}

}  // namespace
}  // namespace anim::sdl
