// Shared by the fuzz targets: reading control values from the input,
// handing file bytes to the library through a path (or a scratch folder
// where a name in a folder is needed), the game's side of the palette,
// the layouts several targets read, and the checks that turn a broken
// promise into a crash the fuzzer records.
//
// The same target bodies run under libFuzzer (clang, sanitizers) and in the
// replay program of the normal build, so nothing here depends on either.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "animate.h"
#include "dib/anx_frame.h"
#include "dib/packed_dib.h"
#include "platform/platform.h"

// A broken promise of the library: report where, then stop as a crash does.
#define FUZZ_CHECK(cond)                                               \
    do {                                                               \
        if (!(cond)) ::anim::fuzz::Finding(__FILE__, __LINE__, #cond); \
    } while (0)

namespace anim::fuzz {

[[noreturn]] inline void Finding(const char *file, int line, const char *what) {
    std::fprintf(stderr, "finding: %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    __builtin_trap();
}

// The colours of the fourteen number segments, in segment order.
inline constexpr std::uint8_t kSegmentColours[] = {1, 4, 2, 3, 5, 7, 6, 9, 8, 246, 247, 248, 250, 249};

// Takes values off the front of the input; past its end every value is 0.
class Input {
  public:
    explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t Byte() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
    std::uint16_t U16() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    bool Flag() { return (Byte() & 1) != 0; }
    // A value from lo to hi inclusive.
    std::int32_t Range(std::int32_t lo, std::int32_t hi) {
        const auto span = static_cast<std::uint32_t>(hi - lo) + 1;
        return lo + static_cast<std::int32_t>(U16() % span);
    }
    // Up to count bytes (fewer at the end of the input).
    std::span<const std::uint8_t> Take(std::size_t count) {
        auto out = bytes_.subspan(pos_, std::min(count, Remaining()));
        pos_ += out.size();
        return out;
    }
    std::span<const std::uint8_t> Rest() { return Take(Remaining()); }
    std::size_t Remaining() const { return bytes_.size() - pos_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// One in-memory file per process, reached through the path returned, as
// the library's file calls need; each call replaces its whole content.
const char *MemoryFile(std::span<const std::uint8_t> bytes);

// A folder of the process's own, on a memory file system where there is
// one, made on first use and removed when the process ends: for what can
// only be written as a named file in a named folder.
const std::filesystem::path &ScratchFolder();

// Writes bytes to name in the scratch folder; returns its path.
std::string ScratchFile(const std::string &name, std::span<const std::uint8_t> bytes);

// Fails the run when the memory blocks alive at its end differ from those
// alive at its start: every target body must leave nothing behind.
struct BlockBalance {
    std::size_t before = platform::LiveBlockCount();
    ~BlockBalance() { FUZZ_CHECK(platform::LiveBlockCount() == before); }
};

// A library block's bytes.
inline std::vector<std::uint8_t> BlockBytes(const void *block) {
    const auto *bytes = static_cast<const std::uint8_t *>(block);
    return {bytes, bytes + platform::BlockSize(block)};
}

// A new DIB of w x h with pixel(x, y) at each pixel.
template <typename Pixel>
BITMAPINFOHEADER *FilledDib(std::int32_t w, std::int32_t h, Pixel pixel) {
    BITMAPINFOHEADER *dib = CreateDIB(w, h);
    FUZZ_CHECK(dib != nullptr);
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t *row = GetDIBPixelAddress(dib, 0, y);
        for (std::int32_t x = 0; x < w; ++x) row[x] = pixel(x, y);
    }
    return dib;
}

// The game's part of the master palette: the library makes a palette for
// every background that brings its colours and never deletes one, so a
// target deletes the current one before it sets the next background and
// before it ends. A palette left behind is no leak to the sanitizer (the
// display keeps every palette), but it makes libFuzzer look for leaks after
// every run, which costs more than the run itself.
void ReleasePalette(EngineState *engine);

// An engine with a window of its own, let go of at the end of the scope.
struct EngineScope {
    EngineState *engine = InitAnimate();
    HDC dc;
    EngineScope(std::int32_t width, std::int32_t height) : dc(AnimCreateWindowDC(width, height)) {
        FUZZ_CHECK(engine != nullptr && dc != nullptr);
    }
    ~EngineScope() {
        AnimDestroyWindowDC(dc);
        ReleasePalette(engine);
        TerminateAnimate(engine);
        FREE(engine);
    }
};

// Whether rows 0 to height - 1 of two DIBs hold the same first width pixels.
bool SameRows(BITMAPINFOHEADER *a, std::int32_t ax, std::int32_t ay, BITMAPINFOHEADER *b, std::int32_t width,
              std::int32_t height);

// One line of error text that starts with prefix.
inline bool OneLine(const std::string &error, const std::string &prefix) {
    return error.starts_with(prefix) && error.find('\n') == std::string::npos;
}

// The tools' readers are handed a 2 x 1 picture of 7s: they take a picture
// whole, every pixel of the size it says, or leave the caller's as it was.
template <typename Image>
bool WholePicture(const Image &image) {
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
}
template <typename Image>
bool UntouchedPicture(const Image &image) {
    return image.width == 2 && image.height == 1 && image.pixels == decltype(image.pixels)(2, 7);
}

// The memory layer refuses blocks above this size while a target runs. The
// library takes blocks up to 1 GiB, which is right and only slow: a fuzzer
// filling gigabytes finds nothing, while a refusal at a few megabytes still
// follows every lying size to the allocation that answers it.
inline constexpr std::size_t kMaxFuzzBlock = std::size_t{4} << 20;

// Called once by the fuzzer and the replay program before any target runs:
// the block limit above, and traces (expected on bad input) silenced.
void PrepareProcess();

}  // namespace anim::fuzz
