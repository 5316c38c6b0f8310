// The inspector: what it reports about a packed file, the contact sheet it
// draws through the library's decoder, and files cut short or damaged,
// which it must describe without reading outside them.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "animate.h"
#include "anx_file.h"
#include "contact_sheet.h"
#include "pack.h"
#include "picture_report.h"
#include "rng.h"
#include "tool_fixtures.h"

namespace {

using imageio::IndexedImage;
using toolstest::Figure;

class InfoTest : public toolstest::ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        Bmp8("a.bmp", Figure(10, 14, 70, 71));
        Bmp8("b.bmp", Figure(10, 14, 72, 71));
        // Number art: the right digit's top segment (colour 9) across row 2.
        IndexedImage number(10, 14, 0);
        for (int x = 2; x < 8; ++x) number.At(x, 2) = 9;
        Bmp8("n.bmp", number);
        toolstest::WriteText(dir.File("m.json"), R"({
            "team_colours": {"first": 70, "count": 4, "shift": 20},
            "sequences": [
              {"id": 7, "name": "run", "kind": "scalable",
               "frames": [{"bmp": "a.bmp", "number": "n.bmp"}, {"bmp": "b.bmp"}, {"repeat": 0}]},
              {"id": 8, "kind": "delta", "frames": [{"bmp": "a.bmp"}, {"bmp": "b.bmp"}]}]})");
        packed = anxpack::PackManifest(dir.File("m.json"), dir.File("f.anx"));
        ASSERT_TRUE(packed) << packed.error;
        std::string error;
        file = anxinfo::ReadAnxFile(dir.File("f.anx"), error);
        ASSERT_TRUE(file) << error;
    }

    anxpack::PackResult packed;
    std::optional<anxinfo::AnxFile> file;
};

TEST_F(InfoTest, ReportsSequencesNotesAndNumberSets) {
    EXPECT_TRUE(file->problems.empty()) << file->problems.front();
    EXPECT_EQ(file->sequenceCount, 2);
    ASSERT_EQ(file->sequences.size(), 2u);
    const anxinfo::Sequence &run = file->sequences[0];
    EXPECT_FALSE(run.delta);
    EXPECT_EQ(run.frameCount, 3);
    EXPECT_EQ(run.RepeatFrames(), 1);
    EXPECT_EQ(run.expandSize, anxpack::ExpandSize(10, 14));
    EXPECT_GT(run.Markers(), 0);
    ASSERT_TRUE(run.meta);
    EXPECT_EQ(run.meta->id, 7);
    EXPECT_EQ(run.meta->name, "run");
    EXPECT_EQ(run.meta->team, (anxpack::TeamColours{70, 4, 20}));
    ASSERT_TRUE(run.numbers);
    ASSERT_EQ(run.numbers->overlays.size(), 3u);
    EXPECT_TRUE(run.numbers->overlays[0]);
    EXPECT_FALSE(run.numbers->overlays[1]);
    EXPECT_TRUE(file->sequences[1].delta);
    EXPECT_FALSE(file->sequences[1].numbers);
    // The two tools state the same costs for the same file.
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(file->sequences[i].StoredBytes(), packed.stats[i].storedBytes) << i;
        EXPECT_EQ(file->sequences[i].RawBytes(), packed.stats[i].rawBytes) << i;
        EXPECT_EQ(file->sequences[i].Markers(), packed.stats[i].markers) << i;
    }
}

// Rows labelled in boxes of colour 250 with letters of 251, a second row in
// the second kit for the scalable sequence alone (a delta sequence plays in
// its own colours only), the number drawn in the segments it lights.
TEST_F(InfoTest, ContactSheetShowsKitsNumbersAndLabels) {
    anxinfo::SheetOptions options;
    options.colours.fill({128, 128, 128});
    options.colours[250] = {255, 255, 255};
    options.colours[251] = {0, 0, 0};
    options.numberColours[0] = 200;
    options.numberColours[1] = 201;
    std::array<int, 256> h{};
    auto draw = [&] {  // returns the labels, counted down the leftmost column of label boxes
        std::vector<std::string> problems;
        const IndexedImage sheet = anxinfo::DrawContactSheet(*file, options, problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
        h.fill(0);
        for (std::uint8_t p : sheet.pixels) ++h[p];
        for (int x = 0; x < sheet.width; ++x) {
            int runs = 0;
            for (int y = 0; y < sheet.height; ++y) runs += sheet.At(x, y) == 250 && (y == 0 || sheet.At(x, y - 1) != 250);
            if (runs > 0) return runs;
        }
        return 0;
    };
    EXPECT_EQ(draw(), 2);
    EXPECT_GT(h[251], 0) << "no letters in the labels";
    EXPECT_EQ(h[90], 0);
    options.teams = true;
    options.number = 1;  // a lone 1 lights the right digit's left-hand segments, not its top
    EXPECT_EQ(draw(), 3);
    for (const int kit : {70, 72, 90, 92}) EXPECT_GT(h[kit], 0) << kit;
    EXPECT_EQ(h[200], 0) << "number 1 does not light the top segment";
    options.number = 7;  // 7 lights the top segment
    draw();
    // Frame 0 and its repeat, in each kit: six pixels a frame.
    EXPECT_EQ(h[200], 2 * 6);
    EXPECT_EQ(h[201], 2 * 6);
}

TEST_F(InfoTest, CutAndDamagedFilesAreDescribedNotTrusted) {
    // Every length the file can be cut to, then random bytes changed; the
    // sanitizers watch for any read outside the data.
    auto inspect = [](std::vector<std::uint8_t> bytes) {
        std::string error;
        auto file = anxinfo::ParseAnxFile(std::move(bytes), "bad.anx", error);
        anxinfo::SheetOptions options;
        options.teams = true;
        std::vector<std::string> problems;
        if (file) anxinfo::DrawContactSheet(*file, options, problems);
        return file;
    };
    const std::vector<std::uint8_t> &bytes = file->bytes;
    for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 64) {
        const auto cut = inspect(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        ASSERT_EQ(cut.has_value(), length >= anxinfo::kFileHeaderSize) << length;
        if (cut) {
            EXPECT_FALSE(cut->problems.empty()) << "cut to " << length << " bytes, no problem noticed";
        }
    }
    demo::Rng rng(99);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<std::uint8_t> damaged = bytes;
        for (int k = 0; k < 1 + trial % 4; ++k)
            damaged[static_cast<std::size_t>(rng.Below(static_cast<int>(damaged.size())))] = static_cast<std::uint8_t>(rng.Next());
        ASSERT_TRUE(inspect(damaged));
    }
}

// A picture given to anxinfo: its form, and how the library and the packer
// take it, with the way out when neither does.
TEST(PictureReport, SaysHowEachFormIsRead) {
    anim::test::ScratchDir dir;
    const IndexedImage art = toolstest::Pattern(9, 5, 16);
    const std::string path = dir.File("picture");
    struct Case {
        std::function<void()> write;
        std::vector<std::string> lines;
        bool usable = true;
    };
    const Case cases[] = {
        {[&] { ASSERT_EQ(anxpack::WriteBmp8(path, art), ""); },
         {"8 bits per pixel, 256 colours, uncompressed, rows bottom-up", "library   read as is", "anxpack   read as is"}},
        {[&] { toolstest::WriteBmp(path, art, 4, true); },
         {"rows top-down", "library   widened to 8 bits", "anxpack   widened to 8 bits, each index kept"}},
        {[&] { toolstest::WriteBmp(path, art, 1, false, true); }, {"OS/2 1.x core header (12 bytes)", "library   widened to 8 bits"}},
        {[&] {
             toolstest::WriteBmp(path, art, 4);
             auto b = anim::test::ReadFileBytes(path);
             b[14 + 16] = 2;  // RLE4
             anim::test::WriteFileBytes(path, b);
         },
         {"RLE4", "library   widened to 8 bits", "anxpack   refused: RLE4-compressed BMP"}},
        {[&] { toolstest::WriteBmp(path, IndexedImage(8, 8), 24); },
         {"library   refused: truecolour; convert with e.g. `convert in.png -colors 236 BMP3:out.bmp`",
          "anxpack   refused: 24-bit BMP: truecolour"},
         false},
        {[&] { ASSERT_TRUE(toolstest::WritePng(path, art, 4, {0})); },
         {"PNG, 9x5, palette, bit depth 4, 16 colours, index 0 transparent", "library   refused: OpenDIB reads BMP files",
          "anxpack   widened to 8 bits"}},
        {[&] { ASSERT_TRUE(toolstest::WritePng(path, art, 0)); },
         {"anxpack   refused: truecolour PNG; frames need palette colours: convert with e.g. "
          "`convert in.png -colors 236 PNG8:out.png`"},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines[0]);
        c.write();
        const auto bytes = anim::test::ReadFileBytes(path);
        ASSERT_TRUE(anxinfo::IsPicture(bytes));
        const anxinfo::PictureReport report = anxinfo::DescribePicture(bytes, path);
        for (const std::string &line : c.lines) EXPECT_NE(report.text.find(line), std::string::npos) << report.text;
        EXPECT_EQ(report.usable, c.usable);
    }
}

}  // namespace
