// The packer: manifests and pictures it must refuse (each with one message
// naming the file and the problem, and no file written), and files it
// writes that the library loads and plays as the manifest says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "animate.h"
#include "manifest.h"
#include "pack.h"
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
    ASSERT_EQ(anxpack::WriteBmp8(dir.File("big.bmp"), Figure(101, 100, 70, 71)), "");
    const Case cases[] = {
        {"missing picture", OneSequence(R"({"bmp": "nowhere.bmp"})"), "nowhere.bmp: cannot open"},
        {"24-bit picture", OneSequence(R"({"bmp": "rgb.bmp"})"), "rgb.bmp: 24-bit BMP"},
        {"frame beyond the object buffer", OneSequence(R"({"bmp": "big.bmp"})"), "10440 bytes"},
        {"two sequences with one id",
         R"({"sequences": [{"id": 9, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]},
                            {"id": 9, "kind": "delta", "frames": [{"bmp": "b.bmp"}]}]})",
         "both use id 9"},
        {"id of none", R"({"sequences": [{"id": -1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})",
         "id -1"},
        {"not JSON", "{\"sequences\": [", "not valid JSON"},
        {"unknown kind", R"({"sequences": [{"id": 1, "kind": "wobbly", "frames": [{"bmp": "a.bmp"}]}]})",
         "\"kind\""},
        {"repeat of a repeat", OneSequence(R"({"bmp": "a.bmp"}, {"repeat": 0}, {"repeat": 1})"),
         "itself a repeat"},
        {"repeat past the end", OneSequence(R"({"bmp": "a.bmp"}, {"repeat": 7})"), "beyond the sequence"},
        {"cell without a sheet", OneSequence(R"({"cell": 0})"), "no \"sheet\""},
        {"number art outside the frame", OneSequence(R"({"bmp": "a.bmp", "number": "b.bmp", "number_at": [4, 4]})"),
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
        EXPECT_TRUE(r.error.find("m.json") != std::string::npos || r.error.find(".bmp") != std::string::npos)
            << "names no file: " << r.error;
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
