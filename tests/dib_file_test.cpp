#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "animate.h"
#include "platform/geometry.h"
#include "dib/packed_dib.h"
#include "dib/widen.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::kPixelOffset;
using anim::test::LeakCheck;
using anim::test::ReadFileBytes;
using anim::test::ScratchDir;
using anim::test::TraceCapture;
using anim::test::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes &b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
void Put32(Bytes &b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
uint32_t Get32(const Bytes &b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

// An info header followed by table_bytes of colour table and the pixels.
Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t size_image) {
    Bytes b(40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(width));
    Put32(b, 8, static_cast<uint32_t>(height));
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    Put32(b, 20, size_image);
    return b;
}

Bytes FileHeader(uint32_t off_bits) {
    Bytes b(14, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, off_bits);
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Ramp(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 3);
    return b;
}

const uint8_t *Block(const BITMAPINFOHEADER *dib) { return reinterpret_cast<const uint8_t *>(dib); }

TEST(DIBFile, WriteThenReadGivesTheSameDib) {
    LeakCheck leaks;
    ScratchDir dir;
    BITMAPINFOHEADER *dib = CreateDIB(13, 7);
    uint8_t *bytes = reinterpret_cast<uint8_t *>(dib);
    for (uint32_t i = 0; i < 1024 + dib->biSizeImage; ++i) bytes[40 + i] = static_cast<uint8_t>(i * 31);
    const std::string path = dir.File("round.bmp");
    ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);

    Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 14 + anim::platform::BlockSize(dib));
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Get32(file, 2), file.size());
    EXPECT_EQ(Get32(file, 6), 0u);
    EXPECT_EQ(Get32(file, 10), 1078u);
    EXPECT_EQ(std::memcmp(&file[14], dib, 40), 0);

    BITMAPINFOHEADER *back = OpenDIB(path.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->biClrUsed, 256u);
    back->biClrUsed = dib->biClrUsed;
    EXPECT_EQ(std::memcmp(back, dib, kPixelOffset + dib->biSizeImage), 0);
    DeleteDIB(back);
    DeleteDIB(dib);

    EXPECT_EQ(WriteDIB(path.c_str(), nullptr), 0);
    BITMAPINFOHEADER *small = CreateDIB(1, 1);
    EXPECT_EQ(WriteDIB(dir.File("no/such/dir.bmp").c_str(), small), 0);
    DeleteDIB(small);
}

TEST(DIBFile, BareDibAndShortTablesReadLikeFullFiles) {
    LeakCheck leaks;
    ScratchDir dir;
    const Bytes info = InfoHeader(10, 3, 8, 0);
    const Bytes table = Ramp(1024, 9);
    const Bytes pixels = Ramp(36, 100);
    WriteFileBytes(dir.File("bare.dib"), Concat({info, table, pixels}));
    WriteFileBytes(dir.File("full.bmp"), Concat({FileHeader(1078), info, table, pixels}));
    // A 16-entry table: the pixels still come from bfOffBits, and the
    // colour-table area receives whatever 1024 bytes follow the header.
    const Bytes short_table(table.begin(), table.begin() + 64);
    const Bytes short_file = Concat({FileHeader(14 + 40 + 64), info, short_table, pixels});
    WriteFileBytes(dir.File("short.bmp"), short_file);

    BITMAPINFOHEADER *bare = OpenDIB(dir.File("bare.dib").c_str());
    BITMAPINFOHEADER *full = OpenDIB(dir.File("full.bmp").c_str());
    BITMAPINFOHEADER *shrt = OpenDIB(dir.File("short.bmp").c_str());
    ASSERT_TRUE(bare && full && shrt);
    EXPECT_EQ(bare->biSizeImage, 36u);  // width 10 at 8 bits: 12-byte rows
    EXPECT_EQ(std::memcmp(bare, full, kPixelOffset + 36), 0);
    EXPECT_EQ(std::memcmp(Block(bare) + 40, table.data(), 1024), 0);
    EXPECT_EQ(std::memcmp(Block(bare) + kPixelOffset, pixels.data(), 36), 0);

    EXPECT_EQ(std::memcmp(Block(shrt) + 40, table.data(), 64), 0);
    EXPECT_EQ(std::memcmp(Block(shrt) + 40 + 64, pixels.data(), 36), 0);
    EXPECT_EQ(std::memcmp(Block(shrt) + kPixelOffset, pixels.data(), 36), 0);
    DeleteDIB(bare);
    DeleteDIB(full);
    DeleteDIB(shrt);
}

TEST(DIBFile, TruncatedFilesGiveNullOrZeroPixels) {
    LeakCheck leaks;
    ScratchDir dir;
    const Bytes whole = Concat({FileHeader(1078), InfoHeader(8, 4, 8, 32), Ramp(1024, 1), Ramp(32, 50)});
    for (size_t cut : {size_t{0}, size_t{5}, size_t{13}, size_t{14}, size_t{30}, size_t{53}}) {
        WriteFileBytes(dir.File("cut.bmp"), Bytes(whole.begin(), whole.begin() + cut));
        EXPECT_EQ(OpenDIB(dir.File("cut.bmp").c_str()), nullptr) << cut;
    }
    // Headers complete, pixels cut off after 20 bytes.
    WriteFileBytes(dir.File("cut.bmp"), Bytes(whole.begin(), whole.begin() + 1078 + 20));
    BITMAPINFOHEADER *dib = OpenDIB(dir.File("cut.bmp").c_str());
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(std::memcmp(Block(dib) + kPixelOffset, &whole[1078], 20), 0);
    for (int i = 20; i < 32; ++i) EXPECT_EQ(Block(dib)[kPixelOffset + i], 0) << i;
    DeleteDIB(dib);
    // A bfOffBits pointing past the end of the file leaves every pixel 0.
    Bytes far = whole;
    Put32(far, 10, 0x7FFFFFF0u);
    WriteFileBytes(dir.File("far.bmp"), far);
    dib = OpenDIB(dir.File("far.bmp").c_str());
    ASSERT_NE(dib, nullptr);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(Block(dib)[kPixelOffset + i], 0) << i;
    DeleteDIB(dib);
}

TEST(DIBFile, LyingSizesAreRefusedOrMadeSafe) {
    LeakCheck leaks;
    ScratchDir dir;
    auto open_with = [&](const Bytes &info) {
        WriteFileBytes(dir.File("lie.bmp"), Concat({FileHeader(1078), info, Ramp(1024, 0), Ramp(64, 0)}));
        return OpenDIB(dir.File("lie.bmp").c_str());
    };
    EXPECT_EQ(open_with(InfoHeader(-8, 4, 8, 0)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(-8, -4, 8, 0)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(0, INT32_MIN, 8, 0)), nullptr);  // no height to turn over
    EXPECT_EQ(open_with(InfoHeader(INT32_MAX, INT32_MAX, 8, 0)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(0x40000000, 16, 8, 16)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(16, 0x40000000, 8, 16)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(0x7FFFFFF0, 0, 4, 0)), nullptr);  // a row past any block
    EXPECT_EQ(open_with(InfoHeader(4, 4, 8, 0xFFFFFFFFu)), nullptr);
}

// The DIBs the library writes, compressed and difference DIBs among them,
// read back as the very blocks written.
TEST(DIBFile, CompressedAndDifferenceDibsReadBackAsWritten) {
    LeakCheck leaks;
    ScratchDir dir;
    auto picture = [] {
        BITMAPINFOHEADER *dib = CreateDIB(11, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 11; ++x) *GetDIBPixelAddress(dib, x, y) = uint8_t(10 + x / 3 + y);
        return dib;
    };
    BITMAPINFOHEADER *old_dib = picture();
    BITMAPINFOHEADER *changed = picture();
    *GetDIBPixelAddress(changed, 4, 2) = 200;
    BITMAPINFOHEADER *written[] = {CompressPDIB(picture(), 1), CompressPDIB(picture(), 0),
                                   DeltaDIB(changed, old_dib)};
    for (BITMAPINFOHEADER *dib : written) {
        ASSERT_NE(dib, nullptr);
        ASSERT_NE(dib->biCompression, 0u);
        const std::string path = dir.File("own.bmp");
        ASSERT_EQ(WriteDIB(path.c_str(), dib), 1);
        BITMAPINFOHEADER *back = OpenDIB(path.c_str());
        ASSERT_NE(back, nullptr);
        const size_t size = anim::platform::BlockSize(dib);
        ASSERT_GE(anim::platform::BlockSize(back), size);
        back->biClrUsed = dib->biClrUsed;
        EXPECT_EQ(std::memcmp(back, dib, size), 0) << dib->biCompression;
        DeleteDIB(back);
        DeleteDIB(dib);
    }
    DeleteDIB(old_dib);
}

// ---- Palette forms of image tools ---------------------------------------------

constexpr int kFormW = 5, kFormH = 3;

uint8_t FormPixel(int x, int y, uint16_t bits) {
    return uint8_t((x * 3 + y * 5 + 1) % (1 << bits));
}

RGBQUAD FormColour(int i) { return RGBQUAD{uint8_t(i * 9), uint8_t(255 - i), uint8_t(i * 3 + 1), 0}; }

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
    for (int r = 0; r < kFormH; ++r) {
        const int y = f.top_down ? r : kFormH - 1 - r;
        for (int x = 0; x < kFormW; ++x) {
            const size_t bit = size_t(x) * f.bits;
            rows[r * stride + bit / 8] |= uint8_t(FormPixel(x, y, f.bits) << (8 - f.bits - bit % 8));
        }
    }
    return rows;
}

// The bottom row as one literal, the others as runs of one, then the end.
Bytes Stream(const PaletteForm &f) {
    const bool nibbles = f.bits == 4;
    auto at = [](int x, int r) { return FormPixel(x, kFormH - 1 - r, 4); };
    Bytes s = {0, kFormW};
    for (int x = 0; x < kFormW; x += nibbles ? 2 : 1)
        s.push_back(nibbles ? uint8_t(at(x, 0) << 4 | (x + 1 < kFormW ? at(x + 1, 0) : 0)) : at(x, 0));
    if (s.size() % 2 != 0) s.push_back(0);
    for (int r = 1; r < kFormH; ++r) {
        Bytes eol = {0, 0};
        s.insert(s.end(), eol.begin(), eol.end());
        for (int x = 0; x < kFormW; ++x) {
            s.push_back(1);
            s.push_back(nibbles ? uint8_t(at(x, r) << 4) : at(x, r));
        }
    }
    s.push_back(0);
    s.push_back(1);
    return s;
}

Bytes PaletteFile(const PaletteForm &f) {
    const int entries = 1 << f.bits;
    Bytes info(f.header_size, 0);
    Put32(info, 0, f.header_size);
    if (f.header_size == 12) {
        Put16(info, 4, kFormW);
        Put16(info, 6, kFormH);
        Put16(info, 8, 1);
        Put16(info, 10, f.bits);
    } else {
        Put32(info, 4, kFormW);
        Put32(info, 8, uint32_t(f.top_down ? -kFormH : kFormH));
        Put16(info, 12, 1);
        Put16(info, 14, f.bits);
        Put32(info, 16, f.compression);
    }
    Bytes table;
    for (int i = 0; i < entries; ++i) {
        const RGBQUAD c = FormColour(i);
        table.insert(table.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed});
        if (f.header_size != 12) table.push_back(0);
    }
    const Bytes pixels = f.compression != 0 ? Stream(f) : PackedRows(f);
    return Concat({FileHeader(uint32_t(14 + info.size() + table.size())), info, table, pixels});
}

TEST(DIBFile, PaletteFormsWidenToEightBitRows) {
    LeakCheck leaks;
    ScratchDir dir;
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
        const std::string path = dir.File("form.bmp");
        WriteFileBytes(path, PaletteFile(f));
        BITMAPINFOHEADER *dib = OpenDIB(path.c_str());
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(dib->biSize, 40u);
        EXPECT_EQ(dib->biWidth, kFormW);
        EXPECT_EQ(dib->biHeight, kFormH);
        EXPECT_EQ(dib->biBitCount, 8);
        EXPECT_EQ(dib->biCompression, 0u);
        EXPECT_EQ(dib->biSizeImage, 8u * kFormH);
        EXPECT_EQ(dib->biClrUsed, 256u);
        const RGBQUAD *colours = reinterpret_cast<const BITMAPINFO *>(dib)->bmiColors;
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD want = i < (1 << f.bits) ? FormColour(i) : RGBQUAD{0, 0, 0, 0};
            ASSERT_EQ(std::memcmp(&colours[i], &want, 4), 0) << "colour " << i;
        }
        // RLE streams here use 4-bit values whatever their width.
        const uint16_t value_bits = f.compression != 0 ? 4 : f.bits;
        for (int y = 0; y < kFormH; ++y) {
            for (int x = 0; x < kFormW; ++x)
                ASSERT_EQ(*GetDIBPixelAddress(dib, x, y), FormPixel(x, y, value_bits)) << x << "," << y;
            for (int pad = kFormW; pad < 8; ++pad) EXPECT_EQ(GetDIBPixelAddress(dib, 0, y)[pad], 0);
        }
        DeleteDIB(dib);
    }
    // The stream's own block failing to come gives null and leaks nothing.
    WriteFileBytes(dir.File("rle.bmp"), PaletteFile({"RLE4", 40, 4, 2, false}));
    anim::platform::FailNthAllocation(2);
    EXPECT_EQ(OpenDIB(dir.File("rle.bmp").c_str()), nullptr);
    anim::platform::FailNthAllocation(0);
}

TEST(DIBFile, TruecolourAndMalformedFormsAreRefusedWithTheirReason) {
    LeakCheck leaks;
    ScratchDir dir;
    struct Case {
        const char *name;
        Bytes info;
        const char *reason;
    };
    auto with = [](Bytes info, size_t at, uint32_t value) {
        Put32(info, at, value);
        return info;
    };
    Bytes v5(124, 0);
    std::memcpy(v5.data(), InfoHeader(4, 4, 32, 0).data(), 40);
    Put32(v5, 0, 124);
    Put32(v5, 16, 3);  // colour masks
    const Case cases[] = {
        {"24-bit", InfoHeader(4, 4, 24, 0), "24-bit truecolour"},
        {"16-bit", InfoHeader(4, 4, 16, 0), "16-bit truecolour"},
        {"V5 32-bit masks", v5, "32-bit truecolour"},
        {"3 bits", InfoHeader(4, 4, 3, 0), "3 bits a pixel"},
        {"8-bit masks, top-down", with(InfoHeader(4, -4, 8, 0), 16, 3), "compression 3"},
        {"RLE4 top-down", with(InfoHeader(4, -4, 4, 0), 16, 2), "top-down"},
        {"RLE8 with 4 bits", with(InfoHeader(4, 4, 4, 0), 16, 1), "compression 1 with 4"},
        {"17 colours for 4 bits", with(InfoHeader(4, 4, 4, 0), 32, 17), "17 colours"},
        {"a 20-byte header", with(InfoHeader(4, 4, 4, 0), 0, 20), "20 bytes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("refused.bmp");
        WriteFileBytes(path, Concat({FileHeader(0), c.info, Ramp(1024 + 64, 3)}));
        TraceCapture trace;
        EXPECT_EQ(OpenDIB(path.c_str()), nullptr);
        ASSERT_EQ(trace.lines().size(), 1u);
        EXPECT_NE(trace.lines()[0].find("\"" + path + "\" not read: "), std::string::npos)
            << trace.lines()[0];
        EXPECT_NE(trace.lines()[0].find(c.reason), std::string::npos) << trace.lines()[0];
    }
    // SetBackground refuses such a file with its own trace and leaves no
    // background behind.
    WriteFileBytes(dir.File("photo.bmp"), Concat({FileHeader(0), InfoHeader(4, 4, 24, 0), Ramp(64, 0)}));
    EngineState *engine = InitAnimate();
    TraceCapture trace;
    EXPECT_EQ(SetBackground(engine, dir.File("photo.bmp").c_str()), 0);
    ASSERT_EQ(trace.lines().size(), 2u);
    EXPECT_NE(trace.lines()[1].find("SetBackground: OpenDIB() FAILED!"), std::string::npos);
    TerminateAnimate(engine);
    FREE(engine);
}

// Streams that disagree with their picture are cut where they leave it.
TEST(DIBFile, RunLengthStreamsStayInsideTheirPicture) {
    using anim::dib::RunLength;
    struct Case {
        const char *name;
        RunLength kind;
        Bytes stream;
        Bytes pixels;  // two bottom-up rows of 4, 0xEE where nothing was decoded
    };
    constexpr uint8_t E = 0xEE;
    const Case cases[] = {
        {"a run past the row's end is dropped", RunLength::kEightBit, {6, 7, 1, 8},
         {7, 7, 7, 7, E, E, E, E}},
        {"a move skips pixels", RunLength::kEightBit, {0, 2, 1, 1, 1, 9},
         {E, E, E, E, E, 9, E, E}},
        {"rows above the top end the stream", RunLength::kEightBit, {1, 5, 0, 0, 1, 6, 0, 0, 1, 4},
         {5, E, E, E, 6, E, E, E}},
        {"end of picture ends the stream", RunLength::kEightBit, {1, 5, 0, 1, 1, 6},
         {5, E, E, E, E, E, E, E}},
        {"a literal is padded to 16 bits", RunLength::kEightBit, {0, 3, 1, 2, 3, 0, 1, 4},
         {1, 2, 3, 4, E, E, E, E}},
        {"a literal the stream cuts short", RunLength::kEightBit, {0, 4, 1, 2},
         {1, 2, E, E, E, E, E, E}},
        {"a move the stream cuts short", RunLength::kEightBit, {1, 3, 0, 2, 1},
         {3, E, E, E, E, E, E, E}},
        {"4-bit runs take both nibbles by turns", RunLength::kFourBit, {3, 0x12, 0, 0, 5, 0x34},
         {1, 2, 1, E, 3, 4, 3, 4}},
        {"a 4-bit literal, odd count", RunLength::kFourBit, {0, 3, 0x56, 0x70, 1, 0x80},
         {5, 6, 7, 8, E, E, E, E}},
    };
    for (const Case &c : cases) {
        Bytes pixels(8, E);  // exactly the picture: a stray write is caught by ASan
        anim::dib::DecodeRunLength(c.stream, c.kind, 4, 2, 4, pixels);
        EXPECT_EQ(pixels, c.pixels) << c.name;
    }
}

// Whatever a file's headers say, OpenDIB gives null or a block that holds
// every pixel its own width and height address, and leaks nothing.
TEST(DIBFile, MutatedAndTruncatedFilesGiveNullOrAWholeBlock) {
    LeakCheck leaks;
    ScratchDir dir;
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
        Bytes file = Concat({bare ? Bytes{} : FileHeader(1078),
                             InfoHeader(w, h, 8, rng() % 2 ? area : 0),
                             Ramp(1024, uint8_t(rng())), Ramp(area, uint8_t(rng()))});
        const size_t info = bare ? 0 : 14;
        for (int m = int(rng() % 4); m > 0; --m) {
            const uint32_t size = kSizes[rng() % std::size(kSizes)];
            switch (rng() % 6) {
                case 0: file[rng() % (info + 40)] = uint8_t(rng()); break;
                case 1: Put32(file, info + 4, size); break;   // biWidth
                case 2: Put32(file, info + 8, size); break;   // biHeight
                case 3: Put32(file, info + 20, size); break;  // biSizeImage
                case 4: Put16(file, info + 14, kBits[rng() % std::size(kBits)]); break;
                default:
                    if (!bare) Put32(file, 10, rng() % 2 ? size : uint32_t(rng() % 2000));
            }
        }
        if (rng() % 3 == 0) file.resize(rng() % file.size());
        // A fresh name each time: truncating one file over and over waits on the disk.
        const std::string path = dir.File("mutant" + std::to_string(iter) + ".bmp");
        WriteFileBytes(path, file);

        BITMAPINFOHEADER *dib = OpenDIB(path.c_str());
        if (dib == nullptr) continue;
        ++opened;
        ASSERT_GE(dib->biWidth, 0) << iter;
        ASSERT_GE(dib->biHeight, 0) << iter;
        EXPECT_EQ(dib->biClrUsed, 256u);
        const size_t rows = size_t(anim::platform::RowStride(dib->biWidth)) * size_t(dib->biHeight);
        ASSERT_GE(anim::platform::BlockSize(dib), kPixelOffset + std::max<size_t>(rows, dib->biSizeImage)) << iter;
        if (rows != 0) {  // the first and the last stored byte, through the address rules
            *GetDIBPixelAddress(dib, 0, dib->biHeight - 1) ^= 1;
            *GetDIBPixelAddress(dib, dib->biWidth - 1, 0) ^= 1;
        }
        if (rows < (size_t{1} << 24)) {  // lying sizes reach a gigabyte: copy only modest ones
            BITMAPINFOHEADER *copy = CopyDIB(dib);
            ASSERT_NE(copy, nullptr);
            DeleteDIB(copy);
        }
        DeleteDIB(dib);
    }
    EXPECT_GT(opened, 120);  // the mutations leave plenty of files readable
}

TEST(DIBFile, OpenFailuresAreTraced) {
    ScratchDir dir;
    // Names that open on POSIX but are no file to read; a fifo without a
    // writer would block an ordinary open for ever.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TraceCapture trace;
    EXPECT_EQ(OpenDIB(nullptr), nullptr);
    const std::string long_name = "/no/such/" + std::string(200, 'x');
    const std::string names[] = {long_name, dir.File("."), fifo, "/dev/null"};
    for (const std::string &name : names) EXPECT_EQ(OpenDIB(name.c_str()), nullptr) << name;
    ASSERT_EQ(trace.lines().size(), 5u);
    EXPECT_TRUE(trace.lines()[0].starts_with("DIB line ")) << trace.lines()[0];
    EXPECT_TRUE(trace.lines()[0].ends_with(": Bad filename pointer.\r\n")) << trace.lines()[0];
    for (size_t i = 0; i < std::size(names); ++i) {
        const std::string expected = ": Can't open \"" + names[i].substr(0, 100) + "\" for reading.\r\n";
        EXPECT_TRUE(trace.lines()[i + 1].ends_with(expected)) << trace.lines()[i + 1];
    }
}

// ---- Interoperation with an independent image tool --------------------------

std::string ImageTool() {
    for (const char *path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"}) {
        if (std::filesystem::exists(path)) return path;
    }
    return {};
}

bool RunTool(const std::string &command) { return std::system(command.c_str()) == 0; }

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &) const = default;
};

constexpr int kW = 23, kH = 9;

Rgb TestColour(int x, int y, int colours) {
    const int n = (x * 7 + y * 3) % colours;
    return Rgb{static_cast<uint8_t>(n * 6), static_cast<uint8_t>(255 - n * 5),
               static_cast<uint8_t>((n * 37) & 0xFF)};
}

Rgb ColourAt(const BITMAPINFOHEADER *dib, int x, int y) {
    const uint8_t index = *GetDIBPixelAddress(const_cast<BITMAPINFOHEADER *>(dib), x, y);
    const uint8_t *quad = Block(dib) + 40 + 4 * index;
    return Rgb{quad[2], quad[1], quad[0]};
}

// The tool's own choice of header and bits, as the guide's recipes promise.
std::pair<uint32_t, uint16_t> FormOf(const Bytes &file) {
    const uint32_t header = Get32(file, 14);
    const size_t bits_at = header == 12 ? 24 : 28;
    return {header, uint16_t(file[bits_at] | file[bits_at + 1] << 8)};
}

// The guide's recipes: each tool command, the form it writes, and whether
// OpenDIB reads it (to the picture's colours at every pixel), keeps it as it
// stands (an 8-bit RLE file under a 40-byte header, which is the form of the
// library's own compressed DIBs) or refuses it.
TEST(DIBFileInterop, ImageToolRecipesReadOrRefuseAsDocumented) {
    const std::string tool = ImageTool();
    if (tool.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed: recipes not checked";
    LeakCheck leaks;
    ScratchDir dir;
    enum Outcome { kRead, kKeptCompressed, kRefused };
    struct Recipe {
        const char *art;      // how the art is saved: a palette or an RGB picture
        int colours;
        const char *options;  // between the art and the output file name
        uint32_t header;
        uint16_t bits;
        Outcome outcome;
    };
    const Recipe recipes[] = {
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
    TraceCapture refusals;
    for (const Recipe &r : recipes) {
        SCOPED_TRACE(std::string(r.art) + " art of " + std::to_string(r.colours) +
                     " colours: convert art " + r.options + "out.bmp");
        std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const Rgb c = TestColour(x, y, r.colours);
                ppm.append({static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)});
            }
        WriteFileBytes(dir.File("art.ppm"), Bytes(ppm.begin(), ppm.end()));
        const std::string art = dir.File("art.") + (std::string(r.art) == "PPM" ? "ppm" : "png");
        if (art.ends_with(".png")) {
            ASSERT_TRUE(RunTool(tool + " " + dir.File("art.ppm") + " " + r.art + ":" + art));
        }
        const std::string out = dir.File("out.bmp");
        ASSERT_TRUE(RunTool(tool + " " + art + " " + r.options + out));
        EXPECT_EQ(FormOf(ReadFileBytes(out)), std::make_pair(r.header, r.bits));
        BITMAPINFOHEADER *dib = OpenDIB(out.c_str());
        if (r.outcome != kRead) {
            EXPECT_EQ(dib != nullptr, r.outcome == kKeptCompressed);
            if (dib != nullptr) {
                EXPECT_EQ(dib->biCompression, 1u);
            }
            DeleteDIB(dib);
            continue;
        }
        ASSERT_NE(dib, nullptr);
        ASSERT_EQ(dib->biBitCount, 8);
        ASSERT_EQ(dib->biCompression, 0u);
        ASSERT_EQ(dib->biWidth, kW);
        ASSERT_EQ(dib->biHeight, kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(ColourAt(dib, x, y), TestColour(x, y, r.colours)) << x << "," << y;
        DeleteDIB(dib);
    }
}

}  // namespace
