#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "dib/widen.h"
#include "platform/geometry.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::kPixelOffset;
using anim::test::TraceCapture;
using anim::test::dibs::Owned;
using Bytes = std::vector<uint8_t>;
using V = std::vector<int64_t>;

void Put16(Bytes &b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
Bytes With(Bytes b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
    return b;
}
uint32_t Get32(const Bytes &b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Ramp(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 3);
    return b;
}
Bytes Head(const Bytes &b, size_t n) { return Bytes(b.begin(), b.begin() + n); }
// n bytes of a block from offset at.
Bytes Cut(const Owned &dib, size_t at, size_t n) {
    const uint8_t *p = anim::dib::Bytes(dib.get()) + at;
    return Bytes(p, p + n);
}
Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t size_image) {
    Bytes b = With(With(With(Bytes(40, 0), 0, 40), 4, uint32_t(width)), 8, uint32_t(height));
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    return With(b, 20, size_image);
}
Bytes FileHeader(uint32_t off_bits) {
    Bytes b = With(Bytes(14, 0), 10, off_bits);
    b[0] = 'B', b[1] = 'M';
    return b;
}

class DIBFile : public testing::Test {
protected:
    // A fresh name each time: rewriting one file over and over waits on the disk.
    std::string Path() { return dir_.File("f" + std::to_string(files_++) + ".bmp"); }
    std::string Write(const Bytes &file) {
        const std::string path = Path();
        anim::test::WriteFileBytes(path, file);
        return path;
    }
    Owned Open(const Bytes &file) { return Owned(OpenDIB(Write(file).c_str())); }

    anim::test::LeakCheck leaks_;
    anim::test::ScratchDir dir_;
    int files_ = 0;
};
using DIBFileInterop = DIBFile;

// Plain, compressed and difference DIBs: whatever the library writes reads
// back as the very block written.
TEST_F(DIBFile, WrittenDibsReadBackAsWritten) {
    auto picture = [](uint8_t change) {
        BITMAPINFOHEADER *dib = CreateDIB(11, 5);
        for (uint32_t i = 0; i < 1024 + dib->biSizeImage; ++i)
            anim::dib::Bytes(dib)[40 + i] = uint8_t(i * 31);
        for (int i = 0; i < 55; ++i) *GetDIBPixelAddress(dib, i % 11, i / 11) = uint8_t(10 + i % 11 / 3 + i / 11);
        *GetDIBPixelAddress(dib, 4, 2) ^= change;
        return dib;
    };
    Owned old(picture(0));
    for (BITMAPINFOHEADER *written : {picture(0), CompressPDIB(picture(0), 1),
                                      CompressPDIB(picture(0), 0), DeltaDIB(picture(200), old.get())}) {
        Owned dib(written);
        ASSERT_NE(dib, nullptr);
        SCOPED_TRACE(dib->biCompression);
        const std::string path = Path();
        ASSERT_EQ(WriteDIB(path.c_str(), dib.get()), 1);
        const size_t size = anim::platform::BlockSize(dib.get());
        const Bytes file = anim::test::ReadFileBytes(path);
        ASSERT_EQ(file.size(), 14 + size);
        EXPECT_EQ((V{file[0], file[1], Get32(file, 2), Get32(file, 6), Get32(file, 10)}),
                  (V{'B', 'M', int64_t(file.size()), 0, 1078}));
        EXPECT_EQ(Bytes(file.begin() + 14, file.end()), Cut(dib, 0, size));
        Owned back(OpenDIB(path.c_str()));
        ASSERT_NE(back, nullptr);
        ASSERT_GE(anim::platform::BlockSize(back.get()), size);
        EXPECT_EQ(back->biClrUsed, 256u);
        back->biClrUsed = dib->biClrUsed;
        EXPECT_EQ(Cut(back, 0, size), Cut(dib, 0, size));
    }
    EXPECT_EQ(WriteDIB(Path().c_str(), nullptr), 0);
    EXPECT_EQ(WriteDIB(dir_.File("no/such/dir.bmp").c_str(), old.get()), 0);
}

TEST_F(DIBFile, BareShortCutAndLyingFilesReadOrAreRefused) {
    const Bytes info = InfoHeader(10, 3, 8, 0), table = Ramp(1024, 9), pixels = Ramp(36, 100);
    Owned bare = Open(Cat({info, table, pixels}));
    Owned full = Open(Cat({FileHeader(1078), info, table, pixels}));
    // A 16-entry table: the pixels still come from bfOffBits, and the
    // colour-table area receives whatever 1024 bytes follow the header.
    Owned shrt = Open(Cat({FileHeader(14 + 40 + 64), info, Head(table, 64), pixels}));
    ASSERT_TRUE(bare && full && shrt);
    EXPECT_EQ(bare->biSizeImage, 36u);  // raised from 0: width 10 at 8 bits, 12-byte rows
    EXPECT_EQ(Cut(bare, 0, kPixelOffset + 36), Cut(full, 0, kPixelOffset + 36));
    EXPECT_EQ(Cut(bare, 40, 1024 + 36), Cat({table, pixels}));
    EXPECT_EQ(Cut(shrt, 40, 64 + 36), Cat({Head(table, 64), pixels}));
    EXPECT_EQ(Cut(shrt, kPixelOffset, 36), pixels);

    // Null inside the headers, pixels of 0 after them or past a far bfOffBits.
    const Bytes whole = Cat({FileHeader(1078), InfoHeader(8, 4, 8, 32), Ramp(1024 + 32, 1)});
    for (size_t cut : {0, 5, 13, 14, 30, 53}) EXPECT_EQ(Open(Head(whole, cut)).get(), nullptr) << cut;
    Owned cut = Open(Head(whole, 1078 + 20)), far = Open(With(whole, 10, 0x7FFFFFF0u));
    ASSERT_TRUE(cut && far);
    EXPECT_EQ(Cut(cut, kPixelOffset, 32), Cat({Bytes(&whole[1078], &whole[1098]), Bytes(12, 0)}));
    EXPECT_EQ(Cut(far, kPixelOffset, 32), Bytes(32, 0));
    // Headers whose sizes lie are refused; 0 x INT32_MIN has no height to
    // turn over, 0x7FFFFFF0 at 4 bits a row past any block.
    const Bytes lies[] = {InfoHeader(-8, 4, 8, 0), InfoHeader(-8, -4, 8, 0), InfoHeader(0, INT32_MIN, 8, 0),
                          InfoHeader(INT32_MAX, INT32_MAX, 8, 0), InfoHeader(0x40000000, 16, 8, 16),
                          InfoHeader(16, 0x40000000, 8, 16), InfoHeader(0x7FFFFFF0, 0, 4, 0),
                          InfoHeader(4, 4, 8, 0xFFFFFFFFu)};
    for (const Bytes &lie : lies)
        EXPECT_EQ(Open(Cat({FileHeader(1078), lie, Ramp(1024 + 64, 0)})).get(), nullptr) << &lie - lies;
}

// ---- Palette forms of image tools ---------------------------------------------

constexpr int kFormW = 5, kFormH = 3;
uint8_t FormPixel(int x, int y, uint16_t bits) { return uint8_t((x * 3 + y * 5 + 1) % (1 << bits)); }
Bytes FormColour(int i) { return {uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 9)}; }  // b, g, r

struct PaletteForm {
    const char *name;
    uint32_t header_size;  // 12, 40, 108 or 124
    uint16_t bits;
    uint32_t compression;  // 0, or 1 / 2 for the 8-bit / 4-bit streams
    bool top_down;
};

// Rows packed bits to a pixel, leftmost in the high bits, padded to 4 bytes.
Bytes PackedRows(const PaletteForm &f) {
    const size_t stride = (size_t(kFormW) * f.bits + 31) / 32 * 4;
    Bytes rows(stride * kFormH, 0);
    for (int r = 0; r < kFormH; ++r)
        for (int x = 0; x < kFormW; ++x) {
            const size_t bit = size_t(x) * f.bits;
            rows[r * stride + bit / 8] |=
                uint8_t(FormPixel(x, f.top_down ? r : kFormH - 1 - r, f.bits) << (8 - f.bits - bit % 8));
        }
    return rows;
}

// The bottom row as one literal, the others as runs of one, then the end;
// 4-bit values whatever the stream's width.
Bytes Stream(const PaletteForm &f) {
    const bool nibbles = f.bits == 4;
    auto at = [](int x, int r) { return FormPixel(x, kFormH - 1 - r, 4); };
    Bytes s = {0, kFormW};
    for (int x = 0; x < kFormW; x += nibbles ? 2 : 1)
        s.push_back(nibbles ? uint8_t(at(x, 0) << 4 | (x + 1 < kFormW ? at(x + 1, 0) : 0)) : at(x, 0));
    if (s.size() % 2 != 0) s.push_back(0);
    for (int r = 1; r < kFormH; ++r) {
        s.insert(s.end(), {0, 0});
        for (int x = 0; x < kFormW; ++x) s.insert(s.end(), {1, uint8_t(at(x, r) << (nibbles ? 4 : 0))});
    }
    s.insert(s.end(), {0, 1});
    return s;
}

Bytes PaletteFile(const PaletteForm &f) {
    Bytes info = With(Bytes(f.header_size, 0), 0, f.header_size), table;
    if (f.header_size == 12) {
        for (uint16_t i = 0; i < 4; ++i) Put16(info, 4 + 2 * i, std::array<uint16_t, 4>{kFormW, kFormH, 1, f.bits}[i]);
    } else {
        info = With(With(With(info, 4, kFormW), 8, uint32_t(f.top_down ? -kFormH : kFormH)), 16, f.compression);
        Put16(info, 12, 1);
        Put16(info, 14, f.bits);
    }
    for (int i = 0; i < 1 << f.bits; ++i) {
        table = Cat({table, FormColour(i)});
        if (f.header_size != 12) table.push_back(0);
    }
    return Cat({FileHeader(uint32_t(14 + info.size() + table.size())), info, table,
                f.compression != 0 ? Stream(f) : PackedRows(f)});
}

TEST_F(DIBFile, PaletteFormsWidenToEightBitRows) {
    const PaletteForm forms[] = {
        {"1-bit", 40, 1, 0, false},          {"2-bit", 40, 2, 0, false},
        {"4-bit", 40, 4, 0, false},          {"4-bit top-down", 40, 4, 0, true},
        {"8-bit top-down", 40, 8, 0, true},  {"OS/2 core 4-bit", 12, 4, 0, false},
        {"OS/2 core 1-bit", 12, 1, 0, false}, {"V4 4-bit", 108, 4, 0, false},
        {"V5 8-bit", 124, 8, 0, false},      {"V5 8-bit top-down", 124, 8, 0, true},
        {"RLE4", 40, 4, 2, false},           {"V5 RLE4", 124, 4, 2, false},
        {"V5 RLE8", 124, 8, 1, false},
    };
    for (const PaletteForm &f : forms) {
        SCOPED_TRACE(f.name);
        Owned dib = Open(PaletteFile(f));
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ((V{dib->biSize, dib->biWidth, dib->biHeight, dib->biBitCount, dib->biCompression,
                     dib->biSizeImage, dib->biClrUsed}),
                  (V{40, kFormW, kFormH, 8, 0, 8 * kFormH, 256}));
        Bytes colours, rows(8 * kFormH, 0);  // the file's colours first, the rest 0
        for (int i = 0; i < 256; ++i) colours = Cat({colours, i < 1 << f.bits ? FormColour(i) : Bytes(3), {0}});
        EXPECT_EQ(Cut(dib, 40, 1024), colours);
        for (int i = 0; i < kFormW * kFormH; ++i)
            rows[8 * (kFormH - 1 - i / kFormW) + i % kFormW] = FormPixel(i % kFormW, i / kFormW, f.compression ? 4 : f.bits);
        EXPECT_EQ(Cut(dib, kPixelOffset, rows.size()), rows);
    }
    // The stream's own block failing to come gives null and leaks nothing.
    const std::string rle = Write(PaletteFile({"RLE4", 40, 4, 2, false}));
    anim::platform::FailNthAllocation(2);
    EXPECT_EQ(OpenDIB(rle.c_str()), nullptr);
    anim::platform::FailNthAllocation(0);
}

TEST_F(DIBFile, TruecolourAndMalformedFormsAreRefusedWithTheirReason) {
    const Bytes v5 = With(With(Cat({InfoHeader(4, 4, 32, 0), Bytes(84, 0)}), 0, 124), 16, 3);  // masks
    const std::pair<Bytes, const char *> cases[] = {
        {InfoHeader(4, 4, 24, 0), "24-bit truecolour"},
        {InfoHeader(4, 4, 16, 0), "16-bit truecolour"},
        {v5, "32-bit truecolour"},
        {InfoHeader(4, 4, 3, 0), "3 bits a pixel"},
        {With(InfoHeader(4, -4, 8, 0), 16, 3), "compression 3"},
        {With(InfoHeader(4, -4, 4, 0), 16, 2), "top-down"},
        {With(InfoHeader(4, 4, 4, 0), 16, 1), "compression 1 with 4"},
        {With(InfoHeader(4, 4, 4, 0), 32, 17), "17 colours"},
        {With(InfoHeader(4, 4, 4, 0), 0, 20), "20 bytes"},
    };
    for (const auto &[info, reason] : cases) {
        SCOPED_TRACE(reason);
        const std::string path = Write(Cat({FileHeader(0), info, Ramp(1024 + 64, 3)}));
        TraceCapture trace;
        EXPECT_EQ(OpenDIB(path.c_str()), nullptr);
        ASSERT_EQ(trace.lines().size(), 1u);
        EXPECT_NE(trace.lines()[0].find("\"" + path + "\" not read: "), std::string::npos) << trace.lines()[0];
        EXPECT_NE(trace.lines()[0].find(reason), std::string::npos) << trace.lines()[0];
    }
    // SetBackground refuses such a file with its own trace and leaves no background behind.
    const std::string photo = Write(Cat({FileHeader(0), InfoHeader(4, 4, 24, 0), Ramp(64, 0)}));
    EngineState *engine = InitAnimate();
    TraceCapture trace;
    EXPECT_EQ(SetBackground(engine, photo.c_str()), 0);
    ASSERT_EQ(trace.lines().size(), 2u);
    EXPECT_NE(trace.lines()[1].find("SetBackground: OpenDIB() FAILED!"), std::string::npos);
    TerminateAnimate(engine);
    FREE(engine);
}

// Streams that disagree with their picture are cut where they leave it.
TEST_F(DIBFile, RunLengthStreamsStayInsideTheirPicture) {
    using anim::dib::RunLength;
    constexpr uint8_t E = 0xEE;
    const struct {
        const char *name;
        RunLength kind;
        Bytes stream, pixels;  // two bottom-up rows of 4, E where nothing was decoded
    } cases[] = {
        {"a run past the row's end is dropped", RunLength::kEightBit, {6, 7, 1, 8}, {7, 7, 7, 7, E, E, E, E}},
        {"a move skips pixels", RunLength::kEightBit, {0, 2, 1, 1, 1, 9}, {E, E, E, E, E, 9, E, E}},
        {"rows above the top end the stream", RunLength::kEightBit, {1, 5, 0, 0, 1, 6, 0, 0, 1, 4},
         {5, E, E, E, 6, E, E, E}},
        {"end of picture ends the stream", RunLength::kEightBit, {1, 5, 0, 1, 1, 6}, {5, E, E, E, E, E, E, E}},
        {"a literal is padded to 16 bits", RunLength::kEightBit, {0, 3, 1, 2, 3, 0, 1, 4}, {1, 2, 3, 4, E, E, E, E}},
        {"a literal the stream cuts short", RunLength::kEightBit, {0, 4, 1, 2}, {1, 2, E, E, E, E, E, E}},
        {"a move the stream cuts short", RunLength::kEightBit, {1, 3, 0, 2, 1}, {3, E, E, E, E, E, E, E}},
        {"4-bit runs take both nibbles by turns", RunLength::kFourBit, {3, 0x12, 0, 0, 5, 0x34},
         {1, 2, 1, E, 3, 4, 3, 4}},
        {"a 4-bit literal, odd count", RunLength::kFourBit, {0, 3, 0x56, 0x70, 1, 0x80}, {5, 6, 7, 8, E, E, E, E}},
    };
    for (const auto &c : cases) {
        Bytes pixels(8, E);  // exactly the picture: a stray write is caught by ASan
        anim::dib::DecodeRunLength(c.stream, c.kind, 4, 2, 4, pixels);
        EXPECT_EQ(pixels, c.pixels) << c.name;
    }
}

// Whatever a file's headers say, OpenDIB gives null or a block that holds
// every pixel its own width and height address, and leaks nothing.
TEST_F(DIBFile, MutatedAndTruncatedFilesGiveNullOrAWholeBlock) {
    TraceCapture refusals;  // one line for each form refused, kept off the log
    std::mt19937 rng(20261206);
    // Values that overflow, go negative, or sit at the edges of the sizes.
    constexpr uint32_t kSizes[] = {0, 1, 3, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x10000,
                                   0x40000000u, 0x3FFFFC00u, 0xFFFFFBD8u};
    constexpr uint16_t kBits[] = {0, 1, 4, 8, 16, 24, 32, 0xFFFF};
    int opened = 0;
    for (int iter = 0; iter < 500; ++iter) {
        const int32_t w = 1 + int32_t(rng() % 40), h = 1 + int32_t(rng() % 40);
        const uint32_t area = uint32_t(anim::platform::RowStride(w)) * uint32_t(h);
        const bool bare = rng() % 4 == 0;
        const size_t info = bare ? 0 : 14;
        Bytes file = Cat({bare ? Bytes{} : FileHeader(1078), InfoHeader(w, h, 8, rng() % 2 ? area : 0),
                          Ramp(1024, uint8_t(rng())), Ramp(area, uint8_t(rng()))});
        for (int m = int(rng() % 4); m > 0; --m) {
            const uint32_t size = kSizes[rng() % std::size(kSizes)];
            switch (rng() % 6) {
                case 0: file[rng() % (info + 40)] = uint8_t(rng()); break;
                case 1: file = With(file, info + 4, size); break;   // biWidth
                case 2: file = With(file, info + 8, size); break;   // biHeight
                case 3: file = With(file, info + 20, size); break;  // biSizeImage
                case 4: Put16(file, info + 14, kBits[rng() % std::size(kBits)]); break;
                default:
                    if (!bare) file = With(file, 10, rng() % 2 ? size : uint32_t(rng() % 2000));
            }
        }
        if (rng() % 3 == 0) file.resize(rng() % file.size());
        Owned dib = Open(file);
        if (dib == nullptr) continue;
        ++opened;
        ASSERT_GE(dib->biWidth, 0) << iter;
        ASSERT_GE(dib->biHeight, 0) << iter;
        EXPECT_EQ(dib->biClrUsed, 256u);
        const size_t rows = size_t(anim::platform::RowStride(dib->biWidth)) * size_t(dib->biHeight);
        ASSERT_GE(anim::platform::BlockSize(dib.get()), kPixelOffset + std::max<size_t>(rows, dib->biSizeImage)) << iter;
        if (rows != 0) {  // the first and the last stored byte, through the address rules
            anim::test::dibs::Px(dib, 0, dib->biHeight - 1) ^= 1;
            anim::test::dibs::Px(dib, dib->biWidth - 1, 0) ^= 1;
        }
        if (rows < (size_t{1} << 24)) {  // lying sizes reach a gigabyte: copy only modest ones
            ASSERT_NE(Owned(CopyDIB(dib.get())), nullptr);
        }
    }
    EXPECT_GT(opened, 120);  // the mutations leave plenty of files readable
}

TEST_F(DIBFile, OpenFailuresAreTraced) {
    // Names that open on POSIX but are no file to read; a fifo without a
    // writer would block an ordinary open for ever.
    const std::string fifo = dir_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TraceCapture trace;
    EXPECT_EQ(OpenDIB(nullptr), nullptr);
    const std::string names[] = {"/no/such/" + std::string(200, 'x'), dir_.File("."), fifo, "/dev/null"};
    for (const std::string &name : names) EXPECT_EQ(OpenDIB(name.c_str()), nullptr) << name;
    ASSERT_EQ(trace.lines().size(), 5u);
    EXPECT_TRUE(trace.lines()[0].starts_with("DIB line ")) << trace.lines()[0];
    EXPECT_TRUE(trace.lines()[0].ends_with(": Bad filename pointer.\r\n")) << trace.lines()[0];
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_TRUE(trace.lines()[i + 1].ends_with(": Can't open \"" + names[i].substr(0, 100) + "\" for reading.\r\n"))
            << trace.lines()[i + 1];
}

// The guide's recipes: each image-tool command, the form it writes, and
// whether OpenDIB reads it (to the picture's colours at every pixel), keeps
// it as it stands (an 8-bit RLE file under a 40-byte header, the form of the
// library's own compressed DIBs) or refuses it.
TEST_F(DIBFileInterop, ImageToolRecipesReadOrRefuseAsDocumented) {
    std::string tool;
    for (const char *path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"})
        if (tool.empty() && std::filesystem::exists(path)) tool = path;
    if (tool.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed: recipes not checked";
    enum Outcome { kRead, kKeptCompressed, kRefused };
    const struct {
        const char *art;  // how the art is saved: a palette or an RGB picture
        int colours;
        const char *options;  // between the art and the output file name
        uint32_t header;
        uint16_t bits;
        Outcome outcome;
    } recipes[] = {
        {"PNG8", 12, "BMP3:", 40, 4, kRead},
        {"PNG8", 40, "-compress None BMP3:", 40, 8, kRead},
        {"PNG8", 40, "BMP3:", 40, 8, kKeptCompressed},
        {"PNG8", 40, "", 124, 8, kRead},
        {"PNG8", 12, "", 124, 4, kRead},
        {"PNG8", 12, "BMP2:", 12, 4, kRead},
        {"PPM", 2, "-type Palette -compress None BMP3:", 40, 1, kRead},
        {"PNG24", 40, "-type Palette -compress None BMP3:", 40, 8, kRead},
        {"PNG24", 40, "BMP3:", 40, 24, kRefused},
        {"PNG8", 12, "-type TrueColor ", 124, 24, kRefused},
    };
    constexpr int kW = 23, kH = 9;
    auto colour = [](int x, int y, int colours) {  // r, g, b
        const int n = (x * 7 + y * 3) % colours;
        return Bytes{uint8_t(n * 6), uint8_t(255 - n * 5), uint8_t(n * 37)};
    };
    TraceCapture refusals;
    for (const auto &r : recipes) {
        SCOPED_TRACE(std::string(r.art) + " art of " + std::to_string(r.colours) + " colours: convert art " +
                     r.options + "out.bmp");
        const std::string header = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
        Bytes ppm(header.begin(), header.end());
        for (int i = 0; i < kW * kH; ++i) ppm = Cat({ppm, colour(i % kW, i / kW, r.colours)});
        anim::test::WriteFileBytes(dir_.File("art.ppm"), ppm);
        const std::string art = dir_.File(std::string(r.art) == "PPM" ? "art.ppm" : "art.png");
        if (art.ends_with(".png")) {
            ASSERT_EQ(std::system((tool + " " + dir_.File("art.ppm") + " " + r.art + ":" + art).c_str()), 0);
        }
        const std::string out = dir_.File("out.bmp");
        ASSERT_EQ(std::system((tool + " " + art + " " + r.options + out).c_str()), 0);
        const Bytes file = anim::test::ReadFileBytes(out);
        const size_t bits_at = Get32(file, 14) == 12 ? 24 : 28;  // the tool's own choice of header and bits
        EXPECT_EQ((V{Get32(file, 14), file[bits_at] | file[bits_at + 1] << 8}), (V{r.header, r.bits}));
        Owned dib(OpenDIB(out.c_str()));
        if (r.outcome != kRead) {
            EXPECT_EQ(dib != nullptr, r.outcome == kKeptCompressed);
            EXPECT_TRUE(dib == nullptr || dib->biCompression == 1u);
            continue;
        }
        ASSERT_NE(dib, nullptr);
        ASSERT_EQ((V{dib->biBitCount, dib->biCompression, dib->biWidth, dib->biHeight}), (V{8, 0, kW, kH}));
        for (int i = 0; i < kW * kH; ++i) {
            const uint8_t *quad = anim::dib::Bytes(dib.get()) + 40 + 4 * anim::test::dibs::Px(dib, i % kW, i / kW);
            ASSERT_EQ((Bytes{quad[2], quad[1], quad[0]}), colour(i % kW, i / kW, r.colours)) << i % kW << "," << i / kW;
        }
    }
}

}  // namespace
