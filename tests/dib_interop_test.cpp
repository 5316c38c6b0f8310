// The guide's image-tool recipes: each command, the form it writes, and
// whether OpenDIB reads it (to the picture's colours at every pixel), keeps
// it as it stands (an 8-bit RLE file under a 40-byte header, the form of the
// library's own compressed DIBs) or refuses it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "test_support.h"

namespace {

using anim::test::dibs::Owned;
using anim::test::dibs::Px;
using Bytes = std::vector<uint8_t>;

enum Outcome { kRead, kKeptCompressed, kRefused };

struct Recipe {
    const char *art;  // how the art is saved first: a palette or an RGB picture
    int colours;
    const char *options;  // between the art and the output file name
    uint32_t header;
    uint16_t bits;
    Outcome outcome;
};

constexpr Recipe kRecipes[] = {
    {"PNG8", 12, "BMP3:", 40, 4, kRead},
    {"PNG8", 40, "-compress None BMP3:", 40, 8, kRead},
    {"PNG8", 40, "BMP3:", 40, 8, kKeptCompressed},
    {"PNG8", 40, "", 124, 8, kRead},
    {"PNG8", 12, "BMP2:", 12, 4, kRead},
    {"PPM", 2, "-type Palette -compress None BMP3:", 40, 1, kRead},
    {"PNG24", 40, "-type Palette -compress None BMP3:", 40, 8, kRead},
    {"PNG24", 40, "BMP3:", 40, 24, kRefused},
};

constexpr int kW = 23;
constexpr int kH = 9;

Bytes Colour(int x, int y, int colours) {  // r, g, b
    const int n = (x * 7 + y * 3) % colours;
    return Bytes{uint8_t(n * 6), uint8_t(255 - n * 5), uint8_t(n * 37)};
}

uint32_t Le(const Bytes &b, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

TEST(DIBFileInterop, ImageToolRecipesReadOrRefuseAsDocumented) {
    const char *tool = "/usr/bin/convert";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "ImageMagick's convert is not installed";
    anim::test::LeakCheck leaks;
    anim::test::ScratchDir dir;
    anim::test::TraceCapture refusals;
    for (const Recipe &r : kRecipes) {
        const std::string shown = std::string(r.art) + " of " + std::to_string(r.colours) + " colours, " + r.options;
        SCOPED_TRACE(shown);
        Bytes ppm;
        for (char c : "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n") ppm.push_back(uint8_t(c));
        for (int i = 0; i < kW * kH; ++i) {
            const Bytes rgb = Colour(i % kW, i / kW, r.colours);
            ppm.insert(ppm.end(), rgb.begin(), rgb.end());
        }
        anim::test::WriteFileBytes(dir.File("art.ppm"), ppm);
        std::string art = dir.File("art.ppm");
        if (std::string(r.art) != "PPM") {
            art = dir.File("art.png");
            ASSERT_EQ(std::system((std::string(tool) + " " + dir.File("art.ppm") + " " + r.art + ":" + art).c_str()), 0);
        }
        const std::string out = dir.File("out.bmp");
        ASSERT_EQ(std::system((std::string(tool) + " " + art + " " + r.options + out).c_str()), 0);
        const Bytes file = anim::test::ReadFileBytes(out);
        const uint32_t header = Le(file, 14, 4);
        EXPECT_EQ(header, r.header);
        EXPECT_EQ(Le(file, header == 12 ? 24 : 28, 2), r.bits);
        Owned dib(OpenDIB(out.c_str()));
        if (r.outcome != kRead) {
            EXPECT_EQ(dib != nullptr, r.outcome == kKeptCompressed);
            EXPECT_TRUE(dib == nullptr || dib->biCompression == 1u);
            continue;
        }
        ASSERT_NE(dib, nullptr);
        ASSERT_EQ((std::vector<int32_t>{dib->biBitCount, int32_t(dib->biCompression), dib->biWidth, dib->biHeight}),
                  (std::vector<int32_t>{8, 0, kW, kH}));
        for (int i = 0; i < kW * kH; ++i) {
            const uint8_t *quad = anim::dib::Bytes(dib.get()) + 40 + 4 * Px(dib, i % kW, i / kW);
            ASSERT_EQ((Bytes{quad[2], quad[1], quad[0]}), Colour(i % kW, i / kW, r.colours)) << i % kW << "," << i / kW;
        }
    }
}

}  // namespace
