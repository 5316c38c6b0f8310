/*
 * Indexed PNG files, read with their palette indices kept: the form in
 * which pixel-art editors export 8-bit art.
 *
 * Byte grammar (numbers big-endian):
 *
 *   file      := signature IHDR chunk* IEND
 *   signature := 89 50 4E 47 0D 0A 1A 0A
 *   chunk     := u32 length, 4-byte type, length bytes, u32 crc of type and data
 *   IHDR      := u32 width u32 height u8 bit-depth u8 colour-type
 *                u8 compression (0) u8 filter (0) u8 interlace (0, or 1 Adam7)
 *   PLTE      := 1..256 x (r g b)                    ; before the first IDAT
 *   tRNS      := up to one alpha byte per palette entry; entries beyond it
 *                are opaque
 *   IDAT+     := one zlib stream of the filtered rows, top row first
 *
 * Taken: colour type 3 (palette) at bit depth 1, 2, 4 or 8; pixels narrower
 * than a byte are widened to one byte each, the index unchanged. Palette
 * entries the file does not hold are black. Refused: every other colour
 * type (grey, truecolour, with or without alpha), a transparent palette
 * entry other than index 0 (the library's one transparent colour), sides
 * above kMaxPictureSide, and anything the PNG library finds broken (chunk
 * CRCs, the zlib stream, a file cut short).
 *
 * The PNG library reports errors by longjmp. Each function that sets the
 * jump point holds nothing with a destructor, and every buffer is made by
 * its caller, so a jump leaks nothing and skips no destructor.
 */
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "png_file.h"

namespace imageio {
namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr int kMaxPaletteEntries = 256;
constexpr png_byte kOpaque = 255;
constexpr std::size_t kMessageSize = 200;

// What the PNG library's callbacks share: the bytes being read and the
// last error text.
struct Source {
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    char message[kMessageSize] = "";
};

void OnError(png_structp png, png_const_charp text) {
    auto *source = static_cast<Source *>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", text);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, png_size_t count) {
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    if (count > source->size - source->at) png_error(png, "the file is cut short");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

// Owns the PNG library's read state.
class Reader {
public:
    explicit Reader(Source &source)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning)) {
        if (png_ != nullptr) info_ = png_create_info_struct(png_);
        if (info_ != nullptr) png_set_read_fn(png_, &source, OnRead);
    }
    ~Reader() { png_destroy_read_struct(&png_, &info_, nullptr); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }
    bool ok() const { return info_ != nullptr; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// The chunks up to the pixels; false when the PNG library refuses them.
bool ReadHead(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);
    return true;
}

// Asks for one byte a pixel, whatever the bit depth and interlacing.
bool AskForBytes(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

PngForm FormOf(png_structp png, png_infop info) {
    PngForm form;
    form.width = static_cast<int>(png_get_image_width(png, info));
    form.height = static_cast<int>(png_get_image_height(png, info));
    form.bitDepth = png_get_bit_depth(png, info);
    form.colourType = png_get_color_type(png, info);
    form.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) != 0) form.paletteEntries = entries;
    png_bytep alpha = nullptr;
    int alphas = 0;
    if (png_get_tRNS(png, info, &alpha, &alphas, nullptr) != 0 && alpha != nullptr) {
        for (int i = 0; i < alphas && i < kMaxPaletteEntries; ++i) {
            if (alpha[i] != kOpaque) form.transparent.push_back(i);
        }
    }
    return form;
}

// A message about name; with no name, the reason alone.
std::string Named(const std::string &name, const std::string &reason) {
    return name.empty() ? reason : name + ": " + reason;
}

// Why a well-formed PNG cannot be an 8-bit frame, or empty.
std::string Unfit(const PngForm &form) {
    if (form.colourType != PNG_COLOR_TYPE_PALETTE) {
        return PngColourTypeName(form.colourType) +
               " PNG; frames need palette colours: convert with e.g. " +
               std::string(kPngConvertHint);
    }
    for (const int index : form.transparent) {
        if (index != 0) {
            return "palette index " + std::to_string(index) +
                   " is transparent (tRNS), but index 0 is the library's only transparent colour: "
                   "move the transparent colour to index 0";
        }
    }
    return {};
}

}  // namespace

std::string PngColourTypeName(int type) {
    switch (type) {
        case PNG_COLOR_TYPE_PALETTE:
            return "palette";
        case PNG_COLOR_TYPE_GRAY:
            return "greyscale";
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return "greyscale with alpha";
        case PNG_COLOR_TYPE_RGB:
            return "truecolour";
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return "truecolour with alpha";
        default:
            return "colour type " + std::to_string(type);
    }
}

bool IsPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kSignatureSize && png_sig_cmp(bytes.data(), 0, kSignatureSize) == 0;
}

std::string ReadIndexedPng(std::span<const std::uint8_t> bytes, const std::string &name,
                           IndexedImage &image, PngForm *formOut) {
    if (!IsPng(bytes)) return Named(name, "not a PNG file");
    Source source;
    source.data = bytes.data();
    source.size = bytes.size();
    Reader reader(source);
    if (!reader.ok()) return Named(name, "out of memory");
    // Only the picture's own chunks are read; the rest are skipped unread,
    // so a text or palette-suggestion chunk whose length claims gigabytes
    // is never allocated.
    png_set_keep_unknown_chunks(reader.png(), PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    if (!ReadHead(reader.png(), reader.info()))
        return Named(name, std::string("PNG: ") + source.message);
    const PngForm form = FormOf(reader.png(), reader.info());
    if (formOut != nullptr) *formOut = form;
    if (std::string unfit = Unfit(form); !unfit.empty()) return Named(name, unfit);
    if (!AskForBytes(reader.png(), reader.info()))
        return Named(name, std::string("PNG: ") + source.message);
    // Packing leaves one byte a pixel; the library's own count is the one
    // the rows are read with.
    if (png_get_rowbytes(reader.png(), reader.info()) != static_cast<std::size_t>(form.width)) {
        return Named(name, "PNG rows are not one byte a pixel");
    }
    IndexedImage result(form.width, form.height);
    std::vector<png_bytep> rows(static_cast<std::size_t>(form.height));
    for (int y = 0; y < form.height; ++y) rows[static_cast<std::size_t>(y)] = &result.At(0, y);
    if (!ReadRows(reader.png(), rows.data()))
        return Named(name, std::string("PNG: ") + source.message);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(reader.png(), reader.info(), &palette, &entries) != 0) {
        for (int i = 0; i < entries && i < kMaxPaletteEntries; ++i) {
            result.colours[static_cast<std::size_t>(i)] =
                Rgb{palette[i].red, palette[i].green, palette[i].blue};
        }
    }
    image = std::move(result);
    return {};
}

}  // namespace imageio
