#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "animate.h"
#include "dib/packed_dib.h"
#include "dib/widen.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

using anim::dib::kPixelOffset;
using anim::test::dibs::Owned;
using Bytes = std::vector<uint8_t>;
using V = std::vector<int64_t>;

Bytes With(Bytes b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
    return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Head(const Bytes &b, size_t n) {
    return Bytes(b.begin(), b.begin() + n);
}
// n bytes of a block from offset at.
Bytes Cut(const Owned &dib, size_t at, size_t n) {
    const uint8_t *p = anim::dib::Bytes(dib.get()) + at;
    return Bytes(p, p + n);
}
Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t size_image) {
    const Bytes b = With(With(With(Bytes(40, 0), 0, 40), 4, uint32_t(width)), 8, uint32_t(height));
    return With(With(b, 12, 1u | uint32_t{bits} << 16), 20, size_image);  // one plane
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

// Plain, compressed and difference DIBs: whatever the library writes reads
// back as the very block written.
TEST_F(DIBFile, WrittenDibsReadBackAsWritten) {
    auto picture = [](uint8_t change) {
        BITMAPINFOHEADER *dib = CreateDIB(11, 5);
        for (uint32_t i = 0; i < 1024 + dib->biSizeImage; ++i) anim::dib::Bytes(dib)[40 + i] = uint8_t(i * 31);
        for (int i = 0; i < 55; ++i) *GetDIBPixelAddress(dib, i % 11, i / 11) = uint8_t(10 + i % 11 / 3 + i / 11);
        *GetDIBPixelAddress(dib, 4, 2) ^= change;
        return dib;
    };
    Owned old(picture(0));
    for (BITMAPINFOHEADER *written :
         {picture(0), CompressPDIB(picture(0), 1), CompressPDIB(picture(0), 0), DeltaDIB(picture(200), old.get())}) {
        Owned dib(written);
        ASSERT_NE(dib, nullptr);
        SCOPED_TRACE(dib->biCompression);
        const std::string path = Path();
        ASSERT_EQ(WriteDIB(path.c_str(), dib.get()), 1);
        const size_t size = anim::platform::BlockSize(dib.get());
        const Bytes file = anim::test::ReadFileBytes(path);
        ASSERT_EQ(file.size(), 14 + size);
        EXPECT_EQ(Head(file, 14), With(FileHeader(1078), 2, uint32_t(file.size())));
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

constexpr int kFormW = 5, kFormH = 3;
uint8_t FormPixel(int x, int y, uint16_t bits) {
    return uint8_t((x * 3 + y * 5 + 1) % (1 << bits));
}
Bytes FormColour(int i) {
    return {uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 9)};
}  // b, g, r

struct PaletteForm {
    const char *name;
    uint32_t header_size;  // 12, 40, 108 or 124
    uint16_t bits;
    uint32_t compression;  // 0, or 1 / 2 for the 8-bit / 4-bit streams
    bool top_down;
    bool bare = false;  // no file header: the info header comes first
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

// Every pixel a run of one, each row ended, then the picture; 4-bit values
// whatever the stream's width.
Bytes Stream(const PaletteForm &f) {
    Bytes s;
    for (int r = 0; r < kFormH; ++r) {
        for (int x = 0; x < kFormW; ++x) {
            const uint8_t value = FormPixel(x, kFormH - 1 - r, 4);
            s.insert(s.end(), {1, uint8_t(value << (f.bits == 4 ? 4 : 0))});
        }
        s.insert(s.end(), {0, uint8_t(r + 1 < kFormH ? 0 : 1)});
    }
    return s;
}

Bytes PaletteFile(const PaletteForm &f) {
    Bytes info = With(InfoHeader(kFormW, f.top_down ? -kFormH : kFormH, f.bits, 0), 16, f.compression), table;
    info.resize(f.header_size);
    info = With(info, 0, f.header_size);
    if (f.header_size == 12)  // the core header's 16-bit fields
        info = With(With(info, 4, kFormW | kFormH << 16), 8, 1u | uint32_t{f.bits} << 16);
    for (int i = 0; i < 1 << f.bits; ++i) {
        table = Cat({table, FormColour(i)});
        if (f.header_size != 12) table.push_back(0);
    }
    return Cat({FileHeader(uint32_t(14 + info.size() + table.size())), info, table,
                f.compression != 0 ? Stream(f) : PackedRows(f)});
}

TEST_F(DIBFile, PaletteFormsWidenToEightBitRowsAndStreamsStayInsideTheirPicture) {
    const PaletteForm forms[] = {
        {"1-bit", 40, 1, 0, false},
        {"4-bit", 40, 4, 0, false},
        {"4-bit top-down", 40, 4, 0, true},
        {"8-bit top-down", 40, 8, 0, true},
        {"OS/2 core 4-bit", 12, 4, 0, false},
        {"V5 8-bit", 124, 8, 0, false},
        {"RLE4", 40, 4, 2, false},
        {"V5 RLE4", 124, 4, 2, false},
        {"V5 RLE8", 124, 8, 1, false},
        {"bare 8-bit", 40, 8, 0, false, true},
    };
    for (const PaletteForm &f : forms) {
        SCOPED_TRACE(f.name);
        const Bytes file = PaletteFile(f);
        Owned dib = Open(f.bare ? Bytes(file.begin() + 14, file.end()) : file);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ((V{dib->biSize, dib->biWidth, dib->biHeight, dib->biBitCount, dib->biCompression, dib->biSizeImage,
                     dib->biClrUsed}),
                  (V{40, kFormW, kFormH, 8, 0, 8 * kFormH, 256}));
        Bytes colours, rows(8 * kFormH, 0);  // the file's colours first, the rest 0
        for (int i = 0; i < 256; ++i) colours = Cat({colours, i < 1 << f.bits ? FormColour(i) : Bytes(3), {0}});
        EXPECT_EQ(Cut(dib, 40, 1024), colours);
        for (int i = 0; i < kFormW * kFormH; ++i)
            rows[8 * (kFormH - 1 - i / kFormW) + i % kFormW] =
                FormPixel(i % kFormW, i / kFormW, f.compression ? 4 : f.bits);
        EXPECT_EQ(Cut(dib, kPixelOffset, rows.size()), rows);
    }

    // Streams that disagree with their picture are cut where they leave it.
    using anim::dib::RunLength;
    constexpr uint8_t E = 0xEE;
    const struct {
        const char *name;
        RunLength kind;
        Bytes stream, pixels;  // two bottom-up rows of 4, E where nothing was decoded
    } cases[] = {
        {"a run past the row's end is dropped", RunLength::kEightBit, {6, 7, 1, 8}, {7, 7, 7, 7, E, E, E, E}},
        {"a move skips pixels", RunLength::kEightBit, {0, 2, 1, 1, 1, 9}, {E, E, E, E, E, 9, E, E}},
        {"rows above the top end the stream",
         RunLength::kEightBit,
         {1, 5, 0, 0, 1, 6, 0, 0, 1, 4},
         {5, E, E, E, 6, E, E, E}},
        {"end of picture ends the stream", RunLength::kEightBit, {1, 5, 0, 1, 1, 6}, {5, E, E, E, E, E, E, E}},
        {"a literal is padded to 16 bits", RunLength::kEightBit, {0, 3, 1, 2, 3, 0, 1, 4}, {1, 2, 3, 4, E, E, E, E}},
        {"a literal the stream cuts short", RunLength::kEightBit, {0, 4, 1, 2}, {1, 2, E, E, E, E, E, E}},
        {"a move the stream cuts short", RunLength::kEightBit, {1, 3, 0, 2, 1}, {3, E, E, E, E, E, E, E}},
        {"4-bit runs take both nibbles by turns",
         RunLength::kFourBit,
         {3, 0x12, 0, 0, 5, 0x34},
         {1, 2, 1, E, 3, 4, 3, 4}},
        {"a 4-bit literal, odd count", RunLength::kFourBit, {0, 3, 0x56, 0x70, 1, 0x80}, {5, 6, 7, 8, E, E, E, E}},
    };
    for (const auto &c : cases) {
        Bytes pixels(8, E);  // exactly the picture: a stray write is caught by ASan
        anim::dib::DecodeRunLength(c.stream, c.kind, 4, 2, 4, pixels);
        EXPECT_EQ(pixels, c.pixels) << c.name;
    }
}

TEST_F(DIBFile, RefusalsAreTracedWithTheirReason) {
    const Bytes v5 = With(With(Cat({InfoHeader(4, 4, 32, 0), Bytes(84, 0)}), 0, 124), 16, 3);  // masks
    const std::pair<Bytes, std::string> forms[] = {
        {InfoHeader(4, 4, 24, 0), "24-bit truecolour pixels (palette pictures of 1, 2, 4 or 8 bits are read)"},
        {InfoHeader(4, 4, 16, 0), "16-bit truecolour pixels (palette pictures of 1, 2, 4 or 8 bits are read)"},
        {v5, "32-bit truecolour pixels (palette pictures of 1, 2, 4 or 8 bits are read)"},
        {InfoHeader(4, 4, 3, 0), "3 bits a pixel"},
        {With(InfoHeader(4, -4, 8, 0), 16, 3), "compression 3 with 8 bits a pixel"},
        {With(InfoHeader(4, -4, 4, 0), 16, 2), "compressed rows stored top-down"},
        {With(InfoHeader(4, 4, 4, 0), 16, 1), "compression 1 with 4 bits a pixel"},
        {With(InfoHeader(4, 4, 4, 0), 32, 17), "17 colours for 4 bits a pixel"},
        {InfoHeader(-4, 4, 4, 0), "a negative width"},
        {With(InfoHeader(4, 4, 4, 0), 0, 20), "an info header of 20 bytes"},
    };
    for (const auto &[info, reason] : forms) {
        const std::string path = Write(Cat({FileHeader(0), info, Bytes(1024 + 64, 3)}));
        anim::test::TraceCapture trace;
        EXPECT_EQ(OpenDIB(path.c_str()), nullptr) << reason;
        ASSERT_EQ(trace.lines().size(), 1u) << reason;
        EXPECT_TRUE(trace.lines()[0].ends_with(": OpenDIB: \"" + path + "\" not read: " + reason + ".\r\n"))
            << trace.lines()[0];
    }
    // Shorter than its headers, or sizes whose arithmetic overflows.
    EXPECT_EQ(Open(Head(Cat({FileHeader(1078), InfoHeader(8, 4, 8, 32)}), 30)), nullptr);
    EXPECT_EQ(Open(Cat({FileHeader(1078), InfoHeader(INT32_MAX, INT32_MAX, 8, 0), Bytes(1024, 0)})), nullptr);

    // Names that open on POSIX but are no file to read; a fifo without a
    // writer would block an ordinary open for ever.
    const std::string fifo = dir_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    anim::test::TraceCapture trace;
    EXPECT_EQ(OpenDIB(nullptr), nullptr);
    const std::string names[] = {"/no/such/" + std::string(200, 'x'), dir_.File("."), fifo, "/dev/null"};
    for (const std::string &name : names) EXPECT_EQ(OpenDIB(name.c_str()), nullptr) << name;
    ASSERT_EQ(trace.lines().size(), 5u);
    const std::string &badPointer = trace.lines()[0];
    EXPECT_TRUE(badPointer.starts_with("DIB line ") && badPointer.ends_with(": Bad filename pointer.\r\n"))
        << badPointer;
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_TRUE(trace.lines()[i + 1].ends_with(": Can't open \"" + names[i].substr(0, 100) + "\" for reading.\r\n"))
            << trace.lines()[i + 1];
}

}  // namespace
