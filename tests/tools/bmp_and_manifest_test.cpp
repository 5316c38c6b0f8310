// Reading the inputs of the packer: palette BMPs and indexed PNGs in the
// forms they come in (and damaged ones), and the manifest's finer rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bmp_file.h"
#include "manifest.h"
#include "picture_file.h"
#include "picture_report.h"
#include "png_file.h"
#include "rng.h"
#include "tool_fixtures.h"

namespace {

using anim::test::ReadFileBytes;
using imageio::IndexedImage;
using Bytes = std::vector<std::uint8_t>;

Bytes Set32(Bytes b, std::size_t at, std::uint32_t v) {
    std::memcpy(&b[at], &v, 4);
    return b;
}

TEST(Bmp8, ReadsEveryHeaderFormAndRefusesWhatIsNotAnUncompressedPicture) {
    anim::test::ScratchDir dir;
    IndexedImage art = toolstest::Figure(5, 3, 70, 71);  // odd width: rows are padded
    art.At(1, 0) = 9;                                    // marks the top row
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("a.bmp"), art), "");
    IndexedImage back;
    ASSERT_EQ(anxpack::ReadBmp8(dir.File("a.bmp"), back), "");
    EXPECT_EQ(back.pixels, art.pixels);
    EXPECT_EQ(back.colours, art.colours);
    const Bytes bytes = ReadFileBytes(dir.File("a.bmp"));
    auto decode = [&](const Bytes &b) {
        back = IndexedImage();
        return anxpack::DecodeBmp(b, "x.bmp", back);
    };
    ASSERT_EQ(decode(Bytes(bytes.begin() + 14, bytes.end())), "") << "without the 14-byte file header";
    EXPECT_EQ(back.pixels, art.pixels);
    ASSERT_EQ(decode(Set32(bytes, 14 + 8, std::uint32_t(-3))), "");  // rows stored top-down
    EXPECT_EQ(back.At(1, 2), 9) << "the first stored row is the top one now";
    // Fewer colours than 256 in the table.
    const std::uint32_t offset = 14 + 40 + 16 * 4;
    Bytes few = Set32(Set32(bytes, 14 + 32, 16), 10, offset);
    few.erase(few.begin() + offset, few.begin() + 14 + 40 + 1024);
    ASSERT_EQ(decode(few), "");
    EXPECT_EQ(back.pixels, art.pixels);
    EXPECT_EQ(back.colours[15], art.colours[15]);
    EXPECT_EQ(back.colours[200], imageio::Rgb{}) << "colours beyond the table are black";

    const std::pair<Bytes, const char *> refused[] = {
        {Set32(bytes, 14 + 16, 1), "compressed"},  // RLE8
        {Set32(bytes, 14 + 14, 16), "16-bit BMP: truecolour"},
        {Set32(bytes, 14 + 4, 1u << 30), "unusable size"},
    };
    for (const auto &[b, expected] : refused) EXPECT_NE(decode(b).find(expected), std::string::npos) << expected;
    // Every cut and some random damage: a message or a picture, never a
    // read outside the data (the sanitizers watch).
    for (std::size_t length = 0; length < bytes.size(); length += 7) {
        const std::string e = decode(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(e.rfind("x.bmp: ", 0), 0u) << "cut to " << length << ": " << e;
    }
    demo::Rng rng(5);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes damaged = bytes;
        damaged[static_cast<std::size_t>(rng.Below(54))] = static_cast<std::uint8_t>(rng.Next());
        EXPECT_TRUE(!decode(damaged).empty() || back.pixels.size() == static_cast<std::size_t>(back.width) * back.height);
    }
}

// Art from other editors in every form it comes in: how anxinfo reports it
// (its form, how the library and the packer take it, the way out when
// neither does), and the packer reading it as one byte a pixel holding the
// index the file holds, whatever the file is called.
TEST(Pictures, EachFormIsReportedAndReadWithItsIndices) {
    anim::test::ScratchDir dir;
    const std::string path = dir.File("art.pic");
    struct Case {
        int bits;  // 24 (a BMP) or 0 (a PNG): truecolour
        bool png = false, topDown = false, core = false, rle = false;
        std::vector<std::string> lines = {};
        bool usable = true;
    };
    const Case cases[] = {
        {.bits = 8, .lines = {"8 bits per pixel, 256 colours, uncompressed, rows bottom-up", "library   read as is", "anxpack   read as is"}},
        {.bits = 4, .topDown = true, .lines = {"rows top-down", "library   widened to 8 bits", "anxpack   widened to 8 bits, each index kept"}},
        {.bits = 2, .topDown = true},
        {.bits = 1},
        {.bits = 1, .core = true, .lines = {"OS/2 1.x core header (12 bytes)", "library   widened to 8 bits"}},
        {.bits = 4, .rle = true, .lines = {"RLE4", "library   widened to 8 bits", "anxpack   refused: RLE4-compressed BMP"}},
        {.bits = 24,
         .lines = {"library   refused: truecolour; convert with e.g. `convert in.png -colors 236 BMP3:out.bmp`",
                   "anxpack   refused: 24-bit BMP: truecolour"},
         .usable = false},
        {.bits = 1, .png = true},
        {.bits = 2, .png = true},
        {.bits = 4, .png = true, .lines = {"PNG, 9x5, palette, bit depth 4, 16 colours, index 0 transparent", "library   refused: OpenDIB reads BMP files", "anxpack   widened to 8 bits"}},
        {.bits = 8, .png = true},
        {.bits = 0, .png = true,
         .lines = {"anxpack   refused: truecolour PNG; frames need palette colours: convert with e.g. `convert in.png -colors 236 PNG8:out.png`"},
         .usable = false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + (c.png ? "-bit PNG" : "-bit BMP") + (c.topDown ? ", top-down" : "") +
                     (c.core ? ", OS/2 core header" : "") + (c.rle ? ", RLE" : ""));
        // An odd width, so that rows end inside a byte.
        const IndexedImage art = toolstest::Pattern(9, 5, 1 << std::min(c.bits > 0 ? c.bits : 4, 8));
        if (c.png) {
            ASSERT_TRUE(toolstest::WritePng(path, art, c.bits, {0}));
        } else {
            toolstest::WriteBmp(path, art, c.bits, c.topDown, c.core);
        }
        Bytes bytes = ReadFileBytes(path);
        if (c.rle) {
            bytes[14 + 16] = 2;
            anim::test::WriteFileBytes(path, bytes);
        }
        imageio::PngForm form;
        IndexedImage back;
        EXPECT_EQ(imageio::ReadIndexedPng(bytes, "", back, &form).empty(), c.png && c.bits > 0);
        EXPECT_EQ(form.bitDepth, c.png ? (c.bits > 0 ? c.bits : 8) : 0) << "the PNG is not of the form under test";

        ASSERT_TRUE(anxinfo::IsPicture(bytes));
        const anxinfo::PictureReport report = anxinfo::DescribePicture(bytes, path);
        for (const std::string &line : c.lines) EXPECT_NE(report.text.find(line), std::string::npos) << report.text;
        EXPECT_EQ(report.usable, c.usable);

        back = IndexedImage();
        const std::string error = anxpack::ReadPicture(path, back);
        ASSERT_EQ(error.empty(), c.usable && !c.rle) << error;
        if (!error.empty()) continue;
        EXPECT_EQ(back.pixels, art.pixels);
        EXPECT_TRUE(std::equal(art.colours.begin(), art.colours.begin() + (1 << c.bits), back.colours.begin()));
    }
}

TEST(Manifest, FramesInheritAndOverrideTheSequence) {
    std::string error;
    auto m = anxpack::ParseManifest(R"({"sequences": [
        {"id": 1, "kind": "scalable", "sheet": "s.bmp", "number_sheet": "n.bmp", "origin": [-4, -9],
         "frames": [{"cell": 3}, {"cell": 4, "origin": [1, 2], "number_cell": 0}, {"bmp": "x.bmp"}]}]})",
                                    "dir/m.json", error);
    ASSERT_TRUE(m) << error;
    EXPECT_EQ(m->folder, "dir");
    const anxpack::ManifestSequence &s = m->sequences[0];
    EXPECT_EQ(s.originX, -4);
    EXPECT_EQ(s.frames[0].numberCell, 3) << "a cell's number art defaults to the same cell";
    EXPECT_FALSE(s.frames[0].originX);
    EXPECT_EQ(s.frames[1].originX.value_or(0), 1);
    EXPECT_EQ(s.frames[1].numberCell, 0);
    EXPECT_EQ(s.frames[2].numberCell, -1) << "a whole-picture frame has no number unless given one";
}

}  // namespace
