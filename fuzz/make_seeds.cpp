// Writes the fuzzers' starting corpora with the project's own code: DIB
// files through WriteDIB, frames through the encoders, multi-animation
// files through the writer; manifests and engine calls as the targets read
// them.
//
//   fuzz_seeds FOLDER        writes FOLDER/<target>/<seed> for every target
//
// Seeds are small on purpose: the fuzzer mutates them, and a small input
// runs many times a second.
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "animate.h"
#include "anx_writer.h"
#include "platform/platform.h"
#include "sample_animation.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path g_root;

void Quiet(const char *, void *) {}

void Save(const std::string &target, const std::string &name, const Bytes &bytes) {
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadAll(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(file), {}};
}

void Append(Bytes &out, const void *data, std::size_t size) {
    const auto *p = static_cast<const std::uint8_t *>(data);
    out.insert(out.end(), p, p + size);
}

std::uint8_t Art(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(10 + (x / 3 + y / 2) % 5 * 7);
}

BITMAPINFOHEADER *Picture(std::int32_t w, std::int32_t h) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) *GetDIBPixelAddress(dib, x, y) = Art(x, y);
    return dib;
}

// ---- dib_file --------------------------------------------------------------

void DibSeeds() {
    const fs::path scratch = g_root / "scratch.dib";
    const std::array<std::array<std::int32_t, 2>, 3> sizes = {{{8, 6}, {5, 3}, {1, 1}}};
    int n = 0;
    for (const auto &[w, h] : sizes) {
        BITMAPINFOHEADER *dib = Picture(w, h);
        WriteDIB(scratch.c_str(), dib);
        Bytes file = ReadAll(scratch);
        Save("dib_file", "written_" + std::to_string(n), file);
        Save("pack_bmp", "written_" + std::to_string(n), file);
        // The same DIB bare, without the file header.
        Save("dib_file", "bare_" + std::to_string(n), Bytes(file.begin() + 14, file.end()));
        Save("pack_bmp", "bare_" + std::to_string(n), Bytes(file.begin() + 14, file.end()));
        // Rows top down: a negative height.
        const std::int32_t height = -h;
        std::memcpy(file.data() + 14 + 8, &height, sizeof height);
        Save("pack_bmp", "top_down_" + std::to_string(n), file);
        ++n;
        DeleteDIB(dib);
    }
    // A header that leaves its image size to the reader, and a short file.
    BITMAPINFOHEADER *dib = Picture(10, 4);
    dib->biSizeImage = 0;
    WriteDIB(scratch.c_str(), dib);
    Bytes file = ReadAll(scratch);
    Save("dib_file", "computed_size", file);
    file.resize(1078 + 13);
    Save("dib_file", "short_pixels", file);
    DeleteDIB(dib);
    fs::remove(scratch);
}

void Put(Bytes &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Palette forms of image tools, which OpenDIB widens to 8-bit rows: a 6 x 3
// picture under a header of header_size bytes, bits to a pixel, its table
// and pixels as given.
Bytes ToolDib(std::uint32_t header_size, std::int32_t height, std::uint16_t bits,
              std::uint32_t compression, const Bytes &pixels) {
    const std::uint32_t entries = 1u << bits;
    const std::uint32_t entry_size = header_size == 12 ? 3 : 4;
    Bytes out = {'B', 'M'};
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, 14 + header_size + entries * entry_size, 4);
    Put(out, header_size, 4);
    if (header_size == 12) {
        Put(out, 6, 2);
        Put(out, static_cast<std::uint32_t>(height), 2);
        Put(out, 1, 2);
        Put(out, bits, 2);
    } else {
        Put(out, 6, 4);
        Put(out, static_cast<std::uint32_t>(height), 4);
        Put(out, 1, 2);
        Put(out, bits, 2);
        Put(out, compression, 4);
        out.resize(14 + header_size, 0);
    }
    for (std::uint32_t i = 0; i < entries * entry_size; ++i) out.push_back(static_cast<std::uint8_t>(i * 7));
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void DibFormSeeds() {
    Save("dib_file", "tool_4bit", ToolDib(40, 3, 4, 0, Bytes(12, 0x1F)));
    Save("dib_file", "tool_1bit_core", ToolDib(12, 3, 1, 0, Bytes(12, 0xA5)));
    Save("dib_file", "tool_8bit_v5_top_down", ToolDib(124, -3, 8, 0, Bytes(24, 0x33)));
    // 4-bit runs, a move, a padded literal, end of row, end of picture.
    Save("dib_file", "tool_rle4",
         ToolDib(40, 3, 4, 2, {3, 0x12, 0, 2, 1, 0, 0, 3, 0x45, 0x60, 0, 0, 6, 0x78, 0, 1}));
    Save("dib_file", "tool_rle8_v5", ToolDib(124, 3, 8, 1, {4, 9, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1}));
}

// ---- frame_decode and encode ----------------------------------------------

struct Coded {
    std::array<std::uint16_t, 256> table{};
    Bytes frame;
    Bytes overlay;
};

Bytes BlockBytes(const void *block) {
    const auto *p = static_cast<const std::uint8_t *>(block);
    return Bytes(p, p + anim::platform::BlockSize(block));
}

// A w x h picture coded line by line (or whole-frame) with its own table,
// and a number overlay over its middle.
Coded Code(std::int32_t w, std::int32_t h, bool lines) {
    Coded out;
    BITMAPINFOHEADER *dib = Picture(w, h);
    const RECT whole{0, 0, w - 1, h - 1};
    const POINT origin{-w / 2, -h};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, &origin, &whole, 1);
    std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    Bytes rows;
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) rows.push_back(Art(x, y));
    if (lines) {
        KOVRLEUpdateDecompTableLineByLine(rows.data(), static_cast<std::uint32_t>(w),
                                          static_cast<std::uint32_t>(h), stats.data());
    } else {
        KOVRLEUpdateDecompTable(GetAnxFrameRectAddress(frame, 0), frame->dataSize, stats.data());
    }
    KOVRLEFinishDecompTable(stats.data(), out.table.data(), 0, KOVRLE_AUTO_LIMIT);
    KOVRLEConvertTableToLineForm(out.table.data());
    frame = lines ? AnxKOVRLEFrameLineByLine(frame, out.table.data(), static_cast<std::uint16_t>(w),
                                             static_cast<std::uint16_t>(h))
                  : AnxKOVRLEFrame(frame, out.table.data());
    out.frame = BlockBytes(frame);
    DeleteAnxFrame(frame);

    // Number art: the two digits' segment colours in a small box.
    const std::int32_t ow = w / 2, oh = h / 2;
    BITMAPINFOHEADER *art = CreateDIB(ow, oh);
    static constexpr std::uint8_t kSegments[] = {1, 4, 2, 3, 5, 7, 6, 9, 8, 246, 247, 248, 250, 249};
    for (std::int32_t y = 0; y < oh; ++y)
        for (std::int32_t x = 0; x < ow; ++x)
            *GetDIBPixelAddress(art, x, y) = (x + y) % 3 == 0 ? 0 : kSegments[(x + y) % 14];
    const RECT artRect{0, 0, ow - 1, oh - 1};
    const POINT artOrigin{origin.x + w / 4, origin.y + h / 4};
    ANXFRAME *overlay = CopyDIBToAnxFrame(art, &artOrigin, &artRect, 1);
    overlay = AnxFrameLineByLine(overlay, nullptr, static_cast<std::uint16_t>(ow),
                                 static_cast<std::uint16_t>(oh));
    out.overlay = BlockBytes(overlay);
    DeleteAnxFrame(overlay);
    DeleteDIB(art);
    DeleteDIB(dib);
    return out;
}

void DecodeSeed(const std::string &name, std::uint8_t scale, std::uint8_t flags, const Coded &c) {
    Bytes in = {scale, flags, 23, 200};
    Append(in, c.table.data(), sizeof c.table);
    const auto overlayLength = static_cast<std::uint16_t>(c.overlay.size());
    Append(in, &overlayLength, sizeof overlayLength);
    Append(in, c.overlay.data(), c.overlay.size());
    in.push_back(0);  // slack
    in.push_back(0);
    Append(in, c.frame.data(), c.frame.size());
    Save("frame_decode", name, in);
}

void DecodeSeeds() {
    // Flags: bit 0 mirror, bits 1-2 stream kind, bit 3 overlay, bit 4 caller buffer.
    const Coded lines = Code(24, 20, true);
    DecodeSeed("lines_full", 99, 2 << 1 | 0x08, lines);
    DecodeSeed("lines_half_mirrored", 49, 2 << 1 | 0x08 | 1, lines);
    DecodeSeed("lines_buffer", 74, 2 << 1 | 0x10, lines);
    const Coded whole = Code(13, 7, false);
    DecodeSeed("whole_frame", 99, 1 << 1, whole);
}

void EncodeSeeds() {
    // paths width height reserve limit scale colour rect(4) pixels; each
    // picture once per stream kind.
    Bytes plain = {16, 12, 0, 255, 50, 9, 2, 2, 9, 7};
    for (std::int32_t i = 0; i < 16 * 12; ++i) plain.push_back(Art(i % 16, i / 16));
    Bytes runs = {40, 5, 1, 3, 37, 200, 0, 0, 3, 3};
    for (std::uint8_t v : {7, 7, 7, 7, 7, 7, 7, 9, 9, 1, 4, 2, 3, 246, 250, 0, 0, 0}) runs.push_back(v);
    Bytes noise = {7, 9, 2, 0, 80, 1, 1, 1, 5, 7};
    for (std::uint32_t i = 0; i < 63; ++i) noise.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    for (std::uint8_t paths : {0, 15}) {
        const std::string kind = paths == 0 ? "_whole" : "_lines";
        for (const auto &[name, seed] : {std::pair{"picture", &plain}, std::pair{"runs_and_segments", &runs},
                                         std::pair{"noise", &noise}}) {
            Bytes in = {paths};
            in.insert(in.end(), seed->begin(), seed->end());
            Save("encode", name + kind, in);
        }
    }
}

// ---- find_rects ----------------------------------------------------------

void FindRectsSeeds() {
    // width height key minSize flags divisor capacity(2) overhead(2) pixels
    const std::uint8_t key = 0xFE;
    Bytes sparse = {32, 24, key, 4 + 4, 1, 0, 64, 0, 0xB8, 0x0B};
    for (std::int32_t i = 0; i < 32 * 24; ++i) {
        const std::int32_t x = i % 32, y = i / 32;
        sparse.push_back((x > 3 && x < 9 && y > 2 && y < 7) || (x == 25 && y == 20) ? 5 : key);
    }
    Save("find_rects", "sparse", sparse);
    Bytes edges = {20, 20, key, 4 + 2, 3, 1, 200, 0, 0xFF, 0xFF};
    for (std::int32_t i = 0; i < 20 * 20; ++i) edges.push_back(i % 7 == 0 ? 3 : key);
    Save("find_rects", "exact_join", edges);
    Save("find_rects", "no_key", Bytes{9, 9, 0, 4, 0, 1, 8, 0, 0, 0, 1, 2, 3});
}

// ---- multi_anim ------------------------------------------------------------

void MultiAnimSeeds() {
    const Bytes sample = anim::fuzz::SampleAnimation();
    Save("multi_anim", "scalable_and_delta", sample);
    Save("anx_inspect", "scalable_and_delta", sample);
    const fs::path scratch = g_root / "scratch.anx";
    writer::Writer writer;
    std::vector<writer::Frame> one(1);
    one[0].image = writer::Image(5, 4, 17);
    writer::SequenceOptions options;
    options.skipArea = {1, 2, 3};
    writer.AddScalableSequence(one, "tiny", options);
    writer.Write(scratch.string());
    Save("multi_anim", "one_frame_skip_area", ReadAll(scratch));
    Save("anx_inspect", "one_frame_skip_area", ReadAll(scratch));
    fs::remove(scratch);
}

// ---- manifest -----------------------------------------------------------------

void Text(const std::string &name, const std::string &text) {
    Save("manifest", name, Bytes(text.begin(), text.end()));
}

// Manifests over the pictures the target puts beside them.
void ManifestSeeds() {
    Text("sheet_and_numbers", R"({"team_colours": {"first": 16, "count": 8, "shift": 8},
 "sequences": [{"id": 100, "name": "run", "kind": "scalable", "sheet": "sheet.bmp",
   "number_sheet": "numbers.bmp", "origin": [-6, -16],
   "frames": [{"cell": 0}, {"cell": 1, "adjust": [1, -1]}, {"repeat": 0}, {"cell": 5, "number_cell": 2}]}]})");
    Text("whole_pictures", R"({"sequences": [
 {"id": 1, "kind": "scalable", "frames": [{"bmp": "a.bmp", "number": "digit.bmp", "number_at": [0, 0]},
   {"bmp": "odd.bmp", "origin": [0, 0]}]},
 {"id": -7, "kind": "delta", "key_interval": 1, "frames": [{"bmp": "a.bmp"}, {"bmp": "b.bmp"}, {"bmp": "a.bmp"}]}]})");
    Text("refused_picture", R"({"sequences": [{"id": 5, "kind": "scalable", "frames": [{"bmp": "big.bmp"}]},
 {"id": 6, "kind": "delta", "frames": [{"bmp": "wide.bmp"}, {"bmp": "deep.bmp"}]}]})");
    Text("no_grid", R"({"sequences": [{"id": 9, "kind": "scalable", "sheet": "nogrid.bmp", "frames": [{"cell": 0}]}]})");
}

// ---- engine -------------------------------------------------------------------

// Calls for the engine target, written as the target reads them.
class Calls {
public:
    explicit Calls(std::uint8_t setup) : bytes_{setup} {}
    Calls &Code(std::uint8_t code) { return Byte(code); }
    Calls &Byte(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    // A value the target reads with Range(lo, hi).
    Calls &Value(std::int32_t v, std::int32_t lo) {
        const auto u = static_cast<std::uint16_t>(v - lo);
        return Byte(static_cast<std::uint8_t>(u)).Byte(static_cast<std::uint8_t>(u >> 8));
    }
    Calls &X(std::int32_t x) { return Value(x, -16); }
    Calls &Y(std::int32_t y) { return Value(y, -16); }
    Calls &Depth(std::int32_t d) { return Byte(0).Value(d, -2); }
    const Bytes &bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// Codes of the target's calls used here.
enum : std::uint8_t {
    kAddSprite = 0,
    kMoveSprite = 5,
    kNudgeSprite = 6,
    kAddImage = 14,
    kTemplateImage = 15,
    kFrameImage = 19,
    kRegisterCallback = 26,
    kHitTest = 38,
    kNewObject = 43,
    kBindObject = 44,
    kProject = 46,
    kSeek = 47,
    kPaint = 56,
    kStretch = 57,
    kPartial = 58,
    kStretchPlus = 59,
};

void EngineSeeds() {
    Calls sprites(0);
    sprites.Code(kAddImage).Byte(3).Code(kAddImage).Byte(2);
    sprites.Code(kAddSprite).Byte(0).Byte(1).X(10).Y(8).Depth(10).Byte(0);
    sprites.Code(kAddSprite).Byte(1).Byte(1).X(14).Y(12).Depth(5).Byte(2);
    sprites.Code(kPaint).Code(kNudgeSprite).Byte(0).Value(2, -3).Value(1, -3).Code(kPaint);
    sprites.Code(kMoveSprite).Byte(1).X(30).Y(20).Depth(20).Byte(1).Code(kStretch).Value(2, 1);
    sprites.Code(kTemplateImage).Value(4, -6).Value(2, -6).Value(10, -2).Value(8, -2).Byte(0);
    sprites.Code(kFrameImage).Byte(1).Byte(0).Code(kPartial).Depth(0).Byte(1);
    sprites.Code(kStretchPlus).Value(1, 1).Value(3, -8).Value(-2, -8).Code(kHitTest).X(12).Y(10);
    Save("engine", "sprites_and_painters", sprites.bytes());

    Calls objects(1);
    objects.Code(kNewObject).Code(kNewObject);
    objects.Code(kBindObject).Byte(0).Byte(0).Byte(0).Code(kBindObject).Byte(1).Byte(1).Byte(1);
    for (std::int32_t k = 0; k < 4; ++k) {
        for (std::uint8_t o = 0; o < 2; ++o)
            objects.Code(kProject).Byte(o).X(10 + 12 * o + k).Y(30).Depth(3 + o).Byte(1).Byte(1).Byte(k & 1);
        objects.Code(kPaint);
    }
    objects.Code(kSeek).Byte(1).Value(1, -2).Code(kStretch).Value(3, 1);
    Save("engine", "objects_of_both_kinds", objects.bytes());

    Calls layers(2);
    layers.Code(kAddImage).Byte(4);
    layers.Code(kAddSprite).Byte(0).Byte(1).X(5).Y(5).Depth(100).Byte(2);
    layers.Code(kAddSprite).Byte(0).Byte(1).X(12).Y(9).Depth(10).Byte(2);
    layers.Code(kRegisterCallback).Byte(3).Depth(60).Depth(40).Byte(1);
    layers.Code(kRegisterCallback).Byte(5).Depth(10).Depth(0).Byte(1);
    layers.Code(kPaint).Code(kNudgeSprite).Byte(1).Value(-1, -3).Value(3, -3).Code(kPaint);
    layers.Code(kStretchPlus).Value(2, 1).Value(0, -8).Value(0, -8);
    Save("engine", "callbacks_between_layers", layers.bytes());
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    AnimSetTraceHandler(&Quiet, nullptr);  // table builds report unused markers
    g_root = argv[1];
    fs::create_directories(g_root);
    DibSeeds();
    DibFormSeeds();
    DecodeSeeds();
    EncodeSeeds();
    FindRectsSeeds();
    MultiAnimSeeds();
    ManifestSeeds();
    EngineSeeds();
    return 0;
}
