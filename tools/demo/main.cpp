// animate-demo: draws its own art, packs it, and plays a match on the
// library: headless into a GIF by default, live in a window on request.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "animate.h"
#include "assets.h"
#include "headless.h"
#include "command_line.h"
#include "live_window.h"
#include "match.h"

namespace {

constexpr int kDefaultFrames = 300;
constexpr int kExitFailure = 1;

void PrintSummary(const demo::HeadlessResult &r, const demo::Match &match) {
    const demo::FrameTotals &t = r.totals;
    if (t.frames == 0) return;
    const double n = std::max(t.painted, 1);
    std::printf("frames:                    %d (GIF frames %d, wipe strips included)\n", t.frames, r.gifFrames);
    std::printf("paint ms per frame:        %.3f average, %.3f most (PaintScene)\n", t.paintMs / n, t.paintMostMs);
    std::printf("engine paint timers:       %.3f ms compose, %.3f ms copy per frame\n",
                static_cast<double>(t.composeMs) / n, static_cast<double>(t.copyMs) / n);
    std::printf("move and project ms:       %.3f per frame (22 players, ball, board)\n", t.moveMs / n);
    std::printf("invalid rects per frame:   %.1f average, %d most\n", static_cast<double>(t.rects) / n, t.rectsMost);
    if (t.wipeMs > 0) std::printf("half-time wipe:            %.0f ms\n", t.wipeMs);
    std::printf("score:                     %d - %d\n", match.score()[0], match.score()[1]);
}

// CRC-32 (the zip and PNG one) of the picture as RGBA bytes, alpha 255: the
// bytes a browser canvas holds for it, so that the web page's report of the
// same frame can be compared with this one.
std::uint32_t RgbaCrc(const imageio::IndexedImage &img) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t index : img.pixels) {
        const imageio::Rgb &c = img.colours[index];
        for (const std::uint8_t byte : {c.r, c.g, c.b, std::uint8_t{255}}) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Plays a match of 22 players on the animate library. Headless by default: writes "
                 "match.gif, last-frame.png and frames.csv into the output folder."};
    int frames = kDefaultFrames;
    std::string out = "out";
    std::uint32_t seed = 1;
    bool window = false;
    bool paletteStep = false;
    bool hold = false;
    bool quiet = false;
    bool crc = false;
    bool noGif = false;
    app.add_option("--frames", frames, "frames to play (window: 0 plays until Esc)")->check(CLI::Range(0, 100000));
    app.add_option("--out", out, "output folder");
    app.add_option("--seed", seed, "seed of the art and the match");
    app.add_flag("--window", window, "play live in a window at 30 frames a second");
    app.add_flag("--palette-step", paletteStep,
                 "after the last frame, one more palette step (fade or colour cycling) with nothing moving");
    app.add_flag("--hold", hold, "with --window: keep the last picture up until Esc");
    app.add_flag("-q,--quiet", quiet, "print nothing but errors");
    app.add_flag("--crc", crc,
                 "headless: print the CRC-32 of the last frame's RGBA pixels, as the web page reports it");
    app.add_flag("--no-gif", noGif,
                 "headless: play without encoding or writing match.gif (last-frame.png and frames.csv are "
                 "still written), e.g. for long runs");
    if (const auto status = imageio::ParseCommandLine(app, argc, argv, "animate-demo")) return *status;
    // SDL falls back to drivers that show nothing when there is no display,
    // so a live window without one would play unseen: say so before any work.
    if (window && std::getenv("SDL_VIDEODRIVER") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fprintf(stderr,
                     "animate-demo: --window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY "
                     "is set; without --window the match is written to %s/match.gif\n",
                     out.c_str());
        return imageio::kExitUsage;
    }
    // The encoder's notes about its tables are for asset makers.
    AnimSetTraceHandler([](const char *, void *) {}, nullptr);

    if (frames == 0 && !window) {
        std::fprintf(stderr, "animate-demo: --frames must be at least 1 without --window\n");
        return imageio::kExitUsage;
    }
    namespace fs = std::filesystem;
    demo::Assets assets;
    if (auto e = demo::BuildAssets((fs::path(out) / "assets").string(), seed, assets); !e.empty()) {
        std::fprintf(stderr, "animate-demo: %s\n", e.c_str());
        return kExitFailure;
    }
    if (!quiet) {
        std::printf("packed %s:\n%s", assets.anim.c_str(), anxpack::SummaryTable(assets.packed).c_str());
    }
    demo::Match match;
    const int total = window && frames == 0 ? kDefaultFrames * 6 : std::max(frames, 1);
    if (auto e = match.Start(assets, seed, total); !e.empty()) {
        std::fprintf(stderr, "animate-demo: %s\n", e.c_str());
        return kExitFailure;
    }
    if (window) {
        demo::LiveOptions live;
        live.frames = frames;  // 0: until Esc; the match goes on past its half-time wipe
        live.stillPaletteStep = paletteStep;
        live.hold = hold;
        live.quiet = quiet;
        if (auto e = demo::PlayLive(match, live); !e.empty()) {
            std::fprintf(stderr, "animate-demo: %s\n", e.c_str());
            return kExitFailure;
        }
        return 0;
    }
    demo::HeadlessOptions options;
    options.frames = frames;
    if (!noGif) options.gif = (fs::path(out) / "match.gif").string();
    options.lastFrame = (fs::path(out) / "last-frame.png").string();
    options.frameLog = (fs::path(out) / "frames.csv").string();
    options.stillPaletteStep = paletteStep;
    demo::HeadlessResult result = demo::PlayHeadless(match, options);
    if (!result.error.empty()) {
        std::fprintf(stderr, "animate-demo: %s\n", result.error.c_str());
        return kExitFailure;
    }
    if (!quiet) {
        PrintSummary(result, match);
        if (!options.gif.empty()) std::printf("wrote %s, ", options.gif.c_str());
        else std::printf("wrote ");
        std::printf("%s and %s\n", options.lastFrame.c_str(), options.frameLog.c_str());
    }
    if (crc) std::printf("last frame crc32: %08x\n", RgbaCrc(match.Snapshot()));
    return 0;
}
