// Small pictures and manifests for the tool tests, written into a scratch
// folder.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "indexed_image.h"
#include "test_support.h"

namespace toolstest {

// A w x h picture: a filled body of colour body with a one-pixel border of
// colour edge, transparent corners.
inline imageio::IndexedImage Figure(int w, int h, std::uint8_t body, std::uint8_t edge) {
    imageio::IndexedImage img(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            img.At(x, y) = border ? edge : body;
        }
    img.At(0, 0) = img.At(w - 1, 0) = img.At(0, h - 1) = img.At(w - 1, h - 1) = 0;
    for (int i = 0; i < 256; ++i) {
        img.colours[static_cast<std::size_t>(i)] =
            imageio::Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7};
    }
    return img;
}

inline void WriteText(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
}

inline bool Exists(const std::string &path) { return std::ifstream(path).good(); }

// A 24-bit BMP of w x h grey pixels.
inline void WriteTrueColourBmp(const std::string &path, int w, int h) {
    std::vector<std::uint8_t> b;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    b.push_back('B');
    b.push_back('M');
    put32(54 + stride * static_cast<std::uint32_t>(h));
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<std::uint32_t>(w));
    put32(static_cast<std::uint32_t>(h));
    put16(1);
    put16(24);
    for (int i = 0; i < 6; ++i) put32(0);
    b.resize(b.size() + stride * static_cast<std::size_t>(h), 0x80);
    anim::test::WriteFileBytes(path, b);
}

}  // namespace toolstest
