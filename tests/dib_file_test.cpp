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
    EXPECT_EQ(open_with(InfoHeader(8, -4, 8, 0)), nullptr);  // top-down files are not read
    EXPECT_EQ(open_with(InfoHeader(INT32_MAX, INT32_MAX, 8, 0)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(0x40000000, 16, 8, 16)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(16, 0x40000000, 8, 16)), nullptr);
    EXPECT_EQ(open_with(InfoHeader(0x10000000, 1, 32, 0)), nullptr);  // bits x width overflows
    EXPECT_EQ(open_with(InfoHeader(4, 4, 8, 0xFFFFFFFFu)), nullptr);

    // Bit depths wider than 8 keep their computed (larger) size.
    BITMAPINFOHEADER *wide = open_with(InfoHeader(10, 2, 24, 0));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->biSizeImage, 64u);
    DeleteDIB(wide);
}

// Whatever a file's headers say, OpenDIB gives null or a block that holds
// every pixel its own width and height address, and leaks nothing.
TEST(DIBFile, MutatedAndTruncatedFilesGiveNullOrAWholeBlock) {
    LeakCheck leaks;
    ScratchDir dir;
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

Rgb TestColour(int x, int y) {
    // 40 distinct colours, so that the tool has to write an 8-bit file.
    int n = (x * 7 + y * 3) % 40;
    return Rgb{static_cast<uint8_t>(n * 6), static_cast<uint8_t>(255 - n * 5),
               static_cast<uint8_t>((n * 37) & 0xFF)};
}

Rgb ColourAt(const BITMAPINFOHEADER *dib, int x, int y) {
    const uint8_t index = *GetDIBPixelAddress(const_cast<BITMAPINFOHEADER *>(dib), x, y);
    const uint8_t *quad = Block(dib) + 40 + 4 * index;
    return Rgb{quad[2], quad[1], quad[0]};
}

TEST(DIBFileInterop, ReadsPalettedBmpWrittenByImageTool) {
    const std::string tool = ImageTool();
    if (tool.empty()) GTEST_SKIP() << "ImageMagick is not installed";
    LeakCheck leaks;
    ScratchDir dir;
    std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            Rgb c = TestColour(x, y);
            ppm.append({static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)});
        }
    WriteFileBytes(dir.File("in.ppm"), Bytes(ppm.begin(), ppm.end()));
    ASSERT_TRUE(RunTool(tool + " " + dir.File("in.ppm") + " -type Palette -compress None BMP3:" +
                    dir.File("tool.bmp")));
    BITMAPINFOHEADER *dib = OpenDIB(dir.File("tool.bmp").c_str());
    ASSERT_NE(dib, nullptr);
    ASSERT_EQ(dib->biBitCount, 8);
    ASSERT_EQ(dib->biWidth, kW);
    ASSERT_EQ(dib->biHeight, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(ColourAt(dib, x, y), TestColour(x, y)) << x << "," << y;
    DeleteDIB(dib);
}

}  // namespace
