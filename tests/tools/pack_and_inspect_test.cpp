// The packer and the inspector: manifests and pictures the packer must
// refuse (each with one message naming the file and the problem, and no
// file written); a file it writes, which the library plays as the manifest
// says and the inspector reports and draws; the same file cut short or
// damaged, which the inspector must describe without reading outside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "animate.h"
#include "anx_file.h"
#include "contact_sheet.h"
#include "pack.h"
#include "picture_file.h"
#include "rng.h"
#include "sequence_meta.h"
#include "tool_fixtures.h"

namespace {

using anim::test::LeakCheck;
using imageio::IndexedImage;
using toolstest::Figure;

class PackTest : public toolstest::ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        Bmp8("a.bmp", Figure(12, 20, 70, 71));
        Bmp8("b.bmp", Figure(12, 20, 72, 71));
        // Number art: the right digit's top segment (colour 9) across row 2.
        IndexedImage number(12, 20, 0);
        for (int x = 2; x < 8; ++x) number.At(x, 2) = 9;
        Bmp8("n.bmp", number);
    }

    // Packs a file of every kind of sequence, frame and note, and reads it
    // back with the inspector.
    void PackFile() {
        drawn.At(3, 2) = 150;  // marks the top and the left
        ASSERT_TRUE(toolstest::WritePng(dir.File("walk.png"), drawn, 8));
        toolstest::WriteBmp(dir.File("walk4.bmp"), pattern, 4);
        toolstest::WriteText(dir.File("f.json"), R"({
            "team_colours": {"first": 70, "count": 3, "shift": 10},
            "sequences": [
              {"id": 42, "name": "walk", "kind": "scalable", "origin": [-6, -20],
               "frames": [{"bmp": "a.bmp", "number": "n.bmp"}, {"bmp": "b.bmp", "adjust": [3, -2]}, {"repeat": 0}]},
              {"id": 43, "kind": "delta", "frames": [{"bmp": "a.bmp", "adjust": [2, 1]}, {"bmp": "b.bmp"}]},
              {"id": 44, "kind": "scalable", "frames": [{"bmp": "walk.png"}, {"bmp": "walk4.bmp"}]}]})");
        packed = anxpack::PackManifest(dir.File("f.json"), dir.File("f.anx"));
        ASSERT_TRUE(packed) << packed.error;
        std::string error;
        file = anxinfo::ReadAnxFile(dir.File("f.anx"), error);
        ASSERT_TRUE(file) << error;
    }

    IndexedImage drawn = Figure(12, 20, 100, 101);  // the frames of sequence 44
    const IndexedImage pattern = toolstest::Pattern(12, 20, 16);
    anxpack::PackResult packed;
    std::optional<anxinfo::AnxFile> file;

    // Packs text as a manifest; a file is left exactly when the pack succeeds.
    anxpack::PackResult PackText(const std::string &text, const anxpack::PackOptions &options = {}) {
        toolstest::WriteText(dir.File("m.json"), text);
        std::remove(dir.File("out.anx").c_str());
        anxpack::PackResult r = anxpack::PackManifest(dir.File("m.json"), dir.File("out.anx"), {}, options);
        EXPECT_EQ(toolstest::Exists(dir.File("out.anx")), static_cast<bool>(r)) << r.error;
        EXPECT_FALSE(toolstest::Exists(dir.File("out.anx.part"))) << "a pack left its temporary";
        return r;
    }
};

std::string OneSequence(const std::string &frames, const std::string &extra = "", const std::string &kind = "scalable") {
    return R"({"sequences": [{"id": 5, "kind": ")" + kind + R"(", )" + extra + R"("frames": [)" + frames + "]}]}";
}

TEST_F(PackTest, RefusesEachBadInputWithOneMessageNamingTheFile) {
    toolstest::WriteBmp(dir.File("rgb.bmp"), IndexedImage(8, 8), 24);
    ASSERT_TRUE(toolstest::WritePng(dir.File("rgb.png"), toolstest::Pattern(8, 8, 16), 0));
    ASSERT_TRUE(toolstest::WritePng(dir.File("clear3.png"), Figure(8, 8, 2, 3), 2, {3}));
    Bmp8("big.bmp", Figure(101, 100, 70, 71));
    // Two 10 x 12 cells side by side, corners marked with colour 9.
    IndexedImage cells(20, 12, 0);
    for (int x = 0; x < 20; ++x)
        for (int y = 1; y < 12; ++y) cells.At(x, y) = x < 10 ? 70 : 72;
    cells.At(0, 0) = cells.At(10, 0) = 9;
    Bmp8("sheet.bmp", cells);
    Bmp8("plain.bmp", IndexedImage(20, 12, 0));  // no marks: no grid to measure
    std::filesystem::create_directory(dir.File("folder"));
    const std::string a = R"({"bmp": "a.bmp"})", sheet = R"("sheet": "sheet.bmp", )";
    const std::pair<std::string, std::string> cases[] = {
        {OneSequence(R"({"bmp": "nowhere.bmp"})"), "nowhere.bmp: cannot open"},
        {OneSequence(R"({"bmp": "folder"})"), "folder: is a folder"},
        {OneSequence(R"({"bmp": "rgb.bmp"})"), "rgb.bmp: 24-bit BMP: truecolour"},
        {OneSequence(R"({"bmp": "rgb.png"})"), "rgb.png: truecolour PNG; frames need palette colours: convert"},
        {OneSequence(R"({"bmp": "clear3.png"})"),
         "clear3.png: palette index 3 is transparent (tRNS), but index 0 is the library's only transparent colour"},
        {OneSequence(R"({"bmp": "big.bmp"})"), "10440 bytes"},  // one column past the object buffer
        {R"({"sequences": [{"id": 9, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]},
                           {"id": 9, "kind": "delta", "frames": [{"bmp": "b.bmp"}]}]})", "both use id 9"},
        {R"({"sequences": [{"id": -1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})", "id -1"},
        {"{\"sequences\": [", "not valid JSON"},
        {OneSequence(a, "", "wobbly"), "\"kind\""},
        {OneSequence(a + R"(, {"repeat": 0}, {"repeat": 1})"), "itself a repeat"},
        {OneSequence(a + R"(, {"repeat": 7})"), "beyond the sequence"},
        {OneSequence(R"({"cell": 0})"), "no \"sheet\""},
        {OneSequence(R"({"cell": 2})", sheet), "cell 2 is beyond"},
        {OneSequence(R"({"cell": 0})", R"("sheet": "plain.bmp", )"), "no cell grid"},
        {OneSequence(R"({"bmp": "a.bmp", "number": "b.bmp", "number_at": [4, 4]})"), "does not lie inside"},
        {OneSequence(R"({"bmp": "a.bmp", "colour": 3})"), "unknown key \"colour\""},
        // Rules whose breach would only show later, as a misplayed file.
        {OneSequence(R"({"bmp": "a.bmp", "number": "n.bmp"})", "", "delta"), "no number overlays"},
        {OneSequence(a + R"(, {"repeat": 0})", "", "delta"), "no repeat frames"},
        {OneSequence(a, R"("key_interval": 4, )"), "delta sequences only"},
        {R"({"team_colours": {"first": 250, "count": 8, "shift": 1},
             "sequences": [{"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})", "outside 0..6"},
        {OneSequence(R"({"bmp": "a.bmp", "adjust": [1]})"), "[x, y]"},
        {OneSequence(R"({"repeat": 0, "adjust": [1, 1]})"), "takes no \"adjust\""},
        {R"({"sequences": []})", "non-empty \"sequences\""},
        {OneSequence(""), "non-empty \"frames\""},
        {OneSequence(R"({"bmp": "a.bmp", "cell": 1})"), "exactly one of"},
    };
    for (const auto &[manifest, mustMention] : cases) {
        SCOPED_TRACE(mustMention);
        LeakCheck leaks;
        const anxpack::PackResult r = PackText(manifest);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.failure, anxpack::PackFailure::kBadInput);
        EXPECT_NE(r.error.find(mustMention), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << "one line: " << r.error;
        EXPECT_EQ(r.error.rfind(dir.File(""), 0), 0u) << "starts with no file: " << r.error;
    }
    // What the refusals border on is taken: a frame of exactly the object
    // buffer, and cells measured by their marks.
    Bmp8("edge.bmp", Figure(100, 100, 70, 71));
    anxpack::PackResult r = PackText(OneSequence(R"({"bmp": "edge.bmp"})"));
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(r.stats.at(0).expandSize, anxpack::kAnimObjectBufferSize);
    r = PackText(OneSequence(R"({"cell": 1}, {"cell": 0})", sheet));
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(r.stats.at(0).expandSize, anxpack::ExpandSize(10, 12));
}

// Frames, repeats, origins, adjusts, notes and team colours as the
// inspector reports them and the library plays them; art from a pixel-art
// editor (an indexed PNG) and from an old paint program (a 4-bit BMP) with
// exactly the indices it was drawn in.
TEST_F(PackTest, PackedFileInspectsAndPlaysAsTheManifestSays) {
    LeakCheck leaks;
    PackFile();
    const anxpack::PackResult &r = packed;
    ASSERT_EQ(r.ids, (std::vector<std::int32_t>{42, 43, 44}));
    // The delta frame's adjust is dropped with a note; the scalable one's is kept.
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_NE(r.warnings[0].find("f.json: sequence 1 (id 43), frame 0: \"adjust\" [2, 1] is ignored"), std::string::npos)
        << r.warnings[0];
    EXPECT_EQ(std::count_if(r.warnings.begin(), r.warnings.end(), [](const std::string &w) { return w.find("adjust") != w.npos; }), 1);
    ASSERT_EQ(r.stats.size(), 3u);
    EXPECT_EQ(r.stats[0].frames, 3);
    EXPECT_EQ(r.stats[0].repeatFrames, 1);
    EXPECT_TRUE(r.stats[1].delta);
    const std::string table = anxpack::SummaryTable(r);
    EXPECT_NE(table.find("walk"), std::string::npos);
    EXPECT_NE(table.find("3 sequences"), std::string::npos);

    // The inspector reads the same sequences, notes and number sets.
    EXPECT_TRUE(file->problems.empty()) << file->problems.front();
    EXPECT_EQ(file->sequenceCount, 3);
    ASSERT_EQ(file->sequences.size(), 3u);
    const anxinfo::Sequence &walk = file->sequences[0];
    EXPECT_FALSE(walk.delta);
    EXPECT_EQ(walk.frameCount, 3);
    EXPECT_EQ(walk.RepeatFrames(), 1);
    EXPECT_EQ(walk.expandSize, anxpack::ExpandSize(12, 20));
    ASSERT_TRUE(walk.meta);
    EXPECT_EQ(walk.meta->id, 42);
    EXPECT_EQ(walk.meta->name, "walk");
    EXPECT_EQ(walk.meta->team, (anxpack::TeamColours{70, 3, 10}));
    ASSERT_TRUE(walk.numbers);
    ASSERT_EQ(walk.numbers->overlays.size(), 3u);
    EXPECT_TRUE(walk.numbers->overlays[0]);
    EXPECT_FALSE(walk.numbers->overlays[1]);
    EXPECT_TRUE(file->sequences[1].delta);
    EXPECT_FALSE(file->sequences[1].numbers);
    // The two tools state the same costs for the same file.
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_GT(file->sequences[i].Markers(), 0) << i;
        EXPECT_EQ(file->sequences[i].StoredBytes(), packed.stats[i].storedBytes) << i;
        EXPECT_EQ(file->sequences[i].RawBytes(), packed.stats[i].rawBytes) << i;
        EXPECT_EQ(file->sequences[i].Markers(), packed.stats[i].markers) << i;
    }

    EngineState *engine = InitAnimate();
    ASSERT_EQ(InitProjector(engine, 4, 4, 1), 1);
    ASSERT_EQ(MakeOffScreenDib(engine, 64, 64), 0);
    DupKOVRLETableSetup(engine, 70, 3, 10);
    const std::int32_t handle = LoadMultiAnim(engine, dir.File("f.anx").c_str(), r.ids.data(), 3, 2, 0);
    ASSERT_GE(handle, 0);
    const std::int32_t obj = GetAnimObject(engine);
    auto pixels = [&] { return GetSpritePDib(engine, GetSpriteDib(engine, obj)); };  // bottom-up, 12 bytes a row
    ASSERT_EQ(SetAnimObjectAnim(engine, obj, 42, 1, 0), 1);
    EXPECT_EQ(FrameCount(engine, obj), 3);
    // From (30, 40) the origin puts frame 0 at (24, 20), frame 1 adds its
    // adjust, frame 2 repeats frame 0; team 1 sees colours 70 and 72 as 80 and 82.
    const int expected[][3] = {{24, 20, 80}, {27, 18, 82}, {24, 20, 80}};
    for (const auto &[left, top, body] : expected) {
        ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
        RECT rect{};
        GetSpriteRect(engine, &rect, GetSprite(engine, obj));
        EXPECT_EQ(rect.left * 1000 + rect.top, left * 1000 + top);
        EXPECT_EQ(pixels()[5 * 12 + 5], body);
    }
    EXPECT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 0);
    ASSERT_EQ(SetAnimObjectAnim(engine, obj, 44, 0, 0), 1);
    for (const IndexedImage &art : {drawn, pattern}) {
        ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
        for (int y = 0; y < art.height; ++y)
            for (int x = 0; x < art.width; ++x) ASSERT_EQ(pixels()[(art.height - 1 - y) * 12 + x], art.At(x, y)) << x << ", " << y;
    }
    SetAnimObjectAnim(engine, obj, -1, 0, 0);
    EXPECT_EQ(DestroyMultiAnim(engine, handle), 1);
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);
}

// Rows labelled in boxes of colour 250 with letters of 251, a second row in
// the second kit for each scalable sequence alone (a delta sequence plays in
// its own colours only), the number drawn in the segments it lights.
TEST_F(PackTest, ContactSheetShowsKitsNumbersAndLabels) {
    PackFile();
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
    EXPECT_EQ(draw(), 3);
    EXPECT_GT(h[251], 0) << "no letters in the labels";
    EXPECT_EQ(h[80], 0);
    options.teams = true;
    options.number = 1;  // a lone 1 lights the right digit's left-hand segments, not its top
    EXPECT_EQ(draw(), 5);
    for (const int kit : {70, 72, 80, 82}) EXPECT_GT(h[kit], 0) << kit;
    EXPECT_EQ(h[200], 0) << "number 1 does not light the top segment";
    options.number = 7;  // 7 lights the top segment
    draw();
    // Frame 0 and its repeat, in each kit: six pixels a frame.
    EXPECT_EQ(h[200], 2 * 6);
    EXPECT_EQ(h[201], 2 * 6);
}

TEST_F(PackTest, CutAndDamagedFilesAreDescribedNotTrusted) {
    PackFile();
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

// Frames share one master palette: a picture that gives an index another
// colour than the reference, or draws on the display's own indices, is
// named with the index and both colours; number art is left alone.
TEST_F(PackTest, ColoursThatWouldShowWrongAreNamed) {
    IndexedImage other = Figure(12, 20, 70, 71);
    other.colours[70] = {1, 2, 3};
    Bmp8("other.bmp", other);
    Bmp8("static.bmp", Figure(12, 20, 5, 71));
    IndexedImage shifted = Figure(12, 20, 70, 71);
    for (int x = 0; x < 7; ++x) shifted.At(x + 2, 5) = static_cast<std::uint8_t>(100 + x);
    for (int i = 70; i < 110; ++i) shifted.colours[static_cast<std::size_t>(i)] = {9, 9, 9};
    Bmp8("shifted.bmp", shifted);
    IndexedImage palette = Figure(2, 2, 0, 0);
    palette.colours[71] = {200, 0, 0};
    ASSERT_TRUE(toolstest::WritePng(dir.File("palette.png"), palette, 8));
    const std::string a = dir.File("a.bmp"), s = dir.File("shifted.bmp");
    struct Case {
        std::string frames;
        std::vector<std::string> lines;  // each warning, in order, as far as given
        std::string palette = {};
    };
    const Case cases[] = {
        {R"({"bmp": "a.bmp"}, {"bmp": "b.bmp", "number": "n.bmp"})", {}},
        {R"({"bmp": "a.bmp"}, {"bmp": "other.bmp"})",
         {dir.File("other.bmp") + ": index 70 is (1, 2, 3) here but (70, 185, 7) in " + a}},
        {R"({"bmp": "static.bmp"})",
         {dir.File("static.bmp") + ": index 5 is one of the display's own colours (1-9, 246-255): the game shows "
                                   "the display's (128, 0, 128) there, not this picture's (5, 250, 7)"}},
        // A palette of its own: a few lines, then a count.
        {R"({"bmp": "a.bmp"}, {"bmp": "shifted.bmp"})",
         {s + ": index 70 is (9, 9, 9)", ": index 71 is", ": index 100 is", ": index 101 is", s + ": and 5 more indices like these"}},
        {R"({"bmp": "a.bmp"})", {a + ": index 71 is (71, 184, 7) here but (200, 0, 0) in palette.png"}, "palette.png"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.frames);
        for (const bool strict : {false, true}) {
            anxpack::PackOptions options;
            options.strict = strict;
            if (!c.palette.empty()) {
                IndexedImage p;
                ASSERT_EQ(anxpack::ReadPicture(dir.File(c.palette), p), "");
                options.palette = anxpack::ColourReference{c.palette, p.colours};
            }
            const anxpack::PackResult r = PackText(OneSequence(c.frames), options);
            ASSERT_EQ(r.warnings.size(), c.lines.size());
            for (std::size_t i = 0; i < c.lines.size(); ++i)
                EXPECT_NE(r.warnings[i].find(c.lines[i]), std::string::npos) << r.warnings[i];
            // Under --strict any such line refuses the pack.
            const bool refused = strict && !c.lines.empty();
            EXPECT_EQ(static_cast<bool>(r), !refused) << r.error;
            if (refused) {
                EXPECT_NE(r.error.find("refused under --strict"), std::string::npos) << r.error;
            }
        }
    }
}

TEST(SequenceMeta, SurvivesTheSkipAreaAndRejectsForeignBytes) {
    const anxpack::SequenceMeta meta{-7, "run_left", anxpack::TeamColours{70, 8, 8}};
    const std::vector<std::uint8_t> bytes = anxpack::EncodeMeta(meta);
    EXPECT_EQ(anxpack::DecodeMeta(bytes), meta);
    EXPECT_FALSE(anxpack::DecodeMeta(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1)));
    std::vector<std::uint8_t> other = bytes;
    other[0] = 'X';
    EXPECT_FALSE(anxpack::DecodeMeta(other));
    EXPECT_FALSE(anxpack::DecodeMeta({}));
}

}  // namespace
