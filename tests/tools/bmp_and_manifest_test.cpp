// Reading the inputs of the packer: palette BMPs and indexed PNGs in the
// forms they come in (and damaged ones), and the manifest's finer rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bmp_file.h"
#include "manifest.h"
#include "picture_file.h"
#include "png_file.h"
#include "rng.h"
#include "tool_fixtures.h"

namespace {

using anim::test::ReadFileBytes;
using anim::test::ScratchDir;
using anim::test::WriteFileBytes;
using toolstest::Figure;

TEST(Bmp8, ReadsBottomUpTopDownAndBareHeaders) {
    ScratchDir dir;
    imageio::IndexedImage art = Figure(5, 3, 70, 71);  // odd width: rows are padded
    art.At(1, 0) = 9;                                      // marks the top row
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("a.bmp"), art), "");
    std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("a.bmp"));

    imageio::IndexedImage back;
    ASSERT_EQ(anxpack::ReadBmp8(dir.File("a.bmp"), back), "");
    EXPECT_EQ(back.pixels, art.pixels);
    EXPECT_EQ(back.colours, art.colours);

    // Without the 14-byte file header.
    WriteFileBytes(dir.File("bare.bmp"), std::vector<std::uint8_t>(bytes.begin() + 14, bytes.end()));
    ASSERT_EQ(anxpack::ReadBmp8(dir.File("bare.bmp"), back), "");
    EXPECT_EQ(back.pixels, art.pixels);

    // Rows stored top-down (negative height): the rows come in reverse.
    std::vector<std::uint8_t> flipped = bytes;
    const std::int32_t negative = -3;
    std::memcpy(&flipped[14 + 8], &negative, 4);
    WriteFileBytes(dir.File("down.bmp"), flipped);
    ASSERT_EQ(anxpack::ReadBmp8(dir.File("down.bmp"), back), "");
    EXPECT_EQ(back.At(1, 2), 9) << "the first stored row is the top one now";

    // Fewer colours than 256 in the table.
    std::vector<std::uint8_t> few = bytes;
    const std::uint32_t used = 16;
    std::memcpy(&few[14 + 32], &used, 4);
    const std::uint32_t offset = 14 + 40 + 16 * 4;
    std::memcpy(&few[10], &offset, 4);
    few.erase(few.begin() + offset, few.begin() + 14 + 40 + 1024);
    WriteFileBytes(dir.File("few.bmp"), few);
    ASSERT_EQ(anxpack::ReadBmp8(dir.File("few.bmp"), back), "");
    EXPECT_EQ(back.pixels, art.pixels);
    EXPECT_EQ(back.colours[15], art.colours[15]);
    EXPECT_EQ(back.colours[200], imageio::Rgb{}) << "colours beyond the table are black";
}

TEST(Bmp8, RefusesWhatIsNotAnUncompressedEightBitPicture) {
    ScratchDir dir;
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("a.bmp"), Figure(6, 4, 70, 71)), "");
    const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("a.bmp"));
    imageio::IndexedImage img;

    std::vector<std::uint8_t> rle = bytes;
    rle[14 + 16] = 1;  // BI_RLE8
    WriteFileBytes(dir.File("rle.bmp"), rle);
    EXPECT_NE(anxpack::ReadBmp8(dir.File("rle.bmp"), img).find("compressed"), std::string::npos);

    std::vector<std::uint8_t> deep = bytes;
    deep[14 + 14] = 16;
    WriteFileBytes(dir.File("deep.bmp"), deep);
    EXPECT_NE(anxpack::ReadBmp8(dir.File("deep.bmp"), img).find("16-bit BMP: truecolour"),
              std::string::npos);

    std::vector<std::uint8_t> huge = bytes;
    const std::int32_t wide = 1 << 30;
    std::memcpy(&huge[14 + 4], &wide, 4);
    WriteFileBytes(dir.File("huge.bmp"), huge);
    EXPECT_NE(anxpack::ReadBmp8(dir.File("huge.bmp"), img).find("unusable size"), std::string::npos);

    // Every cut and some random damage: a message or a picture, never a
    // read outside the file (the sanitizers watch).
    for (std::size_t length = 0; length < bytes.size(); length += 7) {
        WriteFileBytes(dir.File("cut.bmp"), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        const std::string e = anxpack::ReadBmp8(dir.File("cut.bmp"), img);
        EXPECT_FALSE(e.empty()) << "cut to " << length;
        EXPECT_EQ(e.rfind(dir.File("cut.bmp"), 0), 0u) << "message starts with the file: " << e;
    }
    demo::Rng rng(5);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[static_cast<std::size_t>(rng.Below(54))] = static_cast<std::uint8_t>(rng.Next());
        WriteFileBytes(dir.File("bad.bmp"), damaged);
        if (anxpack::ReadBmp8(dir.File("bad.bmp"), img).empty()) {
            EXPECT_EQ(img.pixels.size(), static_cast<std::size_t>(img.width) * img.height);
        }
    }
}

// Art from other editors: every narrower palette BMP and every indexed PNG
// becomes one byte a pixel holding the index the file holds, whatever the
// file is called.
TEST(Pictures, NarrowAndPngPixelsKeepTheirIndices) {
    ScratchDir dir;
    struct Case {
        const char *what;
        int bits;
        bool png;
        bool topDown = false;
        bool core = false;
    };
    const Case cases[] = {
        {"1-bit BMP", 1, false}, {"2-bit BMP, top-down", 2, false, true},
        {"4-bit BMP", 4, false}, {"1-bit BMP, OS/2 core header", 1, false, false, true},
        {"1-bit PNG", 1, true},  {"2-bit PNG", 2, true},
        {"4-bit PNG", 4, true},  {"8-bit PNG", 8, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // An odd width, so that rows end inside a byte.
        const imageio::IndexedImage art = toolstest::Pattern(11, 5, 1 << c.bits);
        const std::string path = dir.File("art.pic");
        if (c.png) {
            ASSERT_TRUE(toolstest::WriteIndexedPng(path, art, c.bits));
            imageio::PngForm form;
            imageio::IndexedImage unused;
            ASSERT_EQ(imageio::ReadIndexedPng(ReadFileBytes(path), "", unused, &form), "");
            EXPECT_EQ(form.bitDepth, c.bits) << "the PNG is not of the depth under test";
        } else {
            toolstest::WritePaletteBmp(path, art, c.bits, c.topDown, c.core);
        }
        imageio::IndexedImage back;
        ASSERT_EQ(anxpack::ReadPicture(path, back), "");
        EXPECT_EQ(back.pixels, art.pixels);
        for (int i = 0; i < (1 << c.bits); ++i)
            EXPECT_EQ(back.colours[static_cast<std::size_t>(i)],
                      art.colours[static_cast<std::size_t>(i)])
                << i;
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

TEST(Manifest, RefusesRulesThatWouldMisplayLater) {
    const std::pair<const char *, const char *> cases[] = {
        {R"({"sequences": [{"id": 1, "kind": "delta", "frames": [{"bmp": "a.bmp", "number": "n.bmp"}]}]})",
         "no number overlays"},
        {R"({"sequences": [{"id": 1, "kind": "delta", "frames": [{"bmp": "a.bmp"}, {"repeat": 0}]}]})",
         "no repeat frames"},
        {R"({"sequences": [{"id": 1, "kind": "scalable", "key_interval": 4, "frames": [{"bmp": "a.bmp"}]}]})",
         "delta sequences only"},
        {R"({"team_colours": {"first": 250, "count": 8, "shift": 1},
             "sequences": [{"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})",
         "outside 0..6"},
        {R"({"sequences": [{"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp", "adjust": [1]}]}]})",
         "[x, y]"},
        {R"({"sequences": [{"id": 1, "kind": "scalable", "frames": [{"repeat": 0, "adjust": [1, 1]}]}]})",
         "takes no \"adjust\""},
        {R"({"sequences": []})", "non-empty \"sequences\""},
        {R"({"sequences": [{"id": 1, "kind": "scalable", "frames": []}]})", "non-empty \"frames\""},
        {R"({"sequences": [{"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp", "cell": 1}]}]})",
         "exactly one of"},
    };
    for (const auto &[text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(anxpack::ParseManifest(text, "m.json", error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(error.rfind("m.json", 0), 0u) << error;
    }
}

}  // namespace
