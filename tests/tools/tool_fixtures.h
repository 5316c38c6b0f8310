// Small pictures and manifests for the tool tests, written into a scratch
// folder.
#pragma once

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
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

// A picture of w x h whose indices run through 0 .. colours - 1, each
// index a colour of its own.
inline imageio::IndexedImage Pattern(int w, int h, int colours) {
    imageio::IndexedImage img(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = static_cast<std::uint8_t>((x + 3 * y) % colours);
    for (int i = 0; i < colours; ++i) {
        img.colours[static_cast<std::size_t>(i)] =
            imageio::Rgb{static_cast<std::uint8_t>(40 + i), static_cast<std::uint8_t>(200 - i),
                         static_cast<std::uint8_t>(i * 7)};
    }
    return img;
}

// image as a BMP of 1, 2, 4 or 8 bits a pixel with 2^bits colours: rows
// top-down when asked, an OS/2 core header (12 bytes, 3-byte colours) when
// asked, else the Windows 40-byte one.
inline void WritePaletteBmp(const std::string &path, const imageio::IndexedImage &image, int bits,
                            bool topDown = false, bool core = false) {
    std::vector<std::uint8_t> b;
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const int colours = 1 << bits;
    const std::uint32_t stride = (static_cast<std::uint32_t>(image.width * bits) + 31) / 32 * 4;
    const std::uint32_t info = core ? 12 : 40;
    const std::uint32_t offset = 14 + info + static_cast<std::uint32_t>(colours) * (core ? 3 : 4);
    b.push_back('B');
    b.push_back('M');
    put(offset + stride * static_cast<std::uint32_t>(image.height), 4);
    put(0, 4);
    put(offset, 4);
    put(info, 4);
    const std::int32_t height = topDown ? -image.height : image.height;
    put(static_cast<std::uint32_t>(image.width), core ? 2 : 4);
    put(static_cast<std::uint32_t>(height), core ? 2 : 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    if (!core) {
        for (int i = 0; i < 6; ++i) put(0, 4);
    }
    for (int i = 0; i < colours; ++i) {
        const imageio::Rgb c = image.colours[static_cast<std::size_t>(i)];
        b.insert(b.end(), {c.b, c.g, c.r});
        if (!core) b.push_back(0);
    }
    for (int r = 0; r < image.height; ++r) {
        const int y = topDown ? r : image.height - 1 - r;
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            const int bit = x * bits;
            row[static_cast<std::size_t>(bit / 8)] |=
                static_cast<std::uint8_t>(image.At(x, y) << (8 - bits - bit % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    anim::test::WriteFileBytes(path, b);
}

// The PNG library's own write calls, with its jump point set here: nothing
// with a destructor lives in this function.
inline bool WritePngChunks(png_structp png, png_infop info, FILE *file,
                           const imageio::IndexedImage &image, int bitDepth, png_colorp palette,
                           png_bytep alpha, int alphas, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), bitDepth, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, 1 << bitDepth);
    if (alphas > 0) png_set_tRNS(png, info, alpha, alphas, nullptr);
    png_write_info(png, info);
    png_set_packing(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// image as an indexed PNG of bitDepth (1, 2, 4 or 8) with 2^bitDepth
// palette entries, those in transparent given alpha 0.
inline bool WriteIndexedPng(const std::string &path, const imageio::IndexedImage &image,
                            int bitDepth, const std::vector<int> &transparent = {}) {
    const int entries = 1 << bitDepth;
    std::vector<png_color> palette;
    for (int i = 0; i < entries; ++i) {
        const imageio::Rgb c = image.colours[static_cast<std::size_t>(i)];
        palette.push_back(png_color{c.r, c.g, c.b});
    }
    std::vector<png_byte> alpha(static_cast<std::size_t>(entries), 255);
    int alphas = 0;
    for (const int t : transparent) {
        alpha[static_cast<std::size_t>(t)] = 0;
        alphas = std::max(alphas, t + 1);
    }
    imageio::IndexedImage copy = image;
    std::vector<png_bytep> rows;
    for (int y = 0; y < copy.height; ++y) rows.push_back(&copy.At(0, y));
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = WritePngChunks(png, info, file, copy, bitDepth, palette.data(), alpha.data(),
                                   alphas, rows.data());
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

// A truecolour PNG of w x h.
inline bool WriteTrueColourPng(const std::string &path, int w, int h) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(w);
    png.height = static_cast<png_uint_32>(h);
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 13);
    return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace toolstest
