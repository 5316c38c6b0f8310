#include "bench_art.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace anim::bench {
namespace {

constexpr int kFigureWidth = 64;
constexpr int kFigureHeight = 80;
constexpr int kLargeSide = 255;

// A small deterministic generator, so that every run benchmarks the same art.
class Lcg {
  public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next(std::uint32_t bound) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) % bound;
    }

  private:
    std::uint32_t state_;
};

Picture Blank(int width, int height) {
    return {
        width, height,
        Bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kTransparent)};
}

void Set(Picture &p, int x, int y, std::uint8_t v) {
    p.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
             static_cast<std::size_t>(x)] = v;
}

// Half the figure's width on row y (from the top): head, shirt, shorts, legs.
int HalfWidth(int y) {
    constexpr int kHeadEnd = 18, kShirtEnd = 50, kShortsEnd = 62;
    return y < kHeadEnd ? 9 : y < kShirtEnd ? 24 : y < kShortsEnd ? 20 : 14;
}

// A whole raw frame of the picture, as the tools cut one from a DIB.
ANXFRAME *RawFrame(const Picture &p, int left, int top) {
    BITMAPINFOHEADER *dib = CreateDIB(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(GetDIBPixelAddress(dib, 0, y), &p.pixels[static_cast<std::size_t>(y) * p.width],
                    static_cast<std::size_t>(p.width));
    const POINT origin{left, top};
    const RECT all{0, 0, p.width - 1, p.height - 1};
    ANXFRAME *frame = CopyDIBToAnxFrame(dib, &origin, &all, 1);
    DeleteDIB(dib);
    return frame;
}

Bytes Release(ANXFRAME *frame) {
    if (frame == nullptr) return {};
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(frame);
    Bytes copy(bytes, bytes + platform::BlockSize(frame));
    DeleteAnxFrame(frame);
    return copy;
}

std::uint32_t Stride(int width) {
    return static_cast<std::uint32_t>((width + 3) & ~3);
}

// The table builder reports free bytes it found no use for; with few colours
// that is the usual case and no news in a benchmark's output.
class QuietTraces {
  public:
    QuietTraces() {
        AnimSetTraceHandler([](const char *, void *) {}, nullptr);
    }
    ~QuietTraces() { AnimSetTraceHandler(nullptr, nullptr); }
    QuietTraces(const QuietTraces &) = delete;
    QuietTraces &operator=(const QuietTraces &) = delete;
};

}  // namespace

Picture PlayerPicture() {
    Picture p = Blank(kFigureWidth, kFigureHeight);
    constexpr int kCentre = kFigureWidth / 2;
    for (int y = 0; y < kFigureHeight; ++y) {
        const int half = HalfWidth(y);
        for (int x = kCentre - half; x < kCentre + half; ++x) {
            std::uint8_t c = y < 6    ? 0x61
                             : y < 18 ? 0x60
                             : y < 50 ? ((x / 6) % 2 ? 0x70 : 0x71)
                             : y < 62 ? 0x72
                                      : (x % 28 < 12 ? 0x60 : kTransparent);
            if (x == kCentre - half || x == kCentre + half - 1) c = 0x10;
            Set(p, x, y, c);
        }
    }
    return p;
}

Picture ShadedPicture() {
    constexpr int kShortest = 2, kLongest = 20, kShades = 72, kFirstShade = 0x20;
    Picture p = Blank(kFigureWidth, kFigureHeight);
    Lcg rng(7);
    constexpr int kCentre = kFigureWidth / 2;
    for (int y = 0; y < kFigureHeight; ++y) {
        const int half = HalfWidth(y) + static_cast<int>(rng.Next(4));
        const int end = std::min(kFigureWidth, kCentre + half);
        for (int x = std::max(0, kCentre - half); x < end;) {
            const int n = kShortest + static_cast<int>(rng.Next(kLongest - kShortest + 1));
            const auto c = static_cast<std::uint8_t>(kFirstShade + rng.Next(kShades));
            for (int k = 0; k < n && x < end; ++k, ++x) Set(p, x, y, c);
        }
    }
    return p;
}

Picture NumberArt() {
    constexpr std::uint8_t kLeft[7] = {1, 4, 2, 3, 5, 7, 6};
    constexpr std::uint8_t kRight[7] = {9, 8, 246, 247, 248, 250, 249};
    constexpr int kDigitWidth = 12, kMiddle = 6, kBottom = 13;
    Picture art = Blank(24, 14);
    for (int d = 0; d < 2; ++d) {
        const std::uint8_t *c = d == 0 ? kLeft : kRight;
        const int x0 = d * kDigitWidth;
        for (int x = x0 + 1; x < x0 + 9; ++x) {
            Set(art, x, 0, c[0]);
            Set(art, x, kMiddle, c[3]);
            Set(art, x, kBottom, c[6]);
        }
        for (int y = 1; y < kBottom; ++y) {
            if (y == kMiddle) continue;
            Set(art, x0, y, y < kMiddle ? c[1] : c[4]);
            Set(art, x0 + 9, y, y < kMiddle ? c[2] : c[5]);
        }
    }
    return art;
}

Picture LargePicture() {
    constexpr int kLongest = 40, kColours = 64, kFirstColour = 0x20;
    Picture p = Blank(kLargeSide, kLargeSide);
    Lcg rng(11);
    for (std::size_t i = 0; i < p.pixels.size();) {
        const std::size_t n = 1 + rng.Next(kLongest);
        const auto c = static_cast<std::uint8_t>(kFirstColour + rng.Next(kColours));
        for (std::size_t k = 0; k < n && i < p.pixels.size(); ++k) p.pixels[i++] = c;
    }
    return p;
}

Packed PackLines(const Picture &picture, int left, int top) {
    const QuietTraces quiet;
    ANXFRAME *raw = RawFrame(picture, left, top);
    const std::uint8_t *area = GetAnxFrameRectAddress(raw, 0);
    std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    for (int y = 0; y < picture.height; ++y)
        KOVRLEUpdateDecompTableLineByLine(area + Stride(picture.width) * y,
                                          static_cast<std::uint32_t>(picture.width), 1,
                                          stats.data());
    Packed packed;
    KOVRLEFinishDecompTable(stats.data(), packed.table.data(), 0, KOVRLE_AUTO_LIMIT);
    ANXFRAME *frame = AnxKOVRLEFrameLineByLine(raw, packed.table.data(),
                                               static_cast<std::uint16_t>(picture.width),
                                               static_cast<std::uint16_t>(picture.height));
    if (frame == nullptr) DeleteAnxFrame(raw);  // refused: the input is still ours
    packed.frame = Release(frame);
    KOVRLEConvertTableToLineForm(packed.table.data());
    return packed;
}

Packed PackWhole(const Picture &picture) {
    const QuietTraces quiet;
    ANXFRAME *raw = RawFrame(picture, 0, 0);
    std::vector<std::uint32_t> stats(KOVRLE_STATISTICS_COUNT);
    KOVRLEStartDecompTable(stats.data());
    KOVRLEUpdateDecompTable(GetAnxFrameRectAddress(raw, 0),
                            Stride(picture.width) * static_cast<std::uint32_t>(picture.height),
                            stats.data());
    Packed packed;
    KOVRLEFinishDecompTable(stats.data(), packed.table.data(), 0, KOVRLE_AUTO_LIMIT);
    ANXFRAME *frame = AnxKOVRLEFrame(raw, packed.table.data());
    if (frame == nullptr) DeleteAnxFrame(raw);
    packed.frame = Release(frame);
    return packed;
}

Bytes PackOverlay(const Picture &art, int left, int top) {
    ANXFRAME *raw = RawFrame(art, left, top);
    ANXFRAME *frame = AnxFrameLineByLine(raw, nullptr, static_cast<std::uint16_t>(art.width),
                                         static_cast<std::uint16_t>(art.height));
    if (frame == nullptr) DeleteAnxFrame(raw);
    return Release(frame);
}

std::size_t RawFrameSize(const Picture &picture) {
    constexpr std::size_t kHeaderAndOneEntry = 40;
    return kHeaderAndOneEntry +
           std::size_t{Stride(picture.width)} * static_cast<std::size_t>(picture.height);
}

}  // namespace anim::bench
