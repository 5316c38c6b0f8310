// The packer and the inspector: manifests and pictures the packer must
// refuse, each with a message naming the file and the problem; art from
// other editors in every form it comes in, read with its indices and
// described; a file the packer writes, which the library plays as the
// manifest says and the inspector reports and draws. The fuzz targets
// (manifest, pack_bmp, png_read, anx_inspect) hold the promises every input
// must keep: one line of error, no file left behind, no read outside the
// data, a refused picture left as it was.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "animate.h"
#include "anx_file.h"
#include "bmp_file.h"
#include "contact_sheet.h"
#include "pack.h"
#include "picture_file.h"
#include "picture_report.h"
#include "png_file.h"
#include "test_support.h"

namespace {

using anim::test::ReadFileBytes;
using imageio::IndexedImage;
using Bytes = std::vector<std::uint8_t>;

// A w x h picture: a filled body of colour body with a one-pixel border of
// colour edge, transparent corners. Index i shows (i, 255 - i, 7): every
// index a colour of its own.
IndexedImage Figure(int w, int h, std::uint8_t body, std::uint8_t edge) {
    IndexedImage img(w, h, body);
    for (int i = 0; i < 256; ++i)
        img.colours[static_cast<std::size_t>(i)] = {std::uint8_t(i), std::uint8_t(255 - i), 7};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1) img.At(x, y) = edge;
    img.At(0, 0) = img.At(w - 1, 0) = img.At(0, h - 1) = img.At(w - 1, h - 1) = 0;
    return img;
}

// image as a BMP of 1, 2, 4 or 8 bits a pixel with 2^bits colours (or the
// number used, when given), or of 24 bits (every pixel grey): rows top-down
// when asked, an OS/2 core header (12 bytes, 3-byte colours) when asked,
// else the Windows 40-byte one.
Bytes Bmp(const IndexedImage &image, int bits, bool topDown = false, bool core = false, int used = 0) {
    Bytes b{'B', 'M'};
    auto put = [&](std::int64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const int colours = bits > 8 ? 0 : used > 0 ? used : 1 << bits;
    const int stride = (image.width * bits + 31) / 32 * 4, info = core ? 12 : 40,
              offset = 14 + info + colours * (core ? 3 : 4);
    for (const int v : {offset + stride * image.height, 0, offset, info}) put(v, 4);
    put(image.width, core ? 2 : 4);
    put(topDown ? -image.height : image.height, core ? 2 : 4);
    put(1, 2);
    put(bits, 2);
    for (int i = 0; i < (core ? 0 : 6); ++i) put(i == 4 ? used : 0, 4);  // compression to important colours
    for (const imageio::Rgb c : std::span(image.colours).first(static_cast<std::size_t>(colours))) {
        b.insert(b.end(), {c.b, c.g, c.r});
        b.resize(b.size() + (core ? 0 : 1));
    }
    const std::size_t rows = b.size();
    b.resize(rows + static_cast<std::size_t>(stride * image.height), bits > 8 ? 0x80 : 0);
    for (int i = 0; i < image.width * image.height && bits <= 8; ++i) {
        const int x = i % image.width, y = i / image.width, bit = x * bits, r = topDown ? y : image.height - 1 - y;
        b[rows + static_cast<std::size_t>(r * stride + bit / 8)] |=
            static_cast<std::uint8_t>(image.At(x, y) << (8 - bits - bit % 8));
    }
    return b;
}

// image as an indexed PNG of 2^bitDepth palette entries (entry clear with
// alpha 0), which the write stores at that bit depth; as a truecolour one
// when bitDepth is 0.
bool WritePng(const std::string &path, const IndexedImage &image, int bitDepth, int clear) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = bitDepth == 0 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA_COLORMAP;
    png.colormap_entries = bitDepth == 0 ? 0 : 1u << bitDepth;
    Bytes map, rgb;
    for (const std::uint8_t p : image.pixels)
        rgb.insert(rgb.end(), {image.colours[p].r, image.colours[p].g, image.colours[p].b});
    for (int i = 0; i < static_cast<int>(png.colormap_entries); ++i) {
        const imageio::Rgb c = image.colours[static_cast<std::size_t>(i)];
        map.insert(map.end(), {c.r, c.g, c.b, std::uint8_t(i == clear ? 0 : 255)});
    }
    return png_image_write_to_file(&png, path.c_str(), 0, bitDepth == 0 ? rgb.data() : image.pixels.data(), 0,
                                   map.data()) != 0;
}

std::string OneSequence(const std::string &frames, const std::string &extra = "",
                        const std::string &kind = "scalable") {
    return R"({"sequences": [{"id": 5, "kind": ")" + kind + R"(", )" + extra + R"("frames": [)" + frames + "]}]}";
}

// Trace lines silenced and a scratch folder with a few frames in it.
class PackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
        IndexedImage a = Figure(12, 20, 70, 71), b = Figure(12, 20, 72, 71);
        a.At(3, 2) = b.At(3, 2) = 150;  // marks the top and the left
        Bmp8("a.bmp", a);
        Bmp8("b.bmp", b);
        // Number art: the right digit's top segment (colour 9) across row 2.
        IndexedImage number(12, 20, 0);
        for (int x = 2; x < 8; ++x) number.At(x, 2) = 9;
        Bmp8("n.bmp", number);
    }
    void Bmp8(const std::string &name, const IndexedImage &img) {
        ASSERT_EQ(anxpack::WriteBmp8(dir.File(name), img), "");
    }

    anxpack::PackResult PackText(const std::string &text, const anxpack::PackOptions &options = {}) {
        anim::test::WriteFileBytes(dir.File("m.json"), Bytes(text.begin(), text.end()));
        return anxpack::PackManifest(dir.File("m.json"), dir.File("out.anx"), {}, options);
    }

    anim::test::ScratchDir dir;
};

TEST_F(PackTest, RefusesEachBadManifestWithAMessageNamingTheProblem) {
    Bmp8("big.bmp", Figure(101, 100, 70, 71));
    // Two 10 x 12 cells side by side, corners marked with colour 9.
    IndexedImage cells(20, 12, 70);
    for (int x = 0; x < 20; ++x) cells.At(x, 0) = x % 10 == 0 ? 9 : 0;
    Bmp8("sheet.bmp", cells);
    const std::string a = R"({"bmp": "a.bmp"})", sheet = R"("sheet": "sheet.bmp", )";
    const std::pair<std::string, std::string> cases[] = {
        {OneSequence(R"({"bmp": "nowhere.bmp"})"), "nowhere.bmp: cannot open"},
        {OneSequence(R"({"bmp": "big.bmp"})"), "10440 bytes"},  // one column past the object buffer
        {R"({"sequences": [{"id": 9, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]},
                           {"id": 9, "kind": "delta", "frames": [{"bmp": "b.bmp"}]}]})",
         "both use id 9"},
        {R"({"sequences": [{"id": -1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})", "id -1"},
        {"{\"sequences\": [", "not valid JSON"},
        {OneSequence(a, "", "wobbly"), "\"kind\""},
        {OneSequence(a + R"(, {"repeat": 0}, {"repeat": 1})"), "itself a repeat"},
        {OneSequence(a + R"(, {"repeat": 7})"), "beyond the sequence"},
        {OneSequence(R"({"cell": 0})"), "no \"sheet\""},
        {OneSequence(R"({"cell": 2})", sheet), "cell 2 is beyond"},
        {OneSequence(R"({"cell": 0})", R"("sheet": "n.bmp", )"), "no cell grid"},  // no marks: no grid to measure
        {OneSequence(R"({"bmp": "a.bmp", "number": "b.bmp", "number_at": [4, 4]})"), "does not lie inside"},
        {OneSequence(R"({"bmp": "a.bmp", "colour": 3})"), "unknown key \"colour\""},
        // Rules whose breach would only show later, as a misplayed file.
        {OneSequence(R"({"bmp": "a.bmp", "number": "n.bmp"})", "", "delta"), "no number overlays"},
        {OneSequence(a + R"(, {"repeat": 0})", "", "delta"), "no repeat frames"},
        {OneSequence(a, R"("key_interval": 4, )"), "delta sequences only"},
        {R"({"team_colours": {"first": 250, "count": 8, "shift": 1},
             "sequences": [{"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp"}]}]})",
         "outside 0..6"},
        {OneSequence(R"({"bmp": "a.bmp", "adjust": [1]})"), "[x, y]"},
        {OneSequence(R"({"repeat": 0, "adjust": [1, 1]})"), "takes no \"adjust\""},
        {R"({"sequences": []})", "non-empty \"sequences\""},
        {OneSequence(""), "non-empty \"frames\""},
        {OneSequence(R"({"bmp": "a.bmp", "cell": 1})"), "exactly one of"},
    };
    for (const auto &[manifest, mustMention] : cases) {
        const anxpack::PackResult r = PackText(manifest);
        EXPECT_NE(r.error.find(mustMention), std::string::npos) << mustMention << " not in: " << r.error;
    }
    // What the refusals border on is taken: a frame of exactly the object
    // buffer, and cells measured by their marks.
    Bmp8("edge.bmp", Figure(100, 100, 70, 71));
    EXPECT_EQ(PackText(OneSequence(R"({"bmp": "edge.bmp"})")).stats.at(0).expandSize, anxpack::kAnimObjectBufferSize);
    EXPECT_EQ(PackText(OneSequence(R"({"cell": 1}, {"cell": 0, "number_cell": 1})",
                                   sheet + R"("number_sheet": "sheet.bmp", )"))
                  .stats.at(0)
                  .expandSize,
              anxpack::ExpandSize(10, 12));
}

// How anxinfo reports each form (how the library and the packer take it,
// the way out when neither does), and the packer reading it as one byte a
// pixel holding the index the file holds, whatever the file is called.
TEST(Pictures, EachFormIsReportedAndReadWithItsIndices) {
    anim::test::ScratchDir dir;
    const std::string path = dir.File("art.pic");
    struct Case {
        int bits;  // 24 (a BMP) or 0 (a PNG): truecolour
        bool png = false, topDown = false, core = false, rle = false;
        int used = 0;  // colours in a BMP's table, when fewer than 2^bits
        bool usable = true;
        int transparent = 0;  // a PNG's transparent palette entry
        std::vector<std::string> lines = {};
    };
    const Case cases[] = {
        {.bits = 8,
         .lines = {"8 bits per pixel, 256 colours, uncompressed, rows bottom-up", "library   read as is",
                   "anxpack   read as is"}},
        {.bits = 4,
         .topDown = true,
         .lines = {"rows top-down", "library   widened to 8 bits", "anxpack   widened to 8 bits, each index kept"}},
        {.bits = 2, .topDown = true},
        {.bits = 8, .used = 16, .lines = {"8 bits per pixel, 16 colours"}},
        {.bits = 1, .core = true, .lines = {"OS/2 1.x core header (12 bytes)", "library   widened to 8 bits"}},
        {.bits = 4,
         .rle = true,
         .lines = {"RLE4", "library   widened to 8 bits", "anxpack   refused: RLE4-compressed BMP"}},
        {.bits = 24,
         .usable = false,
         .lines = {"library   refused: truecolour; convert with e.g. `convert in.png -colors 236 BMP3:out.bmp`",
                   "anxpack   refused: 24-bit BMP: truecolour"}},
        {.bits = 4,
         .png = true,
         .lines = {"PNG, 9x5, palette, bit depth 4, 16 colours, index 0 transparent",
                   "library   refused: OpenDIB reads BMP files", "anxpack   widened to 8 bits"}},
        {.bits = 8,
         .png = true,
         .lines = {"palette, bit depth 8, 256 colours, index 0 transparent"}},  // the tools' own writer
        {.bits = 0,
         .png = true,
         .usable = false,
         .lines = {"anxpack   refused: truecolour PNG; frames need palette colours: convert with e.g. `convert in.png "
                   "-colors 236 PNG8:out.png`"}},
        {.bits = 2,
         .png = true,
         .usable = false,
         .transparent = 3,
         .lines = {"palette index 3 is transparent (tRNS), but index 0 is the library's only transparent colour"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        // An odd width, so that rows end inside a byte; every index the
        // depth holds at its top and bottom.
        const int colours = 1 << std::min(c.bits > 0 ? c.bits : 4, 8);
        IndexedImage art = Figure(9, 5, std::uint8_t(colours - 1), std::uint8_t(colours / 2));
        art.At(1, 1) = 0;  // marks the top
        Bytes bytes = c.png ? Bytes{} : Bmp(art, c.bits, c.topDown, c.core, c.used);
        if (c.rle) bytes[14 + 16] = anxpack::kBmpRle4;
        anim::test::WriteFileBytes(path, bytes);
        ASSERT_TRUE(c.png && c.bits == 8 ? imageio::WritePng(path, art, imageio::Transparency::kIndexZero).empty()
                                         : !c.png || WritePng(path, art, c.bits, c.transparent));
        bytes = ReadFileBytes(path);
        ASSERT_TRUE(anxinfo::IsPicture(bytes));
        const anxinfo::PictureReport report = anxinfo::DescribePicture(bytes, path);
        for (const std::string &line : c.lines) EXPECT_NE(report.text.find(line), std::string::npos) << report.text;
        EXPECT_EQ(report.usable, c.usable);

        IndexedImage back;
        const std::string error = anxpack::ReadPicture(path, back);
        ASSERT_EQ(error.empty(), c.usable && !c.rle) << error;
        if (!error.empty()) continue;
        EXPECT_EQ(back.pixels, art.pixels);
        const int table = c.used > 0 ? c.used : 1 << c.bits;
        EXPECT_TRUE(std::equal(art.colours.begin(), art.colours.begin() + table, back.colours.begin()));
        EXPECT_TRUE(std::all_of(back.colours.begin() + table, back.colours.end(), [](imageio::Rgb v) {
            return v == imageio::Rgb{};
        })) << "colours beyond the table are black";
    }
    // A BMP without its file header, as a DIB is held in memory; then one
    // too wide to be a frame.
    const IndexedImage art = Figure(9, 5, 70, 71);
    Bytes dib = Bmp(art, 8);
    dib.erase(dib.begin(), dib.begin() + 14);
    IndexedImage back;
    ASSERT_EQ(anxpack::DecodeBmp(dib, "x.bmp", back), "");
    EXPECT_EQ(back.pixels, art.pixels);
    dib[4 + 3] = 0x40;  // 2^30 columns and more
    EXPECT_NE(anxpack::DecodeBmp(dib, "x.bmp", back).find("unusable size"), std::string::npos);
}

// A file of every kind of sequence, frame and note: frames, repeats,
// origins, adjusts, notes and team colours as the inspector reports them
// and the library plays them, the right way up; then its contact sheet.
TEST_F(PackTest, PackedFileInspectsPlaysAndDrawsAsTheManifestSays) {
    const anxpack::PackResult packed = PackText(R"({
        "team_colours": {"first": 70, "count": 3, "shift": 10},
        "sequences": [
          {"id": 42, "name": "walk", "kind": "scalable", "origin": [-6, -20],
           "frames": [{"bmp": "a.bmp", "number": "n.bmp"}, {"bmp": "b.bmp", "adjust": [3, -2], "origin": [-4, -20]}, {"repeat": 0}]},
          {"id": 43, "kind": "delta", "frames": [{"bmp": "a.bmp"}, {"bmp": "b.bmp"}]}]})");
    ASSERT_TRUE(packed) << packed.error;
    std::string error;
    const std::optional<anxinfo::AnxFile> file = anxinfo::ReadAnxFile(dir.File("out.anx"), error);
    ASSERT_TRUE(file) << error;
    ASSERT_EQ(file->sequences.size(), 2u);
    // The two tools state the same costs for the same file (the command
    // line check compares their stored sizes and ratios).
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(file->sequences[i].Markers() == packed.stats[i].markers &&
                    file->sequences[i].RawBytes() == packed.stats[i].rawBytes)
            << i;
    EXPECT_EQ(file->sequences[0].expandSize, anxpack::ExpandSize(12, 20));
    // Cut by a byte, the file is described as damaged.
    EXPECT_FALSE(anxinfo::ParseAnxFile(Bytes(file->bytes.begin(), file->bytes.end() - 1), "cut.anx", error)
                     .value()
                     .problems.empty());
    // Notes cut short, or another tool's, are none.
    Bytes notes = file->sequences[0].skipArea;
    EXPECT_FALSE(anxpack::DecodeMeta(Bytes(notes.begin(), notes.end() - 1)));
    notes[0] = 'X';
    EXPECT_FALSE(anxpack::DecodeMeta(notes));

    EngineState *engine = InitAnimate();
    ASSERT_EQ(InitProjector(engine, 4, 4, 1), 1);
    ASSERT_EQ(MakeOffScreenDib(engine, 64, 64), 0);
    DupKOVRLETableSetup(engine, 70, 3, 10);
    ASSERT_GE(LoadMultiAnim(engine, dir.File("out.anx").c_str(), packed.ids.data(), 2, 2, 0), 0);
    const std::int32_t obj = GetAnimObject(engine);
    auto pixels = [&] { return GetSpritePDib(engine, GetSpriteDib(engine, obj)); };  // bottom-up, 12 bytes a row
    ASSERT_EQ(SetAnimObjectAnim(engine, obj, 42, 1, 0), 1);
    // From (30, 40) the origin puts frame 0 at (24, 20), frame 1 at its own
    // origin plus its adjust, frame 2 repeats frame 0; team 1 sees colours 70
    // and 72 as 80 and 82.
    const int expected[][3] = {{24, 20, 80}, {29, 18, 82}, {24, 20, 80}};
    for (const auto &[left, top, body] : expected) {
        ASSERT_EQ(ProjectFrame(engine, obj, 30, 40, 10), 1);
        RECT rect{};
        GetSpriteRect(engine, &rect, GetSprite(engine, obj));
        EXPECT_EQ(rect.left * 1000 + rect.top, left * 1000 + top);
        EXPECT_EQ(pixels()[5 * 12 + 5], body);
        EXPECT_EQ(pixels()[17 * 12 + 3], 150);
    }
    TerminateProjector(engine);
    TerminateAnimate(engine);
    FREE(engine);

    // The sheet: rows labelled in boxes of colour 250 with letters of 251, a
    // second row in the second kit for each scalable sequence alone (a delta
    // sequence plays in its own colours only), the number drawn in the
    // segments it lights.
    anxinfo::SheetOptions options;
    options.colours.fill({128, 128, 128});
    options.colours[250] = {255, 255, 255};
    options.colours[251] = {0, 0, 0};
    options.numberColours[1] = 201;  // the first kit's number in the default 255
    std::array<int, 256> h{};
    auto draw = [&] {  // returns the labels, counted down the leftmost column of label boxes
        std::vector<std::string> problems;
        const IndexedImage sheet = anxinfo::DrawContactSheet(*file, options, problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
        h.fill(0);
        for (std::uint8_t p : sheet.pixels) ++h[p];
        for (int x = 0; x < sheet.width; ++x) {
            int runs = 0;
            for (int y = 0; y < sheet.height; ++y)
                runs += sheet.At(x, y) == 250 && (y == 0 || sheet.At(x, y - 1) != 250);
            if (runs > 0) return runs;
        }
        return 0;
    };
    EXPECT_EQ(draw(), 2);
    EXPECT_GT(h[251], 0) << "no letters in the labels";
    EXPECT_EQ(h[80], 0);
    options.teams = true;
    options.number = 1;  // a lone 1 lights the right digit's left-hand segments, not its top
    EXPECT_EQ(draw(), 3);
    for (const int kit : {70, 72, 80, 82}) EXPECT_GT(h[kit], 0) << kit;
    EXPECT_EQ(h[255], 0) << "number 1 does not light the top segment";
    options.number = 7;  // 7 lights the top segment
    draw();
    // Frame 0 and its repeat, in each kit: six pixels a frame.
    EXPECT_EQ(h[255], 2 * 6);
    EXPECT_EQ(h[201], 2 * 6);
}

// Frames share one master palette: a picture that gives an index another
// colour than the reference is named with the index and both colours, a
// few lines and then a count; number art is left alone. Under --strict a
// finding, and only a finding, refuses the pack.
TEST_F(PackTest, ColoursThatWouldShowWrongAreNamed) {
    IndexedImage shifted = Figure(12, 20, 70, 71);
    for (int x = 0; x < 7; ++x) shifted.At(x + 2, 5) = static_cast<std::uint8_t>(100 + x);
    for (int i = 70; i < 110; ++i) shifted.colours[static_cast<std::size_t>(i)] = {9, 9, 9};
    Bmp8("shifted.bmp", shifted);
    IndexedImage palette = Figure(2, 2, 0, 0);
    palette.colours[71] = {200, 0, 0};
    const std::string a = dir.File("a.bmp"), s = dir.File("shifted.bmp");
    struct Case {
        std::string frames;
        std::vector<std::string> lines;  // each warning, in order, as far as given
        bool ownPalette = false;
    };
    const Case cases[] = {
        {R"({"bmp": "a.bmp"}, {"bmp": "b.bmp", "number": "n.bmp"})", {}},
        {R"({"bmp": "a.bmp"}, {"bmp": "shifted.bmp"})",
         {s + ": index 70 is (9, 9, 9) here but (70, 185, 7) in " + a, ": index 71 is", ": index 100 is",
          ": index 101 is", s + ": and 5 more indices like these"}},
        {R"({"bmp": "a.bmp"})", {a + ": index 71 is (71, 184, 7) here but (200, 0, 0) in palette.png"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.frames);
        anxpack::PackOptions options;
        options.strict = true;
        if (c.ownPalette) options.palette = anxpack::ColourReference{"palette.png", palette.colours};
        const anxpack::PackResult r = PackText(OneSequence(c.frames), options);
        EXPECT_EQ(static_cast<bool>(r), c.lines.empty()) << r.error;
        ASSERT_EQ(r.warnings.size(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_NE(r.warnings[i].find(c.lines[i]), std::string::npos) << r.warnings[i];
    }
}

}  // namespace
