// Frame expansion throughput: a player-sized line-by-line frame as the
// projector expands it every frame (full size, half size, mirrored, with a
// shirt number), and a screen-sized whole-frame stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "animate.h"
#include "dib/anx_frame.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Table = std::array<uint16_t, 256>;

constexpr uint8_t kEscape = 5;
constexpr uint8_t kTransparentRun = 0xF1;  // value marker: a run of colour 0

// Line form: plain bytes (1, b), one value marker for transparent runs.
Table LineTable() {
    Table t;
    for (int b = 0; b < 256; ++b) t[b] = static_cast<uint16_t>(0x100 | b);
    t[0] = kEscape;
    t[kTransparentRun] = 0x0000;
    return t;
}

// Number-overlay stream when classes is true (15-pixel class runs), else
// KOVRLE codes: escape runs, transparent runs by marker, lone pixels plain.
Bytes EncodeRows(const std::vector<Bytes> &rows, bool classes) {
    Bytes s;
    for (const Bytes &row : rows) {
        const size_t start = s.size();
        s.push_back(0);
        for (size_t i = 0; i < row.size();) {
            size_t n = 1;
            const size_t limit = classes ? 15 : 255;
            while (i + n < row.size() && row[i + n] == row[i] && n < limit) ++n;
            const uint8_t v = row[i];
            if (classes) s.push_back(static_cast<uint8_t>(n << 4 | v));
            else if (n == 1) s.push_back(v);
            else if (v == 0) s.insert(s.end(), {kTransparentRun, static_cast<uint8_t>(n)});
            else s.insert(s.end(), {kEscape, static_cast<uint8_t>(n), v});
            i += n;
        }
        s[start] = static_cast<uint8_t>(s.size() - start);
    }
    return s;
}

Bytes MakeFrame(ANXRECT rect, uint32_t dataSize, const Bytes &stream) {
    Bytes f(40 + stream.size());
    std::copy(stream.begin(), stream.end(), f.begin() + 40);
    const ANXFRAME h{4, 32, 1, dataSize, 1, 0, rect, 0, 0, 0, 0, 0, 0};
    anim::dib::StoreHeader(f.data(), h);
    anim::dib::StoreEntry(f.data(), 0,
                            {0, 0, static_cast<int16_t>(anim::dib::Width(rect) - 1),
                             static_cast<int16_t>(anim::dib::Height(rect) - 1)});
    return f;
}

constexpr int kPlayerW = 64, kPlayerH = 80;

// Rows bottom first: legs, shorts, a striped shirt, a head; transparent
// around an outline.
Bytes PlayerFrame() {
    std::vector<Bytes> rows(kPlayerH, Bytes(kPlayerW, 0));
    for (int r = 0; r < kPlayerH; ++r) {
        const int y = kPlayerH - 1 - r;  // from the top
        int half = y < 18 ? 9 : y < 50 ? 24 : y < 62 ? 20 : 14;
        for (int x = 32 - half; x < 32 + half; ++x) {
            uint8_t c = y < 6 ? 0x61 : y < 18 ? 0x60 : y < 50 ? ((x / 6) % 2 ? 0x70 : 0x71)
                      : y < 62 ? 0x72 : (x % 28 < 12 ? 0x60 : 0);
            if (x == 32 - half || x == 32 + half - 1) c = 0x10;
            rows[r][x] = c;
        }
    }
    return MakeFrame({100, 100, 100 + kPlayerW - 1, 100 + kPlayerH - 1},
                     static_cast<uint32_t>(anim::platform::RowStride(kPlayerW) * kPlayerH),
                     EncodeRows(rows, false));
}

// A 20 x 12 two-digit overlay on the shirt: each digit's seven segments
// drawn in its art colours' classes.
Bytes NumberOverlay() {
    std::vector<Bytes> rows(12, Bytes(20, 0));
    for (int digit = 0; digit < 2; ++digit) {
        const int x0 = digit * 10 + 1, base = digit * 7 + 1;
        for (int x = x0 + 1; x < x0 + 7; ++x) {
            rows[11][x] = uint8_t(base);      // top
            rows[6][x] = uint8_t(base + 3);   // middle
            rows[0][x] = uint8_t(base + 6);   // bottom
        }
        for (int r = 1; r < 6; ++r) {
            rows[r][x0] = uint8_t(base + 4);      // lower left
            rows[r][x0 + 7] = uint8_t(base + 5);  // lower right
            rows[r + 6][x0] = uint8_t(base + 1);  // upper left
            rows[r + 5][x0 + 7] = uint8_t(base + 2);
        }
    }
    return MakeFrame({122, 139, 141, 150}, 0, EncodeRows(rows, true));
}

void LineDecode(benchmark::State &state, int scale, int mirror, bool number) {
    Table table = LineTable();
    const Bytes frame = PlayerFrame();
    const Bytes overlay = NumberOverlay();
    Bytes out(40 + anim::platform::RowStride(kPlayerW) * kPlayerH);
    for (auto _ : state) {
        ANXFRAME *r = AnxUnKOVRLEFrame(
            reinterpret_cast<const ANXFRAME *>(frame.data()),
            number ? reinterpret_cast<const ANXFRAME *>(overlay.data()) : nullptr, table.data(),
            reinterpret_cast<ANXFRAME *>(out.data()), static_cast<uint32_t>(out.size()), scale, 23,
            0xC8, mirror, ANX_STREAM_LINE_BY_LINE);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kPlayerW * kPlayerH / 1e6,
        benchmark::Counter::kIsRate);
    state.counters["stream_bytes"] = static_cast<double>(frame.size() - 40);
}

void BM_LineDecode100(benchmark::State &s) { LineDecode(s, 100, 0, false); }
void BM_LineDecode50(benchmark::State &s) { LineDecode(s, 50, 0, false); }
void BM_LineDecodeMirrored(benchmark::State &s) { LineDecode(s, 100, 1, false); }
void BM_LineDecodeNumber(benchmark::State &s) { LineDecode(s, 100, 0, true); }
void BM_LineDecodeNumberMirrored50(benchmark::State &s) { LineDecode(s, 50, 1, true); }

void BM_WholeFrame640x480(benchmark::State &state) {
    constexpr int kW = 640, kH = 480;
    Table table;
    table.fill(kEscape);  // header form: every byte plain
    Bytes pixels(kW * kH);
    uint32_t seed = 1;
    for (int i = 0; i < kW * kH;) {
        seed = seed * 1103515245u + 12345u;
        const int n = 1 + static_cast<int>((seed >> 16) % 40);
        const uint8_t v = static_cast<uint8_t>(0x20 + (seed >> 8) % 64);
        for (int k = 0; k < n && i < kW * kH; ++k) pixels[i++] = v;
    }
    Bytes stream;
    for (size_t i = 0; i < pixels.size();) {
        size_t n = 1;
        while (i + n < pixels.size() && pixels[i + n] == pixels[i] && n < 255) ++n;
        if (n < 3) stream.insert(stream.end(), n, pixels[i]);
        else stream.insert(stream.end(), {kEscape, static_cast<uint8_t>(n), pixels[i]});
        i += n;
    }
    const Bytes frame = MakeFrame({0, 0, kW - 1, kH - 1}, kW * kH, stream);
    Bytes out(40 + kW * kH);
    for (auto _ : state) {
        ANXFRAME *r = AnxUnKOVRLEFrame(reinterpret_cast<const ANXFRAME *>(frame.data()), nullptr,
                                       table.data(), reinterpret_cast<ANXFRAME *>(out.data()),
                                       static_cast<uint32_t>(out.size()), 100, 0, 0, 0,
                                       ANX_STREAM_WHOLE_FRAME);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    if (std::memcmp(out.data() + 40, pixels.data(), pixels.size()) != 0) state.SkipWithError("wrong pixels");
    state.counters["MP/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kW * kH / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LineDecode100);
BENCHMARK(BM_LineDecode50);
BENCHMARK(BM_LineDecodeMirrored);
BENCHMARK(BM_LineDecodeNumber);
BENCHMARK(BM_LineDecodeNumberMirrored50);
BENCHMARK(BM_WholeFrame640x480);

}  // namespace
