#include "headless.h"

#include <cstdio>
#include <fstream>

#include "gif_file.h"
#include "png_file.h"

namespace demo {
namespace {

// GIF delays are hundredths of a second: 3, 3, 4 keeps 30 frames a second.
int DelayFor(int frame) { return frame % 3 == 2 ? 4 : 3; }
constexpr int kWipeDelay = 4;

}  // namespace

HeadlessResult PlayHeadless(Match &match, const HeadlessOptions &options) {
    HeadlessResult result;
    imageio::GifAnimation gif;
    std::string gif_error;
    if (!options.gif.empty()) {
        if (auto e = gif.Open(options.gif, kSceneWidth, kSceneHeight); !e.empty()) {
            result.error = e;
            return result;
        }
        match.onWipeStrip = [&] {
            if (gif_error.empty()) gif_error = gif.AddFrame(match.Snapshot(), kWipeDelay);
        };
    }
    for (int n = 0; n < options.frames; ++n) {
        result.frames.push_back(match.Advance());
        if (!options.gif.empty() && gif_error.empty()) gif_error = gif.AddFrame(match.Snapshot(), DelayFor(n));
    }
    match.onWipeStrip = nullptr;
    // Colours only: the last picture shows it, the GIF's frames do not.
    if (options.stillPaletteStep) match.StillPaletteStep();
    if (!gif_error.empty()) {
        result.error = gif_error;
        return result;
    }
    if (!options.gif.empty()) {
        result.gifFrames = gif.frames();
        if (auto e = gif.Finish(); !e.empty()) {
            result.error = e;
            return result;
        }
    }
    if (!options.lastFrame.empty()) {
        if (auto e = imageio::WritePng(options.lastFrame, match.Snapshot()); !e.empty()) {
            result.error = e;
            return result;
        }
    }
    if (!options.frameLog.empty()) {
        std::ofstream log(options.frameLog, std::ios::trunc);
        log << "frame,rects,compose_ms,copy_ms,move_ms,paint_ms,wipe\n";
        for (std::size_t i = 0; i < result.frames.size(); ++i) {
            const FrameStats &f = result.frames[i];
            char line[128];
            std::snprintf(line, sizeof line, "%zu,%d,%u,%u,%.3f,%.3f,%d\n", i, f.rects, f.composeMs, f.copyMs,
                          f.moveMs, f.paintMs, f.wipe ? 1 : 0);
            log << line;
        }
        if (!log) result.error = options.frameLog + ": write failed";
    }
    return result;
}

}  // namespace demo
