// The header's words are the ones image editors use, so that a verdict can
// be matched with the save dialog that made the file.
#include "picture_report.h"

#include "bmp_file.h"
#include "indexed_image.h"
#include "png_file.h"

namespace anxinfo {
namespace {

constexpr std::uint16_t kEightBits = 8;

std::string Count(std::int64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Line(const char *label, const std::string &text) {
    char head[16];
    std::snprintf(head, sizeof head, "%-10s", label);
    return head + text + "\n";
}

// How OpenDIB takes a BMP of this form: 1-, 2-, 4- and 8-bit palette
// pictures, plain or run-length coded at their own depth, under every
// header kind; never truecolour.
std::string LibraryVerdict(const anxpack::BmpHeader &h, bool &reads) {
    reads = false;
    if (h.Truecolour())
        return std::string("refused: truecolour; convert with e.g. ") + anxpack::kBmpConvertHint;
    if (!h.Palette())
        return "refused: " + std::to_string(h.bits) + " bits per pixel is no BMP form it reads";
    const bool runLength = (h.compression == anxpack::kBmpRle8 && h.bits == kEightBits) ||
                           (h.compression == anxpack::kBmpRle4 && h.bits == 4);
    if (h.compression != anxpack::kBmpUncompressed && !runLength) {
        return "refused: " + anxpack::BmpCompressionName(h.compression) + " at " +
               std::to_string(h.bits) + " bits per pixel; convert with e.g. " +
               anxpack::kBmpUncompressHint;
    }
    if (h.width <= 0 || h.height == 0) {
        return "refused: no pixels (" + std::to_string(h.width) + "x" + std::to_string(h.height) +
               ")";
    }
    reads = true;
    return h.bits == kEightBits ? "read as is" : "widened to 8 bits";
}

PictureReport DescribeBmp(std::span<const std::uint8_t> bytes) {
    PictureReport report;
    anxpack::BmpHeader h;
    if (std::string e = anxpack::ParseBmpHeader(bytes, h); !e.empty()) {
        report.text = Line("picture", "BMP whose header cannot be read: " + e) +
                      Line("library", "refused") + Line("anxpack", "refused");
        return report;
    }
    std::string form = "BMP, " + std::to_string(h.width) + "x" + std::to_string(h.Rows()) + ", " +
                       Count(h.bits, "bit", "bits") + " per pixel";
    if (h.Palette()) {
        const std::uint32_t all = 1u << h.bits;
        form += ", " + Count(h.coloursUsed == 0 || h.coloursUsed > all ? all : h.coloursUsed,
                             "colour", "colours");
    }
    form += ", " + anxpack::BmpCompressionName(h.compression) + ", rows " +
            (h.TopDown() ? "top-down" : "bottom-up");
    bool libraryReads = false;
    const std::string library = LibraryVerdict(h, libraryReads);
    imageio::IndexedImage image;
    const std::string refused = anxpack::DecodeBmp(bytes, "", image);
    const std::string packer = !refused.empty()       ? "refused: " + refused
                               : h.bits == kEightBits ? "read as is"
                                                      : "widened to 8 bits, each index kept";
    report.text =
        Line("picture", form) +
        Line("header", anxpack::BmpHeaderKind(h.headerSize) +
                           (h.fileHeader ? ", behind a file header" : ", no file header")) +
        Line("library", library) + Line("anxpack", packer);
    report.usable = libraryReads || refused.empty();
    return report;
}

PictureReport DescribePng(std::span<const std::uint8_t> bytes) {
    PictureReport report;
    imageio::PngForm form;
    imageio::IndexedImage image;
    const std::string refused = imageio::ReadIndexedPng(bytes, "", image, &form);
    std::string text = "PNG, " + std::to_string(form.width) + "x" + std::to_string(form.height) +
                       ", " + imageio::PngColourTypeName(form.colourType) + ", bit depth " +
                       std::to_string(form.bitDepth);
    if (form.paletteEntries > 0) text += ", " + Count(form.paletteEntries, "colour", "colours");
    for (const int index : form.transparent)
        text += ", index " + std::to_string(index) + " transparent";
    if (form.interlaced) text += ", interlaced";
    const std::string packer = !refused.empty()              ? "refused: " + refused
                               : form.bitDepth == kEightBits ? "read as is"
                                                             : "widened to 8 bits, each index kept";
    report.text = Line("picture", form.width > 0 ? text : "PNG") +
                  Line("library", "refused: OpenDIB reads BMP files; anxpack takes indexed PNGs") +
                  Line("anxpack", packer);
    report.usable = refused.empty();
    return report;
}

}  // namespace

bool IsPicture(std::span<const std::uint8_t> bytes) {
    return imageio::IsPng(bytes) || (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M');
}

PictureReport DescribePicture(std::span<const std::uint8_t> bytes, const std::string &path) {
    PictureReport report = imageio::IsPng(bytes) ? DescribePng(bytes) : DescribeBmp(bytes);
    report.text =
        Line("file", path + " (" + std::to_string(bytes.size()) + " bytes)") + report.text;
    return report;
}

}  // namespace anxinfo
