// Small pictures and manifests for the tool tests, written into a scratch
// folder.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "animate.h"
#include "bmp_file.h"
#include "indexed_image.h"
#include "test_support.h"

namespace toolstest {

// colour(i) for every index of img's palette.
template <typename F> imageio::IndexedImage &Paint(imageio::IndexedImage &img, int colours, F colour) {
    for (int i = 0; i < colours; ++i) img.colours[static_cast<std::size_t>(i)] = colour(i);
    return img;
}

// A w x h picture: a filled body of colour body with a one-pixel border of
// colour edge, transparent corners.
inline imageio::IndexedImage Figure(int w, int h, std::uint8_t body, std::uint8_t edge) {
    imageio::IndexedImage img(w, h, body);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1) img.At(x, y) = edge;
    img.At(0, 0) = img.At(w - 1, 0) = img.At(0, h - 1) = img.At(w - 1, h - 1) = 0;
    return Paint(img, 256, [](int i) { return imageio::Rgb{std::uint8_t(i), std::uint8_t(255 - i), 7}; });
}

// A picture of w x h whose indices run through 0 .. colours - 1, each
// index a colour of its own.
inline imageio::IndexedImage Pattern(int w, int h, int colours) {
    imageio::IndexedImage img(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = static_cast<std::uint8_t>((x + 3 * y) % colours);
    return Paint(img, colours, [](int i) { return imageio::Rgb{std::uint8_t(40 + i), std::uint8_t(200 - i), std::uint8_t(i * 7)}; });
}

inline void WriteText(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::trunc) << text; }

inline bool Exists(const std::string &path) { return std::ifstream(path).good(); }

// image as a BMP of 1, 2, 4 or 8 bits a pixel with 2^bits colours, or of 24
// bits (every pixel grey): rows top-down when asked, an OS/2 core header (12
// bytes, 3-byte colours) when asked, else the Windows 40-byte one.
inline void WriteBmp(const std::string &path, const imageio::IndexedImage &image, int bits, bool topDown = false,
                     bool core = false) {
    std::vector<std::uint8_t> b{'B', 'M'};
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const int colours = bits <= 8 ? 1 << bits : 0;
    const auto stride = static_cast<std::uint32_t>(image.width * bits + 31) / 32 * 4;
    const std::uint32_t info = core ? 12 : 40, offset = 14 + info + static_cast<std::uint32_t>(colours) * (core ? 3 : 4);
    for (const std::uint32_t v : {offset + stride * static_cast<std::uint32_t>(image.height), 0u, offset, info}) put(v, 4);
    put(static_cast<std::uint32_t>(image.width), core ? 2 : 4);
    put(static_cast<std::uint32_t>(topDown ? -image.height : image.height), core ? 2 : 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    if (!core) b.insert(b.end(), 24, std::uint8_t{0});  // compression to important colours: all 0
    for (int i = 0; i < colours; ++i) {
        const imageio::Rgb c = image.colours[static_cast<std::size_t>(i)];
        b.insert(b.end(), {c.b, c.g, c.r});
        if (!core) b.push_back(0);
    }
    for (int r = 0; r < image.height; ++r) {
        std::vector<std::uint8_t> row(stride, bits > 8 ? 0x80 : 0);
        for (int x = 0; x < image.width && bits <= 8; ++x) {
            const int bit = x * bits, y = topDown ? r : image.height - 1 - r;
            row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(image.At(x, y) << (8 - bits - bit % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    anim::test::WriteFileBytes(path, b);
}

// image as an indexed PNG of bitDepth (1, 2, 4 or 8) with 2^bitDepth palette
// entries, those in transparent given alpha 0; as a truecolour one when
// bitDepth is 0.
inline bool WritePng(const std::string &path, const imageio::IndexedImage &image, int bitDepth,
                     const std::vector<int> &transparent = {}) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    std::vector<std::uint8_t> map, pixels = image.pixels;
    if (bitDepth == 0) {
        png.format = PNG_FORMAT_RGB;
        pixels.clear();
        for (const std::uint8_t p : image.pixels) {
            const imageio::Rgb c = image.colours[p];
            pixels.insert(pixels.end(), {c.r, c.g, c.b});
        }
    } else {
        // The write picks the smallest bit depth the entries fit in.
        png.format = PNG_FORMAT_RGBA_COLORMAP;
        png.colormap_entries = 1u << bitDepth;
        for (int i = 0; i < 1 << bitDepth; ++i) {
            const imageio::Rgb c = image.colours[static_cast<std::size_t>(i)];
            const bool clear = std::find(transparent.begin(), transparent.end(), i) != transparent.end();
            map.insert(map.end(), {c.r, c.g, c.b, std::uint8_t(clear ? 0 : 255)});
        }
    }
    return png_image_write_to_file(&png, path.c_str(), 0, pixels.data(), 0, map.data()) != 0;
}

// Trace lines silenced and a scratch folder, for tests that run the tools
// and the library on purpose-made files.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override { AnimSetTraceHandler([](const char *, void *) {}, nullptr); }
    void TearDown() override { AnimSetTraceHandler(nullptr, nullptr); }
    void Bmp8(const std::string &name, const imageio::IndexedImage &img) {
        ASSERT_EQ(anxpack::WriteBmp8(dir.File(name), img), "");
    }

    anim::test::ScratchDir dir;
};

}  // namespace toolstest
