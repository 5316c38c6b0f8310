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

// The art is saved first as an 8-bit PNG, an RGB PNG or a PPM; the options
// stand between the art and the output name; the tool picks the header size
// and bits a pixel, checked so that a new tool version cannot pass unseen.
constexpr struct {
    const char *art;
    int colours;
    const char *options;
    uint32_t header;
    uint16_t bits;
    Outcome outcome;
} kRecipes[] = {
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

Bytes Colour(int i, int colours) {  // r, g, b of pixel i
    const int n = (i % kW * 7 + i / kW * 3) % colours;
    return Bytes{uint8_t(n * 6), uint8_t(255 - n * 5), uint8_t(n * 37)};
}

TEST(DIBFileInterop, ImageToolRecipesReadOrRefuseAsDocumented) {
    const std::string tool = "/usr/bin/convert";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "ImageMagick's convert is not installed";
    anim::test::LeakCheck leaks;
    anim::test::ScratchDir dir;
    anim::test::TraceCapture refusals;
    const std::string ppm = dir.File("art.ppm"), png = dir.File("art.png"), out = dir.File("out.bmp");
    for (const auto &r : kRecipes) {
        SCOPED_TRACE(std::string(r.art) + " of " + std::to_string(r.colours) + " colours, " + r.options);
        const std::string head = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
        Bytes art(head.begin(), head.end());
        for (int i = 0; i < kW * kH; ++i) {
            const Bytes rgb = Colour(i, r.colours);
            art.insert(art.end(), rgb.begin(), rgb.end());
        }
        anim::test::WriteFileBytes(ppm, art);
        const bool viaPng = std::string(r.art) != "PPM";
        const std::string convertArt = tool + " " + ppm + " " + r.art + ":" + png;
        ASSERT_TRUE(!viaPng || std::system(convertArt.c_str()) == 0);
        ASSERT_EQ(std::system((tool + " " + (viaPng ? png : ppm) + " " + r.options + out).c_str()), 0);
        const Bytes file = anim::test::ReadFileBytes(out);
        const uint32_t header = file[14] | file[15] << 8;
        const size_t bitsAt = header == 12 ? 24 : 28;
        EXPECT_EQ((std::vector<uint32_t>{header, uint32_t(file[bitsAt] | file[bitsAt + 1] << 8)}),
                  (std::vector<uint32_t>{r.header, r.bits}));
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
            ASSERT_EQ((Bytes{quad[2], quad[1], quad[0]}), Colour(i, r.colours)) << "pixel " << i;
        }
    }
}

}  // namespace
