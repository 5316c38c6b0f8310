// The packer: manifests and pictures it must refuse (each with one message
// naming the file and the problem, and no file written), and files it
// writes that the library loads and plays as the manifest says.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "animate.h"
#include "manifest.h"
#include "pack.h"
#include "picture_file.h"
#include "sequence_meta.h"
#include "tool_fixtures.h"

namespace {

using anim::test::LeakCheck;
using anim::test::ScratchDir;
using toolstest::Figure;
using toolstest::WriteText;

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
        ASSERT_EQ(anxpack::WriteBmp8(dir.File("a.bmp"), Figure(12, 20, 70, 71)), "");
        ASSERT_EQ(anxpack::WriteBmp8(dir.File("b.bmp"), Figure(12, 20, 72, 71)), "");
    }
    void TearDown() override { AnimSetTraceHandler(nullptr, nullptr); }

    // Packs text as a manifest; the output must not exist after a refusal.
    anxpack::PackResult PackText(const std::string &text) {
        WriteText(dir.File("m.json"), text);
        std::remove(dir.File("out.anx").c_str());
        anxpack::PackResult r = anxpack::PackManifest(dir.File("m.json"), dir.File("out.anx"));
        if (!r) {
            EXPECT_FALSE(toolstest::Exists(dir.File("out.anx"))) << "a refused pack left a file";
            EXPECT_FALSE(toolstest::Exists(dir.File("out.anx.part"))) << "a refused pack left its temporary";
        }
        return r;
    }

    ScratchDir dir;
};

std::string OneSequence(const std::string &frames, const std::string &extra = "") {
    return R"({"sequences": [{"id": 5, "kind": "scalable", )" + extra + R"("frames": [)" + frames + "]}]}";
}

TEST_F(PackTest, RefusesEachBadInputWithOneMessageNamingTheFile) {
    struct Case {
        const char *what;
        std::string manifest;
        std::string mustMention;
    };
    toolstest::WriteTrueColourBmp(dir.File("rgb.bmp"), 8, 8);
    ASSERT_TRUE(toolstest::WriteTrueColourPng(dir.File("rgb.png"), 8, 8));
    ASSERT_TRUE(toolstest::WriteIndexedPng(dir.File("clear3.png"), Figure(8, 8, 2, 3), 2, {3}));
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("big.bmp"), Figure(101, 100, 70, 71)), "");
    std::filesystem::create_directory(dir.File("folder"));
    ASSERT_EQ(mkfifo(dir.File("fifo.bmp").c_str(), 0600), 0);
    const Case cases[] = {
        {"missing picture", OneSequence(R"({"bmp": "nowhere.bmp"})"), "nowhere.bmp: cannot open"},
        {"a folder for a picture", OneSequence(R"({"bmp": "folder"})"), "folder: is a folder"},
        {"a fifo for a picture", OneSequence(R"({"bmp": "fifo.bmp"})"),
         "fifo.bmp: is not a regular file"},
        {"24-bit picture", OneSequence(R"({"bmp": "rgb.bmp"})"), "rgb.bmp: 24-bit BMP: truecolour"},
        {"truecolour PNG", OneSequence(R"({"bmp": "rgb.png"})"),
         "rgb.png: truecolour PNG; frames need palette colours: convert"},
        {"transparent PNG index other than 0", OneSequence(R"({"bmp": "clear3.png"})"),
         "clear3.png: palette index 3 is transparent (tRNS), but index 0 is the library's only "
         "transparent colour"},
        {"frame beyond the object buffer", OneSequence(R"({"bmp": "big.bmp"})"), "10440 bytes"},
        {"two sequences with one id",
         R"({"sequences": [{"id": 9, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]},
                            {"id": 9, "kind": "delta", "frames": [{"bmp": "b.bmp"}]}]})",
         "both use id 9"},
        {"id of none",
         R"({"sequences": [{"id": -1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})",
         "id -1"},
        {"not JSON", "{\"sequences\": [", "not valid JSON"},
        {"unknown kind",
         R"({"sequences": [{"id": 1, "kind": "wobbly", "frames": [{"bmp": "a.bmp"}]}]})",
         "\"kind\""},
        {"repeat of a repeat", OneSequence(R"({"bmp": "a.bmp"}, {"repeat": 0}, {"repeat": 1})"),
         "itself a repeat"},
        {"repeat past the end", OneSequence(R"({"bmp": "a.bmp"}, {"repeat": 7})"),
         "beyond the sequence"},
        {"cell without a sheet", OneSequence(R"({"cell": 0})"), "no \"sheet\""},
        {"number art outside the frame",
         OneSequence(R"({"bmp": "a.bmp", "number": "b.bmp", "number_at": [4, 4]})"),
         "does not lie inside"},
        {"unknown key", OneSequence(R"({"bmp": "a.bmp", "colour": 3})"), "unknown key \"colour\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LeakCheck leaks;
        anxpack::PackResult r = PackText(c.manifest);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.failure, anxpack::PackFailure::kBadInput);
        EXPECT_NE(r.error.find(c.mustMention), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << "one line: " << r.error;
        EXPECT_NE(r.error.find(dir.File("")), std::string::npos) << "names no file: " << r.error;
    }
}

TEST_F(PackTest, ScalableFramesUpToTheObjectBufferAreTaken) {
    // 100 x 100 expands to exactly 32 + 8 + 100 * 100 = 10040 bytes.
    EXPECT_EQ(anxpack::ExpandSize(100, 100), anxpack::kAnimObjectBufferSize);
    EXPECT_EQ(anxpack::ExpandSize(97, 100), anxpack::kAnimObjectBufferSize);  // rows padded to 100
    EXPECT_EQ(anxpack::ExpandSize(101, 100), 10440u);
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("edge.bmp"), Figure(100, 100, 70, 71)), "");
    anxpack::PackResult r = PackText(OneSequence(R"({"bmp": "edge.bmp"})"));
    ASSERT_TRUE(r) << r.error;
    ASSERT_EQ(r.stats.size(), 1u);
    EXPECT_EQ(r.stats[0].expandSize, 10040u);
}

TEST_F(PackTest, PackedFilePlaysFramesRepeatsAdjustsAndNotes) {
    LeakCheck leaks;
    anxpack::PackResult r = PackText(R"({
        "team_colours": {"first": 70, "count": 3, "shift": 10},
        "sequences": [
          {"id": 42, "name": "walk", "kind": "scalable", "origin": [-6, -20],
           "frames": [{"bmp": "a.bmp"}, {"bmp": "b.bmp", "adjust": [3, -2]}, {"repeat": 0}]},
          {"id": 43, "kind": "delta", "frames": [{"bmp": "a.bmp", "adjust": [2, 1]}, {"bmp": "b.bmp"}]}]})");
    ASSERT_TRUE(r) << r.error;
    ASSERT_EQ(r.ids, (std::vector<std::int32_t>{42, 43}));
    // The delta frame's adjust is dropped with a note; the scalable one's is kept.
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("m.json: sequence 1 (id 43), frame 0: \"adjust\" [2, 1] is ignored"),
              std::string::npos)
        << r.warnings[0];
    ASSERT_EQ(r.stats.size(), 2u);
    EXPECT_EQ(r.stats[0].frames, 3);
    EXPECT_EQ(r.stats[0].repeatFrames, 1);
    EXPECT_TRUE(r.stats[1].delta);
    const std::string table = anxpack::SummaryTable(r);
    EXPECT_NE(table.find("walk"), std::string::npos);
    EXPECT_NE(table.find("2 sequences"), std::string::npos);

    EngineState *engine = InitAnimate();
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(InitProjector(engine, 4, 4, 1), 1);
    ASSERT_EQ(MakeOffScreenDib(engine, 64, 64), 0);
    DupKOVRLETableSetup(engine, 70, 3, 10);
    const std::int32_t handle = LoadMultiAnim(engine, dir.File("out.anx").c_str(), r.ids.data(), 2, 2, 0);
    ASSERT_GE(handle, 0);
    const std::int32_t obj = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, obj, 42, 1, 0), 1);
    EXPECT_EQ(FrameCount(engine, obj), 3);

    // Frame 0 at (30, 40): the origin puts its top-left at (24, 20); team 1
    // sees body colour 70 as 80.
    ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
    RECT rect{};
    GetSpriteRect(engine, &rect, GetSprite(engine, obj));
    EXPECT_EQ(rect.left, 24);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(GetSpritePDib(engine, GetSpriteDib(engine, obj))[5 * 12 + 5], 80);
    // Frame 1 carries its adjust.
    ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
    GetSpriteRect(engine, &rect, GetSprite(engine, obj));
    EXPECT_EQ(rect.left, 27);
    EXPECT_EQ(rect.top, 18);
    EXPECT_EQ(GetSpritePDib(engine, GetSpriteDib(engine, obj))[5 * 12 + 5], 82);
    // Frame 2 repeats frame 0.
    ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
    EXPECT_EQ(GetSpritePDib(engine, GetSpriteDib(engine, obj))[5 * 12 + 5], 80);
    EXPECT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 0);

    SetAnimObjectAnim(engine, obj, -1, 0, 0);
    EXPECT_EQ(DestroyMultiAnim(engine, handle), 1);
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);
}

// Art from a pixel-art editor (an indexed PNG) and from an old paint program
// (a 4-bit BMP) plays with exactly the indices it was drawn in.
TEST_F(PackTest, IndexedPngAndFourBitBmpPlayWithTheirIndices) {
    LeakCheck leaks;
    imageio::IndexedImage drawn = Figure(12, 20, 80, 81);
    drawn.At(3, 2) = 200;  // marks the top and the left
    const imageio::IndexedImage png_art = drawn;
    ASSERT_TRUE(toolstest::WriteIndexedPng(dir.File("walk.png"), png_art, 8));
    const imageio::IndexedImage bmp_art = toolstest::Pattern(12, 20, 16);
    toolstest::WritePaletteBmp(dir.File("walk4.bmp"), bmp_art, 4);
    anxpack::PackResult r = PackText(OneSequence(R"({"bmp": "walk.png"}, {"bmp": "walk4.bmp"})"));
    ASSERT_TRUE(r) << r.error;

    EngineState *engine = InitAnimate();
    ASSERT_EQ(InitProjector(engine, 1, 1, 1), 1);
    ASSERT_EQ(MakeOffScreenDib(engine, 64, 64), 0);
    const std::int32_t handle =
        LoadMultiAnim(engine, dir.File("out.anx").c_str(), r.ids.data(), 1, 1, 0);
    ASSERT_GE(handle, 0);
    const std::int32_t obj = GetAnimObject(engine);
    ASSERT_EQ(SetAnimObjectAnim(engine, obj, 5, 0, 0), 1);
    for (const imageio::IndexedImage *art : {&png_art, &bmp_art}) {
        ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
        const std::uint8_t *rows = GetSpritePDib(engine, GetSpriteDib(engine, obj));
        // Rows are stored bottom-up, 12 bytes each.
        for (int y = 0; y < art->height; ++y)
            for (int x = 0; x < art->width; ++x)
                ASSERT_EQ(rows[(art->height - 1 - y) * 12 + x], art->At(x, y)) << x << ", " << y;
    }
    SetAnimObjectAnim(engine, obj, -1, 0, 0);
    EXPECT_EQ(DestroyMultiAnim(engine, handle), 1);
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);
}

// Frames share one master palette: a picture that gives an index another
// colour than the reference, or draws on the display's own indices, is
// named with the index and both colours; number art is left alone.
TEST_F(PackTest, ColoursThatWouldShowWrongAreNamed) {
    imageio::IndexedImage other = Figure(12, 20, 70, 71);
    other.colours[70] = {1, 2, 3};
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("other.bmp"), other), "");
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("static.bmp"), Figure(12, 20, 5, 71)), "");
    imageio::IndexedImage number(12, 20, 0);
    number.At(4, 4) = 9;
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("number.bmp"), number), "");
    imageio::IndexedImage shifted = Figure(12, 20, 70, 71);
    for (int x = 0; x < 7; ++x) shifted.At(x + 2, 5) = static_cast<std::uint8_t>(100 + x);
    for (int i = 70; i < 110; ++i) shifted.colours[static_cast<std::size_t>(i)] = {9, 9, 9};
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("shifted.bmp"), shifted), "");
    imageio::IndexedImage palette = Figure(2, 2, 0, 0);
    palette.colours[71] = {200, 0, 0};
    ASSERT_TRUE(toolstest::WriteIndexedPng(dir.File("palette.png"), palette, 8));
    const std::string a = dir.File("a.bmp");

    struct Case {
        const char *what;
        std::string frames;
        std::vector<std::string> lines;  // each warning, in order, as far as given
        std::string palette = {};
    };
    const Case cases[] = {
        {"one palette throughout",
         R"({"bmp": "a.bmp"}, {"bmp": "b.bmp", "number": "number.bmp"})",
         {}},
        {"an index of another colour",
         R"({"bmp": "a.bmp"}, {"bmp": "other.bmp"})",
         {dir.File("other.bmp") + ": index 70 is (1, 2, 3) here but (70, 185, 7) in " + a}},
        {"art on a static index",
         R"({"bmp": "static.bmp"})",
         {dir.File("static.bmp") +
          ": index 5 is one of the display's own colours (1-9, 246-255): the game shows "
          "the display's (128, 0, 128) there, not this picture's (5, 250, 7)"}},
        {"a palette of its own: a few lines, then a count",
         R"({"bmp": "a.bmp"}, {"bmp": "shifted.bmp"})",
         {dir.File("shifted.bmp") + ": index 70 is (9, 9, 9)", ": index 71 is", ": index 100 is",
          ": index 101 is", dir.File("shifted.bmp") + ": and 5 more indices like these"}},
        {"the --palette picture as the reference",
         R"({"bmp": "a.bmp"})",
         {a + ": index 71 is (71, 184, 7) here but (200, 0, 0) in palette.png"},
         "palette.png"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool strict : {false, true}) {
            anxpack::PackOptions options;
            options.strict = strict;
            if (!c.palette.empty()) {
                imageio::IndexedImage p;
                ASSERT_EQ(anxpack::ReadPicture(dir.File(c.palette), p), "");
                options.palette = anxpack::ColourReference{c.palette, p.colours};
            }
            WriteText(dir.File("m.json"), OneSequence(c.frames));
            std::remove(dir.File("out.anx").c_str());
            const anxpack::PackResult r =
                anxpack::PackManifest(dir.File("m.json"), dir.File("out.anx"), {}, options);
            ASSERT_EQ(r.warnings.size(), c.lines.size());
            for (std::size_t i = 0; i < c.lines.size(); ++i) {
                EXPECT_NE(r.warnings[i].find(c.lines[i]), std::string::npos) << r.warnings[i];
            }
            // Under --strict any such line refuses the pack, and no file is left.
            const bool refused = strict && !c.lines.empty();
            EXPECT_EQ(static_cast<bool>(r), !refused) << r.error;
            EXPECT_EQ(toolstest::Exists(dir.File("out.anx")), !refused);
            if (refused) {
                EXPECT_NE(r.error.find("refused under --strict"), std::string::npos) << r.error;
            }
        }
    }
}

TEST_F(PackTest, SheetCellsAreMeasuredAndTheirMarksCleared) {
    // Two 10 x 12 cells side by side, corners marked with colour 9.
    imageio::IndexedImage sheet(20, 12, 0);
    for (int x = 0; x < 20; ++x)
        for (int y = 1; y < 12; ++y) sheet.At(x, y) = x < 10 ? 70 : 72;
    sheet.At(0, 0) = sheet.At(10, 0) = 9;
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("sheet.bmp"), sheet), "");
    anxpack::PackResult r =
        PackText(OneSequence(R"({"cell": 1}, {"cell": 0})", R"("sheet": "sheet.bmp", )"));
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(r.stats[0].expandSize, anxpack::ExpandSize(10, 12));

    anxpack::PackResult beyond = PackText(OneSequence(R"({"cell": 2})", R"("sheet": "sheet.bmp", )"));
    ASSERT_FALSE(beyond);
    EXPECT_NE(beyond.error.find("cell 2 is beyond"), std::string::npos) << beyond.error;

    // A sheet without marks has no grid to measure.
    imageio::IndexedImage plain(20, 12, 0);
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("plain.bmp"), plain), "");
    anxpack::PackResult unmarked = PackText(OneSequence(R"({"cell": 0})", R"("sheet": "plain.bmp", )"));
    ASSERT_FALSE(unmarked);
    EXPECT_NE(unmarked.error.find("no cell grid"), std::string::npos) << unmarked.error;
}

TEST(SequenceMeta, SurvivesTheSkipAreaAndRejectsForeignBytes) {
    const anxpack::SequenceMeta meta{-7, "run_left", anxpack::TeamColours{70, 8, 8}};
    const std::vector<std::uint8_t> bytes = anxpack::EncodeMeta(meta);
    EXPECT_EQ(anxpack::DecodeMeta(bytes), meta);
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 1);
    EXPECT_FALSE(anxpack::DecodeMeta(cut));
    std::vector<std::uint8_t> other = bytes;
    other[0] = 'X';
    EXPECT_FALSE(anxpack::DecodeMeta(other));
    EXPECT_FALSE(anxpack::DecodeMeta({}));
}

}  // namespace
