// The inspector: what it reports about a packed file, the contact sheet it
// draws through the library's decoder, and files cut short or damaged,
// which it must describe without reading outside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "animate.h"
#include "anx_file.h"
#include "contact_sheet.h"
#include "pack.h"
#include "rng.h"
#include "tool_fixtures.h"

namespace {

using anim::test::ScratchDir;
using toolstest::Figure;

class InfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
        ASSERT_EQ(anxpack::WriteBmp8(dir.File("a.bmp"), Figure(10, 14, 70, 71)), "");
        ASSERT_EQ(anxpack::WriteBmp8(dir.File("b.bmp"), Figure(10, 14, 72, 71)), "");
        // Number art: the right digit's top segment (colour 9) across row 2.
        imageio::IndexedImage number(10, 14, 0);
        for (int x = 2; x < 8; ++x) number.At(x, 2) = 9;
        ASSERT_EQ(anxpack::WriteBmp8(dir.File("n.bmp"), number), "");
        toolstest::WriteText(dir.File("m.json"), R"({
            "team_colours": {"first": 70, "count": 4, "shift": 20},
            "sequences": [
              {"id": 7, "name": "run", "kind": "scalable",
               "frames": [{"bmp": "a.bmp", "number": "n.bmp"}, {"bmp": "b.bmp"}, {"repeat": 0}]},
              {"id": 8, "kind": "delta", "frames": [{"bmp": "a.bmp"}, {"bmp": "b.bmp"}]}]})");
        anxpack::PackResult r = anxpack::PackManifest(dir.File("m.json"), dir.File("f.anx"));
        ASSERT_TRUE(r) << r.error;
        bytes = anim::test::ReadFileBytes(dir.File("f.anx"));
    }
    void TearDown() override { AnimSetTraceHandler(nullptr, nullptr); }

    ScratchDir dir;
    std::vector<std::uint8_t> bytes;
};

TEST_F(InfoTest, ReportsSequencesNotesAndNumberSets) {
    std::string error;
    auto file = anxinfo::ReadAnxFile(dir.File("f.anx"), error);
    ASSERT_TRUE(file) << error;
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
}

// Colours of the sheet's pixels, counted.
std::array<int, 256> Histogram(const imageio::IndexedImage &img) {
    std::array<int, 256> h{};
    for (std::uint8_t p : img.pixels) ++h[p];
    return h;
}

TEST_F(InfoTest, ContactSheetShowsBothKitsAndTheNumber) {
    std::string error;
    auto file = anxinfo::ReadAnxFile(dir.File("f.anx"), error);
    ASSERT_TRUE(file) << error;
    anxinfo::SheetOptions options;
    options.teams = true;
    options.number = 1;  // a lone 1 lights the right digit's left-hand segments, not its top
    options.numberColours[0] = 200;
    options.numberColours[1] = 201;
    std::vector<std::string> problems;
    imageio::IndexedImage sheet = anxinfo::DrawContactSheet(*file, options, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    auto h = Histogram(sheet);
    EXPECT_GT(h[70], 0);
    EXPECT_GT(h[72], 0);
    EXPECT_GT(h[90], 0) << "second kit missing";
    EXPECT_GT(h[92], 0) << "second kit missing";
    EXPECT_EQ(h[200], 0) << "number 1 does not light the top segment";

    options.number = 7;  // 7 lights the top segment
    problems.clear();
    h = Histogram(anxinfo::DrawContactSheet(*file, options, problems));
    // Frame 0 and its repeat, in each kit: six pixels a frame.
    EXPECT_EQ(h[200], 2 * 6);
    EXPECT_EQ(h[201], 2 * 6);
}

TEST_F(InfoTest, CutAndDamagedFilesAreDescribedNotTrusted) {
    // Every length the file can be cut to, then random bytes changed; the
    // sanitizers watch for any read outside the data.
    for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 64) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        anim::test::WriteFileBytes(dir.File("cut.anx"), cut);
        std::string error;
        auto file = anxinfo::ReadAnxFile(dir.File("cut.anx"), error);
        if (length < anxinfo::kFileHeaderSize) {
            EXPECT_FALSE(file);
            continue;
        }
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->problems.empty()) << "cut to " << length << " bytes, no problem noticed";
        anxinfo::SheetOptions options;
        options.teams = true;
        std::vector<std::string> problems;
        anxinfo::DrawContactSheet(*file, options, problems);
    }
    demo::Rng rng(99);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<std::uint8_t> damaged = bytes;
        for (int k = 0; k < 1 + trial % 4; ++k) {
            damaged[static_cast<std::size_t>(rng.Below(static_cast<int>(damaged.size())))] =
                static_cast<std::uint8_t>(rng.Next());
        }
        anim::test::WriteFileBytes(dir.File("bad.anx"), damaged);
        std::string error;
        auto file = anxinfo::ReadAnxFile(dir.File("bad.anx"), error);
        ASSERT_TRUE(file);
        anxinfo::SheetOptions options;
        options.teams = true;
        std::vector<std::string> problems;
        anxinfo::DrawContactSheet(*file, options, problems);
    }
}

}  // namespace
